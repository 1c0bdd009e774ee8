// The media properties dialog.
#include "dialogs/profrm.h"

TfrmPro* frmPro = nullptr;

TfrmPro::TfrmPro(platform::TComponent* owner)
    : TSkinnedForm(owner, "properties", "proFormCreate", "pro", "proPanel", 460, 380) {
    SetCaption("Properties");
    btnOK = AddButton("btnOK", 320, 330, 110, 36);
    btnClose = AddButton("btnClose", 430, 8, 22, 22);
    btnOK->SetModalResult(platform::mrOk);
    btnClose->SetModalResult(platform::mrCancel);
    TakeSkin();
}
