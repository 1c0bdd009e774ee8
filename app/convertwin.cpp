// The progress window.
#include "app/convertwin.h"

#include <algorithm>

#include "app/mainfrm.h"
#include "formbase/playerfrm.h"
#include "jobmodel/convertstate.h"
#include "libs/morvplayer/morvplayer.h"
#include "platform/core/shell.h"
#include "platform/core/sysutils.h"
#include "platform/windows/window.h"

using namespace platform;

TfrmConvert* frmConvert = nullptr;

namespace {

// Where the controls the skin does not place stand (the window resource's places).
constexpr int kMargin = 20;
constexpr int kBarsTop = 330;
constexpr int kBarHeight = 18;
constexpr int kBarGap = 6;
constexpr int kMemoTop = 380;
constexpr int kMemoHeight = 72;
constexpr int kChecksTop = 460;
constexpr int kCheckHeight = 18;
constexpr int kCheckGap = 2;
constexpr int kContentWidth = 480;

// Where a minimised application comes back before the completion message.
constexpr int kRestoredMainLeft = 200;
constexpr int kRestoredMainTop = 150;
constexpr int kRestoredOffsetLeft = 210;
constexpr int kRestoredOffsetTop = 10;

// The converter's frames go to the player's window, from the converting thread.
void ShowConverterFrame(const std::uint8_t* bgra, std::int32_t width, std::int32_t height, std::int32_t stride,
                        double, void*) {
    showPreviewFrame(bgra, width, height, stride);
}

skinctrl::TdvxCheckBox* AddCheck(TComponent* owner, TWinControl* parent, const char* name, const char* caption,
                                 int left, int top, int width, bool checked) {
    auto* box = new skinctrl::TdvxCheckBox(owner);
    box->SetName(name);
    box->SetParent(parent);
    box->SetAutoSize2(false);
    box->SetTransparent(true);
    box->SetBounds(left, top, width, kCheckHeight);
    box->SetCaption(caption);
    box->SetChecked(checked);
    return box;
}

}  // namespace

// A skinned bar as the run side sees it: minimum 0, the position kept within the maximum.
class TfrmConvert::Bar : public jobmodel::ProgressBarView {
public:
    explicit Bar(skinctrl::TdvxProgressBar* bar) : bar_(bar) {}
    int Max() const override { return bar_->Max(); }
    int Position() const override { return bar_->Position(); }
    void SetMax(int value) override {
        bar_->SetMax(std::max(value, 0));
        if (bar_->Position() > bar_->Max()) bar_->SetPosition(bar_->Max());
    }
    void SetPosition(int value) override { bar_->SetPosition(std::clamp(value, 0, bar_->Max())); }

private:
    skinctrl::TdvxProgressBar* bar_;
};

// The memo's lines as the run side sees them; the newest line is scrolled into view.
class TfrmConvert::MemoLines : public jobmodel::ResultListView {
public:
    explicit MemoLines(skinctrl::TdvxMemo* memo) : memo_(memo) {}
    void Add(const std::string& line) override {
        memo_->Lines()->Add(line);
        memo_->SetSelStart(int(memo_->Text().size()));
    }
    void Clear() override { memo_->Lines()->Clear(); }
    std::vector<std::string> Lines() const override {
        std::vector<std::string> lines;
        TStrings* strings = memo_->Lines();
        for (int i = 0; i < strings->Count(); ++i) lines.push_back(strings->Strings(i));
        return lines;
    }

private:
    skinctrl::TdvxMemo* memo_;
};

