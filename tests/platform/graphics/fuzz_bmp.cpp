// Hostile input for the bmp reader: it must give a bitmap or EInvalidGraphic, nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/core/exceptions.h"
#include "platform/graphics/pictures.h"

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HBITMAP bm = nullptr;
    try {
        bm = ReadBmp(data, size);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    // What was read must write and read again; an error here escapes and stops the run.
    auto again = WriteBmp(bm);
    DeleteObject(ReadBmp(again.data(), again.size()));
    DeleteObject(bm);
    return 0;
}
