// MDI on the headless backend: the platform's client window and child forms, the skinned
// MDI frame (tiling, cascading, the child's control buttons, the menu swap, the Window menu
// and its faults), the skinned menu bar of a form frame (its drawing and the rule for plain
// letters), and the focused-form rule for MDI children.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../platform/windows/windows_test_support.h"
#include "platform/controls/forms.h"
#include "platform/controls/mdi.h"
#include "platform/controls/menus.h"
#include "platform/controls/stdctrls.h"
#include "platform/core/exceptions.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "skinctrl/dvxform.h"
#include "skinctrl/dvxmdiform.h"
#include "skinctrl/dvxmenu.h"
#include "skinctrl/dvxmenubar.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"
#include "theme_support.h"

using namespace platform;
using namespace skinctrl;

namespace {

void Pump() { Application->ProcessMessages(); }

// Saves a window's picture under the build tree's artifacts/ folder, for a look.
void Shot(HWND hwnd, const std::string& name) {
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    std::filesystem::path dir = std::filesystem::path(build ? build : ".") / "artifacts";
    std::filesystem::create_directories(dir);
    SaveWindowImage(hwnd, (dir / name).string());
}

TMenuItem* AddItem(TMenu* menu, const std::string& caption, int* clicks = nullptr) {
    auto* item = new TMenuItem(menu);
    item->SetCaption(caption);
    if (clicks) item->OnClick = [clicks](TObject*) { ++*clicks; };
    menu->Items()->Add(item);
    return item;
}

class MdiTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        Application->MessageBoxHandler = [](const std::string&, const std::string&, UINT) { return IDOK; };
        ASSERT_EQ(Application->MainForm(), nullptr);
        Application->CreateForm(main);
        main->SetFormStyle(fsMDIForm);
        main->SetBounds(50, 50, 640, 480);
        main->SetCaption("Main");
    }
    void TearDown() override {
        delete main;
        Pump();
        Application->MessageBoxHandler = nullptr;
    }
    // A shown MDI child, optionally with a skinned frame.
    TForm* Child(const std::string& caption, bool framed = false, TdvxForm** frameOut = nullptr) {
        auto* c = new TForm(main);
        c->SetFormStyle(fsMDIChild);
        c->SetCaption(caption);
        c->SetBounds(10, 10, 200, 150);
        TdvxForm* frame = framed ? new TdvxForm(c) : nullptr;
        if (frameOut) *frameOut = frame;
        c->Show();
        Pump();
        return c;
    }
    TdvxMDIForm* Frame() {
        auto* frame = new TdvxMDIForm(main);
        main->Show();
        Pump();
        return frame;
    }
    TForm* main = nullptr;
};

TEST_F(MdiTest, ChildrenLiveInTheClientAndFollowActivation) {
    main->Show();
    Pump();
    HWND client = main->ClientHandle();
    ASSERT_NE(client, nullptr);
    TForm* a = Child("A");
    TForm* b = Child("B");
    EXPECT_EQ(GetAncestor(a->Handle(), GA_PARENT), client);
    EXPECT_EQ(main->MDIChildCount(), 2);
    // The one shown last is active and first in the list.
    EXPECT_EQ(main->ActiveMDIChild(), b);
    EXPECT_EQ(main->MDIChildren(0), b);
    EXPECT_TRUE(b->Active());
    EXPECT_FALSE(a->Active());

    // A click in the other child activates it.
    RECT r;
    GetWindowRect(a->Handle(), &r);
    RECT m;
    GetWindowRect(main->Handle(), &m);
    POINT at{r.left + 20 - m.left, r.top + 20 - m.top};
    // Bring a's area out from under b first.
    b->SetBounds(300, 200, 200, 150);
    Pump();
    InputMouseMove(main->Handle(), at.x, at.y);
    InputMouseButton(main->Handle(), at.x, at.y, MouseButton::Left, true);
    InputMouseButton(main->Handle(), at.x, at.y, MouseButton::Left, false);
    Pump();
    EXPECT_EQ(main->ActiveMDIChild(), a);
    EXPECT_TRUE(a->Active());
    EXPECT_FALSE(b->Active());

    // Maximised, a child fills the client; restored, it is back where it was.
    a->SetWindowState(wsMaximized);
    Pump();
    RECT cr;
    GetClientRect(client, &cr);
    EXPECT_EQ(a->Width(), cr.right);
    EXPECT_EQ(a->Height(), cr.bottom);
    BOOL zoomed = FALSE;
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessage(client, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&zoomed))),
              a->Handle());
    EXPECT_TRUE(zoomed);
    a->SetWindowState(wsNormal);
    Pump();
    EXPECT_EQ(a->BoundsRect(), TRect(10, 10, 210, 160));

    // The active child going hands the activation on.
    delete a;
    Pump();
    EXPECT_EQ(main->MDIChildCount(), 1);
    EXPECT_EQ(main->ActiveMDIChild(), b);

    // A raw child made by the client itself is one of its children, and active.
    MDICREATESTRUCTA cs;
    cs.szClass = "STATIC";
    cs.szTitle = "raw";
    cs.cx = 50;
    cs.cy = 40;
    cs.style = WS_VISIBLE;
    auto raw = reinterpret_cast<HWND>(SendMessage(client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&cs)));
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(MDIChildWindows(client).size(), 2u);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessage(client, WM_MDIGETACTIVE, 0, 0)), raw);
    EXPECT_FALSE(b->Active());
    SendMessage(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(raw), 0);
    EXPECT_FALSE(IsWindow(raw));
    delete b;
}

