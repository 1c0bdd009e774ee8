// Edits and memos on the headless backend: typing and moving over multi-byte characters,
// selection by keys and mouse, undo, the clipboard and the primary selection, the limits
// (MaxLength, ReadOnly, PasswordChar), change notifications, the caret's blink, the
// formatting rectangle's pixels, word wrap and the window's scroll bars.
#include <string>
#include <vector>

#include "platform/controls/stdctrls.h"
#include "platform/controls/controls_fixture.h"

using namespace platform;

namespace {

class EditTest : public test::ControlsFixture {
protected:
    TEdit* NewEdit(const std::string& text = "") {
        auto* e = new TEdit(form);
        e->SetParent(form);
        e->SetBounds(10, 10, 200, 24);
        e->SetText(text);
        e->SetFocus();
        Pump();
        return e;
    }
    TMemo* NewMemo(int width, int height) {
        auto* m = new TMemo(form);
        m->SetParent(form);
        m->SetBounds(10, 10, width, height);
        m->SetFocus();
        Pump();
        return m;
    }
};

// One step of a key sequence: text to type, or a key with modifiers.
struct Step {
    std::string type;
    WORD key = 0;
    bool shift = false;
    bool ctrl = false;
};
Step T(const std::string& s) { return Step{s}; }
Step K(WORD key, bool shift = false, bool ctrl = false) { return Step{"", key, shift, ctrl}; }

struct KeyCase {
    const char* name;
    std::string start;
    std::vector<Step> steps;
    std::string text;
    int selStart;
    int selLength;
};

TEST_F(EditTest, KeySequencesEditAndMoveByWholeCharacters) {
    // "é" is 2 bytes, "€" 3, "😀" 4: the caret never stops inside one.
    const std::vector<KeyCase> cases = {
        {"typing", "", {T("héllo")}, "héllo", 6, 0},
        {"left over multibyte", "a€b", {K(VK_END), K(VK_LEFT), K(VK_LEFT)}, "a€b", 1, 0},
        {"backspace removes a whole emoji", "x😀", {K(VK_END), K(VK_BACK)}, "x", 1, 0},
        {"delete removes a whole euro", "€z", {K(VK_HOME), K(VK_DELETE)}, "z", 0, 0},
        {"shift+left selects a character", "ab€", {K(VK_END), K(VK_LEFT, true)}, "ab€", 2, 3},
        {"typing replaces the selection", "abc", {K(VK_HOME), K(VK_RIGHT, true), K(VK_RIGHT, true), T("é")}, "éc", 2, 0},
        {"ctrl+left goes to the word start", "one two", {K(VK_END), K(VK_LEFT, false, true)}, "one two", 4, 0},
        {"ctrl+shift+right selects a word", "one two", {K(VK_HOME), K(VK_RIGHT, true, true)}, "one two", 0, 4},
        {"home and shift+end", "abc", {K(VK_HOME), K(VK_END, true)}, "abc", 0, 3},
        {"ctrl+a selects all", "añb", {K('A', false, true)}, "añb", 0, 4},
        {"left collapses a selection", "abcd", {K('A', false, true), K(VK_LEFT)}, "abcd", 0, 0},
        {"up acts as left in a single line", "abc", {K(VK_END), K(VK_UP)}, "abc", 2, 0},
        {"return types nothing in one line", "ab", {K(VK_END), T("\r")}, "ab", 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TEdit* e = NewEdit(c.start);
        for (const auto& s : c.steps) {
            if (!s.type.empty()) {
                Type(s.type);
                continue;
            }
            if (s.shift) InputKey(VK_SHIFT, true);
            if (s.ctrl) InputKey(VK_CONTROL, true);
            Key(s.key, s.key == VK_BACK ? 8 : 0);
            if (s.ctrl) InputKey(VK_CONTROL, false);
            if (s.shift) InputKey(VK_SHIFT, false);
            Pump();
        }
        EXPECT_EQ(e->Text(), c.text);
        EXPECT_EQ(e->SelStart(), c.selStart);
        EXPECT_EQ(e->SelLength(), c.selLength);
        delete e;
    }
}

TEST_F(EditTest, UndoStepsBackThroughEachEditInTurn) {
    TEdit* e = NewEdit();
    Type("abc");                        // one step: consecutive typing
    Key(VK_HOME);
    Type("X");                          // a new step: the caret moved
    Key(VK_END);
    Key(VK_BACK, 8);                    // a deletion
    clipboard = "🙂";
    Chord(VK_CONTROL, 'V');             // a paste
    ASSERT_EQ(e->Text(), "Xab🙂");
    const std::vector<std::string> back = {"Xab", "Xabc", "abc", ""};
    for (const auto& expected : back) {
        Chord(VK_CONTROL, 'Z');
        EXPECT_EQ(e->Text(), expected);
    }
    EXPECT_FALSE(e->CanUndo());
    // Text set by code starts afresh.
    Type("q");
    e->SetText("new");
    EXPECT_FALSE(e->CanUndo());
    EXPECT_EQ(e->Perform(WM_UNDO), 0);
    EXPECT_EQ(e->Text(), "new");
}

TEST_F(EditTest, ClipboardKeysAndMessages) {
    TEdit* e = NewEdit("hello world");
    e->SetSelStart(6);
    e->SetSelLength(5);
    Chord(VK_CONTROL, 'C');
    EXPECT_EQ(clipboard, "world");
    InputKey(VK_SHIFT, true);
    Key(VK_DELETE);  // Shift+Del cuts
    InputKey(VK_SHIFT, false);
    EXPECT_EQ(e->Text(), "hello ");
    EXPECT_EQ(clipboard, "world");
    InputKey(VK_SHIFT, true);
    Key(VK_INSERT);  // Shift+Ins pastes
    InputKey(VK_SHIFT, false);
    EXPECT_EQ(e->Text(), "hello world");
    // The messages do the same.
    e->SetSelStart(0);
    e->SetSelLength(5);
    e->Perform(WM_CUT);
    EXPECT_EQ(clipboard, "hello");
    EXPECT_EQ(e->Text(), " world");
    e->Perform(WM_PASTE);
    e->Perform(WM_PASTE);
    EXPECT_EQ(e->Text(), "hellohello world");
    e->SelectAll();
    e->Perform(WM_CLEAR);
    EXPECT_EQ(e->Text(), "");
    e->Perform(WM_UNDO);
    EXPECT_EQ(e->Text(), "hellohello world");
    // A pasted line break ends what a single-line edit takes.
    clipboard = "one\r\ntwo";
    e->SelectAll();
    e->Perform(WM_PASTE);
    EXPECT_EQ(e->Text(), "one");
}

TEST_F(EditTest, LimitsOnLengthReadOnlyAndPasswords) {
    TEdit* e = NewEdit();
    e->SetMaxLength(4);
    int beeps = Beeps();
    Type("aé€b");   // four characters fit, though they are eight bytes
    Type("c");      // the fifth beeps
    EXPECT_EQ(e->Text(), "aé€b");
    EXPECT_EQ(Beeps(), beeps + 1);
    clipboard = "123456";
    e->SetSelStart(1);
    e->SetSelLength(5);  // "é€" (five bytes) makes room for two characters
    e->Perform(WM_PASTE);
    EXPECT_EQ(e->Text(), "a12b");
    e->SetText("longer than four");  // code is not limited
    EXPECT_EQ(e->Text(), "longer than four");

    e->SetReadOnly(true);
    e->SelectAll();
    Type("x");
    Key(VK_BACK, 8);
    e->Perform(WM_CUT);
    e->Perform(WM_PASTE);
    EXPECT_EQ(e->Text(), "longer than four");
    clipboard.clear();
    Chord(VK_CONTROL, 'C');  // copying still works
    EXPECT_EQ(clipboard, "longer than four");

    e->SetReadOnly(false);
    e->SetPasswordChar('*');
    e->SetText("secret");
    e->SelectAll();
    clipboard = "kept";
    e->Perform(WM_COPY);
    e->Perform(WM_CUT);
    EXPECT_EQ(clipboard, "kept");
    EXPECT_EQ(e->Text(), "secret");
}

TEST_F(EditTest, EveryChangeReachesOnChangeThroughTheReflectedNotification) {
    TEdit* e = NewEdit();
    std::vector<std::string> seen;
    int changes = 0;
    TWindowProc original = e->WindowProc;
    e->WindowProc = [&](TMessage& m) {
        if (m.Msg == CN_COMMAND) seen.push_back(HIWORD(m.WParam) == EN_UPDATE ? "update" : HIWORD(m.WParam) == EN_CHANGE ? "change" : "other");
        original(m);
    };
    e->OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, e);
        ++changes;
    };
    Type("ab");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(seen, (std::vector<std::string>{"update", "change", "update", "change"}));
    e->SetText("from code");
    EXPECT_EQ(changes, 3);
    e->SetText("from code");  // unchanged: nothing
    EXPECT_EQ(changes, 3);
    e->SetSelStart(0);  // moving the caret is no change
    EXPECT_EQ(changes, 3);
    EXPECT_FALSE(e->Modified());
    Type("x");
    EXPECT_TRUE(e->Modified());
    e->WindowProc = original;
}

