// The option holder, colour table and scroll-bar options of a tree.
#include "treeview/vtoptions.h"

#include <algorithm>

#include "treeview/vasttrees.h"
#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

namespace {
// Live: not loading and the tree's window exists.
bool Live(const TBaseVastTree* tree) { return tree && !(tree->ComponentState() & csLoading) && tree->HandleAllocated(); }
}  // namespace

TCustomVastTreeOptions::TCustomVastTreeOptions(TBaseVastTree* owner) : owner_(owner) {}

void TCustomVastTreeOptions::SetAnimationOptions(TVTAnimationOptions value) { animationOptions_ = value; }

void TCustomVastTreeOptions::SetAutoOptions(TVTAutoOptions value) {
    if (value == autoOptions_) return;
    bool spanChanged = (value ^ autoOptions_) & toAutoSpanColumns;
    autoOptions_ = value;
    if (spanChanged && Live(owner_)) owner_->InvalidateTree();
}

void TCustomVastTreeOptions::SetMiscOptions(TVTMiscOptions value) {
    if (value == miscOptions_) return;
    TVTMiscOptions changed = value ^ miscOptions_;
    miscOptions_ = value;
    if (!Live(owner_)) return;
    if (changed & toCheckSupport) owner_->InvalidateTree();
    if (changed & toAcceptOLEDrop) owner_->UpdateDropTargetRegistration(true);
    if (!(owner_->ComponentState() & csDesigning) && (changed & toFullRepaintOnResize)) owner_->RecreateWnd();
}

void TCustomVastTreeOptions::SetPaintOptions(TVTPaintOptions value) {
    if (value == paintOptions_) return;
    TVTPaintOptions changed = value ^ paintOptions_;
    paintOptions_ = value;
    if (!Live(owner_)) return;
    if (changed & toThemeAware) {
        // Themed drawing is not available on this platform: the classic look stays.
        owner_->DoStateChange(0, tsUseThemes);
        owner_->PrepareBitmaps(true, false);
    }
    owner_->InvalidateTree();
}

void TCustomVastTreeOptions::SetSelectionOptions(TVTSelectionOptions value) {
    if (value == selectionOptions_) return;
    TVTSelectionOptions set = value & ~selectionOptions_;
    TVTSelectionOptions cleared = selectionOptions_ & ~value;
    selectionOptions_ = value;
    if (!owner_) return;
    if (((set | cleared) & toMultiSelect) || (set & (toLevelSelectConstraint | toSiblingSelectConstraint)))
        owner_->ClearSelection();
    if ((cleared & toExtendedFocus) && owner_->FocusedColumn() > 0 && owner_->HandleAllocated())
        owner_->InvalidateTree();
    // Without extended focus only the main column takes the focus (a plain store).
    if (!(value & toExtendedFocus)) owner_->focusedColumn_ = owner_->MainColumn();
}

void TCustomVastTreeOptions::AssignTo(TPersistent* dest) {
    auto* other = dynamic_cast<TCustomVastTreeOptions*>(dest);
    if (!other) {
        TPersistent::AssignTo(dest);
        return;
    }
    other->SetPaintOptions(paintOptions_);
    other->SetAnimationOptions(animationOptions_);
    other->SetAutoOptions(autoOptions_);
    other->SetSelectionOptions(selectionOptions_);
    other->SetMiscOptions(miscOptions_);
}

void TCustomStringTreeOptions::SetStringOptions(TVTStringOptions value) {
    if (value == stringOptions_) return;
    bool staticChanged = (value ^ stringOptions_) & toShowStaticText;
    stringOptions_ = value;
    if (staticChanged && Live(Owner())) Owner()->InvalidateTree();
}

void TCustomStringTreeOptions::AssignTo(TPersistent* dest) {
    if (auto* other = dynamic_cast<TCustomStringTreeOptions*>(dest)) other->SetStringOptions(stringOptions_);
    TCustomVastTreeOptions::AssignTo(dest);
}

// ---- options of older stored trees ----

