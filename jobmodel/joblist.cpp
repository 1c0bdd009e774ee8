#include "jobmodel/joblist.h"

#include <cstring>
#include <unordered_set>
#include <vector>

#include "jobmodel/jobrows.h"

namespace jobmodel {

using treeview::PVastNode;
using treeview::TBaseVastTree;

// ---- cells and check boxes ----

bool IsGroupMember(const MediaItem& item) {
    return (item.kind == mkMerge || item.kind == mkSlide) && item.imageIndex == 0;
}

bool IsGroupRow(const MediaItem& item) {
    return (item.kind == mkMerge || item.kind == mkSlide) && item.imageIndex != 0;
}

bool IsMergeMember(const TBaseVastTree& tree, PVastNode node) {
    if (!node || node->Parent == tree.RootNode()) return false;
    const MediaItem* parent = ItemOf(tree, node->Parent);
    return parent && parent->kind == mkMerge;
}

std::string ItemCellText(const TBaseVastTree& tree, PVastNode node, int column) {
    const MediaItem* item = ItemOf(tree, node);
    if (!item) return {};
    switch (column) {
        case 0: return FieldText(item->row.source);
        case 1: return IsGroupMember(*item) ? "--" : FieldText(item->row.originalLength);
        case 2: return IsGroupMember(*item) ? "--" : FieldText(item->row.trimmedLength);
        case 3: return IsMergeMember(tree, node) ? "" : FieldText(item->row.destination);
        default: return {};
    }
}

int ItemImageIndex(const TBaseVastTree& tree, PVastNode node, int column) {
    const MediaItem* item = ItemOf(tree, node);
    return item && column == 0 ? item->imageIndex : -1;
}

void InitItemNode(TBaseVastTree& tree, PVastNode node) {
    const MediaItem* item = ItemOf(tree, node);
    if (!item) return;
    node->CheckType = static_cast<treeview::TCheckType>(item->row.checkType);
    node->CheckState = static_cast<treeview::TCheckState>(item->row.checkState);
}

void SetRowCheckState(TBaseVastTree& tree, PVastNode node, bool checked) {
    tree.ValidateNode(node, false);
    tree.SetCheckState(node, checked ? treeview::csCheckedNormal : treeview::csUncheckedNormal);
    // The record's byte follows, so a node seeded again from it keeps the state.
    if (MediaItem* item = ItemOf(tree, node)) item->row.checkState = checked ? 2 : 0;
}

void FlipItemCheckByte(MediaItem& item) { item.row.checkState = item.row.checkState ? 0 : 1; }

// ---- renaming ----

bool ClickEditsDestination(const TBaseVastTree& tree, int column) {
    PVastNode first = const_cast<TBaseVastTree&>(tree).GetFirstSelected();
    if (!first) return false;
    if (IsMergeMember(tree, first)) column = 1;
    const MediaItem* item = ItemOf(tree, first);
    return column == 3 && item && !(item->kind == mkMerge && item->imageIndex == 0);
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
    RowDeleter(TBaseVastTree& tree, std::unordered_set<PVastNode>* alive) : tree_(tree), alive_(alive) {}

    bool Alive(PVastNode node) const { return !alive_ || alive_->count(node); }

    void Row(PVastNode node) {
        if (alive_) Forget(node);
        DeleteItemRow(tree_, node);
    }

    // A member: when its group is left empty the group goes too, else its lengths change.
    void Member(PVastNode member) {
        PVastNode group = member->Parent;
        Row(member);
        if (group == tree_.RootNode()) return;
        if (!group->FirstChild) Row(group);
        else RecomputeGroupLength(tree_, group);
    }

    void GroupCopies(const std::string& name) {
        for (PVastNode group = tree_.RootNode()->FirstChild; group;) {
            PVastNode nextGroup = group->NextSibling;
            const MediaItem* g = ItemOf(tree_, group);
            if (g && (g->kind == mkMerge || g->kind == mkSlide)) {
                bool lost = false;
                for (PVastNode member = group->FirstChild; member;) {
                    PVastNode next = member->NextSibling;
                    if (FieldText(ItemOf(tree_, member)->name) == name) {
                        Row(member);
                        lost = true;
                    }
                    member = next;
                }
                if (lost && !group->FirstChild) Row(group);
                else if (lost) RecomputeGroupLength(tree_, group);
            }
            group = nextGroup;
        }
    }

private:
    void Forget(PVastNode node) {
        alive_->erase(node);
        for (PVastNode child = node->FirstChild; child; child = child->NextSibling) Forget(child);
    }

    TBaseVastTree& tree_;
    std::unordered_set<PVastNode>* alive_;
};

}  // namespace

