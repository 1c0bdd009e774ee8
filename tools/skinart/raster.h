#pragma once
// A small pixel canvas for the build-time picture generators (control artwork and skin
// pictures): 0xRRGGBB pixels, a few shapes, and BMP output. Kept free of the platform
// layer so the generators build first and stay simple.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace skinraster {

using Rgb = std::uint32_t;  // 0xRRGGBB
constexpr Rgb kKey = 0xFF00FF;  // the transparent key of every control picture

inline int R(Rgb c) { return int((c >> 16) & 0xFF); }
inline int G(Rgb c) { return int((c >> 8) & 0xFF); }
inline int B(Rgb c) { return int(c & 0xFF); }
inline Rgb Make(int r, int g, int b) {
    auto k = [](int v) { return std::uint32_t(std::clamp(v, 0, 255)); };
    return (k(r) << 16) | (k(g) << 8) | k(b);
}
// t = 0 gives a, t = 1 gives b.
inline Rgb Mix(Rgb a, Rgb b, double t) {
    auto m = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    Rgb c = Make(m(R(a), R(b)), m(G(a), G(b)), m(B(a), B(b)));
    return c == kKey ? c ^ 0x000100 : c;  // never the key by accident
}
inline Rgb Lighter(Rgb c, double t) { return Mix(c, 0xFFFFFF, t); }
inline Rgb Darker(Rgb c, double t) { return Mix(c, 0x000000, t); }
inline Rgb Grey(Rgb c) {
    int l = (R(c) * 30 + G(c) * 59 + B(c) * 11) / 100;
    return Make(l, l, l);
}

