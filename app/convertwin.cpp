// The progress window.
#include "app/convertwin.h"

TfrmConvert* frmConvert = nullptr;

TfrmConvert::TfrmConvert(platform::TComponent* owner)
    : TSkinnedForm(owner, "convert", "convertFormCreate", "convert", "convert_BG", 520, 400) {
    SetCaption("Convert");
    TakeSkin();
}
