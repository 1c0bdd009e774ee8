#include "jobmodel/htmlpage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include "platform/core/exceptions.h"

namespace jobmodel {

namespace {

// Names come from the user's file names and titles, so every place they go into the page
// gets the escaping of that place. Plain names (letters, digits, blanks, "-", "_", ".")
// pass through every one of these unchanged.

std::string HtmlEscape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

// A relative address: the characters that would end it, start a query or fragment, or
// break the quoting around it are percent-encoded. So is ":": a name such as "Lecture:1"
// or "javascript:x" would otherwise read as an address with a scheme of its own, not as
// the file beside the page.
std::string UrlPart(std::string_view s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("\"'<>&#%?\\:", c)) {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// A script string in single quotes inside an HTML script element.
std::string ScriptString(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\'': out += "\\'"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '<': out += "\\x3C"; break;  // never "</script>" inside the element
        case '>': out += "\\x3E"; break;
        case '&': out += "\\x26"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out;
}

}  // namespace

bool CreateHtmlPlayingSWF::SetTitle(const std::string& title) { title_ = title; return true; }
bool CreateHtmlPlayingSWF::SetMovie(const std::string& movie) { movie_ = movie; return true; }
bool CreateHtmlPlayingSWF::SetPluginVersion(const std::string& version) { version_ = version; return true; }
bool CreateHtmlPlayingSWF::SetBgColor(const std::string& bgcolor) { bgcolor_ = bgcolor; return true; }
bool CreateHtmlPlayingSWF::SetPlayerWidth(std::int32_t width) { width_ = width; return true; }
bool CreateHtmlPlayingSWF::SetPlayerHeight(std::int32_t height) { height_ = height; return true; }

std::string CreateHtmlPlayingSWF::BuildPage() const {
    const std::string cab = std::string(kFlashPlayerCabinet) + "#version=8,0,0,0";
    const std::string page = kFlashPlayerDownloadPage;
    const std::string w = std::to_string(width_);
    const std::string h = std::to_string(height_);
    const std::string bg = HtmlEscape(bgcolor_);
    const std::string jsMovie = ScriptString(movie_);
    const std::string jsSrc = ScriptString(UrlPart(movie_));
    const std::string attrMovie = HtmlEscape(movie_);
    const std::string attrSwf = HtmlEscape(UrlPart(movie_ + ".swf"));
    const char* nl = "\r\n";

    std::string s;
    // Block 1: the head.
    s += "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"zh_cn\" lang=\"zh_cn\">";
    s += nl;
    s += "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />";
    s += nl;
    s += "<title>" + HtmlEscape(title_) + "</title>";
    s += nl;
    s += "<script language=\"javascript\">AC_FL_RunContent = 0;</script>"
         "<script src=\"AC_RunActiveContent.js\" language=\"javascript\"></script>";
    s += nl;
    s += "</head>";
    s += nl;
    // Block 2: the scripted player.
    const std::string block2[] = {
        "<body bgcolor=\"#" + bg + "\"><center>",
        "<script language=\"javascript\">",
        " if(AC_FL_RunContent == 0)",
        "{",
        " alert(\"Can not find AC_RunActiveContent.js!\");",
        " }",
        " else ",
        "{",
        "AC_FL_RunContent('codebase', '" + cab + "',",
        " 'width', '" + w + "',",
        " 'height', '" + h + "',",
        " 'src', '" + jsSrc + "',",
        " 'quality', 'high',",
        " 'pluginspage', '" + page + "',",
        " 'align', 'middle',",
        " 'play', 'false',",
        " 'loop', 'true',",
        " 'scale', 'showall',",
        " 'wmode', 'window',",
        " 'devicefont', 'false',",
        " 'id', '" + jsMovie + "',",
        " 'bgcolor', '#" + ScriptString(bgcolor_) + "',",
        " 'name', '" + jsMovie + "',",
        " 'menu', 'true',",
        " 'allowFullScreen', 'true',",
        " 'allowScriptAccess','sameDomain',",
        " 'movie', '" + jsSrc + "',",
        " 'salign', ''); //end AC code",
        "}</script>",
    };
    for (const std::string& line : block2) s += line + nl;
    // Block 3: the object for browsers without scripting.
    s += "<noscript>";
    s += nl;
    s += "<object classid=\"clsid:d27cdb6e-ae6d-11cf-96b8-444553540000\" codebase=\"" + cab + "\" width=\"" + w +
         "\" height=\"" + h + "\" id=\"" + attrMovie + "\" align=\"middle\">"
         "<param name=\"allowScriptAccess\" value=\"sameDomain\" />"
         "<param name=\"allowFullScreen\" value=\"true\" />";
    s += nl;
    // Block 4: its parameters and the embed element.
    s += "<param name=\"movie\" value=\"" + attrSwf + "\" /><param name=\"quality\" value=\"high\" />"
         "<param name=\"bgcolor\" value=\"#" + bg + "\" />"
         "<embed src=\"" + attrSwf + "\" quality=\"high\" bgcolor=\"#" + bg + "\" width=\"" + w +
         "\" height=\"" + h + "\" name=\"" + attrMovie + "\" align=\"middle\" allowScriptAccess=\"sameDomain\" "
         "allowFullScreen=\"true\" type=\"application/x-shockwave-flash\" pluginspage=\"" + page +
         "\" /></object></noscript>";
    s += nl;
    s += "</center></body>";
    s += nl;
    s += "</html>";
    s += nl;
    return s;
}

namespace {

// A new file beside `target` under a name no one can guess, made with O_EXCL so that
// nothing planted there is followed; its mode follows the umask. -1 on failure.
int CreateTemporaryBeside(const std::string& target, std::string& temp) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[8];
        if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) return -1;
        temp = target + ".";
        for (unsigned char r : random) temp += letters[r % (sizeof letters - 1)];
        temp += ".tmp";
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

std::int32_t CreateHtmlPlayingSWF::SaveHtml(const std::string& path) const {
    const std::string text = BuildPage();
    // Through a temporary name in the same folder, so a failed write leaves the old page
    // (or none), never half a page.
    std::string temp;
    const int fd = CreateTemporaryBeside(path, temp);
    if (fd < 0) throw platform::EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += std::size_t(n);
    }
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        throw platform::EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(err));
    }
    return 1;
}

}  // namespace jobmodel
