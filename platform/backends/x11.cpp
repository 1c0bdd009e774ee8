#include "platform/windows/backend.h"

namespace platform {
std::unique_ptr<WindowBackend> CreateX11Backend(const char*) { return nullptr; }
}  // namespace platform
