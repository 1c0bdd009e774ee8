// The class library's graphics objects: colours, fonts, canvases, bitmaps, image lists, resources.
#include <gtest/gtest.h>

#include "platform/graphics/graphics.h"
#include "platform/graphics/imglist.h"
#include "platform/graphics/resources.h"
#include "platform/graphics/surface.h"

using namespace platform;

TEST(Colors, ColorToRgbResolvesSystemColours) {
    struct Case {
        TColor color;
        COLORREF rgb;
    };
    const Case cases[] = {
        {clRed, RGB(255, 0, 0)},
        {clBtnFace, GetSysColor(COLOR_BTNFACE)},
        {clHighlight, GetSysColor(COLOR_HIGHLIGHT)},
        {TColor(0x8000000F), GetSysColor(15)},
        {SysColor(200), 0},      // an index beyond the table
        {clNone, 0x1FFFFFFF},    // not a system colour: unchanged
        {clDefault, 0x20000000},
    };
    for (const Case& c : cases) EXPECT_EQ(ColorToRGB(c.color), c.rgb) << std::hex << c.color;
    EXPECT_EQ(GetSysColor(-1), 0u);
    EXPECT_EQ(GetSysColorBrush(SYS_COLOR_COUNT), nullptr);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
    EXPECT_EQ(GetSystemMetrics(9999), 0);
}

TEST(Fonts, SizeAndHeightAndChangeNotification) {
    TFont f;
    EXPECT_EQ(f.Height(), -11);
    EXPECT_EQ(f.Size(), 8);
    f.SetSize(10);
    EXPECT_EQ(f.Height(), -13);
    int changes = 0;
    f.OnChange = [&](TObject*) { ++changes; };
    f.SetName("Arial");
    f.SetName("Arial");  // unchanged: no notification
    f.SetStyle({fsBold, fsUnderline});
    EXPECT_EQ(changes, 2);
    LOGFONT lf;
    ASSERT_EQ(GetObject(f.Handle(), sizeof lf, &lf), int(sizeof lf));
    EXPECT_STREQ(lf.lfFaceName, "Arial");
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfUnderline, 1);
    TFont copy;
    copy.Assign(&f);
    EXPECT_EQ(copy.Name(), "Arial");
    EXPECT_TRUE(copy.Style().Contains(fsBold));
    TPen pen;
    EXPECT_THROW(copy.Assign(&pen), EConvertError);
}

TEST(Bitmaps, SizeFormatAndScanLines) {
    TBitmap b(3, 2);
    EXPECT_EQ(b.PixelFormat(), pfDevice);
    b.Canvas()->SetPixels(0, 0, clRed);
    b.Canvas()->SetPixels(2, 1, clBlue);
    auto* row1 = static_cast<std::uint32_t*>(b.ScanLine(1));
    EXPECT_EQ(row1[2] & 0xFFFFFF, 0x0000FFu);  // blue in pixel order
    EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
    b.SetSize(4, 3);  // keeps the old pixels, new ones are white
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed);
    EXPECT_EQ(b.Canvas()->Pixels(2, 1), clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(3, 2), clWhite);
    b.SetPixelFormat(pf24bit);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clRed);
    b.SetSize(5, 4);  // grown and shrunk in place, the format kept
    EXPECT_EQ(b.Canvas()->Pixels(2, 1), clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(4, 3), clWhite);
    EXPECT_EQ(b.Canvas()->Pixels(4, 0), clWhite);
    b.SetSize(4, 3);
    EXPECT_EQ(b.Canvas()->Pixels(2, 1), clBlue);
    EXPECT_EQ(b.Canvas()->Pixels(3, 2), clWhite);
    b.SetPixelFormat(pf1bit);
    EXPECT_EQ(b.Canvas()->Pixels(0, 0), clBlack);
    EXPECT_EQ(b.Canvas()->Pixels(3, 2), clWhite);
    EXPECT_THROW(b.SetSize(-1, 2), EInvalidGraphic);
    b.SetSize(0, 0);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
}

