// Every (section, item) the built windows ask the skin reader for, collected by a
// recording reader: the default skin answers each, every picture it names is there and
// decodes, and the shipped skins validate against the schema.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "app/convertwin.h"
#include "app/dvdfrm.h"
#include "app/mainfrm.h"
#include "app_support.h"
#include "dialogs/aboutfrm.h"
#include "dialogs/clipfrm.h"
#include "dialogs/customfrm.h"
#include "dialogs/editfrm.h"
#include "dialogs/optionfrm.h"
#include "dialogs/profrm.h"
#include "libs/morvanalyzeimg/skin_names.h"
#include "skinctrl/dvxpublic.h"
#include "support/process.h"

namespace {

using namespace apptest;

std::map<SkinSectionHandle, std::string> gSections;
std::set<std::pair<std::string, std::string>> gAsked;

SkinSectionHandle RecordSection(const char* name) {
    SkinSectionHandle h = ::GetSkinSection(name);
    gSections[h] = name;
    return h;
}
const SkinItem* RecordItem(SkinSectionHandle section, const char* name) {
    gAsked.insert({gSections[section], name});
    return ::GetSkinItem(section, name);
}

TEST(SkinCompleteness, TheDefaultSkinAnswersEveryItemTheWindowsAskForWithItsPictures) {
    UseHeadlessDisplay();
    Sandbox box;
    SkinReader recording;
    recording.GetSkinSection = RecordSection;
    recording.GetSkinItem = RecordItem;
    SetSkinReader(&recording);
    {
        frmEdit = new TfrmEdit(nullptr, nullptr);
        frmClip = new TfrmClip(nullptr, nullptr);
        frmCustom = new TfrmCustom(nullptr);
        frmConvert = new TfrmConvert(nullptr);
        frmPro = new TfrmPro(nullptr);
        frmAbout = new TfrmAbout(nullptr);
        frmOption = new TfrmOption(nullptr, nullptr);
        frmDVD = new TfrmDVD(nullptr);
        TfrmMain main(nullptr);
        main.FormShow(&main);
        main.ReloadAllSkins();
        for (platform::TForm* f : std::initializer_list<platform::TForm*>{frmEdit, frmClip, frmCustom, frmConvert,
                                                                          frmPro, frmAbout, frmOption, frmDVD})
            delete f;
        frmEdit = nullptr, frmClip = nullptr, frmCustom = nullptr, frmConvert = nullptr;
        frmPro = nullptr, frmAbout = nullptr, frmOption = nullptr, frmDVD = nullptr;
    }
    SetSkinReader(nullptr);
    // Every window asked for its size item at least.
    std::set<std::string> sections;
    for (const auto& [section, item] : gAsked) sections.insert(section);
    EXPECT_EQ(sections, (std::set<std::string>{"main", "edit", "clip", "customize", "convert", "properties", "about",
                                               "option", "dvdloader"}));

    ASSERT_EQ(OpenSkinDocument(box.DefaultSkin().c_str()), 0);
    const char* folder = nullptr;
    GetSkinImageFolder(&folder);
    std::vector<std::string> pictures;
    for (const auto& [section, item] : gAsked) {
        SCOPED_TRACE(section + "/" + item);
        const SkinItem* record = GetSkinItem(GetSkinSection(section.c_str()), item.c_str());
        ASSERT_NE(record->Reserved, kSkinItemNotFound);
        // The shared table names it, with the pictures it has.
        const skinnames::Window* window = nullptr;
        for (const skinnames::Window& w : skinnames::Windows())
            if (section == w.section) window = &w;
        ASSERT_NE(window, nullptr);
        if (item == window->sizeItem) continue;
        const skinnames::Item* entry = nullptr;
        for (const skinnames::Item& i : window->items)
            if (item == i.name) entry = &i;
        ASSERT_NE(entry, nullptr) << "not in skin_names.h";
        int states = entry->pictures == skinnames::Pictures::Button ? 4
                     : entry->pictures == skinnames::Pictures::Tab  ? 2
                     : entry->pictures == skinnames::Pictures::None ? 0
                                                                     : 1;
        if (states) {
            ASSERT_TRUE(record->Image && *record->Image);
        }
        for (int s = 0; s < states; ++s) {
            std::string path = JoinSkinPath(JoinSkinPath(folder, window->folder), SkinImageName(record->Image, s));
            EXPECT_TRUE(fs::exists(path)) << path;
            pictures.push_back(path);
        }
    }
    ASSERT_FALSE(pictures.empty());
    if (std::system("command -v identify >/dev/null 2>&1") != 0) GTEST_SKIP() << "identify is not installed";
    std::string command = "identify -format '%w\\n'";
    for (const std::string& p : pictures) command += " " + testsupport::ShellQuote(p);
    int status = -1;
    std::string out = testsupport::Capture(command + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), long(pictures.size())) << out;
}

// Visible within its window (the window itself need not be shown).
bool Showing(platform::TControl* c) {
    for (; c && c->Parent(); c = c->Parent())
        if (!c->Visible()) return false;
    return true;
}

