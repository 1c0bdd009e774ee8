// DVD loading: row names, the DVD tree from a hand-made disc and from the DVD fixture,
// replace or reopen, the drive menu and drive ids, removals through the udev monitor's
// injected events, the playback record, time ranges, stream choices and the DVD window's
// OK and Cancel.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fixtures/dvd_fixture.h"
#include "jobmodel/dvdload.h"
#include "jobmodel/joblist.h"
#include "jobmodel/jobrows.h"
#include "jobmodel/treerows.h"
#include "platform/core/messages.h"
#include "platform/windows/devicemonitor.h"
#include "platform/windows/messages.h"
#include "treeview/vststrings.h"

namespace jobmodel {
namespace {

namespace fs = std::filesystem;
using treeview::PVastNode;

struct RecordingHost : JobHost {
    std::vector<std::string> log;  // "message:<text>", "ask", "window", "stop", "menu:<n>"
    bool answer = false;
    bool modal = false;
    void ShowMessage(const std::string& text) override { log.push_back("message:" + text); }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        EXPECT_EQ(text, kReplaceDvdText);
        EXPECT_EQ(caption, "Information");
        log.push_back("ask");
        return answer;
    }
    void LoadOptionRecord() override {}
    void StopPreview() override { log.push_back("stop"); }
    void ShowDvdWindow() override { log.push_back("window"); }
    bool ModalOpen() override { return modal; }
    void DriveMenuChanged(const std::vector<DriveMenuEntry>& entries) override {
        log.push_back("menu:" + std::to_string(entries.size()));
    }
    std::string Take() {
        std::string out;
        for (auto& l : log) out += (out.empty() ? "" : " ") + l;
        log.clear();
        return out;
    }
};

// A tree control with the job model's view of it: the model's calls take it as their rows.
struct ItemTree : treeview::TVastStringTree {
    TreeRows rows{*this};
    operator JobRows&() { return rows; }
    static Row R(PVastNode node) { return TreeRows::RowOf(node); }
    static PVastNode N(Row row) { return TreeRows::NodeOf(row); }
    ItemTree() : treeview::TVastStringTree(nullptr) {
        OnInitNode = [](treeview::TBaseVastTree* t, PVastNode, PVastNode node, treeview::TVastNodeInitStates&) {
            InitItemNode(*t, node);
        };
    }
    ~ItemTree() override { ClearItemTree(rows); }
    MediaItem& Item(PVastNode node) { return *ItemOf(*this, node); }
    std::string Names(PVastNode parent = nullptr) {
        std::string out;
        for (PVastNode n = parent ? parent->FirstChild : RootNode()->FirstChild; n; n = n->NextSibling) {
            out += (out.empty() ? "" : " ") + FieldText(Item(n).name);
            if (n->FirstChild) out += "[" + Names(n) + "]";
        }
        return out;
    }
};

// A disc made by hand: title sets of titles of chapters of the given lengths.
struct FakeDisc {
    DvdDisc disc{};
    std::deque<DvdTitleSet> sets;
    std::deque<std::vector<DvdTitle>> titles;
    std::deque<std::vector<DvdChapter>> chapters;
    std::deque<std::string> ifos;

