#include "jobmodel/addfiles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <sys/resource.h>

#include "platform/controls/forms.h"
#include "platform/core/messages.h"
#include "platform/core/threads.h"

namespace jobmodel {


namespace {

const FileProbeLibrary kConverterProbe{::getFileInfo, ::isSupportFormat};
std::atomic<const FileProbeLibrary*> g_probe{&kConverterProbe};

// One file of the command. A worker writes info and result, then publishes done; the
// user-interface thread reads them only after it saw done.
struct Slot {
    MediaInfo* info = nullptr;
    CustomSetting* setting = nullptr;  // the row's option record, made beside the probe
    std::int32_t result = 0;
    std::atomic<bool> done{false};
};

constexpr std::size_t kNoFile = static_cast<std::size_t>(-1);
constexpr int kWorkerNice = 5;  // added to the program's own

// What the command and its workers share. The workers hold it too: a command that ends
// before its probes (the program quits while a file on a stalled network folder is being
// probed) leaves them behind, and each ends on its own when its probe returns, touching
// nothing but this.
struct Shared {
    Shared(const std::vector<std::string>& files, const FileProbeLibrary& probeWith)
        : paths(files), probe(probeWith), slots(files.size()) {}
    ~Shared() { DropSlots(); }
    const std::vector<std::string> paths;
    const FileProbeLibrary probe;
    std::vector<Slot> slots;
    std::atomic<std::size_t> next{0};    // the next file a worker takes
    std::atomic<bool> stop{false};       // take no more files
    std::atomic<std::size_t> finished{0};  // files whose probe ended
    // The file whose row the user-interface thread waits for, or kNoFile. The worker that
    // finishes it wakes the thread; the other files finish without a message, so the
    // thread is woken about once per batch rather than once per file.
    std::atomic<std::size_t> due{kNoFile};
    platform::HWND wake = nullptr;       // owned by the user-interface thread
    // Set when the command has ended: the wake window is gone, and the results are dropped.
    std::mutex wakeLock;
    bool abandoned = false;  // under wakeLock
    // What new rows copy their options from, taken once when the command starts: the
    // workers read it while the user-interface thread may handle any message.
    std::unique_ptr<CustomSetting> options;

