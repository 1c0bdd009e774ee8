// The edit dialog.
#include "dialogs/editfrm.h"

#include <algorithm>
#include <string>

#include "formbase/settings.h"
#include "jobmodel/dvdload.h"

using namespace platform;

TfrmEdit* frmEdit = nullptr;

namespace {

constexpr int kEffectBarMax = 20;
constexpr int kVolumeMax = 510;
constexpr int kVolumeNormal = 255;
constexpr int kCropLimit = 10000;
// A refused crop leaves this many pixels between the two edges of its pair.
constexpr int kCropMargin = 10;

const char* const kAspects[] = {"original", "full", "16:9", "4:3"};
const char* const kEffects[] = {"No effect", "Gray", "Emboss", "Old film"};

// Where the player's reports go: the dialog's window (a handle that is freed meanwhile
// drops what is posted to it).
std::atomic<HWND> gEditWindow{nullptr};

// The variable whose address the player is given: it holds the crop callback.
PlayerCropCallback gCropCallback = &TfrmEdit::OnEditCropRect;

const PlayerLibrary& Player() { return ActivePlayerLibrary(); }

TLabel* AddLabel(TComponent* owner, TWinControl* parent, const char* caption, int left, int top) {
    auto* label = new TLabel(owner);
    label->SetParent(parent);
    label->SetTransparent(true);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

skinctrl::TdvxSpinEdit* AddSpin(TComponent* owner, TWinControl* parent, const char* name, int left, int top) {
    auto* spin = new skinctrl::TdvxSpinEdit(owner);
    spin->SetName(name);
    spin->SetParent(parent);
    spin->SetBounds(left, top, 100, 22);
    spin->SetMinValue(0);
    spin->SetMaxValue(kCropLimit);
    spin->SetIncrement(1);
    spin->SetText("0");
    return spin;
}

skinctrl::TdvxTrackBar* AddBar(TComponent* owner, TWinControl* parent, const char* name, int left, int top,
                               int width, int max, int position) {
    auto* bar = new skinctrl::TdvxTrackBar(owner);
    bar->SetName(name);
    bar->SetParent(parent);
    bar->SetBounds(left, top, width, 20);
    bar->SetMax(max);
    bar->SetPosition(position);
    return bar;
}

skinctrl::TdvxComboBox* AddList(TComponent* owner, TWinControl* parent, const char* name, int left, int top) {
    auto* combo = new skinctrl::TdvxComboBox(owner);
    combo->SetName(name);
    combo->SetParent(parent);
    combo->SetStyle(csDropDownList);
    combo->SetBounds(left, top, 150, 22);
    return combo;
}

skinctrl::TdvxImagePanel* AddTabPanel(TComponent* owner, TWinControl* parent, const char* name) {
    auto* tab = new skinctrl::TdvxImagePanel(owner);
    tab->SetName(name);
    tab->SetParent(parent);
    tab->SetTransparent(true);
    tab->SetCaption("");
    tab->SetBounds(20, 72, 330, 360);
    return tab;
}

// The skins have no picture for the icon beside the volume bar: a speaker is drawn on the
// background's colour under it.
void DrawSpeaker(skinctrl::TdvxImageButton* icon, skinctrl::TdvxImagePanel* background) {
    TColor under = clBtnFace;
    if (TBitmap* back = background->Picture()->Bitmap(); back && back->Width() > icon->Left() &&
                                                         back->Height() > icon->Top())
        under = back->Canvas()->Pixels(icon->Left() + 1, icon->Top() + 1);
    TBitmap speaker;
    speaker.SetPixelFormat(pf32bit);
    speaker.SetSize(icon->Width(), icon->Height());
    TCanvas* c = speaker.Canvas();
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(under);
    c->FillRect(TRect(0, 0, icon->Width(), icon->Height()));
    int h = icon->Height(), mid = h / 2;
    c->Pen()->SetColor(TColor(0x5A3A1E));
    c->Brush()->SetColor(TColor(0x5A3A1E));
    c->Polygon({TPoint(2, mid - 3), TPoint(6, mid - 3), TPoint(11, mid - 8), TPoint(11, mid + 8), TPoint(6, mid + 3),
                TPoint(2, mid + 3)});
    c->MoveTo(14, mid - 4);
    c->LineTo(16, mid);
    c->LineTo(14, mid + 5);
    for (TPicture* slot : {icon->PicNormal(), icon->PicMouseOn(), icon->PicMouseDown()}) slot->Assign(&speaker);
    icon->Invalidate();
}

}  // namespace

int EffectBarValue(int position) { return 10 * position - 100; }
int EffectBarPosition(int value) { return (value + 100) / 10; }

std::uint32_t VolumeGain(int volume) {
    volume = std::clamp(volume, 0, kVolumeMax);
    std::uint32_t level = std::uint32_t(volume) * 65535u / kVolumeMax;
    return level | (level << 16);
}

TfrmEdit::TfrmEdit(TComponent* owner, DialogHost* host)
    : TSkinnedForm(owner, "edit", "editFormCreate", "edit", "Background", 760, 540), host_(host) {
    SetCaption("Edit");
    mainLabel = AddLabel(this, background, "Edit", 16, 12);
    mainLabel->Font()->SetStyle(TFontStyles{fsBold});
    Label1 = AddLabel(this, background, "Original Preview", 370, 52);
    Label2 = AddLabel(this, background, "Output Preview", 640, 52);
    close = AddButton("close", 730, 8, 22, 22);
    tabCrop = AddButton("tabCrop", 20, 40, 90, 30);
    tabEffect = AddButton("tabEffect", 112, 40, 90, 30);
    tabCropPanel = AddTabPanel(this, background, "tabCropPanel");
    tabEffectPanel = AddTabPanel(this, background, "tabEffectPanel");

    AddLabel(this, tabCropPanel, "Zoom", 20, 24);
    Crop_zoom = AddList(this, tabCropPanel, "Crop_zoom", 90, 20);
    AddLabel(this, tabCropPanel, "Left", 20, 74);
    Crop_left = AddSpin(this, tabCropPanel, "Crop_left", 90, 70);
    AddLabel(this, tabCropPanel, "Right", 20, 110);
    Crop_right = AddSpin(this, tabCropPanel, "Crop_right", 90, 106);
    AddLabel(this, tabCropPanel, "Top", 20, 146);
    Crop_top = AddSpin(this, tabCropPanel, "Crop_top", 90, 142);
    AddLabel(this, tabCropPanel, "Bottom", 20, 182);
    Crop_bottom = AddSpin(this, tabCropPanel, "Crop_bottom", 90, 178);
    btnCropReset = AddButton("btnCropReset", 200, 440, 120, 32);

    AddLabel(this, tabEffectPanel, "Bright", 20, 24);
    Effect_bright = AddBar(this, tabEffectPanel, "Effect_bright", 100, 20, 200, kEffectBarMax, 10);
    AddLabel(this, tabEffectPanel, "Contrast", 20, 64);
    Effect_contrast = AddBar(this, tabEffectPanel, "Effect_contrast", 100, 60, 200, kEffectBarMax, 10);
    AddLabel(this, tabEffectPanel, "Saturation", 20, 104);
    Effect_saturation = AddBar(this, tabEffectPanel, "Effect_saturation", 100, 100, 200, kEffectBarMax, 10);
    AddLabel(this, tabEffectPanel, "Effect", 20, 150);
    Effect_cmb = AddList(this, tabEffectPanel, "Effect_cmb", 100, 146);
    btnEffectReset = AddButton("btnEffectReset", 200, 440, 120, 32);

    EditPlayPanel = new TPanel(this);
    EditPlayPanel->SetName("EditPlayPanel");
    EditPlayPanel->SetParent(background);
    EditPlayPanel->SetBounds(370, 72, 370, 280);
    EditPlayPanel->SetCaption("");
    EditPlayPanel->SetColor(clBlack);
    TotalTrackBar = AddBar(this, background, "TotalTrackBar", 370, 360, 370, 10, 0);
    btnPlay = AddButton("btnPlay", 370, 390, 36, 36);
    btnStop = AddButton("btnStop", 412, 390, 36, 36);
    btnReplay = AddButton("btnReplay", 454, 390, 36, 36);
    btnLevel = AddButton("btnLevel", 496, 390, 36, 36);
    btnVertical = AddButton("btnVertical", 538, 390, 36, 36);
    volume = AddButton("volume", 578, 398, 20, 20);
    AdjustVolume = AddBar(this, background, "AdjustVolume", 600, 398, 140, kVolumeMax, kVolumeNormal);
    AdjustVolume->SetShowHint(true);
    AdjustVolume->SetHint(std::to_string(kVolumeNormal));
    btnOK = AddButton("btnOK", 520, 490, 100, 36);
    btnCancel = AddButton("btnCancel", 636, 490, 100, 36);

    // The skin's order; the effect tab's reset button takes the crop tab's item.
    table = {table[0],
             {"tabCrop", tabCrop, TSkinUse::Tab},
             {"tabEffect", tabEffect, TSkinUse::Tab},
             {"tabCropPanel", tabCropPanel, TSkinUse::Place},
             {"tabEffectPanel", tabEffectPanel, TSkinUse::Place},
             {"EditPlayPanel", EditPlayPanel, TSkinUse::Place},
             {"TotalTrackBar", TotalTrackBar, TSkinUse::Place},
             {"btnPlay", btnPlay, TSkinUse::Button},
             {"btnStop", btnStop, TSkinUse::Button},
             {"btnReplay", btnReplay, TSkinUse::Button},
             {"btnLevel", btnLevel, TSkinUse::Button},
             {"btnVertical", btnVertical, TSkinUse::Button},
             {"btnCropReset", btnCropReset, TSkinUse::Button},
             {"btnCropReset", btnEffectReset, TSkinUse::Button},
             {"btnOK", btnOK, TSkinUse::Button},
             {"btnCancel", btnCancel, TSkinUse::Button},
             {"close", close, TSkinUse::Button},
             {"AdjustVolume", AdjustVolume, TSkinUse::Place}};

    close->OnClick = [this](TObject* s) { closeClick(s); };
    tabCrop->OnClick = [this](TObject* s) { tabCropClick(s); };
    tabEffect->OnClick = [this](TObject* s) { tabEffectClick(s); };
    TotalTrackBar->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        TotalTrackBarMouseDown(s, b, sh, x, y);
    };
    TotalTrackBar->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        TotalTrackBarMouseUp(s, b, sh, x, y);
    };
    btnPlay->OnClick = [this](TObject* s) { btnPlayClick(s); };
    btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
    btnReplay->OnClick = [this](TObject* s) { btnReplayClick(s); };
    btnVertical->OnClick = [this](TObject* s) { btnVerticalClick(s); };
    btnLevel->OnClick = [this](TObject* s) { btnLevelClick(s); };
    for (Edge edge : {edLeft, edRight, edTop, edBottom}) {
        skinctrl::TdvxSpinEdit* spin = Spin(edge);
        spin->OnChange = [this, edge](TObject*) { CropChange(edge); };
        spin->OnEnter = [this, edge](TObject*) { CropEnter(edge); };
        spin->OnExit = [this, edge](TObject*) { CropExit(edge); };
    }
    Crop_zoom->OnChange = [this](TObject* s) { Crop_zoomChange(s); };
    Effect_bright->OnChange = [this](TObject* s) { Effect_brightChange(s); };
    Effect_contrast->OnChange = [this](TObject* s) { Effect_contrastChange(s); };
    Effect_saturation->OnChange = [this](TObject* s) { Effect_saturationChange(s); };
    Effect_cmb->OnChange = [this](TObject* s) { Effect_cmbChange(s); };
    btnCropReset->OnClick = [this](TObject* s) { btnCropResetClick(s); };
    btnEffectReset->OnClick = [this](TObject* s) { btnEffectResetClick(s); };
    AdjustVolume->OnChange = [this](TObject* s) { AdjustVolumeChange(s); };
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    SetPlayerTimeShare(apEdit, &TfrmEdit::OnEditPlayerTime);
    TakeSkin();
    DrawSpeaker(volume, background);
    ShowTab(true);
}

