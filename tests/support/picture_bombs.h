#pragma once
// Small picture files that cost a careless reader far more memory or time than their size,
// made in code for the readers' tests and their fuzzers' seeds.
#include <cstdint>
#include <vector>

namespace testsupport {

using PictureBytes = std::vector<std::uint8_t>;

namespace bombs_detail {
inline void Put16Be(PictureBytes& out, unsigned v) {
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}
inline void Put32Le(PictureBytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
// SOI, a quantisation table of ones, a progressive frame and a one-code Huffman table.
inline PictureBytes JpegHead(unsigned width, unsigned height, unsigned components) {
    PictureBytes out = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    out.insert(out.end(), 64, 1);
    out.insert(out.end(), {0xFF, 0xC2});
    Put16Be(out, 8 + 3 * components);
    out.push_back(8);
    Put16Be(out, height);
    Put16Be(out, width);
    out.push_back(std::uint8_t(components));
    for (unsigned c = 1; c <= components; ++c) out.insert(out.end(), {std::uint8_t(c), 0x11, 0x00});
    out.insert(out.end(), {0xFF, 0xC4, 0x00, 0x14, 0x00, 1});
    out.insert(out.end(), 15, 0);
    out.push_back(0);
    return out;
}
// A first DC scan of component 1 with no entropy data after it.
inline void EmptyScan(PictureBytes& out) { out.insert(out.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00}); }
}  // namespace bombs_detail

// A progressive 8192 x 8192 JPEG of 10 components and one empty scan: about 1.3 GB of
// coefficients for a reader that sets them up before looking at what the file holds.
inline PictureBytes JpegManyComponents() {
    PictureBytes out = bombs_detail::JpegHead(8192, 8192, 10);
    bombs_detail::EmptyScan(out);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// A progressive `side` x `side` grey JPEG of `scans` scans without entropy data: each scan
// costs a pass over every block of the picture.
inline PictureBytes JpegManyScans(unsigned side, unsigned scans) {
    PictureBytes out = bombs_detail::JpegHead(side, side, 1);
    for (unsigned i = 0; i < scans; ++i) bombs_detail::EmptyScan(out);
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// An 8-bit RLE bitmap header (BITMAPINFOHEADER) of `width` x `height` and its palette:
// index 0 is RGB(C0, 80, 40), index 1 RGB(30, 20, 10).
inline PictureBytes RleDib(std::int32_t width, std::int32_t height, std::uint32_t colours = 1) {
    PictureBytes out;
    bombs_detail::Put32Le(out, 40);
    bombs_detail::Put32Le(out, std::uint32_t(width));
    bombs_detail::Put32Le(out, std::uint32_t(height));
    out.insert(out.end(), {1, 0, 8, 0});  // planes, bits
    bombs_detail::Put32Le(out, 1);        // RLE8
    for (int i = 0; i < 3; ++i) bombs_detail::Put32Le(out, 0);
    bombs_detail::Put32Le(out, colours);
    bombs_detail::Put32Le(out, 0);
    out.insert(out.end(), {0x40, 0x80, 0xC0, 0});
    if (colours > 1) out.insert(out.end(), {0x10, 0x20, 0x30, 0});
    return out;
}

// An RLE8 BMP file of `width` x `height`, two colours, with the given compressed data.
inline PictureBytes RleBmp(std::int32_t width, std::int32_t height, const PictureBytes& data) {
    PictureBytes dib = RleDib(width, height, 2);
    PictureBytes out = {'B', 'M'};
    bombs_detail::Put32Le(out, std::uint32_t(14 + dib.size() + data.size()));
    bombs_detail::Put32Le(out, 0);
    bombs_detail::Put32Le(out, std::uint32_t(14 + dib.size()));
    out.insert(out.end(), dib.begin(), dib.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A 60-byte 8192 x 8192 RLE8 BMP whose data is only the end-of-bitmap mark.
inline PictureBytes BmpRleBomb() { return RleBmp(8192, 8192, {0, 1}); }

// A 68-byte icon: one 8192 x 8192 image (its DIB height doubled) in RLE8, end of bitmap only.
inline PictureBytes IconRleBomb() {
    PictureBytes dib = RleDib(8192, 16384);
    dib.insert(dib.end(), {0, 1});
    PictureBytes out = {0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 8, 0};
    bombs_detail::Put32Le(out, std::uint32_t(dib.size()));
    bombs_detail::Put32Le(out, 22);
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

}  // namespace testsupport
