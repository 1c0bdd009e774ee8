#pragma once
// The object model of the window class library: TObject, TPersistent and TComponent.
//
// Ownership: a component created with an owner is destroyed with it. The owner keeps its
// components in creation order and destroys them last-created first. A component that
// holds a plain pointer to a component it does not own calls FreeNotification on it and
// is told through Notification(it, opRemove) before it goes, so it can drop the pointer.
//
// C++ note: ~TComponent runs after a derived class's own destructor, so owned components
// are destroyed when the owner is only a TComponent any more. A derived class that needs
// its components gone while it is still whole calls DestroyComponents() in its destructor.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/exceptions.h"

namespace platform {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // The class's own name without namespace, e.g. "TStringList".
    std::string ClassName() const;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

class TPersistent : public TObject {
public:
    // Copies source into this object. The default asks the source (AssignTo) and raises
    // EConvertError "Cannot assign a <source> to a <this>" when neither side knows how.
    virtual void Assign(TPersistent* source);

protected:
    virtual void AssignTo(TPersistent* dest);

private:
    [[noreturn]] void AssignError(TPersistent* source);
};

enum TOperation { opInsert, opRemove };

// ComponentState flags; test with (c->ComponentState() & csLoading).
enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3,
    csDesigning = 1u << 4,
    csUpdating = 1u << 5,
};
using TComponentState = unsigned;

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    // Raises EListError when index is out of range.
    TComponent* Components(int index) const;
    // Position in the owner's list, -1 without owner.
    int ComponentIndex() const;
    // The owned component of that name (case-insensitive), or nullptr.
    TComponent* FindComponent(const std::string& name) const;

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Destroys every owned component, last first.
    void DestroyComponents();

    const std::string& Name() const { return name_; }
    // Raises EComponentError for a name that is not an identifier or is already taken
    // by another component of the same owner. The empty name is always allowed.
    virtual void SetName(const std::string& name);

    std::intptr_t Tag() const { return tag_; }
    void SetTag(std::intptr_t tag) { tag_ = tag; }

    TComponentState ComponentState() const { return state_; }
    // Marks the component (and its owned components) as being loaded; Loaded ends it.
    void BeginLoading();
    // Called when loading has finished; clears csLoading. Overrides call the base.
    virtual void Loaded();
    // Sets csDestroying on this component and everything it owns.
    void Destroying();

    // Asks to be told (Notification(component, opRemove)) before component is destroyed;
    // the link is mutual, so component is told when this one goes as well.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Told about insertion into and removal from the owner (which passes the news on to
    // every component it owns) and about the end of a free-notification partner.
    // It may be called more than once for the same component; overrides drop pointers
    // to component on opRemove and then call the base.
    virtual void Notification(TComponent* component, TOperation operation);

protected:
    void SetComponentState(TComponentState state) { state_ = state; }

private:
    void UnlinkFreeNotification(TComponent* component);

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    std::string name_;
    std::intptr_t tag_ = 0;
    TComponentState state_ = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// A list of untyped pointers. Index errors raise EListError.
class TList : public TObject {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    void* Items(int index) const;
    void Put(int index, void* item);
    int Add(void* item);
    void Insert(int index, void* item);
    void Delete(int index);
    // Removes the first occurrence; returns its former index or -1.
    int Remove(void* item);
    void* Extract(void* item);
    int IndexOf(void* item) const;
    void Clear() { items_.clear(); }
    void Exchange(int a, int b);
    void Move(int from, int to);
    void* First() const { return Items(0); }
    void* Last() const { return Items(Count() - 1); }
    // Drops every nullptr entry.
    void Pack();
    // Stable sort; compare returns <0, 0 or >0 like the class library's sort callbacks.
    void Sort(const std::function<int(void*, void*)>& compare);

private:
    void Check(int index, int count) const;
    std::vector<void*> items_;
};

class TCollection;

// One item of a TCollection. The most-derived constructor joins the collection at its
// end (Join), once the item is whole, since joining reports a change that may read it;
// a destructor that needs the item whole while the collection updates calls Leave.
class TCollectionItem : public TPersistent {
public:
    // Joins the collection at once (for items without fields of their own).
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;

    TCollection* Collection() const { return collection_; }
    // Position in the collection, -1 outside one.
    int Index() const;
    // A number unique within the collection, given when the item joins.
    int ID() const { return id_; }

protected:
    struct Deferred {};
    TCollectionItem(TCollection*, Deferred) {}
    void Join(TCollection* collection);
    void Leave();
    // Reports a change of this item (or of all items) to the collection.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* collection_ = nullptr;
    int id_ = 0;
};

// An owned, ordered list of items of one kind. Changes reach Update only outside
// BeginUpdate/EndUpdate; the outermost EndUpdate reports one change for all. Index errors
// raise EListError.
class TCollection : public TPersistent {
public:
    using TItemFactory = std::function<TCollectionItem*(TCollection*)>;
    explicit TCollection(TItemFactory factory);
    ~TCollection() override;

    int Count() const { return static_cast<int>(items_.size()); }
    TCollectionItem* Items(int index) const;
    // A new item of the collection's kind, at the end.
    TCollectionItem* Add();
    virtual void Clear();
    void Delete(int index);
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }
    // Replaces the items by new items assigned from the source's, in one update bracket.
    void Assign(TPersistent* source) override;

protected:
    // A change of item (nullptr: of the collection as a whole).
    virtual void Update(TCollectionItem* /*item*/) {}
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);

    TItemFactory factory_;
    std::vector<TCollectionItem*> items_;
    int updateCount_ = 0;
    int nextID_ = 0;
};

}  // namespace platform
