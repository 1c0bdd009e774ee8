// The exchange between a row's option record and the customisation dialog: what the
// working record takes from the row at opening, what each control shows, and where OK
// takes each field from. One table says it for every field; the steps below only add what
// a table cannot say (the order in which rules fire, the profile, the scales, the link).
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "dialogs/customfrm.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/profiles.h"
#include "jobmodel/report.h"

using namespace platform;
using jobmodel::CustomSetting;
using jobmodel::CustomSettingField;
using jobmodel::FieldKind;

namespace customrules {

bool ParseWholeNumber(const std::string& text, std::int32_t& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first < last && (*first == ' ' || *first == '\t')) ++first;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t')) --last;
    if (first < last && *first == '+') ++first;
    auto [end, error] = std::from_chars(first, last, value);
    return first < last && error == std::errc() && end == last;
}

bool ParseDecimal(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first < last && (*first == ' ' || *first == '\t')) ++first;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t')) --last;
    if (first < last && *first == '+') ++first;
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::fixed);
    return first < last && error == std::errc() && end == last && std::isfinite(value);
}

Link LinkRule(const std::string& boxText, const std::string& workingLink, std::size_t fieldWidth) {
    static const std::string kPrefix = "http://";
    std::size_t room = fieldWidth > 0 ? fieldWidth - 1 : 0;
    if (boxText == kPrefix) return {workingLink.substr(0, room), ""};
    std::string link = workingLink;
    if (!link.empty() && link.compare(0, kPrefix.size(), kPrefix) != 0) link = kPrefix + link;
    // The prefix may push the end of the link past the field: the end is cut.
    if (link.size() > room) link.resize(room);
    return {link, link};
}

}  // namespace customrules

// How a field meets the dialog.
enum class Shown { None, Check, Spin, Edit, Memo, Colour };
enum class Stored { Control, Working, Special, Never };
// The step of the show that sets the field's control.
enum class Step { None, Default, Size, Outputs, Background, Player, Head, Tail, Decoration };

struct CustomOptionTable {
    using Getter = TControl* (*)(const TfrmCustom&);
    struct Row {
        const char* field;
        Shown shown;
        Getter control;
        Stored stored;
        bool copiedIn;
        Step step;
    };
    static const std::vector<Row>& Rows();
};

namespace {

const CustomSettingField& FieldNamed(const char* name) {
    for (const CustomSettingField& f : jobmodel::CustomSettingFields())
        if (std::strcmp(f.name, name) == 0) return f;
    throw std::logic_error(std::string("no option field named ") + name);
}

unsigned char* At(CustomSetting& r, const CustomSettingField& f) { return reinterpret_cast<unsigned char*>(&r) + f.offset; }
const unsigned char* At(const CustomSetting& r, const CustomSettingField& f) {
    return reinterpret_cast<const unsigned char*>(&r) + f.offset;
}

// A whole-number field (flag, int or colour packed as the colour boxes take it).
long long NumberOf(const CustomSetting& r, const CustomSettingField& f) {
    const unsigned char* p = At(r, f);
    switch (f.kind) {
    case FieldKind::ByteFlag: return *p;
    case FieldKind::Integer: {
        std::int32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    case FieldKind::Colour: {
        jobmodel::RGBColor c;
        std::memcpy(&c, p, sizeof c);
        return (c.r & 0xFF) | (c.g & 0xFF) << 8 | (c.b & 0xFF) << 16;
    }
    default: return 0;
    }
}

void SetNumber(CustomSetting& r, const CustomSettingField& f, long long value) {
    unsigned char* p = At(r, f);
    switch (f.kind) {
    case FieldKind::ByteFlag: *p = value != 0 ? 1 : 0; break;
    case FieldKind::Integer: {
        std::int32_t v = static_cast<std::int32_t>(value);
        std::memcpy(p, &v, sizeof v);
        break;
    }
    case FieldKind::Colour: {
        jobmodel::RGBColor c{int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF)};
        std::memcpy(p, &c, sizeof c);
        break;
    }
    default: break;
    }
}

std::string TextOf(const CustomSetting& r, const CustomSettingField& f) {
    return jobmodel::FieldText(reinterpret_cast<const char*>(At(r, f)), f.width);
}

// A field copied whole: a text cleared over its width first.
void CopyField(CustomSetting& to, const CustomSetting& from, const CustomSettingField& f) {
    if (f.kind == FieldKind::Text)
        jobmodel::CopyTextField(reinterpret_cast<char*>(At(to, f)), f.width, TextOf(from, f).c_str());
    else
        std::memcpy(At(to, f), At(from, f), f.width);
}

}  // namespace

