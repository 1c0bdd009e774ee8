// The DVD window, headless, against a recording player: previous and next with their
// buttons, the stream combos, the preview's time reports and seeks, OK and Cancel through
// the main window's load road, a damaged disc and a title without streams, a screenshot.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/dvdfrm.h"
#include "app/mainfrm.h"
#include "app_support.h"
#include "dialogs/dialogs_support.h"
#include "fixtures/dvd_fixture.h"
#include "formbase/playerfrm.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/joblist.h"
#include "jobmodel/mediaitem.h"
#include "platform/graphics/graphics.h"
#include "support/pump.h"

namespace {

using namespace apptest;
using namespace platform;
using jobmodel::FieldText;
using jobmodel::MediaItem;
using treeview::PVastNode;

// ---- the recording player ----

std::vector<std::string> gCalls;
std::int32_t gOpenResult = 0;

PlayerLibrary RecordingPlayer() {
    PlayerLibrary f;
    f.close_sdl = [] { gCalls.push_back("close"); };
    f.setEditWindow = [](std::int32_t v) { gCalls.push_back("edit " + std::to_string(v)); };
    f.setPlayerHandle = [](PlayerTimeCallback* cb) {
        gCalls.push_back(std::string("handle ") + (cb && *cb == &OnPlayerTime ? "OnPlayerTime" : "?"));
    };
    f.initPlayOption = [](const char* a, const char* b, std::int32_t, std::int32_t, std::int32_t w,
                          std::int32_t h) -> std::int32_t {
        gCalls.push_back("init " + fs::path(a).filename().string() + " " + fs::path(b).filename().string() + " " +
                         std::to_string(w) + "x" + std::to_string(h));
        return 0;
    };
    f.openDvdFile = [](const DvdPlaybackInfo* info, std::int32_t chapter, std::int32_t second) -> std::int32_t {
        gCalls.push_back("open t" + std::to_string(info->titleNumberPlus1) + " c" + std::to_string(chapter) + " @" +
                         std::to_string(second) + " a" + std::to_string(info->audioId) + " s" +
                         std::to_string(info->subtitleId));
        return gOpenResult;
    };
    f.startPlay = [](std::int32_t) { gCalls.push_back("start"); };
    f.pausePlay = [] { gCalls.push_back("pause"); };
    f.stopPlay = [](std::int32_t idle) { gCalls.push_back("stop " + std::to_string(idle)); };
    f.updatePlayer = [] { gCalls.push_back("update"); };
    return f;
}

std::string TakeCalls() {
    std::string out;
    for (const std::string& c : gCalls) out += (out.empty() ? "" : ", ") + c;
    gCalls.clear();
    return out;
}

// A host that asks nothing of the registry.
struct QuietHost : jobmodel::JobHost {
    void LoadOptionRecord() override {}
};

// The centre pixel of a picture.
TColor CentreOf(TPicture* picture) {
    return picture->Bitmap()->Canvas()->Pixels(picture->Width() / 2, picture->Height() / 2);
}
TColor CentreOf(const std::string& path) {
    TPicture picture;
    picture.LoadFromFile(path);
    return CentreOf(&picture);
}

fs::path Artifacts() {
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    fs::path dir = fs::path(build ? build : ".") / "artifacts";
    fs::create_directories(dir);
    return dir;
}

class DvdWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseHeadlessDisplay();
        player_ = RecordingPlayer();
        SetPlayerLibrary(&player_);
        gCalls.clear();
        gOpenResult = 0;
        Playerfrm = new TPlayerfrm(nullptr);
        Playerfrm->AfterConstruction();
        std::string error;
        ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
        frmDVD = new TfrmDVD(nullptr);
        frmDVD->AfterConstruction();
        dvd = frmDVD;
        gCalls.clear();
    }
    void TearDown() override {
        if (dvd->Visible()) dvd->Hide();
        main.reset();
        delete frmDVD;
        frmDVD = nullptr;
        delete Playerfrm;
        Playerfrm = nullptr;
        SetPlayerLibrary(nullptr);
        Application->MessageBoxHandler = nullptr;
        jobmodel::SetDvdLibrary(nullptr);
    }
    // The fixture's disc through the real reader, built into the window's tree.
    void LoadFixture() {
        fx = lumacast::fixtures::LoadDvdFixture();
        DvdDisc* disc = nullptr;
        ASSERT_EQ(parseDVD(&disc, fx.root.c_str(), 0), 0);
        QuietHost host;
        jobmodel::BuildDvdTree(*dvd->Rows, disc, host);
    }
    void ShowWindow() {
        dvd->Show();
        testsupport::PumpWindows();
        gCalls.clear();
    }
    PVastNode Disc() { return dvd->NodeTree->RootNode()->FirstChild; }
    MediaItem& Row(PVastNode node) { return *jobmodel::ItemOf(*dvd->NodeTree, node); }
    std::string SelectedName() {
        PVastNode node = dvd->NodeTree->GetFirstSelected();
        return node ? FieldText(Row(node).name) : "<none>";
    }
    void Select(PVastNode node) {
        dvd->NodeTree->ClearSelection();
        dvd->NodeTree->SetSelected(node, true);
        gCalls.clear();
    }
    // A pick in a combo as the user makes it: the entry, then the change event.
    static void Pick(TProfileCombo* combo, int index) {
        combo->SetItemIndex(index);
        combo->OnChange(combo);
    }
    static std::vector<std::string> Entries(TProfileCombo* combo) {
        std::vector<std::string> out;
        for (int i = 0; i < combo->Items()->Count(); ++i) out.push_back(combo->Items()->Strings(i));
        return out;
    }
    std::string Picture(const char* item, int state) const { return dvd->Skin().PicturePath(item, state); }
    // A position report as the player sends it, from the player's own thread.
    static void ReportFromPlayerThread(int seconds, bool ended = false, int minutes = 0) {
        std::thread([=] {
            PlayTimeInfo report{};
            report.minutes = minutes;
            report.seconds = seconds;
            report.ended = ended ? 1 : 0;
            OnPlayerTime(&report);
        }).join();
    }

    Sandbox box;
    PlayerLibrary player_;
    TfrmDVD* dvd = nullptr;
    std::unique_ptr<TfrmMain> main;
    lumacast::fixtures::DvdFixture fx;
};

