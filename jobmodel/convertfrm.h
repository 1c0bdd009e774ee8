#pragma once
// The progress window's side of a conversion run: it starts the worker when shown,
// keeps the two bars (the current item and the whole run, both in seconds) and one
// result line per finished item, and closes on the worker's end-of-run message. Its
// window and controls are laid out by the window layer; this part owns the run.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jobmodel/converthread.h"
#include "platform/core/messages.h"

namespace jobmodel {

class TfrmConvert {
public:
    // A bar with a minimum of 0; the position stays within 0..Max.
    struct TProgressBar {
        int Max = 0;
        int Position = 0;
        void SetMax(int value);
        void SetPosition(int value);
    };

    TfrmConvert();
    ~TfrmConvert();
    TfrmConvert(const TfrmConvert&) = delete;
    TfrmConvert& operator=(const TfrmConvert&) = delete;

    // The message target the worker and the converter post to (owned by the thread that
    // made the window).
    platform::HWND Handle() const { return handle_; }

    // What the next run reads; the Convert command fills it before showing the window.
    treeview::TBaseVastTree* JobTree = nullptr;
    treeview::TBaseVastTree* DvdTree = nullptr;
    std::string ProgramFolder;

    // "Show Preview": whether the converter draws its preview while it converts.
    bool Preview = true;
    void PreviewClick() { ApplyPreviewSetting(); }

    TProgressBar OneProgress;
    TProgressBar TotalProgress;
    std::vector<std::string> ShowResult;
    std::string LastResult;

    // Called when the window closes at the end of a run (the modal loop ends there).
    std::function<void()> OnClose;
    // Called with the completion message when a run ended without cancel.
    std::function<void(const std::string&)> OnMessage;

    // Starts a run: tells the converter whether to draw its preview, destroys the previous
    // worker (waiting for it if it still runs) and starts a new one.
    void FormShow();
    // Waits until the worker thread of the last run has ended.
    void WaitForRun();
    // Whether the last run's end message has arrived.
    bool Finished() const { return finished_; }

    // "name --> " followed by "Convert Successful!" or the text of the result code.
    static std::string ResultLine(const std::string& name, int result);

    platform::LRESULT WndProc(platform::HWND hwnd, platform::UINT message, platform::WPARAM wParam,
                              platform::LPARAM lParam);

private:
    void ApplyPreviewSetting();
    void OnItemBar(platform::WPARAM length, platform::LPARAM position);
    void OnItemResult(platform::WPARAM result, platform::LPARAM name);
    // The converter's words on a failed item, by the item's name text, until its line.
    std::map<const char*, std::string> reasons_;
    void OnConvertProgress(platform::WPARAM info);
    void OnConvertFinished();

    platform::HWND handle_ = nullptr;
    std::unique_ptr<ConverThread> worker_;
    bool finished_ = false;
};

}  // namespace jobmodel
