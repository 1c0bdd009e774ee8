// The main window: construction, creation, first showing, skin, menus and commands.
#include "app/mainfrm.h"

#include <dirent.h>
#include <sys/stat.h>

#include "app/convertwin.h"
#include "app/dvdfrm.h"
#include "dialogs/aboutfrm.h"
#include "dialogs/clipfrm.h"
#include "dialogs/customfrm.h"
#include "dialogs/editfrm.h"
#include "dialogs/optionfrm.h"
#include "dialogs/profrm.h"
#include "jobmodel/fonts.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/profiles.h"
#include "platform/core/files.h"
#include "platform/core/shell.h"
#include "platform/graphics/imglist.h"
#include "playermaker/morvbrindle.h"
#include "treeview/vtheader.h"

using namespace platform;
using jobmodel::MediaItem;

TfrmMain* frmMain = nullptr;

std::string WebAddress(const std::string& page) { return std::string(LUMACAST_WEB_ADDRESS) + page; }

namespace {

// The item buttons with their skin items, in the order their pictures change.
bool IsGroupRow(const MediaItem& item) {
    return (item.kind == jobmodel::mkMerge || item.kind == jobmodel::mkSlide) && item.imageIndex != 0;
}
bool IsMemberRow(const MediaItem& item) {
    return (item.kind == jobmodel::mkMerge || item.kind == jobmodel::mkSlide) && item.imageIndex == 0;
}

// "*.xml" plain files of a folder, in the order the file system gives them.
std::vector<std::string> SkinDocuments(const std::string& folder) {
    std::vector<std::string> files;
    DIR* listing = opendir(folder.c_str());
    if (!listing) return files;
    while (dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".xml") != 0) continue;
        struct stat info {};
        if (stat((folder + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        files.push_back(folder + name);
    }
    closedir(listing);
    return files;
}

}  // namespace

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner) {
    // 1. The window and its controls, as the window resource places them.
    SetBorderStyle(bsNone);
    SetPosition(poScreenCenter);
    SetBounds(0, 0, kWidth, kHeight);
    SetCaption("Velmorasoft Lumacast");
    ProgramFolder = ::ProgramFolder();

    MainPanel = new skinctrl::TdvxImagePanel(this);
    MainPanel->SetName("MainPanel");
    MainPanel->SetParent(this);
    MainPanel->SetBounds(0, 0, kWidth, kHeight);
    MainPanel->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        MainPanelMouseDown(s, b, sh, x, y);
    };

    close = AddButton("close", 790, 8, 22, 22);
    btnMini = AddButton("btnMini", 764, 8, 22, 22);
    btnHelp = AddButton("btnHelp", 738, 8, 22, 22);
    btnMenu = AddButton("btnMenu", 712, 8, 22, 22);
    addFile = AddButton("addFile", 16, 40, 72, 56);
    addDVD = AddButton("addDVD", 94, 40, 72, 56);
    addDVDList = AddButton("addDVDList", 172, 40, 72, 56);
    customize = AddButton("customize", 250, 40, 72, 56);
    option = AddButton("option", 328, 40, 72, 56);
    edit = AddButton("edit", 406, 40, 72, 56);
    clip = AddButton("clip", 484, 40, 72, 56);
    merge = AddButton("merge", 562, 40, 72, 56);
    slide = AddButton("slide", 640, 40, 72, 56);

    NodeTree = new treeview::TVastStringTree(this);
    NodeTree->SetName("NodeTree");
    NodeTree->SetParent(MainPanel);
    NodeTree->SetBounds(16, 110, 410, 410);
    jobmodel::PrepareItemTree(*NodeTree);
    struct Column {
        const char* text;
        int width;
        TAlignment alignment;
    };
    for (const Column& c : {Column{"Source", 177, taLeftJustify}, Column{"Original Length", 110, taCenter},
                            Column{"Trimmed Length", 120, taCenter}, Column{"Distination File", 120, taLeftJustify}}) {
        treeview::TVastTreeColumn* column = NodeTree->Header()->Columns()->Add();
        column->SetText(c.text);
        column->SetMinWidth(100);
        column->SetWidth(c.width);
        column->SetAlignment(c.alignment);
    }
    NodeTree->Header()->SetOptions(NodeTree->Header()->Options() | treeview::hoVisible);
    treeview::TCustomVastTreeOptions* options = NodeTree->TreeOptions();
    options->SetMiscOptions(options->MiscOptions() | treeview::toCheckSupport | treeview::toEditable);
    options->SetSelectionOptions(options->SelectionOptions() | treeview::toMultiSelect | treeview::toFullRowSelect |
                                 treeview::toRightClickSelect);
    NodeTree->SetEditDelay(0);
    NodeTree->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        NodeTreeMouseUp(s, b, sh, x, y);
    };
    NodeTree->OnChange = [this](treeview::TBaseVastTree*, treeview::PVastNode node) {
        if (node) UpdateItemButtons(node);
    };

    MainPlayPanel = new TPanel(this);
    MainPlayPanel->SetName("MainPlayPanel");
    MainPlayPanel->SetParent(MainPanel);
    MainPlayPanel->SetBounds(440, 110, 360, 270);
    MainPlayPanel->SetCaption("");
    MainPlayPanel->SetColor(clBlack);
    btnPlay = AddButton("btnPlay", 440, 390, 36, 36);
    btnStop = AddButton("btnStop", 482, 390, 36, 36);
    btnPhoto = AddButton("btnPhoto", 524, 390, 36, 36);
    btnOpen = AddButton("btnOpen", 566, 390, 36, 36);
    MainTrackBar = new skinctrl::TdvxTrackBar(this);
    MainTrackBar->SetName("MainTrackBar");
    MainTrackBar->SetParent(MainPanel);
    MainTrackBar->SetBounds(440, 436, 360, 20);
    btnConvert = AddButton("btnConvert", 660, 524, 140, 56);

    labOutput = new TLabel(this);
    labOutput->SetName("labOutput");
    labOutput->SetParent(MainPanel);
    labOutput->SetBounds(16, 542, 90, 20);
    labOutput->SetTransparent(true);
    labOutput->SetCaption("Destination :");
    OutputPath = new skinctrl::TdvxEdit(this);
    OutputPath->SetName("OutputPath");
    OutputPath->SetParent(MainPanel);
    OutputPath->SetBounds(110, 540, 420, 22);
    OutputPath->SetReadOnly(true);
    btnOpenpath = AddButton("btnOpenpath", 536, 538, 28, 26);
    Open_img = AddButton("Open_img", 570, 538, 28, 26);

    mainLabel = new TLabel(this);
    mainLabel->SetName("mainLabel");
    mainLabel->SetParent(MainPanel);
    mainLabel->SetBounds(16, 9, 320, 18);
    mainLabel->SetTransparent(true);
    mainLabel->Font()->SetColor(clWhite);
    mainLabel->Font()->SetStyle(TFontStyles{fsBold});

    ImageList = new TImageList(this);
    ImageList->SetName("ImageList");
    NodeTree->SetImages(ImageList);
    BuildMenus();

    close->OnClick = [this](TObject* s) { closeClick(s); };
    btnMini->OnClick = [this](TObject* s) { btnMiniClick(s); };
    btnMenu->OnClick = [this](TObject* s) { btnMenuClick(s); };
    btnHelp->OnClick = [this](TObject* s) { HelpClick(s); };
    option->OnClick = [this](TObject* s) { optionClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };

    // 3. Settings; 4. the list waits for its first rows; 5, 6. the skin.
    LoadProgramSettings();
    NodeTree->SetVisible(false);
    MergeCounter = SlideCounter = 0;
    LoadSkinDocument();
    LayoutFromSkin();
    LoadButtonImages();
    skin_.SizeBeforeCreation(this);
    // 7. The player maker finds its templates under the program folder.
    setFilePrefixPath(ProgramFolder.c_str());
    // 8. The installed fonts, once per run.
    if (jobmodel::InstalledFontNames.empty()) jobmodel::ListFontNames(jobmodel::InstalledFontNames);
    // 9. Nothing is selected yet.
    DisableItemButtons(true);
}

