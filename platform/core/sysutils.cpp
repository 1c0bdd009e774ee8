#include "platform/core/sysutils.h"

#include <locale.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace platform {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The C locale, for the conversions that read or write numbers.
locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

// Runs this thread in the C locale while it lives, whatever the process locale is: the
// printf family would otherwise write the user's decimal separator.
class CLocaleScope {
public:
    CLocaleScope() : previous_(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

// Parses an integer of the given width. Decimal must fit the signed range; hex may use the
// full unsigned range and wraps, as the class library's conversion does.
template <typename Int>
bool ParseInt(const std::string& s, Int& out) {
    using U = std::make_unsigned_t<Int>;
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;  // only spaces, as the library's Val skips
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    U value = 0;
    const U limit = base == 16 ? std::numeric_limits<U>::max()
                               : U(std::numeric_limits<Int>::max()) + (negative ? 1 : 0);
    for (; i < s.size(); ++i) {
        char c = s[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = unsigned(c - 'A' + 10);
        else return false;
        if (value > (limit - digit) / U(base)) return false;
        value = value * U(base) + digit;
    }
    if (negative) value = U(0) - value;
    out = static_cast<Int>(value);
    return true;
}

[[noreturn]] void NotInteger(const std::string& s) {
    throw EConvertError("'" + s + "' is not a valid integer value");
}

}  // namespace

bool TryStrToInt(const std::string& s, int& value) { return ParseInt(s, value); }
bool TryStrToInt64(const std::string& s, std::int64_t& value) { return ParseInt(s, value); }

int StrToInt(const std::string& s) {
    int v;
    if (!TryStrToInt(s, v)) NotInteger(s);
    return v;
}

std::int64_t StrToInt64(const std::string& s) {
    std::int64_t v;
    if (!TryStrToInt64(s, v)) NotInteger(s);
    return v;
}

int StrToIntDef(const std::string& s, int fallback) {
    int v;
    return TryStrToInt(s, v) ? v : fallback;
}

std::int64_t StrToInt64Def(const std::string& s, std::int64_t fallback) {
    std::int64_t v;
    return TryStrToInt64(s, v) ? v : fallback;
}

bool TryStrToFloat(const std::string& s, double& value) {
    std::string t = Trim(s);
    if (t.empty()) return false;
    // Only digits, one sign, one decimal point and an exponent: strtod alone would also
    // take hex floats, "inf" and "nan".
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') ++i;
    size_t digits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
    if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
        t[i] = '.';
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != t.size()) return false;
    errno = 0;
    double v = strtod_l(t.c_str(), nullptr, CLocale());
    if (std::isinf(v)) return false;
    value = v;  // underflow to zero or a denormal is a value, not an error
    return true;
}

double StrToFloat(const std::string& s) {
    double v;
    if (!TryStrToFloat(s, v)) throw EConvertError("'" + s + "' is not a valid floating point value");
    return v;
}

double StrToFloatDef(const std::string& s, double fallback) {
    double v;
    return TryStrToFloat(s, v) ? v : fallback;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string IntToHex(std::uint64_t value, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llX", digits < 0 ? 0 : (digits > 16 ? 16 : digits),
                  static_cast<unsigned long long>(value));
    return buf;
}

std::string FloatToStr(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    constexpr int precision = 15;
    // "d.dddddddddddddde±x": the digits and the decimal exponent, rounded once.
    char buf[64];
    {
        CLocaleScope c;
        std::snprintf(buf, sizeof buf, "%.*e", precision - 1, std::fabs(value));
    }
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.') digits += *p;
    int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = value < 0 ? "-" : "";
    if (exponent < precision && exponent >= -4) {
        if (exponent < 0) {
            out += "0." + std::string(size_t(-exponent - 1), '0') + digits;
        } else if (size_t(exponent) + 1 >= digits.size()) {
            out += digits + std::string(size_t(exponent) + 1 - digits.size(), '0');
        } else {
            out += digits.substr(0, size_t(exponent) + 1) + "." + digits.substr(size_t(exponent) + 1);
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    }
    return out;
}

std::string Format(const char* format, ...) {
    if (format == nullptr) return "";
    CLocaleScope c;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(size_t(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(size_t(n));
    }
    va_end(again);
    return out;
}

std::string TrimLeft(const std::string& s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b])) ++b;
    return s.substr(b);
}

std::string TrimRight(const std::string& s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1])) --e;
    return s.substr(0, e);
}

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string UpperCase(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return r;
}

std::string LowerCase(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return r;
}

int CompareStr(const std::string& a, const std::string& b) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareText(const std::string& a, const std::string& b) { return CompareStr(UpperCase(a), UpperCase(b)); }

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

void Assert(bool condition, const std::string& message, const char* file, int line) {
    if (condition) return;
    throw EAssertionFailed((message.empty() ? std::string("Assertion failed") : message) + " (" +
                           (file ? file : "?") + ", line " + std::to_string(line) + ")");
}

bool IsMiddleEastLocale(const std::string& locale) {
    std::string language = LowerCase(locale.substr(0, locale.find_first_of("_.@")));
    return language == "ar" || language == "he" || language == "iw" || language == "fa" || language == "ur";
}

namespace {

TSysLocale LocaleFromEnvironment() {
    TSysLocale locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            locale.MiddleEast = IsMiddleEastLocale(value);
            break;
        }
    }
    return locale;
}

}  // namespace

TSysLocale SysLocale = LocaleFromEnvironment();

}  // namespace platform
