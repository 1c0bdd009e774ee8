// The header's mouse on the job-list fixture: the splitter zone, resizing a column by
// dragging its splitter (injected mouse), fitting a column on a double click, dragging a
// column to a new position, the header timer, the split cursor and spring columns.
#include <gtest/gtest.h>

#include "paint_support.h"
#include "platform/backends/headless.h"
#include "platform/controls/menus.h"
#include "platform/core/clock.h"
#include "platform/windows/cursors.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"
#include "treeview/vtcursors.h"
#include "treeview/vtdragimage.h"

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
    // Column indexes in display order.
    std::string Order() {
        std::string order;
        for (std::int32_t index : tree()->Header()->Columns()->PositionToIndex()) order += std::to_string(index);
        return order;
    }
    int ShownCursor() {
        return static_cast<HeadlessBackend&>(Backend()).Window(fixture.form->Handle()).cursor;
    }
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

TEST_F(HeaderMouseTest, DraggingAColumnMovesItWhereItIsDropped) {
    struct Case {
        int dropX;          // client x of the release, in the header
        const char* order;  // display order afterwards
        int dropTarget;
        bool before;
    };
    // Column 0 (position 0) is dragged onto column 2 (position 2, x 200 to 300): its
    // left half drops before it, its right half after it.
    const Case cases[] = {{210, "1023", 2, true}, {290, "1203", 2, false}, {20, "0123", 0, true}};
    for (const Case& c : cases) {
        clock.Advance(1000);  // no double click with the last case's release
        for (int i = 0; i < 4; ++i) Column(i)->SetPosition(TColumnPosition(i));
        ASSERT_EQ(Order(), "0123");
        std::string log;
        tree()->OnHeaderDragged = [&](TVTHeader*, TColumnIndex column, int old) {
            log += "dragged " + std::to_string(column) + " from " + std::to_string(old) + ";";
        };
        tree()->OnHeaderDraggedOut = [&](TVTHeader*, TColumnIndex column, TPoint) {
            log += "out " + std::to_string(column) + ";";
        };
        Button(50, -8, true);
        EXPECT_EQ(tree()->Header()->States(), hsDragPending) << c.dropX;
        Move(c.dropX, -8);
        EXPECT_EQ(tree()->Header()->States(), hsDragging) << c.dropX;
        EXPECT_EQ(tree()->Header()->Columns()->DropTarget(), c.dropTarget) << c.dropX;
        EXPECT_EQ(tree()->Header()->Columns()->DropBefore(), c.before) << c.dropX;
        Button(c.dropX, -8, false);
        EXPECT_EQ(Order(), c.order) << c.dropX;
        EXPECT_EQ(tree()->Header()->States(), 0) << c.dropX;
        EXPECT_EQ(tree()->Header()->Columns()->DropTarget(), NoColumn) << c.dropX;
        EXPECT_EQ(log, c.dropTarget == 0 ? "out 0;" : "dragged 0 from 0;") << c.dropX;
        if (c.dropTarget != 0) {
            EXPECT_EQ(Column(0)->Left(), c.before ? 100 : 200) << c.dropX;
        }
    }
    // A release outside the tree's window moves nothing either.
    clock.Advance(1000);
    for (int i = 0; i < 4; ++i) Column(i)->SetPosition(TColumnPosition(i));
    std::string out;
    tree()->OnHeaderDraggedOut = [&](TVTHeader*, TColumnIndex column, TPoint) { out += std::to_string(column); };
    Button(250, -8, true);
    Move(150, -8);
    Move(150, 230);
    Button(150, 230, false);
    EXPECT_EQ(out, "2");
    EXPECT_EQ(Order(), "0123");
}

