#pragma once
// The position-keyed byte cipher of the script templates and the reader that takes a
// template file into memory, from a seekable file or from a stream (a pipe).
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvbrindle {

// The key the player templates are enciphered with.
inline constexpr std::string_view kTemplateKey = "qorvantelu7mixdabe2 tresolinu";

// A stream is taken in steps of this size, and never more than kStreamCap bytes of it.
inline constexpr long kStreamStep = 32768;
inline constexpr long kStreamCap = 33554432;

// Rotation amount (0..7) of the byte at position `pos` for a key whose signed byte sum is
// `keySum`. Remainders are taken non-negative, so keys with bytes above 127 (which make the
// sum negative) rotate the same way when enciphering and deciphering.
int CipherRotation(long long pos, long long keySum);
// Signed 8-bit sum of the key's bytes.
long long CipherKeySum(std::string_view key);
// Enciphers (mode 0) or deciphers (any other mode) the bytes in place; key must not be empty.
void ApplyCipher(std::span<unsigned char> data, int mode, std::string_view key);

// Maps the errno of a failed seek to the reader's error number (604, 605 or 606).
int SeekErrorNumber(int err);

// A reader over an open file: a current position, a length and an error number
// (0, or 604 to 607). Seekable files are read directly; anything else is buffered.
class TemplateInput {
public:
    virtual ~TemplateInput();
    TemplateInput(const TemplateInput&) = delete;
    TemplateInput& operator=(const TemplateInput&) = delete;

    // Opens the file "rb"; null when it cannot be opened.
    static std::unique_ptr<TemplateInput> Open(const std::string& path);
    // A reader over a file the caller opened; closes it on destruction when `owns`.
    static std::unique_ptr<TemplateInput> FromFile(std::FILE* file, bool owns);

    virtual int GetByte() = 0;                           // the next byte, or EOF
    virtual std::size_t Read(void* dest, std::size_t n) = 0;
    virtual void Seek(long offset, int origin) = 0;      // SEEK_SET, SEEK_CUR, SEEK_END
    virtual bool AtEnd() = 0;

    long Position() const { return position_; }
    long Length() const { return length_; }
    int Error() const { return error_; }
    virtual bool Buffered() const = 0;  // the stream variant

    // The whole content (from the start), or nothing when the error is set or fewer bytes
    // than the length could be read.
    bool ReadWhole(std::string& out);

protected:
    TemplateInput(std::FILE* file, bool owns) : file_(file), owns_(owns) {}
    std::FILE* file_;
    bool owns_;
    long position_ = 0;
    long length_ = 0;
    int error_ = 0;
};

struct CipherFileResult {
    std::string text;  // the deciphered (or enciphered) bytes; text.c_str() is zero-terminated
    int error = 0;     // 0, 604 to 607 from the reader, or 608 when the file cannot be opened/read
};

// Reads the file whole and applies the cipher to it.
CipherFileResult ReadCipherFile(const std::string& path, int mode, std::string_view key);

}  // namespace morvbrindle
