// Shapes with solid and bitmap fills (DefineShape3) and the shape-record encoding that
// glyphs share.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "swf/internal/objects.h"
#include "swf/internal/tags.h"

namespace swf::detail {

namespace {

constexpr std::int64_t kMaxDelta = 65535;  // 17-bit signed edge fields

bool Fits(std::int64_t d) { return d >= -kMaxDelta && d <= kMaxDelta; }

void Straight(Writer& w, std::int32_t dx, std::int32_t dy) {
    w.Bits(1, 1);  // edge
    w.Bits(1, 1);  // straight
    if (dx == 0 || dy == 0) {
        std::int32_t d = dx ? dx : dy;
        int n = std::max(2, SignedBits(d));
        w.Bits(n - 2, 4);
        w.Bits(0, 1);          // not a general line
        w.Bits(dx ? 0 : 1, 1);  // vertical when dx is 0
        w.SBits(d, n);
    } else {
        int n = std::max({2, SignedBits(dx), SignedBits(dy)});
        w.Bits(n - 2, 4);
        w.Bits(1, 1);
        w.SBits(dx, n);
        w.SBits(dy, n);
    }
}

void Curved(Writer& w, std::int32_t cx, std::int32_t cy, std::int32_t ax, std::int32_t ay) {
    int n = std::max({2, SignedBits(cx), SignedBits(cy), SignedBits(ax), SignedBits(ay)});
    w.Bits(1, 1);
    w.Bits(0, 1);
    w.Bits(n - 2, 4);
    w.SBits(cx, n);
    w.SBits(cy, n);
    w.SBits(ax, n);
    w.SBits(ay, n);
}

struct Pen {
    std::int64_t x = 0, y = 0;
};

void LineTo(Writer& w, Pen& pen, std::int64_t x, std::int64_t y) {
    std::int64_t dx = x - pen.x, dy = y - pen.y;
    if (dx == 0 && dy == 0) return;
    if (!Fits(dx) || !Fits(dy)) {
        std::int64_t mx = pen.x + dx / 2, my = pen.y + dy / 2;
        LineTo(w, pen, mx, my);
        LineTo(w, pen, x, y);
        return;
    }
    Straight(w, static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy));
    pen.x = x;
    pen.y = y;
}

void CurveTo(Writer& w, Pen& pen, std::int64_t cx, std::int64_t cy, std::int64_t x, std::int64_t y,
             int depth = 0) {
    std::int64_t c1 = cx - pen.x, c2 = cy - pen.y, a1 = x - cx, a2 = y - cy;
    if (c1 == 0 && c2 == 0 && a1 == 0 && a2 == 0) return;
    if ((!Fits(c1) || !Fits(c2) || !Fits(a1) || !Fits(a2)) && depth < 40) {
        // Split at t = 1/2.
        double p0x = pen.x, p0y = pen.y;
        double q0x = (p0x + cx) / 2, q0y = (p0y + cy) / 2;
        double q1x = (cx + x) / 2.0, q1y = (cy + y) / 2.0;
        double mx = (q0x + q1x) / 2, my = (q0y + q1y) / 2;
        std::int64_t imx = std::llround(mx), imy = std::llround(my);
        CurveTo(w, pen, std::llround(q0x), std::llround(q0y), imx, imy, depth + 1);
        CurveTo(w, pen, std::llround(q1x), std::llround(q1y), x, y, depth + 1);
        return;
    }
    if ((c1 == 0 && c2 == 0) || (a1 == 0 && a2 == 0) || !Fits(c1) || !Fits(c2) || !Fits(a1) ||
        !Fits(a2)) {
        LineTo(w, pen, x, y);
        return;
    }
    Curved(w, static_cast<std::int32_t>(c1), static_cast<std::int32_t>(c2),
           static_cast<std::int32_t>(a1), static_cast<std::int32_t>(a2));
    pen.x = x;
    pen.y = y;
}

}  // namespace

void EncodeShapeRecords(Writer& w, const std::vector<ShapeRecord>& records, int fillBits,
                        int lineBits) {
    Pen pen;
    for (const ShapeRecord& r : records) {
        switch (r.type) {
            case ShapeRecord::Style: {
                bool f0 = r.fill0 >= 0, f1 = r.fill1 >= 0, ln = r.line >= 0;
                bool move = r.move || !(f0 || f1 || ln);  // a record of no flags would end the shape
                w.Bits(0, 1);
                w.Bits(0, 1);  // no new styles
                w.Bits(ln, 1);
                w.Bits(f1, 1);
                w.Bits(f0, 1);
                w.Bits(move, 1);
                if (move) {
                    std::int32_t x = r.move ? r.x : static_cast<std::int32_t>(pen.x);
                    std::int32_t y = r.move ? r.y : static_cast<std::int32_t>(pen.y);
                    int n = std::max(SignedBits(x), SignedBits(y));
                    w.Bits(n, 5);
                    w.SBits(x, n);
                    w.SBits(y, n);
                    pen.x = x;
                    pen.y = y;
                }
                if (f0) w.Bits(r.fill0, fillBits);
                if (f1) w.Bits(r.fill1, fillBits);
                if (ln) w.Bits(r.line, lineBits);
                break;
            }
            case ShapeRecord::Line:
                LineTo(w, pen, r.ax, r.ay);
                break;
            case ShapeRecord::Curve:
                CurveTo(w, pen, r.x, r.y, r.ax, r.ay);
                break;
        }
    }
    w.Bits(0, 6);  // end record
    w.Align();
}

}  // namespace swf::detail

