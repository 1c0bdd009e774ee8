// TWinControl and TCustomControl: controls with a window.
#include <algorithm>

#include "platform/controls/controls.h"
#include "platform/controls/forms.h"
#include "platform/controls/menus.h"
#include "platform/windows/ownerdraw.h"
#include "platform/core/sysutils.h"

namespace platform {

extern TControl* gParentImageFor;

namespace {
// The control whose window is being created: its procedure is not attached to the
// handle yet when the first messages (WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE) arrive.
TWinControl* gCreating = nullptr;

bool InMouseRange(UINT msg) { return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEWHEEL; }
}  // namespace

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
    brush_ = new TBrush;
    brush_->SetColor(color_);
}

TWinControl::~TWinControl() {
    Destroying();
    // Children this control does not own still leave it; those it owns are freed by
    // TComponent, but their windows go with this one first.
    if (parent_ && parent_->tabList_.size()) {
        auto& tl = parent_->tabList_;
        tl.erase(std::remove(tl.begin(), tl.end(), this), tl.end());
    }
    DestroyHandle();
    while (!controls_.empty()) controls_.back()->SetParent(nullptr);
    while (!winControls_.empty()) winControls_.back()->SetParent(nullptr);
    if (parent_) SetParent(nullptr);
    delete brush_;
    brush_ = nullptr;
}

TWinControl* TWinControl::FindControl(HWND hwnd) {
    if (!hwnd) return nullptr;
    return static_cast<TWinControl*>(GetWindowObject(hwnd));
}

LRESULT TWinControl::InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* control = static_cast<TWinControl*>(GetWindowObject(hwnd));
    if (!control && gCreating) {
        control = gCreating;
        gCreating = nullptr;
        control->handle_ = hwnd;
        SetWindowObject(hwnd, control);
    }
    if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return control->MainWndProc(msg, wParam, lParam);
}

LRESULT TWinControl::MainWndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    try {
        WindowProc(m);
    } catch (...) {
        HandleControlException(this);
    }
    return m.Result;
}

// ---- the window ----

