#include "platform/core/messages.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/waits.h"

namespace platform {

namespace {

// A call carried to another thread (a cross-thread SendMessage or Synchronize). The
// sender waits until done, so the function it carries stays alive until then.
struct CarriedCall {
    const std::function<void()>* fn = nullptr;
    std::exception_ptr error;
    bool done = false;  // guarded by the sender's queue mutex
    std::shared_ptr<struct Queue> sender;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    std::uint64_t interval;
    std::uint64_t due;
};

// A queued message; input (mouse, keys from the window layer) counts apart from posts.
struct Posted : MSG {
    bool input = false;
};

struct Queue : detail::Waiter {
    DWORD threadId = 0;
    bool alive = true;
    // The queued messages are posted[head...]: taking the first one only moves head, and
    // the space before it is reused once the reader has caught up (or it is half the
    // vector), so a steady flow allocates nothing.
    std::vector<Posted> posted;
    size_t head = 0;
    size_t postedCount = 0;  // posts queued; the rest is input
    // Posted messages taken while WM_QUIT or a due timer waited behind them.
    int overtaken = 0;
    std::deque<std::shared_ptr<CarriedCall>> carried;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    std::uint64_t changes = 0;  // grows with every change a waiting reader must look at
    // What the thread had seen when it last read its queue: input after that is new.
    std::uint64_t changesAtLook = 0;
    std::uint64_t tickAtLook = 0;

    // Kept beside what they stand for, under the mutex, for reads that take no lock:
    std::atomic<bool> hasCarried{false};  // !carried.empty()
    std::atomic<std::uint64_t> nextDue{detail::kNoDeadline};  // the first due time of the timers

