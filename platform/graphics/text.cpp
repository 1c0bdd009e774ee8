// Fonts (fontconfig matching, FreeType rendering) and the text calls.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "platform/graphics/gdi_objects.h"

namespace platform {
using namespace gdi;

struct Glyph {
    int advance = 0;
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<BYTE> coverage;  // width * height, 0..255
};

struct FontFace {
    FT_Face face = nullptr;
    std::string file;
    std::string family;
    int em = 0;
    int ascent = 0, descent = 0, internalLeading = 0;
    int underlinePos = 1, underlineThickness = 1, strikePos = 0;
    bool bold = false, italic = false, synthBold = false, synthItalic = false, mono = false;
    int weight = FW_NORMAL;
    int aveCharWidth = 0, maxCharWidth = 0;
    std::unordered_map<char32_t, Glyph> glyphs;
    ~FontFace() {
        if (face) FT_Done_Face(face);
    }
};

namespace {

std::mutex& TextLock() {
    static std::mutex m;
    return m;
}

FT_Library Library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        FT_Init_FreeType(&l);
        return l;
    }();
    return lib;
}

std::map<std::string, std::string>& Overrides() {
    static std::map<std::string, std::string> m;
    return m;
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Windows face names the program asks for, mapped to the free faces installed with it.
std::string MappedFamily(const std::string& face) {
    static const std::map<std::string, std::string> map = {
        {"", "Liberation Sans"},           {"ms sans serif", "Liberation Sans"},
        {"microsoft sans serif", "Liberation Sans"}, {"ms shell dlg", "Liberation Sans"},
        {"ms shell dlg 2", "Liberation Sans"}, {"tahoma", "DejaVu Sans"},
        {"verdana", "DejaVu Sans"},         {"segoe ui", "DejaVu Sans"},
        {"arial", "Liberation Sans"},       {"helvetica", "Liberation Sans"},
        {"system", "Liberation Sans"},      {"ms serif", "Liberation Serif"},
        {"times new roman", "Liberation Serif"}, {"courier new", "Liberation Mono"},
        {"courier", "Liberation Mono"},     {"fixedsys", "Liberation Mono"},
        {"lucida console", "Liberation Mono"}};
    auto it = map.find(Lower(face));
    return it != map.end() ? it->second : face;
}

struct Match {
    std::string file;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
};

Match FindFont(const std::string& family, bool bold, bool italic) {
    Match m;
    auto ov = Overrides().find(Lower(family));
    if (ov != Overrides().end()) {
        m.file = ov->second;
        return m;
    }
    // A match depends only on the family and style, not on the size: each is asked of
    // fontconfig once, however many sizes of it the windows use.
    static std::map<std::string, Match> matches;
    const std::string key = Lower(family) + "|" + std::to_string(bold) + std::to_string(italic);
    if (auto hit = matches.find(key); hit != matches.end()) return hit->second;
    UseFontconfig();
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(MappedFamily(family).c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res;
    FcPattern* found = FcFontMatch(nullptr, pat, &res);
    if (found) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) m.file = reinterpret_cast<char*>(file);
        FcPatternGetInteger(found, FC_INDEX, 0, &m.index);
        FcPatternGetInteger(found, FC_WEIGHT, 0, &m.weight);
        FcPatternGetInteger(found, FC_SLANT, 0, &m.slant);
        FcPatternDestroy(found);
    }
    FcPatternDestroy(pat);
    matches.emplace(key, m);
    return m;
}

