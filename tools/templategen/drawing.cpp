#include "templategen/drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace templategen {

Rgba Hex(std::uint32_t rgb, std::uint8_t alpha) {
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
            static_cast<std::uint8_t>(rgb), alpha};
}

Part& Part::Child(const std::string& childName, double childX, double childY) {
    children.push_back(Part{});
    Part& p = children.back();
    p.name = childName;
    p.x = childX;
    p.y = childY;
    return p;
}

Part* Part::Find(const std::string& childName) {
    for (Part& c : children)
        if (c.name == childName) return &c;
    return nullptr;
}

void Part::Rect(Rgba c, double left, double top, double width, double height) {
    Poly(c, {{left, top}, {left + width, top}, {left + width, top + height}, {left, top + height}});
}

void Part::Ellipse(Rgba c, double cx, double cy, double rx, double ry, int steps) {
    std::vector<Point> points;
    for (int i = 0; i < steps; ++i) {
        const double a = 2 * M_PI * i / steps;
        points.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    Poly(c, std::move(points));
}

void Part::Poly(Rgba c, std::vector<Point> points) {
    polygons.push_back({c, std::move(points)});
}

double Part::Right() const {
    double right = 0;
    for (const Polygon& p : polygons)
        for (const Point& q : p.points) right = std::max(right, q.x);
    for (const Part& c : children) right = std::max(right, c.x + c.Right() * c.scaleX);
    return right;
}

// ---- Pixels ----

Image::Image(int width, int height, Rgba fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, fill) {}

Rgba Image::At(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

void Image::Draw(const Part& part, double x, double y, double scale) {
    Draw(part, x, y, scale, scale);
}

void Image::Draw(const Part& part, double x, double y, double scaleX, double scaleY) {
    if (!part.visible) return;
    for (const Polygon& p : part.polygons) Fill(p, x, y, scaleX, scaleY);
    for (const Part& c : part.children)
        Draw(c, x + c.x * scaleX, y + c.y * scaleY, scaleX * c.scaleX, scaleY);
}

// Scan conversion with 4 x 4 samples a pixel (even-odd rule), blended by coverage.
void Image::Fill(const Polygon& polygon, double x, double y, double scaleX, double scaleY) {
    constexpr int kSub = 4;
    const auto& pts = polygon.points;
    if (pts.size() < 3 || polygon.color.a == 0) return;
    double top = 1e9, bottom = -1e9;
    for (const Point& p : pts) {
        top = std::min(top, y + p.y * scaleY);
        bottom = std::max(bottom, y + p.y * scaleY);
    }
    const int rowFirst = std::max(0, static_cast<int>(std::floor(top)));
    const int rowLast = std::min(height_ - 1, static_cast<int>(std::ceil(bottom)));
    std::vector<int> coverage(width_);
    std::vector<double> crossings;
    for (int row = rowFirst; row <= rowLast; ++row) {
        std::fill(coverage.begin(), coverage.end(), 0);
        for (int sy = 0; sy < kSub; ++sy) {
            const double sampleY = row + (sy + 0.5) / kSub;
            crossings.clear();
            for (std::size_t i = 0; i < pts.size(); ++i) {
                const Point& a = pts[i];
                const Point& b = pts[(i + 1) % pts.size()];
                const double ay = y + a.y * scaleY, by = y + b.y * scaleY;
                if ((ay <= sampleY) == (by <= sampleY)) continue;
                const double ax = x + a.x * scaleX, bx = x + b.x * scaleX;
                crossings.push_back(ax + (sampleY - ay) / (by - ay) * (bx - ax));
            }
            std::sort(crossings.begin(), crossings.end());
            for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
                for (int sx = 0; sx < width_ * kSub; ++sx) {
                    const double sampleX = (sx + 0.5) / kSub;
                    if (sampleX < crossings[i]) continue;
                    if (sampleX >= crossings[i + 1]) break;
                    ++coverage[sx / kSub];
                }
            }
        }
        for (int col = 0; col < width_; ++col) {
            if (coverage[col] == 0) continue;
            const double alpha = polygon.color.a / 255.0 * coverage[col] / (kSub * kSub);
            Rgba& d = pixels_[static_cast<std::size_t>(row) * width_ + col];
            auto mix = [alpha](std::uint8_t under, std::uint8_t over) {
                return static_cast<std::uint8_t>(std::lround(under + (over - under) * alpha));
            };
            d = {mix(d.r, polygon.color.r), mix(d.g, polygon.color.g), mix(d.b, polygon.color.b), 255};
        }
    }
}

void Image::SaveBmp(const std::string& path) const {
    const int stride = (width_ * 3 + 3) / 4 * 4;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(stride) * height_;
    std::vector<std::uint8_t> file(54 + dataSize, 0);
    auto put32 = [&file](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width_));
    put32(22, static_cast<std::uint32_t>(height_));  // bottom-up rows
    file[26] = 1;
    file[28] = 24;
    put32(34, dataSize);
    put32(38, 2835);  // 72 dpi
    put32(42, 2835);
    for (int row = 0; row < height_; ++row) {
        std::uint8_t* out = &file[54 + static_cast<std::size_t>(height_ - 1 - row) * stride];
        for (int col = 0; col < width_; ++col) {
            const Rgba p = At(col, row);
            out[col * 3] = p.b;
            out[col * 3 + 1] = p.g;
            out[col * 3 + 2] = p.r;
        }
    }
    // Written whole under a temporary name, then renamed over the old picture.
    const std::string temporary = path + ".part";
    FILE* f = std::fopen(temporary.c_str(), "wbe");
    if (!f) throw std::runtime_error("cannot create " + temporary);
    const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot write " + path);
    }
}

