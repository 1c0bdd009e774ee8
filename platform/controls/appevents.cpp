// The objects that see the application's queued messages first.
#include "platform/controls/appevents.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {
// Live objects, oldest first. Only the user-interface thread creates them and runs the loop.
std::vector<TApplicationEvents*>& Live() {
    static std::vector<TApplicationEvents*> live;
    return live;
}
}  // namespace

TApplicationEvents::TApplicationEvents(TComponent* owner) : TComponent(owner) { Live().push_back(this); }

TApplicationEvents::~TApplicationEvents() {
    auto& live = Live();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

bool OfferApplicationMessage(MSG& msg) {
    auto& live = Live();
    // A handler may free objects (its own included): each is looked up again before it runs.
    std::vector<TApplicationEvents*> snapshot = live;
    bool handled = false;
    for (TApplicationEvents* events : snapshot) {
        if (std::find(live.begin(), live.end(), events) == live.end()) continue;
        if (!events->OnMessage) continue;
        auto handler = events->OnMessage;  // the object may go while it runs
        handler(msg, handled);
        if (handled) return true;
    }
    return false;
}

}  // namespace platform
