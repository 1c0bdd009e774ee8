// List boxes and combo boxes on the headless backend: selection by mouse and keys,
// owner drawing, virtual data, whole thumb positions, type-ahead, and the combo's list with
// its events (a user's pick changes, code and Escape do not).
#include <set>
#include <string>
#include <vector>

#include "platform/controls/controls_fixture.h"
#include "platform/controls/stdctrls.h"

using namespace platform;

namespace {

class ListTest : public test::ControlsFixture {
protected:
    TListBox* NewList(std::vector<std::string> items, int height = 120) {
        auto* l = new TListBox(form);
        l->SetParent(form);
        l->SetBounds(10, 10, 150, height);
        l->SetItemHeight(16);
        for (const auto& s : items) l->Items()->Add(s);
        l->SetFocus();
        Pump();
        return l;
    }
    // Clicks the middle of an item with the given keys held.
    void ClickItem(TCustomListBox* l, int index, WORD hold = 0) {
        TPoint p = l->ClientToScreen(TPoint(20, l->ItemRect(index).top + 8));
        if (hold) InputKey(hold, true);
        Click(p.x - 100, p.y - 100);
        if (hold) InputKey(hold, false);
        Pump();
    }
    static std::set<int> SelectedOf(TCustomListBox* l) {
        std::set<int> out;
        for (int i = 0; i < l->Count(); ++i)
            if (l->Selected(i)) out.insert(i);
        return out;
    }
};

TEST_F(ListTest, SelectionByMouseAndKeys) {
    TListBox* l = NewList({"zero", "one", "two", "three", "four", "five"});
    int clicks = 0;
    l->OnClick = [&](TObject*) { ++clicks; };
    ClickItem(l, 2);
    EXPECT_EQ(l->ItemIndex(), 2);
    EXPECT_EQ(clicks, 1);
    Key(VK_DOWN);
    Key(VK_END);
    EXPECT_EQ(l->ItemIndex(), 5);
    Key(VK_HOME);
    EXPECT_EQ(l->ItemIndex(), 0);
    EXPECT_EQ(clicks, 4);
    l->SetItemIndex(3);  // code: no OnClick
    EXPECT_EQ(clicks, 4);
    ClickItem(l, 3);     // the same item again: no change, no OnClick
    EXPECT_EQ(clicks, 4);

    l->SetMultiSelect(true);  // extended: shift ranges, ctrl toggles
    ClickItem(l, 1);
    ClickItem(l, 3, VK_SHIFT);
    EXPECT_EQ(SelectedOf(l), (std::set<int>{1, 2, 3}));
    ClickItem(l, 2, VK_CONTROL);
    EXPECT_EQ(SelectedOf(l), (std::set<int>{1, 3}));
    // Shift+Down: the range from the last clicked item to the next one, alone.
    InputKey(VK_SHIFT, true);
    Key(VK_DOWN);
    InputKey(VK_SHIFT, false);
    EXPECT_EQ(SelectedOf(l), (std::set<int>{2, 3}));
    EXPECT_EQ(l->SelCount(), 2);

    l->SetExtendedSelect(false);  // plain multiple selection: each click toggles
    l->ClearSelection();
    ClickItem(l, 0);
    ClickItem(l, 4);
    ClickItem(l, 0);
    EXPECT_EQ(SelectedOf(l), (std::set<int>{4}));
    test::Shot(Top(), "listbox_multi.png");
}

TEST_F(ListTest, OwnerDrawnItemsGoThroughTheReflectedMessages) {
    TListBox* l = NewList({});
    std::vector<int> measured;
    l->SetStyle(lbOwnerDrawVariable);
    l->OnMeasureItem = [&](TWinControl* control, int index, int& height) {
        EXPECT_EQ(control, l);
        measured.push_back(index);
        height = 10 + 5 * index;
    };
    l->OnDrawItem = [&](TWinControl*, int index, TRect rect, TOwnerDrawState state) {
        TCanvas* c = l->Canvas();
        c->Brush()->SetColor((state & odSelected) ? clBlue : index % 2 ? clRed : clLime);
        c->FillRect(rect);
    };
    for (const char* s : {"a", "b", "c", "d"}) l->Items()->Add(s);
    l->SetItemIndex(3);
    Pump();
    EXPECT_EQ(measured, (std::vector<int>{0, 1, 2, 3}));
    std::vector<int> tops;
    for (int i = 0; i < 4; ++i) tops.push_back(l->ItemRect(i).top);
    EXPECT_EQ(tops, (std::vector<int>{0, 10, 25, 45}));
    // Pixels in the window: the client starts inside a two-pixel edge.
    HWND h = l->Handle();
    EXPECT_EQ(GetWindowSurfacePixel(h, 50, 2 + 5), RGB(0, 255, 0));
    EXPECT_EQ(GetWindowSurfacePixel(h, 50, 2 + 10 + 7), RGB(255, 0, 0));
    EXPECT_EQ(GetWindowSurfacePixel(h, 50, 2 + 45 + 10), RGB(0, 0, 255));
    EXPECT_EQ(l->ItemAtPos(TPoint(5, 30), true), 2);
}

TEST_F(ListTest, AVirtualListAsksOnlyForWhatItShowsAndScrollsPast16Bits) {
    TListBox* l = NewList({});
    l->SetStyle(lbVirtual);
    int asked = 0;
    l->OnData = [&](TWinControl*, int index, std::string& data) {
        ++asked;
        data = "Item " + std::to_string(index);
    };
    l->SetCount(100000);
    l->Invalidate();
    Pump();
    EXPECT_GT(asked, 0);
    EXPECT_LE(asked, l->VisibleCount() + 1);
    EXPECT_EQ(l->ItemText(99999), "Item 99999");
    // Drag the thumb to the bottom of the bar.
    SCROLLBARINFO sbi;
    ASSERT_TRUE(GetScrollBarInfo(l->Handle(), OBJID_VSCROLL, &sbi));
    int x = (sbi.rcScrollBar.left + sbi.rcScrollBar.right) / 2 - 100;
    int y = sbi.rcScrollBar.top + sbi.xyThumbTop + 2 - 100;
    InputMouseMove(Top(), x, y);
    InputMouseButton(Top(), x, y, MouseButton::Left, true);
    InputMouseMove(Top(), x, y + 400);
    InputMouseButton(Top(), x, y + 400, MouseButton::Left, false);
    Pump();
    EXPECT_EQ(l->TopIndex(), 100000 - l->VisibleCount());
    EXPECT_GT(l->TopIndex(), 65535);
    // A scroll message with only the low word lands on the whole position nearest.
    l->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, WORD(70000)), 0);
    EXPECT_EQ(l->TopIndex(), 70000);
    test::Shot(Top(), "listbox_virtual.png");
}

