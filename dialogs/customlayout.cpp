// The customisation dialog's controls: made here once, placed by the window's own values,
// then moved and pictured by the skin section "customize".
#include "dialogs/customfrm.h"

#include "formbase/settings.h"
#include "platform/core/files.h"
#include "skinctrl/dvxpublic.h"

using namespace platform;
using skinctrl::TdvxButton;
using skinctrl::TdvxCheckBox;
using skinctrl::TdvxComboBox;
using skinctrl::TdvxEdit;
using skinctrl::TdvxImagePanel;
using skinctrl::TdvxRadioButton;
using skinctrl::TdvxSpinEdit;

TfrmCustom* frmCustom = nullptr;

namespace {

TLabel* AddLabel(TComponent* owner, TWinControl* parent, const char* caption, int left, int top, bool bold = false) {
    auto* label = new TLabel(owner);
    label->SetParent(parent);
    label->SetTransparent(true);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    if (bold) label->Font()->SetStyle(TFontStyles{fsBold});
    return label;
}

TdvxComboBox* AddList(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width) {
    auto* combo = new TdvxComboBox(owner);
    combo->SetName(name);
    combo->SetParent(parent);
    combo->SetStyle(csDropDownList);
    combo->SetBounds(left, top, width, 22);
    return combo;
}

template <class Box>
Box* AddBox(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left, int top,
            int width = 220) {
    auto* box = new Box(owner);
    box->SetName(name);
    box->SetParent(parent);
    box->SetBounds(left, top, width, 20);
    box->SetCaption(caption);
    box->SetTransparent(true);
    return box;
}

TdvxSpinEdit* AddSpin(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width, int low,
                      int high) {
    auto* spin = new TdvxSpinEdit(owner);
    spin->SetName(name);
    spin->SetParent(parent);
    spin->SetBounds(left, top, width, 22);
    spin->SetMinValue(low);
    spin->SetMaxValue(high);
    spin->SetIncrement(1);
    spin->SetValue(low);
    return spin;
}

TdvxEdit* AddEdit(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width) {
    auto* edit = new TdvxEdit(owner);
    edit->SetName(name);
    edit->SetParent(parent);
    edit->SetBounds(left, top, width, 22);
    return edit;
}

// A text button that looks disabled when it is: the style's button strip has no frame of
// its own for that state (a disabled button shows the normal frame, where the grey caption
// is hard to tell from an enabled one), so the normal frame is washed out toward grey.
class TTextButton : public TdvxButton {
public:
    using TdvxButton::TdvxButton;

protected:
    void PaintButtonDisabled(TBitmap* picture) override {
        PaintButtonNormal(picture);
        constexpr int kGrey = 0xD4, kKeep = 1, kOf = 4;  // a quarter of the colour stays
        TCanvas* canvas = picture->Canvas();
        for (int y = 0; y < picture->Height(); ++y)
            for (int x = 0; x < picture->Width(); ++x) {
                const TColor c = canvas->Pixels(x, y);
                if (c == skinctrl::DVX_KEY_COLOR) continue;  // the see-through corners stay so
                auto wash = [](int v) { return (v * kKeep + kGrey * (kOf - kKeep)) / kOf; };
                canvas->SetPixels(x, y, TColor(RGB(wash(GetRValue(c)), wash(GetGValue(c)), wash(GetBValue(c)))));
            }
    }
};

TdvxButton* AddTextButton(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left,
                          int top, int width = 70) {
    auto* button = new TTextButton(owner);
    button->SetName(name);
    button->SetParent(parent);
    button->SetBounds(left, top, width, 24);
    button->SetCaption(caption);
    return button;
}

TdvxImagePanel* AddPanel(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width,
                         int height) {
    auto* panel = new TdvxImagePanel(owner);
    panel->SetName(name);
    panel->SetParent(parent);
    panel->SetCaption("");
    panel->SetBounds(left, top, width, height);
    return panel;
}

TScrollBox* AddGalleryBox(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width,
                          int height) {
    auto* box = new TScrollBox(owner);
    box->SetName(name);
    box->SetParent(parent);
    box->SetBorderStyle(bsNone);
    box->SetColor(clHighlight);
    box->SetBounds(left, top, width, height);
    // Every wheel step moves the gallery by 5 pixels.
    box->OnMouseWheel = [box](TObject*, TShiftState, int delta, TPoint, bool& handled) {
        TControlScrollBar* bar = box->VertScrollBar();
        bar->SetPosition(bar->Position() + (delta < 0 ? 5 : -5));
        handled = true;
    };
    return box;
}

}  // namespace

