#include "libs/morvanalyzeimg/morvanalyzeimg.h"

#include <pugixml.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMaxDocumentSize = 1u << 20;
constexpr long kMaxCoordinate = 100000;
constexpr std::size_t kMaxNameLength = 128;

struct Section {
    std::string name;
    std::map<std::string, SkinItem, std::less<>> items;
    std::map<std::string, std::string, std::less<>> images;  // the texts items point to
    std::map<std::string, SkinItem, std::less<>> missing;    // hidden answers, made on demand
    SkinSectionHandle handle = 0;
};

struct Document {
    std::string path;
    std::string bytes;  // what was parsed, to tell an unchanged document
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

struct State {
    std::mutex lock;
    std::vector<std::unique_ptr<Document>> documents;  // every parse, kept for the handles into it
    std::map<std::string, Document*> latest;           // by path: the newest parse
    Document empty;                                    // current before any document is opened
    Document* current = &empty;
    std::vector<Section*> handles;                     // handle h is handles[h - 1]
    Section nowhere;                                   // answers for handles never given
    std::set<std::string> reported;
    std::string lastError;

    State() {
        empty.info = SkinInfo{empty.name.c_str(), empty.path.c_str()};
        nowhere.name = "";
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

bool PlainName(const std::string& s, bool allowSpace) {
    if (s.empty() || s.size() > kMaxNameLength || s[0] == '.') return false;
    for (char c : s) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                  c == '.' || (allowSpace && c == ' ');
        if (!ok) return false;
    }
    return true;
}

long Coordinate(const pugi::xml_node& item, const char* attribute, bool nonNegative) {
    pugi::xml_attribute a = item.attribute(attribute);
    if (!a) throw ParseError(Offset(item), std::string("item lacks the attribute \"") + attribute + "\"");
    std::string v = a.value();
    std::size_t digits = v.size() - (v.size() && v[0] == '-' ? 1 : 0);
    bool ok = digits >= 1 && digits <= 7;
    for (std::size_t i = v.size() - digits; ok && i < v.size(); ++i) ok = v[i] >= '0' && v[i] <= '9';
    if (!ok) throw ParseError(Offset(item), std::string("\"") + attribute + "\" is not a whole number: \"" + v + "\"");
    long n = std::stol(v);
    if (n < (nonNegative ? 0 : -kMaxCoordinate) || n > kMaxCoordinate)
        throw ParseError(Offset(item), std::string("\"") + attribute + "\" is out of range: " + v);
    return n;
}

void OnlyAttributes(const pugi::xml_node& n, std::initializer_list<const char*> allowed) {
    for (pugi::xml_attribute a : n.attributes()) {
        bool known = false;
        for (const char* name : allowed) known = known || std::string(a.name()) == name;
        if (!known) throw ParseError(Offset(n), std::string("unknown attribute \"") + a.name() + "\"");
    }
}

void OnlyElements(const pugi::xml_node& n, const char* child) {
    for (pugi::xml_node c : n.children()) {
        if (c.type() == pugi::node_element && std::string(c.name()) == child) continue;
        if (c.type() == pugi::node_element)
            throw ParseError(Offset(c), std::string("unexpected element <") + c.name() + ">");
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            throw ParseError(Offset(c.type() == pugi::node_pcdata ? c : n), "unexpected text");
    }
}

// The picture folder: relative to the document's folder and inside it.
std::string PictureFolder(const std::string& path, const pugi::xml_node& root, const std::string& images) {
    if (images.empty() || images[0] == '/' || images.find('\\') != std::string::npos)
        throw ParseError(Offset(root), "\"images\" must be a folder relative to the document: \"" + images + "\"");
    for (const auto& part : fs::path(images))
        if (part == ".." || (part != "." && !PlainName(part.string(), true) && !part.empty()))
            throw ParseError(Offset(root), "\"images\" leaves the skin's folder: \"" + images + "\"");
    std::error_code ec;
    fs::path base = fs::weakly_canonical(fs::absolute(fs::path(path)).parent_path(), ec);
    fs::path folder = fs::weakly_canonical(base / images, ec);
    std::string b = base.string(), f = folder.string();
    if (ec || (f != b && f.compare(0, b.size() + 1, b + "/") != 0))
        throw ParseError(Offset(root), "\"images\" leaves the skin's folder: \"" + images + "\"");
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

std::unique_ptr<Document> Parse(const std::string& path, const std::string& bytes) {
    pugi::xml_document xml;
    pugi::xml_parse_result r = xml.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!r) throw ParseError(std::size_t(std::max<std::ptrdiff_t>(0, r.offset)), r.description());
    pugi::xml_node root = xml.document_element();
    if (std::string(root.name()) != "skin") throw ParseError(Offset(root), "the root element must be <skin>");
    OnlyAttributes(root, {"name", "images"});
    OnlyElements(root, "section");
    auto doc = std::make_unique<Document>();
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
            OnlyAttributes(it, {"name", "visible", "left", "top", "width", "height", "image"});
            std::string name = it.attribute("name").value();
            if (!PlainName(name, false)) throw ParseError(Offset(it), "an item needs a plain name");
            SkinItem item{};
            std::string visible = it.attribute("visible") ? it.attribute("visible").value() : "1";
            if (visible != "0" && visible != "1" && visible != "true" && visible != "false")
                throw ParseError(Offset(it), "\"visible\" must be 0, 1, true or false: \"" + visible + "\"");
            item.Visible = (visible == "1" || visible == "true") ? 1 : 0;
            item.Left = std::int32_t(Coordinate(it, "left", false));
            item.Top = std::int32_t(Coordinate(it, "top", false));
            item.Width = std::int32_t(Coordinate(it, "width", true));
            item.Height = std::int32_t(Coordinate(it, "height", true));
            std::string image = it.attribute("image").value();
            if (it.attribute("image") && !PlainName(image, false))
                throw ParseError(Offset(it), "\"image\" must be a plain file name: \"" + image + "\"");
            if (!section->items.emplace(name, item).second)
                throw ParseError(Offset(it), "item \"" + name + "\" appears twice");
            section->images[name] = image;
        }
        for (auto& [name, item] : section->items) item.Image = section->images[name].c_str();
        std::string key = section->name;
        if (!doc->sections.emplace(key, std::move(section)).second)
            throw ParseError(Offset(sec), "section \"" + key + "\" appears twice");
    }
    doc->info = SkinInfo{doc->name.c_str(), doc->path.c_str()};
    return doc;
}

