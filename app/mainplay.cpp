// The main window's preview: play and pause, stop, the track bar with its seek handshake,
// groups played as one list, snapshots and the snapshot folder, and the player's time
// reports as they reach the main window.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/mainfrm.h"
#include "dialogs/optionfrm.h"
#include "formbase/playerfrm.h"
#include "jobmodel/dvdload.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/joblist.h"
#include "jobmodel/mediaitem.h"
#include "platform/core/messages.h"
#include "platform/core/shell.h"

using namespace platform;
using jobmodel::MediaItem;

namespace {

// The main window's handle for the player's thread, which must not ask the form for it.
std::atomic<HWND> gMainWindow{nullptr};

int Seconds(std::int32_t hours, std::int32_t minutes, std::int32_t seconds) {
    return hours * 3600 + minutes * 60 + seconds;
}

// The player's description of a row: a DVD title or chapter, or a plain file, each with
// the row's time range. False when the row names nothing the player can open.
bool FillPlayRecord(TitlePlayRecord& record, const MediaItem& row) {
    record = TitlePlayRecord{};
    if ((row.dvdKind == jobmodel::mkDvdTitle || row.dvdKind == jobmodel::mkDvdChapter) && row.dvdTitle) {
        if (!jobmodel::FillDvdPlaybackInfo(record.info, row)) return false;
        record.chapterSelector = row.dvdKind == jobmodel::mkDvdChapter ? row.dvdChapterNumber + 1 : 0;
    } else if (row.mediaInfo && row.mediaInfo->path[0]) {
        // A plain file: the player takes the path in place of the IFO's.
        record.info.ifoPath = row.mediaInfo->path;
        record.info.audioId = row.audioId;
        record.info.subtitleId = row.subtitleId;
    } else {
        return false;
    }
    if (row.timeRange) {
        record.startSecond = row.timeRange->start;
        record.endSecond = row.timeRange->end;
    }
    return true;
}

int RowLength(const MediaItem& row) { return row.timeRange ? row.timeRange->end - row.timeRange->start : 0; }

}  // namespace

void OnMainPlayerTime(const PlayTimeInfo& info) {
    HWND window = gMainWindow.load();
    if (!window) return;
    WPARAM first = WPARAM(std::max(0, Seconds(info.lengthHours, info.lengthMinutes, info.lengthSeconds)));
    LPARAM position = info.ended == 1 ? 0 : LPARAM(Seconds(info.hours, info.minutes, info.seconds));
    PostMessage(window, WM_MAIN_PLAY_TIME, first | (info.ended == 1 ? kPlayTimeEnded : 0), position);
}

void TfrmMain::OnMainTimeMessage(TMessage& message) {
    const bool ended = (message.WParam & kPlayTimeEnded) != 0;
    if (ended && !SeekInProgress) {
        EndPlayback();
    } else if (MainTrackBar->Position() >= MainTrackBar->Max()) {
        EndPlayback();
        ActivePlayerLibrary().stopPlay(1);
    }
    if (!NodeTree->GetFirstSelected()) {
        MainTrackBar->SetPosition(0);
        return;
    }
    // One report is dropped for each press of the bar: it may be older than the seek.
    if (PendingSeeks > 0) {
        --PendingSeeks;
        return;
    }
    MainTrackBar->SetPosition(int(message.LParam));
}

void TfrmMain::AttachMainPreview() {
    PlayerAttach row = MainAttach();
    row.panel = MainPlayPanel;
    row.left = Left() + MainPlayPanel->Left();
    row.top = Top() + MainPlayPanel->Top();
    AttachPlayer(row, ProgramFolder);
}

void TfrmMain::TakeTimeReports(bool take) {
    gMainWindow = take ? Handle() : nullptr;
    SetPlayerTimeShare(apMain, take ? &OnMainPlayerTime : nullptr);
}

void TfrmMain::CloseMainPreview() {
    const PlayerLibrary& player = ActivePlayerLibrary();
    player.stopPlay(1);
    player.close_sdl();
    ResetPlaybackButtons();
    MainTrackBar->SetPosition(0);
    MainPlayPanel->SetVisible(false);
}

