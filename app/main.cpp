// lumacast start-up.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "platform/core/files.h"
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
    return RunApplication();
}
