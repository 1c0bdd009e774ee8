// The skinned memo and the attached-bar mechanics it shares with the list boxes.
#include "skinctrl/dvxmemo.h"

#include <cstdlib>

#include "platform/core/sysutils.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

int CopyNativeScrollBar(HWND window, bool vertical, TdvxScrollBar* bar, bool enabled) {
    if (!bar) return 0;
    SCROLLBARINFO info;
    info.cbSize = 60;
    if (!window || !DVXGetScrollBarInfo(window, vertical ? OBJID_VSCROLL : OBJID_HSCROLL, &info)) {
        bar->SetVisible(false);
        return 0;
    }
    DWORD state = info.rgstate[0];
    bool usable = state != STATE_SYSTEM_INVISIBLE && state != STATE_SYSTEM_UNAVAILABLE && enabled;
    if (!usable) {
        bar->SetLineButton(0);
        bar->SetEnabled(false);
        bar->SetSliderVisible(false);
    } else {
        bar->SetLineButton(std::abs(info.xyThumbBottom - info.xyThumbTop));
        bar->SetEnabled(true);
        bar->SetSliderVisible(true);
    }
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(window, vertical ? SB_VERT : SB_HORZ, &si)) return 0;
    bar->SetMax(si.nMax - int(si.nPage) + 1);
    bar->SetMin(si.nMin);
    bar->SetPosition(si.nPos);
    return int(si.nPage);
}

void ScrollToBarPosition(TWinControl* control, bool vertical, int position) {
    if (!control || !control->HandleAllocated()) return;
    // The message carries the low 16 bits; the native bar's track position the whole.
    SCROLLINFO si;
    si.fMask = SIF_TRACKPOS;
    si.nTrackPos = position;
    SetScrollInfo(control->WindowHandle(), vertical ? SB_VERT : SB_HORZ, &si, FALSE);
    control->Perform(vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, WORD(position)), 0);
}

bool BarsOnTheLeft(const TControl* control) {
    TBiDiMode mode = control->BiDiMode();
    return (mode == bdRightToLeft || mode == bdRightToLeftNoAlign) && SysLocale.MiddleEast;
}

void PlaceNativeBarUnderAttached(const TControl* control, TCreateParams& params) {
    if (BarsOnTheLeft(control))
        params.ExStyle |= WS_EX_LEFTSCROLLBAR;
    else
        params.ExStyle &= ~WS_EX_LEFTSCROLLBAR;
}

TdvxMemo::TdvxMemo(TComponent* owner) : TdvxBorderedEdit(owner) {}

TdvxMemo::~TdvxMemo() {
    SetBar(vBar_, nullptr, true);
    SetBar(hBar_, nullptr, false);
}

void TdvxMemo::CreateParams(TCreateParams& params) {
    TdvxBorderedEdit::CreateParams(params);
    PlaceNativeBarUnderAttached(this, params);
}

void TdvxMemo::UIStyleChanged() {
    TdvxBorderedEdit::UIStyleChanged();
    TdvxUIStyle style;
    bool themed = UsingTheme(style);
    for (TdvxScrollBar* bar : {vBar_, hBar_}) {
        if (!bar) continue;
        bar->SetFileTheme(fileTheme_);
        bar->SetUIStyle(themed ? uiStyle_ : style);
    }
}

void TdvxMemo::SetBar(TdvxScrollBar*& field, TdvxScrollBar* value, bool vertical) {
    if (field == value) return;
    if (TdvxScrollBar* old = field) {
        field = nullptr;
        old->OnChange() = nullptr;
        old->SetLineButton(0);
        old->SetMax(100);
        old->SetEnabled(true);
        old->RemoveFreeNotification(this);
    }
    field = value;
    if (value) {
        value->FreeNotification(this);
        value->SetOrientation(vertical ? dvxVertical : dvxHorizontal);
        value->OnChange() = [this, vertical](TObject*) { BarMoved(vertical); };
        value->BringToFront();
    }
    if (ComponentState() & csDestroying) return;
    UpdateInnerScrollBars();
    if (value) UpdateScrollBarsPos();
}

