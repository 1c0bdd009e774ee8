#pragma once
// Internal: drags that leave the program's windows. The drag loop hands the pointer to an
// outside-drag service (XDND on X11) whenever it is over no window of this program.
#include <memory>

#include "platform/windows/dragdrop.h"

namespace platform {

class TOutsideDrag {
public:
    virtual ~TOutsideDrag() = default;
    // The pointer is at a screen point over no window of ours; the effect another program's
    // window would take (DROPEFFECT_NONE when none takes drops there).
    virtual DWORD Move(IDataObject* data, POINT screen, DWORD keyState, DWORD okEffects) = 0;
    // The pointer went back over our windows, or the drag was cancelled.
    virtual void Leave() = 0;
    // Drops where the pointer is; the effect the other program reports, after waiting for it
    // with a deadline (DROPEFFECT_NONE when nothing was dropped).
    virtual DWORD Drop() = 0;
};

// Holds the keyboard for the drag (Esc must reach it wherever the pointer is); null releases.
void GrabDragKeyboard(HWND top);
// Lets other programs drop onto the window's top-level window (X11: XdndAware).
void PrepareOutsideDrops(HWND hwnd);
// Null unless the display reaches other programs (X11).
std::unique_ptr<TOutsideDrag> CreateOutsideDrag();
// The target registered for a window (or the nearest registered ancestor), as the XDND
// target side needs it; also the window it belongs to.
IDropTarget* FindDropTarget(HWND hwnd, HWND* owner = nullptr);

}  // namespace platform
