#pragma once
// Shared by the fuzz targets: a valid seed built in code is changed by the fuzzer's bytes,
// so that mutations reach deep into the formats without committed sample files.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace swffuzz {

using Bytes = std::vector<std::uint8_t>;

// Every three input bytes: a position (16 bits, modulo the size) and a value XORed there.
// The first input byte chooses to cut the seed at a point given by the next two.
inline Bytes Edited(const Bytes& seed, const std::uint8_t* data, size_t size) {
    Bytes out = seed;
    size_t i = 0;
    if (size >= 3 && (data[0] & 1)) {
        out.resize(((data[1] << 8) | data[2]) % (out.size() + 1));
        i = 3;
    }
    for (; i + 3 <= size && !out.empty(); i += 3) out[((data[i] << 8) | data[i + 1]) % out.size()] ^= data[i + 2];
    return out;
}

// A folder for the files a target writes, removed at exit.
struct Scratch {
    Scratch() {
        dir = std::filesystem::temp_directory_path() / ("lumacast-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string File(const std::string& name) const { return (dir / name).string(); }
    void Write(const std::string& name, const Bytes& b) const {
        std::FILE* f = std::fopen(File(name).c_str(), "wb");
        if (!f) return;
        if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
    std::filesystem::path dir;
};

}  // namespace swffuzz
