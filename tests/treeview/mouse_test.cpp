// Mouse on the job-list fixture: hit-test zones, and injected clicks through the input
// queue (check boxes, Ctrl and Shift clicks, expanding, the header strip).
#include <gtest/gtest.h>

#include "paint_support.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"

namespace treeview {
namespace {

using platform::MouseButton;

class MouseTest : public ::testing::Test {
protected:
    // A press and a release at client points of the tree (release defaults to the press).
    void Click(int x, int y, int upX = -1, int upY = -1) {
        Button(x, y, true);
        Button(upX < 0 ? x : upX, upY < 0 ? y : upY, false);
    }
    void Button(int x, int y, bool down, MouseButton button = MouseButton::Left) {
        platform::POINT p{x, y};
        platform::ClientToScreen(tree()->Handle(), &p);
        platform::RECT frame{};
        platform::GetWindowRect(fixture.form->Handle(), &frame);
        platform::InputMouseButton(fixture.form->Handle(), p.x - frame.left, p.y - frame.top, button, down);
        platform::test::Pump();
    }
    void Key(platform::WORD key, bool down) {
        platform::InputKey(key, down);
        platform::test::Pump();
    }
    TVastStringTree* tree() { return fixture.tree; }
    std::string Selected() {
        std::string names;
        for (PVastNode run = tree()->GetFirstSelected(); run; run = tree()->GetNextSelected(run))
            names += std::to_string(*tree()->GetNodeData<int>(run));
        return names;
    }
    test::PaintFixture fixture;
};

TEST_F(MouseTest, HitZones) {
    struct Case {
        int x, y;
        int row;  // -1: no node
        TColumnIndex column;
        THitPositions positions;
    };
    // Row 0 has children (level 0); rows 1 and 2 are its children. Columns are 100 wide.
    const Case cases[] = {
        {10, 9, 0, 0, hiOnItem | hiOnItemButton},       // the last indentation level of a parent
        {10, 27, 1, 0, hiOnItem},                       // outer indentation of a child: no zone
        {30, 27, 1, 0, hiOnItem},                       // a child's own level, but it has no children
        {20, 9, 0, 0, hiOnItem | hiOnItemCheckbox},     // the margin before the box counts
        {38, 9, 0, 0, hiOnItem | hiOnItemCheckbox},
        {50, 9, 0, 0, hiOnItem | hiOnItemLabel},
        {110, 63, 3, 1, hiOnItem | hiOnItemLabel},
        {195, 63, 3, 1, hiOnItem | hiOnItemRight},
        {10, 150, -1, NoColumn, hiNowhere},             // below the last row
        {410, 9, 0, InvalidColumn, hiNowhere},          // right of all columns
        {-3, 9, -1, NoColumn, hiToLeft},
    };
    for (const Case& c : cases) {
        THitInfo hit;
        tree()->GetHitTestInfoAt(c.x, c.y, true, hit);
        EXPECT_EQ(hit.Positions, c.positions) << c.x << "," << c.y;
        EXPECT_EQ(hit.Node, c.row < 0 ? nullptr : tree()->GetNodeAt(c.x, c.y)) << c.x << "," << c.y;
        EXPECT_EQ(hit.Column, c.column) << c.x << "," << c.y;
    }
    // Right to left, the zones are mirrored from the cell's right edge.
    TVastTreeColumn* first = tree()->Header()->Columns()->Items(0);
    first->SetBiDiMode(platform::bdRightToLeft);
    THitInfo hit;
    tree()->GetHitTestInfoAt(95, 9, true, hit);
    EXPECT_EQ(hit.Positions, hiOnItem | hiOnItemButton);
    tree()->GetHitTestInfoAt(75, 9, true, hit);
    EXPECT_EQ(hit.Positions, hiOnItem | hiOnItemCheckbox);
}

TEST_F(MouseTest, CheckPressCountsOnlyWhenReleasedOnTheSameNode) {
    int checked = 0;
    tree()->OnChecked = [&](TBaseVastTree*, PVastNode) { ++checked; };
    PVastNode last = fixture.nodes[5];  // row 5, unchecked
    const int y = 5 * 18 + 9;
    Button(24, y, true);
    EXPECT_EQ(tree()->GetCheckState(last), csUncheckedPressed) << "drawn pressed";
    Button(24, 4 * 18 + 9, false);  // released over another row
    EXPECT_EQ(tree()->GetCheckState(last), csUncheckedNormal);
    EXPECT_EQ(checked, 0);
    Click(24, y, 80, y);  // released elsewhere on the same row
    EXPECT_EQ(tree()->GetCheckState(last), csCheckedNormal);
    EXPECT_EQ(checked, 1);
    Click(24, 4 * 18 + 9);  // a disabled row keeps its box
    EXPECT_EQ(tree()->GetCheckState(fixture.nodes[4]), csUncheckedNormal);
}

TEST_F(MouseTest, ClicksWithCtrlAndShiftSelect) {
    tree()->ClearSelection();
    Click(60, 3 * 18 + 9);
    EXPECT_EQ(Selected(), "3");
    EXPECT_EQ(tree()->FocusedNode(), fixture.nodes[3]);
    Key(platform::VK_CONTROL, true);
    Click(60, 5 * 18 + 9);
    Key(platform::VK_CONTROL, false);
    EXPECT_EQ(Selected(), "35");
    Key(platform::VK_SHIFT, true);
    Click(60, 1 * 18 + 9);
    Key(platform::VK_SHIFT, false);
    EXPECT_EQ(Selected(), "1235") << "from the anchor (row 5) to row 1, less the disabled row 4";
    Click(250, 2 * 18 + 9);  // full-row select: anywhere on the row
    EXPECT_EQ(Selected(), "2");
    Click(60, 150);  // below the rows: nothing selected
    EXPECT_EQ(Selected(), "");
}

TEST_F(MouseTest, ButtonsToggleAndTheHeaderKeepsItsClicks) {
    int downs = 0;
    tree()->OnMouseDown = [&](platform::TObject*, platform::TMouseButton, platform::TShiftState, int, int) { ++downs; };
    Click(8, 9);
    EXPECT_FALSE(tree()->GetExpanded(fixture.nodes[0]));
    EXPECT_EQ(downs, 1);
    Click(8, 9);
    EXPECT_TRUE(tree()->GetExpanded(fixture.nodes[0]));
    // The header lies above the client area: its clicks never reach the rows.
    const std::string before = Selected();
    Click(60, -tree()->Header()->Height() / 2);
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(Selected(), before);
}

TEST_F(MouseTest, WheelScrollsThreeLinesANotch) {
    tree()->BeginUpdate();
    tree()->SetRootNodeCount(200);
    tree()->EndUpdate();
    struct Case {
        int delta;
        platform::WPARAM keys;
        int expectedY;
    };
    const int page = tree()->ClientHeight();
    for (Case c : {Case{-120, 0, -54}, Case{-119, 0, 0}, Case{-240, 0, -108}, Case{-120, platform::MK_CONTROL, -page},
                   Case{120, 0, 0}}) {
        tree()->SetOffsetY(0);
        platform::POINT p{20, 20};
        platform::ClientToScreen(tree()->Handle(), &p);
        platform::SendMessage(tree()->Handle(), platform::WM_MOUSEWHEEL,
                              platform::WPARAM(c.keys | (platform::WPARAM(std::uint16_t(c.delta)) << 16)),
                              platform::LPARAM(std::uint16_t(p.x) | (std::uint32_t(std::uint16_t(p.y)) << 16)));
        platform::test::Pump();
        EXPECT_EQ(tree()->OffsetY(), c.expectedY) << c.delta << " keys " << c.keys;
    }
}

}  // namespace
}  // namespace treeview