std::shared_ptr<FontFace> OpenFace(const LOGFONT& lf) {
    static std::map<std::string, std::weak_ptr<FontFace>> cache;
    std::string family(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    bool bold = lf.lfWeight >= FW_SEMIBOLD, italic = lf.lfItalic != 0;
    bool mono = lf.lfQuality == NONANTIALIASED_QUALITY;
    std::string key = Lower(family) + "|" + std::to_string(lf.lfHeight) + "|" + std::to_string(bold) +
                      std::to_string(italic) + std::to_string(mono);
    if (auto hit = cache[key].lock()) return hit;

    auto f = std::make_shared<FontFace>();
    Match m = FindFont(family, bold, italic);
    FT_Face face = nullptr;
    if (m.file.empty() || FT_New_Face(Library(), m.file.c_str(), m.index, &face) != 0) {
        Match fallback = FindFont("sans-serif", bold, italic);
        if (fallback.file.empty() || FT_New_Face(Library(), fallback.file.c_str(), fallback.index, &face) != 0)
            return nullptr;
        m = fallback;
    }
    f->face = face;
    f->file = m.file;
    f->family = family;
    f->bold = bold;
    f->italic = italic;
    f->mono = mono;
    f->weight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    f->synthBold = bold && m.weight < FC_WEIGHT_DEMIBOLD && Overrides().find(Lower(family)) == Overrides().end();
    f->synthItalic = italic && m.slant == FC_SLANT_ROMAN && Overrides().find(Lower(family)) == Overrides().end();

    // Windows measures cells by the font's Windows ascent and descent.
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    double upem = face->units_per_EM ? face->units_per_EM : 1000;
    double asc = os2 && os2->usWinAscent ? os2->usWinAscent : face->ascender;
    double desc = os2 && os2->usWinDescent ? os2->usWinDescent : -face->descender;
    if (asc + desc <= 0) {
        asc = upem * 0.8;
        desc = upem * 0.2;
    }
    long h = lf.lfHeight;
    if (h == 0) h = -11;
    double em = h < 0 ? double(-h) : h * upem / (asc + desc);
    f->em = std::clamp(int(std::lround(em)), 1, 2000);
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(f->em));
    f->ascent = int(std::lround(asc * f->em / upem));
    f->descent = int(std::lround(desc * f->em / upem));
    if (h > 0 && f->ascent + f->descent != h) f->descent = int(h) - f->ascent;
    f->internalLeading = std::max(0, f->ascent + f->descent - f->em);
    f->underlineThickness = std::max(1, int(std::lround(face->underline_thickness * f->em / upem)));
    f->underlinePos = std::max(1, int(std::lround(-face->underline_position * f->em / upem)));
    f->strikePos = std::max(1, int(std::lround(f->em * 0.28)));
    cache[key] = f;
    return f;
}

const Glyph& GlyphOf(FontFace& f, char32_t ch) {
    auto it = f.glyphs.find(ch);
    if (it != f.glyphs.end()) return it->second;
    Glyph g;
    FT_UInt index = FT_Get_Char_Index(f.face, ch);
    FT_Int32 flags = f.mono ? (FT_LOAD_TARGET_MONO) : (FT_LOAD_TARGET_LIGHT);
    if (FT_Load_Glyph(f.face, index, flags) == 0) {
        FT_GlyphSlot slot = f.face->glyph;
        if (f.synthItalic) FT_GlyphSlot_Oblique(slot);
        if (f.synthBold) FT_GlyphSlot_Embolden(slot);
        g.advance = int((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, f.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& b = slot->bitmap;
            g.left = slot->bitmap_left;
            g.top = slot->bitmap_top;
            g.width = int(b.width);
            g.height = int(b.rows);
            g.coverage.resize(std::size_t(g.width) * std::size_t(g.height));
            for (int y = 0; y < g.height; ++y) {
                const unsigned char* row = b.buffer + std::ptrdiff_t(y) * b.pitch;
                for (int x = 0; x < g.width; ++x) {
                    BYTE v = b.pixel_mode == FT_PIXEL_MODE_MONO ? BYTE((row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0)
                                                                : BYTE(row[x]);
                    g.coverage[std::size_t(y) * std::size_t(g.width) + std::size_t(x)] = v;
                }
            }
        }
    }
    return f.glyphs.emplace(ch, std::move(g)).first->second;
}

// The characters of UTF-8 text with the byte offset each starts at; a malformed byte is
// taken as U+FFFD and a character cut by the end of the text is dropped.
struct Char {
    char32_t code;
    int offset;
};
std::vector<Char> Decode(std::string_view s) {
    std::vector<Char> out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0) {
            out.push_back({0xFFFD, int(i)});
            ++i;
            continue;
        }
        if (i + std::size_t(len) > s.size()) break;
        char32_t code = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            auto cc = static_cast<unsigned char>(s[i + std::size_t(k)]);
            if ((cc & 0xC0) != 0x80) ok = false;
            code = (code << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out.push_back({0xFFFD, int(i)});
            ++i;
            continue;
        }
        out.push_back({code, int(i)});
        i += std::size_t(len);
    }
    return out;
}

