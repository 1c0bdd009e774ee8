// The about box.
#include "dialogs/aboutfrm.h"

using namespace platform;

TfrmAbout* frmAbout = nullptr;

std::string AboutSupportAddress() { return std::string(LUMACAST_WEB_ADDRESS) + "support-center/"; }
std::string AboutHomeAddress() { return LUMACAST_WEB_ADDRESS; }
std::string AboutNoticeLine() {
    return std::string("Velmorasoft Lumacast. More programs and help: ") + LUMACAST_WEB_ADDRESS;
}

namespace {

TLabel* AddLabel(TWinControl* parent, const char* name, const char* caption, int left, int top) {
    auto* label = new TLabel(parent->Owner() ? parent->Owner() : parent);
    label->SetName(name);
    label->SetParent(parent);
    label->SetTransparent(true);
    label->SetLeft(left);
    label->SetTop(top);
    label->SetCaption(caption);
    return label;
}

skinctrl::TdvxURLLabel* AddLink(TWinControl* parent, const char* name, int left, int top) {
    auto* link = new skinctrl::TdvxURLLabel(parent->Owner() ? parent->Owner() : parent);
    link->SetName(name);
    link->SetParent(parent);
    link->SetTransparent(true);
    link->SetLeft(left);
    link->SetTop(top);
    link->SetCaption("");
    link->SetURL("");
    return link;
}

}  // namespace

TfrmAbout::TfrmAbout(TComponent* owner)
    : TSkinnedForm(owner, "about", "aboutFormCreate", "about", "aboutPanel", 420, 300) {
    SetCaption("About");
    mainLabel = AddLabel(background, "mainLabel", "About", 16, 12);
    mainLabel->Font()->SetStyle(TFontStyles{fsBold});
    Lab_product = AddLabel(background, "Lab_product", "", 30, 60);
    Lab_product->SetVisible(false);
    labVersion = AddLabel(background, "labVersion", "Version :", 30, 90);
    version_num = AddLabel(background, "version_num", "", 120, 90);
    build_time = AddLabel(background, "build_time", "", 220, 90);
    labSupport = AddLabel(background, "labSupport", "Support :", 30, 125);
    supportUrl = AddLink(background, "supportUrl", 120, 125);
    labHome = AddLabel(background, "labHome", "HomePage :", 30, 160);
    homeUrl = AddLink(background, "homeUrl", 120, 160);
    Label1 = AddLabel(background, "Label1", "", 30, 195);
    // The notice with its address is wider than the box: it wraps onto a second line.
    Label1->SetAutoSize(false);
    Label1->SetWordWrap(true);
    Label1->SetBounds(30, 195, 360, 36);
    btnOK = AddButton("btnOK", 290, 250, 110, 36);
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    TakeSkin();
}

void TfrmAbout::FormShow(TObject*) {
    Lab_product->SetCaption("Velmorasoft Lumacast Converter");
    version_num->SetCaption("1.0.1 Build");
    build_time->SetCaption("2010-02-10");
    supportUrl->SetCaption(AboutSupportAddress());
    supportUrl->SetURL(AboutSupportAddress());
    homeUrl->SetCaption(AboutHomeAddress());
    homeUrl->SetURL(AboutHomeAddress());
    Label1->SetCaption(AboutNoticeLine());
}

void TfrmAbout::btnOKClick(TObject*) {
    if (IsModal())
        SetModalResult(mrOk);
    else
        Close();
}
