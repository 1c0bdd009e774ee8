// The walks in tree order, among visible nodes, on levels and among leaves.
#include <gtest/gtest.h>

#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;

// A
//   A1
//     A1a
//   A2 (hidden)
// B (collapsed)
//   B1
// C
class WalksTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.SetNodeDataSize(sizeof(NamedData));
        a = Add(tree, nullptr, "A");
        a1 = Add(tree, a, "A1");
        a1a = Add(tree, a1, "A1a");
        a2 = Add(tree, a, "A2");
        b = Add(tree, nullptr, "B");
        b1 = Add(tree, b, "B1");
        c = Add(tree, nullptr, "C");
        tree.SetExpanded(a, true);
        tree.SetExpanded(a1, true);
        tree.SetVisible(a2, false);
    }
    TVastStringTree tree{nullptr};
    PVastNode a, a1, a1a, a2, b, b1, c;
};

TEST_F(WalksTest, WalksVisitNodesInOrder) {
    struct Case {
        const char* name;
        std::function<PVastNode()> first;
        std::function<PVastNode(PVastNode)> step;
        const char* expected;
    };
    TVastStringTree& t = tree;
    const Case cases[] = {
        {"next", [&] { return t.GetFirst(); }, [&](PVastNode n) { return t.GetNext(n); }, "A A1 A1a A2 B B1 C"},
        {"next no init", [&] { return t.GetFirstNoInit(); }, [&](PVastNode n) { return t.GetNextNoInit(n); },
         "A A1 A1a A2 B B1 C"},
        {"previous", [&] { return t.GetLast(); }, [&](PVastNode n) { return t.GetPrevious(n); }, "C B1 B A2 A1a A1 A"},
        {"previous no init", [&] { return t.GetLastNoInit(); }, [&](PVastNode n) { return t.GetPreviousNoInit(n); },
         "C B1 B A2 A1a A1 A"},
        {"next visible", [&] { return t.GetFirstVisible(); }, [&](PVastNode n) { return t.GetNextVisible(n); },
         "A A1 A1a B C"},
        {"previous visible", [&] { return t.GetLastVisible(); },
         [&](PVastNode n) { return t.GetPreviousVisible(n); }, "C B A1a A1 A"},
        {"next visible no init", [&] { return t.GetFirstVisibleNoInit(); },
         [&](PVastNode n) { return t.GetNextVisibleNoInit(n); }, "A A1 A1a B C"},
        {"level 1", [&] { return t.GetFirstLevel(1); }, [&](PVastNode n) { return t.GetNextLevel(n, 1); },
         "A1 A2 B1"},
        {"level 1 backwards", [&] { return c; }, [&](PVastNode n) { return t.GetPreviousLevel(n, 1); },
         "C B1 A2 A1"},
        {"leaves", [&] { return t.GetFirstLeaf(); }, [&](PVastNode n) { return t.GetNextLeaf(n); },
         "A1a A2 B1 C"},
        {"leaves backwards", [&] { return t.GetPreviousLeaf(nullptr); },
         [&](PVastNode n) { return t.GetPreviousLeaf(n); }, "C B1 A2 A1a"},
        {"siblings", [&] { return t.GetFirstChild(nullptr); }, [&](PVastNode n) { return t.GetNextSibling(n); },
         "A B C"},
        {"visible children of A", [&] { return t.GetFirstVisibleChild(a); },
         [&](PVastNode n) { return t.GetNextVisibleSibling(n); }, "A1"},
    };
    for (const Case& k : cases) EXPECT_EQ(Walk(tree, k.first(), k.step), k.expected) << k.name;
}

TEST_F(WalksTest, VisibleWalksFromNodesThatAreNotShown) {
    struct Case {
        PVastNode from;
        const char* next;
        const char* previous;
    };
    const Case cases[] = {
        {a2, "B", "A1a"},  // hidden: continue behind it, never before it
        {b1, "C", "B"},    // under a collapsed parent
    };
    for (const Case& k : cases) {
        EXPECT_EQ(Name(tree, tree.GetNextVisible(k.from)), k.next) << Name(tree, k.from);
        EXPECT_EQ(Name(tree, tree.GetPreviousVisible(k.from)), k.previous) << Name(tree, k.from);
        EXPECT_EQ(Name(tree, tree.GetNextVisibleNoInit(k.from)), k.next) << Name(tree, k.from);
    }
}

