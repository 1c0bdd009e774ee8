#pragma once
// Text and number conversions as the class library does them. Numbers are always read and
// written in the C locale, whatever the user's locale says; a text that is not a number
// raises EConvertError with the library's message and never crashes.
#include <cstdint>
#include <string>

#include "platform/core/exceptions.h"
#include "platform/core/wintypes.h"

namespace platform {

// Integers: optional blanks before an optional sign, then decimal digits or a hex number
// written "$1F", "0x1F" or "x1F". Nothing may follow. Out of range raises. A hex number
// may use all 32 (64) bits: "$FFFFFFFF" is -1.
// Raises EConvertError "'<text>' is not a valid integer value".
int StrToInt(const std::string& s);
std::int64_t StrToInt64(const std::string& s);
int StrToIntDef(const std::string& s, int fallback);
std::int64_t StrToInt64Def(const std::string& s, std::int64_t fallback);
bool TryStrToInt(const std::string& s, int& value);
bool TryStrToInt64(const std::string& s, std::int64_t& value);

// Floating point: blanks around the number are allowed; "." or "," is the decimal point;
// an exponent "e"/"E" is allowed. No thousands separators, no infinities, no NaN.
// Raises EConvertError "'<text>' is not a valid floating point value".
double StrToFloat(const std::string& s);
double StrToFloatDef(const std::string& s, double fallback);
bool TryStrToFloat(const std::string& s, double& value);

std::string IntToStr(std::int64_t value);
// Upper-case hex, at least digits digits: IntToHex(255, 4) == "00FF".
std::string IntToHex(std::uint64_t value, int digits);
// General format, 15 significant digits, "." as decimal point: 0.1 -> "0.1", 0.0001 ->
// "0.0001", 0.00001 -> "1E-5",
// 1e20 -> "1E20", 1.5e-6 -> "1.5E-6"; infinities and NaN give "INF", "-INF", "NAN".
std::string FloatToStr(double value);

// The separators numbers are written with ("." and ","), whatever the user's locale says.
constexpr char DecimalSeparator = '.';
constexpr char ThousandSeparator = ',';
// A number through a picture: '0' a digit always shown, '#' a digit shown when significant,
// '.' the decimal point, ',' anywhere in the integer part groups thousands, "E+0"/"E-0"
// scientific notation, text in quotes and other characters as they stand (those before
// the first placeholder lead, the others follow). Up to three sections separated by ';':
// positive, negative (written without its sign), zero. An empty picture gives FloatToStr.
// FormatFloat("0.00", 3.14159) == "3.14"; FormatFloat("#,##0.0", -1234.56) == "-1,234.6".
std::string FormatFloat(const std::string& format, double value);

// printf-style formatting in the C locale.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Removes characters up to and including the blank (control characters too).
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
// ASCII case mapping and comparison (the class library's non-Ansi versions).
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
int CompareText(const std::string& a, const std::string& b);
int CompareStr(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);

// Raises EAssertionFailed "<message> (<file>, line <n>)" when condition is false; the
// message defaults to "Assertion failed".
void Assert(bool condition, const std::string& message = "", const char* file = __builtin_FILE(),
            int line = __builtin_LINE());

// Colours as stored and exchanged: red in the low byte, then green, then blue; only the
// low 8 bits of each component are used.
constexpr COLORREF PackColor(int red, int green, int blue) {
    return COLORREF(red & 0xFF) | (COLORREF(green & 0xFF) << 8) | (COLORREF(blue & 0xFF) << 16);
}
struct ColorParts {
    int red = 0;
    int green = 0;
    int blue = 0;
};
constexpr ColorParts UnpackColor(COLORREF color) {
    return ColorParts{int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF)};
}
// The web order 0xRRGGBB, as scripts and pages write colours.
constexpr std::uint32_t ColorToWebRGB(COLORREF color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

// What controls ask of the user's locale. MiddleEast: the language reads right to left
// (Arabic, Hebrew, Farsi, Urdu), from LC_ALL, LC_MESSAGES or LANG at start; tests set it.
struct TSysLocale {
    bool MiddleEast = false;
};
extern TSysLocale SysLocale;
// Whether a locale name ("he_IL.UTF-8", "ar", ...) is one of a right-to-left language.
bool IsMiddleEastLocale(const std::string& locale);

}  // namespace platform
