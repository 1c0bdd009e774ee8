// lumacast start-up.
#include <cstdio>

#include "platform/core/files.h"

int main() {
    // Before anything writes: a file-size limit must give write errors, never end the program.
    platform::IgnoreFileSizeSignal();
    std::printf("lumacast %s\n", "0.1");
    return 0;
}
