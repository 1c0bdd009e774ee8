// The skinned edits gallery on a virtual X display (Xvfb), driven by xdotool: typing into
// the spin edit and pressing Up, opening the combo box with a click and picking with the
// keys (one change logged), and the popup menu opened from a button: the hovered item in
// the program's blue, a click running its item, Escape closing it. Screenshots go to
// artifacts/ under the build tree.
#include <gtest/gtest.h>

#include "support/desktop.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using desktop::OnPath;
using desktop::ReadFile;
using desktop::Spawn;
using desktop::Stop;
using desktop::WaitFor;

using desktop::Capture;

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class SkinEditsDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "import", "convert"})
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        close(fds[1]);
        ASSERT_GT(xvfb, 0);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        setenv("DISPLAY", (":" + number).c_str(), 1);
        unsetenv("LUMACAST_HEADLESS");
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        artifacts = fs::path(build ? build : ".") / "artifacts";
        fs::create_directories(artifacts);
        work = fs::temp_directory_path() / ("skin_edits_desktop_" + std::to_string(getpid()));
        fs::create_directories(work);
    }
    void TearDown() override {
        Stop(gallery);
        Stop(xvfb);
        std::error_code ec;
        fs::remove_all(work, ec);
    }
    // The colour of screen pixel (x, y), as "#RRGGBB".
    std::string ScreenPixel(int x, int y) {
        fs::path shot = work / "shot.png";
        Capture("import -window root " + shot.string());
        std::string txt = Capture("convert " + shot.string() + " -crop 1x1+" + std::to_string(x) + "+" +
                                  std::to_string(y) + " -depth 8 txt:-");
        auto line = txt.find('\n');
        auto hash = line == std::string::npos ? line : txt.find('#', line);
        return hash == std::string::npos ? "" : txt.substr(hash, 7);
    }
    pid_t xvfb = -1;
    pid_t gallery = -1;
    fs::path artifacts, work;
};

}  // namespace

TEST_F(SkinEditsDesktopTest, SpinEditComboAndPopupMenu) {
    fs::path log = work / "gallery.log";
    gallery = Spawn({SKIN_EDITS_GALLERY_PROGRAM}, "", log.string());
    ASSERT_GT(gallery, 0);
    std::string id;
    ASSERT_TRUE(WaitFor([&] {
        id = Capture("xdotool search --name '^skin edits gallery$'");
        return !id.empty() && ReadFile(log.string()).find("ready") != std::string::npos;
    })) << "the gallery window did not appear";
    id = id.substr(0, id.find('\n'));
    auto logged = [&](const std::string& line) {
        return WaitFor([&] { return ReadFile(log.string()).find(line + "\n") != std::string::npos; });
    };
    // The window stands where it asked to (no window manager): (100, 100).
    const int wx = 100, wy = 100;

    // Spin edit: click at the end of "5", type 0, then Up.
    Capture("xdotool mousemove --window " + id + " 70 32 click 1");
    Capture("xdotool key --window " + id + " End");
    Capture("xdotool type --window " + id + " 0");
    EXPECT_TRUE(logged("spin 50")) << ReadFile(log.string());
    Capture("xdotool key --window " + id + " Up");
    EXPECT_TRUE(logged("spin 51")) << ReadFile(log.string());

    // Combo: a click drops the list, the keys pick the second entry, one change.
    Capture("xdotool mousemove --window " + id + " 100 72 click 1");
    Capture("import -window root " + (artifacts / "skin_edits_combo_dropped.png").string());
    Capture("xdotool key --window " + id + " Down Down Return");
    EXPECT_TRUE(logged("combo 1")) << ReadFile(log.string());
    EXPECT_EQ(Count(ReadFile(log.string()), "combo "), 1) << ReadFile(log.string());

    // Popup: opened below the button; the first item under the pointer in the program's blue.
    Capture("xdotool mousemove --window " + id + " 60 112 click 1");
    int px = wx + 20 + 40, py = wy + 124 + 3 + 10;
    Capture("xdotool mousemove " + std::to_string(px) + " " + std::to_string(py));
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(px + 30, py - 6) == "#444AA0"; })) << ScreenPixel(px + 30, py - 6);
    Capture("import -window root " + (artifacts / "skin_edits_popup.png").string());
    Capture("xdotool click 1");
    EXPECT_TRUE(logged("menu First")) << ReadFile(log.string());
    // Opened again and closed with Escape: nothing runs. The separator (0x848284, two
    // pixels below the top of its row, after two rows of 21 inside a 3-pixel frame) shows
    // while the menu is open, over the gallery's white.
    Capture("xdotool mousemove --window " + id + " 60 112 click 1");
    int lx = wx + 20 + 3 + 10, ly = wy + 124 + 3 + 21 + 21 + 2;
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(lx, ly) == "#848284"; })) << ScreenPixel(lx, ly);
    Capture("xdotool key Escape");
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(lx, ly) == "#FFFFFF"; })) << "the menu did not close";
    EXPECT_EQ(Count(ReadFile(log.string()), "menu "), 1) << ReadFile(log.string());

    Capture("xdotool key --window " + id + " F10");
    int status = -1;
    ASSERT_TRUE(WaitFor([&] { return waitpid(gallery, &status, WNOHANG) == gallery; })) << "the gallery did not end";
    gallery = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
}
