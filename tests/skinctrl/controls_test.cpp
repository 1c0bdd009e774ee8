// The skinned controls on a headless form: decisive pixels per state, input injected through
// the input queue on a virtual clock, and the event logs the program relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "../platform/windows/windows_test_support.h"
#include "platform/controls/forms.h"
#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/shell.h"
#include "platform/core/sysutils.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxgroupbox.h"
#include "skinctrl/dvxpanel.h"
#include "skinctrl/dvxprogressbar.h"
#include "skinctrl/dvxpublic.h"
#include "skinctrl/dvxscrollbar.h"
#include "skinctrl/dvxtrackbar.h"
#include "skinctrl/dvxurllabel.h"

using namespace platform;
using namespace skinctrl;

namespace {

constexpr COLORREF kRed = RGB(200, 0, 0), kGreen = RGB(0, 200, 0), kBlue = RGB(0, 0, 200), kGrey = RGB(90, 90, 90);
constexpr COLORREF kWhite = RGB(255, 255, 255);

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(int(GetRValue(a)) - GetRValue(b)) <= tolerance && std::abs(int(GetGValue(a)) - GetGValue(b)) <= tolerance &&
           std::abs(int(GetBValue(a)) - GetBValue(b)) <= tolerance;
}

void Flat(TPicture* picture, int w, int h, COLORREF color) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(w, h);
    b.Canvas()->Brush()->SetColor(TColor(color));
    b.Canvas()->FillRect(TRect(0, 0, w, h));
    picture->SetGraphic(&b);
}

COLORREF FramePixel(TdvxUIStyle style, int entry, int count, int frame, int x, int y) {
    TBitmap b;
    GetInsideThemeBitmap(style, entry, &b, count, frame);
    return ColorToRGB(b.Canvas()->Pixels(x, y));
}

class Recorder : public TProcessLauncher {
public:
    explicit Recorder(std::vector<std::vector<std::string>>* log) : log_(log) {}
    bool Launch(const std::vector<std::string>& argv, std::string&) override {
        log_->push_back(argv);
        return true;
    }

private:
    std::vector<std::vector<std::string>>* log_;
};

class SkinControls : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 460, 300);
        form->SetColor(clWhite);
        form->AfterConstruction();
    }
    void TearDown() override {
        delete form;
        Pump();
    }
    void Pump() { Application->ProcessMessages(); }
    HWND Top() { return form->Handle(); }
    COLORREF At(int x, int y) { return GetWindowSurfacePixel(Top(), x, y); }
    void Move(int x, int y) {
        InputMouseMove(Top(), x, y);
        Pump();
    }
    void Button(int x, int y, bool down) {
        InputMouseMove(Top(), x, y);
        InputMouseButton(Top(), x, y, MouseButton::Left, down);
        Pump();
    }
    void Click(int x, int y) {
        Button(x, y, true);
        Button(x, y, false);
    }
    void Key(WORD vk, bool down) {
        InputKey(vk, down);
        Pump();
    }
    void Tick(std::uint64_t ms) {
        clock.Advance(ms);
        Pump();
    }
    void Shot(const char* name) { SaveWindowImage(Top(), std::string(name) + ".png"); }
    template <class T>
    T* Place(int x, int y, int w, int h) {
        auto* c = new T(form);
        c->SetParent(form);
        c->SetBounds(x, y, w, h);
        return c;
    }
    void Log(const std::string& s) { events.push_back(s); }

    TVirtualClock clock;
    TScopedClock scoped{clock};
    TForm* form = nullptr;
    std::vector<std::string> events;
};

// ---------------------------------------------------------------- image button

TdvxImageButton* FourPictures(TdvxImageButton* b) {
    Flat(b->PicNormal(), 30, 20, kRed);
    Flat(b->PicMouseOn(), 30, 20, kGreen);
    Flat(b->PicMouseDown(), 30, 20, kBlue);
    Flat(b->PicDisabled(), 30, 20, kGrey);
    return b;
}

TEST_F(SkinControls, ImageButtonShowsEachStatesPictureAndClicksOnlyInside) {
    auto* b = FourPictures(Place<TdvxImageButton>(10, 10, 30, 20));
    b->OnMouseDown = [&](TObject* s, TMouseButton, TShiftState, int x, int y) {
        Log("down " + std::to_string(x) + "," + std::to_string(y) + (s == b ? "" : " ?"));
    };
    b->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { Log("up"); };
    b->OnClick = [&](TObject* s) { Log(s == b ? "click" : "click ?"); };
    form->Show();
    Pump();
    EXPECT_EQ(b->GetUIStyle(), FromThemeFile);
    EXPECT_EQ(At(20, 20), kRed) << "normal";
    Move(20, 20);
    EXPECT_EQ(At(20, 20), kGreen) << "mouse over";
    Button(20, 20, true);
    EXPECT_EQ(At(20, 20), kBlue) << "pressed";
    Shot("imagebutton_pressed");
    Button(20, 20, false);
    EXPECT_EQ(events, (std::vector<std::string>{"down 10,10", "click", "up"}));

    events.clear();
    Button(20, 20, true);
    Move(100, 100);  // out while pressed: normal again, and no click on release
    EXPECT_EQ(At(20, 20), kRed);
    Button(100, 100, false);
    EXPECT_EQ(events, (std::vector<std::string>{"down 10,10", "up"}));

    b->SetEnabled(false);
    Pump();
    EXPECT_EQ(At(20, 20), kGrey) << "disabled";
}

TEST_F(SkinControls, ImageButtonWithOnlyPicNormalShowsItUndimmedInEveryState) {
    auto* b = Place<TdvxImageButton>(10, 10, 30, 20);
    Flat(b->PicNormal(), 30, 20, kRed);
    form->Show();
    Pump();
    struct Step {
        const char* state;
        std::function<void()> go;
    } steps[] = {
        {"normal", [] {}},
        {"over", [&] { Move(20, 20); }},
        {"pressed", [&] { Button(20, 20, true); }},
        {"disabled", [&] { b->SetEnabled(false); Pump(); }},
    };
    for (auto& s : steps) {
        s.go();
        EXPECT_EQ(At(20, 20), kRed) << s.state;
    }
    Button(20, 20, false);
}

TEST_F(SkinControls, ImageButtonPictureRulesTransparencyStretchAndBadFiles) {
    form->SetColor(TColor(kGreen));
    auto* cut = Place<TdvxImageButton>(10, 10, 20, 10);
    Flat(cut->PicNormal(), 40, 40, kRed);
    auto* stretched = Place<TdvxImageButton>(60, 10, 20, 10);
    Flat(stretched->PicNormal(), 5, 5, kRed);
    stretched->SetStretch(true);
    auto* see = Place<TdvxImageButton>(100, 10, 20, 20);
    TBitmap keyed;
    keyed.SetPixelFormat(pf24bit);
    keyed.SetSize(20, 20);
    keyed.Canvas()->Brush()->SetColor(TColor(kBlue));
    keyed.Canvas()->FillRect(TRect(0, 0, 20, 20));
    keyed.Canvas()->Brush()->SetColor(TColor(kRed));
    keyed.Canvas()->FillRect(TRect(5, 5, 15, 15));
    see->PicNormal()->SetGraphic(&keyed);
    see->SetTransparent(true);
    auto* empty = Place<TdvxImageButton>(140, 10, 20, 20);
    empty->SetColor(TColor(kGrey));
    form->Show();
    Pump();
    EXPECT_EQ(cut->Width(), 20) << "a larger picture is cut, not the button grown";
    EXPECT_EQ(At(29, 19), kRed);
    EXPECT_EQ(At(30, 20), kGreen);
    EXPECT_EQ(At(79, 19), kRed) << "stretched over the button";
    EXPECT_EQ(At(102, 12), kGreen) << "the picture's corner colour is see-through";
    EXPECT_EQ(At(110, 20), kRed);
    EXPECT_EQ(At(150, 20), kGrey) << "no picture: the background only";

    EXPECT_THROW(cut->PicNormal()->LoadFromFile("/nonexistent/pic.bmp"), EFOpenError);
    cut->Repaint();
    Pump();
    EXPECT_EQ(At(15, 15), kRed) << "the old picture stays";

    auto* sized = Place<TdvxImageButton>(200, 10, 1, 1);
    Flat(sized->PicNormal(), 33, 17, kRed);
    sized->SetAutoSize2(true);
    EXPECT_EQ(sized->Width(), 33);
    EXPECT_EQ(sized->Height(), 17);
}

