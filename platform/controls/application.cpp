// The application: the message loop, idle work, exception display and message boxes.
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "platform/controls/appevents.h"
#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"

namespace platform {

// Never destroyed by the exit of the process: the graphics objects of its forms may be gone
// by then. A program that wants its forms' OnDestroy at the end calls
// Application->DestroyComponents() after Run, as the program's main does.
TApplication* Application = new TApplication(nullptr);

void HandleControlException(TObject* sender) { Application->HandleException(sender); }

void TApplication::ControlDestroyed(TControl* control) {
    if (mouseControl_ == control) mouseControl_ = nullptr;
    if (mainForm_ == control) mainForm_ = nullptr;
    if (hintControl_ == control) CancelHint();
    if (hintWindow_ == control) hintWindow_ = nullptr;
}

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

void TApplication::DestroyComponents() {
    for (int i = ComponentCount() - 1; i >= 0; --i)
        if (auto* form = dynamic_cast<TCustomForm*>(Components(i))) form->BeforeDestruction();
    TComponent::DestroyComponents();
}

TApplication::~TApplication() {
    // Forms go before the application's own state.
    DestroyComponents();
    if (hintTimerWindow_) DeallocateHWnd(hintTimerWindow_);
}

std::string TApplication::ExeName() const {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

bool TApplication::IsKeyMsg(const MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    // The key goes first, reflected, to the control whose window has it.
    HWND h = msg.hwnd;
    while (h && !TWinControl::FindControl(h)) h = GetParent(h);
    if (!h) return false;
    return SendMessage(msg.hwnd ? h : nullptr, CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

bool TApplication::ProcessMessage() {
    Backend().PollInput();
    if (pointerGeneration_ != InputPointerGeneration()) {
        pointerGeneration_ = InputPointerGeneration();
        DoMouseIdle();
    }
    MSG msg;
    if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            return true;
        }
        if (hintWindow_ && hintActive_ && hintWindow_->IsHintMsg(msg)) CancelHint();
        if (msg.message == WM_MOUSEMOVE) HintMouseMessage(TWinControl::FindControl(msg.hwnd), msg);
        try {
            MDIActivateOnInput(msg);
            if (!OfferApplicationMessage(msg) && !IsKeyMsg(msg)) {
                TranslateMessage(&msg);
                DispatchMessage(&msg);
            }
        } catch (...) {
            HandleException(this);
        }
        return true;
    }
    // Input waits behind the posted messages, and is taken one event at a time.
    if (HasPendingInput()) {
        try {
            ProcessInputEvent();
        } catch (...) {
            HandleException(this);
        }
        return true;
    }
    if (HasPendingPaint()) {
        try {
            PaintPendingWindows();
        } catch (...) {
            HandleException(this);
        }
        return true;
    }
    return false;
}

void TApplication::ProcessMessages() {
    while (ProcessMessage()) {
    }
}

void TApplication::DoMouseIdle() {
    POINT p;
    GetCursorPos(&p);
    TControl* control = FindDragTarget(TPoint(p.x, p.y), true);
    if (!control && hintControl_) CancelHint();  // the pointer left the program's windows
    if (control == mouseControl_) return;
    TControl* old = mouseControl_;
    mouseControl_ = control;
    try {
        if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
        if (mouseControl_ == control && control) control->Perform(CM_MOUSEENTER, 0, 0);
    } catch (...) {
        HandleException(this);
    }
}

void TApplication::Idle() {
    // What was drawn outside the paint cycle reaches the display now.
    TControlCanvas::FreeDeviceContexts();
    if (HasPendingPaint()) PaintPendingWindows();
    DoMouseIdle();
    bool done = true;
    try {
        if (OnIdle) OnIdle(this, done);
    } catch (...) {
        HandleException(this);
    }
    if (done) WaitForInput();
}

void TApplication::WaitForInput() {
    // Until a message comes, or the display has input.
    WindowBackend& backend = Backend();
    HANDLE display = backend.InputEvent();
    if (display && !backend.ReadyToWait()) return;
    MsgWaitForMultipleObjects(display ? 1 : 0, display ? &display : nullptr, FALSE, INFINITE, QS_ALLINPUT);
}

void TApplication::HandleMessage() {
    if (!ProcessMessage()) Idle();
}

void TApplication::Run() {
    if (mainForm_ && showMainForm_) {
        if (mainForm_->WindowState() == wsMinimized) Minimize();
        mainForm_->SetVisible(true);
    }
    do {
        try {
            HandleMessage();
        } catch (...) {
            HandleException(this);
        }
    } while (!terminated_);
}

void TApplication::Terminate() {
    if (!terminated_) PostQuitMessage(0);
}

void TApplication::Minimize() {
    if (mainForm_ && mainForm_->HandleAllocated()) ShowWindow(mainForm_->WindowHandle(), SW_MINIMIZE);
}

void TApplication::Restore() {
    if (mainForm_ && mainForm_->HandleAllocated()) ShowWindow(mainForm_->WindowHandle(), SW_RESTORE);
}

void TApplication::HandleException(TObject* sender) {
    std::exception_ptr current = std::current_exception();
    if (!current) return;
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& e) {
        if (handlingException_) {
            std::fprintf(stderr, "%s\n", e.what());
            return;
        }
        handlingException_ = true;
        try {
            if (OnException)
                OnException(sender, e);
            else
                ShowException(e);
        } catch (const std::exception& inner) {
            std::fprintf(stderr, "%s\n", inner.what());
        } catch (...) {
        }
        handlingException_ = false;
    } catch (...) {
        std::fprintf(stderr, "An unknown exception escaped a handler\n");
    }
}

void TApplication::ShowException(const std::exception& e) {
    std::string text = e.what();
    if (!text.empty() && text.back() != '.') text += '.';
    MessageBox(text, title_.empty() ? "Error" : title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
    if (MessageBoxHandler) return MessageBoxHandler(text, caption, flags);
    return ShowMessageForm(text, caption, flags);
}

}  // namespace platform
