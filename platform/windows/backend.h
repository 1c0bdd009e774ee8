#pragma once
// The link between the window layer and the display: a backend shows top-level windows and
// feeds input back through the functions of input.h. Two exist: headless (windows are
// memory surfaces; tests drive them) and X11 (each top-level window is a real X window).
#include <cstdint>
#include <memory>
#include <string>

#include "platform/core/wintypes.h"
#include "platform/graphics/gdi.h"

namespace platform {

class WindowBackend {
public:
    virtual ~WindowBackend() = default;
    virtual std::string Name() const = 0;

    // The screen and its work area, in screen coordinates.
    virtual TRect ScreenRect() const = 0;
    virtual TRect WorkArea() const { return ScreenRect(); }

    // A top-level window came, went, moved or resized (screen bounds), was shown or hidden,
    // got a new shape (region in window coordinates; null: rectangular) or a new title.
    // The styles tell a framed window from a borderless one (no WS_CAPTION, drawn wholly by
    // the program) and from a popup the window manager must leave alone (WS_POPUP with
    // WS_EX_TOOLWINDOW or WS_EX_TOPMOST: menus, hints, lists).
    virtual void WindowCreated(HWND hwnd, const TRect& bounds, DWORD style, DWORD exStyle) = 0;
    virtual void WindowDestroyed(HWND hwnd) = 0;
    virtual void WindowMoved(HWND hwnd, const TRect& bounds) = 0;
    virtual void WindowShown(HWND hwnd, bool visible) = 0;
    virtual void WindowShaped(HWND hwnd, HRGN region) = 0;
    virtual void WindowTitled(HWND hwnd, const std::string& title) = 0;
    // A top-level window's WS_CAPTION bits changed: it gains or loses the display's frame.
    virtual void WindowRestyled(HWND /*hwnd*/, DWORD /*style*/, DWORD /*exStyle*/) {}
    virtual void WindowActivated(HWND /*hwnd*/) {}
    // The window went to (or came back from) the task bar.
    virtual void WindowMinimized(HWND /*hwnd*/, bool /*minimized*/) {}
    // Pixels of a top-level window's surface changed inside area (window coordinates).
    // pixels: 32-bit 0x00RRGGBB, top-down rows of stride bytes covering the whole window.
    virtual void Present(HWND hwnd, const TRect& area, const std::uint32_t* pixels, int stride) = 0;
    // The pointer shape over the window: a standard cursor id (IDC_*), or from
    // FirstCustomCursorId on a made cursor whose picture CustomCursorImage gives.
    virtual void CursorChanged(HWND /*hwnd*/, int /*cursorId*/) {}
    // A made cursor was freed: the display lets go of what it built for it.
    virtual void CursorDestroyed(int /*cursorId*/) {}
    // Pointer grab while the program holds the mouse capture.
    virtual void CaptureChanged(HWND /*hwnd*/) {}
    virtual void Beep() {}

    // Native areas for a window of another process (the web view's browser): a display
    // window inside a top-level window that embeds the client window the other process
    // puts into it, above the top-level window's own pixels. The id is the display's
    // window id, handed to the other process; 0 when the display has no such areas
    // (headless). Place puts it at rect (top-level window coordinates), shown or hidden.
    virtual std::uint64_t CreateEmbedArea(HWND /*top*/) { return 0; }
    virtual void PlaceEmbedArea(std::uint64_t /*area*/, const TRect& /*rect*/, bool /*visible*/) {}
    virtual void DestroyEmbedArea(std::uint64_t /*area*/) {}
    // Whether another process's window is embedded in the area now.
    virtual bool EmbedAreaHasClient(std::uint64_t /*area*/) { return false; }

    // Reads what the display shows in area (screen coordinates) into 32-bit 0x00RRGGBB rows
    // of stride bytes; false when the display cannot be read (the window layer then
    // composes the top-level surfaces itself).
    virtual bool ReadScreen(const TRect& /*area*/, std::uint32_t* /*pixels*/, int /*stride*/) { return false; }

    virtual TPoint CursorPos() const = 0;
    virtual void SetCursorPos(TPoint /*p*/) {}

    // Reads pending display input without blocking and hands it to the input functions.
    virtual void PollInput() = 0;
    // An event (a TEvent handle) set when display input arrives, for the message loop to
    // wait on beside its queue; null when the display brings no input of its own.
    // ReadyToWait is asked right before such a wait: false when input is already at hand.
    virtual HANDLE InputEvent() { return nullptr; }
    virtual bool ReadyToWait() { return true; }
};

// The backend in use; chosen on first use: X11 when a display is reachable and
// LUMACAST_HEADLESS is not set, headless otherwise.
WindowBackend& Backend();
// Replaces the backend (tests); must be called before the first window is created.
void SetBackend(std::unique_ptr<WindowBackend> backend);
std::unique_ptr<WindowBackend> CreateHeadlessBackend(int screenWidth = 1280, int screenHeight = 1024);
// Null when no display can be opened.
std::unique_ptr<WindowBackend> CreateX11Backend(const char* displayName = nullptr);

// The display moved or resized a top-level window itself (a window manager did): the
// window layer takes the new screen bounds without telling the display back.
void DisplayMovedWindow(HWND top, const TRect& bounds);
// The display lost what a top-level window showed in area (window coordinates): it is
// handed to Present again from the window's surface.
void DisplayExposedWindow(HWND top, const TRect& area);

// What a window shows, read from its top-level window's surface: a pixel at (x, y) of the
// window's own coordinates (CLR_INVALID outside it), or the whole window as a PNG file
// (raises EFCreateError when the file cannot be written).
COLORREF GetWindowSurfacePixel(HWND hwnd, int x, int y);
void SaveWindowImage(HWND hwnd, const std::string& pngPath);

}  // namespace platform
