// The skinned form frame and title bar on the headless backend: the frame arithmetic, the
// hook chain, the title-bar layout per style read back from the window's pixels, injected
// clicks, drags and double clicks, maximising, the system menu from Alt+Space, the region
// builders, and bad sizes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../platform/windows/windows_test_support.h"
#include "platform/backends/headless.h"
#include "platform/controls/forms.h"
#include "platform/controls/menus.h"
#include "platform/core/exceptions.h"
#include "platform/core/sysutils.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/core/clock.h"
#include "platform/windows/animation.h"
#include "skinctrl/dvxform.h"
#include "skinctrl/dvxpopupform.h"
#include "skinctrl/dvxpublic.h"
#include "skinctrl/dvxtitlebar.h"
#include "skinctrl/dvxtoolbar.h"

using namespace platform;
using namespace skinctrl;

namespace {

void Pump() { Application->ProcessMessages(); }

COLORREF Pixel(HWND h, int x, int y) { return GetWindowSurfacePixel(h, x, y); }

COLORREF BitmapPixel(TBitmap* b, int x, int y) { return ColorToRGB(b->Canvas()->Pixels(x, y)); }

// A control-box menu that only counts how often it would show.
struct SilentMenu : TPopupMenu {
    explicit SilentMenu(TComponent* owner) : TPopupMenu(owner) {}
    void Popup(int, int) override { ++shown; }
    int shown = 0;
};

// Every window procedure call that reaches it, chained to the form's own.
struct Recording {
    static std::vector<UINT>& Seen() {
        static std::vector<UINT> seen;
        return seen;
    }
    static WNDPROC& Next() {
        static WNDPROC next = nullptr;
        return next;
    }
    static LRESULT Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
        Seen().push_back(msg);
        return CallWindowProcA(Next(), h, msg, w, l);
    }
    static bool Saw(UINT msg) {
        for (UINT m : Seen())
            if (m == msg) return true;
        return false;
    }
};

class FormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT) {
            messages.push_back(text);
            return IDOK;
        };
    }
    void TearDown() override {
        for (TForm* f : forms_) delete f;
        Pump();
        Application->MessageBoxHandler = nullptr;
    }
    // A shown form with a frame in the style, at (100, 100) sized 400 x 300.
    TdvxForm* Framed(TdvxUIStyle style, TFormBorderStyle border = bsSizeable, TForm** formOut = nullptr) {
        auto* form = new TForm(nullptr);
        forms_.push_back(form);
        form->SetBorderStyle(border);
        form->SetBounds(100, 100, 400, 300);
        form->SetCaption("Frame");
        form->AfterConstruction();
        auto* frame = new TdvxForm(form);
        frame->SetUIStyle(style);
        form->Show();
        Pump();
        if (formOut) *formOut = form;
        return frame;
    }
    // Screen point of a point in the title bar.
    static TPoint BarPoint(TdvxForm* frame, int x, int y) { return frame->TitleBar()->ClientToScreen(TPoint(x, y)); }
    static TPoint InTop(TdvxForm* frame, TPoint screen) {
        RECT r;
        GetWindowRect(frame->Form()->Handle(), &r);
        return TPoint(screen.x - r.left, screen.y - r.top);
    }
    void Move(TdvxForm* frame, TPoint screen) {
        TPoint p = InTop(frame, screen);
        InputMouseMove(frame->Form()->Handle(), p.x, p.y);
        Pump();
    }
    void Button(TdvxForm* frame, TPoint screen, bool down) {
        TPoint p = InTop(frame, screen);
        InputMouseButton(frame->Form()->Handle(), p.x, p.y, MouseButton::Left, down);
        Pump();
    }
    void Click(TdvxForm* frame, TPoint screen) {
        Move(frame, screen);
        Button(frame, screen, true);
        Button(frame, screen, false);
    }

    std::vector<std::string> messages;

private:
    std::vector<TForm*> forms_;
};

TEST(FrameArithmetic, ProposedClientAndTitleInset) {
    struct Case {
        int L, R, B, sysL, sysB, bw;
        RECT want;  // for a window at (10, 20) sized 200 x 100
    } cases[] = {
        {0, 0, 0, 4, 4, 1, {10, 20, 210, 121}},  // a built-in style with a 1-pixel border
        {0, 0, 0, 4, 4, 3, {10, 20, 210, 120}},  // and with a 3-pixel one
        {0, 0, 0, 6, 6, 1, {8, 18, 212, 123}},  // a wider measured frame
        {2, 2, 2, 4, 4, 1, {11, 20, 209, 119}},  // thin skin borders count as 4
        {6, 8, 9, 4, 4, 1, {13, 20, 205, 114}},  // skin borders
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.L << " " << c.R << " " << c.B << " " << c.sysL << " " << c.bw);
        RECT r = ProposeFrameClient(RECT{10, 20, 210, 120}, c.L, c.R, c.B, c.sysL, c.sysB, c.bw);
        EXPECT_EQ(r.left, c.want.left);
        EXPECT_EQ(r.top, c.want.top);
        EXPECT_EQ(r.right, c.want.right);
        EXPECT_EQ(r.bottom, c.want.bottom);
    }
    EXPECT_EQ(FrameTitleInset(0, 4), 3);
    EXPECT_EQ(FrameTitleInset(2, 4), 4);  // a 2-pixel skin border
    EXPECT_EQ(FrameTitleInset(6, 4), 6);
}

