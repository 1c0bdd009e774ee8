// Mouse handling: hit tests with their zones (mirrored for right-to-left), the press,
// release and double-click rules for selection, focus, expanding and check boxes, the
// rubber band, hot tracking and column clicks.
#include <algorithm>
#include <cstdlib>

#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"
#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

namespace {

TCheckState Pressed(TCheckState state) { return TCheckState(state | 1); }
TCheckState Unpressed(TCheckState state) { return TCheckState(state & ~1); }

TShiftState KeysShift(WPARAM keys) {
    TShiftState shift = 0;
    if (keys & MK_SHIFT) shift |= ssShift;
    if (keys & MK_CONTROL) shift |= ssCtrl;
    return shift;
}

}  // namespace

// ---- hit tests ----

void TBaseVastTree::GetHitTestInfoAt(int x, int y, bool relative, THitInfo& hitInfo) {
    hitInfo = THitInfo{};
    if (x < 0) hitInfo.Positions |= hiToLeft;
    if (x > std::max(ClientWidth(), RangeWidth())) hitInfo.Positions |= hiToRight;
    if (y < 0) hitInfo.Positions |= hiAbove;
    if (y > std::max(ClientHeight(), RangeHeight())) hitInfo.Positions |= hiBelow;
    if (relative) {
        if (x > header_->Columns()->GetVisibleFixedWidth()) x += HorzScrollPos();
        y -= offsetY_;
    }
    if (hitInfo.Positions) return;
    int top = 0;
    hitInfo.Node = GetNodeAt(x, y, false, top);
    if (!hitInfo.Node) {
        hitInfo.Positions |= hiNowhere;
        return;
    }
    InitIfNeeded(hitInfo.Node);
    int left = 0, right = 0;
    TVastTreeColumns* columns = header_->Columns();
    if (header_->GetUseColumns()) {
        hitInfo.Column = columns->GetColumnAndBounds(TPoint{x, y}, left, right, false);
        if (hitInfo.Column >= 0 && (TreeOptions()->AutoOptions() & toAutoSpanColumns)) {
            TColumnIndex first = hitInfo.Column;
            while (hitInfo.Column > NoColumn && ColumnIsEmpty(hitInfo.Node, hitInfo.Column)) {
                TColumnIndex previous = columns->GetPreviousVisibleColumn(hitInfo.Column);
                if (previous < 0) break;
                hitInfo.Column = previous;
                left -= columns->Items(previous)->Width();
            }
            for (TColumnIndex next = columns->GetNextVisibleColumn(first);
                 next >= 0 && ColumnIsEmpty(hitInfo.Node, next); next = columns->GetNextVisibleColumn(next))
                right += columns->Items(next)->Width();
        }
        x -= left;
        right -= left;
    } else {
        hitInfo.Column = NoColumn;
        right = std::max(ClientWidth(), RangeWidth());
    }
    if (hitInfo.Column == InvalidColumn) {
        hitInfo.Positions |= hiNowhere;
        return;
    }
    hitInfo.Positions = hiOnItem;
    TBiDiMode bidi = BiDiMode();
    TAlignment alignment = alignment_;
    if (hitInfo.Column >= 0) {
        bidi = columns->Items(hitInfo.Column)->BiDiMode();
        alignment = columns->Items(hitInfo.Column)->Alignment();
    }
    if (bidi != bdLeftToRight)
        DetermineHitPositionRTL(hitInfo, x, right, alignment);
    else
        DetermineHitPositionLTR(hitInfo, x, right, alignment);
}

