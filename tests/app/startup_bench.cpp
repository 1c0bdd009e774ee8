// Start-up of the main window on a real display (its own Xvfb): from construction to the
// first present, by phase, against the floor of the same run: parsing the skin document
// and the profiles and decoding the pictures the main window loads, alone.
//
// Each iteration writes the skin document afresh (a new trailing comment), so the reader
// parses it again as at a real start, and lists the installed fonts again.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <time.h>

#include <chrono>
#include <fstream>
#include <memory>

#include "app/mainfrm.h"
#include "app_support.h"
#include "jobmodel/fonts.h"
#include "jobmodel/profiles.h"
#include "libs/morvanalyzeimg/skin_names.h"
#include "platform/graphics/graphics.h"
#include "platform/windows/backend.h"
#include "support/desktop.h"

namespace {

using namespace apptest;
using Clock = std::chrono::steady_clock;

struct World {
    desktop::Xvfb display;
    std::unique_ptr<Sandbox> box;
    std::string skinText;
    bool ready = false;
    World() {
        if (!desktop::OnPath("Xvfb") || !std::getenv("LUMACAST_PROGRAM_DIR") || !display.Start()) return;
        box = std::make_unique<Sandbox>();
        skinText = desktop::ReadFile(box->DefaultSkin());
        ready = true;
    }
    void FreshSkin(int n) {
        std::ofstream(box->DefaultSkin(), std::ios::binary | std::ios::trunc)
            << skinText << "<!-- " << n << " -->\n";
    }
};

World& TheWorld() {
    static World world;
    return world;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// This thread's processor time in ms: steadier than the wall clock on a busy machine,
// where the display server and other work take turns with the program.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The pictures the main window loads at start: three states of each button, the
// background, the disabled look of the nine command buttons, the track bar's slider.
std::vector<std::string> MainPictures(const std::string& imageFolder) {
    std::vector<std::string> files;
    pugi::xml_document doc;
    for (const skinnames::Window& w : skinnames::Windows()) {
        if (std::string(w.section) != "main") continue;
        for (const skinnames::Item& i : w.items) {
            std::string base = imageFolder + "main/" + i.name;
            if (std::string(i.name) == "btnPause") continue;
            if (i.pictures == skinnames::Pictures::Normal) files.push_back(base + ".bmp");
            if (i.pictures == skinnames::Pictures::Button)
                for (const char* s : {".bmp", "-move.bmp", "-down.bmp"}) files.push_back(base + s);
        }
    }
    for (const char* b : {"edit", "clip", "merge", "slide", "customize", "btnConvert", "btnPlay", "btnStop", "btnPhoto"})
        files.push_back(imageFolder + "main/" + b + "-dis.bmp");
    return files;
}

// Whether the screen shows the window's own pixel at its centre.
bool OnScreen(TfrmMain& main) {
    int x = main.Width() / 2, y = main.Height() / 2;
    platform::RECT r;
    platform::GetWindowRect(main.Handle(), &r);
    std::uint32_t pixel = 0;
    if (!platform::Backend().ReadScreen(platform::TRect(r.left + x, r.top + y, r.left + x + 1, r.top + y + 1), &pixel, 4))
        return false;
    platform::COLORREF want = platform::GetWindowSurfacePixel(main.Handle(), x, y);
    return platform::RGB(platform::BYTE(pixel >> 16), platform::BYTE(pixel >> 8), platform::BYTE(pixel)) == want;
}

void BM_StartUpToFirstPresent(benchmark::State& state) {
    World& world = TheWorld();
    if (!world.ready) return state.SkipWithError("needs Xvfb and LUMACAST_PROGRAM_DIR");
    double cpu = 0, construct = 0, show = 0, settings = 0, skin = 0, layout = 0, pictures = 0, fonts = 0;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        world.FreshSkin(n);
        jobmodel::InstalledFontNames.clear();
        state.ResumeTiming();
        double c0 = CpuMs();
        auto t0 = Clock::now();
        auto main = std::make_unique<TfrmMain>(nullptr);
        main->AfterConstruction();
        auto t1 = Clock::now();
        main->Show();
        platform::Application->ProcessMessages();
        // The start ends when the display server shows the window's picture: a pixel read
        // back from the screen waits for every request before it and proves the picture
        // arrived.
        if (!OnScreen(*main)) return state.SkipWithError("the window's picture did not reach the screen");
        auto t2 = Clock::now();
        cpu += CpuMs() - c0;
        state.PauseTiming();
        construct += Ms(t1 - t0);
        show += Ms(t2 - t1);
        // The construction's phases, run again on the window made (the skin parsed afresh).
        world.FreshSkin(n + 1000000);
        auto p0 = Clock::now();
        main->LoadProgramSettings();
        auto p1 = Clock::now();
        main->LoadSkinDocument();
        auto p2 = Clock::now();
        main->LayoutFromSkin();
        auto p3 = Clock::now();
        main->LoadButtonImages();
        auto p4 = Clock::now();
        std::vector<std::string> names;
        jobmodel::ListFontNames(names);
        auto p5 = Clock::now();
        settings += Ms(p1 - p0), skin += Ms(p2 - p1), layout += Ms(p3 - p2), pictures += Ms(p4 - p3),
            fonts += Ms(p5 - p4);
        main.reset();
        platform::Application->ProcessMessages();
        ++n;
        state.ResumeTiming();
    }
    auto avg = [&](double v) { return benchmark::Counter(v / std::max(1, n)); };
    state.counters["cpu_ms"] = avg(cpu);
    state.counters["construct_ms"] = avg(construct);
    state.counters["show_to_present_ms"] = avg(show);
    state.counters["settings_ms"] = avg(settings);
    state.counters["skin_document_ms"] = avg(skin);
    state.counters["layout_ms"] = avg(layout);
    state.counters["pictures_ms"] = avg(pictures);
    state.counters["fonts_ms"] = avg(fonts);
}
BENCHMARK(BM_StartUpToFirstPresent)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_FloorParseAndDecode(benchmark::State& state) {
    World& world = TheWorld();
    if (!world.ready) return state.SkipWithError("needs Xvfb and LUMACAST_PROGRAM_DIR");
    std::vector<std::string> pictures = MainPictures(world.box->Folder() + "Images/DefaultImage/");
    int n = 0;
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        world.FreshSkin(n++);
        state.ResumeTiming();
        double c0 = CpuMs();
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(world.box->DefaultSkin().c_str()));
        benchmark::DoNotOptimize(jobmodel::LoadProfileCatalogue(world.box->Folder() + "profile/"));
        for (const std::string& p : pictures) {
            platform::TPicture picture;
            picture.LoadFromFile(p);
            benchmark::DoNotOptimize(picture.Width());
        }
        cpu += CpuMs() - c0;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu / std::max(1, n));
    state.counters["pictures"] = double(pictures.size());
}
BENCHMARK(BM_FloorParseAndDecode)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
