#pragma once
// The skinned scroll bar: a decrement picture button, a track with a draggable thumb, and an
// increment picture button. The thumb is composed at run time from three slider pieces
// (start cap, middle, end cap) so it can take any length. An arrow steps once when pressed
// and then every 100 ms while held.
#include <memory>

#include "platform/controls/extctrls.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxtrackbar.h"

namespace skinctrl {

class TdvxScrollBar : public TdvxControl<platform::TCustomPanel> {
public:
    explicit TdvxScrollBar(platform::TComponent* owner);
    ~TdvxScrollBar() override;
    void Dispatch(platform::TMessage& message) override;

    int Max() const { return track_->Max(); }
    void SetMax(int value) { track_->SetMax(value); }
    int Min() const { return track_->Min(); }
    void SetMin(int value) { track_->SetMin(value); }
    int Position() const { return track_->Position(); }
    void SetPosition(int value) {
        if (value != track_->Position()) track_->SetPosition(value);
    }
    int PageSize() const { return track_->PageSize(); }
    void SetPageSize(int value);
    int LargeChange() const { return std::int16_t(track_->PageSize()); }
    void SetLargeChange(int value) { track_->SetPageSize(value); }
    int SmallChange() const { return smallChange_; }
    void SetSmallChange(int value) { smallChange_ = std::int16_t(value); }
    int LineButton() const { return lineButton_; }
    // Taken only when it fits between the buttons; a thumb shorter than 16 is raised to 16.
    void SetLineButton(int value);
    TdvxProgressBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TdvxProgressBarOrientation value);
    bool SliderVisible() const { return track_->SliderVisible(); }
    void SetSliderVisible(bool value) { track_->SetSliderVisible(value); }
    int GetLastChange() const { return track_->GetLastChange(); }
    platform::TNotifyEvent& OnChange() { return track_->OnChange; }

    TdvxScrollTrackBar* Track() const { return track_; }
    TdvxImageButton* IncButton() const { return incButton_; }
    TdvxImageButton* DecButton() const { return decButton_; }

    void PlaceTrackBarAndButton();
    void UpdatePictures();
    void UpdateSliderPic();

protected:
    void UIStyleChanged() override;
    void Resize() override;

private:
    void Step(int delta);

    TdvxScrollTrackBar* track_ = nullptr;
    TdvxImageButton* incButton_ = nullptr;
    TdvxImageButton* decButton_ = nullptr;
    std::unique_ptr<platform::TBitmap> piece1_, piece2_, piece3_;
    TdvxProgressBarOrientation orientation_ = dvxHorizontal;
    std::int16_t smallChange_ = 1;
    int lineButton_ = 0;
    bool placing_ = false;
    bool constructed_ = false;
};

}  // namespace skinctrl
