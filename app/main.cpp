// lumacast start-up.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/threads.h"
#include "platform/windows/backend.h"

int main() {
    // Before anything writes: a file-size limit must give write errors, never end the program.
    platform::IgnoreFileSizeSignal();
    // Nor may a closed pipe (standard error of `lumacast | head`, a launcher's log gone).
    platform::IgnoreBrokenPipeSignal();
    // The program is for a desktop; the headless backend is for tests (LUMACAST_HEADLESS).
    const char* headless = std::getenv("LUMACAST_HEADLESS");
    if (!headless || std::strcmp(headless, "0") == 0) {
        auto display = platform::CreateX11Backend();
        if (!display) {
            const char* name = std::getenv("DISPLAY");
            std::fprintf(stderr, "lumacast: no X display can be opened (DISPLAY=%s); lumacast needs a desktop\n",
                         name && *name ? name : "not set");
            return 1;
        }
        platform::SetBackend(std::move(display));
    }
    int status = RunApplication();
    // No thread may outlive main: it would meet the static objects already destroyed.
    platform::EndPlatformThreads();
    // A thread told to end may still be on its way out (one that let itself go finishing
    // its last step): it gets a moment before anything static is destroyed.
    constexpr int kExitWaits = 100;
    constexpr platform::DWORD kExitWaitMs = 20;
    std::string left;
    for (int wait = 0; wait <= kExitWaits; ++wait) {
        left.clear();
        for (const std::string& name : platform::RunningThreads())
            // Abandoned threads own what they use and end on their own.
            if (name != platform::kAbandonedThreadName) left += (left.empty() ? "" : ", ") + name;
        if (left.empty()) break;
        if (wait < kExitWaits) platform::Sleep(kExitWaitMs);
    }
    if (!left.empty()) std::fprintf(stderr, "lumacast: threads still running at exit: %s\n", left.c_str());
    return status;
}
