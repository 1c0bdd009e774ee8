// Speed and memory of the node store: adding a million nodes, walking them, finding the
// node at a position with the position cache, and the memory a node costs.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include <memory>
#include <cstdio>
#include <random>

#include "platform/core/messages.h"
#include "platform/core/clock.h"
#include "platform/controls/forms.h"
#include "platform/graphics/gdi.h"
#include "platform/windows/backend.h"
#include "support/pump.h"
#include "treeview/vststrings.h"
#include "treeview/vtheader.h"

namespace {

using namespace treeview;

constexpr std::uint32_t Million = 1000000;

constexpr auto& Pump = testsupport::PumpMessages;

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

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The least a node store can do: `count` zeroed records of the tree's record, internal area
// and `dataSize` bytes of data from the heap, linked as siblings, then freed. Gives the
// thread CPU seconds of making them.
double CallocSiblingsSeconds(std::uint32_t count, std::size_t dataSize) {
    const std::size_t size = sizeof(TVastNode) + 4 + dataSize;
    const double t0 = ThreadSeconds();
    PVastNode first = nullptr, last = nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
        auto* node = static_cast<PVastNode>(std::calloc(1, size));
        node->Index = i;
        node->PrevSibling = last;
        (last ? last->NextSibling : first) = node;
        last = node;
    }
    const double t1 = ThreadSeconds();
    benchmark::DoNotOptimize(first);
    while (first) {
        PVastNode next = first->NextSibling;
        std::free(first);
        first = next;
    }
    return t1 - t0;
}

// A million AddChild calls in an update bracket, against the least a node store can do:
// a million zeroed records of the same size from the heap, linked as siblings. Thread CPU
// time of both in the same iteration; ratio = AddChild / bare records.
void BM_AddChildVersusCalloc(benchmark::State& state) {
    double ours = 0, peer = 0;
    for (auto _ : state) {
        auto tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(16);
        double t0 = ThreadSeconds();
        tree->BeginUpdate();
        for (std::uint32_t i = 0; i < Million; ++i) tree->AddChild(nullptr);
        tree->EndUpdate();
        double t1 = ThreadSeconds();
        peer += CallocSiblingsSeconds(Million, 16);
        tree.reset();
        Pump();
        ours += t1 - t0;
    }
    const double n = double(state.iterations());
    state.counters["addchild_ms"] = ours / n * 1e3;
    state.counters["calloc_ms"] = peer / n * 1e3;
    state.counters["ratio"] = ours / peer;
}
BENCHMARK(BM_AddChildVersusCalloc)->Unit(benchmark::kMillisecond)->Iterations(3);

// Trees of 100,000 nodes with 1684 bytes of data each, made and destroyed one after another
// (a list refilled again and again), against the same records from the heap, made and
// freed the same way. Each tree needs far more memory than one block; whether the next tree
// gets back the memory of the last one or faults in fresh pages shows here. Thread CPU time
// (the kernel's page faults included) of the filling only; ratio = tree / heap.
void BM_LargeTreesOneAfterAnother(benchmark::State& state) {
    constexpr std::uint32_t kNodes = 100000;
    constexpr std::int32_t kData = 1684;
    double ours = 0, peer = 0;
    for (auto _ : state) {
        auto tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(kData);
        double t0 = ThreadSeconds();
        tree->BeginUpdate();
        tree->SetRootNodeCount(kNodes);
        tree->EndUpdate();
        double t1 = ThreadSeconds();
        tree.reset();
        Pump();
        peer += CallocSiblingsSeconds(kNodes, std::size_t(kData));
        ours += t1 - t0;
    }
    const double n = double(state.iterations());
    state.counters["tree_ms"] = ours / n * 1e3;
    state.counters["calloc_ms"] = peer / n * 1e3;
    state.counters["ratio"] = ours / peer;
}
BENCHMARK(BM_LargeTreesOneAfterAnother)->Unit(benchmark::kMillisecond)->Iterations(10);

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

