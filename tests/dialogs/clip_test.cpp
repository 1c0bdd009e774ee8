// The clip dialog over a job list of a file row, a DVD chapter row and a merge group that
// holds a copy of a segment, against a recording player.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <thread>

#include "app/app_support.h"
#include "app/mainfrm.h"
#include "dialogs/editfrm.h"
#include "dialogs/clipfrm.h"
#include "dialogs_support.h"
#include "fake_player.h"
#include "jobmodel/joblist.h"
#include "jobmodel/jobrows.h"
#include "platform/graphics/imglist.h"

namespace {

using namespace platform;
using jobmodel::MediaItem;
using treeview::PVastNode;
using dialogtest::Has;

class ClipDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::UseHeadlessDisplay();
        std::string error;
        ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT) {
            messages.push_back(text);
            return answer;
        };
        auto* options = jobs.TreeOptions();
        options->SetSelectionOptions(options->SelectionOptions() | treeview::toMultiSelect);
        jobs.OnInitNode = [](treeview::TBaseVastTree* t, PVastNode, PVastNode node, treeview::TVastNodeInitStates&) {
            jobmodel::InitItemNode(*t, node);
        };
        MediaInfo* info = jobmodel::NewMediaInfo();
        info->durationSeconds = 100;
        std::snprintf(info->path, sizeof info->path, "/media/clip.mp4");
        file = jobmodel::TreeRows::NodeOf(jobmodel::AppendFileRow(jobRows, "/media/clip.mp4", info, names));

        title.titleNumber = 0;
        title.ifoPath = "/dvd/VIDEO_TS/VTS_01_0.IFO";
        chapter = jobs.AddChild(nullptr);
        MediaItem& c = Item(chapter);
        jobmodel::InitMediaItem(c);
        c.mediaInfo = jobmodel::NewMediaInfo();
        c.mediaInfo->durationSeconds = 40;
        *c.timeRange = {0, 40};
        c.kind = c.dvdKind = jobmodel::mkDvdChapter;
        c.dvdChapterNumber = 2;
        c.dvdTitle = &title;
        c.segmentCounter = 1;
        jobmodel::CopyTextField(c.name, "chapter_01_01_03");
        jobmodel::SetItemRow(c.row, "chapter_01_01_03", "00:00:40", "00:00:40", "chapter_01_01_03.flv", 2, 2);

        clip = std::make_unique<TfrmClip>(nullptr, nullptr);
        clip->AfterConstruction();
    }
    void TearDown() override {
        clip.reset();
        jobmodel::ClearItemTree(jobRows);
        Application->MessageBoxHandler = nullptr;
    }
    MediaItem& Item(PVastNode node) { return *jobmodel::ItemOf(jobs, node); }
    MediaItem& Segment(PVastNode node) { return *jobmodel::ItemOf(*clip->ClipNodeTree, node); }
    void Open(PVastNode row) {
        clip->SetClipItem(&Item(row), 0, jobmodel::TreeRows::RowOf(row), &jobRows);
        clip->Show();
        testsupport::PumpWindows();
    }
    // The segment list's titles, and the row's segment children as "name start-end".
    std::vector<std::string> Titles() {
        std::vector<std::string> out;
        for (PVastNode n = clip->ClipNodeTree->RootNode()->FirstChild; n; n = n->NextSibling)
            out.push_back(jobmodel::FieldText(Segment(n).row.source));
        return out;
    }
    std::vector<std::string> Children(PVastNode row) {
        std::vector<std::string> out;
        for (PVastNode n = row->FirstChild; n; n = n->NextSibling) {
            const MediaItem& s = Item(n);
            out.push_back(jobmodel::FieldText(s.name) + " " + std::to_string(s.timeRange->start) + "-" +
                          std::to_string(s.timeRange->end));
        }
        return out;
    }
    std::string SelectedTitle() {
        MediaItem* s = clip->SelectedSegment();
        return s ? jobmodel::FieldText(s->row.source) : "";
    }
    void Select(int index) {
        PVastNode n = clip->ClipNodeTree->RootNode()->FirstChild;
        while (index-- > 0) n = n->NextSibling;
        clip->ClipNodeTree->ClearSelection();
        clip->ClipNodeTree->SetSelected(n, true);
        testsupport::PumpWindows();
    }
    // A merge group of the file row's first segment and the chapter row.
    PVastNode MergeSegmentWithChapter() {
        jobs.ClearSelection();
        jobs.SetSelected(file->FirstChild, true);
        jobs.SetSelected(chapter, true);
        return jobmodel::TreeRows::NodeOf(jobmodel::CreateGroupItem(jobRows, jobmodel::mkMerge, counters));
    }

    apptest::Sandbox box;
    dialogtest::FakePlayer player;
    treeview::TVastStringTree jobs{nullptr};
    jobmodel::TreeRows jobRows{jobs};
    std::unordered_set<std::string> names;
    jobmodel::GroupCounters counters;
    DvdTitle title{};
    PVastNode file = nullptr, chapter = nullptr;
    std::unique_ptr<TfrmClip> clip;
    std::vector<std::string> messages;
    int answer = IDNO;
};

