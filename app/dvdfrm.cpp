// The DVD window.
#include "app/dvdfrm.h"

#include <algorithm>

#include "formbase/playerfrm.h"
#include "formbase/settings.h"
#include "jobmodel/itemtree.h"
#include "jobmodel/joblist.h"
#include "jobmodel/mediaitem.h"
#include "platform/core/clock.h"
#include "platform/core/messages.h"
#include "platform/graphics/graphics.h"
#include "treeview/vtheader.h"

using namespace platform;
using jobmodel::MediaItem;
using treeview::PVastNode;

TfrmDVD* frmDVD = nullptr;

namespace {

// Where the time reports go: the window's handle while it owns the preview. Read on the
// player's thread.
std::atomic<HWND> gDvdWindow{nullptr};
// Counts the preview's openings and stops, so that an end report posted for a stream the
// user has left meanwhile does not end the one that plays now.
std::atomic<std::uint32_t> gOpening{0};

constexpr LPARAM kEndOfStream = 1;
// The pause between moving the selection (which stops the preview) and opening the new row.
constexpr DWORD kNextRowPauseMs = 100;
constexpr int kRowImageSize = 16;
// The title's place in the window resource, and its gap to a window button beside it.
constexpr int kTitleLeft = 18, kTitleTop = 15, kTitleGap = 8;
// The stream lists under the title list (406, 54, 317 wide).
constexpr int kComboLeft = 490, kComboWidth = 233, kLabelGap = 8;

// The three row pictures, in the order of the rows' imageIndex: disc, title, chapter.
void DrawRowImages(TImageList* list) {
    list->SetSize(kRowImageSize, kRowImageSize);
    const TColor mask = clFuchsia;
    for (int kind = 0; kind < 3; ++kind) {
        TBitmap picture;
        picture.SetPixelFormat(pf24bit);
        picture.SetSize(kRowImageSize, kRowImageSize);
        TCanvas* c = picture.Canvas();
        c->Brush()->SetColor(mask);
        c->FillRect(TRect(0, 0, kRowImageSize, kRowImageSize));
        c->Pen()->SetColor(RGB(40, 60, 100));
        if (kind == 0) {
            // A disc with its hole.
            c->Brush()->SetColor(RGB(200, 210, 225));
            c->Ellipse(1, 1, 15, 15);
            c->Brush()->SetColor(mask);
            c->Ellipse(6, 6, 10, 10);
        } else if (kind == 1) {
            // A film strip.
            c->Brush()->SetColor(RGB(70, 110, 180));
            c->Rectangle(1, 3, 15, 13);
            c->Brush()->SetColor(clWhite);
            for (int x = 3; x < 14; x += 4) {
                c->FillRect(TRect(x, 4, x + 2, 6));
                c->FillRect(TRect(x, 10, x + 2, 12));
            }
        } else {
            // A page with a bookmark.
            c->Brush()->SetColor(clWhite);
            c->Rectangle(3, 1, 13, 15);
            c->Brush()->SetColor(RGB(230, 150, 40));
            c->FillRect(TRect(8, 1, 11, 8));
        }
        list->AddMasked(&picture, mask);
    }
}

TLabel* AddLabel(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left, int top) {
    auto* label = new TLabel(owner);
    label->SetName(name);
    label->SetParent(parent);
    label->SetTransparent(true);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

TProfileCombo* AddCombo(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width) {
    auto* combo = new TProfileCombo(owner);
    combo->SetName(name);
    combo->SetParent(parent);
    combo->SetBounds(left, top, width, 21);
    PrepareProfileCombo(combo);
    return combo;
}

}  // namespace

void OnDvdPlayerTime(const PlayTimeInfo& report) {
    const int position = report.ended == 1 ? 0 : report.hours * 3600 + report.minutes * 60 + report.seconds;
    const LPARAM tag = LPARAM(gOpening.load()) << 1 | (report.ended == 1 ? kEndOfStream : 0);
    if (HWND window = gDvdWindow.load()) PostMessage(window, WM_DVD_PLAY_TIME, WPARAM(position), tag);
}

TfrmDVD::TfrmDVD(TComponent* owner)
    : TSkinnedForm(owner, "dvdloader", "dvdLoadFormCreate", "dvd", "dvdLoadPanel", kWidth, kHeight) {
    SetCaption("DVD Loader");
    mainLabel = AddLabel(this, background, "mainLabel", "DVD Loader", kTitleLeft, kTitleTop);
    mainLabel->Font()->SetColor(clWhite);
    mainLabel->Font()->SetStyle(TFontStyles{fsBold});

    NodeTree = new treeview::TVastStringTree(this);
    NodeTree->SetName("NodeTree");
    NodeTree->SetParent(background);
    NodeTree->SetBounds(406, 54, 317, 255);
    Rows = std::make_unique<jobmodel::TreeRows>(*NodeTree);
    struct Column {
        const char* text;
        int width;
    };
    for (const Column& c : {Column{"Source", 200}, Column{"Original Length", 125}, Column{"Trimmed Length", 10},
                            Column{"Distination File", 10}}) {
        treeview::TVastTreeColumn* column = NodeTree->Header()->Columns()->Add();
        column->SetText(c.text);
        column->SetMinWidth(std::min(c.width, 10));
        column->SetWidth(c.width);
    }
    NodeTree->Header()->SetOptions(NodeTree->Header()->Options() | treeview::hoVisible);
    treeview::TCustomVastTreeOptions* options = NodeTree->TreeOptions();
    options->SetMiscOptions(options->MiscOptions() | treeview::toCheckSupport);
    options->SetSelectionOptions((options->SelectionOptions() & ~treeview::toMultiSelect) | treeview::toFullRowSelect);
    NodeTree->OnInitNode = [](treeview::TBaseVastTree* tree, PVastNode, PVastNode node,
                              treeview::TVastNodeInitStates&) { jobmodel::InitItemNode(*tree, node); };
    NodeTree->OnGetText = [](treeview::TBaseVastTree* tree, PVastNode node, treeview::TColumnIndex column,
                             treeview::TVSTTextType, std::string& text) {
        const MediaItem* row = jobmodel::ItemOf(*tree, node);
        text.clear();
        if (!row) return;
        if (column == 0) text = jobmodel::FieldText(row->row.source);
        if (column == 1) text = jobmodel::FieldText(row->row.originalLength);
    };
    NodeTree->OnGetImageIndex = [](treeview::TBaseVastTree* tree, PVastNode node, treeview::TVTImageKind,
                                   treeview::TColumnIndex column, bool&, int& index) {
        const MediaItem* row = jobmodel::ItemOf(*tree, node);
        if (row && column == 0) index = row->imageIndex;
    };
    NodeTree->OnChecked = [](treeview::TBaseVastTree* tree, PVastNode node) {
        if (MediaItem* row = jobmodel::ItemOf(*tree, node)) jobmodel::FlipItemCheckByte(*row);
    };
    NodeTree->OnChange = [this](treeview::TBaseVastTree*, PVastNode node) { NodeTreeChange(node); };
    NodeTree->OnExpanded = [this](treeview::TBaseVastTree*, PVastNode) { ShowNavButtons(); };
    NodeTree->OnCollapsed = [this](treeview::TBaseVastTree*, PVastNode) { ShowNavButtons(); };

    // The stream lists reach the list's right edge, so that a stream's name ("1: English,
    // AC-3, 2 ch, 48 kHz") shows whole; their labels end just before them.
    Lab_audio = AddLabel(this, background, "Lab_audio", "Audio Track :", 0, 341);
    audioCmb = AddCombo(this, background, "audioCmb", kComboLeft, 337, kComboWidth);
    Lab_subtitle = AddLabel(this, background, "Lab_subtitle", "Subtitle :", 0, 380);
    sutitleCmb = AddCombo(this, background, "sutitleCmb", kComboLeft, 375, kComboWidth);
    for (TLabel* label : {Lab_audio, Lab_subtitle}) label->SetLeft(kComboLeft - kLabelGap - label->Width());
    audioCmb->OnChange = [this](TObject* s) { audioCmbChange(s); };
    sutitleCmb->OnChange = [this](TObject* s) { sutitleCmbChange(s); };

    DVDPlayPanel = new TPanel(this);
    DVDPlayPanel->SetName("DVDPlayPanel");
    DVDPlayPanel->SetParent(background);
    DVDPlayPanel->SetBounds(18, 54, 370, 255);
    DVDPlayPanel->SetCaption("");
    DVDPlayPanel->SetColor(clBlack);
    table.push_back({"DVDPlayPanel", DVDPlayPanel, TSkinUse::Place});

    btnPlay = AddButton("btnPlay", 18, 320, 36, 36);
    btnStop = AddButton("btnStop", 60, 320, 36, 36);
    btnPre = AddButton("btnPre", 102, 320, 36, 36);
    btnNext = AddButton("btnNext", 144, 320, 36, 36);
    DVDTrackBar = new skinctrl::TdvxTrackBar(this);
    DVDTrackBar->SetName("DVDTrackBar");
    DVDTrackBar->SetParent(background);
    DVDTrackBar->SetBounds(190, 328, 198, 20);
    DVDTrackBar->SetMax(0);
    table.push_back({"DVDTrackBar", DVDTrackBar, TSkinUse::Place});
    btnOK = AddButton("btnOK", 500, 420, 100, 36);
    btnCancel = AddButton("btnCancel", 616, 420, 100, 36);
    close = AddButton("close", 710, 8, 22, 22);
    for (skinctrl::TdvxImageButton* b : {btnPlay, btnStop, btnPre, btnNext, btnOK, btnCancel, close})
        b->SetCursor(crHandPoint);

    ImageList = new TImageList(this);
    ImageList->SetName("ImageList");
    DrawRowImages(ImageList);
    NodeTree->SetImages(ImageList);

    DVD_Menu = new TSkinPopupMenu(this);
    DVD_Menu->SetName("DVD_Menu");
    const auto item = [this](const char* name, const char* caption, TNotifyEvent onClick) {
        auto* entry = new TMenuItem(this);
        if (*name) entry->SetName(name);
        entry->SetCaption(caption);
        entry->OnClick = std::move(onClick);
        DVD_Menu->Items()->Add(entry);
        return entry;
    };
    CheckAll = item("CheckAll", "CheckAll    ", [this](TObject* s) { CheckAllClick(s); });
    UncheckAll = item("UncheckAll", "UncheckAll", [this](TObject* s) { UncheckAllClick(s); });
    item("", "-", {});
    showChapter = item("showChapter", "Show Chapter", [this](TObject* s) { showChapterClick(s); });
    hideChapter = item("hideChapter", "Hide Chapter", [this](TObject* s) { hideChapterClick(s); });
    NodeTree->SetPopupMenu(DVD_Menu);

    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    close->OnClick = [this](TObject* s) { btnCancelClick(s); };
    btnPlay->OnClick = [this](TObject* s) { btnPlayClick(s); };
    btnPlay->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        btnPlayMouseUp(s, b, sh, x, y);
    };
    btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
    btnPre->OnClick = [this](TObject* s) { btnPreClick(s); };
    btnNext->OnClick = [this](TObject* s) { btnNextClick(s); };
    DVDTrackBar->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        DVDTrackBarMouseDown(s, b, sh, x, y);
    };
    DVDTrackBar->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        DVDTrackBarMouseUp(s, b, sh, x, y);
    };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& action) { FormClose(s, action); };

    TakeSkin();
    FitTexts();
    Playing = Opened = false;
    DVDPlayPanel->SetVisible(false);
    SetPlayerTimeShare(apDvd, &OnDvdPlayerTime);
}

