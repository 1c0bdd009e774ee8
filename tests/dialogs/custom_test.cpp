// The customisation dialog over the main window, headless: what the working record takes
// from a row, what the controls show, what OK stores (and what the store file keeps), the
// page machine, the profile lists, proportional size, the output kinds, the galleries, the
// tabs, the credits, the rebuild timer on the virtual clock and the decoration frame.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <tuple>
#include <algorithm>

#include "app/app_support.h"
#include "app/mainfrm.h"
#include "dialogs/customfrm.h"
#include "dialogs_support.h"
#include "jobmodel/customstore.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/playerbridge.h"
#include "jobmodel/profiles.h"
#include "platform/controls/dialogs.h"
#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/registry.h"
#include "platform/graphics/graphics.h"
#include "platform/windows/backend.h"

std::vector<std::string> CustomOptionFieldNames();

namespace {

using namespace platform;
namespace fs = std::filesystem;
using jobmodel::CustomSetting;
using jobmodel::CustomSettingField;
using jobmodel::FieldKind;

// A tiny BMP of one colour.
void WriteBmp(const std::string& path, int w, int h, TColor colour) {
    TBitmap bitmap;
    bitmap.SetWidth(w);
    bitmap.SetHeight(h);
    bitmap.Canvas()->Brush()->SetColor(colour);
    bitmap.Canvas()->FillRect(TRect(0, 0, w, h));
    bitmap.SaveToFile(path);
}

void WriteJpeg(const std::string& path) {
    TBitmap bitmap;
    bitmap.SetWidth(16);
    bitmap.SetHeight(16);
    TJPEGImage jpeg;
    jpeg.Assign(&bitmap);
    jpeg.SaveToFile(path);
}

// Every file under a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        files[entry.path().string()] = bytes.str();
    }
    return files;
}

std::map<std::string, std::string> StoredDefaults() {
    std::map<std::string, std::string> values;
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(jobmodel::kCustomKey)) return values;
    TStringList names;
    registry.GetValueNames(&names);
    for (int i = 0; i < names.Count(); ++i) values[names.Strings(i)] = registry.ReadString(names.Strings(i));
    return values;
}

const CustomSettingField& Field(const std::string& name) {
    for (const CustomSettingField& f : jobmodel::CustomSettingFields())
        if (name == f.name) return f;
    throw std::logic_error("no field " + name);
}

// A field's bytes as text, for comparisons and messages.
std::string Bytes(const CustomSetting& r, const std::string& name) {
    const CustomSettingField& f = Field(name);
    const char* p = reinterpret_cast<const char*>(&r) + f.offset;
    if (f.kind == FieldKind::Text) return std::string(p, strnlen(p, f.width));
    return std::string(p, f.width);
}

class CustomTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::UseHeadlessDisplay();
        fs::copy(apptest::BuiltProgramFolder() / "templates", box.program.path() / "templates",
                 fs::copy_options::recursive);
        main = std::make_unique<TfrmMain>(nullptr);
        frmMain = main.get();
        frmCustom = new TfrmCustom(nullptr);
        dialog = frmCustom;
        main->AfterConstruction();
        dialog->AfterConstruction();
        main->Show();  // profiles and galleries
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT) {
            messages.push_back(text);
            return IDOK;
        };
        dialog->MeasureCreditText = [](const std::string& text) { return int(text.size()) * 5; };
        item.kind = jobmodel::mkFile;
        item.customSetting = jobmodel::NewCustomSetting();
        jobmodel::CopyCustomSetting(*item.customSetting, *jobmodel::DefaultCustomSetting);
        // A size the dialog accepts, and "Save as default" off.
        item.customSetting->Width = 640, item.customSetting->Height = 480;
        item.customSetting->IsCustom = 0;
        testsupport::PumpWindows();
    }
    void TearDown() override {
        Application->MessageBoxHandler = nullptr;
        DialogHandler = nullptr;
        delete frmCustom;
        frmCustom = nullptr;
        main.reset();
        frmMain = nullptr;
        jobmodel::Drop(item.customSetting);
    }
    void Open(jobmodel::MediaItem& row) {
        if (dialog->Visible()) dialog->closeClick(nullptr);
        dialog->SetCustomItem(&row);
        dialog->Show();
        testsupport::PumpWindows();
    }
    CustomSetting& Working() { return *jobmodel::CurrentCustomSetting; }
    int ProfileNamed(const std::string& display) {
        for (int i = 0; i < jobmodel::ProfileCatalogue.Count; ++i)
            if (display == jobmodel::ProfileCatalogue.Entries[i].DisplayName) return i;
        return -1;
    }

    apptest::Sandbox box;
    std::unique_ptr<TfrmMain> main;
    TfrmCustom* dialog = nullptr;
    jobmodel::MediaItem item{};
    std::vector<std::string> messages;
};

// ---- the option table ----

// Which fields the working record takes from the row at opening: written out from the
// dialog's description, not from its table.
const std::map<std::string, bool> kCopiedIn = {
    {"IsCustom", true}, {"IssettingCustom", true}, {"dscale", true}, {"dscale_X", true}, {"dscale_Y", true},
    {"ProfileName", false}, {"FormatName", false}, {"FileExtension", false}, {"FormatNumber", false},
    {"SimpleRate", false}, {"Channel", false}, {"AudioBitrate", false}, {"VideoBitRate", false},
    {"AudioEncoder", false}, {"VideoEncoder", false}, {"FrameRate", false}, {"Width", false}, {"Height", false},
    {"IsGeneralFlv", true}, {"IsGeneralSwf", true}, {"IsGeneralHtml", true}, {"IsGeneralThumbnail", true},
    {"SwfType", true}, {"BackgrounColor", true}, {"PlayerSkinPath", true}, {"EffectSkinPath", true},
    {"PreloaderSkinPath", true}, {"IsSkinAutoHide", true}, {"IsMouseAutoHide", true}, {"IsSliderAutoHide", true},
    {"IsAutoPlay", true}, {"hideDelay", true}, {"IsHideAll", true}, {"IsHideMuteBtn", true},
    {"IsHideFullscreenBtn", true}, {"IsHidePreNextBtn", true}, {"IsHidePlaylistBtn", true},
    {"IsHidePlayingprocessBar", true}, {"IsHideVolumeBar", true}, {"IsHidePlayingTime", true},
    {"IsHidePlayList", true}, {"IsCreditHead", true}, {"Head_imagePath", true}, {"Head_textContent", true},
    {"Head_fontType", true}, {"Head_fontSize", true}, {"Head_fontColor", true}, {"Head_fontX", true},
    {"Head_fontY", true}, {"Head_backgroundColor", true}, {"Head_duration", true}, {"IsCreditTail", true},
    {"Tail_imagePath", true}, {"Tail_textContent", true}, {"Tail_fontType", true}, {"Tail_fontSize", true},
    {"Tail_fontColor", true}, {"Tail_fontX", true}, {"Tail_fontY", true}, {"Tail_backgroundColor", true},
    {"Tail_duration", true}, {"IsDecorate", true}, {"FileType", true}, {"Dec_imagePath", true},
    {"Dec_textContent", true}, {"Dec_fontType", true}, {"Dec_fontSize", true}, {"Dec_fontColor", true},
    {"Dec_URL", true}, {"Dec_X", true}, {"Dec_Y", true}, {"Dec_Width", true}, {"Dec_Height", true},
    {"Dec_text_X", true}, {"Dec_text_Y", true}, {"Dec_text_Width", true}, {"Dec_text_Height", true},
    {"Dec_img_X", true}, {"Dec_img_Y", true}, {"Dec_img_Width", true}, {"Dec_img_Height", true},
};

TEST_F(CustomTest, EveryFieldOfTheRecordIsInTheExchangeTable) {
    std::vector<std::string> names = CustomOptionFieldNames();
    std::set<std::string> table(names.begin(), names.end());
    EXPECT_EQ(table.size(), names.size()) << "a field is named twice";
    for (const CustomSettingField& f : jobmodel::CustomSettingFields()) EXPECT_TRUE(table.count(f.name)) << f.name;
    for (const auto& [name, copied] : kCopiedIn) EXPECT_TRUE(table.count(name)) << name;
    EXPECT_EQ(kCopiedIn.size(), jobmodel::CustomSettingFields().size());
}

