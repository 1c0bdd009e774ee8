// The colour identifier table.
#include "platform/controls/colortable.h"

#include <cstdio>
#include <cstdlib>

#include "platform/core/exceptions.h"
#include "platform/core/sysutils.h"

namespace platform {

const std::vector<TIdentMapEntry>& ColorIdents() {
    static const std::vector<TIdentMapEntry> table = {
        {clBlack, "clBlack"},
        {clMaroon, "clMaroon"},
        {clGreen, "clGreen"},
        {clOlive, "clOlive"},
        {clNavy, "clNavy"},
        {clPurple, "clPurple"},
        {clTeal, "clTeal"},
        {clGray, "clGray"},
        {clSilver, "clSilver"},
        {clRed, "clRed"},
        {clLime, "clLime"},
        {clYellow, "clYellow"},
        {clBlue, "clBlue"},
        {clFuchsia, "clFuchsia"},
        {clAqua, "clAqua"},
        {clWhite, "clWhite"},
        {clMoneyGreen, "clMoneyGreen"},
        {clSkyBlue, "clSkyBlue"},
        {clCream, "clCream"},
        {clMedGray, "clMedGray"},
        {clActiveBorder, "clActiveBorder"},
        {clActiveCaption, "clActiveCaption"},
        {clAppWorkSpace, "clAppWorkSpace"},
        {clBackground, "clBackground"},
        {clBtnFace, "clBtnFace"},
        {clBtnHighlight, "clBtnHighlight"},
        {clBtnShadow, "clBtnShadow"},
        {clBtnText, "clBtnText"},
        {clCaptionText, "clCaptionText"},
        {clDefault, "clDefault"},
        {clGradientActiveCaption, "clGradientActiveCaption"},
        {clGradientInactiveCaption, "clGradientInactiveCaption"},
        {clGrayText, "clGrayText"},
        {clHighlight, "clHighlight"},
        {clHighlightText, "clHighlightText"},
        {clHotLight, "clHotLight"},
        {clInactiveBorder, "clInactiveBorder"},
        {clInactiveCaption, "clInactiveCaption"},
        {clInactiveCaptionText, "clInactiveCaptionText"},
        {clInfoBk, "clInfoBk"},
        {clInfoText, "clInfoText"},
        {clMenu, "clMenu"},
        {clMenuBar, "clMenuBar"},
        {clMenuHighlight, "clMenuHighlight"},
        {clMenuText, "clMenuText"},
        {clNone, "clNone"},
        {clScrollBar, "clScrollBar"},
        {cl3DDkShadow, "cl3DDkShadow"},
        {cl3DLight, "cl3DLight"},
        {clWindow, "clWindow"},
        {clWindowFrame, "clWindowFrame"},
        {clWindowText, "clWindowText"},
    };
    return table;
}

void GetColorValues(const std::function<void(const std::string& name)>& proc) {
    for (const auto& e : ColorIdents()) proc(e.Name);
}

bool ColorToIdent(TColor color, std::string& ident) {
    for (const auto& e : ColorIdents())
        if (e.Value == color) {
            ident = e.Name;
            return true;
        }
    return false;
}

bool IdentToColor(const std::string& ident, TColor& color) {
    for (const auto& e : ColorIdents())
        if (SameText(e.Name, ident)) {
            color = e.Value;
            return true;
        }
    return false;
}

std::string ColorToString(TColor color) {
    std::string ident;
    if (ColorToIdent(color, ident)) return ident;
    char buf[16];
    std::snprintf(buf, sizeof(buf), "$%.8X", unsigned(color));
    return buf;
}

TColor StringToColor(const std::string& text) {
    TColor color = 0;
    if (IdentToColor(text, color)) return color;
    const char* s = text.c_str();
    char* end = nullptr;
    long long v = !text.empty() && text[0] == '$' ? std::strtoll(s + 1, &end, 16) : std::strtoll(s, &end, 10);
    if (text.empty() || !end || *end != 0 || end == s || (text[0] == '$' && end == s + 1))
        throw EConvertError("'" + text + "' is not a valid colour");
    return TColor(v);
}

}  // namespace platform
