// Push buttons and check boxes.
#include "platform/controls/stdctrls.h"

namespace platform {

TButton::TButton(TComponent* owner) : TCustomControl(owner) {
    width_ = 75;
    height_ = 25;
    tabStop_ = true;
    controlStyle_ = csSetCaption | csClickEvents | csCaptureMouse;
    color_ = clBtnFace;
    brush_->SetColor(color_);
}

void TButton::Click() {
    if (modalResult_ != mrNone)
        if (TCustomForm* form = GetParentForm()) form->SetModalResult(modalResult_);
    TCustomControl::Click();
}

void TButton::Paint() {
    TCanvas* canvas = Canvas();
    RECT r = ClientRect();
    bool focused = handle_ && GetFocus() == handle_;
    if (default_ || focused) {
        // The default button wears a dark frame.
        canvas->Brush()->SetColor(clWindowFrame);
        canvas->FrameRect(r);
        InflateRect(&r, -1, -1);
    }
    DrawFrameControl(canvas->Handle(), &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed_ ? DFCS_PUSHED : 0));
    canvas->Font()->Assign(Font());
    canvas->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
    RECT text = r;
    if (pressed_) OffsetRect(&text, 1, 1);
    DrawText(TextDC(canvas), Caption(), &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    if (focused) {
        RECT fr = r;
        InflateRect(&fr, -4, -4);
        DrawFocusRect(canvas->Handle(), &fr);
    }
}

void TButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_GETDLGCODE: m.Result = DLGC_BUTTON | (default_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON); return;
        case CM_DIALOGKEY:
            if (((m.WParam == VK_RETURN && (default_ || (handle_ && GetFocus() == handle_))) ||
                 (m.WParam == VK_ESCAPE && cancel_)) &&
                Enabled() && Showing()) {
                Click();
                m.Result = 1;
                return;
            }
            TCustomControl::Dispatch(m);
            return;
        case CM_DIALOGCHAR:
            if (IsAccel(WORD(m.WParam), Caption()) && Enabled() && Showing()) {
                Click();
                m.Result = 1;
                return;
            }
            TCustomControl::Dispatch(m);
            return;
        case WM_KEYDOWN:
            if (m.WParam == VK_SPACE) {
                pressed_ = true;
                Invalidate();
            }
            TCustomControl::Dispatch(m);
            return;
        case WM_KEYUP:
            if (m.WParam == VK_SPACE && pressed_) {
                pressed_ = false;
                Invalidate();
                Click();
            }
            TCustomControl::Dispatch(m);
            return;
        case WM_LBUTTONDOWN:
            if (CanFocus()) SetFocus();
            pressed_ = true;
            Invalidate();
            TCustomControl::Dispatch(m);
            return;
        case WM_LBUTTONUP:
            pressed_ = false;
            Invalidate();
            TCustomControl::Dispatch(m);
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case CM_TEXTCHANGED:
        case CM_ENABLEDCHANGED:
            TCustomControl::Dispatch(m);
            Invalidate();
            return;
        default: TCustomControl::Dispatch(m); return;
    }
}

TCheckBox::TCheckBox(TComponent* owner) : TCustomControl(owner) {
    width_ = 97;
    height_ = 17;
    tabStop_ = true;
    controlStyle_ = csSetCaption | csCaptureMouse;
    parentColor_ = true;
}

void TCheckBox::SetState(TCheckBoxState value) {
    if (state_ == value) return;
    state_ = value;
    Invalidate();
    if (!(ComponentState() & csLoading)) TCustomControl::Click();
}

void TCheckBox::Paint() {
    TCanvas* canvas = Canvas();
    TRect c = ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(c);
    int size = 13;
    RECT box{0, (c.Height() - size) / 2, size, (c.Height() - size) / 2 + size};
    DrawFrameControl(canvas->Handle(), &box, DFC_BUTTON,
                     DFCS_BUTTONCHECK | (state_ == cbChecked ? DFCS_CHECKED : 0) |
                         (state_ == cbGrayed || !Enabled() ? DFCS_INACTIVE : 0));
    canvas->Font()->Assign(Font());
    if (!Enabled()) canvas->Font()->SetColor(clGrayText);
    RECT text{size + 4, 0, c.right, c.bottom};
    DrawText(TextDC(canvas), Caption(), &text, DT_SINGLELINE | DT_VCENTER);
    if (handle_ && GetFocus() == handle_) {
        RECT calc = text;
        DrawText(TextDC(canvas), Caption(), &calc, DT_SINGLELINE | DT_CALCRECT);
        calc.top = text.top + 1;
        calc.bottom = text.bottom - 1;
        InflateRect(&calc, 1, 0);
        DrawFocusRect(canvas->Handle(), &calc);
    }
}

void TCheckBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_GETDLGCODE: m.Result = DLGC_BUTTON; return;
        case CM_DIALOGCHAR:
            if (IsAccel(WORD(m.WParam), Caption()) && Enabled() && Showing() && CanFocus()) {
                SetFocus();
                SetChecked(!Checked());
                m.Result = 1;
                return;
            }
            TCustomControl::Dispatch(m);
            return;
        case WM_KEYUP:
            if (m.WParam == VK_SPACE) SetChecked(!Checked());
            TCustomControl::Dispatch(m);
            return;
        case WM_LBUTTONDOWN:
            if (CanFocus()) SetFocus();
            TCustomControl::Dispatch(m);
            return;
        case WM_LBUTTONUP:
            if (ClientRect().Contains(TPoint(m.XPos(), m.YPos()))) SetChecked(!Checked());
            TCustomControl::Dispatch(m);
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case CM_TEXTCHANGED:
        case CM_ENABLEDCHANGED:
            TCustomControl::Dispatch(m);
            Invalidate();
            return;
        default: TCustomControl::Dispatch(m); return;
    }
}

}  // namespace platform
