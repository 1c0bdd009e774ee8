#pragma once
// A temporary folder for one test, removed with everything in it when the test ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "lumacast-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

    // Writes `content` to `name` under the folder (making sub-folders) and returns the path.
    std::filesystem::path Write(const std::string& name, const std::string& content) const {
        std::filesystem::path p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
