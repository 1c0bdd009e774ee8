// Raster operations, stretching, transparent and alpha blits, edges and focus rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/graphics/gdi.h"
#include "platform/graphics/surface.h"

using namespace platform;
using platform::testing::Surface;

TEST(GdiBlits, RasterOperationTable) {
    // With source 0xCC, destination 0xAA and pattern 0xF0 in every byte, each result byte
    // is the operation's own index, as the truth table defines it.
    struct Case {
        const char* name;
        DWORD rop;
        BYTE expected;
    };
    const Case cases[] = {
        {"SRCCOPY", SRCCOPY, 0xCC},     {"SRCPAINT", SRCPAINT, 0xEE},   {"SRCAND", SRCAND, 0x88},
        {"SRCINVERT", SRCINVERT, 0x66}, {"SRCERASE", SRCERASE, 0x44},   {"NOTSRCCOPY", NOTSRCCOPY, 0x33},
        {"NOTSRCERASE", NOTSRCERASE, 0x11}, {"MERGECOPY", MERGECOPY, 0xC0}, {"MERGEPAINT", MERGEPAINT, 0xBB},
        {"PATCOPY", PATCOPY, 0xF0},     {"PATPAINT", PATPAINT, 0xFB},   {"PATINVERT", PATINVERT, 0x5A},
        {"DSTINVERT", DSTINVERT, 0x55}, {"BLACKNESS", BLACKNESS, 0x00}, {"WHITENESS", WHITENESS, 0xFF},
    };
    Surface src(2, 1), dst(2, 1);
    src.Clear(RGB(0xCC, 0xCC, 0xCC));
    HBRUSH pattern = CreateSolidBrush(RGB(0xF0, 0xF0, 0xF0));
    SelectObject(dst.dc, pattern);
    for (const Case& c : cases) {
        dst.Clear(RGB(0xAA, 0xAA, 0xAA));
        ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, c.rop)) << c.name;
        EXPECT_EQ(dst.Pixel(1, 0), RGB(c.expected, c.expected, c.expected)) << c.name;
    }
    SelectObject(dst.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pattern);
}

TEST(GdiBlits, MonochromeConversionsUseTheDcColours) {
    HDC mono = CreateCompatibleDC(nullptr);
    HBITMAP mbm = CreateBitmap(4, 1, 1, 1, nullptr);
    SelectObject(mono, mbm);
    SetPixel(mono, 1, 0, RGB(255, 255, 255));
    SetPixel(mono, 3, 0, RGB(255, 255, 255));
    // Monochrome to colour: 0 bits in the destination's text colour, 1 bits in its background colour.
    Surface dst(4, 1);
    SetTextColor(dst.dc, RGB(255, 0, 0));
    SetBkColor(dst.dc, RGB(0, 0, 255));
    BitBlt(dst.dc, 0, 0, 4, 1, mono, 0, 0, SRCCOPY);
    EXPECT_EQ(dst.Pixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(dst.Pixel(1, 0), RGB(0, 0, 255));
    // Colour to monochrome: the source's background colour becomes white, the rest black.
    SetBkColor(dst.dc, RGB(255, 0, 0));
    BitBlt(mono, 0, 0, 4, 1, dst.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mono, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(mono, 1, 0), RGB(0, 0, 0));
    DeleteDC(mono);
    DeleteObject(mbm);
}

namespace {
// A 3x3 source whose red channel follows the column (0, 90, 180) and green the row (0, 60, 120).
void FillGrid(Surface& s) {
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) SetPixel(s.dc, x, y, RGB(BYTE(90 * x), BYTE(60 * y), 7));
}
}  // namespace

