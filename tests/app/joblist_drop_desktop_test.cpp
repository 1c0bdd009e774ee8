// The job list under a real X display: files or text dragged over it from another
// program (an XDND source written with GTK) highlight the row under the pointer, and the
// drop is refused: the source is told so, no row is added and the list is unchanged.
#include <gtest/gtest.h>
#include <poll.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "app/mainfrm.h"
#include "app_support.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/mediaitem.h"
#include "platform/backends/x11.h"
#include "platform/windows/backend.h"
#include "support/desktop.h"
#include "support/process.h"
#include "support/pump.h"

// Last: Xlib's macros (None, Bool) would break the headers above.
#include <X11/Xlib.h>

namespace {

using namespace apptest;
using namespace platform;
using treeview::PVastNode;

struct Drop {
    const char* kind;
    std::vector<std::string> items;  // paths or words; "<clip>" stands for a media file
};
void PrintTo(const Drop& drop, std::ostream* out) { *out << drop.kind; }

class JobListDropDesktop : public ::testing::TestWithParam<Drop> {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "ffmpeg"})
            if (!desktop::OnPath(tool)) GTEST_SKIP() << tool << " is not installed";
        if (std::system("/usr/bin/python3 -c 'import gi; gi.require_version(\"Gtk\", \"3.0\"); "
                        "from gi.repository import Gtk' 2>/dev/null") != 0)
            GTEST_SKIP() << "python3-gi with GTK 3 is not installed";
        ASSERT_TRUE(xvfb.Start());
        SetBackend(CreateX11Backend());
        int status = -1;
        for (const char* name : {"one.mp4", "two.mp4"}) {
            const std::string path = media.str() + "/" + name;
            std::string made = testsupport::Capture(
                "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=1 "
                "-c:v mpeg4 " + testsupport::ShellQuote(path) + " 2>&1", &status);
            ASSERT_EQ(status, 0) << made;
            clips.push_back(path);
        }
    }
    void TearDown() override {
        desktop::Stop(source);
        if (frmMain) {
            delete frmMain;
            frmMain = nullptr;
        }
    }
    // Handles this program's X events and messages until done() holds or about fifteen
    // seconds passed; watch() sees every round.
    template <class Done, class Watch> bool Serve(Done done, Watch watch) {
        const int fd = ConnectionNumber(x11::CurrentDisplay());
        for (int i = 0; i < 1500; ++i) {
            Backend().PollInput();
            testsupport::PumpWindows();
            watch();
            if (done()) return true;
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 10);
        }
        return done();
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> out;
        for (PVastNode n = frmMain->NodeTree->RootNode()->FirstChild; n; n = n->NextSibling) {
            const jobmodel::MediaItem* row = jobmodel::ItemOf(*frmMain->NodeTree, n);
            out.push_back(jobmodel::FieldText(row->row.source) + " | " + jobmodel::FieldText(row->row.destination) +
                          " | " + std::to_string(frmMain->NodeTree->GetCheckState(n)));
        }
        return out;
    }

    desktop::Xvfb xvfb;
    Sandbox box;
    testsupport::TempDir media;
    std::vector<std::string> clips;
    pid_t source = -1;
};

TEST_P(JobListDropDesktop, IsHighlightedAndRefused) {
    const Drop& drop = GetParam();
    Application->CreateForm(frmMain);
    frmMain->Show();
    ASSERT_EQ(frmMain->AddFiles(clips).added, 2);
    const std::vector<std::string> before = Rows();
    ASSERT_EQ(before.size(), 2u);
    ASSERT_TRUE(frmMain->NodeTree->Visible());
    ASSERT_TRUE(Serve([] { return true; }, [] {}));

    // The source stands in the screen's top-left corner, above nothing of the list.
    std::vector<std::string> args = {"/usr/bin/python3",
                                     std::string(std::getenv("LUMACAST_SOURCE_DIR")) + "/tests/app/drag_source.py",
                                     drop.kind, "0", "0"};
    for (const std::string& item : drop.items) args.push_back(item == "<clip>" ? clips[0] : item);
    const std::string log = media.str() + "/source.log";
    source = desktop::Spawn(args, "", log, media.str() + "/source.err");
    ASSERT_GT(source, 0);
    ASSERT_TRUE(Serve([&] { return desktop::ReadFile(log).find("ready") != std::string::npos; }, [] {}))
        << desktop::ReadFile(media.str() + "/source.err");
    const std::string window = desktop::WaitForWindow(std::string("^drag source ") + drop.kind + "$");
    ASSERT_FALSE(window.empty());

    // The first row (the add selected the last one), on the screen.
    PVastNode target = frmMain->NodeTree->RootNode()->FirstChild;
    TRect r = frmMain->NodeTree->GetDisplayRect(target, 0, false);
    TPoint at = frmMain->NodeTree->ClientToScreen(TPoint(r.left + 40, (r.top + r.bottom) / 2));
    TPoint origin = frmMain->NodeTree->ClientToScreen(TPoint(0, 0));
    ASSERT_TRUE(at.x > 200 || at.y > 120) << "the source would cover the list";
    const std::string x = std::to_string(at.x), y = std::to_string(at.y);
    pid_t mouse = desktop::Spawn(
        {"sh", "-c",
         "xdotool mousemove --window " + window + " 60 60 mousedown 1 sleep 0.3 mousemove_relative 30 30 "
         "sleep 0.3 mousemove " + std::to_string(origin.x + 5) + " " + std::to_string(origin.y + 5) +
         " sleep 0.3 mousemove " + x + " " + y + " sleep 0.4 mousemove " + x + " " + std::to_string(at.y + 1) +
         " sleep 0.6 mouseup 1"});
    ASSERT_GT(mouse, 0);
    // The screen while the row is highlighted goes to artifacts/.
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    const fs::path shot = fs::path(build ? build : ".") / "artifacts" / (std::string("joblist-drop-") + drop.kind + ".png");
    fs::create_directories(shot.parent_path());
    bool highlighted = false;
    ASSERT_TRUE(Serve([&] { return desktop::Finished(mouse) >= 0; }, [&] {
        if (highlighted || frmMain->NodeTree->DropTargetNode() != target) return;
        highlighted = true;
        frmMain->NodeTree->Update();
        testsupport::Capture("import -window root " + testsupport::ShellQuote(shot.string()) + " 2>/dev/null");
    }));
    EXPECT_TRUE(Serve([&] { return desktop::ReadFile(log).find("ended") != std::string::npos; }, [] {}))
        << desktop::ReadFile(log);

    EXPECT_TRUE(highlighted) << "the row under the pointer was never the drop target";
    EXPECT_EQ(desktop::ReadFile(log), "ready\nrefused\nended\n");
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(frmMain->NodeTree->DropTargetNode(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Kinds, JobListDropDesktop,
                         ::testing::Values(Drop{"files", {"<clip>", "/tmp/not-there.mp4"}},
                                           Drop{"text", {"a", "dragged", "text"}}),
                         [](const ::testing::TestParamInfo<Drop>& info) { return std::string(info.param.kind); });

}  // namespace