    // The batch: what a plain read (no filter, PM_REMOVE) found queued, taken all at once
    // and handed out by the plain reads that follow without the lock. It comes before
    // everything in `posted`; any other read puts it back in front first. Only the owner
    // thread uses it, but for the counts, which posters add to the queue's for its limits.
    std::vector<Posted> batch;
    size_t batchHead = 0;
    std::uint64_t batchChanges = 0;  // the handle table's count when all of it was alive
    std::atomic<size_t> batchPosts{0};
    std::atomic<size_t> batchInput{0};
};

// --- queues, one per thread -------------------------------------------------------------

std::mutex queuesMutex;
std::unordered_map<DWORD, std::shared_ptr<Queue>>& Queues() {
    static auto* queues = new std::unordered_map<DWORD, std::shared_ptr<Queue>>;
    return *queues;
}

void Complete(CarriedCall& call) {
    {
        std::lock_guard<std::mutex> lock(call.sender->mutex);
        call.done = true;
        call.sender->changes++;
    }
    call.sender->Notify();  // the call holds the sender's queue
}

// Ends a thread's queue with the thread: calls still carried to it complete unrun.
struct QueueHolder {
    std::shared_ptr<Queue> queue;
    ~QueueHolder() {
        if (!queue) return;
        {
            std::lock_guard<std::mutex> lock(queuesMutex);
            Queues().erase(queue->threadId);
        }
        std::deque<std::shared_ptr<CarriedCall>> left;
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            queue->alive = false;
            left.swap(queue->carried);
            queue->hasCarried.store(false, std::memory_order_relaxed);
        }
        for (auto& call : left) Complete(*call);
    }
};

std::shared_ptr<Queue> QueueOf(DWORD threadId, bool create) {
    std::lock_guard<std::mutex> lock(queuesMutex);
    auto& map = Queues();
    auto it = map.find(threadId);
    if (it != map.end()) return it->second;
    if (!create) return nullptr;
    auto q = std::make_shared<Queue>();
    q->threadId = threadId;
    map.emplace(threadId, q);
    return q;
}

const std::shared_ptr<Queue>& MyQueuePtr() {
    thread_local QueueHolder holder;
    if (!holder.queue) holder.queue = QueueOf(GetCurrentThreadId(), true);
    return holder.queue;
}

Queue& MyQueue() { return *MyQueuePtr(); }

// The queue a message for threadId goes to. Only the main thread gets one before it
// asked for it, so that workers may post to it at any time.
std::shared_ptr<Queue> TargetQueue(DWORD threadId) {
    return QueueOf(threadId, threadId == MainThreadID() || threadId == GetCurrentThreadId());
}

// Runs every call carried to q (q is the calling thread's queue). Returns whether any ran.
bool RunCarried(Queue& q) {
    bool ran = false;
    for (;;) {
        std::shared_ptr<CarriedCall> call;
        {
            std::lock_guard<std::mutex> lock(q.mutex);
            if (q.carried.empty()) return ran;
            call = std::move(q.carried.front());
            q.carried.pop_front();
            q.hasCarried.store(!q.carried.empty(), std::memory_order_relaxed);
        }
        try {
            (*call->fn)();
        } catch (...) {
            call->error = std::current_exception();
        }
        Complete(*call);
        ran = true;
    }
}

// --- the handle table -------------------------------------------------------------------

struct HandleEntry {
    std::shared_ptr<const TWndMethod> proc;
    DWORD thread;
    std::shared_ptr<Queue> queue;  // the owner's, from when the handle was made
};

std::mutex handlesMutex;
std::uintptr_t nextHandle = 0x10000;
std::unordered_map<std::uintptr_t, HandleEntry>& Handles() {
    static auto* handles = new std::unordered_map<std::uintptr_t, HandleEntry>;
    return *handles;
}

std::uintptr_t Key(HWND h) { return reinterpret_cast<std::uintptr_t>(h); }

// The entries looked up last, by the low bits of their handle: every post and dispatch
// looks its handle up, mostly one of a few, and a hash table's lookup costs a division.
// An entry's address stays put while it is in the table; a freed handle leaves its slot.
// Guarded by handlesMutex, as the table.
struct RecentHandle {
    std::uintptr_t key = 0;
    HandleEntry* entry = nullptr;
};
constexpr std::size_t kRecentHandles = 64;
RecentHandle recentHandles[kRecentHandles];

RecentHandle& RecentSlot(std::uintptr_t key) { return recentHandles[key % kRecentHandles]; }

// The handle's entry, or null. Called with handlesMutex held.
HandleEntry* LockedEntry(HWND hwnd) {
    const std::uintptr_t key = Key(hwnd);
    RecentHandle& slot = RecentSlot(key);
    if (slot.key == key && slot.entry != nullptr) return slot.entry;
    auto it = Handles().find(key);
    if (it == Handles().end()) return nullptr;
    slot = RecentHandle{key, &it->second};
    return &it->second;
}

// The handle's owner thread, or 0 for an unknown handle.
DWORD OwnerOf(HWND hwnd) {
    std::lock_guard<std::mutex> lock(handlesMutex);
    const HandleEntry* e = LockedEntry(hwnd);
    return e == nullptr ? 0 : e->thread;
}

bool FindHandle(HWND hwnd, HandleEntry& out) {
    std::lock_guard<std::mutex> lock(handlesMutex);
    const HandleEntry* e = LockedEntry(hwnd);
    if (e == nullptr) return false;
    out = *e;
    return true;
}

// Grows, under handlesMutex, whenever a handle is freed or its procedure replaced. What a
// thread remembers of the table holds while the count is the one read with it (handles
// are never reused, so a new handle changes nothing remembered).
std::atomic<std::uint64_t> tableChanges{0};

// What the calling thread remembers of the handles it posted to and called lately: the
// queue a post goes to and the procedure, found without the table's lock. Slots by the
// low bits of the handle (handles are numbered in order). A slot read under an older
// count is stale: the first one found so empties every slot of its kind.
struct ThreadHandles {
    static constexpr std::size_t kSlots = 8;
    struct QueueSlot {
        std::uintptr_t key = 0;
        std::uint64_t changes = 0;
        std::shared_ptr<Queue> queue;
    };
    struct ProcSlot {
        std::uintptr_t key = 0;
        std::uint64_t changes = 0;
        std::shared_ptr<const TWndMethod> proc;
    };
    QueueSlot queues[kSlots];
    ProcSlot procs[kSlots];
    // Procedures under way on this thread. A procedure is called through its slot, so a
    // procedure its slot lets go of meanwhile (its handle freed or its procedure replaced
    // by the call, a call nested in it reusing the slot) is kept here until they return.
    int calls = 0;
    std::vector<std::shared_ptr<const TWndMethod>> retired;

