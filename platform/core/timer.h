#pragma once
// TTimer: calls OnTimer every Interval ms on the thread that created it, through the
// message queue of that thread (it must run a message loop). It ticks while Enabled,
// Interval is above 0 and OnTimer is set; changing any of them restarts the count.
#include "platform/core/classes.h"
#include "platform/core/wintypes.h"

namespace platform {

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner = nullptr);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    UINT Interval() const { return interval_; }
    void SetInterval(UINT ms);
    const TNotifyEvent& OnTimer() const { return onTimer_; }
    void SetOnTimer(TNotifyEvent handler);

private:
    void Update();

    HWND handle_ = nullptr;
    bool enabled_ = true;
    UINT interval_ = 1000;
    TNotifyEvent onTimer_;
};

}  // namespace platform