void TBaseVastTree::DetermineHitPositionLTR(THitInfo& hitInfo, int offset, int right, TAlignment alignment) {
    PVastNode node = hitInfo.Node;
    bool mainColumn = hitInfo.Column == MainColumn();
    int indentation = 0;
    if (mainColumn) {
        for (PVastNode run = node->Parent; run != root_; run = run->Parent) indentation += indent_;
        if (TreeOptions()->PaintOptions() & toShowRoot) indentation += indent_;
    }
    if (offset < indentation) {
        if ((TreeOptions()->PaintOptions() & toShowButtons) && (node->States & vsHasChildren) &&
            offset >= indentation - indent_)
            hitInfo.Positions |= hiOnItemButton;
        return;
    }
    if (!mainColumn && (TreeOptions()->MiscOptions() & toReportMode)) return;
    int p = indentation + margin_;
    if (mainColumn) {
        bool box = (TreeOptions()->MiscOptions() & toCheckSupport) && CheckImages() && node->CheckType != ctNone;
        if (box) p += CheckImages()->Width() + 2;
        if (offset < p) {
            if (box) hitInfo.Positions |= hiOnItemCheckbox;
            return;
        }
    }
    if (stateImages_ && HasImage(node, ikState, hitInfo.Column)) {
        p += stateImages_->Width() + 2;
        if (offset < p) {
            hitInfo.Positions |= hiOnStateIcon;
            return;
        }
    }
    if (images_ && HasImage(node, ikNormal, hitInfo.Column)) {
        p += images_->Width() + 2;
        if (offset < p) {
            hitInfo.Positions |= hiOnNormalIcon;
            return;
        }
    }
    int width = DoGetNodeWidth(node, hitInfo.Column, nullptr);
    if (right - p < width) {
        hitInfo.Positions |= hiOnItemLabel;
    } else if (alignment == taRightJustify) {
        hitInfo.Positions |= offset < right - width ? hiOnItemLeft : hiOnItemLabel;
    } else if (alignment == taCenter) {
        int start = (right + p - width) / 2;
        hitInfo.Positions |= offset < start ? hiOnItemLeft : offset < start + width ? hiOnItemLabel : hiOnItemRight;
    } else {
        hitInfo.Positions |= offset < p + width ? hiOnItemLabel : hiOnItemRight;
    }
}

void TBaseVastTree::DetermineHitPositionRTL(THitInfo& hitInfo, int offset, int right, TAlignment alignment) {
    PVastNode node = hitInfo.Node;
    bool mainColumn = hitInfo.Column == MainColumn();
    int indentation = 0;
    if (mainColumn) {
        for (PVastNode run = node->Parent; run != root_; run = run->Parent) indentation += indent_;
        if (TreeOptions()->PaintOptions() & toShowRoot) indentation += indent_;
    }
    int edge = right - indentation;
    if (offset >= edge) {
        if ((TreeOptions()->PaintOptions() & toShowButtons) && (node->States & vsHasChildren) &&
            offset <= edge + indent_)
            hitInfo.Positions |= hiOnItemButton;
        return;
    }
    if (!mainColumn && (TreeOptions()->MiscOptions() & toReportMode)) return;
    edge -= margin_;
    if (mainColumn) {
        bool box = (TreeOptions()->MiscOptions() & toCheckSupport) && CheckImages() && node->CheckType != ctNone;
        if (box) edge -= CheckImages()->Width() + 2;
        if (offset >= edge) {
            if (box) hitInfo.Positions |= hiOnItemCheckbox;
            return;
        }
    }
    if (stateImages_ && HasImage(node, ikState, hitInfo.Column)) {
        edge -= stateImages_->Width() + 2;
        if (offset >= edge) {
            hitInfo.Positions |= hiOnStateIcon;
            return;
        }
    }
    if (images_ && HasImage(node, ikNormal, hitInfo.Column)) {
        edge -= images_->Width() + 2;
        if (offset >= edge) {
            hitInfo.Positions |= hiOnNormalIcon;
            return;
        }
    }
    int width = DoGetNodeWidth(node, hitInfo.Column, nullptr);
    if (edge < width) {
        hitInfo.Positions |= hiOnItemLabel;
        return;
    }
    // The alignment is mirrored for right-to-left reading.
    if (alignment == taLeftJustify)
        alignment = taRightJustify;
    else if (alignment == taRightJustify)
        alignment = taLeftJustify;
    if (alignment == taRightJustify) {
        hitInfo.Positions |= offset < edge - width ? hiOnItemLeft : hiOnItemLabel;
    } else if (alignment == taCenter) {
        int start = (edge - width) / 2;
        hitInfo.Positions |= offset < start ? hiOnItemLeft : offset < start + width ? hiOnItemLabel : hiOnItemRight;
    } else {
        hitInfo.Positions |= offset > width ? hiOnItemRight : hiOnItemLabel;
    }
}

