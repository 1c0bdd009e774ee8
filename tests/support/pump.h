#pragma once
// Running the calling thread's message queue in a test, without a message loop.
#include "platform/core/messages.h"
#include "platform/windows/input.h"
#include "platform/windows/window.h"

namespace testsupport {

// Runs the posted messages, due timers and calls carried from other threads until the
// queue is empty.
inline void PumpMessages() {
    platform::MSG msg;
    while (platform::PeekMessage(&msg, nullptr, 0, 0, platform::PM_REMOVE)) platform::DispatchMessage(&msg);
}

// With windows: also the backend's input and the paint cycle, until nothing is left to
// do (at most 100 rounds, so that a window that keeps asking for work cannot hang a test).
inline void PumpWindows() {
    for (int round = 0; round < 100; ++round) {
        do {
            PumpMessages();
        } while (platform::ProcessInputEvent());
        platform::PaintPendingWindows();
        platform::MSG msg;
        if (!platform::PeekMessage(&msg, nullptr, 0, 0, platform::PM_NOREMOVE) && !platform::HasPendingPaint() &&
            !platform::HasPendingInput())
            return;
    }
}

}  // namespace testsupport
