// The main window's preview against a recording fake of the player: the time reports and
// the seek handshake, Play, Stop and the track bar on titles, groups and members, the
// attach at the first showing, snapshots and the snapshot folder.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/mainfrm.h"
#include "app_support.h"
#include "dialogs/optionfrm.h"
#include "formbase/playerfrm.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/mediaitem.h"
#include "platform/core/shell.h"

namespace {

using namespace apptest;
using namespace platform;
using jobmodel::MediaItem;
using treeview::PVastNode;

std::vector<std::string> gCalls;
std::vector<TitlePlayRecord> gOpened;  // the records of the last open
std::int32_t gOpenResult = 0;
HWND gPlayerWindow = nullptr;

void Log(const std::string& call) { gCalls.push_back(call); }

PlayerLibrary Fake() {
    PlayerLibrary f;
    f.setPlayerHost = [](const PlayerHost*) {};
    f.close_sdl = [] {
        Log("close_sdl");
        if (gPlayerWindow) DestroyWindow(gPlayerWindow), gPlayerWindow = nullptr;
    };
    f.setEditWindow = [](std::int32_t v) { Log("setEditWindow " + std::to_string(v)); };
    f.setPlayerHandle = [](PlayerTimeCallback* cb) { Log(cb && *cb == &OnPlayerTime ? "setPlayerHandle" : "?"); };
    f.initPlayOption = [](const char* a, const char* b, std::int32_t x, std::int32_t y, std::int32_t w,
                          std::int32_t h) -> std::int32_t {
        Log("initPlayOption " + std::string(a) + " " + b + " " + std::to_string(x) + " " + std::to_string(y) + " " +
            std::to_string(w) + " " + std::to_string(h));
        if (!gPlayerWindow)
            gPlayerWindow = CreateWindowExA(0, "SDL_app", "", WS_POPUP, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
        return 0;
    };
    f.openMultiTitleFile = [](const TitlePlayRecord* r, std::int32_t n) -> std::int32_t {
        Log("openMultiTitleFile " + std::to_string(n));
        gOpened.assign(r, r + n);
        return gOpenResult;
    };
    f.startPlay = [](std::int32_t) { Log("startPlay"); };
    f.pausePlay = [] { Log("pausePlay"); };
    f.stopPlay = [](std::int32_t v) { Log("stopPlay " + std::to_string(v)); };
    f.findDvdTimePlay = [](double s) { Log("findDvdTimePlay " + std::to_string(int(s))); };
    f.updatePlayer = [] { Log("updatePlayer"); };
    f.morvCapture = [](const char* path) -> std::int32_t {
        Log(std::string("morvCapture ") + path);
        std::ofstream(path) << "picture";
        return std::ifstream(path) ? 0 : -1;
    };
    return f;
}

DvdTitle gTitle;

class MainPlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseHeadlessDisplay();
        fake_ = Fake();
        SetPlayerLibrary(&fake_);
        gCalls.clear();
        gOpened.clear();
        gOpenResult = 0;
        gTitle = DvdTitle{};
        gTitle.titleNumber = 2;
        gTitle.ifoPath = "/disc/VIDEO_TS/VTS_01_0.IFO";
        Playerfrm = new TPlayerfrm(nullptr);
        Playerfrm->AfterConstruction();
        frmOption = new TfrmOption(nullptr, nullptr);
        frmOption->AfterConstruction();
        main = std::make_unique<TfrmMain>(nullptr);
        main->AfterConstruction();
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT) {
            messages.push_back(text);
            return IDOK;
        };
    }
    void TearDown() override {
        Application->MessageBoxHandler = nullptr;
        main.reset();
        delete frmOption;
        frmOption = nullptr;
        if (gPlayerWindow) DestroyWindow(gPlayerWindow), gPlayerWindow = nullptr;
        delete Playerfrm;
        Playerfrm = nullptr;
        SetPlayerLibrary(nullptr);
    }

    treeview::TVastStringTree& Tree() { return *main->NodeTree; }
    PVastNode Row(PVastNode parent, int kind, int role, int start, int end, const char* path = nullptr,
                  int dvdKind = 0) {
        PVastNode node = Tree().AddChild(parent);
        MediaItem* item = jobmodel::ItemOf(Tree(), node);
        jobmodel::InitMediaItem(*item);
        item->kind = kind;
        jobmodel::SetRowRole(*item, jobmodel::RowRole(role));
        *item->timeRange = {start, end};
        item->audioId = item->subtitleId = -1;
        item->mediaInfo = jobmodel::NewMediaInfo();
        item->mediaInfo->durationSeconds = end - start + 100;
        if (path) std::strcpy(item->mediaInfo->path, path);
        item->dvdKind = dvdKind;
        if (dvdKind) {
            item->dvdTitle = &gTitle;
            item->dvdChapterNumber = 3;
        }
        return node;
    }
    void Select(PVastNode node) {
        Tree().ClearSelection();
        if (node) {
            Tree().SetSelected(node, true);
            Tree().SetFocusedNode(node);
        }
        main->NodeTreeChange(node);
        gCalls.clear();
    }
    void Play() { main->btnPlayClick(nullptr); }
    // A report as the player sends it, routed to the main window and handled there.
    void Report(int minutes, int seconds, int ended = 0) {
        PlayTimeInfo t{0, 1, 40, 0, minutes, seconds, 0, ended};
        OnPlayerTime(&t);
        Application->ProcessMessages();
    }
    bool StopAndPhotoEnabled() const { return main->btnStop->Enabled() && main->btnPhoto->Enabled(); }

    Sandbox box;
    PlayerLibrary fake_;
    std::unique_ptr<TfrmMain> main;
    std::vector<std::string> messages;
};

