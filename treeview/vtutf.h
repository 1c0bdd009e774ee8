#pragma once
// UTF-8 and UTF-16 for the tree's byte formats (stream captions, text exports): malformed
// input never stops a conversion, it becomes U+FFFD.
#include <string>

namespace treeview {

std::u16string Utf8ToUtf16(const std::string& text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace treeview
