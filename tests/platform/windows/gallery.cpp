// The gallery: a borderless, rounded form with a panel, a label and a custom control,
// for looking at the window layer on a desktop and for the desktop smoke test.
//   gallery [--screenshot=FILE]
// A click on the swatch counts in the window title ("lumacast gallery - clicked N") and,
// with --screenshot, saves the window as a PNG each time it has been painted after a click.
// Below it an edit with a popup menu and a combo box: a menu item run or a combo pick shows
// in the title too ("lumacast gallery - menu Second", "lumacast gallery - combo Two").
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/controls/menus.h"
#include "platform/controls/stdctrls.h"
#include "platform/windows/backend.h"

using namespace platform;

namespace {

class TSwatch : public TCustomControl {
public:
    explicit TSwatch(TComponent* owner) : TCustomControl(owner) {
        SetCursor(crHandPoint);
        OnMouseEnter = [this](TObject*) { SetHot(true); };
        OnMouseLeave = [this](TObject*) { SetHot(false); };
    }
    int clicks = 0;
    void Click() override {
        ++clicks;
        Invalidate();
        TCustomControl::Click();
    }

protected:
    void Paint() override {
        TCanvas* c = Canvas();
        DrawParentImage(this, c->Handle());
        c->Brush()->SetColor(hot_ ? TColor(0x3C8CE6) : TColor(0x2D6BC8));
        c->Pen()->SetColor(clNavy);
        c->RoundRect(0, 0, Width(), Height(), 16, 16);
        c->Brush()->SetStyle(bsClear);
        c->Font()->SetColor(clWhite);
        TRect r = ClientRect();
        DrawText(TextDC(c), "Click me (" + std::to_string(clicks) + ")", &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

private:
    void SetHot(bool value) {
        if (hot_ == value) return;
        hot_ = value;
        Invalidate();
    }
    bool hot_ = false;
};

class TGalleryForm : public TForm {
public:
    explicit TGalleryForm(TComponent* owner) : TForm(owner) {
        SetBorderStyle(bsNone);
        SetPosition(poScreenCenter);
        SetBounds(0, 0, 420, 280);
        SetCaption("lumacast gallery");
        SetColor(TColor(0xF0E6DC));
        SetKeyPreview(true);
        panel = new TPanel(this);
        panel->SetParent(this);
        panel->SetAlign(alTop);
        panel->SetHeight(44);
        panel->SetCaption("Panel - drag the window here");
        panel->SetColor(TColor(0x804020));
        panel->Font()->SetColor(clWhite);
        panel->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int, int) {
            if (button != mbLeft) return;
            ReleaseCapture();
            SendMessage(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        };
        label = new TLabel(this);
        label->SetParent(this);
        label->SetBounds(24, 64, 100, 20);
        label->SetTransparent(true);
        label->SetCaption("A label on the form. Escape closes.");
        swatch = new TSwatch(this);
        swatch->SetParent(this);
        swatch->SetBounds(110, 120, 200, 90);
        swatch->OnClick = [this](TObject*) {
            SetCaption("lumacast gallery - clicked " + std::to_string(swatch->clicks));
            saveWanted = true;
        };
        OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
            if (key == VK_ESCAPE) Close();
        };
        edit = new TEdit(this);
        edit->SetParent(this);
        edit->SetBounds(40, 225, 150, 24);
        edit->SetText("An edit - right click");
        menu = new TPopupMenu(this);
        for (const char* caption : {"&First", "&Second"}) {
            auto* item = new TMenuItem(this);
            item->SetCaption(caption);
            item->OnClick = [this, item](TObject*) { SetCaption("lumacast gallery - menu " + StripHotkey(item->Caption())); };
            menu->Items()->Add(item);
        }
        edit->SetPopupMenu(menu);
        combo = new TComboBox(this);
        combo->SetParent(this);
        combo->SetStyle(csDropDownList);
        combo->SetBounds(230, 225, 150, 24);
        for (const char* item : {"One", "Two", "Three"}) combo->Items()->Add(item);
        combo->SetItemIndex(0);
        combo->OnChange = [this](TObject*) { SetCaption("lumacast gallery - combo " + combo->Text()); };
        OnShow = [this](TObject*) {
            SetWindowRgn(Handle(), CreateRoundRectRgn(0, 0, Width() + 1, Height() + 1, 40, 40), TRUE);
            saveWanted = true;
        };
    }
    TPanel* panel;
    TLabel* label;
    TSwatch* swatch;
    TEdit* edit;
    TPopupMenu* menu;
    TComboBox* combo;
    bool saveWanted = false;
};

}  // namespace

int main(int argc, char** argv) {
    std::string screenshot;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--screenshot=", 13) == 0) screenshot = argv[i] + 13;
    try {
        std::fprintf(stderr, "gallery: %s backend\n", Backend().Name().c_str());
        Application->Initialize();
        Application->SetTitle("lumacast gallery");
        TGalleryForm* form = nullptr;
        Application->CreateForm(form);
        Application->OnIdle = [&](TObject*, bool& done) {
            done = true;
            if (form && form->saveWanted && !screenshot.empty() && !HasPendingPaint()) {
                form->saveWanted = false;
                SaveWindowImage(form->Handle(), screenshot);
                std::fprintf(stderr, "gallery: saved %s\n", screenshot.c_str());
            }
        };
        Application->Run();
        Application->DestroyComponents();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gallery: %s\n", e.what());
        return 1;
    }
    return 0;
}