TEST_F(SkinControls, ImageButtonCaptionIsGreyWhenDisabledAndShiftedWhenPressed) {
    auto* b = Place<TdvxImageButton>(10, 10, 60, 30);
    Flat(b->PicNormal(), 60, 30, kWhite);
    b->Font()->SetColor(clBlack);
    b->SetCaption2("IIII");
    form->Show();
    Pump();
    auto darkest = [&](COLORREF& found) {
        int best = 1000, bx = -1;
        for (int x = 10; x < 70; ++x)
            for (int y = 10; y < 40; ++y) {
                COLORREF c = At(x, y);
                int sum = GetRValue(c) + GetGValue(c) + GetBValue(c);
                if (sum < best) best = sum, bx = x * 100 + y, found = c;
            }
        return bx;
    };
    COLORREF normalInk = 0, pressedInk = 0, disabledInk = 0;
    int normalAt = darkest(normalInk);
    EXPECT_TRUE(Near(normalInk, RGB(0, 0, 0), 8)) << std::hex << normalInk;
    Button(12, 12, true);
    int pressedAt = darkest(pressedInk);
    EXPECT_EQ(pressedAt, normalAt + 101) << "one pixel right and down";
    Button(12, 12, false);
    b->SetEnabled(false);
    Pump();
    darkest(disabledInk);
    EXPECT_TRUE(Near(disabledInk, RGB(0x80, 0x80, 0x80), 4)) << std::hex << disabledInk;
    Shot("imagebutton_disabled_caption");
}

TEST_F(SkinControls, ButtonHoldRepeatsEvery100msUntilRelease) {
    auto* b = FourPictures(Place<TdvxImageButton>(10, 10, 30, 20));
    int repeats = 0, clicks = 0;
    b->OnMouseContinuouslyDown = [&](TObject*) { ++repeats; };
    b->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    Pump();
    Button(20, 20, true);
    Tick(99);
    EXPECT_EQ(repeats, 0);
    Tick(1);
    EXPECT_EQ(repeats, 1);
    Tick(100);
    EXPECT_EQ(repeats, 2);
    Button(20, 20, false);
    Tick(300);
    EXPECT_EQ(repeats, 2) << "the timer ends with the release";
    EXPECT_EQ(clicks, 1);

    // Freed while its timer is due.
    b->SetMouseContinuouslyDownInterval(-5);
    Button(20, 20, true);
    delete b;
    Tick(100);
}

TEST_F(SkinControls, ButtonKeysSpaceReturnEscapeAndAccelerators) {
    auto* ok = FourPictures(Place<TdvxImageButton>(10, 10, 30, 20));
    auto* cancel = FourPictures(Place<TdvxImageButton>(50, 10, 30, 20));
    auto* other = FourPictures(Place<TdvxImageButton>(90, 10, 30, 20));
    auto* go = FourPictures(Place<TdvxImageButton>(130, 10, 30, 20));
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    go->SetCaption2("&Go");
    ok->OnClick = [&](TObject*) { Log("ok"); };
    cancel->OnClick = [&](TObject*) { Log("cancel"); };
    other->OnClick = [&](TObject*) { Log("other"); };
    go->OnClick = [&](TObject*) { Log("go"); };
    form->Show();
    Pump();
    other->SetFocus();
    Pump();
    Key(VK_SPACE, true);
    EXPECT_TRUE(other->IsMouseDown()) << "pressed on key down";
    EXPECT_EQ(At(100, 20), kBlue);
    EXPECT_TRUE(events.empty());
    Key(VK_SPACE, false);
    EXPECT_EQ(events, std::vector<std::string>{"other"});

    events.clear();
    Key(VK_RETURN, true);
    Key(VK_RETURN, false);
    EXPECT_EQ(form->ModalResult(), mrOk);
    Key(VK_ESCAPE, true);
    Key(VK_ESCAPE, false);
    EXPECT_EQ(form->ModalResult(), mrCancel);
    InputKey(VK_MENU, true);
    InputKey('G', true);
    InputChar('g');
    InputKey('G', false);
    InputKey(VK_MENU, false);
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"ok", "cancel", "go"}));
    EXPECT_EQ(other->Perform(DVXM_CANPROCESSKEY, 0, 0), 1);
}

// ---------------------------------------------------------------- library buttons

TEST_F(SkinControls, ButtonStripFramesFocusAndBoldCaption) {
    auto* b = Place<TdvxButton>(10, 10, 80, 27);
    b->SetUIStyle(WinXP);
    form->Show();
    Pump();
    // Frames 1..3 of the strip, sampled in the middle of the face.
    int mid = 27 / 2;
    // The face is stretched: the shown pixel is one of the frame's middle column.
    auto column = [](int frame) {
        std::set<COLORREF> c;
        for (int y = 0; y < 21; ++y) c.insert(FramePixel(WinXP, DVX_THEME_BUTTON_IMAGE, 3, frame, 9, y));
        return c;
    };
    COLORREF normal = At(50, 10 + mid);
    EXPECT_TRUE(column(1).count(normal));
    Move(50, 20);
    COLORREF over = At(50, 10 + mid);
    EXPECT_TRUE(column(2).count(over));
    Button(50, 20, true);
    COLORREF down = At(50, 10 + mid);
    EXPECT_TRUE(column(3).count(down));
    EXPECT_NE(normal, over);
    EXPECT_NE(over, down);
    Button(50, 20, false);
    b->SetFocus();
    Move(300, 200);
    EXPECT_NE(At(12, 12), normal) << "focus rectangle at the margin";

    auto* mac = Place<TdvxButton>(10, 50, 80, 27);
    mac->SetUIStyle(MacOS);
    mac->SetCaption2("IIII");
    auto ink = [&] {
        int n = 0;
        for (int x = 10; x < 90; ++x)
            for (int y = 52; y < 75; ++y) n += At(x, y) == RGB(0, 0, 0);
        return n;
    };
    Pump();
    int thin = ink();
    mac->SetFocus();
    Pump();
    EXPECT_GT(ink(), thin) << "MacOS shows focus as a bold caption";
    Shot("button_macos_focused");

    auto* sized = Place<TdvxButton>(10, 90, 5, 5);
    sized->SetUIStyle(DeepBlue);
    sized->SetAutoSize2(true);
    EXPECT_EQ(sized->Width(), 74);
    EXPECT_EQ(sized->Height(), 21);
}

TEST_F(SkinControls, ControlButtonHotFrameStaysInsideTheStrip) {
    auto* b = Place<TdvxControlButton>(10, 10, 5, 5);
    b->SetThemeID(DVX_THEME_BUTTON_IMAGE);
    b->SetPicCount(3);
    b->SetPicIndex(3);
    form->Show();
    Pump();
    COLORREF last = FramePixel(DeepBlue, DVX_THEME_BUTTON_IMAGE, 3, 3, 30, 10);
    EXPECT_EQ(b->Width(), 74);
    Move(40, 20);
    EXPECT_EQ(At(40, 20), last) << "the last frame again, not past the strip";
}