// ---- press, release, double-click ----

void TBaseVastTree::HandleMouseDown(TMouseButton, WPARAM keys, int x, int y, const THitInfo& hitInfo) {
    TVTSelectionOptions selection = TreeOptions()->SelectionOptions();
    TVTMiscOptions misc = TreeOptions()->MiscOptions();
    // A press while panning only ends the panning.
    if (IsPanning()) {
        StopWheelPanning();
        return;
    }
    if (states_ & tsEditPending) {
        StopTimer(EditTimer);
        DoStateChange(0, tsEditPending);
        pendingEditNode_ = nullptr;
    }
    // A running edit ends first; a refused end stops the press here.
    if ((states_ & tsEditing) && !DoEndEdit()) return;
    if (!Focused() && CanFocus()) SetFocus();
    headerClickIndex_ = hitInfo.Column;

    bool onLabel = hitInfo.Positions & hiOnItemLabel;
    bool columnChanges = false;
    TColumnIndex targetColumn = focusedColumn_;
    if (onLabel || (selection & toFullRowSelect) || (misc & toGridExtensions)) {
        columnChanges = hitInfo.Column != focusedColumn_;
        targetColumn = (selection & toExtendedFocus)
                           ? hitInfo.Column
                           : MainColumn();
        if (targetColumn == focusedColumn_) columnChanges = false;
        if (columnChanges && header_->GetUseColumns() && !header_->AllowFocus(targetColumn)) {
            columnChanges = false;
            targetColumn = focusedColumn_;
        }
    }
    PVastNode node = hitInfo.Node;
    bool nodeChanges = node != focusedNode_;
    TShiftState shift = 0;
    if (keys & MK_SHIFT) shift |= ssShift;
    if (keys & MK_CONTROL) shift |= ssCtrl;
    bool withAlt = GetKeyState(VK_MENU) < 0;

    bool textHit = !withAlt && (hitInfo.Positions & (hiOnItemLabel | hiOnNormalIcon));
    bool rowHit = !withAlt && !textHit && node && !(hitInfo.Positions & (hiOnItemButton | hiOnItemCheckbox)) &&
                  ((selection & toFullRowSelect) || (misc & toGridExtensions));
    bool itemHit = textHit || rowHit;
    bool multiSelect = selection & toMultiSelect;
    bool noShift = shift == 0;
    bool hitSelected = itemHit && (node->States & vsSelected);
    bool fullRowDrag = misc & toFullRowDrag;
    const bool dragAllowed = PressMayDrag(node, targetColumn, rowHit);

    if (node && (hitInfo.Positions & hiOnItemButton) && (node->States & vsHasChildren)) {
        ToggleNode(node);
        return;
    }
    if (node && (hitInfo.Positions & hiOnItemCheckbox)) {
        if (!(states_ & (tsMouseCheckPending | tsKeyCheckPending)) && !(node->States & vsDisabled)) {
            TCheckState next = DetermineNextCheckState(node->CheckType, node->CheckState);
            if (DoChecking(node, next)) {
                DoStateChange(tsMouseCheckPending);
                checkNode_ = node;
                pendingCheckState_ = next;
                node->CheckState = Pressed(node->CheckState);
                InvalidateNode(node);
            }
        }
        return;
    }
    if ((root_->ChildCount > 0 && noShift) || selectedCount_ == 0) {
        PVastNode levelNode = node ? node : GetLastVisible();
        if (levelNode) lastSelectionLevel_ = std::int32_t(GetNodeLevel(levelNode));
    }
    if (multiSelect && noShift && itemHit && dragAllowed && hitSelected) DoStateChange(tsClearPending);
    bool clearNow = !dragAllowed;
    if (((!(itemHit || fullRowDrag)) && multiSelect && noShift) ||
        (itemHit && (!hitSelected || clearNow) && (noShift || !multiSelect))) {
        Require(!(states_ & tsClearPending), "Pending and direct clearance are mutual exclusive!");
        if (hitSelected || (withAlt && node && hitInfo.Column == MainColumn())) {
            bool several = selectedCount_ > 1;
            InternalClearSelection();
            InternalAddToSelection(node, true);
            if (several) {
                InvalidateTree();
                Change(nullptr);
            }
        } else {
            ClearSelection();
        }
    }
    if (Focused() && (onLabel || ((misc & toGridExtensions) && itemHit)) && hitSelected && !columnChanges && noShift)
        DoStateChange(tsEditPending);
    if (!(TreeOptions()->SelectionOptions() & toDisableDrawSelection) && !textHit && !fullRowDrag && multiSelect) {
        if (HandleAllocated()) SetCapture(Handle());
        BeginDrawSelection(x, y, shift);
        if (!rowHit) return;
    }
    lastClickPos_ = TPoint{x, y};
    if (itemHit && DoFocusChanging(focusedNode_, node, focusedColumn_, targetColumn)) {
        if (columnChanges) {
            InvalidateColumn(focusedColumn_);
            InvalidateColumn(targetColumn);
            focusedColumn_ = targetColumn;
        }
        PVastNode oldFocused = focusedNode_;
        if (nodeChanges) DoFocusNode(node, false);
        if (multiSelect && !noShift) {
            HandleClickSelection(oldFocused, node, shift, dragAllowed);
        } else {
            if (noShift) rangeAnchor_ = node;
            if (!(node->States & vsSelected)) AddToSelection(node);
        }
        if (nodeChanges || columnChanges) {
            ScrollIntoView(focusedNode_, selection & toCenterScrollIntoView,
                           !(TreeOptions()->AutoOptions() & toDisableAutoscrollOnFocus));
            DoFocusChange(focusedNode_, focusedColumn_);
        }
    }
    if (dragAllowed && itemHit && (states_ & (tsLeftButtonDown | tsMiddleButtonDown | tsRightButtonDown)))
        BeginDrag(false);
}

