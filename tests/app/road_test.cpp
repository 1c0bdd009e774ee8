// The road of one conversion from the main window, headless, with the real converter,
// player maker and preview player: a clip chosen in the file dialog, or a title and a
// chapter of the DVD fixture chosen in the folder dialog and the DVD window with the
// second audio stream; Convert with the output folder to be opened, the progress window
// filled, the completion message answered, the folder handed to the launcher, and every
// job folder checked from outside by ffprobe.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/convertwin.h"
#include "app/dvdfrm.h"
#include "app/mainfrm.h"
#include "app_support.h"
#include "dialogs/dialogs_support.h"
#include "fixtures/dvd_fixture.h"
#include "formbase/playerfrm.h"
#include "jobmodel/mediaitem.h"
#include "libs/morvconverter/media_check.h"
#include "jobmodel/convertstate.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/joblist.h"
#include "libs/morvplayer/host.h"
#include "platform/controls/dialogs.h"
#include "platform/core/shell.h"
#include "platform/windows/backend.h"
#include "support/media_tsan.h"
#include "support/process.h"
#include "support/pump.h"

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

// The main window, the player, the progress and the DVD window with the real libraries,
// the launcher and the power switch replaced by stand-ins, the output folder in the
// sandbox; all of it taken down again at the end.
struct RoadWindows {
    std::vector<std::vector<std::string>> launches;
    std::unique_ptr<TProcessLauncher> previousLauncher;
    std::unique_ptr<TPowerControl> previousPower;
    PlayerHost host;
    std::string out;

    explicit RoadWindows(const Sandbox& box) {
        // The player templates and the page script of the built program folder.
        fs::create_directory_symlink(BuiltProgramFolder() / "templates", box.program.path() / "templates");
        fs::create_directories(box.program.path() / "temp");
        previousLauncher = SetProcessLauncher(std::make_unique<Launches>(&launches));
        previousPower = SetPowerControl(std::make_unique<NoPower>());
        host = PlatformPlayerHost();
        setPlayerHost(&host);
        Application->CreateForm(frmMain);
        Application->CreateForm(Playerfrm);
        Application->CreateForm(frmConvert);
        Application->CreateForm(frmDVD);
        frmMain->Show();
        Application->ProcessMessages();
        out = box.program.str() + "/Output";
        frmMain->OutputFolder = out;
        frmMain->OutputPath->SetText(out);
    }
    ~RoadWindows() {
        DialogHandler = nullptr;
        Application->MessageBoxHandler = nullptr;
        delete frmDVD;
        frmDVD = nullptr;
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
};

TEST(ConversionRoad, AClipFromTheFileDialogToItsJobFolder) {
    UseHeadlessDisplay();
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Sandbox box;
    testsupport::TempDir media;
    const std::string clip = media.str() + "/clip.mp4";
    int status = -1;
    std::string made = testsupport::Capture(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=3 -f lavfi -i "
        "sine=duration=3 -c:v mpeg4 -c:a aac " + testsupport::ShellQuote(clip) + " 2>&1", &status);
    ASSERT_EQ(status, 0) << made;

    RoadWindows road(box);
    const std::vector<std::vector<std::string>>& launches = road.launches;
    const std::string out = road.out;

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

}

// The DVD fixture through the folder dialog: in the DVD window the first title and its
// second chapter are checked and the title's second audio stream chosen (its chapters
// follow); OK, Convert. Each job folder holds the part it was made of, with that stream's
// tone.
TEST(ConversionRoad, ADvdTitleAndChapterWithTheSecondAudioStream) {
    UseHeadlessDisplay();
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const lumacast::fixtures::DvdFixture fx = lumacast::fixtures::LoadDvdFixture();
    const lumacast::fixtures::DvdFixtureTitle& title = fx.titles.at(0);
    ASSERT_GE(title.audio.size(), 2u);
    ASSERT_GE(title.chapters.size(), 2u);
    ASSERT_NE(title.audio[0].toneHz, title.audio[1].toneHz);
    Sandbox box;
    RoadWindows road(box);

    // The disc's folder, through the folder dialog.
    std::string dialogTitle;
    DialogHandler = [&](TCommonDialog& dialog) {
        dialogTitle = dialog.Title();
        auto* browse = dynamic_cast<TBrowseFolderDialog*>(&dialog);
        if (!browse) return false;
        browse->SetFolder(fx.root);
        return true;
    };
    // What the user does in the DVD window once it shows (modally).
    bool shown = false;
    std::vector<std::string> audioEntries;
    HWND driver = AllocateHWnd([&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg != WM_USER) return 0;
        TfrmDVD* dvd = frmDVD;
        shown = dvd->Visible() && dvd->IsModal();
        if (!shown) return 0;
        dvd->UncheckAll->Click();
        treeview::PVastNode first = dvd->NodeTree->RootNode()->FirstChild->FirstChild;
        jobmodel::SetRowCheckState(*dvd->Rows, jobmodel::TreeRows::RowOf(first), true);
        jobmodel::SetRowCheckState(*dvd->Rows, jobmodel::TreeRows::RowOf(first->FirstChild->NextSibling), true);
        dvd->NodeTree->ClearSelection();
        dvd->NodeTree->SetSelected(first, true);
        for (int i = 0; i < dvd->audioCmb->Items()->Count(); ++i)
            audioEntries.push_back(dvd->audioCmb->Items()->Strings(i));
        dvd->audioCmb->SetItemIndex(1);
        dvd->audioCmb->OnChange(dvd->audioCmb);
        testsupport::PumpWindows();
        SaveWindowImage(dvd->Handle(), Artifact("road-dvd.png"));
        dialogtest::ClickAt(dvd, dvd->btnOK);
        return 0;
    });
    PostMessage(driver, WM_USER, 0, 0);
    frmMain->downlist_folderClick(frmMain);
    DialogHandler = nullptr;
    DeallocateHWnd(driver);
    EXPECT_EQ(dialogTitle, "Please Select DVD Folder.");
    ASSERT_TRUE(shown) << "the DVD window did not show";
    EXPECT_EQ(audioEntries.size(), title.audio.size());
    EXPECT_FALSE(frmDVD->Visible());