TfrmMain::~TfrmMain() { jobmodel::ClearItemTree(*NodeTree); }

skinctrl::TdvxImageButton* TfrmMain::AddButton(const char* name, int left, int top, int width, int height) {
    auto* button = new skinctrl::TdvxImageButton(this);
    button->SetName(name);
    button->SetParent(MainPanel);
    button->SetBounds(left, top, width, height);
    button->SetCursor(crHandPoint);
    return button;
}

TMenuItem* TfrmMain::AddMenuItem(TSkinPopupMenu* menu, const char* name, const char* caption, TNotifyEvent onClick) {
    auto* item = new TMenuItem(this);
    if (name && *name) item->SetName(name);
    item->SetCaption(caption);
    item->OnClick = std::move(onClick);
    menu->Items()->Add(item);
    return item;
}

void TfrmMain::BuildMenus() {
    Help_Menu = new TSkinPopupMenu(this);
    Help_Menu->SetName("Help_Menu");
    Help_Menu->SetHeight(21);
    Help_Menu->SetSeparatorHeight(5);
    AddMenuItem(Help_Menu, "Help", "Help", [this](TObject* s) { HelpClick(s); });
    AddMenuItem(Help_Menu, "Support", "Support", [this](TObject* s) { SupportClick(s); });
    AddMenuItem(Help_Menu, "", "-");
    AddMenuItem(Help_Menu, "Homepage", "Homepage", [this](TObject* s) { HomepageClick(s); });
    AddMenuItem(Help_Menu, "update", "Update Product", [this](TObject* s) { updateClick(s); });
    AddMenuItem(Help_Menu, "About", "About", [this](TObject* s) { AboutClick(s); });

    // The job list's menu; its commands come with the job list's operations.
    Edit_Menu = new TSkinPopupMenu(this);
    Edit_Menu->SetName("Edit_Menu");
    AddMenuItem(Edit_Menu, "CheckAll", "CheckAll    ");
    AddMenuItem(Edit_Menu, "UncheckAll", "UncheckAll");
    AddMenuItem(Edit_Menu, "", "-");
    AddMenuItem(Edit_Menu, "deletenode", "Delete");
    AddMenuItem(Edit_Menu, "ClearAll", "ClearAll");
    AddMenuItem(Edit_Menu, "", "-");
    AddMenuItem(Edit_Menu, "menuUP", "Move Up");
    AddMenuItem(Edit_Menu, "menuDown", "Move Down");
    AddMenuItem(Edit_Menu, "", "-");
    AddMenuItem(Edit_Menu, "menuMerge", "Merge");
    AddMenuItem(Edit_Menu, "menuSlide", "Slide");
    AddMenuItem(Edit_Menu, "", "-");
    AddMenuItem(Edit_Menu, "Properties", "Properties");
    AddMenuItem(Edit_Menu, "", "-");
    AddMenuItem(Edit_Menu, "menuAudio", "Audio Track");
    AddMenuItem(Edit_Menu, "menuSubtitle", "Subtitle");
    NodeTree->SetPopupMenu(Edit_Menu);

    // The drive menu is filled when the drives are listed.
    Downlist_menu = new TSkinPopupMenu(this);
    Downlist_menu->SetName("Downlist_menu");
}

