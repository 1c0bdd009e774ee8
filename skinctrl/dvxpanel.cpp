#include "skinctrl/dvxpanel.h"

#include "platform/controls/forms.h"
#include "platform/core/exceptions.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/resources.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxfiletheme.h"
#include "platform/graphics/gdi.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

TdvxCustomPanel::TdvxCustomPanel(TComponent* owner) : TdvxControl(owner), picture_(std::make_unique<TPicture>()) {
    picture_->OnChange = [this](TObject* sender) { PictureChanged(sender); };
    SetBevelInner(bvNone);
    SetBevelOuter(bvNone);
}

TdvxCustomPanel::~TdvxCustomPanel() { picture_->OnChange = nullptr; }

void TdvxCustomPanel::SetPicture(TPicture* value) {
    picture_->Assign(value);
    ClearPanel();
    Refreshed();
}

void TdvxCustomPanel::SetDrawStyle(TdvxDrawStyle value) {
    drawStyle_ = value;
    ClearPanel();
    Refreshed();
}

void TdvxCustomPanel::SetTransparent(bool value) {
    transparent_ = value;
    if (picture_->Graphic()) ApplyTransparent();
    Refreshed();
}

void TdvxCustomPanel::SetAutoSize(bool value) {
    autoSize_ = value;
    if (picture_->Graphic()) ApplyAutoSize();
}

void TdvxCustomPanel::SetCaptionPosX(int value) {
    captionPosX_ = value;
    Refreshed();
}

void TdvxCustomPanel::SetCaptionPosY(int value) {
    captionPosY_ = value;
    Refreshed();
}

void TdvxCustomPanel::ClearPanel() {
    if (!Canvas()) return;
    Canvas()->Brush()->SetColor(Color());
    if (ParentWindow() && HandleAllocated()) Canvas()->FillRect(ClientRect());
}

void TdvxCustomPanel::PictureChanged(TObject*) {
    if (TGraphic* g = picture_->Graphic(); g && !g->Empty()) {
        if (autoSize_) ApplyAutoSize();
        ApplyTransparent();
    }
    ClearPanel();
    Refreshed();
}

void TdvxCustomPanel::ApplyAutoSize() {
    if (!autoSize_) return;
    TGraphic* g = picture_->Graphic();
    if (!g || g->Empty()) return;
    int w = Width(), h = Height();
    if (Align() != alTop && Align() != alBottom && Align() != alClient) w = g->Width();
    if (Align() != alLeft && Align() != alRight && Align() != alClient) h = g->Height();
    SetBounds(Left(), Top(), w, h);
}

void TdvxCustomPanel::ApplyTransparent() {
    TGraphic* g = picture_->Graphic();
    if (g && g->Transparent() != transparent_) g->SetTransparent(transparent_);
}

void TdvxCustomPanel::Resize() {
    TdvxControl::Resize();
    Refreshed();
}

void TdvxCustomPanel::Dispatch(TMessage& m) {
    if (m.Msg == CM_TEXTCHANGED) {
        RepaintText(ClientRect());
        Refreshed();
        return;
    }
    TdvxControl::Dispatch(m);
}

void TdvxCustomPanel::PaintBuffer(TCanvas* canvas) {
    TRect client(0, 0, ClientWidth(), ClientHeight());
    TGraphic* g = picture_->Graphic();
    if (g && !g->Empty()) {
        switch (drawStyle_) {
            case dvxStretch: canvas->StretchDraw(client, g); break;
            case dvxTile: TileDraw(canvas, picture_.get(), client); break;
            case dvxNormal: canvas->Draw(0, 0, g); break;
        }
    } else if (!transparent_) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(client);
    }
    std::string text = Text();
    if (Trim(text).empty()) return;
    canvas->Brush()->SetStyle(bsClear);
    canvas->SetFont(Font());
    HDC dc = TextDC(canvas);
    if (captionPosX_ == -1 || captionPosY_ == -1) {
        UINT align = Alignment() == taLeftJustify ? DT_LEFT : Alignment() == taRightJustify ? DT_RIGHT : DT_CENTER;
        DrawText(dc, text, &client, DT_SINGLELINE | DT_VCENTER | align);
    } else {
        TRect r(captionPosX_, captionPosY_, captionPosX_, captionPosY_);
        DrawText(dc, text, &r, DT_SINGLELINE | DT_NOCLIP);
    }
}

// ---------------------------------------------------------------- TdvxPanel

TdvxPanel::TdvxPanel(TComponent* owner) : TdvxControl(owner), strip_(std::make_unique<TBitmap>()) {
    SetBevelInner(bvNone);
    SetBevelOuter(bvNone);
    SetBounds(Left(), Top(), 100, 100);
    SetHeight2(100);
    UIStyleChanged();
}

TdvxPanel::~TdvxPanel() = default;

void TdvxPanel::SetBorderColor(TColor value) {
    borderColor_ = value;
    Refreshed();
}

void TdvxPanel::SetCaptionFontColor(TColor value) {
    captionFontColor_ = value;
    Refreshed();
}

void TdvxPanel::SetShowButton(bool value) {
    showButton_ = value;
    Refreshed();
}

void TdvxPanel::SetHeight2(int value) {
    openHeight_ = value;
    if ((ComponentState() & csDesigning) || expanded_) SetHeight(value);
}

int TdvxPanel::StripHeight() const { return strip_->Empty() ? 0 : strip_->Height(); }

