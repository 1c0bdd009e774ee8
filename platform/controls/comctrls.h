#pragma once
// Up-down buttons and the time picker.
#include <string>

#include "platform/controls/stdctrls.h"

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
    int field_ = 0;
    int typed_ = -1;  // the first digit typed into the field, -1 none
    int& FieldValue(int field);
    int FieldMax(int field) const;
    void UserSet(int field, int value);
    TRect FieldRect(int field);
    TRect ButtonRect(bool up) const;
};

}  // namespace platform
