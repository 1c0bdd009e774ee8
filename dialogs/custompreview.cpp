// When the preview is rebuilt: at once after a discrete change, and 500 milliseconds after
// the last of a run of typed changes (the timer restarts with every change, so a run of
// keys or spin clicks gives one rebuild after it ends).
#include "dialogs/customfrm.h"

using namespace platform;

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
