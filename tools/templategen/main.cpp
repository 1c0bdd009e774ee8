// templategen: draws the template clips of the player gallery and their thumbnails.
//
//   templategen CLIPS_TXT BLANK_FLV OUTPUT_FOLDER
//
// CLIPS_TXT lists the skins, effects and preloaders (assets/templates/clips.txt); BLANK_FLV
// is a one-frame FLV whose stream becomes the skins' Video object "video". Writes
// Players/, Effect/ and Preloader/ below OUTPUT_FOLDER with every clip, its thumbnail and
// the gallery pictures (None.bmp, border.bmp, the "More" pictures), and Players/None.swf;
// beside OUTPUT_FOLDER (in the program folder) the preview pictures Default.bmp, bj.bmp and
// Editbj.bmp.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "swf/swf.h"
#include "templategen/drawing.h"

namespace fs = std::filesystem;
using namespace templategen;

namespace {

// Sizes the galleries lay out: skin thumbnails in one column, the others in a grid.
constexpr int kSkinThumbWidth = 276, kSkinThumbHeight = 44;
constexpr int kGridThumbWidth = 90, kGridThumbHeight = 62;
constexpr int kSkinBorderWidth = 288, kSkinBorderHeight = 54;
constexpr int kGridBorderWidth = 100, kGridBorderHeight = 72;
constexpr int kSkinWidth = 320;  // nominal width of a skin clip (the script resizes it)
constexpr int kEffectWidth = 320, kEffectHeight = 240, kEffectFrames = 60;
constexpr int kPreloaderWidth = 160, kPreloaderHeight = 48;

const Rgba kClear = Hex(0, 0);

struct SkinStyle {
    std::string name;
    int height = 0;
    Rgba bar, band, icon, dim;
    std::uint32_t text = 0xffffff;
    std::string deco;
};

// Deterministic numbers, so that every build draws the same clips.
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    double Next() {  // [0, 1)
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) / 16777216.0;
    }

private:
    std::uint32_t state_;
};

void Save(SWFMovie movie, const fs::path& path) {
    if (SWFMovie_save(movie, path.c_str()) < 0) {
        const char* why = SWFMovie_getError(movie);
        throw std::runtime_error(path.string() + ": " + (why ? why : "cannot be written"));
    }
}

SWFMovie NewMovie(int width, int height) {
    SWFMovie movie = newSWFMovieWithVersion(8);
    SWFMovie_setDimension(movie, width, height);
    SWFMovie_setRate(movie, 25);
    return movie;
}

void AddTo(SWFMovie movie, const Part& content) {
    PlaceContent(content, [movie](SWFBlock b) { return SWFMovie_add(movie, b); });
}

// ---- Skins ----

// A button part: a clear hit square below the progress strip with its icon drawn by `icon`
// (around the centre c of a square of side `slot`, k wide).
template <typename Icon>
Part& Button(Part& bar, const std::string& name, double top, double slot, Icon icon) {
    Part& b = bar.Child(name);
    b.Rect(kClear, 0, 0, slot, slot);
    icon(b, slot / 2, slot * 0.5);
    for (Polygon& p : b.polygons)
        for (Point& q : p.points) q.y += top;
    for (Part& c : b.children) c.y += top;
    return b;
}

double ProgressHeight(double barHeight) { return std::round(barHeight / 4); }