TEST_F(HeaderMouseTest, TheDraggedColumnsPictureFollowsTheMouse) {
    TVTDragImage* image = tree()->Header()->DragImage();
    const int height = tree()->Header()->Height();
    for (bool restricted : {false, true}) {
        SCOPED_TRACE(restricted ? "restricted to the header's row" : "free");
        clock.Advance(1000);
        auto* header = tree()->Header();
        header->SetOptions(restricted ? header->Options() | hoRestrictDrag : header->Options() & ~hoRestrictDrag);
        Button(150, -8, true);
        Move(170, -8);
        ASSERT_TRUE(image->Visible());
        // Column 1 (x 100 to 200) as it is shown, over the header strip.
        const TPoint origin = tree()->ClientToScreen(TPoint{100, -height});
        EXPECT_EQ(image->GetDragImageRect(), Bounds(origin.x, origin.y, 100, height));
        EXPECT_EQ(image->Background()->Width(), 100);
        Move(200, 2);
        EXPECT_EQ(image->GetDragImageRect(), Bounds(origin.x + 30, origin.y + (restricted ? 0 : 10), 100, height));
        Move(200, -8);
        Button(200, -8, false);
        EXPECT_FALSE(image->ImageStates() & (disInDrag | disPrepared));
        EXPECT_EQ(image->Window(), nullptr);
    }
}

TEST_F(HeaderMouseTest, ADragStartsBeyondTheThresholdAndEscapeCancelsIt) {
    struct Case {
        int dx, dy;
        THeaderStates state;
    };
    // The mouse drag threshold is 5 pixels: 5 keeps the press pending, 6 starts the drag.
    const Case cases[] = {{5, 0, hsDragPending}, {0, 5, hsDragPending}, {5, 5, hsDragPending},
                          {6, 0, hsDragging},    {0, 6, hsDragging},    {-6, 0, hsDragging}};
    for (const Case& c : cases) {
        clock.Advance(1000);
        Button(150, -8, true);
        Move(150 + c.dx, -8 + c.dy);
        EXPECT_EQ(tree()->Header()->States(), c.state) << c.dx << "," << c.dy;
        if (c.state == hsDragging) {
            InputKey(VK_ESCAPE, true);
            InputKey(VK_ESCAPE, false);
            platform::test::Pump();
            EXPECT_EQ(tree()->Header()->States(), 0) << "Escape ends the drag";
            Move(350, -8);
            Button(350, -8, false);
        } else {
            Button(150 + c.dx, -8 + c.dy, false);
        }
        EXPECT_EQ(Order(), "0123") << "a cancelled or pending drag moves nothing";
        EXPECT_EQ(tree()->Header()->States(), 0);
    }
    // A handler may refuse the drag: the press stays pending, nothing moves.
    tree()->OnHeaderDragging = [](TVTHeader*, TColumnIndex, bool& allowed) { allowed = false; };
    clock.Advance(1000);
    Button(150, -8, true);
    Move(350, -8);
    EXPECT_EQ(tree()->Header()->States(), hsDragPending);
    Button(350, -8, false);
    EXPECT_EQ(Order(), "0123");
}

TEST_F(HeaderMouseTest, AClickNeedsPressAndReleaseOnTheSameColumn) {
    std::string clicks;
    tree()->OnHeaderClick = [&](TVTHeader*, TColumnIndex column, TMouseButton, TShiftState, int, int) {
        clicks += std::to_string(column);
    };
    Button(150, -8, true);
    Button(150, -8, false);
    clock.Advance(1000);
    Button(150, -8, true);
    Move(153, -6);
    Button(153, -6, false);
    // Down on one column and up on another clicks neither.
    clock.Advance(1000);
    Button(150, -8, true);
    Button(250, -8, false);
    EXPECT_EQ(clicks, "11");
    EXPECT_EQ(tree()->Header()->Columns()->DownIndex(), NoColumn);
}

TEST_F(HeaderMouseTest, ARightClickShowsTheHeadersMenuOrAsksTheTreeWithoutANode) {
    TPopupMenu own(nullptr), asked(nullptr);
    std::vector<std::string> shown;
    own.OnPopup = [&](TObject*) { shown.push_back("own"); };
    asked.OnPopup = [&](TObject*) { shown.push_back("asked"); };
    std::string questions;
    tree()->OnGetPopupMenu = [&](TBaseVastTree*, PVastNode node, TColumnIndex column, TPoint, bool&,
                                 TPopupMenu*& menu) {
        questions += (node ? "node" : "none") + std::string("/") + std::to_string(column) + " ";
        if (column == 2) menu = &asked;
    };
    auto rightClick = [&](int x) {
        POINT p = FormPoint(x, -8);
        InputMouseButton(fixture.form->Handle(), p.x, p.y, MouseButton::Right, true);
        InputMouseButton(fixture.form->Handle(), p.x, p.y, MouseButton::Right, false);
        // The menu's own loop takes these and ends; without a menu the form gets them.
        InputKey(VK_ESCAPE, true);
        InputKey(VK_ESCAPE, false);
        platform::test::Pump();
        clock.Advance(1000);
    };
    rightClick(150);  // column 1: the tree gives nothing
    rightClick(250);  // column 2: the tree's menu
    EXPECT_EQ(questions, "none/1 none/2 ");
    tree()->Header()->SetPopupMenu(&own);
    rightClick(150);  // the header's own menu; the tree is not asked
    EXPECT_EQ(questions, "none/1 none/2 ");
    EXPECT_EQ(shown, (std::vector<std::string>{"asked", "own"}));
    EXPECT_EQ(own.PopupComponent(), tree());
    EXPECT_FALSE(tree()->TreeStates() & (tsScrollPending | tsScrolling));
}

