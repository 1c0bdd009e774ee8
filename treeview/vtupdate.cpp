// Update and synchronisation brackets, tree states, structure-change notification with
// its delay, the tree's timers and message target, and the position cache with its
// process-wide worker thread.
#include <algorithm>
#include <mutex>

#include "platform/core/threads.h"
#include "platform/windows/messages.h"
#include "treeview/vasttrees.h"
#include "treeview/vtinternal.h"

namespace treeview {

// Visible rows between two entries of the position index.
constexpr std::uint32_t kPositionIndexSpacing = 32;

using namespace platform;

// ---- brackets ----

void TBaseVastTree::DoUpdating(TVTUpdateState state) {
    if (OnUpdating) OnUpdating(this, state);
}

// No repainting while updating: the window is told through WM_SETREDRAW.
void TBaseVastTree::SetUpdateState(bool updating) {
    if (Visible() && HandleAllocated()) SendMessage(WindowHandle(), WM_SETREDRAW, updating ? 0 : 1, 0);
}

void TBaseVastTree::BeginUpdate() {
    if (!(ComponentState() & csDestroying)) {
        DoUpdating(updateCount_ == 0 ? usBegin : usUpdate);
        if (updateCount_ == 0) SetUpdateState(true);
    }
    ++updateCount_;
    DoStateChange(tsUpdating);
}

void TBaseVastTree::EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
    if (ComponentState() & csDestroying) return;
    if (updateCount_ == 0 && (states_ & tsUpdating)) {
        if (states_ & tsUpdateHiddenChildrenNeeded) {
            DetermineHiddenChildrenFlagAllNodes();
            states_ &= ~tsUpdateHiddenChildrenNeeded;
        }
        DoStateChange(0, tsUpdating);
        PackSelection();
        InvalidateCache();
        ValidateCache();
        if (HandleAllocated()) UpdateScrollBars(false);
        if (states_ & tsStructureChangePending) DoStructureChange(lastStructureChangeNode_, lastStructureChangeReason_);
        if (states_ & tsChangePending) DoChange(lastChangedNode_);
        if (options_->AutoOptions() & toAutoSort) SortTree(header_->SortColumn(), header_->SortDirection(), true);
        SetUpdateState(false);
        InvalidateTree();
    }
    DoUpdating(updateCount_ == 0 ? usEnd : usUpdate);
}

void TBaseVastTree::BeginSynch() {
    if (!(ComponentState() & csDestroying)) {
        if (synchUpdateCount_ == 0) {
            DoUpdating(usBeginSynch);
            for (unsigned id = ExpandTimer; id <= SearchTimer; ++id) StopTimer(id);
            DoStateChange(0, tsEditPending | tsIncrementalSearching | tsScrolling | tsScrollPending);
            if (states_ & tsStructureChangePending)
                DoStructureChange(lastStructureChangeNode_, lastStructureChangeReason_);
            if (states_ & tsChangePending) DoChange(lastChangedNode_);
        } else {
            DoUpdating(usSynch);
        }
    }
    ++synchUpdateCount_;
    DoStateChange(tsSynchMode);
}

void TBaseVastTree::EndSynch() {
    if (synchUpdateCount_ > 0) --synchUpdateCount_;
    if (ComponentState() & csDestroying) return;
    if (synchUpdateCount_ == 0) {
        DoStateChange(0, tsSynchMode);
        DoUpdating(usEndSynch);
    } else {
        DoUpdating(usSynch);
    }
}

// ---- states and notification ----

void TBaseVastTree::DoStateChange(TVastTreeStates enter, TVastTreeStates leave) {
    if (OnStateChange && ((enter & ~states_) || (leave & states_))) OnStateChange(this, enter, leave);
    SetStateBits(enter, leave);
}

void TBaseVastTree::AdviseChangeEvent(bool structureChange, PVastNode node, TChangeReason reason) {
    if (structureChange) {
        if (states_ & tsStructureChangePending)
            StopTimer(StructureChangeTimer);
        else
            DoStateChange(tsStructureChangePending);
        lastStructureChangeNode_ = node;
        if (lastStructureChangeReason_ == crIgnore)
            lastStructureChangeReason_ = reason;
        else if (reason != crIgnore)
            lastStructureChangeReason_ = crAccumulated;
    } else {
        if (states_ & tsChangePending)
            StopTimer(ChangeTimer);
        else
            DoStateChange(tsChangePending);
        lastChangedNode_ = node;
    }
}

