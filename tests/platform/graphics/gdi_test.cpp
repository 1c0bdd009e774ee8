// Device contexts, regions, clipping, primitives and blits, pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/graphics/gdi.h"
#include "platform/graphics/surface.h"

using namespace platform;
using platform::testing::Surface;

namespace {

// '#' where the pixel has colour c, '.' elsewhere; one string per row.
std::string Row(Surface& s, int y, COLORREF c) {
    std::string out;
    for (int x = 0; x < s.width; ++x) out += s.Pixel(x, y) == c ? '#' : '.';
    return out;
}

std::vector<std::string> Rows(Surface& s, COLORREF c) {
    std::vector<std::string> r;
    for (int y = 0; y < s.height; ++y) r.push_back(Row(s, y, c));
    return r;
}

constexpr COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kBlack = 0;

}  // namespace

TEST(GdiRectangles, FillRectExcludesRightAndBottomEdge) {
    Surface s(6, 5);
    HBRUSH b = CreateSolidBrush(kRed);
    RECT r{1, 1, 4, 3};
    FillRect(s.dc, &r, b);
    EXPECT_EQ(Rows(s, kRed), (std::vector<std::string>{"......", ".###..", ".###..", "......", "......"}));
    DeleteObject(b);
}

TEST(GdiRectangles, RectangleOutlinesWithPenAndFillsWithBrush) {
    Surface s(6, 6);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(s.dc, pen);
    SelectObject(s.dc, brush);
    Rectangle(s.dc, 1, 1, 5, 5);
    EXPECT_EQ(Rows(s, kRed), (std::vector<std::string>{"......", ".####.", ".#..#.", ".#..#.", ".####.", "......"}));
    EXPECT_EQ(Rows(s, RGB(0, 0, 255)),
              (std::vector<std::string>{"......", "......", "..##..", "..##..", "......", "......"}));
    // Without a pen the filled area loses its right column and bottom row.
    s.Clear(kWhite);
    SelectObject(s.dc, GetStockObject(NULL_PEN));
    Rectangle(s.dc, 1, 1, 5, 5);
    EXPECT_EQ(Rows(s, RGB(0, 0, 255)),
              (std::vector<std::string>{"......", ".###..", ".###..", ".###..", "......", "......"}));
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(GdiRectangles, FrameRectAndSystemColourBrushIndex) {
    Surface s(5, 4);
    RECT r{0, 0, 5, 4};
    // A system colour index + 1 in place of a brush, as dialog code passes it.
    FrameRect(s.dc, &r, reinterpret_cast<HBRUSH>(std::uintptr_t(COLOR_WINDOWFRAME + 1)));
    EXPECT_EQ(Rows(s, GetSysColor(COLOR_WINDOWFRAME)), (std::vector<std::string>{"#####", "#...#", "#...#", "#####"}));
}

TEST(GdiLines, LineToExcludesItsEndPoint) {
    struct Case {
        POINT from, to;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {{0, 1}, {4, 1}, {".....", "####.", ".....", ".....", "....."}},
        {{4, 1}, {0, 1}, {".....", ".####", ".....", ".....", "....."}},
        {{2, 0}, {2, 3}, {"..#..", "..#..", "..#..", ".....", "....."}},
        {{0, 0}, {4, 4}, {"#....", ".#...", "..#..", "...#.", "....."}},
        {{2, 2}, {2, 2}, {".....", ".....", ".....", ".....", "....."}},
    };
    for (const Case& c : cases) {
        Surface s(5, 5);
        MoveToEx(s.dc, c.from.x, c.from.y, nullptr);
        LineTo(s.dc, c.to.x, c.to.y);
        EXPECT_EQ(Rows(s, kBlack), c.rows) << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y;
        POINT p;
        GetCurrentPositionEx(s.dc, &p);
        EXPECT_EQ(p.x, c.to.x);
        EXPECT_EQ(p.y, c.to.y);
    }
}

TEST(GdiLines, DottedPenAlternatesWithBackgroundWhenOpaque) {
    Surface s(8, 1);
    HPEN pen = CreatePen(PS_ALTERNATE, 1, kBlack);
    SelectObject(s.dc, pen);
    SetBkColor(s.dc, kRed);
    MoveToEx(s.dc, 0, 0, nullptr);
    LineTo(s.dc, 8, 0);
    EXPECT_EQ(Row(s, 0, kBlack), "#.#.#.#.");
    EXPECT_EQ(Row(s, 0, kRed), ".#.#.#.#");
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST(GdiRegions, CombineModesGiveTheExpectedPixels) {
    struct Case {
        int mode;
        std::vector<std::string> rows;
    };
    // a = (0,0)-(3,3), b = (1,1)-(4,4)
    const Case cases[] = {
        {RGN_AND, {"....", ".##.", ".##.", "...."}},
        {RGN_OR, {"###.", "####", "####", ".###"}},
        {RGN_XOR, {"###.", "#..#", "#..#", ".###"}},
        {RGN_DIFF, {"###.", "#...", "#...", "...."}},
        {RGN_COPY, {"###.", "###.", "###.", "...."}},
    };
    for (const Case& c : cases) {
        HRGN a = CreateRectRgn(0, 0, 3, 3), b = CreateRectRgn(1, 1, 4, 4), d = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(d, a, b, c.mode);
        std::vector<std::string> rows;
        for (int y = 0; y < 4; ++y) {
            std::string row;
            for (int x = 0; x < 4; ++x) row += PtInRegion(d, x, y) ? '#' : '.';
            rows.push_back(row);
        }
        EXPECT_EQ(rows, c.rows) << "mode " << c.mode;
        for (HRGN h : {a, b, d}) DeleteObject(h);
    }
}

// Every mode over regions that miss, touch, hold or cut each other (empty ones included)
// gives the pixels of the mode and the same canonical region as building it row by row.
TEST(GdiRegions, CombineAgreesWithAPixelOracleOverManyShapes) {
    constexpr int kSize = 10;
    unsigned seed = 12345;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % unsigned(n));
    };
    auto randomRegion = [&] {
        HRGN r = CreateRectRgn(0, 0, 0, 0);
        for (int k = next(4); k > 0; --k) {
            int x0 = next(kSize), y0 = next(kSize);
            HRGN one = CreateRectRgn(x0, y0, x0 + 1 + next(kSize - x0), y0 + 1 + next(kSize - y0));
            CombineRgn(r, r, one, next(3) ? RGN_OR : RGN_XOR);
            DeleteObject(one);
        }
        return r;
    };
    for (int round = 0; round < 400; ++round) {
        HRGN a = randomRegion(), b = randomRegion();
        for (int mode : {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF}) {
            HRGN d = CreateRectRgn(0, 0, 0, 0), rows = CreateRectRgn(0, 0, 0, 0);
            CombineRgn(d, a, b, mode);
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x) {
                    bool ia = PtInRegion(a, x, y), ib = PtInRegion(b, x, y);
                    bool in = mode == RGN_AND ? ia && ib : mode == RGN_OR ? ia || ib : mode == RGN_XOR ? ia != ib : ia && !ib;
                    ASSERT_EQ(bool(PtInRegion(d, x, y)), in) << "round " << round << " mode " << mode << " at " << x << "," << y;
                    if (!in) continue;
                    HRGN pixel = CreateRectRgn(x, y, x + 1, y + 1);
                    CombineRgn(rows, rows, pixel, RGN_OR);
                    DeleteObject(pixel);
                }
            EXPECT_TRUE(EqualRgn(d, rows)) << "round " << round << " mode " << mode;
            DeleteObject(d);
            DeleteObject(rows);
        }
        DeleteObject(a);
        DeleteObject(b);
    }
}

