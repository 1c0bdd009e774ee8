// A whole conversion run (three clips and a DVD title, each with its thumbnail) against
// the same conversions done by the ffmpeg command line, one after another.
//   bench/convert_bench [--benchmark_...]   (the DVD fixture must exist: ctest -R fixture.dvd)
// Compare the two times: the run's share of the command line's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/dvd_fixture.h"
#include "jobmodel/convertstate.h"
#include "support/tempdir.h"
#include "tests/jobmodel/itemlists.h"

namespace jobmodel {

namespace {

namespace fs = std::filesystem;

constexpr int kClips = 3;
constexpr int kClipSeconds = 4;

int Shell(const std::string& command) { return std::system(command.c_str()); }

struct Inputs {
    testsupport::TempDir temp;
    std::vector<std::string> clips;
    std::string vob;  // the first title set's video, whose start is title 0
    DvdDisc* disc = nullptr;

    Inputs() {
        for (int i = 0; i < kClips; ++i) {
            clips.push_back(temp.str() + "/clip" + std::to_string(i) + ".mp4");
            Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=" +
                  std::to_string(kClipSeconds) + " -f lavfi -i sine=duration=" + std::to_string(kClipSeconds) +
                  " -c:v mpeg4 -c:a aac '" + clips.back() + "'");
        }
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        if (!build) setenv("LUMACAST_BUILD_DIR", LUMACAST_BUILD_DIR_DEFAULT, 0);
        auto fx = lumacast::fixtures::LoadDvdFixture();
        vob = fx.videoTs + "/VTS_01_1.VOB";
        if (parseDVD(&disc, fx.root.c_str(), 0) != 0) throw std::runtime_error("the DVD fixture cannot be read");
    }
};

Inputs& Shared() {
    static Inputs inputs;
    return inputs;
}

void WholeRun(benchmark::State& state) {
    Inputs& in = Shared();
    DvdTitle& t0 = in.disc->titleSets[0].titles[0];
    int n = 0;
    for (auto _ : state) {
        itemlists::Lists lists;
        auto disc = lists.Add(lists.dvd, nullptr, mkFile, "disc").node;
        auto title = lists.Add(lists.dvd, disc, mkDvdTitle, "Title 0");
        for (int c = 0; c < t0.chapterCount; ++c) {
            auto chapter = lists.Add(lists.dvd, title.node, mkDvdChapter, "c", 0, t0.chapters[c].lengthSeconds);
            chapter.item->dvdChapter = &t0.chapters[c];
        }
        auto row = lists.Add(lists.jobs, nullptr, mkDvdTitle, "Title 0", 0, t0.lengthSeconds);
        row.item->dvdKind = mkDvdTitle;
        row.item->dvdDisc = in.disc;
        row.item->subtitleId = -1;
        itemlists::RealFlvOptions(*row.item, false);
        lists.jobs.SetChecked(row.node, true);
        for (const std::string& clip : in.clips) {
            auto file = lists.Add(lists.jobs, nullptr, mkFile, fs::path(clip).stem().string(), 0, kClipSeconds);
            file.item->mediaInfo = NewMediaInfo();
            std::snprintf(file.item->mediaInfo->path, sizeof file.item->mediaInfo->path, "%s", clip.c_str());
            itemlists::RealFlvOptions(*file.item, false);
            lists.jobs.SetChecked(file.node, true);
        }
        ConvertOutputDir = in.temp.str() + "/run" + std::to_string(n++) + "/";
        fs::create_directories(ConvertOutputDir);
        CancelState = 0;
        TfrmConvert form;
        form.JobList = &lists.jobs;
        form.DvdList = &lists.dvd;
        itemlists::PumpRun(form);
        for (const std::string& line : form.ShowResult().Lines())
            if (line.find("Convert Successful!") == std::string::npos) state.SkipWithError(line.c_str());
    }
}

void CommandLine(benchmark::State& state) {
    Inputs& in = Shared();
    const std::string encode = " -c:v flv -b:v 300k -s 320x240 -r 25 -c:a libmp3lame -b:a 64k -ar 22050 -ac 2 ";
    int n = 0;
    for (auto _ : state) {
        const std::string folder = in.temp.str() + "/cli" + std::to_string(n++) + "/";
        fs::create_directories(folder);
        std::vector<std::pair<std::string, std::string>> jobs;  // input options + input, output name
        jobs.push_back({"-t 4 -i '" + in.vob + "'", "title"});
        for (int i = 0; i < kClips; ++i) jobs.push_back({"-i '" + in.clips[i] + "'", "clip" + std::to_string(i)});
        for (const auto& [input, name] : jobs) {
            const std::string flv = folder + name + ".flv";
            if (Shell("ffmpeg -nostdin -loglevel error -y " + input + encode + "'" + flv + "'") != 0 ||
                Shell("ffmpeg -nostdin -loglevel error -y -ss 1 -i '" + flv + "' -frames:v 1 '" + folder + name +
                      ".jpg'") != 0)
                state.SkipWithError("ffmpeg failed");
        }
    }
}

BENCHMARK(WholeRun)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(CommandLine)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

}  // namespace jobmodel
