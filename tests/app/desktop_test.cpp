// The desktop smoke test: lumacast on its own virtual X display (Xvfb) with a temporary
// home and settings store. Its main window appears centred in the skin's size and rounded
// shape; btnMenu opens the help menu and "Homepage" reaches the desktop's opener (a
// stand-in xdg-open first on PATH); a drag on the background moves the window; close ends
// the program with 0 and leaves the settings it wrote. A screenshot goes to artifacts/.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app_support.h"
#include "support/desktop.h"
#include "support/process.h"

namespace {

using namespace apptest;

std::string Shell(const std::string& command) { return testsupport::Capture(command + " 2>/dev/null"); }

int Field(const std::string& info, const std::string& name) {
    std::size_t at = info.find(name);
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + name.size());
}

TEST(Desktop, MainWindowShowsOpensItsHelpMenuDragsAndCloses) {
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir home;
    testsupport::TempDir bin;
    fs::path opened = home.path() / "opened.txt";
    bin.Write("xdg-open", "#!/bin/sh\necho \"$@\" >> '" + opened.string() + "'\n");
    chmod((bin.path() / "xdg-open").c_str(), 0755);
    setenv("PATH", (bin.str() + ":" + std::getenv("PATH")).c_str(), 1);
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    fs::path artifacts = fs::path(build ? build : ".") / "artifacts";
    fs::create_directories(artifacts);

    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    fs::path program = BuiltProgramFolder() / "lumacast";
    pid_t pid = desktop::Spawn({program.string()}, "", (home.path() / "out.txt").string(),
                               (home.path() / "err.txt").string());
    ASSERT_GT(pid, 0);
    std::string id;
    ASSERT_TRUE(desktop::WaitLong([&] {
        id = Shell("xdotool search --onlyvisible --name '^Velmorasoft Lumacast$'");
        return !id.empty();
    })) << desktop::ReadFile((home.path() / "err.txt").string());
    id = id.substr(0, id.find('\n'));

    // The default skin's size, centred on the 1024 x 768 screen, with its rounded shape.
    std::string info = Shell("xwininfo -id " + id);
    EXPECT_EQ(Field(info, "Width: "), 820) << info;
    EXPECT_EQ(Field(info, "Height: "), 600) << info;
    int left = Field(info, "Absolute upper-left X: "), top = Field(info, "Absolute upper-left Y: ");
    EXPECT_EQ(left, (1024 - 820) / 2);
    EXPECT_EQ(top, (768 - 600) / 2);
    std::string shape = Shell("xwininfo -shape -id " + id);
    EXPECT_EQ(shape.find("No window shape defined"), std::string::npos) << shape;

    // btnMenu (712, 8, 22 x 22 in the default skin) opens the help menu just below it.
    Shell("xdotool mousemove --window " + id + " 723 19 click 1");
    std::string menu;
    ASSERT_TRUE(desktop::WaitLong([&] {
        std::string tree = Shell("xwininfo -root -tree");
        std::size_t at = tree.find("\"#32768\"");
        if (at == std::string::npos) return false;
        menu = tree.substr(tree.rfind('\n', at) + 1, tree.find('\n', at) - tree.rfind('\n', at) - 1);
        return true;
    })) << "the help menu did not open";
    EXPECT_NE(menu.find("+" + std::to_string(left + 712) + "+" + std::to_string(top + 30)), std::string::npos) << menu;
    if (desktop::OnPath("import")) Shell("import -window root " + (artifacts / "mainwin-menu.png").string());
    // Help, Support, (separator), Homepage.
    Shell("xdotool key Down Down Down Return");
    ASSERT_TRUE(desktop::WaitLong([&] { return fs::exists(opened) && fs::file_size(opened) > 0; }))
        << "Homepage did not reach the opener";
    EXPECT_EQ(desktop::ReadFile(opened.string()), std::string(LUMACAST_WEB_ADDRESS) + "\n");

    // A drag on the background moves the window.
    Shell("xdotool mousemove --window " + id +
        " 200 300 mousedown 1 mousemove_relative 40 30 mousemove_relative 10 10 mouseup 1");
    // The window follows each step of the pointer; it ends 50 right and 40 down.
    EXPECT_TRUE(desktop::WaitLong([&] {
        info = Shell("xwininfo -id " + id);
        return Field(info, "Absolute upper-left X: ") == left + 50 && Field(info, "Absolute upper-left Y: ") == top + 40;
    })) << info;
    if (desktop::OnPath("import")) {
        Shell("import -window root " + (artifacts / "mainwin-desktop.png").string());
        EXPECT_TRUE(fs::exists(artifacts / "mainwin-desktop.png"));
    }

    // close (790, 8) ends the program with 0.
    Shell("xdotool mousemove --window " + id + " 801 19 click 1");
    int status = -1;
    ASSERT_TRUE(desktop::WaitLong([&] { return (status = desktop::Finished(pid)) != -1; })) << "it did not end";
    EXPECT_EQ(status, 0) << desktop::ReadFile((home.path() / "err.txt").string());
    EXPECT_EQ(StoredSetting("AutoUpdate"), "0");
    EXPECT_EQ(StoredSetting("Skin"), (BuiltProgramFolder() / "Images/DefaultImage.xml").string());
}

}  // namespace
