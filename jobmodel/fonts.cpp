#include "jobmodel/fonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/graphics/gdi.h"

namespace jobmodel {

std::vector<std::string> InstalledFontNames;

namespace {

// Entry name -> file path, read from fontconfig once.
const std::map<std::string, std::string>& FontTable() {
    static std::map<std::string, std::string> table;
    static std::once_flag once;
    std::call_once(once, [] {
        // The process-wide configuration (the graphics layer's, which it frees at exit), held
        // while the table is read: loading one of its own would parse every configuration
        // file and read the font caches a second time at start.
        platform::UseFontconfig();
        FcConfig* config = FcConfigReference(nullptr);
        if (!config) return;
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_FULLNAME, FC_FAMILY, FC_STYLE, FC_FILE, FC_FONTFORMAT, nullptr);
        FcFontSet* set = FcFontList(config, pattern, objects);
        for (int i = 0; set && i < set->nfont; ++i) {
            FcPattern* font = set->fonts[i];
            FcChar8 *file = nullptr, *format = nullptr, *full = nullptr, *family = nullptr, *style = nullptr;
            if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) continue;
            FcPatternGetString(font, FC_FONTFORMAT, 0, &format);
            std::string kind = format ? reinterpret_cast<char*>(format) : "";
            if (kind != "TrueType" && kind != "CFF") continue;  // what the player maker can read
            std::string name;
            if (FcPatternGetString(font, FC_FULLNAME, 0, &full) == FcResultMatch) {
                name = reinterpret_cast<char*>(full);
            } else if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch) {
                name = reinterpret_cast<char*>(family);
                if (FcPatternGetString(font, FC_STYLE, 0, &style) == FcResultMatch &&
                    std::string(reinterpret_cast<char*>(style)) != "Regular")
                    name += std::string(" ") + reinterpret_cast<char*>(style);
            } else {
                continue;
            }
            name += kind == "CFF" ? " (OpenType)" : " (TrueType)";
            table.emplace(name, reinterpret_cast<char*>(file));
        }
        if (set) FcFontSetDestroy(set);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
        FcConfigDestroy(config);
    });
    return table;
}

}  // namespace

void ListFontNames(std::vector<std::string>& names) {
    for (const auto& [name, file] : FontTable()) names.push_back(name);
}

std::string FontsFolder() { return ""; }

std::string FindFontFile(const std::string& face) {
    if (face.empty()) return "";
    const auto& table = FontTable();
    auto exact = table.find(face);
    if (exact != table.end()) return exact->second;
    for (const std::string& name : InstalledFontNames) {
        if (name.find(face) == std::string::npos) continue;
        auto it = table.find(name);
        return it != table.end() ? it->second : "";
    }
    return "";
}

}  // namespace jobmodel
