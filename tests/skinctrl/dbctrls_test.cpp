// The skinned data-aware controls on a headless form over SQLite: the bound check box and
// radio group (what they show, what they write, read back by the sqlite3 shell), the
// navigator (layout, enabling, repeat on the virtual clock, confirmation, keys, pixels),
// and the grid's colours, bar-to-record rule and bar placement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../platform/windows/windows_test_support.h"
#include "platform/controls/forms.h"
#include "platform/core/clock.h"
#include "platform/core/sysutils.h"
#include "platform/data/sqlite_shell.h"
#include "platform/data/sqlitedb.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "skinctrl/dvxdbctrls.h"
#include "skinctrl/dvxdbnavigator.h"
#include "skinctrl/dvxfiletheme.h"
#include "support/tempdir.h"
#include "theme_support.h"

using namespace platform;
using namespace skinctrl;
using datatest::Shell;

namespace {

class SkinDB : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        Shell(file, "CREATE TABLE t(id INTEGER PRIMARY KEY, yes TEXT, flag BOOLEAN, colour TEXT, n INTEGER);"
                    "INSERT INTO t(yes, flag, colour, n) VALUES ('y', 1, 'Green', 1), ('N', 0, 'R', 2),"
                    " ('maybe', NULL, 'green', 3), (NULL, 1, NULL, 4);");
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 460, 300);
        form->SetColor(clWhite);
        form->AfterConstruction();
        ds = new TSQLiteDataSet(form);
        ds->SetDatabaseName(file);
        ds->SetTableName("t");
        src = new TDataSource(form);
        src->SetDataSet(ds);
        ds->Open();
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT flags) {
            asked.push_back(text + ((flags & 0xF) == MB_OKCANCEL ? " [OK/Cancel]" : ""));
            return answer;
        };
    }
    void TearDown() override {
        delete form;
        Pump();
        Application->MessageBoxHandler = nullptr;
    }
    void Pump() { Application->ProcessMessages(); }
    HWND Top() { return form->Handle(); }
    COLORREF At(int x, int y) { return GetWindowSurfacePixel(Top(), x, y); }
    void Button(int x, int y, bool down) {
        InputMouseMove(Top(), x, y);
        InputMouseButton(Top(), x, y, MouseButton::Left, down);
        Pump();
    }
    void Click(int x, int y) {
        Button(x, y, true);
        Button(x, y, false);
    }
    void Key(WORD vk, unsigned ch = 0) {
        InputKey(vk, true);
        if (ch) InputChar(ch);
        InputKey(vk, false);
        Pump();
    }
    void Tick(std::uint64_t ms) {
        clock.Advance(ms);
        Pump();
    }
    template <class T>
    T* Place(int x, int y, int w, int h) {
        auto* c = new T(form);
        c->SetParent(form);
        c->SetBounds(x, y, w, h);
        return c;
    }
    void Shot(const std::string& name) {
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        std::filesystem::path dir = std::filesystem::path(build ? build : ".") / "artifacts";
        std::filesystem::create_directories(dir);
        SaveWindowImage(Top(), (dir / name).string());
    }

    TVirtualClock clock;
    TScopedClock scoped{clock};
    testsupport::TempDir dir;
    std::string file = (dir.path() / "t.db").string();
    TForm* form = nullptr;
    TSQLiteDataSet* ds = nullptr;
    TDataSource* src = nullptr;
    std::vector<std::string> asked;
    int answer = IDOK;
};

// ---------------------------------------------------------------- check box

TEST(DBValueMatch, EntriesTrimmedAndCaseFolded) {
    struct Case {
        const char* list;
        const char* text;
        bool match;
    } cases[] = {
        {"Yes;Y", "y", true},       {"Yes; Y ", "Y", true},     {"Yes;Y", "N", false},
        {"Yes;Y", "Yess", false},   {"", "", false},            {";", "", true},
        {"Ja;ÉTÉ", "été", true},    {"ДА", "да", true},         {"Yes", "Ye\xFF", false},
        {"Ye\xFF", "yE\xFF", true},
    };
    for (const Case& c : cases) EXPECT_EQ(ValueMatch(c.list, c.text), c.match) << c.list << " / " << c.text;
}

TEST_F(SkinDB, CheckBoxShowsTheFieldAndWritesTheFirstEntries) {
    auto* box = Place<TdvxDBCheckBox>(10, 10, 120, 20);
    box->SetValueCheck("Yes;Y");
    box->SetValueUncheck("No;N");
    box->SetDataSource(src);
    EXPECT_FALSE(box->Checked()) << "no field";
    box->SetDataField("yes");
    std::vector<bool> shown;
    for (ds->First(); !ds->Eof(); ds->Next()) shown.push_back(box->Checked());
    EXPECT_EQ(shown, (std::vector<bool>{true, false, false, false}));  // y, N, other text, null
    // A changed ValueChecked re-reads the field at once.
    ds->RecNo() == 4 ? ds->SetRecNo(3) : void();
    box->SetValueCheck("maybe");
    EXPECT_TRUE(box->Checked());
    box->SetValueCheck("Yes;Y");

    form->Show();
    Pump();
    ds->SetRecNo(2);
    std::vector<std::string> clicks;
    box->OnClick = [&](TObject*) { clicks.push_back(box->Checked() ? "on" : "off"); };
    Click(15, 20);  // check: writes "Yes"
    ds->Post();
    ds->First();
    Click(15, 20);  // uncheck: writes "No"
    ds->Post();
    EXPECT_EQ(clicks, (std::vector<std::string>{"on", "off"}));
    EXPECT_EQ(Shell(file, "SELECT yes FROM t WHERE id IN (1, 2) ORDER BY id"), "No\nYes\n");

    // A boolean field takes the state itself.
    box->SetDataField("flag");
    EXPECT_TRUE(box->Checked());
    Click(15, 20);
    ds->Post();
    EXPECT_EQ(Shell(file, "SELECT flag FROM t WHERE id = 1"), "0\n");
}