    QueueSlot& QueueFor(std::uintptr_t key) { return queues[key % kSlots]; }
    ProcSlot& ProcFor(std::uintptr_t key) { return procs[key % kSlots]; }
    void Retire(std::shared_ptr<const TWndMethod>& proc) {
        if (calls > 0 && proc) retired.push_back(std::move(proc));
        proc.reset();
    }
    void ForgetQueues() {
        for (QueueSlot& slot : queues) slot = QueueSlot{};
    }
    void ForgetProcs() {
        for (ProcSlot& slot : procs) {
            slot.key = 0;
            Retire(slot.proc);
        }
    }
};

// The calling thread's memory of handles; null once the thread's objects are being
// destroyed at its end (a static object's destructor may still post or free handles).
ThreadHandles* MyHandles() {
    thread_local bool ended = false;  // no destructor: readable until the thread is gone
    struct Holder {
        ThreadHandles handles;
        bool& ended;
        ~Holder() { ended = true; }
    };
    if (ended) return nullptr;
    thread_local Holder holder{{}, ended};
    return &holder.handles;
}

// The handle's procedure and the table's count with it; false for an unknown handle.
bool LookUpProc(HWND hwnd, std::shared_ptr<const TWndMethod>& proc, std::uint64_t& changes) {
    std::lock_guard<std::mutex> lock(handlesMutex);
    const HandleEntry* e = LockedEntry(hwnd);
    if (e == nullptr) return false;
    proc = e->proc;
    changes = tableChanges.load(std::memory_order_relaxed);
    return true;
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    const std::uintptr_t key = Key(hwnd);
    ThreadHandles* mine = MyHandles();
    std::shared_ptr<const TWndMethod> proc;
    std::uint64_t changes = 0;
    if (mine == nullptr) {
        if (!LookUpProc(hwnd, proc, changes) || !proc || !*proc) return 0;
        return (*proc)(hwnd, msg, w, l);
    }
    ThreadHandles::ProcSlot& slot = mine->ProcFor(key);
    if (slot.key != key || slot.changes != tableChanges.load(std::memory_order_acquire)) {
        if (!LookUpProc(hwnd, proc, changes)) return 0;
        if (slot.key != 0 && slot.changes != changes) mine->ForgetProcs();
        mine->Retire(slot.proc);
        slot = ThreadHandles::ProcSlot{key, changes, std::move(proc)};
    }
    if (!slot.proc || !*slot.proc) return 0;
    struct Call {
        ThreadHandles& mine;
        explicit Call(ThreadHandles& m) : mine(m) { ++mine.calls; }
        ~Call() {
            if (--mine.calls == 0 && !mine.retired.empty()) {
                auto retired = std::move(mine.retired);
                mine.retired.clear();
            }
        }
    } call(*mine);
    return (*slot.proc)(hwnd, msg, w, l);
}

std::function<bool(const MSG&)>& Translator() {
    static auto* t = new std::function<bool(const MSG&)>;
    return *t;
}
std::mutex translatorMutex;

// --- taking messages --------------------------------------------------------------------

bool InRange(UINT m, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (m >= lo && m <= hi); }

bool Matches(HWND target, UINT m, HWND filter, UINT lo, UINT hi) {
    if (filter == HWND_THREAD_ONLY) {
        if (target != nullptr) return false;
    } else if (filter != nullptr && target != filter) {
        return false;
    }
    return InRange(m, lo, hi);
}

size_t QueuedCount(const Queue& q) { return q.posted.size() - q.head; }

// Removes the queued message at index i (head or after), keeping the count of posts.
// Called with q.mutex held.
void Drop(Queue& q, size_t i) {
    if (!q.posted[i].input) --q.postedCount;
    if (i != q.head) {
        q.posted.erase(q.posted.begin() + std::ptrdiff_t(i));
    } else if (++q.head == q.posted.size()) {
        q.posted.clear();
        q.head = 0;
    }
}

// The due timer that passes the filter and fell due first, or null.
Timer* DueTimer(Queue& q, HWND filter, UINT lo, UINT hi, std::uint64_t now) {
    Timer* due = nullptr;
    for (Timer& t : q.timers)
        if (t.due <= now && Matches(t.hwnd, WM_TIMER, filter, lo, hi) && (!due || t.due < due->due)) due = &t;
    return due;
}

bool TakeQuitOrTimer(Queue& q, MSG& out, HWND filter, UINT lo, UINT hi, bool remove);

// Called with q.mutex held after the timers changed.
void TimersChanged(Queue& q) {
    std::uint64_t next = detail::kNoDeadline;
    for (const Timer& t : q.timers) next = std::min(next, t.due);
    q.nextDue.store(next, std::memory_order_relaxed);
}

// Takes (or only looks at) the next message for the filter. Called with q.mutex held.
// Every queued message's handle is alive: a post queues only while its handle is in the
// table (or the table's count tells it to look again), and freeing a handle removes its
// messages under the table's lock.
bool Take(Queue& q, MSG& out, HWND filter, UINT lo, UINT hi, bool remove) {
    // Posted messages come first, but a quit or a due timer waits behind no more than a
    // few of them: a thread that posts faster than this one reads cannot starve them.
    if (q.overtaken >= kPostsBeforeQuitOrTimer && TakeQuitOrTimer(q, out, filter, lo, hi, remove)) return true;
    for (size_t i = q.head; i < q.posted.size(); ++i) {
        const Posted& p = q.posted[i];
        if (!Matches(p.hwnd, p.message, filter, lo, hi)) continue;
        out = p;
        if (remove) {
            Drop(q, i);
            if (q.quit || (!q.timers.empty() && DueTimer(q, filter, lo, hi, GetTickCount64()) != nullptr))
                ++q.overtaken;
        }
        return true;
    }
    return TakeQuitOrTimer(q, out, filter, lo, hi, remove);
}

// WM_QUIT, else WM_TIMER of the timer due first. Called with q.mutex held.
bool TakeQuitOrTimer(Queue& q, MSG& out, HWND filter, UINT lo, UINT hi, bool remove) {
    if (q.quit) {
        out = MSG{};
        out.message = WM_QUIT;
        out.wParam = WPARAM(q.quitCode);
        out.time = GetTickCount();
        if (remove) {
            q.quit = false;
            q.overtaken = 0;
        }
        return true;
    }
    const std::uint64_t now = GetTickCount64();
    Timer* due = DueTimer(q, filter, lo, hi, now);
    if (due == nullptr) return false;
    if (remove) q.overtaken = 0;
    out = MSG{};
    out.hwnd = due->hwnd;
    out.message = WM_TIMER;
    out.wParam = due->id;
    out.time = DWORD(now);
    if (remove) {
        due->due += due->interval * ((now - due->due) / due->interval + 1);  // keep the rhythm
        TimersChanged(q);
    }
    return true;
}

// The earliest due time of the timers that pass the filter and fall due after a tick.
std::uint64_t NextTimerDue(const Queue& q, HWND filter, UINT lo, UINT hi, std::uint64_t after) {
    std::uint64_t next = detail::kNoDeadline;
    for (const Timer& t : q.timers)
        if (t.due > after && Matches(t.hwnd, WM_TIMER, filter, lo, hi)) next = std::min(next, t.due);
    return next;
}

// Called with q.mutex held whenever the thread reads its queue. The tick matters only
// to timers that exist now: one set later changes the queue anyway.
void MarkLooked(Queue& q) {
    q.changesAtLook = q.changes;
    if (!q.timers.empty()) q.tickAtLook = GetTickCount64();
}

// Whether input arrived (or a timer fell due) since the thread last read its queue.
bool HasNewInput(const Queue& q) {
    return q.changes != q.changesAtLook || NextTimerDue(q, nullptr, 0, 0, q.tickAtLook) <= GetTickCount64();
}

// --- the batch --------------------------------------------------------------------------

bool BatchEmpty(const Queue& q) { return q.batchHead == q.batch.size(); }

// Empties the batch's vector too, keeping its room for the next one.
void ClearBatch(Queue& q) {
    q.batch.clear();
    q.batchHead = 0;
}

// Takes everything queued into the (empty) batch. Called with q.mutex held: the handles
// of all of it are alive at the table's count read now (DeallocateHWnd counts under the
// queue's lock, when it removes the handle's messages).
void TakeBatch(Queue& q) {
    ClearBatch(q);
    q.batch.swap(q.posted);
    q.batchHead = q.head;
    q.head = 0;
    q.batchPosts.store(q.postedCount, std::memory_order_relaxed);
    q.batchInput.store(q.batch.size() - q.batchHead - q.postedCount, std::memory_order_relaxed);
    q.postedCount = 0;
    q.batchChanges = tableChanges.load(std::memory_order_relaxed);
}

// Drops from the batch the messages of handles freed since all of it was alive. Takes the
// table's lock, so never called with q.mutex held.
void SweepBatchNow(Queue& q) {
    std::lock_guard<std::mutex> lock(handlesMutex);
    size_t posts = q.batchPosts.load(std::memory_order_relaxed);
    size_t input = q.batchInput.load(std::memory_order_relaxed);
    HWND last = nullptr;
    bool lastAlive = true;
    const auto kept = std::remove_if(q.batch.begin() + std::ptrdiff_t(q.batchHead), q.batch.end(), [&](const Posted& p) {
        if (p.hwnd == nullptr) return false;  // a thread message
        if (p.hwnd != last) {
            last = p.hwnd;
            lastAlive = LockedEntry(p.hwnd) != nullptr;
        }
        if (!lastAlive) --(p.input ? input : posts);
        return !lastAlive;
    });
    q.batch.erase(kept, q.batch.end());
    if (BatchEmpty(q)) ClearBatch(q);
    q.batchPosts.store(posts, std::memory_order_relaxed);
    q.batchInput.store(input, std::memory_order_relaxed);
    q.batchChanges = tableChanges.load(std::memory_order_relaxed);
}

void SweepBatch(Queue& q) {
    if (!BatchEmpty(q) && tableChanges.load(std::memory_order_acquire) != q.batchChanges) SweepBatchNow(q);
}

// The batch's first message, unless a quit or a due timer has waited behind enough posts
// (`waiting`: one does now). Takes no lock.
bool TakeBatchFront(Queue& q, MSG& out, bool waiting) {
    if (BatchEmpty(q) || (waiting && q.overtaken >= kPostsBeforeQuitOrTimer)) return false;
    const Posted& p = q.batch[q.batchHead++];
    out = p;
    std::atomic<size_t>& count = p.input ? q.batchInput : q.batchPosts;
    count.store(count.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
    if (waiting) ++q.overtaken;
    if (BatchEmpty(q)) ClearBatch(q);
    return true;
}

// A plain read without the lock: the batch's next message. The quit flag is the owner's
// own; a due timer is told by the first due time kept beside the timers.
bool TakeFromBatch(Queue& q, MSG& out) {
    SweepBatch(q);
    if (BatchEmpty(q)) return false;
    const std::uint64_t due = q.nextDue.load(std::memory_order_relaxed);
    return TakeBatchFront(q, out, q.quit || (due != detail::kNoDeadline && due <= GetTickCount64()));
}

// Puts the batch back in front of the queue, for a read that is not plain. Never called
// with q.mutex held.
void ReturnBatch(Queue& q) {
    for (;;) {
        SweepBatch(q);
        if (BatchEmpty(q)) return;
        std::lock_guard<std::mutex> lock(q.mutex);
        if (tableChanges.load(std::memory_order_relaxed) != q.batchChanges) continue;  // freed meanwhile
        q.posted.insert(q.posted.begin() + std::ptrdiff_t(q.head), q.batch.begin() + std::ptrdiff_t(q.batchHead),
                        q.batch.end());
        q.postedCount += q.batchPosts.load(std::memory_order_relaxed);
        q.batchPosts.store(0, std::memory_order_relaxed);
        q.batchInput.store(0, std::memory_order_relaxed);
        ClearBatch(q);
        return;
    }
}

// One read of the calling thread's queue: runs the calls carried to it, then takes (or only
// looks at) the next message for the filter. When it finds none, `lock` (on q.mutex,
// not held on entry) holds the queue that was looked at.
bool Read(Queue& q, std::unique_lock<std::mutex>& lock, MSG& out, HWND filter, UINT lo, UINT hi, bool remove) {
    const bool plain = remove && filter == nullptr && lo == 0 && hi == 0;
    for (;;) {
        if (q.hasCarried.load(std::memory_order_relaxed)) RunCarried(q);
        if (!plain) {
            ReturnBatch(q);
        } else if (TakeFromBatch(q, out)) {
            return true;
        }
        lock.lock();
        if (!q.carried.empty()) {  // a call ran there may free handles: look at the batch again
            lock.unlock();
            continue;
        }
        MarkLooked(q);
        if (!plain) return Take(q, out, filter, lo, hi, remove);
        if (q.overtaken >= kPostsBeforeQuitOrTimer && TakeQuitOrTimer(q, out, nullptr, 0, 0, true)) return true;
        if (BatchEmpty(q) && QueuedCount(q) != 0) TakeBatch(q);
        const bool waiting = q.quit || (!q.timers.empty() && DueTimer(q, nullptr, 0, 0, GetTickCount64()) != nullptr);
        return TakeBatchFront(q, out, waiting) || TakeQuitOrTimer(q, out, nullptr, 0, 0, true);
    }
}

enum class Queued { kYes, kFull, kGone };

// Queues m (q.mutex held); the caller then wakes the reader (NotifyIfWaiting).
Queued PushLocked(Queue& q, const MSG& m, bool input) {
    if (!q.alive) return Queued::kGone;
    // Each queue holds a bounded number of posts, and as many input messages beside them.
    const size_t held = input ? QueuedCount(q) - q.postedCount + q.batchInput.load(std::memory_order_relaxed)
                              : q.postedCount + q.batchPosts.load(std::memory_order_relaxed);
    if (held >= kMessageQueueLimit) return Queued::kFull;
    if (q.head != 0 && q.head >= q.posted.size() / 2) {
        q.posted.erase(q.posted.begin(), q.posted.begin() + std::ptrdiff_t(q.head));
        q.head = 0;
    }
    // Field by field: m was just written that way, and a wider read of it would wait.
    Posted& p = q.posted.emplace_back();
    p.hwnd = m.hwnd;
    p.message = m.message;
    p.wParam = m.wParam;
    p.lParam = m.lParam;
    p.time = m.time;
    p.pt = m.pt;
    p.input = input;
    if (!input) ++q.postedCount;
    q.changes++;
    return Queued::kYes;
}

Queued Push(Queue& q, const MSG& m, bool input) {
    std::lock_guard<std::mutex> lock(q.mutex);
    return PushLocked(q, m, input);
}

bool Enqueue(const std::shared_ptr<Queue>& q, const MSG& m, bool input = false) {
    if (!q || Push(*q, m, input) != Queued::kYes) return false;
    q->NotifyIfWaiting();
    return true;
}

// A posted message's time stamp: the tick at the timer interrupt's resolution, as
// message times have always had, which costs a fraction of an exact reading.
DWORD MessageTime() { return DWORD(GetCoarseTickCount64()); }

}  // namespace

// --- carried calls ----------------------------------------------------------------------

namespace detail {

bool RunOnThread(DWORD threadId, const std::function<void()>& fn) {
    if (threadId == GetCurrentThreadId()) {
        fn();
        return true;
    }
    std::shared_ptr<Queue> target = TargetQueue(threadId);
    if (!target) return false;
    auto call = std::make_shared<CarriedCall>();
    call->fn = &fn;
    call->sender = MyQueuePtr();
    {
        std::lock_guard<std::mutex> lock(target->mutex);
        if (!target->alive) return false;
        target->carried.push_back(call);
        target->hasCarried.store(true, std::memory_order_relaxed);
        target->changes++;
    }
    target->Notify();
    WaitRunningCalls([&] { return call->done; });
    if (call->error) std::rethrow_exception(call->error);
    return true;
}

void WaitRunningCalls(const std::function<bool()>& done) {
    Queue& me = MyQueue();
    for (;;) {
        RunCarried(me);
        std::unique_lock<std::mutex> lock(me.mutex);
        WaitUntil(me, lock, kNoDeadline, [&] { return done() || !me.carried.empty(); });
        if (done()) return;
    }
}

}  // namespace detail

void CheckSynchronize() { RunCarried(MyQueue()); }

// --- handles ----------------------------------------------------------------------------

HWND AllocateHWnd(TWndMethod proc) {
    const std::shared_ptr<Queue>& owner = MyQueuePtr();  // the owner can be reached from the first message on
    auto shared = std::make_shared<const TWndMethod>(std::move(proc));
    std::lock_guard<std::mutex> lock(handlesMutex);
    std::uintptr_t key = nextHandle++;
    Handles()[key] = HandleEntry{std::move(shared), GetCurrentThreadId(), owner};
    return reinterpret_cast<HWND>(key);
}

void DeallocateHWnd(HWND hwnd) {
    // Most handles are freed by their own thread: it lets go of their procedures now
    // (outside the table's lock, as a procedure's captures may free handles of their own).
    if (ThreadHandles* mine = MyHandles()) mine->ForgetProcs();
    std::lock_guard<std::mutex> lock(handlesMutex);
    auto it = Handles().find(Key(hwnd));
    if (it == Handles().end()) return;
    const DWORD owner = it->second.thread;
    if (RecentSlot(it->first).key == it->first) RecentSlot(it->first) = RecentHandle{};
    Handles().erase(it);
    // Still under the table's lock, so that no post for the handle lands after this.
    if (auto q = QueueOf(owner, false)) {
        std::lock_guard<std::mutex> queueLock(q->mutex);
        // Counted under the queue's lock as its messages go: a post through a thread's
        // memory of the queue after this sees the new count and looks again, and a batch
        // taken before it holds an older count and is looked at again.
        tableChanges.fetch_add(1, std::memory_order_release);
        q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                        q->timers.end());
        TimersChanged(*q);
        const auto first = q->posted.begin() + std::ptrdiff_t(q->head);
        const auto kept = std::remove_if(first, q->posted.end(), [&](const Posted& p) {
            if (p.hwnd == hwnd && !p.input) --q->postedCount;
            return p.hwnd == hwnd;
        });
        q->posted.erase(kept, q->posted.end());
    } else {
        tableChanges.fetch_add(1, std::memory_order_release);
    }
}

