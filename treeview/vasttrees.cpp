// The node store of TBaseVastTree: node records, creation, linking, deletion, moving
// and copying, lazy initialisation, counts and heights, and the tree's construction.
#include "treeview/vasttrees.h"
#include "treeview/vtclipboard.h"
#include "treeview/vtdragimage.h"
#include "treeview/vtheader.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

void AcquireWorker();
void ReleaseWorker(TBaseVastTree* tree);

TBaseVastTree* TreeFromNode(PVastNode node) {
    Require(node != nullptr, "Node must not be nil.");
    while (node && node->NextSibling != node) node = node->Parent;
    return node ? reinterpret_cast<TBaseVastTree*>(node->Parent) : nullptr;
}

// ---- construction and destruction ----

TBaseVastTree::TBaseVastTree(TComponent* owner) : TCustomControl(owner) {
    // The tree formats are known from the first tree on, so that the formats another program
    // offers are recognised already by the first paste.
    InitializeClipboardFormats();
    SetControlStyle((ControlStyle() & ~csSetCaption) | csCaptureMouse | csOpaque | csReplicatable |
                    csDisplayDragImage | csReflector);
    SetBounds(0, 0, 200, 100);
    SetTabStop(true);
    SetParentColor(false);
    colors_ = std::make_unique<TVTColors>(this);
    scrollBarOptions_ = std::make_unique<TScrollBarOptions>(this);
    options_ = std::make_unique<TCustomVastTreeOptions>(this);
    header_ = std::make_unique<TVTHeader>(this);
    dragImage_ = std::make_unique<TVTDragImage>(this);
    dragImage_->SetRadialFade(true);
    dragImage_->SetImageAlpha(200);
    background_ = std::make_unique<TPicture>();
    plusBM_ = std::make_unique<TBitmap>();
    minusBM_ = std::make_unique<TBitmap>();
    msgTarget_.reset(AllocateHWnd([this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
        return MessageProc(msg, wParam, lParam);
    }));
    msgHandle_ = msgTarget_.get();
    InitRootNode(sizeof(TVastNode));
    PrepareBitmaps(true, true);
    AcquireWorker();
}

TBaseVastTree::~TBaseVastTree() {
    Destroying();
    ReleaseTransferLinks(true);
    // A read-only tree must still free its nodes.
    options_->SetMiscOptions(options_->MiscOptions() & ~toReadOnly);
    ReleaseWorker(this);
    DoCancelEdit();
    editLink_.Reset();
    dragImage_.reset();
    Clear();
    for (unsigned id = ExpandTimer; id <= SearchTimer; ++id) StopTimer(id);
    msgTarget_.reset();
    msgHandle_ = nullptr;
    header_.reset();
    background_.reset();
    rootStore_.reset();
    root_ = nullptr;
    if (customCheckImages_) customCheckImages_->RemoveFreeNotification(this);
    dottedBrush_.reset();
    plusBM_.reset();
    minusBM_.reset();
    options_.reset();
    scrollBarOptions_.reset();
    colors_.reset();
}

void TBaseVastTree::NodeFree::operator()(TVastNode* node) const { std::free(node); }

void TBaseVastTree::MessageTargetFree::operator()(HWND handle) const { DeallocateHWnd(handle); }

void TBaseVastTree::BrushFree::operator()(HBRUSH brush) const { DeleteObject(brush); }

void TBaseVastTree::SetOptionsObject(TCustomVastTreeOptions* options) { options_.reset(options); }

void TBaseVastTree::InitRootNode(std::uint32_t allocSize) {
    auto* root = static_cast<PVastNode>(std::calloc(1, allocSize));
    if (!root) throw std::bad_alloc();
    root->Parent = reinterpret_cast<PVastNode>(this);
    root->PrevSibling = root;
    root->NextSibling = root;
    root->States = vsInitialized | vsExpanded | vsHasChildren | vsVisible;
    root->NodeHeight = defaultNodeHeight_;
    root->TotalHeight = defaultNodeHeight_;
    root->TotalCount = 1;
    root->VerticalAlignment = 50;
    rootStore_.reset(root);
    root_ = root;
}

bool TBaseVastTree::IsLoadingOrDesigning() const { return ComponentState() & (csLoading | csDesigning); }

bool TBaseVastTree::ReadOnly() const { return options_ && (options_->MiscOptions() & toReadOnly); }

bool TBaseVastTree::CheckOwnNode(PVastNode node) const {
    if (node && TreeFromNode(node) == this && !(node->States & vsDeleting)) return true;
#ifndef NDEBUG
    throw EAssertionFailed("Node does not belong to this tree or is being deleted.");
#else
    return false;
#endif
}

void TBaseVastTree::Loaded() {
    TCustomControl::Loaded();
    if ((states_ & tsNeedRootCountUpdate) && root_->ChildCount > 0) {
        DoStateChange(0, tsNeedRootCountUpdate);
        TVTMiscOptions misc = options_->MiscOptions();
        options_->SetMiscOptions(misc & ~toReadOnly);
        std::uint32_t count = root_->ChildCount;
        root_->ChildCount = 0;
        BeginUpdate();
        SetChildCount(root_, count);
        EndUpdate();
        options_->SetMiscOptions(misc);
    }
}

