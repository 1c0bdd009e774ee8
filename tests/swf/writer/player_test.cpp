// Our movies played by a real Flash player (Ruffle in headless Chromium): what they show
// and what their scripts trace. One movie carries most checks, since each run starts a browser.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures.h"
#include "harness/ruffle.h"
#include "swf/internal/objects.h"
#include "swf/swf.h"

namespace {

using namespace swftest;
using harness::Near;
using harness::Rgb;

SWFAction Action(const Bytes& code) { return swf::detail::NewActionFromBytes(code.data(), code.size()); }

// A filled rectangle drawn the way the player maker draws its cards and pictures:
// left fill, no line, right, down, left, up.
SWFShape Rect(SWFFill (*fill)(SWFShape, void*), void* arg, double w, double h) {
    SWFShape s = newSWFShape();
    SWFFill f = fill(s, arg);
    SWFShape_setLeftFill(s, f);
    SWFShape_setLine(s, 0, 0, 0, 0, 0);
    DrawBox(s, w, h);
    destroySWFFill(f);
    return s;
}

SWFShape SolidRect(Rgb c, double w, double h) {
    return Rect([](SWFShape s, void* a) {
        auto* c = static_cast<Rgb*>(a);
        return SWFShape_addSolidFill(s, c->r, c->g, c->b, 255);
    }, &c, w, h);
}

SWFShape PictureRect(SWFBitmap b) {
    return Rect([](SWFShape s, void* a) { return SWFShape_addBitmapFill(s, static_cast<SWFBitmap>(a), 0x40); },
                b, SWFBitmap_getWidth(b), SWFBitmap_getHeight(b));
}

SWFBitmap Picture(const std::string& path) {
    SWFInput in = newSWFInput_filename(path.c_str());
    SWFBitmap b = newSWFBitmap_fromInput(in);
    destroySWFInput(in);
    return b;
}

// Adds and releases: the movie keeps what it needs.
template <class T>
SWFDisplayItem Place(SWFMovie m, T block, double x, double y) {
    SWFDisplayItem i = SWFMovie_add(m, block);
    SWFDisplayItem_moveTo(i, x, y);
    return i;
}

const Rgb kBackground{30, 60, 120}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kYellow{255, 255, 0},
    kMagenta{255, 0, 255}, kOrange{255, 128, 0}, kWhite{255, 255, 255};

// A 60 x 40 clip: two coloured halves, a picture and a text (ids of every kind to remap).
void WriteClip(const TempDir& dir, const std::string& path) {
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovie_setDimension(m, 60, 40);
    SWFMovie_setBackground(m, 0, 0, 0);
    SWFShape left = SolidRect({0, 0, 255}, 30, 40), right = SolidRect(kWhite, 30, 40);
    SWFBitmap pic = Picture(MakePicture(dir, "clip.png", "red", 10, 10));
    SWFShape p = PictureRect(pic);
    SWFFont font = newSWFFont_fromFile(SansFont().c_str());
    SWFText t = newSWFText();
    SWFText_setFont(t, font);
    SWFText_setHeight(t, 14);
    SWFText_setColor(t, 0, 0, 0, 255);
    SWFText_addString(t, "ok");
    Place(m, left, 0, 0);
    Place(m, right, 30, 0);
    Place(m, p, 5, 5);
    Place(m, t, 34, 10);
    ASSERT_GT(SWFMovie_save(m, path.c_str()), 0) << SWF_getLastError();
    destroySWFText(t);
    destroySWFFont(font);
    destroySWFShape(p);
    destroySWFBitmap(pic);
    destroySWFShape(left);
    destroySWFShape(right);
    destroySWFMovie(m);
}

int CountNear(const harness::Image& img, int x0, int y0, int x1, int y1, Rgb c) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += Near(img.At(x, y), c, 40);
    return n;
}

