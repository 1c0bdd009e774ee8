// Graphics objects, device contexts, regions and clipping.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/graphics/gdi_objects.h"

namespace platform {

// ---- rectangles ----
BOOL SetRect(RECT* r, int l, int t, int rr, int b) {
    if (!r) return FALSE;
    *r = RECT{l, t, rr, b};
    return TRUE;
}
BOOL SetRectEmpty(RECT* r) { return SetRect(r, 0, 0, 0, 0); }
BOOL CopyRect(RECT* d, const RECT* s) {
    if (!d || !s) return FALSE;
    *d = *s;
    return TRUE;
}
BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
BOOL PtInRect(const RECT* r, POINT p) { return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom; }
BOOL OffsetRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    *r = RECT{r->left + dx, r->top + dy, r->right + dx, r->bottom + dy};
    return TRUE;
}
BOOL InflateRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    *r = RECT{r->left - dx, r->top - dy, r->right + dx, r->bottom + dy};
    return TRUE;
}
BOOL IntersectRect(RECT* d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *d = RECT{};
        return FALSE;
    }
    *d = r;
    return TRUE;
}
BOOL UnionRect(RECT* d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *d = IsRectEmpty(b) ? RECT{} : *b;
    } else if (IsRectEmpty(b)) {
        *d = *a;
    } else {
        *d = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                  std::max(a->bottom, b->bottom)};
    }
    return !IsRectEmpty(d);
}
BOOL SubtractRect(RECT* d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    *d = *a;
    RECT i;
    if (!IntersectRect(&i, a, b)) return !IsRectEmpty(d);
    if (i.top == a->top && i.bottom == a->bottom) {
        if (i.left == a->left) d->left = i.right;
        else if (i.right == a->right) d->right = i.left;
    } else if (i.left == a->left && i.right == a->right) {
        if (i.top == a->top) d->top = i.bottom;
        else if (i.bottom == a->bottom) d->bottom = i.top;
    }
    if (IsRectEmpty(d)) {
        *d = RECT{};
        return FALSE;
    }
    return TRUE;
}

// ---- handle bookkeeping ----
namespace gdi {
namespace {
// Both outlive every object that may free a handle at exit.
std::mutex& LiveLock() {
    static auto* m = new std::mutex;
    return *m;
}
// The addresses of the live handles: an open table probed in a line, asked on every call
// that takes a handle, so it avoids the division and the pointer chase of a node set.
class HandleSet {
public:
    bool contains(const void* h) const {
        if (slots_.empty()) return false;
        std::size_t mask = slots_.size() - 1;
        for (std::size_t i = Hash(h) & mask;; i = (i + 1) & mask) {
            const void* s = slots_[i];
            if (s == h) return true;
            if (!s) return false;
        }
    }
    void insert(const void* h) {
        if ((used_ + 1) * 2 > slots_.size()) Rehash(std::max<std::size_t>(16, (live_ + 1) * 4));
        std::size_t mask = slots_.size() - 1;
        std::size_t grave = slots_.size();
        for (std::size_t i = Hash(h) & mask;; i = (i + 1) & mask) {
            const void* s = slots_[i];
            if (s == h) return;
            if (s == Grave() && grave == slots_.size()) grave = i;
            if (!s) {
                if (grave != slots_.size()) {
                    slots_[grave] = h;
                } else {
                    slots_[i] = h;
                    ++used_;
                }
                ++live_;
                return;
            }
        }
    }
    void erase(const void* h) {
        if (slots_.empty()) return;
        std::size_t mask = slots_.size() - 1;
        for (std::size_t i = Hash(h) & mask;; i = (i + 1) & mask) {
            const void* s = slots_[i];
            if (!s) return;
            if (s == h) {
                slots_[i] = Grave();
                --live_;
                return;
            }
        }
    }

    static std::size_t Hash(const void* h) {
        std::uint64_t x = std::uint64_t(reinterpret_cast<std::uintptr_t>(h));
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdULL;
        x ^= x >> 33;
        return std::size_t(x);
    }

private:
    // No object lives at address 1: it marks a freed slot, which keeps later probes going.
    static const void* Grave() { return reinterpret_cast<const void*>(std::uintptr_t(1)); }
    void Rehash(std::size_t capacity) {
        std::size_t size = 16;
        while (size < capacity) size *= 2;
        std::vector<const void*> old(size, nullptr);
        old.swap(slots_);
        used_ = live_ = 0;
        for (const void* s : old)
            if (s && s != Grave()) insert(s);
    }
    std::vector<const void*> slots_;
    std::size_t used_ = 0;  // live and freed slots
    std::size_t live_ = 0;
};

HandleSet& LiveSet() {
    static auto* s = new HandleSet;
    return *s;
}

// The handles last found alive, one per slot by address: drawing asks about the same DC and
// objects over and over. A handle leaves its slot as it dies, under the table's lock, so a
// remembered handle is always a live one.
constexpr std::size_t kRememberedSlots = 256;
std::atomic<const void*>* Remembered() {
    static auto* slots = new std::atomic<const void*>[kRememberedSlots]();
    return slots;
}
std::atomic<const void*>& SlotOf(const void* h) {
    return Remembered()[(HandleSet::Hash(h) >> 8) % kRememberedSlots];
}
}  // namespace

bool IsLiveObject(const void* h) {
    if (!h) return false;
    std::atomic<const void*>& slot = SlotOf(h);
    if (slot.load(std::memory_order_acquire) == h) return true;
    std::lock_guard lock(LiveLock());
    bool live = LiveSet().contains(h);
    if (live) slot.store(h, std::memory_order_release);
    return live;
}
bool IsLiveDc(HDC dc) { return IsLiveObject(dc); }
void Register(const void* h) {
    std::lock_guard lock(LiveLock());
    LiveSet().insert(h);
}
void Unregister(const void* h) {
    std::lock_guard lock(LiveLock());
    LiveSet().erase(h);
    const void* expected = h;
    SlotOf(h).compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
}

// Stock objects are shared by every thread and never freed, so they are not counted.
void Use(HGDIOBJ o) {
    if (o && !o->stock) ++o->uses;
}
void Release(HGDIOBJ o) {
    if (!o || o->stock) return;
    if (--o->uses <= 0 && o->deleted && !o->stock) {
        Unregister(o);
        delete o;
    }
}
}  // namespace gdi

