// Fills, lines, shapes, edges and the system colour table, with Windows' pixel rules.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cwchar>

#include "platform/graphics/gdi_objects.h"

namespace platform {
using namespace gdi;

// ---- system colours and metrics ----
namespace {
// The standard colour scheme; the 3D colours are distinct so that edges can be told apart.
constexpr std::array<COLORREF, SYS_COLOR_COUNT> kSysColors = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219), RGB(240, 240, 240),
    RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(180, 180, 180), RGB(244, 247, 252), RGB(171, 171, 171), RGB(51, 153, 255),  RGB(255, 255, 255),
    RGB(240, 240, 240), RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(67, 78, 84),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234), RGB(215, 228, 242), RGB(51, 153, 255),
    RGB(240, 240, 240)};
std::atomic<int> gScreenWidth{1920}, gScreenHeight{1080};
}  // namespace

DWORD GetSysColor(int index) {
    return index >= 0 && index < SYS_COLOR_COUNT ? kSysColors[std::size_t(index)] : 0;
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= SYS_COLOR_COUNT) return nullptr;
    static const std::array<HBRUSH, SYS_COLOR_COUNT> brushes = [] {
        std::array<HBRUSH, SYS_COLOR_COUNT> a{};
        for (int i = 0; i < SYS_COLOR_COUNT; ++i) {
            auto* b = new HBRUSH__;
            b->color = kSysColors[std::size_t(i)];
            b->sysColor = i;
            b->stock = true;
            Register(b);
            a[std::size_t(i)] = b;
        }
        return a;
    }();
    return brushes[std::size_t(index)];
}

void SetScreenSize(int w, int h) {
    if (w > 0 && h > 0) {
        gScreenWidth = w;
        gScreenHeight = h;
    }
}

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: case SM_CXFULLSCREEN: return gScreenWidth;
    case SM_CYSCREEN: return gScreenHeight;
    case SM_CYFULLSCREEN: return gScreenHeight - 19;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
    case SM_CYVTHUMB: case SM_CXHTHUMB: case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYCAPTION: case SM_CYMENU: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXFRAME: case SM_CYFRAME: case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: case SM_CXDRAG: case SM_CYDRAG:
        return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CYSMCAPTION: return 15;
    }
    return 0;
}

// ---- paints ----
namespace gdi {

Pixel Rop2(int rop2, Pixel p, Pixel d) {
    Pixel r;
    switch (rop2) {
    case R2_BLACK: r = 0; break;
    case R2_NOTMERGEPEN: r = ~(p | d); break;
    case R2_MASKNOTPEN: r = ~p & d; break;
    case R2_NOTCOPYPEN: r = ~p; break;
    case R2_MASKPENNOT: r = p & ~d; break;
    case R2_NOT: r = ~d; break;
    case R2_XORPEN: r = p ^ d; break;
    case R2_NOTMASKPEN: r = ~(p & d); break;
    case R2_MASKPEN: r = p & d; break;
    case R2_NOTXORPEN: r = ~(p ^ d); break;
    case R2_NOP: return d;
    case R2_MERGENOTPEN: r = ~p | d; break;
    case R2_MERGEPENNOT: r = p | ~d; break;
    case R2_MERGEPEN: r = p | d; break;
    case R2_WHITE: r = 0xFFFFFF; break;
    default: r = p; break;
    }
    return r & 0xFFFFFF;
}

Pixel DeviceColor(HBITMAP bm, COLORREF c) {
    Pixel p = ToPixel(c & 0xFFFFFF);
    if (bm && bm->bpp <= 8) {
        std::size_t i = std::size_t(bm->nearestIndex(p));
        const RGBQUAD& q = bm->palette[i];
        return (Pixel(q.rgbRed) << 16) | (Pixel(q.rgbGreen) << 8) | q.rgbBlue;
    }
    return p;
}

Pixel Paint::at(int x, int y, bool* paints) const {
    *paints = true;
    if (solid) return color;
    int px = ((x - origin.x) % pw + pw) % pw, py = ((y - origin.y) % ph + ph) % ph;
    std::size_t i = std::size_t(py) * std::size_t(pw) + std::size_t(px);
    *paints = patternMask[i] != 0;
    return pattern[i];
}

Paint ColorPaint(Pixel color, int rop2) {
    Paint p;
    p.color = color & 0xFFFFFF;
    p.rop2 = rop2;
    return p;
}

namespace {
bool HatchBit(int hatch, int x, int y) {
    switch (hatch) {
    case HS_HORIZONTAL: return y == 7;
    case HS_VERTICAL: return x == 7;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 7 || y == 7;
    case HS_DIAGCROSS: return x == y || x + y == 7;
    }
    return false;
}
}  // namespace

HBRUSH ResolveBrush(HBRUSH b) {
    auto v = reinterpret_cast<std::uintptr_t>(b);
    if (v >= 1 && v <= std::uintptr_t(SYS_COLOR_COUNT)) return GetSysColorBrush(int(v) - 1);
    return Live(b);
}

Paint BrushPaint(HDC dc, HBRUSH b, int rop2) {
    Paint p;
    p.rop2 = rop2;
    b = ResolveBrush(b);
    if (!b || b->style == BS_NULL) {
        p.none = true;
        return p;
    }
    const DcState& s = dc->state;
    HBITMAP target = s.bitmap;
    p.origin = s.brushOrg;
    if (b->style == BS_SOLID) {
        COLORREF c = b->dcBrush ? s.dcBrushColor : b->sysColor >= 0 ? GetSysColor(b->sysColor) : b->color;
        p.color = DeviceColor(target, c);
        return p;
    }
    p.solid = false;
    if (b->style == BS_HATCHED) {
        p.pw = p.ph = 8;
        Pixel fg = DeviceColor(target, b->color), bg = DeviceColor(target, s.bkColor);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool on = HatchBit(b->hatch, x, y);
                p.pattern.push_back(on ? fg : bg);
                p.patternMask.push_back(on || s.bkMode == OPAQUE);
            }
        return p;
    }
    const HBITMAP__& pat = *b->pattern;
    p.pw = pat.width;
    p.ph = pat.height;
    Pixel fg = DeviceColor(target, s.textColor), bg = DeviceColor(target, s.bkColor);
    for (int y = 0; y < pat.height; ++y)
        for (int x = 0; x < pat.width; ++x) {
            Pixel c = pat.get(x, y) & 0xFFFFFF;
            if (pat.mono()) c = (c == 0) ? fg : bg;
            p.pattern.push_back(DeviceColor(target, ToColorRef(c)));
            p.patternMask.push_back(1);
        }
    return p;
}

