// Fonts from TrueType/OpenType files through FreeType (DefineFont2 with the glyphs the
// movie's texts use) and static texts (DefineText2).
#include <algorithm>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>

#include "swf/internal/objects.h"
#include "swf/internal/tags.h"

namespace swf::detail {

namespace {
constexpr double kEm = 1024.0;  // glyph space of DefineFont2

// Decodes UTF-8; a byte that does not start a valid sequence stands for itself (Latin-1).
std::vector<std::uint32_t> CodePoints(const char* s) {
    std::vector<std::uint32_t> out;
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
        unsigned c = *p;
        int n = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
        if (c >= 0xF5) n = 0;
        std::uint32_t cp = c;
        bool ok = n > 0;
        if (ok) {
            cp = c & (0x3F >> n);
            for (int k = 1; k <= n; ++k) {
                if ((p[k] & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (p[k] & 0x3F);
            }
            if (ok && ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ||
                       (n == 3 && (cp < 0x10000 || cp > 0x10FFFF))))
                ok = false;
        }
        if (ok) {
            p += n + 1;
        } else {
            cp = c;
            ++p;
        }
        out.push_back(cp);
    }
    return out;
}
}  // namespace

class FontFace {
public:
    ~FontFace() {
        if (face_) FT_Done_Face(face_);
        if (lib_) FT_Done_FreeType(lib_);
    }

    void Open(const std::string& path) {
        if (FT_Init_FreeType(&lib_)) Throw("cannot start the font engine");
        if (FT_New_Face(lib_, path.c_str(), 0, &face_)) {
            face_ = nullptr;
            Throw("cannot load the font " + path + ": not a font file FreeType can read");
        }
        if (!FT_IS_SCALABLE(face_) || face_->units_per_EM == 0)
            Throw("the font " + path + " has no outlines");
        scale_ = kEm / face_->units_per_EM;
    }

    std::string Family() const { return face_->family_name ? face_->family_name : "font"; }
    bool Bold() const { return face_->style_flags & FT_STYLE_FLAG_BOLD; }
    bool Italic() const { return face_->style_flags & FT_STYLE_FLAG_ITALIC; }
    int Ascent() const { return static_cast<int>(std::lround(face_->ascender * scale_)); }
    int Descent() const { return static_cast<int>(std::lround(-face_->descender * scale_)); }
    int Leading() const {
        return std::max(0, static_cast<int>(std::lround(face_->height * scale_)) - Ascent() - Descent());
    }

    // Advance in em units of 1024 (0 for a glyph the font cannot give).
    double Advance(std::uint32_t cp) {
        if (!Load(cp)) return 0;
        return face_->glyph->advance.x * scale_;
    }

    struct Glyph {
        std::vector<ShapeRecord> records;
        int advance = 0;
        std::int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    };

    Glyph Outline(std::uint32_t cp) {
        Glyph g;
        if (!Load(cp)) return g;
        g.advance = static_cast<int>(std::lround(face_->glyph->advance.x * scale_));
        if (face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return g;
        FT_Outline* o = &face_->glyph->outline;
        Builder b{this, &g, FT_Outline_Get_Orientation(o) == FT_ORIENTATION_POSTSCRIPT};
        FT_Outline_Funcs funcs{};
        funcs.move_to = [](const FT_Vector* to, void* u) {
            static_cast<Builder*>(u)->Move(*to);
            return 0;
        };
        funcs.line_to = [](const FT_Vector* to, void* u) {
            static_cast<Builder*>(u)->Line(*to);
            return 0;
        };
        funcs.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* u) {
            static_cast<Builder*>(u)->Conic(*c, *to);
            return 0;
        };
        funcs.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
            static_cast<Builder*>(u)->Cubic(*c1, *c2, *to);
            return 0;
        };
        if (FT_Outline_Decompose(o, &funcs, &b)) g.records.clear();
        return g;
    }

private:
    struct Builder {
        FontFace* f;
        Glyph* g;
        bool postscript;
        double px = 0, py = 0;
        bool first = true;

