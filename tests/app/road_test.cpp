// The road of one conversion from the main window, headless, with the real converter,
// player maker and preview player: a clip chosen in the file dialog, Convert with the
// output folder to be opened, the progress window filled, the completion message answered,
// the folder handed to the launcher, and the job folder checked from outside by ffprobe.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/convertwin.h"
#include "app/mainfrm.h"
#include "app/playerfrm.h"
#include "app_support.h"
#include "jobmodel/convertstate.h"
#include "jobmodel/itemtree.h"
#include "libs/morvplayer/host.h"
#include "platform/controls/dialogs.h"
#include "platform/core/shell.h"
#include "platform/windows/backend.h"
#include "support/media_tsan.h"
#include "support/process.h"

namespace {

using namespace apptest;
using namespace platform;

class Launches : public TProcessLauncher {
public:
    explicit Launches(std::vector<std::vector<std::string>>* log) : log_(log) {}
    bool Launch(const std::vector<std::string>& argv, std::string&) override {
        log_->push_back(argv);
        return true;
    }

private:
    std::vector<std::vector<std::string>>* log_;
};

class NoPower : public TPowerControl {
public:
    bool PowerOff() override {
        ADD_FAILURE() << "a test never switches the computer off";
        return false;
    }
};

// "codec_name,width,height" of a file's first video stream.
std::string VideoStream(const fs::path& path) {
    std::string out = testsupport::Capture("ffprobe -v error -select_streams v:0 -show_entries "
                                           "stream=codec_name,width,height -of csv=p=0 " +
                                           testsupport::ShellQuote(path.string()) + " 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

double Duration(const fs::path& path) {
    std::string out = testsupport::Capture("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                           testsupport::ShellQuote(path.string()) + " 2>/dev/null");
    return std::atof(out.c_str());
}

std::string Artifact(const std::string& name) {
    const char* dir = std::getenv("LUMACAST_BUILD_DIR");
    std::string folder = std::string(dir ? dir : ".") + "/artifacts";
    fs::create_directories(folder);
    return folder + "/" + name;
}

TEST(ConversionRoad, AClipFromTheFileDialogToItsJobFolder) {
    UseHeadlessDisplay();
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Sandbox box;
    // The player templates and the page script of the built program folder.
    fs::create_directory_symlink(BuiltProgramFolder() / "templates", box.program.path() / "templates");
    fs::create_directories(box.program.path() / "temp");
    testsupport::TempDir media;
    const std::string clip = media.str() + "/clip.mp4";
    int status = -1;
    std::string made = testsupport::Capture(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=3 -f lavfi -i "
        "sine=duration=3 -c:v mpeg4 -c:a aac " + testsupport::ShellQuote(clip) + " 2>&1", &status);
    ASSERT_EQ(status, 0) << made;

    std::vector<std::vector<std::string>> launches;
    auto previousLauncher = SetProcessLauncher(std::make_unique<Launches>(&launches));
    auto previousPower = SetPowerControl(std::make_unique<NoPower>());
    PlayerHost host = PlatformPlayerHost();
    setPlayerHost(&host);

    Application->CreateForm(frmMain);
    Application->CreateForm(Playerfrm);
    Application->CreateForm(frmConvert);
    frmMain->Show();
    Application->ProcessMessages();
    const std::string out = box.program.str() + "/Output";
    frmMain->OutputFolder = out;
    frmMain->OutputPath->SetText(out);

    // The clip, through the file dialog.
    std::string dialogTitle;
    DialogHandler = [&](TCommonDialog& dialog) {
        dialogTitle = dialog.Title();
        auto* open = dynamic_cast<TOpenDialog*>(&dialog);
        if (!open) return false;
        open->Files()->Clear();
        open->Files()->Add(clip);
        open->SetFileName(clip);
        return true;
    };
    frmMain->addFileClick(frmMain);
    DialogHandler = nullptr;
    EXPECT_EQ(dialogTitle, "Open");
    ASSERT_EQ(frmMain->NodeTree->RootNodeCount(), 1u);
    treeview::PVastNode row = frmMain->NodeTree->GetFirst();
    jobmodel::MediaItem* item = jobmodel::ItemOf(*frmMain->NodeTree, row);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->timeRange->end - item->timeRange->start, 3);
    if (frmMain->NodeTree->GetCheckState(row) != treeview::csCheckedNormal)
        frmMain->NodeTree->SetCheckState(row, treeview::csCheckedNormal);

    // Convert, the folder to be opened at the end; the completion message is answered
    // while the filled window still shows.
    frmConvert->ShowPath->SetChecked(true);
    std::vector<std::string> texts, lines;
    int oneMax = -1, onePos = -1, totalMax = -1, totalPos = -1;
    Application->MessageBoxHandler = [&](const std::string& text, const std::string&, UINT) {
        texts.push_back(text);
        if (frmConvert->Visible()) {
            for (int i = 0; i < frmConvert->ShowResult->Lines()->Count(); ++i)
                lines.push_back(frmConvert->ShowResult->Lines()->Strings(i));
            oneMax = frmConvert->OneProgress->Max(), onePos = frmConvert->OneProgress->Position();
            totalMax = frmConvert->TotalProgress->Max(), totalPos = frmConvert->TotalProgress->Position();
            // A real message box runs the paint cycle before it shows; this stand-in does it here.
            frmConvert->Update();
            SaveWindowImage(frmConvert->Handle(), Artifact("road-progress.png"));
        }
        return IDOK;
    };
    frmMain->btnConvertClick(frmMain);
    Application->MessageBoxHandler = nullptr;
    SaveWindowImage(frmMain->Handle(), Artifact("road-main.png"));

    EXPECT_EQ(texts, std::vector<std::string>{"All conversion takes have been finished!"});
    EXPECT_EQ(lines, std::vector<std::string>{"clip --> Convert Successful!"});
    EXPECT_EQ(totalMax, 3);
    EXPECT_EQ(totalPos, 3);
    EXPECT_EQ(oneMax, 3);
    EXPECT_EQ(onePos, 3);
    EXPECT_FALSE(frmConvert->Visible());
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].back(), out);

    // One job folder: the video, its thumbnail, the player and its page.
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(out)) folders.push_back(entry.path());
    ASSERT_EQ(folders.size(), 1u);
    const fs::path job = folders[0];
    EXPECT_EQ(job.filename().string().rfind("clip-", 0), 0u) << job;
    EXPECT_EQ(VideoStream(job / "clip.flv").substr(0, 5), "flv1,") << job;
    EXPECT_NEAR(Duration(job / "clip.flv"), 3.0, 0.5);
    EXPECT_EQ(VideoStream(job / "clip.jpg").substr(0, 6), "mjpeg,");
    EXPECT_GT(fs::file_size(job / "clip.swf"), 0u);
    EXPECT_EQ(std::string(VideoStream(job / "clip.swf")).empty(), false) << "the player embeds the video";
    EXPECT_TRUE(fs::exists(job / "clip.html"));
    EXPECT_TRUE(fs::exists(job / "AC_RunActiveContent.js"));

    delete frmConvert;
    frmConvert = nullptr;
    delete Playerfrm;
    Playerfrm = nullptr;
    delete frmMain;
    frmMain = nullptr;
    setPlayerHost(nullptr);
    SetPowerControl(std::move(previousPower));
    SetProcessLauncher(std::move(previousLauncher));
}

}  // namespace
