#include "libs/morvanalyzeimg/morvanalyzeimg.h"

#include <pugixml.hpp>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMaxDocumentSize = 1u << 20;
constexpr long kMaxCoordinate = 100000;
constexpr std::size_t kMaxNameLength = 128;

// Names and picture names point into the document's parsed text, which lives as long as
// the document: no text is copied per item.
struct Item {
    std::string_view name;
    SkinItem record{};
    std::size_t offset = 0;  // in the text, for messages
};

struct Section {
    std::string name;
    std::vector<Item> items;  // sorted by name
    std::map<std::string, SkinItem, std::less<>> missing;  // hidden answers, made on demand
};

struct Document {
    std::string path;
    std::string bytes;  // what was parsed, to tell an unchanged document
    std::string text;   // the same, parsed in place: item names and picture names live here
    std::string name;
    std::string folder;
    std::map<std::string, std::unique_ptr<Section>, std::less<>> sections;
    SkinInfo info{};
};

class ParseError {
public:
    ParseError(std::size_t offset, std::string message) : offset(offset), message(std::move(message)) {}
    std::size_t offset;
    std::string message;
};

// One document path: its newest parse, and what was handed out for it. A handle names a
// section of a path, so it keeps answering from that document after others were opened,
// and from its newest version after the document changed.
struct PathEntry {
    std::unique_ptr<Document> doc = std::make_unique<Document>();
    SkinInfo info{"", ""};
    std::deque<std::string> names;  // every display name handed out (SkinInfo stays valid)
    std::map<std::string, SkinSectionHandle, std::less<>> handles;
};

struct Handle {
    PathEntry* entry;
    std::string section;
};

struct State {
    std::mutex lock;
    std::map<std::string, PathEntry> paths;  // "" holds the empty document of the start
    PathEntry* current = nullptr;
    std::vector<Handle> handles;  // handle h is handles[h - 1]
    Section nowhere;              // answers for handles never given
    std::set<std::string> reported;
    std::string lastError;

    State() {
        current = &paths[""];
        current->info = SkinInfo{"", paths.begin()->first.c_str()};
    }
};

State& S() {
    static State* state = new State;  // lives to the end of the process, like its records
    return *state;
}

void Report(State& s, const std::string& key, const std::string& message) {
    s.lastError = message;
    if (s.reported.insert(key).second) std::fprintf(stderr, "morvanalyzeimg: %s\n", message.c_str());
}

long LineOf(const std::string& bytes, std::size_t offset) {
    long line = 1;
    for (std::size_t i = 0; i < offset && i < bytes.size(); ++i)
        if (bytes[i] == '\n') ++line;
    return line;
}

std::size_t Offset(const pugi::xml_node& n) { return std::size_t(std::max<std::ptrdiff_t>(0, n.offset_debug())); }

bool PlainName(std::string_view s, bool allowSpace) {
    if (s.empty() || s.size() > kMaxNameLength || s[0] == '.') return false;
    for (char c : s) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                  c == '.' || (allowSpace && c == ' ');
        if (!ok) return false;
    }
    return true;
}

long Coordinate(const pugi::xml_node& item, const char* attribute, const char* value, bool nonNegative) {
    if (!value) throw ParseError(Offset(item), std::string("item lacks the attribute \"") + attribute + "\"");
    const char* p = value;
    bool negative = *p == '-';
    if (negative) ++p;
    long n = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9' && digits < 8; ++p, ++digits) n = n * 10 + (*p - '0');
    if (digits == 0 || digits > 7 || *p)
        throw ParseError(Offset(item), std::string("\"") + attribute + "\" is not a whole number: \"" + value + "\"");
    if (negative) n = -n;
    if (n < (nonNegative ? 0 : -kMaxCoordinate) || n > kMaxCoordinate)
        throw ParseError(Offset(item), std::string("\"") + attribute + "\" is out of range: " + value);
    return n;
}

void OnlyAttributes(const pugi::xml_node& n, std::initializer_list<const char*> allowed) {
    for (pugi::xml_attribute a : n.attributes()) {
        bool known = false;
        for (const char* name : allowed) known = known || std::strcmp(a.name(), name) == 0;
        if (!known) throw ParseError(Offset(n), std::string("unknown attribute \"") + a.name() + "\"");
    }
}

void OnlyElements(const pugi::xml_node& n, const char* child) {
    for (pugi::xml_node c : n.children()) {
        if (c.type() == pugi::node_element && std::strcmp(c.name(), child) == 0) continue;
        if (c.type() == pugi::node_element)
            throw ParseError(Offset(c), std::string("unexpected element <") + c.name() + ">");
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            throw ParseError(Offset(c.type() == pugi::node_pcdata ? c : n), "unexpected text");
    }
}

