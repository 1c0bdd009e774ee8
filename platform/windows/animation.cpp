// Showing and hiding a window with an animation.
#include "platform/windows/animation.h"

#include "platform/windows/window.h"
#include "platform/windows/wininternal.h"

namespace platform {

BOOL AnimateWindow(HWND hwnd, DWORD /*time*/, DWORD flags) {
    if (!win::Find(hwnd)) return FALSE;
    if (flags & AW_HIDE) return ShowWindow(hwnd, SW_HIDE), TRUE;
    ShowWindow(hwnd, (flags & AW_ACTIVATE) ? SW_SHOW : SW_SHOWNA);
    return TRUE;
}

}  // namespace platform
