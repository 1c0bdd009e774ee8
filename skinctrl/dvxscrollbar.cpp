#include "skinctrl/dvxscrollbar.h"

#include <algorithm>
#include <limits>

#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

TdvxScrollBar::TdvxScrollBar(TComponent* owner)
    : TdvxControl(owner),
      piece1_(std::make_unique<TBitmap>()),
      piece2_(std::make_unique<TBitmap>()),
      piece3_(std::make_unique<TBitmap>()) {
    SetControlStyle(ControlStyle() & ~csAcceptsControls);
    track_ = new TdvxScrollTrackBar(this);
    track_->SetParent(this);
    track_->SetShowTick(false);
    track_->SetTabStop(false);
    track_->SetTransparent(false);
    track_->SetMax(100);
    incButton_ = new TdvxImageButton(this);
    decButton_ = new TdvxImageButton(this);
    for (TdvxImageButton* b : {incButton_, decButton_}) {
        b->SetParent(this);
        b->SetTabStop(false);
        b->SetTransparent(true);  // the pictures' corner colour shows the bar
        b->SetMouseContinuouslyDownInterval(100);
    }
    // One step at the press, then one per tick while held: a quick click still steps.
    incButton_->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState, int, int) {
        if (b == mbLeft) Step(smallChange_);
    };
    decButton_->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState, int, int) {
        if (b == mbLeft) Step(-smallChange_);
    };
    incButton_->OnMouseContinuouslyDown = [this](TObject*) { Step(smallChange_); };
    decButton_->OnMouseContinuouslyDown = [this](TObject*) { Step(-smallChange_); };
    SetBevelOuter(bvNone);
    SetBevelInner(bvNone);
    SetHeight(185);
    constructed_ = true;  // placing before the buttons have pictures would size the bar to 0
    UIStyleChanged();
}

TdvxScrollBar::~TdvxScrollBar() = default;

