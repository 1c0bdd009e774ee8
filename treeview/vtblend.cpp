// Alpha blending, button bitmaps, line patterns and the check image strips.
#include "treeview/vtblend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "treeview/vtinternal.h"
#include "treeview/vtscope.h"

namespace treeview {

namespace pf = platform;

const bool MMXAvailable = HasMMX();

bool HasMMX() { return true; }

void* GetBitmapBitsFromDeviceContext(pf::HDC dc, int& width, int& height) {
    width = 0;
    height = 0;
    void* bits = nullptr;
    pf::HGDIOBJ bitmap = dc ? pf::GetCurrentObject(dc, pf::OBJ_CURRENT_BITMAP) : nullptr;
    pf::DIBSECTION section;
    if (bitmap && pf::GetObject(bitmap, sizeof(section), &section) == int(sizeof(section))) {
        Require(section.dsBm.bmPlanes * section.dsBm.bmBitsPixel == 32, "Alpha blending error: bitmap must use 32 bpp.");
        bits = section.dsBm.bmBits;
        width = section.dsBmih.biWidth;
        height = section.dsBmih.biHeight;
    }
    Require(bits != nullptr, "Alpha blending DC error: no bitmap available.");
    return bits;
}

void* CalculateScanline(void* bits, int width, int height, int row) {
    int stored = height > 0 ? height - row - 1 : row;
    return static_cast<std::uint8_t*>(bits) + std::ptrdiff_t(stored) * width * 4;
}

pf::COLORREF GetRGBColor(pf::TColor value) {
    if (value == pf::clNone) return pf::CLR_NONE;
    if (value == pf::clDefault) return pf::CLR_DEFAULT;
    return pf::ColorToRGB(value);
}

std::uint8_t BlendChannel(TBlendMode mode, std::uint8_t target, std::uint8_t source, int alpha, int bias) {
    alpha = std::clamp(alpha, 0, 255);
    if (mode == bmConstantAlphaAndColor)
        return std::uint8_t((source * alpha + (256 - alpha) * target) >> 8);
    bias = std::clamp(bias, -32768, 32767);
    int blended = (target * 256 + alpha * (int(source) - int(target))) >> 8;
    return std::uint8_t(std::clamp(blended + bias, 0, 255));
}

void AlphaBlend(pf::HDC source, pf::HDC destination, const pf::TRect& r, const pf::TPoint& target, TBlendMode mode,
                int constantAlpha, int bias) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    int dw = 0, dh = 0, sw = 0, sh = 0;
    void* dbits = GetBitmapBitsFromDeviceContext(destination, dw, dh);
    int destRows = std::abs(dh);
    if (mode == bmConstantAlphaAndColor) {
        // The bias is a colour with red in the low byte; pixels hold blue first.
        std::uint8_t color[4] = {std::uint8_t(bias >> 16), std::uint8_t(bias >> 8), std::uint8_t(bias), 0};
        int left = std::max(r.left, 0), right = std::min(r.right, dw);
        for (int y = std::max(r.top, 0); y < std::min(r.bottom, destRows); ++y) {
            auto* row = static_cast<std::uint8_t*>(CalculateScanline(dbits, dw, dh, y));
            for (int x = left; x < right; ++x)
                for (int c = 0; c < 4; ++c) row[x * 4 + c] = BlendChannel(mode, row[x * 4 + c], color[c], constantAlpha, 0);
        }
        return;
    }
    void* sbits = GetBitmapBitsFromDeviceContext(source, sw, sh);
    int sourceRows = std::abs(sh);
    for (int y = 0; y < r.bottom - r.top; ++y) {
        int sy = r.top + y, dy = target.y + y;
        if (sy < 0 || sy >= sourceRows || dy < 0 || dy >= destRows) continue;
        auto* srow = static_cast<std::uint8_t*>(CalculateScanline(sbits, sw, sh, sy));
        auto* drow = static_cast<std::uint8_t*>(CalculateScanline(dbits, dw, dh, dy));
        for (int x = 0; x < r.right - r.left; ++x) {
            int sx = r.left + x, dx = target.x + x;
            if (sx < 0 || sx >= sw || dx < 0 || dx >= dw) continue;
            const std::uint8_t* s = srow + sx * 4;
            std::uint8_t* d = drow + dx * 4;
            int alpha = constantAlpha;
            if (mode == bmPerPixelAlpha) alpha = s[3];
            if (mode == bmMasterAlpha) alpha = (std::clamp(constantAlpha, 0, 255) * s[3]) >> 8;
            for (int c = 0; c < 4; ++c) d[c] = BlendChannel(mode, d[c], s[c], alpha, bias);
        }
    }
}

// ---- pixel drawing ----

