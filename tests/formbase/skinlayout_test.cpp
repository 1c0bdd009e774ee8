// The skin layout engine: the shared naming and path rules, and a window laid out from a
// small skin document through the real reader.
#include <gtest/gtest.h>

#include "app/app_support.h"
#include "formbase/skinlayout.h"
#include "platform/graphics/graphics.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxpanel.h"

namespace {

using namespace apptest;
using namespace platform;

TEST(SkinRules, ImageNamesFoldersAndJoins) {
    const std::pair<int, const char*> names[] = {{0, "btn.bmp"},      {1, "btn-move.bmp"}, {2, "btn-down.bmp"},
                                                 {3, "btn-dis.bmp"},  {4, ""},             {-1, ""}};
    for (auto [state, want] : names) EXPECT_EQ(SkinImageName("btn", state), want) << state;

    const std::tuple<const char*, const char*, const char*> folders[] = {
        {"/skins/pics/", "/skins/a.xml", "/skins/pics/"},
        {"/skins/pics", "/skins/a.xml", "/skins/pics/"},
        {"  /skins/pics \t\r\n", "/skins/a.xml", "/skins/pics/"},
        {"", "/skins/a.xml", "/skins/"},
        {" \x01 ", "/skins/deep/a.xml", "/skins/deep/"},
    };
    for (auto [folder, document, want] : folders) EXPECT_EQ(NormaliseImageFolder(folder, document), want) << folder;

    const std::tuple<const char*, const char*, const char*> joins[] = {
        {"/pics/", "main/", "/pics/main/"}, {"/pics", "main", "/pics/main"},  {"/pics//", "/x.bmp", "/pics/x.bmp"},
        {"", "x.bmp", "x.bmp"},             {"/pics/", "", "/pics/"},        {"/", "x.bmp", "/x.bmp"},
    };
    for (auto [a, b, want] : joins) EXPECT_EQ(JoinSkinPath(a, b), want) << a << " + " << b;
}

// A skin of one section with a size item, a background, a button, a hidden area, and a
// button whose pictures are not there.
struct TinySkin {
    testsupport::TempDir dir;
    std::string document;
    TinySkin() {
        document = dir.Write("Tiny.xml", R"(<skin name="Tiny" images="pics">
  <section name="tiny">
    <item name="tinyFormCreate" left="10" top="12" width="300" height="200"/>
    <item name="Background" left="0" top="0" width="300" height="200" image="Back"/>
    <item name="btnA" left="5" top="6" width="30" height="20" image="btnA"/>
    <item name="area" left="40" top="50" width="60" height="70" visible="0"/>
    <item name="btnLost" left="100" top="6" width="30" height="20" image="lost"/>
  </section>
</skin>)")
                       .string();
        Picture("Back.bmp", 300, 200, clNavy);
        Picture("btnA.bmp", 30, 20, clRed);
        Picture("btnA-move.bmp", 30, 20, clGreen);
        Picture("btnA-down.bmp", 30, 20, clBlue);
        dir.Write("pics/tiny/lost.bmp", "not a picture");
    }
    void Picture(const std::string& name, int w, int h, TColor colour) {
        fs::create_directories(dir.path() / "pics/tiny");
        TBitmap b;
        b.SetSize(w, h);
        b.Canvas()->Brush()->SetColor(colour);
        b.Canvas()->FillRect(TRect(0, 0, w, h));
        b.SaveToFile((dir.path() / "pics/tiny" / name).string());
    }
};

TEST(SkinWindow, PlacesHidesKeepsMissingItemsAndLoadsPictures) {
    UseHeadlessDisplay();
    TinySkin skin;
    std::vector<std::string> reports;
    SetSkinReport([&](const std::string& m) { reports.push_back(m); });
    std::string error;
    ASSERT_TRUE(OpenSkin(skin.document, error)) << error;
    EXPECT_EQ(SkinImageFolder, (skin.dir.path() / "pics").string() + "/");

    TForm form(nullptr);
    auto* back = new skinctrl::TdvxImagePanel(&form);
    back->SetParent(&form);
    auto* button = new skinctrl::TdvxImageButton(&form);
    button->SetParent(back);
    auto* area = new TPanel(&form);
    area->SetParent(back);
    auto* unknown = new TPanel(&form);
    unknown->SetParent(back);
    unknown->SetBounds(7, 8, 9, 10);
    auto* lost = new skinctrl::TdvxImageButton(&form);
    lost->SetParent(back);
    std::vector<SkinEntry> table = {{"Background", back, TSkinUse::Panel},
                                    {"btnA", button, TSkinUse::Button},
                                    {"area", area, TSkinUse::Place},
                                    {"notInTheSkin", unknown, TSkinUse::Place},
                                    {"btnLost", lost, TSkinUse::Button}};
    TSkinWindow window("tiny", "tinyFormCreate", "tiny");
    window.TakeSection();
    window.Layout(table);
    window.LoadPictures(table);

    EXPECT_EQ(window.Width(), 300);
    EXPECT_EQ(window.Height(), 200);
    EXPECT_EQ(window.CornerWidth(), 10);
    EXPECT_EQ(window.CornerHeight(), 12);
    EXPECT_EQ(button->BoundsRect(), TRect(5, 6, 35, 26));
    EXPECT_TRUE(button->Visible());
    // Visible 0 hides the control; its place is applied all the same.
    EXPECT_FALSE(area->Visible());
    EXPECT_EQ(area->BoundsRect(), TRect(40, 50, 100, 120));
    // An item the section lacks: the control stays where its window put it.
    EXPECT_TRUE(unknown->Visible());
    EXPECT_EQ(unknown->BoundsRect(), TRect(7, 8, 16, 18));
    EXPECT_EQ(window.Find("notInTheSkin"), nullptr);

    EXPECT_EQ(back->Picture()->Width(), 300);
    EXPECT_EQ(button->PicNormal()->Bitmap()->Canvas()->Pixels(3, 3), clRed);
    EXPECT_EQ(button->PicMouseOn()->Bitmap()->Canvas()->Pixels(3, 3), clGreen);
    EXPECT_EQ(button->PicMouseDown()->Bitmap()->Canvas()->Pixels(3, 3), clBlue);
    EXPECT_EQ(window.PicturePath("btnA", ssDisabled), SkinImageFolder + "tiny/btnA-dis.bmp");

    // A picture that does not decode or is missing: the slot stays empty, each said once.
    EXPECT_EQ(lost->PicNormal()->Width(), 0);
    window.LoadPictures(table);
    EXPECT_EQ(reports.size(), 3u) << ::testing::PrintToString(reports);

    // Disabling swaps in the disabled picture (missing here: the old one stays, said once).
    window.SetButtonEnabled(button, "btnA", false);
    EXPECT_FALSE(button->Enabled());
    EXPECT_EQ(button->PicNormal()->Bitmap()->Canvas()->Pixels(3, 3), clRed);
    EXPECT_EQ(reports.size(), 4u);
    SetSkinReport(nullptr);
}

TEST(SkinWindow, FrameGivesSizeAndRoundedRegion) {
    UseHeadlessDisplay();
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(50, 60, 901, 604);
    SetRoundRectWindow(&form, 400, 300, 20, 20);
    EXPECT_EQ(form.BoundsRect(), TRect(0, 0, 400, 300));
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(form.Handle(), region), ERROR);
    EXPECT_TRUE(PtInRegion(region, 200, 150));
    EXPECT_FALSE(PtInRegion(region, 0, 0));  // the corner is cut away
    EXPECT_TRUE(PtInRegion(region, 10, 0));
    DeleteObject(region);
    // A size item the skin lacks leaves the form as it is.
    SetRoundRectWindow(&form, 0, 0, 0, 0);
    EXPECT_EQ(form.Width(), 400);
}

}  // namespace
