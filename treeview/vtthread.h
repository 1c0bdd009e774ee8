#pragma once
// The thread a tree belongs to. A tree is changed only on the thread that made it; the
// check below makes a change from any other thread fail at once instead of racing with
// the tree's painting. It is compiled into debug builds and the sanitizer builds, and
// to nothing otherwise.
#include <thread>

#include "platform/core/exceptions.h"

namespace treeview {

#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kTreeThreadChecked = true;
#else
constexpr bool kTreeThreadChecked = false;
#endif

class TTreeThread {
public:
    TTreeThread() : owner_(std::this_thread::get_id()) {}

    // Raises EAssertionFailed when called from a thread other than the tree's (checked
    // builds only).
    void CheckChange() const {
        if constexpr (kTreeThreadChecked) {
            if (std::this_thread::get_id() != owner_)
                throw platform::EAssertionFailed("Tree changed from a thread other than its own.");
        }
    }

private:
    std::thread::id owner_;
};

}  // namespace treeview
