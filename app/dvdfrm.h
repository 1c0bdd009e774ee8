#pragma once
// The DVD window (section "dvdloader"): the user picks what of the loaded DVD goes into
// the job list. Its title list (NodeTree): the disc row on top, its children the titles,
// theirs the chapters, each with its MediaItem; the conversion maps trims onto the
// chapters' time ranges there. Each row gets its audio track and subtitle, the selected
// title or chapter plays in the preview, and OK replaces the job list with the checked rows.
#include <atomic>
#include <cstdint>
#include <memory>

#include "formbase/skinnedform.h"
#include "formbase/uikinds.h"
#include "jobmodel/dvdload.h"
#include "jobmodel/treerows.h"
#include "libs/morvplayer/morvplayer.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/stdctrls.h"
#include "platform/graphics/imglist.h"
#include "skinctrl/dvxtrackbar.h"
#include "treeview/vststrings.h"

// The preview's position report to the DVD window (WM_USER + 2033): WParam the position in
// seconds; LParam bit 0 set for the report that ends the stream, the other bits the
// preview's opening it belongs to.
constexpr platform::UINT WM_DVD_PLAY_TIME = platform::WM_USER + 2033;

class TfrmDVD : public TSkinnedForm {
public:
    // The window resource's size, before the skin gives the window its own.
    static constexpr int kWidth = 865;
    static constexpr int kHeight = 601;

    explicit TfrmDVD(platform::TComponent* owner);
    ~TfrmDVD() override;  // releases every row's records

    // What OK fills and Cancel may empty, and the load state whose reopen flag Cancel
    // reads; the main window sets them before it shows the window.
    jobmodel::TreeRows* JobList = nullptr;
    const jobmodel::DvdLoadState* LoadState = nullptr;

    // WM_DVD_PLAY_TIME goes to OnDvdTimeMessage; everything else to the form.
    void Dispatch(platform::TMessage& message) override;
    void ReloadSkin() override;

    // Handlers.
    void FormShow(platform::TObject* sender);
    void FormClose(platform::TObject* sender, platform::TCloseAction& action);
    void btnOKClick(platform::TObject* sender);
    void btnCancelClick(platform::TObject* sender);  // also the close button
    void btnPlayClick(platform::TObject* sender);
    void btnPlayMouseUp(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift, int x,
                        int y);
    void btnStopClick(platform::TObject* sender);
    void btnPreClick(platform::TObject* sender);
    void btnNextClick(platform::TObject* sender);
    void DVDTrackBarMouseDown(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                              int x, int y);
    void DVDTrackBarMouseUp(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                            int x, int y);
    void audioCmbChange(platform::TObject* sender);
    void sutitleCmbChange(platform::TObject* sender);
    void NodeTreeChange(treeview::PVastNode node);
    void CheckAllClick(platform::TObject* sender);
    void UncheckAllClick(platform::TObject* sender);
    void showChapterClick(platform::TObject* sender);
    void hideChapterClick(platform::TObject* sender);

    // The preview.
    void AttachDvdPreview();
    // Opens the selected title or chapter at a second; false when nothing could be opened.
    bool OpenDvdItem(int startSecond);
    void StopDvdPreview();
    void EndPlayback();
    void UpdatePlayImages();
    void OnDvdTimeMessage(platform::TMessage& message);

    // The list.
    void UpdateNavButtons();
    // Previous and Next enabled when a press would move the selection.
    void ShowNavButtons();
    void FillTrackCombos(const jobmodel::MediaItem& row);
    void SelectCurrentTracks(const jobmodel::MediaItem& row);
    void SelectPreviousItem();
    void SelectNextItem();
    // Expands the disc row and expands or collapses every title.
    void ExpandChapters(bool expand);
    void CopyCheckedToJobList();

    // The preview's state: idle (neither), playing (both) or paused (opened only).
    bool Playing = false;
    bool Opened = false;
    int PendingSeeks = 0;
    int SeekTarget = -1;
    bool SeekInProgress = false;
    // The record handed to the player for the row it opens.
    DvdPlaybackInfo PlaybackInfo{};

    // Controls.
    platform::TLabel* mainLabel;
    treeview::TVastStringTree* NodeTree;
    // The job model's view of NodeTree.
    std::unique_ptr<jobmodel::TreeRows> Rows;
    platform::TLabel *Lab_audio, *Lab_subtitle;
    TProfileCombo *audioCmb, *sutitleCmb;
    platform::TPanel* DVDPlayPanel;
    skinctrl::TdvxTrackBar* DVDTrackBar;
    skinctrl::TdvxImageButton *btnPlay, *btnStop, *btnPre, *btnNext;
    skinctrl::TdvxImageButton *btnOK, *btnCancel, *close;
    platform::TImageList* ImageList;
    TSkinPopupMenu* DVD_Menu;
    platform::TMenuItem *CheckAll, *UncheckAll, *showChapter, *hideChapter;

private:
    // Loads the three pictures of an item into the play button (its play or pause look).
    void ShowPlayLook(const char* item);
    // The row the window works on: the first selected one.
    treeview::PVastNode Selected() { return NodeTree->GetFirstSelected(); }
    void MoveSelectionTo(treeview::PVastNode node);
    void PlayFromStart();
    // The title beside a close button the skin puts over it; the labels' colour for the background.
    void FitTexts();
    void CloseWindow();
};

extern TfrmDVD* frmDVD;

// The DVD window's share of the player's time reports: only posts WM_DVD_PLAY_TIME to the
// window (it may run on the player's thread).
void OnDvdPlayerTime(const PlayTimeInfo& report);
