// The progress window headless, started from the main window's Convert command, with a
// recording converter that stops in the middle of each item until the test has looked:
// the bars, result lines and check boxes during the run, cancel and close requests, and
// every way a run ends (cancelled, shut down, refused shutdown, minimised, output folder
// opened), through recording stand-ins for the message box, the launcher and the power
// control.
#include <algorithm>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/convertwin.h"
#include "app/mainfrm.h"
#include "app_support.h"
#include "formbase/playerfrm.h"
#include "jobmodel/convertstate.h"
#include "jobmodel/joblist.h"
#include "libs/morvmessage/morvmessage.h"
#include "libs/morvplayer/host.h"
#include "platform/core/shell.h"
#include "platform/windows/backend.h"
#include "platform/windows/window.h"
#include "tests/jobmodel/itemlists.h"

namespace {

using namespace apptest;
using namespace platform;

// ---- the recording converter: each video job posts one progress report, then the
// test's look at the window runs on the user-interface thread before the job ends ----

constexpr UINT WM_TEST_MIDRUN = WM_USER + 3000;

struct Recorder {
    std::mutex lock;
    std::condition_variable released;
    bool open = false;
    std::map<GroupMediaUIOption*, std::vector<MediaUIOption*>> live;
    HWND progressWindow = nullptr;
    HWND testWindow = nullptr;
    double reportSeconds = 7.0;
    std::map<std::string, int> failStem;  // output stem -> result code
    std::vector<int> preview;              // every setUsingPreview value
    ConverterPreviewSink sink = nullptr;   // the installed preview sink
    int sinkChanges = 0;
    int jobs = 0;
} rec;

GroupMediaUIOption* NewGroup(GroupMediaUIOption** out, const char* format) {
    auto* g = static_cast<GroupMediaUIOption*>(std::calloc(1, sizeof(GroupMediaUIOption)));
    g->formatName = strdup(format ? format : "");
    std::lock_guard<std::mutex> l(rec.lock);
    rec.live[g];
    if (out) *out = g;
    return g;
}

MediaUIOption* NewInput(GroupMediaUIOption* g, const char*) {
    auto* in = static_cast<MediaUIOption*>(std::calloc(1, sizeof(MediaUIOption)));
    std::lock_guard<std::mutex> l(rec.lock);
    rec.live.at(g).push_back(in);
    return in;
}

std::int32_t FakeConvert(GroupMediaUIOption* g, const char*, std::int32_t) {
    HWND window, test;
    {
        std::lock_guard<std::mutex> l(rec.lock);
        window = rec.progressWindow;
        test = rec.testWindow;
        ++rec.jobs;
    }
    auto* info = static_cast<ConvertProgressInfo*>(std::calloc(1, sizeof(ConvertProgressInfo)));
    info->convertedSeconds = rec.reportSeconds;
    if (!PostMessage(window, WM_CONVERTER_PROGRESS, reinterpret_cast<WPARAM>(info), 0)) std::free(info);
    // The report is queued before the look, so the bars show it when the test looks.
    {
        std::unique_lock<std::mutex> l(rec.lock);
        rec.open = false;
        PostMessage(test, WM_TEST_MIDRUN, 0, 0);
        rec.released.wait(l, [] { return rec.open; });
    }
    std::string stem = std::filesystem::path(g->outputPath).stem().string();
    auto f = rec.failStem.find(stem);
    if (f != rec.failStem.end()) return f->second;
    std::ofstream(g->outputPath, std::ios::binary) << "flv";
    return 0;
}

void FakeFree(GroupMediaUIOption** g) {
    if (!g || !*g) return;
    std::lock_guard<std::mutex> l(rec.lock);
    for (MediaUIOption* in : rec.live.at(*g)) {
        std::free(in->aspect);
        std::free(in);
    }
    rec.live.erase(*g);
    for (char* p : {(*g)->formatName, (*g)->videoEncoder, (*g)->frameSize, (*g)->audioEncoder}) std::free(p);
    std::free(*g);
    *g = nullptr;
}

jobmodel::ConvertLibrary FakeConverter() {
    jobmodel::ConvertLibrary lib;
    lib.setProgressHandle = [](const ProgressHandle* h) {
        std::lock_guard<std::mutex> l(rec.lock);
        rec.progressWindow = h ? h->window : nullptr;
    };
    lib.setMessagePoster = [](ConverterMessagePoster) {};
    lib.createGroupForDvd = [](GroupMediaUIOption** g, const DvdDisc*, const char* f, std::int32_t) {
        return NewGroup(g, f);
    };
    lib.createGroup = [](GroupMediaUIOption** g, const char* f, std::int32_t) { return NewGroup(g, f); };
    lib.createFileInput = NewInput;
    lib.convert = FakeConvert;
    lib.failureText = [](const GroupMediaUIOption*, char* text, std::int32_t size) {
        if (size > 0) *text = 0;
        return 0;
    };
    lib.freeGroup = FakeFree;
    lib.freeProgressInfo = [](ConvertProgressInfo* info) { std::free(info); };
    lib.setUsingPreview = [](std::int32_t on) { rec.preview.push_back(on); };
    lib.setPreviewSink = [](ConverterPreviewSink sink, void*) {
        rec.sink = sink;
        ++rec.sinkChanges;
    };
    return lib;
}

// ---- the recording player, launcher and power control ----

std::vector<std::string> gPlayerCalls;

PlayerLibrary FakePlayer() {
    PlayerLibrary lib;
    lib.close_sdl = [] { gPlayerCalls.push_back("close"); };
    lib.setEditWindow = [](std::int32_t v) { gPlayerCalls.push_back("edit " + std::to_string(v)); };
    lib.setPlayerHandle = [](PlayerTimeCallback*) { gPlayerCalls.push_back("time callback"); };
    lib.initPlayOption = [](const char*, const char*, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
        gPlayerCalls.push_back("init " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) + "x" +
                               std::to_string(h));
        return std::int32_t(0);
    };
    lib.stopPlay = [](std::int32_t) {};
    return lib;
}