void TBaseVastTree::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TBaseVastTree*>(source);
    if (!other) {
        TCustomControl::Assign(source);
        return;
    }
    if (ReadOnly()) return;
    SetAutoScrollDelay(other->AutoScrollDelay());
    SetAutoScrollInterval(other->AutoScrollInterval());
    SetChangeDelay(other->ChangeDelay());
    SetCheckImageKind(other->CheckImageKind());
    SetColor(other->Color());
    colors_->Assign(other->Colors());
    SetDefaultNodeHeight(other->DefaultNodeHeight());
    SetDefaultPasteMode(other->DefaultPasteMode());
    SetEnabled(other->Enabled());
    SetIndent(other->Indent());
    SetMargin(other->Margin());
    SetNodeAlignment(other->NodeAlignment());
    SetNodeDataSize(other->NodeDataSize());
    options_->Assign(other->TreeOptions());
    SetRootNodeCount(other->RootNodeCount());
    scrollBarOptions_->Assign(other->ScrollBarOptions());
    SetVisible(other->Visible());
    SetSelectionCurveRadius(other->SelectionCurveRadius());
    SetSelectionBlendFactor(other->SelectionBlendFactor());
}

void TBaseVastTree::InvalidateTree() {
    if (HandleAllocated() && !(ComponentState() & csLoading)) Invalidate();
}


// ---- node data ----

void TBaseVastTree::NodeDataSizeMissing() { Require(false, "NodeDataSize not initialized."); }

void* TBaseVastTree::InternalData(PVastNode) const { return nullptr; }

std::uint32_t TBaseVastTree::AllocateInternalDataArea(std::uint32_t size) {
    Require(root_->FirstChild == nullptr, "Internal data allocation must be done before any node is created.");
    std::uint32_t result = sizeof(TVastNode) + totalInternalDataSize_;
    std::uint32_t oldSize = result;
    // Areas keep whole steps of the strictest alignment, so that the caller's data area
    // after them holds pointers and doubles on their own alignment.
    constexpr std::uint32_t step = alignof(std::max_align_t);
    totalInternalDataSize_ += (size + step - 1) & ~(step - 1);
    std::uint32_t newSize = sizeof(TVastNode) + totalInternalDataSize_;
    auto* root = static_cast<PVastNode>(std::realloc(root_, newSize));
    if (!root) throw std::bad_alloc();
    (void)rootStore_.release();
    rootStore_.reset(root);
    std::memset(reinterpret_cast<char*>(root) + oldSize, 0, newSize - oldSize);
    root->PrevSibling = root;
    root->NextSibling = root;
    root_ = root;
    return result;
}

void TBaseVastTree::SetNodeDataSize(std::int32_t value) {
    if (value < -1) value = -1;
    if (value == nodeDataSize_) return;
    nodeDataSize_ = value;
    if (IsLoadingOrDesigning()) return;
    std::uint32_t count = root_->ChildCount;
    Clear();
    SetRootNodeCount(count);
}

void TBaseVastTree::ValidateNodeDataSize(std::int32_t& size) {
    size = 0;
    if (OnGetNodeDataSize) OnGetNodeDataSize(this, size);
}

void TBaseVastTree::ResolveNodeDataSize() {
    if (nodeDataSize_ == -1 && !(ComponentState() & csDesigning)) {
        std::int32_t size = 0;
        ValidateNodeDataSize(size);
        nodeDataSize_ = size < 0 ? 0 : size;
    }
}

PVastNode TBaseVastTree::MakeNewNode() {
    ResolveNodeDataSize();
    std::size_t size = sizeof(TVastNode) + totalInternalDataSize_;
    if (!(ComponentState() & csDesigning) && nodeDataSize_ > 0) size += std::size_t(nodeDataSize_);
    auto* node = static_cast<PVastNode>(nodePool_.Allocate(size));
    node->TotalCount = 1;
    node->NodeHeight = defaultNodeHeight_;
    node->TotalHeight = defaultNodeHeight_;
    node->States = vsVisible;
    node->VerticalAlignment = 50;
    return node;
}

// ---- counts and heights ----

void TBaseVastTree::AdjustTotalCount(PVastNode node, std::int64_t value, bool relative) {
    std::int64_t diff = relative ? value : value - std::int64_t(node->TotalCount);
    if (diff == 0) return;
    while (node) {
        node->TotalCount = std::uint32_t(std::int64_t(node->TotalCount) + diff);
        node = node == root_ ? nullptr : node->Parent;
    }
}

void TBaseVastTree::AdjustTotalHeight(PVastNode node, std::int64_t value, bool relative) {
    std::int64_t diff = relative ? value : value - std::int64_t(node->TotalHeight);
    if (diff == 0) return;
    for (;;) {
        node->TotalHeight = std::uint32_t(std::int64_t(node->TotalHeight) + diff);
        if (node == root_ || !(node->States & vsVisible)) break;
        node = node->Parent;
        if (!node || !(node->States & vsExpanded)) break;
    }
}

void TBaseVastTree::FixupTotalCount(PVastNode node) {
    node->TotalCount = 1;
    for (PVastNode child = node->FirstChild; child; child = child->NextSibling) {
        FixupTotalCount(child);
        node->TotalCount += child->TotalCount;
    }
}

void TBaseVastTree::FixupTotalHeight(PVastNode node) {
    node->TotalHeight = node->NodeHeight;
    for (PVastNode child = node->FirstChild; child; child = child->NextSibling) {
        FixupTotalHeight(child);
        if ((node->States & vsExpanded) && (child->States & vsVisible)) node->TotalHeight += child->TotalHeight;
    }
}

// ---- linking ----

