// The edit dialog.
#include "dialogs/editfrm.h"

TfrmEdit* frmEdit = nullptr;

TfrmEdit::TfrmEdit(platform::TComponent* owner)
    : TSkinnedForm(owner, "edit", "editFormCreate", "edit", "Background", 760, 540) {
    SetCaption("Edit");
    TakeSkin();
}