class Launches : public TProcessLauncher {
public:
    explicit Launches(std::vector<std::vector<std::string>>* log) : log_(log) {}
    bool Launch(const std::vector<std::string>& argv, std::string&) override {
        log_->push_back(argv);
        return true;
    }

private:
    std::vector<std::vector<std::string>>* log_;
};

class Power : public TPowerControl {
public:
    Power(int* calls, bool answer) : calls_(calls), answer_(answer) {}
    bool PowerOff() override {
        ++*calls_;
        return answer_;
    }

private:
    int* calls_;
    bool answer_;
};

// What a message box saw of the windows when it was asked.
struct Asked {
    std::string text, caption;
    UINT flags;
    bool progressVisible;
    bool mainIconic, mainZoomed, progressIconic, progressZoomed;
    TPoint mainAt, progressAt;
};

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseHeadlessDisplay();
        rec.~Recorder();
        new (&rec) Recorder();
        gPlayerCalls.clear();
        SetConvertLibraryForTest();
        SetPlayerLibrary(&player_);
        previousLauncher_ = SetProcessLauncher(std::make_unique<Launches>(&launches));
        previousPower_ = SetPowerControl(std::make_unique<Power>(&powerOffs, true));
        rec.testWindow = AllocateHWnd([this](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
            if (m != WM_TEST_MIDRUN) return 0;
            ++looks;
            if (midRun) midRun();
            {
                std::lock_guard<std::mutex> l(rec.lock);
                rec.open = true;
            }
            rec.released.notify_all();
            return 0;
        });
        // The application's main form, as the program makes it.
        Application->CreateForm(frmMain);
        main = frmMain;
        frmConvert = new TfrmConvert(nullptr);
        frmConvert->AfterConstruction();
        main->Show();
        Application->ProcessMessages();
        Application->MessageBoxHandler = [this](const std::string& text, const std::string& caption, UINT flags) {
            Asked a{text, caption, flags, frmConvert->Visible(), false, false, false, false, {}, {}};
            a.mainIconic = IsIconic(main->Handle());
            a.mainZoomed = IsZoomed(main->Handle());
            a.progressIconic = IsIconic(frmConvert->Handle());
            a.progressZoomed = IsZoomed(frmConvert->Handle());
            a.mainAt = TPoint(main->Left(), main->Top());
            a.progressAt = TPoint(frmConvert->Left(), frmConvert->Top());
            asked.push_back(a);
            if (text == "Cancel Conversion?") return cancelAnswer;
            return IDOK;
        };
        out = box.program.str() + "/out";
        main->OutputFolder = out;
        main->OutputPath->SetText("  " + out + "  ");
    }

    void TearDown() override {
        Application->MessageBoxHandler = nullptr;
        delete frmConvert;
        frmConvert = nullptr;
        delete frmMain;
        frmMain = nullptr;
        DeallocateHWnd(rec.testWindow);
        SetPowerControl(std::move(previousPower_));
        SetProcessLauncher(std::move(previousLauncher_));
        SetPlayerLibrary(nullptr);
        jobmodel::SetConvertLibrary(nullptr);
        jobmodel::CancelState = jobmodel::cancelNone;
    }

    void SetConvertLibraryForTest() { jobmodel::SetConvertLibrary(&converter_); }

    // A checked file row of the main list, converted to FLV alone.
    treeview::PVastNode AddFile(const std::string& name, int length) {
        treeview::PVastNode node =
            jobmodel::TreeRows::NodeOf(lists.Add(*main->Rows, nullptr, jobmodel::mkFile, name, 0, length).node);
        jobmodel::MediaItem& item = *jobmodel::ItemOf(*main->NodeTree, node);
        item.mediaInfo = jobmodel::NewMediaInfo();
        std::snprintf(item.mediaInfo->path, sizeof item.mediaInfo->path, "/media/%s.mp4", name.c_str());
        item.mediaInfo->durationSeconds = length;
        item.customSetting = jobmodel::NewCustomSetting();
        std::strcpy(item.customSetting->FormatName, "flv");
        std::strcpy(item.customSetting->FileExtension, "flv");
        item.customSetting->IsGeneralFlv = 1;
        item.customSetting->IsGeneralThumbnail = 0;
        item.customSetting->IsGeneralSwf = 0;
        item.customSetting->IsGeneralHtml = 0;
        jobmodel::SetRowCheckState(*main->Rows, jobmodel::TreeRows::RowOf(node), true);
        return node;
    }

    // Convert, as the button does; returns when the progress window has closed.
    void Convert() { main->btnConvertClick(main); }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Asked& a : asked) texts.push_back(a.text);
        return texts;
    }

    Sandbox box;
    jobmodel::itemlists::Lists lists;  // only its row helper: the rows live in the main list
    jobmodel::ConvertLibrary converter_ = FakeConverter();
    PlayerLibrary player_ = FakePlayer();
    std::unique_ptr<TProcessLauncher> previousLauncher_;
    std::unique_ptr<TPowerControl> previousPower_;
    TfrmMain* main = nullptr;
    std::string out;

    std::function<void()> midRun;  // runs on this thread in the middle of each item
    int looks = 0;
    int cancelAnswer = IDNO;
    std::vector<Asked> asked;
    std::vector<std::vector<std::string>> launches;
    int powerOffs = 0;
};

