// Hints: the hint window and the application's hint timing.
#include <algorithm>

#include "platform/controls/forms.h"

namespace platform {

namespace {
constexpr int kHintPause = 1;  // timer modes: waiting to show, waiting to hide
constexpr int kHintHide = 2;
constexpr UINT_PTR kHintTimerId = 1;
}  // namespace

std::string GetShortHint(const std::string& hint) {
    std::size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string GetLongHint(const std::string& hint) {
    std::size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

// ---------------------------------------------------------------- THintWindow

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
    color_ = clInfoBk;
    brush_->SetColor(color_);
    font_->SetColor(clInfoText);
    visible_ = false;
}

void THintWindow::Dispatch(TMessage& m) {
    // The pointer passes through a hint.
    if (m.Msg == WM_NCHITTEST) {
        m.Result = HTTRANSPARENT;
        return;
    }
    TCustomControl::Dispatch(m);
}

void THintWindow::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    params.WndParent = nullptr;
}

TRect THintWindow::CalcHintRect(int maxWidth, const std::string& hint, void*) {
    HDC dc = CreateCompatibleDC(nullptr);
    Canvas()->SetHandle(dc);
    Canvas()->SetFont(Font());
    TRect r(0, 0, maxWidth, 0);
    DrawText(TextDC(Canvas()), hint, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    Canvas()->SetHandle(nullptr);
    DeleteDC(dc);
    r.right += 6;
    r.bottom += 2;
    return r;
}

void THintWindow::ActivateHint(TRect rect, const std::string& hint) {
    SetCaption(hint);
    // Keep the hint on the screen.
    TRect screen = TScreen::Instance()->WorkAreaRect();
    if (rect.right > screen.right) OffsetRect(&rect, screen.right - rect.right, 0);
    if (rect.left < screen.left) OffsetRect(&rect, screen.left - rect.left, 0);
    if (rect.bottom > screen.bottom) OffsetRect(&rect, 0, screen.bottom - rect.bottom);
    if (rect.top < screen.top) OffsetRect(&rect, 0, screen.top - rect.top);
    HWND h = Handle();
    SetBounds(rect.left, rect.top, rect.Width() + 2, rect.Height() + 2);
    SetWindowPos(h, HWND_TOPMOST, rect.left, rect.top, rect.Width() + 2, rect.Height() + 2,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    visible_ = true;
    Invalidate();
}

void THintWindow::ActivateHintData(TRect rect, const std::string& hint, void*) { ActivateHint(rect, hint); }

bool THintWindow::IsHintMsg(const MSG& msg) {
    UINT m = msg.message;
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || m == CM_ACTIVATE || m == CM_DEACTIVATE || m == CM_APPKEYDOWN ||
           m == CM_APPSYSCOMMAND || m == WM_COMMAND || (m > WM_MOUSEMOVE && m <= WM_MOUSELAST) ||
           m == WM_NCMOUSEMOVE;
}

void THintWindow::Paint() {
    TRect r = ClientRect();
    InflateRect(&r, -2, -1);
    Canvas()->SetFont(Font());
    DrawText(TextDC(Canvas()), Caption(), &r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

// ---------------------------------------------------------------- the application's hints

void TApplication::SetShowHint(bool value) {
    if (showHint_ == value) return;
    showHint_ = value;
    if (!value) CancelHint();
}

void TApplication::StartHintTimer(int ms, int mode) {
    StopHintTimer();
    if (!hintTimerWindow_)
        hintTimerWindow_ = AllocateHWnd([this](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
            if (msg == WM_TIMER) HintTimerExpired();
            return 0;
        });
    hintTimerMode_ = mode;
    SetTimer(hintTimerWindow_, kHintTimerId, UINT(std::max(10, ms)));
}

void TApplication::StopHintTimer() {
    if (hintTimerWindow_) KillTimer(hintTimerWindow_, kHintTimerId);
    hintTimerMode_ = 0;
}

void TApplication::HintTimerExpired() {
    int mode = hintTimerMode_;
    StopHintTimer();
    if (mode == kHintPause) {
        POINT p;
        GetCursorPos(&p);
        ActivateHint(TPoint(p.x, p.y));
    } else {
        CancelHint();
    }
}

void TApplication::CancelHint() {
    StopHintTimer();
    hintActive_ = false;
    hintControl_ = nullptr;
    hintCursorRect_ = TRect();
    if (hintWindow_ && hintWindow_->HandleAllocated()) {
        ShowWindow(hintWindow_->WindowHandle(), SW_HIDE);
        hintWindow_->SetVisible(false);
    }
}

void TApplication::HintMouseMessage(TControl* control, const MSG& msg) {
    if (!showHint_ || !control) return;
    POINT screen{std::int16_t(LOWORD(std::uintptr_t(msg.lParam))), std::int16_t(HIWORD(std::uintptr_t(msg.lParam)))};
    ClientToScreen(msg.hwnd, &screen);
    TPoint p(screen.x, screen.y);
    // The hint belongs to the innermost control that shows hints.
    TControl* target = FindDragTarget(p, true);
    while (target && !target->ShowHint()) target = target->Parent();
    if (!target) {
        CancelHint();
        return;
    }
    if (target == hintControl_ && hintCursorRect_.Contains(p)) return;
    bool wasActive = hintActive_;
    int pause = wasActive ? hintShortPause_ : hintPause_;
    target->Perform(CM_HINTSHOWPAUSE, wasActive ? 1 : 0, reinterpret_cast<LPARAM>(&pause));
    CancelHint();
    hintActive_ = wasActive;
    hintControl_ = target;
    hintCursorRect_ = TRect(target->ClientToScreen(TPoint(0, 0)).x, target->ClientToScreen(TPoint(0, 0)).y,
                            target->ClientToScreen(TPoint(target->Width(), target->Height())).x,
                            target->ClientToScreen(TPoint(target->Width(), target->Height())).y);
    if (pause == 0)
        ActivateHint(p);
    else
        StartHintTimer(pause, kHintPause);
}

void TApplication::ActivateHint(const TPoint& cursorPos) {
    TControl* control = hintControl_;
    if (!control || !showHint_) return;
    THintInfo info;
    info.HintControl = control;
    info.HintWindowClass = HintWindowClass ? HintWindowClass : [](TComponent* owner) { return new THintWindow(owner); };
    info.HintPos = TPoint(cursorPos.x, cursorPos.y + 20);
    info.HintMaxWidth = std::max(1, TScreen::Instance()->Width() / 2);
    info.HintColor = hintColor_;
    info.CursorRect = control->ClientRect();
    info.CursorPos = control->ScreenToClient(cursorPos);
    info.HideTimeout = hintHidePause_;
    info.HintStr = GetShortHint(control->Hint());
    bool canShow = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
    if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
    if (hintControl_ != control) return;  // the control went meanwhile
    hintActive_ = canShow;
    if (!canShow || info.HintStr.empty()) {
        if (info.ReshowTimeout > 0)
            StartHintTimer(info.ReshowTimeout, kHintPause);
        else
            CancelHint();
        return;
    }
    TPoint topLeft = control->ClientToScreen(TPoint(info.CursorRect.left, info.CursorRect.top));
    hintCursorRect_ = Bounds(topLeft.x, topLeft.y, info.CursorRect.Width(), info.CursorRect.Height());
    // One hint window at a time, of the class the control asked for.
    if (hintWindow_) {
        delete hintWindow_;
        hintWindow_ = nullptr;
    }
    hintWindow_ = info.HintWindowClass(this);
    hintWindow_->SetColor(info.HintColor);
    TRect rect = hintWindow_->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    OffsetRect(&rect, info.HintPos.x, info.HintPos.y);
    hintWindow_->ActivateHintData(rect, info.HintStr, info.HintData);
    if (info.HideTimeout > 0) StartHintTimer(info.HideTimeout, kHintHide);
}

}  // namespace platform