TfrmCustom::TfrmCustom(TComponent* owner)
    : TSkinnedForm(owner, "customize", "cusFormCreate", "customize", "customize_BG1", 800, 560) {
    SetCaption("Customize");
    customize_BG1 = TSkinnedForm::background;
    customize_BG2 = AddPanel(this, this, "customize_BG2", 0, 0, 800, 560);
    customize_BG3 = AddPanel(this, this, "customize_BG3", 0, 0, 800, 560);
    for (TdvxImagePanel* page : {customize_BG1, customize_BG2, customize_BG3}) {
        AddLabel(this, page, "Customize", 16, 12, true);
        page->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
            if (button == mbLeft) StartWindowDrag(Height(), Width(), x, y, this);
        };
    }
    table.push_back({"customize_BG2", customize_BG2, TSkinUse::Panel});
    table.push_back({"customize_BG3", customize_BG3, TSkinUse::Panel});

    BuildPageOne();
    BuildPageTwo();
    BuildPageThree();

    // Back, Next, OK, close and "Save as default" stay over every page.
    btnBack = AddButton("btnBack", 440, 505, 100, 36);
    btnNext = AddButton("btnNext", 550, 505, 100, 36);
    btnOK = AddButton("btnOK", 660, 505, 100, 36);
    close = AddButton("close", 770, 8, 22, 22);
    for (auto* button : {btnBack, btnNext, btnOK, close}) button->SetParent(this);
    custom_default = AddBox<TdvxCheckBox>(this, this, "custom_default", "Save as default", 20, 512, 160);

    sysTimer = new TTimer(this);
    sysTimer->SetEnabled(false);
    sysTimer->SetInterval(500);

    headimgDialog = new TOpenDialog(this);
    tailimgDialog = new TOpenDialog(this);
    decoOpenDialog = new TOpenDialog(this);
    for (TOpenDialog* dialog : {headimgDialog, tailimgDialog, decoOpenDialog})
        dialog->SetFilter("JPEG Image File (*.jpg)|*.jpg");
    headFontDialog = new TFontDialog(this);
    tailFontDialog = new TFontDialog(this);
    decoFontDialog = new TFontDialog(this);

    // The skin's order; the Back/Next/OK buttons were added to the table by AddButton,
    // which put them before the rest: rebuild the table in the order the skin is read.
    using U = TSkinUse;
    std::vector<SkinEntry> ordered = {table[0], table[1], table[2],
                                      {"btnBack", btnBack, U::Button},
                                      {"btnNext", btnNext, U::Button},
                                      {"btnOK", btnOK, U::Button},
                                      {"custom_default", custom_default, U::Place},
                                      {"cus_flv", cus_flv, U::Place},
                                      {"cus_swf", cus_swf, U::Place},
                                      {"swfType_1", swfType_1, U::Place},
                                      {"swfType_2", swfType_2, U::Place},
                                      {"cus_html", cus_html, U::Place},
                                      {"cus_thumb", cus_thumb, U::Place},
                                      {"tabPlayerPanel", tabPlayerPanel, U::Place},
                                      {"tabEffectPanel", tabEffectPanel, U::Place},
                                      {"tabLoadPanel", tabLoadPanel, U::Place},
                                      {"tabDecoratePanel", tabDecoratePanel, U::Place},
                                      {"tabHeadPanel", tabHeadPanel, U::Place},
                                      {"tabTailPanel", tabTailPanel, U::Place},
                                      {"tabOptionPanel", tabOptionPanel, U::Place},
                                      {"webPanel", webPanel, U::Place},
                                      {"background", backgroundLabel, U::Place},
                                      {"cmbBackground", cmbBackground, U::Place},
                                      {"addCredits", addCredits, U::Place},
                                      {"text", text, U::Place},
                                      {"textValue", textValue, U::Place},
                                      {"img", img, U::Place},
                                      {"imgValue", imgValue, U::Place},
                                      {"url", url, U::Place},
                                      {"urlValue", urlValue, U::Place},
                                      {"close", close, U::Button}};
    table = std::move(ordered);

    WireHandlers();
    TakeSkin();
    FollowPanels();
    ShowPage(1);
}

