#include "skinctrl/dvxcontrol.h"

#include "skinctrl/dvxfiletheme.h"
#include "platform/core/sysutils.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

bool IdvxStyled::PublishesProperty(const std::string& name) const {
    if (SameText(name, "UIStyle")) return true;
    if (SameText(name, "FileTheme")) return PublishesFileTheme();
    return ExtraPublished(name);
}

IdvxStyled* AsStyled(TComponent* component) { return dynamic_cast<IdvxStyled*>(component); }

namespace detail {

void LinkFileTheme(TComponent* owner, TdvxFileTheme*& field, TdvxFileTheme* value) {
    if (field == value) return;
    if (field) field->RemoveFreeNotification(owner);
    field = value;
    if (field) field->FreeNotification(owner);
}

bool IsTheme(TComponent* component, TdvxFileTheme* theme) { return component == theme; }

void PaintBuffered(TWinControl* control, HDC dc, bool transparent, const std::function<void(TCanvas*)>& paint) {
    TRect client = control->ClientRect();
    if (client.Width() <= 0 || client.Height() <= 0) return;
    TBitmap buffer;
    buffer.SetPixelFormat(pf32bit);
    buffer.SetSize(client.Width(), client.Height());
    TCanvas* canvas = buffer.Canvas();
    canvas->SetFont(control->Font());
    if (transparent) DoTrans(canvas, control);
    paint(canvas);
    BitBlt(dc, 0, 0, client.Width(), client.Height(), canvas->Handle(), 0, 0, SRCCOPY);
}

}  // namespace detail

}  // namespace skinctrl
