// Columns and the header record: display order, hit tests, widths, renumbering when
// columns go, and stream records, good and damaged.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/core/streams.h"
#include "treeview/vststrings.h"
#include "treeview/vtheader.h"

namespace treeview {
namespace {

using platform::TPoint;

class ColumnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.SetNodeDataSize(4);
        for (int width : {50, 60, 70, 80}) {
            TVastTreeColumn* column = columns()->Add();
            column->SetWidth(width);
            column->SetText("c" + std::to_string(column->Index()));
        }
    }
    TVastTreeColumns* columns() { return tree.Header()->Columns(); }
    TVastTreeColumn* column(int index) { return columns()->Items(index); }
    std::vector<int> order() {
        std::vector<int> result;
        for (int index : columns()->PositionToIndex()) result.push_back(index);
        return result;
    }
    TVastStringTree tree{nullptr};
};

TEST_F(ColumnsTest, HitTestsFollowDisplayOrderAndSkipHiddenColumns) {
    column(1)->SetOptions(column(1)->Options() & ~coVisible);
    column(3)->SetPosition(0);  // shown order: 3, 0, (1 hidden), 2
    EXPECT_EQ(order(), (std::vector<int>{3, 0, 1, 2}));
    EXPECT_EQ(column(0)->Left(), 80);
    EXPECT_EQ(column(1)->Left(), 130) << "a hidden column keeps the running sum";
    EXPECT_EQ(column(2)->Left(), 130);
    EXPECT_EQ(columns()->TotalWidth(), 200);
    struct Case {
        int x, y;
        TColumnIndex expected;
    };
    for (Case c : {Case{0, 5, 3}, Case{79, 5, 3}, Case{80, 5, 0}, Case{129, 5, 0}, Case{130, 5, 2}, Case{199, 5, 2},
                   Case{200, 5, InvalidColumn}, Case{-1, 5, InvalidColumn}, Case{10, -1, InvalidColumn},
                   Case{10, tree.Height() + 1, InvalidColumn}})
        EXPECT_EQ(columns()->ColumnFromPosition(TPoint{c.x, c.y}), c.expected) << c.x << "," << c.y;
    EXPECT_EQ(columns()->GetFirstVisibleColumn(), 3);
    EXPECT_EQ(columns()->GetLastVisibleColumn(), 2);
    EXPECT_EQ(columns()->GetNextVisibleColumn(0), 2);
    EXPECT_EQ(columns()->GetPreviousVisibleColumn(2), 0);
    EXPECT_EQ(columns()->GetNextColumn(2), InvalidColumn);
    EXPECT_EQ(columns()->GetPreviousColumn(3), InvalidColumn);
    EXPECT_THROW(columns()->GetNextColumn(4), platform::EListError);
    column(2)->SetOptions(column(2)->Options() & ~coAllowFocus);
    EXPECT_EQ(columns()->GetLastVisibleColumn(true), 0);

    // Scrolled: fixed columns stay, the others move.
    column(3)->SetOptions(column(3)->Options() | coFixed);
    tree.SetBounds(0, 0, 150, 100);
    tree.SetOffsetX(-30);
    EXPECT_EQ(columns()->ColumnFromPosition(TPoint{79, 5}), 3);
    EXPECT_EQ(columns()->ColumnFromPosition(TPoint{81, 5}), 0) << "80 + 30 lies in column 0 scrolled";
    EXPECT_EQ(columns()->ColumnFromPosition(TPoint{101, 5}), 2);
    EXPECT_EQ(column(0)->GetLeft(), 50);
    EXPECT_EQ(column(3)->GetLeft(), 0);
}