// Previous and Next walk the rows in tree order, opening and playing each; the buttons
// follow the table of where a row stands, the disc row stops the preview and disables
// the combos and the play buttons.
TEST_F(DvdWindowTest, PreviousAndNextWalkTheRowsAndTheButtonsFollowTheRow) {
    ASSERT_NO_FATAL_FAILURE(LoadFixture());
    ShowWindow();
    EXPECT_EQ(SelectedName(), "title_01_01");  // the load selects the first title
    EXPECT_FALSE(dvd->btnPre->Enabled());
    EXPECT_TRUE(dvd->btnNext->Enabled());
    EXPECT_TRUE(dvd->btnPlay->Enabled());
    EXPECT_EQ(CentreOf(dvd->btnPre->PicNormal()), CentreOf(Picture("btnPre", ssDisabled)));

    // Next from the first title to the very last chapter, then Previous back.
    struct Step {
        const char* button;  // "next" or "pre"
        const char* row;     // where the selection is afterwards
        const char* opened;  // what the player opened
        bool pre, next;      // the buttons afterwards
    };
    const Step steps[] = {
        {"next", "chapter_01_01_01", "open t1 c1 @0 a0 s0", true, true},
        {"next", "chapter_01_01_02", "open t1 c2 @0 a0 s0", true, true},  // last chapter: both unchanged
        {"next", "title_01_02", "open t2 c0 @0 a0 s0", true, true},
        {"next", "chapter_01_02_01", "open t2 c1 @0 a0 s0", true, true},
        {"next", "title_02_03", "open t3 c0 @0 a0 s-1", true, true},
        {"next", "chapter_02_03_01", "open t3 c1 @0 a0 s-1", true, true},
        {"next", "chapter_02_03_02", "open t3 c2 @0 a0 s-1", true, true},
        {"next", "chapter_02_03_03", "open t3 c3 @0 a0 s-1", true, false},  // the very last row
        {"pre", "chapter_02_03_02", "open t3 c2 @0 a0 s-1", true, true},
        {"pre", "chapter_02_03_01", "open t3 c1 @0 a0 s-1", true, true},
        {"pre", "title_02_03", "open t3 c0 @0 a0 s-1", true, true},
        {"pre", "chapter_01_02_01", "open t2 c1 @0 a0 s0", true, true},
        {"pre", "title_01_02", "open t2 c0 @0 a0 s0", true, true},
        {"pre", "chapter_01_01_02", "open t1 c2 @0 a0 s0", true, true},
        {"pre", "chapter_01_01_01", "open t1 c1 @0 a0 s0", true, true},
        {"pre", "title_01_01", "open t1 c0 @0 a0 s0", false, true},  // the first title
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.button) + " to " + s.row);
        dialogtest::ClickAt(dvd, std::string(s.button) == "next" ? dvd->btnNext : dvd->btnPre);
        EXPECT_EQ(SelectedName(), s.row);
        // The selection change stops the preview, then the new row opens and plays.
        EXPECT_EQ(TakeCalls(), std::string("stop 1, ") + s.opened + ", start");
        EXPECT_TRUE(dvd->Playing && dvd->Opened);
        EXPECT_TRUE(dvd->btnStop->Enabled());
        EXPECT_TRUE(dvd->btnPlay->Enabled());
        EXPECT_EQ(dvd->btnPre->Enabled(), s.pre);
        EXPECT_EQ(dvd->btnNext->Enabled(), s.next);
        // Playing, the play button shows its pause look.
        EXPECT_EQ(CentreOf(dvd->btnPlay->PicNormal()), CentreOf(Picture("btnPause", ssNormal)));
        EXPECT_TRUE(dvd->audioCmb->Enabled());
    }

    // The disc row: the preview stops, the combos and the play buttons are disabled and
    // show their disabled pictures.
    Select(Disc());
    EXPECT_FALSE(dvd->Playing || dvd->Opened);
    EXPECT_FALSE(dvd->audioCmb->Enabled());
    EXPECT_FALSE(dvd->sutitleCmb->Enabled());
    for (auto [button, item] : {std::pair{dvd->btnPlay, "btnPlay"}, {dvd->btnPre, "btnPre"}, {dvd->btnNext, "btnNext"},
                                {dvd->btnStop, "btnStop"}}) {
        EXPECT_FALSE(button->Enabled()) << item;
        EXPECT_EQ(CentreOf(button->PicNormal()), CentreOf(Picture(item, ssDisabled))) << item;
    }
    // Nothing selected: Play, Stop, Previous and Next do nothing.
    dvd->NodeTree->ClearSelection();
    gCalls.clear();
    dvd->btnPlayClick(nullptr);
    dvd->btnStopClick(nullptr);
    dvd->btnPreClick(nullptr);
    dvd->btnNextClick(nullptr);
    EXPECT_EQ(TakeCalls(), "");
}

