// TControl, TGraphicControl and the shared helpers of the control classes.
#include "platform/controls/controls.h"

#include <algorithm>

#include "platform/controls/forms.h"

namespace platform {

TMouse* Mouse = [] {
    static TMouse mouse;
    return &mouse;
}();

namespace {
TControl* gCaptureControl = nullptr;
}
TControl* gParentImageFor = nullptr;

TShiftState KeysToShiftState(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (keyData & (LPARAM(1) << 29)) s |= ssAlt;
    return s;
}

int CursorToSystemId(TCursor cursor) {
    switch (cursor) {
        case crCross: return IDC_CROSS;
        case crIBeam: return IDC_IBEAM;
        case crSizeNESW: return IDC_SIZENESW;
        case crSizeNS:
        case crVSplit: return IDC_SIZENS;
        case crSizeNWSE: return IDC_SIZENWSE;
        case crSizeWE:
        case crHSplit: return IDC_SIZEWE;
        case crSizeAll: return IDC_SIZEALL;
        case crUpArrow: return IDC_UPARROW;
        case crHourGlass:
        case crSQLWait: return IDC_WAIT;
        case crNo:
        case crNoDrop: return IDC_NO;
        case crAppStart: return IDC_APPSTARTING;
        case crHelp: return IDC_HELP;
        case crHandPoint: return IDC_HAND;
        case crNone: return 0;
        default: return IDC_ARROW;
    }
}

TControl* GetCaptureControl() {
    TControl* result = TWinControl::FindControl(GetCapture());
    if (result && gCaptureControl && gCaptureControl->Parent() == result) result = gCaptureControl;
    return result;
}

void SetCaptureControl(TControl* control) {
    ReleaseCapture();
    gCaptureControl = nullptr;
    if (!control) return;
    if (!control->HasWindow()) {
        if (!control->Parent()) return;
        gCaptureControl = control;
        control = control->Parent();
    }
    SetCapture(static_cast<TWinControl*>(control)->Handle());
}

TWinControl* FindControlWindow(const TPoint& pos) {
    HWND h = WindowFromPoint(POINT{pos.x, pos.y});
    while (h) {
        if (TWinControl* c = TWinControl::FindControl(h)) return c;
        h = GetParent(h);
    }
    return nullptr;
}

TControl* FindDragTarget(const TPoint& pos, bool allowDisabled) {
    TWinControl* window = FindControlWindow(pos);
    if (!window) return nullptr;
    TControl* control = window->ControlAtPos(window->ScreenToClient(pos), allowDisabled, false);
    return control ? control : window;
}

HDC TextDC(TCanvas* canvas) {
    HDC dc = canvas->Handle();  // with the canvas's font and its colour selected
    SetBkMode(dc, TRANSPARENT);
    return dc;
}

void DrawParentImage(TControl* control, HDC dc) {
    TWinControl* parent = control ? control->Parent() : nullptr;
    if (!parent || !dc) return;
    int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, -control->Left(), -control->Top(), nullptr);
    TRect client = parent->ClientRect();
    IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
    // Only what lies below the control is painted: the parent stops at it.
    TControl* previous = gParentImageFor;
    gParentImageFor = control;
    try {
        parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        parent->Perform(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    } catch (...) {
        gParentImageFor = previous;
        RestoreDC(dc, saved);
        throw;
    }
    gParentImageFor = previous;
    RestoreDC(dc, saved);
}

TPoint TMouse::CursorPos() const {
    POINT p;
    GetCursorPos(&p);
    return TPoint(p.x, p.y);
}

void TMouse::SetCursorPos(const TPoint& p) { platform::SetCursorPos(p.x, p.y); }

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    font_ = new TFont;
    font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
    ControlDestroyed(this);
    if (gCaptureControl == this) SetCaptureControl(nullptr);
    if (parent_) SetParent(nullptr);
    delete font_;
    font_ = nullptr;
}

