#pragma once
// Picture files to and from bitmaps. Readers take hostile input: a truncated, oversized
// or inconsistent file raises EInvalidGraphic with the reason and never reads or writes
// outside the data or the bitmap.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/graphics/gdi.h"

namespace platform {

// BMP: 1, 4, 8, 16, 24 and 32 bits; BI_RGB, BI_BITFIELDS, RLE4 and RLE8; bottom-up and
// top-down; with or without the 14-byte file header (bitmap resources have none).
// Paletted files give paletted bitmaps, 16-bit ones 16-bit bitmaps, others 24 or 32 bits.
HBITMAP ReadBmp(const BYTE* data, std::size_t size);
// Writes the bitmap at its own depth (uncompressed, bottom-up, with its palette).
std::vector<BYTE> WriteBmp(HBITMAP bitmap);

// PNG: any colour type and depth; gives a 32-bit bitmap (alpha 255 where the file has none).
HBITMAP ReadPng(const BYTE* data, std::size_t size, bool* hasAlpha = nullptr);
std::vector<BYTE> WritePng(HBITMAP bitmap, bool withAlpha);

// JPEG: baseline and progressive, grey, colour or CMYK; gives 24 bits.
HBITMAP ReadJpeg(const BYTE* data, std::size_t size);
std::vector<BYTE> WriteJpeg(HBITMAP bitmap, int quality, bool grayscale = false);

// ICO and CUR: the largest image (BMP or PNG inside) as a premultiplied 32-bit bitmap.
HBITMAP ReadIcon(const BYTE* data, std::size_t size, POINT* hotSpot = nullptr);
std::vector<BYTE> WriteIcon(HBITMAP bitmap);

}  // namespace platform
