// The prepare step: records checked, then adjusted in place.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "playermaker/prepare.h"

namespace {

using namespace morvbrindle;

TEST(Prepare, ControlBarHeightFromSkinName) {
    struct Case {
        const char* skin;
        float current, height;
    };
    const Case cases[] = {
        {"Christmas_h40.swf", 0, 40},
        {"Blue_h30_h40.swf", 0, 30},  // the leftmost "_h" part wins
        {"Classic.swf", 0, 0},
        {"Classic.swf", 7, 7},        // no "_h" part: the caller's value stays
        {"Plain_hx.swf", 9, 0},       // "h" without digits
        {"h40.swf", 0, 0},            // the first part is a name, not a height
        {"a_h12x_b.swf", 0, 12},
        {"a.b_h5.swf", 0, 5},
        {"noext_h25", 0, 25},
        {"Dark_hint_h40.swf", 0, 0},  // "hint" begins with "h" and has no digits, and is left of h40
        {"", 3, 3},
        {"x_h99999999999999.swf", 0, static_cast<float>(INT_MAX)},
    };
    for (const Case& c : cases) EXPECT_EQ(ControlBarHeightFromSkin(c.skin, c.current), c.height) << c.skin;
}

struct Fixture {
    KbnUIGroupOption group{};
    KbnUIGenerateOption generate{};
    KbnUIPlayerOption player{};
    KbnUIMediaOption media{};
    KbnUIOverlayADOption overlay{};
    KbnUIInsertAdOption head{}, tail{};

    Fixture(int width, int height, bool preview) {
        std::strcpy(group.outputPath, "/tmp/out.swf");
        group.generate = &generate;
        group.player = &player;
        group.media[0] = &media;
        group.mediaCount = 1;
        group.isPreview = preview;
        generate.swfType = stEmbedded;
        player.width = width;
        player.height = height;
        player.frameRate = 25;
        std::strcpy(player.skinFile, "Christmas_h40.swf");
    }
    void AttachAll() {
        group.overlay = &overlay;
        group.headCredit = &head;
        group.tailCredit = &tail;
    }
};

TEST(Prepare, PreviewFitting) {
    struct Case {
        int width, height;
        bool preview;
        int fittedWidth, fittedHeight;
        float scale;
        int creditX, creditSize;  // from x 100 and size 20
        int overlayX, overlayW;   // from x 100 and width 333
    };
    const Case cases[] = {
        {640, 480, true, 340, 255, 0.53125f, 53, 7, 53, 176},
        {160, 120, true, 340, 255, 2.125f, 212, 31, 212, 707},
        {340, 255, true, 340, 255, 1.0f, 100, 15, 100, 333},
        {640, 480, false, 640, 480, 1.0f, 100, 15, 100, 333},
        // f = 2.55 in double is just below 2.55, in single precision just below too but the
        // product rounds up: the player gets 254, the decoration 255.
        {100, 100, true, 254, 254, 2.55f, 255, 38, 255, 849},
    };
    for (const Case& c : cases) {
        Fixture fx(c.width, c.height, c.preview);
        fx.AttachAll();
        fx.head.x = fx.overlay.x = 100;
        fx.head.fontSize = fx.tail.fontSize = fx.overlay.fontSize = 20;
        fx.overlay.width = 333;
        ASSERT_EQ(CheckOptions(fx.group), 0);
        PrepareOptions(fx.group);
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height);
        EXPECT_EQ(fx.player.width, c.fittedWidth) << name;
        EXPECT_EQ(fx.player.height, c.fittedHeight) << name;
        EXPECT_EQ(fx.player.scale, c.scale) << name;
        EXPECT_EQ(fx.player.controlBarHeight, 40.0f) << name;
        EXPECT_EQ(fx.head.x, c.creditX) << name;
        EXPECT_EQ(fx.head.fontSize, c.creditSize) << name;
        EXPECT_EQ(fx.tail.fontSize, c.creditSize) << name;
        EXPECT_EQ(fx.overlay.x, c.overlayX) << name;
        EXPECT_EQ(fx.overlay.width, c.overlayW) << name;
        EXPECT_EQ(fx.overlay.fontSize, c.creditSize) << name;
    }
}

TEST(Prepare, AbsentRecordsAndOddValuesAreSafe) {
    Fixture fx(640, 480, true);
    PrepareOptions(fx.group);  // no overlay, no credits
    EXPECT_EQ(fx.player.width, 340);

    Fixture big(1, 1, true);
    big.AttachAll();
    big.overlay.x = INT_MAX;
    big.head.fontSize = INT_MIN;
    PrepareOptions(big.group);
    EXPECT_EQ(big.player.width, 255);
    EXPECT_EQ(big.overlay.x, INT_MAX);  // saturated, not undefined
    EXPECT_EQ(big.head.fontSize, INT_MIN);

    Fixture neg(320, 240, false);
    neg.AttachAll();
    neg.overlay.fontSize = -7;
    PrepareOptions(neg.group);
    EXPECT_EQ(neg.overlay.fontSize, -5);  // truncated toward zero
}

TEST(Prepare, RecordsThatCannotMakeAPlayerAreRefused) {
    struct Case {
        const char* name;
        void (*change)(Fixture&);
    };
    const Case cases[] = {
        {"no generate record", [](Fixture& f) { f.group.generate = nullptr; }},
        {"no player record", [](Fixture& f) { f.group.player = nullptr; }},
        {"empty output path", [](Fixture& f) { f.group.outputPath[0] = '\0'; }},
        {"width 0 in a preview", [](Fixture& f) { f.player.width = 0; }},
        {"negative height in a preview", [](Fixture& f) { f.player.height = -240; }},
        {"width 0", [](Fixture& f) { f.group.isPreview = 0; f.player.width = 0; }},
        {"frame rate 0", [](Fixture& f) { f.player.frameRate = 0; }},
        {"frame rate NaN", [](Fixture& f) { f.player.frameRate = std::nanf(""); }},
        {"frame rate too high", [](Fixture& f) { f.player.frameRate = 300; }},
        {"embedded without media", [](Fixture& f) { f.group.mediaCount = 0; f.group.media[0] = nullptr; }},
    };
    for (const Case& c : cases) {
        Fixture fx(320, 240, true);
        c.change(fx);
        EXPECT_EQ(CheckOptions(fx.group), kbnErrBadOptions) << c.name;
    }
    Fixture progressive(320, 240, false);
    progressive.generate.swfType = stProgressive;
    progressive.group.mediaCount = 0;
    progressive.group.media[0] = nullptr;
    EXPECT_EQ(CheckOptions(progressive.group), 0);
}

}  // namespace