TEST(GdiRegions, CanonicalFormBoxOffsetAndEquality) {
    HRGN a = CreateRectRgn(0, 0, 2, 2), b = CreateRectRgn(2, 0, 4, 2), u = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(u, a, b, RGN_OR), SIMPLEREGION);  // two touching halves make one rectangle
    HRGN whole = CreateRectRgn(0, 0, 4, 2);
    EXPECT_TRUE(EqualRgn(u, whole));
    EXPECT_EQ(OffsetRgn(u, 10, 5), SIMPLEREGION);
    RECT box;
    GetRgnBox(u, &box);
    EXPECT_EQ(TRect(box), TRect(10, 5, 14, 7));
    EXPECT_TRUE(PtInRegion(u, 13, 6));
    EXPECT_FALSE(PtInRegion(u, 14, 6));
    RECT list[] = {{0, 0, 1, 1}, {2, 0, 3, 1}};
    HRGN l = CreateRectListRgn(list, 2);
    EXPECT_EQ(GetRegionRects(l).size(), 2u);
    // Overlapping rectangles in a list make their union, as combining them one by one does.
    RECT overlapping[] = {{0, 0, 3, 3}, {1, 1, 4, 4}, {5, 0, 6, 9}, {1, 1, 2, 2}};
    HRGN fromList = CreateRectListRgn(overlapping, 4), byOr = CreateRectRgn(0, 0, 0, 0);
    for (RECT& r : overlapping) {
        HRGN one = CreateRectRgnIndirect(&r);
        CombineRgn(byOr, byOr, one, RGN_OR);
        DeleteObject(one);
    }
    EXPECT_TRUE(EqualRgn(fromList, byOr));
    DeleteObject(fromList);
    DeleteObject(byOr);
    EXPECT_EQ(CombineRgn(u, nullptr, nullptr, RGN_OR), ERROR);
    for (HRGN h : {a, b, u, whole, l}) DeleteObject(h);
}

