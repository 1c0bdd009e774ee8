// In-place editing on the job-list fixture, through injected mouse and keys: the
// editor's round trip, OnEditing asked once per edit, the start, end and cancel rules,
// the editor's bounds; and the context menu asked of a node and its parents.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "paint_support.h"
#include "platform/core/clock.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"
#include "treeview/vtedit.h"

namespace treeview {
namespace {

using platform::MouseButton;

class EditTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* options = tree()->TreeOptions();
        options->SetMiscOptions(options->MiscOptions() | toEditable);
        options->SetSelectionOptions(options->SelectionOptions() | toExtendedFocus);
        tree()->SetEditDelay(0);
        tree()->SetFocusedColumn(3);
        // As the program's job list: its own editor, a handler for each step.
        tree()->OnCreateEditor = [](TBaseVastTree*, PVastNode, TColumnIndex, TVTEditLinkRef& link) {
            link = TVTEditLinkRef(new TStringEditLink());
        };
        tree()->OnEditing = [this](TBaseVastTree*, PVastNode node, TColumnIndex column, bool& allowed) {
            log += "editing " + std::to_string(Row(node)) + " " + std::to_string(column) + "; ";
            allowed = allowed && column == 3;
        };
        tree()->OnNewText = [this](TBaseVastTree*, PVastNode node, TColumnIndex column, const std::string& text) {
            log += "new " + std::to_string(Row(node)) + " " + std::to_string(column) + " " + text + "; ";
            fixture.rows[std::size_t(Row(node))].cells[column] = text;
        };
        tree()->OnEdited = [this](TBaseVastTree*, PVastNode node, TColumnIndex column) {
            log += "edited " + std::to_string(Row(node)) + " " + std::to_string(column) + "; ";
        };
        tree()->OnEditCancelled = [this](TBaseVastTree*, TColumnIndex column) {
            log += "cancelled " + std::to_string(column) + "; ";
        };
    }
    int Row(PVastNode node) { return node ? *tree()->GetNodeData<int>(node) : -1; }
    void Click(int x, int y) {
        Button(x, y, true);
        Button(x, y, false);
    }
    void Button(int x, int y, bool down) {
        platform::POINT p{x, y};
        platform::ClientToScreen(tree()->Handle(), &p);
        platform::RECT frame{};
        platform::GetWindowRect(fixture.form->Handle(), &frame);
        platform::InputMouseButton(fixture.form->Handle(), p.x - frame.left, p.y - frame.top, MouseButton::Left, down);
        platform::test::Pump();
    }
    void Key(platform::WORD key) {
        platform::InputKey(key, true);
        platform::test::Pump();
        platform::InputKey(key, false);
        platform::test::Pump();
    }
    void Type(const std::string& text) {
        for (char c : text) {
            platform::InputChar(static_cast<unsigned char>(c));
            platform::test::Pump();
        }
    }
    // Lets the edit timer fire.
    void Wait() {
        clock.Advance(20);
        platform::test::Pump();
    }
    TVTEdit* Editor() {
        auto* link = dynamic_cast<TStringEditLink*>(tree()->EditLink());
        return link ? link->Edit() : nullptr;
    }
    // A click on the text of column 3 in the row of fixture node i (rows 0-3 show nodes 0-3).
    // Far enough apart in time from the last click not to make a double click.
    void ClickOutput(int row) {
        clock.Advance(1000);
        Click(310, row * 18 + 9);
    }

    platform::TVirtualClock clock;
    platform::TScopedClock scoped{clock};
    test::PaintFixture fixture;
    TVastStringTree* tree() { return fixture.tree; }
    std::string log;
};

TEST_F(EditTest, ClickTypeAndEnterStoreTheText) {
    ClickOutput(3);
    EXPECT_EQ(log, "editing 3 3; ");
    EXPECT_FALSE(tree()->IsEditing()) << "the edit waits for the edit timer";
    Wait();
    ASSERT_TRUE(tree()->IsEditing());
    TVTEdit* edit = Editor();
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->Visible());
    EXPECT_EQ(edit->Text(), "holiday.flv");
    EXPECT_EQ(edit->SelLength(), int(std::string("holiday.flv").size())) << "the text starts selected";
    EXPECT_TRUE(edit->Focused());
    platform::TRect cell = tree()->GetDisplayRect(fixture.nodes[3], 3, false);
    EXPECT_GE(edit->Left(), cell.left);
    EXPECT_LE(edit->Left() + edit->Width(), tree()->ClientWidth());
    EXPECT_GE(edit->Top(), cell.top - 1);
    EXPECT_LE(edit->Top() + edit->Height(), cell.bottom + 1);

    Type("clip.flv");
    EXPECT_EQ(edit->Text(), "clip.flv");
    // The editor as the user sees it, for looking at.
    if (const char* build = std::getenv("LUMACAST_BUILD_DIR")) {
        std::filesystem::create_directories(std::filesystem::path(build) / "artifacts");
        platform::SaveWindowImage(fixture.form->Handle(),
                                  (std::filesystem::path(build) / "artifacts" / "treeview-editing.png").string());
    }
    Key(platform::VK_RETURN);
    EXPECT_EQ(log, "editing 3 3; new 3 3 clip.flv; edited 3 3; ");
    EXPECT_FALSE(tree()->IsEditing());
    EXPECT_EQ(tree()->EditLink(), nullptr);
    EXPECT_TRUE(tree()->Focused()) << "the tree takes the focus back";
    EXPECT_EQ(tree()->GetText(fixture.nodes[3], 3), "clip.flv");
}

