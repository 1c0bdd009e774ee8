// Text: measuring, drawing and DrawText layout with one pinned font.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/graphics/gdi.h"
#include "platform/graphics/surface.h"

using namespace platform;
using platform::testing::Surface;

namespace {

constexpr const char* kFace = "Pinned Test Sans";

class Text : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SetFontFileOverride(kFace, "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf");
    }
    HFONT Font(int height = -13, BYTE quality = DEFAULT_QUALITY) {
        LOGFONT lf;
        lf.lfHeight = height;
        lf.lfQuality = quality;
        std::strcpy(lf.lfFaceName, kFace);
        HFONT f = CreateFontIndirect(&lf);
        fonts_.push_back(f);
        return f;
    }
    void TearDown() override {
        for (HFONT f : fonts_) DeleteObject(f);
    }
    static int Width(HDC dc, const std::string& s) {
        SIZE sz;
        GetTextExtentPoint32(dc, s.c_str(), int(s.size()), &sz);
        return sz.cx;
    }
    static bool Same(const Surface& a, const Surface& b) {
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                if (a.Raw(x, y) != b.Raw(x, y)) return false;
        return true;
    }
    static void Prepare(Surface& s, HFONT f) {
        SelectObject(s.dc, f);
        SetBkMode(s.dc, TRANSPARENT);
    }
    std::vector<HFONT> fonts_;
};

}  // namespace

TEST_F(Text, ExtentsAddUpAndCountPrefixesInBytes) {
    Surface s(10, 10);
    SelectObject(s.dc, Font());
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(s.dc, &tm));
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    SIZE whole, prefix;
    GetTextExtentPoint32(s.dc, "Hello", 5, &whole);
    GetTextExtentPoint32(s.dc, "Hello", 3, &prefix);
    EXPECT_EQ(whole.cy, tm.tmHeight);
    EXPECT_EQ(prefix.cx, Width(s.dc, "Hel"));
    EXPECT_EQ(whole.cx, Width(s.dc, "Hel") + Width(s.dc, "lo"));
    EXPECT_EQ(Width(s.dc, ""), 0);
    // "é" is two bytes: a count that cuts it drops it.
    EXPECT_EQ(Width(s.dc, "\xC3\xA9"), Width(s.dc, "\xC3\xA9"));
    SIZE cut;
    GetTextExtentPoint32(s.dc, "a\xC3\xA9", 2, &cut);
    EXPECT_EQ(cut.cx, Width(s.dc, "a"));
    int fit = 0;
    int widths[5];
    GetTextExtentExPoint(s.dc, "Hello", 5, Width(s.dc, "Hel"), &fit, widths, nullptr);
    EXPECT_EQ(fit, 3);
    EXPECT_EQ(widths[4], whole.cx);
}

TEST_F(Text, GlyphsAreAntialiasedUnlessAskedNotTo) {
    for (BYTE quality : {DEFAULT_QUALITY, NONANTIALIASED_QUALITY}) {
        Surface s(60, 20);
        Prepare(s, Font(-15, quality));
        TextOut(s.dc, 2, 2, "Wave", 4);
        int ink = 0, grey = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 60; ++x) {
                COLORREF c = s.Pixel(x, y);
                if (c == 0) ++ink;
                else if (c != RGB(255, 255, 255)) ++grey;
            }
        EXPECT_GT(ink, 10);
        if (quality == NONANTIALIASED_QUALITY) EXPECT_EQ(grey, 0);
        else EXPECT_GT(grey, 0);
    }
}

TEST_F(Text, TextOutAlignmentAndOpaqueBackground) {
    Surface a(80, 20), b(80, 20);
    HFONT f = Font();
    Prepare(a, f);
    Prepare(b, f);
    int w = Width(a.dc, "Right");
    SetTextAlign(a.dc, TA_RIGHT | TA_TOP);
    TextOut(a.dc, 70, 2, "Right", 5);
    TextOut(b.dc, 70 - w, 2, "Right", 5);
    EXPECT_TRUE(Same(a, b));
    Surface o(80, 20);
    SelectObject(o.dc, f);
    SetBkMode(o.dc, OPAQUE);
    SetBkColor(o.dc, RGB(0, 0, 255));
    TextOut(o.dc, 5, 2, "ii", 2);
    TEXTMETRIC tm;
    GetTextMetrics(o.dc, &tm);
    EXPECT_EQ(o.Pixel(5, 2 + tm.tmHeight - 1), RGB(0, 0, 255));  // the cell is filled
    EXPECT_EQ(o.Pixel(5, 2 + tm.tmHeight), RGB(255, 255, 255));
    EXPECT_EQ(o.Pixel(5 + Width(o.dc, "ii"), 3), RGB(255, 255, 255));
}

