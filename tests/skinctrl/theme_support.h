#pragma once
// Skin fixtures made at test time: record data and archives through make_skin.py (Info-ZIP
// zip and unzip behind it), bitmaps through ImageMagick, and a private $TMPDIR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/process.h"
#include "support/tempdir.h"

namespace skintest {

inline std::string SourceDir() {
    const char* s = std::getenv("LUMACAST_SOURCE_DIR");
    return s ? s : ".";
}

inline bool Run(const std::string& command) {
    int status = 0;
    testsupport::Capture(command + " 2>&1", &status);
    return status == 0;
}

inline std::string Q(const std::string& s) { return testsupport::ShellQuote(s); }

// Record data from a JSON description (see make_skin.py).
inline void MakeSk2(const std::filesystem::path& out, const std::string& layout) {
    ASSERT_TRUE(Run("python3 " + Q(SourceDir() + "/tests/skinctrl/make_skin.py") + " sk2 " + Q(out.string()) + " " +
                    Q(layout)))
        << layout;
}

// A skin archive holding the record data; options as make_skin.py takes them.
inline void MakeVxk(const std::filesystem::path& out, const std::filesystem::path& sk2, const std::string& options = "") {
    ASSERT_TRUE(Run("python3 " + Q(SourceDir() + "/tests/skinctrl/make_skin.py") + " vxk " + Q(out.string()) + " " +
                    Q(sk2.string()) + " " + options))
        << options;
}

inline void MakeBmp(const std::filesystem::path& out, int w, int h, const std::string& colour) {
    ASSERT_TRUE(Run("convert -size " + std::to_string(w) + "x" + std::to_string(h) + " xc:" + Q(colour) + " BMP3:" +
                    Q(out.string())));
}

// Files left in a folder (recursively).
inline int FilesIn(const std::filesystem::path& dir) {
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec); !ec && it != std::filesystem::end(it);
         it.increment(ec))
        ++n;
    return n;
}

// A test folder with its own $TMPDIR (restored afterwards).
class SkinFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        hadTmp_ = old != nullptr;
        if (old) oldTmp_ = old;
        tmp = dir.path() / "tmp";
        std::filesystem::create_directories(tmp);
        setenv("TMPDIR", tmp.c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_) setenv("TMPDIR", oldTmp_.c_str(), 1);
        else unsetenv("TMPDIR");
    }
    std::filesystem::path Path(const std::string& name) const { return dir.path() / name; }
    testsupport::TempDir dir;
    std::filesystem::path tmp;

private:
    bool hadTmp_ = false;
    std::string oldTmp_;
};

}  // namespace skintest