// The picture folder: relative to the document's folder and inside it.
std::string ResolvePictureFolder(const std::string& path, const pugi::xml_node& root, const std::string& images) {
    if (images.empty() || images[0] == '/' || images.find('\\') != std::string::npos)
        throw ParseError(Offset(root), "\"images\" must be a folder relative to the document: \"" + images + "\"");
    for (const auto& part : fs::path(images))
        if (part == ".." || (part != "." && !PlainName(part.string(), true) && !part.empty()))
            throw ParseError(Offset(root), "\"images\" leaves the skin's folder: \"" + images + "\"");
    // The document's own folder, resolved; then the picture folder, resolved as far as it
    // exists, must lie inside it (a link may not lead out).
    std::error_code ec;
    fs::path base = fs::weakly_canonical(fs::absolute(fs::path(path)).parent_path(), ec);
    fs::path folder = base / images;
    if (!ec && fs::exists(fs::symlink_status(folder, ec))) folder = fs::canonical(folder, ec);
    else folder = fs::weakly_canonical(folder, ec);
    std::string b = base.string(), f = folder.lexically_normal().string();
    if (ec || (f != b && f.compare(0, b.size() + 1, b + "/") != 0))
        throw ParseError(Offset(root), "\"images\" leaves the skin's folder: \"" + images + "\"");
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

// Resolving folders asks the file system a dozen times: a document path and folder once
// found inside are not looked at again.
std::string PictureFolder(const std::string& path, const pugi::xml_node& root, const std::string& images) {
    static std::map<std::pair<std::string, std::string>, std::string> resolved;
    auto key = std::make_pair(path, images);
    auto it = resolved.find(key);
    if (it != resolved.end()) return it->second;
    std::string folder = ResolvePictureFolder(path, root, images);
    if (resolved.size() >= 1024) resolved.clear();  // a handful of skins in practice
    resolved.emplace(std::move(key), folder);
    return folder;
}

std::unique_ptr<Document> Parse(const std::string& path, const std::string& bytes) {
    pugi::xml_document xml;
    // Parsed in place: error offsets still count from the start of the bytes.
    auto doc = std::make_unique<Document>();
    doc->text = bytes;
    pugi::xml_parse_result r =
        xml.load_buffer_inplace(doc->text.data(), doc->text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!r) throw ParseError(std::size_t(std::max<std::ptrdiff_t>(0, r.offset)), r.description());
    pugi::xml_node root = xml.document_element();
    if (std::string(root.name()) != "skin") throw ParseError(Offset(root), "the root element must be <skin>");
    OnlyAttributes(root, {"name", "images"});
    OnlyElements(root, "section");
    doc->path = path;
    doc->bytes = bytes;
    doc->name = root.attribute("name").value();
    if (doc->name.empty()) throw ParseError(Offset(root), "the skin has no name");
    doc->folder = PictureFolder(path, root, root.attribute("images").value());
    for (pugi::xml_node sec : root.children("section")) {
        OnlyAttributes(sec, {"name"});
        OnlyElements(sec, "item");
        auto section = std::make_unique<Section>();
        section->name = sec.attribute("name").value();
        if (!PlainName(section->name, false)) throw ParseError(Offset(sec), "a section needs a plain name");
        for (pugi::xml_node it : sec.children("item")) {
            // One pass over the attributes.
            const char *name = nullptr, *visible = "1", *left = nullptr, *top = nullptr, *width = nullptr,
                       *height = nullptr, *image = nullptr;
            for (pugi::xml_attribute a : it.attributes()) {
                std::string_view n = a.name();
                const char** slot = n == "name"      ? &name
                                    : n == "left"    ? &left
                                    : n == "top"     ? &top
                                    : n == "width"   ? &width
                                    : n == "height"  ? &height
                                    : n == "image"   ? &image
                                    : n == "visible" ? &visible
                                                     : nullptr;
                if (!slot) throw ParseError(Offset(it), "unknown attribute \"" + std::string(n) + "\"");
                *slot = a.value();
            }
            if (!name || !PlainName(name, false)) throw ParseError(Offset(it), "an item needs a plain name");
            Item entry;
            entry.name = name;
            entry.offset = Offset(it);
            SkinItem& item = entry.record;
            item.Image = "";
            std::string_view v = visible;
            if (v != "0" && v != "1" && v != "true" && v != "false")
                throw ParseError(Offset(it), "\"visible\" must be 0, 1, true or false: \"" + std::string(v) + "\"");
            item.Visible = (v == "1" || v == "true") ? 1 : 0;
            item.Left = std::int32_t(Coordinate(it, "left", left, false));
            item.Top = std::int32_t(Coordinate(it, "top", top, false));
            item.Width = std::int32_t(Coordinate(it, "width", width, true));
            item.Height = std::int32_t(Coordinate(it, "height", height, true));
            if (image) {
                if (!PlainName(image, false))
                    throw ParseError(Offset(it), std::string("\"image\" must be a plain file name: \"") + image + "\"");
                item.Image = image;
            }
            section->items.push_back(entry);
        }
        auto byName = [](const Item& a, const Item& b) { return a.name < b.name || (a.name == b.name && a.offset < b.offset); };
        std::sort(section->items.begin(), section->items.end(), byName);
        for (std::size_t i = 1; i < section->items.size(); ++i)
            if (section->items[i].name == section->items[i - 1].name)
                throw ParseError(section->items[i].offset, "item \"" + std::string(section->items[i].name) + "\" appears twice");
        std::string key = section->name;
        if (!doc->sections.emplace(key, std::move(section)).second)
            throw ParseError(Offset(sec), "section \"" + key + "\" appears twice");
    }
    doc->info = SkinInfo{doc->name.c_str(), doc->path.c_str()};
    return doc;
}

Section* FindSection(State& s, Document* doc, std::string_view name) {
    auto it = doc->sections.find(name);
    if (it == doc->sections.end()) {
        std::string missing(name);
        Report(s, doc->path + "\n" + std::to_string(reinterpret_cast<std::uintptr_t>(doc)) + "\n" + missing,
               (doc->path.empty() ? std::string("no skin document") : doc->path) + ": no section \"" + missing + "\"");
        auto section = std::make_unique<Section>();
        section->name = missing;
        it = doc->sections.emplace(missing, std::move(section)).first;
    }
    return it->second.get();
}

}  // namespace

