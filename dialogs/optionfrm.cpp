// The options dialog.
#include "dialogs/optionfrm.h"

TfrmOption* frmOption = nullptr;

TfrmOption::TfrmOption(platform::TComponent* owner)
    : TSkinnedForm(owner, "option", "optionFormCreate", "option", "optionPanel", 485, 526) {
    SetCaption("Option");
    isAutoUpdate = new skinctrl::TdvxCheckBox(this);
    isAutoUpdate->SetName("isAutoUpdate");
    isAutoUpdate->SetParent(background);
    isAutoUpdate->SetBounds(40, 150, 160, 20);
    isAutoUpdate->SetCaption("Auto Update");
    btnOK = AddButton("btnOK", 270, 370, 110, 36);
    btnCancel = AddButton("btnCancel", 390, 370, 110, 36);
    btnClose = AddButton("btnClose", 490, 8, 22, 22);
    btnOK->SetModalResult(platform::mrOk);
    btnCancel->SetModalResult(platform::mrCancel);
    btnClose->SetModalResult(platform::mrCancel);
    TakeSkin();
}
