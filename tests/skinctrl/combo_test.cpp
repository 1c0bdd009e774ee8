// The skinned combo box: what it paints over the platform box in each look and state, the
// frame of the dropped list, and when its change event runs.
#include <string>
#include <vector>

#include "edits_support.h"
#include "platform/graphics/resources.h"
#include "platform/controls/dialogs.h"
#include "skinctrl/dvxcolorbox.h"
#include "skinctrl/dvxcombobox.h"
#include "skinctrl/dvxfiletheme.h"

using namespace platform;
using namespace skinctrl;
using namespace skintest;

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255), kButton = RGB(232, 232, 232),
                   kGrey = RGB(128, 128, 128);

class SkinCombo : public SkinForm {
protected:
    TdvxComboBox* Combo(TdvxUIStyle style, TComboBoxStyle kind = csDropDownList) {
        auto* c = Place<TdvxComboBox>(20, 20, 140, 24);
        c->SetStyle(kind);
        c->SetUIStyle(style);
        for (const char* s : {"Apple", "Banana", "Cherry", "Damson"}) c->Items()->Add(s);
        c->OnChange = [this, c](TObject* sender) { Log(std::string(sender == c ? "" : "? ") + "change " + std::to_string(c->ItemIndex())); };
        Pump();
        return c;
    }
    // The button rectangle in window coordinates (the client starts 2 pixels in).
    static TRect ButtonInWindow(TdvxComboBox* c) {
        COMBOBOXINFO info;
        EXPECT_TRUE(GetComboBoxInfo(c->Handle(), &info));
        TRect b(info.rcButton);
        OffsetRect(&b, 2, 2);
        return b;
    }
    // The arrow's origin in window coordinates.
    static TPoint Arrow(TdvxComboBox* c) {
        COMBOBOXINFO info;
        GetComboBoxInfo(c->Handle(), &info);
        TRect b(info.rcButton);
        return TPoint((b.right - b.left) / 2 + b.left - 3 + 2, (b.bottom - b.top) / 2 + 2);
    }
};

TEST_F(SkinCombo, DeepBlueDrawsFrameButtonSeparatorAndArrow) {
    auto* c = Combo(DeepBlue);
    HWND h = c->Handle();
    TRect b = ButtonInWindow(c);
    TPoint a = Arrow(c);
    Shot(h, "combo_deepblue");
    struct Pixel {
        const char* what;
        int x, y;
        COLORREF want;
    } pixels[] = {
        {"outer line, top left", 0, 0, kBlack},
        {"outer line, bottom right", c->Width() - 1, c->Height() - 1, kBlack},
        {"inner line in the box colour", 1, 1, ColorToRGB(c->Color())},
        {"inner line at the bottom", 30, c->Height() - 2, ColorToRGB(c->Color())},
        {"button face", b.left + 2, b.top + 2, kButton},
        {"button face, lower right", b.right - 2, b.bottom - 2, kButton},
        {"separator at the button's left edge", b.left, b.top + 5, kBlack},
        {"arrow, left end of the top row", a.x, a.y, kBlack},
        {"arrow, right end of the top row", a.x + 6, a.y, kBlack},
        {"arrow tip", a.x + 3, a.y + 3, kBlack},
        {"left of the arrow", a.x - 1, a.y, kButton},
        {"right of the arrow", a.x + 7, a.y, kButton},
        {"below the tip", a.x + 3, a.y + 4, kButton},
    };
    for (const auto& p : pixels) EXPECT_EQ(Hex(Px(h, p.x, p.y)), Hex(p.want)) << p.what;
}

TEST_F(SkinCombo, DisabledArrowIsEmbossedAndEnablingRepaintsAtOnce) {
    auto* c = Combo(DeepBlue);
    HWND h = c->Handle();
    TPoint a = Arrow(c);
    c->SetEnabled(false);
    Pump();
    Shot(h, "combo_disabled");
    EXPECT_EQ(Hex(Px(h, a.x, a.y)), Hex(kGrey));
    EXPECT_EQ(Hex(Px(h, a.x + 3, a.y + 3)), Hex(kGrey));
    EXPECT_EQ(Hex(Px(h, a.x + 7, a.y + 1)), Hex(kWhite)) << "shadow's right end";
    EXPECT_EQ(Hex(Px(h, a.x + 4, a.y + 4)), Hex(kWhite)) << "shadow's tip";
    c->SetEnabled(true);
    Pump();
    EXPECT_EQ(Hex(Px(h, a.x, a.y)), Hex(kBlack));
    EXPECT_EQ(Hex(Px(h, a.x + 4, a.y + 4)), Hex(kButton));
}

