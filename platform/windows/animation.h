#pragma once
// Showing and hiding a window with an animation.
#include <functional>

#include "platform/core/wintypes.h"

namespace platform {

constexpr DWORD AW_HOR_POSITIVE = 0x1, AW_HOR_NEGATIVE = 0x2, AW_VER_POSITIVE = 0x4, AW_VER_NEGATIVE = 0x8,
                AW_CENTER = 0x10, AW_HIDE = 0x10000, AW_ACTIVATE = 0x20000, AW_SLIDE = 0x40000,
                AW_BLEND = 0x80000;

// Shows or hides a window (AW_HIDE hides; showing activates only with AW_ACTIVATE).
// A slide (AW_SLIDE with a direction, time > 0) returns at once and runs in steps from a
// timer on the current clock: the window stays in place and its region uncovers (or, when
// hiding, covers) it from the edge the direction names, so on a display each step re-shapes
// the window. At the end the window's own region is back, and onEnd runs. Anything else
// (no direction, AW_BLEND, AW_CENTER, time 0) reaches the end state at once and runs onEnd
// before returning. FALSE, without onEnd, for an unknown window, for hiding a hidden one or
// showing a visible one. A new animation of the window first ends the running one.
BOOL AnimateWindow(HWND hwnd, DWORD time, DWORD flags, std::function<void()> onEnd = {});

// Stops a running animation of the window where it is, without its onEnd; the window's own
// region is given back. For owners that go before their animation ends.
void CancelWindowAnimation(HWND hwnd);
// Whether an animation of the window is running.
bool IsWindowAnimating(HWND hwnd);

}  // namespace platform