TEST_F(ClipDialogTest, AFirstOpeningOffersSegment1AndOkMakesOneSegmentRow) {
    Open(file);
    EXPECT_EQ(Titles(), std::vector<std::string>{"Segment_1"});
    EXPECT_EQ(SelectedTitle(), "Segment_1");
    for (skinctrl::TdvxTrackBar* bar : {clip->TotalTrackBar, clip->StartTrackBar, clip->EndTrackBar})
        EXPECT_EQ(bar->Max(), 100);
    EXPECT_EQ(clip->StartTime->Text(), "00:00:00");
    EXPECT_EQ(clip->EndTime->Text(), "00:01:40");
    // A file row previews through the player's file operation.
    std::vector<std::string> calls = player.Take();
    EXPECT_EQ(calls.end()[-2], "openMediaFile /media/clip.mp4 0-100");
    EXPECT_EQ(calls.end()[-1], "startPlay");
    // Its bar picture is the skin's fixed one, kept through a size change.
    TPicture bar;
    bar.LoadFromFile(box.Folder() + "Images/DefaultImage/clip/Barpic.bmp");
    EXPECT_EQ(clip->StartTrackBar->BarImage()->Height(), bar.Height());
    clip->StartTrackBar->SetWidth(clip->StartTrackBar->Width() - 1);
    EXPECT_EQ(clip->StartTrackBar->BarImage()->Width(), bar.Width());

    dialogtest::ClickAt(clip.get(), clip->btnOK);
    EXPECT_FALSE(clip->Visible());
    EXPECT_TRUE(Has(player.Take(), "close_sdl"));
    ASSERT_EQ(Children(file), std::vector<std::string>{"clip(1) 0-100"});
    const MediaItem& segment = Item(file->FirstChild);
    EXPECT_EQ(segment.kind, jobmodel::mkSegment);
    EXPECT_EQ(segment.imageIndex, 1);
    EXPECT_EQ(jobmodel::FieldText(segment.row.destination), "clip(1).flv");
    EXPECT_EQ(jobmodel::FieldText(segment.row.trimmedLength), "00:01:40");
    EXPECT_TRUE(Titles().empty());  // the dialog's list is emptied when it closes
}