// Previous and Next look enabled exactly when a press would move the selection, whatever
// the row selected before (a click may jump anywhere) and after a title folds or unfolds
// under the selection.
TEST_F(DvdWindowTest, PreviousAndNextFollowEverySelectionChange) {
    ASSERT_NO_FATAL_FAILURE(LoadFixture());
    ShowWindow();
    auto row = [&](const std::string& name) {
        for (PVastNode node = dvd->NodeTree->GetFirst(); node; node = dvd->NodeTree->GetNext(node))
            if (FieldText(Row(node).name) == name) return node;
        ADD_FAILURE() << "no row " << name;
        return PVastNode{};
    };
    auto expectButtons = [&](bool pre, bool next) {
        EXPECT_EQ(dvd->btnPre->Enabled(), pre);
        EXPECT_EQ(dvd->btnNext->Enabled(), next);
        // What a press does agrees with the look: a disabled button would move nothing.
        PVastNode sel = dvd->NodeTree->GetFirstSelected();
        EXPECT_EQ(jobmodel::PreviousDvdRow(*dvd->Rows, jobmodel::TreeRows::RowOf(sel)) != nullptr, pre);
        EXPECT_EQ(jobmodel::NextDvdRow(*dvd->Rows, jobmodel::TreeRows::RowOf(sel)) != nullptr, next);
        EXPECT_EQ(CentreOf(dvd->btnPre->PicNormal()), CentreOf(Picture("btnPre", pre ? ssNormal : ssDisabled)));
        EXPECT_EQ(CentreOf(dvd->btnNext->PicNormal()), CentreOf(Picture("btnNext", next ? ssNormal : ssDisabled)));
    };
    // Titles folded and unfolded with the first title selected: Previous stays disabled.
    dvd->hideChapter->Click();
    dvd->showChapter->Click();
    expectButtons(false, true);
    struct Jump {
        const char* row;
        bool pre, next;
    };
    const Jump jumps[] = {
        {"chapter_02_03_03", true, false},  // the very last row
        {"title_01_01", false, true},       // the first title
        {"title_02_03", true, true},        // the last title, unfolded
        {"chapter_02_03_03", true, false},
        {"chapter_01_01_02", true, true},   // the last chapter of a title that is not the last
        {"title_01_01", false, true},
        {"chapter_01_01_02", true, true},
        {"chapter_01_02_01", true, true},
        {"title_01_02", true, true},
    };
    for (const Jump& j : jumps) {
        SCOPED_TRACE(j.row);
        dialogtest::ClickAt(dvd, dvd->NodeTree, 140, dvd->NodeTree->GetDisplayRect(row(j.row), 0, true).top + 5);
        EXPECT_EQ(SelectedName(), j.row);
        expectButtons(j.pre, j.next);
    }
    // The last title folded under the selection: Next has nowhere to go; unfolded again it has.
    Select(row("title_02_03"));
    expectButtons(true, true);
    dvd->hideChapter->Click();
    expectButtons(true, false);
    dvd->showChapter->Click();
    expectButtons(true, true);
    // The disc row and no row at all: neither moves anything.
    Select(Disc());
    EXPECT_FALSE(dvd->btnPre->Enabled() || dvd->btnNext->Enabled());
    Select(row("chapter_01_01_01"));
    dvd->NodeTree->ClearSelection();
    EXPECT_FALSE(dvd->btnPre->Enabled() || dvd->btnNext->Enabled());
}

