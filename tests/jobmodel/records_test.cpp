#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "jobmodel/customsetting.h"
#include "jobmodel/mediaitem.h"

namespace jobmodel {

namespace {

TEST(FormatSeconds, RoundsUpAndKeepsLongHours) {
    const struct {
        float seconds;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},      {59.2f, "00:01:00"},     {59, "00:00:59"},    {3600, "01:00:00"},
        {3599.5f, "01:00:00"}, {360000, "100:00:00"},  {61, "00:01:01"},    {-3, "00:00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatSeconds(c.seconds), c.text) << c.seconds;
}

TEST(SetItemRow, CutsEachColumnAndKeepsColumnsApart) {
    ItemRow row{};
    std::memset(&row, 'z', sizeof row);  // stale content everywhere
    std::string longName(40, 'a');
    std::string longDest(60, 'd');
    SetItemRow(row, longName.c_str(), "00:01:00", nullptr, longDest.c_str(), 2, 0);
    EXPECT_EQ(std::string(row.source), std::string(30, 'a'));
    EXPECT_STREQ(row.originalLength, "00:01:00");  // not run into the source column
    EXPECT_STREQ(row.trimmedLength, "");           // not given: empty
    EXPECT_EQ(std::string(row.destination), std::string(50, 'd'));
    EXPECT_EQ(row.checkType, 2);
    EXPECT_EQ(row.checkState, 0);

    // A cut never splits a character.
    std::string accented = std::string(29, 'a') + "\xC3\xA9";
    SetItemRow(row, accented.c_str(), nullptr, nullptr, nullptr, 0, 0);
    EXPECT_EQ(std::string(row.source), std::string(29, 'a'));
}

TEST(CustomSetting, FreshRecordHasEveryDefault) {
    CustomSetting cs;
    std::memset(&cs, 0x5A, sizeof cs);
    InitCustomSetting(cs);
    EXPECT_EQ(cs.IsCustom, 1);
    EXPECT_EQ(cs.IssettingCustom, 0);
    EXPECT_EQ(cs.IsGeneralFlv, 1);
    EXPECT_EQ(cs.IsGeneralSwf, 1);
    EXPECT_EQ(cs.IsGeneralHtml, 1);
    EXPECT_EQ(cs.IsGeneralThumbnail, 1);
    EXPECT_EQ(cs.SwfType, stProgressive);
    EXPECT_STREQ(cs.PlayerSkinPath, "Christmas_h40");
    EXPECT_STREQ(cs.EffectSkinPath, "None");
    EXPECT_STREQ(cs.PreloaderSkinPath, "None");
    EXPECT_EQ(cs.BackgrounColor.r + cs.BackgrounColor.g + cs.BackgrounColor.b, 0);
    EXPECT_EQ(cs.IsMouseAutoHide, 1);
    EXPECT_EQ(cs.IsSkinAutoHide, 1);
    EXPECT_EQ(cs.IsSliderAutoHide, 1);
    EXPECT_EQ(cs.hideDelay, 5);
    EXPECT_EQ(cs.IsHidePreNextBtn, 1);
    for (auto flag : {cs.IsAutoPlay, cs.IsHideAll, cs.IsHideMuteBtn, cs.IsHideFullscreenBtn, cs.IsHidePlaylistBtn,
                      cs.IsHidePlayingprocessBar, cs.IsHideVolumeBar, cs.IsHidePlayingTime, cs.IsHidePlayList})
        EXPECT_EQ(flag, 0);
    for (const char* font : {cs.Head_fontType, cs.Tail_fontType, cs.Dec_fontType}) EXPECT_STREQ(font, "MS Serif");
    EXPECT_EQ(cs.Head_fontSize, 8);
    EXPECT_EQ(cs.Tail_fontSize, 8);
    EXPECT_EQ(cs.Dec_fontSize, 8);
    EXPECT_EQ(cs.Head_fontColor.r, 255);
    EXPECT_EQ(cs.Tail_fontColor.b, 255);
    EXPECT_EQ(cs.Dec_fontColor.g, 255);
    EXPECT_EQ(cs.Head_duration, 1);
    EXPECT_EQ(cs.Tail_duration, 1);
    EXPECT_EQ(cs.IsCreditHead, 0);
    EXPECT_EQ(cs.IsDecorate, 0);
    EXPECT_EQ(cs.FileType, okNone);
    EXPECT_STREQ(cs.Dec_URL, "http://");
    EXPECT_EQ(cs.dscale, 1.0);
    EXPECT_EQ(cs.dscale_X, 1.0);
    EXPECT_EQ(cs.dscale_Y, 1.0);
    EXPECT_EQ(cs.FrameRate, 0.0f);
    EXPECT_EQ(cs.Width, 0);
    EXPECT_STREQ(cs.ProfileName, "");
    // Texts are zero over their whole width, past the default text too.
    EXPECT_EQ(cs.PlayerSkinPath[sizeof cs.PlayerSkinPath - 1], 0);
    EXPECT_EQ(cs.ProfileName[100], 0);
}

// Every field of the table is a distinct, non-overlapping part of the record, and the
// registry's 78 values come first.
TEST(CustomSetting, FieldTableCoversTheRecord) {
    auto fields = CustomSettingFields();
    size_t stored = 0, covered = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].stored) {
            EXPECT_EQ(i, stored) << fields[i].name;
            ++stored;
        }
        covered += fields[i].width;
        for (size_t k = i + 1; k < fields.size(); ++k) {
            bool apart = fields[i].offset + fields[i].width <= fields[k].offset ||
                         fields[k].offset + fields[k].width <= fields[i].offset;
            EXPECT_TRUE(apart) << fields[i].name << " overlaps " << fields[k].name;
        }
    }
    EXPECT_EQ(stored, 78u);
    EXPECT_EQ(fields.size(), 81u);
    EXPECT_LE(covered, sizeof(CustomSetting));
    EXPECT_GE(covered + 64, sizeof(CustomSetting));  // only padding is left over
}

