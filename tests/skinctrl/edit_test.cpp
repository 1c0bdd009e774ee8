// The skinned edits: the border band in each look, the spin edit's value rules, key filter,
// beeps and arrow-button repeat on a virtual clock, the number edit's mask and pending
// input, and the masked edit's places.
#include <string>
#include <vector>

#include "edits_support.h"
#include "platform/controls/mask.h"
#include "skinctrl/dvxedit.h"

using namespace platform;
using namespace skinctrl;
using namespace skintest;

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);

class SkinEdit : public SkinForm {
protected:
    template <class T>
    T* Edit(int x = 20, int y = 20, int w = 120, int h = 24) {
        auto* e = Place<T>(x, y, w, h);
        e->OnChange = [this, e](TObject*) { Log("change " + e->Text()); };
        Pump();
        return e;
    }
    // Moves the focus away from the edit (CM_EXIT) to a plain one.
    void Leave() {
        if (!other) other = Place<TEdit>(300, 20, 60, 24);
        other->SetFocus();
        Pump();
    }
    TEdit* other = nullptr;
};

// ---------------------------------------------------------------- border band

TEST_F(SkinEdit, BorderBandIsBorderColorOutsideAndTheEditColourInside) {
    struct Case {
        TdvxUIStyle style;
        COLORREF outer;
    } cases[] = {{DeepBlue, kBlack}, {Protein, kBlack}, {MacOS, RGB(127, 127, 127)}, {WinXP, RGB(104, 104, 104)}};
    for (const auto& c : cases) {
        auto* e = Edit<TdvxEdit>();
        e->SetUIStyle(c.style);
        e->SetColor(TColor(RGB(250, 240, 200)));
        e->SetText("Hello");
        Pump();
        HWND h = e->Handle();
        SCOPED_TRACE(int(c.style));
        for (TPoint p : {TPoint(0, 0), TPoint(119, 23), TPoint(60, 0), TPoint(0, 12)})
            EXPECT_EQ(Hex(Px(h, p.x, p.y)), Hex(c.outer)) << p.x << "," << p.y;
        for (TPoint p : {TPoint(1, 1), TPoint(118, 22), TPoint(60, 22)})
            EXPECT_EQ(Hex(Px(h, p.x, p.y)), Hex(RGB(250, 240, 200))) << p.x << "," << p.y;
        if (c.style == DeepBlue) Shot(h, "edit_deepblue");
        delete e;
    }
}