void TdvxPanel::UIStyleChanged() {
    SetColor(clWhite);
    TdvxUIStyle style;
    if (UsingTheme(style)) {
        TdvxFileTheme* theme = GetFileTheme();
        if (TBitmap* b = theme->GetBitmap(SKIN2_SIDECHANNELTITLE))
            strip_->Assign(b);
        else
            GetInsideThemeBitmap(DeepBlue, DVX_THEME_SIDECHANNEL_BAR_IMAGE, strip_.get(), 0, 0);
        borderColor_ = theme->GetColor(SKIN2_CONTROLBORDERCOLOR);
        captionFontColor_ = theme->GetColor(SKIN2_CONTROLFONTCOLOR);
    } else {
        GetInsideThemeBitmap(style, DVX_THEME_SIDECHANNEL_BAR_IMAGE, strip_.get(), 0, 0);
        borderColor_ = GetInsideThemeColor(style, DVX_THEME_CONTROL_BORDER_COLOR);
        captionFontColor_ = style == MacOS ? clBlack : GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_FONT_COLOR);
    }
    // Lay the children out again for the new strip.
    int open = openHeight_;
    SetHeight2(open - 1);
    SetHeight2(open);
    Refreshed();
}

bool TdvxPanel::ButtonShown() const {
    return showButton_ && Align() != alClient && Align() != alLeft && Align() != alRight;
}

void TdvxPanel::AlignControls(TControl* control, TRect& /*rect*/) {
    TRect r = ClientRect();
    r.left += 3;
    r.right -= 3;
    r.bottom -= 3;
    r.top = StripHeight() + 3;
    TdvxControl::AlignControls(control, r);
}

void TdvxPanel::PaintButton(TCanvas* canvas) {
    EnsureStyleResources();
    TBitmap strip;
    strip.LoadFromResourceName(HInstance, "PANEL_BUTTON");
    TBitmap frame;
    int W = ClientWidth();
    int fw = strip.Width() / 4, fh = strip.Height();
    TRect hit(W - 1 - fw - 4, (StripHeight() - fh) / 2, W - 1 - 4, (StripHeight() - fh) / 2 + fh);
    TPoint cursor = ScreenToClient(Mouse->CursorPos());
    hover_ = InRect(cursor, hit);
    int index = (expanded_ ? 1 : 3) + (hover_ ? 1 : 0);
    SpitBitmap(&strip, &frame, 4, index);
    frame.SetTransparent(true);
    frame.SetTransparentColor(DVX_KEY_COLOR);
    canvas->Draw(W - fw - 4, (hit.bottom - fh) / 2 + 2, &frame);
}

void TdvxPanel::PaintBuffer(TCanvas* canvas) {
    int W = ClientWidth(), H = ClientHeight();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->Pen()->SetColor(borderColor_);
    canvas->Rectangle(0, 0, W, H);
    int sh = StripHeight();
    if (sh > 0) canvas->StretchDraw(TRect(1, 0, W - 1, sh), strip_.get());
    std::string text = Text();
    if (!Trim(text).empty()) {
        canvas->Brush()->SetStyle(bsClear);
        canvas->SetFont(Font());
        canvas->Font()->SetColor(captionFontColor_);
        HDC dc = TextDC(canvas);
        if (BiDiMode() == bdRightToLeft && SysLocale.MiddleEast) {
            TRect r(0, 0, W - 1 - (ButtonShown() ? 20 : 10), sh);
            DrawText(dc, text, &r, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
        } else {
            TRect r(10, 0, W - 1, sh);
            DrawText(dc, text, &r, DT_SINGLELINE | DT_VCENTER);
        }
    }
    if (ButtonShown()) PaintButton(canvas);
}

void TdvxPanel::MouseMove(TShiftState shift, int x, int y) {
    TdvxControl::MouseMove(shift, x, y);
    if (showButton_ && y <= StripHeight() && ButtonShown()) {
        bool was = hover_;
        TBitmap scratch;
        scratch.SetSize(std::max(ClientWidth(), 1), std::max(StripHeight(), 1));
        PaintButton(scratch.Canvas());
        if (hover_ != was) Refreshed();
    }
}

void TdvxPanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TdvxControl::MouseUp(button, shift, x, y);
    if (button == mbLeft && hover_) {
        if (expanded_)
            Push();
        else
            Pop();
    }
    Refreshed();
}

void TdvxPanel::Roll(int target, int step) {
    animating_ = true;
    if (step < 0) {
        while (target < Height() + step) {
            SetHeight(Height() + step);
            Refresh();
            Application->ProcessMessages();
        }
    } else {
        while (Height() + step < target) {
            SetHeight(Height() + step);
            Refresh();
            Application->ProcessMessages();
        }
    }
    SetHeight(target);
    Refresh();
    animating_ = false;
}

void TdvxPanel::Push() {
    if (Align() == alClient || Align() == alLeft || Align() == alRight)
        throw EInvalidOperation("Can't push when Align is alClient, alLeft or alRight.");
    if (animating_) return;  // a press handled between steps must not start a second roll
    Roll(StripHeight() > 0 ? StripHeight() : 20, -15);
    expanded_ = false;
    Refreshed();
    if (OnPush) OnPush(this);
}

void TdvxPanel::Pop() {
    if (animating_) return;
    Roll(openHeight_, 15);
    expanded_ = true;
    Refreshed();
    if (OnPop) OnPop(this);
}

void TdvxPanel::Resize() {
    TdvxControl::Resize();
    if (!animating_ && expanded_) openHeight_ = Height();
}

}  // namespace skinctrl