void TBaseVastTree::ReadOldOptions(const std::vector<std::string>& memberNames) {
    struct OldOption {
        const char* name;
        int set;  // 0 animation, 1 auto, 2 misc, 3 paint, 4 selection
        unsigned bit;
    };
    static const OldOption table[] = {
        {"voAcceptOLEDrop", 2, toAcceptOLEDrop}, {"voAnimatedToggle", 0, toAnimatedToggle},
        {"voAutoDropExpand", 1, toAutoDropExpand}, {"voAutoExpand", 1, toAutoExpand},
        {"voAutoScroll", 1, toAutoScroll}, {"voAutoSort", 1, toAutoSort},
        {"voAutoSpanColumns", 1, toAutoSpanColumns}, {"voAutoTristateTracking", 1, toAutoTristateTracking},
        {"voCheckSupport", 2, toCheckSupport}, {"voDisableDrawSelection", 4, toDisableDrawSelection},
        {"voEditable", 2, toEditable}, {"voExtendedFocus", 4, toExtendedFocus},
        {"voFullRowSelect", 4, toFullRowSelect}, {"voGridExtensions", 2, toGridExtensions},
        {"voHideFocusRect", 3, toHideFocusRect}, {"voHideSelection", 3, toHideSelection},
        {"voHotTrack", 3, toHotTrack}, {"voInitOnSave", 2, toInitOnSave},
        {"voLevelSelectConstraint", 4, toLevelSelectConstraint}, {"voMiddleClickSelect", 4, toMiddleClickSelect},
        {"voMultiSelect", 4, toMultiSelect}, {"voRightClickSelect", 4, toRightClickSelect},
        {"voPopupMode", 3, toPopupMode}, {"voShowBackground", 3, toShowBackground},
        {"voShowButtons", 3, toShowButtons}, {"voShowDropmark", 3, toShowDropmark},
        {"voShowHorzGridLines", 3, toShowHorzGridLines}, {"voShowRoot", 3, toShowRoot},
        {"voShowTreeLines", 3, toShowTreeLines}, {"voShowVertGridLines", 3, toShowVertGridLines},
        {"voSiblingSelectConstraint", 4, toSiblingSelectConstraint}, {"voToggleOnDblClick", 2, toToggleOnDblClick},
    };
    TCustomVastTreeOptions* o = TreeOptions();
    o->SetAnimationOptions(0);
    o->SetAutoOptions(0);
    o->SetMiscOptions(0);
    o->SetPaintOptions(0);
    o->SetSelectionOptions(0);
    for (const std::string& name : memberNames)
        for (const OldOption& option : table) {
            if (name != option.name) continue;
            switch (option.set) {
                case 0: o->SetAnimationOptions(TVTAnimationOptions(o->AnimationOptions() | option.bit)); break;
                case 1: o->SetAutoOptions(TVTAutoOptions(o->AutoOptions() | option.bit)); break;
                case 2: o->SetMiscOptions(TVTMiscOptions(o->MiscOptions() | option.bit)); break;
                case 3: o->SetPaintOptions(o->PaintOptions() | option.bit); break;
                case 4: o->SetSelectionOptions(TVTSelectionOptions(o->SelectionOptions() | option.bit)); break;
            }
        }
}

// ---- scroll-bar options ----

void TScrollBarOptions::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TScrollBarOptions*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    SetAlwaysVisible(other->alwaysVisible_);
    horizontalIncrement_ = other->horizontalIncrement_;
    SetScrollBars(other->scrollBars_);
    SetScrollBarStyle(other->scrollBarStyle_);
    verticalIncrement_ = other->verticalIncrement_;
}

void TScrollBarOptions::SetAlwaysVisible(bool value) {
    if (value == alwaysVisible_) return;
    alwaysVisible_ = value;
    if (Live(owner_)) owner_->RecreateWnd();
}

void TScrollBarOptions::SetScrollBars(TScrollStyle value) {
    if (value == scrollBars_) return;
    scrollBars_ = value;
    if (Live(owner_)) owner_->RecreateWnd();
}

void TScrollBarOptions::SetScrollBarStyle(TScrollBarStyle value) {
    Require(value == sbmRegular,
            "Flat scrollbars styles are disabled. Enable UseFlatScrollbars in the build configuration for flat "
            "scrollbar support.");
    scrollBarStyle_ = value;
}

void TScrollBarOptions::SetHorizontalIncrement(int value) {
    horizontalIncrement_ = std::uint16_t(std::clamp(value, 1, 10000));
}

void TScrollBarOptions::SetVerticalIncrement(int value) {
    verticalIncrement_ = std::uint16_t(std::clamp(value, 1, 10000));
}

// ---- colours ----

TVTColors::TVTColors(TBaseVastTree* owner)
    : owner_(owner),
      colors_{clBtnShadow, clHighlight, clHighlight, clHighlight, clBtnFace, clBtnShadow, clBtnFace, clBtnFace,
              clWindowText, clHighlight, clBtnFace, clHighlight, clHighlight, clHighlight, clBtnShadow} {}

TColor TVTColors::GetColor(int index) const { return index >= 0 && index < Count ? colors_[index] : clNone; }

void TVTColors::SetColor(int index, TColor value) {
    if (index < 0 || index >= Count || colors_[index] == value) return;
    colors_[index] = value;
    if (!Live(owner_)) return;
    if (index == TreeLineColor) owner_->PrepareBitmaps(true, false);
    owner_->InvalidateTree();
}

void TVTColors::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TVTColors*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    std::copy(std::begin(other->colors_), std::end(other->colors_), std::begin(colors_));
    if (owner_ && owner_->UpdateCount() == 0) owner_->InvalidateTree();
}

}  // namespace treeview
