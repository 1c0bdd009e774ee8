// The skinned popup menu: the style rule and the values a window resource sets over it, item
// measuring, what the open menu shows (highlight, separator, disabled and checked items) and
// the popup loop (hover, click, Escape, items added at run time).
#include <functional>
#include <string>
#include <vector>

#include "platform/controls/controls_fixture.h"
#include "platform/graphics/resources.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxmenu.h"
#include "skinctrl/dvxtheme.h"

using namespace platform;
using namespace skinctrl;

namespace {

constexpr int kBorder = 3;  // the platform menu window's frame
constexpr COLORREF kProgramBlue = RGB(68, 74, 160);

std::string Hex(COLORREF c) {
    char b[16];
    std::snprintf(b, sizeof b, "%06X", unsigned(c));
    return b;
}

class SkinMenu : public test::ControlsFixture {
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
        menu = new TdvxPopupMenu(form);
    }
    void TearDown() override {
        DeallocateHWnd(driver_);
        ControlsFixture::TearDown();
    }
    TMenuItem* Add(const std::string& caption, TMenuItem* parent = nullptr) {
        auto* item = new TMenuItem(form);
        item->SetCaption(caption);
        item->OnClick = [this, caption](TObject*) { ran.push_back(caption); };
        (parent ? parent : menu->Items())->Add(item);
        return item;
    }
    // What the window resource of the program's menus sets after construction.
    void ProgramLook() {
        menu->SetBarWidth(0);
        menu->SetColor(clWhite);
        menu->SetFontColor(clBlack);
        menu->SetSelectedColor(0xA04A44);
        menu->SetSelectedBorderColor(0xA04A44);
        menu->SetSelectedFontColor(clWhite);
        menu->SetUseSystemFont(true);
    }
    void During(std::function<void()> inside) {
        inside_ = std::move(inside);
        PostMessage(driver_, WM_USER, 0, 0);
    }
    void Later(std::function<void()> f) {
        later_ = std::move(f);
        SetTimer(driver_, 2, 40);
    }
    // Opens the menu, runs steps inside its loop, one after another once the input given by
    // the step before has been handled; the menu is ended after the last.
    void Run(std::vector<std::function<void(HWND popup)>> steps) {
        std::function<void(std::size_t)> next = [&, this](std::size_t i) {
            HWND popup = ActiveMenuWindow();
            if (i == steps.size() || !popup) {
                if (popup) EndMenu();
                return;
            }
            PaintPendingWindows();
            steps[i](popup);
            Later([&next, i] { next(i + 1); });
        };
        During([&] { next(0); });
        menu->Popup(120, 110);
        Pump();
    }
    static void Hover(HWND popup, int x, int y) { InputMouseMove(popup, x, y); }

    TdvxPopupMenu* menu = nullptr;
    std::vector<std::string> ran;

private:
    HWND driver_ = nullptr;
    std::function<void()> inside_;
    std::function<void()> later_;
};

TEST_F(SkinMenu, StyleSetsHeightsBarAndColoursAndResourceValuesOverrideIt) {
    // A new menu takes its owner's style: DeepBlue without a form frame.
    EXPECT_EQ(menu->GetUIStyle(), DeepBlue);
    EXPECT_TRUE(menu->OwnerDraw());
    EXPECT_EQ(menu->BarWidth(), 26);
    EXPECT_EQ(menu->MenuItemHeight(), 21);
    EXPECT_EQ(menu->SeparatorHeight(), 5);
    EXPECT_EQ(menu->SeparatorColor(), TColor(0x848284));
    EXPECT_EQ(menu->SelectedColor(), GetInsideThemeColor(DeepBlue, DVX_THEME_MENU_SELECTED_COLOR));
    EXPECT_EQ(menu->BarColor(), GetInsideThemeColor(DeepBlue, DVX_THEME_MENU_BAR_COLOR));
    menu->SetOwnerDraw(false);
    EXPECT_TRUE(menu->OwnerDraw());
    ProgramLook();
    EXPECT_EQ(menu->BarWidth(), 0);
    EXPECT_EQ(menu->SelectedColor(), TColor(0xA04A44));
    // MacOS: its own heights and a black separator; the height setters are refused there.
    menu->SetUIStyle(MacOS);
    EXPECT_EQ(menu->MenuItemHeight(), 20);
    EXPECT_EQ(menu->SeparatorHeight(), 12);
    EXPECT_EQ(menu->SeparatorColor(), clBlack);
    menu->SetHeight(30);
    menu->SetSeparatorHeight(9);
    EXPECT_EQ(menu->MenuItemHeight(), 20);
    EXPECT_EQ(menu->SeparatorHeight(), 12);
    menu->SetUIStyle(Protein);
    menu->SetHeight(30);
    menu->SetSeparatorHeight(9);
    EXPECT_EQ(menu->MenuItemHeight(), 30);
    EXPECT_EQ(menu->SeparatorHeight(), 9);
    // Removing the file theme falls back to DeepBlue.
    auto* theme = new TdvxFileTheme(form);
    menu->SetUIStyle(FromThemeFile);
    menu->SetFileTheme(theme);
    delete theme;
    EXPECT_EQ(menu->GetFileTheme(), nullptr);
    EXPECT_EQ(menu->GetUIStyle(), DeepBlue);
}

