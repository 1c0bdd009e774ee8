// Combo boxes: the box (edit or drawn item), its button and the dropped-down list.
#include <algorithm>

#include "platform/controls/stdctrls.h"
#include "platform/core/clock.h"
#include "platform/core/sysutils.h"
#include "platform/windows/backend.h"

namespace platform {

// ---------------------------------------------------------------- the list

TComboListBox::TComboListBox(TCustomComboBox* combo, bool popup)
    : TCustomListBox(nullptr), combo_(combo), popup_(popup) {
    tabStop_ = !popup;
}

void TComboListBox::CreateParams(TCreateParams& params) {
    TCustomListBox::CreateParams(params);
    if (!popup_) return;
    // A window of its own above everything, left alone by the window manager.
    params.Style = WS_POPUP | WS_BORDER | WS_VSCROLL | WS_CLIPSIBLINGS;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    params.WndParent = nullptr;
}

void TComboListBox::RequestDraw(HDC dc, int index, const TRect& rect, TOwnerDrawState state) {
    combo_->DrawItemTo(dc, index, rect, state);
}

int TComboListBox::RequestHeight(int index) {
    int h = combo_->ItemHeight();
    combo_->MeasureItem(index, h);
    return std::max(1, h);
}

void TComboListBox::Dispatch(TMessage& m) {
    if (!popup_) {
        if (m.Msg == CN_COMMAND && HIWORD(m.WParam) == LBN_SELCHANGE) {
            combo_->UserPick(ItemIndex());
            m.Result = 0;
            return;
        }
        TCustomListBox::Dispatch(m);
        return;
    }
    switch (m.Msg) {
        case WM_MOUSEACTIVATE: m.Result = MA_NOACTIVATE; return;
        case WM_MOUSEMOVE: {
            // The item under the pointer follows it.
            TPoint p(m.XPos(), m.YPos());
            if (ClientRect().Contains(p)) {
                int index = ItemAtPos(p, true);
                if (index >= 0) SetItemIndex(index);
            }
            m.Result = 0;
            return;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            TPoint p(m.XPos(), m.YPos());
            if (ClientRect().Contains(p)) {
                m.Result = 0;
                return;
            }
            // A press on the list's own scroll bar scrolls; anywhere else it closes the list
            // and goes no further.
            POINT sp{p.x, p.y};
            ::platform::ClientToScreen(handle_, &sp);
            RECT wr;
            GetWindowRect(handle_, &wr);
            if (m.Msg == WM_LBUTTONDOWN && sp.x >= wr.left && sp.x < wr.right && sp.y >= wr.top && sp.y < wr.bottom) {
                int page = VisibleCount();
                SCROLLBARINFO sbi;
                GetScrollBarInfo(handle_, OBJID_VSCROLL, &sbi);
                int along = sp.y - sbi.rcScrollBar.top;
                if (along < sbi.dxyLineButton)
                    SetTopIndex(TopIndex() - 1);
                else if (along >= sbi.rcScrollBar.bottom - sbi.rcScrollBar.top - sbi.dxyLineButton)
                    SetTopIndex(TopIndex() + 1);
                else
                    SetTopIndex(along < sbi.xyThumbTop ? TopIndex() - page : TopIndex() + page);
                m.Result = 0;
                return;
            }
            combo_->HideList(false);
            m.Result = 0;
            return;
        }
        case WM_LBUTTONUP: {
            TPoint p(m.XPos(), m.YPos());
            int index = ClientRect().Contains(p) ? ItemAtPos(p, true) : -1;
            if (index >= 0) combo_->HideList(true);
            m.Result = 0;
            return;
        }
        case WM_CAPTURECHANGED:
            // The pointer went elsewhere: the list goes.
            if (combo_->DroppedDown() && reinterpret_cast<HWND>(m.LParam) != handle_) combo_->HideList(false);
            m.Result = 0;
            return;
        default: TCustomListBox::Dispatch(m); return;
    }
}

// ---------------------------------------------------------------- the edit

// The combo's edit hands the list keys to the combo and its typing to the combo's OnChange.
class TCustomComboBox::TComboEdit : public TCustomEdit {
public:
    TComboEdit(TCustomComboBox* combo) : TCustomEdit(nullptr), combo_(combo) {
        SetBorderStyle(bsNone);
        SetAutoSize(false);  // the box decides its height
    }
    void Dispatch(TMessage& m) override {
        switch (m.Msg) {
            case WM_GETDLGCODE:
                TCustomEdit::Dispatch(m);
                if (combo_->DroppedDown()) m.Result |= DLGC_WANTALLKEYS;
                return;
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN:
                if (combo_->ComboKey(WORD(m.WParam), KeyDataToShiftState(m.LParam))) {
                    m.Result = 0;
                    return;
                }
                break;
            case WM_CHAR:
                if (combo_->DroppedDown() && (m.WParam == '\r' || m.WParam == 27)) {
                    m.Result = 0;
                    return;
                }
                break;
            default: break;
        }
        TCustomEdit::Dispatch(m);
    }

protected:
    void Change() override {
        TCustomEdit::Change();
        if (combo_->settingText_) return;
        // Typed text: the item it names, if any, becomes the current one.
        combo_->itemIndex_ = combo_->items_->IndexOf(Text());
        combo_->Change();
    }

private:
    TCustomComboBox* combo_;
};

// ---------------------------------------------------------------- the box

TCustomComboBox::TCustomComboBox(TComponent* owner) : TCustomControl(owner) {
    width_ = 145;
    height_ = 24;
    tabStop_ = true;
    color_ = clWindow;
    brush_->SetColor(color_);
    controlStyle_ = csSetCaption | csDoubleClicks | csFixedHeight;
    items_ = new TStringList;
    items_->OnChange = [this](TObject*) { ItemsChanged(); };
    edit_ = new TComboEdit(this);
    list_ = new TComboListBox(this, true);
}

TCustomComboBox::~TCustomComboBox() {
    if (dropped_ && list_->HandleAllocated() && GetCapture() == list_->WindowHandle()) ReleaseCapture();
    delete list_;
    list_ = nullptr;
    delete edit_;
    edit_ = nullptr;
    DestroyHandle();
    delete items_;
}

void TCustomComboBox::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomComboBox::CreateWnd() {
    TCustomControl::CreateWnd();
    PlaceChildren();
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
    if (style_ == value) return;
    if (dropped_) HideList(false);
    style_ = value;
    delete list_;
    list_ = new TComboListBox(this, value != csSimple);
    PlaceChildren();
    Invalidate();
}

bool TCustomComboBox::Sorted() const { return items_->Sorted(); }
void TCustomComboBox::SetSorted(bool value) { items_->SetSorted(value); }

void TCustomComboBox::SetMaxLength(int value) {
    maxLength_ = std::max(0, value);
    edit_->SetMaxLength(maxLength_);
}

TRect TCustomComboBox::ButtonRect() const {
    TRect c = ClientRect();
    if (style_ == csSimple) return TRect(c.right, c.top, c.right, c.top);
    int w = GetSystemMetrics(SM_CXVSCROLL);
    return TRect(c.right - w, c.top, c.right, c.top + std::min(int(c.bottom), itemHeight_ + 4));
}

TRect TCustomComboBox::ItemAreaRect() const {
    TRect c = ClientRect();
    TRect b = ButtonRect();
    int h = style_ == csSimple ? itemHeight_ + 4 : c.Height();
    return TRect(c.left + 1, c.top + 1, b.left - 1, c.top + std::max(1, h - 1));
}

void TCustomComboBox::PlaceChildren() {
    bool withEdit = style_ == csDropDown || style_ == csSimple;
    if (!handle_) return;
    if (withEdit) {
        if (edit_->Parent() != this) edit_->SetParent(this);
        edit_->SetBoundsRect(ItemAreaRect());
        edit_->SetFont(Font());
        edit_->SetVisible(true);
    } else if (edit_->Parent()) {
        edit_->SetParent(nullptr);
    }
    if (style_ == csSimple) {
        TRect c = ClientRect();
        int top = ItemAreaRect().bottom + 2;
        list_->SetParent(this);
        list_->SetBounds(0, top, c.Width(), std::max(0, int(c.bottom) - top));
        list_->Items()->Assign(items_);
        list_->SetItemIndex(itemIndex_);
    }
}

void TCustomComboBox::ItemsChanged() {
    if (itemIndex_ >= items_->Count()) itemIndex_ = -1;
    if (style_ == csSimple && list_->HandleAllocated()) list_->Items()->Assign(items_);
    Invalidate();
}

std::string TCustomComboBox::Text() const {
    if (style_ == csDropDown || style_ == csSimple) return edit_->Text();
    return itemIndex_ >= 0 && itemIndex_ < items_->Count() ? items_->Get(itemIndex_) : std::string();
}

void TCustomComboBox::SetText(const std::string& value) {
    if (style_ == csDropDown || style_ == csSimple) {
        settingText_ = true;
        edit_->SetText(value);
        settingText_ = false;
        itemIndex_ = items_->IndexOf(value);
        return;
    }
    // A list-only box shows only its items.
    int index = items_->IndexOf(value);
    if (index >= 0) SetItemIndex(index);
}

void TCustomComboBox::SetItemIndex(int value) {
    if (value < -1 || value >= items_->Count()) value = -1;
    itemIndex_ = value;
    if (style_ == csDropDown || style_ == csSimple) {
        settingText_ = true;
        edit_->SetText(value >= 0 ? items_->Get(value) : std::string());
        settingText_ = false;
    }
    if (style_ == csSimple) list_->SetItemIndex(value);
    Invalidate();
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
    if (OnSelect) OnSelect(this);
}

void TCustomComboBox::DropDown() {
    if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
    if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::UserPick(int index) {
    if (index < 0 || index >= items_->Count()) return;
    bool changed = index != itemIndex_ || (edit_->Parent() && edit_->Text() != items_->Get(index));
    SetItemIndex(index);
    if (edit_->Parent()) edit_->SelectAll();
    if (!changed) return;
    Select();
    Change();
}

void TCustomComboBox::SetDroppedDown(bool value) {
    if (value == dropped_ || style_ == csSimple) return;
    if (value)
        ShowList();
    else
        HideList(false);
}

void TCustomComboBox::ShowList() {
    if (dropped_ || style_ == csSimple || !handle_) return;
    DropDown();
    if (CanFocus() && GetFocus() != handle_ && !(edit_->Parent() && edit_->Focused())) {
        if (edit_->Parent())
            edit_->SetFocus();
        else
            SetFocus();
    }
    list_->SetStyle(style_ == csOwnerDrawVariable ? lbOwnerDrawVariable
                    : style_ == csOwnerDrawFixed  ? lbOwnerDrawFixed
                                                  : lbStandard);
    list_->SetItemHeight(itemHeight_);
    list_->SetFont(Font());
    list_->Items()->Assign(items_);
    int rows = std::min(std::max(1, items_->Count()), dropDownCount_);
    int height = 0;
    if (style_ == csOwnerDrawVariable) {
        for (int i = 0; i < rows; ++i) {
            int h = itemHeight_;
            MeasureItem(i, h);
            height += std::max(1, h);
        }
    } else {
        height = rows * itemHeight_;
    }
    height += 2;
    TPoint below = ClientToScreen(TPoint(0, 0));
    RECT wr;
    GetWindowRect(handle_, &wr);
    TRect screen = Backend().ScreenRect();
    int y = wr.bottom;
    // Above the box when the screen has no room below it.
    if (y + height > screen.bottom && wr.top - height >= screen.top) y = wr.top - height;
    list_->SetBounds(wr.left, y, wr.right - wr.left, height);
    list_->HandleNeeded();
    // A list whose items all fit shows no scroll bar.
    ShowScrollBar(list_->Handle(), SB_VERT, items_->Count() > rows);
    list_->SetItemIndex(itemIndex_);
    listIndexAtDrop_ = itemIndex_;
    dropped_ = true;
    ShowWindow(list_->Handle(), SW_SHOWNOACTIVATE);
    list_->SetVisible(true);
    SetCapture(list_->Handle());
    (void)below;
    Invalidate();
}

void TCustomComboBox::HideList(bool pick) {
    if (!dropped_) return;
    dropped_ = false;
    int chosen = list_->ItemIndex();
    if (list_->HandleAllocated()) {
        if (GetCapture() == list_->WindowHandle()) ReleaseCapture();
        ShowWindow(list_->WindowHandle(), SW_HIDE);
    }
    list_->SetVisible(false);
    Invalidate();
    CloseUp();
    if (pick) UserPick(chosen);
}

bool TCustomComboBox::ComboKey(WORD key, TShiftState shift) {
    if (dropped_) {
        switch (key) {
            case VK_UP:
                if (shift & ssAlt) {
                    HideList(true);
                } else {
                    list_->SetItemIndex(std::max(0, list_->ItemIndex() - 1));
                }
                return true;
            case VK_DOWN:
                if (shift & ssAlt) {
                    HideList(true);
                } else {
                    list_->SetItemIndex(std::min(items_->Count() - 1, list_->ItemIndex() + 1));
                }
                return true;
            case VK_PRIOR:
                list_->SetItemIndex(std::max(0, list_->ItemIndex() - list_->VisibleCount()));
                return true;
            case VK_NEXT:
                list_->SetItemIndex(std::min(items_->Count() - 1, list_->ItemIndex() + list_->VisibleCount()));
                return true;
            case VK_RETURN:
            case VK_F4: HideList(true); return true;
            case VK_ESCAPE: HideList(false); return true;
            case VK_TAB: HideList(true); return false;
            default: return false;
        }
    }
    if (key == VK_F4 || ((shift & ssAlt) && (key == VK_DOWN || key == VK_UP))) {
        ShowList();
        return true;
    }
    if (style_ == csSimple) return false;
    int count = items_->Count();
    if (count == 0) return false;
    switch (key) {
        case VK_UP: UserPick(std::max(0, itemIndex_ - 1)); return true;
        case VK_DOWN: UserPick(std::min(count - 1, itemIndex_ + 1)); return true;
        case VK_HOME:
            if (edit_->Parent()) return false;
            UserPick(0);
            return true;
        case VK_END:
            if (edit_->Parent()) return false;
            UserPick(count - 1);
            return true;
        default: return false;
    }
}

void TCustomComboBox::MeasureItem(int index, int& height) {
    if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TCustomComboBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    TCanvas* canvas = Canvas();
    canvas->FillRect(rect);
    if (index >= 0 && index < items_->Count()) {
        RECT r{rect.left + 2, rect.top, rect.right, rect.bottom};
        DrawText(TextDC(canvas), items_->Get(index), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
}

void TCustomComboBox::DrawItemTo(HDC dc, int index, const TRect& rect, TOwnerDrawState state) {
    // The combo's canvas draws on the list's DC for the moment.
    auto* canvas = static_cast<TControlCanvas*>(Canvas());
    canvas->PaintOn(dc, [&] {
        canvas->Font()->Assign(Font());
        bool sel = state & odSelected;
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(sel ? clHighlight : Color());
        if (sel) canvas->Font()->SetColor(clHighlightText);
        DrawItem(index, rect, state);
    });
}

void TCustomComboBox::Paint() {
    TCanvas* canvas = Canvas();
    TRect c = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
    canvas->FillRect(c);
    if (style_ == csSimple) return;
    TRect b = ButtonRect();
    RECT br = b;
    DrawFrameControl(canvas->Handle(), &br, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | (dropped_ ? DFCS_PUSHED | DFCS_FLAT : 0) |
                                                        (Enabled() ? 0 : DFCS_INACTIVE));
    if (edit_->Parent()) return;
    // The chosen item in the box, highlighted while the box has the focus.
    TRect item = ItemAreaRect();
    bool focused = handle_ && GetFocus() == handle_ && !dropped_;
    TOwnerDrawState state = (focused ? odSelected | odFocused : 0u) | (Enabled() ? 0u : odDisabled);
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetColor(focused ? clHighlight : Color());
    if (focused) canvas->Font()->SetColor(clHighlightText);
    if (!Enabled()) canvas->Font()->SetColor(clGrayText);
    if (style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) {
        // The owner draws the box's item too, told by ODS_COMBOBOXEDIT.
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_COMBOBOX;
        dis.itemID = UINT(itemIndex_);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = ODS_COMBOBOXEDIT | (focused ? ODS_SELECTED | ODS_FOCUS : 0);
        dis.hwndItem = handle_;
        dis.hDC = canvas->Handle();
        dis.rcItem = item;
        HWND parent = GetParent(handle_);
        if (parent && FindControl(parent))
            SendMessage(parent, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
        else
            Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    } else {
        DrawItem(itemIndex_, item, state);
    }
    if (focused) {
        RECT fr = item;
        DrawFocusRect(canvas->Handle(), &fr);
    }
}

void TCustomComboBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CN_DRAWITEM: {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
            TOwnerDrawState state = 0;
            if (dis->itemState & ODS_SELECTED) state |= odSelected;
            if (dis->itemState & ODS_FOCUS) state |= odFocused;
            if (dis->itemState & ODS_COMBOBOXEDIT) state |= odComboBoxEdit;
            DrawItem(int(dis->itemID), TRect(dis->rcItem), state);
            m.Result = 1;
            return;
        }
        case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (dropped_ ? DLGC_WANTALLKEYS : 0); return;
        case WM_SIZE:
            TCustomControl::Dispatch(m);
            PlaceChildren();
            return;
        case WM_SETFOCUS:
            TCustomControl::Dispatch(m);
            if (edit_->Parent() && edit_->CanFocus()) edit_->SetFocus();
            Invalidate();
            return;
        case WM_KILLFOCUS:
            TCustomControl::Dispatch(m);
            Invalidate();
            return;
        case CM_ENABLEDCHANGED:
        case CM_FONTCHANGED:
            TCustomControl::Dispatch(m);
            edit_->SetEnabled(Enabled());
            PlaceChildren();
            Invalidate();
            return;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            TCustomControl::Dispatch(m);
            if (style_ == csSimple) return;
            if (!edit_->Parent() && CanFocus()) SetFocus();
            TPoint p(m.XPos(), m.YPos());
            if (!edit_->Parent() || ButtonRect().Contains(p)) {
                if (dropped_)
                    HideList(false);
                else
                    ShowList();
            }
            return;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            WORD key = WORD(m.WParam);
            TShiftState shift = KeyDataToShiftState(m.LParam);
            if (DoKeyDown(key, m.LParam)) return;
            if (ComboKey(key, shift)) {
                m.Result = 0;
                return;
            }
            DefaultHandler(m);
            return;
        }
        case WM_CHAR: {
            TCustomControl::Dispatch(m);
            if (edit_->Parent() || m.WParam < 32 || m.WParam >= 0x80) return;
            // Type-ahead in a list-only box.
            DWORD now = DWORD(CurrentClock().TickMs());
            bool fresh = typed_.empty() || now - typedAt_ > 1000;
            typed_ = fresh ? std::string(1, char(m.WParam)) : typed_ + char(m.WParam);
            typedAt_ = now;
            int count = items_->Count();
            int start = typed_.size() == 1 ? itemIndex_ + 1 : std::max(0, itemIndex_);
            for (int k = 0; k < count; ++k) {
                int i = (start + k) % count;
                std::string text = items_->Get(i);
                if (text.size() >= typed_.size() && SameText(text.substr(0, typed_.size()), typed_)) {
                    if (dropped_)
                        list_->SetItemIndex(i);
                    else
                        UserPick(i);
                    break;
                }
            }
            return;
        }
        case CB_SHOWDROPDOWN:
            SetDroppedDown(m.WParam != 0);
            m.Result = TRUE;
            return;
        case CB_GETDROPPEDSTATE: m.Result = dropped_; return;
        case CB_GETCOUNT: m.Result = items_->Count(); return;
        case CB_GETCURSEL: m.Result = itemIndex_; return;
        case CB_SETCURSEL:
            SetItemIndex(int(m.WParam));
            m.Result = itemIndex_;
            return;
        default: TCustomControl::Dispatch(m); return;
    }
}

BOOL GetComboBoxInfo(HWND combo, COMBOBOXINFO* info) {
    auto* box = dynamic_cast<TCustomComboBox*>(FindControl(combo));
    if (!box || !info || (info->cbSize != sizeof(COMBOBOXINFO) && info->cbSize != 52)) return FALSE;
    info->rcItem = box->ItemAreaRect();
    info->rcButton = box->ButtonRect();
    info->stateButton = box->Style() == csSimple ? STATE_SYSTEM_INVISIBLE : box->DroppedDown() ? STATE_SYSTEM_PRESSED : 0;
    info->hwndCombo = combo;
    info->hwndItem = box->EditControl() && box->EditControl()->Parent() ? box->EditControl()->WindowHandle() : combo;
    info->hwndList = box->ListControl() ? box->ListControl()->Handle() : nullptr;
    return TRUE;
}

}  // namespace platform
