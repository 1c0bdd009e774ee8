// Menus on the headless backend: the popup loop by keys and by mouse, edge flips, owner
// drawing, automatic popups and shortcuts, and that no capture is left behind.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/controls_fixture.h"
#include "platform/controls/menus.h"
#include "platform/controls/stdctrls.h"

using namespace platform;

namespace {

class MenuTest : public test::ControlsFixture {
protected:
    void SetUp() override {
        ControlsFixture::SetUp();
        driver_ = AllocateHWnd([this](HWND h, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
            if (msg == WM_USER && inside_) {
                auto run = std::move(inside_);
                inside_ = nullptr;
                run();
            }
            if (msg == WM_TIMER && wParam == 2 && later_) {
                KillTimer(h, 2);
                auto run = std::move(later_);
                later_ = nullptr;
                run();
            }
            return 0;
        });
        menu = new TPopupMenu(form);
        auto add = [&](TMenuItem* parent, const std::string& caption) {
            auto* item = new TMenuItem(form);
            item->SetCaption(caption);
            item->OnClick = [this, caption](TObject*) { ran.push_back(caption); };
            parent->Add(item);
            return item;
        };
        add(menu->Items(), "&Open");
        add(menu->Items(), "-");
        add(menu->Items(), "&Save")->SetEnabled(false);
        TMenuItem* more = add(menu->Items(), "&More");
        add(more, "Sub&One");
        add(more, "Sub&Two");
        add(menu->Items(), "E&xit")->SetChecked(true);
    }
    void TearDown() override {
        DeallocateHWnd(driver_);
        ControlsFixture::TearDown();
    }
    // Runs inside() once the next menu loop (or modal loop) has started.
    void During(std::function<void()> inside) {
        inside_ = std::move(inside);
        PostMessage(driver_, WM_USER, 0, 0);
    }
    // Runs f a little later, once the input given before has been handled.
    void Later(std::function<void()> f) {
        later_ = std::move(f);
        SetTimer(driver_, 2, 40);
    }
    // Keys for the running menu: a virtual key, or a character when ch is set.
    struct MenuKey {
        WORD vk;
        char ch;
    };
    static void Press(const std::vector<MenuKey>& keys) {
        for (const auto& k : keys) {
            if (k.ch) {
                InputChar(unsigned(k.ch));
                continue;
            }
            InputKey(k.vk, true);
            InputKey(k.vk, false);
        }
        // Whatever the keys did, the menu ends: these reach the form when it is gone.
        for (int i = 0; i < 3; ++i) {
            InputKey(VK_ESCAPE, true);
            InputKey(VK_ESCAPE, false);
        }
    }

