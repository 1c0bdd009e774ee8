#pragma once
// The tree view's basic types: the node record, node and tree state sets, attach modes,
// change reasons, check types and states, and the update states of the brackets.
//
// Sets are bit masks: the member with ordinal n is bit n, so a set fits the width the
// record gives it and tests read like the member lists (node->States & vsSelected).
#include <cstdint>

namespace treeview {

// Node states (16-bit set).
enum TVastNodeState : std::uint16_t {
    vsInitialized = 1u << 0,
    vsChecking = 1u << 1,
    vsCutOrCopy = 1u << 2,
    vsDisabled = 1u << 3,
    vsDeleting = 1u << 4,
    vsExpanded = 1u << 5,
    vsHasChildren = 1u << 6,
    vsVisible = 1u << 7,
    vsSelected = 1u << 8,
    vsInitialUserData = 1u << 9,
    vsAllChildrenHidden = 1u << 10,
    vsClearing = 1u << 11,
    vsMultiline = 1u << 12,
    vsHeightMeasured = 1u << 13,
    vsToggling = 1u << 14,
};
using TVastNodeStates = std::uint16_t;

// Initial states handed to OnInitNode.
enum TVastNodeInitState : std::uint8_t {
    ivsDisabled = 1u << 0,
    ivsExpanded = 1u << 1,
    ivsHasChildren = 1u << 2,
    ivsMultiline = 1u << 3,
    ivsSelected = 1u << 4,
};
using TVastNodeInitStates = std::uint8_t;

enum TVTNodeAttachMode { amNoWhere, amInsertBefore, amInsertAfter, amAddChildFirst, amAddChildLast };

enum TChangeReason { crIgnore, crAccumulated, crChildAdded, crChildDeleted, crNodeAdded, crNodeCopied, crNodeMoved };

enum TCheckType : std::uint8_t { ctNone, ctTriStateCheckBox, ctCheckBox, ctRadioButton, ctButton };

enum TCheckState : std::uint8_t {
    csUncheckedNormal,
    csUncheckedPressed,
    csCheckedNormal,
    csCheckedPressed,
    csMixedNormal,
    csMixedPressed,
};

enum TCheckImageKind {
    ckLightCheck,
    ckDarkCheck,
    ckLightTick,
    ckDarkTick,
    ckFlat,
    ckXP,
    ckCustom,
    ckSystem,
    ckSystemFlat,
};

enum TVTNodeAlignment { naFromBottom, naFromTop, naProportional };
enum TVTDrawSelectionMode { smDottedRectangle, smBlendedRectangle };

enum TVTUpdateState { usBegin, usBeginSynch, usSynch, usUpdate, usEnd, usEndSynch };

// The node record. It is followed in the same allocation by the internal data areas
// and then the user data area; a node keeps its address for its whole life.
struct TVastNode {
    std::uint32_t Index;       // position among its siblings
    std::uint32_t ChildCount;  // children that exist
    std::uint16_t NodeHeight;
    TVastNodeStates States;
    std::uint8_t VerticalAlignment;
    TCheckState CheckState;
    TCheckType CheckType;
    std::uint8_t Dummy;        // keeps the record's layout explicit
    std::uint32_t TotalCount;  // nodes in the subtree, this one included
    std::uint32_t TotalHeight; // NodeHeight plus, when expanded, the visible children's
    TVastNode* Parent;
    TVastNode* PrevSibling;
    TVastNode* NextSibling;
    TVastNode* FirstChild;
    TVastNode* LastChild;
};
using PVastNode = TVastNode*;

// Tree states (52 members, 64-bit set).
enum TVastTreeState : std::uint64_t {
    tsCancelHintAnimation = 1ull << 0,
    tsChangePending = 1ull << 1,
    tsCheckPropagation = 1ull << 2,
    tsCollapsing = 1ull << 3,
    tsToggleFocusedSelection = 1ull << 4,
    tsClearPending = 1ull << 5,
    tsClipboardFlushing = 1ull << 6,
    tsCopyPending = 1ull << 7,
    tsCutPending = 1ull << 8,
    tsDrawSelPending = 1ull << 9,
    tsDrawSelecting = 1ull << 10,
    tsEditing = 1ull << 11,
    tsEditPending = 1ull << 12,
    tsExpanding = 1ull << 13,
    tsHint = 1ull << 14,
    tsInAnimation = 1ull << 15,
    tsIncrementalSearching = 1ull << 16,
    tsIncrementalSearchPending = 1ull << 17,
    tsIterating = 1ull << 18,
    tsKeyCheckPending = 1ull << 19,
    tsLeftButtonDown = 1ull << 20,
    tsLeftDblClick = 1ull << 21,
    tsMouseCheckPending = 1ull << 22,
    tsMiddleButtonDown = 1ull << 23,
    tsMiddleDblClick = 1ull << 24,
    tsNeedScale = 1ull << 25,
    tsNeedRootCountUpdate = 1ull << 26,
    tsOLEDragging = 1ull << 27,
    tsOLEDragPending = 1ull << 28,
    tsPainting = 1ull << 29,
    tsRightButtonDown = 1ull << 30,
    tsRightDblClick = 1ull << 31,
    tsPopupMenuShown = 1ull << 32,
    tsScrolling = 1ull << 33,
    tsScrollPending = 1ull << 34,
    tsSizing = 1ull << 35,
    tsStopValidation = 1ull << 36,
    tsStructureChangePending = 1ull << 37,
    tsSynchMode = 1ull << 38,
    tsThumbTracking = 1ull << 39,
    tsUpdateHiddenChildrenNeeded = 1ull << 40,
    tsUpdating = 1ull << 41,
    tsUseCache = 1ull << 42,
    tsUserDragObject = 1ull << 43,
    tsUseThemes = 1ull << 44,
    tsValidating = 1ull << 45,
    tsValidationNeeded = 1ull << 46,
    tsVCLDragging = 1ull << 47,
    tsVCLDragPending = 1ull << 48,
    tsWheelPanning = 1ull << 49,
    tsWheelScrolling = 1ull << 50,
    tsWindowCreating = 1ull << 51,
};
using TVastTreeStates = std::uint64_t;

// Columns.
// What moving the content also refreshes (DoSetOffsetXY).
enum TScrollUpdateOption : unsigned {
    suoRepaintHeader = 1,
    suoRepaintScrollbars = 2,
    suoScrollClientArea = 4,
    suoUpdateNCArea = 8,
};
using TScrollUpdateOptions = unsigned;
constexpr TScrollUpdateOptions DefaultScrollUpdateFlags =
    suoRepaintHeader | suoRepaintScrollbars | suoScrollClientArea | suoUpdateNCArea;

using TColumnIndex = std::int32_t;
constexpr TColumnIndex NoColumn = -1;
constexpr TColumnIndex InvalidColumn = -2;

// Timer ids of a tree.
constexpr unsigned ExpandTimer = 1;
constexpr unsigned EditTimer = 2;
constexpr unsigned HeaderTimer = 3;
constexpr unsigned ScrollTimer = 4;
constexpr unsigned ChangeTimer = 5;
constexpr unsigned StructureChangeTimer = 6;
constexpr unsigned SearchTimer = 7;

}  // namespace treeview
