#pragma once
// The clip dialog (section "clip"): trims one row into segments. It keeps the pictures it
// took at start through skin changes.
#include "app/skinnedform.h"

class TfrmClip : public TSkinnedForm {
public:
    explicit TfrmClip(platform::TComponent* owner);
    // The clip dialog is not re-skinned.
    void ReloadSkin() override {}
};

extern TfrmClip* frmClip;