// ---------------------------------------------------------------- check box and radio button

TEST_F(SkinControls, CheckBoxShowsFramesByCheckedAndEnabled) {
    auto* c = Place<TdvxCheckBox>(10, 10, 93, 17);
    c->SetUIStyle(BlueGlass);
    c->SetCaption("Box");
    form->Show();
    Pump();
    int by = 10 + (c->ClientHeight() - 13) / 2;
    struct Case {
        bool checked, enabled;
        int frame;
    } cases[] = {{true, true, 1}, {false, true, 2}, {true, false, 3}, {false, false, 4}};
    for (const Case& k : cases) {
        c->SetChecked(k.checked);
        c->SetEnabled(k.enabled);
        Pump();
        for (auto [x, y] : {std::pair{6, 6}, std::pair{3, 9}, std::pair{9, 4}})
            EXPECT_EQ(At(11 + x, by + y), FramePixel(BlueGlass, DVX_THEME_CHECKBOX_IMAGE, 4, k.frame, x, y))
                << "frame " << k.frame << " at " << x << "," << y;
    }
    Shot("checkbox_disabled");
}

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double Luminance(COLORREF c) {
    auto linear = [](int v) {
        double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(c)) + 0.7152 * linear(GetGValue(c)) + 0.0722 * linear(GetBValue(c));
}
double Contrast(COLORREF a, COLORREF b) {
    double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// What a drawn box shows: the contrast of its mark (1 for none) and of its edge against the
// colour that fills it. The box is the frame's square, centred in the frame.
struct BoxReading {
    double mark, edge;
};
BoxReading ReadBox(const std::function<COLORREF(int, int)>& at, int frameW, int frameH, bool round) {
    const int side = std::min(frameW, frameH);
    const int x0 = (frameW - side) / 2, y0 = (frameH - side) / 2;
    const double c = side / 2.0;
    std::vector<COLORREF> centre;
    for (int y = 2; y < side - 2; ++y)
        for (int x = 2; x < side - 2; ++x) {
            const double dx = x + 0.5 - c, dy = y + 0.5 - c;
            if (!round || dx * dx + dy * dy <= (c - 2.5) * (c - 2.5)) centre.push_back(at(x0 + x, y0 + y));
        }
    std::map<COLORREF, int> counts;
    for (COLORREF p : centre) ++counts[p];
    const COLORREF fill =
        std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    BoxReading r{1, 0};
    for (COLORREF p : centre) r.mark = std::max(r.mark, Contrast(p, fill));
    // The edge at the middle of each side: its two outermost pixels, the weaker side counts.
    const int m = side / 2;
    double sides[4] = {};
    for (int i = 0; i < 2; ++i) {
        sides[0] = std::max(sides[0], Contrast(at(x0 + i, y0 + m), fill));
        sides[1] = std::max(sides[1], Contrast(at(x0 + side - 1 - i, y0 + m), fill));
        sides[2] = std::max(sides[2], Contrast(at(x0 + m, y0 + i), fill));
        sides[3] = std::max(sides[3], Contrast(at(x0 + m, y0 + side - 1 - i), fill));
    }
    r.edge = *std::min_element(sides, sides + 4);
    return r;
}

// Every state of a check box and a radio button in every built-in style reads at a glance: a
// checked box's mark and every box's edge stand out 3:1 from the box, measured on the
// controls as they are drawn (checked, unchecked, grey, disabled, under the pointer, pressed).
TEST_F(SkinControls, CheckMarksAndBoxEdgesStandOutInEveryStateAndStyle) {
    constexpr double kGlance = 3.0;
    form->SetBounds(0, 0, 460, 300);
    struct Kind {
        bool radio;
        int entry;
    } kinds[] = {{false, DVX_THEME_CHECKBOX_IMAGE}, {true, DVX_THEME_RADIOBUTTON_IMAGE}};
    enum Pose { Plain, Grey, Disabled, Hot, Pressed };
    struct Case {
        const char* what;
        bool checked;
        Pose pose;
    } cases[] = {{"checked", true, Plain},         {"unchecked", false, Plain},     {"grey", false, Grey},
                 {"checked disabled", true, Disabled}, {"unchecked disabled", false, Disabled},
                 {"checked hot", true, Hot},       {"unchecked hot", false, Hot},   {"checked pressed", true, Pressed},
                 {"unchecked pressed", false, Pressed}};
    const TdvxUIStyle styles[] = {MacOS, WinXP, DeepBlue, Protein, BlueGlass};
    std::vector<TdvxCheckBox*> shown;
    int row = 0;
    for (TdvxUIStyle style : styles)
        for (const Kind& kind : kinds) {
            TdvxCheckBox* box = kind.radio ? Place<TdvxRadioButton>(10, 4 + 26 * row, 120, 22)
                                           : Place<TdvxCheckBox>(10, 4 + 26 * row, 120, 22);
            box->SetUIStyle(style);
            box->SetCaption(UIStyleName(style));
            if (auto* radio = dynamic_cast<TdvxRadioButton*>(box)) radio->SetGroupIndex(4 * row);
            shown.push_back(box);
            ++row;
        }
    form->Show();
    Pump();
    int index = 0;
    for (TdvxUIStyle style : styles)
        for (const Kind& kind : kinds) {
            TdvxCheckBox* box = shown[std::size_t(index++)];
            TBitmap frame;
            GetInsideThemeBitmap(style, kind.entry, &frame, 4, 1);
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message() << UIStyleName(style) << (kind.radio ? " radio " : " check box ")
                                                << c.what);
                box->SetEnabled(c.pose != Disabled);
                box->SetChecked(c.checked);
                if (c.pose == Grey) box->SetState(cbGrayed);
                const int left = box->Left() + 1, top = box->Top() + (box->ClientHeight() - frame.Height()) / 2;
                const TPoint over(box->Left() + 5, box->Top() + box->Height() / 2);
                if (c.pose == Hot) Move(over.x, over.y);
                if (c.pose == Pressed) Button(over.x, over.y, true);
                box->Repaint();
                Pump();
                BoxReading r = ReadBox([&](int x, int y) { return At(left + x, top + y); }, frame.Width(),
                                       frame.Height(), kind.radio);
                if (c.pose == Pressed) {
                    Button(400, 290, false);  // released away: no click
                    EXPECT_EQ(box->Checked(), c.checked);
                }
                Move(400, 290);
                EXPECT_GE(r.edge, kGlance);
                if (c.checked)
                    EXPECT_GE(r.mark, kGlance);
                else
                    EXPECT_LT(r.mark, 1.5) << "no mark in an unchecked box";
            }
            // For looking at: the row's four pictures side by side.
            box->SetEnabled(true);
            box->SetChecked(true);
            for (int i = 1; i < 4; ++i) {
                TdvxCheckBox* more = kind.radio ? Place<TdvxRadioButton>(10 + 110 * i, box->Top(), 105, 22)
                                                : Place<TdvxCheckBox>(10 + 110 * i, box->Top(), 105, 22);
                more->SetUIStyle(style);
                more->SetCaption(UIStyleName(style));
                if (auto* radio = dynamic_cast<TdvxRadioButton*>(more)) radio->SetGroupIndex(4 * index + i);
                more->SetChecked(i == 2);
                more->SetEnabled(i == 1);
            }
        }
    form->Repaint();
    Pump();
    Shot("checkbox_contrast");
}

