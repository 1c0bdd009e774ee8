// The tree as a window among others: its errors, its frame (border, scroll bars, header
// hit test) and the tree-view query messages answered for senders in the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "paint_support.h"
#include "platform/windows/backend.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vtqueries.h"

namespace treeview {
namespace {

using namespace platform;

TEST(TreeErrors, EachCodeHasItsText) {
    const std::pair<TVTTreeError, const char*> cases[] = {
        {teEditLinkNil, "Edit link must not be nil."},
        {teMoveIntoChild, "Target node cannot be a child node of the node to be moved."},
        {teStreamFormat, "Unable to load tree structure, the format is wrong."},
        {teStreamVersion, "Unable to load tree structure, the version is unknown."},
        {teStreamSize, "Unable to load tree structure, not enough data available."},
        {teNodeAnchorMissing, "Stream data corrupt. A node's anchor chunk is missing."},
        {teDataAfterNodeEnd, "Stream data corrupt. Unexpected data after node's end position."},
        {teClipboardFailed, "Clipboard operation failed."},
        {teNoUserDataSpace, "Cannot set initial user data because there is not enough user data space allocated."},
    };
    for (auto [error, text] : cases) {
        try {
            RaiseTreeError(error);
        } catch (const EVastTreeError& raised) {
            EXPECT_STREQ(raised.what(), text);
            EXPECT_EQ(raised.HelpContext(), int(error));
        }
    }
    // Raised by the tree itself with its code.
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(2);
    int data = 0;
    try {
        tree.AddChild(nullptr, &data);
        ADD_FAILURE() << "no room for a pointer, no error";
    } catch (const EVastTreeError& raised) {
        EXPECT_EQ(raised.HelpContext(), 2008);
    }
}

// The creation parameters as the tree asks for them (the scroll bars the window shows
// afterwards follow the range).
struct ParamsProbe : TVastStringTree {
    using TVastStringTree::TVastStringTree;
    TCreateParams Params() {
        TCreateParams params;
        CreateParams(params);
        return params;
    }
};

TEST(TreeFrame, CreationParameters) {
    ParamsProbe tree(nullptr);
    TCreateParams params = tree.Params();
    EXPECT_EQ(params.ExStyle & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE) << "bsSingle by default";
    EXPECT_EQ(params.Style & WS_BORDER, 0u);
    EXPECT_EQ(params.Style & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
    EXPECT_EQ(params.Style & (WS_CLIPCHILDREN | WS_CLIPSIBLINGS), WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    EXPECT_EQ(params.WindowClass.style & (CS_HREDRAW | CS_VREDRAW), CS_HREDRAW | CS_VREDRAW);
    tree.SetBorderStyle(bsNone);
    tree.ScrollBarOptions()->SetScrollBars(ssVertical);
    auto* options = tree.TreeOptions();
    options->SetMiscOptions(options->MiscOptions() & ~toFullRepaintOnResize);
    params = tree.Params();
    EXPECT_EQ(params.ExStyle & WS_EX_CLIENTEDGE, 0u);
    EXPECT_EQ(params.Style & WS_BORDER, 0u);
    EXPECT_EQ(params.Style & (WS_HSCROLL | WS_VSCROLL), WS_VSCROLL);
    EXPECT_EQ(params.WindowClass.style & (CS_HREDRAW | CS_VREDRAW), 0u);
}

TEST(TreeFrame, BorderAndHeaderHitTest) {
    test::PaintFixture fixture;
    TVastStringTree* tree = fixture.tree;
    auto style = [&] { return DWORD(GetWindowLongA(tree->Handle(), GWL_STYLE)); };
    auto exStyle = [&] { return DWORD(GetWindowLongA(tree->Handle(), GWL_EXSTYLE)); };
    EXPECT_FALSE(style() & WS_BORDER);
    EXPECT_FALSE(exStyle() & WS_EX_CLIENTEDGE) << "bsNone";
    tree->SetBorderStyle(bsSingle);
    EXPECT_FALSE(style() & WS_BORDER);
    EXPECT_TRUE(exStyle() & WS_EX_CLIENTEDGE);

    // The header strip stays right above the client area, inside the edge, and answers
    // as frame.
    TRect header = tree->HeaderRect();
    RECT frame{};
    GetWindowRect(tree->Handle(), &frame);
    POINT origin{0, 0};
    ClientToScreen(tree->Handle(), &origin);
    EXPECT_EQ(header.left, origin.x - frame.left);
    EXPECT_EQ(header.bottom, origin.y - frame.top);
    EXPECT_GT(header.left, 0) << "the edge is outside the strip";
    auto hit = [&](int x, int y) {
        return SendMessage(tree->Handle(), WM_NCHITTEST, 0, MAKELPARAM(WORD(frame.left + x), WORD(frame.top + y)));
    };
    EXPECT_EQ(hit(header.left + 10, header.top + 3), HTBORDER);
    EXPECT_EQ(hit(header.left + 10, header.bottom + 5), HTCLIENT);
    if (const char* build = std::getenv("LUMACAST_BUILD_DIR")) {
        platform::test::Pump();
        std::filesystem::create_directories(std::filesystem::path(build) / "artifacts");
        SaveWindowImage(fixture.form->Handle(),
                        (std::filesystem::path(build) / "artifacts" / "treeview-border.png").string());
    }
}

TEST(TreeQueries, NextItemRectAndItem) {
    test::PaintFixture fixture;
    TVastStringTree* tree = fixture.tree;
    auto& nodes = fixture.nodes;
    auto next = [&](WPARAM code, PVastNode node) {
        return reinterpret_cast<PVastNode>(
            SendMessage(tree->Handle(), TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(node)));
    };
    struct Case {
        WPARAM code;
        PVastNode from, expected;
    };
    tree->SetExpanded(nodes[0], true);
    const Case cases[] = {
        {TVGN_ROOT, nullptr, nodes[0]},
        {TVGN_NEXT, nodes[0], nodes[3]},
        {TVGN_PREVIOUS, nodes[3], nodes[0]},
        {TVGN_PARENT, nodes[1], nodes[0]},
        {TVGN_PARENT, nodes[0], nullptr},  // a top-level node has none
        {TVGN_CHILD, nodes[0], nodes[1]},
        {TVGN_NEXTVISIBLE, nodes[2], nodes[3]},
        {TVGN_PREVIOUSVISIBLE, nodes[3], nodes[2]},
        {TVGN_FIRSTVISIBLE, nullptr, nodes[0]},
        {TVGN_LASTVISIBLE, nullptr, nodes[5]},
        {TVGN_CARET, nullptr, nodes[3]},
        {TVGN_NEXT, nullptr, nullptr},
        {0x55, nodes[0], nullptr},
    };
    for (const Case& c : cases) EXPECT_EQ(next(c.code, c.from), c.expected) << "code " << c.code;
    // A pointer that is no node of this tree is refused, not followed.
    TVastStringTree other(nullptr);
    other.SetNodeDataSize(4);
    PVastNode foreign = other.AddChild(nullptr);
    other.AddChild(foreign);
    EXPECT_EQ(next(TVGN_CHILD, foreign), nullptr);
    char garbage[128];
    std::memset(garbage, 0xA5, sizeof(garbage));
    EXPECT_EQ(next(TVGN_PARENT, reinterpret_cast<PVastNode>(garbage)), nullptr);

    RECT rect{};
    std::memcpy(reinterpret_cast<char*>(&rect), &nodes[3], sizeof(PVastNode));
    EXPECT_EQ(SendMessage(tree->Handle(), TVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect)), 1);
    TRect expected = tree->GetDisplayRect(nodes[3], NoColumn, false);
    EXPECT_EQ(rect.top, expected.top);
    EXPECT_EQ(rect.bottom, expected.bottom);
    std::memcpy(reinterpret_cast<char*>(&rect), &foreign, sizeof(PVastNode));
    EXPECT_EQ(SendMessage(tree->Handle(), TVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect)), 0);

    tree->SetDefaultText("default text");  // the text without a column
    char text[8];
    std::memset(text, '#', sizeof(text));
    TVITEMA item;
    item.mask = TVIF_TEXT | TVIF_STATE | TVIF_CHILDREN;
    item.hItem = nodes[3];
    item.pszText = text;
    item.cchTextMax = 5;
    TVITEMA untouched = item;
    untouched.mask &= ~TVIF_HANDLE;
    EXPECT_EQ(SendMessage(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&untouched)), 0);
    EXPECT_EQ(text[0], '#') << "without TVIF_HANDLE nothing is filled";
    item.mask |= TVIF_HANDLE;
    EXPECT_EQ(SendMessage(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)), 1);
    EXPECT_STREQ(text, "defa") << "cut to cchTextMax - 1";
    EXPECT_EQ(item.state & 0xFF, TVIS_FOCUSED | TVIS_SELECTED);
    EXPECT_EQ(item.stateMask, 0xFF2Fu);
    EXPECT_EQ(item.cChildren, 0);
    item.hItem = nodes[0];
    item.cchTextMax = 0;
    std::memset(text, '#', sizeof(text));
    EXPECT_EQ(SendMessage(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)), 1);
    EXPECT_EQ(text[0], '#') << "no room: nothing copied";
    EXPECT_EQ(item.cChildren, 2);
    EXPECT_EQ(item.state & TVIS_EXPANDED, TVIS_EXPANDED);
    item.hItem = foreign;
    EXPECT_EQ(SendMessage(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
}

}  // namespace
}  // namespace treeview
