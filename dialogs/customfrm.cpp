// The customisation dialog's frame: opening for a row, the page machine, OK and close,
// and the preview browser's place and content.
#include "dialogs/customfrm.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "formbase/settings.h"
#include "jobmodel/customstore.h"
#include "jobmodel/mediaitem.h"
#include "jobmodel/playerbridge.h"
#include "jobmodel/profiles.h"
#include "platform/core/files.h"

using namespace platform;

namespace customrules {

Rect FitPreviewBrowser(int width, int height, int panelWidth, int panelHeight) {
    // Nothing to fit into, or nothing to fit: the smallest browser there is.
    if (panelWidth < 1 || panelHeight < 1 || width < 1 || height < 1) return {0, 0, 1, 1};
    double rx = double(width) / panelWidth, ry = double(height) / panelHeight;
    int w = width, h = height;
    if (width <= panelWidth && height > panelHeight) {
        h = panelHeight, w = int(width / ry);
    } else if (width > panelWidth && height <= panelHeight) {
        w = panelWidth, h = int(height / rx);
    } else if (width > panelWidth && height > panelHeight) {
        if (rx > ry)
            w = panelWidth, h = int(height / rx);
        else
            h = panelHeight, w = int(width / ry);
    }
    w = std::max(1, w), h = std::max(1, h);
    return {(panelWidth - w) / 2, (panelHeight - h) / 2, w, h};
}

Scales OutputScales(int width, int height, int browserWidth, int browserHeight) {
    double bw = std::max(1, browserWidth), bh = std::max(1, browserHeight);
    double area = double(width) * double(height) / (bw * bh);
    return {area, width / bw, height / bh};
}

}  // namespace customrules

jobmodel::CustomSetting& TfrmCustom::Working() const {
    // The working records exist once the profiles were read; without them the defaults serve.
    if (!jobmodel::CurrentCustomSetting) jobmodel::BuildDefaultSettings(-1);
    return *jobmodel::CurrentCustomSetting;
}

bool TfrmCustom::IsSlideItem() const { return item_ && item_->kind == jobmodel::mkSlide; }

void TfrmCustom::SetCustomItem(MediaItem* item) {
    item_ = item;
    if (item_ && item_->customSetting) CopyItemPlayerSettings(Working(), *item_);
}

void TfrmCustom::FormShow(TObject*) {
    if (!item_ || !item_->customSetting) return;
    jobmodel::CustomSetting& record = *item_->customSetting;
    // The lists are filled from the row's own profile, so that OK without a visit to page
    // 1 stores the profile the row had; a row set by hand shows "Custom".
    int own = ProfileEntryOf(jobmodel::FieldText(record.ProfileName));
    ProfileIndex = own >= 0 ? own : (record.IssettingCustom ? CustomEntry() : comProfile->ItemIndex());
    if (ProfileIndex >= 0) comProfile->SetItemIndex(ProfileIndex);
    CurrentPage = 1;
    ShowPage(1);
    FillProfileCombos(ProfileIndex);
    // A decoration picture that has gone is forgotten by the row and the working record.
    std::string picture = jobmodel::FieldText(record.Dec_imagePath);
    if (!FileExists(picture)) {
        for (jobmodel::CustomSetting* r : {&record, &Working()}) {
            std::fill(std::begin(r->Dec_imagePath), std::end(r->Dec_imagePath), '\0');
            r->Dec_img_X = r->Dec_img_Y = r->Dec_img_Width = r->Dec_img_Height = 0;
        }
    }
    ShowCustomDialog(*item_);
    if (record.IssettingCustom) comProfile->SetItemIndex(CustomEntry());
    MarkPlayerChoice();
    PrevWidth = width->GetValue();
    PrevHeight = height->GetValue();
    cus_flv->SetVisible(false);
}

void TfrmCustom::ShowPage(int page) {
    if (page < 1 || page > 3) return;
    CurrentPage = page;
    if (page == 3) FitPreviewBrowser();
    customize_BG1->SetVisible(page == 1);
    customize_BG2->SetVisible(page == 2);
    customize_BG3->SetVisible(page == 3);
    skin.SetButtonEnabled(btnBack, "btnBack", page != 1);
    skin.SetButtonEnabled(btnNext, "btnNext", page == 1 || (page == 2 && cus_swf->Checked()));
    if (page == 3) {
        LayoutPlayerTabs();
        RefreshPreview();
    }
}

