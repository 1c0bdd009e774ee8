// The about box: its texts, and each link handing its address to the shell.
#include <gtest/gtest.h>

#include <memory>

#include "app/app_support.h"
#include "dialogs/aboutfrm.h"
#include "dialogs_support.h"

namespace {

using namespace platform;

TEST(AboutBox, ShowsItsTextsAndEachLinkOpensItsAddress) {
    apptest::UseHeadlessDisplay();
    apptest::Sandbox box;
    {
        std::string error;
        ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
    }
    auto about = std::make_unique<TfrmAbout>(nullptr);
    about->AfterConstruction();
    about->Show();
    testsupport::PumpWindows();

    EXPECT_EQ(about->Lab_product->Caption(), "Velmorasoft Lumacast Converter");
    EXPECT_FALSE(about->Lab_product->Visible());
    EXPECT_EQ(about->version_num->Caption(), "1.0.1 Build");
    EXPECT_EQ(about->build_time->Caption(), "2010-02-10");
    std::string web = LUMACAST_WEB_ADDRESS;
    EXPECT_EQ(about->supportUrl->Caption(), web + "support-center/");
    EXPECT_EQ(about->supportUrl->URL(), web + "support-center/");
    EXPECT_EQ(about->homeUrl->Caption(), web);
    EXPECT_EQ(about->homeUrl->URL(), web);
    EXPECT_NE(about->Label1->Caption().find(web), std::string::npos);
    // The skin gave the box its size.
    EXPECT_EQ(about->Width(), about->Skin().Width());
    dialogtest::Screenshot(about.get(), "about.png");

    dialogtest::RecordedLaunches shell;
    dialogtest::ClickAt(about.get(), about->supportUrl);
    dialogtest::ClickAt(about.get(), about->homeUrl);
    // A click beside the links opens nothing.
    dialogtest::ClickAt(about.get(), about->labVersion);
    ASSERT_EQ(shell.launched.size(), 2u);
    EXPECT_EQ(shell.launched[0], (std::vector<std::string>{"xdg-open", web + "support-center/"}));
    EXPECT_EQ(shell.launched[1], (std::vector<std::string>{"xdg-open", web}));

    // OK closes the box.
    dialogtest::ClickAt(about.get(), about->btnOK);
    EXPECT_FALSE(about->Visible());
}

}  // namespace
