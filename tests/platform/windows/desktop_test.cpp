// The desktop smoke test: the gallery on a virtual X display (Xvfb) is a real window with
// its rounded shape, answers a click sent by xdotool, and leaves screenshots under the
// build tree (artifacts/).
#include <gtest/gtest.h>

#include "support/desktop.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwininfo"})
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
    }
    void TearDown() override {
        Stop(gallery);
        Stop(xvfb);
    }
    pid_t xvfb = -1;
    pid_t gallery = -1;
    fs::path artifacts;
};

}  // namespace

TEST_F(DesktopTest, GalleryShowsItsShapedWindowAnswersAClickAndDrags) {
    fs::path shot = artifacts / "gallery.png";
    fs::remove(shot);
    gallery = Spawn({GALLERY_PROGRAM, "--screenshot=" + shot.string()});
    ASSERT_GT(gallery, 0);
    std::string id;
    ASSERT_TRUE(WaitFor([&] {
        id = Capture("xdotool search --name '^lumacast gallery$'");
        return !id.empty();
    })) << "the gallery window did not appear";
    id = id.substr(0, id.find('\n'));

    std::string info = Capture("xwininfo -id " + id);
    EXPECT_NE(info.find("Width: 420"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 280"), std::string::npos) << info;
    EXPECT_NE(info.find("Map State: IsViewable"), std::string::npos) << info;
    // The rounded region is the window's bounding shape.
    std::string shape = Capture("xwininfo -shape -id " + id);
    EXPECT_NE(shape.find("Window shape extents"), std::string::npos) << shape;
    EXPECT_EQ(shape.find("No window shape defined"), std::string::npos) << shape;

    // A click on the swatch (centre at 210, 165 of the window) reaches the control.
    Capture("xdotool mousemove --window " + id + " 210 165 click 1");
    EXPECT_TRUE(WaitFor([&] { return !Capture("xdotool search --name 'clicked 1'").empty(); }))
        << "the click was not answered";

    // Dragging the panel moves the window, done by the program without a window manager.
    auto position = [&] {
        std::string geometry = Capture("xwininfo -id " + id + " | grep 'Absolute upper-left X'");
        return geometry.substr(geometry.find(':') + 1);
    };
    std::string before = position();
    Capture("xdotool mousemove --window " + id + " 100 20 mousedown 1 mousemove_relative 40 30 mousemove_relative 10 10 mouseup 1");
    EXPECT_TRUE(WaitFor([&] { return position() != before; })) << "the drag did not move the window";
    EXPECT_EQ(std::stoi(position()), std::stoi(before) + 50);

    EXPECT_TRUE(WaitFor([&] { return fs::exists(shot) && fs::file_size(shot) > 0; }));
    if (OnPath("import")) {
        fs::path desktop = artifacts / "desktop.png";
        Capture("import -window root " + desktop.string());
        EXPECT_TRUE(fs::exists(desktop));
    }

    // Escape closes the main form, which ends the program cleanly.
    Capture("xdotool key --window " + id + " Escape");
    int status = -1;
    bool ended = WaitFor([&] { return waitpid(gallery, &status, WNOHANG) == gallery; });
    ASSERT_TRUE(ended) << "the gallery did not end";
    gallery = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
}

// The combo's list and a popup menu on a real display: the list is a window of its own
// above the gallery, picked by keys; the menu runs an item by its letter; neither leaves the
// pointer grabbed.
TEST_F(DesktopTest, ComboListAndPopupMenuWorkByKeysAndLeaveNoGrab) {
    gallery = Spawn({GALLERY_PROGRAM});
    ASSERT_GT(gallery, 0);
    std::string id;
    ASSERT_TRUE(WaitFor([&] {
        id = Capture("xdotool search --name '^lumacast gallery$'");
        return !id.empty();
    }));
    id = id.substr(0, id.find('\n'));
    auto pointerFree = [] {
        Display* d = XOpenDisplay(nullptr);
        if (!d) return false;
        int r = XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                             CurrentTime);
        XUngrabPointer(d, CurrentTime);
        XCloseDisplay(d);
        return r == GrabSuccess;
    };

    // The combo box (at 305, 237 of the window): its list opens as a window of its own.
    Capture("xdotool mousemove --window " + id + " 305 237 click 1");
    EXPECT_TRUE(WaitFor([&] { return Capture("xwininfo -root -tree").find("TComboListBox") != std::string::npos; }))
        << Capture("xwininfo -root -tree");
    EXPECT_FALSE(pointerFree());  // the open list holds the pointer
    Capture("xdotool key Down Return");
    EXPECT_TRUE(WaitFor([&] { return !Capture("xdotool search --name 'combo Two'").empty(); }))
        << "the combo pick did not arrive";
    EXPECT_TRUE(WaitFor(pointerFree));

    // A right click on the edit (at 115, 237) opens its menu; "s" runs "Second".
    Capture("xdotool mousemove --window " + id + " 115 237 click 3");
    EXPECT_TRUE(WaitFor([&] { return Capture("xwininfo -root -tree").find("#32768") != std::string::npos; }))
        << Capture("xwininfo -root -tree");
    Capture("xdotool key s");
    EXPECT_TRUE(WaitFor([&] { return !Capture("xdotool search --name 'menu Second'").empty(); }))
        << "the menu item did not run";
    EXPECT_TRUE(WaitFor(pointerFree));

    Capture("xdotool key --window " + id + " Escape");
    int status = -1;
    ASSERT_TRUE(WaitFor([&] { return waitpid(gallery, &status, WNOHANG) == gallery; }));
    gallery = -1;
}

// Covered and uncovered, the shaped window shows its own pixels again everywhere: the
// server reports the uncovered shape as a run of rectangles, and every one of them is drawn.
// The server keeps no copy of the covered part here (backing store turned off for the
// window), so what shows again is what the program drew.
TEST_F(DesktopTest, UncoveredShapedWindowShowsItsPixelsAgain) {
    gallery = Spawn({GALLERY_PROGRAM});
    ASSERT_GT(gallery, 0);
    std::string id = desktop::WaitForWindow("^lumacast gallery$");
    ASSERT_FALSE(id.empty()) << "the gallery window did not appear";
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    ::Window gallery_window = ::Window(std::stoul(id)), child;
    int x = 0, y = 0;
    XTranslateCoordinates(d, gallery_window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    XSetWindowAttributes forget{};
    forget.backing_store = NotUseful;
    XChangeWindowAttributes(d, gallery_window, CWBackingStore, &forget);
    // The window's pixels on the screen, inside its rounded corners.
    const int inset = 12, width = 420 - 2 * inset, height = 280 - 2 * inset;
    auto pixels = [&] {
        std::vector<unsigned long> out;
        XImage* image = XGetImage(d, DefaultRootWindow(d), x + inset, y + inset, width, height, AllPlanes, ZPixmap);
        if (!image) return out;
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i) out.push_back(XGetPixel(image, i, j));
        XDestroyImage(image);
        return out;
    };
    std::vector<unsigned long> shown;
    ASSERT_TRUE(desktop::WaitLong([&] {
        std::vector<unsigned long> now = pixels();
        bool settled = !now.empty() && now == shown;
        shown = now;
        return settled;
    })) << "the gallery's pixels did not settle";

    XSetWindowAttributes cover{};
    cover.override_redirect = True;
    cover.background_pixel = 0x00FF00;
    ::Window w = XCreateWindow(d, DefaultRootWindow(d), x - 5, y - 5, 430, 290, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect | CWBackPixel, &cover);
    XMapRaised(d, w);
    XSync(d, False);
    EXPECT_TRUE(desktop::WaitFor([&] { return pixels() != shown; })) << "the cover did not show";
    XDestroyWindow(d, w);
    XSync(d, False);
    EXPECT_TRUE(desktop::WaitLong([&] { return pixels() == shown; })) << "the uncovered window was not drawn again";
    XCloseDisplay(d);
}
