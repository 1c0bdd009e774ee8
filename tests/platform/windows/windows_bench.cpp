// Window-layer costs, headless: posted messages through the queue, and a full repaint of
// a 900x600 form with 50 child controls.
#include <benchmark/benchmark.h>

#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "platform/windows/windows_test_support.h"

using namespace platform;

namespace {

void BM_PostedMessages(benchmark::State& state) {
    test::UseHeadlessBackend();
    std::int64_t seen = 0;
    HWND target = AllocateHWnd([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        ++seen;
        return 0;
    });
    const int batch = 1000;
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) PostMessage(target, WM_USER, WPARAM(i), 0);
        MSG m;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    }
    DeallocateHWnd(target);
    state.SetItemsProcessed(seen);
}
BENCHMARK(BM_PostedMessages);

void BM_FullRepaint900x600With50Controls(benchmark::State& state) {
    test::UseHeadlessBackend();
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, 900, 600);
    form.AfterConstruction();
    // A mix of what windows are made of: panels with captions, labels, bevels.
    for (int i = 0; i < 50; ++i) {
        int x = (i % 10) * 88 + 6, y = (i / 10) * 118 + 6;
        if (i % 3 == 0) {
            auto* p = new TPanel(&form);
            p->SetParent(&form);
            p->SetBounds(x, y, 80, 110);
            p->SetCaption("Panel " + std::to_string(i));
        } else if (i % 3 == 1) {
            auto* l = new TLabel(&form);
            l->SetParent(&form);
            l->SetAutoSize(false);
            l->SetBounds(x, y, 80, 110);
            l->SetCaption("Label " + std::to_string(i));
        } else {
            auto* b = new TBevel(&form);
            b->SetParent(&form);
            b->SetBounds(x, y, 80, 110);
        }
    }
    form.Show();
    Application->ProcessMessages();
    for (auto _ : state) {
        RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}
BENCHMARK(BM_FullRepaint900x600With50Controls)->Unit(benchmark::kMillisecond);

}  // namespace
