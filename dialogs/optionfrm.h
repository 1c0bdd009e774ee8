#pragma once
// The options dialog (section "option"): the skin list and the skin in use, the update
// check at start, the snapshot folder and picture format. The main window fills it at its
// first showing.
//
// A skin picked in the list is applied at once to every window, but only after every
// picture the windows load from it was found and decoded; a skin that fails is refused
// with a message naming the reason, the windows keep the skin they show and it is never
// stored. OK writes "AutoUpdate" and "Skin" to the store; a write that fails is shown and
// the dialog stays open with nothing changed. Cancel goes back to the skin in use.
#include <map>
#include <string>

#include "dialogs/dialoghost.h"
#include "formbase/skinnedform.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxcombobox.h"
#include "skinctrl/dvxedit.h"

class TfrmOption : public TSkinnedForm {
public:
    // The host holds the update check and re-skins the other windows; null: the dialog alone.
    TfrmOption(platform::TComponent* owner, DialogHost* host);

    // The skin catalogue: a running index to the reader's description of each document.
    std::map<int, const SkinInfo*> SkinList;
    std::string SkinInUse;        // document path of the skin in use
    std::string SnapshotFolder;   // where preview snapshots go
    std::string PictureExtension; // ".jpg", ".bmp" or ".png"; empty until chosen

    // Handlers.
    void FormShow(platform::TObject* sender);
    void btnGeneralClick(platform::TObject*) { ShowTab(0); }
    void btnFormatClick(platform::TObject*) { ShowTab(1); }
    void skin_cmbChange(platform::TObject* sender);
    void btnSnappathClick(platform::TObject* sender);
    void btnOpenClick(platform::TObject* sender);
    void btnOKClick(platform::TObject* sender);
    void btnCancelClick(platform::TObject* sender);

    // 0 General, 1 Format.
    void ShowTab(int tab);
    void FillSkinList();
    void ShowSettings();
    // Opens the document, checks its pictures and re-skins this dialog and every other
    // window; false (a message shown, the skin shown before still in use) when it fails.
    bool ApplySkin(const std::string& documentPath);
    // Writes "AutoUpdate" and "Skin"; false (the error shown) when the store refused.
    bool SaveOptions();
    // The document the windows show now (changes with each successful ApplySkin).
    const std::string& AppliedSkin() const { return applied_; }
    const std::string& ChosenSkin() const { return chosen_; }

    platform::TLabel* mainLabel;
    skinctrl::TdvxImageButton *btnGeneral, *btnFormat;
    skinctrl::TdvxImagePanel *tabGeneral, *tabFormat;
    skinctrl::TdvxComboBox* skin_cmb;
    skinctrl::TdvxCheckBox* isAutoUpdate;
    skinctrl::TdvxEdit* PicPath;
    skinctrl::TdvxImageButton *btnSnappath, *btnOpen;
    skinctrl::TdvxComboBox* pic_format;
    skinctrl::TdvxImageButton* btnOK;
    skinctrl::TdvxImageButton* btnCancel;
    skinctrl::TdvxImageButton* btnClose;

private:
    void Finish(platform::TModalResult result);
    int IndexOfSkin(const std::string& path) const;

    DialogHost* host_;
    std::string chosen_;   // the skin picked during this showing
    std::string applied_;  // the skin the windows show
    int indexAtShow_ = -1;
};

extern TfrmOption* frmOption;

// Checks that every picture the windows load from the reader's current document (at the
// picture folder `imageFolder`) exists and decodes; false with the first one that does not
// in `error`.
bool CheckSkinPictures(const std::string& imageFolder, std::string& error);
