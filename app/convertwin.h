#pragma once
// The progress window (section "convert"): the form that shows a conversion run; the run
// itself (worker, bars, result lines) is its Run.
#include "app/skinnedform.h"
#include "jobmodel/convertfrm.h"

class TfrmConvert : public TSkinnedForm {
public:
    explicit TfrmConvert(platform::TComponent* owner);

    // The run this window shows: started when the window shows, the window closes at its end.
    jobmodel::TfrmConvert Run;
};

extern TfrmConvert* frmConvert;