TEST_F(CustomTest, OpeningCopiesThePlayerPartOfTheRowIntoTheWorkingRecordAndNothingElse) {
    // A row differing from the working record in every byte of every field.
    CustomSetting& row = *item.customSetting;
    for (const CustomSettingField& f : jobmodel::CustomSettingFields()) {
        unsigned char* p = reinterpret_cast<unsigned char*>(&row) + f.offset;
        const unsigned char* w = reinterpret_cast<const unsigned char*>(&Working()) + f.offset;
        if (f.kind == FieldKind::Text) {
            std::string text = std::string("row ") + f.name;
            jobmodel::CopyTextField(reinterpret_cast<char*>(p), f.width, text.c_str());
        } else {
            for (std::size_t i = 0; i < f.width; ++i) p[i] = static_cast<unsigned char>(w[i] ^ 0x5A);
        }
    }
    CustomSetting before;
    jobmodel::CopyCustomSetting(before, Working());
    dialog->SetCustomItem(&item);
    for (const auto& [name, copied] : kCopiedIn) {
        EXPECT_EQ(Bytes(Working(), name), Bytes(copied ? row : before, name)) << name;
    }
}

// Every control of the dialog's exchange: the row's non-default value shows in it, and a
// value put in by the user reaches the field on OK.
TEST_F(CustomTest, ControlsShowTheRowAndOkStoresWhatTheUserSet) {
    std::string jpeg = box.Folder() + "decoration.jpg";
    WriteJpeg(jpeg);
    CustomSetting& r = *item.customSetting;
    struct Box {
        const char* field;
        skinctrl::TdvxCheckBox* TfrmCustom::*control;
    };
    // Written from the exchange's description; each row's value is the opposite of the default.
    const Box boxes[] = {
        {"IsGeneralHtml", &TfrmCustom::cus_html},         {"IsGeneralThumbnail", &TfrmCustom::cus_thumb},
        {"IsSkinAutoHide", &TfrmCustom::skinHide},        {"IsMouseAutoHide", &TfrmCustom::mouseHide},
        {"IsSliderAutoHide", &TfrmCustom::slideHide},     {"IsAutoPlay", &TfrmCustom::autoPlay},
        {"IsHideMuteBtn", &TfrmCustom::hideMute},         {"IsHideFullscreenBtn", &TfrmCustom::hideFullScreen},
        {"IsHidePreNextBtn", &TfrmCustom::hideBN},        {"IsHidePlaylistBtn", &TfrmCustom::hidePlaylist},
        {"IsHidePlayingprocessBar", &TfrmCustom::hidePlaybar}, {"IsHideVolumeBar", &TfrmCustom::hideVol},
        {"IsHidePlayingTime", &TfrmCustom::hideTime},     {"IsHidePlayList", &TfrmCustom::hideSlide},
        {"IsCreditHead", &TfrmCustom::headAddCredit},     {"IsCreditTail", &TfrmCustom::tailAddCredit},
        {"IsDecorate", &TfrmCustom::addCredits},          {"IsCustom", &TfrmCustom::custom_default},
        {"IsHideAll", &TfrmCustom::hideAll},
    };
    auto flag = [&](const char* name) -> long long {
        const CustomSettingField& f = Field(name);
        const unsigned char* p = reinterpret_cast<const unsigned char*>(&r) + f.offset;
        if (f.kind == FieldKind::ByteFlag) return *p;
        std::int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    };
    auto setFlag = [&](const char* name, int value) {
        const CustomSettingField& f = Field(name);
        unsigned char* p = reinterpret_cast<unsigned char*>(&r) + f.offset;
        if (f.kind == FieldKind::ByteFlag)
            *p = std::uint8_t(value);
        else
            std::memcpy(p, &value, 4);
    };
    std::map<std::string, bool> defaults;
    for (const Box& b : boxes) {
        defaults[b.field] = flag(b.field) != 0;
        setFlag(b.field, defaults[b.field] ? 0 : 1);
    }
    r.Width = 640, r.Height = 480, r.hideDelay = 17, r.Head_duration = 9, r.Tail_duration = 11;
    r.BackgrounColor = {1, 2, 3};
    r.Head_backgroundColor = {10, 20, 30};
    r.Tail_backgroundColor = {40, 50, 60};
    jobmodel::CopyTextField(r.Head_imagePath, "/pictures/head.jpg");
    jobmodel::CopyTextField(r.Head_textContent, "Opening");
    jobmodel::CopyTextField(r.Tail_imagePath, "/pictures/tail.jpg");
    jobmodel::CopyTextField(r.Tail_textContent, "The end");
    jobmodel::CopyTextField(r.Dec_textContent, "Watermark");
    jobmodel::CopyTextField(r.Dec_imagePath, jpeg.c_str());
    jobmodel::CopyTextField(r.Dec_URL, "http://example.org/");
    r.FileType = 2;
    r.SwfType = 1;

    Open(item);
    for (const Box& b : boxes) EXPECT_EQ((dialog->*b.control)->Checked(), !defaults[b.field]) << b.field;
    EXPECT_EQ(dialog->width->GetValue(), 640);
    EXPECT_EQ(dialog->height->GetValue(), 480);
    EXPECT_EQ(dialog->hideDealyValue->GetValue(), 17);
    EXPECT_EQ(dialog->head_duration->GetValue(), 9);
    EXPECT_EQ(dialog->tail_duration->GetValue(), 11);
    EXPECT_EQ(dialog->cmbBackground->GetSelected(), TColor(1 | 2 << 8 | 3 << 16));
    EXPECT_EQ(dialog->head_bgcolor->GetSelected(), TColor(10 | 20 << 8 | 30 << 16));
    EXPECT_EQ(dialog->tail_bgcolor->GetSelected(), TColor(40 | 50 << 8 | 60 << 16));
    EXPECT_EQ(dialog->head_image->Text(), "/pictures/head.jpg");
    EXPECT_EQ(dialog->headMemo->Text(), "Opening");
    EXPECT_EQ(dialog->tail_image->Text(), "/pictures/tail.jpg");
    EXPECT_EQ(dialog->tailMemo->Text(), "The end");
    EXPECT_EQ(dialog->textValue->Text(), "Watermark");
    EXPECT_EQ(dialog->imgValue->Text(), jpeg);
    EXPECT_EQ(dialog->urlValue->Text(), "http://example.org/");
    EXPECT_TRUE(dialog->text->Checked());
    EXPECT_TRUE(dialog->swfType_1->Checked());

    // The user turns every box back and sets new values.
    for (const Box& b : boxes) (dialog->*b.control)->SetChecked(defaults[b.field]);
    dialog->width->SetText("720");
    dialog->height->SetText("576");
    dialog->hideDealyValue->SetText("23");
    dialog->head_duration->SetText("4");
    dialog->tail_duration->SetText("6");
    dialog->headMemo->SetText("Hello");
    dialog->tailMemo->SetText("Bye");
    dialog->textValue->SetText("Mark");
    dialog->urlValue->SetText("example.net");
    dialog->swfType_2->SetChecked(true);
    dialog->btnOKClick(nullptr);

    for (const Box& b : boxes) EXPECT_EQ(flag(b.field) != 0, defaults[b.field]) << b.field;
    EXPECT_EQ(r.Width, 720);
    EXPECT_EQ(r.Height, 576);
    EXPECT_EQ(r.hideDelay, 23);
    EXPECT_EQ(r.Head_duration, 4);
    EXPECT_EQ(r.Tail_duration, 6);
    EXPECT_STREQ(r.Head_textContent, "Hello");
    EXPECT_STREQ(r.Tail_textContent, "Bye");
    EXPECT_STREQ(r.Dec_textContent, "Mark");
    EXPECT_STREQ(r.Dec_URL, "http://example.net");
    EXPECT_EQ(r.SwfType, 2);
    EXPECT_TRUE(messages.empty());
}