void TWinControl::CreateParams(TCreateParams& params) {
    params = TCreateParams();
    params.Caption = text_;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (controlStyle_ & csAcceptsControls) {
        params.Style |= WS_CLIPCHILDREN;
        params.ExStyle |= WS_EX_CONTROLPARENT;
    }
    if (!enabled_) params.Style |= WS_DISABLED;
    if (tabStop_) params.Style |= WS_TABSTOP;
    params.X = left_;
    params.Y = top_;
    params.Width = width_;
    params.Height = height_;
    params.WndParent = parent_ ? parent_->Handle() : parentWindow_;
    params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    params.WinClassName = ClassName();
    AddBiDiModeExStyle(params.ExStyle);
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
    gCreating = this;
    HWND h = CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style, params.X,
                             params.Y, params.Width, params.Height, params.WndParent, nullptr, nullptr, params.Param);
    gCreating = nullptr;
    if (!h) handle_ = nullptr;
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    WNDCLASSA cls;
    if (!GetClassInfoA(params.WinClassName.c_str(), &cls) || cls.lpfnWndProc != &TWinControl::InitWndProc ||
        cls.style != params.WindowClass.style) {
        cls = WNDCLASSA();
        cls.style = params.WindowClass.style;
        cls.lpfnWndProc = &TWinControl::InitWndProc;
        cls.lpszClassName = params.WinClassName.c_str();
        RegisterClassA(cls);
    }
    CreateWindowHandle(params);
    if (!handle_) throw EOSError("Error creating window of class " + params.WinClassName);
    CreateSubClasses();
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    controlState_ |= csCreating;
    try {
        CreateWnd();
    } catch (...) {
        controlState_ &= ~csCreating;
        throw;
    }
    controlState_ &= ~csCreating;
    // Keep the windows' z-order in step with the children list (bottom first).
    if (parent_) {
        auto& siblings = parent_->winControls_;
        auto it = std::find(siblings.begin(), siblings.end(), this);
        HWND above = nullptr;
        for (auto s = it + 1; s != siblings.end(); ++s)
            if ((*s)->HandleAllocated()) {
                above = (*s)->handle_;
                break;
            }
        if (above) SetWindowPos(handle_, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    for (TControl* c : controls_) c->UpdateAnchorRules();
    for (TWinControl* c : winControls_) c->UpdateAnchorRules();
}

void TWinControl::HandleNeeded() {
    if (handle_) return;
    if (parent_) parent_->HandleNeeded();
    CreateHandle();
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return handle_;
}

void TWinControl::DestroyWnd() {
    if (!handle_) return;
    // Device contexts on this window (or its graphic children's) go before it.
    TControlCanvas::FreeDeviceContexts();
    char buffer[4096];
    int n = GetWindowTextA(handle_, buffer, sizeof(buffer));
    text_.assign(buffer, std::size_t(std::max(0, n)));
    HWND h = handle_;
    DestroyWindow(h);
    handle_ = nullptr;
}

void TWinControl::DestroyHandle() {
    if (!handle_) return;
    controlState_ |= csDestroyingHandle;
    for (TWinControl* c : winControls_) c->DestroyHandle();
    DestroyWnd();
    controlState_ &= ~csDestroyingHandle;
}

void TWinControl::RecreateWnd() {
    if (handle_) Perform(CM_RECREATEWND, 0, 0);
}

void TWinControl::UpdateBiDiModeExStyle() {
    if (!handle_) return;
    // Changed in place and the frame laid out again (the vertical bar may change sides):
    // the window keeps its text, selection and scroll position.
    constexpr DWORD kBiDi = WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR;
    TCreateParams params;
    CreateParams(params);
    DWORD exStyle = DWORD(GetWindowLongA(handle_, GWL_EXSTYLE));
    DWORD wanted = (exStyle & ~kBiDi) | (params.ExStyle & kBiDi);
    if (wanted == exStyle) return;
    SetWindowLongA(handle_, GWL_EXSTYLE, LONG(wanted));
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TWinControl::SetParentWindow(HWND parent) {
    if (parent_ || parentWindow_ == parent) return;
    if (handle_ && parent) {
        ::platform::SetParent(handle_, parent);
    } else {
        DestroyHandle();
    }
    parentWindow_ = parent;
    UpdateShowing();
}

void TWinControl::UpdateShowing() {
    // A child shows when its parent's window does; a control placed in a foreign window
    // shows with it.
    bool show = visible_ && (parent_ ? parent_->handle_ && IsWindowVisible(parent_->handle_) : parentWindow_ != nullptr);
    if (show && !handle_) CreateHandle();
    if (!handle_) return;
    bool isShown = (GetWindowLongA(handle_, GWL_STYLE) & WS_VISIBLE) != 0;
    if (show != isShown) Perform(CM_SHOWINGCHANGED, 0, 0);
    for (TWinControl* c : std::vector<TWinControl*>(winControls_)) c->UpdateShowing();
}

void TWinControl::UpdateBounds() {
    if (!handle_) return;
    RECT r;
    GetWindowRect(handle_, &r);
    POINT p{r.left, r.top};
    HWND parent = GetParent(handle_);
    if (parent && (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD)) ::platform::ScreenToClient(parent, &p);
    left_ = p.x;
    top_ = p.y;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
    UpdateAnchorRules();
}

void TWinControl::ScrollChildren(int deltaX, int deltaY) {
    for (TControl* c : controls_) {
        c->left_ += deltaX;
        c->top_ += deltaY;
    }
    if (handle_) {
        // Child windows move with the scrolled pixels; their records follow.
        ScrollWindow(handle_, deltaX, deltaY, nullptr, nullptr);
        for (TWinControl* w : winControls_) {
            if (w->handle_) {
                w->UpdateBounds();
            } else {
                w->left_ += deltaX;
                w->top_ += deltaY;
            }
        }
    } else {
        for (TWinControl* w : winControls_) {
            w->left_ += deltaX;
            w->top_ += deltaY;
        }
    }
}

bool TWinControl::IsLive() const { return !(ComponentState() & csLoading) && handle_ != nullptr; }

// ---- children ----

TControl* TWinControl::Controls(int index) const {
    // Graphic controls first, then windowed ones, each bottom first.
    if (index < 0 || index >= ControlCount() + int(winControls_.size()))
        throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    if (index < int(controls_.size())) return controls_[std::size_t(index)];
    return winControls_[std::size_t(index) - controls_.size()];
}

void TWinControl::InsertControl(TControl* control) {
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 1);
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        winControls_.push_back(w);
        tabList_.push_back(w);
    } else {
        controls_.push_back(control);
    }
    control->parent_ = this;
    control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    control->Perform(CM_PARENTFONTCHANGED, 0, 0);
    control->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
    control->Perform(CM_PARENTBIDIMODECHANGED, 0, 0);
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        if (handle_) w->UpdateShowing();
    } else if (handle_) {
        control->Invalidate();
    }
    Realign();
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control), 1);
}