// The window as the skin gives it: its size, the preview area, the controls in place,
// and the captions the user reads.
TEST_F(ProgressWindowTest, TakesItsSkinAndShowsTheRunInItsControls) {
    EXPECT_EQ(frmConvert->Width(), frmConvert->Skin().Width());
    EXPECT_EQ(frmConvert->Height(), frmConvert->Skin().Height());
    const SkinItem* panel = frmConvert->Skin().Find("ConvertPlayPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(frmConvert->PreviewWidth, panel->Width);
    EXPECT_EQ(frmConvert->ConvertPlayPanel->BoundsRect(),
              TRect(panel->Left, panel->Top, panel->Left + panel->Width, panel->Top + panel->Height));
    EXPECT_EQ(frmConvert->mainLabel->Caption(), "Converting");
    EXPECT_EQ(frmConvert->ShutDown->Caption(), "Shutdown your PC  when conversion finished");
    EXPECT_FALSE(frmConvert->ShowPath->Checked());
    EXPECT_FALSE(frmConvert->ShutDown->Checked());
    EXPECT_TRUE(frmConvert->Preview->Checked());
    // Every control lies inside the window and none covers another.
    std::vector<TControl*> controls{frmConvert->ConvertPlayPanel, frmConvert->OneProgress, frmConvert->TotalProgress,
                                    frmConvert->ShowResult,       frmConvert->ShowPath,    frmConvert->ShutDown,
                                    frmConvert->Preview,          frmConvert->btnCancel,   frmConvert->close,
                                    frmConvert->btnMini};
    TRect window(0, 0, frmConvert->Width(), frmConvert->Height());
    for (size_t i = 0; i < controls.size(); ++i) {
        TRect r = controls[i]->BoundsRect();
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= window.right && r.bottom <= window.bottom)
            << controls[i]->Name();
        for (size_t j = i + 1; j < controls.size(); ++j) {
            TRect s = controls[j]->BoundsRect();
            bool overlap = r.left < s.right && s.left < r.right && r.top < s.bottom && s.top < r.bottom;
            EXPECT_FALSE(overlap) << controls[i]->Name() << " and " << controls[j]->Name();
        }
    }
    // A skin with the window buttons at the left: after the re-skin they are there, the
    // caption beside them; the size stays as made.
    std::string error;
    ASSERT_TRUE(OpenSkin(box.Folder() + "Images/Ocean.xml", error)) << error;
    const int width = frmConvert->Width();
    frmConvert->ReloadSkin();
    EXPECT_EQ(frmConvert->close->Left(), frmConvert->Skin().Find("close")->Left);
    EXPECT_LT(frmConvert->close->Left(), width / 2);
    EXPECT_GE(frmConvert->mainLabel->Left(), frmConvert->btnMini->Left() + frmConvert->btnMini->Width());
    EXPECT_EQ(frmConvert->Width(), width);
    ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
    frmConvert->ReloadSkin();
    EXPECT_EQ(frmConvert->mainLabel->Left(), 16);

    // The command's reset reaches the window's own bars and memo.
    frmConvert->ShowResult->Lines()->Add("old line");
    frmConvert->OneProgress->SetMax(9);
    frmConvert->OneProgress->SetPosition(9);
    main->OutputFolder = box.program.str() + "/missing/deeper";
    jobmodel::ClearItemTree(*main->Rows);
    treeview::PVastNode node = AddFile("clip", 10);
    (void)node;
    midRun = [] {};
    Convert();
    EXPECT_EQ(Texts(), std::vector<std::string>{"All conversion takes have been finished!"});
    EXPECT_EQ(frmConvert->ShowResult->Lines()->Count(), 1);
    EXPECT_EQ(frmConvert->OneProgress->Max(), 10);
}

