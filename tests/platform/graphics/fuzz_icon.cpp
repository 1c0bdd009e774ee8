// Hostile input for the icon reader: it must give a bitmap or EInvalidGraphic, nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/core/exceptions.h"
#include "platform/graphics/pictures.h"

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        HBITMAP bm = ReadIcon(data, size, nullptr);

        DeleteObject(bm);
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