using namespace gdi;

// ---- bitmaps ----
namespace {
int StrideOf(int width, int bpp) { return ((width * bpp + 31) / 32) * 4; }

Pixel FromQuad(const RGBQUAD& q) { return (Pixel(q.rgbRed) << 16) | (Pixel(q.rgbGreen) << 8) | q.rgbBlue; }

int MaskShift(DWORD m) {
    int s = 0;
    while (m && !(m & 1)) {
        m >>= 1;
        ++s;
    }
    return s;
}
int MaskBits(DWORD m) {
    m >>= MaskShift(m);
    int n = 0;
    while (m & 1) {
        m >>= 1;
        ++n;
    }
    return n;
}
// Expands a masked field to 8 bits by repeating its bits (a 5-bit 3 gives 24, 31 gives 255).
BYTE Field(DWORD v, DWORD mask) {
    if (!mask) return 0;
    int bits = std::min(MaskBits(mask), 8);
    DWORD f = ((v & mask) >> MaskShift(mask)) >> (MaskBits(mask) - bits);
    DWORD out = 0;
    for (int pos = 8 - bits;; pos -= bits) {
        out |= pos >= 0 ? f << pos : f >> -pos;
        if (pos <= 0) break;
    }
    return BYTE(out);
}
DWORD Pack(BYTE c, DWORD mask) {
    if (!mask) return 0;
    int bits = MaskBits(mask);
    DWORD f = bits >= 8 ? DWORD(c) << (bits - 8) : DWORD(c) >> (8 - bits);
    return (f << MaskShift(mask)) & mask;
}
}  // namespace

int HBITMAP__::nearestIndex(Pixel p) const {
    int best = 0;
    long bestD = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        long dr = long((p >> 16) & 0xFF) - palette[i].rgbRed, dg = long((p >> 8) & 0xFF) - palette[i].rgbGreen,
             db = long(p & 0xFF) - palette[i].rgbBlue;
        long d = dr * dr + dg * dg + db * db;
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = int(i);
        }
    }
    return best;
}

Pixel HBITMAP__::get(int x, int y) const {
    const BYTE* r = row(y);
    switch (bpp) {
    case 32: return reinterpret_cast<const Pixel*>(r)[x];
    case 24: return Pixel(r[x * 3]) | (Pixel(r[x * 3 + 1]) << 8) | (Pixel(r[x * 3 + 2]) << 16);
    case 16: {
        DWORD v = DWORD(r[x * 2]) | (DWORD(r[x * 2 + 1]) << 8);
        return (Pixel(Field(v, masks[0])) << 16) | (Pixel(Field(v, masks[1])) << 8) | Field(v, masks[2]);
    }
    case 8: {
        std::size_t i = r[x];
        return i < palette.size() ? FromQuad(palette[i]) : 0;
    }
    case 4: {
        std::size_t i = (x & 1) ? (r[x / 2] & 0xF) : (r[x / 2] >> 4);
        return i < palette.size() ? FromQuad(palette[i]) : 0;
    }
    case 1: {
        std::size_t i = (r[x / 8] >> (7 - (x & 7))) & 1;
        return i < palette.size() ? FromQuad(palette[i]) : 0;
    }
    }
    return 0;
}

void HBITMAP__::set(int x, int y, Pixel p) {
    BYTE* r = row(y);
    switch (bpp) {
    case 32: reinterpret_cast<Pixel*>(r)[x] = p; return;
    case 24:
        r[x * 3] = BYTE(p);
        r[x * 3 + 1] = BYTE(p >> 8);
        r[x * 3 + 2] = BYTE(p >> 16);
        return;
    case 16: {
        DWORD v = Pack(BYTE(p >> 16), masks[0]) | Pack(BYTE(p >> 8), masks[1]) | Pack(BYTE(p), masks[2]);
        r[x * 2] = BYTE(v);
        r[x * 2 + 1] = BYTE(v >> 8);
        return;
    }
    case 8: r[x] = BYTE(nearestIndex(p)); return;
    case 4: {
        BYTE i = BYTE(nearestIndex(p));
        r[x / 2] = (x & 1) ? BYTE((r[x / 2] & 0xF0) | i) : BYTE((r[x / 2] & 0x0F) | (i << 4));
        return;
    }
    case 1: {
        BYTE bit = BYTE(0x80 >> (x & 7));
        if (nearestIndex(p)) r[x / 8] |= bit;
        else r[x / 8] &= BYTE(~bit);
        return;
    }
    }
}

