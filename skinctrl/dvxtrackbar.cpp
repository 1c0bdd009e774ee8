#include "skinctrl/dvxtrackbar.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/graphics/gdi.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

namespace {

int Saturate(long double v) {
    if (v >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(v);
}

}  // namespace

TdvxTrackBar::TdvxTrackBar(TComponent* owner)
    : TdvxControl(owner), barImage_(std::make_unique<TPicture>()), barCache_(std::make_unique<TBitmap>()) {
    SetControlStyle(ControlStyle() & ~csAcceptsControls);
    slider_ = new TdvxImagePanel(this);
    slider_->SetParent(this);
    slider_->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) { SliderMouseDown(b, s, x, y); };
    slider_->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) { SliderMouseUp(b, s, x, y); };
    SetParentColor(true);
    SetTabStop(true);
    UpdateControl();
}

TdvxTrackBar::~TdvxTrackBar() { timer_.reset(); }

// ---- values ----

void TdvxTrackBar::SetMax(int value) {
    if (value == max_) return;
    max_ = std::max(value, min_);
    if (position_ > max_) position_ = max_;
    UpdateSlider();
}

void TdvxTrackBar::SetMin(int value) {
    if (value == min_) return;
    min_ = std::min(value, max_);
    if (position_ < min_) position_ = min_;
    UpdateSlider();
}

void TdvxTrackBar::SetPosition(int value) {
    position_ = std::clamp(value, min_, max_);
    UpdateSlider();
}

void TdvxTrackBar::SetPageSize(int value) {
    if (value >= 0 && value <= max_) pageSize_ = value;
}

void TdvxTrackBar::SetLineSize(int value) {
    if (value >= 0 && value <= max_) lineSize_ = value;
}

void TdvxTrackBar::SetOrientation(TdvxProgressBarOrientation value) {
    if (!Store(orientation_, value)) return;
    UpdateControl();
}

void TdvxTrackBar::SetShowTick(bool value) {
    showTick_ = value;
    Refreshed();
}

void TdvxTrackBar::SetTransparent(bool value) {
    transparent_ = value;
    Refreshed();
}

void TdvxTrackBar::SetFrequency(int value) {
    frequency_ = value;
    Refreshed();
}

void TdvxTrackBar::SetBarImage(TPicture* value) {
    ownBar_ = value && value->Width() > 0 && value->Height() > 0;
    if (ownBar_) barImage_->Assign(value);
    UpdateControl();
}

void TdvxTrackBar::SetSliderImage(TPicture* value) {
    slider_->Picture()->Assign(value);
    Refreshed();
}

void TdvxTrackBar::UIStyleChanged() {
    UpdateControl();
    if (GetUIStyle() == MacOS) transparent_ = true;
}

// ---- geometry ----

TPoint TdvxTrackBar::GetSliderPosFromPosition() const {
    long long sw = slider_->Width(), sh = slider_->Height();
    long long range = (long long)max_ - min_;
    long long offset = (long long)position_ - min_;
    if (orientation_ == dvxHorizontal) {
        int y = int(std::max<long long>(Height() - sh, 0) / 2);
        int x = range == 0 ? 0 : Saturate((long double)(offset * (Width() - sw) / range));
        return TPoint(x, y);
    }
    int x = int(std::max<long long>(Width() - sw, 0) / 2);
    int y = range == 0 ? 0 : Saturate((long double)(offset * (Height() - sh) / range));
    return TPoint(x, y);
}

int TdvxTrackBar::GetPositionFromFromSliderPos(int x, int y) const {
    bool horizontal = orientation_ == dvxHorizontal;
    long long length = horizontal ? Width() : Height();
    long long sliderLength = horizontal ? slider_->Width() : slider_->Height();
    if (length == sliderLength) return 0;
    long double along = (long double)(horizontal ? x : y) - grabOffset_;
    long double range = (long double)max_ - min_;
    // Halves round to even.
    return Saturate(std::nearbyint(along * range / (long double)(length - sliderLength)) + min_);
}

void TdvxTrackBar::UpdatePositionValue(int x, int y, bool notify) {
    int value = std::clamp(GetPositionFromFromSliderPos(x, y), min_, max_);
    if (notify)
        SetPosition(value);
    else
        position_ = value;
}

void TdvxTrackBar::ReportChange() {
    if (position_ == lastReported_) return;
    lastChange_ = Saturate((long double)position_ - lastReported_);
    lastReported_ = position_;
    if (OnChange) OnChange(this);
}

