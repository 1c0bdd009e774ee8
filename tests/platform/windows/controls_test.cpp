// The control classes on the headless backend: the WindowProc hook chain, focus and
// dialog keys, mouse enter and leave, the modal loop, exceptions escaping handlers,
// controls freed with messages queued, painting and transparent controls, made cursors.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/backends/headless.h"
#include "platform/core/clock.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "platform/windows/cursors.h"
#include "platform/windows/input.h"
#include "platform/windows/windows_test_support.h"

using namespace platform;

namespace {

std::vector<std::string>* gEvents = nullptr;
void Note(const std::string& s) {
    if (gEvents) gEvents->push_back(s);
}

// A focusable control that paints itself in one colour and records what it hears.
class TProbe : public TCustomControl {
public:
    TProbe(TComponent* owner, const std::string& name, TColor fill, LRESULT dlgCode = 0)
        : TCustomControl(owner), fill_(fill), dlgCode_(dlgCode) {
        SetName(name);
        SetTabStop(true);
        OnEnter = [this](TObject*) { Note("enter " + Name()); };
        OnExit = [this](TObject*) { Note("exit " + Name()); };
        OnKeyDown = [this](TObject*, WORD& key, TShiftState) { Note("key " + Name() + " " + std::to_string(key)); };
        OnMouseEnter = [this](TObject*) { Note("mouse enter " + Name()); };
        OnMouseLeave = [this](TObject*) { Note("mouse leave " + Name()); };
    }
    void Dispatch(TMessage& m) override {
        if (m.Msg == WM_GETDLGCODE) {
            m.Result = dlgCode_;
            return;
        }
        if (m.Msg == WM_USER + 7) {
            Note("user " + Name());
            m.Result = 7;
            return;
        }
        TCustomControl::Dispatch(m);
    }
    int paints = 0;

protected:
    void Paint() override {
        ++paints;
        Canvas()->Brush()->SetColor(fill_);
        Canvas()->FillRect(ClientRect());
    }

private:
    TColor fill_;
    LRESULT dlgCode_;
};

// A control that shows what lies under it, with a frame of its own.
class TSeeThrough : public TCustomControl {
public:
    explicit TSeeThrough(TComponent* owner) : TCustomControl(owner) {}
    void Dispatch(TMessage& m) override {
        if (m.Msg == WM_ERASEBKGND) {
            m.Result = 1;
            return;
        }
        TCustomControl::Dispatch(m);
    }

protected:
    void Paint() override {
        DrawParentImage(this, Canvas()->Handle());
        Canvas()->Brush()->SetColor(clBlack);
        Canvas()->FrameRect(ClientRect());
    }
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        gEvents = &events;
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT) {
            boxes.push_back(text);
            return IDOK;
        };
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        form->SetColor(clWhite);
        form->AfterConstruction();
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
        Application->MessageBoxHandler = nullptr;
        gEvents = nullptr;
    }
    void Pump() { Application->ProcessMessages(); }
    HWND Top() { return form->Handle(); }
    void Click(int x, int y) {
        InputMouseMove(Top(), x, y);
        InputMouseButton(Top(), x, y, MouseButton::Left, true);
        InputMouseButton(Top(), x, y, MouseButton::Left, false);
        Pump();
    }
    void Key(WORD vk) {
        InputKey(vk, true);
        InputKey(vk, false);
        Pump();
    }

    TForm* form = nullptr;
    std::vector<std::string> events;
    std::vector<std::string> boxes;
};

}  // namespace

TEST_F(ControlsTest, WindowProcHookSeesMessagesFirstAndCanBeRestored) {
    auto* probe = new TProbe(form, "p", clRed);
    probe->SetParent(form);
    TWindowProc original = probe->WindowProc;
    probe->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_USER + 7) Note("hook");
        original(m);
    };
    // Through the window procedure, as a sent message arrives.
    EXPECT_EQ(SendMessage(probe->Handle(), WM_USER + 7, 0, 0), 7);
    probe->WindowProc = original;
    EXPECT_EQ(probe->Perform(WM_USER + 7), 7);
    // Unhandled messages end in the default handler.
    EXPECT_EQ(probe->Perform(WM_USER + 8), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"hook", "user p", "user p"}));
    // The window class is named after the control class, so it can be found.
    form->Show();
    EXPECT_EQ(FindWindowA("TForm", nullptr), form->Handle());
}