TfrmCustom::~TfrmCustom() {
    sysTimer->SetEnabled(false);
    if (frmCustom == this) frmCustom = nullptr;
}

void TfrmCustom::ReloadSkin() {
    skin.Reload(table);
    FollowPanels();
    if (CurrentPage == 3) ShowTabSet(swfType_1->Checked(), activeTab_ < 0 ? 0 : activeTab_);
}

void TfrmCustom::FollowPanels() {
    EffectScrollBox->SetBounds(0, 0, tabEffectPanel->Width(), tabEffectPanel->Height());
    LoadScrollBox->SetBounds(0, 0, tabLoadPanel->Width(), tabLoadPanel->Height());
    // The frame keeps showing over the browser after the panel moved.
    imgPanel->BringToFront();
}

void TfrmCustom::BuildPageOne() {
    TdvxImagePanel* page = customize_BG1;
    // The page's two sunken panels are those of the player page's tab panels (20, 90, 380 x
    // 400) and preview (420, 90, 360 x 300): the audio settings stand in the first, the
    // video settings in the second, every label and list whole inside its panel; the lists
    // are wide enough for the longest codec names of the shipped profiles.
    constexpr int kAudioLeft = 142, kAudioWidth = 200;
    constexpr int kVideoLabelLeft = 436, kVideoLeft = 528, kVideoWidth = 236;
    AddLabel(this, page, "Profile :", 230, 57, true);
    comProfile = new TProfileCombo(this);
    comProfile->SetName("comProfile");
    comProfile->SetParent(page);
    comProfile->SetBounds(294, 54, 260, 22);
    PrepareProfileCombo(comProfile);

    AddLabel(this, page, "Audio Setting", 153, 108, true);
    AddLabel(this, page, "Sample Rate :", kAudioLeft, 156);
    cmbSampleRate = AddList(this, page, "cmbSampleRate", kAudioLeft, 174, kAudioWidth);
    AddLabel(this, page, "Channel :", kAudioLeft, 212);
    cmbAudioChannel = AddList(this, page, "cmbAudioChannel", kAudioLeft, 230, kAudioWidth);
    AddLabel(this, page, "Encoder :", kAudioLeft, 272);
    cmbAudioEncoder = AddList(this, page, "cmbAudioEncoder", kAudioLeft, 290, kAudioWidth);
    AddLabel(this, page, "Bitrate :", kAudioLeft, 332);
    cmbAudioBitrate = AddList(this, page, "cmbAudioBitrate", kAudioLeft, 350, kAudioWidth);

    AddLabel(this, page, "Video Settings", 500, 108, true);
    AddLabel(this, page, "Width :", kVideoLabelLeft, 179);
    width = AddSpin(this, page, "width", kVideoLeft, 176, kVideoWidth, 1, 10000);
    proportional = AddBox<TdvxCheckBox>(this, page, "proportional", "Proportional", kVideoLeft - 1, 206, 145);
    AddLabel(this, page, "Height :", kVideoLabelLeft, 238);
    height = AddSpin(this, page, "height", kVideoLeft, 235, kVideoWidth, 1, 10000);
    AddLabel(this, page, "Encoder :", kVideoLabelLeft, 277);
    cmbVideoEncoder = AddList(this, page, "cmbVideoEncoder", kVideoLeft, 274, kVideoWidth);
    AddLabel(this, page, "Bitrate :", kVideoLabelLeft, 316);
    cmbVideoBitrate = AddList(this, page, "cmbVideoBitrate", kVideoLeft, 313, kVideoWidth);
    AddLabel(this, page, "Frame Rate :", kVideoLabelLeft, 353);
    cmbFrameRate = AddList(this, page, "cmbFrameRate", kVideoLeft, 350, kVideoWidth);
}