void TWinControl::RemoveControl(TControl* control) {
    Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(control), 0);
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        if (TCustomForm* form = GetParentForm()) form->ControlRemoving(w);
        w->DestroyHandle();
        winControls_.erase(std::remove(winControls_.begin(), winControls_.end(), w), winControls_.end());
        tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
    } else {
        if (handle_) control->InvalidateControl(control->Visible(), false);
        controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    }
    if (GetCaptureControl() == control) SetCaptureControl(nullptr);
    control->parent_ = nullptr;
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 0);
    Realign();
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls) const {
    auto hits = [&](TControl* c) {
        if (!c->Visible() || (!c->Enabled() && !allowDisabled)) return false;
        if (!c->BoundsRect().Contains(pos)) return false;
        TPoint local(pos.x - c->Left(), pos.y - c->Top());
        return c->Perform(CM_HITTEST, 0, MAKELPARAM(WORD(std::int16_t(local.x)), WORD(std::int16_t(local.y)))) != 0;
    };
    if (allowWinControls)
        for (auto it = winControls_.rbegin(); it != winControls_.rend(); ++it)
            if (hits(*it)) return *it;
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if (hits(*it)) return *it;
    return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
    std::vector<TControl*> all(controls_.begin(), controls_.end());
    all.insert(all.end(), winControls_.begin(), winControls_.end());
    for (TControl* c : all) {
        c->WindowProc(message);
        if (message.Result != 0) return;
    }
}

void TWinControl::NotifyControls(UINT msg) {
    TMessage m{msg, 0, 0, 0};
    Broadcast(m);
}

void TWinControl::EnableAlign() {
    if (alignDisabled_ > 0 && --alignDisabled_ == 0) Realign();
}

void TWinControl::Realign() {
    if (alignDisabled_ > 0 || (ComponentState() & (csLoading | csDestroying))) return;
    ++alignDisabled_;
    TRect r = ClientRect();
    AdjustClientRect(r);
    AlignControls(nullptr, r);
    --alignDisabled_;
}

void TWinControl::AlignControls(TControl* /*control*/, TRect& rect) {
    std::vector<TControl*> all(controls_.begin(), controls_.end());
    all.insert(all.end(), winControls_.begin(), winControls_.end());
    // Docked controls share the edges in this order; the rest fills what is left.
    for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* c : all) {
            if (c->align_ != align || !c->visible_) continue;
            int w = c->width_, h = c->height_;
            switch (align) {
                case alTop:
                    c->SetBounds(rect.left, rect.top, rect.Width(), h);
                    rect.top += h;
                    break;
                case alBottom:
                    c->SetBounds(rect.left, rect.bottom - h, rect.Width(), h);
                    rect.bottom -= h;
                    break;
                case alLeft:
                    c->SetBounds(rect.left, rect.top, w, rect.Height());
                    rect.left += w;
                    break;
                case alRight:
                    c->SetBounds(rect.right - w, rect.top, w, rect.Height());
                    rect.right -= w;
                    break;
                default: c->SetBounds(rect.left, rect.top, rect.Width(), rect.Height()); break;
            }
        }
    }
    // Anchored controls keep their distance to the right and bottom edges.
    TRect client = ClientRect();
    for (TControl* c : all) {
        if (c->align_ != alNone || c->anchorRight_ < 0) continue;
        int left = c->left_, top = c->top_, width = c->width_, height = c->height_;
        int keepRight = c->anchorRight_, keepBottom = c->anchorBottom_;
        if (c->anchors_ & akRight) {
            if (c->anchors_ & akLeft)
                width = client.Width() - keepRight - left;
            else
                left = client.Width() - keepRight - width;
        }
        if (c->anchors_ & akBottom) {
            if (c->anchors_ & akTop)
                height = client.Height() - keepBottom - top;
            else
                top = client.Height() - keepBottom - height;
        }
        c->SetBounds(left, top, std::max(0, width), std::max(0, height));
        c->anchorRight_ = keepRight;
        c->anchorBottom_ = keepBottom;
    }
}

