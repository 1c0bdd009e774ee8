// BMP files and icons in our own code.
#include <algorithm>
#include <cstring>

#include "platform/core/exceptions.h"
#include "platform/graphics/gdi_objects.h"
#include "platform/graphics/pictures.h"

namespace platform {
namespace {

[[noreturn]] void Bad(const std::string& why) { throw EInvalidGraphic("Bitmap image is not valid: " + why); }

// Little-endian reads that refuse to leave the data.
struct Bytes {
    const BYTE* data;
    std::size_t size;
    void need(std::size_t at, std::size_t n, const char* what) const {
        if (at > size || n > size - at) Bad(std::string("truncated ") + what);
    }
    std::uint32_t u32(std::size_t at) const {
        need(at, 4, "header");
        return std::uint32_t(data[at]) | (std::uint32_t(data[at + 1]) << 8) | (std::uint32_t(data[at + 2]) << 16) |
               (std::uint32_t(data[at + 3]) << 24);
    }
    std::uint16_t u16(std::size_t at) const {
        need(at, 2, "header");
        return std::uint16_t(data[at] | (data[at + 1] << 8));
    }
};

struct Unique {
    HBITMAP bm;
    ~Unique() {
        if (bm) DeleteObject(bm);
    }
    HBITMAP release() { return std::exchange(bm, nullptr); }
};

// A masked field widened to 8 bits by repeating its bits, as 16-bit pixels are.
BYTE Expand(DWORD v, DWORD mask) {
    if (!mask) return 0;
    int shift = 0, bits = 0;
    while (!((mask >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) ++bits;
    DWORD f = (v & mask) >> shift;
    if (bits > 8) {
        f >>= bits - 8;
        bits = 8;
    }
    DWORD out = 0;
    for (int pos = 8 - bits;; pos -= bits) {
        out |= pos >= 0 ? f << pos : f >> -pos;
        if (pos <= 0) break;
    }
    return BYTE(out);
}

// Walks RLE4/RLE8 data starting at `at`, handing each pixel of the bitmap to
// `put(x, y, index)` (y counts stored rows from the bottom). Encoders run into the padding
// of a row as stored uncompressed (a row of 7 pixels gets a run of 8): those pixels are
// dropped. A run or a jump beyond that leaves the bitmap and makes the file inconsistent.
template <class Put>
void WalkRle(const Bytes& in, std::size_t at, std::int64_t width, std::int64_t height, int bpp, Put put) {
    const std::int64_t stored = (width * bpp + 31) / 32 * 32 / bpp;
    std::int64_t x = 0, y = 0;
    auto pixel = [&](int index) {
        if (x >= stored || y >= height) Bad("a run leaves the bitmap");
        if (x < width) put(int(x), int(y), index);
        ++x;
    };
    for (;;) {
        in.need(at, 2, "compressed data");
        int n = in.data[at], v = in.data[at + 1];
        at += 2;
        if (n > 0) {
            for (int i = 0; i < n; ++i) pixel(bpp == 8 ? v : ((i & 1) ? (v & 0xF) : (v >> 4)));
            continue;
        }
        if (v == 0) {  // end of line
            x = 0;
            ++y;
        } else if (v == 1) {  // end of bitmap
            return;
        } else if (v == 2) {  // delta
            in.need(at, 2, "compressed data");
            x += in.data[at];
            y += in.data[at + 1];
            at += 2;
            if (x > stored || y > height) Bad("a jump leaves the bitmap");
        } else {  // absolute run of v pixels, padded to a 16-bit boundary
            std::size_t bytes = bpp == 8 ? std::size_t(v) : (std::size_t(v) + 1) / 2;
            in.need(at, bytes, "compressed data");
            for (int i = 0; i < v; ++i) {
                BYTE b = in.data[at + (bpp == 8 ? std::size_t(i) : std::size_t(i / 2))];
                pixel(bpp == 8 ? b : ((i & 1) ? (b & 0xF) : (b >> 4)));
            }
            at += (bytes + 1) & ~std::size_t(1);
        }
        if (y >= height) return;
    }
}

// Whether RLE data of `bytes` bytes can plausibly fill `pixels` pixels. A two-byte run
// gives at most 255 pixels and files skip little with jumps and early ends; data that
// would have to describe far more than that per byte lies about the size (and a few
// bytes must not cost the allocation of a huge bitmap).
bool RleCanFill(std::uint64_t pixels, std::uint64_t bytes) { return pixels / 1024 <= bytes + 64; }

}  // namespace

HBITMAP ReadBmp(const BYTE* data, std::size_t size) {
    if (!data) Bad("no data");
    Bytes in{data, size};
    std::size_t base = 0;
    std::size_t pixelOffset = 0;
    bool fileHeader = size >= 2 && data[0] == 'B' && data[1] == 'M';
    if (fileHeader) {
        in.need(0, 14, "file header");
        pixelOffset = in.u32(10);
        base = 14;
    }
    std::uint32_t hsize = in.u32(base);
    if (hsize != 12 && hsize != 40 && hsize != 52 && hsize != 56 && hsize != 64 && hsize != 108 && hsize != 124)
        Bad("unknown header size " + std::to_string(hsize));
    in.need(base, hsize, "info header");
    bool core = hsize == 12;
    std::int64_t width = core ? in.u16(base + 4) : std::int32_t(in.u32(base + 4));
    std::int64_t height = core ? std::int16_t(in.u16(base + 6)) : std::int32_t(in.u32(base + 8));
    int bpp = core ? in.u16(base + 10) : in.u16(base + 14);
    std::uint32_t compression = core ? BI_RGB : in.u32(base + 16);
    std::uint32_t clrUsed = core ? 0 : in.u32(base + 32);
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) Bad("empty size");
    if (width > kMaxBitmapSide || height > kMaxBitmapSide || width * height > kMaxBitmapPixels)
        Bad("size beyond the limit");
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) Bad("bit count " + std::to_string(bpp));
    bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    if (compression == BI_RLE8 && bpp != 8) Bad("RLE8 needs 8 bits");
    if (compression == BI_RLE4 && bpp != 4) Bad("RLE4 needs 4 bits");
    if (compression == 6 /* alpha bit fields */) compression = BI_BITFIELDS;
    if (compression == BI_BITFIELDS && bpp != 16 && bpp != 32) Bad("bit fields need 16 or 32 bits");
    if (compression != BI_RGB && compression != BI_BITFIELDS && !rle) Bad("compression " + std::to_string(compression));
    if (rle && topDown) Bad("compressed top-down bitmap");

