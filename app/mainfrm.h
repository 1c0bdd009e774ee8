#pragma once
// The main window: the skinned background with the command buttons, the job list
// (NodeTree, one MediaItem per row; the conversion reads the checked rows from it), the
// preview panel and its track bar, the output folder, and the help, list and drive menus.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialoghost.h"
#include "formbase/settings.h"
#include "formbase/skinlayout.h"
#include "formbase/uikinds.h"
#include "jobmodel/addfiles.h"
#include "jobmodel/dvdload.h"
#include "jobmodel/jobhost.h"
#include "jobmodel/jobrows.h"
#include "jobmodel/profiles.h"
#include "jobmodel/treerows.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxedit.h"
#include "skinctrl/dvxpanel.h"
#include "skinctrl/dvxtrackbar.h"
#include "treeview/vststrings.h"

namespace platform {
class TDeviceMonitor;
}
class TfrmEdit;
class TfrmClip;
class TfrmCustom;
class TfrmConvert;
class TfrmPro;
class TfrmOption;
class TfrmDVD;

// The preview's position report to the main window (WM_USER + 2025): LParam the position
// in seconds, WParam the list's length in seconds with kPlayTimeEnded set in the report
// that ends the stream.
constexpr platform::UINT WM_MAIN_PLAY_TIME = platform::WM_USER + 2025;
constexpr platform::WPARAM kPlayTimeEnded = platform::WPARAM(1) << 30;

struct PlayTimeInfo;
// The main window's share of the player's time reports. It may run on the player's thread,
// so it only posts the report to the main window; everything else happens there.
void OnMainPlayerTime(const PlayTimeInfo& info);

// It is also the job list's host: the list's commands ask their questions and open their
// windows through it; and the dialogs' host: they reach the job list, the skin, the preview's
// place and the update check through it.
class TfrmMain : public platform::TForm, public jobmodel::JobHost, public DialogHost {
public:
    // The window resource's size, before the skin gives the window its own.
    static constexpr int kWidth = 901;
    static constexpr int kHeight = 604;

    explicit TfrmMain(platform::TComponent* owner);
    ~TfrmMain() override;  // releases every row's records

    // The message map: drive changes and the preview's position reports go to the
    // handlers the DVD loading and the preview install; everything else to the form.
    void Dispatch(platform::TMessage& message) override;
    std::function<void(platform::TMessage&)> OnDeviceChange;
    std::function<void(platform::TMessage&)> OnMainPlayTime;

    // Handlers.
    void FormShow(platform::TObject* sender);
    void closeClick(platform::TObject* sender);
    void btnMiniClick(platform::TObject* sender);
    void MainPanelMouseDown(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                            int x, int y);
    void btnMenuClick(platform::TObject* sender);
    void HelpClick(platform::TObject* sender);
    void SupportClick(platform::TObject* sender);
    void HomepageClick(platform::TObject* sender);
    void updateClick(platform::TObject* sender);
    void AboutClick(platform::TObject* sender);
    void optionClick(platform::TObject* sender);
    void customizeClick(platform::TObject* sender);
    void NodeTreeMouseUp(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift, int x,
                         int y);

    // The job list's commands.
    void addFileClick(platform::TObject* sender);
    // Adds the files as the add command does (the dialog's answer); the list's commands
    // stay disabled meanwhile, as the command handles messages while it probes.
    jobmodel::AddFilesResult AddFiles(const std::vector<std::string>& paths);
    // The edit, clip and properties dialogs for the first selected row.
    void editClick(platform::TObject* sender);
    void clipClick(platform::TObject* sender);
    void PropertiesClick(platform::TObject* sender);
    void mergeClick(platform::TObject* sender);
    void slideClick(platform::TObject* sender);
    void CheckAllClick(platform::TObject* sender);
    void UncheckAllClick(platform::TObject* sender);
    void deletenodeClick(platform::TObject* sender);
    void ClearAllClick(platform::TObject* sender);
    void menuUPClick(platform::TObject* sender);
    void menuDownClick(platform::TObject* sender);
    void NodeTreeClick(platform::TObject* sender);
    void NodeTreeChange(treeview::PVastNode node);
    void FormKeyPress(platform::TObject* sender, char& key);
    // DVDs: the drive menu, the folder and IFO dialogs, a drive entry, device changes.
    void addDVDListClick(platform::TObject* sender);
    void downlist_folderClick(platform::TObject* sender);
    void downlist_ifoClick(platform::TObject* sender);
    void loadMultiromClick(platform::TObject* sender);
    void BuildDriveMenu();
    void LoadDvdFolder(const std::string& path);
    void LoadIfoFile(const std::string& path);
    void DeviceChange(platform::TMessage& message);
    // The "Audio Track" and "Subtitle" menus for the row; an entry's click.
    void UpdateItemMenu(treeview::PVastNode node);
    void ASClickAction(platform::TObject* sender);
    // Convert and the two buttons beside the output folder.
    void btnConvertClick(platform::TObject* sender);
    void btnOpenpathClick(platform::TObject* sender);
    void Open_imgClick(platform::TObject* sender);

