#pragma once
// Low-level drawing support of the tree: alpha blending of 32-bit device-independent
// bitmaps in four modes, access to the pixels of the bitmap selected into a device
// context, colour conversion for image lists, the expand/collapse button bitmaps and
// line patterns, and the built-in check image strips.
//
// Blending is plain portable code that gives, channel by channel, the results of the
// packed 16-bit arithmetic the formulas describe; it is always available, so
// MMXAvailable is true.
#include <array>
#include <cstdint>
#include <memory>

#include "platform/graphics/gdi.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/imglist.h"
#include "treeview/vttypes.h"

namespace treeview {

enum TBlendMode { bmConstantAlpha, bmPerPixelAlpha, bmMasterAlpha, bmConstantAlphaAndColor };

// Blending features are used only when this is true.
extern const bool MMXAvailable;
bool HasMMX();

// Pixels of the bitmap selected into dc: its address, width and height (negative for a
// top-down bitmap). Raises "Alpha blending error: bitmap must use 32 bpp." for another
// depth and "Alpha blending DC error: no bitmap available." without pixels.
void* GetBitmapBitsFromDeviceContext(platform::HDC dc, int& width, int& height);
// Row of a 32-bit bitmap, counting from the top whatever the storage order.
void* CalculateScanline(void* bits, int width, int height, int row);
// ColorToRGB, with clNone as "no colour" and clDefault as "default colour" for image lists.
platform::COLORREF GetRGBColor(platform::TColor value);

// Blends rectangle r of source onto destination at target (bmConstantAlphaAndColor
// blends the colour bias into r of the destination and needs no source). Rows and
// columns outside either bitmap are left out.
void AlphaBlend(platform::HDC source, platform::HDC destination, const platform::TRect& r,
                const platform::TPoint& target, TBlendMode mode, int constantAlpha, int bias);

// One pixel channel, as AlphaBlend computes it (exposed for the blending tests).
std::uint8_t BlendChannel(TBlendMode mode, std::uint8_t target, std::uint8_t source, int alpha, int bias);

enum TVTButtonStyle { bsRectangle, bsTriangle };
enum TVTButtonFillMode { fmTreeColor, fmWindowColor, fmShaded, fmTransparent };
enum TVTLineStyle { lsCustomStyle, lsDotted, lsSolid };

// 8 x 8 monochrome patterns, one row per word (low byte used).
using TVTLinePattern = std::array<std::uint16_t, 8>;
constexpr TVTLinePattern DottedPattern = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
constexpr TVTLinePattern SolidPattern = {0, 0, 0, 0, 0, 0, 0, 0};

// Draws the 9 x 9 expand (plus) or collapse (minus) button into bitmap, magenta
// (0xFF00FF) being the transparent colour.
void DrawButtonBitmap(platform::TBitmap* bitmap, bool plus, TVTButtonStyle style, TVTButtonFillMode fill,
                      platform::TColor treeColor, platform::TColor lineColor, platform::TColor fontColor);
// A pattern brush made from an 8 x 8 line pattern.
platform::HBRUSH CreateLinePatternBrush(const TVTLinePattern& pattern);

// The built-in check image strips: 25 images of 16 x 16 (index 0 empty; radio, check,
// mixed and push-button images as GetCheckImage numbers them). ckCustom, ckSystem and
// ckSystemFlat share the light strip's drawing where they have no list of their own.
constexpr int CheckImageSize = 16;
constexpr int CheckImageCount = 25;
// The strip as a bitmap (CheckImageCount * 16 wide), drawn by our own code.
std::unique_ptr<platform::TBitmap> MakeCheckStrip(TCheckImageKind kind);
// The image list of a kind, built once per process (nullptr for ckCustom).
platform::TCustomImageList* GetCheckImageList(TCheckImageKind kind);

}  // namespace treeview