TEST_F(SkinDB, CheckBoxReadOnlyLinkEscapeAndARefusedValue) {
    auto* box = Place<TdvxDBCheckBox>(10, 10, 120, 20);
    auto* other = Place<TdvxDBCheckBox>(10, 40, 120, 20);
    box->SetDataSource(src);
    box->SetDataField("yes");
    box->SetValueCheck("Yes;Y");
    form->Show();
    Pump();
    int clicks = 0;
    box->OnClick = [&](TObject*) { ++clicks; };
    box->SetReadOnly(true);
    Click(15, 20);
    EXPECT_TRUE(box->Checked());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(ds->State(), dsBrowse);

    // Space starts the edit (and flips the box); Escape shows the field again.
    box->SetReadOnly(false);
    box->SetFocus();
    Pump();
    Key(VK_SPACE, ' ');
    EXPECT_EQ(ds->State(), dsEdit);
    EXPECT_FALSE(box->Checked());
    Key(VK_ESCAPE, 27);
    EXPECT_TRUE(box->Checked());
    ds->Cancel();
    Key(VK_BACK, 8);
    EXPECT_EQ(ds->State(), dsEdit);
    ds->Cancel();

    // "Yes" does not go into an integer field: leaving raises and keeps the focus.
    box->SetDataField("n");
    box->SetFocus();
    Key(VK_SPACE, ' ');
    ASSERT_TRUE(box->Checked());
    EXPECT_THROW(box->Perform(CM_EXIT), EDatabaseError);
    EXPECT_TRUE(box->Focused());
    EXPECT_EQ(ds->State(), dsEdit);
    (void)other;
}

// ---------------------------------------------------------------- radio group

TEST_F(SkinDB, RadioGroupMatchesExactlyWritesValuesAndOrdersItsEvents) {
    auto* group = Place<TdvxDBRadioGroup>(10, 10, 200, 80);
    TStringList items, values;
    items.Add("Red");
    items.Add("Green");
    values.Add("R");
    values.Add("");
    group->SetItems(&items);
    group->SetValues(&values);
    std::vector<std::string> log;
    group->OnChange = [&](TObject*) { log.push_back("change " + group->Value()); };
    group->OnClick = [&](TObject*) { log.push_back("click"); };
    group->SetDataSource(src);
    group->SetDataField("colour");
    form->Show();
    Pump();
    EXPECT_EQ(group->ItemIndex(), 1);  // "Green"
    ds->Next();
    EXPECT_EQ(group->ItemIndex(), 0);  // "R"
    ds->Next();
    EXPECT_EQ(group->ItemIndex(), -1);  // "green": another case matches nothing
    EXPECT_EQ(log, (std::vector<std::string>{"click", "change Green", "click", "change R", "change green"}));

    // A user's click: the edit, the check, OnChange, then the group's OnClick.
    log.clear();
    TdvxCheckBox* red = group->Button(0);
    Click(10 + red->Left() + 5, 10 + red->Top() + red->Height() / 2);
    EXPECT_EQ(log, (std::vector<std::string>{"change R", "click"}));
    EXPECT_EQ(ds->State(), dsEdit);
    ds->Post();
    ds->First();
    TdvxCheckBox* green = group->Button(1);
    group->SetReadOnly(true);
    Click(10 + red->Left() + 5, 10 + red->Top() + red->Height() / 2);
    EXPECT_EQ(group->ItemIndex(), 1) << "a read-only link takes no click";
    group->SetReadOnly(false);
    ds->SetRecNo(3);
    Click(10 + green->Left() + 5, 10 + green->Top() + green->Height() / 2);
    ds->Post();
    EXPECT_EQ(Shell(file, "SELECT colour FROM t WHERE id = 3"), "Green\n");
    EXPECT_EQ(Shell(file, "SELECT colour FROM t WHERE id = 3"), "Green\n");
    ds->First();
    ds->SetRecNo(3);
    log.clear();
    ds->Refresh();  // the same value again: no OnChange
    EXPECT_TRUE(log.empty());
}

TEST_F(SkinDB, RadioGroupWithoutButtonsKeepsTheFocusWhenWritingFails) {
    auto* group = Place<TdvxDBRadioGroup>(10, 10, 200, 80);
    group->SetDataSource(src);
    group->SetDataField("n");
    form->Show();
    Pump();
    group->SetFocus();
    ds->Edit();
    group->SetValue("not a number");
    group->DataLink()->Modified();
    EXPECT_THROW(group->Perform(CM_EXIT), EDatabaseError);
    EXPECT_TRUE(group->Focused());
}