    std::size_t cursor = base + hsize;
    DWORD masks[4] = {0, 0, 0, 0};
    if (compression == BI_BITFIELDS) {
        if (hsize >= 52) {
            for (int i = 0; i < 3; ++i) masks[i] = in.u32(base + 40 + 4 * std::size_t(i));
            if (hsize >= 56) masks[3] = in.u32(base + 52);
        } else {
            for (int i = 0; i < 3; ++i) masks[i] = in.u32(cursor + 4 * std::size_t(i));
            cursor += 12;
        }
    } else if (bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bpp == 32 && hsize >= 56 && compression == BI_RGB) {
        masks[3] = 0;
    }

    // Uncompressed pixels must be in the file before anything is allocated for them, and
    // compressed ones plausible.
    std::size_t fileStride = std::size_t(((width * bpp + 31) / 32) * 4);
    if (!rle && (std::uint64_t(fileStride) * std::uint64_t(height) > size)) Bad("truncated pixel data");
    if (rle && !RleCanFill(std::uint64_t(width) * std::uint64_t(height), size)) Bad("too little data for its size");
    Unique out{NewBitmap(int(width), int(height), bpp, !topDown)};
    if (!out.bm) Bad("cannot allocate");
    HBITMAP bm = out.bm;
    if (bpp <= 8) {
        std::size_t max = std::size_t(1) << bpp;
        std::size_t count = clrUsed ? clrUsed : max;
        if (count > 256) Bad("palette of " + std::to_string(count) + " colours");
        std::size_t entry = core ? 3 : 4;
        in.need(cursor, count * entry, "palette");
        bm->palette.assign(std::max(count, std::size_t(1)), RGBQUAD{});
        for (std::size_t i = 0; i < count; ++i) {
            const BYTE* q = data + cursor + i * entry;
            bm->palette[i] = RGBQUAD{q[0], q[1], q[2], 0};
        }
        cursor += count * entry;
    }
    if (!fileHeader) pixelOffset = cursor;
    if (pixelOffset > size) Bad("pixel data beyond the file");

