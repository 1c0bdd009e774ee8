// Selection and focus: single and multiple selection, tree order of the selection
// walks, ranges and their anchor, and nodes leaving the selection when deleted.
#include <gtest/gtest.h>

#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;

class SelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.SetNodeDataSize(sizeof(NamedData));
        // Created in an order that differs from tree order, so addresses do too.
        for (const char* name : {"a", "b", "c", "d", "e"}) nodes.push_back(Add(tree, nullptr, name));
        child = Add(tree, nodes[4], "e1");
        tree.InsertNode(nodes[0], amInsertBefore);
        SetName(tree, tree.GetFirst(), "0");
        tree.OnChange = [&](TBaseVastTree*, PVastNode node) { changes += Name(tree, node) + " "; };
    }
    void Multi(TVTSelectionOptions extra = 0) { tree.TreeOptions()->SetSelectionOptions(toMultiSelect | extra); }
    std::string Selected() {
        return Walk(tree, tree.GetFirstSelected(), [&](PVastNode n) { return tree.GetNextSelected(n); });
    }
    TVastStringTree tree{nullptr};
    std::vector<PVastNode> nodes;
    PVastNode child = nullptr;
    std::string changes;
};

TEST_F(SelectionTest, SingleSelectionReplacesTheSelectedNode) {
    tree.SetSelected(nodes[0], true);
    tree.SetSelected(nodes[2], true);
    EXPECT_EQ(Selected(), "c");
    EXPECT_EQ(tree.SelectedCount(), 1);
    EXPECT_EQ(changes, "a - c ");
}

TEST_F(SelectionTest, MultiSelectionWalksInTreeOrder) {
    Multi();
    for (int i : {3, 0, 2}) tree.SetSelected(nodes[std::size_t(i)], true);
    tree.SetExpanded(nodes[4], true);
    tree.SetSelected(child, true);
    EXPECT_EQ(Selected(), "a c d e1");
    // From the end the walk starts below the last top-level node.
    EXPECT_EQ(Walk(tree, tree.GetPreviousSelected(nullptr), [&](PVastNode n) { return tree.GetPreviousSelected(n); }),
              "e1 d c a");
    tree.SetSelected(nodes[4], true);
    std::vector<PVastNode> resolved = tree.GetSortedSelection(true);
    EXPECT_EQ(resolved.size(), 4u) << "e1 goes with its selected parent";
    EXPECT_EQ(tree.GetSortedSelection(false).size(), 5u);
}

TEST_F(SelectionTest, DisabledNodesAreNotSelected) {
    tree.SetDisabled(nodes[1], true);
    tree.SetSelected(nodes[1], true);
    EXPECT_EQ(tree.SelectedCount(), 0);
    EXPECT_FALSE(nodes[1]->States & vsSelected);
    EXPECT_EQ(changes, "");
}

TEST_F(SelectionTest, RangesAndTheirAnchor) {
    Multi();
    tree.SetFocusedNode(nodes[1]);
    struct Case {
        const char* name;
        std::function<void()> act;
        const char* selected;
        const char* anchor;
    };
    const Case cases[] = {
        {"click sets the anchor", [&] { tree.HandleClickSelection(nullptr, nodes[1], 0, false); }, "b", "b"},
        {"shift-click selects from the anchor",
         [&] { tree.HandleClickSelection(nodes[1], nodes[3], platform::ssShift, false); }, "b c d", "b"},
        {"shift-click backwards replaces the range",
         [&] { tree.HandleClickSelection(nodes[3], nodes[0], platform::ssShift, false); }, "a b", "b"},
        {"ctrl-click toggles and moves the anchor",
         [&] { tree.HandleClickSelection(nodes[0], nodes[3], platform::ssCtrl, false); }, "a b d", "d"},
        {"ctrl-shift adds a range", [&] { tree.HandleClickSelection(nodes[3], nodes[4], platform::ssCtrl | platform::ssShift, false); },
         "a b d e", "d"},
        {"unselect a range", [&] { tree.UnselectNodes(nodes[0], nodes[1]); }, "d e", "d"},
        {"deselecting the last node resets the anchor to the focus",
         [&] {
             tree.SetSelected(nodes[3], false);
             tree.SetSelected(nodes[4], false);
         },
         "", "b"},
    };
    for (const Case& c : cases) {
        c.act();
        EXPECT_EQ(Selected(), c.selected) << c.name;
        EXPECT_EQ(Name(tree, tree.RangeAnchor()), c.anchor) << c.name;
        EXPECT_EQ(CheckInvariants(tree), "") << c.name;
    }
}

