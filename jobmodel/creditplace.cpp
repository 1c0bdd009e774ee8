#include "jobmodel/creditplace.h"

#include <cstdint>

namespace jobmodel {

int CreditTextOffset(int axis, int size, int outputWidth, int outputHeight) {
    if (size == 0) return 0;
    std::int64_t extent;
    if (axis == kCreditHorizontal)
        extent = outputWidth;
    else if (axis == kCreditVertical)
        extent = outputHeight;
    else
        return 0;
    // Half of a 33-bit difference always fits an int again.
    return static_cast<int>((extent - size) / 2);
}

}  // namespace jobmodel