TEST_F(MdiTest, ChildWithoutMdiFormIsRefused) {
    auto* orphan = new TForm(nullptr);
    orphan->SetFormStyle(fsMDIChild);
    EXPECT_THROW(orphan->HandleNeeded(), EInvalidOperation);
    delete orphan;
}

TEST_F(MdiTest, TileReservesARowForMinimisedChildren) {
    TdvxMDIForm* frame = Frame();
    std::vector<TForm*> kids;
    for (const char* name : {"A", "B", "C", "D"}) kids.push_back(Child(name));
    // Minimised children take no share of the height; 25 pixels stay for their row.
    ShowWindow(kids[1]->Handle(), SW_MINIMIZE);
    Pump();
    main->Tile();
    Pump();
    int avail = main->ClientHeight() - frame->TitleBar()->Height() - (frame->TopPanel()->Visible() ? frame->TopPanel()->Height() : 0) - 25;
    int h = avail / 3;
    // Children from the last index to the first: A is the bottom one, so it comes first.
    EXPECT_EQ(kids[0]->BoundsRect(), TRect(0, 0, main->ClientWidth() - 4, h - 2));
    EXPECT_EQ(kids[2]->BoundsRect(), TRect(0, h - 2, main->ClientWidth() - 4, 2 * (h - 2)));
    EXPECT_EQ(kids[3]->BoundsRect(), TRect(0, 2 * (h - 2), main->ClientWidth() - 4, 3 * (h - 2)));

    main->SetTileMode(tbVertical);
    main->Tile();
    Pump();
    int w = main->ClientWidth() / 3;
    EXPECT_EQ(kids[0]->BoundsRect(), TRect(0, 0, w - 2, avail - 4));
    EXPECT_EQ(kids[2]->BoundsRect(), TRect(w - 2, 0, 2 * (w - 2), avail - 4));
    for (TForm* k : kids) delete k;
}

TEST_F(MdiTest, CascadeOfTwo) {
    Frame();
    TForm* a = Child("A");
    TForm* b = Child("B");
    ASSERT_EQ(main->MDIChildren(1), a);
    main->Cascade();
    Pump();
    int w = int(main->ClientWidth() * 0.8), h = int(main->ClientHeight() * 0.6);
    EXPECT_EQ(a->BoundsRect(), TRect(0, 0, w, h));
    EXPECT_EQ(b->BoundsRect(), TRect(22, 22, 22 + w, 22 + h));
    delete a;
    delete b;
}

TEST_F(MdiTest, ControlButtonsFollowTheMaximisedChildsTitleBar) {
    TdvxMDIForm* frame = Frame();
    auto* menu = new TdvxMainMenu(main);
    AddItem(menu, "&File");
    frame->SetMenu(menu);
    TdvxForm* childFrame = nullptr;
    TForm* a = Child("A", true, &childFrame);
    auto visible = [&] {
        std::string s;
        for (std::intptr_t tag : {DVX_MDI_MINIMIZE_TAG, DVX_MDI_RESTORE_TAG, DVX_MDI_CLOSE_TAG})
            s += frame->ControlButton(tag)->Visible() ? "1" : "0";
        return s;
    };
    EXPECT_EQ(visible(), "000");
    // Each shows its own frame of the control-button picture.
    auto glyphBits = [&](std::intptr_t tag) {
        TBitmap* g = frame->ControlButton(tag)->Glyph();
        std::string bits;
        for (int y = 0; y < g->Height(); ++y)
            for (int x = 0; x < g->Width(); ++x) bits += ColorToRGB(g->Canvas()->Pixels(x, y)) == 0 ? '#' : '.';
        return bits;
    };
    std::string minimise = glyphBits(DVX_MDI_MINIMIZE_TAG), restore = glyphBits(DVX_MDI_RESTORE_TAG),
                close = glyphBits(DVX_MDI_CLOSE_TAG);
    EXPECT_EQ(minimise.size(), 16u * 14u);
    EXPECT_NE(minimise.find('#'), std::string::npos);
    EXPECT_NE(minimise, restore);
    EXPECT_NE(restore, close);
    EXPECT_NE(minimise, close);
    a->SetWindowState(wsMaximized);
    Pump();
    EXPECT_EQ(visible(), "111");
    EXPECT_FALSE(childFrame->TitleBarVisible());  // the frame's menu bar carries its buttons
    a->SetWindowState(wsNormal);
    Pump();
    EXPECT_EQ(visible(), "000");
    EXPECT_TRUE(childFrame->TitleBarVisible());

    // Only the kinds the child's title bar has.
    TdvxTitleBarButtons* buttons = childFrame->TitleBar()->Buttons();
    childFrame->TitleBar()->SetCustom(true);
    for (int i = buttons->Count() - 1; i >= 0; --i)
        if (buttons->Items(i)->ButtonType() != dvxClose) buttons->Delete(i);
    a->SetWindowState(wsMaximized);
    Pump();
    EXPECT_EQ(visible(), "001");

    // The close button closes the child (caFree here).
    a->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    frame->ControlButton(DVX_MDI_CLOSE_TAG)->Click();
    Pump();
    EXPECT_EQ(main->MDIChildCount(), 0);
}