TfrmConvert::TfrmConvert(TComponent* owner)
    : TSkinnedForm(owner, "convert", "convertFormCreate", "convert", "convert_BG", 520, 540) {
    SetCaption("Converting");
    convertPanel = background;

    mainLabel = new TLabel(this);
    mainLabel->SetName("mainLabel");
    mainLabel->SetParent(background);
    mainLabel->SetBounds(16, 9, 300, 18);
    mainLabel->SetTransparent(true);
    mainLabel->Font()->SetColor(clWhite);
    mainLabel->Font()->SetStyle(TFontStyles{fsBold});
    mainLabel->SetCaption("Converting");

    ConvertPlayPanel = new TPanel(this);
    ConvertPlayPanel->SetName("ConvertPlayPanel");
    ConvertPlayPanel->SetParent(background);
    ConvertPlayPanel->SetBounds(kMargin, 50, kContentWidth, 270);
    ConvertPlayPanel->SetCaption("");
    ConvertPlayPanel->SetColor(clBlack);

    auto bar = [this](const char* name, int top) {
        auto* b = new skinctrl::TdvxProgressBar(this);
        b->SetName(name);
        b->SetParent(background);
        b->SetBounds(kMargin, top, kContentWidth, kBarHeight);
        b->SetMin(0);
        b->SetMax(0);
        b->SetPosition(0);
        b->SetShowCaption(true);
        return b;
    };
    OneProgress = bar("OneProgress", kBarsTop);
    TotalProgress = bar("TotalProgress", kBarsTop + kBarHeight + kBarGap);

    ShowResult = new skinctrl::TdvxMemo(this);
    ShowResult->SetName("ShowResult");
    ShowResult->SetParent(background);
    ShowResult->SetBounds(kMargin, kMemoTop, kContentWidth, kMemoHeight);
    ShowResult->SetReadOnly(true);
    ShowResult->SetScrollBars(ssVertical);
    ShowResult->Lines()->Clear();

    ShowPath = AddCheck(this, background, "ShowPath", "Open output folder when conversion finished", kMargin,
                        kChecksTop, 330, false);
    ShutDown = AddCheck(this, background, "ShutDown", "Shutdown your PC  when conversion finished", kMargin,
                        kChecksTop + kCheckHeight + kCheckGap, 330, false);
    Preview = AddCheck(this, background, "Preview", "Show Preview", kMargin,
                       kChecksTop + 2 * (kCheckHeight + kCheckGap), 330, true);

    btnCancel = AddButton("btnCancel", 390, 484, 110, 36);
    close = AddButton("close", 490, 8, 22, 22);
    btnMini = AddButton("btnMini", 464, 8, 22, 22);

    // The skin's order: background, preview area, then the buttons.
    table = {table[0],
             {"ConvertPlayPanel", ConvertPlayPanel, TSkinUse::Place},
             {"btnCancel", btnCancel, TSkinUse::Button},
             {"close", close, TSkinUse::Button},
             {"btnMini", btnMini, TSkinUse::Button}};

    oneBar_ = std::make_unique<Bar>(OneProgress);
    totalBar_ = std::make_unique<Bar>(TotalProgress);
    lines_ = std::make_unique<MemoLines>(ShowResult);
    Run.UseControls(*oneBar_, *totalBar_, *lines_, [this] { return Preview->Checked(); });
    Run.OnFinished = [this] { OnConvertFinished(); };

    background->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        convertPanelMouseDown(s, b, sh, x, y);
    };
    Preview->OnClick = [this](TObject* s) { PreviewClick(s); };
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    close->OnClick = [this](TObject* s) { btnCancelClick(s); };
    btnMini->OnClick = [this](TObject* s) { btnMiniClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnCloseQuery = [this](TObject* s, bool& canClose) { FormCloseQuery(s, canClose); };
    OnClose = [this](TObject* s, TCloseAction& action) { FormClose(s, action); };

    TakeSkin();
    KeepPreviewSize();
    PlaceTitle();
}

TfrmConvert::~TfrmConvert() {
    if (sinkInstalled_) jobmodel::ActiveConvertLibrary().setPreviewSink(nullptr, nullptr);
    // The run waits for its worker, whose messages may still reach the controls.
    Run.WaitForRun();
    Run.OnFinished = nullptr;
}

void TfrmConvert::KeepPreviewSize() {
    if (const SkinItem* panel = skin.Find("ConvertPlayPanel")) {
        PreviewWidth = panel->Width;
        PreviewHeight = panel->Height;
    } else {
        PreviewWidth = ConvertPlayPanel->Width();
        PreviewHeight = ConvertPlayPanel->Height();
    }
}

