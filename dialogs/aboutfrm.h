#pragma once
// The about box (section "about"): shown modally from the help menu; OK closes it.
#include "app/skinnedform.h"

class TfrmAbout : public TSkinnedForm {
public:
    explicit TfrmAbout(platform::TComponent* owner);
    skinctrl::TdvxImageButton* btnOK;
};

extern TfrmAbout* frmAbout;