TEST_F(MdiTest, MenuSwapAndWindowMenu) {
    TdvxMDIForm* frame = Frame();
    auto* own = new TdvxMainMenu(main);
    AddItem(own, "&File");
    TMenuItem* window = AddItem(own, "&Window");
    main->SetWindowMenu(window);
    frame->SetMenu(own);
    auto listed = [&](const std::string& caption) {
        for (int i = 0; i < window->Count(); ++i)
            if (window->Items(i)->Caption() == caption) return true;
        return false;
    };
    auto captions = [&] {
        std::string s;
        for (int i = 0; i < frame->MenuBar()->ButtonCount(); ++i) s += frame->MenuBar()->Buttons(i)->Caption() + ";";
        return s;
    };
    EXPECT_EQ(captions(), "&File;&Window;");

    TForm* plain = Child("Plain", true);
    // A child without a menu leaves the frame's menu showing, with the children listed.
    EXPECT_EQ(captions(), "&File;&Window;");
    ASSERT_EQ(window->Count(), 2);
    EXPECT_EQ(window->Items(0)->Caption(), "-");
    EXPECT_EQ(window->Items(1)->Caption(), "Plain");

    TdvxForm* childFrame = nullptr;
    TForm* edit = Child("Edit", true, &childFrame);
    auto* childMenu = new TdvxMainMenu(edit);
    AddItem(childMenu, "&Edit");
    childFrame->SetMenu(childMenu);
    SendMessage(main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(plain->Handle()), 0);
    SendMessage(main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(edit->Handle()), 0);
    Pump();
    EXPECT_EQ(captions(), "&Edit;");
    EXPECT_EQ(frame->ShownMenu(), childMenu);
    // The Window menu is rebuilt only while the frame's own menu shows.
    ASSERT_EQ(window->Count(), 3);
    plain->SetCaption("Renamed");
    frame->UpdateWindowMenu();
    EXPECT_TRUE(listed("Plain"));

    SendMessage(main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(plain->Handle()), 0);
    Pump();
    EXPECT_EQ(captions(), "&File;&Window;");
    EXPECT_TRUE(listed("Renamed"));
    EXPECT_TRUE(listed("Edit"));
    // Rebuilt again and again, one separator and one item per child.
    frame->UpdateWindowMenu();
    frame->UpdateWindowMenu();
    int separators = 0;
    for (int i = 0; i < window->Count(); ++i) separators += window->Items(i)->Caption() == "-";
    EXPECT_EQ(separators, 1);
    EXPECT_EQ(window->Count(), 3);
    delete edit;
    delete plain;
}

TEST_F(MdiTest, WindowMenuItemOfAGoneChildDoesNothing) {
    TdvxMDIForm* frame = Frame();
    auto* own = new TdvxMainMenu(main);
    TMenuItem* window = AddItem(own, "&Window");
    main->SetWindowMenu(window);
    frame->SetMenu(own);
    TForm* a = Child("A");
    TForm* b = Child("B");
    frame->UpdateWindowMenu();
    ASSERT_EQ(frame->WindowMenuItems().size(), 3u);
    EXPECT_EQ(frame->WindowMenuItems()[0]->Caption(), "-");
    TdvxWindowMenuItem* itemA = nullptr;
    for (TMenuItem* item : frame->WindowMenuItems())
        if (auto* w = dynamic_cast<TdvxWindowMenuItem*>(item); w && w->Child() == a) itemA = w;
    ASSERT_NE(itemA, nullptr);
    EXPECT_EQ(itemA->Caption(), "A");
    // A minimised child is restored and activated from its item.
    ShowWindow(a->Handle(), SW_MINIMIZE);
    Pump();
    itemA->Click();
    Pump();
    EXPECT_FALSE(IsIconic(a->Handle()));
    EXPECT_EQ(main->ActiveMDIChild(), a);
    // The child goes while its item stays: the item lets go of it, and a click is harmless.
    delete a;
    Pump();
    bool stillListed = false;
    for (TMenuItem* item : frame->WindowMenuItems()) stillListed |= item == itemA;
    ASSERT_TRUE(stillListed);  // nothing rebuilt the menu: the child had no frame to ask
    EXPECT_EQ(itemA->Child(), nullptr);
    itemA->Click();
    Pump();
    EXPECT_EQ(main->ActiveMDIChild(), b);
    delete b;
}

