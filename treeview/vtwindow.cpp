// Window integration: the header in the non-client strip above the client area, the
// frame's bevels, the paint messages, scrolling and sizing messages routed to the
// geometry, and the reactions to colour, font and enabling changes.
#include <algorithm>

#include "platform/graphics/gdi.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"

namespace treeview {

using namespace platform;

void TBaseVastTree::HeaderChanged() {
    if (!HandleAllocated()) return;
    // The non-client strip is measured again (WM_NCCALCSIZE) and repainted.
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateScrollBars(true);
    Invalidate();
}

void TBaseVastTree::PaintHeaderStrip(HDC dc) {
    if (!(header_->Options() & hoVisible)) return;
    TRect r = HeaderRect();
    if (r.IsEmpty()) return;
    header_->Columns()->PaintHeader(dc, r, -HorzScrollPos());
}

bool TBaseVastTree::HandleChangeMessage(TMessage& message) {
    switch (message.Msg) {
        case CM_COLORCHANGED:
            TCustomControl::WndProc(message);
            if (!(ComponentState() & csLoading)) {
                PrepareBitmaps(true, false);
                if (HandleAllocated()) Invalidate();
            }
            return true;
        case CM_FONTCHANGED: {
            TCustomControl::WndProc(message);
            if (!(ComponentState() & csLoading)) {
                PrepareBitmaps(true, false);
                if (HandleAllocated()) Invalidate();
            }
            // A header that follows the tree's font takes the new one.
            TMessage parentFont{};
            parentFont.Msg = CM_PARENTFONTCHANGED;
            if (header_) header_->HandleMessage(parentFont);
            return true;
        }
        case CM_ENABLEDCHANGED:
            TCustomControl::WndProc(message);
            // The header in the frame shows the enabled state too.
            if (HandleAllocated())
                RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_NOCHILDREN | RDW_NOERASE | RDW_INVALIDATE);
            return true;
        default:
            return false;
    }
}

void TBaseVastTree::WndProc(TMessage& message) {
    // While panning the panning cursor stays, whatever lies under the mouse.
    if (message.Msg == WM_SETCURSOR && IsPanning() && reinterpret_cast<HWND>(message.WParam) == Handle()) {
        if (panningCursor_) ::platform::SetCursor(panningCursor_);
        message.Result = 1;
        return;
    }
    if (message.Msg == WM_KILLFOCUS || message.Msg == WM_CANCELMODE) {
        StopWheelPanning();
        StopTimer(HeaderTimer);
        StopTimer(ScrollTimer);
        DoStateChange(0, tsScrollPending | tsScrolling);
    }
    // The header sees every message first: it may be tracking a splitter.
    if ((header_ && header_->HandleMessage(message)) || HandleEditMessage(message) || HandleMouseMessage(message) || HandleKeyMessage(message) ||
        HandleQueryMessage(message) || HandleChangeMessage(message))
        return;
    switch (message.Msg) {
        case WM_CREATE:
            TCustomControl::WndProc(message);
            UpdateDropTargetRegistration(true);
            return;
        case WM_DESTROY:
            StopWheelPanning();
            UpdateDropTargetRegistration(false);
            TCustomControl::WndProc(message);
            return;
        case CM_MOUSELEAVE:
            if (!IsPanning()) {
                StopTimer(ScrollTimer);
                DoStateChange(0, tsScrollPending | tsScrolling);
            }
            TCustomControl::WndProc(message);
            return;
        case CM_DRAG:
            CMDrag(message);
            return;
        case WM_COPY:
            CopyToClipBoard();
            return;
        case WM_CUT:
            CutToClipBoard();
            return;
        case WM_PASTE:
            PasteFromClipboard();
            return;
        case WM_VSCROLL:
            HandleScrollMessage(message, true);
            return;
        case WM_HSCROLL:
            HandleScrollMessage(message, false);
            return;
        case WM_SIZE:
            TCustomControl::WndProc(message);
            SizeChanged();
            if (header_ && HandleAllocated()) header_->UpdateSpringColumns();
            return;
        case WM_NCCALCSIZE: {
            if (message.LParam) {
                // Bevels and the border width lie inside the border, around the scroll bars.
                RECT& proposed = reinterpret_cast<NCCALCSIZE_PARAMS*>(message.LParam)->rgrc[0];
                TRect insets = FrameInsets();
                proposed.left += insets.left;
                proposed.top += insets.top;
                proposed.right = std::max(proposed.left, LONG(proposed.right - insets.right));
                proposed.bottom = std::max(proposed.top, LONG(proposed.bottom - insets.bottom));
            }
            TCustomControl::WndProc(message);
            if (header_ && (header_->Options() & hoVisible) && message.LParam) {
                // The header lies in the strip above the client area.
                RECT& client = reinterpret_cast<NCCALCSIZE_PARAMS*>(message.LParam)->rgrc[0];
                client.top = std::min(client.bottom, LONG(client.top + header_->Height()));
            }
            return;
        }
        case WM_NCPAINT: {
            TCustomControl::WndProc(message);
            HDC dc = GetWindowDC(Handle());
            if (dc) {
                PaintHeaderStrip(dc);
                OriginalWMNCPaint(dc);
                ReleaseDC(Handle(), dc);
            }
            return;
        }
        case WM_ERASEBKGND:
            // Every row paints its own background.
            message.Result = 1;
            return;
        case WM_PRINTCLIENT: {
            TCanvas canvas;
            canvas.SetHandle(reinterpret_cast<HDC>(message.WParam));
            TRect client = ClientRect();
            TRect window{client.left + HorzScrollPos(), client.top - offsetY_, client.right + HorzScrollPos(),
                         client.bottom - offsetY_};
            PaintTree(&canvas, window, TPoint{0, 0},
                      poBackground | poDrawFocusRect | poDrawSelection | poDrawDropMark | poGridLines);
            canvas.SetHandle(nullptr);
            message.Result = 0;
            return;
        }
        case WM_NCHITTEST: {
            TCustomControl::WndProc(message);
            // The header is part of the frame: its clicks never reach the rows.
            if (header_ && (header_->Options() & hoVisible) && !(ComponentState() & csDesigning)) {
                RECT frame{};
                GetWindowRect(Handle(), &frame);
                TPoint p{message.XPos() - frame.left, message.YPos() - frame.top};
                if (HeaderRect().Contains(p)) message.Result = HTBORDER;
            }
            return;
        }
        case WM_PRINT:
            PaintHeaderStrip(reinterpret_cast<HDC>(message.WParam));
            OriginalWMNCPaint(reinterpret_cast<HDC>(message.WParam));
            TCustomControl::WndProc(message);
            return;
        default:
            TCustomControl::WndProc(message);
    }
}

}  // namespace treeview
