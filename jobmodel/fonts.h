#pragma once
// The installed fonts as the player maker needs them: a font face name of an option
// record turned into a TrueType/OpenType file.
//
// The list of installed fonts comes from fontconfig; each entry is named like the font's
// full name followed by " (TrueType)" or " (OpenType)" ("DejaVu Sans Bold (TrueType)") and
// holds the font file's full path, so the fonts folder that such names are joined to is
// empty.
#include <string>
#include <vector>

namespace jobmodel {

// Filled once by ListFontNames at start-up; read by FindFontFile.
extern std::vector<std::string> InstalledFontNames;

// Appends the names of every installed TrueType or OpenType font, sorted.
void ListFontNames(std::vector<std::string>& names);

// The folder the results of FindFontFile are joined to ("": they are full paths).
std::string FontsFolder();

// The file of the font named exactly `face`; else of the first entry of
// InstalledFontNames that contains `face` (letter case counts); else "".
std::string FindFontFile(const std::string& face);

}  // namespace jobmodel
