#pragma once
// Operations over a whole tree of item rows: the job list, the DVD window's title list
// and the clip dialog's segment list all keep one MediaItem in each node.
#include "jobmodel/mediaitem.h"
#include "treeview/vasttrees.h"

namespace jobmodel {

// The record of a node (null for a null node).
MediaItem* ItemOf(const treeview::TBaseVastTree& tree, treeview::PVastNode node);

// Gives the tree's node data the size (and alignment) of a MediaItem; every item tree
// starts with it, before its first node.
void PrepareItemTree(treeview::TBaseVastTree& tree);

// Releases and deletes every row of the tree: children before their parents, so every
// shared sub-record loses exactly the references this tree held.
void ClearItemTree(treeview::TBaseVastTree& tree);

// Spreads a trimmed part of a DVD title over the chapter rows of the DVD window's tree
// (the disc row first, its children the titles, theirs the chapters), writing each
// chapter's time range; a chapter whose range ends at 0 gives no input.
//  - The title is the first whose source text equals `item`'s.
//  - When `trimmed` is `item` itself, every chapter gets its whole length.
//  - Otherwise `trimmed`'s time range, in seconds of the title, is cut at the chapter
//    boundaries: a range that starts on a boundary starts in the next chapter at 0.
// Returns the title's node, or null when no title has the item's source text (nothing
// is written then).
treeview::PVastNode MapTrimToChapters(treeview::TBaseVastTree& dvdTree, const MediaItem& item,
                                      const MediaItem& trimmed);

// A chapter row's length in seconds: its DVD record's, else its media information's.
int ChapterSeconds(const MediaItem& chapter);

}  // namespace jobmodel
