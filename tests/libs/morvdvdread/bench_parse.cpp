// Reading the DVD fixture's structure, against lsdvd reading the same folder: both are
// timed in the same run and the ratio reported (reader time / lsdvd time).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "libs/morvdvdread/morvdvdread.h"

namespace {

bool FixtureReady() {
    static const bool ready = std::system("bash '" DVD_FIXTURE_SCRIPT "' '" DVD_FIXTURE_DIR "' >/dev/null") == 0;
    return ready;
}

void BM_ParseFixtureVersusLsdvd(benchmark::State& state) {
    if (!FixtureReady()) {
        state.SkipWithError("the DVD fixture could not be made");
        return;
    }
    using Clock = std::chrono::steady_clock;
    const std::string lsdvd = "lsdvd -x '" DVD_FIXTURE_DIR "' >/dev/null 2>&1";
    Clock::duration reader{}, other{};
    for (auto _ : state) {
        auto t0 = Clock::now();
        DvdDisc* disc = nullptr;
        if (parseDVD(&disc, DVD_FIXTURE_DIR, 0) != DVD_OK) {
            state.SkipWithError("the fixture did not parse");
            return;
        }
        benchmark::DoNotOptimize(disc);
        auto t1 = Clock::now();
        if (std::system(lsdvd.c_str()) != 0) {
            state.SkipWithError("lsdvd failed");
            return;
        }
        auto t2 = Clock::now();
        reader += t1 - t0;
        other += t2 - t1;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["reader_ms"] = std::chrono::duration<double, std::milli>(reader).count() / n;
    state.counters["lsdvd_ms"] = std::chrono::duration<double, std::milli>(other).count() / n;
    state.counters["ratio"] = std::chrono::duration<double>(reader).count() / std::chrono::duration<double>(other).count();
}
BENCHMARK(BM_ParseFixtureVersusLsdvd)->Unit(benchmark::kMillisecond);

}  // namespace