// The parts of the control bar, in the order the script lays them out.
Part MakeBar(const SkinStyle& s) {
    const double h = s.height, top = ProgressHeight(h), slot = h - top;
    Part bar;
    bar.name = "bar";
    Part& bg = bar.Child("bg");
    bg.Rect(s.bar, 0, 0, kSkinWidth, h);
    bg.Rect(s.band, 0, 0, kSkinWidth, top);
    bg.Rect(s.dim, 0, h - 1, kSkinWidth, 1);
    Random random(static_cast<std::uint32_t>(h) * 7919u);
    if (s.deco == "snow") {
        for (int i = 0; i < 28; ++i)
            bg.Ellipse(Hex(0xffffff, 150), random.Next() * kSkinWidth, top + 2 + random.Next() * (slot - 4),
                       1.2, 1.2, 8);
    } else if (s.deco == "waves") {
        std::vector<Point> wave;
        for (int x = 0; x <= kSkinWidth; x += 8) wave.push_back({double(x), h - 5 + 2 * std::sin(x / 12.0)});
        wave.push_back({double(kSkinWidth), h});
        wave.push_back({0, h});
        bg.Poly(Hex(0xffffff, 50), wave);
    }
    const Rgba ink = s.icon;
    Button(bar, "play_btn", top, slot, [&](Part& b, double c, double k) {
        b.Poly(ink, {{c - k * 0.4, c - k / 2}, {c + k / 2, c}, {c - k * 0.4, c + k / 2}});
    });
    Button(bar, "pause_btn", top, slot, [&](Part& b, double c, double k) {
        b.Rect(ink, c - k * 0.42, c - k / 2, k * 0.3, k);
        b.Rect(ink, c + k * 0.12, c - k / 2, k * 0.3, k);
    });
    Button(bar, "stop_btn", top, slot, [&](Part& b, double c, double k) {
        b.Rect(ink, c - k * 0.4, c - k * 0.4, k * 0.8, k * 0.8);
    });
    Button(bar, "prev_btn", top, slot, [&](Part& b, double c, double k) {
        b.Rect(ink, c - k / 2, c - k * 0.4, k * 0.16, k * 0.8);
        b.Poly(ink, {{c + k * 0.4, c - k * 0.4}, {c - k * 0.3, c}, {c + k * 0.4, c + k * 0.4}});
    });
    Button(bar, "next_btn", top, slot, [&](Part& b, double c, double k) {
        b.Poly(ink, {{c - k * 0.4, c - k * 0.4}, {c + k * 0.3, c}, {c - k * 0.4, c + k * 0.4}});
        b.Rect(ink, c + k * 0.34, c - k * 0.4, k * 0.16, k * 0.8);
    });
    bar.Child("time", 0, top);  // the script puts its text field here
    // The progress strip runs along the top of the bar, over its whole width.
    Part& progress = bar.Child("progress");
    const double thick = std::max(2.0, std::round(top / 3));
    Part& track = progress.Child("track");
    track.Rect(kClear, 0, 0, 100, top);
    track.Rect(s.dim, 0, (top - thick) / 2, 100, thick);
    Rgba loadedColor = s.icon;
    loadedColor.a = 90;
    progress.Child("loaded").Rect(loadedColor, 0, (top - thick) / 2, 100, thick);
    progress.Child("played").Rect(s.icon, 0, (top - thick) / 2, 100, thick);
    progress.Child("knob").Ellipse(s.icon, 0, top / 2, top * 0.42, top * 0.42, 16);
    Button(bar, "mute_btn", top, slot, [&](Part& b, double c, double k) {
        b.Rect(ink, c - k / 2, c - k / 5, k / 4, k * 0.4);
        b.Poly(ink, {{c - k / 4, c - k / 5}, {c + k / 8, c - k / 2}, {c + k / 8, c + k / 2},
                     {c - k / 4, c + k / 5}});
        b.Rect(ink, c + k / 4, c - k / 4, k / 10, k / 2);
        Part& cross = b.Child("cross");
        const Rgba red = Hex(0xe02020);
        const double d = k * 0.1;
        cross.Poly(red, {{c - k / 2, c - k / 2 + d}, {c - k / 2 + d, c - k / 2}, {c + k / 2, c + k / 2 - d},
                         {c + k / 2 - d, c + k / 2}});
        cross.Poly(red, {{c + k / 2 - d, c - k / 2}, {c + k / 2, c - k / 2 + d}, {c - k / 2 + d, c + k / 2},
                         {c - k / 2, c + k / 2 - d}});
        cross.visible = false;
    });
    Part& volume = bar.Child("volume");
    const double w = std::round(slot * 1.3), k = slot * 0.5, c = top + slot / 2;
    Part& vtrack = volume.Child("track");
    vtrack.Rect(kClear, 0, top, w, slot);
    vtrack.Poly(s.dim, {{0, c + k / 2}, {w, c - k / 2}, {w, c + k / 2}});
    volume.Child("level").Poly(s.icon, {{0, c + k / 2}, {w, c - k / 2}, {w, c + k / 2}});
    Button(bar, "playlist_btn", top, slot, [&](Part& b, double c, double k) {
        for (int i = 0; i < 3; ++i) {
            const double y = c - k * 0.4 + i * k * 0.35;
            b.Rect(ink, c - k / 2, y, k * 0.18, k * 0.18);
            b.Rect(ink, c - k / 4, y + k * 0.02, k * 0.75, k * 0.14);
        }
    });
    Button(bar, "fullscreen_btn", top, slot, [&](Part& b, double c, double k) {
        const double t = std::max(1.5, k * 0.14), l = k * 0.4;
        for (int sx = -1; sx <= 1; sx += 2)
            for (int sy = -1; sy <= 1; sy += 2) {
                const double x = c + sx * k / 2, y = c + sy * k / 2;
                b.Poly(ink, {{x, y}, {x - sx * l, y}, {x - sx * l, y - sy * t}, {x - sx * t, y - sy * t},
                             {x - sx * t, y - sy * l}, {x, y - sy * l}});
            }
    });
    return bar;
}

