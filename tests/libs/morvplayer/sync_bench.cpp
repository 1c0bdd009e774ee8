// Picture and sound in step: a sync clip (25 fps, a white frame and the start of a 1 kHz
// beep at each whole second) played in the headless backend with the sound on SDL's disk
// driver. Each beep's play time is the time the driver wrote the block holding the beep's
// first sample plus that sample's place in the block (the disk driver plays a block from
// the moment it writes it); each white frame's present time is when its pixels reached
// the window. The offsets (beep minus picture) are reported, the target being every one
// within a frame (40 ms); so is the latency of a seek, from the call to the target frame
// in the window.
//   bench/morvplayer_sync_bench
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "libs/morvplayer/host.h"
#include "libs/morvplayer/morvplayer.h"
#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "support/tempdir.h"

using namespace platform;

namespace {

constexpr int kSeconds = 8;
constexpr int kRate = 48000;  // the player's device format: 48 kHz stereo 16-bit

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

testsupport::TempDir& Dir() {
    static testsupport::TempDir dir;
    return dir;
}

const std::string& SyncClip() {
    static const std::string clip = [] {
        std::string path = Dir().str() + "/sync.mp4";
        const std::string seconds = std::to_string(kSeconds);
        std::string cmd =
            "ffmpeg -nostdin -loglevel error -y -f lavfi -i \"color=black:s=320x240:r=25:d=" + seconds +
            ",geq=lum='if(eq(mod(N\\,25)\\,0)\\,235\\,16)':cb=128:cr=128\" "
            "-f lavfi -i \"aevalsrc='if(lt(mod(t\\,1)\\,0.1)\\,0.6*sin(2*PI*1000*t)\\,0)':s=48000:d=" + seconds +
            "\" -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac -b:a 128k '" + path + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        return path;
    }();
    return clip;
}

std::atomic<bool> gEnded{false};
std::int32_t OnTime(PlayTimeInfo* info) {
    if (info->ended) gEnded = true;
    return 0;
}
PlayerTimeCallback gOnTime = &OnTime;

bool White(HWND h) { return GetGValue(GetWindowSurfacePixel(h, 160, 120)) > 128; }

// The disk driver's file as it grows: when each size was first seen.
struct Growth {
    std::vector<std::pair<double, long long>> steps;  // time, size
    // When the driver wrote the block holding byte b, plus b's place in it.
    double PlayTime(long long b) const {
        for (std::size_t i = 1; i < steps.size(); ++i)
            if (steps[i].second > b) return steps[i].first + double(b - steps[i - 1].second) / (4.0 * kRate);
        return std::nan("");
    }
};

// The first sample of each beep: loud after at least half a second of quiet.
std::vector<long long> BeepStarts(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    std::vector<long long> starts;
    long long quiet = 0;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        if (std::abs(int(samples[i])) > 2000) {
            if (quiet >= kRate / 2) starts.push_back((long long)(i) * 2);
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return starts;
}

void BM_SyncClipBeepsAgainstWhiteFrames(benchmark::State& state) {
    const std::string audioFile = Dir().str() + "/sound.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", audioFile.c_str(), 1);
    SetBackend(CreateHeadlessBackend(640, 480));
    PlayerHost host = PlatformPlayerHost();
    setPlayerHost(&host);
    const std::string& clip = SyncClip();
    std::vector<double> offsets, seeks;
    for (auto _ : state) {
        if (initPlayOption("", "", 0, 0, 320, 240) != 0) {
            state.SkipWithError("no window");
            return;
        }
        HWND window = FindWindowA("SDL_app", nullptr);
        ShowWindow(window, SW_SHOW);
        setPlayerHandle(&gOnTime);
        gEnded = false;
        if (openMediaFile(clip.c_str(), 0, 0) != 0) {
            state.SkipWithError("the clip did not open");
            return;
        }
        // The first picture shows before the sound device is written to.
        while (!White(window)) Application->ProcessMessages();
        Growth growth;
        std::atomic<bool> watching{true};
        std::mutex mu;
        long long before = 0;
        {
            struct stat st {};
            if (stat(audioFile.c_str(), &st) == 0) before = st.st_size;
        }
        std::thread watcher([&] {
            long long last = -1;
            while (watching) {
                struct stat st {};
                long long size = stat(audioFile.c_str(), &st) == 0 ? st.st_size - before : 0;
                if (size != last) {
                    std::lock_guard lock(mu);
                    growth.steps.push_back({Now(), size});
                    last = size;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        std::vector<double> whites;
        bool wasWhite = true;
        whites.push_back(Now());  // frame 0 shows as playing starts
        startPlay(0);
        while (!gEnded) {
            Application->ProcessMessages();
            bool white = White(window);
            if (white && !wasWhite) whites.push_back(Now());
            wasWhite = white;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        watching = false;
        watcher.join();
        // The driver appends: the beeps of this run lie after `before`.
        std::vector<long long> beeps = BeepStarts(audioFile);
        beeps.erase(std::remove_if(beeps.begin(), beeps.end(), [&](long long b) { return b < before; }), beeps.end());
        for (long long& b : beeps) b -= before;
        // Each beep against the white frame nearest to it (within half a second: a white
        // frame missed by the loop leaves its beep unpaired rather than paired a second off).
        // The first white frame showed before the sound started: it has no fair pair.
        int unpaired = 0;
        for (long long b : beeps) {
            double play = growth.PlayTime(b);
            double best = 1e9;
            for (std::size_t i = 1; i < whites.size(); ++i)
                if (std::abs(whites[i] - play) < std::abs(best)) best = play - whites[i];
            if (std::isnan(play) || std::abs(best) > 0.5) ++unpaired;
            else offsets.push_back(best);
        }
        state.counters["beeps"] = double(beeps.size());
        state.counters["white_frames_seen"] = double(whites.size());
        state.counters["unpaired"] = double(unpaired);

        // Seek latency: alternately onto a white frame and a black one, paused.
        openMediaFile(clip.c_str(), 0, 0);
        while (!White(window)) Application->ProcessMessages();
        for (double target : {3.0, 3.5, 6.0, 1.5, 5.0, 6.52}) {
            bool wantWhite = std::fmod(target, 1.0) == 0.0;
            double start = Now();
            findDvdTimePlay(target);
            while (White(window) != wantWhite && Now() - start < 5) {
                Application->ProcessMessages();
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            seeks.push_back(Now() - start);
        }
        stopPlay(1);
        setPlayerHandle(nullptr);
        close_sdl();
    }
    if (offsets.empty()) {
        state.SkipWithError("no beep could be paired with a white frame");
        return;
    }
    double worst = 0, sum = 0;
    for (double o : offsets) {
        worst = std::max(worst, std::abs(o));
        sum += o;
    }
    std::sort(seeks.begin(), seeks.end());
    state.counters["pairs"] = double(offsets.size());
    state.counters["offset_mean_ms"] = 1000 * sum / double(offsets.size());
    state.counters["offset_min_ms"] = 1000 * *std::min_element(offsets.begin(), offsets.end());
    state.counters["offset_max_ms"] = 1000 * *std::max_element(offsets.begin(), offsets.end());
    state.counters["offset_worst_abs_ms"] = 1000 * worst;
    state.counters["within_40ms"] = worst <= 0.040 ? 1 : 0;
    state.counters["seek_median_ms"] = 1000 * seeks[seeks.size() / 2];
    state.counters["seek_max_ms"] = 1000 * seeks.back();
}
BENCHMARK(BM_SyncClipBeepsAgainstWhiteFrames)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