TEST_F(SkinMenu, MeasuresSeparatorsItemsAndTallFonts) {
    TMenuItem* line = Add("-");
    TMenuItem* open = Add("&Open");
    open->SetShortCut(ShortCut('O', ssCtrl));
    TBitmap b;
    b.SetSize(10, 10);
    TCanvas* canvas = b.Canvas();
    canvas->Font()->SetName("DejaVu Sans");
    canvas->Font()->SetHeight(-11);
    struct Case {
        const char* what;
        TMenuItem* item;
        int fontHeight;
        int barWidth;
    } cases[] = {{"separator", line, -11, 26}, {"item", open, -11, 26}, {"item, no bar", open, -11, 0}, {"tall font", open, -40, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        canvas->Font()->SetHeight(c.fontHeight);
        menu->SetBarWidth(c.barWidth);
        int w = 0, h = 0;
        c.item->OnMeasureItem(c.item, canvas, w, h);
        if (c.item == line) {
            EXPECT_EQ(h, 5);
        } else {
            EXPECT_EQ(h, std::max(21, canvas->TextHeight("&Open")));
            EXPECT_EQ(w, canvas->TextWidth("&Open") + canvas->TextWidth("Ctrl+O") + c.barWidth + 40);
        }
    }
    canvas->Font()->SetHeight(-40);
    int w = 0, h = 0;
    open->OnMeasureItem(open, canvas, w, h);
    EXPECT_GT(h, 21) << "a caption taller than MenuItemHeight measures at its text height";
}

TEST_F(SkinMenu, TheProgramsMenuHighlightsInItsBlueAndDrawsSeparatorDisabledAndCheckedItems) {
    ProgramLook();
    Add("&Open");
    Add("-");
    Add("&Save")->SetEnabled(false);
    Add("E&xit")->SetChecked(true);
    // Rows: 21, 5, 21, 21 inside the frame.
    const int open = kBorder, line = open + 21, save = line + 5, exitTop = save + 21;
    struct Seen {
        COLORREF fill = 0, frame = 0, otherFill = 0, barPlace = 0, line = 0, beforeLine = 0, disabledFill = 0;
        bool whiteText = false, greyText = false, mark = false;
        int width = 0;
    } seen;
    Run({[&](HWND popup) { Hover(popup, 60, open + 10); },
         [&](HWND popup) {
             RECT wr;
             GetWindowRect(popup, &wr);
             seen.width = wr.right - wr.left;
             int right = seen.width - kBorder;
             seen.fill = GetWindowSurfacePixel(popup, right - 4, open + 3);
             seen.frame = GetWindowSurfacePixel(popup, kBorder, open + 10);
             for (int x = kBorder + 4; x < kBorder + 40; ++x)
                 for (int y = open + 4; y < open + 17; ++y)
                     if (GetWindowSurfacePixel(popup, x, y) == RGB(255, 255, 255)) seen.whiteText = true;
             seen.otherFill = GetWindowSurfacePixel(popup, right - 4, exitTop + 10);
             seen.barPlace = GetWindowSurfacePixel(popup, kBorder + 1, exitTop + 1);
             seen.line = GetWindowSurfacePixel(popup, kBorder + 4, line + 2);
             seen.beforeLine = GetWindowSurfacePixel(popup, kBorder + 3, line + 2);
             for (int x = kBorder + 4; x < kBorder + 20; ++x)
                 for (int y = exitTop + 3; y < exitTop + 19; ++y)
                     if (GetWindowSurfacePixel(popup, x, y) == RGB(0, 0, 0)) seen.mark = true;
             test::Shot(popup, "skinmenu_program.png");
             Hover(popup, 60, save + 10);
         },
         [&](HWND popup) {
             seen.disabledFill = GetWindowSurfacePixel(popup, seen.width - kBorder - 4, save + 3);
             for (int x = kBorder + 4; x < kBorder + 40; ++x)
                 for (int y = save + 4; y < save + 17; ++y)
                     if (GetWindowSurfacePixel(popup, x, y) == RGB(128, 128, 128)) seen.greyText = true;
             test::Shot(popup, "skinmenu_disabled_hot.png");
         }});
    EXPECT_EQ(Hex(seen.fill), Hex(kProgramBlue)) << "the item under the mouse";
    EXPECT_EQ(Hex(seen.frame), Hex(kProgramBlue));
    EXPECT_TRUE(seen.whiteText);
    EXPECT_EQ(Hex(seen.otherFill), Hex(RGB(255, 255, 255)));
    EXPECT_EQ(Hex(seen.barPlace), Hex(RGB(255, 255, 255))) << "no bar";
    EXPECT_EQ(Hex(seen.line), Hex(RGB(0x84, 0x82, 0x84))) << "the separator 2 below its top, 4 after the bar";
    EXPECT_EQ(Hex(seen.beforeLine), Hex(RGB(255, 255, 255)));
    EXPECT_TRUE(seen.mark) << "the check mark at Left + 4";
    EXPECT_EQ(Hex(seen.disabledFill), Hex(RGB(255, 255, 255))) << "a disabled item is never highlighted";
    EXPECT_TRUE(seen.greyText);
    EXPECT_TRUE(ran.empty());
}

TEST_F(SkinMenu, TheCheckMarkLiesAtLeftPlusFourEvenOnABar) {
    Add("E&xit")->SetChecked(true);
    ASSERT_EQ(menu->BarWidth(), 26);
    COLORREF bar = 0;
    int black = 0, blackPastBar = 0;
    Run({[&](HWND popup) {
        bar = GetWindowSurfacePixel(popup, kBorder + 1, kBorder + 1);
        for (int y = kBorder + 3; y < kBorder + 19; ++y) {
            for (int x = kBorder + 4; x < kBorder + 20; ++x) black += GetWindowSurfacePixel(popup, x, y) == RGB(0, 0, 0);
            for (int x = kBorder + 26; x < kBorder + 30; ++x) blackPastBar += GetWindowSurfacePixel(popup, x, y) == RGB(0, 0, 0);
        }
        test::Shot(popup, "skinmenu_deepblue_checked.png");
    }});
    EXPECT_EQ(Hex(bar), Hex(ColorToRGB(GetInsideThemeColor(DeepBlue, DVX_THEME_MENU_BAR_COLOR))));
    EXPECT_GT(black, 5);
    EXPECT_EQ(blackPastBar, 0);
}

TEST_F(SkinMenu, AFlatMenuFramesItsWholeWindowAndKeepsTheFrameAfterRepaints) {
    menu->SetFlatMenu(true);
    Add("&Open");
    Add("&Close");
    const COLORREF shade = ColorToRGB(GetInsideThemeColor(DeepBlue, DVX_THEME_FORM_COLOR));
    struct Edge {
        const char* what;
        int x, y;  // negative: from the right or bottom edge
        COLORREF expected;
    } edges[] = {
        {"top shade", 8, 0, shade},           {"left frame", 0, 8, RGB(0, 0, 0)},
        {"inner white", 1, 8, RGB(255, 255, 255)}, {"right shade", -1, 8, shade},
        {"right frame", -2, 8, RGB(0, 0, 0)}, {"bottom shade", 8, -1, shade},
        {"bottom frame", 8, -2, RGB(0, 0, 0)},
    };
    auto check = [&](HWND popup, const char* when) {
        RECT wr;
        GetWindowRect(popup, &wr);
        int w = wr.right - wr.left, h = wr.bottom - wr.top;
        for (const auto& e : edges) {
            int x = e.x < 0 ? w + e.x : e.x, y = e.y < 0 ? h + e.y : e.y;
            EXPECT_EQ(Hex(GetWindowSurfacePixel(popup, x, y)), Hex(e.expected)) << when << ": " << e.what;
        }
    };
    Run({[&](HWND popup) {
             check(popup, "first showing");
             Hover(popup, 60, kBorder + 10);
         },
         [&](HWND popup) {
             check(popup, "after the hover repaint");
             test::Shot(popup, "skinmenu_flat.png");
         }});
}

TEST_F(SkinMenu, MacOSItemsAndSeparatorsAreTheirPicturesCutToTwentyAndTwelveRows) {
    menu->SetUIStyle(MacOS);
    TMenuItem* item = Add("A");
    TMenuItem* off = Add("B");
    off->SetEnabled(false);
    TMenuItem* line = Add("-");
    EnsureStyleResources();
    TBitmap bar, select;
    bar.LoadFromResourceName(HInstance, "MACOS_MENU_BAR");
    select.LoadFromResourceName(HInstance, "MACOS_MENU_SELECT");
    ASSERT_GE(bar.Height(), 20);
    ASSERT_GE(select.Height(), 20);
    struct Case {
        const char* what;
        TMenuItem* item;
        bool selected;
        TBitmap* picture;
        int rows;
    } cases[] = {
        {"item", item, false, &bar, 20},          {"selected item", item, true, &select, 20},
        {"disabled under the mouse", off, true, &bar, 20}, {"separator", line, false, &bar, 12},
        {"separator under the mouse", line, true, &bar, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TBitmap b;
        b.SetPixelFormat(pf24bit);
        b.SetSize(120, c.rows);
        c.item->OnDrawItem(c.item, b.Canvas(), TRect(0, 0, 120, c.rows), c.selected);
        // Clear of the caption: row by row the picture, the rows below the cut left out.
        for (int y = 0; y < c.rows; ++y)
            EXPECT_EQ(Hex(ColorToRGB(b.Canvas()->Pixels(110, y))), Hex(ColorToRGB(c.picture->Canvas()->Pixels(10, y))))
                << "row " << y;
    }
}

TEST_F(SkinMenu, AClickRunsItsItemItemsAddedLaterAreSkinnedAndEscapeCloses) {
    ProgramLook();
    Add("&Open");
    Add("&Close");
    // Added after the menu was set up, also under a sub-item built beforehand.
    TMenuItem* late = Add("&Late");
    EXPECT_TRUE(late->OnDrawItem != nullptr);
    auto* sub = new TMenuItem(form);
    sub->SetCaption("Sub");
    auto* inner = new TMenuItem(form);
    inner->SetCaption("Inner");
    sub->Add(inner);
    menu->Items()->Add(sub);
    EXPECT_TRUE(inner->OnDrawItem != nullptr && inner->OnMeasureItem != nullptr);
    COLORREF lateFill = 0;
    Run({[&](HWND popup) { Hover(popup, 60, kBorder + 42 + 10); },
         [&](HWND popup) {
             lateFill = GetWindowSurfacePixel(popup, 50, kBorder + 42 + 3);
             InputMouseButton(popup, 60, kBorder + 21 + 10, MouseButton::Left, true);
             InputMouseButton(popup, 60, kBorder + 21 + 10, MouseButton::Left, false);
         }});
    EXPECT_EQ(Hex(lateFill), Hex(kProgramBlue));
    EXPECT_EQ(ran, std::vector<std::string>{"&Close"});
    // Escape: the menu goes, nothing runs.
    ran.clear();
    bool shown = false;
    Run({[&](HWND) {
        shown = true;
        InputKey(VK_ESCAPE, true);
        InputKey(VK_ESCAPE, false);
    }});
    EXPECT_TRUE(shown);
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(ActiveMenuWindow(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SkinMenu, EmptyMenusAmpersandsAndLongCaptionsDoNotHurt) {
    bool opened = false;
    Run({[&](HWND) { opened = true; }});
    Add("&&Fish && Chips &");
    Add(std::string(3000, 'W'));
    Add("-")->SetChecked(true);
    Run({[&](HWND popup) { test::Shot(popup, "skinmenu_odd.png"); }});
    EXPECT_TRUE(ran.empty());
    (void)opened;
}

// ---------------------------------------------------------------- main menu

class RecordingFrame : public IdvxMenuFrame {
public:
    void UpdateMenu() override { calls.push_back("UpdateMenu"); }
    void UpdateTopMenu() override { calls.push_back("UpdateTopMenu"); }
    void RepaintMenuBar() override { calls.push_back("RepaintMenuBar"); }
    std::vector<std::string> calls;
};

TEST_F(SkinMenu, MainMenuLeavesTheNativeBarEmptyAndTellsItsFrame) {
    auto* plain = new TMainMenu(form);
    form->SetMenu(plain);
    auto* main = new TdvxMainMenu(form);
    EXPECT_EQ(form->Menu(), nullptr);
    EXPECT_TRUE(main->OwnerDraw());
    // Images: none shows while the check-mark list is installed.
    EXPECT_EQ(main->Images(), nullptr);
    main->SetImages(nullptr);
    EXPECT_EQ(static_cast<TMenu*>(main)->Images(), main->CheckImages());
    TCustomImageList user(16, 16);
    main->SetImages(&user);
    EXPECT_EQ(main->Images(), &user);
    main->SetImages(nullptr);
    // MacOS: the item height can still change, the separator height cannot.
    main->SetUIStyle(MacOS);
    main->SetHeight(33);
    main->SetSeparatorHeight(9);
    EXPECT_EQ(main->MenuItemHeight(), 33);
    EXPECT_EQ(main->SeparatorHeight(), 12);
    // Without a skinned frame a caption change goes nowhere; with one the frame hears of it.
    auto* file = new TMenuItem(form);
    file->SetCaption("&File");
    main->Items()->Add(file);
    file->SetCaption("&Datei");
    RecordingFrame frame;
    main->SetSkinnedForm(&frame);
    file->SetCaption("&Fichier");
    main->SetUseSystemFont(false);
    main->Loaded();
    EXPECT_EQ(frame.calls, (std::vector<std::string>{"UpdateTopMenu", "RepaintMenuBar", "UpdateMenu"}));
    EXPECT_TRUE(file->OnDrawItem != nullptr);
    main->SetSkinnedForm(nullptr);
}

TEST_F(SkinMenu, MainMenuDrawsItsOwnCheckMarkForCheckedItemsWithoutAPicture) {
    auto* main = new TdvxMainMenu(form);
    main->SetUIStyle(DeepBlue);
    auto* item = new TMenuItem(form);
    item->SetCaption("Loop");
    item->SetChecked(true);
    main->Items()->Add(item);
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(120, 21);
    item->OnDrawItem(item, b.Canvas(), TRect(0, 0, 120, 21), false);
    int black = 0;
    for (int y = 3; y < 19; ++y)
        for (int x = 4; x < 20; ++x) black += ColorToRGB(b.Canvas()->Pixels(x, y)) == RGB(0, 0, 0);
    EXPECT_GT(black, 5);
    // With a picture of its own: the black frame and SelectedColor fill behind it.
    TCustomImageList user(16, 16);
    TBitmap pic;
    pic.SetPixelFormat(pf24bit);
    pic.SetSize(16, 16);
    pic.Canvas()->Brush()->SetColor(clLime);
    pic.Canvas()->FillRect(TRect(0, 0, 16, 16));
    user.Add(&pic, nullptr);
    main->SetImages(&user);
    item->SetImageIndex(0);
    item->OnDrawItem(item, b.Canvas(), TRect(0, 0, 120, 21), false);
    EXPECT_EQ(Hex(ColorToRGB(b.Canvas()->Pixels(4 - 2, 1))), Hex(RGB(0, 0, 0)));
    EXPECT_EQ(Hex(ColorToRGB(b.Canvas()->Pixels(4 - 1, 2))), Hex(ColorToRGB(main->SelectedColor())));
    EXPECT_EQ(Hex(ColorToRGB(b.Canvas()->Pixels(10, 10))), Hex(RGB(0, 255, 0)));
    main->SetImages(nullptr);
}

}  // namespace