TEST_F(MdiTest, FrameDestroyedFirstGivesBackBothProcedures) {
    main->Show();
    Pump();
    HWND client = main->ClientHandle();
    LONG_PTR formProc = GetWindowLongPtrA(main->Handle(), GWLP_WNDPROC);
    LONG_PTR clientProc = GetWindowLongPtrA(client, GWLP_WNDPROC);
    auto* frame = new TdvxMDIForm(main);
    EXPECT_NE(GetWindowLongPtrA(client, GWLP_WNDPROC), clientProc);
    TForm* a = Child("A");
    delete frame;
    EXPECT_EQ(GetWindowLongPtrA(main->Handle(), GWLP_WNDPROC), formProc);
    EXPECT_EQ(GetWindowLongPtrA(client, GWLP_WNDPROC), clientProc);
    // The client goes on working on its own.
    SendMessage(client, WM_MDITILE, MDITILE_HORIZONTAL, 0);
    SendMessage(client, WM_MDICASCADE, 0, 0);
    Pump();
    EXPECT_EQ(main->ActiveMDIChild(), a);
    delete a;
}

TEST_F(MdiTest, ShortcutsOnlyFromTheFramesOwnWindows) {
    TdvxMDIForm* frame = Frame();
    auto* own = new TdvxMainMenu(main);
    int refreshes = 0;
    TMenuItem* file = AddItem(own, "&File");
    auto* refresh = new TMenuItem(own);
    refresh->SetCaption("&Refresh");
    refresh->SetShortCut(ShortCut(VK_F5, 0));
    refresh->OnClick = [&](TObject*) { ++refreshes; };
    file->Add(refresh);
    frame->SetMenu(own);
    TForm* a = Child("A");
    auto* other = new TForm(nullptr);
    other->AfterConstruction();
    other->SetBounds(700, 500, 200, 100);
    other->Show();
    Pump();
    // F5 typed in another window of the program is not the frame's.
    ASSERT_EQ(GetActiveWindow(), other->Handle());
    InputKey(VK_F5, true);
    InputKey(VK_F5, false);
    Pump();
    EXPECT_EQ(refreshes, 0);
    // Typed in the MDI form (here its child), it is.
    SetActiveWindow(main->Handle());
    SetFocus(a->Handle());
    Pump();
    InputKey(VK_F5, true);
    InputKey(VK_F5, false);
    Pump();
    EXPECT_EQ(refreshes, 1);
    delete other;
    delete a;
}

TEST_F(MdiTest, NotPlacedOnAForm) {
    TComponent owner(nullptr);
    EXPECT_THROW(TdvxMDIForm frame(&owner), EInvalidOperation);
}

TEST_F(MdiTest, FormHasFocusFollowsTheActiveChild) {
    Frame();
    TForm* a = Child("A");
    TForm* b = Child("B");
    EXPECT_TRUE(FormHasFocus(main));
    EXPECT_TRUE(FormHasFocus(b));
    EXPECT_FALSE(FormHasFocus(a));
    SendMessage(main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(a->Handle()), 0);
    EXPECT_TRUE(FormHasFocus(a));
    EXPECT_FALSE(FormHasFocus(b));
    delete a;
    delete b;
}

