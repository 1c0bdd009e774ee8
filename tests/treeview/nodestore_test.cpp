// The node store: invariants over random operation sequences, the program's own use
// (rows of a large record, checked, moved, deleted, cleared), and the edge cases of
// creating, moving and deleting nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <memory>
#include <random>

#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;

class NodeStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(sizeof(NamedData));
    }
    std::string Children(PVastNode parent) {
        std::string result;
        for (PVastNode run = tree->GetFirstChild(parent); run; run = tree->GetNextSibling(run))
            result += (result.empty() ? "" : " ") + Name(*tree, run) + ":" + std::to_string(run->Index);
        return result;
    }
    std::unique_ptr<TVastStringTree> tree;
};

std::vector<PVastNode> AllNodes(TBaseVastTree& tree) {
    std::vector<PVastNode> nodes;
    for (PVastNode run = tree.GetFirstNoInit(); run; run = tree.GetNextNoInit(run)) nodes.push_back(run);
    return nodes;
}

// Random sequences of every structural operation, in and out of update brackets and
// across two trees; the invariants must hold after each step.
TEST(NodeStoreProperty, InvariantsHoldOverRandomOperations) {
    TVastStringTree a(nullptr), b(nullptr);
    a.SetNodeDataSize(sizeof(NamedData));
    b.SetNodeDataSize(sizeof(NamedData));
    TVastStringTree* trees[2] = {&a, &b};
    std::mt19937 random(20261210);
    auto pick = [&](std::vector<PVastNode>& nodes) -> PVastNode {
        return nodes.empty() ? nullptr : nodes[random() % nodes.size()];
    };
    int bracketDepth = 0;
    for (int step = 0; step < 4000; ++step) {
        TVastStringTree& tree = *trees[random() % 2];
        TVastStringTree& other = &tree == &a ? b : a;
        std::vector<PVastNode> nodes = AllNodes(tree);
        std::vector<PVastNode> otherNodes = AllNodes(other);
        PVastNode node = pick(nodes);
        PVastNode target = pick(nodes);
        auto mode = TVTNodeAttachMode(1 + random() % 4);
        int operation = int(random() % 12);
        if (nodes.size() > 300 && operation < 3) operation = 5;  // keep the trees small
        switch (operation) {
            case 0:
            case 1:
                tree.AddChild(random() % 3 ? node : nullptr);
                break;
            case 2:
                tree.InsertNode(node, mode);
                break;
            case 3:
                if (node && target && !tree.HasAsParent(target, node)) tree.MoveTo(node, target, mode, random() % 4 == 0);
                break;
            case 4:
                if (node) tree.MoveTo(node, pick(otherNodes) ? pick(otherNodes) : other.RootNode(), mode, false);
                break;
            case 5:
                tree.DeleteNode(node);
                break;
            case 6:
                if (node) tree.CopyTo(node, random() % 2 ? target : pick(otherNodes), mode, random() % 4 == 0);
                break;
            case 7:
                if (node) tree.SetVisible(node, !tree.GetVisible(node));
                break;
            case 8:
            case 9:
                if (node) tree.SetExpanded(node, !tree.GetExpanded(node));
                break;
            case 10:
                if (bracketDepth < 2 && random() % 2) {
                    a.BeginUpdate();
                    b.BeginUpdate();
                    ++bracketDepth;
                } else if (node) {
                    tree.DeleteChildren(node);
                }
                break;
            case 11:
                if (node) tree.SetSelected(node, true);
                if (random() % 50 == 0) tree.Clear();
                break;
        }
        if (bracketDepth > 0 && random() % 8 == 0) {
            a.EndUpdate();
            b.EndUpdate();
            --bracketDepth;
        }
        for (TVastStringTree* t : trees) {
            ASSERT_EQ(CheckInvariants(*t), "") << "after step " << step << " operation " << operation;
            std::int32_t selected = 0;
            for (PVastNode run = t->GetFirstNoInit(); run; run = t->GetNextNoInit(run))
                if (run->States & vsSelected) ++selected;
            if (t->UpdateCount() == 0) {
                ASSERT_EQ(t->SelectedCount(), selected) << "after step " << step;
            }
        }
    }
}

