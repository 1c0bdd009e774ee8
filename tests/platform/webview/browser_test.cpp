// The web view without a display of its own: it paints a placeholder, records what it was
// asked to show, and refuses pages outside the program folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/controls/forms.h"
#include "platform/controls/webbrowser.h"
#include "platform/windows/backend.h"
#include "support/tempdir.h"

namespace {

using namespace platform;

class BrowserHeadless : public testing::Test {
protected:
    void SetUp() override {
        static bool once = false;
        if (!once) SetBackend(CreateHeadlessBackend(1024, 768));
        once = true;
        dir.Write("temp/velmora.swf", "FWS");
        dir.Write("secret.swf", "FWS");
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(50, 50, 400, 300);
        form->AfterConstruction();
        browser = new TCppWebBrowser(form);
        browser->SetParent(form);
        browser->SetBounds(10, 20, 320, 240);
        browser->SetProgramFolder(dir.str());
        // Nothing may start a helper here: a headless view has no area to give it.
        browser->SetHelperProgram("/bin/false");
        form->Show();
        Application->ProcessMessages();
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
    }
    std::string Path(const std::string& name) const { return (dir.path() / name).string(); }

    testsupport::TempDir dir;
    TForm* form = nullptr;
    TCppWebBrowser* browser = nullptr;
};

TEST_F(BrowserHeadless, RecordsEachPageWithTheViewsSizeAndVisibility) {
    browser->Navigate(Path("temp/velmora.swf"));
    browser->SetBounds(10, 20, 1, 1);
    browser->Hide();
    browser->Navigate(Path("temp/velmora.swf"));
    ASSERT_EQ(browser->Navigations().size(), 2u);
    const auto& first = browser->Navigations()[0];
    EXPECT_EQ(first.path, Path("temp/velmora.swf"));
    EXPECT_EQ(first.width, 320);
    EXPECT_EQ(first.height, 240);
    EXPECT_TRUE(first.visible);
    const auto& second = browser->Navigations()[1];
    EXPECT_EQ(second.width, 1);
    EXPECT_EQ(second.height, 1);
    EXPECT_FALSE(second.visible);
    EXPECT_EQ(browser->LocationPath(), Path("temp/velmora.swf"));
    EXPECT_EQ(browser->State(), TCppWebBrowser::TState::Placeholder);
    EXPECT_EQ(browser->HelperPid(), 0);
    EXPECT_EQ(browser->AreaId(), 0u);
}

TEST_F(BrowserHeadless, PaintsAPlaceholderAndSaysWhenThePreviewIsUnavailable) {
    browser->Navigate(Path("temp/velmora.swf"));
    Application->ProcessMessages();
    std::filesystem::path shots = std::filesystem::path(std::getenv("LUMACAST_BUILD_DIR") ? std::getenv("LUMACAST_BUILD_DIR") : ".") / "artifacts";
    std::filesystem::create_directories(shots);
    SaveWindowImage(form->Handle(), (shots / "webview-placeholder.png").string());
    // The placeholder is the view's black with the page's name.
    EXPECT_EQ(GetWindowSurfacePixel(form->Handle(), 12, 22), RGB(0, 0, 0));

    struct Case {
        std::string path;
        std::string why;
    } refused[] = {
        {Path("secret.swf"), "outside"},
        {Path("temp/../secret.swf"), "outside"},
        {"/etc/passwd", "outside"},
        {"", "outside"},
        {Path("temp/missing.swf"), "does not exist"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.path);
        browser->Navigate(c.path);
        EXPECT_EQ(browser->State(), TCppWebBrowser::TState::Unavailable);
        EXPECT_NE(browser->Unavailability().find(c.why), std::string::npos) << browser->Unavailability();
    }
    Application->ProcessMessages();
    SaveWindowImage(form->Handle(), (shots / "webview-unavailable.png").string());
    EXPECT_EQ(GetWindowSurfacePixel(form->Handle(), 12, 22), RGB(0x30, 0x30, 0x30));
    // The text is drawn, light, in the middle of the area.
    bool text = false;
    for (int y = 20 + 110; y < 20 + 130; ++y)
        for (int x = 10; x < 330 && !text; ++x)
            text = GetGValue(GetWindowSurfacePixel(form->Handle(), x, y)) > 0xC0;
    EXPECT_TRUE(text);
    // A good page afterwards is shown again.
    browser->Navigate(Path("temp/velmora.swf"));
    EXPECT_EQ(browser->State(), TCppWebBrowser::TState::Placeholder);
    EXPECT_EQ(browser->Unavailability(), "");
}

}  // namespace
