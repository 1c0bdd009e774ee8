// The converter against the ffmpeg command line doing the same job with the same settings:
//   FileToFlv     a 60-second 640x480 file (H.264 and AAC) to FLV, the normal FLV profile's settings
//   ChapterToFlv  a 60-second DVD chapter to FLV, the same settings
//   FileToMp4     the same file with the MP4 profile's settings (H.264 and AAC)
// Each run happens in a child process, so that its wall time, its processor time (user and
// system, every thread) and its peak memory are its own. The two sides take turns, and each
// ratio is the median of the pairs' ratios, so that a change of the machine's load touches
// both sides of a pair alike.
//
// The inputs are made once by ffmpeg (and dvdauthor) under <build>/bench/converter.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "libs/morvconverter/morvconverter.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace fs = std::filesystem;

namespace {

struct Settings {
    const char* format;
    const char* videoEncoder;
    const char* size;
    int rate, videoKbit;
    const char* audioEncoder;
    int audioKbit, sampleRate, channels;
};

// The defaults of the shipped "normal FLV" and "MP4 H.264" profiles.
constexpr Settings kFlv{"flv", "flv", "320x240", 25, 512, "libmp3lame", 64, 44100, 2};
constexpr Settings kMp4{"mp4", "libx264", "640x480", 25, 1000, "aac", 128, 44100, 2};

fs::path WorkDir() {
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    return fs::path(build ? build : ".") / "bench" / "converter";
}

fs::path DiscDir() { return WorkDir() / "dvd60"; }
fs::path ClipPath() { return WorkDir() / "clip60.mp4"; }

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// A DVD with one title of one 60-second chapter (NTSC, two audio streams).
bool MakeDisc() {
    fs::path dir = DiscDir();
    if (fs::exists(dir / "VIDEO_TS/VTS_01_1.VOB")) return true;
    fs::create_directories(dir);
    std::string mpg = (dir / "title.mpg").string();
    bool ok = Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=720x480:rate=30000/1001:duration=60 "
                  "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 -map 0:v -map 1:a "
                  "-target ntsc-dvd -aspect 4:3 -b:v 4000k -ac 2 '" + mpg + "' && "
                  "VIDEO_FORMAT=NTSC dvdauthor -o '" + dir.string() + "' -t -c 0 '" + mpg + "' >/dev/null 2>&1 && "
                  "VIDEO_FORMAT=NTSC dvdauthor -o '" + dir.string() + "' -T >/dev/null 2>&1");
    fs::remove(mpg);
    return ok && fs::exists(dir / "VIDEO_TS/VTS_01_1.VOB");
}

// A 60-second 640x480 clip at 25 frames per second, as a camera or a download gives one.
bool MakeClip() {
    if (fs::exists(ClipPath())) return true;
    fs::create_directories(WorkDir());
    std::string part = (WorkDir() / "clip60.part.mp4").string();
    return Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=60 "
               "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 -c:v libx264 -b:v 2000k "
               "-pix_fmt yuv420p -c:a aac -b:a 128k -ac 2 '" + part + "'") &&
           std::rename(part.c_str(), ClipPath().c_str()) == 0;
}

struct Measure {
    double wall = 0, cpu = 0;  // seconds
    long peakKb = 0;
    bool ok = false;
};

double Seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

// Runs fn in a child process: wall time, processor time and peak resident memory of the
// child (its threads and the processes it waited for included).
template <typename Fn>
Measure InChild(Fn fn) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Measure m;
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    m.peakKb = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

void Fill(GroupMediaUIOption* g, const Settings& s, const fs::path& output) {
    g->videoEncoder = strdup(s.videoEncoder);
    g->audioEncoder = strdup(s.audioEncoder);
    g->frameSize = strdup(s.size);
    g->frameRate = float(s.rate);
    g->videoBitrate = s.videoKbit;
    g->audioBitrate = s.audioKbit;
    g->audioSampleRate = s.sampleRate;
    g->audioChannels = s.channels;
    std::snprintf(g->outputPath, sizeof g->outputPath, "%s", output.c_str());
}

