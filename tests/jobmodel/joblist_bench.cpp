// The job list's loads, each measured in one run:
//  - AddFiles: 10,000 files (hard links of a few small clips) through the add command,
//    against probing the same files with getFileInfo on as many threads. Counters:
//    ratio (add time / probe time), stall_ms (the longest gap between two beats of a
//    10 ms heartbeat on the user-interface thread meanwhile), row_bytes (resident memory
//    per row), probe_faults and add_faults (minor page faults per file of either side:
//    fresh memory touched, a figure the machine's load does not change), cpu_ratio
//    (processor time of the whole process while adding / while probing: the work the
//    command adds to the probes, which a busy machine changes far less than the times),
//    clear_ms (releasing the rows again, as Clear All does).
//  - DvdLoad: loading the DVD fixture (parse, tree, every row's media information)
//    against `lsdvd -x` on the same folder. Counters: first_ratio (the first load, when
//    the reader reads the disc), ratio (later loads), both to lsdvd's time.
//   bench/joblist_bench [--benchmark_...]   (the DVD fixture must exist: ctest -R fixture.dvd)
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/dvd_fixture.h"
#include "jobmodel/addfiles.h"
#include "jobmodel/dvdload.h"
#include "platform/controls/forms.h"
#include "platform/core/messages.h"
#include "platform/windows/windows_test_support.h"
#include "support/tempdir.h"
#include "jobmodel/treerows.h"
#include "treeview/vststrings.h"

namespace jobmodel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 10000;
constexpr int kClips = 4;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Minor page faults of the whole process so far: fresh memory touched, whatever the load.
long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

struct QuietHost : JobHost {
    void LoadOptionRecord() override {}
};

struct Files {
    testsupport::TempDir temp;
    std::vector<std::string> paths;
    Files() {
        for (int i = 0; i < kClips; ++i) {
            const std::string clip = temp.str() + "/clip" + std::to_string(i) + ".mp4";
            const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=1 "
                                        "-f lavfi -i sine=duration=1 -c:v mpeg4 -c:a aac '" + clip + "'";
            if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed");
        }
        fs::create_directories(temp.path() / "links");
        for (int i = 0; i < kFiles; ++i) {
            const fs::path link = temp.path() / "links" / ("file" + std::to_string(i) + ".mp4");
            fs::create_hard_link(temp.path() / ("clip" + std::to_string(i % kClips) + ".mp4"), link);
            paths.push_back(link.string());
        }
    }
};

void ProbeAll(const std::vector<std::string>& paths, unsigned threads) {
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&] {
            for (size_t i; (i = next.fetch_add(1)) < paths.size();) {
                MediaInfo* info = NewMediaInfo();
                std::snprintf(info->path, sizeof info->path, "%s", paths[i].c_str());
                getFileInfo(info);
                Drop(info);
            }
        });
    for (auto& w : workers) w.join();
}

void AddFiles(benchmark::State& state) {
    platform::test::UseHeadlessBackend();
    static Files files;
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (auto _ : state) {
        const long f0 = MinorFaults();
        const double c0 = CpuSeconds();
        const auto p0 = Clock::now();
        ProbeAll(files.paths, threads);
        const double probe = Seconds(p0, Clock::now());
        const double probeCpu = CpuSeconds() - c0;
        const long probeFaults = MinorFaults() - f0;

        treeview::TVastStringTree tree(nullptr);
        TreeRows rows(tree);
        QuietHost host;
        Clock::time_point lastBeat = Clock::now();
        double longest = 0;
        platform::HWND beat = platform::AllocateHWnd([&](platform::HWND, platform::UINT msg, platform::WPARAM,
                                                        platform::LPARAM) -> platform::LRESULT {
            if (msg == platform::WM_TIMER) {
                const auto now = Clock::now();
                longest = std::max(longest, Seconds(lastBeat, now));
                lastBeat = now;
            }
            return 0;
        });
        platform::SetTimer(beat, 1, 10);
        const long before = ResidentBytes();
        const long f1 = MinorFaults();
        const double c1 = CpuSeconds();
        const auto a0 = Clock::now();
        lastBeat = a0;
        AddFilesResult r = AddMediaFiles(rows, files.paths, host);
        const double add = Seconds(a0, Clock::now());
        const double addCpu = CpuSeconds() - c1;
        const long addFaults = MinorFaults() - f1;
        longest = std::max(longest, Seconds(lastBeat, Clock::now()));
        const long after = ResidentBytes();
        platform::KillTimer(beat, 1);
        platform::DeallocateHWnd(beat);
        if (r.added != kFiles) state.SkipWithError("not every file was added");

        state.counters["probe_s"] = probe;
        state.counters["add_s"] = add;
        state.counters["ratio"] = add / probe;
        state.counters["cpu_ratio"] = addCpu / probeCpu;
        state.counters["stall_ms"] = longest * 1000;
        state.counters["row_bytes"] = static_cast<double>(after - before) / kFiles;
        state.counters["threads"] = threads;
        state.counters["probe_faults"] = static_cast<double>(probeFaults) / kFiles;
        state.counters["add_faults"] = static_cast<double>(addFaults) / kFiles;
        const auto k0 = Clock::now();
        ClearItemTree(rows);
        state.counters["clear_ms"] = Seconds(k0, Clock::now()) * 1000;
    }
}

void DvdLoad(benchmark::State& state) {
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    if (!build) setenv("LUMACAST_BUILD_DIR", LUMACAST_BUILD_DIR_DEFAULT, 0);
    const auto fx = lumacast::fixtures::LoadDvdFixture();
    constexpr int kRounds = 5;
    for (auto _ : state) {
        QuietHost host;
        auto load = [&] {
            treeview::TVastStringTree jobTree(nullptr), dvdTree(nullptr);
            TreeRows jobs(jobTree), dvd(dvdTree);
            DvdLoadState s;
            LoadDvdFolder(s, jobs, dvd, fx.root, host);
            ClearItemTree(dvd);
        };
        const auto f0 = Clock::now();
        load();
        const double first = Seconds(f0, Clock::now());
        const auto l0 = Clock::now();
        for (int i = 0; i < kRounds; ++i) load();
        const double later = Seconds(l0, Clock::now()) / kRounds;
        const std::string command = "lsdvd -x '" + fx.root + "' > /dev/null 2>&1";
        const auto s0 = Clock::now();
        for (int i = 0; i < kRounds; ++i)
            if (std::system(command.c_str()) != 0) state.SkipWithError("lsdvd failed");
        const double lsdvd = Seconds(s0, Clock::now()) / kRounds;
        state.counters["first_ms"] = first * 1000;
        state.counters["load_ms"] = later * 1000;
        state.counters["lsdvd_ms"] = lsdvd * 1000;
        state.counters["first_ratio"] = first / lsdvd;
        state.counters["ratio"] = later / lsdvd;
    }
}

BENCHMARK(AddFiles)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(DvdLoad)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace jobmodel
