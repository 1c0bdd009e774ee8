// The edit dialog against a recording player: the crop pair check, crops the player
// reports, the effect bars, the volume, Reset and Cancel, playback and reports that come
// from another thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>

#include "app/app_support.h"
#include "dialogs/editfrm.h"
#include "dialogs_support.h"
#include "fake_player.h"

namespace {

using namespace platform;
using jobmodel::MediaItem;

using dialogtest::Has;

class EditDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::UseHeadlessDisplay();
        std::string error;
        ASSERT_TRUE(OpenSkin(box.DefaultSkin(), error)) << error;
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT) {
            messages.push_back(text);
            return IDOK;
        };
        edit = std::make_unique<TfrmEdit>(nullptr, nullptr);
        edit->AfterConstruction();
        jobmodel::InitMediaItem(row);
        row.mediaInfo = jobmodel::NewMediaInfo();
        row.mediaInfo->width = 720;
        row.mediaInfo->height = 576;
        row.mediaInfo->durationSeconds = 60;
        *row.timeRange = {0, 60};
    }
    void TearDown() override {
        edit.reset();
        jobmodel::ReleaseMediaItem(row);
        Application->MessageBoxHandler = nullptr;
    }
    void Open() {
        edit->SetEditItem(&row);
        edit->Show();
        testsupport::PumpWindows();
    }
    // The user enters a crop spin edit and its text becomes `text`.
    void Type(skinctrl::TdvxSpinEdit* spin, const std::string& text) {
        spin->SetFocus();
        testsupport::PumpWindows();
        spin->SetText(text);
        testsupport::PumpWindows();
    }

    apptest::Sandbox box;
    dialogtest::FakePlayer player;
    std::unique_ptr<TfrmEdit> edit;
    MediaItem row{};
    std::vector<std::string> messages;
};

