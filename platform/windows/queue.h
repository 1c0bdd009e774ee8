#pragma once
// How the window layer reaches window procedures: directly on the user-interface thread,
// through the core's queue (PostMessage, SendMessage) otherwise.
#include "platform/core/messages.h"
#include "platform/windows/window.h"

namespace platform::win {

// Calls the window's current procedure on this thread; 0 for a dead window.
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace platform::win

namespace platform {
// Input for a window (mouse, keys): it has room of its own in the queue, so a thread that
// floods the queue with posts cannot make the user's input get lost.
inline BOOL PostToWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return detail::PostInputMessage(hwnd, msg, wParam, lParam);
}
}  // namespace platform
