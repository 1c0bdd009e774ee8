// Standard-control costs, headless: one character typed mid-way into a word-wrapped memo
// (with its repaint) for a long text against a short one, and a paint of a virtual list box
// of many items against few. Each pair should cost about the same: only what changed is
// wrapped again, and only the rows in view are painted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "platform/windows/windows_test_support.h"

using namespace platform;

namespace {

TForm* NewForm() {
    test::UseHeadlessBackend();
    auto* form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 500, 400);
    form->AfterConstruction();
    form->Show();
    Application->ProcessMessages();
    return form;
}

// range(0): lines of text, each wrapped over two rows.
void BM_MemoTypeOneCharacter(benchmark::State& state) {
    TForm* form = NewForm();
    auto* memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetBounds(10, 10, 300, 300);
    memo->SetScrollBars(ssVertical);
    std::string text;
    const int lines = int(state.range(0));
    for (int i = 0; i < lines; ++i)
        text += "line " + std::to_string(i) + " with words enough to wrap across the memo's width\r\n";
    memo->SetText(text);
    memo->SetFocus();
    // The caret in the middle line, which is on screen.
    memo->SetSelStart(memo->Perform(EM_LINEINDEX, WPARAM(memo->Perform(EM_GETLINECOUNT) / 2)) + 5);
    Application->ProcessMessages();
    for (auto _ : state) {
        memo->Perform(WM_CHAR, 'x');
        memo->Perform(WM_CHAR, 8);  // and back, so the text stays the same size
        PaintPendingWindows();
    }
    state.counters["rows"] = double(memo->Perform(EM_GETLINECOUNT));
    delete form;
}
BENCHMARK(BM_MemoTypeOneCharacter)->Arg(100)->Arg(10000);

void BM_VirtualListPaint(benchmark::State& state) {
    TForm* form = NewForm();
    auto* list = new TListBox(form);
    list->SetParent(form);
    list->SetBounds(10, 10, 300, 300);
    list->SetStyle(lbVirtual);
    // Names of one length, so both lists draw the same glyphs.
    list->OnData = [](TWinControl*, int index, std::string& data) {
        char name[32];
        std::snprintf(name, sizeof(name), "Item %06d", index);
        data = name;
    };
    list->SetCount(int(state.range(0)));
    list->SetItemIndex(int(state.range(0)) / 2);
    Application->ProcessMessages();
    for (auto _ : state) {
        list->Invalidate();
        PaintPendingWindows();
    }
    delete form;
}
BENCHMARK(BM_VirtualListPaint)->Arg(100)->Arg(100000);

}  // namespace