// Appends a node behind the parent's last child: links and index only, no counts.
void TBaseVastTree::LinkLastChild(PVastNode parent, PVastNode child) {
    child->Parent = parent;
    child->NextSibling = nullptr;
    child->PrevSibling = parent->LastChild;
    child->Index = parent->LastChild ? parent->LastChild->Index + 1 : 0;
    if (parent->LastChild)
        parent->LastChild->NextSibling = child;
    else
        parent->FirstChild = child;
    parent->LastChild = child;
}

void TBaseVastTree::InternalConnectNode(PVastNode node, PVastNode destination, TBaseVastTree* target,
                                        TVTNodeAttachMode mode) {
    switch (mode) {
        case amNoWhere:
            break;
        case amInsertBefore: {
            node->PrevSibling = destination->PrevSibling;
            destination->PrevSibling = node;
            node->NextSibling = destination;
            node->Parent = destination->Parent;
            node->Index = destination->Index;
            if (node->PrevSibling)
                node->PrevSibling->NextSibling = node;
            else
                node->Parent->FirstChild = node;
            for (PVastNode run = destination; run; run = run->NextSibling) ++run->Index;
            break;
        }
        case amInsertAfter: {
            node->NextSibling = destination->NextSibling;
            destination->NextSibling = node;
            node->PrevSibling = destination;
            node->Parent = destination->Parent;
            if (node->NextSibling)
                node->NextSibling->PrevSibling = node;
            else
                node->Parent->LastChild = node;
            node->Index = destination->Index;
            for (PVastNode run = node; run; run = run->NextSibling) ++run->Index;
            break;
        }
        case amAddChildFirst: {
            node->PrevSibling = nullptr;
            node->NextSibling = destination->FirstChild;
            if (destination->FirstChild)
                destination->FirstChild->PrevSibling = node;
            else
                destination->LastChild = node;
            destination->FirstChild = node;
            node->Parent = destination;
            node->Index = 0;
            for (PVastNode run = node->NextSibling; run; run = run->NextSibling) ++run->Index;
            break;
        }
        case amAddChildLast:
            LinkLastChild(destination, node);
            break;
    }
    node->States &= ~(vsChecking | vsCutOrCopy | vsDeleting | vsClearing);
    if (mode == amNoWhere) return;

    PVastNode parent = node->Parent;
    ++parent->ChildCount;
    parent->States |= vsHasChildren;
    target->AdjustTotalCount(parent, node->TotalCount, true);
    if ((parent->States & vsExpanded) && (node->States & vsVisible))
        target->AdjustTotalHeight(parent, node->TotalHeight, true);
    if (target->IsShown(node)) target->visibleCount_ += target->CountVisibleChildren(node) + 1;
    if (parent != target->root_) {
        if (node->States & vsVisible)
            parent->States &= ~vsAllChildrenHidden;
        else if (parent->ChildCount == 1)
            parent->States |= vsAllChildrenHidden;
    }
}

void TBaseVastTree::InternalDisconnectNode(PVastNode node, bool keepFocus, bool reindex) {
    Require(node && node != root_, "Node must neither be nil nor the root node.");
    if (node == focusedNode_ && !keepFocus) {
        DoFocusNode(nullptr, false);
        DoFocusChange(focusedNode_, focusedColumn_);
    }
    if (node == rangeAnchor_) ResetRangeAnchor();
    PVastNode parent = node->Parent;
    if (node->States & vsDeleting) return;

    bool wasShown = IsShown(node);
    node->States &= ~vsChecking;
    --parent->ChildCount;
    bool adjustHeight = (parent->States & vsExpanded) && (node->States & vsVisible);
    std::uint32_t shownBelow = wasShown ? CountVisibleChildren(node) + 1 : 0;
    if (parent->ChildCount == 0) {
        parent->States &= ~(vsAllChildrenHidden | vsHasChildren);
        if (parent != root_) parent->States &= ~vsExpanded;
    }
    AdjustTotalCount(parent, -std::int64_t(node->TotalCount), true);
    if (adjustHeight) AdjustTotalHeight(parent, -std::int64_t(node->TotalHeight), true);
    visibleCount_ -= shownBelow;

    if (node->PrevSibling)
        node->PrevSibling->NextSibling = node->NextSibling;
    else
        parent->FirstChild = node->NextSibling;
    if (node->NextSibling) {
        node->NextSibling->PrevSibling = node->PrevSibling;
        if (reindex) {
            std::uint32_t index = node->Index;
            for (PVastNode run = node->NextSibling; run; run = run->NextSibling) run->Index = index++;
        }
    } else {
        parent->LastChild = node->PrevSibling;
    }
    // The flag is decided once the node has left its parent.
    if (parent != root_ && !(parent->States & vsClearing)) {
        if (updateCount_ == 0)
            DetermineHiddenChildrenFlag(parent);
        else
            states_ |= tsUpdateHiddenChildrenNeeded;
    }
}

// The shape of the tree changed: the position cache is rebuilt and the window follows,
// at once outside an update bracket, else at its end.
void TBaseVastTree::AfterShapeChange() {
    InvalidateCache();
    if (updateCount_ > 0) return;
    ValidateCache();
    UpdateScrollBars(true);
    InvalidateTree();
}

// ---- creating ----

void TBaseVastTree::SetRootNodeCount(std::uint32_t value) {
    if (ComponentState() & csLoading) {
        root_->ChildCount = value;
        DoStateChange(tsNeedRootCountUpdate);
        return;
    }
    if (root_->ChildCount == value) return;
    BeginUpdate();
    InterruptValidation();
    SetChildCount(root_, value);
    EndUpdate();
}