bool TfrmCustom::CheckOutputSize() {
    if (width->GetValue() >= 340 && height->GetValue() >= 255) return true;
    Application->MessageBox("The minimum resolution is 340x255,and the maximum resolution is 1920x1280.",
                            "Information", MB_OK);
    ShowPage(1);
    return false;
}

void TfrmCustom::btnOKClick(TObject*) {
    if (!item_ || !item_->customSetting) return Finish(mrCancel);
    jobmodel::CustomSetting& working = Working();
    // The frame's rectangle, relative to the browser the scales are taken from.
    customrules::Rect frame = FrameRect();
    if (text->Checked()) {
        working.Dec_text_X = frame.left, working.Dec_text_Y = frame.top;
        working.Dec_text_Width = frame.width, working.Dec_text_Height = frame.height;
    }
    if (text->Checked() || img->Checked()) {
        working.Dec_X = frame.left, working.Dec_Y = frame.top;
        working.Dec_Width = frame.width, working.Dec_Height = frame.height;
    }
    if (!CheckOutputSize()) return;
    StopRebuildTimer();
    StoreCustomDialog(ProfileIndex, *item_);
    if (custom_default->Checked()) {
        const jobmodel::CustomSetting& stored = *item_->customSetting;
        // The codec values, the size and the profile they belong to become the defaults
        // together, so that the saved profile and its format always agree.
        std::copy(std::begin(stored.VideoEncoder), std::end(stored.VideoEncoder), working.VideoEncoder);
        std::copy(std::begin(stored.AudioEncoder), std::end(stored.AudioEncoder), working.AudioEncoder);
        std::copy(std::begin(stored.ProfileName), std::end(stored.ProfileName), working.ProfileName);
        std::copy(std::begin(stored.FormatName), std::end(stored.FormatName), working.FormatName);
        std::copy(std::begin(stored.FileExtension), std::end(stored.FileExtension), working.FileExtension);
        working.FormatNumber = stored.FormatNumber;
        working.IssettingCustom = stored.IssettingCustom;
        working.VideoBitRate = stored.VideoBitRate;
        working.FrameRate = stored.FrameRate;
        working.SimpleRate = stored.SimpleRate;
        working.AudioBitrate = stored.AudioBitrate;
        working.Channel = stored.Channel;
        working.Width = stored.Width;
        working.Height = stored.Height;
        // The record now holds the user's defaults: the next start reads all of it.
        working.IsCustom = 1;
        try {
            jobmodel::SaveCustomSetting();
        } catch (const std::exception& e) {
            // The row keeps what OK stored; the dialog stays open for another try.
            Application->MessageBox(std::string("The default settings were not saved: ") + e.what(), "Customize",
                                    MB_OK | MB_ICONERROR);
            return;
        }
    }
    Finish(mrOk);
}

void TfrmCustom::closeClick(TObject*) {
    StopRebuildTimer();
    if (previewBuilds_ > 0) webBrowser->Navigate(jobmodel::PreviewPlayerPath(ProgramFolder()));
    Finish(mrCancel);
}

void TfrmCustom::Finish(TModalResult result) {
    if (IsModal())
        SetModalResult(result);
    else
        Close();
}

void TfrmCustom::FitPreviewBrowser() {
    customrules::Rect r =
        customrules::FitPreviewBrowser(width->GetValue(), height->GetValue(), webPanel->Width(), webPanel->Height());
    customrules::Rect frame = FrameRect();  // the frame moves with the browser
    webBrowser->SetBounds(r.left, r.top, r.width, r.height);
    SetFrameRect(frame);
}

void TfrmCustom::RefreshPreview() {
    std::string folder = ProgramFolder();
    jobmodel::GeneratePreviewPlayer(Working(), folder, std::max(1, webBrowser->Width()),
                                    std::max(1, webBrowser->Height()));
    ++previewBuilds_;
    // A build that failed still shows whatever file is there; the file is this run's own.
    webBrowser->Navigate(jobmodel::PreviewPlayerPath(folder));
}
