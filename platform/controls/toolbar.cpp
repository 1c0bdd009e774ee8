// The tool bar and its buttons.
#include <algorithm>

#include "platform/controls/comctrls.h"
#include "platform/controls/forms.h"
#include "platform/windows/input.h"

namespace platform {

namespace {
// The caption without its "&" marks ("&&" stays one "&").
std::string StripAmpersands(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) ++i;
        else if (s[i] == '&') continue;
        out += s[i];
    }
    return out;
}
// The letter after a single "&", lower case, or 0.
unsigned AcceleratorOf(const std::string& s) {
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != '&') continue;
        if (s[i + 1] == '&') {
            ++i;
            continue;
        }
        return unsigned(std::tolower(static_cast<unsigned char>(s[i + 1])));
    }
    return 0;
}
constexpr int kArrowWidth = 14;
}  // namespace

// ---------------------------------------------------------------- buttons

TToolButton::TToolButton(TComponent* owner) : TGraphicControl(owner) {
    width_ = 23;
    height_ = 22;
}

TToolButton::~TToolButton() {
    if (TToolBar* bar = Bar()) bar->RemoveButton(this);
}

TToolBar* TToolButton::Bar() const { return dynamic_cast<TToolBar*>(Parent()); }

void TToolButton::SetParent(TWinControl* parent) {
    if (TToolBar* old = Bar()) old->RemoveButton(this);
    TGraphicControl::SetParent(parent);
    if (TToolBar* bar = Bar()) bar->AddButton(this);
}

void TToolButton::SetStyle(TToolButtonStyle value) {
    style_ = value;
    if (TToolBar* bar = Bar()) bar->ArrangeButtons();
}

void TToolButton::SetImageIndex(int value) {
    imageIndex_ = value;
    Invalidate();
}

void TToolButton::SetDown(bool value) {
    if (down_ == value) return;
    down_ = value;
    if (value && grouped_ && style_ == tbsCheck)
        if (TToolBar* bar = Bar())
            for (TToolButton* b : bar->buttons_)
                if (b != this && b->grouped_ && b->style_ == tbsCheck) b->down_ = false;
    if (TToolBar* bar = Bar()) bar->Invalidate();
}

void TToolButton::SetWrap(bool value) {
    wrap_ = value;
    if (TToolBar* bar = Bar()) bar->ArrangeButtons();
}

void TToolButton::SetAutoSize(bool value) {
    autoSize_ = value;
    if (TToolBar* bar = Bar()) bar->ArrangeButtons();
}

void TToolButton::SetDropdownMenu(TPopupMenu* value) {
    if (dropdownMenu_) RemoveFreeNotification(dropdownMenu_);
    dropdownMenu_ = value;
    if (value) FreeNotification(value);
}

void TToolButton::SetMenuItem(TMenuItem* value) {
    if (menuItem_) RemoveFreeNotification(menuItem_);
    menuItem_ = value;
    if (!value) return;
    FreeNotification(value);
    SetCaption(value->Caption());
    SetEnabled(value->Enabled());
    if (TToolBar* bar = Bar()) bar->ArrangeButtons();
}

void TToolButton::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove) {
        if (component == dropdownMenu_) dropdownMenu_ = nullptr;
        if (component == menuItem_) menuItem_ = nullptr;
    }
    TGraphicControl::Notification(component, operation);
}

bool TToolButton::Hot() const { return Bar() && Bar()->hot_ == this; }
bool TToolButton::Pressed() const { return Bar() && Bar()->pressed_ == this; }