std::vector<SkinEntry> TfrmMain::SkinTable() {
    using U = TSkinUse;
    return {
        {"Background", MainPanel, U::Panel}, {"addFile", addFile, U::Button},     {"customize", customize, U::Button},
        {"option", option, U::Button},       {"edit", edit, U::Button},           {"clip", clip, U::Button},
        {"merge", merge, U::Button},         {"slide", slide, U::Button},         {"MainPlayPanel", MainPlayPanel, U::Place},
        {"btnPlay", btnPlay, U::Button},     {"btnStop", btnStop, U::Button},     {"btnPhoto", btnPhoto, U::Button},
        {"btnOpen", btnOpen, U::Button},     {"btnConvert", btnConvert, U::Button}, {"labOutput", labOutput, U::Place},
        {"OutputPath", OutputPath, U::Place}, {"Open_img", Open_img, U::Button},  {"btnOpenpath", btnOpenpath, U::Button},
        {"btnMenu", btnMenu, U::Button},     {"addDVD", addDVD, U::Button},       {"addDVDList", addDVDList, U::Button},
        {"close", close, U::Button},         {"btnMini", btnMini, U::Button},     {"btnHelp", btnHelp, U::Button},
    };
}

void TfrmMain::LoadProgramSettings() {
    ProgramSettings settings;
    ::LoadProgramSettings(settings, ProgramFolder);
    OutputFolder = settings.OutputFolder;
    SnapshotFolder = settings.SnapshotFolder;
    AutoUpdate = settings.AutoUpdate;
    SkinPath = settings.SkinPath;
    if (!OutputFolder.empty()) OutputPath->SetText(OutputFolder);
}

