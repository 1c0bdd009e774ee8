// Players built by the real player maker from the real template folder and real FLV files,
// played in the Flash player in headless Chromium: playback, the control bar's buttons,
// the playlist, the hide flags, the preview limit, and the HTML page with its page script.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "harness/ruffle.h"
#include "jobmodel/htmlpage.h"
#include "playermaker/morvbrindle.h"
#include "playermaker/test_util.h"
#include "playermaker/world.h"

namespace {

namespace fs = std::filesystem;
using pmtest::Run;
using pmtest::Set;
using pmtest::TempDir;

std::string ProgramDir() {
    const char* dir = std::getenv("LUMACAST_PROGRAM_DIR");
    return dir ? std::string(dir) : pmtest::BuildDir() + "/lumacast";
}

// Test videos, made once per test program: a moving picture and two still colours.
const TempDir& Media() {
    static TempDir dir;
    static bool made = [] {
        const std::string enc = " -c:v flv1 -q:v 5 -c:a libmp3lame -ar 44100 -ac 1 -b:a 32k -shortest ";
        const std::string sound = " -f lavfi -i sine=f=330:sample_rate=44100:d=8 ";
        return Run("ffmpeg -v error -y -f lavfi -i testsrc2=s=320x240:r=10:d=8" + sound + enc +
                   pmtest::Quote(dir / "moving.flv")) &&
               Run("ffmpeg -v error -y -f lavfi -i color=c=0x2040ff:s=320x240:r=10:d=8" + sound + enc +
                   pmtest::Quote(dir / "blue.flv")) &&
               Run("ffmpeg -v error -y -f lavfi -i color=c=0x20ff40:s=320x240:r=10:d=8" + sound + enc +
                   pmtest::Quote(dir / "green.flv"));
    }();
    EXPECT_TRUE(made);
    return dir;
}

// A player record as a new option record has it: the default skin, nothing hidden but the
// previous/next buttons, no auto-hide (screenshots must not catch the bar going away).
struct Player {
    KbnUIGroupOption* g = nullptr;
    Player(const std::string& output, int swfType) {
        setFilePrefixPath(ProgramDir().c_str());
        createKbnUIGroupOption(&g);
        Set(g->outputPath, output);
        createKbnUIGenerateOption(&g->generate);
        g->generate->swfType = swfType;
        g->generate->playlistInScript = 1;
        createKbnUIPlayerOption(&g->player);
        KbnUIPlayerOption& p = *g->player;
        p.width = 320;
        p.height = 240;
        p.frameRate = 10;
        Set(p.skinFile, "Christmas_h40.swf");
        p.hidePreNextBtn = 1;
        p.autoPlay = 1;
    }
    ~Player() { freeKbnUIGroupOption(&g); }
    KbnUIPlayerOption& player() { return *g->player; }
    void Add(const std::string& flv, const std::string& title, const std::string& thumbnail = "") {
        KbnUIMediaOption* m = nullptr;
        createKbnUIMediaOption(g, &m);
        Set(m->flvPath, flv);
        Set(m->title, title);
        Set(m->thumbnailPath, thumbnail);
        m->videoWidth = 320;
        m->videoHeight = 240;
    }
};

harness::RuffleJob Job(const TempDir& dir, int width, int height) {
    harness::RuffleJob job;
    job.root = dir.path().string();
    job.swf = "player.swf";
    job.width = width;
    job.height = height;
    return job;
}

// How many pixels of the box differ between two screenshots by more than anti-aliasing.
int Changed(const harness::Image& a, const harness::Image& b, int left, int top, int right, int bottom) {
    int changed = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (!harness::Near(a.At(x, y), b.At(x, y), 24)) ++changed;
    return changed;
}

// How many pixels of the box differ from the colour at its top-left corner.
int Unlike(const harness::Image& a, int left, int top, int right, int bottom) {
    const harness::Rgb base = a.At(left, top);
    int unlike = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (!harness::Near(a.At(x, y), base, 24)) ++unlike;
    return unlike;
}

// How many pixels of the box have (about) the colour.
int Count(const harness::Image& a, harness::Rgb color, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) n += harness::Near(a.At(x, y), color, 40);
    return n;
}