// A minimised child is a caption strip in the first free place along the client's bottom:
// the platform draws it for a plain child, the skinned frame for its own; a double click or
// the strip's buttons bring the child back.
TEST_F(MdiTest, MinimisedChildrenAreCaptionStripsAlongTheBottom) {
    TdvxMDIForm* frame = Frame();
    (void)frame;
    TdvxForm* childFrame = nullptr;
    TForm* plain = Child("Plain");
    TForm* skinned = Child("Skinned child with a long caption", true, &childFrame);
    HWND client = main->ClientHandle();
    RECT cr;
    GetClientRect(client, &cr);
    // The client's origin in the main window's coordinates.
    POINT origin{0, 0};
    ::platform::ClientToScreen(client, &origin);
    RECT mainRect;
    GetWindowRect(main->Handle(), &mainRect);
    origin.x -= mainRect.left;
    origin.y -= mainRect.top;
    auto placeOf = [&](TForm* f) {
        RECT r;
        GetWindowRect(f->Handle(), &r);
        POINT p{r.left, r.top};
        ::platform::ScreenToClient(client, &p);
        return TRect(p.x, p.y, p.x + r.right - r.left, p.y + r.bottom - r.top);
    };
    ShowWindow(plain->Handle(), SW_MINIMIZE);
    skinned->SetWindowState(wsMinimized);
    Pump();
    const int W = MINIMIZED_CHILD_WIDTH, H = MINIMIZED_CHILD_HEIGHT;
    EXPECT_EQ(placeOf(plain), TRect(0, cr.bottom - H, W, cr.bottom));
    EXPECT_EQ(placeOf(skinned), TRect(W, cr.bottom - H, 2 * W, cr.bottom));
    EXPECT_EQ(skinned->WindowState(), wsMinimized);
    EXPECT_EQ(skinned->ClientWidth(), 0);  // all caption, no client
    // Pixels: the platform's strip in the caption colour, the skinned one in the frame's
    // border colour around the title pictures, the client's background beside them.
    HWND top = main->Handle();
    auto at = [&](int x, int y) { return GetWindowSurfacePixel(top, origin.x + x, origin.y + y); };
    const int mid = cr.bottom - H / 2;
    EXPECT_EQ(at(40, cr.bottom - H + 2), GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(at(W, mid), ColorToRGB(childFrame->BorderColor()));
    EXPECT_EQ(at(W + 1, cr.bottom - H), ColorToRGB(childFrame->BorderColor()));
    EXPECT_NE(at(W + 60, mid), GetSysColor(COLOR_APPWORKSPACE));
    EXPECT_EQ(at(2 * W + 20, mid), GetSysColor(COLOR_APPWORKSPACE));
    EXPECT_EQ(at(20, mid - H), GetSysColor(COLOR_APPWORKSPACE));
    Shot(top, "skin_mdi_minimised.png");

    // Input through the main window: strip points in main-window coordinates.
    auto stripPoint = [&](TForm* f, int x, int y) {
        TRect r = placeOf(f);
        return TPoint(origin.x + r.left + x, origin.y + r.top + y);
    };
    auto press = [&](TPoint p, bool down) {
        InputMouseMove(top, p.x, p.y);
        InputMouseButton(top, p.x, p.y, MouseButton::Left, down);
        Pump();
    };
    RECT restore = MinimizedCaptionButton(W, H, 0), maximise = MinimizedCaptionButton(W, H, 1),
         close = MinimizedCaptionButton(W, H, 2);
    struct Case {
        const char* what;
        RECT pressOn;
        bool releaseAway;
        TWindowState want;
    } cases[] = {
        {"a release away from the button", restore, true, wsMinimized},
        {"restore", restore, false, wsNormal},
        {"maximise", maximise, false, wsMaximized},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!IsIconic(skinned->Handle())) {
            skinned->SetWindowState(wsMinimized);
            Pump();
        }
        TPoint on = stripPoint(skinned, c.pressOn.left + 4, c.pressOn.top + 4);
        press(on, true);
        press(c.releaseAway ? stripPoint(skinned, 30, 5) : on, false);
        EXPECT_EQ(skinned->WindowState(), c.want);
    }
    // Maximised, minimised and restored, it is maximised again; restored from there, it is
    // back at its first place.
    skinned->SetWindowState(wsMinimized);
    Pump();
    TPoint on = stripPoint(skinned, restore.left + 4, restore.top + 4);
    press(on, true);
    press(on, false);
    EXPECT_EQ(skinned->WindowState(), wsMaximized);
    skinned->SetWindowState(wsNormal);
    Pump();
    EXPECT_EQ(skinned->BoundsRect(), TRect(10, 10, 210, 160));
    EXPECT_TRUE(childFrame->TitleBarVisible());
    // A double click on the plain child's caption restores it; the close button closes.
    TPoint caption = stripPoint(plain, 30, 10);
    for (int i = 0; i < 2; ++i) {
        press(caption, true);
        press(caption, false);
    }
    EXPECT_FALSE(IsIconic(plain->Handle()));
    EXPECT_EQ(plain->BoundsRect(), TRect(10, 10, 210, 160));
    skinned->SetWindowState(wsMinimized);
    Pump();
    bool closed = false;
    skinned->OnClose = [&](TObject*, TCloseAction& action) {
        closed = true;
        action = caHide;
    };
    TPoint onClose = stripPoint(skinned, close.left + 4, close.top + 4);
    press(onClose, true);
    press(onClose, false);
    EXPECT_TRUE(closed);
    // ArrangeIcons closes the gaps a restored child leaves.
    skinned->Show();
    skinned->SetWindowState(wsMinimized);
    ShowWindow(plain->Handle(), SW_MINIMIZE);
    Pump();
    EXPECT_EQ(placeOf(plain), TRect(W, cr.bottom - H, 2 * W, cr.bottom));
    skinned->SetWindowState(wsNormal);
    main->ArrangeIcons();
    Pump();
    EXPECT_EQ(placeOf(plain), TRect(0, cr.bottom - H, W, cr.bottom));
    delete plain;
    delete skinned;
}