    // The host of the job list's commands.
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void StopPreview() override;
    void ShowDvdWindow() override;
    void ShowProgressWindow() override;
    bool ModalOpen() override;
    void DriveMenuChanged(const std::vector<jobmodel::DriveMenuEntry>& entries) override;

    // The host of the dialogs.
    jobmodel::JobRows* JobList() override { return Rows.get(); }
    platform::TCustomImageList* JobImages() override;
    std::optional<platform::TPoint> PreviewOrigin() override { return platform::TPoint(Left(), Top()); }
    bool UpdateCheckAtStart() override { return AutoUpdate != 0; }
    void SetUpdateCheckAtStart(bool check) override { AutoUpdate = check ? 1 : 0; }

    // Settings, skin and commands.
    void LoadProgramSettings();
    void LoadSkinDocument();
    void LayoutFromSkin();
    void LoadButtonImages();
    void ReloadAllSkins() override;
    void LoadSkinCatalogue();
    // Reads the profile catalogue (at the first showing) and fills the customisation
    // dialog's profile list when the dialog exists; a dialog made later gets the same lines.
    void LoadProfiles(const std::string& folder);
    void BuildTemplateGalleries();

    // The dialogs other than the about box are made the first time they are needed, not at
    // start: reading and decoding their skin pictures was most of a start. Each returns its
    // dialog (the global of its name), made by the application and, for the customisation
    // and options dialogs, filled as the main window's first showing fills them. A dialog
    // made after a re-skin takes the skin in use.
    TfrmEdit* EditDialog();
    TfrmClip* ClipDialog();
    TfrmCustom* CustomDialog();
    TfrmConvert* ConvertDialog();
    TfrmPro* PropertiesDialog();
    TfrmOption* OptionDialog();
    TfrmDVD* DvdDialog();
    void RunUpdater();
    // Enables or disables the item buttons by the row the selection moved to.
    void UpdateItemButtons(treeview::PVastNode row);
    // all = true: every item button, Convert and the play buttons; false (several rows
    // selected): Edit, Clip and Customize off, Merge and Slide on.
    void DisableItemButtons(bool all);
    // Where the help menu opens: just under btnMenu, in screen coordinates.
    platform::TPoint HelpMenuPoint() const;

    // The preview: play, stop, the track bar, snapshots and the snapshot folder.
    void btnPlayClick(platform::TObject* sender);
    void btnPlayMouseUp(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift, int x,
                        int y);
    void btnStopClick(platform::TObject* sender);
    void MainTrackBarMouseDown(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                               int x, int y);
    void MainTrackBarMouseUp(platform::TObject* sender, platform::TMouseButton button, platform::TShiftState shift,
                             int x, int y);
    void btnPhotoClick(platform::TObject* sender);
    void btnOpenClick(platform::TObject* sender);
    // WM_MAIN_PLAY_TIME: the end of the stream, the stop at the bar's end, then the position
    // (or 0 without a selected row) unless a seek's report is still to be dropped.
    void OnMainTimeMessage(platform::TMessage& message);
    // Opens the selected row in the player; false when nothing could be opened.
    bool OpenItemPreview();
    // Opens and starts a group's members as one list; false when none could be opened.
    bool PlayGroupPreview(treeview::PVastNode group);
    void UpdatePlayButton();
    void ResetPlaybackButtons();
    void EndPlayback();
    // Track bar to 0 with the row's length as maximum (groups and members: nothing).
    void ResetTrackBar(treeview::PVastNode row);
    // Stops and closes the player before a dialog takes it; AttachMainPreview gives it back.
    void CloseMainPreview();
    void AttachMainPreview();
    // Shows a modal window that takes the preview player, handing the player over and back.
    void ShowTakingPreview(platform::TCustomForm* form);
    // Installs (true, once the window exists) or removes the main window's share of the
    // player's time reports.
    void TakeTimeReports(bool take);
    // The snapshot's path: the first number from the counter on whose file does not exist.
    std::string NextSnapshotPath(const std::string& folder, const std::string& extension);

