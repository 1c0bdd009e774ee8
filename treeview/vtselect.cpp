// Selection and focus of TBaseVastTree. The selected nodes carry vsSelected and are also
// kept in an array sorted by node address, so membership is a binary search and bulk
// changes merge sorted runs. An entry is marked for removal by setting its lowest bit
// (node records are 8-byte aligned) and the array is compacted once (PackArray); a
// marked entry is never used as a node.
#include <algorithm>
#include <cstring>
#include <cstdint>
#include <functional>

#include "treeview/vasttrees.h"
#include "treeview/vtinternal.h"

namespace treeview {

namespace {
constexpr const char* NilNodeMessage = "Node must not be nil!";
constexpr const char* NilEndMessage = "EndNode must not be nil!";

PVastNode Marked(PVastNode node) {
    return reinterpret_cast<PVastNode>(reinterpret_cast<std::uintptr_t>(node) | 1u);
}
bool IsMarked(PVastNode node) { return reinterpret_cast<std::uintptr_t>(node) & 1u; }
bool AddressBefore(PVastNode a, PVastNode b) { return std::less<PVastNode>()(a, b); }
}  // namespace

std::int32_t TBaseVastTree::PackArray(std::vector<PVastNode>& list, std::int32_t count) {
    if (count <= 0) return -1;
    std::int32_t kept = 0;
    for (std::int32_t i = 0; i < count; ++i)
        if (!IsMarked(list[i])) list[kept++] = list[i];
    return kept;
}

void TBaseVastTree::PackSelection() {
    std::int32_t packed = PackArray(selection_, selectedCount_);
    if (packed < 0) return;
    selectedCount_ = packed;
    selection_.resize(std::size_t(packed));
}

bool TBaseVastTree::FindNodeInSelection(PVastNode node, std::int32_t& index, std::int32_t high,
                                        std::int32_t low) const {
    if (high < 0) high = selectedCount_ - 1;
    if (low < 0) low = 0;
    bool found = false;
    while (low <= high) {
        std::int32_t middle = std::int32_t((std::uint32_t(low) + std::uint32_t(high)) / 2);
        // A marked entry sorts just after its node, which keeps the order intact.
        PVastNode entry = selection_[middle];
        if (AddressBefore(entry, node)) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (entry == node) {
                low = middle;
                found = true;
            }
        }
    }
    index = low;
    return found;
}

bool TBaseVastTree::InternalAddToSelection(PVastNode node, bool forceInsert) {
    Require(node != nullptr, NilNodeMessage);
    PVastNode one[1] = {node};
    return InternalAddToSelection(one, 1, forceInsert);
}

bool TBaseVastTree::InternalAddToSelection(PVastNode* nodes, std::int32_t count, bool forceInsert) {
    InterruptValidation();
    if (count <= 0) return false;
    std::vector<PVastNode> list(nodes, nodes + count);
    if (forceInsert) {
        for (PVastNode node : list) node->States |= vsSelected;
    } else {
        TVTSelectionOptions options = TreeOptions()->SelectionOptions();
        if ((options & toLevelSelectConstraint) && lastSelectionLevel_ < 0)
            lastSelectionLevel_ = std::int32_t(GetNodeLevel(list[0]));
        if ((options & toSiblingSelectConstraint) && !rangeAnchor_) rangeAnchor_ = list[0];
        for (PVastNode& node : list) {
            bool refuse = (node->States & (vsSelected | vsDisabled)) ||
                          ((options & toLevelSelectConstraint) &&
                           std::int32_t(GetNodeLevel(node)) != lastSelectionLevel_) ||
                          ((options & toSiblingSelectConstraint) && node->Parent != rangeAnchor_->Parent);
            if (refuse)
                node = Marked(node);
            else
                node->States |= vsSelected;
        }
        count = PackArray(list, count);
        if (count <= 0) return false;
        list.resize(std::size_t(count));
    }
    std::sort(list.begin(), list.end(), AddressBefore);
    list.erase(std::unique(list.begin(), list.end()), list.end());
    // With force insert a node may already be listed; it must not be listed twice.
    if (forceInsert) {
        std::int32_t index = 0;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](PVastNode node) { return FindNodeInSelection(node, index, -1, -1); }),
                   list.end());
        if (list.empty()) return false;
    }
    count = std::int32_t(list.size());
    if (std::int32_t(selection_.size()) < selectedCount_ + count) selection_.resize(std::size_t(selectedCount_ + count));
    if (selectedCount_ == 0) {
        std::copy(list.begin(), list.end(), selection_.begin());
    } else {
        // Merge from the end: every old entry moves up at most once.
        std::int32_t high = selectedCount_ - 1;
        for (std::int32_t i = count - 1; i >= 0; --i) {
            std::int32_t index = 0;
            FindNodeInSelection(list[std::size_t(i)], index, high, 0);
            for (std::int32_t j = high; j >= index; --j) selection_[std::size_t(j + i + 1)] = selection_[std::size_t(j)];
            selection_[std::size_t(index + i)] = list[std::size_t(i)];
            high = index - 1;
        }
    }
    selectedCount_ += count;
    return true;
}

