#pragma once
// What the job-list commands need of the windows around them: message boxes, the modal
// windows they open and the preview they stop. The main window implements it; tests put
// recording stand-ins in. Every call comes on the user-interface thread.
#include <string>
#include <vector>

namespace jobmodel {

struct DriveMenuEntry {
    std::string caption;  // drive id + ":\" + the reader's text
    char driveId;         // the entry's component name
};

class JobHost {
public:
    virtual ~JobHost() = default;

    // A message box with an OK button.
    virtual void ShowMessage(const std::string& text) { (void)text; }
    // A Yes/No question with the exclamation icon; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) {
        (void)text, (void)caption;
        return false;
    }
    // Reloads the working option record from the registry (once per command).
    virtual void LoadOptionRecord();

    // Stops the main preview and resets its play buttons (a DVD load then waits its
    // half second).
    virtual void StopPreview() {}
    // Closes the main preview, shows the DVD window modally on the DVD tree and gives
    // the preview back to the main window when it has closed.
    virtual void ShowDvdWindow() {}
    // Closes the main preview, shows the progress window modally (the run happens while
    // it is open) and gives the preview back when it has closed.
    virtual void ShowProgressWindow() {}
    // Whether a modal window or a conversion run is open just now.
    virtual bool ModalOpen() { return false; }
    // The drive entries of the DVD menu, after its two fixed entries, changed.
    virtual void DriveMenuChanged(const std::vector<DriveMenuEntry>& entries) { (void)entries; }
};

}  // namespace jobmodel
