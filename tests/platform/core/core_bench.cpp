// Throughput of the message queue and cost of a settings-store write.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/core/messages.h"
#include "platform/core/registry.h"

using namespace platform;

// Posts a batch to a handle of this thread, then reads and dispatches it.
static void BM_PostAndDispatch(benchmark::State& state) {
    std::int64_t seen = 0;
    HWND h = AllocateHWnd([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++seen; });
    const int batch = int(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) PostMessage(h, WM_USER, WPARAM(i), 0);
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    }
    DeallocateHWnd(h);
    state.SetItemsProcessed(seen);
}
BENCHMARK(BM_PostAndDispatch)->Arg(1)->Arg(1000);

// Several worker threads post while this (the owning) thread runs its message loop.
static void BM_PostFromWorkers(benchmark::State& state) {
    const int workers = int(state.range(0));
    constexpr int perWorker = 20000;
    std::int64_t total = 0;
    for (auto _ : state) {
        int seen = 0;
        HWND h = AllocateHWnd([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++seen; });
        std::vector<std::thread> threads;
        for (int w = 0; w < workers; ++w)
            threads.emplace_back([&] {
                for (int i = 0; i < perWorker; ++i)
                    while (!PostMessage(h, WM_USER, 0, 0)) std::this_thread::yield();  // the queue is full
            });
        MSG m;
        while (seen < workers * perWorker && GetMessage(&m, nullptr, 0, 0) > 0) DispatchMessage(&m);
        for (auto& t : threads) t.join();
        DeallocateHWnd(h);
        total += seen;
    }
    state.SetItemsProcessed(total);
}
BENCHMARK(BM_PostFromWorkers)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// A cross-thread SendMessage round trip.
static void BM_SendFromWorker(benchmark::State& state) {
    HWND h = AllocateHWnd([](HWND, UINT, WPARAM w, LPARAM) -> LRESULT { return LRESULT(w); });
    std::atomic<bool> stop{false}, done{false};
    std::atomic<std::int64_t> sent{0};
    std::thread worker([&] {
        while (!stop) {
            SendMessage(h, WM_USER, 1, 0);
            ++sent;
        }
        done = true;
    });
    // One iteration: this thread runs the worker's next call.
    for (auto _ : state) {
        const std::int64_t before = sent;
        MSG m;
        while (sent == before) {
            PeekMessage(&m, nullptr, 0, 0, PM_REMOVE);  // runs a waiting call, marks the queue read
            MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        }
    }
    stop = true;
    while (!done) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    worker.join();
    DeallocateHWnd(h);
    state.SetItemsProcessed(sent);
}
BENCHMARK(BM_SendFromWorker)->UseRealTime();

// One value written to the store: temporary file, flush to disk, rename.
static void BM_RegistryWrite(benchmark::State& state) {
    std::string dir = (std::filesystem::temp_directory_path() / "lumacast-bench-registry").string();
    ::setenv("LUMACAST_REGISTRY_DIR", dir.c_str(), 1);
    TRegistry reg;
    reg.OpenKey("\\Software\\Bench", true);
    int i = 0;
    for (auto _ : state) reg.WriteInteger("Value", ++i);
    std::filesystem::remove_all(dir);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RegistryWrite)->Unit(benchmark::kMicrosecond);
