#pragma once
// The skinned tool bar: the platform tool bar over a gradient (or, under MacOS and Protein
// on a form frame, its parent's face shown through), with hot, pressed and checked buttons
// drawn as filled, framed rectangles holding the image and the caption.
#include "platform/controls/comctrls.h"
#include "skinctrl/dvxcontrol.h"

namespace skinctrl {

class TdvxToolBar : public TdvxControl<platform::TToolBar> {
public:
    explicit TdvxToolBar(platform::TComponent* owner);

    TColor ButtonColor() const { return buttonColor_; }
    void SetButtonColor(TColor value);
    TColor ButtonBorderColor() const { return buttonBorderColor_; }
    void SetButtonBorderColor(TColor value);
    TColor ButtonDownColor() const { return buttonDownColor_; }
    void SetButtonDownColor(TColor value);
    TColor GradientStart() const { return startColor_; }
    TColor GradientEnd() const { return endColor_; }

    void DrawBar(platform::TToolBar* sender, const platform::TRect& rect, bool& defaultDraw);
    void DrawButton(platform::TToolBar* sender, platform::TToolButton* button, platform::TCustomDrawState state,
                    bool& defaultDraw);
    void DrawHotButton(platform::TCanvas* canvas, const platform::TRect& r, bool dropDown, const std::string& caption,
                       int imageIndex, platform::TCustomImageList* images);
    void DrawDownButton(platform::TCanvas* canvas, const platform::TRect& r, bool dropDown,
                        const std::string& caption, int imageIndex, platform::TCustomImageList* images);

protected:
    void UIStyleChanged() override;
    bool OwnerPainted() const override { return false; }

public:
    void SetParent(platform::TWinControl* parent) override;

private:
    void DrawFace(platform::TCanvas* canvas, const platform::TRect& r, bool dropDown, const std::string& caption,
                  int imageIndex, platform::TCustomImageList* images, bool down);
    TColor buttonColor_ = 0, buttonBorderColor_ = 0, buttonDownColor_ = 0;
    TColor startColor_ = 0, endColor_ = 0;
};

}  // namespace skinctrl
