#pragma once
// The tree the painting tests draw: shaped like the program's job list (four fixed
// columns under a header, check boxes, multi and full-row selection, 18-pixel rows), with
// a second level, a disabled row, a selected and a focused row and a text too long for
// its column.
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/forms.h"
#include "platform/graphics/graphics.h"
#include "platform/windows/windows_test_support.h"
#include "treeview/vststrings.h"
#include "treeview/vtheader.h"

namespace treeview::test {

struct Row {
    std::string cells[4];
};

class PaintFixture {
public:
    PaintFixture(int width = 420, int height = 200) {
        platform::test::UseHeadlessBackend();
        form = new platform::TForm(nullptr);
        form->SetBounds(0, 0, width + 40, height + 60);
        form->AfterConstruction();
        tree = new TVastStringTree(form);
        tree->SetParent(form);
        tree->SetBorderStyle(platform::bsNone);  // as the program's lists
        tree->SetBounds(0, 0, width, height);
        tree->Font()->SetName("DejaVu Sans");
        tree->Font()->SetHeight(-11);
        tree->SetNodeDataSize(sizeof(int));
        auto* options = tree->TreeOptions();
        options->SetMiscOptions(options->MiscOptions() | toCheckSupport);
        options->SetSelectionOptions(options->SelectionOptions() | toMultiSelect | toFullRowSelect);
        options->SetPaintOptions(options->PaintOptions() | toShowHorzGridLines | toShowVertGridLines);
        tree->SetCheckImageKind(ckXP);
        for (const char* caption : {"Name", "Length", "Size", "Output"}) {
            TVastTreeColumn* column = tree->Header()->Columns()->Add();
            column->SetText(caption);
            column->SetWidth(100);
            column->SetOptions(column->Options() | coFixed);
        }
        tree->Header()->SetOptions(tree->Header()->Options() | hoVisible | hoShowSortGlyphs);
        tree->Header()->SetSortColumn(1);
        rows = {{{"title_01.vob", "0:12:30", "120 MB", "a very long output file name.flv"}},
                {{"chapter 1", "0:04:00", "40 MB", "chapter1.flv"}},
                {{"chapter 2", "0:08:30", "80 MB", "chapter2.flv"}},
                {{"holiday.avi", "0:02:10", "18 MB", "holiday.flv"}},
                {{"disabled.mpg", "0:00:40", "6 MB", "disabled.flv"}},
                {{"last.mov", "0:01:00", "9 MB", "last.flv"}}};
        tree->OnGetText = [this](TBaseVastTree*, PVastNode node, TColumnIndex column, TVSTTextType, std::string& text) {
            int row = *tree->GetNodeData<int>(node);
            if (column >= 0 && column < 4 && row >= 0 && row < int(rows.size())) text = rows[std::size_t(row)].cells[column];
        };
        auto add = [&](PVastNode parent, int row) {
            PVastNode node = tree->AddChild(parent);
            *tree->GetNodeData<int>(node) = row;
            tree->SetCheckType(node, ctCheckBox);
            return node;
        };
        PVastNode first = add(nullptr, 0);
        tree->SetCheckType(first, ctTriStateCheckBox);
        nodes = {first, add(first, 1), add(first, 2), add(nullptr, 3), add(nullptr, 4), add(nullptr, 5)};
        tree->SetExpanded(first, true);
        tree->SetCheckState(nodes[1], csCheckedNormal);  // the parent becomes mixed
        tree->SetCheckState(nodes[3], csCheckedNormal);
        tree->SetDisabled(nodes[4], true);
        tree->SetSelected(nodes[3], true);
        tree->SetFocusedNode(nodes[3]);
        tree->SetFocusedColumn(0);
        form->Show();
        tree->SetFocus();
        platform::test::Pump();
    }
    ~PaintFixture() {
        delete form;
        platform::test::Pump();
    }

    // The client area as the tree paints it.
    std::unique_ptr<platform::TBitmap> Render() {
        auto bitmap = std::make_unique<platform::TBitmap>();
        bitmap->SetPixelFormat(platform::pf32bit);
        bitmap->SetSize(tree->ClientWidth(), tree->ClientHeight());
        platform::TRect window{tree->HorzScrollPos(), -tree->OffsetY(), tree->HorzScrollPos() + tree->ClientWidth(),
                               -tree->OffsetY() + tree->ClientHeight()};
        tree->PaintTree(bitmap->Canvas(), window, platform::TPoint{0, 0}, DefaultPaintFlags);
        return bitmap;
    }

    platform::TForm* form = nullptr;
    TVastStringTree* tree = nullptr;
    std::vector<Row> rows;
    std::vector<PVastNode> nodes;
};

}  // namespace treeview::test
