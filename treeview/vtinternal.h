#pragma once
// Helpers shared by the tree's source files.
#include "platform/core/exceptions.h"

namespace treeview {

// A violated precondition: raises the assertion error with its fixed message.
inline void Require(bool condition, const char* message) {
    if (!condition) throw platform::EAssertionFailed(message);
}

}  // namespace treeview
