// Sorting: the children of one node, or every level, by OnCompareNodes. The siblings are
// sorted in a vector (stable, so equal nodes keep their order in both directions) and
// relinked once the order is known: a compare handler that fails leaves every node where
// it was.
#include <algorithm>
#include <vector>

#include "treeview/vasttrees.h"
#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

std::int32_t TBaseVastTree::DoCompare(PVastNode node1, PVastNode node2, TColumnIndex column) {
    std::int32_t result = 0;
    if (OnCompareNodes) OnCompareNodes(this, node1, node2, column, result);
    return result;
}

namespace {

// A stable merge sort of node pointers. The compare handler reads the nodes' data, and
// once the runs are long their nodes lie all over the heap: every merge step then waits
// for memory. Two things keep those waits short. The sort goes depth first (a half is
// sorted completely before the other is started), so while a part is small enough for the
// processor's caches all its merges find its nodes there; only the last few merges reach
// out to main memory. And the merge loads the nodes' data a few places ahead in both runs,
// so the waits that remain overlap. Runs of 16 are sorted in place first, while their
// nodes still lie next to each other; the nodes of the next run load meanwhile.
class TNodeSorter {
public:
    TNodeSorter(TBaseVastTree* tree, TColumnIndex column, bool ascending, std::size_t dataOffset)
        : tree_(tree), column_(column), ascending_(ascending), dataOffset_(dataOffset) {}

    // Sorts nodes; buffer gets its size. The result is in nodes. A short list is sorted by
    // straight insertion, which needs the fewest compares when it is nearly in order.
    void Sort(std::vector<PVastNode>& nodes, std::vector<PVastNode>& buffer) {
        std::size_t n = nodes.size();
        if (n <= RunLength) {
            InsertionSort(nodes.data(), n);
            return;
        }
        buffer.assign(nodes.begin(), nodes.end());
        for (std::size_t k = 0; k < RunLength; ++k) Load(nodes[k]);
        SortInto(buffer.data(), nodes.data(), n, 0);
    }

private:
    static constexpr std::size_t RunLength = 16;
    static constexpr std::ptrdiff_t Ahead = 16;

    // b before a in the sort order (never for equal nodes: that keeps the sort stable).
    bool Before(PVastNode b, PVastNode a) {
        std::int32_t result = tree_->DoCompare(b, a, column_);
        return ascending_ ? result < 0 : result > 0;
    }

    void Load(PVastNode node) { __builtin_prefetch(reinterpret_cast<const char*>(node) + dataOffset_); }

    // Sorts the n nodes at target into target, with scratch holding the same nodes on entry
    // (the two take turns as source and destination one level down). The left part is a
    // whole number of runs, so every run but the last is RunLength long.
    // behind: how many nodes follow in the whole list.
    void SortInto(PVastNode* scratch, PVastNode* target, std::size_t n, std::size_t behind) {
        if (n <= RunLength) {
            // The next run is sorted next: its nodes load while this one is sorted.
            for (std::size_t k = n; k < n + std::min(behind, RunLength); ++k) Load(target[k]);
            BinaryInsertionSort(target, n);
            return;
        }
        std::size_t runs = (n + RunLength - 1) / RunLength;
        std::size_t half = runs / 2 * RunLength;
        SortInto(target, scratch, half, behind + n - half);
        SortInto(target + half, scratch + half, n - half, behind);
        // Halves already in order (a sorted list with a node added at its end, as the
        // automatic sort sees it) are only copied: one compare instead of a merge.
        if (!Before(scratch[half], scratch[half - 1]))
            std::copy(scratch, scratch + n, target);
        else
            Merge(scratch, scratch + half, scratch + half, scratch + n, target);
    }

    void InsertionSort(PVastNode* first, std::size_t count) {
        for (std::size_t i = 1; i < count; ++i) {
            PVastNode node = first[i];
            std::size_t j = i;
            while (j > 0 && Before(node, first[j - 1])) {
                first[j] = first[j - 1];
                --j;
            }
            first[j] = node;
        }
    }

    // Fewer compares than the straight insertion: each node's place is found by halving.
    // Behind the nodes that compare equal to it, so the sort stays stable.
    void BinaryInsertionSort(PVastNode* first, std::size_t count) {
        for (std::size_t i = 1; i < count; ++i) {
            PVastNode node = first[i];
            std::size_t low = 0, high = i;
            while (low < high) {
                std::size_t middle = (low + high) / 2;
                if (Before(node, first[middle]))
                    high = middle;
                else
                    low = middle + 1;
            }
            for (std::size_t j = i; j > low; --j) first[j] = first[j - 1];
            first[low] = node;
        }
    }

