#pragma once
// The media properties dialog (section "properties"): OK and the title's close button
// close it.
#include "app/skinnedform.h"

class TfrmPro : public TSkinnedForm {
public:
    explicit TfrmPro(platform::TComponent* owner);
    skinctrl::TdvxImageButton* btnOK;
    skinctrl::TdvxImageButton* btnClose;
};

extern TfrmPro* frmPro;