TEST(Bitmaps, SidesAndFormatSetOneByOneBeforeThereArePixels) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetWidth(9);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 9);
    b.SetHeight(b.Width());
    EXPECT_FALSE(b.Empty());
    EXPECT_EQ(b.Height(), 9);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    b.SetHeight(0);  // empty again, the width kept
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 9);
    TBitmap copy;
    copy.Assign(&b);
    EXPECT_EQ(copy.Width(), 9);
    EXPECT_EQ(copy.PixelFormat(), pf24bit);
}

TEST(Canvas, DrawsWithItsPenBrushAndFont) {
    TBitmap b(20, 10);
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clYellow);
    c->FillRect(TRect(0, 0, 20, 10));
    EXPECT_EQ(c->Pixels(19, 9), clYellow);
    c->Pen()->SetColor(clRed);
    c->MoveTo(0, 0);
    c->LineTo(5, 0);
    EXPECT_EQ(c->Pixels(4, 0), clRed);
    EXPECT_EQ(c->Pixels(5, 0), clYellow);
    EXPECT_EQ(c->PenPos(), TPoint(5, 0));
    // Text on a clear brush keeps the background between the glyphs.
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(clBlue);
    c->TextOut(2, 0, "l");
    EXPECT_GT(c->TextWidth("ll"), c->TextWidth("l"));
    EXPECT_EQ(c->TextHeight("x"), c->TextExtent("x").cy);
    int ink = 0, yellow = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 2; x < 2 + c->TextWidth("l"); ++x) {
            COLORREF p = ColorToRGB(c->Pixels(x, y));
            if (GetBValue(p) > GetRValue(p)) ++ink;  // blended towards blue
            if (p == ColorToRGB(clYellow)) ++yellow;
        }
    EXPECT_GT(ink, 0);
    EXPECT_GT(yellow, 0);
    // A pen mode of xor draws twice to nothing.
    c->Pen()->SetMode(pmXor);
    c->Pen()->SetColor(clWhite);
    c->MoveTo(0, 5);
    c->LineTo(20, 5);
    EXPECT_EQ(c->Pixels(10, 5), TColor(0xFF0000));  // yellow xor white
    c->MoveTo(0, 5);
    c->LineTo(20, 5);
    EXPECT_EQ(c->Pixels(10, 5), clYellow);
}

TEST(Canvas, TextRectFillsAndClipsToItsRectangle) {
    TBitmap b(40, 20);
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(TRect(0, 0, 40, 20));
    c->Brush()->SetColor(clAqua);
    c->Font()->SetColor(clBlack);
    c->Font()->SetHeight(-18);
    c->TextRect(TRect(5, 2, 15, 18), 3, 10, "WWWW");  // the text starts below the top
    EXPECT_EQ(c->Pixels(14, 3), clAqua);   // the rectangle is filled with the brush
    EXPECT_EQ(c->Pixels(4, 14), clWhite);  // the text starting left of it is cut
    for (int y = 0; y < 20; ++y)
        for (int x = 15; x < 40; ++x) ASSERT_EQ(c->Pixels(x, y), clWhite) << x << "," << y;
    bool ink = false;
    for (int y = 10; y < 18; ++y)
        for (int x = 5; x < 15; ++x) ink |= c->Pixels(x, y) != clAqua;
    EXPECT_TRUE(ink);
}

