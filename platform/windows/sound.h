#pragma once
// The sounds a program makes to get the user's attention.
#include "platform/core/wintypes.h"

namespace platform {

// Sounds the display's bell.
BOOL MessageBeep(UINT type);

}  // namespace platform
