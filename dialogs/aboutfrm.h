#pragma once
// The about box (section "about"): the product, its version and build date, and links to
// the support page and the home page. Shown modally from the help menu; OK closes it.
#include <string>

#include "formbase/skinnedform.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxurllabel.h"

class TfrmAbout : public TSkinnedForm {
public:
    explicit TfrmAbout(platform::TComponent* owner);

    // Fills the texts and the two links.
    void FormShow(platform::TObject* sender);
    void btnOKClick(platform::TObject* sender);

    platform::TLabel* mainLabel;
    platform::TLabel* Lab_product;  // hidden
    platform::TLabel* labVersion;
    platform::TLabel* version_num;
    platform::TLabel* build_time;
    platform::TLabel* labSupport;
    skinctrl::TdvxURLLabel* supportUrl;
    platform::TLabel* labHome;
    skinctrl::TdvxURLLabel* homeUrl;
    platform::TLabel* Label1;  // the makers' notice line
    skinctrl::TdvxImageButton* btnOK;
};

extern TfrmAbout* frmAbout;

// The addresses and the notice line, from the build's web-site setting.
std::string AboutSupportAddress();
std::string AboutHomeAddress();
std::string AboutNoticeLine();