TEST_F(SkinControls, CheckBoxAutoSizeFocusAndRightToLeft) {
    auto* c = Place<TdvxCheckBox>(10, 10, 93, 17);
    c->SetUIStyle(BlueGlass);
    c->SetCaption("W");
    // Pin a font whose "W" is 13 high.
    TBitmap probe;
    probe.SetSize(4, 4);
    int pinned = 0;
    for (int h = -4; h >= -30 && !pinned; --h) {
        TFont f;
        f.SetHeight(h);
        probe.Canvas()->SetFont(&f);
        if (probe.Canvas()->TextHeight("W") == 13) pinned = h;
    }
    if (pinned) c->Font()->SetHeight(pinned);
    probe.Canvas()->SetFont(c->Font());
    form->Show();
    Pump();
    int w = probe.Canvas()->TextHeight("W");
    if (pinned) {
        EXPECT_EQ(c->Height(), 19) << "max(13 + 2, 13) + 4";
    }
    EXPECT_EQ(c->Height(), std::max(w + 2, 13) + 4);
    EXPECT_EQ(c->Width(), 13 + probe.Canvas()->TextWidth("W") + 8);

    auto* rtl = Place<TdvxCheckBox>(10, 60, 120, 20);
    rtl->SetAutoSize2(false);
    rtl->SetUIStyle(BlueGlass);
    rtl->SetBiDiMode(bdRightToLeft);
    rtl->SetChecked(true);
    SysLocale.MiddleEast = true;
    rtl->Repaint();
    Pump();
    int by = 60 + (20 - 13) / 2;
    EXPECT_EQ(At(10 + 120 - 13 - 1 + 6, by + 6), FramePixel(BlueGlass, DVX_THEME_CHECKBOX_IMAGE, 4, 1, 6, 6))
        << "the box on the right";
    SysLocale.MiddleEast = false;
    rtl->Repaint();
    Pump();
    EXPECT_EQ(At(11 + 6, by + 6), FramePixel(BlueGlass, DVX_THEME_CHECKBOX_IMAGE, 4, 1, 6, 6))
        << "left to right without a right-to-left locale";

    c->SetFocus();
    Pump();
    int ty = 10 + (c->ClientHeight() - w) / 2;
    int dots = 0;
    for (int x = 10 + 13 + 3; x < 10 + 13 + 13; ++x) dots += At(x, ty) != COLORREF(ColorToRGB(c->Color()));
    EXPECT_GE(dots, 4) << "dotted focus rectangle beside the box";
}

TEST_F(SkinControls, CheckBoxClickEventFollowsEveryChangeButNotLoading) {
    auto* c = Place<TdvxCheckBox>(10, 10, 93, 17);
    c->SetCaption("Box");
    c->OnClick = [&](TObject*) { Log(std::string("click ") + (c->Checked() ? "on" : "off")); };
    c->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { Log("up"); };
    form->Show();
    Pump();
    c->SetChecked(true);
    c->SetChecked(true);
    EXPECT_EQ(events, std::vector<std::string>{"click on"});

    events.clear();
    Click(15, 15);
    EXPECT_EQ(events, (std::vector<std::string>{"click off", "up"})) << "the click runs before OnMouseUp";

    events.clear();
    Key(VK_SPACE, true);
    Key(VK_SPACE, false);
    EXPECT_EQ(events, std::vector<std::string>{"click on"}) << "space toggles on key up, no mouse-up";

    events.clear();
    c->SetState(cbGrayed);
    EXPECT_FALSE(c->Checked());
    c->BeginLoading();
    c->SetChecked(true);
    c->Loaded();
    EXPECT_EQ(events, std::vector<std::string>{"click off"}) << "nothing while loading";
    EXPECT_TRUE(c->Checked());
}

TEST_F(SkinControls, RadioButtonsUncheckTheirGroupOnTheSameParent) {
    auto* a = Place<TdvxRadioButton>(10, 10, 80, 17);
    auto* b = Place<TdvxRadioButton>(10, 30, 80, 17);
    auto* other = Place<TdvxRadioButton>(10, 50, 80, 17);
    other->SetGroupIndex(1);
    auto* panel = Place<TPanel>(200, 10, 100, 100);
    auto* away = new TdvxRadioButton(form);
    away->SetParent(panel);
    for (auto [r, n] : {std::pair{a, "a"}, std::pair{b, "b"}, std::pair{other, "other"}, std::pair{away, "away"}}) {
        r->SetUIStyle(WinXP);
        std::string name = n;
        r->OnClick = [this, name](TObject*) { Log(name); };
    }
    form->Show();
    Pump();
    a->SetChecked(true);
    other->SetChecked(true);
    away->SetChecked(true);
    events.clear();
    Click(15, 35);
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(other->Checked()) << "another group";
    EXPECT_TRUE(away->Checked()) << "another parent";
    Click(15, 35);
    EXPECT_EQ(events, std::vector<std::string>{"b"}) << "clicking a checked radio button does nothing";
    Key(VK_SPACE, true);
    Key(VK_SPACE, false);
    EXPECT_EQ(events.size(), 1u);
}

// ---------------------------------------------------------------- picture panel

TEST_F(SkinControls, ImagePanelPicturesCaptionAndOwnMouseCoordinates) {
    auto* back = Place<TdvxImagePanel>(0, 0, 460, 300);
    Flat(back->Picture(), 460, 300, kGreen);
    back->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
        Log(std::to_string(x) + "," + std::to_string(y));
    };
    auto* tiled = new TdvxImagePanel(form);
    tiled->SetParent(back);
    tiled->SetBounds(10, 10, 25, 25);
    TBitmap tile;
    tile.SetPixelFormat(pf24bit);
    tile.SetSize(10, 10);
    tile.Canvas()->Brush()->SetColor(TColor(kBlue));
    tile.Canvas()->FillRect(TRect(0, 0, 10, 10));
    tile.Canvas()->SetPixels(0, 0, TColor(kRed));
    tiled->Picture()->SetGraphic(&tile);
    tiled->SetDrawStyle(dvxTile);
    auto* clear = new TdvxImagePanel(form);
    clear->SetParent(back);
    clear->SetBounds(100, 10, 40, 20);
    clear->SetTransparent(true);
    auto* holder = Place<TPanel>(300, 100, 100, 100);
    holder->SetBevelOuter(bvNone);
    auto* top = new TdvxImagePanel(form);
    top->SetParent(holder);
    top->SetBounds(0, 200, 50, 10);
    top->SetAutoSize(true);
    top->SetAlign(alTop);
    Flat(top->Picture(), 30, 40, kRed);
    form->Show();
    Pump();
    EXPECT_EQ(top->Height(), 40) << "AutoSize with alTop takes the picture's height";
    EXPECT_EQ(top->Width(), holder->ClientWidth()) << "and keeps its width";
    int ty = tiled->Top();
    EXPECT_EQ(At(10, ty), kRed) << "tile at the origin";
    EXPECT_EQ(At(30, ty + 20), kRed) << "third tile across and down";
    EXPECT_EQ(At(31, ty + 21), kBlue);
    EXPECT_EQ(At(120, clear->Top() + 5), kGreen) << "a transparent panel without a picture shows its parent";
    Shot("imagepanel");

    Button(300, 250, true);
    Button(300, 250, false);
    EXPECT_EQ(events, std::vector<std::string>{"300,250"});
}

// ---------------------------------------------------------------- track bar

