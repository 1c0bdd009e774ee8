// Collections: ownership, change reports and their brackets, index errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/classes.h"

namespace platform {
namespace {

// Records every change report as "item <index>" or "all".
class Recording : public TCollection {
public:
    Recording() : TCollection(nullptr) {}
    std::vector<std::string> reports;

protected:
    void Update(TCollectionItem* item) override {
        reports.push_back(item ? "item " + std::to_string(item->Index()) : "all");
    }
};

class Named : public TCollectionItem {
public:
    explicit Named(TCollection* collection) : TCollectionItem(collection, Deferred{}) { Join(collection); }
    void SetName(const std::string& value) {
        name = value;
        Changed(false);
    }
    void Assign(TPersistent* source) override {
        if (auto* other = dynamic_cast<Named*>(source)) {
            name = other->name;
            return;
        }
        TCollectionItem::Assign(source);
    }
    std::string name;
};

TEST(Collection, ChangesReachUpdateOnlyOutsideBrackets) {
    Recording list;
    auto* first = new Named(&list);
    auto* second = new Named(&list);
    EXPECT_EQ(list.reports, (std::vector<std::string>{"all", "all"}));
    EXPECT_EQ(second->Index(), 1);
    EXPECT_NE(first->ID(), second->ID());
    list.reports.clear();

    second->SetName("b");
    EXPECT_EQ(list.reports, (std::vector<std::string>{"item 1"}));
    list.reports.clear();

    list.BeginUpdate();
    list.BeginUpdate();
    first->SetName("a");
    new Named(&list);
    list.Delete(0);
    list.EndUpdate();
    EXPECT_TRUE(list.reports.empty()) << "nothing while bracketed";
    list.EndUpdate();
    EXPECT_EQ(list.reports, (std::vector<std::string>{"all"})) << "one report for all";
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(static_cast<Named*>(list.Items(0))->name, "b");
    EXPECT_EQ(list.Items(0)->Index(), 0);
}

TEST(Collection, IndexErrorsAndOwnership) {
    Recording list;
    EXPECT_THROW(list.Items(0), EListError);
    new Named(&list);
    EXPECT_THROW(list.Items(1), EListError);
    EXPECT_THROW(list.Items(-1), EListError);
    EXPECT_THROW(list.Delete(3), EListError);
    auto* item = list.Items(0);
    delete item;  // an item leaves its collection when freed
    EXPECT_EQ(list.Count(), 0);
    new Named(&list);
    new Named(&list);
    list.reports.clear();
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.reports, (std::vector<std::string>{"all"}));
}

TEST(Collection, AssignCopiesItems) {
    TCollection source([](TCollection* c) { return new Named(c); });
    TCollection target([](TCollection* c) { return new Named(c); });
    static_cast<Named*>(source.Add())->name = "x";
    static_cast<Named*>(source.Add())->name = "y";
    target.Add();
    target.Assign(&source);
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(static_cast<Named*>(target.Items(1))->name, "y");
    EXPECT_NE(target.Items(0), source.Items(0));
}

}  // namespace
}  // namespace platform
