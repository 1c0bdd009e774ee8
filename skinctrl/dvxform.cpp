// The skinned form frame: construction, the window-procedure hook, style application,
// the frame's painting and the window region.
#include "skinctrl/dvxform.h"

#include <algorithm>
#include <map>

#include "platform/controls/menus.h"
#include "platform/windows/input.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

namespace {

constexpr LRESULT WVR_VALIDRECTS = 0x400;
constexpr UINT SWP_FRAME_ONLY = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;

// The frames by the window they hook. Everything runs on the user-interface thread.
std::map<HWND, TdvxForm*>& Hooked() {
    static std::map<HWND, TdvxForm*> hooked;
    return hooked;
}

// The frame a form keeps: a form measures none here (the desktop draws the frames of
// windows), so a measured 0 - like anything outside 0..12 - counts as the classic
// 4-pixel sizing frame the skinned frame takes over.
int FrameSize(int measured) { return measured <= 0 || measured > 12 ? 4 : measured; }

void Blit(TCanvas* dest, int x, int y, TBitmap* source, const TRect& from) {
    if (!source || source->Empty()) return;
    dest->CopyRect(TRect(x, y, x + from.Width(), y + from.Height()), source->Canvas(), from);
}

}  // namespace

RECT ProposeFrameClient(const RECT& window, int L, int R, int B, int sysL, int sysB, int borderWidth) {
    const int x = window.left, y = window.top, cx = window.right - window.left, cy = window.bottom - window.top;
    RECT r;
    r.top = y + 4 - std::max(4, sysB);
    if (L != 0) {
        r.right = x + cx - std::max(R, 4) + std::max(4, sysL) - 1;
        r.left = x + std::max(L, 4) - std::max(4, sysL) + 1;
    } else {
        r.right = x + cx + std::max(4, sysL) - 4;
        r.left = x - std::max(4, sysL) + 4;
    }
    if (B != 0)
        r.bottom = y + cy - std::max(B, 4) + std::max(4, sysB) - 1;
    else if (borderWidth == 3)
        r.bottom = y + cy + std::max(4, sysB) - 4;
    else
        r.bottom = y + cy - borderWidth + 2 + std::max(4, sysB) - 4;
    return r;
}

LRESULT FrameNcCalcSize(WPARAM wParam, NCCALCSIZE_PARAMS* p, int L, int R, int B, int sysL, int sysB, int borderWidth,
                        const std::function<void()>& callPrevious) {
    RECT window = p->rgrc[0];
    if (wParam && p->lppos)
        window = RECT{p->lppos->x, p->lppos->y, p->lppos->x + p->lppos->cx, p->lppos->y + p->lppos->cy};
    p->rgrc[0] = ProposeFrameClient(window, L, R, B, sysL, sysB, borderWidth);
    p->rgrc[1] = p->rgrc[0];
    callPrevious();
    RECT& c = p->rgrc[0];
    int fx = std::max(4, sysL) - 1, fy = std::max(4, sysB) - 1;
    c.left += fx;
    c.top += fy;
    c.right = std::max(c.left, c.right - fx);
    c.bottom = std::max(c.top, c.bottom - fy);
    return wParam ? WVR_VALIDRECTS : 0;
}

int FrameTitleInset(int L, int sysB) { return L != 0 ? std::max(L, 4) : sysB - 1; }

HRGN FrameRegionFromBitmaps(const TdvxRegionSource& source, int w, int h) {
    w = std::max(0, w);
    h = std::max(0, h);
    std::vector<RECT> rects;
    // The opaque runs of rows first..last of picture, shifted down by dy; whole rows above
    // and below the scanned band. Rows are clamped to the picture.
    auto scan = [&](TBitmap* picture, int minRow, int maxRow, int dy) {
        if (!picture || picture->Empty()) return;
        TBitmap pixels;
        pixels.Assign(picture);
        pixels.SetPixelFormat(pf32bit);
        const int pw = pixels.Width(), ph = pixels.Height();
        int first = std::clamp(std::max(minRow, 0), 0, ph - 1);
        int last = maxRow > minRow ? std::clamp(maxRow, 0, ph - 1) : ph - 1;
        if (first >= 1) rects.push_back(RECT{0, dy, w, dy + std::min(first, ph)});
        COLORREF key = ColorToRGB(source.transparent);
        for (int y = first; y <= last; ++y) {
            auto* row = static_cast<const std::uint32_t*>(pixels.ScanLine(y));
            int start = -1;
            for (int x = 0; x <= pw; ++x) {
                bool opaque = false;
                if (x < pw) {
                    std::uint32_t p = row[x];
                    opaque = RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p)) != key;
                }
                if (opaque && start < 0) start = x;
                if (!opaque && start >= 0) {
                    rects.push_back(RECT{start, dy + y, x, dy + y + 1});
                    start = -1;
                }
            }
        }
        if (last + 1 < ph) rects.push_back(RECT{0, dy + last + 1, w, dy + ph});
    };
    int topHeight = 0, bottomHeight = 0;
    if (source.topWanted && source.top && !source.top->Empty()) {
        scan(source.top, source.topMin, source.topMax, 0);
        topHeight = source.top->Height();
    }
    if (source.bottomWanted && source.bottom && !source.bottom->Empty()) {
        bottomHeight = source.bottom->Height();
        scan(source.bottom, source.bottomMin, source.bottomMax, h - bottomHeight);
    }
    if (h - bottomHeight > topHeight) rects.push_back(RECT{0, topHeight, w, h - bottomHeight});
    // Everything stays inside the window.
    for (RECT& r : rects) {
        r.left = std::clamp<LONG>(r.left, 0, w);
        r.right = std::clamp<LONG>(r.right, 0, w);
        r.top = std::clamp<LONG>(r.top, 0, h);
        r.bottom = std::clamp<LONG>(r.bottom, 0, h);
    }
    rects.erase(std::remove_if(rects.begin(), rects.end(),
                               [](const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }),
                rects.end());
    return rects.empty() ? CreateRectRgn(0, 0, 0, 0) : CreateRectListRgn(rects.data(), int(rects.size()));
}