std::uint32_t TBaseVastTree::GetChildCount(PVastNode node) const { return NodeOrRoot(node)->ChildCount; }

void TBaseVastTree::SetChildCount(PVastNode node, std::uint32_t count) {
    node = NodeOrRoot(node);
    if (ReadOnly()) return;
    if (node != root_ && !CheckOwnNode(node)) return;
    if (count == 0) {
        DeleteChildren(node);
        return;
    }
    if (count == node->ChildCount) return;
    InterruptValidation();
    if (count > node->ChildCount) {
        node->States |= vsHasChildren;
        node->States &= ~(vsAllChildrenHidden | vsHeightMeasured);
        std::uint32_t added = 0;
        std::int64_t heights = 0;
        // The children made so far are counted also when memory runs out midway.
        {
            TScopeExit account([&] {
                if (node->States & vsExpanded) {
                    AdjustTotalHeight(node, heights, true);
                    if (IsShown(node)) visibleCount_ += added;
                }
                AdjustTotalCount(node, added, true);
                node->ChildCount += added;
                InvalidateCache();
            });
            for (std::uint32_t wanted = count - node->ChildCount; added < wanted; ++added) {
                PVastNode child = MakeNewNode();
                LinkLastChild(node, child);
                heights += child->TotalHeight;
            }
        }
    } else {
        while (node->ChildCount > count && node->LastChild) InternalDeleteNode(node->LastChild, true);
    }
    if (updateCount_ == 0) {
        ValidateCache();
        UpdateScrollBars(true);
        InvalidateTree();
    }
    StructureChange(EventNode(node), crChildAdded);
    AutoSortChildren(node);
}

PVastNode TBaseVastTree::AddChild(PVastNode parent, void* userData) {
    if (ReadOnly()) return nullptr;
    // Without an edit under way or pending there is nothing to cancel (and no edit timer to
    // stop): adding many nodes does not go to the message queue once each.
    if (states_ & (tsEditing | tsEditPending)) DoCancelEdit();
    parent = NodeOrRoot(parent);
    if (parent != root_ && !CheckOwnNode(parent)) return nullptr;
    RequireUserDataSpace(userData);
    InitIfNeeded(parent);
    {
        TNestingScope quiet(updateCount_);
        SetChildCount(parent, parent->ChildCount + 1);
    }
    parent->States &= ~vsAllChildrenHidden;
    PVastNode result = parent->LastChild;
    InvalidateCache();
    if (updateCount_ == 0) {
        ValidateCache();
        if (states_ & tsStructureChangePending) StructureChange(EventNode(parent), crChildAdded);
        UpdateScrollBars(true);
        InvalidateTree();
    }
    SetInitialUserData(result, userData);
    AutoSortChildren(parent);
    return result;
}

// Checked before a node is added, so that a refused call leaves the tree as it was.
void TBaseVastTree::RequireUserDataSpace(void* userData) {
    if (!userData) return;
    ResolveNodeDataSize();
    // The pointer is stored whole, so the area must hold one.
    if (nodeDataSize_ < std::int32_t(sizeof(void*)))
        RaiseTreeError(teNoUserDataSpace);
}

void TBaseVastTree::SetInitialUserData(PVastNode node, void* userData) {
    if (!userData) return;
    std::memcpy(GetNodeData(node), &userData, sizeof(void*));
    node->States |= vsInitialUserData;
}

PVastNode TBaseVastTree::InsertNode(PVastNode node, TVTNodeAttachMode mode, void* userData) {
    if (mode == amNoWhere) return nullptr;
    if (states_ & (tsEditing | tsEditPending)) DoCancelEdit();
    node = NodeOrRoot(node);
    if (node != root_ && !CheckOwnNode(node)) return nullptr;
    RequireUserDataSpace(userData);
    InterruptValidation();
    PVastNode result = MakeNewNode();
    if (node == root_) {
        if (mode == amInsertBefore) mode = amAddChildFirst;
        if (mode == amInsertAfter) mode = amAddChildLast;
    }
    if (mode == amAddChildFirst || mode == amAddChildLast) InitIfNeeded(node);
    InternalConnectNode(result, node, this, mode);
    AfterShapeChange();
    StructureChange(result, crNodeAdded);
    SetInitialUserData(result, userData);
    AutoSortChildren(result->Parent);
    return result;
}

// ---- deleting ----

void TBaseVastTree::DeleteNode(PVastNode node, bool reindex) {
    if (!node || node == root_ || ReadOnly()) return;
    if (!CheckOwnNode(node)) return;
    InternalDeleteNode(node, reindex);
}

void TBaseVastTree::InternalDeleteNode(PVastNode node, bool reindex) {
    Require(!(states_ & tsIterating), "Deleting nodes during tree iteration leads to invalid pointers.");
    PVastNode parent = node->Parent;
    bool parentClearing = parent->States & vsClearing;
    if (!parentClearing) StructureChange(EventNode(parent), crChildDeleted);
    InterruptValidation();
    if (node->States & vsSelected) {
        if (updateCount_ > 0) {
            InternalRemoveFromSelection(node);
        } else {
            bool wasSynch = states_ & tsSynchMode;
            states_ |= tsSynchMode;
            RemoveFromSelection(node);
            if (!wasSynch) states_ &= ~tsSynchMode;
        }
    }
    if (states_ & tsHint) DoStateChange(0, tsHint);
    DeleteChildren(node);
    InternalDisconnectNode(node, false, reindex);
    if (!dragSelection_.empty()) ForgetDraggedNode(node);
    DoFreeNode(node);
    if (!parentClearing) {
        if (parent != root_) DetermineHiddenChildrenFlag(parent);
        AfterShapeChange();
    }
}