TEST_F(ControlsTest, TabMovesFocusInTabOrderAndSkipsDisabledControls) {
    auto* a = new TProbe(form, "a", clRed);
    auto* b = new TProbe(form, "b", clRed);
    auto* c = new TProbe(form, "c", clRed, DLGC_WANTTAB);
    for (TProbe* p : {a, b, c}) p->SetParent(form);
    b->SetEnabled(false);
    form->Show();
    Pump();
    EXPECT_EQ(GetFocus(), a->Handle());
    EXPECT_EQ(form->ActiveControl(), a);
    events.clear();
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), c->Handle());
    // c wants Tab itself: the key reaches it instead of moving the focus.
    Key(VK_TAB);
    EXPECT_EQ(GetFocus(), c->Handle());
    InputKey(VK_SHIFT, true);
    Key(VK_TAB);
    InputKey(VK_SHIFT, false);
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"exit a", "enter c", "key c 9", "key c 16", "key c 9"}));
}

TEST_F(ControlsTest, FocusMovesThroughContainersWithExitAndEnterInOrder) {
    auto* outer = new TPanel(form);
    outer->SetParent(form);
    outer->SetName("outer");
    outer->OnEnter = [](TObject*) { Note("enter outer"); };
    outer->OnExit = [](TObject*) { Note("exit outer"); };
    auto* inner = new TProbe(form, "inner", clRed);
    inner->SetParent(outer);
    auto* other = new TProbe(form, "other", clRed);
    other->SetParent(form);
    form->Show();
    Pump();
    inner->SetFocus();
    events.clear();
    other->SetFocus();
    inner->SetFocus();
    EXPECT_EQ(events, (std::vector<std::string>{"exit inner", "exit outer", "enter other", "exit other",
                                                "enter outer", "enter inner"}));
    EXPECT_TRUE(inner->Focused());
}

TEST_F(ControlsTest, KeyPreviewLetsTheFormTakeKeysFirst) {
    auto* a = new TProbe(form, "a", clRed);
    a->SetParent(form);
    form->SetKeyPreview(true);
    form->OnKeyDown = [](TObject*, WORD& key, TShiftState) {
        Note("form " + std::to_string(key));
        if (key == 'X') key = 0;
    };
    form->Show();
    Pump();
    events.clear();
    Key('X');
    Key('Y');
    EXPECT_EQ(events, (std::vector<std::string>{"form 88", "form 89", "key a 89"}));
}

TEST_F(ControlsTest, AcceleratorOfALabelFocusesItsControl) {
    auto* a = new TProbe(form, "a", clRed);
    auto* b = new TProbe(form, "b", clRed);
    a->SetParent(form);
    b->SetParent(form);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption("&Name");
    label->SetFocusControl(b);
    form->Show();
    Pump();
    ASSERT_EQ(GetFocus(), a->Handle());
    InputKey(VK_MENU, true);
    InputKey('N', true);
    InputChar('n');
    InputKey('N', false);
    InputKey(VK_MENU, false);
    Pump();
    EXPECT_EQ(GetFocus(), b->Handle());
}

TEST_F(ControlsTest, MouseEnterAndLeaveFollowThePointerAcrossControls) {
    auto* outer = new TProbe(form, "outer", clRed);
    outer->SetParent(form);
    outer->SetBounds(0, 0, 150, 100);
    auto* graphic = new TLabel(form);
    graphic->SetParent(form);
    graphic->SetBounds(200, 0, 50, 20);
    graphic->SetAutoSize(false);
    graphic->OnMouseEnter = [](TObject*) { Note("mouse enter label"); };
    graphic->OnMouseLeave = [](TObject*) { Note("mouse leave label"); };
    auto* inner = new TProbe(form, "inner", clBlue);
    inner->SetParent(outer);
    inner->SetBounds(10, 10, 30, 30);
    form->OnMouseEnter = [](TObject*) { Note("mouse enter form"); };
    form->OnMouseLeave = [](TObject*) { Note("mouse leave form"); };
    form->Show();
    Pump();
    events.clear();
    for (TPoint p : {TPoint(100, 50), TPoint(20, 20), TPoint(25, 25), TPoint(210, 5), TPoint(290, 190)}) {
        InputMouseMove(form->Handle(), p.x, p.y);
        Pump();
    }
    InputMouseLeave(form->Handle());
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"mouse enter outer", "mouse leave outer", "mouse enter inner",
                                                "mouse leave inner", "mouse enter label", "mouse leave label",
                                                "mouse enter form", "mouse leave form"}));
}

