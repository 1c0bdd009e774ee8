// Feeds arbitrary bytes to the skin archive reader; whatever the archive names, no file may
// appear but the target.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "skinctrl/skinarchive.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("skinarchive-fuzz-" + std::to_string(getpid()));
        fs::create_directories(d / "out");
        return d;
    }();
    fs::path archive = dir / "a.vxk", target = dir / "out" / "target";
    std::ofstream(archive, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    auto result = skinctrl::ExtractEntry(archive.string(), "SKINDATA.SK2", target.string(), "pw");
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.path() == archive || e.path() == dir / "out") continue;
        if (e.path() != target || result != skinctrl::TExtractResult::Extracted) __builtin_trap();
        ++files;
    }
    if (result == skinctrl::TExtractResult::Extracted && files != 1) __builtin_trap();
    fs::remove(target);
    return 0;
}
