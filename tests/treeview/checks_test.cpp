// Check boxes: tri-state propagation up and down, refusals, disabled nodes, radio
// buttons, the walks over checked nodes and the image index.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;

// P (tri-state) with check-box children 1, 2, 3; R with radio children r1, r2.
class ChecksTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.SetNodeDataSize(sizeof(NamedData));
        p = Add(tree, nullptr, "P");
        for (const char* name : {"1", "2", "3"}) kids.push_back(Add(tree, p, name));
        r = Add(tree, nullptr, "R");
        r1 = Add(tree, r, "r1");
        r2 = Add(tree, r, "r2");
        tree.TotalCount();
        tree.SetCheckType(p, ctTriStateCheckBox);
        for (PVastNode kid : kids) tree.SetCheckType(kid, ctCheckBox);
        tree.SetCheckType(r1, ctRadioButton);
        tree.SetCheckType(r2, ctRadioButton);
        tree.OnChecked = [&](TBaseVastTree*, PVastNode node) { events += Name(tree, node) + " "; };
        tree.OnChecking = [&](TBaseVastTree*, PVastNode node, TCheckState&, bool& allowed) {
            if (Name(tree, node) == refuse) allowed = false;
        };
    }
    std::string States() {
        std::string result;
        for (PVastNode node : {p, kids[0], kids[1], kids[2]}) result += "ucCCmM"[node->CheckState];
        return result;
    }
    TVastStringTree tree{nullptr};
    PVastNode p, r, r1, r2;
    std::vector<PVastNode> kids;
    std::string events, refuse;
};

TEST_F(ChecksTest, TriStatePropagation) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, TCheckState>> before;  // -1 is P
        std::string refuse;
        int node;
        TCheckState state;
        const char* states;  // P 1 2 3: u unchecked, C checked, m mixed
        const char* events;
    };
    const Case cases[] = {
        {"checking the parent checks its children", {}, "", -1, csCheckedNormal, "CCCC", "1 2 3 P "},
        {"a refusing child leaves the parent mixed", {}, "2", -1, csCheckedNormal, "mCuC", "1 3 P "},
        {"one child checked makes the parent mixed", {}, "", 0, csCheckedNormal, "mCuu", "P 1 "},
        {"the last child completes the parent", {{0, csCheckedNormal}, {1, csCheckedNormal}}, "", 2,
         csCheckedNormal, "CCCC", "P 3 "},
        {"unchecking a mixed parent's last box", {{0, csCheckedNormal}}, "", 0, csUncheckedNormal, "uuuu", "P 1 "},
        {"a refusing parent keeps its state; the child still reports", {}, "P", 1, csCheckedNormal, "uuCu", "2 "},
        {"no event for the state a node already has", {{0, csCheckedNormal}}, "", 0, csCheckedNormal, "mCuu", ""},
    };
    for (const Case& c : cases) {
        for (PVastNode node : {p, kids[0], kids[1], kids[2]}) node->CheckState = csUncheckedNormal;
        refuse.clear();
        for (auto [index, state] : c.before) tree.SetCheckState(index < 0 ? p : kids[std::size_t(index)], state);
        events.clear();
        refuse = c.refuse;
        tree.SetCheckState(c.node < 0 ? p : kids[std::size_t(c.node)], c.state);
        EXPECT_EQ(States(), c.states) << c.name;
        EXPECT_EQ(events, c.events) << c.name;
        EXPECT_FALSE(tree.TreeStates() & tsCheckPropagation);
    }
}

// A handler that throws while a change propagates leaves no node marked as changing and no
// propagation under way, so the same boxes can be changed again afterwards.
TEST_F(ChecksTest, AThrowingHandlerLeavesNoChangeUnderWay) {
    bool fail = true;
    tree.OnChecked = [&](TBaseVastTree*, PVastNode node) {
        if (fail && Name(tree, node) == "P") throw std::runtime_error("handler");
        events += Name(tree, node) + " ";
    };
    EXPECT_THROW(tree.SetCheckState(kids[0], csCheckedNormal), std::runtime_error);
    EXPECT_FALSE(tree.TreeStates() & tsCheckPropagation);
    for (PVastNode node : {p, kids[0], kids[1], kids[2]}) EXPECT_FALSE(node->States & vsChecking) << Name(tree, node);
    fail = false;
    events.clear();
    tree.SetCheckState(kids[1], csCheckedNormal);
    EXPECT_EQ(kids[1]->CheckState, csCheckedNormal);
    EXPECT_NE(events.find("2 "), std::string::npos) << events;
}

