// The player page's tabs: the set offered for the player kind, switching between them,
// and the option boxes, hide delay and background colour of the Player and Option tabs.
#include "dialogs/customfrm.h"

using namespace platform;

namespace {

struct Tab {
    skinctrl::TdvxImageButton* TfrmCustom::*button;
    skinctrl::TdvxImagePanel* TfrmCustom::*panel;
    const char* embeddedItem;     // null: not offered with the video embedded
    const char* progressiveItem;  // null: not offered for the progressive player
};
const Tab kTabs[7] = {
    {&TfrmCustom::btnPlayer, &TfrmCustom::tabPlayerPanel, "btnPlayer", "btnPlayer"},
    {&TfrmCustom::btnEffect, &TfrmCustom::tabEffectPanel, "btnEffect", "btnEffect"},
    {&TfrmCustom::btnLoad, &TfrmCustom::tabLoadPanel, nullptr, "btnLoad"},
    {&TfrmCustom::btnDecorate, &TfrmCustom::tabDecoratePanel, "btnDecorate2", "btnDecorate"},
    {&TfrmCustom::btnHead, &TfrmCustom::tabHeadPanel, "btnHead", nullptr},
    {&TfrmCustom::btnTail, &TfrmCustom::tabTailPanel, "btnTail", nullptr},
    {&TfrmCustom::btnOption, &TfrmCustom::tabOptionPanel, "btnOption", "btnOption"},
};

}  // namespace

void TfrmCustom::ShowTabPicture(skinctrl::TdvxImageButton* button, const char* item, bool active) {
    skin.ShowButtonState(button, item, active ? ssMouseOn : ssNormal);
}

void TfrmCustom::LayoutPlayerTabs() {
    jobmodel::CustomSetting& working = Working();
    working.IsGeneralFlv = cus_flv->Checked() ? 1 : 0;
    working.IsGeneralSwf = cus_swf->Checked() ? 1 : 0;
    if (swfType_1->Checked())
        working.SwfType = 1;
    else if (swfType_2->Checked())
        working.SwfType = 2;
    working.IsGeneralHtml = cus_html->Checked() ? 1 : 0;
    working.IsGeneralThumbnail = cus_thumb->Checked() ? 1 : 0;

    bool embedded = swfType_1->Checked();
    if (!embedded && !swfType_2->Checked()) return;
    std::vector<SkinEntry> place = {{"btnPlayer", btnPlayer, TSkinUse::Tab},
                                    {"btnEffect", btnEffect, TSkinUse::Tab},
                                    {"btnOption", btnOption, TSkinUse::Tab}};
    if (embedded) {
        place.push_back({"btnDecorate2", btnDecorate, TSkinUse::Tab});
        place.push_back({"btnHead", btnHead, TSkinUse::Tab});
        place.push_back({"btnTail", btnTail, TSkinUse::Tab});
    } else {
        place.push_back({"btnLoad", btnLoad, TSkinUse::Tab});
        place.push_back({"btnDecorate", btnDecorate, TSkinUse::Tab});
    }
    skin.Layout(place);
    skin.LoadPictures(place);
    btnLoad->SetVisible(!embedded);
    tabLoadPanel->SetVisible(!embedded);
    for (TControl* control : std::initializer_list<TControl*>{btnHead, tabHeadPanel, btnTail, tabTailPanel})
        control->SetVisible(embedded);
    ShowTabSet(embedded, 0);
}

void TfrmCustom::ShowTabSet(bool embedded, int index) {
    if (index < 0 || index > 6) return;
    const char* Tab::*item = embedded ? &Tab::embeddedItem : &Tab::progressiveItem;
    if (!(kTabs[index].*item)) return;  // not a tab of this set
    for (int i = 0; i < 7; ++i) {
        const Tab& tab = kTabs[i];
        if (!(tab.*item)) continue;
        ShowTabPicture(this->*tab.button, tab.*item, i == index);
        (this->*tab.panel)->SetVisible(i == index);
    }
    // The decoration's values, which the skin places under the preview, belong to the
    // Decorate tab.
    for (TControl* control : std::initializer_list<TControl*>{addCredits, text, textValue, img, imgValue, url, urlValue})
        control->SetVisible(index == 3);
    activeTab_ = index;
}

void TfrmCustom::ShowEmbeddedTab(int index) { ShowTabSet(true, index); }
void TfrmCustom::ShowProgressiveTab(int index) { ShowTabSet(false, index); }

void TfrmCustom::TabClick(int index) {
    switch (index) {
    case 1: MarkEffectChoice(); break;
    case 2:
        MarkPreloaderChoice();
        ShowProgressiveTab(2);
        return;
    case 4:
    case 5: ShowEmbeddedTab(index); return;
    default: break;
    }
    if (swfType_1->Checked())
        ShowEmbeddedTab(index);
    else if (swfType_2->Checked())
        ShowProgressiveTab(index);
}

void TfrmCustom::OptionBoxClick(skinctrl::TdvxCheckBox* box) {
    // Every change of the box, by the mouse or the keyboard, reaches the working record
    // and the preview; the show routine's settings only the record.
    StoreControlInWorking(box);
    if (!showing_) RefreshPreview();
}

void TfrmCustom::hideAllClick(TObject*) {
    bool all = hideAll->Checked();
    for (skinctrl::TdvxCheckBox* box :
         {hideMute, hideFullScreen, hideBN, hidePlaylist, hidePlaybar, hideVol, hideTime, hideSlide})
        box->SetEnabled(!all);
}

void TfrmCustom::hideDealyValueChange(TObject*) {
    if (!showing_) RestartRebuildTimer();
    if (!hideDealyValue->Text().empty()) Working().hideDelay = hideDealyValue->GetValue();
}

void TfrmCustom::cmbBackgroundChange(TObject*) {
    TColor c = cmbBackground->GetSelected();
    if (c == skinctrl::kNoColorSelected) c = 0;
    Working().BackgrounColor = {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
    RefreshPreview();
}
