#include "jobmodel/jobrows.h"

#include <string>

#include "jobmodel/customstore.h"
#include "jobmodel/joblist.h"

namespace jobmodel {

void JobHost::LoadOptionRecord() { LoadCustomSetting(); }

// ---- file rows ----

void AssignItemCustomSetting(MediaItem& item, const CustomSetting& record) {
    if (!item.customSetting) item.customSetting = NewCustomSetting();
    CopyCustomSetting(*item.customSetting, record);
    item.customSetting->IsCustom = record.IsCustom ? 1 : 0;
}

const CustomSetting* NewRowOptionSource() {
    return CurrentCustomSetting && CurrentCustomSetting->IsCustom ? CurrentCustomSetting : DefaultCustomSetting;
}

CustomSetting* NewItemCustomSetting(const CustomSetting* from) {
    CustomSetting* made = NewCustomSetting();
    if (from) {
        CopyCustomSetting(*made, *from);
        made->IsCustom = from->IsCustom ? 1 : 0;
    }
    return made;
}

void CreateItemSettings(MediaItem& item, MediaInfo* mediaInfo, CustomSetting* made) {
    Drop(item.customSetting);
    item.customSetting = made ? made : NewItemCustomSetting(NewRowOptionSource());
    if (!item.crop) item.crop = NewCropSetting();
    ResetCropSetting(*item.crop);
    if (!item.effect) item.effect = NewEffectSetting();
    ResetEffectSetting(*item.effect);
    if (!item.timeRange) item.timeRange = NewTimeRange();
    *item.timeRange = {0, mediaInfo ? mediaInfo->durationSeconds : 0};
}

void InitFileItem(MediaItem& item, MediaInfo* mediaInfo, CustomSetting* made) {
    const std::string source = FieldText(item.row.source);
    InitMediaItem(item);
    item.mediaInfo = mediaInfo;
    CreateItemSettings(item, mediaInfo, made);
    const std::string length = FormatSeconds(mediaInfo ? static_cast<float>(mediaInfo->duration) : 0.0f);
    const std::string destination = FieldText(item.name) + ".flv";
    SetItemRow(item.row, source.c_str(), length.c_str(), length.c_str(), destination.c_str(), 2, 2);
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BaseItemName(const std::string& path) {
    const std::string file = FileNameOf(path);
    const size_t dot = file.find_last_of('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::unordered_set<std::string> FileRowNames(const JobRows& rows) {
    std::unordered_set<std::string> names;
    for (Row row = rows.FirstChild(nullptr); row; row = rows.NextSibling(row))
        if (const MediaItem* item = rows.Item(row); item && item->kind == mkFile)
            names.insert(FieldText(item->name));
    return names;
}

std::string UniqueItemName(const std::string& base, const std::unordered_set<std::string>& names) {
    // Repeat until no row has the name: names key group copies and stream choices, so
    // two file rows must never share one.
    std::string candidate = base;
    for (int n = 1; names.count(candidate); ++n) candidate = base + "_" + std::to_string(n);
    return candidate;
}

Row AppendFileRow(JobRows& rows, const std::string& path, MediaInfo* mediaInfo,
                        std::unordered_set<std::string>& names, CustomSetting* made) {
    // The name field holds 1023 characters: the candidate is made from the cut base, so
    // the name kept is the name compared.
    char cut[sizeof(MediaItem::name)];
    CopyTextField(cut, BaseItemName(path).c_str());
    const std::string name = UniqueItemName(cut, names);
    Row row = rows.Add(nullptr);
    MediaItem& item = *rows.Item(row);
    CopyTextField(item.name, name.c_str());
    names.insert(FieldText(item.name));
    CopyTextField(item.row.source, FileNameOf(path).c_str(), 30);
    InitFileItem(item, mediaInfo, made);
    SetRowRole(item, rrFile);
    item.kind = mkFile;
    item.segmentCounter = 1;
    rows.TakeCheckFromItem(row);
    return row;
}

// ---- groups ----

void InitGroupItem(MediaItem& group, MediaInfo* mediaInfo) {
    const std::string source = FieldText(group.row.source);
    InitMediaItem(group);
    group.mediaInfo = Share(mediaInfo);
    const std::string destination = FieldText(group.name) + ".flv";
    SetItemRow(group.row, source.c_str(), "--", "--", destination.c_str(), 2, 2);
}

void CreateGroupSettings(MediaItem& group) {
    Drop(group.customSetting);
    group.customSetting = NewCustomSetting();
    if (CurrentCustomSetting) AssignItemCustomSetting(group, *CurrentCustomSetting);
    if (group.kind == mkSlide) group.customSetting->SwfType = stProgressive;
}

void InitGroupMember(MediaItem& member, const MediaItem& source) {
    const std::string kept = FieldText(member.row.source);
    InitMediaItem(member);
    member.mediaInfo = Share(source.mediaInfo);
    Drop(member.crop);
    member.crop = Share(source.crop);
    Drop(member.effect);
    member.effect = Share(source.effect);
    if (source.timeRange) CopyTimeRange(*member.timeRange, *source.timeRange);
    CopyDvdFields(member, source);
    member.kind = source.kind;
    const std::string length =
        FormatSeconds(source.mediaInfo ? static_cast<float>(source.mediaInfo->duration) : 0.0f);
    const std::string destination = FieldText(member.name) + ".flv";
    SetItemRow(member.row, kept.c_str(), length.c_str(), length.c_str(), destination.c_str(), 2, 2);
}

int AddGroupMember(JobRows& rows, Row group, const MediaItem& source, MediaItemKind kind, int groupNumber,
                   int total) {
    Row row = rows.Add(group);
    MediaItem& member = *rows.Item(row);
    CopyTextField(member.name, source.name);
    CopyTextField(member.row.source, source.row.source);
    InitGroupMember(member, source);
    CopyTextField(member.row.originalLength, source.row.originalLength);
    CopyTextField(member.row.trimmedLength, source.row.trimmedLength);
    if (kind == mkSlide) {
        const std::string destination =
            FieldText(source.name) + "(" + std::to_string(groupNumber) + ").flv";
        CopyTextField(member.row.destination, destination.c_str());
    }
    member.row.checkType = 0;
    member.row.checkState = 0;
    member.kind = kind;
    member.sourceKind = source.sourceKind == mkSegment ? mkSegment : source.kind;
    rows.TakeCheckFromItem(row);
    return total + (member.timeRange->end - member.timeRange->start);
}

void SelectNewGroup(JobRows& rows, Row group) {
    rows.SetExpanded(group, true);
    // The sources go unchecked, so they are not converted a second time on their own.
    for (Row row : rows.SelectedRows()) {
        rows.SetSelected(row, false);
        SetRowCheckState(rows, row, false);
    }
    rows.SetSelected(group, true);
    rows.Focus(group, true);
}

Row CreateGroupItem(JobRows& rows, MediaItemKind kind, GroupCounters& counters) {
    const int n = kind == mkMerge ? ++counters.merge : ++counters.slide;
    int total = 0;
    Row group = rows.Add(nullptr);
    MediaItem& item = *rows.Item(group);
    bool first = true;
    for (Row selected : rows.SelectedRows()) {
        if (selected == group) continue;
        const MediaItem& row = *rows.Item(selected);
        if (first) {
            InitGroupItem(item, row.mediaInfo);
            item.dvdDisc = row.dvdDisc;
            first = false;
        }
        if (IsGroupRole(row.role)) {
            for (Row child = rows.FirstChild(selected); child; child = rows.NextSibling(child))
                total = AddGroupMember(rows, group, *rows.Item(child), kind, n, total);
        } else {
            total = AddGroupMember(rows, group, row, kind, n, total);
        }
    }
    const std::string name = (kind == mkMerge ? "Merge" : "Slide") + std::to_string(n);
    CopyTextField(item.name, name.c_str());
    const std::string length = FormatSeconds(static_cast<float>(total));
    SetItemRow(item.row, name.c_str(), length.c_str(), length.c_str(), (name + ".flv").c_str(), 2, 2);
    item.kind = kind;
    SetRowRole(item, kind == mkMerge ? rrMergeGroup : rrSlideGroup);
    CreateGroupSettings(item);
    rows.TakeCheckFromItem(group);
    SelectNewGroup(rows, group);
    return group;
}

Row MakeGroup(JobRows& rows, MediaItemKind kind, GroupCounters& counters, JobHost& host) {
    if (rows.SelectedCount() < 2) {
        host.ShowMessage(kNeedTwoRowsText);
        return nullptr;
    }
    if (kind == mkMerge) host.LoadOptionRecord();
    return CreateGroupItem(rows, kind, counters);
}

// ---- segments ----

namespace {

Row AddCopy(JobRows& rows, Row parent, const MediaItem& from) {
    Row row = rows.Add(parent);
    MediaItem& copy = *rows.Item(row);
    CopyMediaItem(copy, from);
    CopyDvdFields(copy, from);
    return row;
}

}  // namespace

void LoadClipSegments(JobRows& segments, JobRows& jobRows, Row row) {
    const MediaItem* item = jobRows.Item(row);
    if (!item) return;
    if (jobRows.FirstChild(row)) {
        for (Row child = jobRows.FirstChild(row); child; child = jobRows.NextSibling(child))
            AddCopy(segments, nullptr, *jobRows.Item(child));
        return;
    }
    Row first = AddCopy(segments, nullptr, *item);
    MediaItem& segment = *segments.Item(first);
    const std::string name = FieldText(item->name) + "(1)";
    CopyTextField(segment.row.source, "Segment_1");
    CopyTextField(segment.name, name.c_str());
    CopyTextField(segment.row.destination, (name + ".flv").c_str());
    segments.SetSelected(first, true);
    segments.Focus(first);
}

void StoreClipSegments(JobRows& segments, JobRows& jobRows, Row row) {
    for (Row from = segments.FirstChild(nullptr); from; from = segments.NextSibling(from)) {
        const MediaItem& source = *segments.Item(from);
        Row added = AddCopy(jobRows, row, source);
        MediaItem& segment = *jobRows.Item(added);
        SetRowRole(segment, rrSegment);
        segment.kind = mkSegment;
        segment.row.checkType = 1;
        segment.row.checkState = 2;
        const std::string trimmed =
            FormatSeconds(static_cast<float>(segment.timeRange->end - segment.timeRange->start));
        CopyTextField(segment.row.trimmedLength, trimmed.c_str());
        segment.segmentCounter = source.segmentCounter;
        jobRows.TakeCheckFromItem(added);
        RelinkGroupCopies(jobRows, segment);
    }
    SetRowCheckState(jobRows, row, false);
    jobRows.SetExpanded(row, true);
    jobRows.ClearSelection();
    jobRows.SetSelected(row, true);
    jobRows.Focus(row);
}

void DeleteItemSiblings(JobRows& rows, Row row) {
    while (row) {
        Row next = rows.NextSibling(row);
        DeleteItemRow(rows, row);
        row = next;
    }
}

}  // namespace jobmodel
