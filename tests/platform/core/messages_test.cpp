#include "platform/core/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/timer.h"

using namespace platform;

namespace {

// Handles allocated for a test and freed at its end.
struct Target {
    HWND hwnd;
    explicit Target(TWndMethod proc) : hwnd(AllocateHWnd(std::move(proc))) {}
    ~Target() { DeallocateHWnd(hwnd); }
};

// Reads and dispatches what is queued now; returns the number of messages.
int Pump() {
    int n = 0;
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessage(&m);
        ++n;
    }
    return n;
}

// Every timer message the thread would read now, as (id, tick).
std::vector<UINT_PTR> TimerIds() {
    std::vector<UINT_PTR> ids;
    MSG m;
    while (PeekMessage(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) ids.push_back(m.wParam);
    return ids;
}

}  // namespace

TEST(MessageQueue, PostFromEightThreadsDeliversEachOnceInSenderOrder) {
    constexpr int kThreads = 8, kPerThread = 2000;
    std::vector<std::vector<LPARAM>> got(kThreads);
    int total = 0;
    Target t([&](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_USER + 1) {
            got.at(w).push_back(l);
            ++total;
        }
        return 0;
    });
    std::vector<std::thread> senders;
    for (int s = 0; s < kThreads; ++s)
        senders.emplace_back([&, s] {
            for (int i = 0; i < kPerThread; ++i)
                while (!PostMessage(t.hwnd, WM_USER + 1, WPARAM(s), i)) std::this_thread::yield();  // full: later
        });
    MSG m;
    while (total < kThreads * kPerThread && GetMessage(&m, nullptr, 0, 0) > 0) DispatchMessage(&m);
    for (auto& th : senders) th.join();
    EXPECT_EQ(Pump(), 0);  // nothing delivered twice
    for (int s = 0; s < kThreads; ++s) {
        ASSERT_EQ(got[s].size(), size_t(kPerThread)) << s;
        for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(got[s][i], i) << "sender " << s;
    }
}

TEST(MessageQueue, SendFromWorkerRunsOnOwningThreadAndReturnsResult) {
    DWORD ranOn = 0;
    Target ui([&](HWND, UINT msg, WPARAM w, LPARAM) -> LRESULT {
        ranOn = GetCurrentThreadId();
        if (msg == WM_APP + 7) throw EConvertError("bad");
        return LRESULT(w * 3);
    });
    LRESULT result = 0;
    bool raised = false;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = SendMessage(ui.hwnd, WM_USER, 14, 0);
        try {
            SendMessage(ui.hwnd, WM_APP + 7, 0, 0);
        } catch (const EConvertError&) {
            raised = true;
        }
        done = true;
        PostMessage(ui.hwnd, WM_NULL, 0, 0);  // wake the loop below
    });
    MSG m;
    while (!done && GetMessage(&m, nullptr, 0, 0) > 0) DispatchMessage(&m);
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(ranOn, GetCurrentThreadId());
    EXPECT_TRUE(raised);
    EXPECT_EQ(SendMessage(ui.hwnd, WM_USER, 2, 0), 6);  // same thread: a direct call
}

