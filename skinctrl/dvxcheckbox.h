#pragma once
// The self-drawn check box and radio button: a frame of the style's check-box (radio-button)
// strip and the caption beside it. The published OnClick runs after every change of Checked,
// by the user or by code, but never while the control is being loaded from a window
// resource; a radio button runs it only when it becomes checked, after unchecking the other
// radio buttons of its group on the same parent.
#include <string>

#include "platform/controls/controls.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/sk2reader.h"

namespace skinctrl {

using platform::TCheckBoxState;
using platform::cbUnchecked;
using platform::cbChecked;
using platform::cbGrayed;

class TdvxCheckBox : public TdvxControl<platform::TCustomControl> {
public:
    explicit TdvxCheckBox(platform::TComponent* owner);

    void Dispatch(platform::TMessage& message) override;
    void Click() override;

    bool Checked() const { return checked_; }
    // Nothing when unchanged; otherwise stores, repaints and runs CheckStateChanged.
    void SetChecked(bool value);
    TCheckBoxState State() const { return checked_ ? cbChecked : cbUnchecked; }
    void SetState(TCheckBoxState value) { SetChecked(value == cbChecked); }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize2(bool value);
    void SetEnabled(bool value) override;

    // The check box's own click event (the control's inherited OnClick is separate).
    platform::TNotifyEvent OnClick;

protected:
    virtual bool NeedDrawFocus() const;
    virtual bool GetPicTransparent() const { return false; }
    virtual int GetPicThemeIndex() const { return DVX_THEME_CHECKBOX_IMAGE; }
    virtual Tsk2SkinBitmapElement GetPicThemeIndexOuter() const { return SKIN2_CHECKBOX; }
    virtual void CheckStateChanged();
    virtual void Toggle() {}
    virtual void DoClick();
    virtual bool WantKeyUp() const { return true; }

    void MouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    bool IsTransparent() const override { return transparent_; }
    void PaintBuffer(platform::TCanvas* canvas) override;
    bool Loading() const { return ComponentState() & platform::csLoading; }
    void TakeFocus();

    bool checked_ = false;
    bool transparent_ = false;
    bool autoSize_ = true;
};

class TdvxRadioButton : public TdvxCheckBox {
public:
    explicit TdvxRadioButton(platform::TComponent* owner);
    void Dispatch(platform::TMessage& message) override;

    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value) { groupIndex_ = value; }
    // Unchecks the other radio buttons of the same group among the parent's children.
    void UnCheckGroup();

protected:
    bool GetPicTransparent() const override { return true; }
    int GetPicThemeIndex() const override { return DVX_THEME_RADIOBUTTON_IMAGE; }
    Tsk2SkinBitmapElement GetPicThemeIndexOuter() const override { return SKIN2_RADIOBUTTON; }
    void CheckStateChanged() override;
    void DoClick() override;
    bool WantKeyUp() const override { return false; }

private:
    int groupIndex_ = 0;
};

}  // namespace skinctrl