TEST_F(ListTest, TypeAheadFindsItemsByTheirFirstLetters) {
    TVirtualClock clock;
    TScopedClock use(clock);
    TListBox* l = NewList({"apple", "banana", "blueberry", "Cherry", "cranberry"});
    Type("b");
    EXPECT_EQ(l->ItemIndex(), 1);
    Type("l");  // within a second: "bl"
    EXPECT_EQ(l->ItemIndex(), 2);
    clock.Advance(1100);
    Type("c");  // a fresh search, ignoring case
    EXPECT_EQ(l->ItemIndex(), 3);
    clock.Advance(1100);
    Type("c");  // the same letter again: the next one
    EXPECT_EQ(l->ItemIndex(), 4);
}

// ---------------------------------------------------------------- combo boxes

class ComboTest : public ListTest {
protected:
    TComboBox* NewCombo(TComboBoxStyle style, int top = 10) {
        auto* c = new TComboBox(form);
        c->SetParent(form);
        c->SetStyle(style);
        c->SetBounds(10, top, 150, 24);
        for (const char* s : {"red", "green", "blue", "yellow"}) c->Items()->Add(s);
        c->OnChange = [this](TObject*) { ++changes; };
        Pump();
        return c;
    }
    void ClickButton(TComboBox* c) {
        TRect b = c->ButtonRect();
        TPoint p = c->ClientToScreen(TPoint((b.left + b.right) / 2, (b.top + b.bottom) / 2));
        Click(p.x - 100, p.y - 100);
    }
    HWND ListWindow(TComboBox* c) {
        COMBOBOXINFO info;
        return GetComboBoxInfo(c->Handle(), &info) ? info.hwndList : nullptr;
    }
    int changes = 0;
};

TEST_F(ComboTest, OnlyTheUsersPickFiresOnChange) {
    TComboBox* c = NewCombo(csDropDownList);
    c->SetItemIndex(1);  // code: nothing
    c->Items()->Add("black");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(c->Text(), "green");

    // Open, move, Enter: one change.
    ClickButton(c);
    ASSERT_TRUE(c->DroppedDown());
    HWND list = ListWindow(c);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(GetCapture(), list);
    EXPECT_TRUE(GetWindowLongA(list, GWL_EXSTYLE) & WS_EX_TOPMOST);  // override-redirect on X11
    Key(VK_DOWN);
    test::Shot(list, "combo_list.png");
    test::Shot(Top(), "combo_box.png");
    Key(VK_RETURN);
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->ItemIndex(), 2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(GetCapture(), nullptr);

    // Open, move, Escape: nothing.
    ClickButton(c);
    Key(VK_DOWN);
    Key(VK_ESCAPE);
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->ItemIndex(), 2);
    EXPECT_EQ(changes, 1);

    // Open, click outside: closed, nothing, and the click reaches nobody.
    int formClicks = 0;
    form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++formClicks; };
    ClickButton(c);
    Click(300, 250);
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(formClicks, 0);
    EXPECT_EQ(GetCapture(), nullptr);

    // Open, click an item: one change.
    ClickButton(c);
    RECT lr;
    GetWindowRect(list, &lr);
    InputMouseMove(list, 20, 1 + 16 * 0 + 8);
    InputMouseButton(list, 20, 1 + 8, MouseButton::Left, true);
    InputMouseButton(list, 20, 1 + 8, MouseButton::Left, false);
    Pump();
    EXPECT_EQ(c->ItemIndex(), 0);
    EXPECT_EQ(changes, 2);
    // Arrows on the closed box are picks too.
    c->SetFocus();
    Key(VK_DOWN);
    EXPECT_EQ(c->ItemIndex(), 1);
    EXPECT_EQ(changes, 3);
}

