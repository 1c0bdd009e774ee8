// Keys on the job-list fixture through the input queue: navigation with its modifiers,
// Space on check boxes, select all, expanding; and the incremental search on a virtual
// clock.
#include <gtest/gtest.h>

#include "paint_support.h"
#include "platform/core/clock.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"

namespace treeview {
namespace {

class KeysTest : public ::testing::Test {
protected:
    void Press(platform::WORD key) {
        platform::InputKey(key, true);
        platform::InputKey(key, false);
        platform::test::Pump();
    }
    void Hold(platform::WORD key, bool down) {
        platform::InputKey(key, down);
        platform::test::Pump();
    }
    void Type(const std::string& text) {
        for (char c : text) {
            platform::InputKey(platform::WORD(std::toupper(c)), true);
            platform::InputChar(unsigned(c));
            platform::InputKey(platform::WORD(std::toupper(c)), false);
        }
        platform::test::Pump();
    }
    int Row(PVastNode node) { return node ? *tree()->GetNodeData<int>(node) : -1; }
    std::string Selected() {
        std::string names;
        for (PVastNode run = tree()->GetFirstSelected(); run; run = tree()->GetNextSelected(run))
            names += std::to_string(Row(run));
        return names;
    }
    TVastStringTree* tree() { return fixture.tree; }
    test::PaintFixture fixture;
};

TEST_F(KeysTest, NavigationTable) {
    using namespace platform;
    struct Case {
        WORD key;
        TShiftState modifiers;
        int from;  // focused row before
        int focus;
        std::string selected;
        int offsetY;
    };
    // Rows in order: 0, its children 1 and 2, then 3, 4 (disabled), 5.
    const Case cases[] = {
        {VK_DOWN, 0, 0, 1, "1", 0},
        {VK_UP, 0, 1, 0, "0", 0},
        {VK_UP, 0, 0, 0, "0", 0},  // at the top: nothing moves
        {VK_END, 0, 1, 5, "5", 0},
        {VK_HOME, 0, 5, 0, "0", 0},
        {VK_DOWN, ssShift, 1, 2, "12", 0},
        {VK_END, ssShift, 2, 5, "235", 0},   // a range, less the disabled row
        {VK_LEFT, 0, 2, 0, "0", 0},          // to the parent
        {VK_DOWN, ssCtrl, 3, 3, "3", 0},      // Ctrl scrolls (nothing to scroll here) and keeps the focus
        {VK_NEXT, 0, 0, 5, "5", 0},
    };
    for (const Case& c : cases) {
        tree()->ClearSelection();
        tree()->SetFocusedNode(fixture.nodes[std::size_t(c.from)]);
        tree()->SetSelected(fixture.nodes[std::size_t(c.from)], true);
        if (c.modifiers & ssShift) Hold(VK_SHIFT, true);
        if (c.modifiers & ssCtrl) Hold(VK_CONTROL, true);
        Press(c.key);
        if (c.modifiers & ssShift) Hold(VK_SHIFT, false);
        if (c.modifiers & ssCtrl) Hold(VK_CONTROL, false);
        EXPECT_EQ(Row(tree()->FocusedNode()), c.focus) << "key " << c.key << " from " << c.from;
        EXPECT_EQ(Selected(), c.selected) << "key " << c.key << " from " << c.from;
        EXPECT_EQ(tree()->OffsetY(), c.offsetY);
    }
    // Shift+Up from the anchor and back leaves only the anchor selected.
    tree()->ClearSelection();
    tree()->SetFocusedNode(fixture.nodes[2]);
    Press(VK_DOWN);  // focus row 3, the anchor
    Hold(VK_SHIFT, true);
    Press(VK_UP);
    Press(VK_DOWN);
    Hold(VK_SHIFT, false);
    EXPECT_EQ(Selected(), "3");
    // Left collapses an expanded row, Right expands it again.
    tree()->SetFocusedNode(fixture.nodes[0]);
    Press(VK_LEFT);
    EXPECT_FALSE(tree()->GetExpanded(fixture.nodes[0]));
    Press(VK_RIGHT);
    EXPECT_TRUE(tree()->GetExpanded(fixture.nodes[0]));
}

TEST_F(KeysTest, SpaceChecksOnKeyUpAndCtrlASelectsAll) {
    using namespace platform;
    tree()->SetFocusedNode(fixture.nodes[5]);
    int checked = 0;
    tree()->OnChecked = [&](TBaseVastTree*, PVastNode) { ++checked; };
    Hold(VK_SPACE, true);
    EXPECT_EQ(tree()->GetCheckState(fixture.nodes[5]), csUncheckedPressed);
    EXPECT_EQ(checked, 0);
    Hold(VK_SPACE, false);
    EXPECT_EQ(tree()->GetCheckState(fixture.nodes[5]), csCheckedNormal);
    EXPECT_EQ(checked, 1);
    // Another key while Space is down cancels the check.
    Hold(VK_SPACE, true);
    Press(VK_UP);
    Hold(VK_SPACE, false);
    EXPECT_EQ(tree()->GetCheckState(fixture.nodes[5]), csCheckedNormal);
    EXPECT_EQ(checked, 1);
    Hold(VK_CONTROL, true);
    Press(0x41);
    Hold(VK_CONTROL, false);
    EXPECT_EQ(Selected(), "01235");
    EXPECT_EQ(platform::SendMessage(tree()->Handle(), platform::WM_GETDLGCODE, 0, 0), 129);
    tree()->SetWantTabs(true);
    EXPECT_EQ(platform::SendMessage(tree()->Handle(), platform::WM_GETDLGCODE, 0, 0), 131);
}

TEST_F(KeysTest, IncrementalSearch) {
    platform::TVirtualClock clock;
    platform::TScopedClock scoped(clock);
    // First cells: 0 title_01.vob, 1 chapter 1, 2 chapter 2, 3 holiday.avi, 4 disabled.mpg,
    // 5 last.mov.
    tree()->SetFocusedNode(fixture.nodes[0]);
    Type("c");
    EXPECT_EQ(Row(tree()->FocusedNode()), 0) << "no search while it is off";
    EXPECT_EQ(tree()->SearchBuffer(), "");

    tree()->SetSearchOption(TBaseVastTree::isAll);
    struct Step {
        std::string typed;  // "\b" is Backspace
        int focus;
        std::string buffer;
    };
    const Step steps[] = {
        {"c", 1, "c"},    // from the focused row on
        {"h", 1, "ch"},   // the row still matches the longer text
        {"\b", 2, "c"},  // Backspace searches backwards from the row before, wrapping
        {"c", 1, "c"},    // a repeated letter that matches nothing doubled steps on, wrapping
        {"c", 2, "c"},
        {"z", 2, "c"},    // nothing matches: focus and buffer stay
    };
    for (const Step& step : steps) {
        if (step.typed == "\b") {
            platform::InputKey(0x08, true);
            platform::InputChar(8);
            platform::InputKey(0x08, false);
            platform::test::Pump();
        } else {
            Type(step.typed);
        }
        EXPECT_EQ(Row(tree()->FocusedNode()), step.focus) << step.typed;
        EXPECT_EQ(tree()->SearchBuffer(), step.buffer) << step.typed;
        EXPECT_EQ(Selected(), std::to_string(step.focus)) << step.typed;
    }
    // The search ends after the timeout of the program clock.
    clock.Advance(tree()->IncrementalSearchTimeout() - 10);
    platform::test::Pump();
    EXPECT_EQ(tree()->SearchBuffer(), "c");
    clock.Advance(20);
    platform::test::Pump();
    EXPECT_EQ(tree()->SearchBuffer(), "");
    EXPECT_FALSE(tree()->TreeStates() & tsIncrementalSearching);
    Type("l");
    EXPECT_EQ(Row(tree()->FocusedNode()), 5);
}

}  // namespace
}  // namespace treeview
