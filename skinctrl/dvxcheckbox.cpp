#include "skinctrl/dvxcheckbox.h"

#include <algorithm>

#include "platform/controls/stdctrls.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

TdvxCheckBox::TdvxCheckBox(TComponent* owner) : TdvxControl(owner) {
    SetBounds(Left(), Top(), 93, 17);
    SetControlStyle(ControlStyle() & ~csDoubleClicks);
    SetTabStop(true);
    SetParentColor(true);
}

void TdvxCheckBox::SetChecked(bool value) {
    if (value == checked_) return;
    checked_ = value;
    Refreshed();
    CheckStateChanged();
}

void TdvxCheckBox::CheckStateChanged() {
    if (!Loading() && OnClick) OnClick(this);
}

void TdvxCheckBox::DoClick() {
    Toggle();
    SetChecked(!checked_);
}

void TdvxCheckBox::Click() {
    DoClick();
    TdvxControl::Click();
}

void TdvxCheckBox::SetTransparent(bool value) {
    if (!Store(transparent_, value)) return;
    Refreshed();
}

void TdvxCheckBox::SetAutoSize2(bool value) {
    if (!Store(autoSize_, value)) return;
    Refreshed();
}

void TdvxCheckBox::SetEnabled(bool value) {
    TdvxControl::SetEnabled(value);
    Refreshed();
}

bool TdvxCheckBox::NeedDrawFocus() const {
    return TabStop() && Focused() && Enabled() && Visible();
}

void TdvxCheckBox::TakeFocus() {
    if (!CanFocus() || !Enabled() || !Visible()) return;
    try {
        SetFocus();
    } catch (const std::exception&) {
        // A box that cannot take the focus still works.
    }
}

void TdvxCheckBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TdvxControl::MouseDown(button, shift, x, y);
    if (button == mbLeft) TakeFocus();
}

void TdvxCheckBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_KEYUP: {
            TdvxControl::Dispatch(m);
            if ((m.WParam == VK_SPACE || m.WParam == VK_RETURN) && WantKeyUp() && Focused() && Enabled()) {
                Refreshed();
                Click();
            }
            return;
        }
        case CM_DIALOGCHAR:
            TdvxControl::Dispatch(m);
            if (IsAccel(WORD(m.WParam), Caption()) && Enabled() && Visible() && Parent() && Parent()->Enabled()) {
                TakeFocus();
                Click();
                m.Result = 1;
            } else {
                m.Result = 0;
            }
            return;
        case CM_FONTCHANGED:
        case CM_TEXTCHANGED:
        case CM_FOCUSCHANGED:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            TdvxControl::Dispatch(m);
            Refreshed();
            return;
        default:
            TdvxControl::Dispatch(m);
    }
}

void TdvxCheckBox::PaintBuffer(TCanvas* canvas) {
    TBitmap box;
    box.SetTransparent(GetPicTransparent());
    TdvxUIStyle style;
    bool themed = UsingTheme(style);
    bool sixFrames = themed && GetPicThemeIndexOuter() == SKIN2_CHECKBOX;
    int frame;
    if (sixFrames)
        frame = Enabled() ? (checked_ ? 1 : 3) : (checked_ ? 4 : 6);
    else
        frame = Enabled() ? (checked_ ? 1 : 2) : (checked_ ? 3 : 4);
    canvas->SetFont(Font());
    if (themed)
        GetFileTheme()->GetBitmap2(GetPicThemeIndexOuter(), &box, sixFrames ? 6 : 4, frame);
    else
        GetInsideThemeBitmap(style, GetPicThemeIndex(), &box, 4, frame);
    // Check-box pictures are drawn opaque, except for the key colour the built-in art uses
    // for its rounded corners.
    bool keyed = !box.Empty() && ColorToRGB(box.Canvas()->Pixels(0, 0)) == COLORREF(DVX_KEY_COLOR);
    box.SetTransparent(GetPicTransparent() || keyed);
    if (keyed) box.SetTransparentColor(DVX_KEY_COLOR);
    const std::string text = Caption();
    int wHeight = canvas->TextHeight("W");
    if (autoSize_) {
        int h = std::max(wHeight + 2, box.Height()) + 4;
        int w = box.Width() + canvas->TextWidth(text) + 8;
        if (h != Height() || w != Width()) SetBounds(Left(), Top(), w, h);
    }
    int W = ClientWidth(), H = ClientHeight();
    if (!transparent_) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(TRect(0, 0, W, H));
    }
    canvas->Brush()->SetStyle(bsClear);
    int ty = (H - wHeight) / 2;
    int by = (H - box.Height()) / 2;
    bool rtl = BiDiMode() == bdRightToLeft && SysLocale.MiddleEast;
    HDC dc = TextDC(canvas);
    if (!rtl) {
        if (!box.Empty()) canvas->Draw(1, by, &box);
        TRect r(box.Width() + 4, ty, W, H);
        DrawText(dc, text, &r, DT_SINGLELINE);
    } else {
        if (!box.Empty()) canvas->Draw(W - box.Width() - 1, by, &box);
        TRect r(0, ty, W - box.Width() - 4, H);
        DrawText(dc, text, &r, DT_SINGLELINE | DT_RIGHT);
    }
    if (NeedDrawFocus()) {
        canvas->Brush()->SetStyle(bsSolid);
        if (!rtl)
            canvas->DrawFocusRect(TRect(box.Width() + 3, ty, W, ty + wHeight + 2));
        else
            canvas->DrawFocusRect(TRect(0, ty, W - box.Width() - 2, ty + wHeight + 2));
    }
}

// ---------------------------------------------------------------- TdvxRadioButton

TdvxRadioButton::TdvxRadioButton(TComponent* owner) : TdvxCheckBox(owner) {
    SetControlStyle(ControlStyle() | csDoubleClicks);
}

void TdvxRadioButton::UnCheckGroup() {
    if (!Parent()) return;
    for (TControl* c : ChildControls(Parent())) {
        auto* other = dynamic_cast<TdvxRadioButton*>(c);
        if (other && other != this && other->groupIndex_ == groupIndex_) other->SetChecked(false);
    }
}

void TdvxRadioButton::CheckStateChanged() {
    if (!checked_) return;
    UnCheckGroup();
    if (!Loading() && OnClick) OnClick(this);
}

void TdvxRadioButton::DoClick() {
    if (!checked_) SetChecked(true);
}

void TdvxRadioButton::Dispatch(TMessage& m) {
    if (m.Msg == WM_SETFOCUS) {
        TdvxCheckBox::Dispatch(m);
        // Arrow keys inside a radio group move the focus from one of its buttons to the
        // next: the button that gets it is chosen.
        HWND lost = reinterpret_cast<HWND>(m.WParam);
        if (lost && lost != WindowHandle() && GetWindowClassName(lost) == "TdvxRadioGroupButton") Click();
        return;
    }
    TdvxCheckBox::Dispatch(m);
}

}  // namespace skinctrl
