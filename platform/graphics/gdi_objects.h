#pragma once
// What the graphics handles point to. Only the graphics layer includes this header.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/graphics/gdi.h"
#include "platform/graphics/region.h"

namespace platform {

// Pixels in device-independent-bitmap order: blue, green, red, alpha from the low byte up.
using Pixel = std::uint32_t;

constexpr Pixel ToPixel(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
constexpr COLORREF ToColorRef(Pixel p) { return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF); }

// The largest bitmap the layer creates or decodes (a hostile file cannot ask for more):
// 2^26 pixels, 256 MB at 32 bits, 8192 x 8192.
constexpr std::int64_t kMaxBitmapPixels = std::int64_t(1) << 26;
constexpr int kMaxBitmapSide = 1 << 16;

// Pixel rows come zeroed from the allocator (calloc), so that making a bitmap does not write
// every byte: the system hands out large blocks as zero pages that cost nothing until drawn
// on, and a window that is never shown never touches its surface.
template <class T> struct ZeroedAllocator {
    using value_type = T;
    ZeroedAllocator() = default;
    template <class U> ZeroedAllocator(const ZeroedAllocator<U>&) {}
    T* allocate(std::size_t n) {
        if (void* p = std::calloc(n, sizeof(T))) return static_cast<T*>(p);
        throw std::bad_alloc();
    }
    void deallocate(T* p, std::size_t) { std::free(p); }
    // Elements added without a value are left as the allocator gave them: zero.
    template <class U> void construct(U*) {}
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U> bool operator==(const ZeroedAllocator<U>&) const { return true; }
};

struct HGDIOBJ__ {
    explicit HGDIOBJ__(DWORD t) : type(t) {}
    virtual ~HGDIOBJ__() = default;
    DWORD type;
    bool stock = false;    // never deleted
    int uses = 0;          // selections into DC states (current and saved)
    bool deleted = false;  // DeleteObject while selected: freed at the last deselection
};

struct HBITMAP__ : HGDIOBJ__ {
    HBITMAP__() : HGDIOBJ__(OBJ_BITMAP) {}
    int width = 0;
    int height = 0;  // always positive; bottomUp says how rows are stored
    int bpp = 32;    // 1, 4, 8, 16, 24 or 32
    bool bottomUp = false;
    // Described as a DIB section (pixel address and header) by GetObject: every bitmap but
    // those made by CreateCompatibleBitmap and CreateBitmap, which act as device bitmaps.
    bool dibSection = true;
    // A window's surface: every DC open on the window draws on it at the same time, also
    // while a paint DC keeps it in a saved state.
    bool sharedSurface = false;
    int stride = 0;
    std::vector<RGBQUAD> palette;        // 1, 4 and 8 bits
    DWORD masks[3] = {0x7C00, 0x3E0, 0x1F};  // 16 bits: red, green, blue
    std::vector<std::uint32_t, ZeroedAllocator<std::uint32_t>> storage;  // 4-byte aligned rows