    // The program folder, ending in "/".
    std::string ProgramFolder;

    // Fields the other parts of the program read and write.
    jobmodel::DvdLoadState DvdState;
    jobmodel::GroupCounters Counters;
    // Optical drives coming and going (null when udev cannot be reached).
    std::unique_ptr<platform::TDeviceMonitor> DeviceMonitor;
    bool PreviewOpened = false;
    bool PreviewPlaying = false;
    int PendingSeeks = 0;
    int SeekTarget = -1;
    std::string SnapshotFolder;
    std::string SkinPath;
    int PreviewWidth = 0, PreviewHeight = 0;
    int SnapshotCounter = 0;
    std::string OutputFolder;
    int TotalSeconds = 0;
    int AutoUpdate = 0;
    bool SeekInProgress = false;
    int TrackBarMax = 0;

    // Controls.
    skinctrl::TdvxImagePanel* MainPanel;
    skinctrl::TdvxImageButton *close, *btnMini, *btnMenu;
    skinctrl::TdvxImageButton *addFile, *addDVD, *addDVDList;
    skinctrl::TdvxImageButton *customize, *option;
    skinctrl::TdvxImageButton *edit, *clip, *merge, *slide;
    treeview::TVastStringTree* NodeTree;
    // The job model's view of NodeTree.
    std::unique_ptr<jobmodel::TreeRows> Rows;
    platform::TPanel* MainPlayPanel;
    skinctrl::TdvxImageButton *btnPlay, *btnStop, *btnPhoto, *btnOpen;
    skinctrl::TdvxTrackBar* MainTrackBar;
    skinctrl::TdvxImageButton* btnConvert;
    platform::TLabel* labOutput;
    skinctrl::TdvxEdit* OutputPath;
    skinctrl::TdvxImageButton *Open_img, *btnOpenpath;
    skinctrl::TdvxImageButton* btnHelp;
    platform::TLabel* mainLabel;
    platform::TImageList* ImageList;
    TSkinPopupMenu* Help_Menu;
    TSkinPopupMenu* Edit_Menu;
    TSkinPopupMenu* Downlist_menu;
    platform::TMenuItem *menuUP, *menuDown, *menuAudio, *menuSubtitle;

    const TSkinWindow& Skin() const { return skin_; }

protected:
    void DoCreate() override;

private:
    skinctrl::TdvxImageButton* AddButton(const char* name, int left, int top, int width, int height);
    platform::TMenuItem* AddMenuItem(TSkinPopupMenu* menu, const char* name, const char* caption,
                                     platform::TNotifyEvent onClick = {});
    void BuildMenus();
    void OpenLink(const std::string& address, platform::HWND owner, int show);
    // The main window's own skinned controls, in the order the skin is applied.
    std::vector<SkinEntry> SkinTable();

    // The list's commands on or off (off while files are added).
    void EnableListCommands(bool enabled);
    // A modal window or a run closed: a drive removal that waited acts now.
    void AfterModal();
    // What the first showing gives the customisation and options dialogs.
    void ShowProfileLines();
    void FillCustomDialog();
    void FillOptionDialog();

    TSkinWindow skin_{"main", "mainFormCreate", "main"};
    bool shown_ = false;
    bool adding_ = false;
    int modalDepth_ = 0;
    jobmodel::ProfileLines profileLines_;
    // The output name as it was when its edit began (for a cancel).
    std::string editBefore_;
};

extern TfrmMain* frmMain;

// The makers' web site (the build's setting) and the pages the help menu opens.
std::string WebAddress(const std::string& page);
