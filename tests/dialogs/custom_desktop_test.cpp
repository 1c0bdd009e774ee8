// The customisation dialog in the running program on its own virtual X display (Xvfb): a
// clip added through the file dialog, Customize, Next, Next; the preview's view lies inside
// the dialog and plays by itself (two shots a second apart differ); a click on an option box
// rewrites the preview file (in the program's own preview folder) and the view shows it.
// Screenshots go to artifacts/.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/app_support.h"
#include "harness/ruffle.h"
#include "support/desktop.h"
#include "support/process.h"

namespace {

using namespace apptest;

std::string Shell(const std::string& command) { return testsupport::Capture(command + " 2>/dev/null"); }

int Field(const std::string& info, const std::string& name) {
    std::size_t at = info.find(name);
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + name.size());
}

std::string Window(const std::string& title) {
    std::string id = Shell("xdotool search --onlyvisible --name '^" + title + "$'");
    return id.substr(0, id.find('\n'));
}

// A view still loading shows one colour; the player shows a picture.
bool Uniform(const harness::Image& a) {
    if (a.width == 0) return true;
    harness::Rgb first = a.At(0, 0);
    for (int y = 0; y < a.height; y += 4)
        for (int x = 0; x < a.width; x += 4)
            if (!harness::Near(a.At(x, y), first, 0)) return false;
    return true;
}

bool Differ(const harness::Image& a, const harness::Image& b) {
    if (a.width != b.width || a.height != b.height) return true;
    int differing = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            harness::Rgb p = a.At(x, y), q = b.At(x, y);
            if (p.r != q.r || p.g != q.g || p.b != q.b) ++differing;
        }
    return differing > 0;
}

TEST(CustomDesktop, ThePreviewPlaysInsideTheDialogAndFollowsAnOptionBox) {
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "import", "ffmpeg"})
        if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
    fs::path program = BuiltProgramFolder();
    ASSERT_TRUE(fs::exists(program / "lumacast-webview")) << "the helper is not built";
    testsupport::TempDir home;
    setenv("HOME", home.str().c_str(), 1);
    setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    fs::path artifacts = fs::path(build ? build : ".") / "artifacts";
    fs::create_directories(artifacts);
    std::string clip = (home.path() / "clip.mp4").string();
    int status = 0;
    testsupport::Capture("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v mpeg4 " +
                             testsupport::ShellQuote(clip),
                         &status);
    ASSERT_EQ(status, 0);

    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    pid_t pid = desktop::Spawn({(program / "lumacast").string()}, "", (home.path() / "out.txt").string(),
                               (home.path() / "err.txt").string());
    ASSERT_GT(pid, 0);
    std::string main;
    ASSERT_TRUE(desktop::WaitLong([&] { return !(main = Window("Velmorasoft Lumacast")).empty(); }))
        << desktop::ReadFile((home.path() / "err.txt").string());

    // addFile (16, 40, 72 x 56): the file dialog takes the clip's path.
    Shell("xdotool mousemove --window " + main + " 52 68 click 1");
    std::string open;
    ASSERT_TRUE(desktop::WaitLong([&] { return !(open = Shell("xdotool search --onlyvisible --name 'Open'")).empty(); }));
    Shell("xdotool type --delay 5 " + testsupport::ShellQuote(clip));
    Shell("xdotool key Return");
    // The row appears in the list; a click selects it and enables Customize.
    // The preview goes to the program's own folder below temp/, named with its process id.
    auto previewOf = [&]() -> fs::path {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(program / "temp", ec))
            if (entry.path().filename().string().rfind("preview-" + std::to_string(pid) + "-", 0) == 0)
                return entry.path() / "velmora.swf";
        return {};
    };
    fs::path preview;
    std::string dialog;
    ASSERT_TRUE(desktop::WaitLong([&] {
        Shell("xdotool mousemove --window " + main + " 120 132 click 1");
        Shell("xdotool mousemove --window " + main + " 286 68 click 1");  // customize (250, 40)
        return !(dialog = Window("Customize")).empty();
    })) << "the customisation dialog did not open";

    // Next, Next (550, 505, 100 x 36).
    Shell("xdotool mousemove --window " + dialog + " 600 523 click 1");
    Shell("sleep 0.3");
    Shell("xdotool mousemove --window " + dialog + " 600 523 click 1");
    ASSERT_TRUE(desktop::WaitLong([&] { return fs::exists(preview = previewOf()); })) << "no preview was built";

    // The view's native area is a child of the dialog: the default output (400 x 300) fitted
    // into the preview panel (420, 90, 360 x 300), 360 x 270 centred at (0, 15).
    std::string info = Shell("xwininfo -id " + dialog);
    int left = Field(info, "Absolute upper-left X: "), top = Field(info, "Absolute upper-left Y: ");
    std::string tree = Shell("xwininfo -tree -id " + dialog);
    EXPECT_NE(tree.find("360x270+420+105"), std::string::npos) << tree;

    // It plays by itself: two shots of the video area a second apart differ.
    std::string crop = "360x270+" + std::to_string(left + 420) + "+" + std::to_string(top + 105);
    auto shot = [&](const std::string& name) {
        std::string path = (artifacts / name).string();
        Shell("import -window root -crop " + crop + " +repage " + path);
        return harness::ReadPng(path);
    };
    // The player shows; "Auto play" (Player tab, 20 + 20, 90 + 318) rewrites the preview
    // file, the view loads it again and the video plays by itself: once the player shows a
    // picture, two shots taken a moment apart differ.
    harness::Image first, second;
    ASSERT_TRUE(desktop::WaitLong([&] { return !Uniform(first = shot("custom-desktop-1.png")); }, 12))
        << "the player did not show";
    struct stat before {};
    stat(preview.c_str(), &before);
    Shell("sleep 1.1");  // a new modification time is visible at second resolution too
    Shell("xdotool mousemove --window " + dialog + " 47 418 click 1");
    EXPECT_TRUE(desktop::WaitLong([&] {
        struct stat after {};
        return stat(preview.c_str(), &after) == 0 &&
               (after.st_mtim.tv_sec != before.st_mtim.tv_sec || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec);
    })) << "the check box did not rebuild the preview";
    bool playing = false;
    for (int round = 0; round < 240 && !playing; ++round) {
        first = shot("custom-desktop-2.png");
        if (Uniform(first)) {
            Shell("sleep 0.25");
            continue;
        }
        Shell("sleep 1");
        second = shot("custom-desktop-3.png");
        playing = !Uniform(second) && Differ(first, second);
    }
    EXPECT_TRUE(playing) << "the preview did not play";
    Shell("import -window root " + (artifacts / "custom-desktop.png").string());

    desktop::Stop(pid);
}

}  // namespace
