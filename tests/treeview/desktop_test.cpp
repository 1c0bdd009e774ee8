// The tree on a real X display (its own Xvfb): the desktop demo's window equals its
// headless rendering pixel for pixel, and a row click, an edit typed in, a splitter drag,
// a column drag, a wheel notch and a middle click sent by xdotool do what they do headless. Screenshots
// stay under the build's artifacts/ folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <chrono>

#include "support/desktop.h"

namespace {

namespace fs = std::filesystem;
using desktop::OnPath;
using desktop::ReadFile;
using desktop::Spawn;
using desktop::Stop;
using desktop::WaitFor;

using desktop::Capture;

class TreeDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "import", "compare"})
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(xvfb.Start()) << "Xvfb did not start";
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        artifacts = fs::path(build ? build : ".") / "artifacts";
        fs::create_directories(artifacts);
        log = artifacts / "treeview-desktop.log";
        fs::remove(log);
    }
    void TearDown() override { Stop(demo); }
    // Waits for a line in the demo's log.
    bool Logged(const std::string& line) {
        return WaitFor([&] { return ReadFile(log.string()).find(line + "\n") != std::string::npos; });
    }
    // Runs xdotool after a pause, so that no press counts as a double click.
    void Do(const std::string& xdotool) { Capture("xdotool sleep 0.6 " + xdotool); }

    desktop::Xvfb xvfb;
    pid_t demo = -1;
    fs::path artifacts, log;
};

TEST_F(TreeDesktopTest, TheTreeAnswersTheMouseAsHeadless) {
    demo = Spawn({DEMO_PROGRAM}, "", log.string());
    ASSERT_GT(demo, 0);
    ASSERT_TRUE(Logged("ready"));
    std::string id;
    ASSERT_TRUE(WaitFor([&] {
        id = Capture("xdotool search --name '^lumacast tree$'");
        return !id.empty();
    })) << "the tree's window did not appear";
    id = id.substr(0, id.find('\n'));
    const std::string window = "--window " + id + " ";

    // What the display shows is what the headless backend paints.
    fs::path shown = artifacts / "treeview-desktop-start.png", headless = artifacts / "treeview-desktop-headless.png";
    fs::remove(headless);
    pid_t painter = Spawn({DEMO_PROGRAM, "--headless-shot=" + headless.string()}, "", "/dev/null");
    ASSERT_TRUE(WaitFor([&] { return desktop::Finished(painter) >= 0; }));
    ASSERT_TRUE(fs::exists(headless));
    auto differing = [&] {
        Capture("import -window " + id + " " + shown.string());
        return Capture("compare -metric AE " + shown.string() + " " + headless.string() + " null: 2>&1 | cat");
    };
    std::string difference = differing();
    for (int attempt = 0; attempt < 20 && difference != "0"; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        difference = differing();
    }
    EXPECT_EQ(difference, "0") << "pixels differing between the display and the headless rendering";

    // A click on the third row (the header is 17 pixels, rows 18).
    Do("mousemove " + window + "60 62 click 1");
    EXPECT_TRUE(Logged("click row 2"));
    // A second click on the focused row's text edits it; typing and Enter give the new text.
    Do("mousemove " + window + "60 62 click 1");
    Do("type --delay 50 " + window + "renamed.flv");
    Do("key " + window + "Return");
    EXPECT_TRUE(Logged("new text row 2 column 0: renamed.flv"));
    // A splitter drag: the right edge of "Length" from 200 to 240.
    // (The first move after the press only starts tracking; pauses keep the moves apart.)
    Do("mousemove " + window + "201 8 mousedown 1 sleep 0.2 mousemove " + window + "220 8 sleep 0.2 mousemove " +
       window + "240 8 sleep 0.2 mouseup 1");
    EXPECT_TRUE(Logged("resize 1 140"));
    // "Name" dragged onto the left half of "Size" (240 to 340) lands before it.
    Do("mousemove " + window + "50 8 mousedown 1 sleep 0.2 mousemove " + window + "150 8 sleep 0.2 mousemove " +
       window + "260 8 sleep 0.2 mouseup 1");
    EXPECT_TRUE(Logged("dragged 0 from 0 order 1023"));
    // One wheel notch: three rows of 18 pixels.
    Do("mousemove " + window + "200 120 click 5");
    EXPECT_TRUE(Logged("scroll 0 -54"));
    // A middle click shows the panning window, 32 by 32, until the next click.
    Do("mousemove " + window + "200 120 click 2");
    EXPECT_TRUE(Logged("panning on"));
    EXPECT_TRUE(WaitFor([&] { return Capture("xwininfo -root -tree").find("32x32+") != std::string::npos; }))
        << Capture("xwininfo -root -tree");
    Do("mousemove " + window + "200 160");
    EXPECT_TRUE(Logged("scroll 0 -32")) << "40 pixels below the origin: 32 pixels a step";
    fs::path panning = artifacts / "treeview-desktop-panning.png";
    Capture("import -window root -crop 460x260+0+0 " + panning.string());
    Do("click 1");
    EXPECT_TRUE(Logged("panning off"));
    EXPECT_TRUE(WaitFor([&] { return Capture("xwininfo -root -tree").find("32x32+") == std::string::npos; }));

    fs::path end = artifacts / "treeview-desktop-end.png";
    Capture("import -window " + id + " " + end.string());
    EXPECT_TRUE(fs::exists(end));
    EXPECT_EQ(desktop::Finished(demo), -1) << "the demo is still running";
}

}  // namespace