TfrmEdit::~TfrmEdit() {
    SetPlayerTimeShare(apEdit, nullptr);
    if (HandleAllocated()) {
        HWND mine = Handle();
        gEditWindow.compare_exchange_strong(mine, nullptr);
    }
}

void TfrmEdit::Dispatch(TMessage& message) {
    switch (message.Msg) {
        case WM_EDIT_PLAY_TIME: OnEditTimeMessage(message); return;
        case WM_EDIT_CROP_TOPBOTTOM: OnCropTopBottomMessage(message); return;
        case WM_EDIT_CROP_LEFTRIGHT: OnCropLeftRightMessage(message); return;
        default: TSkinnedForm::Dispatch(message); return;
    }
}

void TfrmEdit::ReloadSkin() {
    TSkinnedForm::ReloadSkin();
    DrawSpeaker(volume, background);
    // The layout shows both reset buttons and both tab panels; the tab in use decides.
    ShowTab(cropTab_);
    SetPlayButtonState(playing_);
}

skinctrl::TdvxSpinEdit* TfrmEdit::Spin(Edge edge) const {
    switch (edge) {
        case edLeft: return Crop_left;
        case edRight: return Crop_right;
        case edTop: return Crop_top;
        default: return Crop_bottom;
    }
}

void TfrmEdit::SetSpinQuietly(skinctrl::TdvxSpinEdit* spin, int value) {
    TNotifyEvent handler = std::move(spin->OnChange);
    spin->OnChange = nullptr;
    spin->SetValue(value);
    spin->OnChange = std::move(handler);
}

