// The skinned MDI frame: construction and teardown of the two hooks, the menu bar with the
// menu swap and the child's control buttons, the Window menu, tiling and cascading, the
// frame's painting and region.
#include "skinctrl/dvxmdiform.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/controls/mdi.h"
#include "platform/controls/menus.h"
#include "platform/graphics/resources.h"
#include "platform/windows/input.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

namespace {

constexpr LRESULT WVR_VALIDRECTS = 0x400;
constexpr UINT SWP_FRAME_ONLY = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;
constexpr UINT WM_MDI_CLIENT_RECALC = 0x003F;

// The frames by the windows they hook (the form's and the client's). User-interface thread.
std::map<HWND, TdvxMDIForm*>& FormHooks() {
    static std::map<HWND, TdvxMDIForm*> hooks;
    return hooks;
}
std::map<HWND, TdvxMDIForm*>& ClientHooks() {
    static std::map<HWND, TdvxMDIForm*> hooks;
    return hooks;
}

int FrameSize(int measured) { return measured <= 0 || measured > 12 ? 4 : measured; }

TdvxForm* FrameOf(TCustomForm* form) {
    if (!form) return nullptr;
    for (TControl* c : ChildControls(form))
        if (auto* frame = dynamic_cast<TdvxForm*>(c); frame && frame->IsFormFrame()) return frame;
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- Window-menu items

TdvxWindowMenuItem::TdvxWindowMenuItem(TComponent* owner, TCustomForm* child) : TMenuItem(owner), child_(child) {
    if (child_) FreeNotification(child_);
}

void TdvxWindowMenuItem::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == child_) child_ = nullptr;
    TMenuItem::Notification(component, operation);
}

// ---------------------------------------------------------------- construction

TdvxMDIForm::TdvxMDIForm(TComponent* owner) : TComponent(owner), bottomBorder_(std::make_unique<TBitmap>()) {
    auto* form = dynamic_cast<TCustomForm*>(owner);
    if (!form) throw EInvalidOperation("Sorry, TdvxMDIForm must be placed on a form");
    form_ = form;
    form->SetMenu(nullptr);
    bottomBorder_->SetPixelFormat(pf24bit);
    HWND h = form->Handle();
    {
        RECT window, client;
        GetWindowRect(h, &window);
        GetClientRect(h, &client);
        POINT bottomRight{client.right, client.bottom}, topLeft{0, 0};
        platform::ClientToScreen(h, &bottomRight);
        platform::ClientToScreen(h, &topLeft);
        sysB_ = FrameSize(window.bottom - bottomRight.y);
        sysL_ = FrameSize(topLeft.x - window.left);
    }
    TFormBorderStyle bs = form->BorderStyle();
    if (bs == bsNone || bs == bsSingle || bs == bsToolWindow) form->SetBorderStyle(bsDialog);
    h = form->Handle();

    titleBar_ = new TdvxTitleBar(this);
    titleBar_->SetParent(form);
    titleBar_->SetAlign(alTop);
    titleBar_->SetCaption(form->Caption());
    CreateMenuBar();
    form->SetAutoScroll(false);

    LONG style = GetWindowLongA(h, GWL_STYLE);
    if (style & LONG(WS_CAPTION)) SetWindowLongA(h, GWL_STYLE, style & ~LONG(WS_CAPTION));
    formHwnd_ = h;
    previousForm_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC));
    FormHooks()[h] = this;
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TdvxMDIForm::FormHookProc));
    if (HWND client = form->ClientHandle()) {
        clientHwnd_ = client;
        previousClient_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(client, GWLP_WNDPROC));
        ClientHooks()[client] = this;
        SetWindowLongPtrA(client, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TdvxMDIForm::ClientHookProc));
    }
    appEvents_ = std::make_unique<TApplicationEvents>(nullptr);
    appEvents_->OnMessage = [this](MSG& msg, bool& handled) { OnApplicationMessage(msg, handled); };
    SetUIStyle(DeepBlue);
    UpdateMenu();
    FrameChanged();
}

TdvxMDIForm::~TdvxMDIForm() {
    FreeWindowMenuItems();
    closing_ = true;
    appEvents_.reset();
    if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_); skinned && skinned->SkinnedForm() == this)
        skinned->SetSkinnedForm(nullptr);
    // Destroyed before its form: both windows get their own procedures back, so the client
    // never calls into a frame that is gone.
    Unhook();
    DestroyMenuBar();
    delete titleBar_;
    titleBar_ = nullptr;
}