TEST_F(SkinCombo, PictureLooksStretchTheirButtonAndOnlyMacOSAddsTheArrow) {
    for (TdvxUIStyle style : {MacOS, WinXP}) {
        SCOPED_TRACE(style == MacOS ? "MacOS" : "WinXP");
        auto* c = Combo(style);
        HWND h = c->Handle();
        TRect b = ButtonInWindow(c);
        TPoint a = Arrow(c);
        Shot(h, style == MacOS ? "combo_macos" : "combo_winxp");
        // The expected button: the picture stretched to the button's size.
        EnsureStyleResources();
        TBitmap picture, want;
        picture.LoadFromResourceName(HInstance, style == MacOS ? "MACOS_COMBOBOX_BUTTON" : "WINXP_COMBOBOX_BUTTON");
        want.SetPixelFormat(pf24bit);
        want.SetSize(b.Width(), b.Height());
        want.Canvas()->StretchDraw(TRect(0, 0, b.Width(), b.Height()), &picture);
        for (TPoint p : {TPoint(1, 1), TPoint(b.Width() / 2, 2), TPoint(2, b.Height() - 3), TPoint(b.Width() - 2, b.Height() / 2)})
            EXPECT_EQ(Hex(Px(h, b.left + p.x, b.top + p.y)), Hex(ColorToRGB(want.Canvas()->Pixels(p.x, p.y))))
                << p.x << "," << p.y;
        COLORREF tip = Px(h, a.x + 3, a.y + 3);
        if (style == MacOS)
            EXPECT_EQ(Hex(tip), Hex(kBlack));
        else
            EXPECT_EQ(Hex(tip), Hex(ColorToRGB(want.Canvas()->Pixels(a.x + 3 - b.left, a.y + 3 - b.top))));
        // Both keep the frame.
        EXPECT_EQ(Hex(Px(h, 0, 0)), Hex(ColorToRGB(c->BorderColor())));
        delete c;
    }
}

TEST_F(SkinCombo, SimpleStyleGetsNoFrameOrButton) {
    auto* c = Combo(DeepBlue, csSimple);
    c->SetHeight(80);
    Pump();
    HWND h = c->Handle();
    EXPECT_NE(Hex(Px(h, 0, 0)), Hex(kBlack));
    EXPECT_NE(Hex(Px(h, c->Width() - 8, 8)), Hex(kButton));
}

TEST_F(SkinCombo, TheDroppedListHasAOnePixelFrameInBorderColor) {
    auto* c = Combo(DeepBlue);
    c->SetBorderColor(RGB(200, 0, 0));
    Pump();
    Click(20 + 70, 20 + 12);
    ASSERT_TRUE(c->DroppedDown());
    HWND list = c->ListControl()->Handle();
    RECT wr;
    GetWindowRect(list, &wr);
    int w = wr.right - wr.left, hgt = wr.bottom - wr.top;
    Shot(list, "combo_dropped_list");
    for (TPoint p : {TPoint(0, 0), TPoint(w - 1, hgt / 2), TPoint(w / 2, hgt - 1), TPoint(0, hgt - 1)})
        EXPECT_EQ(Hex(Px(list, p.x, p.y)), Hex(RGB(200, 0, 0))) << p.x << "," << p.y;
    // The box's own frame took the new colour too.
    EXPECT_EQ(Hex(Px(c->Handle(), 0, 0)), Hex(RGB(200, 0, 0)));
    Key(VK_ESCAPE);
    EXPECT_FALSE(c->DroppedDown());
}

TEST_F(SkinCombo, ChangeRunsOncePerUserPickAndNeverForCode) {
    auto* c = Combo(DeepBlue);
    // Code: items and index set by the program.
    c->SetItemIndex(2);
    c->Items()->Add("Elder");
    c->Items()->Delete(4);
    c->SetItemIndex(-1);
    c->SetItemIndex(0);
    Pump();
    EXPECT_TRUE(events.empty());
    // Mouse: drop the list, click the third row.
    Click(20 + 70, 20 + 12);
    ASSERT_TRUE(c->DroppedDown());
    RECT wr;
    GetWindowRect(c->ListControl()->Handle(), &wr);
    RECT fr;
    GetWindowRect(Top(), &fr);
    int rowY = wr.top - fr.top + 1 + c->ItemHeight() * 2 + c->ItemHeight() / 2;
    Click(wr.left - fr.left + 20, rowY);
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->ItemIndex(), 2);
    // Picking the same entry again changes nothing.
    Click(20 + 70, 20 + 12);
    Click(wr.left - fr.left + 20, rowY);
    // Keys on the closed box, then down the open list and Enter.
    Key(VK_DOWN);
    InputKey(VK_MENU, true);
    Key(VK_DOWN);
    InputKey(VK_MENU, false);
    Pump();
    ASSERT_TRUE(c->DroppedDown());
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_RETURN);
    // Escape on an open list keeps the old entry.
    Click(20 + 70, 20 + 12);
    Key(VK_DOWN);
    Key(VK_ESCAPE);
    EXPECT_EQ(events, (std::vector<std::string>{"change 2", "change 3", "change 1"}));
    EXPECT_EQ(c->ItemIndex(), 1);
}