TEST_F(CustomTest, ARecordDifferentFromTheDefaultsSurvivesShowAndStore) {
    // A valid record unlike the defaults in every field the dialog exchanges.
    int p = ProfileNamed("High quality(Flash Video Files)");
    ASSERT_GE(p, 0);
    const ProfileEntry& profile = jobmodel::ProfileCatalogue.Entries[p];
    CustomSetting& r = *item.customSetting;
    jobmodel::CopyTextField(r.ProfileName, profile.ProfileName);
    jobmodel::CopyTextField(r.FormatName, profile.FormatName);
    jobmodel::CopyTextField(r.FileExtension, profile.FileExtension);
    r.FormatNumber = profile.FormatNumber;
    // The last option of every codec parameter.
    for (int i = 0; i < profile.ParamCount; ++i) {
        const ProfileParam& param = profile.Params[i];
        std::string name = param.Name, value = param.Options[param.OptionCount - 1].Value;
        if (name == "ar") r.SimpleRate = std::stoi(value);
        if (name == "ac") r.Channel = std::stoi(value);
        if (name == "ab") r.AudioBitrate = std::stoi(value);
        if (name == "b") r.VideoBitRate = std::stoi(value);
        if (name == "acodec") jobmodel::CopyTextField(r.AudioEncoder, value.c_str());
        if (name == "vcodec") jobmodel::CopyTextField(r.VideoEncoder, value.c_str());
        if (name == "r") r.FrameRate = std::stof(value);
    }
    r.IsCustom = 0;
    r.IssettingCustom = 0;
    r.Width = 400, r.Height = 300;
    r.IsGeneralFlv = 1, r.IsGeneralSwf = 1, r.IsGeneralHtml = 0, r.IsGeneralThumbnail = 0, r.SwfType = 1;
    r.BackgrounColor = {9, 8, 7};
    jobmodel::CopyTextField(r.PlayerSkinPath, "None");
    jobmodel::CopyTextField(r.EffectSkinPath, "Snow");
    jobmodel::CopyTextField(r.PreloaderSkinPath, "Dots");
    r.IsSkinAutoHide = 0, r.IsMouseAutoHide = 0, r.IsSliderAutoHide = 0, r.IsAutoPlay = 1, r.hideDelay = 42;
    r.IsHideAll = 1, r.IsHideMuteBtn = 1, r.IsHideFullscreenBtn = 1, r.IsHidePreNextBtn = 0, r.IsHidePlaylistBtn = 1;
    r.IsHidePlayingprocessBar = 1, r.IsHideVolumeBar = 1, r.IsHidePlayingTime = 1, r.IsHidePlayList = 1;
    for (auto [on, image, text, face, size, x, y, colour, card, duration] :
         {std::tuple{&r.IsCreditHead, r.Head_imagePath, r.Head_textContent, r.Head_fontType, &r.Head_fontSize,
                     &r.Head_fontX, &r.Head_fontY, &r.Head_fontColor, &r.Head_backgroundColor, &r.Head_duration},
          std::tuple{&r.IsCreditTail, r.Tail_imagePath, r.Tail_textContent, r.Tail_fontType, &r.Tail_fontSize,
                     &r.Tail_fontX, &r.Tail_fontY, &r.Tail_fontColor, &r.Tail_backgroundColor, &r.Tail_duration}}) {
        *on = 1;
        jobmodel::CopyTextField(image, 1024, "/pictures/card.jpg");
        jobmodel::CopyTextField(text, 1024, "Credit");
        jobmodel::CopyTextField(face, 1024, "DejaVu Serif");
        *size = 19, *x = 33, *y = 44, *colour = {200, 100, 50}, *card = {5, 6, 7}, *duration = 12;
    }
    std::string jpeg = box.Folder() + "decoration.jpg";
    WriteJpeg(jpeg);
    r.IsDecorate = 1, r.FileType = 1;
    jobmodel::CopyTextField(r.Dec_imagePath, jpeg.c_str());
    jobmodel::CopyTextField(r.Dec_textContent, "Mark");
    jobmodel::CopyTextField(r.Dec_fontType, "DejaVu Sans");
    r.Dec_fontSize = 21, r.Dec_fontColor = {1, 1, 1};
    jobmodel::CopyTextField(r.Dec_URL, "http://example.org/x");
    r.Dec_X = 11, r.Dec_Y = 12, r.Dec_Width = 80, r.Dec_Height = 60;
    r.Dec_text_X = 21, r.Dec_text_Y = 22, r.Dec_text_Width = 23, r.Dec_text_Height = 24;
    r.Dec_img_X = 11, r.Dec_img_Y = 12, r.Dec_img_Width = 80, r.Dec_img_Height = 60;

    Open(item);
    dialog->ShowPage(2);
    dialog->ShowPage(3);  // the browser is fitted: the scales are taken from it
    customrules::Scales s =
        customrules::OutputScales(400, 300, dialog->webBrowser->Width(), dialog->webBrowser->Height());
    r.dscale = s.area, r.dscale_X = s.x, r.dscale_Y = s.y;
    CustomSetting expected;
    jobmodel::CopyCustomSetting(expected, r);
    dialog->btnOKClick(nullptr);
    ASSERT_TRUE(messages.empty()) << messages.front();
    for (const CustomSettingField& f : jobmodel::CustomSettingFields())
        EXPECT_EQ(Bytes(r, f.name), Bytes(expected, f.name)) << f.name;
}

TEST_F(CustomTest, ColourBoxesShowListedColoursByNameAndOthersAsCustom) {
    // The custom entry starts out black: black must still show as the listed colour.
    struct Case {
        std::uint8_t r, g, b;
        const char* shown;
    } cases[] = {
        {0, 0, 0, "Black"},     {255, 255, 255, "White"}, {0, 0, 128, "Navy"},
        {1, 2, 3, "Custom..."}, {0, 0, 0, "Black"},       {192, 220, 192, "Money Green"},
    };
    for (const Case& c : cases) {
        item.customSetting->BackgrounColor = {c.r, c.g, c.b};
        item.customSetting->Head_backgroundColor = {c.r, c.g, c.b};
        item.customSetting->Tail_backgroundColor = {c.r, c.g, c.b};
        Open(item);
        TColor colour = TColor(c.r | c.g << 8 | c.b << 16);
        for (skinctrl::TdvxColorBox* box : {dialog->cmbBackground, dialog->head_bgcolor, dialog->tail_bgcolor}) {
            box->HandleNeeded();  // as when its page shows; later openings find the window made
            EXPECT_EQ(box->GetColorName(box->ItemIndex()), c.shown) << box->Name() << " " << c.shown;
            EXPECT_EQ(box->GetSelected(), colour) << box->Name() << " " << c.shown;
        }
        // OK gives the colour back unchanged.
        dialog->btnOKClick(nullptr);
        EXPECT_EQ(item.customSetting->BackgrounColor.r, c.r) << c.shown;
        EXPECT_EQ(item.customSetting->BackgrounColor.b, c.b) << c.shown;
    }
}

TEST_F(CustomTest, OkLeavesTheStoreUntouchedUnlessSaveAsDefaultIsTicked) {
    item.customSetting->IsCustom = 0;
    jobmodel::SaveCustomSetting();  // earlier defaults in the store
    Open(item);
    ASSERT_FALSE(dialog->custom_default->Checked());
    dialog->width->SetText("800");
    std::map<std::string, std::string> files = Snapshot(box.store.path());
    dialog->btnOKClick(nullptr);
    EXPECT_EQ(item.customSetting->Width, 800);
    EXPECT_EQ(Snapshot(box.store.path()), files);

    // Ticked: the size, the codec values and their profile become the defaults, with the
    // scales the store wrote into the working record; nothing else changes.
    Open(item);
    jobmodel::SaveCustomSetting();  // the working record as this opening made it
    std::map<std::string, std::string> before = StoredDefaults();
    dialog->custom_default->SetChecked(true);
    dialog->width->SetText("960");
    dialog->btnOKClick(nullptr);
    std::map<std::string, std::string> after = StoredDefaults();
    std::set<std::string> changed;
    for (const auto& [name, value] : after)
        if (before[name] != value) changed.insert(name);
    // The height is the row's (the working record had the profile's); the vertical scale
    // is what the earlier OK stored.
    EXPECT_EQ(changed, (std::set<std::string>{"Width", "Height", "IsCustom", "dscale", "dscale_X"}));
    EXPECT_EQ(after["Width"], "960");
    EXPECT_EQ(after["ProfileName"], jobmodel::FieldText(item.customSetting->ProfileName));
}

