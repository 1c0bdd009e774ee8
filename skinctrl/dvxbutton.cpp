#include "skinctrl/dvxbutton.h"

#include <algorithm>

#include "platform/controls/stdctrls.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "platform/graphics/imglist.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

namespace {

bool KeyHeld(int key) { return GetKeyState(key) < 0; }

// Draws text with DrawText flags in rect on the canvas's DC, in colour.
void DrawCaption(TCanvas* canvas, const std::string& text, TRect rect, UINT flags, TColor color) {
    canvas->Font()->SetColor(color);
    HDC dc = TextDC(canvas);
    DrawText(dc, text, &rect, flags);
}

}  // namespace

// ---------------------------------------------------------------- TdvxCustomButton

TdvxCustomButton::TdvxCustomButton(TComponent* owner) : TdvxControl(owner) {
    SetControlStyle(ControlStyle() & ~(csAcceptsControls | csDoubleClicks));
    SetTabStop(true);
}

TdvxCustomButton::~TdvxCustomButton() { timer_.reset(); }

void TdvxCustomButton::SetCaption2(const std::string& value) {
    caption_ = value;
    SetText(value);  // CM_TEXTCHANGED comes back here once; the second SetText is a no-op
    CaptionChanged();
    Refreshed();
}

void TdvxCustomButton::SetAutoSize2(bool value) {
    if (!Store(autoSize_, value)) return;
    AutoSizeChanged();
    Refreshed();
}

void TdvxCustomButton::SetDefault(bool value) {
    default_ = value;
    if (!HandleAllocated()) return;
    if (TCustomForm* form = GetParentForm())
        form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
}

void TdvxCustomButton::SetTransparent(bool value) {
    if (!Store(transparent_, value)) return;
    TransparentChanged();
    Refreshed();
}

void TdvxCustomButton::SetPicTransparent(bool value) {
    if (!Store(picTransparent_, value)) return;
    Refreshed();
}

void TdvxCustomButton::SetFocusedRectMargin(int value) {
    if (!Store(focusedRectMargin_, value)) return;
    Refreshed();
}

void TdvxCustomButton::SetEnabled(bool value) {
    TdvxControl::SetEnabled(value);
    EnableChanged();
    Refreshed();
}

void TdvxCustomButton::FontChangedHook() {
    if (Canvas()) Canvas()->SetFont(Font());
    Refreshed();
}

void TdvxCustomButton::CreateWnd() {
    TdvxControl::CreateWnd();
    activeDefault_ = default_;
}

void TdvxCustomButton::AutoSizeChanged() {
    if (!autoSize_) return;
    TBitmap strip;
    TdvxUIStyle style;
    if (UsingTheme(style)) {
        if (TBitmap* b = GetFileTheme()->GetBitmap(SKIN2_BUTTON)) strip.Assign(b);
    } else {
        GetInsideThemeBitmap(style, DVX_THEME_BUTTON_IMAGE, &strip, 0, 0);
    }
    int h = strip.Empty() ? 21 : strip.Height();
    int w = strip.Empty() ? 74 : strip.Width();
    SetBounds(Left(), Top(), w / 3, h);
}

void TdvxCustomButton::LoadStrip(TBitmap* picture, int frame) {
    TdvxUIStyle style;
    if (UsingTheme(style))
        GetFileTheme()->GetBitmap2(SKIN2_BUTTON, picture, 3, frame);
    else
        GetInsideThemeBitmap(style, DVX_THEME_BUTTON_IMAGE, picture, 3, frame);
}

void TdvxCustomButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) {
        mouseDown_ = true;
        if (!timer_) {
            timer_ = std::make_unique<TTimer>(nullptr);
            timer_->SetInterval(UINT(std::max(repeatInterval_, 0)));
            timer_->SetOnTimer([this](TObject*) {
                if (OnMouseContinuouslyDown) OnMouseContinuouslyDown(this);
            });
            timer_->SetEnabled(true);
        }
        if (TabStop() && CanFocus() && Enabled() && Visible()) {
            try {
                SetFocus();
            } catch (const std::exception&) {
                // A button that cannot take the focus still presses.
            }
        }
        Refreshed();
    }
    TdvxControl::MouseDown(button, shift, x, y);
}

void TdvxCustomButton::MouseMove(TShiftState shift, int x, int y) {
    TdvxControl::MouseMove(shift, x, y);
    if (x < 0 || y < 0 || x > Width() || y > Height()) {
        if (mouseOver_ || mouseDown_) {
            mouseOver_ = false;
            mouseDown_ = false;
            Refreshed();
        }
    }
}

