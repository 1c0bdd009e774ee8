#pragma once
// Operations over a whole list of item rows: the job list, the DVD window's title list
// and the clip dialog's segment list all keep one MediaItem in each row.
#include "jobmodel/mediaitem.h"
#include "jobmodel/rows.h"

namespace jobmodel {

// Releases and deletes every row of the list: children before their parents, so every
// shared sub-record loses exactly the references this list held.
void ClearItemTree(JobRows& rows);

// Spreads a trimmed part of a DVD title over the chapter rows of the DVD window's list
// (the disc row first, its children the titles, theirs the chapters), writing each
// chapter's time range; a chapter whose range ends at 0 gives no input.
//  - The title is the first whose source text equals `item`'s.
//  - When `trimmed` is `item` itself, every chapter gets its whole length.
//  - Otherwise `trimmed`'s time range, in seconds of the title, is cut at the chapter
//    boundaries: a range that starts on a boundary starts in the next chapter at 0.
// Returns the title's row, or null when no title has the item's source text (nothing
// is written then).
Row MapTrimToChapters(JobRows& dvdRows, const MediaItem& item, const MediaItem& trimmed);

// A chapter row's length in seconds: its DVD record's, else its media information's.
int ChapterSeconds(const MediaItem& chapter);

}  // namespace jobmodel