TEST_F(HeaderMouseTest, TheHeaderTimerForgetsTheHoverOnceTheMouseLeft) {
    TVastTreeColumns* columns = tree()->Header()->Columns();
    Move(150, -8);
    EXPECT_EQ(columns->HoverIndex(), 1);
    Move(250, -8);
    EXPECT_EQ(columns->HoverIndex(), 2);
    clock.Advance(60);
    platform::test::Pump();
    EXPECT_EQ(columns->HoverIndex(), 2) << "still in the header";
    Move(250, 40);  // over the rows: no header message comes any more
    EXPECT_EQ(columns->HoverIndex(), 2);
    clock.Advance(60);
    platform::test::Pump();
    EXPECT_EQ(columns->HoverIndex(), NoColumn);
}

TEST_F(HeaderMouseTest, TheSplitCursorShowsOverASplitter) {
    Move(150, -8);
    const int arrow = ShownCursor();
    Move(101, -8);
    HCURSOR split = Screen->Cursors(crHeaderSplit);
    ASSERT_GE(CursorId(split), FirstCustomCursorId);
    EXPECT_EQ(ShownCursor(), CursorId(split));
    const TCursorImage* image = CustomCursorImage(split);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width, 32);
    EXPECT_EQ(image->Pixels[std::size_t(image->HotY * image->Width + image->HotX + 2)] >> 24, 0xFFu)
        << "the shape is drawn around its hot spot";
    Move(150, -8);
    EXPECT_EQ(ShownCursor(), arrow);
    // A handler may change the header's cursor; without hoColumnResize it is not asked.
    tree()->OnGetHeaderCursor = [](TVTHeader*, HCURSOR& cursor) { cursor = LoadCursorA(nullptr, IDC_HAND); };
    Move(101, -8);
    EXPECT_EQ(ShownCursor(), IDC_HAND);
    tree()->Header()->SetOptions(tree()->Header()->Options() & ~hoColumnResize);
    Move(150, -8);
    Move(101, -8);
    EXPECT_NE(ShownCursor(), IDC_HAND);
    EXPECT_NE(ShownCursor(), CursorId(split));
}

TEST_F(HeaderMouseTest, SpringColumnsShareTheGrowth) {
    TVTHeader* header = tree()->Header();
    header->SetOptions(header->Options() | hoAutoSpring);
    Column(1)->SetOptions(Column(1)->Options() | coAutoSpring);
    Column(3)->SetOptions(Column(3)->Options() | coAutoSpring);
    tree()->SetBounds(0, 0, 420, 200);
    header->UpdateSpringColumns();  // the width to grow from
    ASSERT_EQ(header->LastWidth(), tree()->ClientWidth());
    struct Step {
        int growth;
        int width1, width3;
        float rest;
    };
    const Step steps[] = {{3, 101, 101, 0.5f}, {1, 102, 102, 0.0f}, {-2, 101, 101, 0.0f}, {-1, 101, 101, 0.5f}, {1, 102, 102, 0.0f}};
    int width = 420;
    for (const Step& step : steps) {
        width += step.growth;
        tree()->SetBounds(0, 0, width, 200);
        platform::test::Pump();
        EXPECT_EQ(Column(1)->Width(), step.width1) << step.growth;
        EXPECT_EQ(Column(3)->Width(), step.width3) << step.growth;
        EXPECT_FLOAT_EQ(Column(3)->SpringRest(), step.rest) << step.growth;
        EXPECT_EQ(Column(0)->Width(), 100);
    }
}

}  // namespace
}  // namespace treeview
