#pragma once
// The builders of the job list's rows that are not DVD rows: file rows, merge and slide
// groups with their members, and the clip dialog's segment rows; and keeping group
// members in step when the segments they copy change.
#include <string>
#include <unordered_set>

#include "jobmodel/itemtree.h"
#include "jobmodel/jobhost.h"

namespace jobmodel {

// ---- file rows ----

// Copies every field of the option record into the item's own record (made when the
// item has none), IsCustom stored as 0 or 1.
void AssignItemCustomSetting(MediaItem& item, const CustomSetting& record);
// The record a new row's options are copied from: CurrentCustomSetting when that is
// marked custom, else DefaultCustomSetting (null when neither is built).
const CustomSetting* NewRowOptionSource();
// A new row's own option record: a copy of `from` with IsCustom stored as 0 or 1 (the
// defaults when null). It touches nothing shared, so the add command makes it on its
// probing threads from a copy of the source.
CustomSetting* NewItemCustomSetting(const CustomSetting* from);
// Gives a new file or DVD row its option record (`made` when given, taken over; else one
// from NewRowOptionSource), default crop and effect, and the time range {0, whole-second
// duration}.
void CreateItemSettings(MediaItem& item, MediaInfo* mediaInfo, CustomSetting* made = nullptr);
// Sets up a file row whose name and source are written; takes over the media record's
// reference (and `made`, as CreateItemSettings does).
void InitFileItem(MediaItem& item, MediaInfo* mediaInfo, CustomSetting* made = nullptr);

// The base name of a path: its file name cut before its last "." (whole without one).
std::string BaseItemName(const std::string& path);
// The file name of a path (after its last "/").
std::string FileNameOf(const std::string& path);

// The names of the job list's top-level file rows: what a new file's name must differ from.
std::unordered_set<std::string> FileRowNames(const JobRows& rows);
// The first of base, base_1, base_2, ... that no name in the set has.
std::string UniqueItemName(const std::string& base, const std::unordered_set<std::string>& names);

// Appends a file row for the probed file at the end of the top level. Its name is made
// unique against `names`, which then holds it too. Takes over the media record's reference
// and `made` (the row's option record made beforehand by NewItemCustomSetting).
Row AppendFileRow(JobRows& rows, const std::string& path, MediaInfo* mediaInfo,
                                  std::unordered_set<std::string>& names, CustomSetting* made = nullptr);

// ---- groups ----

// The main window's group counters: raised before each group of their kind, never stored.
struct GroupCounters {
    int merge = 0;
    int slide = 0;
};

constexpr const char* kNeedTwoRowsText = "Need more than two files are selected!";

void InitGroupItem(MediaItem& group, MediaInfo* mediaInfo);
void CreateGroupSettings(MediaItem& group);
// Makes `member` again from `source`: shares its media information, crop and effect,
// copies its time range and takes its DVD fields, stream ids and kind.
void InitGroupMember(MediaItem& member, const MediaItem& source);
// Adds a member copied from `source` under the group; returns total + its length.
int AddGroupMember(JobRows& rows, Row group, const MediaItem& source,
                   MediaItemKind kind, int groupNumber, int total);
void SelectNewGroup(JobRows& rows, Row group);
// Makes a group of the selected rows (a selected group gives its members) and selects it.
Row CreateGroupItem(JobRows& rows, MediaItemKind kind, GroupCounters& counters);
// The Merge and Slide commands: at least two selected rows, else the message and nothing
// changes. Merge reloads the working option record first. Returns the group or null.
Row MakeGroup(JobRows& rows, MediaItemKind kind, GroupCounters& counters,
                              JobHost& host);

// ---- segments ----

// Fills the clip dialog's segment list for the job-list row `row`: copies of its
// segment rows, or one segment "Segment_1" made from the row itself (then selected).
void LoadClipSegments(JobRows& segments, JobRows& jobRows, Row row);
// Writes the segment list back as the row's segment rows (the old ones already removed),
// re-links every group member copying a segment of the same name and recomputes those
// groups' lengths; then the row is unchecked, expanded and selected.
void StoreClipSegments(JobRows& segments, JobRows& jobRows, Row row);
// Releases and deletes `row` and every following sibling, with their subtrees.
void DeleteItemSiblings(JobRows& rows, Row row);

}  // namespace jobmodel
