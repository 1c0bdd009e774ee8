// The class library's own drags inside the program: BeginDrag follows the pointer in a
// modal loop, asks the control under it through CM_DRAG whether it takes the drag, and
// drops there when the button is released. Esc cancels.
#include <cstdlib>
#include <memory>

#include "platform/controls/controls.h"
#include "platform/controls/forms.h"
#include "platform/core/messages.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/window.h"

namespace platform {
namespace {

TControl* gDragging = nullptr;

bool IsMouse(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST; }
bool IsKey(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

// What the handlers see as the source: the control, unless a drag object of its own came.
TObject* SourceOf(TDragObject* object) {
    if (auto* c = dynamic_cast<TDragControlObject*>(object)) return c->Control;
    return object;
}

LRESULT SendDrag(TControl* target, TDragMessage kind, TDragObject* object, TPoint pos) {
    TDragRec rec;
    rec.Pos = pos;
    rec.Source = object;
    rec.Target = target;
    return target->Perform(CM_DRAG, WPARAM(kind), reinterpret_cast<LPARAM>(&rec));
}

void WaitForInput() {
    WindowBackend& backend = Backend();
    HANDLE display = backend.InputEvent();
    if (display && !backend.ReadyToWait()) return;
    MsgWaitForMultipleObjects(display ? 1 : 0, display ? &display : nullptr, FALSE, INFINITE, QS_ALLINPUT);
}

}  // namespace

TCursor TDragObject::GetDragCursor(bool accepted, int, int) { return accepted ? crDrag : crNoDrop; }

bool TControl::Dragging() const { return gDragging == this; }

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
    accept = false;
    if (OnDragOver) OnDragOver(this, source, x, y, state, accept);
}

void TControl::DragDrop(TObject* source, int x, int y) {
    if (OnDragDrop) OnDragDrop(this, source, x, y);
}

void TControl::DoStartDrag(TDragObject*& dragObject) {
    if (OnStartDrag) OnStartDrag(this, dragObject);
}

void TControl::DoEndDrag(TObject* target, int x, int y) {
    if (OnEndDrag) OnEndDrag(this, target, x, y);
}

void TControl::CMDrag(TMessage& m) {
    auto* rec = reinterpret_cast<TDragRec*>(m.LParam);
    if (!rec) return;
    TPoint p = ScreenToClient(rec->Pos);
    TObject* source = SourceOf(rec->Source);
    bool accept = false;
    switch (TDragMessage(m.WParam)) {
        case dmDragEnter: DragOver(source, p.x, p.y, dsDragEnter, accept); break;
        case dmDragLeave: DragOver(source, p.x, p.y, dsDragLeave, accept); break;
        case dmDragMove: DragOver(source, p.x, p.y, dsDragMove, accept); break;
        case dmDragDrop: DragDrop(source, p.x, p.y); break;
        case dmFindTarget: m.Result = reinterpret_cast<LRESULT>(this); return;
        case dmDragCancel: break;
    }
    m.Result = accept ? 1 : 0;
}

void TControl::BeginDrag(bool immediate, int threshold) {
    if (gDragging) return;
    if (threshold < 0) threshold = Mouse->DragThreshold();
    TPoint start = Mouse->CursorPos();
    bool active = immediate;
    std::unique_ptr<TDragObject> own;
    TDragObject* object = nullptr;
    TControl* target = nullptr;
    bool accepted = false;
    bool dropped = false, cancelled = false;
    TPoint pos = start;
    gDragging = this;
    struct Done {
        ~Done() { gDragging = nullptr; }
    } done;

    auto activate = [&] {
        active = true;
        DoStartDrag(object);
        if (!object) {
            own = std::make_unique<TDragControlObject>(this);
            object = own.get();
        }
    };
    auto move = [&](TPoint p) {
        pos = p;
        object->DragPos = p;
        TControl* under = FindDragTarget(p, false);
        // The control found may name another one (a child of its own) as the target.
        if (under)
            if (auto found = reinterpret_cast<TControl*>(SendDrag(under, dmFindTarget, object, p))) under = found;
        if (under != target) {
            if (target) SendDrag(target, dmDragLeave, object, p);
            target = under;
            accepted = target && SendDrag(target, dmDragEnter, object, p) != 0;
        }
        if (target) accepted = SendDrag(target, dmDragMove, object, p) != 0;
        object->DragTarget = accepted ? target : nullptr;
        Screen->SetCursor(object->GetDragCursor(accepted, p.x, p.y));
    };
    if (active) {
        activate();
        move(pos);
    }
    while (!dropped && !cancelled) {
        Backend().PollInput();
        MSG msg;
        if (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(int(msg.wParam));
                cancelled = true;
                break;
            }
            bool mouse = IsMouse(msg.message), key = IsKey(msg.message);
            if (!active) {
                // Armed: everything goes on as usual until the pointer moves far enough.
                DispatchMessage(&msg);
                if (!(GetKeyState(VK_LBUTTON) & 0x8000)) return;  // released first: a click
                TPoint p = Mouse->CursorPos();
                if (mouse && (std::abs(p.x - start.x) >= threshold || std::abs(p.y - start.y) >= threshold)) {
                    activate();
                    move(p);
                }
                continue;
            }
            if (mouse) {
                POINT p{LONG(short(LOWORD(msg.lParam))), LONG(short(HIWORD(msg.lParam)))};
                if (msg.message != WM_MOUSEWHEEL) platform::ClientToScreen(msg.hwnd, &p);
                if (msg.message == WM_MOUSEMOVE) move(TPoint(p.x, p.y));
                if (msg.message == WM_LBUTTONUP) {
                    move(TPoint(p.x, p.y));
                    dropped = true;
                }
            } else if (key) {
                if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) cancelled = true;
            } else {
                DispatchMessage(&msg);
            }
            continue;
        }
        if (HasPendingInput()) {
            ProcessInputEvent();
            continue;
        }
        if (HasPendingPaint()) {
            PaintPendingWindows();
            continue;
        }
        WaitForInput();
    }
    Screen->SetCursor(crDefault);
    // The button's release was the drag's: no click follows it.
    controlState_ &= ~csClicked;
    if (GetCapture()) ReleaseCapture();
    if (!active) return;
    TControl* droppedOn = nullptr;
    TPoint local;
    if (dropped && target && accepted) {
        object->Dropped = true;
        SendDrag(target, dmDragDrop, object, pos);
        droppedOn = target;
        local = target->ScreenToClient(pos);
    } else {
        if (target) SendDrag(target, dmDragLeave, object, pos);
        if (cancelled) {
            if (target) SendDrag(target, dmDragCancel, object, pos);
            DragCanceled();
        }
    }
    DoEndDrag(droppedOn, local.x, local.y);
}

}  // namespace platform
