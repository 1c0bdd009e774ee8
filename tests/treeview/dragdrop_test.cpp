// A tree as a drop target: the highlight, the refusal without OnDragOver, auto-scroll
// and auto-expand on the virtual clock, drops reaching OnDragDrop, and the effects.
#include <gtest/gtest.h>

#include "platform/controls/forms.h"
#include "platform/core/clock.h"
#include "platform/windows/dnd_internal.h"
#include "platform/windows/input.h"
#include "platform/windows/windows_test_support.h"
#include "tree_support.h"
#include "two_trees.h"
#include "treeview/vtclipboard.h"
#include "treeview/vtdragdrop.h"

namespace treeview {
namespace {

using namespace platform;
using namespace test;

TEST(DropEffect, SuggestedByAllowedEffectsSourceAndKeys) {
    TVastStringTree tree(nullptr), other(nullptr);
    struct Case {
        TObject* source;
        TShiftState shift;
        DWORD allowed, expected;
    };
    const DWORD copyMove = DROPEFFECT_COPY | DROPEFFECT_MOVE, all = copyMove | DROPEFFECT_LINK;
    const Case cases[] = {
        {&tree, 0, copyMove, DROPEFFECT_MOVE},         {&other, 0, copyMove, DROPEFFECT_COPY},
        {nullptr, 0, copyMove, DROPEFFECT_COPY},       {&tree, ssCtrl, copyMove, DROPEFFECT_COPY},
        {&other, ssShift, copyMove, DROPEFFECT_MOVE},  {&tree, ssCtrl | ssShift, copyMove, DROPEFFECT_MOVE},
        {&tree, ssCtrl | ssShift, all, DROPEFFECT_LINK}, {&other, ssAlt, all, DROPEFFECT_LINK},
        {&other, ssAlt, copyMove, DROPEFFECT_COPY},    {&other, 0, DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_MOVE | DROPEFFECT_LINK},
    };
    for (const Case& c : cases) EXPECT_EQ(tree.SuggestDropEffect(c.source, c.shift, TPoint{0, 0}, c.allowed), c.expected);
}

// A form with a 200 x 100 tree of 30 rows; row "r2" has collapsed children.
class DropTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test::UseHeadlessBackend();
        form = new TForm(nullptr);
        form->SetBounds(10, 10, 300, 200);
        form->AfterConstruction();
        tree = new TVastStringTree(form);
        tree->SetParent(form);
        tree->SetBounds(0, 0, 200, 100);
        tree->SetNodeDataSize(sizeof(NamedData));
        for (int i = 0; i < 30; ++i) Add(*tree, nullptr, "r" + std::to_string(i));
        r2 = tree->GetFirst()->NextSibling->NextSibling;
        Add(*tree, r2, "r2a");
        form->Show();
        Pump();
        files = new TMemoryDataObject();
        held = files;
        files->Put(CF_HDROP, MakeDropFiles({"/tmp/movie.vob"}));
    }
    void TearDown() override { delete form; }
    POINTL At(int x, int y) {
        TPoint p = tree->ClientToScreen(TPoint{x, y});
        return POINTL{p.x, p.y};
    }
    TVirtualClock clock;
    TScopedClock scoped{clock};
    TForm* form = nullptr;
    TVastStringTree* tree = nullptr;
    PVastNode r2 = nullptr;
    TMemoryDataObject* files = nullptr;
    TComPtr<IDataObject> held;
};

TEST_F(DropTest, RegisteredWhileTheWindowLives) {
    EXPECT_EQ(FindDropTarget(tree->Handle()), static_cast<IDropTarget*>(tree->GetDragManager()));
    HWND window = tree->Handle();
    tree->SetParent(nullptr);  // the window goes
    EXPECT_NE(FindDropTarget(window), static_cast<IDropTarget*>(tree->GetDragManager()));
}

