#pragma once
// The job rows over a tree control: the windows' item lists (the job list, the DVD
// window's title list, the clip dialog's segment list) are tree views whose nodes hold
// one MediaItem each. This is the one part of the job model that sees the control; the
// rest reaches the lists through JobRows.
#include "jobmodel/rows.h"
#include "treeview/vasttrees.h"

namespace jobmodel {

class TreeRows : public JobRows {
public:
    // Gives the tree's node data the size (and alignment) of a MediaItem.
    explicit TreeRows(treeview::TBaseVastTree& tree);

    treeview::TBaseVastTree& Tree() const { return tree_; }
    static Row RowOf(treeview::PVastNode node) { return reinterpret_cast<Row>(node); }
    static treeview::PVastNode NodeOf(Row row) { return reinterpret_cast<treeview::PVastNode>(row); }

    MediaItem* Item(Row row) const override;
    Row Parent(Row row) const override;
    Row FirstChild(Row parent) const override;
    Row LastChild(Row parent) const override;
    Row NextSibling(Row row) const override;
    Row PreviousSibling(Row row) const override;
    int TopCount() const override;

    Row Add(Row parent) override;
    void Delete(Row row) override;
    void Move(Row row, Row target, bool before) override;
    void BeginUpdate() override;
    void EndUpdate() override;

    void TakeCheckFromItem(Row row) override;
    bool Checked(Row row) const override;
    void SetChecked(Row row, bool checked) override;
    std::vector<Row> CheckedRows() const override;

    std::vector<Row> SelectedRows() const override;
    Row FirstSelected() const override;
    int SelectedCount() const override;
    bool Selected(Row row) const override;
    void SetSelected(Row row, bool selected) override;
    void ClearSelection() override;
    void Focus(Row row, bool show = false) override;
    bool Expanded(Row row) const override;
    void SetExpanded(Row row, bool expanded) override;

private:
    treeview::PVastNode Parent(treeview::PVastNode parent) const;
    treeview::TBaseVastTree& tree_;
};

// The record of a node (null for a null node): for the tree's own events.
MediaItem* ItemOf(const treeview::TBaseVastTree& tree, treeview::PVastNode node);
// Gives the tree's node data the size of a MediaItem; every item tree starts with it.
void PrepareItemTree(treeview::TBaseVastTree& tree);
// Seeds the node's check box from its record: the tree's OnInitNode.
void InitItemNode(treeview::TBaseVastTree& tree, treeview::PVastNode node);

}  // namespace jobmodel