void TdvxMDIForm::Unhook() {
    if (clientHwnd_) {
        HWND c = clientHwnd_;
        clientHwnd_ = nullptr;
        ClientHooks().erase(c);
        if (IsWindow(c) && reinterpret_cast<WNDPROC>(GetWindowLongPtrA(c, GWLP_WNDPROC)) == &TdvxMDIForm::ClientHookProc)
            SetWindowLongPtrA(c, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousClient_));
    }
    if (formHwnd_) {
        HWND h = formHwnd_;
        formHwnd_ = nullptr;
        FormHooks().erase(h);
        if (!IsWindow(h)) return;
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC)) == &TdvxMDIForm::FormHookProc)
            SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousForm_));
        SetWindowLongA(h, GWL_STYLE, GetWindowLongA(h, GWL_STYLE) | LONG(WS_CAPTION));
        SetWindowRgn(h, nullptr, TRUE);
        SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_FRAME_ONLY);
    }
}

void TdvxMDIForm::Loaded() {
    TComponent::Loaded();
    UpdateMenu();
}

void TdvxMDIForm::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (!component) return;
    if (operation == opRemove) {
        if (addedTo_ && component == addedTo_) {
            // The Window menu goes, and with it the items added to it.
            addedTo_ = nullptr;
            added_.clear();
        }
        for (auto it = added_.begin(); it != added_.end(); ++it)
            if (*it == component) {
                added_.erase(it);
                break;
            }
        if (component == menu_) {
            menu_ = nullptr;
            UpdateMenu();
        }
        if (component == shown_) shown_ = nullptr;
        if (component == menuBar_) menuBar_ = nullptr;
        if (component == titleBar_) titleBar_ = nullptr;
        if (component == topPanel_) topPanel_ = nullptr;
        for (auto*& b : controlButtons_)
            if (component == b) b = nullptr;
        if (fileTheme_ && detail::IsTheme(component, fileTheme_)) {
            fileTheme_ = nullptr;
            SetUIStyle(DeepBlue);
        }
    }
}

// ---------------------------------------------------------------- properties

void TdvxMDIForm::SetUIStyle(TdvxUIStyle value) {
    uiStyle_ = value;
    TdvxUIStyle style = value;
    if (UsingFileTheme(fileTheme_, uiStyle_, style)) {
        TdvxFileTheme* theme = fileTheme_;
        menuBarColor_ = theme->GetColor(SKIN2_MENUBARSTARTCOLOR);
        menuBarToColor_ = theme->GetColor(SKIN2_MENUBARENDCOLOR);
        auto width = [&](Tsk2SkinBitmapElement e) {
            TBitmap* b = theme->GetBitmap(e);
            return b ? b->Width() : 0;
        };
        L_ = width(SKIN2_FORMLEFTBORDER);
        R_ = width(SKIN2_FORMRIGHTBORDER);
        TBitmap* bottom = theme->GetBitmap(SKIN2_FORMBOTTOMBORDER1);
        B_ = bottom ? bottom->Height() : 0;
        transColor_ = theme->GetColor(SKIN2_TRANSCOLOR);
        titleRegion_ = theme->GetBool(SKIN2_TITLEBARNEEDREGION);
        bottomRegion_ = theme->GetBool(SKIN2_BOTTOMBORDERNEEDREGION);
        titleMin_ = theme->GetInt(SKIN2_TITLEBARREGIONMINY);
        titleMax_ = theme->GetInt(SKIN2_TITLEBARREGIONMAXY);
        bottomMin_ = theme->GetInt(SKIN2_BOTTOMREGIONMINY);
        bottomMax_ = theme->GetInt(SKIN2_BOTTOMREGIONMAXY);
    } else {
        borderColor_ = GetInsideThemeColor(style, DVX_THEME_FORM_BORDER_COLOR);
        menuBarColor_ = menuBarToColor_ = GetInsideThemeColor(style, DVX_THEME_FORM_COLOR);
        borderWidth_ = GetInsideThemeInt(style, DVX_THEME_FORM_BORDER_WIDTH);
        roundCorner_ = GetInsideThemeInt(style, DVX_THEME_FORM_ROUND_CORNER);
        roundCornerBottom_ = 0;
        L_ = R_ = B_ = 0;
        transColor_ = DVX_KEY_COLOR;
    }
    if (menuBar_) menuBar_->SetColor(menuBarColor_);
    if (topPanel_) topPanel_->SetColor(menuBarColor_);
    for (TdvxToolBarSpeedButton* b : controlButtons_)
        if (b) {
            b->SetColor(menuBarColor_);
            b->SetToColor(menuBarToColor_);
        }
    if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_)) {
        skinned->SetUIStyle(uiStyle_);
        skinned->SetFileTheme(fileTheme_);
    }
    if (!titleBar_) {
        ApplyMinimumSize();
        return;
    }
    titleBar_->SetFileTheme(fileTheme_);
    titleBar_->SetUIStyle(uiStyle_);
    titleBar_->ReapplyStyle();
    // The frame keeps the corners; the bar's own stay square.
    titleBar_->SetRoundCorner(0);
    titleBar_->SetRoundCornerBottom(0);
    titleBar_->ForcePaint();
    if (TBitmap* full = titleBar_->GetTitleImage(-1)) {
        full->SetTransparent(style == FromThemeFile && titleRegion_);
        full->SetTransparentColor(transColor_);
    }
    ApplyMinimumSize();
    FrameChanged();
    PaintBorder();
    RegionWindow();
}