void TControl::WndProc(TMessage& m) {
    if (m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MOUSELAST) {
        if (!(controlStyle_ & csDoubleClicks)) {
            if (m.Msg == WM_LBUTTONDBLCLK) m.Msg = WM_LBUTTONDOWN;
            if (m.Msg == WM_RBUTTONDBLCLK) m.Msg = WM_RBUTTONDOWN;
            if (m.Msg == WM_MBUTTONDBLCLK) m.Msg = WM_MBUTTONDOWN;
        }
        if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) controlState_ |= csLButtonDown;
        if (m.Msg == WM_LBUTTONUP) controlState_ &= ~csLButtonDown;
    }
    Dispatch(m);
}

void TControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_LBUTTONDOWN: WMMouseButton(m, mbLeft, true, false); return;
        case WM_LBUTTONDBLCLK: WMMouseButton(m, mbLeft, true, true); return;
        case WM_LBUTTONUP: WMMouseButton(m, mbLeft, false, false); return;
        case WM_RBUTTONDOWN: WMMouseButton(m, mbRight, true, false); return;
        case WM_RBUTTONDBLCLK: WMMouseButton(m, mbRight, true, true); return;
        case WM_RBUTTONUP: WMMouseButton(m, mbRight, false, false); return;
        case WM_MBUTTONDOWN: WMMouseButton(m, mbMiddle, true, false); return;
        case WM_MBUTTONDBLCLK: WMMouseButton(m, mbMiddle, true, true); return;
        case WM_MBUTTONUP: WMMouseButton(m, mbMiddle, false, false); return;
        case WM_MOUSEMOVE: WMMouseMove(m); return;
        case WM_CANCELMODE:
            if (MouseCapture()) {
                SetMouseCapture(false);
                controlState_ &= ~(csClicked | csLButtonDown);
            }
            return;
        case CM_HITTEST: m.Result = HTCLIENT; return;
        case CM_DRAG: CMDrag(m); return;
        case CM_MOUSEENTER:
            if (OnMouseEnter) OnMouseEnter(this);
            return;
        case CM_MOUSELEAVE:
            if (OnMouseLeave) OnMouseLeave(this);
            return;
        case CM_ENABLEDCHANGED:
        case CM_FONTCHANGED:
        case CM_COLORCHANGED:
            Invalidate();
            return;
        case CM_VISIBLECHANGED: InvalidateControl(true, visible_ && (controlStyle_ & csOpaque)); return;
        case CM_PARENTFONTCHANGED:
            if (parentFont_ && parent_) {
                font_->Assign(parent_->Font());
                parentFont_ = true;
            }
            return;
        case CM_PARENTCOLORCHANGED:
            if (parentColor_ && parent_) {
                SetColor(parent_->Color());
                parentColor_ = true;
            }
            return;
        case CM_PARENTSHOWHINTCHANGED:
            if (parentShowHint_ && parent_) {
                SetShowHint(parent_->ShowHint());
                parentShowHint_ = true;
            }
            return;
        case CM_MOUSEWHEEL:
            m.Result = 0;
            if (parent_) m.Result = parent_->Perform(CM_MOUSEWHEEL, m.WParam, m.LParam);
            return;
        case WM_MOUSEWHEEL: m.Result = Perform(CM_MOUSEWHEEL, m.WParam, m.LParam); return;
        default: DefaultHandler(m); return;
    }
}

void TControl::DefaultHandler(TMessage& m) {
    // A control without a window keeps its text itself.
    switch (m.Msg) {
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<char*>(m.LParam);
            if (!buffer || m.WParam == 0) {
                m.Result = 0;
                return;
            }
            std::size_t n = std::min<std::size_t>(m.WParam - 1, text_.size());
            text_.copy(buffer, n);
            buffer[n] = 0;
            m.Result = LRESULT(n);
            return;
        }
        case WM_GETTEXTLENGTH: m.Result = LRESULT(text_.size()); return;
        case WM_SETTEXT:
            text_ = m.LParam ? reinterpret_cast<const char*>(m.LParam) : "";
            m.Result = 1;
            return;
        default: m.Result = 0; return;
    }
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    if (WindowProc) WindowProc(m);
    return m.Result;
}

