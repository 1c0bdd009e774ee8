// Player builds through the library's exports, checked by reading the written SWF back
// (header, display list per frame) and by ffprobe.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "playermaker/swf_walk.h"
#include "playermaker/world.h"

namespace {

using namespace pmtest;

constexpr int kVideoTag = 60;   // DefineVideoStream
constexpr int kButtonTag = 34;  // DefineButton2

// ffprobe's view of one stream: codec, size or rate, frames.
std::string Probe(const std::string& file, const char* stream) {
    std::string out = Capture("ffprobe -v error -count_frames -select_streams " + std::string(stream) +
                              " -show_entries stream=codec_name,width,height,sample_rate,nb_read_frames -of csv=p=0 " +
                              Quote(file) + " 2>&1");
    while (!out.empty() && (out.back() == '\n' || out.back() == ',')) out.pop_back();
    return out;
}

int FlvFrames(const std::string& flv) {
    const std::string probe = Probe(flv, "v");
    return std::stoi(probe.substr(probe.rfind(',') + 1));
}

TEST(Build, FailuresReturnTheirNumberAndWriteNothing) {
    World& w = World::Get();
    TempDir out;
    const std::string brokenRoot = w.MakeRoot("broken", true, true, "function initPlayer( {");
    const std::string bareRoot = w.MakeRoot("bare", false, false, "");
    struct Case {
        const char* name;
        std::function<void(Group&)> change;
        int error;
    };
    const Case cases[] = {
        {"missing FLV", [&](Group& g) { Set(g.g->media[0]->flvPath, w.Path("none.flv")); }, kbnErrNoSoundStream},
        {"FLV without sound", [&](Group& g) { Set(g.g->media[0]->flvPath, w.Path("silent.flv")); }, kbnErrNoSoundStream},
        {"FLV with AAC sound", [&](Group& g) { Set(g.g->media[0]->flvPath, w.Path("aac.flv")); }, kbnErrNoSoundStream},
        {"not an FLV", [&](Group& g) { Set(g.g->media[0]->flvPath, w.Path("garbage.flv")); }, kbnErrNoSoundStream},
        {"FLV without video", [&](Group& g) { Set(g.g->media[0]->flvPath, w.Path("soundonly.flv")); },
         kbnErrNoVideoStream},
        {"video overlay without video",
         [&](Group& g) { Set(g.AddOverlay(okVideo).file, w.Path("soundonly.flv")); }, kbnErrNoVideoStream},
        {"no font at all",
         [&](Group& g) {
             Set(g.AddCredit(true).text, "Hello");
             Set(g.g->headCredit->fontFile, "/no/such/font.ttf");
             setFilePrefixPath(w.MakeRoot("nofont", true, false, World::PlayerTemplate()).c_str());
         },
         kbnErrNoFont},
        {"no script templates", [&](Group&) { setFilePrefixPath(bareRoot.c_str()); }, kbnErrNoTemplate},
        {"template root unset", [&](Group&) { setFilePrefixPath(""); }, kbnErrBadClip},
        {"output folder missing", [&](Group& g) { Set(g.g->outputPath, out / "no/such/dir/p.swf"); },
         kbnErrCannotWrite},
        {"overlay picture is text",
         [&](Group& g) {
             KbnUIOverlayADOption& o = g.AddOverlay(okImage);
             Set(o.file, w.Path("text.png"));
         },
         kbnErrBadPicture},
        {"credit picture missing", [&](Group& g) { Set(g.AddCredit(false).image, w.Path("none.jpg")); },
         kbnErrBadPicture},
        {"script does not compile", [&](Group&) { setFilePrefixPath(brokenRoot.c_str()); }, kbnErrBadScript},
        {"skin missing", [&](Group& g) { Set(g.player().skinFile, "Missing_h40.swf"); }, kbnErrBadClip},
        {"skin is not a clip", [&](Group& g) { Set(g.player().skinFile, "NotAClip.swf"); }, kbnErrBadClip},
        {"effect missing", [&](Group& g) { Set(g.player().effectFile, "Missing.swf"); }, kbnErrBadClip},
        {"preloader missing", [&](Group& g) { Set(g.player().preloaderFile, "Missing.swf"); }, kbnErrBadClip},
        {"progressive skin missing",
         [&](Group& g) {
             g.g->generate->swfType = stProgressive;
             Set(g.player().skinFile, "Missing.swf");
         },
         kbnErrBadClip},
        {"preview of width 0",
         [&](Group& g) {
             g.g->isPreview = 1;
             g.player().width = 0;
         },
         kbnErrBadOptions},
        {"preview of negative height",
         [&](Group& g) {
             g.g->isPreview = 1;
             g.player().height = -5;
         },
         kbnErrBadOptions},
        {"no player record", [&](Group& g) { freeKbnUIPlayerOption(&g.g->player); }, kbnErrBadOptions},
        {"embedded without media",
         [&](Group& g) {
             freeKbnUIMediaOption(&g.g->media[0]);
             g.g->mediaCount = 0;
         },
         kbnErrBadOptions},
    };
    for (const Case& c : cases) {
        Group g(out / "p.swf", w.Path("green10.flv"));
        c.change(g);
        EXPECT_EQ(generateFLVPlayer(g.g), c.error) << c.name;
        EXPECT_THAT(out.Entries(), testing::IsEmpty()) << c.name;
        std::filesystem::remove(out / "p.swf");  // keep one failure from hiding the next
        World::Get();                            // back to the sound template root
    }
    EXPECT_EQ(generateFLVPlayer(nullptr), kbnErrBadOptions);
}

TEST(Build, DamagedFlvFailsWithoutAFile) {
    World& w = World::Get();
    TempDir out;
    Group g(out / "p.swf", w.Path("truncated.flv"));
    const int error = generateFLVPlayer(g.g);
    EXPECT_THAT(error, testing::AnyOf(kbnErrNoSoundStream, kbnErrNoVideoStream, kbnErrBadFlv));
    EXPECT_THAT(out.Entries(), testing::IsEmpty());
}

TEST(Build, FailedBuildKeepsAnEarlierFile) {
    World& w = World::Get();
    TempDir out;
    WriteFile(out / "p.swf", "earlier");
    Group g(out / "p.swf", w.Path("none.flv"));
    EXPECT_EQ(generateFLVPlayer(g.g), kbnErrNoSoundStream);
    EXPECT_EQ(ReadFile(out / "p.swf"), "earlier");
    EXPECT_EQ(out.Entries(), std::vector<std::string>{"p.swf"});
}

TEST(Build, MovieSizeAndFrameCounts) {
    World& w = World::Get();
    const int n = FlvFrames(w.Path("green10.flv"));
    ASSERT_EQ(n, 50);
    struct Case {
        const char* name;
        std::function<void(Group&)> change;
        double width, height;
        int frames;
    };
    const Case cases[] = {
        {"video only: video frames, removal frame, last frame", [](Group&) {}, 320, 280, n + 2},
        {"hideAll: no control bar", [](Group& g) { g.player().hideAll = 1; }, 320, 240, n + 2},
        {"skin without height", [](Group& g) { Set(g.player().skinFile, "../Effect/Fx.swf"); }, 320, 240, n + 2},
        {"head 2 s and tail 1 s",
         [](Group& g) {
             g.AddCredit(true).duration = 2;
             Set(g.g->headCredit->text, "Head");
             KbnUIInsertAdOption& tail = g.AddCredit(false);
             tail.duration = 1;
             tail.cardRed = 255;
             Set(tail.text, "Tail");
         },
         320, 280, 20 + 1 + n + 1 + 10 + 1},
        {"empty credit: no frames of its own", [](Group& g) { g.AddCredit(true).duration = 3; }, 320, 280, 1 + n + 2},
        {"credit of 0 seconds", [](Group& g) { Set(g.AddCredit(true).text, "Zero"); }, 320, 280, 1 + n + 2},
        {"preloader frame",
         [](Group& g) { Set(g.player().preloaderFile, "Pre.swf"); }, 320, 280, 1 + n + 2},
        {"progressive: one frame",
         [](Group& g) { g.g->generate->swfType = stProgressive; }, 320, 240, 1},
        {"progressive with preloader: two frames",
         [](Group& g) {
             g.g->generate->swfType = stProgressive;
             Set(g.player().preloaderFile, "Pre.swf");
         },
         320, 240, 2},
    };
    for (const Case& c : cases) {
        TempDir out;
        Group g(out / "p.swf", w.Path("green10.flv"));
        c.change(g);
        ASSERT_EQ(generateFLVPlayer(g.g), 0) << c.name;
        const SwfMovie movie = ReadSwf(out / "p.swf");
        ASSERT_TRUE(movie.ok) << c.name << ": " << movie.error;
        EXPECT_EQ(movie.version, 8) << c.name;
        EXPECT_EQ(movie.width, c.width) << c.name;
        EXPECT_EQ(movie.height, c.height) << c.name;
        EXPECT_EQ(movie.frameRate, 10.0) << c.name;
        EXPECT_EQ(movie.frameCount, c.frames) << c.name;
        EXPECT_EQ(static_cast<int>(movie.frames.size()), c.frames) << c.name;
        EXPECT_EQ(out.Entries(), std::vector<std::string>{"p.swf"}) << c.name;
    }
}

TEST(Build, EmbeddedVideoAndSoundSeenByFfprobe) {
    World& w = World::Get();
    TempDir out;
    {
        Group g(out / "full.swf", w.Path("test25.flv"), 25);
        ASSERT_EQ(generateFLVPlayer(g.g), 0);
        EXPECT_EQ(Probe(out / "full.swf", "v"), "flv1,320,240," + std::to_string(FlvFrames(w.Path("test25.flv"))));
        const std::string audio = Probe(out / "full.swf", "a");
        EXPECT_THAT(audio, testing::StartsWith("mp3,44100")) << audio;
    }
    {
        Group g(out / "preview.swf", w.Path("test25.flv"), 25);
        g.g->isPreview = 1;
        g.player().width = 640;
        g.player().height = 480;
        ASSERT_EQ(generateFLVPlayer(g.g), 0);
        EXPECT_EQ(g.player().width, 340);
        EXPECT_EQ(g.player().height, 255);
        EXPECT_EQ(Probe(out / "preview.swf", "v"), "flv1,320,240,100");  // trunc(25 x 4) frames
        const SwfMovie movie = ReadSwf(out / "preview.swf");
        EXPECT_EQ(movie.width, 340);
        EXPECT_EQ(movie.height, 295);
        EXPECT_EQ(movie.frameCount, 102);
    }
}

TEST(Build, LetterboxFit) {
    World& w = World::Get();
    struct Case {
        int videoWidth, videoHeight;
        double scale, x, y;
    };
    const Case cases[] = {
        {640, 480, 0.5, 0, 0}, {640, 360, 0.5, 0, 30}, {480, 480, 0.5, 40, 0},
        {0, 480, 1, 0, 0},     {320, 240, 1, 0, 0},    {160, 160, 1.5, 40, 0},
    };
    for (const Case& c : cases) {
        TempDir out;
        Group g(out / "p.swf", w.Path("green10.flv"));
        g.g->media[0]->videoWidth = c.videoWidth;
        g.g->media[0]->videoHeight = c.videoHeight;
        ASSERT_EQ(generateFLVPlayer(g.g), 0);
        const SwfMovie movie = ReadSwf(out / "p.swf");
        const auto videos = movie.OfTag(0, kVideoTag);
        ASSERT_EQ(videos.size(), 1u) << c.videoWidth << "x" << c.videoHeight;
        const SwfMatrix& m = videos[0].matrix;
        const std::string name = std::to_string(c.videoWidth) + "x" + std::to_string(c.videoHeight);
        EXPECT_NEAR(m.scaleX, c.scale, 1e-4) << name;
        EXPECT_NEAR(m.scaleY, c.scale, 1e-4) << name;
        EXPECT_NEAR(m.x, c.x, 0.05) << name;
        EXPECT_NEAR(m.y, c.y, 0.05) << name;
        EXPECT_TRUE(movie.OfTag(50, kVideoTag).empty()) << name << ": the video is gone after its frames";
    }
}

TEST(Build, OverlayRemovedAfterItsEndTime) {
    World& w = World::Get();
    struct Case {
        int endTime;
        int lastFrameWithOverlay;  // video frames run 0..49
    };
    const Case cases[] = {{2, 20}, {0, 49}, {9, 49}};
    for (const Case& c : cases) {
        TempDir out;
        Group g(out / "p.swf", w.Path("green10.flv"));
        KbnUIOverlayADOption& o = g.AddOverlay(okImage, 7, 9, 40, 20);
        Set(o.file, w.Path("magenta.png"));
        o.endTime = c.endTime;
        ASSERT_EQ(generateFLVPlayer(g.g), 0);
        const SwfMovie movie = ReadSwf(out / "p.swf");
        auto buttons = [&](int frame) { return movie.OfTag(frame, kButtonTag); };
        ASSERT_EQ(buttons(c.lastFrameWithOverlay).size(), 1u) << c.endTime;
        EXPECT_EQ(buttons(c.lastFrameWithOverlay)[0].matrix.x, 7) << c.endTime;
        EXPECT_EQ(buttons(c.lastFrameWithOverlay)[0].matrix.scaleX, 1) << "same size as the picture: not scaled";
        EXPECT_TRUE(buttons(c.lastFrameWithOverlay + 1).empty()) << c.endTime;
    }
}

TEST(Build, CreditsAndPictureButtons) {
    World& w = World::Get();
    TempDir out;
    Group g(out / "p.swf", w.Path("green10.flv"));
    KbnUIInsertAdOption& head = g.AddCredit(true);
    Set(head.image, w.Path("magenta.png"));  // 40 x 20 stretched over 320 x 240
    Set(head.text, "Welcome");
    head.x = 30;
    head.y = 50;
    head.duration = 1;
    Set(g.player().effectFile, "Fx.swf");
    KbnUIInsertAdOption& tail = g.AddCredit(false);
    Set(tail.image, w.Path("cyan-jpeg.png"));  // a JPEG whatever its name
    tail.duration = 1;
    ASSERT_EQ(generateFLVPlayer(g.g), 0);
    const SwfMovie movie = ReadSwf(out / "p.swf");
    const auto card = movie.OfTag(0, kButtonTag);
    ASSERT_EQ(card.size(), 1u);
    EXPECT_DOUBLE_EQ(card[0].matrix.scaleX, 8);
    EXPECT_DOUBLE_EQ(card[0].matrix.scaleY, 12);
    EXPECT_EQ(movie.OfTag(0, 11).size() + movie.OfTag(0, 33).size(), 1u) << "the credit text";
    EXPECT_TRUE(movie.Named(0, "play_layer"));
    EXPECT_TRUE(movie.Named(0, "effect_mc"));
    EXPECT_TRUE(movie.OfTag(10, kButtonTag).empty()) << "head credit gone in the frame after its 10";
    EXPECT_TRUE(movie.Named(11, "effect_mc")) << "the video's own effect clip";
    const auto tailCard = movie.OfTag(11 + 50 + 1, kButtonTag);
    ASSERT_EQ(tailCard.size(), 1u);
    EXPECT_DOUBLE_EQ(tailCard[0].matrix.scaleX, 5);  // 64 x 48 to 320 x 240
    EXPECT_DOUBLE_EQ(tailCard[0].matrix.scaleY, 5);
}

TEST(Build, ProgressiveDisplayItems) {
    World::Get();
    TempDir out;
    Group g(out / "p.swf", "");
    g.g->generate->swfType = stProgressive;
    Set(g.player().preloaderFile, "Pre.swf");
    Set(g.player().effectFile, "Fx.swf");
    g.AddMedia("one.flv", "One");
    ASSERT_EQ(generateFLVPlayer(g.g), 0);
    const SwfMovie movie = ReadSwf(out / "p.swf");
    ASSERT_EQ(movie.frames.size(), 2u);
    EXPECT_TRUE(movie.Named(0, "loading"));
    EXPECT_FALSE(movie.Named(0, "play_layer"));
    for (const char* name : {"movie_mc", "slider_mc", "play_layer", "effect_mc", "loading"}) {
        EXPECT_TRUE(movie.Named(1, name)) << name;
    }
    // The preloader is placed again on top of everything else.
    int loadingDepth = 0, topDepth = 0;
    for (const auto& [depth, item] : movie.frames[1]) {
        topDepth = std::max(topDepth, depth);
        if (item.name == "loading") loadingDepth = depth;
    }
    EXPECT_EQ(loadingDepth, topDepth);
    EXPECT_EQ(movie.actionsPerFrame[0], 1) << "the preloader script";
    EXPECT_EQ(movie.actionsPerFrame[1], 1) << "the player script";
}

}  // namespace