void TdvxCustomButton::Click() {
    if (mouseDown_) {
        StopRepeat();
        mouseDown_ = false;
        Refreshed();
    }
    if (Parent())
        if (TCustomForm* form = GetParentForm()) form->SetModalResult(modalResult_);
    TdvxControl::Click();
}

void TdvxCustomButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_MOUSEENTER:
            if (ComponentState() & csDesigning) return;
            mouseOver_ = true;
            Refreshed();
            if (OnMouseEnter) OnMouseEnter(this);
            return;
        case CM_MOUSELEAVE:
            mouseOver_ = false;
            mouseDown_ = false;
            StopRepeat();
            Refreshed();
            if (OnMouseExit) OnMouseExit(this);
            return;
        case CM_CANCELMODE:
            TdvxControl::Dispatch(m);
            mouseOver_ = mouseDown_ = false;
            StopRepeat();
            Refreshed();
            return;
        case CM_FONTCHANGED:
            TdvxControl::Dispatch(m);
            FontChangedHook();
            return;
        case CM_TEXTCHANGED:
            SetCaption2(Text());
            return;
        case CM_FOCUSCHANGED: {
            auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
            if (dynamic_cast<TdvxButton*>(focused))
                activeDefault_ = focused == this;
            else
                activeDefault_ = default_;
            Refreshed();
            return;
        }
        case CM_DIALOGKEY: {
            WORD key = WORD(m.WParam);
            bool plain = !KeyHeld(VK_SHIFT) && !KeyHeld(VK_CONTROL) && !KeyHeld(VK_MENU);
            if (plain && ((key == VK_RETURN && activeDefault_) || (key == VK_ESCAPE && cancel_)) && CanFocus()) {
                Click();
                m.Result = 1;
                return;
            }
            TdvxControl::Dispatch(m);
            return;
        }
        case CM_DIALOGCHAR: {
            TdvxControl::Dispatch(m);
            bool alt = KeyHeld(VK_MENU) || (KeyDataToShiftState(m.LParam) & ssAlt);
            bool skinnedFocus = false;
            if (HWND focus = GetFocus())
                skinnedFocus = SendMessage(focus, DVXM_CANPROCESSKEY, 0, 0) == 1;
            if (IsAccel(WORD(m.WParam), caption_) && (alt || skinnedFocus) && Parent() && Parent()->Enabled() &&
                Enabled() && Visible()) {
                Click();
                m.Result = 1;
                return;
            }
            m.Result = 0;
            return;
        }
        case DVXM_CANPROCESSKEY:
            m.Result = 1;
            return;
        case WM_KEYDOWN:
            if ((m.WParam == VK_SPACE || m.WParam == VK_RETURN) && Focused() && Enabled()) {
                mouseDown_ = true;
                Refreshed();
            }
            TdvxControl::Dispatch(m);
            return;
        case WM_KEYUP: {
            bool click = (m.WParam == VK_SPACE || m.WParam == VK_RETURN) && Focused() && mouseDown_ && Enabled();
            TdvxControl::Dispatch(m);
            if (click) {
                mouseDown_ = false;
                Refreshed();
                Click();
            }
            return;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            TdvxControl::Dispatch(m);
            Refreshed();
            return;
        default:
            TdvxControl::Dispatch(m);
    }
}

void TdvxCustomButton::PaintBuffer(TCanvas* canvas) {
    TBitmap picture;
    try {
        if (!Enabled())
            PaintButtonDisabled(&picture);
        else if (mouseDown_)
            PaintButtonMouseDown(&picture);
        else if (mouseOver_)
            PaintButtonMouseOn(&picture);
        else
            PaintButtonNormal(&picture);
    } catch (const std::exception&) {
        // A picture that cannot be made leaves a blank one; the caption still shows.
        picture.Assign(nullptr);
        picture.SetSize(74, 21);
    }
    picture.SetTransparent(picTransparent_);
    if (!transparent_) {
        canvas->Brush()->SetColor(Color());
        canvas->Brush()->SetStyle(bsSolid);
        canvas->FillRect(TRect(0, 0, Width(), Height()));
    }
    PaintPic(canvas, &picture);
    if (Focused() && TabStop()) PaintFocus(canvas);
    canvas->SetFont(Font());
    if (!Trim(caption_).empty()) PaintText(canvas, caption_);
}

void TdvxCustomButton::PaintPic(TCanvas* canvas, TBitmap* picture) {
    if (picture->Empty()) return;
    TCustomImageList list(picture->Width(), picture->Height());
    if (picTransparent_)
        list.AddMasked(picture, picture->Canvas()->Pixels(0, 0));
    else
        list.Add(picture, nullptr);
    list.Draw(canvas, 0, 0, 0, Enabled());
}

