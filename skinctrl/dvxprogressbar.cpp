#include "skinctrl/dvxprogressbar.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/graphics/gdi.h"
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

// The source's top and bottom two rows copied, the rows between stretched to the rest.
void CapStretchVertical(TCanvas* canvas, TBitmap* src, const TRect& dst) {
    if (!src || src->Empty() || dst.left < 0 || dst.Width() <= 0 || dst.Height() <= 0) return;
    TCanvas* s = src->Canvas();
    int sh = src->Height(), sw = src->Width();
    if (dst.Height() < 2) {
        canvas->CopyRect(TRect(dst.left, dst.top, dst.right, dst.bottom), s, TRect(0, 0, sw, dst.Height()));
        return;
    }
    canvas->CopyRect(TRect(dst.left, dst.top, dst.right, dst.top + 2), s, TRect(0, 0, sw, 2));
    canvas->CopyRect(TRect(dst.left, dst.bottom - 2, dst.right, dst.bottom), s, TRect(0, sh - 2, sw, sh));
    if (dst.Height() > 4 && sh > 4)
        canvas->CopyRect(TRect(dst.left, dst.top + 2, dst.right, dst.bottom - 2), s, TRect(0, 2, sw, sh - 2));
}

void CapStretchHorizontal(TCanvas* canvas, TBitmap* src, const TRect& dst) {
    if (!src || src->Empty() || dst.left < 0 || dst.Width() <= 0 || dst.Height() <= 0) return;
    TCanvas* s = src->Canvas();
    int sh = src->Height(), sw = src->Width();
    if (dst.Width() < 2) {
        canvas->CopyRect(dst, s, TRect(0, 0, dst.Width(), sh));
        return;
    }
    canvas->CopyRect(TRect(dst.left, dst.top, dst.left + 2, dst.bottom), s, TRect(0, 0, 2, sh));
    canvas->CopyRect(TRect(dst.right - 2, dst.top, dst.right, dst.bottom), s, TRect(sw - 2, 0, sw, sh));
    if (dst.Width() > 4 && sw > 4)
        canvas->CopyRect(TRect(dst.left + 2, dst.top, dst.right - 2, dst.bottom), s, TRect(2, 0, sw - 2, sh));
}

std::unique_ptr<TBitmap> Copy24(TBitmap* source, bool rotate) {
    auto b = std::make_unique<TBitmap>();
    if (source) b->Assign(source);
    b->SetPixelFormat(pf24bit);
    if (rotate && !b->Empty()) RoundPicture(b.get());
    return b;
}

}  // namespace

TdvxProgressBar::TdvxProgressBar(TComponent* owner) : TdvxControl(owner), picture_(std::make_unique<TPicture>()) {
    SetControlStyle(ControlStyle() & ~csAcceptsControls);
    picture_->OnChange = [this](TObject*) { Refreshed(); };
    SetBounds(Left(), Top(), 150, 12);
    SetText("50%");
    SetColor(clBtnFace);
    UpdatePicture();
    UpdateProgress();
}

TdvxProgressBar::~TdvxProgressBar() { picture_->OnChange = nullptr; }

void TdvxProgressBar::SetMax(int value) {
    max_ = value;
    UpdateProgress();
}
void TdvxProgressBar::SetMin(int value) {
    min_ = value;
    UpdateProgress();
}
void TdvxProgressBar::SetPosition(int value) {
    position_ = value;
    UpdateProgress();
}
void TdvxProgressBar::StepBy(int delta) { SetPosition(Saturate((long double)position_ + delta)); }

void TdvxProgressBar::SetOrientation(TdvxProgressBarOrientation value) {
    orientation_ = value;
    UpdatePicture();
}
void TdvxProgressBar::SetBorderColor(TColor value) {
    borderColor_ = value;
    Refreshed();
}
void TdvxProgressBar::SetBarColor(TColor value) {
    SetColor(value);
    Refreshed();
}
void TdvxProgressBar::SetCaptionColor(TColor value) {
    captionColor_ = value;
    Refreshed();
}
void TdvxProgressBar::SetShowCaption(bool value) {
    showCaption_ = value;
    Refreshed();
}
void TdvxProgressBar::SetSmartShowCaption(bool value) {
    smartShowCaption_ = value;
    Refreshed();
}
void TdvxProgressBar::SetPicture(TPicture* value) {
    picture_->Assign(value);
    Refreshed();
}

int TdvxProgressBar::GetPercentFromPosition() const {
    if (max_ == min_) return 0;
    long double v = ((long double)position_ - min_) / ((long double)max_ - min_) * 100;
    return Saturate(std::trunc(v));
}

int TdvxProgressBar::GetWidthFromPosition(int total) const {
    if (max_ <= min_ || position_ <= min_) return 0;
    if (position_ > max_) return total;
    return Saturate(std::trunc(((long double)position_ - min_) / ((long double)max_ - min_) * total));
}

