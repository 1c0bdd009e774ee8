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
#include "formbase/playerfrm.h"
#include "jobmodel/addfiles.h"
#include "jobmodel/convertcmd.h"
#include "jobmodel/fonts.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/joblist.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/profiles.h"
#include "platform/core/files.h"
#include "platform/controls/dialogs.h"
#include "platform/core/shell.h"
#include "platform/windows/devicemonitor.h"
#include "platform/graphics/imglist.h"
#include "playermaker/morvbrindle.h"
#include "treeview/vtheader.h"

using namespace platform;
using jobmodel::MediaItem;

TfrmMain* frmMain = nullptr;

std::string WebAddress(const std::string& page) { return std::string(LUMACAST_WEB_ADDRESS) + page; }

namespace {

bool IsMemberRow(const MediaItem& item) { return jobmodel::IsGroupMember(item); }

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

constexpr int kRowImageSize = 16;

// The job list's four row pictures, in the order of the rows' imageIndex: a file (or DVD
// row, or group member), a clip segment, a merge group, a slide group.
void DrawJobRowImages(TImageList* list) {
    list->SetSize(kRowImageSize, kRowImageSize);
    const TColor mask = clFuchsia;
    const TColor outline = RGB(40, 60, 100);
    for (int kind = 0; kind < 4; ++kind) {
        TBitmap picture;
        picture.SetPixelFormat(pf24bit);
        picture.SetSize(kRowImageSize, kRowImageSize);
        TCanvas* c = picture.Canvas();
        c->Brush()->SetColor(mask);
        c->FillRect(TRect(0, 0, kRowImageSize, kRowImageSize));
        c->Pen()->SetColor(outline);
        if (kind == 0) {
            // A film strip with a play sign: a video.
            c->Brush()->SetColor(RGB(70, 110, 180));
            c->Rectangle(1, 2, 15, 14);
            c->Brush()->SetColor(clWhite);
            for (int x = 3; x < 14; x += 4) {
                c->FillRect(TRect(x, 3, x + 2, 5));
                c->FillRect(TRect(x, 11, x + 2, 13));
            }
            c->Pen()->SetColor(clWhite);
            c->Brush()->SetColor(clWhite);
            c->Polygon({TPoint(6, 6), TPoint(6, 10), TPoint(10, 8)});
        } else if (kind == 1) {
            // A short piece cut out of a strip, between two brackets.
            c->Brush()->SetColor(RGB(230, 150, 40));
            c->Rectangle(4, 4, 12, 12);
            c->Brush()->SetColor(outline);
            for (int x : {1, 14}) c->FillRect(TRect(x, 2, x + 1, 14));
            c->FillRect(TRect(1, 2, 3, 3));
            c->FillRect(TRect(1, 13, 3, 14));
            c->FillRect(TRect(13, 2, 15, 3));
            c->FillRect(TRect(13, 13, 15, 14));
        } else if (kind == 2) {
            // Two pieces joined into one: a merge.
            c->Brush()->SetColor(RGB(60, 160, 80));
            c->Rectangle(1, 1, 7, 6);
            c->Rectangle(1, 10, 7, 15);
            c->Rectangle(10, 4, 15, 12);
            c->Brush()->SetColor(outline);
            c->FillRect(TRect(7, 3, 9, 4));
            c->FillRect(TRect(7, 12, 9, 13));
            c->FillRect(TRect(8, 3, 9, 13));
            c->FillRect(TRect(8, 7, 10, 9));
        } else {
            // Three pictures stacked: a slide show.
            const TColor faces[] = {RGB(150, 110, 200), RGB(175, 140, 220), RGB(205, 180, 240)};
            for (int i = 0; i < 3; ++i) {
                c->Brush()->SetColor(faces[i]);
                c->Rectangle(1 + 2 * i, 1 + 2 * i, 11 + 2 * i, 10 + 2 * i);
            }
        }
        list->AddMasked(&picture, mask);
    }
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
    Rows = std::make_unique<jobmodel::TreeRows>(*NodeTree);
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
    NodeTree->OnChange = [this](treeview::TBaseVastTree*, treeview::PVastNode node) { NodeTreeChange(node); };
    NodeTree->OnInitNode = [](treeview::TBaseVastTree* tree, treeview::PVastNode, treeview::PVastNode node,
                              treeview::TVastNodeInitStates&) { jobmodel::InitItemNode(*tree, node); };
    NodeTree->OnGetText = [this](treeview::TBaseVastTree*, treeview::PVastNode node, treeview::TColumnIndex column,
                             treeview::TVSTTextType, std::string& text) {
        text = jobmodel::ItemCellText(*Rows, jobmodel::TreeRows::RowOf(node), column);
    };
    NodeTree->OnGetImageIndex = [this](treeview::TBaseVastTree*, treeview::PVastNode node, treeview::TVTImageKind,
                                   treeview::TColumnIndex column, bool&, int& index) {
        index = jobmodel::ItemImageIndex(*Rows, jobmodel::TreeRows::RowOf(node), column);
    };
    NodeTree->OnChecked = [](treeview::TBaseVastTree* tree, treeview::PVastNode node) {
        if (MediaItem* item = jobmodel::ItemOf(*tree, node)) jobmodel::FlipItemCheckByte(*item);
    };
    NodeTree->OnClick = [this](TObject* s) { NodeTreeClick(s); };
    NodeTree->OnEditing = [this](treeview::TBaseVastTree* tree, treeview::PVastNode node, treeview::TColumnIndex column,
                                 bool& allowed) {
        // Only the output name is renamed in place.
        MediaItem* item = jobmodel::ItemOf(*tree, node);
        allowed = column == 3 && item;
        if (allowed) editBefore_ = jobmodel::BeginDestinationEdit(*item);
    };
    NodeTree->OnNewText = [](treeview::TBaseVastTree* tree, treeview::PVastNode node, treeview::TColumnIndex column,
                             const std::string& text) {
        if (MediaItem* item = jobmodel::ItemOf(*tree, node); item && column == 3)
            jobmodel::SetNewDestinationText(*item, text);
    };
    NodeTree->OnEdited = [](treeview::TBaseVastTree* tree, treeview::PVastNode node, treeview::TColumnIndex column) {
        if (MediaItem* item = jobmodel::ItemOf(*tree, node); item && column == 3) jobmodel::EndDestinationEdit(*item);
    };
    NodeTree->OnEditCancelled = [this](treeview::TBaseVastTree* tree, treeview::TColumnIndex column) {
        if (MediaItem* item = jobmodel::ItemOf(*tree, tree->FocusedNode()); item && column == 3)
            jobmodel::CancelDestinationEdit(*item, editBefore_);
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
    DrawJobRowImages(ImageList);
    NodeTree->SetImages(ImageList);
    BuildMenus();

    close->OnClick = [this](TObject* s) { closeClick(s); };
    btnMini->OnClick = [this](TObject* s) { btnMiniClick(s); };
    btnMenu->OnClick = [this](TObject* s) { btnMenuClick(s); };
    btnHelp->OnClick = [this](TObject* s) { HelpClick(s); };
    option->OnClick = [this](TObject* s) { optionClick(s); };
    customize->OnClick = [this](TObject* s) { customizeClick(s); };
    addFile->OnClick = [this](TObject* s) { addFileClick(s); };
    edit->OnClick = [this](TObject* s) { editClick(s); };
    clip->OnClick = [this](TObject* s) { clipClick(s); };
    merge->OnClick = [this](TObject* s) { mergeClick(s); };
    slide->OnClick = [this](TObject* s) { slideClick(s); };
    addDVD->OnClick = [this](TObject* s) { downlist_folderClick(s); };
    addDVDList->OnClick = [this](TObject* s) { addDVDListClick(s); };
    btnConvert->OnClick = [this](TObject* s) { btnConvertClick(s); };
    btnOpenpath->OnClick = [this](TObject* s) { btnOpenpathClick(s); };
    Open_img->OnClick = [this](TObject* s) { Open_imgClick(s); };
    OnKeyPress = [this](TObject* s, char& key) { FormKeyPress(s, key); };
    OnDeviceChange = [this](TMessage& m) { DeviceChange(m); };
    // The preview.
    btnPlay->OnClick = [this](TObject* s) { btnPlayClick(s); };
    btnPlay->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        btnPlayMouseUp(s, b, sh, x, y);
    };
    btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
    btnPhoto->OnClick = [this](TObject* s) { btnPhotoClick(s); };
    btnOpen->OnClick = [this](TObject* s) { btnOpenClick(s); };
    MainTrackBar->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        MainTrackBarMouseDown(s, b, sh, x, y);
    };
    MainTrackBar->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        MainTrackBarMouseUp(s, b, sh, x, y);
    };
    OnMainPlayTime = [this](TMessage& m) { OnMainTimeMessage(m); };
    OnShow = [this](TObject* s) { FormShow(s); };

    // 3. Settings; 4. the list waits for its first rows; 5, 6. the skin.
    LoadProgramSettings();
    NodeTree->SetVisible(false);
    Counters = {};
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

