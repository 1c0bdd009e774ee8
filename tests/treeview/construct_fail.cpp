// A tree whose construction fails at any of its allocations frees what it had made:
// each allocation of the constructor is made to fail in turn, and the leak checker of
// the sanitizer build must find nothing afterwards. This program replaces the global
// allocation functions, so it runs on its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <optional>

#include "treeview/vststrings.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define LUMACAST_LEAK_CHECK 1
#endif

namespace {

// Allocations left before one fails; negative: none fails.
std::atomic<long> allocationsLeft{-1};

void* Allocate(std::size_t size) {
    if (allocationsLeft.load() >= 0 && allocationsLeft.fetch_sub(1) == 0) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

// Fails the allocation `after` allocations from now, for the length of the scope.
struct FailingAllocation {
    explicit FailingAllocation(long after) { allocationsLeft = after; }
    ~FailingAllocation() { allocationsLeft = -1; }
};

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace treeview {
namespace {

TEST(TreeConstruction, AFailingAllocationLeavesNothingBehind) {
    // A first tree made and freed outside the counting sets up what the process keeps
    // for all trees (the cache worker, the class of the message targets).
    { TVastStringTree warmup(nullptr); }
    int failures = 0;
    bool built = false;
    for (long after = 0; after < 10000 && !built; ++after) {
        std::optional<TVastStringTree> tree;
        try {
            FailingAllocation failing(after);
            tree.emplace(nullptr);
            built = true;
        } catch (const std::bad_alloc&) {
            ++failures;
        }
        if (built) {
            tree->SetNodeDataSize(8);
            EXPECT_NE(tree->AddChild(nullptr), nullptr) << "the tree built after " << failures << " failures works";
        }
    }
    EXPECT_TRUE(built);
    EXPECT_GT(failures, 8) << "the constructor's allocations were each made to fail";
#ifdef LUMACAST_LEAK_CHECK
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "a failed construction leaked (see the report above)";
#endif
}

}  // namespace
}  // namespace treeview
