#include "platform/webview/previewfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace platform {

namespace fs = std::filesystem;

namespace {

// Percent-decoding; false on a malformed escape or a NUL.
bool Decode(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c == '%') {
            if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
                return false;
            c = static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
        if (c == '\0') return false;
        out += c;
    }
    return true;
}

bool Inside(const fs::path& folder, const fs::path& file) {
    auto f = folder.begin();
    auto p = file.begin();
    for (; f != folder.end(); ++f, ++p)
        if (p == file.end() || *f != *p) return false;
    return p != file.end();
}

}  // namespace

const char* TPreviewFiles::Reason(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        default: return "Error";
    }
}

std::string TPreviewFiles::ContentTypeOf(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    static const std::pair<const char*, const char*> types[] = {
        {".html", "text/html; charset=utf-8"}, {".htm", "text/html; charset=utf-8"},
        {".js", "text/javascript"},            {".mjs", "text/javascript"},
        {".wasm", "application/wasm"},         {".json", "application/json"},
        {".map", "application/json"},          {".css", "text/css"},
        {".swf", "application/x-shockwave-flash"}, {".flv", "video/x-flv"},
        {".jpg", "image/jpeg"},                {".jpeg", "image/jpeg"},
        {".png", "image/png"},                 {".gif", "image/gif"},
        {".xml", "text/xml"},                  {".txt", "text/plain; charset=utf-8"},
        {".mp3", "audio/mpeg"},
    };
    for (auto& [e, type] : types)
        if (ext == e) return type;
    return "application/octet-stream";
}

TPreviewFiles::Answer TPreviewFiles::Resolve(const std::string& method, const std::string& target) const {
    Answer a;
    if (method != "GET") {
        a.status = 405;
        return a;
    }
    std::string path;
    if (target.empty() || target[0] != '/' || !Decode(target.substr(0, target.find_first_of("?#")), path)) {
        a.status = 400;
        return a;
    }
    // Only the two folders, and no step up anywhere (the canonical check below also
    // catches links that lead out).
    if (path.rfind("/temp/", 0) != 0 && path.rfind("/ruffle/", 0) != 0) {
        a.status = 403;
        return a;
    }
    for (const fs::path& part : fs::path(path))
        if (part == "..") {
            a.status = 403;
            return a;
        }
    std::error_code ec;
    fs::path root = fs::canonical(root_, ec);
    if (ec) return a;
    fs::path file = fs::weakly_canonical(root / path.substr(1), ec);
    if (ec) return a;
    std::string top = path.substr(1, path.find('/', 1) - 1);
    if (!Inside(fs::canonical(root / top, ec), file)) {
        a.status = ec ? 404 : 403;
        return a;
    }
    if (!fs::is_regular_file(file, ec)) return a;
    a.status = 200;
    a.file = file.string();
    a.contentType = ContentTypeOf(a.file);
    return a;
}

TPreviewFiles::Answer TPreviewFiles::Read(const std::string& method, const std::string& uri) const {
    const std::string origin = kPreviewOrigin;
    Answer a;
    if (uri.compare(0, origin.size(), origin) != 0) {
        a.status = 403;
        return a;
    }
    std::string target = uri.substr(origin.size() - 1);
    a = Resolve(method, target.substr(0, target.find('#')));
    if (a.status != 200) return a;
    // The file was checked by its canonical path; a link put in its place since is not
    // followed, and a pipe put there cannot hold the open.
    int fd = open(a.file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) close(fd);
        return Answer{};
    }
    a.body.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return Answer{};
        }
        if (n == 0) break;
        a.body.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return a;
}

}  // namespace platform
