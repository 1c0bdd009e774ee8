// Sorting siblings by OnCompareNodes: order, stability, refusals and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;

// A tree whose edit can be told to refuse ending.
class EditingTree : public TVastStringTree {
public:
    using TVastStringTree::TVastStringTree;
    bool refuseEnd = false;
    bool DoEndEdit() override { return !refuseEnd; }
    using TBaseVastTree::DoStateChange;
};

// Names are "<key><tag>": the digit is the sort key, the rest tells equal keys apart.
class SortTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.SetNodeDataSize(sizeof(NamedData));
        tree.OnCompareNodes = [this](TBaseVastTree*, PVastNode a, PVastNode b, TColumnIndex column,
                                     std::int32_t& result) {
            ++compares;
            lastColumn = column;
            if (throwAfter >= 0 && compares > throwAfter) throw std::runtime_error("compare failed");
            result = Name(tree, a)[0] - Name(tree, b)[0];
        };
    }
    std::string Children(PVastNode parent) {
        std::string out;
        std::uint32_t expected = 0;
        for (PVastNode n = (parent ? parent : tree.RootNode())->FirstChild; n; n = n->NextSibling) {
            out += (out.empty() ? "" : " ") + Name(tree, n);
            if (n->Index != expected++) out += "(bad index)";
        }
        return out;
    }
    EditingTree tree{nullptr};
    int compares = 0;
    int throwAfter = -1;
    TColumnIndex lastColumn = -5;
};

TEST_F(SortTest, SortsUpAndDownKeepingEqualNodesInOrder) {
    struct Case {
        std::vector<const char*> names;
        TSortDirection direction;
        const char* expected;
    };
    const Case cases[] = {
        {{"3", "1", "2"}, sdAscending, "1 2 3"},
        {{"3", "1", "2"}, sdDescending, "3 2 1"},
        {{"2a", "1a", "2b", "1b", "2c"}, sdAscending, "1a 1b 2a 2b 2c"},
        {{"2a", "1a", "2b", "1b", "2c"}, sdDescending, "2a 2b 2c 1a 1b"},
        {{"5a", "5b", "5c"}, sdDescending, "5a 5b 5c"},
    };
    for (const Case& c : cases) {
        tree.Clear();
        for (const char* name : c.names) Add(tree, nullptr, name);
        tree.Sort(nullptr, 0, c.direction, true);
        EXPECT_EQ(Children(nullptr), c.expected);
        EXPECT_EQ(Name(tree, tree.RootNode()->LastChild), std::string(c.expected).substr(std::string(c.expected).rfind(' ') + 1));
        EXPECT_EQ(tree.RootNode()->FirstChild->PrevSibling, nullptr);
        EXPECT_EQ(CheckInvariants(tree), "");
    }
}

// Longer sibling lists go through the sorted short runs and several merge passes, with
// remainders at the ends; the order must be std::stable_sort's, both ways, and a compare
// that fails deep in a merge must leave the list as it was.
TEST_F(SortTest, LongSiblingListsMatchAStableSort) {
    for (std::size_t count : {16u, 17u, 33u, 100u, 257u}) {
        for (TSortDirection direction : {sdAscending, sdDescending}) {
            SCOPED_TRACE(std::to_string(count) + (direction == sdAscending ? " up" : " down"));
            tree.Clear();
            std::vector<std::string> names;
            for (std::size_t i = 0; i < count; ++i) names.push_back(std::to_string((i * 7 + i / 5) % 10) + "." + std::to_string(i));
            for (const std::string& name : names) Add(tree, nullptr, name.c_str());
            std::string before = Children(nullptr);
            compares = 0;
            throwAfter = int(count * 3);
            EXPECT_THROW(tree.Sort(nullptr, 0, direction, true), std::runtime_error);
            EXPECT_EQ(Children(nullptr), before);
            throwAfter = -1;
            tree.Sort(nullptr, 0, direction, true);
            std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
                return direction == sdAscending ? a[0] < b[0] : a[0] > b[0];
            });
            std::string expected;
            for (const std::string& name : names) expected += (expected.empty() ? "" : " ") + name;
            EXPECT_EQ(Children(nullptr), expected);
            EXPECT_EQ(CheckInvariants(tree), "");
        }
    }
}

