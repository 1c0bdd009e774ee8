// Input files and bitmaps: JPEG kept byte for byte (DefineBitsJPEG2), PNG decoded to
// premultiplied ARGB (DefineBitsLossless2).
#include <algorithm>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <iterator>

#include "swf/internal/objects.h"
#include "swf/internal/tags.h"

namespace swf::detail {

namespace {

constexpr std::uint64_t kMaxPixels = 8192ull * 8192ull;
constexpr std::uintmax_t kMaxPictureFile = 256u << 20;
// What decoding may hold: a progressive picture of the largest size in 4:2:0 fits.
constexpr long kMaxJpegMemory = 256L << 20;
constexpr int kMaxJpegComponents = 4;  // grey, colour, CMYK, YCCK
constexpr int kMaxJpegScans = 256;     // real progressive files have a dozen

struct JpegFailure {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
    auto* f = reinterpret_cast<JpegFailure*>(cinfo->err);
    cinfo->err->format_message(cinfo, f->message);
    std::longjmp(f->jump, 1);
}

// A picture is stored only when it decodes cleanly, so the first warning (damaged data,
// a bogus progression) ends the check rather than letting the rest of the file run.
void JpegWarningIsError(j_common_ptr cinfo, int level) {
    if (level < 0) JpegErrorExit(cinfo);
}

void JpegProgress(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
        auto* f = reinterpret_cast<JpegFailure*>(cinfo->err);
        std::snprintf(f->message, sizeof f->message, "more than %d scans", kMaxJpegScans);
        std::longjmp(f->jump, 1);
    }
}

// Decodes the whole picture to prove it is sound; fills width and height. Plain C data only
// in this frame (it is left with longjmp).
bool CheckJpeg(const std::uint8_t* data, size_t size, int* width, int* height, char* why,
               size_t whyLen) {
    jpeg_decompress_struct cinfo;
    JpegFailure err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.emit_message = JpegWarningIsError;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = JpegProgress;
    JSAMPLE* volatile row = nullptr;
    if (setjmp(err.jump)) {
        std::snprintf(why, whyLen, "%s", err.message);
        jpeg_destroy_decompress(&cinfo);
        std::free(row);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxJpegMemory;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.num_components > kMaxJpegComponents) {
        std::snprintf(why, whyLen, "%d colour components", cinfo.num_components);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (static_cast<std::uint64_t>(cinfo.image_width) * cinfo.image_height > kMaxPixels ||
        cinfo.image_width > 65535 || cinfo.image_height > 65535) {
        std::snprintf(why, whyLen, "picture of %ux%u pixels is too large", cinfo.image_width,
                      cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    row = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(cinfo.output_width) *
                                            cinfo.output_components));
    if (!row) {
        std::snprintf(why, whyLen, "out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_decompress(&cinfo);
    *width = static_cast<int>(cinfo.image_width);
    *height = static_cast<int>(cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    std::free(row);
    return true;
}

Bytes ReadWhole(const std::string& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) Throw("cannot read " + path + ": " + ec.message());
    if (size > kMaxPictureFile) Throw(path + " is too large for a picture");
    std::ifstream in(path, std::ios::binary);
    if (!in) Throw("cannot open " + path);
    Bytes data(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (static_cast<size_t>(in.gcount()) != data.size()) Throw("cannot read " + path);
    return data;
}

SWFBitmap FromJpeg(const std::string& path, Bytes data) {
    int w = 0, h = 0;
    char why[JMSG_LENGTH_MAX + 64] = {0};
    if (!CheckJpeg(data.data(), data.size(), &w, &h, why, sizeof why))
        Throw(path + ": undecodable JPEG picture (" + why + ")");
    auto* b = new SWFBitmap_s;
    b->jpeg = true;
    b->width = w;
    b->height = h;
    b->data = std::move(data);
    return b;
}

SWFBitmap FromPng(const std::string& path, const Bytes& data) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, data.data(), data.size()))
        Throw(path + ": undecodable PNG picture (" + img.message + ")");
    if (static_cast<std::uint64_t>(img.width) * img.height > kMaxPixels || img.width > 65535 ||
        img.height > 65535) {
        png_image_free(&img);
        Throw(path + ": picture of " + std::to_string(img.width) + "x" + std::to_string(img.height) +
              " pixels is too large");
    }
    img.format = PNG_FORMAT_ARGB;
    Bytes argb(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, argb.data(), 0, nullptr)) {
        std::string msg = img.message;
        png_image_free(&img);
        Throw(path + ": undecodable PNG picture (" + msg + ")");
    }
    for (size_t i = 0; i + 3 < argb.size(); i += 4) {
        unsigned a = argb[i];
        if (a == 255) continue;
        for (int c = 1; c < 4; ++c) argb[i + c] = static_cast<std::uint8_t>((argb[i + c] * a + 127) / 255);
    }
    uLongf bound = compressBound(static_cast<uLong>(argb.size()));
    auto* b = new SWFBitmap_s;
    b->width = static_cast<int>(img.width);
    b->height = static_cast<int>(img.height);
    b->data.resize(bound);
    if (compress2(b->data.data(), &bound, argb.data(), static_cast<uLong>(argb.size()), 6) != Z_OK) {
        delete b;
        Throw("cannot compress the picture of " + path);
    }
    b->data.resize(bound);
    return b;
}

}  // namespace

}  // namespace swf::detail

