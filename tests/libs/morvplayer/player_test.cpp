// The player library in the headless backend: pictures in its window, snapshots against
// FFmpeg's frames, seeks by a frame counter, time reports, the DVD fixture's streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

#include "fixtures/dvd_fixture.h"
#include "libs/morvdvdread/morvdvdread.h"
#include "libs/morvplayer/host.h"
#include "libs/morvplayer/morvplayer.h"
#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "support/media_tsan.h"
#include "support/process.h"
#include "support/tempdir.h"

// Under AddressSanitizer: SDL keeps an error text per thread that it never frees when its
// sound thread ends, and libdvdread loses a little when a disc cannot be opened. Neither is ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2-2.0.so\nleak:libdvdread.so\n"; }

namespace fs = std::filesystem;
using namespace platform;

namespace {

testsupport::TempDir* gDir = nullptr;
std::string gCounter, gBars, gBack, gRestartDvd;

void Shell(const std::string& cmd) {
    int status = 0;
    std::string out = testsupport::Capture(cmd + " 2>&1", &status);
    ASSERT_EQ(status, 0) << cmd << "\n" << out;
}

class Env : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        SetBackend(CreateHeadlessBackend(1024, 768));
        PlayerHost host = PlatformPlayerHost();
        setPlayerHost(&host);
        gDir = new testsupport::TempDir;
        // The clips are made once per build (each case runs in a process of its own).
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        std::string media = build ? std::string(build) + "/fixtures/player" : gDir->str();
        fs::create_directories(media);
        auto make = [&](const std::string& name, const std::string& args) {
            std::string path = media + "/" + name;
            if (!fs::exists(path)) {
                std::string temp = gDir->str() + "/" + name;
                Shell("ffmpeg -nostdin -loglevel error -y " + args + " " + temp);
                fs::copy_file(temp, path + ".tmp" + std::to_string(getpid()), fs::copy_options::overwrite_existing);
                fs::rename(path + ".tmp" + std::to_string(getpid()), path);
            }
            return path;
        };
        // Eight stripes spell the frame number in binary (least bit on the left), 25 fps,
        // a key frame every second, with a tone.
        gCounter = make("counter.mp4",
                        "-f lavfi -i \"color=black:s=320x240:r=25:d=8,"
                        "geq=lum='255*mod(floor(N/pow(2\\,floor(X*8/W)))\\,2)':cb=128:cr=128\" "
                        "-f lavfi -i sine=frequency=1000:sample_rate=44100:duration=8 -c:v libx264 -g 25 -crf 12 "
                        "-pix_fmt yuv420p -c:a aac -shortest");
        gBars = make("bars.mp4", "-f lavfi -i testsrc2=s=320x240:r=25:d=4 -c:v libx264 -crf 10 -pix_fmt yuv420p");
        gBack = make("back.bmp", "-f lavfi -i color=0x00ff00:s=64x48 -frames:v 1");
        // A DVD whose one chapter is two separately made programs, so that its stamps
        // restart 3 s in: frames 0-74 then 75-149 (the counter's stripes), 440 Hz then 880 Hz.
        gRestartDvd = media + "/restart";
        if (!fs::exists(gRestartDvd + "/VIDEO_TS/VIDEO_TS.IFO")) {
            std::string work = gDir->str() + "/restart";
            fs::create_directories(work);
            for (int part = 0; part < 2; ++part)
                Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i \"color=black:size=8x2:rate=25:duration=3,"
                      "format=yuv420p,geq=lum='if(mod(floor((N+" + std::to_string(75 * part) +
                      ")/pow(2\\,X))\\,2)\\,235\\,16)':cb=128:cr=128,scale=720:576:flags=neighbor\" -f lavfi -i "
                      "sine=frequency=" + std::to_string(440 * (part + 1)) + ":sample_rate=48000:duration=3 -map 0:v "
                      "-map 1:a -target pal-dvd -aspect 4:3 -g 15 -flags +cgop -sc_threshold 1000000000 -b:v 2000k "
                      "-ac 2 -threads 2 " + work + "/part" + std::to_string(part) + ".mpg");
            std::ofstream(work + "/dvd.xml") << "<dvdauthor dest=\"" << work << "/dvd\"><vmgm/><titleset><titles>"
                                              << "<video format=\"pal\" aspect=\"4:3\"/><audio lang=\"en\"/><pgc>"
                                              << "<vob file=\"" << work << "/part0.mpg\" chapters=\"0\"/>"
                                              << "<vob file=\"" << work << "/part1.mpg\"/></pgc></titles></titleset>"
                                              << "</dvdauthor>";
            Shell("VIDEO_FORMAT=PAL dvdauthor -x " + work + "/dvd.xml");
            // Each case runs in a process of its own, so another may have placed the disc
            // meanwhile: the rename is atomic, and the disc already there stands.
            std::error_code error;
            fs::rename(work + "/dvd", gRestartDvd, error);
            if (error) {
                ASSERT_TRUE(fs::exists(gRestartDvd + "/VIDEO_TS/VIDEO_TS.IFO")) << gRestartDvd << ": " << error.message();
            }
        }
    }
    void TearDown() override {
        close_sdl();
        delete gDir;
    }
};
const auto* gEnv = ::testing::AddGlobalTestEnvironment(new Env);

