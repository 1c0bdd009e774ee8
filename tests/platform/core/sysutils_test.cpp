#include "platform/core/sysutils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "comma_locale.h"

using namespace platform;

TEST(Conversions, StrToIntTable) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"42", true, 42},
        {"-42", true, -42},
        {"+7", true, 7},
        {"  12", true, 12},  // leading blanks are skipped
        {"12 ", false, 0},   // trailing ones are not
        {"", false, 0},
        {"   ", false, 0},
        {"-", false, 0},
        {"abc", false, 0},
        {"1.5", false, 0},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, std::numeric_limits<int>::min()},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"$1F", true, 31},
        {"0x1F", true, 31},
        {"0X1f", true, 31},
        {"x1F", true, 31},
        {"-$10", true, -16},
        {"$FFFFFFFF", true, -1},
        {"$100000000", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"$1G", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.ok) {
            EXPECT_EQ(StrToInt(c.text), c.value);
        } else {
            try {
                StrToInt(c.text);
                ADD_FAILURE() << "no error";
            } catch (const EConvertError& e) {
                EXPECT_EQ(e.Message(), std::string("'") + c.text + "' is not a valid integer value");
            }
            EXPECT_EQ(StrToIntDef(c.text, -5), -5);
        }
    }
    EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
}

TEST(Conversions, StrToFloatTable) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"1.5", true, 1.5},
        {"1,5", true, 1.5},  // either decimal point is read
        {" -2.25 ", true, -2.25},
        {"3", true, 3},
        {".5", true, 0.5},
        {"5.", true, 5},
        {"1e3", true, 1000},
        {"1.5E-2", true, 0.015},
        {"", false, 0},
        {"  ", false, 0},
        {"abc", false, 0},
        {"1.2.3", false, 0},
        {"1,000.5", false, 0},
        {"1e", false, 0},
        {"1e999", false, 0},  // overflow
        {"inf", false, 0},
        {"nan", false, 0},
        {"0x10", false, 0},
        {".", false, 0},
        {"-", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(StrToFloat(c.text), c.value);
        } else {
            try {
                StrToFloat(c.text);
                ADD_FAILURE() << "no error";
            } catch (const EConvertError& e) {
                EXPECT_EQ(e.Message(), std::string("'") + c.text + "' is not a valid floating point value");
            }
        }
    }
}

TEST(Conversions, FloatToStrGeneralFormat) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {1, "1"},
        {-2.5, "-2.5"},
        {0.1, "0.1"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E15"},
        {1e20, "1E20"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {0.000015, "1.5E-5"},
        {29.97, "29.97"},
        {std::numeric_limits<double>::infinity(), "INF"},
    };
    for (const Case& c : cases) EXPECT_EQ(FloatToStr(c.value), c.text) << c.value;
}

TEST(Conversions, NumbersIgnoreTheUserLocale) {
    // A locale with a decimal comma must change neither reading nor writing.
    CommaLocale comma;
    ASSERT_TRUE(comma.Active()) << "no locale with a decimal comma could be made (localedef, locales)";
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.885813148788927, "0.885813148788927"},
        {123.45678, "123.45678"},
        {2.99699993133545, "2.99699993133545"},
        {0.5, "0.5"},
        {1.25, "1.25"},
        {-1.5e-6, "-1.5E-6"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FloatToStr(c.value), c.text);
        EXPECT_DOUBLE_EQ(StrToFloat(FloatToStr(c.value)), c.value);
    }
    EXPECT_EQ(Format("%.2f|%d|%s", 3.5, -4, "x"), "3.50|-4|x");
    EXPECT_DOUBLE_EQ(StrToFloat("1.25"), 1.25);
    EXPECT_DOUBLE_EQ(StrToFloat("1,25"), 1.25);
}

TEST(Conversions, TextHelpers) {
    EXPECT_EQ(Trim("\t a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    EXPECT_EQ(Trim(""), "");
    EXPECT_TRUE(SameText("Abc", "aBC"));
    EXPECT_FALSE(SameText("Abc", "Abd"));
    EXPECT_LT(CompareText("apple", "Banana"), 0);
    EXPECT_GT(CompareStr("apple", "Banana"), 0);
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToStr(-12), "-12");
    std::string longText(5000, 'z');
    EXPECT_EQ(Format("%s!", longText.c_str()).size(), 5001u);
}

TEST(Conversions, ColourPacking) {
    EXPECT_EQ(PackColor(10, 1, 0), 266u);
    EXPECT_EQ(PackColor(256 + 1, -1, 2), 0x02FF01u);  // low 8 bits of each part
    auto parts = UnpackColor(PackColor(255, 0, 16));
    EXPECT_EQ(parts.red, 255);
    EXPECT_EQ(parts.green, 0);
    EXPECT_EQ(parts.blue, 16);
    EXPECT_EQ(ColorToWebRGB(PackColor(255, 0, 16)), 0xFF0010u);
}

TEST(Conversions, AssertCarriesItsMessageAndPlace) {
    Assert(true, "never");
    try {
        Assert(1 + 1 == 3, "sums are off");
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), std::string("sums are off (") + __FILE__ + ", line " + std::to_string(__LINE__ - 3) + ")");
    }
    try {
        Assert(false);
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message().rfind("Assertion failed (", 0), 0u) << e.Message();
    }
}

TEST(FormatFloatTest, PicturesGiveTheTextTheyDescribe) {
    struct Case {
        const char* format;
        double value;
        const char* want;
    } cases[] = {
        {"0.00", 3.14159, "3.14"},        {"0.00", 0, "0.00"},          {"0.00", -2.5, "-2.50"},
        {"0.00", 2.005, "2.01"},          {"0.00", 0.996, "1.00"},      {"0.00", -0.001, "0.00"},
        {"#.##", 0.5, ".5"},              {"#.##", 0, ""},              {"0.##", 1.0, "1"},
        {"000", 7, "007"},                {"#,##0.0", -1234.56, "-1,234.6"},
        {"#,##0", 1234567, "1,234,567"},  {"0", 2.5, "3"},              {"0.0 \"MB\"", 1.25, "1.3 MB"},
        {"0.00;(0.00);zero", -3, "(3.00)"}, {"0.00;(0.00);zero", 0, "zero"},
        {"0.00E+00", 12345, "1.23E+04"},  {"0.0E-0", 0.00123, "1.2E-3"},
        {"", 0.25, "0.25"},               {"0.00", 1e308, "1E308"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFloat(c.format, c.value), c.want) << c.format << " " << c.value;
}
