// A second program for the desktop tests of the clipboard: "copy TEXT" puts TEXT on the
// clipboard and ends, so its exit must hand the text to a clipboard manager.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/windows/backend.h"
#include "platform/windows/clipboard.h"

int main(int argc, char** argv) {
    using namespace platform;
    if (argc == 3 && std::strcmp(argv[1], "copy") == 0) {
        if (Backend().Name() != "x11") {
            std::fprintf(stderr, "no X display\n");
            return 2;
        }
        Clipboard()->SetAsText(argv[2]);
        std::printf("copied\n");
        return 0;
    }
    std::fprintf(stderr, "usage: %s copy TEXT\n", argv[0]);
    return 2;
}
