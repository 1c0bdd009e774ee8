// The options dialog over the main window and the other dialogs, headless: picking a skin
// re-skins every window at once but the clip dialog, Cancel goes back, OK stores "Skin" and
// "AutoUpdate" and nothing else, a skin missing a picture is refused and never stored, a
// store that refuses the write keeps the dialog open, and the folder buttons.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "app/app_support.h"
#include "app/mainfrm.h"
#include "dialogs/aboutfrm.h"
#include "dialogs/clipfrm.h"
#include "dialogs/optionfrm.h"
#include "dialogs/profrm.h"
#include "dialogs_support.h"
#include "platform/controls/dialogs.h"

namespace {

using namespace platform;
namespace fs = std::filesystem;

int gOpens = 0;
int CountingOpen(const char* path) {
    ++gOpens;
    return ::OpenSkinDocument(path);
}

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::UseHeadlessDisplay();
        // A copy of the Ocean skin whose about box lacks its OK button's pressed picture.
        fs::path images = box.program.path() / "Images";
        fs::copy(images / "Ocean", images / "HoleyImage", fs::copy_options::recursive);
        fs::remove(images / "HoleyImage" / "about" / "btnOK-down.bmp");
        std::ifstream in(images / "Ocean.xml");
        std::stringstream text;
        text << in.rdbuf();
        std::string xml = text.str();
        xml.replace(xml.find("name=\"Ocean\""), 12, "name=\"Holey\"");
        xml.replace(xml.find("images=\"Ocean\""), 14, "images=\"HoleyImage\"");
        box.program.Write("Images/Holey.xml", xml);

        // As at start: the main window loads the skin in use, then the dialogs take theirs.
        main = std::make_unique<TfrmMain>(nullptr);
        frmMain = main.get();
        frmOption = new TfrmOption(nullptr, main.get());
        frmAbout = new TfrmAbout(nullptr);
        frmPro = new TfrmPro(nullptr);
        frmClip = new TfrmClip(nullptr, main.get());
        main->AfterConstruction();
        for (TCustomForm* form : std::initializer_list<TCustomForm*>{frmOption, frmAbout, frmPro, frmClip})
            form->AfterConstruction();
        main->Show();
        for (TCustomForm* form : std::initializer_list<TCustomForm*>{frmAbout, frmPro, frmClip}) form->Show();
        Application->MessageBoxHandler = [this](const std::string& text, const std::string&, UINT) {
            messages.push_back(text);
            return IDOK;
        };
        reader.OpenSkinDocument = CountingOpen;
        SetSkinReader(&reader);
        testsupport::PumpWindows();
    }
    void TearDown() override {
        SetSkinReader(nullptr);
        Application->MessageBoxHandler = nullptr;
        DialogHandler = nullptr;
        main.reset();
        frmMain = nullptr;
        delete frmOption;
        delete frmAbout;
        delete frmPro;
        delete frmClip;
        frmOption = nullptr;
        frmAbout = nullptr;
        frmPro = nullptr;
        frmClip = nullptr;
    }

    std::string SkinPath(const char* name) const { return box.Folder() + "Images/" + name + ".xml"; }
    int ListIndex(const char* name) const {
        for (const auto& [index, info] : frmOption->SkinList)
            if (std::string(info->Path) == SkinPath(name)) return index;
        return -1;
    }
    // The user picks a skin: the list has the focus and an arrow key moves to the entry.
    void Pick(const char* name) {
        int index = ListIndex(name);
        ASSERT_GE(index, 0) << name;
        frmOption->ShowTab(0);
        frmOption->skin_cmb->SetFocus();
        bool down = index > 0;
        frmOption->skin_cmb->SetItemIndex(down ? index - 1 : index + 1);
        InputKey(down ? VK_DOWN : VK_UP, true);
        InputKey(down ? VK_DOWN : VK_UP, false);
        testsupport::PumpWindows();
    }
    void Open() {
        frmOption->Show();
        testsupport::PumpWindows();
    }
    // A pixel of each window's background, away from its controls.
    std::vector<TColor> Looks() {
        testsupport::PumpWindows();
        std::vector<TColor> looks;
        for (TCustomForm* form : std::initializer_list<TCustomForm*>{main.get(), frmAbout, frmPro, frmOption, frmClip})
            looks.push_back(GetWindowSurfacePixel(form->Handle(), 8, form->Height() - 10));
        return looks;
    }
    std::string StoreFile() const {
        std::ifstream in(box.store.path() / "registry");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    apptest::Sandbox box;
    std::unique_ptr<TfrmMain> main;
    SkinReader reader;
    std::vector<std::string> messages;
};

