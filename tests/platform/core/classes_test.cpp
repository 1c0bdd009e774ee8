#include "platform/core/classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

// Records every notification it gets and drops its reference like a real control does.
class Probe : public TComponent {
public:
    Probe(TComponent* owner, std::vector<std::string>* log, std::string label)
        : TComponent(owner), log_(log), label_(std::move(label)) {}
    ~Probe() override { log_->push_back("free " + label_); }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        auto* p = dynamic_cast<Probe*>(c);
        log_->push_back(label_ + (op == opInsert ? " +" : " -") + (p ? p->label_ : "?"));
        if (op == opRemove && c == ref) ref = nullptr;
    }
    void Loaded() override {
        TComponent::Loaded();
        log_->push_back("loaded " + label_);
    }
    TComponent* ref = nullptr;

private:
    std::vector<std::string>* log_;
    std::string label_;
};

class Colour : public TPersistent {
public:
    int value = 0;
    void Assign(TPersistent* source) override {
        if (auto* c = dynamic_cast<Colour*>(source)) {
            value = c->value;
            return;
        }
        TPersistent::Assign(source);
    }
};

}  // namespace

TEST(Component, OwnerFreesOwnedLastFirstAndNotifiesInsertAndRemove) {
    std::vector<std::string> log;
    auto* owner = new Probe(nullptr, &log, "owner");
    auto* a = new Probe(nullptr, &log, "a");
    auto* b = new Probe(nullptr, &log, "b");
    owner->InsertComponent(a);
    owner->InsertComponent(b);
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(b->Owner(), owner);
    EXPECT_EQ(b->ComponentIndex(), 1);
    // The owner hears of b's arrival and passes it on to a (before its own log line).
    EXPECT_EQ(log, (std::vector<std::string>{"owner +a", "a +b", "owner +b"}));
    log.clear();

    // Owned components leave while still whole, so a sibling can tell which one goes.
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"free owner", "a -b", "free b", "free a"}));
}

TEST(Component, DeletingAnOwnedComponentTakesItOutOfTheOwner) {
    std::vector<std::string> log;
    Probe owner(nullptr, &log, "owner");
    auto* a = new Probe(&owner, &log, "a");
    auto* b = new Probe(&owner, &log, "b");
    delete a;
    ASSERT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), b);
    EXPECT_THROW(owner.Components(1), EListError);
}

TEST(Component, FreeNotificationClearsReferencesBothWays) {
    std::vector<std::string> log;
    auto* holder = new Probe(nullptr, &log, "holder");
    auto* target = new Probe(nullptr, &log, "target");
    holder->ref = target;
    holder->FreeNotification(target);
    delete target;
    EXPECT_EQ(holder->ref, nullptr);

    // The other way round: the holder goes first, the target must not tell a dead holder.
    auto* target2 = new Probe(nullptr, &log, "target2");
    holder->FreeNotification(target2);
    delete holder;
    log.clear();
    delete target2;
    EXPECT_EQ(log, (std::vector<std::string>{"free target2"}));

    // A removed link is not notified.
    auto* h = new Probe(nullptr, &log, "h");
    auto* t = new Probe(nullptr, &log, "t");
    h->ref = t;
    h->FreeNotification(t);
    h->RemoveFreeNotification(t);
    delete t;
    EXPECT_EQ(h->ref, t);
    delete h;
}

TEST(Component, FreeNotificationSurvivesMovingTheTargetToAnotherOwner) {
    std::vector<std::string> log;
    auto* first = new Probe(nullptr, &log, "first");
    auto* second = new Probe(nullptr, &log, "second");
    auto* holder = new Probe(first, &log, "holder");
    auto* target = new Probe(first, &log, "target");
    holder->ref = target;
    holder->FreeNotification(target);
    second->InsertComponent(target);  // leaves first: the holder is told and lets go
    EXPECT_EQ(holder->ref, nullptr);
    EXPECT_EQ(target->Owner(), second);
    delete first;   // frees the holder
    delete second;  // frees the target, which must not reach the freed holder
    EXPECT_EQ(log.back(), "free target");
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwner) {
    TComponent owner;
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    a->SetName("btnPlay");
    EXPECT_EQ(owner.FindComponent("BTNPLAY"), a);
    EXPECT_THROW(b->SetName("BtnPlay"), EComponentError);
    for (const char* bad : {"1abc", "a b", "a-b", "ä"}) EXPECT_THROW(b->SetName(bad), EComponentError) << bad;
    b->SetName("btnStop");
    b->SetName("");
    EXPECT_EQ(owner.FindComponent("btnStop"), nullptr);
    b->SetTag(42);
    EXPECT_EQ(b->Tag(), 42);
}

TEST(Component, LoadingAndDestroyingState) {
    std::vector<std::string> log;
    Probe owner(nullptr, &log, "owner");
    auto* child = new Probe(&owner, &log, "child");
    owner.BeginLoading();
    EXPECT_TRUE(child->ComponentState() & csLoading);
    child->Loaded();
    owner.Loaded();
    EXPECT_FALSE(owner.ComponentState() & csLoading);
    EXPECT_FALSE(child->ComponentState() & csLoading);

    struct Child : TComponent {
        using TComponent::TComponent;
        bool* sawDestroying = nullptr;
        ~Child() override { *sawDestroying = ComponentState() & csDestroying; }
    };
    bool seen = false;
    {
        TComponent o;
        (new Child(&o))->sawDestroying = &seen;
    }
    EXPECT_TRUE(seen);
}

TEST(Persistent, AssignCopiesKnownClassesAndRaisesForOthers) {
    Colour a, b;
    a.value = 7;
    b.Assign(&a);
    EXPECT_EQ(b.value, 7);
    TComponent c;
    try {
        b.Assign(&c);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TComponent to a Colour");
    }
    EXPECT_THROW(b.Assign(nullptr), EConvertError);
}