TfrmMain::~TfrmMain() {
    TakeTimeReports(false);
    DeviceMonitor.reset();
    jobmodel::ClearItemTree(*Rows);
}

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
    AddMenuItem(Edit_Menu, "CheckAll", "CheckAll    ", [this](TObject* s) { CheckAllClick(s); });
    AddMenuItem(Edit_Menu, "UncheckAll", "UncheckAll", [this](TObject* s) { UncheckAllClick(s); });
    AddMenuItem(Edit_Menu, "", "-");
    AddMenuItem(Edit_Menu, "deletenode", "Delete", [this](TObject* s) { deletenodeClick(s); });
    AddMenuItem(Edit_Menu, "ClearAll", "ClearAll", [this](TObject* s) { ClearAllClick(s); });
    AddMenuItem(Edit_Menu, "", "-");
    menuUP = AddMenuItem(Edit_Menu, "menuUP", "Move Up", [this](TObject* s) { menuUPClick(s); });
    menuDown = AddMenuItem(Edit_Menu, "menuDown", "Move Down", [this](TObject* s) { menuDownClick(s); });
    AddMenuItem(Edit_Menu, "", "-");
    AddMenuItem(Edit_Menu, "menuMerge", "Merge", [this](TObject* s) { mergeClick(s); });
    AddMenuItem(Edit_Menu, "menuSlide", "Slide", [this](TObject* s) { slideClick(s); });
    AddMenuItem(Edit_Menu, "", "-");
    AddMenuItem(Edit_Menu, "Properties", "Properties", [this](TObject* s) { PropertiesClick(s); });
    AddMenuItem(Edit_Menu, "", "-");
    menuAudio = AddMenuItem(Edit_Menu, "menuAudio", "Audio Track");
    menuSubtitle = AddMenuItem(Edit_Menu, "menuSubtitle", "Subtitle");
    NodeTree->SetPopupMenu(Edit_Menu);

    // The drive menu: two fixed entries, then one per optical drive when the drives are listed.
    Downlist_menu = new TSkinPopupMenu(this);
    Downlist_menu->SetName("Downlist_menu");
    AddMenuItem(Downlist_menu, "downlist_folder", "Load DVD Folder", [this](TObject* s) { downlist_folderClick(s); });
    AddMenuItem(Downlist_menu, "downlist_ifo", "Load IFO File", [this](TObject* s) { downlist_ifoClick(s); });
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