TEST_F(SkinControls, TrackBarSettersKeepTheRangeAndReportOnlyChanges) {
    auto* t = Place<TdvxTrackBar>(10, 10, 200, 20);
    EXPECT_EQ(t->Min(), 0);
    EXPECT_EQ(t->Max(), 10);
    EXPECT_EQ(t->PageSize(), 2);
    EXPECT_EQ(t->LineSize(), 1);
    EXPECT_TRUE(t->ShowTick());
    EXPECT_TRUE(t->TabStop());
    int changes = 0;
    t->OnChange = [&](TObject*) { ++changes; };
    struct Step {
        const char* what;
        std::function<void()> act;
        int min, max, position, changes;
    } steps[] = {
        {"position 8", [&] { t->SetPosition(8); }, 0, 10, 8, 1},
        {"max 5 cuts", [&] { t->SetMax(5); }, 0, 5, 5, 2},
        {"same max", [&] { t->SetMax(5); }, 0, 5, 5, 2},
        {"same position", [&] { t->SetPosition(5); }, 0, 5, 5, 2},
        {"beyond max", [&] { t->SetPosition(99); }, 0, 5, 5, 2},
        {"below min", [&] { t->SetPosition(-7); }, 0, 5, 0, 3},
        {"max below min", [&] { t->SetMax(-3); }, 0, 0, 0, 3},
        {"near int limits", [&] { t->SetMin(INT_MIN); t->SetMax(INT_MAX); t->SetPosition(INT_MAX); }, INT_MIN, INT_MAX,
         INT_MAX, 4},
        {"to the other end", [&] { t->SetPosition(INT_MIN); }, INT_MIN, INT_MAX, INT_MIN, 5},
    };
    for (auto& s : steps) {
        s.act();
        EXPECT_EQ(t->Min(), s.min) << s.what;
        EXPECT_EQ(t->Max(), s.max) << s.what;
        EXPECT_EQ(t->Position(), s.position) << s.what;
        EXPECT_EQ(changes, s.changes) << s.what;
    }
    EXPECT_EQ(t->GetLastChange(), INT_MIN) << "the difference saturates";
    EXPECT_EQ(t->Slider()->Left(), 0);
    t->SetPosition(INT_MAX);
    EXPECT_EQ(t->Slider()->Left(), 200 - t->Slider()->Width());

    t->SetMin(0);
    t->SetMax(10);
    t->SetPageSize(20);
    EXPECT_EQ(t->PageSize(), 2) << "page size above Max is ignored";
    t->SetUIStyle(MacOS);
    EXPECT_TRUE(t->Transparent());
}

TEST_F(SkinControls, TrackBarDragRoundsHalfToEvenAndPagingRepeats) {
    auto* t = Place<TdvxTrackBar>(10, 10, 200, 20);
    std::vector<int> seen;
    t->OnChange = [&](TObject*) { seen.push_back(t->Position()); };
    form->Show();
    Pump();
    Flat(t->GetSliderImage(), 10, 20, kRed);  // what the program does at the first showing
    t->UpdateSlider();
    Pump();
    EXPECT_EQ(t->Slider()->Width(), 10);
    // Grab the slider at its x = 5 and move to x = 100: Round(95 * 10 / 190) = 5.
    Button(15, 20, true);
    EXPECT_TRUE(t->IsDragging());
    Move(110, 20);
    EXPECT_EQ(t->Position(), 5);
    EXPECT_EQ(t->Slider()->Left(), 5 * 190 / 10);
    // x 62: 57 * 10 / 190 = 3.0; x 91.5 is not a pixel, but 85 * 10 / 190 = 4.47 -> 4.
    Move(72, 20);
    EXPECT_EQ(t->Position(), 3);
    Button(72, 20, false);
    EXPECT_FALSE(t->IsDragging());
    EXPECT_EQ(seen, (std::vector<int>{5, 3}));

    // Paging on a 0..100 bar: 2 at the press, then 6 per 100 ms, stopping at the mouse.
    t->SetMax(100);
    t->SetPosition(0);
    seen.clear();
    Button(110, 20, true);  // position under x 100 (grab 5): Round(95 * 100 / 190) = 50
    EXPECT_EQ(t->Position(), 2);
    for (int expected : {8, 14, 20})  {
        Tick(100);
        EXPECT_EQ(t->Position(), expected);
    }
    for (int i = 0; i < 10; ++i) Tick(100);
    EXPECT_EQ(t->Position(), 50) << "stops where the slider reaches the mouse";
    Move(300, 20);
    EXPECT_FALSE(t->IsPaging()) << "leaving the bar stops paging";
    Button(300, 20, false);

    // Half to even: on a 0..3 bar 190 long, x - grab = 95 is 1.5 -> 2; 31.67 * 3... use 0..1.
    t->SetMax(1);
    t->SetPosition(0);
    Button(10 + t->Slider()->Left() + 5, 20, true);
    Move(10 + 95 + 5, 20);  // 95 * 1 / 190 = 0.5 -> 0
    EXPECT_EQ(t->Position(), 0);
    Move(10 + 96 + 5, 20);
    EXPECT_EQ(t->Position(), 1);
    Button(10 + 96 + 5, 20, false);
}

TEST_F(SkinControls, TrackBarDrawsBarEndsStretchedMiddleTicksAndParent) {
    form->SetColor(TColor(kGreen));
    auto* t = Place<TdvxTrackBar>(10, 10, 200, 20);
    t->SetColor(TColor(kBlue));
    t->SetFrequency(3);
    form->Show();
    Pump();
    TBitmap bar;
    GetInsideThemeBitmap(DeepBlue, DVX_THEME_TRACKBAR_BAR_IMAGE, &bar, 0, 0);
    int bh = bar.Height(), fw = bar.Width() / 3;
    int barTop = 10 + (t->Height() - bh) / 2;
    int sw = t->Slider()->Width();
    // Sample the bar right of the slider: the left end lies under it at position 0.
    t->SetPosition(5);  // the slider away from the ticks checked below
    Pump();
    for (int y = 0; y < bh; ++y) {
        // The stretched middle shows pixels of the middle frame's row (0xFF00FF as Color).
        std::set<COLORREF> row;
        for (int x = fw; x < 2 * fw; ++x) {
            COLORREF c = ColorToRGB(bar.Canvas()->Pixels(x, y));
            row.insert(c == RGB(255, 0, 255) ? kBlue : c);
        }
        EXPECT_TRUE(row.count(At(10 + 60, barTop + y))) << "middle row " << y;
    }
    EXPECT_EQ(At(10 + 60, barTop - 1), COLORREF(kBlue)) << "opaque: Color beside the bar";
    // Ticks at 0, 3, 6, 9 and 10.
    std::vector<int> ticks;
    for (int i : {0, 3, 6, 9, 10}) ticks.push_back((200 - sw) * i / 10 + sw / 2);
    for (int p : ticks) EXPECT_EQ(At(10 + p, 10 + t->Height() - 1), RGB(0, 0, 0)) << "tick at " << p;
    EXPECT_NE(At(10 + (200 - sw) * 1 / 10 + sw / 2, 10 + t->Height() - 1), RGB(0, 0, 0)) << "no tick at 1";

    t->SetShowTick(false);
    t->SetTransparent(true);
    Pump();
    EXPECT_EQ(At(10 + 60, barTop - 1), kGreen) << "transparent: the parent beside the bar";
    Shot("trackbar");
}

// ---------------------------------------------------------------- progress bar