void TBaseVastTree::DeleteChildren(PVastNode node, bool resetHasChildren) {
    node = NodeOrRoot(node);
    if (!node->FirstChild || ReadOnly()) return;
    if (node != root_ && !(node->States & vsDeleting) && !CheckOwnNode(node)) return;
    Require(!(states_ & tsIterating), "Deleting nodes during tree iteration leads to invalid pointers.");
    {
        TNestingScope quiet(updateCount_);
        InterruptValidation();
        bool countVisible = node == root_ || (IsShown(node) && (node->States & vsExpanded));
        node->States |= vsClearing;
        PVastNode child = node->LastChild;
        while (child) {
            PVastNode previous = child->PrevSibling;
            if (countVisible && (child->States & vsVisible)) --visibleCount_;
            child->States |= vsDeleting;
            child->PrevSibling = nullptr;
            if (previous) previous->NextSibling = nullptr;
            node->LastChild = previous;
            InternalDeleteNode(child, false);
            child = previous;
        }
        node->States &= ~vsClearing;
        if (resetHasChildren) node->States &= ~vsHasChildren;
        if (node != root_) node->States &= ~vsExpanded;
        node->ChildCount = 0;
        node->FirstChild = nullptr;
        node->LastChild = nullptr;
        if (node == root_ || (node->States & vsDeleting)) {
            node->TotalHeight = node->NodeHeight;
            node->TotalCount = 1;
        } else {
            AdjustTotalHeight(node, node->NodeHeight, false);
            AdjustTotalCount(node, 1, false);
        }
    }
    InvalidateCache();
    if (updateCount_ == 0) {
        PackSelection();
        ValidateCache();
        UpdateScrollBars(true);
        InvalidateTree();
    }
    StructureChange(EventNode(node), crChildDeleted);
}

void TBaseVastTree::DoFreeNode(PVastNode node) {
    if (node == lastChangedNode_) lastChangedNode_ = nullptr;
    if (node == lastStructureChangeNode_) lastStructureChangeNode_ = nullptr;
    if (node == hotNode_) hotNode_ = nullptr;
    if (node == dropTargetNode_) dropTargetNode_ = nullptr;
    if (node == lastSearchNode_) lastSearchNode_ = nullptr;
    if (node == pendingEditNode_) pendingEditNode_ = nullptr;
    if (node == checkNode_) {
        checkNode_ = nullptr;
        DoStateChange(0, tsMouseCheckPending | tsKeyCheckPending);
    }
    if ((node->States & (vsInitialized | vsInitialUserData)) && OnFreeNode) OnFreeNode(this, node);
    nodePool_.Free(node);
}

void TBaseVastTree::DeleteSelectedNodes() {
    if (selectedCount_ <= 0 || ReadOnly()) return;
    Updating([&] {
        std::vector<PVastNode> nodes = GetSortedSelection(true);
        for (std::size_t i = nodes.size(); i-- > 1;)
            DeleteNode(nodes[i], nodes[i]->Parent != nodes[i - 1]->Parent);
        if (!nodes.empty()) DeleteNode(nodes[0], true);
    });
}

void TBaseVastTree::Clear() {
    if (ReadOnly() && !(ComponentState() & csDestroying)) return;
    Updating([&] {
        InterruptValidation();
        DoCancelEdit();
        // The clipboard must not keep data that names nodes about to go.
        ReleaseTransferLinks(false);
        if (states_ & (tsCopyPending | tsCutPending)) DoStateChange(0, tsCopyPending | tsCutPending);
        ClearSelection();
        focusedNode_ = nullptr;
        lastChangedNode_ = nullptr;
        hotNode_ = nullptr;
        dropTargetNode_ = nullptr;
        lastSearchNode_ = nullptr;
        checkNode_ = nullptr;
        rangeAnchor_ = nullptr;
        DeleteChildren(root_, true);
        visibleCount_ = 0;
        offsetY_ = 0;
    });
}

// ---- moving and copying ----

namespace {
TVTNodeAttachMode MapToRootMode(TVTNodeAttachMode mode) {
    if (mode == amInsertBefore) return amAddChildFirst;
    if (mode == amInsertAfter) return amAddChildLast;
    return mode;
}
}  // namespace

void TBaseVastTree::PrepareTarget(PVastNode target) {
    if (!(target->States & vsInitialized))
        InitNode(target);
    else if ((target->States & vsHasChildren) && target->ChildCount == 0)
        InitChildren(target);
}