// How many pixels of the box have the icon colour of the default skin.
int IconPixels(const harness::Image& a, int left, int top, int right, int bottom) {
    return Count(a, {0xff, 0xd2, 0x4a}, left, top, right, bottom);
}

std::string Describe(const harness::RuffleResult& r) {
    std::string s;
    for (const auto& e : r.errors) s += "error: " + e + "\n";
    for (const auto& c : r.console) s += "console: " + c + "\n";
    return s;
}

std::vector<harness::Image> Shots(const harness::RuffleResult& r) {
    std::vector<harness::Image> images;
    for (const auto& path : r.screenshots) images.push_back(harness::ReadPng(path));
    return images;
}

// The embedded player of a 320 x 240 video: the stage is 320 x 280, the bar below the video
// (progress strip y 240-250, buttons y 250-280: play/pause at x 0-30).
TEST(TemplatePlayer, EmbeddedPlaysPausesAndSeeks) {
    RUFFLE_OR_SKIP();
    TempDir out;
    Player p(out / "player.swf", 1);
    p.Add(Media() / "moving.flv", "moving");
    ASSERT_EQ(generateFLVPlayer(p.g), 0);

    harness::RuffleJob job = Job(out, 320, 280);
    job.shots = {{1000, out / "a.png"}, {1800, out / "b.png"},  // playing
                 {2800, out / "c.png"}, {3600, out / "d.png"},  // paused
                 {4600, out / "e.png"}};                        // sought
    // Pause, seek, mute, and the volume down to a quarter (the volume ramp is at x 247-286).
    job.clicks = {{2200, 15, 265}, {4000, 240, 245}, {4200, 232, 265}, {4300, 257, 265}};
    const harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(r.errors, testing::IsEmpty()) << Describe(r);
    const auto shot = Shots(r);
    ASSERT_EQ(shot.size(), 5u);
    EXPECT_GT(Changed(shot[0], shot[1], 0, 0, 320, 240), 500) << "the video does not advance";
    EXPECT_EQ(Changed(shot[2], shot[3], 0, 0, 320, 280), 0) << "the pause button does not pause";
    EXPECT_GT(Changed(shot[3], shot[4], 0, 0, 320, 240), 500) << "the seek does not move the video";
    EXPECT_GT(Changed(shot[3], shot[4], 64, 250, 200, 280), 10) << "the seek does not move the time";
    EXPECT_GT(IconPixels(shot[0], 0, 250, 60, 280), 40) << "no control bar below the video";
    EXPECT_GT(IconPixels(shot[0], 200, 250, 320, 280), 100) << "no sound and view buttons";
    const auto cross = [](const harness::Image& img) {  // the mute button's red cross
        return Count(img, {0xe0, 0x20, 0x20}, 217, 250, 247, 280);
    };
    EXPECT_LT(cross(shot[3]), 5) << "muted before the mute button was pressed";
    EXPECT_GT(cross(shot[4]), 20) << "the mute button shows no cross";
    EXPECT_LT(IconPixels(shot[4], 247, 250, 286, 280) * 2, IconPixels(shot[3], 247, 250, 286, 280))
        << "the volume bar does not follow a click";
}

