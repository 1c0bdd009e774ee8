#pragma once
// Tokens of the script language. Positions are 1-based lines and byte columns.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace swf::as {

struct SourcePos {
    int line = 1;
    int column = 1;
};

// Raised inside the compiler for any fault in the source; Compile turns it into a CompileError.
struct SyntaxError {
    SourcePos pos;
    std::string message;
};

// The keywords and punctuators; a token of either kind carries its index in its list, so
// that the parser compares small numbers, not texts. Punctuators are listed longest first,
// so that the first match is the longest one.
inline constexpr std::string_view kKeywords[] = {
    "break", "case",     "continue", "default",    "delete", "do",   "else",   "for",
    "function", "if",    "in",       "instanceof", "new",    "return", "switch", "this",
    "typeof", "var",     "void",     "while",      "with",   "true", "false",  "null",
    "undefined", "class", "interface", "try",      "throw",  "import"};
inline constexpr std::string_view kPunctuators[] = {
    ">>>=", "===", "!==", ">>>", "<<=", ">>=", "==", "!=", "<=", ">=", "&&", "||", "++",
    "--",   "<<",  ">>",  "+=",  "-=",  "*=",  "/=", "%=", "&=", "|=", "^=", "{",  "}",
    "(",    ")",   "[",   "]",   ";",   ",",   "<",  ">",  "+",  "-",  "*",  "/",  "%",
    "&",    "|",   "^",   "!",   "~",   "?",   ":",  "=",  "."};

// The index of a keyword or punctuator written in the compiler's own code; a text that is
// neither does not compile.
consteval int KeywordId(std::string_view word) {
    for (std::size_t i = 0; i < std::size(kKeywords); ++i)
        if (kKeywords[i] == word) return static_cast<int>(i);
    throw "not a keyword";
}
consteval int PunctId(std::string_view punct) {
    for (std::size_t i = 0; i < std::size(kPunctuators); ++i)
        if (kPunctuators[i] == punct) return static_cast<int>(i);
    throw "not a punctuator";
}

enum class Tok {
    End,
    Name,
    Keyword,
    Number,
    String,
    Punct,
};

struct Token {
    Tok kind = Tok::End;
    std::string text;      // name, keyword or punctuator; decoded contents for strings
    int id = -1;           // keyword or punctuator: its index in kKeywords or kPunctuators
    double number = 0;     // value of a number literal
    SourcePos pos;
    bool newlineBefore = false;  // a line break separates it from the previous token
};

class Lexer {
public:
    explicit Lexer(std::string_view source);
    // Reads the next token; throws SyntaxError for malformed input.
    Token Next();
    // The same into `tok`, whose text keeps its storage for the next token.
    void Next(Token& tok);

private:
    [[noreturn]] void Fail(SourcePos pos, const std::string& message) const;
    SourcePos Here() const { return {line_, static_cast<int>(pos_ - lineStart_) + 1}; }
    bool SkipSpaceAndComments();  // returns true when a line break was crossed
    void Advance(std::size_t n) { pos_ += n; }
    void NewLine() { ++line_; lineStart_ = pos_; }
    std::size_t Utf8Length(std::size_t at) const;  // 0 when the bytes at `at` are not UTF-8
    void ReadNumber(Token& tok);
    void ReadString(Token& tok, char quote);
    void ReadName(Token& tok);

    std::string_view src_;
    std::size_t pos_ = 0;
    std::size_t lineStart_ = 0;
    int line_ = 1;
};

}  // namespace swf::as