// ---- focus and tab order ----

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

bool TWinControl::CanFocus() const {
    TCustomForm* form = GetParentForm();
    if (!form) return visible_ && enabled_;
    if (!form->Visible() || !form->Enabled()) return false;
    for (const TControl* c = this; c && c != form; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

void TWinControl::SetFocus() {
    if (TCustomForm* form = GetParentForm()) {
        form->FocusControl(this);
    } else if (parentWindow_) {
        if (handle_) ::platform::SetFocus(handle_);
    } else {
        ::platform::SetFocus(Handle());
    }
}

int TWinControl::TabOrder() const {
    if (!parent_) return -1;
    auto& list = parent_->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
    if (!parent_) return;
    auto& list = parent_->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) return;
    list.erase(it);
    value = std::clamp(value, 0, int(list.size()));
    list.insert(list.begin() + value, this);
}

void TWinControl::SetTabStop(bool value) {
    if (tabStop_ == value) return;
    tabStop_ = value;
    if (handle_) {
        LONG style = GetWindowLongA(handle_, GWL_STYLE);
        SetWindowLongA(handle_, GWL_STYLE, value ? LONG(DWORD(style) | WS_TABSTOP) : LONG(DWORD(style) & ~WS_TABSTOP));
    }
    Perform(CM_TABSTOPCHANGED, 0, 0);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
    for (TWinControl* c : tabList_) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent) const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    int n = int(list.size());
    auto it = std::find(list.begin(), list.end(), current);
    int start = it == list.end() ? (goForward ? n - 1 : 0) : int(it - list.begin());
    int i = start;
    for (int step = 0; step < n; ++step) {
        i = goForward ? (i + 1) % n : (i + n - 1) % n;
        TWinControl* c = list[std::size_t(i)];
        if (c == current) break;
        if ((!checkTabStop || c->TabStop()) && (!checkParent || c->Parent() == this) && c->CanFocus()) return c;
    }
    return nullptr;
}

void TWinControl::SelectFirst() {
    TWinControl* c = FindNextControl(nullptr, true, true, false);
    if (!c) c = FindNextControl(nullptr, true, false, false);
    if (c) c->SetFocus();
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
    TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop);
    if (next) next->SetFocus();
}

// ---- painting ----

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, !(controlStyle_ & csOpaque));
}

