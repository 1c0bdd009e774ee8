// Drag and drop between two programs of ours on a real X display (XDND): xdotool presses
// on the source window, moves onto the target window and lets go, or presses Escape midway.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/desktop.h"

namespace {

namespace fs = std::filesystem;
using namespace desktop;

template <class F> bool WaitUntil(F check) {
    for (int i = 0; i < 200; ++i) {
        if (check()) return true;
        usleep(50000);
    }
    return check();
}

class DragDropDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool"})
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(xvfb.Start());
        dir = fs::temp_directory_path() / ("lumacast-dnd-" + std::to_string(getpid()));
        fs::create_directories(dir);
        target = Spawn({SERVICES_PEER, "target"}, "", (dir / "target.log").string());
        source = Spawn({SERVICES_PEER, "source", text}, "", (dir / "source.log").string());
        // A sanitizer build on a busy machine starts slowly: the longer wait.
        ASSERT_TRUE(WaitLong([] { return !Capture("xdotool search --name '^lumacast drop target$'").empty(); }));
        ASSERT_TRUE(WaitLong([] { return !Capture("xdotool search --name '^lumacast drag source$'").empty(); }));
    }
    void TearDown() override {
        Stop(source);
        Stop(target);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string Log(const char* name) { return ReadFile((dir / name).string()); }

    const std::string text = "dragged \xE2\x9C\x93 text";
    Xvfb xvfb;
    fs::path dir;
    pid_t target = -1, source = -1;
};

// The source window lies at (100, 100), the target at (600, 100), both 300 x 200.
TEST_F(DragDropDesktop, TextDraggedFromOneProgramIsDroppedInTheOther) {
    // The pointer rests over the target twice before the release: a loaded machine may merge
    // quick moves into one, and the target answers a position only once it has seen one.
    Capture("xdotool mousemove 250 200 mousedown 1 sleep 0.3 mousemove 450 200 sleep 0.3 mousemove 700 180 sleep 0.5 "
            "mousemove 720 190 sleep 0.5 mousemove 730 195 sleep 0.5 mouseup 1");
    EXPECT_TRUE(WaitUntil([&] { return !Capture("xdotool search --name '^dropped: dragged'").empty(); }))
        << "target: " << Log("target.log") << "source: " << Log("source.log");
    EXPECT_TRUE(WaitUntil([&] { return Log("source.log").find("drag ended drop 1") != std::string::npos; }))
        << "source: " << Log("source.log") << "target: " << Log("target.log");
    EXPECT_EQ(Log("target.log"), "dropped: " + text + "\n");
    // The grab ended with the drag: another program can take the pointer.
    EXPECT_NE(Capture("xdotool mousemove 50 50 getmouselocation"), "");
}

TEST_F(DragDropDesktop, EscapeMidwayDropsNothing) {
    Capture("xdotool mousemove 250 200 mousedown 1 sleep 0.3 mousemove 450 200 sleep 0.2 mousemove 700 180 sleep 0.3 "
            "key Escape sleep 0.3 mouseup 1");
    EXPECT_TRUE(WaitUntil([&] { return Log("source.log").find("drag ended cancel 0") != std::string::npos; }))
        << "source: " << Log("source.log");
    // The target was told the drag left, and got nothing.
    EXPECT_TRUE(WaitUntil([&] { return Log("target.log") == "left\n"; })) << Log("target.log");
    EXPECT_FALSE(Capture("xdotool search --name '^lumacast drop target$'").empty());
}

TEST_F(DragDropDesktop, ASourceThatVanishesMidDragEndsIt) {
    if (std::system("/usr/bin/python3 -c 'import Xlib' 2>/dev/null") != 0) GTEST_SKIP() << "python3-xlib is not installed";
    std::string out = Capture("/usr/bin/python3 " + std::string(LUMACAST_SOURCE) +
                              "/tests/platform/services/xdnd_vanishing_source.py");
    EXPECT_EQ(out, "status 1\n") << "the target accepts text";
    EXPECT_TRUE(WaitUntil([&] { return Log("target.log") == "left\n"; })) << Log("target.log");
}