        std::int32_t X(double x) const { return static_cast<std::int32_t>(std::lround(x * f->scale_)); }
        std::int32_t Y(double y) const { return static_cast<std::int32_t>(std::lround(-y * f->scale_)); }
        void Extend(std::int32_t x, std::int32_t y) {
            if (first && g->records.empty()) {
                g->minX = g->maxX = x;
                g->minY = g->maxY = y;
            }
            g->minX = std::min(g->minX, x);
            g->maxX = std::max(g->maxX, x);
            g->minY = std::min(g->minY, y);
            g->maxY = std::max(g->maxY, y);
        }
        void Move(const FT_Vector& to) {
            ShapeRecord r;
            r.move = true;
            r.x = X(to.x);
            r.y = Y(to.y);
            if (first) {
                // The glyph's body lies left of its edges in y-down space for TrueType outlines.
                if (postscript) r.fill1 = 1; else r.fill0 = 1;
            }
            Extend(r.x, r.y);
            first = false;
            g->records.push_back(r);
            px = to.x;
            py = to.y;
        }
        void Line(const FT_Vector& to) {
            ShapeRecord r;
            r.type = ShapeRecord::Line;
            r.ax = X(to.x);
            r.ay = Y(to.y);
            Extend(r.ax, r.ay);
            g->records.push_back(r);
            px = to.x;
            py = to.y;
        }
        void Quad(double cx, double cy, double x, double y) {
            ShapeRecord r;
            r.type = ShapeRecord::Curve;
            r.x = X(cx);
            r.y = Y(cy);
            r.ax = X(x);
            r.ay = Y(y);
            Extend(r.x, r.y);
            Extend(r.ax, r.ay);
            g->records.push_back(r);
            px = x;
            py = y;
        }
        void Conic(const FT_Vector& c, const FT_Vector& to) { Quad(c.x, c.y, to.x, to.y); }
        // A cubic as two quadratics, split at its middle.
        void Cubic(const FT_Vector& c1, const FT_Vector& c2, const FT_Vector& to) {
            double x0 = px, y0 = py;
            double ax = (x0 + c1.x) / 2, ay = (y0 + c1.y) / 2;
            double bx = (c1.x + c2.x) / 2.0, by = (c1.y + c2.y) / 2.0;
            double cx = (c2.x + to.x) / 2.0, cy = (c2.y + to.y) / 2.0;
            double abx = (ax + bx) / 2, aby = (ay + by) / 2;
            double bcx = (bx + cx) / 2, bcy = (by + cy) / 2;
            double mx = (abx + bcx) / 2, my = (aby + bcy) / 2;
            // Each half (x0, a, ab, m) and (m, bc, c, to) as one quadratic.
            Quad((3 * (ax + abx) - x0 - mx) / 4, (3 * (ay + aby) - y0 - my) / 4, mx, my);
            Quad((3 * (bcx + cx) - mx - to.x) / 4, (3 * (bcy + cy) - my - to.y) / 4, to.x, to.y);
        }
    };

    bool Load(std::uint32_t cp) {
        FT_UInt index = FT_Get_Char_Index(face_, cp);
        return FT_Load_Glyph(face_, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0;
    }

    FT_Library lib_ = nullptr;
    FT_Face face_ = nullptr;
    double scale_ = 1;
};

}  // namespace swf::detail

using namespace swf::detail;

SWFFont_s::SWFFont_s() : SWFBlock_s(Kind::Font) {}
SWFFont_s::~SWFFont_s() = default;

int SWFFont_s::GlyphNumber(std::uint32_t cp) const {
    auto it = used.find(cp);
    return it == used.end() ? 0 : it->second;
}

