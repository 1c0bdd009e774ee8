#include "jobmodel/itemtree.h"

#include <cstring>

namespace jobmodel {

using treeview::PVastNode;
using treeview::TBaseVastTree;

MediaItem* ItemOf(const TBaseVastTree& tree, PVastNode node) {
    return node ? tree.GetNodeData<MediaItem>(node) : nullptr;
}

void PrepareItemTree(TBaseVastTree& tree) {
    tree.SetNodeDataSize(static_cast<std::int32_t>(sizeof(MediaItem)));
}

namespace {

void ReleaseSubtree(TBaseVastTree& tree, PVastNode node) {
    // Children first, the last one first: a node that leaves from the end of its siblings
    // renumbers none of them, so clearing takes time in proportion to the rows. The walk
    // takes the previous sibling before the node goes.
    for (PVastNode child = node->LastChild; child;) {
        PVastNode previous = child->PrevSibling;
        ReleaseSubtree(tree, child);
        child = previous;
    }
    if (MediaItem* item = ItemOf(tree, node)) ReleaseMediaItem(*item);
    tree.DeleteNode(node);
}

bool SameText(const char* a, const char* b, std::size_t width) { return std::strncmp(a, b, width) == 0; }

}  // namespace

void ClearItemTree(TBaseVastTree& tree) {
    // The walk reads the links without initialising nodes: rows that were never shown
    // still hold records that must be released.
    for (PVastNode top = tree.RootNode()->LastChild; top;) {
        PVastNode previous = top->PrevSibling;
        ReleaseSubtree(tree, top);
        top = previous;
    }
}

int ChapterSeconds(const MediaItem& chapter) {
    if (chapter.dvdChapter) return chapter.dvdChapter->lengthSeconds;
    return chapter.mediaInfo ? chapter.mediaInfo->durationSeconds : 0;
}

PVastNode MapTrimToChapters(TBaseVastTree& dvdTree, const MediaItem& item, const MediaItem& trimmed) {
    PVastNode disc = dvdTree.RootNode()->FirstChild;
    PVastNode title = disc ? disc->FirstChild : nullptr;
    for (; title; title = title->NextSibling) {
        const MediaItem* t = ItemOf(dvdTree, title);
        if (t && SameText(t->row.source, item.row.source, sizeof item.row.source)) break;
    }
    if (!title) return nullptr;

    const bool whole = &item == &trimmed || !trimmed.timeRange;
    const int a = whole ? 0 : trimmed.timeRange->start;
    const int b = whole ? 0 : trimmed.timeRange->end;
    int d = 0;           // where this chapter starts in the title
    bool ended = false;  // the chapter holding the range's end has been passed
    for (PVastNode node = title->FirstChild; node; node = node->NextSibling) {
        MediaItem* chapter = ItemOf(dvdTree, node);
        if (!chapter || !chapter->timeRange) continue;
        TimeRange& range = *chapter->timeRange;
        const int length = ChapterSeconds(*chapter);
        const int e = d + length;
        if (whole) {
            range = {0, length};
        } else if (ended || a >= e) {
            range = {0, 0};
        } else {
            range.start = a > d ? a - d : 0;
            range.end = length;
            if (b <= e) {
                range.end = b - d;
                ended = true;
            }
        }
        d = e;
    }
    return title;
}

}  // namespace jobmodel