TEST(Canvas, DrawTransparentStretchAndCopy) {
    TBitmap glyph(2, 2);
    glyph.Canvas()->Brush()->SetColor(clFuchsia);
    glyph.Canvas()->FillRect(TRect(0, 0, 2, 2));
    glyph.Canvas()->SetPixels(0, 0, clGreen);
    glyph.SetTransparentColor(clFuchsia);
    glyph.SetTransparent(true);
    TBitmap target(4, 4);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect(TRect(0, 0, 4, 4));
    target.Canvas()->Draw(1, 1, &glyph);
    EXPECT_EQ(target.Canvas()->Pixels(1, 1), clGreen);
    EXPECT_EQ(target.Canvas()->Pixels(2, 2), clWhite);
    glyph.SetTransparent(false);
    target.Canvas()->StretchDraw(TRect(0, 0, 4, 4), &glyph);
    EXPECT_EQ(target.Canvas()->Pixels(1, 1), clGreen);
    EXPECT_EQ(target.Canvas()->Pixels(3, 3), clFuchsia);
    TBitmap copy(2, 2);
    copy.Canvas()->CopyRect(TRect(0, 0, 2, 2), target.Canvas(), TRect(0, 0, 2, 2));
    EXPECT_EQ(copy.Canvas()->Pixels(0, 0), clGreen);
    // Auto mode: the transparent colour is the bottom-left pixel.
    glyph.SetTransparentMode(tmAuto);
    EXPECT_EQ(glyph.TransparentColor(), clFuchsia);
}

// Code that draws with the API calls on Canvas->Handle() finds the canvas's font, pen and
// brush selected; what it selects itself stays until the canvas changes one of its own.
TEST(Canvas, HandleCarriesTheCanvasObjects) {
    platform::testing::Surface s(8, 8);
    TCanvas c;
    c.SetHandle(s.dc);
    c.Font()->SetColor(clRed);
    c.Brush()->SetColor(clLime);
    HDC dc = c.Handle();
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), HGDIOBJ(c.Font()->Handle()));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), HGDIOBJ(c.Pen()->Handle()));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), HGDIOBJ(c.Brush()->Handle()));
    EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));

    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(GetCurrentObject(c.Handle(), OBJ_BRUSH), GetStockObject(BLACK_BRUSH));
    c.Brush()->SetColor(clBlue);
    EXPECT_EQ(GetCurrentObject(c.Handle(), OBJ_BRUSH), HGDIOBJ(c.Brush()->Handle()));
    c.SetHandle(nullptr);
}

