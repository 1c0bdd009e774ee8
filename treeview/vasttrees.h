#pragma once
// TBaseVastTree: the tree view behind every list of the program.
//
// The tree keeps no items of its own: it keeps small node records (TVastNode), each
// followed in one allocation by the internal data areas of derived classes and by a
// user data area whose size the user sets (NodeDataSize). Nodes are created in bulk or
// one by one and are initialised lazily, the first time an operation hands them out
// (OnInitNode); the NoInit walks never initialise. nullptr in place of a node means the
// hidden root wherever an operation says so; the hidden root is never handed out.
//
// Threads: everything runs on the thread that created the tree, except the one
// process-wide worker that rebuilds the position caches of trees with more than 2000
// visible nodes. The worker reads only links and stored node heights, writes only the
// tree's cache, and changes tree states only through a message sent to the tree's own
// message target (WM_APP + 32), which runs on the tree's thread. Every structural change
// first stops a running rebuild of the same tree (InterruptValidation).
//
// Precondition failures raise platform::EAssertionFailed with a fixed message; run-time
// errors raise EVastTreeError. A node of another tree, or a node already being deleted,
// handed to an operation that would change it is refused: an assertion in debug builds,
// a call without effect in release builds.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/controls/stdctrls.h"
#include "platform/core/exceptions.h"
#include "platform/core/messages.h"
#include "treeview/vtblend.h"
#include "treeview/vtoptions.h"
#include "treeview/vtthread.h"
#include "treeview/vttypes.h"

namespace treeview {

// Run-time errors of the tree, with a help context from 2000 to 2008.
class EVastTreeError : public platform::Exception {
public:
    using platform::Exception::Exception;
};

class TBaseVastTree;

using TVTInitNodeEvent =
    std::function<void(TBaseVastTree* sender, PVastNode parent, PVastNode node, TVastNodeInitStates& initialStates)>;
using TVTInitChildrenEvent = std::function<void(TBaseVastTree* sender, PVastNode node, std::uint32_t& childCount)>;
using TVTFreeNodeEvent = std::function<void(TBaseVastTree* sender, PVastNode node)>;
using TVTChangeEvent = std::function<void(TBaseVastTree* sender, PVastNode node)>;
using TVTGetNodeDataSizeEvent = std::function<void(TBaseVastTree* sender, std::int32_t& nodeDataSize)>;
using TVTNodeMovingEvent = std::function<void(TBaseVastTree* sender, PVastNode node, PVastNode target, bool& allowed)>;
using TVTNodeCopyingEvent = TVTNodeMovingEvent;
using TVTStructureChangeEvent = std::function<void(TBaseVastTree* sender, PVastNode node, TChangeReason reason)>;
using TVTUpdatingEvent = std::function<void(TBaseVastTree* sender, TVTUpdateState state)>;
using TVTStateChangeEvent = std::function<void(TBaseVastTree* sender, TVastTreeStates enter, TVastTreeStates leave)>;
using TVTCheckChangingEvent =
    std::function<void(TBaseVastTree* sender, PVastNode node, TCheckState& newState, bool& allowed)>;
using TVTFocusChangingEvent = std::function<void(TBaseVastTree* sender, PVastNode oldNode, PVastNode newNode,
                                                 TColumnIndex oldColumn, TColumnIndex newColumn, bool& allowed)>;
using TVTFocusChangeEvent = std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column)>;
using TVTExpandingEvent = std::function<void(TBaseVastTree* sender, PVastNode node, bool& allowed)>;
enum TVTImageKind { ikNormal, ikSelected, ikState, ikOverlay };
using TVTGetImageEvent = std::function<void(TBaseVastTree* sender, PVastNode node, TVTImageKind kind,
                                            TColumnIndex column, bool& ghosted, int& imageIndex)>;
using TVTGetNodeProc = std::function<void(TBaseVastTree* sender, PVastNode node, void* data, bool& abort)>;

// The tree a node belongs to: climbs to the hidden root, whose Parent field holds the
// tree. Raises "Node must not be nil." for nullptr.
TBaseVastTree* TreeFromNode(PVastNode node);

// The state-change message of the position cache worker (wParam: states to enter,
// lParam: states to leave; 1 stop validation, 2 use cache, 4 validating, 8 validation
// needed).
constexpr platform::UINT WM_CHANGESTATE = platform::WM_APP + 32;
// Posted to itself by a tree whose cache rebuild was stopped, to rebuild it later.
constexpr platform::UINT WM_REVALIDATE = platform::WM_APP + 33;
// Minimum (exclusive) visible count for a position cache, and its entry spacing.
constexpr std::uint32_t CacheThreshold = 2000;