// The stream lists show the fixture's stream names whole; a short list drops down without a
// scroll bar.
TEST_F(DvdWindowTest, TheStreamListsShowTheirEntriesWhole) {
    ASSERT_NO_FATAL_FAILURE(LoadFixture());
    ShowWindow();
    TBitmap scratch;
    scratch.SetSize(8, 8);
    int entries = 0;
    for (PVastNode title = Disc()->FirstChild; title; title = title->NextSibling) {
        Select(title);
        for (TProfileCombo* combo : {dvd->audioCmb, dvd->sutitleCmb}) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetComboBoxInfo(combo->Handle(), &info));
            const int room = info.rcItem.right - info.rcItem.left - 2;  // the text starts 2 pixels in
            scratch.Canvas()->SetFont(combo->Font());
            for (const std::string& entry : Entries(combo)) {
                EXPECT_LE(scratch.Canvas()->TextWidth(entry), room) << combo->Name() << ": " << entry;
                ++entries;
            }
            // Its label ends before it, inside the window.
            TLabel* label = combo == dvd->audioCmb ? dvd->Lab_audio : dvd->Lab_subtitle;
            EXPECT_LE(label->Left() + label->Width(), combo->Left());
            EXPECT_GE(label->Left(), dvd->NodeTree->Left());
            EXPECT_LE(combo->Left() + combo->Width(), dvd->NodeTree->Left() + dvd->NodeTree->Width());
        }
    }
    EXPECT_GE(entries, 6);
    // A list whose entries all fit drops down without a scroll bar; a longer one keeps it.
    Select(Disc()->FirstChild);
    auto scrollBarShown = [&](TProfileCombo* combo) {
        combo->SetDroppedDown(true);
        testsupport::PumpWindows();
        TCustomListBox* list = combo->ListControl();
        SCROLLBARINFO bar{};
        bar.cbSize = sizeof bar;
        EXPECT_TRUE(GetScrollBarInfo(list->Handle(), OBJID_VSCROLL, &bar));
        SaveWindowImage(list->Handle(), (Artifacts() / ("dvdwin-" + combo->Name() + "-list.png")).string());
        combo->SetDroppedDown(false);
        return !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
    };
    ASSERT_EQ(dvd->audioCmb->Items()->Count(), 2);
    EXPECT_FALSE(scrollBarShown(dvd->audioCmb));
    for (int i = 0; i < 12; ++i) dvd->sutitleCmb->Items()->Add("entry " + std::to_string(i));
    EXPECT_TRUE(scrollBarShown(dvd->sutitleCmb));
}

