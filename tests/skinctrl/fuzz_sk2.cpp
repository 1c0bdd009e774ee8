// Feeds arbitrary bytes to the skin record decoder and reads what it kept.
#include <cstdint>

#include "platform/core/exceptions.h"
#include "skinctrl/sk2reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    skinctrl::Tsk2SkinFileReader reader;
    try {
        reader.LoadFromData(data, size);
    } catch (const platform::Exception&) {
        if (reader.Loaded() || reader.BitmapCount() != 0) __builtin_trap();  // a bad bitmap leaves nothing
        return 0;
    }
    for (const char* key : skinctrl::SKIN2_SKINFILE_KEYNAME) {
        if (platform::TBitmap* b = reader.GetBitmap(key))
            if (b->Width() <= 0 || b->Height() <= 0) __builtin_trap();
        reader.GetInteger(key);
        reader.GetBool(key);
        reader.GetStr(key);
    }
    return 0;
}