void TWinControl::Update() {
    if (handle_) {
        UpdateWindow(handle_);
        PaintPendingWindows(handle_);
    }
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

void TWinControl::PaintWindow(HDC dc) {
    // No painting of its own: the default procedure validates.
    TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
    DefaultHandler(m);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
    auto it = controls_.begin();
    if (first) {
        it = std::find(controls_.begin(), controls_.end(), first);
        if (it != controls_.end()) ++it;
    }
    std::vector<TControl*> todo(it, controls_.end());
    for (TControl* c : todo) {
        if (c == gParentImageFor) break;
        if (!c->Visible() || std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
        TRect bounds = c->BoundsRect();
        if (!RectVisible(dc, &bounds)) continue;
        int saved = SaveDC(dc);
        OffsetViewportOrgEx(dc, c->Left(), c->Top(), nullptr);
        IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
        try {
            c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        } catch (...) {
            RestoreDC(dc, saved);
            throw;
        }
        RestoreDC(dc, saved);
    }
}

void TWinControl::PaintHandler(TMessage& m) {
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    PAINTSTRUCT ps;
    bool own = dc == nullptr;
    if (own) dc = BeginPaint(Handle(), &ps);
    try {
        int saved = SaveDC(dc);
        // Opaque graphic children are excluded, so the window does not paint under them.
        for (TControl* c : controls_)
            if (c->Visible() && (c->ControlStyle() & csOpaque))
                ExcludeClipRect(dc, c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height());
        PaintWindow(dc);
        RestoreDC(dc, saved);
        PaintControls(dc, nullptr);
    } catch (...) {
        if (own) EndPaint(handle_, &ps);
        throw;
    }
    if (own) EndPaint(handle_, &ps);
}

void TWinControl::PaintTo(HDC dc, int x, int y) {
    HandleNeeded();
    int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, x, y, nullptr);
    IntersectClipRect(dc, 0, 0, width_, height_);
    Perform(WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CLIENT | PRF_CHILDREN);
    RestoreDC(dc, saved);
}

TRect TWinControl::ClientRect() const {
    if (handle_) {
        RECT r;
        GetClientRect(handle_, &r);
        return r;
    }
    return TControl::ClientRect();
}

TPoint TWinControl::ClientOrigin() const {
    if (handle_) {
        POINT p{0, 0};
        ::platform::ClientToScreen(handle_, &p);
        return TPoint(p.x, p.y);
    }
    return TControl::ClientOrigin();
}

std::string TWinControl::Text() const {
    if (!handle_) return text_;
    int n = GetWindowTextLengthA(handle_);
    std::string s(std::size_t(n) + 1, '\0');
    n = GetWindowTextA(handle_, s.data(), n + 1);
    s.resize(std::size_t(std::max(0, n)));
    return s;
}

void TWinControl::SetText(const std::string& value) {
    if (Text() == value) return;
    text_ = value;
    if (handle_) SetWindowTextA(handle_, value.c_str());
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (!CanResize(width, height)) {
        width = width_;
        height = height_;
    }
    constraints_.Apply(width, height);
    width = std::max(0, width);
    height = std::max(0, height);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    bool sized = width != width_ || height != height_;
    if (handle_ && !IsIconic(handle_)) {
        if (!SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE) && handle_) {
            UpdateBounds();
            throw EOutOfResources("A window of " + IntToStr(width) + " x " + IntToStr(height) + " pixels cannot be made");
        }
        // WM_SIZE / WM_MOVE brought the new bounds; a procedure may have refused them.
        left_ = left;
        top_ = top;
        width_ = width;
        height_ = height;
        UpdateBounds();
    } else {
        left_ = left;
        top_ = top;
        width_ = width;
        height_ = height;
        UpdateAnchorRules();
    }
    RequestAlign();
    if (sized) {
        Realign();
        if (!handle_) Resize();
    }
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent_ == parent) return;
    if (!parent_ && parent && handle_ && !parentWindow_) DestroyHandle();
    parentWindow_ = nullptr;
    TControl::SetParent(parent);
}

// ---- messages ----

void TWinControl::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_SETFOCUS:
            if (TCustomForm* form = GetParentForm())
                if (!form->SetFocusedControl(this)) return;
            break;
        case WM_KILLFOCUS:
            if (controlState_ & csFocusing) return;
            break;
        case WM_NCHITTEST: {
            TControl::WndProc(m);
            if (m.Result == HTTRANSPARENT) {
                TPoint p = ScreenToClient(TPoint(m.XPos(), m.YPos()));
                if (ControlAtPos(p, false)) m.Result = HTCLIENT;
            }
            return;
        }
        case WM_CANCELMODE: {
            if (handle_ && GetCapture() == handle_) {
                TControl* capture = GetCaptureControl();
                if (capture && capture != this && capture->Parent() == this) capture->Perform(WM_CANCELMODE, 0, 0);
            }
            break;
        }
        default:
            if (InMouseRange(m.Msg) && IsControlMouseMsg(m)) {
                if (m.Result == 0 && handle_) DefWindowProcA(handle_, m.Msg, m.WParam, m.LParam);
                return;
            }
            break;
    }
    TControl::WndProc(m);
}