TEST_F(SkinEdit, BorderColourChangesRepaintAndSurviveFrameRepaintsAndTyping) {
    auto* e = Edit<TdvxEdit>();
    e->SetBorderColor(TColor(RGB(200, 0, 0)));
    Pump();
    HWND h = e->Handle();
    EXPECT_EQ(Hex(Px(h, 0, 0)), Hex(RGB(200, 0, 0)));
    RedrawWindow(h, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    Pump();
    EXPECT_EQ(Hex(Px(h, 5, 23)), Hex(RGB(200, 0, 0)));
    e->SetFocus();
    Type("typing");
    EXPECT_EQ(Hex(Px(h, 119, 10)), Hex(RGB(200, 0, 0)));
    // Setting the text runs the change event, also from code; the same text does not.
    events.clear();
    e->SetText("x");
    e->SetText("x");
    EXPECT_EQ(events, std::vector<std::string>{"change x"});
}

TEST_F(SkinEdit, PastedTextOfAnySizeStopsAtMaxLength) {
    auto* e = Edit<TdvxEdit>();
    e->SetMaxLength(10);
    clipboard = std::string(200000, '7');
    e->SetFocus();
    e->Perform(WM_PASTE);
    EXPECT_EQ(e->Text(), std::string(10, '7'));
}

// ---------------------------------------------------------------- spin edit

TEST_F(SkinEdit, SpinEditValueTable) {
    auto* s = Edit<TdvxSpinEdit>();
    EXPECT_EQ(s->Text(), "0");
    EXPECT_EQ(s->Increment(), 1);
    EXPECT_TRUE(s->EditorEnabled());
    struct Set {
        int min, max, value;
        const char* shows;
    } sets[] = {{1, 300, 0, "1"},         {1, 300, 301, "300"}, {1, 300, -5, "1"},  {1, 300, 150, "150"},
                {0, 0, 123456, "123456"}, {0, 0, -7, "-7"},     {5, 5, -9, "-9"}};
    for (const auto& c : sets) {
        s->SetMinValue(c.min);
        s->SetMaxValue(c.max);
        s->SetValue(c.value);
        EXPECT_EQ(s->Text(), c.shows) << c.min << ".." << c.max << " " << c.value;
    }
    struct Read {
        const char* text;
        int value;
    } reads[] = {{"", 1},   {"abc", 1}, {"12abc", 1}, {"-", 1},    {"99999999999", 1}, {"\xff\xfe", 1},
                 {"500", 500}, {"-40", -40}, {"2147483647", 2147483647}};
    s->SetMinValue(1);
    s->SetMaxValue(300);
    for (const auto& c : reads) {
        s->SetText(c.text);
        EXPECT_EQ(s->GetValue(), c.value) << c.text;
    }
}

TEST_F(SkinEdit, LeavingPullsAnOutOfRangeEntryIntoRangeAndLeavesBadTextAlone) {
    auto* s = Edit<TdvxSpinEdit>();
    s->SetMinValue(1);
    s->SetMaxValue(300);
    struct Case {
        const char* typed;
        const char* after;
    } cases[] = {{"500", "300"}, {"-3", "1"}, {"", ""}, {"abc", "abc"}, {"42", "42"}};
    for (const auto& c : cases) {
        s->SetText(c.typed);
        s->SetFocus();
        Pump();
        Leave();
        EXPECT_EQ(s->Text(), c.after) << c.typed;
    }
}

TEST_F(SkinEdit, SpinKeyFilterBeepsAndKeepsOnlyWhatIsAllowed) {
    struct Case {
        bool editorEnabled;
        const char* typed;
        const char* shows;
        int beeps;
    } cases[] = {
        {true, "1a-2.", "01-2", 2},
        {true, "\xc3\xa9" "5", "05", 1},  // a character beyond ASCII
        {false, "1a-2", "0", 4},
        {false, "\b", "0", 1},
    };
    for (const auto& c : cases) {
        auto* s = Edit<TdvxSpinEdit>();
        s->SetEditorEnabled(c.editorEnabled);
        s->SetFocus();
        Pump();
        s->SetSelStart(1);
        int before = Beeps();
        std::string typed = c.typed;
        if (typed == "\xc3\xa9" "5") {
            InputChar(0xE9);
            InputChar('5');
            Pump();
        } else {
            Type(typed);
        }
        EXPECT_EQ(s->Text(), c.shows) << c.typed;
        EXPECT_EQ(Beeps() - before, c.beeps) << c.typed;
        delete s;
    }
}

TEST_F(SkinEdit, ArrowKeysStepAndReadOnlyBeepsButStillReportsTheKey) {
    auto* s = Edit<TdvxSpinEdit>();
    s->SetMinValue(0);
    s->SetMaxValue(10);
    s->SetIncrement(3);
    s->OnKeyDown = [this](TObject*, WORD& key, TShiftState) { Log("key " + std::to_string(key)); };
    s->SetFocus();
    Pump();
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_UP);  // 12 is cut to 10
    EXPECT_EQ(s->Text(), "10");
    Key(VK_DOWN);
    EXPECT_EQ(s->Text(), "7");
    // Editor disabled: the keys still step.
    s->SetEditorEnabled(false);
    Key(VK_DOWN);
    EXPECT_EQ(s->Text(), "4");
    s->SetReadOnly(true);
    events.clear();
    int before = Beeps();
    Key(VK_UP);
    EXPECT_EQ(s->Text(), "4");
    EXPECT_EQ(Beeps() - before, 1);
    EXPECT_EQ(events, std::vector<std::string>{"key " + std::to_string(VK_UP)});
}

TEST_F(SkinEdit, SteppingAtTheIntLimitsSaturates) {
    auto* s = Edit<TdvxSpinEdit>();
    s->SetIncrement(1000);
    s->SetText("2147483000");
    s->SetFocus();
    Key(VK_UP);
    EXPECT_EQ(s->Text(), "2147483647");
    s->SetText("-2147483000");
    Key(VK_DOWN);
    EXPECT_EQ(s->Text(), "-2147483648");
}