void FillDevice(const Target& t, const RECT& r, const Paint& p) {
    if (p.none || !t.bm) return;
    HBITMAP bm = t.bm;
    for (const RECT& c : t.clip.rects()) {
        RECT a;
        if (!IntersectRect(&a, &c, &r)) continue;
        for (int y = a.top; y < a.bottom; ++y) {
            if (bm->bpp == 32 && p.solid && p.rop2 == R2_COPYPEN) {
                // The C library's wide-character fill is a tuned 32-bit fill (wchar_t is 32 bits here).
                static_assert(sizeof(wchar_t) == sizeof(Pixel));
                Pixel* row = bm->row32(y);
                std::wmemset(reinterpret_cast<wchar_t*>(row + a.left), static_cast<wchar_t>(p.color),
                             std::size_t(a.right - a.left));
                continue;
            }
            for (int x = a.left; x < a.right; ++x) {
                bool paints;
                Pixel c2 = p.at(x, y, &paints);
                if (!paints) continue;
                bm->set(x, y, Rop2(p.rop2, c2, bm->get(x, y) & 0xFFFFFF));
            }
        }
    }
}

void FillRegion(const Target& t, const Region& r, const Paint& p) {
    for (const RECT& rc : r.rects()) FillDevice(t, rc, p);
}

}  // namespace gdi

// ---- shapes as pixel masks ----
namespace {

// A shape over a box of device pixels.
struct Mask {
    RECT box{};
    int w = 0, h = 0;
    std::vector<std::uint8_t> on;
    Mask(const RECT& b) : box(b), w(std::max(0L, long(b.right - b.left))), h(std::max(0L, long(b.bottom - b.top))) {
        // Shapes larger than a bitmap could ever be are cut to the bound.
        if (std::int64_t(w) * h > kMaxBitmapPixels) w = h = 0;
        on.assign(std::size_t(w) * std::size_t(h), 0);
    }
    bool get(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && on[std::size_t(y) * w + x]; }
    // Pixels of the shape with a 4-neighbour outside it, repeated for thicker pens.
    Mask border(int width) const {
        Mask inner = *this;
        for (int i = 0; i < width; ++i) {
            Mask next = inner;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (inner.get(x, y) &&
                        !(inner.get(x - 1, y) && inner.get(x + 1, y) && inner.get(x, y - 1) && inner.get(x, y + 1)))
                        next.on[std::size_t(y) * w + x] = 0;
            inner = std::move(next);
        }
        Mask b = *this;
        for (std::size_t i = 0; i < b.on.size(); ++i) b.on[i] = on[i] && !inner.on[i];
        return b;
    }
    Mask minus(const Mask& o) const {
        Mask r = *this;
        for (std::size_t i = 0; i < r.on.size(); ++i) r.on[i] = on[i] && !o.on[i];
        return r;
    }
    Region region() const {
        std::vector<std::vector<std::pair<int, int>>> rows(static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* row = on.data() + std::size_t(y) * std::size_t(w);
            const std::uint8_t* end = row + w;
            for (const std::uint8_t* p = row; p < end;) {
                const std::uint8_t* s = std::find_if(p, end, [](std::uint8_t v) { return v != 0; });
                p = std::find(s, end, std::uint8_t(0));
                if (p > s) rows[std::size_t(y)].emplace_back(box.left + int(s - row), box.left + int(p - row));
            }
        }
        return Region::FromRows(box.top, rows);
    }
};

// The part of a shape's box that is worth computing: the window (a clip box grown by the
// pen) or, for regions, the whole box.
RECT Area(const RECT& box, const RECT& window) {
    RECT a;
    if (!IntersectRect(&a, &box, &window)) return RECT{};
    return a;
}

// Pixel centres inside the ellipse inscribed in the box.
Mask EllipseMask(const RECT& b, const RECT& window) {
    Mask m(Area(b, window));
    double rx = (double(b.right) - b.left) / 2.0, ry = (double(b.bottom) - b.top) / 2.0;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            double px = double(m.box.left) + x - b.left, py = double(m.box.top) + y - b.top;
            double dx = (px + 0.5 - rx) / rx, dy = (py + 0.5 - ry) / ry;
            m.on[std::size_t(y) * m.w + x] = dx * dx + dy * dy <= 1.0;
        }
    return m;
}

