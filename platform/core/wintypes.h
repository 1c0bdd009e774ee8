#pragma once
// The basic value types of the Windows API that callers of the platform layer use by name.
// Handles are opaque pointers to distinct incomplete types, so they cannot be mixed up.
#include <cstdint>

namespace platform {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using COLORREF = DWORD;  // 0x00BBGGRR

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

#define PLATFORM_HANDLE(Name) \
    struct Name##__;          \
    using Name = Name##__*

PLATFORM_HANDLE(HWND);
PLATFORM_HANDLE(HDC);
PLATFORM_HANDLE(HGDIOBJ);
PLATFORM_HANDLE(HBITMAP);
PLATFORM_HANDLE(HBRUSH);
PLATFORM_HANDLE(HPEN);
PLATFORM_HANDLE(HFONT);
PLATFORM_HANDLE(HRGN);
PLATFORM_HANDLE(HICON);
PLATFORM_HANDLE(HCURSOR);
PLATFORM_HANDLE(HMENU);
PLATFORM_HANDLE(HINSTANCE);
PLATFORM_HANDLE(HPALETTE);
PLATFORM_HANDLE(HKEY);
using HANDLE = void*;

#undef PLATFORM_HANDLE

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

// A rectangle excludes its right and bottom edge.
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return DWORD(r) | (DWORD(g) << 8) | (DWORD(b) << 16); }
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE((c >> 16) & 0xFF); }

constexpr WORD LOWORD(std::uintptr_t v) { return WORD(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return WORD((v >> 16) & 0xFFFF); }
constexpr LONG MAKELONG(WORD lo, WORD hi) { return LONG(DWORD(lo) | (DWORD(hi) << 16)); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return LPARAM(MAKELONG(lo, hi)); }

// The class library's value types: the same layout as the API's, with helpers.
struct TPoint : POINT {
    constexpr TPoint() = default;
    constexpr TPoint(LONG ax, LONG ay) : POINT{ax, ay} {}
    friend constexpr bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
};

struct TSize : SIZE {
    constexpr TSize() = default;
    constexpr TSize(LONG w, LONG h) : SIZE{w, h} {}
    friend constexpr bool operator==(const TSize& a, const TSize& b) { return a.cx == b.cx && a.cy == b.cy; }
};

struct TRect : RECT {
    constexpr TRect() = default;
    constexpr TRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
    constexpr TRect(const RECT& r) : RECT(r) {}
    constexpr LONG Width() const { return right - left; }
    constexpr LONG Height() const { return bottom - top; }
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    constexpr bool Contains(const POINT& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    friend constexpr bool operator==(const TRect& a, const TRect& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};

constexpr TRect Rect(LONG l, LONG t, LONG r, LONG b) { return TRect(l, t, r, b); }
constexpr TRect Bounds(LONG l, LONG t, LONG w, LONG h) { return TRect(l, t, l + w, t + h); }
constexpr TPoint Point(LONG x, LONG y) { return TPoint(x, y); }

}  // namespace platform