TEST_F(DropTest, RefusedWithoutOnDragOverYetHighlightsAndExpands) {
    IDropTarget* target = tree->GetDragManager();
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->DragEnter(files, 0, At(30, 45), &effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->DragOver(0, At(30, 45), &effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(tree->DropTargetNode(), r2);  // the row under the pointer is the drop target
    EXPECT_FALSE(tree->GetExpanded(r2));
    clock.Advance(999);
    Pump();
    EXPECT_FALSE(tree->GetExpanded(r2));
    clock.Advance(1);
    Pump();
    EXPECT_TRUE(tree->GetExpanded(r2));  // opened after AutoExpandDelay
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(files, 0, At(30, 45), &effect), E_FAIL);
    EXPECT_EQ(tree->DropTargetNode(), nullptr);
}

TEST_F(DropTest, ScrollsAtTheEdgeAfterTheDelay) {
    auto* options = tree->TreeOptions();
    options->SetAutoOptions(options->AutoOptions() | toAutoScroll);
    IDropTarget* target = tree->GetDragManager();
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(files, 0, At(30, 95), &effect);
    effect = DROPEFFECT_COPY;
    target->DragOver(0, At(30, 95), &effect);
    EXPECT_EQ(effect, DROPEFFECT_NONE);  // the delay has not passed
    EXPECT_EQ(tree->OffsetY(), 0);
    clock.Advance(1000);
    effect = DROPEFFECT_COPY;
    target->DragOver(0, At(30, 95), &effect);
    EXPECT_EQ(effect, DROPEFFECT_NONE | DROPEFFECT_SCROLL);
    EXPECT_LT(tree->OffsetY(), 0);
    target->DragLeave();
}

TEST_F(DropTest, AcceptedFilesReachOnDragDrop) {
    std::vector<std::string> dropped;
    TDropMode droppedMode = dmNowhere;
    tree->OnDragOver = [](TBaseVastTree*, TObject*, TShiftState, TDragState, TPoint, TDropMode, DWORD&,
                          bool& accept) { accept = true; };
    tree->OnDragDrop = [&](TBaseVastTree*, TObject*, IDataObject* data, const std::vector<CLIPFORMAT>& formats,
                           TShiftState, TPoint, DWORD&, TDropMode mode) {
        if (std::find(formats.begin(), formats.end(), CF_HDROP) == formats.end()) return;
        FORMATETC request;
        request.cfFormat = CF_HDROP;
        STGMEDIUM medium;
        if (data->GetData(&request, &medium) != S_OK) return;
        auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(medium.hGlobal));
        dropped = ReadDropFiles(bytes, GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
        droppedMode = mode;
    };
    IDropTarget* target = tree->GetDragManager();
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(files, 0, At(30, 9), &effect);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(files, 0, At(30, 9), &effect), S_OK);
    EXPECT_EQ(dropped, std::vector<std::string>{"/tmp/movie.vob"});
    EXPECT_NE(droppedMode, dmNowhere);
}

TEST_F(DropTest, ProcessDropMovesBetweenTreesOfTheProcess) {
    TVastStringTree source(nullptr);
    source.SetNodeDataSize(sizeof(NamedData));
    PVastNode moved = Add(source, nullptr, "moved");
    Add(source, nullptr, "stays");
    source.SetSelected(moved, true);
    TComPtr<IDataObject> data(new TVTDataObject(&source, false));
    DWORD effect = DROPEFFECT_MOVE;
    EXPECT_FALSE(tree->ProcessDrop(data.Get(), nullptr, effect, amNoWhere));
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    effect = DROPEFFECT_MOVE;
    // The data object offers no tree data: nothing is inserted.
    EXPECT_FALSE(tree->ProcessDrop(data.Get(), nullptr, effect, amAddChildLast));
    source.SetClipboardFormats({"Vast Tree Data"});
    TComPtr<IDataObject> treeData(new TVTDataObject(&source, false));
    effect = DROPEFFECT_COPY;
    EXPECT_TRUE(tree->ProcessDrop(treeData.Get(), nullptr, effect, amAddChildLast));
    EXPECT_EQ(tree->RootNodeCount(), 31u);
    EXPECT_EQ(source.RootNodeCount(), 2u);  // copied
    EXPECT_EQ(CheckInvariants(*tree), "");
}

TEST_F(DropTest, ToggledAcceptOLEDropRegistersAndRevokes) {
    auto* options = tree->TreeOptions();
    options->SetMiscOptions(options->MiscOptions() & ~toAcceptOLEDrop);
    EXPECT_EQ(FindDropTarget(tree->Handle()), nullptr);
    options->SetMiscOptions(options->MiscOptions() | toAcceptOLEDrop);
    EXPECT_EQ(FindDropTarget(tree->Handle()), static_cast<IDropTarget*>(tree->GetDragManager()));
}

// Two trees side by side on one form; rows are dragged from the left one with injected
// pointer input, through the platform's drag loop.
class DragSourceTest : public TwoTreesTest {
protected:
    void Prepare(TVastStringTree* tree) override {
        // The names travel with the nodes between trees.
        tree->OnSaveNode = [](TBaseVastTree* t, PVastNode node, TStream& stream) {
            stream.WriteBuffer(t->GetNodeData<NamedData>(node), sizeof(NamedData));
        };
        tree->OnLoadNode = [](TBaseVastTree* t, PVastNode node, TStream& stream) {
            stream.ReadBuffer(t->GetNodeData<NamedData>(node), sizeof(NamedData));
        };
    }
    // The middle of a row's text in the form's coordinates.
    TPoint OnText(TVastStringTree* tree, PVastNode node) { return InForm(tree, TextPoint(tree, node)); }
    // Press on the row's text, move past the threshold, then over the target row and
    // release there.
    void DragRow(PVastNode node, TVastStringTree* target, PVastNode onto) {
        HWND top = form->Handle();
        TPoint from = OnText(left, node), to = OnText(target, onto);


        InputMouseMove(top, from.x, from.y);
        InputMouseButton(top, from.x, from.y, MouseButton::Left, true);
        InputMouseMove(top, from.x + 8, from.y);
        InputMouseMove(top, to.x, to.y);
        InputMouseMove(top, to.x + 1, to.y);
        InputMouseButton(top, to.x + 1, to.y, MouseButton::Left, false);
        testsupport::PumpWindows();
    }
    // Targets take drops; ProcessDrop inserts them after the row under the pointer.
    void Accept(TVastStringTree* tree, bool copyOnly = false) {
        tree->OnDragOver = [](TBaseVastTree*, TObject*, TShiftState, TDragState, TPoint, TDropMode, DWORD&,
                              bool& accept) { accept = true; };
        tree->OnDragDrop = [copyOnly](TBaseVastTree* sender, TObject*, IDataObject* data,
                                      const std::vector<CLIPFORMAT>&, TShiftState, TPoint, DWORD& effect,
                                      TDropMode) {
            // A copying target inserts a copy and leaves the move to the source.
            DWORD used = copyOnly ? DWORD(DROPEFFECT_COPY) : effect;
            sender->ProcessDrop(data, sender->DropTargetNode(), used, amInsertAfter);
            if (!copyOnly) effect = used;
        };
    }
    static std::string Names(TVastStringTree* tree) {
        return Walk(*tree, tree->GetFirst(), [](PVastNode n) { return n->NextSibling; });
    }
};