// A progressive player with a six-entry playlist, a preloader, the snow effect and a text
// advert: the list panel on the right above the bar (four and a third rows of 44 pixels
// from y 4), the bar over the video's bottom 40 pixels (buttons y 210-240: play/pause,
// stop, previous at 60-90, next at 90-120).
TEST(TemplatePlayer, ProgressivePlaylistStepsToTheNextEntry) {
    RUFFLE_OR_SKIP();
    TempDir out;
    for (const char* name : {"moving", "blue", "green"}) {
        fs::copy_file(Media() / (std::string(name) + ".flv"), out / (std::string(name) + ".flv"));
        ASSERT_TRUE(pmtest::Run("ffmpeg -v error -y -i " + pmtest::Quote(out / (std::string(name) + ".flv")) +
                        " -frames:v 1 -s 64x48 " + pmtest::Quote(out / (std::string(name) + ".jpg"))));
    }
    Player p(out / "player.swf", 2);
    p.player().hidePreNextBtn = 0;
    Set(p.player().preloaderFile, "Bar.swf");
    Set(p.player().effectFile, "Snow.swf");
    p.Add("moving.flv", "Moving picture", "moving.jpg");
    p.Add("blue.flv", "Blue", "blue.jpg");
    p.Add("green.flv", "Green", "green.jpg");
    p.Add("blue.flv", "Blue 2", "blue.jpg");
    p.Add("blue.flv", "Blue 3", "blue.jpg");
    p.Add("green.flv", "Green 2", "green.jpg");
    createKbnUIOverlayADOption(&p.g->overlay);
    KbnUIOverlayADOption& ad = *p.g->overlay;
    ad.kind = 2;
    Set(ad.text, "ADVERT");
    ad.fontSize = 32;
    ad.red = ad.green = 255;  // yellow
    ad.x = 10;
    ad.y = 30;
    ASSERT_EQ(generateFLVPlayer(p.g), 0);

    harness::RuffleJob job = Job(out, 320, 240);
    job.shots = {{1500, out / "a.png"}, {2300, out / "b.png"}, {4000, out / "c.png"}, {5600, out / "d.png"}};
    job.clicks = {{2800, 105, 225}, {4300, 75, 225}, {4600, 75, 225}};  // next; previous twice
    const harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(r.errors, testing::IsEmpty()) << Describe(r);
    const auto shot = Shots(r);
    ASSERT_EQ(shot.size(), 4u);
    EXPECT_GT(Changed(shot[0], shot[1], 10, 20, 150, 190), 500) << "the video does not advance";
    const harness::Rgb blue{0x20, 0x40, 0xff};
    EXPECT_GT(Count(shot[2], blue, 10, 80, 150, 190), 140 * 110 * 8 / 10) << "next does not play the second entry";
    EXPECT_GT(Count(shot[2], {255, 255, 255}, 10, 80, 150, 190), 5) << "no snow over the video";
    EXPECT_GT(Count(shot[2], {255, 255, 0}, 10, 30, 160, 70), 30) << "no advert";
    // The list panel shows the three entries with their thumbnails (the second one blue).
    EXPECT_GT(Unlike(shot[2], 170, 8, 310, 130), 100) << "no playlist panel";
    EXPECT_GT(Count(shot[2], blue, 170, 52, 218, 88), 48 * 36 / 2) << "no thumbnail in the list";
    // Previous from the first entry plays the last; the list scrolls to show it.
    const harness::Rgb green{0x20, 0xff, 0x40};
    EXPECT_GT(Count(shot[3], green, 10, 80, 150, 190), 140 * 110 * 8 / 10) << "previous does not wrap";
    EXPECT_LT(Count(shot[2], green, 170, 160, 218, 190), 48 * 30 / 4);
    EXPECT_GT(Count(shot[3], green, 170, 160, 218, 190), 48 * 30 / 2) << "the list does not follow";
    EXPECT_GT(IconPixels(shot[3], 260, 210, 290, 240), 20) << "the list covers the playlist button";
}

// A preview: the script stops it after 4 seconds. The hide flags take the time, the sound
// buttons, the full-screen button and the progress strip off the bar, so that only the
// play/pause and stop buttons remain on its plain background.
TEST(TemplatePlayer, PreviewStopsAfterFourSecondsAndHideFlagsHide) {
    RUFFLE_OR_SKIP();
    TempDir out;
    fs::copy_file(ProgramDir() + "/templates/velmoraQent.flv", out / "velmoraQent.flv");
    Player p(out / "player.swf", 2);
    p.Add("velmoraQent.flv", "velmoraQent");
    p.g->isPreview = 1;
    KbnUIPlayerOption& o = p.player();
    o.hideMuteBtn = o.hideVolumeBar = o.hidePlayingTime = o.hideFullscreenBtn = 1;
    o.hidePlayingProcessBar = o.hidePlaylistBtn = 1;
    ASSERT_EQ(generateFLVPlayer(p.g), 0);

    // A preview is fitted into 340 x 255; the bar covers y 215-255, its buttons y 225-255.
    harness::RuffleJob job = Job(out, 340, 255);
    job.shots = {{1500, out / "a.png"}, {2500, out / "b.png"}, {6000, out / "c.png"}, {7000, out / "d.png"}};
    const harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(r.errors, testing::IsEmpty()) << Describe(r);
    const auto shot = Shots(r);
    ASSERT_EQ(shot.size(), 4u);
    EXPECT_GT(Changed(shot[0], shot[1], 0, 0, 340, 200), 500) << "the preview does not play";
    EXPECT_EQ(Changed(shot[2], shot[3], 0, 0, 340, 255), 0) << "the preview goes on after 4 seconds";
    EXPECT_GT(IconPixels(shot[3], 0, 225, 60, 255), 40) << "play and stop buttons missing";
    EXPECT_LT(IconPixels(shot[3], 64, 215, 340, 255), 5) << "a hidden part is shown";
}

