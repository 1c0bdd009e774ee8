// Controls drawn from a skin file: the pictures, colours and flags come from the loaded
// file theme, and a theme that did not load leaves the controls on DeepBlue.
#include <gtest/gtest.h>

#include <string>

#include "../platform/windows/windows_test_support.h"
#include "platform/controls/forms.h"
#include "platform/windows/input.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"
#include "theme_support.h"

using namespace platform;
using namespace skinctrl;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0), kLime = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

class FileThemedControls : public skintest::SkinFixture {
protected:
    void SetUp() override {
        SkinFixture::SetUp();
        test::UseHeadlessBackend();
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        form->SetColor(clWhite);
        form->AfterConstruction();
        theme = new TdvxFileTheme(form);
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
        SkinFixture::TearDown();
    }
    // A horizontal strip of solid frames, `width` pixels each.
    std::string Strip(const std::string& name, std::initializer_list<const char*> colours, int width, int height) {
        std::string args;
        for (const char* c : colours) args += " xc:" + std::string(c);
        std::string file = Path(name + ".bmp").string();
        EXPECT_TRUE(skintest::Run("convert -size " + std::to_string(width) + "x" + std::to_string(height) + args +
                                  " +append BMP3:" + skintest::Q(file)));
        return file;
    }
    // Loads a skin of the button strip (red, lime, blue), a six-frame check box strip, the
    // button font colour and the button transparency flag.
    void LoadSkin() {
        std::string button = Strip("button", {"red", "lime", "blue"}, 30, 21);
        std::string box = Strip("box", {"red", "yellow", "lime", "blue", "magenta", "cyan"}, 13, 13);
        skintest::MakeSk2(Path("skin.sk2"),
                          R"({"records":[{"name":"SKIN2_BUTTON","type":0,"value":{"file":")" + button +
                              R"("}},{"name":"SKIN2_CHECKBOX","type":0,"value":{"file":")" + box +
                              R"("}},{"name":"SKIN2_BUTTONFONTCOLOR","type":1,"value":{"int":255}},)"
                              R"({"name":"SKIN2_BUTTONTRANS","type":2,"value":{"byte":0}},{"name":"E"}]})");
        skintest::MakeVxk(Path("skin.vxk"), Path("skin.sk2"));
        theme->SetThemeFile(Path("skin.vxk").string());
        ASSERT_TRUE(theme->CanUse());
    }
    template <class T>
    T* Place(int x, int y, int w, int h) {
        auto* c = new T(form);
        c->SetParent(form);
        c->SetBounds(x, y, w, h);
        c->SetUIStyle(FromThemeFile);
        c->SetFileTheme(theme);
        return c;
    }
    void Pump() { Application->ProcessMessages(); }
    COLORREF At(int x, int y) { return GetWindowSurfacePixel(form->Handle(), x, y); }
    void Mouse(int x, int y, bool* down = nullptr) {
        InputMouseMove(form->Handle(), x, y);
        if (down) InputMouseButton(form->Handle(), x, y, MouseButton::Left, *down);
        Pump();
    }

    TForm* form = nullptr;
    TdvxFileTheme* theme = nullptr;
};

TEST_F(FileThemedControls, ButtonShowsTheSkinsStripFramesAndFontColour) {
    LoadSkin();
    auto* b = Place<TdvxButton>(10, 10, 90, 21);
    b->SetAutoSize2(true);
    EXPECT_EQ(b->Width(), 30) << "a third of the skin's strip";
    EXPECT_EQ(b->Height(), 21);
    form->Show();
    Pump();
    EXPECT_EQ(At(25, 20), kRed) << "normal";
    Mouse(25, 20);
    EXPECT_EQ(At(25, 20), kLime) << "under the mouse";
    bool down = true;
    Mouse(25, 20, &down);
    EXPECT_EQ(At(25, 20), kBlue) << "pressed";
    down = false;
    Mouse(25, 20, &down);
    EXPECT_EQ(ColorToRGB(b->Font()->Color()), COLORREF(255)) << "the skin's button font colour";
    SaveWindowImage(form->Handle(), "filetheme_button.png");
}

TEST_F(FileThemedControls, CheckBoxPicksFramesOneThreeFourSixOfTheSkinsStrip) {
    LoadSkin();
    auto* c = Place<TdvxCheckBox>(10, 10, 93, 17);
    c->SetCaption("Box");
    form->Show();
    Pump();
    int by = 10 + (c->ClientHeight() - 13) / 2;
    struct Case {
        bool checked, enabled;
        COLORREF colour;  // frames 1, 3, 4 and 6 of red, yellow, lime, blue, magenta, cyan
    } cases[] = {{true, true, kRed}, {false, true, kLime}, {true, false, kBlue}, {false, false, RGB(0, 255, 255)}};
    for (const Case& k : cases) {
        c->SetChecked(k.checked);
        c->SetEnabled(k.enabled);
        Pump();
        EXPECT_EQ(At(11 + 6, by + 6), k.colour) << "checked " << k.checked << " enabled " << k.enabled;
    }
}

TEST_F(FileThemedControls, AThemeThatDidNotLoadLeavesDeepBlue) {
    skintest::MakeSk2(Path("bad.sk2"), R"({"records":[{"name":"SKIN2_BUTTON","type":0,"value":{"raw":"424d0000"}},{"name":"E"}]})");
    skintest::MakeVxk(Path("bad.vxk"), Path("bad.sk2"));
    theme->SetThemeFile(Path("bad.vxk").string());  // its one picture is not a bitmap
    ASSERT_FALSE(theme->CanUse());
    Place<TdvxButton>(10, 10, 74, 21);
    form->Show();
    Pump();
    TBitmap deepBlue;
    GetInsideThemeBitmap(DeepBlue, DVX_THEME_BUTTON_IMAGE, &deepBlue, 3, 1);
    EXPECT_EQ(At(10 + 37, 10 + 10), ColorToRGB(deepBlue.Canvas()->Pixels(37, 10)));
    EXPECT_NE(At(10 + 37, 10 + 10), kRed);
}

}  // namespace
