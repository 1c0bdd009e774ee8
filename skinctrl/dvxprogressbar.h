#pragma once
// The progress bar: a picture filled from the left (or the bottom) in proportion to Position
// between Min and Max, and the percentage as its caption. No value is ever refused: a
// Position outside the range draws an empty or a full bar while the caption shows the
// unclamped percentage. The arithmetic is done in 64 bits and saturates at the int limits.
#include <memory>

#include "platform/controls/extctrls.h"
#include "skinctrl/dvxcontrol.h"

namespace skinctrl {

enum TdvxProgressBarOrientation { dvxHorizontal, dvxVertical };

class TdvxProgressBar : public TdvxControl<platform::TCustomPanel> {
public:
    explicit TdvxProgressBar(platform::TComponent* owner);
    ~TdvxProgressBar() override;

    int Max() const { return max_; }
    void SetMax(int value);
    int Min() const { return min_; }
    void SetMin(int value);
    int Position() const { return position_; }
    void SetPosition(int value);
    void StepIt() { StepBy(1); }
    void StepBy(int delta);
    TdvxProgressBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TdvxProgressBarOrientation value);
    platform::TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(platform::TColor value);
    void SetBarColor(platform::TColor value);
    platform::TColor CaptionColor() const { return captionColor_; }
    void SetCaptionColor(platform::TColor value);
    bool ShowCaption() const { return showCaption_; }
    void SetShowCaption(bool value);
    bool SmartShowCaption() const { return smartShowCaption_; }
    void SetSmartShowCaption(bool value);
    platform::TPicture* Picture() const { return picture_.get(); }
    void SetPicture(platform::TPicture* value);

    int GetPercentFromPosition() const;
    int GetWidthFromPosition(int total) const;

protected:
    void UIStyleChanged() override { UpdatePicture(); }
    void PaintBuffer(platform::TCanvas* canvas) override;

private:
    void UpdateProgress();
    void UpdatePicture();

    int max_ = 100, min_ = 0, position_ = 50;
    TdvxProgressBarOrientation orientation_ = dvxHorizontal;
    platform::TColor borderColor_ = platform::clBlack;
    platform::TColor captionColor_ = platform::clBlack;
    bool showCaption_ = true;
    bool smartShowCaption_ = false;
    std::unique_ptr<platform::TPicture> picture_;
    std::unique_ptr<platform::TBitmap> themeStart_, themeMiddle_, themeEnd_;
};

}  // namespace skinctrl
