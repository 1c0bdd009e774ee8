#pragma once
// Printing a tree: the whole tree (every shown row, optionally with the header) as pictures
// over as many pages as it needs, scaled so that text keeps its size on screen.
#include "platform/graphics/printers.h"

namespace treeview {

// Draws the bitmap stretched into destRect of the canvas through a device-independent copy.
void PrtStretchDrawDIB(platform::TCanvas* canvas, const platform::TRect& destRect, platform::TBitmap* bitmap);

}  // namespace treeview