void TBaseVastTree::HandleMouseUp(WPARAM keys, const THitInfo& hitInfo) {
    ReleaseCapture();
    if (IsMouseSelecting()) {
        EndDrawSelection();
        DoStateChange(0, tsToggleFocusedSelection);
        InvalidateTree();
    }
    if (states_ & tsClearPending) {
        bool focusedSelected = focusedNode_ && (focusedNode_->States & vsSelected);
        ClearSelection();
        if (focusedSelected) AddToSelection(focusedNode_);
    }
    if ((states_ & tsToggleFocusedSelection) && hitInfo.Node == focusedNode_ && focusedNode_) {
        if (focusedNode_->States & vsSelected)
            RemoveFromSelection(focusedNode_);
        else
            AddToSelection(focusedNode_);
        InvalidateNode(focusedNode_);
    }
    DoStateChange(0, tsOLEDragPending | tsOLEDragging | tsClearPending | tsDrawSelPending |
                         tsToggleFocusedSelection | tsScrollPending | tsScrolling);
    StopTimer(ScrollTimer);
    if (states_ & tsMouseCheckPending) {
        DoStateChange(0, tsMouseCheckPending);
        PVastNode node = checkNode_;
        checkNode_ = nullptr;
        if (node) {
            node->CheckState = Unpressed(node->CheckState);
            // A press counts only when released over the same node.
            if (hitInfo.Node == node && (hitInfo.Positions & hiOnItem)) DoCheckClick(node, pendingCheckState_);
            InvalidateNode(node);
        }
    }
    TShiftState shift = KeysShift(keys);
    if (headerClickIndex_ >= 0 && headerClickIndex_ == hitInfo.Column) DoColumnClick(hitInfo.Column, shift);
    if (states_ & tsEditPending) {
        // OnEditing is asked here, once: the program's EditNode for the same cell (from
        // its OnClick) starts this edit without asking again.
        if (focusedNode_ && hitInfo.Node == focusedNode_ && (hitInfo.Positions & hiOnItem) &&
            CanEdit(focusedNode_, hitInfo.Column)) {
            editColumn_ = focusedColumn_;
            pendingEditNode_ = focusedNode_;
            pendingEditColumn_ = focusedColumn_;
            StartEditTimer();
        } else {
            DoStateChange(0, tsEditPending);
            pendingEditNode_ = nullptr;
        }
    }
}

