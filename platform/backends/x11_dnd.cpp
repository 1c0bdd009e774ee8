// Drags between programs on X11 (XDND): filled in below.
#include "platform/windows/dnd_internal.h"

namespace platform {

std::unique_ptr<TOutsideDrag> CreateOutsideDrag() { return nullptr; }

}  // namespace platform
