// Any bytes handed to the converter's probing path: it must answer with a result code,
// never crash, hang or leak.
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "libs/morvconverter/internal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
    (void)quiet;
    std::vector<std::uint8_t> bytes(data, data + size);
    morvconv::InputPlan in;
    in.memory = &bytes;
    morvconv::ProbeResult result;
    int r = morvconv::Probe(in, result);
    if (r == 0 && (result.width <= 0 || result.height <= 0)) __builtin_trap();  // success means a picture
    return 0;
}
