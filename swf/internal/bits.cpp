#include "swf/internal/bits.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace swf::detail {

int SignedBits(std::int64_t v) {
    int n = 1;
    while (n < 64 && !(v >= -(std::int64_t{1} << (n - 1)) && v < (std::int64_t{1} << (n - 1)))) ++n;
    return n;
}

int UnsignedBits(std::uint64_t v) {
    int n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

std::int32_t Twips(double pixels) {
    double t = std::round(pixels * 20.0);
    if (!(t > -1073741823.0)) return -1073741823;  // also NaN
    if (t > 1073741823.0) return 1073741823;
    return static_cast<std::int32_t>(t);
}

void Writer::String(std::string_view s) {
    for (char c : s) {
        if (c == '\0') break;
        U8(static_cast<std::uint8_t>(c));
    }
    U8(0);
}

void Writer::Bits(std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
        acc_ = (acc_ << 1) | ((v >> i) & 1);
        if (++nacc_ == 8) {
            b_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ = 0;
            nacc_ = 0;
        }
    }
}

void Writer::Align() {
    if (nacc_) {
        b_.push_back(static_cast<std::uint8_t>(acc_ << (8 - nacc_)));
        acc_ = 0;
        nacc_ = 0;
    }
}

void Writer::Rect(std::int32_t xmin, std::int32_t xmax, std::int32_t ymin, std::int32_t ymax) {
    Align();
    int n = 1;
    for (std::int32_t v : {xmin, xmax, ymin, ymax}) n = std::max(n, SignedBits(v));
    Bits(n, 5);
    for (std::int32_t v : {xmin, xmax, ymin, ymax}) SBits(v, n);
    Align();
}

namespace {
std::int32_t Fixed16(double v) {
    double f = std::round(v * 65536.0);
    if (!(f > -2147483647.0)) return -2147483647;
    if (f > 2147483647.0) return 2147483647;
    return static_cast<std::int32_t>(f);
}
}  // namespace

void Writer::Matrix(double sx, double sy, double r0, double r1, std::int32_t tx, std::int32_t ty) {
    Align();
    if (sx != 1.0 || sy != 1.0) {
        std::int32_t a = Fixed16(sx), d = Fixed16(sy);
        int n = std::max(SignedBits(a), SignedBits(d));
        Bits(1, 1);
        Bits(n, 5);
        SBits(a, n);
        SBits(d, n);
    } else {
        Bits(0, 1);
    }
    if (r0 != 0.0 || r1 != 0.0) {
        std::int32_t b = Fixed16(r0), c = Fixed16(r1);
        int n = std::max(SignedBits(b), SignedBits(c));
        Bits(1, 1);
        Bits(n, 5);
        SBits(b, n);
        SBits(c, n);
    } else {
        Bits(0, 1);
    }
    int n = (tx || ty) ? std::max(SignedBits(tx), SignedBits(ty)) : 0;
    Bits(n, 5);
    SBits(tx, n);
    SBits(ty, n);
    Align();
}

void Writer::IdentityCxformWithAlpha() {
    Align();
    Bits(0, 2);  // no add, no multiply terms
    Bits(1, 4);  // field size (unused)
    Align();
}

void PutTag(Bytes& out, unsigned code, const std::uint8_t* body, size_t n, bool forceLong) {
    if (n < 0x3F && !forceLong) {
        unsigned h = (code << 6) | static_cast<unsigned>(n);
        out.push_back(h & 0xFF);
        out.push_back(h >> 8);
    } else {
        unsigned h = (code << 6) | 0x3F;
        out.push_back(h & 0xFF);
        out.push_back(h >> 8);
        for (int i = 0; i < 4; ++i) out.push_back((static_cast<std::uint64_t>(n) >> (8 * i)) & 0xFF);
    }
    out.insert(out.end(), body, body + n);
}

void Reader::Seek(size_t at) {
    if (at > n_) throw FormatError("offset beyond the end of the data");
    i_ = at;
    nbits_ = 0;
}

const std::uint8_t* Reader::Take(size_t n) {
    nbits_ = 0;
    if (n > n_ - i_) throw FormatError("data ends early");
    const std::uint8_t* p = p_ + i_;
    i_ += n;
    return p;
}

unsigned Reader::U8() { return *Take(1); }
unsigned Reader::U16() {
    const std::uint8_t* p = Take(2);
    return p[0] | (p[1] << 8);
}
std::uint32_t Reader::U24() {
    const std::uint8_t* p = Take(3);
    return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
}
std::uint32_t Reader::U32() {
    const std::uint8_t* p = Take(4);
    return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16) |
           (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string Reader::CString() {
    nbits_ = 0;
    std::string s;
    for (;;) {
        unsigned c = U8();
        if (c == 0) return s;
        s += static_cast<char>(c);
    }
}

std::uint32_t Reader::Bits(int n) {
    std::uint32_t v = 0;
    for (int k = 0; k < n; ++k) {
        if (nbits_ == 0) {
            if (i_ >= n_) throw FormatError("bit field ends early");
            cur_ = p_[i_++];
            nbits_ = 8;
        }
        --nbits_;
        v = (v << 1) | ((cur_ >> nbits_) & 1);
    }
    return v;
}

std::int32_t Reader::SBits(int n) {
    if (n == 0) return 0;
    std::uint32_t v = Bits(n);
    if (n < 32 && (v & (1u << (n - 1)))) v |= ~((1u << n) - 1);
    return static_cast<std::int32_t>(v);
}

void Reader::Rect() {
    Align();
    int n = static_cast<int>(Bits(5));
    Bits(n);
    Bits(n);
    Bits(n);
    Bits(n);
    Align();
}

void Reader::Matrix() {
    Align();
    if (Bits(1)) Bits(2 * static_cast<int>(Bits(5)));
    if (Bits(1)) Bits(2 * static_cast<int>(Bits(5)));
    Bits(2 * static_cast<int>(Bits(5)));
    Align();
}

void Reader::CxformWithAlpha() {
    Align();
    bool add = Bits(1), mult = Bits(1);
    int n = static_cast<int>(Bits(4));
    if (mult) Bits(4 * n);
    if (add) Bits(4 * n);
    Align();
}

void Reader::Cxform() {
    Align();
    bool add = Bits(1), mult = Bits(1);
    int n = static_cast<int>(Bits(4));
    if (mult) Bits(3 * n);
    if (add) Bits(3 * n);
    Align();
}

}  // namespace swf::detail
