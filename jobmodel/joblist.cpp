#include "jobmodel/joblist.h"

#include <cstring>
#include <unordered_set>
#include <vector>

#include "jobmodel/jobrows.h"

namespace jobmodel {

// ---- cells and check boxes ----

bool IsGroupMember(const MediaItem& item) {
    return (item.kind == mkMerge || item.kind == mkSlide) && !IsGroupRole(item.role);
}

bool IsGroupRow(const MediaItem& item) {
    return (item.kind == mkMerge || item.kind == mkSlide) && IsGroupRole(item.role);
}

bool IsMergeMember(const JobRows& rows, Row row) {
    const MediaItem* parent = row ? rows.Item(rows.Parent(row)) : nullptr;
    return parent && parent->kind == mkMerge;
}

std::string ItemCellText(const JobRows& rows, Row row, int column) {
    const MediaItem* item = rows.Item(row);
    if (!item) return {};
    switch (column) {
        case 0: return FieldText(item->row.source);
        case 1: return IsGroupMember(*item) ? "--" : FieldText(item->row.originalLength);
        case 2: return IsGroupMember(*item) ? "--" : FieldText(item->row.trimmedLength);
        case 3: return IsMergeMember(rows, row) ? "" : FieldText(item->row.destination);
        default: return {};
    }
}

int ItemImageIndex(const JobRows& rows, Row row, int column) {
    const MediaItem* item = rows.Item(row);
    return item && column == 0 ? item->imageIndex : -1;
}

void SetRowCheckState(JobRows& rows, Row row, bool checked) {
    rows.SetChecked(row, checked);
    // The record's byte follows, so a row seeded again from it keeps the state.
    if (MediaItem* item = rows.Item(row)) item->row.checkState = checked ? 2 : 0;
}

void FlipItemCheckByte(MediaItem& item) { item.row.checkState = item.row.checkState ? 0 : 1; }

// ---- renaming ----

bool ClickEditsDestination(const JobRows& rows, int column) {
    Row first = rows.FirstSelected();
    if (!first) return false;
    if (IsMergeMember(rows, first)) column = 1;
    const MediaItem* item = rows.Item(first);
    return column == 3 && item && !(item->kind == mkMerge && IsGroupMember(*item));
}

bool IsSwallowedNameKey(char key) { return key && std::strchr("/\\:*?\"<>|", key); }

std::string BeginDestinationEdit(MediaItem& item) {
    const std::string before = FieldText(item.row.destination);
    const size_t dot = before.find_last_of('.');
    if (dot != std::string::npos) CopyTextField(item.row.destination, before.substr(0, dot).c_str());
    return before;
}

bool SetNewDestinationText(MediaItem& item, const std::string& text) {
    std::string kept;
    for (char c : text)
        if (!IsSwallowedNameKey(c) && !(kept.empty() && c == '.')) kept += c;
    // The name and ".flv" fill at most the field less its terminator.
    char cut[sizeof item.row.destination - 4];
    CopyTextField(cut, kept.c_str());
    if (!cut[0]) return false;
    if (IsGroupRow(item)) CopyTextField(item.name, cut);
    CopyTextField(item.row.destination, cut);
    return true;
}

void EndDestinationEdit(MediaItem& item) {
    const std::string name = FieldText(item.row.destination);
    CopyTextField(item.row.destination, (name + ".flv").c_str());
}

void CancelDestinationEdit(MediaItem& item, const std::string& before) {
    CopyTextField(item.row.destination, before.c_str());
}

// ---- commands ----

namespace {

// Deletes rows while remembering which are gone, so one command never touches a row an
// earlier step of it removed.
class RowDeleter {
public:
    RowDeleter(JobRows& rows, std::unordered_set<Row>* alive) : rows_(rows), alive_(alive) {}

    bool Alive(Row row) const { return !alive_ || alive_->count(row); }

    void Delete(Row row) {
        if (alive_) Forget(row);
        DeleteItemRow(rows_, row);
    }

    // A member: when its group is left empty the group goes too, else its lengths change.
    void Member(Row member) {
        Row group = rows_.Parent(member);
        Delete(member);
        if (!group) return;
        if (!rows_.FirstChild(group)) Delete(group);
        else RecomputeGroupLength(rows_, group);
    }

    void GroupCopies(const std::string& name) {
        for (Row group = rows_.FirstChild(nullptr); group;) {
            Row nextGroup = rows_.NextSibling(group);
            const MediaItem* g = rows_.Item(group);
            if (g && (g->kind == mkMerge || g->kind == mkSlide)) {
                bool lost = false;
                for (Row member = rows_.FirstChild(group); member;) {
                    Row next = rows_.NextSibling(member);
                    if (FieldText(rows_.Item(member)->name) == name) {
                        Delete(member);
                        lost = true;
                    }
                    member = next;
                }
                if (lost && !rows_.FirstChild(group)) Delete(group);
                else if (lost) RecomputeGroupLength(rows_, group);
            }
            group = nextGroup;
        }
    }

private:
    void Forget(Row row) {
        alive_->erase(row);
        for (Row child = rows_.FirstChild(row); child; child = rows_.NextSibling(child)) Forget(child);
    }

