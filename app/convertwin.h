#pragma once
// The progress window (section "convert"): the modal window of one conversion run. It
// takes over the preview player and shows the converter's frames in it, shows the current
// item's and the whole run's progress in two bars and one result line per finished item,
// lets the user cancel or minimise, and at the end of the run shuts the computer down or
// tells the user and opens the output folder, as the user asked. It closes only when the
// worker's end-of-run message has come; a close request before that asks whether to
// cancel.
#include <memory>
#include <string>

#include "formbase/skinnedform.h"
#include "jobmodel/convertfrm.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxmemo.h"
#include "skinctrl/dvxprogressbar.h"

class TfrmConvert : public TSkinnedForm {
public:
    explicit TfrmConvert(platform::TComponent* owner);
    ~TfrmConvert() override;

    // The run this window shows: started when the window shows; its bars and result lines
    // are this window's controls.
    jobmodel::TfrmConvert Run;

    // Handlers.
    void FormShow(platform::TObject* sender);
    void convertPanelMouseDown(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                               int x, int y);
    void PreviewClick(platform::TObject* sender);
    // "Cancel Conversion?"; Yes asks the run to stop (the window stays until its end).
    void btnCancelClick(platform::TObject* sender);
    void btnMiniClick(platform::TObject* sender);
    // A close before the end of the run is refused (and asks the cancel question).
    void FormCloseQuery(platform::TObject* sender, bool& canClose);
    // Gives the player window and the converter's preview up.
    void FormClose(platform::TObject* sender, platform::TCloseAction& action);

    // The player in ConvertPlayPanel, fed with the converter's frames while it converts.
    void AttachConvertPreview();
    // The end of the run (both bars already filled).
    void OnConvertFinished();
    // Asks the system to switch off; a refused request is told to the user.
    void ShutdownComputer();
    void ReloadSkin() override;

    // The preview area as the skin laid it out.
    int PreviewWidth = 0;
    int PreviewHeight = 0;

    skinctrl::TdvxImagePanel* convertPanel;  // the background
    platform::TLabel* mainLabel;
    platform::TPanel* ConvertPlayPanel;
    skinctrl::TdvxMemo* ShowResult;
    skinctrl::TdvxProgressBar* OneProgress;
    skinctrl::TdvxProgressBar* TotalProgress;
    skinctrl::TdvxCheckBox* ShowPath;
    skinctrl::TdvxCheckBox* ShutDown;
    skinctrl::TdvxCheckBox* Preview;
    skinctrl::TdvxImageButton* btnCancel;
    skinctrl::TdvxImageButton* close;
    skinctrl::TdvxImageButton* btnMini;

private:
    void KeepPreviewSize();
    void PlaceTitle();

    class Bar;
    class MemoLines;
    std::unique_ptr<Bar> oneBar_, totalBar_;
    std::unique_ptr<MemoLines> lines_;
    bool sinkInstalled_ = false;
};

extern TfrmConvert* frmConvert;