TEST(GdiBlits, StretchOfA3x3SourceNearestAndHalftone) {
    Surface src(3, 3);
    FillGrid(src);
    struct Case {
        int mode, w, h;
        std::vector<BYTE> reds, greens;  // per destination column / row
    };
    const Case cases[] = {
        {COLORONCOLOR, 6, 6, {0, 0, 90, 90, 180, 180}, {0, 0, 60, 60, 120, 120}},
        {COLORONCOLOR, 2, 2, {0, 180}, {0, 120}},  // samples under the pixel centres
        {HALFTONE, 6, 6, {0, 0, 90, 90, 180, 180}, {0, 0, 60, 60, 120, 120}},
        // Each output pixel averages 1.5 source pixels: (2*0 + 90)/3 and (90 + 2*180)/3.
        {HALFTONE, 2, 2, {30, 150}, {20, 100}},
        {HALFTONE, 1, 1, {90}, {60}},
    };
    for (const Case& c : cases) {
        Surface dst(c.w, c.h);
        SetStretchBltMode(dst.dc, c.mode);
        ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, c.w, c.h, src.dc, 0, 0, 3, 3, SRCCOPY));
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                EXPECT_EQ(dst.Pixel(x, y), RGB(c.reds[std::size_t(x)], c.greens[std::size_t(y)], 7))
                    << "mode " << c.mode << " " << c.w << "x" << c.h << " at " << x << "," << y;
    }
}

TEST(GdiBlits, StretchWithNegativeWidthMirrors) {
    Surface src(3, 1), dst(3, 1);
    FillGrid(src);
    StretchBlt(dst.dc, 3, 0, -3, 1, src.dc, 0, 0, 3, 1, SRCCOPY);
    EXPECT_EQ(dst.Pixel(0, 0), RGB(180, 0, 7));
    EXPECT_EQ(dst.Pixel(2, 0), RGB(0, 0, 7));
}

TEST(GdiBlits, TransparentBltSkipsTheKeyColour) {
    Surface src(2, 2), dst(4, 4);
    const COLORREF key = RGB(255, 0, 255);
    src.Clear(key);
    SetPixel(src.dc, 0, 0, RGB(1, 2, 3));
    SetPixel(src.dc, 1, 1, RGB(4, 5, 6));
    dst.Clear(RGB(9, 9, 9));
    ASSERT_TRUE(TransparentBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, key));
    const char* expect[] = {"AA..", "AA..", "..BB", "..BB"};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            char c = expect[y][x];
            COLORREF want = c == 'A' ? RGB(1, 2, 3) : c == 'B' ? RGB(4, 5, 6) : RGB(9, 9, 9);
            EXPECT_EQ(dst.Pixel(x, y), want) << x << "," << y;
        }
}

TEST(GdiBlits, AlphaBlendFollowsTheBlendFormula) {
    auto round255 = [](double v) { return std::uint32_t(std::floor(v / 255.0 + 0.5)); };
    struct Case {
        std::uint32_t src, dst;  // 0xAARRGGBB words
        BYTE constant;
        bool perPixel;
    };
    const Case cases[] = {
        {0x00FF8000, 0x000000FF, 128, false}, {0x00FF8000, 0x000000FF, 0, false},
        {0x00FF8000, 0x000000FF, 255, false}, {0x80804000, 0x00FFFFFF, 255, true},
        {0x80804000, 0x00FFFFFF, 128, true},  {0xFF102030, 0x00405060, 255, true},
        {0x00000000, 0x00405060, 255, true},
    };
    for (const Case& c : cases) {
        Surface src(1, 1), dst(1, 1);
        src.bits[0] = c.src;
        dst.bits[0] = c.dst;
        BLENDFUNCTION bf;
        bf.SourceConstantAlpha = c.constant;
        bf.AlphaFormat = c.perPixel ? AC_SRC_ALPHA : 0;
        ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, bf));
        std::uint32_t want = 0;
        double sa = ((c.src >> 24) & 0xFF);
        for (int k = 0; k < 32; k += 8) {
            double s = (c.src >> k) & 0xFF, d = (c.dst >> k) & 0xFF;
            std::uint32_t v;
            if (!c.perPixel) {
                v = round255(s * c.constant + d * (255 - c.constant));
            } else {
                double scaledAlpha = round255(sa * c.constant);
                v = round255(s * c.constant) + round255(d * (255 - scaledAlpha));
            }
            want |= std::min<std::uint32_t>(v, 255) << k;
        }
        EXPECT_EQ(dst.bits[0], want) << std::hex << c.src << " over " << c.dst << " alpha " << int(c.constant);
    }
}