TEST_F(ChecksTest, DisabledAndReadOnlyNodesKeepTheirState) {
    tree.SetDisabled(kids[0], true);
    tree.SetCheckState(kids[0], csCheckedNormal);
    EXPECT_EQ(kids[0]->CheckState, csUncheckedNormal);
    tree.TreeOptions()->SetMiscOptions(tree.TreeOptions()->MiscOptions() | toReadOnly);
    tree.SetCheckState(kids[1], csCheckedNormal);
    EXPECT_EQ(kids[1]->CheckState, csUncheckedNormal);
    EXPECT_EQ(events, "");
}

TEST_F(ChecksTest, RadioButtonsExcludeEachOtherSilently) {
    tree.SetCheckState(r1, csCheckedNormal);
    events.clear();
    tree.SetCheckState(r2, csCheckedNormal);
    EXPECT_EQ(r1->CheckState, csUncheckedNormal);
    EXPECT_EQ(r2->CheckState, csCheckedNormal);
    EXPECT_EQ(events, "r2 ");
}

TEST_F(ChecksTest, CheckedWalksCoverTheWholeTree) {
    tree.SetCheckType(r, ctCheckBox);
    tree.SetCheckState(kids[1], csCheckedNormal);
    tree.SetCheckState(r2, csCheckedNormal);
    EXPECT_EQ(Walk(tree, tree.GetFirstChecked(), [&](PVastNode n) { return tree.GetNextChecked(n); }), "2 r2");
    // From the end the walk starts below the last top-level node.
    EXPECT_EQ(Walk(tree, tree.GetPreviousChecked(nullptr), [&](PVastNode n) { return tree.GetPreviousChecked(n); }),
              "r2 2");
    EXPECT_EQ(tree.CheckedCount(), 2);
    tree.ClearChecked();
    EXPECT_EQ(tree.CheckedCount(), 0);
    EXPECT_EQ(tree.GetFirstChecked(csMixedNormal), nullptr);
}

TEST_F(ChecksTest, ImageIndexAndNextState) {
    struct Case {
        TCheckType type;
        TCheckState state;
        bool disabled;
        int image;
    };
    const Case cases[] = {
        {ctNone, csCheckedNormal, false, -1},      {ctCheckBox, csUncheckedNormal, false, 9},
        {ctCheckBox, csCheckedNormal, true, 16},   {ctTriStateCheckBox, csMixedNormal, false, 17},
        {ctRadioButton, csCheckedPressed, false, 7}, {ctButton, csCheckedNormal, false, 21},
        {ctButton, csUncheckedPressed, true, 24},  {ctCheckBox, csMixedPressed, true, 20},
    };
    PVastNode node = kids[0];
    for (const Case& c : cases) {
        node->CheckType = c.type;
        node->CheckState = c.state;
        tree.SetDisabled(node, c.disabled);
        EXPECT_EQ(tree.GetCheckImage(node), c.image) << int(c.type) << " " << int(c.state);
    }
    EXPECT_EQ(tree.DetermineNextCheckState(ctCheckBox, csMixedNormal), csCheckedNormal);
    EXPECT_EQ(tree.DetermineNextCheckState(ctTriStateCheckBox, csCheckedNormal), csUncheckedNormal);
    EXPECT_EQ(tree.DetermineNextCheckState(ctRadioButton, csCheckedNormal), csCheckedNormal);
    EXPECT_EQ(tree.DetermineNextCheckState(ctNone, csCheckedNormal), csMixedNormal);
}

}  // namespace
}  // namespace treeview

namespace treeview {
namespace {

TEST(CheckImages, PaintedFromTheStripTransparently) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(4);
    PVastNode node = tree.AddChild(nullptr);
    platform::TBitmap target;
    target.SetPixelFormat(platform::pf32bit);
    target.SetSize(20, 20);
    auto pixel = [&](int x, int y) { return static_cast<std::uint32_t*>(target.ScanLine(y))[x] & 0xFFFFFF; };
    std::uint32_t background = pixel(0, 0);
    tree.PaintCheckImage(target.Canvas(), node, 13, 2, 2, false);  // checked box
    EXPECT_EQ(pixel(0, 0), background) << "outside the image";
    EXPECT_EQ(pixel(2, 2), background) << "the strip's transparent corner";
    EXPECT_NE(pixel(3, 3), background) << "the box frame";
    tree.PaintCheckImage(target.Canvas(), node, 99, 0, 0, false);  // no such image: nothing
    tree.PaintCheckImage(nullptr, node, 13, 0, 0, false);
    EXPECT_EQ(pixel(0, 0), background);
}

}  // namespace
}  // namespace treeview