TEST(FrameRegions, BitmapRegionFromMergedRuns) {
    // 8 x 3 title picture, key = magenta: row 0 transparent but for its last pixel, row 1
    // two runs, row 2 opaque.
    const TColor key = 0xFF00FF;
    TBitmap top;
    top.SetPixelFormat(pf24bit);
    top.SetSize(8, 3);
    const char* rows[] = {".......#", "##..###.", "########"};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x) {
            top.Canvas()->Brush()->SetColor(rows[y][x] == '#' ? clNavy : key);
            top.Canvas()->FillRect(TRect(x, y, x + 1, y + 1));
        }
    TdvxRegionSource source;
    source.top = &top;
    source.topWanted = true;
    source.topMin = -1;  // counts as 0
    source.topMax = -1;  // not above the min: scan to the last row
    HRGN r = FrameRegionFromBitmaps(source, 8, 10);
    std::vector<RECT> got = GetRegionRects(r);
    DeleteObject(r);
    std::vector<RECT> want = {{7, 0, 8, 1}, {0, 1, 2, 2}, {4, 1, 7, 2}, {0, 2, 8, 10}};
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].left, want[i].left);
        EXPECT_EQ(got[i].top, want[i].top);
        EXPECT_EQ(got[i].right, want[i].right);
        EXPECT_EQ(got[i].bottom, want[i].bottom);
    }
    // Rows beyond the picture are clamped to it; a min row of 1 keeps row 0 whole; the
    // bottom picture sits at the window's bottom.
    source.topMin = 1;
    source.topMax = 50;
    source.bottom = &top;
    source.bottomWanted = true;
    source.bottomMin = 2;
    source.bottomMax = 99;
    r = FrameRegionFromBitmaps(source, 8, 10);
    EXPECT_TRUE(PtInRegion(r, 0, 0));           // row 0 whole
    EXPECT_FALSE(PtInRegion(r, 2, 1));          // row 1 scanned
    EXPECT_TRUE(PtInRegion(r, 3, 7));           // bottom picture row 0 whole (above its min)
    EXPECT_TRUE(PtInRegion(r, 2, 8));           // row 1 whole too
    EXPECT_TRUE(PtInRegion(r, 7, 9));           // row 2 scanned, opaque
    EXPECT_FALSE(PtInRegion(r, 0, 10));         // nothing outside the window
    DeleteObject(r);
    // Empty pictures add no rows; a 0 x 0 window gives an empty region.
    TBitmap empty;
    source.top = &empty;
    source.bottom = &empty;
    r = FrameRegionFromBitmaps(source, 8, 10);
    RECT box;
    GetRgnBox(r, &box);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.bottom, 10);
    DeleteObject(r);
    r = FrameRegionFromBitmaps(source, 0, 0);
    EXPECT_EQ(GetRegionRects(r).size(), 0u);
    DeleteObject(r);
    for (int i = 0; i < 300; ++i) {
        source.top = &top;
        HRGN again = FrameRegionFromBitmaps(source, 8, 10);
        ASSERT_TRUE(DeleteObject(again)) << i;
    }
}

TEST(FrameRegions, RoundCornersTopAndBottom) {
    struct Case {
        int rc, rcb;
        bool topCorner, bottomCorner;
    } cases[] = {{11, 0, false, true}, {11, -1, false, true}, {0, 0, true, true}, {11, 11, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rc << " " << c.rcb);
        HRGN r = FrameRoundRegion(200, 100, c.rc, c.rcb);
        EXPECT_EQ(bool(PtInRegion(r, 0, 0)), c.topCorner);
        EXPECT_EQ(bool(PtInRegion(r, 199, 0)), c.topCorner);
        EXPECT_EQ(bool(PtInRegion(r, 0, 99)), c.bottomCorner);
        EXPECT_TRUE(PtInRegion(r, 100, 50));
        EXPECT_FALSE(PtInRegion(r, 200, 50));
        DeleteObject(r);
    }
    // Sizes that leave nothing to round.
    for (int w : {0, 1, 30000}) {
        HRGN r = FrameRoundRegion(w, w == 30000 ? 10 : w, 13, 13);
        DeleteObject(r);
    }
}

TEST_F(FormsTest, BorderStylesAndTheCaptionBits) {
    struct Case {
        TFormBorderStyle before, after;
    } cases[] = {{bsNone, bsDialog},          {bsSingle, bsDialog},   {bsToolWindow, bsDialog},
                 {bsSizeable, bsSizeable},    {bsDialog, bsDialog},   {bsSizeToolWin, bsSizeToolWin}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.before));
        TForm* form = nullptr;
        TdvxForm* frame = Framed(DeepBlue, c.before, &form);
        EXPECT_EQ(form->BorderStyle(), c.after);
        EXPECT_EQ(GetWindowLongA(form->Handle(), GWL_STYLE) & LONG(WS_CAPTION), 0);
        EXPECT_FALSE(static_cast<HeadlessBackend&>(Backend()).Window(form->Handle()).framed);
        EXPECT_TRUE(frame->IsFormFrame());
        EXPECT_EQ(GetDVXFormStyle(form), DeepBlue);
    }
}