TEST_F(ColumnsTest, WidthsStayWithinTheirLimits) {
    std::vector<TColumnIndex> resized;
    tree.OnColumnResize = [&](TVTHeader*, TColumnIndex c) { resized.push_back(c); };
    column(0)->SetMinWidth(40);
    column(0)->SetWidth(5);
    EXPECT_EQ(column(0)->Width(), 40);
    EXPECT_EQ(column(0)->LastWidth(), 50);
    column(0)->SetWidth(40);
    EXPECT_EQ(column(0)->LastWidth(), 50) << "the same width changes nothing";
    EXPECT_EQ(resized, (std::vector<TColumnIndex>{0}));
    column(0)->SetMaxWidth(20);
    EXPECT_EQ(column(0)->MaxWidth(), 40) << "never below the minimum";
    column(1)->SetMaxWidth(55);
    EXPECT_EQ(column(1)->Width(), 55);
    EXPECT_EQ(column(2)->Left(), 95);
    column(1)->SetMinWidth(-3);
    EXPECT_EQ(column(1)->MinWidth(), 0);
    column(1)->SetMargin(-1);
    EXPECT_EQ(column(1)->Margin(), 4);

    // The auto-size column takes the room the others leave.
    tree.SetBounds(0, 0, 400, 100);
    tree.Header()->SetAutoSizeIndex(2);
    tree.Header()->SetOptions(tree.Header()->Options() | hoAutoResize);
    EXPECT_EQ(column(2)->Width(), 400 - 40 - 55 - 80);
    column(2)->SetWidth(20);
    EXPECT_EQ(column(2)->Width(), 225) << "it keeps the width the others leave";
    column(3)->SetWidth(100);
    EXPECT_EQ(column(2)->Width(), 205);
    EXPECT_EQ(columns()->TotalWidth(), 400);
}

TEST_F(ColumnsTest, PositionsAndTheFixedNeighbour) {
    column(0)->SetOptions(column(0)->Options() | coFixed);
    column(1)->SetOptions(column(1)->Options() | coFixed);
    column(3)->SetPosition(1);  // between two fixed columns: its right neighbour is fixed
    EXPECT_EQ(order(), (std::vector<int>{0, 3, 1, 2}));
    EXPECT_TRUE(column(3)->Options() & coFixed);
    column(0)->SetPosition(4 + 5);  // beyond the end: the last place
    EXPECT_EQ(order(), (std::vector<int>{3, 1, 2, 0}));
    EXPECT_FALSE(column(0)->Options() & coFixed) << "its left neighbour is not fixed";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(columns()->PositionToIndex()[column(i)->Position()], i);
}

TEST_F(ColumnsTest, ReferencesFollowWhenAColumnGoes) {
    struct Case {
        TColumnIndex main, deleted, expectedMain;
    };
    for (Case c : {Case{0, 0, 0}, Case{2, 0, 1}, Case{1, 3, 1}}) {
        TVastStringTree other(nullptr);
        TVastTreeColumns* list = other.Header()->Columns();
        for (int i = 0; i < 4; ++i) list->Add();
        list->Items(2)->SetPosition(0);
        other.Header()->SetMainColumn(c.main);
        other.Header()->SetSortColumn(3);
        list->Delete(c.deleted);
        EXPECT_EQ(other.Header()->MainColumn(), c.expectedMain) << c.main << " " << c.deleted;
        EXPECT_EQ(other.Header()->SortColumn(), c.deleted == 3 ? NoColumn : 2);
        ASSERT_EQ(list->PositionToIndex().size(), 3u);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(list->PositionToIndex()[list->Items(i)->Position()], i);
    }
    TVastStringTree single(nullptr);
    single.Header()->Columns()->Add();
    EXPECT_EQ(single.Header()->MainColumn(), 0);
    single.Header()->Columns()->Delete(0);
    EXPECT_EQ(single.Header()->MainColumn(), NoColumn);
    EXPECT_EQ(single.MainColumn(), NoColumn);
}

TEST_F(ColumnsTest, HeaderSettersClamp) {
    tree.Header()->SetMainColumn(10);
    EXPECT_EQ(tree.Header()->MainColumn(), 3);
    tree.Header()->SetSortColumn(-5);
    EXPECT_EQ(tree.Header()->SortColumn(), -1);
    TVastStringTree empty(nullptr);
    empty.Header()->SetMainColumn(2);
    EXPECT_EQ(empty.Header()->MainColumn(), NoColumn);
}