TEST_F(CustomTest, SaveAsDefaultCarriesTheProfileWithItsCodecValues) {
    int p = ProfileNamed("High quality(Flash Video Files)");
    ASSERT_GE(p, 0);
    Open(item);
    dialog->comProfile->SetItemIndex(p);
    dialog->comProfileChange(dialog->comProfile);
    dialog->custom_default->SetChecked(true);
    dialog->btnOKClick(nullptr);
    const ProfileEntry& profile = jobmodel::ProfileCatalogue.Entries[p];
    EXPECT_STREQ(Working().ProfileName, profile.ProfileName);
    EXPECT_STREQ(Working().FormatName, profile.FormatName);
    EXPECT_STREQ(Working().FileExtension, profile.FileExtension);
    EXPECT_EQ(Working().FormatNumber, profile.FormatNumber);
    EXPECT_EQ(StoredDefaults()["ProfileName"], profile.ProfileName);
    // The next start takes the format from the saved profile (the format is not stored).
    jobmodel::CopyTextField(Working().FormatName, "stale");
    jobmodel::CopyTextField(Working().FileExtension, "old");
    Working().FormatNumber = -7;
    ASSERT_TRUE(jobmodel::LoadCustomSetting());
    EXPECT_STREQ(Working().FormatName, profile.FormatName);
    EXPECT_STREQ(Working().FileExtension, profile.FileExtension);
    EXPECT_EQ(Working().FormatNumber, profile.FormatNumber);
}

TEST_F(CustomTest, AFailedSaveShowsTheErrorAndKeepsTheDialogOpen) {
    Open(item);
    dialog->custom_default->SetChecked(true);
    // The store's folder becomes a file: the write fails.
    fs::path store = box.store.path();
    std::map<std::string, std::string> kept = Snapshot(store);
    fs::rename(store, store.string() + ".away");
    std::ofstream(store.string()) << "not a folder";
    dialog->btnOKClick(nullptr);
    fs::remove(store);
    fs::rename(store.string() + ".away", store);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("not saved"), std::string::npos) << messages[0];
    EXPECT_TRUE(dialog->Visible());
    EXPECT_EQ(Snapshot(store), kept);
}

// ---- the frame ----

TEST_F(CustomTest, PageMachine) {
    Open(item);
    EXPECT_EQ(dialog->CurrentPage, 1);
    EXPECT_TRUE(dialog->customize_BG1->Visible());
    EXPECT_FALSE(dialog->btnBack->Enabled());
    EXPECT_TRUE(dialog->btnNext->Enabled());
    EXPECT_FALSE(dialog->cus_flv->Visible());
    dialogtest::ClickAt(dialog, dialog->btnNext);
    EXPECT_EQ(dialog->CurrentPage, 2);
    EXPECT_TRUE(dialog->customize_BG2->Visible());
    EXPECT_FALSE(dialog->customize_BG1->Visible());
    EXPECT_TRUE(dialog->btnBack->Enabled());
    dialogtest::Screenshot(dialog, "custom-page2.png");
    // Without a player there is no player page.
    dialog->cus_swf->SetChecked(false);
    EXPECT_FALSE(dialog->btnNext->Enabled());
    EXPECT_FALSE(dialog->cus_html->Enabled());
    dialog->cus_swf->SetChecked(true);
    dialogtest::ClickAt(dialog, dialog->btnNext);
    EXPECT_EQ(dialog->CurrentPage, 3);
    EXPECT_FALSE(dialog->btnNext->Enabled());
    dialog->btnNextClick(nullptr);  // beyond the last page: nothing
    EXPECT_EQ(dialog->CurrentPage, 3);
    // The preview was built and shown in the fitted browser.
    ASSERT_FALSE(dialog->webBrowser->Navigations().empty());
    const std::string preview = dialog->webBrowser->Navigations().back().path;
    EXPECT_EQ(preview, jobmodel::PreviewPlayerPath(box.Folder()));
    EXPECT_EQ(preview.rfind(box.Folder() + "temp/preview-", 0), 0u) << preview;
    EXPECT_TRUE(fs::exists(preview));
    dialogtest::Screenshot(dialog, "custom-page3.png");
    dialogtest::ClickAt(dialog, dialog->btnBack);
    EXPECT_EQ(dialog->CurrentPage, 2);

    // Too small an output: the message, page 1, still open, nothing stored.
    dialog->width->SetText("339");
    dialog->height->SetText("300");
    dialog->btnOKClick(nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "The minimum resolution is 340x255,and the maximum resolution is 1920x1280.");
    EXPECT_EQ(dialog->CurrentPage, 1);
    EXPECT_FALSE(dialog->btnBack->Enabled());
    EXPECT_TRUE(dialog->Visible());
    EXPECT_NE(item.customSetting->Width, 339);
    dialogtest::Screenshot(dialog, "custom-page1.png");
    dialog->btnNextClick(nullptr);
    EXPECT_EQ(dialog->CurrentPage, 2);
    dialog->width->SetText("340");
    dialog->height->SetText("255");
    dialog->btnOKClick(nullptr);
    EXPECT_EQ(item.customSetting->Width, 340);
    EXPECT_FALSE(dialog->Visible());

    // A second opening starts on page 1 with the second row's values.
    jobmodel::MediaItem other{};
    other.customSetting = jobmodel::NewCustomSetting();
    jobmodel::CopyCustomSetting(*other.customSetting, *jobmodel::DefaultCustomSetting);
    other.customSetting->Width = 5000, other.customSetting->Height = 4000;
    Open(other);
    EXPECT_EQ(dialog->CurrentPage, 1);
    EXPECT_EQ(dialog->width->GetValue(), 5000);
    dialog->btnOKClick(nullptr);  // large sizes pass
    EXPECT_EQ(other.customSetting->Height, 4000);
    jobmodel::Drop(other.customSetting);
}

// A row made from a shipped profile, or from the first run's working record, passes OK as it
// stands: nobody has to change the size to change the player.
TEST_F(CustomTest, EveryShippedProfilePassesTheDialogsChecksUntouched) {
    main->LoadProfiles(std::string(std::getenv("LUMACAST_SOURCE_DIR")) + "/assets/profile/");
    const int count = jobmodel::ProfileCatalogue.Count;
    ASSERT_GE(count, 8);
    for (int entry = -1; entry < count; ++entry) {
        // -1: the working record of the first run, built from the default profile.
        if (entry >= 0) jobmodel::BuildDefaultSettings(entry);
        SCOPED_TRACE(entry < 0 ? "first run" : jobmodel::ProfileCatalogue.Entries[entry].DisplayName);
        jobmodel::MediaItem row{};
        row.kind = jobmodel::mkFile;
        row.customSetting = jobmodel::NewCustomSetting();
        jobmodel::CopyCustomSetting(*row.customSetting, *jobmodel::CurrentCustomSetting);
        messages.clear();
        Open(row);
        dialog->btnOKClick(nullptr);
        EXPECT_TRUE(messages.empty()) << messages.front();
        EXPECT_FALSE(dialog->Visible());
        EXPECT_EQ(row.customSetting->Width, jobmodel::DefaultCustomSetting->Width);
        EXPECT_EQ(row.customSetting->Height, jobmodel::DefaultCustomSetting->Height);
        jobmodel::Drop(row.customSetting);
    }
}

// Page 1 as a new user reads it: below the profile row every label and list stands wholly
// inside one of the page's two sunken panels (the insets the skin draws where the player
// page's tab panels and preview lie), every label's text is as wide as the label at most,
// and every entry of every shipped profile fits the text area of its list.
TEST_F(CustomTest, PageOneShowsEveryLabelAndValueWholeInsideItsPanel) {
    main->LoadProfiles(std::string(std::getenv("LUMACAST_SOURCE_DIR")) + "/assets/profile/");
    Open(item);
    const TRect panels[] = {dialog->tabPlayerPanel->BoundsRect(), dialog->webPanel->BoundsRect()};
    auto inside = [](const TRect& r, const TRect& panel) {
        return r.left >= panel.left && r.top >= panel.top && r.right <= panel.right && r.bottom <= panel.bottom;
    };
    TBitmap scratch;
    scratch.SetSize(8, 8);
    TCanvas* canvas = scratch.Canvas();
    auto textWidth = [&](TFont* font, const std::string& text) {
        canvas->SetFont(font);
        return canvas->TextWidth(text);
    };
    TWinControl* page = dialog->customize_BG1;
    int checked = 0;
    for (int i = 0; i < dialog->ComponentCount(); ++i) {
        auto* control = dynamic_cast<TControl*>(dialog->Components(i));
        if (!control || control->Parent() != page) continue;
        if (!control->Visible() || control->Top() < panels[0].top) continue;  // the title and profile rows
        const TRect r = control->BoundsRect();
        std::string what = control->Name();
        if (auto* label = dynamic_cast<TLabel*>(control)) {
            what = label->Caption();
            EXPECT_LE(textWidth(label->Font(), label->Caption()), label->Width()) << what;
        }
        SCOPED_TRACE(what);
        EXPECT_TRUE(inside(r, panels[0]) || inside(r, panels[1]))
            << "(" << r.left << ", " << r.top << ") - (" << r.right << ", " << r.bottom << ")";
        ++checked;
    }
    EXPECT_GE(checked, 20);

    // Every entry of every shipped profile, and the profile names, whole in their lists.
    std::vector<TCustomComboBox*> lists = {dialog->cmbSampleRate,   dialog->cmbAudioChannel, dialog->cmbAudioEncoder,
                                           dialog->cmbAudioBitrate, dialog->cmbVideoEncoder, dialog->cmbVideoBitrate,
                                           dialog->cmbFrameRate,    dialog->comProfile};
    int entries = 0;
    for (int profile = 0; profile < jobmodel::ProfileCatalogue.Count; ++profile) {
        dialog->FillProfileCombos(profile);
        for (TCustomComboBox* list : lists) {
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetComboBoxInfo(list->Handle(), &info));
            const int room = info.rcItem.right - info.rcItem.left - 2;  // the item's text starts 2 pixels in
            for (int k = 0; k < list->Items()->Count(); ++k, ++entries)
                EXPECT_LE(textWidth(list->Font(), list->Items()->Strings(k)), room)
                    << list->Name() << ": " << list->Items()->Strings(k);
        }
    }
    EXPECT_GT(entries, 100);
    dialog->FillProfileCombos(dialog->ProfileIndex);
    dialogtest::Screenshot(dialog, "custom-page1-profile.png");
}

