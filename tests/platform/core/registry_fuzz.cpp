// Feeds arbitrary bytes to the settings-store parser. Whatever parses must serialize back
// to text that parses to the same keys and values.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/core/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace platform::regstore;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<Key> keys;
    std::string error;
    if (!Parse(text, keys, error)) {
        if (error.empty() || !keys.empty()) std::abort();
        return 0;
    }
    std::string again = Serialize(keys);
    std::vector<Key> back;
    if (!Parse(again, back, error) || Serialize(back) != again || back.size() != keys.size()) std::abort();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (back[i].path != keys[i].path || back[i].values.size() != keys[i].values.size()) std::abort();
        for (size_t j = 0; j < keys[i].values.size(); ++j)
            if (back[i].values[j].name != keys[i].values[j].name || back[i].values[j].data != keys[i].values[j].data ||
                back[i].values[j].type != keys[i].values[j].type)
                std::abort();
    }
    return 0;
}
