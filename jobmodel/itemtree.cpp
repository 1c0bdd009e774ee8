#include "jobmodel/itemtree.h"

#include <cstring>

namespace jobmodel {

namespace {

void ReleaseSubtree(JobRows& rows, Row row) {
    // Children first, the last one first: a row that leaves from the end of its siblings
    // renumbers none of them, so clearing takes time in proportion to the rows. The walk
    // takes the previous sibling before the row goes.
    for (Row child = rows.LastChild(row); child;) {
        Row previous = rows.PreviousSibling(child);
        ReleaseSubtree(rows, child);
        child = previous;
    }
    if (MediaItem* item = rows.Item(row)) ReleaseMediaItem(*item);
    rows.Delete(row);
}

bool SameText(const char* a, const char* b, std::size_t width) { return std::strncmp(a, b, width) == 0; }

}  // namespace

void ClearItemTree(JobRows& rows) {
    // Rows that were never shown still hold records that must be released.
    for (Row top = rows.LastChild(nullptr); top;) {
        Row previous = rows.PreviousSibling(top);
        ReleaseSubtree(rows, top);
        top = previous;
    }
}

int ChapterSeconds(const MediaItem& chapter) {
    if (chapter.dvdChapter) return chapter.dvdChapter->lengthSeconds;
    return chapter.mediaInfo ? chapter.mediaInfo->durationSeconds : 0;
}

Row MapTrimToChapters(JobRows& dvdRows, const MediaItem& item, const MediaItem& trimmed) {
    Row disc = dvdRows.FirstChild(nullptr);
    Row title = disc ? dvdRows.FirstChild(disc) : nullptr;
    for (; title; title = dvdRows.NextSibling(title)) {
        const MediaItem* t = dvdRows.Item(title);
        if (t && SameText(t->row.source, item.row.source, sizeof item.row.source)) break;
    }
    if (!title) return nullptr;

    const bool whole = &item == &trimmed || !trimmed.timeRange;
    const int a = whole ? 0 : trimmed.timeRange->start;
    const int b = whole ? 0 : trimmed.timeRange->end;
    int d = 0;           // where this chapter starts in the title
    bool ended = false;  // the chapter holding the range's end has been passed
    for (Row row = dvdRows.FirstChild(title); row; row = dvdRows.NextSibling(row)) {
        MediaItem* chapter = dvdRows.Item(row);
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
