#pragma once
// The edit dialog (section "edit"): crop, picture and effect of one row.
#include "app/skinnedform.h"

class TfrmEdit : public TSkinnedForm {
public:
    explicit TfrmEdit(platform::TComponent* owner);
};

extern TfrmEdit* frmEdit;