void DeleteItemRow(TBaseVastTree& tree, PVastNode node) {
    for (PVastNode child = node->FirstChild; child;) {
        PVastNode next = child->NextSibling;
        DeleteItemRow(tree, child);
        child = next;
    }
    if (MediaItem* item = ItemOf(tree, node)) ReleaseMediaItem(*item);
    tree.DeleteNode(node);
}

void RecomputeGroupLength(TBaseVastTree& tree, PVastNode group) {
    MediaItem* g = ItemOf(tree, group);
    if (!g) return;
    long long total = 0;
    for (PVastNode member = group->FirstChild; member; member = member->NextSibling)
        if (const MediaItem* m = ItemOf(tree, member); m && m->timeRange)
            total += m->timeRange->end - m->timeRange->start;
    const std::string length = FormatSeconds(static_cast<float>(total));
    CopyTextField(g->row.originalLength, length.c_str());
    CopyTextField(g->row.trimmedLength, length.c_str());
}

void DeleteGroupCopies(TBaseVastTree& tree, const std::string& name) { RowDeleter(tree, nullptr).GroupCopies(name); }

void RelinkGroupCopies(TBaseVastTree& tree, const MediaItem& segment) {
    const std::string name = FieldText(segment.name);
    for (PVastNode group = tree.RootNode()->FirstChild; group; group = group->NextSibling) {
        MediaItem* g = ItemOf(tree, group);
        if (!g || (g->kind != mkMerge && g->kind != mkSlide)) continue;
        long long total = 0;
        for (PVastNode node = group->FirstChild; node; node = node->NextSibling) {
            MediaItem& member = *ItemOf(tree, node);
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

void DeleteSelectedRows(TBaseVastTree& tree) { DeleteRows(tree, tree.GetSortedSelection(false)); }

void DeleteRows(TBaseVastTree& tree, const std::vector<PVastNode>& selected) {
    if (selected.empty()) return;
    std::unordered_set<PVastNode> alive;
    for (PVastNode node = tree.GetFirstNoInit(); node; node = tree.GetNextNoInit(node)) alive.insert(node);
    RowDeleter del(tree, &alive);
    for (PVastNode node : selected) {
        if (!del.Alive(node)) continue;
        const MediaItem& item = *ItemOf(tree, node);
        if (IsGroupRow(item)) {
            del.Row(node);
        } else if (IsGroupMember(item)) {
            del.Member(node);
        } else if (item.kind == mkSegment) {
            del.GroupCopies(FieldText(item.name));
            del.Row(node);
        } else {
            for (PVastNode segment = node->FirstChild; segment;) {
                PVastNode next = segment->NextSibling;
                del.GroupCopies(FieldText(ItemOf(tree, segment)->name));
                del.Row(segment);
                segment = next;
            }
            del.GroupCopies(FieldText(item.name));
            del.Row(node);
        }
    }
}

void SetAllChecked(TBaseVastTree& tree, bool checked) {
    for (PVastNode node = tree.GetFirst(); node; node = tree.GetNext(node)) SetRowCheckState(tree, node, checked);
}

bool MoveSelectedRow(TBaseVastTree& tree, bool up) {
    PVastNode node = tree.GetFirstSelected();
    if (!node) return false;
    PVastNode target = up ? node->PrevSibling : node->NextSibling;
    if (!target) return false;
    tree.MoveTo(node, target, up ? treeview::amInsertBefore : treeview::amInsertAfter, false);
    return true;
}

bool ClearAllRows(TBaseVastTree& tree) {
    if (!tree.RootNode()->FirstChild) return false;
    ClearItemTree(tree);
    return true;
}

// ---- copy marks ----

namespace {

template <class Visit>
void ForEachMember(TBaseVastTree& tree, Visit visit) {
    for (PVastNode group = tree.RootNode()->FirstChild; group; group = group->NextSibling) {
        const MediaItem* g = ItemOf(tree, group);
        if (!g || (g->kind != mkMerge && g->kind != mkSlide)) continue;
        for (PVastNode member = group->FirstChild; member;) {
            PVastNode next = member->NextSibling;
            visit(member, *ItemOf(tree, member));
            member = next;
        }
    }
}

}  // namespace

void MarkGroupCopies(TBaseVastTree& tree, const MediaItem& row) {
    const std::string name = FieldText(row.name);
    ForEachMember(tree, [&](PVastNode, MediaItem& member) {
        if (FieldText(member.name) == name) member.copyMark = 1;
    });
}

void DeleteMarkedCopies(TBaseVastTree& tree) {
    std::vector<PVastNode> marked;
    ForEachMember(tree, [&](PVastNode node, MediaItem& member) {
        if (member.copyMark == 1) marked.push_back(node);
    });
    RowDeleter del(tree, nullptr);
    for (PVastNode node : marked) del.Member(node);
}

void ClearCopyMarks(TBaseVastTree& tree) {
    ForEachMember(tree, [](PVastNode, MediaItem& member) { member.copyMark = 0; });
}

}  // namespace jobmodel