TEST_F(ColumnsTest, ScrollWidthAndDisplayName) {
    struct Case {
        std::vector<int> widths;
        std::vector<bool> fixed;
        int expected;
    };
    for (const Case& c : {Case{{50, 51}, {false, false}, 50}, Case{{51, 52}, {false, false}, 52},
                          Case{{40, 90}, {true, true}, tree.Indent()}, Case{{40, 90, 31}, {true, false, false}, 60}}) {
        TVastStringTree other(nullptr);
        for (std::size_t i = 0; i < c.widths.size(); ++i) {
            TVastTreeColumn* added = other.Header()->Columns()->Add();
            added->SetWidth(c.widths[i]);
            if (c.fixed[i]) added->SetOptions(added->Options() | coFixed);
        }
        EXPECT_EQ(other.Header()->Columns()->GetScrollWidth(), c.expected) << c.widths[0] << " " << c.widths[1];
    }
    column(2)->SetText("Gr\xC3\xBC\xC3\x9F" "e");  // Latin-1 only
    EXPECT_EQ(column(2)->GetDisplayName(), "Gr\xFC\xDF" "e");
    column(2)->SetText("\xE2\x82\xAC");  // the euro sign lies beyond Latin-1
    EXPECT_EQ(column(2)->GetDisplayName(), "Column 2");
}

TEST_F(ColumnsTest, ClicksNeedThePressedColumnUnlessForced) {
    std::vector<TColumnIndex> clicks;
    tree.OnHeaderClick = [&](TVTHeader*, TColumnIndex c, platform::TMouseButton, platform::TShiftState, int, int) {
        clicks.push_back(c);
    };
    int h = tree.Header()->Height();
    columns()->AdjustDownColumn(TPoint{10, -h + 3});
    EXPECT_EQ(columns()->DownIndex(), 0);
    columns()->HandleClick(TPoint{70, -h + 3}, platform::mbLeft, false, false);  // up on another column
    EXPECT_EQ(columns()->ClickIndex(), NoColumn);
    columns()->HandleClick(TPoint{70, -h + 3}, platform::mbRight, true, false);
    columns()->HandleClick(TPoint{10, -h + 3}, platform::mbLeft, false, false);
    EXPECT_EQ(clicks, (std::vector<TColumnIndex>{1, 0}));
    EXPECT_EQ(columns()->ClickIndex(), 0);
}

// ---- stream records ----

std::string Bytes(platform::TMemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.Size()));
}

void PutInt(std::string& bytes, std::size_t at, std::int32_t value) { std::memcpy(&bytes[at], &value, 4); }

TEST_F(ColumnsTest, HeaderRecordRoundTrip) {
    column(1)->SetAlignment(platform::taCenter);
    column(1)->SetMinWidth(30);
    column(2)->SetHint("h\xC3\xA9");
    column(3)->SetPosition(0);
    column(0)->SetColor(platform::clRed);
    tree.Header()->SetMainColumn(2);
    tree.Header()->SetSortColumn(1);
    tree.Header()->SetSortDirection(sdDescending);
    tree.Header()->SetStyle(hsPlates);
    tree.Header()->Font()->SetName("DejaVu Sans");
    platform::TMemoryStream stream;
    tree.Header()->SaveToStream(&stream);

    TVastStringTree copy(nullptr);
    stream.SetPosition(0);
    copy.Header()->LoadFromStream(&stream);
    EXPECT_EQ(stream.Position(), stream.Size());
    TVastTreeColumns* loaded = copy.Header()->Columns();
    ASSERT_EQ(loaded->Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(loaded->Items(i)->Position(), column(i)->Position()) << i;
        EXPECT_EQ(loaded->Items(i)->Options(), column(i)->Options()) << i;
        EXPECT_EQ(loaded->Items(i)->Color(), column(i)->Color()) << i;
        EXPECT_EQ(loaded->Items(i)->Width(), column(i)->Width()) << i;
    }
    EXPECT_TRUE(loaded->Equals(columns()));
    EXPECT_EQ(copy.Header()->MainColumn(), 2);
    EXPECT_EQ(copy.Header()->SortColumn(), 1);
    EXPECT_EQ(copy.Header()->SortDirection(), sdDescending);
    EXPECT_EQ(copy.Header()->Style(), hsPlates);
    EXPECT_EQ(copy.Header()->Font()->Name(), "DejaVu Sans");
    EXPECT_EQ(copy.Header()->Columns()->Items(2)->Hint(), "h\xC3\xA9");
    EXPECT_FALSE(copy.Header()->States() & hsLoading);
}

