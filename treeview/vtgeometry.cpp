// Geometry: node heights and their measuring, where a node's cell and text lie, the
// offsets and their clamping, the range, scrolling nodes and columns into view, and the
// window's own scroll bars.
#include <algorithm>

#include "platform/graphics/gdi.h"
#include "platform/graphics/imglist.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"
#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

namespace {

bool BarAllowed(TScrollStyle style, bool vertical) {
    return style == ssBoth || style == (vertical ? ssVertical : ssHorizontal);
}

int MulDiv(int a, int b, int c) { return c == 0 ? -1 : int((std::int64_t(a) * b + (std::int64_t(c) / 2)) / c); }

}  // namespace

// ---- node heights ----

std::uint16_t TBaseVastTree::GetNodeHeight(PVastNode node) {
    if (!node || node == root_) return 0;
    if (TreeOptions()->MiscOptions() & toVariableNodeHeight) {
        InitIfNeeded(node);
        MeasureItemHeight(Canvas(), node);
    }
    return node->NodeHeight;
}

void TBaseVastTree::MeasureItemHeight(TCanvas* canvas, PVastNode node) {
    if (!node || node == root_ || (node->States & vsHeightMeasured)) return;
    InterruptValidation();
    node->States |= vsHeightMeasured;
    int height = node->NodeHeight;
    DoMeasureItem(canvas, node, height);
    // A measured height applies in a read-only tree too.
    if (height != node->NodeHeight) InternalSetNodeHeight(node, std::uint16_t(std::clamp(height, 0, 65535)));
}

void TBaseVastTree::DoMeasureItem(TCanvas* canvas, PVastNode node, int& nodeHeight) {
    if (OnMeasureItem) OnMeasureItem(this, canvas, node, nodeHeight);
}

void TBaseVastTree::SetMultiline(PVastNode node, bool value) {
    if (!node || node == root_ || GetMultiline(node) == value || !CheckOwnNode(node)) return;
    InterruptValidation();
    if (value)
        node->States |= vsMultiline;
    else
        node->States &= ~vsMultiline;
    if (updateCount_ == 0) InvalidateNode(node);
}

void TBaseVastTree::SetVerticalAlignment(PVastNode node, std::uint8_t value) {
    if (!node || node == root_ || !CheckOwnNode(node)) return;
    value = std::min<std::uint8_t>(value, 100);
    if (node->VerticalAlignment == value) return;
    node->VerticalAlignment = value;
    if (GetFullyVisible(node) && updateCount_ == 0) InvalidateNode(node);
}

void TBaseVastTree::CalculateVerticalAlignments(bool hasImages, bool hasStateImages, PVastNode node, int& imageTop,
                                               int& buttonTop) const {
    int height = node->NodeHeight, align = node->VerticalAlignment;
    int button = plusBM_ ? plusBM_->Height() : 9;
    switch (NodeAlignment()) {
        case naFromBottom:
            imageTop = height - align;
            break;
        case naFromTop:
            imageTop = align;
            break;
        default:
            if (hasImages || hasStateImages) {
                int image = hasImages && images_ ? images_->Height() : stateImages_ ? stateImages_->Height() : 0;
                imageTop = MulDiv(height - image, align, 100) + image / 2;
            } else if (TreeOptions()->PaintOptions() & toShowButtons) {
                imageTop = MulDiv(height - button, align, 100) + button / 2;
            } else {
                imageTop = MulDiv(height, align, 100);
            }
    }
    buttonTop = imageTop - button / 2;
}

// ---- images ----

void TBaseVastTree::SetImages(TCustomImageList* value) {
    if (value == images_) return;
    if (images_) images_->RemoveFreeNotification(this);
    images_ = value;
    if (images_) images_->FreeNotification(this);
    InvalidateTree();
}

void TBaseVastTree::SetStateImages(TCustomImageList* value) {
    if (value == stateImages_) return;
    if (stateImages_) stateImages_->RemoveFreeNotification(this);
    stateImages_ = value;
    if (stateImages_) stateImages_->FreeNotification(this);
    InvalidateTree();
}

bool TBaseVastTree::HasImage(PVastNode node, TVTImageKind kind, TColumnIndex column) {
    bool ghosted = false;
    return DoGetImageIndex(node, kind, column, ghosted) > -1;
}

// ---- ranges ----

int TBaseVastTree::RangeWidth() const {
    if (header_ && header_->GetUseColumns()) return header_->Columns()->TotalWidth();
    return int(GetMaxRightExtend());
}

int TBaseVastTree::RangeHeight() const {
    return int(root_->TotalHeight) - int(root_->NodeHeight) + int(bottomSpace_);
}

