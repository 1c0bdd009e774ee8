// The X11 backend: every top-level window is a real X window showing the window's
// surface, shaped by its region (Shape extension). Borderless windows ask the window
// manager for no decorations; popups (menus, hints, lists) are override-redirect. Input
// comes from X events; window drags are done by the program (see input.cpp), so they work
// without a window manager.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/backends/x11.h"
#include "platform/backends/x11_embed.h"
#include "platform/core/messages.h"
#include "platform/core/threads.h"
#include "platform/windows/backend.h"
#include "platform/windows/cursors.h"
#include "platform/windows/input.h"
#include "platform/windows/window.h"

namespace platform {
namespace {

// What the services beside the backend (selections, drag and drop) hook into.
struct X11Hooks {
    std::vector<std::function<bool(XEvent&)>> filters;
    std::vector<std::function<void(HWND, unsigned long)>> created;
};
X11Hooks& Hooks() {
    static auto* hooks = new X11Hooks;
    return *hooks;
}
class X11Backend;
X11Backend* gCurrentX11 = nullptr;

// A failed request (a window gone meanwhile, focus on an unmapped window) is no reason to
// end the program: it is noted and ignored.
bool gXErrorSeen = false;
int IgnoreXError(Display*, XErrorEvent*) {
    gXErrorSeen = true;
    return 0;
}

WORD KeySymToVirtualKey(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z) return WORD('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z) return WORD('A' + (sym - XK_A));
    if (sym >= XK_0 && sym <= XK_9) return WORD('0' + (sym - XK_0));
    if (sym >= XK_F1 && sym <= XK_F12) return WORD(VK_F1 + (sym - XK_F1));
    if (sym >= XK_KP_0 && sym <= XK_KP_9) return WORD(VK_NUMPAD0 + (sym - XK_KP_0));
    switch (sym) {
        case XK_BackSpace: return VK_BACK;
        case XK_Tab:
        case XK_ISO_Left_Tab: return VK_TAB;
        case XK_Return:
        case XK_KP_Enter: return VK_RETURN;
        case XK_Escape: return VK_ESCAPE;
        case XK_space: return VK_SPACE;
        case XK_Delete:
        case XK_KP_Delete: return VK_DELETE;
        case XK_Insert:
        case XK_KP_Insert: return VK_INSERT;
        case XK_Home:
        case XK_KP_Home: return VK_HOME;
        case XK_End:
        case XK_KP_End: return VK_END;
        case XK_Prior:
        case XK_KP_Prior: return VK_PRIOR;
        case XK_Next:
        case XK_KP_Next: return VK_NEXT;
        case XK_Left:
        case XK_KP_Left: return VK_LEFT;
        case XK_Right:
        case XK_KP_Right: return VK_RIGHT;
        case XK_Up:
        case XK_KP_Up: return VK_UP;
        case XK_Down:
        case XK_KP_Down: return VK_DOWN;
        case XK_Shift_L: return VK_LSHIFT;
        case XK_Shift_R: return VK_RSHIFT;
        case XK_Control_L: return VK_LCONTROL;
        case XK_Control_R: return VK_RCONTROL;
        case XK_Alt_L:
        case XK_Meta_L: return VK_LMENU;
        case XK_Alt_R:
        case XK_Meta_R:
        case XK_ISO_Level3_Shift: return VK_RMENU;
        case XK_Caps_Lock: return VK_CAPITAL;
        case XK_Num_Lock: return VK_NUMLOCK;
        case XK_Pause: return VK_PAUSE;
        case XK_Menu: return VK_APPS;
        case XK_KP_Add: return VK_ADD;
        case XK_KP_Subtract: return VK_SUBTRACT;
        case XK_KP_Multiply: return VK_MULTIPLY;
        case XK_KP_Divide: return VK_DIVIDE;
        case XK_KP_Decimal: return VK_DECIMAL;
        default: return 0;
    }
}

unsigned XCursorFor(int id) {
    switch (id) {
        case IDC_IBEAM: return XC_xterm;
        case IDC_WAIT: return XC_watch;
        case IDC_CROSS: return XC_crosshair;
        case IDC_UPARROW: return XC_center_ptr;
        case IDC_SIZENWSE: return XC_bottom_right_corner;
        case IDC_SIZENESW: return XC_bottom_left_corner;
        case IDC_SIZEWE: return XC_sb_h_double_arrow;
        case IDC_SIZENS: return XC_sb_v_double_arrow;
        case IDC_SIZEALL: return XC_fleur;
        case IDC_NO: return XC_X_cursor;
        case IDC_HAND: return XC_hand2;
        case IDC_APPSTARTING: return XC_watch;
        case IDC_HELP: return XC_question_arrow;
        default: return XC_left_ptr;
    }
}

class X11Backend : public WindowBackend {
public:
    explicit X11Backend(Display* display) : display_(display) {
        XSetErrorHandler(IgnoreXError);
        screen_ = DefaultScreen(display_);
        root_ = RootWindow(display_, screen_);
        int eventBase = 0, errorBase = 0;
        hasShape_ = XShapeQueryExtension(display_, &eventBase, &errorBase);
        hasShm_ = XShmQueryExtension(display_);
        wmDelete_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
        motifHints_ = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
        netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
        netWmState_ = XInternAtom(display_, "_NET_WM_STATE", False);
        netWmStateModal_ = XInternAtom(display_, "_NET_WM_STATE_MODAL", False);
        netActiveWindow_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
        utf8_ = XInternAtom(display_, "UTF8_STRING", False);
        gc_ = DefaultGC(display_, screen_);
        OpenInputMethod();
        StartWatcher();
        // The backend itself stays to the end (windows going late still reach it); its
        // watcher stops with the program's other threads.
        watcherEnd_ = AtPlatformThreadsEnd([this] { StopWatcher(); });
        gCurrentX11 = this;
    }