TEST_F(EditTest, EscapeCancelsAndAClickElsewhereAccepts) {
    ClickOutput(3);
    Wait();
    ASSERT_TRUE(tree()->IsEditing());
    Type("gone");
    Key(platform::VK_ESCAPE);
    EXPECT_EQ(log, "editing 3 3; cancelled 3; ");
    EXPECT_FALSE(tree()->IsEditing());
    EXPECT_EQ(tree()->GetText(fixture.nodes[3], 3), "holiday.flv");

    log.clear();
    ClickOutput(3);
    Wait();
    ASSERT_TRUE(tree()->IsEditing());
    Type("kept.flv");
    ClickOutput(0);  // another row: the running edit ends first, keeping its text
    EXPECT_EQ(log, "editing 3 3; new 3 3 kept.flv; edited 3 3; ");
    EXPECT_FALSE(tree()->IsEditing());
    EXPECT_EQ(tree()->FocusedNode(), fixture.nodes[0]);
}

// The program's OnClick calls EditNode on the cell a click just made pending: OnEditing
// is asked once (a handler that changes the text at each ask would otherwise change it
// twice), and the edit starts at once.
TEST_F(EditTest, EditNodeOnThePendingCellDoesNotAskAgain) {
    int asked = 0;
    tree()->OnEditing = [&](TBaseVastTree*, PVastNode, TColumnIndex, bool& allowed) {
        ++asked;
        allowed = true;
    };
    tree()->OnClick = [&](platform::TObject*) { tree()->EditNode(tree()->FocusedNode(), tree()->FocusedColumn()); };
    ClickOutput(3);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(tree()->IsEditing()) << "started by EditNode, not by the timer";
    Wait();
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(tree()->EndEditNode());

    // Another cell than the pending one is asked about as usual.
    asked = 0;
    tree()->OnClick = nullptr;
    ClickOutput(3);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(tree()->EditNode(fixture.nodes[3], 2));
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(tree()->CancelEditNode());
}

TEST_F(EditTest, StartEndAndCancelRules) {
    PVastNode node = fixture.nodes[3];
    EXPECT_TRUE(tree()->EndEditNode()) << "no edit runs";
    EXPECT_TRUE(tree()->CancelEditNode());
    EXPECT_THROW(tree()->EditNode(nullptr, 3), platform::EAssertionFailed);
    EXPECT_THROW(tree()->EditNode(node, 4), platform::EAssertionFailed);

    auto* options = tree()->TreeOptions();
    options->SetMiscOptions(options->MiscOptions() | toReadOnly);
    EXPECT_FALSE(tree()->EditNode(node, 3));
    EXPECT_EQ(log, "") << "a read-only tree asks nobody";
    options->SetMiscOptions(options->MiscOptions() & ~(toReadOnly | toEditable));
    EXPECT_FALSE(tree()->EditNode(node, 3)) << "not editable: the handler keeps the refusal";
    EXPECT_EQ(log, "editing 3 3; ");
    tree()->OnEditing = [](TBaseVastTree*, PVastNode, TColumnIndex, bool& allowed) { allowed = true; };
    EXPECT_TRUE(tree()->EditNode(node, 3)) << "the handler may allow it";
    EXPECT_TRUE(tree()->EditNode(node, 3)) << "while editing: whether an edit runs";

    // An unchanged text ends without OnNewText; ending twice is refused.
    log.clear();
    IVTEditLink* link = tree()->EditLink();
    link->AddRef();
    EXPECT_TRUE(tree()->EndEditNode());
    EXPECT_EQ(log, "edited 3 3; ");
    EXPECT_FALSE(link->EndEdit());
    EXPECT_FALSE(link->CancelEdit());
    link->Release();

    // A handler that gives no editor.
    tree()->OnCreateEditor = [](TBaseVastTree*, PVastNode, TColumnIndex, TVTEditLinkRef&) {};
    try {
        tree()->EditNode(node, 3);
        ADD_FAILURE() << "no error";
    } catch (const EVastTreeError& error) {
        EXPECT_STREQ(error.what(), "Edit link must not be nil.");
        EXPECT_EQ(error.HelpContext(), 2000);
    }
    EXPECT_FALSE(tree()->IsEditing());
}