// Time text size and width for a bar of height h, as the player script makes them.
double TimeFontSize(double h) { return std::max(9.0, std::round((h - ProgressHeight(h)) * 0.4)); }
double TimeWidth(double h) { return std::round(TimeFontSize(h) * 6.5); }

// Lays the bar out for a stage `width` wide, as the player script does at run time: the
// buttons and the time from the left, the sound and view buttons from the right, the
// progress strip over the whole width; the time gives way when the two sides meet.
void LayOut(Part& bar, double width, double h, bool preNext) {
    auto part = [&bar](const char* name) { return bar.Find(name); };
    double left = 0;
    auto place = [&left](Part* p) {
        p->x = left;
        left += p->Right();
    };
    place(part("play_btn"));
    part("pause_btn")->visible = false;
    place(part("stop_btn"));
    part("prev_btn")->visible = part("next_btn")->visible = preNext;
    if (preNext) {
        place(part("prev_btn"));
        place(part("next_btn"));
    }
    double right = width;
    auto placeRight = [&right](Part* p) {
        right -= p->Right();
        p->x = right;
    };
    part("bg")->scaleX = width / kSkinWidth;
    placeRight(part("fullscreen_btn"));
    placeRight(part("playlist_btn"));
    right -= 4;
    placeRight(part("volume"));
    placeRight(part("mute_btn"));
    part("time")->x = left + 4;
    part("time")->visible = left + 4 + TimeWidth(h) <= right;
    part("progress")->Find("track")->scaleX = width / 100;
}

// Text of digits, ":", "/" and spaces in seven-segment figures `height` high (the time shown in
// a skin's thumbnail, where the player would show its text field).
void SegmentText(Part& part, const std::string& text, double x, double y, double height, Rgba ink) {
    const double w = height * 0.5, t = std::max(1.0, height * 0.13), half = height / 2;
    // Segments a to g: top, upper right, lower right, bottom, lower left, upper left, middle.
    static const char* const kDigits[] = {"abcdef", "bc", "abged", "abgcd", "fgbc",
                                          "afgcd", "afgedc", "abc", "abcdefg", "abcdfg"};
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            for (const char* seg = kDigits[c - '0']; *seg; ++seg) {
                switch (*seg) {
                    case 'a': part.Rect(ink, x, y, w, t); break;
                    case 'b': part.Rect(ink, x + w - t, y, t, half); break;
                    case 'c': part.Rect(ink, x + w - t, y + half, t, half); break;
                    case 'd': part.Rect(ink, x, y + height - t, w, t); break;
                    case 'e': part.Rect(ink, x, y + half, t, half); break;
                    case 'f': part.Rect(ink, x, y, t, half); break;
                    case 'g': part.Rect(ink, x, y + half - t / 2, w, t); break;
                }
            }
            x += w + t * 1.5;
        } else if (c == ':') {
            part.Rect(ink, x, y + height * 0.25, t, t);
            part.Rect(ink, x, y + height * 0.7, t, t);
            x += t * 2.5;
        } else if (c == '/') {
            part.Poly(ink, {{x + w * 0.6, y}, {x + w * 0.6 + t, y}, {x + t, y + height}, {x, y + height}});
            x += w + t;
        } else {
            x += w * 0.6;
        }
    }
}