    ~X11Backend() override {
        if (gCurrentX11 == this) gCurrentX11 = nullptr;
        RemovePlatformThreadsEnd(watcherEnd_);
        StopWatcher();
        for (auto& [cursor, xcursor] : cursors_) XFreeCursor(display_, xcursor);
        for (auto& [cursor, xcursor] : madeCursors_) XFreeCursor(display_, xcursor);
        for (auto& [hwnd, w] : windows_) {
            if (w.ic) XDestroyIC(w.ic);
            FreeShared(w.shared);
            XDestroyWindow(display_, w.xid);
        }
        if (im_) XCloseIM(im_);
        XCloseDisplay(display_);
    }

    std::string Name() const override { return "x11"; }

    TRect ScreenRect() const override { return TRect(0, 0, DisplayWidth(display_, screen_), DisplayHeight(display_, screen_)); }

    TRect WorkArea() const override {
        // The desktop's work area when a window manager publishes one.
        Atom workArea = XInternAtom(display_, "_NET_WORKAREA", True);
        if (workArea != None) {
            Atom type;
            int format;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display_, root_, workArea, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after,
                                   &data) == Success &&
                data && count >= 4 && format == 32) {
                auto* v = reinterpret_cast<long*>(data);
                TRect r(static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]), static_cast<LONG>(v[1] + v[3]));
                XFree(data);
                if (!r.IsEmpty()) return r;
            } else if (data) {
                XFree(data);
            }
        }
        return ScreenRect();
    }

    void WindowCreated(HWND hwnd, const TRect& bounds, DWORD style, DWORD exStyle) override {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = (style & WS_POPUP) && (exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST)) ? True : False;
        attributes.background_pixmap = None;
        attributes.bit_gravity = NorthWestGravity;
        // The server keeps what another window covers (a message box over the progress
        // window): pictures of the window taken meanwhile show it whole, and uncovering it
        // needs no new picture from the program.
        attributes.backing_store = WhenMapped;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                                EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                                StructureNotifyMask | FocusChangeMask;
        ::Window xid = XCreateWindow(display_, root_, bounds.left, bounds.top, unsigned(std::max<LONG>(1, bounds.Width())),
                                     unsigned(std::max<LONG>(1, bounds.Height())), 0, CopyFromParent, InputOutput,
                                     CopyFromParent,
                                     CWOverrideRedirect | CWBackPixmap | CWBitGravity | CWBackingStore | CWEventMask,
                                     &attributes);
        XSetWMProtocols(display_, xid, &wmDelete_, 1);
        if (!(style & WS_CAPTION)) {
            // Borderless: the program draws everything, the window manager adds nothing.
            long hints[5] = {2 /* decorations */, 0, 0, 0, 0};
            XChangeProperty(display_, xid, motifHints_, motifHints_, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(hints), 5);
        }
        // Place the window where the program says, not where a window manager would.
        XSizeHints size{};
        size.flags = USPosition | PPosition | USSize | PSize;
        size.x = bounds.left;
        size.y = bounds.top;
        size.width = bounds.Width();
        size.height = bounds.Height();
        XSetWMNormalHints(display_, xid, &size);
        // A window owned by another stays above it (dialogs over the main window).
        if (TopWindow* owner = Find(GetWindow(hwnd, GW_OWNER))) XSetTransientForHint(display_, xid, owner->xid);
        XClassHint cls{};
        std::string className = GetWindowClassName(hwnd);
        cls.res_name = const_cast<char*>("lumacast");
        cls.res_class = const_cast<char*>(className.c_str());
        XSetClassHint(display_, xid, &cls);
        TopWindow& w = windows_[hwnd];
        w.xid = xid;
        w.bounds = bounds;
        w.popup = attributes.override_redirect == True;
        // Typed text comes through the input method (compose keys, dead keys, other scripts).
        if (im_)
            w.ic = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, xid, XNFocusWindow,
                             xid, nullptr);
        if (w.ic) {
            long wanted = 0;
            XGetICValues(w.ic, XNFilterEvents, &wanted, nullptr);
            XSelectInput(display_, xid, attributes.event_mask | wanted);
        }
        byXid_[xid] = hwnd;
        for (auto& hook : Hooks().created) hook(hwnd, xid);
        XFlush(display_);
    }

    void WindowDestroyed(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        if (grabbed_ == hwnd) {
            XUngrabPointer(display_, CurrentTime);
            grabbed_ = nullptr;
            if (keyboardGrabbed_) XUngrabKeyboard(display_, CurrentTime);
            keyboardGrabbed_ = false;
        }
        byXid_.erase(it->second.xid);
        if (it->second.ic) XDestroyIC(it->second.ic);
        FreeShared(it->second.shared);
        XDestroyWindow(display_, it->second.xid);
        windows_.erase(it);
        XFlush(display_);
    }

    void WindowMoved(HWND hwnd, const TRect& bounds) override {
        TopWindow* w = Find(hwnd);
        if (!w) return;
        w->bounds = bounds;
        XMoveResizeWindow(display_, w->xid, bounds.left, bounds.top, unsigned(std::max<LONG>(1, bounds.Width())),
                          unsigned(std::max<LONG>(1, bounds.Height())));
        XFlush(display_);
    }

    void WindowShown(HWND hwnd, bool visible) override {
        TopWindow* w = Find(hwnd);
        if (!w) return;
        w->mapped = visible;
        if (visible) {
            if (!w->popup) MarkModal(hwnd, *w);
            XMapRaised(display_, w->xid);
            // A window manager may place a window on mapping; the program's place stands.
            XMoveWindow(display_, w->xid, w->bounds.left, w->bounds.top);
        } else {
            XUnmapWindow(display_, w->xid);
            if (w->modal) {
                // Shown again later, it may be an ordinary window.
                XDeleteProperty(display_, w->xid, netWmState_);
                if (w->transientSet) XDeleteProperty(display_, w->xid, XA_WM_TRANSIENT_FOR);
                w->modal = w->transientSet = false;
            }
        }
        XFlush(display_);
    }

    void WindowMinimized(HWND hwnd, bool minimized) override {
        TopWindow* w = Find(hwnd);
        if (!w || !w->mapped) return;
        if (minimized)
            XIconifyWindow(display_, w->xid, screen_);
        else
            XMapRaised(display_, w->xid);
        XFlush(display_);
    }

    void WindowRestyled(HWND hwnd, DWORD style, DWORD /*exStyle*/) override {
        TopWindow* w = Find(hwnd);
        if (!w || w->popup) return;
        if (style & WS_CAPTION) {
            XDeleteProperty(display_, w->xid, motifHints_);
        } else {
            long hints[5] = {2 /* decorations */, 0, 0, 0, 0};
            XChangeProperty(display_, w->xid, motifHints_, motifHints_, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(hints), 5);
        }
        XFlush(display_);
    }

    void WindowShaped(HWND hwnd, HRGN region) override {
        TopWindow* w = Find(hwnd);
        if (!w || !hasShape_) return;
        if (!region) {
            XShapeCombineMask(display_, w->xid, ShapeBounding, 0, 0, None, ShapeSet);
        } else {
            std::vector<RECT> rects = GetRegionRects(region);
            std::vector<XRectangle> xrects;
            xrects.reserve(rects.size());
            for (const RECT& r : rects)
                xrects.push_back(XRectangle{short(r.left), short(r.top), (unsigned short)(r.right - r.left),
                                            (unsigned short)(r.bottom - r.top)});
            XShapeCombineRectangles(display_, w->xid, ShapeBounding, 0, 0, xrects.data(), int(xrects.size()), ShapeSet,
                                    YXBanded);
        }
        XFlush(display_);
    }

    void WindowTitled(HWND hwnd, const std::string& title) override {
        TopWindow* w = Find(hwnd);
        if (!w) return;
        XStoreName(display_, w->xid, title.c_str());
        XChangeProperty(display_, w->xid, netWmName_, utf8_, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
        XFlush(display_);
    }

    void WindowActivated(HWND hwnd) override {
        TopWindow* w = Find(hwnd);
        if (!w || !w->mapped || w->viewable == false) return;
        XRaiseWindow(display_, w->xid);
        XSetInputFocus(display_, w->xid, RevertToParent, CurrentTime);
        XFlush(display_);
    }

    void Present(HWND hwnd, const TRect& area, const std::uint32_t* pixels, int stride) override {
        TopWindow* w = Find(hwnd);
        if (!w || !w->mapped || area.IsEmpty()) return;
        int width = stride / 4;
        // The rows handed over reach at least to the area's bottom.
        int height = std::max<LONG>(std::max<LONG>(1, w->bounds.Height()), area.bottom);
        // A window's first picture goes over the connection: making and filling a segment
        // of the window's size costs more than sending it once. Later updates use one.
        if (w->presentedSerial != 0 && PresentShared(*w, area, pixels, width, height)) return;
        height = area.bottom;
        Visual* visual = DefaultVisual(display_, screen_);
        int depth = DefaultDepth(display_, screen_);
        // The image borrows the surface's rows; it is taken apart without freeing them.
        XImage* image = XCreateImage(display_, visual, unsigned(depth), ZPixmap, 0,
                                     reinterpret_cast<char*>(const_cast<std::uint32_t*>(pixels)), unsigned(width),
                                     unsigned(height), 32, stride);
        if (!image) return;
        w->presentedArea = area;
        w->presentedSerial = NextRequest(display_);
        XPutImage(display_, w->xid, gc_, image, area.left, area.top, area.left, area.top, unsigned(area.Width()),
                  unsigned(area.Height()));
        image->data = nullptr;
        XDestroyImage(image);
        XFlush(display_);
        ReportFirstPresent();
    }

    // Start-up measurements learn when the first window's picture reached the server: with
    // LUMACAST_PRESENTED_FD set, the line "presented" goes to that descriptor once.
    void ReportFirstPresent() {
        if (firstPresentReported_) return;
        firstPresentReported_ = true;
        const char* fd = std::getenv("LUMACAST_PRESENTED_FD");
        if (!fd || !*fd) return;
        XSync(display_, False);
        constexpr char kLine[] = "presented\n";
        if (write(std::atoi(fd), kLine, sizeof kLine - 1) < 0) return;
    }

    bool ReadScreen(const TRect& area, std::uint32_t* pixels, int stride) override {
        if (area.IsEmpty()) return true;
        XSync(display_, False);
        XImage* image = XGetImage(display_, RootWindow(display_, screen_), area.left, area.top, unsigned(area.Width()),
                                  unsigned(area.Height()), AllPlanes, ZPixmap);
        if (!image) return false;
        for (int y = 0; y < area.Height(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(pixels) + std::ptrdiff_t(y) * stride);
            for (int x = 0; x < area.Width(); ++x) row[x] = std::uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
        }
        XDestroyImage(image);
        return true;
    }

    void CursorChanged(HWND hwnd, int cursorId) override {
        TopWindow* w = Find(hwnd);
        if (!w || w->cursor == cursorId) return;
        w->cursor = cursorId;
        Cursor xcursor = None;
        if (cursorId >= FirstCustomCursorId) {
            xcursor = MadeCursor(cursorId);
        } else {
            unsigned shape = XCursorFor(cursorId);
            auto it = cursors_.find(shape);
            if (it == cursors_.end()) it = cursors_.emplace(shape, XCreateFontCursor(display_, shape)).first;
            xcursor = it->second;
        }
        if (xcursor == None) xcursor = MadeCursorFallback();
        XDefineCursor(display_, w->xid, xcursor);
        XFlush(display_);
    }

    void CursorDestroyed(int cursorId) override {
        auto it = madeCursors_.find(cursorId);
        if (it == madeCursors_.end()) return;
        // Windows still showing it fall back to the arrow first.
        for (auto& [hwnd, w] : windows_)
            if (w.cursor == cursorId) {
                XDefineCursor(display_, w.xid, MadeCursorFallback());
                w.cursor = IDC_ARROW;
            }
        XFreeCursor(display_, it->second);
        madeCursors_.erase(it);
        XFlush(display_);
    }

    // A pixmap cursor from a made cursor's picture: opaque dark pixels black, opaque light
    // ones white, transparent ones outside the mask.
    Cursor MadeCursor(int cursorId) {
        auto found = madeCursors_.find(cursorId);
        if (found != madeCursors_.end()) return found->second;
        const TCursorImage* image = CustomCursorImage(reinterpret_cast<HCURSOR>(std::intptr_t(cursorId)));
        if (!image) return None;
        const int w = image->Width, h = image->Height, stride = (w + 7) / 8;
        std::vector<char> source(std::size_t(stride) * std::size_t(h), 0), mask(source.size(), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint32_t pixel = image->Pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)];
                if ((pixel >> 24) == 0) continue;
                int luma = int((pixel >> 16) & 0xFF) * 30 + int((pixel >> 8) & 0xFF) * 59 + int(pixel & 0xFF) * 11;
                std::size_t byte = std::size_t(y) * std::size_t(stride) + std::size_t(x / 8);
                char bit = char(1 << (x % 8));  // XBM bit order: least significant first
                mask[byte] = char(mask[byte] | bit);
                if (luma < 128 * 100) source[byte] = char(source[byte] | bit);
            }
        Pixmap sourceMap = XCreateBitmapFromData(display_, root_, source.data(), unsigned(w), unsigned(h));
        Pixmap maskMap = XCreateBitmapFromData(display_, root_, mask.data(), unsigned(w), unsigned(h));
        XColor black{}, white{};
        white.red = white.green = white.blue = 0xFFFF;
        black.flags = white.flags = DoRed | DoGreen | DoBlue;
        Cursor xcursor = XCreatePixmapCursor(display_, sourceMap, maskMap, &black, &white, unsigned(image->HotX),
                                             unsigned(image->HotY));
        XFreePixmap(display_, sourceMap);
        XFreePixmap(display_, maskMap);
        if (xcursor != None) madeCursors_.emplace(cursorId, xcursor);
        return xcursor;
    }

    Cursor MadeCursorFallback() {
        unsigned shape = XCursorFor(IDC_ARROW);
        auto it = cursors_.find(shape);
        if (it == cursors_.end()) it = cursors_.emplace(shape, XCreateFontCursor(display_, shape)).first;
        return it->second;
    }

    void CaptureChanged(HWND hwnd) override {
        // While the program holds the mouse, the pointer's events come to its window.
        HWND top = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
        TopWindow* w = Find(top);
        if (w) {
            XGrabPointer(display_, w->xid, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                         GrabModeAsync, None, None, CurrentTime);
            grabbed_ = top;
            // A popup that holds the pointer (a menu, a combo's list) takes the keyboard too,
            // as no window manager gives it the focus.
            if (w->popup && !keyboardGrabbed_) {
                keyboardGrabbed_ = XGrabKeyboard(display_, w->xid, True, GrabModeAsync, GrabModeAsync, CurrentTime) ==
                                   GrabSuccess;
            } else if (!w->popup && keyboardGrabbed_) {
                XUngrabKeyboard(display_, CurrentTime);
                keyboardGrabbed_ = false;
            }
        } else if (grabbed_) {
            XUngrabPointer(display_, CurrentTime);
            grabbed_ = nullptr;
            if (keyboardGrabbed_) XUngrabKeyboard(display_, CurrentTime);
            keyboardGrabbed_ = false;
        }
        XFlush(display_);
    }

    void Beep() override {
        XBell(display_, 0);
        XFlush(display_);
    }

    TPoint CursorPos() const override {
        ::Window rootReturn, child;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(display_, root_, &rootReturn, &child, &rx, &ry, &wx, &wy, &mask);
        return TPoint(rx, ry);
    }

    void SetCursorPos(TPoint p) override {
        XWarpPointer(display_, None, root_, 0, 0, 0, 0, p.x, p.y);
        XFlush(display_);
    }

    HANDLE InputEvent() override { return inputArrived_.Handle(); }

    bool ReadyToWait() override {
        XFlush(display_);
        // Events Xlib already read (while painting, say) would not wake the watcher.
        return XEventsQueued(display_, QueuedAlready) == 0;
    }

    void PollInput() override {
        while (XPending(display_)) {
            XEvent e;
            XNextEvent(display_, &e);
            // The input method takes the events it needs (a compose sequence's keys).
            if (XFilterEvent(&e, None)) continue;
            Handle(e);
        }
        // The connection is read: the watcher may look at it again.
        {
            std::lock_guard<std::mutex> lock(watchMutex_);
            readSinceWake_ = true;
        }
        watchCv_.notify_all();
    }

    // For the services beside the backend (x11.h).
    Display* XDisplay() const { return display_; }
    ::Window XWindowOf(HWND hwnd) {
        TopWindow* w = Find(hwnd);
        return w ? w->xid : 0;
    }
    HWND WindowFromX(::Window xid) const { return HandleOf(xid); }
    std::uint64_t CreateEmbedArea(HWND top) override {
        TopWindow* w = Find(top);
        if (!w) return 0;
        if (!embeds_) embeds_ = std::make_unique<X11EmbedAreas>(display_);
        return embeds_->Create(w->xid);
    }
    void PlaceEmbedArea(std::uint64_t area, const TRect& rect, bool visible) override {
        if (embeds_) embeds_->Place(area, rect, visible);
    }
    void DestroyEmbedArea(std::uint64_t area) override {
        if (embeds_) embeds_->Destroy(area);
    }
    bool EmbedAreaHasClient(std::uint64_t area) override { return embeds_ && embeds_->HasClient(area); }