TEST_F(EditDialogTest, ACropPairThatLeavesNoPictureIsRefusedWithOneMessage) {
    struct Case {
        const char* what;
        int width, height;
        bool horizontal;
        int partner;     // the other edge of the pair, typed first
        int typed;       // the edge typed second
        int shown;       // what that edge shows afterwards
        bool refused;
        std::vector<std::string> sent;  // the crop calls of the second edge
    } cases[] = {
        {"left 710 beside right 20", 720, 576, true, 20, 710, 690, true, {"leftCropFlim 690", "rightCropFlim 20"}},
        {"bottom 10 below top 570", 720, 576, false, 570, 10, 0, true, {"bottomCropFlim 0"}},
        {"a sum equal to the width", 720, 576, true, 20, 700, 690, true, {"leftCropFlim 690", "rightCropFlim 20"}},
        {"a pair that fits", 720, 576, true, 20, 699, 699, false, {"leftCropFlim 699", "rightCropFlim 20"}},
        {"a frame of unknown size", 0, 0, false, 5000, 6000, 6000, false, {"bottomCropFlim 6000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        row.mediaInfo->width = c.width;
        row.mediaInfo->height = c.height;
        Open();
        skinctrl::TdvxSpinEdit* first = c.horizontal ? edit->Crop_right : edit->Crop_top;
        skinctrl::TdvxSpinEdit* second = c.horizontal ? edit->Crop_left : edit->Crop_bottom;
        Type(first, std::to_string(c.partner));
        player.Take();
        messages.clear();
        Type(second, std::to_string(c.typed));
        EXPECT_EQ(second->GetValue(), c.shown);
        EXPECT_EQ(first->GetValue(), c.partner);
        EXPECT_EQ(messages, c.refused ? std::vector<std::string>{"Crop error!"} : std::vector<std::string>{});
        // The player ends with the values shown (a refused value is never sent).
        std::vector<std::string> calls = player.Take();
        ASSERT_GE(calls.size(), c.sent.size());
        EXPECT_EQ(std::vector<std::string>(calls.end() - long(c.sent.size()), calls.end()), c.sent);
        if (c.refused) {
            for (const std::string& call : calls) EXPECT_EQ(call.find(std::to_string(c.typed)), std::string::npos) << call;
        }
        edit->Close();
    }
}

// The preview is placed from the point the host gives, its panel's offset added; a dialog
// without a host, or whose host gives no point, places it from its own position.
TEST_F(EditDialogTest, ThePreviewIsPlacedFromTheHostsOrigin) {
    struct OriginHost : DialogHost {
        std::optional<TPoint> PreviewOrigin() override { return TPoint(300, 200); }
    } origin;
    DialogHost silent;
    const struct {
        const char* what;
        DialogHost* host;
        bool fromHost;
    } cases[] = {
        {"no host", nullptr, false},
        {"a host without a point", &silent, false},
        {"a host with a point", &origin, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TfrmEdit dialog(nullptr, c.host);
        dialog.AfterConstruction();
        dialog.SetBounds(40, 30, dialog.Width(), dialog.Height());
        dialog.SetEditItem(&row);
        player.placedAt = TPoint(-1, -1);
        dialog.Show();
        testsupport::PumpWindows();
        TPoint from = c.fromHost ? TPoint(300, 200) : TPoint(dialog.Left(), dialog.Top());
        EXPECT_EQ(player.placedAt, TPoint(from.x + dialog.EditPlayPanel->Left(), from.y + dialog.EditPlayPanel->Top()));
        dialog.Close();
        testsupport::PumpWindows();
    }
}

TEST_F(EditDialogTest, CropsThePlayerReportsFillTheSpinsWithoutAMessageOrACallBack) {
    Open();
    Type(edit->Crop_left, "4");  // the user is in a spin edit: its changes would be checked and sent
    ASSERT_NE(player.CropCallback(), nullptr);
    player.Take();
    // The player reports a dragged frame from its own thread; the dialog takes it on its own.
    PlayerCropCallback report = player.CropCallback();
    std::thread([report] {
        PlayerCropInfo crop{8, 12, 16, 800};  // left + right beyond the width: shown as reported
        report(&crop);
    }).join();
    EXPECT_EQ(edit->Crop_top->GetValue(), 0);  // nothing happened on the player's thread
    testsupport::PumpWindows();
    EXPECT_EQ(edit->Crop_top->GetValue(), 8);
    EXPECT_EQ(edit->Crop_bottom->GetValue(), 12);
    EXPECT_EQ(edit->Crop_left->GetValue(), 16);
    EXPECT_EQ(edit->Crop_right->GetValue(), 800);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(player.Take().empty());

    // OK stores what the spins show; a text that is not a number counts as 0.
    edit->Crop_top->SetText("x");
    dialogtest::ClickAt(edit.get(), edit->btnOK);
    EXPECT_FALSE(edit->Visible());
    EXPECT_EQ(row.crop->top, 0);
    EXPECT_EQ(row.crop->bottom, 12);
    EXPECT_EQ(row.crop->left, 16);
    EXPECT_EQ(row.crop->right, 800);
    EXPECT_TRUE(Has(player.Take(), "close_sdl"));
}

TEST_F(EditDialogTest, EffectBarsMapToValuesAndBackAndSaturationPreviewsSaturation) {
    EXPECT_EQ(EffectBarPosition(30), 13);
    EXPECT_EQ(EffectBarValue(13), 30);
    EXPECT_EQ(EffectBarPosition(35), 13);
    EXPECT_EQ(EffectBarPosition(-100), 0);
    EXPECT_EQ(EffectBarValue(20), 100);

    *row.effect = {30, 35, -100, 1, 0, jobmodel::ekEmboss, 255};
    std::snprintf(row.crop->aspect, sizeof row.crop->aspect, "16:9");
    Open();
    EXPECT_EQ(edit->Effect_bright->Position(), 13);
    EXPECT_EQ(edit->Effect_contrast->Position(), 13);
    EXPECT_EQ(edit->Effect_saturation->Position(), 0);
    EXPECT_EQ(edit->Crop_zoom->Text(), "16:9");
    EXPECT_EQ(edit->Effect_cmb->ItemIndex(), jobmodel::ekEmboss);
    // The player is told every stored setting, flips from none.
    std::vector<std::string> shown = player.Take();
    for (const char* call : {"setBrightness 30", "setContrast 30", "setSaturation -100", "embossFlim",
                             "setPlayAspectRatio 16:9", "noFlipFlim", "vertFlipFlim"})
        EXPECT_TRUE(Has(shown, call)) << call;
    EXPECT_FALSE(Has(shown, "horiFlipFlim"));

    edit->Effect_saturation->SetPosition(15);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"setSaturation 50"});
    edit->btnLevelClick(nullptr);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"horiFlipFlim"});
    dialogtest::ClickAt(edit.get(), edit->btnOK);
    EXPECT_EQ(row.effect->brightness, 30);
    EXPECT_EQ(row.effect->contrast, 30);  // 35 shows at 13, which stands for 30
    EXPECT_EQ(row.effect->saturation, 50);
    EXPECT_EQ(row.effect->verticalFlip, 1);
    EXPECT_EQ(row.effect->horizontalFlip, 1);
    EXPECT_EQ(row.effect->effect, jobmodel::ekEmboss);
}