TRect TBaseVastTree::GetTreeRect() const {
    return TRect{0, 0, std::max(ClientWidth(), RangeWidth()), std::max(ClientHeight(), RangeHeight())};
}

std::uint32_t TBaseVastTree::GetMaxRightExtend() const {
    auto* self = const_cast<TBaseVastTree*>(this);
    int top = 0;
    PVastNode node = self->GetNodeAt(0, 0, true, top);
    if (!node) return std::uint32_t(std::max(0, margin_));
    int offset = int(GetNodeLevel(node)) * indent_;
    if (TreeOptions()->PaintOptions() & toShowRoot) offset += indent_;
    if (stateImages_) offset += stateImages_->Width() + 2;
    if (images_) offset += images_->Width() + 2;
    bool checks = (TreeOptions()->MiscOptions() & toCheckSupport) && CheckImages();
    int checkWidth = checks ? CheckImages()->Width() + 2 : 0;
    int widest = 0;
    while (node) {
        self->InitIfNeeded(node);
        int candidate = offset + self->DoGetNodeWidth(node, NoColumn, nullptr);
        if (checks && node->CheckType != ctNone) candidate += checkWidth;
        widest = std::max(widest, candidate);
        top += node->NodeHeight;
        if (top > Height()) break;
        PVastNode next = GetNextVisibleNoInit(node);
        if (next) offset += CountLevelDifference(node, next) * indent_;
        node = next;
    }
    return std::uint32_t(std::max(0, widest + margin_));
}

int TBaseVastTree::GetMaxColumnWidth(TColumnIndex column, bool useSmartColumnWidth) {
    int imageWidth = images_ ? images_->Width() + 2 : 0;
    int stateWidth = stateImages_ ? stateImages_->Width() + 2 : 0;
    bool mainColumn = column == MainColumn() || column == NoColumn;
    bool checks = mainColumn && (TreeOptions()->MiscOptions() & toCheckSupport) && CheckImages();
    int checkWidth = checks ? CheckImages()->Width() + 2 : 0;
    int top = 0;
    PVastNode node = useSmartColumnWidth ? GetNodeAt(0, 0, true, top) : GetFirstVisible();
    int offset = 0;
    if (mainColumn && node) {
        offset = int(GetNodeLevel(node)) * indent_;
        if (TreeOptions()->PaintOptions() & toShowRoot) offset += indent_;
    }
    offset += margin_;
    int widest = 0;
    while (node) {
        InitIfNeeded(node);
        int width = offset + DoGetNodeWidth(node, column, nullptr);
        if (checks && node->CheckType != ctNone) width += checkWidth;
        if (HasImage(node, ikNormal, column)) width += imageWidth;
        if (HasImage(node, ikState, column)) width += stateWidth;
        widest = std::max(widest, width);
        PVastNode next = GetNextVisible(node);
        if (useSmartColumnWidth && next && GetDisplayRect(next, column, true).top >= ClientHeight()) break;
        if (mainColumn && next) offset += CountLevelDifference(node, next) * indent_;
        node = next;
    }
    if (TreeOptions()->PaintOptions() & toShowVertGridLines) ++widest;
    return widest;
}

// ---- display rectangles ----

