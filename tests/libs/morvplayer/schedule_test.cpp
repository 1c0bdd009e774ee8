// The list's time line, the master clock and the frame scheduler, without decoders.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "libs/morvplayer/internal.h"

using namespace morvplayer;

namespace {

TEST(FrameScheduler, WaitsShowsAndDrops) {
    const double none = std::nan("");
    struct Case {
        double pts, next, clock;
        FrameAction action;
    } cases[] = {
        {1.00, 1.04, 0.90, FrameAction::Wait},  // early: wait for it
        {1.00, 1.04, 1.00, FrameAction::Show},  // due
        {1.00, 1.04, 1.03, FrameAction::Show},  // due, the next not yet
        {1.00, 1.04, 1.04, FrameAction::Drop},  // the next is due: this one is late
        {1.00, none, 5.00, FrameAction::Show},  // the last frame shows however late
    };
    for (const Case& c : cases) {
        FrameDecision d = ScheduleFrame(c.pts, c.next, c.clock);
        EXPECT_EQ(d.action, c.action) << c.pts << " at " << c.clock;
        if (c.action == FrameAction::Wait) {
            EXPECT_NEAR(d.wait, c.pts - c.clock, 1e-9);
        }
    }
}

// A 25 fps stream against a sound clock that a device drains: every frame shows once
// at its time; a stall of the decoder drops the frames that fell behind, never shifts them.
TEST(FrameScheduler, FollowsAnInjectedSoundClock) {
    double now = 0;
    std::int64_t queued = 0;  // samples handed to the device
    const int rate = 48000;
    auto played = [&] { return std::min<std::int64_t>(queued, std::int64_t(now * rate)); };
    PlayClock clock([&] { return now; }, [&] { return queued - played(); }, rate);
    clock.Reset(0);
    clock.SetPaused(false);
    queued = 10 * rate;  // ten seconds of sound
    clock.SoundQueued(10.0);

    std::vector<int> shownAt(100, -1);  // frame -> millisecond it showed
    int frame = 0, dropped = 0;
    for (int ms = 0; ms < 4000 && frame < 100; ++ms) {
        now = ms / 1000.0;
        if (ms == 2000) now = 2.3, ms = 2300;  // the decoder stalls for 300 ms
        while (frame < 100) {
            double pts = frame * 0.04;
            FrameDecision d = ScheduleFrame(pts, (frame + 1) * 0.04, clock.Position());
            if (d.action == FrameAction::Wait) break;
            if (d.action == FrameAction::Show) shownAt[std::size_t(frame)] = ms;
            else ++dropped;
            ++frame;
        }
    }
    // A millisecond early at most: the scheduler's slack for inexact sleeps.
    for (int f = 0; f <= 50; ++f) EXPECT_NEAR(shownAt[std::size_t(f)], f * 40, 1) << "frame " << f;
    // After the stall the frame of 2.28 s shows at once, 2.32 s on its time; those between were dropped.
    EXPECT_EQ(shownAt[57], 2300);
    EXPECT_NEAR(shownAt[58], 2320, 1);
    EXPECT_EQ(dropped, 6);
    for (int f = 51; f < 57; ++f) EXPECT_EQ(shownAt[std::size_t(f)], -1);
}

TEST(PlayClock, SoundPositionPauseAndMonotonicFallback) {
    double now = 100;
    std::int64_t held = 0;
    PlayClock clock([&] { return now; }, [&] { return held; }, 1000);
    clock.Reset(5);
    EXPECT_DOUBLE_EQ(clock.Position(), 5);  // paused at start
    clock.SetPaused(false);
    now = 101;
    EXPECT_DOUBLE_EQ(clock.Position(), 6);  // monotonic without sound
    clock.SoundQueued(8);
    held = 1500;  // the device still holds 1.5 s
    EXPECT_DOUBLE_EQ(clock.Position(), 6.5);
    now = 110;  // the wall clock does not matter while sound plays
    EXPECT_DOUBLE_EQ(clock.Position(), 6.5);
    held = 0;
    clock.SoundEnded();
    now = 111;
    EXPECT_DOUBLE_EQ(clock.Position(), 9);
    clock.SetPaused(true);
    now = 200;
    EXPECT_DOUBLE_EQ(clock.Position(), 9);
}

DvdChapter Chapter(int number, int startMs, int lengthMs) {
    DvdChapter c{};
    c.present = 1;
    c.number = number;
    c.startMs = startMs;
    c.lengthMs = lengthMs;
    c.lengthSeconds = lengthMs / 1000;
    return c;
}

TEST(Playlist, EntriesChaptersAndFilesOnOneTimeLine) {
    DvdChapter chapters[] = {Chapter(0, 0, 2000), Chapter(1, 2000, 2000), Chapter(2, 4000, 3000)};
    TitlePlayRecord title{};
    title.info.titleNumberPlus1 = 1;
    title.info.ifoPath = "/disc/VIDEO_TS/VTS_01_0.IFO";
    title.info.titleSetNumber = 1;
    title.info.titleSetTitle = 1;
    title.info.chapterCount = 3;
    title.info.chapters = chapters;
    title.info.audioId = 1;
    title.startSecond = 1;
    title.endSecond = 5;
    TitlePlayRecord chapter = title;
    chapter.chapterSelector = 3;  // chapter 2
    chapter.startSecond = 0;
    chapter.endSecond = 2;
    TitlePlayRecord file{};
    file.info.ifoPath = "/clips/a.mp4";
    file.startSecond = 3;
    file.endSecond = 0;  // to the end: 10 s long
    TitlePlayRecord backwards = chapter;
    backwards.startSecond = 2;  // start at end: left out
    TitlePlayRecord missing = chapter;
    missing.chapterSelector = 9;  // not in the title: left out

    Playlist list = BuildPlaylist({title, backwards, chapter, missing, file},
                                  [](const std::string& p) { return p == "/clips/a.mp4" ? 10.0 : 0.0; });
    struct Want {
        bool dvd;
        int chapter;
        double in, out, timeline;
        int entry;
    } want[] = {
        {true, 0, 1, 2, 0, 0}, {true, 1, 0, 2, 1, 0}, {true, 2, 0, 1, 3, 0},  // title 1..5 s
        {true, 2, 0, 2, 4, 1},                                                // chapter 2, 0..2 s
        {false, 0, 3, 10, 6, 2},                                              // file 3 s to its end
    };
    ASSERT_EQ(list.pieces.size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
        const Piece& p = list.pieces[i];
        EXPECT_EQ(p.dvd, want[i].dvd) << i;
        if (p.dvd) {
            EXPECT_EQ(p.chapter, want[i].chapter) << i;
        }
        EXPECT_DOUBLE_EQ(p.mediaIn, want[i].in) << i;
        EXPECT_DOUBLE_EQ(p.mediaOut, want[i].out) << i;
        EXPECT_DOUBLE_EQ(p.timelineIn, want[i].timeline) << i;
        EXPECT_EQ(p.entry, want[i].entry) << i;
    }
    EXPECT_EQ(list.pieces[0].audioId, 1);
    EXPECT_DOUBLE_EQ(list.length, 13);

    double media = -1;
    EXPECT_EQ(list.Locate(0, media), 0);
    EXPECT_DOUBLE_EQ(media, 1);
    EXPECT_EQ(list.Locate(2.5, media), 1);  // chapter 1 at 1.5 s
    EXPECT_DOUBLE_EQ(media, 1.5);
    EXPECT_EQ(list.Locate(4, media), 3);  // exactly at a boundary: the later piece
    EXPECT_DOUBLE_EQ(media, 0);
    EXPECT_EQ(list.Locate(12.9, media), 4);
    EXPECT_EQ(list.Locate(13, media), -1);  // the end itself is past the last frame
}

TEST(Playlist, NothingPlayableGivesAnEmptyList) {
    TitlePlayRecord noPath{};
    noPath.endSecond = 5;
    TitlePlayRecord noChapters{};
    noChapters.info.titleNumberPlus1 = 1;
    noChapters.info.ifoPath = "/disc/VIDEO_TS/VTS_01_0.IFO";
    noChapters.endSecond = 5;
    TitlePlayRecord unknownLength{};
    unknownLength.info.ifoPath = "/gone.mp4";
    Playlist list = BuildPlaylist({noPath, noChapters, unknownLength}, [](const std::string&) { return 0.0; });
    EXPECT_TRUE(list.pieces.empty());
    EXPECT_DOUBLE_EQ(list.length, 0);
    double media;
    EXPECT_EQ(list.Locate(0, media), -1);
}

TEST(Playlist, TimeReportFields) {
    struct Case {
        double seconds;
        int h, m, s;
    } cases[] = {{0, 0, 0, 0}, {59.999, 0, 0, 59}, {60, 0, 1, 0}, {3725.5, 1, 2, 5}, {-3, 0, 0, 0}};
    for (const Case& c : cases) {
        Hms t = ToHms(c.seconds);
        EXPECT_EQ(t.hours, c.h) << c.seconds;
        EXPECT_EQ(t.minutes, c.m) << c.seconds;
        EXPECT_EQ(t.seconds, c.s) << c.seconds;
    }
}

}  // namespace