    void Merge(PVastNode* a, PVastNode* aEnd, PVastNode* b, PVastNode* bEnd, PVastNode* out) {
        for (std::ptrdiff_t k = 0; k < Ahead; ++k) {
            if (a + k < aEnd) Load(a[k]);
            if (b + k < bEnd) Load(b[k]);
        }
        while (a < aEnd && b < bEnd) {
            if (Before(*b, *a)) {
                if (b + Ahead < bEnd) Load(b[Ahead]);
                *out++ = *b++;
            } else {
                if (a + Ahead < aEnd) Load(a[Ahead]);
                *out++ = *a++;
            }
        }
        out = std::copy(a, aEnd, out);
        std::copy(b, bEnd, out);
    }

    TBaseVastTree* tree_;
    TColumnIndex column_;
    bool ascending_;
    std::size_t dataOffset_;
};

}  // namespace

void TBaseVastTree::SortChildren(PVastNode node, TColumnIndex column, TSortDirection direction) {
    std::vector<PVastNode> children, buffer;
    children.reserve(node->ChildCount);
    // Each step of the chain waits for the one before. Siblings made one after the other
    // lie at even distances in the node store, so the node that many steps ahead on the
    // same stride is loaded early; where they do not, the loads are wasted, not wrong.
    constexpr std::ptrdiff_t stride = 8;
    PVastNode previous = nullptr;
    for (PVastNode child = node->FirstChild; child; child = child->NextSibling) {
        if (previous) {
            std::intptr_t step = reinterpret_cast<std::intptr_t>(child) - reinterpret_cast<std::intptr_t>(previous);
            __builtin_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::intptr_t>(child) + stride * step));
        }
        children.push_back(child);
        previous = child;
    }
    TNodeSorter(this, column, direction == sdAscending, sizeof(TVastNode) + totalInternalDataSize_)
        .Sort(children, buffer);
    // The nodes are visited in their new order, scattered over memory: each is loaded a
    // few places ahead so that the writes do not wait one after the other.
    constexpr std::size_t ahead = 16;
    previous = nullptr;
    std::uint32_t index = 0;
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (i + ahead < children.size()) __builtin_prefetch(children[i + ahead], 1);
        PVastNode child = children[i];
        child->Index = index++;
        child->PrevSibling = previous;
        if (previous) previous->NextSibling = child;
        previous = child;
    }
    previous->NextSibling = nullptr;
    node->FirstChild = children.front();
    node->LastChild = previous;
}

void TBaseVastTree::Sort(PVastNode node, TColumnIndex column, TSortDirection direction, bool doInit) {
    InterruptValidation();
    if (states_ & tsEditPending) {
        StopTimer(EditTimer);
        DoStateChange(0, tsEditPending);
    }
    if ((states_ & tsEditing) && !DoEndEdit()) return;
    if (column < NoColumn) return;
    node = NodeOrRoot(node);
    if (node != root_ && !CheckOwnNode(node)) return;
    if (!(node->States & vsHasChildren)) return;
    if (doInit) {
        if (node->ChildCount == 0) InitChildren(node);
        ValidateChildren(node, false);
    }
    if (node->ChildCount > 1) {
        SortChildren(node, column, direction);
        InvalidateCache();
    }
    if (updateCount_ == 0) {
        ValidateCache();
        InvalidateTree();
    }
}

void TBaseVastTree::SortTree(TColumnIndex column, TSortDirection direction, bool doInit) {
    // The counter, not BeginUpdate: closing the bracket would sort again.
    ++updateCount_;
    auto finish = [&] {
        if (updateCount_ > 0) --updateCount_;
        if (updateCount_ == 0) {
            ValidateCache();
            InvalidateTree();
        }
    };
    TScopeExit finished(finish);
    if (column >= NoColumn) {
        // Depth first without recursion: a deep tree does not exhaust the stack. Each
        // level keeps the next child to visit.
        Sort(root_, column, direction, doInit);
        std::vector<PVastNode> next{root_->FirstChild};
        while (!next.empty()) {
            PVastNode child = next.back();
            if (!child) {
                next.pop_back();
                continue;
            }
            next.back() = child->NextSibling;
            if (doInit) InitIfNeeded(child);
            if (!(child->States & vsInitialized)) continue;
            Sort(child, column, direction, doInit);
            next.push_back(child->FirstChild);
        }
    }
    InvalidateCache();
}

void TBaseVastTree::AutoSortChildren(PVastNode node) {
    if (updateCount_ > 0 || !(options_->AutoOptions() & toAutoSort) || header_->SortColumn() < NoColumn) return;
    Sort(node, header_->SortColumn(), header_->SortDirection(), true);
}

}  // namespace treeview
