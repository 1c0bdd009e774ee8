// A 60-second DVD chapter to FLV: the converter against the ffmpeg command line doing the
// same job with the same settings. Each run happens in a child process, so that its wall
// time and its peak memory are its own.
//
// The chapter is a DVD folder made once by ffmpeg and dvdauthor under the build folder.
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

#include <benchmark/benchmark.h>

#include "libs/morvconverter/morvconverter.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSize = "320x240";
constexpr int kRate = 25, kVideoKbit = 512, kAudioKbit = 64, kSampleRate = 44100, kChannels = 2;

fs::path WorkDir() {
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    return fs::path(build ? build : ".") / "bench" / "dvd60";
}

// A DVD with one title of one 60-second chapter (NTSC, two audio streams).
bool MakeDisc() {
    fs::path dir = WorkDir();
    if (fs::exists(dir / "VIDEO_TS/VTS_01_1.VOB")) return true;
    fs::create_directories(dir);
    std::string mpg = (dir / "title.mpg").string();
    std::string cmd =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=720x480:rate=30000/1001:duration=60 "
        "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=60 -map 0:v -map 1:a "
        "-target ntsc-dvd -aspect 4:3 -b:v 4000k -ac 2 '" + mpg + "' && "
        "VIDEO_FORMAT=NTSC dvdauthor -o '" + dir.string() + "' -t -c 0 '" + mpg + "' >/dev/null 2>&1 && "
        "VIDEO_FORMAT=NTSC dvdauthor -o '" + dir.string() + "' -T >/dev/null 2>&1";
    bool ok = std::system(cmd.c_str()) == 0;
    fs::remove(mpg);
    return ok && fs::exists(dir / "VIDEO_TS/VTS_01_1.VOB");
}

struct Measure {
    double seconds = 0;
    long peakKb = 0;
    bool ok = false;
};

// Runs fn in a child process; wall time and peak resident memory of the child.
template <typename Fn>
Measure InChild(Fn fn) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

int ConvertWithLibrary() {
    fs::path dir = WorkDir();
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
    createGroupMediaUIOptionForDVD(&g, &disc, "flv", 0);
    MediaUIOption* in = createMediaUIOptionForDVD(g, &chapter);
    in->subtitleId = -1;
    g->videoEncoder = strdup("flv");
    g->audioEncoder = strdup("libmp3lame");
    g->frameSize = strdup(kSize);
    g->frameRate = kRate;
    g->videoBitrate = kVideoKbit;
    g->audioBitrate = kAudioKbit;
    g->audioSampleRate = kSampleRate;
    g->audioChannels = kChannels;
    std::snprintf(g->outputPath, sizeof g->outputPath, "%s", (dir / "library.flv").c_str());
    int r = converteToMedia(g, "flv", 0);
    freeGroupMediaUIOption(&g);
    return r;
}

int ConvertWithCommandLine() {
    fs::path dir = WorkDir();
    std::string cmd = "ffmpeg -nostdin -loglevel error -y -i '" + (dir / "VIDEO_TS/VTS_01_1.VOB").string() +
                      "' -map 0:v:0 -map 0:a:0 -c:v flv -b:v " + std::to_string(kVideoKbit) + "k -s " + kSize +
                      " -r " + std::to_string(kRate) + " -c:a libmp3lame -b:a " + std::to_string(kAudioKbit) +
                      "k -ar " + std::to_string(kSampleRate) + " -ac " + std::to_string(kChannels) + " '" +
                      (dir / "cli.flv").string() + "'";
    return execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
}

// Each iteration runs the converter and then the command line, so that a change in the
// machine's load touches both sides of the ratio alike. The reported time is the
// converter's.
void BM_ChapterToFlv(benchmark::State& state) {
    if (!MakeDisc()) return state.SkipWithError("the DVD could not be made (ffmpeg, dvdauthor)");
    double library = 0, cli = 0;
    long libraryPeak = 0, cliPeak = 0;
    for (auto _ : state) {
        Measure a = InChild(ConvertWithLibrary), b = InChild(ConvertWithCommandLine);
        if (!a.ok || !b.ok) return state.SkipWithError(a.ok ? "ffmpeg failed" : "the converter failed");
        state.SetIterationTime(a.seconds);
        library += a.seconds, cli += b.seconds;
        libraryPeak = std::max(libraryPeak, a.peakKb), cliPeak = std::max(cliPeak, b.peakKb);
    }
    state.counters["cli_ms"] = 1000 * cli / double(state.iterations());
    state.counters["library_to_cli_ratio"] = library / cli;
    state.counters["peak_rss_MiB"] = double(libraryPeak) / 1024.0;
    state.counters["cli_peak_rss_MiB"] = double(cliPeak) / 1024.0;
}

BENCHMARK(BM_ChapterToFlv)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
