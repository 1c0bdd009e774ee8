#include "skinctrl/dvxurllabel.h"

#include "platform/core/shell.h"
#include "platform/core/sysutils.h"
#include "skinctrl/dvxresdef.h"

namespace skinctrl {

using namespace platform;

TdvxURLLabel::TdvxURLLabel(TComponent* owner)
    : TCustomLabel(owner), linkCursor_(crHandPoint), fontHoverColor_(clRed), fontLinkColor_(clBlue) {
    Font()->SetStyle(TFontStyles{fsUnderline});
    Font()->SetColor(clBlue);
    SetCursor(crHandPoint);
    SetAutoSize(true);
    SetCaption("Welcome to Dravix");
    SetURL(DVX_URL);
}

void TdvxURLLabel::SetURL(const std::string& value) {
    if (value != url_) url_ = value;
}

void TdvxURLLabel::SetLinkColor(TColor value) {
    fontLinkColor_ = value;
    Font()->SetColor(value);
}

void TdvxURLLabel::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_MOUSEENTER:
            Font()->SetColor((ComponentState() & csDesigning) ? clBlue : fontHoverColor_);
            break;
        case CM_MOUSELEAVE:
            Font()->SetColor(fontLinkColor_);
            break;
        default: break;
    }
    TCustomLabel::Dispatch(m);
}

void TdvxURLLabel::Click() {
    // The address goes to the opener as one argument, never through a shell; whether the
    // desktop could open it is not our concern.
    if (!Trim(url_).empty()) ShellExecuteA(nullptr, "open", url_.c_str(), nullptr, nullptr, SW_SHOW);
    TCustomLabel::Click();
}

}  // namespace skinctrl