void TBaseVastTree::StructureChange(PVastNode node, TChangeReason reason) {
    AdviseChangeEvent(true, node, reason);
    if (updateCount_ == 0) {
        if (changeDelay_ > 0 && !(states_ & tsSynchMode))
            StartTimer(StructureChangeTimer);
        else
            DoStructureChange(node, reason);
    }
}

void TBaseVastTree::DoStructureChange(PVastNode node, TChangeReason reason) {
    StopTimer(StructureChangeTimer);
    if (OnStructureChange) OnStructureChange(this, node, reason);
    DoStateChange(0, tsStructureChangePending);
    lastStructureChangeNode_ = nullptr;
    lastStructureChangeReason_ = crIgnore;
}

// ---- timers and messages ----

namespace {
// The timers only StartTimer starts; StopTimer knows whether they run.
unsigned ChangeTimerBit(unsigned id) {
    return id == ChangeTimer || id == StructureChangeTimer ? 1u << id : 0u;
}
}  // namespace

void TBaseVastTree::StartTimer(unsigned id) {
    SetTimer(msgHandle_, id, std::max<UINT>(changeDelay_, 10));
    runningChangeTimers_ |= ChangeTimerBit(id);
}

void TBaseVastTree::StopTimer(unsigned id) {
    const unsigned bit = ChangeTimerBit(id);
    if (bit) {
        if (!(runningChangeTimers_ & bit)) return;
        runningChangeTimers_ &= ~bit;
    }
    KillTimer(msgHandle_, id);
}

LRESULT TBaseVastTree::MessageProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        if (wParam == ExpandTimer) {
            DoDragExpand();
        } else if (wParam == ChangeTimer) {
            StopTimer(ChangeTimer);
            if (states_ & tsChangePending) DoChange(lastChangedNode_);
        } else if (wParam == StructureChangeTimer) {
            StopTimer(StructureChangeTimer);
            if (states_ & tsStructureChangePending)
                DoStructureChange(lastStructureChangeNode_, lastStructureChangeReason_);
        } else if (wParam == SearchTimer) {
            EndIncrementalSearch();
        } else if (wParam == EditTimer) {
            StopTimer(EditTimer);
            if (states_ & tsEditPending) DoEdit();
        } else if (wParam == HeaderTimer) {
            header_->HeaderTimerExpired();
        } else if (wParam == ScrollTimer) {
            ScrollTimerExpired();
        } else {
            KillTimer(msgHandle_, wParam);
        }
        return 0;
    }
    if (msg == WM_REVALIDATE) {
        revalidatePosted_ = false;
        if (updateCount_ == 0) ValidateCache();
        return 0;
    }
    if (msg == WM_CHANGESTATE) {
        auto toStates = [](std::uintptr_t mask) {
            TVastTreeStates states = 0;
            if (mask & 1) states |= tsStopValidation;
            if (mask & 2) states |= tsUseCache;
            if (mask & 4) states |= tsValidating;
            if (mask & 8) states |= tsValidationNeeded;
            return states;
        };
        TVastTreeStates enter = toStates(std::uintptr_t(wParam));
        // The worker waits for this message and reads nothing meanwhile, so whatever runs
        // here (handlers, the scroll bars measuring rows) may change the tree; it then only
        // stops the rebuild (see StopValidation).
        bool outer = workerMessageDepth_++ == 0;
        if (outer) interruptedInMessage_ = false;
        struct Depth {
            int& depth;
            ~Depth() { --depth; }
        } depth{workerMessageDepth_};
        DoStateChange(enter, toStates(std::uintptr_t(lParam)));
        // Heights may have been measured meanwhile: the scroll bars follow here, on the
        // tree's own thread.
        if ((enter & tsUseCache) && !interruptedInMessage_ &&
            (TreeOptions()->MiscOptions() & toVariableNodeHeight))
            UpdateScrollBars(true);
        if (interruptedInMessage_) {
            // The tree changed: whatever the worker built is stale.
            SetStateBits(tsValidationNeeded, tsUseCache);
            if (outer) interruptedInMessage_ = false;
        }
        return 0;
    }
    return 0;
}

// ---- the worker ----

class TWorkerThread : public TThread {
public:
    TWorkerThread() : TThread(false) {}