void TBaseVastTree::HandleMouseDblClick(WPARAM keys, const THitInfo& hitInfo) {
    if (states_ & tsEditPending) {
        StopTimer(EditTimer);
        DoStateChange(0, tsEditPending);
        pendingEditNode_ = nullptr;
    }
    if ((states_ & tsEditing) && !DoEndEdit()) return;
    TShiftState shift = KeysShift(keys);
    if (hitInfo.Column == headerClickIndex_) DoColumnDblClick(hitInfo.Column, shift);
    PVastNode node = hitInfo.Node;
    if (!node) return;
    if (hitInfo.Positions & hiOnItemCheckbox) {
        if (!(states_ & (tsMouseCheckPending | tsKeyCheckPending)) && !(node->States & vsDisabled)) {
            TCheckState next = DetermineNextCheckState(node->CheckType, node->CheckState);
            if (DoChecking(node, next)) {
                DoStateChange(tsMouseCheckPending);
                checkNode_ = node;
                pendingCheckState_ = next;
                node->CheckState = Pressed(node->CheckState);
                InvalidateNode(node);
            }
        }
    } else if (hitInfo.Positions & hiOnItemButton) {
        ToggleNode(node);
    } else if (TreeOptions()->MiscOptions() & toToggleOnDblClick) {
        if ((hitInfo.Positions & (hiOnItemButton | hiOnItemLabel | hiOnNormalIcon | hiOnStateIcon)) ||
            (TreeOptions()->SelectionOptions() & toFullRowSelect))
            ToggleNode(node);
    }
}

// ---- moving, hot tracking, columns ----

void TBaseVastTree::MouseMove(TShiftState shift, int x, int y) {
    if (states_ & tsDrawSelPending) {
        if (CalculateSelectionRect(x, y)) InvalidateTree();
        TRect band = SelectionRect();
        if (std::abs(band.right - band.left) > Mouse->DragThreshold() ||
            std::abs(band.bottom - band.top) > Mouse->DragThreshold()) {
            if (states_ & tsClearPending) {
                DoStateChange(0, tsClearPending);
                ClearSelection();
            }
            DoStateChange(tsDrawSelecting, tsDrawSelPending);
            focusedColumn_ = MainColumn();
            if (HandleDrawSelection(x, y)) InvalidateTree();
        }
        return;
    }
    if (PendingDragMoved(x, y)) return;
    if ((states_ & (tsWheelPanning | tsWheelScrolling)) == (tsWheelPanning | tsWheelScrolling) &&
        (std::abs(x - lastClickPos_.x) >= Mouse->DragThreshold() ||
         std::abs(y - lastClickPos_.y) >= Mouse->DragThreshold()))
        DoStateChange(0, tsWheelScrolling);  // the held middle button pans from now on
    if (CanAutoScroll()) DoAutoScroll(x, y);
    if (IsPanning()) AdjustPanningCursor(x, y);
    if (!IsMouseSelecting()) {
        HandleHotTrack(x, y);
        TCustomControl::MouseMove(shift, x, y);
        return;
    }
    if (!(states_ & tsScrolling) && CalculateSelectionRect(x, y)) {
        HandleDrawSelection(x, y);
        InvalidateTree();
    }
}

void TBaseVastTree::HandleHotTrack(int x, int y) {
    THitInfo hit;
    GetHitTestInfoAt(x, y, true, hit);
    PVastNode hot = nullptr;
    if (hit.Node && ((hit.Positions & (hiOnItemLabel | hiOnItemCheckbox)) ||
                     (TreeOptions()->SelectionOptions() & toFullRowSelect)))
        hot = hit.Node;
    if (hot == hotNode_) return;
    PVastNode old = hotNode_;
    DoHotChange(old, hot);
    hotNode_ = hot;
    if ((TreeOptions()->PaintOptions() & toHotTrack) || (TreeOptions()->MiscOptions() & toCheckSupport)) {
        if (old) InvalidateNode(old);
        if (hot) InvalidateNode(hot);
    }
}