// A long list already in order (as the automatic sort sees a sorted list grown by one) is
// not merged again: its sorted halves are taken as they are, one compare each. Equal keys
// meet at the seams of the runs, and the order is std::stable_sort's whichever way.
TEST_F(SortTest, ListsAlreadyInOrderAreNotMergedAgain) {
    struct Case {
        bool risingInput;
        TSortDirection direction;
        bool inOrder;
    };
    const Case cases[] = {{true, sdAscending, true}, {false, sdDescending, true}, {true, sdDescending, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.risingInput ? "rising" : "falling") + (c.direction == sdAscending ? " up" : " down"));
        tree.Clear();
        std::vector<std::string> names;
        for (int i = 0; i < 256; ++i) {
            int key = c.risingInput ? i / 40 : 9 - i / 40;  // runs of 40 equal keys across the seams
            names.push_back(std::to_string(key) + "." + std::to_string(i));
        }
        for (const std::string& name : names) Add(tree, nullptr, name.c_str());
        compares = 0;
        tree.Sort(nullptr, 0, c.direction, true);
        std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
            return c.direction == sdAscending ? a[0] < b[0] : a[0] > b[0];
        });
        std::string expected;
        for (const std::string& name : names) expected += (expected.empty() ? "" : " ") + name;
        EXPECT_EQ(Children(nullptr), expected);
        // 16 runs of 16 placed by halving (at most 49 compares each), 15 seams looked at.
        if (c.inOrder) {
            EXPECT_LE(compares, 16 * 49 + 15);
        }
        EXPECT_EQ(CheckInvariants(tree), "");
    }
}

TEST_F(SortTest, NothingToCompareOrNothingAllowed) {
    PVastNode parent = Add(tree, nullptr, "9");
    Add(tree, parent, "1");
    tree.Sort(parent, 0, sdAscending, true);
    EXPECT_EQ(compares, 0);  // one child: no compare

    Add(tree, nullptr, "3");
    Add(tree, nullptr, "1");
    tree.SortTree(-2, sdAscending, true);  // a column below -1 sorts nothing
    EXPECT_EQ(Children(nullptr), "9 3 1");
    EXPECT_EQ(tree.UpdateCount(), 0u);

    tree.refuseEnd = true;
    tree.DoStateChange(tsEditing);
    tree.Sort(nullptr, 0, sdAscending, true);  // the edit will not end: no sort
    EXPECT_EQ(Children(nullptr), "9 3 1");
    tree.refuseEnd = false;
    tree.Sort(nullptr, NoColumn, sdAscending, true);  // ended: sorts, the handler sees -1
    EXPECT_EQ(Children(nullptr), "1 3 9");
    EXPECT_EQ(lastColumn, NoColumn);
}

TEST_F(SortTest, ChildrenNotYetCreatedAreLeftAloneWithoutInit) {
    tree.OnInitChildren = [](TBaseVastTree*, PVastNode, std::uint32_t& count) { count = 2; };
    PVastNode parent = Add(tree, nullptr, "1");
    tree.SetHasChildren(parent, true);
    tree.Sort(parent, 0, sdAscending, false);
    EXPECT_EQ(parent->ChildCount, 0u);
    tree.Sort(parent, 0, sdAscending, true);
    EXPECT_EQ(parent->ChildCount, 2u);
}

TEST_F(SortTest, ThrowingCompareLeavesEveryNodeWhereItWas) {
    for (const char* name : {"5", "2", "8", "1", "9", "3"}) Add(tree, nullptr, name);
    PVastNode nested = Add(tree, tree.GetFirst(), "7");
    Add(tree, nested, "0");
    throwAfter = 4;
    EXPECT_THROW(tree.SortTree(0, sdAscending, true), std::runtime_error);
    EXPECT_EQ(Children(nullptr), "5 2 8 1 9 3");
    EXPECT_EQ(tree.UpdateCount(), 0u);
    EXPECT_EQ(CheckInvariants(tree), "");
}

TEST_F(SortTest, SortTreeSortsEveryLevelAndAutoSortFollowsChanges) {
    PVastNode b = Add(tree, nullptr, "2");
    Add(tree, b, "9");
    Add(tree, b, "4");
    Add(tree, nullptr, "1");
    tree.SortTree(0, sdAscending, true);
    EXPECT_EQ(Children(nullptr), "1 2");
    EXPECT_EQ(Children(b), "4 9");

    auto* options = tree.TreeOptions();
    options->SetAutoOptions(options->AutoOptions() | toAutoSort);
    // The automatic sort comes inside AddChild: the new node gets its name when the sort
    // initialises it.
    std::string pending;
    tree.OnInitNode = [&](TBaseVastTree*, PVastNode, PVastNode node, TVastNodeInitStates&) {
        if (Name(tree, node).empty()) SetName(tree, node, pending);
    };
    pending = "6";
    tree.AddChild(b);  // outside a bracket: sorted at once
    EXPECT_EQ(Children(b), "4 6 9");
    tree.BeginUpdate();
    Add(tree, nullptr, "0");
    Add(tree, b, "1");
    EXPECT_EQ(Children(nullptr), "1 2 0");
    tree.EndUpdate();  // the closing bracket sorts the whole tree
    EXPECT_EQ(Children(nullptr), "0 1 2");
    EXPECT_EQ(Children(b), "1 4 6 9");
    tree.Header()->SetSortDirection(sdDescending);  // the header sorts again
    EXPECT_EQ(Children(nullptr), "2 1 0");
    EXPECT_EQ(CheckInvariants(tree), "");
}

}  // namespace
}  // namespace treeview
