// The drop target side of drag and drop: the row under the pointer is highlighted, the
// tree scrolls at its edges and opens a hovered collapsed node after AutoExpandDelay, and
// a drop is taken only when OnDragOver accepts it (OnDragDrop then decides what happens).
// The platform's drag loop reaches the tree through its drag manager, registered with
// RegisterDragDrop while the window exists and toAcceptOLEDrop is set.
#include "treeview/vtdragdrop.h"

#include "platform/core/clock.h"
#include "treeview/vtclipboard.h"
#include "treeview/vtdragimage.h"
#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

// ---- the drag manager ----

HRESULT TVTDragManager::QueryInterface(REFIID riid, void** object) {
    if (object && riid == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    if (object && riid == IID_IDropSource) {
        *object = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    return TInterfacedObject::QueryInterface(riid, object);
}

HRESULT TVTDragManager::DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) {
    if (!owner_ || !effect) return E_UNEXPECTED;
    data_ = data;
    isDropTarget_ = true;
    dragSource_ = owner_->GetTreeFromDataObject(data);
    return owner_->DragEnter(keyState, TPoint{int(pt.x), int(pt.y)}, *effect);
}

HRESULT TVTDragManager::DragOver(DWORD keyState, POINTL pt, DWORD* effect) {
    if (!owner_ || !effect) return E_UNEXPECTED;
    return owner_->DragOver(dragSource_, keyState, dsDragMove, TPoint{int(pt.x), int(pt.y)}, *effect);
}

HRESULT TVTDragManager::DragLeave() {
    if (owner_) owner_->DragLeave();
    isDropTarget_ = false;
    dragSource_ = nullptr;
    data_.Reset();
    return S_OK;
}

HRESULT TVTDragManager::Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) {
    HRESULT result = E_UNEXPECTED;
    if (owner_ && effect) result = owner_->DragDrop(data, keyState, TPoint{int(pt.x), int(pt.y)}, *effect);
    isDropTarget_ = false;
    dragSource_ = nullptr;
    data_.Reset();
    return result;
}

HRESULT TVTDragManager::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
    if (escapePressed || ((keyState & MK_LBUTTON) && (keyState & MK_RBUTTON))) return DRAGDROP_S_CANCEL;
    if (keyState & (MK_LBUTTON | MK_RBUTTON)) return S_OK;
    return DRAGDROP_S_DROP;
}

