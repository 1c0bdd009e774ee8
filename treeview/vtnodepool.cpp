#include "treeview/vtnodepool.h"

#include <sys/mman.h>

#include <mutex>
#include <vector>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace treeview {

namespace {
// Blocks are aligned to their size, so a slot finds its block by masking its address.
constexpr std::size_t kBlock = 2u << 20;
constexpr std::size_t kAlign = alignof(std::max_align_t);
// Larger records than this go to the heap one by one: a block would hold too few.
constexpr std::size_t kMaxSlot = kBlock / 64;
// The first blocks of a tree stay in ordinary pages; a tree that grows beyond them asks for
// huge pages, which cost one fault per block instead of one per page.
constexpr std::size_t kSmallBlocks = 2;
// Blocks of trees that went, kept for the next trees (as the heap keeps freed memory): the
// first ones as they are, the rest handed to the kernel to reclaim when it needs the memory
// (MADV_FREE). Until it does, the next tree writes into pages already there instead of
// faulting in fresh ones, which under memory pressure means waiting for the kernel to free
// or compact memory. Past the last one, blocks are unmapped.
constexpr std::size_t kResidentBlocks = 8;
constexpr std::size_t kCachedBlocks = 256;

std::mutex gCacheLock;
std::vector<void*>& Cache() {
    static auto* cache = [] {  // never destroyed: trees may outlive statics
        auto* v = new std::vector<void*>;
        v->reserve(kCachedBlocks);  // giving a block back never allocates
        return v;
    }();
    return *cache;
}

void* TakeCached() {
    std::lock_guard<std::mutex> lock(gCacheLock);
    if (Cache().empty()) return nullptr;
    void* p = Cache().back();
    Cache().pop_back();
    return p;
}

void GiveBack(void* p, std::size_t size) {
    {
        std::lock_guard<std::mutex> lock(gCacheLock);
        if (Cache().size() < kCachedBlocks) {
            if (Cache().size() >= kResidentBlocks) madvise(p, size, MADV_FREE);
            Cache().push_back(p);
            return;
        }
    }
    munmap(p, size);
}

// A freed node read through a stale pointer shows up under the address sanitizer.
void Poison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t n) {
#if defined(__SANITIZE_ADDRESS__)
    ASAN_POISON_MEMORY_REGION(p, n);
#endif
}
void Unpoison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t n) {
#if defined(__SANITIZE_ADDRESS__)
    ASAN_UNPOISON_MEMORY_REGION(p, n);
#endif
}

// Mapped blocks are not heap memory, so the leak checker would not look into them: what a
// live node's data points to would count as leaked. Each block in use is one of its roots.
void AddRoot([[maybe_unused]] void* p, [[maybe_unused]] std::size_t n) {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_register_root_region(p, n);
#endif
}
void DropRoot([[maybe_unused]] void* p, [[maybe_unused]] std::size_t n) {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_unregister_root_region(p, n);
#endif
}
}  // namespace

struct TNodePool::Block {
    std::size_t slot;
    std::size_t used;  // bytes cut so far, this header included
    bool zero;         // newly mapped: the slots not yet cut are zero
};

namespace {
constexpr std::size_t kHeader = (sizeof(std::size_t) * 3 + kAlign - 1) & ~(kAlign - 1);
}

TNodePool::~TNodePool() {
    for (std::uintptr_t b : blocks_) {
        DropRoot(reinterpret_cast<void*>(b), kBlock);
        GiveBack(reinterpret_cast<void*>(b), kBlock);
    }
}

TNodePool::Size& TNodePool::SizeFor(std::size_t slot) {
    for (Size& s : sizes_)
        if (s.slot == slot) return s;
    for (Size& s : sizes_)
        if (s.slot == 0) {
            s.slot = slot;
            return s;
        }
    // More sizes than ever seen at once: the least used place starts over (its blocks stay
    // known, so their slots are still freed correctly, only not reused).
    Size& s = sizes_[0];
    s = Size{};
    s.slot = slot;
    return s;
}

TNodePool::Block* TNodePool::NewBlock(Size& s) {
    void* p = TakeCached();
    bool zero = p == nullptr;
    if (!p) {
        // Twice the size mapped, the aligned block kept and the rest given back.
        void* raw = mmap(nullptr, 2 * kBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) throw std::bad_alloc();
        auto at = reinterpret_cast<std::uintptr_t>(raw);
        std::uintptr_t aligned = (at + kBlock - 1) & ~(kBlock - 1);
        if (aligned > at) munmap(raw, aligned - at);
        if (aligned + kBlock < at + 2 * kBlock)
            munmap(reinterpret_cast<void*>(aligned + kBlock), at + kBlock - aligned);
        p = reinterpret_cast<void*>(aligned);
        if (blockCount_ >= kSmallBlocks) madvise(p, kBlock, MADV_HUGEPAGE);
    }
    Unpoison(p, kBlock);
    AddRoot(p, kBlock);
    blocks_.insert(reinterpret_cast<std::uintptr_t>(p));
    ++blockCount_;
    auto* b = static_cast<Block*>(p);
    b->slot = s.slot;
    b->used = kHeader;
    b->zero = zero;
    s.current = b;
    return b;
}

void* TNodePool::Allocate(std::size_t size) {
    std::size_t slot = (std::max<std::size_t>(size, sizeof(void*)) + kAlign - 1) & ~(kAlign - 1);
    if (slot > kMaxSlot) {
        void* p = std::calloc(1, size);
        if (!p) throw std::bad_alloc();
        return p;
    }
    Size& s = SizeFor(slot);
    void* p;
    if (s.free) {
        p = s.free;
        Unpoison(p, slot);
        std::memcpy(&s.free, p, sizeof(void*));
    } else {
        Block* b = s.current;
        if (!b || b->used + slot > kBlock) b = NewBlock(s);
        p = reinterpret_cast<char*>(b) + b->used;
        b->used += slot;
        if (b->zero) return p;
    }
    std::memset(p, 0, slot);
    return p;
}

std::size_t TNodePool::BlockBytes() const { return blocks_.size() * kBlock; }

void TNodePool::Free(void* p) {
    if (!p) return;
    auto base = reinterpret_cast<std::uintptr_t>(p) & ~(kBlock - 1);
    if (!blocks_.count(base)) {
        std::free(p);
        return;
    }
    std::size_t slot = reinterpret_cast<Block*>(base)->slot;
    for (Size& s : sizes_)
        if (s.slot == slot) {
            std::memcpy(p, &s.free, sizeof(void*));
            s.free = p;
            Poison(p, slot);
            return;
        }
}

}  // namespace treeview
