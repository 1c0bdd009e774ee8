// When the preview is rebuilt: at once after a discrete change, and 500 milliseconds after
// the last of a run of typed changes (the timer restarts with every change, so a run of
// keys or spin clicks gives one rebuild after it ends).
#include "dialogs/customfrm.h"

#include "formbase/settings.h"
#include "jobmodel/playerbridge.h"

using namespace platform;

namespace {

// From the program's first wait for input to the preparation of the preview: start-up is
// left alone, and so are the moments right after it.
constexpr int kPrepareAfterIdleMs = 1000;

}  // namespace

void TfrmCustom::RestartRebuildTimer() {
    sysTimer->SetEnabled(false);
    sysTimer->SetEnabled(true);
}

void TfrmCustom::StopRebuildTimer() { sysTimer->SetEnabled(false); }

bool TfrmCustom::RebuildPending() const { return sysTimer->Enabled(); }

void TfrmCustom::sysTimerTimer(TObject*) {
    StopRebuildTimer();
    RefreshPreview();
}

void TfrmCustom::customize_BG3MouseMove() { Screen->SetCursor(crDefault); }

void PrepareCustomPreviewAhead(TCustomForm* host) {
    // A hidden view of the dialog's preview size, in host; the dialog's own view takes its
    // helper over when it shows its first movie. It goes with host, and its helper with it.
    auto* view = new TCppWebBrowser(host);
    view->SetVisible(false);
    view->SetParent(host);
    view->SetBounds(0, 0, 360, 270);
    view->SetProgramFolder(ProgramFolder());
    auto* wait = new TTimer(view);
    wait->SetEnabled(false);
    wait->SetInterval(kPrepareAfterIdleMs);
    wait->SetOnTimer([view, wait](TObject*) {
        wait->SetEnabled(false);
        // A dialog that showed its preview meanwhile has a helper of its own.
        if (frmCustom && frmCustom->webBrowser->HelperPid() != 0) return;
        view->PrepareAhead(jobmodel::PreviewPlayerPath(ProgramFolder()));
    });
    TIdleEvent previous = Application->OnIdle;
    Application->OnIdle = [previous, wait, armed = false](TObject* sender, bool& done) mutable {
        if (!armed) wait->SetEnabled(true);
        armed = true;
        if (previous) previous(sender, done);
    };
}
