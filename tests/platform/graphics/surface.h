#pragma once
// A memory DC over a fresh 32-bit bitmap, cleared to white: the drawing surface tests use.
#include <cstdint>

#include "platform/graphics/gdi.h"

namespace platform::testing {

struct Surface {
    Surface(int w, int h) : width(w), height(h) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biBitCount = 32;
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        Clear(RGB(255, 255, 255));
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    // The colour stored at device pixel (x, y), whatever the DC's origin and clip.
    COLORREF Pixel(int x, int y) const {
        std::uint32_t p = bits[y * width + x];
        return RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p));
    }
    std::uint32_t Raw(int x, int y) const { return bits[y * width + x]; }
    void Clear(COLORREF c) {
        HBRUSH b = CreateSolidBrush(c);
        POINT vp, wo;
        GetViewportOrgEx(dc, &vp);
        GetWindowOrgEx(dc, &wo);
        RECT r{wo.x - vp.x, wo.y - vp.y, wo.x - vp.x + width, wo.y - vp.y + height};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    std::uint32_t* bits = nullptr;
};

}  // namespace platform::testing