TEST_F(SkinEdit, CutAndPasteOnlyWhileEditable) {
    struct Case {
        bool editorEnabled, readOnly, works;
    } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
    for (const auto& c : cases) {
        auto* s = Edit<TdvxSpinEdit>();
        s->SetText("123");
        s->SetEditorEnabled(c.editorEnabled);
        s->SetReadOnly(c.readOnly);
        clipboard = "9";
        s->SetSelStart(0);
        s->SetSelLength(1);
        s->Perform(WM_CUT);
        EXPECT_EQ(s->Text(), c.works ? "23" : "123");
        s->SetSelStart(0);
        s->SetSelLength(0);
        clipboard = "4";
        s->Perform(WM_PASTE);
        EXPECT_EQ(s->Text(), c.works ? "423" : "123");
        delete s;
    }
}

TEST_F(SkinEdit, SpinButtonsSitAtTheRightOverlapAndDrawTheirTriangles) {
    auto* s = Edit<TdvxSpinEdit>(20, 20, 100, 24);
    TdvxSpinButtons* b = s->Buttons();
    HWND h = s->Handle();
    // Client 96 x 20: buttons 15 wide at 96 - 15, as high as the client; the text stops 2
    // pixels before them.
    EXPECT_EQ(b->Left(), 100 - 15 - 4);
    EXPECT_EQ(b->Height(), 20);
    EXPECT_EQ(b->UpButton()->BoundsRect(), TRect(0, 0, 15, 11));
    EXPECT_EQ(b->DownButton()->BoundsRect(), TRect(0, 10, 15, 21 - 1));
    RECT fr;
    s->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&fr));
    EXPECT_EQ(fr.right, 96 - 15 - 2);
    // The buttons never get narrower than 15.
    b->SetBounds(b->Left(), 0, 8, 20);
    EXPECT_EQ(b->Width(), 15);
    Shot(h, "spinedit");
    // Up triangle: tip at (x0 + 3, y0), base row y0 + 3 from x0 to x0 + 6, x0 = (15 - 6) div 2.
    int bx = 2 + b->Left(), x0 = (15 - 6) / 2, y0 = (11 - 3) / 2;
    EXPECT_EQ(Hex(Px(h, bx + x0 + 3, 2 + y0)), Hex(kBlack));
    EXPECT_EQ(Hex(Px(h, bx + x0, 2 + y0 + 3)), Hex(kBlack));
    EXPECT_EQ(Hex(Px(h, bx + x0 + 6, 2 + y0 + 3)), Hex(kBlack));
    EXPECT_NE(Hex(Px(h, bx + x0, 2 + y0)), Hex(kBlack));
    // Down triangle: base row on top.
    int dyy = 2 + 10 + (10 - 3) / 2;
    EXPECT_EQ(Hex(Px(h, bx + x0, dyy)), Hex(kBlack));
    EXPECT_EQ(Hex(Px(h, bx + x0 + 3, dyy + 3)), Hex(kBlack));
}

TEST_F(SkinEdit, HoldingAnArrowButtonStepsEvery400MsAndOnceOnRelease) {
    auto* s = Edit<TdvxSpinEdit>(20, 20, 100, 24);
    s->SetMaxValue(0);
    HWND h = s->Handle();
    int bx = 20 + 2 + s->Buttons()->Left() + 7, by = 20 + 2 + 5;
    COLORREF face = Px(h, 2 + s->Buttons()->Left() + 2, 2 + 2);
    Button(bx, by, true);
    COLORREF pressed = Px(h, 2 + s->Buttons()->Left() + 2, 2 + 2);
    EXPECT_NE(Hex(face), Hex(pressed)) << "the pressed frame";
    EXPECT_EQ(s->Text(), "0");
    Tick(399);
    EXPECT_EQ(s->Text(), "0");
    Tick(1);
    EXPECT_EQ(s->Text(), "1");
    Tick(400);
    EXPECT_EQ(s->Text(), "2");
    Tick(200);
    Button(bx, by, false);
    EXPECT_EQ(s->Text(), "3");
    Tick(1000);
    EXPECT_EQ(s->Text(), "3");
    // The lower button counts down.
    Click(bx, 20 + 2 + 15);
    EXPECT_EQ(s->Text(), "2");
}