bool TControl::IsLive() const { return !(ComponentState() & csLoading) && parent_ && parent_->HandleAllocated(); }

void TControl::Refreshed() {
    if (IsLive()) Invalidate();
}

void TControl::SetParent(TWinControl* parent) {
    if (parent_ == parent) return;
    if (parent == static_cast<TControl*>(this)) throw EInvalidOperation("A control cannot have itself as its parent");
    if (parent_) parent_->RemoveControl(this);
    if (parent) {
        parent->InsertControl(this);
        UpdateAnchorRules();
    }
}

bool TControl::CanResize(int& newWidth, int& newHeight) {
    bool result = true;
    if (OnCanResize) OnCanResize(this, newWidth, newHeight, result);
    return result;
}

void TSizeConstraints::Apply(int& width, int& height) const {
    if (maxWidth_ > 0) width = std::min(width, maxWidth_);
    if (minWidth_ > 0) width = std::max(width, minWidth_);
    if (maxHeight_ > 0) height = std::min(height, maxHeight_);
    if (minHeight_ > 0) height = std::max(height, minHeight_);
}

void TSizeConstraints::Set(int& field, int value) {
    value = std::max(0, value);
    if (field == value) return;
    field = value;
    if (control_) control_->SetBounds(control_->Left(), control_->Top(), control_->Width(), control_->Height());
    if (OnChange) OnChange(control_);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (!CanResize(width, height)) {
        width = width_;
        height = height_;
    }
    constraints_.Apply(width, height);
    width = std::max(0, width);
    height = std::max(0, height);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    InvalidateControl(visible_, false);
    bool sized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    UpdateAnchorRules();
    InvalidateControl(visible_, false);
    RequestAlign();
    if (sized) Resize();
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

TRect TControl::ClientRect() const { return TRect(0, 0, width_, height_); }

void TControl::SetClientWidth(int v) { SetWidth(width_ - ClientWidth() + v); }
void TControl::SetClientHeight(int v) { SetHeight(height_ - ClientHeight() + v); }

TPoint TControl::ClientOrigin() const {
    if (!parent_) return TPoint(left_, top_);
    TPoint p = parent_->ClientOrigin();
    return TPoint(p.x + left_, p.y + top_);
}

TPoint TControl::ClientToScreen(const TPoint& p) const {
    TPoint o = ClientOrigin();
    return TPoint(p.x + o.x, p.y + o.y);
}

TPoint TControl::ScreenToClient(const TPoint& p) const {
    TPoint o = ClientOrigin();
    return TPoint(p.x - o.x, p.y - o.y);
}

void TControl::SetAlign(TAlign value) {
    if (align_ == value) return;
    TAlign old = align_;
    align_ = value;
    anchors_ = (value == alNone || value == alCustom) ? anchors_
               : value == alTop ? TAnchors(akLeft | akTop | akRight)
               : value == alBottom ? TAnchors(akLeft | akRight | akBottom)
               : value == alLeft ? TAnchors(akLeft | akTop | akBottom)
               : value == alRight ? TAnchors(akRight | akTop | akBottom)
                                  : TAnchors(akLeft | akTop | akRight | akBottom);
    if (old == alNone || value == alNone) UpdateAnchorRules();
    RequestAlign();
}

void TControl::SetAnchors(TAnchors value) {
    if (anchors_ == value) return;
    anchors_ = value;
    UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
    if (!parent_) return;
    TRect client = parent_->ClientRect();
    anchorRight_ = client.Width() - (left_ + width_);
    anchorBottom_ = client.Height() - (top_ + height_);
}

void TControl::RequestAlign() {
    if (parent_) parent_->Realign();
}

bool TControl::Showing() const {
    if (!visible_) return false;
    if (!parent_) return HasWindow() && IsWindowVisible(static_cast<const TWinControl*>(this)->WindowHandle());
    return parent_->Showing();
}

void TControl::SetVisible(bool value) {
    if (visible_ == value) return;
    VisibleChanging();
    visible_ = value;
    Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
    RequestAlign();
}

void TControl::SetEnabled(bool value) {
    if (enabled_ == value) return;
    enabled_ = value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor value) {
    if (color_ == value) {
        parentColor_ = false;
        return;
    }
    color_ = value;
    parentColor_ = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool value) {
    if (parentColor_ == value) return;
    parentColor_ = value;
    if (parent_ && value) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::FontChanged() {
    parentFont_ = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool value) {
    if (parentFont_ == value) return;
    parentFont_ = value;
    if (parent_ && value) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

std::string TControl::Text() const { return text_; }

void TControl::SetText(const std::string& value) {
    if (Text() == value) return;
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor value) {
    if (cursor_ == value) return;
    cursor_ = value;
    Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetShowHint(bool value) {
    parentShowHint_ = false;
    if (showHint_ == value) return;
    showHint_ = value;
    Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool value) {
    if (parentShowHint_ == value) return;
    parentShowHint_ = value;
    if (parent_ && value) Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TPopupMenu* value) {
    if (popupMenu_ == value) return;
    auto* oldComponent = reinterpret_cast<TComponent*>(popupMenu_);
    if (oldComponent) oldComponent->RemoveFreeNotification(this);
    popupMenu_ = value;
    if (value) reinterpret_cast<TComponent*>(value)->FreeNotification(this);
}

void TControl::SetBiDiMode(TBiDiMode value) {
    if (biDiMode_ == value) return;
    biDiMode_ = value;
    Perform(CM_BIDIMODECHANGED, 0, 0);
}

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool value) {
    if (MouseCapture() == value) return;
    SetCaptureControl(value ? this : nullptr);
}

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
    if (!isVisible || !parent_ || !parent_->HandleAllocated()) return;
    TRect r = BoundsRect();
    InvalidateRect(parent_->WindowHandle(), &r, !(isOpaque || (parent_->ControlStyle() & csOpaque)));
}

void TControl::Invalidate() { InvalidateControl(visible_, (controlStyle_ & csOpaque) != 0); }

void TControl::Update() {
    if (parent_) parent_->Update();
}

void TControl::Repaint() {
    if (!visible_ || !parent_ || !parent_->HandleAllocated()) return;
    Invalidate();
    Update();
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end() || it + 1 == list.end()) return;
    list.erase(it);
    list.push_back(this);
    Invalidate();
}

void TControl::SendToBack() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end() || it == list.begin()) return;
    list.erase(it);
    list.insert(list.begin(), this);
    Invalidate();
}

