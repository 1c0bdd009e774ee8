// The walks of TBaseVastTree (tree order, siblings, children, levels, leaves, visible
// nodes; each with a NoInit twin that only follows existing links), visibility, the
// hidden-children flag, disabling, and expanding and collapsing.
#include "treeview/vasttrees.h"
#include "treeview/vtaccess.h"
#include "treeview/vtinternal.h"

namespace treeview {

namespace {
constexpr const char* RootMessage = "Node must not be the hidden root node.";
constexpr const char* InvalidMessage = "Invalid parameter.";
}  // namespace

bool TBaseVastTree::IsShown(PVastNode node) const {
    if (!node || !(node->States & vsVisible)) return false;
    for (PVastNode run = node == root_ ? root_ : node->Parent; run != root_; run = run->Parent) {
        if (!run) return false;  // not linked into a tree
        if ((run->States & (vsExpanded | vsVisible)) != (vsExpanded | vsVisible)) return false;
    }
    return true;
}

// ---- first and last ----

namespace {
// Repeats a step from a node until it gives nothing; the last node reached.
template <class Step>
PVastNode Deepest(PVastNode result, Step step) {
    while (result) {
        PVastNode next = step(result);
        if (!next) break;
        result = next;
    }
    return result;
}
}  // namespace

PVastNode TBaseVastTree::GetFirst() { return GetFirstChild(nullptr); }

PVastNode TBaseVastTree::GetFirstNoInit() const { return root_->FirstChild; }

PVastNode TBaseVastTree::GetFirstInitialized() const {
    PVastNode run = GetFirstNoInit();
    while (run && !(run->States & vsInitialized)) run = GetNextNoInit(run);
    return run;
}

PVastNode TBaseVastTree::GetFirstLeaf() { return GetNextLeaf(nullptr); }

PVastNode TBaseVastTree::GetFirstLevel(std::uint32_t level) {
    PVastNode run = GetFirstNoInit();
    while (run && GetNodeLevel(run) != level) run = GetNextNoInit(run);
    InitIfNeeded(run);
    return run;
}

PVastNode TBaseVastTree::GetFirstVisible() {
    for (PVastNode run = root_->FirstChild; run; run = run->NextSibling) {
        InitIfNeeded(run);
        if (run->States & vsVisible) return run;
    }
    return nullptr;
}

PVastNode TBaseVastTree::GetFirstVisibleNoInit() const {
    for (PVastNode run = root_->FirstChild; run; run = run->NextSibling)
        if (run->States & vsVisible) return run;
    return nullptr;
}

PVastNode TBaseVastTree::GetFirstChild(PVastNode node) {
    node = NodeOrRoot(node);
    InitIfNeeded(node);
    if (node != root_) CreateChildrenIfNeeded(node);
    InitIfNeeded(node->FirstChild);
    return node->FirstChild;
}

PVastNode TBaseVastTree::GetFirstVisibleChild(PVastNode node) {
    PVastNode result = GetFirstChild(node);
    if (result && !(result->States & vsVisible)) result = GetNextVisibleSibling(result);
    return result;
}

PVastNode TBaseVastTree::GetFirstVisibleChildNoInit(PVastNode node) const {
    PVastNode result = NodeOrRoot(node)->FirstChild;
    if (result && !(result->States & vsVisible)) result = GetNextVisibleSiblingNoInit(result);
    return result;
}

PVastNode TBaseVastTree::GetLastChild(PVastNode node) {
    node = NodeOrRoot(node);
    InitIfNeeded(node);
    if (node != root_) CreateChildrenIfNeeded(node);
    InitIfNeeded(node->LastChild);
    return node->LastChild;
}

PVastNode TBaseVastTree::GetLastChildNoInit(PVastNode node) const {
    node = NodeOrRoot(node);
    return (node == root_ || (node->States & vsHasChildren)) ? node->LastChild : nullptr;
}

PVastNode TBaseVastTree::GetLast(PVastNode node) {
    return Deepest(GetLastChild(node), [&](PVastNode n) { return GetLastChild(n); });
}

PVastNode TBaseVastTree::GetLastNoInit(PVastNode node) const {
    return Deepest(GetLastChildNoInit(node), [&](PVastNode n) { return GetLastChildNoInit(n); });
}

PVastNode TBaseVastTree::GetLastInitialized(PVastNode node) const {
    PVastNode result = GetLastNoInit(node);
    if (result && !(result->States & vsInitialized)) result = GetPreviousInitialized(result);
    return result;
}

PVastNode TBaseVastTree::GetLastVisibleChild(PVastNode node) {
    node = NodeOrRoot(node);
    if (node != root_ && !(IsShown(node) && (node->States & vsExpanded))) return nullptr;
    PVastNode result = GetLastChild(node);
    if (result && !(result->States & vsVisible)) result = GetPreviousVisibleSibling(result);
    return result;
}

PVastNode TBaseVastTree::GetLastVisibleChildNoInit(PVastNode node) const {
    node = NodeOrRoot(node);
    if (node != root_ && !(IsShown(node) && (node->States & vsExpanded))) return nullptr;
    PVastNode result = node->LastChild;
    if (result && !(result->States & vsVisible)) result = GetPreviousVisibleSiblingNoInit(result);
    return result;
}

PVastNode TBaseVastTree::GetLastVisible(PVastNode node) {
    return Deepest(GetLastVisibleChild(node), [&](PVastNode n) { return GetLastVisibleChild(n); });
}

PVastNode TBaseVastTree::GetLastVisibleNoInit(PVastNode node) const {
    return Deepest(GetLastVisibleChildNoInit(node), [&](PVastNode n) { return GetLastVisibleChildNoInit(n); });
}

// ---- next and previous in tree order ----

PVastNode TBaseVastTree::NextAfterSubtree(PVastNode node, bool init) {
    for (PVastNode run = node; run && run != root_; run = run->Parent)
        if (run->NextSibling) {
            if (init) InitIfNeeded(run->NextSibling);
            return run->NextSibling;
        }
    return nullptr;
}

PVastNode TBaseVastTree::GetNext(PVastNode node) {
    if (!node) return nullptr;
    Require(node != root_, RootMessage);
    CreateChildrenIfNeeded(node);
    if (node->FirstChild) {
        InitIfNeeded(node->FirstChild);
        return node->FirstChild;
    }
    return NextAfterSubtree(node, true);
}

PVastNode TBaseVastTree::GetNextNoInit(PVastNode node) const {
    if (!node) return nullptr;
    Require(node != root_, RootMessage);
    if (node->FirstChild) return node->FirstChild;
    return const_cast<TBaseVastTree*>(this)->NextAfterSubtree(node, false);
}

PVastNode TBaseVastTree::GetNextInitialized(PVastNode node) const {
    PVastNode run = GetNextNoInit(node);
    while (run && !(run->States & vsInitialized)) run = GetNextNoInit(run);
    return run;
}

PVastNode TBaseVastTree::GetNextLeaf(PVastNode node) {
    PVastNode run = (!node || node == root_) ? GetFirst() : GetNext(node);
    while (run && (run->States & vsHasChildren)) run = GetNext(run);
    return run;
}

PVastNode TBaseVastTree::FirstOnLevel(PVastNode node, std::uint32_t nodeLevel, std::uint32_t level) {
    if (nodeLevel == level) {
        InitIfNeeded(node);
        return node;
    }
    if (nodeLevel > level) return nullptr;
    for (PVastNode child = GetFirstChild(node); child; child = GetNextSibling(child))
        if (PVastNode found = FirstOnLevel(child, nodeLevel + 1, level)) return found;
    return nullptr;
}

PVastNode TBaseVastTree::LastOnLevel(PVastNode node, std::uint32_t nodeLevel, std::uint32_t level) {
    if (nodeLevel == level) {
        InitIfNeeded(node);
        return node;
    }
    if (nodeLevel > level) return nullptr;
    for (PVastNode child = GetLastChild(node); child; child = GetPreviousSibling(child))
        if (PVastNode found = LastOnLevel(child, nodeLevel + 1, level)) return found;
    return nullptr;
}

PVastNode TBaseVastTree::GetNextLevel(PVastNode node, std::uint32_t level) {
    if (!node || node == root_) return nullptr;
    std::uint32_t nodeLevel = GetNodeLevel(node);
    if (nodeLevel < level)
        for (PVastNode child = GetFirstChild(node); child; child = GetNextSibling(child))
            if (PVastNode found = FirstOnLevel(child, nodeLevel + 1, level)) return found;
    for (PVastNode run = node; run != root_; run = run->Parent, --nodeLevel)
        for (PVastNode sibling = GetNextSibling(run); sibling; sibling = GetNextSibling(sibling))
            if (PVastNode found = FirstOnLevel(sibling, nodeLevel, level)) return found;
    return nullptr;
}

PVastNode TBaseVastTree::GetPreviousLevel(PVastNode node, std::uint32_t level) {
    if (!node || node == root_) return nullptr;
    std::uint32_t nodeLevel = GetNodeLevel(node);
    for (PVastNode run = node; run != root_; run = run->Parent, --nodeLevel) {
        for (PVastNode sibling = GetPreviousSibling(run); sibling; sibling = GetPreviousSibling(sibling))
            if (PVastNode found = LastOnLevel(sibling, nodeLevel, level)) return found;
        if (run->Parent != root_ && nodeLevel - 1 == level) {
            InitIfNeeded(run->Parent);
            return run->Parent;
        }
    }
    return nullptr;
}

PVastNode TBaseVastTree::GetNextSibling(PVastNode node) {
    if (!node) return nullptr;
    Require(node != root_, RootMessage);
    InitIfNeeded(node->NextSibling);
    return node->NextSibling;
}

PVastNode TBaseVastTree::GetPreviousSibling(PVastNode node) {
    if (!node) return nullptr;
    Require(node != root_, RootMessage);
    InitIfNeeded(node->PrevSibling);
    return node->PrevSibling;
}

PVastNode TBaseVastTree::GetNextVisibleSibling(PVastNode node) {
    Require(node && node != root_, InvalidMessage);
    do node = GetNextSibling(node);
    while (node && !(node->States & vsVisible));
    return node;
}

PVastNode TBaseVastTree::GetNextVisibleSiblingNoInit(PVastNode node) const {
    Require(node && node != root_, InvalidMessage);
    do node = node->NextSibling;
    while (node && !(node->States & vsVisible));
    return node;
}

PVastNode TBaseVastTree::GetPreviousVisibleSibling(PVastNode node) {
    Require(node && node != root_, InvalidMessage);
    do node = GetPreviousSibling(node);
    while (node && !(node->States & vsVisible));
    return node;
}

PVastNode TBaseVastTree::GetPreviousVisibleSiblingNoInit(PVastNode node) const {
    Require(node && node != root_, InvalidMessage);
    do node = node->PrevSibling;
    while (node && !(node->States & vsVisible));
    return node;
}

PVastNode TBaseVastTree::GetPrevious(PVastNode node) {
    if (!node) return nullptr;
    Require(node != root_, RootMessage);
    PVastNode result = node->PrevSibling;
    if (result) {
        InitIfNeeded(result);
        if (PVastNode last = GetLast(result)) result = last;
    } else {
        result = node->Parent == root_ ? nullptr : node->Parent;
    }
    InitIfNeeded(result);
    return result;
}

PVastNode TBaseVastTree::GetPreviousNoInit(PVastNode node) const {
    if (!node) return nullptr;
    Require(node != root_, RootMessage);
    PVastNode result = node->PrevSibling;
    if (result) {
        if (PVastNode last = GetLastNoInit(result)) result = last;
    } else {
        result = node->Parent == root_ ? nullptr : node->Parent;
    }
    return result;
}

PVastNode TBaseVastTree::GetPreviousInitialized(PVastNode node) const {
    PVastNode run = GetPreviousNoInit(node);
    while (run && !(run->States & vsInitialized)) run = GetPreviousNoInit(run);
    return run;
}

PVastNode TBaseVastTree::GetPreviousLeaf(PVastNode node) {
    PVastNode run = (!node || node == root_) ? GetLastChild(nullptr) : GetPrevious(node);
    while (run && (run->States & vsHasChildren)) run = GetPrevious(run);
    return run;
}

// ---- visible nodes ----

PVastNode TBaseVastTree::TopHiddenPoint(PVastNode node, bool& parentCollapsed) const {
    PVastNode top = node;
    parentCollapsed = false;
    for (PVastNode run = node; run && run != root_; run = run->Parent) {
        if (!(run->States & vsVisible)) {
            top = run;
            parentCollapsed = false;
        }
        if (run->Parent != root_ && !(run->Parent->States & vsExpanded)) {
            top = run;
            parentCollapsed = true;
        }
    }
    return top;
}

// The next shown node in tree order. From a node that is not shown, the walk starts
// behind the part of the tree that hides it, so it never goes back before the node.
PVastNode TBaseVastTree::NextVisible(PVastNode node, bool init) {
    if (!node) return nullptr;
    Require(node != root_, RootMessage);
    PVastNode run = node;
    if (!IsShown(node)) {
        bool parentCollapsed = false;
        PVastNode top = TopHiddenPoint(node, parentCollapsed);
        run = NextAfterSubtree(parentCollapsed ? top->Parent : top, init);
    } else {
        if (init && (node->States & (vsHasChildren | vsExpanded)) == (vsHasChildren | vsExpanded))
            CreateChildrenIfNeeded(node);
        if ((node->States & vsExpanded) && node->FirstChild) {
            run = node->FirstChild;
            if (init) InitIfNeeded(run);
        } else {
            run = NextAfterSubtree(node, init);
        }
    }
    while (run && !(run->States & vsVisible)) run = NextAfterSubtree(run, init);
    return run;
}

PVastNode TBaseVastTree::PreviousVisible(PVastNode node, bool init) {
    if (!node) return nullptr;
    Require(node != root_, RootMessage);
    PVastNode start = node;
    if (!IsShown(node)) {
        bool parentCollapsed = false;
        start = TopHiddenPoint(node, parentCollapsed);
        if (parentCollapsed) return start->Parent;  // shown, and before the node
    }
    for (PVastNode run = start;;) {
        PVastNode sibling = run->PrevSibling;
        if (!sibling) return run->Parent == root_ ? nullptr : run->Parent;
        if (init) InitIfNeeded(sibling);
        if (sibling->States & vsVisible) {
            PVastNode last = init ? GetLastVisible(sibling) : GetLastVisibleNoInit(sibling);
            return last ? last : sibling;
        }
        run = sibling;
    }
}

PVastNode TBaseVastTree::GetNextVisible(PVastNode node) { return NextVisible(node, true); }

PVastNode TBaseVastTree::GetNextVisibleNoInit(PVastNode node) const {
    return const_cast<TBaseVastTree*>(this)->NextVisible(node, false);
}

PVastNode TBaseVastTree::GetPreviousVisible(PVastNode node) { return PreviousVisible(node, true); }

PVastNode TBaseVastTree::GetPreviousVisibleNoInit(PVastNode node) const {
    return const_cast<TBaseVastTree*>(this)->PreviousVisible(node, false);
}

PVastNode TBaseVastTree::GetVisibleParent(PVastNode node) const {
    Require(node != nullptr, "Node must not be nil.");
    PVastNode run = node == root_ ? root_ : node->Parent;
    while (run && run != root_ && !((run->States & vsExpanded) && IsShown(run))) run = run->Parent;
    return run ? run : root_;
}

bool TBaseVastTree::HasVisibleNextSibling(PVastNode node) const {
    for (PVastNode run = node ? node->NextSibling : nullptr; run; run = run->NextSibling)
        if (run->States & vsVisible) return true;
    return false;
}

bool TBaseVastTree::IsFirstVisibleChild(PVastNode parent, PVastNode node) const {
    PVastNode first = GetFirstVisibleChildNoInit(parent);
    return first && first == node;
}

bool TBaseVastTree::IsLastVisibleChild(PVastNode parent, PVastNode node) const {
    PVastNode last = NodeOrRoot(parent)->LastChild;
    if (last && !(last->States & vsVisible)) last = GetPreviousVisibleSiblingNoInit(last);
    return last && last == node;
}

// ---- visibility and disabling ----

bool TBaseVastTree::GetVisible(PVastNode node) {
    node = NodeOrRoot(node);
    InitIfNeeded(node);
    return node->States & vsVisible;
}

void TBaseVastTree::SetVisible(PVastNode node, bool value) {
    Require(node && node != root_, InvalidMessage);
    if (!CheckOwnNode(node) || bool(node->States & vsVisible) == value) return;
    InterruptValidation();
    PVastNode parent = node->Parent;
    bool onVisiblePath = IsShown(parent) && (parent->States & vsExpanded);
    if (value) {
        node->States |= vsVisible;
        if (parent->States & vsExpanded) AdjustTotalHeight(parent, node->TotalHeight, true);
        if (onVisiblePath) visibleCount_ += CountVisibleChildren(node) + 1;
        if (parent != root_) parent->States &= ~vsAllChildrenHidden;
    } else {
        std::uint32_t shown = onVisiblePath ? CountVisibleChildren(node) + 1 : 0;
        node->States &= ~vsVisible;
        if (parent->States & vsExpanded) AdjustTotalHeight(parent, -std::int64_t(node->TotalHeight), true);
        visibleCount_ -= shown;
        if (parent != root_) {
            if (updateCount_ == 0)
                DetermineHiddenChildrenFlag(parent);
            else
                states_ |= tsUpdateHiddenChildrenNeeded;
        }
    }
    AfterShapeChange();
}

bool TBaseVastTree::GetFullyVisible(PVastNode node) const {
    Require(node != nullptr, InvalidMessage);
    return IsShown(node);
}

void TBaseVastTree::SetFullyVisible(PVastNode node, bool value) {
    Require(node && node != root_, "Invalid parameter");
    SetVisible(node, value);
    if (!value) return;
    for (PVastNode run = node->Parent; run && run != root_; run = run->Parent) {
        if (!(run->States & vsExpanded)) ToggleNode(run);
        if (!(run->States & vsVisible)) SetVisible(run, true);
    }
}

bool TBaseVastTree::GetVisiblePath(PVastNode node) const {
    Require(node && node != root_, "Invalid parameters.");
    for (PVastNode run = node->Parent; run != root_; run = run->Parent) {
        if (!run) return false;
        if ((run->States & (vsExpanded | vsVisible)) != (vsExpanded | vsVisible)) return false;
    }
    return true;
}

void TBaseVastTree::SetVisiblePath(PVastNode node, bool value) {
    Require(node && node != root_, InvalidMessage);
    if (!value) return;
    for (PVastNode run = node->Parent; run && run != root_; run = run->Parent)
        if (!(run->States & vsExpanded)) ToggleNode(run);
}

void TBaseVastTree::SetDisabled(PVastNode node, bool value) {
    if (!node || node == root_ || bool(node->States & vsDisabled) == value || !CheckOwnNode(node)) return;
    InterruptValidation();
    if (value)
        node->States |= vsDisabled;
    else
        node->States &= ~vsDisabled;
    InvalidateNode(node);
}

void TBaseVastTree::DetermineHiddenChildrenFlag(PVastNode node) {
    if (!node || node == root_) return;
    if (node->FirstChild) {
        bool allHidden = true;
        for (PVastNode child = node->FirstChild; child && allHidden; child = child->NextSibling)
            if (child->States & vsVisible) allHidden = false;
        if (allHidden)
            node->States |= vsAllChildrenHidden;
        else
            node->States &= ~vsAllChildrenHidden;
    } else if (node->States & vsHasChildren) {
        node->States &= ~vsAllChildrenHidden;
    } else {
        node->States |= vsAllChildrenHidden;
    }
}

void TBaseVastTree::DetermineHiddenChildrenFlagAllNodes() {
    for (PVastNode run = GetFirstNoInit(); run; run = GetNextNoInit(run)) DetermineHiddenChildrenFlag(run);
}

// ---- expanding and collapsing ----

bool TBaseVastTree::GetExpanded(PVastNode node) const { return node && (node->States & vsExpanded); }

void TBaseVastTree::SetExpanded(PVastNode node, bool value) {
    if (node && node != root_ && GetExpanded(node) != value) ToggleNode(node);
}

bool TBaseVastTree::DoExpanding(PVastNode node) {
    bool allowed = true;
    if (OnExpanding) OnExpanding(this, node, allowed);
    return allowed;
}

bool TBaseVastTree::DoCollapsing(PVastNode node) {
    bool allowed = true;
    if (OnCollapsing) OnCollapsing(this, node, allowed);
    return allowed;
}

void TBaseVastTree::DoExpanded(PVastNode node) {
    NotifyAccessibleEvent(EVENT_OBJECT_STATECHANGE);
    if (OnExpanded) OnExpanded(this, node);
}

void TBaseVastTree::DoCollapsed(PVastNode node) {
    NotifyAccessibleEvent(EVENT_OBJECT_STATECHANGE);
    if (OnCollapsed) OnCollapsed(this, node);
}

void TBaseVastTree::ToggleNode(PVastNode node) {
    if (!node || node == root_ || !CheckOwnNode(node)) return;
    if (node->States & vsExpanded) {
        if (!DoCollapsing(node)) return;
        AnimateToggle(node, false, int(node->TotalHeight) - node->NodeHeight);
        InterruptValidation();
        std::uint32_t shown = IsShown(node) ? CountVisibleChildren(node) : 0;
        node->States &= ~vsExpanded;
        AdjustTotalHeight(node, node->NodeHeight, false);
        visibleCount_ -= shown;
        DoCollapsed(node);
    } else {
        if (!(node->States & vsHasChildren) || !DoExpanding(node)) return;
        CreateChildrenIfNeeded(node);
        if (!node->FirstChild) return;
        InterruptValidation();
        node->States |= vsExpanded;
        std::int64_t height = node->NodeHeight;
        for (PVastNode child = node->FirstChild; child; child = child->NextSibling)
            if (child->States & vsVisible) height += child->TotalHeight;
        AdjustTotalHeight(node, height, false);
        if (IsShown(node)) visibleCount_ += CountVisibleChildren(node);
        if (IsShown(node)) AnimateToggle(node, true, int(height) - node->NodeHeight);
        DoExpanded(node);
    }
    AfterShapeChange();
}

void TBaseVastTree::FullExpand(PVastNode node) {
    Updating([&] {
        PVastNode stop = node ? NextAfterSubtree(node, false) : nullptr;
        for (PVastNode run = node ? node : GetFirst(); run && run != stop; run = GetNext(run))
            if ((run->States & vsHasChildren) && !(run->States & vsExpanded)) ToggleNode(run);
    });
}

void TBaseVastTree::FullCollapse(PVastNode node) {
    Updating([&] {
        PVastNode stop = node ? NextAfterSubtree(node, false) : nullptr;
        for (PVastNode run = node ? node : GetFirstNoInit(); run && run != stop; run = GetNextNoInit(run))
            if (run->States & vsExpanded) ToggleNode(run);
    });
}

}  // namespace treeview