bool SetHandleProc(HWND hwnd, TWndMethod proc) {
    std::lock_guard<std::mutex> lock(handlesMutex);
    HandleEntry* e = LockedEntry(hwnd);
    if (e == nullptr) return false;
    e->proc = std::make_shared<const TWndMethod>(std::move(proc));
    tableChanges.fetch_add(1, std::memory_order_release);
    return true;
}

TWndMethod GetHandleProc(HWND hwnd) {
    HandleEntry e;
    return FindHandle(hwnd, e) && e.proc ? *e.proc : TWndMethod();
}

bool IsHandleAllocated(HWND hwnd) {
    std::lock_guard<std::mutex> lock(handlesMutex);
    return LockedEntry(hwnd) != nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    HandleEntry e;
    bool found = FindHandle(hwnd, e);
    if (processId != nullptr) *processId = found ? DWORD(getpid()) : 0;
    return found ? e.thread : 0;
}

// --- posting and sending ----------------------------------------------------------------

namespace {

// Queues m in the queue the thread remembers for its handle. kGone when it remembers
// none, or one that may be out of date.
Queued PushRemembered(ThreadHandles::QueueSlot& slot, std::uintptr_t key, const MSG& m, bool input) {
    if (slot.key != key) return Queued::kGone;
    Queue& q = *slot.queue;
    Queued queued;
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        // Read under the queue's lock: a handle freed after this queue's last lock saw
        // its messages removed, and its count grew before that (DeallocateHWnd).
        if (tableChanges.load(std::memory_order_relaxed) != slot.changes) return Queued::kGone;
        queued = PushLocked(q, m, input);
    }
    if (queued == Queued::kYes) q.NotifyIfWaiting();
    return queued;
}