TEST_F(ClipDialogTest, AddAndDeleteNumberSegmentsOnAndDeletedSegmentsTakeTheirGroupCopies) {
    Open(file);
    dialogtest::ClickAt(clip.get(), clip->btnOK);
    PVastNode group = MergeSegmentWithChapter();
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->ChildCount, 2u);
    EXPECT_EQ(jobmodel::FieldText(Item(group).row.originalLength), "00:02:20");

    // The segment rows come back as copies; Add numbers on from the row's counter and
    // starts with the selected segment's range.
    Open(file);
    EXPECT_EQ(Titles(), std::vector<std::string>{"Segment_1"});
    clip->EndTrackBar->SetPosition(30);
    EXPECT_EQ(jobmodel::FieldText(Segment(clip->ClipNodeTree->RootNode()->FirstChild).row.trimmedLength), "00:00:30");
    dialogtest::ClickAt(clip.get(), clip->btnAdd);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Segment_1", "Segment_2"}));
    EXPECT_EQ(SelectedTitle(), "Segment_2");
    EXPECT_EQ(clip->End(), 30);
    const MediaItem& added = *clip->SelectedSegment();
    EXPECT_EQ(jobmodel::FieldText(added.name), "clip(2)");
    EXPECT_EQ(jobmodel::FieldText(added.row.destination), "clip(2).flv");
    clip->StartTrackBar->SetPosition(10);
    dialogtest::ClickAt(clip.get(), clip->btnDelete);
    EXPECT_EQ(SelectedTitle(), "Segment_1");
    dialogtest::ClickAt(clip.get(), clip->btnAdd);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Segment_1", "Segment_3"}));
    clip->StartTrackBar->SetPosition(10);
    // Segment_1 goes, and with it the group's copy of it once the changes are kept.
    Select(0);
    dialogtest::ClickAt(clip.get(), clip->btnDelete);
    EXPECT_EQ(Item(group->FirstChild).copyMark, 1);
    EXPECT_TRUE(messages.empty());
    answer = IDYES;
    dialogtest::ClickAt(clip.get(), clip->btnCancel);
    EXPECT_EQ(messages, std::vector<std::string>{"Do you want to save changes?"});
    EXPECT_EQ(Children(file), std::vector<std::string>{"clip(3) 10-30"});
    EXPECT_EQ(Item(file).segmentCounter, 3);
    ASSERT_EQ(group->ChildCount, 1u);
    EXPECT_EQ(jobmodel::FieldText(Item(group->FirstChild).name), "chapter_01_01_03");
    EXPECT_EQ(jobmodel::FieldText(Item(group).row.originalLength), "00:00:40");
}

TEST_F(ClipDialogTest, NoLeavesSegmentsCounterAndGroupMembersAsTheyWere) {
    Open(file);
    dialogtest::ClickAt(clip.get(), clip->btnOK);
    PVastNode group = MergeSegmentWithChapter();
    const std::vector<std::string> before = Children(file);

    Open(file);
    dialogtest::ClickAt(clip.get(), clip->btnAdd);
    clip->EndTrackBar->SetPosition(20);
    Select(0);
    dialogtest::ClickAt(clip.get(), clip->btnDelete);
    // With no segment selected, Add takes the row the dialog was opened on.
    EXPECT_EQ(SelectedTitle(), "");
    dialogtest::ClickAt(clip.get(), clip->btnAdd);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Segment_2", "Segment_3"}));
    EXPECT_EQ(clip->SelectedSegment()->timeRange->end, 100);
    answer = IDNO;
    dialogtest::ClickAt(clip.get(), clip->close);
    EXPECT_EQ(messages, std::vector<std::string>{"Do you want to save changes?"});
    EXPECT_FALSE(clip->Visible());
    EXPECT_EQ(Children(file), before);
    EXPECT_EQ(Item(file).segmentCounter, 1);
    ASSERT_EQ(group->ChildCount, 2u);
    EXPECT_EQ(Item(group->FirstChild).copyMark, 0);
    EXPECT_EQ(jobmodel::FieldText(Item(group->FirstChild).name), "clip(1)");
}