void TdvxMDIForm::ApplyMinimumSize() {
    TdvxUIStyle style = uiStyle_;
    if (!form_ || !UsingFileTheme(fileTheme_, uiStyle_, style)) return;
    // Under a skin the form stays wide enough for the title pictures and the buttons, and
    // high enough for the title bar, the menu bar and the bottom border.
    TdvxFileTheme* theme = fileTheme_;
    auto width = [&](Tsk2SkinBitmapElement e) {
        TBitmap* b = theme->GetBitmap(e);
        return b ? b->Width() : 0;
    };
    const int k = titleBar_ ? titleBar_->Buttons()->Count() * 15 - 15 : 35;
    const int left = width(SKIN2_TITLEBAR1), right = width(SKIN2_TITLEBAR3), button = width(SKIN2_TITLEBUTTONS) / 6;
    const int minWidth = theme->GetBool(SKIN2_TITLEFIVESECT) ? left + right + button + k
                                                              : left + std::max(right, button + k);
    const int bar = topPanel_ && topPanel_->Visible() && menuBar_ ? menuBar_->Height() : 0;
    const int minHeight = (titleBar_ ? titleBar_->Height() : 0) + bar + B_ + 3;
    form_->Constraints()->SetMinWidth(minWidth);
    form_->Constraints()->SetMinHeight(minHeight);
}

void TdvxMDIForm::SetFileTheme(TdvxFileTheme* value) {
    if (value == fileTheme_) return;
    detail::LinkFileTheme(this, fileTheme_, value);
    SetUIStyle(uiStyle_);
}

void TdvxMDIForm::SetMenu(TMainMenu* value) {
    if (menu_ == value) return;
    if (menu_) {
        if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_); skinned && skinned->SkinnedForm() == this)
            skinned->SetSkinnedForm(nullptr);
        RemoveFreeNotification(menu_);
    }
    menu_ = value;
    if (value) {
        FreeNotification(value);
        if (auto* skinned = dynamic_cast<TdvxMainMenu*>(value)) {
            skinned->SetSkinnedForm(this);
            skinned->SetUIStyle(uiStyle_);
            skinned->SetFileTheme(fileTheme_);
        }
    }
    UpdateMenu();
}

void TdvxMDIForm::SetMenuBarColor(TColor value) {
    menuBarColor_ = value;
    if (menuBar_) menuBar_->SetColor(value);
    if (topPanel_) topPanel_->SetColor(value);
}

void TdvxMDIForm::SetMenuBarToColor(TColor value) {
    menuBarToColor_ = value;
    if (menuBar_) menuBar_->Invalidate();
}

void TdvxMDIForm::SetBorderColor(TColor value) {
    borderColor_ = value;
    PaintBorder();
}

std::string TdvxMDIForm::Caption() const { return form_ ? form_->Caption() : std::string(); }

void TdvxMDIForm::SetCaption(const std::string& value) {
    if (form_ && form_->Caption() != value) form_->SetCaption(value);
    if (titleBar_) titleBar_->SetCaption(value);
    PaintBorder();
}

void TdvxMDIForm::SetTitleBarVisible(bool value) {
    if (!titleBar_ || titleBar_->Visible() == value) return;
    titleBar_->SetVisible(value);
    titleBar_->SetTop(0);
    FrameChanged();
    PaintBorder();
    RegionWindow();
}

void TdvxMDIForm::SetRoundCorner(int value) {
    roundCorner_ = value;
    RegionWindow();
}

void TdvxMDIForm::SetRoundCornerBottom(int value) {
    roundCornerBottom_ = value;
    RegionWindow();
}

void TdvxMDIForm::FrameChanged() {
    if (!form_ || !form_->HandleAllocated() || closing_) return;
    SetWindowPos(form_->WindowHandle(), nullptr, 0, 0, 0, 0, SWP_FRAME_ONLY);
    form_->Realign();
}

