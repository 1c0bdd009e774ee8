// The clip dialog.
#include "dialogs/clipfrm.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "formbase/settings.h"
#include "jobmodel/dvdload.h"
#include "jobmodel/joblist.h"
#include "jobmodel/jobrows.h"

using namespace platform;
using treeview::PVastNode;

TfrmClip* frmClip = nullptr;

namespace {

// Where the player's reports go (a freed handle drops what is posted to it).
std::atomic<HWND> gClipWindow{nullptr};

const PlayerLibrary& Player() { return ActivePlayerLibrary(); }

std::string Seconds(int seconds) { return jobmodel::FormatSeconds(static_cast<float>(seconds)); }

int PickerSeconds(const TDateTimePicker* picker) {
    return picker->Hour() * 3600 + picker->Minute() * 60 + picker->Second();
}

void ShowSeconds(TDateTimePicker* picker, int seconds) {
    seconds = std::max(0, seconds);
    picker->SetHMS(seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

}  // namespace

TfrmClip::TfrmClip(TComponent* owner, DialogHost* host)
    : TSkinnedForm(owner, "clip", "clipFormCreate", "clip", "clipBackground", 793, 709), host_(host) {
    SetCaption("Clip");
    mainLabel = new TLabel(this);
    mainLabel->SetParent(background);
    mainLabel->SetTransparent(true);
    mainLabel->SetLeft(18);
    mainLabel->SetTop(15);
    mainLabel->SetCaption("Clip");
    mainLabel->Font()->SetStyle(TFontStyles{fsBold});

    ClipPlayPanel = new TPanel(this);
    ClipPlayPanel->SetName("ClipPlayPanel");
    ClipPlayPanel->SetParent(background);
    ClipPlayPanel->SetBounds(20, 50, 480, 300);
    ClipPlayPanel->SetCaption("");
    ClipPlayPanel->SetColor(clBlack);
    auto bar = [this](const char* name, int top) {
        auto* b = new skinctrl::TdvxTrackBar(this);
        b->SetName(name);
        b->SetParent(background);
        b->SetBounds(20, top, 480, 20);
        b->SetMax(0);
        return b;
    };
    TotalTrackBar = bar("TotalTrackBar", 360);
    StartTrackBar = bar("StartTrackBar", 390);
    EndTrackBar = bar("EndTrackBar", 420);
    trimLine = new skinctrl::TdvxImagePanel(this);
    trimLine->SetName("trimLine");
    trimLine->SetParent(background);
    trimLine->SetCaption("");
    trimLine->SetBounds(20, 386, 480, 2);
    btnPlay = AddButton("btnPlay", 20, 450, 36, 36);
    btnPlayTrim = AddButton("btnPlayTrim", 62, 450, 36, 36);
    btnStop = AddButton("btnStop", 104, 450, 36, 36);
    btnTrimStart = AddButton("btnTrimStart", 146, 450, 36, 36);
    btnTrimEnd = AddButton("btnTrimEnd", 188, 450, 36, 36);
    auto label = [this](const char* name, const char* caption, int top) {
        auto* l = new TLabel(this);
        l->SetName(name);
        l->SetParent(background);
        l->SetTransparent(true);
        l->SetBounds(20, top, 110, 20);
        l->SetCaption(caption);
        return l;
    };
    auto picker = [this](const char* name, int top) {
        auto* p = new TDateTimePicker(this);
        p->SetName(name);
        p->SetParent(background);
        p->SetBounds(130, top, 100, 22);
        p->SetFormat("HH:mm:ss");
        p->SetHMS(0, 0, 0);
        return p;
    };
    start = label("start", "Set Start Time :", 500);
    StartTime = picker("StartTime", 498);
    start_trimtime_ok = AddButton("start_trimtime_ok", 236, 496, 40, 26);
    end = label("end", "Set End Time :", 536);
    EndTime = picker("EndTime", 534);
    end_trimtime_ok = AddButton("end_trimtime_ok", 236, 532, 40, 26);

    ClipNodeTree = new treeview::TVastStringTree(this);
    ClipNodeTree->SetName("ClipNodeTree");
    ClipNodeTree->SetParent(background);
    ClipNodeTree->SetBounds(520, 50, 255, 440);
    clipRows_ = std::make_unique<jobmodel::TreeRows>(*ClipNodeTree);
    struct Column {
        const char* text;
        int width;
    };
    for (Column c : {Column{"Segment Title", 82}, Column{"Start Time", 56}, Column{"End Time", 56},
                     Column{"Duration", 56}}) {
        treeview::TVastTreeColumn* column = ClipNodeTree->Header()->Columns()->Add();
        column->SetText(c.text);
        column->SetWidth(c.width);
    }
    FitSegmentColumns();
    ClipNodeTree->Header()->SetOptions(ClipNodeTree->Header()->Options() | treeview::hoVisible);
    treeview::TCustomVastTreeOptions* options = ClipNodeTree->TreeOptions();
    options->SetSelectionOptions((options->SelectionOptions() & ~treeview::toMultiSelect) |
                                 treeview::toFullRowSelect);
    // A flat list: no lines, no room for a level that does not exist.
    options->SetPaintOptions(options->PaintOptions() & ~(treeview::toShowRoot | treeview::toShowTreeLines));
    ClipNodeTree->SetIndent(0);
    ClipNodeTree->OnGetText = [](treeview::TBaseVastTree* tree, PVastNode node, treeview::TColumnIndex column,
                                 treeview::TVSTTextType, std::string& text) {
        const jobmodel::MediaItem* row = jobmodel::ItemOf(*tree, node);
        if (!row) return;
        switch (column) {
            case 0: text = jobmodel::FieldText(row->row.source); break;
            case 1: text = row->timeRange ? Seconds(row->timeRange->start) : ""; break;
            case 2: text = row->timeRange ? Seconds(row->timeRange->end) : ""; break;
            case 3: text = jobmodel::FieldText(row->row.trimmedLength); break;
            default: break;
        }
    };
    ClipNodeTree->OnGetImageIndex = [](treeview::TBaseVastTree*, PVastNode, treeview::TVTImageKind,
                                       treeview::TColumnIndex column, bool&, int& index) {
        if (column == 0) index = 0;
    };
    ClipNodeTree->OnChange = [this](treeview::TBaseVastTree*, PVastNode node) { ClipNodeTreeChange(node); };

    btnAdd = AddButton("btnAdd", 520, 500, 120, 32);
    btnDelete = AddButton("btnDelete", 655, 500, 120, 32);
    btnOK = AddButton("btnOK", 540, 650, 110, 36);
    btnCancel = AddButton("btnCancel", 665, 650, 110, 36);
    close = AddButton("close", 763, 8, 22, 22);

    // The skin's order.
    table = {table[0],
             {"start", start, TSkinUse::Place},
             {"StartTime", StartTime, TSkinUse::Place},
             {"start_trimtime_ok", start_trimtime_ok, TSkinUse::Button},
             {"end", end, TSkinUse::Place},
             {"EndTime", EndTime, TSkinUse::Place},
             {"end_trimtime_ok", end_trimtime_ok, TSkinUse::Button},
             {"TotalTrackBar", TotalTrackBar, TSkinUse::Place},
             {"StartTrackBar", StartTrackBar, TSkinUse::Place},
             {"trimLine", trimLine, TSkinUse::Place},
             {"EndTrackBar", EndTrackBar, TSkinUse::Place},
             {"btnPlay", btnPlay, TSkinUse::Button},
             {"btnPlayTrim", btnPlayTrim, TSkinUse::Button},
             {"btnStop", btnStop, TSkinUse::Button},
             {"btnTrimStart", btnTrimStart, TSkinUse::Button},
             {"btnTrimEnd", btnTrimEnd, TSkinUse::Button},
             {"btnAdd", btnAdd, TSkinUse::Button},
             {"btnDelete", btnDelete, TSkinUse::Button},
             {"btnOK", btnOK, TSkinUse::Button},
             {"btnCancel", btnCancel, TSkinUse::Button},
             {"ClipPlayPanel", ClipPlayPanel, TSkinUse::Place},
             {"ClipNodeTree", ClipNodeTree, TSkinUse::Place},
             {"close", close, TSkinUse::Button}};

    btnPlay->OnClick = [this](TObject* s) { btnPlayClick(s); };
    btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
    btnPlayTrim->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        btnPlayTrimMouseDown(s, b, sh, x, y);
    };
    btnPlayTrim->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        btnPlayTrimMouseUp(s, b, sh, x, y);
    };
    btnTrimStart->OnClick = [this](TObject* s) { btnTrimStartClick(s); };
    btnTrimEnd->OnClick = [this](TObject* s) { btnTrimEndClick(s); };
    start_trimtime_ok->OnClick = [this](TObject* s) { start_trimtime_okClick(s); };
    end_trimtime_ok->OnClick = [this](TObject* s) { end_trimtime_okClick(s); };
    StartTrackBar->OnChange = [this](TObject* s) { StartTrackBarChange(s); };
    EndTrackBar->OnChange = [this](TObject* s) { EndTrackBarChange(s); };
    for (skinctrl::TdvxTrackBar* b : {TotalTrackBar, StartTrackBar, EndTrackBar}) {
        b->OnMouseDown = [this](TObject* s, TMouseButton bt, TShiftState sh, int x, int y) {
            TotalTrackBarMouseDown(s, bt, sh, x, y);
        };
        b->OnMouseUp = [this, b](TObject*, TMouseButton, TShiftState, int, int) { TrackBarMouseUp(b); };
    }
    btnAdd->OnClick = [this](TObject* s) { btnAddClick(s); };
    btnDelete->OnClick = [this](TObject* s) { btnDeleteClick(s); };
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    close->OnClick = [this](TObject* s) { btnCancelClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    SetPlayerTimeShare(apClip, &TfrmClip::OnClipPlayerTime);
    TakeSkin();
}

TfrmClip::~TfrmClip() {
    SetPlayerTimeShare(apClip, nullptr);
    if (HandleAllocated()) {
        HWND mine = Handle();
        gClipWindow.compare_exchange_strong(mine, nullptr);
    }
    EmptySegmentList();
}

void TfrmClip::Dispatch(TMessage& message) {
    if (message.Msg == WM_CLIP_PLAY_TIME) return OnClipTimeMessage(message);
    TSkinnedForm::Dispatch(message);
}

void TfrmClip::EmptySegmentList() {
    if (jobmodel::Row first = clipRows_->FirstChild(nullptr)) jobmodel::DeleteItemSiblings(*clipRows_, first);
}

void TfrmClip::FitSegmentColumns() {
    // Four columns in a narrow list: slim margins, each time column as wide as its heading
    // or a time, whichever is wider, and the title column takes the rest (what the scroll
    // bar leaves when it shows), so that segment names ("Segment_12", after the row
    // picture) and every heading show whole.
    constexpr int kCellMargin = 0, kTextMargin = 2;
    constexpr int kHeadingMargin = 0, kHeadingEdge = 2;  // a heading's text sits inside its button's edges
    constexpr const char* kWidestTime = "00:00:00";
    treeview::TVastStringTree* tree = ClipNodeTree;
    tree->SetMargin(kCellMargin);
    tree->SetTextMargin(kTextMargin);
    TBitmap scratch;
    scratch.SetSize(1, 1);
    TCanvas* canvas = scratch.Canvas();
    canvas->SetFont(tree->Font());
    const int time = canvas->TextWidth(kWidestTime) + 2 * kTextMargin + kCellMargin;
    canvas->SetFont(tree->Header()->Font());
    treeview::TVastTreeColumns* columns = tree->Header()->Columns();
    for (int c = 0; c < columns->Count(); ++c) {
        treeview::TVastTreeColumn* column = columns->Items(c);
        column->SetMargin(kHeadingMargin);
        const int heading = canvas->TextWidth(column->Text()) + 2 * (kHeadingMargin + kHeadingEdge);
        if (c > 0) column->SetWidth(std::max(time, heading));
    }
    tree->Header()->SetAutoSizeIndex(0);
    tree->Header()->SetOptions(tree->Header()->Options() | treeview::hoAutoResize);
}

jobmodel::MediaItem* TfrmClip::SelectedSegment() const {
    return jobmodel::ItemOf(*ClipNodeTree, ClipNodeTree->GetFirstSelected());
}

// ---- opening ----

void TfrmClip::SetClipItem(jobmodel::MediaItem* row, int, jobmodel::Row node, jobmodel::JobRows* jobRows) {
    EmptySegmentList();
    jobRows_ = jobRows ? jobRows : host_ ? host_->JobList() : nullptr;
    item_ = row;
    node_ = node;
    int length = row && row->mediaInfo ? std::max(0, row->mediaInfo->durationSeconds) : 0;
    for (skinctrl::TdvxTrackBar* b : {TotalTrackBar, StartTrackBar, EndTrackBar}) {
        // Quietly: the bars follow the segment shown once the dialog opens.
        TNotifyEvent handler = std::move(b->OnChange);
        b->OnChange = nullptr;
        b->SetMax(length);
        b->OnChange = std::move(handler);
    }
    // A source longer than a day still shows its hours.
    StartTime->SetMaxHour(length / 3600);
    EndTime->SetMaxHour(length / 3600);
    // "Segment_1" is there from the start: a row that never counted still adds Segment_2.
    segmentCounter_ = row ? std::max(1, row->segmentCounter) : 0;
    if (jobRows_ && node) jobmodel::LoadClipSegments(*clipRows_, *jobRows_, node);
}

void TfrmClip::AttachClipPreview() {
    gClipWindow = Handle();
    PlayerAttach row = ClipAttach();
    row.panel = ClipPlayPanel;
    TPoint origin = host_ ? host_->PreviewOrigin().value_or(TPoint(Left(), Top())) : TPoint(Left(), Top());
    row.left = origin.x + ClipPlayPanel->Left();
    row.top = origin.y + ClipPlayPanel->Top();
    AttachPlayer(row, ProgramFolder());
}

void TfrmClip::FormShow(TObject*) {
    playing_ = opened_ = seekInProgress_ = false;
    pendingSeeks_ = 0;
    seekTarget_ = -1;
    AttachClipPreview();
    // The rows show the job list's pictures.
    if (TCustomImageList* images = host_ ? host_->JobImages() : nullptr) ClipNodeTree->SetImages(images);
    skin.LoadPictures({{"TotalTrackBar", TotalTrackBar, TSkinUse::Slider},
                       {"StartTrackBar", StartTrackBar, TSkinUse::Slider},
                       {"EndTrackBar", EndTrackBar, TSkinUse::Slider}});
    TPicture barPicture;
    if (TSkinWindow::LoadPicture(&barPicture, JoinSkinPath(SkinImageFolder, "clip/Barpic.bmp"))) {
        StartTrackBar->SetBarImage(&barPicture);
        EndTrackBar->SetBarImage(&barPicture);
    }
    // The whole row first, with no segment taking its bounds; then the segment selected.
    ClipNodeTree->ClearSelection();
    if (item_ && item_->timeRange) ShowRange(*item_);
    SelectSegmentsLikeJobList();
    OpenClipItem();
    Player().startPlay(0);
    opened_ = true;
    SetPlayState(true);
}

void TfrmClip::OpenClipItem() {
    const jobmodel::MediaItem* row = item_;
    if (!row || !row->timeRange) return;
    const jobmodel::TimeRange range = *row->timeRange;
    if (row->dvdKind == jobmodel::mkDvdTitle || row->dvdKind == jobmodel::mkDvdChapter) {
        playRecord_ = TitlePlayRecord{};
        if (!jobmodel::FillDvdPlaybackInfo(playRecord_.info, *row)) return;
        playRecord_.chapterSelector = row->dvdKind == jobmodel::mkDvdTitle ? 0 : row->dvdChapterNumber + 1;
        playRecord_.startSecond = range.start;
        playRecord_.endSecond = range.end;
        Player().openMultiTitleFile(&playRecord_, 1);
    } else if (row->mediaInfo && row->mediaInfo->path[0]) {
        Player().openMediaFile(row->mediaInfo->path, range.start, range.end);
    }
}

void TfrmClip::SelectSegmentsLikeJobList() {
    jobmodel::Row child = node_ && jobRows_ ? jobRows_->FirstChild(node_) : nullptr;
    bool any = false;
    for (PVastNode row = ClipNodeTree->RootNode()->FirstChild; row; row = row->NextSibling) {
        bool selected = child && jobRows_->Selected(child);
        if (selected) {
            ClipNodeTree->SetSelected(row, true);
            ClipNodeTree->SetFocusedNode(row);
            any = true;
        }
        if (child) child = jobRows_->NextSibling(child);
    }
    if (!any)
        if (PVastNode first = ClipNodeTree->RootNode()->FirstChild) {
            ClipNodeTree->SetSelected(first, true);
            ClipNodeTree->SetFocusedNode(first);
        }
}

// ---- bounds ----

void TfrmClip::ShowStartTime() {
    ShowSeconds(StartTime, start_);
    jobmodel::MediaItem* segment = SelectedSegment();
    if (!segment || !segment->timeRange || start_ >= end_) return;
    segment->timeRange->start = start_;
    jobmodel::CopyTextField(segment->row.trimmedLength, Seconds(segment->timeRange->end - start_).c_str());
    ClipNodeTree->Invalidate();
}

void TfrmClip::ShowEndTime() {
    ShowSeconds(EndTime, end_);
    jobmodel::MediaItem* segment = SelectedSegment();
    if (!segment || !segment->timeRange || start_ >= end_) return;
    segment->timeRange->end = end_;
    jobmodel::CopyTextField(segment->row.trimmedLength, Seconds(end_ - segment->timeRange->start).c_str());
    ClipNodeTree->Invalidate();
}

void TfrmClip::ShowRange(const jobmodel::MediaItem& row) {
    if (!row.timeRange) return;
    start_ = row.timeRange->start;
    end_ = row.timeRange->end;
    ShowStartTime();
    ShowEndTime();
    // The bars follow quietly: a range beyond a bar must not be cut into the segment.
    for (auto [b, value] : {std::pair{StartTrackBar, start_}, {EndTrackBar, end_}}) {
        TNotifyEvent handler = std::move(b->OnChange);
        b->OnChange = nullptr;
        b->SetPosition(value);
        b->OnChange = std::move(handler);
    }
}

void TfrmClip::ClipNodeTreeChange(PVastNode node) {
    if (!node) return;
    if (jobmodel::MediaItem* segment = SelectedSegment()) ShowRange(*segment);
}

void TfrmClip::StartTrackBarChange(TObject*) {
    start_ = StartTrackBar->Position();
    if (start_ < end_)
        ShowStartTime();
    else
        StartTrackBar->SetPosition(end_ - 1);
}

void TfrmClip::EndTrackBarChange(TObject*) {
    end_ = EndTrackBar->Position();
    if (start_ < end_)
        ShowEndTime();
    else
        EndTrackBar->SetPosition(start_ + 1);
}

void TfrmClip::btnTrimStartClick(TObject*) {
    start_ = TotalTrackBar->Position();
    StartTrackBar->SetPosition(start_);
    StartTrackBarChange(StartTrackBar);
}

void TfrmClip::btnTrimEndClick(TObject*) {
    end_ = TotalTrackBar->Position();
    EndTrackBar->SetPosition(end_);
    EndTrackBarChange(EndTrackBar);
}

void TfrmClip::start_trimtime_okClick(TObject*) {
    int t = PickerSeconds(StartTime);
    if (t < end_) {
        start_ = t;
        StartTrackBar->SetPosition(t);
        ShowStartTime();
        return;
    }
    start_ = StartTrackBar->Position();
    ShowStartTime();
    Application->MessageBox("Start time error", Caption(), MB_OK);
}

void TfrmClip::end_trimtime_okClick(TObject*) {
    int t = PickerSeconds(EndTime);
    if (start_ < t && t <= EndTrackBar->Max()) {
        end_ = t;
        EndTrackBar->SetPosition(t);
        ShowEndTime();
        return;
    }
    end_ = EndTrackBar->Position();
    ShowEndTime();
    Application->MessageBox("End time error", Caption(), MB_OK);
}

// ---- segments ----

void TfrmClip::btnAddClick(TObject*) {
    const jobmodel::MediaItem* model = SelectedSegment();
    if (!model) model = item_;
    if (!model || !item_) return;
    int n = ++segmentCounter_;
    PVastNode added = ClipNodeTree->AddChild(nullptr);
    jobmodel::MediaItem& segment = *jobmodel::ItemOf(*ClipNodeTree, added);
    jobmodel::CopyMediaItem(segment, *model);
    jobmodel::CopyDvdFields(segment, *model);
    const std::string title = "Segment_" + std::to_string(n);
    const std::string name = jobmodel::FieldText(item_->name) + "(" + std::to_string(n) + ")";
    jobmodel::CopyTextField(segment.row.source, title.c_str());
    jobmodel::CopyTextField(segment.name, name.c_str());
    jobmodel::CopyTextField(segment.row.destination, (name + ".flv").c_str());
    if (segment.timeRange)
        jobmodel::CopyTextField(segment.row.trimmedLength,
                                Seconds(segment.timeRange->end - segment.timeRange->start).c_str());
    ClipNodeTree->ClearSelection();
    ClipNodeTree->SetSelected(added, true);
    ClipNodeTree->SetFocusedNode(added);
}

void TfrmClip::btnDeleteClick(TObject*) {
    PVastNode node = ClipNodeTree->GetFirstSelected();
    jobmodel::MediaItem* segment = jobmodel::ItemOf(*ClipNodeTree, node);
    if (!segment) return;
    if (jobRows_) jobmodel::MarkGroupCopies(*jobRows_, *segment);
    PVastNode before = node->PrevSibling;
    jobmodel::ReleaseMediaItem(*segment);
    ClipNodeTree->DeleteNode(node);
    if (before) {
        ClipNodeTree->SetSelected(before, true);
        ClipNodeTree->SetFocusedNode(before);
    }
}

// ---- closing ----

void TfrmClip::StoreSegments() {
    if (!jobRows_ || !node_ || !item_) return;
    // A segment that ends at or before its start is never stored.
    for (PVastNode row = ClipNodeTree->RootNode()->FirstChild; row;) {
        PVastNode next = row->NextSibling;
        const jobmodel::MediaItem* segment = jobmodel::ItemOf(*ClipNodeTree, row);
        if (!segment->timeRange || segment->timeRange->end <= segment->timeRange->start)
            jobmodel::DeleteItemRow(*clipRows_, jobmodel::TreeRows::RowOf(row));
        row = next;
    }
    if (jobmodel::Row first = jobRows_->FirstChild(node_)) jobmodel::DeleteItemSiblings(*jobRows_, first);
    jobmodel::StoreClipSegments(*clipRows_, *jobRows_, node_);
    item_->segmentCounter = segmentCounter_;
}

void TfrmClip::Finish() {
    if (IsModal())
        SetModalResult(mrOk);
    else
        Close();
}

void TfrmClip::btnOKClick(TObject*) {
    StoreSegments();
    if (jobRows_) jobmodel::DeleteMarkedCopies(*jobRows_);
    Finish();
}

void TfrmClip::btnCancelClick(TObject* sender) {
    int answer = Application->MessageBox("Do you want to save changes?", "Information", MB_YESNO | MB_ICONEXCLAMATION);
    if (answer == IDYES) return btnOKClick(sender);
    if (jobRows_) jobmodel::ClearCopyMarks(*jobRows_);
    Finish();
}

void TfrmClip::FormClose(TObject*, TCloseAction&) {
    Player().close_sdl();
    playing_ = opened_ = seekInProgress_ = false;
    EmptySegmentList();
}

// ---- the preview ----

void TfrmClip::SetPlayState(bool playing) {
    playing_ = playing;
    skin.LoadPictures({{playing ? "btnPause" : "btnPlay", btnPlay, TSkinUse::PicturesOnly}});
}

void TfrmClip::EndPlayback() {
    opened_ = false;
    SetPlayState(false);
}

void TfrmClip::btnPlayClick(TObject*) {
    if (!opened_) OpenClipItem();
    if (playing_)
        Player().pausePlay();
    else
        Player().startPlay(0);
    opened_ = true;
    SetPlayState(!playing_);
}

void TfrmClip::btnStopClick(TObject*) {
    // The end of the stream after a stop must reset the play button.
    seekInProgress_ = false;
    Player().stopPlay(1);
    opened_ = false;
    SetPlayState(false);
}

void TfrmClip::TotalTrackBarMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
    // Only a playing preview sends the position reports a seek makes stale.
    if (!playing_) return;
    ++pendingSeeks_;
    seekInProgress_ = true;
}

