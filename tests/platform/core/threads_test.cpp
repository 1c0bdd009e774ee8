#include "platform/core/threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/messages.h"
#include "platform/core/shell.h"

using namespace platform;

namespace {

class Worker : public TThread {
public:
    explicit Worker(bool suspended, std::function<void(Worker&)> body = {})
        : TThread(suspended), body_(std::move(body)) {}
    ~Worker() override {
        Terminate();
        if (!Suspended()) WaitFor();
    }
    using TThread::SetReturnValue;
    using TThread::Synchronize;
    std::atomic<int> loops{0};

protected:
    void Execute() override {
        if (body_) {
            body_(*this);
            return;
        }
        while (!Terminated()) {
            ++loops;
            std::this_thread::yield();
        }
    }

private:
    std::function<void(Worker&)> body_;
};

}  // namespace

TEST(Thread, SuspendedStartsOnlyWhenStartedAndReturnsItsValue) {
    std::atomic<bool> ran{false};
    Worker w(true, [&](Worker& self) {
        ran = true;
        self.SetReturnValue(17);
    });
    EXPECT_TRUE(w.Suspended());
    EXPECT_FALSE(ran);
    EXPECT_THROW(w.WaitFor(), EThread);  // never started: an error, not a hang
    w.Start();
    EXPECT_EQ(w.WaitFor(), 17);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(w.Finished());
}

TEST(Thread, CreatedRunningTerminatesOnRequest) {
    Worker* w = TThread::Create<Worker>(false);
    while (w->loops == 0) std::this_thread::yield();
    w->Terminate();
    w->WaitFor();
    EXPECT_TRUE(w->Finished());
    delete w;
    // Destroying a running thread terminates and waits for it.
    Worker* running = TThread::Create<Worker>(false);
    delete running;
}

TEST(Thread, SynchronizeAndOnTerminateRunOnTheUiThreadWhileItWaits) {
    const DWORD uiThread = GetCurrentThreadId();
    ASSERT_EQ(uiThread, MainThreadID());
    DWORD syncOn = 0, terminateOn = 0, sentOn = 0;
    bool raisedInWorker = false;
    HWND ui = AllocateHWnd([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        sentOn = GetCurrentThreadId();
        return 0;
    });
    Worker w(true, [&](Worker& self) {
        SendMessage(ui, WM_USER, 0, 0);
        self.Synchronize([&] { syncOn = GetCurrentThreadId(); });
        try {
            self.Synchronize([] { throw EConvertError("in the UI"); });
        } catch (const EConvertError&) {
            raisedInWorker = true;
        }
    });
    w.OnTerminate = [&](TObject*) { terminateOn = GetCurrentThreadId(); };
    w.Start();
    w.WaitFor();  // must run the carried calls or it never returns
    DeallocateHWnd(ui);
    EXPECT_EQ(sentOn, uiThread);
    EXPECT_EQ(syncOn, uiThread);
    EXPECT_EQ(terminateOn, uiThread);
    EXPECT_TRUE(raisedInWorker);
    EXPECT_FALSE(w.FatalException());
}

TEST(Thread, FreeOnTerminateAndFatalException) {
    std::atomic<bool> freed{false};
    struct SelfFreeing : TThread {
        std::atomic<bool>* freed;
        explicit SelfFreeing(std::atomic<bool>* f) : TThread(true), freed(f) { SetFreeOnTerminate(true); }
        ~SelfFreeing() override { *freed = true; }
        void Execute() override {}
    };
    (new SelfFreeing(&freed))->Start();
    while (!freed) std::this_thread::yield();

    Worker failing(true, [](Worker&) { throw EReadError("disk gone"); });
    failing.Start();
    failing.WaitFor();
    ASSERT_TRUE(failing.FatalException());
    EXPECT_THROW(std::rethrow_exception(failing.FatalException()), EReadError);
}

TEST(Events, ResetModesAndVirtualTimeOuts) {
    TVirtualClock clock;
    TScopedClock use(clock);
    TEvent manual(true, true);
    EXPECT_EQ(manual.WaitFor(0), wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), wrSignaled);  // stays set
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(0), wrTimeout);

    HANDLE autoReset = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> timedOut{false};
    std::uint64_t start = clock.TickMs();
    std::thread waiter([&] {
        EXPECT_EQ(WaitForSingleObject(autoReset, 1000), WAIT_TIMEOUT);
        timedOut = true;
    });
    // The waiter only times out when virtual time passes.
    while (!timedOut) clock.Advance(10), std::this_thread::yield();
    waiter.join();
    EXPECT_GE(clock.TickMs() - start, 1000u);
    SetEvent(autoReset);
    EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_TIMEOUT);  // one waiter per set
    EXPECT_TRUE(CloseHandle(autoReset));
    EXPECT_FALSE(SetEvent(autoReset));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

