// The skinned tool bar: its look per style and its custom drawing.
#include "skinctrl/dvxtoolbar.h"

#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

namespace {
std::string WithoutAmpersands(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) ++i;
        else if (s[i] == '&') continue;
        out += s[i];
    }
    return out;
}
}  // namespace

TdvxToolBar::TdvxToolBar(TComponent* owner) : TdvxControl<TToolBar>(owner) {
    OnCustomDrawButton = [this](TToolBar* s, TToolButton* b, TCustomDrawState st, bool& d) { DrawButton(s, b, st, d); };
    OnCustomDraw = [this](TToolBar* s, const TRect& r, bool& d) { DrawBar(s, r, d); };
    SetFlat(true);
    SetTransparent(false);
    UIStyleChanged();
}

void TdvxToolBar::SetParent(TWinControl* parent) {
    TdvxControl<TToolBar>::SetParent(parent);
    UIStyleChanged();  // transparency depends on the parent
}

void TdvxToolBar::SetButtonColor(TColor value) {
    if (Store(buttonColor_, value)) Refreshed();
}
void TdvxToolBar::SetButtonBorderColor(TColor value) {
    if (Store(buttonBorderColor_, value)) Refreshed();
}
void TdvxToolBar::SetButtonDownColor(TColor value) {
    if (Store(buttonDownColor_, value)) Refreshed();
}

void TdvxToolBar::UIStyleChanged() {
    TdvxUIStyle style = GetUIStyle();
    if (UsingTheme(style)) {
        TdvxFileTheme* theme = GetFileTheme();
        buttonBorderColor_ = theme->GetColor(SKIN2_TOOLBARBORDERCOLOR);
        buttonColor_ = theme->GetColor(SKIN2_TOOLBARSTARTCOLOR);
        buttonDownColor_ = theme->GetColor(SKIN2_TOOLBARDOWNCOLOR);
        startColor_ = theme->GetColor(SKIN2_TOOLBARSTARTCOLOR);
        endColor_ = theme->GetColor(SKIN2_TOOLBARENDCOLOR);
        SetColor(startColor_);
    } else {
        buttonBorderColor_ = GetInsideThemeColor(style, DVX_THEME_TOOLBAR_BUTTON_BORDER_COLOR);
        buttonColor_ = GetInsideThemeColor(style, DVX_THEME_TOOLBAR_BUTTON_COLOR);
        buttonDownColor_ = GetInsideThemeColor(style, DVX_THEME_TOOLBAR_BUTTON_DOWN_COLOR);
        SetColor(GetInsideThemeColor(style, DVX_THEME_FORM_COLOR));
        startColor_ = endColor_ = Color();
    }
    IdvxStyled* parent = AsStyled(Parent());
    SetTransparent((GetUIStyle() == MacOS || GetUIStyle() == Protein) && parent && parent->IsFormFrame());
    SetEdgeInner(esNone);
    SetEdgeOuter(esNone);
    Invalidate();
}

void TdvxToolBar::DrawBar(TToolBar*, const TRect& rect, bool&) {
    if (Transparent())
        DoTrans(Canvas(), this);
    else if (startColor_ != endColor_)
        DrawHorizontalGradient(Canvas(), rect, startColor_, endColor_);
}

void TdvxToolBar::DrawButton(TToolBar*, TToolButton* button, TCustomDrawState state, bool& defaultDraw) {
    TRect r = button->BoundsRect();
    bool dropDown = button->Style() == tbsDropDown;
    TCustomImageList* images = HotImages() ? HotImages() : Images();
    TCanvas* c = Canvas();
    if (state & cdsHot) {
        if (state & cdsSelected)
            DrawDownButton(c, r, dropDown, button->Caption(), button->ImageIndex(), images);
        else
            DrawHotButton(c, r, dropDown, button->Caption(), button->ImageIndex(), images);
        if (dropDown) {
            c->Brush()->SetStyle(bsSolid);
            c->Brush()->SetColor(clBlack);
            c->Pen()->SetColor(clBlack);
            int yc = r.top + (r.bottom - r.top) / 2;
            c->Polygon({TPoint(r.right - 9, yc), TPoint(r.right - 5, yc), TPoint(r.right - 7, yc + 2)});
            c->Polygon({TPoint(r.right - 8, yc), TPoint(r.right - 6, yc), TPoint(r.right - 7, yc + 1)});
            c->MoveTo(r.right - 14, r.top);
            c->LineTo(r.right - 14, r.bottom);
        }
        defaultDraw = false;
    } else if (state & (cdsSelected | cdsChecked)) {
        DrawHotButton(c, r, dropDown, button->Caption(), button->ImageIndex(), images);
        defaultDraw = false;
    }
}

void TdvxToolBar::DrawHotButton(TCanvas* canvas, const TRect& r, bool dropDown, const std::string& caption,
                                int imageIndex, TCustomImageList* images) {
    DrawFace(canvas, r, dropDown, caption, imageIndex, images, false);
}

void TdvxToolBar::DrawDownButton(TCanvas* canvas, const TRect& r, bool dropDown, const std::string& caption,
                                 int imageIndex, TCustomImageList* images) {
    DrawFace(canvas, r, dropDown, caption, imageIndex, images, true);
}

void TdvxToolBar::DrawFace(TCanvas* c, const TRect& r, bool dropDown, const std::string& caption, int imageIndex,
                           TCustomImageList* images, bool down) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(down ? buttonDownColor_ : buttonColor_);
    c->Pen()->SetColor(buttonBorderColor_);
    c->Rectangle(r);
    int right = dropDown ? r.right - 14 : r.right;
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(Font());
    int w = c->TextWidth(WithoutAmpersands(caption));
    auto text = [&](const TRect& at) {
        RECT rr = at;
        DrawText(c->Handle(), caption.c_str(), -1, &rr, 0);  // "&" marks the mnemonic
    };
    if (images) {
        if (List()) {
            images->Draw(c, r.left + 5, r.top + 3, imageIndex, true);
            if (ShowCaptions())
                text(TRect(r.left + images->Width() + 7, r.top + (images->Height() - 16) / 2 + 4, r.right, r.bottom));
        } else {
            images->Draw(c, r.left + (right - r.left - images->Width()) / 2, r.top + 3, imageIndex, true);
            if (ShowCaptions()) text(TRect(r.left + (right - r.left - w) / 2, r.top + images->Height() + 4, r.right, r.bottom));
        }
    } else if (ShowCaptions()) {
        if (List())
            text(TRect(r.left + 8, r.top + 3, r.right, r.bottom));
        else
            text(TRect(r.left + (right - r.left - w) / 2, r.top + (down ? 5 : 4), r.right, r.bottom));
    }
}

}  // namespace skinctrl