BOOL Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool input) {
    if (hwnd == nullptr) return PostThreadMessage(GetCurrentThreadId(), msg, wParam, lParam);
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = MessageTime();
    const std::uintptr_t key = Key(hwnd);
    ThreadHandles* mine = MyHandles();
    if (mine != nullptr) {
        const Queued remembered = PushRemembered(mine->QueueFor(key), key, m, input);
        if (remembered != Queued::kGone) return remembered == Queued::kYes ? TRUE : FALSE;
    }
    // Queued under the table's lock: a handle freed meanwhile gets nothing after its
    // messages were removed. The reader is woken under it too, so that the queue is held
    // by the handle's entry without a reference of our own.
    std::lock_guard<std::mutex> lock(handlesMutex);
    const HandleEntry* e = LockedEntry(hwnd);
    if (e == nullptr) return FALSE;
    std::shared_ptr<Queue> q = e->queue;
    Queued queued = Push(*q, m, input);
    if (queued == Queued::kGone) {
        // The owner thread's queue ended (the main thread's gets a new one).
        q = TargetQueue(e->thread);
        queued = q ? Push(*q, m, input) : Queued::kGone;
    }
    if (queued != Queued::kYes) return FALSE;
    q->NotifyIfWaiting();
    if (mine != nullptr) {
        ThreadHandles::QueueSlot& slot = mine->QueueFor(key);
        const std::uint64_t changes = tableChanges.load(std::memory_order_relaxed);
        if (slot.key != 0 && slot.changes != changes) mine->ForgetQueues();
        slot = ThreadHandles::QueueSlot{key, changes, std::move(q)};
    }
    return TRUE;
}

}  // namespace

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return Post(hwnd, msg, wParam, lParam, false); }

