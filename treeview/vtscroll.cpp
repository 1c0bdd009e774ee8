// Scrolling without the scroll bars: the mouse wheel (lines, pages with Ctrl, sideways
// with Shift or when nothing is taller than the window), edge auto-scroll while a rubber
// band is drawn, and wheel panning with its window and direction cursors. Both run on the
// scroll timer (id 4) of the tree's message target, so on the program clock.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/controls/forms.h"
#include "platform/core/clock.h"
#include "platform/graphics/gdi.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtcursors.h"
#include "treeview/vtheader.h"

namespace treeview {

using namespace platform;

namespace {

// Panning starts scrolling once the mouse is this far from its origin.
constexpr int PanningDeadZone = 8;
constexpr UINT PanningInterval = 20;
const char* const PanningClassName = "VTPanningWindow";

}  // namespace

bool TBaseVastTree::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    StopWheelPanning();
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

// ---- edge auto-scroll ----

bool TBaseVastTree::CanAutoScroll() {
    // A drag over the tree scrolls through the drop target's own handling.
    bool panning = IsPanning();
    if (!((options_->AutoOptions() & toAutoScroll) || panning)) return false;
    if (header_->States() & (hsDragging | hsDragPending | hsTracking | hsTrackPending)) return false;
    return IsMouseSelecting() || IsOLEDropTarget() || (states_ & tsVCLDragging) || panning;
}

TScrollDirections TBaseVastTree::DetermineScrollDirections(int x, int y) {
    TScrollDirections directions = 0;
    if (!CanAutoScroll()) return directions;
    if (IsPanning()) {
        int dx = x - lastClickPos_.x, dy = y - lastClickPos_.y;
        if (dx < -PanningDeadZone) directions |= sdLeft;
        if (dx > PanningDeadZone) directions |= sdRight;
        if (dy < -PanningDeadZone) directions |= sdUp;
        if (dy > PanningDeadZone) directions |= sdDown;
        return directions;
    }
    const int edge = defaultNodeHeight_;
    if (x < edge && HorzScrollPos() != 0) directions |= sdLeft;
    if (ClientWidth() + HorzScrollPos() < RangeWidth() && x > ClientWidth() - edge) directions |= sdRight;
    if (y < edge && offsetY_ != 0) directions |= sdUp;
    if (ClientHeight() - offsetY_ < RangeHeight() && y > ClientHeight() - edge) directions |= sdDown;
    if (directions && HandleAllocated()) {
        POINT screen{x, y};
        ::platform::ClientToScreen(Handle(), &screen);
        if (IsOLEDropTarget() || WindowFromPoint(screen) == Handle()) {
            // The first edge met starts the clock; edges count once the delay has passed.
            const std::int64_t now = std::int64_t(timeGetTime());
            if (scrollStartTime_ < 0) scrollStartTime_ = now;
            if (now - scrollStartTime_ < std::int64_t(autoScrollDelay_)) directions = 0;
        }
    }
    return directions;
}

void TBaseVastTree::DoAutoScroll(int x, int y) {
    scrollDirections_ = DetermineScrollDirections(x, y);
    if (IsPanning()) return;
    if (!scrollDirections_) {
        if (states_ & (tsScrollPending | tsScrolling)) {
            StopTimer(ScrollTimer);
            DoStateChange(0, tsScrollPending | tsScrolling);
        }
    } else if (!(states_ & (tsScrollPending | tsScrolling))) {
        DoStateChange(tsScrollPending);
        SetTimer(msgHandle_, ScrollTimer, std::max<UINT>(autoScrollDelay_, 1));
    }
}

void TBaseVastTree::ScrollTimerExpired() {
    if (states_ & tsScrollPending) {
        SetTimer(msgHandle_, ScrollTimer, std::max<UINT>(autoScrollInterval_, 1));
        DoStateChange(tsScrolling, tsScrollPending);
    }
    DoTimerScroll();
}

void TBaseVastTree::DoTimerScroll() {
    if (!HandleAllocated()) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    POINT client = cursor;
    ::platform::ScreenToClient(Handle(), &client);
    const TRect clientRect = ClientRect();
    const bool inRect = clientRect.Contains(TPoint{client.x, client.y});
    const bool panning = IsPanning();
    const bool banding = IsMouseSelecting();
    if (!banding && !inRect && !panning) return;

    int dx = 0, dy = 0;
    const int vStep = std::min(scrollBarOptions_->VerticalIncrement(), ClientHeight());
    const int hStep = scrollBarOptions_->HorizontalIncrement();
    if (scrollDirections_ & sdUp) {
        dy = panning ? lastClickPos_.y - client.y - PanningDeadZone : inRect ? vStep : vStep * (clientRect.top - client.y);
        if (offsetY_ == 0) scrollDirections_ &= ~sdUp;
    }
    if (scrollDirections_ & sdDown) {
        dy = panning ? lastClickPos_.y - client.y + PanningDeadZone
                     : inRect ? -vStep : -vStep * (client.y - clientRect.bottom + 1);
        if (ClientHeight() - offsetY_ >= RangeHeight()) scrollDirections_ &= ~sdDown;
    }
    if (scrollDirections_ & sdLeft) {
        dx = panning ? lastClickPos_.x - client.x - PanningDeadZone : inRect ? hStep : hStep * (clientRect.left - client.x);
        if (HorzScrollPos() == 0) scrollDirections_ &= ~sdLeft;
    }
    if (scrollDirections_ & sdRight) {
        dx = panning ? lastClickPos_.x - client.x + PanningDeadZone
                     : inRect ? -hStep : -hStep * (client.x - clientRect.right + 1);
        if (ClientWidth() + HorzScrollPos() >= RangeWidth()) scrollDirections_ &= ~sdRight;
    }
    if (UseRightToLeftAlignment()) dx = -dx;

    if (banding) {
        DoSetOffsetXY(TPoint{offsetX_ + dx, offsetY_ + dy}, DefaultScrollUpdateFlags);
        // The band's corner stays under the mouse while the rows move below it.
        if (CalculateSelectionRect(client.x, client.y)) HandleDrawSelection(client.x, client.y);
        InvalidateTree();
    } else if (dx || dy) {
        DoSetOffsetXY(TPoint{offsetX_ + dx, offsetY_ + dy}, DefaultScrollUpdateFlags);
    }
    UpdateWindow(Handle());
    if (!scrollDirections_ && !panning) {
        StopTimer(ScrollTimer);
        DoStateChange(0, tsScrollPending | tsScrolling);
    }
}

// ---- wheel panning ----

LRESULT TBaseVastTree::PanningWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(hwnd, &paint);
        auto* tree = reinterpret_cast<TBaseVastTree*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (dc && tree && tree->panningImage_)
            BitBlt(dc, 0, 0, tree->panningImage_->Width(), tree->panningImage_->Height(),
                   tree->panningImage_->Canvas()->Handle(), 0, 0, SRCCOPY);
        EndPaint(hwnd, &paint);
        return 0;
    }
    if (msg == WM_SETCURSOR) {
        // The pointer over the panning window shows the panning cursor too.
        auto* tree = reinterpret_cast<TBaseVastTree*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (tree && tree->panningCursor_) {
            ::platform::SetCursor(tree->panningCursor_);
            return TRUE;
        }
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void TBaseVastTree::StartWheelPanning(TPoint position) {
    if (!HandleAllocated()) return;
    StopTimer(ScrollTimer);
    DoStateChange(tsWheelPanning | tsWheelScrolling);
    WNDCLASSA existing{};
    if (!GetClassInfoA(PanningClassName, &existing) || existing.lpfnWndProc != &PanningWindowProc) {
        WNDCLASSA cls{};
        cls.lpfnWndProc = &PanningWindowProc;
        cls.lpszClassName = PanningClassName;
        RegisterClassA(cls);
    }
    const bool wider = ClientWidth() < RangeWidth(), higher = ClientHeight() < RangeHeight();
    const TVTCursorShape shape = wider && higher ? vcMoveAll : wider ? vcMoveEW : vcMoveNS;
    panningImage_ = PanningImage(shape);
    // The window is the picture without its magenta, row by row from runs of other pixels.
    const TColor transparent = RGB(255, 0, 255);
    std::vector<RECT> runs;
    TCanvas* canvas = panningImage_->Canvas();
    for (int y = 0; y < panningImage_->Height(); ++y) {
        int x = 0;
        while (x < panningImage_->Width()) {
            while (x < panningImage_->Width() && canvas->Pixels(x, y) == transparent) ++x;
            int start = x;
            while (x < panningImage_->Width() && canvas->Pixels(x, y) != transparent) ++x;
            if (x > start) runs.push_back(RECT{start, y, x, y + 1});
        }
    }
    HRGN region = CreateRectListRgn(runs.data(), int(runs.size()));
    RECT box{};
    if (!region || GetRgnBox(region, &box) <= NULLREGION) {
        if (region) DeleteObject(region);
        panningImage_.reset();
        DoStateChange(0, tsWheelPanning | tsWheelScrolling);
        throw EInvalidOperation("Invalid wheel panning image.");
    }
    POINT screen{position.x, position.y};
    ::platform::ClientToScreen(Handle(), &screen);
    panningWindow_ = CreateWindowExA(WS_EX_TOOLWINDOW, PanningClassName, "", WS_POPUP, screen.x - 16, screen.y - 16, 32,
                                     32, Handle(), nullptr, nullptr, nullptr);
    if (panningWindow_) {
        SetWindowLongPtrA(panningWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowRgn(panningWindow_, region, FALSE);
        ShowWindow(panningWindow_, SW_SHOWNOACTIVATE);
    } else {
        DeleteObject(region);
    }
    if (!Focused() && CanFocus()) SetFocus();
    SetCapture(Handle());
    AdjustPanningCursor(position.x, position.y);
    SetTimer(msgHandle_, ScrollTimer, PanningInterval);
}

void TBaseVastTree::StopWheelPanning() {
    if (!IsPanning()) return;
    StopTimer(ScrollTimer);
    if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
    DoStateChange(0, tsWheelPanning | tsWheelScrolling);
    if (panningWindow_) {
        HWND window = panningWindow_;
        panningWindow_ = nullptr;
        DestroyWindow(window);
    }
    panningImage_.reset();
    panningCursor_ = nullptr;
    // The control's own cursor comes back through the screen's cursor slots.
    ::platform::SetCursor(Screen->Cursors(Cursor()));
}

void TBaseVastTree::AdjustPanningCursor(int x, int y) {
    const bool h = ClientWidth() < RangeWidth(), v = ClientHeight() < RangeHeight();
    const int dx = x - lastClickPos_.x, dy = y - lastClickPos_.y;
    TVTCursorShape shape;
    if (std::abs(dx) < PanningDeadZone && std::abs(dy) < PanningDeadZone) {
        shape = !h ? vcMoveNS : v ? vcMoveAll : vcMoveEW;
    } else if (h && v) {
        if (dx < -8)
            shape = dy < -8 ? vcMoveNW : dy < 9 ? vcMoveW : vcMoveSW;
        else if (dx < 9)
            shape = dy < 0 ? vcMoveN : vcMoveS;
        else
            shape = dy < -8 ? vcMoveNE : dy < 9 ? vcMoveE : vcMoveSE;
    } else if (h) {
        shape = dx < 0 ? vcMoveW : vcMoveE;
    } else {
        shape = dy < 0 ? vcMoveN : vcMoveS;
    }
    HCURSOR cursor = TreeCursor(shape);
    if (cursor == panningCursor_) return;
    panningCursor_ = cursor;
    ::platform::SetCursor(cursor);
}

}  // namespace treeview
