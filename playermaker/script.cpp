#include "playermaker/script.h"

#include <algorithm>
#include <charconv>

namespace morvbrindle {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when the bytes there are not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > text.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return n;
}

void AppendHexByte(std::string& out, unsigned char b) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[b >> 4];
    out += digits[b & 15];
}

void AppendInt(std::string& out, long long value) { out += std::to_string(value); }

// printf's "%02d".
void AppendTwoDigits(std::string& out, int value) {
    if (value >= 0 && value < 10) out += '0';
    AppendInt(out, value);
}

void AppendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

// A quoted text: the opening quote, the escaped text, the closing quote.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    out += EscapeScriptString(text);
    out += '"';
}

}  // namespace

std::string EscapeScriptString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '"': out += "\\\""; ++i; continue;
            case '\\': out += "\\\\"; ++i; continue;
            case '\n': out += "\\n"; ++i; continue;
            case '\r': out += "\\r"; ++i; continue;
            case '\t': out += "\\t"; ++i; continue;
            case '\b': out += "\\b"; ++i; continue;
            case '\f': out += "\\f"; ++i; continue;
            case '\v': out += "\\v"; ++i; continue;
            default: break;
        }
        const std::size_t n = c < 0x20 ? 0 : Utf8SequenceLength(text, i);
        if (n == 0) {
            AppendHexByte(out, c);
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string ScriptClock(int seconds) {
    std::string out;
    AppendTwoDigits(out, seconds / 3600);
    out += ':';
    AppendTwoDigits(out, (seconds % 3600) / 60);
    out += ':';
    AppendTwoDigits(out, seconds % 60);
    return out;
}

std::string EmbeddedPlaylistScript(float frameRate) {
    char number[64];
    auto [end, ec] = std::to_chars(number, number + sizeof number, static_cast<double>(frameRate),
                                   std::chars_format::fixed, 2);
    std::string rate = ec == std::errc() ? std::string(number, end) : std::string("0.00");
    return "function initPlayList() {\n\tframerate=" + rate + ";\n\tinit();\n}\n";
}

std::string ProgressivePlaylistScript(const KbnUIGroupOption& group) {
    if (!group.generate || group.generate->playlistInScript == 0) {
        return "function initPlayList() {\n\tloadxml(\"medialist.xml\");\n}\n";
    }
    const KbnUIOverlayADOption* overlay = group.overlay;
    const std::string_view link = overlay ? FieldText(overlay->clickUrl) : std::string_view();
    const std::string_view target = overlay ? FieldText(overlay->target) : std::string_view();

    std::string out = "function initPlayList() {\n";
    const int count = group.mediaCount < 0 ? 0 : std::min(group.mediaCount, static_cast<int>(KBN_MAX_MEDIA));
    for (int n = 1; n <= count; ++n) {
        const KbnUIMediaOption* media = group.media[n - 1];
        if (!media) continue;
        out += "\n\tadd_play(";
        AppendQuoted(out, FieldText(media->title));
        out += ',';
        AppendQuoted(out, FieldText(media->flvPath));
        out += ',';
        AppendQuoted(out, FieldText(media->thumbnailPath));
        out += ',';
        AppendQuoted(out, link);
        out += ',';
        AppendQuoted(out, target);
        out += ");";
        if (!overlay) continue;
        out += "\n\tadd_advert(";
        AppendInt(out, n);
        out += ",\"" + ScriptClock(overlay->startTime) + ":000\",\"" + ScriptClock(overlay->endTime) + ":000\",\"";
        out += overlay->kind == okImage ? "img" : overlay->kind == okText ? "txt" : "flv";
        out += "\",";
        AppendQuoted(out, overlay->kind == okText ? FieldText(overlay->text) : FieldText(overlay->file));
        out += ',';
        AppendQuoted(out, link);
        out += ',';
        AppendQuoted(out, target);
        out += ", ";
        AppendInt(out, overlay->advertOption);
        out += ",1,1,\"\",";
        for (int value : {overlay->x, overlay->y, overlay->width, overlay->height, overlay->fontSize}) {
            AppendInt(out, value);
            out += ',';
        }
        AppendQuoted(out, FieldText(overlay->fontFile));
        const unsigned colour = (static_cast<unsigned>(overlay->red & 255) << 16) |
                                (static_cast<unsigned>(overlay->green & 255) << 8) |
                                static_cast<unsigned>(overlay->blue & 255);
        char hex[16];
        auto [end, ec] = std::to_chars(hex, hex + sizeof hex, colour, 16);
        (void)ec;
        out += ",0x";
        out.append(hex, end);
        out += ");";
    }
    out += "\n\tVideoUrl=playTeam[0][1];\n\tVideoClickurl=playTeam[0][3];\n\tVideoClicktarget=playTeam[0][4];\n\tinit();\n}\n";
    return out;
}

std::string PlayerSetupScript(const KbnUIGroupOption& group) {
    const KbnUIPlayerOption& p = *group.player;
    std::string out = "function initPlayer() {";
    out += "\n\tinitPlayerStage(";
    AppendInt(out, group.generate ? group.generate->swfType : 0);
    out += ", ";
    AppendInt(out, p.width);
    out += ", ";
    AppendInt(out, p.height);
    out += ");";

    out += "\n\tinitPlayerComponent(";
    AppendBool(out, p.hideAll != 0);
    for (int hidden : {p.hidePreNextBtn, p.hideMuteBtn, p.hideVolumeBar, p.hidePlayingTime, p.hideFullscreenBtn,
                       p.hidePlayingProcessBar, p.hidePlaylistBtn, p.hidePlayList}) {
        out += ", ";
        AppendBool(out, hidden == 0);
    }
    out += ");";

    out += "\n\tinitAutoHide(";
    AppendBool(out, p.mouseAutoHide != 0);
    out += ", ";
    AppendBool(out, p.skinAutoHide != 0);
    out += ", ";
    AppendBool(out, p.sliderAutoHide != 0);
    out += ", ";
    AppendInt(out, p.hideDelay > 0 ? static_cast<long long>(p.hideDelay) * 1000 : 3000);
    out += ");";

    out += "\n\tbtn_Interval = 0;\n\tmaxPlayTime = ";
    AppendInt(out, group.isPreview ? 4 : 0);
    out += ";\n\tmargins = 0;\n\tBufferTime=";
    AppendInt(out, p.bufferTime > 0 ? p.bufferTime : 5);
    out += ";\n\tautoplay=";
    AppendBool(out, p.autoPlay != 0);
    out += ";\n";
    out += "\n}";
    return out;
}

std::string AssemblePlayerScript(std::string_view playerTemplate, std::string_view playlist,
                                 std::string_view setup, std::string_view callerTemplate) {
    std::string out;
    out.reserve(playerTemplate.size() + playlist.size() + setup.size() + callerTemplate.size() + 3);
    out.append(playerTemplate).append("\n").append(playlist).append("\n").append(setup).append("\n").append(callerTemplate);
    return out;
}

std::string OpenLinkAction(std::string_view url, std::string_view target) {
    std::string out = "getURL(";
    AppendQuoted(out, url);
    out += ", ";
    AppendQuoted(out, target);
    out += ");";
    return out;
}

}  // namespace morvbrindle
