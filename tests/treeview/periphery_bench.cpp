// Sorting and tree streams against the plain operations they are built on, measured in
// the same run: sorting a million siblings through OnCompareNodes against std::stable_sort
// of the same keys in a vector, and saving and loading a million-node tree against
// writing and reading the same number of bytes in one call each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "platform/core/streams.h"
#include "treeview/vststrings.h"

namespace {

using namespace treeview;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t Million = 1000000;

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

// Processor time of the calling thread: on a shared machine it leaves out the time the
// thread waited for a processor.
double ThreadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The middle of the times measured: on a shared machine single runs stray far.
double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::size_t n = times.size();
    return n == 0 ? 0 : n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

void BM_SortMillionSiblings(benchmark::State& state) {
    std::mt19937 random(7);
    std::vector<std::int32_t> keys(Million);
    for (auto& key : keys) key = std::int32_t(random() % 100000);
    std::vector<double> treeMs, vectorMs, treeCpuMs, vectorCpuMs;
    for (auto _ : state) {
        auto tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(sizeof(std::int32_t));
        tree->OnCompareNodes = [](TBaseVastTree* sender, PVastNode a, PVastNode b, TColumnIndex,
                                  std::int32_t& result) {
            std::int32_t ka = *sender->GetNodeData<std::int32_t>(a), kb = *sender->GetNodeData<std::int32_t>(b);
            result = ka < kb ? -1 : ka > kb ? 1 : 0;
        };
        tree->BeginUpdate();
        tree->SetRootNodeCount(Million);
        tree->EndUpdate();
        std::uint32_t i = 0;
        for (PVastNode n = tree->GetFirstNoInit(); n; n = n->NextSibling) {
            n->States |= vsInitialized;
            *tree->GetNodeData<std::int32_t>(n) = keys[i++];
        }
        // Inside a bracket: the position cache of the sorted tree is rebuilt afterwards,
        // outside the measurement.
        tree->BeginUpdate();
        auto start = Clock::now();
        double cpu = ThreadMs();
        tree->Sort(nullptr, 0, sdAscending, false);
        treeCpuMs.push_back(ThreadMs() - cpu);
        treeMs.push_back(Ms(start));
        tree->EndUpdate();

        std::vector<std::int32_t> plain = keys;
        start = Clock::now();
        cpu = ThreadMs();
        std::stable_sort(plain.begin(), plain.end());
        vectorCpuMs.push_back(ThreadMs() - cpu);
        vectorMs.push_back(Ms(start));
        benchmark::DoNotOptimize(plain.data());
    }
    // Medians of the runs, and the ratios of the medians (wall clock and processor time).
    state.counters["tree_ms"] = Median(treeMs);
    state.counters["vector_ms"] = Median(vectorMs);
    state.counters["ratio"] = Median(treeMs) / Median(vectorMs);
    state.counters["tree_cpu_ms"] = Median(treeCpuMs);
    state.counters["vector_cpu_ms"] = Median(vectorCpuMs);
    state.counters["cpu_ratio"] = Median(treeCpuMs) / Median(vectorCpuMs);
}
BENCHMARK(BM_SortMillionSiblings)->Iterations(9)->Unit(benchmark::kMillisecond);

// A million nodes: a thousand top-level nodes with a thousand children each.
void BM_StreamMillionNodes(benchmark::State& state) {
    double saveMs = 0, loadMs = 0, writeMs = 0, readMs = 0;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TVastStringTree tree(nullptr);
        tree.SetNodeDataSize(4);
        tree.TreeOptions()->SetStringOptions(0);
        tree.BeginUpdate();
        tree.SetRootNodeCount(1000);
        for (PVastNode n = tree.GetFirstNoInit(); n; n = n->NextSibling) {
            n->States |= vsInitialized;
            tree.SetChildCount(n, 999);
            for (PVastNode c = n->FirstChild; c; c = c->NextSibling) c->States |= vsInitialized;
        }
        tree.EndUpdate();

        platform::TMemoryStream stream;
        auto start = Clock::now();
        tree.SaveToStream(stream);
        saveMs += Ms(start);
        bytes = stream.Size();

        TVastStringTree other(nullptr);
        other.SetNodeDataSize(4);
        stream.SetPosition(0);
        start = Clock::now();
        other.LoadFromStream(stream);
        loadMs += Ms(start);
        if (other.RootNode()->TotalCount != Million + 1) state.SkipWithError("the tree did not read back");

        platform::TMemoryStream plain;
        start = Clock::now();
        plain.WriteBuffer(stream.Memory(), bytes);
        writeMs += Ms(start);
        std::vector<std::uint8_t> back(std::size_t(bytes), 0);
        plain.SetPosition(0);
        start = Clock::now();
        plain.ReadBuffer(back.data(), bytes);
        readMs += Ms(start);
        benchmark::DoNotOptimize(back.data());
    }
    double n = double(state.iterations());
    state.counters["bytes"] = double(bytes);
    state.counters["save_ms"] = saveMs / n;
    state.counters["load_ms"] = loadMs / n;
    state.counters["write_ms"] = writeMs / n;
    state.counters["read_ms"] = readMs / n;
    state.counters["ratio"] = (saveMs + loadMs) / (writeMs + readMs);
}
BENCHMARK(BM_StreamMillionNodes)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