TEST_F(OptionsTest, PickingASkinReskinsEveryWindowButTheClipDialogAndCancelBringsTheFirstBack) {
    Open();
    ASSERT_EQ(frmOption->skin_cmb->ItemIndex(), ListIndex("DefaultImage"));
    ASSERT_EQ(frmOption->skin_cmb->Items()->Count(), 4);
    std::vector<TColor> before = Looks();
    dialogtest::Screenshot(frmOption, "options-default.png");

    Pick("Graphite");
    std::vector<TColor> after = Looks();
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NE(after[i], before[i]) << "window " << i;
    EXPECT_EQ(after[4], before[4]) << "the clip dialog keeps its pictures";
    EXPECT_EQ(frmOption->AppliedSkin(), SkinPath("Graphite"));
    EXPECT_TRUE(messages.empty());
    dialogtest::Screenshot(frmOption, "options-graphite.png");
    dialogtest::Screenshot(main.get(), "options-main-graphite.png");

    dialogtest::ClickAt(frmOption, frmOption->btnCancel);
    EXPECT_FALSE(frmOption->Visible());
    EXPECT_EQ(std::string(ActiveSkinReader().GetSkinInfo()->Path), box.DefaultSkin());
    EXPECT_EQ(apptest::StoredSetting("Skin"), box.DefaultSkin());
    // A hidden window is not painted: the options dialog shows its look when opened again.
    Open();
    EXPECT_EQ(Looks(), before);

    // Another skin, then the first again: Cancel opens no document.
    Pick("Ocean");
    Pick("DefaultImage");
    int opens = gOpens;
    dialogtest::ClickAt(frmOption, frmOption->btnClose);
    EXPECT_FALSE(frmOption->Visible());
    EXPECT_EQ(gOpens, opens);
    Open();
    EXPECT_EQ(Looks(), before);
}

TEST_F(OptionsTest, OkStoresSkinAndAutoUpdateButNotTheFormat) {
    Open();
    Pick("Ocean");
    ASSERT_FALSE(frmOption->isAutoUpdate->Checked());
    dialogtest::ClickAt(frmOption, frmOption->isAutoUpdate, 6);
    EXPECT_TRUE(frmOption->isAutoUpdate->Checked());
    dialogtest::ClickAt(frmOption, frmOption->btnFormat);
    EXPECT_TRUE(frmOption->tabFormat->Visible());
    EXPECT_FALSE(frmOption->tabGeneral->Visible());
    frmOption->pic_format->SetFocus();
    InputKey(VK_DOWN, true);
    InputKey(VK_DOWN, false);
    testsupport::PumpWindows();
    ASSERT_EQ(frmOption->pic_format->ItemIndex(), 1);
    dialogtest::Screenshot(frmOption, "options-format.png");
    dialogtest::ClickAt(frmOption, frmOption->btnOK);

    EXPECT_FALSE(frmOption->Visible());
    EXPECT_EQ(apptest::StoredSetting("Skin"), SkinPath("Ocean"));
    EXPECT_EQ(apptest::StoredSetting("AutoUpdate"), "1");
    EXPECT_EQ(main->AutoUpdate, 1);
    EXPECT_EQ(frmOption->SkinInUse, SkinPath("Ocean"));
    EXPECT_EQ(frmOption->PictureExtension, ".bmp");
    EXPECT_EQ(StoreFile().find("bmp"), std::string::npos) << StoreFile();

    // Unticked again: "0", and the next showing shows what is in use.
    Open();
    EXPECT_EQ(frmOption->skin_cmb->ItemIndex(), ListIndex("Ocean"));
    EXPECT_TRUE(frmOption->isAutoUpdate->Checked());
    EXPECT_EQ(frmOption->pic_format->ItemIndex(), 1);
    dialogtest::ClickAt(frmOption, frmOption->isAutoUpdate, 6);
    dialogtest::ClickAt(frmOption, frmOption->btnOK);
    EXPECT_EQ(apptest::StoredSetting("AutoUpdate"), "0");
    EXPECT_EQ(main->AutoUpdate, 0);
}

// The dialog reaches the program only through the host it was made with: a stand-in host,
// not the main window, gives the update check shown, is asked to re-skin the other windows
// once for each skin applied (never for one refused), and takes the check OK stored.
TEST_F(OptionsTest, TheHostHoldsTheUpdateCheckAndReskinsTheOtherWindows) {
    struct RecordingHost : DialogHost {
        bool check = true;
        std::vector<std::string> calls;
        void ReloadAllSkins() override { calls.push_back("ReloadAllSkins"); }
        bool UpdateCheckAtStart() override { return check; }
        void SetUpdateCheckAtStart(bool value) override {
            calls.push_back(value ? "SetUpdateCheckAtStart 1" : "SetUpdateCheckAtStart 0");
        }
    } host;
    TfrmOption* overMain = frmOption;
    frmOption = new TfrmOption(nullptr, &host);
    frmOption->AfterConstruction();
    frmOption->SkinList = overMain->SkinList;
    frmOption->SkinInUse = overMain->SkinInUse;
    delete overMain;
    ASSERT_EQ(main->AutoUpdate, 0);
    auto mainLook = [&] { return GetWindowSurfacePixel(main->Handle(), 8, main->Height() - 10); };
    const TColor mainBefore = mainLook();

    Open();
    EXPECT_TRUE(frmOption->isAutoUpdate->Checked());
    Pick("Graphite");
    Pick("Holey");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(host.calls, std::vector<std::string>{"ReloadAllSkins"});
    testsupport::PumpWindows();
    EXPECT_EQ(mainLook(), mainBefore) << "the main window is re-skinned by the host alone";

    dialogtest::ClickAt(frmOption, frmOption->btnOK);
    EXPECT_FALSE(frmOption->Visible());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"ReloadAllSkins", "SetUpdateCheckAtStart 1"}));
    EXPECT_EQ(apptest::StoredSetting("AutoUpdate"), "1");
    EXPECT_EQ(main->AutoUpdate, 0);
}