void TdvxScrollBar::Step(int delta) {
    long long p = (long long)track_->Position() + delta;
    track_->SetPosition(int(std::clamp<long long>(p, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
}

void TdvxScrollBar::SetPageSize(int value) {
    track_->SetPageSize(value);
    UpdateSliderPic();
}

void TdvxScrollBar::SetLineButton(int value) {
    if (value == lineButton_) return;
    long long freeLength = orientation_ == dvxHorizontal
                               ? (long long)Width() - incButton_->Width() - decButton_->Width()
                               : (long long)Height() - incButton_->Height() - decButton_->Height();
    if (value > freeLength) return;
    lineButton_ = value;
    UpdateSliderPic();
}

void TdvxScrollBar::SetOrientation(TdvxProgressBarOrientation value) {
    if (!Store(orientation_, value)) return;
    UpdatePictures();
    PlaceTrackBarAndButton();
}

void TdvxScrollBar::UIStyleChanged() {
    track_->SetColor(Color());
    UpdatePictures();
    PlaceTrackBarAndButton();
}

void TdvxScrollBar::UpdatePictures() {
    track_->BarImage()->Assign(nullptr);
    TdvxUIStyle style;
    TBitmap* dec[3] = {decButton_->PicNormal()->Bitmap(), decButton_->PicMouseOn()->Bitmap(),
                       decButton_->PicMouseDown()->Bitmap()};
    TBitmap* inc[3] = {incButton_->PicNormal()->Bitmap(), incButton_->PicMouseOn()->Bitmap(),
                       incButton_->PicMouseDown()->Bitmap()};
    if (UsingTheme(style)) {
        TdvxFileTheme* theme = GetFileTheme();
        SetColor(theme->GetColor(SKIN2_SCROLLBARCOLOR));
        TBitmap track;
        if (TBitmap* b = theme->GetBitmap(SKIN2_SCROLLBAR)) track.Assign(b);
        if (!track.Empty()) RoundPicture(&track);
        SpitBitmap(&track, piece1_.get(), 3, 1);
        SpitBitmap(&track, piece2_.get(), 3, 2);
        SpitBitmap(&track, piece3_.get(), 3, 3);
        for (int f = 0; f < 3; ++f) {
            theme->GetBitmap2(SKIN2_SCROLLBARUPBUTTON, dec[f], 3, f + 1);
            theme->GetBitmap2(SKIN2_SCROLLBARDOWNBUTTON, inc[f], 3, f + 1);
        }
    } else {
        SetColor(GetInsideThemeColor(style, DVX_THEME_SCROLLBAR_COLOR));
        GetInsideThemeBitmap(style, DVX_THEME_SCROLLBAR_TRACK_IMAGE, piece1_.get(), 3, 1);
        GetInsideThemeBitmap(style, DVX_THEME_SCROLLBAR_TRACK_IMAGE, piece2_.get(), 3, 2);
        GetInsideThemeBitmap(style, DVX_THEME_SCROLLBAR_TRACK_IMAGE, piece3_.get(), 3, 3);
        for (int f = 0; f < 3; ++f) {
            GetInsideThemeBitmap(style, DVX_THEME_SCROLLBAR_BUTTON_IMAGE, dec[f], 6, f + 1);
            GetInsideThemeBitmap(style, DVX_THEME_SCROLLBAR_BUTTON_IMAGE, inc[f], 6, f + 4);
        }
    }
    track_->SetColor(Color());
    track_->UpdateControl();
    // Button pictures are drawn for a vertical bar, slider pieces for a horizontal one.
    if (orientation_ == dvxHorizontal) {
        for (TBitmap* b : dec)
            if (!b->Empty()) RoundPicture(b);
        for (TBitmap* b : inc)
            if (!b->Empty()) RoundPicture(b);
    } else {
        for (TBitmap* b : {piece1_.get(), piece2_.get(), piece3_.get()})
            if (!b->Empty()) RoundPicture3(b);
    }
    for (TdvxImageButton* b : {incButton_, decButton_}) {
        b->SetAutoSize2(false);
        b->SetAutoSize2(true);
        b->Repaint();
    }
    Refreshed();
}

void TdvxScrollBar::PlaceTrackBarAndButton() {
    if (placing_ || !constructed_) return;  // resizing ourselves below comes back here
    placing_ = true;
    track_->SetOrientation(orientation_);
    if (Width() == 0 || Height() == 0) {
        SetVisible(false);
        placing_ = false;
        return;
    }
    int ih = incButton_->Height(), iw = incButton_->Width();
    int dh = decButton_->Height(), dw = decButton_->Width();
    if (orientation_ == dvxVertical) {
        decButton_->SetBounds(0, 0, dw, dh);
        track_->SetBounds(0, dh, track_->Width(), std::max(Height() - ih - dh, 0));
        incButton_->SetBounds(0, Height() - ih, iw, ih);
        SetWidth(dw);
    } else {
        decButton_->SetBounds(0, 0, dw, dh);
        track_->SetBounds(dw, 0, std::max(Width() - iw - dw, 0), track_->Height());
        incButton_->SetBounds(Width() - iw, 0, iw, ih);
        SetHeight(dh);
    }
    UpdateSliderPic();
    placing_ = false;
}

void TdvxScrollBar::UpdateSliderPic() {
    bool vertical = orientation_ == dvxVertical;
    int thickness = vertical ? piece1_->Width() : piece1_->Height();
    int trackLength = vertical ? track_->Height() : track_->Width();
    int length = 0;
    if (lineButton_ > 0) {
        if (lineButton_ < 16) lineButton_ = 16;
        length = lineButton_;
    } else {
        long long p = track_->PageSize();
        if (p < 10 || p > 100) p = 10;
        if (trackLength > 0) length = int((long long)trackLength * p / 100);
    }
    if (thickness <= 0 || length <= 0) return;
    TBitmap thumb;
    thumb.SetPixelFormat(pf24bit);
    if (vertical)
        thumb.SetSize(thickness, length);
    else
        thumb.SetSize(length, thickness);
    TCanvas* c = thumb.Canvas();
    for (TBitmap* b : {piece1_.get(), piece2_.get(), piece3_.get()}) b->SetTransparent(false);
    c->Draw(0, 0, piece1_.get());
    if (vertical) {
        int end = length - piece3_->Height();
        c->Draw(0, end, piece3_.get());
        if (end > piece1_->Height()) c->StretchDraw(TRect(0, piece1_->Height(), thickness, end), piece2_.get());
    } else {
        int end = length - piece3_->Width();
        c->Draw(end, 0, piece3_.get());
        if (end > piece1_->Width()) c->StretchDraw(TRect(piece1_->Width(), 0, end, thickness), piece2_.get());
    }
    // The thumb is drawn opaque: its pieces' key colour becomes the bar's colour.
    ScanColor(&thumb, DVX_KEY_COLOR, Color());
    TPicture picture;
    picture.SetGraphic(&thumb);
    track_->SetSliderImage(&picture);
    track_->UpdateSliderSize();
    track_->UpdateSlider();
}

void TdvxScrollBar::Resize() {
    TdvxControl::Resize();
    PlaceTrackBarAndButton();
}

void TdvxScrollBar::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_COLORCHANGED:
            TdvxControl::Dispatch(m);
            track_->SetColor(Color());
            return;
        case CM_VISIBLECHANGED:
            TdvxControl::Dispatch(m);
            track_->SetVisible(Visible());
            incButton_->SetVisible(Visible());
            decButton_->SetVisible(Visible());
            return;
        default:
            TdvxControl::Dispatch(m);
    }
}

}  // namespace skinctrl
