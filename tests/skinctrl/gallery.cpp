// The skinned gallery: a borderless window built the way the program builds its windows: a
// picture panel as background (its mouse-down drags the window), a picture button, a check
// box, a track bar, a progress bar and a link. Events are logged on stdout, one line each:
//   "click button", "check on" / "check off", "track N", "ready".
//   skin_gallery
#include <cstdio>
#include <string>

#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxpanel.h"
#include "skinctrl/dvxprogressbar.h"
#include "skinctrl/dvxtrackbar.h"
#include "skinctrl/dvxurllabel.h"

using namespace platform;
using namespace skinctrl;

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Flat(TPicture* picture, int w, int h, TColor color) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(w, h);
    b.Canvas()->Brush()->SetColor(color);
    b.Canvas()->FillRect(TRect(0, 0, w, h));
    picture->SetGraphic(&b);
}

class TSkinGallery : public TForm {
public:
    explicit TSkinGallery(TComponent* owner) : TForm(owner) {
        SetBorderStyle(bsNone);
        SetBounds(100, 100, 480, 320);
        SetCaption("skin gallery");
        SetKeyPreview(true);
        auto* back = new TdvxImagePanel(this);
        back->SetParent(this);
        back->SetBounds(0, 0, 480, 320);
        TBitmap gradient;
        gradient.SetPixelFormat(pf24bit);
        gradient.SetSize(480, 320);
        for (int y = 0; y < 320; ++y) {
            gradient.Canvas()->Pen()->SetColor(RGB(BYTE(30 + y / 4), BYTE(60 + y / 4), 120));
            gradient.Canvas()->MoveTo(0, y);
            gradient.Canvas()->LineTo(480, y);
        }
        back->Picture()->SetGraphic(&gradient);
        back->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
            // What every window's background does: start the window drag.
            if (button != mbLeft || x < 0 || y < 0 || x > Width() || y > Height()) return;
            ReleaseCapture();
            SendMessage(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        };
        auto* button = new TdvxImageButton(this);
        button->SetParent(back);
        button->SetBounds(20, 20, 60, 30);
        Flat(button->PicNormal(), 60, 30, TColor(RGB(200, 0, 0)));
        Flat(button->PicMouseOn(), 60, 30, TColor(RGB(0, 200, 0)));
        Flat(button->PicMouseDown(), 60, 30, TColor(RGB(0, 0, 200)));
        button->OnClick = [](TObject*) { Say("click button"); };
        auto* check = new TdvxCheckBox(this);
        check->SetParent(back);
        check->SetBounds(20, 70, 93, 17);
        check->SetUIStyle(BlueGlass);
        check->SetCaption("Check me");
        check->OnClick = [check](TObject*) { Say(check->Checked() ? "check on" : "check off"); };
        auto* track = new TdvxTrackBar(this);
        track->SetParent(back);
        track->SetBounds(20, 110, 200, 20);
        track->SetShowTick(false);
        track->SetTransparent(true);
        track->OnChange = [track](TObject*) { Say("track " + std::to_string(track->Position())); };
        auto* progress = new TdvxProgressBar(this);
        progress->SetParent(back);
        progress->SetBounds(20, 150, 416, 18);
        progress->SetPosition(50);
        auto* link = new TdvxURLLabel(this);
        link->SetParent(back);
        link->SetLeft(20);
        link->SetTop(190);
        link->SetTransparent(true);
        link->SetURL("https://example.org/a b?q=\"$(x)\"");
        OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
            if (key == VK_ESCAPE) Close();
        };
    }
};

}  // namespace

int main() {
    try {
        Application->Initialize();
        Application->SetTitle("skin gallery");
        TSkinGallery* form = nullptr;
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
        std::fprintf(stderr, "skin_gallery: %s\n", e.what());
        return 1;
    }
    return 0;
}
