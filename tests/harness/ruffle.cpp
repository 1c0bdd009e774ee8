#include "harness/ruffle.h"

#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <variant>

extern char** environ;

namespace harness {
namespace {

namespace fs = std::filesystem;

std::string NodeDir() {
    if (const char* d = std::getenv("LUMACAST_NODE_DIR"); d && *d) return d;
    return LUMACAST_HARNESS_NODE_DIR;
}

std::string Chromium() {
    if (const char* c = std::getenv("LUMACAST_CHROMIUM"); c && *c) return c;
    return "/usr/bin/chromium";
}

std::optional<std::string> FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find(':', start);
        if (end == std::string::npos) end = p.size();
        fs::path candidate = fs::path(p.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
        start = end + 1;
    }
    return std::nullopt;
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

// Just enough JSON for the runner's result: objects, arrays, strings, numbers, literals.
struct Json;
using JsonArray = std::vector<Json>;
using JsonObject = std::map<std::string, Json>;
struct Json {
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<JsonArray>,
                 std::shared_ptr<JsonObject>>
        v;
};

class JsonParser {
public:
    explicit JsonParser(const std::string& s) : s_(s) {}
    std::optional<Json> Parse() {
        auto v = Value();
        Space();
        if (!v || i_ != s_.size()) return std::nullopt;
        return v;
    }

private:
    void Space() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool Eat(char c) {
        Space();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    static void Utf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    std::optional<unsigned> Hex4() {
        if (i_ + 4 > s_.size()) return std::nullopt;
        unsigned v = 0;
        for (int k = 0; k < 4; ++k) {
            char c = s_[i_++];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= c - '0';
            else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
            else return std::nullopt;
        }
        return v;
    }
    std::optional<std::string> String() {
        if (!Eat('"')) return std::nullopt;
        std::string out;
        while (i_ < s_.size()) {
            char c = s_[i_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) return std::nullopt;
            char e = s_[i_++];
            switch (e) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    auto cp = Hex4();
                    if (!cp) return std::nullopt;
                    unsigned c1 = *cp;
                    if (c1 >= 0xD800 && c1 < 0xDC00 && i_ + 1 < s_.size() && s_[i_] == '\\' &&
                        s_[i_ + 1] == 'u') {
                        i_ += 2;
                        auto lo = Hex4();
                        if (!lo) return std::nullopt;
                        c1 = 0x10000 + ((c1 - 0xD800) << 10) + (*lo - 0xDC00);
                    }
                    Utf8(out, c1);
                    break;
                }
                default: out += e;
            }
        }
        return std::nullopt;
    }
    std::optional<Json> Value() {
        Space();
        if (i_ >= s_.size()) return std::nullopt;
        char c = s_[i_];
        if (c == '"') {
            auto s = String();
            if (!s) return std::nullopt;
            return Json{*s};
        }
        if (c == '[') {
            ++i_;
            auto arr = std::make_shared<JsonArray>();
            if (Eat(']')) return Json{arr};
            do {
                auto v = Value();
                if (!v) return std::nullopt;
                arr->push_back(*v);
            } while (Eat(','));
            if (!Eat(']')) return std::nullopt;
            return Json{arr};
        }
        if (c == '{') {
            ++i_;
            auto obj = std::make_shared<JsonObject>();
            if (Eat('}')) return Json{obj};
            do {
                auto k = String();
                if (!k || !Eat(':')) return std::nullopt;
                auto v = Value();
                if (!v) return std::nullopt;
                (*obj)[*k] = *v;
            } while (Eat(','));
            if (!Eat('}')) return std::nullopt;
            return Json{obj};
        }
        for (auto [word, value] : {std::pair<const char*, Json>{"true", Json{true}},
                                   {"false", Json{false}}, {"null", Json{nullptr}}}) {
            std::string w = word;
            if (s_.compare(i_, w.size(), w) == 0) {
                i_ += w.size();
                return value;
            }
        }
        size_t used = 0;
        try {
            double d = std::stod(s_.substr(i_, 32), &used);
            i_ += used;
            return Json{d};
        } catch (...) {
            return std::nullopt;
        }
    }
    const std::string& s_;
    size_t i_ = 0;
};

std::vector<std::string> Strings(const JsonObject& o, const char* key) {
    std::vector<std::string> out;
    auto it = o.find(key);
    if (it == o.end()) return out;
    if (auto* arr = std::get_if<std::shared_ptr<JsonArray>>(&it->second.v)) {
        for (const Json& j : **arr)
            if (auto* s = std::get_if<std::string>(&j.v)) out.push_back(*s);
    }
    return out;
}

// Runs argv, returns its standard output (standard error stays the test's).
std::optional<std::string> Capture(const std::vector<std::string>& args, int* status) {
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return std::nullopt;
    }
    std::string out;
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
    return out;
}

}  // namespace

