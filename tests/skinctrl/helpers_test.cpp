// The drawing helpers, pixel by pixel, on small pictures whose every pixel has its own
// colour: frame cutting, the nine-piece and three-piece stretches, tiling, gradients,
// rotations, colour replacement, window regions and borders, caption shortening, and the
// small geometry and text helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "platform/windows/backend.h"
#include "platform/windows/window.h"
#include "platform/windows/windows_test_support.h"
#include "skin_support.h"
#include "skinctrl/dvxpublic.h"

using namespace platform;
using namespace skinctrl;
using skintest::Blank;
using skintest::FillUnique;
using skintest::Pixel;
using skintest::UniqueColor;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kKey = RGB(255, 0, 255);

TEST(SpitBitmap, CutsFramesWithTheLastFlushRight) {
    struct Case {
        int width, count, index;
        int firstColumn, frameWidth;  // frameWidth 0: Dest ends empty
    };
    const Case cases[] = {
        {6, 3, 1, 0, 2},   {6, 3, 2, 2, 2},    {6, 3, 3, 4, 2},
        {7, 3, 3, 5, 2},   // the remainder column 4 is skipped
        {100, 3, 1, 0, 33}, {100, 3, 2, 33, 33}, {100, 3, 3, 67, 33},
        {6, 1, 1, 0, 6},
        {6, 0, 1, 0, 0},   {6, -2, 1, 0, 0},   {6, 3, 0, 0, 0}, {6, 3, 4, 0, 0},
        {2, 3, 1, 0, 0},   // frames of no width
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " wide, frame " + std::to_string(c.index) + " of " +
                     std::to_string(c.count));
        TBitmap source, dest;
        FillUnique(source, c.width, 5);
        FillUnique(dest, 3, 3);
        SpitBitmap(&source, &dest, c.count, c.index);
        ASSERT_EQ(dest.Width(), c.frameWidth);
        if (c.frameWidth == 0) {
            EXPECT_TRUE(dest.Empty());
            continue;
        }
        ASSERT_EQ(dest.Height(), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < c.frameWidth; ++x) ASSERT_EQ(Pixel(dest, x, y), UniqueColor(c.firstColumn + x, y));
    }
}

// Expected picture of a nine-piece draw as source coordinates "xy" per destination pixel.
void ExpectGrid(TBitmap& canvas, const std::vector<std::string>& rows) {
    for (int y = 0; y < int(rows.size()); ++y)
        for (int x = 0; x < int(rows[y].size() / 3 + 1); ++x) {
            std::string cell = rows[y].substr(std::size_t(x) * 3, 2);
            COLORREF want = cell == ".." ? kWhite : UniqueColor(cell[0] - '0', cell[1] - '0');
            EXPECT_EQ(Pixel(canvas, x, y), want) << "at " << x << "," << y << " expected source " << cell;
        }
}

TEST(SpitDraw, SevenBySevenOverItsOwnSizeKeepsItsOffByOnes) {
    TBitmap picture, canvas;
    FillUnique(picture, 7, 7);
    Blank(canvas, 7, 7);
    SpitDraw(&picture, canvas.Canvas(), TRect(0, 0, 7, 7), false);
    // Rows 3 and 4: the left edge and centre repeat row 3, the right edge uses row 4, and
    // the bottom edge starts one pixel up and left, stretched from two columns to three.
    ExpectGrid(canvas, {
                           "00 10 20 30 40 50 60",
                           "01 11 21 31 41 51 61",
                           "02 12 22 32 42 52 62",
                           "03 13 23 33 43 54 64",
                           "03 13 34 44 44 54 64",
                           "05 15 35 45 45 55 65",
                           "06 16 36 46 46 56 66",
                       });
}

TEST(SpitDraw, ButtonSizedPictureOverItsOwnSize) {
    TBitmap picture, canvas;
    FillUnique(picture, 74, 21);
    Blank(canvas, 74, 21);
    SpitDraw(&picture, canvas.Canvas(), TRect(0, 0, 74, 21), false);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(Pixel(canvas, x, y), UniqueColor(x, y)) << "top-left 37x10 block";
    for (int y = 12; y < 21; ++y)
        for (int x = 0; x < 36; ++x) ASSERT_EQ(Pixel(canvas, x, y), UniqueColor(x, y)) << "bottom-left 37x9 block";
    EXPECT_EQ(Pixel(canvas, 36, 12), UniqueColor(37, 12)) << "the bottom edge overlaps the corner's last column";
}

