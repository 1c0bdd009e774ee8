#pragma once
// Threads, locks and events.
//
// The user-interface thread is the thread that started the program (the one that ran
// static initialisation). Synchronize runs a call on it; it runs such calls whenever it
// looks at its message queue or waits in WaitFor, SendMessage or a message wait, so a
// worker that synchronizes while the UI thread waits for that worker never deadlocks.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/classes.h"
#include "platform/core/waits.h"
#include "platform/core/wintypes.h"

namespace platform {

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// A small number naming the calling thread, stable for its life and never 0.
DWORD GetCurrentThreadId();
DWORD MainThreadID();

// A recursive lock, as the system's critical section.
class TCriticalSection : public TObject {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

private:
    std::recursive_mutex mutex_;
};

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// A manual- or auto-reset event. An auto-reset event lets one waiter through per SetEvent.
// Its Handle() can be given to WaitForSingleObject and MsgWaitForMultipleObjects.
class TEvent : public TObject {
public:
    explicit TEvent(bool manualReset = true, bool initialState = false);
    ~TEvent() override;
    void SetEvent();
    void ResetEvent();
    // Time-out in ms of the current clock; INFINITE waits for ever.
    TWaitResult WaitFor(DWORD timeoutMs = INFINITE);
    HANDLE Handle() { return this; }
    // Takes the signal if it is there (auto-reset: consumes it); never blocks.
    bool TryTake();
    bool IsSignalled();
    // The event behind a handle, or nullptr when the handle is no live event.
    static TEvent* FromHandle(HANDLE handle);

private:
    detail::Waiter waiter_;
    const bool manualReset_;
    bool signalled_;
};

class TSimpleEvent : public TEvent {
public:
    TSimpleEvent() : TEvent(true, false) {}
};

// The system's event functions over TEvent. A null or foreign handle fails.
HANDLE CreateEvent(void* attributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE event, DWORD timeoutMs);
BOOL CloseHandle(HANDLE event);

// A worker thread. Derived classes override Execute and poll Terminated().
//
// Created suspended, the thread starts with Start (or Resume). Created running, it starts
// when construction is complete: construct it through TThread::Create<T>(...), or call
// AfterConstruction() at the end of the most derived constructor (C++ cannot run code
// after the derived constructor by itself).
//
// Destroying the object terminates a running thread and waits for it. A derived class
// with fields that Execute uses must call Terminate() and WaitFor() in its own destructor,
// before those fields go. A thread with FreeOnTerminate deletes itself when Execute ends;
// nobody may touch or WaitFor it after it started.
class TThread : public TObject {
public:
    explicit TThread(bool createSuspended);
    ~TThread() override;

    template <typename T, typename... Args>
    static T* Create(Args&&... args) {
        T* t = new T(std::forward<Args>(args)...);
        t->AfterConstruction();
        return t;
    }
    void AfterConstruction();

    void Start();
    void Resume() { Start(); }
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    bool Finished() const { return finished_; }
    bool Suspended() const { return !started_; }
    // Waits until Execute has ended (running carried calls meanwhile) and returns
    // ReturnValue. Raises EThread on its own thread or on a FreeOnTerminate thread.
    int WaitFor();

    bool FreeOnTerminate() const { return freeOnTerminate_; }
    void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }
    int ReturnValue() const { return returnValue_; }
    DWORD ThreadID() const { return threadId_; }
    // What Execute raised, if anything.
    std::exception_ptr FatalException() const { return fatalException_; }

    // Runs on the user-interface thread after Execute has ended (before the thread is
    // finished or freed).
    TNotifyEvent OnTerminate;

    // Runs method on the user-interface thread and waits for it; an exception it raises
    // is raised again here. On the user-interface thread it runs at once.
    static void Synchronize(TThread* thread, const std::function<void()>& method);
    void Synchronize(const std::function<void()>& method) { Synchronize(this, method); }

protected:
    virtual void Execute() = 0;
    virtual void DoTerminate();
    void SetReturnValue(int value) { returnValue_ = value; }

private:
    void Run();

    std::thread thread_;
    std::mutex startMutex_;
    const bool createSuspended_;
    std::atomic<bool> started_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> freeOnTerminate_{false};
    std::atomic<int> returnValue_{0};
    std::atomic<DWORD> threadId_{0};
    std::exception_ptr fatalException_;
};

// A TList behind a lock. Duplicates (default dupIgnore) governs Add.
class TThreadList : public TObject {
public:
    TList* LockList() {
        lock_.Enter();
        return &list_;
    }
    void UnlockList() { lock_.Leave(); }
    void Add(void* item);
    void Remove(void* item);
    void Clear();
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates value) { duplicates_ = value; }

private:
    TCriticalSection lock_;
    TList list_;
    std::atomic<TDuplicates> duplicates_{dupIgnore};
};

// Runs every call carried to the calling thread (Synchronize calls, messages sent from
// other threads) now. Message loops do this by themselves.
void CheckSynchronize();

// Ending the process with no thread of its own left running: a thread that outlives main
// would meet static objects already destroyed. A thread the platform keeps running in the
// background (the display's watcher, the reaper of started programs) registers how to
// stop it; EndPlatformThreads, called once as the program ends, stops and joins each.
// The number returned removes the registration when the thread's owner goes first.
int AtPlatformThreadsEnd(std::function<void()> stop);
void RemovePlatformThreadsEnd(int registration);
void EndPlatformThreads();

// A thread its owner stopped waiting for (a probe stuck in a library call, which owns what
// it shares and ends on its own) is named so, before it is detached, and told apart at
// the end by RunningThreads.
constexpr const char* kAbandonedThreadName = "abandoned";
void NameAbandonedThread(std::thread& thread);

// The threads of the process other than the calling one, by name (as /proc shows them).
std::vector<std::string> RunningThreads();

}  // namespace platform
