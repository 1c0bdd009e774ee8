// The clip dialog.
#include "dialogs/clipfrm.h"

TfrmClip* frmClip = nullptr;

TfrmClip::TfrmClip(platform::TComponent* owner)
    : TSkinnedForm(owner, "clip", "clipFormCreate", "clip", "clipBackground", 793, 709) {
    SetCaption("Clip");
    TakeSkin();
}
