// The drag image: the strips of a move, the radial alpha, the composition, and the image
// following the pointer over a known screen; the tree's picture of its dragged rows; and the
// class library's drags between trees.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "platform/controls/forms.h"
#include "platform/windows/dragdrop.h"
#include "platform/windows/input.h"
#include "platform/windows/windows_test_support.h"
#include "tree_support.h"
#include "two_trees.h"
#include "treeview/vtclipboard.h"
#include "treeview/vtdragdrop.h"
#include "treeview/vtdragimage.h"

namespace treeview {
namespace {

using namespace platform;
using namespace test;

TEST(DragRectangles, EveryDirectionOfAMove) {
    struct Case {
        int dx, dy;
        TRect scroll, firstRestore, secondRestore, firstSample, secondSample;
    };
    const TRect none;
    // 100 x 50; restore and sample rectangles as (x, y, width, height).
    const Case cases[] = {
        {-10, -5, {10, 5, 100, 50}, Bounds(0, 0, 10, 50), Bounds(10, 0, 90, 5), Bounds(0, 45, 90, 5), Bounds(90, 0, 10, 50)},
        {-10, 0, {10, 0, 100, 50}, Bounds(0, 0, 10, 50), none, Bounds(90, 0, 10, 50), none},
        {-10, 5, {10, 0, 100, 50}, Bounds(0, 0, 10, 50), Bounds(10, 45, 90, 5), Bounds(0, 0, 90, 5), Bounds(90, 0, 10, 50)},
        {0, -5, {0, 5, 100, 50}, none, Bounds(0, 0, 100, 5), none, Bounds(0, 45, 100, 5)},
        {0, 5, {0, 0, 100, 45}, none, Bounds(0, 45, 100, 5), none, Bounds(0, 0, 100, 5)},
        {10, -5, {0, 5, 90, 50}, Bounds(0, 0, 90, 5), Bounds(90, 0, 10, 50), Bounds(0, 0, 10, 50), Bounds(10, 45, 90, 5)},
        {10, 0, {0, 0, 90, 50}, Bounds(90, 0, 10, 50), none, Bounds(0, 0, 10, 50), none},
        {10, 5, {0, 0, 90, 45}, Bounds(0, 45, 90, 5), Bounds(90, 0, 10, 50), Bounds(0, 0, 10, 50), Bounds(10, 0, 90, 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "delta " << c.dx << ", " << c.dy);
        TDragRectangles r = FillDragRectangles(100, 50, c.dx, c.dy);
        EXPECT_EQ(r.Clip, TRect(0, 0, 100, 50));
        EXPECT_EQ(r.Scroll, c.scroll);
        EXPECT_EQ(r.FirstRestore, c.firstRestore);
        EXPECT_EQ(r.SecondRestore, c.secondRestore);
        EXPECT_EQ(r.FirstSample, c.firstSample);
        EXPECT_EQ(r.SecondSample, c.secondSample);
    }
}

std::unique_ptr<TBitmap> Solid(int w, int h, COLORREF color) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(w, h);
    bitmap->Canvas()->Brush()->SetColor(TColor(color));
    bitmap->Canvas()->FillRect(TRect(0, 0, w, h));
    return bitmap;
}

std::uint8_t Alpha(TBitmap* bitmap, int x, int y) { return static_cast<std::uint8_t*>(bitmap->ScanLine(y))[x * 4 + 3]; }

TEST(DragImageAlpha, FadesFromTheCentreAndHidesTheKeyColour) {
    TVTDragImage image(nullptr);
    auto source = Solid(200, 100, RGB(10, 20, 30));
    auto target = Solid(200, 100, 0);
    image.MakeAlphaChannel(source.get(), target.get());
    EXPECT_EQ(Alpha(target.get(), 100, 50), 255);
    EXPECT_EQ(Alpha(target.get(), 150, 50), 35);
    EXPECT_EQ(Alpha(target.get(), 0, 0), 3);
    EXPECT_EQ(Alpha(target.get(), 150, 50), Alpha(target.get(), 50, 50));  // symmetric about the centre
    // The key colour: transparent there, and only there.
    source->Canvas()->SetPixels(100, 50, TColor(RGB(1, 2, 3)));
    image.SetKeyColor(TColor(RGB(1, 2, 3)));
    image.MakeAlphaChannel(source.get(), target.get());
    EXPECT_EQ(Alpha(target.get(), 100, 50), 0);
    EXPECT_EQ(Alpha(target.get(), 101, 50), 245);
}

// A top-level window at the screen's top-left painting a pattern that differs at every
// pixel of a few hundred, so any misplaced copy of the screen shows.
COLORREF Pattern(int x, int y) { return RGB((x * 7) & 0xFF, (y * 5) & 0xFF, (x * 3 + y * 11) & 0xFF); }

LRESULT PatternProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) SetPixel(dc, x, y, Pattern(x, y));
        EndPaint(hwnd, &paint);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class DragImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test::UseHeadlessBackend();
        WNDCLASSA cls{};
        cls.lpfnWndProc = &PatternProc;
        cls.lpszClassName = "DragImagePattern";
        RegisterClassA(cls);
        screen = CreateWindowExA(WS_EX_TOOLWINDOW, "DragImagePattern", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                 nullptr, nullptr);
        ShowWindow(screen, SW_SHOWNOACTIVATE);
        testsupport::PumpWindows();
        // A 60 x 40 picture: red, with a key-coloured (white) left column band.
        picture = Solid(60, 40, RGB(200, 0, 0));
        picture->Canvas()->Brush()->SetColor(clWhite);
        picture->Canvas()->FillRect(TRect(0, 0, 10, 40));
        image.SetRadialFade(true);
        image.SetImageAlpha(200);
        image.SetKeyColor(clWhite);
    }
    void TearDown() override {
        image.EndDrag();
        DestroyWindow(screen);
    }
    // The first pixel of the background that differs from the screen under the image.
    std::string BackgroundMismatch() {
        TRect r = image.GetDragImageRect();
        for (int y = 0; y < r.Height(); ++y)
            for (int x = 0; x < r.Width(); ++x) {
                COLORREF got = ColorToRGB(image.Background()->Canvas()->Pixels(x, y));
                if (got != Pattern(r.left + x, r.top + y))
                    return "at " + std::to_string(x) + "," + std::to_string(y);
            }
        return "";
    }
    HWND screen = nullptr;
    std::unique_ptr<TBitmap> picture;
    TVTDragImage image{nullptr};
};

