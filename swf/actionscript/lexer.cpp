#include "swf/actionscript/lexer.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace swf::as {

namespace {

// A list's entries by first byte, in list order within each byte: those starting with byte c
// are list[order[start[c]]] .. up to start[c + 1]. Keywords and punctuators are found with
// a few comparisons instead of one per entry.
template <std::size_t N>
struct FirstByteIndex {
    std::array<std::uint8_t, 257> start{};
    std::array<std::uint8_t, N> order{};
};
template <std::size_t N>
constexpr FirstByteIndex<N> MakeIndex(const std::string_view (&list)[N]) {
    FirstByteIndex<N> t;
    for (auto p : list) ++t.start[static_cast<unsigned char>(p[0]) + 1];
    for (std::size_t c = 1; c < t.start.size(); ++c) t.start[c] = static_cast<std::uint8_t>(t.start[c] + t.start[c - 1]);
    std::array<std::uint8_t, 256> next{};
    for (std::size_t c = 0; c < 256; ++c) next[c] = t.start[c];
    for (std::size_t i = 0; i < N; ++i) t.order[next[static_cast<unsigned char>(list[i][0])]++] = static_cast<std::uint8_t>(i);
    return t;
}
constexpr auto kPunctTable = MakeIndex(kPunctuators);
constexpr auto kKeywordTable = MakeIndex(kKeywords);

bool IsNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsNamePart(unsigned char c) { return IsNameStart(c) || IsDigit(c); }
int HexValue(unsigned char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
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

// `text` at `at`; punctuators and keywords are too short for a library call to pay.
bool SameBytes(const char* at, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (at[i] != text[i]) return false;
    return true;
}

// Called for every name. The keyword's index, or -1.
int KeywordIndex(std::string_view word) {
    const auto c = static_cast<unsigned char>(word[0]);
    for (std::size_t k = kKeywordTable.start[c]; k < kKeywordTable.start[c + 1]; ++k) {
        const std::string_view keyword = kKeywords[kKeywordTable.order[k]];
        if (keyword.size() == word.size() && SameBytes(word.data(), keyword)) return kKeywordTable.order[k];
    }
    return -1;
}

}  // namespace

Lexer::Lexer(std::string_view source) : src_(source) {
    if (src_.substr(0, 3) == "\xEF\xBB\xBF") {  // byte order mark
        pos_ = lineStart_ = 3;
    }
}

void Lexer::Fail(SourcePos pos, const std::string& message) const { throw SyntaxError{pos, message}; }

std::size_t Lexer::Utf8Length(std::size_t at) const {
    auto byte = [&](std::size_t i) -> unsigned { return i < src_.size() ? static_cast<unsigned char>(src_[i]) : 0u; };
    unsigned c = byte(at);
    if (c < 0x80) return 1;
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { n = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { n = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { n = 4; cp = c & 0x07; }
    else return 0;
    for (std::size_t i = 1; i < n; ++i) {
        unsigned d = byte(at + i);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    // Overlong forms, surrogates and values above the last code point are not UTF-8.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

bool Lexer::SkipSpaceAndComments() {
    bool newline = false;
    while (pos_ < src_.size()) {
        unsigned char c = src_[pos_];
        if (c == '\n' || (c == '\r' && !(pos_ + 1 < src_.size() && src_[pos_ + 1] == '\n'))) {
            Advance(1);  // LF, CR LF (its CR is a blank) or a lone CR end a line
            NewLine();
            newline = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
            Advance(1);
        } else if (c == 0xC2 && pos_ + 1 < src_.size() && static_cast<unsigned char>(src_[pos_ + 1]) == 0xA0) {
            Advance(2);  // no-break space
        } else if (c == '/' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '/') {
            while (pos_ < src_.size() && src_[pos_] != '\n' && src_[pos_] != '\r') Advance(1);
        } else if (c == '/' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '*') {
            SourcePos start = Here();
            Advance(2);
            for (;;) {
                if (pos_ >= src_.size()) Fail(start, "unterminated comment");
                if (src_[pos_] == '*' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '/') {
                    Advance(2);
                    break;
                }
                if (src_[pos_] == '\n' || (src_[pos_] == '\r' && !(pos_ + 1 < src_.size() && src_[pos_ + 1] == '\n'))) {
                    Advance(1);
                    NewLine();
                    newline = true;
                } else {
                    Advance(1);
                }
            }
        } else {
            break;
        }
    }
    return newline;
}

Token Lexer::Next() {
    Token tok;
    Next(tok);
    return tok;
}

void Lexer::Next(Token& tok) {
    bool newline = SkipSpaceAndComments();
    tok.pos = Here();
    tok.text.clear();
    tok.number = 0;
    tok.id = -1;
    if (pos_ >= src_.size()) {
        tok.kind = Tok::End;
        tok.newlineBefore = true;
        return;
    }
    unsigned char c = src_[pos_];
    if (IsDigit(c) || (c == '.' && pos_ + 1 < src_.size() && IsDigit(src_[pos_ + 1]))) {
        ReadNumber(tok);
    } else if (c == '"' || c == '\'') {
        ReadString(tok, static_cast<char>(c));
    } else if (IsNameStart(c)) {
        ReadName(tok);
    } else {
        bool found = false;
        for (std::size_t k = kPunctTable.start[c]; k < kPunctTable.start[c + 1]; ++k) {
            const std::string_view p = kPunctuators[kPunctTable.order[k]];
            if (pos_ + p.size() <= src_.size() && SameBytes(src_.data() + pos_, p)) {
                tok.kind = Tok::Punct;
                tok.id = kPunctTable.order[k];
                tok.text.assign(p);
                Advance(p.size());
                found = true;
                break;
            }
        }
        if (!found) {
            if (c < 0x20 || c == 0x7F)
                Fail(tok.pos, "unexpected control character " + std::to_string(c));
            if (c >= 0x80) Fail(tok.pos, "invalid UTF-8");
            Fail(tok.pos, std::string("unexpected character '") + static_cast<char>(c) + "'");
        }
    }
    tok.newlineBefore = newline;
}

void Lexer::ReadNumber(Token& tok) {
    const SourcePos start = tok.pos;
    tok.kind = Tok::Number;
    std::size_t begin = pos_;
    if (src_[pos_] == '0' && pos_ + 1 < src_.size() && (src_[pos_ + 1] == 'x' || src_[pos_ + 1] == 'X')) {
        Advance(2);
        double value = 0;
        std::size_t digits = 0;
        while (pos_ < src_.size() && HexValue(src_[pos_]) >= 0) {
            value = value * 16 + HexValue(src_[pos_]);
            Advance(1);
            ++digits;
        }
        if (digits == 0) Fail(start, "hexadecimal number without digits");
        tok.number = value;
    } else {
        while (pos_ < src_.size() && IsDigit(src_[pos_])) Advance(1);
        if (pos_ < src_.size() && src_[pos_] == '.') {
            Advance(1);
            while (pos_ < src_.size() && IsDigit(src_[pos_])) Advance(1);
        }
        if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
            std::size_t save = pos_;
            Advance(1);
            if (pos_ < src_.size() && (src_[pos_] == '+' || src_[pos_] == '-')) Advance(1);
            if (pos_ >= src_.size() || !IsDigit(src_[pos_])) {
                pos_ = save;
                Fail(Here(), "exponent without digits");
            }
            while (pos_ < src_.size() && IsDigit(src_[pos_])) Advance(1);
        }
        std::string text(src_.substr(begin, pos_ - begin));
        tok.number = std::strtod(text.c_str(), nullptr);
    }
    if (pos_ < src_.size() && IsNamePart(src_[pos_]))
        Fail(Here(), "a name cannot start right after a number");
}

void Lexer::ReadString(Token& tok, char quote) {
    const SourcePos start = tok.pos;
    tok.kind = Tok::String;
    Advance(1);
    std::uint32_t pendingHigh = 0;  // a \u high surrogate waiting for its low half
    auto flushHigh = [&] {
        if (pendingHigh) AppendUtf8(tok.text, 0xFFFD);
        pendingHigh = 0;
    };
    for (;;) {
        if (pos_ >= src_.size() || src_[pos_] == '\n' || src_[pos_] == '\r')
            Fail(start, "unterminated string");
        unsigned char c = src_[pos_];
        if (c == static_cast<unsigned char>(quote)) {
            Advance(1);
            break;
        }
        if (c == 0) Fail(Here(), "a string cannot hold the character 0");
        if (c != '\\') {
            flushHigh();
            std::size_t n = Utf8Length(pos_);
            if (n == 0) Fail(Here(), "invalid UTF-8 in string");
            tok.text.append(src_.substr(pos_, n));
            Advance(n);
            continue;
        }
        SourcePos escPos = Here();
        Advance(1);
        if (pos_ >= src_.size()) Fail(start, "unterminated string");
        char e = src_[pos_];
        Advance(1);
        if (e == 'u' || e == 'x') {
            int len = e == 'u' ? 4 : 2;
            std::uint32_t cp = 0;
            for (int i = 0; i < len; ++i) {
                int h = pos_ < src_.size() ? HexValue(src_[pos_]) : -1;
                if (h < 0) Fail(escPos, std::string("\\") + e + " needs " + std::to_string(len) + " hexadecimal digits");
                cp = cp * 16 + static_cast<std::uint32_t>(h);
                Advance(1);
            }
            if (cp == 0) Fail(escPos, "a string cannot hold the character 0");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                flushHigh();
                pendingHigh = cp;
                continue;
            }
            if (cp >= 0xDC00 && cp <= 0xDFFF) {
                if (pendingHigh) {
                    AppendUtf8(tok.text, 0x10000 + ((pendingHigh - 0xD800) << 10) + (cp - 0xDC00));
                    pendingHigh = 0;
                } else {
                    AppendUtf8(tok.text, 0xFFFD);
                }
                continue;
            }
            flushHigh();
            AppendUtf8(tok.text, cp);
            continue;
        }
        flushHigh();
        switch (e) {
            case 'n': tok.text += '\n'; break;
            case 't': tok.text += '\t'; break;
            case 'r': tok.text += '\r'; break;
            case 'b': tok.text += '\b'; break;
            case 'f': tok.text += '\f'; break;
            case 'v': tok.text += '\v'; break;
            case '0':
                if (pos_ < src_.size() && IsDigit(src_[pos_])) Fail(escPos, "octal escapes are not supported");
                Fail(escPos, "a string cannot hold the character 0");
            case '\r':
                if (pos_ < src_.size() && src_[pos_] == '\n') Advance(1);
                NewLine();
                break;
            case '\n':
                NewLine();  // a backslash before a line break continues the string
                break;
            default: {
                pos_ -= 1;
                if (src_[pos_] == 0) Fail(Here(), "a string cannot hold the character 0");
                std::size_t n = Utf8Length(pos_);
                if (n == 0) Fail(Here(), "invalid UTF-8 in string");
                tok.text.append(src_.substr(pos_, n));
                Advance(n);
            }
        }
    }
    flushHigh();
}

void Lexer::ReadName(Token& tok) {
    std::size_t begin = pos_;
    while (pos_ < src_.size() && IsNamePart(src_[pos_])) {
        if (static_cast<unsigned char>(src_[pos_]) >= 0x80) {
            std::size_t n = Utf8Length(pos_);
            if (n == 0) Fail(Here(), "invalid UTF-8");
            if (n == 2 && static_cast<unsigned char>(src_[pos_]) == 0xC2 &&
                static_cast<unsigned char>(src_[pos_ + 1]) == 0xA0)
                break;  // a no-break space ends the name
            Advance(n);
        } else {
            Advance(1);
        }
    }
    const std::string_view word = src_.substr(begin, pos_ - begin);
    tok.text.assign(word);
    tok.id = KeywordIndex(word);
    tok.kind = tok.id >= 0 ? Tok::Keyword : Tok::Name;
}

}  // namespace swf::as