    // The job list: the title and the chapter, both with the second stream.
    std::vector<std::string> names;
    for (treeview::PVastNode n = frmMain->NodeTree->RootNode()->FirstChild; n; n = n->NextSibling) {
        const jobmodel::MediaItem* row = jobmodel::ItemOf(*frmMain->NodeTree, n);
        names.push_back(jobmodel::FieldText(row->row.destination));
        EXPECT_EQ(row->audioId, 1) << names.back();
        EXPECT_EQ(frmMain->NodeTree->GetCheckState(n), treeview::csCheckedNormal) << names.back();
    }
    ASSERT_EQ(names, (std::vector<std::string>{"title_01_01.flv", "chapter_01_01_02.flv"}));

    frmConvert->ShowPath->SetChecked(true);
    std::vector<std::string> texts, lines;
    int totalMax = -1, totalPos = -1;
    Application->MessageBoxHandler = [&](const std::string& text, const std::string&, UINT) {
        texts.push_back(text);
        if (frmConvert->Visible()) {
            for (int i = 0; i < frmConvert->ShowResult->Lines()->Count(); ++i)
                lines.push_back(frmConvert->ShowResult->Lines()->Strings(i));
            totalMax = frmConvert->TotalProgress->Max(), totalPos = frmConvert->TotalProgress->Position();
            frmConvert->Update();
            SaveWindowImage(frmConvert->Handle(), Artifact("road-dvd-progress.png"));
        }
        return IDOK;
    };
    frmMain->btnConvertClick(frmMain);
    Application->MessageBoxHandler = nullptr;

    EXPECT_EQ(texts, std::vector<std::string>{"All conversion takes have been finished!"});
    EXPECT_EQ(lines, (std::vector<std::string>{"title_01_01 --> Convert Successful!",
                                                "chapter_01_01_02 --> Convert Successful!"}));
    const int chapterLength = int(title.length - title.chapters[1] + 0.5);
    EXPECT_EQ(totalMax, int(title.length + 0.5) + chapterLength);
    EXPECT_EQ(totalPos, totalMax);
    ASSERT_EQ(road.launches.size(), 1u);
    EXPECT_EQ(road.launches[0].back(), road.out);

    // One job folder per row: the video of its part with the second stream's tone, its
    // thumbnail, the player and its page.
    struct Expected {
        std::string name;
        double seconds;
    };
    const std::vector<Expected> jobs = {{"title_01_01", title.length},
                                        {"chapter_01_01_02", title.length - title.chapters[1]}};
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(road.out)) folders.push_back(entry.path());
    ASSERT_EQ(folders.size(), jobs.size());
    for (const Expected& job : jobs) {
        SCOPED_TRACE(job.name);
        fs::path folder;
        for (const fs::path& f : folders)
            if (f.filename().string().rfind(job.name + "-", 0) == 0) folder = f;
        ASSERT_FALSE(folder.empty());
        const fs::path video = folder / (job.name + ".flv");
        EXPECT_EQ(VideoStream(video).substr(0, 5), "flv1,");
        EXPECT_NEAR(Duration(video), job.seconds, 0.5);
        EXPECT_NEAR(convtest::Tone(video, 0.3, 1.2), title.audio[1].toneHz, 60);
        EXPECT_EQ(VideoStream(folder / (job.name + ".jpg")).substr(0, 6), "mjpeg,");
        EXPECT_GT(fs::file_size(folder / (job.name + ".swf")), 0u);
        EXPECT_TRUE(fs::exists(folder / (job.name + ".html")));
    }
}

}  // namespace