TEST_F(SkinControls, ProgressBarFillCaptionAndUnclampedPercent) {
    auto* p = new TdvxProgressBar(form);
    EXPECT_EQ(p->Width(), 150);
    EXPECT_EQ(p->Height(), 12);
    EXPECT_EQ(p->Text(), "50%");
    p->SetParent(form);
    p->SetBounds(10, 10, 416, 18);
    p->SetMax(100);
    p->SetPosition(50);
    p->SetShowCaption(false);
    form->Show();
    Pump();
    COLORREF picture = FramePixel(DeepBlue, DVX_THEME_PROGRESSBAR_IMAGE, 0, 0, 0, 5);
    EXPECT_EQ(At(10, 19), RGB(0, 0, 0)) << "frame";
    EXPECT_EQ(At(10 + 206, 19), picture);
    EXPECT_EQ(At(10 + 207, 19), RGB(0xE8, 0xE8, 0xE8));
    p->SetShowCaption(true);
    Pump();
    int left = 1000, right = -1;
    for (int x = 12; x < 424; ++x)
        for (int y = 12; y < 26; ++y)
            if (Near(At(x, y), RGB(0, 0, 0), 40)) left = std::min(left, x), right = std::max(right, x);
    EXPECT_NEAR((left + right) / 2.0, 10 + 208, 8.0) << "caption centred";
    Shot("progressbar");

    struct Case {
        int min, max, position;
        const char* caption;
        int fill;  // GetWidthFromPosition(415)
    } cases[] = {
        {0, 100, 0, "0%", 0},      {0, 100, 100, "100%", 415}, {0, 100, 101, "101%", 415},
        {0, 100, -10, "-10%", 0},  {10, 0, 5, "50%", 0},       {5, 5, 5, "0%", 0},
        {0, INT_MAX, INT_MAX - 1, "99%", 414}, {INT_MIN, INT_MAX, INT_MAX, "100%", 415},
        {0, 1, INT_MAX, "2147483647%", 415},
    };
    for (const Case& k : cases) {
        p->SetMin(k.min);
        p->SetMax(k.max);
        p->SetPosition(k.position);
        EXPECT_EQ(p->Text(), k.caption) << k.min << ".." << k.max << " at " << k.position;
        EXPECT_EQ(p->GetWidthFromPosition(415), k.fill) << k.min << ".." << k.max << " at " << k.position;
    }
    p->SetMin(0);
    p->SetMax(100);
    p->SetPosition(0);
    p->SetSmartShowCaption(true);
    Pump();
    for (int x = 12; x < 424; ++x) ASSERT_FALSE(Near(At(x, 19), RGB(0, 0, 0), 40)) << "smart caption hides 0%";
}

// ---------------------------------------------------------------- link label

TEST_F(SkinControls, LinkLabelOpensItsAddressAsOneArgument) {
    std::vector<std::vector<std::string>> launched;
    auto previous = SetProcessLauncher(std::make_unique<Recorder>(&launched));
    auto* l = new TdvxURLLabel(form);
    l->SetParent(form);
    l->SetLeft(10);
    l->SetTop(10);
    EXPECT_EQ(l->Caption(), "Welcome to Dravix");
    EXPECT_TRUE(l->Font()->Style().Contains(fsUnderline));
    EXPECT_EQ(l->Font()->Color(), clBlue);
    EXPECT_EQ(l->Cursor(), crHandPoint);
    EXPECT_GT(l->Width(), 10) << "auto-sized";
    int clicks = 0;
    l->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    Pump();
    Move(12, 12);
    EXPECT_EQ(l->Font()->Color(), clRed);
    Move(300, 200);
    EXPECT_EQ(l->Font()->Color(), clBlue);

    const std::string odd = "https://example.org/a b\"c'$(touch x)";
    l->SetURL(odd);
    Click(12, 12);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", odd}));
    l->SetURL("   ");
    Tick(1000);  // not a double click
    Click(12, 12);
    EXPECT_EQ(launched.size(), 1u) << "a blank address opens nothing";
    EXPECT_EQ(clicks, 2);
    SetProcessLauncher(nullptr);
}

// ---------------------------------------------------------------- arrow button

TEST_F(SkinControls, ArrowButtonDrawsItsTriangle) {
    Place<TdvxArrowButton>(10, 10, 20, 15);
    auto* down = Place<TdvxArrowButton>(40, 10, 20, 15);
    down->SetArrow(dvxDown);
    form->Show();
    Pump();
    int x0 = (20 - 6) / 2, y0 = (15 - 3) / 2;
    // The apex and the middle of the base of each triangle.
    EXPECT_EQ(At(10 + x0 + 3, 10 + y0), RGB(0, 0, 0));
    EXPECT_EQ(At(10 + x0 + 3, 10 + y0 + 3), RGB(0, 0, 0));
    EXPECT_NE(At(10 + x0 + 6, 10 + y0), RGB(0, 0, 0)) << "up: the top corners stay open";
    EXPECT_EQ(At(40 + x0 + 3, 10 + y0 + 3), RGB(0, 0, 0));
    EXPECT_NE(At(40 + x0 + 6, 10 + y0 + 3), RGB(0, 0, 0)) << "down: the bottom corners stay open";
}

// ---------------------------------------------------------------- collapsible panel

TEST_F(SkinControls, PanelRollsIn15PixelStepsAndIgnoresANestedRoll) {
    auto* p = Place<TdvxPanel>(10, 10, 100, 100);
    p->SetHeight2(100);
    ASSERT_EQ(p->StripHeight(), 20);
    std::vector<int> heights;
    int pushes = 0, pops = 0;
    bool nest = false;
    p->OnResize = [&](TObject*) {
        heights.push_back(p->Height());
        if (nest) {
            nest = false;
            p->Push();  // asked again mid-roll: ignored
            p->Pop();
        }
    };
    p->OnPush = [&](TObject*) { ++pushes; };
    p->OnPop = [&](TObject*) { ++pops; };
    form->Show();
    Pump();
    heights.clear();
    nest = true;
    p->Push();
    EXPECT_EQ(heights, (std::vector<int>{85, 70, 55, 40, 25, 20}));
    EXPECT_TRUE(p->GetPushed());
    EXPECT_EQ(pushes, 1);
    EXPECT_EQ(pops, 0);

    p->SetHeight2(130);
    EXPECT_EQ(p->Height(), 20) << "a closed panel stays closed";
    heights.clear();
    p->Pop();
    EXPECT_EQ(heights, (std::vector<int>{35, 50, 65, 80, 95, 110, 125, 130}));
    EXPECT_EQ(pops, 1);

    // The push button in the strip.
    int W = p->Width();
    Click(10 + W - 1 - 13 - 4 + 6, 10 + 8);
    EXPECT_TRUE(p->GetPushed());
    Shot("panel_closed");

    auto* docked = Place<TdvxPanel>(200, 10, 100, 100);
    docked->SetAlign(alLeft);
    try {
        docked->Push();
        ADD_FAILURE() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Can't push when Align is alClient, alLeft or alRight.");
    }
    EXPECT_FALSE(docked->GetPushed());
    auto* mac = Place<TdvxPanel>(300, 150, 100, 100);
    mac->SetUIStyle(MacOS);
    EXPECT_EQ(mac->CaptionFontColor(), clBlack);
}

// ---------------------------------------------------------------- group boxes

TEST_F(SkinControls, GroupBoxFrameLeavesAGapForItsCaption) {
    auto* g = Place<TdvxGroupBox>(10, 10, 185, 105);
    g->SetColor(clWhite);
    g->SetBorderColor(TColor(kRed));
    g->SetCaption("Group");
    auto* closed = Place<TdvxGroupBox>(210, 10, 185, 105);
    closed->SetColor(clWhite);
    closed->SetBorderColor(TColor(kRed));
    form->Show();
    Pump();
    int y = 10 + std::abs(g->Font()->Height()) / 2 + 1;
    TBitmap probe;
    probe.SetSize(4, 4);
    probe.Canvas()->SetFont(g->Font());
    int tw = probe.Canvas()->TextWidth("Group");
    EXPECT_EQ(At(10, y), kRed) << "left edge";
    EXPECT_EQ(At(11, y), kRed) << "the short piece before the caption";
    EXPECT_NE(At(10 + 4, y), kRed) << "gap";
    EXPECT_NE(At(10 + tw + 4, y), kRed) << "gap";
    EXPECT_EQ(At(10 + tw + 7, y), kRed) << "the line again after the caption";
    EXPECT_EQ(At(10 + 184, y + 20), kRed) << "right edge";
    EXPECT_EQ(At(10 + 90, 10 + 104), kRed) << "bottom edge";
    for (int x = 211; x < 394; ++x) ASSERT_EQ(At(x, y), kRed) << "no caption: closed top line at " << x;

    SysLocale.MiddleEast = true;
    g->SetBiDiMode(bdRightToLeft);
    g->Repaint();
    Pump();
    EXPECT_EQ(At(10 + 1, y), kRed) << "right to left: the left edge one pixel in";
    EXPECT_EQ(At(10 + 184 - 2, y), kRed);
    EXPECT_NE(At(10 + 184 - 6, y), kRed) << "gap at the right";
    EXPECT_EQ(At(10 + 185 - tw - 8, y), kRed);
    SysLocale.MiddleEast = false;
    Shot("groupbox");
}

