#include "platform/core/waits.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/core/clock.h"

namespace platform::detail {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<Waiter*> waiters;
};

// Never destroyed: waiters held by statics and thread-locals may outlive any static.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

Waiter::Waiter() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.waiters.push_back(this);
}

Waiter::~Waiter() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.waiters.erase(std::remove(r.waiters.begin(), r.waiters.end(), this), r.waiters.end());
}

void WakeAllWaiters() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (Waiter* w : r.waiters) {
        // Taking the waiter's mutex orders the wake after the change its thread will see.
        std::lock_guard<std::mutex> inner(w->mutex);
        w->cv.notify_all();
    }
}

bool WaitUntil(Waiter& w, std::unique_lock<std::mutex>& lock, std::uint64_t deadline,
               const std::function<bool()>& ready) {
    for (;;) {
        if (ready()) return true;
        TClock& clock = CurrentClock();
        std::uint64_t now = clock.TickMs();
        if (deadline != kNoDeadline && now >= deadline) return false;
        if (deadline == kNoDeadline || clock.IsVirtual()) {
            w.cv.wait(lock);
        } else {
            // Wake at least every second: the clock may be swapped meanwhile.
            std::uint64_t ms = std::min<std::uint64_t>(deadline - now, 1000);
            w.cv.wait_for(lock, std::chrono::milliseconds(ms));
        }
    }
}

std::uint64_t DeadlineAfter(DWORD ms) {
    if (ms == 0xFFFFFFFFu) return kNoDeadline;
    return CurrentClock().TickMs() + ms;
}

}  // namespace platform::detail