TEST_F(FormsTest, HookChainAndClientArea) {
    auto* form = new TForm(nullptr);
    form->SetBounds(100, 100, 400, 300);
    form->AfterConstruction();
    HWND h = form->Handle();
    Recording::Next() = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recording::Proc)));
    auto* frame = new TdvxForm(form);
    frame->SetUIStyle(BlueGlass);  // border width 1
    form->Show();
    Pump();
    // The frame's strips: 3 pixels left, right and top, 2 at the bottom for a 1-pixel border.
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, 400 - 6);
    EXPECT_EQ(client.bottom, 300 - 3 - 2);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    EXPECT_EQ(origin.x, 103);
    EXPECT_EQ(origin.y, 103);

    Recording::Seen().clear();
    EXPECT_EQ(SendMessage(h, WM_NCACTIVATE, TRUE, 0), 1);
    EXPECT_EQ(SendMessage(h, DVXM_TITLEINSET, 0, 0), 3);
    SendMessage(h, WM_NCPAINT, 1, 0);
    EXPECT_FALSE(Recording::Saw(WM_NCACTIVATE));
    EXPECT_FALSE(Recording::Saw(DVXM_TITLEINSET));
    EXPECT_FALSE(Recording::Saw(WM_NCPAINT));
    SendMessage(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x"));
    EXPECT_TRUE(Recording::Saw(WM_SETTEXT));  // everything else goes on
    ShowWindow(h, SW_MINIMIZE);
    Recording::Seen().clear();
    SendMessage(h, WM_NCACTIVATE, TRUE, 0);
    EXPECT_TRUE(Recording::Saw(WM_NCACTIVATE));  // a minimised form's goes on
    ShowWindow(h, SW_RESTORE);

    // A second frame on the form is refused; freeing the frame gives the procedure back.
    EXPECT_THROW(new TdvxForm(form), EInvalidOperation);
    delete frame;
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC)), &Recording::Proc);
    EXPECT_NE(GetWindowLongA(h, GWL_STYLE) & LONG(WS_CAPTION), 0);
    EXPECT_EQ(SendMessage(h, DVXM_TITLEINSET, 0, 0), 0);  // messages after the frame: no frame answers
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Recording::Next()));
    delete form;
    Pump();
}