    void DropSlots() {
        for (Slot& slot : slots) {
            Drop(slot.info);
            Drop(slot.setting);
        }
    }
};

void Probe(const FileProbeLibrary& probe, const std::string& path, const CustomSetting* options, Slot& slot) {
    if (path.size() >= sizeof(MediaInfo::path)) {
        // Too long for the record: only whether it is supported matters (the length
        // check then stops the command or the file is skipped).
        slot.result = probe.isSupportFormat(path.c_str());
        return;
    }
    slot.info = NewMediaInfo();
    std::memcpy(slot.info->path, path.c_str(), path.size() + 1);
    slot.result = probe.getFileInfo(slot.info);
    // A row's option record is large: making it here keeps the user-interface thread's
    // share of a row small.
    if (slot.result == 0) slot.setting = NewItemCustomSetting(options);
}

void Wake(Shared& shared) {
    std::lock_guard<std::mutex> lock(shared.wakeLock);
    if (!shared.abandoned) platform::PostMessage(shared.wake, platform::WM_NULL, 0, 0);
}

void Work(const std::shared_ptr<Shared>& owned) {
    Shared& shared = *owned;
    const std::vector<std::string>& paths = shared.paths;
    // Probing is background work: the thread yields to the user-interface thread, which
    // needs little but needs it at once, whenever the two contend for a processor (on
    // Linux the nice value is the calling thread's own).
    errno = 0;
    if (const int nice = getpriority(PRIO_PROCESS, 0); errno == 0) setpriority(PRIO_PROCESS, 0, std::min(19, nice + kWorkerNice));
    for (;;) {
        if (shared.stop.load()) return;
        const std::size_t i = shared.next.fetch_add(1);
        if (i >= paths.size()) return;
        Slot& slot = shared.slots[i];
        try {
            Probe(shared.probe, paths[i], shared.options.get(), slot);
        } catch (...) {
            slot.result = -1;  // a probe that failed outright: the file is skipped
        }
        // Sequentially consistent with the user-interface thread's store of due and
        // its second look at done: one of the two sides always sees the other.
        slot.done.store(true);
        // The last file ends any gathering of rows for a fuller batch.
        const bool last = ++shared.finished == shared.slots.size();
        std::size_t waited = i;
        if (shared.due.compare_exchange_strong(waited, kNoFile) || last) Wake(shared);
    }
}

// Handles one message (or paints, or waits for the next); false once the program was
// asked to end.
bool HandleOneMessage() {
    platform::Application->HandleMessage();
    return !platform::Application->Terminated();
}

// Handles what waits (painting included) without waiting for more.
bool HandleWaitingMessages() {
    platform::Application->ProcessMessages();
    return !platform::Application->Terminated();
}

}  // namespace

const FileProbeLibrary& ActiveFileProbe() { return *g_probe.load(); }
void SetFileProbe(const FileProbeLibrary* probe) { g_probe.store(probe ? probe : &kConverterProbe); }

std::size_t CharacterCount(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

AddFilesResult AddMediaFiles(JobRows& tree, const std::vector<std::string>& paths, JobHost& host,
                             const AddFilesOptions& options) {
    using Clock = std::chrono::steady_clock;
    AddFilesResult result;
    if (paths.empty()) return result;
    host.LoadOptionRecord();

    auto shared = std::make_shared<Shared>(paths, ActiveFileProbe());
    if (const CustomSetting* from = NewRowOptionSource()) shared->options = std::make_unique<CustomSetting>(*from);
    // Its messages only wake the loop below; the spacing timer is one-shot.
    shared->wake = platform::AllocateHWnd([](platform::HWND hwnd, platform::UINT msg, platform::WPARAM id,
                                             platform::LPARAM) {
        if (msg == platform::WM_TIMER) platform::KillTimer(hwnd, id);
        return platform::LRESULT(0);
    });
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t count = std::min<std::size_t>(paths.size(), options.threads > 0 ? options.threads : processors);
    std::vector<std::thread> workers;
    // Whichever way the command ends, it returns at once: a worker still in a probe is
    // left to finish it and end, its result dropped (the last holder of the shared state
    // drops what was not taken). Nothing waits for a probe that may never return.
    struct Finish {
        Shared& shared;
        std::vector<std::thread>& workers;
        ~Finish() {
            shared.stop = true;
            {
                std::lock_guard<std::mutex> lock(shared.wakeLock);
                shared.abandoned = true;
            }
            for (auto& w : workers) {
                platform::NameAbandonedThread(w);  // told apart from a thread left by mistake at exit
                w.detach();
            }
            platform::KillTimer(shared.wake, 1);
            platform::DeallocateHWnd(shared.wake);
        }
    } finish{*shared, workers};
    for (std::size_t i = 0; i < count; ++i) workers.emplace_back(Work, shared);

    std::unordered_set<std::string> names = FileRowNames(tree);
    const std::size_t batch = static_cast<std::size_t>(std::max(1, options.batchRows));
    auto done = [&](std::size_t i) { return shared->slots[i].done.load(std::memory_order_acquire); };
    std::size_t next = 0;  // the next file whose row is due, in the dialog's order
    Clock::time_point nextBatch = Clock::now();  // a batch starts no earlier
    while (next < paths.size()) {
        if (!done(next)) {
            // Ask the worker of this file for a wake, then look again: it may have
            // finished before it could see the request.
            shared->due.store(next);
            if (!shared->slots[next].done.load()) {
                if (!HandleOneMessage()) {
                    result.quit = true;
                    break;
                }
                continue;
            }
            shared->due.store(kNoFile);
        }
        if (const auto now = Clock::now(); now < nextBatch && shared->finished.load() < paths.size()) {
            // Rows are ready but the last batch was a moment ago, and more are coming:
            // gathering them a little longer makes fewer, fuller batches, each with the
            // tree's own work per update bracket. Meanwhile the window is live.
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextBatch - now);
            platform::SetTimer(shared->wake, 1, static_cast<platform::UINT>(std::max<long long>(1, wait.count())));
            if (!HandleOneMessage()) {
                result.quit = true;
                break;
            }
            continue;
        }
        // The finished files in order, one batch in one update bracket. A batch ends
        // after its rows or its time, whichever comes first: a row costs more while the
        // probes keep every processor busy.
        const auto batchStart = Clock::now();
        const auto batchEnd = batchStart + options.batchTime;
        std::size_t stopAt = paths.size();
        std::size_t n = 0;
        bool full = false;  // the batch ended on its limits, with more rows ready
        tree.BeginUpdate();
        try {
            for (; next < paths.size() && done(next); ++n, ++next) {
                if (n == batch || (n > 0 && Clock::now() >= batchEnd)) {
                    full = true;
                    break;
                }
                Slot& slot = shared->slots[next];
                if (slot.result != 0) {
                    ++result.skipped;
                    Drop(slot.info);
                    Drop(slot.setting);
                    continue;
                }
                if (CharacterCount(paths[next]) > kMaxAddPathCharacters) {
                    stopAt = next;
                    break;
                }
                AppendFileRow(tree, paths[next], slot.info, names, slot.setting);
                slot.info = nullptr;
                slot.setting = nullptr;
                ++result.added;
            }
        } catch (...) {
            tree.EndUpdate();
            throw;
        }
        tree.EndUpdate();
        if (stopAt != paths.size()) {
            result.stopped = true;
            shared->stop = true;
            host.ShowMessage(std::string(kPathTooLongText) + paths[stopAt]);
            break;
        }
        nextBatch = full ? Clock::now() : batchStart + options.batchSpacing;
        // Between batches the window paints and handles what came meanwhile.
        if (!HandleWaitingMessages()) {
            result.quit = true;
            break;
        }
    }

    if (!result.stopped && !result.quit) {
        if (Row last = tree.LastChild(nullptr)) {
            tree.ClearSelection();
            tree.SetSelected(last, true);
            tree.Focus(last);
        }
    }
    return result;
}

}  // namespace jobmodel