struct TCacheEntry {
    PVastNode Node;
    std::uint32_t AbsoluteTop;
};

class TBaseVastTree : public platform::TCustomControl {
public:
    explicit TBaseVastTree(platform::TComponent* owner);
    ~TBaseVastTree() override;

    // ---- node data ----
    std::int32_t NodeDataSize() const { return nodeDataSize_; }
    void SetNodeDataSize(std::int32_t value);
    std::uint32_t TotalInternalDataSize() const { return totalInternalDataSize_; }
    // The user data area; nullptr for nullptr and the hidden root. Raises
    // "NodeDataSize not initialized." while NodeDataSize is 0 or -1.
    void* GetNodeData(PVastNode node) const;
    template <class T> T* GetNodeData(PVastNode node) const { return static_cast<T*>(GetNodeData(node)); }
    virtual void* InternalData(PVastNode node) const;
    virtual std::uint32_t AllocateInternalDataArea(std::uint32_t size);

    // ---- counts and relations ----
    PVastNode RootNode() const { return root_; }
    std::uint32_t RootNodeCount() const { return root_->ChildCount; }
    void SetRootNodeCount(std::uint32_t value);
    std::uint32_t GetChildCount(PVastNode node) const;
    void SetChildCount(PVastNode node, std::uint32_t count);
    bool GetHasChildren(PVastNode node) const;
    void SetHasChildren(PVastNode node, bool value);
    bool ChildrenInitialized(PVastNode node) const;
    PVastNode GetNodeParent(PVastNode node) const;
    void SetNodeParent(PVastNode node, PVastNode parent);
    // Initialises every node, then counts them.
    std::uint32_t TotalCount();
    std::uint32_t VisibleCount() const { return visibleCount_; }
    bool HasAsParent(PVastNode node, PVastNode potentialParent) const;
    std::uint32_t GetNodeLevel(PVastNode node) const;
    std::uint32_t AbsoluteIndex(PVastNode node);
    std::int32_t CountLevelDifference(PVastNode node1, PVastNode node2) const;
    virtual std::uint32_t CountVisibleChildren(PVastNode node) const;
    bool HasVisibleNextSibling(PVastNode node) const;
    bool IsFirstVisibleChild(PVastNode parent, PVastNode node) const;
    bool IsLastVisibleChild(PVastNode parent, PVastNode node) const;
    // Tree order of two nodes: 0 same, 1 node2 is node1's ancestor, -1 the other way,
    // else the difference of the sibling indexes where their paths part.
    std::int32_t CompareNodePositions(PVastNode node1, PVastNode node2) const;
    std::uint16_t DefaultNodeHeight() const { return defaultNodeHeight_; }
    void SetDefaultNodeHeight(std::uint16_t value);
    std::uint16_t GetNodeHeight(PVastNode node) const { return node ? node->NodeHeight : 0; }
    void SetNodeHeight(PVastNode node, std::uint16_t value);

    // ---- creating and deleting ----
    PVastNode AddChild(PVastNode parent, void* userData = nullptr);
    PVastNode InsertNode(PVastNode node, TVTNodeAttachMode mode, void* userData = nullptr);
    void DeleteNode(PVastNode node, bool reindex = true);
    void DeleteChildren(PVastNode node, bool resetHasChildren = false);
    virtual void DeleteSelectedNodes();
    virtual void Clear();
    void MoveTo(PVastNode source, PVastNode target, TVTNodeAttachMode mode, bool childrenOnly);
    void MoveTo(PVastNode source, TBaseVastTree* tree, TVTNodeAttachMode mode, bool childrenOnly);
    PVastNode CopyTo(PVastNode source, PVastNode target, TVTNodeAttachMode mode, bool childrenOnly);
    PVastNode CopyTo(PVastNode source, TBaseVastTree* tree, TVTNodeAttachMode mode, bool childrenOnly);

    // ---- initialisation ----
    virtual void ReinitNode(PVastNode node, bool recursive);
    virtual void ReinitChildren(PVastNode node, bool recursive);
    virtual void ResetNode(PVastNode node);
    void ValidateNode(PVastNode node, bool recursive);
    void ValidateChildren(PVastNode node, bool recursive);
    PVastNode IterateSubtree(PVastNode node, const TVTGetNodeProc& callback, void* data,
                             TVastNodeStates filter = 0, bool doInit = false, bool childNodesOnly = false);

