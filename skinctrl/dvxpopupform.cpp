// The pop-up notification: its window, slides, stay time and clicks.
#include "skinctrl/dvxpopupform.h"

#include "platform/core/clock.h"
#include "platform/windows/animation.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

// ---------------------------------------------------------------- the window

TfrmMSNPopForm::TfrmMSNPopForm(TComponent* owner) : TForm(owner), background_(std::make_unique<TBitmap>()) {
    SetBorderStyle(bsToolWindow);
    SetFormStyle(fsStayOnTop);
    Font()->SetName("MS Sans Serif");
    Font()->SetHeight(-11);
    EnsureStyleResources();
    try {
        background_->LoadFromResourceName(nullptr, "MSNPOPFORM");
    } catch (const std::exception&) {
        background_->SetSize(181, 116);  // no picture: a plain face of the same size
    }
    TRect area = GetWorkAreaRect();
    SetBounds(area.right - background_->Width() - 18, area.bottom - background_->Height(), background_->Width(),
              background_->Height());
    title_ = new TLabel(this);
    title_->SetParent(this);
    title_->SetAutoSize(false);
    title_->SetTransparent(true);
    title_->Font()->SetColor(clNavy);
    title_->SetBounds(10, 5, Width() - 30, 18);
    text_ = new TLabel(this);
    text_->SetParent(this);
    text_->SetAlignment(taCenter);
    text_->SetAutoSize(false);
    text_->SetTransparent(true);
    text_->SetWordWrap(true);
    text_->SetBounds(10, 40, Width() - 20, Height() - 50);
    timer_ = new TTimer(this);
    timer_->SetEnabled(false);
    timer_->SetInterval(100);
    timer_->SetOnTimer([this](TObject*) { TimerTick(); });
}

TfrmMSNPopForm::~TfrmMSNPopForm() {
    if (HandleAllocated()) CancelWindowAnimation(WindowHandle());
}

void TfrmMSNPopForm::CreateParams(TCreateParams& params) {
    TForm::CreateParams(params);
    // No caption, no border, no owner: a notification of its own above everything.
    params.Style = WS_POPUP;
    params.WndParent = nullptr;
}

void TfrmMSNPopForm::PaintWindow(HDC dc) {
    TBitmap buffer;
    buffer.SetSize(std::max(1, ClientWidth()), std::max(1, ClientHeight()));
    buffer.Canvas()->Draw(0, 0, background_.get());
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Draw(0, 0, &buffer);
    canvas.SetHandle(nullptr);
}

bool TfrmMSNPopForm::Showing() const { return HandleAllocated() && IsWindowVisible(WindowHandle()); }

void TfrmMSNPopForm::ShowPopup() {
    HWND h = Handle();
    if (IsWindowVisible(h)) {
        // Up already (or on its way out): it stays, and its stay time starts again now.
        CancelWindowAnimation(h);
        shownAt_ = GetTickCount();
        staying_ = true;
        Invalidate();
        return;
    }
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    staying_ = false;
    // The stay time starts once the slide has ended.
    AnimateWindow(h, DWORD(std::max(0, animateTime)), AW_SLIDE | AW_VER_NEGATIVE, [this] {
        shownAt_ = GetTickCount();
        staying_ = true;
    });
    Invalidate();
}

void TfrmMSNPopForm::HidePopup() {
    if (!Showing()) return;
    HWND h = WindowHandle();
    timer_->SetEnabled(false);
    staying_ = false;
    if (IsWindowAnimating(h)) CancelWindowAnimation(h);
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    AnimateWindow(h, DWORD(std::max(0, animateTime)), AW_HIDE | AW_SLIDE | AW_VER_POSITIVE, [this] { Hidden(); });
}

void TfrmMSNPopForm::Hidden() {
    closedByBox_ = false;
    if (onClosed) onClosed();
}

void TfrmMSNPopForm::TimerTick() {
    if (!staying_) return;  // still sliding in
    std::int64_t elapsed = std::int64_t(GetTickCount()) - std::int64_t(shownAt_);
    // A negative time: the tick counter wrapped meanwhile.
    if (elapsed >= stayTime || elapsed < 0) HidePopup();
}

void TfrmMSNPopForm::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TForm::MouseDown(button, shift, x, y);
    if (button != mbLeft || !InCloseBox(x, y) || !Showing()) return;
    // The close box: gone at once, without the slide.
    closedByBox_ = true;
    timer_->SetEnabled(false);
    staying_ = false;
    HWND h = WindowHandle();
    CancelWindowAnimation(h);
    ShowWindow(h, SW_HIDE);
    Hidden();
}

void TfrmMSNPopForm::Click() {
    TForm::Click();
    if (closedByBox_ || !Showing()) return;
    if (onClicked) onClicked();
    if (clickHide) HidePopup();
}

// ---------------------------------------------------------------- the component

TdvxMSNPopForm::TdvxMSNPopForm(TComponent* owner)
    : TComponent(owner), titleFont_(std::make_unique<TFont>()), messageFont_(std::make_unique<TFont>()) {
    titleFont_->SetColor(TColor(0x800000));
    messageFont_->SetColor(TColor(0x800000));
    window_ = new TfrmMSNPopForm(this);
    window_->onClicked = [this] {
        if (OnClick) OnClick(this);
    };
    window_->onClosed = [this] {
        if (OnClose) OnClose(this);
    };
    window_->TextLabel()->OnClick = [this](TObject*) {
        if (OnClick) OnClick(this);
    };
    window_->TitleLabel()->OnClick = [this](TObject*) {
        if (OnTitleClick) OnTitleClick(this);
    };
    window_->animateTime = animateTime_;
}

TdvxMSNPopForm::~TdvxMSNPopForm() = default;

void TdvxMSNPopForm::Popup() {
    window_->animateTime = animateTime_;
    window_->stayTime = stayTime_;
    window_->clickHide = clickHide_;
    window_->TitleLabel()->SetCaption(title_);
    window_->TitleLabel()->Font()->Assign(titleFont_.get());
    window_->TextLabel()->SetCaption(message_);
    window_->TextLabel()->Font()->Assign(messageFont_.get());
    window_->TextLabel()->SetAlignment(alignment_);
    if (OnShow) OnShow(this);
    if (autoPosition_) {
        TRect area = GetWorkAreaRect();
        window_->SetBounds(area.right - window_->Width() - 18, area.bottom - window_->Height(), window_->Width(),
                           window_->Height());
    } else {
        window_->SetBounds(positionX_, positionY_, window_->Width(), window_->Height());
    }
    window_->ShowPopup();
    window_->Timer()->SetEnabled(true);
}

void TdvxMSNPopForm::Close() {
    window_->Timer()->SetEnabled(false);
    window_->HidePopup();
}

}  // namespace skinctrl