TEST_F(SkinControls, CheckGroupArrangesButtonsAndFollowsItsItems) {
    auto* g = Place<TdvxCheckGroup>(10, 10, 200, 120);
    g->SetUIStyle(WinXP);
    g->Items()->Add("a");
    g->Items()->Add("b");
    g->Items()->Add("c");
    g->Items()->Add("d");
    g->Items()->Add("e");
    g->SetColumns(2);
    ASSERT_EQ(g->ButtonCount(), 5);
    TRect r = g->GetClient();
    int H = r.bottom - (r.top + 8), rowHeight = H / 3, firstTop = (H % 3) / 2 + r.top + 8;
    int columnWidth = (200 - 10) / 2;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(g->Button(i)->Left(), (i / 3) * columnWidth + 8) << i;
        EXPECT_EQ(g->Button(i)->Top(), (i % 3) * rowHeight + firstTop) << i;
        EXPECT_EQ(g->Button(i)->GetUIStyle(), WinXP) << "the group's style reaches its buttons";
    }
    g->SetColumns(0);
    EXPECT_EQ(g->Columns(), 2) << "0 columns refused";
    g->SetColumns(-1);
    EXPECT_EQ(g->Columns(), 2);
    g->SetChecked(7, true);
    g->SetItemEnabled(-1, false);
    EXPECT_FALSE(g->Checked(7));
    EXPECT_FALSE(g->ItemEnabled(5));
    g->SetChecked(1, true);
    EXPECT_TRUE(g->Checked(1));

    auto* lines = new TStringList;
    lines->Add("first");
    g->SetItems(lines);
    delete lines;
    ASSERT_EQ(g->ButtonCount(), 1);
    EXPECT_EQ(g->Button(0)->Caption(), "first");

    // The items changed from inside a click of one of the buttons.
    g->Items()->Add("second");
    int clicks = 0;
    g->OnClick = [&](TObject*) {
        ++clicks;
        g->Items()->Clear();
    };
    form->Show();
    Pump();
    TdvxCheckBox* b = g->Button(1);
    Click(10 + b->Left() + 3, 10 + b->Top() + b->Height() / 2);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(g->ButtonCount(), 0);
    g->Items()->Add("again");
    EXPECT_EQ(g->ButtonCount(), 1);
}

TEST_F(SkinControls, RadioGroupItemIndexRules) {
    auto* g = Place<TdvxRadioGroup>(10, 10, 200, 120);
    for (const char* s : {"x", "y", "z"}) g->Items()->Add(s);
    int clicks = 0;
    g->OnClick = [&](TObject*) { ++clicks; };
    EXPECT_EQ(g->ItemIndex(), -1);
    g->SetItemIndex(1);
    EXPECT_EQ(g->ItemIndex(), 1);
    EXPECT_EQ(clicks, 1);
    g->SetItemIndex(2);
    EXPECT_FALSE(g->Checked(1)) << "siblings unchecked";
    g->SetItemIndex(5);
    EXPECT_EQ(g->ItemIndex(), 2) << "out of range: nothing changes";
    g->SetItemIndex(-1);
    EXPECT_EQ(g->ItemIndex(), -1);
    EXPECT_EQ(std::string(typeid(*g->Button(0)).name()).find("TdvxRadioGroupButton") != std::string::npos, true);
}

// ---------------------------------------------------------------- scroll bar

TEST_F(SkinControls, ScrollBarThumbLengthsLineButtonAndZeroSize) {
    auto* s = Place<TdvxScrollBar>(10, 10, 200, 16);
    EXPECT_EQ(s->Orientation(), dvxHorizontal);
    EXPECT_EQ(s->Height(), s->DecButton()->Height()) << "as high as its decrement button";
    EXPECT_EQ(s->Max(), 100);
    EXPECT_EQ(s->SmallChange(), 1);
    EXPECT_EQ(s->LineButton(), 0);
    int track = s->Track()->Width();
    EXPECT_EQ(track, 200 - s->IncButton()->Width() - s->DecButton()->Width());
    struct Case {
        int pageSize, length;
    } cases[] = {{5, track * 10 / 100}, {150, track * 10 / 100}, {50, track * 50 / 100}, {100, track}};
    for (const Case& k : cases) {
        s->SetPageSize(k.pageSize);
        EXPECT_EQ(s->Track()->Slider()->Width(), k.length) << "page size " << k.pageSize;
    }
    s->SetLineButton(8);
    EXPECT_EQ(s->LineButton(), 16);
    EXPECT_EQ(s->Track()->Slider()->Width(), 16);
    s->SetLineButton(track + 1);
    EXPECT_EQ(s->LineButton(), 16) << "longer than the free length: ignored";

    s->SetWidth(0);
    EXPECT_FALSE(s->Visible());
}

TEST_F(SkinControls, ScrollBarArrowStepsAtThePressThenEvery100ms) {
    auto* s = Place<TdvxScrollBar>(10, 10, 200, 16);
    form->Show();
    Pump();
    int x = 10 + s->IncButton()->Left() + 3, y = 10 + 4;
    Button(x, y, true);
    EXPECT_EQ(s->Position(), 1) << "a click released at once still steps";
    Tick(100);
    EXPECT_EQ(s->Position(), 2);
    Tick(100);
    EXPECT_EQ(s->Position(), 3);
    Button(x, y, false);
    Tick(300);
    EXPECT_EQ(s->Position(), 3);
    Click(10 + 3, y);
    EXPECT_EQ(s->Position(), 2);
    Shot("scrollbar");
}

TEST_F(SkinControls, ScrollBarPicturesTurnWithTheOrientation) {
    auto* s = Place<TdvxScrollBar>(10, 10, 200, 16);
    TBitmap frame;
    GetInsideThemeBitmap(DeepBlue, DVX_THEME_SCROLLBAR_BUTTON_IMAGE, &frame, 6, 1);
    TBitmap* dec = s->DecButton()->PicNormal()->Bitmap();
    ASSERT_EQ(dec->Width(), frame.Height()) << "horizontal: a quarter turn";
    // Counter-clockwise: the frame's top-right pixel lands at the top-left.
    EXPECT_EQ(ColorToRGB(dec->Canvas()->Pixels(0, 0)), ColorToRGB(frame.Canvas()->Pixels(frame.Width() - 1, 0)));
    s->SetOrientation(dvxVertical);
    s->SetHeight(200);
    dec = s->DecButton()->PicNormal()->Bitmap();
    ASSERT_EQ(dec->Width(), frame.Width()) << "vertical: as stored";
    for (auto [px, py] : {std::pair{0, 0}, std::pair{3, 7}, std::pair{frame.Width() - 1, frame.Height() - 1}})
        EXPECT_EQ(ColorToRGB(dec->Canvas()->Pixels(px, py)), ColorToRGB(frame.Canvas()->Pixels(px, py)));
    EXPECT_EQ(s->Width(), s->DecButton()->Width());
    TBitmap piece;
    GetInsideThemeBitmap(DeepBlue, DVX_THEME_SCROLLBAR_TRACK_IMAGE, &piece, 3, 1);
    TBitmap* thumb = s->Track()->Slider()->Picture()->Bitmap();
    EXPECT_EQ(thumb->Width(), piece.Height()) << "the pieces turned a quarter clockwise";
    // The start cap is the first piece turned by the clockwise helper; key pixels take the
    // bar's colour.
    TBitmap turned;
    turned.Assign(&piece);
    RoundPicture3(&turned);
    for (int y = 0; y < turned.Height(); ++y)
        for (int x = 0; x < turned.Width(); ++x) {
            COLORREF expected = ColorToRGB(turned.Canvas()->Pixels(x, y));
            if (expected == RGB(255, 0, 255)) expected = ColorToRGB(s->Color());
            ASSERT_EQ(ColorToRGB(thumb->Canvas()->Pixels(x, y)), expected) << x << "," << y;
        }
}