void TfrmClip::btnPlayTrimMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    TotalTrackBarMouseDown(sender, button, shift, x, y);
}

void TfrmClip::TrackBarMouseUp(skinctrl::TdvxTrackBar* bar) {
    seekTarget_ = bar->Position();
    if (opened_) Player().findDvdTimePlay(double(seekTarget_));
    seekTarget_ = -1;
    seekInProgress_ = false;
}

void TfrmClip::btnPlayTrimMouseUp(TObject*, TMouseButton, TShiftState, int, int) { TrackBarMouseUp(StartTrackBar); }

void TfrmClip::OnClipPlayerTime(const PlayTimeInfo& info) {
    bool ended = info.ended == 1;
    int position = ended ? 0 : info.hours * 3600 + info.minutes * 60 + info.seconds;
    if (HWND window = gClipWindow.load()) PostMessage(window, WM_CLIP_PLAY_TIME, WPARAM(position), ended ? 1 : 0);
}

void TfrmClip::OnClipTimeMessage(TMessage& message) {
    // A report still queued when the dialog closed belongs to a preview that is gone.
    if (!Visible()) return;
    if (message.LParam == 1 && !seekInProgress_) EndPlayback();
    if (pendingSeeks_ > 0) {
        --pendingSeeks_;
        return;
    }
    TotalTrackBar->SetPosition(int(message.WParam));
}