BOOL detail::PostInputMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return Post(hwnd, msg, wParam, lParam, true);
}

BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = MessageTime();
    return Enqueue(TargetQueue(threadId), m) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
    Queue& q = MyQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.quit = true;
    q.quitCode = exitCode;
    q.changes++;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const DWORD owner = OwnerOf(hwnd);
    if (owner == 0) return 0;
    if (owner == GetCurrentThreadId()) return CallProc(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    detail::RunOnThread(owner, [&] { result = CallProc(hwnd, msg, wParam, lParam); });
    return result;
}

// --- reading the queue ------------------------------------------------------------------

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    Queue& q = MyQueue();
    MSG local;
    std::unique_lock<std::mutex> lock(q.mutex, std::defer_lock);
    return Read(q, lock, msg != nullptr ? *msg : local, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE
                                                                                                              : FALSE;
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (hwnd != nullptr && hwnd != HWND_THREAD_ONLY && !IsHandleAllocated(hwnd)) return -1;
    Queue& q = MyQueue();
    MSG m;
    for (;;) {
        std::unique_lock<std::mutex> lock(q.mutex, std::defer_lock);
        if (Read(q, lock, m, hwnd, filterMin, filterMax, true)) break;
        const std::uint64_t seen = q.changes;
        detail::WaitUntil(q, lock, NextTimerDue(q, hwnd, filterMin, filterMax, 0),
                          [&] { return q.changes != seen || !q.carried.empty(); });
    }
    if (msg != nullptr) *msg = m;
    return m.message == WM_QUIT ? 0 : 1;
}