// ---------------------------------------------------------------- navigator

std::vector<int> Widths(TdvxDBNavigator* nav) {
    std::vector<int> w;
    for (int i = 0; i < kNavButtonCount; ++i)
        if (nav->Buttons(TNavigateBtn(i))->Visible()) w.push_back(nav->Buttons(TNavigateBtn(i))->Width());
    return w;
}

TEST_F(SkinDB, NavigatorSpreadsItsWidthOverTheVisibleButtons) {
    auto* nav = Place<TdvxDBNavigator>(0, 0, 250, 30);
    EXPECT_EQ(nav->Width(), 250);
    EXPECT_EQ(nav->Height(), 30);
    EXPECT_EQ(Widths(nav), std::vector<int>(10, 25));
    nav->SetBounds(0, 0, 253, 30);
    EXPECT_EQ(nav->Width(), 250) << "alNone keeps a multiple of the button width";
    auto* strip = Place<TPanel>(0, 100, 253, 40);
    strip->SetBevelOuter(bvNone);
    auto* top = new TdvxDBNavigator(form);
    top->SetParent(strip);
    top->SetAlign(alTop);
    form->Show();
    Pump();
    EXPECT_EQ(top->Width(), 253);
    EXPECT_EQ(Widths(top), (std::vector<int>{25, 26, 25, 25, 25, 26, 25, 25, 26, 25}));
    nav->SetVisibleButtons(NavButton(nbPrior) | NavButton(nbNext));
    EXPECT_EQ(Widths(nav), (std::vector<int>{125, 125}));
    EXPECT_EQ(nav->Buttons(nbFirst)->Left(), nav->Width() + 1);
    EXPECT_EQ(nav->Buttons(nbNext)->Left(), 125);
}

TEST_F(SkinDB, NavigatorEnablesWhatMakesSense) {
    Shell(file, "CREATE TABLE empty(v TEXT)");
    auto* nav = Place<TdvxDBNavigator>(0, 0, 250, 30);
    auto enabled = [&] {
        std::string s;
        for (int i = 0; i < kNavButtonCount; ++i) s += nav->Buttons(TNavigateBtn(i))->Enabled() ? '1' : '0';
        return s;
    };
    EXPECT_EQ(enabled(), "0000000000") << "no data source";
    nav->SetDataSource(src);
    //           first prior next last insert delete edit post cancel refresh
    EXPECT_EQ(enabled(), "0011111001") << "at BOF";
    ds->Next();
    EXPECT_EQ(enabled(), "1111111001") << "in the middle";
    ds->Last();
    EXPECT_EQ(enabled(), "1100111001") << "at EOF";
    ds->Edit();
    EXPECT_EQ(enabled(), "1100110111") << "editing";
    ds->Cancel();
    ds->Close();
    EXPECT_EQ(enabled(), "0000000000") << "inactive";
    ds->SetTableName("empty");
    ds->Open();
    EXPECT_EQ(enabled(), "0000101001") << "empty: BOF and EOF";
    ds->Close();
    ds->SetTableName("");
    ds->SetSQL("SELECT yes FROM t");
    ds->Open();
    ds->Next();
    EXPECT_EQ(enabled(), "1111000000") << "cannot modify";
    ds->Close();
    ds->SetSQL("");
    ds->SetTableName("t");
    ds->Open();
    nav->SetEnabled(false);
    EXPECT_EQ(enabled(), "0000000000") << "navigator disabled";
}

TEST_F(SkinDB, NavigatorRepeatsPriorAndNextWhileHeld) {
    Shell(file, "WITH RECURSIVE c(i) AS (SELECT 5 UNION ALL SELECT i + 1 FROM c WHERE i < 30)"
                " INSERT INTO t(n) SELECT i FROM c");
    ds->Refresh();
    auto* nav = Place<TdvxDBNavigator>(10, 10, 250, 30);
    nav->SetDataSource(src);
    std::vector<int> clicks;
    nav->OnClick = [&](TObject*, TNavigateBtn b) { clicks.push_back(b); };
    form->Show();
    Pump();
    TdvxNavButton* next = nav->Buttons(nbNext);
    int x = 10 + next->Left() + 12, y = 10 + 15;
    Button(x, y, true);
    std::vector<int> recNo{ds->RecNo()};
    for (int ms : {399, 1, 100, 100}) {
        Tick(std::uint64_t(ms));
        recNo.push_back(ds->RecNo());
    }
    Button(x, y, false);
    recNo.push_back(ds->RecNo());
    Tick(500);
    recNo.push_back(ds->RecNo());
    EXPECT_EQ(recNo, (std::vector<int>{1, 1, 2, 3, 4, 5, 5}));
    EXPECT_EQ(clicks.size(), 4u);
}