void TToolButton::Click() {
    if (style_ == tbsCheck) SetDown(grouped_ ? true : !down_);
    if (menuItem_) {
        if (menuItem_->Count() > 0) {
            // The item's sub-items as a menu below the button.
            TPopupMenu menu(nullptr);
            TPoint at = ClientToScreen(TPoint(0, Height()));
            // The sub-items move into the menu for the time it shows, then go back.
            std::vector<TMenuItem*> items;
            for (int i = 0; i < menuItem_->Count(); ++i) items.push_back(menuItem_->Items(i));
            for (TMenuItem* item : items) {
                menuItem_->Remove(item);
                menu.Items()->Add(item);
            }
            try {
                if (TToolBar* bar = Bar()) bar->ItemMenuShowing(this, &menu);
                menu.Popup(at.x, at.y);
            } catch (...) {
                for (TMenuItem* item : items) {
                    menu.Items()->Remove(item);
                    menuItem_->Add(item);
                }
                throw;
            }
            for (TMenuItem* item : items) {
                menu.Items()->Remove(item);
                menuItem_->Add(item);
            }
        } else {
            menuItem_->Click();
        }
        return;
    }
    TGraphicControl::Click();
}

void TToolButton::Dispatch(TMessage& m) {
    TToolBar* bar = Bar();
    switch (m.Msg) {
        case CM_MOUSEENTER:
            if (bar && Enabled()) bar->SetHot(this);
            break;
        case CM_MOUSELEAVE:
            if (bar && bar->hot_ == this) bar->SetHot(nullptr);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (bar && Enabled() && style_ != tbsSeparator && style_ != tbsDivider) {
                bar->ButtonDown(this, std::int16_t(LOWORD(m.LParam)));
                if (!Bar()) return;  // a menu ran and the button went
            }
            break;
        case WM_LBUTTONUP:
            if (bar && bar->pressed_ == this) {
                int x = std::int16_t(LOWORD(m.LParam)), y = std::int16_t(HIWORD(m.LParam));
                bar->ButtonUp(this, x >= 0 && y >= 0 && x < Width() && y < Height());
                return;
            }
            break;
        default: break;
    }
    TGraphicControl::Dispatch(m);
}

// ---------------------------------------------------------------- the bar

TToolBar::TToolBar(TComponent* owner) : TCustomControl(owner) {
    controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque;
    width_ = 150;
    height_ = 29;
    align_ = alTop;
    color_ = clBtnFace;
    brush_->SetColor(color_);
}

TToolBar::~TToolBar() {
    for (TToolButton* b : std::vector<TToolButton*>(buttons_)) RemoveButton(b);
}

void TToolBar::AddButton(TToolButton* button) {
    if (std::find(buttons_.begin(), buttons_.end(), button) == buttons_.end()) buttons_.push_back(button);
    ArrangeButtons();
}

void TToolBar::RemoveButton(TToolButton* button) {
    buttons_.erase(std::remove(buttons_.begin(), buttons_.end(), button), buttons_.end());
    if (hot_ == button) hot_ = nullptr;
    if (pressed_ == button) pressed_ = nullptr;
    ArrangeButtons();
}

void TToolBar::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove) {
        if (component == images_) images_ = nullptr;
        if (component == hotImages_) hotImages_ = nullptr;
    }
    TCustomControl::Notification(component, operation);
}

#define TB_SETTER(Name, Type, field)      \
    void TToolBar::Set##Name(Type value) { \
        if (field == value) return;        \
        field = value;                     \
        ArrangeButtons();                  \
        Invalidate();                      \
    }
TB_SETTER(ShowCaptions, bool, showCaptions_)
TB_SETTER(List, bool, list_)
TB_SETTER(Flat, bool, flat_)
TB_SETTER(Wrapable, bool, wrapable_)
TB_SETTER(AutoSize, bool, autoSize_)
TB_SETTER(Transparent, bool, transparent_)
TB_SETTER(ButtonWidth, int, buttonWidth_)
TB_SETTER(ButtonHeight, int, buttonHeight_)
#undef TB_SETTER

void TToolBar::SetImages(TCustomImageList* value) {
    if (images_) RemoveFreeNotification(images_);
    images_ = value;
    if (value) FreeNotification(value);
    ArrangeButtons();
}

