// The job list's rules over rows kept in memory, without a tree control: adding files,
// merging, clip segments and the checked rows a Convert reads.
#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "jobmodel/convertcmd.h"
#include "jobmodel/convertplan.h"
#include "jobmodel/joblist.h"
#include "jobmodel/jobrows.h"
#include "tests/jobmodel/memoryrows.h"

namespace jobmodel {
namespace {

using testing::MemoryRows;

struct List {
    MemoryRows rows;
    std::unordered_set<std::string> names;
    GroupCounters counters;
    ~List() { ClearItemTree(rows); }

    Row File(const std::string& path, int seconds) {
        MediaInfo* info = NewMediaInfo();
        info->duration = seconds;
        info->durationSeconds = seconds;
        return AppendFileRow(rows, path, info, names);
    }
    std::string Name(Row row) { return FieldText(rows.Item(row)->name); }
    void Select(std::initializer_list<Row> selected) {
        rows.ClearSelection();
        for (Row r : selected) rows.SetSelected(r, true);
    }
    // The rows as "name[child child]", top level joined by blanks; a checked row ends in "*".
    std::string Shape(Row parent = nullptr) {
        std::string out;
        for (Row r = rows.FirstChild(parent); r; r = rows.NextSibling(r)) {
            out += (out.empty() ? "" : " ") + Name(r) + (rows.Checked(r) ? "*" : "");
            if (rows.FirstChild(r)) out += "[" + Shape(r) + "]";
        }
        return out;
    }
    // Cuts `row` into segments of the given ranges, as the clip dialog's OK does.
    void Cut(Row row, std::initializer_list<std::pair<int, int>> ranges) {
        MemoryRows segments;
        int n = 0;
        for (auto [start, end] : ranges) {
            Row s = segments.Add(nullptr);
            CopyMediaItem(*segments.Item(s), *rows.Item(row));
            CopyDvdFields(*segments.Item(s), *rows.Item(row));
            CopyTextField(segments.Item(s)->name, (Name(row) + "(" + std::to_string(++n) + ")").c_str());
            *segments.Item(s)->timeRange = {start, end};
        }
        if (Row first = rows.FirstChild(row)) DeleteItemSiblings(rows, first);
        StoreClipSegments(segments, rows, row);
        ClearItemTree(segments);
    }
};

TEST(RowRules, AddedFilesGoToTheEndCheckedAndNamedApart) {
    List list;
    for (const char* path : {"/a/clip.avi", "/b/clip.mkv", "/c/other.avi", "/d/clip.mp4"}) list.File(path, 10);
    EXPECT_EQ(list.Shape(), "clip* clip_1* other* clip_2*");
    const MediaItem& last = *list.rows.Item(list.rows.LastChild(nullptr));
    EXPECT_EQ(last.role, rrFile);
    EXPECT_EQ(last.imageIndex, 0);
    EXPECT_EQ(FieldText(last.row.destination), "clip_2.flv");
    EXPECT_EQ(list.rows.TopCount(), 4);
}

// Each case selects rows of "a b c" (and groups made before it) and merges or slides them.
TEST(RowRules, GroupsTakeTheSelectedRowsAndUncheckThem) {
    struct Case {
        const char* what;
        std::vector<std::vector<int>> groups;  // the top-level rows selected for each group, in turn
        std::vector<MediaItemKind> kinds;
        std::string shape;
        std::string lastLength;
    };
    const std::vector<Case> cases = {
        {"merge of two", {{0, 1}}, {mkMerge}, "a b c* Merge1*[a b]", "00:00:30"},
        {"slide of three", {{0, 1, 2}}, {mkSlide}, "a b c Slide1*[a b c]", "00:01:00"},
        {"a group gives its members", {{0, 1}, {2, 3}}, {mkMerge, mkSlide}, "a b c Merge1[a b] Slide1*[c a b]",
         "00:01:00"},
        {"one row is no group", {{0}}, {mkMerge}, "a* b* c*", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        List list;
        std::vector<Row> top = {list.File("/v/a.avi", 10), list.File("/v/b.avi", 20), list.File("/v/c.avi", 30)};
        struct : JobHost {
            void LoadOptionRecord() override {}
        } host;
        Row group = nullptr;
        for (std::size_t g = 0; g < c.groups.size(); ++g) {
            list.rows.ClearSelection();
            for (int index : c.groups[g]) list.rows.SetSelected(top[index], true);
            group = MakeGroup(list.rows, c.kinds[g], list.counters, host);
            if (group) top.push_back(group);
        }
        EXPECT_EQ(list.Shape(), c.shape);
        if (c.lastLength.empty()) {
            EXPECT_EQ(group, nullptr);
            continue;
        }
        const MediaItem& g = *list.rows.Item(group);
        EXPECT_EQ(FieldText(g.row.trimmedLength), c.lastLength);
        EXPECT_EQ(g.role, g.kind == mkMerge ? rrMergeGroup : rrSlideGroup);
        EXPECT_TRUE(IsGroupRow(g));
        EXPECT_EQ(list.rows.SelectedRows(), std::vector<Row>{group});
        EXPECT_EQ(list.rows.Focused(), group);
        for (Row m = list.rows.FirstChild(group); m; m = list.rows.NextSibling(m)) {
            EXPECT_TRUE(IsGroupMember(*list.rows.Item(m)));
            EXPECT_EQ(ItemCellText(list.rows, m, 1), "--");
        }
    }
}

TEST(RowRules, SegmentsAreRowsOfTheirOwnAndTheirCopiesFollowThem) {
    List list;
    Row clip = list.File("/v/clip.avi", 100);
    Row other = list.File("/v/other.avi", 7);
    list.Cut(clip, {{10, 40}, {50, 55}});
    EXPECT_EQ(list.Shape(), "clip[clip(1)* clip(2)*] other*");
    Row first = list.rows.FirstChild(clip);
    EXPECT_EQ(list.rows.Item(first)->role, rrSegment);
    EXPECT_EQ(list.rows.Item(first)->imageIndex, 1);
    EXPECT_EQ(FieldText(list.rows.Item(first)->row.trimmedLength), "00:00:30");

    // A merge of the first segment and another row; the segment cut again: the copy follows.
    list.Select({first, other});
    Row merge = CreateGroupItem(list.rows, mkMerge, list.counters);
    EXPECT_EQ(FieldText(list.rows.Item(merge)->row.trimmedLength), "00:00:37");
    list.Cut(clip, {{0, 3}});
    EXPECT_EQ(FieldText(list.rows.Item(merge)->row.trimmedLength), "00:00:10");
    EXPECT_EQ(list.rows.Item(list.rows.FirstChild(merge))->timeRange->end, 3);

    // Deleting the row takes its segments and their copies; the group keeps its other member.
    list.Select({clip});
    DeleteSelectedRows(list.rows);
    EXPECT_EQ(list.Shape(), "other Merge1*[other]");
    EXPECT_EQ(ShareCount(list.rows.Item(other)->crop), 2);  // the row and its one copy
}

TEST(RowRules, TheCheckedRowsAreWhatAConvertCounts) {
    List list;
    Row a = list.File("/v/a.avi", 10);
    Row b = list.File("/v/b.avi", 20);
    list.File("/v/c.avi", 30);
    list.Cut(a, {{0, 4}});
    EXPECT_TRUE(HasCheckedRow(list.rows));
    EXPECT_EQ(ConvertTotalSeconds(list.rows), 20 + 30 + 4);  // a was unchecked by its cut

    list.Select({b, list.rows.LastChild(nullptr)});
    Row slide = CreateGroupItem(list.rows, mkSlide, list.counters);
    EXPECT_EQ(list.rows.CheckedRows(), (std::vector<Row>{list.rows.FirstChild(a), slide}));
    EXPECT_EQ(ConvertTotalSeconds(list.rows), 4 + 50);  // a group counts its members

    SetAllChecked(list.rows, false);
    EXPECT_FALSE(HasCheckedRow(list.rows));
    EXPECT_EQ(list.rows.Item(slide)->row.checkState, 0);  // the record follows the box
    SetAllChecked(list.rows, true);
    EXPECT_EQ(list.rows.CheckedRows().size(), 7u);  // every row at every level

    list.Select({slide});
    EXPECT_TRUE(MoveSelectedRow(list.rows, true));
    EXPECT_EQ(list.Shape(), "a*[a(1)*] b* Slide1*[b* c*] c*");
}

// The plan holds copies: what happens to the rows after Convert was pressed reaches none
// of it, and a planned row is found again by its record until it is deleted.
TEST(RowRules, TheConvertPlanCopiesTheCheckedRows) {
    List list;
    Row a = list.File("/v/a.avi", 10);
    Row b = list.File("/v/b.avi", 20);
    Row c = list.File("/v/c.avi", 30);
    list.Cut(a, {{2, 6}});
    list.Select({b, c});
    Row merge = CreateGroupItem(list.rows, mkMerge, list.counters);
    // A DVD segment merged: its member is planned with the segment and the segment's row.
    Row title = list.rows.Add(nullptr);
    MediaItem& t = *list.rows.Item(title);
    InitMediaItem(t);
    t.kind = t.dvdKind = mkDvdTitle;
    CopyTextField(t.name, "title");
    list.Cut(title, {{5, 9}});
    list.Select({list.rows.FirstChild(title), merge});
    Row dvdMerge = CreateGroupItem(list.rows, mkMerge, list.counters);
    for (Row r : {merge, list.rows.FirstChild(title)}) SetRowCheckState(list.rows, r, true);
    Drop(list.rows.Item(list.rows.FirstChild(a))->mediaInfo);  // a segment without media information

    const ConvertPlan plan = MakeConvertPlan(list.rows);
    ASSERT_EQ(plan.jobs.size(), 4u);  // a's segment, the merge, the title's segment, the DVD merge
    const PlannedRow& segment = *plan.jobs[0];
    EXPECT_EQ(segment.record, list.rows.Item(list.rows.FirstChild(a)));
    EXPECT_EQ(FieldText(segment.item.name), "a(1)");
    ASSERT_TRUE(segment.parent);
    EXPECT_EQ(segment.parent->record, list.rows.Item(a));
    EXPECT_EQ(segment.item.mediaInfo, nullptr);  // a missing record stays missing
    EXPECT_NE(segment.item.timeRange, list.rows.Item(list.rows.FirstChild(a))->timeRange);
    EXPECT_EQ(ShareCount(segment.item.customSetting), 1);

    const PlannedRow& merged = *plan.jobs[1];
    ASSERT_EQ(merged.members.size(), 2u);
    EXPECT_EQ(FieldText(merged.members[1]->item.name), "c");
    EXPECT_EQ(merged.members[1]->item.timeRange->end, 30);
    EXPECT_FALSE(merged.members[0]->segment);  // a file member needs no segment

    const PlannedRow& dvd = *plan.jobs[3];
    EXPECT_EQ(dvd.record, list.rows.Item(dvdMerge));
    ASSERT_EQ(dvd.members.size(), 3u);  // the merge's two members, then the title's segment
    ASSERT_TRUE(dvd.members[2]->segment);
    EXPECT_EQ(dvd.members[2]->segment->record, list.rows.Item(list.rows.FirstChild(title)));
    EXPECT_EQ(dvd.members[2]->segment->parent->record, &t);
    EXPECT_FALSE(dvd.members[1]->segment);

    // Later changes stay in the list.
    list.rows.Item(list.rows.LastChild(merge))->timeRange->end = 1;
    CopyTextField(list.rows.Item(merge)->name, "renamed");
    EXPECT_EQ(merged.members[1]->item.timeRange->end, 30);
    EXPECT_EQ(FieldText(merged.item.name), "Merge1");
    EXPECT_EQ(FindRowOf(list.rows, merged.record), merge);
    list.Select({merge});
    DeleteSelectedRows(list.rows);
    EXPECT_EQ(FindRowOf(list.rows, merged.record), nullptr);
    EXPECT_EQ(FieldText(merged.members[0]->item.name), "b");  // the plan keeps what it copied
}

}  // namespace
}  // namespace jobmodel
