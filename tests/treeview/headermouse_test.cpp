// The header's mouse on the job-list fixture: the splitter zone, resizing a column by
// dragging its splitter (injected mouse), fitting a column on a double click.
#include <gtest/gtest.h>

#include "paint_support.h"
#include "platform/core/clock.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"

namespace treeview {
namespace {

using namespace platform;

class HeaderMouseTest : public ::testing::Test {
protected:
    // A form point from a tree client point (the header lies at negative y).
    POINT FormPoint(int x, int y) {
        POINT p{x, y};
        ClientToScreen(tree()->Handle(), &p);
        RECT frame{};
        GetWindowRect(fixture.form->Handle(), &frame);
        return POINT{p.x - frame.left, p.y - frame.top};
    }
    void Button(int x, int y, bool down) {
        POINT p = FormPoint(x, y);
        InputMouseButton(fixture.form->Handle(), p.x, p.y, MouseButton::Left, down);
        platform::test::Pump();
    }
    void Move(int x, int y) {
        POINT p = FormPoint(x, y);
        InputMouseMove(fixture.form->Handle(), p.x, p.y);
        platform::test::Pump();
    }
    TVastStringTree* tree() { return fixture.tree; }
    TVastTreeColumn* Column(int i) { return tree()->Header()->Columns()->Items(i); }
    platform::TVirtualClock clock;
    platform::TScopedClock scoped{clock};
    test::PaintFixture fixture;
};

TEST_F(HeaderMouseTest, SplitterZone) {
    TVTHeader* header = tree()->Header();
    struct Case {
        int x;
        TColumnIndex column;  // NoColumn: not on a splitter
    };
    // Columns are 100 wide: the first one's right edge is at 100.
    const Case cases[] = {{97, NoColumn}, {98, 0}, {100, 0}, {104, 0}, {105, NoColumn},
                          {198, 1},       {50, NoColumn}, {404, 3}};
    for (const Case& c : cases) {
        EXPECT_EQ(header->DetermineSplitterIndex(TPoint{c.x, -8}), c.column != NoColumn) << c.x;
        EXPECT_EQ(header->TrackIndex(), c.column) << c.x;
    }
    Column(1)->SetOptions(Column(1)->Options() & ~coResizable);
    EXPECT_FALSE(header->DetermineSplitterIndex(TPoint{200, -8})) << "a column that may not be resized";
}

TEST_F(HeaderMouseTest, DraggingASplitterResizesTheColumn) {
    std::string log;
    tree()->OnColumnResize = [&](TVTHeader*, TColumnIndex column) { log += std::to_string(column) + " "; };
    int clicks = 0;
    tree()->OnClick = [&](TObject*) { ++clicks; };
    PVastNode focused = tree()->FocusedNode();
    Button(201, -8, true);
    EXPECT_EQ(tree()->Header()->States() & hsTrackPending, hsTrackPending);
    Move(210, -8);  // the first move starts tracking without a change
    EXPECT_EQ(Column(1)->Width(), 100);
    Move(250, 30);  // below the header: still tracking
    EXPECT_EQ(Column(1)->Width(), 150);
    Move(5, 30);
    EXPECT_EQ(Column(1)->Width(), Column(1)->MinWidth()) << "the width setter's limits apply";
    Move(240, 30);
    Button(240, 30, false);
    EXPECT_EQ(Column(1)->Width(), 140);
    EXPECT_EQ(Column(2)->Left(), 240);
    EXPECT_EQ(tree()->Header()->States(), 0);
    EXPECT_EQ(log.substr(0, 2), "1 ");
    EXPECT_EQ(clicks, 0) << "the header's press never reaches the rows";
    EXPECT_EQ(tree()->FocusedNode(), focused);
    Move(300, 30);
    EXPECT_EQ(Column(1)->Width(), 140) << "tracking ended with the release";
}

TEST_F(HeaderMouseTest, DoubleClickOnASplitterFitsTheColumn) {
    TVTHeader* header = tree()->Header();
    header->SetOptions(header->Options() | hoDblClickResize);
    int expected = std::max(Column(3)->MinWidth(), tree()->GetMaxColumnWidth(3, false));
    ASSERT_NE(expected, 100);
    POINT p{400, -8};
    ClientToScreen(tree()->Handle(), &p);
    SendMessage(tree()->Handle(), WM_NCLBUTTONDBLCLK, HTBORDER, MAKELPARAM(WORD(p.x), WORD(p.y)));
    EXPECT_EQ(Column(3)->Width(), expected);
    // Elsewhere in the header nothing is resized.
    p = POINT{150, -8};
    ClientToScreen(tree()->Handle(), &p);
    SendMessage(tree()->Handle(), WM_NCLBUTTONDBLCLK, HTBORDER, MAKELPARAM(WORD(p.x), WORD(p.y)));
    EXPECT_EQ(Column(1)->Width(), 100);
}

}  // namespace
}  // namespace treeview