bool TfrmMain::OpenItemPreview() {
    MainPlayPanel->SetVisible(true);
    MediaItem* row = jobmodel::ItemOf(*NodeTree, NodeTree->GetFirstSelected());
    TitlePlayRecord record;
    if (!row || !FillPlayRecord(record, *row)) return false;
    return ActivePlayerLibrary().openMultiTitleFile(&record, 1) == 0;
}

bool TfrmMain::PlayGroupPreview(treeview::PVastNode group) {
    std::vector<TitlePlayRecord> records;
    int length = 0;
    for (treeview::PVastNode node = group ? NodeTree->GetFirstChild(group) : nullptr; node;
         node = NodeTree->GetNextSibling(node)) {
        const MediaItem* member = jobmodel::ItemOf(*NodeTree, node);
        if (!member) continue;
        length += RowLength(*member);
        TitlePlayRecord record;
        if (FillPlayRecord(record, *member)) records.push_back(record);
    }
    MainTrackBar->SetPosition(0);
    MainTrackBar->SetMax(length);
    TrackBarMax = length;
    MainPlayPanel->SetVisible(true);
    const PlayerLibrary& player = ActivePlayerLibrary();
    if (records.empty() || player.openMultiTitleFile(records.data(), std::int32_t(records.size())) != 0) return false;
    player.startPlay(0);
    return true;
}

void TfrmMain::btnPlayClick(TObject*) {
    treeview::PVastNode node = NodeTree->GetFirstSelected();
    MediaItem* row = jobmodel::ItemOf(*NodeTree, node);
    if (!row) return;
    const PlayerLibrary& player = ActivePlayerLibrary();
    // A row that opens nothing stays stopped: Stop and Snapshot have nothing to act on.
    bool opened = true;
    if (jobmodel::IsGroupRow(*row) || jobmodel::IsGroupMember(*row)) {
        if (PreviewPlaying) {
            player.pausePlay();
            PreviewPlaying = false;
        } else if (jobmodel::IsGroupMember(*row)) {
            MainTrackBar->SetPosition(0);
            TrackBarMax = RowLength(*row);
            MainTrackBar->SetMax(TrackBarMax);
            if (!PreviewOpened) opened = OpenItemPreview();
            if (opened) {
                player.startPlay(0);
                PreviewPlaying = true;
            }
        } else {
            // A group starts again from its first member, also after a pause.
            opened = PlayGroupPreview(node);
            PreviewPlaying = opened;
        }
    } else {
        if (!PreviewOpened) opened = OpenItemPreview();
        if (opened && PreviewPlaying) player.pausePlay();
        if (opened && !PreviewPlaying) player.startPlay(0);
        if (opened) PreviewPlaying = !PreviewPlaying;
    }
    if (!opened) {
        ResetPlaybackButtons();
        return;
    }
    PreviewOpened = true;
    SeekInProgress = false;
    if (PreviewPlaying) {
        skin_.SetButtonEnabled(btnStop, "btnStop", true);
        skin_.SetButtonEnabled(btnPhoto, "btnPhoto", true);
    }
}

void TfrmMain::btnPlayMouseUp(TObject*, TMouseButton, TShiftState, int, int) { UpdatePlayButton(); }

void TfrmMain::UpdatePlayButton() {
    const char* item = PreviewPlaying ? "btnPause" : "btnPlay";
    TSkinWindow::LoadPicture(btnPlay->PicNormal(), skin_.PicturePath(item, ssNormal));
    TSkinWindow::LoadPicture(btnPlay->PicMouseOn(), skin_.PicturePath(item, ssMouseOn));
    TSkinWindow::LoadPicture(btnPlay->PicMouseDown(), skin_.PicturePath(item, ssMouseDown));
    btnPlay->Invalidate();
}

void TfrmMain::ResetPlaybackButtons() {
    PreviewPlaying = false;
    PreviewOpened = false;
    UpdatePlayButton();
    // A disabled Play keeps its disabled picture.
    if (!btnPlay->Enabled()) skin_.ShowButtonState(btnPlay, "btnPlay", ssDisabled);
    skin_.SetButtonEnabled(btnStop, "btnStop", false);
    skin_.SetButtonEnabled(btnPhoto, "btnPhoto", false);
}

