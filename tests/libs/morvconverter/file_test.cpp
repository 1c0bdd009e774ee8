// Conversions of small files, checked by ffprobe and the ffmpeg command line.
#include <atomic>
#include <chrono>
#include <clocale>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "morvconverter/media_check.h"
#include "support/tempdir.h"

using namespace convtest;
namespace fs = std::filesystem;

namespace {

class FileConversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TempDir;
        // 2 s, 48 kHz sound: the FLV rates are never the source's.
        ASSERT_EQ(MakeClip(Clip(), 2.0, "320x240", "25", {440}, 48000), "");
        ASSERT_EQ(MakeClip(Clip2(), 1.0, "640x360", "30", {880}, 32000), "");
    }
    static void TearDownTestSuite() { delete dir_; }
    static fs::path Clip() { return dir_->path() / "clip.mp4"; }
    static fs::path Clip2() { return dir_->path() / "clip2.mkv"; }
    fs::path Out(const std::string& name) const { return tmp_.path() / name; }

    static testsupport::TempDir* dir_;
    testsupport::TempDir tmp_;
};
testsupport::TempDir* FileConversion::dir_ = nullptr;

TEST_F(FileConversion, FlvCarriesSorensonVideoAndMp3AtAFlashRate) {
    struct Case {
        int askedRate, channels;
        const char* size;
        float fps;
        const char* expectRate;
    } cases[] = {
        {44100, 2, "320x240", 25, "44100"},
        {22050, 1, "176x144", 15, "22050"},
        {11025, 2, "240x180", 12, "11025"},
        {48000, 2, "320x240", 29.97f, "44100"},  // not a Flash rate: the nearest that is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.askedRate);
        Group g;
        g.AddFile(Clip());
        Output o;
        o.sampleRate = c.askedRate;
        o.channels = c.channels;
        o.size = c.size;
        o.frameRate = c.fps;
        fs::path out = Out("out.flv");
        SetOutput(g.g, o, out);
        ASSERT_EQ(g.Convert(), 0);
        auto p = Probe(out);
        EXPECT_EQ(p["v.codec"], "flv1");
        EXPECT_EQ(p["v.width"] + "x" + p["v.height"], c.size);
        EXPECT_EQ(p["v.rate"], c.fps == 25 ? "25/1" : c.fps == 15 ? "15/1" : c.fps == 12 ? "12/1" : "30000/1001");
        EXPECT_EQ(p["a.codec"], "mp3");
        EXPECT_EQ(p["a.sample_rate"], c.expectRate);
        EXPECT_EQ(p["a.channels"], std::to_string(c.channels));
        EXPECT_NEAR(Seconds(p), 2.0, 0.5);
        EXPECT_EQ(PartFiles(tmp_.path()), 0);
    }
}

TEST_F(FileConversion, TrimAndMergeGiveTheirLengths) {
    {
        Group g;
        MediaUIOption* in = g.AddFile(Clip());
        in->trimStart = 1;
        in->trimLength = 1;
        Output o;
        o.format = "mp4", o.video = "mpeg4", o.videoBitrate = 4000;  // exact time stamps
        SetOutput(g.g, o, Out("trim.mp4"));
        ASSERT_EQ(g.Convert(), 0);
        EXPECT_NEAR(Seconds(Probe(Out("trim.mp4"))), 1.0, 0.5);
        // The trimmed part starts at second 1 of the moving test picture.
        auto first = Picture(Out("trim.mp4"), 0.0, "", 320, 240);
        EXPECT_GT(Psnr(first, Picture(Clip(), 1.0, "", 320, 240)), 35.0);
        EXPECT_LT(Psnr(first, Picture(Clip(), 0.0, "", 320, 240)), 30.0);
    }
    {
        // Two sources of other sizes, rates and sound rates become one output.
        Group g;
        g.AddFile(Clip());
        MediaUIOption* second = g.AddFile(Clip2());
        second->effect = 1;
        SetOutput(g.g, Output{}, Out("merge.flv"));
        ASSERT_EQ(g.Convert(), 0);
        auto p = Probe(Out("merge.flv"));
        EXPECT_NEAR(Seconds(p), 3.0, 0.5);
        EXPECT_EQ(p["v.width"], "320");
        // The sound keeps step with the picture: the second source's tone plays after 2 s.
        EXPECT_NEAR(Tone(Out("merge.flv"), 0.3, 1.4), 440, 40);
        EXPECT_NEAR(Tone(Out("merge.flv"), 2.2, 0.6), 880, 60);
    }
}

