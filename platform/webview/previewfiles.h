#pragma once
// What the web view's pages may load, and how it is answered. The browser's player refuses
// pages opened from files, so the preview page, the player and the movie are given to the
// view under an address scheme of the helper's own (kPreviewOrigin), which the helper
// answers itself from one root folder: plain files of its temp/ and ruffle/, GET only,
// never cached, and nothing that leads elsewhere (.., encoded dots, links out). No socket
// is involved, so no other local user and no web page can ask for anything.
#include <string>

namespace platform {

// The scheme the helper registers with the browser engine, and the one origin below it.
constexpr const char* kPreviewScheme = "lumacast";
constexpr const char* kPreviewOrigin = "lumacast://preview/";

class TPreviewFiles {
public:
    // root: the folder whose temp/ and ruffle/ are given.
    explicit TPreviewFiles(std::string root) : root_(std::move(root)) {}

    // What a request asks for, and the answer's status, type and file: status 200 with the
    // file's canonical path, or an error status (400, 403, 404, 405).
    struct Answer {
        int status = 404;
        std::string contentType;
        std::string file;
        std::string body;  // filled by Read
    };
    // target: the path and query of the address below the origin ("/temp/a.swf?x").
    Answer Resolve(const std::string& method, const std::string& target) const;
    // The whole request: uri is the full address (anything not below kPreviewOrigin is
    // refused with 403); a 200 answer carries the file's bytes, read in one go so that a
    // file renamed over meanwhile is given whole, old or new.
    Answer Read(const std::string& method, const std::string& uri) const;
    static std::string ContentTypeOf(const std::string& path);
    static const char* Reason(int status);

private:
    std::string root_;
};

}  // namespace platform
