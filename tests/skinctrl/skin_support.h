#pragma once
// Helpers of the skinned-library tests: bitmaps with one distinct colour per pixel, pixel
// reads, and a small styled control.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/controls/forms.h"
#include "platform/graphics/graphics.h"
#include "skinctrl/dvxcontrol.h"

namespace skintest {

using platform::TBitmap;
using platform::TColor;

// A w x h bitmap whose pixel (x, y) is UniqueColor(x, y).
inline platform::COLORREF UniqueColor(int x, int y) { return platform::RGB(platform::BYTE(10 + x), platform::BYTE(20 + y), 0x40); }
inline void FillUnique(TBitmap& b, int w, int h) {
    b.SetPixelFormat(platform::pf32bit);
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.Canvas()->SetPixels(x, y, UniqueColor(x, y));
}
inline platform::COLORREF Pixel(TBitmap& b, int x, int y) { return platform::ColorToRGB(b.Canvas()->Pixels(x, y)); }
// A canvas to draw on: a white w x h bitmap.
inline void Blank(TBitmap& b, int w, int h, platform::COLORREF fill = platform::RGB(255, 255, 255)) {
    b.SetPixelFormat(platform::pf32bit);
    b.SetSize(w, h);
    b.Canvas()->Brush()->SetColor(fill);
    b.Canvas()->FillRect(platform::TRect(0, 0, w, h));
}
inline std::vector<platform::COLORREF> Pixels(TBitmap& b, int x0, int y0, int w, int h) {
    std::vector<platform::COLORREF> out;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) out.push_back(Pixel(b, x, y));
    return out;
}

// A self-drawn skinned control that fills itself with its style's form colour and counts
// its style changes and paints.
class TdvxProbe : public skinctrl::TdvxControl<platform::TCustomControl> {
public:
    using TdvxControl::TdvxControl;
    bool frame = false;        // answers as a form frame
    bool fileThemeShown = true;  // publishes FileTheme
    bool transparent = false;
    int styleChanges = 0;
    int paints = 0;
    bool IsFormFrame() const override { return frame; }
    bool PublishesFileTheme() const override { return fileThemeShown; }

protected:
    void UIStyleChanged() override { ++styleChanges; }
    bool IsTransparent() const override { return transparent; }
    void PaintBuffer(platform::TCanvas* canvas) override {
        ++paints;
        skinctrl::TdvxUIStyle style;
        if (UsingTheme(style)) return;
        canvas->Brush()->SetColor(skinctrl::GetInsideThemeColor(style, skinctrl::DVX_THEME_FORM_COLOR));
        canvas->FillRect(platform::TRect(transparent ? 4 : 0, 0, Width(), Height()));
    }
};

}  // namespace skintest