TEST(SpitDraw, SmallRectanglesKeepTheOuterCorners) {
    TBitmap picture, canvas;
    FillUnique(picture, 7, 7);
    Blank(canvas, 4, 4);
    SpitDraw(&picture, canvas.Canvas(), TRect(0, 0, 4, 4), false);
    EXPECT_EQ(Pixel(canvas, 0, 0), UniqueColor(0, 0));
    EXPECT_EQ(Pixel(canvas, 1, 1), UniqueColor(1, 1));
    EXPECT_EQ(Pixel(canvas, 3, 0), UniqueColor(6, 0)) << "top-right keeps the right column";
    EXPECT_EQ(Pixel(canvas, 3, 1), UniqueColor(6, 1));
    EXPECT_EQ(Pixel(canvas, 0, 3), UniqueColor(0, 6)) << "bottom-left keeps the bottom row";
    EXPECT_EQ(Pixel(canvas, 3, 3), UniqueColor(6, 6)) << "bottom-right keeps the outer pixel";
}

TEST(SpitDraw, KeyPixelsShowWhatIsUnder) {
    TBitmap picture;
    FillUnique(picture, 7, 7);
    picture.Canvas()->SetPixels(0, 0, kKey);  // a corner pixel
    picture.Canvas()->SetPixels(3, 3, kKey);  // the centre
    for (bool transparent : {false, true}) {
        TBitmap canvas;
        Blank(canvas, 7, 7);
        SpitDraw(&picture, canvas.Canvas(), TRect(0, 0, 7, 7), transparent);
        EXPECT_EQ(Pixel(canvas, 0, 0), transparent ? kWhite : kKey) << "corners are keyed only when transparent";
        EXPECT_EQ(Pixel(canvas, 3, 3), kWhite) << "the centre is always keyed";
    }
}

TEST(SpitDrawHorizontal, EndsStayAndTheMiddleStretchesOverTheFill) {
    TBitmap picture;
    FillUnique(picture, 6, 5);  // three frames of 2 columns
    const COLORREF mask = RGB(1, 2, 3), fill = RGB(200, 10, 10);
    picture.Canvas()->SetPixels(0, 0, mask);  // the key pixel read from the top
    picture.Canvas()->SetPixels(2, 1, mask);  // a masked pixel of the middle
    TBitmap canvas;
    Blank(canvas, 12, 6);
    SpitDrawHorizontal(&picture, canvas.Canvas(), TRect(1, 0, 11, 5), true, fill, true);
    EXPECT_EQ(Pixel(canvas, 0, 0), kWhite);
    EXPECT_EQ(Pixel(canvas, 1, 0), kWhite) << "the key pixel of the left end";
    EXPECT_EQ(Pixel(canvas, 2, 3), UniqueColor(1, 3));
    EXPECT_EQ(Pixel(canvas, 9, 2), UniqueColor(4, 2)) << "the right end at rect.right - 2";
    EXPECT_EQ(Pixel(canvas, 10, 2), UniqueColor(5, 2));
    // The middle: columns 2 and 3 of the picture stretched over 3..8.
    for (int x = 3; x < 9; ++x) EXPECT_EQ(Pixel(canvas, x, 0), UniqueColor(x < 6 ? 2 : 3, 0));
    for (int x = 3; x < 6; ++x) EXPECT_EQ(Pixel(canvas, x, 1), fill) << "masked middle pixels show the fill";
    EXPECT_EQ(Pixel(canvas, 5, 5), kWhite) << "rect.bottom is the end";

    Blank(canvas, 12, 6);
    SpitDrawHorizontal(&picture, canvas.Canvas(), TRect(0, 0, 1, 5), false, fill, true);
    EXPECT_EQ(Pixel(canvas, 0, 2), UniqueColor(0, 2)) << "narrower than a frame: the left end, cut";
    EXPECT_EQ(Pixel(canvas, 1, 2), kWhite);
}