TEST_F(SkinDB, NavigatorConfirmsDeleteAndKeepsHints) {
    auto* nav = Place<TdvxDBNavigator>(10, 10, 250, 30);
    nav->SetDataSource(src);
    std::vector<std::string> log;
    nav->BeforeAction = [&](TObject*, TNavigateBtn b) { log.push_back("before " + std::to_string(b)); };
    nav->OnClick = [&](TObject*, TNavigateBtn b) { log.push_back("click " + std::to_string(b)); };
    answer = IDCANCEL;
    nav->BtnClick(nbDelete);
    EXPECT_EQ(asked, (std::vector<std::string>{"Delete record? [OK/Cancel]"}));
    EXPECT_EQ(ds->RecordCount(), 4);
    EXPECT_EQ(log, (std::vector<std::string>{"before 5", "click 5"}));
    answer = IDOK;
    nav->BtnClick(nbDelete);
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_EQ(Shell(file, "SELECT count(*) FROM t"), "3\n");
    // A refused action raises and fires no OnClick.
    log.clear();
    ds->First();
    ds->Edit();
    ds->FieldByName("id")->SetText("4");  // the key of another row
    EXPECT_THROW(nav->BtnClick(nbPost), EDatabaseError);
    EXPECT_EQ(log, (std::vector<std::string>{"before 7"}));
    ds->Cancel();
    // Without an active source only OnClick fires.
    ds->Close();
    log.clear();
    nav->BtnClick(nbNext);
    EXPECT_EQ(log, (std::vector<std::string>{"click 2"}));

    EXPECT_EQ(nav->Buttons(nbPost)->Hint(), "Post edit");
    TStringList hints;
    for (const char* h : {"First record", "Prior record", "Next record", "Last record", "Insert record",
                          "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data"})
        hints.Add(h);
    nav->SetHints(&hints);
    EXPECT_EQ(nav->Hints()->Count(), 0) << "the built-in texts store nothing";
    TStringList mine;
    mine.Add("");
    mine.Add("Back one");
    nav->SetHints(&mine);
    EXPECT_EQ(nav->Buttons(nbFirst)->Hint(), "First record");
    EXPECT_EQ(nav->Buttons(nbPrior)->Hint(), "Back one");
}

TEST_F(SkinDB, NavigatorKeysMoveTheFocusOverVisibleButtons) {
    auto* nav = Place<TdvxDBNavigator>(10, 10, 250, 30);
    nav->SetDataSource(src);
    nav->SetTabStop(true);
    nav->SetVisibleButtons(kAllNavButtons & ~NavButton(nbPrior) & ~NavButton(nbLast));
    form->Show();
    Pump();
    nav->SetFocus();
    Pump();
    std::vector<int> focus{nav->FocusedButton()};
    for (WORD k : {VK_RIGHT, VK_RIGHT, VK_LEFT, VK_LEFT}) {
        Key(k);
        focus.push_back(nav->FocusedButton());
    }
    EXPECT_EQ(focus, (std::vector<int>{nbFirst, nbNext, nbInsert, nbNext, nbFirst}));
    Key(VK_RIGHT);
    Key(VK_SPACE, ' ');
    EXPECT_EQ(ds->RecNo(), 2);
    Key(VK_LEFT);
    Key(VK_SPACE, ' ');
    EXPECT_EQ(ds->RecNo(), 1);
}

