// The skinned title bar: sections, caption buttons, the caption, dragging and the system
// menu.
#include "skinctrl/dvxtitlebar.h"

#include <algorithm>

#include "platform/controls/forms.h"
#include "platform/controls/menus.h"
#include "platform/core/sysutils.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"
#include "skinctrl/dvxresdef.h"

namespace skinctrl {

using namespace platform;

namespace {

// The smallest height a built-in style gives the bar's form (a frame raises it to fit its
// title bar, menu bar and bottom border).
constexpr int kTitleFormMinHeight = 50;

TdvxTitleBar* BarOf(TCollection* collection) {
    if (auto* s = dynamic_cast<TdvxTitleBarSections*>(collection)) return s->Bar();
    if (auto* b = dynamic_cast<TdvxTitleBarButtons*>(collection)) return b->Bar();
    return nullptr;
}

// A copy of a bitmap (null for an empty one).
void CopyInto(TPicture* picture, TBitmap* source) {
    if (!source || source->Empty()) {
        picture->SetGraphic(nullptr);
        return;
    }
    picture->SetGraphic(source);
}

// Draws bitmap at (x, y) with key colour transparency when keyed.
void DrawKeyed(TCanvas* canvas, int x, int y, TBitmap* bitmap, bool keyed, TColor key) {
    if (!bitmap || bitmap->Empty()) return;
    bitmap->SetTransparent(keyed);
    if (keyed) bitmap->SetTransparentColor(key);
    canvas->Draw(x, y, bitmap);
}

}  // namespace

// ---------------------------------------------------------------- sections

TdvxTitleBarSection::TdvxTitleBarSection(TCollection* collection)
    : TCollectionItem(collection, Deferred{}), picture_(std::make_unique<TPicture>()) {
    Join(collection);
}

void TdvxTitleBarSection::Assign(TPersistent* source) {
    auto* s = dynamic_cast<TdvxTitleBarSection*>(source);
    if (!s) return TCollectionItem::Assign(source);
    width_ = s->width_;
    align_ = s->align_;
    picture_->Assign(s->picture_.get());
    stretch_ = s->stretch_;
    SetAutoSize(s->autoSize_);
}

void TdvxTitleBarSection::Repaint() {
    if (TdvxTitleBar* bar = BarOf(Collection())) bar->Changed();
}

void TdvxTitleBarSection::SetAutoSize(bool value) {
    autoSize_ = value;
    if (value && picture_->Graphic()) width_ = picture_->Width();
    Repaint();
}

void TdvxTitleBarSection::SetWidth(int value) {
    width_ = value;
    Repaint();
}

void TdvxTitleBarSection::SetAlign(TdvxTitleBarAlign value) {
    if (value == align_) return;
    if (value == dvxClient && Collection()) {
        for (int i = 0; i < Collection()->Count(); ++i) {
            auto* other = static_cast<TdvxTitleBarSection*>(Collection()->Items(i));
            if (other != this && other->align_ == dvxClient) {
                Application->MessageBox("Sorry, only one section's Align property can be \"dvxClient\"", "Error",
                                        MB_OK | MB_ICONERROR);
                return;
            }
        }
    }
    align_ = value;
    if (value == dvxClient) stretch_ = true;
    Repaint();
}

void TdvxTitleBarSection::SetPicture(TPicture* value) {
    picture_->Assign(value);
    if (autoSize_ && picture_->Graphic()) width_ = picture_->Width();
    Repaint();
}

TBitmap* TdvxTitleBarSection::Bitmap() const { return picture_->Graphic() ? picture_->Bitmap() : nullptr; }

void TdvxTitleBarSection::SetStretch(bool value) {
    stretch_ = value;
    Repaint();
}

void TdvxTitleBarSection::SetCapSec(bool value) {
    capSec_ = value;
    Repaint();
}

TdvxTitleBarSections::TdvxTitleBarSections(TdvxTitleBar* bar)
    : TCollection([](TCollection* c) { return new TdvxTitleBarSection(c); }), bar_(bar) {}

void TdvxTitleBarSections::Update(TCollectionItem*) {
    if (bar_) bar_->Changed();
}

// ---------------------------------------------------------------- buttons

TdvxTitleBarButton::TdvxTitleBarButton(TCollection* collection) : TCollectionItem(collection, Deferred{}) {
    for (auto& p : pics_) p = std::make_unique<TBitmap>();
    Join(collection);
}

void TdvxTitleBarButton::Assign(TPersistent* source) {
    auto* b = dynamic_cast<TdvxTitleBarButton*>(source);
    if (!b) return TCollectionItem::Assign(source);
    visible_ = b->visible_;
    type_ = b->type_;
    transparent_ = b->transparent_;
    top_ = b->top_;
    uiStyle_ = b->uiStyle_;
    for (int i = 0; i < 3; ++i) pics_[i]->Assign(b->pics_[i].get());
    controlBoxMenu_ = b->controlBoxMenu_;
    Repaint();
}

TdvxTitleBar* TdvxTitleBarButton::Bar() const { return BarOf(Collection()); }

void TdvxTitleBarButton::Repaint() {
    if (TdvxTitleBar* bar = Bar()) bar->Changed();
}

void TdvxTitleBarButton::SetUIStyle(TdvxUIStyle value) {
    uiStyle_ = value;
    UpdateUIStyle();
}

void TdvxTitleBarButton::SetButtonType(TdvxTitleBarBtnType value) {
    if (value == dvxControlBox && Collection()) {
        for (int i = 0; i < Collection()->Count(); ++i) {
            auto* other = static_cast<TdvxTitleBarButton*>(Collection()->Items(i));
            if (other->type_ == dvxControlBox) {
                Application->MessageBox("Sorry, only one button's ButtonType property can be \"dvxControlBox\"",
                                        "Error", MB_OK | MB_ICONERROR);
                return;
            }
        }
    }
    type_ = value;
    UpdateUIStyle();
    Repaint();
}

void TdvxTitleBarButton::SetTransparent(bool value) {
    transparent_ = value;
    Repaint();
}

void TdvxTitleBarButton::SetTop(int value) {
    top_ = value;
    Repaint();
}

void TdvxTitleBarButton::SetVisible(bool value) {
    visible_ = value;
    Repaint();
}

// Frames first, first + 1 and first + 2 (from 1) of the 18-frame strip.
void TdvxTitleBarButton::LoadGlyphs(int first) {
    TdvxTitleBar* bar = Bar();
    TdvxUIStyle style = uiStyle_;
    TdvxFileTheme* theme = bar ? bar->GetFileTheme() : nullptr;
    bool skin = bar && bar->UsingTheme(style);
    for (int i = 0; i < 3; ++i) {
        if (skin)
            theme->GetBitmap2(SKIN2_TITLEBUTTONS, pics_[i].get(), 18, first + i);
        else
            GetInsideThemeBitmap(style, DVX_THEME_TITLEBUTTON_IMAGE, pics_[i].get(), 18, first + i);
    }
}

void TdvxTitleBarButton::UpdateUIStyle() {
    TdvxTitleBar* bar = Bar();
    if (type_ == dvxCustom) return;
    TdvxUIStyle style = uiStyle_;
    if (bar && bar->UsingTheme(style)) {
        transparent_ = bar->GetFileTheme()->GetBool(SKIN2_TITLEBTNTRANS);
        top_ = bar->GetFileTheme()->GetInt(SKIN2_TITLEBARBUTTONPOSY);
    } else {
        transparent_ = GetInsideThemeBool(style, DVX_THEME_TITLEBUTTON_TRANSPARENT);
        top_ = GetInsideThemeInt(style, DVX_THEME_TITLEBUTTON_TOP);
    }
    switch (type_) {
        case dvxControlBox: LoadGlyphs(1); break;
        case dvxHelp: LoadGlyphs(4); break;
        case dvxMax: LoadGlyphs(7); break;
        case dvxMin: LoadGlyphs(13); break;
        case dvxClose: LoadGlyphs(16); break;
        default: break;
    }
    if (type_ == dvxMax) ProcessMaxBtn();
}

void TdvxTitleBarButton::ProcessMaxBtn() {
    TdvxTitleBar* bar = Bar();
    if (type_ != dvxMax || !bar || bar->Custom()) return;
    TCustomForm* form = bar->ParentForm();
    LoadGlyphs(form && form->WindowState() == wsMaximized ? 10 : 7);
    Repaint();
}

void TdvxTitleBarButton::DoClick() {
    TdvxTitleBar* bar = Bar();
    if (!bar) return;
    TCustomForm* form = bar->ParentForm();
    if (!form) return;
    switch (type_) {
        case dvxMax:
            if (form->WindowState() == wsMaximized) {
                form->SetWindowState(wsNormal);
            } else {
                form->SetWindowState(wsMaximized);
                if (!bar->InForm()) {
                    TRect area = GetWorkAreaRect();
                    form->SetBounds(area.left - 2, area.top - 2, area.Width() + 4, area.Height() + 1);
                }
            }
            ProcessMaxBtn();
            break;
        case dvxMin:
            if (form == Application->MainForm() && form->HandleAllocated())
                SendMessage(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
            else
                form->SetWindowState(wsMinimized);
            break;
        case dvxClose: form->Close(); break;
        case dvxControlBox:
            if (controlBoxMenu_) {
                TPoint p = bar->ClientToScreen(TPoint(0, bar->Height()));
                controlBoxMenu_->Popup(std::max(0, int(p.x)), p.y);
            }
            break;
        default: break;
    }
}

TdvxTitleBarButtons::TdvxTitleBarButtons(TdvxTitleBar* bar)
    : TCollection([](TCollection* c) { return new TdvxTitleBarButton(c); }), bar_(bar) {}

void TdvxTitleBarButtons::Update(TCollectionItem*) {
    if (bar_) bar_->Changed();
}

// ---------------------------------------------------------------- system menu

TdvxTitleBarPopupMenu::TdvxTitleBarPopupMenu(TComponent* owner, TdvxTitleBar* bar) : TdvxPopupMenu(owner), bar_(bar) {
    auto add = [this](const char* caption, TNotifyEvent click) {
        auto* item = new TMenuItem(this);
        item->SetCaption(caption);
        item->OnClick = std::move(click);
        Items()->Add(item);
        return item;
    };
    minimize_ = add(DVX_TITLE_MENUITEM_MINIMIZE, [this](TObject* s) { OnMin(s); });
    maximize_ = add(DVX_TITLE_MENUITEM_MAXIMIZE, [this](TObject* s) { OnMax(s); });
    add("-", nullptr);
    close_ = add(DVX_TITLE_MENUITEM_CLOSE, [this](TObject* s) { OnClose(s); });
    MenuAdded();
}

void TdvxTitleBarPopupMenu::Popup(int x, int y) {
    bool min = false, max = false, close = false;
    for (int i = 0; i < bar_->Buttons()->Count(); ++i) {
        TdvxTitleBarButton* b = bar_->Buttons()->Items(i);
        if (!b->Visible()) continue;
        min |= b->ButtonType() == dvxMin;
        max |= b->ButtonType() == dvxMax;
        close |= b->ButtonType() == dvxClose;
    }
    minimize_->SetEnabled(min);
    maximize_->SetEnabled(max);
    close_->SetEnabled(close);
    TdvxPopupMenu::Popup(x, y);
}

void TdvxTitleBarPopupMenu::OnMin(TObject*) {
    TCustomForm* form = bar_->ParentForm();
    if (!form) return;
    if (form == Application->MainForm() && form->HandleAllocated())
        SendMessage(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else
        form->SetWindowState(wsMinimized);
}

void TdvxTitleBarPopupMenu::OnMax(TObject*) {
    for (int i = 0; i < bar_->Buttons()->Count(); ++i) {
        TdvxTitleBarButton* b = bar_->Buttons()->Items(i);
        if (b->Visible() && b->ButtonType() == dvxMax) b->DoClick();
    }
}

void TdvxTitleBarPopupMenu::OnClose(TObject*) {
    if (TCustomForm* form = bar_->ParentForm()) form->Close();
}

// ---------------------------------------------------------------- the bar

TdvxTitleBar::TdvxTitleBar(TComponent* owner)
    : TdvxControl<TCustomPanel>(owner),
      sections_(std::make_unique<TdvxTitleBarSections>(this)),
      buttons_(std::make_unique<TdvxTitleBarButtons>(this)),
      fullTitle_(std::make_unique<TBitmap>()),
      frameTitle_(std::make_unique<TBitmap>()) {
    controlStyle_ &= ~csAcceptsControls;
    controlStyle_ |= csDoubleClicks;
    SetBevelOuter(bvNone);
    fullTitle_->SetPixelFormat(pf24bit);
    frameTitle_->SetPixelFormat(pf24bit);
    systemMenu_ = new TdvxTitleBarPopupMenu(this, this);
    for (TdvxTitleBarBtnType type : {dvxControlBox, dvxClose, dvxMax, dvxMin}) {
        TdvxTitleBarButton* b = buttons_->Add();
        b->SetButtonType(type);
    }
    SetAlign(alTop);
    Font()->SetName("Tahoma");
    Font()->SetStyle(TFontStyles{fsBold});
    Font()->SetColor(clWhite);
    UIStyleChanged();
}

TdvxTitleBar::~TdvxTitleBar() {
    // The collections call back into the bar while they empty.
    buttons_->BeginUpdate();
    sections_->BeginUpdate();
}

void TdvxTitleBar::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == systemMenu_) systemMenu_ = nullptr;
    if (operation == opRemove)
        for (int i = 0; buttons_ && i < buttons_->Count(); ++i)
            if (buttons_->Items(i)->ControlBoxMenu() == component) buttons_->Items(i)->SetControlBoxMenu(nullptr);
    TdvxControl<TCustomPanel>::Notification(component, operation);
}

void TdvxTitleBar::Changed() {
    if (HandleAllocated()) Invalidate();
}

TCustomForm* TdvxTitleBar::ParentForm() const {
    for (TWinControl* p = Parent(); p; p = p->Parent())
        if (auto* form = dynamic_cast<TCustomForm*>(p)) return form;
    return nullptr;
}

bool TdvxTitleBar::InForm() const {
    IdvxStyled* styled = AsStyled(Parent());
    if (styled && styled->IsFormFrame()) return true;
    // On an MDI form the frame is a component of the form the bar sits on.
    if (auto* form = dynamic_cast<platform::TCustomForm*>(Parent()))
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (IdvxStyled* s = AsStyled(form->Components(i));
                s && s->IsFormFrame() && !dynamic_cast<platform::TControl*>(form->Components(i)))
                return true;
    return false;
}

bool TdvxTitleBar::CanPaint() const {
    int n = sections_->Count();
    if (n != 3 && n != 5) return false;
    for (int i = 0; i < n; ++i)
        if (!sections_->Items(i)->Picture()) return false;
    return true;
}

TBitmap* TdvxTitleBar::GetTitleImage(int index) const {
    if (index == -1) return fullTitle_.get();
    if (index == -2) return frameTitle_.get();
    if (sections_->Count() > 2 && index >= 0 && index < sections_->Count()) return sections_->Items(index)->Bitmap();
    return nullptr;
}

void TdvxTitleBar::ForcePaint() {
    if (!HandleAllocated()) {
        // Without a window the title images are still wanted (the frame cuts its region
        // from them): paint into a bitmap of the bar's size.
        TBitmap buffer;
        buffer.SetSize(std::max(1, Width()), std::max(1, Height()));
        PaintBuffer(buffer.Canvas());
        return;
    }
    Invalidate();
    Update();
}

void TdvxTitleBar::ProcessMaxBtn() {
    for (int i = 0; i < buttons_->Count(); ++i) buttons_->Items(i)->ProcessMaxBtn();
}

void TdvxTitleBar::AddHelpBtn() { buttons_->Add()->SetButtonType(dvxHelp); }

TRect TdvxTitleBar::ButtonRect(int index) const {
    if (index < 0 || index >= int(buttonRects_.size())) return TRect();
    return buttonRects_[std::size_t(index)];
}

TBitmap* TdvxTitleBar::AppIcon() {
    // Made once and kept: the bar paints on every pointer move.
    if (!appIcon_) {
        appIcon_ = std::make_unique<TBitmap>();
        try {
            appIcon_->LoadFromResourceName(nullptr, "MAINICON");
        } catch (const std::exception&) {
            appIcon_->SetSize(16, 16);
            appIcon_->Canvas()->Brush()->SetColor(DVX_KEY_COLOR);
            appIcon_->Canvas()->FillRect(TRect(0, 0, 16, 16));
        }
        if (appIcon_->Width() != 16 || appIcon_->Height() != 16) {
            TBitmap scaled;
            scaled.SetSize(16, 16);
            scaled.Canvas()->StretchDraw(TRect(0, 0, 16, 16), appIcon_.get());
            appIcon_->Assign(&scaled);
        }
        appIcon_->SetTransparent(true);
        appIcon_->SetTransparentColor(DVX_KEY_COLOR);
    }
    return appIcon_.get();
}

void TdvxTitleBar::SetButtonInterval(int value) {
    if (Store(buttonInterval_, value)) Refreshed();
}
void TdvxTitleBar::SetCaption(const std::string& value) {
    if (Store(caption_, value)) Refreshed();
}
void TdvxTitleBar::SetFormActive(bool value) {
    if (Store(formActive_, value)) Refreshed();
}
void TdvxTitleBar::SetLeftBtnXOffset(int value) {
    if (Store(leftBtnXOffset_, value)) Refreshed();
}
void TdvxTitleBar::SetRightBtnXOffset(int value) {
    if (Store(rightBtnXOffset_, value)) Refreshed();
}
void TdvxTitleBar::SetDrawAppIcon(bool value) {
    if (Store(drawAppIcon_, value)) Refreshed();
}
void TdvxTitleBar::SetInactiveCaptionColor(TColor value) {
    if (Store(inactiveCaptionColor_, value)) Refreshed();
}

void TdvxTitleBar::SetAutoSize(bool value) {
    autoSize_ = value;
    if (sections_->Count() > 0) {
        TdvxTitleBarSection* first = sections_->Items(0);
        int h = first->Picture()->Height() - (InForm() ? 3 : 0);
        SetHeight(std::max(0, h));
    } else {
        autoSize_ = false;
    }
}

void TdvxTitleBar::UIStyleChanged() {
    if (custom_) return;
    sections_->BeginUpdate();
    sections_->Clear();
    TdvxUIStyle style = GetUIStyle();
    if (UsingTheme(style)) {
        UpdateFileTheme();
    } else {
        UpdateInsideTheme(style);
    }
    sections_->EndUpdate();
    for (int i = 0; i < buttons_->Count(); ++i) buttons_->Items(i)->SetUIStyle(style);
    if (systemMenu_) {
        systemMenu_->SetFileTheme(GetFileTheme());
        systemMenu_->SetUIStyle(style);
    }
    if (!applyingFileTheme_) {
        TdvxUIStyle resolved = GetUIStyle();
        if (UsingTheme(resolved))
            Font()->SetColor(GetFileTheme()->GetColor(SKIN2_TITLEFONTCOLOR));
        else
            Font()->SetColor(GetUIStyle() == MacOS ? clBlack : TColor(0xFFFFFF));
    }
    SetAutoSize(true);
}

void TdvxTitleBar::UpdateInsideTheme(TdvxUIStyle style) {
    auto section = [&](int entry, bool autoSize, TdvxTitleBarAlign align) {
        TdvxTitleBarSection* s = sections_->Add();
        TBitmap picture;
        GetInsideThemeBitmap(style, entry, &picture, 0, 0);
        CopyInto(s->Picture(), &picture);
        if (align != dvxLeft) s->SetAlign(align);
        if (autoSize) s->SetAutoSize(true);
    };
    section(DVX_THEME_TITLE_LEFT_IMAGE, true, dvxLeft);
    section(DVX_THEME_TITLE_RIGHT_IMAGE, true, dvxRight);
    section(DVX_THEME_TITLE_CLIENT_IMAGE, false, dvxClient);
    fiveSect_ = false;
    leftBtnXOffset_ = GetInsideThemeInt(style, DVX_THEME_TITLEBUTTON_LEFT_XOFFSET);
    rightBtnXOffset_ = GetInsideThemeInt(style, DVX_THEME_TITLEBUTTON_RIGHT_XOFFSET);
    TBitmap strip;
    GetInsideThemeBitmap(style, DVX_THEME_TITLEBUTTON_IMAGE, &strip, 0, 0);
    buttonHeight_ = strip.Height();
    buttonTop_ = GetInsideThemeInt(style, DVX_THEME_TITLEBUTTON_TOP) - (InForm() ? 3 : 0);
    iconTop_ = buttonTop_;
    captionTop_ = buttonTop_;
    // The form stays wide enough for its title: the style's smallest width.
    if (TCustomForm* form = ParentForm()) {
        form->Constraints()->SetMinWidth(GetInsideThemeInt(style, DVX_THEME_FORM_MIN_WIDTH));
        form->Constraints()->SetMinHeight(kTitleFormMinHeight);
    }
    roundCorner_ = GetInsideThemeInt(style, DVX_THEME_FORM_ROUND_CORNER);
    roundCornerBottom_ = 0;
}

void TdvxTitleBar::UpdateFileTheme() {
    TdvxFileTheme* theme = GetFileTheme();
    fiveSect_ = theme->GetBool(SKIN2_TITLEFIVESECT);
    transColor_ = theme->GetColor(SKIN2_TRANSCOLOR);
    auto section = [&](Tsk2SkinBitmapElement element) {
        TdvxTitleBarSection* s = sections_->Add();
        CopyInto(s->Picture(), theme->GetBitmap(element));
        return s;
    };
    section(SKIN2_TITLEBAR1)->SetAutoSize(true);
    TdvxTitleBarSection* second = section(SKIN2_TITLEBAR2);
    if (fiveSect_)
        second->SetCapSec(true);
    else
        second->SetAlign(dvxClient);
    TdvxTitleBarSection* third = section(SKIN2_TITLEBAR3);
    third->SetAutoSize(true);
    if (!fiveSect_) third->SetAlign(dvxRight);
    if (fiveSect_) {
        section(SKIN2_TITLEBAR4)->SetAlign(dvxClient);
        TdvxTitleBarSection* fifth = section(SKIN2_TITLEBAR5);
        fifth->SetAutoSize(true);
        fifth->SetAlign(dvxRight);
    }
    leftBtnXOffset_ = theme->GetInt(SKIN2_TITLEBARICONPOSX);
    rightBtnXOffset_ = theme->GetInt(SKIN2_TITLEBARBUTTONPOSX);
    TBitmap* strip = theme->GetBitmap(SKIN2_TITLEBUTTONS);
    buttonHeight_ = strip ? strip->Height() : 0;
    int inset = InForm() ? 3 : 0;
    buttonTop_ = theme->GetInt(SKIN2_TITLEBARBUTTONPOSY) - inset;
    iconTop_ = theme->GetInt(SKIN2_TITLEBARICONPOSY) - inset;
    captionTop_ = theme->GetInt(SKIN2_TITLEBARCAPTIONTOP);
    bgColor_ = theme->GetColor(SKIN2_FORMCOLOR);
    // The form stays wide enough for the title pictures and the button row.
    if (TCustomForm* form = ParentForm()) {
        auto width = [&](Tsk2SkinBitmapElement element) {
            TBitmap* b = theme->GetBitmap(element);
            return b ? b->Width() : 0;
        };
        const int buttons = width(SKIN2_TITLEBUTTONS) / 18 * buttons_->Count() + rightBtnXOffset_;
        const int minWidth = fiveSect_ ? width(SKIN2_TITLEBAR1) + width(SKIN2_TITLEBAR3) +
                                             std::max(width(SKIN2_TITLEBAR5), buttons) + 16
                                       : width(SKIN2_TITLEBAR1) + std::max(width(SKIN2_TITLEBAR3), buttons);
        form->Constraints()->SetMinWidth(minWidth);
    }
}

int TdvxTitleBar::TitleInset() const {
    TCustomForm* form = ParentForm();
    if (!form || !form->HandleAllocated()) return 0;
    return int(SendMessage(form->WindowHandle(), DVXM_TITLEINSET, 0, 0));
}

bool TdvxTitleBar::RightToLeftCaption() const {
    // A right-to-left reading order moves the caption only where the user's language reads
    // right to left, as the check box and the list boxes do.
    return BiDiMode() == bdRightToLeft && SysLocale.MiddleEast;
}

void TdvxTitleBar::PaintBuffer(TCanvas* canvas) {
    TBitmap buffer;
    buffer.SetSize(std::max(1, Width()), std::max(1, Height()));
    buffer.Canvas()->Brush()->SetStyle(bsClear);
    buffer.Canvas()->Font()->Assign(Font());
    DrawSectionsTo(&buffer);
    DrawButtons(&buffer);
    canvas->Draw(0, 0, &buffer);
}

void TdvxTitleBar::DrawSectionsTo(TBitmap* buffer) {
    shortCaption_.clear();
    TCustomForm* form = ParentForm();
    if (!form) return;
    int offX = 0, offY = 0;
    if (InForm()) {
        int q = TitleInset();
        offX = q != 0 ? -q : -3;
        offY = -3;
    }
    int buttonRoom = 0;
    for (int i = 0; i < buttons_->Count(); ++i) buttonRoom += buttons_->Items(i)->PicNormal()->Width() + buttonInterval_;
    const int bw = buffer->Width(), bh = buffer->Height();
    TCanvas* c = buffer->Canvas();
    fullTitle_->SetSize(std::max(1, bw - 2 * offX), std::max(1, bh - offY));
    frameTitle_->SetSize(fullTitle_->Width(), fullTitle_->Height());
    frameTitle_->Canvas()->Brush()->SetColor(bgColor_);
    frameTitle_->Canvas()->FillRect(TRect(0, 0, frameTitle_->Width(), frameTitle_->Height()));
    TCanvas* full = fullTitle_->Canvas();
    full->Brush()->SetColor(transColor_);
    full->FillRect(TRect(0, 0, fullTitle_->Width(), fullTitle_->Height()));
    int x = offX, right = bw - offX, lastLeft = 0;
    TdvxTitleBarSection* client = nullptr;
    bool captionDrawn = false;
    for (int i = 0; i < sections_->Count(); ++i) {
        TdvxTitleBarSection* s = sections_->Items(i);
        TBitmap* pic = s->Bitmap();
        if (!pic) continue;
        const int pw = pic->Width(), ph = pic->Height();
        if (s->CapSec()) {
            int next = i + 1 < sections_->Count() ? sections_->Items(i + 1)->Width() : 0;
            shortCaption_ = FormatStringWithWidth(c, caption_, bw - leftBtnXOffset_ - 21 - buttonRoom - next);
            int segment = c->TextWidth(shortCaption_) + leftBtnXOffset_ + 17 - lastLeft;
            c->StretchDraw(TRect(x, offY, x + segment, offY + ph), pic);
            full->StretchDraw(TRect(x - offX, 0, x + segment - offX, ph), pic);
            x += segment;
            captionDrawn = true;
        } else if (s->Align() == dvxLeft) {
            c->Draw(x, offY, pic);
            full->Draw(x - offX, 0, pic);
            x += pw;
            lastLeft = pw;
        } else if (s->Align() == dvxRight) {
            TBitmap composed;
            composed.SetSize(pw, ph);
            composed.Canvas()->Brush()->SetColor(bgColor_);
            composed.Canvas()->FillRect(TRect(0, 0, pw, ph));
            DrawKeyed(composed.Canvas(), 0, 0, pic, true, transColor_);
            pic->SetTransparent(false);
            c->Draw(right - pw, offY, &composed);
            full->Draw(right - offX - pw, 0, pic);
            right -= pw;
        } else {
            client = s;
        }
    }
    if (client) {
        TBitmap* pic = client->Bitmap();
        c->StretchDraw(TRect(x, offY, right, offY + pic->Height()), pic);
        full->StretchDraw(TRect(x - offX, 0, right - offX, pic->Height()), pic);
    }
    DrawKeyed(frameTitle_->Canvas(), 0, 0, fullTitle_.get(), fullTitle_->Transparent(), transColor_);
    if (!captionDrawn) shortCaption_.clear();
}

void TdvxTitleBar::DrawButtons(TBitmap* buffer) {
    buttonRects_.assign(std::size_t(buttons_->Count()), TRect());
    drawnCaption_.clear();
    TCustomForm* form = ParentForm();
    if (!form) return;
    const int q = TitleInset();
    const int bw = buffer->Width();
    int right = bw - rightBtnXOffset_ + q - 1;
    TdvxUIStyle style = GetUIStyle();
    bool skin = UsingTheme(style);
    TCanvas* c = buffer->Canvas();
    POINT cursor;
    GetCursorPos(&cursor);
    TPoint p = HandleAllocated() ? ScreenToClient(TPoint(cursor.x, cursor.y)) : TPoint(-10000, -10000);
    hotIndex_ = -1;
    int controlBox = -1;
    for (int i = 0; i < buttons_->Count(); ++i) {
        TdvxTitleBarButton* b = buttons_->Items(i);
        if (!b->Visible() || b->PicNormal()->Empty() || b->PicMouseOn()->Empty() || b->PicMouseDown()->Empty()) continue;
        if (b->ButtonType() == dvxControlBox) {
            controlBox = i;
            continue;
        }
        const int w = b->PicNormal()->Width(), h = b->PicNormal()->Height();
        right -= b->ButtonType() == dvxClose ? w : w + buttonInterval_ + 1;
        if (right + w + 1 > bw) right = bw - w - 1;
        TRect r(right, buttonTop_, right + w, buttonTop_ + h);
        buttonRects_[std::size_t(i)] = r;
        TBitmap* glyph = b->PicNormal();
        if (r.Contains(p)) {
            hotIndex_ = i;
            glyph = pressed_ ? b->PicMouseDown() : b->PicMouseOn();
        }
        // The built-in strips mark what lies outside a glyph with the key colour.
        DrawKeyed(c, right, buttonTop_, glyph, b->Transparent() || !skin, skin ? transColor_ : DVX_KEY_COLOR);
    }
    int left = std::max(0, leftBtnXOffset_ - 4 - (q - 1));
    if (controlBox >= 0) {
        TdvxTitleBarButton* b = buttons_->Items(controlBox);
        TRect r(left, iconTop_, left + b->PicNormal()->Width(), iconTop_ + b->PicNormal()->Height());
        buttonRects_[std::size_t(controlBox)] = r;
        bool inside = r.Contains(p);
        if (drawAppIcon_) {
            if (inside) hotIndex_ = controlBox;
            c->Draw(left + 3, iconTop_, AppIcon());
            left += 21;
        } else {
            TBitmap* glyph = inside ? (pressed_ ? b->PicMouseDown() : b->PicMouseOn()) : b->PicNormal();
            if (inside) hotIndex_ = controlBox;
            DrawKeyed(c, left, iconTop_ - 1, glyph, b->Transparent() || !skin, skin ? transColor_ : DVX_KEY_COLOR);
            left += b->PicNormal()->Width() + 5;
        }
    }
    if (left == 0) left = 6;
    c->Font()->Assign(Font());
    if (!formActive_) c->Font()->SetColor(inactiveCaptionColor_);
    std::string text = shortCaption_;
    if (text.empty() && !caption_.empty()) {
        text = caption_;
        if (c->TextWidth(text) > right - left) {
            while (!text.empty() && c->TextWidth(text + "...") > right - left) {
                // Whole UTF-8 characters go.
                std::size_t cut = text.size() - 1;
                while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
                text.erase(cut);
            }
            text += "...";
        }
    }
    if (text.empty()) return;
    int y = skin ? captionTop_ - 3 : (style == Protein ? buttonTop_ + 3 : buttonTop_);
    int x = RightToLeftCaption() ? right - c->TextWidth(text) - 10 : left;
    c->Brush()->SetStyle(bsClear);
    c->TextOut(x, y, text);
    drawnCaption_ = text;
    captionPos_ = TPoint(x, y);
}

void TdvxTitleBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TdvxControl<TCustomPanel>::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    pressed_ = true;
    ForcePaint();
    TCustomForm* form = ParentForm();
    if (form && hotIndex_ < 0 && form->WindowState() != wsMaximized && form->HandleAllocated()) {
        ReleaseCapture();
        pressed_ = false;
        SendMessage(form->Handle(), WM_NCLBUTTONDOWN, WPARAM(HTCAPTION), 0);
    }
}