// Two items of 20 and 30 seconds, the second failing: in the middle of each the bars show
// the converter's report against the item's and the run's lengths, the lines come one per
// item, and the preview check box reaches the converter at once.
TEST_F(ProgressWindowTest, BarsLinesAndPreviewFollowTheRun) {
    AddFile("first", 20);
    AddFile("second", 30);
    rec.failStem["second"] = crEncoderRefused;
    struct Look {
        int oneMax, onePos, totalMax, totalPos;
        size_t lines;
        std::string oneCaption;
    };
    std::vector<Look> seen;
    midRun = [&] {
        Application->ProcessMessages();  // the progress report queued before this look
        seen.push_back({frmConvert->OneProgress->Max(), frmConvert->OneProgress->Position(),
                        frmConvert->TotalProgress->Max(), frmConvert->TotalProgress->Position(),
                        size_t(frmConvert->ShowResult->Lines()->Count()), frmConvert->OneProgress->Text()});
        if (seen.size() == 1) {
            EXPECT_TRUE(frmConvert->Visible());
            const char* dir = std::getenv("LUMACAST_BUILD_DIR");
            std::string folder = std::string(dir ? dir : ".") + "/artifacts";
            std::filesystem::create_directories(folder);
            SaveWindowImage(frmConvert->Handle(), folder + "/convertwin-midrun.png");
            frmConvert->Preview->SetChecked(false);
        }
    };
    Convert();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].oneMax, 20);
    EXPECT_EQ(seen[0].onePos, 7);
    EXPECT_EQ(seen[0].oneCaption, "35%");
    EXPECT_EQ(seen[0].totalMax, 50);
    EXPECT_EQ(seen[0].totalPos, 7);
    EXPECT_EQ(seen[0].lines, 0u);
    EXPECT_EQ(seen[1].oneMax, 30);
    EXPECT_EQ(seen[1].onePos, 7);
    EXPECT_EQ(seen[1].totalPos, 27);  // the first item's 20 seconds and the report's 7
    EXPECT_EQ(seen[1].lines, 1u);
    std::vector<std::string> lines;
    for (int i = 0; i < frmConvert->ShowResult->Lines()->Count(); ++i)
        lines.push_back(frmConvert->ShowResult->Lines()->Strings(i));
    EXPECT_EQ(lines, (std::vector<std::string>{"first --> Convert Successful!",
                                               std::string("second --> ") + getErrorInfo(crEncoderRefused, 0, 1)}));
    EXPECT_EQ(frmConvert->TotalProgress->Position(), 50);
    EXPECT_EQ(frmConvert->OneProgress->Position(), 30);
    EXPECT_EQ(rec.preview, (std::vector<int>{1, 0}));
    // The window took the player over at its own place and gave it up at the end; then the
    // main window took it back. The converter's frames went to it only while the window was
    // open.
    const std::string own = "init " + std::to_string(frmConvert->Left() + frmConvert->ConvertPlayPanel->Left()) + "," +
                            std::to_string(frmConvert->Top() + frmConvert->ConvertPlayPanel->Top()) + " 480x270";
    auto taken = std::find(gPlayerCalls.begin(), gPlayerCalls.end(), own);
    ASSERT_NE(taken, gPlayerCalls.end());
    auto givenUp = std::find(taken, gPlayerCalls.end(), "close");
    ASSERT_NE(givenUp, gPlayerCalls.end());
    auto back = std::find_if(givenUp, gPlayerCalls.end(), [](const std::string& c) { return c.rfind("init ", 0) == 0; });
    ASSERT_NE(back, gPlayerCalls.end()) << "the main window takes the player back";
    EXPECT_NE(*back, own);
    EXPECT_EQ(rec.sinkChanges, 2);
    EXPECT_EQ(rec.sink, nullptr);
    EXPECT_FALSE(frmConvert->Visible());
}