void SWFFont_s::Write(Emitter& e, std::uint16_t id) {
    std::vector<std::uint32_t> chars;
    for (auto& [cp, n] : used) {
        n = static_cast<std::uint16_t>(chars.size());
        chars.push_back(cp);
    }
    if (chars.size() > 65535) Throw("a font uses more glyphs than the format allows");
    std::vector<FontFace::Glyph> glyphs;
    glyphs.reserve(chars.size());
    Writer shapes;
    std::vector<std::uint32_t> offsets;
    for (std::uint32_t cp : chars) {
        glyphs.push_back(face->Outline(cp));
        offsets.push_back(static_cast<std::uint32_t>(shapes.size()));
        shapes.Bits(1, 4);  // one fill style
        shapes.Bits(0, 4);  // no line styles
        EncodeShapeRecords(shapes, glyphs.back().records, 1, 0);
    }
    size_t n = chars.size();
    bool wide = 2 * (n + 1) + shapes.size() > 0xFFFF;
    size_t tableSize = (wide ? 4 : 2) * (n + 1);

    Writer w;
    w.U16(id);
    w.U8(0x80 | (wide ? 0x08 : 0) | 0x04 | (face->Italic() ? 0x02 : 0) | (face->Bold() ? 0x01 : 0));
    w.U8(1);  // Latin
    std::string name = face->Family().substr(0, 255);
    w.U8(static_cast<unsigned>(name.size()));
    w.Append(reinterpret_cast<const std::uint8_t*>(name.data()), name.size());
    w.U16(static_cast<unsigned>(n));
    for (size_t i = 0; i <= n; ++i) {
        std::uint32_t off = static_cast<std::uint32_t>(tableSize) +
                            (i < n ? offsets[i] : static_cast<std::uint32_t>(shapes.size()));
        if (wide) w.U32(off); else w.U16(off);
    }
    w.Append(shapes.bytes());
    for (std::uint32_t cp : chars) w.U16(cp > 0xFFFF ? 0xFFFD : cp);
    w.S16(face->Ascent());
    w.S16(face->Descent());
    w.S16(face->Leading());
    for (auto& g : glyphs) w.S16(std::clamp(g.advance, -32768, 32767));
    for (auto& g : glyphs) w.Rect(g.minX, g.maxX, g.minY, g.maxY);
    w.U16(0);  // no kerning pairs
    e.Tag(tag::DefineFont2, w.bytes(), true);
}

void SWFText_s::DefineParts(Emitter& e) {
    for (Run& r : runs) e.Define(r.font.get());
}

void SWFText_s::Write(Emitter& e, std::uint16_t id) {
    struct Glyph {
        unsigned index;
        std::int32_t advance;
    };
    struct Record {
        std::uint16_t font;
        const byte* rgba;
        std::int32_t x, y, height;
        std::vector<Glyph> glyphs;
    };
    std::vector<Record> recs;
    std::int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool any = false;
    unsigned maxIndex = 0;
    std::int32_t maxAdv = 0;
    for (Run& r : runs) {
        Record rec{e.Define(r.font.get()), r.rgba, Twips(r.x), Twips(r.y),
                   std::clamp(Twips(r.height), 0, 65535), {}};
        double pos = 0;
        std::int32_t placed = 0;
        for (std::uint32_t cp : r.chars) {
            pos += r.font->face->Advance(cp) * rec.height / 1024.0;
            std::int32_t next = static_cast<std::int32_t>(std::lround(pos));
            Glyph g{static_cast<unsigned>(r.font->GlyphNumber(cp)), next - placed};
            placed = next;
            maxIndex = std::max(maxIndex, g.index);
            maxAdv = std::max(maxAdv, std::abs(g.advance));
            rec.glyphs.push_back(g);
        }
        std::int32_t asc = rec.height * r.font->face->Ascent() / 1024;
        std::int32_t desc = rec.height * r.font->face->Descent() / 1024;
        std::int32_t x0 = rec.x, x1 = rec.x + placed, y0 = rec.y - asc, y1 = rec.y + desc;
        if (!any) {
            minX = x0;
            maxX = x1;
            minY = y0;
            maxY = y1;
            any = true;
        }
        minX = std::min({minX, x0, x1});
        maxX = std::max({maxX, x0, x1});
        minY = std::min(minY, y0);
        maxY = std::max(maxY, y1);
        recs.push_back(std::move(rec));
    }
    int glyphBits = std::max(1, UnsignedBits(maxIndex));
    int advanceBits = std::max(1, SignedBits(maxAdv) + 1);
    Writer w;
    w.U16(id);
    w.Rect(minX, maxX, minY, maxY);
    w.Matrix(1, 1, 0, 0, 0, 0);
    w.U8(glyphBits);
    w.U8(advanceBits);
    for (Record& rec : recs) {
        for (size_t start = 0; start < rec.glyphs.size() || start == 0; start += 255) {
            size_t count = std::min<size_t>(255, rec.glyphs.size() - start);
            if (start == 0) {
                w.U8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);
                w.U16(rec.font);
                for (int c = 0; c < 4; ++c) w.U8(rec.rgba[c]);
                w.S16(std::clamp(rec.x, -32768, 32767));
                w.S16(std::clamp(rec.y, -32768, 32767));
                w.U16(static_cast<unsigned>(rec.height));
            } else {
                w.U8(0x80);
            }
            w.U8(static_cast<unsigned>(count));
            for (size_t k = start; k < start + count; ++k) {
                w.Bits(rec.glyphs[k].index, glyphBits);
                w.SBits(rec.glyphs[k].advance, advanceBits);
            }
            w.Align();
            if (rec.glyphs.empty()) break;
        }
    }
    w.U8(0);
    e.Tag(tag::DefineText2, w.bytes(), true);
}