    void QueueTree(TBaseVastTree* tree) {
        if (!tree) throw EAssertionFailed("Tree must not be nil.");
        tree->stopValidation_ = false;
        tree->DoStateChange(0, tsStopValidation);
        std::lock_guard<std::mutex> lock(mutex_);
        if (std::find(waiting_.begin(), waiting_.end(), tree) == waiting_.end()) waiting_.push_back(tree);
        tree->workerBusy_ = true;
    }
    // Removes a waiting tree; false while the worker is validating it.
    bool UnqueueTree(TBaseVastTree* tree) {
        if (!tree) throw EAssertionFailed("Tree must not be nil.");
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), tree), waiting_.end());
        if (current_ == tree) return false;
        tree->workerBusy_ = false;
        return true;
    }
    bool IsCurrent(TBaseVastTree* tree) {
        std::lock_guard<std::mutex> lock(mutex_);
        return current_ == tree;
    }

    TEvent workEvent{false, false};
    TEvent idleEvent{false, false};
    int references = 0;

protected:
    void Execute() override {
        while (!Terminated()) {
            workEvent.WaitFor(INFINITE);
            if (Terminated()) break;
            TBaseVastTree* tree = nullptr;
            HWND target = nullptr;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!waiting_.empty()) {
                    tree = waiting_.front();
                    waiting_.erase(waiting_.begin());
                    if (!waiting_.empty()) workEvent.SetEvent();
                    target = tree->msgHandle_;
                }
                current_ = tree;
            }
            if (!tree) continue;
            WPARAM enter = 0;
            try {
                SendMessage(target, WM_CHANGESTATE, 4, 2);
                if (!tree->stopValidation_ && tree->DoValidateCache()) enter = 2;
            } catch (...) {
            }
            SendMessage(target, WM_CHANGESTATE, enter, 1 | 4 | (enter ? 8 : 0));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                current_ = nullptr;
                tree->workerBusy_ = false;
            }
            idleEvent.SetEvent();
        }
    }

private:
    std::mutex mutex_;
    std::vector<TBaseVastTree*> waiting_;
    TBaseVastTree* current_ = nullptr;
};

namespace {
// Touched on the user-interface thread only.
TWorkerThread* gWorker = nullptr;
}  // namespace

void AcquireWorker() {
    if (!gWorker) gWorker = TThread::Create<TWorkerThread>();
    ++gWorker->references;
}

void ReleaseWorker(TBaseVastTree* tree) {
    if (!gWorker) return;
    --gWorker->references;
    tree->InterruptValidation();
    if (gWorker->references > 0) return;
    TWorkerThread* worker = gWorker;
    gWorker = nullptr;
    worker->Terminate();
    worker->workEvent.SetEvent();
    worker->WaitFor();
    delete worker;
}

// ---- position cache ----

void TBaseVastTree::InvalidateCache() {
    if ((states_ & (tsValidationNeeded | tsUseCache)) != tsValidationNeeded) DoStateChange(tsValidationNeeded, tsUseCache);
}

void TBaseVastTree::ValidateCache() {
    StopValidation(false);
    if (!(states_ & tsValidationNeeded)) return;
    // Small trees never get a cache, so they need no trip to the worker.
    if (visibleCount_ <= CacheThreshold || !gWorker) {
        positionCache_.clear();
        positionIndex_.clear();
        return;
    }
    gWorker->QueueTree(this);
    gWorker->workEvent.SetEvent();
}

void TBaseVastTree::InterruptValidation() {
    thread_.CheckChange();
    StopValidation(true);
}

void TBaseVastTree::StopValidation(bool restart) {
    if (!workerBusy_) return;
    stopValidation_ = true;
    DoStateChange(tsStopValidation, tsUseCache);
    if (gWorker && !gWorker->UnqueueTree(this)) {
        if (workerMessageDepth_ > 0) {
            // Called from a handler of the worker's own state message: the worker is
            // blocked sending it and reads nothing until it returns, then sees the stop
            // flag. Waiting for it here would never end.
            interruptedInMessage_ = true;
        } else {
            // The worker holds this tree: wait for it to let go. Its state messages are
            // sent, so the wait runs them; nothing else of the queue is dispatched
            // meanwhile, and a quit request is passed on once the worker has let go.
            HANDLE idle = gWorker->idleEvent.Handle();
            bool quit = false;
            int exitCode = 0;
            while (gWorker->IsCurrent(this)) {
                MsgWaitForMultipleObjects(1, &idle, FALSE, INFINITE, QS_ALLINPUT);
                MSG msg;
                if (PeekMessage(&msg, msgHandle_, WM_CHANGESTATE, WM_CHANGESTATE, PM_REMOVE) &&
                    msg.message == WM_QUIT) {
                    quit = true;
                    exitCode = int(msg.wParam);
                }
            }
            if (quit) PostQuitMessage(exitCode);
            workerBusy_ = false;
            DoStateChange(0, tsValidating);
        }
    }
    DoStateChange(tsValidationNeeded);
    // A stopped rebuild, queued or running, is started again once the current operation
    // is over; ValidateCache queues the tree itself and asks for nothing.
    if (restart && !revalidatePosted_ && msgHandle_) revalidatePosted_ = PostMessage(msgHandle_, WM_REVALIDATE, 0, 0);
}

