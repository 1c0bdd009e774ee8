#pragma once
// The HTML page that sits beside a player SWF in its job folder and embeds it: a call of
// the page script (AC_RunActiveContent.js) for browsers with scripting, and an
// object/embed pair for browsers without.
#include <cstdint>
#include <string>

namespace jobmodel {

class CreateHtmlPlayingSWF {
public:
    bool SetTitle(const std::string& title);
    bool SetMovie(const std::string& movie);  // the player's file name without ".swf"
    bool SetPluginVersion(const std::string& version);  // kept; the page always asks for 8,0,0,0
    bool SetBgColor(const std::string& bgcolor);  // six lower-case hex digits, no "#"
    bool SetPlayerWidth(std::int32_t width);
    bool SetPlayerHeight(std::int32_t height);

    // The page text: four blocks, each line ended by CR LF.
    std::string BuildPage() const;
    // Writes the page to `path`, replacing an existing file; returns 1. A file that
    // cannot be created raises platform::EFCreateError and leaves no partial page.
    std::int32_t SaveHtml(const std::string& path) const;

private:
    std::string title_;
    std::string movie_;
    std::string version_;
    std::string bgcolor_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

// Where a visitor without a Flash player is sent to get one, and the cabinet address
// that the object element names as its code base.
inline constexpr const char* kFlashPlayerDownloadPage = "https://ruffle.rs/";
inline constexpr const char* kFlashPlayerCabinet = "https://ruffle.rs/downloads";

}  // namespace jobmodel
