#include "jobmodel/addfiles.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/controls/forms.h"
#include "platform/core/messages.h"

namespace jobmodel {

using treeview::PVastNode;
using treeview::TBaseVastTree;

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

struct Shared {
    explicit Shared(std::size_t n) : slots(n) {}
    std::vector<Slot> slots;
    std::atomic<std::size_t> next{0};    // the next file a worker takes
    std::atomic<bool> stop{false};       // take no more files
    std::atomic<bool> wakePending{false};
    platform::HWND wake = nullptr;       // owned by the user-interface thread
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

void Work(Shared& shared, const std::vector<std::string>& paths, const FileProbeLibrary& probe) {
    for (;;) {
        if (shared.stop.load()) return;
        const std::size_t i = shared.next.fetch_add(1);
        if (i >= paths.size()) return;
        Slot& slot = shared.slots[i];
        try {
            Probe(probe, paths[i], shared.options.get(), slot);
        } catch (...) {
            slot.result = -1;  // a probe that failed outright: the file is skipped
        }
        slot.done.store(true, std::memory_order_release);
        // One wake message at a time: the user-interface thread takes every finished
        // file when it handles it, and clears the flag before it looks.
        if (!shared.wakePending.exchange(true) && !platform::PostMessage(shared.wake, platform::WM_NULL, 0, 0))
            shared.wakePending.store(false);
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

AddFilesResult AddMediaFiles(TBaseVastTree& tree, const std::vector<std::string>& paths, JobHost& host,
                             const AddFilesOptions& options) {
    AddFilesResult result;
    if (paths.empty()) return result;
    PrepareItemTree(tree);
    host.LoadOptionRecord();

    auto shared = std::make_shared<Shared>(paths.size());
    if (const CustomSetting* from = NewRowOptionSource()) shared->options = std::make_unique<CustomSetting>(*from);
    shared->wake = platform::AllocateHWnd([weak = std::weak_ptr<Shared>(shared)](platform::HWND, platform::UINT,
                                                                                platform::WPARAM, platform::LPARAM) {
        if (auto s = weak.lock()) s->wakePending.store(false);
        return platform::LRESULT(0);
    });
    const FileProbeLibrary& probe = ActiveFileProbe();
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t count = std::min<std::size_t>(paths.size(), options.threads > 0 ? options.threads : processors);
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < count; ++i) workers.emplace_back(Work, std::ref(*shared), std::cref(paths), std::cref(probe));

    std::unordered_set<std::string> names = FileRowNames(tree);
    const std::size_t batch = static_cast<std::size_t>(std::max(1, options.batchRows));
    std::size_t next = 0;  // the next file whose row is due, in the dialog's order
    while (next < paths.size()) {
        if (!shared->slots[next].done.load(std::memory_order_acquire)) {
            if (!HandleOneMessage()) {
                result.quit = true;
                break;
            }
            continue;
        }
        // The finished files in order, one batch in one update bracket.
        std::size_t stopAt = paths.size();
        tree.BeginUpdate();
        try {
            // A batch ends after its rows or its time, whichever comes first: a row
            // costs more while the probes keep every processor busy.
            const auto batchEnd = std::chrono::steady_clock::now() + options.batchTime;
            for (std::size_t n = 0; n < batch && next < paths.size() && shared->slots[next].done.load(std::memory_order_acquire) &&
                                    (n == 0 || std::chrono::steady_clock::now() < batchEnd);
                 ++n, ++next) {
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
            shared->stop = true;
            for (auto& w : workers) w.join();
            shared->DropSlots();
            platform::DeallocateHWnd(shared->wake);
            throw;
        }
        tree.EndUpdate();
        if (stopAt != paths.size()) {
            result.stopped = true;
            shared->stop = true;
            host.ShowMessage(std::string(kPathTooLongText) + paths[stopAt]);
            break;
        }
        // Between batches the window paints and handles what came meanwhile.
        if (!HandleWaitingMessages()) {
            result.quit = true;
            break;
        }
    }
    shared->stop = true;
    for (auto& w : workers) w.join();
    shared->DropSlots();
    platform::DeallocateHWnd(shared->wake);

    if (!result.stopped && !result.quit) {
        if (PVastNode last = tree.RootNode()->LastChild) {
            tree.ClearSelection();
            tree.SetSelected(last, true);
            tree.SetFocusedNode(last);
        }
    }
    return result;
}

}  // namespace jobmodel
