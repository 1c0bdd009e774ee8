#pragma once
// Where one tree keeps its nodes: large aligned blocks cut into slots of one size, freed slots
// kept for reuse. A million nodes cost a few hundred block allocations instead of a million
// heap calls, and no per-node heap header.
#include <cstddef>
#include <cstdint>
#include <unordered_set>

namespace treeview {

class TNodePool {
public:
    TNodePool() = default;
    ~TNodePool();
    TNodePool(const TNodePool&) = delete;
    TNodePool& operator=(const TNodePool&) = delete;

    // `size` zeroed bytes, aligned for any type. Throws std::bad_alloc.
    void* Allocate(std::size_t size);
    // Gives back memory from Allocate of this pool.
    void Free(void* p);
    // Bytes held in blocks (records too large for a block are on the heap, not counted).
    std::size_t BlockBytes() const;

private:
    struct Block;
    struct Size {
        std::size_t slot = 0;
        Block* current = nullptr;  // the block slots are cut from
        void* free = nullptr;      // freed slots, linked through their first bytes
    };
    Size& SizeFor(std::size_t slot);
    Block* NewBlock(Size& s);

    Size sizes_[4];  // a tree's nodes come in one size, two while its data size changes
    std::unordered_set<std::uintptr_t> blocks_;
    std::size_t blockCount_ = 0;
};

}  // namespace treeview
