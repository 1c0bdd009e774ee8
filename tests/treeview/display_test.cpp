// The tree's window on the job-list fixture grown taller and wider than its window:
// edge auto-scroll while a rubber band is drawn (on the virtual clock), wheel panning with
// its window and cursors, the frame's bevels and border width, and the reactions to
// colour, font and enabling changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "paint_support.h"
#include "platform/backends/headless.h"
#include "platform/core/clock.h"
#include "platform/windows/cursors.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"
#include "treeview/vtcursors.h"

namespace treeview {
namespace {

using namespace platform;

class DisplayTest : public ::testing::Test {
protected:
    DisplayTest() {
        // 46 rows of 18 pixels under a 200-pixel window, four columns of 200 pixels.
        for (int i = 0; i < 40; ++i) {
            PVastNode node = tree()->AddChild(nullptr);
            *tree()->GetNodeData<int>(node) = i % 6;
        }
        for (int i = 0; i < 4; ++i) tree()->Header()->Columns()->Items(i)->SetWidth(200);
        tree()->UpdateScrollBars(true);
        platform::test::Pump();
    }
    POINT FormPoint(int x, int y) {
        POINT p{x, y};
        ClientToScreen(tree()->Handle(), &p);
        RECT frame{};
        GetWindowRect(fixture.form->Handle(), &frame);
        return POINT{p.x - frame.left, p.y - frame.top};
    }
    void Button(int x, int y, bool down, MouseButton button = MouseButton::Left) {
        POINT p = FormPoint(x, y);
        InputMouseButton(fixture.form->Handle(), p.x, p.y, button, down);
        platform::test::Pump();
    }
    void Move(int x, int y) {
        POINT p = FormPoint(x, y);
        InputMouseMove(fixture.form->Handle(), p.x, p.y);
        platform::test::Pump();
    }
    void Wait(std::uint64_t ms) {
        clock.Advance(ms);
        platform::test::Pump();
    }
    int ShownCursor() { return CursorId(GetCursor()); }
    TVastStringTree* tree() { return fixture.tree; }

