#pragma once
// A temporary folder for one test, removed with everything in it when the test ends (kept
// for a look after a failure when LUMACAST_KEEP_TEMP is set). A folder that cannot be made
// throws: a test never runs on in a folder it does not have.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumacast-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder from " + pattern + ": " + std::strerror(errno));
        path_ = pattern;
    }
    ~TempDir() {
        if (std::getenv("LUMACAST_KEEP_TEMP")) return;
        std::error_code ec;
        // A test may have taken the owner's rights away to see a write fail.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // The path of an entry of the folder.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Writes `content` to `name` under the folder (making sub-folders) and returns the path.
    std::filesystem::path Write(const std::string& name, const std::string& content) const {
        std::filesystem::path p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }

    // Names of the folder's entries, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