TEST(GdiBlits, MaskBltKeepsTheDestinationWhereTheMaskIsSet) {
    Surface src(3, 1), dst(3, 1);
    src.Clear(RGB(255, 0, 0));
    dst.Clear(RGB(0, 0, 255));
    WORD bits[1] = {0x40};  // only the middle pixel set
    HBITMAP mask = CreateBitmap(3, 1, 1, 1, bits);
    ASSERT_TRUE(MaskBlt(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, mask, 0, 0, MAKEROP4(DSTCOPY, SRCCOPY)));
    EXPECT_EQ(dst.Pixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(dst.Pixel(1, 0), RGB(0, 0, 255));
    EXPECT_EQ(dst.Pixel(2, 0), RGB(255, 0, 0));
    HBITMAP colour = CreateCompatibleBitmap(nullptr, 3, 1);
    EXPECT_FALSE(MaskBlt(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, colour, 0, 0, SRCCOPY));  // masks are monochrome
    DeleteObject(mask);
    DeleteObject(colour);
}

TEST(GdiBlits, AlphaBlendRefusesASourceOutsideItsBitmap) {
    Surface src(2, 2), dst(2, 2);
    BLENDFUNCTION bf;
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, src.dc, 1, 1, 2, 2, bf));
}

TEST(GdiBlits, BlitWithinOneBitmapReadsTheOriginalPixels) {
    Surface s(4, 1);
    for (int x = 0; x < 4; ++x) SetPixel(s.dc, x, 0, RGB(BYTE(x), 0, 0));
    BitBlt(s.dc, 1, 0, 3, 1, s.dc, 0, 0, SRCCOPY);  // overlapping move right
    EXPECT_EQ(s.Pixel(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(s.Pixel(3, 0), RGB(2, 0, 0));
    RECT update;
    ScrollDC(s.dc, -1, 0, nullptr, nullptr, nullptr, &update);
    EXPECT_EQ(s.Pixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(s.Pixel(2, 0), RGB(2, 0, 0));
    EXPECT_EQ(TRect(update), TRect(3, 0, 4, 1));
}

TEST(GdiBlits, TwentyFourBitSourceCopiesIntoThirtyTwoBitsThroughClipAndEdges) {
    // A 5 x 3 source of 24 bits (stored bottom-up and top-down), pixel (x, y) coloured
    // (40x+1, 50y+2, 3); copied into a white 8 x 6 surface whose clip leaves out column 6.
    // Each destination pixel gets its source pixel with the alpha byte 0, or stays white
    // where the source rectangle leaves the source bitmap, the clip or the surface.
    struct Case {
        int x, y, w, h, sx, sy;
    };
    const Case cases[] = {{0, 0, 5, 3, 0, 0}, {2, 1, 5, 3, 0, 0}, {-2, -1, 5, 3, 0, 0}, {1, 1, 6, 4, -1, -1},
                          {4, 2, 4, 3, 2, 1}, {0, 0, 8, 6, 0, 0}, {5, 0, 3, 2, 1, 1}};
    for (int height : {3, -3}) {
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = 5;
        bi.bmiHeader.biHeight = height;
        bi.bmiHeader.biBitCount = 24;
        BYTE* bits = nullptr;
        HDC src = CreateCompatibleDC(nullptr);
        HBITMAP bm = CreateDIBSection(src, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        ASSERT_NE(bm, nullptr);
        SelectObject(src, bm);
        auto color = [](int x, int y) { return RGB(BYTE(40 * x + 1), BYTE(50 * y + 2), 3); };
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) SetPixel(src, x, y, color(x, y));
        for (const Case& c : cases) {
            Surface dst(8, 6);
            HRGN clip = CreateRectRgn(0, 0, 6, 6), right = CreateRectRgn(7, 0, 8, 6);
            CombineRgn(clip, clip, right, RGN_OR);
            SelectClipRgn(dst.dc, clip);
            ASSERT_TRUE(BitBlt(dst.dc, c.x, c.y, c.w, c.h, src, c.sx, c.sy, SRCCOPY));
            for (int py = 0; py < 6; ++py)
                for (int px = 0; px < 8; ++px) {
                    int sx = c.sx + px - c.x, sy = c.sy + py - c.y;
                    bool copied = px != 6 && px >= c.x && px < c.x + c.w && py >= c.y && py < c.y + c.h && sx >= 0 &&
                                  sy >= 0 && sx < 5 && sy < 3;
                    COLORREF want = copied ? color(sx, sy) : RGB(255, 255, 255);
                    EXPECT_EQ(dst.Pixel(px, py), want) << height << " case " << c.x << "," << c.y << " at " << px << "," << py;
                    if (copied) {
                        EXPECT_EQ(dst.Raw(px, py) >> 24, 0u) << "alpha byte at " << px << "," << py;
                    }
                }
            DeleteObject(clip);
            DeleteObject(right);
        }
        DeleteDC(src);
        DeleteObject(bm);
    }
}

TEST(GdiBrushes, HatchAndMonochromePatternBrushes) {
    Surface s(8, 8);
    HBRUSH hatch = CreateHatchBrush(HS_VERTICAL, RGB(255, 0, 0));
    SelectObject(s.dc, hatch);
    SetBkColor(s.dc, RGB(0, 0, 255));
    SetBkMode(s.dc, TRANSPARENT);
    PatBlt(s.dc, 0, 0, 8, 8, PATCOPY);
    EXPECT_EQ(s.Pixel(7, 3), RGB(255, 0, 0));
    EXPECT_EQ(s.Pixel(3, 3), RGB(255, 255, 255));  // background untouched when transparent
    SetBkMode(s.dc, OPAQUE);
    PatBlt(s.dc, 0, 0, 8, 8, PATCOPY);
    EXPECT_EQ(s.Pixel(3, 3), RGB(0, 0, 255));
    SelectObject(s.dc, GetStockObject(NULL_BRUSH));
    PatBlt(s.dc, 0, 0, 8, 8, PATCOPY);  // a hollow brush paints nothing
    EXPECT_EQ(s.Pixel(3, 3), RGB(0, 0, 255));
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(hatch);

    // A one-pixel checkerboard as the tree draws dotted lines: 0 bits text colour, 1 bits background.
    WORD rows[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    HBITMAP bits = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH pattern = CreatePatternBrush(bits);
    DeleteObject(bits);  // the brush keeps its own copy
    SetTextColor(s.dc, RGB(0, 255, 0));
    SetBkColor(s.dc, RGB(0, 0, 0));
    RECT r{0, 0, 8, 2};
    FillRect(s.dc, &r, pattern);
    EXPECT_EQ(s.Pixel(0, 0), RGB(0, 255, 0));  // bit 7 of 0x55 is 0
    EXPECT_EQ(s.Pixel(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(s.Pixel(0, 1), RGB(0, 0, 0));
    DeleteObject(pattern);
}

namespace {
char EdgeLetter(COLORREF c) {
    struct {
        int index;
        char letter;
    } const names[] = {{COLOR_BTNHIGHLIGHT, 'H'}, {COLOR_3DLIGHT, 'L'}, {COLOR_BTNFACE, 'F'},
                       {COLOR_BTNSHADOW, 'S'},    {COLOR_3DDKSHADOW, 'D'}, {COLOR_WINDOWFRAME, 'M'}};
    for (auto& n : names)
        if (GetSysColor(n.index) == c) return n.letter;
    return c == RGB(1, 2, 3) ? '.' : '?';
}
}  // namespace

TEST(GdiEdges, DrawEdgeFlagTable) {
    struct Case {
        UINT edge, flags;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {EDGE_RAISED, BF_RECT, {"LLLD", "LHSD", "LSSD", "DDDD"}},
        {EDGE_SUNKEN, BF_RECT, {"SSSH", "SDLH", "SLLH", "HHHH"}},
        {EDGE_RAISED, BF_RECT | BF_SOFT, {"HHHD", "HLSD", "HSSD", "DDDD"}},
        {EDGE_SUNKEN, BF_RECT | BF_SOFT, {"DDDH", "DSLH", "DLLH", "HHHH"}},
        {BDR_RAISEDINNER, BF_RECT | BF_MIDDLE, {"HHHS", "HFFS", "HFFS", "SSSS"}},
        {EDGE_ETCHED, BF_TOPLEFT, {"SSSS", "SHHH", "SH..", "SH.."}},
        {EDGE_BUMP, BF_BOTTOMRIGHT, {"..LD", "..LD", "LLLD", "DDDD"}},
        {EDGE_SUNKEN, BF_RECT | BF_FLAT, {"SSSS", "SFFS", "SFFS", "SSSS"}},
        {EDGE_RAISED, BF_RECT | BF_MONO, {"MMMM", "MHHM", "MHHM", "MMMM"}},
        {BDR_OUTER, BF_RECT, {"....", "....", "....", "...."}},
    };
    for (const Case& c : cases) {
        Surface s(4, 4);
        s.Clear(RGB(1, 2, 3));
        RECT r{0, 0, 4, 4};
        ASSERT_TRUE(DrawEdge(s.dc, &r, c.edge, c.flags));
        std::vector<std::string> rows;
        for (int y = 0; y < 4; ++y) {
            std::string row;
            for (int x = 0; x < 4; ++x) row += EdgeLetter(s.Pixel(x, y));
            rows.push_back(row);
        }
        EXPECT_EQ(rows, c.rows) << "edge " << c.edge << " flags " << std::hex << c.flags;
    }
}

TEST(GdiEdges, AdjustShrinksByTheDrawnSides) {
    Surface s(10, 10);
    RECT r{1, 1, 9, 9};
    DrawEdge(s.dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    EXPECT_EQ(TRect(r), TRect(3, 3, 7, 7));
    r = RECT{1, 1, 9, 9};
    DrawEdge(s.dc, &r, BDR_RAISEDINNER, BF_LEFT | BF_BOTTOM | BF_ADJUST);
    EXPECT_EQ(TRect(r), TRect(2, 1, 9, 8));
}

TEST(GdiEdges, ScrollArrowsPointTheirWay) {
    struct Case {
        UINT state;
        bool vertical, growing;  // rows (or columns) of the arrow widen towards the end
    };
    const Case cases[] = {{DFCS_SCROLLUP, true, true},
                          {DFCS_SCROLLDOWN, true, false},
                          {DFCS_SCROLLLEFT, false, true},
                          {DFCS_SCROLLRIGHT, false, false}};
    for (const Case& c : cases) {
        Surface s(16, 16);
        RECT r{0, 0, 16, 16};
        ASSERT_TRUE(DrawFrameControl(s.dc, &r, DFC_SCROLL, c.state));
        EXPECT_EQ(s.Pixel(0, 0), GetSysColor(COLOR_3DLIGHT));       // raised edge
        EXPECT_EQ(s.Pixel(15, 15), GetSysColor(COLOR_3DDKSHADOW));
        std::vector<int> widths;
        for (int a = 0; a < 16; ++a) {
            int n = 0;
            for (int b = 0; b < 16; ++b) n += (c.vertical ? s.Pixel(b, a) : s.Pixel(a, b)) == GetSysColor(COLOR_BTNTEXT);
            if (n) widths.push_back(n);
        }
        ASSERT_GE(widths.size(), 2u) << c.state;
        for (std::size_t i = 1; i < widths.size(); ++i)
            EXPECT_EQ(widths[i] > widths[i - 1], c.growing) << "state " << c.state << " line " << i;
    }
    Surface s(16, 16);
    RECT r{0, 0, 16, 16};
    DrawFrameControl(s.dc, &r, DFC_SCROLL, DFCS_SCROLLUP | DFCS_PUSHED);
    EXPECT_EQ(s.Pixel(0, 0), GetSysColor(COLOR_BTNSHADOW));  // sunken when pushed
}

TEST(GdiEdges, FocusRectIsDottedAndUndoesItself) {
    Surface s(5, 3);
    RECT r{0, 0, 5, 3};
    DrawFocusRect(s.dc, &r);
    std::string top, mid;
    for (int x = 0; x < 5; ++x) {
        top += s.Pixel(x, 0) == 0 ? '#' : '.';
        mid += s.Pixel(x, 1) == 0 ? '#' : '.';
    }
    EXPECT_EQ(top, "#.#.#");
    EXPECT_EQ(mid, ".....");  // (0,1) and (4,1) have odd coordinate sums
    DrawFocusRect(s.dc, &r);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(s.Pixel(x, y), RGB(255, 255, 255));
}

TEST(GdiShapes, EllipseAndRoundRectStayInsideTheirBox) {
    Surface s(9, 9);
    SelectObject(s.dc, GetStockObject(BLACK_BRUSH));
    Ellipse(s.dc, 0, 0, 9, 9);
    EXPECT_EQ(s.Pixel(4, 4), RGB(0, 0, 0));
    EXPECT_EQ(s.Pixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(s.Pixel(0, 4), RGB(0, 0, 0));  // touches every side
    EXPECT_EQ(s.Pixel(8, 4), RGB(0, 0, 0));
    EXPECT_EQ(s.Pixel(4, 8), RGB(0, 0, 0));
    s.Clear(RGB(255, 255, 255));
    RoundRect(s.dc, 0, 0, 8, 8, 4, 4);
    EXPECT_EQ(s.Pixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(s.Pixel(7, 4), RGB(0, 0, 0));
    EXPECT_EQ(s.Pixel(8, 4), RGB(255, 255, 255));
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
}

TEST(GdiShapes, ArcDrawsOnlyItsSweep) {
    // From the right radial counter-clockwise to the top one: the upper right quarter.
    Surface s(21, 21);
    Arc(s.dc, 0, 0, 21, 21, 21, 10, 10, 0);
    int upperRight = 0, elsewhere = 0;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x)
            if (s.Pixel(x, y) == 0) (x >= 10 && y <= 10 ? upperRight : elsewhere)++;
    EXPECT_GT(upperRight, 10);
    EXPECT_LE(elsewhere, 2);  // at most the pixels on the end radials
    // Clockwise, the same radials take the other three quarters.
    s.Clear(RGB(255, 255, 255));
    SetArcDirection(s.dc, AD_CLOCKWISE);
    Arc(s.dc, 0, 0, 21, 21, 21, 10, 10, 0);
    EXPECT_EQ(s.Pixel(0, 10), RGB(0, 0, 0));
    EXPECT_EQ(s.Pixel(20, 3), RGB(255, 255, 255));
}

TEST(GdiShapes, PolygonFillsAndOutlinesIncludingItsCorners) {
    Surface s(6, 6);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    SelectObject(s.dc, red);
    POINT square[] = {{1, 1}, {4, 1}, {4, 4}, {1, 4}};
    Polygon(s.dc, square, 4);
    for (POINT corner : square) EXPECT_EQ(s.Pixel(corner.x, corner.y), RGB(0, 0, 0));
    EXPECT_EQ(s.Pixel(2, 2), RGB(255, 0, 0));
    EXPECT_EQ(s.Pixel(5, 5), RGB(255, 255, 255));
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(red);
}