void TdvxTrackBar::UpdateSlider() {
    TPoint p = GetSliderPosFromPosition();
    slider_->SetBounds(p.x, p.y, slider_->Width(), slider_->Height());
    Refreshed();
    ReportChange();
}

void TdvxTrackBar::UpdatePicture() {
    bool horizontal = orientation_ == dvxHorizontal;
    TdvxUIStyle style;
    if (CustomPicture()) {
        // The owner's pictures stay; only the bar is drawn again at the new length.
    } else if (UsingTheme(style)) {
        TdvxFileTheme* theme = GetFileTheme();
        if (TBitmap* b = theme->GetBitmap(SKIN2_TRACKBAR); b && !ownBar_) barImage_->Bitmap()->Assign(b);
        TBitmap slider;
        if (TBitmap* b = theme->GetBitmap(horizontal ? SKIN2_TRACKBARSLIDER : SKIN2_TRACKBARVSLIDER)) slider.Assign(b);
        ScanColor(&slider, theme->GetColor(SKIN2_TRANSCOLOR), theme->GetColor(SKIN2_FORMCOLOR));
        slider_->Picture()->Bitmap()->Assign(&slider);
    } else {
        TBitmap bar, slider;
        if (!ownBar_) {
            GetInsideThemeBitmap(style, DVX_THEME_TRACKBAR_BAR_IMAGE, &bar, 0, 0);
            barImage_->Bitmap()->Assign(&bar);
        }
        GetInsideThemeBitmap(style, horizontal ? DVX_THEME_TRACKBAR_SLIDER_IMAGE : DVX_THEME_TRACKBAR_SLIDER_V_IMAGE,
                             &slider, 0, 0);
        slider_->Picture()->Bitmap()->Assign(&slider);
    }
    int length = horizontal ? Width() : Height();
    int barHeight = barImage_->Height();
    barCache_->SetPixelFormat(pf32bit);
    barCache_->SetSize(std::max(length, 0), barHeight);
    if (length > 0 && barHeight > 0) {
        TCanvas* c = barCache_->Canvas();
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(Color());
        c->FillRect(TRect(0, 0, length, barHeight));
        SpitDrawHorizontal(barImage_->Bitmap(), c, TRect(0, 0, length, barHeight), false, Color(), true);
        if (!horizontal) RoundPicture(barCache_.get());
    }
    slider_->SetTransparent(SliderTransparent());
    slider_->SetAutoSize(true);
}

void TdvxTrackBar::SetSize() {
    int bar = barImage_->Height();
    if (orientation_ == dvxHorizontal)
        SetHeight(std::max(bar, slider_->Height()));
    else
        SetWidth(std::max(bar, slider_->Width()));
    Refreshed();
}

void TdvxTrackBar::UpdateControl() {
    if (updating_) return;  // SetSize resizes, and a resize comes back here
    updating_ = true;
    UpdatePicture();
    SetSize();
    UpdateSlider();
    Refreshed();
    updating_ = false;
}

void TdvxTrackBar::Resize() {
    TdvxControl::Resize();
    UpdateControl();
}

// ---- painting ----

void TdvxTrackBar::PaintBuffer(TCanvas* canvas) {
    int W = ClientWidth(), H = ClientHeight();
    if (!transparent_) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(TRect(0, 0, W, H));
    }
    int barHeight = barImage_->Height();
    if (!barCache_->Empty()) {
        if (orientation_ == dvxHorizontal)
            canvas->Draw(0, (H - barHeight) / 2, barCache_.get());
        else
            canvas->Draw((W - barHeight) / 2, 0, barCache_.get());
    }
    if (Focused() && TabStop()) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->DrawFocusRect(TRect(0, 0, W, H));
    }
    if (showTick_) PaintTick(canvas);
}

void TdvxTrackBar::PaintTick(TCanvas* canvas) {
    if (max_ == min_) return;
    bool horizontal = orientation_ == dvxHorizontal;
    long long W = ClientWidth(), H = ClientHeight();
    long long length = horizontal ? W : H;
    long long sliderLength = horizontal ? slider_->Width() : slider_->Height();
    long long range = (long long)max_ - min_;
    auto place = [&](long long i) { return int((length - sliderLength) * (i - min_) / range + sliderLength / 2); };
    auto tick = [&](int p) {
        if (horizontal) {
            canvas->MoveTo(p, int(H) - 3);
            canvas->LineTo(p, int(H));
        } else {
            canvas->MoveTo(0, p);
            canvas->LineTo(3, p);
            canvas->MoveTo(int(W) - 3, p);
            canvas->LineTo(int(W), p);
        }
    };
    canvas->Pen()->SetColor(clBlack);
    long long step = frequency_ > 0 ? frequency_ : range;
    if (range / step > 4 * std::max<long long>(length, 1)) {
        // Denser than the pixels: every column between the ends carries a tick.
        for (int p = place(min_); p <= place(max_); ++p) tick(p);
        return;
    }
    for (long long i = min_; i < max_; i += step) tick(place(i));
    tick(place(max_));
}

