// The about box.
#include "dialogs/aboutfrm.h"

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout(platform::TComponent* owner)
    : TSkinnedForm(owner, "about", "aboutFormCreate", "about", "aboutPanel", 420, 300) {
    SetCaption("About");
    btnOK = AddButton("btnOK", 290, 250, 110, 36);
    btnOK->SetModalResult(platform::mrOk);
    TakeSkin();
}
