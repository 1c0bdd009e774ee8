#pragma once
// Skinned combo boxes: the platform's combo box with the library's frame, drop-down button
// and arrow painted over it after every paint, and a one-pixel frame round the dropped list.
//
//   TdvxComboBase<Base>  the painting and theming over any platform combo box
//   TdvxCustomComboBox   over the plain combo box (the colour box derives from it)
//   TdvxComboBox         the one the windows place; OnChange runs only for a user's pick
//   TdvxDriveComboBox, TdvxFilterComboBox   over the platform's drive and filter boxes
#include "platform/controls/filectrl.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxcontrol.h"

namespace skinctrl {

template <class Base>
class TdvxComboBase : public TdvxControl<Base> {
public:
    explicit TdvxComboBase(platform::TComponent* owner);
    ~TdvxComboBase() override;
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
    bool painting_ = false;
};

class TdvxCustomComboBox : public TdvxComboBase<platform::TCustomComboBox> {
public:
    explicit TdvxCustomComboBox(platform::TComponent* owner) : TdvxComboBase(owner) {}
};

class TdvxComboBox : public TdvxCustomComboBox {
public:
    explicit TdvxComboBox(platform::TComponent* owner) : TdvxCustomComboBox(owner) {}
};

class TdvxDriveComboBox : public TdvxComboBase<platform::TDriveComboBox> {
public:
    explicit TdvxDriveComboBox(platform::TComponent* owner) : TdvxComboBase(owner) { SetItemHeight(15); }
};

class TdvxFilterComboBox : public TdvxComboBase<platform::TFilterComboBox> {
public:
    explicit TdvxFilterComboBox(platform::TComponent* owner) : TdvxComboBase(owner) { SetItemHeight(15); }
};

}  // namespace skinctrl