// ---- showing and closing ----

void TfrmEdit::AttachEditPreview() {
    gEditWindow = Handle();
    PlayerAttach row = EditAttach();
    row.panel = EditPlayPanel;
    TPoint origin = host_ ? host_->PreviewOrigin().value_or(TPoint(Left(), Top())) : TPoint(Left(), Top());
    row.left = origin.x + EditPlayPanel->Left();
    row.top = origin.y + EditPlayPanel->Top();
    AttachPlayer(row, ProgramFolder());
}

void TfrmEdit::FormShow(TObject*) {
    playing_ = opened_ = seekInProgress_ = false;
    pendingSeeks_ = 0;
    seekTarget_ = -1;
    AttachEditPreview();
    ShowTab(true);
    Crop_zoom->Items()->Clear();
    for (const char* aspect : kAspects) Crop_zoom->Items()->Add(aspect);
    Crop_zoom->SetItemIndex(0);
    Effect_cmb->Items()->Clear();
    for (const char* effect : kEffects) Effect_cmb->Items()->Add(effect);
    Effect_cmb->SetItemIndex(0);
    InitCropAndEffect();
    TotalTrackBar->SetPosition(0);
    OpenEditPreview();
    Player().startPlay(0);
    opened_ = true;
    SetPlayButtonState(true);
    // The two sliders' pictures have fixed names in the skin's "Edit" folder.
    TSkinWindow::LoadPicture(TotalTrackBar->GetSliderImage(), JoinSkinPath(SkinImageFolder, "Edit/TotalTrackBar.bmp"));
    TSkinWindow::LoadPicture(AdjustVolume->GetSliderImage(), JoinSkinPath(SkinImageFolder, "Edit/AdjustVolume.bmp"));
    TotalTrackBar->Invalidate();
    AdjustVolume->Invalidate();
    AdjustVolume->SetHint(std::to_string(AdjustVolume->Position()));
}