TEST_F(ComboTest, TheListDropsBelowOrAboveAndAnswersItsMessages) {
    TComboBox* low = NewCombo(csDropDownList, 10);
    // Near the screen's bottom the list goes above the box.
    form->SetBounds(100, Backend().ScreenRect().bottom - 60, 400, 60);
    Pump();
    EXPECT_EQ(low->Perform(CB_SHOWDROPDOWN, TRUE), TRUE);
    EXPECT_EQ(low->Perform(CB_GETDROPPEDSTATE), 1);
    RECT box, list;
    GetWindowRect(low->Handle(), &box);
    GetWindowRect(ListWindow(low), &list);
    EXPECT_EQ(list.bottom, box.top);
    EXPECT_EQ(list.left, box.left);
    low->Perform(CB_SHOWDROPDOWN, FALSE);
    EXPECT_FALSE(IsWindowVisible(ListWindow(low)));
    form->SetBounds(100, 100, 400, 300);
    Pump();
    low->SetDroppedDown(true);
    GetWindowRect(low->Handle(), &box);
    GetWindowRect(ListWindow(low), &list);
    EXPECT_EQ(list.top, box.bottom);
    EXPECT_EQ(list.bottom - list.top, 4 * 16 + 2);
    low->SetDroppedDown(false);
    EXPECT_EQ(changes, 0);

    COMBOBOXINFO info;
    ASSERT_TRUE(GetComboBoxInfo(low->Handle(), &info));
    EXPECT_EQ(info.hwndCombo, low->Handle());
    EXPECT_EQ(info.hwndItem, low->Handle());
    EXPECT_EQ(TRect(info.rcButton), low->ButtonRect());
    TComboBox* edit = NewCombo(csDropDown, 50);
    ASSERT_TRUE(GetComboBoxInfo(edit->Handle(), &info));
    EXPECT_EQ(info.hwndItem, edit->EditControl()->Handle());
    COMBOBOXINFO wrong;
    wrong.cbSize = 7;
    EXPECT_FALSE(GetComboBoxInfo(edit->Handle(), &wrong));
    EXPECT_FALSE(GetComboBoxInfo(form->Handle(), &info));
}

TEST_F(ComboTest, TypingInTheEditChangesAndCodeDoesNot) {
    TComboBox* c = NewCombo(csDropDown);
    c->SetText("from code");
    c->SetItemIndex(2);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(c->Text(), "blue");
    c->SetFocus();
    Pump();
    c->EditControl()->SelectAll();
    Type("gre");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(c->Text(), "gre");
    EXPECT_EQ(c->ItemIndex(), -1);
    Type("en");
    EXPECT_EQ(c->ItemIndex(), 1);  // the typed text names an item
    // Alt+Down drops the list from the edit; Enter picks.
    InputKey(VK_MENU, true);
    Key(VK_DOWN);
    InputKey(VK_MENU, false);
    Pump();
    ASSERT_TRUE(c->DroppedDown());
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(c->Text(), "blue");
    EXPECT_EQ(changes, 6);
}

TEST_F(ComboTest, SimpleAndOwnerDrawnStyles) {
    TComboBox* simple = NewCombo(csSimple);
    simple->SetBounds(10, 10, 150, 100);
    Pump();
    ASSERT_TRUE(simple->ListControl()->Visible());
    EXPECT_EQ(simple->ListControl()->Parent(), simple);
    EXPECT_EQ(simple->ListControl()->Count(), 4);
    simple->ListControl()->SetFocus();
    Key(VK_DOWN);
    EXPECT_EQ(simple->Text(), "red");
    EXPECT_EQ(changes, 1);

    TComboBox* drawn = NewCombo(csOwnerDrawFixed, 120);
    std::vector<std::pair<int, bool>> drawnItems;
    drawn->OnDrawItem = [&](TWinControl*, int index, TRect rect, TOwnerDrawState state) {
        drawnItems.push_back({index, (state & odComboBoxEdit) != 0});
        drawn->Canvas()->Brush()->SetColor(clYellow);
        drawn->Canvas()->FillRect(rect);
    };
    drawn->SetItemIndex(0);
    drawn->Invalidate();
    Pump();
    ASSERT_FALSE(drawnItems.empty());
    EXPECT_EQ(drawnItems.back(), (std::pair<int, bool>{0, true}));
    drawnItems.clear();
    drawn->SetDroppedDown(true);
    Pump();
    std::vector<int> listItems;
    for (const auto& [index, box] : drawnItems)
        if (!box) listItems.push_back(index);
    EXPECT_EQ(listItems, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(GetWindowSurfacePixel(ListWindow(drawn), 20, 1 + 8), RGB(255, 255, 0));
    drawn->SetDroppedDown(false);
    test::Shot(Top(), "combo_styles.png");
}

}  // namespace
