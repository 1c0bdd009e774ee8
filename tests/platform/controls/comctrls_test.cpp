// The time picker on the virtual clock, up-down buttons, the scroll bar control (SB_CTL)
// and the colour identifier table.
#include <string>
#include <vector>

#include "platform/controls/colortable.h"
#include "platform/controls/comctrls.h"
#include "platform/controls/controls_fixture.h"

using namespace platform;

namespace {

class ComCtrlsTest : public test::ControlsFixture {};

TEST_F(ComCtrlsTest, TimePickerFieldsByKeysAndDigits) {
    TVirtualClock clock;  // 09:05:07 local time
    TScopedClock use(clock);
    auto* picker = new TDateTimePicker(form);
    picker->SetParent(form);
    picker->SetBounds(10, 10, 120, 24);
    EXPECT_EQ(picker->Text(), "09:05:07");
    int changes = 0;
    picker->OnChange = [&](TObject*) { ++changes; };
    picker->SetFocus();
    Pump();
    Key(VK_UP);
    EXPECT_EQ(picker->Text(), "10:05:07");
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(picker->Text(), "08:05:07");
    Key(VK_RIGHT);
    Key(VK_DOWN);
    EXPECT_EQ(picker->Text(), "08:04:07");
    Key(VK_RIGHT);
    Key(VK_UP);
    EXPECT_EQ(picker->Text(), "08:04:08");
    Key(VK_RIGHT);  // around to the hours
    Key(VK_HOME);
    EXPECT_EQ(picker->Text(), "00:04:08");
    Key(VK_DOWN);  // wraps below zero
    EXPECT_EQ(picker->Text(), "23:04:08");
    EXPECT_EQ(changes, 7);
    // Typed digits: two fill a field and move on; a second digit that makes no hour stands
    // alone; a digit that cannot begin two moves on at once.
    Type("27");
    EXPECT_EQ(picker->Text(), "07:04:08");
    EXPECT_EQ(picker->Field(), 1);
    Type("7");
    EXPECT_EQ(picker->Text(), "07:07:08");
    EXPECT_EQ(picker->Field(), 2);
    Type("30");
    EXPECT_EQ(picker->Text(), "07:07:30");
    EXPECT_NEAR(picker->Time(), (7 * 3600 + 7 * 60 + 30) / 86400.0, 1e-9);
    picker->SetTime(0.5);  // code: no OnChange
    EXPECT_EQ(picker->Text(), "12:00:00");
    int before = changes;
    picker->SetTime(0.25);
    EXPECT_EQ(changes, before);
    Pump();
    test::Shot(Top(), "time_picker.png");
}

TEST_F(ComCtrlsTest, UpDownStepsItsAssociate) {
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 60, 24);
    auto* ud = new TUpDown(form);
    ud->SetParent(form);
    ud->SetBounds(70, 10, 17, 24);
    ud->SetMin(1);
    ud->SetMax(3);
    ud->SetPosition(2);
    ud->SetAssociate(edit);
    Pump();
    EXPECT_EQ(edit->Text(), "2");
    std::vector<TUDBtnType> clicks;
    ud->OnClick = [&](TObject*, TUDBtnType b) { clicks.push_back(b); };
    TPoint up = ud->ClientToScreen(TPoint(8, 4));
    Click(up.x - 100, up.y - 100);
    Click(up.x - 100, up.y - 100);  // at the maximum it stays
    EXPECT_EQ(edit->Text(), "3");
    ud->SetWrap(true);
    ud->Step(btNext);
    EXPECT_EQ(ud->Position(), 1);
    TPoint down = ud->ClientToScreen(TPoint(8, 20));
    Click(down.x - 100, down.y - 100);
    EXPECT_EQ(ud->Position(), 3);
    EXPECT_EQ(clicks, (std::vector<TUDBtnType>{btNext, btNext, btNext, btPrev}));
}

TEST_F(ComCtrlsTest, ScrollBarControlAnswersScrollInfoAndDragsPast16Bits) {
    auto* bar = new TScrollBar(form);
    bar->SetParent(form);
    bar->SetBounds(10, 10, 200, 17);
    bar->SetPageSize(10);
    bar->SetParams(0, 0, 100000);
    Pump();
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(bar->Handle(), SB_CTL, &si));
    EXPECT_EQ(si.nMax, 100000);
    EXPECT_EQ(int(si.nPage), 10);
    si.fMask = SIF_POS;
    si.nPos = 70000;
    SetScrollInfo(bar->Handle(), SB_CTL, &si, TRUE);
    EXPECT_EQ(bar->Position(), 70000);
    int changes = 0;
    bar->OnChange = [&](TObject*) { ++changes; };
    // Drag the thumb to the far right: the last position, whole.
    TRect t = bar->ThumbRect();
    TPoint grab = bar->ClientToScreen(TPoint((t.left + t.right) / 2, 8));
    InputMouseMove(Top(), grab.x - 100, grab.y - 100);
    InputMouseButton(Top(), grab.x - 100, grab.y - 100, MouseButton::Left, true);
    InputMouseMove(Top(), grab.x - 100 + 300, grab.y - 100);
    InputMouseButton(Top(), grab.x - 100 + 300, grab.y - 100, MouseButton::Left, false);
    Pump();
    EXPECT_EQ(bar->Position(), 100000 - 10 + 1);
    EXPECT_GT(changes, 0);
    bar->SetFocus();
    Key(VK_HOME);
    EXPECT_EQ(bar->Position(), 0);
}

TEST(ColorTable, RowsOrderAndNames) {
    std::vector<std::string> names;
    GetColorValues([&](const std::string& n) { names.push_back(n); });
    ASSERT_EQ(names.size(), 52u);
    EXPECT_EQ(names.front(), "clBlack");
    EXPECT_EQ(names[16], "clMoneyGreen");
    EXPECT_EQ(names[19], "clMedGray");
    EXPECT_EQ(names.back(), "clWindowText");
    TColor c = 0;
    ASSERT_TRUE(IdentToColor("clSkyBlue", c));
    EXPECT_EQ(ColorToRGB(c), RGB(166, 202, 240));
    ASSERT_TRUE(IdentToColor("clCream", c));
    EXPECT_EQ(ColorToRGB(c), RGB(255, 251, 240));
    EXPECT_EQ(ColorToString(clRed), "clRed");
    EXPECT_EQ(ColorToString(TColor(0x123456)), "$00123456");
    EXPECT_EQ(StringToColor("$00123456"), TColor(0x123456));
    EXPECT_EQ(StringToColor("clwindowtext"), clWindowText);
    EXPECT_THROW(StringToColor("nocolour"), EConvertError);
    EXPECT_THROW(StringToColor("$"), EConvertError);
}

}  // namespace