TEST_F(MainPlayTest, TimeReportsMoveTheBarEndPlaybackAndHonourPendingSeeks) {
    struct Case {
        const char* name;
        bool selected;
        bool seekInProgress;
        int pendingSeeks;
        int barBefore;
        int minutes, seconds, ended;
        int barAfter;
        bool stillPlaying;
        bool stopped;  // stopPlay(1) sent
    } cases[] = {
        {"position", true, false, 0, 3, 0, 7, 0, 7, true, false},
        {"minutes 60 dropped", true, false, 0, 3, 60, 0, 0, 3, true, false},
        {"seconds 60 dropped", true, false, 0, 3, 1, 60, 0, 3, true, false},
        {"minutes and seconds", true, false, 0, 3, 1, 2, 0, 62, true, false},
        {"end", true, false, 0, 30, 0, 0, 1, 0, false, false},
        {"end during a seek", true, true, 0, 30, 0, 0, 1, 0, true, false},
        {"end during a seek, bar at its maximum", true, true, 0, 100, 0, 0, 1, 0, false, true},
        {"bar at its maximum", true, false, 0, 100, 1, 30, 0, 90, false, true},
        // (Taking the selection away stopped the preview already.)
        {"no selection", false, false, 0, 30, 0, 7, 0, 0, false, false},
        {"a pending seek", true, false, 1, 30, 0, 7, 0, 30, true, false},
    };
    PVastNode title = Row(nullptr, jobmodel::mkDvdTitle, 0, 0, 100, nullptr, jobmodel::mkDvdTitle);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Select(title);
        main->MainTrackBar->SetMax(100);
        Play();
        ASSERT_TRUE(main->PreviewPlaying);
        if (!c.selected) Tree().ClearSelection();
        main->SeekInProgress = c.seekInProgress;
        main->PendingSeeks = c.pendingSeeks;
        main->MainTrackBar->SetPosition(c.barBefore);
        gCalls.clear();
        Report(c.minutes, c.seconds, c.ended);
        EXPECT_EQ(main->MainTrackBar->Position(), c.barAfter);
        EXPECT_EQ(main->PreviewPlaying, c.stillPlaying);
        EXPECT_EQ(StopAndPhotoEnabled(), c.stillPlaying);
        EXPECT_EQ(gCalls, c.stopped ? std::vector<std::string>{"stopPlay 1"} : std::vector<std::string>{});
        EXPECT_EQ(main->PendingSeeks, 0);
    }
}

TEST_F(MainPlayTest, TwoPendingSeeksHoldTheBarForTwoReports) {
    PVastNode title = Row(nullptr, jobmodel::mkDvdTitle, 0, 0, 100, nullptr, jobmodel::mkDvdTitle);
    Select(title);
    Play();
    main->MainTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    main->MainTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(main->PendingSeeks, 2);
    EXPECT_TRUE(main->SeekInProgress);
    main->MainTrackBar->SetPosition(40);
    Report(0, 5);
    Report(0, 6);
    EXPECT_EQ(main->MainTrackBar->Position(), 40);
    Report(0, 41);
    EXPECT_EQ(main->MainTrackBar->Position(), 41);
}

