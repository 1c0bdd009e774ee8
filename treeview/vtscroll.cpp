// Scrolling without the scroll bars: the mouse wheel (lines, pages with Ctrl, sideways
// with Shift or when nothing is taller than the window).
#include "platform/controls/controls.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"

namespace treeview {

using namespace platform;

bool TBaseVastTree::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    if (TCustomControl::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
    const int notches = wheelDelta / 120;  // smaller deltas scroll nothing
    const int lines = Mouse->WheelScrollLines();
    if (ClientHeight() < RangeHeight() && !(shift & ssShift)) {
        int delta = (shift & ssCtrl) || lines < 0 ? notches * ClientHeight() : notches * lines * defaultNodeHeight_;
        SetOffsetY(offsetY_ + delta);
    } else {
        int direction = UseRightToLeftAlignment() ? -1 : 1;
        int delta = (shift & ssCtrl) ? notches * (ClientWidth() - header_->Columns()->GetVisibleFixedWidth())
                                     : notches * lines * header_->Columns()->GetScrollWidth();
        SetOffsetX(offsetX_ + direction * delta);
    }
    return true;
}

}  // namespace treeview