TEST_F(ControlsTest, ClickNeedsPressAndReleaseInsideAndCaptureFollowsTheButton) {
    auto* probe = new TProbe(form, "p", clRed);
    probe->SetParent(form);
    probe->SetBounds(10, 10, 50, 50);
    int clicks = 0;
    probe->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    Pump();
    Click(20, 20);
    EXPECT_EQ(clicks, 1);
    // Pressed inside, released outside: the control holds the mouse, but it is no click.
    InputMouseButton(Top(), 20, 20, MouseButton::Left, true);
    Pump();
    EXPECT_EQ(GetCapture(), probe->Handle());
    InputMouseMove(Top(), 200, 150);
    InputMouseButton(Top(), 200, 150, MouseButton::Left, false);
    Pump();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ControlsTest, ShowModalRunsANestedLoopAndReturnsTheModalResult) {
    form->Show();
    Pump();
    TForm* dialog = new TForm(nullptr);
    dialog->SetBorderStyle(bsNone);
    dialog->SetBounds(0, 0, 100, 80);
    dialog->SetPosition(poScreenCenter);
    auto* ok = new TPanel(dialog);
    ok->SetParent(dialog);
    ok->SetBounds(10, 10, 50, 30);
    ok->OnClick = [dialog](TObject*) { dialog->SetModalResult(mrOk); };
    bool ownerDisabledMeanwhile = false;
    // Runs inside the nested loop: the user clicks the dialog's button.
    HWND driver = AllocateHWnd([&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg != WM_USER) return 0;
        ownerDisabledMeanwhile = !IsWindowEnabled(form->Handle());
        InputMouseMove(dialog->Handle(), 20, 20);
        InputMouseButton(dialog->Handle(), 20, 20, MouseButton::Left, true);
        InputMouseButton(dialog->Handle(), 20, 20, MouseButton::Left, false);
        return 0;
    });
    PostMessage(driver, WM_USER, 0, 0);
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_TRUE(ownerDisabledMeanwhile);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
    EXPECT_FALSE(dialog->Visible());
    RECT r;
    GetWindowRect(dialog->Handle(), &r);
    EXPECT_EQ(r.left, (1024 - 100) / 2) << "centred on the work area";
    // Closing a modal form ends the loop with mrCancel.
    dialog->OnShow = [dialog](TObject*) { dialog->Close(); };
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    DeallocateHWnd(driver);
    delete dialog;
}

TEST_F(ControlsTest, AnExceptionInAHandlerIsShownAndTheLoopGoesOn) {
    auto* probe = new TProbe(form, "p", clRed);
    probe->SetParent(form);
    probe->SetBounds(0, 0, 50, 50);
    probe->OnClick = [](TObject*) { throw EConvertError("'x' is not a valid integer value"); };
    form->Show();
    Pump();
    Click(10, 10);
    PostMessage(probe->Handle(), WM_USER + 7, 0, 0);
    Pump();
    EXPECT_EQ(boxes, (std::vector<std::string>{"'x' is not a valid integer value."}));
    EXPECT_EQ(events.back(), "user p");
}

TEST_F(ControlsTest, AControlFreedWithMessagesQueuedIsNeverTouched) {
    auto* probe = new TProbe(form, "p", clRed);
    probe->SetParent(form);
    form->Show();
    Pump();
    events.clear();
    PostMessage(probe->Handle(), WM_USER + 7, 0, 0);
    InvalidateRect(probe->Handle(), nullptr, TRUE);
    delete probe;
    // A form released from its own handler goes once the queue reaches the release.
    auto* other = new TForm(nullptr);
    other->AfterConstruction();
    other->Show();
    HWND otherHandle = other->Handle();
    other->Release();
    PostMessage(otherHandle, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(otherHandle));
    EXPECT_TRUE(events.empty());
}

TEST_F(ControlsTest, PaintingFillsBackgroundsAndClipsChildren) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 100, 60);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clRed);
    auto* probe = new TProbe(form, "p", clBlue);
    probe->SetParent(panel);
    probe->SetBounds(20, 20, 30, 20);
    form->Show();
    Pump();
    HWND top = form->Handle();
    EXPECT_EQ(GetWindowSurfacePixel(top, 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(GetWindowSurfacePixel(top, 15, 15), RGB(255, 0, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 35, 35), RGB(0, 0, 255));
    // Only the invalid control paints again.
    int before = probe->paints;
    panel->Invalidate();
    Pump();
    EXPECT_EQ(probe->paints, before);
    probe->Invalidate();
    Pump();
    EXPECT_EQ(probe->paints, before + 1);
}

TEST_F(ControlsTest, ATransparentControlShowsItsParentUnderIt) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 200, 100);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clYellow);
    auto* see = new TSeeThrough(form);
    see->SetParent(panel);
    see->SetBounds(50, 20, 40, 40);
    form->Show();
    Pump();
    HWND top = form->Handle();
    EXPECT_EQ(GetWindowSurfacePixel(top, 70, 40), RGB(255, 255, 0)) << "the parent's colour shows through";
    EXPECT_EQ(GetWindowSurfacePixel(top, 50, 20), RGB(0, 0, 0)) << "the control's own frame";
}