std::uint32_t TBaseVastTree::CalculateCacheEntryCount() const {
    if (visibleCount_ < 2) return 0;
    return (visibleCount_ + CacheThreshold - 1) / CacheThreshold;
}

// Runs on the worker thread: reads links and stored heights, writes only the cache.
bool TBaseVastTree::DoValidateCache() {
    if (stopValidation_) return false;
    positionCache_.clear();
    positionIndex_.clear();
    if (visibleCount_ <= CacheThreshold) return false;
    positionCache_.resize(CalculateCacheEntryCount());
    positionIndex_.reserve(visibleCount_ / kPositionIndexSpacing + 1);
    PVastNode node = GetFirstVisibleNoInit();
    std::uint32_t top = 0, steps = 0;
    std::size_t index = 0;
    while (node && !stopValidation_) {
        if (steps % CacheThreshold == 0) positionCache_[index++] = {node, top};
        if (steps % kPositionIndexSpacing == 0) positionIndex_.push_back({node, top});
        top += node->NodeHeight;
        node = GetNextVisibleNoInit(node);
        if (!node || index >= positionCache_.size()) break;
        ++steps;
    }
    positionCache_.resize(index);
    return steps > 0 && !stopValidation_;
}

// The last cache entry that does not lie after the target (after: entry -> bool).
template <class After>
PVastNode TBaseVastTree::FindCacheEntry(After after, std::uint32_t& top) const {
    std::int32_t low = 0, high = std::int32_t(positionCache_.size()) - 1;
    while (low <= high) {
        std::int32_t middle = (low + high) / 2;
        if (after(positionCache_[std::size_t(middle)]))
            high = middle - 1;
        else
            low = middle + 1;
    }
    top = low == 0 ? 0 : positionCache_[std::size_t(low - 1)].AbsoluteTop;
    return low == 0 ? nullptr : positionCache_[std::size_t(low - 1)].Node;
}

PVastNode TBaseVastTree::FindInPositionCache(PVastNode node, std::uint32_t& top) const {
    return FindCacheEntry([&](const TCacheEntry& entry) { return CompareNodePositions(entry.Node, node) > 0; }, top);
}

PVastNode TBaseVastTree::FindInPositionCache(std::uint32_t position, std::uint32_t& top) const {
    return FindCacheEntry([&](const TCacheEntry& entry) { return position < entry.AbsoluteTop; }, top);
}

PVastNode TBaseVastTree::GetNodeAt(int x, int y) {
    int top = 0;
    return GetNodeAt(x, y, true, top);
}

PVastNode TBaseVastTree::GetNodeAt(int, int y, bool relative, int& nodeTop) {
    if (y < 0) y = 0;
    std::int64_t position = y;
    if (relative) position -= offsetY_;
    PVastNode node = nullptr;
    std::int64_t current = 0;
    if ((states_ & tsUseCache) && !positionIndex_.empty()) {
        // The last index entry at or above the position.
        auto after = std::upper_bound(positionIndex_.begin(), positionIndex_.end(), std::uint32_t(position),
                                      [](std::uint32_t p, const TCacheEntry& entry) { return p < entry.AbsoluteTop; });
        if (after != positionIndex_.begin()) {
            node = std::prev(after)->Node;
            current = std::prev(after)->AbsoluteTop;
        }
    }
    if (!node) {
        node = GetFirstVisibleNoInit();
        current = 0;
    }
    while (node && node != root_) {
        if ((node->States & vsVisible) && position < current + node->TotalHeight) {
            if (position < current + node->NodeHeight || !node->FirstChild || !(node->States & vsExpanded)) {
                nodeTop = int(relative ? current + offsetY_ : current);
                return node;
            }
            current += node->NodeHeight;
            node = node->FirstChild;
            continue;
        }
        if (node->States & vsVisible) current += node->TotalHeight;
        while (node != root_ && !node->NextSibling) node = node->Parent;
        if (node == root_) break;
        node = node->NextSibling;
    }
    return nullptr;
}

}  // namespace treeview
