// Panels, pictures and bevels.
#include "platform/controls/extctrls.h"

#include <algorithm>

namespace platform {

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
    canvas->Pen()->SetWidth(1);
    --rect.right;
    --rect.bottom;
    for (int i = 0; i < width; ++i) {
        canvas->Pen()->SetColor(topColor);
        canvas->Polyline({TPoint(rect.left, rect.bottom), TPoint(rect.left, rect.top), TPoint(rect.right, rect.top)});
        canvas->Pen()->SetColor(bottomColor);
        canvas->Polyline({TPoint(rect.right, rect.top), TPoint(rect.right, rect.bottom), TPoint(rect.left - 1, rect.bottom)});
        InflateRect(&rect, -1, -1);
    }
    ++rect.right;
    ++rect.bottom;
}

// ---------------------------------------------------------------- TCustomPanel

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks |
                    csReplicatable;
    width_ = 185;
    height_ = 41;
    color_ = clBtnFace;
    brush_->SetColor(color_);
}

void TCustomPanel::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
    params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCustomPanel::AdjustClientRect(TRect& rect) const {
    int inset = borderWidth_ + (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
    InflateRect(&rect, -inset, -inset);
}

void TCustomPanel::FrameChanged() {
    Realign();
    Refreshed();
}

void TCustomPanel::SetAlignment(TAlignment value) {
    if (alignment_ == value) return;
    alignment_ = value;
    Refreshed();
}

void TCustomPanel::SetBevelInner(TBevelCut value) {
    if (bevelInner_ == value) return;
    bevelInner_ = value;
    FrameChanged();
}

void TCustomPanel::SetBevelOuter(TBevelCut value) {
    if (bevelOuter_ == value) return;
    bevelOuter_ = value;
    FrameChanged();
}

void TCustomPanel::SetBevelWidth(int value) {
    value = std::max(1, value);
    if (bevelWidth_ == value) return;
    bevelWidth_ = value;
    FrameChanged();
}

void TCustomPanel::SetBorderWidth(int value) {
    value = std::max(0, value);
    if (borderWidth_ == value) return;
    borderWidth_ = value;
    FrameChanged();
}

void TCustomPanel::SetBorderStyle(TBorderStyle value) {
    if (borderStyle_ == value) return;
    borderStyle_ = value;
    RecreateWnd();
}

void TCustomPanel::Paint() {
    TCanvas* canvas = Canvas();
    TRect rect = ClientRect();
    auto bevel = [&](TBevelCut cut) {
        TColor top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
        TColor bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
        if (cut == bvSpace) top = bottom = Color();
        Frame3D(canvas, rect, top, bottom, bevelWidth_);
    };
    if (bevelOuter_ != bvNone) bevel(bevelOuter_);
    Frame3D(canvas, rect, Color(), Color(), borderWidth_);
    if (bevelInner_ != bvNone) bevel(bevelInner_);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(rect);
    std::string caption = Caption();
    if (caption.empty()) return;
    canvas->Brush()->SetStyle(bsClear);
    canvas->SetFont(Font());
    static const UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    DrawText(TextDC(canvas), caption, &rect, DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | kAlign[alignment_]);
}

void TCustomPanel::Dispatch(TMessage& m) {
    if (m.Msg == CM_TEXTCHANGED) {
        Invalidate();
        return;
    }
    TCustomControl::Dispatch(m);
}

// ---------------------------------------------------------------- TImage

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    controlStyle_ |= csReplicatable;
    picture_ = new TPicture;
    picture_->OnChange = [this](TObject*) { PictureChanged(); };
    width_ = 105;
    height_ = 105;
}

TImage::~TImage() {
    delete picture_;
    picture_ = nullptr;
}

void TImage::SetStretch(bool value) {
    if (stretch_ == value) return;
    stretch_ = value;
    Refreshed();
}

void TImage::SetCenter(bool value) {
    if (center_ == value) return;
    center_ = value;
    Refreshed();
}

void TImage::SetProportional(bool value) {
    if (proportional_ == value) return;
    proportional_ = value;
    Refreshed();
}

void TImage::SetTransparent(bool value) {
    if (transparent_ == value) return;
    transparent_ = value;
    PictureChanged();
}

void TImage::SetAutoSize(bool value) {
    if (autoSize_ == value) return;
    autoSize_ = value;
    PictureChanged();
}

TRect TImage::DestRect() const {
    int w = picture_->Width(), h = picture_->Height();
    int cw = ClientWidth(), ch = ClientHeight();
    if (stretch_ || (proportional_ && (w > cw || h > ch))) {
        if (proportional_ && w > 0 && h > 0) {
            // Keep the aspect: fit the longer side.
            if (std::int64_t(cw) * h > std::int64_t(ch) * w) {
                w = int(std::int64_t(w) * ch / h);
                h = ch;
            } else {
                h = int(std::int64_t(h) * cw / w);
                w = cw;
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    TRect r(0, 0, w, h);
    if (center_) OffsetRect(&r, (cw - w) / 2, (ch - h) / 2);
    return r;
}

void TImage::Paint() {
    TGraphic* graphic = picture_->Graphic();
    if (!graphic || graphic->Empty()) return;
    graphic->SetTransparent(transparent_);
    Canvas()->StretchDraw(DestRect(), graphic);
}

void TImage::PictureChanged() {
    TGraphic* graphic = picture_->Graphic();
    if (autoSize_ && graphic && !graphic->Empty()) SetBounds(left_, top_, graphic->Width(), graphic->Height());
    bool opaque = graphic && !graphic->Empty() && !transparent_ &&
                  (stretch_ || (graphic->Width() >= width_ && graphic->Height() >= height_));
    if (opaque)
        controlStyle_ |= csOpaque;
    else
        controlStyle_ &= ~csOpaque;
    Invalidate();
}

// ---------------------------------------------------------------- TBevel

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
    controlStyle_ |= csReplicatable;
    width_ = 50;
    height_ = 50;
}

void TBevel::SetShape(TBevelShape value) {
    if (shape_ == value) return;
    shape_ = value;
    Refreshed();
}

void TBevel::SetStyle(TBevelStyle value) {
    if (style_ == value) return;
    style_ = value;
    Refreshed();
}

void TBevel::Paint() {
    TCanvas* canvas = Canvas();
    TColor first = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor second = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
    int w = width_, h = height_;
    auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
        canvas->Pen()->SetColor(color);
        canvas->MoveTo(x1, y1);
        canvas->LineTo(x2, y2);
    };
    switch (shape_) {
        case bsBox: {
            TRect r = ClientRect();
            Frame3D(canvas, r, first, second, 1);
            break;
        }
        case bsFrame: {
            TRect outer(0, 0, w - 1, h - 1), inner(1, 1, w, h);
            Frame3D(canvas, outer, first, first, 1);
            Frame3D(canvas, inner, second, second, 1);
            break;
        }
        case bsTopLine:
            line(first, 0, 0, w, 0);
            line(second, 0, 1, w, 1);
            break;
        case bsBottomLine:
            line(first, 0, h - 2, w, h - 2);
            line(second, 0, h - 1, w, h - 1);
            break;
        case bsLeftLine:
            line(first, 0, 0, 0, h);
            line(second, 1, 0, 1, h);
            break;
        case bsRightLine:
            line(first, w - 2, 0, w - 2, h);
            line(second, w - 1, 0, w - 1, h);
            break;
        case bsSpacer: break;
    }
}

}  // namespace platform
