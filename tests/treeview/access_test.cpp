// Accessibility inside the process: the factory's rules with fake providers, WM_GETOBJECT,
// the tree's own outline object on the job-list fixture, and the events of a focus change.
#include <gtest/gtest.h>

#include "paint_support.h"
#include "platform/windows/messages.h"
#include "treeview/vtaccess.h"

namespace treeview {
namespace {

using namespace platform;

// Answers a fresh object of the tree's own kind (or none) and counts the asks.
struct FakeProvider : TInterfacedObject, IVTAccessibleProvider {
    explicit FakeProvider(bool answers) : answers(answers) {}
    HRESULT QueryInterface(REFIID riid, void** object) override { return TInterfacedObject::QueryInterface(riid, object); }
    IAccessible* CreateIAccessible(TBaseVastTree* tree) override {
        ++asks;
        if (!answers) return nullptr;
        IAccessible* object = real.CreateIAccessible(tree);
        made.push_back(object);
        return object;
    }
    bool answers;
    int asks = 0;
    std::vector<IAccessible*> made;
    TVTTreeAccessibleProvider real;
};

class AccessTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto& p : providers) GetAccessibilityFactory()->UnRegisterAccessibleProvider(p.Get());
        SetAccessibleEventSink(nullptr);
    }
    FakeProvider* Register(bool answers) {
        auto* p = new FakeProvider(answers);
        providers.emplace_back(p);
        GetAccessibilityFactory()->RegisterAccessibleProvider(p);
        return p;
    }
    LRESULT GetObject(LPARAM id) { return tree()->Perform(WM_GETOBJECT, 0, id); }
    TVastStringTree* tree() { return fixture.tree; }
    test::PaintFixture fixture;
    std::vector<TComPtr<FakeProvider>> providers;
};

TEST_F(AccessTest, WithoutProvidersTheTreeAnswersNothing) {
    EXPECT_EQ(GetObject(OBJID_CLIENT), 0);
    EXPECT_EQ(tree()->Accessible(), nullptr);
    EXPECT_EQ(tree()->AccessibleItem(), nullptr);
    std::vector<DWORD> events;
    SetAccessibleEventSink([&](DWORD e, HWND, long, long) { events.push_back(e); });
    tree()->SetFocusedNode(fixture.nodes[0]);
    EXPECT_TRUE(events.empty()) << "no notifications without an accessible item";
}

TEST_F(AccessTest, FactoryRules) {
    FakeProvider* first = Register(true);
    GetAccessibilityFactory()->RegisterAccessibleProvider(first);  // a second registration is ignored
    TComPtr<FakeProvider> stranger(new FakeProvider(true));
    GetAccessibilityFactory()->UnRegisterAccessibleProvider(stranger.Get());  // not registered: nothing
    // Another object than the client: the objects are made, nothing is answered.
    EXPECT_EQ(GetObject(-1), 0);
    ASSERT_EQ(first->made.size(), 2u) << "one provider builds both objects";
    EXPECT_EQ(tree()->Accessible(), first->made[0]);
    EXPECT_EQ(tree()->AccessibleItem(), first->made[1]);
    // The client object: a handle that gives the object back once.
    LRESULT handle = GetObject(OBJID_CLIENT);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(first->asks, 2) << "made once, kept";
    TComPtr<IAccessible> back = ObjectFromLresult(handle);
    EXPECT_EQ(back.Get(), tree()->Accessible());
    EXPECT_EQ(ObjectFromLresult(handle).Get(), nullptr);
}

TEST_F(AccessTest, LaterProvidersAreAskedFirstForTheItem) {
    struct Case {
        bool secondAnswers, thirdAnswers;
        int firstAsks, secondAsks, thirdAsks;
    };
    // The first provider builds the object; the item comes from the last that answers
    // (from the last down to the second), else from the first again.
    const Case cases[] = {{true, true, 1, 0, 1}, {true, false, 1, 1, 1}, {false, false, 2, 1, 1}};
    for (const Case& c : cases) {
        TearDown();
        providers.clear();
        FakeProvider* first = Register(true);
        FakeProvider* second = Register(c.secondAnswers);
        FakeProvider* third = Register(c.thirdAnswers);
        test::PaintFixture local;
        EXPECT_TRUE(ObjectFromLresult(local.tree->Perform(WM_GETOBJECT, 0, OBJID_CLIENT)));
        EXPECT_EQ(first->asks, c.firstAsks);
        EXPECT_EQ(second->asks, c.secondAsks);
        EXPECT_EQ(third->asks, c.thirdAsks);
        EXPECT_NE(local.tree->AccessibleItem(), nullptr);
    }
}

