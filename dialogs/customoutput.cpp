// Pages 1 and 2 of the customisation dialog: the profile and its seven codec lists, the
// proportional output size, and the rules that tie the output kinds together.
#include <algorithm>
#include <cstring>

#include "dialogs/customfrm.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/profiles.h"

using namespace platform;

namespace customrules {

bool ProportionalValue(int value, int base, int partner, int& result) {
    // A remembered 0 (typed, then remembered by a press) has no proportion to keep.
    if (base == 0 || partner == 0) return false;
    long long scaled = static_cast<long long>(value) * partner / base;
    result = static_cast<int>(std::clamp<long long>(scaled, 1, 10000));
    return true;
}

}  // namespace customrules

skinctrl::TdvxComboBox* TfrmCustom::CodecListControl(jobmodel::CodecList list) const {
    using jobmodel::CodecList;
    switch (list) {
    case CodecList::SampleRate: return cmbSampleRate;
    case CodecList::Channels: return cmbAudioChannel;
    case CodecList::AudioEncoder: return cmbAudioEncoder;
    case CodecList::AudioBitrate: return cmbAudioBitrate;
    case CodecList::VideoEncoder: return cmbVideoEncoder;
    case CodecList::VideoBitrate: return cmbVideoBitrate;
    case CodecList::FrameRate: return cmbFrameRate;
    case CodecList::None: break;
    }
    return nullptr;
}

int TfrmCustom::CustomEntry() const { return jobmodel::ProfileCatalogue.Count; }

int TfrmCustom::ProfileOfIndex(int index) const {
    const ProfileList& catalogue = jobmodel::ProfileCatalogue;
    if (index == CustomEntry()) index = catalogue.Count - 1;
    if (index < 0 || index >= catalogue.Count || !catalogue.Entries) return -1;
    return index;
}

int TfrmCustom::ProfileEntryOf(const std::string& profileName) const {
    if (profileName.empty()) return -1;
    int found = -1;
    for (int i = 0; i < jobmodel::ProfileCatalogue.Count; ++i)
        if (profileName == jobmodel::ProfileCatalogue.Entries[i].ProfileName) found = i;
    return found;
}

void TfrmCustom::FillProfileCombos(int profileIndex) {
    int p = ProfileOfIndex(profileIndex);
    if (p < 0) return;
    const ProfileEntry& entry = jobmodel::ProfileCatalogue.Entries[p];
    for (int i = 0; i < entry.ParamCount; ++i) {
        const ProfileParam& param = entry.Params[i];
        const jobmodel::ProfileParamRule* rule = jobmodel::FindProfileParamRule(param);
        skinctrl::TdvxComboBox* list = rule ? CodecListControl(rule->list) : nullptr;
        if (!list) continue;
        list->Items()->Clear();
        for (int o = 0; o < param.OptionCount; ++o)
            list->Items()->Add(param.Options[o].DisplayText ? param.Options[o].DisplayText : "");
        list->SetItemIndex(param.DefaultIndex);
    }
}

void TfrmCustom::NoteProfileChange(bool fromCodecList) {
    ProfileIndex = comProfile->ItemIndex();
    if (fromCodecList) {
        Working().IssettingCustom = 1;
        comProfile->SetItemIndex(CustomEntry());
    } else if (item_ && item_->customSetting) {
        item_->customSetting->IsCustom = 0;
    }
}

void TfrmCustom::comProfileChange(TObject*) {
    NoteProfileChange(false);
    FillProfileCombos(comProfile->ItemIndex());
}

void TfrmCustom::RememberSize() {
    PrevWidth = width->GetValue();
    PrevHeight = height->GetValue();
}

void TfrmCustom::widthChange(TObject*) {
    // The show routine sets both values as the row has them.
    if (!widthLinked_ || showing_ || !proportional->Checked()) return;
    heightLinked_ = false;
    int value = 0;
    if (width->Text().empty())
        height->SetText("1");
    else if (customrules::ProportionalValue(width->GetValue(), PrevWidth, PrevHeight, value))
        height->SetValue(value);
    heightLinked_ = true;
}

void TfrmCustom::heightChange(TObject*) {
    if (!heightLinked_ || showing_ || !proportional->Checked()) return;
    widthLinked_ = false;
    int value = 0;
    if (height->Text().empty())
        width->SetText("1");
    else if (customrules::ProportionalValue(height->GetValue(), PrevHeight, PrevWidth, value))
        width->SetValue(value);
    widthLinked_ = true;
}

// Setting a box again from its own rule raises the rule once more; that second run
// changes nothing.
void TfrmCustom::cus_flvClick(TObject*) {
    if (rechecking_) return;
    if (!cus_flv->Checked() && (!cus_swf->Checked() || IsSlideItem())) {
        // At least one video output stays, and slides need theirs.
        rechecking_ = true;
        cus_flv->SetChecked(true);
        rechecking_ = false;
        return;
    }
    if (!cus_flv->Checked()) {
        swfType_2->SetEnabled(false);
        swfType_1->SetChecked(true);
    } else {
        swfType_2->SetEnabled(true);
    }
}

void TfrmCustom::cus_swfClick(TObject*) {
    if (rechecking_) return;
    if (!cus_swf->Checked() && !cus_flv->Checked()) {
        rechecking_ = true;
        cus_swf->SetChecked(true);
        rechecking_ = false;
        return;
    }
    if (!cus_swf->Checked()) {
        SavedHtmlChoice = cus_html->Checked();
        swfType_1->SetEnabled(false);
        swfType_2->SetEnabled(false);
        cus_html->SetEnabled(false);
        cus_html->SetChecked(false);
    } else {
        swfType_1->SetEnabled(!IsSlideItem());
        swfType_2->SetEnabled(true);
        cus_html->SetEnabled(true);
        cus_html->SetChecked(SavedHtmlChoice);
    }
    // Next leads to the player page only while a player is made; page 1 always goes on.
    skin.SetButtonEnabled(btnNext, "btnNext", CurrentPage == 1 || (CurrentPage == 2 && cus_swf->Checked()));
}

void TfrmCustom::cus_thumbClick(TObject*) {
    if (rechecking_ || !IsSlideItem() || cus_thumb->Checked()) return;
    rechecking_ = true;
    cus_thumb->SetChecked(true);  // slides always make a thumbnail
    rechecking_ = false;
}