// Gives every field a value different from its default.
void FillDistinct(CustomSetting& cs) {
    InitCustomSetting(cs);
    auto* base = reinterpret_cast<unsigned char*>(&cs);
    int n = 3;
    for (const auto& f : CustomSettingFields()) {
        unsigned char* p = base + f.offset;
        ++n;
        switch (f.kind) {
        case FieldKind::ByteFlag: *p = static_cast<unsigned char>(*p == 0 ? 1 : 0); break;
        case FieldKind::Integer: { std::int32_t v = 1000 + n; std::memcpy(p, &v, 4); break; }
        case FieldKind::Float64: { double v = 0.25 * n + 0.1; std::memcpy(p, &v, 8); break; }
        case FieldKind::Float32: { float v = 29.97f; std::memcpy(p, &v, 4); break; }
        case FieldKind::Colour: { RGBColor v{n % 256, (n * 7) % 256, (n * 13) % 256}; std::memcpy(p, &v, sizeof v); break; }
        case FieldKind::Text: std::snprintf(reinterpret_cast<char*>(p), f.width, "%s-%d", f.name, n); break;
        }
    }
}

TEST(CustomSetting, CopyMatchesEveryFieldAndLeavesNoStaleText) {
    MediaItem item{};
    item.customSetting = NewCustomSetting();
    FillDistinct(*item.customSetting);

    CustomSetting dest;
    InitCustomSetting(dest);
    std::memset(dest.Dec_URL, 'x', sizeof dest.Dec_URL - 1);  // longer old text
    CopyItemCustomSetting(dest, item);

    const auto* a = reinterpret_cast<const unsigned char*>(&dest);
    const auto* b = reinterpret_cast<const unsigned char*>(item.customSetting);
    for (const auto& f : CustomSettingFields()) {
        EXPECT_EQ(std::memcmp(a + f.offset, b + f.offset, f.width), 0) << f.name;
    }
    EXPECT_EQ(dest.Dec_URL[sizeof dest.Dec_URL - 2], 0);
    ReleaseMediaItem(item);
}

