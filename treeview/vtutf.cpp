#include "treeview/vtutf.h"

#include <cstdint>

namespace treeview {

namespace {
void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}
}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto c = std::uint8_t(text[i]);
        if (c < 0x80) {
            result += char16_t(c);
            ++i;
            continue;
        }
        std::size_t length = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        std::uint32_t code = 0xFFFD;
        std::size_t used = 1;
        if (length != 0 && i + length <= text.size()) {
            std::uint32_t value = c & (0x7F >> length);
            bool valid = true;
            for (std::size_t k = 1; k < length && valid; ++k) {
                auto next = std::uint8_t(text[i + k]);
                valid = (next & 0xC0) == 0x80;
                value = value << 6 | (next & 0x3F);
            }
            static const std::uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
            if (valid && value >= minimum[length] && value <= 0x10FFFF && (value < 0xD800 || value >= 0xE000)) {
                code = value;
                used = length;
            }
        }
        i += used;
        if (code >= 0x10000) {
            code -= 0x10000;
            result += char16_t(0xD800 + (code >> 10));
            result += char16_t(0xDC00 + (code & 0x3FF));
        } else {
            result += char16_t(code);
        }
    }
    return result;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (code >= 0xD800 && code < 0xE000)
            code = 0xFFFD;
        AppendUtf8(result, code);
    }
    return result;
}

}  // namespace treeview