TEST_F(OptionsTest, ASkinMissingAPictureIsRefusedRolledBackAndNeverStored) {
    Open();
    std::vector<TColor> before = Looks();
    Pick("Holey");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("about/btnOK-down.bmp"), std::string::npos) << messages[0];
    EXPECT_EQ(Looks(), before);
    EXPECT_EQ(frmOption->skin_cmb->ItemIndex(), ListIndex("DefaultImage"));
    EXPECT_EQ(std::string(ActiveSkinReader().GetSkinInfo()->Path), box.DefaultSkin());
    EXPECT_EQ(SkinImageFolder, box.Folder() + "Images/DefaultImage/");

    // After a good pick, a failing one keeps the good one shown; OK stores the good one.
    Pick("Graphite");
    std::vector<TColor> graphite = Looks();
    Pick("Holey");
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(Looks(), graphite);
    EXPECT_EQ(frmOption->skin_cmb->ItemIndex(), ListIndex("Graphite"));
    // A listed document damaged since the catalogue was read is refused the same way.
    box.program.Write("Images/Ocean.xml", "<skin name=\"Ocean\"><section");
    Pick("Ocean");
    EXPECT_EQ(messages.size(), 3u);
    EXPECT_EQ(Looks(), graphite);
    EXPECT_EQ(frmOption->skin_cmb->ItemIndex(), ListIndex("Graphite"));
    dialogtest::ClickAt(frmOption, frmOption->btnOK);
    EXPECT_EQ(apptest::StoredSetting("Skin"), SkinPath("Graphite"));
}

TEST_F(OptionsTest, AStoreThatRefusesTheWriteKeepsTheDialogOpenAndLosesNothing) {
    Open();
    Pick("Ocean");
    // A store folder others may write to is never written.
    ASSERT_EQ(chmod(box.store.str().c_str(), 0777), 0);
    dialogtest::ClickAt(frmOption, frmOption->btnOK);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("not saved"), std::string::npos) << messages[0];
    EXPECT_TRUE(frmOption->Visible());
    EXPECT_EQ(frmOption->SkinInUse, box.DefaultSkin());
    EXPECT_EQ(frmOption->ChosenSkin(), SkinPath("Ocean"));
    ASSERT_EQ(chmod(box.store.str().c_str(), 0700), 0);
    dialogtest::ClickAt(frmOption, frmOption->btnOK);
    EXPECT_FALSE(frmOption->Visible());
    EXPECT_EQ(apptest::StoredSetting("Skin"), SkinPath("Ocean"));
}

TEST_F(OptionsTest, TheSnapshotFolderComesFromTheBrowserAndOpensInTheFileManager) {
    frmOption->SnapshotFolder = "/stored/snapshots";
    Open();
    EXPECT_EQ(frmOption->PicPath->Text(), "/stored/snapshots");
    dialogtest::ClickAt(frmOption, frmOption->btnFormat);
    std::string title;
    DialogHandler = [&](TCommonDialog& dialog) {
        title = dialog.Title();
        auto* browser = dynamic_cast<TBrowseFolderDialog*>(&dialog);
        if (!browser) return false;
        browser->SetFolder(box.program.str());
        return true;
    };
    dialogtest::ClickAt(frmOption, frmOption->btnSnappath);
    EXPECT_EQ(title, "Please Select folder.");
    EXPECT_EQ(frmOption->PicPath->Text(), box.program.str());

    dialogtest::RecordedLaunches shell;
    dialogtest::ClickAt(frmOption, frmOption->btnOpen);
    ASSERT_EQ(shell.launched.size(), 1u);
    EXPECT_EQ(shell.launched[0], (std::vector<std::string>{"xdg-open", box.program.str()}));

    // Left with Cancel: the stored folder stays and shows again.
    dialogtest::ClickAt(frmOption, frmOption->btnCancel);
    EXPECT_EQ(frmOption->SnapshotFolder, "/stored/snapshots");
    Open();
    EXPECT_EQ(frmOption->PicPath->Text(), "/stored/snapshots");
    // An empty folder opens nothing.
    frmOption->PicPath->SetText("");
    dialogtest::ClickAt(frmOption, frmOption->btnFormat);
    dialogtest::ClickAt(frmOption, frmOption->btnOpen);
    EXPECT_EQ(shell.launched.size(), 1u);
}

}  // namespace