    DvdTitle& AddTitle(int set, int number, std::vector<int> lengths, int audio = 0, int subtitles = 0) {
        while (static_cast<int>(sets.size()) < set) {
            sets.push_back(DvdTitleSet{});
            sets.back().number = static_cast<int>(sets.size());
            titles.emplace_back();
            titles.back().reserve(16);
            ifos.push_back("/disc/VIDEO_TS/VTS_0" + std::to_string(sets.size()) + "_0.IFO");
        }
        auto& list = titles[set - 1];
        list.push_back(DvdTitle{});
        DvdTitle& t = list.back();
        t.present = 1;
        t.titleNumber = number;
        t.ifoPath = ifos[set - 1].c_str();
        t.titleSetNumber = set;
        t.titleSetTitle = static_cast<int>(list.size());
        chapters.emplace_back();
        int total = 0;
        for (int length : lengths) {
            DvdChapter c{};
            c.present = 1;
            c.number = static_cast<int>(chapters.back().size());
            c.lengthSeconds = length;
            c.lengthMs = length * 1000;
            std::snprintf(c.lengthText, sizeof c.lengthText, "00:00:%02d", length);
            chapters.back().push_back(c);
            total += length;
        }
        t.lengthSeconds = total;
        std::snprintf(t.lengthText, sizeof t.lengthText, "00:00:%02d", total);
        t.chapterCount = static_cast<int>(lengths.size());
        t.chapters = chapters.back().data();
        for (auto& c : chapters.back()) c.title = &t;
        t.audioCount = audio;
        for (int i = 0; i < audio; ++i) {
            std::snprintf(t.audio[i].name, sizeof t.audio[i].name, "%d: English", i + 1);
            t.audio[i].id = 4 + i;
        }
        t.subtitleCount = subtitles;
        for (int i = 0; i < subtitles; ++i) {
            std::snprintf(t.subtitles[i].name, sizeof t.subtitles[i].name, "%d: German", i + 1);
            t.subtitles[i].id = 20 + i;
        }
        t.palette[3][1] = 77;
        return t;
    }
    DvdDisc* Done() {
        std::snprintf(disc.path, sizeof disc.path, "/disc");
        disc.titleSetCount = static_cast<int>(sets.size());
        for (size_t i = 0; i < sets.size(); ++i) {
            sets[i].titleCount = static_cast<int>(titles[i].size());
            sets[i].titles = titles[i].data();
        }
        // The title sets as one array, as the reader gives them.
        setArray.assign(sets.begin(), sets.end());
        disc.titleSets = setArray.data();
        return &disc;
    }
    std::vector<DvdTitleSet> setArray;
};

// The recording converter and reader.
struct Recorder {
    int probes = 0;
    std::vector<int> parses;  // 0 folder, 1 IFO
    int parseResult = 0;
    DvdDisc* disc = nullptr;
    DvdDriveList drives{};
    int driveResult = 0;
    const DvdChapter* lastChapter = nullptr;
} rec;

GroupMediaUIOption* FakeGroup(GroupMediaUIOption** g, const DvdDisc*, const char*, std::int32_t) {
    *g = static_cast<GroupMediaUIOption*>(std::calloc(1, sizeof(GroupMediaUIOption)));
    return *g;
}
MediaUIOption* FakeInput(GroupMediaUIOption*, const DvdChapter* chapter) {
    rec.lastChapter = chapter;
    static MediaUIOption input;
    return &input;
}
std::int32_t FakeProperties(MediaInfo* info) {
    ++rec.probes;
    EXPECT_NE(info->group, nullptr);
    info->width = 720;
    info->durationSeconds = rec.lastChapter ? rec.lastChapter->lengthSeconds : 0;
    return 0;
}
void FakeFree(GroupMediaUIOption** g) {
    std::free(*g);
    *g = nullptr;
}
std::int32_t FakeParse(DvdDisc** disc, const char*, std::int32_t) {
    rec.parses.push_back(0);
    if (rec.parseResult == 0) *disc = rec.disc;
    return rec.parseResult;
}
std::int32_t FakeParseIfo(DvdDisc** disc, const char*, std::int32_t) {
    rec.parses.push_back(1);
    if (rec.parseResult == 0) *disc = rec.disc;
    return rec.parseResult;
}
std::int32_t FakeDrives(DvdDriveList* list) {
    if (rec.driveResult) return rec.driveResult;
    *list = rec.drives;
    return 0;
}

DvdLibrary FakeLibrary() {
    DvdLibrary lib;
    lib.getAllDVDRomInfo = FakeDrives;
    lib.parseDVD = FakeParse;
    lib.parseIFO = FakeParseIfo;
    lib.createGroupForDvd = FakeGroup;
    lib.createDvdInput = FakeInput;
    lib.getDVDProperties = FakeProperties;
    lib.freeGroup = FakeFree;
    return lib;
}

struct DvdLoad : ::testing::Test {
    DvdLibrary lib = FakeLibrary();
    void SetUp() override {
        rec = Recorder{};
        SetDvdLibrary(&lib);
    }
    void TearDown() override { SetDvdLibrary(nullptr); }
};

TEST_F(DvdLoad, RowNames) {
    FakeDisc fd;
    DvdTitle& t = fd.AddTitle(1, 4, {1});
    struct Case {
        const char* ifo;
        int title, chapter;  // chapter -1: the title row
        const char* name;
    };
    const std::vector<Case> cases = {
        {"/d/VIDEO_TS/VTS_03_0.IFO", 4, -1, "title_03_05"},
        {"/d/VIDEO_TS/VTS_03_0.IFO", 4, 0, "chapter_03_05_01"},
        {"/d/VIDEO_TS/VTS_01_0.IFO", 10, -1, "title_01_11"},
        {"/d/VIDEO_TS/VTS_01_0.IFO", 0, 1, "chapter_01_01_02"},
        {"D:\\VIDEO_TS\\VTS_02_0.IFO", 0, -1, "title_02_01"},
        {"/d/VIDEO/VTS.IFO", 0, -1, "title__01"},  // no "_": no volume text
        {"/d_x/V_1", 0, -1, "title_1_01"},        // the name ends sooner
    };
    for (const Case& c : cases) {
        t.ifoPath = c.ifo;
        t.titleNumber = c.title;
        DvdChapter chapter{};
        chapter.number = c.chapter;
        EXPECT_EQ(DvdRowName(t, c.chapter < 0 ? nullptr : &chapter), c.name) << c.ifo;
    }
}

TEST_F(DvdLoad, TheTreeHoldsPresentTitlesAndChaptersWithTheirStreams) {
    FakeDisc fd;
    fd.AddTitle(1, 0, {10, 20}, 2, 1);
    fd.AddTitle(1, 1, {5}).present = 0;
    fd.AddTitle(1, 2, {7, 8, 9});
    fd.chapters.back()[1].present = 0;
    fd.AddTitle(2, 3, {30});
    fd.AddTitle(3, 4, {1});
    fd.titles[2].clear();  // a title set without titles
    DvdDisc* disc = fd.Done();

    ItemTree dvd;
    RecordingHost host;
    BuildDvdTree(dvd, disc, host);
    EXPECT_EQ(dvd.Names(), "[title_01_01[chapter_01_01_01 chapter_01_01_02] title_01_03[chapter_01_03_01 "
                           "chapter_01_03_03] title_02_04[chapter_02_04_01]]");
    PVastNode root = dvd.RootNode()->FirstChild;
    EXPECT_EQ(FieldText(dvd.Item(root).row.source), "/disc");
    EXPECT_EQ(dvd.GetCheckType(root), treeview::ctNone);
    PVastNode title = root->FirstChild;
    const MediaItem& t = dvd.Item(title);
    EXPECT_EQ(t.kind, mkDvdTitle);
    EXPECT_EQ(t.imageIndex, 1);
    EXPECT_EQ(t.audioId, 4);
    EXPECT_EQ(t.subtitleId, 20);
    EXPECT_EQ(FieldText(t.row.originalLength), "00:00:30");
    EXPECT_EQ(FieldText(t.row.destination), "title_01_01");
    EXPECT_EQ(t.timeRange->end, 30);
    EXPECT_NE(t.customSetting, nullptr);
    EXPECT_EQ(dvd.GetCheckState(title), treeview::csCheckedNormal);
    EXPECT_EQ(dvd.GetCheckState(title->FirstChild), treeview::csUncheckedNormal);
    EXPECT_EQ(dvd.Item(title->LastChild).dvdChapterNumber, 1);
    EXPECT_EQ(dvd.Item(title->LastChild).timeRange->end, 20);
    EXPECT_TRUE(dvd.GetExpanded(root));
    EXPECT_TRUE(dvd.GetExpanded(title));
    EXPECT_TRUE(dvd.GetSelected(title));
    EXPECT_EQ(dvd.SelectedCount(), 1);

    // A title without streams: ids -1, and the job list's menus offer only "none".
    const MediaItem& quiet = dvd.Item(title->NextSibling);
    EXPECT_EQ(quiet.audioId, -1);
    EXPECT_EQ(quiet.subtitleId, -1);
    StreamMenus menus = ItemStreamMenus(quiet);
    EXPECT_TRUE(menus.streamsEnabled);
    EXPECT_FALSE(menus.moveEnabled);
    ASSERT_EQ(menus.audio.size(), 1u);
    EXPECT_EQ(menus.audio[0], std::make_pair(std::string("No Audio"), -1));
    ASSERT_EQ(menus.subtitles.size(), 1u);
    EXPECT_EQ(menus.subtitles[0], std::make_pair(std::string("No Subtitle"), -1));
    menus = ItemStreamMenus(t);
    ASSERT_EQ(menus.audio.size(), 2u);
    EXPECT_EQ(menus.audio[1], std::make_pair(std::string("2: English"), 5));
    EXPECT_EQ(menus.subtitles.back().first, "No Subtitle");

    // One probe per title set; every row its own media information with its own length.
    EXPECT_EQ(rec.probes, 2);
    EXPECT_EQ(dvd.Item(title->FirstChild).mediaInfo->durationSeconds, 10);
    EXPECT_EQ(dvd.Item(title->FirstChild).mediaInfo->width, 720);
    EXPECT_NE(dvd.Item(title->FirstChild).mediaInfo, t.mediaInfo);
    EXPECT_EQ(ShareCount(t.mediaInfo), 1);
}

TEST_F(DvdLoad, ReplaceOrReopen) {
    FakeDisc fd;
    fd.AddTitle(1, 0, {10});
    rec.disc = fd.Done();
    struct Case {
        bool ifo;
        bool sameLoaded;    // the loaded path is the one loaded again
        bool jobRows;       // the job list has rows
        bool answer;
        std::string log;    // what the host saw
        bool parsed;
        bool reopen;
    };
    const std::vector<Case> cases = {
        {false, true, true, true, "stop ask window", false, true},
        {false, true, true, false, "stop ask", false, false},
        {false, false, true, true, "stop ask window", true, false},
        {false, false, true, false, "stop ask window", false, true},
        {false, true, false, false, "stop window", true, false},  // an empty job list forgets the folder
        {true, true, true, true, "stop ask window", false, true},
        {true, false, true, true, "stop ask window", true, false},
        {true, false, true, false, "stop ask window", false, true},
        {true, true, false, false, "stop ask", false, false},  // an IFO file asks even then
    };
    for (const Case& c : cases) {
        ItemTree jobs, dvd;
        RecordingHost host;
        host.answer = c.answer;
        DvdLoadState state;
        state.loadedPath = "/old";
        if (c.jobRows) InitMediaItem(jobs.Item(jobs.AddChild(nullptr)));
        const std::string path = c.sameLoaded ? "/old" : "/new";
        rec.parses.clear();
        if (c.ifo) LoadIfoFile(state, jobs, dvd, path, host);
        else LoadDvdFolder(state, jobs, dvd, path, host);
        const std::string what = (c.ifo ? "ifo " : "folder ") + path + (c.jobRows ? " rows" : "") +
                                 (c.answer ? " yes" : " no");
        EXPECT_EQ(host.Take(), c.log) << what;
        EXPECT_EQ(rec.parses.size(), c.parsed ? 1u : 0u) << what;
        EXPECT_EQ(state.reopen, c.reopen) << what;
        if (c.parsed) {
            EXPECT_EQ(state.loadedPath, path);
            EXPECT_EQ(state.loadedDisc, rec.disc);
            EXPECT_EQ(dvd.Names(), "[title_01_01[chapter_01_01_01]]");
        }
    }

    // A failed parse says so and forgets the loaded path: the same path parses again.
    ItemTree jobs, dvd;
    RecordingHost host;
    DvdLoadState state;
    InitMediaItem(jobs.Item(jobs.AddChild(nullptr)));
    LoadDvdFolder(state, jobs, dvd, "/disc", host);
    EXPECT_EQ(host.Take(), "stop window");
    rec.parseResult = DVD_ERR_DAMAGED;
    host.answer = true;
    LoadDvdFolder(state, jobs, dvd, "/other", host);
    ASSERT_EQ(host.log.size(), 3u);
    EXPECT_EQ(host.log[2].rfind("message:Can't load the DVD", 0), 0u) << host.log[2];
    EXPECT_NE(host.log[2].find("/other"), std::string::npos);
    host.log.clear();
    EXPECT_EQ(state.loadedPath, "");
    EXPECT_EQ(dvd.RootNodeCount(), 0u);
    EXPECT_EQ(jobs.RootNodeCount(), 1u);  // the job list loses nothing
    rec.parseResult = 0;
    rec.parses.clear();
    LoadDvdFolder(state, jobs, dvd, "/other", host);
    EXPECT_EQ(host.Take(), "stop window");
    EXPECT_EQ(rec.parses.size(), 1u);
}

TEST_F(DvdLoad, DriveMenuAndDriveIds) {
    rec.drives.count = 3;
    const char* texts[] = {"FILMS (/dev/sr0)", "CD (/dev/sr1)", "No disc (/dev/sr2)"};
    for (int i = 0; i < 3; ++i) {
        rec.drives.entries[i].driveId = static_cast<char>('D' + i);
        std::snprintf(rec.drives.entries[i].text, sizeof rec.drives.entries[i].text, "%s", texts[i]);
        rec.drives.entries[i].listed = i != 1;
    }
    DvdLoadState state;
    std::vector<DriveMenuEntry> entries;
    ASSERT_TRUE(BuildDriveMenu(state, entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].caption, "D:\\FILMS (/dev/sr0)");
    EXPECT_EQ(entries[1].caption, "F:\\No disc (/dev/sr2)");
    EXPECT_EQ(entries[1].driveId, 'F');
    EXPECT_EQ(state.driveCount, 3);
    EXPECT_EQ(state.nonDvdDriveCount, 1);
    EXPECT_EQ(DriveRootOf('E'), "E:\\");
    rec.driveResult = DVD_ERR_SYSTEM;
    EXPECT_FALSE(BuildDriveMenu(state, entries));
    EXPECT_TRUE(entries.empty());

    // Drive ids of paths: a drive root, or the optical drive mounted where the path lies.
    const fs::path root = fs::path(::testing::TempDir()) / ("dvdload-root-" + std::to_string(getpid()));
    fs::create_directories(root / "proc/self");
    std::ofstream(root / "proc/self/mounts") << "/dev/vda1 / ext4 rw 0 0\n"
                                                "/dev/sr1 /media/my\\040disc iso9660 ro 0 0\n"
                                                "/dev/sr0 /media/a udf ro 0 0\n"
                                                "/dev/sr2 /media/a/inner udf ro 0 0\n"
                                                "/dev/sr30 /media/far udf ro 0 0\n";
    struct Case {
        std::string path;
        char id;
    };
    const std::vector<Case> cases = {
        {"e:\\", 'E'}, {"E:", 'E'}, {"E:/", 'E'}, {"1:\\", 0}, {"E:\\x", 0},
        {"/media/my disc", 'E'}, {"/media/my disc/VIDEO_TS/", 'E'}, {"/media/my discs", 0},
        {"/media/a/VIDEO_TS/VTS_01_0.IFO", 'D'}, {"/media/a/inner/VIDEO_TS", 'F'}, {"/media/a/../my disc", 'E'},
        {"/media/far", 0}, {"/home/me/dvd", 0}, {"relative/path", 0}, {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(DriveIdOfPath(c.path, root.string()), c.id) << c.path;
    EXPECT_EQ(DriveIdOfPath("/media/a", (root / "none").string()), 0);
    fs::remove_all(root);
}

TEST_F(DvdLoad, PlaybackRecordTimeRangesAndStreamChoices) {
    FakeDisc fd;
    fd.AddTitle(1, 6, {10, 20}, 2, 2);
    DvdDisc* disc = fd.Done();
    ItemTree dvd, jobs;
    RecordingHost host;
    BuildDvdTree(dvd, disc, host);
    PVastNode title = dvd.RootNode()->FirstChild->FirstChild;

    DvdPlaybackInfo info{};
    info.titleNumberPlus1 = 99;
    dvd.ClearSelection();
    dvd.SetSelected(dvd.RootNode()->FirstChild, true);
    EXPECT_FALSE(FillSelectedDvdPlaybackInfo(info, dvd, true));
    EXPECT_EQ(info.titleNumberPlus1, 99);  // the disc row fills nothing
    dvd.ClearSelection();
    dvd.SetSelected(title->LastChild, true);
    ChooseAudioEntry(dvd, dvd.R(title->LastChild), 1);
    ChooseSubtitleEntry(dvd, dvd.R(title->LastChild), 2);  // "No Subtitle"
    ASSERT_TRUE(FillSelectedDvdPlaybackInfo(info, dvd, true));
    EXPECT_EQ(info.titleNumberPlus1, 7);
    EXPECT_EQ(info.titleSetNumber, 1);
    EXPECT_EQ(info.chapterCount, 2);
    EXPECT_EQ(info.chapters, dvd.Item(title).dvdTitle->chapters);
    EXPECT_EQ(info.audioId, 5);
    EXPECT_EQ(info.subtitleId, -1);
    EXPECT_EQ(info.palette[3][1], 77);
    MediaItem file{};
    EXPECT_FALSE(FillDvdPlaybackInfo(info, file));
    EXPECT_EQ(info.audioId, 5);

    // The combos map entries to streams by index; a title's choice reaches its chapters.
    const MediaItem& t = dvd.Item(title);
    EXPECT_EQ(DvdSubtitleEntries(t), (std::vector<std::string>{"1: German", "2: German", "No Subtitle"}));
    EXPECT_EQ(SelectedSubtitleEntry(dvd.Item(title->LastChild)), 2);
    EXPECT_EQ(SelectedAudioEntry(dvd.Item(title->LastChild)), 1);
    ChooseAudioEntry(dvd, dvd.R(title), 1);
    ChooseAudioEntry(dvd, dvd.R(title), 2);  // no such entry: nothing changes
    EXPECT_EQ(dvd.Item(title->FirstChild).audioId, 5);
    ChooseSubtitleEntry(dvd, dvd.R(title), 1);
    EXPECT_EQ(dvd.Item(title->FirstChild).subtitleId, 21);
    EXPECT_EQ(SelectedSubtitleEntry(t), 1);
    ChooseAudioEntry(dvd, dvd.R(title->FirstChild), 0);
    EXPECT_EQ(dvd.Item(title->FirstChild).audioId, 4);
    EXPECT_EQ(dvd.Item(title).audioId, 5);  // a chapter's choice stays its own

    // OK twice gives the same names; the rows share their records with the DVD tree.
    dvd.SetCheckState(title->LastChild, treeview::csCheckedNormal);
    CopyCheckedToJobList(dvd, jobs);
    CopyCheckedToJobList(dvd, jobs);
    ASSERT_EQ(jobs.Names(), "title_01_07 chapter_01_07_02");
    PVastNode first = jobs.RootNode()->FirstChild;
    EXPECT_EQ(FieldText(jobs.Item(first).row.destination), "title_01_07.flv");
    EXPECT_EQ(jobs.Item(first).timeRange, t.timeRange);
    EXPECT_EQ(jobs.Item(first).imageIndex, 0);
    EXPECT_EQ(jobs.Item(first).segmentCounter, 1);
    EXPECT_EQ(jobs.GetCheckState(first->NextSibling), treeview::csCheckedNormal);
    EXPECT_TRUE(jobs.GetSelected(first));

    // A stream choice on a job row reaches the members of its name only.
    PVastNode other = jobs.AddChild(nullptr);
    InitMediaItem(jobs.Item(other));
    CopyTextField(jobs.Item(other).name, "other");
    auto* options = jobs.TreeOptions();
    options->SetSelectionOptions(options->SelectionOptions() | treeview::toMultiSelect);
    jobs.ClearSelection();
    jobs.SetSelected(first, true);
    jobs.SetSelected(other, true);
    GroupCounters counters;
    PVastNode group = jobs.N(CreateGroupItem(jobs, mkMerge, counters));
    jobs.ClearSelection();
    jobs.SetSelected(first, true);
    ApplyStreamChoice(jobs, true, 4);
    ApplyStreamChoice(jobs, false, -1);
    EXPECT_EQ(jobs.Item(group->FirstChild).audioId, 4);
    EXPECT_EQ(jobs.Item(group->FirstChild).subtitleId, -1);
    EXPECT_EQ(jobs.Item(group->LastChild).audioId, 0);
    EXPECT_EQ(jobs.Item(first->NextSibling).audioId, 5);
    EXPECT_FALSE(ItemStreamMenus(jobs.Item(group)).streamsEnabled);
    EXPECT_FALSE(ItemStreamMenus(jobs.Item(group)).moveEnabled);
    EXPECT_TRUE(ItemStreamMenus(jobs.Item(group->FirstChild)).moveEnabled);

    // A run narrowed the chapters; the reset gives every row its whole length back, and
    // the job rows sharing the ranges see it.
    *dvd.Item(title->FirstChild).timeRange = {3, 4};
    *t.timeRange = {1, 2};
    ResetDvdTimeRanges(dvd);
    EXPECT_EQ(dvd.Item(title->FirstChild).timeRange->start, 0);
    EXPECT_EQ(dvd.Item(title->FirstChild).timeRange->end, 10);
    EXPECT_EQ(jobs.Item(first).timeRange->end, 30);

    // Cancel: a fresh parse empties the job list, a reopen keeps it.
    DvdLoadState state;
    state.reopen = true;
    CancelDvdWindow(state, jobs);
    EXPECT_NE(jobs.RootNodeCount(), 0u);
    state.reopen = false;
    CancelDvdWindow(state, jobs);
    EXPECT_EQ(jobs.RootNodeCount(), 0u);
    EXPECT_EQ(ShareCount(t.timeRange), 1);
}

TEST_F(DvdLoad, PreviousAndNext) {
    FakeDisc fd;
    fd.AddTitle(1, 0, {1, 2});
    fd.AddTitle(1, 1, {3, 4});
    ItemTree dvd;
    RecordingHost host;
    BuildDvdTree(dvd, fd.Done(), host);
    PVastNode disc = dvd.RootNode()->FirstChild;
    PVastNode t1 = disc->FirstChild, t2 = disc->LastChild;
    PVastNode c11 = t1->FirstChild, c12 = t1->LastChild, c22 = t2->LastChild;
    using N = NavButton;
    struct Case {
        PVastNode sel;
        bool play;
        N previous, next;
        PVastNode before, after;  // where Previous and Next go
    };
    const std::vector<Case> cases = {
        {disc, false, N::Disabled, N::Disabled, nullptr, t1},
        {t1, true, N::Disabled, N::Enabled, nullptr, c11},
        {c11, true, N::Enabled, N::Enabled, t1, c12},
        {c12, true, N::Unchanged, N::Unchanged, c11, t2},
        {t2, true, N::Unchanged, N::Enabled, c12, t2->FirstChild},
        {c22, true, N::Enabled, N::Disabled, t2->FirstChild, nullptr},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const DvdNavButtons b = DvdNavigation(dvd, dvd.R(c.sel));
        EXPECT_EQ(b.play, c.play) << i;
        EXPECT_EQ(b.previous, c.previous) << i;
        EXPECT_EQ(b.next, c.next) << i;
        EXPECT_EQ(dvd.N(PreviousDvdRow(dvd, dvd.R(c.sel))), c.before) << i;
        EXPECT_EQ(dvd.N(NextDvdRow(dvd, dvd.R(c.sel))), c.after) << i;
    }
    dvd.SetExpanded(t1, false);
    EXPECT_EQ(dvd.N(PreviousDvdRow(dvd, dvd.R(t2))), t1);
    EXPECT_EQ(dvd.N(NextDvdRow(dvd, dvd.R(t1))), t2);
}

// Device messages come from the udev monitor (injected here) through the message queue
// to the main window's handler; the drive list is read from a fake system root.
struct DeviceChanges : DvdLoad {
    fs::path root;
    void SetUp() override {
        DvdLoad::SetUp();
        lib.getAllDVDRomInfo = ::getAllDVDRomInfo;  // the real reader over the fake root
        root = fs::path(::testing::TempDir()) / ("dvdload-sys-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "proc/self");
        std::ofstream(root / "proc/self/mounts") << "/dev/sr1 /media/films udf ro 0 0\n";
        AddDrive(0);
        AddDrive(1);
        setDVDSystemRoot(root.c_str());
    }
    void TearDown() override {
        setDVDSystemRoot(nullptr);
        fs::remove_all(root);
        DvdLoad::TearDown();
    }
    void AddDrive(int n) {
        const fs::path dir = root / "sys/class/block" / ("sr" + std::to_string(n));
        fs::create_directories(dir / "device");
        std::ofstream(dir / "dev") << "11:" << n << "\n";
    }
};

TEST_F(DeviceChanges, ARemovalTakesOnlyThatDiscsRowsAndWaitsForAModalWindow) {
    FakeDisc fd;
    fd.AddTitle(1, 0, {10, 20});
    fd.AddTitle(1, 1, {5});
    DvdDisc* disc = fd.Done();
    ItemTree dvd, jobs;
    auto* options = jobs.TreeOptions();
    options->SetSelectionOptions(options->SelectionOptions() | treeview::toMultiSelect);
    RecordingHost host;
    DvdLoadState state;
    state.systemRoot = root.string();
    rec.disc = disc;
    LoadDvdFolder(state, jobs, dvd, "/media/films/VIDEO_TS", host);
    EXPECT_EQ(state.currentDrive, 'E');
    CopyCheckedToJobList(dvd, jobs);
    std::unordered_set<std::string> names;
    MediaInfo* info = NewMediaInfo();
    info->durationSeconds = 7;
    PVastNode file = jobs.N(AppendFileRow(jobs, "/v/file.avi", info, names));
    jobs.ClearSelection();
    jobs.SetSelected(jobs.RootNode()->FirstChild, true);
    jobs.SetSelected(file, true);
    GroupCounters counters;
    CreateGroupItem(jobs, mkSlide, counters);
    ASSERT_EQ(jobs.Names(), "title_01_01 title_01_02 file Slide1[title_01_01 file]");
    host.log.clear();

    platform::HWND window = platform::AllocateHWnd(
        [&](platform::HWND, platform::UINT msg, platform::WPARAM w, platform::LPARAM l) -> platform::LRESULT {
            if (msg == platform::WM_DEVICECHANGE) return OnDeviceChange(state, jobs, w, l, host);
            return 0;
        });
    platform::TDeviceMonitor monitor(window);
    auto pump = [] {
        platform::MSG m;
        while (platform::PeekMessage(&m, nullptr, 0, 0, platform::PM_REMOVE)) platform::DispatchMessage(&m);
    };
    auto event = [](const char* action, const char* node) {
        platform::TDeviceEvent e;
        e.action = action;
        e.devnode = node;
        return e;
    };

    // Another drive goes, an unknown device, a devnodes change: the list stays.
    fs::remove_all(root / "sys/class/block/sr0");
    EXPECT_EQ(monitor.Inject(event("remove", "/dev/sr0")), platform::DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(monitor.Inject(event("remove", "/dev/sda")), 0u);
    platform::PostMessage(window, platform::WM_DEVICECHANGE, platform::DBT_DEVNODES_CHANGED, 0);
    platform::PostMessage(window, platform::WM_DEVICECHANGE, platform::DBT_DEVICEREMOVECOMPLETE, 'Q');
    pump();
    EXPECT_EQ(host.Take(), "menu:1 menu:1");
    EXPECT_EQ(jobs.RootNodeCount(), 4u);

    // The loaded disc's drive goes while a modal window is open: nothing until it closes.
    host.modal = true;
    fs::remove_all(root / "sys/class/block/sr1");
    monitor.Inject(event("remove", "/dev/sr1"));
    pump();
    EXPECT_EQ(host.Take(), "menu:0");
    EXPECT_EQ(jobs.RootNodeCount(), 4u);
    RunPendingDvdRemoval(state, jobs, host);
    EXPECT_EQ(jobs.RootNodeCount(), 4u);
    host.modal = false;
    RunPendingDvdRemoval(state, jobs, host);
    EXPECT_EQ(jobs.Names(), "file Slide1[file]");
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_NE(host.log[0].find("drive E: was removed"), std::string::npos) << host.log[0];
    EXPECT_EQ(FieldText(jobs.Item(jobs.RootNode()->LastChild).row.trimmedLength), "00:00:07");
    EXPECT_EQ(state.loadedPath, "");
    EXPECT_EQ(dvd.RootNodeCount(), 1u);  // the DVD tree is left as it was
    host.log.clear();

    // A medium taken out of the drive of a loaded disc, named by the event.
    AddDrive(1);
    LoadDvdFolder(state, jobs, dvd, "E:\\", host);
    CopyCheckedToJobList(dvd, jobs);
    host.log.clear();
    platform::TDeviceEvent eject = event("change", "/dev/sr1");
    eject.properties = {{"DISK_EJECT_REQUEST", "1"}};
    EXPECT_EQ(monitor.Inject(eject), platform::DBT_DEVICEREMOVECOMPLETE);
    pump();
    EXPECT_EQ(jobs.RootNodeCount(), 0u);
    platform::DeallocateHWnd(window);
}

TEST(DeviceMonitor, WhatAnEventMeans) {
    struct Case {
        platform::TDeviceEvent event;
        platform::WPARAM message;
    };
    const std::vector<Case> cases = {
        {{"add", "block", "/dev/sr0", {}}, platform::DBT_DEVICEARRIVAL},
        {{"remove", "block", "/dev/sr12", {}}, platform::DBT_DEVICEREMOVECOMPLETE},
        {{"change", "block", "/dev/sr0", {{"DISK_MEDIA_CHANGE", "1"}, {"ID_CDROM_MEDIA", "1"}}}, platform::DBT_DEVICEARRIVAL},
        {{"change", "block", "/dev/sr0", {{"DISK_MEDIA_CHANGE", "1"}}}, platform::DBT_DEVICEREMOVECOMPLETE},
        {{"change", "block", "/dev/sr0", {}}, 0},
        {{"add", "block", "/dev/sda", {}}, 0},
        {{"add", "block", "/dev/cdrom-odd", {{"ID_CDROM", "1"}}}, platform::DBT_DEVICEARRIVAL},
        {{"add", "usb", "/dev/sr0", {}}, 0},
        {{"bind", "block", "/dev/sr0", {}}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::OpticalDeviceMessage(c.event), c.message) << c.event.action << " " << c.event.devnode;
    EXPECT_EQ(platform::OpticalDriveId("/dev/sr0"), 'D');
    EXPECT_EQ(platform::OpticalDriveId("/dev/sr22"), 'Z');
    EXPECT_EQ(platform::OpticalDriveId("/dev/sr23"), 0);
    EXPECT_EQ(platform::OpticalDriveId("/dev/sr"), 0);
    EXPECT_EQ(platform::OpticalDriveId("/dev/sr1x"), 0);
    // Started or not (a machine without udev), stopping it is clean.
    platform::TDeviceMonitor monitor(nullptr);
    monitor.Start();
}

// The DVD fixture through the real reader and converter.
TEST(DvdFixture, LoadsIntoTheTreeAndTheJobList) {
    const auto fx = lumacast::fixtures::LoadDvdFixture();
    ItemTree dvd, jobs;
    RecordingHost host;
    DvdLoadState state;
    LoadDvdFolder(state, jobs, dvd, fx.root, host);
    ASSERT_EQ(host.Take(), "stop window");
    EXPECT_EQ(dvd.Names(), "[title_01_01[chapter_01_01_01 chapter_01_01_02] title_01_02[chapter_01_02_01] "
                           "title_02_03[chapter_02_03_01 chapter_02_03_02 chapter_02_03_03]]");
    PVastNode title = dvd.RootNode()->FirstChild->FirstChild;
    const MediaItem& t = dvd.Item(title);
    EXPECT_EQ(t.mediaInfo->durationSeconds, t.dvdTitle->lengthSeconds);
    EXPECT_EQ(t.mediaInfo->width, 720);
    EXPECT_EQ(DvdAudioEntries(t).size(), 2u);
    PVastNode pal = title->NextSibling->NextSibling;
    EXPECT_EQ(dvd.Item(pal).mediaInfo->height, 576);
    EXPECT_EQ(dvd.Item(pal->FirstChild).mediaInfo->height, 576);
    EXPECT_EQ(dvd.Item(pal).subtitleId, -1);

    // A folder that is not a DVD: the user is told, the job list keeps its rows.
    const fs::path notDvd = fs::path(::testing::TempDir()) / ("not-a-dvd-" + std::to_string(getpid()));
    fs::create_directories(notDvd / "VIDEO_TS");
    std::ofstream(notDvd / "VIDEO_TS/VIDEO_TS.IFO") << "not an information file";
    InitMediaItem(jobs.Item(jobs.AddChild(nullptr)));
    host.answer = true;
    LoadDvdFolder(state, jobs, dvd, notDvd.string(), host);
    ASSERT_EQ(host.log.size(), 3u);
    EXPECT_EQ(host.log[2].rfind("message:Can't load the DVD", 0), 0u) << host.log[2];
    EXPECT_EQ(jobs.RootNodeCount(), 1u);
    EXPECT_EQ(state.loadedPath, "");
    host.log.clear();
    fs::remove_all(notDvd);
    LoadDvdFolder(state, jobs, dvd, fx.root, host);
    ASSERT_EQ(host.Take(), "stop window");  // the same DVD loads again, without a question
    title = dvd.RootNode()->FirstChild->FirstChild;

    // The chapter of the first title checked, the second audio stream chosen, OK.
    dvd.SetCheckState(title->LastChild, treeview::csCheckedNormal);
    ChooseAudioEntry(dvd, dvd.R(title), 1);
    CopyCheckedToJobList(dvd, jobs);
    EXPECT_EQ(jobs.Names(), "title_01_01 chapter_01_01_02 title_01_02 title_02_03");
    EXPECT_EQ(jobs.Item(jobs.RootNode()->FirstChild->NextSibling).audioId, dvd.Item(title).dvdTitle->audio[1].id);
}

}  // namespace
}  // namespace jobmodel
