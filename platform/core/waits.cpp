#include "platform/core/waits.h"

#include <algorithm>
#include <chrono>
#include <thread>
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

// How long a wait watches for a wake-up before it sleeps, per waiter, in microseconds.
// A hand-off between two running threads takes a few; on a machine whose processors are
// all busy the other thread may not run for a long while, and spinning only takes a
// processor from it. So the time doubles while watching pays and halves while it does
// not, down to not watching at all but for a short try every kProbeEvery waits.
constexpr int kSpinMinUs = 4;
constexpr int kSpinMaxUs = 50;
constexpr unsigned kProbeEvery = 16;

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Calls done() until it is true or the waiter's spin time passed; never on a single
// processor, where the thread it waits for cannot run meanwhile.
template <typename F>
void SpinBriefly(Waiter& w, F done) {
    static const bool worthIt = std::thread::hardware_concurrency() > 1;
    if (!worthIt) return;
    int budget = w.spinUs.load(std::memory_order_relaxed);
    if (budget == 0) {
        if (w.spinSkips.fetch_add(1, std::memory_order_relaxed) % kProbeEvery != kProbeEvery - 1) return;
        budget = kSpinMinUs;
    }
    const auto limit = std::chrono::microseconds(budget);
    const auto start = std::chrono::steady_clock::now();
    for (unsigned i = 1;; ++i) {
        if (done()) {
            w.spinUs.store(std::min(kSpinMaxUs, budget * 2), std::memory_order_relaxed);
            return;
        }
        CpuRelax();
        if (i % 16 == 0 && std::chrono::steady_clock::now() - start > limit) break;
    }
    w.spinUs.store(budget / 2 < kSpinMinUs ? 0 : budget / 2, std::memory_order_relaxed);
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
        w->Notify();
    }
}

bool WaitUntil(Waiter& w, std::unique_lock<std::mutex>& lock, std::uint64_t deadline,
               const std::function<bool()>& ready) {
    // Counted before the first look, under the mutex: a change made under the mutex
    // after that look is seen to have someone to wake.
    w.waiting.fetch_add(1, std::memory_order_relaxed);
    struct Uncount {
        Waiter& w;
        ~Uncount() { w.waiting.fetch_sub(1, std::memory_order_relaxed); }
    } uncount{w};
    bool spun = false;
    for (;;) {
        if (ready()) return true;
        TClock& clock = CurrentClock();
        std::uint64_t now = clock.TickMs();
        if (deadline != kNoDeadline && now >= deadline) return false;
        if (!spun) {
            // Watch for a wake-up briefly before sleeping; whatever it was, look again.
            spun = true;
            const std::uint64_t seen = w.signals.load(std::memory_order_acquire);
            lock.unlock();
            SpinBriefly(w, [&] { return w.signals.load(std::memory_order_acquire) != seen; });
            lock.lock();
            continue;
        }
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