// What the program does with its job list.
struct RowRecord {
    char bytes[1684];
    int id;
};

TEST(NodeStoreProgramUse, RowsAreAddedCheckedMovedDeletedAndCleared) {
    int inits = 0, frees = 0;  // declared first: they outlive the tree's handlers
    std::vector<int> checkedEvents;
    TVastStringTree tree(nullptr);
    tree.TreeOptions()->SetMiscOptions(tree.TreeOptions()->MiscOptions() | toCheckSupport);
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect | toFullRowSelect);
    tree.SetNodeDataSize(sizeof(RowRecord));
    tree.OnInitNode = [&](TBaseVastTree*, PVastNode, PVastNode node, TVastNodeInitStates&) {
        ++inits;
        node->CheckType = ctCheckBox;
    };
    tree.OnFreeNode = [&](TBaseVastTree*, PVastNode) { ++frees; };
    tree.OnChecked = [&](TBaseVastTree* sender, PVastNode node) {
        checkedEvents.push_back(sender->GetNodeData<RowRecord>(node)->id);
    };
    tree.OnGetText = [&](TBaseVastTree* sender, PVastNode node, TColumnIndex, TVSTTextType, std::string& text) {
        text = "row " + std::to_string(sender->GetNodeData<RowRecord>(node)->id);
    };

    PVastNode rows[4];
    for (int i = 0; i < 4; ++i) {
        rows[i] = tree.AddChild(nullptr);
        auto* record = tree.GetNodeData<RowRecord>(rows[i]);
        // The string tree keeps an area of its own first; the row's record still starts on
        // the alignment of the pointers it holds.
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(record) % alignof(void*), 0u);
        ASSERT_TRUE(std::all_of(std::begin(record->bytes), std::end(record->bytes), [](char c) { return c == 0; }));
        record->id = i + 1;
    }
    PVastNode segment = tree.AddChild(rows[1]);
    tree.GetNodeData<RowRecord>(segment)->id = 21;
    EXPECT_EQ(inits, 1) << "only the parent of the segment was initialised";
    EXPECT_EQ(tree.GetNodeData(nullptr), nullptr);
    EXPECT_EQ(tree.GetNodeData(tree.RootNode()), nullptr);
    EXPECT_EQ(tree.GetChildCount(nullptr), 4u);
    EXPECT_EQ(tree.GetChildCount(rows[1]), 1u);
    EXPECT_EQ(tree.GetText(rows[2], 0), "row 3");

    tree.SetCheckState(rows[2], csCheckedNormal);
    tree.SetCheckState(segment, csCheckedNormal);
    tree.SetCheckState(rows[0], csCheckedNormal);
    EXPECT_EQ(checkedEvents, (std::vector<int>{3, 21, 1}));
    std::vector<int> walk;
    for (PVastNode run = tree.GetFirstChecked(csCheckedNormal); run; run = tree.GetNextChecked(run, csCheckedNormal))
        walk.push_back(tree.GetNodeData<RowRecord>(run)->id);
    EXPECT_EQ(walk, (std::vector<int>{1, 21, 3})) << "tree order: the segment after its parent row";
    EXPECT_EQ(tree.CheckedCount(), 3);

    tree.MoveTo(rows[3], rows[0], amInsertBefore, false);  // 4 1 2 3
    tree.MoveTo(rows[0], rows[2], amInsertAfter, false);   // 4 2 3 1
    walk.clear();
    for (PVastNode run = tree.GetFirst(); run; run = tree.GetNextSibling(run)) {
        walk.push_back(tree.GetNodeData<RowRecord>(run)->id);
        EXPECT_EQ(run->Index, walk.size() - 1);
    }
    EXPECT_EQ(walk, (std::vector<int>{4, 2, 3, 1}));
    EXPECT_EQ(tree.GetPrevious(rows[2]), segment);
    EXPECT_EQ(segment->Parent, rows[1]);
    EXPECT_EQ(CheckInvariants(tree), "");

    tree.SetSelected(rows[1], true);
    tree.DeleteNode(rows[1]);
    EXPECT_EQ(tree.SelectedCount(), 0);
    EXPECT_EQ(tree.GetChildCount(nullptr), 3u);
    EXPECT_EQ(tree.CheckedCount(), 2);
    tree.Clear();
    EXPECT_EQ(tree.GetFirst(), nullptr);
    EXPECT_EQ(tree.CheckedCount(), 0);
    EXPECT_EQ(frees, inits) << "every initialised row is freed once";
    EXPECT_EQ(CheckInvariants(tree), "");
}