    platform::TVirtualClock clock;
    platform::TScopedClock scoped{clock};
    test::PaintFixture fixture;
};

TEST_F(DisplayTest, ARubberBandScrollsAtTheEdgesAfterTheDelay) {
    auto* options = tree()->TreeOptions();
    options->SetAutoOptions(options->AutoOptions() | toAutoScroll);
    options->SetSelectionOptions(options->SelectionOptions() & ~toFullRowSelect);
    const int bottom = tree()->ClientHeight() - 5;
    // A band from the empty right part of a row down to the bottom edge.
    Button(150, 20, true);
    Move(20, 60);
    ASSERT_TRUE(tree()->TreeStates() & tsDrawSelecting);
    Move(20, bottom);
    // The first edge met only starts the clock: no direction for AutoScrollDelay.
    EXPECT_EQ(tree()->ScrollDirections(), 0u);
    Wait(999);
    Move(21, bottom);
    EXPECT_EQ(tree()->ScrollDirections(), 0u);
    Wait(1);
    Move(20, bottom);
    EXPECT_EQ(tree()->ScrollDirections(), TScrollDirections(sdDown));
    EXPECT_TRUE(tree()->TreeStates() & tsScrollPending);
    // Then the scroll timer waits the delay once more before its first step.
    Wait(999);
    EXPECT_EQ(tree()->OffsetY(), 0);
    Wait(1);
    const int step = tree()->ScrollBarOptions()->VerticalIncrement();
    EXPECT_EQ(tree()->OffsetY(), -step);
    EXPECT_TRUE(tree()->TreeStates() & tsScrolling);
    Wait(10);  // AutoScrollInterval, raised to the timers' 10-millisecond minimum
    EXPECT_EQ(tree()->OffsetY(), -2 * step);
    EXPECT_GT(tree()->SelectedCount(), 3) << "the band follows the rows scrolled in";
    // Back in the middle: the timer stops.
    Move(20, 100);
    EXPECT_FALSE(tree()->TreeStates() & (tsScrolling | tsScrollPending));
    Wait(50);
    EXPECT_EQ(tree()->OffsetY(), -2 * step);
    // At the edge again only the timer's delay is waited; it stops at the end.
    Move(20, bottom);
    EXPECT_EQ(tree()->ScrollDirections(), TScrollDirections(sdDown));
    Wait(1000);
    for (int i = 0; i < 100; ++i) Wait(10);
    EXPECT_EQ(tree()->OffsetY(), tree()->ClientHeight() - tree()->RangeHeight());
    EXPECT_FALSE(tree()->TreeStates() & (tsScrolling | tsScrollPending)) << "no direction is left";
    Button(20, bottom, false);
    EXPECT_FALSE(tree()->IsMouseSelecting());
}

TEST_F(DisplayTest, AMiddleClickPansUntilTheNextClick) {
    HWND none = tree()->PanningWindow();
    ASSERT_EQ(none, nullptr);
    Button(300, 90, true, MouseButton::Middle);
    HWND panning = tree()->PanningWindow();
    ASSERT_TRUE(panning && IsWindow(panning));
    EXPECT_EQ(GetWindowClassName(panning), "VTPanningWindow");
    RECT box{};
    GetWindowRect(panning, &box);
    POINT origin{300, 90};
    ClientToScreen(tree()->Handle(), &origin);
    EXPECT_EQ(box.left, origin.x - 16);
    EXPECT_EQ(box.top, origin.y - 16);
    EXPECT_EQ(box.right - box.left, 32);
    EXPECT_TRUE(static_cast<HeadlessBackend&>(Backend()).Window(panning).shaped) << "the picture without its magenta";
    EXPECT_EQ(ShownCursor(), CursorId(TreeCursor(vcMoveAll)));
    if (const char* build = std::getenv("LUMACAST_BUILD_DIR")) {
        // The panning window and the tree's cursors side by side, scaled up, for looking at.
        std::filesystem::path artifacts = std::filesystem::path(build) / "artifacts";
        std::filesystem::create_directories(artifacts);
        SaveWindowImage(panning, (artifacts / "treeview-panning-window.png").string());
        TBitmap sheet;
        sheet.SetPixelFormat(pf32bit);
        sheet.SetSize(TreeCursorShapeCount * 68, 68);
        sheet.Canvas()->Brush()->SetColor(clGray);
        sheet.Canvas()->FillRect(TRect{0, 0, sheet.Width(), sheet.Height()});
        for (int shape = 0; shape < TreeCursorShapeCount; ++shape) {
            TCursorImage image = TreeCursorImage(TVTCursorShape(shape));
            for (int y = 0; y < image.Height; ++y)
                for (int x = 0; x < image.Width; ++x) {
                    std::uint32_t pixel = image.Pixels[std::size_t(y * image.Width + x)];
                    if (!(pixel >> 24)) continue;
                    TColor color = (pixel & 0xFFFFFF) ? clWhite : clBlack;
                    for (int k = 0; k < 4; ++k) sheet.Canvas()->SetPixels(shape * 68 + 2 + 2 * x + k % 2, 2 + 2 * y + k / 2, color);
                }
        }
        sheet.SaveToFile((artifacts / "treeview-cursors.png").string());
    }
    Button(300, 90, false, MouseButton::Middle);
    EXPECT_TRUE(tree()->IsPanning()) << "a click keeps panning after the release";

    // 40 pixels below the origin: 32 pixels a 20-millisecond step (8 are the dead zone).
    Move(300, 130);
    EXPECT_EQ(ShownCursor(), CursorId(TreeCursor(vcMoveS)));
    Wait(20);
    EXPECT_EQ(tree()->OffsetY(), -32);
    Wait(20);
    EXPECT_EQ(tree()->OffsetY(), -64);
    Move(300, 95);  // inside the dead zone
    Wait(40);
    EXPECT_EQ(tree()->OffsetY(), -64);
    Move(250, 60);
    EXPECT_EQ(ShownCursor(), CursorId(TreeCursor(vcMoveNW)));

    // The next click ends panning: the window goes and the offset stays.
    Button(250, 60, true);
    EXPECT_FALSE(tree()->IsPanning());
    EXPECT_FALSE(IsWindow(panning));
    const TPoint offset = tree()->OffsetXY();
    Button(250, 60, false);
    Wait(100);
    EXPECT_EQ(tree()->OffsetXY(), offset);
}

TEST_F(DisplayTest, HoldingTheMiddleButtonPansUntilItsRelease) {
    Button(300, 90, true, MouseButton::Middle);
    Move(300, 110);  // farther than the drag threshold: panning while held
    EXPECT_EQ(tree()->TreeStates() & (tsWheelPanning | tsWheelScrolling), tsWheelPanning);
    Wait(20);
    EXPECT_EQ(tree()->OffsetY(), -12);
    Button(300, 110, false, MouseButton::Middle);
    EXPECT_FALSE(tree()->IsPanning());
    EXPECT_EQ(tree()->PanningWindow(), nullptr);
    // A list that fits its window does not pan.
    tree()->Clear();
    tree()->SetBounds(0, 0, 900, 200);
    platform::test::Pump();
    Button(300, 90, true, MouseButton::Middle);
    EXPECT_FALSE(tree()->IsPanning());
    Button(300, 90, false, MouseButton::Middle);
}

TEST_F(DisplayTest, ThePanningCursorPointsFromTheOrigin) {
    Button(300, 90, true, MouseButton::Middle);
    Button(300, 90, false, MouseButton::Middle);
    ASSERT_TRUE(tree()->IsPanning());
    struct Case {
        int dx, dy;
        TVTCursorShape shape;
    };
    const Case both[] = {{0, 0, vcMoveAll},    {7, -7, vcMoveAll},   {-20, -20, vcMoveNW}, {-20, 0, vcMoveW},
                         {-20, 20, vcMoveSW},  {0, -20, vcMoveN},    {0, 20, vcMoveS},     {20, -20, vcMoveNE},
                         {20, 8, vcMoveE},     {20, 9, vcMoveSE},    {-9, -8, vcMoveW}};
    for (const Case& c : both) {
        tree()->AdjustPanningCursor(300 + c.dx, 90 + c.dy);
        EXPECT_EQ(tree()->PanningCursor(), TreeCursor(c.shape)) << c.dx << "," << c.dy;
    }
    // Only taller than the window: up or down.
    for (int i = 0; i < 4; ++i) tree()->Header()->Columns()->Items(i)->SetWidth(50);
    const Case tall[] = {{0, 0, vcMoveNS}, {-20, -20, vcMoveN}, {30, 1, vcMoveS}};
    for (const Case& c : tall) {
        tree()->AdjustPanningCursor(300 + c.dx, 90 + c.dy);
        EXPECT_EQ(tree()->PanningCursor(), TreeCursor(c.shape)) << c.dx << "," << c.dy;
    }
    // A wheel turn ends panning.
    POINT p = FormPoint(300, 90);
    InputMouseWheel(fixture.form->Handle(), p.x, p.y, -120);
    platform::test::Pump();
    EXPECT_FALSE(tree()->IsPanning());
    EXPECT_EQ(tree()->OffsetY(), -54) << "three rows a notch";
}

TEST_F(DisplayTest, TheFramePaintsBevelsAndTheBorderWidth) {
    const int clientWidth = tree()->ClientWidth(), clientHeight = tree()->ClientHeight();
    tree()->SetBevelKind(bkTile);
    tree()->SetBevelInner(bvRaised);
    tree()->SetBevelOuter(bvLowered);
    tree()->SetBorderWidth(3);
    tree()->Colors()->SetColor(TVTColors::BorderColor, clRed);
    platform::test::Pump();
    // Two bevels of one pixel and three of border on each side.
    EXPECT_EQ(tree()->ClientWidth(), clientWidth - 10);
    EXPECT_EQ(tree()->ClientHeight(), clientHeight - 10);
    const int middle = tree()->Height() / 2;
    EXPECT_EQ(GetWindowSurfacePixel(tree()->Handle(), 2, middle), ColorToRGB(clRed));
    EXPECT_EQ(GetWindowSurfacePixel(tree()->Handle(), 4, 4), ColorToRGB(clRed));
    // The lowered outer bevel: shadow at the left, light at the right.
    EXPECT_EQ(GetWindowSurfacePixel(tree()->Handle(), 0, middle), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetWindowSurfacePixel(tree()->Handle(), tree()->Width() - 1, middle), GetSysColor(COLOR_BTNHIGHLIGHT));
    // The header sits inside the frame.
    EXPECT_EQ(tree()->HeaderRect().left, 5);
    EXPECT_EQ(tree()->HeaderRect().top, 5);
    if (const char* build = std::getenv("LUMACAST_BUILD_DIR")) {
        std::filesystem::create_directories(std::filesystem::path(build) / "artifacts");
        SaveWindowImage(fixture.form->Handle(),
                        (std::filesystem::path(build) / "artifacts" / "treeview-bevels.png").string());
    }
    tree()->SetBevelKind(bkNone);
    tree()->SetBorderWidth(0);
    platform::test::Pump();
    EXPECT_EQ(tree()->ClientWidth(), clientWidth);
}

TEST_F(DisplayTest, ColourFontAndEnablingChangesReachTheFrameAndBitmaps) {
    tree()->SetButtonFillMode(fmTreeColor);
    tree()->SetColor(clYellow);
    EXPECT_EQ(tree()->PlusBitmap()->Canvas()->Pixels(2, 2), ColorToRGB(clYellow)) << "buttons drawn again";
    TVTHeader* header = tree()->Header();
    header->SetParentFont(true);
    tree()->Font()->SetHeight(-15);
    EXPECT_EQ(header->Font()->Height(), -15) << "the header follows the tree's font";
    header->SetParentFont(false);
    tree()->Font()->SetHeight(-11);
    EXPECT_EQ(header->Font()->Height(), -15);
    platform::test::Pump();
    // Disabling repaints the header strip in the frame (its captions embossed).
    TRect strip = tree()->HeaderRect();
    auto captionPixels = [&] {
        int dark = 0;
        for (int x = strip.left + 2; x < strip.left + 60; ++x)
            for (int y = strip.top + 2; y < strip.bottom - 2; ++y)
                if (COLORREF c = GetWindowSurfacePixel(tree()->Handle(), x, y);
                    GetRValue(c) + GetGValue(c) + GetBValue(c) < 240)
                    ++dark;
        return dark;
    };
    int enabledDark = captionPixels();
    ASSERT_GT(enabledDark, 0);
    tree()->SetEnabled(false);
    platform::test::Pump();
    EXPECT_EQ(captionPixels(), 0);
    tree()->SetEnabled(true);
    platform::test::Pump();
    EXPECT_EQ(captionPixels(), enabledDark);
}

}  // namespace
}  // namespace treeview