// Batches of lookups by position in the cached million-node tree, against the floor of
// such a lookup: a binary search in a sorted array of every row's top. Thread CPU time
// of both in the same iteration; ratio = GetNodeAt / binary search.
void BM_NodeAtVersusSortedArray(benchmark::State& state) {
    constexpr int kBatch = 1000;
    auto tree = MakeTree(true);
    for (int round = 0; round < 100000 && !(tree->TreeStates() & tsUseCache); ++round) {
        Pump();
        platform::Sleep(1);
    }
    if (!(tree->TreeStates() & tsUseCache)) {
        state.SkipWithError("the position cache was not built");
        return;
    }
    std::vector<std::uint32_t> tops;
    std::uint32_t y = 0;
    for (PVastNode run = tree->GetFirstVisibleNoInit(); run; run = tree->GetNextVisibleNoInit(run)) {
        tops.push_back(y);
        y += run->NodeHeight;
    }
    const std::uint32_t height = tree->RootNode()->TotalHeight - tree->RootNode()->NodeHeight;
    std::mt19937 random(7);
    std::vector<int> positions(kBatch);
    double ours = 0, peer = 0;
    for (auto _ : state) {
        for (int& p : positions) p = int(random() % height);
        int top = 0;
        double t0 = ThreadSeconds();
        for (int p : positions) benchmark::DoNotOptimize(tree->GetNodeAt(0, p, false, top));
        double t1 = ThreadSeconds();
        for (int p : positions)
            benchmark::DoNotOptimize(std::upper_bound(tops.begin(), tops.end(), std::uint32_t(p)) - tops.begin());
        double t2 = ThreadSeconds();
        ours += t1 - t0;
        peer += t2 - t1;
    }
    const double n = double(state.iterations()) * kBatch;
    state.counters["getnodeat_us"] = ours / n * 1e6;
    state.counters["array_us"] = peer / n * 1e6;
    state.counters["ratio"] = ours / peer;
}
BENCHMARK(BM_NodeAtVersusSortedArray)->Unit(benchmark::kMillisecond);

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

// ---- painting (800 x 600, four fixed columns, texts from OnGetText) ----

struct PaintBench {
    explicit PaintBench(std::uint32_t rows) {
        static bool backend = false;
        if (!backend) {
            platform::SetBackend(platform::CreateHeadlessBackend(1280, 1024));
            backend = true;
        }
        form = std::make_unique<platform::TForm>(nullptr);
        form->SetBounds(0, 0, 840, 680);
        form->AfterConstruction();
        tree = new TVastStringTree(form.get());
        tree->SetParent(form.get());
        tree->SetBounds(0, 0, 800, 600);
        tree->SetNodeDataSize(16);
        tree->TreeOptions()->SetMiscOptions(tree->TreeOptions()->MiscOptions() | toCheckSupport);
        for (int i = 0; i < 4; ++i) {
            TVastTreeColumn* column = tree->Header()->Columns()->Add();
            column->SetWidth(200);
            column->SetOptions(column->Options() | coFixed);
        }
        tree->OnGetText = [](TBaseVastTree*, PVastNode node, TColumnIndex column, TVSTTextType, std::string& text) {
            // The same length on every row, so that rows anywhere cost the same to draw.
            char buffer[32];
            std::snprintf(buffer, sizeof(buffer), "row %07u cell %d", node->Index, column);
            text = buffer;
        };
        tree->OnInitNode = [](TBaseVastTree* sender, PVastNode, PVastNode node, TVastNodeInitStates&) {
            sender->SetCheckType(node, ctCheckBox);
        };
        tree->BeginUpdate();
        tree->SetRootNodeCount(rows);
        tree->EndUpdate();
        form->Show();
        for (int round = 0; round < 20000 && rows > CacheThreshold && !(tree->TreeStates() & tsUseCache); ++round) {
            Pump();
            platform::Sleep(1);
        }
        target.SetPixelFormat(platform::pf32bit);
        target.SetSize(tree->ClientWidth(), tree->ClientHeight());
    }
    // Paints the client rows from top (tree coordinates) over a strip of the given height.
    void Paint(int top, int height) {
        platform::TRect window{0, top, tree->ClientWidth(), top + height};
        tree->PaintTree(target.Canvas(), window, platform::TPoint{0, 0}, DefaultPaintFlags);
    }
    std::unique_ptr<platform::TForm> form;
    TVastStringTree* tree = nullptr;
    platform::TBitmap target;
};

// Arg: rows in the tree; the window shows the middle of it.
void BM_PaintWindow(benchmark::State& state) {
    PaintBench bench(std::uint32_t(state.range(0)));
    int top = std::max(0, bench.tree->RangeHeight() / 2 - 300);
    if (bench.tree->RangeHeight() < 600) top = 0;
    for (auto _ : state) bench.Paint(top, bench.tree->ClientHeight());
    state.counters["cache"] = (bench.tree->TreeStates() & tsUseCache) ? 1 : 0;
}
BENCHMARK(BM_PaintWindow)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// One copy of the client area: the floor of any paint.
void BM_BlitClient(benchmark::State& state) {
    PaintBench bench(100);
    platform::TBitmap source;
    source.SetPixelFormat(platform::pf32bit);
    source.SetSize(bench.tree->ClientWidth(), bench.tree->ClientHeight());
    for (auto _ : state)
        platform::BitBlt(bench.target.Canvas()->Handle(), 0, 0, source.Width(), source.Height(),
                         source.Canvas()->Handle(), 0, 0, platform::SRCCOPY);
}
BENCHMARK(BM_BlitClient)->Unit(benchmark::kMicrosecond);

