// Feeds arbitrary bytes to a file theme as a skin file: the whole road from the archive to
// the record data. Nothing may be left in the temporary folder.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "skinctrl/dvxfiletheme.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("skintheme-fuzz-" + std::to_string(getpid()));
        fs::create_directories(d / "tmp");
        setenv("TMPDIR", (d / "tmp").c_str(), 1);
        return d;
    }();
    fs::path skin = dir / "s.vxk";
    std::ofstream(skin, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    skinctrl::TdvxFileTheme theme;
    theme.SetPassword("pw");
    theme.SetThemeFile(skin.string());
    if (theme.Ready()) {
        theme.GetColor(skinctrl::SKIN2_FORMCOLOR);
        platform::TBitmap frame;
        theme.GetBitmap2(skinctrl::SKIN2_BUTTON, &frame, 3, 2);
    }
    if (!fs::is_empty(dir / "tmp")) __builtin_trap();
    return 0;
}