TfrmDVD::~TfrmDVD() {
    SetPlayerTimeShare(apDvd, nullptr);
    if (HandleAllocated()) {
        HWND mine = Handle();
        gDvdWindow.compare_exchange_strong(mine, nullptr);
    }
    jobmodel::ClearItemTree(*Rows);
}

void TfrmDVD::Dispatch(TMessage& message) {
    if (message.Msg == WM_DVD_PLAY_TIME) return OnDvdTimeMessage(message);
    TSkinnedForm::Dispatch(message);
}

void TfrmDVD::ReloadSkin() {
    // The play panel shows only once a row has been opened, whatever the skin's flag says.
    const bool panelShown = DVDPlayPanel->Visible();
    TSkinnedForm::ReloadSkin();
    DVDPlayPanel->SetVisible(panelShown && DVDPlayPanel->Visible());
    FitTexts();
    skin.LoadPictures({{"DVDTrackBar", DVDTrackBar, TSkinUse::Slider}});
    // The new skin's pictures for the looks the buttons have now.
    if (Playing) ShowPlayLook("btnPause");
    for (auto [button, name] : {std::pair{btnPlay, "btnPlay"}, {btnStop, "btnStop"}, {btnPre, "btnPre"},
                                {btnNext, "btnNext"}})
        if (!button->Enabled()) skin.ShowButtonState(button, name, ssDisabled);
}