TRect TBaseVastTree::GetDisplayRect(PVastNode node, TColumnIndex column, bool forText, bool unbounded) {
    Require(node != nullptr, "Node must not be nil.");
    Require(node != root_, "Node must not be the hidden root node.");
    bool mainColumn = column == MainColumn() && column != NoColumn;
    if (!header_->GetUseColumns() && column == NoColumn) mainColumn = true;
    InitIfNeeded(node);
    int indentation = 0;
    for (PVastNode run = node; run != root_; run = run->Parent) {
        if (!(run->States & vsVisible) || !(run->Parent->States & vsExpanded)) return TRect{0, 0, 0, 0};
        if (run != node && mainColumn) indentation += indent_;
    }
    // The node's top among the shown rows.
    std::int64_t top = 0;
    std::uint32_t cacheTop = 0;
    PVastNode start = (states_ & tsUseCache) ? FindInPositionCache(node, cacheTop) : nullptr;
    if (start) {
        top = cacheTop;
        for (PVastNode run = start; run && run != node; run = GetNextVisibleNoInit(run)) top += run->NodeHeight;
    } else {
        for (PVastNode run = GetPreviousVisibleNoInit(node); run; run = GetPreviousVisibleNoInit(run))
            top += run->NodeHeight;
    }
    TRect r{0, int(top), std::max(ClientWidth(), RangeWidth()), int(top) + node->NodeHeight};
    if (column < 0) {
        r.left -= HorzScrollPos();
        r.right -= HorzScrollPos();
    } else {
        int left = 0, right = 0;
        header_->Columns()->GetColumnBounds(column, left, right);
        r.left = left;
        r.right = right - 1;
    }
    r.top += offsetY_;
    r.bottom += offsetY_;
    if (!forText) return r;

    int offset = margin_ + indentation;
    TAlignment alignment = alignment_;
    bool rightToLeft = UseRightToLeftReading();
    if (column >= 0 && header_->Columns()->IsValidColumn(column)) {
        TVastTreeColumn* item = header_->Columns()->Items(column);
        alignment = item->Alignment();
        rightToLeft = item->UseRightToLeftReading();
    }
    if (mainColumn) {
        if (TreeOptions()->PaintOptions() & toShowRoot) offset += indent_;
        if ((TreeOptions()->MiscOptions() & toCheckSupport) && CheckImages() && node->CheckType != ctNone)
            offset += CheckImages()->Width() + 2;
    }
    if (stateImages_ && HasImage(node, ikState, column)) offset += stateImages_->Width() + 2;
    if (images_ && HasImage(node, ikNormal, column)) offset += images_->Width() + 2;
    if (rightToLeft) {
        r.right -= offset;
        if (alignment == taLeftJustify)
            alignment = taRightJustify;
        else if (alignment == taRightJustify)
            alignment = taLeftJustify;
    } else {
        r.left += offset;
    }
    int width = DoGetNodeWidth(node, column, nullptr);
    int cellHeight = r.Height();
    if (unbounded) {
        if (r.Width() < width) alignment = rightToLeft ? taRightJustify : taLeftJustify;
        TEXTMETRIC metric{};
        GetTextMetrics(Canvas()->Handle(), &metric);
        int textHeight = std::min(int(metric.tmHeight), cellHeight);
        int grow = textHeight - r.Height();
        if (grow > 0) {
            r.top -= (grow + 1) / 2;
            r.bottom += (grow + 1) / 2;
        }
    } else if (width >= r.Width()) {
        return r;
    }
    if (alignment == taRightJustify) {
        r.left = r.right - width;
    } else if (alignment == taCenter) {
        r.left = (r.left + r.right - width) / 2;
        r.right = r.left + width;
    } else {
        r.right = r.left + width;
    }
    return r;
}

// ---- offsets ----

int TBaseVastTree::HorzScrollPos() const {
    if (UseRightToLeftAlignment()) return std::max(0, RangeWidth() - ClientWidth() + offsetX_);
    return -offsetX_;
}

void TBaseVastTree::SetOffsetX(int value) { DoSetOffsetXY(TPoint{value, offsetY_}, DefaultScrollUpdateFlags); }

void TBaseVastTree::SetOffsetY(int value) { DoSetOffsetXY(TPoint{offsetX_, value}, DefaultScrollUpdateFlags); }

void TBaseVastTree::SetOffsetXY(TPoint value) { DoSetOffsetXY(value, DefaultScrollUpdateFlags); }

bool TBaseVastTree::DoSetOffsetXY(TPoint value, TScrollUpdateOptions options, const TRect* clip) {
    int x = std::min(0, std::max(value.x, ClientWidth() - RangeWidth()));
    int y = std::min(0, std::max(value.y, ClientHeight() - RangeHeight()));
    int deltaX = x - offsetX_, deltaY = y - offsetY_;
    if (UseRightToLeftAlignment()) deltaX = -deltaX;
    if (deltaX == 0 && deltaY == 0) return false;
    offsetX_ = x;
    offsetY_ = y;
    if (updateCount_ == 0 && HandleAllocated()) {
        if (options & suoScrollClientArea) {
            int fixed = header_->Columns()->GetVisibleFixedWidth();
            if (deltaX != 0 && fixed > 0) {
                RECT area = {fixed, 0, ClientWidth(), ClientHeight()};
                ScrollWindow(Handle(), deltaX, 0, &area, &area);
                if (deltaY != 0) {
                    RECT* c = clip ? reinterpret_cast<RECT*>(const_cast<TRect*>(clip)) : nullptr;
                    ScrollWindow(Handle(), 0, deltaY, c, c);
                }
            } else {
                const RECT* c = clip ? reinterpret_cast<const RECT*>(clip) : nullptr;
                ScrollWindow(Handle(), deltaX, deltaY, c, c);
            }
        }
        if (options & suoUpdateNCArea) {
            TScrollStyle bars = scrollBarOptions_->ScrollBars();
            if (deltaX != 0) {
                if ((options & suoRepaintHeader) && (header_->Options() & hoVisible)) header_->Invalidate(NoColumn);
                if (!(states_ & tsSizing) && BarAllowed(bars, false))
                    UpdateHorizontalScrollBar(options & suoRepaintScrollbars);
            }
            if (deltaY != 0 && !(states_ & (tsSizing | tsThumbTracking))) {
                UpdateVerticalScrollBar(options & suoRepaintScrollbars);
                if (!header_->GetUseColumns() && !IsMouseSelecting() && BarAllowed(bars, false))
                    UpdateHorizontalScrollBar(options & suoRepaintScrollbars);
            }
        }
    }
    DoScroll(deltaX, deltaY);
    return true;
}