// A rounded rectangle of size W x H with corner radii rx, ry: whether the pixel centre at
// distances xm, ym from the nearer sides is inside. Rows clear of the corners are whole.
struct RoundRect {
    double W, H, rx, ry;
    RoundRect(const RECT& b, int ew, int eh)
        : W(double(b.right) - b.left), H(double(b.bottom) - b.top), rx(std::min(std::abs(double(ew)), W) / 2.0),
          ry(std::min(std::abs(double(eh)), H) / 2.0) {}
    // Distance of pixel p's centre from the nearer of two sides `size` apart.
    static double Margin(double p, double size) { return std::min(p + 0.5, size - (p + 0.5)); }
    bool WholeRow(double ym) const { return !(rx > 0 && ry > 0 && ym < ry); }
    bool Inside(double xm, double ym) const {
        if (xm >= rx) return true;
        double dx = (xm - rx) / rx, dy = (ym - ry) / ry;
        return dx * dx + dy * dy <= 1.0;
    }
};

Mask RoundRectMask(const RECT& b, int ew, int eh, const RECT& window) {
    Mask m(Area(b, window));
    RoundRect rr(b, ew, eh);
    for (int y = 0; y < m.h; ++y) {
        double ym = RoundRect::Margin(double(m.box.top) + y - b.top, rr.H);
        if (rr.WholeRow(ym)) {
            std::fill_n(m.on.begin() + std::ptrdiff_t(std::size_t(y) * m.w), m.w, std::uint8_t(1));
            continue;
        }
        for (int x = 0; x < m.w; ++x)
            m.on[std::size_t(y) * m.w + x] = rr.Inside(RoundRect::Margin(double(m.box.left) + x - b.left, rr.W), ym);
    }
    return m;
}

// The same shape as a region, a span a row: a row is inside from its first inside pixel to
// the mirror of that pixel (the test is symmetric and grows toward the middle).
Region RoundRectRegion(const RECT& b, int ew, int eh) {
    int w = int(std::max(0L, long(b.right - b.left))), h = int(std::max(0L, long(b.bottom - b.top)));
    if (std::int64_t(w) * h > kMaxBitmapPixels) w = h = 0;  // as a mask of that size would be
    RoundRect rr(b, ew, eh);
    std::vector<std::vector<std::pair<int, int>>> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        double ym = RoundRect::Margin(y, rr.H);
        int first = 0;
        if (!rr.WholeRow(ym))
            while (first < w - first && !rr.Inside(RoundRect::Margin(first, rr.W), ym)) ++first;
        if (first < w - first) rows[std::size_t(y)].emplace_back(b.left + first, b.left + w - first);
    }
    return Region::FromRows(b.top, rows);
}

// Pixel centres inside the polygon (device points), by the fill mode.
Mask PolygonMask(const std::vector<POINT>& pts, int mode, const RECT* window = nullptr) {
    RECT b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (auto& p : pts) {
        b.left = std::min(b.left, p.x);
        b.top = std::min(b.top, p.y);
        b.right = std::max(b.right, p.x);
        b.bottom = std::max(b.bottom, p.y);
    }
    if (pts.empty()) b = RECT{};
    if (window) b = Area(b, *window);
    Mask m(b);
    std::size_t n = pts.size();
    for (int y = 0; y < m.h; ++y) {
        double cy = b.top + y + 0.5;
        std::vector<std::pair<double, int>> xs;  // crossing x, direction
        for (std::size_t i = 0; i < n; ++i) {
            const POINT &a = pts[i], &c = pts[(i + 1) % n];
            if ((a.y <= cy) == (c.y <= cy)) continue;
            double x = a.x + (cy - a.y) * double(c.x - a.x) / double(c.y - a.y);
            xs.emplace_back(x, c.y > a.y ? 1 : -1);
        }
        std::sort(xs.begin(), xs.end());
        int wind = 0;
        for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
            wind += xs[i].second;
            bool inside = mode == WINDING ? wind != 0 : (i % 2) == 0;
            if (!inside) continue;
            int x0 = int(std::ceil(xs[i].first - 0.5)), x1 = int(std::ceil(xs[i + 1].first - 0.5));
            for (int x = std::max(x0, int(b.left)); x < std::min(x1, int(b.right)); ++x)
                m.on[std::size_t(y) * m.w + (x - b.left)] = 1;
        }
    }
    return m;
}

