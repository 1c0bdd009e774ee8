#pragma once
// Resources compiled into the program and found by name, in place of a module's resource
// section: bitmaps (BMP data, with or without the file header), cursors and icons (CUR
// and ICO files) and raw data. Names are case-insensitive. A folder that compiles data
// in registers it once at start-up, usually through a static ResourceRegistrar.
#include <cstddef>
#include <optional>
#include <string>

#include "platform/core/exceptions.h"
#include "platform/core/wintypes.h"

namespace platform {

class EResNotFound : public Exception {
public:
    using Exception::Exception;
};

enum class ResourceType { Bitmap, Cursor, Icon, RCData };
constexpr ResourceType RT_BITMAP = ResourceType::Bitmap, RT_CURSOR = ResourceType::Cursor,
                       RT_ICON = ResourceType::Icon, RT_RCDATA = ResourceType::RCData;

struct ResourceData {
    const BYTE* data = nullptr;
    std::size_t size = 0;
};

// The data must stay valid for the life of the program (static arrays). A second
// registration of a name and type replaces the first.
void RegisterResource(const std::string& name, ResourceType type, const BYTE* data, std::size_t size);
std::optional<ResourceData> FindResourceData(const std::string& name, ResourceType type);
// Raises EResNotFound "Resource NAME not found".
ResourceData LoadResourceData(const std::string& name, ResourceType type);

struct ResourceRegistrar {
    ResourceRegistrar(const char* name, ResourceType type, const BYTE* data, std::size_t size) {
        RegisterResource(name, type, data, size);
    }
};

// The program's module handle as the resource calls take it (there is one module).
extern const HINSTANCE HInstance;

}  // namespace platform
