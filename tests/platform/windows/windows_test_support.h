#pragma once
// Helpers of the window tests: the headless backend and a pump that runs the queue and
// the paint cycle until nothing is left to do.
#include "platform/core/messages.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/window.h"
#include "support/pump.h"

namespace platform::test {

inline void UseHeadlessBackend() {
    static bool done = false;
    if (done) return;
    done = true;
    SetBackend(CreateHeadlessBackend(1024, 768));
}

// Runs the queue, input and the paint cycle until nothing is left to do.
inline constexpr auto& Pump = testsupport::PumpWindows;

}  // namespace platform::test