FontFace* FaceOf(HDC dc) {
    HFONT f = dc->state.font;
    if (!f) return nullptr;
    if (!f->face) f->face = OpenFace(f->log);
    return f->face.get();
}

int Advance(FontFace& f, char32_t c) { return GlyphOf(f, c).advance; }

int Width(FontFace& f, std::string_view s) {
    std::int64_t w = 0;
    for (const Char& c : Decode(s)) w += Advance(f, c.code);
    return Pin(w);
}

// Blends one glyph's coverage in the colour at its pen position (device coordinates).
void BlendGlyph(const Target& t, const Region& clip, const Glyph& g, int penX, int baseline, Pixel color) {
    if (g.coverage.empty()) return;
    int x0 = penX + g.left, y0 = baseline - g.top;
    RECT box{x0, y0, x0 + g.width, y0 + g.height};
    for (const RECT& c : clip.rects()) {
        RECT a;
        if (!IntersectRect(&a, &c, &box)) continue;
        for (int y = a.top; y < a.bottom; ++y) {
            const BYTE* cov = g.coverage.data() + std::size_t(y - y0) * std::size_t(g.width);
            if (t.bm->bpp == 32) {
                // The common case straight on the row: blend each channel by the coverage.
                Pixel* row = t.bm->row32(y);
                for (int x = a.left; x < a.right; ++x) {
                    std::uint32_t c = cov[x - x0];
                    if (!c) continue;
                    Pixel d = row[x], r = 0;
                    for (int k = 0; k < 24; k += 8) {
                        // Rounded division by 255 without dividing: exact for sums up to 255 * 255.
                        std::uint32_t v = ((color >> k) & 0xFF) * c + ((d >> k) & 0xFF) * (255 - c) + 128;
                        r |= ((v + (v >> 8)) >> 8) << k;
                    }
                    row[x] = r;
                }
                continue;
            }
            for (int x = a.left; x < a.right; ++x) {
                std::uint32_t c = cov[x - x0];
                if (!c) continue;
                if (c == 255 || t.bm->mono()) {
                    if (c >= 128) t.bm->set(x, y, color);
                    continue;
                }
                Pixel d = t.bm->get(x, y) & 0xFFFFFF, r = 0;
                for (int k = 0; k < 24; k += 8)
                    r |= ((((color >> k) & 0xFF) * c + ((d >> k) & 0xFF) * (255 - c) + 127) / 255) << k;
                t.bm->set(x, y, r);
            }
        }
    }
}

struct DrawOptions {
    const int* dx = nullptr;   // advances in place of the font's
    int underlineChar = -1;    // character index to underline ("&" prefix)
    bool prefixOnly = false;   // draw only that underline
};

// Draws a run with its top-left cell corner at device (x, y); returns its width.
int DrawRun(HDC dc, const Target& t, const Region& clip, FontFace& f, int x, int y, std::string_view text,
            const DrawOptions& o = {}) {
    Pixel color = DeviceColor(t.bm, dc->state.textColor);
    int baseline = y + f.ascent;
    int pen = x, i = 0;
    auto chars = Decode(text);
    for (const Char& c : chars) {
        const Glyph& g = GlyphOf(f, c.code);
        int adv = o.dx ? o.dx[i] : g.advance;
        if (!o.prefixOnly) BlendGlyph(t, clip, g, pen, baseline, color);
        if (i == o.underlineChar) {
            RECT u{pen, baseline + f.underlinePos, pen + adv, baseline + f.underlinePos + f.underlineThickness};
            Region line = Region::Combine(Region(u), clip, Region::Op::And);
            FillRegion(t, line, ColorPaint(color));
        }
        pen += adv;
        ++i;
    }
    HFONT hf = dc->state.font;
    if (!o.prefixOnly && hf->log.lfUnderline) {
        RECT u{x, baseline + f.underlinePos, pen, baseline + f.underlinePos + f.underlineThickness};
        FillRegion(t, Region::Combine(Region(u), clip, Region::Op::And), ColorPaint(color));
    }
    if (!o.prefixOnly && hf->log.lfStrikeOut) {
        RECT u{x, baseline - f.strikePos, pen, baseline - f.strikePos + f.underlineThickness};
        FillRegion(t, Region::Combine(Region(u), clip, Region::Op::And), ColorPaint(color));
    }
    return pen - x;
}

