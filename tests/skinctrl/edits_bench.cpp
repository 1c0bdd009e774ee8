// Repainting a skinned edit, combo box and memo against the plain platform ones, and opening
// and painting a 30-item skinned popup menu against a plain owner-less one.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/controls/forms.h"
#include "platform/controls/menus.h"
#include "platform/controls/stdctrls.h"
#include "platform/windows/windows_test_support.h"
#include "skinctrl/dvxcombobox.h"
#include "skinctrl/dvxedit.h"
#include "skinctrl/dvxmemo.h"
#include "skinctrl/dvxmenu.h"

using namespace platform;
using namespace skinctrl;

namespace {

std::unique_ptr<TForm> NewForm() {
    test::UseHeadlessBackend();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 500, 300);
    form->AfterConstruction();
    return form;
}

template <class Edit, class Combo, class Memo>
void Repaint(benchmark::State& state) {
    auto form = NewForm();
    auto* edit = new Edit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 200, 24);
    edit->SetText("C:/Videos/holiday.vob");
    auto* combo = new Combo(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 50, 200, 24);
    combo->SetStyle(csDropDownList);
    for (int i = 0; i < 10; ++i) combo->Items()->Add("Profile " + std::to_string(i));
    combo->SetItemIndex(3);
    auto* memo = new Memo(form.get());
    memo->SetParent(form.get());
    memo->SetBounds(10, 90, 400, 180);
    std::string text;
    for (int i = 0; i < 40; ++i) text += "Converted title " + std::to_string(i) + ": done\r\n";
    memo->SetText(text);
    form->Show();
    Application->ProcessMessages();
    for (auto _ : state)
        for (TWinControl* c : {static_cast<TWinControl*>(edit), static_cast<TWinControl*>(combo), static_cast<TWinControl*>(memo)})
            RedrawWindow(c->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

void BM_RepaintPlainEditComboMemo(benchmark::State& state) { Repaint<TEdit, TComboBox, TMemo>(state); }
void BM_RepaintSkinnedEditComboMemo(benchmark::State& state) { Repaint<TdvxEdit, TdvxComboBox, TdvxMemo>(state); }
BENCHMARK(BM_RepaintPlainEditComboMemo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintSkinnedEditComboMemo)->Unit(benchmark::kMicrosecond);

// Opens the menu, lets its window paint once, and ends it.
void OpenAndPaint(benchmark::State& state, TPopupMenu* menu) {
    HWND driver = AllocateHWnd([](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_USER) {
            PaintPendingWindows();
            EndMenu();
        }
        return 0;
    });
    for (auto _ : state) {
        PostMessage(driver, WM_USER, 0, 0);
        menu->Popup(100, 100);
    }
    DeallocateHWnd(driver);
}

template <class Menu>
void Popup30(benchmark::State& state) {
    auto form = NewForm();
    auto* menu = new Menu(form.get());
    for (int i = 0; i < 30; ++i) {
        auto* item = new TMenuItem(form.get());
        item->SetCaption(i % 10 == 9 ? "-" : "&Item number " + std::to_string(i));
        if (i % 7 == 3) item->SetChecked(true);
        menu->Items()->Add(item);
    }
    OpenAndPaint(state, menu);
}

void BM_Popup30PlainItems(benchmark::State& state) { Popup30<TPopupMenu>(state); }
void BM_Popup30SkinnedItems(benchmark::State& state) { Popup30<TdvxPopupMenu>(state); }
BENCHMARK(BM_Popup30PlainItems)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Popup30SkinnedItems)->Unit(benchmark::kMicrosecond);

}  // namespace
