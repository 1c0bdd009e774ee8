// Geometry of a shown tree: display rectangles, clamped offsets, the scroll messages,
// scrolling nodes and columns into view, the window's scroll bars, measured heights.
#include <gtest/gtest.h>

#include <memory>

#include "platform/controls/forms.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "platform/windows/windows_test_support.h"
#include "tree_support.h"
#include "treeview/vtheader.h"

namespace treeview {
namespace {

using platform::TRect;

class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test::UseHeadlessBackend();
        form = new platform::TForm(nullptr);
        form->SetBounds(10, 10, 400, 300);
        form->AfterConstruction();
        tree = new TVastStringTree(form);
        tree->SetParent(form);
        tree->SetBounds(0, 0, 200, 100);
        tree->SetNodeDataSize(sizeof(test::NamedData));
        form->Show();
        platform::test::Pump();
        // 20 rows of 18 pixels; row 3 has two children, collapsed.
        for (int i = 0; i < 20; ++i) rows.push_back(test::Add(*tree, nullptr, "r" + std::to_string(i)));
        child = test::Add(*tree, rows[3], "c0");
        test::Add(*tree, rows[3], "c1");
        scrolls.clear();
        tree->OnScroll = [this](TBaseVastTree*, int dx, int dy) { scrolls.emplace_back(dx, dy); };
    }
    void TearDown() override {
        delete form;
        platform::test::Pump();
    }
    int Range() const { return 20 * 18; }

    platform::TForm* form = nullptr;
    TVastStringTree* tree = nullptr;
    std::vector<PVastNode> rows;
    PVastNode child = nullptr;
    std::vector<std::pair<int, int>> scrolls;
};

TEST_F(GeometryTest, DisplayRectangles) {
    const int width = std::max(tree->ClientWidth(), tree->RangeWidth());
    EXPECT_EQ(tree->GetDisplayRect(rows[2], NoColumn, false), (TRect{0, 36, width, 54}));
    EXPECT_EQ(tree->GetDisplayRect(child, NoColumn, false), (TRect{0, 0, 0, 0})) << "inside a collapsed row";
    tree->SetVisible(rows[1], false);
    EXPECT_EQ(tree->GetDisplayRect(rows[1], NoColumn, false), (TRect{0, 0, 0, 0})) << "hidden";
    EXPECT_EQ(tree->GetDisplayRect(rows[2], NoColumn, false).top, 18);
    tree->SetVisible(rows[1], true);
    tree->SetExpanded(rows[3], true);
    // Text: margin, one indent per level, one more with toShowRoot.
    TRect text = tree->GetDisplayRect(child, NoColumn, true);
    EXPECT_EQ(text.top, 72);
    EXPECT_EQ(text.left, tree->Margin() + 2 * tree->Indent());
    EXPECT_THROW(tree->GetDisplayRect(nullptr, NoColumn, false), platform::EAssertionFailed);
    EXPECT_THROW(tree->GetDisplayRect(tree->RootNode(), NoColumn, false), platform::EAssertionFailed);

    // With columns the cell is the column's, one pixel narrower.
    for (int w : {50, 60, 70}) tree->Header()->Columns()->Add()->SetWidth(w);
    EXPECT_EQ(tree->GetDisplayRect(rows[0], 1, false), (TRect{50, 0, 109, 18}));
    tree->SetOffsetY(-18);
    EXPECT_EQ(tree->GetDisplayRect(rows[0], 2, false), (TRect{110, -18, 179, 0}));
}

TEST_F(GeometryTest, OffsetsClampAndScrollMessagesMoveThem) {
    const int low = tree->ClientHeight() - Range();
    ASSERT_LT(low, 0);
    struct Case {
        int code;
        int start, expected;
    };
    const int page = tree->ClientHeight();
    for (Case c : {Case{platform::SB_LINEDOWN, 0, -20}, Case{platform::SB_LINEUP, -30, -10},
                   Case{platform::SB_LINEUP, -5, 0}, Case{platform::SB_PAGEDOWN, 0, std::max(low, -page)},
                   Case{platform::SB_PAGEUP, low, std::min(0, low + page)}, Case{platform::SB_BOTTOM, 0, low},
                   Case{platform::SB_TOP, low, 0}, Case{platform::SB_LINEDOWN, low, low}}) {
        tree->SetOffsetY(c.start);
        ASSERT_EQ(tree->OffsetY(), c.start);
        scrolls.clear();
        tree->Perform(platform::WM_VSCROLL, platform::WPARAM(c.code), 0);
        EXPECT_EQ(tree->OffsetY(), c.expected) << "code " << c.code << " from " << c.start;
        EXPECT_EQ(scrolls.size(), c.start == c.expected ? 0u : 1u) << "code " << c.code;
    }
    tree->SetOffsetY(-100000);
    EXPECT_EQ(tree->OffsetY(), low);
    tree->SetOffsetY(50);
    EXPECT_EQ(tree->OffsetY(), 0);
    tree->SetOffsetX(-10);
    EXPECT_EQ(tree->OffsetX(), 0) << "nothing is wider than the window";

    // The thumb position is read back from the bar, not the message.
    platform::SCROLLINFO info;
    info.fMask = platform::SIF_ALL;
    ASSERT_TRUE(platform::GetScrollInfo(tree->Handle(), platform::SB_VERT, &info));
    EXPECT_EQ(info.nMax, Range());
    EXPECT_EQ(info.nPage, unsigned(tree->ClientHeight() + 1));
}