void TfrmEdit::FormClose(TObject*, TCloseAction&) {
    Player().close_sdl();
    ResetPlayerPicture();
    playing_ = opened_ = false;
    seekInProgress_ = false;
}

void TfrmEdit::Finish() {
    if (IsModal())
        SetModalResult(mrOk);
    else
        Close();
}

void TfrmEdit::closeClick(TObject*) { Finish(); }
void TfrmEdit::btnCancelClick(TObject*) { Finish(); }

void TfrmEdit::btnOKClick(TObject*) {
    if (item_ && item_->crop) {
        jobmodel::CropSetting& crop = *item_->crop;
        // GetValue counts a text that is not a number as the minimum, 0.
        crop.left = Crop_left->GetValue();
        crop.right = Crop_right->GetValue();
        crop.top = Crop_top->GetValue();
        crop.bottom = Crop_bottom->GetValue();
        int zoom = Crop_zoom->ItemIndex();
        jobmodel::CopyTextField(crop.aspect, zoom >= 0 ? Crop_zoom->Items()->Strings(zoom).c_str() : kAspects[0]);
    }
    if (item_ && item_->effect) {
        jobmodel::EffectSetting& effect = *item_->effect;
        effect.verticalFlip = verticalFlip_ ? 1 : 0;
        effect.horizontalFlip = horizontalFlip_ ? 1 : 0;
        effect.brightness = EffectBarValue(Effect_bright->Position());
        effect.contrast = EffectBarValue(Effect_contrast->Position());
        effect.saturation = EffectBarValue(Effect_saturation->Position());
        effect.effect = std::max(0, Effect_cmb->ItemIndex());
        effect.volume = AdjustVolume->Position();
    }
    Finish();
}

// ---- tabs ----

