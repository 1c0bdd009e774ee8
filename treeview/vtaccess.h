#pragma once
// Accessibility inside the process: a tree answers WM_GETOBJECT for its client object with
// an accessible object that a registered provider builds. No provider is registered by
// default, so trees answer 0. TVTTreeAccessibleProvider builds an object of the tree's own
// (an outline whose items are the shown rows). Events go to an in-process sink; nothing is
// exposed to the desktop's assistive technologies.
#include <functional>
#include <string>
#include <vector>

#include "platform/core/interfaces.h"
#include "treeview/vasttrees.h"

namespace treeview {

constexpr long CHILDID_SELF = 0;
// Roles and states of accessible objects.
constexpr long ROLE_SYSTEM_OUTLINE = 0x23;
constexpr long ROLE_SYSTEM_OUTLINEITEM = 0x24;
constexpr unsigned STATE_SYSTEM_UNAVAILABLE = 0x1;
constexpr unsigned STATE_SYSTEM_SELECTED = 0x2;
constexpr unsigned STATE_SYSTEM_FOCUSED = 0x4;
constexpr unsigned STATE_SYSTEM_CHECKED = 0x10;
constexpr unsigned STATE_SYSTEM_MIXED = 0x20;
constexpr unsigned STATE_SYSTEM_EXPANDED = 0x200;
constexpr unsigned STATE_SYSTEM_COLLAPSED = 0x400;
constexpr unsigned STATE_SYSTEM_FOCUSABLE = 0x100000;
constexpr unsigned STATE_SYSTEM_SELECTABLE = 0x200000;
constexpr unsigned STATE_SYSTEM_MULTISELECTABLE = 0x1000000;
// Events.
constexpr platform::DWORD EVENT_OBJECT_FOCUS = 0x8005;
constexpr platform::DWORD EVENT_OBJECT_SELECTION = 0x8006;
constexpr platform::DWORD EVENT_OBJECT_STATECHANGE = 0x800A;
constexpr platform::DWORD EVENT_OBJECT_LOCATIONCHANGE = 0x800B;
constexpr platform::DWORD EVENT_OBJECT_NAMECHANGE = 0x800C;
constexpr platform::DWORD EVENT_OBJECT_VALUECHANGE = 0x800E;

// {618736E0-3C3D-11CF-810C-00AA00389B71}
constexpr platform::IID IID_IAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// An accessible object: the object itself (child CHILDID_SELF) and its simple children
// numbered from 1.
class IAccessible : public virtual platform::IUnknown {
public:
    virtual platform::HWND Window() = 0;
    virtual long ChildCount() = 0;
    virtual long Role(long child) = 0;
    virtual std::string Name(long child) = 0;
    virtual std::string Value(long child) = 0;
    virtual unsigned State(long child) = 0;
    // Screen coordinates; empty for a child that is not shown.
    virtual platform::TRect Location(long child) = 0;
    // The child that has the focus (CHILDID_SELF when none, -1 when the object is unfocused).
    virtual long Focus() = 0;
    virtual std::vector<long> Selection() = 0;
};

class IVTAccessibleProvider : public virtual platform::IUnknown {
public:
    // Null when the provider has nothing for this tree.
    virtual IAccessible* CreateIAccessible(TBaseVastTree* tree) = 0;
};

// The providers of the process; trees ask it for their accessible objects.
class TVTAccessibilityFactory {
public:
    ~TVTAccessibilityFactory();
    void RegisterAccessibleProvider(IVTAccessibleProvider* provider);
    void UnRegisterAccessibleProvider(IVTAccessibleProvider* provider);
    // A new reference, or null.
    IAccessible* CreateIAccessible(TBaseVastTree* tree);

private:
    std::vector<IVTAccessibleProvider*> providers_;
};

TVTAccessibilityFactory* GetAccessibilityFactory();

// The handle WM_GETOBJECT answers for an object, and the object back from it (once).
platform::LRESULT LresultFromObject(const platform::IID& riid, platform::WPARAM wParam, IAccessible* object);
platform::TComPtr<IAccessible> ObjectFromLresult(platform::LRESULT result);

// Accessibility events of the process reach this sink.
using TAccessibleEventSink =
    std::function<void(platform::DWORD event, platform::HWND window, long objectId, long childId)>;
void SetAccessibleEventSink(TAccessibleEventSink sink);
void NotifyWinEvent(platform::DWORD event, platform::HWND window, long objectId, long childId);

// The tree's own accessible object: an outline of the shown rows, named by their
// main-column text.
class TVTTreeAccessibleProvider : public platform::TInterfacedObject, public IVTAccessibleProvider {
public:
    platform::HRESULT QueryInterface(platform::REFIID riid, void** object) override {
        return platform::TInterfacedObject::QueryInterface(riid, object);
    }
    IAccessible* CreateIAccessible(TBaseVastTree* tree) override;
};

}  // namespace treeview