TEST_F(FormsTest, TitleBarLayoutPerStyle) {
    struct Case {
        TdvxUIStyle style;
        int barHeight, buttonSize, buttonTop, close, max, min, captionY;
    } cases[] = {
        {MacOS, 20, 17, 1, 18, 36, 54, 1},     {WinXP, 26, 21, 2, 22, 44, 66, 2},
        {DeepBlue, 29, 19, -1, 20, 40, 60, -1}, {Protein, 20, 19, -1, 20, 40, 60, 2},
        {BlueGlass, 30, 19, 3, 20, 40, 60, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(UIStyleName(c.style));
        TdvxForm* frame = Framed(c.style);
        TdvxTitleBar* bar = frame->TitleBar();
        bar->Repaint();
        const int W = bar->Width();
        EXPECT_EQ(W, 400 - 6);
        EXPECT_EQ(bar->Height(), c.barHeight);
        // Buttons in collection order: control box, close, maximise, minimise.
        TRect close = bar->ButtonRect(1), max = bar->ButtonRect(2), min = bar->ButtonRect(3);
        EXPECT_EQ(close.left, W - c.close);
        EXPECT_EQ(max.left, W - c.max);
        EXPECT_EQ(min.left, W - c.min);
        EXPECT_EQ(close.Width(), c.buttonSize);
        EXPECT_EQ(close.top, c.buttonTop);
        EXPECT_EQ(bar->CaptionPos().x, 21);
        EXPECT_EQ(bar->CaptionPos().y, c.captionY);
        EXPECT_EQ(bar->DrawnCaption(), "Frame");
        // The close glyph is what the bar shows there (its normal frame, 16 of 18).
        TBitmap glyph;
        GetInsideThemeBitmap(c.style, DVX_THEME_TITLEBUTTON_IMAGE, &glyph, 18, 16);
        int gx = c.buttonSize / 2, gy = std::max(0, -c.buttonTop) + c.buttonSize / 2;
        EXPECT_EQ(Pixel(bar->Handle(), close.left + gx, close.top + gy), BitmapPixel(&glyph, gx, gy));
        // The program icon at (3, icon top), made once.
        TBitmap* icon = bar->AppIcon();
        bar->Repaint();
        EXPECT_EQ(bar->AppIcon(), icon);
        EXPECT_EQ(Pixel(bar->Handle(), 3 + 8, bar->IconTop() + 8), BitmapPixel(icon, 8, 8));
    }
}

TEST_F(FormsTest, ClampedButtonsAndCaptionEllipsis) {
    TdvxForm* frame = Framed(DeepBlue);
    TdvxTitleBar* bar = frame->TitleBar();
    // Offsets pushing the row past the right edge: every button still ends inside it.
    bar->SetRightBtnXOffset(-200);
    bar->Repaint();
    EXPECT_EQ(bar->ButtonRect(1).right, bar->Width() - 1);
    bar->SetRightBtnXOffset(0);
    std::string longCaption(200, 'W');
    frame->SetCaption(longCaption);
    bar->Repaint();
    const std::string& drawn = bar->DrawnCaption();
    ASSERT_GE(drawn.size(), 4u);
    EXPECT_EQ(drawn.substr(drawn.size() - 3), "...");
    EXPECT_LT(drawn.size(), longCaption.size());
    EXPECT_EQ(frame->Form()->Caption(), longCaption);
    frame->SetCaption("");
    bar->Repaint();
    EXPECT_EQ(bar->DrawnCaption(), "");
}

TEST_F(FormsTest, CaptionButtonStatesAndInactiveColour) {
    TdvxForm* frame = Framed(WinXP);
    TdvxTitleBar* bar = frame->TitleBar();
    TRect close = bar->ButtonRect(1);
    TPoint at = BarPoint(frame, close.left + close.Width() / 2, close.top + close.Height() / 2);
    auto shown = [&] { return Pixel(bar->Handle(), close.left + 4, close.top + close.Height() / 2); };
    auto frameAt = [&](int index) {
        TBitmap b;
        GetInsideThemeBitmap(WinXP, DVX_THEME_TITLEBUTTON_IMAGE, &b, 18, index);
        return BitmapPixel(&b, 4, close.Height() / 2);
    };
    ASSERT_NE(frameAt(16), frameAt(17));
    ASSERT_NE(frameAt(17), frameAt(18));
    EXPECT_EQ(shown(), frameAt(16));
    Move(frame, at);
    EXPECT_EQ(bar->HotIndex(), 1);
    EXPECT_EQ(shown(), frameAt(17));
    Button(frame, at, true);
    EXPECT_EQ(shown(), frameAt(18));
    // Away without releasing: the pressed look goes with the pointer.
    Move(frame, BarPoint(frame, 100, 5));
    EXPECT_EQ(shown(), frameAt(16));
    Button(frame, BarPoint(frame, 100, 5), false);
    // The inactive caption colour.
    bar->SetInactiveCaptionColor(clRed);
    bar->SetActive(false);
    bar->Repaint();
    EXPECT_FALSE(bar->FormActive());
    bool red = false;
    TPoint c = bar->CaptionPos();
    for (int y = std::max(0, c.y); y < c.y + 14 && !red; ++y)
        for (int x = c.x; x < c.x + 40 && !red; ++x) red = Pixel(bar->Handle(), x, y) == RGB(255, 0, 0);
    EXPECT_TRUE(red);
}

TEST_F(FormsTest, ClicksDragsAndDoubleClicks) {
    TForm* form = nullptr;
    TdvxForm* frame = Framed(DeepBlue, bsSizeable, &form);
    TdvxTitleBar* bar = frame->TitleBar();
    bar->Repaint();
    TRect max = bar->ButtonRect(2);
    TPoint onMax = BarPoint(frame, max.left + 5, std::max(0, max.top) + 5);
    // Press and release on the maximise button: it maximises onto the work area, widened.
    Click(frame, onMax);
    EXPECT_EQ(form->WindowState(), wsMaximized);
    TRect area = GetWorkAreaRect();
    EXPECT_EQ(form->BoundsRect(), TRect(area.left - 2, area.top - 2, area.right + 2, area.bottom - 1));
    bar->Repaint();
    max = bar->ButtonRect(2);
    Click(frame, BarPoint(frame, max.left + 5, std::max(0, max.top) + 5));
    EXPECT_EQ(form->WindowState(), wsNormal);
    EXPECT_EQ(form->BoundsRect(), TRect(100, 100, 500, 400));  // back where it was
    // A press on the button and a release away from it: nothing.
    bar->Repaint();
    max = bar->ButtonRect(2);
    onMax = BarPoint(frame, max.left + 5, std::max(0, max.top) + 5);
    Move(frame, onMax);
    Button(frame, onMax, true);
    Move(frame, BarPoint(frame, 150, 5));
    Button(frame, BarPoint(frame, 150, 5), false);
    EXPECT_EQ(form->WindowState(), wsNormal);
    // A press on the bar away from the buttons drags the window.
    TPoint grab = BarPoint(frame, 150, 10);
    Move(frame, grab);
    Button(frame, grab, true);
    InputMouseMove(form->Handle(), grab.x - 100 + 30, grab.y - 100 + 20);
    Pump();
    InputMouseButton(form->Handle(), grab.x - 130 + 30, grab.y - 120 + 20, MouseButton::Left, false);
    Pump();
    EXPECT_EQ(form->Left(), 130);
    EXPECT_EQ(form->Top(), 120);
    // A click on the control box shows its menu; a double click closes the form.
    auto* boxMenu = new SilentMenu(form);
    bar->Buttons()->Items(0)->SetControlBoxMenu(boxMenu);
    bool closed = false;
    form->OnClose = [&](TObject*, TCloseAction& action) {
        closed = true;
        action = caHide;
    };
    TRect box = bar->ButtonRect(0);
    TPoint onBox = BarPoint(frame, box.left + 5, std::max(0, box.top) + 5);
    Move(frame, onBox);
    for (int i = 0; i < 2; ++i) {
        Button(frame, onBox, true);
        Button(frame, onBox, false);
    }
    EXPECT_TRUE(closed);
    EXPECT_GE(boxMenu->shown, 1);
}

TEST_F(FormsTest, FrameColoursAndRegion) {
    TForm* form = nullptr;
    TdvxForm* frame = Framed(BlueGlass, bsSizeable, &form);
    HWND h = form->Handle();
    COLORREF border = ColorToRGB(GetInsideThemeColor(BlueGlass, DVX_THEME_FORM_BORDER_COLOR));
    COLORREF face = ColorToRGB(GetInsideThemeColor(BlueGlass, DVX_THEME_FORM_COLOR));
    int y = 200;
    EXPECT_EQ(Pixel(h, 0, y), border);
    EXPECT_EQ(Pixel(h, 1, y), face);
    EXPECT_EQ(Pixel(h, 2, y), face);
    EXPECT_EQ(Pixel(h, 399, y), border);
    EXPECT_EQ(Pixel(h, 200, 299), border);
    EXPECT_EQ(Pixel(h, 200, 298), face);
    // Round upper corners (11), square lower ones.
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(h, r), ERROR);
    EXPECT_FALSE(PtInRegion(r, 0, 0));
    EXPECT_TRUE(PtInRegion(r, 0, 299));
    DeleteObject(r);
    EXPECT_TRUE(static_cast<HeadlessBackend&>(Backend()).Window(h).shaped);
    // Any border width or corner, any size: no crash, and the frame still answers.
    for (int bw : {0, 3, 7, -2}) frame->SetBorderWidth(bw);
    for (int rc : {-5, 0, 1000}) frame->SetRoundCorner(rc);
    form->SetBounds(0, 0, 0, 0);
    Pump();
    form->SetBounds(0, 0, 30000, 50);
    Pump();
    EXPECT_EQ(SendMessage(h, DVXM_TITLEINSET, 0, 0), 3);
}

