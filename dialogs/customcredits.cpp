// The head and tail credits of an embedded player: one set of rules for the two twin tabs.
#include <algorithm>
#include <cmath>
#include <limits>

#include "dialogs/customfrm.h"
#include "jobmodel/creditplace.h"
#include "jobmodel/mediaitem.h"
#include "platform/core/files.h"
#include "platform/core/sysutils.h"

using namespace platform;

namespace customrules {

CreditPlace PlaceCreditText(int measuredWidth, int fontSize, int outputWidth, int outputHeight, int browserWidth) {
    double scale = double(outputWidth) / std::max(1, browserWidth);
    auto toInt = [](double v) {
        v = std::trunc(v);
        return int(std::clamp(v, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
    };
    int s = toInt(fontSize * (measuredWidth * scale) * 0.125);
    int t = toInt(fontSize * scale);
    return {jobmodel::CreditTextOffset(jobmodel::kCreditHorizontal, s, outputWidth, outputHeight),
            jobmodel::CreditTextOffset(jobmodel::kCreditVertical, t, outputWidth, outputHeight)};
}

}  // namespace customrules

// One credit tab's controls and fields.
struct TfrmCustom::CreditTab {
    skinctrl::TdvxCheckBox* box;
    skinctrl::TdvxColorBox* colour;
    skinctrl::TdvxSpinEdit* duration;
    skinctrl::TdvxEdit* image;
    skinctrl::TdvxButton* open;
    skinctrl::TdvxMemo* memo;
    skinctrl::TdvxButton* font;
    TOpenDialog* imageDialog;
    TFontDialog* fontDialog;
    std::uint8_t* on;
    jobmodel::RGBColor* card;
    std::int32_t* seconds;
    char (*picture)[1024];
    char (*content)[1024];
    char (*face)[1024];
    std::int32_t* size;
    jobmodel::RGBColor* textColour;
    std::int32_t *x, *y;
};

namespace {

TfrmCustom::CreditTab TabOf(TfrmCustom& f, jobmodel::CustomSetting& w, int credit) {
    if (credit == 0)
        return {f.headAddCredit, f.head_bgcolor, f.head_duration, f.head_image, f.headimgOpen, f.headMemo, f.head_font,
                f.headimgDialog, f.headFontDialog, &w.IsCreditHead, &w.Head_backgroundColor, &w.Head_duration,
                &w.Head_imagePath, &w.Head_textContent, &w.Head_fontType, &w.Head_fontSize, &w.Head_fontColor,
                &w.Head_fontX, &w.Head_fontY};
    return {f.tailAddCredit, f.tail_bgcolor, f.tail_duration, f.tail_image, f.tailimgOpen, f.tailMemo, f.tail_font,
            f.tailimgDialog, f.tailFontDialog, &w.IsCreditTail, &w.Tail_backgroundColor, &w.Tail_duration,
            &w.Tail_imagePath, &w.Tail_textContent, &w.Tail_fontType, &w.Tail_fontSize, &w.Tail_fontColor,
            &w.Tail_fontX, &w.Tail_fontY};
}

jobmodel::RGBColor ToRGB(TColor c) { return {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF}; }

}  // namespace

void TfrmCustom::UpdateCreditControls(int credit) {
    CreditTab tab = TabOf(*this, Working(), credit);
    bool on = tab.box->Checked();
    for (TControl* control : std::initializer_list<TControl*>{tab.colour, tab.duration, tab.image, tab.open, tab.memo,
                                                              tab.font})
        control->SetEnabled(on);
}

void TfrmCustom::CreditBoxClick(int credit) {
    UpdateCreditControls(credit);
    CreditTab tab = TabOf(*this, Working(), credit);
    *tab.on = tab.box->Checked() ? 1 : 0;
    if (!showing_) RefreshPreview();
}

void TfrmCustom::CreditColourChange(int credit) {
    CreditTab tab = TabOf(*this, Working(), credit);
    TColor c = tab.colour->GetSelected();
    if (c == skinctrl::kNoColorSelected) c = 0;
    *tab.card = ToRGB(c);
    tab.memo->SetColor(c);  // the text is edited on the card's colour
    RefreshPreview();
}

void TfrmCustom::CreditDurationChange(int credit) {
    if (!showing_) RestartRebuildTimer();
    CreditTab tab = TabOf(*this, Working(), credit);
    if (!tab.duration->Text().empty()) *tab.seconds = tab.duration->GetValue();
}

void TfrmCustom::CreditImageClick(int credit) {
    CreditTab tab = TabOf(*this, Working(), credit);
    std::string folder = GetCurrentDir();
    if (tab.imageDialog->Execute()) {
        std::string path = Trim(tab.imageDialog->FileName());
        tab.image->SetText(path);
        jobmodel::CopyTextField(*tab.picture, path.c_str());
        RestartRebuildTimer();
    }
    SetCurrentDir(folder);
}

void TfrmCustom::CreditMemoChange(int credit) {
    if (!showing_) RestartRebuildTimer();
    CreditTab tab = TabOf(*this, Working(), credit);
    jobmodel::CopyTextField(*tab.content, tab.memo->Text().c_str());
    PlaceCreditText(credit);
}

void TfrmCustom::CreditFontClick(int credit) {
    CreditTab tab = TabOf(*this, Working(), credit);
    if (tab.fontDialog->Execute()) {
        TFont* font = tab.fontDialog->Font();
        *tab.textColour = ToRGB(font->Color());
        *tab.size = font->Size();
        jobmodel::CopyTextField(*tab.face, font->Name().c_str());
        PlaceCreditText(credit);
    }
    RefreshPreview();  // confirmed or not
}

void TfrmCustom::PlaceCreditText(int credit) {
    CreditTab tab = TabOf(*this, Working(), credit);
    int measured = MeasureCreditText ? MeasureCreditText(tab.memo->Text()) : 0;
    customrules::CreditPlace place = customrules::PlaceCreditText(
        measured, tab.fontDialog->Font()->Size(), width->GetValue(), height->GetValue(), webBrowser->Width());
    *tab.x = place.x;
    *tab.y = place.y;
}
