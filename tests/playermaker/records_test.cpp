// The exported records: creation, ownership and freeing (leaks and double frees are caught
// by the sanitizers), the media bound, colour packing.
#include <gtest/gtest.h>

#include "playermaker/morvbrindle.h"

namespace {

TEST(Records, FreshGroupIsEmptyAndFreesToNull) {
    KbnUIGroupOption* group = nullptr;
    KbnUIGroupOption* returned = createKbnUIGroupOption(&group);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(returned, group);
    EXPECT_EQ(group->mediaCount, 0);
    EXPECT_EQ(group->isPreview, 0);
    EXPECT_EQ(group->generate, nullptr);
    EXPECT_EQ(group->player, nullptr);
    EXPECT_EQ(group->overlay, nullptr);
    EXPECT_EQ(group->headCredit, nullptr);
    EXPECT_EQ(group->tailCredit, nullptr);
    for (auto* m : group->media) EXPECT_EQ(m, nullptr);
    EXPECT_EQ(group->outputPath[0], '\0');
    freeKbnUIGroupOption(&group);
    EXPECT_EQ(group, nullptr);
}

TEST(Records, MediaAreAppendedInOrderWithBackPointer) {
    KbnUIGroupOption* group = nullptr;
    createKbnUIGroupOption(&group);
    KbnUIMediaOption* made[3] = {};
    for (auto& m : made) {
        KbnUIMediaOption* returned = createKbnUIMediaOption(group, &m);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(returned, m);
        EXPECT_EQ(m->group, group);
        EXPECT_EQ(m->flvPath[0], '\0');
    }
    EXPECT_EQ(group->mediaCount, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(group->media[i], made[i]);
    EXPECT_EQ(group->media[3], nullptr);
    freeKbnUIGroupOption(&group);
}

TEST(Records, MediaBeyondTheBoundAreRefused) {
    KbnUIGroupOption* group = nullptr;
    createKbnUIGroupOption(&group);
    for (int i = 0; i < KBN_MAX_MEDIA; ++i) ASSERT_NE(createKbnUIMediaOption(group, nullptr), nullptr) << i;
    KbnUIMediaOption* extra = reinterpret_cast<KbnUIMediaOption*>(0x1);
    EXPECT_EQ(createKbnUIMediaOption(group, &extra), nullptr);
    EXPECT_EQ(extra, nullptr);
    EXPECT_EQ(group->mediaCount, KBN_MAX_MEDIA);
    // The fields after the array are untouched.
    EXPECT_EQ(group->overlay, nullptr);
    EXPECT_EQ(group->headCredit, nullptr);

    KbnUIMediaOption* none = reinterpret_cast<KbnUIMediaOption*>(0x1);
    EXPECT_EQ(createKbnUIMediaOption(nullptr, &none), nullptr);
    EXPECT_EQ(none, nullptr);
    freeKbnUIGroupOption(&group);
}

// Every attachment pattern frees without leaks or double frees; the sanitizers judge.
TEST(Records, GroupFreesEveryAttachedRecord) {
    struct Case {
        bool generate, player, overlay, head, tail;
        int media;
    };
    const Case cases[] = {
        {true, true, true, true, true, 2},
        {true, true, false, false, false, 1},
        {false, false, false, true, false, 0},
        {false, true, true, false, true, KBN_MAX_MEDIA},
    };
    for (const Case& c : cases) {
        KbnUIGroupOption* group = nullptr;
        createKbnUIGroupOption(&group);
        if (c.generate) {
            EXPECT_NE(createKbnUIGenerateOption(&group->generate), nullptr);
        }
        if (c.player) {
            EXPECT_NE(createKbnUIPlayerOption(&group->player), nullptr);
        }
        if (c.overlay) {
            EXPECT_NE(createKbnUIOverlayADOption(&group->overlay), nullptr);
        }
        if (c.head) {
            EXPECT_NE(createKbnUIInsertAdOption(&group->headCredit), nullptr);
        }
        if (c.tail) {
            EXPECT_NE(createKbnUIInsertAdOption(&group->tailCredit), nullptr);
        }
        for (int i = 0; i < c.media; ++i) createKbnUIMediaOption(group, nullptr);
        freeKbnUIGroupOption(&group);
        EXPECT_EQ(group, nullptr);
    }
}

TEST(Records, SingleFreesAcceptNullAndNullTheCaller) {
    freeKbnUIGroupOption(nullptr);
    KbnUIGroupOption* noGroup = nullptr;
    freeKbnUIGroupOption(&noGroup);

    KbnUIGenerateOption* generate = nullptr;
    KbnUIPlayerOption* player = nullptr;
    KbnUIMediaOption* media = nullptr;
    KbnUIOverlayADOption* overlay = nullptr;
    KbnUIInsertAdOption* credit = nullptr;
    freeKbnUIGenerateOption(&generate);
    freeKbnUIGenerateOption(nullptr);
    createKbnUIGenerateOption(&generate);
    createKbnUIPlayerOption(&player);
    createKbnUIOverlayADOption(&overlay);
    createKbnUIInsertAdOption(&credit);
    KbnUIGroupOption* group = nullptr;
    createKbnUIGroupOption(&group);
    createKbnUIMediaOption(group, &media);
    group->media[0] = nullptr;  // detach before freeing it alone
    group->mediaCount = 0;
    freeKbnUIGenerateOption(&generate);
    freeKbnUIPlayerOption(&player);
    freeKbnUIMediaOption(&media);
    freeKbnUIOverlayADOption(&overlay);
    freeKbnUIInsertAdOption(&credit);
    EXPECT_EQ(generate, nullptr);
    EXPECT_EQ(player, nullptr);
    EXPECT_EQ(media, nullptr);
    EXPECT_EQ(overlay, nullptr);
    EXPECT_EQ(credit, nullptr);
    freeKbnUIGroupOption(&group);
}

TEST(Records, ColourPacking) {
    struct Case {
        int r, g, b, packed;
    };
    const Case cases[] = {
        {511, 128, 1, 0xFF8001},  // only the low 8 bits of each component count
        {0x12, 0x34, 0x56, 0x123456},
        {-1, 0, 256, 0xFF0000},
    };
    for (const Case& c : cases) {
        int stored = 0;
        EXPECT_EQ(RGBToInt(&stored, c.r, c.g, c.b), c.packed);
        EXPECT_EQ(stored, c.packed);
        int r = -1, g = -1, b = -1;
        EXPECT_EQ(IntToRGB(c.packed, &r, &g, &b), c.b & 0xFF);
        EXPECT_EQ(r, c.r & 0xFF);
        EXPECT_EQ(g, c.g & 0xFF);
        EXPECT_EQ(b, c.b & 0xFF);
    }
    EXPECT_EQ(RGBToInt(nullptr, 1, 2, 3), 0x010203);
    EXPECT_EQ(IntToRGB(0x0A0B0C, nullptr, nullptr, nullptr), 0x0C);
}

}  // namespace