void PaintMask(const Target& t, const Mask& m, const Paint& p) {
    if (!p.none) FillRegion(t, m.region(), p);
}

}  // namespace

HRGN CreateRoundRectRgn(int l, int t, int r, int b, int ew, int eh) {
    HRGN h = CreateRectRgn(0, 0, 0, 0);
    RECT box{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
    h->region = RoundRectRegion(box, ew, eh);
    return h;
}

HRGN CreateEllipticRgn(int l, int t, int r, int b) {
    HRGN h = CreateRectRgn(0, 0, 0, 0);
    RECT box{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
    h->region = EllipseMask(box, box).region();
    return h;
}

HRGN CreatePolygonRgn(const POINT* pts, int count, int mode) {
    if (!pts || count < 3) return CreateRectRgn(0, 0, 0, 0);
    HRGN h = CreateRectRgn(0, 0, 0, 0);
    h->region = PolygonMask(std::vector<POINT>(pts, pts + count), mode).region();
    return h;
}

// ---- pens and lines ----
namespace {

struct PenState {
    bool none = true;
    int width = 1;
    int style = PS_SOLID;
    Pixel color = 0;
    Pixel gap = 0;
    bool gapOpaque = false;
    int rop2 = R2_COPYPEN;
    int step = 0;  // position in the dash pattern
};

PenState PenOf(HDC dc) {
    PenState ps;
    HPEN p = dc->state.pen;
    if (!p || p->style == PS_NULL) return ps;
    ps.none = false;
    ps.width = p->width;
    ps.style = p->style;
    ps.color = DeviceColor(dc->state.bitmap, p->dcPen ? dc->state.dcPenColor : p->color);
    ps.gap = DeviceColor(dc->state.bitmap, dc->state.bkColor);
    ps.gapOpaque = dc->state.bkMode == OPAQUE;
    ps.rop2 = dc->state.rop2;
    return ps;
}

// Whether a pixel at this step of a styled cosmetic pen is a dash (true) or a gap.
bool DashOn(int style, int step) {
    static const int dash[] = {18, 6}, dot[] = {3, 3}, dashdot[] = {9, 6, 3, 6}, dashdotdot[] = {9, 3, 3, 3, 3, 3};
    const int* pat;
    int n;
    switch (style) {
    case PS_DASH: pat = dash; n = 2; break;
    case PS_DOT: pat = dot; n = 2; break;
    case PS_DASHDOT: pat = dashdot; n = 4; break;
    case PS_DASHDOTDOT: pat = dashdotdot; n = 6; break;
    case PS_ALTERNATE: return step % 2 == 0;
    default: return true;
    }
    int total = 0;
    for (int i = 0; i < n; ++i) total += pat[i];
    int pos = step % total;
    for (int i = 0; i < n; ++i) {
        if (pos < pat[i]) return i % 2 == 0;
        pos -= pat[i];
    }
    return true;
}

void Plot(const Target& t, PenState& pen, int x, int y) {
    bool styled = pen.width == 1 && pen.style != PS_SOLID && pen.style != PS_INSIDEFRAME;
    bool on = !styled || DashOn(pen.style, pen.step);
    ++pen.step;
    if (!on && !pen.gapOpaque) return;
    Pixel c = on ? pen.color : pen.gap;
    if (pen.width <= 1) {
        if (!t.clip.contains(x, y)) return;
        t.bm->set(x, y, Rop2(pen.rop2, c, t.bm->get(x, y) & 0xFFFFFF));
        return;
    }
    int h = pen.width / 2;
    FillDevice(t, RECT{x - h, y - h, x - h + pen.width, y - h + pen.width}, ColorPaint(c, pen.rop2));
}

// Bresenham from a to b in device coordinates, without the end point.
void DeviceLine(const Target& t, PenState& pen, POINT a, POINT b) {
    long dx = std::labs(long(b.x) - a.x), dy = -std::labs(long(b.y) - a.y);
    int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    long err = dx + dy;
    long x = a.x, y = a.y;
    // Lines are walked pixel by pixel; one longer than 2^24 pixels is not drawn.
    long steps = std::max(dx, -dy);
    if (steps > (1L << 24)) return;
    RECT near = t.clip.box();
    InflateRect(&near, pen.width, pen.width);
    bool styled = pen.width == 1 && pen.style != PS_SOLID && pen.style != PS_INSIDEFRAME;
    while (x != b.x || y != b.y) {
        if (x >= near.left && x < near.right && y >= near.top && y < near.bottom) Plot(t, pen, int(x), int(y));
        else if (styled) ++pen.step;  // the dash pattern runs on outside the clip
        long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

POINT Dev(const Target& t, int x, int y) {
    return POINT{Pin(std::int64_t(x) + t.offset.x), Pin(std::int64_t(y) + t.offset.y)};
}

RECT DevBox(const Target& t, int l, int tp, int r, int b) {
    POINT a = Dev(t, std::min(l, r), std::min(tp, b)), c = Dev(t, std::max(l, r), std::max(tp, b));
    return RECT{a.x, a.y, c.x, c.y};
}

// The device area a shape needs computing in: the clip box grown by more than the pen.
RECT Window(const Target& t, int penWidth) {
    RECT w = t.clip.box();
    InflateRect(&w, penWidth + 2, penWidth + 2);
    return w;
}

// Fills the mask with the brush and draws its border with the pen; without a pen the
// shape loses its right and bottom pixel row, as on Windows.
BOOL DrawShape(HDC dc, RECT box, const std::function<Mask(const RECT&, const RECT&)>& make) {
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    PenState pen = PenOf(dc);
    if (pen.none) {
        box.right -= 1;
        box.bottom -= 1;
    }
    if (box.right <= box.left || box.bottom <= box.top) return TRUE;
    Mask m = make(box, Window(t, pen.width));
    Paint brush = BrushPaint(dc, dc->state.brush, dc->state.rop2);
    if (pen.none) {
        PaintMask(t, m, brush);
        return TRUE;
    }
    Mask edge = m.border(pen.width);
    PaintMask(t, m.minus(edge), brush);
    PaintMask(t, edge, ColorPaint(pen.color, pen.rop2));
    return TRUE;
}

}  // namespace

BOOL MoveToEx(HDC dc, int x, int y, POINT* old) {
    if (!IsLiveDc(dc)) return FALSE;
    if (old) *old = dc->state.position;
    dc->state.position = POINT{x, y};
    return TRUE;
}

BOOL GetCurrentPositionEx(HDC dc, POINT* out) {
    if (!IsLiveDc(dc) || !out) return FALSE;
    *out = dc->state.position;
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (!IsLiveDc(dc)) return FALSE;
    Target t = TargetOf(dc);
    PenState pen = PenOf(dc);
    POINT from = dc->state.position;
    dc->state.position = POINT{x, y};
    if (!pen.none && t.bm) DeviceLine(t, pen, Dev(t, from.x, from.y), Dev(t, x, y));
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* pts, int count) {
    if (!IsLiveDc(dc) || !pts || count < 2) return FALSE;
    Target t = TargetOf(dc);
    PenState pen = PenOf(dc);
    if (pen.none || !t.bm) return TRUE;
    for (int i = 0; i + 1 < count; ++i) DeviceLine(t, pen, Dev(t, pts[i].x, pts[i].y), Dev(t, pts[i + 1].x, pts[i + 1].y));
    return TRUE;
}

BOOL Polygon(HDC dc, const POINT* pts, int count) {
    if (!IsLiveDc(dc) || !pts || count < 2) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    std::vector<POINT> dev;
    for (int i = 0; i < count; ++i) dev.push_back(Dev(t, pts[i].x, pts[i].y));
    RECT window = Window(t, 1);
    PaintMask(t, PolygonMask(dev, dc->state.polyFillMode, &window), BrushPaint(dc, dc->state.brush, dc->state.rop2));
    PenState pen = PenOf(dc);
    if (pen.none) return TRUE;
    for (int i = 0; i < count; ++i) DeviceLine(t, pen, dev[std::size_t(i)], dev[std::size_t((i + 1) % count)]);
    return TRUE;
}

BOOL Rectangle(HDC dc, int l, int tp, int r, int b) {
    if (!IsLiveDc(dc)) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    RECT box = DevBox(t, l, tp, r, b);
    PenState pen = PenOf(dc);
    Paint brush = BrushPaint(dc, dc->state.brush, dc->state.rop2);
    if (pen.none) {
        FillDevice(t, RECT{box.left, box.top, box.right - 1, box.bottom - 1}, brush);
        return TRUE;
    }
    int w = pen.width;
    FillDevice(t, RECT{box.left + w, box.top + w, box.right - w, box.bottom - w}, brush);
    if (pen.width == 1 && pen.style != PS_SOLID && pen.style != PS_INSIDEFRAME) {
        POINT c[] = {{box.left, box.top}, {box.right - 1, box.top}, {box.right - 1, box.bottom - 1},
                     {box.left, box.bottom - 1}};
        for (int i = 0; i < 4; ++i) DeviceLine(t, pen, c[i], c[(i + 1) % 4]);
        return TRUE;
    }
    Paint p = ColorPaint(pen.color, pen.rop2);
    w = std::min<int>(w, std::max(1L, long(std::min(box.right - box.left, box.bottom - box.top) + 1) / 2));
    FillDevice(t, RECT{box.left, box.top, box.right, box.top + w}, p);
    FillDevice(t, RECT{box.left, box.bottom - w, box.right, box.bottom}, p);
    FillDevice(t, RECT{box.left, box.top + w, box.left + w, box.bottom - w}, p);
    FillDevice(t, RECT{box.right - w, box.top + w, box.right, box.bottom - w}, p);
    return TRUE;
}

BOOL RoundRect(HDC dc, int l, int tp, int r, int b, int ew, int eh) {
    if (!IsLiveDc(dc)) return FALSE;
    Target t = TargetOf(dc);
    return DrawShape(dc, DevBox(t, l, tp, r, b),
                     [&](const RECT& box, const RECT& window) { return RoundRectMask(box, ew, eh, window); });
}

BOOL Ellipse(HDC dc, int l, int tp, int r, int b) {
    if (!IsLiveDc(dc)) return FALSE;
    Target t = TargetOf(dc);
    return DrawShape(dc, DevBox(t, l, tp, r, b), EllipseMask);
}

namespace {
// Keeps the pixels of the mask whose angle from the box centre lies on the arc from the
// start radial to the end radial in the DC's arc direction.
void KeepSector(Mask& m, const RECT& shape, HDC dc, int xs, int ys, int xe, int ye) {
    Target t = TargetOf(dc);
    POINT s = Dev(t, xs, ys), e = Dev(t, xe, ye);
    double cx = (double(shape.left) + shape.right) / 2.0, cy = (double(shape.top) + shape.bottom) / 2.0;
    const double kTwoPi = 2 * M_PI;
    double a0 = std::atan2(cy - s.y, s.x - cx), a1 = std::atan2(cy - e.y, e.x - cx);
    bool ccw = dc->state.arcDirection == AD_COUNTERCLOCKWISE;
    double span = std::fmod((ccw ? a1 - a0 : a0 - a1) + 2 * kTwoPi, kTwoPi);
    if (span == 0) return;  // equal radials: the whole ellipse
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            double a = std::atan2(cy - (m.box.top + y + 0.5), (m.box.left + x + 0.5) - cx);
            double d = std::fmod((ccw ? a - a0 : a0 - a) + 2 * kTwoPi, kTwoPi);
            if (d > span) m.on[std::size_t(y) * m.w + x] = 0;
        }
}
}  // namespace

BOOL Arc(HDC dc, int l, int tp, int r, int b, int xs, int ys, int xe, int ye) {
    if (!IsLiveDc(dc)) return FALSE;
    Target t = TargetOf(dc);
    PenState pen = PenOf(dc);
    if (pen.none || !t.bm) return TRUE;
    RECT box = DevBox(t, l, tp, r, b);
    Mask edge = EllipseMask(box, Window(t, pen.width)).border(pen.width);
    KeepSector(edge, box, dc, xs, ys, xe, ye);
    PaintMask(t, edge, ColorPaint(pen.color, pen.rop2));
    return TRUE;
}

// ---- rectangles with brushes ----
int FillRect(HDC dc, const RECT* r, HBRUSH brush) {
    if (!IsLiveDc(dc) || !r) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm || !ResolveBrush(brush)) return FALSE;
    FillDevice(t, DevBox(t, r->left, r->top, r->right, r->bottom), BrushPaint(dc, brush));
    return TRUE;
}

int FrameRect(HDC dc, const RECT* r, HBRUSH brush) {
    if (!IsLiveDc(dc) || !r) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm || !ResolveBrush(brush)) return FALSE;
    RECT b = DevBox(t, r->left, r->top, r->right, r->bottom);
    if (b.right <= b.left || b.bottom <= b.top) return TRUE;
    Paint p = BrushPaint(dc, brush);
    FillDevice(t, RECT{b.left, b.top, b.right, b.top + 1}, p);
    FillDevice(t, RECT{b.left, b.bottom - 1, b.right, b.bottom}, p);
    FillDevice(t, RECT{b.left, b.top + 1, b.left + 1, b.bottom - 1}, p);
    FillDevice(t, RECT{b.right - 1, b.top + 1, b.right, b.bottom - 1}, p);
    return TRUE;
}

BOOL InvertRect(HDC dc, const RECT* r) {
    if (!IsLiveDc(dc) || !r) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    FillDevice(t, DevBox(t, r->left, r->top, r->right, r->bottom), ColorPaint(0, R2_NOT));
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* r) {
    if (!IsLiveDc(dc) || !r) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    RECT b = DevBox(t, r->left, r->top, r->right, r->bottom);
    if (b.right <= b.left || b.bottom <= b.top) return TRUE;
    // Every other pixel of the frame (by device position) is inverted, so drawing the same
    // rectangle twice restores it.
    auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0 && t.clip.contains(x, y)) t.bm->set(x, y, Rop2(R2_NOT, 0, t.bm->get(x, y) & 0xFFFFFF));
    };
    // Only the part of the frame inside the clip box is walked.
    RECT cb = t.clip.box();
    for (int x = std::max(b.left, cb.left); x < std::min(b.right, cb.right); ++x) {
        dot(x, b.top);
        if (b.bottom - 1 > b.top) dot(x, b.bottom - 1);
    }
    for (int y = std::max(b.top + 1, cb.top); y < std::min(b.bottom - 1, cb.bottom); ++y) {
        dot(b.left, y);
        if (b.right - 1 > b.left) dot(b.right - 1, y);
    }
    return TRUE;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    if (!IsLiveDc(dc)) return CLR_INVALID;
    Target t = TargetOf(dc);
    POINT p = Dev(t, x, y);
    if (!t.bm || !t.clip.contains(p.x, p.y)) return CLR_INVALID;
    return ToColorRef(t.bm->get(p.x, p.y) & 0xFFFFFF);
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF c) {
    if (!IsLiveDc(dc)) return CLR_INVALID;
    Target t = TargetOf(dc);
    POINT p = Dev(t, x, y);
    if (!t.bm || !t.clip.contains(p.x, p.y)) return CLR_INVALID;
    t.bm->set(p.x, p.y, ToPixel(c & 0xFFFFFF));
    return ToColorRef(t.bm->get(p.x, p.y) & 0xFFFFFF);
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF c) { return SetPixel(dc, x, y, c) != CLR_INVALID; }

