#pragma once
// Skin archives (.vxk): a ZIP archive whose first two bytes read "SK" in place of "PK",
// ending in a 22-byte end record without comment, holding the skin data entry. Entries are
// found by name, ignoring case; no name in the archive ever becomes a path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace skinctrl {

enum class TExtractResult {
    Extracted,     // the entry is in the target file
    NotReadable,   // not a skin file: missing, damaged, no such entry, unsupported
    QuietlyNotLoaded,  // no or wrong password, or decoded data that does not match the entry
};

// Archives and entries larger than this are refused (a skin is a few megabytes at most).
constexpr std::size_t kMaxSkinArchiveSize = 64u << 20;
constexpr std::size_t kMaxSkinEntrySize = 64u << 20;

// Takes entry `entryName` out of the archive into memory: `entry` holds its bytes when the
// result is Extracted and is empty otherwise.
TExtractResult ExtractEntryData(const std::string& archivePath, const std::string& entryName,
                                const std::string& password, std::vector<std::uint8_t>& entry);
// Takes entry `entryName` out of the archive into targetPath (created or replaced). The
// target file is removed unless the result is Extracted.
TExtractResult ExtractEntry(const std::string& archivePath, const std::string& entryName,
                            const std::string& targetPath, const std::string& password);

}  // namespace skinctrl
