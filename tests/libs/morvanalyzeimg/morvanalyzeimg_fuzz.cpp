// Feeds arbitrary bytes to the skin reader as one skin document, then asks for names.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "libs/morvanalyzeimg/morvanalyzeimg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("morvanalyzeimg-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(d / "pics");
        return d;
    }();
    std::string path = (dir / "s.xml").string();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    OpenSkinDocument(path.c_str());
    for (const char* section : {"main", "clip", "x"}) {
        SkinSectionHandle h = GetSkinSection(section);
        for (const char* item : {"mainFormCreate", "btnPlay", "Background", ""}) {
            const SkinItem* it = GetSkinItem(h, item);
            if (!it || !it->Image || it->Width < 0 || it->Height < 0) __builtin_trap();
            (void)std::strlen(it->Image);
        }
    }
    const char* folder = nullptr;
    GetSkinImageFolder(&folder);
    if (!folder) __builtin_trap();
    const SkinInfo* info = GetSkinInfo();
    if (!info || !info->Name || !info->Path) __builtin_trap();
    return 0;
}