SWFFont newSWFFont_fromFile(const char* filename) {
    return Guard<SWFFont>(nullptr, [&] {
        if (!filename || !*filename) Throw("no font file given");
        auto face = std::make_unique<FontFace>();
        face->Open(filename);
        auto* f = new SWFFont_s;
        f->face = std::move(face);
        return f;
    });
}

void destroySWFFont(SWFFont font) {
    if (font) Release(font);
}

SWFText newSWFText(void) {
    return Guard<SWFText>(nullptr, [] { return new SWFText_s; });
}

void destroySWFText(SWFText text) {
    if (text) Release(text);
}

void SWFText_setFont(SWFText text, SWFFont font) {
    if (!text) return;
    if (!font) {
        Fail(text->error, Missing("font for the text"));
        return;
    }
    text->font = Ref<SWFFont_s>(font);
}

void SWFText_setColor(SWFText text, byte r, byte g, byte b, byte a) {
    if (!text) return;
    text->rgba[0] = r;
    text->rgba[1] = g;
    text->rgba[2] = b;
    text->rgba[3] = a;
}

void SWFText_setHeight(SWFText text, float height) {
    if (!text) return;
    if (!(height >= 0.0f && height <= 3276.0f)) {
        Fail(text->error, "text height " + std::to_string(height) + " is out of range");
        return;
    }
    text->height = height;
}

void SWFText_addString(SWFText text, const char* string, int* advance) {
    if (advance) *advance = 0;
    if (!text || !string) return;
    Guard(0, [&] {
        if (!text->font) {
            Fail(text->error, "text without a font");
            return 0;
        }
        SWFText_s::Run run{text->font, {}, text->height, text->penX, text->penY, CodePoints(string)};
        std::copy(text->rgba, text->rgba + 4, run.rgba);
        if (!text->penSet) {
            run.y = text->font->face->Ascent() * text->height / kEm;
            text->penY = run.y;
            text->penSet = true;
        }
        double em = 0;
        for (std::uint32_t cp : run.chars) em += text->font->face->Advance(cp);
        double width = em * text->height / kEm;
        for (std::uint32_t cp : run.chars) text->font->used.emplace(cp, 0);
        text->runs.push_back(std::move(run));
        text->penX += width;
        if (advance) *advance = static_cast<int>(std::lround(width));
        return 0;
    });
}
