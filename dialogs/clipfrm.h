#pragma once
// The clip dialog (section "clip"): cuts one job-list row into segments, each of which
// becomes a segment row of its own under the row. It keeps the pictures it took at start
// through skin changes.
//
// The segment list holds deep copies owned by the dialog; OK (or Yes to the question that
// Cancel asks) replaces the row's segment rows by them, No leaves the job list as it was.
// A segment always ends at least a second after it starts. The preview player reports time
// from its own thread; the report only posts a message, handled on the user-interface thread.
#include <memory>

#include "dialogs/dialoghost.h"
#include "formbase/playerfrm.h"
#include "formbase/skinnedform.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/treerows.h"
#include "platform/controls/comctrls.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxtrackbar.h"
#include "treeview/vststrings.h"

// The position report (WParam seconds, LParam 1 at the end of the stream).
constexpr platform::UINT WM_CLIP_PLAY_TIME = platform::WM_USER + 2029;

class TfrmClip : public TSkinnedForm {
public:
    // The host gives the job list, its pictures and where the preview is placed from;
    // null: the dialog alone.
    TfrmClip(platform::TComponent* owner, DialogHost* host);
    ~TfrmClip() override;
    void Dispatch(platform::TMessage& message) override;
    // The clip dialog is not re-skinned.
    void ReloadSkin() override {}

    // The row to cut, its node and the job list that holds it (null: the host's).
    // Fills the segment list: copies of the row's segment rows, or one "Segment_1" over its
    // range. fromSegment (the main window opened it on a segment row) is not used further.
    void SetClipItem(jobmodel::MediaItem* row, int fromSegment, jobmodel::Row node,
                     jobmodel::JobRows* jobRows = nullptr);
    // The segment title of the segment row the dialog was opened on; kept, not used.
    void SetSelectedSegment(const std::string& title) { selectedSegment_ = title; }

    // Handlers.
    void FormShow(platform::TObject* sender);
    void FormClose(platform::TObject* sender, platform::TCloseAction& action);
    void btnPlayClick(platform::TObject* sender);
    void btnStopClick(platform::TObject* sender);
    void btnPlayTrimMouseDown(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                              int x, int y);
    void btnPlayTrimMouseUp(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                            int x, int y);
    void btnTrimStartClick(platform::TObject* sender);
    void btnTrimEndClick(platform::TObject* sender);
    void start_trimtime_okClick(platform::TObject* sender);
    void end_trimtime_okClick(platform::TObject* sender);
    void StartTrackBarChange(platform::TObject* sender);
    void EndTrackBarChange(platform::TObject* sender);
    // The press handler of all three bars; the release handlers seek to the released bar.
    void TotalTrackBarMouseDown(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                                int x, int y);
    void TrackBarMouseUp(skinctrl::TdvxTrackBar* bar);
    void btnAddClick(platform::TObject* sender);
    void btnDeleteClick(platform::TObject* sender);
    void ClipNodeTreeChange(treeview::PVastNode node);
    void btnOKClick(platform::TObject* sender);
    void btnCancelClick(platform::TObject* sender);

    void OnClipTimeMessage(platform::TMessage& message);
    // The dialog's share of the player's time reports: it only posts, from whatever thread.
    static void OnClipPlayerTime(const PlayTimeInfo& info);

    // State, for the window's own use and its tests.
    int Start() const { return start_; }
    int End() const { return end_; }
    int SegmentCounter() const { return segmentCounter_; }
    bool Playing() const { return playing_; }
    bool Opened() const { return opened_; }
    bool SeekInProgress() const { return seekInProgress_; }
    int PendingSeeks() const { return pendingSeeks_; }
    // The selected segment's record, or null.
    jobmodel::MediaItem* SelectedSegment() const;
    // Sizes the segment list's columns to their headings and times; the title takes the rest.
    void FitSegmentColumns();

    platform::TLabel* mainLabel;
    platform::TPanel* ClipPlayPanel;
    skinctrl::TdvxTrackBar *TotalTrackBar, *StartTrackBar, *EndTrackBar;
    skinctrl::TdvxImagePanel* trimLine;
    platform::TLabel *start, *end;
    platform::TDateTimePicker *StartTime, *EndTime;
    skinctrl::TdvxImageButton *start_trimtime_ok, *end_trimtime_ok;
    skinctrl::TdvxImageButton *btnPlay, *btnPlayTrim, *btnStop, *btnTrimStart, *btnTrimEnd;
    skinctrl::TdvxImageButton *btnAdd, *btnDelete;
    treeview::TVastStringTree* ClipNodeTree;
    skinctrl::TdvxImageButton *btnOK, *btnCancel, *close;

private:
    void AttachClipPreview();
    void OpenClipItem();
    void SetPlayState(bool playing);
    void EndPlayback();
    void ShowStartTime();
    void ShowEndTime();
    void ShowRange(const jobmodel::MediaItem& row);
    void SelectSegmentsLikeJobList();
    void StoreSegments();
    void EmptySegmentList();
    void Finish();

    DialogHost* host_;
    jobmodel::JobRows* jobRows_ = nullptr;
    jobmodel::Row node_ = nullptr;
    // The job model's view of ClipNodeTree.
    std::unique_ptr<jobmodel::TreeRows> clipRows_;
    jobmodel::MediaItem* item_ = nullptr;
    std::string selectedSegment_;
    TitlePlayRecord playRecord_{};
    int segmentCounter_ = 0;
    int start_ = 0, end_ = 0;
    bool playing_ = false, opened_ = false, seekInProgress_ = false;
    int pendingSeeks_ = 0;
    int seekTarget_ = -1;
};

extern TfrmClip* frmClip;
