// The optical drives of the machine, from sysfs, the mount table and udev's database.
// Files and folders are read with the C library's calls, not the C++ library's streams
// and paths: a program that only lists a disc would otherwise pay for their start-up.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "libs/morvdvdread/internal.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace morvdvdread {

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool FolderNames(const std::string& dir, std::vector<std::string>& names) {
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(d);
        if (!entry) break;
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        names.emplace_back(n);
    }
    const bool complete = errno == 0;
    closedir(d);
    return complete;
}

namespace {

// Reads a text file line by line (without the line breaks); nothing when it cannot be opened.
template <typename Each>
void ForEachLine(const std::string& file, Each each) {
    FILE* in = std::fopen(file.c_str(), "re");
    if (!in) return;
    char* buffer = nullptr;
    std::size_t capacity = 0;
    for (ssize_t n; (n = getline(&buffer, &capacity, in)) >= 0;) {
        std::string line(buffer, std::size_t(n));
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (!each(line)) break;
    }
    std::free(buffer);
    std::fclose(in);
}

std::mutex g_rootLock;
std::string g_systemRoot = "/";

std::string SystemRoot() {
    std::lock_guard lock(g_rootLock);
    return g_systemRoot;
}

std::string ReadFirstLine(const std::string& file) {
    std::string line;
    ForEachLine(file, [&](std::string& first) {
        line = std::move(first);
        return false;
    });
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

// Mount-table fields escape blanks, tabs, newlines and backslashes as \ooo.
std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + i + 1, field.begin() + i + 4, [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

struct Drive {
    int number = 0;  // N of srN
    std::string device;
    std::string mountPoint;
    std::string label;
    std::string model;
    bool udevKnown = false;
    bool readsDvd = true;
    bool mediumKnownAbsent = false;
    bool dvdPresent = false;
};

std::map<std::string, std::string> UdevProperties(const std::string& root, const std::string& majorMinor) {
    std::map<std::string, std::string> props;
    if (majorMinor.empty()) return props;
    ForEachLine(JoinPath(JoinPath(root, "run/udev/data"), "b" + majorMinor), [&](const std::string& line) {
        if (line.rfind("E:", 0) != 0) return true;
        auto eq = line.find('=');
        if (eq != std::string::npos) props[line.substr(2, eq - 2)] = line.substr(eq + 1);
        return true;
    });
    return props;
}

// The optical drives sr0 .. sr22 (those that have a drive id), in drive-number order.
// `error` is set when the block devices' folder exists but cannot be read.
std::vector<Drive> ListDrives(bool& error) {
    error = false;
    const std::string root = SystemRoot();
    std::vector<Drive> drives;
    const std::string blockDir = JoinPath(root, "sys/class/block");
    struct stat st;
    if (stat(blockDir.c_str(), &st) != 0) return drives;  // no block devices at all: no drives
    std::vector<std::string> names;
    if (!FolderNames(blockDir, names)) {
        error = true;
        return {};
    }
    for (const std::string& name : names) {
        if (name.size() < 3 || name.rfind("sr", 0) != 0 ||
            !std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            name.size() > 4)
            continue;
        Drive d;
        d.number = std::atoi(name.c_str() + 2);
        if (d.number > 'Z' - 'D') continue;
        d.device = "/dev/" + name;
        const std::string entry = JoinPath(blockDir, name);
        d.model = ReadFirstLine(JoinPath(entry, "device/model"));
        auto props = UdevProperties(root, ReadFirstLine(JoinPath(entry, "dev")));
        if (!props.empty()) {
            d.udevKnown = true;
            d.readsDvd = props["ID_CDROM_DVD"] == "1";
            d.mediumKnownAbsent = props["ID_CDROM_MEDIA"] != "1";
            for (const auto& [key, value] : props)
                if (key.rfind("ID_CDROM_MEDIA_DVD", 0) == 0 && value == "1") d.dvdPresent = true;
            d.label = props["ID_FS_LABEL"];
            if (!props["ID_MODEL"].empty()) d.model = props["ID_MODEL"];
        }
        drives.push_back(d);
    }
    std::sort(drives.begin(), drives.end(), [](const Drive& a, const Drive& b) { return a.number < b.number; });

    ForEachLine(JoinPath(root, "proc/self/mounts"), [&](const std::string& line) {
        auto space1 = line.find(' ');
        if (space1 == std::string::npos) return true;
        auto space2 = line.find(' ', space1 + 1);
        const std::string source = UnescapeMountField(line.substr(0, space1));
        const std::string target = UnescapeMountField(line.substr(space1 + 1, space2 - space1 - 1));
        for (auto& d : drives)
            if (source == d.device && d.mountPoint.empty()) d.mountPoint = target;
        return true;
    });
    return drives;
}

std::string EntryText(const Drive& d) {
    std::string what;
    if (d.mediumKnownAbsent) what = "No disc";
    else if (!d.label.empty()) what = d.label;
    else if (!d.model.empty()) what = d.model;
    else what = "Optical drive";
    return what + " (" + d.device + ")";
}

}  // namespace

char DriveIdOf(const std::string& path) {
    if (path.size() < 2 || path.size() > 3 || path[1] != ':') return 0;
    if (path.size() == 3 && path[2] != '\\' && path[2] != '/') return 0;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    return c >= 'A' && c <= 'Z' ? c : 0;
}

std::string DriveRoot(char driveId) {
    bool error = false;
    for (const auto& d : ListDrives(error))
        if ('D' + d.number == driveId)
            return d.mountPoint.empty() ? JoinPath(SystemRoot(), d.device.substr(1)) : d.mountPoint;
    return {};
}

}  // namespace morvdvdread

using namespace morvdvdread;

extern "C" MORVDVDREAD_API int32_t getAllDVDRomInfo(DvdDriveList* list) {
    if (!list) return DVD_ERR_ARGUMENT;
    bool error = false;
    const auto drives = ListDrives(error);
    if (error) return DVD_ERR_SYSTEM;
    *list = DvdDriveList{};
    for (const auto& d : drives) {
        if (list->count == DVD_MAX_DRIVES) break;
        DvdDriveEntry& e = list->entries[list->count++];
        e.driveId = static_cast<char>('D' + d.number);
        CopyText(e.text, EntryText(d));
        e.listed = d.readsDvd ? 1 : 0;
        e.discPresent = d.dvdPresent ? 1 : 0;
    }
    return DVD_OK;
}

extern "C" MORVDVDREAD_API void setDVDSystemRoot(const char* root) {
    std::lock_guard lock(g_rootLock);
    g_systemRoot = root && *root ? root : "/";
}