// ---- regions painted ----
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush) {
    if (!IsLiveDc(dc) || !Live(rgn) || !ResolveBrush(brush)) return FALSE;
    Target t = TargetOf(dc);
    Region r = rgn->region;
    r.offset(t.offset.x, t.offset.y);
    FillRegion(t, r, BrushPaint(dc, brush));
    return TRUE;
}

BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h) {
    if (!IsLiveDc(dc) || !Live(rgn) || !ResolveBrush(brush) || w < 0 || h < 0) return FALSE;
    Region inner = rgn->region;
    for (auto [dx, dy] : {std::pair{w, 0}, {-w, 0}, {0, h}, {0, -h}}) {
        Region moved = rgn->region;
        moved.offset(dx, dy);
        inner = Region::Combine(inner, moved, Region::Op::And);
    }
    Region frame = Region::Combine(rgn->region, inner, Region::Op::Diff);
    Target t = TargetOf(dc);
    frame.offset(t.offset.x, t.offset.y);
    FillRegion(t, frame, BrushPaint(dc, brush));
    return TRUE;
}

// ---- edges ----
namespace {
// The system colours of one ring of an edge (top-left, bottom-right): raised and sunken
// rings, soft ones swapping the highlight tones, flat and mono ones drawn in one colour.
struct EdgeColors {
    int lt, rb;
};
EdgeColors EdgeColor(bool inner, bool sunken, UINT flags) {
    if (flags & BF_MONO) return inner ? EdgeColors{COLOR_WINDOW, COLOR_WINDOW} : EdgeColors{COLOR_WINDOWFRAME, COLOR_WINDOWFRAME};
    if (flags & BF_FLAT) return inner ? EdgeColors{COLOR_BTNFACE, COLOR_BTNFACE} : EdgeColors{COLOR_BTNSHADOW, COLOR_BTNSHADOW};
    bool soft = flags & BF_SOFT;
    if (!sunken) {
        if (!inner) return {soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT, COLOR_3DDKSHADOW};
        return {soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW};
    }
    if (!inner) return {soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};
    return {soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW, COLOR_3DLIGHT};
}

// One ring of an edge: left and top lines first, then right and bottom, which own the
// top-right and bottom-left corner pixels when they are drawn.
void EdgeRing(const Target& t, const RECT& b, EdgeColors c, UINT flags) {
    Paint lt = ColorPaint(DeviceColor(t.bm, GetSysColor(c.lt))), rb = ColorPaint(DeviceColor(t.bm, GetSysColor(c.rb)));
    int leftEnd = (flags & BF_BOTTOM) ? b.bottom - 1 : b.bottom, topEnd = (flags & BF_RIGHT) ? b.right - 1 : b.right;
    if (flags & BF_LEFT) FillDevice(t, RECT{b.left, b.top, b.left + 1, leftEnd}, lt);
    if (flags & BF_TOP) FillDevice(t, RECT{b.left, b.top, topEnd, b.top + 1}, lt);
    if (flags & BF_RIGHT) FillDevice(t, RECT{b.right - 1, b.top, b.right, b.bottom}, rb);
    if (flags & BF_BOTTOM) FillDevice(t, RECT{b.left, b.bottom - 1, b.right, b.bottom}, rb);
}
}  // namespace