void TBaseVastTree::MoveTo(PVastNode source, PVastNode target, TVTNodeAttachMode mode, bool childrenOnly) {
    if (TreeFromNode(source) != this) throw EAssertionFailed("The source tree must contain the source node.");
    bool allowed = source != target ||
                   (childrenOnly && (mode == amInsertBefore || mode == amInsertAfter));
    if (!allowed || mode == amNoWhere || source == root_ || ReadOnly()) return;
    if (source->States & vsDeleting) return;
    TBaseVastTree* targetTree = this;
    if (!target) {
        target = root_;
        mode = amAddChildFirst;
    } else {
        targetTree = TreeFromNode(target);
        if (!targetTree || (target->States & vsDeleting)) return;
    }
    if (target == targetTree->root_) mode = MapToRootMode(mode);
    targetTree->PrepareTarget(target);

    PVastNode reported = source;
    allowed = DoNodeMoving(source, targetTree->EventNode(target));
    if (allowed && targetTree == this) {
        if (source != target && HasAsParent(target, source))
            RaiseTreeError(teMoveIntoChild);
        InterruptValidation();
        auto moveOne = [&](PVastNode node, bool reindex) {
            InternalDisconnectNode(node, true, reindex);
            InternalConnectNode(node, target, this, mode);
            DoNodeMoved(node);
        };
        if (!childrenOnly) {
            moveOne(source, true);
        } else if (mode == amAddChildFirst) {
            for (PVastNode child = source->LastChild; child;) {
                PVastNode previous = child->PrevSibling;
                moveOne(child, false);
                child = previous;
            }
        } else {
            for (PVastNode child = source->FirstChild; child;) {
                PVastNode next = child->NextSibling;
                moveOne(child, false);
                child = next;
            }
        }
    } else if (allowed) {
        std::vector<PVastNode> nodes;
        if (childrenOnly)
            for (PVastNode child = source->FirstChild; child; child = child->NextSibling) nodes.push_back(child);
        else
            nodes.push_back(source);
        {
            TUpdateScope<TBaseVastTree> bracket(*targetTree);
            targetTree->InterruptValidation();
            for (PVastNode node : nodes) {
                PVastNode copy = targetTree->CopySubtree(node);
                targetTree->InternalConnectNode(copy, target, targetTree, mode);
                DoNodeMoved(copy);
            }
        }
        // The source goes away: the notification names what is left of it.
        if (!childrenOnly) reported = EventNode(source->Parent);
        Updating([&] {
            if (childrenOnly)
                DeleteChildren(source);
            else
                InternalDeleteNode(source, true);
        });
    }
    InvalidateCache();
    if (updateCount_ == 0 && allowed) {
        ValidateCache();
        UpdateScrollBars(true);
        InvalidateTree();
        if (targetTree != this) targetTree->InvalidateTree();
    }
    StructureChange(reported, crNodeMoved);
}

void TBaseVastTree::MoveTo(PVastNode source, TBaseVastTree* tree, TVTNodeAttachMode mode, bool childrenOnly) {
    if (tree) MoveTo(source, tree->root_, mode, childrenOnly);
}

PVastNode TBaseVastTree::CopySubtree(PVastNode source) {
    // Through the tree stream, so that user data crosses by OnSaveNode/OnLoadNode.
    TMemoryStream stream;
    TreeFromNode(source)->WriteNode(stream, source);
    stream.SetPosition(0);
    return ReadDetachedNode(stream);
}

void TBaseVastTree::FreeUnlinked(PVastNode node) {
    for (PVastNode child = node->FirstChild; child;) {
        PVastNode next = child->NextSibling;
        FreeUnlinked(child);
        child = next;
    }
    nodePool_.Free(node);
}

PVastNode TBaseVastTree::CopyTo(PVastNode source, PVastNode target, TVTNodeAttachMode mode, bool childrenOnly) {
    if (TreeFromNode(source) != this) throw EAssertionFailed("The source tree must contain the source node.");
    if (mode == amNoWhere || source == root_ || (source->States & vsDeleting)) return nullptr;
    TBaseVastTree* targetTree = this;
    if (!target) {
        target = root_;
        mode = amAddChildFirst;
    } else {
        targetTree = TreeFromNode(target);
        if (!targetTree || (target->States & vsDeleting)) return nullptr;
    }
    if (targetTree->ReadOnly()) return nullptr;
    if (target == targetTree->root_) mode = MapToRootMode(mode);
    targetTree->PrepareTarget(target);

    std::vector<PVastNode> nodes;
    if (childrenOnly)
        for (PVastNode child = source->FirstChild; child; child = child->NextSibling) nodes.push_back(child);
    else
        nodes.push_back(source);
    // Copy first, link afterwards: a copy into the source's own subtree stays finite.
    std::vector<PVastNode> copies;
    // Copies not linked yet are freed when anything below throws.
    TScopeFail freeCopies([&] {
        for (PVastNode copy : copies)
            if (copy) targetTree->FreeUnlinked(copy);  // made by the target tree, freed by it
    });
    copies.reserve(nodes.size());
    for (PVastNode node : nodes) copies.push_back(targetTree->CopySubtree(node));
    PVastNode result = nullptr;
    {
        TUpdateScope<TBaseVastTree> bracket(*targetTree);
        targetTree->InterruptValidation();
        for (std::size_t i = 0; i < copies.size(); ++i) {
            PVastNode copy = copies[i];
            copies[i] = nullptr;
            targetTree->InternalConnectNode(copy, target, targetTree, mode);
            if (DoNodeCopying(copy, targetTree->EventNode(target))) {
                DoNodeCopied(copy);
                result = copy;
            } else {
                targetTree->InternalDeleteNode(copy, true);
                result = nullptr;
            }
        }
    }
    targetTree->InvalidateCache();
    if (targetTree->updateCount_ == 0) {
        targetTree->ValidateCache();
        targetTree->UpdateScrollBars(true);
        targetTree->InvalidateTree();
    }
    targetTree->StructureChange(source, crNodeCopied);
    return childrenOnly ? targetTree->EventNode(target) : result;
}

