// Forms and the scroll box.
#include "platform/controls/forms.h"
#include "platform/controls/menus.h"

#include <algorithm>
#include <climits>

#include "platform/core/sysutils.h"
#include "platform/windows/input.h"

namespace platform {

void ControlDestroyed(TControl* control) {
    Application->ControlDestroyed(control);
    TScreen::Instance()->ControlDestroyed(control);
}

// ---------------------------------------------------------------- scroll bars

void TControlScrollBar::SetRange(int value) {
    value = std::max(0, value);
    if (range_ == value) return;
    range_ = value;
    control_->UpdateScrollBars();
}

void TControlScrollBar::SetPosition(int value) {
    TRect client = control_->ClientRect();
    int page = bar_ == SB_HORZ ? client.Width() : client.Height();
    value = std::clamp(value, 0, std::max(0, range_ - page));
    if (value == position_) return;
    int delta = position_ - value;
    position_ = value;
    if (bar_ == SB_HORZ)
        control_->ScrollBy(delta, 0);
    else
        control_->ScrollBy(0, delta);
    if (control_->HandleAllocated()) SetScrollPos(control_->WindowHandle(), bar_, position_, TRUE);
}

void TControlScrollBar::SetVisible(bool value) {
    if (visible_ == value) return;
    visible_ = value;
    control_->UpdateScrollBars();
}

bool TControlScrollBar::IsScrollBarVisible() const {
    if (!visible_ || !control_->HandleAllocated()) return false;
    DWORD style = DWORD(GetWindowLongA(control_->WindowHandle(), GWL_STYLE));
    return (style & (bar_ == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

TScrollingWinControl::TScrollingWinControl(TComponent* owner) : TWinControl(owner) {
    controlStyle_ |= csAcceptsControls;
}

void TScrollingWinControl::SetAutoScroll(bool value) {
    if (autoScroll_ == value) return;
    autoScroll_ = value;
    Realign();
}

void TScrollingWinControl::CreateWnd() {
    TWinControl::CreateWnd();
    UpdateScrollBars();
}

void TScrollingWinControl::AlignControls(TControl* control, TRect& rect) {
    TWinControl::AlignControls(control, rect);
    if (!autoScroll_) return;
    // The range covers every visible child, measured from the unscrolled origin.
    int right = 0, bottom = 0;
    for (int i = 0; i < ControlCount() + int(winControls_.size()); ++i) {
        TControl* c = Controls(i);
        if (!c->Visible() || c->Align() != alNone) continue;
        right = std::max(right, c->Left() + c->Width() + horz_.position_);
        bottom = std::max(bottom, c->Top() + c->Height() + vert_.position_);
    }
    horz_.range_ = right;
    vert_.range_ = bottom;
    UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars() {
    if (!HandleAllocated() || updatingBars_) return;
    updatingBars_ = true;
    HWND h = WindowHandle();
    // Showing one bar narrows the client, which may call for the other.
    for (int pass = 0; pass < 2; ++pass) {
        RECT client;
        GetClientRect(h, &client);
        for (TControlScrollBar* bar : {&horz_, &vert_}) {
            int page = bar->bar_ == SB_HORZ ? client.right : client.bottom;
            bool show = bar->visible_ && bar->range_ > page;
            ShowScrollBar(h, bar->bar_, show ? TRUE : FALSE);
            if (show) {
                SCROLLINFO si;
                si.fMask = SIF_ALL;
                si.nMin = 0;
                si.nMax = bar->range_ - 1;
                si.nPage = UINT(std::max(0, page));
                si.nPos = bar->position_;
                SetScrollInfo(h, bar->bar_, &si, TRUE);
            } else if (bar->position_ != 0) {
                bar->SetPosition(0);
            }
        }
    }
    updatingBars_ = false;
}

void TScrollingWinControl::ScrollBy(int deltaX, int deltaY) {
    if (deltaX == 0 && deltaY == 0) return;
    DisableAlign();
    ScrollChildren(deltaX, deltaY);
    EnableAlign();
}

void TScrollingWinControl::ScrollInView(TControl* control) {
    if (!control || !ContainsControl(control)) return;
    TRect client = ClientRect();
    TPoint p(control->Left(), control->Top());
    if (p.x < 0)
        horz_.SetPosition(horz_.position_ + p.x);
    else if (p.x + control->Width() > client.Width())
        horz_.SetPosition(horz_.position_ + std::min(p.x, p.x + control->Width() - client.Width()));
    if (p.y < 0)
        vert_.SetPosition(vert_.position_ + p.y);
    else if (p.y + control->Height() > client.Height())
        vert_.SetPosition(vert_.position_ + std::min(p.y, p.y + control->Height() - client.Height()));
}

void TScrollingWinControl::Scroll(int bar, int code) {
    TControlScrollBar& b = bar == SB_HORZ ? horz_ : vert_;
    TRect client = ClientRect();
    int page = bar == SB_HORZ ? client.Width() : client.Height();
    int pos = b.position_;
    switch (code) {
        case SB_LINEUP: pos -= b.increment_; break;
        case SB_LINEDOWN: pos += b.increment_; break;
        case SB_PAGEUP: pos -= page; break;
        case SB_PAGEDOWN: pos += page; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: {
            SCROLLINFO si;
            si.fMask = SIF_TRACKPOS;
            GetScrollInfo(WindowHandle(), bar, &si);
            pos = si.nTrackPos;
            break;
        }
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = b.range_; break;
        default: return;
    }
    b.SetPosition(pos);
}

void TScrollingWinControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_HSCROLL: Scroll(SB_HORZ, LOWORD(m.WParam)); return;
        case WM_VSCROLL: Scroll(SB_VERT, LOWORD(m.WParam)); return;
        case WM_SIZE:
            TWinControl::Dispatch(m);
            UpdateScrollBars();
            return;
        case CM_MOUSEWHEEL: {
            TWinControl::Dispatch(m);
            if (m.Result == 0 && vert_.IsScrollBarVisible()) {
                int delta = std::int16_t(HIWORD(m.WParam));
                vert_.SetPosition(vert_.position_ - delta / WHEEL_DELTA * vert_.increment_ * 3);
                m.Result = 1;
            }
            return;
        }
        default: TWinControl::Dispatch(m); return;
    }
}

TScrollBox::TScrollBox(TComponent* owner) : TScrollingWinControl(owner) {
    controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    width_ = 185;
    height_ = 41;
    tabStop_ = false;
    color_ = clBtnFace;
    brush_->SetColor(color_);
}

void TScrollBox::SetBorderStyle(TBorderStyle value) {
    if (borderStyle_ == value) return;
    borderStyle_ = value;
    RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& params) {
    TScrollingWinControl::CreateParams(params);
    if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

// ---------------------------------------------------------------- forms

TCustomForm::TCustomForm(TComponent* owner) : TScrollingWinControl(owner) {
    controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    visible_ = false;
    width_ = 320;
    height_ = 240;
    color_ = clBtnFace;
    brush_->SetColor(color_);
    parentFont_ = false;
    TScreen::Instance()->forms_.push_back(this);
}

void TCustomForm::SetMenu(TMainMenu* value) {
    if (menu_ == value) return;
    if (menu_) RemoveFreeNotification(menu_);
    menu_ = value;
    if (value) FreeNotification(value);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == menu_) menu_ = nullptr;
    if (operation == opRemove && component == windowMenu_) windowMenu_ = nullptr;
    TScrollingWinControl::Notification(component, operation);
}

bool TCustomForm::IsShortCut(WORD key, TShiftState shift) {
    if (menu_ && menu_->IsShortCut(key, shift)) return true;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* popup = dynamic_cast<TPopupMenu*>(Components(i)))
            if (popup->IsShortCut(key, shift)) return true;
    return false;
}

TCustomForm::~TCustomForm() {
    if (!destroyed_) DoDestroy();
    Destroying();  // no realigning while the controls go
    TScreen* s = TScreen::Instance();
    s->forms_.erase(std::remove(s->forms_.begin(), s->forms_.end(), this), s->forms_.end());
    ControlDestroyed(this);
    // Owned controls go while the form is still a form, so their windows leave in order.
    DestroyHandle();
    DestroyComponents();
}

void TCustomForm::AfterConstruction() {
    if (created_) return;
    created_ = true;
    DoCreate();
}

void TCustomForm::BeforeDestruction() {
    if (!destroyed_) DoDestroy();
}

void TCustomForm::DoCreate() {
    if (OnCreate) OnCreate(this);
}

void TCustomForm::DoDestroy() {
    destroyed_ = true;
    if (OnDestroy) OnDestroy(this);
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
    if (OnClose) OnClose(this, action);
}

void TCustomForm::Activate() {
    if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
    if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    params.ExStyle = 0;
    switch (borderStyle_) {
        case bsNone: params.Style |= WS_POPUP; break;
        case bsSingle:
        case bsToolWindow: params.Style |= WS_CAPTION | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX; break;
        case bsSizeable:
        case bsSizeToolWin:
            params.Style |= WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
            break;
        case bsDialog:
            params.Style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
            params.ExStyle |= WS_EX_DLGMODALFRAME;
            break;
    }
    if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) params.ExStyle |= WS_EX_TOOLWINDOW;
    if (formStyle_ == fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
    if (!enabled_) params.Style |= WS_DISABLED;
    params.WndParent = nullptr;
    TCustomForm* main = Application->MainForm();
    if (main && main != this && main->HandleAllocated()) params.WndParent = main->WindowHandle();
    params.WindowClass.style = CS_DBLCLKS;
    if (formStyle_ == fsMDIChild) {
        TCustomForm* frame = MDIParent();
        if (!frame || !frame->ClientHandle()) throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
        params.Style = (params.Style & ~DWORD(WS_POPUP)) | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        params.ExStyle = (params.ExStyle & ~DWORD(WS_EX_TOPMOST)) | WS_EX_MDICHILD;
        params.WndParent = frame->ClientHandle();
    }
}

void TCustomForm::CreateWnd() {
    TScrollingWinControl::CreateWnd();
    if (!text_.empty()) SetWindowTextA(handle_, text_.c_str());
    if (formStyle_ == fsMDIForm) {
        clientHandle_ = CreateMDIClientWindow(handle_);
        if (!clientHandle_) throw EOSError("Error creating the MDI client window");
        Realign();
    }
}

// ---------------------------------------------------------------- MDI

HWND TCustomForm::ClientHandle() const {
    return formStyle_ == fsMDIForm && clientHandle_ && IsWindow(clientHandle_) ? clientHandle_ : nullptr;
}

TCustomForm* TCustomForm::MDIParent() const {
    if (formStyle_ != fsMDIChild) return nullptr;
    auto* owner = dynamic_cast<TCustomForm*>(Owner());
    if (owner && owner->FormStyle() == fsMDIForm) return owner;
    TCustomForm* main = Application->MainForm();
    return main && main != this && main->FormStyle() == fsMDIForm ? main : nullptr;
}

namespace {
TCustomForm* FormOfWindow(HWND h) {
    TScreen* s = TScreen::Instance();
    for (int i = 0; i < s->FormCount(); ++i)
        if (TCustomForm* f = s->Forms(i); f->HandleAllocated() && f->WindowHandle() == h) return f;
    return nullptr;
}
}  // namespace

int TCustomForm::MDIChildCount() const {
    int n = 0;
    for (HWND h : MDIChildWindows(ClientHandle()))
        if (FormOfWindow(h)) ++n;
    return n;
}

TCustomForm* TCustomForm::MDIChildren(int index) const {
    int n = 0;
    for (HWND h : MDIChildWindows(ClientHandle()))
        if (TCustomForm* f = FormOfWindow(h)) {
            if (n == index) return f;
            ++n;
        }
    throw EListError("List index out of bounds (" + IntToStr(index) + ")");
}

TCustomForm* TCustomForm::ActiveMDIChild() const {
    HWND client = ClientHandle();
    if (!client) return nullptr;
    return FormOfWindow(reinterpret_cast<HWND>(SendMessage(client, WM_MDIGETACTIVE, 0, 0)));
}

void TCustomForm::SetWindowMenu(TMenuItem* value) {
    if (windowMenu_ == value) return;
    if (windowMenu_) RemoveFreeNotification(windowMenu_);
    windowMenu_ = value;
    if (value) FreeNotification(value);
}

void TCustomForm::Tile() {
    if (HWND client = ClientHandle())
        SendMessage(client, WM_MDITILE, tileMode_ == tbHorizontal ? MDITILE_HORIZONTAL : MDITILE_VERTICAL, 0);
}

void TCustomForm::Cascade() {
    if (HWND client = ClientHandle()) SendMessage(client, WM_MDICASCADE, 0, 0);
}

void TCustomForm::ArrangeIcons() {
    if (HWND client = ClientHandle()) SendMessage(client, WM_MDIICONARRANGE, 0, 0);
}

void TCustomForm::Next() {
    if (HWND client = ClientHandle()) SendMessage(client, WM_MDINEXT, 0, 0);
}

void TCustomForm::Previous() {
    if (HWND client = ClientHandle()) SendMessage(client, WM_MDINEXT, 0, 1);
}

void TCustomForm::AlignControls(TControl* control, TRect& rect) {
    TScrollingWinControl::AlignControls(control, rect);
    // The client window takes what the docked controls leave.
    if (HWND client = ClientHandle())
        SetWindowPos(client, HWND_BOTTOM, rect.left, rect.top, std::max(0, rect.Width()), std::max(0, rect.Height()),
                     SWP_NOACTIVATE);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
    if (borderStyle_ == value) return;
    borderStyle_ = value;
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle value) {
    if (formStyle_ == value) return;
    bool mdiChanged = formStyle_ == fsMDIForm || formStyle_ == fsMDIChild || value == fsMDIForm || value == fsMDIChild;
    formStyle_ = value;
    if (mdiChanged) {
        // An MDI form gets its client window, an MDI child its place in one: a new window.
        if (HandleAllocated()) RecreateWnd();
        return;
    }
    if (HandleAllocated())
        SetWindowPos(handle_, value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState value) {
    if (windowState_ == value) return;
    windowState_ = value;
    if (HandleAllocated() && visible_)
        ShowWindow(handle_, value == wsMaximized ? SW_SHOWMAXIMIZED : value == wsMinimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
}

void TCustomForm::PlaceOnFirstShow() {
    if (placed_) return;
    placed_ = true;
    TRect area;
    switch (position_) {
        case poScreenCenter:
        case poDesktopCenter: area = TScreen::Instance()->WorkAreaRect(); break;
        case poMainFormCenter:
        case poOwnerFormCenter: {
            auto* owner = dynamic_cast<TCustomForm*>(Owner());
            if (position_ == poMainFormCenter || !owner) owner = Application->MainForm();
            if (owner && owner != this)
                area = owner->BoundsRect();
            else
                area = TScreen::Instance()->WorkAreaRect();
            break;
        }
        default: return;
    }
    SetBounds(area.left + (area.Width() - width_) / 2, area.top + (area.Height() - height_) / 2, width_, height_);
}

void TCustomForm::VisibleChanging() {
    if (modal_ && visible_) throw EInvalidOperation("Cannot make a visible window modal");
}

void TCustomForm::ShowingChanged() {
    HandleNeeded();
    if (visible_) {
        PlaceOnFirstShow();
        int cmd = windowState_ == wsMaximized ? SW_SHOWMAXIMIZED : windowState_ == wsMinimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
        ShowWindow(handle_, cmd);
        for (TWinControl* c : std::vector<TWinControl*>(winControls_)) c->UpdateShowing();
        // A child shown in an MDI client becomes its active child.
        if (formStyle_ == fsMDIChild)
            if (HWND client = GetAncestor(handle_, GA_PARENT); IsMDIClientWindow(client))
                SendMessage(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(handle_), 0);
        DoShow();
    } else {
        DoHide();
        if (HandleAllocated()) {
            ShowWindow(handle_, SW_HIDE);
            if (formStyle_ == fsMDIChild) MDIChildGoing(GetAncestor(handle_, GA_PARENT), handle_);
        }
    }
}

void TCustomForm::Show() {
    SetVisible(true);
    if (HandleAllocated()) BringWindowToTop(handle_);
}

void TCustomForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application->MainForm() == this) {
        Application->Terminate();
    } else if (action == caHide) {
        Hide();
    } else if (action == caMinimize) {
        SetWindowState(wsMinimized);
    } else {
        Release();
    }
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::CloseModal() {
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    if (action == caNone) modalResult_ = mrNone;
    if (action == caFree) Release();
}

void TCustomForm::Release() {
    if (HandleAllocated())
        PostMessage(handle_, CM_RELEASE, 0, 0);
    else
        delete this;
}

namespace {
// What showing a form modally changes, given back when the modal loop ends however it ends:
// the other forms are enabled again, the cursor restored and the form hidden.
class ModalScope {
public:
    ModalScope(TCustomForm* form, bool& modal, std::vector<TCustomForm*> forms)
        : form_(form), modal_(modal), screen_(TScreen::Instance()), savedCursor_(screen_->Cursor()) {
        modal_ = true;
        screen_->SetCursor(crDefault);
        // Every other window of the program is disabled while the modal form runs.
        for (TCustomForm* f : forms) {
            if (f == form || !f->HandleAllocated()) continue;
            HWND h = f->WindowHandle();
            if (!IsWindowVisible(h) || !IsWindowEnabled(h)) continue;
            EnableWindow(h, FALSE);
            disabled_.push_back(h);
        }
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    ~ModalScope() {
        for (HWND h : disabled_) EnableWindow(h, TRUE);
        modal_ = false;
        if (!form_->HandleAllocated() || IsWindow(form_->WindowHandle())) form_->Hide();
        screen_->SetCursor(savedCursor_);
    }

private:
    TCustomForm* form_;
    bool& modal_;
    TScreen* screen_;
    TCursor savedCursor_;
    std::vector<HWND> disabled_;
};
}  // namespace

int TCustomForm::ShowModal() {
    if (visible_ || !enabled_ || modal_) throw EInvalidOperation("Cannot make a visible window modal");
    if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
    HWND previousActive = GetActiveWindow();
    int result = mrNone;
    {
        ModalScope scope(this, modal_, TScreen::Instance()->forms_);
        // Cleared before showing, so that a close asked for while the form shows is kept.
        modalResult_ = mrNone;
        Show();
        for (;;) {
            if (modalResult_ == mrNone) Application->HandleMessage();
            if (Application->Terminated()) {
                modalResult_ = mrCancel;
                break;
            }
            if (modalResult_ != mrNone) {
                CloseModal();  // OnCloseQuery may refuse: then the loop goes on
                if (modalResult_ != mrNone) break;
            }
        }
        result = modalResult_;
    }
    if (previousActive && IsWindow(previousActive)) SetActiveWindow(previousActive);
    return result;
}

void TCustomForm::SetActive(bool value) {
    active_ = value;
    if (value) {
        TScreen::Instance()->activeForm_ = this;
        if (!activeControl_) activeControl_ = FindNextControl(nullptr, true, true, false);
        SetWindowFocus();
        Activate();
    } else {
        Deactivate();
    }
}

void TCustomForm::SetWindowFocus() {
    HWND target = activeControl_ && activeControl_->HandleAllocated() ? activeControl_->WindowHandle() : handle_;
    if (activeControl_ && !activeControl_->HandleAllocated() && activeControl_->CanFocus()) target = activeControl_->Handle();
    if (target) ::platform::SetFocus(target);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    if (activeControl_ == control) return;
    if (control && (control == this || control->GetParentForm() != this || !control->CanFocus()))
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    activeControl_ = control;
    if (!(ComponentState() & csLoading) && active_) SetWindowFocus();
}

void TCustomForm::FocusControl(TWinControl* control) {
    bool wasActive = active_;
    SetActiveControl(control);
    if (!wasActive) SetFocus();
}

void TCustomForm::SetFocus() {
    if (!active_) {
        if (!visible_ || !enabled_) throw EInvalidOperation("Cannot focus a disabled or invisible window");
        SetWindowFocus();
    }
}

namespace {
int gFocusCount = 0;
bool SendFocusMessage(TWinControl* control, UINT msg) {
    int count = gFocusCount;
    control->Perform(msg, 0, 0);
    return gFocusCount == count;
}
}  // namespace

bool TCustomForm::SetFocusedControl(TWinControl* control) {
    // The focus going into an MDI child that is not the active one activates it.
    if (formStyle_ == fsMDIChild && handle_ && !active_)
        if (HWND client = GetAncestor(handle_, GA_PARENT); IsMDIClientWindow(client))
            SendMessage(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(handle_), 0);
    ++gFocusCount;
    activeControl_ = control != this ? control : nullptr;
    TScreen* screen = TScreen::Instance();
    screen->activeControl_ = control;
    screen->activeForm_ = this;
    if (control->ControlState() & csFocusing) return false;
    control->SetControlState(control->ControlState() | csFocusing);
    struct Clear {
        TWinControl* c;
        ~Clear() { c->SetControlState(c->ControlState() & ~csFocusing); }
    } clear{control};
    if (screen->focusedForm_ != this) {
        if (TCustomForm* old = screen->focusedForm_) {
            screen->focusedForm_ = nullptr;
            if (!SendFocusMessage(old, CM_DEACTIVATE)) return false;
        }
        screen->focusedForm_ = this;
        if (!SendFocusMessage(this, CM_ACTIVATE)) return false;
    }
    if (!focusedControl_) focusedControl_ = this;
    if (focusedControl_ != control) {
        // Leave every control that does not contain the new one, innermost first...
        while (focusedControl_ && !focusedControl_->ContainsControl(control)) {
            TWinControl* leaving = focusedControl_;
            focusedControl_ = focusedControl_->Parent();
            if (!SendFocusMessage(leaving, CM_EXIT)) return false;
        }
        // ...then enter each control on the way down to it, outermost first.
        while (focusedControl_ && focusedControl_ != control) {
            TWinControl* entering = control;
            while (entering->Parent() != focusedControl_) entering = entering->Parent();
            focusedControl_ = entering;
            if (!SendFocusMessage(entering, CM_ENTER)) return false;
        }
        for (TWinControl* p = control->Parent(); p; p = p->Parent())
            if (auto* s = dynamic_cast<TScrollingWinControl*>(p); s && s != this) s->ScrollInView(control);
        Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
    }
    return true;
}

void TCustomForm::ControlRemoving(TWinControl* control) {
    if (focusedControl_ && control->ContainsControl(focusedControl_)) focusedControl_ = control->Parent();
    if (activeControl_ && control->ContainsControl(activeControl_)) {
        activeControl_ = nullptr;
        if (active_ && handle_ && control->HandleAllocated() &&
            (GetFocus() == control->WindowHandle() || IsChild(control->WindowHandle(), GetFocus())))
            ::platform::SetFocus(handle_);
    }
    TScreen* screen = TScreen::Instance();
    if (screen->activeControl_ && control->ContainsControl(screen->activeControl_)) screen->activeControl_ = nullptr;
}

void TCustomForm::WndProc(TMessage& m) {
    if (m.Msg == WM_ACTIVATE) {
        SetActive(LOWORD(m.WParam) != WA_INACTIVE);
        return;
    }
    if (formStyle_ == fsMDIChild && handle_) {
        switch (m.Msg) {
            case WM_MDIACTIVATE: {
                // The client tells the child going and the child coming.
                bool coming = reinterpret_cast<HWND>(m.LParam) == handle_;
                if (coming != active_) SetActive(coming);
                break;
            }
            case WM_SIZE:
                // The state follows the window (its buttons, the client's commands); a hidden
                // child being laid out keeps the state it is to be shown in.
                if (m.WParam != SIZE_RESTORED || (DWORD(GetWindowLongA(handle_, GWL_STYLE)) & WS_VISIBLE))
                    windowState_ = m.WParam == SIZE_MAXIMIZED ? wsMaximized
                                   : m.WParam == SIZE_MINIMIZED ? wsMinimized
                                                                : wsNormal;
                // A child maximised comes to the front as the active one.
                if (m.WParam == SIZE_MAXIMIZED && !active_ && (DWORD(GetWindowLongA(handle_, GWL_STYLE)) & WS_VISIBLE))
                    if (HWND client = GetAncestor(handle_, GA_PARENT); IsMDIClientWindow(client))
                        SendMessage(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(handle_), 0);
                break;
            case WM_DESTROY: MDIChildGoing(GetAncestor(handle_, GA_PARENT), handle_); break;
            default: break;
        }
    }
    TScrollingWinControl::WndProc(m);
}

void TCustomForm::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_CLOSE: Close(); return;
        case CM_RELEASE:
            BeforeDestruction();
            delete this;
            return;
        case CM_VISIBLECHANGED: ShowingChanged(); return;
        case CM_TEXTCHANGED: TScrollingWinControl::Dispatch(m); return;
        case WM_GETMINMAXINFO: {
            // A user's resize keeps to the form's constraints.
            DefaultHandler(m);
            if (auto* info = reinterpret_cast<MINMAXINFO*>(m.LParam)) {
                const TSizeConstraints* c = Constraints();
                if (c->MinWidth() > 0) info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, c->MinWidth());
                if (c->MinHeight() > 0) info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, c->MinHeight());
                if (c->MaxWidth() > 0) info->ptMaxTrackSize.x = std::min<LONG>(info->ptMaxTrackSize.x, c->MaxWidth());
                if (c->MaxHeight() > 0) info->ptMaxTrackSize.y = std::min<LONG>(info->ptMaxTrackSize.y, c->MaxHeight());
            }
            m.Result = 0;
            return;
        }
        case CM_DIALOGKEY:
            if (GetKeyState(VK_MENU) >= 0) {
                WORD key = WORD(m.WParam);
                if (key == VK_TAB && GetKeyState(VK_CONTROL) >= 0) {
                    SelectNext(activeControl_, GetKeyState(VK_SHIFT) >= 0, true);
                    m.Result = 1;
                    return;
                }
                if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) {
                    if (activeControl_ && activeControl_->Parent()) {
                        activeControl_->Parent()->SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
                        m.Result = 1;
                    }
                    return;
                }
            }
            TScrollingWinControl::Dispatch(m);
            return;
        case WM_SETFOCUS:
            // The form itself took the focus: hand it on to its active control.
            DefaultHandler(m);
            if (activeControl_ && activeControl_->HandleAllocated() && activeControl_ != this &&
                GetFocus() == handle_ && activeControl_->CanFocus())
                ::platform::SetFocus(activeControl_->WindowHandle());
            return;
        case WM_NCHITTEST:
            DefaultHandler(m);
            return;
        default: TScrollingWinControl::Dispatch(m); return;
    }
}

}  // namespace platform
