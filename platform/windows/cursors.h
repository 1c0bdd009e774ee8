#pragma once
// Cursors the program makes itself (a control's own pointer shapes), beside the standard
// ones LoadCursorA names. A made cursor is a handle like a standard one: SetCursor shows
// it, and the display draws it from its image (X11: a pixmap cursor).
#include <cstdint>
#include <vector>

#include "platform/core/wintypes.h"

namespace platform {

// A cursor's picture: top-down rows of 0xAARRGGBB pixels; alpha 0 lies outside the shape.
// The display may show only two colours: dark pixels black, light ones white.
struct TCursorImage {
    int Width = 0;
    int Height = 0;
    int HotX = 0;
    int HotY = 0;
    std::vector<std::uint32_t> Pixels;
};

// Handles of made cursors start here; smaller values are standard cursor ids (IDC_*).
constexpr int FirstCustomCursorId = 0x10000;

// Makes a cursor; null for an image without pixels, with a size beyond 256 pixels, with
// fewer pixels than its size says or a hot spot outside it.
HCURSOR CreateCursorFromImage(const TCursorImage& image);
// Frees a made cursor (standard cursors are left alone); false for an unknown handle.
BOOL DestroyCursor(HCURSOR cursor);
// The picture of a made cursor; null for standard and freed ones.
const TCursorImage* CustomCursorImage(HCURSOR cursor);
// The id the display knows a cursor by (the standard id, or the made cursor's number).
inline int CursorId(HCURSOR cursor) { return int(reinterpret_cast<std::intptr_t>(cursor)); }

}  // namespace platform