// The back picture's green, through the encoders' rounding.
bool IsBack(COLORREF c) { return GetGValue(c) > 240 && GetRValue(c) < 16 && GetBValue(c) < 16; }

// Runs the window thread's messages until the condition holds (false after 20 s).
template <typename F>
bool PumpUntil(F done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

HWND OpenWindow(int width = 320, int height = 240, const std::string& back = "") {
    EXPECT_EQ(initPlayOption("", back.c_str(), 0, 0, width, height), 0);
    HWND h = FindWindowA("SDL_app", nullptr);
    if (h) ShowWindow(h, SW_SHOW);
    Application->ProcessMessages();
    return h;
}

struct Bmp {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};
// Reads a 24-bit bottom-up BMP as written by the player.
Bmp ReadBmp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), {});
    Bmp b;
    if (d.size() < 54) return b;
    auto u32 = [&d](int o) { return int(d[o] | d[o + 1] << 8 | d[o + 2] << 16 | d[o + 3] << 24); };
    int offset = u32(10);
    b.width = u32(18);
    int h = u32(22);
    b.height = std::abs(h);
    int stride = (b.width * 3 + 3) / 4 * 4;
    b.rgb.resize(std::size_t(b.width) * b.height * 3);
    for (int y = 0; y < b.height; ++y) {
        int sy = h > 0 ? b.height - 1 - y : y;
        for (int x = 0; x < b.width; ++x)
            for (int c = 0; c < 3; ++c) {
                std::size_t at = std::size_t(offset) + std::size_t(sy) * stride + x * 3 + (2 - c);
                b.rgb[(std::size_t(y) * b.width + x) * 3 + c] = at < d.size() ? d[at] : 0;
            }
    }
    return b;
}

// The frame number the stripes of a picture spell; -1 when there is no picture.
int CounterOf(int width, const std::function<int(int x)>& luma) {
    if (width <= 0) return -1;
    int n = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (luma(int((bit + 0.5) * width / 8)) > 128) n |= 1 << bit;
    return n;
}

int CapturedCounter(const std::string& path) {
    if (morvCapture(path.c_str()) != 0) return -1;
    Bmp b = ReadBmp(path);
    return CounterOf(b.width, [&b](int x) { return b.rgb[(std::size_t(b.height / 2) * b.width + x) * 3 + 1]; });
}

int PanelCounter(HWND h) {
    return CounterOf(320, [h](int x) { return int(GetGValue(GetWindowSurfacePixel(h, x, 120))); });
}

// Time reports, as the callback saw them.
std::mutex gReportsMutex;
std::vector<PlayTimeInfo> gReports;
std::int32_t Record(PlayTimeInfo* t) {
    std::lock_guard lock(gReportsMutex);
    gReports.push_back(*t);
    return 0;
}
PlayerTimeCallback gRecord = &Record;
int EndReports() {
    std::lock_guard lock(gReportsMutex);
    int n = 0;
    for (auto& r : gReports) n += r.ended;
    return n;
}
void ClearReports() {
    std::lock_guard lock(gReportsMutex);
    gReports.clear();
}

TEST(PreviewPlayer, SeeksLandOnTheTargetFrame) {
    HWND h = OpenWindow();
    ASSERT_TRUE(h);
    ASSERT_EQ(openMediaFile(gCounter.c_str(), 0, 0), 0);
    std::string shot = gDir->str() + "/seek.bmp";
    ASSERT_TRUE(PumpUntil([&] { return CapturedCounter(shot) == 0; })) << "the first frame shows on opening";
    for (double target : {0.0, 3.0, 4.52, 7.0, 7.96}) {
        findDvdTimePlay(target);
        int want = int(std::lround(target * 25));
        EXPECT_TRUE(PumpUntil([&] { return CapturedCounter(shot) == want && PanelCounter(h) == want; }))
            << "target " << target << " shows " << CapturedCounter(shot) << " on the panel " << PanelCounter(h);
    }
    ClearReports();
    setPlayerHandle(&gRecord);
    findDvdTimePlay(8.5);  // beyond the end: the stream ends
    EXPECT_TRUE(PumpUntil([] { return EndReports() == 1; }));
    setPlayerHandle(nullptr);
    stopPlay(1);
}