TEST_F(MainPlayTest, PlayThreeTimesOnATitleOpensItOnce) {
    PVastNode title = Row(nullptr, jobmodel::mkDvdTitle, 0, 4, 64, nullptr, jobmodel::mkDvdTitle);
    Select(title);
    EXPECT_EQ(main->MainTrackBar->Max(), 160);  // the media's whole duration
    EXPECT_FALSE(StopAndPhotoEnabled());
    Play();
    EXPECT_TRUE(main->PreviewPlaying);
    EXPECT_TRUE(StopAndPhotoEnabled());
    EXPECT_TRUE(main->MainPlayPanel->Visible());
    Play();
    EXPECT_FALSE(main->PreviewPlaying);
    Play();
    EXPECT_TRUE(main->PreviewPlaying);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"openMultiTitleFile 1", "startPlay", "pausePlay", "startPlay"}));
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0].info.titleNumberPlus1, 3);
    EXPECT_STREQ(gOpened[0].info.ifoPath, gTitle.ifoPath);
    EXPECT_EQ(gOpened[0].chapterSelector, 0);
    EXPECT_EQ(gOpened[0].startSecond, 4);
    EXPECT_EQ(gOpened[0].endSecond, 64);

    // The play button shows the pause pictures while playing.
    main->btnPlayMouseUp(nullptr, mbLeft, {}, 0, 0);
    TPicture pause;
    pause.LoadFromFile(main->Skin().PicturePath("btnPause", ssNormal));
    EXPECT_EQ(main->btnPlay->PicNormal()->Width(), pause.Width());

    gCalls.clear();
    main->btnStopClick(nullptr);
    EXPECT_EQ(gCalls, std::vector<std::string>{"stopPlay 1"});
    EXPECT_FALSE(main->PreviewPlaying || main->PreviewOpened || StopAndPhotoEnabled());
}

TEST_F(MainPlayTest, RowsThatOpenNothingStayStopped) {
    PVastNode noPath = Row(nullptr, jobmodel::mkFile, 0, 0, 10);
    PVastNode refused = Row(nullptr, jobmodel::mkFile, 0, 0, 10, "/media/clip.mp4");
    PVastNode group = Row(nullptr, jobmodel::mkMerge, 2, 0, 10);
    Row(group, jobmodel::mkMerge, 0, 0, 10);
    for (PVastNode node : {noPath, refused, group}) {
        gOpenResult = node == refused ? -1 : 0;
        Select(node);
        Play();
        EXPECT_FALSE(main->PreviewPlaying);
        EXPECT_FALSE(main->PreviewOpened);
        EXPECT_FALSE(StopAndPhotoEnabled());
        for (const std::string& call : gCalls) EXPECT_NE(call, "startPlay");
    }
    // A plain file is opened by its path and time range.
    gOpenResult = 0;
    Select(refused);
    Play();
    EXPECT_TRUE(main->PreviewPlaying);
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0].info.titleNumberPlus1, 0);
    EXPECT_STREQ(gOpened[0].info.ifoPath, "/media/clip.mp4");
}

TEST_F(MainPlayTest, GroupsPlayTheirMembersAsOneListAndStartAgain) {
    PVastNode group = Row(nullptr, jobmodel::mkSlide, 3, 0, 0);
    Row(group, jobmodel::mkSlide, 0, 5, 25, nullptr, jobmodel::mkDvdChapter);
    PVastNode second = Row(group, jobmodel::mkSlide, 0, 0, 12, "/media/b.mp4");
    Select(group);
    Play();
    EXPECT_EQ(main->MainTrackBar->Max(), 32);  // the members' trimmed lengths
    ASSERT_EQ(gOpened.size(), 2u);
    EXPECT_EQ(gOpened[0].chapterSelector, 4);
    EXPECT_EQ(gOpened[0].startSecond, 5);
    EXPECT_EQ(gOpened[0].endSecond, 25);
    EXPECT_STREQ(gOpened[1].info.ifoPath, "/media/b.mp4");
    Play();
    main->MainTrackBar->SetPosition(17);
    Play();
    EXPECT_EQ(main->MainTrackBar->Position(), 0);
    EXPECT_TRUE(main->PreviewPlaying);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"openMultiTitleFile 2", "startPlay", "pausePlay",
                                                "openMultiTitleFile 2", "startPlay"}));
    // A press on a group's bar drops the next report but keeps the end of the stream.
    main->MainTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(main->PendingSeeks, 1);
    EXPECT_FALSE(main->SeekInProgress);

    // A member's bar is the member's own length.
    Select(second);
    EXPECT_EQ(main->MainTrackBar->Max(), 32) << "selecting a member leaves the bar";
    Play();
    EXPECT_EQ(main->MainTrackBar->Max(), 12);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"openMultiTitleFile 1", "startPlay"}));
}

TEST_F(MainPlayTest, ReleasingTheBarSeeksOrAtItsMaximumResets) {
    PVastNode title = Row(nullptr, jobmodel::mkDvdChapter, 0, 0, 50, nullptr, jobmodel::mkDvdChapter);
    Select(title);
    main->MainTrackBarMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_TRUE(gCalls.empty()) << "not playing: no seek";
    Play();
    gCalls.clear();
    main->MainTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    main->MainTrackBar->SetPosition(33);
    main->MainTrackBarMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(gCalls, std::vector<std::string>{"findDvdTimePlay 33"});
    EXPECT_EQ(main->SeekTarget, -1);
    EXPECT_FALSE(main->SeekInProgress);
    EXPECT_TRUE(main->PreviewPlaying);

    gCalls.clear();
    main->MainTrackBar->SetPosition(main->MainTrackBar->Max());
    main->MainTrackBarMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(gCalls, std::vector<std::string>{"updatePlayer"});
    EXPECT_EQ(main->MainTrackBar->Position(), 0);
    EXPECT_FALSE(main->PreviewPlaying || StopAndPhotoEnabled());
}

