// Start-up that fails while a window is being made: one message box, a non-zero result,
// and the main window never shown.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/app.h"
#include "app/mainfrm.h"
#include "app_support.h"

namespace {

using namespace apptest;

SkinSectionHandle FailOnAbout(const char* name) {
    if (std::string(name) == "about") throw std::runtime_error("the about box cannot be made");
    return ::GetSkinSection(name);
}

TEST(StartUp, AFailureWhileMakingAWindowShowsOneMessageAndEndsNonZero) {
    UseHeadlessDisplay();
    Sandbox box;
    SkinReader failing;
    failing.GetSkinSection = FailOnAbout;
    SetSkinReader(&failing);
    std::vector<std::string> boxes;
    platform::Application->MessageBoxHandler = [&](const std::string& text, const std::string&, platform::UINT) {
        boxes.push_back(text);
        return platform::IDOK;
    };
    EXPECT_EQ(RunApplication(), 1);
    SetSkinReader(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("the about box cannot be made"), std::string::npos) << boxes[0];
    ASSERT_NE(frmMain, nullptr);
    EXPECT_FALSE(frmMain->Visible());
}

}  // namespace
