// The header's mouse handling: finding a column's splitter, resizing a column by
// dragging its splitter, fitting a column to its content on a double click there,
// clicking and dragging columns to new positions with drop marks, hot tracking with the
// header timer, the split cursor, and the spring columns that share a size change.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/controls/forms.h"
#include "platform/controls/menus.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtdragimage.h"
#include "treeview/vtcursors.h"
#include "treeview/vtheader.h"

namespace treeview {

using namespace platform;

namespace {

TShiftState KeysShift(WPARAM keys) {
    TShiftState shift = 0;
    if (keys & MK_SHIFT) shift |= ssShift;
    if (keys & MK_CONTROL) shift |= ssCtrl;
    return shift;
}

}  // namespace

bool TVTHeader::InHeader(TPoint p) const {
    return (options_ & hoVisible) && p.y >= -height_ && p.y < 0 && p.x >= 0 && owner_ &&
           p.x < owner_->ClientWidth();
}

bool TVTHeader::DetermineSplitterIndex(TPoint p) {
    trackIndex_ = NoColumn;
    if (!owner_ || columns_->Count() == 0) return false;
    const std::vector<std::int32_t>& order = columns_->PositionToIndex();
    int fixedWidth = columns_->GetVisibleFixedWidth();
    int scroll = owner_->HorzScrollPos();
    auto edgeOf = [&](TVastTreeColumn* column, int s) { return (column->Options() & coFixed) ? s + scroll : s; };
    auto take = [&](TColumnIndex index, int edge) {
        if (!columns_->CanSplitterResize(p, index)) return false;
        trackIndex_ = index;
        trackPos_ = edge;
        return true;
    };
    if (!owner_->UseRightToLeftAlignment()) {
        int s = owner_->RangeWidth() - scroll;
        for (std::size_t position = order.size(); position-- > 0;) {
            TVastTreeColumn* column = columns_->Items(order[position]);
            if (!(column->Options() & coVisible)) continue;
            int e = edgeOf(column, s);
            bool movable = (column->Options() & coFixed) || p.x > fixedWidth;
            // Two pixels inside the column's right edge up to four beyond it.
            if (movable && e - 3 < p.x && p.x < e + 5)
                return take(order[position], ((column->Options() & coFixed) ? scroll : 0) + s - column->Width());
            s -= column->Width();
        }
        return false;
    }
    int s = -scroll;
    if (owner_->RangeWidth() < owner_->ClientWidth()) s += owner_->ClientWidth() - owner_->RangeWidth();
    for (std::int32_t index : order) {
        TVastTreeColumn* column = columns_->Items(index);
        if (!(column->Options() & coVisible)) continue;
        int e = edgeOf(column, s);
        if (e - 5 < p.x && p.x < e + 3)
            return take(index, ((column->Options() & coFixed) ? scroll : 0) + s + column->Width());
        s += column->Width();
    }
    return false;
}

void TVTHeader::StartHeaderTimer() {
    if (owner_ && owner_->MessageHandle()) SetTimer(owner_->MessageHandle(), HeaderTimer, 50);
}

void TVTHeader::HeaderTimerExpired() {
    if (!owner_) return;
    bool inHeader = false;
    if (owner_->HandleAllocated()) {
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(owner_->Handle(), &p);
        inHeader = InHeader(TPoint{p.x, p.y});
    }
    TVastTreeColumns& c = *columns_;
    if (!inHeader || (c.downIndex_ >= 0 && c.hoverIndex_ != c.downIndex_)) {
        owner_->StopTimer(HeaderTimer);
        c.hoverIndex_ = c.clickIndex_ = c.downIndex_ = NoColumn;
        Invalidate(NoColumn);
    }
}

void TVTHeader::UpdateSpringColumns() {
    if (!owner_) return;
    const int width = owner_->HeaderRect().Width();
    double difference = double(width - lastWidth_);
    if ((options_ & hoAutoSpring) && lastWidth_ != 0 && difference != 0) {
        const int sign = difference > 0 ? 1 : -1;
        difference = std::abs(difference);
        int springCount = 0;
        for (int i = 0; i < columns_->Count(); ++i)
            if ((columns_->Items(i)->Options() & (coVisible | coAutoSpring)) == (coVisible | coAutoSpring)) ++springCount;
        if (springCount > 0) {
            const double share = difference / springCount;
            for (int i = 0; i < columns_->Count(); ++i) {
                TVastTreeColumn* column = columns_->Items(i);
                if ((column->Options() & (coVisible | coAutoSpring)) != (coVisible | coAutoSpring)) continue;
                double value = column->SpringRest() + share;
                if (value >= 1.0) column->SetWidth(column->Width() + sign * int(std::trunc(value)));
                column->SetSpringRest(float(value - std::trunc(value)));
                difference -= share;
                if (difference < 0) break;
            }
        }
    }
    lastWidth_ = width;
}

void TVTHeader::PrepareDrag(TPoint p, TPoint start) {
    TVastTreeColumns& c = *columns_;
    c.dropTarget_ = NoColumn;
    c.dragIndex_ = NoColumn;
    if (!owner_ || !owner_->HandleAllocated()) return;
    POINT client{start.x, start.y};
    ScreenToClient(owner_->Handle(), &client);
    TColumnIndex column = c.ColumnFromPosition(TPoint{client.x, client.y + height_}, true);
    c.dragIndex_ = column >= 0 ? column : NoColumn;
    if (column < 0) return;
    // The whole row unscrolled, then the dragged column's cell cut from it.
    TVastTreeColumn* dragged = c.Items(column);
    const int total = std::max(c.TotalWidth(), 1);
    TBitmap row;
    row.SetPixelFormat(pf32bit);
    row.SetSize(total, height_);
    row.Canvas()->Brush()->SetColor(clBtnFace);
    row.Canvas()->FillRect(TRect(0, 0, total, height_));
    c.PaintHeader(row.Canvas()->Handle(), TRect(0, 0, total, height_), 0);
    TBitmap picture;
    picture.SetPixelFormat(pf32bit);
    picture.SetSize(std::max(dragged->Width(), 1), height_);
    BitBlt(picture.Canvas()->Handle(), 0, 0, dragged->Width(), height_, row.Canvas()->Handle(), dragged->Left(), 0,
           SRCCOPY);
    int left = dragged->GetLeft();
    if (owner_->UseRightToLeftAlignment()) left += owner_->ComputeRTLOffset(true);
    TPoint imagePosition = owner_->ClientToScreen(TPoint{left, 0});
    imagePosition.y -= height_;
    dragImage_->SetMoveLimit((options_ & hoRestrictDrag) ? dmrHorizontalOnly : dmrNone);
    dragImage_->PrepareDrag(&picture, imagePosition, p, nullptr);
    dragImage_->ShowDragImage();
}

bool TVTHeader::DragTo(TPoint screenPoint) {
    if (!owner_ || !owner_->HandleAllocated()) return false;
    TVastTreeColumns& c = *columns_;
    POINT client{screenPoint.x, screenPoint.y};
    ScreenToClient(owner_->Handle(), &client);
    TColumnIndex column = c.ColumnFromPosition(TPoint{client.x, client.y + height_}, true);
    bool needRepaint = column != InvalidColumn && column != c.dropTarget_;
    if (column >= 0) {
        int left = 0, right = 0;
        c.GetColumnBounds(column, left, right);
        bool before = client.x < (left + right) / 2;
        if (before != c.dropBefore_) {
            c.dropBefore_ = before;
            needRepaint = true;
        }
    }
    if (needRepaint) {
        if (c.dropTarget_ >= 0) c.InvalidateColumn(c.dropTarget_);
        c.dropTarget_ = NoColumn;
        if (column >= 0) {
            c.InvalidateColumn(column);
            c.dropTarget_ = column;
        }
    }
    return dragImage_->DragTo(screenPoint, needRepaint);
}

void TVTHeader::FinishDrag(TPoint screenPoint) {
    dragImage_->EndDrag();
    TVastTreeColumns& c = *columns_;
    TColumnIndex dragged = c.dragIndex_;
    RECT frame{};
    GetWindowRect(owner_->Handle(), &frame);
    bool inWindow = screenPoint.x >= frame.left && screenPoint.x < frame.right && screenPoint.y >= frame.top &&
                    screenPoint.y < frame.bottom;
    if (c.dropTarget_ >= 0 && c.IsValidColumn(dragged) && c.dropTarget_ != dragged && inWindow) {
        TVastTreeColumn* column = c.Items(dragged);
        TColumnPosition oldPosition = column->Position();
        TColumnPosition target = c.Items(c.dropTarget_)->Position();
        bool draggedLeft = oldPosition < target;
        TColumnPosition position;
        if (c.dropBefore_)
            position = draggedLeft ? (target > 0 ? target - 1 : 0) : target;
        else
            position = draggedLeft ? target : target + 1;
        column->SetPosition(position);
        owner_->DoHeaderDragged(dragged, int(oldPosition));
    } else if (c.IsValidColumn(dragged)) {
        owner_->DoHeaderDraggedOut(dragged, screenPoint);
    }
    c.dropTarget_ = NoColumn;
    c.dragIndex_ = NoColumn;
    Invalidate(NoColumn);
}

void TVTHeader::CancelDrag() {
    if (owner_ && GetCapture() == owner_->Handle()) ReleaseCapture();
    states_ &= THeaderStates(~hsDragging);
    dragImage_->EndDrag();
    columns_->dropTarget_ = NoColumn;
    columns_->dragIndex_ = NoColumn;
    Invalidate(NoColumn);
}

bool TVTHeader::HandleHeaderMouseMove(TMessage& message) {
    TVastTreeColumns& c = *columns_;
    HWND tree = owner_->Handle();
    if (states_ & hsTrackPending) {
        // The first move only turns the press into tracking.
        owner_->StopTimer(HeaderTimer);
        states_ = THeaderStates((states_ & ~hsTrackPending) | hsTracking);
    } else if (states_ & hsTracking) {
        if (trackIndex_ >= 0) {
            int x = message.XPos();
            int width = owner_->UseRightToLeftAlignment() ? trackPos_ - x : x - trackPos_;
            c.Items(trackIndex_)->SetWidth(width);
        }
    } else if (states_ & hsDragPending) {
        POINT p{message.XPos(), message.YPos()};
        ClientToScreen(tree, &p);
        if (!(options_ & hoDrag) || !owner_->DoHeaderDragging(c.downIndex_)) return false;
        const int threshold = Mouse->DragThreshold();
        if (std::abs(p.x - dragStart_.x) <= threshold && std::abs(p.y - dragStart_.y) <= threshold) return false;
        owner_->StopTimer(HeaderTimer);
        TColumnIndex pressed = c.downIndex_;
        c.downIndex_ = c.hoverIndex_ = NoColumn;
        if (pressed >= 0) c.InvalidateColumn(pressed);
        PrepareDrag(TPoint{p.x, p.y}, dragStart_);
        states_ = THeaderStates((states_ & ~hsDragPending) | hsDragging);
        DragTo(TPoint{p.x, p.y});
    } else if (states_ & hsDragging) {
        POINT p{message.XPos(), message.YPos()};
        ClientToScreen(tree, &p);
        DragTo(TPoint{p.x, p.y});
    } else {
        return false;
    }
    message.Result = 0;
    return true;
}

bool TVTHeader::HandleMessage(TMessage& message) {
    if (!owner_ || !owner_->HandleAllocated()) return false;
    HWND tree = owner_->Handle();
    TVastTreeColumns& c = *columns_;
    auto clientPoint = [&] {
        POINT p{message.XPos(), message.YPos()};
        ScreenToClient(tree, &p);
        return TPoint{p.x, p.y};
    };
    auto endTracking = [&] {
        bool tracked = states_ & (hsTracking | hsTrackPending);
        states_ &= THeaderStates(~(hsTracking | hsTrackPending));
        if (GetCapture() == tree) ReleaseCapture();
        if (trackIndex_ >= 0) Invalidate(trackIndex_);
        trackIndex_ = NoColumn;
        return tracked;
    };
    constexpr THeaderStates mouseStates = hsDragging | hsDragPending | hsTracking | hsTrackPending;
    switch (message.Msg) {
        case WM_NCLBUTTONDOWN: {
            // A press in the frame ends the tree's own scrolling and pending edit.
            owner_->StopTimer(ScrollTimer);
            owner_->StopTimer(EditTimer);
            owner_->DoStateChange(0, tsScrollPending | tsScrolling | tsEditPending);
            dragStart_ = TPoint{message.XPos(), message.YPos()};
            TPoint p = clientPoint();
            if (!InHeader(p)) return false;
            owner_->DoHeaderMouseDown(mbLeft, GetShiftState(), p.x, p.y + height_);
            if ((options_ & hoColumnResize) && DetermineSplitterIndex(p)) {
                c.hoverIndex_ = NoColumn;
                trackStart_ = p;
                states_ |= hsTrackPending;
                SetCapture(tree);
                message.Result = 0;
                return true;
            }
            TColumnIndex pressed = c.AdjustDownColumn(p);
            if ((options_ & hoDrag) && pressed >= 0 && (c.Items(pressed)->Options() & coDraggable)) {
                states_ |= hsDragPending;
                SetCapture(tree);
                message.Result = 0;
                return true;
            }
            return false;
        }
        case WM_MOUSEMOVE:
            return HandleHeaderMouseMove(message);
        case WM_NCMOUSEMOVE: {
            TPoint p = clientPoint();
            owner_->DoHeaderMouseMove(GetShiftState(), p.x, p.y + height_);
            if (InHeader(p) && (c.AdjustHoverColumn(p) || (c.downIndex_ >= 0 && c.hoverIndex_ != c.downIndex_)))
                StartHeaderTimer();
            return false;
        }
        case WM_LBUTTONUP:
        case WM_NCLBUTTONUP: {
            const bool nonClient = message.Msg == WM_NCLBUTTONUP;
            const THeaderStates held = states_ & mouseStates;
            if (!held && !nonClient) return false;
            bool handled = false;
            if (held) {
                if (GetCapture() == tree) ReleaseCapture();
                if (states_ & hsDragging) {
                    POINT screen{message.XPos(), message.YPos()};
                    if (!nonClient) ClientToScreen(tree, &screen);
                    FinishDrag(TPoint{screen.x, screen.y});
                }
                handled = true;
            }
            if (nonClient) {
                TPoint p = clientPoint();
                c.HandleClick(p, mbLeft, false, false);
                owner_->DoHeaderMouseUp(mbLeft, GetShiftState(), p.x, p.y + height_);
            } else {
                // Sent while the header held the mouse: the message's own client point.
                TPoint p{message.XPos(), message.YPos()};
                if (c.downIndex_ >= 0) c.HandleClick(p, mbLeft, false, false);
                owner_->DoHeaderMouseUp(mbLeft, KeysShift(message.WParam), p.x, p.y);
            }
            if (trackIndex_ >= 0) Invalidate(trackIndex_);
            trackIndex_ = NoColumn;
            if (c.downIndex_ >= 0) c.InvalidateColumn(c.downIndex_);
            c.downIndex_ = NoColumn;
            states_ &= THeaderStates(~mouseStates);
            if (handled) message.Result = 0;
            return handled;
        }
        case WM_KILLFOCUS:
        case WM_CANCELMODE:
            // A column drag moves nothing; the width a splitter reached stays. The tree
            // still sees the message.
            if (states_ & hsDragging)
                CancelDrag();
            else if (states_ & hsTracking)
                endTracking();
            return false;
        case WM_KEYDOWN:
            if (message.WParam != VK_ESCAPE) return false;
            if (states_ & hsDragging) {
                CancelDrag();
            } else if (states_ & hsTracking) {
                endTracking();
            } else {
                return false;
            }
            message.Result = 0;
            return true;
        case WM_SETCURSOR: {
            if (reinterpret_cast<HWND>(message.WParam) != tree) return false;
            if (states_ & mouseStates) {
                // The cursor stays what it is while the header holds the mouse.
                message.Result = 1;
                return true;
            }
            if (!(options_ & hoColumnResize)) return false;
            POINT cursorPos{};
            GetCursorPos(&cursorPos);
            ScreenToClient(tree, &cursorPos);
            TPoint p{cursorPos.x, cursorPos.y};
            if (!InHeader(p)) return false;
            RegisterTreeCursors();
            HCURSOR cursor = Screen->Cursors(owner_->Cursor());
            if (DetermineSplitterIndex(p)) cursor = Screen->Cursors(crHeaderSplit);
            owner_->DoGetHeaderCursor(cursor);
            if (cursor == Screen->Cursors(crDefault)) return false;
            ::platform::SetCursor(cursor);
            message.Result = 1;
            return true;
        }
        case WM_NCLBUTTONDBLCLK:
        case WM_NCRBUTTONDBLCLK:
        case WM_NCMBUTTONDBLCLK: {
            TPoint p = clientPoint();
            if (!InHeader(p)) return false;
            TMouseButton button = message.Msg == WM_NCLBUTTONDBLCLK   ? mbLeft
                                  : message.Msg == WM_NCRBUTTONDBLCLK ? mbRight
                                                                      : mbMiddle;
            if ((options_ & hoDblClickResize) && DetermineSplitterIndex(p)) {
                TColumnIndex index = trackIndex_;
                TVastTreeColumn* column = c.Items(index);
                int fit = owner_->GetMaxColumnWidth(index, column->Options() & coSmartResize);
                c.AnimatedResize(index, std::max(column->MinWidth(), fit));
                trackIndex_ = NoColumn;
                c.clickIndex_ = NoColumn;
            } else {
                c.HandleClick(p, button, true, true);
            }
            if (c.clickIndex_ >= 0)
                owner_->DoHeaderDblClick(c.clickIndex_, button, GetShiftState() | ssDouble, p.x, p.y + height_);
            return false;
        }
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN: {
            TPoint p = clientPoint();
            if (InHeader(p))
                owner_->DoHeaderMouseDown(message.Msg == WM_NCRBUTTONDOWN ? mbRight : mbMiddle, GetShiftState(), p.x,
                                          p.y + height_);
            return false;
        }
        case WM_NCRBUTTONUP:
        case WM_NCMBUTTONUP: {
            TPoint p = clientPoint();
            if (!InHeader(p)) return false;
            TMouseButton button = message.Msg == WM_NCRBUTTONUP ? mbRight : mbMiddle;
            // The right and middle buttons click the column under the release.
            c.HandleClick(p, button, true, false);
            owner_->DoHeaderMouseUp(button, GetShiftState(), p.x, p.y + height_);
            c.downIndex_ = NoColumn;
            if (button != mbRight) return false;
            trackIndex_ = NoColumn;
            TPopupMenu* menu = popupMenu_;
            if (!menu) menu = DoGetPopupMenu(c.ColumnFromPosition(TPoint{p.x, p.y + height_}), p);
            if (!menu) return false;
            owner_->StopTimer(ScrollTimer);
            owner_->StopTimer(HeaderTimer);
            c.hoverIndex_ = NoColumn;
            owner_->DoStateChange(0, tsScrollPending | tsScrolling);
            menu->SetPopupComponent(owner_);
            menu->Popup(message.XPos(), message.YPos());
            return true;
        }
        case CM_PARENTFONTCHANGED:
            if (parentFont_) font_->Assign(owner_->Font());
            return false;
        case WM_SIZE:
            if ((options_ & hoAutoResize) && !(states_ & hsAutoSizing) && !(owner_->TreeStates() & tsWindowCreating)) {
                c.AdjustAutoSize(InvalidColumn);
                Invalidate(NoColumn);
            }
            return false;
        default:
            return false;
    }
}

TPopupMenu* TVTHeader::DoGetPopupMenu(TColumnIndex column, TPoint p) {
    if (!owner_ || !owner_->OnGetPopupMenu) return nullptr;
    bool askParent = true;
    TPopupMenu* menu = nullptr;
    owner_->OnGetPopupMenu(owner_, nullptr, column, p, askParent, menu);
    return menu;
}

// ---- the tree's header events ----

void TBaseVastTree::DoHeaderDblClick(TColumnIndex column, TMouseButton button, TShiftState shift, int x, int y) {
    if (OnHeaderDblClick) OnHeaderDblClick(header_.get(), column, button, shift, x, y);
}

void TBaseVastTree::DoHeaderMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnHeaderMouseDown) OnHeaderMouseDown(header_.get(), button, shift, x, y);
}

void TBaseVastTree::DoHeaderMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnHeaderMouseUp) OnHeaderMouseUp(header_.get(), button, shift, x, y);
}

void TBaseVastTree::DoHeaderMouseMove(TShiftState shift, int x, int y) {
    if (OnHeaderMouseMove) OnHeaderMouseMove(header_.get(), shift, x, y);
}

bool TBaseVastTree::DoHeaderDragging(TColumnIndex column) {
    bool allowed = true;
    if (OnHeaderDragging) OnHeaderDragging(header_.get(), column, allowed);
    return allowed;
}

void TBaseVastTree::DoHeaderDragged(TColumnIndex column, int oldPosition) {
    if (OnHeaderDragged) OnHeaderDragged(header_.get(), column, oldPosition);
}

void TBaseVastTree::DoHeaderDraggedOut(TColumnIndex column, TPoint dropPosition) {
    if (OnHeaderDraggedOut) OnHeaderDraggedOut(header_.get(), column, dropPosition);
}

void TBaseVastTree::DoGetHeaderCursor(HCURSOR& cursor) {
    if (OnGetHeaderCursor) OnGetHeaderCursor(header_.get(), cursor);
}

}  // namespace treeview