TCustomForm* TControl::GetParentForm() const {
    const TControl* c = this;
    while (c->parent_) c = c->parent_;
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::AddBiDiModeExStyle(DWORD& exStyle) const {
    if (UseRightToLeftReading()) exStyle |= WS_EX_RTLREADING;
    if (UseRightToLeftScrollBar()) exStyle |= WS_EX_LEFTSCROLLBAR;
}

TCustomForm* GetParentForm(const TControl* control) { return control ? control->GetParentForm() : nullptr; }

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::Changed() { Perform(CM_CHANGED, 0, reinterpret_cast<LPARAM>(this)); }

void TControl::WMMouseButton(TMessage& m, TMouseButton button, bool down, bool dbl) {
    // The window's own handling first (a right-button release asks for the context menu).
    DefaultHandler(m);
    TShiftState shift = KeysToShiftState(m.WParam);
    int x = m.XPos();
    int y = m.YPos();
    if (down) {
        if (button == mbLeft) {
            if (controlStyle_ & csCaptureMouse) SetMouseCapture(true);
            if (dbl) {
                if (controlStyle_ & csClickEvents) DblClick();
            } else if (controlStyle_ & csClickEvents) {
                controlState_ |= csClicked;
            }
        }
        if (!(controlStyle_ & csNoStdEvents)) MouseDown(button, shift | (dbl ? unsigned(ssDouble) : 0u), x, y);
        if (button == mbLeft && !dbl && dragMode_ == dmAutomatic) BeginDrag(false);
        return;
    }
    if (button == mbLeft) {
        if (controlStyle_ & csCaptureMouse) SetMouseCapture(false);
        if (controlState_ & csClicked) {
            controlState_ &= ~csClicked;
            if (ClientRect().Contains(TPoint(x, y))) Click();
        }
    }
    if (!(controlStyle_ & csNoStdEvents)) MouseUp(button, shift, x, y);
}

void TControl::WMMouseMove(TMessage& m) {
    DefaultHandler(m);
    if (!(controlStyle_ & csNoStdEvents)) MouseMove(KeysToShiftState(m.WParam), m.XPos(), m.YPos());
}

void TControl::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == reinterpret_cast<TComponent*>(popupMenu_)) popupMenu_ = nullptr;
    TComponent::Notification(component, operation);
}