void TBaseVastTree::DoScroll(int deltaX, int deltaY) {
    if (OnScroll) OnScroll(this, deltaX, deltaY);
}

PVastNode TBaseVastTree::TopNode() {
    int top = 0;
    return GetNodeAt(0, 0, true, top);
}

void TBaseVastTree::SetTopNode(PVastNode node) {
    if (!node || node == root_ || !CheckOwnNode(node)) return;
    for (PVastNode run = node->Parent; run != root_; run = run->Parent)
        if (!(run->States & vsExpanded)) ToggleNode(run);
    TRect r = GetDisplayRect(node, MainColumn(), true);
    SetOffsetY(offsetY_ - r.top);
}

bool TBaseVastTree::ScrollIntoView(PVastNode node, bool center, bool horizontally) {
    if (!node || node == root_ || !CheckOwnNode(node)) return false;
    for (PVastNode run = node->Parent; run != root_; run = run->Parent)
        if (!(run->States & vsExpanded)) ToggleNode(run);
    TColumnIndex column =
        header_->GetUseColumns() && header_->Columns()->IsValidColumn(focusedColumn_) ? focusedColumn_ : NoColumn;
    TRect r = GetDisplayRect(node, column, !(TreeOptions()->MiscOptions() & toGridExtensions));
    bool scrolled = false;
    if (r.top < 0) {
        SetOffsetY(center ? offsetY_ - r.top + ClientHeight() / 2 : offsetY_ - r.top);
        scrolled = true;
    } else if (r.bottom > ClientHeight() || center) {
        TScrollStyle bars = scrollBarOptions_->ScrollBars();
        bool horzShown =
            BarAllowed(bars, false) && (scrollBarOptions_->AlwaysVisible() || ClientWidth() < RangeWidth());
        int y = center ? offsetY_ - r.bottom + ClientHeight() / 2 : offsetY_ - r.bottom + ClientHeight();
        if (!header_->GetUseColumns() && !horzShown && ClientWidth() < RangeWidth())
            y -= GetSystemMetrics(SM_CYHSCROLL);
        SetOffsetY(y);
        scrolled = true;
    }
    if (horizontally && ScrollIntoView(focusedColumn_, center)) scrolled = true;
    return scrolled;
}

bool TBaseVastTree::ScrollIntoView(TColumnIndex column, bool center) {
    if (!header_->GetUseColumns() || !header_->Columns()->IsValidColumn(column)) return false;
    TVastTreeColumn* item = header_->Columns()->Items(column);
    // Where the column is shown now (scrolled unless fixed).
    int left = item->GetLeft(), right = left + item->Width();
    int position = HorzScrollPos(), fixed = header_->Columns()->GetVisibleFixedWidth();
    if (fixed > 0 && !center) {
        if (right > ClientWidth())
            position += right - ClientWidth();
        else if (left < fixed)
            position -= fixed - left;
    } else {
        position = HorzScrollPos() + left - fixed / 2 - ClientWidth() / 2 + (right - left) / 2;
    }
    if (position != HorzScrollPos()) {
        if (UseRightToLeftAlignment())
            SetOffsetX(ClientWidth() - RangeWidth() + position);
        else
            SetOffsetX(-position);
    }
    return true;
}

void TBaseVastTree::SetBottomSpace(std::uint32_t value) {
    if (value == bottomSpace_) return;
    bottomSpace_ = value;
    UpdateVerticalScrollBar(true);
}

void TBaseVastTree::SetAlignment(TAlignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    if (!(ComponentState() & csLoading)) InvalidateTree();
}

// ---- scroll bars ----

void TBaseVastTree::UpdateScrollBars(bool redraw) {
    if (!HandleAllocated()) return;
    UpdateVerticalScrollBar(redraw);
    UpdateHorizontalScrollBar(redraw);
}