    TPopupMenu* menu = nullptr;
    std::vector<std::string> ran;

private:
    HWND driver_ = nullptr;
    std::function<void()> inside_;
    std::function<void()> later_;
};

constexpr WORD D = VK_DOWN, U = VK_UP, R = VK_RIGHT, L = VK_LEFT, E = VK_ESCAPE, RET = VK_RETURN;

TEST_F(MenuTest, KeysMoveOpenCloseAndRunItems) {
    struct Case {
        const char* name;
        std::vector<MenuKey> keys;
        std::string runs;  // empty: nothing
    };
    const std::vector<Case> cases = {
        {"first item", {{D, 0}, {RET, 0}}, "&Open"},
        {"down skips the separator, disabled never runs", {{D, 0}, {D, 0}, {RET, 0}}, ""},
        {"up from nothing wraps to the last", {{U, 0}, {RET, 0}}, "E&xit"},
        {"an & letter runs its item", {{0, 'x'}}, "E&xit"},
        {"the letter of a disabled item runs nothing", {{0, 's'}}, ""},
        {"right opens a submenu", {{D, 0}, {D, 0}, {D, 0}, {R, 0}, {D, 0}, {RET, 0}}, "Sub&Two"},
        {"a letter opens a submenu, another runs in it", {{0, 'm'}, {0, 't'}}, "Sub&Two"},
        {"escape closes one level", {{0, 'm'}, {E, 0}, {D, 0}, {RET, 0}}, "E&xit"},
        {"left closes the submenu", {{0, 'm'}, {L, 0}, {U, 0}, {RET, 0}}, ""},
        {"escape closes the menu", {{E, 0}, {0, 'o'}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ran.clear();
        bool shown = false;
        During([&] {
            shown = ActiveMenuWindow() != nullptr && IsWindowVisible(ActiveMenuWindow());
            Press(c.keys);
        });
        menu->Popup(200, 150);
        Pump();
        EXPECT_TRUE(shown);
        EXPECT_EQ(ran, c.runs.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.runs});
        EXPECT_EQ(ActiveMenuWindow(), nullptr);
        EXPECT_EQ(GetCapture(), nullptr);  // no grab left behind
    }
}

TEST_F(MenuTest, AClickOutsideClosesTheMenuAndGoesNowhereElse) {
    int formClicks = 0;
    form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++formClicks; };
    RECT wr;
    GetWindowRect(Top(), &wr);
    During([&] {
        // Outside the menu, over the form.
        InputMouseMove(Top(), 10, 10);
        InputMouseButton(Top(), 10, 10, MouseButton::Left, true);
        InputMouseButton(Top(), 10, 10, MouseButton::Left, false);
    });
    menu->Popup(wr.left + 200, wr.top + 50);
    Pump();
    EXPECT_EQ(ActiveMenuWindow(), nullptr);
    EXPECT_EQ(formClicks, 0);
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(GetCapture(), nullptr);

    // A click on an item runs it; on the disabled one, nothing happens and the menu stays.
    for (const char* target : {"&Save", "&Open"}) {
        During([&, target] {
            HWND popup = ActiveMenuWindow();
            int index = std::string(target) == "&Save" ? 2 : 0;
            // Items lie one under the other from the top border; find the row by probing.
            int y = 3;
            for (int i = 0, h = 0; i < index; ++i) {
                h = menu->Items()->Items(i)->IsLine() ? 8 : 19;
                y += h;
            }
            InputMouseMove(popup, 30, y + 5);
            InputMouseButton(popup, 30, y + 5, MouseButton::Left, true);
            InputMouseButton(popup, 30, y + 5, MouseButton::Left, false);
            InputKey(VK_ESCAPE, true);
            InputKey(VK_ESCAPE, false);
        });
        menu->Popup(wr.left + 200, wr.top + 50);
        Pump();
    }
    EXPECT_EQ(ran, std::vector<std::string>{"&Open"});
}

TEST_F(MenuTest, LevelsFlipAtTheScreenEdges) {
    TRect screen = Backend().ScreenRect();
    struct Case {
        int x, y;
        bool flipsLeft, flipsUp;
    } cases[] = {{100, 100, false, false}, {screen.right - 5, 100, true, false}, {100, screen.bottom - 5, false, true},
                 {screen.right - 5, screen.bottom - 5, true, true}};
    for (const auto& c : cases) {
        RECT level0{}, level1{};
        During([&] {
            GetWindowRect(ActiveMenuWindow(), &level0);
            InputChar('m');  // opens the submenu
            Later([&] {
                for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
                    if (GetWindowClassName(w) == kMenuWindowClass && w != ActiveMenuWindow()) GetWindowRect(w, &level1);
                EndMenu();
            });
        });
        menu->Popup(c.x, c.y);
        Pump();
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(level0.right <= c.x, c.flipsLeft);
        EXPECT_EQ(level0.bottom <= c.y, c.flipsUp);
        EXPECT_GE(level0.left, screen.left);
        EXPECT_LE(level0.right, screen.right);
        EXPECT_LE(level0.bottom, screen.bottom);
        // The submenu opens beside its item, on the side with room.
        ASSERT_FALSE(IsRectEmpty(&level1));
        EXPECT_EQ(level1.left < level0.left, c.flipsLeft);
        EXPECT_LE(level1.right, screen.right);
        EXPECT_LE(level1.bottom, screen.bottom);
    }
}

TEST_F(MenuTest, OwnerDrawnItemsAreMeasuredAndDrawnByTheirEvents) {
    menu->SetOwnerDraw(true);
    for (int i = 0; i < menu->Items()->Count(); ++i) {
        TMenuItem* item = menu->Items()->Items(i);
        item->OnMeasureItem = [](TObject* sender, TCanvas*, int& w, int& h) {
            w = 100;
            h = static_cast<TMenuItem*>(sender)->IsLine() ? 5 : 30;
        };
        item->OnAdvancedDrawItem = [](TObject* sender, TCanvas* canvas, TRect rect, TOwnerDrawState state) {
            bool line = static_cast<TMenuItem*>(sender)->IsLine();
            canvas->Brush()->SetColor(line ? clBlack : (state & odSelected) ? clRed : (state & odGrayed) ? clGray : clLime);
            canvas->FillRect(rect);
        };
    }
    COLORREF first = 0, second = 0, save = 0;
    RECT size{};
    During([&] {
        HWND popup = ActiveMenuWindow();
        GetWindowRect(popup, &size);
        InputKey(VK_DOWN, true);
        InputKey(VK_DOWN, false);
        Later([&, popup] {
            PaintPendingWindows();
            first = GetWindowSurfacePixel(popup, 50, 3 + 15);
            second = GetWindowSurfacePixel(popup, 50, 3 + 30 + 2);
            save = GetWindowSurfacePixel(popup, 50, 3 + 35 + 15);
            test::Shot(popup, "menu_owner_draw.png");
            EndMenu();
        });
    });
    menu->Popup(200, 150);
    Pump();
    // Five items of 30 and a separator of 5, inside a 3-pixel border.
    EXPECT_EQ(size.bottom - size.top, 4 * 30 + 5 + 6);
    EXPECT_EQ(size.right - size.left, 100 + 6);
    EXPECT_EQ(first, RGB(255, 0, 0));   // the highlighted first item
    EXPECT_EQ(second, RGB(0, 0, 0));    // the separator
    EXPECT_EQ(save, RGB(128, 128, 128));  // disabled
}

TEST_F(MenuTest, RightClickAndAppsKeyPopUpAndShortcutsRunBeforeTheControl) {
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 150, 24);
    edit->SetPopupMenu(menu);
    int popups = 0;
    menu->OnPopup = [&](TObject*) {
        // Right before the menu shows: the key that will close it.
        ++popups;
        InputKey(VK_ESCAPE, true);
        InputKey(VK_ESCAPE, false);
    };
    edit->SetFocus();
    Pump();
    Click(50, 20, MouseButton::Right);
    Key(VK_APPS);
    EXPECT_EQ(popups, 2);
    EXPECT_EQ(menu->PopupComponent(), edit);
    menu->OnPopup = nullptr;