    BYTE* bits() { return reinterpret_cast<BYTE*>(storage.data()); }
    const BYTE* bits() const { return reinterpret_cast<const BYTE*>(storage.data()); }
    BYTE* row(int y) { return bits() + std::size_t(bottomUp ? height - 1 - y : y) * stride; }
    const BYTE* row(int y) const { return bits() + std::size_t(bottomUp ? height - 1 - y : y) * stride; }
    Pixel* row32(int y) { return reinterpret_cast<Pixel*>(row(y)); }
    Pixel get(int x, int y) const;           // colour (with the alpha byte for 32 bits)
    void set(int x, int y, Pixel p);         // nearest palette entry for paletted bitmaps
    int nearestIndex(Pixel p) const;
    bool mono() const { return bpp == 1; }
};

// Allocates a bitmap (zeroed). Returns null for a size beyond the bound or a bad depth.
HBITMAP NewBitmap(int width, int height, int bpp, bool bottomUp);

struct HPEN__ : HGDIOBJ__ {
    HPEN__() : HGDIOBJ__(OBJ_PEN) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
    bool dcPen = false;
};

struct HBRUSH__ : HGDIOBJ__ {
    HBRUSH__() : HGDIOBJ__(OBJ_BRUSH) {}
    UINT style = BS_SOLID;
    int hatch = 0;
    COLORREF color = 0;
    bool dcBrush = false;
    int sysColor = -1;  // a system colour brush follows the colour table
    std::unique_ptr<HBITMAP__> pattern;
};

struct FontFace;
struct HFONT__ : HGDIOBJ__ {
    HFONT__() : HGDIOBJ__(OBJ_FONT) {}
    LOGFONT log;
    std::shared_ptr<FontFace> face;  // resolved on first use
};

struct HRGN__ : HGDIOBJ__ {
    HRGN__() : HGDIOBJ__(OBJ_REGION) {}
    Region region;
};

struct DcState {
    HBITMAP bitmap = nullptr;
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    bool hasClip = false;
    Region clip;  // device coordinates
    POINT windowOrg;
    POINT viewportOrg;
    POINT brushOrg;
    POINT position;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF dcBrushColor = 0xFFFFFF;
    COLORREF dcPenColor = 0;
    int bkMode = OPAQUE;
    UINT textAlign = 0;
    int stretchMode = BLACKONWHITE;
    int rop2 = R2_COPYPEN;
    int polyFillMode = ALTERNATE;
    int arcDirection = AD_COUNTERCLOCKWISE;
};

}  // namespace platform

struct platform::HDC__ {
    DcState state;
    std::vector<DcState> saved;
    HBITMAP defaultBitmap = nullptr;  // the 1x1 monochrome bitmap of a fresh memory DC
};

namespace platform::gdi {

// Coordinates far outside any bitmap are pinned to +-2^29 so that no sum of two of them
// overflows; nothing visible changes.
constexpr std::int64_t kCoordLimit = std::int64_t(1) << 29;
inline int Pin(std::int64_t v) { return int(v < -kCoordLimit ? -kCoordLimit : v > kCoordLimit ? kCoordLimit : v); }

// Handle checks: a handle the layer did not make (or already freed) is refused, never used.
bool IsLiveObject(const void* h);
bool IsLiveDc(HDC dc);
void Register(const void* h);
void Unregister(const void* h);
template <class T> T* Live(T* h) { return h && IsLiveObject(h) ? h : nullptr; }

// Selection bookkeeping of objects held by DC states.
void Use(HGDIOBJ o);
void Release(HGDIOBJ o);

// A brush handle as FillRect accepts it (also COLOR_x + 1), or null.
HBRUSH ResolveBrush(HBRUSH brush);

// The drawing target of a DC: its bitmap and the device-coordinate clip (bitmap bounds
// intersected with the selected clip region).
struct Target {
    HBITMAP bm = nullptr;
    Region clip;
    POINT offset;  // logical to device: add offset
    bool valid() const { return bm != nullptr && !clip.empty(); }
};
Target TargetOf(HDC dc);
POINT ToDevice(HDC dc, int x, int y);

// How a fill paints one pixel: a brush (solid, hatched or pattern, aligned to the brush
// origin) combined with the destination through a binary raster operation.
struct Paint {
    bool none = false;
    bool solid = true;
    Pixel color = 0;
    // Pattern: an 8x8 (or any size) table of colours; transparent where hatch background
    // is not drawn (transparent background mode).
    int pw = 0, ph = 0;
    std::vector<Pixel> pattern;
    std::vector<std::uint8_t> patternMask;  // 1 where the pattern paints
    POINT origin;
    int rop2 = R2_COPYPEN;
    Pixel at(int x, int y, bool* paints) const;
};
Paint BrushPaint(HDC dc, HBRUSH brush, int rop2 = R2_COPYPEN);
Paint ColorPaint(Pixel color, int rop2 = R2_COPYPEN);
// Fills the device rectangle (clipped) with the paint.
void FillDevice(const Target& t, const RECT& r, const Paint& p);
// Fills every rectangle of a device region (clipped).
void FillRegion(const Target& t, const Region& r, const Paint& p);
Pixel Rop2(int rop2, Pixel pen, Pixel dst);
// The bit pattern a DC's bitmap stores for a colour (alpha 0, nearest palette colour).
Pixel DeviceColor(HBITMAP bm, COLORREF c);

}  // namespace platform::gdi
