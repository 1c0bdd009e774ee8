// skinart: draws the pictures of the five built-in control styles (buttons, boxes, title
// parts, bars, sliders, scroll parts) at their fixed sizes and frame counts, with 0xFF00FF
// as the transparent key, and writes them as BMP files plus one C++ source that compiles
// them into the program as named bitmap resources.
//
//   skinart <output folder>
//
// Output: <folder>/skinart_resources.cpp and <folder>/bmp/<NAME>.bmp (for looking at).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "raster.h"

using namespace skinraster;

namespace {

struct Look {
    const char* prefix;
    Rgb top, bottom;  // face gradient
    Rgb border;
    Rgb accent;       // checks, progress, selection
    Rgb glyph;
    Rgb title;        // title bar colour
    int radius;
    bool gloss;
};

// MacOS, WinXP, DeepBlue, Protein, BlueGlass.
const Look kLooks[5] = {
    {"MACOS", 0xF4F7FB, 0xA8C4E6, 0x5C7FAE, 0x2F6FC6, 0x1C2A3C, 0xC8D2DE, 9, true},
    {"WINXP", 0xFFFFFF, 0xD8D2C2, 0x003C74, 0x21A121, 0x1A1A1A, 0x2457D6, 3, false},
    {"DEEPBLUE", 0x5A7EB4, 0x17295A, 0x08112A, 0x7FB2FF, 0xF0F4FF, 0x1D3468, 2, false},
    {"PROTEIN", 0xFFFFFF, 0xDADADA, 0x8A8A8A, 0xC22B2E, 0x2E2E2E, 0xEFEFEF, 4, false},
    {"BLUEGLASS", 0xE2F1FF, 0x4F93E0, 0x24558F, 0x0F5BBF, 0x0B2547, 0x6FAEEA, 6, true},
};

// Element, frames, and width x height per style (MacOS, WinXP, DeepBlue, Protein, BlueGlass).
struct Picture {
    const char* element;
    int frames;
    int size[5][2];
};

const Picture kPictures[] = {
    {"BUTTON", 3, {{252, 23}, {54, 21}, {222, 21}, {222, 21}, {231, 27}}},
    {"CHECKBOX", 4, {{60, 17}, {52, 13}, {52, 13}, {52, 13}, {52, 13}}},
    {"RADIOBUTTON", 4, {{64, 17}, {52, 13}, {52, 13}, {52, 13}, {52, 13}}},
    {"TITLEBTN", 18, {{306, 17}, {378, 21}, {342, 19}, {342, 19}, {342, 19}}},
    {"TITLE_LEFT", 1, {{48, 23}, {35, 29}, {97, 32}, {441, 23}, {162, 33}}},
    {"TITLE_CLIENT", 1, {{49, 23}, {37, 29}, {98, 32}, {1, 23}, {179, 33}}},
    {"TITLE_RIGHT", 1, {{48, 23}, {35, 29}, {97, 32}, {1, 23}, {101, 33}}},
    {"PROGRESSBAR", 1, {{13, 10}, {6, 10}, {1, 10}, {1, 10}, {1, 10}}},
    {"TRACKBAR_BAR", 3, {{45, 5}, {45, 8}, {45, 4}, {45, 4}, {45, 4}}},
    {"TRACKBAR_SLIDER", 1, {{11, 20}, {11, 21}, {11, 20}, {11, 20}, {11, 20}}},
    {"TRACKBAR_SLIDER_V", 1, {{19, 11}, {22, 11}, {18, 11}, {18, 11}, {18, 11}}},
    {"SCROLLBAR_BUTTON", 6, {{96, 22}, {96, 17}, {96, 16}, {96, 16}, {102, 16}}},
    {"SCROLLBAR_TRACK", 3, {{33, 16}, {21, 16}, {21, 16}, {21, 16}, {21, 16}}},
    {"SIDECHENNEL_BAR", 1, {{1, 21}, {1, 21}, {1, 20}, {1, 21}, {1, 21}}},
    {"CHECKLIST", 4, {{40, 11}, {44, 11}, {44, 11}, {44, 11}, {44, 11}}},
    {"SCROLLBUTTON", 4, {{72, 18}, {72, 18}, {72, 17}, {72, 17}, {72, 17}}},
    {"TAB", 1, {{36, 27}, {18, 18}, {12, 17}, {18, 17}, {18, 17}}},
    {"TAB_LINE", 1, {{17, 7}, {8, 1}, {5, 5}, {10, 5}, {10, 5}}},
    {"SIDECHENNEL_HANDLE", 1, {{7, 84}, {8, 86}, {8, 83}, {8, 83}, {8, 86}}},
};

enum State { Normal, Hover, Pressed, Disabled };

Rgb Shade(Rgb c, State s) {
    switch (s) {
        case Hover: return Lighter(c, 0.25);
        case Pressed: return Darker(c, 0.22);
        case Disabled: return Lighter(Grey(c), 0.35);
        default: return c;
    }
}

// The face of a button-like shape: vertical gradient, a gloss band on glassy looks.
std::function<Rgb(int, int)> Face(const Look& k, State s, int h) {
    Rgb top = Shade(k.top, s), bottom = Shade(k.bottom, s);
    if (s == Pressed) std::swap(top, bottom);
    bool gloss = k.gloss;
    return [=](int, int y) {
        double t = h > 1 ? double(y) / (h - 1) : 0;
        Rgb c = Mix(top, bottom, t);
        if (gloss && y < h / 2) c = Lighter(c, 0.35);
        return c;
    };
}

void Button(Image& im, int x, int fw, const Look& k, State s) {
    im.RoundRect(x, 0, fw, im.H(), k.radius, Face(k, s, im.H()));
    im.RoundFrame(x, 0, fw, im.H(), k.radius, Shade(k.border, s));
}

void CheckMark(Image& im, double cx, double cy, double size, Rgb c) {
    im.Line(cx - size * 0.42, cy, cx - size * 0.1, cy + size * 0.32, std::max(1.6, size / 6), c);
    im.Line(cx - size * 0.1, cy + size * 0.32, cx + size * 0.45, cy - size * 0.38, std::max(1.6, size / 6), c);
}

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double Luminance(Rgb c) {
    auto linear = [](int v) {
        double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(R(c)) + 0.7152 * linear(G(c)) + 0.0722 * linear(B(c));
}
double Contrast(Rgb a, Rgb b) {
    double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour taken darker (lighter on a dark ground) until it stands out from the ground by
// at least the ratio, so that a tick or a box edge reads at a glance whatever the look.
Rgb StandOut(Rgb c, Rgb ground, double ratio) {
    const bool darken = Luminance(ground) > 0.18;
    for (int i = 0; i < 40 && Contrast(c, ground) < ratio; ++i) c = darken ? Darker(c, 0.12) : Lighter(c, 0.12);
    return c;
}

// What a mark and a box edge keep against the box: above the 3:1 a glance needs, with room
// for the softened edge pixels of a small drawing.
constexpr double kMarkContrast = 4.5;
constexpr double kEdgeContrast = 4.0;

// Four frames: checked, unchecked, checked disabled, unchecked disabled.
void Boxes(Image& im, int fw, const Look& k, bool radio) {
    for (int f = 0; f < 4; ++f) {
        bool checked = f == 0 || f == 2;
        State s = f < 2 ? Normal : Disabled;
        int side = std::min(fw, im.H());
        int x = f * fw + (fw - side) / 2, y = (im.H() - side) / 2;
        Rgb inside = s == Disabled ? 0xE4E4E4 : Lighter(k.top, 0.6);
        if (checked) inside = Mix(inside, k.accent, 0.18);  // a checked box reads as checked all over
        Rgb border = StandOut(Shade(k.border, s), inside, kEdgeContrast);
        Rgb mark = StandOut(s == Disabled ? 0x9A9A9A : k.accent, inside, kMarkContrast);
        if (radio) {
            double r = side / 2.0;
            im.Disc(x + r, y + r, r, border);
            im.Disc(x + r, y + r, r - 1.2, inside);
            if (checked) im.Disc(x + r, y + r, std::max(1.5, r * 0.45), mark);
        } else {
            im.RoundRect(x, y, side, side, k.radius > 4 ? 3 : 1, [inside](int, int) { return inside; });
            im.RoundFrame(x, y, side, side, k.radius > 4 ? 3 : 1, border);
            if (checked) CheckMark(im, x + side / 2.0, y + side / 2.0, side * 0.75, mark);
        }
    }
}

// Six kinds (control box, help, maximise, restore, minimise, close), three states each.
void TitleButtons(Image& im, int fw, const Look& k) {
    for (int kind = 0; kind < 6; ++kind)
        for (int st = 0; st < 3; ++st) {
            int f = kind * 3 + st;
            State s = State(st);
            int x = f * fw, h = im.H();
            Rgb base = kind == 5 ? Mix(k.top, 0xD83A2A, 0.7) : k.top;
            Look kk = k;
            kk.top = base;
            kk.bottom = kind == 5 ? Mix(k.bottom, 0xA02010, 0.7) : k.bottom;
            Button(im, x + 1, fw - 2, kk, s);
            Rgb g = Shade(k.glyph, s == Hover ? Normal : s);
            if (s == Hover) g = Mix(k.glyph, k.accent, 0.5);
            double cx = x + fw / 2.0, cy = h / 2.0, a = std::min(fw, h) * 0.28;
            switch (kind) {
                case 0:  // control box: a small window
                    im.Fill(int(cx - a), int(cy - a), int(2 * a), int(2 * a), g);
                    im.Fill(int(cx - a) + 1, int(cy - a) + 3, int(2 * a) - 2, int(2 * a) - 4, Face(kk, s, h)(0, h / 2));
                    im.Fill(int(cx) - 1, int(cy) - 1, 2, 2, g);
                    break;
                case 1:  // help: a question mark
                    im.Line(cx - a * 0.6, cy - a * 0.5, cx, cy - a, 1.6, g);
                    im.Line(cx, cy - a, cx + a * 0.6, cy - a * 0.5, 1.6, g);
                    im.Line(cx + a * 0.6, cy - a * 0.5, cx, cy + a * 0.2, 1.6, g);
                    im.Line(cx, cy, cx, cy + a * 0.35, 1.6, g);
                    im.Disc(cx, cy + a * 0.9, 1.1, g);
                    break;
                case 2:  // maximise: a frame with a thick top
                    im.Fill(int(cx - a), int(cy - a), int(2 * a), 3, g);
                    im.Line(cx - a + 0.5, cy - a, cx - a + 0.5, cy + a, 1.2, g);
                    im.Line(cx + a - 0.5, cy - a, cx + a - 0.5, cy + a, 1.2, g);
                    im.Line(cx - a, cy + a - 0.5, cx + a, cy + a - 0.5, 1.2, g);
                    im.Fill(int(cx) - 1, int(cy) - 1, 2, 2, g);
                    break;
                case 3:  // restore: two frames
                    im.Fill(int(cx - a * 0.4), int(cy - a), int(a * 1.4), 2, g);
                    im.Fill(int(cx - a), int(cy - a * 0.3), int(a * 1.4), 2, g);
                    im.Line(cx - a + 0.5, cy - a * 0.3, cx - a + 0.5, cy + a, 1.2, g);
                    im.Line(cx + a * 0.4 - 0.5, cy - a * 0.3, cx + a * 0.4 - 0.5, cy + a, 1.2, g);
                    im.Line(cx - a, cy + a - 0.5, cx + a * 0.4, cy + a - 0.5, 1.2, g);
                    im.Fill(int(cx) - 1, int(cy) - 1, 2, 2, g);
                    break;
                case 4:  // minimise: a bar, and a dot in the middle for the eye
                    im.Fill(int(cx - a), int(cy + a * 0.5), int(2 * a), 2, g);
                    im.Fill(int(cx) - 1, int(cy) - 1, 2, 2, Mix(g, kk.top, 0.5));
                    break;
                default:  // close: a cross
                    im.Line(cx - a, cy - a, cx + a, cy + a, 1.8, s == Disabled ? g : Rgb(0xFFFFFF));
                    im.Line(cx - a, cy + a, cx + a, cy - a, 1.8, s == Disabled ? g : Rgb(0xFFFFFF));
                    im.Fill(int(cx) - 1, int(cy) - 1, 2, 2,
                            s == Pressed ? Rgb(0xDDDDDD) : s == Hover ? Rgb(0xFFE6E0) : Rgb(0xFFFFFF));
                    break;
            }
        }
}

void Title(Image& im, const Look& k, int part) {
    int h = im.H();
    Rgb top = Lighter(k.title, 0.3), bottom = Darker(k.title, 0.15);
    auto face = [=](int, int y) {
        Rgb c = Mix(top, bottom, h > 1 ? double(y) / (h - 1) : 0);
        return (k.gloss && y < h / 2) ? Lighter(c, 0.25) : c;
    };
    im.Fill(0, 0, im.W(), h, 0);
    im.RoundRect(0, 0, im.W(), h, 0, face);
    // Rounded outer corners at the two ends.
    int r = std::min({k.radius + 3, h / 2, im.W()});
    if (part != 1 && im.W() > 1)
        for (int y = 0; y < r; ++y)
            for (int x = 0; x < r; ++x) {
                double dx = r - (x + 0.5), dy = r - (y + 0.5);
                // Outside the curve: the border colour, which the window's round region
                // cuts away (a key colour would show where the region's curve is smaller).
                if (dx * dx + dy * dy > r * r) im.Set(part == 0 ? x : im.W() - 1 - x, y, k.border);
            }
    im.Fill(0, h - 1, im.W(), 1, k.border);
    if (part == 0 && im.W() > 20) {  // a stripe of accent on the left part
        for (int y = 3; y < h - 3; ++y) im.Set(4, y, k.accent), im.Set(5, y, Lighter(k.accent, 0.4));
    }
}

// Three pieces side by side: rounded left end, middle, rounded right end.
void ThreePieces(Image& im, int fw, const Look& k, Rgb light, Rgb dark) {
    int h = im.H();
    auto face = [=](int, int y) { return Mix(light, dark, h > 1 ? double(y) / (h - 1) : 0); };
    int r = std::min(h / 2, fw);
    im.RoundRect(0, 0, fw + r, h, r, face);
    im.Fill(fw, 0, fw, h, 0);
    im.RoundRect(fw, 0, fw, h, 0, [=](int x, int y) { return x % 4 == 0 ? Lighter(face(x, y), 0.2) : face(x, y); });
    Image right(fw + r, h);
    right.RoundRect(0, 0, fw + r, h, r, face);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < fw; ++x) im.Set(2 * fw + x, y, right.At(r + x, y));
        im.Set(0, y, im.At(0, y) == kKey ? kKey : k.border);
    }
    for (int y = 0; y < h; ++y) {
        Rgb c = im.At(im.W() - 1, y);
        if (c != kKey) im.Set(im.W() - 1, y, k.border);
    }
    // Frames keep the key where the rounded ends leave it.
    for (int y = 0; y < h; ++y)
        for (int x = fw; x < fw + r; ++x)
            if (im.At(x, y) == kKey) im.Set(x, y, face(x, y));
}

void Slider(Image& im, const Look& k, bool vertical) {
    int w = vertical ? im.H() : im.W(), h = vertical ? im.W() : im.H();
    Image s(w, h);
    s.RoundRect(0, 0, w, h - w / 2, k.radius > 4 ? 3 : 1, Face(k, Normal, h));
    s.Triangle(0, h - w / 2 - 1, w, h - w / 2 - 1, w / 2.0, h, Face(k, Normal, h)(0, h - 1));
    s.RoundFrame(0, 0, w, h - w / 2, k.radius > 4 ? 3 : 1, k.border);
    for (int y = h / 2 - 3; y <= h / 2 + 1; y += 2) s.Fill(3, y, w - 6, 1, Darker(k.bottom, 0.3));
    if (vertical) s = s.TurnedClockwise();
    im.Paste(s, 0, 0);
}

// Up arrow in three states, then down arrow in three states (drawn for a vertical bar).
void ScrollButtons(Image& im, int fw, const Look& k) {
    for (int f = 0; f < 6; ++f) {
        State s = State(f % 3);
        int x = f * fw, h = im.H();
        Button(im, x, fw, k, s);
        double cx = x + fw / 2.0, cy = h / 2.0, a = std::min(fw, h) * 0.25;
        Rgb g = s == Hover ? Mix(k.glyph, k.accent, 0.6) : Shade(k.glyph, s);
        if (f < 3) im.Triangle(cx - a, cy + a * 0.6, cx + a, cy + a * 0.6, cx, cy - a * 0.7, g);
        else im.Triangle(cx - a, cy - a * 0.6, cx + a, cy - a * 0.6, cx, cy + a * 0.7, g);
    }
}

void Arrows(Image& im, int fw, const Look& k) {
    for (int f = 0; f < 4; ++f) {
        int x = f * fw, h = im.H();
        Button(im, x, fw, k, Normal);
        double cx = x + fw / 2.0, cy = h / 2.0, a = std::min(fw, h) * 0.25;
        switch (f) {
            case 0: im.Triangle(cx + a, cy - a, cx + a, cy + a, cx - a, cy, k.glyph); break;
            case 1: im.Triangle(cx - a, cy - a, cx - a, cy + a, cx + a, cy, k.glyph); break;
            case 2: im.Triangle(cx - a, cy + a, cx + a, cy + a, cx, cy - a, k.glyph); break;
            default: im.Triangle(cx - a, cy - a, cx + a, cy - a, cx, cy + a, k.glyph); break;
        }
    }
}

Image Draw(const Picture& p, int style) {
    const Look& k = kLooks[style];
    int w = p.size[style][0], h = p.size[style][1];
    int fw = w / p.frames;
    Image im(w, h);
    std::string e = p.element;
    if (e == "BUTTON") {
        for (int f = 0; f < 3; ++f) Button(im, f * fw, f == 2 ? w - 2 * fw : fw, k, State(f));
    } else if (e == "CHECKBOX" || e == "RADIOBUTTON") {
        Boxes(im, fw, k, e == "RADIOBUTTON");
    } else if (e == "CHECKLIST") {
        Boxes(im, fw, k, false);
    } else if (e == "TITLEBTN") {
        TitleButtons(im, fw, k);
    } else if (e == "TITLE_LEFT" || e == "TITLE_CLIENT" || e == "TITLE_RIGHT") {
        Title(im, k, e == "TITLE_LEFT" ? 0 : e == "TITLE_CLIENT" ? 1 : 2);
    } else if (e == "PROGRESSBAR") {
        im.RoundRect(0, 0, w, h, 0, [&](int x, int y) {
            Rgb c = Mix(Lighter(k.accent, 0.5), k.accent, double(y) / (h - 1));
            return (w > 4 && x == w / 2) ? Lighter(c, 0.3) : c;
        });
    } else if (e == "TRACKBAR_BAR") {
        ThreePieces(im, fw, k, Darker(k.bottom, 0.25), Lighter(k.bottom, 0.3));
    } else if (e == "SCROLLBAR_TRACK") {
        ThreePieces(im, fw, k, Lighter(k.top, 0.2), k.bottom);
    } else if (e == "TRACKBAR_SLIDER") {
        Slider(im, k, false);
    } else if (e == "TRACKBAR_SLIDER_V") {
        Slider(im, k, true);
    } else if (e == "SCROLLBAR_BUTTON") {
        ScrollButtons(im, fw, k);
    } else if (e == "SIDECHENNEL_BAR") {
        im.RoundRect(0, 0, w, h, 0, [&](int, int y) { return Mix(Lighter(k.title, 0.4), k.title, double(y) / (h - 1)); });
    } else if (e == "SCROLLBUTTON") {
        Arrows(im, fw, k);
    } else if (e == "TAB") {
        im.RoundRect(0, 0, w, h + k.radius, std::min(k.radius, 4), Face(k, Normal, h));
        im.RoundFrame(0, 0, w, h + k.radius, std::min(k.radius, 4), k.border);
    } else if (e == "TAB_LINE") {
        im.Fill(0, 0, w, h, Lighter(k.top, 0.2));
        im.Fill(0, 0, w, 1, k.border);
    } else if (e == "SIDECHENNEL_HANDLE") {
        im.Fill(0, 0, w, h, Mix(k.top, k.bottom, 0.3));
        for (int y = h / 2 - 12; y <= h / 2 + 12; y += 4) im.Fill(w / 2 - 1, y, 2, 2, k.border);
    }
    return im;
}

// The roll button of the collapsible panel, one picture for every look: 52 x 12, four 13 x 12
// frames: open, open and hot (an up chevron: rolls up), closed, closed and hot (down).
Image PanelButton() {
    const Look& k = kLooks[1];
    Image im(52, 12);
    for (int f = 0; f < 4; ++f) {
        int x = f * 13;
        State s = f % 2 ? Hover : Normal;
        Button(im, x, 13, k, s);
        Rgb g = f % 2 ? k.accent : k.glyph;
        double cx = x + 6.5, cy = 6;
        if (f < 2) im.Triangle(cx - 3.5, cy + 2, cx + 3.5, cy + 2, cx, cy - 2.5, g);
        else im.Triangle(cx - 3.5, cy - 2, cx + 3.5, cy - 2, cx, cy + 2.5, g);
    }
    return im;
}

// The record navigator's glyphs, one strip for every look: 160 x 16, ten 16 x 16 frames in
// button order: first, prior, next, last, insert, delete, edit, post, cancel, refresh.
Image NavigatorGlyphs() {
    Image im(160, 16);
    const Rgb ink = 0x202020, green = 0x1E7A1E, red = 0xB02020;
    for (int f = 0; f < 10; ++f) {
        double x = f * 16, cy = 8;
        switch (f) {
            case 0:
                im.Fill(int(x) + 4, 4, 2, 9, ink);
                im.Triangle(x + 11, 4, x + 11, 12.5, x + 6.5, 8.25, ink);
                break;
            case 1: im.Triangle(x + 10, 4, x + 10, 12.5, x + 5.5, 8.25, ink); break;
            case 2: im.Triangle(x + 6, 4, x + 6, 12.5, x + 10.5, 8.25, ink); break;
            case 3:
                im.Triangle(x + 5, 4, x + 5, 12.5, x + 9.5, 8.25, ink);
                im.Fill(int(x) + 10, 4, 2, 9, ink);
                break;
            case 4:
                im.Fill(int(x) + 7, 3, 2, 10, ink);
                im.Fill(int(x) + 3, 7, 10, 2, ink);
                break;
            case 5: im.Fill(int(x) + 3, 7, 10, 2, ink); break;
            case 6:  // a pencil, point down-left
                im.Line(x + 5, cy + 4, x + 12, cy - 3, 2.2, ink);
                im.Triangle(x + 3, cy + 6, x + 4.2, cy + 2.6, x + 6.4, cy + 4.8, ink);
                break;
            case 7:
                im.Line(x + 3.5, cy, x + 6.5, cy + 3.5, 2, green);
                im.Line(x + 6.5, cy + 3.5, x + 12.5, cy - 4, 2, green);
                break;
            case 8:
                im.Line(x + 4, cy - 4, x + 12, cy + 4, 2, red);
                im.Line(x + 12, cy - 4, x + 4, cy + 4, 2, red);
                break;
            case 9:  // two arrows chasing round
                for (int a = 0; a < 360; a += 8) {
                    if ((a > 60 && a < 110) || (a > 240 && a < 290)) continue;
                    double r = a * 3.14159265 / 180;
                    im.Disc(x + 8 + 4.5 * std::cos(r), cy + 4.5 * std::sin(r), 0.9, ink);
                }
                im.Triangle(x + 10.5, cy - 7, x + 10.5, cy - 2, x + 13.5, cy - 4.5, ink);
                im.Triangle(x + 5.5, cy + 7, x + 5.5, cy + 2, x + 2.5, cy + 4.5, ink);
                break;
        }
    }
    // A light rim round the ink keeps the glyphs readable on the dark looks' buttons.
    Image rimmed = im;
    for (int y = 0; y < im.H(); ++y)
        for (int x = 0; x < im.W(); ++x) {
            if (im.At(x, y) != kKey) continue;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    near = nx >= 0 && ny >= 0 && nx < im.W() && ny < im.H() && nx / 16 == x / 16 && im.At(nx, ny) != kKey;
                }
            if (near) rimmed.Set(x, y, 0xF0F0F0);
        }
    return rimmed;
}