HRGN FrameRoundRegion(int w, int h, int roundCorner, int roundCornerBottom) {
    w = std::max(0, w);
    h = std::max(0, h);
    int rc = std::max(0, roundCorner), rcb = std::max(0, roundCornerBottom);
    TRect top(0, 0, w, h / 2), bottom(0, h / 2, w, h);
    HRGN region = CreateRoundRectRgn(top.left, top.top, top.right + 1, top.bottom + 1, rc, rc);
    auto unite = [&](HRGN part) {
        CombineRgn(region, region, part, RGN_OR);
        DeleteObject(part);
    };
    auto rect = [](int l, int t, int r, int b) {
        return CreateRectRgn(std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b));
    };
    // Only the upper corners of the top half are round...
    unite(rect(top.left, top.bottom, top.left + 2 * rc, top.bottom - 2 * rc));
    unite(rect(top.right, top.bottom, top.right - 2 * rc, top.bottom - 2 * rc));
    // ...and only the lower ones of the bottom half.
    unite(CreateRoundRectRgn(bottom.left, bottom.top, bottom.right + 1, bottom.bottom + 1, rcb, rcb));
    unite(rect(bottom.left, bottom.top, bottom.left + 2 * rcb, bottom.top + 2 * rcb));
    unite(rect(bottom.right, bottom.top, bottom.right - 2 * rcb, bottom.top + 2 * rcb));
    // Nothing beyond the window itself.
    HRGN window = CreateRectRgn(0, 0, w, h);
    CombineRgn(region, region, window, RGN_AND);
    DeleteObject(window);
    return region;
}

// ---------------------------------------------------------------- construction

TdvxForm::TdvxForm(TComponent* owner) : TdvxControl<TCustomPanel>(owner), bottomBorder_(std::make_unique<TBitmap>()) {
    bottomBorder_->SetPixelFormat(pf24bit);
    SetBevelOuter(bvNone);
    SetBevelInner(bvNone);
    auto* form = dynamic_cast<TCustomForm*>(owner);
    if (!form) return;
    for (TControl* c : ChildControls(form))
        if (IdvxStyled* s = AsStyled(c); s && s->IsFormFrame())
            throw EInvalidOperation("Sorry, You can create only one TdvxForm component in one form!");
    form_ = form;
    createdBorderStyle_ = form->BorderStyle();
    if (createdBorderStyle_ == bsNone || createdBorderStyle_ == bsSingle || createdBorderStyle_ == bsToolWindow)
        form->SetBorderStyle(bsDialog);
    // The frame sizes the form keeps, measured before the caption goes; an MDI child asks
    // its MDI form, whose frame it matches.
    HWND h = form->Handle();
    if (form->FormStyle() == fsMDIChild) {
        TCustomForm* frame = form->MDIParent();
        HWND fh = frame && frame->HandleAllocated() ? frame->WindowHandle() : nullptr;
        sysB_ = FrameSize(fh ? int(SendMessage(fh, DVXM_FRAMEBOTTOM, 0, 0)) : 4);
        sysL_ = FrameSize(fh ? int(SendMessage(fh, DVXM_FRAMELEFT, 0, 0)) : 4);
    } else {
        RECT window, client;
        GetWindowRect(h, &window);
        GetClientRect(h, &client);
        POINT bottomRight{client.right, client.bottom}, topLeft{0, 0};
        platform::ClientToScreen(h, &bottomRight);
        platform::ClientToScreen(h, &topLeft);
        sysB_ = FrameSize(window.bottom - bottomRight.y);
        sysL_ = FrameSize(topLeft.x - window.left);
    }
    creationBounds_ = form->BoundsRect();
    pendingMaximise_ = form->WindowState() == wsMaximized && form->FormStyle() != fsMDIChild;
    mdiStartedMaximised_ = form->WindowState() == wsMaximized && form->FormStyle() == fsMDIChild;

    titleBar_ = new TdvxTitleBar(this);
    SetAlign(alClient);
    SetBorderStyle(bsNone);
    SetParent(form);
    titleBar_->SetParent(this);
    titleBar_->SetCaption(form->Caption());
    TdvxControl<TCustomPanel>::SetText(" ");
    uiStyle_ = DeepBlue;
    UIStyleChanged();

    form->SetAutoScroll(false);
    ClearCaptionBits();
    InstallHook();
    appEvents_ = std::make_unique<TApplicationEvents>(nullptr);
    appEvents_->OnMessage = [this](MSG& msg, bool& handled) { OnApplicationMessage(msg, handled); };
    FrameChanged();
    RegionWindow();
}

TdvxForm::~TdvxForm() {
    closing_ = true;
    appEvents_.reset();
    if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_); skinned && skinned->SkinnedForm() == this)
        skinned->SetSkinnedForm(nullptr);
    delete menuBar_;
    menuBar_ = nullptr;
    RemoveHook();
}

void TdvxForm::InstallHook() {
    HWND h = form_->Handle();
    previous_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC));
    hooked_ = h;
    Hooked()[h] = this;
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TdvxForm::HookProc));
}

void TdvxForm::RemoveHook() {
    if (!hooked_) return;
    HWND h = hooked_;
    hooked_ = nullptr;
    Hooked().erase(h);
    if (!IsWindow(h)) return;
    // The form gets its caption and its own procedure back.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC)) == &TdvxForm::HookProc)
        SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    SetWindowLongA(h, GWL_STYLE, GetWindowLongA(h, GWL_STYLE) | LONG(WS_CAPTION));
    SetWindowRgn(h, nullptr, TRUE);
    SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_FRAME_ONLY);
}