TEST_F(DragImageTest, TheScreenDcShowsTheStackedWindows) {
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetPixel(dc, 123, 45), Pattern(123, 45));
    ReleaseDC(nullptr, dc);
    // A window above covers the pattern; a clipped screen DC reads only its clip.
    HWND above = CreateWindowExA(WS_EX_TOOLWINDOW, "DragImagePattern", "", WS_POPUP, 100, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    ShowWindow(above, SW_SHOWNOACTIVATE);
    testsupport::PumpWindows();
    HRGN clip = CreateRectRgn(100, 10, 120, 20);
    dc = GetDCEx(nullptr, clip, DCX_INTERSECTRGN);
    DeleteObject(clip);
    EXPECT_EQ(GetPixel(dc, 105, 12), Pattern(5, 12));
    ReleaseDC(nullptr, dc);
    DestroyWindow(above);
}

TEST_F(DragImageTest, FollowsThePointerKeepingTheScreenBelowIt) {
    image.PrepareDrag(picture.get(), TPoint{100, 100}, TPoint{130, 120}, nullptr);
    EXPECT_EQ(image.ImageStates(), unsigned(disHidden | disInDrag | disPrepared));
    EXPECT_FALSE(image.Visible());
    EXPECT_EQ(image.GetDragImageRect(), TRect());
    image.ShowDragImage();
    ASSERT_TRUE(image.Visible());
    EXPECT_EQ(BackgroundMismatch(), "");
    // The image window lets the pointer through to the window below.
    EXPECT_EQ(WindowFromPoint(POINT{130, 120}), screen);

    // The composition: the picture's per-pixel alpha scales the image alpha (200).
    for (TPoint p : {TPoint{30, 20}, TPoint{50, 5}, TPoint{5, 20}}) {
        SCOPED_TRACE(testing::Message() << "pixel " << p.x << "," << p.y);
        const int alpha = (200 * Alpha(image.DragPicture(), p.x, p.y)) >> 8;
        const COLORREF under = Pattern(100 + p.x, 100 + p.y), over = ColorToRGB(picture->Canvas()->Pixels(p.x, p.y));
        auto blend = [&](int t, int s) { return std::clamp((t * 256 + alpha * (s - t)) >> 8, 0, 255); };
        const COLORREF expected = RGB(blend(GetRValue(under), GetRValue(over)), blend(GetGValue(under), GetGValue(over)),
                                      blend(GetBValue(under), GetBValue(over)));
        EXPECT_EQ(ColorToRGB(image.Composition()->Canvas()->Pixels(p.x, p.y)), expected);
        EXPECT_EQ(GetWindowSurfacePixel(image.Window(), p.x, p.y), expected);
    }
    EXPECT_EQ(ColorToRGB(image.Composition()->Canvas()->Pixels(5, 20)), Pattern(105, 120)) << "key colour unseen";

    // Moves in every direction, overlapping or not: the background always equals the
    // screen under the new place and the window sits there.
    struct Move {
        int x, y;
    };
    const Move moves[] = {{140, 120}, {133, 126}, {133, 112}, {120, 130}, {150, 100}, {150, 100 + 45}, {60, 145},
                          {61, 146}, {200, 250}, {199, 249}};
    TPoint position{100, 100}, last{130, 120};
    for (const Move& m : moves) {
        SCOPED_TRACE(testing::Message() << "to " << m.x << "," << m.y);
        EXPECT_TRUE(image.WillMove(TPoint{m.x, m.y}));
        EXPECT_TRUE(image.DragTo(TPoint{m.x, m.y}, false));
        position = TPoint{position.x + m.x - last.x, position.y + m.y - last.y};
        last = TPoint{m.x, m.y};
        EXPECT_EQ(image.GetDragImageRect(), Bounds(position.x, position.y, 60, 40));
        RECT window{};
        GetWindowRect(image.Window(), &window);
        EXPECT_EQ(TRect(window), Bounds(position.x, position.y, 60, 40));
        EXPECT_EQ(BackgroundMismatch(), "");
    }
    // No move: nothing happens; a forced repaint reads everything again.
    EXPECT_FALSE(image.DragTo(last, false));
    EXPECT_TRUE(image.DragTo(last, true));
    EXPECT_EQ(BackgroundMismatch(), "");

    std::filesystem::create_directories("artifacts");
    SaveWindowImage(image.Window(), "artifacts/drag_image.png");

    image.HideDragImage();
    EXPECT_FALSE(image.Visible());
    EXPECT_FALSE(IsWindowVisible(image.Window()));
    image.EndDrag();
    EXPECT_FALSE(image.ImageStates() & (disInDrag | disPrepared));
    EXPECT_EQ(image.Window(), nullptr);
    EXPECT_EQ(image.DragPicture(), nullptr);
}

