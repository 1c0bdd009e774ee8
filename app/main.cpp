// lumacast start-up.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
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
    std::size_t abandoned = 0;
    std::string left;
    for (const std::string& name : platform::RunningThreads()) {
        if (name == platform::kAbandonedThreadName) ++abandoned;
        else left += (left.empty() ? "" : ", ") + name;
    }
    if (!left.empty()) std::fprintf(stderr, "lumacast: threads still running at exit: %s\n", left.c_str());
    (void)abandoned;  // they own what they use and end on their own
    return status;
}
