// Update and synchronisation brackets, change notification with its delay on the
// virtual clock, tree states, and the options and colours a new tree starts with.
#include <gtest/gtest.h>
#include <stdexcept>

#include "platform/core/clock.h"
#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.SetNodeDataSize(sizeof(NamedData));
        tree.OnStructureChange = [&](TBaseVastTree*, PVastNode node, TChangeReason reason) {
            log += "structure " + Name(tree, node) + " " + std::to_string(int(reason)) + "; ";
        };
        tree.OnChange = [&](TBaseVastTree*, PVastNode node) { log += "change " + Name(tree, node) + "; "; };
        tree.OnUpdating = [&](TBaseVastTree*, TVTUpdateState state) { log += "updating " + std::to_string(int(state)) + "; "; };
    }
    platform::TVirtualClock clock;
    platform::TScopedClock scoped{clock};
    TVastStringTree tree{nullptr};
    std::string log;
};

TEST_F(UpdateTest, NestedBracketsDeliverOnceAtTheOutermostEnd) {
    tree.BeginUpdate();
    tree.BeginUpdate();
    PVastNode a = Add(tree, nullptr, "a");
    PVastNode b = Add(tree, nullptr, "b");
    tree.SetSelected(a, true);
    tree.EndUpdate();
    EXPECT_EQ(log, "updating 0; updating 3; updating 3; ");
    log.clear();
    tree.SetSelected(b, true);
    tree.EndUpdate();
    EXPECT_EQ(log, "structure - 1; change b; updating 4; ") << "accumulated, with the last node of each kind";
    log.clear();
    tree.EndUpdate();
    EXPECT_EQ(tree.UpdateCount(), 0u);
    EXPECT_EQ(log, "updating 4; ");
}

TEST_F(UpdateTest, ChangeDelayRunsOnTheClock) {
    struct Case {
        std::uint32_t delay;
        bool synch;
        const char* atOnce;
        const char* afterDelay;
    };
    const Case cases[] = {
        {0, false, "change a; ", ""},
        {100, false, "", "change a; "},
        {100, true, "change a; ", ""},
    };
    for (const Case& c : cases) {
        tree.Clear();
        PVastNode a = Add(tree, nullptr, "a");
        tree.SetChangeDelay(c.delay);
        if (c.synch) tree.BeginSynch();
        log.clear();
        tree.SetSelected(a, true);
        Pump();
        EXPECT_EQ(log, c.atOnce) << c.delay << (c.synch ? " synch" : "");
        log.clear();
        clock.Advance(99);
        Pump();
        EXPECT_EQ(log, "") << "not before the delay";
        clock.Advance(1);
        Pump();
        EXPECT_EQ(log, c.afterDelay) << c.delay << (c.synch ? " synch" : "");
        if (c.synch) tree.EndSynch();
        tree.SetChangeDelay(0);
    }
}

TEST_F(UpdateTest, DelayedStructureChangesAccumulate) {
    tree.SetChangeDelay(50);
    Add(tree, nullptr, "a");
    PVastNode b = Add(tree, nullptr, "b");
    Pump();
    EXPECT_EQ(log, "");
    clock.Advance(50);
    Pump();
    EXPECT_EQ(log, "structure - 1; ");
    log.clear();
    tree.BeginSynch();  // delivers a pending change at once
    tree.DeleteNode(b);
    EXPECT_EQ(log, "updating 1; structure - 3; ");
    tree.EndSynch();
}

// A delayed structure change still waiting when an update bracket opens is held by the
// bracket's first change (its timer stopped), however many follow, and reported once when
// the bracket closes; the timer runs again for changes after it.
TEST_F(UpdateTest, WaitingStructureChangeIsHeldByAnUpdateBracket) {
    tree.SetChangeDelay(50);
    Add(tree, nullptr, "a");
    tree.BeginUpdate();
    for (int i = 0; i < 3; ++i) Add(tree, nullptr, "b");
    clock.Advance(50);
    Pump();
    EXPECT_EQ(log, "updating 0; ") << "no structure change while updating";
    log.clear();
    tree.EndUpdate();
    EXPECT_EQ(log, "structure - 1; updating 4; ");
    log.clear();
    clock.Advance(100);
    Pump();
    EXPECT_EQ(log, "") << "reported once";
    Add(tree, nullptr, "c");
    Pump();
    EXPECT_EQ(log, "");
    clock.Advance(50);
    Pump();
    EXPECT_EQ(log, "structure - 1; ");
    tree.SetChangeDelay(0);
}