TEST_F(ClipDialogTest, BarsAndTypedTimesKeepTheStartASecondBeforeTheEnd) {
    Open(file);
    clip->StartTrackBar->SetPosition(20);
    clip->EndTrackBar->SetPosition(60);
    // Dragging one bar onto the other stops a second short of it.
    clip->StartTrackBar->SetPosition(80);
    EXPECT_EQ(clip->StartTrackBar->Position(), 59);
    EXPECT_EQ(clip->Start(), 59);
    clip->EndTrackBar->SetPosition(10);
    EXPECT_EQ(clip->EndTrackBar->Position(), 60);
    EXPECT_EQ(clip->End(), 60);
    // The preview's position taken as the start at or after the end.
    clip->TotalTrackBar->SetPosition(75);
    dialogtest::ClickAt(clip.get(), clip->btnTrimStart);
    EXPECT_EQ(clip->Start(), 59);
    clip->TotalTrackBar->SetPosition(30);
    dialogtest::ClickAt(clip.get(), clip->btnTrimStart);
    EXPECT_EQ(clip->Start(), 30);
    const MediaItem& segment = *clip->SelectedSegment();
    EXPECT_EQ(segment.timeRange->start, 30);
    EXPECT_EQ(segment.timeRange->end, 60);
    EXPECT_EQ(jobmodel::FieldText(segment.row.trimmedLength), "00:00:30");

    struct Case {
        bool startPicker;
        int seconds;
        const char* message;  // nullptr: taken
        int start, end;       // afterwards
    } cases[] = {
        {true, 60, "Start time error", 30, 60},
        {true, 45, nullptr, 45, 60},
        {false, 45, "End time error", 45, 60},
        {false, 101, "End time error", 45, 60},
        {false, 100, nullptr, 45, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        messages.clear();
        TDateTimePicker* picker = c.startPicker ? clip->StartTime : clip->EndTime;
        picker->SetHMS(c.seconds / 3600, c.seconds % 3600 / 60, c.seconds % 60);
        dialogtest::ClickAt(clip.get(), c.startPicker ? clip->start_trimtime_ok : clip->end_trimtime_ok);
        EXPECT_EQ(messages, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(clip->Start(), c.start);
        EXPECT_EQ(clip->End(), c.end);
        EXPECT_EQ(clip->StartTrackBar->Position(), c.start);
        EXPECT_EQ(clip->EndTrackBar->Position(), c.end);
        EXPECT_EQ(segment.timeRange->start, c.start);
        EXPECT_EQ(segment.timeRange->end, c.end);
    }
    // The picker shows the start again after a refused one.
    EXPECT_EQ(clip->StartTime->Text(), "00:00:45");
}

TEST_F(ClipDialogTest, ADvdChapterOpensAsItsTitleRecordAndLongSourcesShowTheirHours) {
    Open(chapter);
    EXPECT_TRUE(Has(player.Take(), "openMultiTitleFile 1 chapter 3 0-40"));
    EXPECT_EQ(player.lastRecord->info.ifoPath, title.ifoPath);
    EXPECT_EQ(clip->TotalTrackBar->Max(), 40);
    dialogtest::ClickAt(clip.get(), clip->btnOK);
    ASSERT_EQ(Children(chapter), std::vector<std::string>{"chapter_01_01_03(1) 0-40"});
    EXPECT_EQ(Item(chapter->FirstChild).dvdKind, jobmodel::mkDvdChapter);

    // A source of 30 hours: the pickers go past 23.
    Item(file).mediaInfo->durationSeconds = 30 * 3600;
    *Item(file).timeRange = {0, 30 * 3600};
    Open(file);
    EXPECT_EQ(clip->EndTime->Text(), "30:00:00");
    clip->Close();

    // A row of unknown length opens with its bars at 0; no empty segment is stored.
    Item(file).mediaInfo->durationSeconds = 0;
    *Item(file).timeRange = {0, 0};
    Open(file);
    EXPECT_EQ(clip->EndTrackBar->Max(), 0);
    EXPECT_EQ(clip->EndTime->Text(), "00:00:00");
    dialogtest::ClickAt(clip.get(), clip->btnOK);
    EXPECT_TRUE(Children(file).empty());
}

TEST_F(ClipDialogTest, PlayStopAndReportsFromAnotherThread) {
    // Whether the play button shows this picture of the skin, pixel for pixel.
    auto shows = [&](const char* picture) {
        TPicture expected;
        expected.LoadFromFile(clip->Skin().PicturePath(picture, ssNormal));
        TBitmap* shown = clip->btnPlay->PicNormal()->Bitmap();
        TBitmap* wanted = expected.Bitmap();
        if (shown->Width() != wanted->Width() || shown->Height() != wanted->Height()) return false;
        for (int y = 0; y < wanted->Height(); ++y)
            for (int x = 0; x < wanted->Width(); ++x)
                if (shown->Canvas()->Pixels(x, y) != wanted->Canvas()->Pixels(x, y)) return false;
        return true;
    };
    Open(file);
    player.Take();
    EXPECT_TRUE(clip->Playing());
    EXPECT_TRUE(shows("btnPause"));
    // The first Play pauses without opening the row again.
    dialogtest::ClickAt(clip.get(), clip->btnPlay);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"pausePlay"});
    EXPECT_TRUE(shows("btnPlay"));
    // Presses while nothing plays count no pending seek.
    clip->TotalTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    clip->TotalTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(clip->PendingSeeks(), 0);
    clip->btnPlayClick(nullptr);
    player.Take();

    auto report = [](int seconds, int ended) {
        std::thread([=] {
            PlayTimeInfo info{};
            info.minutes = seconds / 60;
            info.seconds = seconds % 60;
            info.ended = ended;
            OnPlayerTime(&info);
        }).join();
    };
    report(42, 0);
    EXPECT_EQ(clip->TotalTrackBar->Position(), 0);
    testsupport::PumpWindows();
    EXPECT_EQ(clip->TotalTrackBar->Position(), 42);

    // btnPlayTrim seeks to the start bar's second; its press makes one report stale.
    clip->StartTrackBar->SetPosition(12);
    clip->btnPlayTrimMouseDown(nullptr, mbLeft, {}, 0, 0);
    EXPECT_TRUE(clip->SeekInProgress());
    clip->btnPlayTrimMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"findDvdTimePlay 12"});
    report(50, 0);
    report(13, 0);
    testsupport::PumpWindows();
    EXPECT_EQ(clip->TotalTrackBar->Position(), 13);

    // Stop clears the seek flag, so the end of the stream resets the play button.
    clip->TotalTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    dialogtest::ClickAt(clip.get(), clip->btnStop);
    EXPECT_FALSE(clip->SeekInProgress());
    EXPECT_EQ(player.Take(), std::vector<std::string>{"stopPlay 1"});
    clip->btnPlayClick(nullptr);
    EXPECT_EQ(player.Take(), (std::vector<std::string>{"openMediaFile /media/clip.mp4 0-100", "startPlay"}));
    report(0, 1);
    EXPECT_TRUE(clip->Playing());
    testsupport::PumpWindows();
    EXPECT_FALSE(clip->Playing());
    EXPECT_FALSE(clip->Opened());
}

