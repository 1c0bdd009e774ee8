#include <set>
#include <string>

#include <gtest/gtest.h>

#include "libs/morvconverter/morvconverter.h"
#include "libs/morvmessage/morvmessage.h"

// Every code a row can end with has its own text, and different codes never share one,
// so the user can tell the failures apart.
TEST(ErrorInfo, EveryKnownCodeHasItsOwnText) {
    std::set<std::string> seen;
    std::string generic = getErrorInfo(-12345, 0, 1);
    std::vector<int> codes;
    for (int c = crSuccess; c <= crNoWholePicture; ++c) codes.push_back(c);
    for (int c = 601; c <= 615; ++c) codes.push_back(c);
    for (int c = prJobFolderFailed; c <= prRowAborted; ++c) codes.push_back(c);
    for (int c : codes) {
        const char* t = getErrorInfo(c, 0, 1);
        ASSERT_NE(t, nullptr) << c;
        EXPECT_FALSE(std::string(t).empty()) << c;
        EXPECT_NE(t, generic) << c;
        EXPECT_TRUE(seen.insert(t).second) << "code " << c << " repeats the text " << t;
    }
}

TEST(ErrorInfo, UnknownCodesGiveTheGenericText) {
    for (int c : {-1, crNoWholePicture + 1, 600, 616, 700, 710, 1 << 30}) {
        const char* t = getErrorInfo(c, 0, 1);
        ASSERT_NE(t, nullptr);
        EXPECT_STREQ(t, "Conversion failed (unknown error).") << c;
    }
}