HBITMAP NewBitmap(int width, int height, int bpp, bool bottomUp) {
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        std::int64_t(width) * height > kMaxBitmapPixels)
        return nullptr;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;
    // Owned until registered, so that running out of memory midway leaks nothing.
    auto b = std::make_unique<HBITMAP__>();
    b->width = width;
    b->height = height;
    b->bpp = bpp;
    b->bottomUp = bottomUp;
    b->stride = StrideOf(width, bpp);
    b->storage.resize(std::size_t(b->stride) * height / 4);  // zero rows, see ZeroedAllocator
    if (bpp == 1) b->palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    if (bpp == 4 || bpp == 8) {
        b->palette.resize(std::size_t(1) << bpp);
        for (std::size_t i = 0; i < b->palette.size(); ++i) {
            BYTE v = BYTE(i * 255 / (b->palette.size() - 1));
            b->palette[i] = RGBQUAD{v, v, v, 0};
        }
    }
    Register(b.get());
    return b.release();
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    (void)dc;
    // A zero size gives a 1x1 bitmap, as Windows does.
    if (width == 0 || height == 0) width = height = 1;
    HBITMAP b = NewBitmap(width, height, 32, false);
    if (b) b->dibSection = false;
    return b;
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
    if (planes != 1) return nullptr;
    if (width == 0 || height == 0) width = height = 1;
    HBITMAP b = NewBitmap(width, height, int(bpp), false);
    if (b) b->dibSection = false;
    if (b && bits) {
        // Rows of device-dependent bitmaps are WORD-aligned.
        int srcStride = ((width * int(bpp) + 15) / 16) * 2;
        for (int y = 0; y < height; ++y)
            std::memcpy(b->row(y), static_cast<const BYTE*>(bits) + std::size_t(y) * srcStride,
                        std::min(srcStride, b->stride));
    }
    return b;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
    if (bits) *bits = nullptr;
    if (!info) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return nullptr;
    if (h.biHeight == INT32_MIN) return nullptr;
    HBITMAP b = NewBitmap(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, h.biBitCount, h.biHeight > 0);
    if (!b) return nullptr;
    b->dibSection = true;
    const RGBQUAD* colors = info->bmiColors;
    if (h.biBitCount <= 8) {
        std::size_t n = h.biClrUsed ? std::min<std::size_t>(h.biClrUsed, std::size_t(1) << h.biBitCount)
                                    : std::size_t(1) << h.biBitCount;
        b->palette.assign(colors, colors + n);
    } else if (h.biBitCount == 16) {
        if (h.biCompression == BI_BITFIELDS) {
            const DWORD* m = reinterpret_cast<const DWORD*>(colors);
            std::copy(m, m + 3, b->masks);
        }
    }
    if (bits) *bits = b->bits();
    return b;
}

// ---- stock objects ----
namespace {
template <class T> T* Stock(T* o) {
    o->stock = true;
    Register(o);
    return o;
}
HBRUSH MakeBrush(UINT style, COLORREF c, int hatch = 0) {
    auto* b = new HBRUSH__;
    b->style = style;
    b->color = c;
    b->hatch = hatch;
    return b;
}
HPEN MakePen(int style, int width, COLORREF c) {
    auto* p = new HPEN__;
    p->style = style;
    p->width = width;
    p->color = c;
    return p;
}
HFONT MakeFont(const char* face, int height, int weight) {
    auto* f = new HFONT__;
    f->log.lfHeight = height;
    f->log.lfWeight = weight;
    std::strncpy(f->log.lfFaceName, face, LF_FACESIZE - 1);
    return f;
}
struct StockTable {
    std::array<HGDIOBJ, 20> objects{};
    HBITMAP monoBitmap = nullptr;
    StockTable() {
        objects[WHITE_BRUSH] = Stock(MakeBrush(BS_SOLID, RGB(255, 255, 255)));
        objects[LTGRAY_BRUSH] = Stock(MakeBrush(BS_SOLID, RGB(192, 192, 192)));
        objects[GRAY_BRUSH] = Stock(MakeBrush(BS_SOLID, RGB(128, 128, 128)));
        objects[DKGRAY_BRUSH] = Stock(MakeBrush(BS_SOLID, RGB(64, 64, 64)));
        objects[BLACK_BRUSH] = Stock(MakeBrush(BS_SOLID, 0));
        objects[NULL_BRUSH] = Stock(MakeBrush(BS_NULL, 0));
        objects[WHITE_PEN] = Stock(MakePen(PS_SOLID, 1, RGB(255, 255, 255)));
        objects[BLACK_PEN] = Stock(MakePen(PS_SOLID, 1, 0));
        objects[NULL_PEN] = Stock(MakePen(PS_NULL, 1, 0));
        objects[SYSTEM_FONT] = Stock(MakeFont("MS Sans Serif", -13, FW_BOLD));
        objects[DEFAULT_GUI_FONT] = Stock(MakeFont("MS Sans Serif", -11, FW_NORMAL));
        auto* dcBrush = MakeBrush(BS_SOLID, 0xFFFFFF);
        dcBrush->dcBrush = true;
        objects[DC_BRUSH] = Stock(dcBrush);
        auto* dcPen = MakePen(PS_SOLID, 1, 0);
        dcPen->dcPen = true;
        objects[DC_PEN] = Stock(dcPen);
        monoBitmap = NewBitmap(1, 1, 1, false);
        monoBitmap->stock = true;
    }
};
StockTable& Stocks() {
    static StockTable t;
    return t;
}
}  // namespace

