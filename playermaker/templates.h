#pragma once
// Where the player maker finds its templates: one process-wide root folder.
#include <string>
#include <string_view>

#include "playermaker/cipher.h"

namespace morvbrindle {

// Keeps at most 1023 characters of the folder; null clears it.
void SetTemplateRoot(const char* folder);
// The root, then "/templates/", then `rest`: no separator added or removed.
std::string TemplatePath(std::string_view rest);
// Reads and deciphers a script template (e.g. "Players/templete.dat").
CipherFileResult ReadTemplate(std::string_view rest);

// Writes the bytes to a temporary file beside `path` and renames it over `path`.
// Returns false (and leaves `path` untouched, removing the temporary file) on any failure.
bool WriteFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace morvbrindle