TEST_F(SkinDB, NavigatorPixelsGlyphsStatesAndFocus) {
    auto* nav = Place<TdvxDBNavigator>(10, 10, 250, 30);
    nav->SetUIStyle(WinXP);
    nav->SetTabStop(true);
    nav->SetDataSource(src);
    form->Show();
    Pump();
    Shot("navigator.png");
    // A glyph's ink (dark) in the middle of Next, greyed on the disabled Prior (at BOF).
    auto ink = [&](TNavigateBtn b) {
        TdvxNavButton* btn = nav->Buttons(b);
        int dark = 255;
        for (int y = 8; y < 22; ++y)
            for (int x = 6; x < 19; ++x) {
                COLORREF c = At(10 + btn->Left() + x, 10 + y);
                dark = std::min(dark, (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3);
            }
        return dark;
    };
    EXPECT_LT(ink(nbNext), 60);
    EXPECT_GT(ink(nbPrior), ink(nbNext) + 40) << "disabled glyphs are greyed";
    // Normal, hot and pressed frames differ in the button's corner area.
    TdvxNavButton* last = nav->Buttons(nbLast);
    int cx = 10 + last->Left() + 2, cy = 10 + 27;
    COLORREF normal = At(cx, cy);
    InputMouseMove(Top(), 10 + last->Left() + 12, 20);
    Pump();
    COLORREF hot = At(cx, cy);
    Button(10 + last->Left() + 12, 20, true);
    COLORREF pressed = At(cx, cy);
    Shot("navigator_pressed.png");
    Button(10 + last->Left() + 12, 20, false);
    EXPECT_NE(normal, hot);
    EXPECT_NE(hot, pressed);
    // The focus rectangle: inset by 3, and by 4 while pressed.
    ds->First();
    ASSERT_EQ(nav->FocusedButton(), nbLast);  // the click focused it
    ASSERT_TRUE(nav->Focused());
    Pump();
    auto dotted = [&](int inset) {
        int changes = 0;
        for (int x = 6; x < 18; ++x)
            if (At(10 + last->Left() + x, 10 + inset) != At(10 + last->Left() + x + 1, 10 + inset)) ++changes;
        return changes;
    };
    EXPECT_GT(dotted(3), 4);
    InputMouseMove(Top(), 10 + last->Left() + 12, 20);
    InputMouseButton(Top(), 10 + last->Left() + 12, 20, MouseButton::Left, true);
    Pump();
    EXPECT_GT(dotted(4), 4);
    EXPECT_LE(dotted(3), 1);
    Shot("navigator_focus_pressed.png");
    InputMouseButton(Top(), 10 + last->Left() + 12, 20, MouseButton::Left, false);
    Pump();
}

// ---------------------------------------------------------------- grid and wrappers

TEST_F(SkinDB, GridBarMovesTheRecordPointer) {
    Shell(file, "WITH RECURSIVE c(i) AS (SELECT 5 UNION ALL SELECT i + 1 FROM c WHERE i < 20)"
                " INSERT INTO t(n) SELECT i FROM c");
    ds->Refresh();
    auto* grid = Place<TdvxDBGrid>(10, 10, 300, 150);
    auto* bar = Place<TdvxScrollBar>(0, 0, 16, 100);
    grid->SetDataSource(src);
    grid->SetVScrollBar(bar);
    form->Show();
    Pump();
    for (auto [p, rec] : std::vector<std::pair<int, int>>{{5, 5}, {0, 1}, {20, 20}, {1, 1}, {12, 12}, {25, 20}}) {
        bar->SetMax(30);
        bar->SetPosition(p == bar->Position() ? p + 1 : p);
        bar->SetPosition(p);  // the bar's change reaches the grid
        EXPECT_EQ(ds->RecNo(), rec) << "position " << p;
    }
    // Without a data source the grid scrolls natively.
    grid->SetDataSource(nullptr);
    std::vector<WPARAM> seen;
    auto old = grid->WindowProc;
    grid->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_VSCROLL) seen.push_back(m.WParam);
        old(m);
    };
    bar->SetMax(30);
    bar->SetPosition(7);  // the bar's change reaches the grid
    grid->WindowProc = old;
    EXPECT_EQ(seen, (std::vector<WPARAM>{MAKEWPARAM(SB_THUMBPOSITION, 7)}));
}

TEST_F(SkinDB, GridCellColoursAndStyleTable) {
    for (TdvxUIStyle s : {MacOS, WinXP, DeepBlue, Protein, BlueGlass}) {
        TdvxDBGrid g(form);
        g.SetUIStyle(s);
        TColor menuFont = GetInsideThemeColor(s, DVX_THEME_MENU_FONT_COLOR);
        EXPECT_EQ(g.Font()->Color(), ColorToRGB(menuFont) == 0xFFFFFF ? clBlack : menuFont) << int(s);
        EXPECT_EQ(g.FixedColor(), GetInsideThemeColor(s, DVX_THEME_MENU_SELECTED_COLOR));
        EXPECT_EQ(g.Color(), GetInsideThemeColor(s, DVX_THEME_CONTROL_COLOR));
        EXPECT_EQ(g.BorderColor(), GetInsideThemeColor(s, DVX_THEME_CONTROL_BORDER_COLOR));
        EXPECT_EQ(g.TitleFont()->Color(), GetInsideThemeColor(s, DVX_THEME_MENU_SELECTED_FONT_COLOR));
    }
    auto* grid = Place<TdvxDBGrid>(10, 10, 400, 120);
    grid->SetUIStyle(WinXP);
    grid->SetDataSource(src);
    ds->Next();
    form->Show();
    grid->SetFocus();
    Pump();
    Shot("dvxdbgrid.png");
    // Border band, focused cell (selected column, current row), selected cell, plain cell,
    // fixed title cell: the offset is the grid's one-pixel frame.
    TRect focusedCell = grid->CellRect(1, 2), selectedCell = grid->CellRect(3, 2), plain = grid->CellRect(3, 1);
    auto cellAt = [&](const TRect& r) { return At(10 + 1 + r.right - 3, 10 + 1 + r.top + 2); };
    EXPECT_EQ(At(10, 10), ColorToRGB(grid->BorderColor()));
    EXPECT_EQ(cellAt(focusedCell), RGB(0, 0x80, 0));
    EXPECT_EQ(cellAt(selectedCell), RGB(0xFF, 0xFF, 0));
    EXPECT_EQ(cellAt(plain), ColorToRGB(grid->Color()));
    EXPECT_EQ(cellAt(grid->CellRect(2, 0)), ColorToRGB(grid->FixedColor()));
}