void TfrmEdit::ShowTab(bool crop) {
    cropTab_ = crop;
    skin.ShowButtonState(tabCrop, "tabCrop", crop ? ssMouseOn : ssNormal);
    skin.ShowButtonState(tabEffect, "tabEffect", crop ? ssNormal : ssMouseOn);
    tabCropPanel->SetVisible(crop);
    btnCropReset->SetVisible(crop);
    tabEffectPanel->SetVisible(!crop);
    btnEffectReset->SetVisible(!crop);
}

void TfrmEdit::tabCropClick(TObject*) { ShowTab(true); }
void TfrmEdit::tabEffectClick(TObject*) { ShowTab(false); }

// ---- the row's records into the controls and the player ----

void TfrmEdit::InitCropAndEffect() {
    const PlayerLibrary& player = Player();
    player.setCropHandle(&gCropCallback);
    for (bool& skip : skip_) skip = true;

    jobmodel::CropSetting crop{};
    jobmodel::ResetCropSetting(crop);
    if (item_ && item_->crop) crop = *item_->crop;
    player.cropFlim();
    SetSpinQuietly(Crop_top, crop.top);
    SetSpinQuietly(Crop_bottom, crop.bottom);
    SetSpinQuietly(Crop_left, crop.left);
    SetSpinQuietly(Crop_right, crop.right);
    player.leftCropFlim(Crop_left->GetValue());
    player.rightCropFlim(Crop_right->GetValue());
    player.upCropFlim(Crop_top->GetValue());
    player.bottomCropFlim(Crop_bottom->GetValue());
    std::string aspect = jobmodel::FieldText(crop.aspect);
    for (int i = 0; i < int(std::size(kAspects)); ++i)
        if (aspect == kAspects[i]) Crop_zoom->SetItemIndex(i);
    player.setPlayAspectRatio(Crop_zoom->Items()->Strings(std::max(0, Crop_zoom->ItemIndex())).c_str());

    jobmodel::EffectSetting effect{};
    jobmodel::ResetEffectSetting(effect);
    if (item_ && item_->effect) effect = *item_->effect;
    // The bars are set quietly and the player told each value once, changed or not: the
    // player keeps the settings of the window that used it before.
    for (auto [bar, value] : {std::pair{Effect_bright, effect.brightness}, {Effect_contrast, effect.contrast},
                              {Effect_saturation, effect.saturation}}) {
        TNotifyEvent handler = std::move(bar->OnChange);
        bar->OnChange = nullptr;
        bar->SetPosition(EffectBarPosition(value));
        bar->OnChange = std::move(handler);
    }
    player.setBrightness(EffectBarValue(Effect_bright->Position()));
    player.setContrast(EffectBarValue(Effect_contrast->Position()));
    player.setSaturation(EffectBarValue(Effect_saturation->Position()));
    verticalFlip_ = effect.verticalFlip != 0;
    horizontalFlip_ = effect.horizontalFlip != 0;
    SendFlips(verticalFlip_, horizontalFlip_);
    if (effect.effect >= 0 && effect.effect < int(std::size(kEffects))) {
        Effect_cmb->SetItemIndex(effect.effect);
        SendEffect(effect.effect);
    }
    TNotifyEvent handler = std::move(AdjustVolume->OnChange);
    AdjustVolume->OnChange = nullptr;
    AdjustVolume->SetPosition(effect.volume);
    AdjustVolume->OnChange = std::move(handler);
    SendVolume(AdjustVolume->Position());
}

void TfrmEdit::SendFlips(bool vertical, bool horizontal) {
    const PlayerLibrary& player = Player();
    // Each flip call turns its flip over, so start from none.
    player.noFlipFlim();
    if (vertical) player.vertFlipFlim();
    if (horizontal) player.horiFlipFlim();
}

void TfrmEdit::SendEffect(int effect) {
    const PlayerLibrary& player = Player();
    switch (effect) {
        case jobmodel::ekNone: player.noEffectFlim(); break;
        case jobmodel::ekGray: player.grayFlim(); break;
        case jobmodel::ekEmboss: player.embossFlim(); break;
        case jobmodel::ekOldFilm: player.oldFlim(); break;
        default: break;
    }
}

// The player keeps its picture settings from one opening to the next, while the other
// windows' previews show the source as it is: what was tried here (even when cancelled)
// must not follow the user into them.
void TfrmEdit::ResetPlayerPicture() {
    const PlayerLibrary& player = Player();
    player.cropFlim();
    player.setPlayAspectRatio(kAspects[0]);
    player.setBrightness(0);
    player.setContrast(0);
    player.setSaturation(0);
    player.noEffectFlim();
    player.noFlipFlim();
}