TEST_F(EditTest, MouseSelectsAndMiddleClickPastesThePrimarySelection) {
    TEdit* a = NewEdit("alpha beta");
    auto* b = new TEdit(form);
    b->SetParent(form);
    b->SetBounds(10, 50, 200, 24);
    b->SetText("xy");
    Pump();
    // Press at the start of "alpha", drag past its end.
    TPoint at = a->ClientToScreen(TPoint(3, 10));
    TPoint to = a->ClientToScreen(TPoint(a->Perform(EM_POSFROMCHAR, 5) & 0xFFFF, 10));
    RECT wr;
    GetWindowRect(Top(), &wr);
    MouseAt(Top(), at.x - wr.left, at.y - wr.top, MouseButton::Left, true);
    InputMouseMove(Top(), to.x - wr.left, to.y - wr.top);
    Pump();
    MouseAt(Top(), to.x - wr.left, to.y - wr.top, MouseButton::Left, false);
    EXPECT_EQ(a->SelText(), "alpha");
    // A middle click in the other edit pastes it there, at the click.
    TPoint end = b->ClientToScreen(TPoint(150, 10));
    MouseAt(Top(), end.x - wr.left, end.y - wr.top, MouseButton::Middle, true);
    MouseAt(Top(), end.x - wr.left, end.y - wr.top, MouseButton::Middle, false);
    EXPECT_EQ(b->Text(), "xyalpha");
    // A double click selects the word under it.
    TPoint word = a->ClientToScreen(TPoint(a->Perform(EM_POSFROMCHAR, 8) & 0xFFFF, 10));
    Click(word.x - wr.left, word.y - wr.top);
    Click(word.x - wr.left, word.y - wr.top);
    EXPECT_EQ(a->SelText(), "beta");
}

