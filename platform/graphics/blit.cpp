// Block transfers: raster operations, stretching, transparent and alpha blits.
#include <algorithm>
#include <cstring>

#include "platform/graphics/gdi_objects.h"

namespace platform {
using namespace gdi;

namespace {

// The ternary raster operation index (0..255) applied to whole pixels: bit i of the index
// is the result for pattern = i & 4, source = i & 2, destination = i & 1.
Pixel Rop3(BYTE rop, Pixel p, Pixel s, Pixel d) {
    switch (rop) {
    case 0xCC: return s;
    case 0xEE: return (s | d) & 0xFFFFFF;
    case 0x88: return (s & d) & 0xFFFFFF;
    case 0x66: return (s ^ d) & 0xFFFFFF;
    case 0x44: return (s & ~d) & 0xFFFFFF;
    case 0x33: return ~s & 0xFFFFFF;
    case 0xF0: return p;
    case 0x5A: return (p ^ d) & 0xFFFFFF;
    case 0x55: return ~d & 0xFFFFFF;
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFF;
    case 0xAA: return d;
    }
    Pixel r = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((rop >> i) & 1)) continue;
        r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r & 0xFFFFFF;
}
bool UsesSource(BYTE rop) { return ((rop >> 2) ^ rop) & 0x33; }
bool UsesPattern(BYTE rop) { return ((rop >> 4) ^ rop) & 0x0F; }
bool UsesDest(BYTE rop) { return ((rop >> 1) ^ rop) & 0x55; }

// One source column or row of a stretch: which source pixels feed an output pixel and with
// what weight (weights of one output pixel sum to 'total').
struct Taps {
    std::vector<int> start;       // first tap index per output pixel
    std::vector<int> index;       // source offset
    std::vector<int> weight;
    int total = 1;
};

// Nearest: output pixel i samples the source pixel under its centre.
// Halftone: output pixel i averages the source span [i*s/d, (i+1)*s/d) by coverage.
Taps MakeTaps(int d, int s, bool halftone) {
    Taps t;
    t.start.reserve(std::size_t(d) + 1);
    if (!halftone || d >= s * 4096) {
        for (int i = 0; i < d; ++i) {
            t.start.push_back(int(t.index.size()));
            t.index.push_back(int((std::int64_t(2 * i + 1) * s) / (std::int64_t(2) * d)));
            t.weight.push_back(1);
        }
        t.start.push_back(int(t.index.size()));
        return t;
    }
    // Work in units of 1/d of a source pixel: output pixel i covers [i*s, (i+1)*s).
    t.total = s;
    for (int i = 0; i < d; ++i) {
        t.start.push_back(int(t.index.size()));
        std::int64_t a = std::int64_t(i) * s, b = a + s;
        for (std::int64_t j = a / d; j * d < b && j < s; ++j) {
            std::int64_t lo = std::max(a, j * d), hi = std::min(b, (j + 1) * d);
            if (hi > lo) {
                t.index.push_back(int(j));
                t.weight.push_back(int(hi - lo));
            }
        }
    }
    t.start.push_back(int(t.index.size()));
    return t;
}

struct Source {
    HBITMAP bm = nullptr;
    int x = 0, y = 0, w = 0, h = 0;  // device rectangle in the source bitmap
    COLORREF bk = 0;                 // the source DC's background colour (colour to mono)
};

// Converts a source pixel to the destination's terms: a monochrome source paints 0 bits
// in the destination's text colour and 1 bits in its background colour; a colour source
// into a monochrome destination gives white where it has the source's background colour.
struct Convert {
    bool monoToColor = false, colorToMono = false;
    Pixel fg = 0, bg = 0, srcBk = 0;
    Pixel operator()(Pixel s) const {
        if (monoToColor) return (s & 0xFFFFFF) ? bg : fg;
        if (colorToMono) return (s & 0xFFFFFF) == srcBk ? 0xFFFFFF : 0;
        return s;
    }
};

// A monochrome mask choosing, per pixel, between the operation's foreground code (mask 1)
// and a background code (mask 0).
struct Mask {
    HBITMAP bm = nullptr;
    int x = 0, y = 0;
    BYTE back = 0;
};

BOOL Transfer(HDC dst, int x, int y, int w, int h, const Source* src, DWORD rop, bool halftone,
              const Mask* mask = nullptr) {
    Target t = TargetOf(dst);
    if (!t.bm) return FALSE;
    BYTE code = BYTE((rop >> 16) & 0xFF);
    BYTE fore = code;
    bool needSrc = UsesSource(code) || (mask && UsesSource(mask->back));
    if (needSrc && (!src || !src->bm)) return FALSE;
    // Sizes beyond 2^20 pixels are refused; coordinates far outside are pinned.
    const int kMaxSide = 1 << 20;
    if (std::abs(std::int64_t(w)) > kMaxSide || std::abs(std::int64_t(h)) > kMaxSide) return FALSE;
    if (needSrc && (std::abs(std::int64_t(src->w)) > kMaxSide || std::abs(std::int64_t(src->h)) > kMaxSide))
        return FALSE;
    bool mirrorX = w < 0, mirrorY = h < 0;
    int sw = needSrc ? src->w : 1, sh = needSrc ? src->h : 1;
    if (needSrc && sw < 0) mirrorX = !mirrorX;
    if (needSrc && sh < 0) mirrorY = !mirrorY;
    // A negative extent runs back from its start: make it positive from the other end.
    auto normalise = [](int& start, int& extent) {
        if (extent < 0) {
            start += extent;
            extent = -extent;
        }
    };
    int dx0 = Pin(std::int64_t(x) + t.offset.x), dy0 = Pin(std::int64_t(y) + t.offset.y);
    int sx0 = needSrc ? src->x : 0, sy0 = needSrc ? src->y : 0;
    normalise(dx0, w);
    normalise(dy0, h);
    normalise(sx0, sw);
    normalise(sy0, sh);
    if (w == 0 || h == 0 || (needSrc && (sw == 0 || sh == 0))) return TRUE;

    HBITMAP sbm = needSrc ? src->bm : nullptr;
    // A copy within one bitmap reads from a snapshot of the source rectangle.
    std::unique_ptr<HBITMAP__> snapshot;
    if (sbm && sbm == t.bm) {
        snapshot = std::make_unique<HBITMAP__>(*sbm);
        sbm = snapshot.get();
    }
    Convert conv;
    if (sbm) {
        conv.monoToColor = sbm->mono() && !t.bm->mono();
        conv.colorToMono = !sbm->mono() && t.bm->mono();
        conv.fg = DeviceColor(t.bm, dst->state.textColor);
        conv.bg = DeviceColor(t.bm, dst->state.bkColor);
        conv.srcBk = ToPixel(src->bk) & 0xFFFFFF;
        if (sbm->bpp <= 8) conv.srcBk = DeviceColor(sbm, src->bk);
    }
    bool needPat = UsesPattern(code) || (mask && UsesPattern(mask->back));
    Paint pat = needPat ? BrushPaint(dst, dst->state.brush) : ColorPaint(0);
    if (needPat && pat.none) return TRUE;  // a hollow brush paints nothing

    bool stretch = needSrc && (sw != w || sh != h);
    Taps tx = needSrc ? MakeTaps(w, sw, halftone && stretch) : Taps{};
    Taps ty = needSrc ? MakeTaps(h, sh, halftone && stretch) : Taps{};
    bool direct32 = t.bm->bpp == 32 && (!sbm || (sbm->bpp == 32 && !stretch && !mirrorX)) && code == 0xCC && !mask;
    // A plain copy of a 24-bit picture into a 32-bit one (the skins' pictures into the
    // windows' buffers) widens whole rows: each pixel gets the alpha byte 0, as get() gives.
    bool direct24 = t.bm->bpp == 32 && sbm && sbm->bpp == 24 && !stretch && !mirrorX && code == 0xCC && !mask;

    RECT box{dx0, dy0, dx0 + w, dy0 + h};
    for (const RECT& c : t.clip.rects()) {
        RECT a;
        if (!IntersectRect(&a, &c, &box)) continue;
        for (int py = a.top; py < a.bottom; ++py) {
            int oy = py - dy0;
            if (mirrorY) oy = h - 1 - oy;
            if (direct32 && !mirrorY) {
                int sy = sy0 + oy;
                if (sy < 0 || sy >= sbm->height) continue;
                int lo = std::max<int>(a.left, dx0 - sx0), hi = std::min<int>(a.right, dx0 - sx0 + sbm->width);
                if (lo < hi)
                    std::memcpy(t.bm->row32(py) + lo, sbm->row32(sy) + (sx0 + lo - dx0), std::size_t(hi - lo) * 4);
                continue;
            }
            if (direct24 && !mirrorY) {
                int sy = sy0 + oy;
                if (sy < 0 || sy >= sbm->height) continue;
                int lo = std::max<int>(a.left, dx0 - sx0), hi = std::min<int>(a.right, dx0 - sx0 + sbm->width);
                Pixel* out = t.bm->row32(py);
                const BYTE* in = sbm->row(sy) + std::size_t(sx0 + lo - dx0) * 3;
                for (int px = lo; px < hi; ++px, in += 3)
                    out[px] = Pixel(in[0]) | (Pixel(in[1]) << 8) | (Pixel(in[2]) << 16);
                continue;
            }
            for (int px = a.left; px < a.right; ++px) {
                int ox = px - dx0;
                if (mirrorX) ox = w - 1 - ox;
                Pixel s = 0;
                if (needSrc) {
                    if (ty.total == 1 && tx.total == 1) {
                        int sx = sx0 + tx.index[std::size_t(tx.start[std::size_t(ox)])];
                        int sy = sy0 + ty.index[std::size_t(ty.start[std::size_t(oy)])];
                        if (sx < 0 || sy < 0 || sx >= sbm->width || sy >= sbm->height) continue;
                        s = conv(sbm->get(sx, sy));
                    } else {
                        std::uint64_t acc[4] = {0, 0, 0, 0};
                        std::uint64_t wsum = 0;
                        for (int j = ty.start[std::size_t(oy)]; j < ty.start[std::size_t(oy) + 1]; ++j) {
                            int sy = sy0 + ty.index[std::size_t(j)];
                            if (sy < 0 || sy >= sbm->height) continue;
                            for (int i = tx.start[std::size_t(ox)]; i < tx.start[std::size_t(ox) + 1]; ++i) {
                                int sx = sx0 + tx.index[std::size_t(i)];
                                if (sx < 0 || sx >= sbm->width) continue;
                                std::uint64_t wgt = std::uint64_t(tx.weight[std::size_t(i)]) * std::uint64_t(ty.weight[std::size_t(j)]);
                                Pixel v = conv(sbm->get(sx, sy));
                                for (int k = 0; k < 4; ++k) acc[k] += ((v >> (8 * k)) & 0xFF) * wgt;
                                wsum += wgt;
                            }
                        }
                        if (!wsum) continue;
                        for (int k = 0; k < 4; ++k) s |= Pixel((acc[k] + wsum / 2) / wsum) << (8 * k);
                    }
                }
                if (mask) {
                    int mx = mask->x + (px - dx0), my = mask->y + (py - dy0);
                    bool on = mx >= 0 && my >= 0 && mx < mask->bm->width && my < mask->bm->height &&
                              (mask->bm->get(mx, my) & 0xFFFFFF);
                    code = on ? fore : mask->back;
                }
                bool paints = true;
                Pixel p = UsesPattern(code) ? pat.at(px, py, &paints) : 0;
                if (!paints) continue;
                Pixel d = UsesDest(code) ? t.bm->get(px, py) & 0xFFFFFF : 0;
                Pixel r = code == 0xCC ? (t.bm->bpp == 32 ? s : s & 0xFFFFFF) : Rop3(code, p, s & 0xFFFFFF, d);
                t.bm->set(px, py, r);
            }
        }
    }
    return TRUE;
}

Source SourceOf(HDC src, int sx, int sy, int sw, int sh) {
    Source s;
    if (!src || !IsLiveDc(src)) return s;
    Target st = TargetOf(src);
    s.bm = st.bm;
    s.x = Pin(std::int64_t(sx) + st.offset.x);
    s.y = Pin(std::int64_t(sy) + st.offset.y);
    s.w = sw;
    s.h = sh;
    s.bk = src->state.bkColor;
    return s;
}

}  // namespace

BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop) {
    if (!IsLiveDc(dc)) return FALSE;
    if (UsesSource(BYTE((rop >> 16) & 0xFF))) return FALSE;
    return Transfer(dc, x, y, w, h, nullptr, rop, false);
}

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    if (!IsLiveDc(dst)) return FALSE;
    Source s = SourceOf(src, sx, sy, w, h);
    return Transfer(dst, x, y, w, h, s.bm ? &s : nullptr, rop, false);
}

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
    if (!IsLiveDc(dst)) return FALSE;
    Source s = SourceOf(src, sx, sy, sw, sh);
    return Transfer(dst, x, y, w, h, s.bm ? &s : nullptr, rop, dst->state.stretchMode == HALFTONE);
}

BOOL MaskBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, HBITMAP mask, int mx, int my, DWORD rop) {
    if (!IsLiveDc(dst)) return FALSE;
    Source s = SourceOf(src, sx, sy, w, h);
    if (!mask) return Transfer(dst, x, y, w, h, s.bm ? &s : nullptr, rop, false);
    if (!Live(mask) || !mask->mono() || w < 0 || h < 0) return FALSE;
    Mask m{mask, mx, my, BYTE((rop >> 24) & 0xFF)};
    return Transfer(dst, x, y, w, h, s.bm ? &s : nullptr, rop & 0x00FFFFFF, false, &m);
}