// The drop-down button of the combo box for the two looks that draw it from a picture
// (17 x 20, stretched over the button): MacOS a glassy face the drawn arrow goes over, WinXP
// a face with its own arrow. Stretched without a key, so the corners are the box's white.
Image ComboButton(int style) {
    const Look& k = kLooks[style];
    Image im(17, 20, 0xFFFFFF);
    Button(im, 0, 17, k, Normal);
    if (style == 1) im.Triangle(5, 8, 12, 8, 8.5, 12, k.glyph);
    return im;
}

// The check mark of the skinned menus: 16 x 16, a black tick on white (white is the mask).
Image MenuChecked() {
    Image im(16, 16, 0xFFFFFF);
    CheckMark(im, 8, 8, 11, 0x000000);
    return im;
}

// The MacOS menu pictures: the item background strip (its top 12 rows serve separators,
// its top 20 rows items) and the selected item, 20 x 24 each, stretched over the item.
Image MacMenu(bool selected) {
    const Look& k = kLooks[0];
    Image im(20, 24);
    if (selected) {
        im.RoundRect(0, 0, 20, 24, 0, [&](int, int y) { return Mix(Lighter(k.accent, 0.25), k.accent, y / 23.0); });
    } else {
        im.Fill(0, 0, 20, 24, 0xF7F7F7);
        im.Fill(0, 5, 20, 1, 0xC8C8C8);  // the separator line a 12-row cut keeps
    }
    return im;
}

