// Keyboard: navigation with its modifiers, anchor and selection rules, scrolling keys,
// expanding and collapsing, check boxes by Space (completed on key-up), select all, and
// the incremental search over typed characters.
#include <algorithm>

#include "platform/windows/messages.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"

namespace treeview {

using namespace platform;

namespace {

constexpr WORD VK_BACK = 0x08, VK_TAB = 0x09;

}  // namespace

int TBaseVastTree::DoIncrementalSearch(PVastNode node, const std::string& text) {
    int result = 0;
    if (OnIncrementalSearch) OnIncrementalSearch(this, node, text, result);
    return result;
}

bool TBaseVastTree::DoKeyAction(WORD& charCode, TShiftState& shift) {
    bool doDefault = true;
    if (OnKeyAction) OnKeyAction(this, charCode, shift, doDefault);
    return doDefault;
}

void TBaseVastTree::SetSearchOption(TVTIncrementalSearch value) {
    if (value == incrementalSearch_) return;
    incrementalSearch_ = value;
    if (value == isNone) EndIncrementalSearch();
}

void TBaseVastTree::EndIncrementalSearch() {
    StopTimer(SearchTimer);
    searchBuffer_.clear();
    lastSearchNode_ = nullptr;
    DoStateChange(0, tsIncrementalSearching | tsIncrementalSearchPending);
}

void TBaseVastTree::KeyDown(WORD& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (key == 0) return;
    shift &= ssShift | ssCtrl | ssAlt;
    if (!DoKeyAction(key, shift)) return;
    if (key != VK_SPACE && (states_ & tsKeyCheckPending)) {
        DoStateChange(0, tsKeyCheckPending);
        if (checkNode_) {
            checkNode_->CheckState = TCheckState(checkNode_->CheckState & ~1);
            InvalidateNode(checkNode_);
        }
        checkNode_ = nullptr;
    }
    TVTSelectionOptions selection = TreeOptions()->SelectionOptions();
    bool multiSelect = selection & toMultiSelect;
    bool navigation = key == VK_BACK || key == VK_TAB || (key >= VK_PRIOR && key <= VK_DOWN);
    if (navigation) {
        bool ctrl = shift & ssCtrl, shiftKey = shift & ssShift;
        bool shiftSelect = shiftKey && multiSelect && !(states_ & tsEditing);
        bool rangeToggle = shiftSelect && (key == VK_PRIOR || key == VK_NEXT || key == VK_HOME || key == VK_END);
        bool repaintAll = rangeToggle || selectedCount_ > 1;
        bool gridMode = TreeOptions()->MiscOptions() & toGridExtensions;
        bool resetSelection = shift == 0 || (gridMode && !shiftKey) || !multiSelect || key == VK_BACK ||
                              key == VK_TAB;
        PVastNode oldFocus = focusedNode_;
        if (!oldFocus && shift != 0) oldFocus = GetFirstVisible();
        if (!rangeAnchor_) rangeAnchor_ = GetFirstSelected() ? GetFirstSelected() : GetFirst();
        const int direction = UseRightToLeftAlignment() ? -1 : 1;
        PVastNode target = focusedNode_;
        bool moveFocus = false;
        auto deselectFocused = [&](bool condition) {
            if (shiftSelect && condition && focusedNode_) RemoveFromSelection(focusedNode_);
        };
        WORD effective = key;
        if (UseRightToLeftAlignment() && (key == VK_HOME || key == VK_END)) effective = key == VK_HOME ? VK_END : VK_HOME;
        switch (effective) {
            case VK_UP:
            case VK_DOWN: {
                bool up = effective == VK_UP;
                if (ctrl) {
                    SetOffsetY(offsetY_ + (up ? 1 : -1) * defaultNodeHeight_);
                    break;
                }
                target = focusedNode_ ? (up ? GetPreviousVisible(focusedNode_) : GetNextVisible(focusedNode_))
                                      : (up ? GetLastVisible() : GetFirstVisible());
                if (!target) {
                    if (focusedNode_) InvalidateNode(focusedNode_);
                    break;
                }
                if (focusedNode_ && rangeAnchor_)
                    deselectFocused(up ? CompareNodePositions(oldFocus, rangeAnchor_) > 0
                                       : CompareNodePositions(oldFocus, rangeAnchor_) < 0);
                if (focusedColumn_ < 0 && header_->GetUseColumns()) focusedColumn_ = MainColumn();
                moveFocus = true;
                break;
            }
            case VK_PRIOR:
            case VK_NEXT: {
                bool up = effective == VK_PRIOR;
                if (ctrl && shiftKey) {
                    SetOffsetX(offsetX_ + (up ? 1 : -1) * ClientWidth());
                    break;
                }
                if (ctrl) {
                    SetOffsetY(offsetY_ + (up ? 1 : -1) * ClientHeight());
                    break;
                }
                if (!focusedNode_) {
                    target = up ? GetFirstVisible() : GetLastVisible();
                } else {
                    int height = 0;
                    target = focusedNode_;
                    for (PVastNode run = up ? GetPreviousVisible(target) : GetNextVisible(target); run;
                         run = up ? GetPreviousVisible(run) : GetNextVisible(run)) {
                        height += run->NodeHeight;
                        if (height >= ClientHeight()) break;
                        target = run;
                    }
                }
                moveFocus = target != nullptr;
                break;
            }
            case VK_HOME:
            case VK_END: {
                bool home = effective == VK_HOME;
                PVastNode node = home ? GetFirstVisible() : GetLastVisible();
                if (ctrl && !gridMode) {
                    if (node)
                        ScrollIntoView(node, selection & toCenterScrollIntoView,
                                       !(TreeOptions()->AutoOptions() & toDisableAutoscrollOnFocus));
                    SetOffsetX(home ? 0 : ClientWidth() - RangeWidth());
                    break;
                }
                target = node;
                moveFocus = target != nullptr;
                break;
            }
            case VK_LEFT:
            case VK_RIGHT: {
                bool left = effective == VK_LEFT;
                if (ctrl) {
                    SetOffsetX(offsetX_ + (left ? 1 : -1) * direction * header_->Columns()->GetScrollWidth());
                    break;
                }
                if (!focusedNode_) {
                    target = GetFirstVisible();
                    moveFocus = target != nullptr;
                    break;
                }
                if (left) {
                    if ((focusedNode_->States & vsExpanded) && focusedNode_->ChildCount > 0 && shift == 0) {
                        ToggleNode(focusedNode_);
                    } else if (focusedNode_->Parent != root_) {
                        target = focusedNode_->Parent;
                        if (shiftSelect && focusedNode_->Index > 0)
                            rangeToggle = true;
                        else
                            deselectFocused(rangeAnchor_ && CompareNodePositions(target, rangeAnchor_) > 0);
                        moveFocus = true;
                    }
                } else {
                    if (!(focusedNode_->States & vsExpanded) && (focusedNode_->States & vsHasChildren) && shift == 0) {
                        ToggleNode(focusedNode_);
                    } else if (PVastNode child = GetFirstVisibleChild(focusedNode_)) {
                        target = child;
                        deselectFocused(rangeAnchor_ && CompareNodePositions(child, rangeAnchor_) < 0);
                        moveFocus = true;
                    }
                }
                break;
            }
            case VK_BACK:
                if (states_ & tsIncrementalSearching) {
                    DoStateChange(tsIncrementalSearchPending);
                } else if (focusedNode_ && focusedNode_->Parent != root_) {
                    target = focusedNode_->Parent;
                    moveFocus = true;
                }
                break;
            default:
                break;
        }
        if (moveFocus && target && target != focusedNode_) {
            if (states_ & tsEditing) DoCancelEdit();
            SetFocusedNode(target);
        }
        if (resetSelection && (focusedNode_ != oldFocus || selectedCount_ != 1) && moveFocus) ClearSelection();
        if (shift == 0 && moveFocus && focusedNode_) {
            rangeAnchor_ = focusedNode_;
            lastSelectionLevel_ = std::int32_t(GetNodeLevel(focusedNode_));
        }
        if (rangeToggle && oldFocus && focusedNode_) ToggleSelection(oldFocus, focusedNode_);
        if (moveFocus && focusedNode_ && !(focusedNode_->States & vsSelected)) AddToSelection(focusedNode_);
        if (repaintAll) InvalidateTree();
        return;
    }

    bool ctrl = shift & ssCtrl;
    switch (key) {
        case VK_ESCAPE:
            if (IsMouseSelecting()) {
                EndDrawSelection();
                InvalidateTree();
            } else if (states_ & tsEditing) {
                CancelEditNode();
            }
            break;
        case VK_SPACE: {
            PVastNode node = focusedNode_;
            if ((TreeOptions()->MiscOptions() & toCheckSupport) && node && node->CheckType != ctNone) {
                if (!(states_ & (tsKeyCheckPending | tsMouseCheckPending)) && !(node->States & vsDisabled)) {
                    TCheckState next = DetermineNextCheckState(node->CheckType, node->CheckState);
                    if (DoChecking(node, next)) {
                        DoStateChange(tsKeyCheckPending);
                        checkNode_ = node;
                        pendingCheckState_ = next;
                        node->CheckState = TCheckState(node->CheckState | 1);
                        InvalidateNode(node);
                    }
                }
            } else {
                DoStateChange(tsIncrementalSearchPending);
            }
            break;
        }
        case 0x41:
        case 0x61:
            if (ctrl)
                SelectAll(true);
            else
                DoStateChange(tsIncrementalSearchPending);
            break;
        case VK_MULTIPLY:
            if (states_ & tsIncrementalSearching)
                DoStateChange(tsIncrementalSearchPending);
            else if (focusedNode_)
                FullExpand(focusedNode_);
            break;
        case VK_ADD:
            if (states_ & tsIncrementalSearching)
                DoStateChange(tsIncrementalSearchPending);
            else if (ctrl && (shift & ssShift))
                FullExpand();
            else if (!ctrl && focusedNode_ && !(focusedNode_->States & vsExpanded))
                ToggleNode(focusedNode_);
            break;
        case VK_SUBTRACT:
            if (states_ & tsIncrementalSearching)
                DoStateChange(tsIncrementalSearchPending);
            else if (ctrl && (shift & ssShift))
                FullCollapse();
            else if (!ctrl && focusedNode_ && (focusedNode_->States & vsExpanded))
                ToggleNode(focusedNode_);
            break;
        case VK_DIVIDE:
            if (states_ & tsIncrementalSearching)
                DoStateChange(tsIncrementalSearchPending);
            else if (focusedNode_)
                FullCollapse(focusedNode_);
            break;
        case VK_F1:
            break;  // no help system
        case VK_F2:
            if (shift == 0 && focusedNode_ && CanEdit(focusedNode_, focusedColumn_)) {
                editColumn_ = focusedColumn_;
                DoEdit();
            }
            break;
        case VK_APPS:
            if (focusedNode_) {
                // At the middle of the focused node's text.
                TRect r = GetDisplayRect(focusedNode_, focusedColumn_, true);
                int width = header_->GetUseColumns() && focusedColumn_ >= 0
                                ? header_->Columns()->Items(focusedColumn_)->Width()
                                : ClientWidth();
                width = std::min(width, r.right - r.left);
                DoPopupMenu(focusedNode_, focusedColumn_, TPoint{r.left + width / 2, (r.top + r.bottom) / 2});
            }
            break;
        default:
            if (!(shift & (ssCtrl | ssAlt)) && key >= 32) DoStateChange(tsIncrementalSearchPending);
            break;
    }
}

void TBaseVastTree::KeyUp(WORD& key, TShiftState shift) {
    TCustomControl::KeyUp(key, shift);
    if (key == VK_SPACE && (states_ & tsKeyCheckPending)) {
        DoStateChange(0, tsKeyCheckPending);
        PVastNode node = checkNode_;
        checkNode_ = nullptr;
        if (node) {
            node->CheckState = TCheckState(node->CheckState & ~1);
            if (node == focusedNode_) DoCheckClick(node, pendingCheckState_);
            InvalidateNode(node);
        }
    }
}

bool TBaseVastTree::HandleKeyMessage(TMessage& message) {
    if (!options_ || (ComponentState() & csDestroying)) return false;
    if (message.Msg == WM_GETDLGCODE) {
        message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (wantTabs_ ? DLGC_WANTTAB : 0);
        return true;
    }
    if (message.Msg == WM_CHAR && (states_ & tsIncrementalSearchPending)) {
        HandleIncrementalSearch(unsigned(message.WParam));
        DoStateChange(0, tsIncrementalSearchPending);
    }
    return false;
}

void TBaseVastTree::HandleIncrementalSearch(unsigned charCode) {
    StopTimer(SearchTimer);
    if (incrementalSearch_ == isNone) return;
    auto restartTimer = [this] { SetTimer(msgHandle_, SearchTimer, std::max<UINT>(incrementalSearchTimeout_, 1)); };
    if (charCode == 0) {
        restartTimer();
        return;
    }
    DoStateChange(tsIncrementalSearching);
    bool backspace = charCode == 8;
    // Buffer characters are whole UTF-8 sequences.
    auto characters = [](const std::string& text) {
        int count = 0;
        for (char c : text) count += (std::uint8_t(c) & 0xC0) != 0x80;
        return count;
    };
    if (backspace && characters(searchBuffer_) <= 1) {
        restartTimer();
        return;
    }
    std::string typed;
    if (!backspace) {
        unsigned c = charCode;
        if (c < 0x80) {
            typed += char(c);
        } else if (c < 0x800) {
            typed += char(0xC0 | c >> 6);
            typed += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            typed += char(0xE0 | c >> 12);
            typed += char(0x80 | (c >> 6 & 0x3F));
            typed += char(0x80 | (c & 0x3F));
        } else {
            typed += char(0xF0 | c >> 18);
            typed += char(0x80 | (c >> 12 & 0x3F));
            typed += char(0x80 | (c >> 6 & 0x3F));
            typed += char(0x80 | (c & 0x3F));
        }
    }
    PVastNode start = searchStart_ == ssLastHit ? lastSearchNode_ : searchStart_ == ssFocusedNode ? focusedNode_ : nullptr;
    if (start && incrementalSearch_ == isInitializedOnly && !(start->States & vsInitialized)) start = nullptr;
    if (start && incrementalSearch_ == isVisibleOnly && !GetFullyVisible(start)) start = nullptr;
    bool forward = searchDirection_ == sdForward;
    if (backspace) forward = !forward;
    bool repeated = !backspace && characters(searchBuffer_) == 1 && searchBuffer_ == typed && start &&
                    DoIncrementalSearch(start, searchBuffer_ + typed) != 0;
    auto step = [&](PVastNode node) -> PVastNode {
        switch (incrementalSearch_) {
            case isInitializedOnly:
                return forward ? GetNextNoInit(node) : GetPreviousNoInit(node);
            case isVisibleOnly:
                return forward ? GetNextVisible(node) : GetPreviousVisible(node);
            default:
                return forward ? GetNext(node) : GetPrevious(node);
        }
    };
    auto first = [&]() -> PVastNode {
        switch (incrementalSearch_) {
            case isInitializedOnly:
                return forward ? GetFirstNoInit() : GetLastNoInit();
            case isVisibleOnly:
                return forward ? GetFirstVisible() : GetLastVisible();
            default:
                return forward ? GetFirst() : GetLast();
        }
    };
    std::string text;
    if (repeated) {
        text = searchBuffer_;
    } else if (backspace) {
        std::size_t cut = searchBuffer_.size();
        do --cut;
        while (cut > 0 && (std::uint8_t(searchBuffer_[cut]) & 0xC0) == 0x80);
        searchBuffer_.resize(cut);
        text = searchBuffer_;
    } else {
        text = searchBuffer_ + typed;
    }
    PVastNode run = start;
    bool advance = searchBuffer_.empty() || !start || repeated || backspace;
    if (!run) {
        run = first();
    } else if (advance) {
        run = step(run);
        if (!run) run = first();
    }
    PVastNode found = nullptr, lastTested = nullptr;
    PVastNode stop = start;
    for (bool wrapped = false; run;) {
        lastTested = run;
        if (DoIncrementalSearch(run, text) == 0) {
            found = run;
            break;
        }
        run = step(run);
        if (!run) {
            if (!stop || wrapped) break;
            run = first();
            wrapped = true;
        }
        if (run == stop) {
            if (stop && DoIncrementalSearch(stop, text) == 0) found = stop;
            break;
        }
    }
    if (found) {
        ClearSelection();
        searchBuffer_ = text;
        lastSearchNode_ = found;
        SetFocusedNode(found);
        SetSelected(found, true);
    } else if (!lastTested || DoIncrementalSearch(lastTested, text) != 0) {
        MessageBeep(0);
    }
    restartTimer();
}

}  // namespace treeview