std::string_view View(const char* text, int count) {
    if (!text) return {};
    std::size_t n = count < 0 ? std::strlen(text) : std::size_t(count);
    return std::string_view(text, n);
}

}  // namespace

// ---- fonts ----
HFONT CreateFontIndirect(const LOGFONT* lf) {
    if (!lf) return nullptr;
    auto* f = new HFONT__;
    f->log = *lf;
    f->log.lfFaceName[LF_FACESIZE - 1] = 0;
    Register(f);
    return f;
}

HFONT CreateFont(int height, int width, int esc, int orient, int weight, DWORD italic, DWORD underline, DWORD strike,
                 DWORD charSet, DWORD outPrec, DWORD clipPrec, DWORD quality, DWORD pitch, const char* face) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = esc;
    lf.lfOrientation = orient;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic != 0);
    lf.lfUnderline = BYTE(underline != 0);
    lf.lfStrikeOut = BYTE(strike != 0);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrec);
    lf.lfClipPrecision = BYTE(clipPrec);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitch);
    if (face) std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

std::string GetFontFile(HFONT font) {
    if (!Live(font)) return {};
    std::lock_guard lock(TextLock());
    if (!font->face) font->face = OpenFace(font->log);
    return font->face ? font->face->file : std::string();
}

void UseFontconfig() {
    static const bool ready = [] {
        FcInit();
        std::atexit([] { FcFini(); });
        return true;
    }();
    (void)ready;
}

std::string GetFontFamily(HFONT font) {
    if (!Live(font)) return {};
    std::lock_guard lock(TextLock());
    if (!font->face) font->face = OpenFace(font->log);
    return font->face && font->face->face && font->face->face->family_name ? font->face->face->family_name : "";
}

void SetFontFileOverride(const std::string& face, const std::string& file) {
    std::lock_guard lock(TextLock());
    if (file.empty()) Overrides().erase(Lower(face));
    else Overrides()[Lower(face)] = file;
}

// ---- metrics ----
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm) {
    if (!IsLiveDc(dc) || !tm) return FALSE;
    std::lock_guard lock(TextLock());
    FontFace* f = FaceOf(dc);
    if (!f) return FALSE;
    if (!f->aveCharWidth) {
        // Windows' average width is that of the lower-case x for most faces.
        f->aveCharWidth = Advance(*f, U'x');
        for (char32_t c = 32; c < 127; ++c) f->maxCharWidth = std::max(f->maxCharWidth, Advance(*f, c));
    }
    *tm = TEXTMETRIC{};
    tm->tmAscent = f->ascent;
    tm->tmDescent = f->descent;
    tm->tmHeight = f->ascent + f->descent;
    tm->tmInternalLeading = f->internalLeading;
    tm->tmAveCharWidth = f->aveCharWidth;
    tm->tmMaxCharWidth = f->maxCharWidth;
    tm->tmWeight = f->weight;
    tm->tmItalic = f->italic;
    tm->tmUnderlined = dc->state.font->log.lfUnderline;
    tm->tmStruckOut = dc->state.font->log.lfStrikeOut;
    tm->tmCharSet = dc->state.font->log.lfCharSet;
    return TRUE;
}

int GetTextFace(HDC dc, int size, char* out) {
    if (!IsLiveDc(dc) || !dc->state.font) return 0;
    std::string name(dc->state.font->log.lfFaceName);
    if (!out) return int(name.size()) + 1;
    if (size <= 0) return 0;
    std::size_t n = std::min(name.size(), std::size_t(size - 1));
    std::memcpy(out, name.data(), n);
    out[n] = 0;
    return int(n) + 1;
}

BOOL GetTextExtentExPoint(HDC dc, const char* text, int count, int maxExtent, int* fit, int* widths, SIZE* out) {
    if (!IsLiveDc(dc) || (!text && count > 0)) return FALSE;
    std::lock_guard lock(TextLock());
    FontFace* f = FaceOf(dc);
    if (!f) return FALSE;
    int w = 0, n = 0, i = 0;
    for (const Char& c : Decode(View(text, count))) {
        w += Advance(*f, c.code);
        if (widths) widths[i] = w;
        if (w <= maxExtent) n = i + 1;
        ++i;
    }
    if (fit) *fit = n;
    if (out) *out = SIZE{w, f->ascent + f->descent};
    return TRUE;
}