TEST_F(NodeStoreTest, NodeDataNeedsAKnownSize) {
    TVastStringTree fresh(nullptr);
    EXPECT_THROW(fresh.GetNodeData(nullptr), platform::EAssertionFailed);
    fresh.OnGetNodeDataSize = [](TBaseVastTree*, std::int32_t& size) { size = 0; };
    PVastNode node = fresh.AddChild(nullptr);
    EXPECT_THROW(fresh.GetNodeData(node), platform::EAssertionFailed);
    // Initial user data needs room for a pointer; a refused call adds nothing.
    int value = 7;
    EXPECT_THROW(fresh.AddChild(nullptr, &value), EVastTreeError);
    EXPECT_EQ(fresh.RootNodeCount(), 1u);
}

TEST_F(NodeStoreTest, UserDataWithoutRoomForAPointerLeavesTheTreeAlone) {
    struct Case {
        std::int32_t dataSize;  // -1: asked through OnGetNodeDataSize, which answers 4
        bool insert;
    };
    for (Case c : {Case{4, false}, Case{4, true}, Case{-1, false}, Case{-1, true}, Case{0, true}}) {
        TVastStringTree small(nullptr);
        if (c.dataSize >= 0) small.SetNodeDataSize(c.dataSize);
        small.OnGetNodeDataSize = [](TBaseVastTree*, std::int32_t& size) { size = 4; };
        int structureChanges = 0;
        small.OnStructureChange = [&](TBaseVastTree*, PVastNode, TChangeReason) { ++structureChanges; };
        int value = 7;
        if (c.insert)
            EXPECT_THROW(small.InsertNode(nullptr, amAddChildLast, &value), EVastTreeError) << c.dataSize;
        else
            EXPECT_THROW(small.AddChild(nullptr, &value), EVastTreeError) << c.dataSize;
        EXPECT_EQ(small.RootNodeCount(), 0u) << c.dataSize << " " << c.insert;
        EXPECT_EQ(small.VisibleCount(), 0u);
        EXPECT_EQ(structureChanges, 0);
        EXPECT_NE(small.AddChild(nullptr), nullptr) << "the tree still works";
    }
}

TEST_F(NodeStoreTest, AddChildMakesAnUninitialisedNode) {
    int inits = 0;
    tree->OnInitNode = [&](TBaseVastTree*, PVastNode, PVastNode, TVastNodeInitStates&) { ++inits; };
    PVastNode node = tree->AddChild(nullptr);
    EXPECT_EQ(node->Index, 0u);
    EXPECT_EQ(tree->RootNodeCount(), 1u);
    EXPECT_EQ(inits, 0);
    EXPECT_EQ(tree->GetFirstChild(nullptr), node);
    EXPECT_EQ(tree->GetFirstChild(nullptr), node);
    EXPECT_EQ(inits, 1);
    tree->OnInitNode = nullptr;
}

