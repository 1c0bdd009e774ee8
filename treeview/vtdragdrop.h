#pragma once
// The drop target (and drag source) object of a tree: what the platform's drag loop
// talks to. It passes everything to its tree and remembers the drag now over it.
#include "platform/windows/dragdrop.h"
#include "treeview/vasttrees.h"

namespace treeview {

class TVTDragManager : public platform::TInterfacedObject, public platform::IDropTarget, public platform::IDropSource {
public:
    explicit TVTDragManager(TBaseVastTree* owner) : owner_(owner) {}
    platform::HRESULT QueryInterface(platform::REFIID riid, void** object) override;

    platform::HRESULT DragEnter(platform::IDataObject* data, platform::DWORD keyState, platform::POINTL pt,
                                platform::DWORD* effect) override;
    platform::HRESULT DragOver(platform::DWORD keyState, platform::POINTL pt, platform::DWORD* effect) override;
    platform::HRESULT DragLeave() override;
    platform::HRESULT Drop(platform::IDataObject* data, platform::DWORD keyState, platform::POINTL pt,
                           platform::DWORD* effect) override;
    platform::HRESULT QueryContinueDrag(platform::BOOL escapePressed, platform::DWORD keyState) override;
    platform::HRESULT GiveFeedback(platform::DWORD effect) override;

    // The drag now over the tree: its data, and its tree when it came from this process.
    platform::IDataObject* DataObject() const { return data_.Get(); }
    TBaseVastTree* DragSource() const { return dragSource_; }
    bool IsDropTarget() const { return isDropTarget_; }
    // The tree goes away.
    void ForgetOwner() { owner_ = nullptr; }

private:
    void FollowOutside();

    TBaseVastTree* owner_;
    TBaseVastTree* dragSource_ = nullptr;
    bool isDropTarget_ = false;
    bool followingOutside_ = false;  // the source shows its image over no tree of ours
    platform::TComPtr<platform::IDataObject> data_;
};

}  // namespace treeview