// Scrolling one line repaints one row strip; Arg 0 at the top, 1 at the end of the tree.
void BM_PaintScrolledLine(benchmark::State& state) {
    PaintBench bench(1000000);
    int top = bench.tree->RangeHeight() / 2;
    for (auto _ : state) bench.Paint(top, 18);
}
BENCHMARK(BM_PaintScrolledLine)->Unit(benchmark::kMicrosecond);

void BM_PaintPage(benchmark::State& state) {
    PaintBench bench(1000000);
    const int page = bench.tree->ClientHeight(), range = bench.tree->RangeHeight();
    int top = state.range(0) ? range - page : 0;
    for (auto _ : state) bench.Paint(top, page);
}
// Arg 0: the first page, 1: the last.
BENCHMARK(BM_PaintPage)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Heap bytes per node against the node record and its data area.
void BM_MemoryPerNode(benchmark::State& state) {
    const std::int32_t dataSize = std::int32_t(state.range(0));
    double perNode = 0;
    for (auto _ : state) {
        auto tree = std::make_unique<TVastStringTree>(nullptr);
        tree->SetNodeDataSize(dataSize);
        // The heap, its blocks mapped on their own included, and the node store's own blocks.
        auto held = [&] {
            struct mallinfo2 m = mallinfo2();
            return double(m.uordblks) + double(m.hblkhd) + double(tree->NodeBlockBytes());
        };
        double before = held();
        tree->SetRootNodeCount(100000);
        perNode = (held() - before) / 100000.0;
    }
    double record = double(sizeof(TVastNode) + 4 + std::size_t(dataSize));
    state.counters["bytes_per_node"] = perNode;
    state.counters["record_and_data"] = record;
    state.counters["ratio"] = perNode / record;
}
BENCHMARK(BM_MemoryPerNode)->Arg(16)->Arg(1684)->Iterations(1)->Unit(benchmark::kMillisecond);


// ---- incremental search: 100,000 rows, the one match 10 rows before the end ----

constexpr std::uint32_t SearchRows = 100000;

void SearchText(PVastNode node, TColumnIndex column, std::string& text) {
    char buffer[32];
    if (node->Index == SearchRows - 10)
        std::snprintf(buffer, sizeof(buffer), "zebra %d", column);
    else
        std::snprintf(buffer, sizeof(buffer), "row %07u cell %d", node->Index, column);
    text = buffer;
}

// The tree's search, from the first row, for the one text starting with "z".
void BM_IncrementalSearch(benchmark::State& state) {
    PaintBench bench(SearchRows);
    TVastStringTree* tree = bench.tree;
    tree->OnGetText = [](TBaseVastTree*, PVastNode node, TColumnIndex column, TVSTTextType, std::string& text) {
        SearchText(node, column, text);
    };
    // Every row initialised before, as for the plain loop.
    for (PVastNode run = tree->GetFirst(); run; run = tree->GetNext(run)) {
    }
    for (auto _ : state) {
        state.PauseTiming();
        tree->SetSearchOption(TBaseVastTree::isNone);
        tree->SetSearchOption(TBaseVastTree::isAll);
        tree->SetFocusedNode(tree->GetFirst());
        state.ResumeTiming();
        tree->HandleIncrementalSearch('z');
    }
    if (!tree->FocusedNode() || tree->FocusedNode()->Index != SearchRows - 10) state.SkipWithError("no match");
}
BENCHMARK(BM_IncrementalSearch)->Unit(benchmark::kMillisecond);

// What the search cannot beat: the same handler called over the same rows in a plain
// loop, comparing prefixes.
void BM_SearchLoop(benchmark::State& state) {
    PaintBench bench(SearchRows);
    TVastStringTree* tree = bench.tree;
    TVSTGetTextEvent handler = [](TBaseVastTree*, PVastNode node, TColumnIndex column, TVSTTextType,
                                  std::string& text) { SearchText(node, column, text); };
    for (PVastNode run = tree->GetFirst(); run; run = tree->GetNext(run)) {
    }
    for (auto _ : state) {
        PVastNode found = nullptr;
        std::string text;
        for (PVastNode run = tree->GetFirst(); run && !found; run = tree->GetNext(run)) {
            text.clear();
            handler(tree, run, 0, ttNormal, text);
            if (text.compare(0, 1, "z") == 0) found = run;
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_SearchLoop)->Unit(benchmark::kMillisecond);

}  // namespace