void TBaseVastTree::AddToSelection(PVastNode node) {
    Require(node != nullptr, NilNodeMessage);
    if (InternalAddToSelection(node, false)) {
        InvalidateNode(node);
        Change(node);
    }
}

void TBaseVastTree::AddToSelection(PVastNode* nodes, std::int32_t count, bool forceInsert) {
    if (!InternalAddToSelection(nodes, count, forceInsert)) return;
    if (count == 1) {
        InvalidateNode(nodes[0]);
        Change(nodes[0]);
    } else {
        InvalidateTree();
        Change(nullptr);
    }
}

void TBaseVastTree::InternalRemoveFromSelection(PVastNode node) {
    InterruptValidation();
    std::int32_t index = 0;
    if (FindNodeInSelection(node, index, -1, -1)) {
        node->States &= ~vsSelected;
        selection_[std::size_t(index)] = Marked(node);
    }
}

void TBaseVastTree::RemoveFromSelection(PVastNode node) {
    InterruptValidation();
    Require(node != nullptr, NilNodeMessage);
    if (!(node->States & vsSelected)) return;
    node->States &= ~vsSelected;
    std::int32_t index = 0;
    if (FindNodeInSelection(node, index, -1, -1)) {
        selection_.erase(selection_.begin() + index);
        --selectedCount_;
    }
    if (selectedCount_ < 0) selectedCount_ = 0;
    selection_.resize(std::size_t(selectedCount_));
    if (selectedCount_ == 0) ResetRangeAnchor();
    Change(node);
}

void TBaseVastTree::InternalClearSelection() {
    InterruptValidation();
    if (updateCount_ > 0) {
        std::int32_t packed = PackArray(selection_, selectedCount_);
        if (packed >= 0) selectedCount_ = packed;
    }
    while (selectedCount_ > 0) {
        --selectedCount_;
        PVastNode node = selection_[std::size_t(selectedCount_)];
        if (!IsMarked(node)) node->States &= ~vsSelected;
    }
    ResetRangeAnchor();
    selection_.clear();
    states_ &= ~tsClearPending;
}

void TBaseVastTree::ClearSelection() {
    if (selectedCount_ <= 0 || (ComponentState() & platform::csDestroying)) return;
    if (updateCount_ == 0) InvalidateTree();
    InternalClearSelection();
    Change(nullptr);
}

void TBaseVastTree::SetSelected(PVastNode node, bool value) {
    if (!node || node == root_ || bool(node->States & vsSelected) == value || !CheckOwnNode(node)) return;
    if (value) {
        if (selectedCount_ == 0)
            rangeAnchor_ = node;
        else if (!(TreeOptions()->SelectionOptions() & toMultiSelect))
            ClearSelection();
        AddToSelection(node);
        if (!rangeAnchor_) rangeAnchor_ = node;
    } else {
        RemoveFromSelection(node);
        if (selectedCount_ == 0) ResetRangeAnchor();
    }
    if (IsShown(node)) InvalidateNode(node);
}