// ---------------------------------------------------------------- menu bar

void TdvxMDIForm::CreateMenuBar() {
    if (menuBar_) return;
    topPanel_ = new TPanel(this);
    topPanel_->SetBevelOuter(bvNone);
    topPanel_->SetBevelInner(bvNone);
    topPanel_->SetCaption("");
    topPanel_->SetAlign(alTop);
    topPanel_->SetVisible(false);
    topPanel_->SetParent(form_);
    menuBar_ = new TdvxMenuBar(this, this);
    menuBar_->SetAlign(alTop);
    menuBar_->SetAutoSize(true);
    menuBar_->OnCustomDrawButton = [this](TToolBar* s, TToolButton* b, TCustomDrawState st, bool& d) {
        d = false;
        if (!closing_) MenuBar_DrawButton(s, b, st, uiStyle_, fileTheme_, shown_);
    };
    menuBar_->OnCustomDraw = [this](TToolBar* s, const TRect& r, bool&) {
        if (!closing_) MenuBar_DrawBackground(s, r, uiStyle_, menuBarColor_, menuBarToColor_);
    };
    menuBar_->SetParent(topPanel_);
    // The child's control buttons: three frames of one picture (minimise, restore, close).
    EnsureStyleResources();
    TBitmap strip;
    try {
        strip.LoadFromResourceName(HInstance, "MDI_CONTROL_BUTTON");
    } catch (const std::exception&) {
    }
    const std::intptr_t tags[3] = {DVX_MDI_CLOSE_TAG, DVX_MDI_RESTORE_TAG, DVX_MDI_MINIMIZE_TAG};
    const int frames[3] = {3, 2, 1}, offsets[3] = {20, 38, 56};
    for (int i = 0; i < 3; ++i) {
        auto* b = new TdvxToolBarSpeedButton(this);
        b->SetTag(tags[i]);
        b->SetBounds(0, sysL_ >= 5 ? 4 : 2, 18, 16);
        if (!strip.Empty()) {
            TBitmap glyph;
            SpitBitmap(&strip, &glyph, 3, frames[i]);
            glyph.SetTransparentColor(DVX_KEY_COLOR);
            b->SetGlyph(&glyph);
        }
        b->SetVisible(false);
        b->SetParent(topPanel_);
        b->SetLeft(topPanel_->Width() - offsets[i]);
        b->SetAnchors(akTop | akRight);
        b->BringToFront();
        b->OnClick = [this](TObject* sender) { OnControlButtonClick(sender); };
        b->SetColor(menuBarColor_);
        b->SetToColor(menuBarToColor_);
        controlButtons_[i] = b;
    }
    if (titleBar_) titleBar_->SetTop(0);
}

void TdvxMDIForm::DestroyMenuBar() {
    for (auto*& b : controlButtons_) {
        delete b;
        b = nullptr;
    }
    TdvxMenuBar* bar = menuBar_;
    menuBar_ = nullptr;
    delete bar;
    TPanel* panel = topPanel_;
    topPanel_ = nullptr;
    delete panel;
    if (menu_) {
        RemoveFreeNotification(menu_);
        menu_ = nullptr;
    }
    shown_ = nullptr;
}

TdvxToolBarSpeedButton* TdvxMDIForm::ControlButton(std::intptr_t tag) const {
    for (TdvxToolBarSpeedButton* b : controlButtons_)
        if (b && b->Tag() == tag) return b;
    return nullptr;
}

TdvxForm* TdvxMDIForm::GetActiveChildZURForm() const {
    return form_ ? FrameOf(form_->ActiveMDIChild()) : nullptr;
}

TMainMenu* TdvxMDIForm::GetMainMenu() const {
    if (drawChildMenus_ && titleBar_ && form_)
        if (TCustomForm* child = form_->ActiveMDIChild()) {
            if (child->Menu()) return child->Menu();
            if (TdvxForm* frame = FrameOf(child); frame && frame->Menu()) return frame->Menu();
        }
    return menu_;
}

void TdvxMDIForm::ShowMenuBar() {
    if (topPanel_ && !topPanel_->Visible()) topPanel_->SetVisible(true);
}

void TdvxMDIForm::HideMenuBar() {
    if (topPanel_ && topPanel_->Visible()) topPanel_->SetVisible(false);
}