// ---- mouse and keys ----

void TdvxTrackBar::TakeFocus() {
    if (!DVXCanFocus() || !CanFocus() || !Enabled()) return;
    try {
        SetFocus();
    } catch (const std::exception&) {
    }
}

void TdvxTrackBar::PageTowards(int x, int y, long long step) {
    bool horizontal = orientation_ == dvxHorizontal;
    int edge = horizontal ? slider_->Left() : slider_->Top();
    int at = horizontal ? x : y;
    long long under = std::clamp(GetPositionFromFromSliderPos(x, y), min_, max_);
    if (edge < at)
        SetPosition(int(std::clamp<long long>(std::min<long long>(position_ + step, under), min_, max_)));
    else if (edge > at)
        SetPosition(int(std::clamp<long long>(std::max<long long>(position_ - step, under), min_, max_)));
}

void TdvxTrackBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TdvxControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || dragging_) return;
    PageTowards(x, y, pageSize_);
    if (!timer_) {
        timer_ = std::make_unique<TTimer>(nullptr);
        timer_->SetInterval(100);
        timer_->SetOnTimer([this](TObject*) {
            TPoint p = ScreenToClient(Mouse->CursorPos());
            long long step = orientation_ == dvxHorizontal ? 3LL * pageSize_ : pageSize_;
            PageTowards(p.x, p.y, step);
        });
        timer_->SetEnabled(true);
    }
    TakeFocus();
}

void TdvxTrackBar::MouseMove(TShiftState shift, int x, int y) {
    TdvxControl::MouseMove(shift, x, y);
    if (dragging_) {
        UpdatePositionValue(x, y, false);
        TPoint p = GetSliderPosFromPosition();
        slider_->SetBounds(p.x, p.y, slider_->Width(), slider_->Height());
        ReportChange();
        return;
    }
    if (x < 0 || x > Width() || y < 0 || y > Height()) timer_.reset();
}

void TdvxTrackBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TdvxControl::MouseUp(button, shift, x, y);
    timer_.reset();
    dragging_ = false;
    SetMouseCapture(false);
}

void TdvxTrackBar::SliderMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) {
        grabOffset_ = orientation_ == dvxHorizontal ? x : y;
        dragging_ = true;
        TakeFocus();
        SetMouseCapture(true);
    }
    if (OnMouseDown) OnMouseDown(this, button, shift, x + slider_->Left(), y + slider_->Top());
}

void TdvxTrackBar::SliderMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x + slider_->Left(), y + slider_->Top());
}

void TdvxTrackBar::KeyDown(WORD& key, TShiftState shift) {
    TdvxControl::KeyDown(key, shift);
    long long p = position_;
    switch (key) {
        case VK_PRIOR: p -= pageSize_; break;
        case VK_NEXT: p += pageSize_; break;
        case VK_END: p = max_; break;
        case VK_HOME: p = min_; break;
        case VK_LEFT:
        case VK_UP: p -= lineSize_; break;
        case VK_RIGHT:
        case VK_DOWN: p += lineSize_; break;
        default: return;
    }
    SetPosition(int(std::clamp<long long>(p, min_, max_)));
}

void TdvxTrackBar::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_GETDLGCODE:
            TdvxControl::Dispatch(m);
            m.Result = DLGC_WANTARROWS;
            return;
        case CM_FOCUSCHANGED:
            TdvxControl::Dispatch(m);
            Refreshed();
            return;
        default:
            TdvxControl::Dispatch(m);
    }
}

// ---------------------------------------------------------------- TdvxScrollTrackBar

TdvxScrollTrackBar::TdvxScrollTrackBar(TComponent* owner) : TdvxTrackBar(owner) {
    SetTabStop(false);
    slider_->SetTabStop(false);
    slider_->SetControlStyle(ControlStyle());
}

}  // namespace skinctrl
