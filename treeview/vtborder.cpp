// The tree's window frame: its creation parameters (scroll bars, border, full repaint
// on resize, reading order), the border style, and the bevels and border width painted
// in the non-client area.
#include <algorithm>

#include "platform/graphics/gdi.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"

namespace treeview {

using namespace platform;

void TBaseVastTree::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (scrollBarOptions_->ScrollBars()) {
        case ssHorizontal: params.Style |= WS_HSCROLL; break;
        case ssVertical: params.Style |= WS_VSCROLL; break;
        case ssBoth: params.Style |= WS_HSCROLL | WS_VSCROLL; break;
        case ssNone: break;
    }
    if (options_->MiscOptions() & toFullRepaintOnResize)
        params.WindowClass.style |= CS_HREDRAW | CS_VREDRAW;
    else
        params.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
    // A single border is the sunken client edge; there is no flat variant here.
    params.Style &= ~DWORD(WS_BORDER);
    if (borderStyle_ == bsSingle)
        params.ExStyle |= WS_EX_CLIENTEDGE;
    else
        params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
    AddBiDiModeExStyle(params.ExStyle);
}

void TBaseVastTree::SetBorderStyle(TBorderStyle value) {
    if (value == borderStyle_) return;
    borderStyle_ = value;
    if (HandleAllocated()) RecreateWnd();
}

}  // namespace treeview

namespace treeview {

using namespace platform;

// ---- bevels and border width ----

void TBaseVastTree::FrameChanged() {
    if (HandleAllocated()) HeaderChanged();  // the frame is measured and painted again
}

void TBaseVastTree::SetBevelKind(TBevelKind value) {
    if (value == bevelKind_) return;
    bevelKind_ = value;
    FrameChanged();
}

void TBaseVastTree::SetBevelInner(TBevelCut value) {
    if (value == bevelInner_) return;
    bevelInner_ = value;
    FrameChanged();
}

void TBaseVastTree::SetBevelOuter(TBevelCut value) {
    if (value == bevelOuter_) return;
    bevelOuter_ = value;
    FrameChanged();
}

void TBaseVastTree::SetBevelEdges(TBevelEdges value) {
    value &= beLeft | beTop | beRight | beBottom;
    if (value == bevelEdges_) return;
    bevelEdges_ = value;
    FrameChanged();
}

void TBaseVastTree::SetBevelWidth(int value) {
    value = std::clamp(value, 1, 64);
    if (value == bevelWidth_) return;
    bevelWidth_ = value;
    FrameChanged();
}

void TBaseVastTree::SetBorderWidth(int value) {
    value = std::clamp(value, 0, 256);
    if (value == borderWidth_) return;
    borderWidth_ = value;
    FrameChanged();
}

void TBaseVastTree::SetCtl3D(bool value) {
    if (value == ctl3D_) return;
    ctl3D_ = value;
    FrameChanged();
}

TRect TBaseVastTree::FrameInsets() const {
    TRect insets{borderWidth_, borderWidth_, borderWidth_, borderWidth_};
    if (bevelKind_ != bkNone) {
        int size = (bevelInner_ != bvNone ? bevelWidth_ : 0) + (bevelOuter_ != bvNone ? bevelWidth_ : 0);
        if (bevelEdges_ & beLeft) insets.left += size;
        if (bevelEdges_ & beTop) insets.top += size;
        if (bevelEdges_ & beRight) insets.right += size;
        if (bevelEdges_ & beBottom) insets.bottom += size;
    }
    return insets;
}

void TBaseVastTree::OriginalWMNCPaint(HDC dc) {
    if (!dc || (bevelKind_ == bkNone && borderWidth_ == 0)) return;
    const int border = HandleAllocated() && (GetWindowLongA(Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ? 2 : 0;
    RECT r{border, border, Width() - border, Height() - border};
    if (bevelKind_ != bkNone) {
        UINT edge = (bevelInner_ == bvLowered ? BDR_SUNKENINNER : bevelInner_ == bvRaised ? BDR_RAISEDINNER : 0) |
                    (bevelOuter_ == bvLowered ? BDR_SUNKENOUTER : bevelOuter_ == bvRaised ? BDR_RAISEDOUTER : 0);
        UINT flags = (bevelKind_ == bkSoft ? BF_SOFT : bevelKind_ == bkFlat ? BF_FLAT : 0) | bevelEdges_ |
                     (ctl3D_ ? 0 : BF_MONO);
        if (edge) DrawEdge(dc, &r, edge, flags);
        TRect insets = FrameInsets();
        r.left += insets.left - borderWidth_;
        r.top += insets.top - borderWidth_;
        r.right -= insets.right - borderWidth_;
        r.bottom -= insets.bottom - borderWidth_;
    }
    if (borderWidth_ > 0 && r.right > r.left && r.bottom > r.top) {
        // The ring of BorderWidth pixels inside the bevels.
        RECT inner{r.left + borderWidth_, r.top + borderWidth_, r.right - borderWidth_, r.bottom - borderWidth_};
        HBRUSH brush = CreateSolidBrush(ColorToRGB(colors_->GetColor(TVTColors::BorderColor)));
        RECT parts[4] = {{r.left, r.top, r.right, std::min(inner.top, r.bottom)},
                         {r.left, std::max(inner.bottom, r.top), r.right, r.bottom},
                         {r.left, inner.top, std::min(inner.left, r.right), inner.bottom},
                         {std::max(inner.right, r.left), inner.top, r.right, inner.bottom}};
        for (RECT& part : parts)
            if (part.right > part.left && part.bottom > part.top) FillRect(dc, &part, brush);
        DeleteObject(brush);
    }
}

}  // namespace treeview