void TdvxMDIForm::UpdateMenu() {
    if (closing_ || !menuBar_) return;
    TMainMenu* shown = GetMainMenu();
    if (shown_ != shown) {
        if (shown_) RemoveFreeNotification(shown_);
        shown_ = shown;
        if (shown_) FreeNotification(shown_);
    }
    if (!shown) {
        MenuBar_Fill(menuBar_, nullptr);
        HideMenuBar();
        FrameChanged();
        return;
    }
    if (titleBar_) titleBar_->SetTop(0);
    if (menu_) MenuBar_TakeFont(menuBar_, menu_);
    MenuBar_Fill(menuBar_, shown);
    ShowMenuBar();
    topPanel_->SetHeight(std::max(menuBar_->Height(), 20));
    UpdateWindowMenu();
    FrameChanged();
    PaintBorder();
}

void TdvxMDIForm::UpdateTopMenu() {
    if (closing_ || !menuBar_) return;
    for (int i = 0; i < menuBar_->ButtonCount(); ++i) {
        TToolButton* b = menuBar_->Buttons(i);
        if (TMenuItem* item = b->MenuItem()) {
            b->SetCaption(item->Caption());
            b->SetEnabled(item->Enabled());
        }
    }
    menuBar_->ArrangeButtons();
}

void TdvxMDIForm::RepaintMenuBar() {
    if (closing_ || !menuBar_ || !menu_) return;
    MenuBar_TakeFont(menuBar_, menu_);
    menuBar_->Invalidate();
}

void TdvxMDIForm::ShowControlButtons() {
    TdvxForm* frame = GetActiveChildZURForm();
    if (!frame || !frame->TitleBar()) return;
    TdvxTitleBarButtons* buttons = frame->TitleBar()->Buttons();
    for (int i = 0; i < buttons->Count(); ++i) {
        TdvxToolBarSpeedButton* b = nullptr;
        switch (buttons->Items(i)->ButtonType()) {
            case dvxMin: b = ControlButton(DVX_MDI_MINIMIZE_TAG); break;
            case dvxMax: b = ControlButton(DVX_MDI_RESTORE_TAG); break;
            case dvxClose: b = ControlButton(DVX_MDI_CLOSE_TAG); break;
            default: break;
        }
        if (b) {
            b->SetVisible(true);
            b->BringToFront();
        }
    }
}

void TdvxMDIForm::HideControlButtons() {
    for (TdvxToolBarSpeedButton* b : controlButtons_)
        if (b) b->SetVisible(false);
}

void TdvxMDIForm::OnControlButtonClick(TObject* sender) {
    auto* b = dynamic_cast<TComponent*>(sender);
    TCustomForm* child = form_ ? form_->ActiveMDIChild() : nullptr;
    if (!b || !child) return;
    switch (b->Tag()) {
        case DVX_MDI_MINIMIZE_TAG: ShowWindow(child->Handle(), SW_SHOWMINIMIZED); break;
        case DVX_MDI_RESTORE_TAG: child->SetWindowState(wsNormal); break;
        case DVX_MDI_CLOSE_TAG: child->Close(); break;
        default: return;
    }
    Application->ProcessMessages();
}

// ---------------------------------------------------------------- Window menu

void TdvxMDIForm::FreeWindowMenuItems() {
    std::vector<TMenuItem*> items;
    items.swap(added_);
    addedTo_ = nullptr;
    for (TMenuItem* item : items) delete item;
}

void TdvxMDIForm::UpdateWindowMenu() {
    if (closing_ || updatingWindowMenu_ || !form_ || !menu_ || (form_->ComponentState() & csDestroying)) return;
    TMenuItem* windowMenu = form_->WindowMenu();
    if (!windowMenu || shown_ != menu_) return;
    // The skinned menu rebuilds the bar on MenuAdded, which lands here again.
    updatingWindowMenu_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{updatingWindowMenu_};
    FreeWindowMenuItems();
    addedTo_ = windowMenu;
    FreeNotification(windowMenu);
    // The separator is recorded with the rest, so rebuilding never leaves one behind.
    auto* line = new TMenuItem(nullptr);
    line->SetCaption("-");
    windowMenu->Add(line);
    added_.push_back(line);
    FreeNotification(line);
    for (int i = form_->MDIChildCount() - 1; i >= 0; --i) {
        TCustomForm* child = form_->MDIChildren(i);
        if (child->ComponentState() & csDestroying) continue;
        auto* item = new TdvxWindowMenuItem(nullptr, child);
        item->SetCaption(child->Caption());
        item->OnClick = [this](TObject* sender) { OnWindowMenuClick(sender); };
        windowMenu->Add(item);
        added_.push_back(item);
        FreeNotification(item);
    }
    if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_)) skinned->MenuAdded();
}