HGDIOBJ GetStockObject(int index) {
    if (index < 0 || index >= int(Stocks().objects.size())) return nullptr;
    return Stocks().objects[std::size_t(index)];
}

// ---- device contexts ----
HDC CreateCompatibleDC(HDC) {
    auto* dc = new HDC__;
    DcState& s = dc->state;
    s.bitmap = Stocks().monoBitmap;
    s.pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    s.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    s.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    Use(s.bitmap);
    Use(s.pen);
    Use(s.brush);
    Use(s.font);
    Register(dc);
    return dc;
}

namespace {
void ReleaseState(DcState& s) {
    Release(s.bitmap);
    Release(s.pen);
    Release(s.brush);
    Release(s.font);
}
void UseState(DcState& s) {
    Use(s.bitmap);
    Use(s.pen);
    Use(s.brush);
    Use(s.font);
}
HDC LiveDc(HDC dc) { return dc && IsLiveDc(dc) ? dc : nullptr; }
}  // namespace

BOOL DeleteDC(HDC dc) {
    if (!LiveDc(dc)) return FALSE;
    Unregister(dc);
    ReleaseState(dc->state);
    for (auto& s : dc->saved) ReleaseState(s);
    delete dc;
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ o) {
    if (!LiveDc(dc) || !Live(o) || o->deleted) return nullptr;
    DcState& s = dc->state;
    HGDIOBJ old = nullptr;
    switch (o->type) {
    case OBJ_BITMAP: {
        auto* bm = static_cast<HBITMAP>(o);
        // A bitmap lives in one DC at a time (its saved states may hold it too).
        if (bm != s.bitmap && !bm->stock && !bm->sharedSurface) {
            int here = 0;
            for (const DcState& saved : dc->saved) here += saved.bitmap == bm;
            if (bm->uses > here) return nullptr;
        }
        old = s.bitmap;
        s.bitmap = bm;
        break;
    }
    case OBJ_PEN: old = s.pen; s.pen = static_cast<HPEN>(o); break;
    case OBJ_BRUSH: old = s.brush; s.brush = static_cast<HBRUSH>(o); break;
    case OBJ_FONT: old = s.font; s.font = static_cast<HFONT>(o); break;
    case OBJ_REGION: {
        int r = SelectClipRgn(dc, static_cast<HRGN>(o));
        return reinterpret_cast<HGDIOBJ>(std::intptr_t(r));
    }
    default: return nullptr;
    }
    Use(o);
    // The old object stays valid for the caller even when it was deleted while selected:
    // it is freed only once nothing holds it, which is after this call returns it.
    if (old && !old->stock) {
        --old->uses;
        if (old->uses <= 0 && old->deleted && !old->stock) {
            Unregister(old);
            delete old;
            old = nullptr;
        }
    }
    return old;
}

BOOL DeleteObject(HGDIOBJ o) {
    if (!Live(o) || o->stock || o->deleted) return FALSE;
    if (o->uses > 0) {
        o->deleted = true;
        return TRUE;
    }
    Unregister(o);
    delete o;
    return TRUE;
}

DWORD GetObjectType(HGDIOBJ o) {
    if (Live(o)) return o->type;
    if (o && IsLiveDc(reinterpret_cast<HDC>(o))) return OBJ_MEMDC;
    return 0;
}

