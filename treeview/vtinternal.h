#pragma once
// Helpers shared by the tree's source files.
#include <string>

#include "platform/core/exceptions.h"

namespace treeview {

// A violated precondition: raises the assertion error with its fixed message.
inline void Require(bool condition, const char* message) {
    if (!condition) throw platform::EAssertionFailed(message);
}

// Text with every malformed UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(const std::string& text);

}  // namespace treeview