// The combos list a title's streams by index: two streams of one name stay apart, the
// last subtitle entry is "No Subtitle", a title without streams offers "No Audio" and
// "No Subtitle" only. A title's pick reaches its chapters; a chapter's stays its own.
TEST_F(DvdWindowTest, TheCombosMapEntriesToStreamsByIndex) {
    // A hand-made disc: a title with two audio streams of one name and two subtitles of
    // one name, and a title without any stream.
    static DvdChapter chapters[3];
    static DvdTitle titles[2];
    static DvdTitleSet set;
    static DvdDisc disc;
    titles[0] = DvdTitle{};
    titles[1] = DvdTitle{};
    for (int t = 0; t < 2; ++t) {
        DvdTitle& title = titles[t];
        title.present = 1;
        title.titleNumber = t;
        title.ifoPath = "/disc/VIDEO_TS/VTS_01_0.IFO";
        title.titleSetNumber = 1;
        title.titleSetTitle = t + 1;
        title.lengthSeconds = 20;
        std::snprintf(title.lengthText, sizeof title.lengthText, "00:00:20");
    }
    for (int c = 0; c < 3; ++c) {
        chapters[c] = DvdChapter{};
        chapters[c].present = 1;
        chapters[c].number = c < 2 ? c : 0;
        chapters[c].lengthSeconds = c < 2 ? 10 : 20;
        chapters[c].title = &titles[c < 2 ? 0 : 1];
        std::snprintf(chapters[c].lengthText, sizeof chapters[c].lengthText, "00:00:%02d", chapters[c].lengthSeconds);
    }
    titles[0].chapterCount = 2;
    titles[0].chapters = &chapters[0];
    titles[1].chapterCount = 1;
    titles[1].chapters = &chapters[2];
    titles[0].audioCount = 2;
    titles[0].subtitleCount = 2;
    for (int i = 0; i < 2; ++i) {
        std::snprintf(titles[0].audio[i].name, sizeof titles[0].audio[i].name, "English");
        titles[0].audio[i].id = 4 + i;
        std::snprintf(titles[0].subtitles[i].name, sizeof titles[0].subtitles[i].name, "German");
        titles[0].subtitles[i].id = 20 + i;
    }
    set = DvdTitleSet{};
    set.number = 1;
    set.titleCount = 2;
    set.titles = titles;
    disc = DvdDisc{};
    std::snprintf(disc.path, sizeof disc.path, "/disc");
    disc.titleSetCount = 1;
    disc.titleSets = &set;
    // The converter's answer for the rows' media information.
    jobmodel::DvdLibrary lib;
    lib.createGroupForDvd = [](GroupMediaUIOption** g, const DvdDisc*, const char*, std::int32_t) {
        *g = static_cast<GroupMediaUIOption*>(std::calloc(1, sizeof(GroupMediaUIOption)));
        return *g;
    };
    lib.createDvdInput = [](GroupMediaUIOption*, const DvdChapter*) {
        static MediaUIOption input;
        return &input;
    };
    lib.getDVDProperties = [](MediaInfo* info) -> std::int32_t {
        info->width = 720;
        return 0;
    };
    lib.freeGroup = [](GroupMediaUIOption** g) {
        std::free(*g);
        *g = nullptr;
    };
    jobmodel::SetDvdLibrary(&lib);
    QuietHost host;
    jobmodel::BuildDvdTree(*dvd->Rows, &disc, host);
    ShowWindow();
    PVastNode title = Disc()->FirstChild, silent = Disc()->LastChild;

    // The first title is selected by the load: its streams, the first of each chosen.
    EXPECT_EQ(Entries(dvd->audioCmb), (std::vector<std::string>{"English", "English"}));
    EXPECT_EQ(Entries(dvd->sutitleCmb), (std::vector<std::string>{"German", "German", "No Subtitle"}));
    EXPECT_EQ(dvd->audioCmb->ItemIndex(), 0);
    EXPECT_EQ(dvd->sutitleCmb->ItemIndex(), 0);

    // The second entry of a name is the second stream, and shows again when the row comes back.
    Pick(dvd->audioCmb, 1);
    Pick(dvd->sutitleCmb, 1);
    EXPECT_EQ(Row(title).audioId, 5);
    EXPECT_EQ(Row(title).subtitleId, 21);
    for (PVastNode c = title->FirstChild; c; c = c->NextSibling) {
        EXPECT_EQ(Row(c).audioId, 5);
        EXPECT_EQ(Row(c).subtitleId, 21);
    }
    Select(title->LastChild);
    Pick(dvd->audioCmb, 0);
    Pick(dvd->sutitleCmb, 2);  // "No Subtitle"
    EXPECT_EQ(Row(title->LastChild).audioId, 4);
    EXPECT_EQ(Row(title->LastChild).subtitleId, -1);
    EXPECT_EQ(Row(title).audioId, 5);  // a chapter's pick stays its own
    EXPECT_EQ(Row(title->FirstChild).audioId, 5);
    Select(title);
    EXPECT_EQ(dvd->audioCmb->ItemIndex(), 1);
    EXPECT_EQ(dvd->sutitleCmb->ItemIndex(), 1);
    Select(title->LastChild);
    EXPECT_EQ(dvd->audioCmb->ItemIndex(), 0);
    EXPECT_EQ(dvd->sutitleCmb->ItemIndex(), 2);

    // The pick is what the preview plays.
    dialogtest::ClickAt(dvd, dvd->btnPlay);
    EXPECT_EQ(TakeCalls(), "open t1 c2 @0 a4 s-1, start");

    // A title without streams: "No Audio" and "No Subtitle", both none.
    Select(silent);
    EXPECT_EQ(Entries(dvd->audioCmb), (std::vector<std::string>{"No Audio"}));
    EXPECT_EQ(Entries(dvd->sutitleCmb), (std::vector<std::string>{"No Subtitle"}));
    EXPECT_EQ(dvd->audioCmb->ItemIndex(), 0);
    EXPECT_EQ(dvd->sutitleCmb->ItemIndex(), 0);
    Pick(dvd->audioCmb, 0);
    Pick(dvd->sutitleCmb, 0);
    EXPECT_EQ(Row(silent).audioId, -1);
    EXPECT_EQ(Row(silent).subtitleId, -1);
    dialogtest::ClickAt(dvd, dvd->btnPlay);
    EXPECT_EQ(TakeCalls(), "open t2 c0 @0 a-1 s-1, start");

    // With nothing selected a pick changes no row.
    dvd->NodeTree->ClearSelection();
    Pick(dvd->audioCmb, 0);
    EXPECT_EQ(Row(title).audioId, 5);
    jobmodel::ClearItemTree(*dvd->Rows);
}