void TdvxCustomButton::PaintFocus(TCanvas* canvas) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->DrawFocusRect(TRect(focusedRectMargin_, focusedRectMargin_, ClientWidth() - focusedRectMargin_,
                                ClientHeight() - focusedRectMargin_));
}

void TdvxCustomButton::PaintText(TCanvas* canvas, const std::string& /*text*/) {
    canvas->Brush()->SetStyle(bsClear);
    canvas->SetFont(Font());
    if (boldCaption_) canvas->Font()->SetStyle(canvas->Font()->Style() + TFontStyles{fsBold});
    TRect client = ClientRect();
    TRect measure = client;
    DrawText(TextDC(canvas), caption_, &measure, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK);
    int dx = (client.Width() - measure.Width()) / 2;
    int dy = (client.Height() - measure.Height()) / 2;
    TRect r(client.left + dx, client.top + dy, client.left + dx + measure.Width(), client.top + dy + measure.Height());
    const UINT flags = DT_EXPANDTABS | DT_WORDBREAK;
    TColor color = Font()->Color();
    if (!Enabled()) {
        DrawCaption(canvas, caption_, TRect(r.left + 1, r.top + 1, r.right + 1, r.bottom + 1), flags, clWhite);
        DrawCaption(canvas, caption_, r, flags, TColor(0x808080));
    } else if (mouseDown_) {
        DrawCaption(canvas, caption_, TRect(r.left + 1, r.top + 1, r.right + 1, r.bottom + 1), flags, color);
    } else {
        DrawCaption(canvas, caption_, r, flags, color);
    }
    boldCaption_ = false;
}

// ---------------------------------------------------------------- TdvxImageButton

TdvxImageButton::TdvxImageButton(TComponent* owner)
    : TdvxCustomButton(owner),
      picDisabled_(std::make_unique<TPicture>()),
      picNormal_(std::make_unique<TPicture>()),
      picMouseDown_(std::make_unique<TPicture>()),
      picMouseOn_(std::make_unique<TPicture>()) {}

TdvxImageButton::~TdvxImageButton() = default;

void TdvxImageButton::SetPic(TPicture* field, TPicture* value) {
    field->Assign(value);
    AutoSizeChanged();
    Refreshed();
}

void TdvxImageButton::SetStretch(bool value) {
    if (!Store(stretch_, value)) return;
    Refreshed();
}

void TdvxImageButton::SetDrawFocused(bool value) {
    if (!Store(drawFocused_, value)) return;
    Refreshed();
}

void TdvxImageButton::AutoSizeChanged() {
    if (!Parent() || !autoSize_) return;
    TGraphic* g = picNormal_->Graphic();
    if (!g || g->Empty()) return;
    SetBounds(Left(), Top(), g->Width(), g->Height());
}

void TdvxImageButton::CopyPicture(TBitmap* bitmap, TPicture* picture, TPicture* fallBack) {
    for (TPicture* p : {picture, fallBack}) {
        TGraphic* g = p ? p->Graphic() : nullptr;
        if (g && !g->Empty()) {
            bitmap->Assign(g);  // raises for a graphic that cannot become a bitmap
            return;
        }
    }
}

void TdvxImageButton::PaintButtonNormal(TBitmap* picture) { CopyPicture(picture, picNormal_.get(), nullptr); }
void TdvxImageButton::PaintButtonMouseOn(TBitmap* picture) { CopyPicture(picture, picMouseOn_.get(), picNormal_.get()); }
void TdvxImageButton::PaintButtonMouseDown(TBitmap* picture) {
    CopyPicture(picture, picMouseDown_.get(), picNormal_.get());
}
void TdvxImageButton::PaintButtonDisabled(TBitmap* picture) {
    CopyPicture(picture, picDisabled_.get(), picNormal_.get());
}

void TdvxImageButton::PaintPic(TCanvas* canvas, TBitmap* picture) {
    if (picture->Width() == 0 || picture->Height() == 0) return;
    picture->SetTransparentColor(picture->Canvas()->Pixels(0, 0));
    if (stretch_)
        canvas->StretchDraw(TRect(0, 0, Width(), Height()), picture);
    else
        canvas->Draw(0, 0, picture);
}

void TdvxImageButton::PaintFocus(TCanvas* canvas) {
    if (drawFocused_) TdvxCustomButton::PaintFocus(canvas);
}

// ---------------------------------------------------------------- TdvxButton

TdvxButton::TdvxButton(TComponent* owner) : TdvxCustomButton(owner), glyph_(std::make_unique<TBitmap>()) {
    SetBounds(Left(), Top(), 80, 27);
    UIStyleChanged();
}

