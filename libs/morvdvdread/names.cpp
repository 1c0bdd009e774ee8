#include <cstdio>
#include <cstring>
#include <string_view>

#include "libs/morvdvdread/internal.h"

namespace morvdvdread {

void CopyText(char* field, size_t size, const std::string& text) {
    if (size == 0) return;
    size_t n = std::min(text.size(), size - 1);
    // Step back over continuation bytes so that no character is cut in half.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}

std::string DurationText(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string LanguageName(uint16_t code) {
    static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
        {"ar", "Arabic"},   {"bg", "Bulgarian"}, {"ca", "Catalan"},  {"cs", "Czech"},
        {"da", "Danish"},   {"de", "German"},    {"el", "Greek"},    {"en", "English"},
        {"es", "Spanish"},  {"et", "Estonian"},  {"fi", "Finnish"},  {"fr", "French"},
        {"he", "Hebrew"},   {"hi", "Hindi"},     {"hr", "Croatian"}, {"hu", "Hungarian"},
        {"id", "Indonesian"}, {"is", "Icelandic"}, {"it", "Italian"}, {"ja", "Japanese"},
        {"ko", "Korean"},   {"lt", "Lithuanian"}, {"lv", "Latvian"}, {"ms", "Malay"},
        {"nl", "Dutch"},    {"no", "Norwegian"}, {"pl", "Polish"},   {"pt", "Portuguese"},
        {"ro", "Romanian"}, {"ru", "Russian"},   {"sk", "Slovak"},   {"sl", "Slovenian"},
        {"sr", "Serbian"},  {"sv", "Swedish"},   {"th", "Thai"},     {"tr", "Turkish"},
        {"uk", "Ukrainian"}, {"vi", "Vietnamese"}, {"zh", "Chinese"},
    };
    auto lower = [](int c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
    char c1 = lower(code >> 8), c2 = lower(code & 0xFF);
    if (c1 < 'a' || c1 > 'z' || c2 < 'a' || c2 > 'z') return "Unknown";
    const char key[2] = {c1, c2};
    for (const auto& [k, name] : kNames)
        if (k == std::string_view(key, 2)) return std::string(name);
    return std::string(key, 2);
}

}  // namespace morvdvdread
