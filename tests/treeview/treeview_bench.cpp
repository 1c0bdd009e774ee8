// Speed and memory of the node store: adding a million nodes, walking them, finding the
// node at a position with the position cache, and the memory a node costs.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <random>

#include "platform/core/messages.h"
#include "platform/core/clock.h"
#include "treeview/vststrings.h"

namespace {

using namespace treeview;

constexpr std::uint32_t Million = 1000000;

void Pump() {
    platform::MSG msg;
    while (platform::PeekMessage(&msg, nullptr, 0, 0, platform::PM_REMOVE)) platform::DispatchMessage(&msg);
}

void BM_AddChildMillion(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(16);
        state.ResumeTiming();
        tree->BeginUpdate();
        for (std::uint32_t i = 0; i < Million; ++i) tree->AddChild(nullptr);
        tree->EndUpdate();
        state.PauseTiming();
        tree.reset();
        Pump();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * Million);
}
BENCHMARK(BM_AddChildMillion)->Unit(benchmark::kMillisecond);

void BM_RootNodeCountMillion(benchmark::State& state) {
    for (auto _ : state) {
        auto tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(16);
        tree->SetRootNodeCount(Million);
        state.PauseTiming();
        tree.reset();
        Pump();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * Million);
}
BENCHMARK(BM_RootNodeCountMillion)->Unit(benchmark::kMillisecond);

// A million nodes: a thousand top-level nodes with a thousand children each.
std::unique_ptr<TVastStringTree> MakeTree(bool expanded) {
    auto tree = std::make_unique<TVastStringTree>(nullptr);
    tree->SetNodeDataSize(16);
    tree->BeginUpdate();
    tree->SetRootNodeCount(1000);
    for (PVastNode run = tree->GetFirstNoInit(); run; run = run->NextSibling) {
        tree->SetChildCount(run, 999);
        if (expanded) tree->SetExpanded(run, true);
    }
    tree->EndUpdate();
    return tree;
}

void BM_WalkMillion(benchmark::State& state) {
    auto tree = MakeTree(false);
    tree->TotalCount();  // initialise everything once
    for (auto _ : state) {
        std::uint32_t count = 0;
        for (PVastNode run = tree->GetFirst(); run; run = tree->GetNext(run)) ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * Million);
}
BENCHMARK(BM_WalkMillion)->Unit(benchmark::kMillisecond);

void BM_WalkMillionNoInit(benchmark::State& state) {
    auto tree = MakeTree(false);
    for (auto _ : state) {
        std::uint32_t count = 0;
        for (PVastNode run = tree->GetFirstNoInit(); run; run = tree->GetNextNoInit(run)) ++count;
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * Million);
}
BENCHMARK(BM_WalkMillionNoInit)->Unit(benchmark::kMillisecond);

void BM_NodeAtWithCache(benchmark::State& state) {
    auto tree = MakeTree(true);
    for (int round = 0; round < 100000 && !(tree->TreeStates() & tsUseCache); ++round) {
        Pump();
        platform::Sleep(1);
    }
    if (!(tree->TreeStates() & tsUseCache)) {
        state.SkipWithError("the position cache was not built");
        return;
    }
    std::mt19937 random(7);
    std::uint32_t height = tree->RootNode()->TotalHeight - tree->RootNode()->NodeHeight;
    int top = 0;
    for (auto _ : state) benchmark::DoNotOptimize(tree->GetNodeAt(0, int(random() % height), false, top));
    state.counters["entries"] = double(tree->PositionCache().size());
}
BENCHMARK(BM_NodeAtWithCache)->Unit(benchmark::kMicrosecond);

// Lookups near the end of 100,000 rows filled in an update bracket and used at once (a
// selection), while a second large tree keeps the worker busy; the program's message
// loop then runs for a while. Arg 1 pumps as that loop would; Arg 0 never does, so every
// lookup walks from the first row: the cost of a stopped rebuild that never restarts.
void BM_NodeAtAfterFill(benchmark::State& state) {
    const bool pump = state.range(0) != 0;
    TVastStringTree busy(nullptr), tree(nullptr);
    busy.SetNodeDataSize(16);
    tree.SetNodeDataSize(16);
    busy.SetRootNodeCount(Million);
    tree.BeginUpdate();
    tree.SetRootNodeCount(100000);
    tree.EndUpdate();
    tree.SetSelected(tree.GetFirst(), true);
    for (int round = 0; pump && round < 20000 && !(tree.TreeStates() & tsUseCache); ++round) {
        Pump();
        platform::Sleep(1);
    }
    std::mt19937 random(7);
    int height = int(tree.RootNode()->TotalHeight - tree.RootNode()->NodeHeight);
    int top = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(tree.GetNodeAt(0, height - 1 - int(random() % 2000) * 18, false, top));
    state.counters["cache_in_use"] = (tree.TreeStates() & tsUseCache) ? 1 : 0;
    Pump();
}
BENCHMARK(BM_NodeAtAfterFill)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Heap bytes per node against the node record and its data area.
void BM_MemoryPerNode(benchmark::State& state) {
    const std::int32_t dataSize = std::int32_t(state.range(0));
    double perNode = 0;
    for (auto _ : state) {
        auto tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(dataSize);
        std::size_t before = mallinfo2().uordblks;
        tree->SetRootNodeCount(100000);
        perNode = double(mallinfo2().uordblks - before) / 100000.0;
    }
    double record = double(sizeof(TVastNode) + 4 + std::size_t(dataSize));
    state.counters["bytes_per_node"] = perNode;
    state.counters["record_and_data"] = record;
    state.counters["ratio"] = perNode / record;
}
BENCHMARK(BM_MemoryPerNode)->Arg(16)->Arg(1684)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
