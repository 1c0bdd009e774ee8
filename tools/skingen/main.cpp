// skingen: draws the pictures of the program's skins. Reads every skin document (*.xml) of
// a source folder, copies it to the output folder and draws, into the document's picture
// folder, one picture per item that names one, at the item's size, in the states the
// windows load: backgrounds and slider thumbs in the normal state (".bmp"); buttons and tabs
// also mouse over ("-move"), pressed ("-down") and disabled ("-dis").
//
//   skingen <source folder> <output folder>
#include <pugixml.hpp>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/graphics/gdi.h"
#include "platform/graphics/graphics.h"
#include "skinart/raster.h"

using namespace skinraster;
namespace fs = std::filesystem;

namespace {

struct Palette {
    Rgb back, backDark, title, face, faceDark, border, text, accent;
};

Palette PaletteFor(const std::string& skin) {
    if (skin == "Graphite") return {0x3A3D42, 0x23262A, 0x55595F, 0x6B7077, 0x44484E, 0x15171A, 0xF2F2F2, 0xF08A24};
    if (skin == "Ocean") return {0xD8F1F2, 0x9CD3D8, 0x1F8A99, 0x38B3C2, 0x1D7F8C, 0x0F4F58, 0xFFFFFF, 0xFFB347};
    return {0xEEF2F8, 0xC6D3E6, 0x2D5AA0, 0x4F7FC8, 0x2C5697, 0x173A6B, 0xFFFFFF, 0xF2C14E};
}

// The picture sub-folder of each window's section.
const std::map<std::string, std::string> kFolders = {
    {"main", "main"},   {"edit", "edit"},         {"clip", "clip"},   {"customize", "customize"},
    {"convert", "convert"}, {"properties", "pro"}, {"about", "about"}, {"option", "option"},
    {"dvdloader", "dvd"},
};

const std::set<std::string> kBackgrounds = {"Background",    "convert_BG",    "dvdLoadPanel",   "customize_BG1",
                                            "customize_BG2", "customize_BG3", "clipBackground", "optionPanel",
                                            "proPanel",      "aboutPanel"};

// The window's size item: its numbers are the window's size and corners, not a place.
bool IsSizeItem(const std::string& name) {
    return name.size() > 10 && name.compare(name.size() - 10, 10, "FormCreate") == 0;
}

bool IsSlider(const std::string& name) {
    return name == "AdjustVolume" || (name.size() > 8 && name.compare(name.size() - 8, 8, "TrackBar") == 0);
}

const std::map<std::string, std::string> kCaptions = {
    {"addFile", "Add File"}, {"addDVD", "Add DVD"}, {"addDVDList", "DVD List"}, {"customize", "Customize"},
    {"option", "Options"}, {"edit", "Edit"}, {"clip", "Clip"}, {"merge", "Merge"}, {"slide", "Slide"},
    {"btnConvert", "Convert"}, {"btnOK", "OK"}, {"btnCancel", "Cancel"}, {"btnBack", "Back"}, {"btnNext", "Next"},
    {"btnAdd", "Add"}, {"btnDelete", "Delete"}, {"btnCropReset", "Reset"}, {"btnPlayer", "Player"},
    {"btnEffect", "Effect"}, {"btnLoad", "Preloader"}, {"btnDecorate", "Decorate"}, {"btnDecorate2", "Decorate"},
    {"btnHead", "Head"}, {"btnTail", "Tail"}, {"btnOption", "Option"}, {"tabCrop", "Crop"}, {"tabEffect", "Effect"},
    {"btnGeneral", "General"}, {"btnFormat", "Format"}, {"start_trimtime_ok", "OK"}, {"end_trimtime_ok", "OK"},
    {"btnSnappath", "..."}, {"btnOpenpath", "Go"}, {"btnOpen", "..."}, {"Open_img", "..."}, {"btnTrimStart", "["},
    {"btnTrimEnd", "]"}, {"btnLevel", "H"}, {"btnVertical", "V"}, {"btnReplay", "R"}, {"btnPhoto", "Snap"},
    {"btnHelp", "?"},
};

enum State { Normal, Over, Down, Disabled };
const char* const kSuffix[] = {"", "-move", "-down", "-dis"};

Rgb Shade(Rgb c, State s) {
    switch (s) {
        case Over: return Lighter(c, 0.2);
        case Down: return Darker(c, 0.2);
        case Disabled: return Lighter(Grey(c), 0.3);
        default: return c;
    }
}

// Draws the picture sign of a button that has one; false when it has none.
bool Glyph(Image& im, const std::string& name, Rgb c) {
    double w = im.W(), h = im.H(), cx = w / 2, cy = h / 2, a = std::min(w, h) * 0.25;
    if (name == "close" || name == "btnClose") {
        im.Line(cx - a, cy - a, cx + a, cy + a, 2, c);
        im.Line(cx - a, cy + a, cx + a, cy - a, 2, c);
    } else if (name == "btnMini") {
        im.Fill(int(cx - a), int(cy + a * 0.4), int(2 * a), 2, c);
    } else if (name == "btnMenu") {
        for (int i = -1; i <= 1; ++i) im.Fill(int(cx - a), int(cy + i * a * 0.7), int(2 * a), 2, c);
    } else if (name == "btnPlay" || name == "btnPlayTrim") {
        im.Triangle(cx - a * 0.7, cy - a, cx - a * 0.7, cy + a, cx + a, cy, c);
    } else if (name == "btnPause") {
        im.Fill(int(cx - a * 0.8), int(cy - a), int(a * 0.6), int(2 * a), c);
        im.Fill(int(cx + a * 0.2), int(cy - a), int(a * 0.6), int(2 * a), c);
    } else if (name == "btnStop") {
        im.Fill(int(cx - a * 0.8), int(cy - a * 0.8), int(a * 1.6), int(a * 1.6), c);
    } else if (name == "btnPre") {
        im.Triangle(cx, cy - a, cx, cy + a, cx - a, cy, c);
        im.Triangle(cx + a, cy - a, cx + a, cy + a, cx, cy, c);
    } else if (name == "btnNext") {
        im.Triangle(cx - a, cy - a, cx - a, cy + a, cx, cy, c);
        im.Triangle(cx, cy - a, cx, cy + a, cx + a, cy, c);
    } else {
        return false;
    }
    return true;
}

// Pixels into a bitmap, a caption over them, and out as a BMP file.
bool Save(const Image& im, const std::string& caption, Rgb textColour, int fontHeight, const fs::path& path) {
    platform::TBitmap b;
    b.SetPixelFormat(platform::pf24bit);
    b.SetSize(im.W(), im.H());
    for (int y = 0; y < im.H(); ++y) {
        auto* row = static_cast<std::uint8_t*>(b.ScanLine(y));
        for (int x = 0; x < im.W(); ++x) {
            Rgb c = im.At(x, y);
            row[3 * x] = std::uint8_t(B(c));
            row[3 * x + 1] = std::uint8_t(G(c));
            row[3 * x + 2] = std::uint8_t(R(c));
        }
    }
    if (!caption.empty()) {
        platform::TCanvas* canvas = b.Canvas();
        canvas->Font()->SetName("Liberation Sans");
        canvas->Font()->SetStyle(platform::TFontStyles{platform::fsBold});
        // The largest size up to fontHeight at which the caption fits.
        for (; fontHeight > 7; --fontHeight) {
            canvas->Font()->SetHeight(-fontHeight);
            if (canvas->TextWidth(caption) <= im.W() - 6) break;
        }
        canvas->Font()->SetColor(platform::RGB(platform::BYTE(R(textColour)), platform::BYTE(G(textColour)),
                                               platform::BYTE(B(textColour))));
        canvas->Brush()->SetStyle(platform::bsClear);
        platform::RECT r{0, 0, im.W(), im.H()};
        platform::DrawText(canvas->Handle(), caption, &r, platform::DT_CENTER | platform::DT_VCENTER | platform::DT_SINGLELINE);
    }
    try {
        b.SaveToFile(path.string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skingen: %s: %s\n", path.string().c_str(), e.what());
        return false;
    }
    return true;
}

Image Background(int w, int h, const Palette& p, const std::vector<platform::TRect>& areas, int page) {
    Image im(w, h);
    Rgb back = page ? Mix(p.back, p.accent, 0.06 * page) : p.back;
    im.RoundRect(0, 0, w, h, 0, [&](int, int y) { return Mix(back, p.backDark, double(y) / std::max(1, h - 1)); });
    im.RoundRect(0, 0, w, 34, 0, [&](int, int y) { return Mix(Lighter(p.title, 0.25), p.title, y / 33.0); });
    im.Fill(0, 34, w, 1, p.border);
    for (const auto& r : areas) {
        im.Fill(r.left - 1, r.top - 1, r.Width() + 2, r.Height() + 2, Darker(p.backDark, 0.15));
        im.Fill(r.left, r.top, r.Width(), r.Height(), Lighter(p.back, 0.35));
    }
    im.RoundFrame(0, 0, w, h, 0, p.border);
    return im;
}

Image Button(int w, int h, const Palette& p, State s, bool tab) {
    Image im(w, h, p.back);
    Rgb top = Shade(Lighter(p.face, 0.3), s), bottom = Shade(tab ? p.faceDark : p.face, s);
    if (s == Down) std::swap(top, bottom);
    int radius = std::min(6, std::min(w, h) / 3);
    im.RoundRect(0, 0, w, h, radius, [&](int, int y) { return Mix(top, bottom, double(y) / std::max(1, h - 1)); });
    im.RoundFrame(0, 0, w, h, radius, Shade(s == Over ? p.accent : p.border, s == Over ? Normal : s));
    return im;
}

Image Slider(int h, const Palette& p) {
    Image im(11, std::max(8, h), p.back);
    im.RoundRect(0, 0, 11, im.H(), 3, [&](int, int y) { return Mix(Lighter(p.face, 0.4), p.face, double(y) / im.H()); });
    im.RoundFrame(0, 0, 11, im.H(), 3, p.border);
    for (int y = im.H() / 2 - 3; y <= im.H() / 2 + 3; y += 3) im.Fill(3, y, 5, 1, p.border);
    return im;
}

bool DrawSkin(const fs::path& document, const fs::path& out) {
    pugi::xml_document xml;
    if (!xml.load_file(document.string().c_str())) {
        std::fprintf(stderr, "skingen: %s: not readable XML\n", document.string().c_str());
        return false;
    }
    pugi::xml_node skin = xml.child("skin");
    Palette p = PaletteFor(skin.attribute("name").value());
    fs::path images = out / skin.attribute("images").value();
    bool ok = true;
    for (pugi::xml_node section : skin.children("section")) {
        auto folder = kFolders.find(section.attribute("name").value());
        if (folder == kFolders.end()) continue;
        fs::path dir = images / folder->second;
        fs::create_directories(dir);
        // Areas placed without a picture show as insets of the background.
        std::vector<platform::TRect> areas;
        for (pugi::xml_node item : section.children("item"))
            if (!item.attribute("image") && !IsSizeItem(item.attribute("name").value()) &&
                item.attribute("width").as_int() > 40 && item.attribute("height").as_int() > 40)
                areas.emplace_back(item.attribute("left").as_int(), item.attribute("top").as_int(),
                                   item.attribute("left").as_int() + item.attribute("width").as_int(),
                                   item.attribute("top").as_int() + item.attribute("height").as_int());
        for (pugi::xml_node item : section.children("item")) {
            if (!item.attribute("image")) continue;
            std::string name = item.attribute("name").value(), image = item.attribute("image").value();
            int w = std::max(1, item.attribute("width").as_int()), h = std::max(1, item.attribute("height").as_int());
            if (kBackgrounds.count(name)) {
                int page = name.rfind("customize_BG", 0) == 0 ? name.back() - '0' : 0;
                ok &= Save(Background(w, h, p, areas, page), "", 0, 0, dir / (image + ".bmp"));
            } else if (IsSlider(name)) {
                ok &= Save(Slider(h, p), "", 0, 0, dir / (image + ".bmp"));
                // The edit window reads these two from "Edit/".
                if (folder->second == "edit") {
                    fs::create_directories(images / "Edit");
                    ok &= Save(Slider(h, p), "", 0, 0, images / "Edit" / (image + ".bmp"));
                }
            } else {
                bool tab = name.rfind("tab", 0) == 0 || name == "btnPlayer" || name == "btnEffect" ||
                           name == "btnLoad" || name.rfind("btnDecorate", 0) == 0 || name == "btnHead" ||
                           name == "btnTail" || name == "btnOption" || name == "btnGeneral" || name == "btnFormat";
                auto caption = kCaptions.find(name);
                for (int s = 0; s < 4; ++s) {
                    Image im = Button(w, h, p, State(s), tab);
                    Rgb ink = s == Disabled ? Lighter(Grey(p.text), 0.2) : p.text;
                    if (s == Over) ink = Mix(p.text, p.accent, 0.35);
                    // Small buttons show their sign, wider ones their caption.
                    bool sign = (w < 50 || caption == kCaptions.end()) && Glyph(im, name, ink);
                    std::string text = (sign || caption == kCaptions.end()) ? "" : caption->second;
                    ok &= Save(im, text, ink, std::min(14, std::max(9, h / 2)),
                               dir / (image + kSuffix[s] + ".bmp"));
                }
            }
        }
        if (folder->second == "clip") {  // the segment bars' fixed picture
            Image bar(40, 6);
            bar.RoundRect(0, 0, 40, 6, 0, [&](int, int y) { return Mix(p.accent, Darker(p.accent, 0.3), y / 5.0); });
            ok &= Save(bar, "", 0, 0, dir / "Barpic.bmp");
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: skingen <source folder> <output folder>\n");
        return 2;
    }
    fs::path source = argv[1], out = argv[2];
    fs::create_directories(out);
    bool ok = true;
    for (const auto& entry : fs::directory_iterator(source)) {
        if (entry.path().extension() != ".xml") continue;
        fs::copy_file(entry.path(), out / entry.path().filename(), fs::copy_options::overwrite_existing);
        ok &= DrawSkin(entry.path(), out);
    }
    return ok ? 0 : 1;
}