TEST(MediaItem, InitGivesFreshSubRecordsAndKeepsIdentity) {
    MediaItem item{};
    item.kind = mkFile;
    item.segmentCounter = 1;
    std::strcpy(item.name, "movie");
    item.row.checkType = 2;
    InitMediaItem(item);
    ASSERT_NE(item.timeRange, nullptr);
    EXPECT_EQ(item.timeRange->end, 0);
    EXPECT_STREQ(item.crop->aspect, "original");
    EXPECT_EQ(item.effect->volume, 255);
    EXPECT_EQ(item.effect->effect, ekNone);
    EXPECT_EQ(item.customSetting, nullptr);
    EXPECT_EQ(item.mediaInfo, nullptr);
    EXPECT_STREQ(item.name, "movie");
    EXPECT_EQ(item.segmentCounter, 1);
    EXPECT_EQ(item.row.checkType, 2);

    // Made again: the old records are let go of, not leaked (LeakSanitizer checks).
    item.mediaInfo = NewMediaInfo();
    InitMediaItem(item);
    EXPECT_EQ(item.mediaInfo, nullptr);
    ReleaseMediaItem(item);
    EXPECT_EQ(item.timeRange, nullptr);
}

// A group member shares crop, effect and media information with its source row; a DVD
// row of the job list shares all five with its row in the DVD list. Whatever order the
// rows are released in, each record stays usable while referred to and is freed once.
TEST(MediaItem, SharedRecordsLiveUntilTheLastRowLetsGo) {
    for (int order = 0; order < 2; ++order) {
        SCOPED_TRACE(order);
        MediaItem source{};
        InitMediaItem(source);
        source.customSetting = NewCustomSetting();
        source.mediaInfo = NewMediaInfo();
        source.crop->top = 8;

        MediaItem member{};
        InitMediaItem(member);
        Drop(member.crop);
        Drop(member.effect);
        member.crop = Share(source.crop);
        member.effect = Share(source.effect);
        member.mediaInfo = Share(source.mediaInfo);
        EXPECT_EQ(ShareCount(source.crop), 2);

        MediaItem& first = order == 0 ? member : source;
        MediaItem& second = order == 0 ? source : member;
        CropSetting* crop = second.crop;
        ReleaseMediaItem(first);
        EXPECT_EQ(ShareCount(crop), 1);
        EXPECT_EQ(crop->top, 8);  // still usable (AddressSanitizer would see a freed read)
        crop->top = 9;
        ReleaseMediaItem(second);
    }
}

TEST(MediaItem, CopyOwnsNewRecords) {
    MediaItem source{};
    InitMediaItem(source);
    source.customSetting = NewCustomSetting();
    source.mediaInfo = NewMediaInfo();
    std::strcpy(source.mediaInfo->path, "/videos/a.mpg");
    source.kind = mkSegment;
    source.imageIndex = 1;
    source.segmentCounter = 4;
    source.timeRange->start = 10;
    source.timeRange->end = 20;
    source.crop->left = 4;
    std::strcpy(source.name, "clip");
    SetItemRow(source.row, "clip", "00:00:10", "00:00:10", "clip.flv", 1, 2);

    MediaItem copy{};
    CopyMediaItem(copy, source);
    EXPECT_EQ(copy.kind, mkSegment);
    EXPECT_EQ(copy.imageIndex, 1);
    EXPECT_EQ(copy.segmentCounter, 0);  // not copied
    EXPECT_EQ(copy.row.checkType, 0);   // not copied
    EXPECT_STREQ(copy.row.destination, "clip.flv");
    EXPECT_STREQ(copy.mediaInfo->path, "/videos/a.mpg");
    EXPECT_EQ(copy.timeRange->end, 20);
    EXPECT_NE(copy.crop, source.crop);
    EXPECT_EQ(ShareCount(copy.crop), 1);
    copy.crop->left = 99;
    EXPECT_EQ(source.crop->left, 4);
    ReleaseMediaItem(copy);
    ReleaseMediaItem(source);
}

}  // namespace

}  // namespace jobmodel