void TdvxForm::ClearCaptionBits() {
    HWND h = form_->Handle();
    LONG style = GetWindowLongA(h, GWL_STYLE);
    if (style & LONG(WS_CAPTION)) SetWindowLongA(h, GWL_STYLE, style & ~LONG(WS_CAPTION));
}

void TdvxForm::ReAssign() {
    if (!form_ || !form_->HandleAllocated()) return;
    HWND h = form_->WindowHandle();
    if (GetWindowLongA(h, GWL_STYLE) & LONG(WS_CAPTION)) {
        ClearCaptionBits();
        SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_FRAME_ONLY);
    }
}

void TdvxForm::Notification(TComponent* component, TOperation operation) {
    TdvxControl<TCustomPanel>::Notification(component, operation);
    if (operation != opRemove || !component) return;
    if (component == formPanel_) formPanel_ = nullptr;
    if (component == menuBar_) menuBar_ = nullptr;
    if (component == menu_) {
        menu_ = nullptr;
        DestroyMenuBar();
    }
    if (component == titleBar_) titleBar_ = nullptr;
}

// ---------------------------------------------------------------- properties

void TdvxForm::SetTitleBarCustom(bool value) {
    if (titleBar_) titleBar_->SetCustom(value);
}

void TdvxForm::SetBorderColor(TColor value) {
    borderColor_ = value;
    PaintFormBorder();
}

void TdvxForm::SetBorderWidth(int value) {
    borderWidth_ = value;
    FrameChanged();
    PaintFormBorder();
}

void TdvxForm::SetTitleBarVisible(bool value) {
    if (!titleBar_ || titleBar_->Visible() == value) return;
    if (!hookTogglesTitle_) wantedTitleVisible_ = value;
    titleBar_->SetVisible(value);
    titleBar_->SetTop(0);
    PaintFormBorder();
}

void TdvxForm::SetCaption(const std::string& value) {
    if (titleBar_) titleBar_->SetCaption(value);
    if (form_) form_->SetCaption(value);
}

void TdvxForm::SetFormPanel(TCustomPanel* value) {
    if (value == this) {
        Application->MessageBox("Sorry, you can't select the Form assign to FormPanel property", "Error",
                                MB_OK | MB_ICONERROR);
        return;
    }
    if (formPanel_) RemoveFreeNotification(formPanel_);
    formPanel_ = value;
    if (!value) return;
    FreeNotification(value);
    value->SetAlign(alClient);
    if (dynamic_cast<TPanel*>(value)) {
        value->SetBevelOuter(bvNone);
        value->SetBevelInner(bvNone);
        value->SetBorderStyle(bsNone);
        value->SetCaption("");
    } else if (IdvxStyled* s = AsStyled(value); s && !s->PublishesFileTheme()) {
        value->SetCaption("");
    }
}

void TdvxForm::SetTitleBarDrawAppIcon(bool value) {
    if (titleBar_) titleBar_->SetDrawAppIcon(value);
}

void TdvxForm::SetMenu(TMainMenu* value) {
    if (menu_ == value) return;
    if (menu_) {
        if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_); skinned && skinned->SkinnedForm() == this)
            skinned->SetSkinnedForm(nullptr);
        RemoveFreeNotification(menu_);
    }
    menu_ = value;
    if (!value) {
        DestroyMenuBar();
        return;
    }
    FreeNotification(value);
    if (auto* skinned = dynamic_cast<TdvxMainMenu*>(value)) {
        skinned->SetSkinnedForm(this);
        skinned->SetUIStyle(GetUIStyle());
        skinned->SetFileTheme(GetFileTheme());
    }
    CreateMenuBar();
    UpdateMenu();
    if (titleBar_) titleBar_->SetTop(0);
    PaintFormBorder();
}

void TdvxForm::SetMenuBarColor(TColor value) {
    menuBarColor_ = value;
    if (menuBar_) menuBar_->SetColor(value);
}

void TdvxForm::SetMenuBarToColor(TColor value) {
    menuBarToColor_ = value;
    if (menuBar_) menuBar_->Invalidate();
}

void TdvxForm::SetMenuBarHeight(int value) {
    menuBarHeight_ = value;
    if (!menuBar_) return;
    menuBar_->SetButtonHeight(value);
    menuBar_->SetHeight(value);
}

// ---------------------------------------------------------------- menu bar

void TdvxForm::CreateMenuBar() {
    if (menuBar_ || !form_ || GetMDIChild()) return;
    menuBar_ = new TdvxMenuBar(this, this);
    menuBar_->SetAlign(alTop);
    menuBar_->SetButtonHeight(menuBarHeight_);
    menuBar_->SetHeight(menuBarHeight_);
    menuBar_->SetColor(menuBarColor_);
    menuBar_->OnCustomDrawButton = [this](TToolBar* s, TToolButton* b, TCustomDrawState st, bool& d) {
        DrawButton(s, b, st, d);
    };
    menuBar_->OnCustomDraw = [this](TToolBar* s, const TRect& r, bool& d) { DrawMenuBar(s, r, d); };
    menuBar_->SetWrapable(true);
    menuBar_->SetParent(this);
    menuBar_->SetAutoSize(true);
    // Under the title bar.
    if (titleBar_) titleBar_->SetTop(0);
    Realign();
}

void TdvxForm::DestroyMenuBar() {
    if (!GetMDIChild()) {
        TdvxMenuBar* bar = menuBar_;
        menuBar_ = nullptr;
        delete bar;
    }
    if (menu_) {
        if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_); skinned && skinned->SkinnedForm() == this)
            skinned->SetSkinnedForm(nullptr);
        RemoveFreeNotification(menu_);
        menu_ = nullptr;
    }
    if (!closing_) {
        Realign();
        PaintFormBorder();
    }
}