void TBaseVastTree::UpdateVerticalScrollBar(bool redraw) {
    if ((states_ & tsUpdating) || !HandleAllocated()) return;
    if (root_->TotalHeight < defaultNodeHeight_) root_->TotalHeight = defaultNodeHeight_;
    if (!BarAllowed(scrollBarOptions_->ScrollBars(), true)) {
        DoShowScrollbar(SB_VERT, false);
        SetOffsetY(offsetY_);
        return;
    }
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    bool always = scrollBarOptions_->AlwaysVisible();
    if (ClientHeight() < RangeHeight() || always) {
        DoShowScrollbar(SB_VERT, true);
        info.nMin = 0;
        info.nMax = RangeHeight();
        info.nPos = -offsetY_;
        info.nPage = UINT(std::max(0, ClientHeight() + 1));
        if (always) info.fMask |= SIF_DISABLENOSCROLL;
        SetScrollInfo(Handle(), SB_VERT, &info, redraw);
    } else {
        DoShowScrollbar(SB_VERT, false);
        SetScrollInfo(Handle(), SB_VERT, &info, FALSE);
    }
    SetOffsetY(-GetScrollPos(Handle(), SB_VERT));
}

void TBaseVastTree::UpdateHorizontalScrollBar(bool redraw) {
    if ((states_ & tsUpdating) || !HandleAllocated()) return;
    if (!BarAllowed(scrollBarOptions_->ScrollBars(), false)) {
        DoShowScrollbar(SB_HORZ, false);
        SetOffsetX(offsetX_);
        return;
    }
    int range = RangeWidth();
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    bool always = scrollBarOptions_->AlwaysVisible();
    if (ClientWidth() < range || always) {
        DoShowScrollbar(SB_HORZ, true);
        info.nMin = 0;
        info.nMax = range;
        info.nPos = HorzScrollPos();
        info.nPage = UINT(std::max(0, ClientWidth() + 1));
        if (always) info.fMask |= SIF_DISABLENOSCROLL;
        SetScrollInfo(Handle(), SB_HORZ, &info, redraw);
    } else {
        DoShowScrollbar(SB_HORZ, false);
        SetScrollInfo(Handle(), SB_HORZ, &info, FALSE);
    }
    int position = GetScrollPos(Handle(), SB_HORZ);
    SetOffsetX(UseRightToLeftAlignment() ? ClientWidth() - range + position : -position);
}

void TBaseVastTree::DoShowScrollbar(int bar, bool show) {
    ShowScrollBar(Handle(), bar, show);
    if (OnShowScrollbar) OnShowScrollbar(this, bar, show);
}

void TBaseVastTree::HandleScrollMessage(TMessage& message, bool vertical) {
    message.Result = 0;
    int code = int(LOWORD(std::uintptr_t(message.WParam)));
    int direction = !vertical && UseRightToLeftAlignment() ? -1 : 1;
    int increment = vertical ? int(scrollBarOptions_->VerticalIncrement())
                             : direction * int(scrollBarOptions_->HorizontalIncrement());
    int page = vertical ? ClientHeight() : direction * (ClientWidth() - header_->Columns()->GetVisibleFixedWidth());
    int current = vertical ? offsetY_ : offsetX_;
    auto move = [&](int value) { vertical ? SetOffsetY(value) : SetOffsetX(value); };
    switch (code) {
        case SB_LINEUP: move(current + increment); break;
        case SB_LINEDOWN: move(current - increment); break;
        case SB_PAGEUP: move(current + page); break;
        case SB_PAGEDOWN: move(current - page); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: {
            DoStateChange(tsThumbTracking);
            SCROLLINFO info;
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(Handle(), vertical ? SB_VERT : SB_HORZ, &info);
            if (vertical)
                SetOffsetY(-info.nTrackPos);
            else
                SetOffsetX(UseRightToLeftAlignment() ? ClientWidth() - RangeWidth() + info.nTrackPos : -info.nTrackPos);
            break;
        }
        case SB_TOP: move(0); break;
        case SB_BOTTOM: move(vertical ? -int(root_->TotalHeight) : -RangeWidth()); break;
        case SB_ENDSCROLL:
            DoStateChange(0, tsThumbTracking);
            if (vertical) {
                UpdateScrollBars(true);
                RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_NOCHILDREN | RDW_NOERASE | RDW_INVALIDATE);
            } else {
                UpdateHorizontalScrollBar(false);
            }
            break;
        default:
            break;
    }
}

void TBaseVastTree::SizeChanged() {
    if (!HandleAllocated() || (states_ & (tsSizing | tsWindowCreating)) || ClientHeight() <= 0) return;
    DoStateChange(tsSizing);
    TScopeExit endSizing([this] { DoStateChange(0, tsSizing); });
    UpdateScrollBars(true);
}

}  // namespace treeview
