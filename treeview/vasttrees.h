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
#include <memory>
#include <type_traits>
#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/controls/forms.h"
#include "platform/controls/menus.h"
#include "treeview/vtnodepool.h"
#include "platform/core/interfaces.h"
namespace platform {
class TPrinter;
}
#include "platform/controls/stdctrls.h"
#include "platform/core/exceptions.h"
#include "platform/core/messages.h"
#include "platform/windows/clipboard.h"
#include "platform/windows/dragdrop.h"
#include "treeview/vtblend.h"
#include "treeview/vtcolumns.h"
#include "treeview/vtheader.h"
#include "treeview/vtoptions.h"
#include "treeview/vtscope.h"
#include "treeview/vtthread.h"
#include "treeview/vttypes.h"

namespace treeview {

// Run-time errors of the tree, with a help context from 2000 to 2008.
class EVastTreeError : public platform::Exception {
public:
    using platform::Exception::Exception;
};

// The tree's errors; each value is the help context of its EVastTreeError.
enum TVTTreeError {
    teEditLinkNil = 2000,
    teMoveIntoChild = 2001,
    teStreamFormat = 2002,
    teStreamVersion = 2003,
    teStreamSize = 2004,
    teNodeAnchorMissing = 2005,
    teDataAfterNodeEnd = 2006,
    teClipboardFailed = 2007,
    teNoUserDataSpace = 2008,
};
// The message of an error ("" for a value that is none).
const char* TreeErrorText(TVTTreeError error);
// Raises EVastTreeError with the error's message and help context.
[[noreturn]] void RaiseTreeError(TVTTreeError error);

class TBaseVastTree;
class TVTHeader;
class TClipboardFormats;

// {2BE3EAFA-5ACB-45B4-9D9A-B58BCC496E17}
constexpr platform::IID IID_IVTEditLink = {0x2BE3EAFA, 0x5ACB, 0x45B4, {0x9D, 0x9A, 0xB5, 0x8B, 0xCC, 0x49, 0x6E, 0x17}};

// The editor of a cell, asked for through OnCreateEditor; reference counted. The tree holds
// it while an edit runs.
class IVTEditLink : public virtual platform::IUnknown {
public:
    // Shows the editor and starts editing; false refuses.
    virtual bool BeginEdit() = 0;
    // Stops editing without taking the text; false refuses.
    virtual bool CancelEdit() = 0;
    // Stops editing and hands the text to the tree; false refuses.
    virtual bool EndEdit() = 0;
    // Sets the editor up for the cell; false aborts the edit.
    virtual bool PrepareEdit(TBaseVastTree* tree, PVastNode node, TColumnIndex column) = 0;
    virtual platform::TRect GetBounds() = 0;
    // Passes a window message to the editor.
    virtual void ProcessMessage(platform::TMessage& message) = 0;
    // Places the editor within the tree's client area.
    virtual void SetBounds(platform::TRect r) = 0;

protected:
    ~IVTEditLink() = default;
};
using TVTEditLinkRef = platform::TComPtr<IVTEditLink>;

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
using TVTGetUserClipboardFormatsEvent =
    std::function<void(TBaseVastTree* sender, std::vector<platform::FORMATETC>& formats)>;
using TVTRenderOLEDataEvent =
    std::function<void(TBaseVastTree* sender, const platform::FORMATETC& format, platform::STGMEDIUM& medium,
                       bool forClipboard, platform::HRESULT& result)>;
using TVTCreateDataObjectEvent = std::function<void(TBaseVastTree* sender, platform::IDataObject*& dataObject)>;
using TVTSaveNodeEvent = std::function<void(TBaseVastTree* sender, PVastNode node, platform::TStream& stream)>;
using TVTCompareEvent = std::function<void(TBaseVastTree* sender, PVastNode node1, PVastNode node2,
                                           TColumnIndex column, std::int32_t& result)>;

// ---- painting ----

// What one cell may paint.
enum TVTInternalPaintOption : std::uint8_t {
    poBackground = 0x01,
    poColumnColor = 0x02,
    poDrawFocusRect = 0x04,
    poDrawSelection = 0x08,
    poDrawDropMark = 0x10,
    poGridLines = 0x20,
    poMainOnly = 0x40,
    poSelectedOnly = 0x80,
};
using TVTInternalPaintOptions = std::uint8_t;
constexpr TVTInternalPaintOptions DefaultPaintFlags = 0x3F;

enum TVTImageInfoIndex { iiNormal, iiState, iiCheck, iiOverlay };
struct TVTImageInfo {
    int Index = -1;
    int XPos = 0, YPos = 0;
    bool Ghosted = false;
    platform::TCustomImageList* Images = nullptr;
};

// Handed to every step that paints a cell. CellRect is in row-bitmap coordinates: x in
// tree coordinates, y from 0 to the node's height.
struct TVTPaintInfo {
    platform::TCanvas* Canvas = nullptr;
    TVTInternalPaintOptions PaintOptions = 0;
    PVastNode Node = nullptr;
    TColumnIndex Column = NoColumn;
    TColumnPosition Position = 0;
    platform::TRect CellRect{};
    platform::TRect ContentRect{};
    int NodeWidth = 0;
    platform::TAlignment Alignment = platform::taLeftJustify;
    platform::TBiDiMode BidiMode = platform::bdLeftToRight;
    platform::TPoint BrushOrigin{};
    TVTImageInfo ImageInfo[4];
};

enum TVTLineType { ltNone, ltBottomRight, ltTopDown, ltTopDownRight, ltRight, ltTopRight, ltLeft, ltLeftBottom };
using TLineImage = std::vector<TVTLineType>;
enum TVTLineMode { lmNormal, lmBands };
enum TItemEraseAction { eaColor, eaDefault, eaNone };
enum TVTCellPaintMode { cpmPaint, cpmGetContentMargin };
enum TDropMode { dmNowhere, dmAbove, dmOnNode, dmBelow };
enum TDragOperation { doCopy = 1, doMove = 2, doLink = 4 };
using TDragOperations = unsigned;
using TVTDragOverEvent =
    std::function<void(TBaseVastTree* sender, platform::TObject* source, platform::TShiftState shift,
                       platform::TDragState state, platform::TPoint pt, TDropMode mode, platform::DWORD& effect,
                       bool& accept)>;
using TVTDragDropEvent =
    std::function<void(TBaseVastTree* sender, platform::TObject* source, platform::IDataObject* dataObject,
                       const std::vector<platform::CLIPFORMAT>& formats, platform::TShiftState shift,
                       platform::TPoint pt, platform::DWORD& effect, TDropMode mode)>;
class TVTDragManager;
class TVTDragImage;
enum TVTDragType { dtOLE, dtVCL };
class IAccessible;
// What the tree tells its own accessible objects when it goes away.
class TVTTreeAccessibleBase {
public:
    virtual void ForgetTree() = 0;

protected:
    ~TVTTreeAccessibleBase() = default;
};
enum TVTDragImageKind { diComplete, diMainColumnOnly, diNoImage };
using TVTDragAllowedEvent = std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column, bool& allowed)>;