    // Shortcuts: of the control's popup menu and of the form's main menu.
    auto* mainMenu = new TMainMenu(form);
    form->SetMenu(mainMenu);
    auto* file = new TMenuItem(form);
    file->SetCaption("&File");
    mainMenu->Items()->Add(file);
    auto* save = new TMenuItem(form);
    save->SetCaption("&Save all");
    save->SetShortCut(ShortCut('S', ssCtrl));
    save->OnClick = [&](TObject*) { ran.push_back("save all"); };
    file->Add(save);
    menu->Items()->Items(0)->SetShortCut(TextToShortCut("F5"));
    std::vector<WORD> editKeys;
    edit->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { editKeys.push_back(key); };
    Key(VK_F5);
    Chord(VK_CONTROL, 'S');
    EXPECT_EQ(ran, (std::vector<std::string>{"&Open", "save all"}));
    EXPECT_TRUE(std::find(editKeys.begin(), editKeys.end(), WORD('S')) == editKeys.end());
    EXPECT_TRUE(std::find(editKeys.begin(), editKeys.end(), WORD(VK_F5)) == editKeys.end());
    // A disabled item's shortcut runs nothing and the key goes on to the control.
    save->SetEnabled(false);
    Chord(VK_CONTROL, 'S');
    EXPECT_EQ(ran.size(), 2u);
    EXPECT_FALSE(std::find(editKeys.begin(), editKeys.end(), WORD('S')) == editKeys.end());
}

TEST(ShortCutText, RoundTrips) {
    const std::vector<std::pair<TShortCut, std::string>> cases = {
        {ShortCut('S', ssCtrl), "Ctrl+S"},
        {ShortCut(VK_DELETE, ssShift), "Shift+Del"},
        {ShortCut(VK_F5, 0), "F5"},
        {ShortCut('X', ssCtrl | ssAlt), "Ctrl+Alt+X"},
    };
    for (const auto& [shortCut, text] : cases) {
        EXPECT_EQ(ShortCutToText(shortCut), text);
        EXPECT_EQ(TextToShortCut(text), shortCut);
    }
    EXPECT_EQ(TextToShortCut("Ctrl+Nothing"), 0);
    EXPECT_EQ(StripHotkey("Save &As && Close"), "Save As & Close");
}

TEST_F(MenuTest, APlainMenuLooksRight) {
    menu->Items()->Items(0)->SetShortCut(ShortCut('O', ssCtrl));
    During([&] {
        InputKey(VK_DOWN, true);
        InputKey(VK_DOWN, false);
        InputChar('m');
        Later([&] {
            PaintPendingWindows();
            HWND top = ActiveMenuWindow();
            EXPECT_EQ(GetWindowSurfacePixel(top, 1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
            test::Shot(top, "menu_plain.png");
            for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
                if (GetWindowClassName(w) == kMenuWindowClass && w != top) test::Shot(w, "menu_plain_sub.png");
            EndMenu();
        });
    });
    menu->Popup(200, 150);
    Pump();
    EXPECT_EQ(ActiveMenuWindow(), nullptr);
}

}  // namespace