TEST_F(EditDialogTest, VolumeIsThePlayersOwnGainOnBothChannels) {
    struct Case {
        int volume;
        std::uint32_t level;
    } cases[] = {{255, 32767}, {510, 65535}, {0, 0}, {1, 128}};
    for (const Case& c : cases) EXPECT_EQ(VolumeGain(c.volume), c.level | (c.level << 16)) << c.volume;

    row.effect->volume = 510;
    Open();
    EXPECT_TRUE(Has(player.Take(), "setOutputGain " + std::to_string(0xFFFFFFFFu)));
    edit->AdjustVolume->SetPosition(255);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"setOutputGain " + std::to_string(32767u | (32767u << 16))});
    EXPECT_EQ(edit->AdjustVolume->Hint(), "255");
    dialogtest::ClickAt(edit.get(), edit->btnOK);
    EXPECT_EQ(row.effect->volume, 255);
}

TEST_F(EditDialogTest, ResetThenCancelLeavesTheRecords) {
    *row.effect = {50, -30, 20, 1, 1, jobmodel::ekGray, 400};
    *row.crop = {10, 20, 30, 40, "4:3"};
    const jobmodel::EffectSetting effect = *row.effect;
    const jobmodel::CropSetting crop = *row.crop;
    Open();
    dialogtest::ClickAt(edit.get(), edit->btnCropReset);
    edit->tabEffectClick(nullptr);
    testsupport::PumpWindows();
    dialogtest::ClickAt(edit.get(), edit->btnEffectReset);
    EXPECT_EQ(edit->Crop_left->GetValue(), 0);
    EXPECT_EQ(edit->Effect_bright->Position(), 10);
    EXPECT_EQ(edit->AdjustVolume->Position(), 255);
    EXPECT_FALSE(edit->VerticalFlip());
    std::vector<std::string> calls = player.Take();
    for (const char* call : {"upCropFlim 0", "leftCropFlim 0", "noFlipFlim", "noEffectFlim", "setBrightness 0"})
        EXPECT_TRUE(Has(calls, call)) << call;
    dialogtest::ClickAt(edit.get(), edit->btnCancel);
    EXPECT_FALSE(edit->Visible());
    EXPECT_EQ(std::memcmp(row.effect, &effect, sizeof effect), 0);
    EXPECT_EQ(std::memcmp(row.crop, &crop, sizeof crop), 0);
    // Closing leaves the player showing the source as it is, for the other windows' previews.
    EXPECT_EQ(player.Take(), (std::vector<std::string>{"close_sdl", "cropFlim", "setPlayAspectRatio original",
                                                       "setBrightness 0", "setContrast 0", "setSaturation 0",
                                                       "noEffectFlim", "noFlipFlim"}));

    // The close button stores nothing either; the next opening shows the records again.
    Open();
    EXPECT_EQ(edit->Crop_left->GetValue(), 30);
    edit->Crop_left->SetFocus();
    edit->Crop_left->SetText("31");
    dialogtest::ClickAt(edit.get(), edit->close);
    EXPECT_EQ(row.crop->left, 30);
}

TEST_F(EditDialogTest, TheRowOpensAtShowingAndTheFirstPlayPauses) {
    std::snprintf(row.mediaInfo->path, sizeof row.mediaInfo->path, "/media/clip.mp4");
    *row.timeRange = {5, 45};
    Open();
    std::vector<std::string> calls = player.Take();
    const std::vector<std::string> attach = {"setEditWindow 1", "initPlayOption Editbj.bmp Editbj.bmp 370x280"};
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 2), attach);
    EXPECT_EQ(calls.end()[-2], "openMediaFile /media/clip.mp4 5-45");
    EXPECT_EQ(calls.end()[-1], "startPlay");
    EXPECT_EQ(edit->TotalTrackBar->Max(), 40);
    EXPECT_TRUE(edit->Playing());

    dialogtest::ClickAt(edit.get(), edit->btnPlay);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"pausePlay"});
    EXPECT_FALSE(edit->Playing());
    dialogtest::ClickAt(edit.get(), edit->btnPlay);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"startPlay"});
    dialogtest::ClickAt(edit.get(), edit->btnStop);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"stopPlay 1"});
    // Stopped: the next Play opens the row again.
    dialogtest::ClickAt(edit.get(), edit->btnPlay);
    EXPECT_EQ(player.Take(), (std::vector<std::string>{"openMediaFile /media/clip.mp4 5-45", "startPlay"}));

    // A DVD chapter row goes to the player as a title record of the row's chapter.
    edit->Close();
    DvdTitle title{};
    title.titleNumber = 2;
    title.ifoPath = "/dvd/VIDEO_TS/VTS_01_0.IFO";
    row.dvdTitle = &title;
    row.dvdKind = jobmodel::mkDvdChapter;
    row.dvdChapterNumber = 1;
    player.Take();
    Open();
    EXPECT_TRUE(Has(player.Take(), "openMultiTitleFile 1 chapter 2 5-45"));
    EXPECT_EQ(player.lastRecord, &edit->PlayRecord());
    EXPECT_EQ(edit->PlayRecord().info.titleNumberPlus1, 3);
    edit->Close();

    // A row the player cannot open keeps a bar of 0; editing still works.
    player.openResult = -1;
    Open();
    EXPECT_EQ(edit->TotalTrackBar->Max(), 0);
    edit->Effect_bright->SetPosition(12);
    dialogtest::ClickAt(edit.get(), edit->btnOK);
    EXPECT_EQ(row.effect->brightness, 20);
    row.dvdTitle = nullptr;
}