HRESULT TVTDragManager::GiveFeedback(DWORD) {
    try {
        FollowOutside();
    } catch (...) {
        // The image is a nicety: the drag goes on without it.
    }
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

// A tree of this program moves the source's image while the drag is over it. Over another
// program's window (or the bare desktop) nothing would: there the source keeps its image
// under the pointer itself, and hides it again when the pointer comes back over a window
// of ours that no tree takes the drag on.
void TVTDragManager::FollowOutside() {
    TVTDragImage* image = owner_ && (owner_->TreeStates() & tsOLEDragging) ? owner_->DragImage() : nullptr;
    if (!image) return;
    POINT p;
    GetCursorPos(&p);
    HWND under = WindowFromPoint(p);
    if (!under) {
        image->ShowDragImage();
        image->DragTo(TPoint{p.x, p.y}, false);
        followingOutside_ = true;
        return;
    }
    if (!followingOutside_) return;
    followingOutside_ = false;
    auto* tree = dynamic_cast<TBaseVastTree*>(FindControl(under));
    const bool treeTakes = tree && (tree->TreeOptions()->MiscOptions() & toAcceptOLEDrop) &&
                           tree->GetDragManager()->IsDropTarget();
    if (!treeTakes) image->HideDragImage();
}

// ---- the tree ----

TVTDragManager* TBaseVastTree::GetDragManager() {
    if (!dragManager_) {
        dragManager_ = new TVTDragManager(this);
        dragManager_->AddRef();
    }
    return dragManager_;
}

void TBaseVastTree::UpdateDropTargetRegistration(bool windowExists) {
    if (!windowExists) {
        if (dragManager_) {
            RevokeDragDrop(WindowHandle());
            // The manager may outlive the tree in the platform's hands; it must not reach back.
            if (ComponentState() & csDestroying) {
                dragManager_->ForgetOwner();
                dragManager_->Release();
                dragManager_ = nullptr;
            }
        }
        return;
    }
    if (options_->MiscOptions() & toAcceptOLEDrop)
        RegisterDragDrop(WindowHandle(), GetDragManager());
    else if (dragManager_)
        RevokeDragDrop(WindowHandle());
}

TShiftState TBaseVastTree::DragShiftState(DWORD keyState) const {
    TShiftState shift = KeysToShiftState(keyState);
    if (keyState & MK_ALT) shift |= ssAlt;
    if (states_ & tsLeftButtonDown) shift |= ssLeft;
    if (states_ & tsMiddleButtonDown) shift |= ssMiddle;
    if (states_ & tsRightButtonDown) shift |= ssRight;
    return shift;
}

DWORD TBaseVastTree::SuggestDropEffect(TObject* source, TShiftState shift, TPoint, DWORD allowedEffects) {
    DWORD result = allowedEffects;
    DWORD preferred = source == this ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    if (allowedEffects & preferred) result = preferred;
    DWORD byKeys = DROPEFFECT_NONE;
    bool ctrl = shift & ssCtrl, shiftKey = shift & ssShift, alt = shift & ssAlt;
    if (ctrl && shiftKey)
        byKeys = DROPEFFECT_LINK;
    else if (ctrl)
        byKeys = DROPEFFECT_COPY;
    else if (shiftKey)
        byKeys = DROPEFFECT_MOVE;
    else if (alt)
        byKeys = DROPEFFECT_LINK;
    if (byKeys && (allowedEffects & byKeys)) result = byKeys;
    return result;
}

bool TBaseVastTree::DoDragOver(TObject* source, TShiftState shift, TDragState state, TPoint pt, TDropMode mode,
                               DWORD& effect) {
    bool accept = false;
    if (OnDragOver) OnDragOver(this, source, shift, state, pt, mode, effect, accept);
    return accept;
}

void TBaseVastTree::DoDragDrop(TObject* source, IDataObject* dataObject, const std::vector<CLIPFORMAT>& formats,
                               TShiftState shift, TPoint pt, DWORD& effect, TDropMode mode) {
    if (OnDragDrop) OnDragDrop(this, source, dataObject, formats, shift, pt, effect, mode);
}

HRESULT TBaseVastTree::DragEnter(DWORD keyState, TPoint pt, DWORD& effect) {
    try {
        scrollStartTime_ = -1;  // the delay before scrolling counts from this drag on
        TShiftState shift = DragShiftState(keyState);
        pt = ScreenToClient(pt);
        TBaseVastTree* source = dragManager_ ? dragManager_->DragSource() : nullptr;
        effect = SuggestDropEffect(source, shift, pt, effect);
        if (DoDragOver(source, shift, dsDragEnter, pt, lastDropMode_, effect)) {
            THitInfo hit;
            GetHitTestInfoAt(pt.x, pt.y, true, hit);
            if (hit.Node) {
                // Shown at once: the next DragOver at the same place sees no change to paint.
                if (dropTargetNode_ && dropTargetNode_ != hit.Node) InvalidateNode(dropTargetNode_);
                dropTargetNode_ = hit.Node;
                InvalidateNode(hit.Node);
                TRect r = GetDisplayRect(hit.Node, MainColumn(), false);
                if (hit.Positions & hiOnItemLabel)
                    lastDropMode_ = dmOnNode;
                else
                    lastDropMode_ = pt.y < (r.top + r.bottom) / 2 ? dmAbove : dmBelow;
            } else {
                lastDropMode_ = dmNowhere;
            }
        } else {
            effect = DROPEFFECT_NONE;
        }
        if (TVTDragImage* image = SourceDragImage(source)) image->ShowDragImage();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

bool TBaseVastTree::IsOLEDropTarget() const { return dragManager_ && dragManager_->IsDropTarget(); }

HRESULT TBaseVastTree::DragOver(TObject* source, DWORD keyState, TDragState dragState, TPoint pt, DWORD& effect) {
    try {
        // With a tree of this process as the source its image may lie over this tree: the
        // tree then repaints around it itself, also after scrolling.
        TVTDragImage* image = SourceDragImage(source);
        auto* sourceTree = image ? static_cast<TBaseVastTree*>(source) : nullptr;
        const TScrollUpdateOptions scrollOptions = image ? TScrollUpdateOptions(suoUpdateNCArea) : DefaultScrollUpdateFlags;
        const TPoint screenPoint = pt;
        pt = ScreenToClient(pt);
        TScrollDirections directions = DetermineScrollDirections(pt.x, pt.y);
        int deltaX = 0, deltaY = 0;
        if (directions & sdUp) deltaY = std::min(scrollBarOptions_->VerticalIncrement(), ClientHeight());
        if (directions & sdDown) deltaY = -std::min(scrollBarOptions_->VerticalIncrement(), ClientHeight());
        if (directions & sdLeft) deltaX = scrollBarOptions_->HorizontalIncrement();
        if (directions & sdRight) deltaX = -scrollBarOptions_->HorizontalIncrement();
        bool scrolled = false;
        if (deltaX || deltaY) scrolled = DoSetOffsetXY(TPoint{offsetX_ + deltaX, offsetY_ + deltaY}, scrollOptions);

        TShiftState shift = DragShiftState(keyState);
        THitInfo hit;
        GetHitTestInfoAt(pt.x, pt.y, true, hit);
        bool imageHit = hit.Positions & (hiOnNormalIcon | hiOnStateIcon);
        bool labelHit = hit.Positions & hiOnItemLabel;
        PVastNode node = hit.Node;
        if (node && (options_->MiscOptions() & toReportMode) && !((labelHit || imageHit) && hit.Column == MainColumn()))
            node = nullptr;
        TDropMode mode = dmNowhere;
        TRect row{};
        if (node) {
            row = GetDisplayRect(node, NoColumn, false);
            if (!labelHit && !imageHit && (options_->PaintOptions() & toShowDropmark))
                mode = pt.y < (row.top + row.bottom) / 2 ? dmAbove : dmBelow;
            else
                mode = dmOnNode;
        }
        const bool imageWillMove = image && image->WillMove(screenPoint);
        // Repaints r: through the source's image when there is one, else by invalidating.
        auto repaint = [&](TRect r, bool frame) {
            if (sourceTree)
                UpdateWindowAndDragImage(sourceTree, r, frame, !imageWillMove);
            else
                InvalidateRect(Handle(), &r, FALSE);
        };
        if (node != dropTargetNode_ || mode != lastDropMode_) {
            lastDropMode_ = mode;
            if (node != dropTargetNode_) {
                StopTimer(ExpandTimer);
                PVastNode old = dropTargetNode_;
                dropTargetNode_ = node;
                if (focusedColumn_ < 0) focusedColumn_ = MainColumn();
                if (sourceTree && scrolled) {
                    repaint(ClientRect(), true);
                } else {
                    TRect area = old ? GetDisplayRect(old, NoColumn, false) : row;
                    if (old && node) UnionRect(&area, &area, &row);
                    if (old || node) repaint(area, false);
                }
                if (node && (options_->AutoOptions() & toAutoDropExpand) && (node->States & vsHasChildren))
                    SetTimer(msgHandle_, ExpandTimer, autoExpandDelay_);
            } else if (sourceTree && scrolled) {
                repaint(ClientRect(), true);
            } else {
                repaint(row, false);
            }
        } else if (sourceTree && (deltaX || deltaY)) {
            UpdateWindowAndDragImage(sourceTree, ClientRect(), scrolled, !imageWillMove);
        }
        if (HandleAllocated()) UpdateWindow(Handle());
        if (imageWillMove) image->DragTo(screenPoint, false);
        effect = SuggestDropEffect(source, shift, pt, effect);
        if (!DoDragOver(source, shift, dragState, pt, lastDropMode_, effect)) effect = DROPEFFECT_NONE;
        if (scrolled) effect |= DROPEFFECT_SCROLL;
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

void TBaseVastTree::DragLeave() {
    StopTimer(ExpandTimer);
    if (TVTDragImage* image = SourceDragImage(dragManager_ ? dragManager_->DragSource() : nullptr))
        image->HideDragImage();
    if (dropTargetNode_) InvalidateNode(dropTargetNode_);
    dropTargetNode_ = nullptr;
    if (HandleAllocated()) UpdateWindow(Handle());
    DWORD effect = 0;
    DoDragOver(nullptr, 0, dsDragLeave, TPoint{0, 0}, lastDropMode_, effect);
}

HRESULT TBaseVastTree::DragDrop(IDataObject* dataObject, DWORD keyState, TPoint pt, DWORD& effect) {
    StopTimer(ExpandTimer);
    StopTimer(ScrollTimer);
    DoStateChange(0, tsScrollPending | tsScrolling);
    HRESULT result;
    TBaseVastTree* source = dragManager_ ? dragManager_->DragSource() : nullptr;
    if (DragOver(source, keyState, dsDragMove, pt, effect) != S_OK || (effect & ~DROPEFFECT_SCROLL) == DROPEFFECT_NONE) {
        result = E_FAIL;
    } else {
        try {
            TShiftState shift = DragShiftState(keyState);
            TPoint client = ScreenToClient(pt);
            std::vector<CLIPFORMAT> formats;
            IEnumFORMATETC* raw = nullptr;
            if (!dataObject || dataObject->EnumFormatEtc(DATADIR_GET, &raw) != S_OK || !raw) throw EVastTreeError("");
            TComPtr<IEnumFORMATETC> enumerator = TComPtr<IEnumFORMATETC>::Attach(raw);
            if (enumerator->Reset() != S_OK) throw EVastTreeError("");
            FORMATETC one;
            while (enumerator->Next(1, &one, nullptr) == S_OK) formats.push_back(one.cfFormat);
            DoDragDrop(source, dataObject, formats, shift, client, effect, lastDropMode_);
            result = S_OK;
        } catch (...) {
            result = E_UNEXPECTED;
        }
    }
    if (dropTargetNode_) InvalidateNode(dropTargetNode_);
    dropTargetNode_ = nullptr;
    return result;
}

void TBaseVastTree::DoDragExpand() {
    StopTimer(ExpandTimer);
    PVastNode node = dropTargetNode_;
    if (node && (node->States & vsHasChildren) && !(node->States & vsExpanded)) {
        TVTDragImage* image = SourceDragImage(dragManager_ ? dragManager_->DragSource() : nullptr);
        if (image) image->HideDragImage();
        ToggleNode(node);
        if (HandleAllocated()) UpdateWindow(Handle());
        if (image) image->ShowDragImage();
    }
}

bool TBaseVastTree::ProcessDrop(IDataObject* dataObject, PVastNode targetNode, DWORD& effect,
                                TVTNodeAttachMode mode) {
    if (mode == amNoWhere) {
        effect = DROPEFFECT_NONE;
        return false;
    }
    TBaseVastTree* source = GetTreeFromDataObject(dataObject);
    bool result = false;
    BeginUpdate();
    if (source) source->BeginUpdate();
    try {
        if ((effect & DROPEFFECT_MOVE) && source) {
            result = ProcessOLEData(source, dataObject, targetNode, mode, !(effect & DROPEFFECT_COPY));
            effect = DROPEFFECT_NONE;
        } else if (effect & (DROPEFFECT_COPY | DROPEFFECT_MOVE)) {
            result = ProcessOLEData(source, dataObject, targetNode, mode, false);
        }
    } catch (...) {
        effect = DROPEFFECT_NONE;
    }
    if (source) source->EndUpdate();
    EndUpdate();
    return result;
}

}  // namespace treeview

// ---- the drag source ----

namespace treeview {

bool TBaseVastTree::Dragging() const {
    return (states_ & (tsOLEDragPending | tsOLEDragging)) || TCustomControl::Dragging();
}

bool TBaseVastTree::DoBeforeDrag(PVastNode node, TColumnIndex column) {
    bool allowed = false;
    if (OnDragAllowed) OnDragAllowed(this, node, column, allowed);
    return allowed;
}

bool TBaseVastTree::PressMayDrag(PVastNode node, TColumnIndex column, bool rowHit) {
     bool rowOk = !rowHit || (options_->MiscOptions() & toFullRowDrag);
    bool allowed = (DragMode() == dmAutomatic || Dragging()) && rowOk;
    if (node && !allowed && DragMode() == dmManual) allowed = DoBeforeDrag(node, column) && rowOk;
    return allowed;
}

void TBaseVastTree::BeginDrag(bool immediate, int threshold) {
    if (dragType_ == dtVCL) {
        DoStateChange(tsVCLDragPending);
        TCustomControl::BeginDrag(immediate, threshold);
        return;
    }
    if (states_ & (tsOLEDragPending | tsOLEDragging)) return;
    dragThreshold_ = threshold < 0 ? Mouse->DragThreshold() : threshold;
    if (immediate)
        DoDragging(lastClickPos_);
    else
        DoStateChange(tsOLEDragPending);
}

bool TBaseVastTree::PendingDragMoved(int x, int y) {
    if (!(states_ & tsOLEDragPending)) return false;
    if (std::abs(x - lastClickPos_.x) < dragThreshold_ && std::abs(y - lastClickPos_.y) < dragThreshold_)
        return false;
    DoDragging(lastClickPos_);
    return true;
}

void TBaseVastTree::DragAndDrop(DWORD allowedEffects, IDataObject* dataObject, DWORD& effect) {
    effect = DROPEFFECT_NONE;
    if (platform::DoDragDrop(dataObject, GetDragManager(), allowedEffects, &effect) != DRAGDROP_S_DROP)
        effect = DROPEFFECT_NONE;
}

void TBaseVastTree::DragFinished() {
    DoStateChange(0, tsVCLDragPending | tsVCLDragging | tsUserDragObject);
    if (!HandleAllocated()) return;
    TPoint p = ScreenToClient(Mouse->CursorPos());
    UINT msg = (states_ & tsRightButtonDown) ? WM_RBUTTONUP : (states_ & tsMiddleButtonDown) ? WM_MBUTTONUP : WM_LBUTTONUP;
    Perform(msg, 0, LPARAM((p.x & 0xFFFF) | ((p.y & 0xFFFF) << 16)));
}

void TBaseVastTree::DoDragging(TPoint) {
    DoCancelEdit(); 
    if (hotNode_) {
        InvalidateNode(hotNode_);
        hotNode_ = nullptr;
    }
    if (focusedNode_ && !(focusedNode_->States & vsSelected)) {
        InternalAddToSelection(focusedNode_, false);
        InvalidateNode(focusedNode_);
    }
    if (HandleAllocated()) UpdateWindow(Handle());
    dragSelection_ = GetSortedSelection(true);
    DoStateChange(tsOLEDragging, tsOLEDragPending | tsClearPending);
    // Whatever happens below, the drag is over afterwards.
    TScopeExit over([this] {
        if (dragImage_) dragImage_->EndDrag();
        DoStateChange(0, tsOLEDragging);
        dragSelection_.clear();
    });
    {
        TDragObject* dragObject = nullptr;
        DoStartDrag(dragObject);
        delete dragObject;  // only its presence counts
    }
    TComPtr<IDataObject> data;
    if (dragManager_ && dragManager_->DataObject()) data = dragManager_->DataObject();
    if (!data) data = TComPtr<IDataObject>::Attach(DoCreateDataObject());
    if (!data) data = TComPtr<IDataObject>(new TVTDataObject(this, false));
    PrepareDragImage(lastClickPos_, data.Get());
    lastDropMode_ = dmOnNode;

    DWORD allowed = 0;
    if (dragOperations_ & doCopy) allowed |= DROPEFFECT_COPY;
    if (dragOperations_ & doMove) allowed |= DROPEFFECT_MOVE;
    if (dragOperations_ & doLink) allowed |= DROPEFFECT_LINK;
    if (!allowed) allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    DWORD effect = DROPEFFECT_NONE;
    DragAndDrop(allowed, data.Get(), effect); 
    data.Reset();

    TPoint end = HandleAllocated() ? ScreenToClient(Mouse->CursorPos()) : TPoint{0, 0};
    DoEndDrag(this, end.x, end.y);
    if (dragImage_) dragImage_->EndDrag();

    // A move to a target that copied (another program, or a tree that took the data through
    // the stream) leaves the originals to be deleted here. Nodes the drop already moved or
    // deleted have left the drag selection.
    if (effect == DROPEFFECT_MOVE && (options_->AutoOptions() & toAutoDeleteMovedNodes) && !ReadOnly()) {
        std::vector<PVastNode> moved = dragSelection_;
        TUpdateScope update(*this);
        for (PVastNode node : moved)
            if (std::find(dragSelection_.begin(), dragSelection_.end(), node) != dragSelection_.end()) DeleteNode(node);
    }
}

void TBaseVastTree::PassPressToControl(TMessage& message) {
    TDragMode mode = DragMode();
    if (dragType_ == dtOLE && mode == dmAutomatic) SetDragMode(dmManual);
    TScopeExit restore([this, mode] { SetDragMode(mode); });
    TCustomControl::WndProc(message);
}

void TBaseVastTree::ForgetDraggedNode(PVastNode node) {
    dragSelection_.erase(std::remove(dragSelection_.begin(), dragSelection_.end(), node), dragSelection_.end());
}

// ---- drags of the class library ----

void TBaseVastTree::DoStartDrag(TDragObject*& dragObject) {
    TCustomControl::DoStartDrag(dragObject);
    if (dragObject) DoStateChange(tsUserDragObject);
}

void TBaseVastTree::DoEndDrag(TObject* target, int x, int y) {
    TCustomControl::DoEndDrag(target, x, y);
    DragFinished();
}

void TBaseVastTree::DragCanceled() {
    TCustomControl::DragCanceled();
    DragFinished();
}

void TBaseVastTree::CMDrag(TMessage& message) {
    auto* rec = reinterpret_cast<TDragRec*>(message.LParam);
    if (!rec) return;
    TDragObject* object = rec->Source;
    auto* controlObject = dynamic_cast<TDragControlObject*>(object);
    TObject* source = (states_ & tsUserDragObject) || !controlObject ? static_cast<TObject*>(object) : controlObject->Control;
    const TPoint client = ScreenToClient(rec->Pos);
    // These drags know only Shift and Ctrl.
    DWORD keyState = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000) keyState |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) & 0x8000) keyState |= MK_CONTROL;
    const auto kind = TDragMessage(message.WParam);
    switch (kind) {
        case dmDragEnter:
        case dmDragLeave:
        case dmDragMove: {
            TDragState state = dsDragMove;
            if (kind == dmDragEnter) {
                DoStateChange(tsVCLDragging);
                state = dsDragEnter;
            } else if (kind == dmDragLeave) {
                DoStateChange(0, tsVCLDragging);
                state = dsDragLeave;
            } else {
                DoAutoScroll(client.x, client.y);
            }
            DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
            if (DragOver(source, keyState, state, rec->Pos, effect) != S_OK) effect = DROPEFFECT_NONE;
            lastVCLDropTarget_ = dropTargetNode_;
            lastVCLDragEffect_ = effect;
            message.Result = LRESULT(effect & ~DROPEFFECT_SCROLL);
            if (kind == dmDragLeave) {
                if (dropTargetNode_) InvalidateNode(dropTargetNode_);
                dropTargetNode_ = nullptr;
                lastVCLDropTarget_ = nullptr;
            }
            break;
        }
        case dmDragDrop: {
            if (dropTargetNode_) InvalidateNode(dropTargetNode_);
            dropTargetNode_ = lastVCLDropTarget_;
            DWORD effect = lastVCLDragEffect_;
            // The drag is over this tree no more: left in place, the state would keep the
            // edge scrolling of later plain mouse moves alive.
            TScopeExit forget([this] {
                DoStateChange(0, tsVCLDragging);
                if (dropTargetNode_) InvalidateNode(dropTargetNode_);
                dropTargetNode_ = nullptr;
                lastVCLDropTarget_ = nullptr;
            });
            DoDragDrop(source, nullptr, {}, DragShiftState(keyState), client, effect, lastDropMode_);
            break;
        }
        case dmFindTarget: {
            TControl* control = ControlAtPos(client, false, false);
            message.Result = reinterpret_cast<LRESULT>(control ? control : static_cast<TControl*>(this));
            if (states_ & tsVCLDragPending) DoStateChange(tsVCLDragging, tsVCLDragPending | tsEditPending | tsClearPending);
            break;
        }
        case dmDragCancel:
            break;
    }
}

}  // namespace treeview