#define CONTROL(name) [](const TfrmCustom& f) -> TControl* { return f.name; }
#define NONE nullptr

const std::vector<CustomOptionTable::Row>& CustomOptionTable::Rows() {
    static const std::vector<Row> rows = {
        {"IsCustom", Shown::Check, CONTROL(custom_default), Stored::Control, true, Step::Default},
        {"IssettingCustom", Shown::None, NONE, Stored::Working, true, Step::None},
        {"dscale", Shown::None, NONE, Stored::Special, true, Step::None},
        {"dscale_X", Shown::None, NONE, Stored::Special, true, Step::None},
        {"dscale_Y", Shown::None, NONE, Stored::Special, true, Step::None},
        {"ProfileName", Shown::None, NONE, Stored::Special, false, Step::None},
        {"FormatName", Shown::None, NONE, Stored::Special, false, Step::None},
        {"FileExtension", Shown::None, NONE, Stored::Special, false, Step::None},
        {"FormatNumber", Shown::None, NONE, Stored::Special, false, Step::None},
        {"SimpleRate", Shown::None, NONE, Stored::Special, false, Step::None},
        {"Channel", Shown::None, NONE, Stored::Special, false, Step::None},
        {"AudioBitrate", Shown::None, NONE, Stored::Special, false, Step::None},
        {"VideoBitRate", Shown::None, NONE, Stored::Special, false, Step::None},
        {"AudioEncoder", Shown::None, NONE, Stored::Special, false, Step::None},
        {"VideoEncoder", Shown::None, NONE, Stored::Special, false, Step::None},
        {"FrameRate", Shown::None, NONE, Stored::Special, false, Step::None},
        {"Width", Shown::Spin, CONTROL(width), Stored::Control, false, Step::Size},
        {"Height", Shown::Spin, CONTROL(height), Stored::Control, false, Step::Size},
        {"IsGeneralFlv", Shown::Check, CONTROL(cus_flv), Stored::Control, true, Step::Outputs},
        {"IsGeneralSwf", Shown::Check, CONTROL(cus_swf), Stored::Control, true, Step::Outputs},
        {"IsGeneralHtml", Shown::Check, CONTROL(cus_html), Stored::Control, true, Step::Outputs},
        {"IsGeneralThumbnail", Shown::Check, CONTROL(cus_thumb), Stored::Control, true, Step::Outputs},
        {"SwfType", Shown::None, NONE, Stored::Special, true, Step::None},
        {"BackgrounColor", Shown::Colour, CONTROL(cmbBackground), Stored::Working, true, Step::Background},
        {"PlayerSkinPath", Shown::None, NONE, Stored::Working, true, Step::None},
        {"EffectSkinPath", Shown::None, NONE, Stored::Working, true, Step::None},
        {"PreloaderSkinPath", Shown::None, NONE, Stored::Working, true, Step::None},
        {"IsSkinAutoHide", Shown::Check, CONTROL(skinHide), Stored::Control, true, Step::Player},
        {"IsMouseAutoHide", Shown::Check, CONTROL(mouseHide), Stored::Control, true, Step::Player},
        {"IsSliderAutoHide", Shown::Check, CONTROL(slideHide), Stored::Control, true, Step::Player},
        {"IsAutoPlay", Shown::Check, CONTROL(autoPlay), Stored::Control, true, Step::Player},
        {"hideDelay", Shown::Spin, CONTROL(hideDealyValue), Stored::Control, true, Step::Player},
        {"IsHideAll", Shown::Check, CONTROL(hideAll), Stored::Control, true, Step::Player},
        {"IsHideMuteBtn", Shown::Check, CONTROL(hideMute), Stored::Control, true, Step::Player},
        {"IsHideFullscreenBtn", Shown::Check, CONTROL(hideFullScreen), Stored::Control, true, Step::Player},
        {"IsHidePreNextBtn", Shown::Check, CONTROL(hideBN), Stored::Control, true, Step::Player},
        {"IsHidePlaylistBtn", Shown::Check, CONTROL(hidePlaylist), Stored::Control, true, Step::Player},
        {"IsHidePlayingprocessBar", Shown::Check, CONTROL(hidePlaybar), Stored::Control, true, Step::Player},
        {"IsHideVolumeBar", Shown::Check, CONTROL(hideVol), Stored::Control, true, Step::Player},
        {"IsHidePlayingTime", Shown::Check, CONTROL(hideTime), Stored::Control, true, Step::Player},
        {"IsHidePlayList", Shown::Check, CONTROL(hideSlide), Stored::Control, true, Step::Player},
        // The credits, in the order the show sets them: the box (whose rule enables the
        // rest), card colour, duration, picture, text; the font lives in the working record.
        {"IsCreditHead", Shown::Check, CONTROL(headAddCredit), Stored::Control, true, Step::Head},
        {"Head_backgroundColor", Shown::Colour, CONTROL(head_bgcolor), Stored::Working, true, Step::Head},
        {"Head_duration", Shown::Spin, CONTROL(head_duration), Stored::Control, true, Step::Head},
        {"Head_imagePath", Shown::Edit, CONTROL(head_image), Stored::Working, true, Step::Head},
        {"Head_textContent", Shown::Memo, CONTROL(headMemo), Stored::Working, true, Step::Head},
        {"Head_fontType", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Head_fontSize", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Head_fontColor", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Head_fontX", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Head_fontY", Shown::None, NONE, Stored::Working, true, Step::None},
        {"IsCreditTail", Shown::Check, CONTROL(tailAddCredit), Stored::Control, true, Step::Tail},
        {"Tail_backgroundColor", Shown::Colour, CONTROL(tail_bgcolor), Stored::Working, true, Step::Tail},
        {"Tail_duration", Shown::Spin, CONTROL(tail_duration), Stored::Control, true, Step::Tail},
        {"Tail_imagePath", Shown::Edit, CONTROL(tail_image), Stored::Working, true, Step::Tail},
        {"Tail_textContent", Shown::Memo, CONTROL(tailMemo), Stored::Working, true, Step::Tail},
        {"Tail_fontType", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Tail_fontSize", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Tail_fontColor", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Tail_fontX", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Tail_fontY", Shown::None, NONE, Stored::Working, true, Step::None},
        {"IsDecorate", Shown::Check, CONTROL(addCredits), Stored::Control, true, Step::Decoration},
        {"Dec_textContent", Shown::Edit, CONTROL(textValue), Stored::Working, true, Step::Decoration},
        {"Dec_imagePath", Shown::Edit, CONTROL(imgValue), Stored::Working, true, Step::Decoration},
        {"Dec_URL", Shown::Edit, CONTROL(urlValue), Stored::Special, true, Step::Decoration},
        {"FileType", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_fontType", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_fontSize", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_fontColor", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_X", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_Y", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_Width", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_Height", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_text_X", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_text_Y", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_text_Width", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_text_Height", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_img_X", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_img_Y", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_img_Width", Shown::None, NONE, Stored::Working, true, Step::None},
        {"Dec_img_Height", Shown::None, NONE, Stored::Working, true, Step::None},
    };
    return rows;
}