TEST_F(MainPlayTest, TheFirstShowingAttachesThePlayerInItsPanelAndHidesIt) {
    main->Show();
    Application->ProcessMessages();
    ASSERT_GE(gCalls.size(), 3u);
    EXPECT_EQ(gCalls[0], "setEditWindow 0");
    EXPECT_EQ(gCalls[1], "setPlayerHandle");
    TPanel* panel = main->MainPlayPanel;
    EXPECT_EQ(gCalls[2], "initPlayOption " + box.Folder() + "Default.bmp " + box.Folder() + "bj.bmp " +
                             std::to_string(main->Left() + panel->Left()) + " " +
                             std::to_string(main->Top() + panel->Top()) + " " + std::to_string(main->PreviewWidth) +
                             " " + std::to_string(main->PreviewHeight));
    ASSERT_TRUE(gPlayerWindow);
    EXPECT_EQ(GetParent(gPlayerWindow), Playerfrm->Handle());
    EXPECT_EQ(GetParent(Playerfrm->Handle()), panel->Handle());
    RECT player{}, host{};
    GetWindowRect(gPlayerWindow, &player);
    GetWindowRect(panel->Handle(), &host);
    EXPECT_EQ(player.left, host.left);
    EXPECT_EQ(player.top, host.top);
    EXPECT_EQ(player.right - player.left, panel->Width());
    EXPECT_EQ(player.bottom - player.top, panel->Height());
    EXPECT_EQ(ActivePlayerForm.load(), apMain);
    EXPECT_FALSE(panel->Visible());

    gCalls.clear();
    main->CloseMainPreview();
    EXPECT_EQ(gCalls, (std::vector<std::string>{"stopPlay 1", "close_sdl"}));
    EXPECT_FALSE(panel->Visible());
}

TEST_F(MainPlayTest, SnapshotsTakeTheFirstUnusedNumberInTheOptionsFolder) {
    testsupport::TempDir dir;
    PVastNode title = Row(nullptr, jobmodel::mkDvdTitle, 0, 0, 100, nullptr, jobmodel::mkDvdTitle);
    Select(title);
    std::string folder = dir.str() + "/shots/of/today";
    frmOption->SnapshotFolder = folder;
    frmOption->PictureExtension = "";
    main->btnPhotoClick(nullptr);
    EXPECT_TRUE(gCalls.empty()) << "not playing: no snapshot";
    Play();
    gCalls.clear();
    main->btnPhotoClick(nullptr);  // the folder is made with its parents; ".jpg" is used and kept
    EXPECT_EQ(frmOption->PictureExtension, ".jpg");
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/00002.jpg") << "an earlier run's";
    main->btnPhotoClick(nullptr);
    main->btnPhotoClick(nullptr);  // 00002 is taken
    frmOption->SnapshotFolder = folder + "/";
    frmOption->PictureExtension = ".bmp";
    main->btnPhotoClick(nullptr);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"morvCapture " + folder + "/00000.jpg",
                                                "morvCapture " + folder + "/00001.jpg",
                                                "morvCapture " + folder + "/00003.jpg",
                                                "morvCapture " + folder + "/00004.bmp"}));
    std::ifstream earlier(folder + "/00002.jpg");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(earlier), {}), "an earlier run's");
    EXPECT_TRUE(messages.empty());

    // A folder that cannot be made is told, and nothing is captured.
    gCalls.clear();
    frmOption->SnapshotFolder = folder + "/00000.jpg/inside";
    main->btnPhotoClick(nullptr);
    EXPECT_TRUE(gCalls.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(frmOption->SnapshotFolder), std::string::npos) << messages[0];
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

TEST_F(MainPlayTest, OpenShowsTheSnapshotFolderWithoutItsBlanks) {
    testsupport::TempDir dir;
    std::vector<std::vector<std::string>> launched;
    auto previous = SetProcessLauncher(std::make_unique<Launches>(&launched));
    frmOption->SnapshotFolder = "   ";
    main->btnOpenClick(nullptr);
    frmOption->SnapshotFolder = "  " + dir.str() + " ";
    main->btnOpenClick(nullptr);
    SetProcessLauncher(std::move(previous));
    EXPECT_EQ(launched, (std::vector<std::vector<std::string>>{{"xdg-open", dir.str()}}));
}

}  // namespace