void TdvxForm::UpdateMenu() {
    if (!menuBar_ || closing_) return;
    if (!menu_) {
        DestroyMenuBar();
        return;
    }
    MenuBar_TakeFont(menuBar_, menu_);
    MenuBar_Fill(menuBar_, menu_);
    Realign();
    PaintFormBorder();
}

void TdvxForm::UpdateTopMenu() {
    if (!menuBar_ || closing_) return;
    for (int i = 0; i < menuBar_->ButtonCount(); ++i) {
        TToolButton* b = menuBar_->Buttons(i);
        if (TMenuItem* item = b->MenuItem()) {
            b->SetCaption(item->Caption());
            b->SetEnabled(item->Enabled());
        }
    }
    menuBar_->ArrangeButtons();
}

void TdvxForm::RepaintMenuBar() {
    if (!menuBar_ || !menu_ || closing_) return;
    MenuBar_TakeFont(menuBar_, menu_);
    menuBar_->Invalidate();
}

void TdvxForm::DrawMenuBar(TToolBar* sender, const TRect& rect, bool& /*defaultDraw*/) {
    if (closing_) return;
    auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_);
    MenuBar_DrawBackground(sender, rect, skinned ? skinned->GetUIStyle() : GetUIStyle(), menuBarColor_, menuBarToColor_);
}

void TdvxForm::DrawButton(TToolBar* sender, TToolButton* button, TCustomDrawState state, bool& defaultDraw) {
    defaultDraw = false;
    if (closing_) return;
    auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_);
    MenuBar_DrawButton(sender, button, state, skinned ? skinned->GetUIStyle() : GetUIStyle(),
                       skinned ? skinned->GetFileTheme() : GetFileTheme(), menu_);
}

void TdvxForm::SetRoundCorner(int value) {
    if (!titleBar_) return;
    titleBar_->SetRoundCorner(value);
    RegionWindow();
}

void TdvxForm::SetRoundCornerBottom(int value) {
    if (!titleBar_) return;
    titleBar_->SetRoundCornerBottom(value);
    RegionWindow();
}

void TdvxForm::SetInactiveCaptionColor(TColor value) {
    if (titleBar_) titleBar_->SetInactiveCaptionColor(value);
}

void TdvxForm::AddHelpButton() {
    if (titleBar_) titleBar_->AddHelpBtn();
}

void TdvxForm::FrameChanged() {
    if (!form_ || !form_->HandleAllocated()) return;
    SetWindowPos(form_->WindowHandle(), nullptr, 0, 0, 0, 0, SWP_FRAME_ONLY);
    // The client changed size without the window doing so: the controls follow it.
    form_->Realign();
}

// ---------------------------------------------------------------- style

void TdvxForm::UIStyleChanged() {
    if (!form_ || !titleBar_) return;
    TRect bounds = form_->BoundsRect();
    TdvxUIStyle style = GetUIStyle();
    if (UsingTheme(style)) {
        TdvxFileTheme* theme = GetFileTheme();
        SetColor(theme->GetColor(SKIN2_FORMCOLOR));
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
        L_ = R_ = B_ = 0;
        transColor_ = DVX_KEY_COLOR;
        borderColor_ = GetInsideThemeColor(style, DVX_THEME_FORM_BORDER_COLOR);
        borderWidth_ = GetInsideThemeInt(style, DVX_THEME_FORM_BORDER_WIDTH);
        SetColor(GetInsideThemeColor(style, DVX_THEME_FORM_COLOR));
        menuBarColor_ = menuBarToColor_ = Color();
    }
    if (menuBar_) menuBar_->SetColor(menuBarColor_);
    if (auto* skinned = dynamic_cast<TdvxMainMenu*>(menu_)) {
        skinned->SetUIStyle(GetUIStyle());
        skinned->SetFileTheme(GetFileTheme());
    }
    titleBar_->SetFileTheme(GetFileTheme());
    titleBar_->SetUIStyle(GetUIStyle());
    titleBar_->ReapplyStyle();  // the bar's sizes depend on sitting in the frame
    if (!UsingTheme(style)) titleBar_->SetRoundCornerBottom(0);
    titleBar_->ForcePaint();
    if (TBitmap* full = titleBar_->GetTitleImage(-1)) {
        full->SetTransparent(UsingTheme(style) && titleRegion_);
        full->SetTransparentColor(transColor_);
    }
    if (autoUpdateSub_) ContainerApplyUIStyle(this, GetUIStyle(), GetFileTheme());
    // Never smaller than the title bar, the menu bar and the bottom border.
    form_->Constraints()->SetMinHeight(MenuBarHeight() + titleBar_->Height() + B_ + 3);
    (void)bounds;
    FrameChanged();
    Invalidate();
    PaintFormBorder();
    RegionWindow();
}

void TdvxForm::Resize() {
    TdvxControl<TCustomPanel>::Resize();
    if (titleBar_) titleBar_->SetAlign(alTop);
}

// ---------------------------------------------------------------- the hook

LRESULT TdvxForm::HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = Hooked().find(hwnd);
    if (it == Hooked().end()) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return it->second->NewParentWndProc(msg, wParam, lParam);
}

LRESULT TdvxForm::CallPrevious(UINT msg, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(previous_, hooked_, msg, wParam, lParam);
}