#undef CONTROL
#undef NONE

namespace {

using Row = CustomOptionTable::Row;

void ShowRow(const TfrmCustom& form, const Row& row, const CustomSetting& record) {
    const CustomSettingField& f = FieldNamed(row.field);
    TControl* control = row.control ? row.control(form) : nullptr;
    if (!control) return;
    switch (row.shown) {
    case Shown::Check: static_cast<skinctrl::TdvxCheckBox*>(control)->SetChecked(NumberOf(record, f) != 0); break;
    case Shown::Spin: static_cast<skinctrl::TdvxSpinEdit*>(control)->SetValue(int(NumberOf(record, f))); break;
    case Shown::Edit: static_cast<skinctrl::TdvxEdit*>(control)->SetText(TextOf(record, f)); break;
    case Shown::Memo: static_cast<skinctrl::TdvxMemo*>(control)->SetText(TextOf(record, f)); break;
    case Shown::Colour:
        static_cast<skinctrl::TdvxColorBox*>(control)->SetSelected(TColor(NumberOf(record, f)));
        break;
    case Shown::None: break;
    }
}

void ShowStep(const TfrmCustom& form, Step step, const CustomSetting& record) {
    for (const Row& row : CustomOptionTable::Rows())
        if (row.step == step) ShowRow(form, row, record);
}

// One profile option against the record's value of its parameter.
bool OptionMatches(const jobmodel::ProfileParamRule& rule, const ProfileOption& option, const CustomSetting& r) {
    std::string value = option.Value;
    std::int32_t whole = 0;
    double rate = 0;
    switch (rule.value) {
    case jobmodel::ProfileValue::Whole: return customrules::ParseWholeNumber(value, whole) && whole == r.*rule.whole;
    case jobmodel::ProfileValue::Text: return value == jobmodel::FieldText(r.*rule.text);
    case jobmodel::ProfileValue::Decimal:
        return customrules::ParseDecimal(value, rate) && std::trunc(rate) == std::trunc(double(r.*rule.decimal));
    case jobmodel::ProfileValue::FrameSize: break;
    }
    return false;
}

void ReportBadOption(const ProfileEntry& entry, const ProfileParam& param, const char* value) {
    jobmodel::ReportJobModelProblem(std::string("Output profile \"") + entry.ProfileName + "\", parameter \"" +
                                    param.Name + "\": \"" + (value ? value : "") +
                                    "\" is not a number of its kind; the value is kept.");
}

}  // namespace

