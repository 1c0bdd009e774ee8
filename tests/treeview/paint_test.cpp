// Painting of the job-list fixture: probes a regenerated golden picture cannot hide
// (dotted-line parity, the 9 x 9 buttons, the blended selection, the XOR focus
// rectangle), and the painter's rules: only the rows in the window are painted, a
// nested paint does nothing, a throwing handler leaves the tree able to paint.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "paint_support.h"
#include "platform/windows/backend.h"
#include "treeview/vtblend.h"

namespace treeview {
namespace {

using platform::TColor;

std::uint32_t Rgb(TColor color) { return platform::ColorToRGB(color) & 0xFFFFFF; }

TEST(Painting, DottedLinesKeepTheirParityAcrossRows) {
    for (int height : {18, 17}) {
        test::PaintFixture fixture;
        for (PVastNode node : fixture.nodes) fixture.tree->SetNodeHeight(node, std::uint16_t(height));
        auto bitmap = fixture.Render();
        const std::uint32_t line = Rgb(fixture.tree->Colors()->GetColor(TVTColors::TreeLineColor));
        const std::uint32_t back = Rgb(fixture.tree->Color());
        // The top-level line at x = Indent / 2 runs past the two child rows.
        int x = fixture.tree->Indent() / 2;
        std::set<std::uint32_t> seen;
        for (int y = height + 1; y < 3 * height - 1; ++y) {
            std::uint32_t here = Rgb(bitmap->Canvas()->Pixels(x, y)), below = Rgb(bitmap->Canvas()->Pixels(x, y + 1));
            ASSERT_NE(here, below) << "rows of " << height << ": y " << y;
            seen.insert(here);
        }
        EXPECT_EQ(seen, (std::set<std::uint32_t>{line, back})) << height;
    }
}

TEST(Painting, ButtonsAreTheNineByNineBitmaps) {
    test::PaintFixture fixture;
    auto bitmap = fixture.Render();
    // Row 0 is expanded (minus); its button is centred in the first indentation step.
    platform::TBitmap* minus = fixture.tree->MinusBitmap();
    ASSERT_EQ(minus->Width(), 9);
    ASSERT_EQ(minus->Height(), 9);
    // (18 - 9) / 2 = 4.5 rounds to the even 4; the row's middle less half a button is 5.
    const int left = 4, top = 5;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(Rgb(bitmap->Canvas()->Pixels(left + x, top + y)), Rgb(minus->Canvas()->Pixels(x, y)))
                << x << "," << y;
    // Collapsed, row 0 shows the plus bitmap; row 2 (no children) shows no button.
    fixture.tree->SetExpanded(fixture.nodes[0], false);
    bitmap = fixture.Render();
    platform::TBitmap* plus = fixture.tree->PlusBitmap();
    int plusDifferences = 0, leafDifferences = 0;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            std::uint32_t button = Rgb(plus->Canvas()->Pixels(x, y));
            plusDifferences += Rgb(bitmap->Canvas()->Pixels(left + x, top + y)) != button;
            leafDifferences += Rgb(bitmap->Canvas()->Pixels(left + x, 2 * 18 + top + y)) != button;
        }
    EXPECT_EQ(plusDifferences, 0);
    EXPECT_GT(leafDifferences, 20);
}

TEST(Painting, BlendedSelectionFollowsTheChannelFormula) {
    test::PaintFixture fixture;
    auto* options = fixture.tree->TreeOptions();
    options->SetPaintOptions(options->PaintOptions() | toUseBlendedSelection);
    auto bitmap = fixture.Render();
    std::uint32_t selection = Rgb(fixture.tree->Colors()->GetColor(TVTColors::FocusedSelectionColor));
    std::uint32_t back = Rgb(fixture.tree->Color());
    // An empty part of the selected row (row 3), right of its third cell's text.
    std::uint32_t pixel = Rgb(bitmap->Canvas()->Pixels(290, 3 * 18 + 9));
    for (int shift : {0, 8, 16}) {
        auto expected = BlendChannel(bmConstantAlphaAndColor, std::uint8_t(back >> shift),
                                     std::uint8_t(selection >> shift), fixture.tree->SelectionBlendFactor(), 0);
        EXPECT_EQ(std::uint8_t(pixel >> shift), expected) << "channel at bit " << shift;
    }
    EXPECT_EQ(Rgb(bitmap->Canvas()->Pixels(290, 5 * 18 + 9)), back) << "an unselected row";
}

TEST(Painting, FocusRectangleIsDrawnByInversion) {
    test::PaintFixture fixture;
    fixture.tree->ClearSelection();
    fixture.tree->SetFocusedNode(fixture.nodes[5]);
    ASSERT_TRUE(fixture.tree->Focused());
    auto bitmap = fixture.Render();
    const int top = 5 * 18;
    int black = 0, white = 0;
    for (int x = 60; x < 90; ++x) {
        std::uint32_t here = Rgb(bitmap->Canvas()->Pixels(x, top)), next = Rgb(bitmap->Canvas()->Pixels(x + 1, top));
        ASSERT_NE(here, next) << "x " << x;
        (here == 0 ? black : white)++;
    }
    EXPECT_EQ(black, 15);
    EXPECT_EQ(white, 15);
    fixture.tree->TreeOptions()->SetPaintOptions(fixture.tree->TreeOptions()->PaintOptions() | toHideFocusRect);
    bitmap = fixture.Render();
    for (int x = 60; x < 90; ++x) ASSERT_EQ(Rgb(bitmap->Canvas()->Pixels(x, top)), 0xFFFFFFu) << x;
}

TEST(Painting, OnlyTheRowsInTheWindowArePainted) {
    test::PaintFixture fixture(420, 200);
    TVastStringTree* tree = fixture.tree;
    tree->BeginUpdate();
    tree->SetRootNodeCount(100000);
    tree->EndUpdate();
    std::vector<PVastNode> painted;
    tree->OnBeforeItemPaint = [&](TBaseVastTree*, platform::TCanvas*, PVastNode node, const platform::TRect&, bool&) {
        painted.push_back(node);
    };
    tree->SetOffsetY(-(tree->RangeHeight() / 2 + 5));
    fixture.Render();
    const int rows = (tree->ClientHeight() + 5) / 18 + 1;
    ASSERT_EQ(int(painted.size()), rows);
    int top = 0;
    EXPECT_EQ(painted.front(), tree->GetNodeAt(0, 0, true, top));
    for (std::size_t i = 1; i < painted.size(); ++i) EXPECT_EQ(painted[i], tree->GetNextVisible(painted[i - 1]));
}

TEST(Painting, NestedAndFailingPaintsLeaveTheTreeWhole) {
    test::PaintFixture fixture;
    TVastStringTree* tree = fixture.tree;
    int nested = 0, rowsPainted = 0;
    tree->OnBeforePaint = [&](TBaseVastTree*, platform::TCanvas* canvas) {
        ++nested;
        if (nested == 1) tree->PaintTree(canvas, platform::TRect{0, 0, 50, 50}, platform::TPoint{0, 0}, 0);
    };
    tree->OnAfterItemPaint = [&](TBaseVastTree*, platform::TCanvas*, PVastNode, const platform::TRect&) {
        ++rowsPainted;
    };
    fixture.Render();
    EXPECT_EQ(nested, 1) << "the nested call returned at once";
    EXPECT_EQ(rowsPainted, 6);

    tree->OnGetText = [](TBaseVastTree*, PVastNode, TColumnIndex, TVSTTextType, std::string&) {
        throw std::runtime_error("handler");
    };
    EXPECT_THROW(fixture.Render(), std::runtime_error);
    EXPECT_FALSE(tree->TreeStates() & tsPainting);
    tree->OnGetText = [](TBaseVastTree*, PVastNode, TColumnIndex, TVSTTextType, std::string& text) {
        text = "bad \xFF\xFE utf-8";  // drawn with replacement characters
    };
    rowsPainted = 0;
    nested = 5;
    fixture.Render();
    EXPECT_EQ(rowsPainted, 6);
}

// The whole window (header strip and rows) against the reviewed picture in
// tests/treeview/golden/. LUMACAST_UPDATE_GOLDEN=1 writes a new one instead; a mismatch
// leaves the picture and a difference image in the build's artifacts folder.
TEST(Painting, MatchesTheGoldenPicture) {
    namespace fs = std::filesystem;
    test::PaintFixture fixture;
    fixture.tree->SetFocusedNode(fixture.nodes[5]);
    fixture.tree->Invalidate();
    platform::test::Pump();
    const char* source = std::getenv("LUMACAST_SOURCE_DIR");
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    ASSERT_TRUE(source && build);
    fs::path golden = fs::path(source) / "tests/treeview/golden/joblist.png";
    fs::path artifacts = fs::path(build) / "artifacts";
    fs::create_directories(artifacts);
    fs::path actual = artifacts / "treeview-joblist.png";
    platform::SaveWindowImage(fixture.tree->Handle(), actual.string());
    if (const char* update = std::getenv("LUMACAST_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        fs::create_directories(golden.parent_path());
        fs::copy_file(actual, golden, fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "golden picture written: " << golden;
    }
    ASSERT_TRUE(fs::exists(golden)) << golden;
    platform::TPicture expected, got;
    expected.LoadFromFile(golden.string());
    got.LoadFromFile(actual.string());
    platform::TBitmap* e = expected.Bitmap();
    platform::TBitmap* g = got.Bitmap();
    ASSERT_EQ(g->Width(), e->Width());
    ASSERT_EQ(g->Height(), e->Height());
    platform::TBitmap difference;
    difference.SetPixelFormat(platform::pf32bit);
    difference.SetSize(e->Width(), e->Height());
    int mismatches = 0;
    for (int y = 0; y < e->Height(); ++y)
        for (int x = 0; x < e->Width(); ++x) {
            bool same = Rgb(e->Canvas()->Pixels(x, y)) == Rgb(g->Canvas()->Pixels(x, y));
            mismatches += !same;
            difference.Canvas()->SetPixels(x, y, same ? platform::clWhite : platform::clRed);
        }
    if (mismatches > 0) difference.SaveToPngFile((artifacts / "treeview-joblist-difference.png").string());
    EXPECT_EQ(mismatches, 0) << "see " << artifacts;
}

TEST(Painting, XPHeaderColours) {
    test::PaintFixture fixture;
    fixture.tree->Header()->SetStyle(hsXPStyle);
    platform::test::Pump();
    auto pixel = [&](int x, int y) { return platform::GetWindowSurfacePixel(fixture.tree->Handle(), x, y) & 0xFFFFFF; };
    const int h = fixture.tree->Header()->Height();
    // Fill, then the three bottom lines; the splitter at the cell's right edge.
    EXPECT_EQ(pixel(60, 2), 0xDBEAEBu) << "RGB 235,234,219";
    EXPECT_EQ(pixel(60, h - 3), 0xCFDEE0u) << "RGB 224,222,207";
    EXPECT_EQ(pixel(60, h - 2), 0xC3D2D5u);
    EXPECT_EQ(pixel(60, h - 1), 0xB8C7CBu);
    EXPECT_EQ(pixel(98, 5), 0xB2C5C7u) << "splitter RGB 199,197,178";
    EXPECT_EQ(pixel(99, 5), 0xFFFFFFu);
}

TEST(Painting, ShortenStringKeepsWholeCharacters) {
    auto fixedWidth = [](const std::string& s) {
        int characters = 0;
        for (char c : s) characters += (std::uint8_t(c) & 0xC0) != 0x80;
        return characters * 7;
    };
    struct Case {
        std::string text;
        int width;
        std::string expected;
    };
    for (const Case& c : {Case{"abcdefgh", 56, "abcde..."}, Case{"abcdefgh", 55, "abcd..."},
                          Case{"abcdefgh", 22, "..."}, Case{"abcdefgh", 21, ""}, Case{"", 100, ""},
                          Case{"abc", 0, ""}, Case{"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", 35, "\xC3\xA4\xC3\xB6..."},
                          Case{"ab", 1000, "a..."}})
        EXPECT_EQ(ShortenString(c.text, c.width, 0, fixedWidth), c.expected) << c.text << " " << c.width;
}

}  // namespace
}  // namespace treeview