TEST_F(ControlsTest, AlignAndAnchorsFollowTheParentSize) {
    auto* top = new TPanel(form);
    top->SetParent(form);
    top->SetHeight(30);
    top->SetAlign(alTop);
    auto* client = new TPanel(form);
    client->SetParent(form);
    client->SetAlign(alClient);
    auto* corner = new TPanel(form);
    corner->SetParent(form);
    corner->SetBounds(250, 150, 40, 40);
    corner->SetAnchors(akRight | akBottom);
    form->Show();
    Pump();
    EXPECT_EQ(top->BoundsRect(), TRect(0, 0, 300, 30));
    EXPECT_EQ(client->BoundsRect(), TRect(0, 30, 300, 200));
    form->SetBounds(100, 100, 400, 300);
    Pump();
    EXPECT_EQ(top->BoundsRect(), TRect(0, 0, 400, 30));
    EXPECT_EQ(client->BoundsRect(), TRect(0, 30, 400, 300));
    EXPECT_EQ(corner->BoundsRect(), TRect(350, 250, 390, 290));
}

TEST_F(ControlsTest, CaptionDragMovesABorderlessForm) {
    form->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        ReleaseCapture();
        SendMessage(form->Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    };
    form->Show();
    Pump();
    InputMouseMove(Top(), 10, 10);
    InputMouseButton(Top(), 10, 10, MouseButton::Left, true);
    Pump();
    InputMouseMove(Top(), 30, 50);
    InputMouseButton(Top(), 30, 50, MouseButton::Left, false);
    Pump();
    RECT r;
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(TRect(r), TRect(120, 140, 420, 340));
    // A display may deliver the whole gesture before the press is handled: the drag then
    // catches up with it, and the moves and the release do not reach the form.
    int ups = 0;
    form->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++ups; };
    InputMouseButton(Top(), 10, 10, MouseButton::Left, true);
    InputMouseMove(Top(), 15, 10);
    InputMouseMove(Top(), 20, 30);
    InputMouseButton(Top(), 20, 30, MouseButton::Left, false);
    InputMouseMove(Top(), 50, 50);
    Pump();
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(TRect(r), TRect(130, 160, 430, 360));
    EXPECT_EQ(ups, 0);
}

