#include "platform/core/threads.h"

#include <dirent.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <set>
#include <system_error>

namespace platform {

DWORD GetCurrentThreadId() {
    static std::atomic<DWORD> next{0};
    thread_local const DWORD id = ++next;
    return id;
}

DWORD MainThreadID() {
    static const DWORD id = GetCurrentThreadId();
    return id;
}

namespace {

// Static initialisation runs on the thread that starts the program: that is the UI thread.
const DWORD mainThreadAtStart = MainThreadID();

// Live events, so that a handle that is not (or no longer) an event is refused.
std::mutex eventsMutex;
std::set<const void*>& LiveEvents() {
    static std::set<const void*>* events = new std::set<const void*>;
    return *events;
}

}  // namespace

TEvent::TEvent(bool manualReset, bool initialState) : manualReset_(manualReset), signalled_(initialState) {
    std::lock_guard<std::mutex> lock(eventsMutex);
    LiveEvents().insert(static_cast<const void*>(this));
}

TEvent::~TEvent() {
    std::lock_guard<std::mutex> lock(eventsMutex);
    LiveEvents().erase(static_cast<const void*>(this));
}

void TEvent::SetEvent() {
    {
        std::lock_guard<std::mutex> lock(waiter_.mutex);
        signalled_ = true;
    }
    // Also wakes message waits that watch this event.
    detail::WakeAllWaiters();
}

void TEvent::ResetEvent() {
    std::lock_guard<std::mutex> lock(waiter_.mutex);
    signalled_ = false;
}

TEvent* TEvent::FromHandle(HANDLE h) {
    std::lock_guard<std::mutex> lock(eventsMutex);
    return h != nullptr && LiveEvents().count(h) ? static_cast<TEvent*>(h) : nullptr;
}

bool TEvent::IsSignalled() {
    std::lock_guard<std::mutex> lock(waiter_.mutex);
    return signalled_;
}

bool TEvent::TryTake() {
    std::lock_guard<std::mutex> lock(waiter_.mutex);
    if (!signalled_) return false;
    if (!manualReset_) signalled_ = false;
    return true;
}

TWaitResult TEvent::WaitFor(DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(waiter_.mutex);
    bool ok = detail::WaitUntil(waiter_, lock, detail::DeadlineAfter(timeoutMs), [&] { return signalled_; });
    if (!ok) return wrTimeout;
    if (!manualReset_) signalled_ = false;
    return wrSignaled;
}

HANDLE CreateEvent(void*, BOOL manualReset, BOOL initialState, const char*) {
    return new TEvent(manualReset != FALSE, initialState != FALSE);
}

BOOL SetEvent(HANDLE event) {
    TEvent* e = TEvent::FromHandle(event);
    if (e == nullptr) return FALSE;
    e->SetEvent();
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    TEvent* e = TEvent::FromHandle(event);
    if (e == nullptr) return FALSE;
    e->ResetEvent();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE event, DWORD timeoutMs) {
    TEvent* e = TEvent::FromHandle(event);
    if (e == nullptr) return WAIT_FAILED;
    return e->WaitFor(timeoutMs) == wrSignaled ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE event) {
    TEvent* e = TEvent::FromHandle(event);
    if (e == nullptr) return FALSE;
    delete e;
    return TRUE;
}

TThread::TThread(bool createSuspended) : createSuspended_(createSuspended) {}

TThread::~TThread() {
    if (started_ && !finished_) {
        Terminate();
        detail::WaitRunningCalls([this] { return finished_.load(); });
    }
    std::lock_guard<std::mutex> lock(startMutex_);
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
        else thread_.join();
    }
}

void TThread::AfterConstruction() {
    if (!createSuspended_) Start();
}

void TThread::Start() {
    std::lock_guard<std::mutex> lock(startMutex_);
    if (started_) return;
    try {
        started_ = true;
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
        started_ = false;
        throw EThread(std::string("Thread creation error: ") + e.what());
    }
}

void TThread::Run() {
    { std::lock_guard<std::mutex> lock(startMutex_); }  // Start has stored thread_
    threadId_ = GetCurrentThreadId();
    try {
        if (!terminated_) Execute();
    } catch (...) {
        fatalException_ = std::current_exception();
    }
    try {
        DoTerminate();
    } catch (...) {
        if (!fatalException_) fatalException_ = std::current_exception();
    }
    if (freeOnTerminate_) {
        {
            std::lock_guard<std::mutex> lock(startMutex_);
            thread_.detach();
        }
        finished_ = true;
        delete this;
        return;
    }
    finished_ = true;
    detail::WakeAllWaiters();
}

int TThread::WaitFor() {
    if (GetCurrentThreadId() == threadId_.load() && !finished_)
        throw EThread("Cannot call WaitFor on the thread itself");
    if (freeOnTerminate_) throw EThread("Cannot call WaitFor on a thread that frees itself");
    if (!started_) throw EThread("Cannot call WaitFor on a thread that was never started");
    detail::WaitRunningCalls([this] { return finished_.load(); });
    std::lock_guard<std::mutex> lock(startMutex_);
    if (thread_.joinable()) thread_.join();
    return returnValue_;
}

void TThread::DoTerminate() {
    if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Synchronize(TThread*, const std::function<void()>& method) {
    detail::RunOnThread(MainThreadID(), method);
}

void TThreadList::Add(void* item) {
    TList* list = LockList();
    try {
        if (duplicates_ == dupAccept || list->IndexOf(item) < 0) list->Add(item);
        else if (duplicates_ == dupError) throw EListError("Duplicates not allowed in this list");
    } catch (...) {
        UnlockList();
        throw;
    }
    UnlockList();
}

void TThreadList::Remove(void* item) {
    LockList()->Remove(item);
    UnlockList();
}

void TThreadList::Clear() {
    LockList()->Clear();
    UnlockList();
}

namespace {
std::mutex endersMutex;
std::map<int, std::function<void()>>& Enders() {
    static auto* enders = new std::map<int, std::function<void()>>;
    return *enders;
}
int nextEnder = 0;
}  // namespace

int AtPlatformThreadsEnd(std::function<void()> stop) {
    std::lock_guard<std::mutex> lock(endersMutex);
    Enders()[++nextEnder] = std::move(stop);
    return nextEnder;
}

void RemovePlatformThreadsEnd(int registration) {
    std::lock_guard<std::mutex> lock(endersMutex);
    Enders().erase(registration);
}

void EndPlatformThreads() {
    std::map<int, std::function<void()>> enders;
    {
        std::lock_guard<std::mutex> lock(endersMutex);
        enders.swap(Enders());
    }
    // Latest first: a thread started later may rely on one started before.
    for (auto it = enders.rbegin(); it != enders.rend(); ++it) it->second();
}

void NameAbandonedThread(std::thread& thread) {
    if (thread.joinable()) pthread_setname_np(thread.native_handle(), kAbandonedThreadName);
}

std::vector<std::string> RunningThreads() {
    std::vector<std::string> names;
    const std::string self = std::to_string(::syscall(SYS_gettid));
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) return names;
    while (dirent* entry = ::readdir(tasks)) {
        std::string id = entry->d_name;
        if (id.empty() || id[0] == '.' || id == self) continue;
        std::string name;
        std::getline(std::ifstream("/proc/self/task/" + id + "/comm"), name);
        // Gone meanwhile: it is not running.
        if (!name.empty()) names.push_back(name);
    }
    ::closedir(tasks);
    return names;
}

}  // namespace platform