void WriteSkin(const SkinStyle& s, const std::string& blankFlv, const fs::path& folder) {
    const std::string base = s.name + "_h" + std::to_string(s.height);
    Part bar = MakeBar(s);
    LayOut(bar, kSkinWidth, s.height, false);
    SWFMovie movie = NewMovie(kSkinWidth, 240 + s.height);
    SWFInput input = newSWFInput_filename(blankFlv.c_str());
    SWFVideoStream video = newSWFVideoStream_fromInput(input);
    if (!video) throw std::runtime_error(blankFlv + ": " + SWF_getLastError());
    SWFVideoStream_setDimension(video, 320, 240);
    SWFDisplayItem item = SWFMovie_add(movie, video);
    SWFDisplayItem_setName(item, "video");
    Part content;
    content.children.push_back(bar);
    content.children.back().y = 240;
    AddTo(movie, content);
    char script[64];
    std::snprintf(script, sizeof script, "skinTextColor = 0x%06x;", s.text);
    SWFAction action = newSWFAction(script);
    SWFMovie_add(movie, action);
    Save(movie, folder / (base + ".swf"));
    destroySWFAction(action);
    destroySWFVideoStream(video);
    destroySWFInput(input);
    destroySWFMovie(movie);

    // The thumbnail: the bar as it looks in a player of the thumbnail's width, with some of
    // the video played.
    Part thumb = MakeBar(s);
    LayOut(thumb, kSkinThumbWidth, s.height, false);
    Part* progress = thumb.Find("progress");
    const double length = progress->Find("track")->scaleX;
    progress->Find("loaded")->scaleX = length * 0.7;
    progress->Find("played")->scaleX = length * 0.4;
    progress->Find("knob")->x = length * 40;
    thumb.Find("volume")->Find("level")->scaleX = 0.7;
    Part* time = thumb.Find("time");
    const double size = TimeFontSize(s.height);
    SegmentText(*time, "0:42 / 3:15", 0, (s.height - ProgressHeight(s.height) - size) / 2, size * 0.8,
                Hex(s.text));
    Image image(kSkinThumbWidth, kSkinThumbHeight, Hex(0x101418));
    const double scale = std::min(1.0, double(kSkinThumbHeight) / s.height);
    image.Draw(thumb, 0, (kSkinThumbHeight - s.height * scale) / 2, scale);
    image.SaveBmp(folder / (base + ".bmp"));
}

// The skin of a player without controls: an empty clip.
void WriteNoneSkin(const fs::path& folder) {
    SWFMovie movie = NewMovie(kSkinWidth, 240);
    SWFMovie_nextFrame(movie);
    Save(movie, folder / "None.swf");
    destroySWFMovie(movie);
}

// ---- Effects ----

struct Particle {
    double x, y, speed, phase, size;
};

// Where a particle is in `frame`; every particle is back where it started after the last
// frame, so the clip loops without a jump.
Point EffectPosition(const std::string& kind, const Particle& p, int frame) {
    const double t = double(frame) / kEffectFrames;
    const double height = kEffectHeight + 20, width = kEffectWidth + 20;
    if (kind == "stars") {
        return {std::fmod(p.x + width * t, width) - 10,
                p.y + 4 * std::sin(2 * M_PI * (t + p.phase))};
    }
    const double drift = kind == "rain" ? -30 * p.speed * t : 8 * std::sin(2 * M_PI * (t + p.phase));
    return {std::fmod(p.x + drift + width, width) - 10, std::fmod(p.y + height * p.speed * t, height) - 10};
}

