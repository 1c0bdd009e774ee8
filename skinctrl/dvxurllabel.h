#pragma once
// A label that looks and acts like a web link: underlined, blue, red while the mouse is over
// it, the hand cursor, and a click opens its URL with the desktop's opener.
#include <string>

#include "platform/controls/stdctrls.h"

namespace skinctrl {

class TdvxURLLabel : public platform::TCustomLabel {
public:
    explicit TdvxURLLabel(platform::TComponent* owner);
    void Dispatch(platform::TMessage& message) override;
    void Click() override;

    const std::string& URL() const { return url_; }
    void SetURL(const std::string& value);
    platform::TColor FontHoverColor() const { return fontHoverColor_; }
    void SetFontHoverColor(platform::TColor value) { fontHoverColor_ = value; }
    platform::TColor FontLinkColor() const { return fontLinkColor_; }
    void SetLinkColor(platform::TColor value);

private:
    platform::TCursor linkCursor_;
    std::string url_;
    platform::TColor fontHoverColor_;
    platform::TColor fontLinkColor_;
};

}  // namespace skinctrl
