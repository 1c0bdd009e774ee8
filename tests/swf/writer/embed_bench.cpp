// Writing a movie that embeds a long FLV (video and stream sound), against copying that FLV
// with cp, the I/O bound of the job, and with dd through a 128 KB buffer, which copies through
// user space as the writer must. Reported per video length: the times, their ratios, the
// processor times (less disturbed by other load than wall time) and the process's peak
// memory, which must not grow with the length of the video.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "fixtures.h"
#include "swf/swf.h"

namespace {

using namespace swftest;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A cached FLV of `minutes` (320x240 at 25 fps, MP3 at 44.1 kHz), made once by ffmpeg.
std::string Flv(int minutes) {
    fs::path dir = fs::path(LUMACAST_BENCH_MEDIA);
    fs::create_directories(dir);
    std::string path = (dir / ("embed-" + std::to_string(minutes) + "min.flv")).string();
    if (!fs::exists(path)) {
        std::string tmp = path + ".part";
        Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
                "sine=frequency=440:sample_rate=44100", "-t", std::to_string(minutes * 60), "-c:v", "flv",
                "-b:v", "400k", "-c:a", "libmp3lame", "-b:a", "96k", "-f", "flv"},
               tmp);
        fs::rename(tmp, path);
    }
    return path;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    auto s = [](timeval t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

int WriteMovie(const std::string& flv, const std::string& out) {
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovie_setRate(m, 25);
    SWFMovie_setDimension(m, 320, 240);
    SWFInput in = newSWFInput_filename(flv.c_str());
    SWFSoundStream s = newSWFSoundStream_fromInput(in);
    SWFVideoStream v = newSWFVideoStream_fromInput(in);
    SWFMovie_setSoundStream(m, s);
    SWFMovie_add(m, v);
    for (int i = SWFVideoStream_getNumFrames(v); i > 0; --i) SWFMovie_nextFrame(m);
    int n = SWFMovie_save(m, out.c_str());
    destroySWFVideoStream(v);
    destroySWFSoundStream(s);
    destroySWFInput(in);
    destroySWFMovie(m);
    return n;
}

void BM_EmbedFlvVsCopy(benchmark::State& state) {
    std::string flv = Flv(static_cast<int>(state.range(0)));
    TempDir dir;
    std::string copy = dir / "copy.flv";
    double swf = 0, cp = 0, dd = 0, bestSwf = 1e9, bestCp = 1e9, bestDd = 1e9;
    double swfCpu = 0, cpCpu = 0, ddCpu = 0;
    long bytes = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        double c0 = CpuSeconds(RUSAGE_CHILDREN);
        if (Run({"cp", flv, copy}) != 0) state.SkipWithError("cp failed");
        auto t1 = Clock::now();
        double c1 = CpuSeconds(RUSAGE_CHILDREN);
        fs::remove(copy);
        auto t2 = Clock::now();
        if (Run({"dd", "bs=128k", "status=none", "if=" + flv, "of=" + copy}) != 0) state.SkipWithError("dd failed");
        auto t3 = Clock::now();
        double c3 = CpuSeconds(RUSAGE_CHILDREN);
        double w0 = CpuSeconds(RUSAGE_THREAD);
        int n = WriteMovie(flv, dir / "movie.swf");
        auto t4 = Clock::now();
        double w1 = CpuSeconds(RUSAGE_THREAD);
        if (n < 0) state.SkipWithError(SWF_getLastError());
        bytes = n;
        cp += Seconds(t1 - t0);
        dd += Seconds(t3 - t2);
        swf += Seconds(t4 - t3);
        cpCpu += c1 - c0;
        ddCpu += c3 - c1;
        swfCpu += w1 - w0;
        bestCp = std::min(bestCp, Seconds(t1 - t0));
        bestDd = std::min(bestDd, Seconds(t3 - t2));
        bestSwf = std::min(bestSwf, Seconds(t4 - t3));
        state.SetIterationTime(Seconds(t4 - t3));
        fs::remove(copy);
        // Kept on request, so that two builds' movies can be compared byte for byte.
        if (const char* keep = std::getenv("LUMACAST_EMBED_BENCH_KEEP"))
            fs::rename(dir / "movie.swf", std::string(keep) + "-" + std::to_string(state.range(0)) + "min.swf");
        else
            fs::remove(dir / "movie.swf");
    }
    double it = static_cast<double>(state.iterations());
    state.counters["swf_s"] = swf / it;
    state.counters["cp_s"] = cp / it;
    state.counters["dd_s"] = dd / it;
    state.counters["ratio_to_cp"] = swf / cp;
    state.counters["ratio_to_dd"] = swf / dd;
    state.counters["best_ratio_to_cp"] = bestSwf / bestCp;  // the least disturbed runs of each
    state.counters["best_ratio_to_dd"] = bestSwf / bestDd;
    // Processor time: the writer's thread against the children's (exec and all).
    state.counters["swf_cpu_s"] = swfCpu / it;
    state.counters["cpu_ratio_to_cp"] = swfCpu / cpCpu;
    state.counters["cpu_ratio_to_dd"] = swfCpu / ddCpu;
    state.counters["swf_MB"] = bytes / 1e6;
    state.counters["flv_MB"] = static_cast<double>(fs::file_size(flv)) / 1e6;
    state.counters["peak_rss_MB"] = PeakRssKb() / 1024.0;
}
BENCHMARK(BM_EmbedFlvVsCopy)->Arg(1)->Arg(10)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