TEST_F(Text, ExtTextOutClipsToItsRectangle) {
    Surface s(60, 20);
    Prepare(s, Font(-16));
    RECT r{0, 0, 6, 20};
    ExtTextOut(s.dc, 2, 0, ETO_CLIPPED, &r, "MMMM", 4, nullptr);
    bool inside = false;
    for (int y = 0; y < 20; ++y) {
        for (int x = 6; x < 60; ++x) EXPECT_EQ(s.Pixel(x, y), RGB(255, 255, 255)) << x << "," << y;
        for (int x = 0; x < 6; ++x) inside |= s.Pixel(x, y) != RGB(255, 255, 255);
    }
    EXPECT_TRUE(inside);
}

TEST_F(Text, DrawTextCalcRectAndWordBreak) {
    Surface s(200, 100);
    Prepare(s, Font());
    TEXTMETRIC tm;
    GetTextMetrics(s.dc, &tm);
    RECT r{10, 5, 10, 5};
    int h = DrawText(s.dc, "Single line", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(h, tm.tmHeight);
    EXPECT_EQ(TRect(r), TRect(10, 5, 10 + Width(s.dc, "Single line"), 5 + tm.tmHeight));

    // Breaks at spaces so that each line fits; the spaces at a break are dropped.
    int width = Width(s.dc, "aaa bbb");
    r = RECT{0, 0, width, 0};
    h = DrawText(s.dc, "aaa bbb ccc dd", -1, &r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(h, 2 * tm.tmHeight);
    EXPECT_EQ(r.right, width);
    // Explicit line breaks, and a word wider than the line that stays whole.
    r = RECT{0, 0, Width(s.dc, "ab"), 0};
    h = DrawText(s.dc, "x\r\nyy\nabcdef", -1, &r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(h, 3 * tm.tmHeight);
    EXPECT_EQ(r.right, Width(s.dc, "abcdef"));
    // With edit-control layout the long word is broken between characters.
    r = RECT{0, 0, Width(s.dc, "abc"), 0};
    h = DrawText(s.dc, "abcdef", -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL);
    EXPECT_EQ(h, 2 * tm.tmHeight);
}

TEST_F(Text, DrawTextPlacesLinesAsTextOutWould) {
    HFONT f = Font();
    struct Case {
        UINT format;
        const char* text;
        std::vector<std::string> lines;  // as the layout must break them
    };
    const Case cases[] = {{DT_LEFT | DT_SINGLELINE, "Left", {"Left"}},
                          {DT_CENTER | DT_SINGLELINE | DT_VCENTER, "Mid", {"Mid"}},
                          {DT_RIGHT | DT_SINGLELINE | DT_BOTTOM, "Low", {"Low"}},
                          {DT_CENTER | DT_WORDBREAK, "one two three", {"one two", "three"}},
                          {DT_RIGHT, "a\nbb", {"a", "bb"}}};
    for (const Case& c : cases) {
        Surface a(120, 60), b(120, 60);
        Prepare(a, f);
        Prepare(b, f);
        TEXTMETRIC tm;
        GetTextMetrics(a.dc, &tm);
        // Just wide enough for the widest line.
        int width = 0;
        for (auto& l : c.lines) width = std::max(width, Width(a.dc, l));
        width += 3;
        RECT r{10, 5, 10 + width, 55};
        DrawText(a.dc, c.text, -1, &r, c.format | DT_NOCLIP);  // ink past an advance is not cut
        int y = r.top;
        if (c.format & DT_VCENTER) y = r.top + (r.bottom - r.top - tm.tmHeight) / 2;
        if (c.format & DT_BOTTOM) y = r.bottom - tm.tmHeight;
        for (auto& l : c.lines) {
            int w = Width(b.dc, l), x = r.left;
            if (c.format & DT_CENTER) x = r.left + (width - w) / 2;
            if (c.format & DT_RIGHT) x = r.right - w;
            TextOut(b.dc, x, y, l.c_str(), int(l.size()));
            y += tm.tmHeight;
        }
        EXPECT_TRUE(Same(a, b)) << c.text;
    }
}

TEST_F(Text, EndEllipsisKeepsTheLongestPrefixThatFits) {
    HFONT f = Font();
    Surface a(200, 20), b(200, 20);
    Prepare(a, f);
    Prepare(b, f);
    const std::string text = "Conversion finished";
    int width = Width(a.dc, "Conver") + Width(a.dc, "...") + 1;
    RECT r{0, 0, width, 20};
    DrawText(a.dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS);
    TextOut(b.dc, 0, 0, "Conver...", 9);
    EXPECT_TRUE(Same(a, b));
    // A text that fits is left alone.
    RECT wide{0, 0, 200, 20};
    RECT calc = wide;
    DrawText(a.dc, text.c_str(), -1, &calc, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_EQ(calc.right, Width(a.dc, text));
}

TEST_F(Text, AmpersandUnderlinesTheNextCharacter) {
    HFONT f = Font(-16);
    Surface a(100, 24), b(100, 24), c(100, 24);
    Prepare(a, f);
    Prepare(b, f);
    Prepare(c, f);
    RECT r{0, 0, 100, 24};
    DrawText(a.dc, "&File", -1, &r, DT_SINGLELINE);
    TextOut(b.dc, 0, 0, "File", 4);
    // Only an underline under the "F" differs.
    int fw = Width(b.dc, "F");
    int differing = 0, outside = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 100; ++x)
            if (a.Raw(x, y) != b.Raw(x, y)) {
                ++differing;
                if (x >= fw) ++outside;
            }
    EXPECT_GT(differing, 0);
    EXPECT_EQ(outside, 0);
    // "&&" is one ampersand; with DT_NOPREFIX the text stands as it is.
    Surface d(100, 24);
    Prepare(d, f);
    DrawText(d.dc, "a&&b", -1, &r, DT_SINGLELINE);
    TextOut(c.dc, 0, 0, "a&b", 3);
    EXPECT_TRUE(Same(c, d));
    Surface e(100, 24), g(100, 24);
    Prepare(e, f);
    Prepare(g, f);
    DrawText(e.dc, "&File", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    TextOut(g.dc, 0, 0, "&File", 5);
    EXPECT_TRUE(Same(e, g));
}

TEST_F(Text, UnderlineStrikeOutTabsAndOpaqueRectangles) {
    // An underlined or struck-out font adds a full-width line to the same glyphs.
    for (bool strike : {false, true}) {
        LOGFONT lf;
        lf.lfHeight = -16;
        std::strcpy(lf.lfFaceName, kFace);
        (strike ? lf.lfStrikeOut : lf.lfUnderline) = 1;
        HFONT lined = CreateFontIndirect(&lf);
        fonts_.push_back(lined);
        Surface a(60, 24), b(60, 24);
        Prepare(a, lined);
        Prepare(b, Font(-16));
        TextOut(a.dc, 0, 0, "o o", 3);
        TextOut(b.dc, 0, 0, "o o", 3);
        int w = Width(b.dc, "o o");
        int fullRows = 0;
        for (int y = 0; y < 24; ++y) {
            bool full = true;
            for (int x = 0; x < w; ++x) full &= a.Pixel(x, y) == 0;
            fullRows += full;
        }
        EXPECT_GE(fullRows, 1) << (strike ? "strike-out" : "underline");
        // The space in the middle shows where the line runs: below the baseline or through the letters.
        TEXTMETRIC tm;
        GetTextMetrics(b.dc, &tm);
        int lineY = -1;
        for (int y = 0; y < 24 && lineY < 0; ++y)
            if (a.Pixel(w / 2, y) == 0 && b.Pixel(w / 2, y) != 0) lineY = y;
        if (strike) EXPECT_LT(lineY, tm.tmAscent);
        else EXPECT_GE(lineY, tm.tmAscent);
    }
    // Tabs expand to stops eight average characters apart.
    Surface s(200, 20);
    Prepare(s, Font());
    TEXTMETRIC tm;
    GetTextMetrics(s.dc, &tm);
    RECT r{0, 0, 0, 0};
    DrawText(s.dc, "a\tb", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    EXPECT_GE(r.right, 8 * tm.tmAveCharWidth);
    EXPECT_LE(r.right, 8 * tm.tmAveCharWidth + Width(s.dc, "b") + Width(s.dc, " "));
    // ETO_OPAQUE fills the whole rectangle in the background colour, not just the text's cells.
    SetBkColor(s.dc, RGB(0, 255, 0));
    RECT box{100, 0, 190, 20};
    ExtTextOut(s.dc, 102, 2, ETO_OPAQUE, &box, "i", 1, nullptr);
    EXPECT_EQ(s.Pixel(189, 19), RGB(0, 255, 0));
    EXPECT_EQ(s.Pixel(99, 19), RGB(255, 255, 255));
}

TEST_F(Text, FaceNamesMapToInstalledFreeFaces) {
    struct Case {
        const char* face;
        const char* file;
    };
    const Case cases[] = {{"MS Sans Serif", "LiberationSans"},
                          {"Arial", "LiberationSans"},
                          {"MS Serif", "LiberationSerif"},
                          {"Tahoma", "DejaVuSans"},
                          {"Courier New", "LiberationMono"},
                          {"No Such Face At All", "/"}};  // some installed file
    for (const Case& c : cases) {
        HFONT f = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, c.face);
        EXPECT_NE(GetFontFile(f).find(c.file), std::string::npos) << c.face << " -> " << GetFontFile(f);
        DeleteObject(f);
    }
}
