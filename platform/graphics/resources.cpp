#include "platform/graphics/resources.h"

#include <cctype>
#include <map>
#include <mutex>

namespace platform {
namespace {
std::mutex& Lock() {
    static std::mutex m;
    return m;
}
std::map<std::pair<std::string, ResourceType>, ResourceData>& Table() {
    static std::map<std::pair<std::string, ResourceType>, ResourceData> t;
    return t;
}
std::string Key(const std::string& name) {
    std::string k = name;
    for (char& c : k) c = char(std::toupper(static_cast<unsigned char>(c)));
    return k;
}
}  // namespace

const HINSTANCE HInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t(0x400000));

void RegisterResource(const std::string& name, ResourceType type, const BYTE* data, std::size_t size) {
    std::lock_guard lock(Lock());
    Table()[{Key(name), type}] = ResourceData{data, size};
}

std::optional<ResourceData> FindResourceData(const std::string& name, ResourceType type) {
    std::lock_guard lock(Lock());
    auto it = Table().find({Key(name), type});
    if (it == Table().end()) return std::nullopt;
    return it->second;
}

ResourceData LoadResourceData(const std::string& name, ResourceType type) {
    auto r = FindResourceData(name, type);
    if (!r) throw EResNotFound("Resource " + name + " not found");
    return *r;
}

}  // namespace platform
