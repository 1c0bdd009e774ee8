#pragma once
// Internal: what the X11 backend lends to the services that talk to the display beside it
// (selections, drag and drop): its connection, the X window of a top-level window, and a
// place to see events before the backend does. Everything runs on the user-interface thread.
#include <functional>

#include "platform/core/wintypes.h"

struct _XDisplay;
union _XEvent;

namespace platform::x11 {

// The X11 backend's connection; null when another backend is in use.
_XDisplay* CurrentDisplay();
// The X window showing a top-level window (0 when none).
unsigned long WindowOf(HWND top);
// The top-level window an X window shows (null when none of ours).
HWND WindowFromX(unsigned long xid);
// Filters see every event first; one that returns true has handled it.
void AddEventFilter(std::function<bool(_XEvent&)> filter);
// A top-level window's X window was made; services that mark windows (drop targets) hook it.
void AddWindowCreatedHook(std::function<void(HWND, unsigned long)> hook);

}  // namespace platform::x11
