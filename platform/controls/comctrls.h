#pragma once
// Up-down buttons, the time picker and the tool bar.
#include <string>
#include <vector>

#include "platform/controls/menus.h"
#include "platform/controls/stdctrls.h"
#include "platform/graphics/imglist.h"

namespace platform {

enum TUDBtnType { btNext, btPrev };
enum TUDOrientation { udHorizontal, udVertical };
using TUDClickEvent = std::function<void(TObject* sender, TUDBtnType button)>;

// A pair of arrow buttons that step Position between Min and Max (wrapping with Wrap) and
// show it in the Associate control's text.
class TUpDown : public TCustomControl {
public:
    explicit TUpDown(TComponent* owner);
    void Dispatch(TMessage& message) override;
    int Min() const { return min_; }
    void SetMin(int value) { min_ = value; }
    int Max() const { return max_; }
    void SetMax(int value) { max_ = value; }
    int Position() const { return position_; }
    void SetPosition(int value);
    int Increment() const { return increment_; }
    void SetIncrement(int value) { increment_ = value; }
    bool Wrap() const { return wrap_; }
    void SetWrap(bool value) { wrap_ = value; }
    TWinControl* Associate() const { return associate_; }
    void SetAssociate(TWinControl* value);
    void Notification(TComponent* component, TOperation operation) override;
    // Steps as a press of that button does.
    void Step(TUDBtnType button);

    TUDClickEvent OnClick;
    TNotifyEvent OnChanging;

protected:
    void Paint() override;

private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int increment_ = 1;
    bool wrap_ = false;
    int pressed_ = -1;
    TWinControl* associate_ = nullptr;
};

enum TDateTimeKind { dtkDate, dtkTime };

// A time picker: hours, minutes and seconds shown through Format ("HH:mm:ss"); Left and
// Right (or a click) choose a field, Up and Down (or the arrow buttons) step it, digits type
// it (two digits fill a field and move on). It starts at the program clock's local time.
// OnChange runs on every change the user makes.
class TDateTimePicker : public TCustomControl {
public:
    explicit TDateTimePicker(TComponent* owner);
    void Dispatch(TMessage& message) override;
    TDateTimeKind Kind() const { return dtkTime; }
    const std::string& Format() const { return format_; }
    void SetFormat(const std::string& value);
    // The time of day as a fraction of a day, as the class library keeps it.
    double Time() const { return (hour_ * 3600 + minute_ * 60 + second_) / 86400.0; }
    void SetTime(double value);
    int Hour() const { return hour_; }
    int Minute() const { return minute_; }
    int Second() const { return second_; }
    void SetHMS(int hour, int minute, int second);
    // The largest hour the picker shows and takes (23, a time of day, unless set higher:
    // a length of more than a day).
    int MaxHour() const { return maxHour_; }
    void SetMaxHour(int value);
    // The text as shown.
    std::string Text() const override;
    // The field being edited: 0 hours, 1 minutes, 2 seconds.
    int Field() const { return field_; }

    TNotifyEvent OnChange;

protected:
    void Paint() override;
    void CreateParams(TCreateParams& params) override;

private:
    struct Part {
        int field;        // -1: a literal
        std::string text;  // the literal, or the token ("HH", "mm", ...)
    };
    std::vector<Part> parts_;
    std::string format_ = "HH:mm:ss";
    int hour_ = 0;
    int minute_ = 0;
    int second_ = 0;
    int maxHour_ = 23;
    int field_ = 0;
    int typed_ = -1;  // the first digit typed into the field, -1 none
    int& FieldValue(int field);
    int FieldMax(int field) const;
    void UserSet(int field, int value);
    TRect FieldRect(int field);
    TRect ButtonRect(bool up) const;
};


// ---------------------------------------------------------------- tool bar

class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };
enum TEdgeStyle { esNone, esRaised, esLowered };
// The custom-draw stages of a button, as a set of bits.
using TCustomDrawState = unsigned;
constexpr TCustomDrawState cdsSelected = 1, cdsGrayed = 2, cdsDisabled = 4, cdsChecked = 8, cdsFocused = 16,
                           cdsDefault = 32, cdsHot = 64, cdsMarked = 128, cdsIndeterminate = 256;

// A button of a tool bar: laid out, drawn and clicked by its bar.
class TToolButton : public TGraphicControl {
public:
    explicit TToolButton(TComponent* owner);
    ~TToolButton() override;
    void SetParent(TWinControl* parent) override;
    void Dispatch(TMessage& message) override;