TEST_F(SelectionTest, SelectAllInvertAndClear) {
    tree.SelectAll(false);
    EXPECT_EQ(tree.SelectedCount(), 0) << "only with multi-selection";
    Multi();
    tree.SelectAll(true);
    EXPECT_EQ(Selected(), "0 a b c d e");
    tree.SetSelected(nodes[1], false);
    tree.InvertSelection(false);
    EXPECT_EQ(Selected(), "b e1");
    changes.clear();
    tree.ClearSelection();
    EXPECT_EQ(tree.SelectedCount(), 0);
    EXPECT_EQ(changes, "- ");
}

TEST_F(SelectionTest, DeletedNodesLeaveTheSelection) {
    Multi();
    for (PVastNode node : nodes) tree.SetSelected(node, true);
    tree.SetSelected(child, true);
    tree.BeginUpdate();
    tree.DeleteNode(nodes[1]);
    tree.DeleteNode(nodes[4]);
    EXPECT_EQ(Selected(), "a c d");
    tree.EndUpdate();
    EXPECT_EQ(tree.SelectedCount(), 3);
    tree.DeleteSelectedNodes();
    EXPECT_EQ(tree.SelectedCount(), 0);
    EXPECT_EQ(Walk(tree, tree.GetFirst(), [&](PVastNode n) { return tree.GetNext(n); }), "0");
}

TEST_F(SelectionTest, FocusEvents) {
    std::string focus;
    tree.OnFocusChanged = [&](TBaseVastTree*, PVastNode node, TColumnIndex) { focus += Name(tree, node) + " "; };
    tree.SetFocusedNode(nodes[2]);
    tree.SetFocusedNode(nodes[2]);
    EXPECT_EQ(focus, "c ");
    tree.OnFocusChanging = [](TBaseVastTree*, PVastNode, PVastNode, TColumnIndex, TColumnIndex, bool& allowed) {
        allowed = false;
    };
    tree.SetFocusedNode(nodes[3]);
    EXPECT_EQ(tree.FocusedNode(), nodes[2]);
    tree.OnFocusChanging = nullptr;
    tree.DeleteNode(nodes[2]);
    EXPECT_EQ(tree.FocusedNode(), nullptr);
    EXPECT_EQ(focus, "c - ");
    tree.OnFocusChanged = nullptr;
}

}  // namespace
}  // namespace treeview

namespace treeview {
namespace {

// Rows are 18 pixels high; nodes are 18 pixels in from the left (root shown) plus the margin.
TEST(RubberBand, SelectsWhatItCoversAndTogglesWithCtrl) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(sizeof(test::NamedData));
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
    for (const char* name : {"0", "1", "2", "3", "4", "5"}) test::Add(tree, nullptr, name);
    auto selected = [&] {
        return test::Walk(tree, tree.GetFirstSelected(), [&](PVastNode n) { return tree.GetNextSelected(n); });
    };
    struct Move {
        int x, y;
        const char* expected;
    };
    // Simple mode: rows count; the band grows, shrinks and reverses.
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect | toSimpleDrawSelection);
    tree.BeginDrawSelection(150, 5, 0);
    for (Move m : {Move{100, 40, "0 1 2"}, Move{100, 60, "0 1 2 3"}, Move{100, 20, "0 1"}, Move{100, 2, "0"}}) {
        tree.CalculateSelectionRect(m.x, m.y);
        tree.HandleDrawSelection(m.x, m.y);
        EXPECT_EQ(selected(), m.expected) << m.x << "," << m.y;
    }
    tree.EndDrawSelection();
    EXPECT_FALSE(tree.IsMouseSelecting());

    // Content mode: a band right of the node's content (width 0 at x 22) misses it.
    tree.ClearSelection();
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
    tree.BeginDrawSelection(150, 5, 0);
    tree.CalculateSelectionRect(100, 30);
    tree.HandleDrawSelection(100, 30);
    EXPECT_EQ(selected(), "");
    tree.CalculateSelectionRect(10, 30);
    tree.HandleDrawSelection(10, 30);
    EXPECT_EQ(selected(), "0 1");
    tree.EndDrawSelection();

    // Ctrl toggles what the band passes over.
    tree.BeginDrawSelection(10, 20, platform::ssCtrl);
    tree.CalculateSelectionRect(150, 60);
    tree.HandleDrawSelection(150, 60);
    EXPECT_EQ(selected(), "0 2 3");
    EXPECT_EQ(test::CheckInvariants(tree), "");
}

}  // namespace
}  // namespace treeview
