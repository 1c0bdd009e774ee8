#pragma once
// The rows of an item list as the job model sees them: the job list, the DVD window's
// title list and the clip dialog's segment list are each an ordered tree of rows, every
// row holding one MediaItem, with a check box and a selection. The model reaches a list
// only through this interface: the windows' lists are tree controls behind the adapter
// of jobmodel/treerows.h, and tests use a list kept in memory.
//
// Every call comes on the user-interface thread that owns the list.
#include <cstdint>
#include <vector>

#include "jobmodel/mediaitem.h"

namespace jobmodel {

// A row's handle: valid until the row is deleted. A null handle stands for no row and,
// given as a parent, for the top level.
struct RowTag;
using Row = RowTag*;

class JobRows {
public:
    virtual ~JobRows() = default;

    // ---- reading ----

    // The row's record (null for a null row).
    virtual MediaItem* Item(Row row) const = 0;
    // Null for a top-level row.
    virtual Row Parent(Row row) const = 0;
    // The first and last child of `parent`; of the top level for null.
    virtual Row FirstChild(Row parent) const = 0;
    virtual Row LastChild(Row parent) const = 0;
    virtual Row NextSibling(Row row) const = 0;
    virtual Row PreviousSibling(Row row) const = 0;
    // The number of top-level rows.
    virtual int TopCount() const = 0;

    // ---- changing ----

    // A new row with a zero-filled record: the last child of `parent` (null: at the end
    // of the top level).
    virtual Row Add(Row parent) = 0;
    // Removes the row and its subtree. Their records are the caller's to release first.
    virtual void Delete(Row row) = 0;
    // Moves `row` next to `target`, before or after it, among the target's siblings.
    virtual void Move(Row row, Row target, bool before) = 0;
    // Many rows are added between the two: the list shows them once, at the end.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}

    // ---- check boxes ----

    // The row's check box takes its kind and state from the record's check bytes: every
    // builder calls it once the record is filled, so a row never shown is checked as its
    // record says.
    virtual void TakeCheckFromItem(Row row) = 0;
    virtual bool Checked(Row row) const = 0;
    // Sets the row's check box (the record's byte is the caller's).
    virtual void SetChecked(Row row, bool checked) = 0;
    // The checked rows at every level, in list order.
    virtual std::vector<Row> CheckedRows() const = 0;

    // ---- selection and view ----

    // The selected rows in list order.
    virtual std::vector<Row> SelectedRows() const = 0;
    virtual Row FirstSelected() const = 0;
    virtual int SelectedCount() const = 0;
    virtual bool Selected(Row row) const = 0;
    virtual void SetSelected(Row row, bool selected) = 0;
    virtual void ClearSelection() = 0;
    // The row gets the focus; with `show`, the list scrolls to it.
    virtual void Focus(Row row, bool show = false) = 0;
    virtual bool Expanded(Row row) const = 0;
    virtual void SetExpanded(Row row, bool expanded) = 0;
};

// The next row in list order (children before the next sibling), null after the last;
// null starts at the first row.
Row NextRowInOrder(const JobRows& rows, Row row);

}  // namespace jobmodel