void TControl::Loaded() {
    TComponent::Loaded();
    Perform(CM_VISIBLECHANGED, visible_ ? 1 : 0, 0);
    RequestAlign();
}

// ---------------------------------------------------------------- TControlCanvas

namespace {
std::vector<TControlCanvas*>& CanvasesWithDc() {
    static auto* list = new std::vector<TControlCanvas*>;
    return *list;
}
}  // namespace

void TControlCanvas::CreateHandle() {
    HDC dc = nullptr;
    HWND window = nullptr;
    TPoint origin(0, 0);
    if (auto* w = dynamic_cast<TWinControl*>(control_); w && w->HandleAllocated()) {
        window = w->WindowHandle();
    } else if (!control_->HasWindow() && control_->Parent() && control_->Parent()->HandleAllocated()) {
        window = control_->Parent()->WindowHandle();
        origin = TPoint(control_->Left(), control_->Top());
    }
    if (window) dc = GetDCEx(window, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    memoryDc_ = dc == nullptr;
    if (!dc) dc = CreateCompatibleDC(nullptr);
    if (!dc) return;
    if (window) {
        OffsetViewportOrgEx(dc, origin.x, origin.y, nullptr);
        if (!control_->HasWindow()) IntersectClipRect(dc, 0, 0, control_->Width(), control_->Height());
    }
    ownDc_ = dc;
    ownWindow_ = window;
    CanvasesWithDc().push_back(this);
    SetHandle(dc);
}

void TControlCanvas::FreeHandle() {
    if (!ownDc_) return;
    HDC dc = ownDc_;
    ownDc_ = nullptr;
    if (HandleAllocated()) SetHandle(nullptr);
    if (memoryDc_)
        DeleteDC(dc);
    else
        ReleaseDC(ownWindow_, dc);
    ownWindow_ = nullptr;
    auto& list = CanvasesWithDc();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TControlCanvas::PaintOn(HDC dc, const std::function<void()>& paint) {
    Lock();
    FreeHandle();
    SetHandle(dc);
    try {
        paint();
    } catch (...) {
        SetHandle(nullptr);
        Unlock();
        throw;
    }
    SetHandle(nullptr);
    Unlock();
}

void TControlCanvas::FreeDeviceContexts() {
    auto list = CanvasesWithDc();
    for (TControlCanvas* c : list) c->FreeHandle();
}

// ---------------------------------------------------------------- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) { canvas_ = new TControlCanvas(this); }

TGraphicControl::~TGraphicControl() {
    delete canvas_;
    canvas_ = nullptr;
}

void TGraphicControl::Dispatch(TMessage& m) {
    if (m.Msg == WM_PAINT) {
        // The parent hands the DC with the origin at this control's corner.
        if (m.WParam) static_cast<TControlCanvas*>(canvas_)->PaintOn(reinterpret_cast<HDC>(m.WParam), [this] { Paint(); });
        return;
    }
    TControl::Dispatch(m);
}

}  // namespace platform
