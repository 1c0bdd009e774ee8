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

void TBaseVastTree::SortChildren(PVastNode node, TColumnIndex column, TSortDirection direction) {
    std::vector<PVastNode> children;
    children.reserve(node->ChildCount);
    for (PVastNode child = node->FirstChild; child; child = child->NextSibling) children.push_back(child);
    if (direction == sdAscending)
        std::stable_sort(children.begin(), children.end(),
                         [&](PVastNode a, PVastNode b) { return DoCompare(a, b, column) < 0; });
    else
        std::stable_sort(children.begin(), children.end(),
                         [&](PVastNode a, PVastNode b) { return DoCompare(a, b, column) > 0; });
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