TEST_F(FormsTest, MaximisedAtCreationRestoresToItsBounds) {
    auto* form = new TForm(nullptr);
    form->SetBounds(50, 60, 300, 200);
    form->SetWindowState(wsMaximized);
    form->AfterConstruction();
    auto* frame = new TdvxForm(form);
    (void)frame;
    form->Show();
    Pump();
    TRect area = GetWorkAreaRect();
    EXPECT_EQ(form->BoundsRect(), TRect(area.left - 2, area.top - 2, area.right + 2, area.bottom - 1));
    form->SetWindowState(wsNormal);
    Pump();
    EXPECT_EQ(form->BoundsRect(), TRect(50, 60, 350, 260));
    delete form;
    Pump();
}

// Size constraints hold for every change of bounds, for a user's resize through the
// window layer, and the frame sets the smallest height its title bar needs.
TEST_F(FormsTest, ConstraintsHoldOnSetBoundsAndUserResizes) {
    struct Case {
        int minW, minH, maxW, maxH, setW, setH, wantW, wantH;
    } cases[] = {
        {0, 0, 0, 0, 50, 40, 50, 40},              // no limits
        {200, 150, 0, 0, 50, 40, 200, 150},        // raised to the minimum
        {0, 0, 300, 250, 900, 800, 300, 250},      // lowered to the maximum
        {200, 150, 300, 250, 250, 200, 250, 200},  // inside: as asked
        {400, 0, 300, 0, 100, 100, 400, 100},      // a minimum above the maximum wins
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minW << "," << c.minH << "," << c.maxW << "," << c.maxH);
        TForm form(nullptr);
        form.SetBounds(10, 10, 260, 210);
        form.AfterConstruction();
        form.HandleNeeded();
        TSizeConstraints* k = form.Constraints();
        k->SetMinWidth(c.minW);
        k->SetMinHeight(c.minH);
        k->SetMaxWidth(c.maxW);
        k->SetMaxHeight(c.maxH);
        form.SetBounds(10, 10, c.setW, c.setH);
        EXPECT_EQ(form.Width(), c.wantW);
        EXPECT_EQ(form.Height(), c.wantH);
        RECT r;
        GetWindowRect(form.Handle(), &r);
        EXPECT_EQ(r.right - r.left, c.wantW);
        EXPECT_EQ(r.bottom - r.top, c.wantH);
        // The window layer is told the same limits.
        MINMAXINFO info;
        info.ptMinTrackSize = POINT{8, 8};
        info.ptMaxTrackSize = POINT{5000, 5000};
        SendMessage(form.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.ptMinTrackSize.x, std::max(8, c.minW));
        EXPECT_EQ(info.ptMaxTrackSize.y, c.maxH > 0 ? c.maxH : 5000);
    }
    // A new limit applies at once.
    TForm* form = nullptr;
    TdvxForm* frame = Framed(DeepBlue, bsSizeable, &form);
    form->Constraints()->SetMaxWidth(380);
    EXPECT_EQ(form->Width(), 380);
    // A drag of the right edge stops at the limits.
    form->Constraints()->SetMinWidth(300);
    form->Constraints()->SetMaxWidth(450);
    TPoint edge(form->Left() + form->Width() - 2, form->Top() + 150);
    Move(frame, edge);
    Button(frame, edge, true);
    for (auto [dx, want] : {std::pair{-200, 300}, std::pair{+200, 450}, std::pair{-30, 350}}) {
        InputMouseMove(form->Handle(), edge.x - form->Left() + dx, edge.y - form->Top());
        Pump();
        EXPECT_EQ(form->Width(), want) << dx;
    }
    Button(frame, TPoint(edge.x - 30, edge.y), false);
    // The frame keeps room for its title bar.
    EXPECT_EQ(form->Constraints()->MinHeight(), frame->TitleBar()->Height() + 3);
    form->SetBounds(form->Left(), form->Top(), 320, 5);
    EXPECT_EQ(form->Height(), frame->TitleBar()->Height() + 3);
}

