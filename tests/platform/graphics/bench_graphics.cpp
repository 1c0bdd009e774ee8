// Fills, blits and text on a 1920x1080 bitmap, each beside the same work done by cairo;
// the run ends with the time ratios (ours / cairo; below 1 means faster than cairo). The
// Canvas_ cases draw tiny shapes and short text through a TCanvas reference, as shared
// drawing routines do, where the cost of each canvas call itself shows.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstring>
#include <iostream>
#include <map>
#include <string>

#include "platform/graphics/gdi.h"
#include "platform/graphics/graphics.h"

using namespace platform;

namespace {

constexpr int kW = 1920, kH = 1080;
const char* kLine = "The quick brown fox jumps over the lazy dog 0123456789";

struct Ours {
    HDC dc = CreateCompatibleDC(nullptr), src = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(nullptr, kW, kH), sbm = CreateCompatibleBitmap(nullptr, kW, kH);
    HBRUSH brush = CreateSolidBrush(RGB(30, 120, 200));
    HFONT font = CreateFont(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Liberation Sans");
    Ours() {
        SelectObject(dc, bm);
        SelectObject(src, sbm);
        SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
    }
    ~Ours() {
        DeleteDC(dc);
        DeleteDC(src);
        DeleteObject(bm);
        DeleteObject(sbm);
        DeleteObject(brush);
        DeleteObject(font);
    }
};

struct Cairo {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kW, kH);
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kW, kH);
    cairo_t* cr = cairo_create(surface);
    Cairo() {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 13);
    }
    ~Cairo() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        cairo_surface_destroy(source);
    }
};

