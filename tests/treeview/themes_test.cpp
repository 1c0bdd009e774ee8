// Theme services: the element tables, the loader's reference counting and the classic
// path taken when no visual styles are available.
#include <gtest/gtest.h>

#include "treeview/themesrv.h"

namespace treeview {
namespace {

TEST(ThemeServices, ElementDetailsFollowTheTables) {
    struct Case {
        TThemedElementDetails details;
        TThemedElement element;
        int part;
        int state;
    };
    const Case cases[] = {
        {GetElementDetails(tbButtonDontCare), teButton, 0, 1},
        {GetElementDetails(twWindowRoot), teWindow, 0, 2},
        {GetElementDetails(thHeaderItemNormal), teHeader, 1, 1},
        {GetElementDetails(thHeaderItemHot), teHeader, 1, 2},
        {GetElementDetails(thHeaderItemRightPressed), teHeader, 3, 3},
        {GetElementDetails(thHeaderSortArrowSortedDown), teHeader, 4, 2},
        {GetElementDetails(tbCheckBoxMixedNormal), teButton, 3, 9},
        {GetElementDetails(tbUserButton), teButton, 5, 1},
        {GetElementDetails(ttGlyphOpened), teTreeview, 2, 2},
        {GetElementDetails(teEditTextNormal), teEdit, 1, 1},
        {GetElementDetails(tebHeaderPinNormal), teExplorerBar, 3, 1},
        {GetElementDetails(tebHeaderPinSelectedNormal), teExplorerBar, 3, 4},
        {GetElementDetails(twSmallFrameBottomSizingTemplate), teWindow, 37, 1},
        {GetElementDetails(tsSizeBoxLeftAlign), teScrollBar, 10, 2},
        {GetElementDetails(ttbThumbTicsVert), teTrackBar, 10, 1},
        {GetElementDetails(ttTopTabItemBothEdgeFocused), teTab, 8, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.details.Element, c.element);
        EXPECT_EQ(c.details.Part, c.part) << int(c.element);
        EXPECT_EQ(c.details.State, c.state) << int(c.element) << " part " << c.part;
    }
    EXPECT_STREQ(ThemeClassName(teTreeview), "treeview");
    EXPECT_STREQ(ThemeEntryPointName(46), "EnableTheming");
}

TEST(ThemeServices, LoaderCountsEveryReference) {
    int base = ThemeLibraryReferenceCount();
    EXPECT_FALSE(InitThemeLibrary()) << "no visual-styles library on this platform";
    EXPECT_FALSE(InitThemeLibrary());
    EXPECT_EQ(ThemeLibraryReferenceCount(), base + 2) << "a failed load still counts";
    FreeThemeLibrary();
    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibraryReferenceCount(), base);
    for (int i = 0; i < base + 1; ++i) FreeThemeLibrary();
    EXPECT_EQ(ThemeLibraryReferenceCount(), 0) << "never below zero";
    EXPECT_EQ(ThemeEntryPoint(0), nullptr);
}

TEST(ThemeServices, ClassicPathWithoutThemes) {
    TThemeServices services(nullptr);
    EXPECT_FALSE(services.ThemesAvailable());
    EXPECT_FALSE(services.GetThemesEnabled());
    EXPECT_EQ(services.GetTheme(teHeader), nullptr);
    int changes = 0;
    services.OnThemeChange = [&](TThemeServices*) { ++changes; };
    EXPECT_TRUE(services.WindowProc(0x031A));
    EXPECT_FALSE(services.WindowProc(0x0002));
    EXPECT_EQ(changes, 1);
    platform::TRect bounds{1, 2, 30, 40};
    EXPECT_EQ(services.ContentRect(nullptr, GetElementDetails(thHeaderItemNormal), bounds), bounds);
    EXPECT_EQ(services.ColorToRGB(0x123456), 0x123456);
    TThemedElementDetails details = GetElementDetails(tbPushButtonNormal);
    EXPECT_EQ(services.ColorToRGB(0x123456, &details), 0x123456);
}

}  // namespace
}  // namespace treeview
