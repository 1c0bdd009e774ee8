// Feeds arbitrary bytes to the profile reader as one profile file.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "libs/morvprofile/morvprofile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("morvprofile-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    std::ofstream(dir / "p.xml", std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                           static_cast<std::streamsize>(size));
    ProfileList list{};
    praseXMLFolder(dir.c_str(), &list);
    for (int i = 0; i < list.Count; ++i) {
        const ProfileEntry& e = list.Entries[i];
        for (int k = 0; k < e.ParamCount; ++k) {
            const ProfileParam& p = e.Params[k];
            if (p.DefaultIndex < 0 || p.DefaultIndex >= p.OptionCount) __builtin_trap();
        }
    }
    return 0;
}
