// Playing a 10-second 720p H.264/AAC clip in a 400 x 300 window on the display, against
// ffplay showing the same clip at the same size: CPU time (user plus system) and peak
// memory of each whole process, measured by the parent. Run it under a display (Xvfb is
// fine) with the sound on a dummy driver:
//   SDL_AUDIODRIVER=dummy xvfb-run -a bench/morvplayer_play_bench
// Each side plays the clip once per iteration, so an iteration lasts about 20 seconds.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "libs/morvplayer/host.h"
#include "libs/morvplayer/morvplayer.h"
#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "support/tempdir.h"

using namespace platform;

namespace {

const std::string& Clip() {
    static testsupport::TempDir dir;
    static const std::string clip = [] {
        std::string path = dir.str() + "/clip720.mp4";
        std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=1280x720:r=25:d=10 "
                          "-f lavfi -i sine=frequency=1000:sample_rate=48000:duration=10 -c:v libx264 -preset fast "
                          "-pix_fmt yuv420p -c:a aac -shortest '" + path + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        return path;
    }();
    return clip;
}

std::atomic<bool> gEnded{false};
HWND gWindow = nullptr;

std::int32_t OnTime(PlayTimeInfo* info) {
    if (info->ended) {
        gEnded = true;
        PostMessage(gWindow, WM_NULL, 0, 0);  // wakes the loop below
    }
    return 0;
}
PlayerTimeCallback gOnTime = &OnTime;

// The child's whole life: our player on the display until the clip's end report.
[[noreturn]] void PlayWithOurPlayer(const std::string& clip) {
    auto x11 = CreateX11Backend();
    if (!x11) _exit(2);
    SetBackend(std::move(x11));
    PlayerHost host = PlatformPlayerHost();
    setPlayerHost(&host);
    if (initPlayOption("", "", 0, 0, 400, 300) != 0) _exit(3);
    gWindow = FindWindowA("SDL_app", nullptr);
    ShowWindow(gWindow, SW_SHOW);
    setPlayerHandle(&gOnTime);
    if (openMediaFile(clip.c_str(), 0, 0) != 0) _exit(4);
    startPlay(0);
    while (!gEnded) Application->HandleMessage();
    close_sdl();
    _exit(0);
}

struct Usage {
    double cpuSeconds = 0;
    double peakMegabytes = 0;
    bool ok = false;
};

Usage Wait(pid_t pid) {
    int status = 0;
    rusage use{};
    Usage u;
    if (wait4(pid, &status, 0, &use) != pid) return u;
    u.cpuSeconds = double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
    u.peakMegabytes = double(use.ru_maxrss) / 1024.0;
    u.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return u;
}

Usage RunOurs(const std::string& clip) {
    pid_t pid = fork();
    if (pid == 0) PlayWithOurPlayer(clip);
    return Wait(pid);
}

Usage RunFfplay(const std::string& clip) {
    pid_t pid = fork();
    if (pid == 0) {
        execlp("ffplay", "ffplay", "-autoexit", "-x", "400", "-y", "300", "-loglevel", "quiet", "-nostats", clip.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    return Wait(pid);
}

void BM_PlayClipAgainstFfplay(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs a display (run under xvfb-run)");
        return;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const std::string& clip = Clip();
    double ours = 0, peer = 0, oursPeak = 0, peerPeak = 0;
    for (auto _ : state) {
        Usage a = RunOurs(clip), b = RunFfplay(clip);
        if (!a.ok || !b.ok) {
            state.SkipWithError(!a.ok ? "our player failed" : "ffplay failed");
            return;
        }
        ours += a.cpuSeconds;
        peer += b.cpuSeconds;
        oursPeak = std::max(oursPeak, a.peakMegabytes);
        peerPeak = std::max(peerPeak, b.peakMegabytes);
    }
    double n = double(state.iterations());
    state.counters["ours_cpu_s"] = ours / n;
    state.counters["ffplay_cpu_s"] = peer / n;
    state.counters["cpu_ratio"] = peer > 0 ? ours / peer : 0;
    state.counters["ours_peak_MB"] = oursPeak;
    state.counters["ffplay_peak_MB"] = peerPeak;
}
BENCHMARK(BM_PlayClipAgainstFfplay)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
