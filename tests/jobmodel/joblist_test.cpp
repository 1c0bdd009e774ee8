// The job list's rows: file names, groups, clip segments, renaming, delete and the other
// row commands, built headless over a real tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobmodel/joblist.h"
#include "jobmodel/jobrows.h"
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

// A job list whose nodes take their check boxes from their records, as the window's.
struct JobList {
    treeview::TVastStringTree tree{nullptr};
    TreeRows rows{tree};
    std::unordered_set<std::string> names;
    JobList() {
        auto* options = tree.TreeOptions();
        options->SetSelectionOptions(options->SelectionOptions() | treeview::toMultiSelect);
        tree.OnInitNode = [](treeview::TBaseVastTree* t, PVastNode, PVastNode node, treeview::TVastNodeInitStates&) {
            InitItemNode(*t, node);
        };
    }
    ~JobList() { ClearItemTree(rows); }

    Row File(const std::string& path, int seconds) {
        MediaInfo* info = NewMediaInfo();
        info->duration = seconds;
        info->durationSeconds = seconds;
        return AppendFileRow(rows, path, info, names);
    }
    MediaItem& Item(Row row) { return *rows.Item(row); }
    std::string Name(Row row) { return FieldText(Item(row).name); }
    void Select(std::initializer_list<Row> selected) {
        tree.ClearSelection();
        for (Row r : selected) rows.SetSelected(r, true);
    }
    // The tree as "name[child child]" in order, top level joined by blanks.
    std::string Shape(Row parent = nullptr) {
        std::string out;
        for (Row n = rows.FirstChild(parent); n; n = rows.NextSibling(n)) {
            out += (out.empty() ? "" : " ") + Name(n);
            if (rows.FirstChild(n)) out += "[" + Shape(n) + "]";
        }
        return out;
    }
    bool Checked(Row row) { return rows.Checked(row); }
    treeview::TCheckType CheckType(Row row) { return tree.GetCheckType(TreeRows::NodeOf(row)); }
};

// The clip dialog's segment list.
struct Segments {
    treeview::TVastStringTree tree{nullptr};
    TreeRows rows{tree};
    ~Segments() { ClearItemTree(rows); }
};

TEST(JobRows, FileNamesAreUniqueAmongFileRowsOnly) {
    struct Case {
        std::vector<std::string> existing;  // paths added first
        std::string added;
        std::string name;
    };
    const std::vector<Case> cases = {
        {{"/a/clip.avi", "/b/clip_1.avi"}, "/c/clip.avi", "clip_2"},
        {{"/b/clip_1.avi", "/a/clip.avi"}, "/c/clip.avi", "clip_2"},  // one walk would give clip_1 twice
        {{"/a/clip.avi"}, "/c/clip.mkv", "clip_1"},
        {{}, "/m/movie", "movie"},
        {{}, "/m/archive.tar.gz", "archive.tar"},
        {{"/a/Clip.avi"}, "/c/clip.avi", "clip"},  // letter case counts
        {{"/a/\xff\xfe.avi"}, "/b/\xff\xfe.mkv", "\xff\xfe_1"},  // any bytes
    };
    for (const Case& c : cases) {
        JobList list;
        for (const auto& p : c.existing) list.File(p, 10);
        Row node = list.File(c.added, 10);
        EXPECT_EQ(list.Name(node), c.name) << c.added;
        EXPECT_EQ(FieldText(list.Item(node).row.destination), c.name + ".flv");
    }

    // Group and DVD rows named like the file are not compared.
    JobList list;
    Row a = list.File("/a/x.avi", 10);
    Row b = list.File("/a/y.avi", 10);
    list.Select({a, b});
    GroupCounters counters;
    Row group = CreateGroupItem(list.rows, mkMerge, counters);
    CopyTextField(list.Item(group).name, "clip");
    Row dvd = list.rows.Add(nullptr);
    InitMediaItem(list.Item(dvd));
    list.Item(dvd).kind = mkDvdTitle;
    CopyTextField(list.Item(dvd).name, "clip");
    list.names = FileRowNames(list.rows);
    EXPECT_EQ(list.Name(list.File("/c/clip.avi", 10)), "clip");
}

