// Built-in styles: the table lookups and their edge cases, every style picture (size,
// frames, key colour, distinct frames), a control's style from its form, and the shared
// control behaviour (style changes, a theme that goes, erase and off-screen paint).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/graphics/resources.h"
#include "platform/windows/backend.h"
#include "platform/windows/windows_test_support.h"
#include "skin_support.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"
#include "skinctrl/dvxtheme.h"

using namespace platform;
using namespace skinctrl;
using skintest::Pixel;
using skintest::Pixels;

namespace {

TEST(StyleLookups, AnswerByEntryTypeAndStyle) {
    struct Case {
        TdvxUIStyle style;
        int index;
        int asInt;
        TColor asColor;
        bool asBool;
    };
    const Case cases[] = {
        {FromThemeFile, 7, -1, 0, false},  // no table for FromThemeFile
        {FromThemeFile, 15, -1, 0, false},
        {FromThemeFile, 2, -1, 0, false},
        {DeepBlue, 15, -1, 0xE8E8E8, false},  // a colour entry read as an integer
        {DeepBlue, 13, 130, 0, false},        // an integer entry read as a colour
        {WinXP, 8, -2, 0, false},
        {WinXP, 16, -1, 0xC82C00, false},
        {MacOS, 2, -1, 0, true},
        {WinXP, 2, -1, 0, false},
        {BlueGlass, 13, 270, 0, false},
        {BlueGlass, 14, 11, 0, false},
        {Protein, 6, -1, 0, true},
        {MacOS, 21, -1, 0x000000, false},
        {BlueGlass, 48, -1, 0xE7E7E7, false},
        {DeepBlue, 0, -1, 0, false},  // entry numbers outside 1..48 read nothing
        {DeepBlue, 49, -1, 0, false},
        {DeepBlue, -5, -1, 0, false},
        {TdvxUIStyle(6), 13, -1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("style " + std::to_string(c.style) + " entry " + std::to_string(c.index));
        EXPECT_EQ(GetInsideThemeInt(c.style, c.index), c.asInt);
        EXPECT_EQ(GetInsideThemeColor(c.style, c.index), c.asColor);
        EXPECT_EQ(GetInsideThemeBool(c.style, c.index), c.asBool);
    }
}

TEST(StyleLookups, PictureEntriesNameTheirResources) {
    EXPECT_EQ(GetInsideThemeBitmapName(DeepBlue, 1), "DEEPBLUE_BUTTON");
    EXPECT_EQ(GetInsideThemeBitmapName(DeepBlue, 38), "MORE_SCROLLBUTTON");
    EXPECT_EQ(GetInsideThemeBitmapName(Protein, 38), "MORE_SCROLLBUTTON");
    EXPECT_EQ(GetInsideThemeBitmapName(MacOS, 38), "MACOS_SCROLLBUTTON");
    EXPECT_EQ(GetInsideThemeBitmapName(WinXP, 42), "WINXP_SIDECHENNEL_BAR");
    EXPECT_EQ(GetInsideThemeBitmapName(WinXP, 15), "");
    EXPECT_EQ(GetInsideThemeBitmapName(FromThemeFile, 1), "");
    EXPECT_EQ(GetInsideThemeBitmapName(DeepBlue, 49), "");
}

TEST(StyleLookups, BitmapEntriesLoadWholeOrOneFrame) {
    TBitmap whole, frame;
    GetInsideThemeBitmap(DeepBlue, DVX_THEME_BUTTON_IMAGE, &whole, 0, 0);
    ASSERT_EQ(whole.Width(), 222);
    ASSERT_EQ(whole.Height(), 21);
    GetInsideThemeBitmap(DeepBlue, DVX_THEME_BUTTON_IMAGE, &frame, 3, 2);
    ASSERT_EQ(frame.Width(), 74);
    ASSERT_EQ(frame.Height(), 21);
    EXPECT_EQ(Pixels(frame, 0, 0, 74, 21), Pixels(whole, 74, 0, 74, 21)) << "the middle third";

    TBitmap scroll, more;
    GetInsideThemeBitmap(DeepBlue, DVX_THEME_SCROLLBUTTON_IMAGE, &scroll, 0, 0);
    more.LoadFromResourceName(HInstance, "MORE_SCROLLBUTTON");
    EXPECT_EQ(Pixels(scroll, 0, 0, 72, 17), Pixels(more, 0, 0, 72, 17));
}

TEST(StyleLookups, NonPictureEntriesLeaveTheBitmapAlone) {
    for (auto [style, index] : {std::pair{WinXP, 15}, {FromThemeFile, 1}, {DeepBlue, 0}, {DeepBlue, 49}}) {
        TBitmap b;
        skintest::FillUnique(b, 6, 5);
        GetInsideThemeBitmap(style, index, &b, 0, 0);
        EXPECT_EQ(b.Width(), 6);
        EXPECT_EQ(Pixel(b, 3, 2), skintest::UniqueColor(3, 2));
    }
    GetInsideThemeBitmap(DeepBlue, 1, nullptr, 0, 0);  // a null bitmap is ignored
}

// Every picture of every style: the tabled size and frame count, the key colour outside
// rounded corners, and frames that differ (states at their centres).
TEST(StylePictures, EveryPictureHasItsSizeAndDistinctFrames) {
    struct Art {
        const char* element;
        int frames;
        int size[5][2];
        int stateGroup;  // frames in groups of this many states, told apart at their centres
    };
    const Art art[] = {
        {"BUTTON", 3, {{252, 23}, {54, 21}, {222, 21}, {222, 21}, {231, 27}}, 3},
        {"CHECKBOX", 4, {{60, 17}, {52, 13}, {52, 13}, {52, 13}, {52, 13}}, 4},
        {"RADIOBUTTON", 4, {{64, 17}, {52, 13}, {52, 13}, {52, 13}, {52, 13}}, 4},
        {"TITLEBTN", 18, {{306, 17}, {378, 21}, {342, 19}, {342, 19}, {342, 19}}, 3},
        {"TITLE_LEFT", 1, {{48, 23}, {35, 29}, {97, 32}, {441, 23}, {162, 33}}, 0},
        {"TITLE_CLIENT", 1, {{49, 23}, {37, 29}, {98, 32}, {1, 23}, {179, 33}}, 0},
        {"TITLE_RIGHT", 1, {{48, 23}, {35, 29}, {97, 32}, {1, 23}, {101, 33}}, 0},
        {"PROGRESSBAR", 1, {{13, 10}, {6, 10}, {1, 10}, {1, 10}, {1, 10}}, 0},
        {"TRACKBAR_BAR", 3, {{45, 5}, {45, 8}, {45, 4}, {45, 4}, {45, 4}}, 0},
        {"TRACKBAR_SLIDER", 1, {{11, 20}, {11, 21}, {11, 20}, {11, 20}, {11, 20}}, 0},
        {"TRACKBAR_SLIDER_V", 1, {{19, 11}, {22, 11}, {18, 11}, {18, 11}, {18, 11}}, 0},
        {"SCROLLBAR_BUTTON", 6, {{96, 22}, {96, 17}, {96, 16}, {96, 16}, {102, 16}}, 3},
        {"SCROLLBAR_TRACK", 3, {{33, 16}, {21, 16}, {21, 16}, {21, 16}, {21, 16}}, 0},
        {"SIDECHENNEL_BAR", 1, {{1, 21}, {1, 21}, {1, 20}, {1, 21}, {1, 21}}, 0},
        {"CHECKLIST", 4, {{40, 11}, {44, 11}, {44, 11}, {44, 11}, {44, 11}}, 0},
        {"SCROLLBUTTON", 4, {{72, 18}, {72, 18}, {72, 17}, {72, 17}, {72, 17}}, 0},
        {"TAB", 1, {{36, 27}, {18, 18}, {12, 17}, {18, 17}, {18, 17}}, 0},
        {"TAB_LINE", 1, {{17, 7}, {8, 1}, {5, 5}, {10, 5}, {10, 5}}, 0},
        {"SIDECHENNEL_HANDLE", 1, {{7, 84}, {8, 86}, {8, 83}, {8, 83}, {8, 86}}, 0},
    };
    const char* prefixes[] = {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN", "BLUEGLASS"};
    EnsureStyleResources();
    for (const Art& a : art)
        for (int s = 0; s < 5; ++s) {
            std::string name = std::string(prefixes[s]) + "_" + a.element;
            if (std::string(a.element) == "SCROLLBUTTON" && s >= 2) name = "MORE_SCROLLBUTTON";
            SCOPED_TRACE(name);
            TBitmap b;
            ASSERT_NO_THROW(b.LoadFromResourceName(HInstance, name));
            ASSERT_EQ(b.Width(), a.size[s][0]);
            ASSERT_EQ(b.Height(), a.size[s][1]);
            int fw = b.Width() / a.frames, h = b.Height();
            std::set<std::vector<COLORREF>> frames;
            for (int f = 0; f < a.frames; ++f) frames.insert(Pixels(b, f * fw, 0, fw, h));
            EXPECT_EQ(int(frames.size()), a.frames) << "frames are distinct";
            for (int g = 0; a.stateGroup && g < a.frames / a.stateGroup; ++g) {
                std::set<COLORREF> states;
                for (int st = 0; st < a.stateGroup; ++st)
                    states.insert(Pixel(b, (g * a.stateGroup + st) * fw + fw / 2, h / 2));
                EXPECT_EQ(int(states.size()), a.stateGroup) << "states of group " << g << " differ at the centre";
            }
            if (std::string(a.element) == "BUTTON") {
                for (int f = 0; f < 3; ++f) EXPECT_EQ(Pixel(b, f * fw, 0), RGB(255, 0, 255)) << "rounded corner keyed";
            }
        }
}

// ---------------------------------------------------------------- controls and forms

class StyledControls : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(10, 10, 200, 120);
        form->SetColor(clWhite);
        form->AfterConstruction();
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
    }
    skintest::TdvxProbe* Probe(TComponent* owner, TWinControl* parent) {
        auto* p = new skintest::TdvxProbe(owner);
        if (parent) p->SetParent(parent);
        p->SetBounds(10, 10, 40, 30);
        return p;
    }
    TForm* form = nullptr;
};

TEST_F(StyledControls, NewControlsTakeTheStyleOfTheirFormFrame) {
    EXPECT_EQ(GetDVXFormStyle(nullptr), DeepBlue);
    TComponent plain(nullptr);
    EXPECT_EQ(GetDVXFormStyle(&plain), DeepBlue) << "not a form";
    EXPECT_EQ(GetDVXFormStyle(form), DeepBlue) << "a form without a frame";
    EXPECT_EQ(Probe(form, form)->GetUIStyle(), DeepBlue);

    auto* frame = Probe(form, form);
    frame->frame = true;
    frame->SetUIStyle(WinXP);
    EXPECT_EQ(GetDVXFormStyle(form), WinXP);
    EXPECT_EQ(Probe(form, form)->GetUIStyle(), WinXP);
    auto* onPanel = new TPanel(form);
    EXPECT_EQ(GetDVXFormStyle(onPanel), DeepBlue) << "only forms hand their style down";
}

TEST_F(StyledControls, SettersStoreOnlyChangesAndTheThemesEndMeansDeepBlue) {
    auto* p = Probe(form, form);
    p->SetUIStyle(DeepBlue);
    EXPECT_EQ(p->styleChanges, 0) << "same value: nothing happens";
    p->SetUIStyle(Protein);
    EXPECT_EQ(p->styleChanges, 1);

    auto* theme = new TdvxFileTheme(form);
    p->SetFileTheme(theme);
    EXPECT_EQ(p->styleChanges, 2);
    p->SetFileTheme(theme);
    EXPECT_EQ(p->styleChanges, 2);
    delete theme;
    EXPECT_EQ(p->GetFileTheme(), nullptr);
    EXPECT_EQ(p->GetUIStyle(), DeepBlue);
    EXPECT_EQ(p->styleChanges, 3);

    TdvxUIStyle style;
    p->SetUIStyle(FromThemeFile);
    EXPECT_FALSE(p->UsingTheme(style));
    EXPECT_EQ(style, DeepBlue) << "FromThemeFile without a theme paints as DeepBlue";
}

TEST_F(StyledControls, PaintGoesThroughOneBufferAndEraseDoesNothing) {
    form->Show();
    auto* a = Probe(form, form);
    a->SetUIStyle(FromThemeFile);
    auto* b = Probe(form, form);
    b->SetLeft(100);
    b->SetUIStyle(DeepBlue);
    auto* c = Probe(form, form);
    c->SetLeft(150);
    c->SetUIStyle(WinXP);
    Application->ProcessMessages();
    HWND top = form->Handle();
    COLORREF deepBlue = GetInsideThemeColor(DeepBlue, DVX_THEME_FORM_COLOR);
    EXPECT_EQ(GetWindowSurfacePixel(top, 20, 20), deepBlue) << "FromThemeFile without theme paints DeepBlue";
    EXPECT_EQ(GetWindowSurfacePixel(top, 110, 20), deepBlue);
    EXPECT_EQ(GetWindowSurfacePixel(top, 160, 20), GetInsideThemeColor(WinXP, DVX_THEME_FORM_COLOR));
    EXPECT_GE(a->paints, 1);

    TMessage erase;
    erase.Msg = WM_ERASEBKGND;
    a->Dispatch(erase);
    EXPECT_EQ(erase.Result, 1);
}

TEST_F(StyledControls, ATransparentControlShowsItsParentFirst) {
    form->Show();
    auto* p = Probe(form, form);
    p->transparent = true;
    Application->ProcessMessages();
    HWND top = form->Handle();
    EXPECT_EQ(GetWindowSurfacePixel(top, 11, 20), RGB(255, 255, 255)) << "the form shows where it draws nothing";
    EXPECT_EQ(GetWindowSurfacePixel(top, 30, 20), COLORREF(GetInsideThemeColor(DeepBlue, DVX_THEME_FORM_COLOR)));
}

TEST_F(StyledControls, PropertiesByNameAndTheStyleHandDown) {
    auto* full = Probe(form, form);
    auto* noTheme = Probe(form, form);
    noTheme->fileThemeShown = false;
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* nested = Probe(form, panel);
    EXPECT_TRUE(IsHasProperty(full, "UIStyle"));
    EXPECT_TRUE(IsHasProperty(full, "filetheme"));
    EXPECT_FALSE(IsHasProperty(full, "Caption2"));
    EXPECT_TRUE(IsHasProperty(noTheme, "UIStyle"));
    EXPECT_FALSE(IsHasProperty(noTheme, "FileTheme"));
    EXPECT_FALSE(IsHasProperty(panel, "UIStyle"));
    EXPECT_FALSE(IsHasProperty(nullptr, "UIStyle"));

    auto* theme = new TdvxFileTheme(form);
    ContainerApplyUIStyle(form, BlueGlass, theme);
    EXPECT_EQ(full->GetUIStyle(), BlueGlass);
    EXPECT_EQ(full->GetFileTheme(), theme);
    EXPECT_EQ(noTheme->GetUIStyle(), DeepBlue) << "publishes UIStyle only: untouched";
    EXPECT_EQ(nested->GetUIStyle(), DeepBlue) << "children of children are not visited";
}

}  // namespace
