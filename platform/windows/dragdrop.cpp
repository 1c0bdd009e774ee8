#include "platform/windows/dragdrop.h"

#include <map>

#include "platform/core/messages.h"
#include "platform/windows/backend.h"
#include "platform/windows/dnd_internal.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"

namespace platform {
namespace {

std::map<HWND, TComPtr<IDropTarget>>& Targets() {
    static auto* targets = new std::map<HWND, TComPtr<IDropTarget>>;
    return *targets;
}

bool IsMouseMessage(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST; }
bool IsNonClientMouseMessage(UINT m) { return m >= WM_NCMOUSEMOVE && m <= WM_NCMBUTTONDBLCLK; }
bool IsKeyMessage(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

POINTL ToPointl(POINT p) { return POINTL{p.x, p.y}; }

class TDragLoop {
public:
    TDragLoop(IDataObject* data, IDropSource* source, DWORD ok) : data_(data), source_(source), ok_(ok) {
        outside_ = CreateOutsideDrag();
    }

    HRESULT Run(DWORD* effect) {
        // The pointer belongs to the drag: with the capture (a grab on the display) moves
        // outside the program's windows still come.
        HWND hadCapture = GetCapture();
        POINT p;
        GetCursorPos(&p);
        if (!hadCapture) {
            HWND under = WindowFromPoint(p);
            if (under) SetCapture(GetAncestor(under, GA_ROOT));
        }
        HWND grabber = GetCapture() ? GetAncestor(GetCapture(), GA_ROOT) : nullptr;
        if (grabber) GrabDragKeyboard(grabber);
        // The grabs end with the loop, also when a handler raises.
        struct Release {
            HWND grabber;
            ~Release() {
                if (grabber) GrabDragKeyboard(nullptr);
                if (GetCapture()) ReleaseCapture();
            }
        } release{grabber};
        keys_ = CurrentKeyState();
        Move(p);
        HRESULT result = S_OK;
        for (;;) {
            HRESULT q = source_->QueryContinueDrag(escape_ ? TRUE : FALSE, keys_);
            if (q == DRAGDROP_S_DROP) {
                result = Drop(effect);
                break;
            }
            if (q == DRAGDROP_S_CANCEL) {
                Leave();
                *effect = DROPEFFECT_NONE;
                result = DRAGDROP_S_CANCEL;
                break;
            }
            Pump();
        }
        // The button was released inside the loop: nobody holds the pointer afterwards.
        return result;
    }

private:
    void Pump() {
        Backend().PollInput();
        MSG msg;
        if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The loop ends with the drag; the program's own loop sees the quit after it.
                PostQuitMessage(int(msg.wParam));
                escape_ = true;
                return;
            }
            if (IsMouseMessage(msg.message) || IsNonClientMouseMessage(msg.message)) {
                POINT p{LONG(short(LOWORD(msg.lParam))), LONG(short(HIWORD(msg.lParam)))};
                if (IsNonClientMouseMessage(msg.message)) {
                    // already on the screen
                } else if (msg.message == WM_MOUSEWHEEL)
                    GetCursorPos(&p);
                else
                    ClientToScreen(msg.hwnd, &p);
                keys_ = CurrentKeyState();
                if (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) Move(p);
                return;
            }
            if (IsKeyMessage(msg.message)) {
                if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) escape_ = true;
                DWORD keys = CurrentKeyState();
                if (keys != keys_) {
                    keys_ = keys;
                    Move(last_);
                }
                return;
            }
            DispatchMessage(&msg);
            return;
        }
        if (HasPendingInput()) {
            ProcessInputEvent();
            return;
        }
        if (HasPendingPaint()) {
            PaintPendingWindows();
            return;
        }
        WindowBackend& backend = Backend();
        HANDLE display = backend.InputEvent();
        if (display && !backend.ReadyToWait()) return;
        // With another program's window under the pointer, its answers come as display
        // events; a short wait keeps the loop looking at them.
        MsgWaitForMultipleObjects(display ? 1 : 0, display ? &display : nullptr, FALSE, display ? 50 : INFINITE, QS_ALLINPUT);
    }