TEST(JobRows, AFileRowShowsItsProbeAndTheWorkingOptions) {
    CustomSetting defaults{}, current{};
    InitCustomSetting(defaults);
    InitCustomSetting(current);
    current.IsCustom = 0;
    defaults.VideoBitRate = 111;
    current.VideoBitRate = 222;
    CustomSetting* savedCurrent = CurrentCustomSetting;
    CustomSetting* savedDefault = DefaultCustomSetting;
    CurrentCustomSetting = &current;
    DefaultCustomSetting = &defaults;

    JobList list;
    MediaInfo* info = NewMediaInfo();
    info->duration = 59.2;
    info->durationSeconds = 59;
    const std::string longName = "/v/" + std::string(40, 'n') + ".avi";
    Row node = AppendFileRow(list.rows, longName, info, list.names);
    const MediaItem& item = list.Item(node);
    EXPECT_EQ(FieldText(item.row.source), std::string(30, 'n'));
    EXPECT_EQ(FieldText(item.row.originalLength), "00:01:00");
    EXPECT_EQ(FieldText(item.row.trimmedLength), "00:01:00");
    EXPECT_EQ(item.timeRange->end, 59);
    EXPECT_EQ(item.mediaInfo, info);
    EXPECT_EQ(ShareCount(info), 1);
    EXPECT_EQ(item.segmentCounter, 1);
    EXPECT_EQ(item.customSetting->VideoBitRate, 111);  // the working record is not custom
    EXPECT_TRUE(list.Checked(node));
    current.IsCustom = 1;
    EXPECT_EQ(list.Item(list.File("/v/b.avi", 5)).customSetting->VideoBitRate, 222);

    CurrentCustomSetting = savedCurrent;
    DefaultCustomSetting = savedDefault;
}

TEST(JobRows, MergeMakesOneGroupOfTheSelectedRowsAndUnchecksThem) {
    JobList list;
    RecordingHost host;
    GroupCounters counters;
    Row a = list.File("/v/a.avi", 90);
    Row b = list.File("/v/b.avi", 30);

    list.Select({a});
    EXPECT_EQ(MakeGroup(list.rows, mkMerge, counters, host), nullptr);
    ASSERT_EQ(host.messages, std::vector<std::string>{"Need more than two files are selected!"});
    EXPECT_EQ(counters.merge, 0);
    EXPECT_EQ(host.optionLoads, 0);

    list.Select({a, b});
    Row group = MakeGroup(list.rows, mkMerge, counters, host);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(host.optionLoads, 1);
    const MediaItem& g = list.Item(group);
    EXPECT_EQ(list.Shape(), "a b Merge1[a b]");
    EXPECT_EQ(FieldText(g.row.originalLength), "00:02:00");
    EXPECT_EQ(FieldText(g.row.trimmedLength), "00:02:00");
    EXPECT_EQ(FieldText(g.row.destination), "Merge1.flv");
    EXPECT_EQ(g.imageIndex, 2);
    EXPECT_EQ(g.mediaInfo, list.Item(a).mediaInfo);  // shared with the first selected row
    EXPECT_FALSE(list.Checked(a));
    EXPECT_FALSE(list.Checked(b));
    EXPECT_TRUE(list.Checked(group));
    EXPECT_TRUE(list.rows.Selected(group));
    EXPECT_EQ(list.rows.SelectedCount(), 1);
    EXPECT_TRUE(list.rows.Expanded(group));

    // Members share the source's crop, effect and media information, and own a copy of
    // its time range; they show "--" and a merge member no output name.
    Row member = list.rows.FirstChild(group);
    const MediaItem& m = list.Item(member);
    EXPECT_EQ(m.crop, list.Item(a).crop);
    EXPECT_EQ(m.effect, list.Item(a).effect);
    EXPECT_NE(m.timeRange, list.Item(a).timeRange);
    EXPECT_EQ(m.timeRange->end, 90);
    EXPECT_EQ(m.kind, mkMerge);
    EXPECT_EQ(m.sourceKind, mkFile);
    EXPECT_EQ(ItemCellText(list.rows, member, 1), "--");
    EXPECT_EQ(ItemCellText(list.rows, member, 3), "");
    EXPECT_EQ(ItemCellText(list.rows, group, 3), "Merge1.flv");
    EXPECT_EQ(ItemImageIndex(list.rows, group, 0), 2);
    EXPECT_EQ(ItemImageIndex(list.rows, group, 1), -1);
    EXPECT_EQ(list.CheckType(member), treeview::ctNone);
}

