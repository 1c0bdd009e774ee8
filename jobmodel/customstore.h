#pragma once
// The user's default output and player options in the registry: the working record
// CurrentCustomSetting as 78 string values under the custom key.
#include <cstdint>
#include <string>

namespace jobmodel {

// "Software\VelmoraSoft\Lumacast\custom" under HKEY_CURRENT_USER.
inline constexpr const char* kCompanyKey = "\\Software\\VelmoraSoft";
inline constexpr const char* kCustomKey = "\\Software\\VelmoraSoft\\Lumacast\\custom";

// Writes every stored field of CurrentCustomSetting. A write the store refuses raises the
// platform's registry error; the values written before it stay.
void SaveCustomSetting();

// Reads the key into CurrentCustomSetting. Nothing is changed when no defaults were saved
// ("ProfileName" missing, empty or "0"), and only the first five values when "IsCustom"
// reads 0. Every value is read into a copy first: a value that cannot be read (not a
// number of its form, stored with another type) leaves CurrentCustomSetting as it was and
// is reported (once for the same problem) instead of stopping the command that asked.
// Returns whether the record was taken over.
bool LoadCustomSetting();

// "0" or "1" style: the decimal text of the byte.
std::string BoolToText(std::uint8_t value);

}  // namespace jobmodel