TEST_F(SkinCombo, StyleChangeResetsArrowAndRemovingTheThemeFallsBackToDeepBlue) {
    auto* c = Combo(Protein);
    c->SetArrowColor(RGB(0, 0, 255));
    c->SetUIStyle(MacOS);
    EXPECT_EQ(c->ArrowColor(), clBlack);
    EXPECT_EQ(c->BorderColor(), GetInsideThemeColor(MacOS, DVX_THEME_CONTROL_BORDER_COLOR));
    auto* theme = new TdvxFileTheme(form);
    c->SetUIStyle(FromThemeFile);
    c->SetFileTheme(theme);
    delete theme;
    EXPECT_EQ(c->GetFileTheme(), nullptr);
    EXPECT_EQ(c->GetUIStyle(), DeepBlue);
    EXPECT_EQ(c->ButtonColor(), GetInsideThemeColor(DeepBlue, DVX_THEME_FORM_COLOR));
    EXPECT_EQ(ColorToRGB(c->ButtonColor()), kButton);
}

// ---------------------------------------------------------------- colour box

class SkinColorBox : public SkinCombo {
protected:
    void TearDown() override {
        DialogHandler = nullptr;
        SkinCombo::TearDown();
    }
    TdvxColorBox* Box(TColorBoxStyles style = {cbStandardColors, cbExtendedColors, cbSystemColors}) {
        auto* c = Place<TdvxColorBox>(20, 20, 160, 22);
        c->SetStyle(style);
        c->OnChange = [this](TObject*) { Log("change"); };
        c->OnSelect = nullptr;
        Pump();
        return c;
    }
    // Answers the colour dialog: OK with color, or Cancel.
    void AnswerDialog(bool ok, TColor color) {
        DialogHandler = [this, ok, color](TCommonDialog& d) {
            auto& dialog = dynamic_cast<TColorDialog&>(d);
            Log("dialog " + Hex(COLORREF(dialog.Color())) + " " + dialog.CustomColors()->Get(0));
            if (ok) dialog.SetColor(color);
            return ok;
        };
    }
};

TEST_F(SkinColorBox, DefaultListHoldsFiftyColoursInTheTablesOrder) {
    auto* c = Box();
    ASSERT_EQ(c->Items()->Count(), 50);
    EXPECT_EQ(c->GetColorName(0), "clBlack");
    EXPECT_EQ(c->GetColorName(15), "clWhite");
    EXPECT_EQ(c->GetColorName(16), "clMoneyGreen");
    EXPECT_EQ(c->GetColorName(49), "clWindowText");
    EXPECT_EQ(c->GetColor(12), clBlue);
    EXPECT_EQ(c->Items()->IndexOf("Custom..."), -1);
    EXPECT_EQ(c->ItemHeight(), 15);
    // Pretty names, the two special values and the custom entry.
    c->SetStyle({cbStandardColors, cbExtendedColors, cbIncludeNone, cbIncludeDefault, cbCustomColor, cbPrettyNames});
    EXPECT_EQ(c->Items()->Count(), 1 + 20 + 0);
    c->SetStyle({cbStandardColors, cbExtendedColors, cbSystemColors, cbIncludeNone, cbIncludeDefault, cbCustomColor, cbPrettyNames});
    EXPECT_EQ(c->Items()->Count(), 53);
    EXPECT_EQ(c->GetColorName(0), "Custom...");
    EXPECT_EQ(c->GetColorName(17), "Money Green");
    EXPECT_NE(c->Items()->IndexOf("3 D Dk Shadow"), -1);
    EXPECT_NE(c->Items()->IndexOf("None"), -1);
    EXPECT_TRUE(c->Enabled());
    c->SetStyle({cbIncludeNone, cbPrettyNames});
    EXPECT_FALSE(c->Enabled());
    EXPECT_TRUE(events.empty());
}

