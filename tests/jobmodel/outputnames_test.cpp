#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "jobmodel/convertstate.h"
#include "jobmodel/outputnames.h"
#include "libs/morvmessage/morvmessage.h"
#include "platform/core/clock.h"
#include "support/tempdir.h"

namespace jobmodel {

namespace {

namespace fs = std::filesystem;

struct Row {
    MediaItem item{};
    Row(const char* name, const char* destination) {
        InitMediaItem(item);
        item.customSetting = NewCustomSetting();
        std::strcpy(item.customSetting->FileExtension, "flv");
        std::strcpy(item.name, name);
        SetItemRow(item.row, name, nullptr, nullptr, destination, 2, 2);
    }
    ~Row() { ReleaseMediaItem(item); }
};

void FreeTexts(GroupMediaUIOption& g) {
    for (char* p : {g.formatName, g.videoEncoder, g.frameSize, g.audioEncoder}) std::free(p);
}

// 9 February 2010, 08:05:03 on a virtual clock.
struct FixedClock {
    platform::TVirtualClock clock;
    platform::TScopedClock scope{clock};
    FixedClock() {
        platform::SYSTEMTIME t;
        t.wYear = 2010, t.wMonth = 2, t.wDay = 9, t.wHour = 8, t.wMinute = 5, t.wSecond = 3;
        clock.SetLocalTime(t);
    }
};

TEST(OutputNames, JobNamesAndTimeText) {
    const struct {
        const char* name;
        const char* destination;
        const char* job;
    } cases[] = {
        {"item", "My.Clip.flv", "My"},
        {"item", "Plain", "Plain"},
        {"item", ".flv", "item"},  // nothing before the dot: the item name
        {"item", "", "item"},
    };
    for (const auto& c : cases) {
        Row row(c.name, c.destination);
        EXPECT_EQ(JobName(row.item), c.job) << c.destination;
    }
    FixedClock clock;
    EXPECT_EQ(TimeText(), "2010-2-9-8-5-3");
    EXPECT_EQ(BasePath("/out/a.b/My.flv"), "/out/a.b/My");
    EXPECT_EQ(ThumbnailPath("/out/My.flv"), "/out/My.jpg");
    EXPECT_EQ(PagePath("/out/job/", "My"), "/out/job/My.html");
}

// Two rows of the same name in the same second get two folders; names already taken in
// a folder get "(n)" with the item name.
TEST(OutputNames, FoldersAndOutputsAreNeverReused) {
    testsupport::TempDir dir;
    FixedClock clock;
    ConvertOutputDir = dir.str() + "/";
    Row row("Item", "Name.flv");

    GroupMediaUIOption first{}, second{};
    ASSERT_EQ(PrepareGroupOutput(row.item, first), 0);
    EXPECT_EQ(ConvertJobDir, dir.str() + "/Name-2010-2-9-8-5-3/");
    EXPECT_EQ(std::string(first.outputPath), ConvertJobDir + "Name.flv");
    std::ofstream(first.outputPath) << "x";
    ASSERT_EQ(PrepareGroupOutput(row.item, second), 0);
    EXPECT_EQ(ConvertJobDir, dir.str() + "/Name-2010-2-9-8-5-3(1)/");
    EXPECT_TRUE(fs::is_directory(ConvertJobDir));

    std::ofstream(ConvertJobDir + "Name.flv") << "x";
    std::ofstream(ConvertJobDir + "Item(1).flv") << "x";
    EXPECT_EQ(UniqueOutputPath(row.item, ConvertJobDir + "Name.flv"), ConvertJobDir + "Item(2).flv");
    EXPECT_EQ(UniqueOutputPath(row.item, ConvertJobDir + "Other.flv"), ConvertJobDir + "Other.flv");
    FreeTexts(first);
    FreeTexts(second);
}

// Names given by the user become one component of a path: the job folder, the output, a
// renamed output and the page all stay where they belong, and none is hidden.
TEST(OutputNames, NamesNeverLeaveTheirFolder) {
    testsupport::TempDir dir;
    FixedClock clock;
    ConvertOutputDir = dir.str() + "/";
    const struct {
        const char* name;
        const char* destination;
    } cases[] = {{"../../x", "../../x.flv"}, {"a/b", "a/b.flv"}, {"..", "/etc/passwd"}, {".hidden", ".hidden"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Row row(c.name, c.destination);
        GroupMediaUIOption group{};
        ASSERT_EQ(PrepareGroupOutput(row.item, group), 0);
        const fs::path folder = fs::path(ConvertJobDir).parent_path();
        EXPECT_EQ(folder.parent_path(), dir.path());
        std::ofstream(group.outputPath) << "x";
        for (const fs::path& p : {fs::path(group.outputPath), fs::path(UniqueOutputPath(row.item, group.outputPath)),
                                  fs::path(PagePath(ConvertJobDir, JobName(row.item)))}) {
            EXPECT_EQ(p.parent_path(), folder) << p;
            EXPECT_NE(p.filename().string().front(), '.') << p;
        }
        EXPECT_NE(folder.filename().string().front(), '.');
        FreeTexts(group);
    }
    EXPECT_EQ(PathPart("../../x"), "_._.._x");
    EXPECT_EQ(PathPart("My Clip"), "My Clip");
}

TEST(OutputNames, GroupValuesComeFromTheOptionRecord) {
    testsupport::TempDir dir;
    ConvertOutputDir = dir.str() + "/";
    Row row("Item", "Clip.flv");
    CustomSetting& cs = *row.item.customSetting;
    std::strcpy(cs.FormatName, "flv");
    cs.FormatNumber = 1;
    std::strcpy(cs.VideoEncoder, "flv");
    std::strcpy(cs.AudioEncoder, "libmp3lame");
    cs.VideoBitRate = 512, cs.AudioBitrate = 64, cs.Channel = 2, cs.SimpleRate = 44100;
    cs.Width = 320, cs.Height = 240, cs.FrameRate = 29.97f;
    row.item.effect->volume = 300;

    GroupMediaUIOption g{};
    ASSERT_EQ(PrepareGroupOutput(row.item, g), 0);
    EXPECT_STREQ(g.frameSize, "320x240");
    EXPECT_STREQ(g.formatName, "flv");
    EXPECT_STREQ(g.videoEncoder, "flv");
    EXPECT_STREQ(g.audioEncoder, "libmp3lame");
    EXPECT_EQ(g.videoBitrate, 512);
    EXPECT_EQ(g.audioSampleRate, 44100);
    EXPECT_EQ(g.audioChannels, 2);
    EXPECT_FLOAT_EQ(g.frameRate, 29.97f);
    EXPECT_EQ(g.volume, 300);
    EXPECT_EQ(g.prepared, 1);
    EXPECT_EQ(g.formatNumber, 1);
    // Filling again replaces the texts without leaking them.
    FillConvertGroupOption(cs, g);
    FreeTexts(g);
}

TEST(OutputNames, AFolderThatCannotBeMadeSetsNothing) {
    testsupport::TempDir dir;
    Row row("Item", "");
    std::string longName = std::string(300, 'n') + ".flv";  // longer than a file name may be
    std::memcpy(row.item.row.destination, longName.c_str(), longName.size() + 1);
    const std::string outputs[] = {dir.str() + "/missing/", dir.str() + "/"};
    for (const std::string& out : outputs) {
        ConvertOutputDir = out;
        GroupMediaUIOption g{};
        // No parent folder, or a name longer than a file name may be.
        EXPECT_EQ(PrepareGroupOutput(row.item, g), prJobFolderFailed) << out;
        EXPECT_EQ(g.prepared, 0);
        EXPECT_EQ(g.outputPath[0], 0);
        EXPECT_EQ(g.formatName, nullptr);
        EXPECT_TRUE(ConvertJobDir.empty());
    }
}

TEST(OutputNames, ChapterInputTakesTrimCropEffectAndStreams) {
    testsupport::TempDir dir;
    ConvertOutputDir = dir.str() + "/";
    Row row("Chapter 1", "Title1.flv");
    row.item.timeRange->start = 100;
    row.item.timeRange->end = 300;
    row.item.crop->left = 8;
    std::strcpy(row.item.crop->aspect, "16:9");
    row.item.effect->effect = ekGray;
    row.item.effect->horizontalFlip = 1;
    row.item.audioId = 1;
    row.item.subtitleId = -1;
    row.item.mediaInfo = NewMediaInfo();
    row.item.mediaInfo->durationSeconds = 420;

    for (bool useTrim : {true, false}) {
        GroupMediaUIOption g{};
        MediaUIOption in{};
        ASSERT_EQ(PrepareChapterOutput(row.item, g, in, false, useTrim), 0);
        EXPECT_EQ(in.trimStart, useTrim ? 100 : 0);
        EXPECT_EQ(in.trimLength, useTrim ? 200 : 420);
        EXPECT_EQ(in.cropLeft, 8);
        EXPECT_STREQ(in.aspect, "16:9");
        EXPECT_EQ(in.effect, ekGray);
        EXPECT_EQ(in.horizontalFlip, 1);
        EXPECT_EQ(in.audioId, 1);
        EXPECT_EQ(in.subtitleId, -1);
        std::free(in.aspect);
        FreeTexts(g);
    }
    // keepFolder: the current job folder, no new one.
    std::string folder = ConvertJobDir;
    GroupMediaUIOption g{};
    MediaUIOption in{};
    ASSERT_EQ(PrepareChapterOutput(row.item, g, in, true, true), 0);
    EXPECT_EQ(ConvertJobDir, folder);
    EXPECT_EQ(std::string(g.outputPath).rfind(folder, 0), 0u);
    std::free(in.aspect);
    FreeTexts(g);
}

}  // namespace

}  // namespace jobmodel