TEST_F(UpdateTest, StateChangeEventOnlyForRealChanges) {
    int events = 0;
    tree.OnStateChange = [&](TBaseVastTree*, TVastTreeStates, TVastTreeStates) { ++events; };
    tree.DoStateChange(tsHint);
    tree.DoStateChange(tsHint, tsScrolling);
    tree.DoStateChange(0, tsHint);
    EXPECT_EQ(events, 2);
    EXPECT_FALSE(tree.TreeStates() & tsHint);
    tree.OnStateChange = nullptr;
}

TEST(TreeDefaults, OptionsColoursAndScrollBars) {
    TVastStringTree tree(nullptr);
    TStringTreeOptions* options = tree.TreeOptions();
    EXPECT_EQ(options->AutoOptions(), 0x149);
    EXPECT_EQ(options->MiscOptions(), 0x1A9);
    EXPECT_EQ(options->PaintOptions(), 0x1B60u);
    EXPECT_EQ(options->SelectionOptions(), 0);
    EXPECT_EQ(options->AnimationOptions(), 0);
    EXPECT_EQ(options->StringOptions(), 0x05);
    EXPECT_EQ(tree.ScrollBarOptions()->ScrollBars(), ssBoth);
    EXPECT_EQ(tree.ScrollBarOptions()->VerticalIncrement(), 20);
    EXPECT_EQ(tree.Colors()->GetColor(TVTColors::TreeLineColor), platform::TColor(0x80000010));
    EXPECT_EQ(tree.Colors()->GetColor(TVTColors::HotColor), platform::TColor(0x80000008));
    EXPECT_EQ(tree.DefaultText(), "Node");
    EXPECT_EQ(tree.FocusedColumn(), NoColumn);
    EXPECT_THROW(tree.ScrollBarOptions()->SetScrollBarStyle(sbmFlat), platform::EAssertionFailed);
    EXPECT_EQ(tree.ScrollBarOptions()->ScrollBarStyle(), sbmRegular);

    // Options copy between holders; switching multi-selection clears the selection.
    TVastStringTree other(nullptr);
    other.SetNodeDataSize(4);
    PVastNode node = other.AddChild(nullptr);
    other.SetSelected(node, true);
    options->SetSelectionOptions(toMultiSelect);
    options->SetStringOptions(toShowStaticText);
    other.SetTreeOptions(options);
    EXPECT_EQ(other.TreeOptions()->SelectionOptions(), toMultiSelect);
    EXPECT_EQ(other.TreeOptions()->StringOptions(), toShowStaticText);
    EXPECT_EQ(other.SelectedCount(), 0);
}

TEST(TextTree, TextsComeFromTheEventOrTheDefault) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(sizeof(NamedData));
    PVastNode parent = Add(tree, nullptr, "A");
    PVastNode node = Add(tree, parent, "B");
    EXPECT_EQ(tree.GetText(node, 0), "Node");
    tree.OnGetText = [&](TBaseVastTree*, PVastNode n, TColumnIndex, TVSTTextType, std::string& text) {
        text = Name(tree, n);
    };
    EXPECT_EQ(tree.GetText(node, 0), "B");
    EXPECT_EQ(tree.Path(node, 0, ttNormal, '\\'), "A\\B\\");
    EXPECT_EQ(tree.Path(nullptr, 0, ttNormal, '\\'), "\\");
    // A handler that names only some levels: the others are empty, never the text of
    // the level before.
    tree.OnGetText = [&](TBaseVastTree*, PVastNode n, TColumnIndex, TVSTTextType, std::string& text) {
        if (n == node) text = "B";
    };
    EXPECT_EQ(tree.Path(node, 0, ttNormal, '/'), "/B/");
    EXPECT_EQ(tree.DoIncrementalSearch(node, "B"), 0);
    EXPECT_EQ(tree.DoIncrementalSearch(node, "b"), 1);
    EXPECT_THROW(tree.GetText(nullptr, 0), platform::EAssertionFailed);
    std::string received;
    tree.OnNewText = [&](TBaseVastTree*, PVastNode, TColumnIndex, const std::string& text) { received = text; };
    tree.SetCachedTextWidth(node, 42);
    tree.SetText(node, 0, "new");
    EXPECT_EQ(received, "new");
    EXPECT_EQ(tree.CachedTextWidth(node), 0) << "a new text forgets the measured width";
    EXPECT_EQ(tree.InternalData(tree.RootNode()), nullptr);
}

}  // namespace
}  // namespace treeview