PVastNode TBaseVastTree::GetFirstSelected() { return GetNextSelected(nullptr); }

PVastNode TBaseVastTree::GetNextSelected(PVastNode node) {
    if (selectedCount_ <= 0) return nullptr;
    PVastNode run = (!node || node == root_) ? GetFirstNoInit() : GetNextNoInit(node);
    while (run && !(run->States & vsSelected)) run = GetNextNoInit(run);
    InitIfNeeded(run);
    return run;
}

// The backward walks start at the very last node of the tree, so nodes below the last
// top-level node are examined too.
PVastNode TBaseVastTree::StartOfBackwardWalk(PVastNode node) const {
    if (node && node != root_) return GetPreviousNoInit(node);
    PVastNode last = GetLastNoInit(nullptr);
    return last ? last : GetLastChildNoInit(nullptr);
}

PVastNode TBaseVastTree::GetPreviousSelected(PVastNode node) {
    if (selectedCount_ <= 0) return nullptr;
    PVastNode run = StartOfBackwardWalk(node);
    while (run && !(run->States & vsSelected)) run = GetPreviousNoInit(run);
    InitIfNeeded(run);
    return run;
}

std::vector<PVastNode> TBaseVastTree::GetSortedSelection(bool resolve) const {
    std::vector<PVastNode> result;
    if (selectedCount_ <= 0) return result;
    result.reserve(std::size_t(selectedCount_));
    PVastNode run = GetFirstNoInit();
    while (run) {
        if (run->States & vsSelected) {
            result.push_back(run);
            if (resolve) {
                run = const_cast<TBaseVastTree*>(this)->NextAfterSubtree(run, false);
                continue;
            }
        }
        run = GetNextNoInit(run);
    }
    return result;
}

void TBaseVastTree::InternalCacheNode(PVastNode node) {
    if (tempCacheCount_ >= std::int32_t(tempCache_.size())) {
        std::size_t size = tempCache_.size();
        tempCache_.resize(size < 100 ? 100 : size + size / 10);
    }
    tempCache_[std::size_t(tempCacheCount_++)] = node;
}

void TBaseVastTree::ClearTempCache() {
    tempCache_.clear();
    tempCache_.shrink_to_fit();
    tempCacheCount_ = 0;
}

void TBaseVastTree::SelectAll(bool visibleOnly) {
    if (!(TreeOptions()->SelectionOptions() & toMultiSelect)) return;
    ClearTempCache();
    for (PVastNode run = visibleOnly ? GetFirstVisible() : GetFirst(); run;
         run = visibleOnly ? GetNextVisible(run) : GetNext(run))
        if (!(run->States & vsSelected)) InternalCacheNode(run);
    if (tempCacheCount_ > 0) AddToSelection(tempCache_.data(), tempCacheCount_, false);
    ClearTempCache();
    InvalidateTree();
}

void TBaseVastTree::InvertSelection(bool visibleOnly) {
    if (!(TreeOptions()->SelectionOptions() & toMultiSelect)) return;
    ClearTempCache();
    for (PVastNode run = GetFirstNoInit(); run;
         run = visibleOnly ? GetNextVisibleNoInit(run) : GetNextNoInit(run)) {
        if (run->States & vsSelected)
            InternalRemoveFromSelection(run);
        else
            InternalCacheNode(run);
    }
    std::int32_t before = selectedCount_;
    PackSelection();
    bool added = tempCacheCount_ > 0 && InternalAddToSelection(tempCache_.data(), tempCacheCount_, false);
    ClearTempCache();
    InvalidateTree();
    if (added || selectedCount_ != before) Change(nullptr);
}