    // ---- walks ----
    PVastNode GetFirst();
    PVastNode GetFirstNoInit() const;
    PVastNode GetFirstInitialized() const;
    PVastNode GetFirstLeaf();
    PVastNode GetFirstLevel(std::uint32_t level);
    PVastNode GetFirstVisible();
    PVastNode GetFirstVisibleNoInit() const;
    PVastNode GetFirstChild(PVastNode node);
    PVastNode GetFirstVisibleChild(PVastNode node);
    PVastNode GetFirstVisibleChildNoInit(PVastNode node) const;
    PVastNode GetLastChild(PVastNode node);
    PVastNode GetLastChildNoInit(PVastNode node) const;
    PVastNode GetLast(PVastNode node = nullptr);
    PVastNode GetLastNoInit(PVastNode node = nullptr) const;
    PVastNode GetLastInitialized(PVastNode node = nullptr) const;
    PVastNode GetLastVisibleChild(PVastNode node);
    PVastNode GetLastVisibleChildNoInit(PVastNode node) const;
    PVastNode GetLastVisible(PVastNode node = nullptr);
    PVastNode GetLastVisibleNoInit(PVastNode node = nullptr) const;
    PVastNode GetNext(PVastNode node);
    PVastNode GetNextNoInit(PVastNode node) const;
    PVastNode GetNextInitialized(PVastNode node) const;
    PVastNode GetNextLeaf(PVastNode node);
    PVastNode GetNextLevel(PVastNode node, std::uint32_t level);
    PVastNode GetNextSibling(PVastNode node);
    PVastNode GetNextVisible(PVastNode node);
    PVastNode GetNextVisibleNoInit(PVastNode node) const;
    PVastNode GetNextVisibleSibling(PVastNode node);
    PVastNode GetNextVisibleSiblingNoInit(PVastNode node) const;
    PVastNode GetPrevious(PVastNode node);
    PVastNode GetPreviousNoInit(PVastNode node) const;
    PVastNode GetPreviousInitialized(PVastNode node) const;
    PVastNode GetPreviousLeaf(PVastNode node);
    PVastNode GetPreviousLevel(PVastNode node, std::uint32_t level);
    PVastNode GetPreviousSibling(PVastNode node);
    PVastNode GetPreviousVisible(PVastNode node);
    PVastNode GetPreviousVisibleNoInit(PVastNode node) const;
    PVastNode GetPreviousVisibleSibling(PVastNode node);
    PVastNode GetPreviousVisibleSiblingNoInit(PVastNode node) const;
    PVastNode GetVisibleParent(PVastNode node) const;

    // ---- visibility, disabling, expanding ----
    bool GetVisible(PVastNode node);
    void SetVisible(PVastNode node, bool value);
    using platform::TControl::SetVisible;
    bool GetFullyVisible(PVastNode node) const;
    void SetFullyVisible(PVastNode node, bool value);
    bool GetVisiblePath(PVastNode node) const;
    void SetVisiblePath(PVastNode node, bool value);
    bool GetDisabled(PVastNode node) const { return node && (node->States & vsDisabled); }
    void SetDisabled(PVastNode node, bool value);
    bool GetExpanded(PVastNode node) const;
    void SetExpanded(PVastNode node, bool value);
    // Expands a collapsed node or collapses an expanded one (no animation).
    void ToggleNode(PVastNode node);
    virtual void FullExpand(PVastNode node = nullptr);
    virtual void FullCollapse(PVastNode node = nullptr);
    virtual void DetermineHiddenChildrenFlag(PVastNode node);
    virtual void DetermineHiddenChildrenFlagAllNodes();

