// The class library's own drags, headless: a control in automatic drag mode is dragged onto
// another that accepts it; Esc and a short press end without a drop.
#include <gtest/gtest.h>

#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"

namespace platform {
namespace {

class ControlDragTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool once = (SetBackend(CreateHeadlessBackend(1024, 768)), true);
        (void)once;
        form = new TForm(nullptr);
        form->AfterConstruction();
        form->SetBorderStyle(bsNone);  // window and client coordinates agree
        form->SetBounds(0, 0, 400, 300);
        source = MakePanel(10, 10);
        target = MakePanel(200, 10);
        form->Show();
        Application->ProcessMessages();
        source->SetDragMode(dmAutomatic);
        source->OnClick = [this](TObject*) { ++clicks; };
        target->OnDragOver = [this](TObject*, TObject* from, int x, int y, TDragState state, bool& accept) {
            static const char* names[] = {"enter", "leave", "move"};
            overs.push_back(std::string(names[state]) + " " + std::to_string(x) + "," + std::to_string(y));
            accept = from == source;
        };
        target->OnDragDrop = [this](TObject*, TObject* from, int x, int y) {
            drops.push_back((from == source ? "source " : "other ") + std::to_string(x) + "," + std::to_string(y));
        };
        source->OnEndDrag = [this](TObject*, TObject* on, int x, int y) {
            ends.push_back((on == target ? "target " : on ? "other " : "none ") + std::to_string(x) + "," + std::to_string(y));
        };
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
    }
    TPanel* MakePanel(int x, int y) {
        auto* p = new TPanel(form);
        p->SetParent(form);
        p->SetBounds(x, y, 100, 100);
        return p;
    }
    void Press(int x, int y) {
        InputMouseMove(form->Handle(), x, y);
        InputMouseButton(form->Handle(), x, y, MouseButton::Left, true);
    }
    void Release(int x, int y) { InputMouseButton(form->Handle(), x, y, MouseButton::Left, false); }

    TForm* form = nullptr;
    TPanel* source = nullptr;
    TPanel* target = nullptr;
    int clicks = 0;
    std::vector<std::string> overs, drops, ends;
};

TEST_F(ControlDragTest, AnAutomaticDragDropsOnTheControlThatAcceptsIt) {
    Press(50, 50);
    InputMouseMove(form->Handle(), 52, 51);  // within the threshold: still a press
    InputMouseMove(form->Handle(), 120, 50);  // over the form, which takes no drags
    InputMouseMove(form->Handle(), 250, 50);
    InputMouseMove(form->Handle(), 260, 60);
    Release(260, 60);
    Application->ProcessMessages();
    EXPECT_EQ(overs, (std::vector<std::string>{"enter 50,40", "move 50,40", "move 60,50", "move 60,50"}));
    EXPECT_EQ(drops, std::vector<std::string>{"source 60,50"});
    EXPECT_EQ(ends, std::vector<std::string>{"target 60,50"});
    EXPECT_EQ(clicks, 0) << "the release ended the drag, it is no click";
    EXPECT_FALSE(source->Dragging());
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ControlDragTest, EscapeRefusalAndAShortPressEndWithoutADrop) {
    // Esc over the target.
    Press(50, 50);
    InputMouseMove(form->Handle(), 250, 50);
    InputKey(VK_ESCAPE, true);
    InputKey(VK_ESCAPE, false);
    Release(250, 50);
    Application->ProcessMessages();
    EXPECT_EQ(overs, (std::vector<std::string>{"enter 50,40", "move 50,40", "leave 50,40"}));
    EXPECT_TRUE(drops.empty());
    EXPECT_EQ(ends, std::vector<std::string>{"none 0,0"});

    // Released where nothing accepts (the form). Each press lies apart from the one before,
    // so that none makes a double click.
    overs.clear();
    ends.clear();
    Press(20, 90);
    InputMouseMove(form->Handle(), 150, 200);
    Release(150, 200);
    Application->ProcessMessages();
    EXPECT_TRUE(overs.empty());
    EXPECT_TRUE(drops.empty());
    EXPECT_EQ(ends, std::vector<std::string>{"none 0,0"});

    // A press released before the pointer moved far enough is a click, not a drag.
    ends.clear();
    Press(80, 20);
    InputMouseMove(form->Handle(), 82, 22);
    Release(82, 22);
    Application->ProcessMessages();
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(ends.empty());
    EXPECT_TRUE(drops.empty());
}

}  // namespace
}  // namespace platform