// Time reports come from the player's thread; the end of the stream and the bar are
// handled on the dialog's thread.
TEST_F(EditDialogTest, ReportsFromAnotherThreadOnlyPost) {
    Open();
    edit->TotalTrackBar->SetMax(100);
    player.Take();
    auto report = [](int seconds, int ended) {
        std::thread([=] {
            PlayTimeInfo info{};
            info.lengthMinutes = 1;
            info.minutes = seconds / 60;
            info.seconds = seconds % 60;
            info.ended = ended;
            OnPlayerTime(&info);
        }).join();
    };
    report(75, 0);
    EXPECT_EQ(edit->TotalTrackBar->Position(), 0);
    testsupport::PumpWindows();
    EXPECT_EQ(edit->TotalTrackBar->Position(), 75);

    // A press while playing makes the next report stale; the release seeks.
    edit->TotalTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(edit->PendingSeeks(), 1);
    edit->TotalTrackBar->SetPosition(30);
    report(80, 0);
    testsupport::PumpWindows();
    EXPECT_EQ(edit->TotalTrackBar->Position(), 30);
    edit->TotalTrackBarMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(player.Take(), std::vector<std::string>{"findDvdTimePlay 30"});

    // The end of the stream: the play button resets, the player is stopped on this thread.
    report(0, 1);
    EXPECT_TRUE(edit->Playing());
    testsupport::PumpWindows();
    EXPECT_FALSE(edit->Playing());
    EXPECT_FALSE(edit->Opened());
    std::vector<dialogtest::PlayerCall> calls = player.TakeWithThreads();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "stopPlay 1");
    EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
    EXPECT_EQ(edit->TotalTrackBar->Position(), 0);

    // Pressing and releasing the bar while stopped puts it back to 0 and counts nothing.
    edit->TotalTrackBar->SetPosition(40);
    edit->TotalTrackBarMouseDown(nullptr, mbLeft, {}, 0, 0);
    edit->TotalTrackBarMouseUp(nullptr, mbLeft, {}, 0, 0);
    EXPECT_EQ(edit->TotalTrackBar->Position(), 0);
    EXPECT_EQ(edit->PendingSeeks(), 0);
    EXPECT_FALSE(edit->SeekInProgress());
    EXPECT_TRUE(player.Take().empty());

    // A report with 60 seconds is dropped on the way.
    report(60 * 2, 0);
    PlayTimeInfo bad{};
    bad.seconds = 60;
    std::thread([&bad] { OnPlayerTime(&bad); }).join();
    testsupport::PumpWindows();
    EXPECT_EQ(edit->TotalTrackBar->Position(), 100);  // 120 kept within the bar; the 60 never came

    // A report still queued when the dialog closes does not reach the next preview.
    edit->btnPlayClick(nullptr);
    EXPECT_TRUE(edit->Playing());
    PlayTimeInfo end{};
    end.ended = 1;
    std::thread([&end] { OnPlayerTime(&end); }).join();
    edit->Close();
    player.Take();
    testsupport::PumpWindows();
    EXPECT_TRUE(player.Take().empty());
}

TEST_F(EditDialogTest, Screenshot) {
    *row.effect = {20, 0, 0, 0, 0, jobmodel::ekNone, 300};
    *row.crop = {16, 16, 16, 16, "original"};
    Open();
    dialogtest::Screenshot(edit.get(), "edit.png");
    edit->tabEffectClick(nullptr);
    dialogtest::Screenshot(edit.get(), "edit-effect.png");
    EXPECT_EQ(edit->Width(), edit->Skin().Width());
    // A skin change keeps the tab in use.
    edit->ReloadSkin();
    EXPECT_TRUE(edit->tabEffectPanel->Visible());
    EXPECT_FALSE(edit->tabCropPanel->Visible());
    EXPECT_TRUE(edit->btnEffectReset->Visible());
    EXPECT_FALSE(edit->btnCropReset->Visible());
}

}  // namespace
