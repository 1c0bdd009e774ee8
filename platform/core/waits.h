#pragma once
// The waiting machinery shared by the message queues, events and threads (internal to the
// platform core). Every wait that may time out or that an outside change must end goes
// through a Waiter, so that one call wakes them all: a virtual clock being advanced, an
// event being set, a thread ending.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>

#include "platform/core/wintypes.h"

namespace platform::detail {

constexpr std::uint64_t kNoDeadline = std::numeric_limits<std::uint64_t>::max();

class Waiter {
public:
    Waiter();
    ~Waiter();
    Waiter(const Waiter&) = delete;
    Waiter& operator=(const Waiter&) = delete;

    std::mutex mutex;
    std::condition_variable cv;
    // Counts wake-ups. A wait watches it for a few microseconds without the lock before it
    // sleeps: waking a sleeping thread costs far more than a hand-off between two threads
    // that are both running, which is what a cross-thread call mostly is.
    std::atomic<std::uint64_t> signals{0};
    // How long that watch lasts now, in microseconds (adapted by each wait).
    std::atomic<int> spinUs{16};
    std::atomic<unsigned> spinSkips{0};

    // Wakes every wait on this waiter. Call after changing what they wait for, with the
    // mutex held or just after releasing it (the waiter must outlive the call).
    void Notify() {
        signals.fetch_add(1, std::memory_order_release);
        cv.notify_all();
    }
    // Waits now under way (changed with the mutex held). A change made under the mutex
    // needs no wake-up when nobody waits: a wait that starts later looks at it first.
    std::atomic<int> waiting{0};
    // Notify, skipped when no wait is under way. Call after a change made under the
    // mutex, with the mutex held or just after releasing it.
    void NotifyIfWaiting() {
        if (waiting.load(std::memory_order_relaxed) != 0) Notify();
    }
};

// Wakes every registered waiter. Must be called without any waiter's mutex held.
void WakeAllWaiters();

// Waits on w (lock holds w.mutex) until ready() is true or the current clock reaches
// deadline (a tick in ms, or kNoDeadline). Returns ready().
bool WaitUntil(Waiter& w, std::unique_lock<std::mutex>& lock, std::uint64_t deadline,
               const std::function<bool()>& ready);

// The deadline of a time-out in ms from now (INFINITE gives kNoDeadline).
std::uint64_t DeadlineAfter(DWORD ms);

// Runs fn on the given thread: at once when it is the calling thread, otherwise carried to
// that thread (run when it next looks at its queue) while the caller waits, running calls
// carried to it meanwhile. An exception fn raises reaches the caller. Returns false, without
// running fn, when the thread has no queue any more.
bool RunOnThread(DWORD threadId, const std::function<void()>& fn);

// Waits until done() is true (checked under the calling thread's queue lock), running calls
// carried to the calling thread meanwhile. done() must become true together with a
// WakeAllWaiters call.
void WaitRunningCalls(const std::function<bool()>& done);

}  // namespace platform::detail