// A child made maximised moves its contents into the hidden title bar's place like one
// maximised later, and its first restore puts them where a child made normal has them.
TEST_F(MdiTest, ChildCreatedMaximisedMatchesOneCreatedNormal) {
    Frame();
    auto make = [&](bool maximised, TButton** content) {
        auto* c = new TForm(main);
        c->SetFormStyle(fsMDIChild);
        c->SetBounds(10, 10, 240, 180);
        if (maximised) c->SetWindowState(wsMaximized);
        auto* frame = new TdvxForm(c);
        auto* b = new TButton(c);
        b->SetParent(frame);
        b->SetBounds(8, 40, 80, 24);
        *content = b;
        c->Show();
        Pump();
        return c;
    };
    // The content's place in its child window.
    auto place = [](TForm* f, TButton* b) {
        RECT w;
        GetWindowRect(f->Handle(), &w);
        TPoint p = b->ClientToScreen(TPoint(0, 0));
        return TPoint(p.x - w.left, p.y - w.top);
    };
    TButton* normalContent = nullptr;
    TButton* maxContent = nullptr;
    TForm* normal = make(false, &normalContent);
    TPoint restoredPlace = place(normal, normalContent);
    normal->SetWindowState(wsMaximized);
    Pump();
    TPoint maximisedPlace = place(normal, normalContent);
    EXPECT_LT(maximisedPlace.y, restoredPlace.y);
    TForm* atStart = make(true, &maxContent);
    ASSERT_EQ(atStart->WindowState(), wsMaximized);
    EXPECT_EQ(place(atStart, maxContent), maximisedPlace);
    atStart->SetWindowState(wsNormal);
    Pump();
    EXPECT_EQ(atStart->BoundsRect(), TRect(10, 10, 250, 190));
    EXPECT_EQ(place(atStart, maxContent), restoredPlace);
    Shot(atStart->Handle(), "skin_mdi_restored_from_maximised.png");
    // And again: maximised and restored, the same places.
    atStart->SetWindowState(wsMaximized);
    Pump();
    EXPECT_EQ(place(atStart, maxContent), maximisedPlace);
    atStart->SetWindowState(wsNormal);
    Pump();
    EXPECT_EQ(place(atStart, maxContent), restoredPlace);
    delete atStart;
    delete normal;
}

// Under a skin whose bottom border has three parts, the MDI frame paints the same bottom
// border as the single form frame.
class MdiSkinTest : public skintest::SkinFixture {
protected:
    void TearDown() override {
        delete single;
        delete mdi;
        Pump();
        skintest::SkinFixture::TearDown();
    }
    TForm* single = nullptr;
    TForm* mdi = nullptr;
};

