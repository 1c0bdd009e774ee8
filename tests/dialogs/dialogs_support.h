#pragma once
// What the dialog tests share: clicks on a control through the backend's input, a
// recording shell launcher, and where the screenshots go.
#include <string>
#include <vector>

#include "platform/controls/forms.h"
#include "platform/core/shell.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "support/pump.h"

namespace dialogtest {

// Presses and releases the left button at the centre of a control of a shown form.
inline void ClickAt(platform::TCustomForm* form, platform::TControl* control, int dx = -1, int dy = -1) {
    platform::TPoint at = control->ClientToScreen(
        platform::TPoint(dx < 0 ? control->Width() / 2 : dx, dy < 0 ? control->Height() / 2 : dy));
    platform::TPoint in = form->ScreenToClient(at);
    platform::InputMouseMove(form->Handle(), in.x, in.y);
    testsupport::PumpWindows();
    platform::InputMouseButton(form->Handle(), in.x, in.y, platform::MouseButton::Left, true);
    platform::InputMouseButton(form->Handle(), in.x, in.y, platform::MouseButton::Left, false);
    testsupport::PumpWindows();
}

// Records every program the shell would start.
class LaunchRecorder : public platform::TProcessLauncher {
public:
    explicit LaunchRecorder(std::vector<std::vector<std::string>>* log) : log_(log) {}
    bool Launch(const std::vector<std::string>& argv, std::string&) override {
        log_->push_back(argv);
        return true;
    }

private:
    std::vector<std::vector<std::string>>* log_;
};

// Installs a recorder for the life of the object.
struct RecordedLaunches {
    std::vector<std::vector<std::string>> launched;
    std::unique_ptr<platform::TProcessLauncher> previous;
    RecordedLaunches() { previous = platform::SetProcessLauncher(std::make_unique<LaunchRecorder>(&launched)); }
    ~RecordedLaunches() { platform::SetProcessLauncher(std::move(previous)); }
};

// A screenshot of the form's window, beside the test program.
inline void Screenshot(platform::TCustomForm* form, const std::string& name) {
    testsupport::PumpWindows();
    platform::SaveWindowImage(form->Handle(), name);
}

}  // namespace dialogtest
