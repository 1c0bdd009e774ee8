// The owner-draw tree: the application draws each shown row's cell and gives its width.
#include <gtest/gtest.h>

#include "paint_support.h"
#include "treeview/vtdrawtree.h"

namespace treeview {
namespace {

using namespace platform;

TEST(DrawTree, TheApplicationDrawsAndMeasures) {
    platform::test::UseHeadlessBackend();
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    form.AfterConstruction();
    auto* tree = new TVastDrawTree(&form);
    tree->SetParent(&form);
    tree->SetBorderStyle(bsNone);
    tree->SetBounds(0, 0, 200, 100);
    tree->SetNodeDataSize(sizeof(int));
    tree->SetRootNodeCount(50);
    std::vector<std::uint32_t> drawn;
    tree->OnDrawNode = [&](TBaseVastTree*, const TVTPaintInfo& info) {
        drawn.push_back(info.Node->Index);
        // A red bar over the content: it must reach the picture.
        info.Canvas->Brush()->SetColor(clRed);
        TRect bar = info.ContentRect;
        bar.right = bar.left + 20;
        info.Canvas->FillRect(bar);
    };
    EXPECT_EQ(tree->DoGetNodeWidth(tree->GetFirst(), NoColumn, nullptr), 2 * tree->TextMargin());
    tree->OnGetNodeWidth = [](TBaseVastTree*, TCanvas*, PVastNode node, TColumnIndex, int& width) {
        width = 10 + int(node->Index);
    };
    EXPECT_EQ(tree->DoGetNodeWidth(tree->GetFirst()->NextSibling, NoColumn, nullptr), 11);

    TBitmap bitmap;
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(tree->ClientWidth(), tree->ClientHeight());
    tree->PaintTree(bitmap.Canvas(), TRect{0, 0, tree->ClientWidth(), tree->ClientHeight()}, TPoint{0, 0},
                    DefaultPaintFlags);
    // 100 pixels of 18-pixel rows: rows 0 to 5, nothing below the window.
    EXPECT_EQ(drawn, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    TRect content = tree->GetDisplayRect(tree->GetFirst(), NoColumn, true);
    EXPECT_EQ(ColorToRGB(bitmap.Canvas()->Pixels(content.left + 5, 9)), ColorToRGB(clRed));
}

}  // namespace
}  // namespace treeview