TEST(GdiRegions, RoundRectRegionHoldsExactlyThePixelsWhoseCentresAreInside) {
    // Pixel (x, y) of a w x h box with corner ellipse ew x eh (radii a, b, each at most half
    // the side) is inside when its centre is outside the corner squares or within the
    // corner's ellipse. Odd and even sizes, corners wider than the box, no corners at all.
    struct Case {
        int w, h, ew, eh;
    };
    const Case cases[] = {{6, 6, 4, 4}, {17, 9, 7, 5}, {12, 20, 30, 6}, {9, 4, 0, 3}, {40, 31, 12, 12}, {5, 5, 5, 5}};
    for (const Case& c : cases) {
        HRGN rr = CreateRoundRectRgn(3, 2, 3 + c.w, 2 + c.h, c.ew, c.eh);
        double a = std::min(c.ew, c.w) / 2.0, b = std::min(c.eh, c.h) / 2.0;
        for (int y = -1; y <= c.h; ++y)
            for (int x = -1; x <= c.w; ++x) {
                bool want = x >= 0 && y >= 0 && x < c.w && y < c.h;
                double cx = std::min(x + 0.5, c.w - x - 0.5), cy = std::min(y + 0.5, c.h - y - 0.5);
                if (want && a > 0 && b > 0 && cx < a && cy < b)
                    want = (cx - a) * (cx - a) / (a * a) + (cy - b) * (cy - b) / (b * b) <= 1.0;
                EXPECT_EQ(bool(PtInRegion(rr, 3 + x, 2 + y)), want)
                    << c.w << "x" << c.h << " corner " << c.ew << "x" << c.eh << " at " << x << "," << y;
            }
        DeleteObject(rr);
    }
}

TEST(GdiRegions, RoundRectAndPolygonShapes) {
    HRGN rr = CreateRoundRectRgn(0, 0, 6, 6, 4, 4);
    EXPECT_FALSE(PtInRegion(rr, 0, 0));  // corners cut
    EXPECT_FALSE(PtInRegion(rr, 5, 5));
    EXPECT_TRUE(PtInRegion(rr, 0, 3));
    EXPECT_TRUE(PtInRegion(rr, 3, 0));
    EXPECT_FALSE(PtInRegion(rr, 6, 3));  // right edge excluded
    POINT tri[] = {{0, 0}, {4, 0}, {0, 4}};
    HRGN p = CreatePolygonRgn(tri, 3, ALTERNATE);
    // Pixels whose centres lie inside.
    EXPECT_TRUE(PtInRegion(p, 0, 0));
    EXPECT_TRUE(PtInRegion(p, 1, 1));
    EXPECT_FALSE(PtInRegion(p, 2, 1));
    EXPECT_FALSE(PtInRegion(p, 3, 0));
    DeleteObject(rr);
    DeleteObject(p);
}