TEST_F(FormsTest, AltSpaceOpensTheFocusedFormsMenuAtThatForm) {
    TForm* first = nullptr;
    TForm* second = nullptr;
    Framed(DeepBlue, bsSizeable, &first);
    TdvxForm* frame2 = Framed(DeepBlue, bsSizeable, &second);
    second->SetBounds(500, 400, 300, 200);
    SetActiveWindow(second->Handle());
    SetFocus(second->Handle());
    Pump();
    // The menu is read and closed from a timer that runs inside its loop.
    RECT menuAt{};
    int popups = 0;
    HWND driver = AllocateHWnd([&](HWND d, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_TIMER && ActiveMenuWindow()) {
            GetWindowRect(ActiveMenuWindow(), &menuAt);
            ++popups;
            KillTimer(d, 1);
            EndMenu();
        }
        return 0;
    });
    SetTimer(driver, 1, 20);
    InputKey(VK_MENU, true);
    InputChar(' ');
    InputKey(VK_MENU, false);
    for (int i = 0; i < 200 && popups == 0; ++i) Application->HandleMessage();
    KillTimer(driver, 1);
    DeallocateHWnd(driver);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(menuAt.left, 500);
    EXPECT_EQ(menuAt.top, 400 + frame2->TitleBar()->Height());
    // The menu's items follow the buttons the bar shows.
    TdvxTitleBarPopupMenu* menu = frame2->TitleBar()->SystemMenu();
    EXPECT_TRUE(menu->MinimizeItem()->Enabled());
    EXPECT_TRUE(menu->CloseItem()->Enabled());
    // "&Close" closes that form.
    menu->CloseItem()->Click();
    Pump();
    EXPECT_FALSE(second->Visible());
    EXPECT_TRUE(first->Visible());
}


// ---------------------------------------------------------------- the pop-up

class PopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        use = std::make_unique<TScopedClock>(clock);
        pop = new TdvxMSNPopForm(nullptr);
        pop->OnClose = [this](TObject*) { ++closes; };
        pop->OnClick = [this](TObject*) { ++clicks; };
        pop->SetTitle("Title");
        pop->SetMessageText("A message");
    }
    void TearDown() override {
        delete pop;
        Pump();
        use.reset();
    }
    HWND Window() { return pop->Window()->Handle(); }
    bool Up() { return IsWindowVisible(Window()) != FALSE; }
    void Advance(int ms) {
        // In timer steps, as the display would see the time pass.
        for (int done = 0; done < ms; done += 10) {
            clock.Advance(std::uint64_t(std::min(10, ms - done)));
            Pump();
        }
    }
    void Press(int x, int y) {
        InputMouseButton(Window(), x, y, MouseButton::Left, true);
        InputMouseButton(Window(), x, y, MouseButton::Left, false);
        Pump();
    }
    TVirtualClock clock;
    std::unique_ptr<TScopedClock> use;
    TdvxMSNPopForm* pop = nullptr;
    int closes = 0, clicks = 0;
};

TEST_F(PopupTest, SlidesInStaysAndSlidesOutOnTheClock) {
    pop->SetAnimateTime(400);
    pop->SetStayTime(1000);
    pop->Popup();
    TRect area = GetWorkAreaRect();
    RECT r;
    GetWindowRect(Window(), &r);
    EXPECT_EQ(r.right, area.right - 18);
    EXPECT_EQ(r.bottom, area.bottom);
    EXPECT_EQ(r.right - r.left, 181);
    EXPECT_EQ(r.bottom - r.top, 116);
    EXPECT_TRUE(Up());
    EXPECT_TRUE(IsWindowAnimating(Window()));
    Advance(400);
    EXPECT_FALSE(IsWindowAnimating(Window()));
    EXPECT_TRUE(pop->Window()->Staying());
    // The stay time counts from the end of the slide.
    Advance(900);
    EXPECT_TRUE(Up());
    EXPECT_FALSE(IsWindowAnimating(Window()));
    Advance(200);
    EXPECT_TRUE(IsWindowAnimating(Window()));  // sliding out
    EXPECT_EQ(closes, 0);
    Advance(400);
    EXPECT_FALSE(Up());
    EXPECT_EQ(closes, 1);
    Advance(1000);
    EXPECT_EQ(closes, 1);  // one OnClose per hide
}

TEST_F(PopupTest, StayTimeZeroAndATickWrap) {
    pop->SetAnimateTime(0);
    pop->SetStayTime(0);
    pop->Popup();
    EXPECT_TRUE(Up());
    Advance(100);  // the first tick hides it
    EXPECT_FALSE(Up());
    EXPECT_EQ(closes, 1);
    // Shown just before the 32-bit tick wraps: the next tick sees a negative time and hides.
    clock.Advance(0x100000000ull - (clock.TickMs() & 0xFFFFFFFFull) - 50);
    pop->SetStayTime(60000);
    pop->Popup();
    EXPECT_TRUE(Up());
    Advance(100);
    EXPECT_FALSE(Up());
    EXPECT_EQ(closes, 2);
}

