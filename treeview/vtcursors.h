#pragma once
// The tree's own pointer shapes (the header's split cursor, the eleven panning cursors)
// and the panning window's pictures, drawn by our own code.
#include <memory>

#include "platform/controls/controls.h"
#include "platform/graphics/graphics.h"
#include "platform/windows/cursors.h"

namespace treeview {

enum TVTCursorShape {
    vcHeaderSplit,
    vcMoveAll,
    vcMoveEW,
    vcMoveNS,
    vcMoveN,
    vcMoveS,
    vcMoveE,
    vcMoveW,
    vcMoveNE,
    vcMoveNW,
    vcMoveSE,
    vcMoveSW,
};
constexpr int TreeCursorShapeCount = vcMoveSW + 1;

// The screen cursor slot of the header's split cursor.
constexpr platform::TCursor crHeaderSplit = 63;

// The resource name a shape stands for ("VT_HEADERSPLIT", "VT_MOVEALL", ...).
const char* TreeCursorName(TVTCursorShape shape);
// A shape's 32 x 32 picture, hot spot in the middle.
platform::TCursorImage TreeCursorImage(TVTCursorShape shape);
// The cursor of a shape, made on first use and kept for the life of the process.
platform::HCURSOR TreeCursor(TVTCursorShape shape);
// Places the split cursor in its screen slot (crHeaderSplit), once.
void RegisterTreeCursors();
// The panning window's 32 x 32 picture for vcMoveAll, vcMoveEW or vcMoveNS; magenta
// (RGB 255,0,255) lies outside the shape.
std::unique_ptr<platform::TBitmap> PanningImage(TVTCursorShape shape);

}  // namespace treeview
