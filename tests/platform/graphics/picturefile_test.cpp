// Writing a picture's file: never through a link planted beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/graphics/graphics.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A link where a temporary copy might be written leaves its target as it was; the file is
// written whole under its own name, also over an earlier one.
TEST(PictureFile, WriteNeverFollowsAPlantedLink) {
    testsupport::TempDir dir;
    const fs::path victim = dir.Write("victim.txt", "keep");
    const fs::path target = dir.path() / "picture.png";
    fs::create_symlink(victim, target.string() + ".tmp");
    const std::vector<platform::BYTE> first{1, 2, 3}, second{4, 5, 6, 7};
    platform::WriteWholeFile(target.string(), first);
    platform::WriteWholeFile(target.string(), second);
    EXPECT_EQ(Read(victim), "keep");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
    EXPECT_EQ(Read(target), std::string("\x04\x05\x06\x07"));
    EXPECT_THROW(platform::WriteWholeFile((dir.path() / "missing" / "x.png").string(), first), platform::EFCreateError);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

}  // namespace
