#include "platform/backends/headless.h"

#include "platform/windows/messages.h"

namespace platform {

void HeadlessBackend::WindowCreated(HWND hwnd, const TRect& bounds, DWORD style, DWORD /*exStyle*/) {
    TopWindow& w = windows_[hwnd];
    w = TopWindow();
    w.bounds = bounds;
    w.popup = (style & WS_POPUP) != 0;
    w.framed = (style & WS_CAPTION) != 0;
}

HeadlessBackend::TopWindow HeadlessBackend::Window(HWND hwnd) const {
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? TopWindow() : it->second;
}

std::unique_ptr<WindowBackend> CreateHeadlessBackend(int screenWidth, int screenHeight) {
    return std::make_unique<HeadlessBackend>(screenWidth, screenHeight);
}

}  // namespace platform