void TfrmDVD::FitTexts() {
    // The title keeps its place unless the skin puts the close button over it (a skin
    // with its window buttons at the left): then it follows the button.
    const TRect title(kTitleLeft, kTitleTop, kTitleLeft + mainLabel->Width(), kTitleTop + mainLabel->Height());
    const TRect button = close->BoundsRect();
    const bool covered = close->Visible() && title.left < button.right && button.left < title.right &&
                         title.top < button.bottom && button.top < title.bottom;
    mainLabel->SetLeft(covered ? button.right + kTitleGap : kTitleLeft);
    // The combos' labels stay readable on a dark skin: light text where the background is dark.
    TPicture* picture = background->Picture();
    if (!picture || picture->Width() == 0 || picture->Height() == 0) return;
    for (TLabel* label : {Lab_audio, Lab_subtitle}) {
        const int x = std::clamp(label->Left() + label->Width() / 2, 0, picture->Width() - 1);
        const int y = std::clamp(label->Top() + label->Height() / 2, 0, picture->Height() - 1);
        const COLORREF c = ColorToRGB(picture->Bitmap()->Canvas()->Pixels(x, y));
        const int luma = (299 * GetRValue(c) + 587 * GetGValue(c) + 114 * GetBValue(c)) / 1000;
        label->Font()->SetColor(luma < 128 ? clWhite : clBlack);
    }
}

