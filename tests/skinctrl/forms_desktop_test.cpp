// The skinned frames on a virtual X display (Xvfb, black root, a work area set on the root),
// driven by xdotool: the shaped window with the root showing in its rounded corners, a title
// drag, maximising onto the work area by a double click and back, Alt+Space opening the
// focused form's system menu, and the close button. Screenshots go to artifacts/.
#include <gtest/gtest.h>

#include "support/desktop.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using desktop::OnPath;
using desktop::ReadFile;
using desktop::Spawn;
using desktop::Stop;
using desktop::WaitFor;

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof(buffer), p)) out += buffer;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

class FormsDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "xprop", "import", "convert"})
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-br", "-noreset", "-nolisten",
                      "tcp"});
        close(fds[1]);
        ASSERT_GT(xvfb, 0);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        setenv("DISPLAY", (":" + number).c_str(), 1);
        unsetenv("LUMACAST_HEADLESS");
        // A panel of 40 pixels at the bottom, as desktops have (kept: the server does not
        // reset when xprop, its only client yet, leaves).
        Capture("xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA '0, 0, 1024, 728'");
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        artifacts = fs::path(build ? build : ".") / "artifacts";
        fs::create_directories(artifacts);
        work = fs::temp_directory_path() / ("skin_forms_desktop_" + std::to_string(getpid()));
        fs::create_directories(work);
    }
    void TearDown() override {
        Stop(gallery);
        Stop(xvfb);
        std::error_code ec;
        fs::remove_all(work, ec);
    }
    std::string PixelAt(const std::string& window, int x, int y) {
        fs::path shot = work / "shot.png";
        Capture("import -window " + window + " " + shot.string());
        std::string txt = Capture("convert " + shot.string() + " -crop 1x1+" + std::to_string(x) + "+" +
                                  std::to_string(y) + " -depth 8 txt:-");
        auto line = txt.find('\n');
        auto hash = line == std::string::npos ? line : txt.find('#', line);
        return hash == std::string::npos ? "" : txt.substr(hash, 7);
    }
    // "x y w h" of a window from xwininfo.
    std::string Geometry(const std::string& id) {
        std::string info = Capture("xwininfo -id " + id);
        auto field = [&](const std::string& name) {
            auto at = info.find(name);
            return at == std::string::npos ? std::string("?") : std::to_string(std::atoi(info.c_str() + at + name.size()));
        };
        return field("Absolute upper-left X:") + " " + field("Absolute upper-left Y:") + " " + field("Width:") + " " +
               field("Height:");
    }
    bool Logged(const std::string& line) {
        return WaitFor([&] { return ReadFile(log.string()).find(line + "\n") != std::string::npos; });
    }
    pid_t xvfb = -1;
    pid_t gallery = -1;
    fs::path artifacts, work, log;
};

TEST_F(FormsDesktopTest, ShapedFramesDragMaximiseMenuAndClose) {
    log = work / "gallery.log";
    gallery = Spawn({SKIN_FORMS_GALLERY_PROGRAM}, "", log.string());
    ASSERT_GT(gallery, 0);
    std::string id;
    ASSERT_TRUE(WaitFor([&] {
        id = Capture("xdotool search --name '^Frame 1 BlueGlass$'");
        return !id.empty() && ReadFile(log.string()).find("ready") != std::string::npos;
    })) << "the frames did not appear";
    Capture("import -window root " + (artifacts / "skin_forms_gallery.png").string());

    // Shaped, with the black root in the rounded corner and the frame beside it.
    std::string shape = Capture("xwininfo -shape -id " + id);
    EXPECT_NE(shape.find("Window shape extents:  300x220+0+0"), std::string::npos) << shape;
    std::string rootShot = (work / "root.png").string();
    Capture("import -window root " + rootShot);
    auto rootPixel = [&](int x, int y) {
        std::string txt = Capture("convert " + rootShot + " -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) +
                                  " -depth 8 txt:-");
        auto line = txt.find('\n');
        auto hash = line == std::string::npos ? line : txt.find('#', line);
        return hash == std::string::npos ? std::string() : txt.substr(hash, 7);
    };
    EXPECT_EQ(rootPixel(20, 40), "#000000");  // the window's corner, cut away
    EXPECT_NE(rootPixel(20 + 150, 40), "#000000");  // the top edge in the middle

    // A drag by the title moves the window.
    EXPECT_EQ(Geometry(id), "20 40 300 220");
    Capture("xdotool mousemove 170 55 mousedown 1 mousemove 200 75 mousemove 230 95 mouseup 1");
    EXPECT_TRUE(WaitFor([&] { return Geometry(id) == "80 80 300 220"; })) << Geometry(id);

    // A double click on the title maximises onto the work area, widened; another restores.
    Capture("xdotool mousemove 230 95 click --repeat 2 --delay 80 1");
    EXPECT_TRUE(WaitFor([&] { return Geometry(id) == "-2 -2 1028 729"; })) << Geometry(id);
    Capture("import -window root " + (artifacts / "skin_forms_maximised.png").string());
    Capture("xdotool mousemove 500 12 click --repeat 2 --delay 80 1");
    EXPECT_TRUE(WaitFor([&] { return Geometry(id) == "80 80 300 220"; })) << Geometry(id);

    // Alt+Space on the focused form opens its own menu; Escape closes it.
    Capture("xdotool mousemove 150 200 click 1");
    Capture("xdotool key alt+space");
    EXPECT_TRUE(Logged("menu 1")) << ReadFile(log.string());
    Capture("import -window root " + (artifacts / "skin_forms_menu.png").string());
    Capture("xdotool key Escape");
    EXPECT_EQ(ReadFile(log.string()).find("menu 2"), std::string::npos);

    // The close button (20 pixels from the right edge) closes the form, and the program.
    Capture("xdotool mousemove " + std::to_string(80 + 300 - 3 - 20 + 9) + " " + std::to_string(80 + 3 + 12) + " click 1");
    EXPECT_TRUE(Logged("close 1")) << ReadFile(log.string());
    int status = -1;
    ASSERT_TRUE(WaitFor([&] { return waitpid(gallery, &status, WNOHANG) == gallery; })) << "the gallery did not end";
    gallery = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
}

