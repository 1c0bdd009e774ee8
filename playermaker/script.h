#pragma once
// The generated parts of the player script and how the whole script is put together.
// Every function here is pure: records in, text out. Numbers are written in the C locale;
// texts that go between double quotes are escaped as ActionScript string escapes, so any
// title, file name, link or font name stays one string literal.
#include <cstring>
#include <string>
#include <string_view>

#include "playermaker/morvbrindle.h"

namespace morvbrindle {

// The text of a fixed record field: up to its first zero byte, never past its width.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return {field, strnlen(field, N)};
}

// Escapes `"`, `\`, line breaks and other control characters; a byte that is not part of
// valid UTF-8 is written as \xHH. Anything else is copied unchanged.
std::string EscapeScriptString(std::string_view text);

// Seconds as "hh:mm:ss" (each part at least two digits).
std::string ScriptClock(int seconds);

// initPlayList of the embedded-video player: hands the frame rate to the template.
std::string EmbeddedPlaylistScript(float frameRate);

// initPlayList of the progressive player: the playlist (add_play, and add_advert for the
// overlay once per entry) or, without playlistInScript, a load of medialist.xml.
std::string ProgressivePlaylistScript(const KbnUIGroupOption& group);

// initPlayer: stage size, components, auto-hide and playback variables. Needs the group's
// generate and player records, after the prepare step.
std::string PlayerSetupScript(const KbnUIGroupOption& group);

// The whole player script: the template's code, the playlist function, initPlayer and the
// caller template, one newline between each two.
std::string AssemblePlayerScript(std::string_view playerTemplate, std::string_view playlist,
                                 std::string_view setup, std::string_view callerTemplate);

// The press action of a picture overlay: opens the link in the target window.
std::string OpenLinkAction(std::string_view url, std::string_view target);

}  // namespace morvbrindle