namespace {

constexpr pf::COLORREF Magenta = 0xFF00FF;

struct Pixels {
    pf::TBitmap* bitmap;
    void Set(int x, int y, pf::COLORREF rgb) {
        if (x < 0 || y < 0 || x >= bitmap->Width() || y >= bitmap->Height()) return;
        auto* row = static_cast<std::uint8_t*>(bitmap->ScanLine(y));
        row[x * 4 + 0] = pf::GetBValue(rgb);
        row[x * 4 + 1] = pf::GetGValue(rgb);
        row[x * 4 + 2] = pf::GetRValue(rgb);
        row[x * 4 + 3] = 255;
    }
    void Fill(int left, int top, int right, int bottom, pf::COLORREF rgb) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) Set(x, y, rgb);
    }
    void Frame(int left, int top, int right, int bottom, pf::COLORREF rgb) {
        for (int x = left; x < right; ++x) Set(x, top, rgb), Set(x, bottom - 1, rgb);
        for (int y = top; y < bottom; ++y) Set(left, y, rgb), Set(right - 1, y, rgb);
    }
};

pf::TBitmap* Prepare(pf::TBitmap* bitmap, int width, int height) {
    bitmap->SetPixelFormat(pf::pf32bit);
    bitmap->SetSize(width, height);
    Pixels{bitmap}.Fill(0, 0, width, height, Magenta);
    bitmap->SetTransparentColor(pf::TColor(Magenta));
    bitmap->SetTransparent(true);
    return bitmap;
}

pf::COLORREF Mix(pf::COLORREF a, pf::COLORREF b, int num, int den) {
    auto channel = [&](int ca, int cb) { return (ca * (den - num) + cb * num) / den; };
    return pf::RGB(pf::BYTE(channel(pf::GetRValue(a), pf::GetRValue(b))), pf::BYTE(channel(pf::GetGValue(a), pf::GetGValue(b))),
                   pf::BYTE(channel(pf::GetBValue(a), pf::GetBValue(b))));
}

}  // namespace

void DrawButtonBitmap(pf::TBitmap* bitmap, bool plus, TVTButtonStyle style, TVTButtonFillMode fill,
                      pf::TColor treeColor, pf::TColor lineColor, pf::TColor fontColor) {
    constexpr int Size = 9;
    Pixels px{Prepare(bitmap, Size, Size)};
    if (style == bsTriangle) {
        for (int i = 0; i <= 4; ++i)
            for (int j = i; j <= 8 - i; ++j) {
                if (plus)
                    px.Set(2 + i, j, 0);
                else
                    px.Set(j, 2 + i, 0);
            }
        return;
    }
    pf::COLORREF bar = pf::ColorToRGB(fontColor);
    if (fill == fmShaded) {
        const pf::COLORREF border = pf::RGB(120, 152, 181), corner = pf::RGB(176, 194, 211);
        for (int y = 1; y < Size - 1; ++y) px.Fill(1, y, Size - 1, y + 1, Mix(pf::RGB(255, 255, 255), pf::RGB(194, 184, 167), y - 1, 6));
        px.Frame(0, 0, Size, Size, border);
        for (int x : {0, Size - 1})
            for (int y : {0, Size - 1}) px.Set(x, y, corner);
        bar = 0;
    } else {
        if (fill != fmTransparent)
            px.Fill(1, 1, Size - 1, Size - 1, pf::ColorToRGB(fill == fmWindowColor ? pf::clWindow : treeColor));
        px.Frame(0, 0, Size, Size, pf::ColorToRGB(lineColor));
    }
    for (int x = 2; x < 7; ++x) px.Set(x, 4, bar);
    if (plus)
        for (int y = 2; y < 7; ++y) px.Set(4, y, bar);
}

pf::HBRUSH CreateLinePatternBrush(const TVTLinePattern& pattern) {
    // Monochrome rows are word aligned: two bytes per 8-pixel row.
    std::uint8_t bits[16] = {};
    for (int row = 0; row < 8; ++row) bits[row * 2] = std::uint8_t(pattern[std::size_t(row)] & 0xFF);
    pf::HBITMAP bitmap = pf::CreateBitmap(8, 8, 1, 1, bits);
    TScopeExit freeBitmap([bitmap] { pf::DeleteObject(bitmap); });
    return pf::CreatePatternBrush(bitmap);
}

// ---- check image strips ----