void TfrmConvert::PlaceTitle() {
    // A skin with its window buttons at the left gets the caption beside them.
    const int buttonsRight = std::max(close->Left() + close->Width(), btnMini->Left() + btnMini->Width());
    const bool buttonsLeft = std::min(close->Left(), btnMini->Left()) < Width() / 2;
    mainLabel->SetLeft(buttonsLeft ? buttonsRight + 10 : 16);
}

void TfrmConvert::ReloadSkin() {
    TSkinnedForm::ReloadSkin();
    KeepPreviewSize();
    PlaceTitle();
}

void TfrmConvert::FormShow(TObject*) {
    AttachConvertPreview();
    Run.FormShow();
}

void TfrmConvert::convertPanelMouseDown(TObject*, TMouseButton button, TShiftState, int x, int y) {
    if (button == mbLeft) StartWindowDrag(Height(), Width(), x, y, this);
}

void TfrmConvert::AttachConvertPreview() {
    PlayerAttach row = ConvertAttach();
    row.panel = ConvertPlayPanel;
    // This window's own place on the screen, unlike the dialogs that attach.
    row.left = Left() + ConvertPlayPanel->Left();
    row.top = Top() + ConvertPlayPanel->Top();
    AttachPlayer(row, Run.ProgramFolder);
    jobmodel::ActiveConvertLibrary().setPreviewSink(&ShowConverterFrame, nullptr);
    sinkInstalled_ = true;
}

void TfrmConvert::PreviewClick(TObject*) { Run.PreviewClick(); }

void TfrmConvert::btnCancelClick(TObject*) {
    if (Application->MessageBox("Cancel Conversion?", "Information", MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
        jobmodel::CancelState = jobmodel::cancelByUser;
}

void TfrmConvert::btnMiniClick(TObject*) {
    // The progress window is a top-level window of its own: it goes with the application.
    Application->Minimize();
    if (HandleAllocated()) ShowWindow(Handle(), SW_MINIMIZE);
}

void TfrmConvert::FormCloseQuery(TObject*, bool& canClose) {
    canClose = Run.Finished();
    if (!canClose) btnCancelClick(this);
}

void TfrmConvert::FormClose(TObject*, TCloseAction&) {
    // No frame of a later conversion may reach a player that another window took.
    jobmodel::ActiveConvertLibrary().setPreviewSink(nullptr, nullptr);
    sinkInstalled_ = false;
    ActivePlayerLibrary().close_sdl();
}

void TfrmConvert::OnConvertFinished() {
    if (jobmodel::CancelState.load() == jobmodel::cancelByUser) {
        SetModalResult(mrOk);
        return;
    }
    if (ShutDown->Checked()) {
        ShutdownComputer();
        SetModalResult(mrOk);
        return;
    }
    TCustomForm* main = frmMain;
    const bool minimised = (main && main->HandleAllocated() && IsIconic(main->Handle())) ||
                           (HandleAllocated() && IsIconic(Handle()));
    if (minimised) {
        // Back as normal windows at fixed places (maximising would only have brought them back).
        if (main && main->HandleAllocated()) {
            ShowWindow(main->Handle(), SW_RESTORE);
            main->SetBounds(kRestoredMainLeft, kRestoredMainTop, main->Width(), main->Height());
        }
        if (HandleAllocated()) ShowWindow(Handle(), SW_RESTORE);
        const int left = main ? main->Left() : kRestoredMainLeft, top = main ? main->Top() : kRestoredMainTop;
        SetBounds(left + kRestoredOffsetLeft, top + kRestoredOffsetTop, Width(), Height());
    }
    Application->MessageBox("All conversion takes have been finished!", Application->Title(), MB_OK);
    if (ShowPath->Checked() && frmMain) {
        const std::string path = Trim(frmMain->OutputPath->Text());
        if (!path.empty()) ShellExecuteA(Handle(), "explore", path.c_str(), nullptr, nullptr, SW_SHOW);
    }
    SetModalResult(mrOk);
}

void TfrmConvert::ShutdownComputer() {
    if (!ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, 0))
        Application->MessageBox("Fail to shutdown computer!", "Shutdown Computer", MB_OK | MB_ICONERROR);
}