    if (rle) {
        WalkRle(in, pixelOffset, width, height, bpp, [&](int x, int y, int index) {
            BYTE* row = bm->bits() + std::size_t(y) * bm->stride;
            if (bpp == 8) {
                row[x] = BYTE(index);
            } else {
                BYTE& b = row[x / 2];
                b = (x & 1) ? BYTE((b & 0xF0) | (index & 0xF)) : BYTE((b & 0x0F) | ((index & 0xF) << 4));
            }
        });
        return out.release();
    }
    std::size_t stride = std::size_t(bm->stride);
    in.need(pixelOffset, stride * std::size_t(height), "pixel data");
    const BYTE* src = data + pixelOffset;
    if (bpp == 32 && compression == BI_BITFIELDS &&
        !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) {
        for (std::size_t y = 0; y < std::size_t(height); ++y)
            for (std::size_t x = 0; x < std::size_t(width); ++x) {
                const BYTE* p = src + y * stride + x * 4;
                DWORD v = DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24);
                Pixel px = (Pixel(Expand(v, masks[0])) << 16) | (Pixel(Expand(v, masks[1])) << 8) |
                           Expand(v, masks[2]) | (Pixel(Expand(v, masks[3])) << 24);
                std::memcpy(bm->bits() + y * stride + x * 4, &px, 4);
            }
        return out.release();
    }
    std::memcpy(bm->bits(), src, stride * std::size_t(height));
    if (bpp == 16) std::copy(masks, masks + 3, bm->masks);
    return out.release();
}

std::vector<BYTE> WriteBmp(HBITMAP bm) {
    if (!bm || !gdi::IsLiveObject(bm)) throw EInvalidGraphic("Bitmap image is not valid: no bitmap");
    std::size_t palette = bm->bpp <= 8 ? bm->palette.size() : 0;
    std::size_t masks = bm->bpp == 16 ? 12 : 0;
    std::size_t offset = 14 + 40 + masks + palette * 4;
    std::size_t image = std::size_t(bm->stride) * std::size_t(bm->height);
    std::vector<BYTE> out(offset + image, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + std::size_t(i)] = BYTE(v >> (8 * i));
    };
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        out[at] = BYTE(v);
        out[at + 1] = BYTE(v >> 8);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, std::uint32_t(out.size()));
    put32(10, std::uint32_t(offset));
    put32(14, 40);
    put32(18, std::uint32_t(bm->width));
    put32(22, std::uint32_t(bm->height));
    put16(26, 1);
    put16(28, std::uint16_t(bm->bpp));
    put32(30, masks ? BI_BITFIELDS : BI_RGB);
    put32(34, std::uint32_t(image));
    put32(38, 3780);
    put32(42, 3780);
    put32(46, std::uint32_t(palette));
    std::size_t at = 54;
    for (std::size_t i = 0; i < 3 && masks; ++i, at += 4) put32(at, bm->masks[i]);
    for (std::size_t i = 0; i < palette; ++i, at += 4) {
        out[at] = bm->palette[i].rgbBlue;
        out[at + 1] = bm->palette[i].rgbGreen;
        out[at + 2] = bm->palette[i].rgbRed;
    }
    for (int y = 0; y < bm->height; ++y)
        std::memcpy(out.data() + offset + std::size_t(bm->height - 1 - y) * std::size_t(bm->stride), bm->row(y),
                    std::size_t(bm->stride));
    return out;
}

// ---- icons ----