TEST_F(NodeStoreTest, ReadOnlyTreeRefusesAddButNotInsert) {
    tree->TreeOptions()->SetMiscOptions(tree->TreeOptions()->MiscOptions() | toReadOnly);
    EXPECT_EQ(tree->AddChild(nullptr), nullptr);
    EXPECT_NE(tree->InsertNode(nullptr, amAddChildLast), nullptr);
    EXPECT_EQ(tree->RootNodeCount(), 1u);
}

TEST_F(NodeStoreTest, MovesAmongSiblings) {
    struct Case {
        int source;
        int target;
        TVTNodeAttachMode mode;
        bool childrenOnly;
        const char* expected;
    };
    const Case cases[] = {
        {1, 0, amInsertBefore, false, "2:0 1:1 3:2"},
        {1, 2, amInsertAfter, false, "1:0 3:1 2:2"},
        {0, 2, amInsertAfter, false, "2:0 3:1 1:2"},
        {2, 0, amInsertBefore, false, "3:0 1:1 2:2"},
        {1, 1, amInsertBefore, false, "1:0 2:1 3:2"},  // a move onto itself does nothing
    };
    for (const Case& c : cases) {
        tree->Clear();
        PVastNode nodes[3] = {Add(*tree, nullptr, "1"), Add(*tree, nullptr, "2"), Add(*tree, nullptr, "3")};
        int changes = 0;
        tree->OnStructureChange = [&](TBaseVastTree*, PVastNode, TChangeReason) { ++changes; };
        tree->MoveTo(nodes[c.source], nodes[c.target], c.mode, c.childrenOnly);
        EXPECT_EQ(Children(nullptr), c.expected) << c.source << " onto " << c.target;
        EXPECT_EQ(changes, c.source == c.target ? 0 : 1);
        tree->OnStructureChange = nullptr;
    }
}

TEST_F(NodeStoreTest, MovingChildrenBehindTheirParentReversesThem) {
    PVastNode parent = Add(*tree, nullptr, "p");
    Add(*tree, parent, "a");
    Add(*tree, parent, "b");
    tree->MoveTo(parent, parent, amInsertAfter, true);
    EXPECT_EQ(Children(nullptr), "p:0 b:1 a:2");
    EXPECT_EQ(CheckInvariants(*tree), "");
}

TEST_F(NodeStoreTest, MoveBelowOwnDescendantFailsAndChangesNothing) {
    PVastNode parent = Add(*tree, nullptr, "p");
    PVastNode child = Add(*tree, parent, "c");
    EXPECT_THROW(tree->MoveTo(parent, child, amAddChildLast, false), EVastTreeError);
    EXPECT_EQ(child->Parent, parent);
    EXPECT_EQ(CheckInvariants(*tree), "");
}

TEST_F(NodeStoreTest, MoveToAnotherTreeNeverReportsTheDeletedNode) {
    TVastStringTree target(nullptr);
    target.SetNodeDataSize(sizeof(NamedData));
    PVastNode parent = Add(*tree, nullptr, "p");
    PVastNode moved = Add(*tree, parent, "m");
    Add(*tree, moved, "m1");
    std::vector<PVastNode> reported;
    tree->OnStructureChange = [&](TBaseVastTree*, PVastNode node, TChangeReason reason) {
        if (reason == crNodeMoved) reported.push_back(node);
    };
    tree->SetChangeDelay(0);
    tree->MoveTo(moved, &target, amAddChildLast, false);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], parent) << "the notification names the old parent, not the freed node";
    EXPECT_EQ(tree->GetChildCount(parent), 0u);
    ASSERT_EQ(target.RootNodeCount(), 1u);
    EXPECT_EQ(target.GetChildCount(target.GetFirst()), 1u);
    EXPECT_EQ(CheckInvariants(*tree), "");
    EXPECT_EQ(CheckInvariants(target), "");
    tree->OnStructureChange = nullptr;
}