void TfrmEdit::SendVolume(int volume) { Player().setOutputGain(VolumeGain(volume)); }

// ---- the preview ----

void TfrmEdit::OpenEditPreview() {
    int length = 0;
    const jobmodel::MediaItem* row = item_;
    if (row && row->timeRange) {
        const jobmodel::TimeRange range = *row->timeRange;
        std::int32_t result = -1;
        if (row->dvdKind == jobmodel::mkDvdTitle || row->dvdKind == jobmodel::mkDvdChapter) {
            playRecord_ = TitlePlayRecord{};
            if (jobmodel::FillDvdPlaybackInfo(playRecord_.info, *row)) {
                playRecord_.chapterSelector = row->dvdKind == jobmodel::mkDvdTitle ? 0 : row->dvdChapterNumber + 1;
                playRecord_.startSecond = range.start;
                playRecord_.endSecond = range.end;
                result = Player().openMultiTitleFile(&playRecord_, 1);
            }
        } else if (row->mediaInfo && row->mediaInfo->path[0]) {
            result = Player().openMediaFile(row->mediaInfo->path, range.start, range.end);
        }
        // A row the player cannot open keeps the idle picture and a bar of 0.
        if (result == 0) length = std::max(0, range.end - range.start);
    }
    TotalTrackBar->SetMax(length);
}

void TfrmEdit::SetPlayButtonState(bool playing) {
    playing_ = playing;
    skin.LoadPictures({{playing ? "btnPause" : "btnPlay", btnPlay, TSkinUse::PicturesOnly}});
}

void TfrmEdit::EndPlayback() {
    seekInProgress_ = false;
    Player().stopPlay(1);
    opened_ = false;
    SetPlayButtonState(false);
}

void TfrmEdit::btnPlayClick(TObject*) {
    if (!opened_) OpenEditPreview();
    if (playing_)
        Player().pausePlay();
    else
        Player().startPlay(0);
    opened_ = true;
    SetPlayButtonState(!playing_);
}

void TfrmEdit::btnStopClick(TObject*) {
    seekInProgress_ = false;
    Player().stopPlay(1);
    opened_ = false;
    SetPlayButtonState(false);
}

void TfrmEdit::btnReplayClick(TObject*) {
    Player().stopPlay(1);
    OpenEditPreview();
    Player().startPlay(0);
    opened_ = true;
    SetPlayButtonState(true);
}

void TfrmEdit::TotalTrackBarMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
    if (!playing_) return;
    ++pendingSeeks_;
    seekInProgress_ = true;
}

void TfrmEdit::TotalTrackBarMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    if (!playing_) {
        TotalTrackBar->SetPosition(0);
        return;
    }
    seekTarget_ = TotalTrackBar->Position();
    if (seekTarget_ != -1) {
        Player().findDvdTimePlay(double(seekTarget_));
        seekTarget_ = -1;
    }
    seekInProgress_ = false;
}

void TfrmEdit::OnEditPlayerTime(const PlayTimeInfo& info) {
    bool ended = info.ended == 1;
    int position = ended ? 0 : info.hours * 3600 + info.minutes * 60 + info.seconds;
    if (HWND window = gEditWindow.load()) PostMessage(window, WM_EDIT_PLAY_TIME, WPARAM(position), ended ? 1 : 0);
}

void TfrmEdit::OnEditTimeMessage(TMessage& message) {
    // A report still queued when the dialog closed belongs to a preview that is gone.
    if (!Visible()) return;
    // The end of the stream, unless the user is seeking.
    if (message.LParam == 1 && !seekInProgress_) EndPlayback();
    if (pendingSeeks_ > 0) {
        --pendingSeeks_;
        return;
    }
    TotalTrackBar->SetPosition(int(message.WParam));
}

// ---- crop ----

std::int32_t TfrmEdit::OnEditCropRect(PlayerCropInfo* crop) {
    if (!crop) return 0;
    if (HWND window = gEditWindow.load()) {
        PostMessage(window, WM_EDIT_CROP_TOPBOTTOM, WPARAM(std::max(0, crop->top)), LPARAM(crop->bottom));
        PostMessage(window, WM_EDIT_CROP_LEFTRIGHT, WPARAM(std::max(0, crop->left)), LPARAM(crop->right));
    }
    return 0;
}