class Image {
public:
    Image(int w, int h, Rgb fill = kKey) : w_(w), h_(h), px_(std::size_t(w) * std::size_t(h), fill) {}
    int W() const { return w_; }
    int H() const { return h_; }
    Rgb At(int x, int y) const { return px_[std::size_t(y) * std::size_t(w_) + std::size_t(x)]; }
    void Set(int x, int y, Rgb c) {
        if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[std::size_t(y) * std::size_t(w_) + std::size_t(x)] = c;
    }
    // Pixels whose centre lies inside a rounded rectangle get colour(x, y).
    void RoundRect(int x, int y, int w, int h, int r, const std::function<Rgb(int, int)>& colour) {
        for (int py = y; py < y + h; ++py)
            for (int px = x; px < x + w; ++px)
                if (InRound(px, py, x, y, w, h, r)) Set(px, py, colour(px - x, py - y));
    }
    void Fill(int x, int y, int w, int h, Rgb c) {
        RoundRect(x, y, w, h, 0, [c](int, int) { return c; });
    }
    // A one-pixel outline of the rounded rectangle: inside pixels with an outside neighbour.
    void RoundFrame(int x, int y, int w, int h, int r, Rgb c) {
        for (int py = y; py < y + h; ++py)
            for (int px = x; px < x + w; ++px) {
                if (!InRound(px, py, x, y, w, h, r)) continue;
                bool edge = !InRound(px - 1, py, x, y, w, h, r) || !InRound(px + 1, py, x, y, w, h, r) ||
                            !InRound(px, py - 1, x, y, w, h, r) || !InRound(px, py + 1, x, y, w, h, r);
                if (edge) Set(px, py, c);
            }
    }
    void Disc(double cx, double cy, double radius, Rgb c) {
        for (int py = int(cy - radius) - 1; py <= int(cy + radius) + 1; ++py)
            for (int px = int(cx - radius) - 1; px <= int(cx + radius) + 1; ++px) {
                double dx = px + 0.5 - cx, dy = py + 0.5 - cy;
                if (dx * dx + dy * dy <= radius * radius) Set(px, py, c);
            }
    }
    // A line of the given thickness between two points (pixel centres within reach).
    void Line(double x0, double y0, double x1, double y1, double thick, Rgb c) {
        double len2 = (x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0);
        int minx = int(std::min(x0, x1) - thick) - 1, maxx = int(std::max(x0, x1) + thick) + 1;
        int miny = int(std::min(y0, y1) - thick) - 1, maxy = int(std::max(y0, y1) + thick) + 1;
        for (int py = miny; py <= maxy; ++py)
            for (int px = minx; px <= maxx; ++px) {
                double qx = px + 0.5, qy = py + 0.5;
                double t = len2 > 0 ? std::clamp(((qx - x0) * (x1 - x0) + (qy - y0) * (y1 - y0)) / len2, 0.0, 1.0) : 0;
                double dx = qx - (x0 + t * (x1 - x0)), dy = qy - (y0 + t * (y1 - y0));
                if (dx * dx + dy * dy <= thick * thick / 4) Set(px, py, c);
            }
    }
    // A filled triangle (pixel centres inside).
    void Triangle(double ax, double ay, double bx, double by, double cx, double cy, Rgb c) {
        auto side = [](double px, double py, double x0, double y0, double x1, double y1) {
            return (x1 - x0) * (py - y0) - (y1 - y0) * (px - x0);
        };
        for (int py = 0; py < h_; ++py)
            for (int px = 0; px < w_; ++px) {
                double qx = px + 0.5, qy = py + 0.5;
                double s1 = side(qx, qy, ax, ay, bx, by), s2 = side(qx, qy, bx, by, cx, cy),
                       s3 = side(qx, qy, cx, cy, ax, ay);
                if ((s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0)) Set(px, py, c);
            }
    }
    void Paste(const Image& src, int x, int y) {
        for (int py = 0; py < src.H(); ++py)
            for (int px = 0; px < src.W(); ++px) Set(x + px, y + py, src.At(px, py));
    }
    // Quarter turn clockwise.
    Image TurnedClockwise() const {
        Image out(h_, w_);
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) out.Set(h_ - 1 - y, x, At(x, y));
        return out;
    }

    // A 24-bit BMP file image, bottom-up, rows padded to four bytes.
    std::vector<std::uint8_t> Bmp() const {
        int stride = (w_ * 3 + 3) & ~3;
        std::uint32_t dataSize = std::uint32_t(stride) * std::uint32_t(h_);
        std::vector<std::uint8_t> out;
        auto u16 = [&out](unsigned v) { out.push_back(std::uint8_t(v)); out.push_back(std::uint8_t(v >> 8)); };
        auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
        out.push_back('B');
        out.push_back('M');
        u32(54 + dataSize);
        u32(0);
        u32(54);
        u32(40);
        u32(std::uint32_t(w_));
        u32(std::uint32_t(h_));
        u16(1);
        u16(24);
        u32(0);
        u32(dataSize);
        u32(2835);
        u32(2835);
        u32(0);
        u32(0);
        for (int y = h_ - 1; y >= 0; --y) {
            for (int x = 0; x < w_; ++x) {
                Rgb c = At(x, y);
                out.push_back(std::uint8_t(B(c)));
                out.push_back(std::uint8_t(G(c)));
                out.push_back(std::uint8_t(R(c)));
            }
            for (int p = w_ * 3; p < stride; ++p) out.push_back(0);
        }
        return out;
    }
    bool SaveBmp(const std::string& path) const {
        auto data = Bmp();
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        return bool(f);
    }

private:
    static bool InRound(int px, int py, int x, int y, int w, int h, int r) {
        if (px < x || py < y || px >= x + w || py >= y + h) return false;
        r = std::min({r, w / 2, h / 2});
        if (r <= 0) return true;
        double qx = px + 0.5, qy = py + 0.5;
        double cx = std::clamp(qx, double(x + r), double(x + w - r));
        double cy = std::clamp(qy, double(y + r), double(y + h - r));
        double dx = qx - cx, dy = qy - cy;
        return dx * dx + dy * dy <= double(r) * r + 0.25;
    }
    int w_, h_;
    std::vector<Rgb> px_;
};

}  // namespace skinraster
