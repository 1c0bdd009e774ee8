#pragma once
// Pictures made of filled polygons, drawn twice from one description: as SWF shapes inside
// named sprites (the template clips) and into a pixel image (their gallery thumbnails).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "swf/swf.h"

namespace templategen {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};
Rgba Hex(std::uint32_t rgb, std::uint8_t alpha = 255);

struct Point {
    double x = 0, y = 0;
};

struct Polygon {
    Rgba color;
    std::vector<Point> points;
};

// A named part: its own polygons (in its own coordinates) and the parts inside it, placed at
// x, y of its parent. An empty name leaves the sprite unnamed.
struct Part {
    std::string name;
    double x = 0, y = 0;
    double scaleX = 1;  // as the player script will set it (thumbnails only)
    bool visible = true;  // thumbnails only
    std::vector<Polygon> polygons;
    std::vector<Part> children;

    Part& Child(const std::string& childName, double childX = 0, double childY = 0);
    Part* Find(const std::string& childName);
    void Rect(Rgba c, double left, double top, double width, double height);
    void Ellipse(Rgba c, double cx, double cy, double rx, double ry, int steps = 24);
    void Poly(Rgba c, std::vector<Point> points);
    // Width of the box its polygons and children cover, from x 0 (as a sprite's _width).
    double Right() const;
};

// A pixel picture with straight alpha blending.
class Image {
public:
    Image(int width, int height, Rgba fill);
    int width() const { return width_; }
    int height() const { return height_; }
    Rgba At(int x, int y) const;
    // Draws a part (and its visible children) at x, y, everything scaled by `scale`.
    void Draw(const Part& part, double x, double y, double scale);
    void Fill(const Polygon& polygon, double x, double y, double scaleX, double scaleY);
    // A 24-bit uncompressed BMP.
    void SaveBmp(const std::string& path) const;

private:
    void Draw(const Part& part, double x, double y, double scaleX, double scaleY);
    int width_, height_;
    std::vector<Rgba> pixels_;
};

// The part's polygons as shapes and its children as named sprites, placed into a movie or
// a sprite through `add` (which returns the display item).
// Every handle made here is released once its container holds it.
void PlaceContent(const Part& part, const std::function<SWFDisplayItem(SWFBlock)>& add);

}  // namespace templategen
