// List boxes: items, selection, owner drawing, virtual data, scrolling and type-ahead.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/controls/stdctrls.h"
#include "platform/core/clock.h"
#include "platform/core/sysutils.h"

namespace platform {

namespace {

int NextControlId() {
    static int next = 0x7000;
    if (++next > 0xFFF0) next = 0x7001;
    return next;
}

// The whole thumb position of a scroll message whose word holds its low 16 bits.
int WholeThumb(HWND h, int bar, WORD word, int current) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    if (!h || !GetScrollInfo(h, bar, &si)) return word;
    if (WORD(si.nTrackPos) == word) return si.nTrackPos;
    int base = current - (current & 0xFFFF);
    int best = base + word;
    for (int candidate : {base - 0x10000 + word, base + 0x10000 + word})
        if (std::abs(candidate - current) < std::abs(best - current)) best = candidate;
    return best;
}

}  // namespace

// The list's items: strings with objects, kept in step with the selection and the heights.
class TCustomListBox::TListBoxStrings : public TStrings {
public:
    explicit TListBoxStrings(TCustomListBox* box) : box_(box) {}
    int Count() const override { return int(items_.size()); }
    std::string Get(int index) const override {
        Check(index);
        return items_[std::size_t(index)].first;
    }
    TObject* GetObject(int index) const override {
        Check(index);
        return items_[std::size_t(index)].second;
    }
    void PutObject(int index, TObject* object) override {
        Check(index);
        items_[std::size_t(index)].second = object;
    }
    void Put(int index, const std::string& s) override {
        Check(index);
        items_[std::size_t(index)].first = s;
        box_->InvalidateItem(index);
    }
    void Insert(int index, const std::string& s) override { InsertObject(index, s, nullptr); }
    void InsertObject(int index, const std::string& s, TObject* object) override {
        if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        items_.insert(items_.begin() + index, {s, object});
        box_->selected_.insert(box_->selected_.begin() + index, false);
        if (box_->itemIndex_ >= index) ++box_->itemIndex_;
        if (box_->style_ == lbOwnerDrawVariable) box_->heights_.insert(box_->heights_.begin() + index, box_->RequestHeight(index));
        box_->ItemsChanged();
    }
    int Add(const std::string& s) override {
        InsertObject(Count(), s, nullptr);
        return Count() - 1;
    }
    void Delete(int index) override {
        Check(index);
        items_.erase(items_.begin() + index);
        box_->selected_.erase(box_->selected_.begin() + index);
        if (index < int(box_->heights_.size())) box_->heights_.erase(box_->heights_.begin() + index);
        if (box_->itemIndex_ == index)
            box_->itemIndex_ = -1;
        else if (box_->itemIndex_ > index)
            --box_->itemIndex_;
        box_->ItemsChanged();
    }
    void Clear() override {
        items_.clear();
        box_->selected_.clear();
        box_->heights_.clear();
        box_->itemIndex_ = -1;
        box_->topIndex_ = 0;
        box_->ItemsChanged();
    }
    void Exchange(int a, int b) override {
        Check(a);
        Check(b);
        std::swap(items_[std::size_t(a)], items_[std::size_t(b)]);
        bool sa = box_->selected_[std::size_t(a)];
        box_->selected_[std::size_t(a)] = box_->selected_[std::size_t(b)];
        box_->selected_[std::size_t(b)] = sa;
        box_->ItemsChanged();
    }

private:
    void Check(int index) const {
        if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    TCustomListBox* box_;
    std::vector<std::pair<std::string, TObject*>> items_;
};

TCustomListBox::TCustomListBox(TComponent* owner) : TCustomControl(owner) {
    width_ = 121;
    height_ = 97;
    tabStop_ = true;
    color_ = clWindow;
    brush_->SetColor(color_);
    controlStyle_ = csSetCaption | csDoubleClicks | csCaptureMouse;
    items_ = new TListBoxStrings(this);
    controlId_ = NextControlId();
}

TCustomListBox::~TCustomListBox() {
    DestroyHandle();
    delete items_;
}

void TCustomListBox::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_VSCROLL;
    if (borderStyle_ == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateWnd() {
    TCustomControl::CreateWnd();
    SetWindowLongA(handle_, GWL_ID, controlId_);
    if (style_ == lbOwnerDrawVariable) {
        heights_.clear();
        for (int i = 0; i < Count(); ++i) heights_.push_back(RequestHeight(i));
    }
    UpdateScrollBar();
}

void TCustomListBox::SetStyle(TListBoxStyle value) {
    if (style_ == value) return;
    style_ = value;
    heights_.clear();
    if (style_ == lbOwnerDrawVariable)
        for (int i = 0; i < Count(); ++i) heights_.push_back(RequestHeight(i));
    ItemsChanged();
}

int TCustomListBox::Count() const { return IsVirtual() ? virtualCount_ : items_->Count(); }

void TCustomListBox::SetCount(int value) {
    if (!IsVirtual()) return;
    virtualCount_ = std::max(0, value);
    selected_.assign(std::size_t(virtualCount_), false);
    if (itemIndex_ >= virtualCount_) itemIndex_ = -1;
    ItemsChanged();
}

void TCustomListBox::SetItemHeight(int value) {
    if (value <= 0 || itemHeight_ == value) return;
    itemHeight_ = value;
    ItemsChanged();
}

void TCustomListBox::SetMultiSelect(bool value) {
    if (multiSelect_ == value) return;
    multiSelect_ = value;
    ClearSelection();
}

void TCustomListBox::SetBorderStyle(TBorderStyle value) {
    if (borderStyle_ == value) return;
    borderStyle_ = value;
    if (handle_) RecreateWnd();
}

std::string TCustomListBox::ItemText(int index) const {
    if (index < 0 || index >= Count()) return std::string();
    if (IsVirtual()) {
        std::string data;
        if (OnData) OnData(const_cast<TCustomListBox*>(this), index, data);
        return data;
    }
    return items_->Get(index);
}

void TCustomListBox::ItemsChanged() {
    if (int(selected_.size()) != Count()) selected_.resize(std::size_t(Count()), false);
    if (itemIndex_ >= Count()) itemIndex_ = Count() - 1;
    SetTopIndex(topIndex_);
    UpdateScrollBar();
    if (handle_) Invalidate();
}

int TCustomListBox::RowTop(int index) const {
    if (style_ != lbOwnerDrawVariable) return (index - topIndex_) * itemHeight_;
    int y = 0;
    if (index >= topIndex_)
        for (int i = topIndex_; i < index && i < int(heights_.size()); ++i) y += heights_[std::size_t(i)];
    else
        for (int i = index; i < topIndex_ && i < int(heights_.size()); ++i) y -= heights_[std::size_t(i)];
    return y;
}

TRect TCustomListBox::ItemRect(int index) const {
    int h = style_ == lbOwnerDrawVariable && index >= 0 && index < int(heights_.size()) ? heights_[std::size_t(index)]
                                                                                        : itemHeight_;
    int top = RowTop(index);
    return TRect(0, top, ClientWidth(), top + h);
}

int TCustomListBox::VisibleCount() const {
    int ch = ClientHeight();
    if (style_ != lbOwnerDrawVariable) return std::max(1, ch / std::max(1, itemHeight_));
    int n = 0, y = 0;
    for (int i = topIndex_; i < Count() && i < int(heights_.size()); ++i) {
        y += heights_[std::size_t(i)];
        if (y > ch) break;
        ++n;
    }
    return std::max(1, n);
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) const {
    int count = Count();
    int index;
    if (style_ != lbOwnerDrawVariable) {
        index = pos.y >= 0 ? topIndex_ + pos.y / itemHeight_ : topIndex_ - 1 - (-pos.y - 1) / itemHeight_;
    } else {
        index = topIndex_;
        int y = 0;
        while (index < count && index < int(heights_.size()) && y + heights_[std::size_t(index)] <= pos.y) {
            y += heights_[std::size_t(index)];
            ++index;
        }
        if (pos.y < 0) index = topIndex_ - 1;
    }
    if (index >= 0 && index < count && pos.x >= 0 && pos.x < ClientWidth()) return index;
    if (existing) return -1;
    return std::clamp(index, 0, std::max(0, count - 1));
}

void TCustomListBox::SetTopIndex(int value) {
    int top = std::clamp(value, 0, std::max(0, Count() - 1));
    // The last page stays full.
    if (style_ != lbOwnerDrawVariable) top = std::min(top, std::max(0, Count() - VisibleCount()));
    if (top == topIndex_) return;
    topIndex_ = top;
    UpdateScrollBar();
    if (handle_) Invalidate();
}

void TCustomListBox::UpdateScrollBar() {
    if (!handle_) return;
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = std::max(0, Count() - 1);
    si.nPage = UINT(VisibleCount());
    si.nPos = topIndex_;
    SetScrollInfo(handle_, SB_VERT, &si, TRUE);
}

void TCustomListBox::EnsureVisible(int index) {
    if (index < 0) return;
    if (index < topIndex_)
        SetTopIndex(index);
    else if (index >= topIndex_ + VisibleCount())
        SetTopIndex(index - VisibleCount() + 1);
}

void TCustomListBox::InvalidateItem(int index) {
    if (!handle_ || index < 0) return;
    RECT r = ItemRect(index);
    InvalidateRect(handle_, &r, TRUE);
}

bool TCustomListBox::Selected(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return multiSelect_ ? bool(selected_[std::size_t(index)]) : index == itemIndex_;
}

void TCustomListBox::SetSelected(int index, bool value) {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    if (!multiSelect_) {
        if (value)
            SetItemIndex(index);
        else if (itemIndex_ == index)
            SetItemIndex(-1);
        return;
    }
    if (selected_[std::size_t(index)] == value) return;
    selected_[std::size_t(index)] = value;
    InvalidateItem(index);
}

int TCustomListBox::SelCount() const {
    if (!multiSelect_) return itemIndex_ >= 0 ? 1 : 0;
    return int(std::count(selected_.begin(), selected_.end(), true));
}

void TCustomListBox::ClearSelection() {
    std::fill(selected_.begin(), selected_.end(), false);
    if (!multiSelect_) itemIndex_ = -1;
    if (handle_) Invalidate();
}

void TCustomListBox::SelectAll() {
    if (!multiSelect_) return;
    std::fill(selected_.begin(), selected_.end(), true);
    if (handle_) Invalidate();
}

void TCustomListBox::SetItemIndex(int value) {
    if (value < -1 || value >= Count()) value = -1;
    if (itemIndex_ == value) return;
    InvalidateItem(itemIndex_);
    itemIndex_ = value;
    if (multiSelect_ && value >= 0) anchor_ = value;
    EnsureVisible(value);
    InvalidateItem(value);
}

void TCustomListBox::NotifySelChange() {
    HWND parent = handle_ ? GetParent(handle_) : nullptr;
    if (parent && FindControl(parent))
        SendMessage(parent, WM_COMMAND, MAKEWPARAM(WORD(controlId_), LBN_SELCHANGE), reinterpret_cast<LPARAM>(handle_));
    else
        Perform(CN_COMMAND, MAKEWPARAM(WORD(controlId_), LBN_SELCHANGE), reinterpret_cast<LPARAM>(handle_));
}

void TCustomListBox::UserSelect(int index, TShiftState shift, bool toggle) {
    int count = Count();
    if (count == 0) return;
    index = std::clamp(index, 0, count - 1);
    std::vector<bool> before = selected_;
    int oldIndex = itemIndex_;
    if (!multiSelect_) {
        SetItemIndex(index);
    } else if (!extendedSelect_) {
        // Plain multiple selection: a click (or space) toggles the item.
        SetItemIndex(index);
        if (toggle) SetSelected(index, !selected_[std::size_t(index)]);
    } else {
        if ((shift & ssShift) && anchor_ >= 0) {
            if (!(shift & ssCtrl)) std::fill(selected_.begin(), selected_.end(), false);
            int a = std::min(anchor_, index), b = std::max(anchor_, index);
            for (int i = a; i <= b; ++i) selected_[std::size_t(i)] = true;
            int keep = anchor_;
            SetItemIndex(index);
            anchor_ = keep;
        } else if (shift & ssCtrl) {
            SetItemIndex(index);
            if (toggle) selected_[std::size_t(index)] = !selected_[std::size_t(index)];
        } else {
            std::fill(selected_.begin(), selected_.end(), false);
            selected_[std::size_t(index)] = true;
            SetItemIndex(index);
        }
        if (handle_) Invalidate();
    }
    if (itemIndex_ != oldIndex || selected_ != before) NotifySelChange();
}

void TCustomListBox::MeasureItem(int index, int& height) {
    if (OnMeasureItem) OnMeasureItem(this, index, height);
}

int TCustomListBox::RequestHeight(int index) {
    MEASUREITEMSTRUCT mis;
    mis.CtlType = ODT_LISTBOX;
    mis.CtlID = UINT(controlId_);
    mis.itemID = UINT(index);
    mis.itemHeight = UINT(itemHeight_);
    HWND parent = handle_ ? GetParent(handle_) : nullptr;
    if (parent && FindControl(parent))
        SendMessage(parent, WM_MEASUREITEM, WPARAM(controlId_), reinterpret_cast<LPARAM>(&mis));
    else
        Perform(CN_MEASUREITEM, WPARAM(controlId_), reinterpret_cast<LPARAM>(&mis));
    return std::max(1, int(mis.itemHeight));
}

void TCustomListBox::RequestDraw(HDC dc, int index, const TRect& rect, TOwnerDrawState state) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_LISTBOX;
    dis.CtlID = UINT(controlId_);
    dis.itemID = UINT(index);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = ((state & odSelected) ? ODS_SELECTED : 0) | ((state & odFocused) ? ODS_FOCUS : 0) |
                    ((state & odDisabled) ? ODS_DISABLED : 0);
    dis.hwndItem = handle_;
    dis.hDC = dc;
    dis.rcItem = rect;
    HWND parent = handle_ ? GetParent(handle_) : nullptr;
    if (parent && FindControl(parent))
        SendMessage(parent, WM_DRAWITEM, WPARAM(controlId_), reinterpret_cast<LPARAM>(&dis));
    else
        Perform(CN_DRAWITEM, WPARAM(controlId_), reinterpret_cast<LPARAM>(&dis));
}

void TCustomListBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    TCanvas* canvas = Canvas();
    canvas->FillRect(rect);
    if (index >= 0 && index < Count()) {
        HDC dc = TextDC(canvas);
        RECT r{rect.left + 2, rect.top, rect.right, rect.bottom};
        DrawText(dc, ItemText(index), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
}

void TCustomListBox::Paint() {
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(client);
    int count = Count();
    bool focused = handle_ && GetFocus() == handle_;
    // The font once (a new font is a new face to look up); per row only its colour.
    canvas->Font()->Assign(Font());
    for (int i = topIndex_; i < count; ++i) {
        TRect r = ItemRect(i);
        if (r.top >= client.bottom) break;
        bool sel = multiSelect_ ? bool(selected_[std::size_t(i)]) : i == itemIndex_;
        TOwnerDrawState state = (sel ? odSelected : 0u) | (focused && i == itemIndex_ ? odFocused : 0u) |
                                (Enabled() ? 0u : odDisabled);
        canvas->Font()->SetColor(Font()->Color());
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(sel ? clHighlight : Color());
        if (sel) canvas->Font()->SetColor(clHighlightText);
        if (!Enabled()) canvas->Font()->SetColor(clGrayText);
        if (OwnerDraw())
            RequestDraw(canvas->Handle(), i, r, state);
        else
            DrawItem(i, r, state);
        if (state & odFocused) {
            RECT fr = r;
            DrawFocusRect(canvas->Handle(), &fr);
        }
    }
}

void TCustomListBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CN_DRAWITEM: {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
            TOwnerDrawState state = 0;
            if (dis->itemState & ODS_SELECTED) state |= odSelected;
            if (dis->itemState & ODS_FOCUS) state |= odFocused;
            if (dis->itemState & ODS_DISABLED) state |= odDisabled;
            DrawItem(int(dis->itemID), TRect(dis->rcItem), state);
            m.Result = 1;
            return;
        }
        case CN_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
            int h = int(mis->itemHeight);
            MeasureItem(int(mis->itemID), h);
            mis->itemHeight = UINT(std::max(1, h));
            m.Result = 1;
            return;
        }
        case CN_COMMAND:
            if (HIWORD(m.WParam) == LBN_SELCHANGE) Click();
            m.Result = 0;
            return;
        case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
        case WM_SIZE:
            TCustomControl::Dispatch(m);
            SetTopIndex(topIndex_);
            UpdateScrollBar();
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            TCustomControl::Dispatch(m);
            InvalidateItem(itemIndex_);
            return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            if (handle_ && CanFocus() && GetFocus() != handle_) SetFocus();
            int index = ItemAtPos(TPoint(m.XPos(), m.YPos()), true);
            if (index >= 0 && m.Msg == WM_LBUTTONDOWN) {
                UserSelect(index, KeysToShiftState(m.WParam), true);
                tracking_ = !multiSelect_;
            }
            TCustomControl::Dispatch(m);
            return;
        }
        case WM_MOUSEMOVE:
            if (tracking_ && (m.WParam & MK_LBUTTON)) {
                int index = ItemAtPos(TPoint(m.XPos(), m.YPos()), false);
                EnsureVisible(index);
                UserSelect(index, 0, false);
            }
            TCustomControl::Dispatch(m);
            return;
        case WM_LBUTTONUP:
            tracking_ = false;
            TCustomControl::Dispatch(m);
            return;
        case WM_MOUSEWHEEL:
            SetTopIndex(topIndex_ - std::int16_t(HIWORD(m.WParam)) / WHEEL_DELTA * Mouse->WheelScrollLines());
            m.Result = 0;
            return;
        case WM_VSCROLL: {
            int page = VisibleCount();
            switch (LOWORD(m.WParam)) {
                case SB_LINEUP: SetTopIndex(topIndex_ - 1); break;
                case SB_LINEDOWN: SetTopIndex(topIndex_ + 1); break;
                case SB_PAGEUP: SetTopIndex(topIndex_ - page); break;
                case SB_PAGEDOWN: SetTopIndex(topIndex_ + page); break;
                case SB_TOP: SetTopIndex(0); break;
                case SB_BOTTOM: SetTopIndex(Count()); break;
                // The whole position, not the message's 16 bits.
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: SetTopIndex(WholeThumb(handle_, SB_VERT, HIWORD(m.WParam), topIndex_)); break;
                default: break;
            }
            m.Result = 0;
            return;
        }
        case WM_KEYDOWN: {
            TShiftState shift = KeyDataToShiftState(m.LParam);
            int page = std::max(1, VisibleCount() - 1);
            int target = -2;
            int cur = std::max(0, itemIndex_);
            switch (m.WParam) {
                case VK_UP: target = itemIndex_ < 0 ? 0 : cur - 1; break;
                case VK_DOWN: target = itemIndex_ < 0 ? 0 : cur + 1; break;
                case VK_PRIOR: target = cur - page; break;
                case VK_NEXT: target = cur + page; break;
                case VK_HOME: target = 0; break;
                case VK_END: target = Count() - 1; break;
                case VK_SPACE:
                    if (multiSelect_ && itemIndex_ >= 0) {
                        UserSelect(itemIndex_, extendedSelect_ ? TShiftState(ssCtrl) : TShiftState(0), true);
                        m.Result = 0;
                        return;
                    }
                    break;
                default: break;
            }
            if (target != -2) {
                // Moving with Ctrl in an extended list moves the focus only.
                if (multiSelect_ && extendedSelect_ && (shift & ssCtrl) && !(shift & ssShift)) {
                    SetItemIndex(std::clamp(target, 0, std::max(0, Count() - 1)));
                } else {
                    UserSelect(target, shift & ssShift, false);
                }
                m.Result = 0;
            }
            TCustomControl::Dispatch(m);
            return;
        }
        case WM_CHAR: {
            TCustomControl::Dispatch(m);
            if (m.WParam < 32 || m.WParam == 127) return;
            // Type-ahead: letters typed within a second of each other build the prefix.
            DWORD now = DWORD(CurrentClock().TickMs());
            std::string ch = m.WParam < 0x80 ? std::string(1, char(m.WParam)) : std::string();
            if (ch.empty()) return;
            bool fresh = typed_.empty() || now - typedAt_ > 1000;
            typed_ = fresh ? ch : typed_ + ch;
            typedAt_ = now;
            int count = Count();
            int start = fresh || typed_.size() == 1 ? itemIndex_ + 1 : std::max(0, itemIndex_);
            for (int k = 0; k < count; ++k) {
                int i = (start + k) % count;
                std::string text = ItemText(i);
                if (text.size() >= typed_.size() && SameText(text.substr(0, typed_.size()), typed_)) {
                    UserSelect(i, 0, false);
                    break;
                }
            }
            return;
        }
        default: TCustomControl::Dispatch(m); return;
    }
}

}  // namespace platform