// The tiled form backgrounds of the light looks: MacOS pin stripes, Protein a soft weave.
Image FormBackground(bool mac) {
    Image im(mac ? 4 : 8, mac ? 4 : 8);
    for (int y = 0; y < im.H(); ++y)
        for (int x = 0; x < im.W(); ++x)
            im.Set(x, y, mac ? (y % 2 ? Rgb(0xE8ECF2) : Rgb(0xF2F5F9))
                             : ((x + y) % 4 == 0 ? Rgb(0xE6E6E6) : (x % 4 == 2 && y % 4 == 2) ? Rgb(0xF6F6F6) : Rgb(0xEEEEEE)));
    return im;
}

// The 16 x 16 program icon: a film frame with a play mark, on the transparent key.
Image MainIcon() {
    Image im(16, 16);
    im.RoundRect(0, 2, 16, 12, 2, [](int, int y) { return Mix(0x3A78C8, 0x1C3C78, y / 11.0); });
    for (int x = 2; x < 15; x += 3) im.Set(x, 3, 0xFFFFFF), im.Set(x, 12, 0xFFFFFF);
    im.Triangle(6, 5, 6, 11, 11, 8, 0xFFE070);
    return im;
}

// The pop-up notification, 181 x 116: a framed panel with a caption band and a close box
// at (162, 6) .. (175, 19).
Image PopupForm() {
    Image im(181, 116, 0x1E4686);  // the corners in the frame's colour: the window is square
    im.RoundRect(0, 0, 181, 116, 6, [](int, int y) { return Mix(0xF4F8FE, 0xD6E4F6, y / 115.0); });
    im.RoundRect(0, 0, 181, 25, 6, [](int, int y) { return Mix(0x6FA0E0, 0x2F62B0, y / 24.0); });
    im.Fill(0, 20, 181, 5, 0x2F62B0);
    im.RoundFrame(0, 0, 181, 116, 6, 0x1E4686);
    im.RoundRect(162, 6, 14, 14, 2, [](int, int) { return Rgb(0xD8503C); });
    im.RoundFrame(162, 6, 14, 14, 2, 0x7A1E10);
    im.Line(165.5, 9.5, 172.5, 16.5, 1.6, 0xFFFFFF);
    im.Line(165.5, 16.5, 172.5, 9.5, 1.6, 0xFFFFFF);
    return im;
}

