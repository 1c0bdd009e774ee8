#pragma once
// Two trees side by side on one shown form, five named rows each ("a0" to "a4" on the left,
// "b0" to "b4" on the right), for the tests that drag between them.
#include <gtest/gtest.h>

#include <string>

#include "platform/controls/forms.h"
#include "platform/windows/windows_test_support.h"
#include "tree_support.h"

namespace treeview::test {

class TwoTreesTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test::UseHeadlessBackend();
        form = new platform::TForm(nullptr);
        form->SetBounds(20, 20, 500, 200);
        form->AfterConstruction();
        left = MakeTree(0, "a");
        right = MakeTree(250, "b");
        form->Show();
        Pump();
    }
    void TearDown() override {
        delete form;
        Pump();
    }
    // What a test's trees need beyond the common set-up, given before the rows are added.
    virtual void Prepare(TVastStringTree*) {}

    TVastStringTree* MakeTree(int x, const std::string& prefix) {
        auto* tree = new TVastStringTree(form);
        tree->SetParent(form);
        tree->SetBorderStyle(platform::bsNone);
        tree->SetBounds(x, 0, 200, 150);
        tree->SetNodeDataSize(sizeof(NamedData));
        Prepare(tree);
        for (int i = 0; i < 5; ++i) Add(*tree, nullptr, prefix + std::to_string(i));
        return tree;
    }
    PVastNode Row(TVastStringTree* tree, int index) {
        PVastNode node = tree->GetFirst();
        while (index-- > 0) node = node->NextSibling;
        return node;
    }
    // The middle of a row's text, in the tree's client coordinates.
    platform::TPoint TextPoint(TVastStringTree* tree, PVastNode node) {
        platform::TRect r = tree->GetDisplayRect(node, tree->MainColumn(), true);
        return platform::TPoint{r.left + 4, (r.top + r.bottom) / 2};
    }
    // A point of a tree's client area in the form's window coordinates.
    platform::TPoint InForm(TVastStringTree* tree, platform::TPoint client) {
        platform::TPoint screen = tree->ClientToScreen(client);
        platform::RECT window;
        platform::GetWindowRect(form->Handle(), &window);
        return platform::TPoint{screen.x - window.left, screen.y - window.top};
    }

    platform::TForm* form = nullptr;
    TVastStringTree* left = nullptr;
    TVastStringTree* right = nullptr;
};

}  // namespace treeview::test
