#pragma once
// Input from the display. Backends (and headless tests) hand in pointer and key events at
// top-level window coordinates. They wait in an input queue; the message loop turns them
// into Windows messages one at a time, once the messages before them are handled, finding
// the target window then (capture, hit testing, window regions, disabled windows), as
// Windows does when it takes input from its input queue.
#include <string>

#include "platform/core/wintypes.h"

namespace platform {

enum class MouseButton { Left, Right, Middle };

// Pointer events at (x, y) in the top-level window's coordinates.
void InputMouseMove(HWND top, int x, int y);
void InputMouseButton(HWND top, int x, int y, MouseButton button, bool down);
// delta: WHEEL_DELTA per notch, positive away from the user.
void InputMouseWheel(HWND top, int x, int y, int delta);
// The pointer left every window of the program.
void InputMouseLeave(HWND top);
// A key went down or up (virtual-key code). Key-down while held repeats with repeat true.
void InputKey(WORD virtualKey, bool down, bool repeat = false);
// A character typed (a Unicode code point), sent after its key-down: WM_CHAR, or
// WM_SYSCHAR while Alt is held.
void InputChar(unsigned codePoint);

// Whether input waits; turns the oldest input event into messages (posted to the queue).
// False when no input waited.
bool HasPendingInput();
bool ProcessInputEvent();

// The window layer tells the input code about changes of the window tree.
void InputWindowDestroyed(HWND hwnd);
void InputWindowsChanged();

// Starts moving a top-level window with the pointer until the left button is released
// (what a press on a caption does), or, with a sizing-border hit code (HTLEFT ...
// HTBOTTOMRIGHT), moving the edges it names.
void BeginWindowDrag(HWND top, LRESULT edge = 2 /* HTCAPTION */);
bool IsWindowDragging();
// Starts dragging the thumb of a window's scroll bar (SB_HORZ / SB_VERT), taken grab pixels
// below its start: the window gets SB_THUMBTRACK while the pointer moves, then
// SB_THUMBPOSITION and SB_ENDSCROLL when the left button is released.
void BeginThumbTrack(HWND hwnd, int bar, int grab);

// Counts pointer moves, presses and leaves, so the message loop can tell when the control
// under the pointer may have changed.
unsigned InputPointerGeneration();

// Key state kept from the input seen, for GetKeyState.
void SetKeyDown(WORD virtualKey, bool down);

}  // namespace platform