TEST_F(DragSourceTest, RowsDraggedToAnotherTreeAreCopiedOrMovedWithShift) {
    for (bool shift : {false, true}) {
        SCOPED_TRACE(shift ? "Shift: move" : "copy");
        TearDown();
        SetUp();
        left->SetClipboardFormats({"Vast Tree Data"});
        left->OnDragAllowed = [](TBaseVastTree*, PVastNode, TColumnIndex, bool& allowed) { allowed = true; };
        int endX = -1;
        left->OnEndDrag = [&](TObject*, TObject*, int x, int) { endX = x; };
        Accept(right);
        if (shift) InputKey(VK_SHIFT, true);
        DragRow(Row(left, 1), right, Row(right, 2));
        if (shift) InputKey(VK_SHIFT, false);
        testsupport::PumpWindows();
        EXPECT_EQ(Names(left), shift ? "a0 a2 a3 a4" : "a0 a1 a2 a3 a4");
        EXPECT_EQ(Names(right), "b0 b1 b2 a1 b3 b4");
        EXPECT_GT(endX, 200) << "OnEndDrag gets the release point in the source's coordinates";
        EXPECT_FALSE(left->TreeStates() & (tsOLEDragging | tsOLEDragPending | tsLeftButtonDown));
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(CheckInvariants(*left), "");
        EXPECT_EQ(CheckInvariants(*right), "");
    }
}

TEST_F(DragSourceTest, RowsDraggedWithinTheTreeMove) {
    left->SetClipboardFormats({"Vast Tree Data"});
    left->SetDragMode(dmAutomatic);
    Accept(left);
    DragRow(Row(left, 0), left, Row(left, 3));
    EXPECT_EQ(Names(left), "a1 a2 a3 a0 a4");
    EXPECT_EQ(CheckInvariants(*left), "");
}

TEST_F(DragSourceTest, WhatTheSourceKeepsAfterADrag) {
    struct Case {
        const char* what;
        bool allowDrag, targetAccepts, targetCopies, autoDelete;
        const char* leftAfter;
        const char* rightAfter;
    };
    const Case cases[] = {
        {"no OnDragAllowed: no drag", false, true, false, true, "a0 a1 a2 a3 a4", "b0 b1 b2 b3 b4"},
        {"refused by the target", true, false, false, true, "a0 a1 a2 a3 a4", "b0 b1 b2 b3 b4"},
        {"a copying target, auto-delete", true, true, true, true, "a0 a2 a3 a4", "b0 b1 b2 a1 b3 b4"},
        {"a copying target, no auto-delete", true, true, true, false, "a0 a1 a2 a3 a4", "b0 b1 b2 a1 b3 b4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        left->SetClipboardFormats({"Vast Tree Data"});
        if (c.allowDrag)
            left->OnDragAllowed = [](TBaseVastTree*, PVastNode, TColumnIndex, bool& allowed) { allowed = true; };
        if (c.targetAccepts) Accept(right, c.targetCopies);
        auto* options = left->TreeOptions();
        options->SetAutoOptions(c.autoDelete ? options->AutoOptions() | toAutoDeleteMovedNodes
                                             : options->AutoOptions() & ~toAutoDeleteMovedNodes);
        // Shift asks for a move throughout.
        InputKey(VK_SHIFT, true);
        DragRow(Row(left, 1), right, Row(right, 2));
        InputKey(VK_SHIFT, false);
        testsupport::PumpWindows();
        EXPECT_EQ(Names(left), c.leftAfter);
        EXPECT_EQ(Names(right), c.rightAfter);
        EXPECT_FALSE(left->TreeStates() & (tsOLEDragging | tsOLEDragPending));
        EXPECT_EQ(CheckInvariants(*left), "");
    }
}

}  // namespace
}  // namespace treeview