// The player's reports only post to the window; the bar moves, and the end of the stream
// ends the preview, when the user-interface thread takes the message. Pressing the bar
// drops one position message per press; releasing it seeks or, at its end, stops.
TEST_F(DvdWindowTest, TimeReportsSeeksAndTheEndOfTheStream) {
    ASSERT_NO_FATAL_FAILURE(LoadFixture());
    ShowWindow();
    EXPECT_EQ(ActivePlayerForm.load(), apDvd);
    dialogtest::ClickAt(dvd, dvd->btnPlay);
    EXPECT_EQ(TakeCalls(), "open t1 c0 @0 a0 s0, start");
    EXPECT_EQ(dvd->DVDTrackBar->Max(), 4);  // the title's length

    ReportFromPlayerThread(3);
    EXPECT_EQ(dvd->DVDTrackBar->Position(), 0);  // only posted
    testsupport::PumpMessages();
    EXPECT_EQ(dvd->DVDTrackBar->Position(), 3);
    ReportFromPlayerThread(1, false, 60);  // minutes of 60 never reach the window
    testsupport::PumpMessages();
    EXPECT_EQ(dvd->DVDTrackBar->Position(), 3);

    // Two presses: the next two messages leave the bar alone, the third moves it.
    dvd->DVDTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    dvd->DVDTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(TakeCalls(), "stop 0, stop 0");
    for (int s : {1, 2}) ReportFromPlayerThread(s);
    testsupport::PumpMessages();
    EXPECT_EQ(dvd->DVDTrackBar->Position(), 3);
    ReportFromPlayerThread(2);
    testsupport::PumpMessages();
    EXPECT_EQ(dvd->DVDTrackBar->Position(), 2);
    // An end report while the seek runs does not end the preview.
    ReportFromPlayerThread(0, true);
    testsupport::PumpMessages();
    EXPECT_TRUE(dvd->Playing);
    // Released below the end: the row reopens at the bar's second and plays on.
    dvd->DVDTrackBar->SetPosition(1);
    dvd->DVDTrackBarMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(TakeCalls(), "open t1 c0 @1 a0 s0, start");
    EXPECT_TRUE(dvd->Playing && !dvd->SeekInProgress);

    // The end of the stream ends the preview, on the user-interface thread.
    ReportFromPlayerThread(0, true);
    EXPECT_TRUE(dvd->Playing);
    testsupport::PumpMessages();
    EXPECT_FALSE(dvd->Playing || dvd->Opened);
    EXPECT_EQ(dvd->DVDTrackBar->Position(), 0);
    EXPECT_EQ(CentreOf(dvd->btnPlay->PicNormal()), CentreOf(Picture("btnPlay", ssNormal)));

    // An end report of a stream the user has left meanwhile does not end the new one.
    // (No messages run between the report and the new start.)
    dialogtest::ClickAt(dvd, dvd->btnPlay);
    ReportFromPlayerThread(0, true);
    dvd->btnStopClick(nullptr);
    dvd->btnPlayClick(nullptr);
    testsupport::PumpMessages();
    EXPECT_TRUE(dvd->Playing);
    EXPECT_EQ(TakeCalls(), "open t1 c0 @0 a0 s0, start, stop 1, open t1 c0 @0 a0 s0, start");

    // Play pauses and plays on; released at its end the bar stops the preview.
    dialogtest::ClickAt(dvd, dvd->btnPlay);
    EXPECT_FALSE(dvd->Playing);
    EXPECT_TRUE(dvd->Opened);
    dialogtest::ClickAt(dvd, dvd->btnPlay);
    EXPECT_EQ(TakeCalls(), "pause, start");
    dvd->DVDTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    dvd->DVDTrackBar->SetPosition(4);
    dvd->DVDTrackBarMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(TakeCalls(), "stop 0, stop 1, update");
    EXPECT_FALSE(dvd->Playing || dvd->Opened);
    EXPECT_FALSE(dvd->btnStop->Enabled());
    // Played again, the stream's end still ends the preview.
    dialogtest::ClickAt(dvd, dvd->btnPlay);
    ReportFromPlayerThread(0, true);
    testsupport::PumpMessages();
    EXPECT_FALSE(dvd->Playing || dvd->Opened);
    EXPECT_EQ(TakeCalls(), "open t1 c0 @0 a0 s0, start");
    // Idle, a release puts the bar back to 0.
    dvd->DVDTrackBar->SetPosition(2);
    dvd->DVDTrackBarMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(dvd->DVDTrackBar->Position(), 0);
    EXPECT_EQ(TakeCalls(), "");

    // A row the player cannot open stays idle.
    gOpenResult = -1;
    dialogtest::ClickAt(dvd, dvd->btnPlay);
    EXPECT_EQ(TakeCalls(), "open t1 c0 @0 a0 s0");
    EXPECT_FALSE(dvd->Playing || dvd->Opened);
    EXPECT_EQ(CentreOf(dvd->btnPlay->PicNormal()), CentreOf(Picture("btnPlay", ssNormal)));
}

