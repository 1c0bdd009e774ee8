// Painting: PaintTree with its one row bitmap, the cell preparation (selection and
// focus), the row background, the painting events in their order, the window's paint
// entry points and the invalidation operations.
#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/graphics/gdi.h"
#include "platform/graphics/imglist.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"

namespace treeview {

using namespace platform;

namespace {

// Leaves tsPainting (and frees the row bitmap) on every path.
class PaintingScope {
public:
    PaintingScope(TBaseVastTree* tree) : tree_(tree) { tree_->DoStateChange(tsPainting); }
    ~PaintingScope() { tree_->DoStateChange(0, tsPainting); }

private:
    TBaseVastTree* tree_;
};

}  // namespace

// ---- hooks ----

void TBaseVastTree::DoBeforePaint(TCanvas* canvas) {
    if (OnBeforePaint) OnBeforePaint(this, canvas);
}

void TBaseVastTree::DoAfterPaint(TCanvas* canvas) {
    if (OnAfterPaint) OnAfterPaint(this, canvas);
}

bool TBaseVastTree::DoBeforeItemPaint(TCanvas* canvas, PVastNode node, const TRect& r) {
    bool custom = false;
    if (OnBeforeItemPaint) OnBeforeItemPaint(this, canvas, node, r, custom);
    return custom;
}

void TBaseVastTree::DoAfterItemPaint(TCanvas* canvas, PVastNode node, const TRect& r) {
    if (OnAfterItemPaint) OnAfterItemPaint(this, canvas, node, r);
}

void TBaseVastTree::DoBeforeItemErase(TCanvas* canvas, PVastNode node, const TRect& r, TColor& color,
                                      TItemEraseAction& action) {
    if (OnBeforeItemErase) OnBeforeItemErase(this, canvas, node, r, color, action);
}

void TBaseVastTree::DoAfterItemErase(TCanvas* canvas, PVastNode node, const TRect& r) {
    if (OnAfterItemErase) OnAfterItemErase(this, canvas, node, r);
}

void TBaseVastTree::DoBeforeCellPaint(TCanvas* canvas, PVastNode node, TColumnIndex column, TVTCellPaintMode mode,
                                      const TRect& cellRect, TRect& contentRect) {
    if (!OnBeforeCellPaint) return;
    bool redraw = mode == cpmGetContentMargin && HandleAllocated();
    if (redraw) SendMessage(Handle(), WM_SETREDRAW, 0, 0);
    TScopeExit redrawAgain([&] {
        if (redraw) SendMessage(Handle(), WM_SETREDRAW, 1, 0);
    });
    OnBeforeCellPaint(this, canvas, node, column, mode, cellRect, contentRect);
}

void TBaseVastTree::DoAfterCellPaint(TCanvas* canvas, PVastNode node, TColumnIndex column, const TRect& cellRect) {
    if (OnAfterCellPaint) OnAfterCellPaint(this, canvas, node, column, cellRect);
}

bool TBaseVastTree::DoPaintBackground(TCanvas* canvas, const TRect& r) {
    bool handled = false;
    if (OnPaintBackground) OnPaintBackground(this, canvas, r, handled);
    return handled;
}

bool TBaseVastTree::ColumnIsEmpty(PVastNode node, TColumnIndex column) {
    bool empty = true;
    if (OnGetCellIsEmpty) OnGetCellIsEmpty(this, node, column, empty);
    return empty;
}

void TBaseVastTree::AdjustPaintCellRect(TVTPaintInfo& paintInfo, TColumnIndex& nextColumn) {
    nextColumn = header_->Columns()->GetNextVisibleColumn(paintInfo.Column);
}

// ---- helpers of the row loop ----

int TBaseVastTree::InitializeLineImageAndSelectLevel(PVastNode node, TLineImage& lineImage) {
    TVTPaintOptions paint = TreeOptions()->PaintOptions();
    int x = (paint & toShowRoot) ? 1 : 0;
    int selected = 0;
    for (PVastNode run = node->Parent; run != root_; run = run->Parent) {
        ++x;
        if (run->States & vsSelected) ++selected;
    }
    lineImage.assign(std::size_t(x), ltNone);
    if (!(paint & toShowTreeLines)) return selected;
    PVastNode run = node;
    if (node->Parent != root_) {
        lineImage[std::size_t(x - 1)] = HasVisibleNextSibling(node) ? ltTopDownRight : ltTopRight;
        for (PVastNode ancestor = node->Parent; ancestor->Parent != root_; ancestor = ancestor->Parent) {
            --x;
            lineImage[std::size_t(x - 1)] = HasVisibleNextSibling(ancestor) ? ltTopDown : ltNone;
        }
        run = node;
        while (run->Parent != root_) run = run->Parent;
    }
    if ((paint & toShowRoot) && !lineImage.empty()) {
        if (node->Parent == root_) {
            bool first = IsFirstVisibleChild(root_, node), last = IsLastVisibleChild(root_, node);
            lineImage[0] = first && last ? ltRight : first ? ltBottomRight : last ? ltTopRight : ltTopDownRight;
        } else {
            lineImage[0] = HasVisibleNextSibling(run) ? ltTopDown : ltNone;
        }
    }
    return selected;
}

void TBaseVastTree::InitializeFirstColumnValues(TVTPaintInfo& paintInfo) {
    paintInfo.Column = header_->Columns()->GetFirstVisibleColumn();
    if (paintInfo.Column >= 0) {
        TVastTreeColumn* column = header_->Columns()->Items(paintInfo.Column);
        paintInfo.CellRect.right = paintInfo.CellRect.left + column->Width();
        paintInfo.Position = column->Position();
    } else {
        paintInfo.Position = 0;
    }
}

void TBaseVastTree::AdjustImageBorder(TCustomImageList* images, TBiDiMode bidiMode, int vAlign, TRect& r,
                                      TVTImageInfo& imageInfo) {
    if (bidiMode == bdLeftToRight) {
        imageInfo.XPos = r.left;
        r.left += images->Width() + 2;
    } else {
        imageInfo.XPos = r.right - images->Width();
        r.right -= images->Width() + 2;
    }
    imageInfo.YPos = r.top + vAlign - images->Height() / 2;
}

void TBaseVastTree::AdjustCoordinatesByIndent(TVTPaintInfo& paintInfo, int level) {
    int offset = level * indent_;
    int sign = paintInfo.BidiMode == bdLeftToRight ? 1 : -1;
    if (sign > 0)
        paintInfo.ContentRect.left += offset;
    else
        paintInfo.ContentRect.right -= offset;
    for (TVTImageInfoIndex index : {iiNormal, iiState, iiCheck}) paintInfo.ImageInfo[index].XPos += sign * offset;
}

void TBaseVastTree::LimitPaintingToArea(TCanvas* canvas, const TRect& clipRect) {
    POINT corners[2] = {{clipRect.left, clipRect.top}, {clipRect.right, clipRect.bottom}};
    LPtoDP(canvas->Handle(), corners, 2);
    HRGN region = CreateRectRgn(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
    SelectClipRgn(canvas->Handle(), region);
    DeleteObject(region);
}

bool TBaseVastTree::UseBackgroundPicture() const {
    return (TreeOptions()->PaintOptions() & toShowBackground) && background_ &&
           dynamic_cast<TBitmap*>(background_->Graphic()) && background_->Width() > 0 && background_->Height() > 0;
}

// ---- the row background and the cell ----

void TBaseVastTree::ClearNodeBackground(const TVTPaintInfo& paintInfo, bool useBackground, bool floating, TRect r) {
    TCanvas* canvas = paintInfo.Canvas;
    TItemEraseAction action = eaDefault;
    TColor backColor = Color();
    TPoint origin{0, 0};
    if (floating) {
        origin = TPoint{-HorzScrollPos(), r.top};
        r.bottom -= r.top;
        r.top = 0;
    }
    DoBeforeItemErase(canvas, paintInfo.Node, r, backColor, action);
    TVTPaintOptions paint = TreeOptions()->PaintOptions();
    if (action == eaColor) {
        canvas->Brush()->SetColor(backColor);
        canvas->FillRect(r);
    } else if (action == eaDefault) {
        if (useBackground) {
            auto* picture = static_cast<TBitmap*>(background_->Graphic());
            if (paint & toStaticBackground)
                StaticBackground(picture, canvas, origin, r);
            else
                TileBackground(picture, canvas, origin, r);
        } else if ((paintInfo.PaintOptions & poDrawSelection) &&
                   (TreeOptions()->SelectionOptions() & toFullRowSelect) && (paintInfo.Node->States & vsSelected) &&
                   !(paint & toUseBlendedSelection)) {
            if (paint & toShowHorzGridLines) --r.bottom;
            bool focused = Focused() || (paint & toPopupMode);
            canvas->Brush()->SetColor(colors_->GetColor(focused ? TVTColors::FocusedSelectionColor
                                                                : TVTColors::UnfocusedSelectionColor));
            canvas->Pen()->SetColor(colors_->GetColor(focused ? TVTColors::FocusedSelectionBorderColor
                                                              : TVTColors::UnfocusedSelectionBorderColor));
            int radius = int(selectionCurveRadius_);
            canvas->RoundRect(r.left, r.top, r.right, r.bottom, radius, radius);
        } else {
            canvas->Brush()->SetColor(Color());
            canvas->FillRect(r);
        }
    }
    DoAfterItemErase(canvas, paintInfo.Node, r);
}

void TBaseVastTree::PrepareCell(TVTPaintInfo& paintInfo, int windowOrgX, int maxWidth) {
    TCanvas* canvas = paintInfo.Canvas;
    TVTPaintOptions paint = TreeOptions()->PaintOptions();
    TVTSelectionOptions selection = TreeOptions()->SelectionOptions();
    TVTMiscOptions misc = TreeOptions()->MiscOptions();
    if (paintInfo.PaintOptions & poColumnColor) {
        canvas->Brush()->SetColor(header_->Columns()->Items(paintInfo.Column)->Color());
        canvas->FillRect(paintInfo.CellRect);
    }
    DoBeforeCellPaint(canvas, paintInfo.Node, paintInfo.Column, cpmPaint, paintInfo.CellRect, paintInfo.ContentRect);
    TRect inner = paintInfo.ContentRect;
    if (paintInfo.Column != focusedColumn_ && !(selection & toFullRowSelect)) return;
    if (!(misc & toGridExtensions)) {
        int width = paintInfo.NodeWidth;
        switch (paintInfo.Alignment) {
            case taLeftJustify:
                if (inner.left + width < inner.right) inner.right = inner.left + width;
                break;
            case taRightJustify:
                if (width < inner.Width()) inner.left = inner.right - width;
                break;
            case taCenter:
                if (width < inner.Width()) {
                    inner.left = (inner.left + inner.right - width) / 2;
                    inner.right = inner.left + width;
                }
                break;
        }
    }
    bool focused = Focused() || (paint & toPopupMode);
    if (paintInfo.PaintOptions & poDrawSelection) {
        bool draw = false;
        if (paintInfo.Node == dropTargetNode_) {
            if (lastDropMode_ == dmOnNode || (paintInfo.Node->States & vsSelected)) {
                canvas->Brush()->SetColor(colors_->GetColor(TVTColors::DropTargetColor));
                canvas->Pen()->SetColor(colors_->GetColor(TVTColors::DropTargetBorderColor));
                if ((misc & toGridExtensions) || (selection & toFullRowSelect)) inner = paintInfo.CellRect;
                draw = !inner.IsEmpty();
            } else {
                canvas->Brush()->SetStyle(bsClear);
            }
        } else if (paintInfo.Node->States & vsSelected) {
            canvas->Brush()->SetColor(colors_->GetColor(focused ? TVTColors::FocusedSelectionColor
                                                                : TVTColors::UnfocusedSelectionColor));
            canvas->Pen()->SetColor(colors_->GetColor(focused ? TVTColors::FocusedSelectionBorderColor
                                                              : TVTColors::UnfocusedSelectionBorderColor));
            if ((misc & toGridExtensions) || (selection & toFullRowSelect)) inner = paintInfo.CellRect;
            draw = !inner.IsEmpty();
        }
        if (draw) {
            if (paint & toUseBlendedSelection) {
                TRect r = inner;
                r.left = std::clamp(r.left - windowOrgX, 0, maxWidth);
                r.right = std::clamp(r.right - windowOrgX, 0, maxWidth);
                TPoint origin{};
                GetWindowOrgEx(canvas->Handle(), reinterpret_cast<POINT*>(&origin));
                SetWindowOrgEx(canvas->Handle(), 0, 0, nullptr);
                AlphaBlend(nullptr, canvas->Handle(), r, TPoint{}, bmConstantAlphaAndColor, selectionBlendFactor_,
                           int(ColorToRGB(canvas->Brush()->Color())));
                SetWindowOrgEx(canvas->Handle(), origin.x, origin.y, nullptr);
            } else {
                int radius = int(selectionCurveRadius_);
                canvas->RoundRect(inner.left, inner.top, inner.right, inner.bottom, radius, radius);
            }
        }
    }
    if ((paintInfo.PaintOptions & poDrawFocusRect) && paintInfo.Column == focusedColumn_ && focused &&
        paintInfo.Node == focusedNode_) {
        HDC dc = canvas->Handle();
        COLORREF text = SetTextColor(dc, 0xFFFFFF), back = SetBkColor(dc, 0);
        canvas->DrawFocusRect((misc & toGridExtensions) ? paintInfo.CellRect : inner);
        SetTextColor(dc, text);
        SetBkColor(dc, back);
    }
}

// ---- the painter ----

void TBaseVastTree::PaintTree(TCanvas* targetCanvas, TRect window, TPoint target,
                              TVTInternalPaintOptions paintOptions, TPixelFormat pixelFormat) {
    if (states_ & tsPainting) return;
    PaintingScope scope(this);
    DoBeforePaint(targetCanvas);

    TVTPaintOptions paint = TreeOptions()->PaintOptions();
    TVTSelectionOptions selectionOptions = TreeOptions()->SelectionOptions();
    auto bitmap = std::make_unique<TBitmap>();
    bool blended = drawSelectionMode_ == smBlendedRectangle || (paint & toUseBlendedSelection);
    bitmap->SetPixelFormat(blended ? pf32bit : pixelFormat);
    TVTPaintInfo info;
    info.Canvas = bitmap->Canvas();
    info.Canvas->Lock();
    struct Unlock {
        TCanvas* canvas;
        ~Unlock() { canvas->Unlock(); }
    } unlock{info.Canvas};

    bool selecting = IsMouseSelecting();
    TRect selectionRect = newSelectionRect_;
    if (selectionRect.left > selectionRect.right) std::swap(selectionRect.left, selectionRect.right);
    if (selectionRect.top > selectionRect.bottom) std::swap(selectionRect.top, selectionRect.bottom);
    bool showSelection = selecting && !selectionRect.IsEmpty();

    TRect r{0, 0, std::max(ClientWidth(), RangeWidth()), 0};
    bitmap->SetWidth(window.Width());
    bool useBackground = UseBackgroundPicture() && (paintOptions & poBackground);
    bool showImages = images_ != nullptr, showStateImages = stateImages_ != nullptr;
    bool showCheckImages = CheckImages() && (TreeOptions()->MiscOptions() & toCheckSupport);
    bool useColumns = header_->GetUseColumns();
    if ((paint & toAlwaysHideSelection) || (!Focused() && (paint & toHideSelection)))
        paintOptions &= TVTInternalPaintOptions(~poDrawSelection);
    if (paint & toHideFocusRect) paintOptions &= TVTInternalPaintOptions(~poDrawFocusRect);

    int nodeTop = 0;
    PVastNode node = GetNodeAt(0, window.top, false, nodeTop);
    if (!node) nodeTop = window.top;
    selectionRect.top -= nodeTop;
    selectionRect.bottom -= nodeTop;
    const int maximumRight = target.x + window.Width(), maximumBottom = target.y + window.Height();
    TRect targetRect{target.x, target.y - (window.top - nodeTop), maximumRight, target.y - (window.top - nodeTop)};
    TColumnIndex firstColumn = InvalidColumn;

    if (node) {
        TLineImage lineImage;
        int selectLevel = InitializeLineImageAndSelectLevel(node, lineImage);
        int indentSize = int(lineImage.size());
        int buttonX = indentSize * indent_ + int(std::nearbyint((indent_ - plusBM_->Width()) / 2.0)) - indent_;
        while (node) {
            InitIfNeeded(node);
            if (node->States & vsSelected) ++selectLevel;
            if (TreeOptions()->MiscOptions() & toVariableNodeHeight) MeasureItemHeight(info.Canvas, node);
            info.BrushOrigin = TPoint{window.left & 1, nodeTop & 1};
            nodeTop += node->NodeHeight;
            targetRect.bottom = targetRect.top + node->NodeHeight;

            if (selectLevel > 0 || !(paintOptions & poSelectedOnly)) {
                if (bitmap->Height() != node->NodeHeight) {
                    bitmap->SetHeight(0);
                    bitmap->SetHeight(node->NodeHeight);
                    SetWindowOrgEx(info.Canvas->Handle(), window.left, 0, nullptr);
                    r.bottom = node->NodeHeight;
                }
                SetBrushOrgEx(info.Canvas->Handle(), info.BrushOrigin.x, info.BrushOrigin.y, nullptr);
                int vAlign = 0, buttonY = 0;
                CalculateVerticalAlignments(showImages, showStateImages, node, vAlign, buttonY);
                info.Node = node;
                TVTInternalPaintOptions lastOptions = paintOptions;
                if (!DoBeforeItemPaint(info.Canvas, node, r)) {
                    info.PaintOptions = paintOptions;
                    ClearNodeBackground(info, useBackground, true,
                                        TRect{window.left, targetRect.top, window.right, targetRect.bottom});
                    info.CellRect = r;
                    if (useColumns) InitializeFirstColumnValues(info);
                    bool firstPass = true;
                    while ((useColumns && info.Column > InvalidColumn) || (!useColumns && firstPass)) {
                        firstPass = false;
                        if (info.CellRect.left >= window.right) break;
                        TVastTreeColumn* column = nullptr;
                        if (useColumns) {
                            info.Column = header_->Columns()->ColumnFromPosition(info.Position);
                            if (info.Column < 0) break;
                            column = header_->Columns()->Items(info.Column);
                            if (firstColumn == InvalidColumn) firstColumn = info.Column;
                            info.BidiMode = column->BiDiMode();
                            info.Alignment = column->Alignment();
                        } else {
                            info.Column = NoColumn;
                            info.BidiMode = BiDiMode();
                            info.Alignment = alignment_;
                        }
                        info.PaintOptions = paintOptions;
                        bool editingHere = (states_ & tsEditing) && node == focusedNode_ &&
                                           (!useColumns || info.Column == focusedColumn_);
                        if (editingHere) info.PaintOptions &= TVTInternalPaintOptions(~poDrawSelection);
                        if (!useColumns || ((node->States & vsSelected) && (selectionOptions & toFullRowSelect) &&
                                            (info.PaintOptions & poDrawSelection)) ||
                            (column && (column->Options() & coParentColor)))
                            info.PaintOptions &= TVTInternalPaintOptions(~poColumnColor);
                        lastOptions = info.PaintOptions;
                        bool isMainColumn = info.Column == MainColumn();
                        if (info.BidiMode != bdLeftToRight) {
                            if (info.Alignment == taLeftJustify)
                                info.Alignment = taRightJustify;
                            else if (info.Alignment == taRightJustify)
                                info.Alignment = taLeftJustify;
                        }
                        TColumnIndex nextColumn = InvalidColumn;
                        bool skipped = (column && !(column->Options() & coVisible)) ||
                                       ((paintOptions & poMainOnly) && !isMainColumn);
                        if (skipped) {
                            nextColumn = header_->Columns()->GetNextVisibleColumn(info.Column);
                        } else {
                            AdjustPaintCellRect(info, nextColumn);
                            if (info.CellRect.right > window.left) {
                                info.NodeWidth = DoGetNodeWidth(node, info.Column, info.Canvas);
                                info.ContentRect = info.CellRect;
                                if (info.BidiMode == bdLeftToRight)
                                    info.ContentRect.left += margin_;
                                else
                                    info.ContentRect.right -= margin_;
                                for (TVTImageInfo& image : info.ImageInfo) image = TVTImageInfo{};
                                if (isMainColumn && showCheckImages) {
                                    info.ImageInfo[iiCheck].Index = GetCheckImage(node);
                                    if (info.ImageInfo[iiCheck].Index >= 0) {
                                        info.ImageInfo[iiCheck].Images = CheckImages();
                                        AdjustImageBorder(CheckImages(), info.BidiMode, vAlign, info.ContentRect,
                                                          info.ImageInfo[iiCheck]);
                                    }
                                }
                                if (showStateImages) {
                                    GetImageIndex(info, ikState, iiState, stateImages_);
                                    if (info.ImageInfo[iiState].Index >= 0)
                                        AdjustImageBorder(info.ImageInfo[iiState].Images, info.BidiMode, vAlign,
                                                          info.ContentRect, info.ImageInfo[iiState]);
                                }
                                if (showImages) {
                                    GetImageIndex(info, (node->States & vsSelected) ? ikSelected : ikNormal, iiNormal,
                                                  images_);
                                    if (info.ImageInfo[iiNormal].Index >= 0)
                                        AdjustImageBorder(info.ImageInfo[iiNormal].Images, info.BidiMode, vAlign,
                                                          info.ContentRect, info.ImageInfo[iiNormal]);
                                }
                                if (isMainColumn) AdjustCoordinatesByIndent(info, indentSize);
                                if (useColumns) LimitPaintingToArea(info.Canvas, info.CellRect);
                                if ((info.PaintOptions & poGridLines) && (paint & toShowHorzGridLines)) {
                                    info.Canvas->Font()->SetColor(colors_->GetColor(TVTColors::GridLineColor));
                                    int left = info.CellRect.left, right = info.CellRect.right;
                                    if (isMainColumn && lineMode_ == lmBands) {
                                        if (info.BidiMode == bdLeftToRight) {
                                            left = info.CellRect.left + indentSize * indent_;
                                            right = info.CellRect.right - 1;
                                        } else {
                                            right = info.CellRect.right - indentSize * indent_ - 1;
                                        }
                                    }
                                    DrawDottedHLine(info, left, right, info.CellRect.bottom - 1);
                                    --info.CellRect.bottom;
                                    --info.ContentRect.bottom;
                                }
                                if (useColumns && (info.PaintOptions & poGridLines) &&
                                    (paint & toShowVertGridLines) &&
                                    !((header_->Options() & hoAutoResize) &&
                                      int(info.Position) >= header_->Columns()->Count() - 1)) {
                                    if (info.BidiMode == bdLeftToRight || !ColumnIsEmpty(node, info.Column)) {
                                        info.Canvas->Font()->SetColor(colors_->GetColor(TVTColors::GridLineColor));
                                        DrawDottedVLine(info, info.CellRect.top, info.CellRect.bottom,
                                                        info.CellRect.right - 1);
                                    }
                                    --info.CellRect.right;
                                    --info.ContentRect.right;
                                }
                                PrepareCell(info, window.left, bitmap->Width());
                                if (isMainColumn) {
                                    if (paint & toShowTreeLines) PaintTreeLines(info, vAlign, indentSize, lineImage);
                                    if ((paint & toShowButtons) && (node->States & vsHasChildren) &&
                                        !((node->States & vsAllChildrenHidden) &&
                                          (TreeOptions()->AutoOptions() & toAutoHideButtons)))
                                        PaintNodeButton(info.Canvas, node, info.CellRect, buttonX, buttonY,
                                                        info.BidiMode);
                                    if (info.ImageInfo[iiCheck].Index >= 0)
                                        PaintCheckImage(info.Canvas, node, info.ImageInfo[iiCheck].Index,
                                                        info.ImageInfo[iiCheck].XPos, info.ImageInfo[iiCheck].YPos,
                                                        info.ImageInfo[iiCheck].Ghosted);
                                }
                                if (info.ImageInfo[iiState].Index >= 0) PaintImage(info, iiState, false);
                                if (info.ImageInfo[iiNormal].Index >= 0) PaintImage(info, iiNormal, true);
                                if (!editingHere) DoPaintNode(info);
                                DoAfterCellPaint(info.Canvas, node, info.Column, info.CellRect);
                            }
                        }
                        if (useColumns) SelectClipRgn(info.Canvas->Handle(), nullptr);
                        if (!useColumns) break;
                        if (info.CellRect.left >= window.right || nextColumn == InvalidColumn) break;
                        TVastTreeColumn* next = header_->Columns()->Items(nextColumn);
                        info.Position = next->Position();
                        if (next->Options() & coVisible) {
                            next->GetAbsoluteBounds(info.CellRect.left, info.CellRect.right);
                            info.CellRect.bottom = node->NodeHeight;
                            info.ContentRect.bottom = node->NodeHeight;
                        }
                    }
                }
                DoAfterItemPaint(info.Canvas, node, r);
                if (node == dropTargetNode_ && (paint & toShowDropmark) && (lastOptions & poDrawDropMark))
                    DoPaintDropMark(info.Canvas, node, r);
                if (showSelection)
                    PaintSelectionRectangle(info.Canvas, window.left, selectionRect,
                                            TRect{0, 0, bitmap->Width(), bitmap->Height()});
                BitBlt(targetCanvas->Handle(), targetRect.left, targetRect.top, bitmap->Width(), bitmap->Height(),
                       info.Canvas->Handle(), window.left, 0, SRCCOPY);
            }

            targetRect.top += node->NodeHeight;
            if (targetRect.top >= maximumBottom) break;
            selectionRect.top -= node->NodeHeight;
            selectionRect.bottom -= node->NodeHeight;

            PVastNode next = GetNextVisible(node);
            if (!next) break;
            if (next->Parent == node) {
                if (indentSize > 0) lineImage[std::size_t(indentSize - 1)] = HasVisibleNextSibling(node) ? ltTopDown : ltNone;
                ++indentSize;
                if (indentSize >= int(lineImage.size())) lineImage.resize(std::size_t(indentSize + 8), ltNone);
                buttonX += indent_;
            } else {
                if (node->States & vsSelected) --selectLevel;
                while (node->Parent != next->Parent) {
                    --indentSize;
                    buttonX -= indent_;
                    node = node->Parent;
                    if (node->States & vsSelected) --selectLevel;
                }
                if (indentSize > 0)
                    lineImage[std::size_t(indentSize - 1)] = HasVisibleNextSibling(next) ? ltTopDownRight : ltTopRight;
            }
            node = next;
        }
    }

    // The rest of the window below the last row.
    if (targetRect.top < maximumBottom) {
        int baseOffset = target.x;
        target = TPoint{targetRect.left, targetRect.top};
        TRect rest{targetRect.left, 0, targetRect.left, maximumBottom - target.y};
        TRect area{0, 0, maximumRight - target.x, maximumBottom - target.y};
        bitmap->SetHeight(0);
        bitmap->SetPixelFormat(pf32bit);
        bitmap->SetSize(area.Width() + 1, area.Height() + 1);
        HDC dc = info.Canvas->Handle();
        SetWindowOrgEx(dc, target.x, 0, nullptr);
        if (!DoPaintBackground(info.Canvas, area)) {
            if (useBackground) {
                SetWindowOrgEx(dc, 0, 0, nullptr);
                auto* picture = static_cast<TBitmap*>(background_->Graphic());
                if (paint & toStaticBackground)
                    StaticBackground(picture, info.Canvas, target, area);
                else
                    TileBackground(picture, info.Canvas, target, area);
            } else if (useColumns) {
                TVastTreeColumns* columns = header_->Columns();
                TColumnIndex column = firstColumn;
                if (column == InvalidColumn) {
                    for (TVastTreeColumn* visible : columns->GetVisibleColumns())
                        if (visible->Left() + visible->Width() > area.left) {
                            column = visible->Index();
                            break;
                        }
                }
                info.Canvas->Font()->SetColor(colors_->GetColor(TVTColors::GridLineColor));
                bool fullLines = (paintOptions & poGridLines) && (paint & toFullVertGridLines) &&
                                 (paint & toShowVertGridLines);
                if (column >= 0) {
                    columns->GetColumnBounds(column, rest.left, rest.right);
                    rest.left = columns->Items(column)->Left();
                    rest.right = rest.left + columns->Items(column)->Width();
                }
                while (column >= 0 && rest.left < area.right + target.x) {
                    TVastTreeColumn* item = columns->Items(column);
                    if (fullLines && !((header_->Options() & hoAutoResize) && column >= columns->Count() - 1)) {
                        DrawDottedVLine(info, rest.top, rest.bottom, rest.right - 1);
                        --rest.right;
                    }
                    info.Canvas->Brush()->SetColor((item->Options() & coParentColor) ? Color() : item->Color());
                    info.Canvas->FillRect(rest);
                    column = columns->GetNextVisibleColumn(column);
                    if (column >= 0) {
                        rest.left = columns->Items(column)->Left();
                        rest.right = rest.left + columns->Items(column)->Width();
                    }
                }
                if (rest.right < area.right + target.x) {
                    int from = rest.right + (fullLines && !(header_->Options() & hoAutoResize) ? 1 : 0);
                    info.Canvas->Brush()->SetColor(Color());
                    info.Canvas->FillRect(TRect{from, rest.top, area.right + target.x, rest.bottom});
                }
                SetWindowOrgEx(dc, 0, 0, nullptr);
            } else {
                SetWindowOrgEx(dc, 0, 0, nullptr);
                info.Canvas->Brush()->SetColor(Color());
                info.Canvas->FillRect(area);
            }
        }
        SetWindowOrgEx(dc, 0, 0, nullptr);
        if (showSelection) {
            TRect band = newSelectionRect_;
            if (band.left > band.right) std::swap(band.left, band.right);
            if (band.top > band.bottom) std::swap(band.top, band.bottom);
            OffsetRect(reinterpret_cast<RECT*>(&band), baseOffset - target.x - window.left, offsetY_ - target.y);
            PaintSelectionRectangle(info.Canvas, 0, band, area);
        }
        BitBlt(targetCanvas->Handle(), target.x, target.y, area.Width(), area.Height(), dc, 0, 0, SRCCOPY);
    }
    DoAfterPaint(targetCanvas);
}

void TBaseVastTree::Paint() {
    TRect update = Canvas()->ClipRect();
    if (update.IsEmpty()) return;
    const TVTInternalPaintOptions options = DefaultPaintFlags;
    int rtl = UseRightToLeftAlignment() && header_->GetUseColumns() ? ComputeRTLOffset() : 0;
    TRect client = ClientRect();
    int fixed = header_->Columns()->GetVisibleFixedWidth();
    if (fixed > 0) {
        TRect window = client;
        window.right = fixed;
        TPoint target{window.left, window.top};
        OffsetRect(reinterpret_cast<RECT*>(&window), -rtl, -offsetY_);
        PaintTree(Canvas(), window, target, options);
        if (client.Width() > fixed) {
            window = client;
            window.left = fixed;
            target = TPoint{window.left, window.top};
            OffsetRect(reinterpret_cast<RECT*>(&window), HorzScrollPos() - rtl, -offsetY_);
            PaintTree(Canvas(), window, target, options);
        }
    } else {
        TRect window = update;
        TPoint target{window.left, window.top};
        OffsetRect(reinterpret_cast<RECT*>(&window), HorzScrollPos() - rtl, -offsetY_);
        PaintTree(Canvas(), window, target, options);
    }
}

// ---- invalidation ----

void TBaseVastTree::InvalidateNode(PVastNode node) {
    if (!node || node == root_ || updateCount_ > 0 || !HandleAllocated()) return;
    // Without the position cache a row's top is found by walking back over every row
    // before it: a row below the window needs no repaint and is known as such once the
    // window's worth of rows lies above it (initialising the rows of a large tree in
    // order would otherwise cost the square of their number).
    if (!(states_ & tsUseCache)) {
        std::int64_t limit = std::int64_t(-offsetY_) + ClientHeight();
        std::int64_t above = 0;
        for (PVastNode run = GetPreviousVisibleNoInit(node); run; run = GetPreviousVisibleNoInit(run)) {
            above += run->NodeHeight;
            if (above >= limit) return;
        }
    }
    TRect r = GetDisplayRect(node, NoColumn, false);
    r.left = 0;
    r.right = ClientWidth();
    if (r.IsEmpty()) return;
    InvalidateRect(Handle(), reinterpret_cast<RECT*>(&r), FALSE);
}

void TBaseVastTree::InvalidateChildren(PVastNode node, bool recursive) {
    if (node && node != root_) {
        InitIfNeeded(node);
        InvalidateNode(node);
        CreateChildrenIfNeeded(node);
    }
    for (PVastNode run = NodeOrRoot(node)->FirstChild; run; run = run->NextSibling) {
        InvalidateNode(run);
        if (recursive) InvalidateChildren(run, true);
    }
}

void TBaseVastTree::InvalidateColumn(TColumnIndex column) {
    if (updateCount_ > 0 || !HandleAllocated() || !header_->Columns()->IsValidColumn(column)) return;
    TRect r{0, 0, 0, ClientHeight()};
    header_->Columns()->GetColumnBounds(column, r.left, r.right);
    InvalidateRect(Handle(), reinterpret_cast<RECT*>(&r), FALSE);
}

void TBaseVastTree::InvalidateToBottom(PVastNode node) {
    if (updateCount_ > 0 || !HandleAllocated()) return;
    if (!node || node == root_) {
        Invalidate();
        return;
    }
    if (!(node->States & vsInitialized) || !IsShown(node)) return;
    TRect r = GetDisplayRect(node, NoColumn, false);
    if (r.top >= ClientHeight()) return;
    r.left = 0;
    r.right = ClientWidth();
    r.bottom = ClientHeight();
    InvalidateRect(Handle(), reinterpret_cast<RECT*>(&r), FALSE);
}

void TBaseVastTree::RepaintNode(PVastNode node) {
    if (!node || node == root_ || !HandleAllocated()) return;
    TRect r = GetDisplayRect(node, NoColumn, false);
    r.left = 0;
    r.right = ClientWidth();
    RedrawWindow(Handle(), reinterpret_cast<RECT*>(&r), nullptr,
                 RDW_INVALIDATE | RDW_VALIDATE | RDW_NOERASE | RDW_NOCHILDREN | RDW_UPDATENOW);
}

}  // namespace treeview
