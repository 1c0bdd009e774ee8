// Writing a movie that embeds a long FLV (video and stream sound), against copying that FLV
// with cp, the I/O bound of the job. Reported per video length: both times, their ratio and
// the process's peak memory, which must not grow with the length of the video.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
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
    double swf = 0, cp = 0, bestSwf = 1e9, bestCp = 1e9;
    long bytes = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        if (Run({"cp", flv, dir / "copy.flv"}) != 0) state.SkipWithError("cp failed");
        auto t1 = Clock::now();
        int n = WriteMovie(flv, dir / "movie.swf");
        auto t2 = Clock::now();
        if (n < 0) state.SkipWithError(SWF_getLastError());
        bytes = n;
        cp += Seconds(t1 - t0);
        swf += Seconds(t2 - t1);
        bestCp = std::min(bestCp, Seconds(t1 - t0));
        bestSwf = std::min(bestSwf, Seconds(t2 - t1));
        state.SetIterationTime(Seconds(t2 - t1));
        fs::remove(dir / "copy.flv");
        fs::remove(dir / "movie.swf");
    }
    double it = static_cast<double>(state.iterations());
    state.counters["swf_s"] = swf / it;
    state.counters["cp_s"] = cp / it;
    state.counters["ratio_to_cp"] = swf / cp;
    state.counters["best_ratio_to_cp"] = bestSwf / bestCp;  // the least disturbed runs of each
    state.counters["swf_MB"] = bytes / 1e6;
    state.counters["flv_MB"] = static_cast<double>(fs::file_size(flv)) / 1e6;
    state.counters["peak_rss_MB"] = PeakRssKb() / 1024.0;
}
BENCHMARK(BM_EmbedFlvVsCopy)->Arg(1)->Arg(10)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