namespace {
// A start that is not shown moves to the shown node before it (or the first node).
PVastNode AdjustRangeStart(TBaseVastTree* tree, PVastNode start) {
    if (!start) return tree->GetFirst();
    if (!tree->GetFullyVisible(start)) {
        PVastNode previous = tree->GetPreviousVisible(start);
        return previous ? previous : tree->GetFirst();
    }
    return start;
}
}  // namespace

void TBaseVastTree::SelectNodes(PVastNode startNode, PVastNode endNode, bool addOnly) {
    Require(endNode != nullptr, NilEndMessage);
    ClearTempCache();
    startNode = AdjustRangeStart(this, startNode);
    if (!startNode) return;
    if (CompareNodePositions(startNode, endNode) > 0) std::swap(startNode, endNode);
    PVastNode anchor = rangeAnchor_;
    if (!addOnly) InternalClearSelection();
    for (PVastNode run = startNode; run; run = GetNextVisible(run)) {
        InternalCacheNode(run);
        if (run == endNode) break;
    }
    if (tempCacheCount_ > 0) AddToSelection(tempCache_.data(), tempCacheCount_, false);
    ClearTempCache();
    if (anchor && (anchor->States & vsSelected)) rangeAnchor_ = anchor;
}

void TBaseVastTree::UnselectNodes(PVastNode startNode, PVastNode endNode) {
    Require(endNode != nullptr, NilEndMessage);
    startNode = AdjustRangeStart(this, startNode);
    if (!startNode) return;
    if (CompareNodePositions(startNode, endNode) > 0) std::swap(startNode, endNode);
    for (PVastNode run = startNode; run; run = GetNextVisible(run)) {
        InternalRemoveFromSelection(run);
        if (run == endNode) break;
    }
    PackSelection();
}

void TBaseVastTree::ToggleSelection(PVastNode startNode, PVastNode endNode) {
    Require(endNode != nullptr, NilEndMessage);
    startNode = AdjustRangeStart(this, startNode);
    if (!startNode) return;
    std::int32_t order = CompareNodePositions(startNode, endNode);
    if (order == 0) return;
    if (order > 0) std::swap(startNode, endNode);
    ClearTempCache();
    auto toggle = [this](PVastNode node) {
        if (node->States & vsSelected)
            InternalRemoveFromSelection(node);
        else
            InternalCacheNode(node);
    };
    for (PVastNode run = GetNextVisible(startNode); run && run != endNode; run = GetNextVisible(run)) toggle(run);
    if (rangeAnchor_ && CompareNodePositions(startNode, rangeAnchor_) < 0) toggle(startNode);
    if (rangeAnchor_ && CompareNodePositions(endNode, rangeAnchor_) > 0) toggle(endNode);
    PackSelection();
    if (rangeAnchor_ && !(rangeAnchor_->States & vsSelected)) InternalCacheNode(rangeAnchor_);
    if (tempCacheCount_ > 0) AddToSelection(tempCache_.data(), tempCacheCount_, false);
    ClearTempCache();
}

void TBaseVastTree::HandleClickSelection(PVastNode, PVastNode newNode, platform::TShiftState shift,
                                         bool dragPending) {
    bool ctrl = shift & platform::ssCtrl, shiftKey = shift & platform::ssShift;
    if (ctrl && shiftKey) {
        if (newNode) SelectNodes(rangeAnchor_, newNode, true);
        InvalidateTree();
    } else if (ctrl) {
        if (!(TreeOptions()->SelectionOptions() & toSiblingSelectConstraint)) rangeAnchor_ = newNode;
        if (dragPending) {
            DoStateChange(tsToggleFocusedSelection);
        } else if (newNode) {
            if (newNode->States & vsSelected)
                RemoveFromSelection(newNode);
            else
                AddToSelection(newNode);
        }
    } else if (shiftKey) {
        if (!rangeAnchor_) rangeAnchor_ = GetFirst();
        if (rangeAnchor_ && newNode) SelectNodes(rangeAnchor_, newNode, false);
        InvalidateTree();
    } else if (newNode) {
        if (!(newNode->States & vsSelected)) AddToSelection(newNode);
        rangeAnchor_ = newNode;
    }
}