    void Move(POINT p) {
        last_ = p;
        HWND owner = nullptr;
        HWND under = WindowFromPoint(p);
        IDropTarget* target = under ? FindDropTarget(under, &owner) : nullptr;
        DWORD effect = ok_;
        if (!under && outside_) {
            LeaveInside();
            effect = outside_->Move(data_, p, keys_, ok_);
            overOutside_ = true;
        } else {
            if (overOutside_) {
                outside_->Leave();
                overOutside_ = false;
            }
            if (owner != targetWindow_) {
                LeaveInside();
                if (target) {
                    targetWindow_ = owner;
                    target_ = target;
                    if (target_->DragEnter(data_, keys_, ToPointl(p), &effect) != S_OK) effect = DROPEFFECT_NONE;
                } else {
                    effect = DROPEFFECT_NONE;
                }
            } else if (target_) {
                if (target_->DragOver(keys_, ToPointl(p), &effect) != S_OK) effect = DROPEFFECT_NONE;
            } else {
                effect = DROPEFFECT_NONE;
            }
        }
        effect_ = effect & (ok_ | DROPEFFECT_SCROLL);
        if (source_->GiveFeedback(effect_ & ~DROPEFFECT_SCROLL) == DRAGDROP_S_USEDEFAULTCURSORS)
            SetCursor(LoadCursorA(nullptr, (effect_ & ~DROPEFFECT_SCROLL) ? IDC_ARROW : IDC_NO));
    }

    void LeaveInside() {
        if (target_) target_->DragLeave();
        target_.Reset();
        targetWindow_ = nullptr;
    }

    void Leave() {
        LeaveInside();
        if (overOutside_) outside_->Leave();
        overOutside_ = false;
    }

    HRESULT Drop(DWORD* effect) {
        *effect = DROPEFFECT_NONE;
        if (overOutside_) {
            overOutside_ = false;
            *effect = (effect_ & ~DROPEFFECT_SCROLL) ? outside_->Drop() & ok_ : DROPEFFECT_NONE;
            if ((effect_ & ~DROPEFFECT_SCROLL) == DROPEFFECT_NONE) outside_->Leave();
            return *effect ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
        }
        if (!target_ || (effect_ & ~DROPEFFECT_SCROLL) == DROPEFFECT_NONE) {
            LeaveInside();
            return DRAGDROP_S_CANCEL;
        }
        DWORD e = ok_;
        TComPtr<IDropTarget> target = target_;
        target_.Reset();
        targetWindow_ = nullptr;
        if (target->Drop(data_, keys_, ToPointl(last_), &e) != S_OK) e = DROPEFFECT_NONE;
        *effect = e & ok_;
        return DRAGDROP_S_DROP;
    }

    IDataObject* data_;
    IDropSource* source_;
    DWORD ok_;
    DWORD keys_ = 0;
    DWORD effect_ = DROPEFFECT_NONE;
    bool escape_ = false;
    POINT last_{};
    HWND targetWindow_ = nullptr;
    TComPtr<IDropTarget> target_;
    std::unique_ptr<TOutsideDrag> outside_;
    bool overOutside_ = false;
};

}  // namespace

IDropTarget* FindDropTarget(HWND hwnd, HWND* owner) {
    auto& targets = Targets();
    for (HWND h = hwnd; h; h = GetParent(h)) {
        auto it = targets.find(h);
        if (it != targets.end()) {
            if (owner) *owner = h;
            return it->second.Get();
        }
    }
    return nullptr;
}

HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target) {
    if (!hwnd || !IsWindow(hwnd)) return DRAGDROP_E_INVALIDHWND;
    if (!target) return E_INVALIDARG;
    auto& targets = Targets();
    if (targets.count(hwnd)) return DRAGDROP_E_ALREADYREGISTERED;
    targets[hwnd] = target;
    PrepareOutsideDrops(hwnd);
    return S_OK;
}

HRESULT RevokeDragDrop(HWND hwnd) {
    auto& targets = Targets();
    auto it = targets.find(hwnd);
    if (it == targets.end()) return DRAGDROP_E_NOTREGISTERED;
    TComPtr<IDropTarget> gone = std::move(it->second);
    targets.erase(it);
    return S_OK;
}

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect) {
    if (!data || !source || !effect) return E_INVALIDARG;
    TComPtr<IDataObject> keepData(data);
    TComPtr<IDropSource> keepSource(source);
    TDragLoop loop(data, source, okEffects);
    return loop.Run(effect);
}

DWORD CurrentKeyState() {
    DWORD k = 0;
    if (GetKeyState(VK_LBUTTON) & 0x8000) k |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) & 0x8000) k |= MK_RBUTTON;
    if (GetKeyState(VK_MBUTTON) & 0x8000) k |= MK_MBUTTON;
    if (GetKeyState(VK_SHIFT) & 0x8000) k |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) & 0x8000) k |= MK_CONTROL;
    if (GetKeyState(VK_MENU) & 0x8000) k |= MK_ALT;
    return k;
}

HRESULT TDropSource::QueryInterface(REFIID riid, void** object) {
    if (object && riid == IID_IDropSource) {
        *object = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    return TInterfacedObject::QueryInterface(riid, object);
}

HRESULT TDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
    if (escapePressed || ((keyState & MK_LBUTTON) && (keyState & MK_RBUTTON))) return DRAGDROP_S_CANCEL;
    if (!(keyState & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) return DRAGDROP_S_DROP;
    return S_OK;
}

}  // namespace platform