TEST(SpitDrawHorizontal2, TheMiddleTakesThePictureHeight) {
    TBitmap picture;
    FillUnique(picture, 6, 5);
    picture.Canvas()->SetPixels(0, 0, kKey);
    TBitmap canvas;
    Blank(canvas, 10, 6);
    SpitDrawHorizontal2(&picture, canvas.Canvas(), TRect(0, 0, 10, 2), false, kKey);
    EXPECT_EQ(Pixel(canvas, 0, 0), kKey) << "unmasked";
    EXPECT_EQ(Pixel(canvas, 4, 4), UniqueColor(2, 4)) << "rows below rect.bottom: the picture's height";
    EXPECT_EQ(Pixel(canvas, 5, 5), kWhite);
    Blank(canvas, 10, 6);
    SpitDrawHorizontal2(&picture, canvas.Canvas(), TRect(0, 0, 10, 2), true, kKey);
    EXPECT_EQ(Pixel(canvas, 0, 0), kWhite) << "masked with the given colour";
    EXPECT_EQ(Pixel(canvas, 9, 3), UniqueColor(5, 3));
}

TEST(TileDraw, TilesFromTheOriginPastTheRectangle) {
    TPicture picture;
    FillUnique(*picture.Bitmap(), 10, 10);
    TBitmap canvas;
    Blank(canvas, 35, 35);
    TileDraw(canvas.Canvas(), &picture, TRect(0, 0, 20, 20));
    EXPECT_EQ(Pixel(canvas, 3, 4), UniqueColor(3, 4));
    EXPECT_EQ(Pixel(canvas, 25, 15), UniqueColor(5, 5));
    EXPECT_EQ(Pixel(canvas, 29, 29), UniqueColor(9, 9)) << "the ninth tile at (20, 20)";
    EXPECT_EQ(Pixel(canvas, 30, 30), kWhite) << "no tile at 30";
    TPicture empty;
    TileDraw(canvas.Canvas(), &empty, TRect(0, 0, 20, 20));  // nothing to tile, nothing happens
}

TEST(Gradients, FirstAndLastRowsAreExactAndTheRestTruncates) {
    TBitmap canvas;
    Blank(canvas, 4, 6);
    DrawHorizontalGradient(canvas.Canvas(), TRect(0, 0, 3, 5), RGB(0, 200, 0), RGB(250, 100, 0));
    const COLORREF rows[] = {RGB(0, 200, 0), RGB(0, 200, 0), RGB(50, 180, 0), RGB(100, 160, 0), RGB(250, 100, 0)};
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(Pixel(canvas, 0, y), rows[y]) << "row " << y;
        EXPECT_EQ(Pixel(canvas, 2, y), rows[y]);
        EXPECT_EQ(Pixel(canvas, 3, y), kWhite) << "lines end before rect.right";
    }
    EXPECT_EQ(Pixel(canvas, 0, 5), kWhite);

    Blank(canvas, 4, 6);
    DrawHorizontalGradient(canvas.Canvas(), TRect(0, 2, 4, 4), RGB(1, 1, 1), RGB(9, 9, 9));
    EXPECT_EQ(Pixel(canvas, 1, 2), RGB(1, 1, 1));
    EXPECT_EQ(Pixel(canvas, 1, 3), RGB(9, 9, 9));
    DrawHorizontalGradient(canvas.Canvas(), TRect(0, 5, 4, 5), RGB(1, 1, 1), RGB(9, 9, 9));
    EXPECT_EQ(Pixel(canvas, 1, 5), kWhite) << "no rows, nothing drawn";

    Blank(canvas, 6, 2);
    DrawVerticalGradient(canvas.Canvas(), TRect(1, 0, 5, 2), RGB(200, 0, 0), RGB(0, 0, 0));
    const COLORREF columns[] = {kWhite, RGB(200, 0, 0), RGB(200, 0, 0), RGB(150, 0, 0), RGB(0, 0, 0), kWhite};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(Pixel(canvas, x, 1), columns[x]) << "column " << x;
}

TEST(Rotations, QuarterAndHalfTurns) {
    struct Case {
        void (*turn)(TBitmap*);
        int width, height;
        // The old pixel at the new pixel (x, y) of a 6x5 picture.
        int (*oldX)(int x, int y);
        int (*oldY)(int x, int y);
    };
    const Case cases[] = {
        {RoundPicture, 5, 6, [](int, int y) { return 5 - y; }, [](int x, int) { return x; }},   // counter-clockwise
        {RoundPicture2, 6, 5, [](int x, int) { return 5 - x; }, [](int, int y) { return 4 - y; }},
        {RoundPicture3, 5, 6, [](int, int y) { return y; }, [](int x, int) { return 4 - x; }},  // clockwise
    };
    for (const Case& c : cases) {
        TBitmap b;
        FillUnique(b, 6, 5);
        c.turn(&b);
        ASSERT_EQ(b.Width(), c.width);
        ASSERT_EQ(b.Height(), c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) ASSERT_EQ(Pixel(b, x, y), UniqueColor(c.oldX(x, y), c.oldY(x, y)));
    }
    TBitmap counter;
    FillUnique(counter, 6, 5);
    RoundPicture(&counter);
    EXPECT_EQ(Pixel(counter, 0, 0), UniqueColor(5, 0)) << "counter-clockwise: the top-right corner goes top-left";
}