private:
    // Shared memory with the X server: the changed rows are copied into a segment the
    // server reads directly, which beats sending them over the connection.
    struct SharedImage {
        XShmSegmentInfo info{};
        XImage* image = nullptr;
    };

    struct TopWindow {
        ::Window xid = 0;
        TRect bounds;
        bool mapped = false;
        bool viewable = true;
        int cursor = -1;
        SharedImage shared;
        XIC ic = nullptr;
        bool popup = false;  // override-redirect
        bool modal = false;         // marked modal when last shown
        bool transientSet = false;  // WM_TRANSIENT_FOR set for that showing
        TRect exposed;       // a run of exposures not yet shown
        // The latest picture sent: its area and the request number it went with.
        TRect presentedArea;
        unsigned long presentedSerial = 0;
    };

    // A window shown while other windows of the program are disabled is a modal dialog:
    // the window manager is told (it stays above the window it belongs to, and a click
    // there brings it forward) before the window is mapped.
    void MarkModal(HWND hwnd, TopWindow& w) {
        if (!IsWindowEnabled(hwnd)) return;
        ::Window disabled = 0;
        for (auto& [other, o] : windows_)
            if (other != hwnd && o.mapped && !o.popup && !IsWindowEnabled(other)) {
                disabled = o.xid;
                if (other == GetWindow(hwnd, GW_OWNER) || other == GetActiveWindow()) break;
            }
        if (!disabled) return;
        ::Window transient = 0;
        if (!XGetTransientForHint(display_, w.xid, &transient) || !transient) {
            XSetTransientForHint(display_, w.xid, disabled);
            w.transientSet = true;
        }
        XChangeProperty(display_, w.xid, netWmState_, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&netWmStateModal_), 1);
        w.modal = true;
    }

    // The keyboard went to a window a modal dialog disables (a click on it, with a window
    // manager that focuses what is clicked): it goes back to the dialog, which comes
    // forward, so keys never reach a window that ignores them.
    void FocusToModal(HWND disabled) {
        HWND modal = GetActiveWindow();
        if (!modal || modal == disabled || !IsWindowEnabled(modal) || !IsWindowVisible(modal)) return;
        TopWindow* w = Find(modal);
        if (!w || !w->mapped || !w->viewable) return;
        // A window manager that keeps the stacking order itself is asked to activate it;
        // the focus is set directly too, for one that does not answer (or none at all).
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w->xid;
        e.xclient.message_type = netActiveWindow_;
        e.xclient.format = 32;
        e.xclient.data.l[0] = 1;  // from an application
        e.xclient.data.l[1] = CurrentTime;
        e.xclient.data.l[2] = long(Find(disabled) ? Find(disabled)->xid : 0);
        XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
        XRaiseWindow(display_, w->xid);
        XSetInputFocus(display_, w->xid, RevertToParent, CurrentTime);
        XFlush(display_);
    }

    void OpenInputMethod() {
        // The user's input method when one runs; else Xlib's own (compose sequences).
        XSetLocaleModifiers("");
        im_ = XOpenIM(display_, nullptr, nullptr, nullptr);
        if (!im_) {
            XSetLocaleModifiers("@im=none");
            im_ = XOpenIM(display_, nullptr, nullptr, nullptr);
        }
    }

    // The text a key press types, as code points (through the input method when there is
    // one, else the key's own Latin-1 character).
    std::vector<unsigned> TypedText(XKeyEvent& key, XIC ic) {
        std::vector<unsigned> out;
        if (!ic) {
            char text[16] = {};
            KeySym sym = NoSymbol;
            int n = XLookupString(&key, text, sizeof(text) - 1, &sym, nullptr);
            for (int i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>(text[i]));
            return out;
        }
        std::vector<char> buffer(64);
        KeySym sym = NoSymbol;
        Status status = 0;
        int n = Xutf8LookupString(ic, &key, buffer.data(), int(buffer.size()) - 1, &sym, &status);
        if (status == XBufferOverflow) {
            buffer.resize(std::size_t(n) + 1);
            n = Xutf8LookupString(ic, &key, buffer.data(), int(buffer.size()) - 1, &sym, &status);
        }
        if (status != XLookupChars && status != XLookupBoth) return out;
        // UTF-8 to code points; a broken sequence gives U+FFFD.
        auto b = [&](int k) { return static_cast<unsigned char>(buffer[std::size_t(k)]); };
        for (int i = 0; i < n;) {
            unsigned c = b(i);
            int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
            if (len == 0 || i + len > n) {
                out.push_back(0xFFFD);
                ++i;
                continue;
            }
            unsigned cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
            bool ok = true;
            for (int k = 1; k < len; ++k) {
                ok = ok && (b(i + k) & 0xC0) == 0x80;
                cp = (cp << 6) | (b(i + k) & 0x3F);
            }
            out.push_back(ok ? cp : 0xFFFD);
            i += ok ? len : 1;
        }
        return out;
    }

    void FreeShared(SharedImage& shared) {
        if (!shared.image) return;
        XShmDetach(display_, &shared.info);
        XSync(display_, False);
        XDestroyImage(shared.image);
        shmdt(shared.info.shmaddr);
        shared = SharedImage();
    }

    bool PresentShared(TopWindow& w, const TRect& area, const std::uint32_t* pixels, int width, int height) {
        if (!hasShm_) return false;
        SharedImage& shared = w.shared;
        if (shared.image && (shared.image->width != width || shared.image->height != height)) FreeShared(shared);
        if (!shared.image) {
            Visual* visual = DefaultVisual(display_, screen_);
            XImage* image = XShmCreateImage(display_, visual, unsigned(DefaultDepth(display_, screen_)), ZPixmap, nullptr,
                                            &shared.info, unsigned(width), unsigned(height));
            if (!image) return false;
            shared.info.shmid = shmget(IPC_PRIVATE, std::size_t(image->bytes_per_line) * std::size_t(height), IPC_CREAT | 0600);
            if (shared.info.shmid < 0) {
                XDestroyImage(image);
                hasShm_ = false;
                return false;
            }
            shared.info.shmaddr = image->data = static_cast<char*>(shmat(shared.info.shmid, nullptr, 0));
            shared.info.readOnly = False;
            gXErrorSeen = false;
            bool attached = image->data != reinterpret_cast<char*>(-1) && XShmAttach(display_, &shared.info);
            XSync(display_, False);
            // The segment goes once both sides hold it (or at once, when attaching failed).
            shmctl(shared.info.shmid, IPC_RMID, nullptr);
            if (!attached || gXErrorSeen || image->bytes_per_line != width * 4) {
                if (image->data != reinterpret_cast<char*>(-1)) shmdt(image->data);
                image->data = nullptr;
                XDestroyImage(image);
                shared = SharedImage();
                hasShm_ = false;  // a remote display: plain requests from now on
                return false;
            }
            shared.image = image;
        }
        auto* rows = reinterpret_cast<std::uint32_t*>(shared.image->data);
        for (int y = area.top; y < area.bottom && y < height; ++y)
            std::memcpy(rows + std::size_t(y) * std::size_t(width) + std::size_t(area.left),
                        pixels + std::size_t(y) * std::size_t(width) + std::size_t(area.left),
                        std::size_t(std::min<LONG>(area.right, width) - area.left) * 4);
        w.presentedArea = area;
        w.presentedSerial = NextRequest(display_);
        XShmPutImage(display_, w.xid, gc_, shared.image, area.left, area.top, area.left, area.top,
                     unsigned(area.Width()), unsigned(area.Height()), False);
        // The segment is written again only after the server has read it.
        XSync(display_, False);
        return true;
    }

    // A thread that only watches the connection: when the server has sent something it sets
    // the input event, then waits until the user-interface thread has read it. It never
    // calls Xlib.
    void StartWatcher() {
        // Close-on-exec: the programs this one starts (the web view's helper, the opener,
        // lp) must not hold the wake-up pipe.
        if (pipe2(stopPipe_, O_CLOEXEC) != 0) {
            stopPipe_[0] = stopPipe_[1] = -1;
            return;
        }
        int fd = ConnectionNumber(display_);
        watcher_ = std::thread([this, fd] {
            for (;;) {
                pollfd fds[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
                if (poll(fds, 2, -1) < 0) continue;
                if (fds[1].revents) return;
                std::unique_lock<std::mutex> lock(watchMutex_);
                readSinceWake_ = false;
                inputArrived_.SetEvent();
                // A short wait bound keeps a missed notification from stalling input.
                watchCv_.wait_for(lock, std::chrono::milliseconds(50), [this] { return readSinceWake_ || stopping_; });
                if (stopping_) return;
            }
        });
    }

    void StopWatcher() {
        if (!watcher_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(watchMutex_);
            stopping_ = true;
        }
        watchCv_.notify_all();
        char byte = 0;
        if (write(stopPipe_[1], &byte, 1) < 0) {
        }
        watcher_.join();
        close(stopPipe_[0]);
        close(stopPipe_[1]);
        stopPipe_[0] = stopPipe_[1] = -1;
    }

    TopWindow* Find(HWND hwnd) {
        auto it = windows_.find(hwnd);
        return it == windows_.end() ? nullptr : &it->second;
    }

    HWND HandleOf(::Window xid) const {
        auto it = byXid_.find(xid);
        return it == byXid_.end() ? nullptr : it->second;
    }

    // Pointer positions are taken from the root coordinates, so that a window that moves
    // under the pointer (a drag) does not make the pointer jump.
    TPoint Local(HWND hwnd, int xRoot, int yRoot) {
        RECT r;
        GetWindowRect(hwnd, &r);
        return TPoint(xRoot - r.left, yRoot - r.top);
    }

    void Handle(XEvent& e) {
        for (auto& filter : Hooks().filters)
            if (filter(e)) return;
        if (embeds_ && embeds_->Handle(e)) return;
        HWND hwnd = HandleOf(e.xany.window);
        if (!hwnd) return;
        switch (e.type) {
            case Expose: {
                TRect area = Bounds(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
                // The server sends an exposure as a run of rectangles (one per band of a
                // shaped window), the count saying how many follow: the run is shown at
                // once, one copy and one round trip instead of one per rectangle.
                // A rectangle exposed before the server drew a picture over it (its event
                // older than that request) already shows the picture: the first showing
                // of a window is not sent twice.
                if (TopWindow* w = Find(hwnd)) {
                    TRect inside;
                    if (e.xexpose.serial < w->presentedSerial && IntersectRect(&inside, &area, &w->presentedArea) &&
                        inside == area)
                        area = TRect();
                    if (!w->exposed.IsEmpty()) {
                        if (area.IsEmpty()) area = w->exposed;
                        else UnionRect(&area, &area, &w->exposed);
                    }
                    w->exposed = e.xexpose.count > 0 ? area : TRect();
                    if (e.xexpose.count > 0) break;
                }
                if (!area.IsEmpty()) DisplayExposedWindow(hwnd, area);
                break;
            }
            case MotionNotify: {
                // Only the latest of a run of moves matters; a move after a press or a
                // release stays after it.
                while (XEventsQueued(display_, QueuedAlready) > 0) {
                    XEvent next;
                    XPeekEvent(display_, &next);
                    if (next.type != MotionNotify || next.xany.window != e.xany.window) break;
                    XNextEvent(display_, &e);
                }
                TPoint p = Local(hwnd, e.xmotion.x_root, e.xmotion.y_root);
                InputMouseMove(hwnd, p.x, p.y);
                break;
            }
            case ButtonPress:
            case ButtonRelease: {
                TPoint p = Local(hwnd, e.xbutton.x_root, e.xbutton.y_root);
                bool down = e.type == ButtonPress;
                switch (e.xbutton.button) {
                    case Button1: InputMouseButton(hwnd, p.x, p.y, MouseButton::Left, down); break;
                    case Button2: InputMouseButton(hwnd, p.x, p.y, MouseButton::Middle, down); break;
                    case Button3: InputMouseButton(hwnd, p.x, p.y, MouseButton::Right, down); break;
                    case Button4:
                        if (down) InputMouseWheel(hwnd, p.x, p.y, WHEEL_DELTA);
                        break;
                    case Button5:
                        if (down) InputMouseWheel(hwnd, p.x, p.y, -WHEEL_DELTA);
                        break;
                    default: break;
                }
                break;
            }
            case LeaveNotify:
                if (e.xcrossing.mode == NotifyNormal && !GetCapture()) {
                    HWND under = WindowFromPoint(POINT{e.xcrossing.x_root, e.xcrossing.y_root});
                    if (!under) InputMouseLeave(hwnd);
                }
                break;
            case FocusOut:
                if (TopWindow* w = Find(hwnd); w && w->ic) XUnsetICFocus(w->ic);
                break;
            case KeyPress:
            case KeyRelease: {
                char text[16] = {};
                KeySym sym = NoSymbol;
                // The key itself (for its virtual-key code); the text typed comes below.
                XKeyEvent plain = e.xkey;
                XLookupString(&plain, text, sizeof(text) - 1, &sym, nullptr);
                WORD vk = KeySymToVirtualKey(sym);
                TopWindow* top = Find(hwnd);
                std::vector<unsigned> typed;
                if (e.type == KeyPress) typed = TypedText(e.xkey, top ? top->ic : nullptr);
                int n = int(typed.size());
                bool down = e.type == KeyPress;
                // An auto-repeated key arrives as release + press at the same time.
                if (!down && XEventsQueued(display_, QueuedAfterReading)) {
                    XEvent next;
                    XPeekEvent(display_, &next);
                    if (next.type == KeyPress && next.xkey.time == e.xkey.time && next.xkey.keycode == e.xkey.keycode) {
                        XNextEvent(display_, &next);
                        if (vk) InputKey(vk, true, true);
                        for (unsigned cp : TypedText(next.xkey, top ? top->ic : nullptr)) InputChar(cp);
                        break;
                    }
                }
                if (vk) InputKey(vk, down);
                for (int i = 0; down && i < n; ++i) InputChar(typed[std::size_t(i)]);
                break;
            }
            case ConfigureNotify: {
                // A window manager moved or resized the window: take its word for it.
                ::Window child;
                int x = 0, y = 0;
                XTranslateCoordinates(display_, e.xconfigure.window, root_, 0, 0, &x, &y, &child);
                TRect bounds = Bounds(x, y, e.xconfigure.width, e.xconfigure.height);
                TopWindow* w = Find(hwnd);
                if (w && !(TRect(w->bounds) == bounds)) {
                    w->bounds = bounds;
                    DisplayMovedWindow(hwnd, bounds);
                }
                break;
            }
            case ClientMessage:
                if (e.xclient.message_type == wmProtocols_ && Atom(e.xclient.data.l[0]) == wmDelete_)
                    PostMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            case FocusIn:
                if (TopWindow* w = Find(hwnd); w && w->ic) XSetICFocus(w->ic);
                if (e.xfocus.mode == NotifyNormal && GetActiveWindow() != hwnd && IsWindowEnabled(hwnd))
                    SetActiveWindow(hwnd);
                else if (e.xfocus.mode == NotifyNormal && e.xfocus.detail != NotifyPointer && !IsWindowEnabled(hwnd))
                    FocusToModal(hwnd);
                break;
            case MapNotify:
                if (TopWindow* w = Find(hwnd)) w->viewable = true;
                break;
            case UnmapNotify:
                if (TopWindow* w = Find(hwnd)) w->viewable = false;
                break;
            default: break;
        }
    }

    Display* display_;
    int screen_ = 0;
    ::Window root_ = 0;
    GC gc_;
    bool hasShape_ = false;
    bool hasShm_ = false;
    bool firstPresentReported_ = false;
    Atom wmDelete_ = 0;
    Atom wmProtocols_ = 0;
    Atom motifHints_ = 0;
    Atom netWmName_ = 0;
    Atom netWmState_ = 0;
    Atom netWmStateModal_ = 0;
    Atom netActiveWindow_ = 0;
    Atom utf8_ = 0;
    XIM im_ = nullptr;
    bool keyboardGrabbed_ = false;
    HWND grabbed_ = nullptr;
    std::map<HWND, TopWindow> windows_;
    std::map<::Window, HWND> byXid_;
    std::map<unsigned, Cursor> cursors_;
    std::map<int, Cursor> madeCursors_;
    TEvent inputArrived_{false, false};
    std::thread watcher_;
    std::mutex watchMutex_;
    std::condition_variable watchCv_;
    bool readSinceWake_ = false;
    bool stopping_ = false;
    int stopPipe_[2] = {-1, -1};
    int watcherEnd_ = 0;
    std::unique_ptr<X11EmbedAreas> embeds_;
};

}  // namespace