// Where a point lies on a node or outside the tree.
enum THitPosition : std::uint16_t {
    hiAbove = 1u << 0,
    hiBelow = 1u << 1,
    hiNowhere = 1u << 2,
    hiOnItem = 1u << 3,
    hiOnItemButton = 1u << 4,
    hiOnItemCheckbox = 1u << 5,
    hiOnItemIndent = 1u << 6,
    hiOnItemLabel = 1u << 7,
    hiOnItemLeft = 1u << 8,
    hiOnItemRight = 1u << 9,
    hiOnNormalIcon = 1u << 10,
    hiOnStateIcon = 1u << 11,
    hiToLeft = 1u << 12,
    hiToRight = 1u << 13,
};
using THitPositions = std::uint16_t;
struct THitInfo {
    PVastNode Node = nullptr;
    THitPositions Positions = 0;
    TColumnIndex Column = NoColumn;
};

// Hints: what the tree shows under the pointer (its own hint, a node hint, or the cell's
// whole text where it is cut off), how the hint window appears and how a text is broken.
enum TVTHintMode { hmDefault, hmHint, hmHintAndDefault, hmTooltip };
enum THintAnimationType { hatNone, hatFade, hatSlide, hatSystemDefault };
enum TVTTooltipLineBreakStyle { hlbDefault, hlbForceSingleLine, hlbForceMultiLine };

// What the tree hands its hint window (copied by value).
struct TVTHintData {
    TBaseVastTree* Tree = nullptr;
    PVastNode Node = nullptr;
    TColumnIndex Column = NoColumn;
    platform::TRect HintRect;
    std::string DefaultHint;
    std::string HintText;
    platform::TBiDiMode BidiMode = platform::bdLeftToRight;
    platform::TAlignment Alignment = platform::taLeftJustify;
    TVTTooltipLineBreakStyle LineBreakStyle = hlbDefault;
};

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