// ---------------------------------------------------------------- number edit

TEST_F(SkinEdit, NumberEditKeepsPendingInputAndPutsBadTextBack) {
    auto* n = Edit<TdvxNumberEdit>();
    EXPECT_EQ(n->Mask(), "0.00");
    n->SetValue(3.14159);
    EXPECT_EQ(n->Text(), "3.14");
    n->SetText("");
    n->SetFocus();
    Pump();
    events.clear();
    Type(".");
    EXPECT_EQ(n->Text(), ".");
    Type("5");
    EXPECT_EQ(n->Text(), ".5");
    EXPECT_DOUBLE_EQ(n->Value(), 0.5);
    int before = Beeps();
    Type(".-x");
    EXPECT_EQ(n->Text(), ".5");
    EXPECT_EQ(Beeps() - before, 3);
    // Pasted or set text that is no number: the last good text comes back, nothing raised.
    clipboard = "abc";
    n->SelectAll();
    n->Perform(WM_PASTE);
    EXPECT_EQ(n->Text(), ".5");
    n->SetText("1,234.5");
    EXPECT_DOUBLE_EQ(n->Value(), 1234.5);
    EXPECT_EQ(events, (std::vector<std::string>{"change .", "change .5", "change 1,234.5"}));
    // Leaving reformats; leaving empty shows 0.00.
    Leave();
    EXPECT_EQ(n->Text(), "1234.50");
    n->SetText("");
    n->SetFocus();
    Pump();
    Leave();
    EXPECT_EQ(n->Text(), "0.00");
    EXPECT_DOUBLE_EQ(n->Value(), 0);
    n->SetText("-.");
    n->SetFocus();
    Pump();
    Leave();
    EXPECT_EQ(n->Text(), "0.00");
}

TEST_F(SkinEdit, NumberEditMinusOnlyAtTheStartWithAMaskThatHasOne) {
    auto* n = Edit<TdvxNumberEdit>();
    n->SetMask("-0.00");
    n->SetText("12");
    n->SetFocus();
    Pump();
    n->SetSelStart(1);
    int before = Beeps();
    Type("-");
    EXPECT_EQ(n->Text(), "12");
    n->SetSelStart(0);
    n->SetSelLength(0);
    Type("-");
    EXPECT_EQ(n->Text(), "-12");
    n->SetSelStart(0);
    n->SetSelLength(0);
    Type("-");
    EXPECT_EQ(n->Text(), "-12");
    EXPECT_EQ(Beeps() - before, 2);
}

TEST_F(SkinEdit, NumberEditSelectsItsLastSignsOnEntry) {
    auto* n = Edit<TdvxNumberEdit>();
    n->SetValue(12.5);
    n->SetFocus();
    Pump();
    EXPECT_EQ(n->SelStart(), 3);
    EXPECT_EQ(n->SelLength(), 2);
}

// ---------------------------------------------------------------- masked edit

TEST_F(SkinEdit, MaskedEditTypesPlaceByPlace) {
    auto* m = Edit<TdvxMaskEdit>();
    m->SetEditMask("!99/99/0000;1;_");
    EXPECT_EQ(m->EditText(), "__/__/____");
    m->SetFocus();
    Pump();
    m->SetSelStart(0);
    int before = Beeps();
    Type("12x3");
    EXPECT_EQ(m->EditText(), "12/3_/____");
    EXPECT_EQ(Beeps() - before, 1);
    EXPECT_EQ(m->Text(), "12/3 /");
    EXPECT_FALSE(m->IsComplete());
    Type("4");
    Type("2026");
    EXPECT_TRUE(m->IsComplete());
    EXPECT_EQ(m->Text(), "12/34/2026");
    m->SetEditMask(">LL-00;0;*");
    m->SetText("ab12");
    EXPECT_EQ(m->EditText(), "AB-12");
    EXPECT_EQ(m->Text(), "AB12");
    EXPECT_EQ(Hex(Px(m->Handle(), 0, 0)), Hex(kBlack));
}

}  // namespace
