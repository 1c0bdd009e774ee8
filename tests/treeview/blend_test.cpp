// Alpha blending in its four modes, the button bitmaps, line patterns and check strips.
#include <gtest/gtest.h>

#include "tree_support.h"
#include "treeview/vtblend.h"

namespace treeview {
namespace {

namespace pf = platform;

// A memory DC holding a 32-bit DIB section filled with one pixel value.
struct Surface {
    Surface(int width, int height, std::uint32_t pixel) : width(width) {
        pf::BITMAPINFO info;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biBitCount = 32;
        void* raw = nullptr;
        bitmap = pf::CreateDIBSection(nullptr, &info, pf::DIB_RGB_COLORS, &raw, nullptr, 0);
        bits = static_cast<std::uint32_t*>(raw);
        std::fill(bits, bits + width * std::abs(height), pixel);
        dc = pf::CreateCompatibleDC(nullptr);
        old = pf::SelectObject(dc, bitmap);
    }
    ~Surface() {
        pf::SelectObject(dc, old);
        pf::DeleteDC(dc);
        pf::DeleteObject(bitmap);
    }
    std::uint32_t& At(int index) { return bits[index]; }
    int width;
    pf::HBITMAP bitmap;
    pf::HDC dc;
    pf::HGDIOBJ old;
    std::uint32_t* bits;
};

TEST(AlphaBlend, ChannelArithmetic) {
    struct Case {
        TBlendMode mode;
        int target, source, alpha, bias, expected;
    };
    const Case cases[] = {
        {bmConstantAlpha, 100, 200, 0, 0, 100},    {bmConstantAlpha, 100, 200, 0, 7, 107},
        {bmConstantAlpha, 0, 255, 255, 0, 254},    {bmConstantAlpha, 10, 10, 128, -50, 0},
        {bmConstantAlpha, 250, 250, 128, 50, 255}, {bmConstantAlpha, 0, 200, 128, 0, 100},
        {bmConstantAlphaAndColor, 255, 0, 128, 0, 127}, {bmConstantAlphaAndColor, 255, 255, 128, 0, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlendChannel(c.mode, std::uint8_t(c.target), std::uint8_t(c.source), c.alpha, c.bias), c.expected)
            << c.mode << " " << c.target << " " << c.source << " " << c.alpha << " " << c.bias;
}

TEST(AlphaBlend, RowsOfBothStorageOrders) {
    for (int height : {2, -2}) {
        Surface source(2, height, 0xFF000000), destination(2, height, 0);
        // Row 0 counts from the top in both orders.
        static_cast<std::uint32_t*>(CalculateScanline(source.bits, 2, height, 0))[1] = 0xFF0000FF;
        AlphaBlend(source.dc, destination.dc, {1, 0, 2, 1}, {0, 1}, bmPerPixelAlpha, 0, 0);
        auto* row1 = static_cast<std::uint32_t*>(CalculateScanline(destination.bits, 2, height, 1));
        EXPECT_EQ(row1[0], 0xFE0000FEu) << "height " << height;
        EXPECT_EQ(row1[1], 0u) << "height " << height;
        EXPECT_EQ(static_cast<std::uint32_t*>(CalculateScanline(destination.bits, 2, height, 0))[0], 0u);
    }
}

TEST(AlphaBlend, ColourModeAndBadRectangles) {
    Surface destination(3, 3, 0x00FFFFFF);
    AlphaBlend(nullptr, destination.dc, {0, 0, 3, 3}, {0, 0}, bmConstantAlphaAndColor, 128, 0xFF0000);  // blue
    EXPECT_EQ(destination.At(4), 0x007F7FFFu) << "blue 255, green and red 127";
    Surface source(2, 2, 0xFFFFFFFF);
    // Partly or wholly outside: only the overlapping pixels change, nothing else is touched.
    AlphaBlend(source.dc, destination.dc, {-5, -5, 10, 10}, {2, 2}, bmMasterAlpha, 255, 0);
    AlphaBlend(source.dc, destination.dc, {0, 0, 2, 2}, {100, -100}, bmConstantAlpha, 255, 0);
    AlphaBlend(source.dc, destination.dc, {2, 2, 1, 1}, {0, 0}, bmConstantAlpha, 255, 0);
    EXPECT_EQ(destination.At(0), 0x007F7FFFu);
    pf::HDC empty = pf::CreateCompatibleDC(nullptr);
    EXPECT_THROW(AlphaBlend(source.dc, empty, {0, 0, 1, 1}, {0, 0}, bmConstantAlpha, 1, 0), pf::EAssertionFailed);
    pf::DeleteDC(empty);
}

TEST(AlphaBlend, SelectionBandIsBlendedAndFramed) {
    TVastStringTree tree(nullptr);
    tree.SetDrawSelectionMode(smBlendedRectangle);
    tree.Colors()->SetColor(TVTColors::SelectionRectangleBlendColor, pf::TColor(0x0000FF));  // red
    tree.Colors()->SetColor(TVTColors::SelectionRectangleBorderColor, pf::TColor(0x000000));
    Surface target(20, -20, 0x00FFFFFF);
    pf::TCanvas canvas;
    canvas.SetHandle(target.dc);
    // A band drawn from bottom-right to top-left, in a window scrolled 5 pixels.
    tree.PaintSelectionRectangle(&canvas, 5, {15, 12, 8, 4}, {0, 0, 20, 20});
    canvas.SetHandle(nullptr);
    EXPECT_EQ(target.At(4 * 20 + 8), 0u) << "framed";
    EXPECT_EQ(target.At(6 * 20 + 4), 0x00FF7F7Fu) << "blended at the band shifted back by the window origin";
    EXPECT_EQ(target.At(6 * 20 + 12), 0x00FFFFFFu) << "right of the shifted band";
    EXPECT_EQ(target.At(2 * 20 + 10), 0x00FFFFFFu) << "above the band";
}

std::uint32_t Pixel(pf::TBitmap& bitmap, int x, int y) {
    return static_cast<std::uint32_t*>(bitmap.ScanLine(y))[x] & 0xFFFFFF;
}

TEST(TreeBitmaps, ButtonsFollowStyleAndFill) {
    TVastStringTree tree(nullptr);
    pf::TBitmap& plus = *tree.PlusBitmap();
    pf::TBitmap& minus = *tree.MinusBitmap();
    ASSERT_EQ(plus.Width(), 9);
    EXPECT_EQ(Pixel(plus, 4, 3), Pixel(plus, 3, 4)) << "the plus has both bars";
    EXPECT_NE(Pixel(minus, 4, 3), Pixel(minus, 3, 4)) << "the minus has one";
    tree.SetButtonFillMode(fmTransparent);
    EXPECT_EQ(Pixel(plus, 1, 1), 0xFF00FFu) << "the interior shows through";
    tree.SetButtonFillMode(fmShaded);
    EXPECT_EQ(Pixel(plus, 1, 0), 0x7898B5u) << "border RGB(120, 152, 181)";
    EXPECT_EQ(Pixel(plus, 0, 0), 0xB0C2D3u) << "corner RGB(176, 194, 211)";
    tree.SetButtonStyle(bsTriangle);
    EXPECT_EQ(Pixel(minus, 4, 6), 0u) << "the minus triangle points down";
    EXPECT_EQ(Pixel(minus, 4, 7), 0xFF00FFu);
    EXPECT_EQ(Pixel(plus, 6, 4), 0u) << "the plus triangle points right";
    EXPECT_EQ(Pixel(plus, 7, 4), 0xFF00FFu);
    pf::HBRUSH before = tree.LinePatternBrush();
    ASSERT_NE(before, nullptr);
    int asked = 0;
    tree.OnGetLineStyle = [&](TBaseVastTree*, TVTLinePattern& bits) {
        ++asked;
        bits = SolidPattern;
    };
    tree.SetLineStyle(lsCustomStyle);
    EXPECT_EQ(asked, 1);
    tree.OnGetLineStyle = nullptr;
    EXPECT_NE(tree.LinePatternBrush(), nullptr);
}

TEST(TreeBitmaps, CheckStripsHoldTwentyFiveDistinctImages) {
    for (TCheckImageKind kind : {ckLightCheck, ckDarkTick, ckFlat, ckXP}) {
        std::unique_ptr<pf::TBitmap> strip = MakeCheckStrip(kind);
        ASSERT_EQ(strip->Width(), 400);
        ASSERT_EQ(strip->Height(), 16);
        auto image = [&](int index) {
            std::vector<std::uint32_t> pixels;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) pixels.push_back(Pixel(*strip, index * 16 + x, y));
            return pixels;
        };
        EXPECT_EQ(image(0), std::vector<std::uint32_t>(256, 0xFF00FF)) << "image 0 is empty";
        for (int index : {1, 5, 9, 13, 17, 21}) {
            EXPECT_NE(image(index), image(index + 3)) << kind << ": disabled differs from normal at " << index;
            EXPECT_NE(image(index), image(0)) << kind << " " << index;
        }
        EXPECT_NE(image(9), image(13)) << "checked differs from unchecked";
        EXPECT_NE(image(13), image(17)) << "mixed differs from checked";
    }
    TVastStringTree tree(nullptr);
    ASSERT_NE(tree.CheckImages(), nullptr);
    EXPECT_EQ(tree.CheckImages()->Count(), 25);
    tree.SetCheckImageKind(ckCustom);
    EXPECT_EQ(tree.CheckImages(), nullptr) << "no custom list given";
    pf::TCustomImageList custom(16, 16);
    tree.SetCustomCheckImages(&custom);
    EXPECT_EQ(tree.CheckImages(), &custom);
}

}  // namespace
}  // namespace treeview