using namespace swf::detail;

void SWFBitmap_s::Write(Emitter& e, std::uint16_t id) {
    Writer w;
    w.U16(id);
    if (jpeg) {
        w.Append(data);
        e.Tag(tag::DefineBitsJPEG2, w.bytes(), true);
    } else {
        w.U8(5);
        w.U16(static_cast<unsigned>(width));
        w.U16(static_cast<unsigned>(height));
        w.Append(data);
        e.Tag(tag::DefineBitsLossless2, w.bytes(), true);
    }
}

SWFInput newSWFInput_filename(const char* filename) {
    return Guard<SWFInput>(nullptr, [&]() -> SWFInput {
        if (!filename || !*filename) Throw("no file name given");
        std::FILE* f = std::fopen(filename, "rbe");
        if (!f) Throw(std::string("cannot open ") + filename + ": " + std::strerror(errno));
        std::fclose(f);
        std::error_code ec;
        if (std::filesystem::is_directory(filename, ec)) Throw(std::string(filename) + " is a folder");
        auto* in = new SWFInput_s;
        in->path = filename;
        return in;
    });
}

void destroySWFInput(SWFInput input) { delete input; }

SWFBitmap newSWFBitmap_fromInput(SWFInput input) {
    return Guard<SWFBitmap>(nullptr, [&]() -> SWFBitmap {
        if (!input) Throw(Missing("input file for the picture"));
        Bytes data = ReadWhole(input->path);
        static const std::uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        if (data.size() >= 8 && std::memcmp(data.data(), png, 8) == 0) return FromPng(input->path, data);
        if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
            return FromJpeg(input->path, std::move(data));
        Throw(input->path + " is neither a JPEG nor a PNG picture");
    });
}

SWFJpegBitmap newSWFJpegBitmap_fromInput(SWFInput input) { return newSWFBitmap_fromInput(input); }

SWFDBLBitmapData newSWFDBLBitmapData_fromPngInput(SWFInput input) {
    return newSWFBitmap_fromInput(input);
}

void destroySWFBitmap(SWFBitmap bitmap) {
    if (bitmap) Release(bitmap);
}

int SWFBitmap_getWidth(SWFBitmap bitmap) { return bitmap ? bitmap->width : 0; }
int SWFBitmap_getHeight(SWFBitmap bitmap) { return bitmap ? bitmap->height : 0; }