TCustomImageList* TfrmMain::JobImages() { return ImageList; }

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
    profileLines_ = jobmodel::LoadProfileCatalogue(folder);
    if (frmCustom) ShowProfileLines();
}

void TfrmMain::ShowProfileLines() {
    TStrings* items = frmCustom->comProfile->Items();
    items->Clear();
    for (const std::string& line : profileLines_.lines) items->Add(line);
    if (profileLines_.selected >= 0) frmCustom->comProfile->SetItemIndex(profileLines_.selected);
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
    // Optical drives and their media coming and going reach the window as WM_DEVICECHANGE.
    DeviceMonitor = std::make_unique<TDeviceMonitor>(Handle());
    // Without udev the menu keeps the drives of its last listing.
    DeviceMonitor->Start();
    TakeTimeReports(true);
    TForm::DoCreate();
}

void TfrmMain::FormShow(TObject*) {
    if (shown_) return;
    shown_ = true;
    // The catalogue and the working records are read now; the dialogs that show them are
    // filled here when they exist already, else when they are made.
    LoadProfiles(ProgramFolder + "profile/");
    BuildTemplateGalleries();
    // 3. The preview shows in its panel once a row is played.
    AttachMainPreview();
    MainPlayPanel->SetVisible(false);
    if (frmOption) FillOptionDialog();
    skin_.LoadPictures({{"MainTrackBar", MainTrackBar, TSkinUse::Slider}});
    if (AutoUpdate != 0) RunUpdater();
    mainLabel->SetCaption("Velmorasoft Lumacast");
    BuildDriveMenu();
}