TEST_F(SkinColorBox, SelectedBeforeAndAfterTheWindowAndTheCustomEntry) {
    auto* c = new TdvxColorBox(form);
    c->SetSelected(clBlue);
    EXPECT_EQ(c->GetSelected(), clBlue);
    EXPECT_FALSE(c->HandleAllocated());
    c->SetParent(form);
    c->HandleNeeded();
    EXPECT_EQ(c->Items()->Count(), 50);
    EXPECT_EQ(c->GetColorName(c->ItemIndex()), "clBlue");
    EXPECT_EQ(c->GetSelected(), TColor(0x00FF0000));
    // A colour no entry has.
    c->SetSelected(TColor(RGB(1, 2, 3)));
    EXPECT_EQ(c->ItemIndex(), -1);
    EXPECT_EQ(c->GetSelected(), kNoColorSelected);
    // With the custom entry it goes there; kNoColorSelected clears the selection.
    c->SetStyle({cbStandardColors, cbCustomColor});
    c->SetSelected(TColor(RGB(1, 2, 3)));
    EXPECT_EQ(c->ItemIndex(), 0);
    EXPECT_EQ(c->GetSelected(), TColor(RGB(1, 2, 3)));
    c->SetSelected(kNoColorSelected);
    EXPECT_EQ(c->ItemIndex(), -1);
    EXPECT_EQ(c->GetColor(0), TColor(RGB(1, 2, 3)));
    EXPECT_TRUE(events.empty());
}

TEST_F(SkinColorBox, SwatchFramesFollowTheColourAndTheSelection) {
    auto* c = Box();
    c->SetDropDownCount(20);
    c->SetSelected(clNavy);
    Click(20 + 80, 20 + 11);
    ASSERT_TRUE(c->DroppedDown());
    HWND list = c->ListControl()->Handle();
    Shot(list, "colorbox_list");
    // Row i starts at 15 i in the list window; the swatch's frame at (1, row + 1), its inside
    // at (5, row + 7).
    auto frame = [&](int row) { return Px(list, 1, 15 * row + 1); };
    auto inside = [&](int row) { return Px(list, 5, 15 * row + 7); };
    EXPECT_EQ(Hex(frame(15)), Hex(kBlack)) << "white swatch: black frame";
    EXPECT_EQ(Hex(inside(15)), Hex(kWhite));
    EXPECT_EQ(Hex(frame(1)), Hex(RGB(128, 0, 0))) << "dark swatch, not selected: its own colour";
    EXPECT_EQ(Hex(frame(4)), Hex(kWhite)) << "dark swatch on the selected row";
    EXPECT_EQ(Hex(inside(4)), Hex(RGB(0, 0, 128)));
    Key(VK_ESCAPE);
    EXPECT_TRUE(events.empty());
}

TEST_F(SkinColorBox, ChoosingCustomAfterTheListClosedAsksTheDialog) {
    auto* c = Box({cbStandardColors, cbCustomColor});
    c->SetSelected(TColor(RGB(0x12, 0x34, 0x56)));
    // Second in the list, so the dropped list starts at the custom entry.
    c->SetSelected(clBlack);
    int rowY = 0;
    auto pickCustom = [&] {
        Click(20 + 80, 20 + 11);
        RECT wr, fr;
        GetWindowRect(c->ListControl()->Handle(), &wr);
        GetWindowRect(Top(), &fr);
        rowY = wr.top - fr.top + 1 + 7;
        Click(wr.left - fr.left + 40, rowY);
    };
    // Cancel: no change, no select, the entry keeps its colour.
    AnswerDialog(false, clNone);
    c->OnSelect = nullptr;
    pickCustom();
    EXPECT_EQ(events, std::vector<std::string>{"dialog 563412 ColorA=00563412"});
    EXPECT_EQ(c->GetColor(0), TColor(RGB(0x12, 0x34, 0x56)));
    // OK: the entry takes the dialog's colour and the change runs once.
    events.clear();
    c->SetSelected(clBlack);
    AnswerDialog(true, TColor(RGB(9, 8, 7)));
    pickCustom();
    EXPECT_EQ(events, (std::vector<std::string>{"dialog 563412 ColorA=00563412", "change"}));
    EXPECT_EQ(c->GetSelected(), TColor(RGB(9, 8, 7)));
    // With OnSelect assigned it runs instead of OnChange.
    events.clear();
    c->SetSelected(clBlack);
    c->OnSelect = [this](TObject*) { Log("select"); };
    pickCustom();
    EXPECT_EQ(events, (std::vector<std::string>{"dialog 070809 ColorA=00070809", "select"}));
    // Keys on the closed box: a pick goes straight to the event; Return on the custom entry
    // asks the dialog.
    events.clear();
    c->OnSelect = nullptr;
    c->SetSelected(clBlack);
    c->SetFocus();
    Key(VK_UP);
    EXPECT_EQ(c->ItemIndex(), 0);
    InputKey(VK_RETURN, true);
    InputChar('\r');
    InputKey(VK_RETURN, false);
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"change", "dialog 070809 ColorA=00070809"}));
}

}  // namespace
