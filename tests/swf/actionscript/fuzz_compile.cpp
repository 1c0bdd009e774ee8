// Any text gives either an error or actions whose records are well framed.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "avm1.h"
#include "swf/actionscript/compiler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto result = swf::as::Compile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (result.error) {
        if (result.error->line < 1 || result.error->column < 1 || result.error->message.empty()) std::abort();
        return 0;
    }
    avm1::Listing listing = avm1::Read(result.actions);
    if (!listing.error.empty()) {
        std::fprintf(stderr, "badly framed actions: %s\n", listing.error.c_str());
        std::abort();
    }
    return 0;
}