Part EffectShape(const std::string& kind, double size) {
    Part shape;
    if (kind == "snow") {
        shape.Ellipse(Hex(0xffffff, 230), 0, 0, size, size, 12);
    } else if (kind == "stars") {
        std::vector<Point> star;
        for (int i = 0; i < 8; ++i) {
            const double r = i % 2 ? size * 0.35 : size * 1.6, a = M_PI / 4 * i;
            star.push_back({r * std::sin(a), -r * std::cos(a)});
        }
        shape.Poly(Hex(0xfff6b0, 220), star);
    } else {
        shape.Poly(Hex(0xbcd8ff, 170), {{0, 0}, {1.2, 0}, {-2.8, size * 6}, {-4, size * 6}});
    }
    return shape;
}

void WriteEffect(const std::string& name, const std::string& kind, const fs::path& folder) {
    const int count = kind == "rain" ? 70 : kind == "stars" ? 26 : 45;
    Random random(static_cast<std::uint32_t>(kind.size()) * 104729u);
    std::vector<Particle> particles;
    for (int i = 0; i < count; ++i) {
        Particle p;
        p.x = random.Next() * (kEffectWidth + 20);
        p.y = random.Next() * (kEffectHeight + 20);
        p.speed = kind == "rain" ? 3 + (i % 2) : 1 + (i % 2);
        p.phase = random.Next();
        p.size = 1.2 + (i % 3) * 0.8;
        particles.push_back(p);
    }
    SWFMovie movie = NewMovie(kEffectWidth, kEffectHeight);
    std::vector<SWFDisplayItem> items;
    for (const Particle& p : particles) {
        SWFMovieClip sprite = newSWFMovieClip();
        PlaceContent(EffectShape(kind, p.size), [sprite](SWFBlock b) { return SWFMovieClip_add(sprite, b); });
        SWFMovieClip_nextFrame(sprite);
        items.push_back(SWFMovie_add(movie, sprite));
        destroySWFMovieClip(sprite);
    }
    for (int frame = 0; frame < kEffectFrames; ++frame) {
        for (std::size_t i = 0; i < particles.size(); ++i) {
            const Point at = EffectPosition(kind, particles[i], frame);
            SWFDisplayItem_moveTo(items[i], at.x, at.y);
        }
        SWFMovie_nextFrame(movie);
    }
    Save(movie, folder / (name + ".swf"));
    destroySWFMovie(movie);

    // The thumbnail: the first frame's top-left corner over a night sky.
    Image image(kGridThumbWidth, kGridThumbHeight, Hex(0x10243c));
    Part sky;
    for (int row = 0; row < kGridThumbHeight; row += 4)
        sky.Rect(Hex(0x2a5078, static_cast<std::uint8_t>(row * 3)), 0, row, kGridThumbWidth, 4);
    image.Draw(sky, 0, 0, 1);
    const double scale = 0.55;
    for (const Particle& p : particles) {
        const Point at = EffectPosition(kind, p, 0);
        image.Draw(EffectShape(kind, p.size), at.x * scale, at.y * scale, scale * 1.4);
    }
    image.SaveBmp(folder / (name + ".bmp"));
}

// ---- Preloaders ----

// The preloader clip: a panel with a track and the part "bar" (full at _xscale 100), and a
// small animation that shows the player is busy; `frame` -1 gives the still of the thumbnail.
Part PreloaderFrame(const std::string& kind, int frame, int frames) {
    Part clip;
    clip.Rect(Hex(0x000000, 170), 0, 0, kPreloaderWidth, kPreloaderHeight);
    const double trackY = kind == "dots" ? 38 : 30, trackH = kind == "dots" ? 5 : 8;
    clip.Rect(Hex(0x404850), 10, trackY, 140, trackH);
    clip.Child("bar", 10, trackY).Rect(Hex(0x4cc2ff), 0, 0, 140, trackH);
    Part& busy = clip.Child("busy");
    if (kind == "dots") {
        for (int i = 0; i < 8; ++i) {
            const double a = M_PI / 4 * i;
            const bool lit = frame >= 0 && i == frame * 8 / frames;
            busy.Ellipse(lit ? Hex(0xffffff) : Hex(0x7890a0), 80 + 12 * std::sin(a), 18 - 12 * std::cos(a),
                         lit ? 3.2 : 2.4, lit ? 3.2 : 2.4, 10);
        }
    } else {
        const double x = 10 + 132.0 * std::max(frame, 0) / frames;
        busy.Poly(Hex(0xffffff), {{x, 10}, {x + 8, 16}, {x, 22}, {x + 3, 16}});
    }
    return clip;
}