void TBaseVastTree::ResetRangeAnchor() {
    rangeAnchor_ = focusedNode_;
    lastSelectionLevel_ = -1;
}

// ---- focus ----

bool TBaseVastTree::DoFocusChanging(PVastNode oldNode, PVastNode newNode, TColumnIndex oldColumn,
                                    TColumnIndex newColumn) {
    // Without a header every column may take the focus.
    bool allowed = true;
    if (OnFocusChanging) OnFocusChanging(this, oldNode, newNode, oldColumn, newColumn, allowed);
    return allowed;
}

void TBaseVastTree::DoFocusChange(PVastNode node, TColumnIndex column) {
    NotifyAccessibleFocus();
    if (OnFocusChanged) OnFocusChanged(this, node, column);
}

void TBaseVastTree::DoFocusNode(PVastNode node, bool ask) {
    if (node == root_) node = nullptr;
    if (node != focusedNode_ && (!ask || DoFocusChanging(focusedNode_, node, focusedColumn_, focusedColumn_))) {
        PVastNode old = focusedNode_;
        if (old && node && (TreeOptions()->AutoOptions() & toAutoExpand) && old->Parent == node->Parent &&
            (old->States & vsExpanded))
            ToggleNode(old);
        else if (old)
            InvalidateNode(old);
        focusedNode_ = node;
    }
    if (focusedNode_) {
        if ((TreeOptions()->AutoOptions() & toAutoExpand) && !(focusedNode_->States & vsExpanded))
            ToggleNode(focusedNode_);
        InvalidateNode(focusedNode_);
        if (updateCount_ == 0) {
            bool center = (TreeOptions()->SelectionOptions() & toCenterScrollIntoView) &&
                          !(states_ & (tsLeftButtonDown | tsMiddleButtonDown | tsRightButtonDown));
            ScrollIntoView(focusedNode_, center, !(TreeOptions()->AutoOptions() & toDisableAutoscrollOnFocus));
        }
    }
    if (selectedCount_ == 0) ResetRangeAnchor();
}

void TBaseVastTree::SetFocusedNode(PVastNode node) {
    if (node && node != root_ && !CheckOwnNode(node)) return;
    PVastNode old = focusedNode_;
    DoFocusNode(node, true);
    if (node != old && focusedNode_ == (node == root_ ? nullptr : node)) DoFocusChange(focusedNode_, focusedColumn_);
}

void TBaseVastTree::SetFocusedColumn(TColumnIndex column) {
    if (column == focusedColumn_ || !DoFocusChanging(focusedNode_, focusedNode_, focusedColumn_, column)) return;
    DoCancelEdit();
    InvalidateTree();
    focusedColumn_ = column;
    if (focusedNode_) {
        bool center = TreeOptions()->SelectionOptions() & toCenterScrollIntoView;
        if (ScrollIntoView(focusedNode_, center, !(TreeOptions()->AutoOptions() & toDisableAutoscrollOnFocus)))
            InvalidateNode(focusedNode_);
    }
    DoFocusChange(focusedNode_, focusedColumn_);
}

void TBaseVastTree::SetFocusedNodeAndColumn(PVastNode node, TColumnIndex column) {
    if (node && node != root_ && !CheckOwnNode(node)) return;
    if (node == root_) node = nullptr;
    bool changed = node != focusedNode_ || column != focusedColumn_;
    TColumnIndex oldColumn = focusedColumn_;
    focusedColumn_ = column;
    DoFocusNode(node, true);
    if (focusedNode_ == node) {
        DoCancelEdit();
        if (changed) DoFocusChange(focusedNode_, focusedColumn_);
    } else {
        focusedColumn_ = oldColumn;
    }
}