LRESULT TdvxForm::NewParentWndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (closing_) return 0;
    HWND h = hooked_;
    if (msg == WM_NCCALCSIZE && lParam)
        return FrameNcCalcSize(wParam, reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam), L_, R_, B_, sysL_, sysB_,
                               borderWidth_, [&] { CallPrevious(msg, wParam, lParam); });
    if (msg == DVXM_TITLEINSET) return FrameTitleInset(L_, sysB_);
    if (msg == DVXM_FRAMEBOTTOM) return sysB_;
    if (msg == DVXM_FRAMELEFT) return sysL_;

    LRESULT result = 0;
    if (msg != WM_NCPAINT && msg != WM_NCACTIVATE) {
        result = CallPrevious(msg, wParam, lParam);
        // The message may have freed the form, and the frame with it.
        auto it = Hooked().find(h);
        if (it == Hooked().end() || it->second != this || closing_) return result;
    }
    switch (msg) {
        case WM_MDIACTIVATE:
            if (reinterpret_cast<HWND>(lParam) == h) {
                if (HWND client = GetAncestor(h, GA_PARENT); IsMDIClientWindow(client))
                    SendMessage(client, WM_MDIREFRESHMENU, reinterpret_cast<WPARAM>(h), 0);
                if (titleBar_) titleBar_->SetActive(true);
            } else if (titleBar_) {
                titleBar_->SetActive(false);
            }
            if (IsIconic(h)) PaintMinimised();
            break;
        case WM_DESTROY:
            if (GetMDIChild() && Application) {
                HWND client = GetAncestor(h, GA_PARENT);
                if (!IsMDIClientWindow(client)) break;
                if (MDIChildWindows(client).size() == 1)
                    SendMessage(client, WM_MDIREFRESHMENU, reinterpret_cast<WPARAM>(h), 0);
                if (IsZoomed(h)) SendMessage(client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(h), 0);
            }
            break;
        case WM_KEYDOWN: {
            TMessage m{msg, wParam, lParam, 0};
            ProcessKeyPress(m);
            break;
        }
        case WM_SHOWWINDOW:
            // Menus show in the skinned frame, never as the form's own.
            form_->SetMenu(nullptr);
            break;
        case WM_ACTIVATE:
            if (titleBar_) titleBar_->SetActive(LOWORD(wParam) != WA_INACTIVE);
            PaintFormBorder();
            break;
        case WM_NCACTIVATE:
            if (IsIconic(h)) {
                result = CallPrevious(msg, wParam, lParam);
                if (GetMDIChild() && Hooked().count(h)) PaintMinimised();
                return result;
            }
            if (titleBar_) titleBar_->Invalidate();
            PaintFormBorder();
            return 1;
        case WM_NCPAINT:
            // A minimised MDI child is a skinned caption strip.
            if (IsIconic(h) && GetMDIChild()) {
                PaintMinimised();
                return 0;
            }
            if (IsIconic(h)) return CallPrevious(msg, wParam, lParam);
            if (titleBar_) titleBar_->Invalidate();
            PaintFormBorder();
            return 0;
        case CM_RECREATEWND:
        case CN_PARENTNOTIFY:
        case CM_FLOAT: ReAssign(); break;
        case WM_NCHITTEST:
            // A fixed-border MDI child cannot be resized.
            if (GetMDIChild() && createdBorderStyle_ == bsSingle && result >= HTLEFT && result <= HTBOTTOMRIGHT)
                return HTBORDER;
            if (GetMDIChild() && createdBorderStyle_ == bsSingle) return result;
            return SizingHitTest(lParam, result);
        case WM_NCDESTROY:
            Hooked().erase(h);
            hooked_ = nullptr;
            break;
        case WM_SIZE: {
            // A form made maximised keeps its creation bounds for when it is restored.
            if (pendingMaximise_) {
                if (IsZoomed(h)) {
                    sawMaximised_ = true;
                } else if (sawMaximised_) {
                    pendingMaximise_ = false;
                    TRect r = creationBounds_;
                    SetWindowPos(h, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
                }
            }
            if (IsZoomed(h) && !GetMDIChild()) {
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
            PaintFormBorder();
            if (GetMDIChild()) MDIChildSized(h);
            RegionWindow();
            break;
        }
        default: break;
    }
    return result;
}

void TdvxForm::MDIChildSized(HWND h) {
    HWND client = GetAncestor(h, GA_PARENT);
    if (!titleBar_) return;
    const int inset = titleBar_->Height() - 3;
    if (IsZoomed(h)) {
        // Maximised, the child shows no title bar of its own: the MDI frame's menu bar
        // carries its buttons. The contents move up into the bar's place.
        hookTogglesTitle_ = true;
        SetTitleBarVisible(false);
        hookTogglesTitle_ = false;
        if (!mdiMaximised_) {
            // Also a child made maximised: its contents were laid out under a title bar,
            // so they move up like any other's and come back down on its first restore.
            ScrollChildren(0, -inset);
            Realign();
            mdiMaximised_ = true;
            if (IsMDIClientWindow(client)) SendMessage(client, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(h), 0);
        }
    } else {
        if (wantedTitleVisible_) {
            hookTogglesTitle_ = true;
            SetTitleBarVisible(true);
            hookTogglesTitle_ = false;
        }
        if (mdiMaximised_) {
            ScrollChildren(0, inset);
            Realign();
            mdiRestoredOnce_ = true;
            mdiMaximised_ = false;
            titleBar_->ProcessMaxBtn();
            if (IsMDIClientWindow(client)) SendMessage(client, WM_MDIRESTORE, 0, 0);
        }
    }
}

LRESULT TdvxForm::SizingHitTest(LPARAM lParam, LRESULT hit) const {
    if (hit != HTBORDER) return hit;
    TFormBorderStyle bs = form_->BorderStyle();
    HWND h = hooked_;
    if ((bs != bsSizeable && bs != bsSizeToolWin) || IsZoomed(h)) return hit;
    RECT window;
    GetWindowRect(h, &window);
    int x = std::int16_t(LOWORD(lParam)) - window.left, y = std::int16_t(HIWORD(lParam)) - window.top;
    int w = window.right - window.left, hgt = window.bottom - window.top;
    const int corner = 12;
    bool left = x < std::max(4, L_), right = x >= w - std::max(4, R_);
    bool top = y < 3, bottom = y >= hgt - std::max(3, B_);
    if (!left && !right && (top || bottom)) {
        left = x < corner;
        right = x >= w - corner;
    }
    if (!top && !bottom && (left || right)) {
        top = y < corner;
        bottom = y >= hgt - corner;
    }
    if (top && left) return HTTOPLEFT;
    if (top && right) return HTTOPRIGHT;
    if (bottom && left) return HTBOTTOMLEFT;
    if (bottom && right) return HTBOTTOMRIGHT;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    return hit;
}

void TdvxForm::OnApplicationMessage(MSG& msg, bool& handled) {
    if (closing_ || !form_ || !form_->HandleAllocated()) return;
    if (msg.message == WM_SYSCHAR && msg.wParam == 32) {
        // Only the frame of the form the key was typed in answers, at that form: a menu at
        // another form would let "Close" hit a window the user is not looking at.
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root != form_->WindowHandle() || !titleBar_ || !titleBar_->SystemMenu()) return;
        handled = true;
        titleBar_->SystemMenu()->Popup(form_->Left(), form_->Top() + titleBar_->Height());
        return;
    }
    if (msg.message == WM_KEYDOWN) {
        TMessage m{msg.message, msg.wParam, msg.lParam, 0};
        ProcessKeyPress(m);
        handled = m.Result != 0;
    }
}