int ChapterWithLibrary(const Settings& s) {
    fs::path dir = DiscDir();
    std::string ifo = (dir / "VIDEO_TS/VTS_01_0.IFO").string();
    DvdTitle title{};
    title.present = 1;
    title.ifoPath = ifo.c_str();
    title.titleSetNumber = 1;
    title.titleSetTitle = 1;
    DvdChapter chapter{};
    chapter.present = 1;
    chapter.lengthMs = 60000;
    chapter.title = &title;
    title.chapterCount = 1;
    title.chapters = &chapter;
    DvdDisc disc{};
    GroupMediaUIOption* g = nullptr;
    createGroupMediaUIOptionForDVD(&g, &disc, s.format, 0);
    MediaUIOption* in = createMediaUIOptionForDVD(g, &chapter);
    in->subtitleId = -1;
    Fill(g, s, WorkDir() / (std::string("library.") + s.format));
    int r = converteToMedia(g, s.format, 0);
    freeGroupMediaUIOption(&g);
    return r;
}

int FileWithLibrary(const Settings& s) {
    GroupMediaUIOption* g = nullptr;
    createGroupMediaUIOption(&g, s.format, 0);
    createMediaUIOption(g, ClipPath().c_str());
    Fill(g, s, WorkDir() / (std::string("library.") + s.format));
    int r = converteToMedia(g, s.format, 0);
    freeGroupMediaUIOption(&g);
    return r;
}

// The command line's job: `input` is its input options and input.
int WithCommandLine(const Settings& s, const std::string& input) {
    std::string cmd = "exec ffmpeg -nostdin -loglevel error -y " + input + " -c:v " + s.videoEncoder + " -b:v " +
                      std::to_string(s.videoKbit) + "k -s " + s.size + " -r " + std::to_string(s.rate) + " -c:a " +
                      s.audioEncoder + " -b:a " + std::to_string(s.audioKbit) + "k -ar " +
                      std::to_string(s.sampleRate) + " -ac " + std::to_string(s.channels) + " '" +
                      (WorkDir() / (std::string("cli.") + s.format)).string() + "'";
    return execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Each iteration runs the converter and then the command line. The reported time is the
// converter's wall time; the counters carry the medians of both sides and of the ratios.
template <typename Library, typename CommandLine>
void Compare(benchmark::State& state, Library library, CommandLine commandLine) {
    std::vector<double> wall, cpu, cliWall, cliCpu, wallRatio, cpuRatio;
    long peak = 0, cliPeak = 0;
    for (auto _ : state) {
        Measure a = InChild(library), b = InChild(commandLine);
        if (!a.ok || !b.ok) return state.SkipWithError(a.ok ? "ffmpeg failed" : "the converter failed");
        state.SetIterationTime(a.wall);
        wall.push_back(a.wall), cpu.push_back(a.cpu), cliWall.push_back(b.wall), cliCpu.push_back(b.cpu);
        wallRatio.push_back(a.wall / b.wall), cpuRatio.push_back(a.cpu / b.cpu);
        peak = std::max(peak, a.peakKb), cliPeak = std::max(cliPeak, b.peakKb);
    }
    state.counters["wall_ms"] = 1000 * Median(wall);
    state.counters["cli_wall_ms"] = 1000 * Median(cliWall);
    state.counters["cpu_ms"] = 1000 * Median(cpu);
    state.counters["cli_cpu_ms"] = 1000 * Median(cliCpu);
    state.counters["wall_ratio"] = Median(wallRatio);
    state.counters["cpu_ratio"] = Median(cpuRatio);
    state.counters["peak_rss_MiB"] = double(peak) / 1024.0;
    state.counters["cli_peak_rss_MiB"] = double(cliPeak) / 1024.0;
}

void BM_FileToFlv(benchmark::State& state) {
    if (!MakeClip()) return state.SkipWithError("the clip could not be made (ffmpeg)");
    Compare(state, [] { return FileWithLibrary(kFlv); },
            [] { return WithCommandLine(kFlv, "-i '" + ClipPath().string() + "'"); });
}

void BM_ChapterToFlv(benchmark::State& state) {
    if (!MakeDisc()) return state.SkipWithError("the DVD could not be made (ffmpeg, dvdauthor)");
    Compare(state, [] { return ChapterWithLibrary(kFlv); },
            [] {
                return WithCommandLine(kFlv, "-i '" + (DiscDir() / "VIDEO_TS/VTS_01_1.VOB").string() +
                                                 "' -map 0:v:0 -map 0:a:0");
            });
}

void BM_FileToMp4(benchmark::State& state) {
    if (!MakeClip()) return state.SkipWithError("the clip could not be made (ffmpeg)");
    Compare(state, [] { return FileWithLibrary(kMp4); },
            [] { return WithCommandLine(kMp4, "-i '" + ClipPath().string() + "'"); });
}

BENCHMARK(BM_FileToFlv)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ChapterToFlv)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FileToMp4)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