void TdvxMDIForm::OnWindowMenuClick(TObject* sender) {
    auto* item = dynamic_cast<TdvxWindowMenuItem*>(sender);
    TCustomForm* child = item ? item->Child() : nullptr;
    // The child may have gone since the menu was built.
    if (!child || !child->HandleAllocated()) return;
    if (IsIconic(child->WindowHandle()))
        ShowWindow(child->WindowHandle(), SW_RESTORE);
    else if (child->WindowState() == wsMinimized)
        child->SetWindowState(wsNormal);
    child->BringToFront();
    if (HWND client = form_->ClientHandle())
        SendMessage(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child->WindowHandle()), 0);
}

// ---------------------------------------------------------------- tiling and cascading

int TdvxMDIForm::ReservedHeight() const {
    int reserved = 0;
    for (TControl* c : ChildControls(form_))
        if (c->Visible() && (c->Align() == alTop || c->Align() == alBottom)) reserved += c->Height();
    return reserved;
}

void TdvxMDIForm::Tile() {
    if (!form_) return;
    std::vector<TCustomForm*> normal;
    bool someMinimised = false;
    for (int i = 0; i < form_->MDIChildCount(); ++i) {
        TCustomForm* c = form_->MDIChildren(i);
        if (c->WindowState() == wsMinimized || IsIconic(c->WindowHandle()))
            someMinimised = true;
        else
            normal.push_back(c);
    }
    const int n = int(normal.size());
    if (n == 0) return;
    int avail = form_->ClientHeight() - ReservedHeight() - (someMinimised ? 25 : 0);
    const int cw = form_->ClientWidth();
    int at = 0;
    // From the last child to the first.
    for (auto it = normal.rbegin(); it != normal.rend(); ++it) {
        if (form_->TileMode() == tbVertical) {
            int w = cw / n;
            (*it)->SetBounds(at, 0, w - 2, avail - 4);
            at += w - 2;
        } else {
            int h = avail / n;
            (*it)->SetBounds(0, at, cw - 4, h - 2);
            at += h - 2;
        }
    }
}

void TdvxMDIForm::Cascade() {
    if (!form_) return;
    const int w = int(std::trunc(form_->ClientWidth() * 0.8)), h = int(std::trunc(form_->ClientHeight() * 0.6));
    int at = 0;
    for (int i = form_->MDIChildCount() - 1; i >= 0; --i) {
        TCustomForm* c = form_->MDIChildren(i);
        if (c->WindowState() == wsMinimized || IsIconic(c->WindowHandle())) continue;
        c->SetBounds(at, at, w, h);
        at += 22;
    }
}

// ---------------------------------------------------------------- the hooks

LRESULT TdvxMDIForm::FormHookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = FormHooks().find(hwnd);
    if (it == FormHooks().end()) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return it->second->NewParentWndProc(msg, wParam, lParam);
}

LRESULT TdvxMDIForm::ClientHookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = ClientHooks().find(hwnd);
    if (it == ClientHooks().end()) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return it->second->NewClientWndProc(msg, wParam, lParam);
}

LRESULT TdvxMDIForm::NewParentWndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (closing_) return 0;
    HWND h = formHwnd_;
    auto previous = [&](UINT m, WPARAM w, LPARAM l) { return CallWindowProcA(previousForm_, h, m, w, l); };
    if (msg == WM_NCCALCSIZE && lParam)
        return FrameNcCalcSize(wParam, reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam), L_, R_, B_, sysL_, sysB_,
                               borderWidth_, [&] { previous(msg, wParam, lParam); });
    if (msg == DVXM_TITLEINSET) return FrameTitleInset(L_, sysB_);
    if (msg == DVXM_FRAMEBOTTOM) return sysB_;
    if (msg == DVXM_FRAMELEFT) return sysL_;
    LRESULT result = 0;
    if (msg != WM_NCPAINT && msg != WM_NCACTIVATE) {
        result = previous(msg, wParam, lParam);
        auto it = FormHooks().find(h);
        if (it == FormHooks().end() || it->second != this || closing_) return result;
    }
    switch (msg) {
        case WM_KEYDOWN: {
            TMessage m{msg, wParam, lParam, 0};
            ProcessKeyPress(m);
            return m.Result;
        }
        case WM_NCPAINT:
            if (titleBar_) titleBar_->Invalidate();
            PaintBorder();
            if (IsIconic(h)) return previous(msg, wParam, lParam);
            return 0;
        case CM_RECREATEWND:
            if (GetWindowLongA(h, GWL_STYLE) & LONG(WS_CAPTION)) {
                SetWindowLongA(h, GWL_STYLE, GetWindowLongA(h, GWL_STYLE) & ~LONG(WS_CAPTION));
                SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_FRAME_ONLY);
            }
            break;
        case WM_ACTIVATE:
            if (titleBar_) titleBar_->SetActive(LOWORD(wParam) != WA_INACTIVE);
            PaintBorder();
            break;
        case WM_NCACTIVATE:
            if (IsIconic(h)) return previous(msg, wParam, lParam);
            if (titleBar_) titleBar_->Invalidate();
            PaintBorder();
            return 1;
        case WM_NCDESTROY:
            FormHooks().erase(h);
            formHwnd_ = nullptr;
            break;
        case WM_SIZE:
            if (IsZoomed(h)) {
                TRect area = GetWorkAreaRect();
                TRect want(area.left - 2, area.top - 2, area.right + 2, area.bottom - 1);
                if (form_->BoundsRect() != want)
                    SetWindowPos(h, nullptr, want.left, want.top, want.Width(), want.Height(),
                                 SWP_NOZORDER | SWP_NOACTIVATE);
            }
            if (titleBar_) {
                titleBar_->ProcessMaxBtn();
                titleBar_->Invalidate();
            }
            PaintBorder();
            RegionWindow();
            break;
        default: break;
    }
    return result;
}