TEST(ScanColor, ReplacesOneColourAtTwentyFourBits) {
    TBitmap b;
    FillUnique(b, 6, 5);
    b.Canvas()->SetPixels(1, 1, RGB(255, 0, 0));
    b.Canvas()->SetPixels(4, 3, RGB(255, 0, 0));
    ScanColor(&b, RGB(255, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(Pixel(b, 1, 1), RGB(0, 0, 255));
    EXPECT_EQ(Pixel(b, 4, 3), RGB(0, 0, 255));
    EXPECT_EQ(Pixel(b, 2, 2), UniqueColor(2, 2));
}

TEST(BitmapRegion, RunsOfOpaquePixelsWithoutTheLastColumn) {
    TBitmap b;
    FillUnique(b, 6, 5);
    b.Canvas()->SetPixels(2, 1, kKey);
    b.Canvas()->SetPixels(0, 3, kKey);
    HRGN r = BitmapRegion(&b, kKey);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            bool expected = x < 5 && !(x == 2 && y == 1) && !(x == 0 && y == 3);
            EXPECT_EQ(bool(PtInRegion(r, x, y)), expected) << x << "," << y;
        }
    DeleteObject(r);

    TBitmap opaque;
    FillUnique(opaque, 6, 5);
    r = BitmapRegion(&opaque, kKey);
    RECT box;
    GetRgnBox(r, &box);
    EXPECT_EQ(box.right, 5) << "all columns but the last";
    EXPECT_EQ(box.bottom, 5);
    DeleteObject(r);
}

class WindowHelpers : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(10, 10, 120, 80);
        form->SetColor(clWhite);
        form->AfterConstruction();
        form->Show();
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
    }
    TForm* form = nullptr;
};

TEST_F(WindowHelpers, SetBitmapWindowShapesTheWindow) {
    TBitmap b;
    FillUnique(b, 6, 5);
    b.Canvas()->SetPixels(2, 1, kKey);
    SetBitmapWindow(form->Handle(), &b, kKey);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(form->Handle(), r), 0);
    EXPECT_TRUE(PtInRegion(r, 1, 1));
    EXPECT_FALSE(PtInRegion(r, 2, 1));
    EXPECT_FALSE(PtInRegion(r, 5, 0));
    DeleteObject(r);
}

TEST_F(WindowHelpers, DrawControlBorderFramesTheWholeWindow) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clYellow);
    panel->SetBounds(20, 10, 30, 20);
    Application->ProcessMessages();
    HWND top = form->Handle();
    DrawControlBorder(panel, RGB(255, 0, 0), RGB(0, 128, 0), true);
    EXPECT_EQ(GetWindowSurfacePixel(top, 20, 10), RGB(255, 0, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 49, 29), RGB(255, 0, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 21, 11), RGB(0, 128, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 48, 20), RGB(0, 128, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 22, 12), RGB(255, 255, 0)) << "inside the bands";
    EXPECT_EQ(GetWindowSurfacePixel(top, 19, 10), RGB(255, 255, 255)) << "outside the window";
    DrawControlBorder(panel, RGB(0, 0, 255), RGB(0, 128, 0), false);
    EXPECT_EQ(GetWindowSurfacePixel(top, 20, 10), RGB(0, 0, 255));
    EXPECT_EQ(GetWindowSurfacePixel(top, 21, 11), RGB(0, 128, 0)) << "no inner band drawn";
}

TEST_F(WindowHelpers, DoTransPaintsTheParentOrNothing) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clYellow);
    panel->SetBounds(0, 0, 60, 40);
    auto* child = new TPanel(form);
    child->SetParent(panel);
    child->SetBounds(10, 10, 20, 20);
    TBitmap buffer;
    Blank(buffer, 20, 20);
    DoTrans(buffer.Canvas(), child);
    EXPECT_EQ(Pixel(buffer, 5, 5), RGB(255, 255, 0));
    auto* orphan = new TPanel(form);
    Blank(buffer, 20, 20);
    DoTrans(buffer.Canvas(), orphan);
    EXPECT_EQ(Pixel(buffer, 5, 5), kWhite);
}