std::optional<std::string> RuffleUnavailable() {
    if (access(Chromium().c_str(), X_OK) != 0) return "no browser at " + Chromium();
    if (!FindOnPath("node")) return "no node on PATH";
    fs::path nm = fs::path(NodeDir()) / "node_modules";
    if (!fs::exists(nm / "@ruffle-rs" / "ruffle" / "ruffle.js"))
        return "npm package @ruffle-rs/ruffle missing in " + nm.string() +
               " (run scripts/setup <build dir>)";
    if (!fs::exists(nm / "playwright-core"))
        return "npm package playwright-core missing in " + nm.string() +
               " (run scripts/setup <build dir>)";
    return std::nullopt;
}

RuffleResult RunRuffle(const RuffleJob& job) {
    RuffleResult result;
    auto node = FindOnPath("node");
    if (!node) {
        result.error = "no node on PATH";
        return result;
    }
    std::string request = "{\"nodeDir\":" + Quote(NodeDir()) + ",\"chromium\":" + Quote(Chromium()) +
                       ",\"root\":" + Quote(job.root) + ",\"width\":" + std::to_string(job.width) +
                       ",\"height\":" + std::to_string(job.height) +
                       ",\"timeout\":" + std::to_string(job.timeoutMs);
    if (!job.swf.empty()) request += ",\"swf\":" + Quote(job.swf);
    if (!job.html.empty()) request += ",\"html\":" + Quote(job.html);
    if (!job.page.empty()) request += ",\"page\":" + Quote(job.page);
    if (job.durationMs >= 0) request += ",\"duration\":" + std::to_string(job.durationMs);
    if (job.untilTrace) request += ",\"untilTrace\":" + Quote(*job.untilTrace);
    request += ",\"shots\":[";
    for (size_t i = 0; i < job.shots.size(); ++i) {
        if (i) request += ",";
        request += "{\"at\":" + std::to_string(job.shots[i].atMs) +
                ",\"path\":" + Quote(job.shots[i].path) + "}";
    }
    request += "],\"clicks\":[";
    for (size_t i = 0; i < job.clicks.size(); ++i) {
        if (i) request += ",";
        request += "{\"at\":" + std::to_string(job.clicks[i].atMs) + ",\"x\":" + std::to_string(job.clicks[i].x) +
                ",\"y\":" + std::to_string(job.clicks[i].y) + "}";
    }
    request += "]}";

    char tmpl[] = "/tmp/lumacast-ruffle-XXXXXX.json";
    int fd = mkstemps(tmpl, 5);
    if (fd < 0) {
        result.error = "cannot create the job file";
        return result;
    }
    bool written = write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size());
    close(fd);
    int status = 0;
    std::optional<std::string> out;
    if (written) out = Capture({*node, LUMACAST_HARNESS_SCRIPT, tmpl}, &status);
    unlink(tmpl);
    if (!out) {
        result.error = "cannot run node " LUMACAST_HARNESS_SCRIPT;
        return result;
    }
    auto parsed = JsonParser(*out).Parse();
    auto* obj = parsed ? std::get_if<std::shared_ptr<JsonObject>>(&parsed->v) : nullptr;
    if (!obj) {
        result.error = "unreadable runner output (status " + std::to_string(status) + "): " + *out;
        return result;
    }
    const JsonObject& o = **obj;
    if (auto it = o.find("ok"); it != o.end())
        if (auto* b = std::get_if<bool>(&it->second.v)) result.ok = *b;
    if (auto it = o.find("error"); it != o.end())
        if (auto* s = std::get_if<std::string>(&it->second.v)) result.error = *s;
    result.traces = Strings(o, "traces");
    result.errors = Strings(o, "errors");
    result.console = Strings(o, "console");
    result.screenshots = Strings(o, "screenshots");
    result.requests = Strings(o, "requests");
    return result;
}

Rgb Image::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
    size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

Image ReadPng(const std::string& path) {
    Image img;
    png_image p{};
    p.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&p, path.c_str())) return img;
    p.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> buf(PNG_IMAGE_SIZE(p));
    if (!png_image_finish_read(&p, nullptr, buf.data(), 0, nullptr)) {
        png_image_free(&p);
        return img;
    }
    img.width = static_cast<int>(p.width);
    img.height = static_cast<int>(p.height);
    img.rgb = std::move(buf);
    return img;
}

bool Near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

}  // namespace harness
