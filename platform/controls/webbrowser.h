#pragma once
// TCppWebBrowser: the area where the program shows a page, in practice the player
// preview. A ".swf" path is shown in the program's own preview page (the movie fitted to
// the view, playing at once, nothing over it) by the program folder's copy of the Flash
// player (ruffle/). The helper program lumacast-webview (WebKitGTK) shows the page and
// answers the page's requests itself, under an address scheme of its own, from the program
// folder's temp/ and ruffle/ only (TPreviewFiles; no socket listens anywhere); it is
// embedded into a native area of the display that follows this control. The helper starts on the first Navigate, is told what to show over its
// stdin and answers on its stdout; it ends with the control, and a helper that died is
// started again by the next Navigate.
//
// Without a display of its own (headless) the control paints a placeholder and records
// every page it was asked to show with its size and visibility. When the preview cannot
// be shown (no helper, no player copy, a page outside the program folder, a helper that
// died) it says so in its area; nothing else is affected.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/controls.h"

namespace platform {

class TTimer;

class TCppWebBrowser : public TCustomControl {
public:
    explicit TCppWebBrowser(TComponent* owner);
    ~TCppWebBrowser() override;
    void Dispatch(TMessage& message) override;

    // Shows the file at path (below the program folder's temp/ or ruffle/).
    void Navigate(const std::string& path);

    // What Navigate was asked, with the view's size and visibility at that moment.
    struct TNavigation {
        std::string path;
        int width = 0, height = 0;
        bool visible = false;
    };
    const std::vector<TNavigation>& Navigations() const { return navigations_; }
    const std::string& LocationPath() const { return location_; }

    enum class TState {
        Idle,         // nothing asked yet
        Placeholder,  // no display area of its own (headless): nothing is played
        Loading,      // the helper was told to show the page
        Loaded,       // the page is loaded
        Playing,      // the preview page's player runs the movie
        Unavailable,  // the preview cannot be shown (see Unavailability)
    };
    // Reads what the helper said so far, then answers.
    TState State();
    const std::string& Unavailability() const { return unavailable_; }
    // The last script error the page reported ("" when none).
    const std::string& PageError() const { return pageError_; }
    // The helper's process id (0 when none runs) and the display area's id (0 when none).
    pid_t HelperPid() const { return helperPid_; }
    std::uint64_t AreaId() const { return area_; }

    // The folder whose temp/ and ruffle/ the view may show (the program folder unless set) and
    // the helper program (lumacast-webview beside the program unless set).
    std::string ProgramFolder() const;
    void SetProgramFolder(const std::string& folder);
    std::string HelperProgram() const;
    void SetHelperProgram(const std::string& program) { helperProgram_ = program; }
    // A movie following another in the preview page replaces only the movie (true, the
    // default) or reloads the whole page.
    bool KeepPageLoaded() const { return keepPageLoaded_; }
    void SetKeepPageLoaded(bool value) { keepPageLoaded_ = value; }

protected:
    void Paint() override;
    void DestroyWnd() override;

private:
    void Fail(const std::string& why);
    bool StartHelper();
    void StopHelper();
    bool Send(const std::string& line);
    void Poll();
    void HandleLine(const std::string& line);
    void PlaceArea();

    std::vector<TNavigation> navigations_;
    std::string location_;
    std::string programFolder_;
    std::string helperProgram_;
    bool keepPageLoaded_ = true;
    TState state_ = TState::Idle;
    std::string unavailable_;
    std::string pageError_;
    TTimer* timer_ = nullptr;
    std::uint64_t area_ = 0;
    pid_t helperPid_ = 0;
    int channel_ = -1;
    std::string input_;
    bool pageReady_ = false;
};

}  // namespace platform