// The page the job model writes, with the page script beside it, shows the player; this one
// reads its playlist from medialist.xml beside it, and hides its bar after two seconds
// without mouse movement.
TEST(TemplatePlayer, HtmlPageShowsThePlayerWithItsXmlPlaylist) {
    RUFFLE_OR_SKIP();
    TempDir out;
    fs::copy_file(Media() / "moving.flv", out / "moving.flv");
    pmtest::WriteFile(out / "medialist.xml",
                      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<playlist>\n"
                      "  <item title=\"Moving &amp; more\" video=\"moving.flv\" />\n</playlist>\n");
    Player p(out / "clip.swf", 2);
    p.g->generate->playlistInScript = 0;
    Set(p.player().preloaderFile, "Dots.swf");  // the playlist loads after the preloader's frame
    p.player().skinAutoHide = 1;
    p.player().hideDelay = 2;
    ASSERT_EQ(generateFLVPlayer(p.g), 0);
    fs::copy_file(ProgramDir() + "/templates/AC_RunActiveContent.js", out / "AC_RunActiveContent.js");
    jobmodel::CreateHtmlPlayingSWF page;
    page.SetTitle("clip");
    page.SetMovie("clip");
    page.SetBgColor("000000");
    page.SetPlayerWidth(320);
    page.SetPlayerHeight(240);
    ASSERT_EQ(page.SaveHtml(out / "clip.html"), 1);

    harness::RuffleJob job;
    job.root = out.path().string();
    job.html = "clip.html";
    job.width = 320;
    job.height = 240;
    job.shots = {{500, out / "a.png"}, {3000, out / "b.png"}, {3800, out / "c.png"}};
    const harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(r.errors, testing::IsEmpty()) << Describe(r);
    const auto shot = Shots(r);
    ASSERT_EQ(shot.size(), 3u);
    ASSERT_GE(shot[2].width, 320);
    ASSERT_GE(shot[2].height, 240);
    EXPECT_GT(Changed(shot[1], shot[2], 0, 0, 320, 200), 500) << "the page's player does not play";
    EXPECT_GT(IconPixels(shot[0], 0, 200, 320, 240), 40) << "no control bar at the start";
    EXPECT_LT(IconPixels(shot[2], 0, 200, 320, 240), 5) << "the bar does not hide itself";
}

// A name with quotes, an ampersand and angle brackets, used as the page's title and the
// player's file name, still gives a page that shows the playing player.
TEST(TemplatePlayer, HtmlPageWithAnAwkwardNameShowsThePlayer) {
    RUFFLE_OR_SKIP();
    TempDir out;
    const std::string name = "Tom's \"Movie\" & <1>";
    fs::copy_file(Media() / "moving.flv", out / "moving.flv");
    Player p(out / (name + ".swf"), 2);
    p.Add("moving.flv", name);
    ASSERT_EQ(generateFLVPlayer(p.g), 0);
    fs::copy_file(ProgramDir() + "/templates/AC_RunActiveContent.js", out / "AC_RunActiveContent.js");
    jobmodel::CreateHtmlPlayingSWF page;
    page.SetTitle(name);
    page.SetMovie(name);
    page.SetBgColor("000000");
    page.SetPlayerWidth(320);
    page.SetPlayerHeight(240);
    ASSERT_EQ(page.SaveHtml(out / "page.html"), 1);

    harness::RuffleJob job;
    job.root = out.path().string();
    job.html = "page.html";
    job.width = 320;
    job.height = 240;
    job.shots = {{1000, out / "a.png"}, {3000, out / "b.png"}};
    const harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(r.errors, testing::IsEmpty()) << Describe(r);
    const auto shot = Shots(r);
    ASSERT_EQ(shot.size(), 2u);
    EXPECT_GT(Changed(shot[0], shot[1], 0, 0, 320, 200), 500) << "the page's player does not play";
}

}  // namespace