TEST_F(ControlsTest, ScrollBoxScrollsItsChildrenWithTheBar) {
    auto* box = new TScrollBox(form);
    box->SetParent(form);
    box->SetBorderStyle(bsNone);
    box->SetBounds(0, 0, 200, 100);
    auto* far = new TProbe(form, "far", clRed);
    far->SetTabStop(false);  // not focused when the form shows
    far->SetParent(box);
    far->SetBounds(10, 250, 50, 50);
    form->Show();
    Pump();
    EXPECT_EQ(box->VertScrollBar()->Range(), 300);
    EXPECT_TRUE(box->VertScrollBar()->IsScrollBarVisible());
    SendMessage(box->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
    Pump();
    EXPECT_EQ(box->VertScrollBar()->Position(), 100);
    EXPECT_EQ(far->Top(), 150);
    RECT r;
    GetWindowRect(far->Handle(), &r);
    EXPECT_EQ(r.top, 100 + 150) << "the window moved with the content";
    // Focusing a control out of view scrolls it in.
    far->SetFocus();
    Pump();
    EXPECT_EQ(box->VertScrollBar()->Position(), 200);
    EXPECT_EQ(far->Top(), 50);
    // The wheel goes to the focused control, which passes it up to the box.
    InputMouseWheel(Top(), 50, 50, WHEEL_DELTA);
    Pump();
    EXPECT_EQ(box->VertScrollBar()->Position(), 200 - 3 * box->VertScrollBar()->Increment());
}

TEST_F(ControlsTest, ScreenCursorOverridesTheControlsCursor) {
    auto* backend = dynamic_cast<HeadlessBackend*>(&Backend());
    ASSERT_NE(backend, nullptr);
    auto* probe = new TProbe(form, "p", clRed);
    probe->SetParent(form);
    probe->SetBounds(0, 0, 50, 50);
    probe->SetCursor(crHandPoint);
    form->Show();
    Pump();
    InputMouseMove(Top(), 10, 10);
    Pump();
    EXPECT_EQ(backend->Window(Top()).cursor, IDC_HAND);
    Screen->SetCursor(crHourGlass);
    InputMouseMove(Top(), 11, 10);
    Pump();
    EXPECT_EQ(backend->Window(Top()).cursor, IDC_WAIT);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(backend->Window(Top()).cursor, IDC_HAND);
    InputMouseMove(Top(), 100, 100);
    Pump();
    EXPECT_EQ(backend->Window(Top()).cursor, IDC_ARROW);
}

// Random input, controls freed and messages posted to dead windows: nothing may crash the
// loop (the sanitizers watch), and the form keeps working afterwards.
TEST_F(ControlsTest, RandomInputAndFreedControlsNeverBreakTheLoop) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::vector<TControl*> controls;
        std::vector<HWND> dead;
        auto* panel = new TPanel(form);
        panel->SetParent(form);
        panel->SetBounds(0, 0, 200, 150);
        controls.push_back(panel);
        for (int i = 0; i < 12; ++i) {
            TWinControl* parent = i % 3 == 0 ? static_cast<TWinControl*>(form) : panel;
            TControl* c = i % 2 ? static_cast<TControl*>(new TProbe(form, "p" + std::to_string(i), clRed))
                                : static_cast<TControl*>(new TLabel(form));
            c->SetParent(parent);
            c->SetBounds((i * 37) % 250, (i * 23) % 170, 40, 30);
            c->OnClick = [](TObject*) {};
            controls.push_back(c);
        }
        form->Show();
        Pump();
        unsigned state = seed;
        auto next = [&](unsigned n) {
            state = state * 1103515245u + 12345u;
            return (state >> 8) % n;
        };
        for (int step = 0; step < 1500; ++step) {
            int x = int(next(340)) - 20, y = int(next(240)) - 20;
            switch (next(9)) {
                case 0: InputMouseMove(Top(), x, y); break;
                case 1: InputMouseButton(Top(), x, y, MouseButton(next(3)), next(2) == 0); break;
                case 2: InputMouseWheel(Top(), x, y, next(2) ? WHEEL_DELTA : -WHEEL_DELTA); break;
                case 3: InputKey(WORD(next(2) ? VK_TAB : 'A' + next(26)), next(2) == 0); break;
                case 4: InputChar('a' + next(26)); break;
                case 5: InputMouseLeave(Top()); break;
                case 6:
                    if (controls.size() > 1) {
                        // A control goes, with messages still queued for it.
                        std::size_t i = 1 + next(unsigned(controls.size() - 1));
                        if (auto* w = dynamic_cast<TWinControl*>(controls[i]); w && w->HandleAllocated()) {
                            PostMessage(w->WindowHandle(), WM_LBUTTONDOWN, 0, 0);
                            dead.push_back(w->WindowHandle());
                        }
                        delete controls[i];
                        controls.erase(controls.begin() + std::ptrdiff_t(i));
                    }
                    break;
                case 7:
                    if (!dead.empty()) PostMessage(dead[next(unsigned(dead.size()))], WM_USER + 7, 0, 0);
                    break;
                default: Pump(); break;
            }
        }
        InputMouseButton(Top(), 0, 0, MouseButton::Left, false);
        InputMouseButton(Top(), 0, 0, MouseButton::Right, false);
        InputMouseButton(Top(), 0, 0, MouseButton::Middle, false);
        Pump();
        for (TControl* c : controls) delete c;
        Pump();
        EXPECT_TRUE(boxes.empty()) << boxes.front();
        for (HWND h : dead) EXPECT_FALSE(IsWindow(h));
    }
    // Still alive: a new control answers a click.
    auto* probe = new TProbe(form, "last", clRed);
    probe->SetParent(form);
    probe->SetBounds(0, 0, 30, 30);
    int clicks = 0;
    probe->OnClick = [&](TObject*) { ++clicks; };
    Pump();
    Click(5, 5);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, HintShowsAfterThePauseAndGoesOnAClick) {
    TVirtualClock clock;
    TScopedClock scoped(clock);
    auto* probe = new TProbe(form, "p", clRed);
    probe->SetParent(form);
    probe->SetBounds(0, 0, 50, 50);
    probe->SetHint("Tip|A longer help text");
    probe->SetShowHint(true);
    auto* quiet = new TProbe(form, "q", clRed);
    quiet->SetParent(form);
    quiet->SetBounds(100, 0, 50, 50);
    quiet->SetHint("never shown");
    quiet->SetShowHint(true);
    // A control may rewrite or refuse its hint in CM_HINTSHOW.
    TWindowProc original = quiet->WindowProc;
    quiet->WindowProc = [&](TMessage& m) {
        if (m.Msg == CM_HINTSHOW) {
            m.Result = 1;
            return;
        }
        original(m);
    };
    form->Show();
    Pump();
    auto hintShown = [] {
        THintWindow* w = Application->HintWindow();
        return w && w->HandleAllocated() && IsWindowVisible(w->WindowHandle()) ? w->Caption() : std::string();
    };
    InputMouseMove(Top(), 10, 10);
    Pump();
    clock.Advance(400);
    Pump();
    EXPECT_EQ(hintShown(), "");
    clock.Advance(200);
    Pump();
    EXPECT_EQ(hintShown(), "Tip");
    Click(10, 10);
    EXPECT_EQ(hintShown(), "");
    InputMouseMove(Top(), 110, 10);
    Pump();
    clock.Advance(3000);
    Pump();
    EXPECT_EQ(hintShown(), "");
    quiet->WindowProc = original;
}