namespace treeview {
namespace {

TEST(TreeLoading, RootCountAppliesWhenLoadingEnds) {
    int frees = 0;
    {
        TVastStringTree tree(nullptr);
        tree.OnFreeNode = [&](TBaseVastTree*, PVastNode) { ++frees; };
        tree.BeginLoading();
        tree.SetNodeDataSize(4);
        tree.TreeOptions()->SetMiscOptions(tree.TreeOptions()->MiscOptions() | toReadOnly);
        tree.SetRootNodeCount(3);
        EXPECT_EQ(tree.GetFirstNoInit(), nullptr) << "no nodes while loading";
        tree.Loaded();
        EXPECT_EQ(tree.RootNodeCount(), 3u);
        EXPECT_EQ(test::CheckInvariants(tree), "");
        ASSERT_NE(tree.GetFirstNoInit(), nullptr);
        EXPECT_FALSE(tree.GetFirstNoInit()->States & vsInitialized);
        EXPECT_TRUE(tree.TreeOptions()->MiscOptions() & toReadOnly);
        tree.TotalCount();
    }
    EXPECT_EQ(frees, 3) << "a read-only tree still frees its nodes";
}

TEST(TreeLoading, OldOptionSetMapsOntoTheNewSets) {
    TVastStringTree tree(nullptr);
    tree.ReadOldOptions({"voShowRoot", "voMultiSelect", "voEditable", "voNoSuchOption"});
    EXPECT_EQ(tree.TreeOptions()->PaintOptions(), toShowRoot);
    EXPECT_EQ(tree.TreeOptions()->SelectionOptions(), toMultiSelect);
    EXPECT_EQ(tree.TreeOptions()->MiscOptions(), toEditable);
    EXPECT_EQ(tree.TreeOptions()->AutoOptions(), 0);
    EXPECT_EQ(tree.TreeOptions()->AnimationOptions(), 0);
    tree.ReadOldStringOptions({"soShowStaticText", "soUnknown"});
    EXPECT_EQ(tree.TreeOptions()->StringOptions(), toShowStaticText);
}

}  // namespace
}  // namespace treeview

namespace treeview {
namespace {

using namespace test;

// A handler that throws in the middle of an operation that brackets its work: the
// exception reaches the caller, both trees are out of their brackets and stay usable.
TEST(UpdateBracketTest, AThrowingHandlerLeavesNoBracketOpen) {
    struct Case {
        const char* what;
        std::function<void(TVastStringTree& source, TVastStringTree& target, PVastNode a)> run;
    };
    const Case cases[] = {
        {"copy to another tree",
         [](TVastStringTree& source, TVastStringTree& target, PVastNode a) {
             target.OnNodeCopied = [](TBaseVastTree*, PVastNode) { throw std::runtime_error("copied"); };
             source.OnNodeCopied = target.OnNodeCopied;
             source.CopyTo(a, target.GetFirst(), amAddChildLast, false);
         }},
        {"move to another tree",
         [](TVastStringTree& source, TVastStringTree& target, PVastNode a) {
             source.OnNodeMoved = [](TBaseVastTree*, PVastNode) { throw std::runtime_error("moved"); };
             source.MoveTo(a, target.GetFirst(), amAddChildLast, false);
         }},
        {"work of a bracket",
         [](TVastStringTree& source, TVastStringTree&, PVastNode) {
             source.Updating([] { throw std::runtime_error("work"); });
         }},
    };
    for (const Case& c : cases) {
        TVastStringTree source(nullptr), target(nullptr);
        source.SetNodeDataSize(sizeof(NamedData));
        target.SetNodeDataSize(sizeof(NamedData));
        PVastNode a = Add(source, nullptr, "a");
        Add(source, a, "a1");
        Add(source, a, "a2");
        Add(target, nullptr, "t");
        EXPECT_THROW(c.run(source, target, a), std::runtime_error) << c.what;
        EXPECT_EQ(source.UpdateCount(), 0u) << c.what;
        EXPECT_EQ(target.UpdateCount(), 0u) << c.what;
        EXPECT_FALSE(source.TreeStates() & tsUpdating) << c.what;
        EXPECT_FALSE(target.TreeStates() & tsUpdating) << c.what;
        source.OnNodeCopied = nullptr;
        source.OnNodeMoved = nullptr;
        target.OnNodeCopied = nullptr;
        std::string log;
        source.OnStructureChange = [&](TBaseVastTree*, PVastNode, TChangeReason) { log += "structure; "; };
        Add(source, nullptr, "b");
        EXPECT_EQ(log, "structure; ") << c.what << ": a change outside a bracket is reported at once";
        EXPECT_EQ(CheckInvariants(source), "") << c.what;
        EXPECT_EQ(CheckInvariants(target), "") << c.what;
    }
}

}  // namespace
}  // namespace treeview