void WritePreloader(const std::string& name, const std::string& kind, const fs::path& folder) {
    constexpr int kFrames = 24;
    SWFMovie movie = NewMovie(kPreloaderWidth, kPreloaderHeight);
    Part still = PreloaderFrame(kind, -1, kFrames);
    Part fixed = still;
    fixed.children.pop_back();  // "busy" changes from frame to frame
    AddTo(movie, fixed);
    for (int frame = 0; frame < kFrames; ++frame) {
        SWFMovieClip sprite = newSWFMovieClip();
        PlaceContent(PreloaderFrame(kind, frame, kFrames).children.back(),
                     [sprite](SWFBlock b) { return SWFMovieClip_add(sprite, b); });
        SWFMovieClip_nextFrame(sprite);
        SWFDisplayItem item = SWFMovie_add(movie, sprite);
        destroySWFMovieClip(sprite);
        SWFMovie_nextFrame(movie);
        SWFDisplayItem_remove(item);
    }
    Save(movie, folder / (name + ".swf"));
    destroySWFMovie(movie);

    Image image(kGridThumbWidth, kGridThumbHeight, Hex(0x202830));
    Part thumb = PreloaderFrame(kind, kFrames / 3, kFrames);
    thumb.Find("bar")->scaleX = 0.6;
    const double scale = double(kGridThumbWidth - 10) / kPreloaderWidth;
    image.Draw(thumb, 5, (kGridThumbHeight - kPreloaderHeight * scale) / 2, scale);
    image.SaveBmp(folder / (name + ".bmp"));
}

// ---- Gallery pictures ----

// "None": a crossed-out circle; "More": a plus sign; both on a light panel.
void WriteSymbol(const fs::path& path, int width, int height, bool more) {
    Image image(width, height, Hex(0xe4e8ec));
    Part sign;
    const double c = height / 2.0, r = height * 0.3, cx = width / 2.0;
    const Rgba ink = Hex(0x505a64);
    if (more) {
        sign.Rect(ink, cx - r, c - r * 0.18, 2 * r, r * 0.36);
        sign.Rect(ink, cx - r * 0.18, c - r, r * 0.36, 2 * r);
    } else {
        sign.Ellipse(ink, cx, c, r, r, 32);
        sign.Ellipse(Hex(0xe4e8ec), cx, c, r * 0.78, r * 0.78, 32);
        const double d = r * 0.12, e = r * 0.7;
        sign.Poly(ink, {{cx - e - d, c - e + d}, {cx - e + d, c - e - d}, {cx + e + d, c + e - d},
                        {cx + e - d, c + e + d}});
    }
    image.Draw(sign, 0, 0, 1);
    image.SaveBmp(path);
}

// The selection frame lies under a button and shows as a border around it.
void WriteGallery(const fs::path& folder, const std::string& more, int width, int height,
                  int borderWidth, int borderHeight) {
    WriteSymbol(folder / "None.bmp", width, height, false);
    WriteSymbol(folder / (more + ".bmp"), width, height, true);
    Image border(borderWidth, borderHeight, Hex(0xff9a1a));
    border.SaveBmp(folder / "border.bmp");
}

