#pragma once
// Small helpers of the player-maker tests: the shared temporary folder and whole-file reads/writes.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace pmtest {

using TempDir = testsupport::TempDir;

// The build folder: from the environment CTest gives, else from this test's own place
// (build/tests/<test>).
inline std::string BuildDir() {
    if (const char* dir = std::getenv("LUMACAST_BUILD_DIR")) return dir;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string();
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Deterministic bytes covering every value.
inline std::string PatternBytes(std::size_t n) {
    std::string s(n, '\0');
    unsigned x = 12345;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

}  // namespace pmtest