TEST_F(NodeStoreTest, CopiesKeepShapeAndStatesAndCanBeRefused) {
    PVastNode p = Add(*tree, nullptr, "p");
    PVastNode c = Add(*tree, p, "c");
    Add(*tree, c, "g");
    tree->SetExpanded(p, true);
    tree->SetCheckType(c, ctCheckBox);
    tree->SetCheckState(c, csCheckedNormal);
    PVastNode q = Add(*tree, nullptr, "q");

    PVastNode copy = tree->CopyTo(p, q, amAddChildLast, false);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Parent, q);
    EXPECT_EQ(copy->TotalCount, 3u);
    EXPECT_TRUE(copy->States & vsExpanded);
    EXPECT_EQ(copy->FirstChild->CheckState, csCheckedNormal);
    EXPECT_EQ(tree->CheckedCount(), 2);

    // Into its own subtree: the copy is taken before it is linked.
    PVastNode inner = tree->CopyTo(p, c, amAddChildFirst, false);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->TotalCount, 3u);
    EXPECT_EQ(p->TotalCount, 6u);

    int refused = 0;
    tree->OnNodeCopying = [&](TBaseVastTree*, PVastNode, PVastNode target, bool& allowed) {
        EXPECT_EQ(target, nullptr) << "the root is passed as nil";
        allowed = false;
        ++refused;
    };
    std::uint32_t before = tree->RootNode()->TotalCount;
    EXPECT_EQ(tree->CopyTo(q, PVastNode(nullptr), amAddChildLast, false), nullptr);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(tree->RootNode()->TotalCount, before);
    tree->OnNodeCopying = nullptr;

    TVastStringTree readOnly(nullptr);
    readOnly.SetNodeDataSize(sizeof(NamedData));
    readOnly.TreeOptions()->SetMiscOptions(readOnly.TreeOptions()->MiscOptions() | toReadOnly);
    EXPECT_EQ(tree->CopyTo(p, &readOnly, amAddChildLast, false), nullptr);
    EXPECT_EQ(CheckInvariants(*tree), "");
}

TEST_F(NodeStoreTest, NodesOfAnotherTreeAreRefused) {
    TVastStringTree other(nullptr);
    other.SetNodeDataSize(sizeof(NamedData));
    PVastNode foreign = Add(other, nullptr, "x");
    Add(*tree, nullptr, "a");
#ifdef NDEBUG
    tree->DeleteNode(foreign);
    tree->SetSelected(foreign, true);
    tree->SetCheckState(foreign, csCheckedNormal);
    EXPECT_EQ(tree->AddChild(foreign), nullptr);
    EXPECT_EQ(other.RootNodeCount(), 1u);
    EXPECT_EQ(tree->SelectedCount(), 0);
    EXPECT_EQ(foreign->CheckState, csUncheckedNormal);
    EXPECT_EQ(foreign->ChildCount, 0u);
#else
    EXPECT_THROW(tree->DeleteNode(foreign), platform::EAssertionFailed);
#endif
    EXPECT_THROW(tree->MoveTo(foreign, PVastNode(nullptr), amAddChildLast, false), platform::EAssertionFailed);
    EXPECT_EQ(CheckInvariants(*tree), "");
    EXPECT_EQ(CheckInvariants(other), "");
}

TEST_F(NodeStoreTest, ClearFreesInReverseTreeOrder) {
    for (const char* name : {"1", "2", "3"}) {
        PVastNode node = Add(*tree, nullptr, name);
        Add(*tree, node, std::string(name) + "a");
        Add(*tree, node, std::string(name) + "b");
    }
    tree->TotalCount();  // initialises every node
    std::string order;
    tree->OnFreeNode = [&](TBaseVastTree* sender, PVastNode node) { order += Name(*sender, node) + " "; };
    tree->Clear();
    EXPECT_EQ(order, "3b 3a 3 2b 2a 2 1b 1a 1 ");
    tree->OnFreeNode = nullptr;
}