void TdvxForm::ProcessKeyPress(TMessage& m) {
    m.Result = 0;
    if (closing_ || !form_ || !menu_) return;
    if (!FormHasFocus(form_) || !form_->Active()) return;
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    if (menu_->IsShortCut(WORD(m.WParam), shift)) m.Result = 1;
}

// ---------------------------------------------------------------- painting

void TdvxForm::PaintBuffer(TCanvas* canvas) {
    if (closing_) return;
    TRect client(0, 0, Width(), Height());
    TdvxUIStyle style = GetUIStyle();
    if (style == MacOS || style == Protein) {
        TPicture tile;
        tile.Bitmap()->LoadFromResourceName(nullptr, style == MacOS ? "MACOS_FORM_BACKGROUND" : "PROTEIN_FORM_BACKGROUND");
        TileDraw(canvas, &tile, client);
    } else {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(client);
    }
    PaintFormBorder();
}

void TdvxForm::PaintMenuStrip(TCanvas* c, const TRect& r) {
    // The frame beside the menu bar continues the bar.
    if (r.IsEmpty() || !menuBar_) return;
    if (menuBarColor_ != menuBarToColor_) {
        DrawHorizontalGradient(c, r, menuBarColor_, menuBarToColor_);
    } else {
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(menuBar_->Color());
        c->FillRect(r);
    }
}

void TdvxForm::PaintFormBorder() {
    if (closing_ || !form_ || !form_->HandleAllocated() || !titleBar_) return;
    HWND h = form_->WindowHandle();
    if (IsIconic(h)) return;
    HDC dc = GetWindowDC(h);
    if (!dc) return;
    RECT window;
    GetWindowRect(h, &window);
    const int w = window.right - window.left, hgt = window.bottom - window.top;
    {
        TCanvas canvas;
        canvas.SetHandle(dc);
        TdvxUIStyle style = GetUIStyle();
        if (UsingTheme(style))
            PaintSkinBorder(&canvas, w, hgt);
        else
            PaintBuiltInBorder(&canvas, w, hgt);
        canvas.SetHandle(nullptr);
    }
    ReleaseDC(h, dc);
}

void TdvxForm::PaintBuiltInBorder(TCanvas* c, int w, int h) {
    const int bw = borderWidth_;
    const bool titleShown = titleBar_->Visible();
    const int th = titleShown ? titleBar_->Height() + 3 : 0;
    const int mh = MenuBarHeight();
    if (titleShown && titleBar_->CanPaint()) {
        TBitmap* p0 = titleBar_->GetTitleImage(0);
        TBitmap* p1 = titleBar_->GetTitleImage(1);
        TBitmap* p2 = titleBar_->GetTitleImage(2);
        if (p0 && p1 && p2) {
            TBitmap strip;
            // A border 3 or more pixels wide leaves no strip beside it.
            if (3 - bw > 0) {
                strip.SetSize(3 - bw, p0->Height());
                strip.Canvas()->Draw(0, 0, p0);
                c->Draw(bw, 0, &strip);
                strip.SetSize(3 - bw, p1->Height());
                if (p1->Width() < 3)
                    strip.Canvas()->StretchDraw(TRect(0, 0, strip.Width(), strip.Height()), p1);
                else
                    strip.Canvas()->Draw(2 - p1->Width(), 0, p1);
                c->Draw(w - 3, 0, &strip);
            }
            if (w - 5 > 0) {
                strip.SetSize(w - 5, 3);
                int rightAt = w - 5 - p1->Width() + 3;
                strip.Canvas()->StretchDraw(TRect(p0->Width() - 2, 0, rightAt, p2->Height()), p2);
                strip.Canvas()->Draw(-2, 0, p0);
                strip.Canvas()->Draw(rightAt, 0, p1);
                c->Draw(2, 0, &strip);
            }
            int rc = titleBar_->RoundCorner();
            if (bw == 1 && rc == 11) {
                c->Pen()->SetColor(borderColor_);
                c->Arc(w - 2 * rc + 1, -1, w + 1, 2 * rc - 1, w + 1, rc - 1, w - rc + 1, -1);
                c->Arc(-1, -1, 2 * rc - 1, 2 * rc - 1, rc - 1, -1, -1, rc - 1);
            }
        }
    }
    if (!titleShown) {
        c->Brush()->SetColor(borderColor_);
        c->FillRect(TRect(0, 0, w, 1));
        c->Brush()->SetColor(Color());
        c->FillRect(TRect(bw, 1, w - bw, 3));
    }
    c->Brush()->SetColor(borderColor_);
    c->FillRect(TRect(0, 0, bw, h));
    c->FillRect(TRect(0, h - bw, w, h));
    c->FillRect(TRect(w - bw, 0, w, h));
    if (bw < 4) {
        c->Brush()->SetColor(Color());
        c->FillRect(TRect(bw, h - 2, w - bw, h - bw));
        c->FillRect(TRect(bw, th + mh, 3, h - bw));
        c->FillRect(TRect(w - 3, th + mh, w - bw, h - bw));
        if (mh > 0) {
            PaintMenuStrip(c, TRect(bw, th, 3, th + mh));
            PaintMenuStrip(c, TRect(w - 3, th, w - bw, th + mh));
        }
    }
}