namespace x11 {
_XDisplay* CurrentDisplay() {
    Backend();
    return gCurrentX11 ? gCurrentX11->XDisplay() : nullptr;
}
unsigned long WindowOf(HWND top) { return gCurrentX11 ? gCurrentX11->XWindowOf(top) : 0; }
HWND WindowFromX(unsigned long xid) { return gCurrentX11 ? gCurrentX11->WindowFromX(xid) : nullptr; }
void AddEventFilter(std::function<bool(_XEvent&)> filter) { Hooks().filters.push_back(std::move(filter)); }
void AddWindowCreatedHook(std::function<void(HWND, unsigned long)> hook) { Hooks().created.push_back(std::move(hook)); }
}  // namespace x11

std::unique_ptr<WindowBackend> CreateX11Backend(const char* displayName) {
    // A busy display turns a connection away now and then (its queue of connections being
    // full, or the connection reset while it sets up another client): a display that is
    // named is tried a few more times, a little longer apart each time, before the program
    // gives up on it.
    constexpr int kOpenAttempts = 8;
    constexpr int kFirstPauseMs = 20;
    const char* named = displayName ? displayName : std::getenv("DISPLAY");
    Display* display = XOpenDisplay(displayName);
    for (int attempt = 1; !display && named && *named && attempt < kOpenAttempts; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kFirstPauseMs << std::min(attempt - 1, 3)));
        display = XOpenDisplay(displayName);
    }
    if (!display) return nullptr;
    // The surfaces are 32-bit 0x00RRGGBB; a display of another kind is not used.
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    if (DefaultDepth(display, DefaultScreen(display)) < 24 || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<X11Backend>(display);
}

}  // namespace platform
