#include "platform/core/strings.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/core/streams.h"
#include "support/tempdir.h"

using namespace platform;

namespace {
std::string Joined(const TStrings& list) {
    std::string out;
    for (int i = 0; i < list.Count(); ++i) out += (i ? "|" : "") + list[i];
    return out;
}
}  // namespace

TEST(StringList, SortedDuplicatesAndCaseTable) {
    struct Case {
        TDuplicates dup;
        bool caseSensitive;
        const char* expected;  // after adding b, A, a, c, B
        bool raises;
    };
    const Case cases[] = {
        {dupIgnore, false, "A|b|c", false},
        {dupAccept, false, "a|A|B|b|c", false},  // a new equal line goes before the old ones
        {dupError, false, "A|b|c", true},
        {dupIgnore, true, "A|B|a|b|c", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        TStringList list;
        list.SetSorted(true);
        list.SetDuplicates(c.dup);
        list.SetCaseSensitive(c.caseSensitive);
        bool raised = false;
        for (const char* s : {"b", "A", "a", "c", "B"}) {
            try {
                list.Add(s);
            } catch (const EStringListError&) {
                raised = true;
            }
        }
        EXPECT_EQ(Joined(list), c.expected);
        EXPECT_EQ(raised, c.raises);
        int index = -1;
        EXPECT_TRUE(list.Find("C", index) == !c.caseSensitive);
        EXPECT_EQ(list.IndexOf("zz"), -1);
    }
}

TEST(StringList, SortedListRefusesPositionalChangesAndIndexErrors) {
    TStringList list;
    list.Add("x");
    list.SetSorted(true);
    EXPECT_THROW(list.Insert(0, "a"), EStringListError);
    EXPECT_THROW(list.Put(0, "a"), EStringListError);
    list.SetSorted(false);
    for (int bad : {-1, 1}) {
        EXPECT_THROW(list.Get(bad), EStringListError);
        EXPECT_THROW(list.Delete(bad), EStringListError);
    }
    EXPECT_THROW(list.Insert(2, "a"), EStringListError);
    list.Insert(1, "y");
    EXPECT_EQ(Joined(list), "x|y");
    EXPECT_EQ(list.IndexOf("Y"), 1);  // case-insensitive by default
}

TEST(StringList, ChangeEventsAreBracketedByUpdates) {
    TStringList list;
    int changing = 0, changed = 0;
    list.OnChanging = [&](TObject*) { ++changing; };
    list.OnChange = [&](TObject*) { ++changed; };
    list.Add("a");
    EXPECT_EQ(changed, 1);
    list.BeginUpdate();
    list.Add("b");
    list.Delete(0);
    list.BeginUpdate();
    list.Add("c");
    list.EndUpdate();
    EXPECT_EQ(changed, 1);
    list.EndUpdate();
    EXPECT_EQ(changing, 2);
    EXPECT_EQ(changed, 2);
}

TEST(StringList, NamesValuesTextAndCommaText) {
    TStringList list;
    list.SetText("Skin=blue\r\nwidth=320\rno value\nurl=a=b");
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Values("WIDTH"), "320");
    EXPECT_EQ(list.Values("url"), "a=b");
    EXPECT_EQ(list.Names(2), "");
    list.SetValue("width", "640");
    list.SetValue("height", "480");
    list.SetValue("skin", "");
    EXPECT_EQ(list.Text(), "width=640\nno value\nurl=a=b\nheight=480\n");

    TStringList comma;
    comma.SetCommaText(R"(a, "b c",,"say ""hi""" , d)");
    EXPECT_EQ(Joined(comma), "a|b c||say \"hi\"|d");
    TStringList back;
    back.SetCommaText(comma.CommaText());
    EXPECT_TRUE(back.Equals(comma));
}

TEST(StringList, OwnedObjectsAndAssign) {
    struct Counted : TObject {
        int* alive;
        explicit Counted(int* a) : alive(a) { ++*alive; }
        ~Counted() override { --*alive; }
    };
    int alive = 0;
    {
        TStringList list;
        list.SetOwnsObjects(true);
        list.AddObject("one", new Counted(&alive));
        list.AddObject("two", new Counted(&alive));
        list.Delete(0);
        EXPECT_EQ(alive, 1);
        TStringList copy;
        copy.Assign(&list);
        EXPECT_EQ(copy.Objects(0), list.Objects(0));  // shared, not owned by the copy
    }
    EXPECT_EQ(alive, 0);
    TStringList list;
    TComponent c;
    EXPECT_THROW(list.Assign(&c), EConvertError);
}

TEST(StringList, FilesRoundTripAndFailClearly) {
    testsupport::TempDir dir;
    TStringList list;
    list.Add("first");
    list.Add("zweite ü");
    list.SaveToFile(dir / "list.txt");
    TStringList back;
    back.LoadFromFile(dir / "list.txt");
    EXPECT_TRUE(back.Equals(list));
    try {
        back.LoadFromFile(dir / "missing.txt");
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("missing.txt"), std::string::npos) << e.Message();
        EXPECT_EQ(back.Count(), 2);  // nothing lost
    }
    EXPECT_THROW(list.SaveToFile(dir / "no/such/dir.txt"), EFCreateError);
}