BOOL GetTextExtentPoint32(HDC dc, const char* text, int count, SIZE* out) {
    return GetTextExtentExPoint(dc, text, count, 0, nullptr, nullptr, out);
}

// ---- drawing ----
BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* r, const char* text, UINT count, const int* dx) {
    if (!IsLiveDc(dc)) return FALSE;
    Target t = TargetOf(dc);
    if (!t.bm) return FALSE;
    std::lock_guard lock(TextLock());
    FontFace* f = FaceOf(dc);
    if (!f) return FALSE;
    std::string_view s = View(text, int(count));
    DcState& st = dc->state;
    RECT dr{};
    if (r)
        dr = RECT{Pin(std::int64_t(r->left) + t.offset.x), Pin(std::int64_t(r->top) + t.offset.y),
                  Pin(std::int64_t(r->right) + t.offset.x), Pin(std::int64_t(r->bottom) + t.offset.y)};
    if (r && (options & ETO_OPAQUE)) FillDevice(t, dr, ColorPaint(DeviceColor(t.bm, st.bkColor)));
    Region clip = t.clip;
    if (r && (options & ETO_CLIPPED)) clip = Region::Combine(clip, Region(dr), Region::Op::And);

    auto chars = Decode(s);
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) sum += dx ? dx[i] : Advance(*f, chars[i].code);
    int width = Pin(sum);
    if (st.textAlign & TA_UPDATECP) {
        x = st.position.x;
        y = st.position.y;
    }
    x = Pin(x);
    y = Pin(y);
    int left = x;
    UINT h = st.textAlign & TA_CENTER;
    if (h == TA_CENTER) left = x - width / 2;
    else if (h == TA_RIGHT) left = x - width;
    int top = y;
    UINT v = st.textAlign & TA_BASELINE;
    if (v == TA_BASELINE) top = y - f->ascent;
    else if (v == TA_BOTTOM) top = y - (f->ascent + f->descent);
    if (st.textAlign & TA_UPDATECP) st.position.x = h == TA_RIGHT ? x - width : h == TA_CENTER ? x : x + width;
    int dxl = Pin(std::int64_t(left) + t.offset.x), dyt = Pin(std::int64_t(top) + t.offset.y);
    if (st.bkMode == OPAQUE && !(r && (options & ETO_OPAQUE))) {
        RECT cell{dxl, dyt, dxl + width, dyt + f->ascent + f->descent};
        FillRegion(t, Region::Combine(Region(cell), clip, Region::Op::And), ColorPaint(DeviceColor(t.bm, st.bkColor)));
    }
    DrawOptions o;
    o.dx = dx;
    DrawRun(dc, t, clip, *f, dxl, dyt, s, o);
    return TRUE;
}

BOOL TextOut(HDC dc, int x, int y, const char* text, int count) {
    return ExtTextOut(dc, x, y, 0, nullptr, text, UINT(std::max(count, 0)), nullptr);
}

namespace {

struct Line {
    std::string text;
    int underline = -1;  // character index of the "&" prefix, or -1
    int width = 0;
};

// Removes "&" prefixes: "&&" is one "&", "&x" marks x; the last marked character counts.
std::string StripPrefix(std::string_view s, int* marked) {
    std::string out;
    *marked = -1;
    int chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') {
                out += '&';
                ++i;
                ++chars;
                continue;
            }
            if (i + 1 < s.size()) *marked = chars;
            continue;
        }
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) ++chars;
        out += s[i];
    }
    return out;
}

std::string ExpandTabs(FontFace& f, const std::string& s, int tabWidth) {
    if (s.find('\t') == std::string::npos) return s;
    std::string out;
    int w = 0;
    for (const Char& c : Decode(s)) {
        if (c.code == '\t') {
            int next = tabWidth > 0 ? (w / tabWidth + 1) * tabWidth : w;
            int space = std::max(1, Advance(f, U' '));
            while (w < next) {
                out += ' ';
                w += space;
            }
            continue;
        }
        std::size_t len = 1;
        while (c.offset + len < s.size() && (static_cast<unsigned char>(s[c.offset + len]) & 0xC0) == 0x80) ++len;
        out.append(s, std::size_t(c.offset), len);
        w += Advance(f, c.code);
    }
    return out;
}