void TfrmMain::LoadSkinDocument() {
    std::string error;
    if (!OpenSkin(SkinPath, error)) {
        // One bad pick must never keep the program from starting: back to the default skin.
        std::string fallback = DefaultSkinPath(ProgramFolder);
        if (SkinPath != fallback && OpenSkin(fallback, error)) {
            ReportSkinProblem("skin \"" + SkinPath + "\" not used; the default skin is used");
            SkinPath = fallback;
            StoreSkinSetting(SkinPath);
        } else {
            // The windows keep the places their constructors gave them.
            ReportSkinProblem("no skin can be used: " + error);
        }
    }
    skin_.TakeSection();
}

void TfrmMain::LayoutFromSkin() {
    skin_.Layout(SkinTable());
    if (const SkinItem* panel = skin_.Find("MainPlayPanel")) {
        PreviewWidth = panel->Width;
        PreviewHeight = panel->Height;
    } else {
        PreviewWidth = MainPlayPanel->Width();
        PreviewHeight = MainPlayPanel->Height();
    }
}

void TfrmMain::LoadButtonImages() { skin_.LoadPictures(SkinTable()); }

void TfrmMain::ReloadAllSkins() {
    skin_.TakeSection();
    LayoutFromSkin();
    skin_.LoadPictures({{"MainTrackBar", MainTrackBar, TSkinUse::Slider}});
    if (MainTrackBar->Showing() && MainTrackBar->CanFocus()) MainTrackBar->SetFocus();
    LoadButtonImages();
    // A disabled button keeps showing its disabled picture in the new skin.
    for (auto [button, item] : {std::pair{edit, "edit"}, {clip, "clip"}, {merge, "merge"}, {slide, "slide"},
                                {customize, "customize"}, {btnConvert, "btnConvert"}, {btnPlay, "btnPlay"},
                                {btnStop, "btnStop"}, {btnPhoto, "btnPhoto"}})
        if (!button->Enabled()) skin_.ShowButtonState(button, item, ssDisabled);
    for (TSkinnedForm* form : std::initializer_list<TSkinnedForm*>{frmAbout, frmConvert, frmCustom, frmEdit, frmPro, frmDVD})
        if (form) form->ReloadSkin();
}

void TfrmMain::LoadSkinCatalogue() {
    if (!frmOption) return;
    frmOption->SkinList.clear();
    const SkinReader& reader = ActiveSkinReader();
    int counter = 0;
    for (const std::string& document : SkinDocuments(ProgramFolder + "Images/")) {
        if (reader.OpenSkinDocument(document.c_str()) != 0) {
            ReportSkinProblem("skin document left out: " + std::string(reader.GetSkinLastError()));
            continue;
        }
        frmOption->SkinList[counter++] = reader.GetSkinInfo();
    }
    // The skin in use is the reader's current document again.
    reader.OpenSkinDocument(SkinPath.c_str());
}

void TfrmMain::LoadProfiles(const std::string& folder) {
    jobmodel::ProfileLines lines = jobmodel::LoadProfileCatalogue(folder);
    if (!frmCustom) return;
    TStrings* items = frmCustom->comProfile->Items();
    items->Clear();
    for (const std::string& line : lines.lines) items->Add(line);
    if (lines.selected >= 0) frmCustom->comProfile->SetItemIndex(lines.selected);
}

void TfrmMain::BuildTemplateGalleries() {
    if (!frmCustom) return;
    frmCustom->BuildTemplateGallery(ProgramFolder + "templates/Players/", TfrmCustom::gkPlayers);
    frmCustom->BuildTemplateGallery(ProgramFolder + "templates/Effect/", TfrmCustom::gkEffects);
    frmCustom->BuildTemplateGallery(ProgramFolder + "templates/Preloader/", TfrmCustom::gkPreloaders);
}

void TfrmMain::DoCreate() {
    MaskFloatingPointExceptions();
    skin_.ApplyFrame(this);
    TForm::DoCreate();
}

void TfrmMain::FormShow(TObject*) {
    if (shown_) return;
    shown_ = true;
    LoadProfiles(ProgramFolder + "profile/");
    BuildTemplateGalleries();
    LoadSkinCatalogue();
    if (frmOption) {
        frmOption->SkinInUse = SkinPath;
        frmOption->SnapshotFolder = SnapshotFolder;
    }
    skin_.LoadPictures({{"MainTrackBar", MainTrackBar, TSkinUse::Slider}});
    if (frmOption) frmOption->isAutoUpdate->SetChecked(AutoUpdate != 0);
    if (AutoUpdate != 0) RunUpdater();
    mainLabel->SetCaption("Velmorasoft Lumacast");
}