void TfrmCustom::BuildPageTwo() {
    TdvxImagePanel* page = customize_BG2;
    cus_flv = AddBox<TdvxCheckBox>(this, page, "cus_flv", "Generate FLV", 60, 120, 260);
    cus_swf = AddBox<TdvxCheckBox>(this, page, "cus_swf", "Generate SWF", 60, 156, 260);
    swfType_1 =
        AddBox<TdvxRadioButton>(this, page, "swfType_1", "Embed the video in SWF and play in timeline", 60, 192, 320);
    swfType_2 = AddBox<TdvxRadioButton>(this, page, "swfType_2", "Play the created external FLV file progressively",
                                        60, 228, 320);
    swfType_2->SetChecked(true);
    cus_html = AddBox<TdvxCheckBox>(this, page, "cus_html", "Generate HTML", 60, 264, 260);
    cus_thumb = AddBox<TdvxCheckBox>(this, page, "cus_thumb", "Generate Thumbnail", 60, 300, 260);
}

void TfrmCustom::BuildPageThree() {
    TdvxImagePanel* page = customize_BG3;
    // The tab buttons carry their captions in their skin pictures.
    auto tabButton = [&](const char* name) {
        auto* button = new skinctrl::TdvxImageButton(this);
        button->SetName(name);
        button->SetParent(page);
        button->SetBounds(20, 56, 60, 30);
        return button;
    };
    btnPlayer = tabButton("btnPlayer");
    btnEffect = tabButton("btnEffect");
    btnLoad = tabButton("btnLoad");
    btnDecorate = tabButton("btnDecorate");
    btnHead = tabButton("btnHead");
    btnTail = tabButton("btnTail");
    btnOption = tabButton("btnOption");

    auto tabPanel = [&](const char* name) { return AddPanel(this, page, name, 20, 90, 380, 400); };
    tabPlayerPanel = tabPanel("tabPlayerPanel");
    tabEffectPanel = tabPanel("tabEffectPanel");
    tabLoadPanel = tabPanel("tabLoadPanel");
    tabDecoratePanel = tabPanel("tabDecoratePanel");
    tabHeadPanel = tabPanel("tabHeadPanel");
    tabTailPanel = tabPanel("tabTailPanel");
    tabOptionPanel = tabPanel("tabOptionPanel");

    // Player tab.
    PlayerScrollBox = AddGalleryBox(this, tabPlayerPanel, "PlayerScrollBox", 6, 6, 318, 223);
    skinHide = AddBox<TdvxCheckBox>(this, tabPlayerPanel, "skinHide", "Skin auto hide", 20, 240);
    mouseHide = AddBox<TdvxCheckBox>(this, tabPlayerPanel, "mouseHide", "Mouse auto hide", 20, 266);
    slideHide = AddBox<TdvxCheckBox>(this, tabPlayerPanel, "slideHide", "Slide auto hide", 20, 292);
    autoPlay = AddBox<TdvxCheckBox>(this, tabPlayerPanel, "autoPlay", "Auto play", 20, 318);
    AddLabel(this, tabPlayerPanel, "Hide Delay:", 200, 244);
    hideDealyValue = AddSpin(this, tabPlayerPanel, "hideDealyValue", 270, 240, 70, 1, 300);

    // Effect and Preloader tabs: the galleries fill their panels.
    EffectScrollBox = AddGalleryBox(this, tabEffectPanel, "EffectScrollBox", 0, 0, 380, 400);
    LoadScrollBox = AddGalleryBox(this, tabLoadPanel, "LoadScrollBox", 0, 0, 380, 400);

    // Option tab.
    const std::pair<TdvxCheckBox**, const char*> hides[] = {
        {&hideAll, "Hide All"},
        {&hideMute, "Hide Mute Button"},
        {&hideFullScreen, "Hide full screen button"},
        {&hideBN, "Hide back and next button"},
        {&hidePlaylist, "Hide playlist button"},
        {&hidePlaybar, "Hide playing procress bar"},
        {&hideVol, "Hide Volume adjustment bar"},
        {&hideTime, "Hide playing time"},
        {&hideSlide, "Hide slide bar"}};
    const char* names[] = {"hideAll", "hideMute", "hideFullScreen", "hideBN", "hidePlaylist",
                           "hidePlaybar", "hideVol", "hideTime", "hideSlide"};
    for (int i = 0; i < 9; ++i)
        *hides[i].first = AddBox<TdvxCheckBox>(this, tabOptionPanel, names[i], hides[i].second, i == 0 ? 20 : 40,
                                               20 + 32 * i, 260);

    BuildCreditTab(0, tabHeadPanel);
    BuildCreditTab(1, tabTailPanel);

    // The preview: the browser and, above it, the decoration's placement frame.
    webPanel = AddPanel(this, page, "webPanel", 420, 90, 360, 300);
    webPanel->SetColor(clBlack);
    webBrowser = new TCppWebBrowser(this);
    webBrowser->SetName("webBrowser");
    webBrowser->SetParent(webPanel);
    webBrowser->SetBounds(0, 0, 321, 249);
    webBrowser->SetProgramFolder(ProgramFolder());
    imgPanel = new TPanel(this);
    imgPanel->SetName("imgPanel");
    imgPanel->SetParent(webPanel);
    imgPanel->SetCaption("");
    imgPanel->SetBevelOuter(bvNone);
    imgPanel->SetBorderStyle(bsSingle);
    imgPanel->SetBounds(0, 0, 0, 0);
    imgPanel->SetVisible(false);
    Image = new TImage(this);
    Image->SetName("Image");
    Image->SetParent(imgPanel);
    Image->SetStretch(true);
    Image->SetBounds(0, 0, 100, 100);
    Dec_text = new TLabel(this);
    Dec_text->SetName("Dec_text");
    Dec_text->SetParent(imgPanel);
    Dec_text->SetAutoSize(true);
    Dec_text->SetTransparent(true);
    Dec_text->SetLeft(0);
    Dec_text->SetTop(0);

    backgroundLabel = AddLabel(this, page, "BackGround :", 420, 402);
    backgroundLabel->SetName("background");
    cmbBackground = new skinctrl::TdvxColorBox(this);
    cmbBackground->SetName("cmbBackground");
    cmbBackground->SetParent(page);
    cmbBackground->SetStyle(skinctrl::TColorBoxStyles{skinctrl::cbStandardColors, skinctrl::cbExtendedColors,
                                                      skinctrl::cbCustomColor, skinctrl::cbPrettyNames});
    cmbBackground->SetBounds(545, 400, 120, 22);

    BuildDecorateTab();
}

void TfrmCustom::BuildCreditTab(int credit, TdvxImagePanel* panel) {
    bool head = credit == 0;
    auto n = [head](const char* name) { return (std::string(head ? "head" : "tail") + name); };
    TdvxCheckBox* box = AddBox<TdvxCheckBox>(this, panel, n("AddCredit").c_str(), "Add Credits :", 10, 10, 200);
    AddLabel(this, panel, "Background Color :", 10, 44);
    auto* colour = new skinctrl::TdvxColorBox(this);
    colour->SetName(n("_bgcolor"));
    colour->SetParent(panel);
    colour->SetStyle(skinctrl::TColorBoxStyles{skinctrl::cbStandardColors, skinctrl::cbExtendedColors,
                                               skinctrl::cbCustomColor, skinctrl::cbPrettyNames});
    colour->SetBounds(130, 40, 150, 22);
    AddLabel(this, panel, "Duration :", 10, 78);
    TdvxSpinEdit* duration = AddSpin(this, panel, n("_duration").c_str(), 130, 74, 60, 1, 300);
    AddLabel(this, panel, "Sec( 1~300)", 196, 78);
    AddLabel(this, panel, "Image :", 10, 112);
    TdvxEdit* image = AddEdit(this, panel, n("_image").c_str(), 130, 108, 170);
    image->SetReadOnly(true);
    TdvxButton* open = AddTextButton(this, panel, n("imgOpen").c_str(), "Open", 306, 107, 60);
    AddLabel(this, panel, "Content :", 10, 146);
    auto* memo = new skinctrl::TdvxMemo(this);
    memo->SetName(n("Memo"));
    memo->SetParent(panel);
    memo->SetBounds(130, 142, 236, 120);
    memo->SetMaxLength(250);
    memo->Font()->SetColor(clWhite);
    memo->SetColor(clBlack);
    AddLabel(this, panel, "(Maximum number of characters :250)", 130, 266);
    TdvxButton* font = AddTextButton(this, panel, n("_font").c_str(), "Font ...", 130, 292, 80);
    if (head) {
        headAddCredit = box, head_bgcolor = colour, head_duration = duration, head_image = image;
        headimgOpen = open, headMemo = memo, head_font = font;
    } else {
        tailAddCredit = box, tail_bgcolor = colour, tail_duration = duration, tail_image = image;
        tailimgOpen = open, tailMemo = memo, tail_font = font;
    }
}