PVastNode TBaseVastTree::CopyTo(PVastNode source, TBaseVastTree* tree, TVTNodeAttachMode mode, bool childrenOnly) {
    return tree ? CopyTo(source, tree->root_, mode, childrenOnly) : nullptr;
}

// ---- relations ----

bool TBaseVastTree::GetHasChildren(PVastNode node) const { return NodeOrRoot(node)->States & vsHasChildren; }

void TBaseVastTree::SetHasChildren(PVastNode node, bool value) {
    if (!node || ReadOnly() || !CheckOwnNode(node)) return;
    if (value) {
        node->States |= vsHasChildren;
    } else {
        DeleteChildren(node);
        node->States &= ~vsHasChildren;
    }
}

bool TBaseVastTree::ChildrenInitialized(PVastNode node) const {
    node = NodeOrRoot(node);
    return !((node->States & vsHasChildren) && node->ChildCount == 0);
}

PVastNode TBaseVastTree::GetNodeParent(PVastNode node) const {
    if (!node || node->Parent == root_ || node == root_) return nullptr;
    return node->Parent;
}

void TBaseVastTree::SetNodeParent(PVastNode node, PVastNode parent) {
    if (node && parent && parent != node->Parent) MoveTo(node, parent, amAddChildLast, false);
}

std::uint32_t TBaseVastTree::TotalCount() {
    Updating([&] {
        ValidateNode(root_, true);
    });
    return root_->TotalCount - 1;
}

bool TBaseVastTree::HasAsParent(PVastNode node, PVastNode potentialParent) const {
    if (!node || !potentialParent || node == potentialParent) return false;
    if (potentialParent == root_) return true;
    for (PVastNode run = node->Parent; run && run != root_; run = run->Parent)
        if (run == potentialParent) return true;
    return false;
}

std::uint32_t TBaseVastTree::GetNodeLevel(PVastNode node) const {
    std::uint32_t level = 0;
    if (!node || node == root_) return 0;
    for (PVastNode run = node->Parent; run && run != root_; run = run->Parent) ++level;
    return level;
}

std::uint32_t TBaseVastTree::AbsoluteIndex(PVastNode node) {
    if (!node || node == root_) return 0;
    std::uint32_t result = 0;
    for (PVastNode run = node; run != root_; run = run->Parent) {
        InitIfNeeded(run);
        for (PVastNode sibling = run->PrevSibling; sibling; sibling = sibling->PrevSibling) {
            InitIfNeeded(sibling);
            result += sibling->TotalCount;
        }
        if (run->Parent != root_) ++result;
    }
    return result;
}

std::int32_t TBaseVastTree::CountLevelDifference(PVastNode node1, PVastNode node2) const {
    Require(node1 && node2, "Both nodes must be Assigned.");
    return std::int32_t(GetNodeLevel(node2)) - std::int32_t(GetNodeLevel(node1));
}

std::uint32_t TBaseVastTree::CountVisibleChildren(PVastNode node) const {
    if (!(node->States & vsExpanded)) return 0;
    std::uint32_t count = 0;
    PVastNode run = node->FirstChild;
    while (run) {
        bool descend = false;
        if (run->States & vsVisible) {
            ++count;
            descend = (run->States & vsExpanded) && run->FirstChild;
        }
        if (descend) {
            run = run->FirstChild;
            continue;
        }
        while (run && run != node && !run->NextSibling) run = run->Parent;
        run = (run && run != node) ? run->NextSibling : nullptr;
    }
    return count;
}

std::int32_t TBaseVastTree::CompareNodePositions(PVastNode node1, PVastNode node2) const {
    Require(node1 && node2, "Nodes must never be nil.");
    if (node1 == node2) return 0;
    if (HasAsParent(node1, node2)) return 1;
    if (HasAsParent(node2, node1)) return -1;
    std::uint32_t level1 = GetNodeLevel(node1), level2 = GetNodeLevel(node2);
    while (level1 > level2) node1 = node1->Parent, --level1;
    while (level2 > level1) node2 = node2->Parent, --level2;
    while (node1->Parent != node2->Parent) {
        node1 = node1->Parent;
        node2 = node2->Parent;
    }
    return std::int32_t(node1->Index) - std::int32_t(node2->Index);
}

void TBaseVastTree::SetDefaultNodeHeight(std::uint16_t value) {
    if (value == 0) value = 18;
    if (value == defaultNodeHeight_) return;
    defaultNodeHeight_ = value;
    InvalidateCache();
    InvalidateTree();
}

void TBaseVastTree::SetNodeHeight(PVastNode node, std::uint16_t value) {
    if (ReadOnly()) return;
    InternalSetNodeHeight(node, value);
}

void TBaseVastTree::InternalSetNodeHeight(PVastNode node, std::uint16_t value) {
    if (!node || node == root_ || value == node->NodeHeight || !CheckOwnNode(node)) return;
    InterruptValidation();
    std::int64_t diff = std::int64_t(value) - node->NodeHeight;
    node->NodeHeight = value;
    AdjustTotalHeight(node, diff, true);
    AfterShapeChange();
}

// ---- initialisation ----

void TBaseVastTree::InitIfNeeded(PVastNode node) {
    if (node && !(node->States & vsInitialized)) InitNode(node);
}

void TBaseVastTree::CreateChildrenIfNeeded(PVastNode node) {
    if ((node->States & vsHasChildren) && node->ChildCount == 0) InitChildren(node);
}