// ---- rubber band ----

void TBaseVastTree::BeginDrawSelection(int x, int y, platform::TShiftState shift) {
    drawSelShiftState_ = shift;
    newSelectionRect_ = {x, y - offsetY_, x, y - offsetY_};
    oldSelectionRect_ = newSelectionRect_;
    DoStateChange(tsDrawSelecting, tsDrawSelPending);
}

void TBaseVastTree::EndDrawSelection() { DoStateChange(0, tsDrawSelecting | tsDrawSelPending); }

int TBaseVastTree::DoGetNodeWidth(PVastNode, TColumnIndex, platform::TCanvas*) { return 0; }

bool TBaseVastTree::CalculateSelectionRect(int x, int y) {
    platform::TRect before = newSelectionRect_;
    if (states_ & tsDrawSelecting) oldSelectionRect_ = newSelectionRect_;
    // Absolute tree coordinates, kept inside the larger of the window and the tree.
    int width = std::max(ClientWidth(), 0);
    int height = std::max<int>(ClientHeight(), int(root_->TotalHeight - root_->NodeHeight));
    newSelectionRect_.right = std::clamp(x, 0, width);
    newSelectionRect_.bottom = std::clamp(y - offsetY_, 0, std::max(height, 0));
    return std::memcmp(&before, &newSelectionRect_, sizeof(before)) != 0;
}

bool TBaseVastTree::HandleDrawSelection(int, int) {
    if (!root_->FirstChild || !(states_ & tsDrawSelecting)) return false;
    auto normal = [](platform::TRect r) {
        if (r.left > r.right) std::swap(r.left, r.right);
        if (r.top > r.bottom) std::swap(r.top, r.bottom);
        return r;
    };
    ClearTempCache();
    // Without columns the text area is the whole client width.
    bool changed = CollectSelectedNodes(0, ClientWidth(), BiDiMode() != platform::bdLeftToRight,
                                        platform::taLeftJustify, normal(oldSelectionRect_), normal(newSelectionRect_));
    if (changed) {
        PackSelection();
        if (tempCacheCount_ > 0) InternalAddToSelection(tempCache_.data(), tempCacheCount_, false);
        ClearTempCache();
        InvalidateTree();
        Change(nullptr);
    }
    return changed;
}

