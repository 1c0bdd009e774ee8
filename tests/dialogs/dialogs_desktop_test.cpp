// The dialogs in the running program on its own virtual X display (Xvfb): a clip added
// through the file dialog opens in the edit dialog, whose preview plays (two shots a second
// apart differ) and turns grey once "Gray" is picked; the clip, options, properties and
// about dialogs each open with their rounded shape and close; the customisation dialog
// takes OK on an untouched row without a message. Screenshots go to
// artifacts/dialogs-*.png.
#include <gtest/gtest.h>

#include "app/app_support.h"
#include "support/desktop.h"
#include "support/process.h"

#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace apptest;

std::string Shell(const std::string& command) { return testsupport::Capture(command + " 2>/dev/null"); }

std::string Window(const std::string& title) {
    std::string id = Shell("xdotool search --onlyvisible --name '^" + title + "$'");
    return id.substr(0, id.find('\n'));
}

// Whether a window has a bounding shape of its own (the skinned dialogs' rounded corners);
// xwininfo's report when it has not.
std::string ShapeMissing(const std::string& id) {
    std::string shape = Shell("xwininfo -shape -id " + id);
    return shape.find("Window shape extents") != std::string::npos &&
                   shape.find("No window shape defined") == std::string::npos
               ? ""
               : shape;
}

class DialogsDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "import", "compare", "convert", "ffmpeg"})
            if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        setenv("HOME", home.str().c_str(), 1);
        setenv("LUMACAST_REGISTRY_DIR", (home.path() / "store").c_str(), 1);
        desktop::QuietSound(home.str());
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        artifacts = fs::path(build ? build : ".") / "artifacts";
        fs::create_directories(artifacts);
    }

    std::string Errors() { return desktop::ReadFile((home.path() / "err.txt").string()); }

    void Click(const std::string& window, int x, int y, int button = 1) {
        Shell("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
              " click " + std::to_string(button));
    }

    std::string Shot(const std::string& window, const std::string& name) {
        std::string path = (artifacts / name).string();
        Shell("import -window " + window + " " + path);
        return path;
    }

    // Acts until the check holds, up to four times about ten seconds apart: on a loaded
    // machine a click or a key may reach a window before it is ready for it.
    bool Until(const std::function<void()>& act, const std::function<bool()>& check) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            act();
            if (desktop::WaitFor(check)) return true;
        }
        return false;
    }

    // Opens a dialog with `open`, waits for it, checks its shape, keeps a screenshot, closes it
    // with a click at (x, y), answers "No" when it asks whether to save, and waits until it
    // went. Gives the screenshot's path.
    // `ready` tells from a screenshot that the dialog shows what the test wants to see.
    std::string OpensShapedAndCloses(const std::function<void()>& open, const std::string& title, int x, int y,
                                     const std::function<bool(const std::string&)>& ready = nullptr) {
        SCOPED_TRACE(title);
        std::string id;
        EXPECT_TRUE(Until(open, [&] { return !(id = Window(title)).empty(); })) << "it did not open\n" << Errors();
        if (id.empty()) return "";
        EXPECT_EQ(ShapeMissing(id), "") << "it is not shaped";
        std::string shot;
        EXPECT_TRUE(desktop::WaitShots([&] {
            shot = Shot(id, "dialogs-" + title + ".png");
            return desktop::Deviation(shot, "100x100+0+0") > 0.02 && (!ready || ready(shot));
        })) << "it did not draw itself";
        EXPECT_TRUE(Until([&] { Click(id, x, y); }, [&] {
            // No window manager: the key goes to the window under the pointer; Escape is the
            // message box's last answer, "No".
            if (std::string ask = Window("Information"); !ask.empty())
                Shell("xdotool mousemove --window " + ask + " 20 20 key Escape");
            return Window(title).empty();
        })) << "it did not close";
        return shot;
    }

    testsupport::TempDir home;
    fs::path artifacts;
};

