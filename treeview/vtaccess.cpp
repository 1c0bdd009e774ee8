// Accessibility inside the process: the provider factory, WM_GETOBJECT, the handles it
// answers, the event sink and the tree's own outline object.
#include "treeview/vtaccess.h"

#include <algorithm>
#include <map>

#include "treeview/vststrings.h"

namespace treeview {

using namespace platform;

// ---- the factory ----

TVTAccessibilityFactory::~TVTAccessibilityFactory() {
    for (IVTAccessibleProvider* provider : providers_) provider->Release();
}

void TVTAccessibilityFactory::RegisterAccessibleProvider(IVTAccessibleProvider* provider) {
    if (!provider || std::find(providers_.begin(), providers_.end(), provider) != providers_.end()) return;
    provider->AddRef();
    providers_.push_back(provider);
}

void TVTAccessibilityFactory::UnRegisterAccessibleProvider(IVTAccessibleProvider* provider) {
    auto at = std::find(providers_.begin(), providers_.end(), provider);
    if (at == providers_.end()) return;
    providers_.erase(at);
    provider->Release();
}

IAccessible* TVTAccessibilityFactory::CreateIAccessible(TBaseVastTree* tree) {
    if (!tree) return nullptr;
    if (!tree->Accessible() && !providers_.empty()) return providers_.front()->CreateIAccessible(tree);
    if (IAccessible* item = tree->AccessibleItem()) {
        item->AddRef();
        return item;
    }
    if (providers_.empty()) return nullptr;
    for (std::size_t i = providers_.size() - 1; i >= 1; --i)
        if (IAccessible* result = providers_[i]->CreateIAccessible(tree)) return result;
    return providers_.front()->CreateIAccessible(tree);
}

TVTAccessibilityFactory* GetAccessibilityFactory() {
    // The in-process model needs no library: the factory always exists.
    static TVTAccessibilityFactory factory;
    return &factory;
}

// ---- handles and events ----

namespace {

std::map<LRESULT, IAccessible*>& Handles() {
    static std::map<LRESULT, IAccessible*> handles;
    return handles;
}

TAccessibleEventSink& Sink() {
    static TAccessibleEventSink sink;
    return sink;
}

}  // namespace

LRESULT LresultFromObject(const IID& riid, WPARAM, IAccessible* object) {
    static LRESULT next = 0;
    if (!object || riid != IID_IAccessible) return 0;
    object->AddRef();
    LRESULT handle = ++next;
    Handles()[handle] = object;
    return handle;
}

TComPtr<IAccessible> ObjectFromLresult(LRESULT result) {
    auto at = Handles().find(result);
    if (at == Handles().end()) return {};
    TComPtr<IAccessible> object = TComPtr<IAccessible>::Attach(at->second);
    Handles().erase(at);
    return object;
}

void SetAccessibleEventSink(TAccessibleEventSink sink) { Sink() = std::move(sink); }

void NotifyWinEvent(DWORD event, HWND window, long objectId, long childId) {
    if (Sink()) Sink()(event, window, objectId, childId);
}

// ---- the tree ----

void TBaseVastTree::WMGetObject(TMessage& message) {
    TVTAccessibilityFactory* factory = GetAccessibilityFactory();
    if (!factory) return;
    if (!accessible_) accessible_ = factory->CreateIAccessible(this);
    if (!accessibleItem_) accessibleItem_ = factory->CreateIAccessible(this);
    if (LONG(message.LParam) == OBJID_CLIENT)
        message.Result = accessible_ ? LresultFromObject(IID_IAccessible, message.WParam, accessible_) : 0;
}

void TBaseVastTree::NotifyAccessibleEvent(DWORD event) {
    if (accessibleItem_ && HandleAllocated()) NotifyWinEvent(event, Handle(), OBJID_CLIENT, CHILDID_SELF);
}

void TBaseVastTree::NotifyAccessibleFocus() {
    if (!accessibleItem_) return;
    for (DWORD event : {EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE,
                        EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_SELECTION, EVENT_OBJECT_FOCUS})
        NotifyAccessibleEvent(event);
}

void TBaseVastTree::MainColumnChanged() {
    if (states_ & (tsEditing | tsEditPending)) DoCancelEdit();
    NotifyAccessibleEvent(EVENT_OBJECT_NAMECHANGE);
}

void TBaseVastTree::ReleaseAccessible() {
    for (IAccessible** object : {&accessible_, &accessibleItem_})
        if (*object) {
            if (auto* own = dynamic_cast<TVTTreeAccessibleBase*>(*object)) own->ForgetTree();
            (*object)->Release();
            *object = nullptr;
        }
}

// ---- the tree's own outline ----

class TVTTreeAccessible : public TInterfacedObject, public IAccessible, public TVTTreeAccessibleBase {
public:
    explicit TVTTreeAccessible(TBaseVastTree* tree) : tree_(tree) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object && riid == IID_IAccessible) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return TInterfacedObject::QueryInterface(riid, object);
    }
    void ForgetTree() override { tree_ = nullptr; }

    HWND Window() override { return tree_ && tree_->HandleAllocated() ? tree_->Handle() : nullptr; }
    long ChildCount() override { return long(Rows().size()); }
    long Role(long child) override {
        if (child == CHILDID_SELF) return ROLE_SYSTEM_OUTLINE;
        return Row(child) ? ROLE_SYSTEM_OUTLINEITEM : 0;
    }
    std::string Name(long child) override {
        if (!tree_) return {};
        if (child == CHILDID_SELF) return tree_->Name();
        PVastNode node = Row(child);
        auto* text = dynamic_cast<TCustomVastStringTree*>(tree_);
        return node && text ? text->GetText(node, tree_->Header()->MainColumn()) : std::string();
    }
    std::string Value(long child) override {
        // An outline item's value is its level.
        PVastNode node = child == CHILDID_SELF ? nullptr : Row(child);
        return node ? std::to_string(tree_->GetNodeLevel(node)) : std::string();
    }
    unsigned State(long child) override {
        if (!tree_) return STATE_SYSTEM_UNAVAILABLE;
        if (child == CHILDID_SELF) {
            unsigned state = STATE_SYSTEM_FOCUSABLE;
            if (tree_->Focused()) state |= STATE_SYSTEM_FOCUSED;
            if (!tree_->Enabled()) state |= STATE_SYSTEM_UNAVAILABLE;
            if (tree_->TreeOptions()->SelectionOptions() & toMultiSelect) state |= STATE_SYSTEM_MULTISELECTABLE;
            return state;
        }
        PVastNode node = Row(child);
        if (!node) return 0;
        unsigned state = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
        if (node->States & vsSelected) state |= STATE_SYSTEM_SELECTED;
        if (node == tree_->FocusedNode() && tree_->Focused()) state |= STATE_SYSTEM_FOCUSED;
        if (node->States & vsDisabled) state |= STATE_SYSTEM_UNAVAILABLE;
        if (node->States & vsHasChildren) state |= (node->States & vsExpanded) ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
        if (node->CheckState == csCheckedNormal || node->CheckState == csCheckedPressed) state |= STATE_SYSTEM_CHECKED;
        if (node->CheckState == csMixedNormal || node->CheckState == csMixedPressed) state |= STATE_SYSTEM_MIXED;
        return state;
    }
    TRect Location(long child) override {
        if (!tree_ || !tree_->HandleAllocated()) return {};
        TRect r;
        if (child == CHILDID_SELF) {
            r = tree_->ClientRect();
        } else {
            PVastNode node = Row(child);
            if (!node) return {};
            r = tree_->GetDisplayRect(node, NoColumn, false);
        }
        TPoint topLeft = tree_->ClientToScreen(TPoint{r.left, r.top});
        return TRect{topLeft.x, topLeft.y, topLeft.x + r.right - r.left, topLeft.y + r.bottom - r.top};
    }
    long Focus() override {
        if (!tree_ || !tree_->Focused()) return -1;
        std::vector<PVastNode> rows = Rows();
        auto at = std::find(rows.begin(), rows.end(), tree_->FocusedNode());
        return at == rows.end() ? CHILDID_SELF : long(at - rows.begin()) + 1;
    }
    std::vector<long> Selection() override {
        std::vector<long> result;
        std::vector<PVastNode> rows = Rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i]->States & vsSelected) result.push_back(long(i) + 1);
        return result;
    }

private:
    std::vector<PVastNode> Rows() const {
        std::vector<PVastNode> rows;
        if (!tree_) return rows;
        for (PVastNode run = tree_->GetFirstVisible(); run; run = tree_->GetNextVisible(run)) rows.push_back(run);
        return rows;
    }
    PVastNode Row(long child) const {
        if (!tree_ || child < 1) return nullptr;
        long index = 1;
        for (PVastNode run = tree_->GetFirstVisible(); run; run = tree_->GetNextVisible(run), ++index)
            if (index == child) return run;
        return nullptr;
    }
    TBaseVastTree* tree_;
};

IAccessible* TVTTreeAccessibleProvider::CreateIAccessible(TBaseVastTree* tree) {
    if (!tree) return nullptr;
    IAccessible* object = new TVTTreeAccessible(tree);
    object->AddRef();
    return object;
}

}  // namespace treeview
