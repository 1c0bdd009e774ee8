// Hostile input for one picture reader (chosen by FUZZ_READER at build time): it must give
// a bitmap or EInvalidGraphic, nothing else; a bitmap it gives must write as BMP and read back.
#include <cstddef>
#include <cstdint>

#include "platform/core/exceptions.h"
#include "platform/graphics/pictures.h"

using namespace platform;

namespace {
HBITMAP Read(const std::uint8_t* data, std::size_t size) {
#if FUZZ_READER == 0
    return ReadBmp(data, size);
#elif FUZZ_READER == 1
    return ReadPng(data, size, nullptr);
#elif FUZZ_READER == 2
    return ReadJpeg(data, size);
#else
    return ReadIcon(data, size, nullptr);
#endif
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HBITMAP bm = nullptr;
    try {
        bm = Read(data, size);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    // An error here escapes and stops the run.
    auto again = WriteBmp(bm);
    DeleteObject(ReadBmp(again.data(), again.size()));
    DeleteObject(bm);
    return 0;
}
