// The skinned data-aware form on a virtual X display, driven by xdotool over a database
// file: Next and Edit on the navigator, typing into the bound edit, Post; then the sqlite3
// shell, a separate process, reads the new value from the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/data/sqlite_shell.h"
#include "support/desktop.h"
#include "support/process.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

std::string Sh(const std::string& command) { return testsupport::Capture(command + " 2>/dev/null"); }

TEST(SkinDBDesktop, NavigatorEditAndPostReachTheFile) {
    for (const char* tool : {"Xvfb", "xdotool", "sqlite3", "import"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir dir;
    std::string file = (dir.path() / "t.db").string();
    datatest::Shell(file, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, done TEXT, colour TEXT);"
                          "INSERT INTO t(name, done, colour) VALUES ('one', 'Y', 'Red'), ('two', 'N', 'Green'),"
                          " ('three', NULL, NULL);");
    desktop::Xvfb x;
    ASSERT_TRUE(x.Start()) << "Xvfb did not start";
    std::string log = (dir.path() / "form.log").string();
    pid_t form = desktop::Spawn({SKIN_DBFORM_PROGRAM, file}, "", log, (dir.path() / "form.err").string());
    ASSERT_GT(form, 0);
    ASSERT_TRUE(desktop::WaitFor([&] { return desktop::ReadFile(log).find("ready\n") != std::string::npos; }))
        << desktop::ReadFile((dir.path() / "form.err").string());
    std::string id;
    ASSERT_TRUE(desktop::WaitFor([&] {
        id = Sh("xdotool search --name '^skin dbform$' | head -1");
        while (!id.empty() && id.back() == '\n') id.pop_back();
        return !id.empty();
    }));
    auto button = [&](int index) {  // the navigator at (10, 250), ten 25-pixel buttons
        return std::to_string(10 + 25 * index + 12) + " 265";
    };
    auto clicked = [&](int index) {
        std::string line = "nav " + std::to_string(index) + "\n";
        return desktop::WaitFor([&] { return desktop::ReadFile(log).find(line) != std::string::npos; });
    };
    Sh("xdotool mousemove --window " + id + " " + button(2) + " click 1");
    EXPECT_TRUE(clicked(2)) << "Next";
    Sh("xdotool mousemove --window " + id + " " + button(6) + " click 1");
    EXPECT_TRUE(clicked(6)) << "Edit";
    Sh("xdotool mousemove --window " + id + " 100 152 click 1");
    Sh("xdotool key --window " + id + " End");
    Sh("xdotool type --window " + id + " --delay 20 ' plus'");
    fs::path artifacts = fs::path(std::getenv("LUMACAST_BUILD_DIR") ? std::getenv("LUMACAST_BUILD_DIR") : ".") / "artifacts";
    fs::create_directories(artifacts);
    Sh("import -window " + id + " " + (artifacts / "dbform_typed.png").string());
    Sh("xdotool mousemove --window " + id + " " + button(7) + " click 1");
    EXPECT_TRUE(clicked(7)) << "Post";
    EXPECT_TRUE(desktop::WaitFor([&] { return datatest::Shell(file, "SELECT name FROM t WHERE id = 2") == "two plus\n"; }))
        << datatest::Shell(file, "SELECT name FROM t WHERE id = 2");
    Sh("import -window " + id + " " + (artifacts / "dbform_posted.png").string());
    Sh("xdotool key --window " + id + " Escape");
    bool ended = desktop::WaitFor([&] { return desktop::Finished(form) >= 0; });
    EXPECT_TRUE(ended) << "the form did not close";
    if (ended) form = -1;
    desktop::Stop(form);
}

}  // namespace