void TfrmMain::FillCustomDialog() {
    ShowProfileLines();
    BuildTemplateGalleries();
}

void TfrmMain::FillOptionDialog() {
    LoadSkinCatalogue();
    frmOption->SkinInUse = SkinPath;
    frmOption->SnapshotFolder = SnapshotFolder;
    frmOption->isAutoUpdate->SetChecked(AutoUpdate != 0);
}

// ---- the dialogs, made at their first use ----

namespace {

// Makes a dialog that reaches the program through the main window, as the application
// object makes the other windows.
template <class T> void CreateDialog(T*& reference, DialogHost* host) {
    reference = new T(Application, host);
    reference->AfterConstruction();
}

}  // namespace

TfrmEdit* TfrmMain::EditDialog() {
    if (!frmEdit) CreateDialog(frmEdit, this);
    return frmEdit;
}

TfrmClip* TfrmMain::ClipDialog() {
    if (!frmClip) CreateDialog(frmClip, this);
    return frmClip;
}

TfrmCustom* TfrmMain::CustomDialog() {
    if (!frmCustom) {
        Application->CreateForm(frmCustom);
        // Before the first showing, the showing fills it.
        if (shown_) FillCustomDialog();
    }
    return frmCustom;
}

TfrmConvert* TfrmMain::ConvertDialog() {
    if (!frmConvert) Application->CreateForm(frmConvert);
    return frmConvert;
}

TfrmPro* TfrmMain::PropertiesDialog() {
    if (!frmPro) Application->CreateForm(frmPro);
    return frmPro;
}

TfrmOption* TfrmMain::OptionDialog() {
    if (!frmOption) {
        CreateDialog(frmOption, this);
        if (shown_) FillOptionDialog();
    }
    return frmOption;
}

TfrmDVD* TfrmMain::DvdDialog() {
    if (!frmDVD) Application->CreateForm(frmDVD);
    return frmDVD;
}

void TfrmMain::Dispatch(TMessage& message) {
    if (message.Msg == WM_DEVICECHANGE && OnDeviceChange) return OnDeviceChange(message);
    if (message.Msg == WM_MAIN_PLAY_TIME && OnMainPlayTime) return OnMainPlayTime(message);
    TForm::Dispatch(message);
}

void TfrmMain::closeClick(TObject*) {
    // The player's threads end before the program does: they post to its windows.
    CloseMainPreview();
    Close();
}

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
    OptionDialog()->ShowModal();
}