// The nodes whose row (simple mode) or content meets exactly one of the two rectangles
// entered or left the band. Right-to-left is the mirror image: coordinates are mirrored
// within the text area and the same walk runs.
bool TBaseVastTree::CollectSelectedNodes(int textLeft, int textRight, bool rightToLeft,
                                         platform::TAlignment alignment, platform::TRect oldRect,
                                         platform::TRect newRect) {
    // An empty rectangle covers nothing, so the band's first move selects what it covers.
    auto empty = [](const platform::TRect& r) { return r.right <= r.left || r.bottom <= r.top; };
    if (empty(oldRect) && empty(newRect)) return false;
    if (rightToLeft) {
        auto mirror = [&](platform::TRect& r) {
            int left = textLeft + textRight - r.right;
            r.right = textLeft + textRight - r.left;
            r.left = left;
        };
        mirror(oldRect);
        mirror(newRect);
        if (alignment == platform::taLeftJustify)
            alignment = platform::taRightJustify;
        else if (alignment == platform::taRightJustify)
            alignment = platform::taLeftJustify;
    }
    const int minY = std::min(oldRect.top, newRect.top), maxY = std::max(oldRect.bottom, newRect.bottom);
    const bool toggle = drawSelShiftState_ & platform::ssCtrl;
    const bool simple = TreeOptions()->SelectionOptions() & toSimpleDrawSelection;
    const bool showRoot = TreeOptions()->PaintOptions() & toShowRoot;
    int checkOffset = 0;
    if ((TreeOptions()->MiscOptions() & toCheckSupport) && CheckImages()) checkOffset = CheckImages()->Width() + 2;
    int top = 0;
    PVastNode node = GetNodeAt(0, minY, false, top);
    if (!node) return false;
    int level = int(GetNodeLevel(node));
    int nodeLeft = textLeft + (showRoot ? level + 1 : level) * indent_ + margin_;
    bool result = false;
    while (node) {
        int textStart = nodeLeft + (node->CheckType != ctNone ? checkOffset : 0);
        int textEnd = textRight;
        int bottom = top + node->NodeHeight;
        if (!simple && (textStart < oldRect.left || textStart < newRect.left || alignment != platform::taLeftJustify)) {
            int width = DoGetNodeWidth(node, NoColumn, nullptr);
            if (width < textEnd - textStart) {
                if (alignment == platform::taLeftJustify) {
                    textEnd = textStart + width;
                } else if (alignment == platform::taCenter) {
                    textStart = (textStart + textEnd - width) / 2;
                    textEnd = textStart + width;
                } else {
                    textStart = textEnd - width;
                }
            }
        }
        auto inside = [&](const platform::TRect& r) {
            if (empty(r)) return false;
            bool rows = r.top < bottom && top < r.bottom;
            return simple ? rows : rows && textEnd >= r.left && r.right >= textStart;
        };
        bool inOld = inside(oldRect), inNew = inside(newRect);
        if (inOld != inNew) {
            result = true;
            if (toggle ? bool(node->States & vsSelected) : !inNew)
                InternalRemoveFromSelection(node);
            else
                InternalCacheNode(node);
        }
        PVastNode next = GetNextVisibleNoInit(node);
        if (!next) break;
        nodeLeft += CountLevelDifference(node, next) * indent_;
        top = bottom;
        node = next;
        if (top > maxY) break;
    }
    return result;
}

void TBaseVastTree::PaintSelectionRectangle(platform::TCanvas* target, int windowOrgX,
                                            const platform::TRect& selectionRect, const platform::TRect& targetRect) {
    namespace pf = platform;
    pf::TRect band = selectionRect;
    if (band.left > band.right) std::swap(band.left, band.right);
    if (band.top > band.bottom) std::swap(band.top, band.bottom);
    if ((drawSelectionMode_ == smBlendedRectangle || (states_ & tsUseThemes)) && MMXAvailable) {
        pf::TRect shifted = targetRect, blend;
        pf::OffsetRect(&shifted, windowOrgX, 0);
        if (pf::IntersectRect(&blend, &shifted, &band)) {
            pf::OffsetRect(&blend, -windowOrgX, 0);
            AlphaBlend(nullptr, target->Handle(), blend, {0, 0}, bmConstantAlphaAndColor, selectionBlendFactor_,
                       pf::TColor(pf::ColorToRGB(colors_->GetColor(TVTColors::SelectionRectangleBlendColor))));
        }
        target->Brush()->SetColor(colors_->GetColor(TVTColors::SelectionRectangleBorderColor));
        target->FrameRect(band);
    } else {
        pf::HDC dc = target->Handle();
        pf::COLORREF text = pf::SetTextColor(dc, 0xFFFFFF), back = pf::SetBkColor(dc, 0);
        target->DrawFocusRect(band);
        pf::SetTextColor(dc, text);
        pf::SetBkColor(dc, back);
    }
}


// ---- change notification ----

void TBaseVastTree::Change(PVastNode node) {
    AdviseChangeEvent(false, node, crIgnore);
    if (updateCount_ == 0) {
        if (changeDelay_ > 0 && !(states_ & tsSynchMode))
            StartTimer(ChangeTimer);
        else
            DoChange(node);
    }
}

void TBaseVastTree::DoChange(PVastNode node) {
    StopTimer(ChangeTimer);
    if (OnChange) OnChange(this, node);
    DoStateChange(0, tsChangePending);
    lastChangedNode_ = nullptr;
}

}  // namespace treeview