using namespace swf::detail;

SWFShape_s::SWFShape_s() : SWFBlock_s(Kind::Shape) {}

SWFShape_s::~SWFShape_s() {
    for (SWFFill_s* f : fillHandles) {
        f->shape = nullptr;  // a fill the caller still holds no longer belongs to any shape
        destroySWFFill(f);
    }
}

void SWFShape_s::DefineParts(Emitter& e) {
    for (FillStyle& f : fills)
        if (f.bitmap) e.Define(f.image.get());
}

void SWFShape_s::Write(Emitter& e, std::uint16_t id) {
    Writer w;
    w.U16(id);
    std::int32_t pad = maxLineWidth / 2;
    w.Rect(minX - pad, maxX + pad, minY - pad, maxY + pad);
    auto count = [&](size_t n) {
        if (n < 0xFF) {
            w.U8(static_cast<unsigned>(n));
        } else {
            w.U8(0xFF);
            w.U16(static_cast<unsigned>(n));
        }
    };
    count(fills.size());
    for (FillStyle& f : fills) {
        if (f.bitmap) {
            w.U8(f.flags);
            w.U16(e.Define(f.image.get()));
            w.Matrix(20.0, 20.0, 0, 0, 0, 0);  // one picture pixel per pixel
        } else {
            w.U8(0x00);
            for (byte c : f.rgba) w.U8(c);
        }
    }
    count(lines.size());
    for (LineStyle& l : lines) {
        w.U16(l.width);
        for (byte c : l.rgba) w.U8(c);
    }
    int fillBits = UnsignedBits(fills.size()), lineBits = UnsignedBits(lines.size());
    w.Bits(fillBits, 4);
    w.Bits(lineBits, 4);
    EncodeShapeRecords(w, records, fillBits, lineBits);
    e.Tag(tag::DefineShape3, w.bytes(), true);
}

namespace {

constexpr size_t kMaxStyles = 65534;

// The style record that the next style change joins (a new one after an edge).
ShapeRecord& StyleRecord(SWFShape shape) {
    if (shape->records.empty() || shape->records.back().type != ShapeRecord::Style)
        shape->records.push_back(ShapeRecord{});
    return shape->records.back();
}

void Extend(SWFShape shape, std::int32_t x, std::int32_t y) {
    if (!shape->any) {
        shape->minX = shape->maxX = x;
        shape->minY = shape->maxY = y;
        shape->any = true;
    }
    shape->minX = std::min(shape->minX, x);
    shape->maxX = std::max(shape->maxX, x);
    shape->minY = std::min(shape->minY, y);
    shape->maxY = std::max(shape->maxY, y);
}

SWFFill AddFill(SWFShape shape, SWFShape_s::FillStyle style) {
    if (shape->fills.size() >= kMaxStyles) {
        Fail(shape->error, "too many fill styles in one shape");
        return nullptr;
    }
    shape->fills.push_back(std::move(style));
    auto* fill = new SWFFill_s;
    fill->shape = shape;
    fill->index = static_cast<std::uint16_t>(shape->fills.size());
    fill->refs = 2;  // the caller's and the shape's
    shape->fillHandles.push_back(fill);
    return fill;
}

int FillIndex(SWFShape shape, SWFFill fill) {
    if (!fill) return 0;
    if (fill->shape != shape) {
        Fail(shape->error, "a fill was used with a shape it does not belong to");
        return 0;
    }
    return fill->index;
}

void EdgeTo(SWFShape shape, ShapeRecord::Type type, double cx, double cy, double ax, double ay) {
    ShapeRecord r;
    r.type = type;
    r.x = Twips(cx);
    r.y = Twips(cy);
    r.ax = Twips(ax);
    r.ay = Twips(ay);
    Extend(shape, shape->penX, shape->penY);
    if (type == ShapeRecord::Curve) Extend(shape, r.x, r.y);
    Extend(shape, r.ax, r.ay);
    shape->penX = r.ax;
    shape->penY = r.ay;
    shape->records.push_back(r);
}

double Px(std::int32_t twips) { return twips / 20.0; }

}  // namespace

