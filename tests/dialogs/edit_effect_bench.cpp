// How soon the edit dialog's preview shows an effect the user picked: from the effect
// list's change to the first picture in the player's window that shows it, as a ratio to
// the source's frame interval (40 ms at 25 fps), over alternate "Gray" and "No effect"
// picks while the clip plays. Headless; the sound on a dummy driver:
//   SDL_AUDIODRIVER=dummy bench/edit_effect_bench
// Counters: ratio_mean and ratio_max (target: 2 or less).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/app_support.h"
#include "dialogs/editfrm.h"
#include "libs/morvplayer/host.h"
#include "support/tempdir.h"

// SDL keeps an error text per sound thread that it never frees. Not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2-2.0.so\n"; }

using namespace platform;

namespace {

constexpr double kFrameInterval = 1.0 / 25;

const std::string& Clip(const std::string& folder) {
    static const std::string clip = [&] {
        std::string path = folder + "/bars.mp4";
        std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i smptebars=s=640x360:r=25:d=30 "
                          "-c:v libx264 -g 25 -pix_fmt yuv420p '" + path + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        return path;
    }();
    return clip;
}

// A point in the red bar: coloured without the effect, grey with it.
bool Grey(COLORREF c) {
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return std::max({r, g, b}) - std::min({r, g, b}) < 24;
}

template <typename F>
bool PumpUntil(F done, double seconds = 5) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

void EffectToPicture(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    apptest::UseHeadlessDisplay();
    PlayerHost host = PlatformPlayerHost();
    setPlayerHost(&host);
    apptest::Sandbox box;
    std::string error;
    if (!OpenSkin(box.DefaultSkin(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    jobmodel::MediaItem row{};
    jobmodel::InitMediaItem(row);
    row.mediaInfo = jobmodel::NewMediaInfo();
    std::snprintf(row.mediaInfo->path, sizeof row.mediaInfo->path, "%s", Clip(box.store.str()).c_str());
    row.mediaInfo->width = 640;
    row.mediaInfo->height = 360;
    *row.timeRange = {0, 30};
    auto edit = std::make_unique<TfrmEdit>(nullptr, nullptr);
    edit->AfterConstruction();
    edit->SetEditItem(&row);
    edit->Show();
    HWND player = FindWindowA("SDL_app", nullptr);
    if (!player) {
        state.SkipWithError("no player window");
        return;
    }
    ShowWindow(player, SW_SHOW);
    RECT r{};
    GetClientRect(player, &r);
    const int x = r.right * 11 / 14, y = r.bottom * 2 / 5;  // the red bar
    if (!PumpUntil([&] { return !Grey(GetWindowSurfacePixel(player, x, y)); })) {
        state.SkipWithError("the clip does not show");
        return;
    }
    double sum = 0, worst = 0;
    int count = 0;
    bool gray = false;
    for (auto _ : state) {
        gray = !gray;
        auto start = std::chrono::steady_clock::now();
        edit->Effect_cmb->SetItemIndex(gray ? jobmodel::ekGray : jobmodel::ekNone);
        edit->Effect_cmbChange(edit->Effect_cmb);
        if (!PumpUntil([&] { return Grey(GetWindowSurfacePixel(player, x, y)) == gray; })) {
            state.SkipWithError("the effect never showed");
            break;
        }
        double ratio = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kFrameInterval;
        sum += ratio;
        worst = std::max(worst, ratio);
        ++count;
    }
    state.counters["ratio_mean"] = count ? sum / count : 0;
    state.counters["ratio_max"] = worst;
    edit->Close();
    edit.reset();
    jobmodel::ReleaseMediaItem(row);
    setPlayerHost(nullptr);
}
BENCHMARK(EffectToPicture)->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace
