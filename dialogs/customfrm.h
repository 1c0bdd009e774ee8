#pragma once
// The customisation dialog (section "customize"): a three-page wizard over one job-list
// row's output profile, output kinds and player look, with the player it describes playing
// beside the options.
//
//   page 1  profile, audio and video codec lists, output size (customoutput.cpp)
//   page 2  output kinds: FLV (kept hidden), SWF and its type, HTML, thumbnail
//   page 3  player tabs (customtabs.cpp), galleries (customgallery.cpp), head and tail
//           credits (customcredits.cpp), decoration frame (customdecor.cpp) and the live
//           preview, rebuilt at once or through the debounce timer (custompreview.cpp)
//
// The row's record and the dialog's controls meet through one table (customoptions.cpp).
// The page-3 handlers write into the working record CurrentCustomSetting; OK stores the
// controls and the working record into the row. The main window fills the profile list
// and builds the galleries at its first showing.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "formbase/skinnedform.h"
#include "formbase/uikinds.h"
#include "jobmodel/customsetting.h"
#include "jobmodel/profileparams.h"
#include "platform/controls/dialogs.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/stdctrls.h"
#include "platform/controls/webbrowser.h"
#include "platform/core/timer.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxcolorbox.h"
#include "skinctrl/dvxedit.h"
#include "skinctrl/dvxmemo.h"

namespace jobmodel {
struct MediaItem;
}
using jobmodel::MediaItem;

// The dialog's pure rules, kept apart so that they are checked on their own.
namespace customrules {

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// The browser's place in the preview panel for an output of width x height: the output
// fitted inside the panel keeping its aspect ratio (never enlarged), centred, never below
// 1 x 1; a panel or an output without area gives a 1 x 1 browser.
Rect FitPreviewBrowser(int width, int height, int panelWidth, int panelHeight);

// The partner value of the proportional size rule: value x partner / base, in 64 bits,
// truncated toward zero and kept within 1 to 10000; false (nothing to set) when the
// remembered base or partner is 0.
bool ProportionalValue(int value, int base, int partner, int& result);

// Scales of an output of width x height shown in a browser of browserWidth x
// browserHeight; a browser without area counts as 1 x 1, so no scale is infinite.
struct Scales {
    double area, x, y;
};
Scales OutputScales(int width, int height, int browserWidth, int browserHeight);

// The link as it is stored: "" when the box holds exactly "http://"; else "http://" put
// in front of a non-empty link that does not begin with it (case-sensitive), and the
// result cut so that it fits a field of `fieldWidth` bytes with its terminator.
struct Link {
    std::string working;  // what the working record keeps
    std::string item;     // what the row stores
};
Link LinkRule(const std::string& boxText, const std::string& workingLink, std::size_t fieldWidth);

// Parses a profile option's value text without regard to the locale: a whole number
// (rates, channels) or a decimal one with "." (the frame rate). False when the text is not
// one.
bool ParseWholeNumber(const std::string& text, std::int32_t& value);
bool ParseDecimal(const std::string& text, double& value);

// The decoration frame's zone of a point in its own coordinates: 0 inner area, 1 top,
// 2 bottom, 3 left, 4 right, -1 outside; left, right, top, bottom are tested in that order.
int FrameZone(int x, int y, int width, int height);

// One resize step of the frame at an edge (1 top, 2 bottom, 3 left, 4 right) for the
// pointer at (x, y) in the frame's coordinates, within a browser of boundsWidth x
// boundsHeight (coordinates of the browser); the frame never grows past the browser.
Rect ResizeFrame(Rect frame, int edge, int x, int y, int boundsWidth, int boundsHeight);

// The frame moved by (dx, dy) and kept inside `bounds`, 5 pixels from an edge it crossed.
Rect MoveFrame(Rect frame, int dx, int dy, Rect bounds);

// The credit text's place: x centred on the output width from the measured one-line width
// at 8 points scaled to the font size and the output, y from the font size alone.
struct CreditPlace {
    int x, y;
};
CreditPlace PlaceCreditText(int measuredWidth, int fontSize, int outputWidth, int outputHeight, int browserWidth);

}  // namespace customrules

class TfrmCustom : public TSkinnedForm {
public:
    explicit TfrmCustom(platform::TComponent* owner);
    ~TfrmCustom() override;

    // ---- frame (customfrm.cpp) ----
    void SetCustomItem(MediaItem* item);
    MediaItem* CustomItem() const { return item_; }
    void FormShow(platform::TObject* sender);
    void ShowPage(int page);
    void btnNextClick(platform::TObject*) { ShowPage(CurrentPage + 1); }
    void btnBackClick(platform::TObject*) { ShowPage(CurrentPage - 1); }
    void btnOKClick(platform::TObject* sender);
    void closeClick(platform::TObject* sender);
    void FitPreviewBrowser();
    void RefreshPreview();
    // The size check at OK: false (message shown, page 1) below 340 x 255.
    bool CheckOutputSize();
    void ReloadSkin() override;

    // ---- pages 1 and 2 (customoutput.cpp) ----
    void FillProfileCombos(int profileIndex);
    void NoteProfileChange(bool fromCodecList);
    void comProfileChange(platform::TObject* sender);
    void CodecListChange(platform::TObject*) { NoteProfileChange(true); }
    void widthChange(platform::TObject* sender);
    void heightChange(platform::TObject* sender);
    void RememberSize();  // the mouse press on either spin: the pair proportional sizing scales from
    void cus_flvClick(platform::TObject* sender);
    void cus_swfClick(platform::TObject* sender);
    void cus_thumbClick(platform::TObject* sender);
    // The entry of the profile named so, -1 when none.
    int ProfileEntryOf(const std::string& profileName) const;
    int CustomEntry() const;  // the index of "Custom": the number of profiles

    // ---- option exchange (customoptions.cpp) ----
    static void CopyItemPlayerSettings(jobmodel::CustomSetting& working, const MediaItem& item);
    // A check box or spin of the table writes its field into the working record.
    void StoreControlInWorking(platform::TControl* control);
    void ShowCustomDialog(MediaItem& item);
    void StoreCustomDialog(int profileIndex, MediaItem& item);

    // ---- galleries (customgallery.cpp) ----
    enum TGalleryKind { gkPlayers = 0, gkEffects = 1, gkPreloaders = 2 };
    // Builds one gallery once: "None", one button per thumbnail of the folder (plain
    // "*.bmp" files, any letter case, sorted by name, the fixed pictures passed over, a
    // thumbnail that does not decode passed over), "More". A missing folder builds nothing.
    void BuildTemplateGallery(const std::string& folder, int kind);
    // The template names the gallery offers, in slot order.
    const std::vector<std::string>& GalleryTemplates(int kind) const { return galleries_.at(std::size_t(kind)); }
    platform::TScrollBox* GalleryBox(int kind) const;
    // A control of the gallery by name, without regard to letter case (null when none).
    platform::TControl* GalleryControl(int kind, const std::string& name) const;
    void btn_Click(platform::TObject* sender);
    void ChooseTemplate(const std::string& name, int kind);
    void MarkGallery(int kind);
    void MarkPlayerChoice() { MarkGallery(gkPlayers); }
    void MarkEffectChoice() { MarkGallery(gkEffects); }
    void MarkPreloaderChoice() { MarkGallery(gkPreloaders); }
    void HideGalleryBorders(int kind);
    // The frame of the gallery that shows, "" when none.
    std::string MarkedTemplate(int kind) const;

    // ---- player tabs (customtabs.cpp) ----
    void LayoutPlayerTabs();
    void ShowEmbeddedTab(int index);
    void ShowProgressiveTab(int index);
    void TabClick(int index);
    // The tab panel that shows (-1 none) and the buttons of the set in use.
    int ActiveTab() const { return activeTab_; }
    void OptionBoxClick(skinctrl::TdvxCheckBox* box);
    void hideAllClick(platform::TObject* sender);
    void hideDealyValueChange(platform::TObject* sender);
    void cmbBackgroundChange(platform::TObject* sender);

    // ---- credits (customcredits.cpp) ----
    struct CreditTab;
    void UpdateCreditControls(int credit);  // 0 head, 1 tail
    void CreditBoxClick(int credit);
    void CreditColourChange(int credit);
    void CreditDurationChange(int credit);
    void CreditImageClick(int credit);
    void CreditMemoChange(int credit);
    void CreditFontClick(int credit);
    void PlaceCreditText(int credit);
    // Measures a text as one line in the dialog font (replaced by tests).
    std::function<int(const std::string&)> MeasureCreditText;

    // ---- preview refresh (custompreview.cpp) ----
    void RestartRebuildTimer();
    void StopRebuildTimer();
    void sysTimerTimer(platform::TObject* sender);
    bool RebuildPending() const;
    // The pointer over the player page's background ends a sizing cursor of the frame.
    void customize_BG3MouseMove();
    int PreviewBuilds() const { return previewBuilds_; }

    // ---- decoration (customdecor.cpp) ----
    int UpdateDecorationControls();
    void LoadFontsAndFrame();
    void addCreditsClick(platform::TObject* sender);
    void textClick(platform::TObject* sender);
    void imgClick(platform::TObject* sender);
    void textValueChange(platform::TObject* sender);
    void urlValueChange(platform::TObject* sender);
    void UpdateDecorationText();
    void decoFontClick(platform::TObject* sender);
    void decoOpenClick(platform::TObject* sender);
    // Loads the picture into the frame; false (a message, nothing changed) when it does not decode.
    bool ShowDecorationImage(const std::string& path);
    void FrameMouseDown(int x, int y);  // frame coordinates
    void FrameMouseMove(int x, int y);
    void FrameMouseUp();
    void TextMouseDown(int x, int y);
    void TextMouseMove(int x, int y);
    void TextMouseUp();
    void MoveDecorationFrame(int pressX, int pressY, int x, int y);
    // The frame's rectangle relative to the browser.
    customrules::Rect FrameRect() const;
    void SetFrameRect(const customrules::Rect& rect);  // relative to the browser
    int ResizeEdge() const { return edge_; }

    // The dialog's state.
    int CurrentPage = 1;
    int PrevWidth = 0, PrevHeight = 0;
    int ProfileIndex = -1;
    bool SavedHtmlChoice = false;

