#include "jobmodel/treerows.h"

namespace jobmodel {

using treeview::PVastNode;
using treeview::TBaseVastTree;

MediaItem* ItemOf(const TBaseVastTree& tree, PVastNode node) {
    return node ? tree.GetNodeData<MediaItem>(node) : nullptr;
}

void PrepareItemTree(TBaseVastTree& tree) { tree.SetNodeDataSize(static_cast<std::int32_t>(sizeof(MediaItem))); }

void InitItemNode(TBaseVastTree& tree, PVastNode node) {
    const MediaItem* item = ItemOf(tree, node);
    if (!item) return;
    node->CheckType = static_cast<treeview::TCheckType>(item->row.checkType);
    node->CheckState = static_cast<treeview::TCheckState>(item->row.checkState);
}

TreeRows::TreeRows(TBaseVastTree& tree) : tree_(tree) { PrepareItemTree(tree); }

// The links are read without initialising nodes: rows that were never shown still count.
PVastNode TreeRows::Parent(PVastNode parent) const { return parent ? parent : tree_.RootNode(); }

MediaItem* TreeRows::Item(Row row) const { return ItemOf(tree_, NodeOf(row)); }

Row TreeRows::Parent(Row row) const {
    PVastNode node = NodeOf(row);
    return node && node->Parent != tree_.RootNode() ? RowOf(node->Parent) : nullptr;
}

Row TreeRows::FirstChild(Row parent) const { return RowOf(Parent(NodeOf(parent))->FirstChild); }
Row TreeRows::LastChild(Row parent) const { return RowOf(Parent(NodeOf(parent))->LastChild); }
Row TreeRows::NextSibling(Row row) const { return row ? RowOf(NodeOf(row)->NextSibling) : nullptr; }
Row TreeRows::PreviousSibling(Row row) const { return row ? RowOf(NodeOf(row)->PrevSibling) : nullptr; }
int TreeRows::TopCount() const { return static_cast<int>(tree_.RootNodeCount()); }

Row TreeRows::Add(Row parent) { return RowOf(tree_.AddChild(NodeOf(parent))); }
void TreeRows::Delete(Row row) { tree_.DeleteNode(NodeOf(row)); }

void TreeRows::Move(Row row, Row target, bool before) {
    tree_.MoveTo(NodeOf(row), NodeOf(target), before ? treeview::amInsertBefore : treeview::amInsertAfter, false);
}

void TreeRows::BeginUpdate() { tree_.BeginUpdate(); }
void TreeRows::EndUpdate() { tree_.EndUpdate(); }

void TreeRows::TakeCheckFromItem(Row row) { InitItemNode(tree_, NodeOf(row)); }

bool TreeRows::Checked(Row row) const {
    PVastNode node = NodeOf(row);
    tree_.ValidateNode(node, false);
    return tree_.GetCheckState(node) == treeview::csCheckedNormal;
}

void TreeRows::SetChecked(Row row, bool checked) {
    // Initialised first, so the node's seed cannot undo the state set here.
    PVastNode node = NodeOf(row);
    tree_.ValidateNode(node, false);
    tree_.SetCheckState(node, checked ? treeview::csCheckedNormal : treeview::csUncheckedNormal);
}

std::vector<Row> TreeRows::CheckedRows() const {
    std::vector<Row> rows;
    for (PVastNode node = tree_.GetFirstChecked(); node; node = tree_.GetNextChecked(node)) rows.push_back(RowOf(node));
    return rows;
}

std::vector<Row> TreeRows::SelectedRows() const {
    std::vector<Row> rows;
    for (PVastNode node : tree_.GetSortedSelection(false)) rows.push_back(RowOf(node));
    return rows;
}

Row TreeRows::FirstSelected() const { return RowOf(tree_.GetFirstSelected()); }
int TreeRows::SelectedCount() const { return tree_.SelectedCount(); }
bool TreeRows::Selected(Row row) const { return tree_.GetSelected(NodeOf(row)); }
void TreeRows::SetSelected(Row row, bool selected) { tree_.SetSelected(NodeOf(row), selected); }
void TreeRows::ClearSelection() { tree_.ClearSelection(); }

void TreeRows::Focus(Row row, bool show) {
    tree_.SetFocusedNode(NodeOf(row));
    if (show) tree_.ScrollIntoView(NodeOf(row), false, true);
}

bool TreeRows::Expanded(Row row) const { return tree_.GetExpanded(NodeOf(row)); }
void TreeRows::SetExpanded(Row row, bool expanded) { tree_.SetExpanded(NodeOf(row), expanded); }

}  // namespace jobmodel