TEST(Clock, VirtualLocalTimeIsReadAsOneRecord) {
    TVirtualClock clock;
    TScopedClock use(clock);
    SYSTEMTIME t;
    t.wYear = 2011;
    t.wMonth = 12;
    t.wDay = 31;
    t.wHour = 23;
    t.wMinute = 59;
    t.wSecond = 59;
    t.wMilliseconds = 999;
    clock.SetLocalTime(t);
    std::uint64_t tick = GetTickCount64();
    clock.Advance(1);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2012);
    EXPECT_EQ(now.wMonth, 1);
    EXPECT_EQ(now.wDay, 1);
    EXPECT_EQ(now.wHour, 0);
    EXPECT_EQ(now.wMinute, 0);
    EXPECT_EQ(now.wSecond, 0);
    EXPECT_EQ(now.wDayOfWeek, 0);  // a Sunday
    EXPECT_EQ(GetTickCount64(), tick + 1);
    t.wYear = 2024, t.wMonth = 2, t.wDay = 29, t.wHour = 12;
    clock.SetLocalTime(t);
    GetLocalTime(&now);
    EXPECT_EQ(now.wMonth, 2);
    EXPECT_EQ(now.wDay, 29);
    EXPECT_EQ(now.wDayOfWeek, 4);
}

TEST(Locks, CriticalSectionIsRecursiveAndExcludesOthers) {
    TCriticalSection cs;
    cs.Enter();
    cs.Enter();
    std::atomic<bool> other{true};
    std::thread t([&] { other = cs.TryEnter(); });
    t.join();
    EXPECT_FALSE(other);
    cs.Leave();
    cs.Leave();
    std::thread t2([&] {
        other = cs.TryEnter();
        if (other) cs.Leave();
    });
    t2.join();
    EXPECT_TRUE(other);
}

TEST(Locks, ThreadListKeepsOneEntryPerItemAcrossThreads) {
    TThreadList list;
    int items[50];
    std::vector<std::thread> adders;
    for (int t = 0; t < 4; ++t)
        adders.emplace_back([&] {
            for (int& i : items) list.Add(&i);
        });
    for (auto& t : adders) t.join();
    EXPECT_EQ(list.LockList()->Count(), 50);
    list.UnlockList();
    list.SetDuplicates(dupError);
    EXPECT_THROW(list.Add(&items[0]), EListError);
    list.Remove(&items[0]);
    EXPECT_EQ(list.LockList()->IndexOf(&items[0]), -1);  // and the lock was released
    list.UnlockList();
}

// The platform's own background threads end with it: the reaper of started programs stops
// and is joined by EndPlatformThreads, also while a child still runs (that one is left to
// the system); the next start gets a reaper again, which ends by itself once its child is
// reaped.
TEST(PlatformThreads, TheReaperOfStartedProgramsEndsWithThePlatform) {
    // A sanitizer's runtime starts a thread of its own at the process's first thread: one is
    // made here first, so that the counts below see only the platform's.
    std::thread([] {}).join();
    const std::size_t before = RunningThreads().size();
    std::string error;
    ASSERT_TRUE(ProcessLauncher().Launch({"sleep", "2"}, error)) << error;
    EXPECT_EQ(RunningThreads().size(), before + 1) << "a reaper runs while a child does";
    EndPlatformThreads();
    EXPECT_EQ(RunningThreads().size(), before) << "the reaper outlived the end";
    ASSERT_TRUE(ProcessLauncher().Launch({"true"}, error)) << error;
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ended = RunningThreads().size() == before;
    }
    EXPECT_TRUE(ended) << "the reaper did not end once its child was reaped";
    EndPlatformThreads();
}

// A thread its owner stopped waiting for is told apart by its name.
TEST(PlatformThreads, AnAbandonedThreadIsListedByItsName) {
    std::atomic<bool> release{false};
    std::thread worker([&] {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    NameAbandonedThread(worker);
    std::vector<std::string> names = RunningThreads();
    EXPECT_EQ(std::count(names.begin(), names.end(), std::string(kAbandonedThreadName)), 1);
    release = true;
    worker.join();
}