TEST_F(PopupTest, TheCloseBoxHidesAtOnce) {
    pop->SetAnimateTime(400);
    pop->SetStayTime(60000);
    struct Case {
        int x, y;
        bool closes;
    } cases[] = {{161, 6, false},  {162, 6, true},  {175, 6, true},  {176, 6, false},
                 {170, 5, false},  {170, 19, true}, {170, 20, false}, {162, 19, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        pop->Popup();
        Advance(400);
        int before = closes;
        Press(c.x, c.y);
        EXPECT_EQ(!Up(), c.closes);
        EXPECT_FALSE(IsWindowAnimating(Window()));  // never a slide
        EXPECT_EQ(closes, before + (c.closes ? 1 : 0));
        if (Up()) {
            pop->Close();
            Advance(400);
        }
        EXPECT_EQ(closes, before + 1);
    }
    EXPECT_EQ(clicks, 4);  // the presses outside the box were clicks on the background
}

TEST_F(PopupTest, ASecondPopupRestartsTheStayAndClickHideHides) {
    pop->SetAnimateTime(0);
    pop->SetStayTime(1000);
    pop->Popup();
    Advance(900);
    pop->SetMessageText("Renewed");
    pop->Popup();  // shows already: the stay starts again
    EXPECT_EQ(pop->Window()->TextLabel()->Caption(), "Renewed");
    Advance(900);
    EXPECT_TRUE(Up());
    Advance(200);
    EXPECT_FALSE(Up());
    EXPECT_EQ(closes, 1);
    // A click on the background with ClickHide: OnClick, then the slide out.
    pop->SetClickHide(true);
    pop->SetAnimateTime(200);
    pop->Popup();
    Advance(200);
    Press(60, 80);  // the message: OnClick, but it stays
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(Up());
    Press(5, 30);  // the background between the texts
    EXPECT_EQ(clicks, 2);
    Advance(200);
    EXPECT_FALSE(Up());
    EXPECT_EQ(closes, 2);
}


// ---------------------------------------------------------------- the tool bar

class ToolBarTest : public FormsTest {
protected:
    TForm* Plain() {
        auto* form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(50, 50, 300, 200);
        form->AfterConstruction();
        form->Show();
        Pump();
        plain_.reset(form);
        return form;
    }
    TToolButton* Add(TToolBar* bar, const std::string& caption, TToolButtonStyle style = tbsButton) {
        auto* b = new TToolButton(bar);
        b->SetParent(bar);
        b->SetStyle(style);
        b->SetCaption(caption);
        return b;
    }
    // Top row and left column of the pixels of the button that are neither face nor frame.
    TPoint InkOf(TToolBar* bar, TToolButton* b, COLORREF face, COLORREF frame) {
        TRect r = b->BoundsRect();
        TPoint ink(10000, 10000);
        for (int y = r.top + 1; y < r.bottom - 1; ++y)
            for (int x = r.left + 1; x < r.right - 1; ++x) {
                COLORREF p = Pixel(bar->Handle(), x, y);
                if (p == face || p == frame) continue;
                ink.x = std::min<LONG>(ink.x, x);
                ink.y = std::min<LONG>(ink.y, y);
            }
        return ink;
    }
    void Hover(TToolBar* bar, TPoint p) {
        TPoint s = bar->ClientToScreen(p);
        RECT w;
        GetWindowRect(bar->GetParentForm()->Handle(), &w);
        InputMouseMove(bar->GetParentForm()->Handle(), s.x - w.left, s.y - w.top);
        Pump();
    }
    void Hold(TToolBar* bar, TPoint p, bool down) {
        TPoint s = bar->ClientToScreen(p);
        RECT w;
        GetWindowRect(bar->GetParentForm()->Handle(), &w);
        InputMouseButton(bar->GetParentForm()->Handle(), s.x - w.left, s.y - w.top, MouseButton::Left, down);
        Pump();
    }
    std::unique_ptr<TForm> plain_;
};

TEST_F(ToolBarTest, PressedCaptionsSitOnePixelLowerAndCentreWithoutAmpersands) {
    TForm* form = Plain();
    auto* bar = new TdvxToolBar(form);
    bar->SetParent(form);
    bar->SetUIStyle(WinXP);
    bar->SetShowCaptions(true);
    TToolButton* file = Add(bar, "&File");
    bar->SetButtonWidth(80);
    bar->ArrangeButtons();
    Pump();
    TRect r = file->BoundsRect();
    COLORREF face = ColorToRGB(bar->ButtonColor()), down = ColorToRGB(bar->ButtonDownColor());
    COLORREF frame = ColorToRGB(bar->ButtonBorderColor());
    Hover(bar, TPoint(r.left + 5, r.top + 5));
    ASSERT_EQ(bar->HotButton(), file);
    bar->Repaint();
    TPoint hot = InkOf(bar, file, face, frame);
    Hold(bar, TPoint(r.left + 5, r.top + 5), true);
    ASSERT_EQ(bar->PressedButton(), file);
    bar->Repaint();
    TPoint pressed = InkOf(bar, file, down, frame);
    EXPECT_EQ(pressed.y, hot.y + 1);
    EXPECT_EQ(pressed.x, hot.x);
    Hold(bar, TPoint(r.left + 5, r.top + 5), false);
    // Centred by the width of "File", not of "&File".
    bar->Canvas()->Font()->Assign(bar->Font());
    int w = bar->Canvas()->TextWidth("File");
    int left = r.left + (r.Width() - w) / 2;
    EXPECT_GE(hot.x, left);
    EXPECT_LE(hot.x, left + 2);
}

TEST_F(ToolBarTest, DropDownArrowOnTheSecondRow) {
    TForm* form = Plain();
    auto* bar = new TdvxToolBar(form);
    bar->SetParent(form);
    bar->SetAlign(alNone);
    bar->SetBounds(0, 0, 60, 60);
    bar->SetUIStyle(DeepBlue);
    bar->SetWrapable(true);
    Add(bar, "a");
    Add(bar, "b");
    TToolButton* drop = Add(bar, "c", tbsDropDown);
    bar->ArrangeButtons();
    Pump();
    TRect r = drop->BoundsRect();
    ASSERT_GT(r.top, 0);  // wrapped onto the second row
    Hover(bar, TPoint(r.left + 3, r.top + 3));
    ASSERT_EQ(bar->HotButton(), drop);
    bar->Repaint();
    int yc = r.top + r.Height() / 2;
    EXPECT_EQ(Pixel(bar->Handle(), r.right - 7, yc + 1), RGB(0, 0, 0));
    EXPECT_EQ(Pixel(bar->Handle(), r.right - 14, r.top + 2), RGB(0, 0, 0));
    EXPECT_NE(Pixel(bar->Handle(), r.right - 7, yc - 3), RGB(0, 0, 0));
}

TEST_F(ToolBarTest, TransparentUnderMacOSAndProteinOnAFrameOnly) {
    struct Case {
        TdvxUIStyle style;
        bool onFrame, transparent;
    } cases[] = {{MacOS, true, true}, {Protein, true, true}, {DeepBlue, true, false}, {MacOS, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(UIStyleName(c.style));
        TWinControl* parent = c.onFrame ? static_cast<TWinControl*>(Framed(c.style)) : Plain();
        auto* bar = new TdvxToolBar(parent->Owner() ? parent->Owner() : parent);
        bar->SetParent(parent);
        bar->SetUIStyle(c.style);
        EXPECT_EQ(bar->Transparent(), c.transparent);
    }
}

TEST_F(ToolBarTest, PlatformBarWrapsChecksGroupsAndRunsAccelerators) {
    TForm* form = Plain();
    auto* bar = new TToolBar(form);
    bar->SetParent(form);
    bar->SetAlign(alNone);
    bar->SetBounds(0, 0, 100, 30);
    bar->SetAutoSize(true);
    bar->SetShowCaptions(true);
    bar->SetButtonWidth(40);
    std::vector<std::string> ran;
    std::vector<TToolButton*> b;
    for (const char* caption : {"&One", "&Two", "T&hree"}) {
        b.push_back(Add(bar, caption, tbsCheck));
        b.back()->SetGrouped(true);
        b.back()->SetAutoSize(false);
        b.back()->OnClick = [&ran, caption](TObject*) { ran.push_back(caption); };
    }
    bar->ArrangeButtons();
    // Two fit on a row; the bar grows to two rows.
    EXPECT_EQ(b[1]->Top(), 0);
    EXPECT_GT(b[2]->Top(), 0);
    EXPECT_EQ(b[2]->Left(), 0);
    EXPECT_EQ(bar->Height(), 2 * b[0]->Height());
    // Alt+H: the accelerator of "T&hree"; grouped check buttons take turns.
    EXPECT_EQ(bar->Perform(CM_DIALOGCHAR, 'h', 0), 1);
    EXPECT_TRUE(b[2]->Down());
    EXPECT_EQ(bar->Perform(CM_DIALOGCHAR, 'o', 0), 1);
    EXPECT_TRUE(b[0]->Down());
    EXPECT_FALSE(b[2]->Down());
    EXPECT_EQ(bar->Perform(CM_DIALOGCHAR, 'x', 0), 0);
    EXPECT_EQ(ran, (std::vector<std::string>{"T&hree", "&One"}));
}

}  // namespace

TEST_F(FormsTest, AFramedFormKeepsTheStylesSmallestWidth) {
    struct Case {
        TdvxUIStyle style;
        int minWidth;
    } cases[] = {{MacOS, 130}, {WinXP, 150}, {DeepBlue, 130}, {Protein, 130}, {BlueGlass, 270}};
    for (const Case& c : cases) {
        SCOPED_TRACE(UIStyleName(c.style));
        TForm* form = nullptr;
        TdvxForm* frame = Framed(c.style, bsSizeable, &form);
        EXPECT_EQ(form->Constraints()->MinWidth(), c.minWidth);
        form->SetBounds(form->Left(), form->Top(), 20, 300);
        EXPECT_EQ(form->Width(), c.minWidth);
        // The smallest height still comes from the frame's title bar.
        form->SetBounds(form->Left(), form->Top(), 20, 5);
        EXPECT_EQ(form->Height(), frame->TitleBar()->Height() + 3);
        EXPECT_EQ(form->Width(), c.minWidth);
    }
}

TEST_F(FormsTest, TitleCaptionGoesRightOnlyForARightToLeftLanguage) {
    struct Case {
        bool middleEast;
        TBiDiMode mode;
        bool captionAtRight;
    } cases[] = {
        {false, bdLeftToRight, false},
        {false, bdRightToLeft, false},
        {true, bdLeftToRight, false},
        {true, bdRightToLeft, true},
    };
    for (TdvxUIStyle style : {DeepBlue, Protein}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << UIStyleName(style) << " middle east " << c.middleEast << " mode "
                                            << int(c.mode));
            SysLocale.MiddleEast = c.middleEast;
            TdvxForm* frame = Framed(style);
            TdvxTitleBar* bar = frame->TitleBar();
            bar->SetBiDiMode(c.mode);
            bar->Repaint();
            TBitmap measure;
            measure.Canvas()->Font()->Assign(bar->Font());
            const int textWidth = measure.Canvas()->TextWidth(bar->DrawnCaption());
            const int leftmostButton = bar->ButtonRect(3).left;
            if (c.captionAtRight)
                EXPECT_EQ(bar->CaptionPos().x + textWidth, leftmostButton - 10);
            else
                EXPECT_EQ(bar->CaptionPos().x, 21);
        }
    }
    SysLocale.MiddleEast = false;
}