    // ---- check boxes ----
    TCheckState GetCheckState(PVastNode node) const { return node ? node->CheckState : csUncheckedNormal; }
    void SetCheckState(PVastNode node, TCheckState value);
    TCheckType GetCheckType(PVastNode node) const { return node ? node->CheckType : ctNone; }
    void SetCheckType(PVastNode node, TCheckType value);
    PVastNode GetFirstChecked(TCheckState state = csCheckedNormal);
    PVastNode GetNextChecked(PVastNode node, TCheckState state = csCheckedNormal);
    PVastNode GetPreviousChecked(PVastNode node, TCheckState state = csCheckedNormal);
    std::int32_t CheckedCount();
    void ClearChecked();
    virtual TCheckState DetermineNextCheckState(TCheckType checkType, TCheckState checkState);
    bool ChangeCheckState(PVastNode node, TCheckState value);
    virtual bool CheckParentCheckState(PVastNode node, TCheckState newCheckState);
    // The image index of a node's check image (-1: none); hot: the node is the hot node.
    virtual int GetCheckImage(PVastNode node) const;
    TCheckImageKind CheckImageKind() const { return checkImageKind_; }
    void SetCheckImageKind(TCheckImageKind value);
    PVastNode HotNode() const { return hotNode_; }
    // The check image list in use: the built-in list of CheckImageKind, or the custom
    // list for ckCustom.
    platform::TCustomImageList* CheckImages() const;
    virtual platform::TCustomImageList* GetCheckImageListFor(TCheckImageKind kind) const;
    platform::TCustomImageList* CustomCheckImages() const { return customCheckImages_; }
    // Draws check image index at (x, y) from the current list, transparent; a selected
    // node that is not ghosted is drawn with the selection colour as foreground.
    virtual void PaintCheckImage(platform::TCanvas* canvas, PVastNode node, int index, int x, int y, bool ghosted);
    void SetCustomCheckImages(platform::TCustomImageList* value);

    // ---- buttons and lines ----
    TVTButtonStyle ButtonStyle() const { return buttonStyle_; }
    void SetButtonStyle(TVTButtonStyle value);
    TVTButtonFillMode ButtonFillMode() const { return buttonFillMode_; }
    void SetButtonFillMode(TVTButtonFillMode value);
    TVTLineStyle LineStyle() const { return lineStyle_; }
    void SetLineStyle(TVTLineStyle value);
    // Rebuilds the expand/collapse button bitmaps and/or the line pattern brush.
    void PrepareBitmaps(bool needButtons, bool needLines);
    platform::TBitmap* PlusBitmap() const { return plusBM_; }
    platform::TBitmap* MinusBitmap() const { return minusBM_; }
    platform::HBRUSH LinePatternBrush() const { return dottedBrush_; }
    std::function<void(TBaseVastTree* sender, TVTLinePattern& bits)> OnGetLineStyle;

    // ---- selection and focus ----
    bool GetSelected(PVastNode node) const { return node && (node->States & vsSelected); }
    void SetSelected(PVastNode node, bool value);
    std::int32_t SelectedCount() const { return selectedCount_; }
    PVastNode GetFirstSelected();
    PVastNode GetNextSelected(PVastNode node);
    PVastNode GetPreviousSelected(PVastNode node);
    std::vector<PVastNode> GetSortedSelection(bool resolve) const;
    virtual void AddToSelection(PVastNode node);
    virtual void AddToSelection(PVastNode* nodes, std::int32_t count, bool forceInsert = false);
    virtual void RemoveFromSelection(PVastNode node);
    void ClearSelection();
    void SelectAll(bool visibleOnly);
    void InvertSelection(bool visibleOnly);
    virtual void SelectNodes(PVastNode startNode, PVastNode endNode, bool addOnly);
    virtual void UnselectNodes(PVastNode startNode, PVastNode endNode);
    virtual void ToggleSelection(PVastNode startNode, PVastNode endNode);
    void HandleClickSelection(PVastNode lastFocused, PVastNode newNode, platform::TShiftState shift,
                              bool dragPending);
    PVastNode RangeAnchor() const { return rangeAnchor_; }
    std::int32_t LastSelectionLevel() const { return lastSelectionLevel_; }
    virtual void ResetRangeAnchor();
    PVastNode FocusedNode() const { return focusedNode_; }
    void SetFocusedNode(PVastNode node);
    TColumnIndex FocusedColumn() const { return focusedColumn_; }
    void SetFocusedColumn(TColumnIndex column);
    virtual void SetFocusedNodeAndColumn(PVastNode node, TColumnIndex column);
    // The header's main column; NoColumn while the tree has no columns.
    TColumnIndex MainColumn() const { return NoColumn; }
    // ---- rubber band ----
    // Starts a band at a client point with the modifier keys held (the mouse handling
    // calls it); EndDrawSelection ends it.
    void BeginDrawSelection(int x, int y, platform::TShiftState shift);
    void EndDrawSelection();
    bool IsMouseSelecting() const { return states_ & (tsDrawSelPending | tsDrawSelecting); }
    // Moves the band's corner to a client point; true when the band changed.
    virtual bool CalculateSelectionRect(int x, int y);
    // Selects (or toggles, with Ctrl) the nodes the band entered or left; true when the
    // selection changed.
    bool HandleDrawSelection(int x, int y);
    const platform::TRect& SelectionRect() const { return newSelectionRect_; }
    // The width of a node's content in a column (0 here; the text tree measures).
    virtual int DoGetNodeWidth(PVastNode node, TColumnIndex column, platform::TCanvas* canvas);