BOOL DrawEdge(HDC dc, RECT* r, UINT edge, UINT flags) {
    if (!IsLiveDc(dc) || !r) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    RECT b = DevBox(t, r->left, r->top, r->right, r->bottom);
    UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
    // Both raised and sunken for one ring draws nothing in that ring.
    if (outer == BDR_OUTER) outer = 0;
    if (inner == BDR_INNER) inner = 0;
    RECT cur = b;
    auto shrink = [&](RECT& x) {
        if (flags & BF_LEFT) ++x.left;
        if (flags & BF_TOP) ++x.top;
        if (flags & BF_RIGHT) --x.right;
        if (flags & BF_BOTTOM) --x.bottom;
    };
    if (outer) {
        EdgeRing(t, cur, EdgeColor(false, outer == BDR_SUNKENOUTER, flags), flags);
        shrink(cur);
    }
    if (inner) {
        EdgeRing(t, cur, EdgeColor(true, inner == BDR_SUNKENINNER, flags), flags);
        shrink(cur);
    }
    if (flags & BF_MIDDLE) {
        int c = (flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE;
        FillDevice(t, cur, ColorPaint(DeviceColor(t.bm, GetSysColor(c))));
    }
    if (flags & BF_ADJUST) {
        *r = cur;
        OffsetRect(r, -t.offset.x, -t.offset.y);
    }
    return TRUE;
}

BOOL DrawFrameControl(HDC dc, RECT* r, UINT type, UINT state) {
    if (!IsLiveDc(dc) || !r) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    RECT box = *r;
    bool pushed = state & DFCS_PUSHED, flat = state & DFCS_FLAT, mono = state & DFCS_MONO;
    UINT edgeFlags = BF_RECT | BF_MIDDLE | BF_ADJUST | (flat ? BF_FLAT : 0) | (mono ? BF_MONO : 0);
    COLORREF mark = GetSysColor((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    HBRUSH markBrush = CreateSolidBrush(mark);
    switch (type) {
    case DFC_BUTTON: {
        UINT kind = state & 0x1F;
        if (kind == DFCS_BUTTONPUSH) {
            DrawEdge(dc, &box, pushed ? EDGE_SUNKEN : EDGE_RAISED, edgeFlags);
        } else if (kind == DFCS_BUTTONRADIO || (kind & 0xF) == DFCS_BUTTONRADIO) {
            HRGN rgn = CreateEllipticRgn(box.left, box.top, box.right, box.bottom);
            FillRgn(dc, rgn, GetSysColorBrush(pushed ? COLOR_BTNFACE : COLOR_WINDOW));
            FrameRgn(dc, rgn, GetSysColorBrush(COLOR_BTNSHADOW), 1, 1);
            if (state & DFCS_CHECKED) {
                int w = (box.right - box.left) / 4, h = (box.bottom - box.top) / 4;
                HRGN dot = CreateEllipticRgn(box.left + w + 1, box.top + h + 1, box.right - w - 1, box.bottom - h - 1);
                FillRgn(dc, dot, markBrush);
                DeleteObject(dot);
            }
            DeleteObject(rgn);
        } else {
            DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST | (flat ? BF_FLAT : 0) | (mono ? BF_MONO : 0));
            FillRect(dc, &box, GetSysColorBrush(pushed ? COLOR_BTNFACE : COLOR_WINDOW));
            if (state & DFCS_CHECKED) {
                // A tick three pixels thick: down-right then up-right.
                int w = box.right - box.left, h = box.bottom - box.top;
                int x0 = box.left + w / 5, y0 = box.top + h / 2 - 1, mid = box.left + w * 2 / 5;
                for (int x = x0; x < box.right - w / 5; ++x) {
                    int y = x <= mid ? y0 + (x - x0) : y0 + (mid - x0) - (x - mid);
                    RECT dot{x, y, x + 1, y + 3};
                    FillRect(dc, &dot, markBrush);
                }
            }
        }
        break;
    }
    case DFC_SCROLL:
    case DFC_CAPTION: {
        DrawEdge(dc, &box, pushed ? EDGE_SUNKEN : EDGE_RAISED, edgeFlags);
        int cx = (box.left + box.right) / 2 + (pushed ? 1 : 0), cy = (box.top + box.bottom) / 2 + (pushed ? 1 : 0);
        int n = std::max(1, int(std::min(box.right - box.left, box.bottom - box.top)) / 4);
        UINT kind = state & 0x1F;
        for (int i = 0; i < n; ++i) {
            RECT line{};
            if (type == DFC_CAPTION) {
                if (kind == DFCS_CAPTIONCLOSE) {
                    RECT a{cx - n + i * 2 / 2, cy - n + i, cx - n + i + 2, cy - n + i + 1};
                    RECT b2{cx + n - i - 2, cy - n + i, cx + n - i, cy - n + i + 1};
                    RECT c{cx - n + i, cy + n - i - 1, cx - n + i + 2, cy + n - i};
                    RECT d{cx + n - i - 2, cy + n - i - 1, cx + n - i, cy + n - i};
                    for (RECT* q : {&a, &b2, &c, &d}) FillRect(dc, q, markBrush);
                    continue;
                }
                line = kind == DFCS_CAPTIONMIN ? RECT{cx - n, cy + n - 2, cx + n, cy + n}
                                               : RECT{cx - n, cy - n, cx + n, cy - n + 2};
                FillRect(dc, &line, markBrush);
                break;
            }
            // Arrow triangles: row i of the triangle is 2i+1 pixels long.
            int lo = -i, hi = i + 1, off = i - n / 2;
            switch (kind) {
            case DFCS_SCROLLUP: line = RECT{cx + lo, cy + off, cx + hi, cy + off + 1}; break;
            case DFCS_SCROLLDOWN: case DFCS_SCROLLCOMBOBOX: line = RECT{cx + lo, cy - off, cx + hi, cy - off + 1}; break;
            case DFCS_SCROLLLEFT: line = RECT{cx + off, cy + lo, cx + off + 1, cy + hi}; break;
            case DFCS_SCROLLRIGHT: line = RECT{cx - off, cy + lo, cx - off + 1, cy + hi}; break;
            }
            FillRect(dc, &line, markBrush);
        }
        break;
    }
    default:
        DrawEdge(dc, &box, pushed ? EDGE_SUNKEN : EDGE_RAISED, edgeFlags);
        break;
    }
    DeleteObject(markBrush);
    return TRUE;
}

}  // namespace platform