TEST_F(CustomTest, OpeningKeepsTheRowsOwnProfileAndAVanishedPictureIsForgottenEverywhere) {
    int high = ProfileNamed("High quality(Flash Video Files)");
    ASSERT_GE(high, 0);
    CustomSetting& r = *item.customSetting;
    jobmodel::CopyTextField(r.ProfileName, jobmodel::ProfileCatalogue.Entries[high].ProfileName);
    jobmodel::CopyTextField(r.Dec_imagePath, (box.Folder() + "gone.jpg").c_str());
    r.Dec_img_Width = 50, r.Dec_img_Height = 40;
    Open(item);
    EXPECT_EQ(dialog->ProfileIndex, high);
    EXPECT_EQ(dialog->comProfile->ItemIndex(), high);
    EXPECT_STREQ(r.Dec_imagePath, "");
    EXPECT_STREQ(Working().Dec_imagePath, "");
    EXPECT_EQ(Working().Dec_img_Width, 0);
    // OK without touching page 1 keeps the profile (whatever the list showed before).
    dialog->btnOKClick(nullptr);
    EXPECT_STREQ(r.ProfileName, jobmodel::ProfileCatalogue.Entries[high].ProfileName);
    EXPECT_STREQ(r.Dec_imagePath, "");

    // A row set by hand shows "Custom"; its profile stays its own.
    r.IssettingCustom = 1;
    Open(item);
    EXPECT_EQ(dialog->comProfile->ItemIndex(), dialog->CustomEntry());
    EXPECT_EQ(dialog->ProfileIndex, high);
    dialog->btnOKClick(nullptr);
    EXPECT_STREQ(r.ProfileName, jobmodel::ProfileCatalogue.Entries[high].ProfileName);
}

TEST_F(CustomTest, CloseStoresNothingAndStopsAPendingRebuild) {
    Open(item);
    dialog->ShowPage(2);
    dialog->ShowPage(3);
    CustomSetting before;
    jobmodel::CopyCustomSetting(before, *item.customSetting);
    dialog->hideMute->SetChecked(!dialog->hideMute->Checked());
    dialog->hideDealyValue->SetText("99");
    EXPECT_TRUE(dialog->RebuildPending());
    dialog->closeClick(nullptr);
    EXPECT_FALSE(dialog->RebuildPending());
    EXPECT_FALSE(dialog->Visible());
    for (const CustomSettingField& f : jobmodel::CustomSettingFields())
        EXPECT_EQ(Bytes(*item.customSetting, f.name), Bytes(before, f.name)) << f.name;
    EXPECT_EQ(Working().hideDelay, 99);  // the working record keeps the change
}

// ---- pages 1 and 2 ----

