// Any bytes in the record texts that reach the player script (titles, file names, links,
// decoration text, font names) must leave it compilable: the escaping keeps each text one
// string literal.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "playermaker/script.h"
#include "swf/swf.h"

namespace {

void MustCompile(const std::string& source) {
    SWFAction action = newSWFAction(source.c_str());
    if (SWFAction_getError(action)) {
        std::fprintf(stderr, "does not compile: %s\n%s\n", SWFAction_getError(action), source.c_str());
        std::abort();
    }
    destroySWFAction(action);
}

template <std::size_t N>
void Fill(char (&field)[N], std::string_view& rest) {
    const std::size_t cut = std::min(rest.find('\x01'), rest.size());
    const std::string_view part = rest.substr(0, std::min(cut, N - 1));
    if (!part.empty()) std::memcpy(field, part.data(), part.size());
    field[part.size()] = '\0';
    rest.remove_prefix(std::min(cut + 1, rest.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    input = input.substr(0, input.find('\0'));  // record texts end at their first zero byte
    MustCompile("var x = \"" + morvbrindle::EscapeScriptString(input) + "\";");

    KbnUIGroupOption group{};
    KbnUIGenerateOption generate{};
    KbnUIOverlayADOption overlay{};
    KbnUIMediaOption media{};
    generate.playlistInScript = 1;
    group.generate = &generate;
    group.overlay = &overlay;
    group.media[0] = &media;
    group.mediaCount = 1;
    std::string_view rest = input;
    Fill(media.title, rest);
    Fill(media.flvPath, rest);
    Fill(media.thumbnailPath, rest);
    Fill(overlay.clickUrl, rest);
    Fill(overlay.target, rest);
    Fill(overlay.text, rest);
    Fill(overlay.fontFile, rest);
    overlay.kind = okText;
    MustCompile(morvbrindle::ProgressivePlaylistScript(group));
    MustCompile(morvbrindle::OpenLinkAction(morvbrindle::FieldText(overlay.clickUrl), morvbrindle::FieldText(overlay.target)));
    return 0;
}