TEST_F(MdiSkinTest, BottomBorderAsTheSingleFrames) {
    test::UseHeadlessBackend();
    auto bmp = [&](const std::string& name, int w, int h, const char* colour) {
        std::string file = Path(name + ".bmp").string();
        skintest::MakeBmp(file, w, h, colour);
        return file;
    };
    std::string part1 = bmp("b1", 12, 6, "red"), part2 = bmp("b2", 5, 6, "lime"), part3 = bmp("b3", 14, 6, "blue"),
                side = bmp("side", 5, 8, "yellow");
    skintest::MakeSk2(Path("skin.sk2"),
                      R"({"records":[{"name":"SKIN2_FORMBOTTOMBORDER1","type":0,"value":{"file":")" + part1 +
                          R"("}},{"name":"SKIN2_FORMBOTTOMBORDER2","type":0,"value":{"file":")" + part2 +
                          R"("}},{"name":"SKIN2_FORMBOTTOMBORDER3","type":0,"value":{"file":")" + part3 +
                          R"("}},{"name":"SKIN2_FORMLEFTBORDER","type":0,"value":{"file":")" + side +
                          R"("}},{"name":"SKIN2_FORMRIGHTBORDER","type":0,"value":{"file":")" + side +
                          R"("}},{"name":"SKIN2_BOTTOMBORDERTHREESECT","type":2,"value":{"byte":1}},{"name":"E"}]})");
    skintest::MakeVxk(Path("skin.vxk"), Path("skin.sk2"));
    auto place = [&](TForm*& form, bool isMdi) {
        form = new TForm(nullptr);
        if (isMdi) form->SetFormStyle(fsMDIForm);
        form->SetBounds(isMdi ? 420 : 20, 20, 360, 240);
        form->AfterConstruction();
        auto* theme = new TdvxFileTheme(form);
        theme->SetThemeFile(Path("skin.vxk").string());
        EXPECT_TRUE(theme->CanUse());
        if (isMdi) {
            auto* f = new TdvxMDIForm(form);
            f->SetFileTheme(theme);
            f->SetUIStyle(FromThemeFile);
        } else {
            auto* f = new TdvxForm(form);
            f->SetFileTheme(theme);
            f->SetUIStyle(FromThemeFile);
        }
        form->Show();
        Pump();
    };
    place(single, false);
    place(mdi, true);
    ASSERT_EQ(single->Width(), mdi->Width());
    ASSERT_EQ(single->Height(), mdi->Height());
    const int w = single->Width(), h = single->Height();
    auto row = [&](TForm* f, int y) {
        std::vector<COLORREF> px;
        for (int x = 0; x < w; ++x) px.push_back(GetWindowSurfacePixel(f->Handle(), x, y));
        return px;
    };
    for (int y = h - 6; y < h; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(row(mdi, y), row(single, y));
    }
    // The three parts: red at the left, lime between, blue at the right.
    struct Case {
        int x;
        COLORREF want;
    } cases[] = {{0, RGB(255, 0, 0)}, {11, RGB(255, 0, 0)}, {12, RGB(0, 255, 0)}, {w - 15, RGB(0, 255, 0)},
                 {w - 14, RGB(0, 0, 255)}, {w - 1, RGB(0, 0, 255)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(GetWindowSurfacePixel(mdi->Handle(), c.x, h - 3), c.want);
    }
    Shot(mdi->Handle(), "skin_mdi_file_theme.png");
}

// Under a skin a single form frame stays as wide as its title pictures and button row.
TEST_F(MdiSkinTest, ASkinnedFrameKeepsTheTitlesWidth) {
    test::UseHeadlessBackend();
    auto bmp = [&](const std::string& name, int w, int h) {
        std::string file = Path(name + ".bmp").string();
        skintest::MakeBmp(file, w, h, "teal");
        return file;
    };
    const std::string left = bmp("t1", 40, 20), middle = bmp("t2", 8, 20), right = bmp("t3", 30, 20),
                      fourth = bmp("t4", 8, 20), fifth = bmp("t5", 20, 20), buttons = bmp("tb", 18 * 11, 11);
    struct Case {
        bool fiveSections;
    } cases[] = {{false}, {true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fiveSections ? "five sections" : "three sections");
        skintest::MakeSk2(Path("skin.sk2"),
                          R"({"records":[{"name":"SKIN2_TITLEBAR1","type":0,"value":{"file":")" + left +
                              R"("}},{"name":"SKIN2_TITLEBAR2","type":0,"value":{"file":")" + middle +
                              R"("}},{"name":"SKIN2_TITLEBAR3","type":0,"value":{"file":")" + right +
                              R"("}},{"name":"SKIN2_TITLEBAR4","type":0,"value":{"file":")" + fourth +
                              R"("}},{"name":"SKIN2_TITLEBAR5","type":0,"value":{"file":")" + fifth +
                              R"("}},{"name":"SKIN2_TITLEBUTTONS","type":0,"value":{"file":")" + buttons +
                              R"("}},{"name":"SKIN2_TITLEBARBUTTONPOSX","type":1,"value":{"int":5}},)" +
                              R"({"name":"SKIN2_TITLEFIVESECT","type":2,"value":{"byte":)" +
                              (c.fiveSections ? "1" : "0") + R"(}},{"name":"E"}]})");
        skintest::MakeVxk(Path("skin.vxk"), Path("skin.sk2"));
        single = new TForm(nullptr);
        single->SetBounds(20, 20, 360, 240);
        single->AfterConstruction();
        auto* theme = new TdvxFileTheme(single);
        theme->SetThemeFile(Path("skin.vxk").string());
        ASSERT_TRUE(theme->CanUse());
        auto* frame = new TdvxForm(single);
        frame->SetFileTheme(theme);
        frame->SetUIStyle(FromThemeFile);
        single->Show();
        Pump();
        const int row = 11 * frame->TitleBar()->Buttons()->Count() + 5;
        const int want = c.fiveSections ? 40 + 30 + std::max(20, row) + 16 : 40 + std::max(30, row);
        EXPECT_EQ(single->Constraints()->MinWidth(), want);
        single->SetBounds(20, 20, 10, 240);
        EXPECT_EQ(single->Width(), want);
        delete single;
        single = nullptr;
        Pump();
    }
}