HBITMAP ReadIcon(const BYTE* data, std::size_t size, POINT* hotSpot) {
    if (!data) throw EInvalidGraphic("Icon image is not valid: no data");
    Bytes in{data, size};
    auto bad = [](const std::string& why) -> HBITMAP { throw EInvalidGraphic("Icon image is not valid: " + why); };
    if (size < 6 || in.u16(0) != 0 || (in.u16(2) != 1 && in.u16(2) != 2)) return bad("not an icon file");
    bool cursor = in.u16(2) == 2;
    std::size_t count = in.u16(4);
    if (count == 0) return bad("no images");
    if (size < 6 + 16 * count) return bad("truncated directory");
    std::size_t best = 0;
    std::int64_t bestScore = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const BYTE* e = data + 6 + 16 * i;
        std::int64_t w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        std::int64_t bits = cursor ? 0 : (e[6] | (e[7] << 8));
        std::int64_t score = (w * h) * 64 + bits;
        if (score > bestScore) {
            bestScore = score;
            best = i;
        }
    }
    const std::size_t entry = 6 + 16 * best;
    std::size_t length = in.u32(entry + 8), offset = in.u32(entry + 12);
    if (offset > size || length > size - offset || length < 8) return bad("image outside the file");
    if (hotSpot) *hotSpot = cursor ? POINT{in.u16(entry + 4), in.u16(entry + 6)} : POINT{0, 0};
    const BYTE* img = data + offset;
    static const BYTE sig[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    HBITMAP bm = nullptr;
    if (std::memcmp(img, sig, 8) == 0) {
        bm = ReadPng(img, length, nullptr);
    } else {
        // A DIB of twice the height: the colour rows, then the 1-bit AND mask.
        std::vector<BYTE> dib(img, img + length);
        Bytes d{dib.data(), dib.size()};
        std::uint32_t hsize = d.u32(0);
        if (hsize < 40) return bad("icon header");
        std::int32_t h2 = std::int32_t(d.u32(8));
        if (h2 <= 1) return bad("icon height");
        std::int32_t h = h2 / 2;
        for (int i = 0; i < 4; ++i) dib[8 + std::size_t(i)] = BYTE(std::uint32_t(h) >> (8 * i));
        Unique colour{ReadBmp(dib.data(), dib.size())};
        HBITMAP c = colour.bm;
        int bpp = c->bpp;
        std::size_t pal = bpp <= 8 ? (d.u32(32) ? d.u32(32) : (std::size_t(1) << bpp)) : 0;
        std::size_t maskAt = hsize + pal * 4 + std::size_t(c->stride) * std::size_t(h);
        std::size_t maskStride = std::size_t((c->width + 31) / 32) * 4;
        bool haveMask = maskAt <= dib.size() && maskStride * std::size_t(h) <= dib.size() - maskAt;
        Unique out{NewBitmap(c->width, h, 32, false)};
        bool anyAlpha = false;
        if (bpp == 32)
            for (int y = 0; y < h && !anyAlpha; ++y)
                for (int x = 0; x < c->width; ++x)
                    if (c->get(x, y) >> 24) anyAlpha = true;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < c->width; ++x) {
                Pixel p = c->get(x, y);
                if (!anyAlpha) {
                    bool transparent = false;
                    if (haveMask) {
                        const BYTE* row = dib.data() + maskAt + std::size_t(h - 1 - y) * maskStride;
                        transparent = (row[x / 8] >> (7 - x % 8)) & 1;
                    }
                    p = transparent ? 0 : (p | 0xFF000000u);
                }
                out.bm->set(x, y, p);
            }
        bm = out.release();
    }
    // Premultiply, as the alpha blit expects.
    for (int y = 0; y < bm->height; ++y)
        for (int x = 0; x < bm->width; ++x) {
            Pixel p = bm->get(x, y);
            std::uint32_t a = p >> 24;
            Pixel r = p & 0xFF000000u;
            for (int k = 0; k < 24; k += 8) r |= (((p >> k) & 0xFF) * a + 127) / 255 << k;
            bm->set(x, y, r);
        }
    return bm;
}

}  // namespace platform