// With the real player in the panel, the frames the converter hands its preview sink show
// in the progress window; once the window has closed, the sink is gone.
TEST_F(ProgressWindowTest, ConverterFramesShowInThePreviewPanel) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    PlayerHost host = PlatformPlayerHost();
    setPlayerHost(&host);
    SetPlayerLibrary(nullptr);
    Playerfrm = new TPlayerfrm(nullptr);
    AddFile("clip", 10);
    COLORREF centre = CLR_INVALID;
    midRun = [&] {
        ASSERT_NE(rec.sink, nullptr);
        // A 16:9 frame, blue on the left half and orange on the right, as BGRA.
        constexpr int kW = 64, kH = 36;
        std::vector<std::uint8_t> frame(kW * kH * 4);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                std::uint8_t* p = &frame[(y * kW + x) * 4];
                bool left = x < kW / 2;
                p[0] = left ? 200 : 0, p[1] = left ? 40 : 140, p[2] = left ? 0 : 255, p[3] = 255;
            }
        rec.sink(frame.data(), kW, kH, kW * 4, 1.0, nullptr);
        Application->ProcessMessages();
        TPanel* panel = frmConvert->ConvertPlayPanel;
        centre = GetWindowSurfacePixel(frmConvert->Handle(), panel->Left() + panel->Width() * 3 / 4,
                                       panel->Top() + panel->Height() / 2);
        const char* dir = std::getenv("LUMACAST_BUILD_DIR");
        std::string folder = std::string(dir ? dir : ".") + "/artifacts";
        std::filesystem::create_directories(folder);
        SaveWindowImage(frmConvert->Handle(), folder + "/convertwin-preview.png");
    };
    Convert();
    delete Playerfrm;
    Playerfrm = nullptr;
    setPlayerHost(nullptr);
    EXPECT_GT(GetRValue(centre), 230) << std::hex << centre;
    EXPECT_NEAR(GetGValue(centre), 140, 20) << std::hex << centre;
    EXPECT_LT(GetBValue(centre), 30) << std::hex << centre;
    EXPECT_EQ(rec.sink, nullptr);
}