void TfrmMain::customizeClick(TObject*) {
    MediaItem* item = jobmodel::ItemOf(*NodeTree, NodeTree->GetFirstSelected());
    if (!item || !CustomDialog()) return;
    // The dialog's preview is its own; the main preview stops while it shows and gets
    // the player back afterwards.
    frmCustom->SetCustomItem(item);
    ShowTakingPreview(frmCustom);
    AfterModal();
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
    bool group = jobmodel::IsGroupRow(*item), member = IsMemberRow(*item);
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

// ---- the job list's host ----

void TfrmMain::ShowMessage(const std::string& text) { Application->MessageBox(text, Caption(), MB_OK); }

bool TfrmMain::AskYesNo(const std::string& text, const std::string& caption) {
    return Application->MessageBox(text, caption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

void TfrmMain::StopPreview() {
    ActivePlayerLibrary().stopPlay(1);
    ResetPlaybackButtons();
}

void TfrmMain::AfterModal() {
    if (modalDepth_ == 0) jobmodel::RunPendingDvdRemoval(DvdState, *Rows, *this);
}

void TfrmMain::ShowDvdWindow() {
    if (!DvdDialog()) return;
    // OK fills the job list; Cancel empties it after a fresh parse (the reopen flag says).
    frmDVD->JobList = Rows.get();
    frmDVD->LoadState = &DvdState;
    ShowTakingPreview(frmDVD);
    NodeTree->SetVisible(NodeTree->RootNodeCount() > 0);
    if (NodeTree->RootNodeCount() == 0) DisableItemButtons(true);
    AfterModal();
}

void TfrmMain::ShowProgressWindow() {
    if (!ConvertDialog()) return;
    ShowTakingPreview(frmConvert);
    AfterModal();
}

bool TfrmMain::ModalOpen() { return modalDepth_ > 0; }

void TfrmMain::DriveMenuChanged(const std::vector<jobmodel::DriveMenuEntry>& entries) {
    // The two fixed entries stay; the drive entries are made again.
    while (Downlist_menu->Items()->Count() > 2) Downlist_menu->Items()->Delete(Downlist_menu->Items()->Count() - 1);
    for (const jobmodel::DriveMenuEntry& entry : entries) {
        TMenuItem* item = AddMenuItem(Downlist_menu, "", entry.caption.c_str(),
                                      [this](TObject* s) { loadMultiromClick(s); });
        item->SetName(std::string(1, entry.driveId));
    }
}

// ---- the job list's commands ----

void TfrmMain::EnableListCommands(bool enabled) {
    for (skinctrl::TdvxImageButton* button : {addFile, addDVD, addDVDList, btnConvert}) button->SetEnabled(enabled);
    Edit_Menu->SetAutoPopup(enabled);
    if (enabled) {
        DisableItemButtons(true);
        if (treeview::PVastNode row = NodeTree->GetFirstSelected()) UpdateItemButtons(row);
        if (NodeTree->RootNodeCount() > 0) skin_.SetButtonEnabled(btnConvert, "btnConvert", true);
    } else {
        DisableItemButtons(true);
    }
}

jobmodel::AddFilesResult TfrmMain::AddFiles(const std::vector<std::string>& paths) {
    jobmodel::AddFilesResult result;
    if (adding_) return result;
    adding_ = true;
    EnableListCommands(false);
    NodeTree->SetVisible(true);
    result = jobmodel::AddMediaFiles(*Rows, paths, *this);
    adding_ = false;
    if (NodeTree->RootNodeCount() == 0) NodeTree->SetVisible(false);
    EnableListCommands(true);
    return result;
}

void TfrmMain::addFileClick(TObject*) {
    if (adding_) return;
    TOpenDialog dialog(this);
    dialog.SetTitle("Open");
    // The patterns match any letter case: "*.AVI" is as welcome as "*.avi".
    dialog.SetFilter(
        "All Supported Video Formats(*.*)|*.wmv;*.3gp;*.mov;*.vob;*.mpg;*.asf;*.flv;*.avi;*.rm;*.rmvb;*.mp4;*.mkv;"
        "|Windows Media Video (*.wmv)|*.wmv"
        "|Mobile iPhone 3GP files(*.3gp)|*.3gp"
        "|Quick Time Files(*.mov)|*.mov"
        "|DVD VOB Files(*.vob)|*.vob"
        "|MPG/MPEG2(*.mpg)|*.mpg"
        "|Windows Media Video(*.asf)|*.asf"
        "|Flash Video Files(*.flv)|*.flv"
        "|Windows AVI Video Files(*.avi)|*.avi"
        "|Real Media Files (*.rm;*.rmvb)|*.rm;*.rmvb"
        "|MPEG4 Files (*.mp4)|*.mp4"
        "|MKV files(*.mkv)|*.mkv");
    dialog.SetOptions(ofHideReadOnly | ofAllowMultiSelect | ofFileMustExist | ofNoChangeDir);
    if (!dialog.Execute()) return;
    std::vector<std::string> paths;
    for (int i = 0; i < dialog.Files()->Count(); ++i) paths.push_back(dialog.Files()->Strings(i));
    if (paths.empty() && !dialog.FileName().empty()) paths.push_back(dialog.FileName());
    AddFiles(paths);
}

// A window that takes the preview player: the main preview is stopped and closed first
// and attached to the main window's panel again once the window has closed.
void TfrmMain::ShowTakingPreview(TCustomForm* form) {
    CloseMainPreview();
    ++modalDepth_;
    form->ShowModal();
    --modalDepth_;
    AttachMainPreview();
}

void TfrmMain::editClick(TObject*) {
    if (adding_) return;
    MediaItem* row = jobmodel::ItemOf(*NodeTree, NodeTree->GetFirstSelected());
    if (!row || !EditDialog()) return;
    frmEdit->SetEditItem(row);
    ShowTakingPreview(frmEdit);
    AfterModal();
}

void TfrmMain::clipClick(TObject*) {
    if (adding_ || !ClipDialog()) return;
    treeview::PVastNode node = NodeTree->GetFirstSelected();
    MediaItem* row = jobmodel::ItemOf(*NodeTree, node);
    if (!row || row->kind == jobmodel::mkMerge || row->kind == jobmodel::mkSlide) return;
    if (row->role == jobmodel::rrSegment) {
        // A segment row: the dialog cuts its parent row.
        frmClip->SetSelectedSegment(jobmodel::FieldText(row->row.source));
        node = node->Parent;
        row = jobmodel::ItemOf(*NodeTree, node);
        if (!row) return;
        frmClip->SetClipItem(row, 1, jobmodel::TreeRows::RowOf(node), Rows.get());
    } else {
        frmClip->SetClipItem(row, 0, jobmodel::TreeRows::RowOf(node), Rows.get());
        NodeTree->SetSelected(node, true);
    }
    ShowTakingPreview(frmClip);
    AfterModal();
}

void TfrmMain::PropertiesClick(TObject*) {
    MediaItem* row = jobmodel::ItemOf(*NodeTree, NodeTree->GetFirstSelected());
    if (!row || !PropertiesDialog()) return;
    frmPro->SetMediaItem(row);
    frmPro->ShowModal();
}

void TfrmMain::mergeClick(TObject*) {
    if (adding_) return;
    if (jobmodel::MakeGroup(*Rows, jobmodel::mkMerge, Counters, *this)) NodeTree->SetVisible(true);
}

void TfrmMain::slideClick(TObject*) {
    if (adding_) return;
    if (jobmodel::MakeGroup(*Rows, jobmodel::mkSlide, Counters, *this)) NodeTree->SetVisible(true);
}

void TfrmMain::CheckAllClick(TObject*) {
    if (!adding_) jobmodel::SetAllChecked(*Rows, true);
}

void TfrmMain::UncheckAllClick(TObject*) {
    if (!adding_) jobmodel::SetAllChecked(*Rows, false);
}

void TfrmMain::deletenodeClick(TObject*) {
    if (adding_) return;
    NodeTree->CancelEditNode();
    jobmodel::DeleteSelectedRows(*Rows);
    if (NodeTree->RootNodeCount() == 0) {
        NodeTree->SetVisible(false);
        DisableItemButtons(true);
    }
}

void TfrmMain::ClearAllClick(TObject*) {
    if (adding_) return;
    NodeTree->CancelEditNode();
    if (!jobmodel::ClearAllRows(*Rows)) return;
    NodeTree->SetVisible(false);
    DisableItemButtons(true);
}

void TfrmMain::menuUPClick(TObject*) {
    if (!adding_) jobmodel::MoveSelectedRow(*Rows, true);
}

void TfrmMain::menuDownClick(TObject*) {
    if (!adding_) jobmodel::MoveSelectedRow(*Rows, false);
}

void TfrmMain::NodeTreeChange(treeview::PVastNode node) {
    StopPreview();
    if (!node) return;
    ResetTrackBar(node);
    UpdateItemButtons(node);
    UpdateItemMenu(node);
}

void TfrmMain::NodeTreeClick(TObject*) {
    treeview::PVastNode focused = NodeTree->FocusedNode();
    if (!focused || !NodeTree->GetFirstSelected()) return;
    if (jobmodel::ClickEditsDestination(*Rows, NodeTree->FocusedColumn())) {
        SetKeyPreview(true);
        NodeTree->EditNode(focused, 3);
    } else {
        SetKeyPreview(false);
        NodeTree->EndEditNode();
    }
}

void TfrmMain::FormKeyPress(TObject*, char& key) {
    if (KeyPreview() && jobmodel::IsSwallowedNameKey(key)) key = 0;
}

// ---- DVDs ----

void TfrmMain::addDVDListClick(TObject*) {
    POINT at{};
    GetCursorPos(&at);
    Downlist_menu->Popup(at.x, at.y);
}

void TfrmMain::downlist_folderClick(TObject*) {
    if (adding_) return;
    BROWSEINFOA info;
    char name[260] = {};
    info.hwndOwner = Handle();
    info.pszDisplayName = name;
    info.lpszTitle = "Please Select DVD Folder.";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen) return;
    char path[260] = {};
    BOOL ok = SHGetPathFromIDListA(chosen, path);
    CoTaskMemFree(chosen);
    if (!ok) return;
    DvdState.chosenSource = path;
    LoadDvdFolder(path);
}

void TfrmMain::downlist_ifoClick(TObject*) {
    if (adding_) return;
    TOpenDialog dialog(this);
    dialog.SetTitle("Open");
    // Discs written on other systems name the file in either case.
    dialog.SetFilter("DVD IFO Files (*.IFO)|*.IFO;*.ifo");
    dialog.SetOptions(ofHideReadOnly | ofFileMustExist | ofNoChangeDir);
    if (!dialog.Execute() || dialog.FileName().empty()) return;
    DvdState.chosenSource = dialog.FileName();
    LoadIfoFile(dialog.FileName());
}

void TfrmMain::loadMultiromClick(TObject* sender) {
    auto* item = dynamic_cast<TMenuItem*>(sender);
    if (!item || item->Name().empty() || adding_) return;
    LoadDvdFolder(jobmodel::DriveRootOf(item->Name()[0]));
}

void TfrmMain::BuildDriveMenu() {
    std::vector<jobmodel::DriveMenuEntry> entries;
    if (jobmodel::BuildDriveMenu(DvdState, entries)) DriveMenuChanged(entries);
}

void TfrmMain::LoadDvdFolder(const std::string& path) {
    if (!DvdDialog()) return;
    jobmodel::LoadDvdFolder(DvdState, *Rows, *frmDVD->Rows, path, *this);
    NodeTree->SetVisible(NodeTree->RootNodeCount() > 0);
}

void TfrmMain::LoadIfoFile(const std::string& path) {
    if (!DvdDialog()) return;
    jobmodel::LoadIfoFile(DvdState, *Rows, *frmDVD->Rows, path, *this);
    NodeTree->SetVisible(NodeTree->RootNodeCount() > 0);
}

void TfrmMain::DeviceChange(TMessage& message) {
    message.Result = jobmodel::OnDeviceChange(DvdState, *Rows, message.WParam, message.LParam, *this);
    if (NodeTree->RootNodeCount() == 0) DisableItemButtons(true);
}

void TfrmMain::UpdateItemMenu(treeview::PVastNode node) {
    MediaItem* row = jobmodel::ItemOf(*NodeTree, node);
    if (!row) return;
    jobmodel::StreamMenus menus = jobmodel::ItemStreamMenus(*row);
    menuUP->SetEnabled(menus.moveEnabled);
    menuDown->SetEnabled(menus.moveEnabled);
    menuAudio->SetEnabled(menus.streamsEnabled);
    menuSubtitle->SetEnabled(menus.streamsEnabled);
    for (auto [menu, entries] : {std::pair{menuAudio, &menus.audio}, {menuSubtitle, &menus.subtitles}}) {
        menu->Clear();
        for (const auto& [caption, tag] : *entries) {
            auto* item = new TMenuItem(this);
            item->SetCaption(caption);
            item->SetTag(tag);
            item->OnClick = [this](TObject* s) { ASClickAction(s); };
            menu->Add(item);
        }
    }
}

void TfrmMain::ASClickAction(TObject* sender) {
    auto* item = dynamic_cast<TMenuItem*>(sender);
    if (!item || !item->Parent()) return;
    jobmodel::ApplyStreamChoice(*Rows, item->Parent() == menuAudio, int(item->Tag()));
}

// ---- Convert ----

void TfrmMain::btnConvertClick(TObject*) {
    if (adding_ || !ConvertDialog()) return;
    NodeTree->EndEditNode();
    jobmodel::ConvertCommand command{OutputFolder, *Rows, frmDVD ? frmDVD->Rows.get() : nullptr, frmConvert->Run,
                                     ProgramFolder, *this};
    // The field keeps showing the folder as chosen; the run uses it with its "/".
    jobmodel::ConvertClick(command);
}

void TfrmMain::btnOpenpathClick(TObject*) { jobmodel::OpenOutputFolder(OutputPath->Text()); }

void TfrmMain::Open_imgClick(TObject*) {
    BROWSEINFOA info;
    char name[260] = {};
    info.hwndOwner = Handle();
    info.pszDisplayName = name;
    info.lpszTitle = "Please Select Output folder.";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen) return;
    char path[260] = {};
    BOOL ok = SHGetPathFromIDListA(chosen, path);
    CoTaskMemFree(chosen);
    if (!ok) return;
    OutputFolder = path;
    OutputPath->SetText(OutputFolder);
}
