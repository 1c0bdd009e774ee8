// Built players played in a real Flash player: the stub templates trace every call the
// generated script makes, and screenshots show credits, decoration and letterbox.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "harness/ruffle.h"
#include "playermaker/world.h"

namespace {

using namespace pmtest;
using testing::Contains;

// Index of the first trace equal to `line`, or -1.
int IndexOf(const std::vector<std::string>& traces, const std::string& line) {
    auto it = std::find(traces.begin(), traces.end(), line);
    return it == traces.end() ? -1 : static_cast<int>(it - traces.begin());
}

// Plays player.swf of `dir` on a stage of its size.
harness::RuffleJob PlayerJob(const TempDir& dir, int width, int height) {
    harness::RuffleJob job;
    job.root = dir.path().string();
    job.swf = "player.swf";
    job.width = width;
    job.height = height;
    return job;
}

std::string Describe(const harness::RuffleResult& r) {
    std::string s;
    for (const auto& t : r.traces) s += "trace: " + t + "\n";
    for (const auto& e : r.errors) s += "error: " + e + "\n";
    return s;
}

TEST(PlayerInFlashPlayer, EmbeddedCreditsDecorationAndLetterbox) {
    RUFFLE_OR_SKIP();
    World& w = World::Get();
    TempDir out;
    // 10 frames a second: head card frames 0-19, removal frame 20, video 21-70 (overlay until
    // 41), removal frame 71, tail picture 72-91, last frame 92.
    Group g(out / "player.swf", w.Path("green10.flv"));
    g.g->media[0]->videoWidth = 640;
    g.g->media[0]->videoHeight = 360;  // shown 320 x 180 at y 30, blue bands above and below
    Set(g.player().effectFile, "Fx.swf");
    KbnUIInsertAdOption& head = g.AddCredit(true);
    head.cardRed = 255;
    Set(head.text, "Head");
    head.x = 20;
    head.y = 20;
    head.duration = 2;
    Set(g.AddCredit(false).image, w.Path("yellow.jpg"));
    g.g->tailCredit->duration = 2;
    KbnUIOverlayADOption& o = g.AddOverlay(okImage, 10, 40, 80, 40);
    Set(o.file, w.Path("magenta.png"));
    Set(o.clickUrl, "http://example.com/");
    Set(o.target, "_blank");
    o.endTime = 2;
    ASSERT_EQ(generateFLVPlayer(g.g), 0);

    harness::RuffleJob job = PlayerJob(out, 320, 280);
    job.shots = {{1000, out / "head.png"}, {3000, out / "video.png"}, {5800, out / "late.png"},
                 {8200, out / "tail.png"}};
    const harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    const auto& t = r.traces;
    const int stage = IndexOf(t, "initPlayerStage 1 320 240");
    const int component = IndexOf(t, "initPlayerComponent false true true true true true true true true");
    const int autoHide = IndexOf(t, "initAutoHide false false false 3000");
    const int init = IndexOf(t, "init framerate=10 VideoUrl=undefined maxPlayTime=0 BufferTime=5 autoplay=false");
    EXPECT_GE(stage, 0) << Describe(r);
    EXPECT_GT(component, stage) << Describe(r);
    EXPECT_GT(autoHide, component) << Describe(r);
    EXPECT_GT(init, autoHide) << Describe(r);
    EXPECT_THAT(t, Contains("skin"));
    EXPECT_THAT(t, Contains("effect"));

    ASSERT_EQ(r.screenshots.size(), 4u);
    const harness::Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, magenta{255, 0, 255},
        yellow{255, 255, 0}, bar{60, 60, 60};
    const auto head_ = harness::ReadPng(r.screenshots[0]);
    const auto video = harness::ReadPng(r.screenshots[1]);
    const auto late = harness::ReadPng(r.screenshots[2]);
    const auto tail = harness::ReadPng(r.screenshots[3]);
    struct Pixel {
        const harness::Image* image;
        const char* what;
        int x, y;
        harness::Rgb colour;
    };
    const Pixel pixels[] = {
        {&head_, "head card", 300, 200, red},
        {&head_, "control bar", 5, 260, bar},
        {&video, "letterbox band", 160, 10, blue},
        {&video, "letterbox band below", 160, 230, blue},
        {&video, "video", 160, 120, green},
        {&video, "decoration", 50, 60, magenta},
        {&video, "control bar", 300, 275, bar},
        {&late, "video where the decoration was", 50, 60, green},
        {&tail, "tail picture", 160, 120, yellow},
    };
    for (const Pixel& p : pixels) {
        const harness::Rgb c = p.image->At(p.x, p.y);
        EXPECT_TRUE(harness::Near(c, p.colour)) << p.what << " at " << p.x << "," << p.y << ": " << c.r << " " << c.g
                                                << " " << c.b;
    }
}

TEST(PlayerInFlashPlayer, ProgressivePlaylistReachesTheTemplate) {
    RUFFLE_OR_SKIP();
    World::Get();
    TempDir out;
    Group g(out / "player.swf", "");
    g.g->generate->swfType = stProgressive;
    g.g->generate->playlistInScript = 1;
    Set(g.player().preloaderFile, "Pre.swf");
    g.player().bufferTime = 10;
    g.player().autoPlay = 1;
    g.player().hideVolumeBar = 1;
    g.player().mouseAutoHide = 1;
    g.player().hideDelay = 2;
    KbnUIMediaOption& one = g.AddMedia("one.flv", "One \"quoted\" \\ back\nline");
    Set(one.thumbnailPath, "one.jpg");
    g.AddMedia("two.flv", "Two");
    KbnUIOverlayADOption& o = g.AddOverlay(okText, 10, 20, 100, 30);
    Set(o.text, "Caption");
    Set(o.fontFile, "Arial");
    Set(o.clickUrl, "http://example.com/?a=1&b=2");
    Set(o.target, "_blank");
    o.endTime = 5;
    o.fontSize = 16;
    o.red = 255;
    o.blue = 16;
    ASSERT_EQ(generateFLVPlayer(g.g), 0);

    harness::RuffleJob job = PlayerJob(out, 320, 240);
    job.untilTrace = "init framerate=undefined VideoUrl=one.flv maxPlayTime=0 BufferTime=10 autoplay=true";
    job.durationMs = 4000;
    const harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    const std::string link = "|http://example.com/?a=1&b=2|_blank";
    const std::string advert = "|00:00:00:000|00:00:05:000|txt|Caption" + link + "|0|10|20|100|30|12|Arial|16711696";
    const std::vector<std::string> expected = {
        "preloader script",
        "initPlayerStage 2 320 240",
        "initPlayerComponent false true true false true true true true true",
        "initAutoHide true false false 2000",
        "add_play One \"quoted\" \\ back\nline|one.flv|one.jpg" + link,
        "add_advert 1" + advert,
        "add_play Two|two.flv|" + link,
        "add_advert 2" + advert,
        *job.untilTrace,
    };
    int last = -1;
    for (const std::string& line : expected) {
        const int at = IndexOf(r.traces, line);
        EXPECT_GT(at, last) << line << "\n" << Describe(r);
        if (at >= 0) last = at;
    }
    EXPECT_THAT(r.traces, Contains("skin"));
    EXPECT_THAT(r.traces, Contains("preloader clip"));
}

}  // namespace
