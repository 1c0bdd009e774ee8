// The add-file command with a stand-in probe: rows in the dialog's order whatever order
// the probes end in, skipped and too-long files, and a window that stays live while a
// probe blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "jobmodel/addfiles.h"
#include "jobmodel/joblist.h"
#include "platform/controls/forms.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "platform/windows/windows_test_support.h"
#include "jobmodel/treerows.h"
#include "treeview/vststrings.h"

namespace jobmodel {
namespace {

using treeview::PVastNode;

struct RecordingHost : JobHost {
    std::vector<std::string> messages;
    int optionLoads = 0;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void LoadOptionRecord() override { ++optionLoads; }
};

// The stand-in converter: a file is supported unless its name starts with "bad"; its
// length is its name's length in seconds. A probe may wait for a condition first.
struct Probe {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> probed;
    std::map<std::string, std::function<bool()>> waitFor;  // path -> when it may end
    int finished = 0;

    std::int32_t Run(const std::string& path) {
        std::unique_lock<std::mutex> l(lock);
        probed.push_back(path);
        changed.notify_all();  // a probe that started may be what someone waits for
        if (auto it = waitFor.find(path); it != waitFor.end()) changed.wait(l, it->second);
        ++finished;
        changed.notify_all();
        return FileNameOf(path).rfind("bad", 0) == 0 ? 3 : 0;
    }
    void Notify() {
        std::lock_guard<std::mutex> l(lock);
        changed.notify_all();
    }
};

Probe* g_probe = nullptr;

const FileProbeLibrary kStandIn{
    [](MediaInfo* info) {
        const std::string path = info->path;
        const std::int32_t r = g_probe->Run(path);
        info->duration = info->durationSeconds = static_cast<int>(FileNameOf(path).size());
        return r;
    },
    [](const char* path) { return g_probe->Run(path); }};

struct AddFiles : ::testing::Test {
    Probe probe;
    RecordingHost host;
    treeview::TVastStringTree tree{nullptr};
    TreeRows rows{tree};
    void SetUp() override {
        platform::test::UseHeadlessBackend();
        g_probe = &probe;
        SetFileProbe(&kStandIn);
    }
    void TearDown() override {
        SetFileProbe(nullptr);
        ClearItemTree(rows);
    }
    std::string Rows() {
        std::string out;
        for (PVastNode n = tree.RootNode()->FirstChild; n; n = n->NextSibling)
            out += (out.empty() ? "" : " ") + FieldText(ItemOf(tree, n)->name);
        return out;
    }
};

TEST_F(AddFiles, RowsComeInTheDialogsOrderWhateverOrderTheProbesEndIn) {
    // Each file's probe ends only after every later one has ended.
    const std::vector<std::string> paths = {"/v/d.avi", "/v/bad.txt", "/v/c.avi", "/v/b.avi", "/v/a"};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const int later = static_cast<int>(paths.size() - 1 - i);
        probe.waitFor[paths[i]] = [this, later] { return probe.finished >= later; };
    }
    AddFilesResult r = AddMediaFiles(rows, paths, host, {static_cast<int>(paths.size()), 2});
    EXPECT_EQ(Rows(), "d c b a");
    EXPECT_EQ(r.added, 4);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(host.optionLoads, 1);  // once per command, not per file
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(FieldText(ItemOf(tree, tree.RootNode()->FirstChild)->row.source), "d.avi");
    EXPECT_EQ(ItemOf(tree, tree.RootNode()->FirstChild)->timeRange->end, 5);
    EXPECT_EQ(tree.SelectedCount(), 1);
    EXPECT_TRUE(tree.GetSelected(tree.RootNode()->LastChild));