SWFShape newSWFShape(void) {
    return Guard<SWFShape>(nullptr, [] { return new SWFShape_s; });
}

void destroySWFShape(SWFShape shape) {
    if (shape) Release(shape);
}

void destroySWFFill(SWFFill fill) {
    if (fill && --fill->refs == 0) delete fill;
}

void SWFShape_setLine(SWFShape shape, unsigned short width, byte r, byte g, byte b, byte a) {
    if (!shape) return;
    Guard(0, [&] {
        if (width == 0) {
            StyleRecord(shape).line = 0;
            return 0;
        }
        std::uint32_t tw = std::min<std::uint32_t>(width * 20u, 65535u);
        SWFShape_s::LineStyle l;
        l.width = static_cast<std::uint16_t>(tw);
        l.rgba[0] = r;
        l.rgba[1] = g;
        l.rgba[2] = b;
        l.rgba[3] = a;
        size_t i = 0;
        while (i < shape->lines.size() &&
               !(shape->lines[i].width == l.width &&
                 std::equal(l.rgba, l.rgba + 4, shape->lines[i].rgba)))
            ++i;
        if (i == shape->lines.size()) {
            if (shape->lines.size() >= kMaxStyles) {
                Fail(shape->error, "too many line styles in one shape");
                return 0;
            }
            shape->lines.push_back(l);
        }
        shape->maxLineWidth = std::max<int>(shape->maxLineWidth, l.width);
        StyleRecord(shape).line = static_cast<int>(i + 1);
        return 0;
    });
}

SWFFill SWFShape_addSolidFill(SWFShape shape, byte r, byte g, byte b, byte a) {
    if (!shape) return nullptr;
    return Guard<SWFFill>(nullptr, [&] {
        SWFShape_s::FillStyle f;
        f.rgba[0] = r;
        f.rgba[1] = g;
        f.rgba[2] = b;
        f.rgba[3] = a;
        return AddFill(shape, std::move(f));
    });
}

SWFFill SWFShape_addBitmapFill(SWFShape shape, SWFBitmap bitmap, byte flags) {
    if (!shape) return nullptr;
    return Guard<SWFFill>(nullptr, [&]() -> SWFFill {
        if (!bitmap) {
            Fail(shape->error, Missing("picture for the bitmap fill"));
            return nullptr;
        }
        if (!bitmap->error.empty()) {
            Fail(shape->error, bitmap->error);
            return nullptr;
        }
        if (flags < 0x40 || flags > 0x43) {
            Fail(shape->error, "unknown bitmap fill flags " + std::to_string(flags));
            return nullptr;
        }
        SWFShape_s::FillStyle f;
        f.bitmap = true;
        f.image = Ref<SWFBitmap_s>(bitmap);
        f.flags = flags;
        return AddFill(shape, std::move(f));
    });
}

void SWFShape_setLeftFill(SWFShape shape, SWFFill fill) {
    if (!shape) return;
    Guard(0, [&] {
        int i = FillIndex(shape, fill);
        StyleRecord(shape).fill0 = i;
        return 0;
    });
}

void SWFShape_setRightFill(SWFShape shape, SWFFill fill) {
    if (!shape) return;
    Guard(0, [&] {
        int i = FillIndex(shape, fill);
        StyleRecord(shape).fill1 = i;
        return 0;
    });
}

void SWFShape_movePenTo(SWFShape shape, double x, double y) {
    if (!shape) return;
    Guard(0, [&] {
        ShapeRecord& r = StyleRecord(shape);
        r.move = true;
        r.x = Twips(x);
        r.y = Twips(y);
        shape->penX = r.x;
        shape->penY = r.y;
        Extend(shape, r.x, r.y);
        return 0;
    });
}

void SWFShape_drawLineTo(SWFShape shape, double x, double y) {
    if (!shape) return;
    Guard(0, [&] {
        EdgeTo(shape, ShapeRecord::Line, 0, 0, x, y);
        return 0;
    });
}

void SWFShape_drawLine(SWFShape shape, double dx, double dy) {
    if (shape) SWFShape_drawLineTo(shape, Px(shape->penX) + dx, Px(shape->penY) + dy);
}

void SWFShape_drawCurve(SWFShape shape, double controldx, double controldy, double anchordx,
                        double anchordy) {
    if (!shape) return;
    Guard(0, [&] {
        double cx = Px(shape->penX) + controldx, cy = Px(shape->penY) + controldy;
        EdgeTo(shape, ShapeRecord::Curve, cx, cy, cx + anchordx, cy + anchordy);
        return 0;
    });
}