TEST_F(ControlsTest, CanvasOutsidePaintMeasuresAndDrawsOnTheWindow) {
    auto* probe = new TProbe(form, "p", clRed);
    probe->SetBounds(10, 10, 40, 40);
    EXPECT_GT(probe->Canvas()->TextWidth("Measure"), 0) << "a control without a window still measures";
    probe->SetParent(form);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetBounds(100, 10, 40, 40);
    form->Show();
    Pump();
    // Drawn at once, outside the paint cycle, clipped to the control.
    probe->Canvas()->Brush()->SetColor(clLime);
    probe->Canvas()->FillRect(TRect(0, 0, 100, 100));
    label->Canvas()->Brush()->SetColor(clBlue);
    label->Canvas()->FillRect(TRect(0, 0, 100, 100));
    Pump();
    HWND top = form->Handle();
    EXPECT_EQ(GetWindowSurfacePixel(top, 15, 15), RGB(0, 255, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 105, 15), RGB(0, 0, 255));
    EXPECT_EQ(GetWindowSurfacePixel(top, 60, 15), RGB(255, 255, 255)) << "nothing outside the control";
    EXPECT_EQ(GetWindowSurfacePixel(top, 145, 15), RGB(255, 255, 255)) << "nothing outside the label";
}

namespace {
class TNamedForm : public TForm {
public:
    explicit TNamedForm(TComponent* owner) : TForm(owner), label_("still whole") {
        OnDestroy = [this](TObject*) { Note("destroy " + label_); };
    }

private:
    std::string label_;
};
}  // namespace

TEST_F(ControlsTest, OnDestroyRunsWhileTheWholeFormStillExists) {
    auto* named = new TNamedForm(nullptr);
    named->AfterConstruction();
    named->Show();
    Pump();
    events.clear();
    named->Release();
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"destroy still whole"}));
}

TEST_F(ControlsTest, ImageBevelAndLabelPaintTheirContent) {
    auto* image = new TImage(form);
    image->SetParent(form);
    image->SetBounds(0, 0, 20, 20);
    image->SetStretch(true);
    TBitmap* bitmap = image->Picture()->Bitmap();
    bitmap->SetSize(2, 2);
    bitmap->Canvas()->Brush()->SetColor(clRed);
    bitmap->Canvas()->FillRect(TRect(0, 0, 2, 2));
    auto* bevel = new TBevel(form);
    bevel->SetParent(form);
    bevel->SetBounds(40, 0, 20, 20);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetLeft(80);
    label->SetCaption("Wide caption text");
    int wide = label->Width();
    label->SetCaption("W");
    form->Show();
    Pump();
    HWND top = form->Handle();
    EXPECT_EQ(GetWindowSurfacePixel(top, 15, 15), RGB(255, 0, 0)) << "the picture is stretched over the image";
    EXPECT_EQ(GetWindowSurfacePixel(top, 40, 0), ColorToRGB(clBtnShadow)) << "a lowered box: shadow top-left";
    EXPECT_EQ(GetWindowSurfacePixel(top, 59, 19), ColorToRGB(clBtnHighlight));
    EXPECT_GT(wide, label->Width()) << "an auto-sized label follows its caption";
    EXPECT_GT(label->Height(), 0);
}