TEST_F(NodeStoreTest, RootNodeCountAndDataSizeRecreateNodes) {
    tree->SetRootNodeCount(5);
    EXPECT_EQ(tree->TotalCount(), 5u);
    tree->SetRootNodeCount(2);
    EXPECT_EQ(tree->RootNodeCount(), 2u);
    Add(*tree, tree->GetFirst(), "child");
    tree->SetNodeDataSize(64);
    EXPECT_EQ(tree->RootNodeCount(), 2u);
    EXPECT_EQ(tree->GetFirstNoInit()->ChildCount, 0u);
    EXPECT_FALSE(tree->GetFirstNoInit()->States & vsInitialized);
    tree->SetRootNodeCount(0);
    EXPECT_EQ(tree->GetFirst(), nullptr);
    EXPECT_EQ(CheckInvariants(*tree), "");
}

// Nodes come back from freed places as new ones: zeroed, whatever the size of their data
// (large records included), and many at a time.
TEST(NodeStoreMemory, NodesAddedAfterDeletesStartZeroed) {
    for (std::int32_t size : {16, 200, 100000}) {
        SCOPED_TRACE(size);
        TVastStringTree tree(nullptr);
        tree.SetNodeDataSize(size);
        const std::uint32_t count = size > 1000 ? 40 : 30000;
        for (int round = 0; round < 2; ++round) {
            tree.BeginUpdate();
            for (std::uint32_t i = 0; i < count; ++i) tree.AddChild(nullptr);
            tree.EndUpdate();
            int dirty = 0;
            for (PVastNode run = tree.GetFirstNoInit(); run; run = tree.GetNextNoInit(run)) {
                auto* data = static_cast<unsigned char*>(tree.GetNodeData(run));
                dirty += std::any_of(data, data + size, [](unsigned char c) { return c != 0; });
                dirty += run->CheckState != csUncheckedNormal || run->FirstChild || (run->States & vsSelected);
                std::memset(data, 0xAB, std::size_t(size));  // left behind for the next round
                run->CheckState = csCheckedNormal;
            }
            EXPECT_EQ(dirty, 0) << "round " << round;
            EXPECT_EQ(tree.RootNodeCount(), count);
            // Every other node goes (the rest renumbered once, by the clear), then the rest.
            for (PVastNode run = tree.GetFirstNoInit(); run;) {
                PVastNode next = tree.GetNextSibling(run);
                tree.DeleteNode(run, false);
                run = next ? tree.GetNextSibling(next) : nullptr;
            }
            tree.Clear();
        }
        EXPECT_EQ(CheckInvariants(tree), "");
    }
}

// The memory of destroyed trees serves the next ones, the blocks kept as they were and those
// handed to the kernel to reclaim alike: a tree far larger than the first kind, left dirty,
// then another as large, whose nodes must start zeroed all the same.
TEST(NodeStoreMemory, TreesAfterDestroyedTreesStartZeroed) {
    constexpr std::int32_t kSize = 1684;
    constexpr std::uint32_t kCount = 24000;  // about 42 MB of nodes
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        auto tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(kSize);
        tree->BeginUpdate();
        tree->SetRootNodeCount(kCount);
        tree->EndUpdate();
        std::uint32_t dirty = 0, seen = 0;
        for (PVastNode run = tree->GetFirstNoInit(); run; run = tree->GetNextNoInit(run)) {
            auto* data = static_cast<unsigned char*>(tree->GetNodeData(run));
            dirty += std::any_of(data, data + kSize, [](unsigned char c) { return c != 0; });
            dirty += run->CheckState != csUncheckedNormal || (run->States & vsSelected);
            std::memset(data, 0xAB, std::size_t(kSize));  // left behind for the next tree
            run->CheckState = csCheckedNormal;
            ++seen;
        }
        EXPECT_EQ(seen, kCount);
        EXPECT_EQ(dirty, 0u);
    }
}