TEST_F(EditTest, AutoSizeFollowsTheFont) {
    TEdit* e = NewEdit("Hg");
    e->Font()->SetHeight(-30);
    Pump();
    int big = e->Height();
    EXPECT_GT(big, 30);
    e->Font()->SetHeight(-10);
    EXPECT_LT(e->Height(), big);
    e->SetAutoSize(false);
    e->SetHeight(50);
    e->Font()->SetHeight(-30);
    EXPECT_EQ(e->Height(), 50);
}

TEST_F(EditTest, CaretBlinksOnTheProgramClock) {
    TVirtualClock clock;
    TScopedClock use(clock);
    TEdit* e = NewEdit("ab");
    e->SetSelStart(2);
    Pump();
    // The caret's place in window coordinates (the client area lies inside the border).
    TPoint caret = e->ClientToScreen(e->CaretPos());
    RECT wr;
    GetWindowRect(e->Handle(), &wr);
    caret.x -= wr.left;
    caret.y -= wr.top;
    auto caretInk = [&] { return GetWindowSurfacePixel(e->Handle(), caret.x, caret.y + 4) == RGB(0, 0, 0); };
    ASSERT_TRUE(e->CaretShowing());
    EXPECT_TRUE(caretInk());
    clock.Advance(530);
    Pump();
    EXPECT_FALSE(e->CaretShowing());
    EXPECT_FALSE(caretInk());
    clock.Advance(530);
    Pump();
    EXPECT_TRUE(e->CaretShowing());
    // Typing shows it at once again.
    clock.Advance(530);
    Pump();
    Type("c");
    EXPECT_TRUE(e->CaretShowing());
    form->SetFocus();
    e->Perform(WM_KILLFOCUS);
    EXPECT_FALSE(e->CaretShowing());
}

TEST_F(EditTest, FormattingRectangleMovesTheTextPixels) {
    // Single line and multi-line alike: the text's ink starts at the rectangle's top and
    // never leaves it.
    for (bool multi : {false, true}) {
        SCOPED_TRACE(multi ? "multi-line" : "single-line");
        TCustomEdit* e = multi ? static_cast<TCustomEdit*>(NewMemo(200, 60)) : NewEdit();
        e->SetBorderStyle(bsNone);
        e->SetBounds(10, 10, 200, 60);
        e->SetText("Hg");
        form->SetFocus();
        Pump();
        HWND h = e->Handle();
        COLORREF back = GetWindowSurfacePixel(h, 150, 55);
        std::vector<int> before = test::InkRows(h, 0, 200, 0, 60, back);
        ASSERT_FALSE(before.empty());
        RECT r{30, 20, 120, 40};
        e->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
        e->Invalidate();
        Pump();
        std::vector<int> after = test::InkRows(h, 0, 200, 0, 60, back);
        ASSERT_FALSE(after.empty());
        EXPECT_EQ(after.front() - before.front(), 20);
        EXPECT_GE(after.front(), 20);
        EXPECT_LT(after.back(), 40);
        // Columns: nothing left of the rectangle.
        bool leftInk = false;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 30; ++x) leftInk |= GetWindowSurfacePixel(h, x, y) != back;
        EXPECT_FALSE(leftInk);
        RECT got{};
        e->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&got));
        EXPECT_EQ(got.top, 20);
        test::Shot(Top(), std::string("edit_format_rect_") + (multi ? "multi" : "single") + ".png");
        delete e;
    }
}