TEST(FormatStringWithWidth, LongestStartThatFitsWithDots) {
    SetFontFileOverride("Pinned Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    TBitmap b;
    Blank(b, 10, 10);
    TCanvas* c = b.Canvas();
    c->Font()->SetName("Pinned Sans");
    c->Font()->SetHeight(-12);
    const std::string text = "ABCDEFGHIJ";
    int full = c->TextWidth(text);
    int abcd = c->TextWidth("ABCD...");
    ASSERT_LT(c->TextWidth("ABC..."), abcd);
    struct Case {
        int width;
        std::string expected;
    };
    const Case cases[] = {
        {full, text},                       // fits: unchanged
        {full + 50, text},
        {abcd, "ABCD..."},                  // the longest that fits, not the first too wide
        {abcd - 1, "ABC..."},
        {1, "A..."},                        // nothing fits: the one-character candidate
        {0, "A..."},
    };
    for (const Case& k : cases) EXPECT_EQ(FormatStringWithWidth(c, text, k.width), k.expected) << k.width;
    EXPECT_EQ(FormatStringWithWidth(c, "W", 0), "W") << "a single character has nothing to shorten";
    EXPECT_EQ(FormatStringWithWidth(c, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 1), "\xC3\xA9...")
        << "cut at a character, not inside one";
}

TEST(SmallHelpers, GeometryTextAndPlatform) {
    struct InRectCase {
        int x, y;
        bool inside;
    };
    const InRectCase inRect[] = {{10, 10, true}, {0, 0, true}, {0, 10, true}, {11, 5, false}, {5, -1, false}};
    for (const auto& k : inRect) EXPECT_EQ(InRect(k.x, k.y, TRect(0, 0, 10, 10)), k.inside) << k.x << "," << k.y;
    EXPECT_TRUE(InRect(TPoint(10, 0), TRect(0, 0, 10, 10)));

    EXPECT_EQ(GetLocaleButtonCaption(mbAll), "All");
    EXPECT_EQ(GetLocaleButtonCaption(mbNoToAll), "No to All");
    EXPECT_EQ(GetLocaleButtonCaption(mbYesToAll), "Yes to All");
    EXPECT_EQ(GetLocaleButtonCaption(mbOK), "OK");
    EXPECT_EQ(PCharToStr(nullptr), "");
    EXPECT_EQ(PCharToStr("abc"), "abc");

    COMBOBOXINFO info;
    EXPECT_FALSE(DVXGetComboBoxInfo(nullptr, &info)) << "no window is no combo box";
    EXPECT_FALSE(DVXGetScrollBarInfo(nullptr, 0, nullptr));

    const std::pair<const char*, bool> locales[] = {{"he_IL.UTF-8", true}, {"ar", true},  {"fa_IR", true},
                                                    {"ur_PK.UTF-8", true}, {"en_US", false}, {"hr_HR", false},
                                                    {"", false},           {"C", false}};
    for (auto [name, rtl] : locales) EXPECT_EQ(IsMiddleEastLocale(name), rtl) << name;
}

TEST_F(WindowHelpers, SetWinControlTransparentDropsOpaqueAndMarksTheWindow) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetControlStyle(panel->ControlStyle() | csOpaque);
    SetWinControlTransparent(panel);
    EXPECT_EQ(panel->ControlStyle() & csOpaque, 0u);
    EXPECT_NE(GetWindowLongA(panel->Handle(), GWL_EXSTYLE) & LONG(WS_EX_TRANSPARENT), 0);
}

TEST_F(WindowHelpers, PlaceControlSetsBoundsInOrder) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    PlaceControl(panel, TRect(5, 6, 25, 16));
    EXPECT_EQ(panel->BoundsRect(), TRect(5, 6, 25, 16));
    PlaceControl(panel, TPoint(1, 2));
    EXPECT_EQ(panel->BoundsRect(), TRect(1, 2, 21, 12));
    TRect work = GetWorkAreaRect();
    EXPECT_GT(work.Width(), 0);
    EXPECT_GT(work.Height(), 0);
}

}  // namespace