TEST_F(WalksTest, RelationsAndCounts) {
    EXPECT_EQ(tree.GetNodeLevel(a), 0u);
    EXPECT_EQ(tree.GetNodeLevel(a1a), 2u);
    EXPECT_EQ(tree.CountLevelDifference(a, a1), 1);
    EXPECT_EQ(tree.AbsoluteIndex(b), a->TotalCount);
    EXPECT_EQ(tree.AbsoluteIndex(c), 6u);
    EXPECT_EQ(tree.CompareNodePositions(a1, a), 1);
    EXPECT_EQ(tree.CompareNodePositions(a, a1a), -1);
    EXPECT_LT(tree.CompareNodePositions(a1a, b1), 0);
    EXPECT_EQ(tree.GetVisibleParent(a), tree.RootNode());
    EXPECT_EQ(tree.GetVisibleParent(b1), tree.RootNode());
    EXPECT_EQ(tree.GetVisibleParent(a1a), a1);
    EXPECT_TRUE(tree.HasAsParent(a1a, a));
    EXPECT_FALSE(tree.HasAsParent(a, a));
    EXPECT_EQ(TreeFromNode(a1a), &tree);
    EXPECT_EQ(tree.VisibleCount(), 5u);
    EXPECT_EQ(tree.GetPrevious(a1), a);
    EXPECT_EQ(tree.GetPrevious(b), a2) << "the deepest last descendant, also when hidden";
}

TEST_F(WalksTest, IterateSubtreeWithFilterStopperAndAbort) {
    auto collect = [&](PVastNode start, TVastNodeStates filter, bool childrenOnly, const std::string& abortAt = "") {
        std::string seen;
        PVastNode aborted = tree.IterateSubtree(
            start,
            [&](TBaseVastTree*, PVastNode node, void*, bool& abort) {
                seen += Name(tree, node) + " ";
                abort = Name(tree, node) == abortAt;
            },
            nullptr, filter, false, childrenOnly);
        return seen + "| " + Name(tree, aborted);
    };
    EXPECT_EQ(collect(a, 0, false), "A A1 A1a A2 | -") << "stops before the next sibling";
    EXPECT_EQ(collect(a, 0, true), "A1 A1a A2 | -");
    EXPECT_EQ(collect(a, vsVisible, true), "A1 A1a | -");
    EXPECT_EQ(collect(nullptr, 0, false, "B"), "A A1 A1a A2 B | B");
    EXPECT_EQ(collect(c, 0, true), "| -");
    EXPECT_THROW(collect(tree.RootNode(), 0, false), platform::EAssertionFailed);
}

TEST_F(WalksTest, EmptyTreeAndRootArguments) {
    TVastStringTree empty(nullptr);
    EXPECT_EQ(empty.GetFirst(), nullptr);
    EXPECT_EQ(empty.GetFirstChild(nullptr), nullptr);
    EXPECT_EQ(empty.GetLastChild(nullptr), nullptr);
    EXPECT_EQ(empty.GetLast(), nullptr);
    EXPECT_EQ(empty.GetFirstVisible(), nullptr);
    EXPECT_EQ(empty.GetNextSibling(nullptr), nullptr);
    EXPECT_THROW(tree.GetNext(tree.RootNode()), platform::EAssertionFailed);
    EXPECT_THROW(tree.GetNextVisibleSibling(nullptr), platform::EAssertionFailed);
    EXPECT_THROW(tree.GetVisibleParent(nullptr), platform::EAssertionFailed);
    EXPECT_THROW(tree.CountLevelDifference(nullptr, a), platform::EAssertionFailed);
}

}  // namespace
}  // namespace treeview
