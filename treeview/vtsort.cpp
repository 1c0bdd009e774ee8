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

// A stable merge sort of node pointers. The compare handler reads the nodes, and once the
// runs are long their nodes lie all over the heap: every merge step then waits for memory.
// The merge loads the nodes a few places ahead in both runs (the record and the user data
// line) so those waits overlap; short runs are sorted in place first, while their nodes
// still lie next to each other.
class TNodeSorter {
public:
    TNodeSorter(TBaseVastTree* tree, TColumnIndex column, bool ascending, std::size_t dataOffset)
        : tree_(tree), column_(column), ascending_(ascending), dataOffset_(dataOffset) {}

    // Sorts nodes; buffer gets its size. The result is in nodes.
    void Sort(std::vector<PVastNode>& nodes, std::vector<PVastNode>& buffer) {
        std::size_t n = nodes.size();
        for (std::size_t start = 0; start < n; start += RunLength)
            InsertionSort(nodes.data() + start, std::min(n, start + RunLength) - start);
        if (n <= RunLength) return;
        buffer.resize(n);
        PVastNode* from = nodes.data();
        PVastNode* to = buffer.data();
        for (std::size_t width = RunLength; width < n; width *= 2) {
            for (std::size_t left = 0; left < n; left += 2 * width) {
                std::size_t middle = std::min(n, left + width), right = std::min(n, left + 2 * width);
                Merge(from + left, from + middle, from + middle, from + right, to + left);
            }
            std::swap(from, to);
        }
        if (from != nodes.data()) std::copy(from, from + n, nodes.data());
    }

private:
    static constexpr std::size_t RunLength = 16;
    static constexpr std::ptrdiff_t Ahead = 8;

    // b before a in the sort order (never for equal nodes: that keeps the sort stable).
    bool Before(PVastNode b, PVastNode a) {
        std::int32_t result = tree_->DoCompare(b, a, column_);
        return ascending_ ? result < 0 : result > 0;
    }

    void Load(PVastNode node) {
        __builtin_prefetch(node);
        __builtin_prefetch(reinterpret_cast<const char*>(node) + dataOffset_);
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
    for (PVastNode child = node->FirstChild; child; child = child->NextSibling) children.push_back(child);
    TNodeSorter(this, column, direction == sdAscending, sizeof(TVastNode) + totalInternalDataSize_)
        .Sort(children, buffer);
    PVastNode previous = nullptr;
    std::uint32_t index = 0;
    for (PVastNode child : children) {
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
    try {
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
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TBaseVastTree::AutoSortChildren(PVastNode node) {
    if (updateCount_ > 0 || !(options_->AutoOptions() & toAutoSort) || header_->SortColumn() < NoColumn) return;
    Sort(node, header_->SortColumn(), header_->SortDirection(), true);
}

}  // namespace treeview
