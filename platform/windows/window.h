#pragma once
// Windows: handles, the parent/child tree with z-order, styles, bounds, regions, the
// window-procedure chain, focus, capture and the paint cycle, under their Windows names.
//
// Coordinates: a child's bounds are in its parent's client coordinates; a top-level
// window's bounds are screen coordinates. Every window belongs to the user-interface
// thread; only PostMessage and SendMessage (in the core) may be called from others.
#include <cstdint>
#include <string>

#include "platform/core/wintypes.h"
#include "platform/graphics/gdi.h"
#include "platform/windows/messages.h"
// Window animation and the bell are services of their own, seen by every window user.
#include "platform/windows/animation.h"
#include "platform/windows/sound.h"

namespace platform {

using LONG_PTR = std::intptr_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct CREATESTRUCTA {
    void* lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HMENU hMenu = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    LONG style = 0;
    const char* lpszName = nullptr;
    const char* lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

struct WINDOWPOS {
    HWND hwnd = nullptr;
    HWND hwndInsertAfter = nullptr;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
};

// WM_GETMINMAXINFO (lParam points to it): the window may narrow the sizes a user's resize
// can give it, filled in with the layer's defaults before the message is sent.
struct MINMAXINFO {
    POINT ptReserved{};
    POINT ptMaxSize{};
    POINT ptMaxPosition{};
    POINT ptMinTrackSize{};
    POINT ptMaxTrackSize{};
};

struct NCCALCSIZE_PARAMS {
    RECT rgrc[3];
    WINDOWPOS* lppos = nullptr;
};

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    BOOL fErase = FALSE;
    RECT rcPaint{};
    BOOL fRestore = FALSE;
    BOOL fIncUpdate = FALSE;
    BYTE rgbReserved[32]{};
};

struct SCROLLINFO {
    UINT cbSize = sizeof(SCROLLINFO);
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};

struct SCROLLBARINFO {
    DWORD cbSize = sizeof(SCROLLBARINFO);
    RECT rcScrollBar{};
    int dxyLineButton = 0;
    int xyThumbTop = 0;
    int xyThumbBottom = 0;
    int reserved = 0;
    DWORD rgstate[6]{};
};

struct TRACKMOUSEEVENT {
    DWORD cbSize = sizeof(TRACKMOUSEEVENT);
    DWORD dwFlags = 0;
    HWND hwndTrack = nullptr;
    DWORD dwHoverTime = 0;
};
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_CANCEL = 0x80000000;

// A window class: the class name and style; every window of the class starts with proc.
struct WNDCLASSA {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    const char* lpszClassName = nullptr;
};
bool RegisterClassA(const WNDCLASSA& cls);
bool GetClassInfoA(const char* className, WNDCLASSA* out);

// Creation and destruction. A window whose class is unknown gets DefWindowProcA.
// WM_NCCREATE, WM_NCCALCSIZE and WM_CREATE are sent during creation; returning -1 from
// WM_CREATE (or 0 from WM_NCCREATE) destroys it again and CreateWindowExA returns null.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// Destroys the window and its children (children first get WM_DESTROY after the parent,
// WM_NCDESTROY last). Messages still queued for it are dropped when they come up.
BOOL DestroyWindow(HWND hwnd);
// Safe from any thread.
BOOL IsWindow(HWND hwnd);

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window's procedure directly on this thread (no queue); 0 for a dead window.
LRESULT CallWindowProcOf(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Long values: GWL_STYLE, GWL_EXSTYLE, GWL_ID, GWLP_USERDATA, GWLP_WNDPROC (hooks the
// procedure; the old one is returned for chaining with CallWindowProcA).
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LONG GetWindowLongA(HWND hwnd, int index);
LONG SetWindowLongA(HWND hwnd, int index, LONG value);
int GetClassNameA(HWND hwnd, char* buffer, int size);
std::string GetWindowClassName(HWND hwnd);
// The object (a control) that owns the window; set by the control layer.
void* GetWindowObject(HWND hwnd);
void SetWindowObject(HWND hwnd, void* object);

// Text.
BOOL SetWindowTextA(HWND hwnd, const char* text);
int GetWindowTextA(HWND hwnd, char* buffer, int size);
int GetWindowTextLengthA(HWND hwnd);

// The tree and z-order.
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;
constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;
HWND GetParent(HWND hwnd);
HWND GetAncestor(HWND hwnd, UINT flags);
HWND SetParent(HWND child, HWND newParent);
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetTopWindow(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
// Top-level windows, topmost first.
HWND FindWindowA(const char* className, const char* windowName);
HWND GetDesktopWindow();

// Geometry.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND hwnd);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The deepest visible, enabled window at a screen point, or null.
HWND WindowFromPoint(POINT point);
constexpr UINT CWP_ALL = 0x0000;
constexpr UINT CWP_SKIPINVISIBLE = 0x0001;
constexpr UINT CWP_SKIPDISABLED = 0x0002;
constexpr UINT CWP_SKIPTRANSPARENT = 0x0004;
HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags);

// Visibility and enabling. A minimised child window (an MDI child) becomes a small caption
// strip in the first free place along its parent's bottom edge; its children hide and its
// client is empty. Restored, it goes back to where it was, or to maximised when it was.
BOOL ShowWindow(HWND hwnd, int cmd);
// The size of a minimised child window's strip.
constexpr int MINIMIZED_CHILD_WIDTH = 160;
constexpr int MINIMIZED_CHILD_HEIGHT = 25;
// The caption buttons of a minimised child window's strip (window coordinates of a strip
// width x height): 0 restore (HTMINBUTTON), 1 maximise (HTMAXBUTTON), 2 close (HTCLOSE).
RECT MinimizedCaptionButton(int width, int height, int index);
// The strip's button (HTMINBUTTON, HTMAXBUTTON, HTCLOSE) the left button is held on, or 0.
LRESULT MinimizedPressedButton(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);

// Regions: the window takes ownership of region (in window coordinates); null removes it.
int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw);
// Copies the window region into region; ERROR (0) when the window has none.
int GetWindowRgn(HWND hwnd, HRGN region);

// Focus, activation, capture, keys and the pointer.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
short GetKeyState(int virtualKey);
short GetAsyncKeyState(int virtualKey);
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
UINT GetDoubleClickTime();
HCURSOR LoadCursorA(HINSTANCE instance, int id);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// The paint cycle. The update region is in client coordinates.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL ValidateRgn(HWND hwnd, HRGN region);
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);
BOOL UpdateWindow(HWND hwnd);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
int GetUpdateRgn(HWND hwnd, HRGN region, BOOL erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
// A DC on the client area (GetDC) or on the whole window (GetWindowDC), clipped to what
// of the window is visible; give it back with ReleaseDC. A null window gives a DC to read
// the screen from (screen coordinates): what the display shows when the DC is made, only
// the part inside the clip with GetDCEx and DCX_INTERSECTRGN.
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
constexpr DWORD DCX_WINDOW = 0x00000001;
constexpr DWORD DCX_CACHE = 0x00000002;
constexpr DWORD DCX_PARENTCLIP = 0x00000020;
constexpr DWORD DCX_CLIPSIBLINGS = 0x00000010;
constexpr DWORD DCX_CLIPCHILDREN = 0x00000008;
constexpr DWORD DCX_EXCLUDERGN = 0x00000040;
constexpr DWORD DCX_INTERSECTRGN = 0x00000080;
constexpr DWORD DCX_VALIDATE = 0x00200000;
HDC GetDCEx(HWND hwnd, HRGN clip, DWORD flags);
int ReleaseDC(HWND hwnd, HDC dc);
// Sends WM_PAINT to every window below root (root included) whose update region is not
// empty, parents before children, and presents what changed. Null root: every window.
void PaintPendingWindows(HWND root = nullptr);
// Whether any window waits for WM_PAINT.
bool HasPendingPaint();
BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip);
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect,
                   UINT flags);

// Scroll-bar information of a window with WS_HSCROLL / WS_VSCROLL.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);
BOOL GetScrollBarInfo(HWND hwnd, LONG objectId, SCROLLBARINFO* info);

// The work area of the screen (the screen minus panels), in screen coordinates.
TRect GetWorkArea();

// System settings the controls ask for.
constexpr UINT SPI_GETWORKAREA = 0x0030;
constexpr UINT SPI_GETDRAGFULLWINDOWS = 0x0026;
constexpr UINT SPI_GETTOOLTIPANIMATION = 0x1016;
constexpr UINT SPI_GETTOOLTIPFADE = 0x1018;
constexpr UINT SPI_GETWHEELSCROLLLINES = 0x0068;
// SPI_GETWORKAREA fills a RECT; the others a BOOL (or UINT lines). FALSE for other actions.
BOOL SystemParametersInfoA(UINT action, UINT param, void* out, UINT winIni);

// Suspends painting of one window (null: ends it); the window is repainted afterwards.
BOOL LockWindowUpdate(HWND hwnd);

}  // namespace platform