TEST_F(FileConversion, ThumbnailIsAJpegOfTheOutputSize) {
    Group g;
    g.AddFile(Clip());
    Output o;
    o.size = "240x180";
    SetOutput(g.g, o, Out("clip.flv"));
    ASSERT_EQ(g.Convert(), 0);

    Group t("image2");
    t.AddFile(Out("clip.flv"));
    std::snprintf(t.g->outputPath, sizeof t.g->outputPath, "%s", Out("clip.jpg").c_str());
    t.g->thumbnail = 1;
    t.g->prepared = 1;
    ASSERT_EQ(converteToMedia(t.g, "image2", 0), 0);
    auto p = Probe(Out("clip.jpg"));
    EXPECT_EQ(p["v.codec"], "mjpeg");
    EXPECT_EQ(p["v.width"] + "x" + p["v.height"], "240x180");
}

// The picture settings give what FFmpeg's own filters give on the same source.
TEST_F(FileConversion, PictureSettingsMatchFfmpegFilters) {
    struct Case {
        const char* name;
        void (*set)(MediaUIOption*);
        const char* filter;
    } cases[] = {
        {"crop", [](MediaUIOption* m) { m->cropLeft = 40, m->cropRight = 40, m->cropTop = 30, m->cropBottom = 30; },
         "crop=240:180:40:30"},
        {"hflip", [](MediaUIOption* m) { m->horizontalFlip = 1; }, "hflip"},
        {"vflip", [](MediaUIOption* m) { m->verticalFlip = 1; }, "vflip"},
        {"gray", [](MediaUIOption* m) { m->effect = 1; }, "hue=s=0"},
        {"brightness", [](MediaUIOption* m) { m->brightness = 60; }, "eq=brightness=0.3"},
        {"contrast", [](MediaUIOption* m) { m->contrast = -50; }, "eq=contrast=0.5"},
        {"aspect 16:9", [](MediaUIOption* m) { m->aspect = Dup("16:9"); }, "scale=320:180,pad=320:240:0:30:black"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Group g;
        c.set(g.AddFile(Clip()));
        Output o;
        o.format = "mp4", o.video = "mpeg4", o.videoBitrate = 4000;
        SetOutput(g.g, o, Out("pic.mp4"));
        ASSERT_EQ(g.Convert(), 0);
        auto ours = Picture(Out("pic.mp4"), 1.0, "", 320, 240);
        auto theirs = Picture(Clip(), 1.0, c.filter, 320, 240);
        auto plain = Picture(Clip(), 1.0, "", 320, 240);
        EXPECT_GT(Psnr(ours, theirs), 28.0);
        // ... and the setting did change the picture.
        EXPECT_LT(Psnr(ours, plain), Psnr(ours, theirs) - 3);
    }
}

// The effects without an FFmpeg twin: emboss leaves a gray relief, old film a brown tint.
TEST_F(FileConversion, EmbossAndOldFilmLookAsNamed) {
    auto means = [](const std::vector<std::uint8_t>& rgb) {
        std::array<double, 3> m{};
        for (size_t i = 0; i < rgb.size(); ++i) m[i % 3] += rgb[i];
        for (double& v : m) v /= double(rgb.size() / 3);
        return m;
    };
    std::array<double, 3> result[2];
    for (int effect : {2, 3}) {
        Group g;
        g.AddFile(Clip())->effect = effect;
        Output o;
        o.format = "mp4", o.video = "mpeg4", o.videoBitrate = 4000;
        SetOutput(g.g, o, Out("fx.mp4"));
        ASSERT_EQ(g.Convert(), 0);
        result[effect - 2] = means(Picture(Out("fx.mp4"), 1.0, "", 320, 240));
    }
    auto [r, g, b] = result[0];
    EXPECT_NEAR(r, 128, 25);
    EXPECT_NEAR(r, g, 3);
    EXPECT_NEAR(g, b, 3);
    auto [r2, g2, b2] = result[1];
    EXPECT_GT(r2, g2 + 5);
    EXPECT_GT(g2, b2 + 5);
}

TEST_F(FileConversion, VolumeScalesTheSound) {
    double loudness[3];
    int volumes[3] = {255, 128, 0};
    for (int i = 0; i < 3; ++i) {
        Group g;
        g.AddFile(Clip());
        SetOutput(g.g, Output{}, Out("vol.flv"));
        g.g->volume = volumes[i];
        ASSERT_EQ(g.Convert(), 0);
        loudness[i] = Loudness(Out("vol.flv"), 0.3, 1.4);
    }
    EXPECT_GT(loudness[0], 1000);
    EXPECT_NEAR(loudness[1] / loudness[0], 128.0 / 255.0, 0.05);
    EXPECT_LT(loudness[2], 10);
}

// Links planted under the names a temporary output might take are never written through:
// their targets keep their bytes and the outputs are files of their own.
TEST_F(FileConversion, TemporaryOutputsNeverFollowPlantedLinks) {
    const fs::path victim = tmp_.Write("victim.txt", "not to be touched");
    for (const char* name : {"out.flv.part", "out.jpg.part", "out.flv.tmp", "out.jpg.tmp"})
        fs::create_symlink(victim, Out(name));
    Group g;
    g.AddFile(Clip());
    SetOutput(g.g, Output{}, Out("out.flv"));
    ASSERT_EQ(g.Convert(), 0);
    Group t("image2");
    t.AddFile(Out("out.flv"));
    std::snprintf(t.g->outputPath, sizeof t.g->outputPath, "%s", Out("out.jpg").c_str());
    t.g->thumbnail = 1;
    ASSERT_EQ(t.Convert(), 0);

    std::ifstream in(victim);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == "not to be touched") << "link followed";
    for (const char* name : {"out.flv", "out.jpg"}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Out(name)))) << name;
        EXPECT_GT(fs::file_size(Out(name)), 1000u) << name;
    }
    EXPECT_EQ(PartFiles(tmp_.path()), 2);  // the planted links only
}

