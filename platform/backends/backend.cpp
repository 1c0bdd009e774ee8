// Chooses the display backend at start: X11 when a display can be opened and the
// environment does not ask for the headless one.
#include <cstdlib>
#include <cstring>

#include "platform/graphics/gdi.h"
#include "platform/windows/backend.h"

namespace platform {
namespace {
// Never destroyed: windows that go while the program exits still reach the backend.
std::unique_ptr<WindowBackend>& Slot() {
    static auto* backend = new std::unique_ptr<WindowBackend>;
    return *backend;
}

bool HeadlessAsked() {
    const char* v = std::getenv("LUMACAST_HEADLESS");
    return v && *v && std::strcmp(v, "0") != 0;
}
}  // namespace

WindowBackend& Backend() {
    auto& slot = Slot();
    if (!slot) {
        if (!HeadlessAsked()) slot = CreateX11Backend();
        if (!slot) slot = CreateHeadlessBackend();
        TRect screen = slot->ScreenRect();
        SetScreenSize(screen.Width(), screen.Height());
    }
    return *slot;
}

void SetBackend(std::unique_ptr<WindowBackend> backend) {
    Slot() = std::move(backend);
    if (Slot()) {
        TRect screen = Slot()->ScreenRect();
        SetScreenSize(screen.Width(), screen.Height());
    }
}

}  // namespace platform