class CustomProfilesTest : public CustomTest {
protected:
    void SetUp() override {
        CustomTest::SetUp();
        // Three small profiles of our own.
        fs::path folder = box.program.path() / "fixture-profiles";
        fs::create_directories(folder);
        auto write = [&](const char* file, const char* name, const char* display, const char* params) {
            std::ofstream(folder / file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<profile name=\"" << name
                                         << "\" display=\"" << display
                                         << "\" format=\"flv\" extension=\"flv\" number=\"1\">\n"
                                         << params << "</profile>\n";
        };
        write("a.xml", "a", "Profile A",
              "<param name=\"acodec\" kind=\"text\" default=\"mp3\"><option value=\"mp3\" label=\"MP3\"/>"
              "<option value=\"aac\" label=\"AAC\"/></param>\n"
              "<param name=\"b\" kind=\"integer\" default=\"512\"><option value=\"256\"/><option value=\"512\"/>"
              "</param>\n"
              "<param name=\"r\" kind=\"decimal\" default=\"25\"><option value=\"25\"/><option value=\"29\"/>"
              "<option value=\"29.97\"/><option value=\"30\"/></param>\n");
        write("b.xml", "b", "Profile B",
              "<param name=\"ar\" kind=\"integer\" default=\"44100\"><option value=\"22050\"/>"
              "<option value=\"44100\"/></param>\n");
        write("c.xml", "c", "Profile C",
              "<param name=\"s\" kind=\"text\" default=\"320x240\"><option value=\"320x240\"/></param>\n");
        jobmodel::ProfileLines lines = jobmodel::LoadProfileCatalogue(folder.string() + "/");
        ASSERT_EQ(jobmodel::ProfileCatalogue.Count, 3);
        dialog->comProfile->Items()->Clear();
        for (const std::string& line : lines.lines) dialog->comProfile->Items()->Add(line);
    }
    std::vector<std::string> Lines(skinctrl::TdvxComboBox* list) {
        std::vector<std::string> out;
        for (int i = 0; i < list->Items()->Count(); ++i) out.push_back(list->Items()->Strings(i));
        return out;
    }
};

TEST_F(CustomProfilesTest, CodecListsFollowTheChosenProfile) {
    dialog->FillProfileCombos(0);
    EXPECT_EQ(Lines(dialog->cmbAudioEncoder), (std::vector<std::string>{"MP3", "AAC"}));
    EXPECT_EQ(dialog->cmbVideoBitrate->ItemIndex(), 1);  // the default
    EXPECT_EQ(Lines(dialog->cmbFrameRate).size(), 4u);
    // B has only a sample rate: the other lists keep what they show.
    dialog->FillProfileCombos(1);
    EXPECT_EQ(Lines(dialog->cmbSampleRate), (std::vector<std::string>{"22050", "44100"}));
    EXPECT_EQ(Lines(dialog->cmbAudioEncoder), (std::vector<std::string>{"MP3", "AAC"}));
    // C has none of the seven; "Custom" (index 3) stands for the last profile, C.
    std::vector<std::string> rates = Lines(dialog->cmbSampleRate);
    dialog->FillProfileCombos(3);
    EXPECT_EQ(Lines(dialog->cmbSampleRate), rates);
    dialog->FillProfileCombos(-1);  // nothing selected: nothing filled
    EXPECT_EQ(Lines(dialog->cmbSampleRate), rates);
}

TEST_F(CustomProfilesTest, ACodecPickTurnsTheProfileToCustomAndAProfilePickResetsTheLists) {
    Open(item);
    dialog->comProfile->SetItemIndex(0);
    dialog->comProfileChange(dialog->comProfile);
    EXPECT_EQ(item.customSetting->IsCustom, 0);  // a profile picked by hand
    dialog->cmbAudioEncoder->SetItemIndex(1);
    dialog->CodecListChange(dialog->cmbAudioEncoder);
    EXPECT_EQ(dialog->comProfile->ItemIndex(), 3);
    EXPECT_EQ(dialog->ProfileIndex, 0);
    EXPECT_EQ(Working().IssettingCustom, 1);
    dialog->cmbVideoBitrate->SetItemIndex(0);
    dialog->CodecListChange(dialog->cmbVideoBitrate);
    EXPECT_EQ(dialog->ProfileIndex, 3);
    dialog->comProfile->SetItemIndex(0);
    dialog->comProfileChange(dialog->comProfile);
    EXPECT_EQ(dialog->cmbAudioEncoder->ItemIndex(), 0);
    EXPECT_EQ(dialog->cmbVideoBitrate->ItemIndex(), 1);
}

TEST_F(CustomProfilesTest, OptionsMatchTheFirstEqualValueAndABadValueIsReportedNotStored) {
    CustomSetting& r = *item.customSetting;
    jobmodel::CopyTextField(r.ProfileName, "a");
    jobmodel::CopyTextField(r.AudioEncoder, "mp3");
    r.VideoBitRate = 256;
    r.FrameRate = 29.97f;
    Open(item);
    EXPECT_EQ(dialog->cmbAudioEncoder->ItemIndex(), 0);
    EXPECT_EQ(dialog->cmbVideoBitrate->ItemIndex(), 0);
    EXPECT_EQ(dialog->cmbFrameRate->ItemIndex(), 1);  // "29", the first that truncates to 29
    dialog->btnOKClick(nullptr);
    EXPECT_STREQ(r.AudioEncoder, "mp3");
    EXPECT_FLOAT_EQ(r.FrameRate, 29.0f);

    // A bit rate option that is not a number: reported, the field kept, the rest stored.
    ProfileParam* bitrate = nullptr;
    for (int i = 0; i < jobmodel::ProfileCatalogue.Entries[0].ParamCount; ++i)
        if (std::string(jobmodel::ProfileCatalogue.Entries[0].Params[i].Name) == "b")
            bitrate = &jobmodel::ProfileCatalogue.Entries[0].Params[i];
    ASSERT_NE(bitrate, nullptr);
    std::strcpy(bitrate->Options[1].Value, "fast");
    apptest::Reports reports;
    Open(item);
    dialog->cmbVideoBitrate->SetItemIndex(1);
    dialog->width->SetText("704");
    dialog->btnOKClick(nullptr);
    EXPECT_EQ(r.VideoBitRate, 256);
    EXPECT_EQ(r.Width, 704);
    ASSERT_EQ(reports.lines.size(), 1u);
    EXPECT_NE(reports.lines[0].find("\"fast\""), std::string::npos) << reports.lines[0];
}

TEST_F(CustomTest, ProportionalSize) {
    Open(item);
    dialog->proportional->SetChecked(true);
    dialog->width->SetValue(320);
    dialog->height->SetValue(240);
    dialog->RememberSize();
    int heights[] = {4, 48, 480};
    const char* typed[] = {"6", "64", "640"};
    for (int i = 0; i < 3; ++i) {
        dialog->width->SetText(typed[i]);
        EXPECT_EQ(dialog->height->GetValue(), heights[i]) << typed[i];
    }
    dialog->width->SetText("");
    EXPECT_EQ(dialog->height->Text(), "1");
    dialog->width->SetValue(320);
    dialog->height->SetValue(240);
    dialog->RememberSize();
    dialog->height->SetText("100");
    EXPECT_EQ(dialog->width->GetValue(), 133);
    // A remembered 0 is passed over: nothing divides by it.
    dialog->width->SetText("0");
    dialog->RememberSize();
    dialog->height->SetText("50");
    EXPECT_EQ(dialog->width->Text(), "0");
    // Unticked: nothing follows.
    dialog->proportional->SetChecked(false);
    dialog->width->SetValue(500);
    EXPECT_EQ(dialog->height->GetValue(), 50);
}

TEST_F(CustomTest, OutputKinds) {
    Open(item);
    ASSERT_TRUE(dialog->cus_flv->Checked());
    ASSERT_TRUE(dialog->cus_swf->Checked());
    // HTML remembered across SWF off and on; the first time in a run it comes back unchecked.
    dialog->cus_html->SetChecked(true);
    dialog->cus_swf->SetChecked(false);
    EXPECT_FALSE(dialog->cus_html->Checked());
    EXPECT_FALSE(dialog->cus_html->Enabled());
    EXPECT_FALSE(dialog->swfType_1->Enabled());
    dialog->cus_swf->SetChecked(true);
    EXPECT_TRUE(dialog->cus_html->Checked());
    EXPECT_TRUE(dialog->swfType_2->Enabled());
    // FLV off: the embedded type only; then SWF cannot go too.
    dialog->cus_flv->SetChecked(false);
    EXPECT_TRUE(dialog->swfType_1->Checked());
    EXPECT_FALSE(dialog->swfType_2->Enabled());
    dialog->cus_swf->SetChecked(false);
    EXPECT_TRUE(dialog->cus_swf->Checked());
    EXPECT_TRUE(dialog->cus_html->Checked());  // the refused change changed nothing else
    dialog->cus_flv->SetChecked(true);
    EXPECT_TRUE(dialog->swfType_2->Enabled());

    // A slide: always FLV and a thumbnail, never the embedded type, at once in its record.
    jobmodel::MediaItem slide{};
    slide.kind = jobmodel::mkSlide;
    slide.customSetting = jobmodel::NewCustomSetting();
    jobmodel::CopyCustomSetting(*slide.customSetting, *jobmodel::DefaultCustomSetting);
    slide.customSetting->SwfType = 1;
    Open(slide);
    EXPECT_EQ(slide.customSetting->SwfType, 2);
    EXPECT_TRUE(dialog->swfType_2->Checked());
    EXPECT_FALSE(dialog->swfType_1->Enabled());
    dialog->cus_thumb->SetChecked(false);
    EXPECT_TRUE(dialog->cus_thumb->Checked());
    dialog->cus_flv->SetChecked(false);
    EXPECT_TRUE(dialog->cus_flv->Checked());
    dialog->closeClick(nullptr);
    jobmodel::Drop(slide.customSetting);
}

// ---- page 3 ----

// With "Add Credits" unticked the credit tab's buttons do nothing, and they look it: their
// face is washed out (far less colour than the enabled face), so no one presses them in vain.
TEST_F(CustomTest, CreditButtonsLookDisabledWhileTheCreditIsOff) {
    item.customSetting->IsCreditHead = 0;
    item.customSetting->IsCreditTail = 0;
    Open(item);
    dialog->swfType_1->SetChecked(true);
    dialog->ShowPage(2);
    dialog->ShowPage(3);
    // The mean colourfulness (max - min of the channels) of what a button shows.
    auto colourfulness = [](TControl* button) {
        testsupport::PumpWindows();
        HWND window = static_cast<TWinControl*>(button)->Handle();
        double sum = 0;
        int n = 0;
        for (int y = 2; y < button->Height() - 2; ++y)
            for (int x = 2; x < button->Width() - 2; ++x, ++n) {
                COLORREF c = GetWindowSurfacePixel(window, x, y);
                int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
                sum += std::max({r, g, b}) - std::min({r, g, b});
            }
        return n ? sum / n : 0.0;
    };
    for (auto [tab, box, buttons] :
         {std::tuple{dialog->btnHead, dialog->headAddCredit, std::vector<TControl*>{dialog->headimgOpen, dialog->head_font}},
          std::tuple{dialog->btnTail, dialog->tailAddCredit, std::vector<TControl*>{dialog->tailimgOpen, dialog->tail_font}}}) {
        dialogtest::ClickAt(dialog, tab);
        ASSERT_FALSE(box->Checked());
        std::vector<double> off;
        for (TControl* button : buttons) {
            EXPECT_FALSE(button->Enabled()) << button->Name();
            off.push_back(colourfulness(button));
        }
        if (tab == dialog->btnHead) dialogtest::Screenshot(dialog, "custom-page3-head-off.png");
        dialogtest::ClickAt(dialog, box);
        ASSERT_TRUE(box->Checked());
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            SCOPED_TRACE(buttons[i]->Name());
            EXPECT_TRUE(buttons[i]->Enabled());
            const double on = colourfulness(buttons[i]);
            EXPECT_GT(on, 20.0);
            EXPECT_LT(off[i], on / 2);
        }
        if (tab == dialog->btnHead) dialogtest::Screenshot(dialog, "custom-page3-head-on.png");
    }
    dialog->closeClick(nullptr);
}