void TBaseVastTree::DoHotChange(PVastNode oldNode, PVastNode newNode) {
    if (OnHotChange) OnHotChange(this, oldNode, newNode);
}

void TBaseVastTree::DoColumnClick(TColumnIndex column, TShiftState shift) {
    if (OnColumnClick) OnColumnClick(this, column, shift);
}

void TBaseVastTree::DoColumnDblClick(TColumnIndex column, TShiftState shift) {
    if (OnColumnDblClick) OnColumnDblClick(this, column, shift);
}

// ---- the button messages ----

bool TBaseVastTree::HandleMouseMessage(TMessage& message) {
    if (message.Msg < WM_MOUSEMOVE || message.Msg > WM_MBUTTONDBLCLK || !options_ || !header_ ||
        (ComponentState() & csDestroying))
        return false;
    auto hit = [&](THitInfo& info) { GetHitTestInfoAt(message.XPos(), message.YPos(), true, info); };
    THitInfo info;
    TVTSelectionOptions selection = TreeOptions()->SelectionOptions();
    switch (message.Msg) {
        case WM_LBUTTONDOWN:
            DoStateChange(tsLeftButtonDown);
            PassPressToControl(message);
            hit(info);
            HandleMouseDown(mbLeft, message.WParam, message.XPos(), message.YPos(), info);
            return true;
        case WM_LBUTTONUP:
            DoStateChange(0, tsLeftButtonDown);
            hit(info);
            HandleMouseUp(message.WParam, info);
            TCustomControl::WndProc(message);
            return true;
        case WM_LBUTTONDBLCLK:
            DoStateChange(tsLeftDblClick);
            TCustomControl::WndProc(message);
            hit(info);
            HandleMouseDblClick(message.WParam, info);
            DoStateChange(0, tsLeftDblClick);
            return true;
        case WM_RBUTTONDOWN:
            DoStateChange(tsRightButtonDown);
            StopWheelPanning();
            TCustomControl::WndProc(message);
            if (selection & toRightClickSelect) {
                hit(info);
                HandleMouseDown(mbRight, message.WParam, message.XPos(), message.YPos(), info);
            }
            return true;
        case WM_RBUTTONUP:
            DoStateChange(0, tsRightButtonDown | tsPopupMenuShown);
            if (IsMouseSelecting() && PopupMenu()) {
                DoStateChange(0, tsDrawSelPending | tsDrawSelecting);
                InvalidateTree();
            }
            TCustomControl::WndProc(message);
            hit(info);
            if (selection & toRightClickSelect) HandleMouseUp(message.WParam, info);
            if (!PopupMenu()) DoPopupMenu(info.Node, info.Column, TPoint{message.XPos(), message.YPos()});
            return true;
        case WM_MBUTTONDOWN:
            DoStateChange(tsMiddleButtonDown);
            if (header_->States() & (hsDragging | hsDragPending | hsTracking | hsTrackPending)) return true;
            TCustomControl::WndProc(message);
            if ((TreeOptions()->MiscOptions() & toWheelPanning) && !IsPanning() &&
                (ClientWidth() < RangeWidth() || ClientHeight() < RangeHeight())) {
                lastClickPos_ = TPoint{message.XPos(), message.YPos()};
                StartWheelPanning(lastClickPos_);
                return true;
            }
            StopWheelPanning();
            if (selection & toMiddleClickSelect) {
                hit(info);
                HandleMouseDown(mbMiddle, message.WParam, message.XPos(), message.YPos(), info);
            }
            return true;
        case WM_MBUTTONUP:
            DoStateChange(0, tsMiddleButtonDown);
            if (IsPanning()) {
                // A click keeps scrolling with the mouse until the next click; after a
                // drag with the button held, the release ends it.
                if (states_ & tsWheelScrolling)
                    DoStateChange(0, tsWheelPanning);
                else
                    StopWheelPanning();
                return true;
            }
            if (header_->States() & (hsDragging | hsDragPending | hsTracking | hsTrackPending)) return true;
            TCustomControl::WndProc(message);
            if (selection & toMiddleClickSelect) {
                hit(info);
                HandleMouseUp(message.WParam, info);
            }
            return true;
        default:
            return false;
    }
}

}  // namespace treeview
