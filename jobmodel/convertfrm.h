#pragma once
// The progress window's side of a conversion run: it starts the worker when shown,
// moves the two bars (the current item and the whole run, both in seconds), adds one
// result line per finished item and hands the worker's end-of-run message to the window.
// The window (app/convertwin.h) lays out the controls and hands them over; this part owns
// the run.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "jobmodel/converthread.h"
#include "platform/core/messages.h"

namespace jobmodel {

// A bar of the progress window, counted in seconds, minimum 0. The window's skinned bars
// stand behind it; without a window the run keeps the two numbers itself.
class ProgressBarView {
public:
    virtual ~ProgressBarView() = default;
    virtual int Max() const = 0;
    virtual int Position() const = 0;
    // Below 0 counts as 0; the position is pulled back within the new maximum.
    virtual void SetMax(int value) = 0;
    // Kept within 0..Max.
    virtual void SetPosition(int value) = 0;
};

// The result lines of the progress window, one per finished item.
class ResultListView {
public:
    virtual ~ResultListView() = default;
    virtual void Add(const std::string& line) = 0;
    virtual void Clear() = 0;
    virtual std::vector<std::string> Lines() const = 0;
};

class TfrmConvert {
public:
    class TProgressBar : public ProgressBarView {
    public:
        int Max() const override { return max_; }
        int Position() const override { return position_; }
        void SetMax(int value) override;
        void SetPosition(int value) override;

    private:
        int max_ = 0, position_ = 0;
    };
    class TResultList : public ResultListView {
    public:
        void Add(const std::string& line) override { lines_.push_back(line); }
        void Clear() override { lines_.clear(); }
        std::vector<std::string> Lines() const override { return lines_; }

    private:
        std::vector<std::string> lines_;
    };

    TfrmConvert();
    ~TfrmConvert();
    TfrmConvert(const TfrmConvert&) = delete;
    TfrmConvert& operator=(const TfrmConvert&) = delete;

    // The message target the worker and the converter post to (owned by the thread that
    // made the window).
    platform::HWND Handle() const { return handle_; }

    // What the next run reads; the Convert command fills it before showing the window.
    JobRows* JobList = nullptr;
    JobRows* DvdList = nullptr;
    std::string ProgramFolder;

    // "Show Preview": whether the converter draws its preview while it converts. The
    // window's check box answers once the window hands over its controls.
    bool Preview = true;
    void PreviewClick() { ApplyPreviewSetting(); }

    // The current item's bar, the whole run's bar and the result lines.
    ProgressBarView& OneProgress() const { return *one_; }
    ProgressBarView& TotalProgress() const { return *total_; }
    ResultListView& ShowResult() const { return *results_; }
    std::string LastResult;

    // The window's own controls take the place of the plain ones; they must outlive the
    // run side's use of them.
    void UseControls(ProgressBarView& one, ProgressBarView& total, ResultListView& results,
                     std::function<bool()> previewChecked);

    // The window's end of a run, called once the end message has filled both bars. Without
    // it the run only counts as finished.
    std::function<void()> OnFinished;

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
    TProgressBar plainOne_, plainTotal_;
    TResultList plainResults_;
    ProgressBarView* one_ = &plainOne_;
    ProgressBarView* total_ = &plainTotal_;
    ResultListView* results_ = &plainResults_;
    std::function<bool()> previewChecked_;
    bool finished_ = false;
};

}  // namespace jobmodel