bool TWinControl::IsControlMouseMsg(TMessage& m) {
    TControl* control = nullptr;
    if (handle_ && GetCapture() == handle_) {
        TControl* capture = GetCaptureControl();
        if (capture && capture != this && capture->Parent() == this) control = capture;
    } else {
        control = ControlAtPos(TPoint(m.XPos(), m.YPos()), false, false);
    }
    if (!control) return false;
    int x = m.XPos() - control->Left();
    int y = m.YPos() - control->Top();
    m.Result = control->Perform(m.Msg, m.WParam, MAKELPARAM(WORD(std::int16_t(x)), WORD(std::int16_t(y))));
    return true;
}

void TWinControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_PAINT:
            if (!(controlState_ & csCustomPaint) && controls_.empty()) break;
            PaintHandler(m);
            return;
        case WM_PRINTCLIENT:
            PaintHandler(m);
            return;
        case WM_ERASEBKGND: {
            RECT r = ClientRect();
            FillRect(reinterpret_cast<HDC>(m.WParam), &r, brush_->Handle());
            m.Result = 1;
            return;
        }
        case WM_NCDESTROY: {
            DefaultHandler(m);
            if (handle_) SetWindowObject(handle_, nullptr);
            handle_ = nullptr;
            return;
        }
        case WM_SIZE:
            UpdateBounds();
            DefaultHandler(m);
            Realign();
            if (!(ComponentState() & csLoading)) Resize();
            return;
        case WM_MOVE:
            UpdateBounds();
            DefaultHandler(m);
            return;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(m.WParam) == handle_ && std::int16_t(LOWORD(std::uintptr_t(m.LParam))) == HTCLIENT) {
                TCursor cursor = TScreen::Instance()->Cursor();
                if (cursor == crDefault) {
                    TControl* control = ControlAtPos(ScreenToClient(Mouse->CursorPos()), false, false);
                    if (control) cursor = control->Cursor();
                    if (cursor == crDefault) cursor = cursor_;
                }
                if (cursor != crDefault) {
                    ::platform::SetCursor(TScreen::Instance()->Cursors(cursor));
                    m.Result = 1;
                    return;
                }
            }
            DefaultHandler(m);
            return;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            WORD key = WORD(m.WParam);
            if (DoKeyDown(key, m.LParam)) return;
            m.WParam = key;
            DefaultHandler(m);
            return;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            WORD key = WORD(m.WParam);
            if (DoKeyUp(key, m.LParam)) return;
            m.WParam = key;
            DefaultHandler(m);
            return;
        }
        case WM_CHAR: {
            char ch = char(m.WParam);
            if (m.WParam < 0x80 && DoKeyPress(ch)) return;
            if (m.WParam < 0x80) m.WParam = WPARAM(BYTE(ch));
            DefaultHandler(m);
            return;
        }
        case CN_KEYDOWN:
        case CN_SYSKEYDOWN: {
            m.Result = 1;
            WORD key = WORD(m.WParam);
            // A menu shortcut runs before the control sees the key: the popup menus of the
            // control and its parents, then the form's menus.
            if (IsMenuKey(key, m.LParam)) return;
            if (Perform(CM_CHILDKEY, key, reinterpret_cast<LPARAM>(this)) != 0) return;
            LRESULT mask = 0;
            switch (key) {
                case VK_TAB: mask = DLGC_WANTTAB; break;
                case VK_LEFT:
                case VK_RIGHT:
                case VK_UP:
                case VK_DOWN: mask = DLGC_WANTARROWS; break;
                case VK_RETURN:
                case VK_ESCAPE:
                case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
                default: break;
            }
            TCustomForm* form = GetParentForm();
            if (mask && m.Msg == CN_KEYDOWN && Perform(CM_WANTSPECIALKEY, key, 0) == 0 &&
                (Perform(WM_GETDLGCODE, 0, 0) & mask) == 0 && form &&
                form->Perform(CM_DIALOGKEY, key, m.LParam) != 0)
                return;
            m.Result = 0;
            return;
        }
        case CN_CHAR: {
            m.Result = 1;
            TCustomForm* form = GetParentForm();
            if ((Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) == 0 && form &&
                form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0)
                return;
            m.Result = 0;
            return;
        }
        case CN_SYSCHAR: {
            m.Result = 0;
            TCustomForm* form = GetParentForm();
            if (m.WParam != VK_SPACE && form) m.Result = form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam);
            return;
        }
        case CM_CHILDKEY:
            m.Result = parent_ ? parent_->Perform(CM_CHILDKEY, m.WParam, m.LParam) : 0;
            return;
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
        case WM_DRAWITEM:
        case WM_MEASUREITEM: {
            // What a child control tells its parent goes back to the child as CN_*.
            if (TWinControl* child = ReflectTarget(m)) {
                m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
                return;
            }
            break;
        }
        case WM_CONTEXTMENU: {
            if (popupMenu_ && popupMenu_->AutoPopup()) {
                int x = m.XPos(), y = m.YPos();
                if (m.LParam == LPARAM(-1) || (x == -1 && y == -1)) {
                    // From the keyboard: below the control's top-left corner.
                    TPoint p = ClientToScreen(TPoint(0, 0));
                    x = p.x;
                    y = p.y;
                }
                popupMenu_->SetPopupComponent(this);
                popupMenu_->Popup(x, y);
                m.Result = 1;
                return;
            }
            break;
        }
        case CM_DIALOGKEY:
        case CM_DIALOGCHAR:
        case CM_FOCUSCHANGED:
            Broadcast(m);
            return;
        case CM_ENTER: DoEnter(); return;
        case CM_EXIT: DoExit(); return;
        case CM_MOUSEWHEEL: {
            TShiftState shift = KeysToShiftState(LOWORD(m.WParam));
            int delta = std::int16_t(HIWORD(m.WParam));
            if (DoMouseWheel(shift, delta, TPoint(m.XPos(), m.YPos()))) {
                m.Result = 1;
                return;
            }
            m.Result = parent_ ? parent_->Perform(CM_MOUSEWHEEL, m.WParam, m.LParam) : 0;
            return;
        }
        case CM_SHOWINGCHANGED:
            if (handle_) {
                bool show = visible_ && (!parent_ || (parent_->handle_ && IsWindowVisible(parent_->handle_)));
                SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                             SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                                 (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
            }
            return;
        case CM_VISIBLECHANGED:
            if (!visible_ && parent_) {
                if (TCustomForm* form = GetParentForm()) form->ControlRemoving(this);
            }
            if (parent_) UpdateShowing();
            return;
        case CM_ENABLEDCHANGED:
            if (!enabled_ && parent_)
                if (TCustomForm* form = GetParentForm()) form->ControlRemoving(this);
            if (handle_) EnableWindow(handle_, enabled_ ? TRUE : FALSE);
            TControl::Dispatch(m);
            return;
        case CM_COLORCHANGED:
            brush_->SetColor(color_);
            NotifyControls(CM_PARENTCOLORCHANGED);
            TControl::Dispatch(m);
            return;
        case CM_FONTCHANGED:
            TControl::Dispatch(m);
            NotifyControls(CM_PARENTFONTCHANGED);
            return;
        case CM_SHOWHINTCHANGED:
            NotifyControls(CM_PARENTSHOWHINTCHANGED);
            return;
        case CM_PARENTSHOWHINTCHANGED:
            TControl::Dispatch(m);
            NotifyControls(CM_PARENTSHOWHINTCHANGED);
            return;
        case CM_BIDIMODECHANGED:
            TControl::Dispatch(m);
            UpdateBiDiModeExStyle();
            return;
        case CM_RECREATEWND: {
            bool wasFocused = Focused();
            DestroyHandle();
            UpdateShowing();
            if (wasFocused && handle_) ::platform::SetFocus(handle_);
            return;
        }
        case CM_INVALIDATE: Invalidate(); return;
        default: break;
    }
    TControl::Dispatch(m);
}