// A copy into another tree that fails midway frees the copies made so far, in that tree.
TEST(NodeStoreMemory, FailedCopyIntoAnotherTreeLeavesBothTreesWhole) {
    TVastStringTree source(nullptr), target(nullptr);
    for (TVastStringTree* t : {&source, &target}) {
        t->SetNodeDataSize(sizeof(NamedData));
        t->OnSaveNode = [t](TBaseVastTree*, PVastNode node, platform::TStream& s) {
            s.WriteBuffer(t->GetNodeData<NamedData>(node), sizeof(NamedData));
        };
    }
    PVastNode p = Add(source, nullptr, "p");
    for (const char* name : {"a", "b", "c"}) Add(source, Add(source, p, name), std::string(name) + "1");
    Add(target, nullptr, "t");
    target.OnLoadNode = [&](TBaseVastTree*, PVastNode node, platform::TStream& s) {
        s.ReadBuffer(target.GetNodeData<NamedData>(node), sizeof(NamedData));
        if (std::string(Name(target, node)) == "b1") throw std::runtime_error("refused");
    };
    EXPECT_THROW(source.CopyTo(p, &target, amAddChildLast, true), std::runtime_error);
    EXPECT_EQ(target.TotalCount(), 1u);
    EXPECT_EQ(source.TotalCount(), 7u);
    EXPECT_EQ(CheckInvariants(source), "");
    EXPECT_EQ(CheckInvariants(target), "");
}

TEST_F(NodeStoreTest, DeletingDuringIterationFails) {
    Add(*tree, nullptr, "a");
    Add(*tree, nullptr, "b");
    EXPECT_THROW(tree->IterateSubtree(
                     nullptr, [&](TBaseVastTree*, PVastNode node, void*, bool&) { tree->DeleteNode(node); }, nullptr),
                 platform::EAssertionFailed);
    EXPECT_EQ(tree->RootNodeCount(), 2u);
    EXPECT_FALSE(tree->TreeStates() & tsIterating);
}

TEST_F(NodeStoreTest, HidingAndShowingKeepsHeightsAndFlags) {
    PVastNode parent = Add(*tree, nullptr, "p");
    PVastNode child = Add(*tree, parent, "c");
    tree->SetExpanded(parent, true);
    std::uint32_t height = parent->TotalHeight;
    tree->SetVisible(child, false);
    EXPECT_EQ(parent->TotalHeight, height - child->TotalHeight);
    EXPECT_TRUE(parent->States & vsAllChildrenHidden);
    tree->SetVisible(child, true);
    EXPECT_EQ(parent->TotalHeight, height);
    EXPECT_FALSE(parent->States & vsAllChildrenHidden);
    EXPECT_EQ(CheckInvariants(*tree), "");
}

TEST_F(NodeStoreTest, LazyChildrenComeFromInitChildren) {
    int initChildren = 0;
    tree->OnInitNode = [&](TBaseVastTree*, PVastNode parent, PVastNode, TVastNodeInitStates& states) {
        if (!parent) states |= ivsHasChildren;
    };
    tree->OnInitChildren = [&](TBaseVastTree*, PVastNode, std::uint32_t& count) {
        ++initChildren;
        count = 3;
    };
    tree->SetRootNodeCount(2);
    PVastNode first = tree->GetFirst();
    PVastNode child = tree->GetFirstChild(first);
    EXPECT_EQ(initChildren, 1);
    EXPECT_EQ(first->ChildCount, 3u);
    EXPECT_TRUE(child->States & vsInitialized);
    EXPECT_FALSE(child->NextSibling->States & vsInitialized);
    EXPECT_EQ(tree->AbsoluteIndex(first->NextSibling), first->TotalCount);
    EXPECT_EQ(CheckInvariants(*tree), "");
    tree->OnInitChildren = nullptr;
}

}  // namespace
}  // namespace treeview