// Under LeakSanitizer every record the list copies must be released again.
TEST_F(ClipDialogTest, OpenAddDeleteCancelCyclesLeaveNothingBehind) {
    Open(file);
    dialogtest::ClickAt(clip.get(), clip->btnOK);
    const MediaItem& segment = Item(file->FirstChild);
    const int mediaRefs = jobmodel::ShareCount(segment.mediaInfo);
    answer = IDNO;
    for (int cycle = 0; cycle < 20; ++cycle) {
        Open(file);
        dialogtest::ClickAt(clip.get(), clip->btnAdd);
        dialogtest::ClickAt(clip.get(), clip->btnAdd);
        dialogtest::ClickAt(clip.get(), clip->btnDelete);
        dialogtest::ClickAt(clip.get(), clip->btnCancel);
    }
    EXPECT_EQ(jobmodel::ShareCount(segment.mediaInfo), mediaRefs);
    EXPECT_EQ(jobmodel::ShareCount(segment.crop), 1);
    EXPECT_EQ(Children(file), std::vector<std::string>{"clip(1) 0-100"});
    EXPECT_EQ(Item(file).segmentCounter, 1);
    EXPECT_EQ(messages.size(), 20u);
}

// The main window's commands: the dialog gets the selected row (a segment row: its parent),
// the main preview is closed before and attached again after.
TEST_F(ClipDialogTest, TheMainWindowsCommandsOpenTheDialogsOnTheSelectedRow) {
    auto main = std::make_unique<TfrmMain>(nullptr);
    frmMain = main.get();
    // As at start: the dialogs reach the program through the main window.
    clip = std::make_unique<TfrmClip>(nullptr, main.get());
    clip->AfterConstruction();
    frmClip = clip.get();
    auto edit = std::make_unique<TfrmEdit>(nullptr, main.get());
    frmEdit = edit.get();
    main->AfterConstruction();
    edit->AfterConstruction();
    main->Show();
    testsupport::PumpWindows();
    MediaInfo* info = jobmodel::NewMediaInfo();
    info->durationSeconds = 50;
    PVastNode row = jobmodel::TreeRows::NodeOf(jobmodel::AppendFileRow(*main->Rows, "/media/movie.mp4", info, names));
    main->NodeTree->SetSelected(row, true);
    player.Take();

    player.onStartPlay = [&] {
        EXPECT_EQ(clip->SelectedSegment() ? jobmodel::FieldText(clip->SelectedSegment()->row.source) : "",
                  "Segment_1");
        clip->EndTrackBar->SetPosition(20);
        clip->btnOKClick(nullptr);
    };
    main->clipClick(nullptr);
    std::vector<std::string> calls = player.Take();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "stopPlay 1");
    EXPECT_EQ(calls[1], "close_sdl");
    EXPECT_EQ(calls.end()[-1], "initPlayOption Default.bmp bj.bmp 360x270");  // the main preview again
    ASSERT_NE(row->FirstChild, nullptr);
    EXPECT_EQ(jobmodel::ItemOf(*main->NodeTree, row->FirstChild)->timeRange->end, 20);

    // From the segment row the dialog cuts its parent; No keeps everything.
    main->NodeTree->ClearSelection();
    main->NodeTree->SetSelected(row->FirstChild, true);
    player.onStartPlay = [&] {
        EXPECT_EQ(clip->SelectedSegment() ? jobmodel::FieldText(clip->SelectedSegment()->name) : "", "movie(1)");
        dialogtest::ClickAt(clip.get(), clip->btnAdd);
        clip->btnCancelClick(nullptr);
    };
    main->clipClick(nullptr);
    EXPECT_EQ(row->ChildCount, 1u);

    // Edit: the selected row's records change at OK.
    main->NodeTree->ClearSelection();
    main->NodeTree->SetSelected(row, true);
    player.onStartPlay = [&] {
        edit->AdjustVolume->SetPosition(100);
        edit->btnOKClick(nullptr);
    };
    main->editClick(nullptr);
    EXPECT_EQ(jobmodel::ItemOf(*main->NodeTree, row)->effect->volume, 100);
    EXPECT_EQ(player.Take().end()[-1], "initPlayOption Default.bmp bj.bmp 360x270");

    edit.reset();
    main.reset();
    frmMain = nullptr;
    frmClip = nullptr;
    frmEdit = nullptr;
}

