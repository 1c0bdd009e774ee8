#include "swf/actionscript/emitter.h"

#include <cmath>
#include <cstring>

namespace swf::as {

namespace {
constexpr std::size_t kNoLabel = SIZE_MAX;
constexpr std::size_t kMaxRecordData = 0xFFFF;
}  // namespace

int ConstantPool::Index(const std::string& s) {
    auto it = index_.find(s);
    if (it != index_.end()) return it->second;
    if (strings_.size() >= 0xFFFF || bytes_ + s.size() + 1 > kMaxRecordData) return -1;
    int index = static_cast<int>(strings_.size());
    auto [pos, inserted] = index_.emplace(s, index);
    strings_.push_back(&pos->first);
    bytes_ += s.size() + 1;
    return index;
}

void ConstantPool::Write(std::vector<std::uint8_t>& out) const {
    out.push_back(op::ConstantPool);
    out.push_back(bytes_ & 0xFF);
    out.push_back(bytes_ >> 8);
    out.push_back(strings_.size() & 0xFF);
    out.push_back(strings_.size() >> 8);
    for (const std::string* s : strings_) {
        out.insert(out.end(), s->begin(), s->end());
        out.push_back(0);
    }
}

void Emitter::Op(std::uint8_t code) {
    openPush_ = SIZE_MAX;
    bytes_.push_back(code);
}

std::size_t Emitter::Begin(std::uint8_t code) {
    openPush_ = SIZE_MAX;
    std::size_t at = bytes_.size();
    bytes_.push_back(code);
    bytes_.push_back(0);
    bytes_.push_back(0);
    return at;
}

void Emitter::End(std::size_t record) {
    std::size_t n = bytes_.size() - record - 3;
    // Every record written here is far below the limit; the check keeps a fault visible.
    if (n > kMaxRecordData) throw SyntaxError{{}, "internal error: action record too long"};
    PatchU16(record + 1, static_cast<std::uint16_t>(n));
}

void Emitter::U16(std::uint16_t v) {
    bytes_.push_back(v & 0xFF);
    bytes_.push_back(v >> 8);
}

void Emitter::Str(std::string_view s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    bytes_.push_back(0);
}

void Emitter::PatchU16(std::size_t at, std::uint16_t v) {
    bytes_[at] = v & 0xFF;
    bytes_[at + 1] = v >> 8;
}

void Emitter::PushValue(std::uint8_t type, const std::uint8_t* data, std::size_t n) {
    if (openPush_ != SIZE_MAX) {
        std::size_t len = bytes_[openPush_ + 1] | (bytes_[openPush_ + 2] << 8);
        if (len + 1 + n > kMaxRecordData) openPush_ = SIZE_MAX;
    }
    if (openPush_ == SIZE_MAX) {
        std::size_t at = bytes_.size();
        Begin(op::Push);
        openPush_ = at;
    }
    bytes_.push_back(type);
    bytes_.insert(bytes_.end(), data, data + n);
    std::size_t len = bytes_.size() - openPush_ - 3;
    PatchU16(openPush_ + 1, static_cast<std::uint16_t>(len));
}

void Emitter::PushString(const std::string& s) {
    int index = s.size() < kMaxRecordData / 2 ? pool_.Index(s) : -1;
    if (index >= 0 && index < 256) {
        std::uint8_t b = static_cast<std::uint8_t>(index);
        PushValue(8, &b, 1);
    } else if (index >= 0) {
        std::uint8_t b[2] = {static_cast<std::uint8_t>(index & 0xFF), static_cast<std::uint8_t>(index >> 8)};
        PushValue(9, b, 2);
    } else {
        // Pushed inline; a string longer than a record can hold is an error of the caller.
        if (s.size() + 2 > kMaxRecordData) throw SyntaxError{{}, "string too long (more than 65533 bytes)"};
        std::vector<std::uint8_t> data(s.begin(), s.end());
        data.push_back(0);
        PushValue(0, data.data(), data.size());
    }
}

void Emitter::PushNumber(double v) {
    if (v == std::trunc(v) && v >= -2147483648.0 && v <= 2147483647.0 && !(v == 0 && std::signbit(v))) {
        auto i = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
        std::uint8_t b[4] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                             static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 24)};
        PushValue(7, b, 4);
        return;
    }
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    // A pushed double holds its high word first, each word little-endian.
    auto hi = static_cast<std::uint32_t>(bits >> 32), lo = static_cast<std::uint32_t>(bits);
    std::uint8_t b[8] = {static_cast<std::uint8_t>(hi), static_cast<std::uint8_t>(hi >> 8),
                         static_cast<std::uint8_t>(hi >> 16), static_cast<std::uint8_t>(hi >> 24),
                         static_cast<std::uint8_t>(lo), static_cast<std::uint8_t>(lo >> 8),
                         static_cast<std::uint8_t>(lo >> 16), static_cast<std::uint8_t>(lo >> 24)};
    PushValue(6, b, 8);
}

void Emitter::PushBool(bool v) {
    std::uint8_t b = v ? 1 : 0;
    PushValue(5, &b, 1);
}

void Emitter::PushNull() { PushValue(2, nullptr, 0); }
void Emitter::PushUndefined() { PushValue(3, nullptr, 0); }

void Emitter::PushRegister(int reg) {
    std::uint8_t b = static_cast<std::uint8_t>(reg);
    PushValue(4, &b, 1);
}

void Emitter::StoreRegister(int reg) {
    std::size_t r = Begin(op::StoreRegister);
    U8(static_cast<std::uint8_t>(reg));
    End(r);
}

int Emitter::NewLabel() {
    labels_.push_back(kNoLabel);
    return static_cast<int>(labels_.size() - 1);
}

void Emitter::Bind(int label) {
    openPush_ = SIZE_MAX;  // a branch lands here: no push may reach back over it
    labels_[label] = bytes_.size();
}

void Emitter::Branch(std::uint8_t code, int label, SourcePos pos) {
    std::size_t r = Begin(code);
    fixups_.push_back({bytes_.size(), label, pos});
    U16(0);
    End(r);
}

void Emitter::Resolve() {
    for (const Fixup& f : fixups_) {
        std::size_t target = labels_[f.label];
        if (target == kNoLabel) throw SyntaxError{f.pos, "internal error: branch without a target"};
        long long offset = static_cast<long long>(target) - static_cast<long long>(f.at + 2);
        if (offset < -32768 || offset > 32767)
            throw SyntaxError{f.pos, "branch too long: a loop or condition spans more than 32 KB of code"};
        PatchU16(f.at, static_cast<std::uint16_t>(static_cast<std::int16_t>(offset)));
    }
    fixups_.clear();
}

}  // namespace swf::as