int GetObject(HGDIOBJ o, int size, void* out) {
    if (!Live(o)) return 0;
    switch (o->type) {
    case OBJ_BITMAP: {
        auto* b = static_cast<HBITMAP>(o);
        BITMAP bm;
        bm.bmWidth = b->width;
        bm.bmHeight = b->height;
        bm.bmWidthBytes = b->stride;
        bm.bmPlanes = 1;
        bm.bmBitsPixel = WORD(b->bpp);
        bm.bmBits = b->dibSection ? b->bits() : nullptr;
        if (!out) return b->dibSection ? int(sizeof(DIBSECTION)) : int(sizeof(BITMAP));
        if (size >= int(sizeof(DIBSECTION)) && b->dibSection) {
            DIBSECTION ds;
            ds.dsBm = bm;
            ds.dsBmih.biWidth = b->width;
            ds.dsBmih.biHeight = b->bottomUp ? b->height : -b->height;
            ds.dsBmih.biBitCount = WORD(b->bpp);
            ds.dsBmih.biCompression = b->bpp == 16 ? BI_BITFIELDS : BI_RGB;
            ds.dsBmih.biSizeImage = DWORD(b->stride) * DWORD(b->height);
            ds.dsBmih.biClrUsed = DWORD(b->palette.size());
            std::copy(b->masks, b->masks + 3, ds.dsBitfields);
            std::memcpy(out, &ds, sizeof ds);
            return int(sizeof ds);
        }
        if (size < int(sizeof(BITMAP))) return 0;
        std::memcpy(out, &bm, sizeof bm);
        return int(sizeof bm);
    }
    case OBJ_PEN: {
        auto* p = static_cast<HPEN>(o);
        if (!out) return int(sizeof(LOGPEN));
        if (size < int(sizeof(LOGPEN))) return 0;
        LOGPEN lp{UINT(p->style), POINT{p->width, 0}, p->color};
        std::memcpy(out, &lp, sizeof lp);
        return int(sizeof lp);
    }
    case OBJ_BRUSH: {
        auto* b = static_cast<HBRUSH>(o);
        if (!out) return int(sizeof(LOGBRUSH));
        if (size < int(sizeof(LOGBRUSH))) return 0;
        LOGBRUSH lb{b->style, b->sysColor >= 0 ? GetSysColor(b->sysColor) : b->color, std::uintptr_t(b->hatch)};
        std::memcpy(out, &lb, sizeof lb);
        return int(sizeof lb);
    }
    case OBJ_FONT: {
        auto* f = static_cast<HFONT>(o);
        if (!out) return int(sizeof(LOGFONT));
        int n = std::min<int>(size, sizeof(LOGFONT));
        if (n <= 0) return 0;
        std::memcpy(out, &f->log, std::size_t(n));
        return n;
    }
    }
    return 0;
}

#define PLATFORM_GDI_OBJECT_CALLS(H)                                                                  \
    HGDIOBJ SelectObject(HDC dc, H o) { return SelectObject(dc, static_cast<HGDIOBJ>(o)); }           \
    BOOL DeleteObject(H o) { return DeleteObject(static_cast<HGDIOBJ>(o)); }                          \
    int GetObject(H o, int size, void* out) { return GetObject(static_cast<HGDIOBJ>(o), size, out); } \
    DWORD GetObjectType(H o) { return GetObjectType(static_cast<HGDIOBJ>(o)); }
PLATFORM_GDI_OBJECT_CALLS(HBITMAP)
PLATFORM_GDI_OBJECT_CALLS(HBRUSH)
PLATFORM_GDI_OBJECT_CALLS(HPEN)
PLATFORM_GDI_OBJECT_CALLS(HFONT)
PLATFORM_GDI_OBJECT_CALLS(HRGN)
#undef PLATFORM_GDI_OBJECT_CALLS

HBITMAP AsBitmap(HGDIOBJ o) { return Live(o) && o->type == OBJ_BITMAP ? static_cast<HBITMAP>(o) : nullptr; }
HBRUSH AsBrush(HGDIOBJ o) { return Live(o) && o->type == OBJ_BRUSH ? static_cast<HBRUSH>(o) : nullptr; }
HPEN AsPen(HGDIOBJ o) { return Live(o) && o->type == OBJ_PEN ? static_cast<HPEN>(o) : nullptr; }
HFONT AsFont(HGDIOBJ o) { return Live(o) && o->type == OBJ_FONT ? static_cast<HFONT>(o) : nullptr; }
HRGN AsRegion(HGDIOBJ o) { return Live(o) && o->type == OBJ_REGION ? static_cast<HRGN>(o) : nullptr; }

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    if (!LiveDc(dc)) return nullptr;
    switch (type) {
    case OBJ_PEN: return dc->state.pen;
    case OBJ_BRUSH: return dc->state.brush;
    case OBJ_FONT: return dc->state.font;
    case OBJ_BITMAP: return dc->state.bitmap;
    }
    return nullptr;
}

int GetDIBits(HDC, HBITMAP bm, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT) {
    if (!Live(bm) || !info) return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (!bits) {
        h.biWidth = bm->width;
        h.biHeight = bm->bottomUp ? bm->height : -bm->height;
        h.biPlanes = 1;
        h.biBitCount = WORD(bm->bpp);
        h.biCompression = BI_RGB;
        h.biSizeImage = DWORD(bm->stride) * DWORD(bm->height);
        return bm->height;
    }
    if (h.biWidth != bm->width || (h.biBitCount != 32 && h.biBitCount != 24)) return 0;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bool bottomUp = h.biHeight > 0;
    int stride = StrideOf(bm->width, h.biBitCount);
    int copied = 0;
    // Scan lines count from the bottom of a bottom-up DIB, from the top otherwise.
    for (UINT i = 0; i < lines; ++i) {
        int dibRow = int(start + i);
        if (dibRow >= height || dibRow >= bm->height) break;
        int y = bottomUp ? bm->height - 1 - dibRow : dibRow;
        BYTE* out = static_cast<BYTE*>(bits) + std::size_t(i) * stride;
        for (int x = 0; x < bm->width; ++x) {
            Pixel p = bm->get(x, y);
            if (h.biBitCount == 32) {
                std::memcpy(out + x * 4, &p, 4);
            } else {
                out[x * 3] = BYTE(p);
                out[x * 3 + 1] = BYTE(p >> 8);
                out[x * 3 + 2] = BYTE(p >> 16);
            }
        }
        ++copied;
    }
    return copied;
}