// Every way a run ends, and the cancel question answered either way.
TEST_F(ProgressWindowTest, TheRunEndsAsTheUserAsked) {
    const std::string done = "All conversion takes have been finished!";
    const std::string question = "Cancel Conversion?";
    const std::string refused = "Fail to shutdown computer!";
    enum Action { none, cancelButton, closeButton, closeRequest, minimise };
    struct Case {
        const char* name;
        bool showPath, shutDown, powerAnswer;
        Action action;
        int answer;
        std::vector<std::string> texts;
        bool explored;
        int powerOffs;
    };
    const Case cases[] = {
        {"plain", false, false, true, none, IDNO, {done}, false, 0},
        {"show path", true, false, true, none, IDNO, {done}, true, 0},
        {"shutdown wins over show path", true, true, true, none, IDNO, {}, false, 1},
        {"refused shutdown", false, true, false, none, IDNO, {refused}, false, 1},
        {"cancel answered no", true, false, true, cancelButton, IDNO, {question, done}, true, 0},
        {"cancel answered yes", true, false, true, cancelButton, IDYES, {question}, false, 0},
        {"title close answered yes", true, true, true, closeButton, IDYES, {question}, false, 0},
        {"close request answered no", false, false, true, closeRequest, IDNO, {question, done}, false, 0},
        {"close request answered yes", false, false, true, closeRequest, IDYES, {question}, false, 0},
        {"minimised", true, false, true, minimise, IDNO, {done}, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        asked.clear();
        launches.clear();
        powerOffs = 0;
        SetPowerControl(std::make_unique<Power>(&powerOffs, c.powerAnswer));
        jobmodel::ClearItemTree(*main->Rows);
        AddFile("clip", 10);
        frmConvert->ShowPath->SetChecked(c.showPath);
        frmConvert->ShutDown->SetChecked(c.shutDown);
        cancelAnswer = c.answer;
        bool stillOpen = false;
        midRun = [&] {
            if (looks > 1) return;
            switch (c.action) {
                case none: break;
                case cancelButton: frmConvert->btnCancel->Click(); break;
                case closeButton: frmConvert->close->Click(); break;
                case closeRequest: PostMessage(frmConvert->Handle(), WM_CLOSE, 0, 0); break;
                case minimise:
                    main->SetBounds(30, 40, main->Width(), main->Height());
                    frmConvert->btnMini->Click();
                    EXPECT_TRUE(IsIconic(main->Handle()));
                    EXPECT_TRUE(IsIconic(frmConvert->Handle()));
                    break;
            }
            // A close request is handled after this look: the window is still open then.
            Application->ProcessMessages();
            stillOpen = frmConvert->Visible() && !frmConvert->Run.Finished();
        };
        Convert();
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(Texts(), c.texts);
        EXPECT_EQ(powerOffs, c.powerOffs);
        EXPECT_EQ(jobmodel::CancelState.load(), c.answer == IDYES ? jobmodel::cancelByUser : jobmodel::cancelNone);
        if (c.explored) {
            ASSERT_EQ(launches.size(), 1u);
            EXPECT_EQ(launches[0].back(), out);  // the field's text, blanks trimmed
        } else {
            EXPECT_TRUE(launches.empty());
        }
        for (const Asked& a : asked) {
            EXPECT_TRUE(a.progressVisible) << a.text;
            if (a.text == refused) {
                EXPECT_EQ(a.caption, "Shutdown Computer");
                EXPECT_EQ(a.flags & MB_ICONERROR, MB_ICONERROR);
            }
            if (a.text == question) {
                EXPECT_EQ(a.flags, MB_YESNO | MB_ICONEXCLAMATION);
            }
        }
        if (c.action == minimise) {
            ASSERT_EQ(asked.size(), 1u);
            // Back before the message, as normal windows at their places.
            EXPECT_FALSE(asked[0].mainIconic || asked[0].mainZoomed || asked[0].progressIconic ||
                         asked[0].progressZoomed);
            EXPECT_EQ(asked[0].mainAt, TPoint(200, 150));
            EXPECT_EQ(asked[0].progressAt, TPoint(410, 160));
        }
        // Whatever the end, both bars are full and the window is closed.
        EXPECT_EQ(frmConvert->TotalProgress->Position(), frmConvert->TotalProgress->Max());
        EXPECT_FALSE(frmConvert->Visible());
        EXPECT_EQ(looks > 0, true);
        looks = 0;
    }
}

}  // namespace
