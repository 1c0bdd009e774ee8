#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <utility>

#include "tests/jobmodel/itemlists.h"

namespace jobmodel {

namespace {

using itemlists::Lists;
using treeview::PVastNode;

// Trims of a title with three 300-second chapters, one after another in one run (the
// ranges a trim leaves behind must not leak into the next).
TEST(MapTrimToChapters, SpreadsTrimsOverChapters) {
    Lists lists;
    auto title = lists.AddDvdTitle("Title 1", {300, 300, 300});
    auto row = lists.Add(lists.jobs, nullptr, mkDvdTitle, "Title 1");
    const struct {
        int start, end;
        const char* ranges;
    } cases[] = {
        {100, 500, "100-300 0-200 0-0"},
        {300, 500, "0-0 0-200 0-0"},  // a start on a boundary starts the next chapter at 0
        {400, 500, "0-0 100-200 0-0"},
        {100, 800, "100-300 0-300 0-200"},
        {0, 300, "0-300 0-0 0-0"},
        {600, 1200, "0-0 0-0 0-300"},  // an end past the title keeps the last chapter whole
    };
    for (const auto& c : cases) {
        auto segment = lists.Add(lists.jobs, row.node, mkSegment, "Title 1 seg", c.start, c.end);
        EXPECT_EQ(MapTrimToChapters(lists.dvd, *row.item, *segment.item), title.node);
        EXPECT_EQ(lists.ChapterRanges(title.node), c.ranges) << c.start << ".." << c.end;
    }
    // The whole title gives every chapter its full length back.
    EXPECT_EQ(MapTrimToChapters(lists.dvd, *row.item, *row.item), title.node);
    EXPECT_EQ(lists.ChapterRanges(title.node), "0-300 0-300 0-300");
}

TEST(MapTrimToChapters, FindsTheTitleBySourceTextOnly) {
    Lists lists;
    lists.AddDvdTitle("Title 1", {300});
    auto second = lists.AddDvdTitle("Title 2", {60, 60});
    auto row = lists.Add(lists.jobs, nullptr, mkDvdTitle, "Title 2", 30, 90);
    EXPECT_EQ(MapTrimToChapters(lists.dvd, *row.item, *row.item), second.node);

    auto lost = lists.Add(lists.jobs, nullptr, mkDvdTitle, "Title 9", 30, 90);
    EXPECT_EQ(MapTrimToChapters(lists.dvd, *lost.item, *lost.item), nullptr);
    EXPECT_EQ(lists.ChapterRanges(second.node), "0-60 0-60");  // untouched
    Lists empty;
    EXPECT_EQ(MapTrimToChapters(empty.dvd, *row.item, *row.item), nullptr);
}

// Clearing one list drops only that list's references: rows of the other list that share
// the records stay whole.
TEST(ClearItemTree, ReleasesOnlyItsOwnReferences) {
    Lists lists;
    auto title = lists.AddDvdTitle("Title 1", {10, 20});
    Row chapter = lists.dvd.FirstChild(title.node);
    auto taken = lists.Add(lists.jobs, nullptr, mkDvdChapter, "taken");
    MediaItem& job = *taken.item;
    const MediaItem& source = *lists.dvd.Item(chapter);
    Drop(job.timeRange);
    Drop(job.crop);
    job.timeRange = Share(source.timeRange);
    job.crop = Share(source.crop);
    ASSERT_EQ(ShareCount(job.timeRange), 2);

    ClearItemTree(lists.dvd);
    EXPECT_EQ(lists.dvd.TopCount(), 0);
    EXPECT_EQ(lists.dvdTree.GetFirst(), nullptr);
    EXPECT_EQ(ShareCount(job.timeRange), 1);
    EXPECT_EQ(ShareCount(job.crop), 1);
    EXPECT_EQ(job.timeRange->end, 10);
    ClearItemTree(lists.dvd);  // an empty tree is left alone
    EXPECT_EQ(lists.jobs.TopCount(), 1);
}

// A tree is changed only on the thread that made it: each change from another thread
// fails the check and leaves the tree as it was.
TEST(ItemTreeThread, AChangeFromAnotherThreadFailsTheCheck) {
    if (!treeview::kTreeThreadChecked) GTEST_SKIP() << "the thread check is built into debug and sanitizer builds";
    Lists lists;
    PVastNode row = TreeRows::NodeOf(lists.Add(lists.jobs, nullptr, mkFile, "one").node);
    treeview::TVastStringTree& tree = lists.jobTree;
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"add", [&] { tree.AddChild(nullptr); }},
        {"delete", [&] { tree.DeleteNode(row); }},
        {"check", [&] { tree.SetCheckState(row, treeview::csCheckedNormal); }},
        {"clear", [&] { tree.Clear(); }},
    };
    for (const auto& [name, change] : changes) {
        bool refused = false;
        std::thread other([&, &change = change] {
            try {
                change();
            } catch (const platform::EAssertionFailed&) {
                refused = true;
            }
        });
        other.join();
        EXPECT_TRUE(refused) << name;
        EXPECT_EQ(tree.RootNodeCount(), 1u) << name;
        EXPECT_EQ(tree.RootNode()->FirstChild, row) << name;
        EXPECT_EQ(tree.GetCheckState(row), treeview::csUncheckedNormal) << name;
    }
    // Its own thread still changes it.
    tree.SetCheckState(row, treeview::csCheckedNormal);
    EXPECT_EQ(tree.GetCheckState(row), treeview::csCheckedNormal);
}

}  // namespace

}  // namespace jobmodel