TEST_F(ControlsTest, SizingBorderDragResizesTheFormAndItsAlignedChildren) {
    auto* client = new TPanel(form);
    client->SetParent(form);
    client->SetAlign(alClient);
    client->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        ReleaseCapture();
        SendMessage(form->Handle(), WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, 0);
    };
    form->Show();
    Pump();
    InputMouseButton(Top(), 290, 190, MouseButton::Left, true);
    InputMouseMove(Top(), 330, 250);
    InputMouseButton(Top(), 330, 250, MouseButton::Left, false);
    Pump();
    RECT r;
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(TRect(r), TRect(100, 100, 440, 360));
    EXPECT_EQ(client->BoundsRect(), TRect(0, 0, 340, 260));
}

TEST_F(ControlsTest, ScreenKnowsItsWorkAreaAndTheInstalledFonts) {
    EXPECT_EQ(Screen->Width(), 1024);
    EXPECT_EQ(Screen->WorkAreaRect(), TRect(0, 0, 1024, 768 - 40));
    const auto& fonts = Screen->Fonts();
    EXPECT_TRUE(std::is_sorted(fonts.begin(), fonts.end()));
    // The setup installs the DejaVu family.
    EXPECT_NE(std::find(fonts.begin(), fonts.end(), "DejaVu Sans"), fonts.end());
}

TEST_F(ControlsTest, RightButtonReleaseAsksForTheContextMenu) {
    auto* probe = new TProbe(form, "p", clRed);
    probe->SetParent(form);
    probe->SetBounds(10, 10, 50, 50);
    std::vector<std::string> seen;
    TWindowProc original = form->WindowProc;
    form->WindowProc = [&](TMessage& m) {
        // Not handled by the control, it reaches the parent with the control's handle.
        if (m.Msg == WM_CONTEXTMENU)
            seen.push_back(std::to_string(m.WParam == WPARAM(probe->Handle())) + " " + std::to_string(m.XPos()) + "," +
                           std::to_string(m.YPos()));
        original(m);
    };
    form->Show();
    Pump();
    InputMouseButton(Top(), 20, 30, MouseButton::Right, true);
    InputMouseButton(Top(), 20, 30, MouseButton::Right, false);
    Pump();
    EXPECT_EQ(seen, (std::vector<std::string>{"1 120,130"}));
    // From the keyboard: the menu key, at no particular point.
    ASSERT_TRUE(probe->Focused());
    Key(VK_APPS);
    EXPECT_EQ(seen.back(), "1 -1,-1");
    form->WindowProc = original;
}

TEST_F(ControlsTest, TheDefaultMessageBoxAnswersItsKeysAndButtons) {
    // Runs inside the box's modal loop: the user answers.
    std::vector<std::function<void(HWND)>> answers = {
        [](HWND box) {
            InputKey(VK_RETURN, true);
            InputKey(VK_RETURN, false);
            (void)box;
        },
        [](HWND box) {
            InputKey(VK_ESCAPE, true);
            InputKey(VK_ESCAPE, false);
            (void)box;
        },
        [](HWND) {
            // The second button of a yes/no box, clicked in its middle.
            HWND box = FindWindowA("TMessageForm", nullptr);
            auto* form = dynamic_cast<TForm*>(FindControl(box));
            ASSERT_NE(form, nullptr);
            std::vector<TRect> buttons;
            for (int i = 0; i < form->ComponentCount(); ++i)
                if (auto* button = dynamic_cast<TPanel*>(form->Components(i))) buttons.push_back(button->BoundsRect());
            ASSERT_EQ(buttons.size(), 2u);
            std::sort(buttons.begin(), buttons.end(), [](const TRect& a, const TRect& b) { return a.left < b.left; });
            RECT window;
            GetWindowRect(box, &window);
            TPoint origin = form->ClientOrigin();
            int x = (buttons[1].left + buttons[1].right) / 2 + origin.x - window.left;
            int y = (buttons[1].top + buttons[1].bottom) / 2 + origin.y - window.top;
            InputMouseMove(box, x, y);
            InputMouseButton(box, x, y, MouseButton::Left, true);
            InputMouseButton(box, x, y, MouseButton::Left, false);
        },
    };
    std::size_t next = 0;
    HWND driver = AllocateHWnd([&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_USER) answers[next++](GetActiveWindow());
        return 0;
    });
    struct Case {
        UINT flags;
        int expected;
    } cases[] = {{MB_OK, IDOK}, {MB_YESNO, IDNO}, {MB_YESNO, IDNO}};
    for (const Case& c : cases) {
        PostMessage(driver, WM_USER, 0, 0);
        EXPECT_EQ(ShowMessageForm("Question?", "Title", c.flags), c.expected) << next;
    }
    DeallocateHWnd(driver);
}