TEST(MessageQueue, ThreadsSendingToEachOtherDoNotDeadlock) {
    // The UI handle's procedure sends back to the worker's handle while the worker waits
    // in its own SendMessage: each side must run the other's call while it waits.
    std::atomic<HWND> workerHandle{nullptr};
    Target ui([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT { return SendMessage(workerHandle, WM_USER, w + 1, 0) + 100; });
    std::atomic<LRESULT> result{0};
    const DWORD uiThread = GetCurrentThreadId();
    std::thread worker([&] {
        HWND mine = AllocateHWnd([](HWND, UINT, WPARAM w, LPARAM) -> LRESULT { return LRESULT(w * 10); });
        workerHandle = mine;
        result = SendMessage(ui.hwnd, WM_USER, 4, 0);
        DeallocateHWnd(mine);
        PostThreadMessage(uiThread, WM_NULL, 0, 0);
    });
    while (result == 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
    worker.join();
    Pump();
    EXPECT_EQ(result, 150);
}

TEST(MessageQueue, FreedHandlesAreNeverTouched) {
    int calls = 0;
    auto* t = new Target([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++calls; });
    HWND h = t->hwnd;
    ASSERT_TRUE(PostMessage(h, WM_USER, 0, 0));
    ASSERT_TRUE(SetTimer(h, 5, 10));
    delete t;  // frees the handle with a message and a timer pending
    EXPECT_FALSE(IsHandleAllocated(h));
    EXPECT_EQ(Pump(), 0);
    EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0);
    EXPECT_EQ(SetTimer(h, 1, 10), 0u);
    EXPECT_EQ(GetWindowThreadProcessId(h), 0u);
    MSG m{};
    m.hwnd = h;
    EXPECT_EQ(DispatchMessage(&m), 0);
    EXPECT_EQ(calls, 0);
    // A new handle never takes the old value.
    Target other([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    EXPECT_NE(other.hwnd, h);
    EXPECT_EQ(GetWindowThreadProcessId(other.hwnd), GetCurrentThreadId());
}

TEST(MessageQueue, QuitComesAfterPostedMessagesAndPassesFilters) {
    Target t([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    PostMessage(t.hwnd, WM_USER, 1, 0);
    PostQuitMessage(3);
    PostThreadMessage(GetCurrentThreadId(), WM_APP, 2, 0);
    MSG m;
    // Looking does not take.
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_USER);
    // A filter skips messages without losing them.
    ASSERT_TRUE(PeekMessage(&m, HWND_THREAD_ONLY, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_APP);
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_EQ(GetMessage(&m, nullptr, 0, 0), 1);
    EXPECT_EQ(m.message, WM_USER);
    EXPECT_EQ(GetMessage(&m, t.hwnd, WM_USER, WM_USER), 0);
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    HWND gone = reinterpret_cast<HWND>(std::uintptr_t(0x7));
    EXPECT_EQ(GetMessage(&m, gone, 0, 0), -1);
}

TEST(Timers, FireAtTheirVirtualTimesWithoutFlooding) {
    TVirtualClock clock;
    TScopedClock use(clock);
    Target t([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    ASSERT_EQ(SetTimer(t.hwnd, 1, 100), 1u);
    ASSERT_EQ(SetTimer(t.hwnd, 2, 250), 2u);
    ASSERT_EQ(SetTimer(t.hwnd, 3, 1), 3u);  // below the minimum: 10 ms
    KillTimer(t.hwnd, 3);
    struct Step {
        std::uint64_t advance;
        std::vector<UINT_PTR> fired;
    };
    const Step steps[] = {
        {99, {}},      // t=99
        {1, {1}},      // t=100
        {0, {}},       // read again: nothing more
        {150, {1}},    // t=250: timer 1 was due at 200, one message; timer 2 due now but...
        {0, {2}},      //   ...comes next, one per read
        {260, {1, 2}}, // t=510: late by two periods, still one each, ordered by due time
        {89, {}},      // t=599: next due 600 (the rhythm is kept) and 750
        {1, {1}},
    };
    for (const Step& s : steps) {
        clock.Advance(s.advance);
        std::vector<UINT_PTR> got;
        MSG m;
        while (PeekMessage(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            EXPECT_EQ(m.hwnd, t.hwnd);
            got.push_back(m.wParam);
            if (s.advance == 150) break;  // one read per step here
        }
        EXPECT_EQ(got, s.fired) << "at tick " << clock.TickMs();
    }
    EXPECT_TRUE(KillTimer(t.hwnd, 1));
    EXPECT_FALSE(KillTimer(t.hwnd, 1));
    clock.Advance(1000);
    EXPECT_EQ(TimerIds(), std::vector<UINT_PTR>{2});
}

TEST(Timers, AFilteredReadWaitsForItsOwnTimerOnly) {
    TVirtualClock clock;
    TScopedClock use(clock);
    Target a([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    Target b([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    SetTimer(a.hwnd, 1, 100);
    SetTimer(b.hwnd, 2, 300);
    clock.Advance(100);  // a's timer is due and stays unread
    std::atomic<bool> got{false};
    std::thread mover([&] {
        while (!got) clock.Advance(10), std::this_thread::yield();
    });
    MSG m;
    ASSERT_EQ(GetMessage(&m, b.hwnd, 0, 0), 1);
    got = true;
    mover.join();
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_GE(clock.TickMs(), 300u);
}

TEST(Timers, GetMessageWakesWhenTheVirtualClockMakesATimerDue) {
    TVirtualClock clock;
    TScopedClock use(clock);
    TTimer timer;
    int ticks = 0;
    std::uint64_t firedAt = 0;
    timer.SetInterval(500);
    timer.SetOnTimer([&](TObject* sender) {
        EXPECT_EQ(sender, &timer);
        ++ticks;
        firedAt = clock.TickMs();
    });
    std::thread mover([&] {
        for (int i = 0; i < 6; ++i) clock.Advance(100);
    });
    MSG m;
    while (ticks == 0 && GetMessage(&m, nullptr, 0, 0) > 0) DispatchMessage(&m);
    mover.join();
    EXPECT_EQ(ticks, 1);
    EXPECT_GE(firedAt, 500u);
    timer.SetEnabled(false);
    clock.Advance(5000);
    Pump();
    EXPECT_EQ(ticks, 1);
    timer.SetEnabled(true);  // restarts the count
    clock.Advance(499);
    Pump();
    EXPECT_EQ(ticks, 1);
    clock.Advance(1);
    Pump();
    EXPECT_EQ(ticks, 2);
}

TEST(MessageWait, EventsMessagesAndTimeOuts) {
    TVirtualClock clock;
    TScopedClock use(clock);
    TEvent autoReset(false, false);
    HANDLE h = autoReset.Handle();
    // Time-out on the virtual clock, moved by another thread.
    std::atomic<bool> returned{false};
    const std::uint64_t start = clock.TickMs();
    std::thread mover([&] {
        while (!returned) clock.Advance(10), std::this_thread::yield();
    });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 250, QS_ALLINPUT), WAIT_TIMEOUT);
    returned = true;
    mover.join();
    EXPECT_GE(clock.TickMs() - start, 250u);
    std::thread setter([&] { autoReset.SetEvent(); });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0);
    setter.join();
    EXPECT_FALSE(autoReset.IsSignalled());  // taken by the wait
    PostThreadMessage(GetCurrentThreadId(), WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    // Input the thread has looked at and left in the queue is not new: the wait blocks
    // (rather than spinning) until new input comes or the time runs out.
    MSG m;
    EXPECT_FALSE(PeekMessage(&m, HWND_THREAD_ONLY, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT);
    Target t([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    SetTimer(t.hwnd, 1, 100);
    clock.Advance(100);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1);  // a timer fell due
    EXPECT_FALSE(PeekMessage(&m, t.hwnd, WM_USER, WM_USER, PM_NOREMOVE));
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &h, FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT);
    EXPECT_EQ(Pump(), 2);  // both are still there to be read
    HANDLE bogus = reinterpret_cast<HANDLE>(&clock);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &bogus, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
}

TEST(MessageQueue, AFullQueueRefusesPostsWhileTimersAndQuitStillComeThrough) {
    TVirtualClock clock;
    TScopedClock use(clock);
    Target t([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    auto fill = [&] {
        size_t n = 0;
        while (n <= kMessageQueueLimit && PostMessage(t.hwnd, WM_USER, 0, 0)) ++n;
        return n;
    };
    // Bounded, as a backlog would otherwise grow without end; input has room of its own.
    ASSERT_EQ(fill(), kMessageQueueLimit);
    EXPECT_FALSE(PostThreadMessage(GetCurrentThreadId(), WM_APP, 0, 0));
    EXPECT_TRUE(detail::PostInputMessage(t.hwnd, WM_USER + 1, 0, 0));

    // A poster that keeps the queue full for three seconds does not starve a 50 ms timer.
    SetTimer(t.hwnd, 7, 50);
    int ticks = 0;
    MSG m;
    for (int ms = 0; ms < 3000; ++ms) {
        clock.Advance(1);
        ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
        if (m.message == WM_TIMER) ++ticks;
        fill();
    }
    EXPECT_GE(ticks, 55);
    EXPECT_LE(ticks, 60);
    KillTimer(t.hwnd, 7);

    // Nor the quit: it comes while most of the backlog is still there.
    PostQuitMessage(5);
    size_t read = 0;
    while (GetMessage(&m, nullptr, 0, 0) != 0) ++read;
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_LE(read, size_t(kPostsBeforeQuitOrTimer));
    EXPECT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));  // the rest is kept
    DeallocateHWnd(t.hwnd);  // drops the backlog: the queue takes posts again
    Target u([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    EXPECT_TRUE(PostMessage(u.hwnd, WM_USER, 0, 0));
    Pump();
}

TEST(MessageQueue, PostsAndCallsFollowHandlesFreedMadeAndGivenNewProcedures) {
    // Nine handles: at least two of them share whatever a thread keeps per handle.
    std::vector<int> calls(10, 0);
    std::vector<std::unique_ptr<Target>> targets;
    for (int i = 0; i < 9; ++i)
        targets.push_back(std::make_unique<Target>([&calls, i](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++calls[i]; }));
    for (int round = 0; round < 2; ++round)
        for (auto& t : targets) ASSERT_TRUE(PostMessage(t->hwnd, WM_USER, 0, 0));
    EXPECT_EQ(Pump(), 18);
    EXPECT_EQ(calls, (std::vector<int>{2, 2, 2, 2, 2, 2, 2, 2, 2, 0}));

    // Freed: its pending message is dropped and later posts fail; a handle made after it
    // gets its own messages; a replaced procedure is the one called.
    const HWND freed = targets[3]->hwnd;
    ASSERT_TRUE(PostMessage(freed, WM_USER, 0, 0));
    targets[3].reset();
    EXPECT_FALSE(PostMessage(freed, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(freed, WM_USER, 0, 0), 0);
    targets[3] = std::make_unique<Target>([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++calls[9]; });
    ASSERT_TRUE(SetHandleProc(targets[5]->hwnd, [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return calls[5] += 100; }));
    for (auto& t : targets) ASSERT_TRUE(PostMessage(t->hwnd, WM_USER, 0, 0));
    EXPECT_EQ(Pump(), 9);
    EXPECT_EQ(calls, (std::vector<int>{3, 3, 3, 2, 3, 102, 3, 3, 3, 1}));

    // A procedure that frees its own handle and makes another while it runs.
    HWND replacement = nullptr;
    Target self([&](HWND h, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg != WM_USER) return 7;
        DeallocateHWnd(h);
        replacement = AllocateHWnd([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++calls[0]; });
        return SendMessage(replacement, WM_APP, 0, 0);
    });
    EXPECT_EQ(SendMessage(self.hwnd, WM_APP, 0, 0), 7);
    EXPECT_EQ(SendMessage(self.hwnd, WM_USER, 0, 0), 4);
    EXPECT_EQ(SendMessage(self.hwnd, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessage(self.hwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(replacement, WM_APP, 0, 0), 5);
    DeallocateHWnd(replacement);
}

TEST(MessageQueue, AWorkerPostingToAHandleFreedMeanwhileQueuesNothingForIt) {
    // The worker posts to a handle of this thread while this thread frees it and makes new
    // ones: no message for a freed handle may be read.
    constexpr int kRounds = 200;
    std::atomic<HWND> current{nullptr};
    std::atomic<bool> stop{false};
    int read = 0;
    auto proc = [&](HWND h, UINT, WPARAM w, LPARAM) -> LRESULT {
        EXPECT_EQ(HWND(w), h);
        ++read;
        return 0;
    };
    current = AllocateHWnd(proc);
    std::thread worker([&] {
        while (!stop) {
            HWND h = current;
            PostMessage(h, WM_USER, WPARAM(h), 0);
        }
    });
    auto readAll = [&] {
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            ASSERT_TRUE(IsHandleAllocated(m.hwnd));  // only this thread frees them
            DispatchMessage(&m);
        }
    };
    for (int round = 0; round < kRounds; ++round) {
        // Until the worker's posts reach the current handle, so that every round overlaps.
        const int before = read;
        while (read == before) {
            std::this_thread::yield();
            readAll();
        }
        HWND old = current;
        current = AllocateHWnd(proc);
        DeallocateHWnd(old);
    }
    stop = true;
    worker.join();
    readAll();
    DeallocateHWnd(current);
    EXPECT_GE(read, kRounds);
}

TEST(MessageQueue, ReadsOfEveryKindKeepTheOrderOfWhatThePlainReadsLeft) {
    // A plain read takes what is queued at once and hands it out over the next reads;
    // every other kind of read, and posts made meanwhile, must see one queue in order.
    Target a([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    Target b([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    const HWND self = nullptr;  // thread messages
    struct Step {
        const char* what;
        HWND filter;
        UINT lo, hi, remove;
        WPARAM expected;  // 0: nothing
    };
    auto post = [](HWND h, UINT msg, WPARAM w) {
        if (h == nullptr) return PostThreadMessage(GetCurrentThreadId(), msg, w, 0);
        return PostMessage(h, msg, w, 0);
    };
    ASSERT_TRUE(post(a.hwnd, WM_USER, 1));
    ASSERT_TRUE(post(b.hwnd, WM_USER + 1, 2));
    ASSERT_TRUE(post(self, WM_APP, 3));
    ASSERT_TRUE(post(a.hwnd, WM_USER, 4));
    ASSERT_TRUE(post(b.hwnd, WM_USER + 1, 5));
    const Step steps[] = {
        {"plain", nullptr, 0, 0, PM_REMOVE, 1},
        {"b's only", b.hwnd, 0, 0, PM_REMOVE, 2},
        {"look", nullptr, 0, 0, PM_NOREMOVE, 3},
        {"plain after a look", nullptr, 0, 0, PM_REMOVE, 3},
        {"plain", nullptr, 0, 0, PM_REMOVE, 4},
        {"post 6 and 7, then a range", nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE, 5},
        {"thread messages", HWND_THREAD_ONLY, 0, 0, PM_REMOVE, 7},
        {"plain", nullptr, 0, 0, PM_REMOVE, 6},
        {"plain, empty", nullptr, 0, 0, PM_REMOVE, 0},
    };
    for (const Step& s : steps) {
        if (s.expected == 5) {
            ASSERT_TRUE(post(a.hwnd, WM_USER, 6));
            ASSERT_TRUE(post(self, WM_APP, 7));
        }
        MSG m{};
        const BOOL got = PeekMessage(&m, s.filter, s.lo, s.hi, s.remove);
        EXPECT_EQ(got != 0, s.expected != 0) << s.what;
        if (got) {
            EXPECT_EQ(m.wParam, s.expected) << s.what;
        }
    }

    // Posts after a plain read come after what it left, whichever read comes next.
    for (WPARAM w = 1; w <= 3; ++w) ASSERT_TRUE(post(a.hwnd, WM_USER, w));
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    ASSERT_TRUE(post(a.hwnd, WM_USER, 4));
    std::vector<WPARAM> order{m.wParam};
    while (GetMessage(&m, a.hwnd, 0, 0) > 0) {
        order.push_back(m.wParam);
        if (m.wParam == 4) break;
    }
    EXPECT_EQ(order, (std::vector<WPARAM>{1, 2, 3, 4}));
}

TEST(MessageQueue, AHandleFreedWhileItsMessagesWaitIsNeverReadAgain) {
    // Freed by its own thread (from a procedure) and by another thread, after a plain read
    // took the messages and before they are read.
    std::vector<WPARAM> read;
    Target keep([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
        read.push_back(w);
        return 0;
    });
    HWND goner = AllocateHWnd([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
        read.push_back(w);
        return 0;
    });
    HWND byOther = AllocateHWnd([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
        read.push_back(w);
        return 0;
    });
    Target freer([&](HWND, UINT msg, WPARAM w, LPARAM) -> LRESULT {
        read.push_back(w);
        if (msg == WM_APP) DeallocateHWnd(goner);
        return 0;
    });
    ASSERT_TRUE(PostMessage(keep.hwnd, WM_USER, 1, 0));
    ASSERT_TRUE(PostMessage(freer.hwnd, WM_APP, 2, 0));
    ASSERT_TRUE(PostMessage(goner, WM_USER, 3, 0));
    ASSERT_TRUE(PostMessage(byOther, WM_USER, 4, 0));
    ASSERT_TRUE(PostMessage(keep.hwnd, WM_USER, 5, 0));
    ASSERT_TRUE(PostMessage(goner, WM_USER, 6, 0));
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    DispatchMessage(&m);
    std::thread([&] { DeallocateHWnd(byOther); }).join();
    std::vector<HWND> handles;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        handles.push_back(m.hwnd);
        DispatchMessage(&m);
    }
    EXPECT_EQ(read, (std::vector<WPARAM>{1, 2, 5}));
    EXPECT_EQ(handles, (std::vector<HWND>{freer.hwnd, keep.hwnd}));

    // What was taken is left with only a freed handle's messages: later posts come alone.
    HWND last = AllocateHWnd([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
        read.push_back(w);
        return 0;
    });
    read.clear();
    ASSERT_TRUE(PostMessage(keep.hwnd, WM_USER, 7, 0));
    ASSERT_TRUE(PostMessage(last, WM_USER, 8, 0));
    ASSERT_TRUE(PostMessage(last, WM_USER, 9, 0));
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    DispatchMessage(&m);
    DeallocateHWnd(last);
    ASSERT_TRUE(PostMessage(keep.hwnd, WM_USER, 10, 0));
    Pump();
    EXPECT_EQ(read, (std::vector<WPARAM>{7, 10}));
}

TEST(MessageQueue, ACallFromAnotherThreadRunsWhileAPlainReadsMessagesWait) {
    // The sender must not wait until everything the plain read took was read: each read
    // runs calls carried to the thread first.
    constexpr int kPosted = 2000;
    std::atomic<bool> served{false};
    int postedRead = 0, readBeforeServed = -1;
    std::thread sender;
    Target t([&](HWND h, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_APP) {
            served = true;
            readBeforeServed = postedRead;
            return 1;
        }
        if (++postedRead == 1) sender = std::thread([&, h] { SendMessage(h, WM_APP, 0, 0); });
        // Slow readers: the sender has time to come while messages remain.
        if (!served) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    });
    for (int i = 0; i < kPosted; ++i) ASSERT_TRUE(PostMessage(t.hwnd, WM_USER, 0, 0));
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    while (!served) MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
    sender.join();
    EXPECT_EQ(postedRead, kPosted);
    EXPECT_LT(readBeforeServed, kPosted);
}
