// The customisation dialog's pure rules, case by case: the browser's fit, proportional
// size, the output scales, the link, locale-free option numbers, credit placement, and the
// decoration frame's zones, resizes and moves.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "dialogs/customfrm.h"
#include "jobmodel/creditplace.h"

namespace {

using customrules::Rect;

TEST(CustomRules, PreviewBrowserFitsThePanelKeepingTheAspectAndNeverBelowOnePixel) {
    struct Case {
        int w, h, pw, ph;
        Rect expected;
    } cases[] = {
        {320, 240, 356, 276, {18, 18, 320, 240}},   // fits: as it is, centred
        {1920, 1080, 356, 276, {0, 38, 356, 200}},  // both larger, wider: full width
        {300, 1000, 356, 276, {137, 0, 82, 276}},   // taller only: full height, width / ry
        {1000, 200, 356, 276, {0, 102, 356, 71}},   // wider only: full width, height / rx
        {1, 300, 356, 276, {177, 0, 1, 276}},       // 0.92 pixels wide: kept at 1
        {320, 240, 0, 276, {0, 0, 1, 1}},           // no panel: no division by 0
        {320, 240, 356, 0, {0, 0, 1, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(customrules::FitPreviewBrowser(c.w, c.h, c.pw, c.ph), c.expected) << c.w << "x" << c.h;
}

TEST(CustomRules, ProportionalSizeScalesFromTheRememberedPairIn64Bits) {
    int result = 0;
    // Typing 6, 4 and 0 into the width with the pair 320 x 240.
    int expected[] = {4, 48, 480};
    int typed[] = {6, 64, 640};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(customrules::ProportionalValue(typed[i], 320, 240, result));
        EXPECT_EQ(result, expected[i]);
    }
    ASSERT_TRUE(customrules::ProportionalValue(100, 240, 320, result));
    EXPECT_EQ(result, 133);  // truncated, not rounded
    // A remembered 0 has nothing to scale by.
    EXPECT_FALSE(customrules::ProportionalValue(100, 0, 240, result));
    EXPECT_FALSE(customrules::ProportionalValue(100, 320, 0, result));
    // 10000 x 10000 / 1 overflows 32 bits: taken in 64, then kept within the spin's range.
    ASSERT_TRUE(customrules::ProportionalValue(10000, 1, 10000, result));
    EXPECT_EQ(result, 10000);
    ASSERT_TRUE(customrules::ProportionalValue(1, 10000, 1, result));
    EXPECT_EQ(result, 1);
}

TEST(CustomRules, OutputScalesAreRatiosOfTheBrowserAndNeverInfinite) {
    customrules::Scales s = customrules::OutputScales(640, 480, 356, 267);
    EXPECT_DOUBLE_EQ(s.x, 640.0 / 356);
    EXPECT_DOUBLE_EQ(s.y, 480.0 / 267);
    EXPECT_DOUBLE_EQ(s.area, (640.0 * 480) / (356.0 * 267));
    customrules::Scales none = customrules::OutputScales(640, 480, 0, 0);
    EXPECT_DOUBLE_EQ(none.x, 640);
    EXPECT_DOUBLE_EQ(none.y, 480);
    EXPECT_DOUBLE_EQ(none.area, 640.0 * 480);
    // 10000 x 10000 does not overflow.
    EXPECT_DOUBLE_EQ(customrules::OutputScales(10000, 10000, 1, 1).area, 1e8);
}

TEST(CustomRules, LinkRule) {
    struct Case {
        const char* box;
        const char* working;
        const char* keptWorking;
        const char* stored;
    } cases[] = {
        {"example.org", "example.org", "http://example.org", "http://example.org"},
        {"http://example.org", "http://example.org", "http://example.org", "http://example.org"},
        {"HTTP://example.org", "HTTP://example.org", "http://HTTP://example.org", "http://HTTP://example.org"},
        {"http://", "http://", "http://", ""},  // the bare prefix stores no link
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        customrules::Link link = customrules::LinkRule(c.box, c.working, 1024);
        EXPECT_EQ(link.working, c.keptWorking) << c.box;
        EXPECT_EQ(link.item, c.stored) << c.box;
    }
    // A link that the prefix pushes past its field is cut within it.
    std::string full(1023, 'a');
    customrules::Link cut = customrules::LinkRule(full, full, 1024);
    EXPECT_EQ(cut.item.size(), 1023u);
    EXPECT_EQ(cut.item.substr(0, 7), "http://");
    EXPECT_EQ(cut.working, cut.item);
}

TEST(CustomRules, OptionNumbersAreReadTheSameInEveryLocale) {
    // A locale whose decimal separator is a comma must not change how "29.97" reads.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    double rate = 0;
    EXPECT_TRUE(customrules::ParseDecimal("29.97", rate));
    EXPECT_DOUBLE_EQ(rate, 29.97);
    EXPECT_FALSE(customrules::ParseDecimal("29,97", rate));
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!comma) GTEST_LOG_(INFO) << "no comma locale installed; read in the C locale only";

    struct Case {
        const char* text;
        bool ok;
        std::int32_t value;
    } wholes[] = {{"44100", true, 44100}, {" 2 ", true, 2}, {"+64", true, 64}, {"-1", true, -1},
                  {"64k", false, 0},      {"", false, 0},   {"1.5", false, 0}, {"99999999999", false, 0}};
    for (const Case& c : wholes) {
        std::int32_t value = 0;
        EXPECT_EQ(customrules::ParseWholeNumber(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    EXPECT_FALSE(customrules::ParseDecimal("fast", rate));
    EXPECT_FALSE(customrules::ParseDecimal("nan", rate));
}

TEST(CustomRules, CreditTextOffsetCentresOnTheGivenOutput) {
    struct Case {
        int axis, size, w, h, expected;
    } cases[] = {
        {2, 100, 640, 480, 270}, {3, 0, 640, 480, 0},   {3, 32, 640, 480, 224}, {2, 643, 640, 480, -1},
        {2, 701, 640, 480, -30}, {1, 100, 640, 480, 0}, {4, 100, 640, 480, 0},
        // Extreme sizes do not overflow.
        {2, -2147483647 - 1, 2147483647, 1, 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jobmodel::CreditTextOffset(c.axis, c.size, c.w, c.h), c.expected) << c.axis << " " << c.size;
}

TEST(CustomRules, CreditTextPlace) {
    // 640 x 480 in a browser 320 wide, measured 25 pixels at 16 points.
    customrules::CreditPlace p = customrules::PlaceCreditText(25, 16, 640, 480, 320);
    EXPECT_EQ(p.x, 270);
    EXPECT_EQ(p.y, 224);
    // An empty text is not centred across, but still down.
    p = customrules::PlaceCreditText(0, 16, 640, 480, 320);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 224);
    // A browser without width counts as 1 pixel: no infinity.
    p = customrules::PlaceCreditText(25, 16, 640, 480, 0);
    EXPECT_EQ(p.y, (480 - 16 * 640) / 2);
}

TEST(CustomRules, FrameZones) {
    struct Case {
        int x, y, zone;
    } cases[] = {{0, 25, 3}, {2, 0, 3}, {3, 25, 0},  {97, 25, 0}, {98, 25, 4}, {99, 0, 4},
                 {50, 0, 1}, {50, 2, 1}, {50, 3, 0}, {50, 48, 2}, {50, 49, 2}, {100, 10, -1},
                 {-1, 10, -1}, {10, 50, -1}};
    for (const Case& c : cases) EXPECT_EQ(customrules::FrameZone(c.x, c.y, 100, 50), c.zone) << c.x << "," << c.y;
}

TEST(CustomRules, FrameResizesStayInsideTheBrowserAndAtLeastTenPixels) {
    struct Case {
        Rect frame;
        int edge, x, y;
        Rect expected;
    } cases[] = {
        {{50, 40, 100, 60}, 1, 20, -8, {50, 32, 100, 68}},   // top up
        {{50, 40, 100, 60}, 1, 20, 8, {50, 48, 100, 52}},    // top down
        {{50, 0, 100, 60}, 1, 20, -8, {50, 0, 100, 60}},     // top at the browser's edge
        {{50, 40, 100, 12}, 1, 20, 30, {50, 42, 100, 10}},   // never below 10
        {{50, 3, 100, 60}, 1, 20, -8, {50, 0, 100, 63}},     // not above the browser
        {{50, 40, 100, 60}, 2, 20, 70, {50, 40, 100, 70}},   // bottom down
        {{50, 40, 100, 60}, 2, 20, 50, {50, 40, 100, 50}},   // bottom up
        {{50, 40, 100, 60}, 2, 20, 500, {50, 40, 100, 200}}, // not below the browser (240 high)
        {{50, 200, 100, 60}, 2, 20, 61, {50, 200, 100, 40}}, // beyond the browser: pulled in
        {{50, 40, 100, 60}, 3, -5, 20, {45, 40, 105, 60}},   // left out
        {{50, 40, 100, 60}, 3, 5, 20, {55, 40, 95, 60}},     // left in
        {{50, 40, 100, 60}, 4, 110, 20, {50, 40, 110, 60}},  // right out
        {{50, 40, 100, 60}, 4, 90, 20, {50, 40, 90, 60}},    // right in
        {{250, 40, 100, 60}, 4, 101, 20, {250, 40, 70, 60}}, // beyond the browser (320 wide)
        {{50, 40, 8, 60}, 4, 20, 20, {50, 40, 10, 60}},      // widened to 10
    };
    for (const Case& c : cases)
        EXPECT_EQ(customrules::ResizeFrame(c.frame, c.edge, c.x, c.y, 320, 240), c.expected)
            << "edge " << c.edge << " at " << c.x << "," << c.y;
}

TEST(CustomRules, FrameMovesStayFivePixelsInsideAnEdgeItCrosses) {
    Rect bounds{0, 0, 320, 240};
    struct Case {
        Rect frame;
        int dx, dy;
        Rect expected;
    } cases[] = {
        {{50, 40, 100, 60}, 10, 20, {60, 60, 100, 60}},
        {{10, 40, 100, 60}, -20, 0, {5, 40, 100, 60}},    // past the left edge
        {{200, 40, 100, 60}, 40, 0, {215, 40, 100, 60}},  // past the right edge
        {{50, 10, 100, 60}, 0, -30, {50, 5, 100, 60}},    // past the top
        {{50, 170, 100, 60}, 0, 30, {50, 175, 100, 60}},  // past the bottom
    };
    for (const Case& c : cases)
        EXPECT_EQ(customrules::MoveFrame(c.frame, c.dx, c.dy, bounds), c.expected) << c.dx << "," << c.dy;
}

}  // namespace
