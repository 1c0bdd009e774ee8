// The skinned edits gallery: a window with a spin edit (1 to 300), a choose-only combo box
// and a button that opens the program's kind of popup menu. Events are logged on stdout,
// one line each: "spin <text>", "combo <index>", "menu <caption>", "ready". F10 closes it.
//   skin_edits_gallery
#include <cstdio>
#include <string>

#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcombobox.h"
#include "skinctrl/dvxedit.h"
#include "skinctrl/dvxmenu.h"

using namespace platform;
using namespace skinctrl;

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class TEditsGallery : public TForm {
public:
    explicit TEditsGallery(TComponent* owner) : TForm(owner) {
        SetBorderStyle(bsNone);
        SetBounds(100, 100, 400, 260);
        SetCaption("skin edits gallery");
        SetColor(clWhite);
        SetKeyPreview(true);
        auto* spin = new TdvxSpinEdit(this);
        spin->SetParent(this);
        spin->SetBounds(20, 20, 100, 24);
        spin->SetMinValue(1);
        spin->SetMaxValue(300);
        spin->SetValue(5);
        spin->OnChange = [spin](TObject*) { Say("spin " + spin->Text()); };
        auto* combo = new TdvxComboBox(this);
        combo->SetParent(this);
        combo->SetBounds(20, 60, 160, 24);
        combo->SetStyle(csDropDownList);
        for (const char* s : {"Profile A", "Profile B", "Profile C", "Profile D"}) combo->Items()->Add(s);
        combo->OnChange = [combo](TObject*) { Say("combo " + std::to_string(combo->ItemIndex())); };
        // The program's popup menus: values set after construction, over the style's.
        menu_ = new TdvxPopupMenu(this);
        menu_->SetBarWidth(0);
        menu_->SetColor(clWhite);
        menu_->SetFontColor(clBlack);
        menu_->SetSelectedColor(0xA04A44);
        menu_->SetSelectedBorderColor(0xA04A44);
        menu_->SetSelectedFontColor(clWhite);
        for (const char* caption : {"&First", "&Second", "-", "&Third"}) {
            auto* item = new TMenuItem(this);
            item->SetCaption(caption);
            item->OnClick = [item](TObject*) { Say(std::string("menu ") + StripHotkey(item->Caption())); };
            menu_->Items()->Add(item);
        }
        auto* button = new TdvxButton(this);
        button->SetParent(this);
        button->SetBounds(20, 100, 80, 24);
        button->SetCaption2("Menu");
        button->OnClick = [this, button](TObject*) {
            TPoint p = button->ClientToScreen(TPoint(0, button->Height()));
            menu_->Popup(p.x, p.y);
        };
        OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
            if (key == VK_F10) Close();
        };
    }

private:
    TdvxPopupMenu* menu_ = nullptr;
};

}  // namespace

int main() {
    try {
        Application->Initialize();
        Application->SetTitle("skin edits gallery");
        TEditsGallery* form = nullptr;
        Application->CreateForm(form);
        bool told = false;
        Application->OnIdle = [&](TObject*, bool& done) {
            done = true;
            if (!told && !HasPendingPaint()) {
                told = true;
                Say("ready");
            }
        };
        Application->Run();
        Application->DestroyComponents();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skin_edits_gallery: %s\n", e.what());
        return 1;
    }
    return 0;
}