namespace {

using namespace pmtest;

TEST(Build, DecorationKinds) {
    World& w = World::Get();
    struct Case {
        const char* name;
        std::function<void(KbnUIOverlayADOption&)> fill;
        int tag;  // defining tag of the decoration's character; -1: a text; 0: no decoration
        double scaleX, scaleY, x, y;
    };
    const Case cases[] = {
        {"video: a small clip at a fixed place",
         [&](KbnUIOverlayADOption& o) {
             o.kind = okVideo;
             Set(o.file, w.Path("green10.flv"));
             o.x = 5;
             o.width = 999;
         },
         39, 0.1, 0.1, 200, 200},
        {"text with a missing font uses the fallback",
         [](KbnUIOverlayADOption& o) {
             o.kind = okText;
             Set(o.text, "Caption");
             Set(o.fontFile, "/no/such/font.ttf");
             o.fontSize = 20;
             o.x = 12;
             o.y = 34;
         },
         -1, 1, 1, 12, 34},
        {"picture scaled to its box",
         [&](KbnUIOverlayADOption& o) {
             o.kind = okImage;
             Set(o.file, w.Path("magenta.png"));
             o.width = 20;
             o.height = 40;
             Set(o.clickUrl, "http://example.com/a\"b");
             Set(o.target, "_self");
         },
         kButtonTag, 0.5, 2, 0, 0},
        {"picture without a file", [](KbnUIOverlayADOption& o) { o.kind = okImage; }, 0, 0, 0, 0, 0},
        {"text without text", [](KbnUIOverlayADOption& o) { o.kind = okText; }, 0, 0, 0, 0, 0},
        {"kind none", [&](KbnUIOverlayADOption& o) { Set(o.file, w.Path("magenta.png")); }, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TempDir out;
        Group g(out / "p.swf", w.Path("green10.flv"));
        c.fill(g.AddOverlay(okNone));
        ASSERT_EQ(generateFLVPlayer(g.g), 0) << c.name;
        const SwfMovie movie = ReadSwf(out / "p.swf");
        // Frame 0 holds the skin (a sprite), the video and the decoration.
        std::vector<SwfItem> found;
        for (const auto& [depth, item] : movie.frames.at(0)) {
            const bool text = item.characterTag == 11 || item.characterTag == 33;
            if (item.name.empty() && item.characterTag != kVideoTag && (c.tag == -1 ? text : c.tag == 0 || item.characterTag == c.tag)) {
                found.push_back(item);
            }
        }
        if (c.tag == 0) {
            EXPECT_TRUE(found.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(found.size(), 1u) << c.name;
        if (c.tag == kButtonTag) {
            // The press action opens the link: both texts are in the button's actions.
            const auto button = std::find_if(movie.tags.begin(), movie.tags.end(), [&](const SwfTag& t) {
                return t.code == kButtonTag && t.body.size() >= 2 && (t.body[0] | (t.body[1] << 8)) == found[0].character;
            });
            ASSERT_NE(button, movie.tags.end());
            const std::string body(button->body.begin(), button->body.end());
            EXPECT_NE(body.find(std::string("http://example.com/a\"b\0_self\0", 29)), std::string::npos) << c.name;
        }
        EXPECT_NEAR(found[0].matrix.scaleX, c.scaleX, 1e-4) << c.name;
        EXPECT_NEAR(found[0].matrix.scaleY, c.scaleY, 1e-4) << c.name;
        EXPECT_NEAR(found[0].matrix.x, c.x, 0.05) << c.name;
        EXPECT_NEAR(found[0].matrix.y, c.y, 0.05) << c.name;
    }
}

}  // namespace