// Byte length of the longest prefix of s (whole characters) no wider than width.
std::size_t FitBytes(FontFace& f, std::string_view s, int width, int* used) {
    int w = 0;
    std::size_t end = 0;
    auto chars = Decode(s);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        int a = Advance(f, chars[i].code);
        if (w + a > width) break;
        w += a;
        end = i + 1 < chars.size() ? std::size_t(chars[i + 1].offset) : s.size();
    }
    if (used) *used = w;
    return end;
}

// Breaks one paragraph into lines no wider than width at spaces; a word wider than the
// line is broken between characters only for edit-control layout, else it overflows.
std::vector<std::string> Wrap(FontFace& f, const std::string& para, int width, bool breakWords) {
    std::vector<std::string> lines;
    std::string_view rest = para;
    if (rest.empty()) return {std::string()};
    while (!rest.empty()) {
        if (Width(f, rest) <= width) {
            lines.emplace_back(rest);
            break;
        }
        std::size_t fit = FitBytes(f, rest, width, nullptr);
        std::size_t cut = std::string_view::npos;
        // The last space inside what fits, or the space just past it.
        if (fit < rest.size() && rest[fit] == ' ') cut = fit;
        else if (fit > 0) {
            std::size_t sp = rest.substr(0, fit).rfind(' ');
            if (sp != std::string_view::npos) cut = sp;
        }
        std::size_t next;
        if (cut != std::string_view::npos && cut > 0) {
            next = cut;
        } else if (breakWords) {
            next = std::max<std::size_t>(fit, 1);
            while (next < rest.size() && (static_cast<unsigned char>(rest[next]) & 0xC0) == 0x80) ++next;
        } else {
            next = rest.find(' ', cut == 0 ? 1 : 0);
            if (next == std::string_view::npos) next = rest.size();
        }
        std::string_view line = rest.substr(0, next);
        while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
        lines.emplace_back(line);
        rest.remove_prefix(next);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    }
    return lines;
}

std::string EndEllipsis(FontFace& f, const std::string& s, int width) {
    if (Width(f, s) <= width) return s;
    int dots = Width(f, "...");
    std::size_t keep = FitBytes(f, s, std::max(0, width - dots), nullptr);
    return s.substr(0, keep) + "...";
}

std::string PathEllipsis(FontFace& f, const std::string& s, int width) {
    if (Width(f, s) <= width) return s;
    std::size_t slash = s.find_last_of("/\\");
    if (slash == std::string::npos) return EndEllipsis(f, s, width);
    std::string tail = s.substr(slash);
    int room = width - Width(f, "...") - Width(f, tail);
    if (room <= 0) return "..." + tail;
    return s.substr(0, FitBytes(f, s.substr(0, slash), room, nullptr)) + "..." + tail;
}

}  // namespace

int DrawText(HDC dc, const std::string& text, RECT* r, UINT format) {
    return DrawText(dc, text.c_str(), int(text.size()), r, format);
}