    TToolButtonStyle Style() const { return style_; }
    void SetStyle(TToolButtonStyle value);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int value);
    // Checked (tbsCheck), shown pressed.
    bool Down() const { return down_; }
    void SetDown(bool value);
    // Checking a grouped button unchecks the grouped check buttons beside it.
    bool Grouped() const { return grouped_; }
    void SetGrouped(bool value) { grouped_ = value; }
    bool Wrap() const { return wrap_; }
    void SetWrap(bool value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    TPopupMenu* DropdownMenu() const { return dropdownMenu_; }
    void SetDropdownMenu(TPopupMenu* value);
    TMenuItem* MenuItem() const { return menuItem_; }
    // Takes the item's caption and enabled state; a click runs the item (or shows its
    // sub-items as a menu below the button).
    void SetMenuItem(TMenuItem* value);
    void Notification(TComponent* component, TOperation operation) override;
    TToolBar* Bar() const;
    // The pointer is over it / the left button holds it.
    bool Hot() const;
    bool Pressed() const;
    // Runs the button: checks it, shows its menu item's items or runs OnClick.
    void Click() override;

private:
    friend class TToolBar;
    TToolButtonStyle style_ = tbsButton;
    int imageIndex_ = -1;
    bool down_ = false;
    bool grouped_ = false;
    bool wrap_ = false;
    bool autoSize_ = false;
    TPopupMenu* dropdownMenu_ = nullptr;
    TMenuItem* menuItem_ = nullptr;
};

using TTBCustomDrawEvent = std::function<void(TToolBar* sender, const TRect& rect, bool& defaultDraw)>;
using TTBCustomDrawBtnEvent =
    std::function<void(TToolBar* sender, TToolButton* button, TCustomDrawState state, bool& defaultDraw)>;

// A row of flat buttons (wrapping onto more rows with Wrapable), with captions below the
// images or beside them (List), drop-down buttons with an arrow part, Alt+letter
// accelerators, and custom drawing of the background and of each button.
class TToolBar : public TCustomControl {
public:
    explicit TToolBar(TComponent* owner);
    ~TToolBar() override;
    void Dispatch(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    void AlignControls(TControl* control, TRect& rect) override;

    int ButtonCount() const { return int(buttons_.size()); }
    TToolButton* Buttons(int index) const { return buttons_.at(std::size_t(index)); }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* value);
    TCustomImageList* HotImages() const { return hotImages_; }
    void SetHotImages(TCustomImageList* value);
    bool ShowCaptions() const { return showCaptions_; }
    void SetShowCaptions(bool value);
    bool List() const { return list_; }
    void SetList(bool value);
    bool Flat() const { return flat_; }
    void SetFlat(bool value);
    bool Wrapable() const { return wrapable_; }
    void SetWrapable(bool value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    int ButtonWidth() const { return buttonWidth_; }
    void SetButtonWidth(int value);
    int ButtonHeight() const { return buttonHeight_; }
    void SetButtonHeight(int value);
    TEdgeStyle EdgeInner() const { return edgeInner_; }
    void SetEdgeInner(TEdgeStyle value) { edgeInner_ = value; }
    TEdgeStyle EdgeOuter() const { return edgeOuter_; }
    void SetEdgeOuter(TEdgeStyle value) { edgeOuter_ = value; }
    // The hot and the pressed button (null for none).
    TToolButton* HotButton() const { return hot_; }
    TToolButton* PressedButton() const { return pressed_; }
    // Lays the buttons out again (rows, sizes).
    void ArrangeButtons();
    // The width a button takes.
    int ButtonWidthOf(TToolButton* button);

    TTBCustomDrawEvent OnCustomDraw;
    TTBCustomDrawBtnEvent OnCustomDrawButton;

protected:
    void Paint() override;
    virtual void DrawButtonDefault(TToolButton* button, TCustomDrawState state);
    // A button's menu item is about to show its sub-items as a menu below the button.
    virtual void ItemMenuShowing(TToolButton* button, TPopupMenu* menu) {
        (void)button;
        (void)menu;
    }

private:
    friend class TToolButton;
    void AddButton(TToolButton* button);
    void RemoveButton(TToolButton* button);
    void SetHot(TToolButton* button);
    void ButtonDown(TToolButton* button, int x);
    void ButtonUp(TToolButton* button, bool inside);
    bool Accelerator(unsigned ch);
    std::vector<TToolButton*> buttons_;
    TCustomImageList* images_ = nullptr;
    TCustomImageList* hotImages_ = nullptr;
    bool showCaptions_ = false, list_ = false, flat_ = false, wrapable_ = true, autoSize_ = false,
         transparent_ = false;
    int buttonWidth_ = 23, buttonHeight_ = 22;
    TEdgeStyle edgeInner_ = esRaised, edgeOuter_ = esLowered;
    TToolButton* hot_ = nullptr;
    TToolButton* pressed_ = nullptr;
    bool arranging_ = false;
};

}  // namespace platform