TEST_F(SkinDB, GridBarsSitInsideItsEdges) {
    // Five columns wider than the grid and four records: both native bars show.
    auto* grid = Place<TdvxDBGrid>(20, 30, 200, 100);
    grid->SetDataSource(src);
    auto* v = Place<TdvxScrollBar>(0, 0, 16, 50);
    auto* h = Place<TdvxScrollBar>(0, 0, 50, 16);
    form->Show();
    Pump();
    grid->SetVScrollBar(v);
    auto where = [](TControl* c) {
        return std::to_string(c->Left()) + "," + std::to_string(c->Top()) + " " + std::to_string(c->Width()) + "x" +
               std::to_string(c->Height());
    };
    struct Case {
        bool rtl;
        bool both;
        const char* v;
        const char* h;
    } cases[] = {
        {false, true, "203,31 16x83", "21,113 183x16"},
        {true, true, "21,31 16x83", "37,113 183x16"},
        {false, false, "203,31 16x99", ""},
        {true, false, "21,31 16x99", ""},
    };
    for (const Case& c : cases) {
        SysLocale.MiddleEast = c.rtl;
        grid->SetBiDiMode(c.rtl ? bdRightToLeft : bdLeftToRight);
        grid->SetHScrollBar(c.both ? h : nullptr);
        grid->UpdateScrollBarsPos();
        EXPECT_EQ(where(v), c.v) << c.rtl << c.both;
        if (c.both) {
            EXPECT_EQ(where(h), c.h) << c.rtl;
        }
    }
    SysLocale.MiddleEast = false;
    grid->SetBiDiMode(bdLeftToRight);
    // A grid narrower than its bar moves the bar to its left edge.
    grid->SetBounds(20, 30, 10, 100);
    grid->UpdateScrollBarsPos();
    EXPECT_EQ(v->Left(), 20);
}

TEST_F(SkinDB, ListAndMemoBarsCarryWholePositions) {
    auto* list = Place<TdvxDBListBox>(10, 10, 150, 120);
    list->Items()->BeginUpdate();
    for (int i = 0; i < 70000; ++i) list->Items()->Add("item " + std::to_string(i));
    list->Items()->EndUpdate();
    list->SetDataSource(src);
    list->SetDataField("yes");
    auto* bar = Place<TdvxScrollBar>(0, 0, 16, 50);
    list->SetVScrollBar(bar);
    auto* memo = Place<TdvxDBMemo>(200, 10, 150, 120);
    std::string text;
    for (int i = 0; i < 70000; ++i) text += "line " + std::to_string(i) + "\r\n";
    memo->SetText(text);
    auto* mbar = Place<TdvxScrollBar>(0, 0, 16, 50);
    memo->SetVScrollBar(mbar);
    form->Show();
    Pump();
    // The bar sits at the list's right edge, inside the band; narrower lists keep it there.
    EXPECT_EQ(bar->Left(), 10 + 150 - 16 - 2);
    EXPECT_EQ(bar->Top(), 11);
    EXPECT_EQ(bar->Height(), 118);
    EXPECT_EQ(memo->ScrollBars(), ssVertical);
    EXPECT_GT(bar->Max(), 66000);
    bar->SetPosition(66000);
    EXPECT_EQ(list->TopIndex(), 66000);
    EXPECT_GT(mbar->Max(), 66000);
    mbar->SetPosition(66000);
    EXPECT_EQ(memo->TopLine(), 66000);
    // Moving the list moves its bar along.
    Pump();
    list->SetBounds(10, 10, 12, 120);
    EXPECT_EQ(bar->Left(), 10 + 12 - 16 - 2);
    Shot("dvxdblists.png");
}

// A reading order changed while the memo's window exists puts its native bar on the side
// of the skinned one, so the skinned bar never covers the start of the text.
TEST_F(SkinDB, MemoNativeBarFollowsTheSkinnedBarWhenTheReadingOrderChanges) {
    auto* memo = Place<TdvxDBMemo>(20, 10, 150, 120);
    std::string text;
    for (int i = 0; i < 200; ++i) text += "line " + std::to_string(i) + "\r\n";
    memo->SetText(text);
    auto* bar = Place<TdvxScrollBar>(0, 0, 16, 50);
    memo->SetVScrollBar(bar);
    form->Show();
    Pump();
    struct Case {
        bool middleEast;
        TBiDiMode mode;
        bool left;
    } cases[] = {
        {true, bdRightToLeft, true},
        {false, bdRightToLeft, false},
        {true, bdLeftToRight, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.middleEast) + " " + std::to_string(int(c.mode)));
        memo->SetBiDiMode(bdLeftToRight);
        SysLocale.MiddleEast = c.middleEast;
        memo->SetBiDiMode(c.mode);
        Pump();
        HWND h = memo->WindowHandle();
        SCROLLBARINFO info;
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetScrollBarInfo(h, OBJID_VSCROLL, &info));
        POINT native{info.rcScrollBar.left, info.rcScrollBar.top};
        ScreenToClient(form->WindowHandle(), &native);
        POINT client{0, 0};
        ClientToScreen(h, &client);
        ScreenToClient(form->WindowHandle(), &client);
        EXPECT_EQ(bar->Left() < 20 + 150 / 2, c.left) << "the skinned bar's side";
        EXPECT_EQ(native.x < 20 + 150 / 2, c.left) << "the native bar's side";
        if (c.left) EXPECT_GE(client.x, bar->Left() + bar->Width()) << "the text starts past the bar";
    }
    SysLocale.MiddleEast = false;
    memo->SetBiDiMode(bdLeftToRight);
}

