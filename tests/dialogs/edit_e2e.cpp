// The edit dialog with the real preview player on the DVD fixture: a crop of 16 pixels a
// side, a horizontal flip and "Gray", set through the dialog's controls, against what
// ffmpeg makes of the same second of the title with crop, hflip and hue=s=0.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/app_support.h"
#include "dialogs/editfrm.h"
#include "dialogs_support.h"
#include "fixtures/dvd_fixture.h"
#include "libs/morvplayer/host.h"
#include "jobmodel/convertstate.h"
#include "support/process.h"
#include "support/tempdir.h"
#include "tests/jobmodel/itemlists.h"

// SDL keeps an error text per sound thread that it never frees, and libdvdread loses a
// little when it opens a disc. Neither is ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2-2.0.so\nleak:libdvdread.so\n"; }

namespace {

using namespace platform;
using testsupport::Capture;
using testsupport::ShellQuote;

// ffmpeg's SSIM of two pictures of the same size ("All:" of its ssim filter); -1 on failure.
double Ssim(const std::string& a, const std::string& b) {
    std::string out = Capture("ffmpeg -nostdin -v info -i " + ShellQuote(a) + " -i " + ShellQuote(b) +
                              " -lavfi ssim -f null - 2>&1");
    std::size_t at = out.rfind("All:");
    return at == std::string::npos ? -1 : std::atof(out.c_str() + at + 4);
}

std::pair<int, int> SizeOf(const std::string& picture) {
    int w = 0, h = 0;
    std::sscanf(Capture("identify -format '%w %h' " + ShellQuote(picture)).c_str(), "%d %d", &w, &h);
    return {w, h};
}

template <typename F>
bool PumpUntil(F done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(EditPreviewEndToEnd, CropFlipAndGrayMatchFfmpegOnTheDvdFixture) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    apptest::UseHeadlessDisplay();
    PlayerHost host = PlatformPlayerHost();
    setPlayerHost(&host);
    apptest::Sandbox box;
    std::string error;
    ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
    const auto fx = lumacast::fixtures::LoadDvdFixture();

    DvdDisc* disc = nullptr;
    ASSERT_EQ(parseDVD(&disc, fx.root.c_str(), 0), 0);
    ASSERT_GE(disc->titleSetCount, 2);
    DvdTitle& pal = disc->titleSets[1].titles[0];  // 720 x 576, 25 fps, 3 s
    jobmodel::MediaItem row{};
    jobmodel::InitMediaItem(row);
    jobmodel::CopyTextField(row.name, "title_02_03");
    row.kind = row.dvdKind = jobmodel::mkDvdTitle;
    row.dvdTitle = &pal;
    row.audioId = 0;
    row.subtitleId = -1;
    row.mediaInfo = jobmodel::NewMediaInfo();
    row.mediaInfo->width = 720;
    row.mediaInfo->height = 576;
    row.mediaInfo->durationSeconds = pal.lengthSeconds;
    *row.timeRange = {0, pal.lengthSeconds};

    auto edit = std::make_unique<TfrmEdit>(nullptr, nullptr);
    edit->AfterConstruction();
    edit->SetEditItem(&row);
    edit->Show();
    Application->ProcessMessages();
    ASSERT_EQ(edit->TotalTrackBar->Max(), pal.lengthSeconds);
    for (skinctrl::TdvxSpinEdit* spin : {edit->Crop_left, edit->Crop_right, edit->Crop_top, edit->Crop_bottom}) {
        spin->SetFocus();
        Application->ProcessMessages();
        spin->SetText("16");
    }
    dialogtest::ClickAt(edit.get(), edit->btnLevel);
    edit->Effect_cmb->SetItemIndex(jobmodel::ekGray);
    edit->Effect_cmbChange(edit->Effect_cmb);
    dialogtest::ClickAt(edit.get(), edit->btnPlay);  // pause
    ASSERT_FALSE(edit->Playing());
    ActivePlayerLibrary().findDvdTimePlay(1.0);

    testsupport::TempDir temp;
    const std::string shot = temp.str() + "/preview.png";
    ASSERT_TRUE(PumpUntil([&] { return ActivePlayerLibrary().morvCapture(shot.c_str()) == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Application->ProcessMessages();
    ASSERT_EQ(ActivePlayerLibrary().morvCapture(shot.c_str()), 0);
    auto [w, h] = SizeOf(shot);
    ASSERT_GT(w, 0);

    // The same second of the title's video by ffmpeg, at the snapshot's size.
    const std::string vob = fx.videoTs + "/VTS_02_1.VOB";
    auto reference = [&, w = w, h = h](const std::string& name, const std::string& filters) {
        std::string out = temp.str() + "/" + name;
        int status = 0;
        Capture("ffmpeg -nostdin -v error -y -ss 1 -i " + ShellQuote(vob) + " -frames:v 1 -vf " +
                    ShellQuote(filters + ",scale=" + std::to_string(w) + ":" + std::to_string(h)) + " " +
                    ShellQuote(out),
                &status);
        EXPECT_EQ(status, 0) << name;
        return out;
    };
    const std::string expected = reference("expected.png", "crop=688:544:16:16,hflip,hue=s=0");
    const std::string unflipped = reference("unflipped.png", "crop=688:544:16:16,hue=s=0");
    const std::string uncropped = reference("uncropped.png", "hflip,hue=s=0");
    double ssim = Ssim(shot, expected), ssimUnflipped = Ssim(shot, unflipped), ssimUncropped = Ssim(shot, uncropped);
    std::printf("preview SSIM %.4f; unflipped %.4f; uncropped %.4f\n", ssim, ssimUnflipped, ssimUncropped);
    EXPECT_GT(ssim, 0.9) << shot;
    // The check tells the settings apart.
    EXPECT_LT(ssimUnflipped, ssim - 0.05);
    EXPECT_LT(ssimUncropped, ssim);
    std::filesystem::copy_file(shot, "edit-preview.png", std::filesystem::copy_options::overwrite_existing);

    // OK stores what the preview showed.
    dialogtest::ClickAt(edit.get(), edit->btnOK);
    EXPECT_EQ(row.crop->left, 16);
    EXPECT_EQ(row.crop->bottom, 16);
    EXPECT_EQ(row.effect->horizontalFlip, 1);
    EXPECT_EQ(row.effect->effect, jobmodel::ekGray);
    edit.reset();
    jobmodel::ReleaseMediaItem(row);
    setPlayerHost(nullptr);
}

}  // namespace

namespace {

// The same settings through the real converter: a converted frame against ffmpeg, and two
// segments of the title whose files last as long as their ranges.
TEST(EditPreviewEndToEnd, TheConverterAppliesTheSameSettingsAndCutsSegments) {
    using jobmodel::itemlists::Lists;
    using jobmodel::itemlists::Row;
    const auto fx = lumacast::fixtures::LoadDvdFixture();
    const char* programDir = std::getenv("LUMACAST_PROGRAM_DIR");
    ASSERT_NE(programDir, nullptr);
    DvdDisc* disc = nullptr;
    ASSERT_EQ(parseDVD(&disc, fx.root.c_str(), 0), 0);
    ASSERT_GE(disc->titleSetCount, 2);
    DvdTitle& pal = disc->titleSets[1].titles[0];

    Lists lists;
    jobmodel::Row discRow = lists.Add(lists.dvd, nullptr, jobmodel::mkFile, "disc").node;
    Row dvdTitle = lists.Add(lists.dvd, discRow, jobmodel::mkDvdTitle, "Title 2", 0, pal.lengthSeconds);
    dvdTitle.item->dvdKind = jobmodel::mkDvdTitle;
    for (int c = 0; c < pal.chapterCount; ++c) {
        Row cr = lists.Add(lists.dvd, dvdTitle.node, jobmodel::mkDvdChapter, "Title 2 c" + std::to_string(c), 0,
                           pal.chapters[c].lengthSeconds);
        cr.item->dvdKind = jobmodel::mkDvdChapter;
        cr.item->dvdChapter = &pal.chapters[c];
    }
    auto dvdRow = [&](jobmodel::Row parent, jobmodel::MediaItemKind kind, const std::string& name, int start,
                      int end) {
        Row r = lists.Add(lists.jobs, parent, kind, name, start, end);
        r.item->dvdDisc = disc;
        r.item->dvdTitle = &pal;
        r.item->dvdKind = jobmodel::mkDvdTitle;
        r.item->audioId = 0;
        r.item->subtitleId = -1;
        r.item->mediaInfo = jobmodel::NewMediaInfo();
        r.item->mediaInfo->durationSeconds = pal.lengthSeconds;
        jobmodel::itemlists::RealFlvOptions(*r.item, false);
        return r;
    };
    Row title = dvdRow(nullptr, jobmodel::mkDvdTitle, "Title 2", 0, pal.lengthSeconds);
    *title.item->crop = {16, 16, 16, 16, "original"};
    title.item->effect->horizontalFlip = 1;
    title.item->effect->effect = jobmodel::ekGray;
    lists.jobs.SetChecked(title.node, true);
    for (auto [name, start, end] : {std::tuple{"First", 0, 1}, {"Second", 1, 3}}) {
        Row segment = dvdRow(title.node, jobmodel::mkSegment, name, start, end);
        jobmodel::SetRowRole(*segment.item, jobmodel::rrSegment);
        lists.jobs.SetChecked(segment.node, true);
    }

    testsupport::TempDir temp;
    jobmodel::ConvertOutputDir = temp.str() + "/out/";
    std::filesystem::create_directories(jobmodel::ConvertOutputDir);
    jobmodel::CancelState = 0;
    std::vector<std::string> lines;
    {
        jobmodel::TfrmConvert form;
        form.JobList = &lists.jobs;
        form.DvdList = &lists.dvd;
        form.ProgramFolder = std::string(programDir) + "/";
        jobmodel::itemlists::PumpRun(form);
        lines = form.ShowResult().Lines();
    }
    ASSERT_EQ(lines, (std::vector<std::string>{"Title 2 --> Convert Successful!", "First --> Convert Successful!",
                                               "Second --> Convert Successful!"}));
    std::map<std::string, std::string> videos;
    for (const auto& entry : std::filesystem::directory_iterator(jobmodel::ConvertOutputDir)) {
        std::string folder = entry.path().filename().string();
        std::string name = folder.substr(0, folder.find('-'));
        videos[name] = (entry.path() / (name + ".flv")).string();
    }
    auto duration = [](const std::string& file) {
        return std::atof(Capture("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(file)).c_str());
    };
    EXPECT_NEAR(duration(videos["First"]), 1, 0.2);
    EXPECT_NEAR(duration(videos["Second"]), 2, 0.2);

    // The frame at one second of the converted title against ffmpeg's of the source.
    const std::string frame = temp.str() + "/converted.png", expected = temp.str() + "/expected.png";
    const std::string vob = fx.videoTs + "/VTS_02_1.VOB";
    int status = 0;
    Capture("ffmpeg -nostdin -v error -y -ss 1 -i " + ShellQuote(videos["Title 2"]) + " -frames:v 1 " +
                ShellQuote(frame), &status);
    ASSERT_EQ(status, 0);
    auto [w, h] = SizeOf(frame);
    Capture("ffmpeg -nostdin -v error -y -ss 1 -i " + ShellQuote(vob) + " -frames:v 1 -vf " +
                ShellQuote("crop=688:544:16:16,hflip,hue=s=0,scale=" + std::to_string(w) + ":" + std::to_string(h)) +
                " " + ShellQuote(expected), &status);
    ASSERT_EQ(status, 0);
    double ssim = Ssim(frame, expected);
    std::printf("converted SSIM %.4f\n", ssim);
    EXPECT_GT(ssim, 0.85);
}

}  // namespace

namespace {

// An effect picked after the title has played to its end shows at once on its last
// picture, not on an empty panel until Replay.
TEST(EditPreviewEndToEnd, AnEffectPickedAfterTheEndShowsOnTheLastPicture) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    apptest::UseHeadlessDisplay();
    PlayerHost host = PlatformPlayerHost();
    setPlayerHost(&host);
    apptest::Sandbox box;
    std::string error;
    ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
    // The host form carries the player's window into the dialog's panel, where it shows.
    Playerfrm = new TPlayerfrm(nullptr);
    Playerfrm->AfterConstruction();
    const auto fx = lumacast::fixtures::LoadDvdFixture();
    DvdDisc* disc = nullptr;
    ASSERT_EQ(parseDVD(&disc, fx.root.c_str(), 0), 0);
    ASSERT_GE(disc->titleSetCount, 2);
    DvdTitle& pal = disc->titleSets[1].titles[0];  // 3 s
    jobmodel::MediaItem row{};
    jobmodel::InitMediaItem(row);
    jobmodel::CopyTextField(row.name, "title_02_03");
    row.kind = row.dvdKind = jobmodel::mkDvdTitle;
    row.dvdTitle = &pal;
    row.audioId = 0;
    row.subtitleId = -1;
    row.mediaInfo = jobmodel::NewMediaInfo();
    row.mediaInfo->width = 720;
    row.mediaInfo->height = 576;
    row.mediaInfo->durationSeconds = pal.lengthSeconds;
    *row.timeRange = {0, pal.lengthSeconds};

    auto edit = std::make_unique<TfrmEdit>(nullptr, nullptr);
    edit->AfterConstruction();
    edit->SetEditItem(&row);
    edit->Show();
    ASSERT_TRUE(edit->Playing());
    ASSERT_TRUE(PumpUntil([&] { return !edit->Playing() && !edit->Opened(); })) << "the title plays to its end";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Application->ProcessMessages();
    const std::string shots = std::string(std::getenv("LUMACAST_BUILD_DIR") ? std::getenv("LUMACAST_BUILD_DIR") : ".") +
                              "/artifacts/";
    std::filesystem::create_directories(shots);
    dialogtest::Screenshot(edit.get(), shots + "edit-ended-before-gray.png");

    HWND panel = edit->EditPlayPanel->Handle();
    const int w = edit->EditPlayPanel->Width(), h = edit->EditPlayPanel->Height();
    // The panel shows a grey picture: every sampled pixel grey, in many shades (the
    // title's last frame, not a plain panel).
    auto greyPicture = [&] {
        std::set<int> shades;
        for (int y = h / 8; y < h; y += h / 8)
            for (int x = w / 8; x < w; x += w / 8) {
                COLORREF c = GetWindowSurfacePixel(panel, x, y);
                if (GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c)) return false;
                shades.insert(GetGValue(c) / 16);
            }
        return shades.size() >= 4;
    };
    edit->Effect_cmb->SetItemIndex(jobmodel::ekGray);
    edit->Effect_cmbChange(edit->Effect_cmb);
    EXPECT_TRUE(PumpUntil(greyPicture)) << "the last picture in grey";
    dialogtest::Screenshot(edit.get(), shots + "edit-ended-after-gray.png");

    dialogtest::ClickAt(edit.get(), edit->btnCancel);
    edit.reset();
    delete Playerfrm;
    Playerfrm = nullptr;
    jobmodel::ReleaseMediaItem(row);
    setPlayerHost(nullptr);
}

}  // namespace
