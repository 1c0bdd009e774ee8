#pragma once
// The plan of a conversion run: what the worker needs of the job list, copied on the
// user-interface thread when Convert is pressed. The worker runs the plan and never
// reads a row, so the list may change while the run goes on: a row added meanwhile is
// not converted, a planned row converts as it stood, and a write-back to a row deleted
// meanwhile is dropped.
#include <memory>
#include <vector>

#include "jobmodel/mediaitem.h"
#include "jobmodel/rows.h"

namespace jobmodel {

// One planned row: a copy of its record with copies of its sub-records (the DVD fields
// still point into the loaded disc's records), and what the worker reads of the rows
// around it.
struct PlannedRow {
    PlannedRow() = default;
    PlannedRow(const PlannedRow&) = delete;
    PlannedRow& operator=(const PlannedRow&) = delete;
    ~PlannedRow();

    MediaItem item{};
    // The row's record and time range in the list: they name the row (and the DVD window's
    // row that shares the range) when the worker writes back. Never read through.
    const MediaItem* record = nullptr;
    const TimeRange* range = nullptr;
    // A segment's row; for a group member copied from a DVD segment, that segment (whose
    // own `parent` is its row).
    std::unique_ptr<PlannedRow> parent;
    std::unique_ptr<PlannedRow> segment;
    // A merge or slide group's members, in list order.
    std::vector<std::unique_ptr<PlannedRow>> members;
};

struct ConvertPlan {
    // The checked rows in list order.
    std::vector<std::unique_ptr<PlannedRow>> jobs;
};

ConvertPlan MakeConvertPlan(const JobRows& jobRows);

// The row whose record is `record` (null when it has gone): how the user-interface thread
// finds a planned row again.
Row FindRowOf(const JobRows& rows, const MediaItem* record);

}  // namespace jobmodel