void TdvxMemo::Notification(TComponent* component, TOperation operation) {
    TdvxBorderedEdit::Notification(component, operation);
    if (operation != opRemove) return;
    bool changed = false;
    if (component == vBar_) {
        vBar_ = nullptr;
        changed = true;
    }
    if (component == hBar_) {
        hBar_ = nullptr;
        changed = true;
    }
    if (changed) UpdateInnerScrollBars();
}

void TdvxMemo::UpdateInnerScrollBars() {
    SetScrollBars(vBar_ && hBar_ ? ssBoth : vBar_ ? ssVertical : hBar_ ? ssHorizontal : ssNone);
}

void TdvxMemo::UpdateScrollBarsPos() {
    bool rtl = BarsOnTheLeft(this);
    int vWidth = vBar_ ? vBar_->Width() : 0;
    int hHeight = hBar_ ? hBar_->Height() : 0;
    if (hBar_) {
        hBar_->SetVisible(hBar_->Height() <= Height());
        int top = Top() + Height() - hBar_->Height() - 2;
        if (!rtl)
            hBar_->SetBounds(Left() + 1, top, Width() - 1 - vWidth, hBar_->Height());
        else
            hBar_->SetBounds(Left() + 1 + vWidth, top, Width() - 2 - vWidth, hBar_->Height());
    }
    if (vBar_) {
        vBar_->SetVisible(vBar_->Width() <= Width());
        int left = rtl ? Left() + 2 : Left() + Width() - vBar_->Width() - 2;
        vBar_->SetBounds(left, Top() + 1, vBar_->Width(), Height() - 2 - hHeight);
    }
    UpdateScrollBars();
}

void TdvxMemo::UpdateScrollBars() {
    if (scrollingFromBar_) return;
    updatingBars_ = true;
    try {
        HWND h = HandleAllocated() ? handle_ : nullptr;
        if (hBar_) {
            int page = CopyNativeScrollBar(h, false, hBar_, Enabled());
            if (hBar_->Enabled()) hBar_->SetSmallChange(3 * page);
        }
        if (vBar_) CopyNativeScrollBar(h, true, vBar_, Enabled());
    } catch (...) {
        updatingBars_ = false;
        throw;
    }
    updatingBars_ = false;
}

void TdvxMemo::BarMoved(bool vertical) {
    if (updatingBars_) return;
    TdvxScrollBar* bar = vertical ? vBar_ : hBar_;
    if (!bar) return;
    scrollingFromBar_ = true;
    try {
        ScrollToBarPosition(this, vertical, bar->Position());
        Invalidate();
    } catch (...) {
        scrollingFromBar_ = false;
        throw;
    }
    scrollingFromBar_ = false;
}

void TdvxMemo::Loaded() {
    TdvxBorderedEdit::Loaded();
    UpdateScrollBarsPos();
}

void TdvxMemo::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_ENABLEDCHANGED:
        case WM_KEYDOWN:
        case WM_MOUSEWHEEL:
        case WM_SETTEXT:
        case WM_CUT:
        case WM_PASTE:
        case WM_CLEAR:
        case WM_UNDO:
        case WM_CHAR:
            TdvxBorderedEdit::Dispatch(m);
            UpdateScrollBars();
            return;
        case WM_HSCROLL:
        case WM_VSCROLL:
            TdvxBorderedEdit::Dispatch(m);
            if (!scrollingFromBar_) UpdateScrollBars();
            return;
        case WM_LBUTTONDOWN:
            TdvxBorderedEdit::Dispatch(m);
            dragging_ = true;
            UpdateScrollBars();
            return;
        case WM_LBUTTONUP:
            TdvxBorderedEdit::Dispatch(m);
            dragging_ = false;
            return;
        case WM_MOUSEMOVE:
            TdvxBorderedEdit::Dispatch(m);
            if (dragging_) UpdateScrollBars();
            return;
        case WM_MOVE:
        case WM_SIZE:
        case CM_BIDIMODECHANGED:
            TdvxBorderedEdit::Dispatch(m);
            UpdateScrollBarsPos();
            return;
        case CM_VISIBLECHANGED:
            TdvxBorderedEdit::Dispatch(m);
            if (Visible()) {
                UpdateScrollBarsPos();
            } else {
                if (vBar_) vBar_->SetVisible(false);
                if (hBar_) hBar_->SetVisible(false);
            }
            return;
        default: TdvxBorderedEdit::Dispatch(m); return;
    }
}

}  // namespace skinctrl