// The segment list as the user reads it, with the main window's row pictures and enough
// segments for two-digit names and a scroll bar: every column shows on the list without a
// sideways scroll, no header and no cell is cut short with "...".
TEST_F(ClipDialogTest, TheSegmentListShowsNamesAndTimesWhole) {
    auto main = std::make_unique<TfrmMain>(nullptr);
    frmMain = main.get();
    main->AfterConstruction();
    clip = std::make_unique<TfrmClip>(nullptr, main.get());
    clip->AfterConstruction();
    Open(file);
    for (int i = 0; i < 29; ++i) clip->btnAddClick(nullptr);
    treeview::TVastStringTree* tree = clip->ClipNodeTree;
    ASSERT_EQ(Titles().size(), 30u);
    ASSERT_NE(tree->Images(), nullptr);
    std::vector<std::string> shortened;
    tree->OnShortenString = [&](treeview::TBaseVastTree*, TCanvas*, PVastNode, treeview::TColumnIndex column,
                                const std::string& text, int space, std::string&, bool&) {
        shortened.push_back(std::to_string(column) + ": " + text + " in " + std::to_string(space));
    };
    // Painted at the top and scrolled to the bottom (the longest names).
    tree->Invalidate();
    dialogtest::Screenshot(clip.get(), "clip-segments.png");
    tree->ScrollIntoView(tree->GetLast(), false);
    tree->Invalidate();
    dialogtest::Screenshot(clip.get(), "clip-segments-end.png");
    EXPECT_EQ(shortened, std::vector<std::string>{});

    treeview::TVastTreeColumns* columns = tree->Header()->Columns();
    TBitmap scratch;
    scratch.SetSize(8, 8);
    scratch.Canvas()->SetFont(tree->Header()->Font());
    int total = 0;
    for (int c = 0; c < columns->Count(); ++c) {
        treeview::TVastTreeColumn* column = columns->Items(c);
        SCOPED_TRACE(column->Text());
        // The heading's text stands inside its button's edges (2 pixels a side) and margins.
        EXPECT_LE(scratch.Canvas()->TextWidth(column->Text()) + 2 * (column->Margin() + 2), column->Width());
        total += column->Width();
    }
    EXPECT_LE(total, tree->ClientWidth());
    clip->btnCancelClick(nullptr);
    frmMain = nullptr;
}

