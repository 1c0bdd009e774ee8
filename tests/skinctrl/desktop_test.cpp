// The skinned gallery on a virtual X display (Xvfb), driven by xdotool: the picture button's
// pictures as the pointer hovers and presses, a check box and a slider drag logged on
// stdout, the window dragged by its background, and the link handed to a stand-in xdg-open
// that logs the address it got. Screenshots go to artifacts/ under the build tree.
#include <gtest/gtest.h>

#include "support/desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using desktop::OnPath;
using desktop::Spawn;
using desktop::Stop;
using desktop::WaitFor;

using desktop::Capture;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SkinDesktopTest : public ::testing::Test {
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
        work = fs::temp_directory_path() / ("skin_desktop_" + std::to_string(getpid()));
        fs::create_directories(work);
        // The stand-in opener: one line per call, its first argument.
        fs::path opener = work / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << (work / "opened.log").string() << "'\n";
        fs::permissions(opener, fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        setenv("PATH", (work.string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
    }
    void TearDown() override {
        Stop(gallery);
        Stop(xvfb);
        std::error_code ec;
        fs::remove_all(work, ec);
    }
    // The colour of window pixel (x, y), as "#RRGGBB".
    std::string PixelAt(const std::string& id, int x, int y) {
        fs::path shot = work / "shot.png";
        Capture("import -window " + id + " " + shot.string());
        std::string txt = Capture("convert " + shot.string() + " -crop 1x1+" + std::to_string(x) + "+" +
                                  std::to_string(y) + " -depth 8 txt:-");
        auto line = txt.find('\n');  // past the header line, which starts with '#' too
        auto hash = line == std::string::npos ? line : txt.find('#', line);
        return hash == std::string::npos ? "" : txt.substr(hash, 7);
    }
    pid_t xvfb = -1;
    pid_t gallery = -1;
    fs::path artifacts, work;
};

}  // namespace

TEST_F(SkinDesktopTest, GalleryButtonsBoxSliderDragAndLink) {
    fs::path log = work / "gallery.log";
    gallery = Spawn({SKIN_GALLERY_PROGRAM}, "", log.string());
    ASSERT_GT(gallery, 0);
    std::string id;
    ASSERT_TRUE(WaitFor([&] {
        id = Capture("xdotool search --name '^skin gallery$'");
        return !id.empty() && ReadFile(log).find("ready") != std::string::npos;
    })) << "the gallery window did not appear";
    id = id.substr(0, id.find('\n'));
    auto logged = [&](const std::string& line) {
        return WaitFor([&] { return ReadFile(log).find(line + "\n") != std::string::npos; });
    };

    // The picture button: normal, mouse over, pressed.
    EXPECT_TRUE(WaitFor([&] { return PixelAt(id, 50, 35) == "#C80000"; })) << PixelAt(id, 50, 35);
    Capture("xdotool mousemove --window " + id + " 50 35");
    EXPECT_TRUE(WaitFor([&] { return PixelAt(id, 50, 35) == "#00C800"; })) << PixelAt(id, 50, 35);
    Capture("xdotool mousedown 1");
    EXPECT_TRUE(WaitFor([&] { return PixelAt(id, 50, 35) == "#0000C8"; })) << PixelAt(id, 50, 35);
    Capture("import -window " + id + " " + (artifacts / "skin_gallery_pressed.png").string());
    Capture("xdotool mouseup 1");
    EXPECT_TRUE(logged("click button"));

    // The check box, then the slider dragged from its middle 100 pixels to the right.
    Capture("xdotool mousemove --window " + id + " 26 78 click 1");
    EXPECT_TRUE(logged("check on"));
    Capture("xdotool mousemove --window " + id + " 25 120 mousedown 1 mousemove --window " + id +
            " 75 120 mousemove --window " + id + " 125 120 mouseup 1");
    EXPECT_TRUE(logged("track 5")) << ReadFile(log);

    // The link goes to xdg-open as one argument.
    Capture("xdotool mousemove --window " + id + " 30 196 click 1");
    EXPECT_TRUE(WaitFor([&] { return fs::exists(work / "opened.log"); }));
    EXPECT_EQ(ReadFile(work / "opened.log"), "https://example.org/a b?q=\"$(x)\"\n");

    // The background drags the window.
    auto position = [&] {
        std::string geometry = Capture("xwininfo -id " + id + " | grep 'Absolute upper-left X'");
        return geometry.substr(geometry.find(':') + 1);
    };
    std::string before = position();
    Capture("xdotool mousemove --window " + id + " 300 280 mousedown 1 mousemove_relative 40 30 mousemove_relative 10 10 mouseup 1");
    EXPECT_TRUE(WaitFor([&] { return position() != before; })) << "the drag did not move the window";
    EXPECT_EQ(std::stoi(position()), std::stoi(before) + 50);
    Capture("import -window " + id + " " + (artifacts / "skin_gallery.png").string());

    Capture("xdotool key --window " + id + " Escape");
    int status = -1;
    ASSERT_TRUE(WaitFor([&] { return waitpid(gallery, &status, WNOHANG) == gallery; })) << "the gallery did not end";
    gallery = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
}