TEST_F(SkinControls, GalleryButtonMadeAtRunTimeAndSetCaption2) {
    // What the customisation dialog does with each gallery button.
    auto* b = new TdvxImageButton(form);
    EXPECT_EQ(b->Width(), 0);
    EXPECT_FALSE(b->Stretch());
    EXPECT_FALSE(b->DrawFocused());
    EXPECT_TRUE(b->PicNormal()->Graphic() == nullptr);
    TdvxUIStyle resolved;
    EXPECT_FALSE(b->UsingTheme(resolved));
    EXPECT_EQ(resolved, DeepBlue);
    b->SetParent(form);
    b->SetBounds(10, 10, 30, 20);
    b->SetTag(7);
    b->SetName("gallery7");
    Flat(b->PicNormal(), 30, 20, kRed);
    b->SetCaption2("Seven");
    b->SetCursor(crHandPoint);
    int clicks = 0;
    b->OnClick = [&](TObject* sender) { clicks += sender == b; };
    form->Show();
    Pump();
    EXPECT_EQ(b->Text(), "Seven");
    EXPECT_EQ(b->GetCaption(), "Seven");
    int paints = 0;
    TWindowProc original = b->WindowProc;
    b->WindowProc = [&](TMessage& m) {
        paints += m.Msg == WM_PAINT;
        original(m);
    };
    b->SetCaption2("Seven");
    Pump();
    EXPECT_GE(paints, 1) << "the same caption still repaints";
    EXPECT_EQ(b->GetCaption(), "Seven");
    b->WindowProc = original;
    Click(20, 20);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(At(12, 12), kRed);
}

TEST_F(SkinControls, ToolBarSpeedButtonGradientAndHoverFrame) {
    auto* b = Place<TdvxToolBarSpeedButton>(10, 10, 18, 18);
    EXPECT_EQ(b->Width(), 18);
    b->SetColor(TColor(RGB(255, 0, 0)));
    b->SetToColor(TColor(RGB(0, 0, 255)));
    TBitmap glyph;
    glyph.SetPixelFormat(pf24bit);
    glyph.SetSize(8, 8);
    glyph.Canvas()->Brush()->SetColor(TColor(kGreen));
    glyph.Canvas()->FillRect(TRect(0, 0, 8, 8));
    glyph.Canvas()->SetPixels(0, 7, TColor(kWhite));  // the bottom-left colour is see-through
    b->SetGlyph(&glyph);
    form->Show();
    Pump();
    EXPECT_EQ(At(20, 10), RGB(255, 0, 0)) << "the gradient's first row is Color";
    EXPECT_EQ(At(20, 27), RGB(0, 0, 255)) << "its last row ToColor";
    EXPECT_EQ(At(13, 13), kGreen) << "glyph at (1, 1)";
    EXPECT_EQ(At(11, 18), At(20, 18)) << "the glyph's transparent colour shows the gradient";
    COLORREF edge = At(10, 20);
    EXPECT_NE(edge, RGB(0, 0, 0));
    Move(15, 15);
    EXPECT_TRUE(b->IsMouseOver());
    EXPECT_EQ(At(10, 20), RGB(0, 0, 0)) << "black frame while hovered";
    Move(300, 200);
    EXPECT_EQ(At(10, 20), edge);
}

TEST_F(SkinControls, ButtonGlyphOfTwiceItsHeightIsTwoFrames) {
    auto* b = Place<TdvxButton>(10, 10, 80, 27);
    TBitmap glyph;
    glyph.SetPixelFormat(pf24bit);
    glyph.SetSize(32, 16);
    glyph.Canvas()->Brush()->SetColor(TColor(kRed));
    glyph.Canvas()->FillRect(TRect(0, 0, 16, 16));
    glyph.Canvas()->Brush()->SetColor(TColor(kBlue));
    glyph.Canvas()->FillRect(TRect(16, 0, 32, 16));
    glyph.Canvas()->SetPixels(0, 0, TColor(kWhite));  // the mask colour
    b->SetGlyph(&glyph);
    form->Show();
    Pump();
    // No caption: blGlyphLeft puts the 16-wide frame at ((80 - 0 - 16 - 4) / 2, (27 - 16) / 2).
    int gx = 10 + (80 - 16 - 4) / 2, gy = 10 + (27 - 16) / 2;
    EXPECT_EQ(At(gx + 8, gy + 8), kRed) << "enabled: frame 1";
    EXPECT_NE(At(gx + 16 + 2, gy + 8), kBlue) << "only one frame wide";
    b->SetEnabled(false);
    Pump();
    EXPECT_EQ(At(gx + 8, gy + 8), kBlue) << "disabled: frame 2";
}

TEST_F(SkinControls, VerticalProgressBarGrowsUpAndDropsItsCaption) {
    auto* p = Place<TdvxProgressBar>(10, 10, 18, 100);
    p->SetOrientation(dvxVertical);
    p->SetPosition(50);
    EXPECT_TRUE(p->ShowCaption());
    form->Show();
    Pump();
    EXPECT_FALSE(p->ShowCaption()) << "a vertical bar stops showing its caption";
    // y = 99 - 49 = 50: filled below, Color above.
    EXPECT_EQ(At(19, 10 + 30), RGB(0xE8, 0xE8, 0xE8));
    EXPECT_NE(At(19, 10 + 80), RGB(0xE8, 0xE8, 0xE8));
    EXPECT_EQ(At(10, 10 + 50), RGB(0, 0, 0)) << "frame";
}

TEST_F(SkinControls, TrackBarKeys) {
    auto* t = Place<TdvxTrackBar>(10, 10, 200, 20);
    t->SetMax(20);
    t->SetPageSize(5);
    form->Show();
    Pump();
    t->SetFocus();
    Pump();
    EXPECT_EQ(t->Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
    struct Case {
        WORD key;
        int position;
    } cases[] = {{VK_NEXT, 5}, {VK_RIGHT, 6}, {VK_DOWN, 7}, {VK_END, 20}, {VK_NEXT, 20},
                 {VK_PRIOR, 15}, {VK_LEFT, 14}, {VK_UP, 13}, {VK_HOME, 0}, {VK_UP, 0}};
    for (const Case& k : cases) {
        Key(k.key, true);
        Key(k.key, false);
        EXPECT_EQ(t->Position(), k.position) << "key " << k.key;
    }
}

TEST_F(SkinControls, RadioButtonIsChosenWhenTheFocusComesFromARadioGroupButton) {
    auto* g = Place<TdvxRadioGroup>(10, 10, 200, 100);
    for (const char* item : {"x", "y"}) g->Items()->Add(item);
    auto* plain = Place<TdvxCheckBox>(10, 150, 80, 17);
    auto* r = Place<TdvxRadioButton>(10, 200, 80, 17);
    form->Show();
    Pump();
    plain->SetFocus();
    Pump();
    r->SetFocus();
    Pump();
    EXPECT_FALSE(r->Checked()) << "focus from a plain control only focuses";
    g->Button(0)->SetFocus();
    Pump();
    r->SetFocus();
    Pump();
    EXPECT_TRUE(r->Checked()) << "focus from a radio-group button clicks";
}

}  // namespace
