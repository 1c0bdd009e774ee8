// The tree's cursors and panning pictures: shapes from a disc, bars and arrow heads,
// rasterised into 32 x 32 pixels; cursors get a one-pixel white outline.
#include "treeview/vtcursors.h"

#include <array>
#include <cmath>
#include <mutex>
#include <vector>

#include "platform/controls/forms.h"

namespace treeview {

using namespace platform;

namespace {

constexpr int Size = 32;
constexpr double Center = 15.5;

// Direction bits of a shape.
enum : unsigned { North = 1, South = 2, East = 4, West = 8, NorthEast = 16, NorthWest = 32, SouthEast = 64, SouthWest = 128 };

unsigned DirectionsOf(TVTCursorShape shape) {
    switch (shape) {
        case vcMoveAll: return North | South | East | West;
        case vcMoveEW: return East | West;
        case vcMoveNS: return North | South;
        case vcMoveN: return North;
        case vcMoveS: return South;
        case vcMoveE: return East;
        case vcMoveW: return West;
        case vcMoveNE: return NorthEast;
        case vcMoveNW: return NorthWest;
        case vcMoveSE: return SouthEast;
        case vcMoveSW: return SouthWest;
        default: return 0;
    }
}

using Mask = std::array<bool, Size * Size>;

double Cross(double ax, double ay, double bx, double by, double px, double py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

// An arrow head pointing along (dx, dy) from the middle: tip at distance tip, base at
// distance base with the given half width.
void ArrowHead(Mask& mask, double dx, double dy, double tip, double base, double halfWidth) {
    double length = std::hypot(dx, dy);
    dx /= length;
    dy /= length;
    double tx = Center + dx * tip, ty = Center + dy * tip;
    double bx = Center + dx * base, by = Center + dy * base;
    double ax = bx - dy * halfWidth, ay = by + dx * halfWidth;
    double cx = bx + dy * halfWidth, cy = by - dx * halfWidth;
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            double px = x, py = y;
            double c1 = Cross(tx, ty, ax, ay, px, py), c2 = Cross(ax, ay, cx, cy, px, py),
                   c3 = Cross(cx, cy, tx, ty, px, py);
            bool inside = (c1 >= 0 && c2 >= 0 && c3 >= 0) || (c1 <= 0 && c2 <= 0 && c3 <= 0);
            if (inside) mask[std::size_t(y * Size + x)] = true;
        }
}

void Disc(Mask& mask, double radius) {
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x)
            if (std::hypot(x - Center, y - Center) <= radius) mask[std::size_t(y * Size + x)] = true;
}

void Bar(Mask& mask, int left, int top, int right, int bottom) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) mask[std::size_t(y * Size + x)] = true;
}

void Arrows(Mask& mask, unsigned directions, double tip, double base, double halfWidth) {
    const double d = 1.0;
    if (directions & North) ArrowHead(mask, 0, -d, tip, base, halfWidth);
    if (directions & South) ArrowHead(mask, 0, d, tip, base, halfWidth);
    if (directions & East) ArrowHead(mask, d, 0, tip, base, halfWidth);
    if (directions & West) ArrowHead(mask, -d, 0, tip, base, halfWidth);
    if (directions & NorthEast) ArrowHead(mask, d, -d, tip, base, halfWidth);
    if (directions & NorthWest) ArrowHead(mask, -d, -d, tip, base, halfWidth);
    if (directions & SouthEast) ArrowHead(mask, d, d, tip, base, halfWidth);
    if (directions & SouthWest) ArrowHead(mask, -d, d, tip, base, halfWidth);
}

Mask ShapeMask(TVTCursorShape shape) {
    Mask mask{};
    if (shape == vcHeaderSplit) {
        // Two upright bars with arrows pointing away from them on both sides.
        Bar(mask, 14, 6, 15, 26);
        Bar(mask, 17, 6, 18, 26);
        Bar(mask, 7, 15, 14, 17);
        Bar(mask, 18, 15, 25, 17);
        ArrowHead(mask, -1, 0, 12.5, 7.5, 4.5);
        ArrowHead(mask, 1, 0, 12.5, 7.5, 4.5);
        return mask;
    }
    Disc(mask, 2.5);
    Arrows(mask, DirectionsOf(shape), 13.5, 7.5, 5);
    return mask;
}

}  // namespace

const char* TreeCursorName(TVTCursorShape shape) {
    static const char* const names[] = {"VT_HEADERSPLIT", "VT_MOVEALL", "VT_MOVEEW", "VT_MOVENS",
                                        "VT_MOVEN",       "VT_MOVES",   "VT_MOVEE",  "VT_MOVEW",
                                        "VT_MOVENE",      "VT_MOVENW",  "VT_MOVESE", "VT_MOVESW"};
    int index = int(shape);
    return index >= 0 && index < TreeCursorShapeCount ? names[index] : "";
}

TCursorImage TreeCursorImage(TVTCursorShape shape) {
    Mask mask = ShapeMask(shape);
    TCursorImage image;
    image.Width = image.Height = Size;
    image.HotX = image.HotY = 15;
    image.Pixels.assign(Size * Size, 0);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            std::size_t i = std::size_t(y * Size + x);
            if (mask[i]) {
                image.Pixels[i] = 0xFF000000;
                continue;
            }
            // A white outline keeps the shape visible on dark backgrounds.
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    near = nx >= 0 && ny >= 0 && nx < Size && ny < Size && mask[std::size_t(ny * Size + nx)];
                }
            if (near) image.Pixels[i] = 0xFFFFFFFF;
        }
    return image;
}

HCURSOR TreeCursor(TVTCursorShape shape) {
    static std::mutex lock;
    static std::array<HCURSOR, TreeCursorShapeCount> cursors{};
    int index = int(shape);
    if (index < 0 || index >= TreeCursorShapeCount) return nullptr;
    std::lock_guard<std::mutex> guard(lock);
    if (!cursors[std::size_t(index)]) cursors[std::size_t(index)] = CreateCursorFromImage(TreeCursorImage(shape));
    return cursors[std::size_t(index)];
}

void RegisterTreeCursors() {
    if (!Screen->Cursors(crHeaderSplit) || Screen->Cursors(crHeaderSplit) != TreeCursor(vcHeaderSplit))
        Screen->SetCursors(crHeaderSplit, TreeCursor(vcHeaderSplit));
}

std::unique_ptr<TBitmap> PanningImage(TVTCursorShape shape) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(Size, Size);
    Mask body{};
    Disc(body, 15.2);
    Mask arrows{};
    Disc(arrows, 2.5);
    Arrows(arrows, DirectionsOf(shape), 12.5, 6.5, 4.5);
    TCanvas* canvas = bitmap->Canvas();
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            std::size_t i = std::size_t(y * Size + x);
            TColor color = RGB(255, 0, 255);
            if (arrows[i]) {
                color = RGB(0, 0, 0);
            } else if (body[i]) {
                bool edge = false;
                for (int dy = -1; dy <= 1 && !edge; ++dy)
                    for (int dx = -1; dx <= 1 && !edge; ++dx) {
                        int nx = x + dx, ny = y + dy;
                        edge = nx < 0 || ny < 0 || nx >= Size || ny >= Size || !body[std::size_t(ny * Size + nx)];
                    }
                color = edge ? RGB(96, 96, 96) : RGB(244, 244, 244);
            }
            canvas->SetPixels(x, y, color);
        }
    return bitmap;
}

}  // namespace treeview