// ---- SWF ----

namespace {

// A polygon as one shape; points turn clockwise on the screen so the fill lies right of them.
SWFShape ToShape(const Polygon& polygon) {
    std::vector<Point> pts = polygon.points;
    double area = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const Point& a = pts[i];
        const Point& b = pts[(i + 1) % pts.size()];
        area += a.x * b.y - b.x * a.y;
    }
    if (area < 0) std::reverse(pts.begin(), pts.end());
    SWFShape shape = newSWFShape();
    SWFFill fill = SWFShape_addSolidFill(shape, polygon.color.r, polygon.color.g, polygon.color.b,
                                         polygon.color.a);
    SWFShape_setRightFill(shape, fill);
    SWFShape_setLine(shape, 0, 0, 0, 0, 0);
    SWFShape_movePenTo(shape, pts[0].x, pts[0].y);
    for (std::size_t i = 1; i < pts.size(); ++i) SWFShape_drawLineTo(shape, pts[i].x, pts[i].y);
    SWFShape_drawLineTo(shape, pts[0].x, pts[0].y);
    destroySWFFill(fill);
    return shape;
}

}  // namespace

void PlaceContent(const Part& part, const std::function<SWFDisplayItem(SWFBlock)>& add) {
    for (const Polygon& p : part.polygons) {
        if (p.points.size() < 3) continue;
        SWFShape shape = ToShape(p);
        add(reinterpret_cast<SWFBlock>(shape));
        destroySWFShape(shape);
    }
    for (const Part& c : part.children) {
        SWFMovieClip sprite = newSWFMovieClip();
        PlaceContent(c, [sprite](SWFBlock b) { return SWFMovieClip_add(sprite, b); });
        SWFMovieClip_nextFrame(sprite);
        SWFDisplayItem item = add(reinterpret_cast<SWFBlock>(sprite));
        if (!c.name.empty()) SWFDisplayItem_setName(item, c.name.c_str());
        if (c.x != 0 || c.y != 0) SWFDisplayItem_moveTo(item, c.x, c.y);
        destroySWFMovieClip(sprite);
    }
}

}  // namespace templategen
