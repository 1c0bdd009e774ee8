// The header's mouse handling: finding a column's splitter, resizing a column by
// dragging its splitter, fitting a column to its content on a double click there.
#include <algorithm>

#include "platform/windows/input.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"

namespace treeview {

using namespace platform;

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

bool TVTHeader::HandleMessage(TMessage& message) {
    if (!owner_ || !owner_->HandleAllocated()) return false;
    HWND tree = owner_->Handle();
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
    switch (message.Msg) {
        case WM_NCLBUTTONDOWN: {
            TPoint p = clientPoint();
            if (!InHeader(p)) return false;
            if ((options_ & hoColumnResize) && DetermineSplitterIndex(p)) {
                trackStart_ = p;
                states_ |= hsTrackPending;
                SetCapture(tree);
                message.Result = 0;
                return true;
            }
            return false;
        }
        case WM_MOUSEMOVE:
            if (states_ & hsTrackPending) {
                // The first move only turns the press into tracking.
                states_ = THeaderStates((states_ & ~hsTrackPending) | hsTracking);
            } else if ((states_ & hsTracking) && trackIndex_ >= 0) {
                int x = message.XPos();
                int width = owner_->UseRightToLeftAlignment() ? trackPos_ - x : x - trackPos_;
                columns_->Items(trackIndex_)->SetWidth(width);
            } else {
                return false;
            }
            message.Result = 0;
            return true;
        case WM_LBUTTONUP:
        case WM_NCLBUTTONUP:
            if (!(states_ & (hsTracking | hsTrackPending))) return false;
            endTracking();
            message.Result = 0;
            return true;
        case WM_KILLFOCUS:
        case WM_CANCELMODE:
            // The width reached so far stays.
            if (states_ & hsTracking) endTracking();
            return false;
        case WM_KEYDOWN:
            if (message.WParam == VK_ESCAPE && (states_ & hsTracking)) {
                endTracking();
                message.Result = 0;
                return true;
            }
            return false;
        case WM_NCLBUTTONDBLCLK: {
            TPoint p = clientPoint();
            if (!InHeader(p)) return false;
            if ((options_ & hoDblClickResize) && DetermineSplitterIndex(p)) {
                TColumnIndex index = trackIndex_;
                TVastTreeColumn* column = columns_->Items(index);
                int fit = owner_->GetMaxColumnWidth(index, column->Options() & coSmartResize);
                columns_->AnimatedResize(index, std::max(column->MinWidth(), fit));
                trackIndex_ = NoColumn;
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace treeview