    // Draws the rubber band: blended with SelectionRectangleBlendColor and framed, or as
    // a dotted focus rectangle. windowOrgX shifts the target into tree coordinates.
    virtual void PaintSelectionRectangle(platform::TCanvas* target, int windowOrgX, const platform::TRect& selectionRect,
                                         const platform::TRect& targetRect);
    // Scrolls so that the node is shown; false while the tree has no scroll geometry.
    bool ScrollIntoView(PVastNode node, bool center, bool horizontally = false);

    // ---- brackets, states and notification ----
    void BeginUpdate();
    void EndUpdate();
    // Runs work inside an update bracket that is closed also when the work throws.
    template <class Work> void Updating(Work work) {
        BeginUpdate();
        try {
            work();
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }
    void BeginSynch();
    void EndSynch();
    std::uint32_t UpdateCount() const { return updateCount_; }
    TVastTreeStates TreeStates() const { return states_; }
    virtual void DoStateChange(TVastTreeStates enter, TVastTreeStates leave = 0);
    virtual void StructureChange(PVastNode node, TChangeReason reason);
    std::uint32_t ChangeDelay() const { return changeDelay_; }
    void SetChangeDelay(std::uint32_t ms) { changeDelay_ = ms; }
    // The target of the tree's timers and of the worker's state messages.
    platform::HWND MessageHandle() const { return msgHandle_; }
    virtual void Change(PVastNode node);

    // ---- position cache ----
    PVastNode GetNodeAt(int x, int y);
    PVastNode GetNodeAt(int x, int y, bool relative, int& nodeTop);
    PVastNode FindInPositionCache(PVastNode node, std::uint32_t& top) const;
    PVastNode FindInPositionCache(std::uint32_t position, std::uint32_t& top) const;
    std::uint32_t CalculateCacheEntryCount() const;
    const std::vector<TCacheEntry>& PositionCache() const { return positionCache_; }
    virtual void ValidateCache();
    void InvalidateCache();
    // Stops a rebuild of the cache by the worker and waits until the worker has let go
    // of the tree; every change of node states or structure calls it first.
    void InterruptValidation();
    int OffsetY() const { return offsetY_; }
    void SetOffsetY(int value) { offsetY_ = value > 0 ? 0 : value; }

    // ---- settings read by painting and input (stored here with their defaults) ----
    int Indent() const { return indent_; }
    void SetIndent(int value) { SetAndRepaint(indent_, value); }
    int Margin() const { return margin_; }
    void SetMargin(int value) { SetAndRepaint(margin_, value); }
    int TextMargin() const { return textMargin_; }
    void SetTextMargin(int value) { SetAndRepaint(textMargin_, value); }
    TVTNodeAlignment NodeAlignment() const { return nodeAlignment_; }
    void SetNodeAlignment(TVTNodeAlignment value) { SetAndRepaint(nodeAlignment_, value); }
    TVTDrawSelectionMode DrawSelectionMode() const { return drawSelectionMode_; }
    void SetDrawSelectionMode(TVTDrawSelectionMode value) { SetAndRepaint(drawSelectionMode_, value); }
    int SelectionBlendFactor() const { return selectionBlendFactor_; }
    void SetSelectionBlendFactor(int value) { SetAndRepaint(selectionBlendFactor_, value); }
    std::uint32_t SelectionCurveRadius() const { return selectionCurveRadius_; }
    void SetSelectionCurveRadius(std::uint32_t value) { SetAndRepaint(selectionCurveRadius_, value); }
    TVTNodeAttachMode DefaultPasteMode() const { return defaultPasteMode_; }
    void SetDefaultPasteMode(TVTNodeAttachMode value) { defaultPasteMode_ = value; }
    // Delays and intervals in milliseconds.
    std::uint32_t AutoExpandDelay() const { return autoExpandDelay_; }
    void SetAutoExpandDelay(std::uint32_t value) { autoExpandDelay_ = value; }
    std::uint32_t AutoScrollDelay() const { return autoScrollDelay_; }
    void SetAutoScrollDelay(std::uint32_t value) { autoScrollDelay_ = value; }
    std::uint32_t AutoScrollInterval() const { return autoScrollInterval_; }
    void SetAutoScrollInterval(std::uint32_t value) { autoScrollInterval_ = value; }
    std::uint32_t EditDelay() const { return editDelay_; }
    void SetEditDelay(std::uint32_t value) { editDelay_ = value; }
    std::uint32_t AnimationDuration() const { return animationDuration_; }
    void SetAnimationDuration(std::uint32_t value) { animationDuration_ = value; }
    std::uint32_t IncrementalSearchTimeout() const { return incrementalSearchTimeout_; }
    void SetIncrementalSearchTimeout(std::uint32_t value) { incrementalSearchTimeout_ = value; }
    int DragWidth() const { return dragWidth_; }
    void SetDragWidth(int value) { dragWidth_ = value; }
    int DragHeight() const { return dragHeight_; }
    void SetDragHeight(int value) { dragHeight_ = value; }

    // ---- companions ----
    TCustomVastTreeOptions* TreeOptions() const { return options_; }
    void SetTreeOptions(TCustomVastTreeOptions* value) { options_->Assign(value); }
    TVTColors* Colors() const { return colors_; }
    void SetColors(TVTColors* value) { colors_->Assign(value); }
    TScrollBarOptions* ScrollBarOptions() const { return scrollBarOptions_; }

    void Loaded() override;
    void Assign(platform::TPersistent* source) override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;
    virtual void InvalidateNode(PVastNode node);
    // Repaints when live (used by the companions).
    void InvalidateTree();
    bool IsLoadingOrDesigning() const;

    // ---- events ----
    TVTInitNodeEvent OnInitNode;
    TVTInitChildrenEvent OnInitChildren;
    TVTFreeNodeEvent OnFreeNode;
    TVTGetNodeDataSizeEvent OnGetNodeDataSize;
    TVTChangeEvent OnResetNode;
    TVTNodeMovingEvent OnNodeMoving;
    TVTNodeCopyingEvent OnNodeCopying;
    TVTChangeEvent OnNodeMoved;
    TVTChangeEvent OnNodeCopied;
    TVTStructureChangeEvent OnStructureChange;
    TVTUpdatingEvent OnUpdating;
    TVTStateChangeEvent OnStateChange;
    TVTCheckChangingEvent OnChecking;
    TVTChangeEvent OnChecked;
    TVTChangeEvent OnChange;
    TVTFocusChangingEvent OnFocusChanging;
    TVTFocusChangeEvent OnFocusChanged;
    TVTExpandingEvent OnExpanding;
    TVTExpandingEvent OnCollapsing;
    TVTChangeEvent OnExpanded;
    TVTChangeEvent OnCollapsed;
    TVTGetImageEvent OnGetImageIndex;

    // The image index of a cell (-1: none), as OnGetImageIndex answers it.
    virtual int DoGetImageIndex(PVastNode node, TVTImageKind kind, TColumnIndex column, bool& ghosted);
    // Reads the single option set older stored trees have, given as its member names
    // ("voShowRoot", ...): the five option sets are emptied and each known member is
    // added to its set; unknown names are skipped.
    void ReadOldOptions(const std::vector<std::string>& memberNames);

protected:
    // Replaces the option holder (derived trees install their own class).
    void SetOptionsObject(TCustomVastTreeOptions* options);

    virtual void InitNode(PVastNode node);
    virtual void InitChildren(PVastNode node);
    virtual void DoInitNode(PVastNode parent, PVastNode node, TVastNodeInitStates& states);
    virtual void DoInitChildren(PVastNode node, std::uint32_t& childCount);
    virtual void DoFreeNode(PVastNode node);
    virtual void ValidateNodeDataSize(std::int32_t& size);
    virtual void DoReset(PVastNode node);
    virtual bool DoNodeMoving(PVastNode node, PVastNode target);
    virtual bool DoNodeCopying(PVastNode node, PVastNode target);
    virtual void DoNodeMoved(PVastNode node);
    virtual void DoNodeCopied(PVastNode node);
    virtual void DoStructureChange(PVastNode node, TChangeReason reason);
    virtual void AdviseChangeEvent(bool structureChange, PVastNode node, TChangeReason reason);
    virtual void DoUpdating(TVTUpdateState state);
    virtual void DoChange(PVastNode node);
    virtual bool DoChecking(PVastNode node, TCheckState& newState);
    virtual void DoCheckClick(PVastNode node, TCheckState newState);
    virtual void DoChecked(PVastNode node);
    virtual bool DoFocusChanging(PVastNode oldNode, PVastNode newNode, TColumnIndex oldColumn,
                                 TColumnIndex newColumn);
    virtual void DoFocusChange(PVastNode node, TColumnIndex column);
    virtual void DoFocusNode(PVastNode node, bool ask);
    virtual bool DoExpanding(PVastNode node);
    virtual bool DoCollapsing(PVastNode node);
    virtual void DoExpanded(PVastNode node);
    virtual void DoCollapsed(PVastNode node);
    virtual bool DoValidateCache();
    virtual void InternalConnectNode(PVastNode node, PVastNode destination, TBaseVastTree* target,
                                     TVTNodeAttachMode mode);
    virtual void InternalDisconnectNode(PVastNode node, bool keepFocus, bool reindex = true);
    virtual bool InternalAddToSelection(PVastNode node, bool forceInsert);
    virtual bool InternalAddToSelection(PVastNode* nodes, std::int32_t count, bool forceInsert);
    virtual void InternalRemoveFromSelection(PVastNode node);
    virtual void InternalClearSelection();
    virtual bool FindNodeInSelection(PVastNode node, std::int32_t& index, std::int32_t high, std::int32_t low) const;
    virtual void InternalCacheNode(PVastNode node);
    virtual void ClearTempCache();
    // Cancels an in-place edit; nothing until editing exists.
    virtual void DoCancelEdit() {}
    virtual void DoGetLineStyle(TVTLinePattern& bits);
    virtual void UpdateScrollBars(bool /*doRepaint*/) {}
    void SetUpdateState(bool updating);

    void AdjustTotalCount(PVastNode node, std::int64_t value, bool relative = false);
    void AdjustTotalHeight(PVastNode node, std::int64_t value, bool relative = false);
    void FixupTotalCount(PVastNode node);
    void FixupTotalHeight(PVastNode node);
    PVastNode MakeNewNode();
    static std::int32_t PackArray(std::vector<PVastNode>& list, std::int32_t count);
    // Drops the entries marked for removal from the selection array.
    void PackSelection();

    // Whether the node belongs to this tree and is not being taken apart; refuses it
    // otherwise (assertion in debug builds, false in release builds).
    bool CheckOwnNode(PVastNode node) const;
    bool IsRoot(PVastNode node) const { return node == root_; }
    bool ReadOnly() const;

private:
    friend class TWorkerThread;
    friend class TCustomVastTreeOptions;
    friend void ReleaseWorker(TBaseVastTree*);
    void InitRootNode(std::uint32_t allocSize);
    PVastNode NodeOrRoot(PVastNode node) const { return node ? node : root_; }
    PVastNode EventNode(PVastNode node) const { return node == root_ ? nullptr : node; }
    void InitIfNeeded(PVastNode node);
    void CreateChildrenIfNeeded(PVastNode node);
    // Shown: visible, with every ancestor below the root expanded and visible.
    bool IsShown(PVastNode node) const;
    void InternalDeleteNode(PVastNode node, bool reindex);
    void SetInitialUserData(PVastNode node, void* userData);
    void PrepareTarget(PVastNode target);
    // A copy of the source's subtree for this tree, not linked anywhere yet.
    PVastNode CopySubtree(PVastNode source);
    static void FreeUnlinked(PVastNode node);
    static void LinkLastChild(PVastNode parent, PVastNode child);
    void AfterShapeChange();
    template <class After> PVastNode FindCacheEntry(After after, std::uint32_t& top) const;
    // The first node after the node's subtree in tree order (nullptr at the end).
    PVastNode NextAfterSubtree(PVastNode node, bool init);
    // For a node that is not shown: the topmost node of its path that is not shown;
    // parentCollapsed tells whether that is because its parent is collapsed.
    PVastNode TopHiddenPoint(PVastNode node, bool& parentCollapsed) const;
    PVastNode NextVisible(PVastNode node, bool init);
    PVastNode PreviousVisible(PVastNode node, bool init);
    PVastNode FirstOnLevel(PVastNode node, std::uint32_t nodeLevel, std::uint32_t level);
    PVastNode LastOnLevel(PVastNode node, std::uint32_t nodeLevel, std::uint32_t level);
    PVastNode GetNextCheckedNoInit(PVastNode node, TCheckState state) const;
    PVastNode StartOfBackwardWalk(PVastNode node) const;
    void StartTimer(unsigned id);
    void StopTimer(unsigned id);
    platform::LRESULT MessageProc(platform::UINT msg, platform::WPARAM wParam, platform::LPARAM lParam);
    void FinishStructureChange(PVastNode node, TChangeReason reason);
    void SetStateBits(TVastTreeStates enter, TVastTreeStates leave) { states_ = (states_ | enter) & ~leave; }

    template <class T> void SetAndRepaint(T& field, T value) {
        if (field == value) return;
        field = value;
        InvalidateTree();
    }

    PVastNode root_ = nullptr;
    std::int32_t nodeDataSize_ = -1;
    int indent_ = 18;
    int margin_ = 4;
    int textMargin_ = 4;
    TVTNodeAlignment nodeAlignment_ = naProportional;
    TVTDrawSelectionMode drawSelectionMode_ = smDottedRectangle;
    int selectionBlendFactor_ = 128;
    std::uint32_t selectionCurveRadius_ = 0;
    TVTNodeAttachMode defaultPasteMode_ = amAddChildLast;
    std::uint32_t autoExpandDelay_ = 1000;
    std::uint32_t autoScrollDelay_ = 1000;
    std::uint32_t autoScrollInterval_ = 1;
    std::uint32_t editDelay_ = 1000;
    std::uint32_t animationDuration_ = 200;
    std::uint32_t incrementalSearchTimeout_ = 1000;
    int dragWidth_ = 200;
    int dragHeight_ = 350;
    std::uint32_t totalInternalDataSize_ = 0;
    std::uint32_t visibleCount_ = 0;
    std::uint16_t defaultNodeHeight_ = 18;
    std::uint32_t updateCount_ = 0;
    std::uint32_t synchUpdateCount_ = 0;
    TVastTreeStates states_ = 0;
    std::uint32_t changeDelay_ = 0;
    PVastNode lastChangedNode_ = nullptr;
    PVastNode lastStructureChangeNode_ = nullptr;
    TChangeReason lastStructureChangeReason_ = crIgnore;
    platform::HWND msgHandle_ = nullptr;

    std::vector<PVastNode> selection_;
    std::int32_t selectedCount_ = 0;
    PVastNode focusedNode_ = nullptr;
    TColumnIndex focusedColumn_ = NoColumn;
    PVastNode rangeAnchor_ = nullptr;
    std::int32_t lastSelectionLevel_ = -1;
    PVastNode hotNode_ = nullptr;
    PVastNode dropTargetNode_ = nullptr;
    std::vector<PVastNode> tempCache_;
    std::int32_t tempCacheCount_ = 0;

    TCheckImageKind checkImageKind_ = ckLightCheck;
    platform::TCustomImageList* customCheckImages_ = nullptr;
    TVTButtonStyle buttonStyle_ = bsRectangle;
    TVTButtonFillMode buttonFillMode_ = fmTreeColor;
    TVTLineStyle lineStyle_ = lsDotted;
    platform::TBitmap* plusBM_ = nullptr;
    platform::TBitmap* minusBM_ = nullptr;
    platform::HBRUSH dottedBrush_ = nullptr;
    std::uint32_t checkPropagationCount_ = 0;

    bool CollectSelectedNodes(int textLeft, int textRight, bool rightToLeft, platform::TAlignment alignment,
                              platform::TRect oldRect, platform::TRect newRect);
    platform::TRect oldSelectionRect_{};
    platform::TRect newSelectionRect_{};
    platform::TShiftState drawSelShiftState_ = 0;

    std::vector<TCacheEntry> positionCache_;
    int offsetY_ = 0;
    // Shared with the worker thread.
    std::atomic<bool> stopValidation_{false};
    std::atomic<bool> workerBusy_{false};
    // Every change passes InterruptValidation, which checks it runs on this thread.
    TTreeThread thread_;

    TCustomVastTreeOptions* options_ = nullptr;
    TVTColors* colors_ = nullptr;
    TScrollBarOptions* scrollBarOptions_ = nullptr;
};

}  // namespace treeview
