#pragma once
// Internal: the display's side of the clipboard. The OLE calls keep the data object of each
// selection this program owns; a selection service tells the display who owns what, serves
// other programs from the owned object, and reads what other programs own.
#include <memory>

#include "platform/windows/clipboard.h"

namespace platform {

// What a global memory handle stands for: its bytes, which rendering code may swap in and
// out without a copy.
struct GlobalBlock {
    std::vector<std::uint8_t> bytes;
};

// Drag: the selection a drag's data travels through between programs (XdndSelection).
enum class TSelectionKind { Clipboard = 0, Primary = 1, Drag = 2 };
constexpr int kSelectionKinds = 3;

class TSelectionService {
public:
    virtual ~TSelectionService() = default;
    // This program takes (data non-null) or gives up the selection.
    virtual bool Own(TSelectionKind kind, bool own) = 0;
    // Whether the display still sees this program as the owner (another program may have
    // taken the selection before its notice was read).
    virtual bool StillOwned(TSelectionKind /*kind*/) { return true; }
    // A data object over what another program holds; null when nobody does.
    virtual TComPtr<IDataObject> Foreign(TSelectionKind kind) = 0;
    // The owned object was replaced by rendered data: hand it to a clipboard manager.
    virtual void HandOff(TSelectionKind /*kind*/) {}
};

// The object this program holds for a selection (null when none).
TComPtr<IDataObject> OwnedSelection(TSelectionKind kind);
// The display says another program took the selection: the held object is released.
void SelectionLost(TSelectionKind kind);
// Renders every format of an object into memory (what a flush keeps).
TComPtr<IDataObject> RenderAll(IDataObject* data);
// The bytes of one format of an object, from a global block or a stream; false when the
// object does not give it.
bool GetFormatBytes(IDataObject* data, CLIPFORMAT format, std::vector<std::uint8_t>& bytes);
// The formats an object offers, in its order.
std::vector<FORMATETC> OfferedFormats(IDataObject* data);

// The X11 service; null unless the X11 backend is in use.
std::unique_ptr<TSelectionService> CreateX11SelectionService();
// The service in use (made on first use).
TSelectionService& SelectionService();
// Takes or gives up a selection for an object (null gives it up).
HRESULT SetSelectionObject(TSelectionKind kind, IDataObject* data);

// X11 only: a data object over a selection another program owns, offering the given targets
// (no TARGETS request); the X window this program's selections and drags speak from; and the
// selection code's handling of an event read elsewhere (true when it was selection traffic).
TComPtr<IDataObject> X11SelectionObject(TSelectionKind kind, const std::vector<std::string>& targets);
unsigned long X11SelectionWindow();
bool X11SelectionEvent(void* xevent);

}  // namespace platform
