#include "platform/core/sysutils.h"

#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

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

namespace {

// The sections of a picture split at ';' outside quotes.
std::vector<std::string> FormatSections(const std::string& format) {
    std::vector<std::string> sections(1);
    char quote = 0;
    for (char c : format) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

std::string FormatSection(const std::string& section, double value, bool withSign) {
    // Read the picture: literal text before and after the number, the digit placeholders.
    std::string prefix, suffix;
    int intZeros = 0, intDigits = 0, fracZeros = 0, fracDigits = 0, expDigits = 0;
    bool point = false, thousands = false, started = false, scientific = false, expPlus = false;
    char quote = 0;
    for (std::size_t i = 0; i < section.size(); ++i) {
        char c = section[i];
        std::string& literal = started ? suffix : prefix;
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                literal += c;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (scientific) {
            if (c == '0') {
                ++expDigits;
                continue;
            }
        } else if ((c == 'E' || c == 'e') && started && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-')) {
            scientific = true;
            expPlus = section[i + 1] == '+';
            ++i;
            continue;
        }
        if (!scientific && suffix.empty()) {
            if (c == '0' || c == '#') {
                started = true;
                if (point) {
                    ++fracDigits;
                    if (c == '0') fracZeros = fracDigits;
                } else {
                    ++intDigits;
                    if (c == '0') ++intZeros;
                }
                continue;
            }
            if (c == '.' && !point) {
                started = true;
                point = true;
                continue;
            }
            if (c == ',' && started && !point) {
                thousands = true;
                continue;
            }
        }
        literal += c;
    }
    if (!started) return prefix;

    double magnitude = std::fabs(value);
    int exponent = 0;
    if (scientific && magnitude != 0) {
        exponent = int(std::floor(std::log10(magnitude))) - std::max(1, intDigits) + 1;
        magnitude /= std::pow(10.0, exponent);
    }
    if (magnitude >= 1e300) return FloatToStr(value);
    // Halves round away from zero, as a reader expects of a picture ("0" makes 2.5 "3").
    auto fixed = [fracDigits](double m, std::string& whole, std::string& frac) {
        double scaled = m * std::pow(10.0, fracDigits);
        std::string digits;
        char buf[512];
        CLocaleScope c;
        if (scaled < 9e15) {
            std::snprintf(buf, sizeof buf, "%.0f", std::round(scaled));
            digits = buf;
            while (int(digits.size()) <= fracDigits) digits.insert(digits.begin(), '0');
            whole = digits.substr(0, digits.size() - std::size_t(fracDigits));
            frac = digits.substr(digits.size() - std::size_t(fracDigits));
        } else {
            std::snprintf(buf, sizeof buf, "%.*f", fracDigits, m);
            digits = buf;
            whole = digits.substr(0, digits.find('.'));
            frac = digits.find('.') == std::string::npos ? "" : digits.substr(digits.find('.') + 1);
        }
    };
    std::string whole, frac;
    fixed(magnitude, whole, frac);
    if (scientific && whole.size() > std::size_t(std::max(1, intDigits))) {
        // Rounding carried into another digit: one place further.
        ++exponent;
        fixed(magnitude / 10, whole, frac);
    }
    while (int(frac.size()) > fracZeros && !frac.empty() && frac.back() == '0') frac.pop_back();
    if (whole == "0" && intZeros == 0) whole.clear();
    while (int(whole.size()) < intZeros) whole.insert(whole.begin(), '0');
    if (thousands)
        for (int i = int(whole.size()) - 3; i > 0; i -= 3) whole.insert(std::size_t(i), 1, ThousandSeparator);
    std::string number = whole;
    if (!frac.empty()) number += DecimalSeparator + frac;
    if (scientific) {
        std::string e = std::to_string(std::abs(exponent));
        while (int(e.size()) < expDigits) e.insert(e.begin(), '0');
        number += std::string("E") + (exponent < 0 ? "-" : expPlus ? "+" : "") + e;
    }
    bool zero = number.find_first_of("123456789") == std::string::npos;
    return (withSign && value < 0 && !zero ? "-" : "") + prefix + number + suffix;
}

}  // namespace

std::string FormatFloat(const std::string& format, double value) {
    if (format.empty() || std::isnan(value) || std::isinf(value)) return FloatToStr(value);
    std::vector<std::string> sections = FormatSections(format);
    if (value == 0 && sections.size() >= 3 && !sections[2].empty()) return FormatSection(sections[2], value, false);
    if (value < 0 && sections.size() >= 2 && !sections[1].empty()) return FormatSection(sections[1], value, false);
    return FormatSection(sections[0], value, true);
}

}  // namespace platform
