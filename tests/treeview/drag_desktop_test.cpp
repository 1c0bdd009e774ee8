// Rows dragged from a tree in one program to a tree in another on a real X display (its
// own Xvfb, XDND between the two): xdotool presses on a row, moves past the drag threshold,
// over the other tree and lets go. The target's OnDragOver sees the row under the pointer,
// OnDragDrop gets the tree's own data with the nodes and their user data, a move leaves the
// source without the rows (unless it keeps moved rows), a copy keeps them, and a refusing
// target leaves both trees as they were. Screenshots (over the target and after) stay under
// the build's artifacts/ folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "support/desktop.h"

namespace {

namespace fs = std::filesystem;
using namespace desktop;

// A peer program's log: its lines and the screen points of its rows.
struct Peer {
    pid_t pid = -1;
    std::string log;
    std::string Text() const { return ReadFile(log); }
    bool Has(const std::string& line) const { return Text().find(line + "\n") != std::string::npos; }
    // The last "rows: ..." line, without its prefix.
    std::string Rows() const {
        std::string text = Text(), last;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("rows: ", 0) == 0) last = line.substr(6);
        return last;
    }
    // "X Y" of a row's text on the screen.
    std::string At(const std::string& row) const {
        std::string text = Text();
        std::size_t at = text.find("text " + row + " ");
        if (at == std::string::npos) return "";
        at += 6 + row.size();
        return text.substr(at, text.find('\n', at) - at);
    }
};

class TreeDragDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "import", "convert"})
            if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(xvfb.Start());
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        artifacts = fs::path(build ? build : ".") / "artifacts";
        fs::create_directories(artifacts);
    }
    void TearDown() override {
        Stop(source.pid);
        Stop(target.pid);
    }
    Peer Start(const std::string& name, int x, const std::vector<std::string>& options) {
        Peer peer;
        peer.log = (artifacts / ("treeview-drag-" + name + ".log")).string();
        std::vector<std::string> args = {PEER_PROGRAM, name, std::to_string(x), "0"};
        args.insert(args.end(), options.begin(), options.end());
        peer.pid = Spawn(args, "", peer.log, peer.log + ".err");
        return peer;
    }

    Xvfb xvfb;
    fs::path artifacts;
    Peer source, target;
};

TEST_F(TreeDragDesktop, RowsDraggedToAnotherProgramsTree) {
    const std::string before = "a0 a1 {a1.0} a2 a3 a4", targetBefore = "b0 b1 {b1.0} b2 b3 b4",
                      received = "b0 b1 {b1.0} b2 a1 {a1.0} b3 b4";
    struct Case {
        const char* what;
        bool shift;             // Shift held: a move
        const char* drops;      // what the target does with drops
        bool keep;              // the source keeps moved rows
        std::string sourceAfter, targetAfter;
    } cases[] = {
        {"copy", false, "accept", false, before, received},
        {"move", true, "accept", false, "a0 a2 a3 a4", received},
        {"move, the source keeps moved rows", true, "accept", true, before, received},
        {"refused", true, "refuse", false, before, targetBefore},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string shot = std::to_string(++round);
        Stop(source.pid);
        Stop(target.pid);
        target = Start("b", 300, {c.drops});
        std::vector<std::string> sourceOptions;
        if (c.keep) sourceOptions.push_back("keep");
        source = Start("a", 0, sourceOptions);
        ASSERT_TRUE(WaitLong([&] { return source.Has("ready") && target.Has("ready"); }))
            << source.Text() << target.Text();
        ASSERT_EQ(source.Rows(), before);
        ASSERT_EQ(target.Rows(), targetBefore);
        const std::string from = source.At("a1"), onto = target.At("b2");
        ASSERT_FALSE(from.empty() || onto.empty());
        int fx = 0, fy = 0, tx = 0, ty = 0;
        std::sscanf(from.c_str(), "%d %d", &fx, &fy);
        std::sscanf(onto.c_str(), "%d %d", &tx, &ty);
        auto point = [](int x, int y) { return " " + std::to_string(x) + " " + std::to_string(y); };

        // Press, move past the threshold (the drag starts), Shift for a move, over the target.
        Capture("xdotool mousemove" + point(fx, fy) + " sleep 0.3 mousedown 1 sleep 0.3 mousemove" + point(fx + 12, fy) +
                " sleep 0.3" + (c.shift ? " keydown shift sleep 0.2" : "") + " mousemove" + point(tx - 40, ty) +
                " sleep 0.3 mousemove" + point(tx, ty) + " sleep 0.3 mousemove" + point(tx + 1, ty));
        // A loaded machine may deliver the last moves as one: the pointer is nudged until the
        // target has seen the drag move over the row (not only enter it).
        int nudge = 0;
        EXPECT_TRUE(WaitLong([&] {
            if (target.Has("over b2 on")) return true;
            Capture("xdotool mousemove" + point(tx + (++nudge % 2), ty));
            return false;
        })) << target.Text();
        // Regions: the target row right of the image, and the empty space right of "b3".
        const std::string rowEnd = "60x10+" + std::to_string(tx + 142) + "+" + std::to_string(ty - 5),
                          belowImage = "30x12+" + std::to_string(tx + 22) + "+" + std::to_string(ty + 12);
        const std::string over = (artifacts / ("treeview-drag-" + shot + "-over.png")).string(),
                          after = (artifacts / ("treeview-drag-" + shot + "-after.png")).string();
        // The row under the pointer is highlighted (right of the image, which hides the rest),
        // and the image of the dragged rows follows the pointer over the other program: the
        // faded "a1.0" lies on the target's empty space right of "b3".
        EXPECT_TRUE(WaitShots([&] {
            Capture("import -window root -crop 560x220+0+0 " + over);
            return MeanSaturation(over, rowEnd) > 0.5 && Deviation(over, belowImage) > 0.02;
        })) << over;
        Capture(std::string("xdotool mouseup 1") + (c.shift ? " keyup shift" : ""));

        EXPECT_TRUE(WaitLong([&] { return source.Has("dragged"); })) << source.Text();
        if (std::string(c.drops) == "accept") {
            EXPECT_TRUE(WaitLong([&] { return target.Rows() == c.targetAfter; })) << target.Text();
            // The source lives in another program: the data came through the tree's own format.
            EXPECT_TRUE(target.Has("dropped " + std::string(c.shift ? "move" : "copy") + " none application/x-vast-tree-data"))
                << target.Text();
        }
        EXPECT_TRUE(WaitLong([&] { return source.Rows() == c.sourceAfter; })) << source.Text();
        EXPECT_EQ(target.Rows(), c.targetAfter) << target.Text();
        // Afterwards neither the image nor the highlight is left.
        EXPECT_TRUE(WaitShots([&] {
            Capture("import -window root -crop 560x220+0+0 " + after);
            return MeanSaturation(after, rowEnd) < 0.1 && Deviation(after, belowImage) < 0.02;
        })) << after;
    }
}

}  // namespace
