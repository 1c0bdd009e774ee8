// Libraries the program loads at their first use: a missing library or function gives
// nothing to call and says why; the converter's and libzip's functions, defined by the
// program, load their library only when first called and then answer as the library does.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/libraryloader.h"
#include "libs/morvconverter/morvconverter.h"
#include "libs/morvmessage/morvmessage.h"
#include "skinctrl/skinarchive.h"
#include "skinctrl/theme_support.h"

namespace {

bool Mapped(const std::string& library) {
    std::ifstream in("/proc/self/maps");
    std::string maps((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return maps.find(library) != std::string::npos;
}

TEST(LazyLibrary, AMissingLibraryOrFunctionGivesNothingAndSaysWhy) {
    LazyLibrary missing("libmorvnosuchlibrary.so");
    EXPECT_EQ(missing.Find<decltype(&getErrorInfo)>("getErrorInfo"), nullptr);
    EXPECT_FALSE(missing.Loaded());
    EXPECT_NE(missing.Error().find("libmorvnosuchlibrary.so could not be loaded"), std::string::npos)
        << missing.Error();

    LazyLibrary messages("libmorvmessage.so");
    EXPECT_TRUE(messages.Error().empty());
    EXPECT_EQ(messages.Find<decltype(&getErrorInfo)>("noSuchFunction"), nullptr);
    EXPECT_TRUE(messages.Loaded());
    EXPECT_EQ(messages.Error(), "libmorvmessage.so has no function noSuchFunction");
    auto text = messages.Find<decltype(&getErrorInfo)>("getErrorInfo");
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text(prNoInput, 0, 0)), "");
}

TEST(ConverterLoader, TheConverterLoadsAtTheFirstCallAndAnswersAsItself) {
    ASSERT_FALSE(Mapped("libmorvconverter.so"));
    ASSERT_FALSE(Mapped("libavformat.so"));
    MediaInfo info{};
    std::string missing = testing::TempDir() + "no-such-clip.mp4";
    missing.copy(info.path, sizeof info.path - 1);
    EXPECT_EQ(getFileInfo(&info), crInputUnreadable);
    EXPECT_TRUE(Mapped("libmorvconverter.so"));
    EXPECT_EQ(getFileInfo(nullptr), crIncompleteJob);
    EXPECT_EQ(getConvertFailureText(nullptr, nullptr, 0), 0);
}

TEST(ZipLoader, LibzipLoadsAtTheFirstArchiveAndReadsItAsItself) {
    ASSERT_FALSE(Mapped("libzip.so"));
    ASSERT_FALSE(Mapped("libcrypto.so"));
    testsupport::TempDir dir;
    const std::filesystem::path entry = dir.path() / "data.sk2";
    std::ofstream(entry, std::ios::binary) << std::string(3000, 'x') << "the entry's end";
    struct Row {
        const char* what;
        std::string options, password;
        skinctrl::TExtractResult expected;
    };
    using R = skinctrl::TExtractResult;
    const Row rows[] = {
        {"deflated", "", "", R::Extracted},
        {"stored", "--store", "", R::Extracted},
        {"right password", "--password s3cret", "s3cret", R::Extracted},
        {"wrong password", "--password s3cret", "secret", R::QuietlyNotLoaded},
        {"flipped CRC", "--flip-crc", "", R::QuietlyNotLoaded},
        {"a ZIP archive", "--pk", "", R::NotReadable},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::filesystem::path archive = dir.path() / "skin.vxk";
        skintest::MakeVxk(archive, entry, row.options);
        std::vector<std::uint8_t> bytes;
        EXPECT_EQ(int(skinctrl::ExtractEntryData(archive.string(), "SKINDATA.SK2", row.password, bytes)),
                  int(row.expected));
        if (row.expected == R::Extracted)
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string(3000, 'x') + "the entry's end");
    }
    EXPECT_TRUE(Mapped("libzip.so"));
}

}  // namespace
