#pragma once
// The text tree's own cell editor: TStringEditLink, the reference-counted link the tree
// holds while an edit runs, and TVTEdit, the edit control it places over the cell.
#include <string>

#include "platform/controls/stdctrls.h"
#include "platform/core/interfaces.h"
#include "treeview/vststrings.h"

namespace treeview {

class TStringEditLink;

// The edit control of a TStringEditLink. It keeps its link alive while it lives and
// frees itself through a posted message once the link lets it go (Release), so a link
// dropped inside one of the control's own handlers never frees the control under it.
class TVTEdit : public platform::TCustomEdit {
public:
    TVTEdit(TStringEditLink* link, platform::TComponent* owner);
    void Dispatch(platform::TMessage& message) override;
    // Fits the width to the text (single-line cells only).
    virtual void AutoAdjustSize();
    // Frees the control after the message being handled (at once when it has no window).
    virtual void Release();
    // Drops both references to the link (the edit stopped). The control holds the
    // counted one only while an edit runs.
    void ClearLink();
    TStringEditLink* Link() const { return link_; }

protected:
    void CreateParams(platform::TCreateParams& params) override;

private:
    friend class TStringEditLink;
    TVTEditLinkRef refLink_;
    TStringEditLink* link_ = nullptr;
    bool multiLine_ = false;
};

class TStringEditLink : public platform::TInterfacedObject, public IVTEditLink {
public:
    TStringEditLink();
    ~TStringEditLink() override;

    platform::HRESULT QueryInterface(platform::REFIID riid, void** object) override;
    platform::ULONG AddRef() override { return TInterfacedObject::AddRef(); }
    platform::ULONG Release() override { return TInterfacedObject::Release(); }

    bool BeginEdit() override;
    bool CancelEdit() override;
    bool EndEdit() override;
    bool PrepareEdit(TBaseVastTree* tree, PVastNode node, TColumnIndex column) override;
    platform::TRect GetBounds() override;
    void ProcessMessage(platform::TMessage& message) override;
    void SetBounds(platform::TRect r) override;

    TVTEdit* Edit() const { return edit_; }
    // Frees the current edit control and takes value.
    void SetEdit(TVTEdit* value);
    TCustomVastStringTree* Tree() const { return tree_; }
    PVastNode Node() const { return node_; }
    TColumnIndex Column() const { return column_; }
    bool Stopping() const { return stopping_; }
    const platform::TRect& TextBounds() const { return textBounds_; }

private:
    friend class TVTEdit;
    TVTEdit* edit_ = nullptr;
    TCustomVastStringTree* tree_ = nullptr;
    PVastNode node_ = nullptr;
    TColumnIndex column_ = NoColumn;
    platform::TAlignment alignment_ = platform::taLeftJustify;
    platform::TRect textBounds_{};
    bool stopping_ = false;
};

}  // namespace treeview
