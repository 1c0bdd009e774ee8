// Reads the profile folder into the catalogue records with pugixml.
#include "libs/morvprofile/morvprofile.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Copies `text` into a fixed field, cut at a UTF-8 character boundary, zero-terminated.
template <size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    size_t n = std::min(text.size(), N - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// One parsed catalogue; everything the records point into lives here.
struct Catalogue {
    std::vector<ProfileEntry> entries;
    std::deque<std::vector<ProfileParam>> params;
    std::deque<std::vector<ProfileOption>> options;
    std::deque<std::string> texts;

    char* Keep(std::string s) {
        texts.push_back(std::move(s));
        return texts.back().data();
    }
};

std::mutex g_lock;
std::deque<std::unique_ptr<Catalogue>> g_catalogues;  // kept until the process ends
std::string g_errors;

bool IsInteger(const std::string& s) {
    long long v = 0;
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '-') ++b;
    auto r = std::from_chars(b, e, v);
    return b != e && r.ec == std::errc() && r.ptr == e && v <= INT32_MAX;
}

bool IsDecimal(const std::string& s) {
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
    return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
}

struct ParsedOption {
    std::string label, value;
};
struct ParsedParam {
    std::string name;
    int kind = 0;
    std::vector<ParsedOption> options;
    int defaultIndex = 0;
};
struct ParsedProfile {
    std::string file, name, display, format, extension;
    int number = 0;
    std::vector<ParsedParam> params;
};

// Reads one profile file; on failure returns false with the reason.
bool ReadProfile(const fs::path& path, ParsedProfile& out, std::string& why) {
    pugi::xml_document doc;
    pugi::xml_parse_result r = doc.load_file(path.c_str());
    if (!r) {
        why = std::string("not well-formed XML (") + r.description() + " at byte " + std::to_string(r.offset) + ")";
        return false;
    }
    pugi::xml_node p = doc.child("profile");
    if (!p) {
        why = "the root element is not <profile>";
        return false;
    }
    out.file = path.filename().string();
    for (const char* a : {"name", "display", "format", "extension", "number"}) {
        if (!p.attribute(a)) {
            why = std::string("<profile> lacks the attribute \"") + a + "\"";
            return false;
        }
    }
    out.name = p.attribute("name").value();
    out.display = p.attribute("display").value();
    out.format = p.attribute("format").value();
    out.extension = p.attribute("extension").value();
    std::string number = p.attribute("number").value();
    if (!IsInteger(number)) {
        why = "the format number \"" + number + "\" is not a whole number";
        return false;
    }
    out.number = std::stoi(number);
    for (pugi::xml_node n : p.children("param")) {
        ParsedParam pp;
        pp.name = n.attribute("name").value();
        std::string kind = n.attribute("kind").value();
        pp.kind = kind == "integer" ? ProfileKindInteger : kind == "text" ? ProfileKindText
                : kind == "decimal" ? ProfileKindDecimal : 0;
        if (pp.name.empty() || pp.kind == 0) {
            why = "a <param> needs a name and a kind of integer, text or decimal";
            return false;
        }
        std::string def = n.attribute("default").value();
        int found = -1;
        for (pugi::xml_node o : n.children("option")) {
            ParsedOption po;
            po.value = o.attribute("value").value();
            po.label = o.attribute("label") ? o.attribute("label").value() : po.value;
            bool ok = pp.kind == ProfileKindInteger ? IsInteger(po.value)
                    : pp.kind == ProfileKindDecimal ? IsDecimal(po.value) : true;
            if (!ok) {
                why = "parameter \"" + pp.name + "\": \"" + po.value + "\" is not a " + kind + " value";
                return false;
            }
            if (found < 0 && po.value == def) found = static_cast<int>(pp.options.size());
            pp.options.push_back(std::move(po));
        }
        if (pp.options.empty() || found < 0) {
            why = "parameter \"" + pp.name + "\": the default \"" + def + "\" is not one of its options";
            return false;
        }
        pp.defaultIndex = found;
        out.params.push_back(std::move(pp));
    }
    return true;
}

void Fill(Catalogue& c, const std::vector<ParsedProfile>& profiles) {
    c.entries.resize(profiles.size());
    for (size_t i = 0; i < profiles.size(); ++i) {
        const ParsedProfile& p = profiles[i];
        ProfileEntry& e = c.entries[i];
        std::memset(&e, 0, sizeof e);
        CopyField(e.SourceFile, p.file);
        CopyField(e.ProfileName, p.name);
        e.DisplayName = c.Keep(p.display);
        CopyField(e.FormatName, p.format);
        CopyField(e.FileExtension, p.extension);
        e.FormatNumber = p.number;
        auto& params = c.params.emplace_back(p.params.size());
        for (size_t k = 0; k < p.params.size(); ++k) {
            const ParsedParam& pp = p.params[k];
            ProfileParam& rec = params[k];
            std::memset(&rec, 0, sizeof rec);
            CopyField(rec.Name, pp.name);
            rec.Kind = pp.kind;
            auto& options = c.options.emplace_back(pp.options.size());
            for (size_t j = 0; j < pp.options.size(); ++j) {
                std::memset(&options[j], 0, sizeof options[j]);
                options[j].DisplayText = c.Keep(pp.options[j].label);
                CopyField(options[j].Value, pp.options[j].value);
            }
            rec.Options = options.data();
            rec.OptionCount = static_cast<std::int32_t>(options.size());
            rec.DefaultIndex = pp.defaultIndex;
        }
        e.Params = params.empty() ? nullptr : params.data();
        e.ParamCount = static_cast<std::int32_t>(params.size());
    }
}

}  // namespace

extern "C" int praseXMLFolder(const char* folder, ProfileList* list) {
    if (!list) return -1;
    list->Entries = nullptr;
    list->Count = 0;
    std::lock_guard<std::mutex> guard(g_lock);
    g_errors.clear();
    if (!folder) {
        g_errors = "no folder given\n";
        return -1;
    }
    std::vector<fs::path> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        g_errors = std::string(folder) + ": " + ec.message() + "\n";
        return -1;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::path& p = it->path();
        std::string ext = p.extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
        if (ext == ".xml" && it->is_regular_file(ec)) files.push_back(p);
    }
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() < b.filename().string();
    });

    std::vector<ParsedProfile> profiles;
    int skipped = 0;
    for (const fs::path& f : files) {
        ParsedProfile p;
        std::string why;
        try {
            if (ReadProfile(f, p, why)) {
                profiles.push_back(std::move(p));
                continue;
            }
        } catch (const std::exception& e) {
            why = e.what();
        }
        ++skipped;
        g_errors += f.filename().string() + ": " + why + "\n";
    }
    try {
        auto c = std::make_unique<Catalogue>();
        Fill(*c, profiles);
        list->Entries = c->entries.empty() ? nullptr : c->entries.data();
        list->Count = static_cast<std::int32_t>(c->entries.size());
        g_catalogues.push_back(std::move(c));
    } catch (const std::exception& e) {
        g_errors += std::string("out of memory: ") + e.what() + "\n";
        list->Entries = nullptr;
        list->Count = 0;
        return -1;
    }
    return skipped;
}

extern "C" const char* getProfileErrors() { return g_errors.c_str(); }
