// The progress window.
#include "app/convertwin.h"

#include "platform/controls/forms.h"

TfrmConvert* frmConvert = nullptr;

TfrmConvert::TfrmConvert(platform::TComponent* owner)
    : TSkinnedForm(owner, "convert", "convertFormCreate", "convert", "convert_BG", 520, 400) {
    SetCaption("Convert");
    TakeSkin();
    OnShow = [this](platform::TObject*) { Run.FormShow(); };
    Run.OnMessage = [](const std::string& text) { platform::Application->MessageBox(text, "Information", platform::MB_OK); };
    Run.OnClose = [this] { SetModalResult(platform::mrOk); };
}