void TdvxProgressBar::UpdateProgress() {
    SetText(std::to_string(GetPercentFromPosition()) + "%");
    Refreshed();
}

void TdvxProgressBar::UpdatePicture() {
    TdvxUIStyle style;
    bool vertical = orientation_ == dvxVertical;
    themeStart_.reset();
    themeMiddle_.reset();
    themeEnd_.reset();
    if (UsingTheme(style)) {
        TdvxFileTheme* theme = GetFileTheme();
        if (TBitmap* b = theme->GetBitmap(SKIN2_PROGRESSBAR2))
            picture_->Bitmap()->Assign(b);
        else
            picture_->Assign(nullptr);
        SetColor(theme->GetColor(SKIN2_CONTROLCOLOR));
        borderColor_ = theme->GetColor(SKIN2_CONTROLBORDERCOLOR);
        TBitmap* start = theme->GetBitmap(SKIN2_PROGRESSBAR1);
        TBitmap* middle = theme->GetBitmap(SKIN2_PROGRESSBAR3);
        TBitmap* end = theme->GetBitmap(SKIN2_PROGRESSBAR4);
        if (start && middle && end) {
            themeStart_ = Copy24(start, vertical);
            themeMiddle_ = Copy24(middle, vertical);
            themeEnd_ = Copy24(end, vertical);
        }
    } else {
        TBitmap pic;
        GetInsideThemeBitmap(style, DVX_THEME_PROGRESSBAR_IMAGE, &pic, 0, 0);
        picture_->Bitmap()->Assign(&pic);
        SetColor(GetInsideThemeColor(style, DVX_THEME_CONTROL_COLOR));
        borderColor_ = GetInsideThemeColor(style, DVX_THEME_CONTROL_BORDER_COLOR);
    }
    if (vertical && !picture_->Bitmap()->Empty()) RoundPicture(picture_->Bitmap());
    Refreshed();
}

void TdvxProgressBar::PaintBuffer(TCanvas* canvas) {
    int W = ClientWidth(), H = ClientHeight();
    TGraphic* g = picture_->Graphic();
    bool hasPicture = g && !g->Empty();
    bool themed = themeStart_ && themeMiddle_ && themeEnd_;
    canvas->Brush()->SetStyle(bsSolid);
    if (!themed) {
        if (orientation_ == dvxHorizontal) {
            int x = GetWidthFromPosition(W - 1);
            if (x == 0) x = 1;
            if (hasPicture) canvas->StretchDraw(TRect(1, 1, x, H - 1), g);
            canvas->Brush()->SetColor(Color());
            canvas->FillRect(TRect(x, 1, W - 1, H - 1));
        } else {
            int y = (H - 1) - GetWidthFromPosition(H - 1);
            if (y == 0) y = 1;
            // Bottom above top: the picture grows upwards, mirrored.
            if (hasPicture) canvas->StretchDraw(TRect(1, H - 2, W - 1, y - 1), g);
            canvas->Brush()->SetColor(Color());
            canvas->FillRect(TRect(1, 1, W - 1, y));
            showCaption_ = false;  // a vertical bar never shows its caption
        }
    } else {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(TRect(0, 0, W, H));
        TBitmap* fill = hasPicture ? picture_->Bitmap() : nullptr;
        if (orientation_ == dvxHorizontal) {
            int s = themeStart_->Width(), e = themeEnd_->Width();
            int f = GetWidthFromPosition(W - s - e);
            CapStretchVertical(canvas, themeStart_.get(), TRect(0, 0, s, H));
            CapStretchVertical(canvas, fill, TRect(s, 0, s + f, H));
            CapStretchVertical(canvas, themeMiddle_.get(), TRect(s + f, 0, W - e, H));
            CapStretchVertical(canvas, themeEnd_.get(), TRect(W - e, 0, W, H));
        } else {
            int s = themeStart_->Height(), e = themeEnd_->Height();
            int f = GetWidthFromPosition(H - s - e);
            CapStretchHorizontal(canvas, themeEnd_.get(), TRect(0, 0, W, e));
            CapStretchHorizontal(canvas, themeMiddle_.get(), TRect(0, e, W, H - s - f));
            CapStretchHorizontal(canvas, fill, TRect(0, H - s - f, W, H - s));
            CapStretchHorizontal(canvas, themeStart_.get(), TRect(0, H - s, W, H));
        }
    }
    if (showCaption_ && (!smartShowCaption_ || position_ != min_)) {
        std::string text = Text();
        TFont plain;  // the buffer's default font, not the control's
        canvas->SetFont(&plain);
        canvas->Font()->SetColor(captionColor_);
        canvas->Brush()->SetStyle(bsClear);
        int tw = canvas->TextWidth(text), th = canvas->TextHeight(text);
        canvas->TextOut((W - tw) / 2, (H - th) / 2, text);
    }
    if (!themed) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(borderColor_);
        canvas->FrameRect(TRect(0, 0, W, H));
    }
}

}  // namespace skinctrl
