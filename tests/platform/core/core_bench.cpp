// Throughput of the message queue and cost of a settings-store write.
#include <benchmark/benchmark.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
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

using BenchClock = std::chrono::steady_clock;

double Seconds(BenchClock::duration d) { return std::chrono::duration<double>(d).count(); }

// The calling thread's CPU time: what another process on a busy machine takes from the
// thread between two readings does not count, for either side.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Batches of 1,000 messages posted to a handle of this thread and dispatched, against the
// same messages through a bare locked queue (a mutex, a deque of MSG, a call through a
// std::function per message): the least a thread-safe queue of these records costs. Both
// are timed in the same iteration, in thread CPU time; ratio = ours / bare queue.
static void BM_PostedVersusLockedDeque(benchmark::State& state) {
    constexpr int kBatch = 1000;
    std::int64_t seen = 0;
    TWndMethod proc = [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++seen; };
    HWND h = AllocateHWnd(proc);
    std::mutex bareMutex;
    std::deque<MSG> bare;
    double ours = 0, peer = 0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        for (int i = 0; i < kBatch; ++i) PostMessage(h, WM_USER, WPARAM(i), 0);
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
        const double t1 = ThreadSeconds();
        for (int i = 0; i < kBatch; ++i) {
            MSG p;
            p.hwnd = h;
            p.message = WM_USER;
            p.wParam = WPARAM(i);
            std::lock_guard<std::mutex> lock(bareMutex);
            bare.push_back(p);
        }
        for (;;) {
            MSG p;
            {
                std::lock_guard<std::mutex> lock(bareMutex);
                if (bare.empty()) break;
                p = bare.front();
                bare.pop_front();
            }
            proc(p.hwnd, p.message, p.wParam, p.lParam);
        }
        const double t2 = ThreadSeconds();
        ours += t1 - t0;
        peer += t2 - t1;
    }
    DeallocateHWnd(h);
    const double n = double(state.iterations()) * kBatch;
    state.counters["ours_Mps"] = n / ours / 1e6;
    state.counters["bare_Mps"] = n / peer / 1e6;
    state.counters["ratio"] = ours / peer;
}
BENCHMARK(BM_PostedVersusLockedDeque);

// Cross-thread SendMessage round trips (a worker sends, this thread runs its message
// loop), against the same two threads handing a value to and fro through a bare mutex
// and condition variable. Each iteration times 200 of each; ratio = ours / bare hand-off.
static void BM_SendVersusCondvarPingPong(benchmark::State& state) {
    constexpr int kTrips = 200;
    HWND h = AllocateHWnd([](HWND, UINT, WPARAM w, LPARAM) -> LRESULT { return LRESULT(w); });
    std::mutex m;
    std::condition_variable cv;
    int phase = 0;        // 1: the worker sends kTrips messages; 2: it plays kTrips hand-offs; 3: ends
    int ball = 0;         // the bare hand-off: odd while the worker has it
    std::atomic<int> sent{0};
    std::thread worker([&] {
        for (;;) {
            int p;
            {
                std::unique_lock<std::mutex> lock(m);
                cv.wait(lock, [&] { return phase != 0; });
                p = phase;
                phase = 0;
            }
            if (p == 3) return;
            if (p == 1) {
                for (int i = 0; i < kTrips; ++i) SendMessage(h, WM_USER, 1, 0);
                sent = kTrips;
                PostMessage(h, WM_NULL, 0, 0);  // wakes the loop to see the count
            } else {
                for (int i = 0; i < kTrips; ++i) {
                    std::unique_lock<std::mutex> lock(m);
                    cv.wait(lock, [&] { return ball % 2 == 1; });
                    ++ball;
                    cv.notify_all();
                }
            }
        }
    });
    auto start = [&](int p) {
        std::lock_guard<std::mutex> lock(m);
        phase = p;
        cv.notify_all();
    };
    BenchClock::duration ours{}, peer{};
    for (auto _ : state) {
        auto t0 = BenchClock::now();
        sent = 0;
        start(1);
        MSG msg;
        while (sent != kTrips && GetMessage(&msg, nullptr, 0, 0) > 0) DispatchMessage(&msg);
        auto t1 = BenchClock::now();
        start(2);
        for (int i = 0; i < kTrips; ++i) {
            std::unique_lock<std::mutex> lock(m);
            ++ball;
            cv.notify_all();
            cv.wait(lock, [&] { return ball % 2 == 0; });
        }
        auto t2 = BenchClock::now();
        ours += t1 - t0;
        peer += t2 - t1;
    }
    start(3);
    worker.join();
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    DeallocateHWnd(h);
    const double n = double(state.iterations()) * kTrips;
    state.counters["ours_us"] = Seconds(ours) / n * 1e6;
    state.counters["bare_us"] = Seconds(peer) / n * 1e6;
    state.counters["ratio"] = Seconds(ours) / Seconds(peer);
}
BENCHMARK(BM_SendVersusCondvarPingPong)->Unit(benchmark::kMillisecond)->UseRealTime();

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