// A target that names a proxy gets our drag's messages through it, each naming the target;
// a window on the way that takes no drops gets none. The target lies at (600, 400),
// 300 x 200, the other window at (400, 250), 100 x 100.
TEST_F(DragDropDesktop, OurDragReachesATargetThroughItsProxy) {
    if (std::system("/usr/bin/python3 -c 'import Xlib' 2>/dev/null") != 0) GTEST_SKIP() << "python3-xlib is not installed";
    pid_t peer = Spawn({"/usr/bin/python3", std::string(LUMACAST_SOURCE) + "/tests/platform/services/xdnd_proxy_target.py",
                        "600", "400", "400", "250"},
                       "", (dir / "proxy.log").string(), (dir / "proxy.err").string());
    ASSERT_TRUE(WaitUntil([&] { return Log("proxy.log").find("ready") != std::string::npos; })) << Log("proxy.err");
    usleep(300000);
    Capture("xdotool mousemove 250 200 mousedown 1 sleep 0.3 mousemove 450 300 sleep 0.2 mousemove 700 480 sleep 0.3 "
            "mousemove 720 500 sleep 0.3 mouseup 1");
    EXPECT_TRUE(WaitUntil([&] { return Log("proxy.log").find("received: " + text) != std::string::npos; }))
        << "proxy: " << Log("proxy.log") << Log("proxy.err") << " source: " << Log("source.log");
    EXPECT_TRUE(WaitUntil([&] { return Log("source.log").find("drag ended drop 1") != std::string::npos; }))
        << "source: " << Log("source.log");
    EXPECT_EQ(Log("proxy.log").find("wrong window"), std::string::npos) << Log("proxy.log");
    EXPECT_EQ(Log("proxy.log").find("stray"), std::string::npos) << Log("proxy.log");
    Stop(peer);
}

}  // namespace

namespace {

bool HaveGtk() {
    return std::system("/usr/bin/python3 -c 'import gi; gi.require_version(\"Gtk\", \"3.0\"); "
                       "gi.require_version(\"Gdk\", \"3.0\"); from gi.repository import Gtk' 2>/dev/null") == 0;
}

// The GTK peer's windows lie at (100, 400) or (600, 400), 300 x 200.
TEST_F(DragDropDesktop, AGtkProgramDropsTextAndFilesAndTakesOurDrag) {
    if (!HaveGtk()) GTEST_SKIP() << "python3-gi with GTK 3 is not installed";
    const std::string script = std::string(LUMACAST_SOURCE) + "/tests/platform/services/gtk_peer.py";
    const std::string file = (dir / "a b\xC3\xA9.txt").string();
    struct Case {
        std::vector<std::string> args;
        std::string expected;  // the title our target shows
    } cases[] = {
        {{"text", "from gtk \xE2\x9C\x93"}, "dropped: from gtk \xE2\x9C\x93"},
        {{"file", file}, "files: " + file},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"/usr/bin/python3", script};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("100");
        args.push_back("400");
        pid_t gtk = Spawn(args, "", (dir / "gtk.log").string(), (dir / "gtk.err").string());
        ASSERT_TRUE(WaitUntil([&] { return Log("gtk.log").find("ready") != std::string::npos; })) << Log("gtk.err");
        usleep(300000);
        Capture("xdotool mousemove 250 500 mousedown 1 sleep 0.2 mousemove 270 490 sleep 0.2 mousemove 450 300 sleep 0.2 "
                "mousemove 700 180 sleep 0.3 mousemove 720 190 sleep 0.3 mouseup 1");
        EXPECT_TRUE(WaitUntil([&] { return Log("target.log").find(c.expected) != std::string::npos; }))
            << c.args[0] << ": " << Log("target.log") << " gtk: " << Log("gtk.log");
        Stop(gtk);
    }

    pid_t gtk = Spawn({"/usr/bin/python3", script, "target", "600", "400"}, "", (dir / "gtk.log").string(), (dir / "gtk.err").string());
    ASSERT_TRUE(WaitUntil([&] { return Log("gtk.log").find("ready") != std::string::npos; })) << Log("gtk.err");
    usleep(300000);
    Capture("xdotool mousemove 250 200 mousedown 1 sleep 0.3 mousemove 450 300 sleep 0.2 mousemove 700 480 sleep 0.3 "
            "mousemove 720 500 sleep 0.3 mouseup 1");
    EXPECT_TRUE(WaitUntil([&] { return Log("gtk.log").find("received: " + text) != std::string::npos; }))
        << "gtk: " << Log("gtk.log") << " source: " << Log("source.log");
    EXPECT_TRUE(WaitUntil([&] { return Log("source.log").find("drag ended drop 1") != std::string::npos; }))
        << "source: " << Log("source.log");
    Stop(gtk);
}

}  // namespace