    // A second command names against the rows the first made.
    probe.waitFor.clear();
    AddMediaFiles(rows, {"/w/d.mkv", "/w/d.mp4"}, host, {1, 256});
    EXPECT_EQ(Rows(), "d c b a d_1 d_2");
}

// Many files, their probes ending in whatever order the threads make, under batch limits
// from one row to all and spacings from none to far longer than the command: every row
// comes, in the dialog's order, and the command ends with its last file (a lost wake
// would leave it waiting).
TEST_F(AddFiles, ManyFilesComeInOrderUnderAnyBatchLimits) {
    using std::chrono::milliseconds;
    std::vector<std::string> paths;
    std::string expected;
    int bads = 0;
    for (int i = 0; i < 400; ++i) {
        const bool bad = i % 11 == 5;
        bads += bad;
        paths.push_back(std::string(bad ? "/m/bad" : "/m/f") + std::to_string(i) + ".avi");
        if (!bad) expected += (expected.empty() ? "f" : " f") + std::to_string(i);
    }
    const AddFilesOptions cases[] = {
        {8, 1, milliseconds(8), milliseconds(0)},           // one row per batch
        {3, 1024, milliseconds(0), milliseconds(16)},       // no time for more than one row
        {4, 1024, milliseconds(8), milliseconds(3600000)},  // the spacing outlasts the probes
        {1, 7, milliseconds(8), milliseconds(1)},
    };
    for (const AddFilesOptions& options : cases) {
        SCOPED_TRACE(::testing::Message() << options.threads << " threads, " << options.batchRows << " rows, "
                                          << options.batchSpacing.count() << " ms apart");
        ClearItemTree(rows);
        AddFilesResult r = AddMediaFiles(rows, paths, host, options);
        EXPECT_EQ(Rows(), expected);
        EXPECT_EQ(r.added, 400 - bads);
        EXPECT_EQ(r.skipped, bads);
        EXPECT_TRUE(tree.GetSelected(tree.RootNode()->LastChild));
    }
}

TEST_F(AddFiles, TheFirstSupportedPathTooLongStopsTheCommandThere) {
    const std::string wide = "/" + [] {
        std::string s;
        for (int i = 0; i < 194; ++i) s += "\xC3\xA9";  // 194 two-byte characters
        return s;
    }() + ".avi";  // 199 characters, 393 bytes
    const std::string tooLong = "/v/" + std::string(196, 'x') + ".avi";
    const std::string badTooLong = "/v/bad" + std::string(1200, 'y');  // longer than the probe record
    AddFilesResult r = AddMediaFiles(rows, {"/v/a.avi", badTooLong, wide, tooLong, "/v/c.avi"}, host);
    EXPECT_EQ(r.added, 2);
    EXPECT_TRUE(r.stopped);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Can't load the file,Its name is too lang!" + tooLong);
    ASSERT_EQ(tree.RootNodeCount(), 2u);
    EXPECT_EQ(FieldText(ItemOf(tree, tree.RootNode()->LastChild)->name), wide.substr(1, wide.size() - 5));
    EXPECT_EQ(tree.SelectedCount(), 0);  // a stopped command selects nothing

    EXPECT_EQ(CharacterCount(wide), 199u);
    EXPECT_EQ(CharacterCount("\xFF\xFE"), 2u);  // bytes that are no UTF-8 still count
}

// The user-interface thread's side while the first file's probe blocks: a posted
// message and a paint are handled, and no later file's row has come in before it. The
// probe ends only once both happened; a thread that did not handle them would hang here.
std::atomic<int> g_paints{0};
platform::LRESULT CountPaints(platform::HWND hwnd, platform::UINT msg, platform::WPARAM w, platform::LPARAM l) {
    if (msg == platform::WM_PAINT) {
        ++g_paints;
        if (g_probe) g_probe->Notify();
    }
    return platform::DefWindowProcA(hwnd, msg, w, l);
}

TEST_F(AddFiles, TheWindowStaysLiveWhileAProbeBlocks) {
    platform::WNDCLASSA cls;
    cls.lpfnWndProc = CountPaints;
    cls.lpszClassName = "AddFilesPaintProbe";
    platform::RegisterClassA(cls);
    platform::HWND window = platform::CreateWindowExA(0, "AddFilesPaintProbe", "", platform::WS_POPUP | platform::WS_VISIBLE,
                                                      0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    platform::test::Pump();
    const int paintsBefore = g_paints.load();

    bool handled = false;  // under probe.lock
    unsigned rowsWhenHandled = 99;
    platform::HWND target = platform::AllocateHWnd(
        [&](platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) -> platform::LRESULT {
            rowsWhenHandled = tree.RootNodeCount();
            platform::InvalidateRect(window, nullptr, platform::TRUE);
            std::lock_guard<std::mutex> l(probe.lock);
            handled = true;
            probe.changed.notify_all();
            return 0;
        });
    probe.waitFor["/v/slow.avi"] = [&] { return handled && g_paints.load() > paintsBefore; };
    ASSERT_TRUE(platform::PostMessage(target, platform::WM_USER + 1, 0, 0));

    AddFilesResult r = AddMediaFiles(rows, {"/v/slow.avi", "/v/quick1.avi", "/v/quick2.avi"}, host, {3, 256});
    EXPECT_EQ(rowsWhenHandled, 0u);  // the quick files' rows wait behind the slow one
    EXPECT_EQ(Rows(), "slow quick1 quick2");
    EXPECT_EQ(r.added, 3);
    platform::DeallocateHWnd(target);
    platform::DestroyWindow(window);
}

// Quitting while a probe stalls (a file on a network folder that does not answer): the
// command returns at once, leaving the probe behind, and drops what it finds later. The
// probe is still blocked when the command returns and is released only after; a command
// that waited for it would return only when the watchdog released it.
TEST_F(AddFiles, AQuitReturnsWithoutWaitingForAStalledProbe) {
    // The quit ends an application for good: this test quits one of its own.
    struct OwnApplication {
        platform::TApplication* saved = platform::Application;
        OwnApplication() { platform::Application = new platform::TApplication(nullptr); }
        ~OwnApplication() {
            delete platform::Application;
            platform::Application = saved;
        }
    } application;
    // The abandoned probe outlives this test's fixture: it runs on a probe of its own.
    static Probe* stalled = new Probe;
    g_probe = stalled;
    bool released = false;  // under stalled->lock
    stalled->waitFor["/v/stalled.avi"] = [&released] { return released; };
    auto release = [&] {
        std::lock_guard<std::mutex> l(stalled->lock);
        released = true;
        stalled->changed.notify_all();
    };
    // The quit comes once the stalled probe has started and the first row is in.
    platform::HWND target = nullptr;
    target = platform::AllocateHWnd(
        [&](platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) -> platform::LRESULT {
            if (tree.RootNodeCount() == 0) platform::PostMessage(target, platform::WM_USER + 1, 0, 0);
            else platform::Application->Terminate();
            return 0;
        });
    probe.waitFor.clear();
    std::thread watchdog([&] {
        {
            std::unique_lock<std::mutex> l(stalled->lock);
            stalled->changed.wait(l, [&] {
                return std::find(stalled->probed.begin(), stalled->probed.end(), "/v/stalled.avi") != stalled->probed.end() &&
                       stalled->finished >= 2;
            });
        }
        platform::PostMessage(target, platform::WM_USER + 1, 0, 0);
        std::unique_lock<std::mutex> l(stalled->lock);
        // Only a command that waits for the probe gets here without the release below.
        if (!stalled->changed.wait_for(l, std::chrono::seconds(30), [&] { return released; })) {
            released = true;
            stalled->changed.notify_all();
        }
    });
    AddFilesResult r = AddMediaFiles(rows, {"/v/first.avi", "/v/stalled.avi", "/v/third.avi"}, host, {3, 256});
    bool blockedOnReturn;
    {
        std::lock_guard<std::mutex> l(stalled->lock);
        blockedOnReturn = !released;
    }
    EXPECT_TRUE(blockedOnReturn) << "the command waited for the stalled probe";
    EXPECT_TRUE(r.quit);
    EXPECT_EQ(Rows(), "first");
    release();
    watchdog.join();
    {
        // The probe ends on its own; its row never comes.
        std::unique_lock<std::mutex> l(stalled->lock);
        stalled->changed.wait(l, [&] { return stalled->finished == 3; });
    }
    platform::test::Pump();
    EXPECT_EQ(Rows(), "first");
    EXPECT_EQ(r.added, 1);
    platform::DeallocateHWnd(target);
}

// Every row gets its own option record, copied from the working record read when the
// command starts (the user's when marked custom, else the defaults); a change while the
// command runs reaches none of its rows.
TEST_F(AddFiles, RowsCopyTheOptionsAsTheCommandStarted) {
    CustomSetting defaults{}, current{};
    InitCustomSetting(defaults);
    InitCustomSetting(current);
    defaults.VideoBitRate = 111;
    current.VideoBitRate = 222;
    CustomSetting* savedCurrent = CurrentCustomSetting;
    CustomSetting* savedDefault = DefaultCustomSetting;
    CurrentCustomSetting = &current;
    DefaultCustomSetting = &defaults;
    for (const auto& [custom, expected] : std::vector<std::pair<int, int>>{{0, 111}, {1, 222}}) {
        SCOPED_TRACE(custom);
        ClearItemTree(rows);
        current.IsCustom = std::uint8_t(custom);
        current.VideoBitRate = 222;
        defaults.VideoBitRate = 111;
        // While the first probe blocks, both records change; the probe ends after that.
        bool changed = false;  // under probe.lock
        platform::HWND target = platform::AllocateHWnd(
            [&](platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) -> platform::LRESULT {
                current.VideoBitRate = defaults.VideoBitRate = 999;
                std::lock_guard<std::mutex> l(probe.lock);
                changed = true;
                probe.changed.notify_all();
                return 0;
            });
        probe.waitFor["/v/first.avi"] = [&] { return changed; };
        ASSERT_TRUE(platform::PostMessage(target, platform::WM_USER + 1, 0, 0));
        AddFilesResult r = AddMediaFiles(rows, {"/v/first.avi", "/v/second.avi", "/v/third.avi"}, host, {3, 256});
        platform::DeallocateHWnd(target);
        ASSERT_EQ(r.added, 3);
        EXPECT_TRUE(changed);
        std::vector<const CustomSetting*> records;
        for (PVastNode n = tree.RootNode()->FirstChild; n; n = n->NextSibling) {
            const CustomSetting* record = ItemOf(tree, n)->customSetting;
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(record->VideoBitRate, expected);
            EXPECT_NE(record, &current);
            EXPECT_EQ(ShareCount(record), 1);
            for (const CustomSetting* other : records) EXPECT_NE(record, other);
            records.push_back(record);
        }
    }
    CurrentCustomSetting = savedCurrent;
    DefaultCustomSetting = savedDefault;
}

}  // namespace
}  // namespace jobmodel
