#pragma once
// Helpers of the window tests: the headless backend and a pump that runs the queue and
// the paint cycle until nothing is left to do.
#include "platform/core/messages.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/window.h"

namespace platform::test {

inline void UseHeadlessBackend() {
    static bool done = false;
    if (done) return;
    done = true;
    SetBackend(CreateHeadlessBackend(1024, 768));
}

inline void Pump() {
    for (int round = 0; round < 100; ++round) {
        MSG m;
        do {
            while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
        } while (ProcessInputEvent());
        PaintPendingWindows();
        if (!PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE) && !HasPendingPaint() && !HasPendingInput()) return;
    }
}

}  // namespace platform::test