TEST_F(DragImageTest, MoveLimitsKeepAnAxis) {
    image.SetMoveLimit(dmrHorizontalOnly);
    image.PrepareDrag(picture.get(), TPoint{100, 100}, TPoint{130, 120}, nullptr);
    image.ShowDragImage();
    EXPECT_FALSE(image.WillMove(TPoint{130, 160}));
    EXPECT_FALSE(image.DragTo(TPoint{130, 160}, false));
    EXPECT_TRUE(image.DragTo(TPoint{140, 160}, false));
    EXPECT_EQ(image.GetDragImageRect(), Bounds(110, 100, 60, 40));
    EXPECT_EQ(BackgroundMismatch(), "");
}

// Two trees side by side; the left one's selected rows make its drag image.
class TreeDragTest : public TwoTreesTest {
protected:
    void Prepare(TVastStringTree* tree) override {
        tree->OnGetText = [](TBaseVastTree* t, PVastNode node, TColumnIndex, TVSTTextType, std::string& text) {
            text = Name(*t, node);
        };
    }
    TPoint OnText(TVastStringTree* tree, PVastNode node) { return TextPoint(tree, node); }
};

TEST_F(TreeDragTest, TheImageShowsTheSelectedRowsOverTreesOfTheProcess) {
    left->SetSelected(Row(left, 1), true);
    const TPoint hot = OnText(left, Row(left, 1));
    TComPtr<IDataObject> data(new TVTDataObject(left, false));
    left->PrepareDragImage(hot, data.Get());
    TVTDragImage* image = left->DragImage();
    ASSERT_EQ(image->ImageStates(), unsigned(disHidden | disInDrag | disPrepared));
    TBitmap* picture = image->DragPicture();
    ASSERT_EQ(picture->Width(), 200);
    ASSERT_EQ(picture->Height(), 350);
    // The hot spot is the picture's centre: the selected row crosses it; the rows above and
    // below (not selected) are the tree's colour, which the key makes transparent.
    const int rowHeight = int(left->DefaultNodeHeight());
    EXPECT_GT(Alpha(picture, 100, 175), 0);
    EXPECT_EQ(Alpha(picture, 100, 175 - rowHeight), 0);
    EXPECT_EQ(Alpha(picture, 100, 175 + rowHeight), 0);

    // Over a tree of this process the image shows and follows; leaving hides it.
    IDropTarget* target = right->GetDragManager();
    const TPoint p = right->ClientToScreen(TPoint{50, 30});
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->DragEnter(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK);
    EXPECT_TRUE(image->Visible());
    const TRect before = image->GetDragImageRect();
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->DragOver(0, POINTL{p.x + 20, p.y + 10}, &effect), S_OK);
    TRect after = before;
    OffsetRect(&after, 20 + p.x - left->ClientToScreen(hot).x, 10 + p.y - left->ClientToScreen(hot).y);
    EXPECT_EQ(image->GetDragImageRect(), after);
    std::filesystem::create_directories("artifacts");
    SaveWindowImage(image->Window(), "artifacts/tree_drag_image.png");
    target->DragLeave();
    EXPECT_FALSE(image->Visible());
    image->EndDrag();

    left->SetDragImageKind(diNoImage);
    left->PrepareDragImage(hot, data.Get());
    EXPECT_FALSE(image->ImageStates() & disPrepared);
}