int SetDIBits(HDC, HBITMAP bm, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT) {
    if (!Live(bm) || !info || !bits) return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biWidth != bm->width || (h.biBitCount != 32 && h.biBitCount != 24)) return 0;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bool bottomUp = h.biHeight > 0;
    int stride = StrideOf(bm->width, h.biBitCount);
    int copied = 0;
    for (UINT i = 0; i < lines; ++i) {
        int dibRow = int(start + i);
        if (dibRow >= height || dibRow >= bm->height) break;
        int y = bottomUp ? bm->height - 1 - dibRow : dibRow;
        const BYTE* in = static_cast<const BYTE*>(bits) + std::size_t(i) * stride;
        for (int x = 0; x < bm->width; ++x) {
            Pixel p;
            if (h.biBitCount == 32) std::memcpy(&p, in + x * 4, 4);
            else p = Pixel(in[x * 3]) | (Pixel(in[x * 3 + 1]) << 8) | (Pixel(in[x * 3 + 2]) << 16);
            bm->set(x, y, p);
        }
        ++copied;
    }
    return copied;
}

// ---- DC state ----
#define DC_OR(value)                  \
    if (!LiveDc(dc)) return value;    \
    DcState& s = dc->state

namespace {
// Sets or moves one of the two origins, returning the old one.
BOOL MoveOrigin(HDC dc, POINT DcState::*which, int x, int y, bool relative, POINT* old) {
    if (!LiveDc(dc)) return FALSE;
    POINT& p = dc->state.*which;
    if (old) *old = p;
    p = relative ? POINT{Pin(std::int64_t(p.x) + x), Pin(std::int64_t(p.y) + y)} : POINT{x, y};
    return TRUE;
}
BOOL ReadOrigin(HDC dc, POINT DcState::*which, POINT* out) {
    if (!LiveDc(dc)) return FALSE;
    if (out) *out = dc->state.*which;
    return TRUE;
}
}  // namespace

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* old) { return MoveOrigin(dc, &DcState::windowOrg, x, y, false, old); }
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old) {
    return MoveOrigin(dc, &DcState::windowOrg, dx, dy, true, old);
}
BOOL GetWindowOrgEx(HDC dc, POINT* out) { return ReadOrigin(dc, &DcState::windowOrg, out); }
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
    return MoveOrigin(dc, &DcState::viewportOrg, x, y, false, old);
}
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old) {
    return MoveOrigin(dc, &DcState::viewportOrg, dx, dy, true, old);
}
BOOL GetViewportOrgEx(HDC dc, POINT* out) { return ReadOrigin(dc, &DcState::viewportOrg, out); }
namespace {
BOOL ShiftPoints(HDC dc, POINT* pts, int n, int sign) {
    if (!LiveDc(dc)) return FALSE;
    const DcState& s = dc->state;
    std::int64_t dx = std::int64_t(s.viewportOrg.x) - s.windowOrg.x, dy = std::int64_t(s.viewportOrg.y) - s.windowOrg.y;
    for (int i = 0; pts && i < n; ++i) pts[i] = POINT{Pin(pts[i].x + sign * dx), Pin(pts[i].y + sign * dy)};
    return TRUE;
}
}  // namespace

BOOL LPtoDP(HDC dc, POINT* pts, int n) { return ShiftPoints(dc, pts, n, 1); }
BOOL DPtoLP(HDC dc, POINT* pts, int n) { return ShiftPoints(dc, pts, n, -1); }

int SaveDC(HDC dc) {
    DC_OR(0);
    dc->saved.push_back(s);
    UseState(dc->saved.back());
    return int(dc->saved.size());
}

BOOL RestoreDC(HDC dc, int level) {
    DC_OR(FALSE);
    int n = int(dc->saved.size());
    int target = level < 0 ? n + 1 + level : level;
    if (target < 1 || target > n) return FALSE;
    ReleaseState(s);
    s = dc->saved[std::size_t(target - 1)];
    for (int i = target; i < n; ++i) ReleaseState(dc->saved[std::size_t(i)]);
    // The restored state keeps the references its saved copy held.
    dc->saved.resize(std::size_t(target - 1));
    return TRUE;
}