TEST(JobRows, SlideMembersNameTheGroupNumberAndAGroupGivesItsMembers) {
    JobList list;
    RecordingHost host;
    GroupCounters counters{0, 1};
    Row a = list.File("/v/a.avi", 10);
    Row b = list.File("/v/b.avi", 20);
    list.Select({a, b});
    Row slide = MakeGroup(list.rows, mkSlide, counters, host);
    EXPECT_EQ(host.optionLoads, 0);  // a slide show takes the working record as it stands
    EXPECT_EQ(list.Name(slide), "Slide2");
    EXPECT_EQ(list.Item(slide).customSetting->SwfType, stProgressive);
    EXPECT_EQ(FieldText(list.Item(list.rows.FirstChild(slide)).row.destination), "a(2).flv");
    EXPECT_EQ(FieldText(list.Item(list.rows.LastChild(slide)).row.destination), "b(2).flv");
    EXPECT_EQ(ItemCellText(list.rows, list.rows.FirstChild(slide), 3), "a(2).flv");

    Row c = list.File("/v/c.avi", 5);
    list.Select({slide, c});
    Row merge = MakeGroup(list.rows, mkMerge, counters, host);
    EXPECT_EQ(list.Shape(merge), "a b c");
    EXPECT_EQ(FieldText(list.Item(merge).row.trimmedLength), "00:00:35");
    for (Row m = list.rows.FirstChild(merge); m; m = list.rows.NextSibling(m)) EXPECT_EQ(list.Item(m).imageIndex, 0);
}

