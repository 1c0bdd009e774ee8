// From Navigate of a rebuilt movie to the moment its player runs, in the embedded browser
// on a virtual display: the preview page kept loaded (only the movie is replaced) against a
// whole-page reload (the player's WebAssembly is fetched and compiled again). The view
// settles for half a second between movies, untimed, as between a user's changes; the kept
// page is measured back to back as well. "median_ms" is the median of the case's movies.
//
// BM_FirstPreview: a view's first movie, from Navigate to the moment its player runs, with a
// helper started cold against one prepared ahead by a hidden view (idle for two seconds
// before), alternating in each iteration; in each view a movie change half a second after
// its first movie (change_cold_ms, change_ms). It gives
// the medians, their ratio, and the memory the prepared helper holds while it waits (the
// resident size of the helper and its browser processes, and of this program before and
// after).
//   LUMACAST_PROGRAM_DIR=<build>/lumacast <build>/bench/platform_webview_bench
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

// One virtual display for every case, made at the first use.
Display& TheDisplay() {
    static Display display;
    return display;
}

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
    Display& display = TheDisplay();
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

// Resident memory of a process in MB (0 when it is gone).
double ResidentMb(pid_t pid) {
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!f) return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof(line), f))
        if (std::sscanf(line, "VmRSS: %lf", &kb) == 1) break;
    std::fclose(f);
    return kb / 1024;
}

// The process and every process below it.
std::vector<pid_t> WithDescendants(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> parents;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        FILE* f = std::fopen((entry.path() / "stat").c_str(), "r");
        if (!f) continue;
        char line[1024] = {};
        size_t n = std::fread(line, 1, sizeof(line) - 1, f);
        std::fclose(f);
        std::string stat(line, n);
        size_t close = stat.rfind(')');
        if (close == std::string::npos || close + 4 >= stat.size()) continue;
        parents.emplace_back(std::stoi(name), std::atoi(stat.c_str() + close + 4));
    }
    std::vector<pid_t> out = {root};
    for (size_t i = 0; i < out.size(); ++i)
        for (const auto& [pid, parent] : parents)
            if (parent == out[i]) out.push_back(pid);
    return out;
}

void Settle(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

TForm* NewForm(int left) {
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(left, 0, 400, 300);
    form->AfterConstruction();
    return form;
}

TCppWebBrowser* NewView(TForm* form, const fs::path& folder) {
    auto* view = new TCppWebBrowser(form);
    view->SetParent(form);
    view->SetBounds(20, 30, 320, 240);
    view->SetProgramFolder(folder.string());
    view->SetHelperProgram((folder / "lumacast-webview").string());
    return view;
}

// Milliseconds from Navigate to the player running (negative when it never runs).
double FirstMovie(TCppWebBrowser* view, const std::string& movie) {
    auto start = std::chrono::steady_clock::now();
    view->Navigate(movie);
    if (!WaitPlaying(view)) return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void BM_FirstPreview(benchmark::State& state) {
    Display& display = TheDisplay();
    const char* program = std::getenv("LUMACAST_PROGRAM_DIR");
    if (!display.ok || !program) {
        state.SkipWithError("needs Xvfb and LUMACAST_PROGRAM_DIR");
        return;
    }
    fs::path folder(program);
    fs::create_directories(folder / "temp");
    std::string movie = (folder / "temp" / ("webview-first-" + std::to_string(getpid()) + ".swf")).string();
    std::vector<double> cold, warm, change, changeCold, helperMb, ownBefore, ownAfter;
    int x = 0;
    for (auto _ : state) {
        // Cold: the view starts its helper, which loads the page and the player.
        WriteMovie(movie, x += 7);
        TForm* form = NewForm(0);
        TCppWebBrowser* view = NewView(form, folder);
        form->Show();
        Application->ProcessMessages();
        double took = FirstMovie(view, movie);
        double changedCold = -1;
        if (took >= 0) {
            Settle(500);
            WriteMovie(movie, x += 7);
            changedCold = FirstMovie(view, movie);
        }
        delete form;
        Application->ProcessMessages();
        if (took < 0 || changedCold < 0) {
            state.SkipWithError("the cold preview did not play");
            break;
        }
        cold.push_back(took);
        changeCold.push_back(changedCold);

        // Warmed: a hidden view in another window prepared the helper, and the program
        // stayed idle for two seconds before the view was given its first movie.
        fs::remove(movie);
        TForm* host = NewForm(400);
        TCppWebBrowser* ahead = NewView(host, folder);
        ahead->SetVisible(false);
        host->Show();
        Application->ProcessMessages();
        ownBefore.push_back(ResidentMb(getpid()));
        ahead->PrepareAhead(movie);
        pid_t helper = ahead->HelperPid();
        for (int i = 0; i < 60000 && !ahead->Prepared() && ahead->State() != TCppWebBrowser::TState::Unavailable; ++i) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        Settle(2000);
        double held = 0;
        for (pid_t pid : WithDescendants(helper)) held += ResidentMb(pid);
        helperMb.push_back(held);
        ownAfter.push_back(ResidentMb(getpid()));
        form = NewForm(0);
        view = NewView(form, folder);
        form->Show();
        Application->ProcessMessages();
        WriteMovie(movie, x += 7);
        took = FirstMovie(view, movie);
        bool taken = view->HelperPid() == helper;
        // An option change afterwards, as a user's click half a second later.
        double changed = -1;
        if (took >= 0) {
            Settle(500);
            WriteMovie(movie, x += 7);
            changed = FirstMovie(view, movie);
        }
        delete form;
        delete host;
        Application->ProcessMessages();
        if (took < 0 || changed < 0 || !taken) {
            state.SkipWithError("the warmed preview did not play in the prepared helper");
            break;
        }
        warm.push_back(took);
        change.push_back(changed);
        state.SetIterationTime((cold.back() + warm.back()) / 1000);
    }
    state.counters["cold_ms"] = Median(cold);
    state.counters["warm_ms"] = Median(warm);
    state.counters["cold_per_warm"] = Median(warm) > 0 ? Median(cold) / Median(warm) : 0;
    state.counters["change_ms"] = Median(change);
    state.counters["change_cold_ms"] = Median(changeCold);
    state.counters["helper_rss_mb"] = Median(helperMb);
    state.counters["own_rss_before_mb"] = Median(ownBefore);
    state.counters["own_rss_after_mb"] = Median(ownAfter);
    fs::remove(movie);
}

void BM_RebuildOnly(benchmark::State& state) { Refresh(state, true, true); }
void BM_RefreshPageKeptLoaded(benchmark::State& state) { Refresh(state, true, false); }
void BM_RefreshPageKeptLoadedBackToBack(benchmark::State& state) { Refresh(state, true, false, false); }
void BM_RefreshWholePageReload(benchmark::State& state) { Refresh(state, false, false); }

BENCHMARK(BM_FirstPreview)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);
BENCHMARK(BM_RebuildOnly)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);
BENCHMARK(BM_RefreshPageKeptLoaded)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_RefreshPageKeptLoadedBackToBack)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_RefreshWholePageReload)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
