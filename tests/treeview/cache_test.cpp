// The position cache: built by the worker thread for trees of more than 2000 visible
// nodes, and the lookups of nodes by position with and without it.
#include <gtest/gtest.h>

#include <functional>

#include "platform/core/clock.h"
#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;

// Runs the worker's state messages until the cache is in use or nothing more comes.
bool WaitForCache(TBaseVastTree& tree) {
    for (int round = 0; round < 5000 && !(tree.TreeStates() & tsUseCache); ++round) {
        Pump();
        if (tree.TreeStates() & tsUseCache) break;
        platform::Sleep(1);
    }
    return tree.TreeStates() & tsUseCache;
}

TEST(PositionCache, BuiltOnlyAboveTheThreshold) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.SetRootNodeCount(2000);
    Pump();
    EXPECT_FALSE(tree.TreeStates() & tsUseCache);
    EXPECT_TRUE(tree.PositionCache().empty());

    tree.SetRootNodeCount(2001);
    ASSERT_TRUE(WaitForCache(tree));
    ASSERT_EQ(tree.PositionCache().size(), 2u);
    EXPECT_EQ(tree.PositionCache()[0].Node, tree.GetFirstNoInit());
    EXPECT_EQ(tree.PositionCache()[0].AbsoluteTop, 0u);
    EXPECT_EQ(tree.PositionCache()[1].Node, tree.GetLastNoInit());
    EXPECT_EQ(tree.PositionCache()[1].AbsoluteTop, 2000u * 18u);
    EXPECT_FALSE(tree.TreeStates() & (tsValidating | tsValidationNeeded));

    // A change stops the cache from being used until it is rebuilt.
    tree.DeleteNode(tree.GetLastNoInit());
    EXPECT_FALSE(tree.TreeStates() & tsUseCache);
}

TEST(PositionCache, LookupsAgreeWithAndWithoutTheCache) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.BeginUpdate();
    tree.SetRootNodeCount(3000);
    for (PVastNode run = tree.GetFirstNoInit(); run; run = run->NextSibling)
        if (run->Index % 7 == 0) {
            tree.SetChildCount(run, 2);
            tree.SetExpanded(run, true);
        } else if (run->Index % 11 == 0) {
            tree.SetChildCount(run, 3);  // collapsed: its children never answer
        }
    tree.SetVisible(tree.GetFirstNoInit()->NextSibling, false);
    tree.EndUpdate();
    ASSERT_TRUE(WaitForCache(tree));

    // The reference: walk the shown nodes and their tops.
    std::vector<std::pair<PVastNode, int>> tops;
    int top = 0;
    for (PVastNode run = tree.GetFirstVisibleNoInit(); run; run = tree.GetNextVisibleNoInit(run)) {
        tops.emplace_back(run, top);
        top += run->NodeHeight;
    }
    ASSERT_EQ(tops.size(), tree.VisibleCount());
    for (std::size_t i = 0; i < tops.size(); i += 97) {
        int nodeTop = -1;
        for (int offset : {0, 17}) {
            EXPECT_EQ(tree.GetNodeAt(0, tops[i].second + offset, false, nodeTop), tops[i].first) << i;
            EXPECT_EQ(nodeTop, tops[i].second);
        }
    }
    int nodeTop = 0;
    EXPECT_EQ(tree.GetNodeAt(0, -5, false, nodeTop), tops[0].first);
    EXPECT_EQ(tree.GetNodeAt(0, top, false, nodeTop), nullptr) << "below the last node";
}

TEST(PositionCache, ChangesDuringARebuildStopItAndItResumes) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
    for (int round = 0; round < 5; ++round) {
        tree.SetRootNodeCount(60000 + std::uint32_t(round));  // queues a rebuild
        // Whether or not the worker has started, these wait for it to let go.
        tree.SetSelected(tree.GetFirst(), true);
        tree.DeleteNode(tree.GetLastNoInit());
        tree.SetVisible(tree.GetFirstNoInit()->NextSibling, round % 2 == 0);
        ASSERT_EQ(CheckInvariants(tree), "") << round;
        ASSERT_TRUE(WaitForCache(tree)) << round;
        int top = 0;
        PVastNode last = tree.GetLastVisibleNoInit();
        EXPECT_EQ(tree.GetNodeAt(0, int(tree.RootNode()->TotalHeight - tree.RootNode()->NodeHeight) - 1, false, top),
                  last);
    }
}

// The worker takes the first queued tree and waits, before reading it, until this
// thread runs its state message; until the test pumps, every later tree stays queued.
void HoldWorker(TVastStringTree& busy, std::uint32_t rows) {
    busy.SetRootNodeCount(rows);
    ASSERT_TRUE(busy.TreeStates() & tsValidationNeeded);
}

TEST(PositionCache, ARebuildStoppedWhileQueuedIsStartedAgain) {
    TVastStringTree busy(nullptr), tree(nullptr);
    busy.SetNodeDataSize(4);
    tree.SetNodeDataSize(4);
    const std::vector<std::pair<const char*, std::function<void()>>> uses = {
        {"initialising walk", [&] { for (PVastNode run = tree.GetFirst(); run; run = tree.GetNext(run)) {} }},
        {"check state", [&] {
             tree.SetCheckType(tree.GetFirstNoInit(), ctCheckBox);
             tree.SetCheckState(tree.GetFirstNoInit(), csCheckedNormal);
         }},
        {"selection", [&] { tree.SetSelected(tree.GetLastNoInit(), true); }},
    };
    std::uint32_t rows = 20000;
    for (const auto& [name, use] : uses) {
        HoldWorker(busy, 60000 + rows);
        tree.BeginUpdate();
        tree.Clear();
        tree.SetRootNodeCount(++rows);
        tree.EndUpdate();  // queued behind the held tree
        use();
        ASSERT_TRUE(WaitForCache(busy)) << name;
        ASSERT_TRUE(WaitForCache(tree)) << name;
        EXPECT_FALSE(tree.TreeStates() & (tsValidationNeeded | tsStopValidation)) << name;
        int top = 0;
        EXPECT_EQ(tree.GetNodeAt(0, int(rows - 1) * 18 + 3, false, top), tree.GetLastNoInit()) << name;
        EXPECT_GE(tree.PositionCache().size(), rows / CacheThreshold) << name;
    }
}

TEST(PositionCache, DestroyingTheLastTreeEndsTheWorker) {
    for (int round = 0; round < 2; ++round) {
        TVastStringTree tree(nullptr);
        tree.SetNodeDataSize(4);
        tree.SetRootNodeCount(2500);
        EXPECT_TRUE(WaitForCache(tree)) << "round " << round;
    }
}

}  // namespace
}  // namespace treeview