// What the dialog takes of the program comes from the host it was made with: the job list
// its segments are written to when the caller names none, the pictures of the list's rows,
// and the point the preview is placed from.
TEST_F(ClipDialogTest, TheHostGivesTheJobListItsPicturesAndThePreviewsOrigin) {
    TImageList images(nullptr);
    struct JobListHost : DialogHost {
        jobmodel::JobRows* rows;
        TCustomImageList* images;
        JobListHost(jobmodel::JobRows* r, TCustomImageList* i) : rows(r), images(i) {}
        jobmodel::JobRows* JobList() override { return rows; }
        TCustomImageList* JobImages() override { return images; }
        std::optional<TPoint> PreviewOrigin() override { return TPoint(300, 200); }
    } host(&jobRows, &images);
    clip = std::make_unique<TfrmClip>(nullptr, &host);
    clip->AfterConstruction();
    clip->SetClipItem(&Item(file), 0, jobmodel::TreeRows::RowOf(file));
    clip->Show();
    testsupport::PumpWindows();
    EXPECT_EQ(clip->ClipNodeTree->Images(), &images);
    EXPECT_EQ(player.placedAt, TPoint(300 + clip->ClipPlayPanel->Left(), 200 + clip->ClipPlayPanel->Top()));
    clip->EndTrackBar->SetPosition(30);
    dialogtest::ClickAt(clip.get(), clip->btnOK);
    EXPECT_EQ(Children(file), std::vector<std::string>{"clip(1) 0-30"});
    clip.reset();  // before the pictures it shows
}

TEST_F(ClipDialogTest, Screenshot) {
    Open(file);
    dialogtest::ClickAt(clip.get(), clip->btnAdd);
    clip->StartTrackBar->SetPosition(25);
    clip->EndTrackBar->SetPosition(70);
    clip->TotalTrackBar->SetPosition(40);
    dialogtest::Screenshot(clip.get(), "clip.png");
    EXPECT_EQ(clip->Width(), clip->Skin().Width());
    EXPECT_EQ(Titles().size(), 2u);
}

}  // namespace
