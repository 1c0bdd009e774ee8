#pragma once
// Byte and bit level encoding of SWF records, and a bounded reader for outside input.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace swf::detail {

using Bytes = std::vector<std::uint8_t>;

// Raised by readers on malformed input; caught at the public calls.
struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Bits needed for a value as a signed (two's complement) or unsigned bit field.
int SignedBits(std::int64_t v);
int UnsignedBits(std::uint64_t v);

class Writer {
public:
    Bytes& bytes() { return b_; }
    const Bytes& bytes() const { return b_; }
    size_t size() const { return b_.size(); }

    void U8(unsigned v) { Align(); b_.push_back(static_cast<std::uint8_t>(v)); }
    void U16(unsigned v) { U8(v & 0xFF); U8((v >> 8) & 0xFF); }
    void S16(int v) { U16(static_cast<unsigned>(v) & 0xFFFF); }
    void U32(std::uint32_t v) { U16(v & 0xFFFF); U16(v >> 16); }
    void Append(const std::uint8_t* p, size_t n) { Align(); b_.insert(b_.end(), p, p + n); }
    void Append(const Bytes& v) { Append(v.data(), v.size()); }
    void String(std::string_view s);  // zero-terminated
    void Patch16(size_t at, unsigned v) {
        b_[at] = v & 0xFF;
        b_[at + 1] = (v >> 8) & 0xFF;
    }

    void Bits(std::uint64_t v, int n);  // most significant first
    void SBits(std::int64_t v, int n) { Bits(static_cast<std::uint64_t>(v), n); }
    void Align();  // pads the pending bits with zeros to the next byte

    // Rectangle in twips.
    void Rect(std::int32_t xmin, std::int32_t xmax, std::int32_t ymin, std::int32_t ymax);
    // Matrix: scale (1.0 = identity), rotate/skew, translation in twips.
    void Matrix(double sx, double sy, double r0, double r1, std::int32_t tx, std::int32_t ty);
    void IdentityCxformWithAlpha();

private:
    Bytes b_;
    std::uint64_t acc_ = 0;
    int nacc_ = 0;
};

// Appends a tag (long form when the body needs it or `forceLong`).
void PutTag(Bytes& out, unsigned code, const std::uint8_t* body, size_t n, bool forceLong = false);
inline void PutTag(Bytes& out, unsigned code, const Bytes& body, bool forceLong = false) {
    PutTag(out, code, body.data(), body.size(), forceLong);
}

// Reads little-endian fields and bit fields; any read past the end raises FormatError.
class Reader {
public:
    Reader(const std::uint8_t* p, size_t n) : p_(p), n_(n) {}
    explicit Reader(const Bytes& b) : p_(b.data()), n_(b.size()) {}

    size_t pos() const { return i_; }
    size_t size() const { return n_; }
    size_t left() const { return n_ - i_; }
    bool done() const { return i_ >= n_; }
    const std::uint8_t* data() const { return p_; }
    void Seek(size_t at);

    unsigned U8();
    unsigned U16();
    int S16() { return static_cast<std::int16_t>(U16()); }
    std::uint32_t U24();
    std::uint32_t U32();
    const std::uint8_t* Take(size_t n);
    void Skip(size_t n) { Take(n); }
    std::string CString();  // zero-terminated

    std::uint32_t Bits(int n);
    std::int32_t SBits(int n);
    void Align() { nbits_ = 0; }

    void Rect();
    void Matrix();
    void CxformWithAlpha();
    void Cxform();

private:
    const std::uint8_t* p_;
    size_t n_;
    size_t i_ = 0;
    std::uint8_t cur_ = 0;
    int nbits_ = 0;  // bits left in cur_
};

std::int32_t Twips(double pixels);

}  // namespace swf::detail