namespace {

struct StripLook {
    pf::COLORREF face, border, shadow, light, mark, hot, pressed, disabled;
    bool flat;
    bool tick;
};

StripLook LookOf(TCheckImageKind kind) {
    const pf::COLORREF window = pf::ColorToRGB(pf::clWindow), btnFace = pf::ColorToRGB(pf::clBtnFace),
                       btnShadow = pf::ColorToRGB(pf::clBtnShadow), text = pf::ColorToRGB(pf::clWindowText),
                       highlight = pf::ColorToRGB(pf::clHighlight);
    StripLook look{window, btnShadow, pf::RGB(64, 64, 64), btnFace, text, highlight, btnFace, btnShadow, false, false};
    switch (kind) {
        case ckDarkCheck:
        case ckDarkTick:
            look.face = btnFace;
            look.pressed = btnShadow;
            break;
        case ckFlat:
        case ckSystemFlat:
            look.flat = true;
            break;
        case ckXP:
            look = {pf::RGB(244, 244, 240), pf::RGB(28, 81, 128), pf::RGB(28, 81, 128), pf::RGB(244, 244, 240),
                    pf::RGB(33, 161, 33), pf::RGB(248, 179, 48), pf::RGB(176, 176, 167), pf::RGB(202, 200, 187),
                    true, false};
            break;
        default:
            break;
    }
    if (kind == ckLightTick || kind == ckDarkTick) look.tick = true;
    return look;
}

// One image of the strip, variant 0 normal, 1 hot, 2 pressed, 3 disabled.
void DrawCheckImage(Pixels& px, int left, int group, int variant, const StripLook& look) {
    const bool disabled = variant == 3;
    const pf::COLORREF disabledFace = look.face == look.light ? Mix(look.face, 0xFFFFFF, 1, 2) : look.light;
    const pf::COLORREF face = variant == 2 ? look.pressed : disabled ? disabledFace : look.face;
    const pf::COLORREF border = disabled ? look.disabled : variant == 1 ? look.hot : look.border;
    const pf::COLORREF mark = disabled ? look.disabled : look.mark;
    const int l = left + 1, t = 1, r = left + 14, b = 14;  // a 13 x 13 box
    if (group == 0 || group == 1) {  // radio button, unchecked or checked
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x) {
                double dx = x - (l + 6), dy = y - (t + 6), d = std::sqrt(dx * dx + dy * dy);
                if (d <= 6.5) px.Set(x, y, d > 5.3 ? border : face);
                if (group == 1 && d <= 2.3) px.Set(x, y, mark);
            }
        return;
    }
    if (group == 5) {  // push button
        px.Fill(l, t, r, b, variant == 2 ? look.pressed : look.light);
        px.Frame(l, t, r, b, disabled ? look.disabled : look.shadow);
        if (variant < 2) {
            for (int x = l; x < r - 1; ++x) px.Set(x, t, 0xFFFFFF);
            for (int y = t; y < b - 1; ++y) px.Set(l, y, 0xFFFFFF);
        }
        return;
    }
    px.Fill(l, t, r, b, face);
    px.Frame(l, t, r, b, border);
    if (!look.flat && !disabled) {  // sunken edge
        for (int x = l; x < r; ++x) px.Set(x, t, look.shadow);
        for (int y = t; y < b; ++y) px.Set(l, y, look.shadow);
    }
    if (group == 3) {  // checked
        const int x0 = l + 3, y0 = t + 6;
        for (int i = 0; i < 7; ++i) {
            int x = x0 + i, y = i < 2 ? y0 + i : y0 + 4 - i;
            int thickness = look.tick ? 2 : 3;
            for (int k = 0; k < thickness; ++k) px.Set(x, y + k, mark);
        }
    } else if (group == 4) {  // mixed
        px.Fill(l + 3, t + 3, r - 3, b - 3, disabled ? look.disabled : look.mark);
    }
}

}  // namespace

std::unique_ptr<pf::TBitmap> MakeCheckStrip(TCheckImageKind kind) {
    auto strip = std::make_unique<pf::TBitmap>();
    Pixels px{Prepare(strip.get(), CheckImageCount * CheckImageSize, CheckImageSize)};
    const StripLook look = LookOf(kind);
    // Groups of four after the empty image: radio unchecked, radio checked, check box
    // unchecked, checked, mixed, push button.
    const int groups[6] = {0, 1, 2, 3, 4, 5};
    for (int g = 0; g < 6; ++g)
        for (int variant = 0; variant < 4; ++variant)
            DrawCheckImage(px, (1 + g * 4 + variant) * CheckImageSize, groups[g], variant, look);
    return strip;
}

pf::TCustomImageList* GetCheckImageList(TCheckImageKind kind) {
    if (kind == ckCustom || unsigned(kind) > unsigned(ckSystemFlat)) return nullptr;
    static std::mutex lock;
    static std::unique_ptr<pf::TCustomImageList> lists[ckSystemFlat + 1];
    std::lock_guard<std::mutex> guard(lock);
    auto& list = lists[kind];
    if (!list) {
        list = std::make_unique<pf::TCustomImageList>(CheckImageSize, CheckImageSize);
        std::unique_ptr<pf::TBitmap> strip = MakeCheckStrip(kind);
        list->AddMasked(strip.get(), pf::TColor(Magenta));
    }
    return list.get();
}

}  // namespace treeview