int DrawText(HDC dc, const char* text, int count, RECT* r, UINT fmt) {
    if (!IsLiveDc(dc) || !r) return 0;
    std::unique_lock lock(TextLock());
    FontFace* f = FaceOf(dc);
    if (!f) return 0;
    std::string_view src = View(text, count);
    int width = Pin(std::int64_t(r->right) - r->left);
    int lineHeight = f->ascent + f->descent;

    // Paragraphs.
    std::vector<std::string> paras;
    if (fmt & DT_SINGLELINE) {
        std::string one;
        for (char c : src)
            if (c != '\r' && c != '\n') one += c;
        paras.push_back(one);
    } else {
        std::string cur;
        for (std::size_t i = 0; i < src.size(); ++i) {
            if (src[i] == '\r' || src[i] == '\n') {
                paras.push_back(cur);
                cur.clear();
                if (src[i] == '\r' && i + 1 < src.size() && src[i + 1] == '\n') ++i;
            } else {
                cur += src[i];
            }
        }
        paras.push_back(cur);
    }

    int tabWidth = 8 * std::max(1, Advance(*f, U'x'));
    std::vector<Line> lines;
    for (std::string& p : paras) {
        int marked = -1;
        std::string plain = (fmt & DT_NOPREFIX) ? p : StripPrefix(p, &marked);
        if (fmt & DT_EXPANDTABS) plain = ExpandTabs(*f, plain, tabWidth);
        std::vector<std::string> parts;
        if ((fmt & DT_WORDBREAK) && !(fmt & DT_SINGLELINE))
            parts = Wrap(*f, plain, width, fmt & DT_EDITCONTROL);
        else
            parts.push_back(plain);
        std::size_t pos = 0;
        for (std::string& part : parts) {
            Line l;
            l.text = part;
            // Wrapping drops spaces at breaks: find where the part starts in the paragraph.
            pos = plain.find(part, pos);
            if (pos == std::string::npos) pos = 0;
            int charBase = int(Decode(std::string_view(plain).substr(0, pos)).size());
            int n = int(Decode(part).size());
            if (marked >= charBase && marked < charBase + n) l.underline = marked - charBase;
            pos += part.size();
            lines.push_back(std::move(l));
        }
    }
    // The ellipsis shortens lines that do not fit.
    for (Line& l : lines) {
        std::string before = l.text;
        if (fmt & DT_END_ELLIPSIS) l.text = EndEllipsis(*f, l.text, width);
        else if (fmt & DT_PATH_ELLIPSIS) l.text = PathEllipsis(*f, l.text, width);
        else if (fmt & DT_WORD_ELLIPSIS) l.text = EndEllipsis(*f, l.text, width);
        if (l.text != before && l.underline >= int(Decode(l.text).size()) - 3) l.underline = -1;
        l.width = Width(*f, l.text);
    }

    int total = Pin(std::int64_t(lineHeight) * std::int64_t(lines.size()));
    if (fmt & DT_CALCRECT) {
        int maxw = 0;
        for (Line& l : lines) maxw = std::max(maxw, l.width);
        r->right = Pin(std::int64_t(r->left) + maxw);
        r->bottom = Pin(std::int64_t(r->top) + total);
        return total;
    }
    Target t = TargetOf(dc);
    if (!t.bm) return 0;
    RECT dr{Pin(std::int64_t(r->left) + t.offset.x), Pin(std::int64_t(r->top) + t.offset.y),
            Pin(std::int64_t(r->right) + t.offset.x), Pin(std::int64_t(r->bottom) + t.offset.y)};
    Region clip = (fmt & DT_NOCLIP) ? t.clip : Region::Combine(t.clip, Region(dr), Region::Op::And);
    int y = dr.top;
    if (fmt & DT_SINGLELINE) {
        if (fmt & DT_VCENTER) y = dr.top + (dr.bottom - dr.top - lineHeight) / 2;
        else if (fmt & DT_BOTTOM) y = dr.bottom - lineHeight;
    }
    const DcState& st = dc->state;
    const int first = y;
    for (Line& l : lines) {
        // An edit control does not show a line cut by the bottom edge; nothing shows below the clip.
        if ((fmt & DT_EDITCONTROL) && y + lineHeight > dr.bottom && &l != &lines.front()) break;
        if (y >= clip.box().bottom) break;
        int x = dr.left;
        if (fmt & DT_CENTER) x = dr.left + (width - l.width) / 2;
        else if (fmt & DT_RIGHT) x = dr.right - l.width;
        if (st.bkMode == OPAQUE) {
            RECT cell{x, y, x + l.width, y + lineHeight};
            FillRegion(t, Region::Combine(Region(cell), clip, Region::Op::And), ColorPaint(DeviceColor(t.bm, st.bkColor)));
        }
        DrawOptions o;
        o.underlineChar = (fmt & DT_HIDEPREFIX) ? -1 : l.underline;
        o.prefixOnly = fmt & DT_PREFIXONLY;
        DrawRun(dc, t, clip, *f, x, y, l.text, o);
        y += lineHeight;
    }
    // Centred and bottom-aligned single lines report how far down from the top they end.
    if ((fmt & DT_SINGLELINE) && (fmt & (DT_VCENTER | DT_BOTTOM))) return first - dr.top + total;
    return total;
}

}  // namespace platform