// ---- showing and closing ----

void TfrmDVD::FormShow(TObject*) {
    AttachDvdPreview();
    skin.SetButtonEnabled(btnStop, "btnStop", false);
    skin.LoadPictures({{"DVDTrackBar", DVDTrackBar, TSkinUse::Slider}});
    if (PVastNode disc = NodeTree->RootNode()->FirstChild) NodeTree->ScrollIntoView(disc, false);
    ShowNavButtons();
}

void TfrmDVD::AttachDvdPreview() {
    PlayerAttach row = DvdAttach();
    row.panel = DVDPlayPanel;
    // The screen place the player is given: the main window's corner plus the panel's place.
    const TCustomForm* main = Application ? Application->MainForm() : nullptr;
    row.left = (main ? main->Left() : 0) + DVDPlayPanel->Left();
    row.top = (main ? main->Top() : 0) + DVDPlayPanel->Top();
    gDvdWindow = Handle();
    AttachPlayer(row, ::ProgramFolder());
}

void TfrmDVD::FormClose(TObject*, TCloseAction&) {
    ActivePlayerLibrary().close_sdl();
    Playing = Opened = false;
    StopDvdPreview();
}

void TfrmDVD::CloseWindow() {
    if (IsModal())
        SetModalResult(mrOk);
    else
        Close();
}

void TfrmDVD::btnOKClick(TObject*) {
    CopyCheckedToJobList();
    CloseWindow();
}

void TfrmDVD::CopyCheckedToJobList() {
    if (!JobList) return;
    jobmodel::CopyCheckedToJobList(*Rows, *JobList);
    JobList->Tree().SetVisible(true);
}

void TfrmDVD::btnCancelClick(TObject*) {
    if (JobList && LoadState) jobmodel::CancelDvdWindow(*LoadState, *JobList);
    CloseWindow();
}

// ---- the list ----

void TfrmDVD::NodeTreeChange(PVastNode node) {
    const MediaItem* row = jobmodel::ItemOf(*NodeTree, node);
    if (!row) {
        ShowNavButtons();
        return;
    }
    const bool disc = node == NodeTree->RootNode()->FirstChild;
    audioCmb->SetEnabled(!disc);
    sutitleCmb->SetEnabled(!disc);
    if (!disc) {
        FillTrackCombos(*row);
        SelectCurrentTracks(*row);
    }
    UpdateNavButtons();
}

void TfrmDVD::UpdateNavButtons() {
    PVastNode sel = Selected();
    if (!sel) return;
    const jobmodel::DvdNavButtons b = jobmodel::DvdNavigation(*Rows, jobmodel::TreeRows::RowOf(sel));
    StopDvdPreview();
    skin.SetButtonEnabled(btnPlay, "btnPlay", b.play);
    ShowNavButtons();
}

