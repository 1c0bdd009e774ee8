#include "playermaker/cipher.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "playermaker/morvbrindle.h"

namespace morvbrindle {

namespace {

long long NonNegativeRemainder(long long a, long long n) {
    long long r = a % n;
    return r < 0 ? r + n : r;
}

unsigned char RotateLeft(unsigned char b, int k) {
    k &= 7;
    if (k == 0) return b;
    return static_cast<unsigned char>((b << k) | (b >> (8 - k)));
}

// A file that can seek: read directly, length from the file system.
class FileInput final : public TemplateInput {
public:
    FileInput(std::FILE* file, bool owns) : TemplateInput(file, owns) {
        struct stat st {};
        if (fstat(fileno(file_), &st) != 0) {
            error_ = kbnErrNoFileSize;
        } else {
            length_ = static_cast<long>(st.st_size);
        }
        position_ = std::ftell(file_);
        if (position_ < 0) position_ = 0;
    }

    bool Buffered() const override { return false; }

    int GetByte() override {
        int c = std::fgetc(file_);
        if (c == EOF) {
            length_ = position_;
        } else {
            ++position_;
        }
        return c;
    }

    std::size_t Read(void* dest, std::size_t n) override {
        std::size_t got = std::fread(dest, 1, n, file_);
        position_ += static_cast<long>(got);
        return got;
    }

    void Seek(long offset, int origin) override {
        long target = offset;
        if (origin == SEEK_CUR) target = position_ + offset;
        if (origin == SEEK_END) target = length_ - offset;
        if (std::fseek(file_, target, SEEK_SET) != 0) {
            error_ = SeekErrorNumber(errno);
        }
        position_ = std::max(0L, target);
    }

    bool AtEnd() override { return std::feof(file_) != 0; }
};

// A file that cannot seek (a pipe): what was read stays buffered, up to kStreamCap bytes.
class StreamInput final : public TemplateInput {
public:
    StreamInput(std::FILE* file, bool owns) : TemplateInput(file, owns) {}

    bool Buffered() const override { return true; }

    int GetByte() override {
        if (position_ < length_) return buffer_[position_++];
        if (!Fill(position_ + 1) || position_ >= length_) return EOF;
        return buffer_[position_++];
    }

    std::size_t Read(void* dest, std::size_t n) override {
        long want = static_cast<long>(std::min<std::size_t>(n, static_cast<std::size_t>(kStreamCap)));
        Fill(position_ + want);
        long count = std::max(0L, std::min(want, length_ - position_));
        if (count > 0) std::copy_n(buffer_.data() + position_, count, static_cast<unsigned char*>(dest));
        position_ += count;
        return static_cast<std::size_t>(count);
    }

    void Seek(long offset, int origin) override {
        long target = offset;
        if (origin == SEEK_CUR) target = position_ + offset;
        if (origin == SEEK_END) {
            Fill(kStreamCap);
            target = length_ - offset;
        }
        position_ = std::max(0L, target);
    }

    bool AtEnd() override {
        if (position_ < length_) return false;
        return std::feof(file_) != 0 || length_ >= kStreamCap;
    }

private:
    // Takes bytes from the stream until `upTo` bytes are buffered, the stream ends or the cap
    // is reached. Returns false when the stream ended (or the cap was reached) before.
    bool Fill(long upTo) {
        upTo = std::min(upTo, kStreamCap);
        while (length_ < upTo) {
            // Take the stream in whole steps; the vector itself grows geometrically.
            const long stepEnd = std::min((length_ / kStreamStep + 1) * kStreamStep, kStreamCap);
            buffer_.resize(static_cast<std::size_t>(stepEnd));
            std::size_t got = std::fread(buffer_.data() + length_, 1, static_cast<std::size_t>(stepEnd - length_), file_);
            length_ += static_cast<long>(got);
            buffer_.resize(static_cast<std::size_t>(length_));
            if (got == 0) return false;
        }
        return true;
    }

    std::vector<unsigned char> buffer_;
};

}  // namespace

int CipherRotation(long long pos, long long keySum) {
    long long s = pos + keySum;
    long long k = NonNegativeRemainder(s, 11) + NonNegativeRemainder(s, 13) +
                  NonNegativeRemainder(s, 19) + NonNegativeRemainder(s, 29);
    return static_cast<int>(k % 8);
}

long long CipherKeySum(std::string_view key) {
    long long sum = 0;
    for (char c : key) sum += static_cast<signed char>(c);
    return sum;
}

void ApplyCipher(std::span<unsigned char> data, int mode, std::string_view key) {
    if (key.empty()) return;
    const long long keySum = CipherKeySum(key);
    const std::size_t m = key.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        const int k = CipherRotation(static_cast<long long>(i), keySum);
        const auto keyByte = static_cast<unsigned char>(key[i % m]);
        unsigned char b = data[i];
        if (mode == 0) {
            b = RotateLeft(static_cast<unsigned char>(b ^ keyByte), k);
        } else {
            b = static_cast<unsigned char>(RotateLeft(b, 8 - k) ^ keyByte);
        }
        data[i] = b;
    }
}

int SeekErrorNumber(int err) {
    switch (err) {
        case EBADF: return kbnErrBadHandle;
        case EINVAL: return kbnErrBadSeek;
        default: return kbnErrSeekFailed;
    }
}

TemplateInput::~TemplateInput() {
    if (owns_ && file_) std::fclose(file_);
}

std::unique_ptr<TemplateInput> TemplateInput::Open(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file) return nullptr;
    return FromFile(file, true);
}

std::unique_ptr<TemplateInput> TemplateInput::FromFile(std::FILE* file, bool owns) {
    if (std::fseek(file, 0, SEEK_CUR) != 0) {
        return std::unique_ptr<TemplateInput>(new StreamInput(file, owns));
    }
    return std::unique_ptr<TemplateInput>(new FileInput(file, owns));
}

bool TemplateInput::ReadWhole(std::string& out) {
    const long start = position_;
    Seek(0, SEEK_END);
    Seek(start, SEEK_SET);
    if (error_ != 0) return false;
    const long length = length_ - position_;
    if (length < 0) return false;
    std::string data(static_cast<std::size_t>(length), '\0');
    if (Read(data.data(), data.size()) != data.size()) return false;
    out = std::move(data);
    return true;
}

CipherFileResult ReadCipherFile(const std::string& path, int mode, std::string_view key) {
    CipherFileResult result;
    auto input = TemplateInput::Open(path);
    if (!input) {
        result.error = kbnErrNoTemplate;
        return result;
    }
    if (!input->ReadWhole(result.text)) {
        result.error = input->Error() != 0 ? input->Error() : kbnErrNoTemplate;
        result.text.clear();
        return result;
    }
    ApplyCipher({reinterpret_cast<unsigned char*>(result.text.data()), result.text.size()}, mode, key);
    return result;
}

}  // namespace morvbrindle