// Exposed for the tests: every field the table names, in its order.
std::vector<std::string> CustomOptionFieldNames() {
    std::vector<std::string> names;
    for (const Row& row : CustomOptionTable::Rows()) names.push_back(FieldNamed(row.field).name);
    return names;
}

void TfrmCustom::StoreControlInWorking(TControl* control) {
    for (const Row& row : CustomOptionTable::Rows()) {
        if (!row.control || row.control(*this) != control) continue;
        const CustomSettingField& f = FieldNamed(row.field);
        if (row.shown == Shown::Check)
            SetNumber(Working(), f, static_cast<skinctrl::TdvxCheckBox*>(control)->Checked() ? 1 : 0);
        else if (row.shown == Shown::Spin)
            SetNumber(Working(), f, static_cast<skinctrl::TdvxSpinEdit*>(control)->GetValue());
        return;
    }
}

void TfrmCustom::CopyItemPlayerSettings(CustomSetting& working, const MediaItem& item) {
    if (!item.customSetting) return;
    for (const Row& row : CustomOptionTable::Rows())
        if (row.copiedIn) CopyField(working, *item.customSetting, FieldNamed(row.field));
}

void TfrmCustom::ShowCustomDialog(MediaItem& item) {
    if (!item.customSetting) return;
    CustomSetting& r = *item.customSetting;
    CustomSetting& working = Working();
    showing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{showing_};

    ShowStep(*this, Step::Default, r);
    // The codec lists select the first option of the row's profile that matches its values.
    const ProfileList& catalogue = jobmodel::ProfileCatalogue;
    std::string profileName = jobmodel::FieldText(r.ProfileName);
    for (int p = 0; p < catalogue.Count; ++p) {
        const ProfileEntry& entry = catalogue.Entries[p];
        if (profileName != entry.ProfileName) continue;
        comProfile->SetItemIndex(p);
        for (int i = 0; i < entry.ParamCount; ++i) {
            const ProfileParam& param = entry.Params[i];
            const jobmodel::ProfileParamRule* rule = jobmodel::FindProfileParamRule(param);
            skinctrl::TdvxComboBox* list = rule ? CodecListControl(rule->list) : nullptr;
            if (!list) continue;
            for (int o = 0; o < param.OptionCount; ++o) {
                if (OptionMatches(*rule, param.Options[o], r)) {
                    list->SetItemIndex(o);
                    break;
                }
            }
        }
    }
    if (r.IsCustom) comProfile->SetItemIndex(CustomEntry());
    ShowStep(*this, Step::Size, r);
    ShowStep(*this, Step::Outputs, r);
    if (r.SwfType == 1) swfType_1->SetChecked(true);
    if (r.SwfType == 2) swfType_2->SetChecked(true);
    if (IsSlideItem()) {
        swfType_1->SetChecked(false);
        swfType_1->SetEnabled(false);
        swfType_2->SetChecked(true);
        r.SwfType = 2;
    } else {
        swfType_1->SetEnabled(true);
    }
    ShowStep(*this, Step::Background, r);
    ShowStep(*this, Step::Player, r);

    // The credits: the box and its enabling first, then the values; the font goes into the
    // working record and the font dialog.
    auto credit = [&](Step step, TFontDialog* dialog, auto& face, auto& size, auto& colour, auto& x, auto& y,
                      const auto& fromFace, int fromSize, jobmodel::RGBColor fromColour, int fromX, int fromY) {
        ShowStep(*this, step, r);
        UpdateCreditControls(step == Step::Head ? 0 : 1);
        jobmodel::CopyTextField(face, jobmodel::FieldText(fromFace).c_str());
        size = fromSize, colour = fromColour, x = fromX, y = fromY;
        dialog->Font()->SetSize(fromSize);
        dialog->Font()->SetColor(TColor(fromColour.r | fromColour.g << 8 | fromColour.b << 16));
        dialog->Font()->SetName(jobmodel::FieldText(fromFace));
    };
    credit(Step::Head, headFontDialog, working.Head_fontType, working.Head_fontSize, working.Head_fontColor,
           working.Head_fontX, working.Head_fontY, r.Head_fontType, r.Head_fontSize, r.Head_fontColor, r.Head_fontX,
           r.Head_fontY);
    credit(Step::Tail, tailFontDialog, working.Tail_fontType, working.Tail_fontSize, working.Tail_fontColor,
           working.Tail_fontX, working.Tail_fontY, r.Tail_fontType, r.Tail_fontSize, r.Tail_fontColor, r.Tail_fontX,
           r.Tail_fontY);

    // The decoration: the box and its enabling, the three texts, then the frame.
    addCredits->SetChecked(r.IsDecorate != 0);
    UpdateDecorationControls();
    ShowStep(*this, Step::Decoration, r);
    imgPanel->SetVisible(r.IsDecorate != 0);
    if (imgPanel->Visible() && !imgValue->Text().empty()) ShowDecorationImage(imgValue->Text());
    if (r.FileType == 2) {
        text->SetChecked(true);
        SetFrameRect({r.Dec_text_X, r.Dec_text_Y, r.Dec_text_Width, r.Dec_text_Height});
    } else if (r.FileType == 1) {
        img->SetChecked(true);
        SetFrameRect({r.Dec_img_X, r.Dec_img_Y, r.Dec_img_Width, r.Dec_img_Height});
    } else {
        text->SetChecked(false);
        img->SetChecked(false);
    }
    jobmodel::CopyTextField(working.Dec_fontType, jobmodel::FieldText(r.Dec_fontType).c_str());
    working.Dec_fontSize = r.Dec_fontSize;
    working.Dec_fontColor = r.Dec_fontColor;
    decoFontDialog->Font()->SetSize(r.Dec_fontSize);
    decoFontDialog->Font()->SetColor(TColor(r.Dec_fontColor.r | r.Dec_fontColor.g << 8 | r.Dec_fontColor.b << 16));
    decoFontDialog->Font()->SetName(jobmodel::FieldText(r.Dec_fontType));
    Dec_text->Font()->Assign(decoFontDialog->Font());
}

