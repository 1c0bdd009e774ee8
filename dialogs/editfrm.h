#pragma once
// The edit dialog (section "edit"): crop, aspect, picture adjustments, effect, flips and
// volume of one job-list row, previewed live by the preview player in the dialog's panel.
// OK writes the row's crop and effect records; Cancel and the close button leave them as
// they were. Every way of closing closes the player's window.
//
// The player reports time and crops from its own thread: those reports only post messages
// to the dialog, and everything they lead to (the position bar, the end of the stream, the
// crop texts) happens on the user-interface thread.
#include <atomic>

#include "dialogs/dialoghost.h"
#include "formbase/playerfrm.h"
#include "formbase/skinnedform.h"
#include "jobmodel/mediaitem.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxcombobox.h"
#include "skinctrl/dvxedit.h"
#include "skinctrl/dvxtrackbar.h"

// The dialog's messages: the play position (WParam seconds, LParam 1 at the end of the
// stream) and the crop the player reports (WParam top or left, LParam bottom or right).
constexpr platform::UINT WM_EDIT_PLAY_TIME = platform::WM_USER + 2026;
constexpr platform::UINT WM_EDIT_CROP_TOPBOTTOM = platform::WM_USER + 2027;
constexpr platform::UINT WM_EDIT_CROP_LEFTRIGHT = platform::WM_USER + 2028;

// The effect bars run 0..20 for the values -100..100 (10 at 0).
int EffectBarValue(int position);
int EffectBarPosition(int value);
// The player's gain for a volume bar position 0..510: v x 65535 / 510 on both channels.
std::uint32_t VolumeGain(int volume);

class TfrmEdit : public TSkinnedForm {
public:
    // The four crop edges, in the order of the skip flags.
    enum Edge { edLeft = 0, edRight = 1, edTop = 2, edBottom = 3 };

    // The host gives where the preview is placed from; null: the dialog alone.
    TfrmEdit(platform::TComponent* owner, DialogHost* host);
    ~TfrmEdit() override;
    void Dispatch(platform::TMessage& message) override;
    void ReloadSkin() override;

    // The row to edit at the next showing (the job list's node record).
    void SetEditItem(jobmodel::MediaItem* item) { item_ = item; }
    jobmodel::MediaItem* EditItem() const { return item_; }

    // Handlers.
    void FormShow(platform::TObject* sender);
    void FormClose(platform::TObject* sender, platform::TCloseAction& action);
    void closeClick(platform::TObject* sender);
    void tabCropClick(platform::TObject* sender);
    void tabEffectClick(platform::TObject* sender);
    void TotalTrackBarMouseDown(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                                int x, int y);
    void TotalTrackBarMouseUp(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                              int x, int y);
    void btnPlayClick(platform::TObject* sender);
    void btnStopClick(platform::TObject* sender);
    void btnReplayClick(platform::TObject* sender);
    void btnVerticalClick(platform::TObject* sender);
    void btnLevelClick(platform::TObject* sender);
    // The change, enter and exit handlers of the four crop spin edits.
    void CropChange(Edge edge);
    void CropEnter(Edge edge) { skip_[edge] = false; }
    void CropExit(Edge edge) { skip_[edge] = true; }
    void Crop_zoomChange(platform::TObject* sender);
    void Effect_brightChange(platform::TObject* sender);
    void Effect_contrastChange(platform::TObject* sender);
    void Effect_saturationChange(platform::TObject* sender);
    void Effect_cmbChange(platform::TObject* sender);
    void btnCropResetClick(platform::TObject* sender);
    void btnEffectResetClick(platform::TObject* sender);
    void AdjustVolumeChange(platform::TObject* sender);
    void btnOKClick(platform::TObject* sender);
    void btnCancelClick(platform::TObject* sender);

    // The messages of the player's reports.
    void OnEditTimeMessage(platform::TMessage& message);
    void OnCropTopBottomMessage(platform::TMessage& message);
    void OnCropLeftRightMessage(platform::TMessage& message);
    // The player's callbacks: they only post to the dialog, from whatever thread.
    static void OnEditPlayerTime(const PlayTimeInfo& info);
    static std::int32_t OnEditCropRect(PlayerCropInfo* crop);

    // The preview's state.
    bool Playing() const { return playing_; }
    bool Opened() const { return opened_; }
    bool SeekInProgress() const { return seekInProgress_; }
    int PendingSeeks() const { return pendingSeeks_; }
    bool VerticalFlip() const { return verticalFlip_; }
    bool HorizontalFlip() const { return horizontalFlip_; }
    // The record handed to the player while the row is open.
    const TitlePlayRecord& PlayRecord() const { return playRecord_; }

    platform::TLabel *mainLabel, *Label1, *Label2;
    skinctrl::TdvxImageButton* close;
    skinctrl::TdvxImageButton *tabCrop, *tabEffect;
    skinctrl::TdvxImagePanel *tabCropPanel, *tabEffectPanel;
    skinctrl::TdvxComboBox* Crop_zoom;
    skinctrl::TdvxSpinEdit *Crop_left, *Crop_right, *Crop_top, *Crop_bottom;
    skinctrl::TdvxImageButton* btnCropReset;
    skinctrl::TdvxTrackBar *Effect_bright, *Effect_contrast, *Effect_saturation;
    skinctrl::TdvxComboBox* Effect_cmb;
    skinctrl::TdvxImageButton* btnEffectReset;
    platform::TPanel* EditPlayPanel;
    skinctrl::TdvxTrackBar* TotalTrackBar;
    skinctrl::TdvxImageButton *btnPlay, *btnStop, *btnReplay;
    skinctrl::TdvxImageButton *btnVertical, *btnLevel;
    skinctrl::TdvxTrackBar* AdjustVolume;
    skinctrl::TdvxImageButton* volume;
    skinctrl::TdvxImageButton *btnOK, *btnCancel;

private:
    void AttachEditPreview();
    void ShowTab(bool crop);
    void InitCropAndEffect();
    void OpenEditPreview();
    void EndPlayback();
    void SetPlayButtonState(bool playing);
    void SendFlips(bool vertical, bool horizontal);
    void SendEffect(int effect);
    void SendVolume(int volume);
    void ResetPlayerPicture();
    skinctrl::TdvxSpinEdit* Spin(Edge edge) const;
    // Sets a spin edit with its change handler quiet.
    void SetSpinQuietly(skinctrl::TdvxSpinEdit* spin, int value);
    void Finish();

    DialogHost* host_;
    jobmodel::MediaItem* item_ = nullptr;
    TitlePlayRecord playRecord_{};
    bool verticalFlip_ = false, horizontalFlip_ = false;
    bool skip_[4] = {};
    bool cropTab_ = true;  // the tab shown
    bool playing_ = false, opened_ = false, seekInProgress_ = false;
    int pendingSeeks_ = 0;
    int seekTarget_ = -1;
};

extern TfrmEdit* frmEdit;
