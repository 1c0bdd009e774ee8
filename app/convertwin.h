#pragma once
// The progress window (section "convert"): the form that shows a conversion run; the run
// itself (worker, bars, result lines) is jobmodel::TfrmConvert.
#include "app/skinnedform.h"

class TfrmConvert : public TSkinnedForm {
public:
    explicit TfrmConvert(platform::TComponent* owner);
};

extern TfrmConvert* frmConvert;
