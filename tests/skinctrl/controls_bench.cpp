// Painting a 900 x 600 form of 50 skinned controls in the windows' mix (half of them
// transparent) against 50 plain platform controls with the same bounds and pictures.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "platform/windows/windows_test_support.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxpanel.h"
#include "skinctrl/dvxprogressbar.h"
#include "skinctrl/dvxtrackbar.h"
#include "skinctrl/dvxurllabel.h"

using namespace platform;
using namespace skinctrl;

namespace {

void Picture(TPicture* p, int w, int h, int seed) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        b.Canvas()->Pen()->SetColor(RGB(BYTE(seed * 40 + y), BYTE(80 + y), BYTE(200 - y)));
        b.Canvas()->MoveTo(0, y);
        b.Canvas()->LineTo(w, y);
    }
    p->SetGraphic(&b);
}

std::unique_ptr<TForm> NewForm() {
    test::UseHeadlessBackend();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 900, 600);
    form->AfterConstruction();
    return form;
}

TRect Cell(int i) {
    int x = (i % 10) * 88 + 6, y = (i / 10) * 118 + 6;
    return TRect(x, y, x + 80, y + 40);
}

// The mix: 20 picture buttons, 10 picture panels, 8 check boxes, 2 radio buttons, 6 track
// bars, 2 progress bars, 2 links; every second one transparent where it can be.
void AddSkinned(TForm* form, int i) {
    TRect r = Cell(i);
    bool clear = i % 2 == 1;
    TWinControl* parent = form;
    auto place = [&](TControl* c) {
        c->SetParent(parent);
        c->SetBounds(r.left, r.top, r.Width(), r.Height());
    };
    if (i < 20) {
        auto* b = new TdvxImageButton(form);
        place(b);
        Picture(b->PicNormal(), 80, 40, i);
        b->SetTransparent(clear);
        b->SetCaption2("Button");
    } else if (i < 30) {
        auto* p = new TdvxImagePanel(form);
        place(p);
        Picture(p->Picture(), 80, 40, i);
        p->SetTransparent(clear);
    } else if (i < 38) {
        auto* c = new TdvxCheckBox(form);
        c->SetAutoSize2(false);
        place(c);
        c->SetUIStyle(BlueGlass);
        c->SetCaption("Check");
        c->SetTransparent(clear);
    } else if (i < 40) {
        auto* c = new TdvxRadioButton(form);
        c->SetAutoSize2(false);
        place(c);
        c->SetUIStyle(WinXP);
        c->SetCaption("Radio");
        c->SetTransparent(clear);
    } else if (i < 46) {
        auto* t = new TdvxTrackBar(form);
        place(t);
        t->SetShowTick(false);
        t->SetTransparent(clear);
    } else if (i < 48) {
        auto* p = new TdvxProgressBar(form);
        place(p);
    } else {
        auto* l = new TdvxURLLabel(form);
        place(l);
        l->SetTransparent(clear);
    }
}

void AddPlain(TForm* form, int i) {
    TRect r = Cell(i);
    auto place = [&](TControl* c) {
        c->SetParent(form);
        c->SetBounds(r.left, r.top, r.Width(), r.Height());
    };
    if (i < 30) {
        auto* im = new TImage(form);
        place(im);
        Picture(im->Picture(), 80, 40, i);
    } else if (i < 48) {
        auto* p = new TPanel(form);
        place(p);
        p->SetCaption("Panel");
    } else {
        auto* l = new TLabel(form);
        l->SetAutoSize(false);
        place(l);
        l->SetCaption("Link");
    }
}

void Run(benchmark::State& state, void (*add)(TForm*, int)) {
    auto form = NewForm();
    for (int i = 0; i < 50; ++i) add(form.get(), i);
    form->Show();
    Application->ProcessMessages();
    for (auto _ : state)
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void BM_Paint50SkinnedControls(benchmark::State& state) { Run(state, AddSkinned); }
void BM_Paint50PlainControls(benchmark::State& state) { Run(state, AddPlain); }
BENCHMARK(BM_Paint50PlainControls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint50SkinnedControls)->Unit(benchmark::kMillisecond);

}  // namespace