void TdvxForm::PaintSkinBorder(TCanvas* c, int w, int h) {
    TdvxSkinFrame f;
    f.theme = GetFileTheme();
    f.titleBar = titleBar_;
    f.L = L_;
    f.R = R_;
    f.B = B_;
    f.menuHeight = MenuBarHeight();
    f.menuBarColor = menuBarColor_;
    f.menuBarToColor = menuBarToColor_;
    f.menuBarFace = menuBar_ ? menuBar_->Color() : menuBarColor_;
    f.bottomRegion = bottomRegion_;
    f.transparent = transColor_;
    f.bottomBorder = bottomBorder_.get();
    PaintSkinFrame(c, w, h, f);
}

void PaintSkinFrame(TCanvas* c, int w, int h, const TdvxSkinFrame& f) {
    TdvxFileTheme* theme = f.theme;
    if (!c || !theme || !f.titleBar || w <= 0 || h <= 0) return;
    const int L = f.L, R = f.R, B = f.B;
    const bool titleShown = f.titleBar->Visible();
    if (titleShown && f.titleBar->CanPaint()) {
        TBitmap* t = f.titleBar->GetTitleImage(-2);
        if (t && !t->Empty()) {
            const int tw = t->Width(), th = t->Height();
            Blit(c, 0, 0, t, TRect(0, 0, std::max(L, 4), th));
            Blit(c, 0, 0, t, TRect(0, 0, tw, 3));
            int rw = std::max(4, R);
            Blit(c, w - rw, 0, t, TRect(tw - rw, 0, tw, th));
        }
    }
    const int top = titleShown ? f.titleBar->Height() + 3 : 0;
    TColor face = theme->GetColor(SKIN2_FORMCOLOR);
    // The frame beside the menu bar continues the bar.
    auto menuStrip = [&](const TRect& r) {
        if (r.IsEmpty()) return;
        if (f.menuBarColor != f.menuBarToColor) {
            DrawHorizontalGradient(c, r, f.menuBarColor, f.menuBarToColor);
        } else {
            c->Brush()->SetStyle(bsSolid);
            c->Brush()->SetColor(f.menuBarFace);
            c->FillRect(r);
        }
    };
    auto side = [&](Tsk2SkinBitmapElement element, bool left) {
        TBitmap* b = theme->GetBitmap(element);
        int bwid = b ? b->Width() : 0;
        TRect r = left ? TRect(0, top, bwid, h - B) : TRect(w - bwid, top, w, h - B);
        if (b && !b->Empty() && !r.IsEmpty()) c->StretchDraw(r, b);
        if (bwid < 4) {
            c->Brush()->SetStyle(bsSolid);
            c->Brush()->SetColor(face);
            c->FillRect(left ? TRect(bwid, top, 4, h - B) : TRect(w - 4, top, w - bwid, h - B));
            if (f.menuHeight > 0)
                menuStrip(left ? TRect(bwid, top, 4, top + f.menuHeight) : TRect(w - 4, top, w - bwid, top + f.menuHeight));
        }
    };
    side(SKIN2_FORMLEFTBORDER, true);
    side(SKIN2_FORMRIGHTBORDER, false);
    TBitmap* part1 = theme->GetBitmap(SKIN2_FORMBOTTOMBORDER1);
    if (part1 && !part1->Empty() && f.bottomBorder) {
        TBitmap* border = f.bottomBorder;
        border->SetSize(w, part1->Height());
        TCanvas* bc = border->Canvas();
        if (theme->GetBool(SKIN2_BOTTOMBORDERTHREESECT)) {
            TBitmap* part2 = theme->GetBitmap(SKIN2_FORMBOTTOMBORDER2);
            TBitmap* part3 = theme->GetBitmap(SKIN2_FORMBOTTOMBORDER3);
            bc->Draw(0, 0, part1);
            int w3 = part3 ? part3->Width() : 0;
            if (part3) bc->Draw(w - w3, 0, part3);
            if (part2 && !part2->Empty())
                bc->StretchDraw(TRect(part1->Width(), 0, w - w3, part1->Height()), part2);
        } else {
            SpitDrawHorizontal2(part1, bc, TRect(0, 0, w, part1->Height()), true, f.transparent);
        }
        if (f.bottomRegion) {
            // Outside the region the key colour never shows: the face stands behind it.
            TBitmap composed;
            composed.SetPixelFormat(pf24bit);
            composed.SetSize(w, part1->Height());
            composed.Canvas()->Brush()->SetColor(face);
            composed.Canvas()->FillRect(TRect(0, 0, w, part1->Height()));
            border->SetTransparent(true);
            border->SetTransparentColor(f.transparent);
            composed.Canvas()->Draw(0, 0, border);
            border->SetTransparent(false);
            Blit(c, 0, h - B, &composed, TRect(0, 0, w, part1->Height()));
        } else {
            Blit(c, 0, h - B, border, TRect(0, 0, w, part1->Height()));
        }
    }
    if (B < 4) {
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(face);
        c->FillRect(TRect(L, h - 4, w - R, h - B));
    }
}