TEST_F(GeometryTest, ScrollIntoViewBringsRowsToTheNearerEdge) {
    const int client = tree->ClientHeight();
    EXPECT_TRUE(tree->ScrollIntoView(rows[15], false));
    EXPECT_EQ(tree->GetDisplayRect(rows[15], NoColumn, false).bottom, client) << "below: to the bottom edge";
    EXPECT_FALSE(tree->ScrollIntoView(rows[15], false)) << "already shown";
    EXPECT_TRUE(tree->ScrollIntoView(rows[1], false));
    EXPECT_EQ(tree->GetDisplayRect(rows[1], NoColumn, false).top, 0) << "above: to the top edge";
    tree->ScrollIntoView(child, false);
    EXPECT_TRUE(tree->GetExpanded(rows[3])) << "its parent was expanded";
    TRect r = tree->GetDisplayRect(child, NoColumn, false);
    EXPECT_TRUE(r.top >= 0 && r.bottom <= client);
    tree->ScrollIntoView(rows[10], true);
    r = tree->GetDisplayRect(rows[10], NoColumn, false);
    EXPECT_EQ(r.bottom, client / 2);
    EXPECT_FALSE(tree->ScrollIntoView(nullptr, false));
    EXPECT_EQ(tree->TopNode(), tree->GetNodeAt(0, 0));
    tree->SetTopNode(rows[4]);
    EXPECT_EQ(tree->TopNode(), rows[4]);
}

TEST_F(GeometryTest, ColumnsScrollIntoViewBesideFixedOnes) {
    TVastTreeColumns* columns = tree->Header()->Columns();
    for (int w : {60, 100, 100, 100}) columns->Add()->SetWidth(w);
    columns->Items(0)->SetOptions(columns->Items(0)->Options() | coFixed);
    const int client = tree->ClientWidth();
    EXPECT_TRUE(tree->ScrollIntoView(3, false));
    EXPECT_EQ(tree->HorzScrollPos(), 360 - client) << "right edge to the window's right";
    EXPECT_TRUE(tree->ScrollIntoView(1, false));
    EXPECT_EQ(tree->HorzScrollPos(), 0) << "left edge beside the fixed column";
    EXPECT_FALSE(tree->ScrollIntoView(7, false));
}

TEST_F(GeometryTest, MeasuredHeightsApplyEvenReadOnly) {
    int measured = 0;
    tree->OnMeasureItem = [&](TBaseVastTree*, platform::TCanvas*, PVastNode, int& height) {
        ++measured;
        height = 30;
    };
    tree->TreeOptions()->SetMiscOptions(tree->TreeOptions()->MiscOptions() | toVariableNodeHeight | toReadOnly);
    EXPECT_EQ(tree->GetNodeHeight(rows[0]), 30);
    EXPECT_EQ(tree->GetNodeHeight(rows[0]), 30);
    EXPECT_EQ(measured, 1) << "measured once until invalidated";
    tree->SetNodeHeight(rows[1], 40);
    EXPECT_EQ(rows[1]->NodeHeight, 18) << "explicit heights are refused while read-only";
    EXPECT_EQ(tree->GetDisplayRect(rows[1], NoColumn, false).top, 30);
    tree->TreeOptions()->SetMiscOptions(tree->TreeOptions()->MiscOptions() & ~toReadOnly);
    tree->SetNodeHeight(rows[1], 0);
    tree->SetNodeHeight(rows[2], 65535);
    EXPECT_EQ(tree->RangeHeight(), 30 + 0 + 65535 + 17 * 18);
    tree->SetVerticalAlignment(rows[0], 150);
    EXPECT_EQ(tree->GetVerticalAlignment(rows[0]), 100);
    tree->SetOffsetY(-1000000);
    EXPECT_EQ(tree->OffsetY(), tree->ClientHeight() - tree->RangeHeight());
}

}  // namespace
}  // namespace treeview