void Ours_FillSmallRects(benchmark::State& state) {
    Ours o;
    int i = 0;
    for (auto _ : state) {
        RECT r{(i * 37) % (kW - 200), (i * 23) % (kH - 100), 0, 0};
        r.right = r.left + 200;
        r.bottom = r.top + 100;
        FillRect(o.dc, &r, o.brush);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

void Cairo_FillSmallRects(benchmark::State& state) {
    Cairo c;
    cairo_set_source_rgb(c.cr, 200 / 255.0, 120 / 255.0, 30 / 255.0);
    cairo_set_operator(c.cr, CAIRO_OPERATOR_SOURCE);
    int i = 0;
    for (auto _ : state) {
        cairo_rectangle(c.cr, (i * 37) % (kW - 200), (i * 23) % (kH - 100), 200, 100);
        cairo_fill(c.cr);
        ++i;
    }
    cairo_surface_flush(c.surface);
    state.SetItemsProcessed(state.iterations());
}

void Ours_FillFrame(benchmark::State& state) {
    Ours o;
    RECT r{0, 0, kW, kH};
    for (auto _ : state) FillRect(o.dc, &r, o.brush);
    state.SetItemsProcessed(state.iterations());
}

void Cairo_FillFrame(benchmark::State& state) {
    Cairo c;
    cairo_set_source_rgb(c.cr, 0.8, 0.5, 0.1);
    cairo_set_operator(c.cr, CAIRO_OPERATOR_SOURCE);
    for (auto _ : state) {
        cairo_rectangle(c.cr, 0, 0, kW, kH);
        cairo_fill(c.cr);
    }
    cairo_surface_flush(c.surface);
    state.SetItemsProcessed(state.iterations());
}

void Ours_BlitFrame(benchmark::State& state) {
    Ours o;
    for (auto _ : state) BitBlt(o.dc, 0, 0, kW, kH, o.src, 0, 0, SRCCOPY);
    state.SetItemsProcessed(state.iterations());
}

void Cairo_BlitFrame(benchmark::State& state) {
    Cairo c;
    cairo_set_operator(c.cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(c.cr, c.source, 0, 0);
    for (auto _ : state) cairo_paint(c.cr);
    cairo_surface_flush(c.surface);
    state.SetItemsProcessed(state.iterations());
}

void Ours_TextLine(benchmark::State& state) {
    Ours o;
    int i = 0;
    int n = int(std::strlen(kLine));
    for (auto _ : state) {
        TextOut(o.dc, 10, (i * 17) % (kH - 20), kLine, n);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

void Cairo_TextLine(benchmark::State& state) {
    Cairo c;
    cairo_set_antialias(c.cr, CAIRO_ANTIALIAS_GRAY);
    cairo_set_source_rgb(c.cr, 0, 0, 0);
    int i = 0;
    for (auto _ : state) {
        cairo_move_to(c.cr, 10, 13 + (i * 17) % (kH - 20));
        cairo_show_text(c.cr, kLine);
        ++i;
    }
    cairo_surface_flush(c.surface);
    state.SetItemsProcessed(state.iterations());
}

// A bitmap's canvas, used only through the base class.
struct CanvasTarget {
    TBitmap bitmap{kW, kH};
    TCanvas& canvas = *bitmap.Canvas();
    CanvasTarget() {
        canvas.Brush()->SetColor(TColor(RGB(30, 120, 200)));
        canvas.Pen()->SetColor(clBlack);
        canvas.Font()->SetName("Liberation Sans");
    }
};

// Each case twice: through the virtual call, and with the call bound to TCanvas's own
// code (no dispatch), so the difference is what the dispatch costs.
template <bool kVirtual>
void Canvas_FillTinyRects(benchmark::State& state) {
    CanvasTarget t;
    int i = 0;
    for (auto _ : state) {
        int x = (i * 37) % (kW - 4), y = (i * 23) % (kH - 4);
        TRect r(x, y, x + 4, y + 4);
        if constexpr (kVirtual)
            t.canvas.FillRect(r);
        else
            t.canvas.TCanvas::FillRect(r);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

template <bool kVirtual>
void Canvas_ShortLines(benchmark::State& state) {
    CanvasTarget t;
    int i = 0;
    for (auto _ : state) {
        int x = (i * 37) % (kW - 8), y = (i * 23) % (kH - 8);
        if constexpr (kVirtual) {
            t.canvas.MoveTo(x, y);
            t.canvas.LineTo(x + 8, y + 3);
        } else {
            t.canvas.TCanvas::MoveTo(x, y);
            t.canvas.TCanvas::LineTo(x + 8, y + 3);
        }
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

template <bool kVirtual>
void Canvas_ShortText(benchmark::State& state) {
    CanvasTarget t;
    t.canvas.Brush()->SetStyle(bsClear);
    int i = 0;
    for (auto _ : state) {
        int x = (i * 37) % (kW - 40), y = (i * 17) % (kH - 20);
        if constexpr (kVirtual)
            t.canvas.TextOut(x, y, "Ab");
        else
            t.canvas.TCanvas::TextOut(x, y, "Ab");
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(Ours_FillSmallRects);
BENCHMARK(Cairo_FillSmallRects);
BENCHMARK(Ours_FillFrame);
BENCHMARK(Cairo_FillFrame);
BENCHMARK(Ours_BlitFrame);
BENCHMARK(Cairo_BlitFrame);
BENCHMARK(Ours_TextLine);
BENCHMARK(Cairo_TextLine);
BENCHMARK(Canvas_FillTinyRects<true>)->Name("Canvas_FillTinyRects/virtual");
BENCHMARK(Canvas_FillTinyRects<false>)->Name("Canvas_FillTinyRects/bound");
BENCHMARK(Canvas_ShortLines<true>)->Name("Canvas_ShortLines/virtual");
BENCHMARK(Canvas_ShortLines<false>)->Name("Canvas_ShortLines/bound");
BENCHMARK(Canvas_ShortText<true>)->Name("Canvas_ShortText/virtual");
BENCHMARK(Canvas_ShortText<false>)->Name("Canvas_ShortText/bound");

// Keeps each run's time per iteration for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::cout << "\nTime ratio ours / cairo (1920x1080):\n";
    for (auto& [name, t] : reporter.times) {
        if (name.rfind("Ours_", 0) != 0) continue;
        auto other = reporter.times.find("Cairo_" + name.substr(5));
        if (other == reporter.times.end() || other->second <= 0) continue;
        std::cout << "  " << name.substr(5) << ": " << t / other->second << "\n";
    }
    benchmark::Shutdown();
    return 0;
}
