#pragma once
// The colour identifier table: the named colours in the order colour lists show them (the
// 16 standard colours, the 4 extended ones, then the system colours and the two special
// values, by name), with conversions between colours and their names.
#include <functional>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"

namespace platform {

struct TIdentMapEntry {
    TColor Value;
    const char* Name;
};

// The 52 rows.
const std::vector<TIdentMapEntry>& ColorIdents();
// Calls proc with each identifier ("clBlack", ...) in the table's order.
void GetColorValues(const std::function<void(const std::string& name)>& proc);
bool ColorToIdent(TColor color, std::string& ident);
bool IdentToColor(const std::string& ident, TColor& color);
// The identifier, else "$00BBGGRR"; and back (an identifier, "$hex" or a decimal number).
std::string ColorToString(TColor color);
// Raises EConvertError for text that names no colour.
TColor StringToColor(const std::string& text);

}  // namespace platform