TEST(JobRows, ClipSegmentsLoadAndStoreAndRelinkTheGroupCopies) {
    JobList list;
    Row clip = list.File("/v/clip.avi", 100);
    Row other = list.File("/v/other.avi", 7);

    Segments segments;
    LoadClipSegments(segments.rows, list.rows, clip);
    ASSERT_EQ(segments.rows.TopCount(), 1);
    Row first = segments.rows.FirstChild(nullptr);
    MediaItem& s1 = *segments.rows.Item(first);
    EXPECT_EQ(FieldText(s1.row.source), "Segment_1");
    EXPECT_EQ(FieldText(s1.name), "clip(1)");
    EXPECT_EQ(FieldText(s1.row.destination), "clip(1).flv");
    EXPECT_TRUE(segments.rows.Selected(first));
    EXPECT_NE(s1.crop, list.Item(clip).crop);  // own copies

    // The dialog trims the segment and adds a second.
    *s1.timeRange = {10, 40};
    Row second = segments.rows.Add(nullptr);
    MediaItem& s2 = *segments.rows.Item(second);
    CopyMediaItem(s2, s1);
    CopyTextField(s2.name, "clip(2)");
    *s2.timeRange = {50, 55};
    s2.segmentCounter = 3;
    StoreClipSegments(segments.rows, list.rows, clip);
    ClearItemTree(segments.rows);
    ASSERT_EQ(list.Shape(clip), "clip(1) clip(2)");
    const MediaItem& seg = list.Item(list.rows.FirstChild(clip));
    EXPECT_EQ(seg.kind, mkSegment);
    EXPECT_EQ(seg.imageIndex, 1);
    EXPECT_EQ(FieldText(seg.row.trimmedLength), "00:00:30");
    EXPECT_EQ(list.Item(list.rows.LastChild(clip)).segmentCounter, 3);
    EXPECT_EQ(list.CheckType(list.rows.FirstChild(clip)), treeview::ctTriStateCheckBox);
    EXPECT_TRUE(list.Checked(list.rows.FirstChild(clip)));
    EXPECT_FALSE(list.Checked(clip));
    EXPECT_TRUE(list.rows.Expanded(clip));

    // A merge of the first segment and another row; the clip dialog then changes the
    // segment: the member follows the new one, the other member keeps its own length.
    list.Select({list.rows.FirstChild(clip), other});
    GroupCounters counters;
    Row merge = CreateGroupItem(list.rows, mkMerge, counters);
    EXPECT_EQ(FieldText(list.Item(merge).row.trimmedLength), "00:00:37");
    EXPECT_EQ(list.Item(list.rows.FirstChild(merge)).sourceKind, mkSegment);

    LoadClipSegments(segments.rows, list.rows, clip);
    EXPECT_EQ(segments.rows.TopCount(), 2);
    *segments.rows.Item(segments.rows.FirstChild(nullptr))->timeRange = {0, 3};
    DeleteItemSiblings(list.rows, list.rows.FirstChild(clip));
    EXPECT_EQ(list.rows.FirstChild(clip), nullptr);
    StoreClipSegments(segments.rows, list.rows, clip);
    DeleteItemSiblings(segments.rows, segments.rows.FirstChild(nullptr));
    EXPECT_EQ(segments.rows.TopCount(), 0);
    const MediaItem& relinked = list.Item(list.rows.FirstChild(merge));
    EXPECT_EQ(relinked.crop, list.Item(list.rows.FirstChild(clip)).crop);
    EXPECT_EQ(relinked.timeRange->end, 3);
    EXPECT_EQ(relinked.kind, mkMerge);
    EXPECT_EQ(FieldText(relinked.row.originalLength), "--");
    EXPECT_EQ(FieldText(list.Item(merge).row.trimmedLength), "00:00:10");
}

TEST(JobList, RenamingTheOutputName) {
    struct Case {
        const char* typed;  // nullptr: the edit is cancelled
        std::string destination;
    };
    const std::vector<Case> cases = {
        {"clip1", "clip1.flv"}, {"", "movie.flv"},     {"a:b", "ab.flv"},         {"a/b", "ab.flv"},
        {"../../x", "x.flv"},   {"..", "movie.flv"},   {"my.movie", "my.movie.flv"}, {nullptr, "movie.flv"},
        {"<*?|\"\\>", "movie.flv"},
    };
    for (const Case& c : cases) {
        JobList list;
        Row node = list.File("/v/movie.avi", 10);
        MediaItem& item = list.Item(node);
        const std::string before = BeginDestinationEdit(item);
        EXPECT_EQ(ItemCellText(list.rows, node, 3), "movie");  // the editor shows no extension
        if (c.typed) {
            SetNewDestinationText(item, c.typed);
            EndDestinationEdit(item);
        } else {
            CancelDestinationEdit(item, before);
        }
        EXPECT_EQ(FieldText(item.row.destination), c.destination) << (c.typed ? c.typed : "(cancel)");
        EXPECT_EQ(list.Name(node), "movie");  // a file row keeps its name
    }

    // A pasted name longer than the field is cut so the name and ".flv" fit.
    JobList list;
    Row node = list.File("/v/movie.avi", 10);
    MediaItem& item = list.Item(node);
    BeginDestinationEdit(item);
    SetNewDestinationText(item, std::string(600, 'x'));
    EndDestinationEdit(item);
    EXPECT_EQ(FieldText(item.row.destination), std::string(495, 'x') + ".flv");

    // A group takes the text as its name too; a member of a slide show only as its output.
    Row b = list.File("/v/b.avi", 10);
    list.Select({node, b});
    GroupCounters counters;
    Row slide = CreateGroupItem(list.rows, mkSlide, counters);
    BeginDestinationEdit(list.Item(slide));
    SetNewDestinationText(list.Item(slide), "show");
    EndDestinationEdit(list.Item(slide));
    EXPECT_EQ(list.Name(slide), "show");
    EXPECT_EQ(FieldText(list.Item(slide).row.destination), "show.flv");
    MediaItem& member = list.Item(list.rows.FirstChild(slide));
    SetNewDestinationText(member, "first");
    EXPECT_EQ(FieldText(member.name), "movie");
    EXPECT_EQ(FieldText(member.row.destination), "first");

    // Only column 3 edits, and never on a merge member.
    list.Select({list.rows.FirstChild(slide)});
    EXPECT_TRUE(ClickEditsDestination(list.rows, 3));
    EXPECT_FALSE(ClickEditsDestination(list.rows, 2));
    list.Select({node, b});
    Row merge = CreateGroupItem(list.rows, mkMerge, counters);
    list.Select({list.rows.FirstChild(merge)});
    EXPECT_FALSE(ClickEditsDestination(list.rows, 3));
    list.tree.ClearSelection();
    EXPECT_FALSE(ClickEditsDestination(list.rows, 3));
}