TEST_F(TreeDragTest, ClassLibraryDragsReachOnDragDrop) {
    struct Case {
        const char* what;
        bool accepts;
    };
    for (const Case c : {Case{"accepted", true}, Case{"refused without OnDragOver", false}}) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        left->SetDragType(dtVCL);
        left->SetDragMode(dmAutomatic);
        TObject* droppedSource = nullptr;
        IDataObject* droppedData = reinterpret_cast<IDataObject*>(1);
        size_t formats = 99;
        std::string droppedOn;
        DWORD droppedEffect = 0;
        TObject* endTarget = reinterpret_cast<TObject*>(1);
        std::vector<TDragState> states;
        left->OnEndDrag = [&](TObject*, TObject* target, int, int) { endTarget = target; };
        if (c.accepts)
            right->OnDragOver = [&](TBaseVastTree*, TObject*, TShiftState, TDragState state, TPoint, TDropMode, DWORD&,
                                    bool& accept) {
                states.push_back(state);
                accept = true;
            };
        right->OnDragDrop = [&](TBaseVastTree* sender, TObject* source, IDataObject* data,
                                const std::vector<CLIPFORMAT>& f, TShiftState, TPoint, DWORD& effect, TDropMode) {
            droppedSource = source;
            droppedData = data;
            formats = f.size();
            droppedOn = Name(*sender, sender->DropTargetNode());
            droppedEffect = effect;
        };
        HWND top = form->Handle();
        const TPoint from = InForm(left, OnText(left, Row(left, 1))), to = InForm(right, OnText(right, Row(right, 2)));
        InputMouseMove(top, from.x, from.y);
        InputMouseButton(top, from.x, from.y, MouseButton::Left, true);
        InputMouseMove(top, from.x + 8, from.y);
        InputMouseMove(top, to.x, to.y);
        InputMouseMove(top, to.x + 1, to.y);
        InputMouseButton(top, to.x + 1, to.y, MouseButton::Left, false);
        testsupport::PumpWindows();
        if (c.accepts) {
            EXPECT_EQ(droppedSource, left);
            EXPECT_EQ(droppedData, nullptr);
            EXPECT_EQ(formats, 0u);
            EXPECT_EQ(droppedOn, "b2");
            EXPECT_EQ(droppedEffect, DROPEFFECT_COPY);
            EXPECT_EQ(endTarget, right);
            ASSERT_FALSE(states.empty());
            EXPECT_EQ(states.front(), dsDragEnter);
        } else {
            EXPECT_EQ(droppedSource, nullptr);
            EXPECT_EQ(endTarget, nullptr);
        }
        EXPECT_EQ(right->DropTargetNode(), nullptr);
        EXPECT_FALSE(right->TreeStates() & tsVCLDragging);
        EXPECT_FALSE(left->TreeStates() & (tsVCLDragging | tsVCLDragPending | tsLeftButtonDown));
        EXPECT_EQ(CheckInvariants(*right), "");
    }
}

}  // namespace
}  // namespace treeview