platform::TRect ScreenRect(platform::TControl* c) {
    platform::TPoint p = c->ClientToScreen(platform::TPoint(0, 0));
    return platform::TRect(p.x, p.y, p.x + c->Width(), p.y + c->Height());
}

void Collect(platform::TWinControl* parent, std::vector<platform::TLabel*>& labels,
             std::vector<skinctrl::TdvxImageButton*>& buttons) {
    for (platform::TControl* c : skinctrl::ChildControls(parent)) {
        if (auto* l = dynamic_cast<platform::TLabel*>(c)) labels.push_back(l);
        if (auto* b = dynamic_cast<skinctrl::TdvxImageButton*>(c)) buttons.push_back(b);
        if (auto* w = dynamic_cast<platform::TWinControl*>(c)) Collect(w, labels, buttons);
    }
}

// Under every shipped skin each window's title (a label in its top strip) stands clear of
// the window buttons, wherever the skin puts them.
TEST(SkinTitles, EveryShippedSkinLeavesTheWindowTitlesClearOfTheButtons) {
    UseHeadlessDisplay();
    Sandbox box;
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    const fs::path artifacts = fs::path(build ? build : ".") / "artifacts";
    fs::create_directories(artifacts);
    int skins = 0;
    for (const auto& document : fs::directory_iterator(box.program.path() / "Images")) {
        if (document.path().extension() != ".xml") continue;
        ++skins;
        SCOPED_TRACE(document.path().filename().string());
        StoreSetting("Skin", document.path().string());
        auto main = std::make_unique<TfrmMain>(nullptr);
        main->AfterConstruction();
        ASSERT_EQ(main->SkinPath, document.path().string());
        frmEdit = new TfrmEdit(nullptr, nullptr);
        frmClip = new TfrmClip(nullptr, nullptr);
        frmCustom = new TfrmCustom(nullptr);
        frmConvert = new TfrmConvert(nullptr);
        frmPro = new TfrmPro(nullptr);
        frmAbout = new TfrmAbout(nullptr);
        frmOption = new TfrmOption(nullptr, nullptr);
        frmDVD = new TfrmDVD(nullptr);
        main->FormShow(main.get());  // the main window's title comes with its first showing
        std::vector<platform::TForm*> forms{main.get(), frmEdit, frmClip, frmCustom, frmConvert,
                                            frmPro,     frmAbout, frmOption, frmDVD};
        for (platform::TForm* form : forms) {
            SCOPED_TRACE(form->Caption());
            std::vector<platform::TLabel*> labels;
            std::vector<skinctrl::TdvxImageButton*> buttons;
            Collect(form, labels, buttons);
            const platform::TRect window = ScreenRect(form);
            int titles = 0;
            for (platform::TLabel* label : labels) {
                const platform::TRect l = ScreenRect(label);
                if (!Showing(label) || label->Caption().empty() || l.top - window.top >= 40) continue;
                ++titles;
                for (skinctrl::TdvxImageButton* button : buttons) {
                    const platform::TRect b = ScreenRect(button);
                    if (!Showing(button)) continue;
                    EXPECT_FALSE(l.left < b.right && b.left < l.right && l.top < b.bottom && b.top < l.bottom)
                        << "\"" << label->Caption() << "\" under " << button->Name();
                }
            }
            EXPECT_GE(titles, 1) << "a title in the top strip";
        }
        const std::string skin = document.path().stem().string();
        main->Show();
        frmOption->Show();
        platform::Application->ProcessMessages();
        platform::SaveWindowImage(main->Handle(), (artifacts / ("titles-main-" + skin + ".png")).string());
        platform::SaveWindowImage(frmOption->Handle(), (artifacts / ("titles-option-" + skin + ".png")).string());
        for (platform::TForm* f : std::initializer_list<platform::TForm*>{frmEdit, frmClip, frmCustom, frmConvert,
                                                                          frmPro, frmAbout, frmOption, frmDVD})
            delete f;
        frmEdit = nullptr, frmClip = nullptr, frmCustom = nullptr, frmConvert = nullptr;
        frmPro = nullptr, frmAbout = nullptr, frmOption = nullptr, frmDVD = nullptr;
    }
    EXPECT_EQ(skins, 3);
}

TEST(SkinCompleteness, TheShippedSkinsValidateAgainstTheSchema) {
    fs::path images = BuiltProgramFolder() / "Images";
    const char* source = std::getenv("LUMACAST_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(images)) {
        if (entry.path().extension() != ".xml") continue;
        int status = -1;
        std::string out = testsupport::Capture("xmllint --noout --schema " +
                                               testsupport::ShellQuote(std::string(source) + "/docs/skin.xsd") + " " +
                                               testsupport::ShellQuote(entry.path().string()) + " 2>&1",
                                               &status);
        EXPECT_EQ(status, 0) << out;
        ++checked;
    }
    EXPECT_GE(checked, 2);
}

}  // namespace
