#include "platform/graphics/region.h"

#include <algorithm>

namespace platform {
namespace {

using Spans = std::vector<std::pair<int, int>>;

// Appends a band, merging it into the previous band when that one ends where it starts
// and has the same runs.
void AppendBand(std::vector<RECT>& out, std::size_t& lastBandStart, int top, int bottom, const Spans& spans) {
    if (spans.empty() || top >= bottom) return;
    if (lastBandStart < out.size()) {
        std::size_t n = out.size() - lastBandStart;
        if (out[lastBandStart].bottom == top && n == spans.size()) {
            bool same = true;
            for (std::size_t i = 0; i < n && same; ++i)
                same = out[lastBandStart + i].left == spans[i].first && out[lastBandStart + i].right == spans[i].second;
            if (same) {
                for (std::size_t i = lastBandStart; i < out.size(); ++i) out[i].bottom = bottom;
                return;
            }
        }
    }
    lastBandStart = out.size();
    for (auto& s : spans) out.push_back(RECT{s.first, top, s.second, bottom});
}

// The runs of a banded rectangle list over the band starting at y (all its bands cover
// [y, next break) uniformly).
Spans RowSpans(const std::vector<RECT>& rects, std::size_t& cursor, int y) {
    while (cursor < rects.size() && rects[cursor].bottom <= y) ++cursor;
    Spans s;
    for (std::size_t i = cursor; i < rects.size() && rects[i].top <= y; ++i)
        if (rects[i].bottom > y) s.emplace_back(rects[i].left, rects[i].right);
    return s;
}

Spans CombineSpans(const Spans& a, const Spans& b, Region::Op op) {
    std::vector<int> xs;
    for (auto& s : a) xs.insert(xs.end(), {s.first, s.second});
    for (auto& s : b) xs.insert(xs.end(), {s.first, s.second});
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    auto inside = [](const Spans& s, int x) {
        for (auto& r : s)
            if (x >= r.first && x < r.second) return true;
        return false;
    };
    Spans out;
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        bool ia = inside(a, xs[i]), ib = inside(b, xs[i]);
        bool in = op == Region::Op::And ? (ia && ib) : op == Region::Op::Or ? (ia || ib)
                : op == Region::Op::Xor ? (ia != ib) : (ia && !ib);
        if (!in) continue;
        if (!out.empty() && out.back().second == xs[i])
            out.back().second = xs[i + 1];
        else
            out.emplace_back(xs[i], xs[i + 1]);
    }
    return out;
}

}  // namespace

Region::Region(const RECT& r) {
    if (r.left < r.right && r.top < r.bottom) rects_.push_back(r);
}

Region Region::FromRects(const std::vector<RECT>& rects) {
    // One sweep over the bands that the rectangles' edges make.
    std::vector<int> ys;
    for (const RECT& r : rects)
        if (r.left < r.right && r.top < r.bottom) ys.insert(ys.end(), {r.top, r.bottom});
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    Region out;
    std::size_t last = 0;
    for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
        Spans s;
        for (const RECT& r : rects)
            if (r.left < r.right && r.top <= ys[i] && ys[i] < r.bottom) s.emplace_back(r.left, r.right);
        AppendBand(out.rects_, last, ys[i], ys[i + 1], CombineSpans(s, {}, Op::Or));
    }
    return out;
}

Region Region::FromRows(int top, const std::vector<Spans>& rows) {
    Region out;
    std::size_t last = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Spans s = CombineSpans(rows[i], {}, Op::Or);  // sorts and merges the runs
        AppendBand(out.rects_, last, top + int(i), top + int(i) + 1, s);
    }
    return out;
}

Region Region::Combine(const Region& a, const Region& b, Op op) {
    // Clipping a window against its siblings mostly meets regions that miss each other or
    // rectangles that hold the whole of the other side: answer those without the band sweep.
    if (a.empty() || b.empty()) {
        if (op == Op::And) return Region();
        if (op == Op::Diff) return a;
        return a.empty() ? b : a;
    }
    RECT boxA = a.box(), boxB = b.box();
    bool apart = boxA.right <= boxB.left || boxB.right <= boxA.left || boxA.bottom <= boxB.top || boxB.bottom <= boxA.top;
    auto holds = [](const RECT& outer, const RECT& inner) {
        return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right && outer.bottom >= inner.bottom;
    };
    if (apart && (op == Op::And || op == Op::Diff)) return op == Op::And ? Region() : a;
    if (op == Op::And && b.rects_.size() == 1 && holds(b.rects_[0], boxA)) return a;
    if (op == Op::And && a.rects_.size() == 1 && holds(a.rects_[0], boxB)) return b;
    if (op == Op::Diff && b.rects_.size() == 1 && holds(b.rects_[0], boxA)) return Region();

    std::vector<int> ys;
    for (auto& r : a.rects_) ys.insert(ys.end(), {r.top, r.bottom});
    for (auto& r : b.rects_) ys.insert(ys.end(), {r.top, r.bottom});
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    Region out;
    std::size_t last = 0, ca = 0, cb = 0;
    for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
        Spans sa = RowSpans(a.rects_, ca, ys[i]);
        Spans sb = RowSpans(b.rects_, cb, ys[i]);
        AppendBand(out.rects_, last, ys[i], ys[i + 1], CombineSpans(sa, sb, op));
    }
    return out;
}

RECT Region::box() const {
    if (rects_.empty()) return RECT{};
    RECT b = rects_.front();
    for (auto& r : rects_) {
        b.left = std::min(b.left, r.left);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

bool Region::contains(int x, int y) const {
    for (auto& r : rects_) {
        if (r.top > y) break;
        if (y < r.bottom && x >= r.left && x < r.right) return true;
    }
    return false;
}

bool Region::intersects(const RECT& q) const {
    for (auto& r : rects_) {
        if (r.top >= q.bottom) break;
        if (r.bottom > q.top && r.left < q.right && r.right > q.left) return true;
    }
    return false;
}

void Region::offset(int dx, int dy) {
    for (auto& r : rects_) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

bool Region::operator==(const Region& o) const {
    if (rects_.size() != o.rects_.size()) return false;
    for (std::size_t i = 0; i < rects_.size(); ++i) {
        const RECT &a = rects_[i], &b = o.rects_[i];
        if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom) return false;
    }
    return true;
}

}  // namespace platform