COLORREF SetTextColor(HDC dc, COLORREF c) {
    DC_OR(CLR_INVALID);
    return std::exchange(s.textColor, c & 0xFFFFFF);
}
COLORREF GetTextColor(HDC dc) {
    DC_OR(CLR_INVALID);
    return s.textColor;
}
COLORREF SetBkColor(HDC dc, COLORREF c) {
    DC_OR(CLR_INVALID);
    return std::exchange(s.bkColor, c & 0xFFFFFF);
}
COLORREF GetBkColor(HDC dc) {
    DC_OR(CLR_INVALID);
    return s.bkColor;
}
int SetBkMode(HDC dc, int mode) {
    DC_OR(0);
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return std::exchange(s.bkMode, mode);
}
int GetBkMode(HDC dc) {
    DC_OR(0);
    return s.bkMode;
}
UINT SetTextAlign(HDC dc, UINT a) {
    DC_OR(0xFFFFFFFF);
    return std::exchange(s.textAlign, a);
}
UINT GetTextAlign(HDC dc) {
    DC_OR(0xFFFFFFFF);
    return s.textAlign;
}
int SetStretchBltMode(HDC dc, int mode) {
    DC_OR(0);
    if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
    return std::exchange(s.stretchMode, mode);
}
int GetStretchBltMode(HDC dc) {
    DC_OR(0);
    return s.stretchMode;
}
int SetROP2(HDC dc, int mode) {
    DC_OR(0);
    if (mode < R2_BLACK || mode > R2_WHITE) return 0;
    return std::exchange(s.rop2, mode);
}
int GetROP2(HDC dc) {
    DC_OR(0);
    return s.rop2;
}
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old) {
    DC_OR(FALSE);
    if (old) *old = s.brushOrg;
    s.brushOrg = POINT{x, y};
    return TRUE;
}
BOOL GetBrushOrgEx(HDC dc, POINT* out) {
    DC_OR(FALSE);
    if (out) *out = s.brushOrg;
    return TRUE;
}
COLORREF SetDCBrushColor(HDC dc, COLORREF c) {
    DC_OR(CLR_INVALID);
    return std::exchange(s.dcBrushColor, c & 0xFFFFFF);
}
COLORREF SetDCPenColor(HDC dc, COLORREF c) {
    DC_OR(CLR_INVALID);
    return std::exchange(s.dcPenColor, c & 0xFFFFFF);
}
int SetPolyFillMode(HDC dc, int mode) {
    DC_OR(0);
    if (mode != ALTERNATE && mode != WINDING) return 0;
    return std::exchange(s.polyFillMode, mode);
}
int SetArcDirection(HDC dc, int dir) {
    DC_OR(0);
    if (dir != AD_CLOCKWISE && dir != AD_COUNTERCLOCKWISE) return 0;
    return std::exchange(s.arcDirection, dir);
}

// ---- pens and brushes ----
HPEN CreatePen(int style, int width, COLORREF c) {
    int st = style & PS_STYLE_MASK;
    if (st > PS_ALTERNATE || st == 7) return nullptr;
    HPEN p = MakePen(st, width < 1 ? 1 : width, c & 0xFFFFFF);
    Register(p);
    return p;
}
HPEN CreatePenIndirect(const LOGPEN* lp) {
    return lp ? CreatePen(int(lp->lopnStyle), lp->lopnWidth.x, lp->lopnColor) : nullptr;
}
HBRUSH CreateSolidBrush(COLORREF c) {
    HBRUSH b = MakeBrush(BS_SOLID, c & 0xFFFFFF);
    Register(b);
    return b;
}
HBRUSH CreateHatchBrush(int hatch, COLORREF c) {
    if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
    HBRUSH b = MakeBrush(BS_HATCHED, c & 0xFFFFFF, hatch);
    Register(b);
    return b;
}
HBRUSH CreatePatternBrush(HBITMAP bm) {
    if (!Live(bm)) return nullptr;
    auto copy = std::make_unique<HBITMAP__>(*bm);
    copy->uses = 0;
    copy->deleted = false;
    copy->stock = false;
    std::unique_ptr<HBRUSH__> b(MakeBrush(BS_PATTERN, 0));
    b->pattern = std::move(copy);
    Register(b.get());
    return b.release();
}
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
    if (!lb) return nullptr;
    switch (lb->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(lb->lbColor);
    case BS_NULL: {
        HBRUSH b = MakeBrush(BS_NULL, 0);
        Register(b);
        return b;
    }
    case BS_HATCHED: return CreateHatchBrush(int(lb->lbHatch), lb->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(lb->lbHatch));
    }
    return nullptr;
}

