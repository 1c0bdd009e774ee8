// Player builds: an embedded player for a 10-minute FLV next to a plain copy of the same
// FLV (the floor any build that copies the video has to pay), and a progressive player.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>

#include "playermaker/world.h"

namespace {

using namespace pmtest;

const std::string& LongFlv() {
    static TempDir dir;
    static const std::string flv = [] {
        const std::string path = dir / "ten-minutes.flv";
        if (!Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i "
                 "sine=sample_rate=44100 -t 600 -c:v flv -b:v 400k -c:a libmp3lame -ar 44100 -b:a 64k " +
                 Quote(path))) {
            throw std::runtime_error("ffmpeg failed");
        }
        return path;
    }();
    return flv;
}

void BM_CopyTenMinuteFlv(benchmark::State& state) {
    TempDir out;
    const std::string& flv = LongFlv();
    for (auto _ : state) {
        std::filesystem::copy_file(flv, out / "copy.flv", std::filesystem::copy_options::overwrite_existing);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(flv)));
}
BENCHMARK(BM_CopyTenMinuteFlv)->Unit(benchmark::kMillisecond);

void BM_EmbeddedPlayerTenMinuteFlv(benchmark::State& state) {
    World::Get();
    TempDir out;
    const std::string& flv = LongFlv();
    for (auto _ : state) {
        Group g(out / "player.swf", flv, 25);
        if (generateFLVPlayer(g.g) != 0) state.SkipWithError("build failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(flv)));
}
BENCHMARK(BM_EmbeddedPlayerTenMinuteFlv)->Unit(benchmark::kMillisecond);

void BM_ProgressivePlayer(benchmark::State& state) {
    World::Get();
    TempDir out;
    for (auto _ : state) {
        Group g(out / "player.swf", "");
        g.g->generate->swfType = stProgressive;
        g.g->generate->playlistInScript = 1;
        for (int i = 0; i < 10; ++i) g.AddMedia("clip" + std::to_string(i) + ".flv", "Clip " + std::to_string(i));
        if (generateFLVPlayer(g.g) != 0) state.SkipWithError("build failed");
    }
}
BENCHMARK(BM_ProgressivePlayer)->Unit(benchmark::kMillisecond);

}  // namespace
