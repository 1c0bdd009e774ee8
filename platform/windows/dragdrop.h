#pragma once
// Drag and drop as the OLE calls know it: windows register an IDropTarget; DoDragDrop runs
// a modal loop that follows the pointer (holding the pointer grab), asks the source's
// IDropSource whether to go on and tells the target under the pointer what hovers over it.
// Targets of this program are called directly; on X11, windows of other programs are
// reached through the XDND protocol, and drags of other programs reach the registered
// targets the same way, their data read through a data object over the XDND selection.
#include "platform/core/interfaces.h"
#include "platform/windows/clipboard.h"

namespace platform {

constexpr DWORD DROPEFFECT_NONE = 0;
constexpr DWORD DROPEFFECT_COPY = 1;
constexpr DWORD DROPEFFECT_MOVE = 2;
constexpr DWORD DROPEFFECT_LINK = 4;
constexpr DWORD DROPEFFECT_SCROLL = 0x80000000u;

// Key state bits (the same as the mouse messages' MK_* in messages.h) plus Alt.
constexpr DWORD MK_ALT = 0x0020;

constexpr HRESULT DRAGDROP_S_DROP = HRESULT(0x00040100u);
constexpr HRESULT DRAGDROP_S_CANCEL = HRESULT(0x00040101u);
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = HRESULT(0x00040102u);
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = HRESULT(0x80040100u);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = HRESULT(0x80040101u);
constexpr HRESULT DRAGDROP_E_INVALIDHWND = HRESULT(0x80040102u);

struct POINTL {
    LONG x = 0;
    LONG y = 0;
};

// {00000122-0000-0000-C000-000000000046}
constexpr IID IID_IDropTarget = {0x00000122, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
class IDropTarget : public virtual IUnknown {
public:
    // pt in screen coordinates; effect comes in as what the source allows and goes out as
    // what the target would do.
    virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) = 0;
    virtual HRESULT DragOver(DWORD keyState, POINTL pt, DWORD* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) = 0;
};

// {00000121-0000-0000-C000-000000000046}
constexpr IID IID_IDropSource = {0x00000121, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
class IDropSource : public virtual IUnknown {
public:
    // S_OK goes on, DRAGDROP_S_DROP drops, DRAGDROP_S_CANCEL ends without a drop.
    virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
    // DRAGDROP_S_USEDEFAULTCURSORS: the loop shows its own cursor for the effect.
    virtual HRESULT GiveFeedback(DWORD effect) = 0;
};

// The window (and what lies inside it, unless a child registers its own) takes drops.
HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target);
HRESULT RevokeDragDrop(HWND hwnd);

// The modal loop: until the source drops or cancels (Esc), moves and key changes go to the
// target under the pointer; other messages (painting, timers) are handled meanwhile, input
// is not passed to windows. Returns DRAGDROP_S_DROP with the target's final effect, or
// DRAGDROP_S_CANCEL with DROPEFFECT_NONE (also when released where nothing takes it).
HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect);

// The key state now (MK_* and MK_ALT) from the input seen.
DWORD CurrentKeyState();

// A source with the usual rules: Esc or both left and right buttons cancel, releasing the
// buttons drops, default cursors.
class TDropSource : public TInterfacedObject, public IDropSource {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

}  // namespace platform