void TfrmCustom::BuildDecorateTab() {
    // The decoration's values sit under the preview, where the skin places them; the tab
    // holds its two dialogs.
    TdvxImagePanel* page = customize_BG3;
    addCredits = AddBox<TdvxCheckBox>(this, page, "addCredits", "Add Credits :", 20, 470, 160);
    text = AddBox<TdvxRadioButton>(this, page, "text", "Text:", 420, 430, 60);
    textValue = AddEdit(this, page, "textValue", 480, 428, 300);
    img = AddBox<TdvxRadioButton>(this, page, "img", "Image:", 420, 456, 60);
    imgValue = AddEdit(this, page, "imgValue", 480, 454, 300);
    imgValue->SetReadOnly(true);
    url = AddLabel(this, page, "URL :", 420, 484);
    url->SetName("url");
    urlValue = AddEdit(this, page, "urlValue", 480, 480, 300);
    urlValue->SetText("http://");
    AddLabel(this, tabDecoratePanel, "A text or a JPEG picture over the video, linked to a web address.", 20, 20);
    AddLabel(this, tabDecoratePanel, "Drag the frame over the preview to place it.", 20, 40);
    decoFont = AddTextButton(this, tabDecoratePanel, "decoFont", "Font ...", 20, 70, 80);
    decoOpen = AddTextButton(this, tabDecoratePanel, "decoOpen", "Open", 110, 70, 80);
}