void TdvxForm::PaintMinimised() {
    if (closing_ || !form_ || !form_->HandleAllocated() || !titleBar_) return;
    HWND h = form_->WindowHandle();
    if (!IsIconic(h)) return;
    RECT window;
    GetWindowRect(h, &window);
    const int w = window.right - window.left, hgt = window.bottom - window.top;
    if (w <= 0 || hgt <= 0) return;
    TBitmap strip;
    strip.SetPixelFormat(pf24bit);
    strip.SetSize(w, hgt);
    TCanvas* c = strip.Canvas();
    const TRect all(0, 0, w, hgt);
    TdvxUIStyle style = GetUIStyle();
    const bool skin = UsingTheme(style);
    TdvxFileTheme* theme = skin ? GetFileTheme() : nullptr;
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(Color());
    c->FillRect(all);
    // The skin's own minimised caption, else the title bar's pictures brought to the
    // strip's height: the left and right ends as they are, the middle stretched.
    TBitmap* own = theme ? theme->GetBitmap(SKIN2_MINIMIZEDTITLE) : nullptr;
    if (own && !own->Empty()) {
        c->StretchDraw(all, own);
    } else {
        titleBar_->ForcePaint();
        TBitmap* p0 = titleBar_->GetTitleImage(0);
        TBitmap* p1 = titleBar_->GetTitleImage(1);
        TBitmap* p2 = titleBar_->GetTitleImage(2);
        if (p0 && p1 && p2 && !p0->Empty() && !p1->Empty() && !p2->Empty()) {
            const int left = std::min(p0->Width(), w / 2), right = std::min(p1->Width(), w - left);
            c->StretchDraw(TRect(w - right, 0, w, hgt), p1);
            if (w - right > left) c->StretchDraw(TRect(left, 0, w - right, hgt), p2);
            c->StretchDraw(TRect(0, 0, left, hgt), p0);
        }
    }
    if (!skin) {
        c->Brush()->SetColor(borderColor_);
        c->FrameRect(all);
    }
    // The buttons: restore, maximise and close, the held one pressed.
    const LRESULT codes[] = {HTMINBUTTON, HTMAXBUTTON, HTCLOSE};
    const int frames[] = {10, 7, 16};
    const LRESULT held = MinimizedPressedButton(h);
    const bool keyed = skin ? theme->GetBool(SKIN2_TITLEBTNTRANS) : GetInsideThemeBool(style, DVX_THEME_TITLEBUTTON_TRANSPARENT);
    const TColor key = skin ? transColor_ : DVX_KEY_COLOR;
    for (int i = 0; i < 3; ++i) {
        TRect box = MinimizedCaptionButton(w, hgt, i);
        TBitmap glyph;
        const int frame = frames[i] + (held == codes[i] ? 2 : 0);
        if (skin)
            theme->GetBitmap2(SKIN2_TITLEBUTTONS, &glyph, 18, frame);
        else
            GetInsideThemeBitmap(style, DVX_THEME_TITLEBUTTON_IMAGE, &glyph, 18, frame);
        if (glyph.Empty()) continue;
        glyph.SetTransparent(keyed || !skin);
        if (keyed || !skin) glyph.SetTransparentColor(key);
        // A glyph larger than the button's place is brought down to it; a smaller one is centred.
        if (glyph.Width() > box.Width() || glyph.Height() > box.Height())
            c->StretchDraw(box, &glyph);
        else
            c->Draw(box.left + (box.Width() - glyph.Width()) / 2, box.top + (box.Height() - glyph.Height()) / 2, &glyph);
    }
    // The caption, shortened to the room left of the buttons.
    c->Font()->Assign(titleBar_->Font());
    if (!titleBar_->FormActive()) c->Font()->SetColor(titleBar_->InactiveCaptionColor());
    c->Brush()->SetStyle(bsClear);
    RECT text{5, 0, MinimizedCaptionButton(w, hgt, 0).left - 3, hgt};
    if (text.right > text.left)
        DrawText(c->Handle(), form_->Caption(), &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
    HDC dc = GetWindowDC(h);
    if (!dc) return;
    {
        TCanvas canvas;
        canvas.SetHandle(dc);
        canvas.Draw(0, 0, &strip);
        canvas.SetHandle(nullptr);
    }
    ReleaseDC(h, dc);
}

// ---------------------------------------------------------------- region

void TdvxForm::RegionWindow() {
    if (closing_ || !form_ || !form_->HandleAllocated() || !titleBar_) return;
    HWND h = form_->WindowHandle();
    RECT window;
    GetWindowRect(h, &window);
    const int w = window.right - window.left, hgt = window.bottom - window.top;
    TdvxUIStyle style = GetUIStyle();
    HRGN region;
    if (GetMDIChild() && IsIconic(h)) {
        // A minimised child's strip is a plain rectangle.
        region = nullptr;
    } else if (UsingTheme(style)) {
        if ((!titleRegion_ && !bottomRegion_) || (GetMDIChild() && form_->WindowState() != wsNormal)) {
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
        region = FrameRoundRegion(w, hgt, RoundCorner(), RoundCornerBottom());
    }
    SetWindowRgn(h, region, TRUE);
}

void TdvxForm::Dispatch(TMessage& m) {
    if (m.Msg == WM_ERASEBKGND) {
        m.Result = 1;
        return;
    }
    TdvxControl<TCustomPanel>::Dispatch(m);
}

}  // namespace skinctrl