// A process whose locale writes decimals with a comma (de_DE, built with localedef into a
// temporary folder, so it exists on every machine) converts with picture settings and
// volume as in the C locale.
TEST_F(FileConversion, PictureSettingsAndVolumeHoldUnderACommaLocale) {
    ASSERT_EQ(convtest::Run("localedef -i de_DE -f UTF-8 " + Quote((tmp_.path() / "de_DE.utf8").string()) +
                            " >/dev/null 2>&1 && echo made"),
              "made\n");
    ASSERT_EQ(setenv("LOCPATH", tmp_.path().c_str(), 1), 0);
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 0.5);
    EXPECT_STREQ(text, "0,5");

    Group g;
    g.AddFile(Clip())->brightness = 60;
    Output o;
    o.format = "mp4", o.video = "mpeg4", o.audio = "aac", o.videoBitrate = 4000;
    SetOutput(g.g, o, Out("comma.mp4"));
    g.g->volume = 128;
    const int result = g.Convert();
    std::setlocale(LC_ALL, before.c_str());
    unsetenv("LOCPATH");
    ASSERT_EQ(result, 0);
    EXPECT_GT(Psnr(Picture(Out("comma.mp4"), 1.0, "", 320, 240), Picture(Clip(), 1.0, "eq=brightness=0.3", 320, 240)),
              28.0);
    EXPECT_NEAR(Loudness(Out("comma.mp4"), 0.3, 1.4) / Loudness(Clip(), 0.3, 1.4), 128.0 / 255.0, 0.05);
}

// Each format and codec pair of the shipped profiles gives a file ffprobe reads.
TEST_F(FileConversion, EveryProfileFormatConverts) {
    fs::path folder = fs::path(std::getenv("LUMACAST_SOURCE_DIR")) / "assets/profile";
    ASSERT_TRUE(fs::is_directory(folder));
    int seen = 0;
    // The text of attribute `name` in the first tag that has it at or after `from`.
    auto attr = [](const std::string& xml, const std::string& name, size_t from = 0) {
        size_t at = xml.find(" " + name + "=\"", from);
        if (at == std::string::npos) return std::string();
        at += name.size() + 3;
        return xml.substr(at, xml.find('"', at) - at);
    };
    // A parameter's default, or its first (smallest) value.
    auto param = [&](const std::string& xml, const std::string& name, bool first) {
        size_t at = xml.find("<param name=\"" + name + "\"");
        if (at == std::string::npos) return std::string();
        return first ? attr(xml, "value", at) : attr(xml, "default", at);
    };
    for (auto& e : fs::directory_iterator(folder)) {
        if (e.path().extension() != ".xml") continue;
        std::ifstream f(e.path());
        std::string xml((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        std::string format = attr(xml, "format"), extension = attr(xml, "extension");
        ASSERT_FALSE(format.empty() || extension.empty()) << e.path();
        SCOPED_TRACE(e.path().filename().string());
        Output o;
        o.format = format;
        o.video = param(xml, "vcodec", false);
        o.audio = param(xml, "acodec", false);
        o.size = param(xml, "s", true);  // the smallest size keeps the test quick
        o.sampleRate = std::atoi(param(xml, "ar", false).c_str());
        o.channels = std::atoi(param(xml, "ac", false).c_str());
        o.videoBitrate = std::atoi(param(xml, "b", true).c_str());
        o.frameRate = 15;
        Group g;
        g.AddFile(Clip2());
        fs::path out = Out("p." + extension);
        SetOutput(g.g, o, out);
        ASSERT_EQ(g.Convert(), 0);
        auto p = Probe(out);
        EXPECT_FALSE(p["v.codec"].empty());
        EXPECT_FALSE(p["a.codec"].empty());
        EXPECT_EQ(p["v.width"] + "x" + p["v.height"], o.size);
        EXPECT_NEAR(Seconds(p), 1.0, 0.5);
        ++seen;
    }
    EXPECT_GE(seen, 6);
}

}  // namespace