TEST_F(AccessTest, TheTreesOutlineAnswersFromTheTree) {
    Register(true);
    TComPtr<IAccessible> object = ObjectFromLresult(GetObject(OBJID_CLIENT));
    ASSERT_TRUE(object);
    // Shown rows: title (expanded, mixed), chapter 1 (checked), chapter 2, holiday
    // (checked, selected, focused), disabled, last.
    EXPECT_EQ(object->ChildCount(), 6);
    EXPECT_EQ(object->Role(CHILDID_SELF), ROLE_SYSTEM_OUTLINE);
    EXPECT_EQ(object->Role(1), ROLE_SYSTEM_OUTLINEITEM);
    EXPECT_EQ(object->Role(7), 0);
    struct Case {
        long child;
        const char* name;
        const char* level;
        unsigned states, absent;
    };
    const Case cases[] = {
        {1, "title_01.vob", "0", STATE_SYSTEM_EXPANDED | STATE_SYSTEM_MIXED, STATE_SYSTEM_SELECTED},
        {2, "chapter 1", "1", STATE_SYSTEM_CHECKED, STATE_SYSTEM_EXPANDED | STATE_SYSTEM_COLLAPSED},
        {4, "holiday.avi", "0", STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_CHECKED, 0},
        {5, "disabled.mpg", "0", STATE_SYSTEM_UNAVAILABLE, STATE_SYSTEM_CHECKED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(object->Name(c.child), c.name);
        EXPECT_EQ(object->Value(c.child), c.level);
        EXPECT_EQ(object->State(c.child) & c.states, c.states);
        EXPECT_EQ(object->State(c.child) & c.absent, 0u);
    }
    EXPECT_EQ(object->Focus(), 4);
    EXPECT_EQ(object->Selection(), std::vector<long>{4});
    TRect row = object->Location(2);
    TPoint client = tree()->ClientToScreen(TPoint{0, 18});
    EXPECT_EQ(row.top, client.y);
    EXPECT_EQ(row.bottom - row.top, 18);
    // Collapsing the first row hides its children from the outline.
    tree()->SetExpanded(fixture.nodes[0], false);
    EXPECT_EQ(object->ChildCount(), 4);
    EXPECT_EQ(object->State(1) & STATE_SYSTEM_COLLAPSED, STATE_SYSTEM_COLLAPSED);
    EXPECT_EQ(object->Name(2), "holiday.avi");
}

TEST_F(AccessTest, EventsOfAFocusChangeComeInOrder) {
    Register(true);
    TComPtr<IAccessible> object = ObjectFromLresult(GetObject(OBJID_CLIENT));
    std::vector<DWORD> events;
    HWND window = nullptr;
    SetAccessibleEventSink([&](DWORD e, HWND w, long objectId, long childId) {
        events.push_back(e);
        window = w;
        EXPECT_EQ(objectId, OBJID_CLIENT);
        EXPECT_EQ(childId, CHILDID_SELF);
    });
    tree()->SetFocusedNode(fixture.nodes[5]);
    EXPECT_EQ(events, (std::vector<DWORD>{EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE,
                                          EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_SELECTION, EVENT_OBJECT_FOCUS}));
    EXPECT_EQ(window, tree()->Handle());
    events.clear();
    tree()->SetExpanded(fixture.nodes[0], false);
    tree()->SetCheckState(fixture.nodes[5], csCheckedNormal);
    EXPECT_EQ(events, (std::vector<DWORD>{EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE}));
}

TEST_F(AccessTest, AnotherMainColumnRenamesTheRows) {
    Register(true);
    TComPtr<IAccessible> object = ObjectFromLresult(GetObject(OBJID_CLIENT));
    ASSERT_TRUE(object);
    std::vector<DWORD> events;
    SetAccessibleEventSink([&](DWORD e, HWND, long, long) { events.push_back(e); });
    tree()->TreeOptions()->SetMiscOptions(tree()->TreeOptions()->MiscOptions() | toEditable);
    tree()->EditNode(fixture.nodes[3], 0);
    ASSERT_TRUE(tree()->IsEditing());
    tree()->Header()->SetMainColumn(1);
    EXPECT_EQ(events, std::vector<DWORD>{EVENT_OBJECT_NAMECHANGE});
    EXPECT_EQ(object->Name(1), "0:12:30");
    EXPECT_FALSE(tree()->IsEditing()) << "the edit ends with the main column";
    EXPECT_EQ(tree()->FocusedColumn(), 1);
    // The same main column again, or one past the columns on the last: no news.
    events.clear();
    tree()->Header()->SetMainColumn(1);
    tree()->Header()->SetMainColumn(3);
    tree()->Header()->SetMainColumn(9);
    EXPECT_EQ(events, std::vector<DWORD>{EVENT_OBJECT_NAMECHANGE});
    EXPECT_EQ(object->Name(4), "holiday.flv");
}

TEST_F(AccessTest, AnObjectOutlivingItsTreeAnswersEmpty) {
    Register(true);
    TComPtr<IAccessible> object;
    {
        test::PaintFixture local;
        object = ObjectFromLresult(local.tree->Perform(WM_GETOBJECT, 0, OBJID_CLIENT));
        ASSERT_TRUE(object);
        EXPECT_EQ(object->ChildCount(), 6);
    }
    EXPECT_EQ(object->ChildCount(), 0);
    EXPECT_EQ(object->Name(1), "");
    EXPECT_EQ(object->Window(), nullptr);
}

}  // namespace
}  // namespace treeview
