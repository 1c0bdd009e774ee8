// The window tree: creation and destruction, long values, z-order, geometry, visibility,
// enabling, regions, focus, activation and capture.
#include "platform/windows/window.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/core/sysutils.h"
#include "platform/graphics/gdi_objects.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/queue.h"
#include "platform/windows/wininternal.h"

namespace platform {
namespace win {
namespace {

// Every window of the program by its handle, the window classes, and which windows have the
// focus, the activation and the mouse capture.
struct WindowTree {
    std::unordered_map<HWND, std::unique_ptr<Window>> windows;
    std::vector<Window*> topLevels;  // topmost first
    std::map<std::string, WNDCLASSA, std::less<>> classes;
    std::map<std::string, std::string, std::less<>> classNames;  // storage for lpszClassName
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
};

// Never destroyed: forms freed during the program's exit still find their windows.
WindowTree& Tree() {
    static WindowTree* tree = new WindowTree;
    return *tree;
}

std::vector<Window*>& SiblingsOf(Window* w) { return w->parent ? w->parent->children : Tree().topLevels; }

void Unlink(Window* w) {
    auto& list = SiblingsOf(w);
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

// Inserts w among its siblings: at the top, at the bottom or below after.
void Link(Window* w, HWND after) {
    auto& list = SiblingsOf(w);
    if (after == HWND_BOTTOM) {
        list.push_back(w);
        return;
    }
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST || after == nullptr) {
        // Topmost windows stay above the others.
        auto pos = list.begin();
        if (!(w->exStyle & WS_EX_TOPMOST))
            while (pos != list.end() && ((*pos)->exStyle & WS_EX_TOPMOST)) ++pos;
        list.insert(pos, w);
        return;
    }
    auto it = std::find_if(list.begin(), list.end(), [&](Window* s) { return s->handle == after; });
    list.insert(it == list.end() ? list.end() : it + 1, w);
}

TRect ComputeClient(Window* w) {
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = w->bounds;
    Send(w->handle, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&params));
    if (!Find(w->handle)) return TRect();
    // A minimised child is all caption: nothing of it is client.
    if (!w->IsTopLevel() && (w->style & WS_MINIMIZE)) return TRect();
    TRect r = params.rgrc[0];
    r = TRect(r.left - w->bounds.left, r.top - w->bounds.top, r.right - w->bounds.left, r.bottom - w->bounds.top);
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

}  // namespace

// A 32-bit top-down bitmap with direct access to its pixels.
HBITMAP NewPixels(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biBitCount = 32;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

namespace {

// Gives a top-level window a surface of its size, keeping what was drawn. False (and the
// old surface kept) when no bitmap of that size can be made.
bool AllocateSurface(Window* w) {
    if (!w->IsTopLevel()) return true;
    int width = std::max<LONG>(1, w->Width());
    int height = std::max<LONG>(1, w->Height());
    if (w->surface && w->surfaceWidth == width && w->surfaceHeight == height) return true;
    void* bits = nullptr;
    HBITMAP surface = NewPixels(width, height, &bits);
    if (!surface) return false;
    surface->sharedSurface = true;
    if (w->surface) {
        HDC from = CreateCompatibleDC(nullptr);
        HDC to = CreateCompatibleDC(nullptr);
        HGDIOBJ oldFrom = SelectObject(from, AsGdiObject(w->surface));
        HGDIOBJ oldTo = SelectObject(to, AsGdiObject(surface));
        BitBlt(to, 0, 0, std::min(width, w->surfaceWidth), std::min(height, w->surfaceHeight), from, 0, 0, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
        DeleteDC(from);
        DeleteDC(to);
        DeleteObject(AsGdiObject(w->surface));
    }
    w->surface = surface;
    w->pixels = static_cast<std::uint32_t*>(bits);
    w->surfaceWidth = width;
    w->surfaceHeight = height;
    w->dirty = TRect(0, 0, width, height);
    return true;
}

void ReleaseResources(Window* w) {
    if (w->region) DeleteObject(AsGdiObject(w->region));
    if (w->update) DeleteObject(AsGdiObject(w->update));
    if (w->surface) DeleteObject(AsGdiObject(w->surface));
    w->region = w->update = nullptr;
    w->surface = nullptr;
    w->pixels = nullptr;
    w->surfaceWidth = w->surfaceHeight = 0;
}

// Invalidates a rectangle of the parent's client area (or, for a top-level window, nothing:
// the screen behind it belongs to the display) with its children, so that what a moved or
// hidden window uncovered is painted again.
void InvalidateInParent(Window* w, const TRect& rectInParent) {
    if (!w->parent || rectInParent.IsEmpty()) return;
    RedrawWindow(w->parent->handle, &rectInParent, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void DestroyTree(Window* w) {
    w->destroying = true;
    if (Tree().capture == w->handle) ReleaseCapture();
    Send(w->handle, WM_DESTROY, 0, 0);
    // Children go after the parent heard WM_DESTROY, deepest last-created first.
    std::vector<Window*> children = w->children;
    for (Window* c : children)
        if (Find(c->handle)) DestroyTree(c);
    if (Tree().focus == w->handle) Tree().focus = nullptr;
    if (Tree().active == w->handle) Tree().active = nullptr;
    Send(w->handle, WM_NCDESTROY, 0, 0);
    InputWindowDestroyed(w->handle);
    if (w->IsTopLevel()) Backend().WindowDestroyed(w->handle);
    Unlink(w);
    ReleaseResources(w);
    // Messages still queued for the handle are dropped from now on.
    DeallocateHWnd(w->handle);
    Tree().windows.erase(w->handle);
}

}  // namespace

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w || !w->proc) return 0;
    return w->proc(hwnd, msg, wParam, lParam);
}

Window* Find(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto& windows = Tree().windows;
    auto it = windows.find(hwnd);
    return it == windows.end() ? nullptr : it->second.get();
}

const std::vector<Window*>& TopLevels() { return Tree().topLevels; }

Window* TopLevelOf(Window* w) {
    while (w && w->parent) w = w->parent;
    return w;
}

TPoint OriginInTop(const Window* w) {
    TPoint p(0, 0);
    while (w && w->parent) {
        p.x += w->bounds.left + w->parent->client.left;
        p.y += w->bounds.top + w->parent->client.top;
        w = w->parent;
    }
    return p;
}

TPoint ClientOriginInTop(const Window* w) {
    TPoint p = OriginInTop(w);
    return TPoint(p.x + w->client.left, p.y + w->client.top);
}

TPoint ScreenOrigin(const Window* w) {
    TPoint p = OriginInTop(w);
    const Window* top = w;
    while (top->parent) top = top->parent;
    return TPoint(p.x + top->bounds.left, p.y + top->bounds.top);
}

bool IsShowing(const Window* w) {
    for (const Window* a = w; a; a = a->parent) {
        if (!(a->style & WS_VISIBLE)) return false;
        // A minimised top-level window is off the screen; a minimised child shows its
        // caption strip, but nothing inside it.
        if ((a->style & WS_MINIMIZE) && (a != w || a->IsTopLevel())) return false;
    }
    return true;
}

HRGN VisibleRegion(const Window* w, bool wholeWindow, bool clipChildren) {
    TPoint origin = OriginInTop(w);
    TRect own = wholeWindow ? TRect(0, 0, w->Width(), w->Height()) : w->client;
    HRGN result = CreateRectRgn(origin.x + own.left, origin.y + own.top, origin.x + own.right, origin.y + own.bottom);
    HRGN scratch = CreateRectRgn(0, 0, 0, 0);
    auto cut = [&](const Window* other, int mode) {
        TPoint o = OriginInTop(other);
        if (other->region) {
            CombineRgn(scratch, other->region, nullptr, RGN_COPY);
            OffsetRgn(scratch, o.x, o.y);
            HRGN box = CreateRectRgn(o.x, o.y, o.x + other->Width(), o.y + other->Height());
            CombineRgn(scratch, scratch, box, RGN_AND);
            DeleteObject(AsGdiObject(box));
        } else {
            SetRectRgn(scratch, o.x, o.y, o.x + other->Width(), o.y + other->Height());
        }
        CombineRgn(result, result, scratch, mode);
    };
    // Windows that hide this one: shaped ones are cut one by one, plain rectangles are
    // gathered and cut as one region, which keeps a form of many controls linear.
    std::vector<RECT> hiding;
    auto hide = [&](const Window* other) {
        if (!(other->style & WS_VISIBLE)) return;
        if (other->region) {
            cut(other, RGN_DIFF);
            return;
        }
        TPoint o = OriginInTop(other);
        hiding.push_back(RECT{o.x, o.y, o.x + other->Width(), o.y + other->Height()});
    };
    auto cutHiding = [&] {
        if (hiding.empty()) return;
        HRGN all = CreateRectListRgn(hiding.data(), int(hiding.size()));
        CombineRgn(result, result, all, RGN_DIFF);
        DeleteObject(AsGdiObject(all));
        hiding.clear();
    };
    if (w->region) cut(w, RGN_AND);
    // A minimised window's children do not show.
    if (clipChildren && !(w->style & WS_MINIMIZE))
        for (const Window* c : w->children) hide(c);
    cutHiding();
    for (const Window* child = w; child->parent; child = child->parent) {
        const Window* parent = child->parent;
        TPoint po = ClientOriginInTop(parent);
        SetRectRgn(scratch, po.x, po.y, po.x + parent->client.Width(), po.y + parent->client.Height());
        CombineRgn(result, result, scratch, RGN_AND);
        if (parent->region) cut(parent, RGN_AND);
        // Siblings above the window hide it.
        for (const Window* s : parent->children) {
            if (s == child) break;
            hide(s);
        }
        cutHiding();
    }
    DeleteObject(AsGdiObject(scratch));
    return result;
}

void MarkDirty(Window* top, const TRect& area) {
    TRect r;
    TRect whole(0, 0, top->Width(), top->Height());
    if (!IntersectRect(&r, &area, &whole)) return;
    if (top->dirty.IsEmpty())
        top->dirty = r;
    else
        UnionRect(&top->dirty, &top->dirty, &r);
}

void PresentDirty() {
    for (Window* top : std::vector<Window*>(Tree().topLevels)) {
        if (top->dirty.IsEmpty() || !top->pixels) continue;
        TRect area = top->dirty;
        top->dirty = TRect();
        TRect surface(0, 0, top->surfaceWidth, top->surfaceHeight);
        if (!IntersectRect(&area, &area, &surface)) continue;
        if (top->style & WS_VISIBLE) Backend().Present(top->handle, area, top->pixels, top->surfaceWidth * 4);
    }
}

}  // namespace win

using win::Find;
using win::AsGdiObject;
using win::Tree;
using win::Window;

bool RegisterClassA(const WNDCLASSA& cls) {
    if (!cls.lpszClassName || !*cls.lpszClassName) return false;
    std::string name = cls.lpszClassName;
    WNDCLASSA copy = cls;
    auto& stored = Tree().classNames[name];
    stored = name;
    copy.lpszClassName = stored.c_str();
    Tree().classes[name] = copy;
    return true;
}

bool GetClassInfoA(const char* className, WNDCLASSA* out) {
    if (!className) return false;
    auto it = Tree().classes.find(std::string_view(className));
    if (it == Tree().classes.end()) return false;
    if (out) *out = it->second;
    return true;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parentHandle, HMENU menu, HINSTANCE instance, void* param) {
    Window* parent = nullptr;
    HWND owner = nullptr;
    if (parentHandle) {
        Window* p = Find(parentHandle);
        if (!p) return nullptr;
        if (style & WS_CHILD)
            parent = p;
        else
            owner = win::TopLevelOf(p)->handle;
    } else if (style & WS_CHILD) {
        return nullptr;  // a child needs a parent
    }
    auto record = std::make_unique<Window>();
    Window* w = record.get();
    // The core's handle table gives the handle (never reused) and routes queued and
    // cross-thread messages to the window's current procedure.
    w->handle = AllocateHWnd([](HWND h, UINT m, WPARAM wp, LPARAM lp) { return win::Send(h, m, wp, lp); });
    w->className = className ? className : "";
    w->text = windowName ? windowName : "";
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->owner = owner;
    w->parent = parent;
    w->id = parent ? reinterpret_cast<LONG_PTR>(menu) : 0;
    WNDCLASSA cls;
    if (GetClassInfoA(w->className.c_str(), &cls)) {
        w->proc = cls.lpfnWndProc;
        w->classStyle = cls.style;
    }
    if (!w->proc) w->proc = DefWindowProcA;
    w->bounds = Bounds(x, y, std::max(0, width), std::max(0, height));
    if (w->IsTopLevel() && !win::AllocateSurface(w)) {
        // No surface of that size can be made: the window cannot be created.
        DeallocateHWnd(w->handle);
        return nullptr;
    }
    Tree().windows.emplace(w->handle, std::move(record));
    win::Link(w, HWND_TOP);
    if (w->IsTopLevel()) {
        Backend().WindowCreated(w->handle, w->bounds, w->style, w->exStyle);
        if (!w->text.empty()) Backend().WindowTitled(w->handle, w->text);
    }
    HWND h = w->handle;
    CREATESTRUCTA cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parentHandle;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = LONG(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!win::Send(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(h);
        return nullptr;
    }
    if (!Find(h)) return nullptr;
    w->client = win::ComputeClient(w);
    if (win::Send(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        return nullptr;
    }
    if (!Find(h)) return nullptr;
    win::Send(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(WORD(w->client.Width()), WORD(w->client.Height())));
    win::Send(h, WM_MOVE, 0, MAKELPARAM(WORD(w->bounds.left), WORD(w->bounds.top)));
    if (!Find(h)) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(h, SW_SHOW);
    return h;
}

BOOL DestroyWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w || w->destroying) return FALSE;
    bool wasShowing = win::IsShowing(w);
    TRect oldBounds = w->bounds;
    Window* parent = w->parent;
    // Owned top-level windows go with their owner.
    std::vector<HWND> owned;
    for (Window* t : Tree().topLevels)
        if (t->owner == hwnd) owned.push_back(t->handle);
    for (HWND o : owned) DestroyWindow(o);
    if (!Find(hwnd)) return TRUE;
    win::DestroyTree(w);
    if (parent && wasShowing && Find(parent->handle))
        RedrawWindow(parent->handle, &oldBounds, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return TRUE;
}

// Any thread may ask (a worker checks the window it reports to): the core's handle table
// answers, and it holds every live window.
BOOL IsWindow(HWND hwnd) { return hwnd && IsHandleAllocated(hwnd) ? TRUE : FALSE; }

void* GetWindowObject(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->object : nullptr;
}

void SetWindowObject(HWND hwnd, void* object) {
    if (Window* w = Find(hwnd)) w->object = object;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    return proc(hwnd, msg, wParam, lParam);
}

LRESULT CallWindowProcOf(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return win::Send(hwnd, msg, wParam, lParam); }

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
        case GWL_STYLE: return LONG_PTR(w->style);
        case GWL_EXSTYLE: return LONG_PTR(w->exStyle);
        case GWL_ID: return w->id;
        case GWLP_USERDATA: return w->userData;
        case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent->handle : w->owner);
        default: return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrA(hwnd, index);
    switch (index) {
        case GWL_STYLE: {
            DWORD style = DWORD(value);
            // Visibility and enabling change through their own calls; the bits follow.
            bool visible = style & WS_VISIBLE;
            bool disabled = style & WS_DISABLED;
            DWORD oldCaption = w->style & WS_CAPTION;
            w->style = (style & ~(WS_VISIBLE | WS_DISABLED)) | (w->style & (WS_VISIBLE | WS_DISABLED));
            if (w->IsTopLevel() && (w->style & WS_CAPTION) != oldCaption)
                Backend().WindowRestyled(hwnd, w->style, w->exStyle);
            if (disabled != bool(w->style & WS_DISABLED)) EnableWindow(hwnd, !disabled);
            if (Find(hwnd) && visible != bool(w->style & WS_VISIBLE)) ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
            break;
        }
        case GWL_EXSTYLE: w->exStyle = DWORD(value); break;
        case GWL_ID: w->id = value; break;
        case GWLP_USERDATA: w->userData = value; break;
        case GWLP_WNDPROC:
            if (value) w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWLP_HWNDPARENT:
            if (w->IsTopLevel()) w->owner = reinterpret_cast<HWND>(value);
            break;
        default: return 0;
    }
    return old;
}

LONG GetWindowLongA(HWND hwnd, int index) { return LONG(GetWindowLongPtrA(hwnd, index)); }
LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
    LONG_PTR v = (index == GWL_STYLE || index == GWL_EXSTYLE) ? LONG_PTR(DWORD(value)) : LONG_PTR(value);
    return LONG(SetWindowLongPtrA(hwnd, index, v));
}

std::string GetWindowClassName(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->className : std::string();
}

int GetClassNameA(HWND hwnd, char* buffer, int size) {
    Window* w = Find(hwnd);
    if (!w || !buffer || size <= 0) return 0;
    int n = std::min<int>(size - 1, int(w->className.size()));
    std::memcpy(buffer, w->className.data(), std::size_t(n));
    buffer[n] = 0;
    return n;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
    if (!Find(hwnd)) return FALSE;
    return win::Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    return int(win::Send(hwnd, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) { return int(win::Send(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

HWND GetParent(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    return w->parent ? w->parent->handle : w->owner;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    if (flags == GA_PARENT) return w->parent ? w->parent->handle : nullptr;
    return win::TopLevelOf(w)->handle;
}

HWND SetParent(HWND child, HWND newParent) {
    Window* w = Find(child);
    Window* p = newParent ? Find(newParent) : nullptr;
    if (!w || (newParent && !p)) return nullptr;
    for (Window* a = p; a; a = a->parent)
        if (a == w) return nullptr;  // a window cannot move below itself
    HWND old = w->parent ? w->parent->handle : nullptr;
    if (w->parent == p) return old;
    bool visible = w->style & WS_VISIBLE;
    if (visible) win::InvalidateInParent(w, w->bounds);
    if (Tree().capture == child || IsChild(child, Tree().capture)) ReleaseCapture();
    win::Unlink(w);
    bool wasTop = w->IsTopLevel();
    w->parent = p;
    if (p) {
        w->style = (w->style & ~WS_POPUP) | WS_CHILD;
        if (wasTop) {
            Backend().WindowDestroyed(child);
            if (w->surface) DeleteObject(AsGdiObject(w->surface));
            w->surface = nullptr;
            w->pixels = nullptr;
        }
    } else {
        w->style = (w->style & ~WS_CHILD) | WS_POPUP;
    }
    win::Link(w, HWND_TOP);
    if (!p) {
        win::AllocateSurface(w);
        Backend().WindowCreated(child, w->bounds, w->style, w->exStyle);
        if (visible) Backend().WindowShown(child, true);
    }
    if (visible) RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return old;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front()->handle;
    if (cmd == GW_OWNER) return w->owner;
    auto& list = win::SiblingsOf(w);
    auto it = std::find(list.begin(), list.end(), w);
    switch (cmd) {
        case GW_HWNDFIRST: return list.front()->handle;
        case GW_HWNDLAST: return list.back()->handle;
        case GW_HWNDNEXT: return (it + 1) == list.end() ? nullptr : (*(it + 1))->handle;
        case GW_HWNDPREV: return it == list.begin() ? nullptr : (*(it - 1))->handle;
        default: return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd) {
    if (!hwnd) return Tree().topLevels.empty() ? nullptr : Tree().topLevels.front()->handle;
    return GetWindow(hwnd, GW_CHILD);
}

BOOL IsChild(HWND parent, HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w || !parent) return FALSE;
    for (Window* a = w->parent; a; a = a->parent)
        if (a->handle == parent) return TRUE;
    return FALSE;
}

HWND FindWindowA(const char* className, const char* windowName) {
    for (Window* t : Tree().topLevels) {
        if (className && t->className != className) continue;
        if (windowName && t->text != windowName) continue;
        return t->handle;
    }
    return nullptr;
}

HWND GetDesktopWindow() { return nullptr; }

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    WINDOWPOS pos;
    pos.hwnd = hwnd;
    pos.hwndInsertAfter = insertAfter;
    pos.x = (flags & SWP_NOMOVE) ? w->bounds.left : x;
    pos.y = (flags & SWP_NOMOVE) ? w->bounds.top : y;
    pos.cx = (flags & SWP_NOSIZE) ? w->Width() : std::max(0, cx);
    pos.cy = (flags & SWP_NOSIZE) ? w->Height() : std::max(0, cy);
    pos.flags = flags;
    if (!(flags & SWP_NOSENDCHANGING)) {
        win::Send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (!Find(hwnd)) return FALSE;
        pos.cx = std::max(0, pos.cx);
        pos.cy = std::max(0, pos.cy);
    }
    TRect oldBounds = w->bounds;
    bool wasVisible = w->style & WS_VISIBLE;
    TRect newBounds = Bounds(pos.x, pos.y, pos.cx, pos.cy);
    bool moved = newBounds.left != oldBounds.left || newBounds.top != oldBounds.top;
    bool sized = newBounds.Width() != oldBounds.Width() || newBounds.Height() != oldBounds.Height();
    bool zorder = !(pos.flags & SWP_NOZORDER) && insertAfter != reinterpret_cast<HWND>(-100);
    if (insertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
    if (insertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
    if (zorder) {
        win::Unlink(w);
        win::Link(w, pos.hwndInsertAfter);
    }
    w->bounds = newBounds;
    if (sized && !win::AllocateSurface(w)) {
        w->bounds = oldBounds;  // a size no surface can have: the window keeps its own
        return FALSE;
    }
    if (sized || (pos.flags & SWP_FRAMECHANGED)) w->client = win::ComputeClient(w);
    if (!Find(hwnd)) return FALSE;
    if (pos.flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (pos.flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
    bool visible = w->style & WS_VISIBLE;
    if (w->IsTopLevel()) {
        if (moved || sized) Backend().WindowMoved(hwnd, w->bounds);
        if (visible != wasVisible) Backend().WindowShown(hwnd, visible);
    }
    // Repaint what changed: the uncovered parent area and the window itself.
    if (!(pos.flags & SWP_NOREDRAW)) {
        bool changed = moved || sized || zorder || visible != wasVisible || (pos.flags & SWP_FRAMECHANGED);
        if (changed && wasVisible) win::InvalidateInParent(w, oldBounds);
        if (changed && visible) {
            if (!w->IsTopLevel()) win::InvalidateInParent(w, w->bounds);
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        }
    }
    if (visible != wasVisible) {
        if (!visible) {
            // Hidden windows give up the focus and the capture.
            if (Tree().focus && (Tree().focus == hwnd || IsChild(hwnd, Tree().focus))) Tree().focus = nullptr;
            if (Tree().capture && (Tree().capture == hwnd || IsChild(hwnd, Tree().capture))) ReleaseCapture();
        }
        InputWindowsChanged();
    }
    if (moved || sized || (pos.flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))) {
        pos.x = w->bounds.left;
        pos.y = w->bounds.top;
        pos.cx = w->Width();
        pos.cy = w->Height();
        if (!moved) pos.flags |= SWP_NOMOVE;
        if (!sized) pos.flags |= SWP_NOSIZE;
        win::Send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    }
    return Find(hwnd) ? TRUE : FALSE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    Window* w = Find(hwnd);
    if (!w || !rect) return FALSE;
    TPoint o = win::ScreenOrigin(w);
    *rect = Bounds(o.x, o.y, w->Width(), w->Height());
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    Window* w = Find(hwnd);
    if (!w || !rect) return FALSE;
    *rect = TRect(0, 0, w->client.Width(), w->client.Height());
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    Window* w = Find(hwnd);
    if (!w || !point) return FALSE;
    TPoint o = win::ScreenOrigin(w);
    point->x += o.x + w->client.left;
    point->y += o.y + w->client.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    Window* w = Find(hwnd);
    if (!w || !point) return FALSE;
    TPoint o = win::ScreenOrigin(w);
    point->x -= o.x + w->client.left;
    point->y -= o.y + w->client.top;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    POINT delta{0, 0};
    if (from) ClientToScreen(from, &delta);
    POINT back{0, 0};
    if (to) ClientToScreen(to, &back);
    for (UINT i = 0; i < count; ++i) {
        points[i].x += delta.x - back.x;
        points[i].y += delta.y - back.y;
    }
    return MAKELONG(WORD(delta.x - back.x), WORD(delta.y - back.y));
}

namespace win {
namespace {
bool ContainsWindowPoint(const Window* w, TPoint pInParent) {
    if (!w->bounds.Contains(pInParent)) return false;
    if (w->region && !PtInRegion(w->region, pInParent.x - w->bounds.left, pInParent.y - w->bounds.top)) return false;
    return true;
}
}  // namespace

// The deepest window at a point of the parent's client area, following CWP_* flags.
Window* ChildAt(Window* parent, TPoint pInClient, UINT flags) {
    for (Window* c : parent->children) {
        if ((flags & CWP_SKIPINVISIBLE) && !(c->style & WS_VISIBLE)) continue;
        if ((flags & CWP_SKIPDISABLED) && (c->style & WS_DISABLED)) continue;
        if ((flags & CWP_SKIPTRANSPARENT) && (c->exStyle & WS_EX_TRANSPARENT)) continue;
        if (ContainsWindowPoint(c, pInClient)) return c;
    }
    return nullptr;
}

Window* DeepestAt(Window* top, TPoint screen) {
    Window* w = top;
    for (;;) {
        TPoint o = ScreenOrigin(w);
        TPoint local(screen.x - o.x - w->client.left, screen.y - o.y - w->client.top);
        if (!w->client.Contains(TPoint(local.x + w->client.left, local.y + w->client.top))) return w;
        Window* c = ChildAt(w, local, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
        if (!c) return w;
        w = c;
    }
}
}  // namespace win

HWND WindowFromPoint(POINT point) {
    TPoint p(point.x, point.y);
    for (Window* t : Tree().topLevels) {
        if (!(t->style & WS_VISIBLE) || (t->style & WS_MINIMIZE)) continue;
        // A transparent popup (a drag image) lets the pointer through to what lies below.
        if (t->exStyle & WS_EX_TRANSPARENT) continue;
        if (!win::ContainsWindowPoint(t, p)) continue;
        return win::DeepestAt(t, p)->handle;
    }
    return nullptr;
}

HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags) {
    Window* w = Find(parent);
    if (!w) return nullptr;
    TRect client(0, 0, w->client.Width(), w->client.Height());
    if (!client.Contains(TPoint(point.x, point.y))) return nullptr;
    Window* c = win::ChildAt(w, TPoint(point.x, point.y), flags);
    return c ? c->handle : parent;
}

RECT MinimizedCaptionButton(int width, int height, int index) {
    constexpr int bw = 16, bh = 14, margin = 3, gap = 2;
    const int top = std::max(0, (height - bh) / 2);
    // Close at the right, apart; maximise and restore side by side left of it.
    int left = width - margin - bw;
    if (index <= 1) left -= gap + bw;
    if (index == 0) left -= bw;
    return RECT{left, top, left + bw, top + bh};
}

LRESULT MinimizedPressedButton(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && (w->style & WS_MINIMIZE) ? w->ncPressed : 0;
}

namespace {

// The first place along the parent's bottom edge that no other minimised child holds: left
// to right, then the row above.
TRect FreeIconPlace(const Window* w) {
    const Window* parent = w->parent;
    const int width = std::max(1, int(parent->client.Width())), bottom = int(parent->client.Height());
    const int perRow = std::max(1, width / MINIMIZED_CHILD_WIDTH);
    for (int i = 0;; ++i) {
        TRect place = Bounds((i % perRow) * MINIMIZED_CHILD_WIDTH, bottom - (i / perRow + 1) * MINIMIZED_CHILD_HEIGHT,
                             MINIMIZED_CHILD_WIDTH, MINIMIZED_CHILD_HEIGHT);
        bool taken = false;
        for (const Window* s : parent->children)
            if (s != w && (s->style & WS_MINIMIZE) && (s->style & WS_VISIBLE) && s->bounds.left == place.left &&
                s->bounds.top == place.top)
                taken = true;
        if (!taken || i > 10000) return place;
    }
}

}  // namespace

BOOL ShowWindow(HWND hwnd, int cmd) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    bool wasVisible = w->style & WS_VISIBLE;
    bool wasMinimized = w->style & WS_MINIMIZE;
    bool show = cmd != SW_HIDE;
    const bool child = !w->IsTopLevel();
    constexpr UINT place = SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;
    if (child && wasMinimized && cmd == SW_RESTORE && w->restoreMaximized) cmd = SW_MAXIMIZE;
    if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE) {
        if (child && !wasMinimized) {
            // Remembered for the restore: where it was, and whether it was maximised.
            w->restoreMaximized = (w->style & WS_MAXIMIZE) != 0;
            if (!w->restoreMaximized) w->restoreBounds = w->bounds;
        }
        w->style = (w->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
        if (child && !wasMinimized) {
            w->ncPressed = 0;
            TRect r = FreeIconPlace(w);
            SetWindowPos(hwnd, nullptr, r.left, r.top, r.Width(), r.Height(), place);
        }
    } else if (cmd == SW_MAXIMIZE) {
        if (!(w->style & (WS_MAXIMIZE | WS_MINIMIZE))) w->restoreBounds = w->bounds;
        w->style = (w->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
        if (w->IsTopLevel()) {
            TRect area = GetWorkArea();
            SetWindowPos(hwnd, nullptr, area.left, area.top, area.Width(), area.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (w->parent) {
            // A maximised child window (an MDI child) fills its parent's client.
            SetWindowPos(hwnd, nullptr, 0, 0, w->parent->client.Width(), w->parent->client.Height(),
                         wasMinimized ? place : SWP_NOZORDER | SWP_NOACTIVATE);
        }
    } else if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) {
        bool wasMaximized = w->style & WS_MAXIMIZE;
        w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        // Back from maximised (or a child back from minimised): where it was before.
        bool back = (wasMaximized && !wasMinimized) || (child && wasMinimized);
        if (back && !w->restoreBounds.IsEmpty()) {
            TRect r = w->restoreBounds;
            SetWindowPos(hwnd, nullptr, r.left, r.top, r.Width(), r.Height(),
                         wasMinimized ? place : SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (child && wasMinimized) {
            SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | place);
        }
    }
    if (!Find(hwnd)) return FALSE;
    bool minimized = w->style & WS_MINIMIZE;
    if (minimized != wasMinimized && w->IsTopLevel()) {
        Backend().WindowMinimized(hwnd, minimized);
        // Back from the task bar, everything is shown again.
        if (!minimized) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    if (show != wasVisible) {
        win::Send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        if (!Find(hwnd)) return FALSE;
        UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags);
    }
    if (Find(hwnd) && show && w->IsTopLevel() && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE &&
        cmd != SW_SHOWMINNOACTIVE && !(w->style & WS_MINIMIZE))
        SetActiveWindow(hwnd);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    for (; w; w = w->parent)
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return TRUE;
}

BOOL IsIconic(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && (w->style & WS_MAXIMIZE) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (bool(enable) == !wasDisabled) return wasDisabled;
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        if (Tree().focus && (Tree().focus == hwnd || IsChild(hwnd, Tree().focus))) SetFocus(nullptr);
        if (Tree().capture && (Tree().capture == hwnd || IsChild(hwnd, Tree().capture))) ReleaseCapture();
    }
    if (Find(hwnd)) win::Send(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw) {
    Window* w = Find(hwnd);
    if (!w) {
        if (region) DeleteObject(AsGdiObject(region));
        return 0;
    }
    bool visible = win::IsShowing(w);
    if (visible && redraw && !w->IsTopLevel()) win::InvalidateInParent(w, w->bounds);
    if (w->region) DeleteObject(AsGdiObject(w->region));
    w->region = region;
    if (w->IsTopLevel()) Backend().WindowShaped(hwnd, region);
    if (visible && redraw) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    InputWindowsChanged();
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region) {
    Window* w = Find(hwnd);
    if (!w || !w->region || !region) return ERROR;
    return CombineRgn(region, w->region, nullptr, RGN_COPY);
}

HWND GetFocus() { return Tree().focus; }

HWND SetFocus(HWND hwnd) {
    HWND old = Tree().focus;
    if (hwnd == old) return old;
    if (hwnd) {
        Window* w = Find(hwnd);
        if (!w) return nullptr;
        // A window in a disabled or hidden chain cannot take the focus.
        for (Window* a = w; a; a = a->parent)
            if (a->style & WS_DISABLED) return nullptr;
        Window* top = win::TopLevelOf(w);
        if (top->handle != Tree().active) SetActiveWindow(top->handle);
        if (!Find(hwnd)) return nullptr;
        old = Tree().focus;
        if (old == hwnd) return old;
    }
    Tree().focus = hwnd;
    if (old && Find(old)) win::Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    // The old window may have moved the focus elsewhere meanwhile; then that stands.
    if (hwnd && Tree().focus == hwnd && Find(hwnd)) win::Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetActiveWindow() { return Tree().active; }

HWND SetActiveWindow(HWND hwnd) {
    Window* w = hwnd ? Find(hwnd) : nullptr;
    if (hwnd && !w) return nullptr;
    if (w) w = win::TopLevelOf(w);
    HWND target = w ? w->handle : nullptr;
    HWND old = Tree().active;
    if (target == old) return old;
    Tree().active = target;
    if (old && Find(old)) {
        win::Send(old, WM_NCACTIVATE, FALSE, 0);
        win::Send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(target));
        if (Tree().focus && (Tree().focus == old || IsChild(old, Tree().focus))) SetFocus(nullptr);
    }
    if (target && Tree().active == target && Find(target)) {
        win::Send(target, WM_NCACTIVATE, TRUE, 0);
        win::Send(target, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
        if (Find(target)) Backend().WindowActivated(target);
    }
    return old;
}

BOOL SetForegroundWindow(HWND hwnd) {
    if (!Find(hwnd)) return FALSE;
    SetActiveWindow(hwnd);
    return TRUE;
}

HWND GetForegroundWindow() { return Tree().active; }

HWND GetCapture() { return Tree().capture; }

HWND SetCapture(HWND hwnd) {
    HWND old = Tree().capture;
    if (hwnd && !Find(hwnd)) return old;
    if (old == hwnd) return old;
    Tree().capture = hwnd;
    if (old && Find(old)) win::Send(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    Backend().CaptureChanged(Tree().capture);
    return old;
}

BOOL ReleaseCapture() {
    HWND old = Tree().capture;
    if (!old) return TRUE;
    Tree().capture = nullptr;
    if (Find(old)) win::Send(old, WM_CAPTURECHANGED, 0, 0);
    Backend().CaptureChanged(nullptr);
    return TRUE;
}

TRect GetWorkArea() { return Backend().WorkArea(); }

BOOL SystemParametersInfoA(UINT action, UINT param, void* out, UINT /*winIni*/) {
    if (!out) return FALSE;
    switch (action) {
        case SPI_GETWORKAREA: *static_cast<RECT*>(out) = GetWorkArea(); return TRUE;
        case SPI_GETDRAGFULLWINDOWS: *static_cast<BOOL*>(out) = TRUE; return TRUE;
        case SPI_GETTOOLTIPANIMATION:
        case SPI_GETTOOLTIPFADE: *static_cast<BOOL*>(out) = FALSE; return TRUE;
        case SPI_GETWHEELSCROLLLINES: *static_cast<UINT*>(out) = 3; return TRUE;
        default: (void)param; return FALSE;
    }
}

BOOL LockWindowUpdate(HWND hwnd) {
    static HWND locked = nullptr;
    if (hwnd && locked && locked != hwnd) return FALSE;
    HWND previous = locked;
    locked = hwnd;
    if (hwnd) {
        SendMessage(hwnd, WM_SETREDRAW, FALSE, 0);
    } else if (previous && Find(previous)) {
        SendMessage(previous, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(previous, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    return TRUE;
}

void DisplayMovedWindow(HWND top, const TRect& bounds) {
    Window* w = Find(top);
    if (!w || !w->IsTopLevel() || TRect(w->bounds) == bounds) return;
    bool sized = bounds.Width() != w->Width() || bounds.Height() != w->Height();
    w->bounds = bounds;
    if (sized) {
        w->client = win::ComputeClient(w);
        if (!Find(top)) return;
        win::AllocateSurface(w);
        RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    WINDOWPOS pos;
    pos.hwnd = top;
    pos.x = bounds.left;
    pos.y = bounds.top;
    pos.cx = bounds.Width();
    pos.cy = bounds.Height();
    pos.flags = SWP_NOZORDER | SWP_NOACTIVATE | (sized ? 0 : SWP_NOSIZE);
    win::Send(top, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

void DisplayExposedWindow(HWND top, const TRect& area) {
    Window* w = Find(top);
    if (!w || !w->IsTopLevel()) return;
    win::MarkDirty(w, area);
    // A window waiting for its paint (a window just shown) shows the exposed area with
    // that paint, which presents what is dirty: not its unpainted surface now and the
    // painted one again a moment later.
    if (!win::PaintPending(w)) win::PresentDirty();
}

COLORREF GetWindowSurfacePixel(HWND hwnd, int x, int y) {
    Window* w = Find(hwnd);
    if (!w || x < 0 || y < 0 || x >= w->Width() || y >= w->Height()) return CLR_INVALID;
    Window* top = win::TopLevelOf(w);
    TPoint o = win::OriginInTop(w);
    x += o.x;
    y += o.y;
    if (!top->pixels || x >= top->surfaceWidth || y >= top->surfaceHeight) return CLR_INVALID;
    std::uint32_t p = top->pixels[std::size_t(y) * std::size_t(top->surfaceWidth) + std::size_t(x)];
    return RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p));
}

void SaveWindowImage(HWND hwnd, const std::string& pngPath) {
    Window* w = Find(hwnd);
    if (!w) throw EInvalidOperation("SaveWindowImage: not a window");
    Window* top = win::TopLevelOf(w);
    if (!top->pixels) throw EInvalidOperation("SaveWindowImage: the window has no surface");
    TPoint o = win::OriginInTop(w);
    int width = std::max<LONG>(1, w->Width()), height = std::max<LONG>(1, w->Height());
    void* bits = nullptr;
    HBITMAP image = win::NewPixels(width, height, &bits);
    if (!image) throw EOutOfResources("SaveWindowImage: no memory for the picture");
    // Straight from the surface's pixels, which may sit in an open DC meanwhile.
    auto* out = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sx = o.x + x, sy = o.y + y;
            bool inside = sx >= 0 && sy >= 0 && sx < top->surfaceWidth && sy < top->surfaceHeight;
            out[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                inside ? top->pixels[std::size_t(sy) * std::size_t(top->surfaceWidth) + std::size_t(sx)] : 0;
        }
    try {
        SavePng(image, pngPath);
    } catch (...) {
        DeleteObject(AsGdiObject(image));
        throw;
    }
    DeleteObject(AsGdiObject(image));
}

}  // namespace platform