void TToolBar::SetHotImages(TCustomImageList* value) {
    if (hotImages_) RemoveFreeNotification(hotImages_);
    hotImages_ = value;
    if (value) FreeNotification(value);
    Invalidate();
}

int TToolBar::ButtonWidthOf(TToolButton* b) {
    if (b->style_ == tbsSeparator || b->style_ == tbsDivider) return 8;
    int w = buttonWidth_;
    if (showCaptions_ && !b->Caption().empty()) {
        Canvas()->Font()->Assign(Font());
        int text = Canvas()->TextWidth(StripAmpersands(b->Caption()));
        int image = images_ ? images_->Width() : 0;
        int wanted = list_ ? image + text + (image ? 11 : 16) : std::max(image, text) + 14;
        if (b->autoSize_ || list_) w = wanted;
        else w = std::max(w, wanted);
    }
    if (b->style_ == tbsDropDown) w += kArrowWidth;
    return w;
}

void TToolBar::ArrangeButtons() {
    if (arranging_) return;
    arranging_ = true;
    int h = buttonHeight_;
    if (showCaptions_ && !list_ && images_) h = std::max(h, images_->Height() + 22);
    int x = 0, y = 0, room = std::max(1, ClientWidth());
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        TToolButton* b = buttons_[i];
        if (!b->Visible()) continue;
        int w = ButtonWidthOf(b);
        if (wrapable_ && x > 0 && x + w > room) {
            x = 0;
            y += h;
        }
        b->SetBounds(x, y, w, h);
        x += w;
        if (b->wrap_) {
            x = 0;
            y += h;
        }
    }
    if (autoSize_ && !buttons_.empty()) SetHeight(y + (x > 0 ? h : 0));
    arranging_ = false;
    Invalidate();
}

void TToolBar::AlignControls(TControl* control, TRect& rect) {
    // The buttons place themselves in rows; nothing else aligns here.
    (void)control;
    (void)rect;
    ArrangeButtons();
}

void TToolBar::SetHot(TToolButton* button) {
    if (hot_ == button) return;
    hot_ = button;
    Invalidate();
}

void TToolBar::ButtonDown(TToolButton* button, int x) {
    pressed_ = button;
    Invalidate();
    bool onArrow = button->style_ == tbsDropDown && x >= button->Width() - kArrowWidth;
    TPopupMenu* menu = button->dropdownMenu_;
    if (menu && (onArrow || (button->style_ == tbsDropDown && !button->OnClick))) {
        TPoint at = button->ClientToScreen(TPoint(0, button->Height()));
        Update();
        menu->Popup(at.x, at.y);
        if (std::find(buttons_.begin(), buttons_.end(), button) != buttons_.end() && pressed_ == button) pressed_ = nullptr;
        Invalidate();
        return;
    }
    if (button->menuItem_ && button->menuItem_->Count() > 0) {
        // A menu bar's item opens on the press.
        Update();
        button->Click();
        if (std::find(buttons_.begin(), buttons_.end(), button) != buttons_.end() && pressed_ == button) pressed_ = nullptr;
        Invalidate();
    }
}

void TToolBar::ButtonUp(TToolButton* button, bool inside) {
    pressed_ = nullptr;
    Invalidate();
    if (inside) button->Click();
}

bool TToolBar::Accelerator(unsigned ch) {
    ch = unsigned(std::tolower(int(ch)));
    for (TToolButton* b : buttons_) {
        if (!b->Visible() || !b->Enabled() || AcceleratorOf(b->Caption()) != ch) continue;
        b->Click();
        return true;
    }
    return false;
}

void TToolBar::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_DIALOGCHAR:
            if (Accelerator(unsigned(m.WParam))) {
                m.Result = 1;
                return;
            }
            break;
        case WM_SIZE:
            TCustomControl::Dispatch(m);
            ArrangeButtons();
            return;
        default: break;
    }
    TCustomControl::Dispatch(m);
}

