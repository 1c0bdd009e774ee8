#pragma once
// The options dialog (section "option"): the skin list and the skin in use, the update
// check at start, the snapshot folder and picture format. The main window fills it at its
// first showing.
#include <map>
#include <string>

#include "app/skinnedform.h"
#include "skinctrl/dvxcheckbox.h"

class TfrmOption : public TSkinnedForm {
public:
    explicit TfrmOption(platform::TComponent* owner);

    // The skin catalogue: a running index to the reader's description of each document.
    std::map<int, const SkinInfo*> SkinList;
    std::string SkinInUse;        // document path of the skin in use
    std::string SnapshotFolder;   // where preview snapshots go
    std::string PictureExtension; // ".jpg", ".bmp" or ".png"; empty until chosen

    skinctrl::TdvxCheckBox* isAutoUpdate;
    skinctrl::TdvxImageButton* btnOK;
    skinctrl::TdvxImageButton* btnCancel;
    skinctrl::TdvxImageButton* btnClose;
};

extern TfrmOption* frmOption;
