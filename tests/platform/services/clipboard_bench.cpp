// 16 MB through the clipboard between the program and xclip, against xclip to xclip with
// the same bytes in the same run, on a display of the benchmark's own (Xvfb).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "platform/backends/x11.h"
#include "support/desktop.h"
#include "platform/windows/backend.h"
#include "platform/windows/clipboard.h"

#include <X11/Xlib.h>

namespace {

using namespace platform;
using namespace desktop;

struct Setup {
    Xvfb xvfb;
    std::string text;
    std::string file;
    bool ok = false;
    Setup() {
        if (!OnPath("Xvfb") || !OnPath("xclip") || !xvfb.Start()) return;
        SetBackend(CreateX11Backend());
        if (Backend().Name() != "x11") return;
        for (int line = 0; text.size() < (16u << 20); ++line) text += "line " + std::to_string(line) + " \xC3\xBF\xE2\x82\xAC\n";
        text.resize(16u << 20);
        file = (std::filesystem::temp_directory_path() / ("lumacast-clip-bench-" + std::to_string(getpid()))).string();
        std::ofstream(file, std::ios::binary) << text;
        ok = true;
    }
    ~Setup() { std::filesystem::remove(file); }
};

Setup& Env() {
    static Setup setup;
    return setup;
}

::Window ClipboardOwner() {
    Display* d = x11::CurrentDisplay();
    return XGetSelectionOwner(d, XInternAtom(d, "CLIPBOARD", False));
}

// Runs a program while the program serves its selections.
void RunServing(const std::vector<std::string>& args, const std::string& out) {
    pid_t pid = Spawn(args, "", out);
    int fd = ConnectionNumber(x11::CurrentDisplay());
    while (Finished(pid) < 0) {
        Backend().PollInput();
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 1);
    }
}

pid_t StartWriter() {
    ::Window before = ClipboardOwner();
    pid_t writer = Spawn({"xclip", "-i", "-selection", "clipboard", "-loops", "1", "-quiet", Env().file}, "", "/dev/null");
    while (ClipboardOwner() == before || ClipboardOwner() == None) usleep(200);
    return writer;
}

void WaitEnd(pid_t pid) {
    while (Finished(pid) < 0) usleep(200);
}

void BM_XclipToXclip(benchmark::State& state) {
    if (!Env().ok) return state.SkipWithError("no Xvfb or xclip");
    for (auto _ : state) {
        pid_t writer = StartWriter();
        pid_t reader = Spawn({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}, "", "/dev/null");
        WaitEnd(reader);
        WaitEnd(writer);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Env().text.size()));
}

void BM_ProgramToXclip(benchmark::State& state) {
    if (!Env().ok) return state.SkipWithError("no Xvfb or xclip");
    for (auto _ : state) {
        Clipboard()->SetAsText(Env().text);
        RunServing({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}, "/dev/null");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Env().text.size()));
}

void BM_XclipToProgram(benchmark::State& state) {
    if (!Env().ok) return state.SkipWithError("no Xvfb or xclip");
    for (auto _ : state) {
        pid_t writer = StartWriter();
        std::string pasted = Clipboard()->AsText();
        if (pasted.size() != Env().text.size()) state.SkipWithError("short paste");
        benchmark::DoNotOptimize(pasted.data());
        WaitEnd(writer);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Env().text.size()));
}

BENCHMARK(BM_XclipToXclip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProgramToXclip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_XclipToProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