TEST(PreviewPlayer, SnapshotsByExtension) {
    OpenWindow();
    ASSERT_EQ(openMediaFile(gBars.c_str(), 0, 0), 0);
    findDvdTimePlay(2);
    std::string probe = gDir->str() + "/probe.bmp";
    ASSERT_TRUE(PumpUntil([&] { return morvCapture(probe.c_str()) == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Application->ProcessMessages();
    std::string ref = gDir->str() + "/ref.png";
    Shell("ffmpeg -nostdin -loglevel error -y -ss 2 -i " + gBars + " -frames:v 1 " + ref);
    struct Case {
        const char* name;
        const char* format;  // as identify names it; nullptr: refused
    } cases[] = {{"a.jpg", "JPEG"}, {"b.JPEG", "JPEG"}, {"c.bmp", "BMP"}, {"d.Png", "PNG"}, {"e.gif", nullptr},
                 {"noext", nullptr}};
    for (const Case& c : cases) {
        std::string path = gDir->str() + "/" + c.name;
        int r = morvCapture(path.c_str());
        if (!c.format) {
            EXPECT_NE(r, 0) << c.name;
            EXPECT_FALSE(fs::exists(path)) << c.name;
            continue;
        }
        ASSERT_EQ(r, 0) << c.name;
        std::string id = testsupport::Capture("identify -format '%m %w %h' " + testsupport::ShellQuote(path));
        EXPECT_EQ(id.substr(0, id.find(' ')).substr(0, std::strlen(c.format)), c.format) << c.name << ": " << id;
        EXPECT_EQ(id.substr(id.find(' ')), " 320 240") << c.name;
        std::string psnr = testsupport::Capture("compare -metric PSNR " + testsupport::ShellQuote(path) + " " + ref +
                                                " null: 2>&1");
        EXPECT_GT(std::atof(psnr.c_str()), 30.0) << c.name << " PSNR " << psnr;
    }
    for (const auto& e : fs::directory_iterator(gDir->path()))
        EXPECT_NE(e.path().extension(), ".part") << "a temporary name was left: " << e.path();
    EXPECT_NE(morvCapture((gDir->str() + "/no/such/folder/x.jpg").c_str()), 0);
    stopPlay(1);
    EXPECT_NE(morvCapture((gDir->str() + "/after-stop.jpg").c_str()), 0) << "nothing on show after a stop";
}

// Gray, flips, aspect and brightness, seen in the panel's pixels.
TEST(PreviewPlayer, PictureSettingsShowInThePanel) {
    HWND h = OpenWindow(400, 240, gBack);
    ASSERT_EQ(openMediaFile(gBars.c_str(), 0, 0), 0);
    auto px = [h](int x, int y) { return GetWindowSurfacePixel(h, x, y); };
    // 4:3 in a 400 x 240 panel: 320 x 240 in the middle, the back picture (green) beside it.
    ASSERT_TRUE(PumpUntil([&] { return px(200, 120) != px(10, 120); }));
    EXPECT_TRUE(IsBack(px(10, 120)));
    EXPECT_TRUE(IsBack(px(390, 120)));
    COLORREF left = px(60, 60), right = px(339, 60);
    auto settle = [&](auto done) { return PumpUntil(done); };

    horiFlipFlim();
    EXPECT_TRUE(settle([&] { return px(339, 60) == left && px(60, 60) == right; })) << "horizontal flip";
    noFlipFlim();
    EXPECT_TRUE(settle([&] { return px(60, 60) == left; }));

    grayFlim();
    EXPECT_TRUE(settle([&] {
        for (int x = 50; x < 350; x += 20) {
            COLORREF c = px(x, 100);
            if (GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c)) return false;
        }
        return true;
    })) << "gray";
    noEffectFlim();

    setPlayAspectRatio("16:9");  // 400 x 226 across the panel: the back picture above and below
    EXPECT_TRUE(settle([&] { return IsBack(px(200, 2)) && !IsBack(px(10, 120)); }));
    setPlayAspectRatio("original");
    leftCropFlim(160);  // the right half of the picture, shown at 160 x 240 scaled into the panel
    EXPECT_TRUE(settle([&] { return IsBack(px(100, 120)) && !IsBack(px(200, 120)); }));
    cropFlim();

    auto sum = [&] {
        long s = 0;
        for (int x = 50; x < 350; x += 10) s += GetRValue(px(x, 200)) + GetGValue(px(x, 200)) + GetBValue(px(x, 200));
        return s;
    };
    ASSERT_TRUE(settle([&] { return px(60, 60) == left; }));
    long before = sum();
    setBrightness(60);
    EXPECT_TRUE(settle([&] { return sum() > before + 3000; })) << "brighter";
    setBrightness(0);
    stopPlay(1);
    EXPECT_TRUE(settle([&] { return px(200, 120) == RGB(0, 0, 0); })) << "the idle picture (none given: black)";
}

TEST(PreviewPlayer, TimeReportsOfAListOfTwo) {
    OpenWindow();
    ClearReports();
    setPlayerHandle(&gRecord);
    TitlePlayRecord r[2]{};
    for (auto& e : r) e.info.ifoPath = gCounter.c_str();
    r[0].startSecond = 1, r[0].endSecond = 2;
    r[1].startSecond = 5, r[1].endSecond = 6;
    ASSERT_EQ(openMultiTitleFile(r, 2), 0);
    startPlay(0);
    ASSERT_TRUE(PumpUntil([] { return EndReports() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    setPlayerHandle(nullptr);
    std::lock_guard lock(gReportsMutex);
    ASSERT_GE(gReports.size(), 5u);  // at least every 250 ms over 2 s
    int last = -1, ends = 0;
    for (const auto& t : gReports) {
        ends += t.ended;
        EXPECT_EQ(t.lengthHours * 3600 + t.lengthMinutes * 60 + t.lengthSeconds, 2);
        int pos = t.hours * 3600 + t.minutes * 60 + t.seconds;
        EXPECT_GE(pos, last);
        EXPECT_LE(pos, 2);
        last = pos;
    }
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(gReports.back().ended, 1);
}

std::atomic<int> gStopCalls{0};
std::int32_t StopInside(PlayTimeInfo* t) {
    if (!t->ended) stopPlay(1);
    ++gStopCalls;
    return 0;
}
PlayerTimeCallback gStopInside = &StopInside;

TEST(PreviewPlayer, ACallbackMayStopThePlayer) {
    OpenWindow();
    gStopCalls = 0;
    setPlayerHandle(&gStopInside);
    ASSERT_EQ(openMediaFile(gCounter.c_str(), 0, 3), 0);
    startPlay(0);
    EXPECT_TRUE(PumpUntil([] { return gStopCalls >= 1; }));
    // Stopped: no more reports, and the player opens the next list as usual.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(gStopCalls.load(), 1);
    setPlayerHandle(nullptr);
    std::string shot = gDir->str() + "/after.bmp";
    ASSERT_EQ(openMediaFile(gCounter.c_str(), 2, 3), 0);
    EXPECT_TRUE(PumpUntil([&] { return CapturedCounter(shot) == 50; }));
    stopPlay(1);
}

// A callback that stops the list: nothing of the stopped list shows after the stop and
// nothing of it can be captured (a frame due as the report came must not follow it).
std::atomic<int> gLateStops{0};
std::int32_t StopOnReport(PlayTimeInfo* t) {
    if (t->ended) return 0;
    stopPlay(1);
    ++gLateStops;
    return 0;
}
PlayerTimeCallback gStopOnReport = &StopOnReport;

TEST(PreviewPlayer, NoFrameShowsAfterACallbackStoppedTheList) {
    std::string idle = gDir->str() + "/idle-red.bmp";
    Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=0xff0000:s=32x24 -frames:v 1 " + idle);
    ASSERT_EQ(initPlayOption(idle.c_str(), "", 0, 0, 320, 240), 0);
    HWND h = FindWindowA("SDL_app", nullptr);
    ASSERT_TRUE(h);
    ShowWindow(h, SW_SHOW);
    auto isIdle = [h] {
        COLORREF c = GetWindowSurfacePixel(h, 160, 120);
        return GetRValue(c) > 240 && GetGValue(c) < 16 && GetBValue(c) < 16;
    };
    setPlayerHandle(&gStopOnReport);
    int shown = 0, captured = 0;
    const int kRounds = 12;
    for (int round = 0; round < kRounds; ++round) {
        int stops = gLateStops.load();
        ASSERT_EQ(openMediaFile(gBars.c_str(), 0, 0), 0);
        startPlay(0);
        ASSERT_TRUE(PumpUntil([&] { return gLateStops.load() > stops; })) << "round " << round;
        // Time for a frame rendered after the stop to reach the panel.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Application->ProcessMessages();
        shown += !isIdle();
        captured += morvCapture((gDir->str() + "/stopped.bmp").c_str()) == 0;
    }
    setPlayerHandle(nullptr);
    EXPECT_EQ(shown, 0) << "rounds of " << kRounds << " with a frame over the idle picture";
    EXPECT_EQ(captured, 0) << "rounds of " << kRounds << " whose stopped list could be captured";
    stopPlay(1);
}

TEST(PreviewPlayer, WhatCannotPlayShowsTheIdlePictureAndEnds) {
    std::string idle = gDir->str() + "/idle.bmp";
    Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=0x0000ff:s=32x24 -frames:v 1 " + idle);
    ASSERT_EQ(initPlayOption(idle.c_str(), "", 0, 0, 160, 120), 0);
    HWND h = FindWindowA("SDL_app", nullptr);
    ShowWindow(h, SW_SHOW);
    std::string garbage = gDir->Write("garbage.mp4", std::string(5000, 'x')).string();
    std::string truncated = gDir->str() + "/truncated.mp4";
    fs::copy_file(gCounter, truncated);
    fs::resize_file(truncated, 3000);
    setPlayerHandle(&gRecord);
    struct Case {
        const char* what;
        std::string path;
        int start, end;
    } cases[] = {{"missing", gDir->str() + "/none.mp4", 0, 2}, {"garbage", garbage, 0, 2},
                 {"truncated", truncated, 0, 2},           {"start after end", gCounter, 3, 2},
                 {"a folder", gDir->str(), 0, 2}};
    for (const Case& c : cases) {
        ClearReports();
        openMediaFile(c.path.c_str(), c.start, c.end);
        startPlay(0);
        EXPECT_TRUE(PumpUntil([&] {
            COLORREF px = GetWindowSurfacePixel(h, 80, 60);
            return EndReports() == 1 && GetBValue(px) > 240 && GetRValue(px) < 16 && GetGValue(px) < 16;
        })) << c.what << ": " << EndReports() << " end reports, pixel " << std::hex << GetWindowSurfacePixel(h, 80, 60);
    }
    ClearReports();
    DvdChapter chapter{};
    chapter.lengthMs = 2000;
    DvdPlaybackInfo info{};
    info.titleNumberPlus1 = 1;
    info.ifoPath = "/nowhere/VIDEO_TS/VTS_01_0.IFO";
    info.titleSetNumber = info.titleSetTitle = 1;
    info.chapterCount = 1;
    info.chapters = &chapter;
    openDvdFile(&info, 0, 0);
    EXPECT_TRUE(PumpUntil([] { return EndReports() == 1; })) << "missing IFO";
    openMultiTitleFile(nullptr, 3);
    startPlay(0);
    pausePlay();
    findDvdTimePlay(1e300);
    stopPlay(0);
    stopPlay(1);
    setPlayerHandle(nullptr);
}

TEST(PreviewPlayer, InitAndCloseLeaveOneWindow) {
    HWND previous = nullptr;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(initPlayOption("", "", 0, 0, 100 + i, 80), 0);
        HWND h = FindWindowA("SDL_app", nullptr);
        ASSERT_TRUE(h);
        if (previous) {
            EXPECT_FALSE(IsWindow(previous)) << "a second call replaces the window";
        }
        RECT rc{};
        GetClientRect(h, &rc);
        EXPECT_EQ(rc.right, 100 + i);
        previous = h;
        if (i % 2) {
            close_sdl();
            close_sdl();
            EXPECT_FALSE(IsWindow(h));
            EXPECT_EQ(FindWindowA("SDL_app", nullptr), nullptr);
            previous = nullptr;
        }
    }
    // A window of size 0 is made and paints nothing.
    ASSERT_EQ(initPlayOption("", "", 0, 0, 0, 0), 0);
    ASSERT_EQ(openMediaFile(gBars.c_str(), 0, 1), 0);
    startPlay(0);
    Application->ProcessMessages();
    close_sdl();
    startPlay(0);  // after close: nothing happens
    EXPECT_EQ(FindWindowA("SDL_app", nullptr), nullptr);
}

// Many threads calling in any order: no crash, hang or leak.
TEST(PreviewPlayer, CallsFromSeveralThreads) {
    OpenWindow();
    std::atomic<bool> go{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([t, &go] {
            for (int i = 0; go && i < 6; ++i) {
                openMediaFile(gBars.c_str(), 0, 2);
                startPlay(0);
                setBrightness(10 * t);
                findDvdTimePlay(1.0);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                pausePlay();
                stopPlay(i % 2);
            }
        });
    for (auto& th : threads) th.join();
    Application->ProcessMessages();
    stopPlay(1);
    SUCCEED();
}


// A title as the program hands it over, filled from the reader's record.
DvdPlaybackInfo InfoOf(const DvdTitle& d, int audioId, int subtitleId) {
    DvdPlaybackInfo info{};
    info.titleNumberPlus1 = d.titleNumber + 1;
    info.ifoPath = d.ifoPath;
    info.titleSetNumber = d.titleSetNumber;
    info.titleSetTitle = d.titleSetTitle;
    info.chapterCount = d.chapterCount;
    info.chapters = d.chapters;
    info.audioId = audioId;
    info.subtitleId = subtitleId;
    std::memcpy(info.palette, d.palette, sizeof info.palette);
    return info;
}

// The fixture's title as the program hands it over.
DvdPlaybackInfo FixtureTitle(int title, int audioId, int subtitleId) {
    static DvdDisc* disc = nullptr;
    if (!disc) {
        auto fx = lumacast::fixtures::LoadDvdFixture();
        EXPECT_EQ(parseDVD(&disc, fx.root.c_str(), 0), DVD_OK);
    }
    DvdPlaybackInfo info{};
    if (!disc) return info;
    int n = 0;
    for (int s = 0; s < disc->titleSetCount; ++s)
        for (int t = 0; t < disc->titleSets[s].titleCount; ++t, ++n) {
            const DvdTitle& d = disc->titleSets[s].titles[t];
            if (d.titleNumber == title) info = InfoOf(d, audioId, subtitleId);
        }
    return info;
}

// A chapter whose stamps restart plays on one time line: every picture in turn, positions
// that only grow, the whole length; seeks behind the restart land on their frame.
TEST(PreviewPlayerDvd, StampsRestartingInsideAChapterKeepOneTimeLine) {
    DvdDisc* disc = nullptr;
    ASSERT_EQ(parseDVD(&disc, gRestartDvd.c_str(), 0), DVD_OK);
    ASSERT_TRUE(disc->titleSetCount >= 1 && disc->titleSets[0].titleCount >= 1);
    const DvdTitle& title = disc->titleSets[0].titles[0];
    ASSERT_EQ(title.chapterCount, 1);
    DvdPlaybackInfo info = InfoOf(title, 0, -1);

    HWND h = OpenWindow();
    ClearReports();
    setPlayerHandle(&gRecord);
    ASSERT_EQ(openDvdFile(&info, 0, 0), 0);
    // The chapter opens on the first program's first picture.
    std::vector<int> shown;
    ASSERT_TRUE(PumpUntil([&] { return PanelCounter(h) == 0; })) << PanelCounter(h);
    shown.push_back(0);
    startPlay(0);
    ASSERT_TRUE(PumpUntil([&] {
        int n = PanelCounter(h);
        if (shown.empty() || shown.back() != n) shown.push_back(n);
        return EndReports() == 1;
    }));
    setPlayerHandle(nullptr);
    {
        std::lock_guard lock(gReportsMutex);
        int last = -1, reached = 0;
        for (const auto& t : gReports) {
            int pos = t.hours * 3600 + t.minutes * 60 + t.seconds;
            EXPECT_GE(pos, last);
            last = pos;
            if (!t.ended) reached = std::max(reached, pos);
            EXPECT_EQ(t.lengthSeconds, 6);
        }
        EXPECT_GE(reached, 5) << "the pictures after the restart play too";
    }
    // On to the second program's last picture.
    EXPECT_EQ(shown.back(), 149);
    int backwards = 0;
    for (std::size_t i = 1; i < shown.size(); ++i) backwards += shown[i] < shown[i - 1];
    EXPECT_EQ(backwards, 0) << "the pictures show in their order";

    ASSERT_EQ(openDvdFile(&info, 0, 0), 0);
    std::string shot = gDir->str() + "/restart.bmp";
    for (double target : {4.52, 1.0, 3.2, 5.4}) {
        findDvdTimePlay(target);
        int want = int(std::lround(target * 25));
        EXPECT_TRUE(PumpUntil([&] { return CapturedCounter(shot) == want; }))
            << "target " << target << " shows " << CapturedCounter(shot);
    }
    stopPlay(1);
}

// A forward seek past a restart that has not played yet lands on its frame: chapter 1 of
// the timing fixture's second title (tests/fixtures/make_timing_dvd.sh) is two separately
// made programs of 1.2 s, whose stamps alone do not give the restart away at opening.
TEST(PreviewPlayerDvd, ForwardSeekPastARestartNotYetPlayedLandsOnItsFrame) {
    DvdDisc* disc = nullptr;
    const std::string root = std::string(std::getenv("LUMACAST_BUILD_DIR")) + "/fixtures/dvd_timing";
    ASSERT_EQ(parseDVD(&disc, root.c_str(), 0), DVD_OK);
    ASSERT_GE(disc->titleSetCount, 2);
    const DvdTitle& title = disc->titleSets[1].titles[0];
    ASSERT_EQ(title.chapterCount, 3);
    DvdPlaybackInfo info = InfoOf(title, 0, -1);
    OpenWindow();
    const std::string shot = gDir->str() + "/forward.bmp";
    for (double target : {1.8, 2.2}) {
        ASSERT_EQ(openDvdFile(&info, 1, 0), 0);
        findDvdTimePlay(target);
        const int want = int(std::lround(target * 25));
        EXPECT_TRUE(PumpUntil([&] { return CapturedCounter(shot) == want; }))
            << "target " << target << " shows " << CapturedCounter(shot);
    }
    stopPlay(1);
}

// ImageMagick's PSNR of two pictures of one size (0 when they cannot be compared).
double Psnr(const std::string& a, const std::string& b) {
    std::string out = testsupport::Capture("compare -metric PSNR " + testsupport::ShellQuote(a) + " " +
                                           testsupport::ShellQuote(b) + " null: 2>&1");
    if (out.rfind("inf", 0) == 0) return 1000;
    return std::atof(out.c_str());
}

// A capture right after a seek holds the frame at the target, as ffmpeg decodes it: never
// the picture from before the seek, and on a DVD not a later key frame's either.
TEST(PreviewPlayer, ACaptureRightAfterASeekShowsTheTarget) {
    auto fx = lumacast::fixtures::LoadDvdFixture();
    DvdPlaybackInfo title0 = FixtureTitle(0, 0, -1);  // NTSC, 4 s, a key frame every 0.5 s
    ASSERT_TRUE(title0.ifoPath);
    struct Case {
        const char* what;
        std::function<int()> open;
        std::string source;  // what ffmpeg decodes: the frames from the start
        double fps;
        std::vector<double> targets;
    } cases[] = {
        {"file", [] { return openMediaFile(gBars.c_str(), 0, 0); }, gBars, 25, {2.0, 0.6, 3.2, 1.36, 2.52, 0.2}},
        {"DVD title", [&title0] { return openDvdFile(&title0, 0, 0); }, fx.videoTs + "/VTS_01_1.VOB", 30000.0 / 1001,
         {1.3, 3.4, 0.7, 2.8}},
    };
    OpenWindow();
    for (const Case& c : cases) {
        ASSERT_EQ(c.open(), 0) << c.what;
        std::string shot = gDir->str() + "/after-seek.png";
        ASSERT_TRUE(PumpUntil([&] { return morvCapture(shot.c_str()) == 0; })) << c.what;
        for (double target : c.targets) {
            findDvdTimePlay(target);
            ASSERT_EQ(morvCapture(shot.c_str()), 0) << c.what << " at " << target;
            std::string id = testsupport::Capture("identify -format '%w:%h' " + shot);
            int frame = int(std::lround(target * c.fps));
            std::string ref = gDir->str() + "/ref.png";
            Shell("ffmpeg -nostdin -loglevel error -y -i " + c.source + " -vf 'select=eq(n\\," +
                  std::to_string(frame) + "),scale=" + id + "' -frames:v 1 " + ref);
            double psnr = Psnr(shot, ref);
            EXPECT_GT(psnr, 30.0) << c.what << " at " << target << " s (frame " << frame << "): " << psnr << " dB";
        }
        stopPlay(1);
    }
}

// The length in a time report is rounded to the nearest second, as the DVD reader rounds
// a chapter's length.
TEST(PreviewPlayerDvd, ReportedLengthRoundsAsTheDvdReaderDoes) {
    DvdDisc* disc = nullptr;
    ASSERT_EQ(parseDVD(&disc, gRestartDvd.c_str(), 0), DVD_OK);
    const DvdTitle& title = disc->titleSets[0].titles[0];
    ASSERT_EQ(title.chapterCount, 1);
    OpenWindow();
    setPlayerHandle(&gRecord);
    for (int ms : {4800, 4400, 4500, 5499}) {
        DvdChapter chapter = title.chapters[0];
        chapter.lengthMs = ms;
        DvdPlaybackInfo info = InfoOf(title, 0, -1);
        info.chapters = &chapter;
        ClearReports();
        ASSERT_EQ(openDvdFile(&info, 1, 0), 0);
        findDvdTimePlay(100);  // beyond the end: the end report
        ASSERT_TRUE(PumpUntil([] { return EndReports() == 1; })) << ms;
        std::lock_guard lock(gReportsMutex);
        EXPECT_EQ(gReports.back().lengthSeconds, (ms + 500) / 1000) << ms << " ms";
    }
    setPlayerHandle(nullptr);
    stopPlay(1);
}

// The chosen audio stream is the one heard: the disk driver keeps what was played.
TEST(PreviewPlayerDvd, TheChosenAudioStreamIsHeard) {
    for (auto [audioId, tone] : {std::pair{1, 880}, std::pair{0, 440}}) {
        close_sdl();  // the sound device is made anew with the disk driver
        std::string raw = gDir->str() + "/sound" + std::to_string(tone) + ".raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
        OpenWindow();
        ClearReports();
        setPlayerHandle(&gRecord);
        TitlePlayRecord r{};
        r.info = FixtureTitle(0, audioId, -1);
        ASSERT_TRUE(r.info.ifoPath);
        r.startSecond = 1;  // across the chapter boundary at 2 s
        r.endSecond = 3;
        ASSERT_EQ(openMultiTitleFile(&r, 1), 0);
        startPlay(0);
        EXPECT_TRUE(PumpUntil([] { return EndReports() == 1; }));
        setPlayerHandle(nullptr);
        close_sdl();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::ifstream in(raw, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::int16_t> left;
        for (std::size_t i = 0; i + 3 < bytes.size(); i += 4)
            left.push_back(std::int16_t(std::uint8_t(bytes[i]) | std::uint8_t(bytes[i + 1]) << 8));
        // The tone from the distance of rises through zero within unbroken sound (a slow
        // machine may leave gaps where the device ran dry).
        std::vector<int> periods;
        std::size_t lastRise = 0, lastSilence = 0;
        for (std::size_t i = 1; i < left.size(); ++i) {
            if (left[i] == 0 && left[i - 1] == 0) lastSilence = i;
            if (left[i - 1] < 0 && left[i] >= 0) {
                if (lastRise > lastSilence) periods.push_back(int(i - lastRise));
                lastRise = i;
            }
        }
        ASSERT_GE(periods.size(), std::size_t(tone / 2)) << "at least half a second of sound";
        std::sort(periods.begin(), periods.end());
        double rises = 48000.0 / periods[periods.size() / 2];
        EXPECT_NEAR(rises, tone, tone * 0.03) << "audio stream " << audioId;
    }
}

// A chosen sub-picture stream shows in the picture, in the title's colours.
TEST(PreviewPlayerDvd, TheChosenSubtitleShows) {
    HWND h = OpenWindow();
    std::vector<COLORREF> pictures[2];
    Bmp snapshots[2];
    for (int subtitleId : {-1, 0}) {
        DvdPlaybackInfo info = FixtureTitle(0, 0, subtitleId);
        ASSERT_EQ(openDvdFile(&info, 0, 0), 0);
        std::string probe = gDir->str() + "/sub.bmp";
        ASSERT_TRUE(PumpUntil([&] { return morvCapture(probe.c_str()) == 0; }));
        findDvdTimePlay(1.5);  // "Subtitle 2" shows from 1.1 to 1.9 s
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        PumpUntil([] { return true; });
        auto& pic = pictures[subtitleId + 1];
        for (int y = 150; y < 240; y += 2)
            for (int x = 0; x < 320; x += 2) pic.push_back(GetWindowSurfacePixel(h, x, y));
        // The snapshot holds what the panel shows, the sub-picture included.
        std::string shot = gDir->str() + "/sub" + std::to_string(subtitleId + 1) + ".bmp";
        ASSERT_EQ(morvCapture(shot.c_str()), 0);
        snapshots[subtitleId + 1] = ReadBmp(shot);
    }
    std::size_t differ = 0;
    for (std::size_t i = 0; i < pictures[0].size(); ++i) differ += pictures[0][i] != pictures[1][i];
    EXPECT_GT(differ, 50u) << "the text of the sub-picture";
    ASSERT_EQ(snapshots[0].rgb.size(), snapshots[1].rgb.size());
    std::size_t snapshotDiffer = 0;
    for (std::size_t i = 0; i < snapshots[0].rgb.size(); i += 3)
        snapshotDiffer += std::abs(int(snapshots[0].rgb[i]) - int(snapshots[1].rgb[i])) > 40;
    EXPECT_GT(snapshotDiffer, 50u) << "the sub-picture in the snapshot";
    stopPlay(1);
}


std::mutex gCropMutex;
std::vector<PlayerCropInfo> gCrops;
std::int32_t RecordCrop(PlayerCropInfo* c) {
    std::lock_guard lock(gCropMutex);
    gCrops.push_back(*c);
    return 0;
}
PlayerCropCallback gRecordCrop = &RecordCrop;

// Edit mode shows the whole picture with the crop as a frame; dragging an edge and
// releasing reports the crop in source pixels.
TEST(PreviewPlayer, EditModeCropFrameIsDragged) {
    HWND h = OpenWindow(320, 240);
    setEditWindow(1);
    setCropHandle(&gRecordCrop);
    cropFlim();
    leftCropFlim(40);  // 40 source pixels = 40 panel pixels at this size
    ASSERT_EQ(openMediaFile(gBars.c_str(), 0, 0), 0);
    findDvdTimePlay(1);
    auto px = [h](int x, int y) { return GetWindowSurfacePixel(h, x, y); };
    auto white = [](COLORREF c) { return c == RGB(255, 255, 255); };
    auto black = [](COLORREF c) { return c == RGB(0, 0, 0); };
    // The frame's left edge at x 40 in dashes of four; the picture left of it still shows.
    ASSERT_TRUE(PumpUntil([&] { return (white(px(40, 8)) && black(px(40, 12))) || (black(px(40, 8)) && white(px(40, 12))); }));
    fs::create_directories(std::string(std::getenv("LUMACAST_BUILD_DIR") ? std::getenv("LUMACAST_BUILD_DIR") : ".") + "/artifacts");
    std::string shots = std::string(std::getenv("LUMACAST_BUILD_DIR") ? std::getenv("LUMACAST_BUILD_DIR") : ".") + "/artifacts/";
    SaveWindowImage(h, shots + "player-edit-before.png");
    // Drag the left edge from 40 to 100, then the bottom edge up by 30.
    InputMouseMove(h, 40, 120);
    InputMouseButton(h, 40, 120, MouseButton::Left, true);
    InputMouseMove(h, 70, 120);
    InputMouseMove(h, 100, 120);
    InputMouseButton(h, 100, 120, MouseButton::Left, false);
    InputMouseMove(h, 200, 239);
    InputMouseButton(h, 200, 239, MouseButton::Left, true);
    InputMouseMove(h, 200, 209);
    InputMouseButton(h, 200, 209, MouseButton::Left, false);
    ASSERT_TRUE(PumpUntil([] {
        std::lock_guard lock(gCropMutex);
        return gCrops.size() >= 2;
    }));
    Application->ProcessMessages();
    SaveWindowImage(h, shots + "player-edit-after.png");
    {
        std::lock_guard lock(gCropMutex);
        ASSERT_EQ(gCrops.size(), 2u) << "one report per release";
        EXPECT_EQ(gCrops[0].left, 100);
        EXPECT_EQ(gCrops[0].right, 0);
        EXPECT_EQ(gCrops[0].top, 0);
        EXPECT_EQ(gCrops[1].left, 100);
        EXPECT_EQ(gCrops[1].bottom, 30);
    }
    // Out of edit mode the crop applies: the picture is 220 x 210 fitted into the panel.
    setEditWindow(0);
    EXPECT_TRUE(PumpUntil([&] { return black(px(5, 120)) && !black(px(160, 120)); }));
    SaveWindowImage(h, shots + "player-cropped.png");
    setCropHandle(nullptr);
    cropFlim();
    stopPlay(1);
}

}  // namespace