TEST(JobList, DeleteCascadesThroughSegmentsAndGroups) {
    JobList list;
    GroupCounters counters;
    Row file = list.File("/v/file.avi", 100);
    Row third = list.File("/v/third.avi", 25);
    // Two segments of file, each merged with the third row.
    Segments segments;
    LoadClipSegments(segments.rows, list.rows, file);
    Row extra = segments.rows.Add(nullptr);
    CopyMediaItem(*segments.rows.Item(extra), *segments.rows.Item(segments.rows.FirstChild(nullptr)));
    CopyTextField(segments.rows.Item(extra)->name, "file(2)");
    StoreClipSegments(segments.rows, list.rows, file);
    ClearItemTree(segments.rows);
    list.Select({list.rows.FirstChild(file), third});
    Row m1 = CreateGroupItem(list.rows, mkMerge, counters);
    list.Select({list.rows.LastChild(file), third});
    Row m2 = CreateGroupItem(list.rows, mkMerge, counters);
    ASSERT_EQ(list.Shape(), "file[file(1) file(2)] third Merge1[file(1) third] Merge2[file(2) third]");

    MediaInfo* fileInfo = list.Item(file).mediaInfo;
    EXPECT_EQ(ShareCount(fileInfo), 1);
    list.Select({file});
    DeleteSelectedRows(list.rows);
    EXPECT_EQ(list.Shape(), "third Merge1[third] Merge2[third]");
    EXPECT_EQ(FieldText(list.Item(m1).row.originalLength), "00:00:25");
    EXPECT_EQ(FieldText(list.Item(m2).row.trimmedLength), "00:00:25");

    // The only member of a group: the group goes too. A group and its member in one
    // command: both once, nothing else.
    list.Select({list.rows.FirstChild(m1)});
    DeleteSelectedRows(list.rows);
    EXPECT_EQ(list.Shape(), "third Merge2[third]");
    list.Select({m2, list.rows.FirstChild(m2)});
    DeleteSelectedRows(list.rows);
    EXPECT_EQ(list.Shape(), "third");
    EXPECT_EQ(ShareCount(list.Item(third).crop), 1);  // every member's share was dropped

    // A member of a group that keeps others: the group's lengths follow.
    Row four = list.File("/v/four.avi", 4);
    list.Select({third, four});
    Row m3 = CreateGroupItem(list.rows, mkSlide, counters);
    list.Select({list.rows.FirstChild(m3)});
    DeleteSelectedRows(list.rows);
    EXPECT_EQ(FieldText(list.Item(m3).row.trimmedLength), "00:00:04");
    list.tree.ClearSelection();
    DeleteSelectedRows(list.rows);  // nothing selected: nothing happens
    EXPECT_EQ(list.Shape(), "third four Slide1[four]");
}