// The preview panels' pictures of the program folder: "Default.bmp" (nothing loaded: a film
// frame with a play sign) and the plain backgrounds "bj.bmp" and "Editbj.bmp".
void WritePreviewPictures(const fs::path& programFolder) {
    constexpr int kWidth = 320, kHeight = 240;
    const Rgba back = Hex(0x1c2026);
    Image plain(kWidth, kHeight, back);
    plain.SaveBmp(programFolder / "bj.bmp");
    plain.SaveBmp(programFolder / "Editbj.bmp");
    Part film;
    const double cx = kWidth / 2.0, cy = kHeight / 2.0;
    film.Rect(Hex(0x3a424c), cx - 60, cy - 42, 120, 84);
    film.Rect(back, cx - 50, cy - 32, 100, 64);
    for (int i = 0; i < 6; ++i) {
        film.Rect(back, cx - 57, cy - 38 + i * 13.5, 4, 7);
        film.Rect(back, cx + 53, cy - 38 + i * 13.5, 4, 7);
    }
    film.Poly(Hex(0x6c7886), {{cx - 12, cy - 16}, {cx + 16, cy}, {cx - 12, cy + 16}});
    Image picture(kWidth, kHeight, back);
    picture.Draw(film, 0, 0, 1);
    picture.SaveBmp(programFolder / "Default.bmp");
}

std::uint32_t ParseHex(const std::string& text, const std::string& line) {
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw std::runtime_error("bad colour \"" + text + "\" in: " + line);
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
}

// Template names become control names in the galleries: identifiers, and never "None".
const std::string& CheckName(const std::string& name, const std::string& line) {
    const bool identifier = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0])) &&
                            name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                   "0123456789_") == std::string::npos;
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!identifier || lower == "none") throw std::runtime_error("bad template name in: " + line);
    return name;
}

SkinStyle ParseSkin(std::istringstream& in, const std::string& line) {
    SkinStyle s;
    in >> s.name >> s.height;
    if (!in || s.height < 8 || s.height > 120) throw std::runtime_error("bad skin: " + line);
    CheckName(s.name, line);
    std::map<std::string, std::string> values;
    std::string pair;
    while (in >> pair) {
        const auto eq = pair.find('=');
        if (eq == std::string::npos) throw std::runtime_error("bad skin value in: " + line);
        values[pair.substr(0, eq)] = pair.substr(eq + 1);
    }
    for (const char* key : {"bar", "band", "icon", "dim", "text", "deco"})
        if (!values.count(key)) throw std::runtime_error(std::string("skin without ") + key + ": " + line);
    s.bar = Hex(ParseHex(values["bar"], line));
    s.band = Hex(ParseHex(values["band"], line));
    s.icon = Hex(ParseHex(values["icon"], line));
    s.dim = Hex(ParseHex(values["dim"], line));
    s.text = ParseHex(values["text"], line);
    s.deco = values["deco"];
    return s;
}

void Generate(const std::string& clips, const std::string& blankFlv, const fs::path& out) {
    std::ifstream list(clips);
    if (!list) throw std::runtime_error("cannot read " + clips);
    const fs::path players = out / "Players", effects = out / "Effect", preloaders = out / "Preloader";
    for (const fs::path& p : {players, effects, preloaders}) fs::create_directories(p);
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream in(line);
        std::string kind, name, style;
        if (!(in >> kind) || kind[0] == '#') continue;
        if (kind == "skin") {
            WriteSkin(ParseSkin(in, line), blankFlv, players);
        } else if ((kind == "effect" || kind == "preloader") && (in >> name >> style)) {
            CheckName(name, line);
            if (kind == "effect" && (style == "snow" || style == "stars" || style == "rain")) {
                WriteEffect(name, style, effects);
            } else if (kind == "preloader" && (style == "bar" || style == "dots")) {
                WritePreloader(name, style, preloaders);
            } else {
                throw std::runtime_error("unknown style in: " + line);
            }
        } else {
            throw std::runtime_error("cannot read line: " + line);
        }
    }
    WriteNoneSkin(players);
    WriteGallery(players, "PlayerMore", kSkinThumbWidth, kSkinThumbHeight, kSkinBorderWidth,
                 kSkinBorderHeight);
    for (const auto& [folder, more] : {std::pair{effects, "EffectMore"}, {preloaders, "LoaderMore"}})
        WriteGallery(folder, more, kGridThumbWidth, kGridThumbHeight, kGridBorderWidth, kGridBorderHeight);
    WritePreviewPictures(out.parent_path());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: templategen CLIPS_TXT BLANK_FLV OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        Generate(argv[1], argv[2], argv[3]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "templategen: %s\n", e.what());
        return 1;
    }
    return 0;
}
