#include "jobmodel/convertplan.h"

#include <cstring>

#include "jobmodel/itemtree.h"

namespace jobmodel {

namespace {

template <class T>
T* CopyOf(const T* record, T* (*make)()) {
    if (!record) return nullptr;
    T* copy = make();
    *copy = *record;
    return copy;
}

// The record with copies of the sub-records it has, and none of those it lacks: the
// worker tells a row without an option record or media information by the null.
std::unique_ptr<PlannedRow> Plan(const JobRows& rows, Row row) {
    auto planned = std::make_unique<PlannedRow>();
    const MediaItem& source = *rows.Item(row);
    MediaItem& item = planned->item;
    item = source;
    item.timeRange = CopyOf(source.timeRange, &NewTimeRange);
    item.crop = CopyOf(source.crop, &NewCropSetting);
    item.effect = CopyOf(source.effect, &NewEffectSetting);
    item.mediaInfo = CopyOf(source.mediaInfo, &NewMediaInfo);
    item.customSetting = nullptr;
    if (source.customSetting) {
        item.customSetting = NewCustomSetting();
        CopyCustomSetting(*item.customSetting, *source.customSetting);
    }
    planned->record = &source;
    planned->range = source.timeRange;
    return planned;
}

// The segment row a member was copied from: a segment child of a top-level row with the
// member's name (the groups' own members never match).
Row FindSegment(const JobRows& rows, const MediaItem& member) {
    for (Row top = rows.FirstChild(nullptr); top; top = rows.NextSibling(top))
        for (Row child = rows.FirstChild(top); child; child = rows.NextSibling(child)) {
            const MediaItem* item = rows.Item(child);
            if (item && item->role == rrSegment && std::strncmp(item->name, member.name, sizeof item->name) == 0)
                return child;
        }
    return nullptr;
}

}  // namespace

PlannedRow::~PlannedRow() { ReleaseMediaItem(item); }

ConvertPlan MakeConvertPlan(const JobRows& jobRows) {
    ConvertPlan plan;
    for (Row row : jobRows.CheckedRows()) {
        if (!jobRows.Item(row)) continue;
        std::unique_ptr<PlannedRow> job = Plan(jobRows, row);
        if (job->item.role == rrSegment)
            if (Row parent = jobRows.Parent(row)) job->parent = Plan(jobRows, parent);
        if (job->item.kind == mkMerge || job->item.kind == mkSlide) {
            for (Row child = jobRows.FirstChild(row); child; child = jobRows.NextSibling(child)) {
                if (!jobRows.Item(child)) continue;
                std::unique_ptr<PlannedRow> member = Plan(jobRows, child);
                if (member->item.sourceKind == mkSegment && member->item.dvdKind != 0)
                    if (Row segment = FindSegment(jobRows, member->item)) {
                        member->segment = Plan(jobRows, segment);
                        member->segment->parent = Plan(jobRows, jobRows.Parent(segment));
                    }
                job->members.push_back(std::move(member));
            }
        }
        plan.jobs.push_back(std::move(job));
    }
    return plan;
}

Row FindRowOf(const JobRows& rows, const MediaItem* record) {
    for (Row row = NextRowInOrder(rows, nullptr); row; row = NextRowInOrder(rows, row))
        if (rows.Item(row) == record) return row;
    return nullptr;
}

}  // namespace jobmodel
