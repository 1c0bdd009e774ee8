#include "platform/core/classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "platform/core/sysutils.h"

namespace platform {

std::string TObject::ClassName() const {
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
    auto colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

void TPersistent::Assign(TPersistent* source) {
    if (source == nullptr) AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) { dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* source) {
    std::string from = source ? source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + from + " to a " + ClassName());
}

TComponent::TComponent(TComponent* owner) {
    if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Tell every free-notification partner, taking each link out first so a partner that
    // answers by calling RemoveFreeNotification finds nothing left to undo.
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        other->UnlinkFreeNotification(this);
        other->Notification(this, opRemove);
    }
    DestroyComponents();
    if (owner_ != nullptr) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return components_[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
    if (owner_ == nullptr) return -1;
    auto& list = owner_->components_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (SameText(c->name_, name)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (component == nullptr || component->owner_ == this) return;
    if (!component->name_.empty() && FindComponent(component->name_) != nullptr)
        throw EComponentError("A component named " + component->name_ + " already exists");
    if (component->owner_ != nullptr) component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (component == nullptr || component->owner_ != this) return;
    Notification(component, opRemove);
    components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
    component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
    // Each component leaves the list before it is destroyed, so the others hear of its
    // removal while it is still whole.
    while (!components_.empty()) {
        TComponent* last = components_.back();
        last->Destroying();
        RemoveComponent(last);
        delete last;
    }
}

static bool IsIdentifier(const std::string& s) {
    if (s.empty()) return false;
    auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!alpha(s[0])) return false;
    return std::all_of(s.begin(), s.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !IsIdentifier(name))
        throw EComponentError("'" + name + "' is not a valid component name");
    if (owner_ != nullptr && !name.empty()) {
        TComponent* other = owner_->FindComponent(name);
        if (other != nullptr && other != this)
            throw EComponentError("A component named " + name + " already exists");
    }
    name_ = name;
}

void TComponent::BeginLoading() {
    state_ |= csLoading;
    for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::Loaded() { state_ &= ~TComponentState(csLoading); }

void TComponent::Destroying() {
    if (state_ & csDestroying) return;
    state_ |= csDestroying;
    for (TComponent* c : components_) c->Destroying();
}

void TComponent::FreeNotification(TComponent* component) {
    if (component == nullptr || component == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    auto& theirs = component->freeNotifies_;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (component == nullptr) return;
    UnlinkFreeNotification(component);
    component->UnlinkFreeNotification(this);
}

void TComponent::UnlinkFreeNotification(TComponent* component) {
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component), freeNotifies_.end());
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    // Both sides drop the link: the component may live on under another owner.
    if (operation == opRemove) RemoveFreeNotification(component);
    // Pass the news on to the owned components; one of them may remove others while
    // handling it, so walk by index and re-check the bound.
    for (size_t i = components_.size(); i-- > 0;) {
        if (i >= components_.size()) continue;
        TComponent* c = components_[i];
        if (c != component) c->Notification(component, operation);
    }
}

void TList::Check(int index, int count) const {
    if (index < 0 || index >= count) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void* TList::Items(int index) const {
    Check(index, Count());
    return items_[size_t(index)];
}

void TList::Put(int index, void* item) {
    Check(index, Count());
    items_[size_t(index)] = item;
}

int TList::Add(void* item) {
    items_.push_back(item);
    return Count() - 1;
}

void TList::Insert(int index, void* item) {
    Check(index, Count() + 1);
    items_.insert(items_.begin() + index, item);
}

void TList::Delete(int index) {
    Check(index, Count());
    items_.erase(items_.begin() + index);
}

int TList::IndexOf(void* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TList::Remove(void* item) {
    int i = IndexOf(item);
    if (i >= 0) Delete(i);
    return i;
}

void* TList::Extract(void* item) { return Remove(item) >= 0 ? item : nullptr; }

void TList::Exchange(int a, int b) {
    Check(a, Count());
    Check(b, Count());
    std::swap(items_[size_t(a)], items_[size_t(b)]);
}

void TList::Move(int from, int to) {
    if (from == to) return;
    Check(from, Count());
    Check(to, Count());
    void* item = items_[size_t(from)];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, item);
}

void TList::Pack() { items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end()); }

void TList::Sort(const std::function<int(void*, void*)>& compare) {
    std::stable_sort(items_.begin(), items_.end(), [&](void* a, void* b) { return compare(a, b) < 0; });
}

// ---- collections ----

TCollectionItem::TCollectionItem(TCollection* collection) { Join(collection); }

TCollectionItem::~TCollectionItem() { Leave(); }

int TCollectionItem::Index() const {
    if (!collection_) return -1;
    const auto& items = collection_->items_;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i] == this) return int(i);
    return -1;
}

void TCollectionItem::Join(TCollection* collection) {
    if (collection == collection_) return;
    Leave();
    if (collection) collection->InsertItem(this);
}

void TCollectionItem::Leave() {
    if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::Changed(bool allItems) {
    if (collection_ && collection_->updateCount_ == 0) collection_->Update(allItems ? nullptr : this);
}

TCollection::TCollection(TItemFactory factory) : factory_(std::move(factory)) {}

TCollection::~TCollection() {
    ++updateCount_;  // no change reports while going
    while (!items_.empty()) delete items_.back();
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[std::size_t(index)];
}

TCollectionItem* TCollection::Add() {
    TCollectionItem* item = factory_ ? factory_(this) : new TCollectionItem(this);
    if (item->collection_ != this) item->Join(this);
    return item;
}

void TCollection::Clear() {
    if (items_.empty()) return;
    BeginUpdate();
    try {
        while (!items_.empty()) delete items_.back();
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::Delete(int index) { delete Items(index); }

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::Changed() {
    if (updateCount_ == 0) Update(nullptr);
}

void TCollection::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TCollection*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem* item : other->items_) Add()->Assign(item);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::InsertItem(TCollectionItem* item) {
    items_.push_back(item);
    item->collection_ = this;
    item->id_ = nextID_++;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
    item->collection_ = nullptr;
    Changed();
}

}  // namespace platform
