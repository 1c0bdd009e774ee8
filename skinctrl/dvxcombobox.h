#pragma once
// Skinned combo boxes: the platform's combo box with the library's frame, drop-down button
// and arrow painted over it after every paint, and a one-pixel frame round the dropped list.
//
//   TdvxCustomComboBox   the painting and theming (the colour box derives from it)
//   TdvxComboBox         the one the windows place; OnChange runs only for a user's pick
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxcontrol.h"

namespace skinctrl {

class TdvxCustomComboBox : public TdvxControl<platform::TCustomComboBox> {
public:
    explicit TdvxCustomComboBox(platform::TComponent* owner);
    ~TdvxCustomComboBox() override;
    void Dispatch(platform::TMessage& message) override;

    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value);
    TColor ButtonColor() const { return buttonColor_; }
    void SetButtonColor(TColor value);
    TColor ArrowColor() const { return arrowColor_; }
    void SetArrowColor(TColor value);

    // Paints the frame (over the platform's sunken edge, two pixels round the client area),
    // the button and its arrow over what the platform painted; dc is a DC of the client area
    // (a paint or erase DC).
    void DrawButton(platform::HDC dc);

protected:
    void UIStyleChanged() override;
    bool OwnerPainted() const override { return false; }
    void PaintWindow(platform::HDC dc) override;
    void DropDown() override;
    void CloseUp() override;
    // The arrow's triangle with its top-left corner at (x, y), embossed when disabled.
    void DrawArrow(platform::TCanvas* canvas, int x, int y);

private:
    void ApplyStyleColors();
    void RefreshFrame();
    void HookList();
    void FrameList();

    TColor borderColor_ = 0;
    TColor buttonColor_ = 0;
    TColor arrowColor_ = 0;
    platform::TCustomListBox* hookedList_ = nullptr;
    platform::TWindowProc listProc_;
};

class TdvxComboBox : public TdvxCustomComboBox {
public:
    explicit TdvxComboBox(platform::TComponent* owner) : TdvxCustomComboBox(owner) {}
};

}  // namespace skinctrl
