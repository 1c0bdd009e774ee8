// PNG files through libpng, and bitmaps saved as PNG.
#include <png.h>

#include <cstring>

#include "platform/core/exceptions.h"
#include "platform/graphics/gdi_objects.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/pictures.h"

namespace platform {

HBITMAP ReadPng(const BYTE* data, std::size_t size, bool* hasAlpha) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!data || !png_image_begin_read_from_memory(&image, data, size))
        throw EInvalidGraphic(std::string("PNG image is not valid: ") + (data ? image.message : "no data"));
    if (image.width == 0 || image.height == 0 || image.width > std::uint32_t(kMaxBitmapSide) ||
        image.height > std::uint32_t(kMaxBitmapSide) ||
        std::int64_t(image.width) * image.height > kMaxBitmapPixels) {
        png_image_free(&image);
        throw EInvalidGraphic("PNG image is not valid: size beyond the limit");
    }
    // Deflate packs at most about 1032 bytes into one, and a pixel takes at least one bit:
    // a file too small even for that lies about its size.
    if (std::uint64_t(image.width) * image.height / 8 / 1100 > size) {
        png_image_free(&image);
        throw EInvalidGraphic("PNG image is not valid: too little data for its size");
    }
    if (hasAlpha) *hasAlpha = image.format & PNG_FORMAT_FLAG_ALPHA;
    image.format = PNG_FORMAT_BGRA;
    HBITMAP bm = NewBitmap(int(image.width), int(image.height), 32, false);
    if (!bm) {
        png_image_free(&image);
        throw EInvalidGraphic("PNG image is not valid: cannot allocate");
    }
    if (!png_image_finish_read(&image, nullptr, bm->bits(), bm->stride, nullptr)) {
        std::string why = image.message;
        png_image_free(&image);
        DeleteObject(bm);
        throw EInvalidGraphic("PNG image is not valid: " + why);
    }
    return bm;
}

std::vector<BYTE> WritePng(HBITMAP bm, bool withAlpha) {
    if (!bm || !gdi::IsLiveObject(bm)) throw EInvalidGraphic("PNG image: no bitmap");
    // Rows in blue, green, red (and alpha) order, top first.
    std::size_t channels = withAlpha ? 4 : 3;
    std::vector<BYTE> rows(std::size_t(bm->width) * std::size_t(bm->height) * channels);
    for (int y = 0; y < bm->height; ++y)
        for (int x = 0; x < bm->width; ++x) {
            Pixel p = bm->get(x, y);
            BYTE* o = rows.data() + (std::size_t(y) * std::size_t(bm->width) + std::size_t(x)) * channels;
            o[0] = BYTE(p);
            o[1] = BYTE(p >> 8);
            o[2] = BYTE(p >> 16);
            if (withAlpha) o[3] = BYTE(p >> 24);
        }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(bm->width);
    image.height = png_uint_32(bm->height);
    image.format = withAlpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rows.data(), 0, nullptr))
        throw EInvalidGraphic(std::string("PNG image: ") + image.message);
    std::vector<BYTE> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rows.data(), 0, nullptr))
        throw EInvalidGraphic(std::string("PNG image: ") + image.message);
    out.resize(size);
    return out;
}

void SavePng(HBITMAP bitmap, const std::string& path, bool withAlpha) {
    WriteWholeFile(path, WritePng(bitmap, withAlpha));
}

std::vector<BYTE> WriteIcon(HBITMAP bm) {
    std::vector<BYTE> png = WritePng(bm, true);
    std::vector<BYTE> out(6 + 16, 0);
    out[2] = 1;
    out[4] = 1;
    out[6] = BYTE(bm->width >= 256 ? 0 : bm->width);
    out[7] = BYTE(bm->height >= 256 ? 0 : bm->height);
    out[10] = 1;
    out[12] = 32;
    for (int i = 0; i < 4; ++i) {
        out[14 + std::size_t(i)] = BYTE(png.size() >> (8 * i));
        out[18 + std::size_t(i)] = BYTE(std::size_t(22) >> (8 * i));
    }
    out.insert(out.end(), png.begin(), png.end());
    return out;
}

}  // namespace platform
