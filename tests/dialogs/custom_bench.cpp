// From a discrete change in the customisation dialog (a check box of the Option tab) to the
// refreshed preview's first frame: the player build plus the reload, against the build
// alone, with the preview page kept loaded (only the movie replaced) and with a whole-page
// reload. A user's discrete changes come apart, so the view settles for half a second
// between them, untimed; the back-to-back case, each change the moment the last one
// played, is measured beside it. Each case reports the median of its changes ("median_ms")
// and that median over the build's ("x_build", the build measured first in the same run).
// Needs Xvfb and the built program folder:
//   LUMACAST_PROGRAM_DIR=<build>/lumacast <build>/bench/custom_bench
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

#include "dialogs/customfrm.h"
#include "formbase/settings.h"
#include "formbase/skinlayout.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/playerbridge.h"
#include "jobmodel/profiles.h"
#include "platform/windows/backend.h"
#include "playermaker/morvbrindle.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace platform;

struct Display {
    pid_t pid = -1;
    bool ok = false;
    Display() {
        int fds[2];
        if (pipe(fds) != 0) return;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                              nullptr};
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
    for (int i = 0; i < 30000; ++i) {
        Application->ProcessMessages();
        TCppWebBrowser::TState s = browser->State();
        if (s == TCppWebBrowser::TState::Playing) return true;
        if (s == TCppWebBrowser::TState::Unavailable) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// The dialog on its player page, its preview playing.
struct Dialog {
    jobmodel::MediaItem item{};
    TfrmCustom* form = nullptr;
    std::string error;
    Dialog(const fs::path& folder, bool keepPageLoaded) {
        SetProgramFolder(folder.string() + "/");
        setFilePrefixPath((folder.string() + "/").c_str());
        if (!OpenSkin((folder / "Images/DefaultImage.xml").string(), error)) return;
        jobmodel::LoadProfileCatalogue((folder / "profile").string() + "/");
        form = new TfrmCustom(nullptr);
        form->AfterConstruction();
        form->webBrowser->SetHelperProgram((folder / "lumacast-webview").string());
        form->webBrowser->SetKeepPageLoaded(keepPageLoaded);
        item.customSetting = jobmodel::NewCustomSetting();
        jobmodel::CopyCustomSetting(*item.customSetting, *jobmodel::DefaultCustomSetting);
        item.customSetting->Width = 640, item.customSetting->Height = 480;
        form->SetCustomItem(&item);
        form->Show();
        form->ShowPage(2);
        form->ShowPage(3);
        if (!WaitPlaying(form->webBrowser)) error = "the preview did not play: " + form->webBrowser->Unavailability();
    }
    ~Dialog() {
        delete form;
        Application->ProcessMessages();
        jobmodel::Drop(item.customSetting);
    }
};

enum class Mode { BuildAlone, KeptLoaded, KeptLoadedBackToBack, WholePage };

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void Settle(double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void Change(benchmark::State& state, Mode mode) {
    static Display display;
    static double buildMs = 0;  // the build's median, from the first case of the run
    const char* program = std::getenv("LUMACAST_PROGRAM_DIR");
    if (!display.ok || !program) {
        state.SkipWithError("needs Xvfb and LUMACAST_PROGRAM_DIR");
        return;
    }
    fs::path folder(program);
    Dialog dialog(folder, mode != Mode::WholePage);
    if (!dialog.form || !dialog.error.empty()) {
        state.SkipWithError(dialog.error.c_str());
        return;
    }
    TfrmCustom* form = dialog.form;
    std::vector<double> times;
    for (auto _ : state) {
        if (mode != Mode::BuildAlone && mode != Mode::KeptLoadedBackToBack) Settle(0.5);
        auto start = std::chrono::steady_clock::now();
        if (mode == Mode::BuildAlone) {
            jobmodel::GeneratePreviewPlayer(*jobmodel::CurrentCustomSetting, folder.string() + "/",
                                            form->webBrowser->Width(), form->webBrowser->Height());
        } else {
            // The check box's change writes its field and rebuilds at once.
            form->hideMute->SetChecked(!form->hideMute->Checked());
            if (!WaitPlaying(form->webBrowser)) {
                state.SkipWithError("the preview did not play");
                break;
            }
        }
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        times.push_back(took.count() * 1000);
    }
    double median = Median(times);
    if (mode == Mode::BuildAlone) buildMs = median;
    state.counters["median_ms"] = median;
    if (mode != Mode::BuildAlone && buildMs > 0) state.counters["x_build"] = median / buildMs;
}

void BM_PreviewBuildAlone(benchmark::State& state) { Change(state, Mode::BuildAlone); }
void BM_ChangeToFirstFramePageKeptLoaded(benchmark::State& state) { Change(state, Mode::KeptLoaded); }
void BM_ChangeToFirstFramePageKeptLoadedBackToBack(benchmark::State& state) {
    Change(state, Mode::KeptLoadedBackToBack);
}
void BM_ChangeToFirstFrameWholePageReload(benchmark::State& state) { Change(state, Mode::WholePage); }

BENCHMARK(BM_PreviewBuildAlone)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(40);
BENCHMARK(BM_ChangeToFirstFramePageKeptLoaded)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_ChangeToFirstFramePageKeptLoadedBackToBack)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);
BENCHMARK(BM_ChangeToFirstFrameWholePageReload)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
