#pragma once
// The job list's row operations: what each cell shows, check boxes, renaming the output
// name, delete with its cascade through the groups, check all, move, clear, and the
// copy marks the clip dialog uses when it deletes segments.
#include <string>
#include <vector>

#include "jobmodel/itemtree.h"
#include "jobmodel/rows.h"

namespace jobmodel {

// ---- cells and check boxes ----

// A group member: kind merge or slide and not a group row.
bool IsGroupMember(const MediaItem& item);
// A group row: kind merge or slide and a group's role.
bool IsGroupRow(const MediaItem& item);
// A member of a merge group (its parent is a merge group).
bool IsMergeMember(const JobRows& rows, Row row);

// The text of a cell of the job list: source, lengths ("--" for members) and the output
// name (empty for merge members).
std::string ItemCellText(const JobRows& rows, Row row, int column);
// The row's picture for column 0, -1 for the others.
int ItemImageIndex(const JobRows& rows, Row row, int column);
// Sets the row's check state and the record's byte with it, so a row seeded again from
// its record keeps the state.
void SetRowCheckState(JobRows& rows, Row row, bool checked);
// Flips the record's check byte (the row's check box keeps the state that counts).
void FlipItemCheckByte(MediaItem& item);

// ---- renaming the output name (column 3) ----

// Whether a click on `column` of the first selected row starts an edit of column 3
// (a merge member counts as column 1).
bool ClickEditsDestination(const JobRows& rows, int column);
// The characters a typed output name never holds (a name is one path component).
bool IsSwallowedNameKey(char key);
// Before the editor opens: cuts the destination before its last ".", so the editor
// shows the name without extension. Returns the destination as it was, for a cancel.
std::string BeginDestinationEdit(MediaItem& item);
// The committed text: swallowed characters and leading dots dropped, cut so the name
// and ".flv" fit the field; empty after that changes nothing. A group takes it as its
// name too. Returns whether the row changed.
bool SetNewDestinationText(MediaItem& item, const std::string& text);
// After the commit: ".flv" appended.
void EndDestinationEdit(MediaItem& item);
// An edit the user cancelled: the destination as it was before the edit began.
void CancelDestinationEdit(MediaItem& item, const std::string& before);

// ---- commands ----

// Releases and deletes one row with its subtree (records first, children before parents).
void DeleteItemRow(JobRows& rows, Row row);
// The sum of the members' trimmed lengths, written into the group's two length texts.
void RecomputeGroupLength(JobRows& rows, Row group);
// Deletes every member of a top-level group named like `item`; an emptied group goes,
// one that keeps members gets its lengths again.
void DeleteGroupCopies(JobRows& rows, const std::string& name);
// Re-makes every member named like the new segment from it (keeping its destination and
// its group's kind, lengths "--") and recomputes every group's lengths.
void RelinkGroupCopies(JobRows& rows, const MediaItem& segment);
// The Delete command: every selected row in tree order, with its segments and their
// copies in the groups; a member's emptied group goes too.
void DeleteSelectedRows(JobRows& rows);
// Deletes the rows as the Delete command does, in tree order, skipping any an earlier
// step removed.
void DeleteRows(JobRows& rows, const std::vector<Row>& selected);
// Check All and Uncheck All: every row at every level.
void SetAllChecked(JobRows& rows, bool checked);
// Move Up / Move Down of the first selected row among its siblings; false when nothing moved.
bool MoveSelectedRow(JobRows& rows, bool up);
// Clear All: releases and removes every row; false for an empty list.
bool ClearAllRows(JobRows& rows);

// ---- copy marks (the clip dialog's segment deletion) ----

void MarkGroupCopies(JobRows& rows, const MediaItem& row);
void DeleteMarkedCopies(JobRows& rows);
void ClearCopyMarks(JobRows& rows);

}  // namespace jobmodel
