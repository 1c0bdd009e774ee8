// JPEG files through libjpeg.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/core/exceptions.h"
#include "platform/graphics/gdi_objects.h"
#include "platform/graphics/pictures.h"

// After our headers: libjpeg defines TRUE and FALSE as macros.
#include <jpeglib.h>
#include <jerror.h>

namespace platform {
namespace {

// A progressive file may hold any number of scans, each a pass over the whole picture:
// real files have a dozen, so a few hundred mean a file made to keep the reader busy.
constexpr int kMaxScans = 256;
// Colour, grey, CMYK and YCCK pictures have at most four components.
constexpr int kMaxComponents = 4;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    bool truncated = false;
};

void OnError(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

// Called as the decoder reads: stops a file with too many scans.
void OnProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(e->message, sizeof e->message, "more than %d scans", kMaxScans);
        std::longjmp(e->jump, 1);
    }
}

// Warnings are not printed; a premature end of the data makes the picture invalid.
void OnMessage(j_common_ptr cinfo, int level) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0) {
        if (cinfo->err->msg_code == JWRN_JPEG_EOF) e->truncated = true;
        ++cinfo->err->num_warnings;
    }
}

}  // namespace

HBITMAP ReadJpeg(const BYTE* data, std::size_t size) {
    if (!data || size < 4) throw EInvalidGraphic("JPEG image is not valid: no data");
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    // Everything with a destructor lives outside the part a libjpeg error jumps out of.
    HBITMAP volatile bm = nullptr;
    std::string failure;
    std::vector<JSAMPLE> row;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (bm) DeleteObject(bm);
        throw EInvalidGraphic(std::string("JPEG image is not valid: ") + err.message);
    }
    jpeg_create_decompress(&cinfo);
    // Progressive files keep all coefficients in memory: bounded, beyond it the file fails.
    cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = OnProgress;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.num_components > kMaxComponents) {
        failure = std::to_string(cinfo.num_components) + " colour components";
    } else if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > unsigned(kMaxBitmapSide) ||
        cinfo.image_height > unsigned(kMaxBitmapSide) ||
        std::int64_t(cinfo.image_width) * cinfo.image_height > kMaxBitmapPixels) {
        failure = "size beyond the limit";
    } else {
        bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
        cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
        jpeg_start_decompress(&cinfo);
        bm = NewBitmap(int(cinfo.output_width), int(cinfo.output_height), 24, false);
        if (!bm) {
            failure = "cannot allocate";
        } else {
            row.resize(std::size_t(cinfo.output_width) * std::size_t(cinfo.output_components));
            while (cinfo.output_scanline < cinfo.output_height && !err.truncated) {
                JSAMPROW rows[1] = {row.data()};
                int y = int(cinfo.output_scanline);
                if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
                BYTE* out = bm->row(y);
                for (std::size_t x = 0; x < cinfo.output_width; ++x) {
                    BYTE r, g, b;
                    if (cmyk) {
                        // Inverted CMYK as written by most tools.
                        const JSAMPLE* p = &row[x * 4];
                        r = BYTE(p[0] * p[3] / 255);
                        g = BYTE(p[1] * p[3] / 255);
                        b = BYTE(p[2] * p[3] / 255);
                    } else {
                        const JSAMPLE* p = &row[x * std::size_t(cinfo.output_components)];
                        r = p[0];
                        g = cinfo.output_components >= 3 ? p[1] : p[0];
                        b = cinfo.output_components >= 3 ? p[2] : p[0];
                    }
                    out[x * 3] = b;
                    out[x * 3 + 1] = g;
                    out[x * 3 + 2] = r;
                }
            }
            if (err.truncated || cinfo.output_scanline < cinfo.output_height) failure = "the data ends early";
            else jpeg_finish_decompress(&cinfo);
        }
    }
    jpeg_destroy_decompress(&cinfo);
    if (!failure.empty()) {
        if (bm) DeleteObject(bm);
        throw EInvalidGraphic("JPEG image is not valid: " + failure);
    }
    return bm;
}

std::vector<BYTE> WriteJpeg(HBITMAP bm, int quality, bool grayscale) {
    if (!bm || !gdi::IsLiveObject(bm)) throw EInvalidGraphic("JPEG image: no bitmap");
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    std::vector<JSAMPLE> row(std::size_t(bm->width) * 3);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        throw EInvalidGraphic(std::string("JPEG image: ") + err.message);
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = JDIMENSION(bm->width);
    cinfo.image_height = JDIMENSION(bm->height);
    cinfo.input_components = grayscale ? 1 : 3;
    cinfo.in_color_space = grayscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(quality, 1, 100), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        int y = int(cinfo.next_scanline);
        for (int x = 0; x < bm->width; ++x) {
            Pixel p = bm->get(x, y);
            BYTE r = BYTE(p >> 16), g = BYTE(p >> 8), b = BYTE(p);
            if (grayscale) row[std::size_t(x)] = BYTE((r * 299 + g * 587 + b * 114 + 500) / 1000);
            else {
                row[std::size_t(x) * 3] = r;
                row[std::size_t(x) * 3 + 1] = g;
                row[std::size_t(x) * 3 + 2] = b;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<BYTE> out(buffer, buffer + length);
    std::free(buffer);
    return out;
}

}  // namespace platform