// ---------------------------------------------------------------- a form frame's menu bar

class MenuBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        form = new TForm(nullptr);
        form->SetBounds(100, 100, 400, 300);
        form->AfterConstruction();
        frame = new TdvxForm(form);
        frame->SetUIStyle(WinXP);
        menu = new TdvxMainMenu(form);
        go = AddItem(menu, "&Go", &goClicks);
        AddItem(menu, "&Help", &helpClicks);
        frame->SetMenu(menu);
        form->Show();
        Pump();
    }
    void TearDown() override {
        delete form;
        Pump();
    }
    TForm* form = nullptr;
    TdvxForm* frame = nullptr;
    TdvxMainMenu* menu = nullptr;
    TMenuItem* go = nullptr;
    int goClicks = 0, helpClicks = 0;
};

TEST_F(MenuBarTest, BarUnderTheTitleShowsTheItemsInOrder) {
    TdvxMenuBar* bar = frame->MenuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Top(), frame->TitleBar()->Top() + frame->TitleBar()->Height());
    ASSERT_EQ(bar->ButtonCount(), 2);
    EXPECT_EQ(bar->Buttons(0)->Caption(), "&Go");
    EXPECT_GT(frame->MenuBarHeight(), 0);
    EXPECT_EQ(menu->SkinnedForm(), frame);
    // Item changes reach the bar.
    go->SetCaption("&Run");
    go->SetEnabled(false);
    EXPECT_EQ(bar->Buttons(0)->Caption(), "&Run");
    EXPECT_FALSE(bar->Buttons(0)->Enabled());
    // No menu, no bar; the menu forgets the frame.
    frame->SetMenu(nullptr);
    EXPECT_EQ(frame->MenuBar(), nullptr);
    EXPECT_EQ(frame->MenuBarHeight(), 0);
    EXPECT_EQ(menu->SkinnedForm(), nullptr);
}

TEST_F(MenuBarTest, HotItemIsDrawnInTheSelectedColoursAndTagged) {
    TdvxMenuBar* bar = frame->MenuBar();
    TToolButton* help = bar->Buttons(1);
    EXPECT_FALSE(bar->ItemHighlighted());
    TPoint at = bar->ClientToScreen(TPoint(help->Left() + 2, help->Top() + help->Height() - 3));
    RECT w;
    GetWindowRect(form->Handle(), &w);
    InputMouseMove(form->Handle(), at.x - w.left, at.y - w.top);
    Pump();
    ASSERT_EQ(bar->HotButton(), help);
    EXPECT_EQ(help->Tag(), DVX_MENUBAR_HIGHLIGHT_TAG);
    EXPECT_TRUE(bar->ItemHighlighted());
    COLORREF fill = ColorToRGB(GetInsideThemeColor(WinXP, DVX_THEME_MENU_SELECTED_COLOR));
    COLORREF border = ColorToRGB(GetInsideThemeColor(WinXP, DVX_THEME_MENU_SELECTED_BORDER_COLOR));
    EXPECT_EQ(GetWindowSurfacePixel(form->Handle(), at.x - w.left, at.y - w.top), fill);
    TPoint corner = bar->ClientToScreen(TPoint(help->Left(), help->Top()));
    EXPECT_EQ(GetWindowSurfacePixel(form->Handle(), corner.x - w.left, corner.y - w.top), border);
    // The other item is not highlighted.
    EXPECT_EQ(bar->Buttons(0)->Tag(), 0);
    Shot(form->Handle(), "skin_menubar_hot.png");
}

TEST_F(MenuBarTest, PlainLettersOnlyWhileAnItemIsHighlighted) {
    TdvxMenuBar* bar = frame->MenuBar();
    const LPARAM alt = LPARAM(1) << 29;
    struct Case {
        bool highlighted;
        LPARAM keyData;
        int wantResult, wantClicks;
    } cases[] = {
        {false, 0, 0, 0},    // typing in the form never opens the menu
        {false, alt, 1, 1},  // Alt+H does
        {true, 0, 1, 1},     // and so does H while an item shows highlighted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.highlighted << " " << c.keyData);
        helpClicks = 0;
        for (int i = 0; i < bar->ButtonCount(); ++i) bar->Buttons(i)->SetTag(0);
        if (c.highlighted) bar->Buttons(0)->SetTag(DVX_MENUBAR_HIGHLIGHT_TAG);
        EXPECT_EQ(bar->Perform(CM_DIALOGCHAR, 'h', c.keyData), c.wantResult);
        Pump();
        EXPECT_EQ(helpClicks, c.wantClicks);
    }
}

}  // namespace
