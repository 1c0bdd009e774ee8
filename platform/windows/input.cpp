// Pointer and keyboard input: target windows, hit testing, capture, double clicks, the
// key state, mouse-leave tracking, cursors and window drags.
#include "platform/windows/input.h"

#include <algorithm>
#include <array>
#include <deque>
#include <vector>
#include <cstdlib>

#include "platform/core/clock.h"
#include "platform/windows/backend.h"
#include "platform/windows/queue.h"
#include "platform/windows/wininternal.h"

namespace platform {
namespace win {
Window* DeepestAt(Window* top, TPoint screen);
}

namespace {

struct ClickRecord {
    HWND hwnd = nullptr;
    UINT message = 0;
    std::uint64_t time = 0;
    TPoint screen;
    bool valid = false;
};

// Input as the display delivered it. It becomes window messages one event at a time, when
// the message loop has handled what came before, so the capture, the focus and the windows
// an earlier event changed decide where a later one goes.
struct RawEvent {
    enum Kind { Move, Button, Wheel, Leave, Key, Char } kind;
    HWND top = nullptr;
    TPoint screen{};  // where the pointer was, taken when the event came
    MouseButton button = MouseButton::Left;
    bool down = false;
    int delta = 0;
    WORD vk = 0;
    bool repeat = false;
    unsigned ch = 0;
    std::uint64_t time = 0;
};

struct InputState {
    std::array<BYTE, 256> keys{};  // bit 7: down; bit 0: toggled
    TPoint cursor;
    ClickRecord lastClick;
    HWND tracked = nullptr;  // TrackMouseEvent(TME_LEAVE)
    HWND cursorWindow = nullptr;
    HCURSOR cursor_ = nullptr;
    HWND dragging = nullptr;
    TPoint dragOffset;
    LRESULT dragEdge = HTCAPTION;  // HTCAPTION moves; a sizing-border code sizes
    // A scroll-bar thumb being dragged: its window, bar, and where on the thumb it was taken.
    HWND tracking = nullptr;
    int trackBar = 0;
    int trackGrab = 0;
    TRect dragStart;               // the window's bounds when the drag began
    unsigned pointerGeneration = 0;
    TPoint pressAt;  // where the left button last went down (screen)
    std::deque<RawEvent> raw;
    std::uint64_t eventTime = 0;  // when the event being turned into messages arrived
};

InputState& I() {
    static InputState state;
    return state;
}

LPARAM PointParam(LONG x, LONG y) { return MAKELPARAM(WORD(std::int16_t(x)), WORD(std::int16_t(y))); }

WPARAM MouseKeys() {
    WPARAM k = 0;
    if (I().keys[VK_LBUTTON] & 0x80) k |= MK_LBUTTON;
    if (I().keys[VK_RBUTTON] & 0x80) k |= MK_RBUTTON;
    if (I().keys[VK_MBUTTON] & 0x80) k |= MK_MBUTTON;
    if (I().keys[VK_SHIFT] & 0x80) k |= MK_SHIFT;
    if (I().keys[VK_CONTROL] & 0x80) k |= MK_CONTROL;
    return k;
}

bool ChainEnabled(const win::Window* w) {
    for (; w; w = w->parent)
        if (w->style & WS_DISABLED) return false;
    return true;
}

// The window under a screen point of a top-level window and the hit-test answer there.
win::Window* HitTest(win::Window* top, TPoint screen, LRESULT& hit) {
    hit = HTNOWHERE;
    if (!top || !win::IsShowing(top)) return nullptr;
    TRect topRect = Bounds(top->bounds.left, top->bounds.top, top->Width(), top->Height());
    if (!topRect.Contains(screen)) return nullptr;
    if (top->region && !PtInRegion(top->region, screen.x - topRect.left, screen.y - topRect.top)) return nullptr;
    win::Window* w = win::DeepestAt(top, screen);
    while (w) {
        HWND h = w->handle;
        hit = win::Send(h, WM_NCHITTEST, 0, PointParam(screen.x, screen.y));
        if (!win::Find(h)) return nullptr;
        if (hit != HTTRANSPARENT) break;
        w = w->parent;
    }
    if (!w || !ChainEnabled(w)) return nullptr;
    return w;
}

// Where pointer input goes: the capture window (client messages), else the window hit.
win::Window* Target(HWND top, TPoint screen, LRESULT& hit) {
    hit = HTCLIENT;
    if (HWND cap = GetCapture()) return win::Find(cap);
    return HitTest(win::Find(top), screen, hit);
}

TPoint ScreenPoint(HWND top, int x, int y) {
    win::Window* t = win::Find(top);
    if (!t) return TPoint(x, y);
    return TPoint(t->bounds.left + x, t->bounds.top + y);
}

// Posts a mouse message to w: a client message with client coordinates, or the non-client
// one with the hit code and screen coordinates.
void PostMouse(win::Window* w, UINT clientMsg, UINT ncMsg, LRESULT hit, TPoint screen, WPARAM extra = 0) {
    if (hit == HTCLIENT) {
        POINT p{screen.x, screen.y};
        ScreenToClient(w->handle, &p);
        PostToWindow(w->handle, clientMsg, MouseKeys() | extra, PointParam(p.x, p.y));
    } else if (ncMsg) {
        PostToWindow(w->handle, ncMsg, WPARAM(hit), PointParam(screen.x, screen.y));
    }
}

void UpdateTracking(HWND under) {
    HWND tracked = I().tracked;
    if (tracked && tracked != under) {
        I().tracked = nullptr;
        if (win::Find(tracked)) PostToWindow(tracked, WM_MOUSELEAVE, 0, 0);
    }
}

void SetCursorFor(win::Window* w, LRESULT hit, UINT mouseMsg) {
    if (!w) return;
    I().cursorWindow = w->handle;
    win::Send(w->handle, WM_SETCURSOR, reinterpret_cast<WPARAM>(w->handle), MAKELPARAM(WORD(std::int16_t(hit)), WORD(mouseMsg)));
}

void EndWindowDrag();

// Puts the dragged thumb under the pointer and tells the window the position it stands for.
void FollowThumb(TPoint screen, int code) {
    HWND h = I().tracking;
    win::Window* w = win::Find(h);
    if (!w) {
        I().tracking = nullptr;
        return;
    }
    int bar = I().trackBar;
    SCROLLBARINFO info;
    GetScrollBarInfo(h, bar == SB_VERT ? OBJID_VSCROLL : OBJID_HSCROLL, &info);
    win::ScrollBarState& s = w->scroll[bar];
    int length = bar == SB_VERT ? info.rcScrollBar.bottom - info.rcScrollBar.top
                                : info.rcScrollBar.right - info.rcScrollBar.left;
    int along = bar == SB_VERT ? screen.y - info.rcScrollBar.top : screen.x - info.rcScrollBar.left;
    int thumb = info.xyThumbBottom - info.xyThumbTop;
    int room = length - 2 * info.dxyLineButton - thumb;
    int span = s.max - s.min + 1 - std::max<int>(1, int(s.page));
    int offset = std::clamp(along - I().trackGrab - info.dxyLineButton, 0, std::max(0, room));
    int pos = room > 0 && span > 0 ? s.min + int(std::int64_t(offset) * span / room) : s.min;
    s.trackPos = pos;
    win::Send(h, bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL, MAKELONG(WORD(code), WORD(pos)), 0);
}

// Moves the dragged window with the pointer, or moves the edges a sizing drag holds.
void FollowDrag(HWND d, TPoint screen) {
    LRESULT edge = I().dragEdge;
    if (edge == HTCAPTION) {
        SetWindowPos(d, nullptr, screen.x - I().dragOffset.x, screen.y - I().dragOffset.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    TRect r = I().dragStart;
    int dx = screen.x - I().pressAt.x, dy = screen.y - I().pressAt.y;
    bool left = edge == HTLEFT || edge == HTTOPLEFT || edge == HTBOTTOMLEFT;
    bool right = edge == HTRIGHT || edge == HTTOPRIGHT || edge == HTBOTTOMRIGHT;
    bool top = edge == HTTOP || edge == HTTOPLEFT || edge == HTTOPRIGHT;
    bool bottom = edge == HTBOTTOM || edge == HTBOTTOMLEFT || edge == HTBOTTOMRIGHT;
    // The window may narrow the sizes the drag can give it.
    constexpr int minimum = 8, maximum = 32767;
    MINMAXINFO info;
    info.ptMinTrackSize = POINT{minimum, minimum};
    info.ptMaxTrackSize = POINT{maximum, maximum};
    win::Send(d, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    if (!win::Find(d)) return;
    const int minW = std::clamp(int(info.ptMinTrackSize.x), minimum, maximum);
    const int minH = std::clamp(int(info.ptMinTrackSize.y), minimum, maximum);
    const int maxW = std::clamp(int(info.ptMaxTrackSize.x), minW, maximum);
    const int maxH = std::clamp(int(info.ptMaxTrackSize.y), minH, maximum);
    if (left) r.left = std::clamp(r.left + dx, r.right - maxW, r.right - minW);
    if (right) r.right = std::clamp(r.right + dx, r.left + minW, r.left + maxW);
    if (top) r.top = std::clamp(r.top + dy, r.bottom - maxH, r.bottom - minH);
    if (bottom) r.bottom = std::clamp(r.bottom + dy, r.top + minH, r.top + maxH);
    SetWindowPos(d, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

static void DoMouseMove(HWND top, TPoint screen) {
    I().cursor = screen;
    ++I().pointerGeneration;
    if (I().dragging) {
        HWND d = I().dragging;
        if (win::Find(d))
            FollowDrag(d, screen);
        else
            EndWindowDrag();
        return;
    }
    if (I().tracking) {
        FollowThumb(screen, SB_THUMBTRACK);
        return;
    }
    LRESULT hit = HTCLIENT;
    win::Window* w = Target(top, screen, hit);
    UpdateTracking(w ? w->handle : nullptr);
    if (!w) return;
    SetCursorFor(w, hit, WM_MOUSEMOVE);
    if (!win::Find(w->handle)) return;
    PostMouse(w, WM_MOUSEMOVE, WM_NCMOUSEMOVE, hit, screen);
}

static void DoMouseButton(HWND top, TPoint screen, MouseButton button, bool down) {
    I().cursor = screen;
    ++I().pointerGeneration;
    WORD vk = button == MouseButton::Left ? VK_LBUTTON : button == MouseButton::Right ? VK_RBUTTON : VK_MBUTTON;
    SetKeyDown(vk, down);
    if (button == MouseButton::Left && down && !I().dragging) I().pressAt = screen;
    if (I().dragging) {
        if (!down && button == MouseButton::Left) EndWindowDrag();
        return;
    }
    if (I().tracking) {
        if (!down && button == MouseButton::Left) {
            FollowThumb(screen, SB_THUMBPOSITION);
            HWND h = I().tracking;
            UINT msg = I().trackBar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
            I().tracking = nullptr;
            Backend().CaptureChanged(GetCapture());
            if (win::Find(h)) win::Send(h, msg, SB_ENDSCROLL, 0);
        }
        return;
    }
    UINT base = button == MouseButton::Left ? WM_LBUTTONDOWN : button == MouseButton::Right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    UINT ncBase = button == MouseButton::Left ? WM_NCLBUTTONDOWN
                  : button == MouseButton::Right ? WM_NCRBUTTONDOWN
                                                  : WM_NCMBUTTONDOWN;
    LRESULT hit = HTCLIENT;
    win::Window* w = Target(top, screen, hit);
    if (!w) return;
    HWND h = w->handle;
    if (!down) {
        PostMouse(w, base + 1, ncBase + 1, hit, screen);
        return;
    }
    // Clicking a window of another top-level window activates it first.
    win::Window* owner = win::TopLevelOf(w);
    if (owner->handle != GetActiveWindow()) {
        LRESULT answer = win::Send(h, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(owner->handle), MAKELPARAM(WORD(hit), WORD(base)));
        if (answer != MA_NOACTIVATE && win::Find(owner->handle)) SetActiveWindow(owner->handle);
        if (!win::Find(h)) return;
    }
    // A second press of the same button on the same window, soon and near enough, is a
    // double click when the window's class asks for double clicks.
    std::uint64_t now = I().eventTime;
    ClickRecord& last = I().lastClick;
    UINT message = hit == HTCLIENT ? base : ncBase;
    bool dbl = last.valid && last.hwnd == h && last.message == message && now - last.time <= GetDoubleClickTime() &&
               std::abs(screen.x - last.screen.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
               std::abs(screen.y - last.screen.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2 &&
               ((w->classStyle & CS_DBLCLKS) || hit != HTCLIENT);
    if (dbl) {
        last.valid = false;
        PostMouse(w, base + 2, ncBase + 2, hit, screen);
    } else {
        last = ClickRecord{h, message, now, screen, true};
        PostMouse(w, base, ncBase, hit, screen);
    }
}

static void DoMouseWheel(HWND top, TPoint screen, int delta) {
    // The wheel goes to the focused window (the parents get it when it is not handled).
    HWND target = GetFocus();
    if (!target) {
        LRESULT hit;
        win::Window* w = HitTest(win::Find(top), screen, hit);
        target = w ? w->handle : nullptr;
    }
    if (!target) return;
    PostToWindow(target, WM_MOUSEWHEEL, MAKELPARAM(WORD(MouseKeys()), WORD(std::int16_t(delta))),
                 PointParam(screen.x, screen.y));
}

static void DoMouseLeave() {
    if (GetCapture() || I().dragging) return;
    // The pointer is somewhere no window of the program is.
    I().cursor = TPoint(-32000, -32000);
    ++I().pointerGeneration;
    UpdateTracking(nullptr);
    I().cursorWindow = nullptr;
}

static void DoKey(WORD vk, bool down, bool repeat) {
    bool wasDown = I().keys[vk] & 0x80;
    SetKeyDown(vk, down);
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) SetKeyDown(VK_SHIFT, down);
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) SetKeyDown(VK_CONTROL, down);
    if (vk == VK_LMENU || vk == VK_RMENU) SetKeyDown(VK_MENU, down);
    if (!down && vk == VK_ESCAPE && I().dragging) EndWindowDrag();
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (!target) return;
    bool alt = (I().keys[VK_MENU] & 0x80) != 0;
    bool ctrl = (I().keys[VK_CONTROL] & 0x80) != 0;
    bool sys = (alt && !ctrl) || vk == VK_F10 || vk == VK_MENU;
    UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    LPARAM lParam = 1;
    if (alt) lParam |= LPARAM(1) << 29;
    if (wasDown || (!down)) lParam |= LPARAM(1) << 30;
    if (repeat) lParam |= LPARAM(1) << 30;
    if (!down) lParam |= LPARAM(1) << 31;
    PostToWindow(target, msg, vk, lParam);
}

static void DoChar(unsigned codePoint) {
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (!target || codePoint == 0) return;
    bool alt = (I().keys[VK_MENU] & 0x80) != 0 && !(I().keys[VK_CONTROL] & 0x80);
    PostToWindow(target, alt ? WM_SYSCHAR : WM_CHAR, WPARAM(codePoint), alt ? (LPARAM(1) | (LPARAM(1) << 29)) : 1);
}

namespace {
void Push(RawEvent e) {
    e.time = CurrentClock().TickMs();
    I().raw.push_back(e);
}
}  // namespace

void InputMouseMove(HWND top, int x, int y) { Push({RawEvent::Move, top, ScreenPoint(top, x, y)}); }
void InputMouseButton(HWND top, int x, int y, MouseButton button, bool down) {
    RawEvent e{RawEvent::Button, top, ScreenPoint(top, x, y)};
    e.button = button;
    e.down = down;
    Push(e);
}
void InputMouseWheel(HWND top, int x, int y, int delta) {
    RawEvent e{RawEvent::Wheel, top, ScreenPoint(top, x, y)};
    e.delta = delta;
    Push(e);
}
void InputMouseLeave(HWND top) { Push({RawEvent::Leave, top}); }
void InputKey(WORD virtualKey, bool down, bool repeat) {
    RawEvent e{RawEvent::Key};
    e.vk = virtualKey;
    e.down = down;
    e.repeat = repeat;
    Push(e);
}
void InputChar(unsigned codePoint) {
    RawEvent e{RawEvent::Char};
    e.ch = codePoint;
    Push(e);
}

bool HasPendingInput() { return !I().raw.empty(); }

bool ProcessInputEvent() {
    if (I().raw.empty()) return false;
    RawEvent e = I().raw.front();
    I().raw.pop_front();
    I().eventTime = e.time;
    // A window that went away since the event came has no say any more.
    bool pointer = e.kind == RawEvent::Move || e.kind == RawEvent::Button || e.kind == RawEvent::Wheel;
    if (pointer && !win::Find(e.top)) {
        if (e.kind == RawEvent::Button) SetKeyDown(e.button == MouseButton::Left ? VK_LBUTTON : e.button == MouseButton::Right ? VK_RBUTTON : VK_MBUTTON, e.down);
        return true;
    }
    switch (e.kind) {
        case RawEvent::Move: DoMouseMove(e.top, e.screen); break;
        case RawEvent::Button: DoMouseButton(e.top, e.screen, e.button, e.down); break;
        case RawEvent::Wheel: DoMouseWheel(e.top, e.screen, e.delta); break;
        case RawEvent::Leave: DoMouseLeave(); break;
        case RawEvent::Key: DoKey(e.vk, e.down, e.repeat); break;
        case RawEvent::Char: DoChar(e.ch); break;
    }
    return true;
}

void InputWindowDestroyed(HWND hwnd) {
    if (I().tracked == hwnd) I().tracked = nullptr;
    if (I().cursorWindow == hwnd) I().cursorWindow = nullptr;
    if (I().dragging == hwnd) I().dragging = nullptr;
    if (I().tracking == hwnd) I().tracking = nullptr;
    if (I().lastClick.hwnd == hwnd) I().lastClick.valid = false;
}

void InputWindowsChanged() {
    // A window that went away from under the pointer is told that the pointer left.
    if (!I().tracked) return;
    HWND under = WindowFromPoint(I().cursor);
    UpdateTracking(under);
}

void BeginWindowDrag(HWND top, LRESULT edge) {
    win::Window* w = win::Find(top);
    if (!w || !(I().keys[VK_LBUTTON] & 0x80)) return;
    // The window dragged is the top-level one, or the MDI child (WS_EX_MDICHILD) on the way.
    while (w->parent && !(w->exStyle & 0x00000040)) w = w->parent;
    // The window keeps the place under the pointer where the button went down.
    I().dragOffset = TPoint(I().pressAt.x - w->bounds.left, I().pressAt.y - w->bounds.top);
    I().dragEdge = edge;
    I().dragStart = w->bounds;
    I().dragging = w->handle;
    // The pointer stays with the window however fast it moves.
    Backend().CaptureChanged(win::TopLevelOf(w)->handle);
}

namespace {
void EndWindowDrag() {
    I().dragging = nullptr;
    Backend().CaptureChanged(GetCapture());
}
}  // namespace

bool IsWindowDragging() { return I().dragging != nullptr; }

void BeginThumbTrack(HWND hwnd, int bar, int grab) {
    if (!win::Find(hwnd) || !(I().keys[VK_LBUTTON] & 0x80)) return;
    I().tracking = hwnd;
    I().trackBar = bar;
    I().trackGrab = grab;
    Backend().CaptureChanged(GetAncestor(hwnd, GA_ROOT));
}

unsigned InputPointerGeneration() { return I().pointerGeneration; }

void SetKeyDown(WORD vk, bool down) {
    BYTE& k = I().keys[vk & 0xFF];
    if (down && !(k & 0x80)) k ^= 1;  // toggled on each press
    k = BYTE(down ? (k | 0x80) : (k & ~0x80));
}

short GetKeyState(int vk) {
    BYTE k = I().keys[vk & 0xFF];
    return short((k & 0x80 ? 0x8000 : 0) | (k & 1));
}

short GetAsyncKeyState(int vk) { return short(I().keys[vk & 0xFF] & 0x80 ? 0x8000 : 0); }

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    point->x = I().cursor.x;
    point->y = I().cursor.y;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    I().cursor = TPoint(x, y);
    Backend().SetCursorPos(I().cursor);
    return TRUE;
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
    if (!track) return FALSE;
    if (track->dwFlags & TME_CANCEL) {
        if (I().tracked == track->hwndTrack) I().tracked = nullptr;
        return TRUE;
    }
    if (!(track->dwFlags & TME_LEAVE) || !win::Find(track->hwndTrack)) return FALSE;
    // A pointer that is already elsewhere leaves at once.
    if (WindowFromPoint(I().cursor) != track->hwndTrack) {
        PostToWindow(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
        return TRUE;
    }
    I().tracked = track->hwndTrack;
    return TRUE;
}

UINT GetDoubleClickTime() { return 500; }

HCURSOR LoadCursorA(HINSTANCE /*instance*/, int id) {
    // Standard cursors are their ids; the backend maps them to its own shapes.
    return reinterpret_cast<HCURSOR>(std::intptr_t(id));
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = I().cursor_;
    I().cursor_ = cursor;
    HWND over = I().cursorWindow ? I().cursorWindow : WindowFromPoint(I().cursor);
    if (win::Window* w = win::Find(over))
        Backend().CursorChanged(win::TopLevelOf(w)->handle, cursor ? int(reinterpret_cast<std::intptr_t>(cursor)) : 0);
    return old;
}

HCURSOR GetCursor() { return I().cursor_; }

}  // namespace platform
