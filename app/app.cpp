// Program start-up.
#include "app/app.h"

#include <exception>
#include <string>

#include "app/convertwin.h"
#include "app/dvdfrm.h"
#include "app/mainfrm.h"
#include "dialogs/aboutfrm.h"
#include "dialogs/clipfrm.h"
#include "dialogs/customfrm.h"
#include "dialogs/editfrm.h"
#include "dialogs/optionfrm.h"
#include "dialogs/profrm.h"
#include "formbase/playerfrm.h"
#include "jobmodel/report.h"
#include "platform/controls/forms.h"

using namespace platform;

namespace {

// Makes a dialog that reaches the program through the main window, as the application
// object makes the other windows.
template <class T> void CreateDialog(T*& reference, DialogHost* host) {
    reference = new T(Application, host);
    reference->AfterConstruction();
}

}  // namespace

int RunApplication() {
    // What the job model could not use (a damaged setting, a profile value of the wrong
    // form) is told to the user.
    jobmodel::SetJobModelReporter([](const std::string& message) {
        Application->MessageBox(message, "Velmorasoft Lumacast", MB_OK | MB_ICONWARNING);
    });
    try {
        Application->Initialize();
        Application->SetTitle("Velmorasoft Lumacast");
        Application->CreateForm(frmMain);
        Application->CreateForm(Playerfrm);
        CreateDialog(frmEdit, frmMain);
        CreateDialog(frmClip, frmMain);
        Application->CreateForm(frmCustom);
        Application->CreateForm(frmConvert);
        Application->CreateForm(frmPro);
        Application->CreateForm(frmAbout);
        CreateDialog(frmOption, frmMain);
        Application->CreateForm(frmDVD);
    } catch (const std::exception& e) {
        // Start-up failed: say why once; the program does not go on half made.
        std::string why = e.what();
        Application->MessageBox("lumacast could not start: " + (why.empty() ? std::string("unknown error") : why),
                                "Velmorasoft Lumacast", MB_OK | MB_ICONERROR);
        return 1;
    } catch (...) {
        Application->MessageBox("lumacast could not start: unknown error", "Velmorasoft Lumacast",
                                MB_OK | MB_ICONERROR);
        return 1;
    }
    // Exceptions of handlers are shown by the message loop, which goes on.
    Application->Run();
    // The windows go before the program ends, and with them the threads they started (the
    // preview's player, a conversion, the web view's server, the drive watcher).
    Application->DestroyComponents();
    return 0;
}