int StretchDIBits(HDC dst, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
    if (!IsLiveDc(dst) || !bits || !info) return 0;
    void* dib = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, info, usage, &dib, nullptr, 0);
    if (!bm) return 0;
    std::memcpy(dib, bits, bm->storage.size() * 4);
    // Rows of a bottom-up DIB count from its lower edge.
    if (info->bmiHeader.biHeight > 0) sy = bm->height - sy - sh;
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, bm);
    BOOL ok = StretchBlt(dst, x, y, w, h, mem, sx, sy, sw, sh, rop);
    DeleteDC(mem);
    DeleteObject(bm);
    return ok ? h : 0;
}

namespace {
// The per-pixel walk shared by the transparent and alpha blits: nearest stretch of the
// source rectangle over the destination rectangle, clipped, calling f(dst pixel, src pixel).
template <class F>
BOOL EachStretched(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, bool requireInside,
                   F&& f) {
    const int kMaxSide = 1 << 20;
    if (!IsLiveDc(dst) || !IsLiveDc(src) || w < 0 || h < 0 || sw < 0 || sh < 0 || w > kMaxSide || h > kMaxSide ||
        sw > kMaxSide || sh > kMaxSide)
        return FALSE;
    Target t = TargetOf(dst);
    Source s = SourceOf(src, sx, sy, sw, sh);
    if (!t.bm || !s.bm) return FALSE;
    if (requireInside &&
        (s.x < 0 || s.y < 0 || std::int64_t(s.x) + sw > s.bm->width || std::int64_t(s.y) + sh > s.bm->height))
        return FALSE;
    if (w == 0 || h == 0 || sw == 0 || sh == 0) return TRUE;
    Taps tx = MakeTaps(w, sw, false), ty = MakeTaps(h, sh, false);
    int bx = Pin(std::int64_t(x) + t.offset.x), by = Pin(std::int64_t(y) + t.offset.y);
    RECT box{bx, by, bx + w, by + h};
    for (const RECT& c : t.clip.rects()) {
        RECT a;
        if (!IntersectRect(&a, &c, &box)) continue;
        for (int py = a.top; py < a.bottom; ++py) {
            int qy = s.y + ty.index[std::size_t(py - box.top)];
            if (qy < 0 || qy >= s.bm->height) continue;
            for (int px = a.left; px < a.right; ++px) {
                int qx = s.x + tx.index[std::size_t(px - box.left)];
                if (qx < 0 || qx >= s.bm->width) continue;
                f(t.bm, px, py, s.bm->get(qx, qy));
            }
        }
    }
    return TRUE;
}

inline Pixel Div255(std::uint32_t v) { return (v + 127) / 255; }
}  // namespace

BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, UINT key) {
    Pixel k = ToPixel(key & 0xFFFFFF);
    return EachStretched(dst, x, y, w, h, src, sx, sy, sw, sh, false, [&](HBITMAP d, int px, int py, Pixel s) {
        if ((s & 0xFFFFFF) != k) d->set(px, py, d->bpp == 32 ? s : s & 0xFFFFFF);
    });
}

BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, BLENDFUNCTION bf) {
    if (bf.BlendOp != AC_SRC_OVER) return FALSE;
    if (IsLiveDc(src) && (bf.AlphaFormat & AC_SRC_ALPHA) && src->state.bitmap->bpp != 32) return FALSE;
    std::uint32_t sca = bf.SourceConstantAlpha;
    bool perPixel = bf.AlphaFormat & AC_SRC_ALPHA;
    return EachStretched(dst, x, y, w, h, src, sx, sy, sw, sh, true, [&](HBITMAP d, int px, int py, Pixel s) {
        Pixel t = d->get(px, py);
        if (d->bpp != 32) t &= 0xFFFFFF;
        Pixel r = 0;
        if (!perPixel) {
            // dst = src * a + dst * (1 - a), a = constant / 255, rounded per channel.
            for (int k = 0; k < 32; k += 8)
                r |= Div255(((s >> k) & 0xFF) * sca + ((t >> k) & 0xFF) * (255 - sca)) << k;
        } else {
            // Premultiplied source scaled by the constant, then over the destination.
            Pixel sp = 0;
            for (int k = 0; k < 32; k += 8) sp |= Div255(((s >> k) & 0xFF) * sca) << k;
            std::uint32_t inv = 255 - (sp >> 24);
            for (int k = 0; k < 32; k += 8) {
                std::uint32_t v = ((sp >> k) & 0xFF) + Div255(((t >> k) & 0xFF) * inv);
                r |= std::min<std::uint32_t>(v, 255) << k;
            }
        }
        d->set(px, py, r);
    });
}

BOOL ScrollDC(HDC dc, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect) {
    if (!IsLiveDc(dc)) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    RECT area;
    GetClipBox(dc, &area);
    if (scroll) IntersectRect(&area, &area, scroll);
    RECT limit = area;
    if (clip) IntersectRect(&limit, &area, clip);
    RECT moved = area;
    OffsetRect(&moved, dx, dy);
    RECT dest;
    IntersectRect(&dest, &moved, &limit);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, dest.left, dest.top, dest.right, dest.bottom);
    BitBlt(dc, area.left + dx, area.top + dy, area.right - area.left, area.bottom - area.top, dc, area.left, area.top,
           SRCCOPY);
    RestoreDC(dc, saved);
    // What the scroll uncovered (logical coordinates): the limit minus the moved picture.
    Region uncovered = Region::Combine(Region(limit), Region(dest), Region::Op::Diff);
    if (Live(update)) update->region = uncovered;
    if (updateRect) *updateRect = uncovered.box();
    return TRUE;
}

}  // namespace platform