TEST_F(SkinDB, LookupComboArrowSitsTwoPixelsHigher) {
    auto* combo = Place<TdvxDBComboBox>(10, 10, 120, 24);
    combo->SetStyle(csDropDownList);
    auto* lookup = Place<TdvxDBLookupComboBox>(10, 50, 120, 24);
    for (auto* c : {static_cast<TCustomComboBox*>(combo), static_cast<TCustomComboBox*>(lookup)}) c->SetHeight(24);
    combo->SetUIStyle(DeepBlue);
    lookup->SetUIStyle(DeepBlue);
    form->Show();
    Pump();
    Shot("dvxdbcombos.png");
    EXPECT_EQ(combo->ButtonColor(), GetInsideThemeColor(DeepBlue, DVX_THEME_FORM_COLOR));
    EXPECT_EQ(lookup->ButtonArea().Width(), GetSystemMetrics(SM_CXVSCROLL));
    // The first row of arrow ink (black) inside each button.
    auto arrowTop = [&](TWinControl* c, const TRect& b) {
        TPoint o = c->ClientToScreen(TPoint(0, 0));
        TPoint f = form->ClientToScreen(TPoint(0, 0));
        for (int y = b.top; y < b.bottom; ++y)
            for (int x = b.left + 1; x < b.right - 1; ++x)
                if (At(o.x - f.x + x, o.y - f.y + y) == RGB(0, 0, 0)) return y - b.top;
        return -1;
    };
    int comboTop = arrowTop(combo, combo->ButtonArea()), lookupTop = arrowTop(lookup, lookup->ButtonArea());
    ASSERT_GE(comboTop, 0);
    EXPECT_EQ(combo->ButtonArea().Height(), lookup->ButtonArea().Height());
    EXPECT_EQ(lookupTop, comboTop - 2);
}

TEST_F(SkinDB, WrappersDrawTheirBorderBand) {
    auto* edit = Place<TdvxDBEdit>(10, 10, 120, 24);
    edit->SetDataSource(src);
    edit->SetDataField("colour");
    edit->SetUIStyle(Protein);
    auto* image = Place<TdvxDBImage>(150, 10, 60, 40);
    image->SetUIStyle(Protein);
    form->Show();
    Pump();
    Shot("dvxdbedit.png");
    COLORREF border = ColorToRGB(GetInsideThemeColor(Protein, DVX_THEME_CONTROL_BORDER_COLOR));
    EXPECT_EQ(edit->BorderColor(), GetInsideThemeColor(Protein, DVX_THEME_CONTROL_BORDER_COLOR));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{10, 10}, {129, 20}, {60, 33}, {150, 10}, {209, 49}})
        EXPECT_EQ(At(x, y), border) << x << "," << y;
    EXPECT_EQ(At(11, 11), ColorToRGB(edit->Color())) << "the inner frame in the control's colour";
    EXPECT_EQ(edit->Text(), "Green");
}

// Under a skin file the wrappers take the skin's colours: the grid its border, fixed, cell,
// font and title colours, the lookup box its button and border, the edit its border; each
// shows them in pixels.
TEST_F(SkinDB, WrappersTakeTheSkinFilesColours) {
    const int border = 0x0000C0, fixed = 0x00C0C0, cell = 0xE0F0FF, font = 0x404000, title = 0x800080,
              button = 0x30A030;
    auto record = [](const char* name, int value) {
        return std::string(R"({"name":")") + name + R"(","type":1,"value":{"int":)" + std::to_string(value) + "}},";
    };
    skintest::MakeSk2(dir.path() / "skin.sk2",
                      R"({"records":[)" + record("SKIN2_CONTROLBORDERCOLOR", border) +
                          record("SKIN2_SELECTEDMENUCOLOR", fixed) + record("SKIN2_CONTROLCOLOR", cell) +
                          record("SKIN2_CONTROLFONTCOLOR", font) + record("SKIN2_SELECTEDMENUFONTCOLOR", title) +
                          record("SKIN2_FORMCOLOR", button) + R"({"name":"E"}]})");
    skintest::MakeVxk(dir.path() / "skin.vxk", dir.path() / "skin.sk2");
    auto* theme = new TdvxFileTheme(form);
    theme->SetThemeFile((dir.path() / "skin.vxk").string());
    ASSERT_TRUE(theme->CanUse());
    auto* grid = Place<TdvxDBGrid>(10, 10, 300, 100);
    auto* lookup = Place<TdvxDBLookupComboBox>(10, 130, 120, 24);
    auto* edit = Place<TdvxDBEdit>(150, 130, 120, 24);
    grid->SetFileTheme(theme);
    grid->SetUIStyle(FromThemeFile);
    lookup->SetFileTheme(theme);
    lookup->SetUIStyle(FromThemeFile);
    edit->SetFileTheme(theme);
    edit->SetUIStyle(FromThemeFile);
    grid->SetDataSource(src);
    form->Show();
    Pump();
    Shot("dvxdbfiletheme.png");
    EXPECT_EQ(grid->BorderColor(), TColor(border));
    EXPECT_EQ(grid->FixedColor(), TColor(fixed));
    EXPECT_EQ(grid->Color(), TColor(cell));
    EXPECT_EQ(grid->Font()->Color(), TColor(font));
    EXPECT_EQ(grid->TitleFont()->Color(), TColor(title));
    EXPECT_EQ(lookup->ButtonColor(), TColor(button));
    EXPECT_EQ(lookup->BorderColor(), TColor(border));
    EXPECT_EQ(edit->BorderColor(), TColor(border));
    TRect plain = grid->CellRect(3, 2);
    EXPECT_EQ(At(10 + 1 + plain.right - 3, 10 + 1 + plain.top + 2), ColorToRGB(TColor(cell)));
    TRect fixedCell = grid->CellRect(2, 0);
    EXPECT_EQ(At(10 + 1 + fixedCell.right - 3, 10 + 1 + fixedCell.top + 2), ColorToRGB(TColor(fixed)));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{10, 10}, {309, 60}, {10, 130}, {150, 130}, {269, 153}})
        EXPECT_EQ(At(x, y), ColorToRGB(TColor(border))) << x << "," << y;
    TPoint o = lookup->ClientToScreen(TPoint(0, 0)), f = form->ClientToScreen(TPoint(0, 0));
    TRect b = lookup->ButtonArea();
    EXPECT_EQ(At(o.x - f.x + b.right - 2, o.y - f.y + b.bottom - 2), ColorToRGB(TColor(button)));
}