// The whole road from the main window: a fresh parse, OK, the DVD shown again and OK a
// second time, Cancel after a reopen, Cancel after a fresh parse of another DVD.
TEST_F(DvdWindowTest, OkAndCancelFromTheMainWindow) {
    fx = lumacast::fixtures::LoadDvdFixture();
    main = std::make_unique<TfrmMain>(nullptr);
    main->AfterConstruction();
    std::vector<std::string> asked;
    int answer = IDYES;
    Application->MessageBoxHandler = [&](const std::string& text, const std::string&, UINT) {
        asked.push_back(text);
        return answer;
    };
    // What the user does while the DVD window is open.
    std::function<void()> user;
    bool shown = false;
    HWND driver = AllocateHWnd([&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg != WM_USER) return 0;
        shown = dvd->Visible() && dvd->IsModal();
        if (user) user();
        return 0;
    });
    auto load = [&](const std::string& path, std::function<void()> action) {
        user = std::move(action);
        shown = false;
        PostMessage(driver, WM_USER, 0, 0);
        main->LoadDvdFolder(path);
        testsupport::PumpMessages();
    };
    auto jobNames = [&] {
        std::string out;
        for (PVastNode n = main->NodeTree->RootNode()->FirstChild; n; n = n->NextSibling) {
            const MediaItem* row = jobmodel::ItemOf(*main->NodeTree, n);
            out += (out.empty() ? "" : " ") + FieldText(row->row.destination);
        }
        return out;
    };

    // A fresh parse: a chapter checked, the first title's second audio stream, OK.
    load(fx.root, [&] {
        PVastNode title = Disc()->FirstChild;
        jobmodel::SetRowCheckState(*dvd->Rows, jobmodel::TreeRows::RowOf(title->LastChild), true);
        Select(title);
        Pick(dvd->audioCmb, 1);
        dialogtest::ClickAt(dvd, dvd->btnOK);
    });
    EXPECT_TRUE(shown);
    EXPECT_TRUE(asked.empty());
    const std::string expected = "title_01_01.flv chapter_01_01_02.flv title_01_02.flv title_02_03.flv";
    EXPECT_EQ(jobNames(), expected);
    EXPECT_TRUE(main->NodeTree->Visible());
    EXPECT_FALSE(dvd->Visible());
    PVastNode first = main->NodeTree->RootNode()->FirstChild;
    EXPECT_TRUE(main->NodeTree->GetSelected(first));
    EXPECT_EQ(jobmodel::ItemOf(*main->NodeTree, first)->audioId, 1);
    EXPECT_EQ(main->NodeTree->GetCheckState(first->NextSibling), treeview::csCheckedNormal);
    // The job row shares its time range with its DVD row.
    EXPECT_EQ(jobmodel::ItemOf(*main->NodeTree, first)->timeRange, Row(Disc()->FirstChild).timeRange);
    // Closing closed the player's window.
    EXPECT_NE(TakeCalls().find("close"), std::string::npos);

    // The same DVD again, answered Yes: shown again without a parse; OK a second time
    // gives the same names.
    load(fx.root, [&] { dialogtest::ClickAt(dvd, dvd->btnOK); });
    EXPECT_TRUE(shown);
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(jobNames(), expected);
    EXPECT_TRUE(main->DvdState.reopen);

    // Shown again and cancelled (by the close button): the job list stays.
    load(fx.root, [&] { dialogtest::ClickAt(dvd, dvd->close); });
    EXPECT_TRUE(shown);
    EXPECT_EQ(jobNames(), expected);

    // Another DVD (the same disc under another name) answered Yes: a fresh parse, and
    // Cancel empties the job list.
    testsupport::TempDir other;
    fs::create_directory_symlink(fx.root, other.path() / "disc");
    load((other.path() / "disc").string(), [&] { dialogtest::ClickAt(dvd, dvd->btnCancel); });
    EXPECT_TRUE(shown);
    EXPECT_FALSE(main->DvdState.reopen);
    EXPECT_EQ(jobNames(), "");
    EXPECT_FALSE(main->NodeTree->Visible());
    EXPECT_FALSE(main->btnConvert->Enabled());
    DeallocateHWnd(driver);
}

// A damaged disc: an information file that is not one is refused with a message and the
// window does not open; a damaged title set is left out and the rest shows.
TEST_F(DvdWindowTest, ADamagedDiscNeverOpensWhatIsNotThere) {
    fx = lumacast::fixtures::LoadDvdFixture();
    main = std::make_unique<TfrmMain>(nullptr);
    main->AfterConstruction();
    std::vector<std::string> told;
    Application->MessageBoxHandler = [&](const std::string& text, const std::string&, UINT) {
        told.push_back(text);
        return IDYES;
    };
    bool shown = false;
    dvd->OnShow = [&](TObject* s) {
        shown = true;
        dvd->FormShow(s);
        dvd->SetModalResult(mrCancel);
    };
    testsupport::TempDir copy;
    fs::copy(fx.videoTs, copy.path() / "VIDEO_TS");
    // The second title set's information file and its backup, cut inside their headers.
    for (const char* name : {"VTS_02_0.IFO", "VTS_02_0.BUP"}) fs::resize_file(copy.path() / "VIDEO_TS" / name, 100);
    main->LoadDvdFolder(copy.str());
    EXPECT_TRUE(told.empty());
    EXPECT_TRUE(shown);
    // What could be read is there; nothing of the damaged title set.
    std::string names;
    for (PVastNode n = Disc()->FirstChild; n; n = n->NextSibling) names += FieldText(Row(n).name) + " ";
    EXPECT_EQ(names, "title_01_01 title_01_02 ");

    // Not a DVD at all: told, no window, the job list as it was.
    jobmodel::InitMediaItem(*jobmodel::ItemOf(*main->NodeTree, main->NodeTree->AddChild(nullptr)));
    for (const char* name : {"VIDEO_TS.IFO", "VIDEO_TS.BUP"})
        std::ofstream(copy.path() / "VIDEO_TS" / name, std::ios::trunc) << "not an information file";
    shown = false;
    main->DvdState.loadedPath.clear();
    main->LoadDvdFolder(copy.str());
    EXPECT_FALSE(shown);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("Can't load the DVD", 0), 0u) << told[0];
    EXPECT_EQ(main->NodeTree->RootNodeCount(), 1u);
}