BOOL TranslateMessage(const MSG* msg) {
    std::function<bool(const MSG&)> t;
    {
        std::lock_guard<std::mutex> lock(translatorMutex);
        t = Translator();
    }
    return msg != nullptr && t && t(*msg) ? TRUE : FALSE;
}

void SetMessageTranslator(std::function<bool(const MSG&)> translator) {
    std::lock_guard<std::mutex> lock(translatorMutex);
    Translator() = std::move(translator);
}

LRESULT DispatchMessage(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs, DWORD) {
    if (waitAll || (count > 0 && handles == nullptr)) return WAIT_FAILED;
    std::vector<TEvent*> events;
    for (DWORD i = 0; i < count; ++i) {
        TEvent* e = TEvent::FromHandle(handles[i]);
        if (e == nullptr) return WAIT_FAILED;
        events.push_back(e);
    }
    const std::uint64_t deadline = detail::DeadlineAfter(timeoutMs);
    Queue& q = MyQueue();
    for (;;) {
        // A call carried here counts as a message: the caller's conditions may have changed.
        if (RunCarried(q)) return WAIT_OBJECT_0 + count;
        for (DWORD i = 0; i < count; ++i)
            if (events[i]->TryTake()) return WAIT_OBJECT_0 + i;
        std::unique_lock<std::mutex> lock(q.mutex);
        if (HasNewInput(q)) return WAIT_OBJECT_0 + count;
        if (deadline != detail::kNoDeadline && GetTickCount64() >= deadline) return WAIT_TIMEOUT;
        // Events wake every waiter when set; timers and posts change the queue.
        const std::uint64_t seen = q.changes;
        bool anySet = false;
        detail::WaitUntil(q, lock, std::min(deadline, NextTimerDue(q, nullptr, 0, 0, q.tickAtLook)), [&] {
            if (q.changes != seen || !q.carried.empty()) return true;
            for (TEvent* e : events)
                if (e->IsSignalled()) anySet = true;
            return anySet;
        });
    }
}

// --- timers -----------------------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs) {
    HandleEntry e;
    if (!FindHandle(hwnd, e)) return 0;
    std::shared_ptr<Queue> q = TargetQueue(e.thread);
    if (!q) return 0;
    const std::uint64_t interval = std::max<UINT>(elapseMs, 10);
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(),
                                       [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; }),
                        q->timers.end());
        q->timers.push_back(Timer{hwnd, id, interval, GetTickCount64() + interval});
        TimersChanged(*q);
        q->changes++;
    }
    q->Notify();
    return id == 0 ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    HandleEntry e;
    if (!FindHandle(hwnd, e)) return FALSE;
    std::shared_ptr<Queue> q = QueueOf(e.thread, false);
    if (!q) return FALSE;
    std::lock_guard<std::mutex> lock(q->mutex);
    auto it = std::find_if(q->timers.begin(), q->timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == q->timers.end()) return FALSE;
    q->timers.erase(it);
    TimersChanged(*q);
    return TRUE;
}

}  // namespace platform