void TBaseVastTree::InitNode(PVastNode node) {
    InterruptValidation();
    node->States |= vsInitialized;
    TVastNodeInitStates initStates = 0;
    DoInitNode(EventNode(node->Parent), node, initStates);
    if (initStates & ivsDisabled) node->States |= vsDisabled;
    if (initStates & ivsHasChildren) node->States |= vsHasChildren;
    if (initStates & ivsSelected) InternalAddToSelection(node, false);
    if (initStates & ivsMultiline) node->States |= vsMultiline;
    bool wantExpanded = initStates & ivsExpanded;
    if (wantExpanded != bool(node->States & vsExpanded)) {
        if (wantExpanded)
            ToggleNode(node);
        else if (node->States & vsHasChildren)
            InitChildren(node);
    }
}

void TBaseVastTree::InitChildren(PVastNode node) {
    if (!node || node == root_ || !(node->States & vsHasChildren)) return;
    std::uint32_t count = node->ChildCount;
    DoInitChildren(node, count);
    if (count == 0) {
        DeleteChildren(node);
        node->States &= ~vsHasChildren;
    } else {
        SetChildCount(node, count);
    }
}

void TBaseVastTree::DoInitNode(PVastNode parent, PVastNode node, TVastNodeInitStates& states) {
    if (OnInitNode) OnInitNode(this, parent, node, states);
}

void TBaseVastTree::DoInitChildren(PVastNode node, std::uint32_t& childCount) {
    if (OnInitChildren) OnInitChildren(this, node, childCount);
}

void TBaseVastTree::DoReset(PVastNode node) {
    if (OnResetNode) OnResetNode(this, node);
}

bool TBaseVastTree::DoNodeMoving(PVastNode node, PVastNode target) {
    bool allowed = true;
    if (OnNodeMoving) OnNodeMoving(this, node, target, allowed);
    return allowed;
}

bool TBaseVastTree::DoNodeCopying(PVastNode node, PVastNode target) {
    bool allowed = true;
    if (OnNodeCopying) OnNodeCopying(this, node, target, allowed);
    return allowed;
}

void TBaseVastTree::DoNodeMoved(PVastNode node) {
    if (OnNodeMoved) OnNodeMoved(this, node);
}

void TBaseVastTree::DoNodeCopied(PVastNode node) {
    if (OnNodeCopied) OnNodeCopied(this, node);
}

void TBaseVastTree::ReinitNode(PVastNode node, bool recursive) {
    if (!node || node == root_ || !CheckOwnNode(node)) return;
    node->States &= ~(vsChecking | vsCutOrCopy | vsDeleting | vsHeightMeasured);
    InitNode(node);
    if (recursive) ReinitChildren(node, true);
}

void TBaseVastTree::ReinitChildren(PVastNode node, bool recursive) {
    node = NodeOrRoot(node);
    InitChildren(node);
    for (PVastNode child = node->FirstChild; child; child = child->NextSibling) ReinitNode(child, recursive);
}

void TBaseVastTree::ResetNode(PVastNode node) {
    DoCancelEdit();
    if (!node || node == root_) {
        Clear();
        return;
    }
    if (!CheckOwnNode(node)) return;
    DoReset(node);
    DeleteChildren(node);
    if (node->States & vsExpanded) ToggleNode(node);
    node->States &= ~(vsInitialized | vsChecking | vsCutOrCopy | vsDeleting | vsExpanded | vsHasChildren |
                      vsHeightMeasured);
    InvalidateNode(node);
}

void TBaseVastTree::ValidateNode(PVastNode node, bool recursive) {
    node = NodeOrRoot(node);
    InitIfNeeded(node);
    if (recursive) ValidateChildren(node, true);
}

void TBaseVastTree::ValidateChildren(PVastNode node, bool recursive) {
    node = NodeOrRoot(node);
    if (node != root_) CreateChildrenIfNeeded(node);
    for (PVastNode child = node->FirstChild; child; child = child->NextSibling) ValidateNode(child, recursive);
}

PVastNode TBaseVastTree::IterateSubtree(PVastNode node, const TVTGetNodeProc& callback, void* data,
                                        TVastNodeStates filter, bool doInit, bool childNodesOnly) {
    Require(node != root_, "Node must not be the hidden root node.");
    bool wasIterating = states_ & tsIterating;
    states_ |= tsIterating;
    TScopeExit endIterating([&] {
        if (!wasIterating) states_ &= ~tsIterating;
    });
    PVastNode result = nullptr;
    {
        PVastNode stopper = nullptr;
        PVastNode run = node;
        if (node) {
            if (doInit) InitIfNeeded(node);
            for (PVastNode up = node; up && up != root_; up = up->Parent)
                if (up->NextSibling) {
                    stopper = up->NextSibling;
                    break;
                }
            if (childNodesOnly) run = node->FirstChild || ((node->States & vsHasChildren) && doInit)
                                          ? (doInit ? GetNext(node) : GetNextNoInit(node))
                                          : nullptr;
        } else {
            run = doInit ? GetFirst() : GetFirstNoInit();
        }
        while (run && run != stopper) {
            if ((run->States & filter) == filter) {
                bool abort = false;
                callback(this, run, data, abort);
                if (abort) {
                    result = run;
                    break;
                }
            }
            run = doInit ? GetNext(run) : GetNextNoInit(run);
        }
    }
    return result;
}

}  // namespace treeview
