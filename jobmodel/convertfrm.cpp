#include "jobmodel/convertfrm.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "jobmodel/convertstate.h"
#include "libs/morvmessage/morvmessage.h"

namespace jobmodel {

void TfrmConvert::TProgressBar::SetMax(int value) {
    max_ = std::max(value, 0);
    position_ = std::min(position_, max_);
}

void TfrmConvert::TProgressBar::SetPosition(int value) { position_ = std::clamp(value, 0, max_); }

void TfrmConvert::UseControls(ProgressBarView& one, ProgressBarView& total, ResultListView& results,
                              std::function<bool()> previewChecked) {
    one_ = &one;
    total_ = &total;
    results_ = &results;
    previewChecked_ = std::move(previewChecked);
}

TfrmConvert::TfrmConvert() {
    handle_ = platform::AllocateHWnd(
        [this](platform::HWND h, platform::UINT m, platform::WPARAM w, platform::LPARAM l) { return WndProc(h, m, w, l); });
}

TfrmConvert::~TfrmConvert() {
    worker_.reset();
    // Progress records still queued are the window's to free.
    platform::MSG msg;
    while (platform::PeekMessage(&msg, handle_, WM_CONVERTER_PROGRESS, WM_CONVERTER_PROGRESS_ALT, platform::PM_REMOVE))
        ActiveConvertLibrary().freeProgressInfo(reinterpret_cast<ConvertProgressInfo*>(msg.wParam));
    platform::DeallocateHWnd(handle_);
}

void TfrmConvert::ApplyPreviewSetting() {
    const bool on = previewChecked_ ? previewChecked_() : Preview;
    ActiveConvertLibrary().setUsingPreview(on ? 1 : 0);
}

void TfrmConvert::FormShow() {
    ApplyPreviewSetting();
    worker_.reset();
    finished_ = false;
    reasons_.clear();
    ConvertRunSetup setup;
    setup.jobRows = JobList;
    setup.dvdRows = DvdList;
    setup.progressWindow = handle_;
    setup.programFolder = ProgramFolder;
    worker_ = std::make_unique<ConverThread>(std::move(setup));
}

void TfrmConvert::WaitForRun() { worker_.reset(); }

std::string TfrmConvert::ResultLine(const std::string& name, int result) {
    return name + " --> " + (result == 0 ? "Convert Successful!" : getErrorInfo(result, 0, 1));
}

platform::LRESULT TfrmConvert::WndProc(platform::HWND, platform::UINT message, platform::WPARAM wParam,
                                       platform::LPARAM lParam) {
    switch (message) {
        case WM_CONVERT_ITEM_BAR: OnItemBar(wParam, lParam); break;
        case WM_CONVERT_ITEM_DONE: OnItemResult(wParam, lParam); break;
        case WM_CONVERT_ALL_DONE: OnConvertFinished(); break;
        case WM_CONVERT_ITEM_REASON:
            reasons_[reinterpret_cast<const char*>(wParam)] = reinterpret_cast<const char*>(lParam);
            break;
        case WM_CONVERT_TREE_WRITE: (*reinterpret_cast<const std::function<void()>*>(lParam))(); break;
        case WM_CONVERTER_PROGRESS:
        case WM_CONVERTER_PROGRESS_ALT: OnConvertProgress(wParam); break;
        default: break;
    }
    return 0;
}

void TfrmConvert::OnItemBar(platform::WPARAM length, platform::LPARAM position) {
    one_->SetMax(static_cast<int>(length));
    one_->SetPosition(static_cast<int>(position));
}

void TfrmConvert::OnItemResult(platform::WPARAM result, platform::LPARAM name) {
    const char* text = reinterpret_cast<const char*>(name);
    LastResult = ResultLine(text ? std::string(text, strnlen(text, sizeof(MediaItem::name))) : std::string(),
                            static_cast<int>(static_cast<std::int32_t>(result)));
    if (auto reason = reasons_.find(text); reason != reasons_.end()) {
        LastResult += " (" + reason->second + ")";
        reasons_.erase(reason);
    }
    results_->Add(LastResult);
}

void TfrmConvert::OnConvertProgress(platform::WPARAM wParam) {
    auto* info = reinterpret_cast<ConvertProgressInfo*>(wParam);
    if (!info) return;
    const double seconds = info->convertedSeconds;
    ActiveConvertLibrary().freeProgressInfo(info);
    // Reports of five hours or more, and values that are no time at all, move nothing.
    constexpr double kLongestReport = 5 * 3600.0;
    if (!(seconds > -1.0 && seconds < kLongestReport)) return;
    const int s = static_cast<int>(std::trunc(seconds));
    one_->SetPosition(s);
    total_->SetPosition(s + TotalConvertedSeconds.load());
}

void TfrmConvert::OnConvertFinished() {
    finished_ = true;
    one_->SetPosition(one_->Max());
    total_->SetPosition(total_->Max());
    if (OnFinished) OnFinished();
}

}  // namespace jobmodel