TEST(JobList, CheckAllMoveAndClearAll) {
    JobList list;
    Row a = list.File("/v/a.avi", 10);
    Row b = list.File("/v/b.avi", 10);
    Row c = list.File("/v/c.avi", 10);
    Segments segments;
    LoadClipSegments(segments.rows, list.rows, a);
    StoreClipSegments(segments.rows, list.rows, a);
    ClearItemTree(segments.rows);
    list.Select({b, c});
    GroupCounters counters;
    Row group = CreateGroupItem(list.rows, mkMerge, counters);

    SetAllChecked(list.rows, true);
    for (Row n = NextRowInOrder(list.rows, nullptr); n; n = NextRowInOrder(list.rows, n)) EXPECT_TRUE(list.Checked(n)) << list.Name(n);
    SetAllChecked(list.rows, false);
    for (Row n = NextRowInOrder(list.rows, nullptr); n; n = NextRowInOrder(list.rows, n)) EXPECT_FALSE(list.Checked(n)) << list.Name(n);

    list.Select({a});
    EXPECT_FALSE(MoveSelectedRow(list.rows, true));
    EXPECT_TRUE(MoveSelectedRow(list.rows, false));
    EXPECT_EQ(list.Shape(), "b a[a(1)] c Merge1[b c]");
    list.Select({group});
    EXPECT_FALSE(MoveSelectedRow(list.rows, false));
    list.Select({list.rows.FirstChild(group)});
    EXPECT_TRUE(MoveSelectedRow(list.rows, false));  // members move among themselves
    EXPECT_EQ(list.Shape(group), "c b");
    list.tree.ClearSelection();
    EXPECT_FALSE(MoveSelectedRow(list.rows, true));

    MediaInfo* shared = list.Item(b).mediaInfo;
    EXPECT_EQ(ShareCount(shared), 3);  // b, its member and the group
    EXPECT_TRUE(ClearAllRows(list.rows));
    EXPECT_EQ(list.tree.RootNodeCount(), 0u);
    EXPECT_FALSE(ClearAllRows(list.rows));
}

TEST(JobList, CopyMarksRemoveOnlyTheMarkedMembers) {
    JobList list;
    GroupCounters counters;
    Row a = list.File("/v/a.avi", 10);
    Row b = list.File("/v/b.avi", 20);
    Row c = list.File("/v/c.avi", 30);
    list.Select({a, b});
    Row g1 = CreateGroupItem(list.rows, mkMerge, counters);
    list.Select({a, c});
    Row g2 = CreateGroupItem(list.rows, mkSlide, counters);
    list.Select({a, c});
    CreateGroupItem(list.rows, mkSlide, counters);

    MarkGroupCopies(list.rows, list.Item(a));
    MarkGroupCopies(list.rows, list.Item(c));
    ClearCopyMarks(list.rows);
    DeleteMarkedCopies(list.rows);
    EXPECT_EQ(list.Shape(), "a b c Merge1[a b] Slide1[a c] Slide2[a c]");

    MarkGroupCopies(list.rows, list.Item(a));
    list.Item(list.rows.LastChild(g2)).copyMark = 1;
    DeleteMarkedCopies(list.rows);
    EXPECT_EQ(list.Shape(), "a b c Merge1[b] Slide2[c]");
    EXPECT_EQ(FieldText(list.Item(g1).row.trimmedLength), "00:00:20");
}

TEST(JobList, TheCheckByteFlipsAndSeedsTheNode) {
    MediaItem item{};
    item.row.checkState = 2;
    FlipItemCheckByte(item);
    EXPECT_EQ(item.row.checkState, 0);
    FlipItemCheckByte(item);
    EXPECT_EQ(item.row.checkState, 1);
    for (char key : std::string("/\\:*?\"<>|")) EXPECT_TRUE(IsSwallowedNameKey(key)) << key;
    for (char key : std::string("a.-_ 1")) EXPECT_FALSE(IsSwallowedNameKey(key)) << key;
}

}  // namespace
}  // namespace jobmodel