TEST_F(ControlsTest, PaintToDrawsAControlWithItsChildrenIntoAnyDC) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(30, 30, 80, 60);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clYellow);
    auto* probe = new TProbe(form, "p", clBlue);
    probe->SetParent(panel);
    probe->SetBounds(10, 20, 20, 20);
    form->Show();
    Pump();
    TBitmap target(120, 100);
    target.Canvas()->Brush()->SetColor(clBlack);
    target.Canvas()->FillRect(TRect(0, 0, 120, 100));
    panel->PaintTo(target.Canvas()->Handle(), 5, 7);
    auto pixel = [&](int x, int y) { return ColorToRGB(target.Canvas()->Pixels(x, y)); };
    EXPECT_EQ(pixel(6, 8), RGB(255, 255, 0)) << "the panel at the offset";
    EXPECT_EQ(pixel(5 + 15, 7 + 25), RGB(0, 0, 255)) << "its child painted in its place";
    EXPECT_EQ(pixel(4, 8), RGB(0, 0, 0)) << "nothing outside the control";
    EXPECT_EQ(pixel(5 + 85, 8), RGB(0, 0, 0));
}

TEST_F(ControlsTest, AFormTooLargeToShowRaisesAndKeepsItsSize) {
    form->Show();
    Pump();
    EXPECT_THROW(form->SetBounds(0, 0, 300000, 300000), EOutOfResources);
    EXPECT_EQ(form->Width(), 300);
    EXPECT_EQ(form->Height(), 200);
}

TEST_F(ControlsTest, MadeCursorsFillScreenSlotsAndAreShownOverTheirControls) {
    // Bad pictures make no cursor.
    auto picture = [](int w, int h, int hx, int hy, std::size_t pixels) {
        TCursorImage image;
        image.Width = w;
        image.Height = h;
        image.HotX = hx;
        image.HotY = hy;
        image.Pixels.assign(pixels, 0xFF000000);
        return image;
    };
    struct Case {
        TCursorImage image;
        bool made;
    };
    const Case cases[] = {{picture(16, 16, 8, 8, 256), true},  {picture(0, 16, 0, 0, 0), false},
                          {picture(16, 16, 8, 8, 255), false}, {picture(16, 16, 16, 8, 256), false},
                          {picture(16, 16, -1, 0, 256), false}, {picture(300, 2, 0, 0, 600), false}};
    for (const Case& c : cases) {
        HCURSOR cursor = CreateCursorFromImage(c.image);
        EXPECT_EQ(cursor != nullptr, c.made) << c.image.Width << "x" << c.image.Height;
        if (cursor) {
            EXPECT_TRUE(DestroyCursor(cursor));
        }
    }
    HCURSOR made = CreateCursorFromImage(picture(32, 32, 3, 4, 1024));
    ASSERT_GE(CursorId(made), FirstCustomCursorId);
    ASSERT_NE(CustomCursorImage(made), nullptr);
    EXPECT_EQ(CustomCursorImage(made)->HotY, 4);
    EXPECT_EQ(CustomCursorImage(LoadCursorA(nullptr, IDC_ARROW)), nullptr);

    // A slot holds it; a control naming the slot shows it, the display records it.
    constexpr TCursor slot = 40;
    EXPECT_EQ(Screen->Cursors(slot), LoadCursorA(nullptr, IDC_ARROW)) << "an empty slot is the arrow";
    Screen->SetCursors(slot, made);
    auto* probe = new TProbe(form, "probe", clRed);
    probe->SetParent(form);
    probe->SetBounds(0, 0, 100, 100);
    probe->SetCursor(slot);
    form->Show();
    Pump();
    auto& display = static_cast<HeadlessBackend&>(Backend());
    InputMouseMove(Top(), 50, 50);
    Pump();
    EXPECT_EQ(display.Window(Top()).cursor, CursorId(made));
    InputMouseMove(Top(), 200, 150);
    Pump();
    EXPECT_NE(display.Window(Top()).cursor, CursorId(made));
    // Freeing tells the display; the handle is dead afterwards.
    Screen->SetCursors(slot, nullptr);
    EXPECT_TRUE(DestroyCursor(made));
    EXPECT_EQ(CustomCursorImage(made), nullptr);
    EXPECT_FALSE(DestroyCursor(made));
    ASSERT_FALSE(display.DestroyedCursors().empty());
    EXPECT_EQ(display.DestroyedCursors().back(), CursorId(made));
}
