// The default window procedure: what a window does with a message its own procedure
// leaves alone.
#include <algorithm>
#include <cstring>

#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/queue.h"
#include "platform/windows/wininternal.h"

namespace platform {
namespace win {
TRect ScrollBarRect(const Window* w, int bar);
void PaintNonClient(Window* w, HDC dc);
}  // namespace win

namespace {

using win::Window;

TPoint PointOf(LPARAM lParam) { return TPoint(std::int16_t(LOWORD(lParam)), std::int16_t(HIWORD(lParam))); }

LRESULT HitTest(Window* w, TPoint screen) {
    TPoint o = win::ScreenOrigin(w);
    TPoint p(screen.x - o.x, screen.y - o.y);
    TRect whole(0, 0, w->Width(), w->Height());
    if (!whole.Contains(p)) return HTNOWHERE;
    if (!w->IsTopLevel() && (w->style & WS_MINIMIZE)) {
        // A minimised child: its caption strip and the strip's buttons.
        const LRESULT codes[] = {HTMINBUTTON, HTMAXBUTTON, HTCLOSE};
        for (int i = 0; i < 3; ++i)
            if (TRect(MinimizedCaptionButton(w->Width(), w->Height(), i)).Contains(p)) return codes[i];
        return HTCAPTION;
    }
    if (w->client.Contains(p)) return HTCLIENT;
    if (win::ScrollBarRect(w, SB_VERT).Contains(p)) return HTVSCROLL;
    if (win::ScrollBarRect(w, SB_HORZ).Contains(p)) return HTHSCROLL;
    return HTBORDER;
}

// A press on a scroll bar: the arrows scroll by a line, the track by a page.
void ScrollBarClick(Window* w, int bar, TPoint screen) {
    SCROLLBARINFO info;
    GetScrollBarInfo(w->handle, bar == SB_VERT ? OBJID_VSCROLL : OBJID_HSCROLL, &info);
    int along = bar == SB_VERT ? screen.y - info.rcScrollBar.top : screen.x - info.rcScrollBar.left;
    int length = bar == SB_VERT ? info.rcScrollBar.bottom - info.rcScrollBar.top
                                : info.rcScrollBar.right - info.rcScrollBar.left;
    int code;
    if (along < info.dxyLineButton)
        code = SB_LINEUP;
    else if (along >= length - info.dxyLineButton)
        code = SB_LINEDOWN;
    else if (along < info.xyThumbTop)
        code = SB_PAGEUP;
    else if (along >= info.xyThumbBottom)
        code = SB_PAGEDOWN;
    else {
        BeginThumbTrack(w->handle, bar, along - info.xyThumbTop);
        return;
    }
    UINT msg = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
    HWND h = w->handle;
    win::Send(h, msg, WPARAM(code), 0);
    win::Send(h, msg, SB_ENDSCROLL, 0);
}

void Print(Window* w, HDC dc, LPARAM flags) {
    HWND h = w->handle;
    if ((flags & PRF_CHECKVISIBLE) && !IsWindowVisible(h)) return;
    int saved = SaveDC(dc);
    if (flags & PRF_NONCLIENT) win::PaintNonClient(w, dc);
    OffsetViewportOrgEx(dc, w->client.left, w->client.top, nullptr);
    IntersectClipRect(dc, 0, 0, w->client.Width(), w->client.Height());
    if (flags & PRF_ERASEBKGND) win::Send(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    if (flags & PRF_CLIENT) win::Send(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), flags);
    if ((flags & PRF_CHILDREN) && win::Find(h)) {
        std::vector<HWND> children;
        for (auto it = w->children.rbegin(); it != w->children.rend(); ++it)
            if ((*it)->style & WS_VISIBLE) children.push_back((*it)->handle);
        for (HWND c : children) {
            Window* cw = win::Find(c);
            if (!cw) continue;
            int inner = SaveDC(dc);
            OffsetViewportOrgEx(dc, cw->bounds.left, cw->bounds.top, nullptr);
            IntersectClipRect(dc, 0, 0, cw->Width(), cw->Height());
            win::Send(c, WM_PRINT, reinterpret_cast<WPARAM>(dc), flags | PRF_NONCLIENT);
            RestoreDC(dc, inner);
        }
    }
    RestoreDC(dc, saved);
}

}  // namespace

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = win::Find(hwnd);
    if (!w) return 0;
    switch (msg) {
        case WM_NCCREATE: return TRUE;
        case WM_NCCALCSIZE: {
            auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
            if (!params) return 0;
            RECT& r = params->rgrc[0];
            int edge = (w->exStyle & WS_EX_CLIENTEDGE) ? 2 : (w->exStyle & WS_EX_STATICEDGE) ? 1 : 0;
            // A top-level window's frame (caption, sizing border) belongs to the desktop.
            if (!w->IsTopLevel() && (w->style & WS_BORDER)) edge += 1;
            InflateRect(&r, -edge, -edge);
            // Right-to-left windows may ask for their vertical bar on the reading start side.
            if (w->style & WS_VSCROLL) {
                if (w->exStyle & WS_EX_LEFTSCROLLBAR)
                    r.left += GetSystemMetrics(SM_CXVSCROLL);
                else
                    r.right -= GetSystemMetrics(SM_CXVSCROLL);
            }
            if (w->style & WS_HSCROLL) r.bottom -= GetSystemMetrics(SM_CYHSCROLL);
            r.right = std::max(r.left, r.right);
            r.bottom = std::max(r.top, r.bottom);
            return 0;
        }
        case WM_NCHITTEST: return HitTest(w, PointOf(lParam));
        case WM_NCPAINT: {
            HDC dc = GetWindowDC(hwnd);
            if (dc) {
                win::PaintNonClient(w, dc);
                ReleaseDC(hwnd, dc);
            }
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: return 0;
        case WM_PRINT: Print(w, reinterpret_cast<HDC>(wParam), lParam); return 0;
        case WM_SETTEXT: {
            w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            if (w->IsTopLevel()) Backend().WindowTitled(hwnd, w->text);
            return TRUE;
        }
        case WM_GETTEXT: {
            auto* buffer = reinterpret_cast<char*>(lParam);
            if (!buffer || wParam == 0) return 0;
            std::size_t n = std::min<std::size_t>(wParam - 1, w->text.size());
            std::memcpy(buffer, w->text.data(), n);
            buffer[n] = 0;
            return LRESULT(n);
        }
        case WM_GETTEXTLENGTH: return LRESULT(w->text.size());
        case WM_SETREDRAW: w->redraw = wParam != 0; return 0;
        case WM_WINDOWPOSCHANGED: {
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (!pos) return 0;
            if (!(pos->flags & SWP_NOMOVE)) win::Send(hwnd, WM_MOVE, 0, MAKELPARAM(WORD(w->bounds.left + w->client.left), WORD(w->bounds.top + w->client.top)));
            if (!(pos->flags & SWP_NOSIZE) && win::Find(hwnd)) {
                WPARAM kind = (w->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : (w->style & WS_MINIMIZE) ? SIZE_MINIMIZED : SIZE_RESTORED;
                win::Send(hwnd, WM_SIZE, kind, MAKELPARAM(WORD(w->client.Width()), WORD(w->client.Height())));
            }
            return 0;
        }
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_SETCURSOR: {
            // The parent may set the cursor for its children.
            if (w->parent && win::Send(w->parent->handle, WM_SETCURSOR, wParam, lParam)) return TRUE;
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorA(nullptr, IDC_ARROW));
                return TRUE;
            }
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            return FALSE;
        }
        case WM_MOUSEACTIVATE:
            if (w->parent) {
                LRESULT r = win::Send(w->parent->handle, WM_MOUSEACTIVATE, wParam, lParam);
                if (r) return r;
            }
            return MA_ACTIVATE;
        case WM_RBUTTONUP: {
            // Releasing the right button asks for the context menu, at the screen point.
            POINT p{PointOf(lParam).x, PointOf(lParam).y};
            ClientToScreen(hwnd, &p);
            win::Send(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(WORD(std::int16_t(p.x)), WORD(std::int16_t(p.y))));
            return 0;
        }
        case WM_MOUSEWHEEL:
        case WM_CONTEXTMENU:
            // Not handled here: the parent gets its chance.
            if (w->parent) return win::Send(w->parent->handle, msg, wParam, lParam);
            return 0;
        case WM_NCLBUTTONDOWN:
            w->ncPressed = 0;
            if ((wParam == WPARAM(HTMINBUTTON) || wParam == WPARAM(HTMAXBUTTON) || wParam == WPARAM(HTCLOSE)) &&
                !w->IsTopLevel() && (w->style & WS_MINIMIZE)) {
                w->ncPressed = LRESULT(wParam);
                RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
            } else if (wParam == WPARAM(HTCAPTION)) {
                BeginWindowDrag(hwnd);
            } else if (LRESULT(wParam) >= HTLEFT && LRESULT(wParam) <= HTBOTTOMRIGHT) {
                BeginWindowDrag(hwnd, LRESULT(wParam));
            } else if (wParam == WPARAM(HTVSCROLL) || wParam == WPARAM(HTHSCROLL)) {
                ScrollBarClick(w, wParam == WPARAM(HTVSCROLL) ? SB_VERT : SB_HORZ, PointOf(lParam));
            }
            return 0;
        case WM_NCLBUTTONDBLCLK:
            // A quick second press on a minimised child's button is a press like the first.
            if ((wParam == WPARAM(HTMINBUTTON) || wParam == WPARAM(HTMAXBUTTON) || wParam == WPARAM(HTCLOSE)) &&
                !w->IsTopLevel() && (w->style & WS_MINIMIZE))
                return DefWindowProcA(hwnd, WM_NCLBUTTONDOWN, wParam, lParam);
            if (wParam == WPARAM(HTCAPTION) && w->IsTopLevel() && (w->style & WS_MAXIMIZEBOX))
                ShowWindow(hwnd, (w->style & WS_MAXIMIZE) ? SW_RESTORE : SW_MAXIMIZE);
            else if (wParam == WPARAM(HTCAPTION) && !w->IsTopLevel() && (w->style & WS_MINIMIZE))
                win::Send(hwnd, WM_SYSCOMMAND, SC_RESTORE, lParam);
            return 0;
        case WM_NCLBUTTONUP: {
            // A minimised child's caption button acts when the button is let go on it.
            LRESULT pressed = w->ncPressed;
            w->ncPressed = 0;
            if (!pressed || LRESULT(wParam) != pressed || w->IsTopLevel() || !(w->style & WS_MINIMIZE)) return 0;
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
            WPARAM command = pressed == HTMINBUTTON ? SC_RESTORE : pressed == HTMAXBUTTON ? SC_MAXIMIZE : SC_CLOSE;
            win::Send(hwnd, WM_SYSCOMMAND, command, lParam);
            return 0;
        }
        case WM_NCMOUSEMOVE:
            // Back over the strip with the button up: a press that ended elsewhere is over.
            if (w->ncPressed && GetKeyState(VK_LBUTTON) >= 0) w->ncPressed = 0;
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !(w->style & WS_MINIMIZE) && !GetFocus()) SetFocus(hwnd);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4 && (lParam & (LPARAM(1) << 29)))
                PostMessage(win::TopLevelOf(w)->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
            // Shift+F10 asks for the context menu from the keyboard (position -1, -1).
            if (wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0)
                win::Send(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), LPARAM(-1));
            return 0;
        case WM_KEYUP:
            if (wParam == VK_APPS) win::Send(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), LPARAM(-1));
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE: win::Send(hwnd, WM_CLOSE, 0, 0); return 0;
                case SC_MOVE: BeginWindowDrag(hwnd); return 0;
                case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); return 0;
                case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); return 0;
                case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); return 0;
                default: return 0;
            }
        case WM_GETDLGCODE: return 0;
        default: return 0;
    }
}

}  // namespace platform
