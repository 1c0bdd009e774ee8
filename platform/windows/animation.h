#pragma once
// Showing and hiding a window with an animation.
#include "platform/core/wintypes.h"

namespace platform {

// Shows or hides a window; the animation itself is not played, the end state is reached at
// once (AW_HIDE hides, anything else shows without activating unless AW_ACTIVATE).
constexpr DWORD AW_HOR_POSITIVE = 0x1, AW_HOR_NEGATIVE = 0x2, AW_VER_POSITIVE = 0x4, AW_VER_NEGATIVE = 0x8,
                AW_CENTER = 0x10, AW_HIDE = 0x10000, AW_ACTIVATE = 0x20000, AW_SLIDE = 0x40000,
                AW_BLEND = 0x80000;
BOOL AnimateWindow(HWND hwnd, DWORD time, DWORD flags);

}  // namespace platform
