// The preview on the desktop: lumacast on its own virtual X display (Xvfb) with a clip
// added through the add-file dialog; Play shows it in the preview panel and moves the
// track bar, Snapshot writes 00000.jpg into the snapshot folder. Screenshots go to
// artifacts/mainplay-*.png.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app_support.h"
#include "support/desktop.h"
#include "support/process.h"

#include <chrono>
#include <thread>

namespace {

using namespace apptest;

std::string Shell(const std::string& command) { return testsupport::Capture(command + " 2>/dev/null"); }

TEST(MainPlayDesktop, PlaysAClipMovesTheBarAndTakesASnapshot) {
    for (const char* tool : {"Xvfb", "xdotool", "import", "compare", "identify", "ffmpeg"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir home;
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    desktop::QuietSound(home.str());
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    fs::path artifacts = fs::path(build ? build : ".") / "artifacts";
    fs::create_directories(artifacts);
    std::string clip = (home.path() / "clip.mp4").string();
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=320x240:r=25:d=60 -f lavfi -i "
                           "sine=frequency=600:duration=60 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "
                           "-shortest " + clip).c_str()),
              0);

    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    fs::path program = BuiltProgramFolder() / "lumacast";
    pid_t pid = desktop::Spawn({program.string()}, "", (home.path() / "out.txt").string(),
                               (home.path() / "err.txt").string());
    ASSERT_GT(pid, 0);
    std::string id = desktop::WaitForWindow("^Velmorasoft Lumacast$");
    ASSERT_FALSE(id.empty()) << desktop::ReadFile((home.path() / "err.txt").string());
    auto click = [&](int x, int y) { Shell("xdotool mousemove --window " + id + " " + std::to_string(x) + " " +
                                           std::to_string(y) + " click 1"); };
    auto shot = [&](const std::string& name) {
        std::string path = (artifacts / name).string();
        Shell("import -window " + id + " " + path);
        return path;
    };

    // addFile (16, 40, 72 x 56): the open dialog takes the clip's path.
    std::string empty = shot("mainplay-empty.png");
    click(52, 68);
    std::string dialog = desktop::WaitForWindow("^Open$");
    ASSERT_FALSE(dialog.empty()) << "the open dialog did not come";
    // No window manager: the keys go to the window under the pointer, the name field.
    Shell("xdotool mousemove --window " + dialog + " 250 262 click 1");
    Shell("xdotool type --delay 5 '" + clip + "'");
    Shell("import -window " + dialog + " " + (artifacts / "mainplay-open-dialog.png").string());
    Shell("xdotool key Return");
    ASSERT_TRUE(desktop::WaitLong([&] { return Shell("xdotool search --onlyvisible --name '^Open$'").empty(); }));

    // The row shows in the list (16, 110) once the clip was probed; select it, then Play (440, 390).
    std::string before;
    ASSERT_TRUE(desktop::WaitShots([&] {
        before = shot("mainplay-added.png");
        return desktop::DifferentPixels(empty, before, "400x40+20+112") > 1000;
    })) << "the clip was not added";
    // The row shows while the probe still runs; Play stays disabled until the adding ends,
    // which Convert (660, 524, 140 x 56), disabled on the empty list, shows by its enabled face.
    ASSERT_TRUE(desktop::WaitShots([&] {
        return desktop::DifferentPixels(empty, shot("mainplay-added-done.png"), "140x56+660+524") > 500;
    })) << "the adding did not end";
    click(100, 140);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    click(458, 408);
    // The picture shows in the panel (440, 110, 360 x 270) and the bar (440, 432) moves.
    std::string first;
    ASSERT_TRUE(desktop::WaitShots([&] {
        first = shot("mainplay-playing-1.png");
        return desktop::DifferentPixels(before, first, "360x270+440+110") > 10000;
    })) << "nothing showed in the preview panel";
    std::string later;
    EXPECT_TRUE(desktop::WaitShots([&] {
        later = shot("mainplay-playing-2.png");
        return desktop::DifferentPixels(first, later, "360x20+440+432") > 20;
    })) << "the track bar did not move";

    // Snapshot (524, 390) into the default snapshot folder under the home folder.
    click(542, 408);
    fs::path snapshot = home.path() / "VelmoraSoft Product Snapshot" / "00000.jpg";
    ASSERT_TRUE(desktop::WaitLong([&] { return fs::exists(snapshot) && fs::file_size(snapshot) > 0; }))
        << desktop::ReadFile((home.path() / "err.txt").string());
    EXPECT_EQ(Shell("identify -format '%m %w %h' '" + snapshot.string() + "'"), "JPEG 320 240");
    Shell("import -window root " + (artifacts / "mainplay-desktop.png").string());

    // close (790, 8) ends the program with 0.
    click(801, 19);
    int status = -1;
    ASSERT_TRUE(desktop::WaitLong([&] { return (status = desktop::Finished(pid)) != -1; })) << "it did not end";
    EXPECT_EQ(status, 0) << desktop::ReadFile((home.path() / "err.txt").string());
}

}  // namespace