void TdvxTitleBar::MouseMove(TShiftState shift, int x, int y) {
    TdvxControl<TCustomPanel>::MouseMove(shift, x, y);
    Invalidate();
}

void TdvxTitleBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TdvxControl<TCustomPanel>::MouseUp(button, shift, x, y);
    if (button != mbLeft) return;
    ForcePaint();  // the hot button under the release
    int hot = hotIndex_;
    if (pressed_ && hot >= 0 && hot < buttons_->Count()) {
        TdvxTitleBarButton* b = buttons_->Items(hot);
        if (b->ButtonType() != dvxControlBox || b->ControlBoxMenu()) {
            b->DoClick();
        } else if (systemMenu_) {
            TPoint at = ClientToScreen(TPoint(0, Height()));
            pressed_ = false;
            systemMenu_->Popup(at.x, at.y);
        }
        // The click may have freed the form and the bar with it.
        if (hot < buttons_->Count()) {
            if (OnCustomBtnsClick && b->ButtonType() == dvxCustom)
                OnCustomBtnsClick(this, hot);
            else if (OnHelpBtnClick && b->ButtonType() == dvxHelp)
                OnHelpBtnClick(this, hot);
        }
    }
    pressed_ = false;
    Invalidate();
}

void TdvxTitleBar::DblClick() {
    TdvxControl<TCustomPanel>::DblClick();
    if (hotIndex_ < 0) {
        for (int i = 0; i < buttons_->Count(); ++i) {
            TdvxTitleBarButton* b = buttons_->Items(i);
            if (b->Visible() && b->ButtonType() == dvxMax) {
                b->DoClick();
                return;
            }
        }
    } else if (hotIndex_ < buttons_->Count() && buttons_->Items(hotIndex_)->ButtonType() == dvxControlBox) {
        if (TCustomForm* form = ParentForm()) form->Close();
    }
}

void TdvxTitleBar::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_FONTCHANGED:
            TdvxControl<TCustomPanel>::Dispatch(m);
            Invalidate();
            return;
        case CM_MOUSELEAVE:
            TdvxControl<TCustomPanel>::Dispatch(m);
            Invalidate();
            return;
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONUP:
        case WM_NCMOUSEMOVE:
            if (TCustomForm* form = ParentForm(); form && form->HandleAllocated()) {
                m.Result = SendMessage(form->Handle(), m.Msg, m.WParam, m.LParam);
                return;
            }
            break;
        default: break;
    }
    TdvxControl<TCustomPanel>::Dispatch(m);
}

}  // namespace skinctrl
