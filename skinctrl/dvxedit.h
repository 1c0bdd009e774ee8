#pragma once
// Skinned single-line edits: the platform edit with the library's two-pixel border band
// (outer line BorderColor, inner line the edit's Color) painted over its edge after every
// paint.
//
//   TdvxEdit          the plain edit
//   TdvxSpinEdit      an integer edit with arrow buttons (TdvxSpinButtons) at its right edge:
//                     GetValue/SetValue/CheckValue, a key filter that beeps, Up and Down
//   TdvxNumberEdit    a right-aligned edit holding a double shown through a FormatFloat mask
//   TdvxMaskEdit      the border on the platform's masked edit
#include <string>

#include "platform/controls/mask.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcontrol.h"

namespace skinctrl {

// The border band and BorderColor's style rule, shared by the edit and the masked edit.
template <class Base>
class TdvxBorderedEdit : public TdvxControl<Base> {
public:
    explicit TdvxBorderedEdit(platform::TComponent* owner) : TdvxControl<Base>(owner) {
        this->controlStyle_ |= platform::csOpaque;
        ApplyBorderColor();
    }
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value) {
        if (!this->Store(borderColor_, value)) return;
        this->Refreshed();
    }
    void Dispatch(platform::TMessage& m) override {
        bool paint = m.Msg == platform::WM_PAINT;
        if (!paint && m.Msg != platform::WM_ERASEBKGND && m.Msg != platform::WM_NCPAINT) {
            TdvxControl<Base>::Dispatch(m);
            return;
        }
        // The band is the platform edit's two-pixel edge round the client area; a client
        // repaint and a frame-only repaint both end with it drawn over. The frame and the
        // background a paint asks for on its way in are covered by the band the paint ends
        // with, so they skip their own.
        bool nested = painting_;
        if (paint) painting_ = true;
        try {
            TdvxControl<Base>::Dispatch(m);
        } catch (...) {
            painting_ = nested;
            throw;
        }
        painting_ = nested;
        if ((paint || !nested) && this->HandleAllocated()) DrawBorder();
    }
    void DrawBorder();

protected:
    bool OwnerPainted() const override { return false; }
    void UIStyleChanged() override { ApplyBorderColor(); }
    void ApplyBorderColor();

    TColor borderColor_ = 0;
    bool painting_ = false;
};

class TdvxEdit : public TdvxBorderedEdit<platform::TCustomEdit> {
public:
    explicit TdvxEdit(platform::TComponent* owner) : TdvxBorderedEdit(owner) {}
};

class TdvxMaskEdit : public TdvxBorderedEdit<platform::TCustomMaskEdit> {
public:
    explicit TdvxMaskEdit(platform::TComponent* owner) : TdvxBorderedEdit(owner) {}
};

// ---- spin buttons ----

// Two arrow buttons one above the other, overlapping by a pixel, never narrower than 15.
// A held button steps every 400 ms and once more on release.
class TdvxSpinButtons : public TdvxControl<platform::TWinControl> {
public:
    explicit TdvxSpinButtons(platform::TComponent* owner);
    void Dispatch(platform::TMessage& message) override;
    void SetBounds(int left, int top, int width, int height) override;
    void Loaded() override;

    TdvxArrowButton* UpButton() const { return up_; }
    TdvxArrowButton* DownButton() const { return down_; }

    platform::TNotifyEvent OnUpClick;
    platform::TNotifyEvent OnDownClick;

protected:
    void UIStyleChanged() override;
    bool OwnerPainted() const override { return false; }
    void KeyDown(platform::WORD& key, platform::TShiftState shift) override;
    // The adjusted size and the two buttons' places for it.
    void AdjustSize(int& width, int& height);

private:
    TdvxArrowButton* CreateButton(TdvxArrowButtonType arrow);
    void BtnClick(platform::TObject* sender);
    TdvxArrowButton* up_ = nullptr;
    TdvxArrowButton* down_ = nullptr;
};

// ---- spin edit ----

class TdvxSpinEdit : public TdvxEdit {
public:
    explicit TdvxSpinEdit(platform::TComponent* owner);
    ~TdvxSpinEdit() override;
    void Dispatch(platform::TMessage& message) override;

    int MinValue() const { return minValue_; }
    void SetMinValue(int value) { minValue_ = value; }
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value) { maxValue_ = value; }
    int Increment() const { return increment_; }
    void SetIncrement(int value) { increment_ = value; }
    bool EditorEnabled() const { return editorEnabled_; }
    void SetEditorEnabled(bool value) { editorEnabled_ = value; }
    TdvxSpinButtons* Buttons() const { return buttons_; }

    // The text as a decimal whole number; MinValue when it is not one (empty, not a number,
    // beyond 32 bits). No range check.
    int GetValue() const;
    // Shows CheckValue(value); a changed text runs OnChange.
    void SetValue(int value);
    // value kept within MinValue..MaxValue, or as it is when the two are equal.
    int CheckValue(int value) const;

protected:
    void CreateParams(platform::TCreateParams& params) override;
    void CreateWnd() override;
    void UIStyleChanged() override;
    void KeyDown(platform::WORD& key, platform::TShiftState shift) override;
    void KeyPress(char& key) override;
    virtual bool IsValidChar(char key) const;
    virtual void UpClick(platform::TObject* sender);
    virtual void DownClick(platform::TObject* sender);
    void SetEditRect();

private:
    void Step(int direction);
    int minValue_ = 0;
    int maxValue_ = 0;
    int increment_ = 1;
    bool editorEnabled_ = true;
    TdvxSpinButtons* buttons_ = nullptr;
};

// ---- number edit ----

class TdvxNumberEdit : public TdvxEdit {
public:
    explicit TdvxNumberEdit(platform::TComponent* owner);
    void Dispatch(platform::TMessage& message) override;

    const std::string& Mask() const { return mask_; }
    void SetMask(const std::string& value) { mask_ = value; }
    double Value() const { return value_; }
    // Value := value; the text becomes FormatFloat(Mask, value).
    void SetValue(double value);
    int AutoSelectSigns() const { return autoSelectSigns_; }
    void SetAutoSelectSigns(int value) { autoSelectSigns_ = value; }
    void Click() override;

protected:
    void Change() override;
    void DoEnter() override;
    void DoExit() override;
    void KeyPress(char& key) override;

private:
    void SelectSigns();
    // "", "-", "." and "-.": input on its way to a number.
    static bool Pending(const std::string& text);
    // The text without thousand separators as a number.
    static bool Read(const std::string& text, double& value);
    std::string mask_ = "0.00";
    double value_ = 0;
    int autoSelectSigns_ = 2;
    std::string lastGood_;
    bool restoring_ = false;
};

}  // namespace skinctrl