TdvxButton::~TdvxButton() = default;

void TdvxButton::SetGlyph(TBitmap* value) {
    glyph_->Assign(value);
    Refreshed();
}

void TdvxButton::SetLayout(TButtonLayout value) {
    if (!Store(layout_, value)) return;
    Refreshed();
}

void TdvxButton::SetSpacing(int value) {
    if (!Store(spacing_, value)) return;
    Refreshed();
}

void TdvxButton::UIStyleChanged() {
    TdvxUIStyle style;
    if (UsingTheme(style)) {
        SetTransparent(GetFileTheme()->GetBool(SKIN2_BUTTONTRANS));
        Font()->SetColor(GetFileTheme()->GetColor(SKIN2_BUTTONFONTCOLOR));
    } else {
        SetTransparent(GetInsideThemeBool(style, DVX_THEME_BUTTON_TRANSPARENT));
        Font()->SetColor(clBlack);
    }
}

void TdvxButton::PaintPic(TCanvas* canvas, TBitmap* picture) {
    SpitDraw(picture, canvas, ClientRect(), picTransparent_);
    if (glyph_->Empty()) return;
    int gh = glyph_->Height();
    bool twoFrames = glyph_->Width() == 2 * gh;
    int gw = twoFrames ? gh : glyph_->Width();
    canvas->SetFont(Font());
    int tw = canvas->TextWidth(caption_), th = canvas->TextHeight(caption_);
    int W = Width(), H = Height();
    int gx = 0, gy = 0;
    switch (layout_) {
        case blGlyphLeft:
            gx = (W - tw - gw - spacing_) / 2, gy = (H - gh) / 2;
            captionX_ = gx + gw + spacing_, captionY_ = (H - th) / 2;
            break;
        case blGlyphRight:
            gx = (W + tw + spacing_ - gw) / 2, gy = (H - gh) / 2;
            captionX_ = gx - tw - spacing_, captionY_ = (H - th) / 2;
            break;
        case blGlyphTop:
            gx = (W - gw) / 2, gy = (H - th - gh - spacing_) / 2;
            captionX_ = (W - tw) / 2, captionY_ = gy + gh + spacing_;
            break;
        case blGlyphBottom:
            gx = (W - gw) / 2, gy = (H + th + spacing_ - gh) / 2;
            captionX_ = (W - tw) / 2, captionY_ = gy - th - spacing_;
            break;
    }
    if (mouseDown_) ++gx, ++gy;
    TCustomImageList list(gw, gh);
    list.AddMasked(glyph_.get(), glyph_->Canvas()->Pixels(0, 0));
    if (twoFrames)
        list.Draw(canvas, gx, gy, Enabled() ? 0 : 1, true);
    else
        list.Draw(canvas, gx, gy, 0, Enabled());
}

void TdvxButton::PaintText(TCanvas* canvas, const std::string& text) {
    if (glyph_->Empty()) {
        TdvxCustomButton::PaintText(canvas, text);
        return;
    }
    canvas->Brush()->SetStyle(bsClear);
    canvas->SetFont(Font());
    if (boldCaption_) canvas->Font()->SetStyle(canvas->Font()->Style() + TFontStyles{fsBold});
    TRect r(captionX_, captionY_, Width(), Height());
    if (!Enabled()) {
        DrawCaption(canvas, caption_, TRect(r.left + 1, r.top + 1, r.right, r.bottom), DT_SINGLELINE, clWhite);
        DrawCaption(canvas, caption_, r, DT_SINGLELINE, TColor(0x808080));
    } else if (mouseDown_) {
        DrawCaption(canvas, caption_, TRect(r.left + 1, r.top + 1, r.right, r.bottom), DT_SINGLELINE, Font()->Color());
    } else {
        DrawCaption(canvas, caption_, r, DT_SINGLELINE, Font()->Color());
    }
    boldCaption_ = false;
}

void TdvxButton::PaintFocus(TCanvas* canvas) {
    TdvxUIStyle style;
    UsingTheme(style);
    if (GetUIStyle() == MacOS || GetUIStyle() == BlueGlass)
        boldCaption_ = true;  // these looks show focus by a bold caption
    else
        TdvxCustomButton::PaintFocus(canvas);
}

// ---------------------------------------------------------------- TdvxControlButton

TdvxControlButton::TdvxControlButton(TComponent* owner) : TdvxCustomButton(owner) {
    SetTabStop(false);
    uiStyle_ = DeepBlue;
}