    // ---- controls ----
    skinctrl::TdvxImagePanel *customize_BG1, *customize_BG2, *customize_BG3;
    skinctrl::TdvxImageButton *btnBack, *btnNext, *btnOK, *close;
    skinctrl::TdvxCheckBox* custom_default;
    // page 1
    TProfileCombo* comProfile;
    skinctrl::TdvxComboBox *cmbSampleRate, *cmbAudioChannel, *cmbAudioEncoder, *cmbAudioBitrate;
    skinctrl::TdvxComboBox *cmbVideoEncoder, *cmbVideoBitrate, *cmbFrameRate;
    skinctrl::TdvxSpinEdit *width, *height;
    skinctrl::TdvxCheckBox* proportional;
    // page 2
    skinctrl::TdvxCheckBox *cus_flv, *cus_swf, *cus_html, *cus_thumb;
    skinctrl::TdvxRadioButton *swfType_1, *swfType_2;
    // page 3: tabs
    skinctrl::TdvxImageButton *btnPlayer, *btnEffect, *btnLoad, *btnDecorate, *btnHead, *btnTail, *btnOption;
    skinctrl::TdvxImagePanel *tabPlayerPanel, *tabEffectPanel, *tabLoadPanel, *tabDecoratePanel, *tabHeadPanel,
        *tabTailPanel, *tabOptionPanel;
    platform::TScrollBox *PlayerScrollBox, *EffectScrollBox, *LoadScrollBox;
    skinctrl::TdvxCheckBox *skinHide, *mouseHide, *slideHide, *autoPlay;
    skinctrl::TdvxCheckBox *hideAll, *hideMute, *hideFullScreen, *hideBN, *hidePlaylist, *hidePlaybar, *hideVol,
        *hideTime, *hideSlide;
    skinctrl::TdvxSpinEdit* hideDealyValue;
    platform::TLabel* backgroundLabel;  // the skin item "background"
    skinctrl::TdvxColorBox* cmbBackground;
    // credits: index 0 head, 1 tail
    skinctrl::TdvxCheckBox *headAddCredit, *tailAddCredit;
    skinctrl::TdvxColorBox *head_bgcolor, *tail_bgcolor;
    skinctrl::TdvxSpinEdit *head_duration, *tail_duration;
    skinctrl::TdvxEdit *head_image, *tail_image;
    skinctrl::TdvxButton *headimgOpen, *tailimgOpen;
    skinctrl::TdvxMemo *headMemo, *tailMemo;
    skinctrl::TdvxButton *head_font, *tail_font;
    platform::TOpenDialog *headimgDialog, *tailimgDialog;
    platform::TFontDialog *headFontDialog, *tailFontDialog;
    // decoration
    skinctrl::TdvxCheckBox* addCredits;
    skinctrl::TdvxRadioButton *text, *img;
    skinctrl::TdvxEdit *textValue, *imgValue, *urlValue;
    platform::TLabel* url;
    skinctrl::TdvxButton *decoFont, *decoOpen;
    platform::TFontDialog* decoFontDialog;
    platform::TOpenDialog* decoOpenDialog;
    // preview
    skinctrl::TdvxImagePanel* webPanel;
    platform::TCppWebBrowser* webBrowser;
    platform::TPanel* imgPanel;
    platform::TImage* Image;
    platform::TLabel* Dec_text;
    platform::TTimer* sysTimer;

private:
    friend struct CustomOptionTable;
    void BuildPageOne();
    void BuildPageTwo();
    void BuildPageThree();
    void BuildCreditTab(int credit, skinctrl::TdvxImagePanel* panel);
    void BuildDecorateTab();
    void WireHandlers();
    void FollowPanels();  // after a layout: what sizes itself from the placed panels
    void Finish(platform::TModalResult result);
    jobmodel::CustomSetting& Working() const;
    bool IsSlideItem() const;
    // The profile a profile-list index stands for ("Custom" means the last one), -1 none.
    int ProfileOfIndex(int index) const;
    // The codec list that offers a profile parameter's options (null for none).
    skinctrl::TdvxComboBox* CodecListControl(jobmodel::CodecList list) const;
    void SetSpinQuietly(skinctrl::TdvxSpinEdit* spin, int value);
    std::vector<SkinEntry> TabSkinTable() const;
    void ShowTabPicture(skinctrl::TdvxImageButton* button, const char* item, bool active);
    void ShowTabSet(bool embedded, int index);
    void MakeGalleryButton(int kind, const std::string& name, const std::string& picture, int slot,
                           bool withFrame, const std::string& border);

    MediaItem* item_ = nullptr;
    bool showing_ = false;  // ShowCustomDialog sets the controls: no rebuilds meanwhile
    bool widthLinked_ = true, heightLinked_ = true;
    bool rechecking_ = false;  // an output-kind rule sets its own box again
    int activeTab_ = -1;
    int previewBuilds_ = 0;
    std::array<std::vector<std::string>, 3> galleries_;
    std::array<bool, 3> galleryBuilt_{};
    // decoration frame interaction
    bool frameDrag_ = false, textDrag_ = false, resizing_ = false;
    int edge_ = 0, pressX_ = 0, pressY_ = 0;
};

extern TfrmCustom* frmCustom;
