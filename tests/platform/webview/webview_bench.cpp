// From Navigate of a rebuilt movie to the moment its player runs, in the embedded browser
// on a virtual display: the preview page kept loaded (only the movie is replaced) against a
// whole-page reload (the player's WebAssembly is fetched and compiled again). The view
// settles for half a second between movies, untimed, as between a user's changes; the kept
// page is measured back to back as well. "median_ms" is the median of the case's movies.
//   LUMACAST_PROGRAM_DIR=<build>/lumacast <build>/bench/platform_webview_bench
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/controls/forms.h"
#include "platform/controls/webbrowser.h"
#include "platform/windows/backend.h"
#include "swf/swf.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace platform;

// A movie whose square sits at x: each rebuild differs from the last.
void WriteMovie(const std::string& path, int x) {
    SWFMovie movie = newSWFMovie();
    SWFMovie_setDimension(movie, 320, 240);
    SWFMovie_setRate(movie, 24);
    SWFShape square = newSWFShape();
    SWFFill fill = SWFShape_addSolidFill(square, 255, 0, 0, 255);
    SWFShape_setRightFill(square, fill);
    SWFShape_drawLine(square, 60, 0);
    SWFShape_drawLine(square, 0, 60);
    SWFShape_drawLine(square, -60, 0);
    SWFShape_drawLine(square, 0, -60);
    SWFDisplayItem_moveTo(SWFMovie_add(movie, (SWFBlock)square), x % 260, 90);
    SWFMovie_nextFrame(movie);
    SWFMovie_save(movie, path.c_str());
    destroySWFFill(fill);
    destroySWFShape(square);
    destroySWFMovie(movie);
}

struct Display {
    pid_t pid = -1;
    bool ok = false;
    Display() {
        int fds[2];
        if (pipe(fds) != 0) return;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp", nullptr};
        if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid = -1;
        close(fds[1]);
        std::string number;
        char c;
        while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        unsetenv("LUMACAST_HEADLESS");
        auto backend = CreateX11Backend();
        if (!backend) return;
        SetBackend(std::move(backend));
        ok = true;
    }
    ~Display() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

bool WaitPlaying(TCppWebBrowser* browser) {
    for (int i = 0; i < 60000; ++i) {
        Application->ProcessMessages();
        TCppWebBrowser::TState s = browser->State();
        if (s == TCppWebBrowser::TState::Playing) return true;
        if (s == TCppWebBrowser::TState::Unavailable) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void Refresh(benchmark::State& state, bool keepPageLoaded, bool rebuildOnly, bool settle = true) {
    static Display display;
    const char* program = std::getenv("LUMACAST_PROGRAM_DIR");
    if (!display.ok || !program) {
        state.SkipWithError("needs Xvfb and LUMACAST_PROGRAM_DIR");
        return;
    }
    fs::path folder(program);
    fs::create_directories(folder / "temp");
    std::string movie = (folder / "temp" / ("webview-bench-" + std::to_string(getpid()) + ".swf")).string();
    WriteMovie(movie, 0);
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 400, 300);
    form->AfterConstruction();
    auto* browser = new TCppWebBrowser(form);
    browser->SetParent(form);
    browser->SetBounds(20, 30, 320, 240);
    browser->SetProgramFolder(folder.string());
    browser->SetHelperProgram((folder / "lumacast-webview").string());
    browser->SetKeepPageLoaded(keepPageLoaded);
    form->Show();
    browser->Navigate(movie);
    if (!WaitPlaying(browser)) state.SkipWithError(("the preview did not play: " + browser->Unavailability()).c_str());
    int x = 0;
    std::vector<double> times;
    for (auto _ : state) {
        if (!rebuildOnly && settle) {
            auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
            while (std::chrono::steady_clock::now() < end) {
                Application->ProcessMessages();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        auto start = std::chrono::steady_clock::now();
        WriteMovie(movie, x += 7);
        if (!rebuildOnly) {
            browser->Navigate(movie);
            if (!WaitPlaying(browser)) {
                state.SkipWithError("the preview did not play");
                break;
            }
        }
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        times.push_back(took.count() * 1000);
    }
    std::sort(times.begin(), times.end());
    if (!times.empty()) state.counters["median_ms"] = times[times.size() / 2];
    delete form;
    Application->ProcessMessages();
    fs::remove(movie);
}

void BM_RebuildOnly(benchmark::State& state) { Refresh(state, true, true); }
void BM_RefreshPageKeptLoaded(benchmark::State& state) { Refresh(state, true, false); }
void BM_RefreshPageKeptLoadedBackToBack(benchmark::State& state) { Refresh(state, true, false, false); }
void BM_RefreshWholePageReload(benchmark::State& state) { Refresh(state, false, false); }

BENCHMARK(BM_RebuildOnly)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);
BENCHMARK(BM_RefreshPageKeptLoaded)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_RefreshPageKeptLoadedBackToBack)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_RefreshWholePageReload)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