void TfrmCustom::WireHandlers() {
    OnShow = [this](TObject* s) { FormShow(s); };
    btnBack->OnClick = [this](TObject* s) { btnBackClick(s); };
    btnNext->OnClick = [this](TObject* s) { btnNextClick(s); };
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    close->OnClick = [this](TObject* s) { closeClick(s); };

    comProfile->OnChange = [this](TObject* s) { comProfileChange(s); };
    for (TdvxComboBox* list : {cmbSampleRate, cmbAudioChannel, cmbAudioEncoder, cmbAudioBitrate, cmbVideoEncoder,
                               cmbVideoBitrate, cmbFrameRate})
        list->OnChange = [this](TObject* s) { CodecListChange(s); };
    width->OnChange = [this](TObject* s) { widthChange(s); };
    height->OnChange = [this](TObject* s) { heightChange(s); };
    for (TdvxSpinEdit* spin : {width, height})
        spin->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { RememberSize(); };
    cus_flv->OnClick = [this](TObject* s) { cus_flvClick(s); };
    cus_swf->OnClick = [this](TObject* s) { cus_swfClick(s); };
    cus_thumb->OnClick = [this](TObject* s) { cus_thumbClick(s); };

    const std::pair<skinctrl::TdvxImageButton*, int> tabs[] = {{btnPlayer, 0}, {btnEffect, 1}, {btnLoad, 2},
                                                               {btnDecorate, 3}, {btnHead, 4}, {btnTail, 5},
                                                               {btnOption, 6}};
    for (auto [button, index] : tabs) button->OnClick = [this, index = index](TObject*) { TabClick(index); };
    for (TdvxCheckBox* box : {skinHide, mouseHide, slideHide, autoPlay, hideMute, hideFullScreen, hideBN, hidePlaylist,
                              hidePlaybar, hideVol, hideTime, hideSlide})
        box->OnClick = [this, box](TObject*) { OptionBoxClick(box); };
    hideAll->OnClick = [this](TObject* s) {
        hideAllClick(s);
        OptionBoxClick(hideAll);
    };
    hideDealyValue->OnChange = [this](TObject* s) { hideDealyValueChange(s); };
    cmbBackground->OnChange = [this](TObject* s) { cmbBackgroundChange(s); };

    for (int credit = 0; credit < 2; ++credit) {
        bool head = credit == 0;
        (head ? headAddCredit : tailAddCredit)->OnClick = [this, credit](TObject*) { CreditBoxClick(credit); };
        (head ? head_bgcolor : tail_bgcolor)->OnChange = [this, credit](TObject*) { CreditColourChange(credit); };
        (head ? head_duration : tail_duration)->OnChange = [this, credit](TObject*) { CreditDurationChange(credit); };
        (head ? headimgOpen : tailimgOpen)->OnClick = [this, credit](TObject*) { CreditImageClick(credit); };
        (head ? headMemo : tailMemo)->OnChange = [this, credit](TObject*) { CreditMemoChange(credit); };
        (head ? head_font : tail_font)->OnClick = [this, credit](TObject*) { CreditFontClick(credit); };
    }
    // Typing: a key stops the timer, its release starts it again.
    for (TWinControl* typed : std::initializer_list<TWinControl*>{headMemo, tailMemo, hideDealyValue, head_duration,
                                                                  tail_duration}) {
        typed->OnKeyDown = [this](TObject*, WORD&, TShiftState) { StopRebuildTimer(); };
        typed->OnKeyUp = [this](TObject*, WORD&, TShiftState) { RestartRebuildTimer(); };
    }
    sysTimer->SetOnTimer([this](TObject* s) { sysTimerTimer(s); });
    customize_BG3->OnMouseMove = [this](TObject*, TShiftState, int, int) { customize_BG3MouseMove(); };

    addCredits->OnClick = [this](TObject* s) { addCreditsClick(s); };
    text->OnClick = [this](TObject* s) { textClick(s); };
    img->OnClick = [this](TObject* s) { imgClick(s); };
    textValue->OnChange = [this](TObject* s) { textValueChange(s); };
    urlValue->OnChange = [this](TObject* s) { urlValueChange(s); };
    decoFont->OnClick = [this](TObject* s) { decoFontClick(s); };
    decoOpen->OnClick = [this](TObject* s) { decoOpenClick(s); };
    for (TControl* frame : std::initializer_list<TControl*>{imgPanel, Image}) {
        frame->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
            if (button == mbLeft) FrameMouseDown(x, y);
        };
        frame->OnMouseMove = [this](TObject*, TShiftState, int x, int y) { FrameMouseMove(x, y); };
        frame->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { FrameMouseUp(); };
    }
    Dec_text->OnMouseDown = [this](TObject*, TMouseButton button, TShiftState, int x, int y) {
        if (button == mbLeft) TextMouseDown(x, y);
    };
    Dec_text->OnMouseMove = [this](TObject*, TShiftState, int x, int y) { TextMouseMove(x, y); };
    Dec_text->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { TextMouseUp(); };

    // Credit texts are measured as one line in the dialog font at 8 points.
    MeasureCreditText = [](const std::string& line) {
        if (line.empty()) return 0;
        TBitmap bitmap;
        bitmap.SetWidth(1);
        bitmap.SetHeight(1);
        bitmap.Canvas()->Font()->SetName("MS Sans Serif");
        bitmap.Canvas()->Font()->SetSize(8);
        return bitmap.Canvas()->TextWidth(line);
    };
}