Section* FindOrAddSection(State& s, Document* doc, const std::string& name) {
    auto it = doc->sections.find(name);
    if (it == doc->sections.end()) {
        Report(s, doc->path + "\n" + name, (doc->path.empty() ? std::string("no skin document") : doc->path) +
                                                ": no section \"" + name + "\"");
        auto section = std::make_unique<Section>();
        section->name = name;
        it = doc->sections.emplace(name, std::move(section)).first;
    }
    Section* section = it->second.get();
    if (!section->handle) {
        s.handles.push_back(section);
        section->handle = SkinSectionHandle(s.handles.size());
    }
    return section;
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
    std::error_code ec;
    if (p.empty() || !fs::is_regular_file(p, ec)) return fail(1, "cannot open the file");
    std::uintmax_t size = fs::file_size(p, ec);
    if (ec) return fail(1, "cannot open the file");
    if (size > kMaxDocumentSize) return fail(1, "larger than " + std::to_string(kMaxDocumentSize) + " bytes");
    {
        std::ifstream f(p, std::ios::binary);
        if (!f) return fail(1, "cannot open the file");
        bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    if (bytes.size() > kMaxDocumentSize) return fail(1, "larger than " + std::to_string(kMaxDocumentSize) + " bytes");
    auto known = s.latest.find(p);
    if (known != s.latest.end() && known->second->bytes == bytes) {
        s.current = known->second;
        return 0;
    }
    try {
        auto doc = Parse(p, bytes);
        s.latest[p] = doc.get();
        s.current = doc.get();
        s.documents.push_back(std::move(doc));
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
    return FindOrAddSection(s, s.current, name ? name : "")->handle;
}

const SkinItem* GetSkinItem(SkinSectionHandle handle, const char* name) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    std::string n = name ? name : "";
    Section* section = &s.nowhere;
    if (handle >= 1 && handle <= s.handles.size()) section = s.handles[handle - 1];
    else Report(s, "handle\n" + std::to_string(handle), "no section has the handle " + std::to_string(handle));
    auto it = section->items.find(n);
    if (it != section->items.end()) return &it->second;
    auto miss = section->missing.find(n);
    if (miss == section->missing.end()) {
        if (section != &s.nowhere)
            Report(s, std::to_string(section->handle) + "\n" + n,
                   "section \"" + section->name + "\" has no item \"" + n + "\"");
        SkinItem hidden{};
        hidden.Image = "";
        miss = section->missing.emplace(n, hidden).first;
    }
    return &miss->second;
}

void GetSkinImageFolder(const char** folder) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (folder) *folder = s.current->folder.c_str();
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