TEST(GdiClipping, ChildDcOverSharedSurface) {
    // A window DC as the window layer makes one: the top-level surface, the child's
    // position as viewport origin, its visible region (device coordinates) as clip.
    Surface s(10, 6);
    SetViewportOrgEx(s.dc, 3, 2, nullptr);
    HRGN visible = CreateRectRgn(3, 2, 7, 5);
    HRGN sibling = CreateRectRgn(5, 2, 7, 3);  // a sibling on top covers part of it
    CombineRgn(visible, visible, sibling, RGN_DIFF);
    SelectClipRgn(s.dc, visible);
    DeleteObject(visible);  // the DC keeps its own copy
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{-10, -10, 100, 100};
    FillRect(s.dc, &all, red);
    EXPECT_EQ(Rows(s, kRed), (std::vector<std::string>{"..........", "..........", "...##.....", "...####...",
                                                        "...####...", ".........."}));
    RECT box;
    EXPECT_EQ(GetClipBox(s.dc, &box), COMPLEXREGION);
    EXPECT_EQ(TRect(box), TRect(0, 0, 4, 3));  // logical coordinates
    EXPECT_EQ(GetPixel(s.dc, 0, 0), kRed);     // logical (0,0) is device (3,2)
    EXPECT_EQ(GetPixel(s.dc, 3, 0), CLR_INVALID);
    DeleteObject(sibling);
    DeleteObject(red);
}

TEST(GdiClipping, SaveRestoreIntersectAndExclude) {
    Surface s(6, 1);
    HBRUSH red = CreateSolidBrush(kRed);
    int level = SaveDC(s.dc);
    IntersectClipRect(s.dc, 1, 0, 5, 1);
    ExcludeClipRect(s.dc, 2, 0, 3, 1);
    SetWindowOrgEx(s.dc, -1, 0, nullptr);  // moves drawing, not the clip
    RECT r{0, 0, 6, 1};
    FillRect(s.dc, &r, red);
    EXPECT_EQ(Row(s, 0, kRed), ".#.##.");
    EXPECT_TRUE(RestoreDC(s.dc, level));
    FillRect(s.dc, &r, red);
    EXPECT_EQ(Row(s, 0, kRed), "######");
    EXPECT_FALSE(RestoreDC(s.dc, level));  // already popped
    DeleteObject(red);
}

TEST(GdiObjects, DeletingASelectedObjectIsDeferredAndBadHandlesAreRefused) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(dc, 4, 4);
    HGDIOBJ old = SelectObject(dc, bm);
    HBRUSH br = CreateSolidBrush(kRed);
    SelectObject(dc, br);
    EXPECT_TRUE(DeleteObject(br));  // still selected: freed when deselected
    RECT r{0, 0, 4, 4};
    FillRect(dc, &r, br);           // still usable while selected
    EXPECT_EQ(GetPixel(dc, 1, 1), kRed);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    EXPECT_FALSE(DeleteObject(br));  // gone now
    EXPECT_EQ(GetObjectType(br), 0u);
    // A bitmap lives in one DC at a time.
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, bm), nullptr);
    BITMAP info;
    ASSERT_EQ(GetObject(bm, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_EQ(info.bmBitsPixel, 32);
    EXPECT_FALSE(DeleteObject(GetStockObject(WHITE_BRUSH)));
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    DeleteDC(other);
}

TEST(GdiObjects, SaveDcKeepsTheBitmapItCanReturnTo) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP a = CreateCompatibleBitmap(dc, 2, 2), b = CreateCompatibleBitmap(dc, 2, 2);
    HGDIOBJ original = SelectObject(dc, a);
    int level = SaveDC(dc);
    SelectObject(dc, b);
    EXPECT_EQ(AsBitmap(SelectObject(dc, a)), b);  // held only by this DC's saved state: allowed
    EXPECT_TRUE(RestoreDC(dc, level));
    EXPECT_EQ(AsBitmap(GetCurrentObject(dc, OBJ_BITMAP)), a);
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, a), nullptr);  // but never in two DCs
    SelectObject(dc, original);
    EXPECT_NE(SelectObject(other, a), nullptr);
    DeleteDC(other);  // a DC going away lets go of its bitmap
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_TRUE(DeleteObject(b));
}

