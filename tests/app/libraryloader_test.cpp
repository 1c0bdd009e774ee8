// Libraries the program loads at their first use: a missing library or function gives
// nothing to call and says why; the converter's functions, defined by the program, load
// the converter only when first called and then answer as the library does.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/libraryloader.h"
#include "libs/morvconverter/morvconverter.h"
#include "libs/morvmessage/morvmessage.h"

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

}  // namespace