void TdvxControlButton::SetThemeID(int value) {
    if (!Store(themeId_, value)) return;
    Refreshed();
}
void TdvxControlButton::SetPicIndex(int value) {
    if (!Store(picIndex_, value)) return;
    Refreshed();
}
void TdvxControlButton::SetPicCount(int value) {
    if (!Store(picCount_, value)) return;
    Refreshed();
}

void TdvxControlButton::LoadFrame(TBitmap* picture, int index) {
    TdvxUIStyle style;
    if (UsingTheme(style)) return;
    GetInsideThemeBitmap(style, themeId_, picture, picCount_, index);
}

void TdvxControlButton::PaintButtonNormal(TBitmap* picture) {
    LoadFrame(picture, picIndex_);
    if (!picture->Empty()) SetBounds(Left(), Top(), picture->Width(), picture->Height());
}
// The hot frame is the next one, but never past the end of the strip.
void TdvxControlButton::PaintButtonMouseOn(TBitmap* picture) { LoadFrame(picture, std::min(picIndex_ + 1, picCount_)); }
void TdvxControlButton::PaintButtonMouseDown(TBitmap* picture) { LoadFrame(picture, picIndex_); }
void TdvxControlButton::PaintButtonDisabled(TBitmap* picture) { LoadFrame(picture, picIndex_); }

void TdvxControlButton::PaintPic(TCanvas* canvas, TBitmap* picture) {
    if (picture->Empty()) return;
    picture->SetTransparentColor(picture->Canvas()->Pixels(0, 0));
    canvas->Draw(0, 0, picture);
    SetBounds(Left(), Top(), picture->Width(), picture->Height());
}

// ---------------------------------------------------------------- TdvxArrowButton

TdvxArrowButton::TdvxArrowButton(TComponent* owner) : TdvxCustomButton(owner) { UIStyleChanged(); }

void TdvxArrowButton::SetArrow(TdvxArrowButtonType value) {
    if (!Store(arrow_, value)) return;
    Refreshed();
}

void TdvxArrowButton::UIStyleChanged() {
    TdvxUIStyle style;
    if (UsingTheme(style))
        SetTransparent(GetFileTheme()->GetBool(SKIN2_BUTTONTRANS));
    else
        SetTransparent(GetInsideThemeBool(style, DVX_THEME_BUTTON_TRANSPARENT));
}

void TdvxArrowButton::PaintPic(TCanvas* canvas, TBitmap* picture) {
    SpitDraw(picture, canvas, ClientRect(), picTransparent_);
    int x0 = (Width() - 6) / 2, y0 = (Height() - 3) / 2;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(clBlack);
    canvas->Pen()->SetColor(clBlack);
    if (arrow_ == dvxUp)
        canvas->Polygon({TPoint(x0, y0 + 3), TPoint(x0 + 3, y0), TPoint(x0 + 6, y0 + 3)});
    else
        canvas->Polygon({TPoint(x0, y0), TPoint(x0 + 3, y0 + 3), TPoint(x0 + 6, y0)});
}

// ---------------------------------------------------------------- TdvxToolBarSpeedButton

TdvxToolBarSpeedButton::TdvxToolBarSpeedButton(TComponent* owner)
    : TCustomPanel(owner), glyph_(std::make_unique<TBitmap>()) {
    SetColor(clBtnFace);
    SetBounds(Left(), Top(), 18, 18);
}

TdvxToolBarSpeedButton::~TdvxToolBarSpeedButton() = default;

void TdvxToolBarSpeedButton::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_MOUSEENTER:
        case CM_MOUSELEAVE:
            mouseOver_ = m.Msg == CM_MOUSEENTER;
            Refreshed();
            return;
        case WM_ERASEBKGND:
            m.Result = 1;
            return;
        default:
            TCustomPanel::Dispatch(m);
    }
}

void TdvxToolBarSpeedButton::PaintWindow(HDC dc) {
    TRect client = ClientRect();
    if (client.Width() <= 0 || client.Height() <= 0) return;
    glyph_->SetTransparent(true);
    TBitmap buffer;
    buffer.SetPixelFormat(pf32bit);
    buffer.SetSize(client.Width(), client.Height());
    TCanvas* canvas = buffer.Canvas();
    if (Color() == toColor_) {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(client);
    } else {
        DrawHorizontalGradient(canvas, client, Color(), toColor_);
    }
    if (!glyph_->Empty()) {
        if (mouseOver_) {
            canvas->Brush()->SetColor(clBlack);
            canvas->FrameRect(client);
        }
        canvas->Draw(1, 1, glyph_.get());
    }
    BitBlt(dc, 0, 0, client.Width(), client.Height(), canvas->Handle(), 0, 0, SRCCOPY);
}

}  // namespace skinctrl
