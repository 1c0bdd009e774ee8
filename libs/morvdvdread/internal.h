// Helpers shared by the reader's sources (not exported).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvdvdread {

// Copies text into a fixed field of `size` bytes: cut at a UTF-8 character boundary,
// always zero-terminated, the rest of the field zeroed.
void CopyText(char* field, size_t size, const std::string& text);

template <size_t N>
void CopyText(char (&field)[N], const std::string& text) { CopyText(field, N, text); }

// "HH:MM:SS" of a whole number of seconds.
std::string DurationText(int64_t seconds);

// The English name of a two-letter language code ("en" -> "English"); the code itself
// when it is not known, "Unknown" when it is not a code at all.
std::string LanguageName(uint16_t code);

// The drive id ("E:", "E:\", "E:/", any case) in path, or 0 when path is no drive id.
char DriveIdOf(const std::string& path);

// What parseDVD opens for a drive id: the mount point of the drive's medium when it is
// mounted, else its device node. Empty when no such drive exists.
std::string DriveRoot(char driveId);

// dir and name joined by one "/" (none added after a "/" already there).
std::string JoinPath(const std::string& dir, const std::string& name);

// The names in a folder, "." and ".." left out; false when it cannot be read.
bool FolderNames(const std::string& dir, std::vector<std::string>& names);

// Drops every disc record kept so far. Only for the fuzz target, whose millions of
// distinct discs would otherwise fill memory; the program never calls it, since its
// rows may still point into the records.
void ForgetDiscs();

}  // namespace morvdvdread
