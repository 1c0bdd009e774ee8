// Program start-up.
#include "app/app.h"

#include <exception>
#include <string>

#include "app/mainfrm.h"
#include "dialogs/aboutfrm.h"
#include "formbase/playerfrm.h"
#include "jobmodel/report.h"
#include "platform/controls/forms.h"

using namespace platform;

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
        Application->CreateForm(frmAbout);
        // The other dialogs are made when first needed (TfrmMain::EditDialog and the rest):
        // reading their skin pictures was most of a start.
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
