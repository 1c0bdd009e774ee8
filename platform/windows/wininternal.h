#pragma once
// The window records behind the handles, shared by the window, paint and input code of
// this folder and by the backends. Not for callers outside the platform layer.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows/window.h"

namespace platform::win {

struct ScrollBarState {
    int min = 0;
    int max = 100;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
};

struct Window {
    HWND handle = nullptr;
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    UINT classStyle = 0;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    void* object = nullptr;  // the control owning the window
    Window* parent = nullptr;
    HWND owner = nullptr;            // for top-level windows: the owning window
    std::vector<Window*> children;   // z-order: topmost first
    TRect bounds;                    // parent client coordinates (screen for top-level)
    TRect client;                    // client rectangle in window coordinates
    HRGN region = nullptr;           // window region in window coordinates, owned
    HRGN update = nullptr;           // update region in client coordinates, owned
    bool erase = false;              // WM_ERASEBKGND owed at the next BeginPaint
    bool ncPaint = false;            // WM_NCPAINT owed
    bool internalPaint = false;
    bool redraw = true;              // WM_SETREDRAW
    bool destroying = false;
    bool inPaint = false;
    ScrollBarState scroll[2];
    TRect restoreBounds;             // the bounds before it was maximised (or, a child, minimised)
    bool restoreMaximized = false;   // a minimised child: it was maximised before
    LRESULT ncPressed = 0;           // a minimised child: the caption button the left button went down on

    // Top-level windows only: the surface every DC of the tree draws on.
    HBITMAP surface = nullptr;
    std::uint32_t* pixels = nullptr;
    int surfaceWidth = 0;            // the surface's own size (rows of surfaceWidth pixels)
    int surfaceHeight = 0;
    TRect dirty;                     // surface area changed since the last present

    bool IsTopLevel() const { return parent == nullptr; }
    int Width() const { return bounds.Width(); }
    int Height() const { return bounds.Height(); }
};

// The record of a live handle, or null (destroyed, never created or foreign).
Window* Find(HWND hwnd);
// Top-level windows, topmost first.
const std::vector<Window*>& TopLevels();
Window* TopLevelOf(Window* w);
// The window's origin (its top-left corner) and its client origin in the coordinates of its
// top-level window, and in screen coordinates.
TPoint OriginInTop(const Window* w);
TPoint ClientOriginInTop(const Window* w);
TPoint ScreenOrigin(const Window* w);
// Whether the window and all its ancestors are visible.
bool IsShowing(const Window* w);
// What of the window can be seen, in its top-level window's coordinates: its (client or
// whole) rectangle, cut by its ancestors' clients, siblings above it, its children
// (clipChildren) and every window region on the way. The caller deletes the region.
HRGN VisibleRegion(const Window* w, bool wholeWindow, bool clipChildren);
// A 32-bit top-down bitmap with direct access to its pixels (null when too large).
HBITMAP NewPixels(int width, int height, void** bits);
// Marks part of a top-level surface (window coordinates) to be presented.
void MarkDirty(Window* top, const TRect& area);
// Hands every dirty surface area to the backend.
void PresentDirty();
// Whether the window or a window in it waits to be painted.
bool PaintPending(const Window* top);

}  // namespace platform::win

namespace platform::win {
// Graphics handles of every kind are graphics objects; the API takes them as HGDIOBJ.
template <class Handle> inline HGDIOBJ AsGdiObject(Handle h) { return reinterpret_cast<HGDIOBJ>(h); }
}  // namespace platform::win