TEST_F(ColumnsTest, OlderColumnRecordsConvertTheirOptions) {
    // A version 1 column record: no colour, options with bits 4-6 moved up one.
    platform::TMemoryStream stream;
    auto put = [&](std::int32_t value) { stream.WriteBuffer(&value, 4); };
    put(1);                                    // count
    put(0), put(0);                            // caption, hint
    for (std::int32_t v : {77, 10, 10000, 0, -1, 0, 4, 4, 0}) put(v);
    put(0x2F);                                 // options
    put(5), put(platform::taRightJustify);     // tag, alignment
    put(0);                                    // position array
    stream.SetPosition(0);
    columns()->LoadFromStream(&stream, 1);
    ASSERT_EQ(columns()->Count(), 1);
    EXPECT_EQ(column(0)->Options(), 0x4F);
    EXPECT_EQ(column(0)->Width(), 77);
    EXPECT_EQ(column(0)->Tag(), 5);
    EXPECT_EQ(stream.Position(), stream.Size());
}

TEST_F(ColumnsTest, DamagedHeaderRecordsAreRefusedOrRepaired) {
    platform::TMemoryStream stream;
    tree.Header()->SaveToStream(&stream);
    const std::string good = Bytes(stream);
    // Offsets in the record: 8 the column count, 12 the first caption length; from the
    // end: sort settings (12), font pitch and style (8), the font name, its length, font
    // colour and height (8), the header's five values (20), the position array (16).
    const std::size_t name = tree.Header()->Font()->Name().size();
    const std::size_t nameLength = good.size() - 12 - 8 - name - 4;
    const std::size_t array = nameLength - 8 - 20 - 16;
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        bool refused;
    };
    const std::vector<Case> cases = {
        {"truncated", [](std::string& b) { b.resize(b.size() / 2); }, true},
        {"lying caption length", [](std::string& b) { PutInt(b, 12, 0x7FFFFFF0); }, true},
        {"negative caption length", [](std::string& b) { PutInt(b, 12, -2); }, true},
        {"lying column count", [](std::string& b) { PutInt(b, 8, 1 << 28); }, true},
        {"lying font name length",
         [&](std::string& b) { PutInt(b, nameLength, 1 << 30); }, true},
        {"position array with a repeat",
         [&](std::string& b) {
             PutInt(b, array, 2);
             PutInt(b, array + 4, 2);
         },
         false},
    };
    for (const Case& c : cases) {
        std::string bytes = good;
        c.damage(bytes);
        platform::TMemoryStream damaged;
        damaged.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
        damaged.SetPosition(0);
        TVastStringTree target(nullptr);
        if (c.refused)
            EXPECT_THROW(target.Header()->LoadFromStream(&damaged), platform::EReadError) << c.name;
        else
            EXPECT_NO_THROW(target.Header()->LoadFromStream(&damaged)) << c.name;
        EXPECT_FALSE(target.Header()->States() & hsLoading) << c.name;
        TVastTreeColumns* list = target.Header()->Columns();
        for (int i = 0; i < list->Count(); ++i)
            EXPECT_EQ(list->PositionToIndex()[list->Items(i)->Position()], i) << c.name << ": order made whole";
        if (!c.refused) {
            EXPECT_EQ(list->Count(), 4) << c.name;
            EXPECT_EQ(list->PositionToIndex(), (std::vector<std::int32_t>{0, 1, 2, 3})) << c.name;
        }
        // The header stays usable.
        list->Add()->SetWidth(33);
        EXPECT_EQ(list->ColumnFromPosition(TPoint{list->TotalWidth() - 1, 3}), list->Count() - 1) << c.name;
    }
}

}  // namespace
}  // namespace treeview
