// Drag and drop between two programs of ours on a real X display (XDND): xdotool presses
// on the source window, moves onto the target window and lets go, or presses Escape midway.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/services/desktop_support.h"

namespace {

namespace fs = std::filesystem;
using namespace desktop;

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof(buffer), p)) out += buffer;
        pclose(p);
    }
    return out;
}

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
        ASSERT_TRUE(WaitUntil([] { return !Capture("xdotool search --name '^lumacast drop target$'").empty(); }));
        ASSERT_TRUE(WaitUntil([] { return !Capture("xdotool search --name '^lumacast drag source$'").empty(); }));
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
    Capture("xdotool mousemove 250 200 mousedown 1 sleep 0.3 mousemove 450 200 sleep 0.2 mousemove 700 180 sleep 0.3 "
            "mousemove 720 190 sleep 0.3 mouseup 1");
    EXPECT_TRUE(WaitUntil([&] { return !Capture("xdotool search --name '^dropped: dragged'").empty(); }))
        << "target: " << Log("target.log");
    EXPECT_TRUE(WaitUntil([&] { return Log("source.log").find("drag ended drop 1") != std::string::npos; }))
        << "source: " << Log("source.log");
    EXPECT_EQ(Log("target.log"), "dropped: " + text + "\n");
    // The grab ended with the drag: another program can take the pointer.
    EXPECT_NE(Capture("xdotool mousemove 50 50 getmouselocation"), "");
}

TEST_F(DragDropDesktop, EscapeMidwayDropsNothing) {
    Capture("xdotool mousemove 250 200 mousedown 1 sleep 0.3 mousemove 450 200 sleep 0.2 mousemove 700 180 sleep 0.3 "
            "key Escape sleep 0.3 mouseup 1");
    EXPECT_TRUE(WaitUntil([&] { return Log("source.log").find("drag ended cancel 0") != std::string::npos; }))
        << "source: " << Log("source.log");
    usleep(300000);
    EXPECT_EQ(Log("target.log"), "");
    EXPECT_FALSE(Capture("xdotool search --name '^lumacast drop target$'").empty());
}

}  // namespace
