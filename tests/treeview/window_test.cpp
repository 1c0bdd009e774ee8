// A tree with a window: no repainting inside an update bracket, one repaint at its end.
#include <gtest/gtest.h>

#include "platform/controls/forms.h"
#include "platform/windows/windows_test_support.h"
#include "tree_support.h"

namespace treeview {
namespace {

TEST(TreeWindow, UpdateBracketHoldsRepaintsBack) {
    platform::test::UseHeadlessBackend();
    auto* form = new platform::TForm(nullptr);
    form->SetBounds(10, 10, 300, 200);
    form->AfterConstruction();
    auto* tree = new TVastStringTree(form);
    tree->SetParent(form);
    tree->SetNodeDataSize(sizeof(test::NamedData));
    form->Show();
    ASSERT_NE(tree->Handle(), nullptr);
    platform::test::Pump();
    ASSERT_FALSE(platform::HasPendingPaint());

    tree->BeginUpdate();
    test::Add(*tree, nullptr, "a");
    tree->Invalidate();
    EXPECT_FALSE(platform::HasPendingPaint()) << "no repaint while updating";
    tree->EndUpdate();
    EXPECT_TRUE(platform::HasPendingPaint());
    platform::test::Pump();
    delete form;
    platform::test::Pump();
}

}  // namespace
}  // namespace treeview
