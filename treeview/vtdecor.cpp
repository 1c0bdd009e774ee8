// Cell decorations: tree lines in both modes, the expand buttons, images with overlays
// and ghosting, the drop mark and the background picture, tiled or static.
#include <algorithm>

#include "platform/graphics/gdi.h"
#include "platform/graphics/imglist.h"
#include "treeview/vasttrees.h"

namespace treeview {

using namespace platform;

// ---- settings ----

void TBaseVastTree::SetLineMode(TVTLineMode value) {
    if (value == lineMode_) return;
    lineMode_ = value;
    if (HandleAllocated() && !(ComponentState() & csLoading)) Invalidate();
}

void TBaseVastTree::SetBackground(TPicture* value) {
    background_->Assign(value);
    InvalidateTree();
}

void TBaseVastTree::SetBackgroundOffset(int index, int value) {
    int& field = index == 0 ? backgroundOffsetX_ : backgroundOffsetY_;
    if (field == value) return;
    field = value;
    InvalidateTree();
}

void TBaseVastTree::SetDropTarget(PVastNode node, TDropMode mode) {
    if (node == root_) node = nullptr;
    if (node == dropTargetNode_ && mode == lastDropMode_) return;
    PVastNode old = dropTargetNode_;
    dropTargetNode_ = node;
    lastDropMode_ = mode;
    if (old) InvalidateNode(old);
    if (node) InvalidateNode(node);
}

// ---- lines ----

void TBaseVastTree::DrawDottedHLine(const TVTPaintInfo& paintInfo, int left, int right, int top) {
    TCanvas* canvas = paintInfo.Canvas;
    canvas->Brush()->SetColor(Color());
    HDC dc = canvas->Handle();
    COLORREF text = SetTextColor(dc, ColorToRGB(canvas->Font()->Color()));
    COLORREF back = SetBkColor(dc, ColorToRGB(Color()));
    RECT r{std::min(left, right), top, std::max(left, right) + 1, top + 1};
    FillRect(dc, &r, dottedBrush_.get());
    SetTextColor(dc, text);
    SetBkColor(dc, back);
}

void TBaseVastTree::DrawDottedVLine(const TVTPaintInfo& paintInfo, int top, int bottom, int left) {
    TCanvas* canvas = paintInfo.Canvas;
    canvas->Brush()->SetColor(Color());
    HDC dc = canvas->Handle();
    COLORREF text = SetTextColor(dc, ColorToRGB(canvas->Font()->Color()));
    COLORREF back = SetBkColor(dc, ColorToRGB(Color()));
    RECT r{left, std::min(top, bottom), left + 1, std::max(top, bottom) + 1};
    FillRect(dc, &r, dottedBrush_.get());
    SetTextColor(dc, text);
    SetBkColor(dc, back);
}

void TBaseVastTree::DrawLineImage(const TVTPaintInfo& paintInfo, int x, int y, int h, int vAlign,
                                  TVTLineType style, bool reverse) {
    int half = indent_ / 2, targetX = reverse ? 0 : indent_;
    auto vertical = [&](int at, int from, int to) { DrawDottedVLine(paintInfo, from, to, at); };
    auto horizontal = [&](int at, int from, int to) { DrawDottedHLine(paintInfo, from, to, at); };
    switch (style) {
        case ltBottomRight:
            vertical(x + half, y + vAlign, y + h);
            horizontal(y + vAlign, x + half, x + targetX);
            break;
        case ltTopDown:
            vertical(x + half, y, y + h);
            break;
        case ltTopDownRight:
            vertical(x + half, y, y + h);
            horizontal(y + vAlign, x + half, x + targetX);
            break;
        case ltRight:
            horizontal(y + vAlign, x + half, x + targetX);
            break;
        case ltTopRight:
            vertical(x + half, y, y + vAlign);
            horizontal(y + vAlign, x + half, x + targetX);
            break;
        case ltLeft:
            vertical(reverse ? x + indent_ : x, y, y + h);
            break;
        case ltLeftBottom:
            vertical(reverse ? x + indent_ : x, y, y + h);
            horizontal(y + h, x, x + indent_);
            break;
        case ltNone:
            break;
    }
}

void TBaseVastTree::PaintTreeLines(const TVTPaintInfo& paintInfo, int vAlignment, int indentSize,
                                   const TLineImage& lineImage) {
    bool reverse = paintInfo.BidiMode != bdLeftToRight;
    int x = reverse ? paintInfo.CellRect.right - indent_ : paintInfo.CellRect.left;
    int step = reverse ? -indent_ : indent_;
    int count = std::min<int>(indentSize, int(lineImage.size()));
    PVastNode node = paintInfo.Node;
    if (lineMode_ == lmNormal) {
        paintInfo.Canvas->Font()->SetColor(colors_->GetColor(TVTColors::TreeLineColor));
        for (int i = 0; i < count; ++i, x += step)
            DrawLineImage(paintInfo, x, paintInfo.CellRect.top, node->NodeHeight, vAlignment, lineImage[std::size_t(i)],
                          reverse);
        return;
    }
    if (!(paintInfo.PaintOptions & poGridLines)) return;
    TLineImage bands(std::size_t(count), ltNone);
    bool openBranch = (node->States & vsExpanded) && !(node->States & vsAllChildrenHidden);
    for (int i = count - 1; i >= 0; --i) {
        if (openBranch) {
            bands[std::size_t(i)] = ltLeft;
            continue;
        }
        switch (lineImage[std::size_t(i)]) {
            case ltNone:
            case ltTopDown: {
                TVTLineType after = i + 1 < count ? lineImage[std::size_t(i + 1)] : ltNone;
                if (i + 1 < count) bands[std::size_t(i + 1)] = after == ltNone || after == ltTopRight ? bands[std::size_t(i + 1)] : ltLeft;
                break;
            }
            case ltBottomRight:
            case ltTopDownRight:
            case ltRight:
            case ltTopRight:
                bands[std::size_t(i)] = ltLeftBottom;
                break;
            case ltLeft:
            case ltLeftBottom:
                bands[std::size_t(i)] = ltNone;
                break;
        }
    }
    paintInfo.Canvas->Font()->SetColor(colors_->GetColor(TVTColors::GridLineColor));
    for (int i = 0; i < count; ++i, x += step)
        DrawLineImage(paintInfo, x, paintInfo.CellRect.top, node->NodeHeight - 1, vAlignment, bands[std::size_t(i)],
                      reverse);
}

// ---- buttons and images ----

void TBaseVastTree::PaintNodeButton(TCanvas* canvas, PVastNode node, const TRect& r, int buttonX, int buttonY,
                                    TBiDiMode bidiMode) {
    TBitmap* bitmap = (node->States & vsExpanded) ? minusBM_.get() : plusBM_.get();
    int x = bidiMode == bdLeftToRight ? r.left + buttonX : r.right - buttonX - bitmap->Width();
    canvas->Draw(x, r.top + buttonY, bitmap);
}

void TBaseVastTree::GetImageIndex(TVTPaintInfo& paintInfo, TVTImageKind kind, TVTImageInfoIndex infoIndex,
                                  TCustomImageList* defaultImages) {
    TVTImageInfo& image = paintInfo.ImageInfo[infoIndex];
    image.Index = -1;
    image.Ghosted = false;
    image.Index = DoGetImageIndex(paintInfo.Node, kind, paintInfo.Column, image.Ghosted);
    image.Images = defaultImages;
}

void TBaseVastTree::PaintImage(TVTPaintInfo& paintInfo, TVTImageInfoIndex imageInfoIndex, bool doOverlay) {
    TVTImageInfo& image = paintInfo.ImageInfo[imageInfoIndex];
    if (!image.Images) return;
    PVastNode node = paintInfo.Node;
    TVTPaintOptions paint = TreeOptions()->PaintOptions();
    TVTSelectionOptions selection = TreeOptions()->SelectionOptions();
    TVTMiscOptions misc = TreeOptions()->MiscOptions();
    bool cutNode = (node->States & vsCutOrCopy) && (states_ & tsCutPending);
    bool paintFocused = Focused() || (paint & toGhostedIfUnfocused);
    if (doOverlay)
        GetImageIndex(paintInfo, ikOverlay, iiOverlay, image.Images);
    else
        paintInfo.ImageInfo[iiOverlay].Index = -1;
    int overlay = paintInfo.ImageInfo[iiOverlay].Index;
    bool enabled = !(node->States & vsDisabled) && Enabled();
    bool selected = node->States & vsSelected;
    TColor blend = Color();
    if (selected && !image.Ghosted && !cutNode)
        blend = colors_->GetColor(paintFocused || (paint & toPopupMode) ? TVTColors::FocusedSelectionColor
                                                                         : TVTColors::UnfocusedSelectionColor);
    UINT style = ILD_TRANSPARENT;
    if (overlay >= 0 && overlay <= 14) style |= UINT(overlay + 1) << 8;
    if ((paint & toUseBlendedImages) && paintFocused &&
        (image.Ghosted || (selected && !(selection & toFullRowSelect) && !(misc & toGridExtensions)) || cutNode))
        style |= ILD_BLEND50;
    if (selected && !image.Ghosted) blend = clDefault;
    TColor kept = image.Images->BlendColor();
    image.Images->SetBlendColor(blend);
    UINT base = image.Images->ImageType() == itMask ? ILD_MASK : ILD_NORMAL;
    image.Images->DoDraw(image.Index, paintInfo.Canvas, image.XPos, image.YPos, base | style, enabled);
    if (overlay >= 15) {
        TCustomImageList* overlayImages = paintInfo.ImageInfo[iiOverlay].Images ? paintInfo.ImageInfo[iiOverlay].Images
                                                                                : image.Images;
        overlayImages->DoDraw(overlay, paintInfo.Canvas, image.XPos, image.YPos, base | (style & ~ILD_OVERLAYMASK),
                              enabled);
    }
    image.Images->SetBlendColor(kept);
}

void TBaseVastTree::DoPaintDropMark(TCanvas* canvas, PVastNode, const TRect& r) {
    if (lastDropMode_ != dmAbove && lastDropMode_ != dmBelow) return;
    TPenStyle penStyle = canvas->Pen()->Style();
    TColor brushColor = canvas->Brush()->Color();
    canvas->Pen()->SetStyle(psClear);
    canvas->Brush()->SetColor(colors_->GetColor(TVTColors::DropMarkColor));
    if (lastDropMode_ == dmAbove)
        canvas->Polygon({TPoint{r.left + 2, r.top}, TPoint{r.right - 2, r.top}, TPoint{r.right - 2, r.top + 6},
                         TPoint{r.right - 6, r.top + 2}, TPoint{r.left + 6, r.top + 2}, TPoint{r.left + 2, r.top + 6}});
    else
        canvas->Polygon({TPoint{r.left + 2, r.bottom - 1}, TPoint{r.right - 2, r.bottom - 1},
                         TPoint{r.right - 2, r.bottom - 8}, TPoint{r.right - 7, r.bottom - 3},
                         TPoint{r.left + 7, r.bottom - 3}, TPoint{r.left + 2, r.bottom - 8}});
    canvas->Pen()->SetStyle(penStyle);
    canvas->Brush()->SetColor(brushColor);
}

// ---- background picture ----

void TBaseVastTree::TileBackground(TBitmap* source, TCanvas* target, TPoint offset, const TRect& r) {
    int width = source->Width(), height = source->Height();
    // A picture without pixels tiles nothing (and would divide by zero).
    if (width <= 0 || height <= 0) return;
    auto wrap = [](int value, int size) { return ((value % size) + size) % size; };
    int sourceY = wrap(r.top + offset.y + backgroundOffsetY_, height);
    HDC from = source->Canvas()->Handle(), to = target->Handle();
    for (int y = r.top; y < r.bottom;) {
        int sourceX = wrap(r.left + offset.x + backgroundOffsetX_, width);
        int h = std::min(r.bottom - y, height - sourceY);
        for (int x = r.left; x < r.right;) {
            int w = std::min(r.right - x, width - sourceX);
            BitBlt(to, x, y, w, h, from, sourceX, sourceY, SRCCOPY);
            x += width - sourceX;
            sourceX = 0;
        }
        y += height - sourceY;
        sourceY = 0;
    }
}

void TBaseVastTree::StaticBackground(TBitmap* source, TCanvas* target, TPoint offset, const TRect& r) {
    target->Brush()->SetColor(Color());
    target->FillRect(r);
    if (source->Width() <= 0 || source->Height() <= 0) return;
    RECT picture{backgroundOffsetX_, backgroundOffsetY_, backgroundOffsetX_ + source->Width(),
                 backgroundOffsetY_ + source->Height()};
    RECT area{r.left + offset.x, r.top + offset.y, r.right + offset.x, r.bottom + offset.y};
    RECT d;
    if (!IntersectRect(&d, &picture, &area)) return;
    BitBlt(target->Handle(), d.left - offset.x, d.top - offset.y, d.right - d.left, d.bottom - d.top,
           source->Canvas()->Handle(), d.left - picture.left, d.top - picture.top, SRCCOPY);
}

}  // namespace treeview
