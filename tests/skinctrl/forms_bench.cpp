// The skinned frame's costs, in one run:
//  - resizing an 800 x 600 form with a frame (hook, frame painting, title bar, round region)
//    against the same bsNone form given a round-rect region by hand;
//  - the region of a 1920-pixel-wide title image built from merged runs, against a plain
//    scan of its pixels (the least any builder must do).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "platform/controls/forms.h"
#include "platform/windows/windows_test_support.h"
#include "skinctrl/dvxform.h"

using namespace platform;
using namespace skinctrl;

namespace {

void Pump() { Application->ProcessMessages(); }

void Resize(TForm* form, int step) {
    form->SetBounds(0, 0, 800 + step % 2, 600 + step % 2);
    Pump();
}

void BM_ResizeSkinnedForm(benchmark::State& state) {
    test::UseHeadlessBackend();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 800, 600);
    form->AfterConstruction();
    auto* frame = new TdvxForm(form.get());
    frame->SetUIStyle(BlueGlass);
    form->Show();
    Pump();
    int step = 0;
    for (auto _ : state) Resize(form.get(), ++step);
}
BENCHMARK(BM_ResizeSkinnedForm)->Unit(benchmark::kMicrosecond);

void BM_ResizeRoundRectForm(benchmark::State& state) {
    test::UseHeadlessBackend();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 800, 600);
    form->AfterConstruction();
    form->OnResize = [&](TObject*) {
        SetWindowRgn(form->Handle(), CreateRoundRectRgn(0, 0, form->Width() + 1, form->Height() + 1, 11, 11), TRUE);
    };
    form->Show();
    Pump();
    int step = 0;
    for (auto _ : state) Resize(form.get(), ++step);
}
BENCHMARK(BM_ResizeRoundRectForm)->Unit(benchmark::kMicrosecond);

// A 1920 x 33 title image: rounded, keyed corners and a keyed notch every 64 pixels.
TBitmap* TitleImage() {
    static std::unique_ptr<TBitmap> image = [] {
        auto b = std::make_unique<TBitmap>();
        b->SetPixelFormat(pf32bit);
        b->SetSize(1920, 33);
        for (int y = 0; y < 33; ++y) {
            auto* row = static_cast<std::uint32_t*>(b->ScanLine(y));
            for (int x = 0; x < 1920; ++x) {
                bool corner = y < 8 && (x < 8 - y || x >= 1912 + y);
                bool notch = y < 3 && x % 64 < 2;
                row[x] = corner || notch ? 0xFF00FFu : 0x336699u;
            }
        }
        return b;
    }();
    return image.get();
}

void BM_TitleRegionFromRuns(benchmark::State& state) {
    TdvxRegionSource source;
    source.top = TitleImage();
    source.topWanted = true;
    source.topMin = 0;
    source.topMax = 32;
    for (auto _ : state) {
        HRGN r = FrameRegionFromBitmaps(source, 1920, 600);
        benchmark::DoNotOptimize(r);
        DeleteObject(r);
    }
}
BENCHMARK(BM_TitleRegionFromRuns)->Unit(benchmark::kMicrosecond);

void BM_TitlePlainScan(benchmark::State& state) {
    TBitmap* image = TitleImage();
    for (auto _ : state) {
        // What any builder does at least: a copy of the picture it may read, and every pixel.
        TBitmap pixels;
        pixels.Assign(image);
        pixels.SetPixelFormat(pf32bit);
        int opaque = 0;
        for (int y = 0; y < pixels.Height(); ++y) {
            auto* row = static_cast<const std::uint32_t*>(pixels.ScanLine(y));
            for (int x = 0; x < pixels.Width(); ++x) opaque += (row[x] & 0xFFFFFFu) != 0xFF00FFu;
        }
        benchmark::DoNotOptimize(opaque);
    }
}
BENCHMARK(BM_TitlePlainScan)->Unit(benchmark::kMicrosecond);

}  // namespace
