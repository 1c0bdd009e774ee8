#pragma once
// The pop-up notification: a small topmost window in the bottom-right corner of the work
// area that slides up, shows a title and a message over a fixed picture, stays a while and
// slides back down. TdvxMSNPopForm is the component; TfrmMSNPopForm its window.
#include <memory>
#include <string>

#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "platform/core/timer.h"
#include "skinctrl/dvxtheme.h"

namespace skinctrl {

class TfrmMSNPopForm : public platform::TForm {
public:
    explicit TfrmMSNPopForm(platform::TComponent* owner);
    ~TfrmMSNPopForm() override;

    platform::TLabel* TitleLabel() const { return title_; }
    platform::TLabel* TextLabel() const { return text_; }
    platform::TTimer* Timer() const { return timer_; }

    int animateTime = 400;
    int stayTime = 2000;
    bool clickHide = false;
    // Every hide, whatever its cause.
    std::function<void()> onClosed;
    // A click on the background (the component's OnClick).
    std::function<void()> onClicked;

    // Shows with the slide-in; on a window that shows already, the stay time starts again.
    void ShowPopup();
    // Hides with the slide-out (nothing when hidden).
    void HidePopup();
    // Whether the window shows (a slide-out that runs still counts).
    bool Showing() const;
    // The window is up and its stay time runs.
    bool Staying() const { return staying_; }
    // The close box, in window coordinates.
    static bool InCloseBox(int x, int y) { return x >= 162 && x <= 175 && y >= 6 && y <= 19; }

protected:
    void CreateParams(platform::TCreateParams& params) override;
    void PaintWindow(platform::HDC dc) override;
    void MouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void Click() override;

private:
    void TimerTick();
    void Hidden();
    std::unique_ptr<TBitmap> background_;
    platform::TLabel* title_ = nullptr;
    platform::TLabel* text_ = nullptr;
    platform::TTimer* timer_ = nullptr;
    platform::DWORD shownAt_ = 0;
    bool staying_ = false;
    bool closedByBox_ = false;
};

class TdvxMSNPopForm : public platform::TComponent {
public:
    explicit TdvxMSNPopForm(platform::TComponent* owner);
    ~TdvxMSNPopForm() override;

    int AnimateTime() const { return animateTime_; }
    void SetAnimateTime(int value) { animateTime_ = value; }
    int StayTime() const { return stayTime_; }
    void SetStayTime(int value) { stayTime_ = value; }
    int PositionX() const { return positionX_; }
    void SetPositionX(int value) { positionX_ = value; }
    int PositionY() const { return positionY_; }
    void SetPositionY(int value) { positionY_ = value; }
    bool AutoPosition() const { return autoPosition_; }
    void SetAutoPosition(bool value) { autoPosition_ = value; }
    bool ClickHide() const { return clickHide_; }
    void SetClickHide(bool value) { clickHide_ = value; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& value) { title_ = value; }
    const std::string& MessageText() const { return message_; }
    void SetMessageText(const std::string& value) { message_ = value; }
    platform::TAlignment TextAlignment() const { return alignment_; }
    void SetTextAlignment(platform::TAlignment value) { alignment_ = value; }
    platform::TFont* TitleFont() const { return titleFont_.get(); }
    void SetTitleFont(platform::TFont* value) { titleFont_->Assign(value); }
    platform::TFont* MessageFont() const { return messageFont_.get(); }
    void SetTextFont(platform::TFont* value) { messageFont_->Assign(value); }
    TfrmMSNPopForm* Window() const { return window_; }

    // Shows the notification; again while it shows, it renews the texts and the position
    // and its stay time starts again.
    void Popup();
    // Stops the stay time and hides the window with the slide-out.
    void Close();

    platform::TNotifyEvent OnTitleClick;
    platform::TNotifyEvent OnClick;
    platform::TNotifyEvent OnClose;
    platform::TNotifyEvent OnShow;

private:
    TfrmMSNPopForm* window_ = nullptr;
    int animateTime_ = 400, stayTime_ = 2000, positionX_ = 0, positionY_ = 0;
    bool autoPosition_ = true, clickHide_ = false;
    std::string title_, message_;
    platform::TAlignment alignment_ = platform::taCenter;
    std::unique_ptr<platform::TFont> titleFont_, messageFont_;
};

}  // namespace skinctrl
