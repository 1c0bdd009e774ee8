// lumacast started on its own virtual X display shows its main window without loading the
// media libraries: the converter and the preview player, and the codec and sound libraries
// behind them, are loaded when first used, as is libzip with the compression and
// cryptography libraries it brings; printing and data access are not loaded at all. Playing
// a clip in the main window then loads the player (a test of its own: mainplay_desktop_test).
// Nor are the dialogs the main window does not show made: their windows come at first use
// (dialogs_desktop_test opens each).
#include <gtest/gtest.h>
#include <poll.h>

#include "app_support.h"
#include "support/desktop.h"
#include "support/process.h"

namespace {

using namespace apptest;

constexpr int kReportFd = 3;

TEST(StartupLibraries, TheMainWindowShowsWithoutTheMediaLibraries) {
    if (!desktop::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    testsupport::TempDir home;
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());

    // The program writes a line to the descriptor once its first window's picture has
    // reached the display server.
    // Both ends close on exec; the child gets the writing end as kReportFd only (moved out of
    // the way first, should the pipe have been given that number).
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    int writer = fcntl(fds[1], F_DUPFD_CLOEXEC, kReportFd + 1);
    ASSERT_GT(writer, kReportFd);
    close(fds[1]);
    fds[1] = writer;
    setenv("LUMACAST_PRESENTED_FD", std::to_string(kReportFd).c_str(), 1);
    std::string program = (BuiltProgramFolder() / "lumacast").string();
    std::vector<char*> argv{program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kReportFd);
    std::string err = (home.path() / "err.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    unsetenv("LUMACAST_PRESENTED_FD");
    close(fds[1]);
    std::string line;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (line.find('\n') == std::string::npos && poll(&p, 1, 60000) == 1 && read(fds[0], &c, 1) == 1) line += c;
    close(fds[0]);
    std::string maps = desktop::ReadFile("/proc/" + std::to_string(pid) + "/maps");
    // Every window the program has made, shown or not, with its name.
    std::string windows = testsupport::Capture("xwininfo -root -tree 2>&1");
    desktop::Stop(pid);
    ASSERT_EQ(line, "presented\n") << desktop::ReadFile(err);

    // (The DVD reader is loaded at start all the same: the drive menu lists the drives.)
    for (const char* library : {"libmorvconverter.so", "libmorvplayer.so", "libavcodec.so", "libavformat.so",
                                "libavfilter.so", "libswscale.so", "libSDL2", "libcairo.so", "libsqlite3.so",
                                "libzip.so", "libcrypto.so", "libbz2.so"})
        EXPECT_EQ(maps.find(library), std::string::npos) << library << " was loaded at start";
    // The libraries the main window does use are there: the check reads the right map.
    for (const char* library : {"libmorvanalyzeimg.so", "libX11.so"})
        EXPECT_NE(maps.find(library), std::string::npos) << library;

    // The dialogs the first window does not show have no window yet; the main window and the
    // about box (made at start) have theirs: the check reads the right list.
    auto named = [&](const std::string& name) { return windows.find("\"" + name + "\":") != std::string::npos; };
    for (const char* dialog : {"Edit", "Clip", "Customize", "Converting", "Properties", "Option", "DVD Loader"})
        EXPECT_FALSE(named(dialog)) << dialog << " was made at start";
    for (const char* made : {"Velmorasoft Lumacast", "About"}) EXPECT_TRUE(named(made)) << made << "\n" << windows;
}

}  // namespace