    JobRows& rows_;
    std::unordered_set<Row>* alive_;
};

}  // namespace

void DeleteItemRow(JobRows& rows, Row row) {
    for (Row child = rows.FirstChild(row); child;) {
        Row next = rows.NextSibling(child);
        DeleteItemRow(rows, child);
        child = next;
    }
    if (MediaItem* item = rows.Item(row)) ReleaseMediaItem(*item);
    rows.Delete(row);
}

void RecomputeGroupLength(JobRows& rows, Row group) {
    MediaItem* g = rows.Item(group);
    if (!g) return;
    long long total = 0;
    for (Row member = rows.FirstChild(group); member; member = rows.NextSibling(member))
        if (const MediaItem* m = rows.Item(member); m && m->timeRange)
            total += m->timeRange->end - m->timeRange->start;
    const std::string length = FormatSeconds(static_cast<float>(total));
    CopyTextField(g->row.originalLength, length.c_str());
    CopyTextField(g->row.trimmedLength, length.c_str());
}

void DeleteGroupCopies(JobRows& rows, const std::string& name) { RowDeleter(rows, nullptr).GroupCopies(name); }

void RelinkGroupCopies(JobRows& rows, const MediaItem& segment) {
    const std::string name = FieldText(segment.name);
    for (Row group = rows.FirstChild(nullptr); group; group = rows.NextSibling(group)) {
        MediaItem* g = rows.Item(group);
        if (!g || (g->kind != mkMerge && g->kind != mkSlide)) continue;
        long long total = 0;
        for (Row row = rows.FirstChild(group); row; row = rows.NextSibling(row)) {
            MediaItem& member = *rows.Item(row);
            if (FieldText(member.name) == name) {
                const std::string destination = FieldText(member.row.destination);
                InitGroupMember(member, segment);
                member.kind = g->kind;
                CopyTextField(member.row.destination, destination.c_str());
                CopyTextField(member.row.originalLength, "--");
                CopyTextField(member.row.trimmedLength, "--");
                member.row.checkType = 0;
                member.row.checkState = 0;
            }
            if (member.timeRange) total += member.timeRange->end - member.timeRange->start;
        }
        const std::string length = FormatSeconds(static_cast<float>(total));
        CopyTextField(g->row.originalLength, length.c_str());
        CopyTextField(g->row.trimmedLength, length.c_str());
    }
}

void DeleteSelectedRows(JobRows& rows) { DeleteRows(rows, rows.SelectedRows()); }

void DeleteRows(JobRows& rows, const std::vector<Row>& selected) {
    if (selected.empty()) return;
    std::unordered_set<Row> alive;
    for (Row row = NextRowInOrder(rows, nullptr); row; row = NextRowInOrder(rows, row)) alive.insert(row);
    RowDeleter del(rows, &alive);
    for (Row row : selected) {
        if (!del.Alive(row)) continue;
        const MediaItem& item = *rows.Item(row);
        if (IsGroupRow(item)) {
            del.Delete(row);
        } else if (IsGroupMember(item)) {
            del.Member(row);
        } else if (item.kind == mkSegment) {
            del.GroupCopies(FieldText(item.name));
            del.Delete(row);
        } else {
            for (Row segment = rows.FirstChild(row); segment;) {
                Row next = rows.NextSibling(segment);
                del.GroupCopies(FieldText(rows.Item(segment)->name));
                del.Delete(segment);
                segment = next;
            }
            del.GroupCopies(FieldText(item.name));
            del.Delete(row);
        }
    }
}

void SetAllChecked(JobRows& rows, bool checked) {
    for (Row row = NextRowInOrder(rows, nullptr); row; row = NextRowInOrder(rows, row))
        SetRowCheckState(rows, row, checked);
}

bool MoveSelectedRow(JobRows& rows, bool up) {
    Row row = rows.FirstSelected();
    if (!row) return false;
    Row target = up ? rows.PreviousSibling(row) : rows.NextSibling(row);
    if (!target) return false;
    rows.Move(row, target, up);
    return true;
}

bool ClearAllRows(JobRows& rows) {
    if (!rows.FirstChild(nullptr)) return false;
    ClearItemTree(rows);
    return true;
}

// ---- copy marks ----

namespace {

template <class Visit>
void ForEachMember(JobRows& rows, Visit visit) {
    for (Row group = rows.FirstChild(nullptr); group; group = rows.NextSibling(group)) {
        const MediaItem* g = rows.Item(group);
        if (!g || (g->kind != mkMerge && g->kind != mkSlide)) continue;
        for (Row member = rows.FirstChild(group); member;) {
            Row next = rows.NextSibling(member);
            visit(member, *rows.Item(member));
            member = next;
        }
    }
}

}  // namespace

void MarkGroupCopies(JobRows& rows, const MediaItem& row) {
    const std::string name = FieldText(row.name);
    ForEachMember(rows, [&](Row, MediaItem& member) {
        if (FieldText(member.name) == name) member.copyMark = 1;
    });
}

void DeleteMarkedCopies(JobRows& rows) {
    std::vector<Row> marked;
    ForEachMember(rows, [&](Row row, MediaItem& member) {
        if (member.copyMark == 1) marked.push_back(row);
    });
    RowDeleter del(rows, nullptr);
    for (Row row : marked) del.Member(row);
}

void ClearCopyMarks(JobRows& rows) {
    ForEachMember(rows, [](Row, MediaItem& member) { member.copyMark = 0; });
}

}  // namespace jobmodel