LRESULT TdvxMDIForm::NewClientWndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (closing_) return 0;
    HWND c = clientHwnd_;
    LRESULT result = CallWindowProcA(previousClient_, c, msg, wParam, lParam);
    auto it = ClientHooks().find(c);
    if (it == ClientHooks().end() || it->second != this || closing_) return result;
    switch (msg) {
        case WM_MDI_CLIENT_RECALC:
        case WM_PAINT:
            if (titleBar_) titleBar_->Invalidate();
            PaintBorder();
            break;
        case WM_MDIREFRESHMENU:
            UpdateMenu();
            if (titleBar_) titleBar_->SetCaption(form_->Caption());
            break;
        case WM_MDIMAXIMIZE:
            ShowControlButtons();
            if (titleBar_) titleBar_->SetCaption(form_->Caption());
            break;
        case WM_MDIRESTORE:
            HideControlButtons();
            if (titleBar_) titleBar_->SetCaption(form_->Caption());
            break;
        case WM_MDITILE: Tile(); break;
        case WM_MDICASCADE: Cascade(); break;
        case WM_NCDESTROY:
            ClientHooks().erase(c);
            clientHwnd_ = nullptr;
            break;
        default: break;
    }
    return result;
}

void TdvxMDIForm::OnApplicationMessage(MSG& msg, bool& handled) {
    if (closing_ || msg.message != WM_KEYDOWN || !form_ || !form_->HandleAllocated()) return;
    // Only keys typed in this form's windows (its own or its children's) reach its menus.
    if (!msg.hwnd || GetAncestor(msg.hwnd, GA_ROOT) != form_->WindowHandle()) return;
    TMessage m{msg.message, msg.wParam, msg.lParam, 0};
    ProcessKeyPress(m);
    handled = m.Result != 0;
}

void TdvxMDIForm::ProcessKeyPress(TMessage& m) {
    m.Result = 0;
    if (closing_ || !shown_) return;
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    if (shown_->IsShortCut(WORD(m.WParam), shift)) m.Result = 1;
}

// ---------------------------------------------------------------- painting and region

