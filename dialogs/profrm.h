#pragma once
// The media properties dialog (section "properties"): what the converter found in the
// source of one job-list row. It changes nothing; OK and the title's close button close it.
#include <string>

#include "formbase/skinnedform.h"
#include "jobmodel/mediaitem.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxedit.h"

class TfrmPro : public TSkinnedForm {
public:
    explicit TfrmPro(platform::TComponent* owner);

    // The row to show at the next showing (null: nothing).
    void SetMediaItem(const jobmodel::MediaItem* item) { item_ = item; }
    // Fills the eight fields from the row.
    void FormShow(platform::TObject* sender);
    void btnOKClick(platform::TObject* sender);

    platform::TLabel* mainLabel;
    skinctrl::TdvxEdit *Text_N, *Text_L, *Text_R, *Text_vb, *Text_F, *Text_S, *Text_C, *Text_AB;
    skinctrl::TdvxImageButton* btnOK;
    skinctrl::TdvxImageButton* btnClose;

private:
    const jobmodel::MediaItem* item_ = nullptr;
};

extern TfrmPro* frmPro;

// The eight texts of a row, in the dialog's order: name, length, resolution, video bit
// rate, frame rate, sample rate, channels, audio bit rate. A row without media information
// gives its name and length and six empty texts.
struct MediaProperties {
    std::string name, length, resolution, videoBitrate, frameRate, sampleRate, channels, audioBitrate;
};
MediaProperties DescribeMedia(const jobmodel::MediaItem& item);
