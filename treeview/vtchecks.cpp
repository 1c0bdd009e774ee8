// Check boxes, radio buttons and push buttons of TBaseVastTree: the state machine,
// tri-state propagation down to children and up to parents, radio exclusivity, the walks
// over checked nodes and the check image index.
#include "treeview/vasttrees.h"
#include "treeview/vtaccess.h"
#include "treeview/vtinternal.h"

namespace treeview {

namespace {
bool IsBox(TCheckType type) { return type == ctCheckBox || type == ctTriStateCheckBox; }
}  // namespace

void TBaseVastTree::SetCheckState(PVastNode node, TCheckState value) {
    if (!node || node == root_ || node->CheckState == value || (node->States & vsDisabled)) return;
    if (!CheckOwnNode(node)) return;
    if (DoChecking(node, value)) DoCheckClick(node, value);
}

void TBaseVastTree::SetCheckType(PVastNode node, TCheckType value) {
    if (!node || node == root_ || node->CheckType == value || ReadOnly() || !CheckOwnNode(node)) return;
    node->CheckType = value;
    node->CheckState = csUncheckedNormal;
    if ((TreeOptions()->AutoOptions() & toAutoTristateTracking) && IsBox(value)) {
        PVastNode parent = node->Parent;
        if (parent != root_) {
            InitIfNeeded(parent);
            if (parent->CheckType == ctTriStateCheckBox &&
                (parent->CheckState == csUncheckedNormal || parent->CheckState == csCheckedNormal))
                SetCheckState(node, parent->CheckState);
        }
    }
    InvalidateNode(node);
}

bool TBaseVastTree::DoChecking(PVastNode node, TCheckState& newState) {
    if (ReadOnly()) return false;
    bool allowed = true;
    if (OnChecking) OnChecking(this, node, newState, allowed);
    return allowed;
}

void TBaseVastTree::DoCheckClick(PVastNode node, TCheckState newState) {
    if (ChangeCheckState(node, newState)) DoChecked(node);
}

void TBaseVastTree::DoChecked(PVastNode node) {
    NotifyAccessibleEvent(EVENT_OBJECT_STATECHANGE);
    if (OnChecked) OnChecked(this, node);
}

TCheckState TBaseVastTree::DetermineNextCheckState(TCheckType checkType, TCheckState checkState) {
    switch (checkType) {
        case ctTriStateCheckBox:
        case ctCheckBox:
            return checkState == csCheckedNormal ? csUncheckedNormal : csCheckedNormal;
        case ctRadioButton:
            return csCheckedNormal;
        case ctButton:
            return csUncheckedNormal;
        case ctNone:
            break;
    }
    return csMixedNormal;
}

bool TBaseVastTree::ChangeCheckState(PVastNode node, TCheckState value) {
    InterruptValidation();
    if (node->States & vsChecking) return false;
    node->States |= vsChecking;
    InitIfNeeded(node);
    if (checkPropagationCount_++ == 0) DoStateChange(tsCheckPropagation);
    bool result = true;
    TScopeExit endChecking([&] {
        node->States &= ~vsChecking;
        if (--checkPropagationCount_ == 0) DoStateChange(0, tsCheckPropagation);
    });
    bool tracking = TreeOptions()->AutoOptions() & toAutoTristateTracking;
    if (node->CheckType == ctTriStateCheckBox && tracking &&
        (value == csCheckedNormal || value == csUncheckedNormal) && node->FirstChild) {
        for (PVastNode child = node->FirstChild; child; child = child->NextSibling)
            if (IsBox(child->CheckType)) SetCheckState(child, value);
        int unchecked = 0, checked = 0, mixed = 0;
        for (PVastNode child = node->FirstChild; child; child = child->NextSibling) {
            if (!IsBox(child->CheckType)) continue;
            if (child->CheckState == csUncheckedNormal) ++unchecked;
            if (child->CheckState == csCheckedNormal) ++checked;
            if (child->CheckState == csMixedNormal) ++mixed;
        }
        if (mixed > 0)
            value = csMixedNormal;
        else if (checked > 0)
            value = unchecked > 0 ? csMixedNormal : csCheckedNormal;
    }
    if (node->CheckType == ctRadioButton && value == csCheckedNormal) {
        for (PVastNode sibling = node->Parent->FirstChild; sibling; sibling = sibling->NextSibling)
            if (sibling->CheckType == ctRadioButton) sibling->CheckState = csUncheckedNormal;
        InvalidateTree();
    }
    node->CheckState = value;
    PVastNode parent = node->Parent;
    if (parent != root_) InitIfNeeded(parent);
    if (tracking && parent != root_ && !(parent->States & (vsChecking | vsDisabled)) &&
        IsBox(node->CheckType) && parent->CheckType == ctTriStateCheckBox)
        // The node's own change stands whatever its parent decides; it reports it.
        CheckParentCheckState(node, value);
    InvalidateNode(node);
    return result;
}

bool TBaseVastTree::CheckParentCheckState(PVastNode node, TCheckState newCheckState) {
    PVastNode parent = node->Parent;
    int boxes = 0, checked = 0;
    bool mixed = false;
    for (PVastNode run = parent->FirstChild; run; run = run->NextSibling) {
        if (!IsBox(run->CheckType)) continue;
        TCheckState state = run == node ? newCheckState : run->CheckState;
        ++boxes;
        if (state == csCheckedNormal || state == csCheckedPressed) ++checked;
        if (state == csMixedNormal) mixed = true;
    }
    TCheckState state = csCheckedNormal;
    if (checked == 0 && !mixed)
        state = csUncheckedNormal;
    else if (checked < boxes)
        state = csMixedNormal;
    if (!DoChecking(parent, state)) return false;
    DoCheckClick(parent, state);
    return true;
}

PVastNode TBaseVastTree::GetNextCheckedNoInit(PVastNode node, TCheckState state) const {
    PVastNode run = (!node || node == root_) ? GetFirstNoInit() : GetNextNoInit(node);
    while (run && run->CheckState != state) run = GetNextNoInit(run);
    return run;
}

PVastNode TBaseVastTree::GetFirstChecked(TCheckState state) { return GetNextChecked(nullptr, state); }

PVastNode TBaseVastTree::GetNextChecked(PVastNode node, TCheckState state) {
    PVastNode result = GetNextCheckedNoInit(node, state);
    InitIfNeeded(result);
    return result;
}

PVastNode TBaseVastTree::GetPreviousChecked(PVastNode node, TCheckState state) {
    PVastNode run = StartOfBackwardWalk(node);
    while (run && run->CheckState != state) run = GetPreviousNoInit(run);
    InitIfNeeded(run);
    return run;
}

std::int32_t TBaseVastTree::CheckedCount() {
    std::int32_t count = 0;
    for (PVastNode run = GetFirstChecked(csCheckedNormal); run; run = GetNextChecked(run, csCheckedNormal)) ++count;
    return count;
}

void TBaseVastTree::ClearChecked() {
    for (PVastNode run = GetFirstNoInit(); run; run = GetNextNoInit(run))
        if (run->CheckState != csUncheckedNormal) SetCheckState(run, csUncheckedNormal);
}

int TBaseVastTree::GetCheckImage(PVastNode node) const {
    if (!node || node->CheckType == ctNone) return -1;
    bool enabled = !(node->States & vsDisabled) && Enabled();
    bool hot = node == hotNode_;
    TCheckState state = node->CheckState;
    if (state == csMixedNormal || state == csMixedPressed) {
        if (!enabled) return 20;
        if (state == csMixedPressed) return 19;
        return hot ? 18 : 17;
    }
    int base = 9;  // check boxes and tri-state check boxes
    if (node->CheckType == ctRadioButton) base = 1;
    if (node->CheckType == ctButton) {
        base = 21;
        state = (state == csCheckedPressed || state == csUncheckedPressed) ? csUncheckedPressed : csUncheckedNormal;
    }
    if (state == csCheckedNormal || state == csCheckedPressed) base += 4;
    if (!enabled) return base + 3;
    if (state == csUncheckedPressed || state == csCheckedPressed) return base + 2;
    return hot ? base + 1 : base;
}

platform::TCustomImageList* TBaseVastTree::GetCheckImageListFor(TCheckImageKind kind) const {
    return GetCheckImageList(kind);
}

platform::TCustomImageList* TBaseVastTree::CheckImages() const {
    platform::TCustomImageList* list = GetCheckImageListFor(checkImageKind_);
    return list ? list : customCheckImages_;
}

void TBaseVastTree::SetCustomCheckImages(platform::TCustomImageList* value) {
    if (value == customCheckImages_) return;
    if (customCheckImages_) customCheckImages_->RemoveFreeNotification(this);
    customCheckImages_ = value;
    if (value) value->FreeNotification(this);
    if (!(ComponentState() & platform::csLoading)) InvalidateTree();
}

void TBaseVastTree::PaintCheckImage(platform::TCanvas* canvas, PVastNode node, int index, int x, int y,
                                    bool ghosted) {
    // Themes are never in use here, so the strip images are drawn.
    platform::TCustomImageList* list = CheckImages();
    if (!canvas || !list || index < 0 || index >= list->Count()) return;
    platform::TColor foreground = list->BlendColor();
    if (node && (node->States & vsSelected) && !ghosted)
        foreground = colors_->GetColor((Focused() || (TreeOptions()->PaintOptions() & toPopupMode))
                                           ? TVTColors::FocusedSelectionColor
                                           : TVTColors::UnfocusedSelectionColor);
    platform::ImageList_DrawEx(list, index, canvas->Handle(), x, y, 0, 0, GetRGBColor(list->BkColor()),
                               GetRGBColor(foreground), platform::ILD_TRANSPARENT);
}

int TBaseVastTree::DoGetImageIndex(PVastNode node, TVTImageKind kind, TColumnIndex column, bool& ghosted) {
    int index = -1;
    if (OnGetImageIndex) OnGetImageIndex(this, node, kind, column, ghosted, index);
    return index;
}

void TBaseVastTree::SetCheckImageKind(TCheckImageKind value) {
    if (value == checkImageKind_) return;
    checkImageKind_ = value;
    if (updateCount_ == 0) InvalidateTree();
}

}  // namespace treeview