TEST_F(FormsDesktopTest, MdiChildrenMoveInsideTheFrameAndActivateOnClick) {
    log = work / "mdi.log";
    gallery = Spawn({SKIN_FORMS_GALLERY_PROGRAM, "--mdi"}, "", log.string());
    ASSERT_GT(gallery, 0);
    std::string id;
    ASSERT_TRUE(WaitFor([&] {
        id = Capture("xdotool search --name '^MDI frame WinXP$'");
        return !id.empty() && ReadFile(log.string()).find("ready") != std::string::npos;
    })) << "the MDI frame did not appear";
    Capture("import -window root " + (artifacts / "skin_forms_mdi.png").string());
    std::string frameAt = Geometry(id);
    auto titlePoint = [&](int n) {
        std::string text = ReadFile(log.string());
        auto at = text.find("title " + std::to_string(n) + " ");
        int x = 0, y = 0;
        if (at != std::string::npos) std::sscanf(text.c_str() + at, "title %*d %d %d", &x, &y);
        return std::pair<int, int>(x, y);
    };
    // The children are windows inside the frame, not windows of their own on the display.
    EXPECT_TRUE(Capture("xdotool search --name '^Document 2$'").empty());

    // A drag by the second child's title moves that child inside the frame only.
    auto [x2, y2] = titlePoint(2);
    ASSERT_GT(x2, 0);
    Capture("xdotool mousemove " + std::to_string(x2) + " " + std::to_string(y2) + " mousedown 1 mousemove " +
            std::to_string(x2 + 20) + " " + std::to_string(y2 + 15) + " mousemove " + std::to_string(x2 + 40) + " " +
            std::to_string(y2 + 30) + " mouseup 1");
    EXPECT_TRUE(Logged("child 2 at 62 52")) << ReadFile(log.string());
    EXPECT_EQ(Geometry(id), frameAt);

    // A click on the first child's title activates it and brings it to the front: a point
    // the second covered shows the first.
    auto [x1, y1] = titlePoint(1);
    const int px = x1 + 150, py = y1 + 100;
    std::string covered = PixelAt("root", px, py);
    Capture("xdotool mousemove " + std::to_string(x1) + " " + std::to_string(y1) + " click 1");
    EXPECT_TRUE(WaitFor([&] { return PixelAt("root", px, py) != covered; })) << covered;
    EXPECT_TRUE(WaitFor([&] {
        std::string text = ReadFile(log.string());
        auto ready = text.find("ready\n");
        return ready != std::string::npos && text.find("active 1", ready) != std::string::npos;
    })) << ReadFile(log.string());
    Capture("import -window root " + (artifacts / "skin_forms_mdi_moved.png").string());
}

TEST_F(FormsDesktopTest, PopupSlidesUpAtTheCornerAndItsCloseBoxUnmapsIt) {
    log = work / "popup.log";
    gallery = Spawn({SKIN_FORMS_GALLERY_PROGRAM, "--popup"}, "", log.string());
    ASSERT_GT(gallery, 0);
    std::string id;
    ASSERT_TRUE(WaitFor([&] {
        id = Capture("xdotool search --name '^Notification$'");
        return !id.empty() && ReadFile(log.string()).find("ready") != std::string::npos;
    })) << "the pop-up did not appear";
    // At the work area's bottom, 18 pixels left of its right edge.
    EXPECT_EQ(Geometry(id), std::to_string(1024 - 18 - 181) + " " + std::to_string(728 - 116) + " 181 116");
    // Mid-slide only a lower part of it is there.
    std::string shape;
    EXPECT_TRUE(WaitFor([&] {
        shape = Capture("xwininfo -shape -id " + id + " | grep 'Window shape extents'");
        auto x = shape.find("181x");
        return x != std::string::npos && std::atoi(shape.c_str() + x + 4) > 0 && std::atoi(shape.c_str() + x + 4) < 116;
    })) << shape;
    Capture("import -window root " + (artifacts / "skin_forms_popup_sliding.png").string());
    // Up: the close box hides it at once.
    // Once up, it has no shape of its own any more.
    EXPECT_TRUE(WaitFor([&] { return Capture("xwininfo -shape -id " + id + " | grep 'Window shape extents'").empty(); }));
    Capture("import -window root " + (artifacts / "skin_forms_popup.png").string());
    Capture("xdotool mousemove " + std::to_string(1024 - 18 - 181 + 162) + " " + std::to_string(728 - 116 + 6) + " click 1");
    EXPECT_TRUE(Logged("popup closed")) << ReadFile(log.string());
    EXPECT_EQ(Capture("xwininfo -id " + id).find("IsViewable"), std::string::npos);  // unmapped (or gone)
    int status = -1;
    ASSERT_TRUE(WaitFor([&] { return waitpid(gallery, &status, WNOHANG) == gallery; })) << "the gallery did not end";
    gallery = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
}

}  // namespace