TEST_F(CustomTest, TabSetsFollowThePlayerKind) {
    Open(item);
    dialog->swfType_1->SetChecked(true);
    dialog->ShowPage(2);
    dialog->ShowPage(3);
    EXPECT_EQ(Working().SwfType, 1);
    EXPECT_FALSE(dialog->btnLoad->Visible());
    EXPECT_TRUE(dialog->btnHead->Visible());
    EXPECT_TRUE(dialog->btnTail->Visible());
    EXPECT_EQ(dialog->ActiveTab(), 0);
    EXPECT_TRUE(dialog->tabPlayerPanel->Visible());
    dialog->ShowEmbeddedTab(2);  // not in this set: nothing
    EXPECT_EQ(dialog->ActiveTab(), 0);
    dialogtest::ClickAt(dialog, dialog->btnHead);
    EXPECT_EQ(dialog->ActiveTab(), 4);
    EXPECT_TRUE(dialog->tabHeadPanel->Visible());
    EXPECT_FALSE(dialog->tabPlayerPanel->Visible());
    dialogtest::Screenshot(dialog, "custom-page3-head.png");
    dialogtest::ClickAt(dialog, dialog->btnOption);
    EXPECT_TRUE(dialog->tabOptionPanel->Visible());
    dialogtest::Screenshot(dialog, "custom-page3-option.png");

    dialog->ShowPage(2);
    dialog->swfType_2->SetChecked(true);
    dialog->ShowPage(3);
    EXPECT_EQ(Working().SwfType, 2);
    EXPECT_TRUE(dialog->btnLoad->Visible());
    EXPECT_FALSE(dialog->btnHead->Visible());
    EXPECT_FALSE(dialog->tabTailPanel->Visible());
    dialogtest::ClickAt(dialog, dialog->btnLoad);
    EXPECT_EQ(dialog->ActiveTab(), 2);
    dialog->ShowProgressiveTab(4);
    EXPECT_EQ(dialog->ActiveTab(), 2);
}

TEST_F(CustomTest, OptionBoxesReachTheWorkingRecordByMouseAndKeyboardAndRebuild) {
    Open(item);
    dialog->ShowPage(2);
    dialog->ShowPage(3);
    dialogtest::ClickAt(dialog, dialog->btnOption);
    int builds = dialog->PreviewBuilds();
    bool was = Working().IsHideMuteBtn != 0;
    dialogtest::ClickAt(dialog, dialog->hideMute);
    EXPECT_EQ(Working().IsHideMuteBtn != 0, !was);
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 1);
    // The keyboard's toggle counts as much as a click.
    dialog->hideVol->SetFocus();
    testsupport::PumpWindows();
    bool vol = Working().IsHideVolumeBar != 0;
    InputKey(VK_SPACE, true);
    InputKey(VK_SPACE, false);
    testsupport::PumpWindows();
    EXPECT_EQ(dialog->hideVol->Checked(), !vol);
    EXPECT_EQ(Working().IsHideVolumeBar != 0, !vol);
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 2);
    // Hide All disables the other eight without unchecking them.
    bool mute = dialog->hideMute->Checked();
    dialog->hideAll->SetChecked(true);
    EXPECT_FALSE(dialog->hideMute->Enabled());
    EXPECT_EQ(dialog->hideMute->Checked(), mute);
    dialog->hideAll->SetChecked(false);
    EXPECT_TRUE(dialog->hideMute->Enabled());
}

TEST_F(CustomTest, TypedValuesRebuildOnce500MillisecondsAfterTheLastChange) {
    TVirtualClock clock;
    TScopedClock use(clock);
    Open(item);
    dialog->swfType_1->SetChecked(true);
    dialog->ShowPage(2);
    dialog->ShowPage(3);
    dialog->headAddCredit->SetChecked(true);
    int builds = dialog->PreviewBuilds();
    // Three keys within 500 ms of each other: one rebuild, 500 ms after the third.
    for (const char* text : {"a", "ab", "abc"}) {
        dialog->headMemo->SetText(text);
        clock.Advance(300);
        testsupport::PumpMessages();
    }
    EXPECT_EQ(dialog->PreviewBuilds(), builds);
    clock.Advance(200);
    testsupport::PumpMessages();
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 1);
    EXPECT_STREQ(Working().Head_textContent, "abc");
    // Two quick spin changes give one rebuild too.
    dialog->hideDealyValue->SetValue(7);
    clock.Advance(100);
    testsupport::PumpMessages();
    dialog->hideDealyValue->SetValue(8);
    clock.Advance(499);
    testsupport::PumpMessages();
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 1);
    clock.Advance(1);
    testsupport::PumpMessages();
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 2);
    EXPECT_EQ(Working().hideDelay, 8);
    clock.Advance(2000);
    testsupport::PumpMessages();
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 2);
    // A key that changes nothing: stopped on its press, started on its release.
    dialogtest::ClickAt(dialog, dialog->btnHead);
    dialog->headMemo->SetFocus();
    InputKey(VK_LEFT, true);
    testsupport::PumpWindows();
    EXPECT_FALSE(dialog->RebuildPending());
    InputKey(VK_LEFT, false);
    testsupport::PumpWindows();
    EXPECT_TRUE(dialog->RebuildPending());
    // OK stops what is pending.
    dialog->btnOKClick(nullptr);
    EXPECT_FALSE(dialog->RebuildPending());
    clock.Advance(1000);
    testsupport::PumpMessages();
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 2);
}

TEST_F(CustomTest, CreditTextIsPlacedFromItsMeasuredWidthAndTheTwinsStayApart) {
    Open(item);
    dialog->swfType_1->SetChecked(true);
    dialog->width->SetValue(640);
    dialog->height->SetValue(480);
    dialog->ShowPage(2);
    dialog->ShowPage(3);
    int browser = dialog->webBrowser->Width();
    ASSERT_GT(browser, 0);
    dialog->headFontDialog->Font()->SetSize(16);
    dialog->headAddCredit->SetChecked(true);
    dialog->headMemo->SetText("Hello");  // 25 pixels with the test's measure
    customrules::CreditPlace place = customrules::PlaceCreditText(25, 16, 640, 480, browser);
    EXPECT_EQ(Working().Head_fontX, place.x);
    EXPECT_EQ(Working().Head_fontY, place.y);
    int tailX = Working().Tail_fontX;
    std::string tailText = Working().Tail_textContent;
    // A confirmed font dialog places the text anew; a cancelled one still rebuilds.
    DialogHandler = [](TCommonDialog& d) {
        static_cast<TFontDialog&>(d).Font()->SetSize(32);
        static_cast<TFontDialog&>(d).Font()->SetColor(TColor(0x0000FF));
        return true;
    };
    int builds = dialog->PreviewBuilds();
    dialog->CreditFontClick(0);
    EXPECT_EQ(Working().Head_fontSize, 32);
    EXPECT_EQ(Working().Head_fontColor.r, 255);
    EXPECT_EQ(Working().Head_fontX, customrules::PlaceCreditText(25, 32, 640, 480, browser).x);
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 1);
    DialogHandler = [](TCommonDialog&) { return false; };
    dialog->CreditFontClick(0);
    EXPECT_EQ(Working().Head_fontSize, 32);
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 2);
    EXPECT_EQ(Working().Tail_fontX, tailX);
    EXPECT_EQ(Working().Tail_textContent, tailText);
    // Unticking disables the tab's controls and keeps their values.
    dialog->headAddCredit->SetChecked(false);
    EXPECT_FALSE(dialog->headMemo->Enabled());
    EXPECT_EQ(dialog->headMemo->Text(), "Hello");
    EXPECT_EQ(Working().IsCreditHead, 0);
}

// ---- galleries ----

class CustomGalleryTest : public CustomTest {
protected:
    std::string MakeFolder(const char* name, const std::vector<std::string>& thumbnails) {
        std::string folder = box.Folder() + "gallery-" + name + "/";
        fs::create_directories(folder);
        for (const char* fixed : {"None.bmp", "border.bmp", "PlayerMore.bmp", "EffectMore.bmp", "LoaderMore.bmp"})
            WriteBmp(folder + fixed, 8, 8, clGray);
        for (const std::string& t : thumbnails) WriteBmp(folder + t, 8, 8, clRed);
        return folder;
    }
    TfrmCustom* Fresh() {
        delete frmCustom;
        frmCustom = dialog = new TfrmCustom(nullptr);
        dialog->AfterConstruction();
        return dialog;
    }
    TPoint At(int kind, const std::string& name) {
        TControl* c = dialog->GalleryControl(kind, name);
        return c ? TPoint(c->Left(), c->Top()) : TPoint(-1, -1);
    }
};