TEST(SwfPlayer, MovieShowsEveryKindOfObjectAndRunsItsScripts) {
    RUFFLE_OR_SKIP();
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    WriteClip(dir, dir / "clip.swf");

    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovie_setRate(m, 12);
    SWFMovie_setDimension(m, 320, 240);
    SWFMovie_setBackground(m, kBackground.r, kBackground.g, kBackground.b);

    SWFShape red = SolidRect(kRed, 40, 40);
    Place(m, red, 10, 10);
    SWFBitmap png = Picture(MakePicture(dir, "green.png", "lime", 20, 10));
    ASSERT_NE(png, nullptr) << SWF_getLastError();
    SWFShape pngRect = PictureRect(png);
    SWFDisplayItem_scaleTo(Place(m, pngRect, 60, 10), 2, 4);  // 40 x 40
    SWFBitmap jpg = Picture(MakePicture(dir, "yellow.jpg", "yellow", 40, 40));
    ASSERT_NE(jpg, nullptr) << SWF_getLastError();
    SWFShape jpgRect = PictureRect(jpg);
    Place(m, jpgRect, 110, 10);

    SWFButton button = newSWFButton();
    SWFShape magenta = SolidRect(kMagenta, 40, 40);
    SWFButton_addCharacter(button, magenta, SWFBUTTON_UP | SWFBUTTON_OVER | SWFBUTTON_DOWN | SWFBUTTON_HIT);
    SWFAction pressed = Action(TraceAction("pressed"));
    SWFButton_addAction(button, pressed, SWFBUTTON_MOUSEDOWN);
    Place(m, button, 160, 10);

    SWFMovieClip sprite = newSWFMovieClip();
    SWFShape orange = SolidRect(kOrange, 30, 30);
    SWFMovieClip_add(sprite, orange);
    SWFMovieClip_nextFrame(sprite);
    SWFAction spriteTrace = Action(TraceAction("sprite frame 2") + StopAction());
    SWFMovieClip_add(sprite, spriteTrace);
    SWFMovieClip_nextFrame(sprite);
    Place(m, sprite, 210, 10);

    SWFFont font = newSWFFont_fromFile(SansFont().c_str());
    ASSERT_NE(font, nullptr) << SWF_getLastError();
    SWFText text = newSWFText();
    SWFText_setFont(text, font);
    SWFText_setHeight(text, 40);
    SWFText_setColor(text, 255, 255, 255, 255);
    SWFText_addString(text, "HH");
    Place(m, text, 10, 60);

    SWFPrebuiltClip clip = newSWFPrebuiltClip_fromFile((dir / "clip.swf").c_str());
    ASSERT_NE(clip, nullptr) << SWF_getLastError();
    Place(m, clip, 10, 180);

    std::string flv = MakeFlv(dir, "v.flv", 3);
    SWFInput in = newSWFInput_filename(flv.c_str());
    SWFVideoStream video = newSWFVideoStream_fromInput(in);
    SWFSoundStream sound = newSWFSoundStream_fromInput(in);
    ASSERT_NE(video, nullptr) << SWF_getLastError();
    ASSERT_NE(sound, nullptr) << SWF_getLastError();
    SWFMovie_setSoundStream(m, sound);
    Place(m, video, 150, 110);
    int frames = SWFVideoStream_getNumFrames(video);
    EXPECT_EQ(frames, 36);
    // The same video inside a sprite, a quarter of its size, advancing with the sprite's frames.
    SWFMovieClip videoClip = newSWFMovieClip();
    SWFMovieClip_add(videoClip, video);
    for (int i = 0; i < frames; ++i) SWFMovieClip_nextFrame(videoClip);
    SWFDisplayItem_scaleTo(Place(m, videoClip, 100, 120), 0.25, 0.25);
    for (int i = 0; i < frames; ++i) SWFMovie_nextFrame(m);
    SWFAction end = Action(TraceAction("end") + StopAction());
    SWFMovie_add(m, end);

    // Everything is released before the save: the movie holds what it uses.
    for (SWFShape s : {red, pngRect, jpgRect, magenta, orange}) destroySWFShape(s);
    for (SWFBitmap b : {png, jpg}) destroySWFBitmap(b);
    for (SWFAction a : {pressed, spriteTrace, end}) destroySWFAction(a);
    destroySWFButton(button);
    destroySWFMovieClip(sprite);
    destroySWFMovieClip(videoClip);
    destroySWFText(text);
    destroySWFFont(font);
    destroySWFPrebuiltClip(clip);
    destroySWFVideoStream(video);
    destroySWFSoundStream(sound);
    destroySWFInput(in);
    ASSERT_GT(SWFMovie_save(m, (dir / "movie.swf").c_str()), 0) << SWF_getLastError();
    destroySWFMovie(m);

    harness::RuffleJob job;
    job.root = dir.path().string();
    job.swf = "movie.swf";
    job.width = 320;
    job.height = 240;
    job.shots = {{400, dir / "early.png"}, {1900, dir / "late.png"}};
    job.clicks = {{900, 180, 30}};
    job.durationMs = 15000;  // a slow machine still reaches the last frame; "end" stops it sooner
    job.timeoutMs = 45000;
    job.untilTrace = "end";
    harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(r.errors, testing::IsEmpty());
    EXPECT_THAT(r.traces, testing::UnorderedElementsAre("sprite frame 2", "pressed", "end"));
    ASSERT_EQ(r.screenshots.size(), 2u);
    harness::Image early = harness::ReadPng(r.screenshots[0]), late = harness::ReadPng(r.screenshots[1]);
    ASSERT_EQ(early.width, 320);

    struct Probe {
        const char* what;
        int x, y;
        Rgb colour;
    };
    for (const Probe& p : {Probe{"background", 300, 230, kBackground}, Probe{"solid fill", 30, 30, kRed},
                           Probe{"PNG fill scaled", 98, 48, kGreen}, Probe{"JPEG fill", 130, 30, kYellow},
                           Probe{"button", 180, 30, kMagenta}, Probe{"sprite", 225, 25, kOrange},
                           Probe{"clip left half", 12, 215, {0, 0, 255}}, Probe{"clip picture", 20, 190, kRed}})
        EXPECT_TRUE(Near(late.At(p.x, p.y), p.colour)) << p.what;
    // "HH" in white: two stems of each letter fill a good part of the text's box, nothing below.
    EXPECT_GT(CountNear(late, 10, 60, 90, 110, kWhite), 300);
    EXPECT_EQ(CountNear(late, 10, 112, 90, 118, kWhite), 0);
    // The video's picture changes between the two shots; the still objects do not.
    int changed = 0;
    for (int y = 110; y < 230; ++y)
        for (int x = 150; x < 310; ++x) changed += !Near(early.At(x, y), late.At(x, y), 30);
    EXPECT_GT(changed, 200);
    int changedInSprite = 0;
    for (int y = 120; y < 150; ++y)
        for (int x = 100; x < 140; ++x) changedInSprite += !Near(early.At(x, y), late.At(x, y), 30);
    EXPECT_GT(changedInSprite, 20);
    EXPECT_TRUE(Near(early.At(30, 30), late.At(30, 30), 0));

    // The imported clip looks as it does on its own.
    harness::RuffleJob alone;
    alone.root = dir.path().string();
    alone.swf = "clip.swf";
    alone.width = 60;
    alone.height = 40;
    alone.shots = {{300, dir / "clip.png.shot.png"}};
    harness::RuffleResult c = harness::RunRuffle(alone);
    ASSERT_TRUE(c.ok) << c.error;
    harness::Image own = harness::ReadPng(c.screenshots.at(0));
    int differ = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) differ += !Near(own.At(x, y), late.At(10 + x, 180 + y), 40);
    EXPECT_LT(differ, 30) << "pixels of the imported clip that differ from the clip alone";
}

}  // namespace