// Right to left, the lookup box's button moves to the left edge with its dividing line on
// its right side, and the arrow goes along; left to right it mirrors back.
TEST_F(SkinDB, LookupComboButtonFollowsTheReadingOrder) {
    auto* lookup = Place<TdvxDBLookupComboBox>(10, 10, 120, 24);
    lookup->SetUIStyle(DeepBlue);
    form->Show();
    Pump();
    const int cx = GetSystemMetrics(SM_CXVSCROLL);
    struct Case {
        bool middleEast;
        TBiDiMode mode;
        bool buttonLeft;
    } cases[] = {
        {false, bdLeftToRight, false},
        {true, bdLeftToRight, false},
        {false, bdRightToLeft, false},
        {true, bdRightToLeft, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.middleEast) + " " + std::to_string(int(c.mode)));
        SysLocale.MiddleEast = c.middleEast;
        lookup->SetBiDiMode(c.mode);
        lookup->Invalidate();
        Pump();
        TRect b = lookup->ButtonArea();
        int w = lookup->ClientWidth();
        EXPECT_EQ(b.left, c.buttonLeft ? 0 : w - cx);
        EXPECT_EQ(b.Width(), cx);
        TPoint o = lookup->ClientToScreen(TPoint(0, 0)), f = form->ClientToScreen(TPoint(0, 0));
        auto px = [&](int x, int y) { return At(o.x - f.x + x, o.y - f.y + y); };
        COLORREF line = ColorToRGB(lookup->BorderColor()), fill = ColorToRGB(lookup->ButtonColor());
        int lineX = c.buttonLeft ? b.right - 1 : b.left, otherX = c.buttonLeft ? b.left : b.right - 1;
        EXPECT_EQ(px(lineX, b.top + b.Height() / 2), line);
        EXPECT_EQ(px(otherX - (c.buttonLeft ? -1 : 1), b.top + b.Height() / 2), fill);
        int ink = 0;
        for (int y = b.top; y < b.bottom; ++y)
            for (int x = b.left + 1; x < b.right - 1; ++x) ink += px(x, y) == RGB(0, 0, 0);
        EXPECT_GT(ink, 0) << "the arrow inside the button";
    }
    SysLocale.MiddleEast = false;
}

// Switched to right to left, the grid's vertical bar moves to its left edge and the skinned
// horizontal bar mirrors: its thumb starts at the right. The no-align right-to-left mode
// counts as right to left too, and only in a Middle East locale.
TEST_F(SkinDB, GridMirrorsItsHorizontalBarRightToLeft) {
    auto* grid = Place<TdvxDBGrid>(20, 30, 200, 100);
    grid->SetDataSource(src);
    auto* v = Place<TdvxScrollBar>(0, 0, 16, 50);
    auto* h = Place<TdvxScrollBar>(0, 0, 50, 16);
    form->Show();
    Pump();
    grid->SetVScrollBar(v);
    grid->SetHScrollBar(h);
    struct Case {
        bool middleEast;
        TBiDiMode mode;
        bool rtl;
    } cases[] = {
        {true, bdRightToLeft, true},
        {true, bdRightToLeftNoAlign, true},
        {false, bdRightToLeft, false},
        {true, bdLeftToRight, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.middleEast) + " " + std::to_string(int(c.mode)));
        SysLocale.MiddleEast = c.middleEast;
        grid->SetBiDiMode(bdLeftToRight);
        grid->UpdateScrollBarsPos();
        h->SetPosition(0);
        grid->SetBiDiMode(c.mode);
        grid->UpdateScrollBarsPos();
        EXPECT_EQ(v->Left(), c.rtl ? 21 : 20 + 200 - 16 - 1);
        // The grid shows its first columns: the thumb sits at the end the reading starts from.
        ASSERT_GT(h->Max(), 0) << "the columns are wider than the grid";
        EXPECT_EQ(h->Position(), c.rtl ? h->Max() : 0);
    }
    SysLocale.MiddleEast = false;
    grid->SetBiDiMode(bdLeftToRight);
}

}  // namespace