void TfrmMain::Dispatch(TMessage& message) {
    if (message.Msg == WM_DEVICECHANGE && OnDeviceChange) return OnDeviceChange(message);
    if (message.Msg == WM_MAIN_PLAY_TIME && OnMainPlayTime) return OnMainPlayTime(message);
    TForm::Dispatch(message);
}

void TfrmMain::closeClick(TObject*) { Close(); }

void TfrmMain::btnMiniClick(TObject*) { Application->Minimize(); }

void TfrmMain::MainPanelMouseDown(TObject*, TMouseButton button, TShiftState, int x, int y) {
    if (button == mbLeft) StartWindowDrag(Height(), Width(), x, y, this);
}

TPoint TfrmMain::HelpMenuPoint() const {
    return TPoint(Left() + btnMenu->Left(), Top() + btnMenu->Top() + btnMenu->Height());
}

void TfrmMain::btnMenuClick(TObject*) {
    TPoint at = HelpMenuPoint();
    Help_Menu->Popup(at.x, at.y);
}

void TfrmMain::OpenLink(const std::string& address, HWND owner, int show) {
    ShellExecuteA(owner, "open", address.c_str(), nullptr, nullptr, show);
}

void TfrmMain::HelpClick(TObject*) { OpenLink(WebAddress("how-to/lumacast/"), Handle(), SW_SHOW); }
void TfrmMain::SupportClick(TObject*) { OpenLink(WebAddress("support-center/"), Handle(), SW_SHOW); }
void TfrmMain::HomepageClick(TObject*) { OpenLink(WebAddress(""), nullptr, SW_SHOWNORMAL); }
void TfrmMain::updateClick(TObject*) { RunUpdater(); }

void TfrmMain::RunUpdater() {
    // The updater is a program of its own beside lumacast; none is shipped.
    std::string updater = ProgramFolder + "Update/update";
    if (!FileExists(updater)) return;
    ShellExecuteA(Handle(), "open", updater.c_str(), "/SilentCheck /Lang:UpdateLang.ini", nullptr, SW_SHOWNORMAL);
}

void TfrmMain::AboutClick(TObject*) {
    if (frmAbout) frmAbout->ShowModal();
}

void TfrmMain::optionClick(TObject*) {
    if (frmOption) frmOption->ShowModal();
}

void TfrmMain::DisableItemButtons(bool all) {
    if (all) {
        for (auto [button, item] : {std::pair{edit, "edit"}, {clip, "clip"}, {merge, "merge"}, {slide, "slide"},
                                    {customize, "customize"}, {btnConvert, "btnConvert"}, {btnPlay, "btnPlay"},
                                    {btnStop, "btnStop"}, {btnPhoto, "btnPhoto"}})
            skin_.SetButtonEnabled(button, item, false);
        return;
    }
    skin_.SetButtonEnabled(edit, "edit", false);
    skin_.SetButtonEnabled(clip, "clip", false);
    skin_.SetButtonEnabled(customize, "customize", false);
    skin_.SetButtonEnabled(merge, "merge", true);
    skin_.SetButtonEnabled(slide, "slide", true);
}

void TfrmMain::UpdateItemButtons(treeview::PVastNode row) {
    MediaItem* item = jobmodel::ItemOf(*NodeTree, row);
    if (!item) return;
    bool group = IsGroupRow(*item), member = IsMemberRow(*item);
    bool editClip = !group && !member, others = !member;
    skin_.SetButtonEnabled(edit, "edit", editClip);
    skin_.SetButtonEnabled(clip, "clip", editClip);
    skin_.SetButtonEnabled(merge, "merge", others);
    skin_.SetButtonEnabled(slide, "slide", others);
    skin_.SetButtonEnabled(customize, "customize", others);
    skin_.SetButtonEnabled(btnConvert, "btnConvert", true);
    skin_.SetButtonEnabled(btnPlay, "btnPlay", true);
}

void TfrmMain::NodeTreeMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    int selected = NodeTree->SelectedCount();
    if (selected == 0) {
        DisableItemButtons(true);
        skin_.SetButtonEnabled(btnConvert, "btnConvert", true);
    } else if (selected >= 2) {
        bool anyMember = false;
        for (treeview::PVastNode node = NodeTree->GetFirstSelected(); node; node = NodeTree->GetNextSelected(node))
            if (MediaItem* item = jobmodel::ItemOf(*NodeTree, node); item && IsMemberRow(*item)) anyMember = true;
        DisableItemButtons(anyMember);
    }
}
