#pragma once
// What the main-window tests share: a headless display, a temporary settings store and a
// temporary program folder holding a copy of the built skins and profiles.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "formbase/settings.h"
#include "jobmodel/report.h"
#include "platform/core/registry.h"
#include "platform/windows/backend.h"
#include "support/tempdir.h"

namespace apptest {

namespace fs = std::filesystem;

inline void UseHeadlessDisplay() {
    static bool done = false;
    if (done) return;
    done = true;
    platform::SetBackend(platform::CreateHeadlessBackend(1024, 768));
}

inline fs::path BuiltProgramFolder() {
    const char* dir = std::getenv("LUMACAST_PROGRAM_DIR");
    return dir ? fs::path(dir) : fs::path("lumacast");
}

// A settings store and a program folder of the test's own.
struct Sandbox {
    testsupport::TempDir store;
    testsupport::TempDir program;
    std::string home;
    explicit Sandbox(bool withSkins = true) {
        if (const char* h = std::getenv("HOME")) home = h;
        setenv("LUMACAST_REGISTRY_DIR", store.str().c_str(), 1);
        setenv("HOME", store.str().c_str(), 1);
        if (withSkins) {
            fs::copy(BuiltProgramFolder() / "Images", program.path() / "Images", fs::copy_options::recursive);
            fs::copy(BuiltProgramFolder() / "profile", program.path() / "profile", fs::copy_options::recursive);
        }
        SetProgramFolder(program.str());
    }
    ~Sandbox() {
        SetProgramFolder("");
        unsetenv("LUMACAST_REGISTRY_DIR");
        if (home.empty())
            unsetenv("HOME");
        else
            setenv("HOME", home.c_str(), 1);
    }
    std::string Folder() const { return program.str() + "/"; }
    std::string DefaultSkin() const { return Folder() + "Images/DefaultImage.xml"; }
};

// The setting key's values as the store holds them ("<missing>" for none).
inline std::string StoredSetting(const std::string& name) {
    platform::TRegistry registry;
    registry.SetRootKey(platform::HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(kSettingKey)) return "<no key>";
    if (!registry.ValueExists(name)) return "<missing>";
    return registry.ReadString(name);
}

inline void StoreSetting(const std::string& name, const std::string& value) {
    platform::TRegistry registry;
    registry.SetRootKey(platform::HKEY_CURRENT_USER);
    registry.OpenKey(kSettingKey, true);
    registry.WriteString(name, value);
}

// Collects the job model's reports while it lives.
struct Reports {
    std::vector<std::string> lines;
    jobmodel::JobModelReporter previous;
    Reports() {
        previous = jobmodel::SetJobModelReporter([this](const std::string& m) { lines.push_back(m); });
    }
    ~Reports() { jobmodel::SetJobModelReporter(previous); }
};

}  // namespace apptest
