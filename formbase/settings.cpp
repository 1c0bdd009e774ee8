// The program settings over the per-user registry store.
#include "formbase/settings.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <vector>

#include "jobmodel/report.h"
#include "platform/core/files.h"
#include "platform/core/registry.h"

using namespace platform;

namespace {

// Missing, empty and "0" all mean "not set".
bool IsUnset(const std::string& value) { return value.empty() || value == "0"; }

// The whole number a text holds: an optional sign and decimal digits, within 32 bits.
bool ParseWholeNumber(const std::string& text, int& value) {
    if (text.empty()) return false;
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size()) return false;
    for (std::size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return false;
    errno = 0;
    char* end = nullptr;
    long long n = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || n < INT_MIN || n > INT_MAX) return false;
    value = int(n);
    return true;
}

// A value that is no string reads as unset, with a report.
std::string ReadText(TRegistry& registry, const char* name) {
    try {
        return registry.ReadString(name);
    } catch (const std::exception& e) {
        jobmodel::ReportJobModelProblem(std::string("setting \"") + name + "\" not used: " + e.what());
        return "";
    }
}

void WriteText(TRegistry& registry, const char* name, const std::string& value) {
    try {
        registry.WriteString(name, value);
    } catch (const std::exception& e) {
        jobmodel::ReportJobModelProblem(std::string("setting \"") + name + "\" not saved: " + e.what());
    }
}

bool OpenOrCreate(TRegistry& registry, const char* key) {
    bool opened = registry.OpenKey(key, false) || registry.OpenKey(key, true);
    registry.CloseKey();
    return opened;
}

std::string gProgramFolder;

}  // namespace

std::string ProgramFolder() {
    return gProgramFolder.empty() ? IncludeTrailingPathDelimiter(ProgramDir()) : gProgramFolder;
}

void SetProgramFolder(const std::string& folder) {
    gProgramFolder = folder.empty() ? folder : IncludeTrailingPathDelimiter(folder);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/tmp";
}

std::string DefaultSkinPath(const std::string& programDir) {
    return IncludeTrailingPathDelimiter(programDir) + "Images/DefaultImage.xml";
}

void LoadProgramSettings(ProgramSettings& settings, const std::string& programDir) {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    OpenOrCreate(registry, kMakerKey);
    OpenOrCreate(registry, kSettingKey);
    if (!registry.OpenKey(kSettingKey, false)) {
        jobmodel::ReportJobModelProblem("the settings store cannot be used; the program runs on its defaults");
        return;
    }
    std::string home = IncludeTrailingPathDelimiter(HomeFolder());
    settings.OutputFolder = ReadText(registry, "media_output_dir");
    settings.SnapshotFolder = ReadText(registry, "snapshot_output_dir");
    if (IsUnset(settings.OutputFolder)) settings.OutputFolder = home + "VelmoraSoft Product OutPut/";
    if (IsUnset(settings.SnapshotFolder)) settings.SnapshotFolder = home + "VelmoraSoft Product Snapshot/";

    std::string autoUpdate = ReadText(registry, "AutoUpdate");
    int value = 0;
    if (IsUnset(autoUpdate)) {
        settings.AutoUpdate = 0;
        WriteText(registry, "AutoUpdate", "0");
    } else if (ParseWholeNumber(autoUpdate, value)) {
        settings.AutoUpdate = value;
    } else {
        // A damaged value must not stop every start: it counts as "off" and is mended.
        jobmodel::ReportJobModelProblem("setting \"AutoUpdate\" is not a number (\"" + autoUpdate +
                                        "\"); the update check stays off");
        settings.AutoUpdate = 0;
        WriteText(registry, "AutoUpdate", "0");
    }

    std::string skin = ReadText(registry, "Skin");
    if (IsUnset(skin) || !FileExists(skin)) {
        settings.SkinPath = DefaultSkinPath(programDir);
        WriteText(registry, "Skin", settings.SkinPath);
    } else {
        settings.SkinPath = skin;
    }
    registry.CloseKey();
}

void StoreSkinSetting(const std::string& skinPath) {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    if (!registry.OpenKey(kSettingKey, true)) {
        jobmodel::ReportJobModelProblem("setting \"Skin\" not saved: the settings key cannot be opened");
        return;
    }
    WriteText(registry, "Skin", skinPath);
    registry.CloseKey();
}