void TfrmDVD::ShowNavButtons() {
    // Previous and Next look enabled exactly when a press would move the selection, after
    // every selection change whatever the row before was, and after a title opened or
    // closed under the selection (which changes where Next and Previous lead).
    PVastNode sel = Selected();
    const bool row = sel && sel != NodeTree->RootNode()->FirstChild;
    skin.SetButtonEnabled(btnPre, "btnPre", row && jobmodel::PreviousDvdRow(*Rows, jobmodel::TreeRows::RowOf(sel)));
    skin.SetButtonEnabled(btnNext, "btnNext", row && jobmodel::NextDvdRow(*Rows, jobmodel::TreeRows::RowOf(sel)));
}

void TfrmDVD::FillTrackCombos(const MediaItem& row) {
    for (auto [combo, entries] : {std::pair{audioCmb, jobmodel::DvdAudioEntries(row)},
                                  std::pair{sutitleCmb, jobmodel::DvdSubtitleEntries(row)}}) {
        TStrings* items = combo->Items();
        items->BeginUpdate();
        items->Clear();
        for (const std::string& entry : entries) items->Add(entry);
        items->EndUpdate();
    }
}

void TfrmDVD::SelectCurrentTracks(const MediaItem& row) {
    audioCmb->SetItemIndex(jobmodel::SelectedAudioEntry(row));
    sutitleCmb->SetItemIndex(jobmodel::SelectedSubtitleEntry(row));
}

void TfrmDVD::audioCmbChange(TObject*) {
    if (PVastNode node = Selected())
        jobmodel::ChooseAudioEntry(*Rows, jobmodel::TreeRows::RowOf(node), audioCmb->ItemIndex());
}

void TfrmDVD::sutitleCmbChange(TObject*) {
    if (PVastNode node = Selected())
        jobmodel::ChooseSubtitleEntry(*Rows, jobmodel::TreeRows::RowOf(node), sutitleCmb->ItemIndex());
}

void TfrmDVD::CheckAllClick(TObject*) { jobmodel::SetAllChecked(*Rows, true); }
void TfrmDVD::UncheckAllClick(TObject*) { jobmodel::SetAllChecked(*Rows, false); }
void TfrmDVD::showChapterClick(TObject*) { ExpandChapters(true); }
void TfrmDVD::hideChapterClick(TObject*) { ExpandChapters(false); }

void TfrmDVD::ExpandChapters(bool expand) {
    PVastNode disc = NodeTree->RootNode()->FirstChild;
    if (!disc) return;
    NodeTree->SetExpanded(disc, true);
    for (PVastNode title = disc->FirstChild; title; title = title->NextSibling) NodeTree->SetExpanded(title, expand);
}

void TfrmDVD::MoveSelectionTo(PVastNode node) {
    if (!node) return;
    NodeTree->ClearSelection();
    NodeTree->SetSelected(node, true);
    NodeTree->SetFocusedNode(node);
    NodeTree->ScrollIntoView(node, false);
}

void TfrmDVD::SelectPreviousItem() {
    MoveSelectionTo(jobmodel::TreeRows::NodeOf(jobmodel::PreviousDvdRow(*Rows, jobmodel::TreeRows::RowOf(Selected()))));
}
void TfrmDVD::SelectNextItem() {
    MoveSelectionTo(jobmodel::TreeRows::NodeOf(jobmodel::NextDvdRow(*Rows, jobmodel::TreeRows::RowOf(Selected()))));
}

// ---- the preview ----

void TfrmDVD::ShowPlayLook(const char* item) {
    TSkinWindow::LoadPicture(btnPlay->PicNormal(), skin.PicturePath(item, ssNormal));
    TSkinWindow::LoadPicture(btnPlay->PicMouseOn(), skin.PicturePath(item, ssMouseOn));
    TSkinWindow::LoadPicture(btnPlay->PicMouseDown(), skin.PicturePath(item, ssMouseDown));
    btnPlay->Invalidate();
}

void TfrmDVD::UpdatePlayImages() {
    if (Playing) {
        ShowPlayLook("btnPause");
        skin.SetButtonEnabled(btnStop, "btnStop", true);
    } else {
        ShowPlayLook("btnPlay");
    }
}