TWinControl* TWinControl::ReflectTarget(const TMessage& m) const {
    HWND child = nullptr;
    switch (m.Msg) {
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC: child = reinterpret_cast<HWND>(m.LParam); break;
        case WM_NOTIFY: child = m.LParam ? *reinterpret_cast<const HWND*>(m.LParam) : nullptr; break;
        case WM_DRAWITEM: {
            auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
            if (dis && dis->CtlType != ODT_MENU) child = dis->hwndItem;
            break;
        }
        case WM_MEASUREITEM: {
            auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(m.LParam);
            if (!mis || mis->CtlType == ODT_MENU || !handle_) break;
            // The child is named by its control id.
            for (HWND h = GetWindow(handle_, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
                if (UINT(GetWindowLongA(h, GWL_ID)) == mis->CtlID) {
                    child = h;
                    break;
                }
            break;
        }
        default: break;
    }
    if (!child || child == handle_) return nullptr;
    TWinControl* control = FindControl(child);
    return control && control != this ? control : nullptr;
}

bool TWinControl::IsMenuKey(WORD key, LPARAM keyData) {
    TShiftState shift = KeyDataToShiftState(keyData);
    for (TControl* c = this; c; c = c->Parent())
        if (c->PopupMenu() && c->PopupMenu()->IsShortCut(key, shift)) return true;
    TCustomForm* form = GetParentForm();
    return form && form->IsShortCut(key, shift);
}

void TWinControl::DefaultHandler(TMessage& m) {
    if (!handle_) {
        TControl::DefaultHandler(m);
        return;
    }
    m.Result = DefWindowProcA(handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::DefWndProc(TMessage& m) { DefaultHandler(m); }

bool TWinControl::DoKeyDown(WORD& key, LPARAM keyData) {
    TCustomForm* form = GetParentForm();
    if (form && form != this && form->KeyPreview() && form->DoKeyDown(key, keyData)) return true;
    if (key != 0 && !(controlStyle_ & csNoStdEvents)) KeyDown(key, KeyDataToShiftState(keyData));
    return key == 0;
}

bool TWinControl::DoKeyUp(WORD& key, LPARAM keyData) {
    TCustomForm* form = GetParentForm();
    if (form && form != this && form->KeyPreview() && form->DoKeyUp(key, keyData)) return true;
    if (key != 0 && !(controlStyle_ & csNoStdEvents)) KeyUp(key, KeyDataToShiftState(keyData));
    return key == 0;
}

bool TWinControl::DoKeyPress(char& key) {
    TCustomForm* form = GetParentForm();
    if (form && form != this && form->KeyPreview() && form->DoKeyPress(key)) return true;
    if (!(controlStyle_ & csNoStdEvents)) KeyPress(key);
    return key == 0;
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

bool TWinControl::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
    return handled;
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

// ---------------------------------------------------------------- TCustomControl

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) { canvas_ = new TControlCanvas(this); }

TCustomControl::~TCustomControl() {
    // The window goes first, so that no message reaches a half-destroyed control.
    DestroyHandle();
    delete canvas_;
    canvas_ = nullptr;
}

void TCustomControl::Dispatch(TMessage& m) {
    if (m.Msg == WM_PAINT) {
        controlState_ |= csCustomPaint;
        try {
            TWinControl::Dispatch(m);
        } catch (...) {
            controlState_ &= ~csCustomPaint;
            throw;
        }
        controlState_ &= ~csCustomPaint;
        return;
    }
    TWinControl::Dispatch(m);
}

void TCustomControl::PaintWindow(HDC dc) {
    static_cast<TControlCanvas*>(canvas_)->PaintOn(dc, [this] { Paint(); });
}

}  // namespace platform