TEST_F(EditTest, ARefusedTextLeavesTheEditRunning) {
    tree()->OnNewText = [](TBaseVastTree*, PVastNode, TColumnIndex, const std::string&) {
        throw std::runtime_error("refused");
    };
    ASSERT_TRUE(tree()->EditNode(fixture.nodes[3], 3));
    Type("x.flv");
    EXPECT_THROW(tree()->EndEditNode(), std::runtime_error);
    EXPECT_TRUE(tree()->IsEditing());
    tree()->OnNewText = nullptr;
    EXPECT_TRUE(tree()->EndEditNode()) << "the edit can end again";
    EXPECT_EQ(log, "editing 3 3; edited 3 3; ");
}

TEST_F(EditTest, FocusLeavingAcceptsOrCancels) {
    auto* other = new platform::TEdit(fixture.form);
    other->SetParent(fixture.form);
    other->SetBounds(0, 210, 100, 20);
    for (bool accept : {true, false}) {
        auto* options = tree()->TreeOptions();
        TVTStringOptions strings = options->StringOptions();
        options->SetStringOptions(accept ? strings | toAutoAcceptEditChange : strings & ~toAutoAcceptEditChange);
        log.clear();
        ASSERT_TRUE(tree()->EditNode(fixture.nodes[3], 3));
        Type(accept ? "a.flv" : "b.flv");
        other->SetFocus();
        platform::test::Pump();
        EXPECT_EQ(log, accept ? "editing 3 3; new 3 3 a.flv; edited 3 3; " : "editing 3 3; cancelled 3; ");
        EXPECT_FALSE(tree()->IsEditing());
        tree()->SetFocus();
    }
}

TEST_F(EditTest, EditorKeysAndBounds) {
    ASSERT_TRUE(tree()->EditNode(fixture.nodes[3], 3));
    TVTEdit* edit = Editor();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(platform::SendMessage(edit->Handle(), platform::WM_GETDLGCODE, 0, 0) & 7, 7);
    // Up and Down move the caret as Left and Right in a one-line cell.
    edit->SetSelStart(3);
    Key(platform::VK_DOWN);
    EXPECT_EQ(edit->SelStart(), 4);
    Key(platform::VK_UP);
    Key(platform::VK_UP);
    EXPECT_EQ(edit->SelStart(), 2);
    EXPECT_TRUE(tree()->IsEditing());

    // At least 30 pixels wide, never past the client area; right-aligned grows leftwards.
    IVTEditLink* link = tree()->EditLink();
    link->SetBounds(platform::TRect{100, 10, 110, 28});
    EXPECT_EQ(link->GetBounds(), (platform::TRect{100, 10, 130, 28}));
    link->SetBounds(platform::TRect{-5, 10, 1000, 28});
    EXPECT_EQ(link->GetBounds(), (platform::TRect{0, 10, tree()->ClientWidth(), 28}));
    EXPECT_TRUE(tree()->CancelEditNode());

    tree()->Header()->Columns()->Items(3)->SetAlignment(platform::taRightJustify);
    ASSERT_TRUE(tree()->EditNode(fixture.nodes[3], 3));
    link = tree()->EditLink();
    link->SetBounds(platform::TRect{100, 10, 110, 28});
    EXPECT_EQ(link->GetBounds(), (platform::TRect{80, 10, 110, 28}));
    EXPECT_TRUE(tree()->CancelEditNode());
}

TEST(TreeContextMenu, AskedOfTheNodeThenItsParents) {
    test::PaintFixture fixture;
    TVastStringTree* tree = fixture.tree;
    platform::TPopupMenu menu(nullptr);
    std::string asked;
    bool shown = false;
    menu.OnPopup = [&](platform::TObject*) { shown = true; };
    tree->OnGetPopupMenu = [&](TBaseVastTree*, PVastNode node, TColumnIndex column, platform::TPoint, bool& askParent,
                               platform::TPopupMenu*& result) {
        asked += std::to_string(node ? *tree->GetNodeData<int>(node) : -1) + "/" + std::to_string(column) + " ";
        if (node == fixture.nodes[0]) result = &menu;
        askParent = node != fixture.nodes[3];
    };
    EXPECT_EQ(tree->DoGetPopupMenu(fixture.nodes[2], 1, {}), &menu);
    EXPECT_EQ(asked, "2/1 0/1 ");
    asked.clear();
    EXPECT_EQ(tree->DoGetPopupMenu(fixture.nodes[3], 1, {}), nullptr) << "the handler stopped the asking";
    EXPECT_EQ(asked, "3/1 ");
    asked.clear();
    EXPECT_EQ(tree->DoGetPopupMenu(nullptr, 2, {}), nullptr);
    EXPECT_EQ(asked, "-1/-1 ");
    EXPECT_TRUE(tree->HasPopupMenu(fixture.nodes[1], 0, {}));
}

}  // namespace
}  // namespace treeview