void TToolBar::Paint() {
    TCanvas* c = Canvas();
    TRect client(0, 0, Width(), Height());
    bool defaultDraw = true;
    if (OnCustomDraw) OnCustomDraw(this, client, defaultDraw);
    if (defaultDraw && !transparent_) {
        c->Brush()->SetColor(Color());
        c->Brush()->SetStyle(bsSolid);
        c->FillRect(client);
    }
    for (TToolButton* b : std::vector<TToolButton*>(buttons_)) {
        if (!b->Visible()) continue;
        TCustomDrawState state = 0;
        if (hot_ == b) state |= cdsHot;
        if (pressed_ == b) state |= cdsSelected;
        if (b->down_) state |= cdsChecked;
        if (!b->Enabled()) state |= cdsDisabled;
        bool buttonDefault = true;
        c->Font()->Assign(Font());
        if (OnCustomDrawButton && b->style_ != tbsSeparator && b->style_ != tbsDivider)
            OnCustomDrawButton(this, b, state, buttonDefault);
        if (buttonDefault) DrawButtonDefault(b, state);
    }
}

void TToolBar::DrawButtonDefault(TToolButton* b, TCustomDrawState state) {
    TCanvas* c = Canvas();
    TRect r = b->BoundsRect();
    if (b->style_ == tbsSeparator || b->style_ == tbsDivider) {
        if (b->style_ == tbsDivider) {
            c->Pen()->SetColor(clBtnShadow);
            c->MoveTo(r.left + 3, r.top + 2);
            c->LineTo(r.left + 3, r.bottom - 2);
        }
        return;
    }
    bool sunken = (state & (cdsSelected | cdsChecked)) != 0;
    if (sunken || (state & cdsHot) || !flat_) {
        c->Pen()->SetColor(sunken ? clBtnShadow : clBtnHighlight);
        c->MoveTo(r.left, r.bottom - 1);
        c->LineTo(r.left, r.top);
        c->LineTo(r.right - 1, r.top);
        c->Pen()->SetColor(sunken ? clBtnHighlight : clBtnShadow);
        c->LineTo(r.right - 1, r.bottom - 1);
        c->LineTo(r.left, r.bottom - 1);
    }
    int right = b->style_ == tbsDropDown ? r.right - kArrowWidth : r.right;
    int shift = sunken ? 1 : 0;
    TCustomImageList* list = (state & cdsHot) && hotImages_ ? hotImages_ : images_;
    int textTop = r.top + 4;
    if (list && b->imageIndex_ >= 0) {
        int ix = list_ ? r.left + 4 : r.left + (right - r.left - list->Width()) / 2;
        list->Draw(c, ix + shift, r.top + 3 + shift, b->imageIndex_, b->Enabled());
        textTop = r.top + list->Height() + 4;
    }
    if (showCaptions_ && !b->Caption().empty()) {
        c->Brush()->SetStyle(bsClear);
        c->Font()->SetColor(b->Enabled() ? Font()->Color() : clGrayText);
        std::string text = StripAmpersands(b->Caption());
        int w = c->TextWidth(text);
        TRect tr = list_ ? TRect(r.left + (list ? list->Width() + 7 : 8), r.top + 4, right, r.bottom)
                         : TRect(r.left + (right - r.left - w) / 2, textTop, right, r.bottom);
        RECT rr{tr.left + shift, tr.top + shift, tr.right + shift, tr.bottom + shift};
        DrawText(c->Handle(), b->Caption().c_str(), -1, &rr, 0);
    }
    if (b->style_ == tbsDropDown) {
        int yc = r.top + r.Height() / 2;
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(b->Enabled() ? clBtnText : clGrayText);
        c->Pen()->SetColor(b->Enabled() ? clBtnText : clGrayText);
        c->Polygon({TPoint(r.right - 10, yc - 1), TPoint(r.right - 4, yc - 1), TPoint(r.right - 7, yc + 2)});
    }
}

}  // namespace platform
