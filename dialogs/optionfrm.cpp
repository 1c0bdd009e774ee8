// The options dialog.
#include "dialogs/optionfrm.h"

#include <exception>
#include <stdexcept>

#include "formbase/settings.h"
#include "libs/morvanalyzeimg/skin_names.h"
#include "platform/controls/dialogs.h"
#include "platform/core/registry.h"
#include "platform/core/shell.h"
#include "platform/graphics/graphics.h"

using namespace platform;

TfrmOption* frmOption = nullptr;

namespace {

const char* const kExtensions[] = {".jpg", ".bmp", ".png"};

TLabel* AddLabel(TComponent* owner, TWinControl* parent, const char* caption, int left, int top) {
    auto* label = new TLabel(owner);
    label->SetParent(parent);
    label->SetTransparent(true);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

skinctrl::TdvxComboBox* AddList(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width) {
    auto* combo = new skinctrl::TdvxComboBox(owner);
    combo->SetName(name);
    combo->SetParent(parent);
    combo->SetStyle(csDropDownList);
    combo->SetBounds(left, top, width, 22);
    return combo;
}

bool PictureDecodes(const std::string& path, std::string& error) {
    try {
        TPicture picture;
        picture.LoadFromFile(path);
        if (picture.Width() > 0 && picture.Height() > 0) return true;
        error = "the skin picture \"" + path + "\" is empty";
    } catch (const std::exception& e) {
        error = "the skin picture \"" + path + "\" cannot be used: " + e.what();
    }
    return false;
}

}  // namespace

bool CheckSkinPictures(const std::string& imageFolder, std::string& error) {
    const SkinReader& reader = ActiveSkinReader();
    for (const skinnames::Window& window : skinnames::Windows()) {
        SkinSectionHandle section = reader.GetSkinSection(window.section);
        std::string folder = JoinSkinPath(imageFolder, window.folder);
        for (const skinnames::Item& item : window.items) {
            int states = 0;
            switch (item.pictures) {
                case skinnames::Pictures::None: continue;
                case skinnames::Pictures::Normal: states = 1; break;
                case skinnames::Pictures::Tab: states = 2; break;
                case skinnames::Pictures::Button: states = 4; break;
            }
            const SkinItem* record = reader.GetSkinItem(section, item.name);
            // An item the document lacks keeps its control as built: nothing to load.
            if (!record || record->Reserved == kSkinItemNotFound || !record->Image || !*record->Image) continue;
            for (int state = 0; state < states; ++state)
                if (!PictureDecodes(JoinSkinPath(folder, SkinImageName(record->Image, state)), error)) return false;
        }
    }
    for (const std::string& fixed : skinnames::FixedPictures())
        if (!PictureDecodes(JoinSkinPath(imageFolder, fixed), error)) return false;
    return true;
}

TfrmOption::TfrmOption(TComponent* owner, DialogHost* host)
    : TSkinnedForm(owner, "option", "optionFormCreate", "option", "optionPanel", 485, 526), host_(host) {
    SetCaption("Option");
    mainLabel = AddLabel(this, background, "Option", 16, 12);
    mainLabel->Font()->SetStyle(TFontStyles{fsBold});
    btnGeneral = AddButton("btnGeneral", 20, 40, 100, 30);
    btnFormat = AddButton("btnFormat", 122, 40, 100, 30);

    auto panel = [this](const char* name) {
        auto* tab = new skinctrl::TdvxImagePanel(this);
        tab->SetName(name);
        tab->SetParent(background);
        tab->SetTransparent(true);
        tab->SetCaption("");
        tab->SetBounds(20, 72, 480, 280);
        return tab;
    };
    tabGeneral = panel("tabGeneral");
    tabFormat = panel("tabFormat");

    AddLabel(this, tabGeneral, "Choose your skin :", 20, 30);
    skin_cmb = AddList(this, tabGeneral, "skin_cmb", 20, 54, 300);
    isAutoUpdate = new skinctrl::TdvxCheckBox(this);
    isAutoUpdate->SetName("isAutoUpdate");
    isAutoUpdate->SetParent(tabGeneral);
    isAutoUpdate->SetBounds(20, 110, 160, 20);
    isAutoUpdate->SetCaption("Auto Update");

    AddLabel(this, tabFormat, "Snapshot Path :", 20, 98);
    PicPath = new skinctrl::TdvxEdit(this);
    PicPath->SetName("PicPath");
    PicPath->SetParent(tabFormat);
    PicPath->SetBounds(20, 120, 410, 24);
    PicPath->SetReadOnly(true);
    btnSnappath = AddButton("btnSnappath", 440, 120, 30, 24);
    btnSnappath->SetParent(tabFormat);
    btnOpen = AddButton("btnOpen", 440, 160, 30, 24);
    btnOpen->SetParent(tabFormat);
    AddLabel(this, tabFormat, "Open", 396, 164);
    AddLabel(this, tabFormat, "Format :", 20, 200);
    pic_format = AddList(this, tabFormat, "pic_format", 20, 222, 120);
    for (const char* format : {"JPG", "BMP", "PNG"}) pic_format->Items()->Add(format);
    pic_format->SetItemIndex(0);

    btnOK = AddButton("btnOK", 270, 370, 110, 36);
    btnCancel = AddButton("btnCancel", 390, 370, 110, 36);
    btnClose = AddButton("btnClose", 490, 8, 22, 22);

    // The skin's order: background, tabs, tab panels, then the buttons.
    table = {table[0],
             {"btnGeneral", btnGeneral, TSkinUse::Tab},
             {"btnFormat", btnFormat, TSkinUse::Tab},
             {"tabGeneral", tabGeneral, TSkinUse::Place},
             {"tabFormat", tabFormat, TSkinUse::Place},
             {"btnSnappath", btnSnappath, TSkinUse::Button},
             {"btnOpen", btnOpen, TSkinUse::Button},
             {"btnOK", btnOK, TSkinUse::Button},
             {"btnCancel", btnCancel, TSkinUse::Button},
             {"btnClose", btnClose, TSkinUse::Button}};

    btnGeneral->OnClick = [this](TObject* s) { btnGeneralClick(s); };
    btnFormat->OnClick = [this](TObject* s) { btnFormatClick(s); };
    skin_cmb->OnChange = [this](TObject* s) { skin_cmbChange(s); };
    btnSnappath->OnClick = [this](TObject* s) { btnSnappathClick(s); };
    btnOpen->OnClick = [this](TObject* s) { btnOpenClick(s); };
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    btnClose->OnClick = [this](TObject* s) { btnCancelClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    TakeSkin();
    ShowTab(0);
}

void TfrmOption::FormShow(TObject*) {
    ShowTab(0);
    FillSkinList();
    ShowSettings();
    chosen_ = SkinInUse;
    applied_ = SkinInUse;
    indexAtShow_ = skin_cmb->ItemIndex();
}

void TfrmOption::ShowTab(int tab) {
    skin.ShowButtonState(btnGeneral, "btnGeneral", tab == 0 ? ssMouseOn : ssNormal);
    skin.ShowButtonState(btnFormat, "btnFormat", tab == 1 ? ssMouseOn : ssNormal);
    tabGeneral->SetVisible(tab == 0);
    tabFormat->SetVisible(tab == 1);
}

int TfrmOption::IndexOfSkin(const std::string& path) const {
    for (const auto& [index, info] : SkinList)
        if (info && info->Path && path == info->Path) return index;
    return -1;
}

void TfrmOption::FillSkinList() {
    skin_cmb->Items()->Clear();
    int selected = -1, row = 0;
    // The list's rows follow the catalogue's indexes, which run from 0 without gaps.
    for (const auto& [index, info] : SkinList) {
        skin_cmb->Items()->Add(info && info->Name ? info->Name : "");
        if (info && info->Path && SkinInUse == info->Path) selected = row;
        ++row;
    }
    skin_cmb->SetItemIndex(selected);
}

void TfrmOption::ShowSettings() {
    if (host_) isAutoUpdate->SetChecked(host_->UpdateCheckAtStart());
    PicPath->SetText(SnapshotFolder);
    for (int i = 0; i < 3; ++i)
        if (PictureExtension == kExtensions[i]) pic_format->SetItemIndex(i);
}

void TfrmOption::skin_cmbChange(TObject*) {
    auto entry = SkinList.find(skin_cmb->ItemIndex());
    if (entry == SkinList.end() || !entry->second || !entry->second->Path) return;
    std::string candidate = entry->second->Path;
    if (ApplySkin(candidate)) {
        chosen_ = candidate;
    } else {
        // The list shows the skin the windows still show.
        skin_cmb->SetItemIndex(IndexOfSkin(applied_));
    }
}

bool TfrmOption::ApplySkin(const std::string& documentPath) {
    std::string error;
    bool opened = OpenSkin(documentPath, error);
    if (opened && CheckSkinPictures(SkinImageFolder, error)) {
        skin.Reload(table);
        ShowTab(0);
        applied_ = documentPath;
        if (host_) host_->ReloadAllSkins();
        return true;
    }
    // Nothing was re-skinned yet: the reader goes back to the document the windows show.
    std::string ignored;
    if (opened && !applied_.empty()) OpenSkin(applied_, ignored);
    Application->MessageBox("The skin \"" + documentPath + "\" cannot be used: " + error, "Option",
                            MB_OK | MB_ICONERROR);
    return false;
}

void TfrmOption::btnSnappathClick(TObject*) {
    char name[260] = {};  // the browser writes at most 260 bytes
    BROWSEINFOA info;
    info.hwndOwner = Handle();
    info.pszDisplayName = name;
    info.lpszTitle = "Please Select folder.";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen) return;
    char path[260] = {};
    if (SHGetPathFromIDListA(chosen, path)) PicPath->SetText(path);
    CoTaskMemFree(chosen);
}

void TfrmOption::btnOpenClick(TObject*) {
    std::string path = PicPath->Text();
    if (!path.empty()) ShellExecuteA(Handle(), "explore", path.c_str(), nullptr, nullptr, SW_SHOW);
}

bool TfrmOption::SaveOptions() {
    bool autoUpdate = isAutoUpdate->Checked();
    try {
        TRegistry registry;
        registry.SetRootKey(HKEY_CURRENT_USER);
        bool opened = registry.OpenKey(kMakerKey, true);
        registry.CloseKey();
        if (!opened || !registry.OpenKey(kSettingKey, true))
            throw std::runtime_error("the settings store cannot be opened");
        registry.WriteString("AutoUpdate", autoUpdate ? "1" : "0");
        registry.WriteString("Skin", chosen_);
        registry.CloseKey();
    } catch (const std::exception& e) {
        Application->MessageBox(std::string("The options were not saved: ") + e.what(), "Option",
                                MB_OK | MB_ICONERROR);
        return false;
    }
    // Only what the store now holds becomes the program's.
    SkinInUse = chosen_;
    if (host_) host_->SetUpdateCheckAtStart(autoUpdate);
    return true;
}

void TfrmOption::btnOKClick(TObject*) {
    if (!SaveOptions()) return;  // the dialog stays open
    SnapshotFolder = PicPath->Text();
    int format = pic_format->ItemIndex();
    if (format >= 0 && format < 3) PictureExtension = kExtensions[format];
    Finish(mrOk);
}

void TfrmOption::btnCancelClick(TObject*) {
    if (skin_cmb->ItemIndex() != indexAtShow_ || applied_ != SkinInUse) ApplySkin(SkinInUse);
    Finish(mrCancel);
}

void TfrmOption::Finish(TModalResult result) {
    if (IsModal())
        SetModalResult(result);
    else
        Close();
}