bool TfrmDVD::OpenDvdItem(int startSecond) {
    DVDPlayPanel->SetVisible(true);
    jobmodel::FillSelectedDvdPlaybackInfo(PlaybackInfo, *Rows, true);
    const MediaItem* row = jobmodel::ItemOf(*NodeTree, Selected());
    const PlayerLibrary& player = ActivePlayerLibrary();
    std::int32_t opened = -1;
    int length = 0;
    if (row && row->dvdKind == jobmodel::mkDvdTitle && row->dvdTitle) {
        opened = player.openDvdFile(&PlaybackInfo, 0, startSecond);
        length = row->dvdTitle->lengthSeconds;
    } else if (row && row->dvdKind == jobmodel::mkDvdChapter && row->dvdChapter) {
        opened = player.openDvdFile(&PlaybackInfo, row->dvdChapter->number + 1, startSecond);
        length = row->dvdChapter->lengthSeconds;
    }
    ++gOpening;
    // A fresh opening has no seek running on it: a seek left marked by a release at the
    // bar's end must not keep this stream's end from ending the preview.
    SeekInProgress = false;
    DVDTrackBar->SetMax(std::max(length, 0));
    return opened == 0;
}

void TfrmDVD::StopDvdPreview() {
    DVDTrackBar->SetPosition(0);
    Playing = Opened = false;
    ShowPlayLook("btnPlay");
    ActivePlayerLibrary().stopPlay(1);
    ++gOpening;
    skin.SetButtonEnabled(btnStop, "btnStop", false);
}

void TfrmDVD::EndPlayback() {
    Playing = Opened = false;
    ShowPlayLook("btnPlay");
}

void TfrmDVD::btnPlayClick(TObject*) {
    if (!Selected()) return;
    // A row that cannot be opened stays idle: nothing would play.
    if (!Opened && !OpenDvdItem(0)) {
        UpdatePlayImages();
        return;
    }
    if (Playing) {
        ActivePlayerLibrary().pausePlay();
        Playing = false;
    } else {
        Playing = true;
        ActivePlayerLibrary().startPlay(0);
    }
    Opened = true;
    UpdatePlayImages();
}

void TfrmDVD::btnPlayMouseUp(TObject*, TMouseButton, TShiftState, int, int) { UpdatePlayImages(); }

void TfrmDVD::btnStopClick(TObject*) {
    if (Selected()) StopDvdPreview();
}

void TfrmDVD::PlayFromStart() {
    Sleep(kNextRowPauseMs);
    if (!OpenDvdItem(0)) {
        UpdatePlayImages();
        return;
    }
    Playing = Opened = true;
    ActivePlayerLibrary().startPlay(0);
    UpdatePlayImages();
}

void TfrmDVD::btnPreClick(TObject*) {
    if (!Selected()) return;
    SelectPreviousItem();
    PlayFromStart();
}

void TfrmDVD::btnNextClick(TObject*) {
    if (!Selected()) return;
    SelectNextItem();
    PlayFromStart();
}

void TfrmDVD::DVDTrackBarMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
    if (!Playing) return;
    ActivePlayerLibrary().stopPlay(0);
    ++PendingSeeks;
    SeekInProgress = true;
}

void TfrmDVD::DVDTrackBarMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    if (!Playing) {
        DVDTrackBar->SetPosition(0);
        return;
    }
    if (DVDTrackBar->Position() >= DVDTrackBar->Max()) {
        // Released at the end: the preview stops; the seek stays marked as running, so a
        // late end report cannot end anything.
        StopDvdPreview();
        ActivePlayerLibrary().updatePlayer();
        return;
    }
    SeekTarget = DVDTrackBar->Position();
    if (OpenDvdItem(SeekTarget)) {
        ActivePlayerLibrary().startPlay(0);
    } else {
        EndPlayback();
    }
    SeekTarget = -1;
    SeekInProgress = false;
}

void TfrmDVD::OnDvdTimeMessage(TMessage& message) {
    const bool ended = (message.LParam & kEndOfStream) != 0;
    const auto opening = std::uint32_t(std::uintptr_t(message.LParam) >> 1);
    // The end of the stream that plays now (not of one the user has since left).
    if (ended && !SeekInProgress && opening == gOpening.load()) EndPlayback();
    if (PendingSeeks > 0) {
        --PendingSeeks;
        return;
    }
    DVDTrackBar->SetPosition(int(message.WParam));
}
