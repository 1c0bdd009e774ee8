#pragma once
// Tokens of the script language. Positions are 1-based lines and byte columns.
#include <cstdint>
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
    double number = 0;     // value of a number literal
    SourcePos pos;
    bool newlineBefore = false;  // a line break separates it from the previous token
};

class Lexer {
public:
    explicit Lexer(std::string_view source);
    // Reads the next token; throws SyntaxError for malformed input.
    Token Next();

private:
    [[noreturn]] void Fail(SourcePos pos, const std::string& message) const;
    SourcePos Here() const { return {line_, static_cast<int>(pos_ - lineStart_) + 1}; }
    bool SkipSpaceAndComments();  // returns true when a line break was crossed
    void Advance(std::size_t n) { pos_ += n; }
    void NewLine() { ++line_; lineStart_ = pos_; }
    std::size_t Utf8Length(std::size_t at) const;  // 0 when the bytes at `at` are not UTF-8
    Token ReadNumber(SourcePos start);
    Token ReadString(SourcePos start, char quote);
    Token ReadName(SourcePos start);

    std::string_view src_;
    std::size_t pos_ = 0;
    std::size_t lineStart_ = 0;
    int line_ = 1;
};

}  // namespace swf::as