// ---- regions ----
namespace {
HRGN NewRegion(Region r) {
    auto* h = new HRGN__;
    h->region = std::move(r);
    Register(h);
    return h;
}
int Complexity(const Region& r) {
    return r.empty() ? NULLREGION : r.rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
RECT Ordered(int l, int t, int r, int b) {
    return RECT{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}
}  // namespace

HRGN CreateRectRgn(int l, int t, int r, int b) { return NewRegion(Region(Ordered(l, t, r, b))); }
HRGN CreateRectRgnIndirect(const RECT* r) { return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr; }
HRGN CreateRectListRgn(const RECT* rects, int count) {
    std::vector<RECT> v;
    for (int i = 0; rects && i < count; ++i) v.push_back(Ordered(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom));
    return NewRegion(Region::FromRects(v));
}
BOOL SetRectRgn(HRGN h, int l, int t, int r, int b) {
    if (!Live(h)) return FALSE;
    h->region = Region(Ordered(l, t, r, b));
    return TRUE;
}
int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    if (!Live(dst) || !Live(a)) return ERROR;
    if (mode == RGN_COPY) {
        dst->region = a->region;
        return Complexity(dst->region);
    }
    if (!Live(b) || mode < RGN_AND || mode > RGN_DIFF) return ERROR;
    static const Region::Op ops[] = {Region::Op::And, Region::Op::Or, Region::Op::Xor, Region::Op::Diff};
    dst->region = Region::Combine(a->region, b->region, ops[mode - 1]);
    return Complexity(dst->region);
}
int OffsetRgn(HRGN h, int dx, int dy) {
    if (!Live(h)) return ERROR;
    h->region.offset(dx, dy);
    return Complexity(h->region);
}
BOOL PtInRegion(HRGN h, int x, int y) { return Live(h) && h->region.contains(x, y); }
BOOL RectInRegion(HRGN h, const RECT* r) { return Live(h) && r && h->region.intersects(*r); }
int GetRgnBox(HRGN h, RECT* out) {
    if (!Live(h) || !out) return ERROR;
    *out = h->region.box();
    return Complexity(h->region);
}
BOOL EqualRgn(HRGN a, HRGN b) { return Live(a) && Live(b) && a->region == b->region; }
std::vector<RECT> GetRegionRects(HRGN h) { return Live(h) ? h->region.rects() : std::vector<RECT>{}; }

// ---- clipping ----
namespace gdi {
POINT ToDevice(HDC dc, int x, int y) {
    const DcState& s = dc->state;
    return POINT{Pin(std::int64_t(x) - s.windowOrg.x + s.viewportOrg.x),
                 Pin(std::int64_t(y) - s.windowOrg.y + s.viewportOrg.y)};
}

Target TargetOf(HDC dc) {
    Target t;
    if (!LiveDc(dc)) return t;
    const DcState& s = dc->state;
    t.bm = s.bitmap;
    t.offset = POINT{Pin(std::int64_t(s.viewportOrg.x) - s.windowOrg.x), Pin(std::int64_t(s.viewportOrg.y) - s.windowOrg.y)};
    Region all(RECT{0, 0, t.bm->width, t.bm->height});
    t.clip = s.hasClip ? Region::Combine(all, s.clip, Region::Op::And) : all;
    return t;
}
}  // namespace gdi

namespace {
RECT DeviceRect(HDC dc, int l, int t, int r, int b) {
    POINT a = ToDevice(dc, l, t), c = ToDevice(dc, r, b);
    return Ordered(a.x, a.y, c.x, c.y);
}
int ClipResult(HDC dc) {
    return dc->state.hasClip ? Complexity(dc->state.clip) : SIMPLEREGION;
}
}  // namespace

int SelectClipRgn(HDC dc, HRGN rgn) { return ExtSelectClipRgn(dc, rgn, RGN_COPY); }

int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode) {
    DC_OR(ERROR);
    if (!rgn) {
        if (mode != RGN_COPY) return ERROR;
        s.hasClip = false;
        s.clip = Region();
        return SIMPLEREGION;
    }
    if (!Live(rgn)) return ERROR;
    if (mode == RGN_COPY) {
        s.clip = rgn->region;
    } else {
        if (mode < RGN_AND || mode > RGN_DIFF) return ERROR;
        Region current = s.hasClip ? s.clip : Region(RECT{0, 0, s.bitmap->width, s.bitmap->height});
        static const Region::Op ops[] = {Region::Op::And, Region::Op::Or, Region::Op::Xor, Region::Op::Diff};
        s.clip = Region::Combine(current, rgn->region, ops[mode - 1]);
    }
    s.hasClip = true;
    return ClipResult(dc);
}

int IntersectClipRect(HDC dc, int l, int t, int r, int b) {
    DC_OR(ERROR);
    Region rect(DeviceRect(dc, l, t, r, b));
    s.clip = s.hasClip ? Region::Combine(s.clip, rect, Region::Op::And) : rect;
    s.hasClip = true;
    return ClipResult(dc);
}

int ExcludeClipRect(HDC dc, int l, int t, int r, int b) {
    DC_OR(ERROR);
    Region current = s.hasClip ? s.clip : Region(RECT{0, 0, s.bitmap->width, s.bitmap->height});
    s.clip = Region::Combine(current, Region(DeviceRect(dc, l, t, r, b)), Region::Op::Diff);
    s.hasClip = true;
    return ClipResult(dc);
}

int OffsetClipRgn(HDC dc, int dx, int dy) {
    DC_OR(ERROR);
    if (s.hasClip) s.clip.offset(dx, dy);
    return ClipResult(dc);
}

int GetClipBox(HDC dc, RECT* out) {
    if (!LiveDc(dc) || !out) return ERROR;
    Target t = TargetOf(dc);
    RECT b = t.clip.box();
    OffsetRect(&b, -t.offset.x, -t.offset.y);
    *out = b;
    return Complexity(t.clip);
}

int GetClipRgn(HDC dc, HRGN rgn) {
    if (!LiveDc(dc) || !Live(rgn)) return -1;
    if (!dc->state.hasClip) return 0;
    rgn->region = dc->state.clip;
    return 1;
}

BOOL PtVisible(HDC dc, int x, int y) {
    if (!LiveDc(dc)) return FALSE;
    Target t = TargetOf(dc);
    return t.clip.contains(x + t.offset.x, y + t.offset.y);
}

BOOL RectVisible(HDC dc, const RECT* r) {
    if (!LiveDc(dc) || !r) return FALSE;
    Target t = TargetOf(dc);
    RECT d = *r;
    OffsetRect(&d, t.offset.x, t.offset.y);
    return t.clip.intersects(d);
}

}  // namespace platform