TEST(GdiBitmaps, StretchDIBitsCountsBottomUpRowsFromTheBottom) {
    // A 1x3 bottom-up DIB: stored rows (bottom first) red, green, blue.
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 1;
    bi.bmiHeader.biHeight = 3;
    bi.bmiHeader.biBitCount = 32;
    const std::uint32_t rows[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    Surface s(1, 2);
    // Source rows 0..1 counted from the bottom: red (bottom) and green above it.
    EXPECT_EQ(StretchDIBits(s.dc, 0, 0, 1, 2, 0, 0, 1, 2, rows, &bi, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(s.Pixel(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(s.Pixel(0, 1), RGB(255, 0, 0));
}

TEST(GdiBitmaps, DibSectionRowOrderFollowsTheSignOfTheHeight) {
    for (int sign : {1, -1}) {
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = 2;
        bi.bmiHeader.biHeight = 3 * sign;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bits, nullptr);
        HDC dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, bm);
        SetPixel(dc, 1, 0, RGB(1, 2, 3));  // top row
        auto* words = static_cast<std::uint32_t*>(bits);
        int storedRow = sign > 0 ? 2 : 0;
        EXPECT_EQ(words[storedRow * 2 + 1], 0x010203u) << "sign " << sign;
        DIBSECTION ds;
        ASSERT_EQ(GetObject(bm, sizeof ds, &ds), int(sizeof ds));
        EXPECT_EQ(ds.dsBmih.biHeight, 3 * sign);
        DeleteDC(dc);
        DeleteObject(bm);
    }
}

TEST(GdiExtremes, HugeCoordinatesDrawTheVisiblePartAndNothingBreaks) {
    constexpr int kMax = INT32_MAX, kMin = INT32_MIN;
    Surface s(10, 10);
    SetViewportOrgEx(s.dc, 5, 5, nullptr);  // every logical coordinate is shifted
    HBRUSH red = CreateSolidBrush(kRed);
    SelectObject(s.dc, red);
    RECT all{kMin, kMin, kMax, kMax};
    EXPECT_TRUE(FillRect(s.dc, &all, red));
    EXPECT_EQ(s.Pixel(0, 0), kRed);
    s.Clear(kWhite);
    // A huge, partly visible ellipse and a long line are drawn where they are seen.
    SelectObject(s.dc, GetStockObject(NULL_PEN));
    Ellipse(s.dc, -100000, -100000, 100000, 100000);
    EXPECT_EQ(s.Pixel(5, 5), kRed);
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    MoveToEx(s.dc, -1000000, 0, nullptr);
    LineTo(s.dc, 1000000, 0);
    EXPECT_EQ(Row(s, 5, kBlack), "##########");
    // None of these may fail in any other way than returning.
    Rectangle(s.dc, kMin, kMin, kMax, kMax);
    RoundRect(s.dc, kMin, kMin, kMax, kMax, kMax, kMax);
    POINT poly[] = {{kMin, kMin}, {kMax, 0}, {0, kMax}};
    Polygon(s.dc, poly, 3);
    MoveToEx(s.dc, kMin, kMin, nullptr);
    LineTo(s.dc, kMax, kMax);
    Surface src(2, 2);
    BitBlt(s.dc, kMax, kMax, 5, 5, src.dc, kMin, kMin, SRCCOPY);
    StretchBlt(s.dc, kMin, kMin, kMax, kMax, src.dc, 0, 0, 2, 2, SRCCOPY);
    BLENDFUNCTION bf;
    AlphaBlend(s.dc, kMax, kMax, 2, 2, src.dc, 0, 0, 2, 2, bf);
    TransparentBlt(s.dc, kMin, kMin, 2, 2, src.dc, 0, 0, 2, 2, 0);
    TextOut(s.dc, kMax, kMin, "x", 1);
    RECT text{0, 0, kMax, kMax};
    EXPECT_GT(DrawText(s.dc, "abc", -1, &text, DT_CALCRECT), 0);
    RECT wide{kMin, kMin, kMax, kMax};
    DrawText(s.dc, "abc def", -1, &wide, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    DrawEdge(s.dc, &wide, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    DrawFocusRect(s.dc, &wide);
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(red);
}
