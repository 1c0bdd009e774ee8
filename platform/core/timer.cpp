#include "platform/core/timer.h"

#include "platform/core/messages.h"

namespace platform {

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    handle_ = AllocateHWnd([this](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_TIMER && enabled_ && onTimer_) {
            // A copy: the handler may replace itself or free the timer's owner's state.
            TNotifyEvent handler = onTimer_;
            handler(this);
        }
        return 0;
    });
}

TTimer::~TTimer() {
    KillTimer(handle_, 1);
    DeallocateHWnd(handle_);
}

void TTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    Update();
}

void TTimer::SetInterval(UINT ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Update();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
    onTimer_ = std::move(handler);
    Update();
}

void TTimer::Update() {
    KillTimer(handle_, 1);
    if (enabled_ && interval_ != 0 && onTimer_) SetTimer(handle_, 1, interval_);
}

}  // namespace platform
