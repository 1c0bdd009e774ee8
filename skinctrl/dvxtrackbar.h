#pragma once
// The skinned slider: a bar picture (ends unscaled, middle stretched) across the control and
// a slider that is a child picture panel. Min <= Position <= Max always holds; OnChange runs
// only when Position differs from the last one it reported. A press on the bar pages towards
// the mouse, once at the press and then every 100 ms; a press on the slider drags it. All
// position arithmetic is done in 64 bits and saturates at the int limits.
#include <memory>

#include "platform/controls/extctrls.h"
#include "platform/core/timer.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxpanel.h"
#include "skinctrl/dvxprogressbar.h"

namespace skinctrl {

class TdvxTrackBar : public TdvxControl<platform::TCustomPanel> {
public:
    explicit TdvxTrackBar(platform::TComponent* owner);
    ~TdvxTrackBar() override;
    void Dispatch(platform::TMessage& message) override;

    int Min() const { return min_; }
    void SetMin(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    int Position() const { return position_; }
    // Limited to Min..Max; moves the slider even when unchanged.
    void SetPosition(int value);
    int PageSize() const { return pageSize_; }
    void SetPageSize(int value);
    int LineSize() const { return lineSize_; }
    void SetLineSize(int value);
    TdvxProgressBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TdvxProgressBarOrientation value);
    bool ShowTick() const { return showTick_; }
    void SetShowTick(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    int Frequency() const { return frequency_; }
    void SetFrequency(int value);
    platform::TPicture* BarImage() const { return barImage_.get(); }
    // The owner's bar picture, kept through style and size changes; an empty picture (or
    // nullptr) goes back to the style's.
    void SetBarImage(platform::TPicture* value);
    // The slider panel's own picture: a picture loaded into it stays until the next
    // UpdateControl (style, orientation or size change).
    platform::TPicture* GetSliderImage() const { return slider_->Picture(); }
    virtual void SetSliderImage(platform::TPicture* value);
    int GetLastChange() const { return lastChange_; }
    TdvxImagePanel* Slider() const { return slider_; }
    bool IsPaging() const { return timer_ != nullptr; }
    bool IsDragging() const { return dragging_; }

    platform::TPoint GetSliderPosFromPosition() const;
    int GetPositionFromFromSliderPos(int x, int y) const;
    void UpdatePositionValue(int x, int y, bool notify);
    void UpdateSlider();
    void UpdateControl();

    platform::TNotifyEvent OnChange;

protected:
    virtual void UpdatePicture();
    virtual bool CustomPicture() const { return false; }
    virtual bool DVXCanFocus() const { return true; }
    virtual bool SliderTransparent() const { return orientation_ == dvxHorizontal; }

    void UIStyleChanged() override;
    void Resize() override;
    void MouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void MouseMove(platform::TShiftState shift, int x, int y) override;
    void MouseUp(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void KeyDown(platform::WORD& key, platform::TShiftState shift) override;
    bool IsTransparent() const override { return transparent_; }
    void PaintBuffer(platform::TCanvas* canvas) override;
    void PaintTick(platform::TCanvas* canvas);
    void SetSize();

    TdvxImagePanel* slider_ = nullptr;

private:
    void SliderMouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y);
    void SliderMouseUp(platform::TMouseButton button, platform::TShiftState shift, int x, int y);
    // One page towards the point: step positions, but not past the position under it.
    void PageTowards(int x, int y, long long step);
    void TakeFocus();
    void ReportChange();

    std::unique_ptr<platform::TTimer> timer_;
    int min_ = 0, max_ = 10, position_ = 0;
    int lastReported_ = 0;
    TdvxProgressBarOrientation orientation_ = dvxHorizontal;
    int pageSize_ = 2, lineSize_ = 1;
    bool showTick_ = true;
    bool transparent_ = false;
    std::unique_ptr<platform::TPicture> barImage_;
    bool ownBar_ = false;  // barImage_ was set by the owner
    bool dragging_ = false;
    int frequency_ = 1;
    int lastChange_ = 0;
    int grabOffset_ = 0;
    std::unique_ptr<platform::TBitmap> barCache_;
    bool updating_ = false;
};

// The track of the skinned scroll bar: its pictures are set by the scroll bar, never
// reloaded from the style, and it does not take the focus.
class TdvxScrollTrackBar : public TdvxTrackBar {
public:
    explicit TdvxScrollTrackBar(platform::TComponent* owner);
    bool SliderVisible() const { return slider_->Visible(); }
    void SetSliderVisible(bool value) {
        if (value != slider_->Visible()) slider_->SetVisible(value);
    }
    void UpdateSliderSize() { slider_->SetAutoSize(true); }

protected:
    bool CustomPicture() const override { return true; }
    bool DVXCanFocus() const override { return false; }
    bool SliderTransparent() const override { return false; }
};

}  // namespace skinctrl
