// Fuzz target: a disc made of a mutated VIDEO_TS.IFO and a mutated title set IFO.
// Input: a 2-byte big-endian length n, n bytes of VIDEO_TS.IFO, the rest VTS_01_0.IFO.
// The reader must answer with a result code, never crash or read out of bounds, and a
// successful result must hold together (counts within the arrays, chapters pointing
// back at their titles).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "libs/morvdvdread/internal.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace fs = std::filesystem;

namespace {

// The scratch disc folder's VIDEO_TS; never destroyed, so that the exit handler that
// removes the folder can still name it.
const fs::path& Folder() {
    static const fs::path* dir = [] {
        auto* d = new fs::path(fs::temp_directory_path() / ("morvdvdread-fuzz-" + std::to_string(getpid())) / "VIDEO_TS");
        fs::create_directories(*d);
        std::atexit([] { fs::remove_all(Folder().parent_path()); });
        return d;
    }();
    return *dir;
}

void Write(const fs::path& file, const uint8_t* data, size_t size) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Check(const DvdDisc* disc) {
    if (disc->titleSetCount < 0 || disc->titleSetCount > 99) std::abort();
    for (int s = 0; s < disc->titleSetCount; ++s) {
        const DvdTitleSet& set = disc->titleSets[s];
        for (int t = 0; t < set.titleCount; ++t) {
            const DvdTitle& title = set.titles[t];
            if (title.audioCount < 0 || title.audioCount > DVD_MAX_AUDIO_STREAMS) std::abort();
            if (title.subtitleCount < 0 || title.subtitleCount > DVD_MAX_SUBTITLE_STREAMS) std::abort();
            if (title.present && (title.chapterCount < 1 || !title.chapters)) std::abort();
            for (int c = 0; c < title.chapterCount; ++c)
                if (title.chapters[c].title != &title || title.chapters[c].lengthMs < 0) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t vmgSize = std::min<size_t>(size - 2, static_cast<size_t>(data[0]) << 8 | data[1]);
    const fs::path& dir = Folder();
    Write(dir / "VIDEO_TS.IFO", data + 2, vmgSize);
    Write(dir / "VTS_01_0.IFO", data + 2 + vmgSize, size - 2 - vmgSize);
    DvdDisc* disc = nullptr;
    if (parseDVD(&disc, dir.parent_path().c_str(), 0) == DVD_OK) Check(disc);
    if (parseIFO(&disc, (dir / "VTS_01_0.IFO").c_str(), 0) == DVD_OK) Check(disc);
    morvdvdread::ForgetDiscs();
    return 0;
}