// The edges the tree scrolls towards on its own.
enum TScrollDirection : unsigned { sdLeft = 1, sdUp = 2, sdRight = 4, sdDown = 8 };
using TScrollDirections = unsigned;

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
    // Inline: compare and paint handlers call it for every node they look at.
    void* GetNodeData(PVastNode node) const {
        if (nodeDataSize_ <= 0) NodeDataSizeMissing();
        if (!node || node == root_) return nullptr;
        return reinterpret_cast<char*>(node) + sizeof(TVastNode) + totalInternalDataSize_;
    }
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
    // The node's height; with toVariableNodeHeight the node is initialised and measured
    // (OnMeasureItem, once until the node is invalidated) first.
    std::uint16_t GetNodeHeight(PVastNode node);
    // Refused in a read-only tree; measured heights apply there too.
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
    platform::TBitmap* PlusBitmap() const { return plusBM_.get(); }
    platform::TBitmap* MinusBitmap() const { return minusBM_.get(); }
    platform::HBRUSH LinePatternBrush() const { return dottedBrush_.get(); }
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
    TColumnIndex MainColumn() const;
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
    // Scrolls so that the node is shown (expanding its collapsed ancestors), and with
    // horizontally also the focused column; true when anything was brought into view.
    bool ScrollIntoView(PVastNode node, bool center, bool horizontally = false);
    bool ScrollIntoView(TColumnIndex column, bool center);

    // ---- brackets, states and notification ----
    void BeginUpdate();
    void EndUpdate();
    // Runs work inside an update bracket that is closed also when the work throws.
    template <class Work> void Updating(Work work) {
        TUpdateScope<TBaseVastTree> bracket(*this);
        work();
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
    // Memory the node store holds in blocks of its own, beside the heap.
    std::size_t NodeBlockBytes() const { return nodePool_.BlockBytes(); }
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
    int OffsetX() const { return offsetX_; }

    // ---- geometry and scrolling ----
    // Offsets are clamped to [client size - range, 0], 0 winning when everything fits.
    void SetOffsetX(int value);
    void SetOffsetY(int value);
    void SetOffsetXY(platform::TPoint value);
    platform::TPoint OffsetXY() const { return platform::TPoint{offsetX_, offsetY_}; }
    // Moves the content; false when nothing moved. clip limits the scrolled area.
    virtual bool DoSetOffsetXY(platform::TPoint value, TScrollUpdateOptions options,
                               const platform::TRect* clip = nullptr);
    virtual void DoScroll(int deltaX, int deltaY);
    // How far the content is scrolled from its start in reading order.
    int HorzScrollPos() const;
    bool UseRightToLeftAlignment() const { return BiDiMode() == platform::bdRightToLeft; }
    // The width and height of everything the tree shows (the columns' width, or the
    // widest row near the top without columns; the rows' height plus BottomSpace).
    int RangeWidth() const;
    int RangeHeight() const;
    std::uint32_t BottomSpace() const { return bottomSpace_; }
    void SetBottomSpace(std::uint32_t value);
    platform::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(platform::TAlignment value);
    platform::TRect GetTreeRect() const;
    // The widest row from the top node down to the window's bottom, with indentation
    // and images.
    virtual std::uint32_t GetMaxRightExtend() const;
    // The widest content of a column (auto-fit), over the shown rows when smart.
    int GetMaxColumnWidth(TColumnIndex column, bool useSmartColumnWidth);
    // Client rectangle of a node's cell (or of its text, forText); empty for a node not
    // shown. Raises for nullptr and the hidden root.
    platform::TRect GetDisplayRect(PVastNode node, TColumnIndex column, bool forText, bool unbounded = false);
    PVastNode TopNode();
    void SetTopNode(PVastNode node);
    bool GetMultiline(PVastNode node) const { return node && node != root_ && (node->States & vsMultiline); }
    void SetMultiline(PVastNode node, bool value);
    std::uint8_t GetVerticalAlignment(PVastNode node) const { return node ? node->VerticalAlignment : 0; }
    void SetVerticalAlignment(PVastNode node, std::uint8_t value);
    void CalculateVerticalAlignments(bool hasImages, bool hasStateImages, PVastNode node, int& imageTop,
                                     int& buttonTop) const;
    void MeasureItemHeight(platform::TCanvas* canvas, PVastNode node);
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, PVastNode node, int& nodeHeight)>
        OnMeasureItem;
    std::function<void(TBaseVastTree* sender, int deltaX, int deltaY)> OnScroll;
    std::function<void(TBaseVastTree* sender, int bar, bool show)> OnShowScrollbar;
    void UpdateVerticalScrollBar(bool redraw);
    void UpdateHorizontalScrollBar(bool redraw);
    virtual void DoShowScrollbar(int bar, bool show);
    // Images drawn beside the text (not owned).
    platform::TCustomImageList* Images() const { return images_; }
    void SetImages(platform::TCustomImageList* value);
    platform::TCustomImageList* StateImages() const { return stateImages_; }
    void SetStateImages(platform::TCustomImageList* value);
    bool HasImage(PVastNode node, TVTImageKind kind, TColumnIndex column);

    // ---- painting ----
    // Paints the part window (tree coordinates) of the tree so that its top-left lands on
    // target of the canvas, one row bitmap and one copy per row, over the rows the window
    // covers only. A call while painting returns at once.
    void PaintTree(platform::TCanvas* targetCanvas, platform::TRect window, platform::TPoint target,
                   TVTInternalPaintOptions paintOptions, platform::TPixelFormat pixelFormat = platform::pfDevice);
    void Paint() override;
    virtual void PrepareCell(TVTPaintInfo& paintInfo, int windowOrgX, int maxWidth);
    void ClearNodeBackground(const TVTPaintInfo& paintInfo, bool useBackground, bool floating, platform::TRect r);
    virtual void DoPaintNode(TVTPaintInfo& /*paintInfo*/) {}
    virtual bool ColumnIsEmpty(PVastNode node, TColumnIndex column);
    // Sets nextColumn to the visible column after the painted one.
    virtual void AdjustPaintCellRect(TVTPaintInfo& paintInfo, TColumnIndex& nextColumn);
    void InvalidateColumn(TColumnIndex column);
    void InvalidateToBottom(PVastNode node);
    void InvalidateChildren(PVastNode node, bool recursive);
    void RepaintNode(PVastNode node);
    TVTLineMode LineMode() const { return lineMode_; }
    void SetLineMode(TVTLineMode value);
    // A picture without width or height counts as none.
    platform::TPicture* Background() const { return background_.get(); }
    void SetBackground(platform::TPicture* value);
    int BackgroundOffsetX() const { return backgroundOffsetX_; }
    int BackgroundOffsetY() const { return backgroundOffsetY_; }
    void SetBackgroundOffset(int index, int value);
    PVastNode DropTargetNode() const { return dropTargetNode_; }
    TDropMode LastDropMode() const { return lastDropMode_; }
    // The drop target and where over it a drop would go (the drag issue sets them).
    void SetDropTarget(PVastNode node, TDropMode mode);
    virtual void PaintTreeLines(const TVTPaintInfo& paintInfo, int vAlignment, int indentSize,
                                const TLineImage& lineImage);
    void DrawLineImage(const TVTPaintInfo& paintInfo, int x, int y, int h, int vAlign, TVTLineType style,
                       bool reverse);
    virtual void DrawDottedHLine(const TVTPaintInfo& paintInfo, int left, int right, int top);
    virtual void DrawDottedVLine(const TVTPaintInfo& paintInfo, int top, int bottom, int left);
    virtual void PaintNodeButton(platform::TCanvas* canvas, PVastNode node, const platform::TRect& r, int buttonX,
                                 int buttonY, platform::TBiDiMode bidiMode);
    virtual void PaintImage(TVTPaintInfo& paintInfo, TVTImageInfoIndex imageInfoIndex, bool doOverlay);
    virtual void GetImageIndex(TVTPaintInfo& paintInfo, TVTImageKind kind, TVTImageInfoIndex infoIndex,
                               platform::TCustomImageList* defaultImages);
    virtual void DoPaintDropMark(platform::TCanvas* canvas, PVastNode node, const platform::TRect& r);
    void TileBackground(platform::TBitmap* source, platform::TCanvas* target, platform::TPoint offset,
                        const platform::TRect& r);
    void StaticBackground(platform::TBitmap* source, platform::TCanvas* target, platform::TPoint offset,
                          const platform::TRect& r);
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas)> OnBeforePaint, OnAfterPaint;
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, PVastNode node, const platform::TRect& r,
                       bool& customDraw)>
        OnBeforeItemPaint;
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, PVastNode node, const platform::TRect& r)>
        OnAfterItemPaint, OnAfterItemErase;
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, PVastNode node, const platform::TRect& r,
                       platform::TColor& color, TItemEraseAction& action)>
        OnBeforeItemErase;
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                       TVTCellPaintMode mode, const platform::TRect& cellRect, platform::TRect& contentRect)>
        OnBeforeCellPaint;
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                       const platform::TRect& cellRect)>
        OnAfterCellPaint;
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, const platform::TRect& r, bool& handled)>
        OnPaintBackground;
    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column, bool& isEmpty)> OnGetCellIsEmpty;

    // ---- mouse ----
    // What lies at a client point (relative) or a tree point.
    virtual void GetHitTestInfoAt(int x, int y, bool relative, THitInfo& hitInfo);
    // The mouse press, release and double-click on a hit (button: the message's; keys:
    // MK_SHIFT / MK_CONTROL of the message).
    virtual void HandleMouseDown(platform::TMouseButton button, platform::WPARAM keys, int x, int y,
                                 const THitInfo& hitInfo);
    virtual void HandleMouseUp(platform::WPARAM keys, const THitInfo& hitInfo);
    virtual void HandleMouseDblClick(platform::WPARAM keys, const THitInfo& hitInfo);
    virtual void HandleHotTrack(int x, int y);
    virtual void DoHotChange(PVastNode oldNode, PVastNode newNode);
    virtual void DoColumnClick(TColumnIndex column, platform::TShiftState shift);
    virtual void DoColumnDblClick(TColumnIndex column, platform::TShiftState shift);
    PVastNode CheckNode() const { return checkNode_; }
    std::function<void(TBaseVastTree* sender, PVastNode oldNode, PVastNode newNode)> OnHotChange;
    std::function<void(TBaseVastTree* sender, TColumnIndex column, platform::TShiftState shift)> OnColumnClick,
        OnColumnDblClick;

    // ---- animation ----
    // Calls callback(step, stepSize, data) about steps / stepSize times spread over
    // duration milliseconds of the program clock (the step size grows when less than a
    // millisecond per step would remain), then once with (0, 0); a false result ends it.
    using TVTAnimationCallback = std::function<bool(int step, int stepSize, void* data)>;
    virtual void Animate(std::uint32_t steps, std::uint32_t duration, const TVTAnimationCallback& callback,
                         void* data);

    // ---- keyboard and incremental search ----
    enum TVTIncrementalSearch { isAll, isNone, isInitializedOnly, isVisibleOnly };
    enum TVTSearchDirection { sdForward, sdBackward };
    enum TVTSearchStart { ssAlwaysStartOver, ssLastHit, ssFocusedNode };
    TVTIncrementalSearch IncrementalSearch() const { return incrementalSearch_; }
    void SetSearchOption(TVTIncrementalSearch value);
    TVTSearchDirection IncrementalSearchDirection() const { return searchDirection_; }
    void SetIncrementalSearchDirection(TVTSearchDirection value) { searchDirection_ = value; }
    TVTSearchStart IncrementalSearchStart() const { return searchStart_; }
    void SetIncrementalSearchStart(TVTSearchStart value) { searchStart_ = value; }
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool value) { wantTabs_ = value; }
    const std::string& SearchBuffer() const { return searchBuffer_; }
    // 0 when the node matches the search text (OnIncrementalSearch; every node without it).
    virtual int DoIncrementalSearch(PVastNode node, const std::string& text);
    virtual bool DoKeyAction(platform::WORD& charCode, platform::TShiftState& shift);
    // One typed character (a code point; 8 is Backspace, 0 only restarts the timer).
    virtual void HandleIncrementalSearch(unsigned charCode);
    std::function<void(TBaseVastTree* sender, PVastNode node, const std::string& searchText, int& result)>
        OnIncrementalSearch;
    std::function<void(TBaseVastTree* sender, platform::WORD& charCode, platform::TShiftState& shift,
                       bool& doDefault)>
        OnKeyAction;

    // ---- header and columns ----
    TVTHeader* Header() const { return header_.get(); }
    // The header's height or visibility changed: the strip above the client area follows.
    void HeaderChanged();
    // Paints the header strip onto a device context of the whole window.
    void PaintHeaderStrip(platform::HDC dc);
    // The header strip, in the tree's window coordinates (empty while hidden).
    platform::TRect HeaderRect() const;
    // Right-to-left: how far the columns are shifted right (the vertical bar's width,
    // or all the room left when everything fits).
    virtual int ComputeRTLOffset(bool withoutBar = false) const;
    std::function<void(TVTHeader* sender, TColumnIndex column)> OnColumnResize;
    std::function<void(TVTHeader* sender, TColumnIndex column, platform::TMouseButton button, platform::TShiftState shift,
                       int x, int y)>
        OnHeaderClick;
    std::function<void(TVTHeader* sender, platform::TPoint p, TColumnIndex column, bool& allow)>
        OnCanSplitterResizeColumn;
    virtual void DoColumnResize(TColumnIndex column);
    virtual void DoHeaderClick(TColumnIndex column, platform::TMouseButton button, platform::TShiftState shift, int x,
                               int y);
    virtual bool DoCanSplitterResizeColumn(platform::TPoint p, TColumnIndex column);
    // Header mouse events (header coordinates: y from 0 at the header's top).
    std::function<void(TVTHeader* sender, TColumnIndex column, platform::TMouseButton button, platform::TShiftState shift,
                       int x, int y)>
        OnHeaderDblClick;
    std::function<void(TVTHeader* sender, platform::TMouseButton button, platform::TShiftState shift, int x, int y)>
        OnHeaderMouseDown, OnHeaderMouseUp;
    std::function<void(TVTHeader* sender, platform::TShiftState shift, int x, int y)> OnHeaderMouseMove;
    // A column is about to be dragged (allowed starts true); it was dropped at a new
    // position; it was dropped outside the header's columns (screen point).
    std::function<void(TVTHeader* sender, TColumnIndex column, bool& allowed)> OnHeaderDragging;
    std::function<void(TVTHeader* sender, TColumnIndex column, int oldPosition)> OnHeaderDragged;
    std::function<void(TVTHeader* sender, TColumnIndex column, platform::TPoint dropPosition)> OnHeaderDraggedOut;
    // The cursor over the header (the split cursor on a splitter) may be changed.
    std::function<void(TVTHeader* sender, platform::HCURSOR& cursor)> OnGetHeaderCursor;
    virtual void DoHeaderDblClick(TColumnIndex column, platform::TMouseButton button, platform::TShiftState shift,
                                  int x, int y);
    virtual void DoHeaderMouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y);
    virtual void DoHeaderMouseUp(platform::TMouseButton button, platform::TShiftState shift, int x, int y);
    virtual void DoHeaderMouseMove(platform::TShiftState shift, int x, int y);
    virtual bool DoHeaderDragging(TColumnIndex column);
    virtual void DoHeaderDragged(TColumnIndex column, int oldPosition);
    virtual void DoHeaderDraggedOut(TColumnIndex column, platform::TPoint dropPosition);
    virtual void DoGetHeaderCursor(platform::HCURSOR& cursor);

    // ---- auto-scroll and wheel panning (vtscroll.cpp) ----
    // Whether the mouse may scroll the tree now: toAutoScroll or panning, the header idle,
    // and a rubber band, a drag over the tree or panning going on.
    virtual bool CanAutoScroll();
    // The edges the tree would scroll towards for a client point (sdLeft ... sdDown);
    // an edge counts only once AutoScrollDelay has passed since the first one was met.
    virtual TScrollDirections DetermineScrollDirections(int x, int y);
    // Arms the scroll timer (AutoScrollDelay) for the directions of a client point, or
    // stops it when there are none.
    virtual void DoAutoScroll(int x, int y);
    // One step of the scroll timer.
    virtual void DoTimerScroll();
    // Shows the panning window centred on a client point and scrolls with the mouse.
    virtual void StartWheelPanning(platform::TPoint position);
    virtual void StopWheelPanning();
    // Points the panning cursor from the panning origin to a client point.
    virtual void AdjustPanningCursor(int x, int y);
    bool IsPanning() const { return states_ & (tsWheelPanning | tsWheelScrolling); }
    platform::HWND PanningWindow() const { return panningWindow_; }
    // The cursor panning shows now (null while not panning).
    platform::HCURSOR PanningCursor() const { return panningCursor_; }
    TScrollDirections ScrollDirections() const { return scrollDirections_; }
    // Fits both scroll bars to the tree's range and offsets.
    virtual void UpdateScrollBars(bool redraw);

    // ---- in-place editing ----
    // Focuses the node and, when CanEdit agrees, opens the editor on the cell; true when
    // an edit runs afterwards. On the node and column of an edit a click made pending,
    // the edit starts without asking OnEditing again.
    virtual bool EditNode(PVastNode node, TColumnIndex column);
    // toEditable, enabled and not read-only, then OnEditing may change the answer.
    virtual bool CanEdit(PVastNode node, TColumnIndex column);
    // Ends a running or pending edit taking its text (true when none runs).
    bool EndEditNode();
    // Ends a running or pending edit without taking its text (true when none runs).
    bool CancelEditNode();
    bool IsEditing() const { return states_ & tsEditing; }
    TColumnIndex EditColumn() const { return editColumn_; }
    // The running edit's link (empty when none runs).
    IVTEditLink* EditLink() const { return editLink_.Get(); }
    // Places the editor over the focused node's text in the edit column.
    virtual void UpdateEditBounds();
    // Starts the edit of the focused node in the edit column (the edit timer's work).
    virtual void DoEdit();
    virtual bool DoEndEdit();
    virtual bool DoCancelEdit();
    // The font, text rectangle (client coordinates) and text of a cell, as the editor and
    // the hints show them; the base tree gives its font and nothing else.
    virtual void GetTextInfo(PVastNode node, TColumnIndex column, platform::TFont* font, platform::TRect& r,
                             std::string& text);

    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column, bool& allowed)> OnEditing;
    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column)> OnEdited;
    std::function<void(TBaseVastTree* sender, TColumnIndex column)> OnEditCancelled;
    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column, TVTEditLinkRef& editLink)>
        OnCreateEditor;

    // bsSingle (the default) gives the window a sunken client edge; bsNone no border.
    platform::TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(platform::TBorderStyle value);
    // Bevels in the frame inside the border (none with bkNone), then BorderWidth pixels
    // of Colors.BorderColor around the scroll bars and the client area.
    platform::TBevelKind BevelKind() const { return bevelKind_; }
    void SetBevelKind(platform::TBevelKind value);
    platform::TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(platform::TBevelCut value);
    platform::TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(platform::TBevelCut value);
    platform::TBevelEdges BevelEdges() const { return bevelEdges_; }
    void SetBevelEdges(platform::TBevelEdges value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);
    // Without 3D the bevels are drawn flat (BF_MONO).
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool value);
    // The frame's widths inside the border on each side (bevels and BorderWidth).
    platform::TRect FrameInsets() const;
    // Paints the bevels and the border width onto a device context of the whole window.
    virtual void OriginalWMNCPaint(platform::HDC dc);

    // ---- context menus ----
    // Asked for the node, then each ancestor while askParent stays true and no menu is
    // given; once with no node and column -1 for a click beside the rows.
    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column, platform::TPoint p,
                       bool& askParent, platform::TPopupMenu*& menu)>
        OnGetPopupMenu;
    virtual platform::TPopupMenu* DoGetPopupMenu(PVastNode node, TColumnIndex column, platform::TPoint p);
    // Shows the menu OnGetPopupMenu gives at a client point.
    virtual void DoPopupMenu(PVastNode node, TColumnIndex column, platform::TPoint p);
    bool HasPopupMenu(PVastNode node, TColumnIndex column, platform::TPoint p);

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
    // 0 also switches the animated toggle off, any other value on.
    void SetAnimationDuration(std::uint32_t value);
    std::uint32_t IncrementalSearchTimeout() const { return incrementalSearchTimeout_; }
    void SetIncrementalSearchTimeout(std::uint32_t value) { incrementalSearchTimeout_ = value; }
    int DragWidth() const { return dragWidth_; }
    void SetDragWidth(int value) { dragWidth_ = value; }
    int DragHeight() const { return dragHeight_; }
    void SetDragHeight(int value) { dragHeight_ = value; }

    // ---- companions ----
    TCustomVastTreeOptions* TreeOptions() const { return options_.get(); }
    void SetTreeOptions(TCustomVastTreeOptions* value) { options_->Assign(value); }
    TVTColors* Colors() const { return colors_.get(); }
    void SetColors(TVTColors* value) { colors_->Assign(value); }
    TScrollBarOptions* ScrollBarOptions() const { return scrollBarOptions_.get(); }

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

    // ---- tree streams (vtstream.cpp) ----
    // Writes the marker, the node count and the node chunks: every top-level node for
    // nullptr, else the node with its subtree.
    virtual void SaveToStream(platform::TStream& stream, PVastNode node = nullptr);
    void SaveToFile(const std::string& fileName);
    // Replaces the tree's nodes by the stream's. A stream that is not a tree stream is
    // refused before anything is cleared.
    virtual void LoadFromStream(platform::TStream& stream);
    virtual void LoadFromFile(const std::string& fileName);
    // Appends the stream's nodes as last children of target (the root for top level).
    void AddFromStream(platform::TStream& stream, PVastNode target);
    TVTSaveNodeEvent OnSaveNode;
    TVTSaveNodeEvent OnLoadNode;

    // ---- sorting (vtsort.cpp) ----
    // Sorts the children of node (nullptr: the root) by OnCompareNodes; equal nodes keep
    // their order in both directions. A column below -1 sorts nothing.
    virtual void Sort(PVastNode node, TColumnIndex column, TSortDirection direction, bool doInit = true);
    // Sorts every level, depth first, inside one update hold.
    void SortTree(TColumnIndex column, TSortDirection direction, bool doInit = true);
    // Negative when node1 sorts before node2, positive after, 0 equal.
    virtual std::int32_t DoCompare(PVastNode node1, PVastNode node2, TColumnIndex column);
    TVTCompareEvent OnCompareNodes;

    // ---- clipboard and data transfer (vtclipboard.cpp) ----
    // The formats the tree offers (descriptions of registered formats).
    TClipboardFormats* ClipboardFormats();
    void SetClipboardFormats(const std::vector<std::string>& descriptions);
    virtual void CopyToClipBoard();
    virtual void CutToClipBoard();
    // True when nodes were inserted or moved.
    virtual bool PasteFromClipboard();
    // Leaves the clipboard's data in place when the tree goes away.
    void FlushClipboard();
    void CancelCutOrCopy();
    // Deletes the nodes a cut left once they were pasted elsewhere.
    void FinishCutOrCopy();
    PVastNode GetFirstCutCopy();
    PVastNode GetNextCutCopy(PVastNode node);
    PVastNode GetPreviousCutCopy(PVastNode node);
    std::int32_t GetCutCopyCount();
    std::vector<PVastNode> GetSortedCutCopySet(bool resolve) const;
    virtual void GetNativeClipboardFormats(std::vector<platform::FORMATETC>& formats);
    // The tree of this process a data object came from (nullptr for another process's).
    virtual TBaseVastTree* GetTreeFromDataObject(platform::IDataObject* dataObject);
    virtual platform::HRESULT RenderOLEData(const platform::FORMATETC& format, platform::STGMEDIUM& medium,
                                            bool forClipboard);
    // Inserts the tree data a data object holds at target (moves the source's nodes when
    // optimized); true when there was tree data to insert.
    bool ProcessOLEData(TBaseVastTree* source, platform::IDataObject* dataObject, PVastNode target,
                        TVTNodeAttachMode mode, bool optimized);
    // The number references name this tree by among the live trees of the process.
    std::uint32_t TreeId();
    TVTGetUserClipboardFormatsEvent OnGetUserClipboardFormats;
    TVTRenderOLEDataEvent OnRenderOLEData;
    TVTCreateDataObjectEvent OnCreateDataObject;

    // ---- drag and drop: the drop target (vtdragdrop.cpp) ----
    // The tree's drop target and drag source; made on first use.
    TVTDragManager* GetDragManager();
    TDragOperations DragOperations() const { return dragOperations_; }
    void SetDragOperations(TDragOperations value) { dragOperations_ = value; }
    // The drop target's side of an OLE drag; points in screen coordinates.
    virtual platform::HRESULT DragEnter(platform::DWORD keyState, platform::TPoint pt, platform::DWORD& effect);
    virtual platform::HRESULT DragOver(platform::TObject* source, platform::DWORD keyState,
                                       platform::TDragState dragState, platform::TPoint pt, platform::DWORD& effect);
    virtual void DragLeave();
    virtual platform::HRESULT DragDrop(platform::IDataObject* dataObject, platform::DWORD keyState,
                                       platform::TPoint pt, platform::DWORD& effect);
    using platform::TCustomControl::DragOver;
    using platform::TCustomControl::DragDrop;
    virtual platform::DWORD SuggestDropEffect(platform::TObject* source, platform::TShiftState shift,
                                              platform::TPoint pt, platform::DWORD allowedEffects);
    // For OnDragDrop handlers: inserts the dropped tree data (a move between trees of
    // this process); effect becomes DROPEFFECT_NONE once the nodes have moved.
    bool ProcessDrop(platform::IDataObject* dataObject, PVastNode targetNode, platform::DWORD& effect,
                     TVTNodeAttachMode mode);
    // Whether something dragged over the tree would be taken (OnDragOver; refused without).
    virtual bool DoDragOver(platform::TObject* source, platform::TShiftState shift, platform::TDragState state,
                            platform::TPoint pt, TDropMode mode, platform::DWORD& effect);
    virtual void DoDragDrop(platform::TObject* source, platform::IDataObject* dataObject,
                            const std::vector<platform::CLIPFORMAT>& formats, platform::TShiftState shift,
                            platform::TPoint pt, platform::DWORD& effect, TDropMode mode);
    // The expand timer: opens the collapsed node under a drag.
    virtual void DoDragExpand();
    TVTDragOverEvent OnDragOver;
    TVTDragDropEvent OnDragDrop;

    // ---- accessibility (vtaccess.cpp) ----
    // The tree's accessible objects, made by the factory's providers at WM_GETOBJECT.
    IAccessible* Accessible() const { return accessible_; }
    IAccessible* AccessibleItem() const { return accessibleItem_; }
    // Tells the event sink about a change while the tree has an accessible item.
    void NotifyAccessibleEvent(platform::DWORD event);
    void NotifyAccessibleFocus();
    // The header's main column changed: a running edit ends without its text and the
    // accessible object's names (the rows' main-column texts) are announced as changed.
    virtual void MainColumnChanged();

    // ---- hints (vthints.cpp) ----
    TVTHintMode HintMode() const { return hintMode_; }
    void SetHintMode(TVTHintMode value) { hintMode_ = value; }
    THintAnimationType HintAnimation() const { return hintAnimation_; }
    void SetHintAnimation(THintAnimationType value) { hintAnimation_ = value; }
    const TVTHintData& HintData() const { return hintData_; }
    // The client area the current hint was issued for (empty when none).
    const platform::TRect& LastHintRect() const { return lastHintRect_; }
    // The node hint and the node tooltip: the control's hint, no line-break wish.
    virtual std::string DoGetNodeHint(PVastNode node, TColumnIndex column, TVTTooltipLineBreakStyle& lineBreakStyle);
    virtual std::string DoGetNodeTooltip(PVastNode node, TColumnIndex column,
                                         TVTTooltipLineBreakStyle& lineBreakStyle);
    virtual platform::THintWindowClass GetHintWindowClass();
    // The hint animation the hint window runs (the system default: a fade).
    THintAnimationType DoGetAnimationType();
    // CM_HINTSHOW (lParam: the application's THintInfo) and CM_HINTSHOWPAUSE (lParam: the pause).
    void CMHintShow(platform::TMessage& message);
    void CMHintShowPause(platform::TMessage& message);

    // ---- printing (vtprint.cpp) ----
    // Prints every shown row (and the header when asked and shown) over as many pages as
    // it needs; a nil printer does nothing.
    void Print(platform::TPrinter* printer, bool withHeader);

    // ---- drag and drop: the source (vtdragdrop.cpp) ----
    TVTDragType DragType() const { return dragType_; }
    void SetDragType(TVTDragType value) { dragType_ = value; }
    TVTDragImageKind DragImageKind() const { return dragImageKind_; }
    void SetDragImageKind(TVTDragImageKind value) { dragImageKind_ = value; }
    // Starts a drag of the selection now, or arms it for when the pointer has moved
    // threshold pixels (the system's drag threshold when negative).
    void BeginDrag(bool immediate, int threshold = -1);
    // A drag is armed or running.
    bool Dragging() const;
    // Whether a press on the node may start a drag (OnDragAllowed; refused without).
    virtual bool DoBeforeDrag(PVastNode node, TColumnIndex column);
    // Runs a drag of the selection that starts at the client point p.
    virtual void DoDragging(platform::TPoint p);
    // The platform's drag loop; effect comes back as what the target did.
    virtual void DragAndDrop(platform::DWORD allowedEffects, platform::IDataObject* dataObject,
                             platform::DWORD& effect);
    virtual bool CanShowDragImage() const { return dragImageKind_ != diNoImage; }
    // The translucent picture of the dragged rows that follows the pointer (vtdragimage.cpp).
    TVTDragImage* DragImage() const { return dragImage_.get(); }
    // Paints the selected rows within DragWidth x DragHeight around the hot spot (client
    // coordinates) and hands the picture to the drag image.
    void PrepareDragImage(platform::TPoint hotSpot, platform::IDataObject* dataObject);
    // Repaints treeRect (client coordinates) while tree's drag image may lie over it: the
    // part under the image goes into the image's background first.
    virtual void UpdateWindowAndDragImage(TBaseVastTree* tree, platform::TRect treeRect, bool frame, bool reshow);
    // The end of any drag: the press that started it is ended.
    virtual void DragFinished();
    TVTDragAllowedEvent OnDragAllowed;

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
    virtual void DoMeasureItem(platform::TCanvas* canvas, PVastNode node, int& nodeHeight);
    virtual void DoBeforePaint(platform::TCanvas* canvas);
    virtual void DoAfterPaint(platform::TCanvas* canvas);
    virtual bool DoBeforeItemPaint(platform::TCanvas* canvas, PVastNode node, const platform::TRect& r);
    virtual void DoAfterItemPaint(platform::TCanvas* canvas, PVastNode node, const platform::TRect& r);
    virtual void DoBeforeItemErase(platform::TCanvas* canvas, PVastNode node, const platform::TRect& r,
                                   platform::TColor& color, TItemEraseAction& action);
    virtual void DoAfterItemErase(platform::TCanvas* canvas, PVastNode node, const platform::TRect& r);
    virtual void DoBeforeCellPaint(platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                                   TVTCellPaintMode mode, const platform::TRect& cellRect,
                                   platform::TRect& contentRect);
    virtual void DoAfterCellPaint(platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                                  const platform::TRect& cellRect);
    virtual bool DoPaintBackground(platform::TCanvas* canvas, const platform::TRect& r);
    // The number of selected ancestors; fills the line pieces of every indentation level.
    int InitializeLineImageAndSelectLevel(PVastNode node, TLineImage& lineImage);
    void InitializeFirstColumnValues(TVTPaintInfo& paintInfo);
    void AdjustCoordinatesByIndent(TVTPaintInfo& paintInfo, int level);
    void AdjustImageBorder(platform::TCustomImageList* images, platform::TBiDiMode bidiMode, int vAlign,
                           platform::TRect& r, TVTImageInfo& imageInfo);
    void LimitPaintingToArea(platform::TCanvas* canvas, const platform::TRect& clipRect);
    void WndProc(platform::TMessage& message) override;
    bool HandleMouseMessage(platform::TMessage& message);
    // The edit timer and the focus and cancel messages that end a pending edit.
    bool HandleEditMessage(platform::TMessage& message);
    void CreateParams(platform::TCreateParams& params) override;
    // TVM_GETNEXTITEM, TVM_GETITEMRECT, TVM_GETITEM (vtqueries.h).
    bool HandleQueryMessage(platform::TMessage& message);
    // The node a handle from outside names, when it is one of this tree's (else nullptr).
    PVastNode NodeFromHandle(const void* handle) const;
    void KeyDown(platform::WORD& key, platform::TShiftState shift) override;
    bool DoMouseWheel(platform::TShiftState shift, int wheelDelta, platform::TPoint mousePos) override;
    void KeyUp(platform::WORD& key, platform::TShiftState shift) override;
    bool HandleKeyMessage(platform::TMessage& message);
    void EndIncrementalSearch();
    // Slides the rows below a node that is about to collapse or has just expanded.
    void AnimateToggle(PVastNode node, bool expand, int height);
    void MouseMove(platform::TShiftState shift, int x, int y) override;
    void DetermineHitPositionLTR(THitInfo& hitInfo, int offset, int right, platform::TAlignment alignment);
    void DetermineHitPositionRTL(THitInfo& hitInfo, int offset, int right, platform::TAlignment alignment);
    void HandleScrollMessage(platform::TMessage& message, bool vertical);
    void SizeChanged();
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
    virtual void DoCanEdit(PVastNode node, TColumnIndex column, bool& allowed);
    virtual TVTEditLinkRef DoCreateEditor(PVastNode node, TColumnIndex column);
    // Starts the edit timer (EditDelay) for the focused column after a click on the
    // focused node's text.
    void StartEditTimer();
    // Sorts the node's children when toAutoSort asks for it (outside update brackets).
    void AutoSortChildren(PVastNode node);
    virtual platform::IDataObject* DoCreateDataObject();
    virtual void DoGetUserClipboardFormats(std::vector<platform::FORMATETC>& formats);
    virtual platform::HRESULT DoRenderOLEData(const platform::FORMATETC& format, platform::STGMEDIUM& medium,
                                              bool forClipboard);
    virtual void MarkCutCopyNodes();
    // Takes the tree's data objects off the clipboard; when destroying, also cuts every
    // data object's link to the tree and forgets the tree's number.
    void ReleaseTransferLinks(bool destroying);
    // The nodes an OLE drag carries (kept while it runs).
    std::vector<PVastNode>& DragSelection() { return dragSelection_; }

    // ---- tree streams: the chunk writer and reader ----
    virtual void WriteNode(platform::TStream& stream, PVastNode node);
    virtual void WriteChunks(platform::TStream& stream, PVastNode node);
    virtual void FinishChunkHeader(platform::TStream& stream, std::int64_t chunkStart, std::int64_t chunkEnd);
    virtual void ReadNode(platform::TStream& stream, int version, PVastNode node);
    // Reads one chunk inside a node chunk; false for a chunk it skipped.
    virtual bool ReadChunk(platform::TStream& stream, int version, PVastNode node, int chunkType,
                           std::int32_t chunkSize);
    virtual void SkipNode(platform::TStream& stream);
    virtual void InternalAddFromStream(platform::TStream& stream, int version, PVastNode node);
    virtual void DoSaveUserData(PVastNode node, platform::TStream& stream);
    // True when the handler consumed any bytes.
    virtual bool DoLoadUserData(PVastNode node, platform::TStream& stream);
    // The end of the chunk being read: nothing inside it may reach past it.
    std::int64_t StreamChunkLimit() const { return streamChunkLimit_; }
    virtual void DoGetLineStyle(TVTLinePattern& bits);
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
    friend class TVTHeader;  // the header's mouse stops the tree's timers
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
    // Raises when user data is given but the data area cannot hold a pointer.
    void RequireUserDataSpace(void* userData);
    // Raises "NodeDataSize not initialized.".
    [[gnu::cold]] static void NodeDataSizeMissing();
    // Asks OnGetNodeDataSize for the data size while it is still -1.
    void ResolveNodeDataSize();
    void PrepareTarget(PVastNode target);
    // A copy of the source's subtree for this tree, not linked anywhere yet.
    PVastNode CopySubtree(PVastNode source);
    void FreeUnlinked(PVastNode node);
    static void LinkLastChild(PVastNode parent, PVastNode child);
    void AfterShapeChange();
    // Stops a rebuild of the cache (see InterruptValidation); restart: ask for a new
    // rebuild once the current operation is over.
    void StopValidation(bool restart);
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
    // Tree streams: the end of the enclosing chunk and the nesting depth while reading.
    std::int64_t streamChunkLimit_ = 0;
    int streamDepth_ = 0;
    TClipboardFormats* clipboardFormats_ = nullptr;
    std::uint32_t treeId_ = 0;
    std::vector<PVastNode> dragSelection_;
    TVTDragManager* dragManager_ = nullptr;
    TDragOperations dragOperations_ = doCopy | doMove;
    TVTHintMode hintMode_ = hmDefault;
    THintAnimationType hintAnimation_ = hatSystemDefault;
    TVTHintData hintData_;
    platform::TRect lastHintRect_;
    IAccessible* accessible_ = nullptr;
    IAccessible* accessibleItem_ = nullptr;
    void WMGetObject(platform::TMessage& message);
    void ReleaseAccessible();
    TVTDragType dragType_ = dtOLE;
    TVTDragImageKind dragImageKind_ = diComplete;
    int dragThreshold_ = 5;
    // Whether a press may start a drag (the mouse code asks; see DoBeforeDrag).
    bool PressMayDrag(PVastNode node, TColumnIndex column, bool rowHit);
    // The pointer moved with a drag armed: starts it once past the threshold.
    bool PendingDragMoved(int x, int y);
    // The class library's handling of a left press, without its own automatic drag when
    // the tree drags through OLE.
    void PassPressToControl(platform::TMessage& message);
    // A deleted node leaves the drag selection.
    void ForgetDraggedNode(PVastNode node);
    // Registers or revokes the window's drop target as toAcceptOLEDrop says.
    void UpdateDropTargetRegistration(bool windowExists);
    // An OLE drag is over the tree now.
    bool IsOLEDropTarget() const;
    // Drags of the class library (CM_DRAG) over the tree; the end of such a drag.
    void CMDrag(platform::TMessage& message);
    void DoStartDrag(platform::TDragObject*& dragObject) override;
    void DoEndDrag(platform::TObject* target, int x, int y) override;
    void DragCanceled() override;
    // The drag image of the tree whose drag is over this one (null for other sources).
    TVTDragImage* SourceDragImage(platform::TObject* source) const;
    std::unique_ptr<TVTDragImage> dragImage_;
    PVastNode lastVCLDropTarget_ = nullptr;
    platform::DWORD lastVCLDragEffect_ = 0;
    platform::TShiftState DragShiftState(platform::DWORD keyState) const;
    // Reads the nodes after the marker as last children of parent.
    void ReadStreamNodes(platform::TStream& stream, int version, PVastNode parent);
    // Brings counts, heights, flags and the selection of a freshly read subtree in line.
    void SettleReadSubtree(PVastNode node, std::uint32_t oldTotalCount, std::uint32_t oldContribution,
                           std::uint32_t oldShown);
    void SortChildren(PVastNode node, TColumnIndex column, TSortDirection direction);
    // Reads one node chunk into a new node that is linked nowhere (copies between trees).
    PVastNode ReadDetachedNode(platform::TStream& stream);
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
    // The change timers this tree started and has not stopped (a bit per timer id), so that
    // the many changes of an update bracket do not each ask the window system to stop one.
    unsigned runningChangeTimers_ = 0;

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
    std::uint32_t checkPropagationCount_ = 0;

    bool CollectSelectedNodes(int textLeft, int textRight, bool rightToLeft, platform::TAlignment alignment,
                              platform::TRect oldRect, platform::TRect newRect);
    platform::TRect oldSelectionRect_{};
    platform::TRect newSelectionRect_{};
    platform::TShiftState drawSelShiftState_ = 0;

    std::vector<TCacheEntry> positionCache_;
    // Every kPositionIndexSpacing-th visible node, built and used with the cache: a
    // lookup by position walks a few rows from its entry instead of a thousand.
    std::vector<TCacheEntry> positionIndex_;
    int offsetY_ = 0;
    int offsetX_ = 0;
    std::uint32_t bottomSpace_ = 0;
    platform::TAlignment alignment_ = platform::taLeftJustify;
    platform::TCustomImageList* images_ = nullptr;
    TVTLineMode lineMode_ = lmNormal;
    int backgroundOffsetX_ = 0, backgroundOffsetY_ = 0;
    TDropMode lastDropMode_ = dmNowhere;
    PVastNode checkNode_ = nullptr;
    TVTIncrementalSearch incrementalSearch_ = isNone;
    TVTSearchDirection searchDirection_ = sdForward;
    TVTSearchStart searchStart_ = ssFocusedNode;
    bool wantTabs_ = false;
    std::string searchBuffer_;
    PVastNode lastSearchNode_ = nullptr;
    TCheckState pendingCheckState_ = csUncheckedNormal;
    platform::TPoint lastClickPos_{};
    TColumnIndex headerClickIndex_ = NoColumn;
    bool UseBackgroundPicture() const;
    platform::TCustomImageList* stateImages_ = nullptr;
    void InternalSetNodeHeight(PVastNode node, std::uint16_t value);
    // Shared with the worker thread.
    std::atomic<bool> stopValidation_{false};
    std::atomic<bool> workerBusy_{false};
    // Tree thread only: nesting of the worker's state messages being handled, whether a
    // handler stopped the rebuild meanwhile, and whether a rebuild request is queued.
    int workerMessageDepth_ = 0;
    bool interruptedInMessage_ = false;
    bool revalidatePosted_ = false;
    // Every change passes InterruptValidation, which checks it runs on this thread.
    TTreeThread thread_;


    // What the tree makes for itself, owned so that a constructor that throws midway
    // frees what it made. Destroyed in reverse order: the header first (its columns
    // still reach the options), the message target last.
    struct NodeFree {
        void operator()(TVastNode* node) const;
    };
    struct MessageTargetFree {
        void operator()(platform::HWND handle) const;
    };
    struct BrushFree {
        void operator()(platform::HBRUSH brush) const;
    };
    // Every node but the root; declared first so that it goes last.
    TNodePool nodePool_;
    std::unique_ptr<std::remove_pointer_t<platform::HWND>, MessageTargetFree> msgTarget_;
    platform::HWND msgHandle_ = nullptr;
    std::unique_ptr<TVastNode, NodeFree> rootStore_;
    std::unique_ptr<TVTColors> colors_;
    std::unique_ptr<TScrollBarOptions> scrollBarOptions_;
    std::unique_ptr<TCustomVastTreeOptions> options_;
    std::unique_ptr<platform::TBitmap> plusBM_;
    std::unique_ptr<platform::TBitmap> minusBM_;
    std::unique_ptr<std::remove_pointer_t<platform::HBRUSH>, BrushFree> dottedBrush_;
    std::unique_ptr<platform::TPicture> background_;
    std::unique_ptr<TVTHeader> header_;

    platform::TBorderStyle borderStyle_ = platform::bsSingle;
    TVTEditLinkRef editLink_;
    TColumnIndex editColumn_ = NoColumn;
    // The node and column of an edit a click made pending (OnEditing already agreed).
    PVastNode pendingEditNode_ = nullptr;
    TColumnIndex pendingEditColumn_ = NoColumn;

    // Auto-scroll and wheel panning.
    TScrollDirections scrollDirections_ = 0;
    std::int64_t scrollStartTime_ = -1;  // -1: no edge met yet
    platform::HWND panningWindow_ = nullptr;
    std::unique_ptr<platform::TBitmap> panningImage_;
    platform::HCURSOR panningCursor_ = nullptr;
    // The scroll timer ran out (pending becomes running, then one step).
    void ScrollTimerExpired();
    // The window frame.
    platform::TBevelKind bevelKind_ = platform::bkNone;
    platform::TBevelCut bevelInner_ = platform::bvRaised;
    platform::TBevelCut bevelOuter_ = platform::bvLowered;
    platform::TBevelEdges bevelEdges_ = platform::beLeft | platform::beTop | platform::beRight | platform::beBottom;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    bool ctl3D_ = true;
    void FrameChanged();
    // The changes the tree reacts to: colours, font, enabling.
    bool HandleChangeMessage(platform::TMessage& message);
    static platform::LRESULT PanningWindowProc(platform::HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                                               platform::LPARAM lParam);
};

}  // namespace treeview
