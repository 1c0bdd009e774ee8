// The tree's window frame: its creation parameters (scroll bars, border, full repaint
// on resize, reading order) and the border style.
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