void TfrmCustom::StoreCustomDialog(int profileIndex, MediaItem& item) {
    if (!item.customSetting) return;
    CustomSetting& r = *item.customSetting;
    CustomSetting& working = Working();
    int p = ProfileOfIndex(profileIndex);

    r.IsCustom = custom_default->Checked() ? 1 : 0;
    r.IssettingCustom = working.IssettingCustom;
    if (p >= 0) {
        const ProfileEntry& entry = jobmodel::ProfileCatalogue.Entries[p];
        for (int i = 0; i < entry.ParamCount; ++i) {
            const ProfileParam& param = entry.Params[i];
            const jobmodel::ProfileParamRule* rule = jobmodel::FindProfileParamRule(param);
            skinctrl::TdvxComboBox* list = rule ? CodecListControl(rule->list) : nullptr;
            if (!list || param.Kind != jobmodel::ProfileKindOf(rule->value)) continue;
            int index = list->ItemIndex();
            if (index < 0 || index >= param.OptionCount) continue;
            const char* value = param.Options[index].Value;
            std::int32_t whole = 0;
            double decimal = 0;
            if (rule->value == jobmodel::ProfileValue::Whole) {
                if (!customrules::ParseWholeNumber(value, whole)) {
                    ReportBadOption(entry, param, value);
                    continue;
                }
                r.*rule->whole = whole;
            } else if (rule->value == jobmodel::ProfileValue::Text) {
                jobmodel::CopyTextField(r.*rule->text, value);
            } else if (!customrules::ParseDecimal(value, decimal)) {
                ReportBadOption(entry, param, value);
            } else {
                r.*rule->decimal = static_cast<float>(decimal);
            }
        }
        jobmodel::CopyTextField(r.ProfileName, entry.ProfileName);
        jobmodel::CopyTextField(r.FormatName, entry.FormatName);
        jobmodel::CopyTextField(r.FileExtension, entry.FileExtension);
        r.FormatNumber = entry.FormatNumber;
    }
    r.Width = width->GetValue();
    r.Height = height->GetValue();
    customrules::Scales scales =
        customrules::OutputScales(r.Width, r.Height, webBrowser->Width(), webBrowser->Height());
    working.dscale = r.dscale = scales.area;
    working.dscale_X = r.dscale_X = scales.x;
    working.dscale_Y = r.dscale_Y = scales.y;
    if (swfType_1->Checked())
        r.SwfType = 1;
    else if (swfType_2->Checked())
        r.SwfType = 2;

    for (const Row& row : CustomOptionTable::Rows()) {
        const CustomSettingField& f = FieldNamed(row.field);
        if (row.stored == Stored::Working) {
            CopyField(r, working, f);
        } else if (row.stored == Stored::Control && row.field != std::string("IsCustom") &&
                   row.shown == Shown::Check) {
            SetNumber(r, f, static_cast<skinctrl::TdvxCheckBox*>(row.control(*this))->Checked() ? 1 : 0);
        } else if (row.stored == Stored::Control && row.shown == Shown::Spin) {
            SetNumber(r, f, static_cast<skinctrl::TdvxSpinEdit*>(row.control(*this))->GetValue());
        }
    }

    customrules::Link link =
        customrules::LinkRule(urlValue->Text(), jobmodel::FieldText(working.Dec_URL), sizeof working.Dec_URL);
    jobmodel::CopyTextField(working.Dec_URL, link.working.c_str());
    jobmodel::CopyTextField(r.Dec_URL, link.item.c_str());
}
