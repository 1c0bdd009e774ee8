// Loading a large settings store against parsing its text alone: what loading adds
// (parents, order, the image) should stay within the cost of the parse itself.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/core/registry.h"
#include "support/tempdir.h"

using namespace platform;

namespace {

// A store of `count` keys, three levels deep, listed in shuffled order with their
// parents left out (as a hand edit may), one value each.
std::string StoreText(int count) {
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back("key \"Software\\\\Group" + std::to_string(i % 97) + "\\\\Item" + std::to_string(i) +
                        "\"\nvalue \"V\" integer " + std::to_string(i) + "\n");
    std::shuffle(lines.begin(), lines.end(), std::mt19937(7));
    std::string text = "lumacast registry 1\n";
    for (const std::string& l : lines) text += l;
    return text + "end\n";
}

void BM_ParseStore(benchmark::State& state) {
    const std::string text = StoreText(int(state.range(0)));
    for (auto _ : state) {
        std::vector<regstore::Key> keys;
        std::string error;
        if (!regstore::Parse(text, keys, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(keys.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(BM_ParseStore)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond);

// The same store as this program writes it: every parent listed, keys in order.
std::string WrittenStoreText(int count) {
    testsupport::TempDir dir;
    std::ofstream(dir / "registry", std::ios::binary) << StoreText(count);
    ::setenv("LUMACAST_REGISTRY_DIR", dir.str().c_str(), 1);
    {
        TRegistry reg;
        reg.OpenKey("\\Software", false);
        reg.WriteInteger("Rewritten", 1);
    }
    ::unsetenv("LUMACAST_REGISTRY_DIR");
    std::ifstream in(dir / "registry", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Two folders with the same store: switching between them makes every look a fresh load
// (read, parse, parents, order). Second argument: 1 for the hand-edited (shuffled, parents
// left out) store, 0 for the one this program writes.
void BM_LoadStore(benchmark::State& state) {
    const std::string text = state.range(1) ? StoreText(int(state.range(0))) : WrittenStoreText(int(state.range(0)));
    testsupport::TempDir a, b;
    std::ofstream(a / "registry", std::ios::binary) << text;
    std::ofstream(b / "registry", std::ios::binary) << text;
    bool flip = false;
    for (auto _ : state) {
        ::setenv("LUMACAST_REGISTRY_DIR", (flip ? a : b).str().c_str(), 1);
        flip = !flip;
        TRegistry reg;
        if (!reg.KeyExists("\\Software\\Group5")) state.SkipWithError("the store did not load");
    }
    ::unsetenv("LUMACAST_REGISTRY_DIR");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(BM_LoadStore)->Args({1000, 1})->Args({8000, 1})->Args({8000, 0})->Unit(benchmark::kMillisecond);

}  // namespace
