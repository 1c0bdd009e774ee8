// Any text gives either an error or well-framed actions that keep the stack balanced.
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
    std::string fault = avm1::CheckStack(avm1::Read(result.actions));
    if (!fault.empty()) {
        std::fprintf(stderr, "unsound actions: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
