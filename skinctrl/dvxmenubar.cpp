// The skinned menu bar and the drawing both skinned frames give it.
#include "skinctrl/dvxmenubar.h"

#include "platform/graphics/resources.h"

#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxmenu.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

TdvxMenuBar::TdvxMenuBar(TComponent* owner, IdvxMenuBarFrame* frame) : TToolBar(owner), frame_(frame) {
    SetFlat(true);
    SetShowCaptions(true);
    SetEdgeInner(esNone);
    SetEdgeOuter(esNone);
}

bool TdvxMenuBar::ItemHighlighted() const {
    for (int i = 0; i < ButtonCount(); ++i)
        if (Buttons(i)->Tag() == DVX_MENUBAR_HIGHLIGHT_TAG) return true;
    return false;
}

void TdvxMenuBar::Dispatch(TMessage& m) {
    if (m.Msg == CM_DIALOGCHAR) {
        // Letters typed with Alt reach the accelerators; plain ones only while an item of
        // the bar is highlighted, so typing in the form's controls never opens a menu.
        bool alt = (m.LParam & (LPARAM(1) << 29)) != 0 || GetKeyState(VK_MENU) < 0;
        if (!alt && !ItemHighlighted()) {
            m.Result = 0;
            return;
        }
    }
    TToolBar::Dispatch(m);
}

void TdvxMenuBar::ItemMenuShowing(TToolButton* /*button*/, TPopupMenu* menu) {
    TMainMenu* shown = frame_ ? frame_->ShownMenu() : nullptr;
    if (!shown || !menu) return;
    menu->SetOwnerDraw(shown->OwnerDraw());
    menu->SetImages(shown->Images());
    menu->SetBiDiMode(shown->BiDiMode());
}

// ---------------------------------------------------------------- drawing

void MenuBar_DrawBackground(TToolBar* bar, const TRect& rect, TdvxUIStyle style, TColor from, TColor to) {
    TCanvas* c = bar->Canvas();
    if (style == MacOS) {
        EnsureStyleResources();
        TBitmap picture;
        try {
            picture.LoadFromResourceName(HInstance, "MACOS_MENU_BAR");
        } catch (const std::exception&) {
            return;
        }
        c->StretchDraw(rect, &picture);
    } else if (from != to) {
        DrawHorizontalGradient(c, rect, from, to);
    }
}

namespace {
void TakeMenuFont(TFont* font, TMainMenu* menu) {
    auto* skinned = dynamic_cast<TdvxMainMenu*>(menu);
    if (!skinned) return;
    if (skinned->UseSystemFont()) {
        Menu_GetSystemFont(font);
    } else {
        font->SetName(skinned->FontName());
        font->SetSize(skinned->FontSize());
        font->SetCharset(skinned->FontCharset());
    }
}
}  // namespace

void MenuBar_TakeFont(TToolBar* bar, TMainMenu* menu) { TakeMenuFont(bar->Font(), menu); }

void MenuBar_DrawButton(TToolBar* bar, TToolButton* button, TCustomDrawState state, TdvxUIStyle uiStyle,
                        TdvxFileTheme* theme, TMainMenu* menu) {
    TCanvas* c = bar->Canvas();
    button->SetTag(0);
    TRect r = button->BoundsRect();
    TdvxUIStyle style = uiStyle;
    const bool file = UsingFileTheme(theme, uiStyle, style);
    if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu)) {
        TakeMenuFont(c->Font(), menu);
        if (!skinned->UseSystemFont()) c->Font()->SetColor(skinned->FontColor());
    }
    const UINT flags = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    const std::string caption = button->Caption();
    auto text = [&](TCanvas* canvas, TRect at, TColor color) {
        canvas->Brush()->SetStyle(bsClear);
        canvas->Font()->SetColor(color);
        RECT rr = at;
        DrawText(canvas->Handle(), caption.c_str(), -1, &rr, flags);
    };
    if (state & (cdsHot | cdsSelected)) {
        button->SetTag(DVX_MENUBAR_HIGHLIGHT_TAG);
        if (!file && style == MacOS) {
            EnsureStyleResources();
            TBitmap face;
            face.SetSize(r.Width(), r.Height());
            try {
                TBitmap picture;
                picture.LoadFromResourceName(HInstance, "MACOS_MENU_SELECT");
                face.Canvas()->StretchDraw(TRect(0, 0, r.Width(), r.Height()), &picture);
            } catch (const std::exception&) {
            }
            face.Canvas()->Font()->Assign(c->Font());
            text(face.Canvas(), TRect(0, 0, r.Width(), r.Height() + 2),
                 GetInsideThemeColor(MacOS, DVX_THEME_MENU_SELECTED_FONT_COLOR));
            c->Draw(r.left, r.top, &face);
            return;
        }
        TColor fill = file ? theme->GetColor(SKIN2_TOPSELECTEDMENUCOLOR)
                           : GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_COLOR);
        TColor frame = file ? theme->GetColor(SKIN2_TOPSELECTEDMENUBORDERCOLOR)
                            : GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_BORDER_COLOR);
        TColor ink = file ? theme->GetColor(SKIN2_TOPSELECTEDMENUFONTCOLOR)
                          : GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_FONT_COLOR);
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(fill);
        c->FillRect(r);
        c->Brush()->SetColor(frame);
        c->FrameRect(r);
        r.top += 2;
        text(c, r, ink);
        return;
    }
    r.top += 2;
    TColor ink = file ? theme->GetColor(SKIN2_TOPMENUFONTCOLOR) : GetInsideThemeColor(style, DVX_THEME_MENU_FONT_COLOR);
    text(c, r, button->Enabled() ? ink : TColor(0x808080));
}

void MenuBar_Fill(TToolBar* bar, TMainMenu* menu) {
    bar->SetAutoSize(false);
    while (bar->ButtonCount() > 0) delete bar->Buttons(bar->ButtonCount() - 1);
    if (menu) {
        TMenuItem* items = menu->Items();
        for (int i = 0; i < items->Count(); ++i) {
            auto* b = new TToolButton(bar);
            b->SetGrouped(true);
            b->SetAutoSize(true);
            b->SetParent(bar);
            b->SetMenuItem(items->Items(i));
            if (!items->Items(i)->Visible()) b->SetVisible(false);
        }
    }
    bar->SetAutoSize(true);
}

}  // namespace skinctrl
