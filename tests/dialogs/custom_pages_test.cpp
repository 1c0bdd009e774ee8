// The preview pages the customisation dialog has the view show, opened as they stand in
// headless Chromium with the program folder's own copy of the Flash player: the dialog
// (headless) builds the preview and records what it asked the view to show; the page then
// plays it. Checked: the movie plays with no script errors, the player kind (a progressive
// player fetches its video beside the page, an embedded one carries it), "hide mute" takes
// the mute button off the bar, and an effect template paints over the video.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/app_support.h"
#include "app/mainfrm.h"
#include "dialogs/customfrm.h"
#include "harness/ruffle.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/playerbridge.h"
#include "support/pump.h"

namespace {

using namespace platform;
namespace fs = std::filesystem;

struct Page {
    harness::RuffleResult run;
    std::vector<harness::Image> shots;
    int width = 0, height = 0;
};

class CustomPages : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::UseHeadlessDisplay();
        for (const char* folder : {"templates", "ruffle"})
            fs::copy(apptest::BuiltProgramFolder() / folder, box.program.path() / folder, fs::copy_options::recursive);
        main = std::make_unique<TfrmMain>(nullptr);
        frmMain = main.get();
        frmCustom = new TfrmCustom(nullptr);
        main->AfterConstruction();
        frmCustom->AfterConstruction();
        main->Show();
        frmCustom->MeasureCreditText = [](const std::string& text) { return int(text.size()) * 5; };
        item.kind = jobmodel::mkFile;
        item.customSetting = jobmodel::NewCustomSetting();
        jobmodel::CopyCustomSetting(*item.customSetting, *jobmodel::DefaultCustomSetting);
        item.customSetting->Width = 640, item.customSetting->Height = 480;
        item.customSetting->IsCustom = 0;
        testsupport::PumpWindows();
    }
    void TearDown() override {
        delete frmCustom;
        frmCustom = nullptr;
        main.reset();
        frmMain = nullptr;
        jobmodel::Drop(item.customSetting);
    }

    // Opens the dialog on the row, goes to the player page, and plays what the view was
    // asked to show; shots at 1.0 and 1.8 seconds after the movie started.
    Page Play(const std::string& name) {
        if (frmCustom->Visible()) frmCustom->closeClick(nullptr);
        frmCustom->SetCustomItem(&item);
        frmCustom->Show();
        testsupport::PumpWindows();
        frmCustom->ShowPage(2);
        frmCustom->ShowPage(3);
        testsupport::PumpWindows();
        Page page;
        const auto& asked = frmCustom->webBrowser->Navigations();
        EXPECT_FALSE(asked.empty());
        if (asked.empty()) return page;
        EXPECT_EQ(asked.back().path, jobmodel::PreviewPlayerPath(box.Folder()));
        page.width = asked.back().width;
        page.height = asked.back().height;
        harness::RuffleJob job;
        job.root = box.program.str();
        job.page = "/ruffle/preview.html?movie=/" + fs::relative(asked.back().path, box.program.path()).string();
        job.width = page.width;
        job.height = page.height;
        fs::path out = Artifacts();
        job.shots = {{1000, (out / ("custom-page-" + name + "-a.png")).string()},
                     {1800, (out / ("custom-page-" + name + "-b.png")).string()}};
        page.run = harness::RunRuffle(job);
        for (const std::string& shot : page.run.screenshots) page.shots.push_back(harness::ReadPng(shot));
        return page;
    }

    static fs::path Artifacts() {
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        fs::path dir = fs::path(build ? build : ".") / "artifacts";
        fs::create_directories(dir);
        return dir;
    }

    apptest::Sandbox box;
    std::unique_ptr<TfrmMain> main;
    jobmodel::MediaItem item{};
};

std::string Describe(const harness::RuffleResult& r) {
    std::string s = r.error + "\n";
    for (const auto& e : r.errors) s += "error: " + e + "\n";
    for (const auto& c : r.console) s += "console: " + c + "\n";
    for (const auto& q : r.requests) s += "request: " + q + "\n";
    return s;
}

bool Fetched(const harness::RuffleResult& r, const std::string& suffix) {
    for (const std::string& q : r.requests)
        if (q.size() >= suffix.size() && q.compare(q.size() - suffix.size(), suffix.size(), suffix) == 0) return true;
    return false;
}

int Changed(const harness::Image& a, const harness::Image& b, int left, int top, int right, int bottom) {
    int changed = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (!harness::Near(a.At(x, y), b.At(x, y), 24)) ++changed;
    return changed;
}

int Count(const harness::Image& a, harness::Rgb colour, int left, int top, int right, int bottom, int tolerance = 40) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) n += harness::Near(a.At(x, y), colour, tolerance);
    return n;
}

TEST_F(CustomPages, PreviewPagesPlayAndShowTheChosenPlayer) {
    RUFFLE_OR_SKIP();
    struct Case {
        const char* name;
        int swfType;
        bool hideMute;
        const char* effect;
    } cases[] = {
        {"embedded", 1, false, "None"},
        {"embedded-hide-mute", 1, true, "None"},
        {"progressive", 2, false, "None"},
        {"embedded-snow", 1, false, "Snow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        item.customSetting->SwfType = c.swfType;
        item.customSetting->IsAutoPlay = 1;
        item.customSetting->IsHideMuteBtn = c.hideMute;
        jobmodel::CopyTextField(item.customSetting->EffectSkinPath, c.effect);
        const Page p = Play(c.name);
        ASSERT_TRUE(p.run.ok) << Describe(p.run);
        EXPECT_TRUE(p.run.errors.empty()) << Describe(p.run);
        ASSERT_EQ(p.shots.size(), 2u) << Describe(p.run);
        ASSERT_GE(p.shots[0].width, p.width);
        EXPECT_GT(Changed(p.shots[0], p.shots[1], 0, 0, p.width, p.height * 2 / 3), 500)
            << "the preview does not advance";
        const std::string sample = "/" + fs::relative(jobmodel::PreviewFolder(box.Folder()), box.program.path()).string() +
                                   "/velmoraQent.flv";
        EXPECT_EQ(Fetched(p.run, sample), c.swfType == 2) << Describe(p.run);
        // The bar takes the bottom 30 pixels; the speaker of the mute button lies just left of
        // the volume ramp, about two thirds across, drawn in the skin's icon colour.
        const harness::Image& last = p.shots[1];
        int speaker = Count(last, {0xff, 0xd2, 0x4a}, p.width * 66 / 100, p.height - 30, p.width * 735 / 1000,
                            p.height);
        if (c.hideMute)
            EXPECT_LT(speaker, 5) << "the mute button shows";
        else
            EXPECT_GT(speaker, 30) << "no mute button";
        // The test picture has nothing near white: the snow effect's flakes are. Their
        // smoothed edges leave few pixels of pure white, how many depends on where they fall.
        int flakes = Count(last, {255, 255, 255}, 0, p.height / 6, p.width, p.height - 40, 40);
        if (std::string(c.effect) == "Snow")
            EXPECT_GT(flakes, 20) << "no snow over the video";
        else
            EXPECT_LT(flakes, 10) << "white over the video with no effect";
    }
}

}  // namespace