// What the player reports is shown, neither checked nor sent back.
void TfrmEdit::OnCropTopBottomMessage(TMessage& message) {
    SetSpinQuietly(Crop_top, int(message.WParam));
    SetSpinQuietly(Crop_bottom, int(message.LParam));
}

void TfrmEdit::OnCropLeftRightMessage(TMessage& message) {
    SetSpinQuietly(Crop_left, int(message.WParam));
    SetSpinQuietly(Crop_right, int(message.LParam));
}

void TfrmEdit::CropChange(Edge edge) {
    if (skip_[edge]) {
        skip_[edge] = false;
        return;
    }
    skinctrl::TdvxSpinEdit* spin = Spin(edge);
    if (spin->Text().empty()) return;
    bool horizontal = edge == edLeft || edge == edRight;
    Edge partner = edge == edLeft ? edRight : edge == edRight ? edLeft : edge == edTop ? edBottom : edTop;
    const MediaInfo* info = item_ ? item_->mediaInfo : nullptr;
    int size = info ? (horizontal ? info->width : info->height) : 0;
    // A frame of unknown size has nothing to check against. A pair that would leave no
    // picture is refused: the changed edge moves back to leave a margin, and that value
    // goes to the player unchecked, so one message is all the user sees.
    if (size > 0) {
        long long other = Spin(partner)->GetValue();
        if (spin->GetValue() + other >= size) {
            Application->MessageBox("Crop error!", Caption(), MB_OK);
            SetSpinQuietly(spin, int(std::max(0LL, size - other - kCropMargin)));
        }
    }
    const PlayerLibrary& player = Player();
    switch (edge) {
        case edLeft:
            player.leftCropFlim(Crop_left->GetValue());
            player.rightCropFlim(Crop_right->GetValue());
            break;
        case edRight: player.rightCropFlim(Crop_right->GetValue()); break;
        case edTop:
            player.upCropFlim(Crop_top->GetValue());
            player.bottomCropFlim(Crop_bottom->GetValue());
            break;
        case edBottom: player.bottomCropFlim(Crop_bottom->GetValue()); break;
    }
}

void TfrmEdit::Crop_zoomChange(TObject*) {
    int index = Crop_zoom->ItemIndex();
    if (index >= 0) Player().setPlayAspectRatio(Crop_zoom->Items()->Strings(index).c_str());
}

void TfrmEdit::btnCropResetClick(TObject*) {
    Crop_zoom->SetItemIndex(0);
    Player().setPlayAspectRatio(kAspects[0]);
    for (Edge edge : {edLeft, edRight, edTop, edBottom}) SetSpinQuietly(Spin(edge), 0);
    const PlayerLibrary& player = Player();
    player.upCropFlim(0);
    player.bottomCropFlim(0);
    player.leftCropFlim(0);
    player.rightCropFlim(0);
}

// ---- effects ----

void TfrmEdit::Effect_brightChange(TObject*) { Player().setBrightness(EffectBarValue(Effect_bright->Position())); }
void TfrmEdit::Effect_contrastChange(TObject*) { Player().setContrast(EffectBarValue(Effect_contrast->Position())); }
void TfrmEdit::Effect_saturationChange(TObject*) {
    Player().setSaturation(EffectBarValue(Effect_saturation->Position()));
}

void TfrmEdit::Effect_cmbChange(TObject*) { SendEffect(Effect_cmb->ItemIndex()); }

void TfrmEdit::btnVerticalClick(TObject*) {
    verticalFlip_ = !verticalFlip_;
    Player().vertFlipFlim();
}

void TfrmEdit::btnLevelClick(TObject*) {
    horizontalFlip_ = !horizontalFlip_;
    Player().horiFlipFlim();
}

void TfrmEdit::btnEffectResetClick(TObject*) {
    Effect_cmb->SetItemIndex(0);
    verticalFlip_ = horizontalFlip_ = false;
    for (skinctrl::TdvxTrackBar* bar : {Effect_bright, Effect_contrast, Effect_saturation}) bar->SetPosition(10);
    Player().noFlipFlim();
    Player().noEffectFlim();
    AdjustVolume->SetPosition(kVolumeNormal);
}

void TfrmEdit::AdjustVolumeChange(TObject*) {
    SendVolume(AdjustVolume->Position());
    AdjustVolume->SetHint(std::to_string(AdjustVolume->Position()));
}