TEST_F(CustomGalleryTest, SlotsSkippedNamesAndBadThumbnails) {
    Fresh();
    std::string players = MakeFolder("players", {});
    std::string effects = MakeFolder("effects", {"d.bmp", "B.BMP", "c.bmp", "A.bmp", "9bad.bmp", "a.Bmp"});
    std::ofstream(effects + "Broken.bmp") << "not a picture";
    fs::create_directories(effects + "Folder.bmp");
    dialog->BuildTemplateGallery(players, TfrmCustom::gkPlayers);
    dialog->BuildTemplateGallery(effects, TfrmCustom::gkEffects);
    dialog->BuildTemplateGallery(box.Folder() + "no-such-folder", TfrmCustom::gkPreloaders);
    // Only the fixed pictures: None at slot 0, More at slot 1.
    EXPECT_TRUE(dialog->GalleryTemplates(TfrmCustom::gkPlayers).empty());
    EXPECT_EQ(At(0, "PlayerMore").x, 12);
    EXPECT_EQ(At(0, "PlayerMore").y, 65);
    // Sorted, any letter case, one per name, bad and non-plain files passed over.
    EXPECT_EQ(dialog->GalleryTemplates(1), (std::vector<std::string>{"A", "B", "c", "d"}));
    EXPECT_EQ(At(1, "A"), TPoint(110, 5));
    EXPECT_EQ(At(1, "B"), TPoint(210, 5));
    EXPECT_EQ(At(1, "c"), TPoint(10, 87));
    EXPECT_EQ(At(1, "d"), TPoint(110, 87));
    EXPECT_EQ(At(1, "EffectMore"), TPoint(210, 87));
    EXPECT_EQ(dialog->GalleryBox(2)->ComponentCount(), 0);
    // Built once.
    dialog->BuildTemplateGallery(MakeFolder("again", {"z.bmp"}), TfrmCustom::gkEffects);
    EXPECT_EQ(dialog->GalleryTemplates(1).size(), 4u);
}

TEST_F(CustomGalleryTest, ChoosingMarksOneFrameWhateverTheWorkingFolder) {
    Fresh();
    std::string effects = MakeFolder("effects", {"Snow.bmp", "Rain.bmp"});
    dialog->BuildTemplateGallery(effects, TfrmCustom::gkEffects);
    Open(item);
    // The file pickers move the working folder around; the frames do not depend on it.
    std::string folder = GetCurrentDir();
    SetCurrentDir(box.store.str());
    int builds = dialog->PreviewBuilds();
    dialog->btn_Click(dialog->GalleryControl(1, "snow"));  // names match in any case
    EXPECT_STREQ(Working().EffectSkinPath, "Snow");
    EXPECT_EQ(dialog->MarkedTemplate(1), "Snow");
    EXPECT_EQ(dialog->PreviewBuilds(), builds + 1);
    dialog->btn_Click(dialog->GalleryControl(1, "None"));
    EXPECT_STREQ(Working().EffectSkinPath, "None");
    EXPECT_EQ(dialog->MarkedTemplate(1), "None");
    jobmodel::CopyTextField(Working().EffectSkinPath, "Rain");
    dialog->MarkEffectChoice();
    EXPECT_EQ(dialog->MarkedTemplate(1), "Rain");
    jobmodel::CopyTextField(Working().EffectSkinPath, "Gone");
    dialog->MarkEffectChoice();
    EXPECT_EQ(dialog->MarkedTemplate(1), "");
    SetCurrentDir(folder);
    // "More" opens the makers' page of further templates.
    dialogtest::RecordedLaunches launches;
    dialog->btn_Click(dialog->GalleryControl(1, "EffectMore"));
    ASSERT_EQ(launches.launched.size(), 1u);
    EXPECT_NE(launches.launched[0].back().find("effects/"), std::string::npos);
}

// ---- decoration ----

TEST_F(CustomTest, DecorationFrameIsKeptRelativeToTheBrowser) {
    std::string jpeg = box.Folder() + "logo.jpg";
    WriteJpeg(jpeg);
    Open(item);
    dialog->width->SetValue(400);
    dialog->height->SetValue(300);
    dialog->ShowPage(2);
    dialog->ShowPage(3);
    dialogtest::ClickAt(dialog, dialog->btnDecorate);
    dialog->addCredits->SetChecked(true);
    dialog->img->SetChecked(true);
    EXPECT_TRUE(dialog->decoOpen->Enabled());
    EXPECT_FALSE(dialog->textValue->Enabled());
    EXPECT_EQ(Working().FileType, 1);
    // An undecodable picture: a message, nothing changes.
    std::string bad = box.Folder() + "bad.jpg";
    std::ofstream(bad) << "not a jpeg";
    DialogHandler = [&bad](TCommonDialog& d) {
        static_cast<TOpenDialog&>(d).SetFileName(bad);
        return true;
    };
    dialog->decoOpenClick(nullptr);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_STREQ(Working().Dec_imagePath, "");
    DialogHandler = [&jpeg](TCommonDialog& d) {
        static_cast<TOpenDialog&>(d).SetFileName(" " + jpeg + " ");
        return true;
    };
    dialog->decoOpenClick(nullptr);
    EXPECT_STREQ(Working().Dec_imagePath, jpeg.c_str());
    EXPECT_EQ(dialog->FrameRect(), (customrules::Rect{0, 0, 100, 100}));
    // Moved by a drag in its inner area, past the browser's right edge.
    dialog->FrameMouseDown(50, 50);
    dialog->FrameMouseMove(80, 60);
    EXPECT_EQ(dialog->FrameRect().left, 30);
    // The frame follows the pointer, so the pointer stays at the press point inside it.
    for (int step = 0; step < 10; ++step) dialog->FrameMouseMove(90, 50);
    EXPECT_EQ(dialog->FrameRect().left, dialog->webBrowser->Width() - 100 - 5);
    dialog->FrameMouseUp();
    customrules::Rect frame = dialog->FrameRect();
    EXPECT_EQ(Working().Dec_img_X, frame.left);
    EXPECT_EQ(Working().Dec_img_Y, frame.top);
    // Resized at its bottom edge, with the sizing cursor.
    dialog->FrameMouseMove(50, 99);
    EXPECT_EQ(dialog->ResizeEdge(), 2);
    EXPECT_EQ(Screen->Cursor(), crSizeNS);
    dialog->FrameMouseDown(50, 99);
    dialog->FrameMouseMove(50, 110);
    EXPECT_EQ(dialog->FrameRect().height, 110);
    dialog->FrameMouseUp();
    EXPECT_EQ(Working().Dec_img_Height, 110);
    dialog->customize_BG3MouseMove();
    EXPECT_EQ(Screen->Cursor(), crDefault);
    dialogtest::Screenshot(dialog, "custom-page3-decorate.png");
    // OK stores the rectangle relative to the browser the scales divide by.
    dialog->btnOKClick(nullptr);
    EXPECT_EQ(item.customSetting->Dec_X, frame.left);
    EXPECT_EQ(item.customSetting->Dec_Y, frame.top);
    EXPECT_EQ(item.customSetting->Dec_Height, 110);
    EXPECT_DOUBLE_EQ(item.customSetting->dscale_X, 400.0 / dialog->webBrowser->Width());
}

TEST_F(CustomTest, TextDecorationSizesTheFrameToTheText) {
    Open(item);
    dialog->ShowPage(2);
    dialog->ShowPage(3);
    dialog->addCredits->SetChecked(true);
    dialog->text->SetChecked(true);
    dialog->textValue->SetText("Lumacast");
    EXPECT_STREQ(Working().Dec_textContent, "Lumacast");
    EXPECT_GT(dialog->FrameRect().width, 0);
    EXPECT_EQ(Working().Dec_text_Width, dialog->Dec_text->Width());
    dialog->textValue->SetText("");
    EXPECT_EQ(dialog->FrameRect(), (customrules::Rect{1, 1, 0, 0}));
    dialog->urlValue->SetText("  example.org  ");
    EXPECT_STREQ(Working().Dec_URL, "example.org");
    int builds = dialog->PreviewBuilds();
    dialog->textValue->SetText("Again");
    EXPECT_EQ(dialog->PreviewBuilds(), builds);  // the decoration never rebuilds
    dialog->addCredits->SetChecked(false);
    EXPECT_FALSE(dialog->imgPanel->Visible());
    EXPECT_FALSE(dialog->textValue->Enabled());
    EXPECT_EQ(Working().IsDecorate, 0);
}

}  // namespace