TEST_F(EditTest, MemoWrapsAndKeepsItsScrollBarInStep) {
    TMemo* m = NewMemo(120, 80);
    m->SetScrollBars(ssVertical);
    Pump();
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    SCROLLBARINFO sbi;
    m->Lines()->Add("one");
    ASSERT_TRUE(GetScrollInfo(m->Handle(), SB_VERT, &si));
    GetScrollBarInfo(m->Handle(), OBJID_VSCROLL, &sbi);
    EXPECT_TRUE(sbi.rgstate[0] & STATE_SYSTEM_UNAVAILABLE);  // it fits: no thumb
    EXPECT_EQ(sbi.xyThumbBottom - sbi.xyThumbTop, 0);
    for (int i = 0; i < 30; ++i) m->Lines()->Add("line " + std::to_string(i));
    GetScrollInfo(m->Handle(), SB_VERT, &si);
    GetScrollBarInfo(m->Handle(), OBJID_VSCROLL, &sbi);
    EXPECT_FALSE(sbi.rgstate[0] & STATE_SYSTEM_UNAVAILABLE);
    EXPECT_GT(sbi.xyThumbBottom, sbi.xyThumbTop);
    EXPECT_EQ(si.nMax + 1, m->Perform(EM_GETLINECOUNT));
    // The caret went down with the added lines; the bar's position follows the top line.
    EXPECT_EQ(si.nPos, m->TopLine());
    EXPECT_EQ(si.nMax - int(si.nPage) + 1, m->TopLine());
    EXPECT_EQ(m->Lines()->Count(), 31);
    EXPECT_EQ(m->Lines()->Strings(30), "line 29");
    EXPECT_EQ(m->Text().substr(0, 13), "one\r\nline 0\r\n");
    // Wrapping: a long line takes several rows, re-wrapped when it changes.
    m->SetText("");
    m->Lines()->Add("aaaa bbbb cccc dddd eeee ffff gggg");
    int rows = int(m->Perform(EM_GETLINECOUNT));
    EXPECT_GT(rows, 2);
    m->Lines()->Put(0, "short");
    EXPECT_EQ(m->Perform(EM_GETLINECOUNT), 2);  // "short" and the empty line after it
    m->SetWordWrap(false);
    m->SetText("aaaa bbbb cccc dddd eeee ffff gggg");
    EXPECT_EQ(m->Perform(EM_GETLINECOUNT), 1);
    m->SetWordWrap(true);
    m->Lines()->Add("naïve café — ünïcödé");
    m->SetSelStart(5);
    m->SetSelLength(9);
    Pump();
    test::Shot(Top(), "memo_wrapped.png");
}

TEST_F(EditTest, MemoScrollsPastSixteenBitsOfThumbPosition) {
    TMemo* m = NewMemo(150, 100);
    m->SetScrollBars(ssVertical);
    m->SetWordWrap(false);
    std::string text;
    const int lines = 70000;
    for (int i = 0; i < lines; ++i) text += std::to_string(i) + "\r\n";
    m->SetText(text);
    Pump();
    // Drag the thumb to the bottom of the bar.
    SCROLLBARINFO sbi;
    ASSERT_TRUE(GetScrollBarInfo(m->Handle(), OBJID_VSCROLL, &sbi));
    RECT wr;
    GetWindowRect(Top(), &wr);
    int x = (sbi.rcScrollBar.left + sbi.rcScrollBar.right) / 2 - wr.left;
    int y = sbi.rcScrollBar.top + sbi.xyThumbTop + 2 - wr.top;
    MouseAt(Top(), x, y, MouseButton::Left, true);
    InputMouseMove(Top(), x, sbi.rcScrollBar.bottom + 50 - wr.top);
    Pump();
    MouseAt(Top(), x, sbi.rcScrollBar.bottom + 50 - wr.top, MouseButton::Left, false);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(m->Handle(), SB_VERT, &si);
    EXPECT_GT(m->TopLine(), 65535);
    EXPECT_EQ(m->TopLine(), si.nMax - int(si.nPage) + 1);
    // A message carrying only the low word still reaches the right row.
    m->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, WORD(66000)), 0);
    EXPECT_EQ(m->TopLine(), 66000);
}

}  // namespace