// The control buttons of a maximised MDI child in the menu bar: three 16 x 14 glyphs side
// by side (minimise, restore, close) in black on the transparent key.
Image MdiControlButtons() {
    Image im(48, 14);
    const Rgb ink = 0x000000;
    im.Fill(4, 9, 7, 2, ink);                  // minimise: a bar at the bottom
    im.Fill(16 + 6, 2, 7, 6, ink);             // restore: two overlapping windows
    im.Fill(16 + 7, 4, 5, 3, kKey);
    im.Fill(16 + 3, 5, 7, 6, ink);
    im.Fill(16 + 4, 7, 5, 3, kKey);
    for (int i = 0; i < 8; ++i) {             // close: a cross, two pixels thick
        im.Fill(32 + 4 + i, 3 + i, 2, 1, ink);
        im.Fill(32 + 4 + i, 10 - i, 2, 1, ink);
    }
    return im;
}

std::string Ident(const std::string& name) {
    std::string s = "art_";
    for (char c : name) s += (c == '-' ? '_' : char(std::tolower(static_cast<unsigned char>(c))));
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skinart <output folder>\n");
        return 2;
    }
    std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out / "bmp");
    std::map<std::string, Image> pictures;
    for (const Picture& p : kPictures)
        for (int s = 0; s < 5; ++s) {
            std::string element = p.element;
            std::string name = std::string(kLooks[s].prefix) + "_" + element;
            // The three darker looks share one scroll-button strip.
            if (element == "SCROLLBUTTON" && s >= 2) {
                if (s != 2) continue;
                name = "MORE_SCROLLBUTTON";
            }
            pictures.emplace(name, Draw(p, s));
        }

    pictures.emplace("PANEL_BUTTON", PanelButton());
    pictures.emplace("DBNAV_BUTTON", NavigatorGlyphs());
    pictures.emplace("MACOS_COMBOBOX_BUTTON", ComboButton(0));
    pictures.emplace("WINXP_COMBOBOX_BUTTON", ComboButton(1));
    pictures.emplace("MENU_CHECKED", MenuChecked());
    pictures.emplace("MACOS_MENU_BAR", MacMenu(false));
    pictures.emplace("MACOS_MENU_SELECT", MacMenu(true));
    pictures.emplace("MACOS_FORM_BACKGROUND", FormBackground(true));
    pictures.emplace("PROTEIN_FORM_BACKGROUND", FormBackground(false));
    pictures.emplace("MAINICON", MainIcon());
    pictures.emplace("MSNPOPFORM", PopupForm());
    pictures.emplace("MDI_CONTROL_BUTTON", MdiControlButtons());

    std::ostringstream src;
    src << "// Generated by tools/skinart: the control pictures of the built-in styles.\n"
           "#include \"resources/skinresources.h\"\n"
           "#include \"platform/graphics/resources.h\"\n\n"
           "namespace {\n";
    for (const auto& [name, im] : pictures) {
        if (!im.SaveBmp((out / "bmp" / (name + ".bmp")).string())) {
            std::fprintf(stderr, "skinart: cannot write %s\n", name.c_str());
            return 1;
        }
        auto data = im.Bmp();
        src << "const platform::BYTE " << Ident(name) << "[" << data.size() << "] = {";
        for (std::size_t i = 0; i < data.size(); ++i) src << (i % 24 ? "," : ",\n") << unsigned(data[i]);
        src << "};\n";
    }
    src << "}  // namespace\n\nnamespace skinresources {\n\nvoid RegisterStyleArt() {\n";
    for (const auto& [name, im] : pictures)
        src << "    platform::RegisterResource(\"" << name << "\", platform::RT_BITMAP, " << Ident(name) << ", sizeof "
            << Ident(name) << ");\n";
    src << "}\n\n}  // namespace skinresources\n";
    std::string text = src.str();
    // The first array element has no comma before it.
    for (std::size_t pos = 0; (pos = text.find("= {,\n", pos)) != std::string::npos;) text.replace(pos, 5, "= {\n");
    std::filesystem::path cpp = out / "skinart_resources.cpp";
    std::ofstream f(cpp, std::ios::binary);
    f << text;
    if (!f) {
        std::fprintf(stderr, "skinart: cannot write %s\n", cpp.string().c_str());
        return 1;
    }
    return 0;
}