extern "C" {

int OpenSkinDocument(const char* path) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    std::string p = path ? path : "";
    std::string bytes;
    auto fail = [&](long line, const std::string& message) {
        s.lastError = p + ":" + std::to_string(line) + ": " + message;
        std::fprintf(stderr, "morvanalyzeimg: %s\n", s.lastError.c_str());
        return -1;
    };
    {
        // Non-blocking, so that a FIFO or device put where a document was expected is refused
        // at once by the check below instead of waiting for ever for a writer.
        int fd = p.empty() ? -1 : open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return fail(1, "cannot open the file");
        struct stat st;
        bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        if (!regular || std::uintmax_t(st.st_size) > kMaxDocumentSize) {
            close(fd);
            return fail(1, regular ? "larger than " + std::to_string(kMaxDocumentSize) + " bytes" : "not a file");
        }
        bytes.resize(std::size_t(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n <= 0) break;
            got += std::size_t(n);
        }
        close(fd);
        if (got != bytes.size()) return fail(1, "cannot read the file");
    }
    auto known = s.paths.find(p);
    if (known != s.paths.end() && known->second.doc->bytes == bytes) {
        s.current = &known->second;
        return 0;
    }
    try {
        auto doc = Parse(p, bytes);
        auto [slot, added] = s.paths.try_emplace(p);
        PathEntry& entry = slot->second;
        if (entry.names.empty() || entry.names.back() != doc->name) entry.names.push_back(doc->name);
        entry.info = SkinInfo{entry.names.back().c_str(), slot->first.c_str()};
        entry.doc = std::move(doc);  // the older version goes: handles now answer from this one
        s.current = &entry;
        return 0;
    } catch (const ParseError& e) {
        return fail(LineOf(bytes, e.offset), e.message);
    } catch (const std::exception& e) {
        return fail(1, e.what());
    }
}

SkinSectionHandle GetSkinSection(const char* name) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    std::string_view n = name ? name : "";
    auto it = s.current->handles.find(n);
    if (it == s.current->handles.end()) {
        s.handles.push_back(Handle{s.current, std::string(n)});
        it = s.current->handles.emplace(std::string(n), SkinSectionHandle(s.handles.size())).first;
    }
    FindSection(s, s.current->doc.get(), n);  // reports a missing section now
    return it->second;
}

const SkinItem* GetSkinItem(SkinSectionHandle handle, const char* name) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    std::string_view n = name ? name : "";
    Section* section = &s.nowhere;
    if (handle >= 1 && handle <= s.handles.size()) {
        const Handle& h = s.handles[handle - 1];
        section = FindSection(s, h.entry->doc.get(), h.section);
    } else
        Report(s, "handle\n" + std::to_string(handle), "no section has the handle " + std::to_string(handle));
    auto it = std::lower_bound(section->items.begin(), section->items.end(), n,
                               [](const Item& item, std::string_view key) { return item.name < key; });
    if (it != section->items.end() && it->name == n) return &it->record;
    auto miss = section->missing.find(n);
    if (miss == section->missing.end()) {
        std::string missing(n);
        if (section != &s.nowhere)
            Report(s, std::to_string(reinterpret_cast<std::uintptr_t>(section)) + "\n" + missing,
                   "section \"" + section->name + "\" has no item \"" + missing + "\"");
        SkinItem hidden{};
        hidden.Reserved = kSkinItemNotFound;
        hidden.Image = "";
        miss = section->missing.emplace(missing, hidden).first;
    }
    return &miss->second;
}

void GetSkinImageFolder(const char** folder) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (folder) *folder = s.current->doc->folder.c_str();
}

const SkinInfo* GetSkinInfo(void) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    return &s.current->info;
}

const char* GetSkinLastError(void) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.lastError.c_str();
}

}
