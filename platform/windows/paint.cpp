// The paint cycle: update regions, WM_NCPAINT / WM_ERASEBKGND / WM_PAINT, window device
// contexts on the top-level surfaces, scrolling and the scroll-bar information.
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/windows/backend.h"
#include "platform/windows/queue.h"
#include "platform/windows/wininternal.h"

namespace platform {
namespace win {
namespace {

// A window DC draws on its top-level window's surface. A bitmap sits in one DC at a time,
// so the surface moves to the newest open DC of its window and back when that one goes.
struct DcRecord {
    HWND top = nullptr;
    HGDIOBJ initialBitmap = nullptr;
};

struct DcState {
    std::unordered_map<HDC, DcRecord> open;
    std::unordered_map<HWND, std::vector<HDC>> stacks;  // per top-level window, oldest first
};

DcState& Dcs() {
    static DcState* state = new DcState;  // outlives every window, also at exit
    return *state;
}

HDC OpenDc(Window* w, bool wholeWindow, HRGN extraClip, bool clipChildren) {
    Window* top = TopLevelOf(w);
    if (!top->surface) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    auto& stack = Dcs().stacks[top->handle];
    if (!stack.empty()) {
        // The surface moves to the new DC; the older one gets it back on release.
        HDC holder = stack.back();
        SelectObject(holder, Dcs().open[holder].initialBitmap);
    }
    HGDIOBJ initial = SelectObject(dc, AsGdiObject(top->surface));
    stack.push_back(dc);
    Dcs().open[dc] = DcRecord{top->handle, initial};
    TPoint origin = wholeWindow ? OriginInTop(w) : ClientOriginInTop(w);
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    HRGN clip = IsShowing(w) ? VisibleRegion(w, wholeWindow, clipChildren) : CreateRectRgn(0, 0, 0, 0);
    if (extraClip) CombineRgn(clip, clip, extraClip, RGN_AND);
    SelectClipRgn(dc, clip);
    DeleteObject(AsGdiObject(clip));
    return dc;
}

bool CloseDc(HDC dc) {
    auto it = Dcs().open.find(dc);
    if (it == Dcs().open.end()) return false;
    DcRecord record = it->second;
    Window* top = Find(record.top);
    if (top) {
        RECT box;
        if (GetClipBox(dc, &box) != ERROR) {
            POINT org;
            GetViewportOrgEx(dc, &org);
            OffsetRect(&box, org.x, org.y);
            MarkDirty(top, box);
        }
    }
    auto& stack = Dcs().stacks[record.top];
    bool holder = !stack.empty() && stack.back() == dc;
    SelectObject(dc, record.initialBitmap);
    stack.erase(std::remove(stack.begin(), stack.end(), dc), stack.end());
    Dcs().open.erase(it);
    DeleteDC(dc);
    if (holder && !stack.empty() && top && top->surface) {
        HDC previous = stack.back();
        SelectObject(previous, AsGdiObject(top->surface));
    }
    if (stack.empty()) Dcs().stacks.erase(record.top);
    return true;
}

HRGN ClientRegionOf(Window* w) { return CreateRectRgn(0, 0, w->client.Width(), w->client.Height()); }

// Adds (or with validate, removes) area (client coordinates of w) to w's update region,
// and passes it on to the children when asked.
void Invalidate(Window* w, HRGN area, UINT flags) {
    if (!w->redraw && !(flags & RDW_VALIDATE)) return;
    HRGN clipped = ClientRegionOf(w);
    CombineRgn(clipped, clipped, area, RGN_AND);
    if (flags & RDW_INVALIDATE) {
        if (!w->update) w->update = CreateRectRgn(0, 0, 0, 0);
        if (CombineRgn(w->update, w->update, clipped, RGN_OR) != NULLREGION && (flags & RDW_ERASE)) w->erase = true;
        if (flags & RDW_FRAME) w->ncPaint = true;
        if (flags & RDW_INTERNALPAINT) w->internalPaint = true;
    } else if (flags & RDW_VALIDATE) {
        if (w->update && CombineRgn(w->update, w->update, clipped, RGN_DIFF) == NULLREGION) {
            DeleteObject(AsGdiObject(w->update));
            w->update = nullptr;
        }
        if (flags & RDW_NOERASE) w->erase = false;
        if (flags & RDW_NOFRAME) w->ncPaint = false;
        if (flags & RDW_NOINTERNALPAINT) w->internalPaint = false;
    }
    DeleteObject(AsGdiObject(clipped));
    bool children = (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(w->style & WS_CLIPCHILDREN));
    if (!children) return;
    HRGN part = CreateRectRgn(0, 0, 0, 0);
    for (Window* c : w->children) {
        if (!(c->style & WS_VISIBLE)) continue;
        CombineRgn(part, area, nullptr, RGN_COPY);
        // area is in w's client coordinates; the child's client starts at bounds + client.
        OffsetRgn(part, -(c->bounds.left + c->client.left), -(c->bounds.top + c->client.top));
        HRGN whole = CreateRectRgn(-c->client.left, -c->client.top, c->Width() - c->client.left,
                                   c->Height() - c->client.top);
        int kind = CombineRgn(whole, whole, part, RGN_AND);
        DeleteObject(AsGdiObject(whole));
        if (kind == NULLREGION || kind == ERROR) continue;
        UINT childFlags = flags | RDW_ALLCHILDREN;
        RECT box;
        GetRgnBox(part, &box);
        if ((flags & RDW_INVALIDATE) &&
            (box.left < 0 || box.top < 0 || box.right > c->client.Width() || box.bottom > c->client.Height()))
            childFlags |= RDW_FRAME;
        Invalidate(c, part, childFlags);
    }
    DeleteObject(AsGdiObject(part));
}

bool NeedsPaint(const Window* w) { return w->update || w->ncPaint || w->internalPaint; }

void PaintTree(Window* w) {
    if (!IsShowing(w)) return;
    HWND h = w->handle;
    if (NeedsPaint(w)) UpdateWindow(h);
    if (!Find(h)) return;
    std::vector<HWND> children;
    // Bottom-most child first, so that overlapping children end up in z-order.
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) children.push_back((*it)->handle);
    for (HWND c : children)
        if (Window* cw = Find(c)) PaintTree(cw);
}

bool AnyPending(const Window* w) {
    if (!IsShowing(w)) return false;
    if (NeedsPaint(w)) return true;
    for (const Window* c : w->children)
        if (AnyPending(c)) return true;
    return false;
}

void DrawScrollBar(HDC dc, Window* w, int bar, const TRect& r) {
    FillRect(dc, &r, GetSysColorBrush(COLOR_SCROLLBAR));
    const ScrollBarState& s = w->scroll[bar];
    bool vertical = bar == SB_VERT;
    int length = vertical ? r.Height() : r.Width();
    int button = vertical ? r.Width() : r.Height();
    TRect first = vertical ? TRect(r.left, r.top, r.right, r.top + button) : TRect(r.left, r.top, r.left + button, r.bottom);
    TRect last = vertical ? TRect(r.left, r.bottom - button, r.right, r.bottom)
                          : TRect(r.right - button, r.top, r.right, r.bottom);
    DrawFrameControl(dc, &first, DFC_SCROLL, vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT);
    DrawFrameControl(dc, &last, DFC_SCROLL, vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT);
    int track = length - 2 * button;
    int range = s.max - s.min + 1;
    if (track <= 8 || range <= 0 || (s.page && int(s.page) >= range)) return;
    int thumb = s.page ? std::max(8, int(std::int64_t(track) * s.page / range)) : std::max(8, button);
    int span = range - std::max<int>(1, int(s.page)) ;
    int offset = span > 0 ? int(std::int64_t(track - thumb) * (s.pos - s.min) / span) : 0;
    offset = std::clamp(offset, 0, track - thumb);
    TRect t = vertical ? TRect(r.left, r.top + button + offset, r.right, r.top + button + offset + thumb)
                       : TRect(r.left + button + offset, r.top, r.left + button + offset + thumb, r.bottom);
    FillRect(dc, &t, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
}


// ---- the screen DC ----

// A DC on the screen is a snapshot of what the display shows, in screen coordinates, taken
// when the DC is made: reading it (BitBlt from it) is what it is for, and drawing on it
// reaches no window. Only the part inside the DC's clip is read.
struct ScreenDcRecord {
    HBITMAP bitmap = nullptr;
    HGDIOBJ initialBitmap = nullptr;
};

std::unordered_map<HDC, ScreenDcRecord>& ScreenDcs() {
    static auto* dcs = new std::unordered_map<HDC, ScreenDcRecord>;
    return *dcs;
}

// The top-level surfaces composed as they stack, for a display that cannot be read.
void ComposeTopLevels(const TRect& area, std::uint32_t* pixels, int stride) {
    const auto& tops = TopLevels();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        const Window* t = *it;
        if (!(t->style & WS_VISIBLE) || (t->style & WS_MINIMIZE) || !t->pixels) continue;
        TRect part;
        if (!IntersectRect(&part, &area, &t->bounds)) continue;
        for (int y = part.top; y < part.bottom; ++y) {
            int sy = y - t->bounds.top;
            if (sy >= t->surfaceHeight) break;
            const std::uint32_t* from = t->pixels + std::ptrdiff_t(sy) * t->surfaceWidth;
            auto* to = reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(pixels) +
                                                        std::ptrdiff_t(y - area.top) * stride);
            for (int x = part.left; x < part.right; ++x) {
                int sx = x - t->bounds.left;
                if (sx >= t->surfaceWidth) break;
                if (t->region && !PtInRegion(t->region, sx, sy)) continue;
                to[x - area.left] = from[sx] & 0xFFFFFF;
            }
        }
    }
}

HDC OpenScreenDc(HRGN clip) {
    TRect screen = Backend().ScreenRect();
    TRect area = screen;
    if (clip) {
        RECT box{};
        GetRgnBox(clip, &box);
        TRect wanted(box);
        if (!IntersectRect(&area, &screen, &wanted)) area = TRect(screen.left, screen.top, screen.left, screen.top);
    }
    // The bitmap holds the part read; the viewport puts it at its screen place.
    BITMAPINFO info{};
    info.bmiHeader.biWidth = std::max<LONG>(area.Width(), 1);
    info.bmiHeader.biHeight = -std::max<LONG>(area.Height(), 1);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return nullptr;
    if (!area.IsEmpty()) {
        auto* pixels = static_cast<std::uint32_t*>(bits);
        const int stride = area.Width() * 4;
        if (!Backend().ReadScreen(area, pixels, stride)) ComposeTopLevels(area, pixels, stride);
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ initial = SelectObject(dc, AsGdiObject(bitmap));
    SetViewportOrgEx(dc, -area.left, -area.top, nullptr);
    ScreenDcs()[dc] = ScreenDcRecord{bitmap, initial};
    return dc;
}

bool CloseScreenDc(HDC dc) {
    auto it = ScreenDcs().find(dc);
    if (it == ScreenDcs().end()) return false;
    SelectObject(dc, it->second.initialBitmap);
    DeleteObject(AsGdiObject(it->second.bitmap));
    DeleteDC(dc);
    ScreenDcs().erase(it);
    return true;
}

}  // namespace

bool PaintPending(const Window* top) { return AnyPending(top); }

// Where the scroll bars of a window lie, in window coordinates (empty when it has none).
TRect ScrollBarRect(const Window* w, int bar) {
    const int cx = GetSystemMetrics(SM_CXVSCROLL);
    if (bar == SB_VERT && (w->style & WS_VSCROLL))
        return w->exStyle & WS_EX_LEFTSCROLLBAR ? TRect(w->client.left - cx, w->client.top, w->client.left, w->client.bottom)
                                                : TRect(w->client.right, w->client.top, w->client.right + cx, w->client.bottom);
    if (bar == SB_HORZ && (w->style & WS_HSCROLL))
        return TRect(w->client.left, w->client.bottom, w->client.right, w->client.bottom + GetSystemMetrics(SM_CYHSCROLL));
    return TRect();
}

namespace {

// A minimised child window: a caption strip with its text and the restore, maximise and
// close buttons (the pressed one sunken).
void PaintMinimizedStrip(Window* w, HDC dc) {
    TRect r(0, 0, w->Width(), w->Height());
    FillRect(dc, &r, GetSysColorBrush(COLOR_ACTIVECAPTION));
    FrameRect(dc, &r, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const LRESULT codes[] = {HTMINBUTTON, HTMAXBUTTON, HTCLOSE};
    RECT first = MinimizedCaptionButton(w->Width(), w->Height(), 0);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    for (int i = 0; i < 3; ++i) {
        RECT b = MinimizedCaptionButton(w->Width(), w->Height(), i);
        FillRect(dc, &b, GetSysColorBrush(COLOR_BTNFACE));
        RECT edge = b;
        const bool down = w->ncPressed == codes[i];
        DrawEdge(dc, &edge, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        const int d = down ? 1 : 0, cx = (b.left + b.right) / 2 + d, cy = (b.top + b.bottom) / 2 + d;
        if (i == 0) {  // restore: two small windows
            Rectangle(dc, cx - 4, cy - 1, cx + 2, cy + 4);
            MoveToEx(dc, cx - 2, cy - 3, nullptr);
            LineTo(dc, cx + 4, cy - 3);
            LineTo(dc, cx + 4, cy + 2);
        } else if (i == 1) {  // maximise: one window
            Rectangle(dc, cx - 4, cy - 4, cx + 4, cy + 3);
            MoveToEx(dc, cx - 4, cy - 3, nullptr);
            LineTo(dc, cx + 4, cy - 3);
        } else {  // close: a cross
            MoveToEx(dc, cx - 3, cy - 3, nullptr);
            LineTo(dc, cx + 4, cy + 4);
            MoveToEx(dc, cx + 3, cy - 3, nullptr);
            LineTo(dc, cx - 4, cy + 4);
        }
    }
    SelectObject(dc, oldPen);
    RECT text{4, 1, first.left - 2, w->Height() - 1};
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    DrawText(dc, w->text, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

}  // namespace

void PaintNonClient(Window* w, HDC dc) {
    if (!w->IsTopLevel() && (w->style & WS_MINIMIZE)) {
        PaintMinimizedStrip(w, dc);
        return;
    }
    TRect r(0, 0, w->Width(), w->Height());
    if (w->exStyle & WS_EX_CLIENTEDGE) {
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    } else if (w->exStyle & WS_EX_STATICEDGE) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    } else if ((w->style & WS_BORDER) && !w->IsTopLevel()) {
        FrameRect(dc, &r, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    for (int bar : {SB_HORZ, SB_VERT}) {
        TRect b = ScrollBarRect(w, bar);
        if (!b.IsEmpty()) DrawScrollBar(dc, w, bar, b);
    }
    if ((w->style & WS_VSCROLL) && (w->style & WS_HSCROLL)) {
        TRect vertical = ScrollBarRect(w, SB_VERT);
        TRect corner(vertical.left, w->client.bottom, vertical.right, w->client.bottom + GetSystemMetrics(SM_CYHSCROLL));
        FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
    }
}

}  // namespace win

using win::Find;
using win::AsGdiObject;
using win::Window;

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags) {
    if (!hwnd) {
        for (Window* t : std::vector<Window*>(win::TopLevels())) RedrawWindow(t->handle, rect, region, flags);
        return TRUE;
    }
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (flags & (RDW_INVALIDATE | RDW_VALIDATE)) {
        HRGN area;
        if (region) {
            area = CreateRectRgn(0, 0, 0, 0);
            CombineRgn(area, region, nullptr, RGN_COPY);
        } else if (rect) {
            area = CreateRectRgnIndirect(rect);
        } else {
            // The whole window, non-client part included, in client coordinates.
            area = CreateRectRgn(-w->client.left, -w->client.top, w->Width() - w->client.left, w->Height() - w->client.top);
        }
        win::Invalidate(w, area, flags);
        DeleteObject(AsGdiObject(area));
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
        if (flags & RDW_ALLCHILDREN)
            win::PaintTree(w);
        else
            UpdateWindow(hwnd);
        win::PresentDirty();
    }
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    return RedrawWindow(hwnd, rect, nullptr, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase) {
    if (!region) return InvalidateRect(hwnd, nullptr, erase);
    return RedrawWindow(hwnd, nullptr, region, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    return RedrawWindow(hwnd, rect, nullptr, RDW_VALIDATE | RDW_NOCHILDREN | (rect ? 0 : RDW_NOERASE | RDW_NOFRAME));
}

BOOL ValidateRgn(HWND hwnd, HRGN region) {
    if (!region) return ValidateRect(hwnd, nullptr);
    return RedrawWindow(hwnd, nullptr, region, RDW_VALIDATE | RDW_NOCHILDREN);
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    RECT box{};
    if (w->update) GetRgnBox(w->update, &box);
    if (rect) *rect = box;
    if (erase && w->erase && !IsRectEmpty(&box)) {
        HDC dc = GetDC(hwnd);
        if (dc) {
            w->erase = false;
            win::Send(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            ReleaseDC(hwnd, dc);
        }
    }
    return IsRectEmpty(&box) ? FALSE : TRUE;
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL /*erase*/) {
    Window* w = Find(hwnd);
    if (!w || !region) return ERROR;
    if (!w->update) {
        SetRectRgn(region, 0, 0, 0, 0);
        return NULLREGION;
    }
    return CombineRgn(region, w->update, nullptr, RGN_COPY);
}

BOOL UpdateWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (!win::IsShowing(w) || !win::NeedsPaint(w)) return TRUE;
    if (w->ncPaint && !w->update && !w->internalPaint) {
        // Only the frame is owed: paint it without a WM_PAINT.
        w->ncPaint = false;
        win::Send(hwnd, WM_NCPAINT, 1, 0);
        return TRUE;
    }
    win::Send(hwnd, WM_PAINT, 0, 0);
    // A procedure that ignored WM_PAINT must not make it come back for ever.
    if ((w = Find(hwnd)) != nullptr && !w->inPaint) {
        if (w->update) {
            DeleteObject(AsGdiObject(w->update));
            w->update = nullptr;
        }
        w->erase = w->internalPaint = w->ncPaint = false;
    }
    return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    Window* w = Find(hwnd);
    if (!w || !paint) return nullptr;
    *paint = PAINTSTRUCT();
    if (w->ncPaint) {
        w->ncPaint = false;
        win::Send(hwnd, WM_NCPAINT, 1, 0);
        if (!(w = Find(hwnd))) return nullptr;
    }
    HRGN area = w->update ? w->update : CreateRectRgn(0, 0, 0, 0);
    w->update = nullptr;
    w->internalPaint = false;
    HRGN clip = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(clip, area, nullptr, RGN_COPY);
    TPoint origin = win::ClientOriginInTop(w);
    OffsetRgn(clip, origin.x, origin.y);
    HDC dc = win::OpenDc(w, false, clip, true);
    DeleteObject(AsGdiObject(clip));
    GetRgnBox(area, &paint->rcPaint);
    DeleteObject(AsGdiObject(area));
    paint->hdc = dc;
    w->inPaint = true;
    if (w->erase) {
        w->erase = false;
        paint->fErase = win::Send(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    }
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    if (Window* w = Find(hwnd)) w->inPaint = false;
    if (paint && paint->hdc) win::CloseDc(paint->hdc);
    return TRUE;
}

HDC GetDCEx(HWND hwnd, HRGN clip, DWORD flags) {
    if (!hwnd) return win::OpenScreenDc((flags & DCX_INTERSECTRGN) ? clip : nullptr);
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    HRGN extra = nullptr;
    if (clip && (flags & (DCX_INTERSECTRGN | DCX_EXCLUDERGN))) {
        // The caller's region is in the DC's own (window or client) coordinates.
        extra = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(extra, clip, nullptr, RGN_COPY);
        TPoint origin = (flags & DCX_WINDOW) ? win::OriginInTop(w) : win::ClientOriginInTop(w);
        OffsetRgn(extra, origin.x, origin.y);
        if (flags & DCX_EXCLUDERGN) {
            HRGN all = win::VisibleRegion(w, true, false);
            CombineRgn(all, all, extra, RGN_DIFF);
            DeleteObject(AsGdiObject(extra));
            extra = all;
        }
    }
    HDC dc = win::OpenDc(w, (flags & DCX_WINDOW) != 0, extra, !(flags & DCX_WINDOW) || (flags & DCX_CLIPCHILDREN));
    if (extra) DeleteObject(AsGdiObject(extra));
    if (dc && (flags & DCX_VALIDATE) && w->update) ValidateRect(hwnd, nullptr);
    return dc;
}

HDC GetDC(HWND hwnd) { return GetDCEx(hwnd, nullptr, 0); }
HDC GetWindowDC(HWND hwnd) { return GetDCEx(hwnd, nullptr, DCX_WINDOW); }

int ReleaseDC(HWND /*hwnd*/, HDC dc) { return win::CloseDc(dc) || win::CloseScreenDc(dc) ? 1 : 0; }

void PaintPendingWindows(HWND root) {
    if (root) {
        if (Window* w = Find(root)) win::PaintTree(w);
    } else {
        for (Window* t : std::vector<Window*>(win::TopLevels()))
            if (Find(t->handle)) win::PaintTree(t);
    }
    win::PresentDirty();
}

bool HasPendingPaint() {
    for (Window* t : win::TopLevels())
        if (win::AnyPending(t) || !t->dirty.IsEmpty()) return true;
    return false;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect,
                   UINT flags) {
    Window* w = Find(hwnd);
    if (!w) return ERROR;
    TRect client(0, 0, w->client.Width(), w->client.Height());
    TRect area = scroll ? TRect(*scroll) : client;
    IntersectRect(&area, &area, &client);
    TRect limit = clip ? TRect(*clip) : client;
    IntersectRect(&limit, &limit, &client);
    TRect target = area;
    OffsetRect(&target, dx, dy);
    IntersectRect(&target, &target, &limit);
    // Pixels move only where both source and destination can be seen; the rest is repainted.
    HRGN visible = win::VisibleRegion(w, false, true);
    TPoint origin = win::ClientOriginInTop(w);
    OffsetRgn(visible, -origin.x, -origin.y);
    HRGN invalid = CreateRectRgnIndirect(&limit);
    HRGN areaRgn = CreateRectRgnIndirect(&area);
    CombineRgn(invalid, invalid, areaRgn, RGN_AND);
    if (win::IsShowing(w) && !target.IsEmpty()) {
        HRGN moved = CreateRectRgnIndirect(&target);
        HRGN source = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(source, visible, nullptr, RGN_COPY);
        OffsetRgn(source, dx, dy);
        CombineRgn(moved, moved, source, RGN_AND);
        CombineRgn(moved, moved, visible, RGN_AND);
        DeleteObject(AsGdiObject(source));
        HDC dc = GetDC(hwnd);
        if (dc) {
            HRGN deviceClip = CreateRectRgn(0, 0, 0, 0);
            CombineRgn(deviceClip, moved, nullptr, RGN_COPY);
            OffsetRgn(deviceClip, origin.x, origin.y);
            SelectClipRgn(dc, deviceClip);
            DeleteObject(AsGdiObject(deviceClip));
            // Through a copy, so that overlapping source and destination are safe.
            HDC tmp = CreateCompatibleDC(nullptr);
            HBITMAP bm = CreateCompatibleBitmap(nullptr, std::max<LONG>(1, area.Width()), std::max<LONG>(1, area.Height()));
            HGDIOBJ old = SelectObject(tmp, AsGdiObject(bm));
            BitBlt(tmp, 0, 0, area.Width(), area.Height(), dc, area.left, area.top, SRCCOPY);
            BitBlt(dc, area.left + dx, area.top + dy, area.Width(), area.Height(), tmp, 0, 0, SRCCOPY);
            SelectObject(tmp, old);
            DeleteObject(AsGdiObject(bm));
            DeleteDC(tmp);
            ReleaseDC(hwnd, dc);
        }
        CombineRgn(invalid, invalid, moved, RGN_DIFF);
        DeleteObject(AsGdiObject(moved));
    }
    // A pending update moves with the pixels.
    if ((w = Find(hwnd)) != nullptr && w->update) {
        HRGN inside = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(inside, w->update, areaRgn, RGN_AND);
        CombineRgn(w->update, w->update, areaRgn, RGN_DIFF);
        OffsetRgn(inside, dx, dy);
        CombineRgn(w->update, w->update, inside, RGN_OR);
        DeleteObject(AsGdiObject(inside));
    }
    DeleteObject(AsGdiObject(areaRgn));
    DeleteObject(AsGdiObject(visible));
    if ((flags & SW_SCROLLCHILDREN) && (w = Find(hwnd)) != nullptr) {
        for (Window* c : w->children) {
            if (scroll && !TRect(c->bounds).IsEmpty()) {
                TRect probe;
                if (!IntersectRect(&probe, &c->bounds, scroll)) continue;
            }
            OffsetRect(&c->bounds, dx, dy);
            win::Send(c->handle, WM_MOVE, 0, MAKELPARAM(WORD(c->bounds.left), WORD(c->bounds.top)));
        }
        if ((w = Find(hwnd)) != nullptr)
            for (Window* c : w->children)
                if (c->style & WS_VISIBLE) RedrawWindow(c->handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    RECT box{};
    int kind = GetRgnBox(invalid, &box);
    if (update) CombineRgn(update, invalid, nullptr, RGN_COPY);
    if (updateRect) *updateRect = box;
    if ((flags & SW_INVALIDATE) && Find(hwnd))
        RedrawWindow(hwnd, nullptr, invalid, RDW_INVALIDATE | ((flags & SW_ERASE) ? RDW_ERASE : 0) | RDW_ALLCHILDREN);
    DeleteObject(AsGdiObject(invalid));
    return kind;
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip) {
    UINT flags = SW_INVALIDATE | SW_ERASE | (rect ? 0 : SW_SCROLLCHILDREN);
    return ScrollWindowEx(hwnd, dx, dy, rect, clip, nullptr, nullptr, flags) != ERROR;
}

// ---- scroll-bar information ----

namespace {
win::ScrollBarState* Bar(HWND hwnd, int bar) {
    Window* w = Find(hwnd);
    if (!w || (bar != SB_HORZ && bar != SB_VERT)) return nullptr;
    return &w->scroll[bar];
}

void RedrawFrame(HWND hwnd) { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_NOCHILDREN); }
}  // namespace

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw) {
    // A scroll bar control keeps its own numbers.
    if (bar == SB_CTL) return int(win::Send(hwnd, SBM_SETSCROLLINFO, WPARAM(redraw), reinterpret_cast<LPARAM>(info)));
    win::ScrollBarState* s = Bar(hwnd, bar);
    if (!s || !info) return 0;
    if (info->fMask & SIF_RANGE) {
        s->min = info->nMin;
        s->max = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE) s->page = std::min<UINT>(info->nPage, UINT(s->max - s->min + 1));
    if (info->fMask & SIF_POS) s->pos = info->nPos;
    // A control that is told a thumb position in 16 bits can leave the whole one here.
    if (info->fMask & SIF_TRACKPOS) s->trackPos = info->nTrackPos;
    // The position stays within the range minus the page.
    int top = s->max - std::max<int>(int(s->page) - 1, 0);
    s->pos = std::clamp(s->pos, s->min, std::max(s->min, top));
    if (redraw) RedrawFrame(hwnd);
    return s->pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
    if (bar == SB_CTL) return win::Send(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)) ? TRUE : FALSE;
    win::ScrollBarState* s = Bar(hwnd, bar);
    if (!s || !info) return FALSE;
    if (info->fMask & SIF_RANGE) {
        info->nMin = s->min;
        info->nMax = s->max;
    }
    if (info->fMask & SIF_PAGE) info->nPage = s->page;
    if (info->fMask & SIF_POS) info->nPos = s->pos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s->trackPos;
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    win::ScrollBarState* s = Bar(hwnd, bar);
    if (!s) return 0;
    int old = s->pos;
    SCROLLINFO info;
    info.fMask = SIF_POS;
    info.nPos = pos;
    SetScrollInfo(hwnd, bar, &info, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    win::ScrollBarState* s = Bar(hwnd, bar);
    return s ? s->pos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
    SCROLLINFO info;
    info.fMask = SIF_RANGE;
    info.nMin = minPos;
    info.nMax = maxPos;
    return SetScrollInfo(hwnd, bar, &info, redraw) >= 0 && Bar(hwnd, bar) ? TRUE : FALSE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    DWORD bits = bar == SB_HORZ ? WS_HSCROLL : bar == SB_VERT ? WS_VSCROLL : bar == SB_BOTH ? WS_HSCROLL | WS_VSCROLL : 0;
    DWORD style = show ? (w->style | bits) : (w->style & ~bits);
    if (style == w->style) return TRUE;
    w->style = style;
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL GetScrollBarInfo(HWND hwnd, LONG objectId, SCROLLBARINFO* info) {
    Window* w = Find(hwnd);
    if (!w || !info || (objectId != OBJID_HSCROLL && objectId != OBJID_VSCROLL)) return FALSE;
    int bar = objectId == OBJID_VSCROLL ? SB_VERT : SB_HORZ;
    TRect r = win::ScrollBarRect(w, bar);
    TPoint o = win::ScreenOrigin(w);
    *info = SCROLLBARINFO();
    if (r.IsEmpty()) {
        info->rgstate[0] = STATE_SYSTEM_INVISIBLE;
        return TRUE;
    }
    OffsetRect(&r, o.x, o.y);
    info->rcScrollBar = r;
    info->dxyLineButton = bar == SB_VERT ? r.Width() : r.Height();
    const win::ScrollBarState& s = w->scroll[bar];
    int length = bar == SB_VERT ? r.Height() : r.Width();
    int track = length - 2 * info->dxyLineButton;
    int range = s.max - s.min + 1;
    if (s.page && int(s.page) >= range) {
        // Everything fits: the bar has no thumb and cannot be used.
        info->rgstate[0] |= STATE_SYSTEM_UNAVAILABLE;
    } else if (track > 0 && range > 0) {
        int thumb = s.page ? std::max(8, int(std::int64_t(track) * s.page / range)) : info->dxyLineButton;
        int span = range - std::max<int>(1, int(s.page));
        int offset = span > 0 ? int(std::int64_t(track - thumb) * (s.pos - s.min) / span) : 0;
        info->xyThumbTop = info->dxyLineButton + std::clamp(offset, 0, std::max(0, track - thumb));
        info->xyThumbBottom = info->xyThumbTop + thumb;
    }
    if (w->style & WS_DISABLED) info->rgstate[0] |= STATE_SYSTEM_UNAVAILABLE;
    return TRUE;
}

}  // namespace platform
