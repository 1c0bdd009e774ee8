// The skinned frames gallery: three forms with a skinned frame, in BlueGlass, WinXP and
// MacOS, side by side, each with a button inside. Closing the first ends the program.
// Events on stdout, one line each: "ready", "close N", "menu N" (the system menu shows),
// "state N normal|maximized".
//   skin_forms_gallery [folder]   with a folder: saves each window as a PNG there and ends
//   skin_forms_gallery --popup    a pop-up notification with a slow slide instead; ends when
//                                 it is closed ("popup closed")
//   skin_forms_gallery --mdi [folder]  an MDI main form (WinXP) with a menu and two framed
//                                 children; with a folder: saves mdi.png, then mdi-max.png
//                                 with the first child maximised, and ends. Without: "title N X Y"
//                                 (a screen point on child N's title bar), "ready", then
//                                 "child N at L T" when a child moves, "active N"
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "platform/windows/backend.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxform.h"
#include "skinctrl/dvxmdiform.h"
#include "skinctrl/dvxmenu.h"
#include "skinctrl/dvxpopupform.h"
#include "skinctrl/dvxtoolbar.h"

using namespace platform;
using namespace skinctrl;

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class TFramedForm : public TForm {
public:
    TFramedForm(TComponent* owner, int index, TdvxUIStyle style, int x) : TForm(owner) {
        SetBounds(x, 40, 300, 220);
        SetCaption("Frame " + std::to_string(index) + " " + UIStyleName(style));
        frame = new TdvxForm(this);
        frame->SetUIStyle(style);
        auto* bar = new TdvxToolBar(this);
        bar->SetParent(frame);
        bar->SetUIStyle(style);
        bar->SetShowCaptions(true);
        for (const char* caption : {"&File", "&Edit", "&View"}) {
            auto* b = new TToolButton(this);
            b->SetParent(bar);
            b->SetCaption(caption);
            b->SetStyle(caption[1] == 'V' ? tbsDropDown : tbsCheck);
        }
        bar->Buttons(1)->SetDown(true);
        auto* button = new TdvxButton(this);
        button->SetParent(frame);
        button->SetBounds(20, frame->TitleBar()->Height() + 50, 100, 24);
        button->SetCaption("Button");
        OnClose = [index](TObject*, TCloseAction&) { Say("close " + std::to_string(index)); };
        frame->TitleBar()->SystemMenu()->OnPopup = [index](TObject*) { Say("menu " + std::to_string(index)); };
        OnResize = [this, index](TObject*) {
            Say("state " + std::to_string(index) + (IsZoomed(Handle()) ? " maximized" : " normal"));
        };
    }
    TdvxForm* frame = nullptr;
};

}  // namespace

int RunPopup() {
    auto* pop = new TdvxMSNPopForm(Application);
    pop->SetAnimateTime(3000);
    pop->SetStayTime(60000);
    pop->SetTitle("lumacast");
    pop->SetMessageText("Three titles converted");
    pop->Window()->SetCaption("Notification");
    bool closed = false;
    pop->OnClose = [&](TObject*) {
        closed = true;
        Say("popup closed");
    };
    pop->Popup();
    Say("ready");
    while (!closed) Application->HandleMessage();
    Application->DestroyComponents();
    return 0;
}

void Settle() {
    for (int i = 0; i < 20; ++i) {
        Application->ProcessMessages();
        usleep(10000);
    }
}

int RunMdi(const char* folder) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    main->SetFormStyle(fsMDIForm);
    main->SetBounds(40, 40, 640, 460);
    main->SetCaption("MDI frame WinXP");
    auto* frame = new TdvxMDIForm(main);
    frame->SetUIStyle(WinXP);
    auto* menu = new TdvxMainMenu(main);
    TMenuItem* window = nullptr;
    for (const char* caption : {"&File", "&Edit", "&Window", "&Help"}) {
        auto* item = new TMenuItem(menu);
        item->SetCaption(caption);
        menu->Items()->Add(item);
        if (caption[1] == 'W') window = item;
        auto* sub = new TMenuItem(menu);
        sub->SetCaption(caption[1] == 'W' ? "&Cascade" : "&Open");
        if (caption[1] == 'W') sub->OnClick = [main](TObject*) { main->Cascade(); };
        item->Add(sub);
    }
    main->SetWindowMenu(window);
    frame->SetMenu(menu);
    main->OnClose = [](TObject*, TCloseAction&) { Say("close mdi"); };
    main->Show();
    std::vector<TForm*> children;
    for (int i = 1; i <= 2; ++i) {
        auto* child = new TForm(main);
        child->SetFormStyle(fsMDIChild);
        child->SetCaption("Document " + std::to_string(i));
        child->SetBounds(0, 0, 300, 200);
        auto* childFrame = new TdvxForm(child);
        childFrame->SetUIStyle(i == 1 ? BlueGlass : WinXP);
        auto* button = new TdvxButton(child);
        button->SetParent(childFrame);
        button->SetBounds(20, childFrame->TitleBar()->Height() + 30, 100, 24);
        button->SetCaption("Button " + std::to_string(i));
        child->OnActivate = [i](TObject*) { Say("active " + std::to_string(i)); };
        auto inner = child->WindowProc;
        child->WindowProc = [child, inner, i](TMessage& m) {
            inner(m);
            if (m.Msg == WM_MOVE) Say("child " + std::to_string(i) + " at " + std::to_string(child->Left()) + " " +
                                      std::to_string(child->Top()));
        };
        child->Show();
        children.push_back(child);
        Settle();
    }
    main->Cascade();
    Settle();
    if (folder) {
        SaveWindowImage(main->Handle(), std::string(folder) + "/mdi.png");
        children[0]->SetWindowState(wsMaximized);
        Settle();
        SaveWindowImage(main->Handle(), std::string(folder) + "/mdi-max.png");
        Application->DestroyComponents();
        return 0;
    }
    // Where to grab each child's title bar (screen), away from its buttons.
    for (std::size_t i = 0; i < children.size(); ++i) {
        TPoint p = children[i]->ClientToScreen(TPoint(60, 8));
        Say("title " + std::to_string(i + 1) + " " + std::to_string(p.x) + " " + std::to_string(p.y));
    }
    Say("ready");
    while (main->Visible() && !Application->Terminated()) Application->HandleMessage();
    Application->DestroyComponents();
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--popup") return RunPopup();
    if (argc > 1 && std::string(argv[1]) == "--mdi") return RunMdi(argc > 2 ? argv[2] : nullptr);
    std::vector<TFramedForm*> forms;
    TdvxUIStyle styles[] = {BlueGlass, WinXP, MacOS};
    for (int i = 0; i < 3; ++i) {
        auto* form = new TFramedForm(Application, i + 1, styles[i], 20 + i * 320);
        form->AfterConstruction();
        forms.push_back(form);
    }
    // One at a time, each settled before the next: the display's focus news of one window
    // must not arrive while the next takes the focus.
    for (TFramedForm* f : forms) {
        f->Show();
        for (int i = 0; i < 20; ++i) {
            Application->ProcessMessages();
            usleep(10000);
        }
    }
    if (argc > 1) {
        for (std::size_t i = 0; i < forms.size(); ++i)
            SaveWindowImage(forms[i]->Handle(), std::string(argv[1]) + "/frame" + std::to_string(i + 1) + ".png");
        Application->DestroyComponents();
        return 0;
    }
    Say("ready");
    forms[0]->OnDestroy = [](TObject*) {};
    while (forms[0]->Visible() && !Application->Terminated()) Application->HandleMessage();
    Application->DestroyComponents();
    return 0;
}