void TfrmMain::EndPlayback() {
    PreviewPlaying = false;
    PreviewOpened = false;
    UpdatePlayButton();
    ResetPlaybackButtons();
}

void TfrmMain::btnStopClick(TObject*) {
    if (!NodeTree->GetFirstSelected()) return;
    SeekInProgress = true;
    ActivePlayerLibrary().stopPlay(1);
    ResetPlaybackButtons();
}

void TfrmMain::MainTrackBarMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
    MediaItem* row = jobmodel::ItemOf(*NodeTree, NodeTree->GetFirstSelected());
    if (!row || !PreviewPlaying) return;
    // A group's list reports positions too, so its report is dropped as well; only the
    // end of a group's stream is never held back.
    if (!jobmodel::IsGroupRow(*row)) SeekInProgress = true;
    ++PendingSeeks;
}

void TfrmMain::MainTrackBarMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    if (!NodeTree->GetFirstSelected() || !PreviewPlaying) {
        MainTrackBar->SetPosition(0);
        return;
    }
    if (MainTrackBar->Position() == MainTrackBar->Max()) {
        MainTrackBar->SetPosition(0);
        ResetPlaybackButtons();
        ActivePlayerLibrary().updatePlayer();
        return;
    }
    SeekTarget = MainTrackBar->Position();
    ActivePlayerLibrary().findDvdTimePlay(double(SeekTarget));
    SeekTarget = -1;
    SeekInProgress = false;
}

void TfrmMain::ResetTrackBar(treeview::PVastNode node) {
    const MediaItem* row = jobmodel::ItemOf(*NodeTree, node);
    if (!row || jobmodel::IsGroupRow(*row) || jobmodel::IsGroupMember(*row)) return;
    if (row->kind == jobmodel::mkSegment) {
        if (!row->timeRange) return;
        TrackBarMax = RowLength(*row);
    } else {
        TrackBarMax = row->mediaInfo ? row->mediaInfo->durationSeconds : 0;
    }
    MainTrackBar->SetPosition(0);
    MainTrackBar->SetMax(TrackBarMax);
}

std::string TfrmMain::NextSnapshotPath(const std::string& folder, const std::string& extension) {
    std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    // Numbers taken by an earlier run are skipped: a snapshot never replaces another.
    for (;; ++SnapshotCounter) {
        char name[32];
        std::snprintf(name, sizeof name, "%05d", SnapshotCounter);
        std::string path = base + name + extension;
        std::error_code ec;
        if (!std::filesystem::exists(path, ec) && !ec) return path;
        if (ec || SnapshotCounter == INT32_MAX) return {};
    }
}

void TfrmMain::btnPhotoClick(TObject*) {
    if (!PreviewPlaying || !OptionDialog()) return;
    std::string folder = frmOption->SnapshotFolder;
    std::error_code ec;
    if (folder.empty() || (!std::filesystem::is_directory(folder, ec) &&
                           (!std::filesystem::create_directories(folder, ec) || ec))) {
        ShowMessage("The snapshot folder cannot be made: " + folder);
        return;
    }
    if (frmOption->PictureExtension.empty()) frmOption->PictureExtension = ".jpg";
    std::string path = NextSnapshotPath(folder, frmOption->PictureExtension);
    if (path.empty() || ActivePlayerLibrary().morvCapture(path.c_str()) != 0) {
        ShowMessage("The snapshot cannot be saved: " + (path.empty() ? folder : path));
        return;
    }
    ++SnapshotCounter;
}

void TfrmMain::btnOpenClick(TObject*) {
    if (!OptionDialog()) return;
    std::string folder = frmOption->SnapshotFolder;
    std::size_t first = folder.find_first_not_of(" \t"), last = folder.find_last_not_of(" \t");
    if (first == std::string::npos) return;
    folder = folder.substr(first, last - first + 1);
    ShellExecuteA(Handle(), "explore", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