void TdvxMDIForm::PaintBorder() {
    if (closing_ || !form_ || !form_->HandleAllocated() || !titleBar_) return;
    HWND h = form_->WindowHandle();
    if (IsIconic(h)) return;
    HDC dc = GetWindowDC(h);
    if (!dc) return;
    RECT window;
    GetWindowRect(h, &window);
    const int w = window.right - window.left, hgt = window.bottom - window.top;
    TCanvas canvas;
    canvas.SetHandle(dc);
    TCanvas* c = &canvas;
    const bool titleShown = titleBar_->Visible();
    const bool barShown = topPanel_ && topPanel_->Visible() && menuBar_ && menuBar_->Visible();
    const int barTop = titleShown ? titleBar_->Height() + 3 : 0;
    const int barHeight = barShown ? topPanel_->Height() : 0;
    auto strip = [&](const TRect& r) {
        if (r.IsEmpty()) return;
        if (menuBarColor_ != menuBarToColor_) {
            DrawHorizontalGradient(c, r, menuBarColor_, menuBarToColor_);
        } else {
            c->Brush()->SetStyle(bsSolid);
            c->Brush()->SetColor(menuBar_ ? menuBar_->Color() : menuBarColor_);
            c->FillRect(r);
        }
    };
    TdvxUIStyle style = uiStyle_;
    if (UsingFileTheme(fileTheme_, uiStyle_, style)) {
        TdvxSkinFrame f;
        f.theme = fileTheme_;
        f.titleBar = titleBar_;
        f.L = L_;
        f.R = R_;
        f.B = B_;
        f.menuHeight = barHeight;
        f.menuBarColor = menuBarColor_;
        f.menuBarToColor = menuBarToColor_;
        f.menuBarFace = menuBar_ ? menuBar_->Color() : menuBarColor_;
        f.bottomRegion = bottomRegion_;
        f.transparent = transColor_;
        f.bottomBorder = bottomBorder_.get();
        PaintSkinFrame(c, w, hgt, f);
    } else {
        const int bw = borderWidth_;
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(borderColor_);
        c->FillRect(TRect(0, 0, bw, hgt));
        c->FillRect(TRect(0, hgt - bw, w, hgt));
        c->FillRect(TRect(w - bw, 0, w, hgt));
        if (bw < 4) {
            const int top = barTop + barHeight;
            c->Brush()->SetColor(menuBarColor_);
            c->FillRect(TRect(bw, top, 3, hgt - bw));
            c->FillRect(TRect(bw, hgt - 3, w - bw, hgt - bw));
            c->FillRect(TRect(w - 3, top, w - bw, hgt - bw));
            if (barShown) {
                strip(TRect(bw, barTop, 3, barTop + barHeight));
                strip(TRect(w - 3, barTop, w - bw, barTop + barHeight));
            }
        }
        if (titleShown && titleBar_->CanPaint() && bw < 4) {
            TBitmap* p0 = titleBar_->GetTitleImage(0);
            TBitmap* p1 = titleBar_->GetTitleImage(1);
            TBitmap* p2 = titleBar_->GetTitleImage(2);
            if (p0 && p1 && p2 && w - 5 > 0) {
                TBitmap top;
                top.SetSize(3 - bw, p0->Height());
                top.Canvas()->Draw(0, 0, p0);
                c->Draw(bw, 0, &top);
                top.Canvas()->Draw(2 - p1->Width(), 0, p1);
                c->Draw(w - 3, 0, &top);
                TBitmap band;
                band.SetSize(w - 5, 3);
                int rightAt = w - 5 - p1->Width() + 3;
                band.Canvas()->StretchDraw(TRect(p0->Width() - 2, 0, rightAt, p2->Height()), p2);
                band.Canvas()->Draw(-2, 0, p0);
                band.Canvas()->Draw(rightAt, 0, p1);
                c->Draw(2, 0, &band);
                if (bw == 1 && roundCorner_ == 11) {
                    const int rc = roundCorner_;
                    c->Pen()->SetColor(borderColor_);
                    c->Arc(w - 2 * rc + 1, -1, w + 1, 2 * rc - 1, w + 1, rc - 1, w - rc + 1, -1);
                    c->Arc(-1, -1, 2 * rc - 1, 2 * rc - 1, rc - 1, -1, -1, rc - 1);
                }
            }
        }
        if (!titleShown) {
            c->Brush()->SetColor(borderColor_);
            c->FillRect(TRect(0, 0, w, 1));
            c->Brush()->SetColor(menuBarColor_);
            c->FillRect(TRect(bw, 1, w - bw, 3));
        }
    }
    canvas.SetHandle(nullptr);
    ReleaseDC(h, dc);
}

void TdvxMDIForm::RegionWindow() {
    if (closing_ || !form_ || !form_->HandleAllocated() || !titleBar_) return;
    HWND h = form_->WindowHandle();
    RECT window;
    GetWindowRect(h, &window);
    const int w = window.right - window.left, hgt = window.bottom - window.top;
    TdvxUIStyle style = uiStyle_;
    HRGN region;
    if (UsingFileTheme(fileTheme_, uiStyle_, style)) {
        if (!titleRegion_ && !bottomRegion_) {
            region = CreateRectRgn(0, 0, w, hgt);
        } else {
            titleBar_->ForcePaint();
            TdvxRegionSource source;
            source.top = titleBar_->GetTitleImage(-1);
            source.bottom = bottomBorder_.get();
            source.topWanted = titleRegion_ && titleBar_->Visible();
            source.bottomWanted = bottomRegion_;
            source.topMin = titleMin_;
            source.topMax = titleMax_;
            source.bottomMin = bottomMin_;
            source.bottomMax = bottomMax_;
            source.transparent = transColor_;
            region = FrameRegionFromBitmaps(source, w, hgt);
        }
    } else {
        bool titled = titleBar_->Visible();
        region = FrameRoundRegion(w, hgt, titled ? roundCorner_ : 0, titled ? roundCornerBottom_ : 0);
    }
    SetWindowRgn(h, region, TRUE);
}

}  // namespace skinctrl
