// The progress window's preview on the desktop: lumacast on its own virtual X display
// (Xvfb) converts a short clip of one flat colour with "Show Preview" checked; when the
// completion message stands over the progress window, a picture of that window (as a
// screenshot tool takes it, from the window itself) shows the last frame whole, the part
// under the message box included. Screenshots go to artifacts/convertpreview-*.png.
#include <gtest/gtest.h>

#include "app_support.h"
#include "support/desktop.h"
#include "support/process.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using namespace apptest;

std::string Shell(const std::string& command) { return testsupport::Capture(command + " 2>/dev/null"); }

// A window's place on the screen, from xwininfo.
struct Place {
    int left = 0, top = 0, width = 0, height = 0;
};

Place PlaceOf(const std::string& id) {
    const std::string info = Shell("xwininfo -id " + id);
    auto field = [&](const std::string& name) {
        std::size_t at = info.find(name);
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + name.size());
    };
    return {field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:")};
}

std::string Crop(int left, int top, int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(left) + "+" +
           std::to_string(top);
}

// The mean of one channel ("r", "g" or "b") over a region, 0 to 1.
double MeanOf(const std::string& path, const std::string& crop, const std::string& channel) {
    return desktop::RegionFigure(path, crop, "", "mean." + channel);
}

TEST(ConvertPreviewDesktop, APictureOfTheProgressWindowShowsThePreviewUnderAMessageBox) {
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "import", "convert", "ffmpeg"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::TempDir home;
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    desktop::QuietSound(home.str());
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    fs::path artifacts = fs::path(build ? build : ".") / "artifacts";
    fs::create_directories(artifacts);
    // 320 x 240, the default output size: the preview shows it without bars of its own.
    std::string clip = (home.path() / "clip.mp4").string();
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=0xFF8020:s=320x240:r=25:d=3 "
                           "-c:v libx264 -preset ultrafast -pix_fmt yuv420p " + clip).c_str()),
              0);

    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    fs::path program = BuiltProgramFolder() / "lumacast";
    const std::string err = (home.path() / "err.txt").string();
    pid_t pid = desktop::Spawn({program.string()}, "", (home.path() / "out.txt").string(), err);
    ASSERT_GT(pid, 0);
    std::string main = desktop::WaitForWindow("^Velmorasoft Lumacast$");
    ASSERT_FALSE(main.empty()) << desktop::ReadFile(err);

    const std::string empty = (artifacts / "convertpreview-empty.png").string();
    Shell("import -window " + main + " " + empty);
    // addFile (16, 40, 72 x 56): the open dialog takes the clip's path.
    Shell("xdotool mousemove --window " + main + " 52 68 click 1");
    std::string dialog = desktop::WaitForWindow("^Open$");
    ASSERT_FALSE(dialog.empty()) << "the open dialog did not come";
    // No window manager: the keys go to the window under the pointer, the name field.
    Shell("xdotool mousemove --window " + dialog + " 250 262 click 1");
    Shell("xdotool type --delay 5 '" + clip + "'");
    Shell("xdotool key Return");
    ASSERT_TRUE(desktop::WaitLong([&] { return Shell("xdotool search --onlyvisible --name '^Open$'").empty(); }));

    // The row shows in the list (16, 110) while the clip is probed; btnConvert
    // (660, 524, 140 x 56), disabled until the adding ends, converts it.
    const std::string added = (artifacts / "convertpreview-added.png").string();
    ASSERT_TRUE(desktop::WaitShots([&] {
        Shell("import -window " + main + " " + added);
        return desktop::DifferentPixels(empty, added, "400x40+20+112") > 1000;
    })) << "the clip was not added";
    std::string progress;
    auto progressShown = [&] {
        progress = Shell("xdotool search --onlyvisible --name '^Converting$'");
        progress = progress.substr(0, progress.find('\n'));
        return !progress.empty();
    };
    for (int attempt = 0; attempt < 20 && !progressShown(); ++attempt) {
        Shell("xdotool mousemove --window " + main + " 730 552 click 1");
        for (int poll = 0; poll < 15 && !progressShown(); ++poll)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_FALSE(progress.empty()) << "the progress window did not come";
    std::string message;
    ASSERT_TRUE(desktop::WaitLong(
        [&] {
            message = Shell("xdotool search --onlyvisible --class '^TMessageForm$'");
            message = message.substr(0, message.find('\n'));
            return !message.empty();
        },
        6))
        << "no completion message\n" << desktop::ReadFile(err);

    // The preview panel (20, 50, 480 x 270) shows the 4:3 picture centred at its height.
    const Place window = PlaceOf(progress), box = PlaceOf(message);
    const int pictureLeft = 20 + (480 - 360) / 2, pictureTop = 50, pictureWidth = 360, pictureHeight = 270;
    // The part of the picture the message box covers, in the progress window.
    const int left = std::max(pictureLeft, box.left - window.left);
    const int top = std::max(pictureTop, box.top - window.top);
    const int right = std::min(pictureLeft + pictureWidth, box.left + box.width - window.left);
    const int bottom = std::min(pictureTop + pictureHeight, box.top + box.height - window.top);
    ASSERT_TRUE(left < right && top < bottom) << "the message box does not stand over the preview";
    ASSERT_GT(top, pictureTop) << "no part of the picture is left uncovered to compare with";
    const std::string covered = Crop(left, top, right - left, bottom - top);
    const std::string uncovered = Crop(pictureLeft, pictureTop, pictureWidth, top - pictureTop);

    const std::string shot = (artifacts / "convertpreview-end.png").string();
    Shell("import -window " + progress + " " + shot);
    Shell("import -window root " + (artifacts / "convertpreview-screen.png").string());
    for (const char* channel : {"r", "g", "b"}) {
        const double under = MeanOf(shot, covered, channel), beside = MeanOf(shot, uncovered, channel);
        ASSERT_GE(beside, 0) << "the picture could not be read";
        EXPECT_NEAR(under, beside, 0.03) << "channel " << channel << " under the message box (" << covered
                                         << ") differs from the rest of the frame; see " << shot;
    }
    // The uncovered part is the clip's colour, so the two agreeing shows the frame.
    EXPECT_GT(MeanOf(shot, uncovered, "r"), 0.8);

    // OK (Return in the box under the pointer) closes the message and the progress window.
    Shell("xdotool mousemove --window " + message + " 20 20 key Return");
    EXPECT_TRUE(desktop::WaitLong([&] { return Shell("xdotool search --onlyvisible --name '^Converting$'").empty(); }));
    // close (790, 8) ends the program with 0.
    Shell("xdotool mousemove --window " + main + " 801 19 click 1");
    int status = -1;
    ASSERT_TRUE(desktop::WaitLong([&] { return (status = desktop::Finished(pid)) != -1; })) << "it did not end";
    EXPECT_EQ(status, 0) << desktop::ReadFile(err);
}

}  // namespace
