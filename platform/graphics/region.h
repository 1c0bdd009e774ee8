#pragma once
// A set of pixels as non-overlapping rectangles in bands: sorted by top, then left; the
// rectangles of one band share top and bottom and neither overlap nor touch; two bands
// with the same spans that meet are merged. Equal sets have equal rectangle lists.
#include <functional>
#include <utility>
#include <vector>

#include "platform/core/wintypes.h"

namespace platform {

class Region {
public:
    Region() = default;
    explicit Region(const RECT& r);
    static Region FromRects(const std::vector<RECT>& rects);
    // Rows [top, top + spans.size()): spans[i] are the [x0, x1) runs of row top + i.
    static Region FromRows(int top, const std::vector<std::vector<std::pair<int, int>>>& spans);

    enum class Op { And, Or, Xor, Diff };
    static Region Combine(const Region& a, const Region& b, Op op);

    bool empty() const { return rects_.empty(); }
    const std::vector<RECT>& rects() const { return rects_; }
    RECT box() const;
    bool contains(int x, int y) const;
    bool intersects(const RECT& r) const;
    void offset(int dx, int dy);
    bool operator==(const Region& o) const;

    // Calls f(x0, x1) for each run of row y inside [x0, x1) of the region.
    template <class F> void forRow(int y, int x0, int x1, F&& f) const {
        for (const RECT& r : rects_) {
            if (r.top > y) break;
            if (r.bottom <= y) continue;
            int a = r.left > x0 ? r.left : x0, b = r.right < x1 ? r.right : x1;
            if (a < b) f(a, b);
        }
    }

private:
    std::vector<RECT> rects_;
};

}  // namespace platform