TEST(Canvas, WrapsAForeignDcAndLetsGoOfIt) {
    platform::testing::Surface s(8, 8);
    {
        TCanvas c;
        EXPECT_THROW(c.Handle(), EInvalidOperation);
        c.SetHandle(s.dc);
        c.Brush()->SetColor(clRed);
        c.Pen()->SetColor(clBlue);
        c.Rectangle(0, 0, 8, 8);
        EXPECT_EQ(s.Pixel(0, 0), RGB(0, 0, 255));
        EXPECT_EQ(s.Pixel(3, 3), RGB(255, 0, 0));
        c.SetHandle(nullptr);
        // The canvas's own handles are out of the DC before they go.
        EXPECT_EQ(GetCurrentObject(s.dc, OBJ_PEN), GetStockObject(BLACK_PEN));
        EXPECT_EQ(GetCurrentObject(s.dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
        c.SetHandle(s.dc);
        c.Lock();
        EXPECT_EQ(c.LockCount(), 1);
        c.Unlock();
    }
    // Destroying a canvas leaves the DC usable.
    RECT r{0, 0, 1, 1};
    EXPECT_TRUE(FillRect(s.dc, &r, AsBrush(GetStockObject(BLACK_BRUSH))));
}

TEST(ImageLists, AddDrawAndNotify) {
    TImageList list(2, 2);
    int notified = 0;
    TChangeLink link;
    link.OnChange = [&](TObject*) { ++notified; };
    list.RegisterChanges(&link);
    // A strip of two images; the mask makes the right column of each transparent.
    TBitmap strip(4, 2), mask(4, 2);
    strip.Canvas()->Brush()->SetColor(clRed);
    strip.Canvas()->FillRect(TRect(0, 0, 4, 2));
    strip.Canvas()->SetPixels(2, 0, clBlue);
    mask.Canvas()->Brush()->SetColor(clBlack);
    mask.Canvas()->FillRect(TRect(0, 0, 4, 2));
    mask.Canvas()->SetPixels(1, 0, clWhite);
    mask.Canvas()->SetPixels(1, 1, clWhite);
    EXPECT_EQ(list.Add(&strip, &mask), 0);
    EXPECT_EQ(list.Count(), 2);
    TBitmap keyed(2, 2);
    keyed.Canvas()->Brush()->SetColor(clFuchsia);
    keyed.Canvas()->FillRect(TRect(0, 0, 2, 2));
    keyed.Canvas()->SetPixels(0, 0, clGreen);
    EXPECT_EQ(list.AddMasked(&keyed, clFuchsia), 2);
    EXPECT_EQ(notified, 2);

    TBitmap target(6, 2);
    target.Canvas()->Brush()->SetColor(clWhite);
    target.Canvas()->FillRect(TRect(0, 0, 6, 2));
    list.Draw(target.Canvas(), 0, 0, 0);
    list.Draw(target.Canvas(), 2, 0, 1);
    list.Draw(target.Canvas(), 4, 0, 2);
    list.Draw(target.Canvas(), 0, 0, 7);  // out of range: nothing
    const TColor row0[] = {clRed, clWhite, clBlue, clRed, clGreen, clWhite};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(target.Canvas()->Pixels(x, 0), row0[x]) << x;
    // Disabled: the dark shape in shadow colour with a highlight one pixel down-right.
    TBitmap grey(4, 4);
    grey.Canvas()->Brush()->SetColor(clWhite);
    grey.Canvas()->FillRect(TRect(0, 0, 4, 4));
    list.Draw(grey.Canvas(), 1, 1, 2, false);
    EXPECT_EQ(grey.Canvas()->Pixels(1, 1), TColor(GetSysColor(COLOR_BTNSHADOW)));
    EXPECT_EQ(grey.Canvas()->Pixels(2, 2), TColor(GetSysColor(COLOR_BTNHIGHLIGHT)));
    list.Delete(0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_THROW(list.Delete(5), EInvalidOperation);
    EXPECT_EQ(notified, 3);
    {
        TChangeLink gone;
        list.RegisterChanges(&gone);
    }  // unregisters itself
    list.Clear();
    EXPECT_EQ(notified, 4);
}

TEST(ImageLists, StylesBlendMaskBackgroundAndOverlay) {
    TImageList list(2, 1);
    TBitmap red(2, 1), dot(2, 1);
    red.Canvas()->Brush()->SetColor(clRed);
    red.Canvas()->FillRect(TRect(0, 0, 2, 1));
    red.Canvas()->SetPixels(1, 0, clFuchsia);
    dot.Canvas()->Brush()->SetColor(clFuchsia);
    dot.Canvas()->FillRect(TRect(0, 0, 2, 1));
    dot.Canvas()->SetPixels(1, 0, clLime);
    list.AddMasked(&red, clFuchsia);  // red, transparent
    list.AddMasked(&dot, clFuchsia);  // transparent, lime
    ASSERT_TRUE(list.Overlay(1, 0));
    struct Case {
        const char* name;
        UINT style;
        COLORREF bk, fg;
        COLORREF left, right;
    };
    const COLORREF white = RGB(255, 255, 255);
    const Case cases[] = {
        {"transparent", ILD_TRANSPARENT, CLR_NONE, CLR_NONE, RGB(255, 0, 0), white},
        {"background", ILD_NORMAL, RGB(0, 0, 255), CLR_NONE, RGB(255, 0, 0), RGB(0, 0, 255)},
        {"blend 50 with blue", ILD_TRANSPARENT | ILD_BLEND50, CLR_NONE, RGB(0, 0, 255), RGB(127, 0, 127), white},
        {"mask", ILD_MASK, CLR_NONE, CLR_NONE, RGB(0, 0, 0), white},
        {"overlay", ILD_TRANSPARENT | INDEXTOOVERLAYMASK(1), CLR_NONE, CLR_NONE, RGB(255, 0, 0), RGB(0, 255, 0)},
    };
    for (const Case& c : cases) {
        platform::testing::Surface s(2, 1);
        ASSERT_TRUE(ImageList_DrawEx(list.Handle(), 0, s.dc, 0, 0, 0, 0, c.bk, c.fg, c.style)) << c.name;
        EXPECT_EQ(s.Pixel(0, 0), c.left) << c.name;
        EXPECT_EQ(s.Pixel(1, 0), c.right) << c.name;
    }
    platform::testing::Surface s(2, 1);
    EXPECT_FALSE(ImageList_DrawEx(list.Handle(), 9, s.dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL));
}

TEST(ImageLists, LinkOutlivingItsList) {
    TChangeLink link;
    {
        TImageList list;
        list.RegisterChanges(&link);
        EXPECT_EQ(link.Sender(), &list);
    }
    EXPECT_EQ(link.Sender(), nullptr);
}

TEST(Bitmaps, PixelsOfA32BitBitmapAreReachableThroughItsDc) {
    // As the tree's blending finds them: the bitmap selected in the canvas's DC, described
    // as a DIB section with its pixel address.
    TBitmap b(4, 3);
    b.SetPixelFormat(pf32bit);
    b.Canvas()->SetPixels(1, 2, clRed);
    HGDIOBJ selected = GetCurrentObject(b.Canvas()->Handle(), OBJ_BITMAP);
    DIBSECTION ds;
    ASSERT_EQ(GetObject(selected, sizeof ds, &ds), int(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBitsPixel * ds.dsBm.bmPlanes, 32);
    ASSERT_NE(ds.dsBm.bmBits, nullptr);
    int storedRow = ds.dsBmih.biHeight > 0 ? ds.dsBmih.biHeight - 1 - 2 : 2;
    auto* words = static_cast<std::uint32_t*>(ds.dsBm.bmBits);
    EXPECT_EQ(words[storedRow * 4 + 1] & 0xFFFFFF, 0xFF0000u);
    // A device bitmap is not a DIB section.
    HBITMAP ddb = CreateCompatibleBitmap(nullptr, 2, 2);
    EXPECT_EQ(GetObject(ddb, sizeof ds, &ds), int(sizeof(BITMAP)));
    DeleteObject(ddb);
}

TEST(Bitmaps, StreamsReadABitmapsOwnLengthOnly) {
    TBitmap a(3, 2);
    a.Canvas()->SetPixels(2, 1, clRed);
    TMemoryStream stream;
    a.SaveToStream(stream);
    std::int64_t length = stream.Size();
    const char tail[] = "rest";
    stream.WriteBuffer(tail, 4);
    stream.SetPosition(0);
    TBitmap b;
    b.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), length);
    EXPECT_EQ(b.Canvas()->Pixels(2, 1), clRed);
    TMemoryStream junk;
    junk.WriteBuffer("BMxx", 4);
    junk.SetPosition(0);
    EXPECT_THROW(b.LoadFromStream(junk), EInvalidGraphic);
    EXPECT_EQ(b.Width(), 3);  // unchanged
}

TEST(Resources, BitmapsByName) {
    TBitmap source(2, 1);
    source.Canvas()->SetPixels(1, 0, clLime);
    static const std::vector<BYTE> data = source.SaveToBytes();
    RegisterResource("TEST_DOT", ResourceType::Bitmap, data.data(), data.size());
    TBitmap b;
    b.LoadFromResourceName(HInstance, "test_dot");
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Canvas()->Pixels(1, 0), clLime);
    EXPECT_THROW(b.LoadFromResourceName(HInstance, "NO_SUCH"), EResNotFound);
    EXPECT_EQ(b.Width(), 2);
}