TEST_F(DialogsDesktop, EditPreviewPlaysAndTurnsGreyAndEveryOtherDialogOpensShapedAndCloses) {
    std::string clip = (home.path() / "clip.mp4").string();
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=320x240:r=25:d=60 -f lavfi -i "
                           "sine=frequency=600:duration=60 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "
                           "-shortest " + clip).c_str()),
              0);

    desktop::Xvfb display;
    ASSERT_TRUE(display.Start());
    pid_t pid = desktop::Spawn({(BuiltProgramFolder() / "lumacast").string()}, "",
                               (home.path() / "out.txt").string(), (home.path() / "err.txt").string());
    ASSERT_GT(pid, 0);
    std::string main = desktop::WaitForWindow("^Velmorasoft Lumacast$");
    ASSERT_FALSE(main.empty()) << Errors();

    // addFile (16, 40, 72 x 56) once the window has drawn its buttons: the open dialog
    // takes the clip's path.
    std::string empty;
    ASSERT_TRUE(desktop::WaitShots([&] {
        empty = Shot(main, "dialogs-main-empty.png");
        return desktop::Deviation(empty, "72x56+16+40") > 0.02;
    })) << "the main window did not draw its buttons\n" << Errors();
    Click(main, 52, 68);
    std::string open = desktop::WaitForWindow("^Open$");
    ASSERT_FALSE(open.empty()) << "the open dialog did not come";
    // No window manager: the keys go to the window under the pointer, the name field.
    Click(open, 250, 262);
    Shell("xdotool type --delay 5 '" + clip + "'");
    Shell("xdotool key Return");
    ASSERT_TRUE(desktop::WaitLong([&] { return Window("Open").empty(); }));
    ASSERT_TRUE(desktop::WaitShots([&] {
        return desktop::DifferentPixels(empty, Shot(main, "dialogs-main-added.png"), "400x40+20+112") > 1000;
    })) << "the clip was not added";
    Click(main, 100, 140);

    // edit (406, 40): the dialog opens on the selected row, shaped.
    std::string edit;
    ASSERT_TRUE(Until([&] { Click(main, 442, 68); }, [&] { return !(edit = Window("Edit")).empty(); })) << Errors();
    EXPECT_EQ(ShapeMissing(edit), "") << "the edit dialog is not shaped";

    // The preview starts playing as the dialog shows, in EditPlayPanel (370, 72, 370 x 280).
    const std::string panel = "370x280+370+72";
    std::string first, later;
    ASSERT_TRUE(desktop::WaitShots([&] {
        first = Shot(edit, "dialogs-edit-playing-1.png");
        return desktop::MeanSaturation(first, panel) > 0.2;
    })) << "no coloured picture showed in the preview panel\n" << Errors();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    later = Shot(edit, "dialogs-edit-playing-2.png");
    EXPECT_GT(desktop::DifferentPixels(first, later, panel), 1000) << "the preview stood still";

    // tabEffect (112, 40), then the effect list (tab panel at (20, 72), list at (100, 146)):
    // the key picks the entry after "No effect", "Gray".
    Click(edit, 157, 55);
    Click(edit, 195, 229);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Shell("import -window root " + (artifacts / "dialogs-edit-list.png").string());
    Shell("xdotool key Down Return");
    std::string grey;
    EXPECT_TRUE(desktop::WaitShots([&] {
        grey = Shot(edit, "dialogs-edit-gray.png");
        return desktop::MeanSaturation(grey, panel) < 0.02;
    })) << "the preview is not grey after picking \"Gray\": saturation "
        << desktop::MeanSaturation(grey, panel);
    // ...while it still plays.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_GT(desktop::DifferentPixels(grey, Shot(edit, "dialogs-edit-gray-2.png"), panel), 1000);

    // btnCancel (636, 490) closes it and gives the preview back to the main window.
    ASSERT_TRUE(Until([&] { Click(edit, 686, 508); }, [&] { return Window("Edit").empty(); }))
        << "the edit dialog did not close";

    // clip (484, 40), closed by btnCancel (665, 650).
    // Its preview shows the clip as it is: what was tried in the edit dialog stayed there.
    const std::string clipPanel = "480x300+20+50";
    std::string clipShot = OpensShapedAndCloses([&] { Click(main, 520, 68); }, "Clip", 720, 668, [&](const std::string& shot) {
        return desktop::Deviation(shot, clipPanel) > 0.1;
    });
    EXPECT_GT(desktop::MeanSaturation(clipShot, clipPanel), 0.2) << "the clip dialog's preview is grey";
    // customize (250, 40) on the untouched row: OK (660, 505) takes the row as it stands,
    // without a message, and the dialog closes.
    std::string custom;
    ASSERT_TRUE(Until([&] { Click(main, 286, 68); }, [&] { return !(custom = Window("Customize")).empty(); }))
        << Errors();
    EXPECT_TRUE(desktop::WaitShots([&] {
        return desktop::Deviation(Shot(custom, "dialogs-Customize.png"), "100x100+0+0") > 0.02;
    })) << "the customisation dialog did not draw itself";
    bool asked = false;
    EXPECT_TRUE(Until([&] { Click(custom, 710, 523); }, [&] {
        if (std::string ask = Window("Information"); !ask.empty()) {
            asked = true;
            Shot(ask, "dialogs-Customize-message.png");
            Shell("xdotool mousemove --window " + ask + " 20 20 key Return");
            Click(custom, 781, 19);  // close
        }
        return Window("Customize").empty();
    })) << "the customisation dialog did not close";
    EXPECT_FALSE(asked) << "OK on an untouched row showed a message";
    // option (328, 40), closed by btnCancel (390, 370).
    OpensShapedAndCloses([&] { Click(main, 364, 68); }, "Option", 445, 388);
    // The row's menu (a right click), its last entry but the two stream menus: Properties.
    auto fromMenu = [&](int x, int y, int button, const std::string& keys) {
        return [=, this] {
            Click(main, x, y, button);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            Shell("xdotool key " + keys);
        };
    };
    OpensShapedAndCloses(fromMenu(100, 140, 3, "Up Up Up Return"), "Properties", 375, 348);
    // btnMenu opens the help menu; its last entry is About, closed by btnOK (290, 250).
    OpensShapedAndCloses(fromMenu(723, 19, 1, "Up Return"), "About", 345, 268);

    // close (790, 8) ends the program with 0.
    Click(main, 801, 19);
    int status = -1;
    ASSERT_TRUE(desktop::WaitLong([&] { return (status = desktop::Finished(pid)) != -1; })) << "it did not end";
    EXPECT_EQ(status, 0) << Errors();
}

}  // namespace