// The window with the fixture loaded: the skin's size and pictures, the resource's places
// for the list and the combos, the rows with their pictures; the screenshot is kept.
TEST_F(DvdWindowTest, LooksAsTheSkinSaysWithTheDiscLoaded) {
    ASSERT_NO_FATAL_FAILURE(LoadFixture());
    ShowWindow();
    EXPECT_EQ(dvd->Width(), dvd->Skin().Width());
    EXPECT_EQ(dvd->Height(), dvd->Skin().Height());
    const SkinItem* ok = dvd->Skin().Find("btnOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(dvd->btnOK->Left(), ok->Left);
    EXPECT_EQ(dvd->btnOK->Top(), ok->Top);
    EXPECT_EQ(dvd->NodeTree->BoundsRect(), TRect(406, 54, 723, 309));
    EXPECT_EQ(CentreOf(dvd->btnOK->PicNormal()), CentreOf(Picture("btnOK", ssNormal)));
    EXPECT_FALSE(dvd->DVDPlayPanel->Visible());  // until a row is opened
    // The menu's entries.
    std::vector<std::string> menu;
    TMenuItem* items = dvd->DVD_Menu->Items();
    for (int i = 0; i < items->Count(); ++i) menu.push_back(items->Items(i)->Caption());
    EXPECT_EQ(menu, (std::vector<std::string>{"CheckAll    ", "UncheckAll", "-", "Show Chapter", "Hide Chapter"}));
    // Each row kind shows its own picture.
    EXPECT_EQ(dvd->ImageList->Count(), 3);
    const auto image = [&](PVastNode node, int column) {
        bool ghosted = false;
        return dvd->NodeTree->DoGetImageIndex(node, treeview::ikNormal, column, ghosted);
    };
    EXPECT_EQ(image(Disc(), 0), 0);
    EXPECT_EQ(image(Disc()->FirstChild, 0), 1);
    EXPECT_EQ(image(Disc()->FirstChild->FirstChild, 0), 2);
    EXPECT_EQ(image(Disc()->FirstChild, 1), -1);
    EXPECT_EQ(dvd->NodeTree->GetText(Disc()->FirstChild, 1), "00:00:04");
    EXPECT_EQ(dvd->NodeTree->GetText(Disc()->FirstChild, 3), "");

    // Check All and Uncheck All reach every row; Hide Chapter folds the titles.
    dvd->CheckAll->Click();
    EXPECT_EQ(dvd->NodeTree->GetCheckState(Disc()->FirstChild->FirstChild), treeview::csCheckedNormal);
    dvd->hideChapter->Click();
    EXPECT_FALSE(dvd->NodeTree->GetExpanded(Disc()->FirstChild));
    EXPECT_TRUE(dvd->NodeTree->GetExpanded(Disc()));
    dvd->showChapter->Click();
    dvd->UncheckAll->Click();
    EXPECT_EQ(dvd->NodeTree->GetCheckState(Disc()->FirstChild), treeview::csUncheckedNormal);
    dvd->NodeTree->SetCheckState(Disc()->FirstChild, treeview::csCheckedNormal);
    dvd->NodeTree->SetCheckState(Disc()->LastChild, treeview::csCheckedNormal);

    testsupport::PumpWindows();
    const fs::path shot = Artifacts() / "dvdwin-fixture.png";
    SaveWindowImage(dvd->Handle(), shot.string());
    EXPECT_TRUE(fs::exists(shot));

    // A re-skin: the disabled buttons keep their disabled look in the new skin.
    Select(Disc());
    StoreSetting("Skin", box.Folder() + "Images/Graphite.xml");
    std::string error;
    ASSERT_TRUE(OpenSkin(box.Folder() + "Images/Graphite.xml", error)) << error;
    dvd->ReloadSkin();
    EXPECT_EQ(CentreOf(dvd->btnPre->PicNormal()), CentreOf(Picture("btnPre", ssDisabled)));
    EXPECT_EQ(CentreOf(dvd->btnOK->PicNormal()), CentreOf(Picture("btnOK", ssNormal)));
    EXPECT_FALSE(dvd->DVDPlayPanel->Visible());
    EXPECT_EQ(dvd->Lab_audio->Font()->Color(), clWhite);  // light text on the dark skin
    testsupport::PumpWindows();
    SaveWindowImage(dvd->Handle(), (Artifacts() / "dvdwin-graphite.png").string());
    ASSERT_TRUE(OpenSkin(box.Folder() + "Images/Ocean.xml", error)) << error;
    dvd->ReloadSkin();
    // Its close button sits at the left: the title follows it instead of hiding under it.
    EXPECT_GE(dvd->mainLabel->Left(), dvd->close->Left() + dvd->close->Width());
    EXPECT_EQ(dvd->Lab_audio->Font()->Color(), clBlack);
    testsupport::PumpWindows();
    SaveWindowImage(dvd->Handle(), (Artifacts() / "dvdwin-ocean.png").string());
    ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
}

}  // namespace
