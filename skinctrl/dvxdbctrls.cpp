#include "skinctrl/dvxdbctrls.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "platform/graphics/resources.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

// ---------------------------------------------------------------- ValueMatch

namespace {

// Code points of UTF-8 text; a byte that starts no valid sequence stands for itself
// (0xDC00 + byte), so malformed text compares byte for byte.
std::u32string CodePoints(const std::string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len > 0 && i + std::size_t(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + std::size_t(k)]);
            if ((d & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out += char32_t(0xDC00 + c);
            ++i;
            continue;
        }
        out += cp;
        i += std::size_t(len);
    }
    return out;
}

// Lower case through the C.UTF-8 locale's tables (the whole of Unicode), whatever the
// program's own locale is.
char32_t Fold(char32_t c) {
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (!utf8 || (c >= 0xDC00 && c <= 0xDCFF)) return c;
    return char32_t(towlower_l(wint_t(c), utf8));
}

bool SameTextUnicode(const std::string& a, const std::string& b) {
    std::u32string x = CodePoints(a), y = CodePoints(b);
    if (x.size() != y.size()) return false;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (Fold(x[i]) != Fold(y[i])) return false;
    return true;
}

std::string FirstEntry(const std::string& list) { return Trim(list.substr(0, list.find(';'))); }

}  // namespace

bool ValueMatch(const std::string& list, const std::string& text) {
    if (list.empty()) return false;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (SameTextUnicode(Trim(list.substr(start, end - start)), text)) return true;
        start = end + 1;
    }
    return false;
}

// ---------------------------------------------------------------- TdvxDBCheckBox

TdvxDBCheckBox::TdvxDBCheckBox(TComponent* owner) : TdvxCheckBox(owner) {
    SetControlStyle(ControlStyle() | csReplicatable);
    dataLink_.SetControl(this);
    dataLink_.OnDataChange = [this](TObject*) { DataChange(); };
    dataLink_.OnUpdateData = [this](TObject*) { UpdateData(); };
}

TdvxDBCheckBox::~TdvxDBCheckBox() {
    dataLink_.OnDataChange = nullptr;
    dataLink_.OnUpdateData = nullptr;
    dataLink_.SetDataSource(nullptr);
}

void TdvxDBCheckBox::SetDataSource(TDataSource* value) {
    if (value == dataLink_.DataSource()) return;
    if (dataLink_.DataSource()) RemoveFreeNotification(dataLink_.DataSource());
    dataLink_.SetDataSource(value);
    if (value) FreeNotification(value);
}

void TdvxDBCheckBox::Notification(TComponent* component, TOperation operation) {
    TdvxCheckBox::Notification(component, operation);
    if (operation == opRemove && component == dataLink_.DataSource()) SetDataSource(nullptr);
}

void TdvxDBCheckBox::SetValueCheck(const std::string& value) {
    valueChecked_ = value;
    DataChange();
}

void TdvxDBCheckBox::SetValueUncheck(const std::string& value) {
    valueUnchecked_ = value;
    DataChange();
}

TCheckBoxState TdvxDBCheckBox::GetFieldState() const {
    TField* f = dataLink_.Field();
    if (!f || f->IsNull()) return cbUnchecked;
    if (f->DataType() == ftBoolean) {
        try {
            return f->AsBoolean() ? cbChecked : cbUnchecked;
        } catch (const EDatabaseError&) {
            return cbUnchecked;  // a stored value that is no boolean shows unchecked
        }
    }
    return ValueMatch(valueChecked_, f->Text()) ? cbChecked : cbUnchecked;
}

bool TdvxDBCheckBox::UseRightToLeftAlignment() const {
    return SysLocale.MiddleEast && BiDiMode() == bdRightToLeft && dataLink_.Field();
}

void TdvxDBCheckBox::DataChange() { SetState(GetFieldState()); }

void TdvxDBCheckBox::UpdateData() {
    TField* f = dataLink_.Field();
    if (!f) return;
    if (f->DataType() == ftBoolean)
        f->SetAsBoolean(Checked());
    else
        f->SetText(FirstEntry(Checked() ? valueChecked_ : valueUnchecked_));
}

void TdvxDBCheckBox::DoClick() {
    // The box flips only when the record can be edited; the new state is written later.
    if (!dataLink_.Edit()) return;
    Toggle();
    SetChecked(!checked_);
    dataLink_.Modified();
}

void TdvxDBCheckBox::KeyPress(char& key) {
    TdvxCheckBox::KeyPress(key);
    if (key == 8 || key == 32)
        dataLink_.Edit();
    else if (key == 27)
        dataLink_.Reset();
}

void TdvxDBCheckBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_GETDATALINK: m.Result = reinterpret_cast<LRESULT>(&dataLink_); return;
        case CM_EXIT:
            try {
                dataLink_.UpdateRecord();
            } catch (...) {
                SetFocus();
                throw;
            }
            break;
        default: break;
    }
    TdvxCheckBox::Dispatch(m);
}

// ---------------------------------------------------------------- TdvxDBRadioGroup

TdvxDBRadioGroup::TdvxDBRadioGroup(TComponent* owner)
    : TdvxRadioGroup(owner), values_(std::make_unique<TStringList>()) {
    dataLink_.SetControl(this);
    dataLink_.OnDataChange = [this](TObject*) { DataChange(); };
    dataLink_.OnUpdateData = [this](TObject*) { UpdateData(); };
}

TdvxDBRadioGroup::~TdvxDBRadioGroup() {
    dataLink_.OnDataChange = nullptr;
    dataLink_.OnUpdateData = nullptr;
    dataLink_.SetDataSource(nullptr);
}

void TdvxDBRadioGroup::SetDataSource(TDataSource* value) {
    if (value == dataLink_.DataSource()) return;
    if (dataLink_.DataSource()) RemoveFreeNotification(dataLink_.DataSource());
    dataLink_.SetDataSource(value);
    if (value) FreeNotification(value);
}

void TdvxDBRadioGroup::Notification(TComponent* component, TOperation operation) {
    TdvxRadioGroup::Notification(component, operation);
    if (operation == opRemove && component == dataLink_.DataSource()) SetDataSource(nullptr);
}

void TdvxDBRadioGroup::SetItems(TStrings* value) {
    Items()->Assign(value);
    DataChange();
}

void TdvxDBRadioGroup::SetValues(TStrings* value) {
    values_->Assign(value);
    DataChange();
}

std::string TdvxDBRadioGroup::GetButtonValue(int index) const {
    if (index >= 0 && index < values_->Count() && !values_->Get(index).empty()) return values_->Get(index);
    if (index >= 0 && index < Items()->Count()) return Items()->Get(index);
    return std::string();
}

void TdvxDBRadioGroup::SetValue(const std::string& value) {
    if (value == value_) return;
    settingValue_ = true;
    try {
        int index = -1;
        for (int i = 0; i < Items()->Count(); ++i)
            if (GetButtonValue(i) == value) {
                index = i;
                break;
            }
        SetItemIndex(index);
    } catch (...) {
        settingValue_ = false;
        throw;
    }
    settingValue_ = false;
    value_ = value;
    Change();
}

void TdvxDBRadioGroup::Change() {
    if (OnChange) OnChange(this);
}

void TdvxDBRadioGroup::DataChange() { SetValue(dataLink_.Field() ? dataLink_.Field()->Text() : std::string()); }

void TdvxDBRadioGroup::UpdateData() {
    if (TField* f = dataLink_.Field()) f->SetText(value_);
}

bool TdvxDBRadioGroup::CanModify() const { return dataLink_.Edit(); }

void TdvxDBRadioGroup::NewClick() {
    if (settingValue_) return;
    if (ItemIndex() >= 0) SetValue(GetButtonValue(ItemIndex()));
    if (dataLink_.Editing()) dataLink_.Modified();
}

void TdvxDBRadioGroup::KeyPress(char& key) {
    TdvxRadioGroup::KeyPress(key);
    if (key == 8 || key == 32)
        dataLink_.Edit();
    else if (key == 27)
        dataLink_.Reset();
}

void TdvxDBRadioGroup::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_GETDATALINK: m.Result = reinterpret_cast<LRESULT>(&dataLink_); return;
        case CM_EXIT:
            try {
                dataLink_.UpdateRecord();
            } catch (...) {
                // Back to the checked button, else the first; a group without buttons
                // keeps the focus itself.
                int i = ItemIndex();
                if (i < 0 && ButtonCount() > 0) i = 0;
                if (i >= 0 && Button(i)->CanFocus())
                    Button(i)->SetFocus();
                else if (CanFocus())
                    SetFocus();
                throw;
            }
            break;
        default: break;
    }
    TdvxRadioGroup::Dispatch(m);
}

// ---------------------------------------------------------------- TdvxDBEdit, TdvxDBImage

TdvxDBEdit::TdvxDBEdit(TComponent* owner) : TdvxDBWrapper<TDBEdit>(owner) {
    SetControlStyle(ControlStyle() | csOpaque);
    SetBorderStyle(bsNone);
    SetBorderWidth(2);
    UIStyleChanged();
}

void TdvxDBEdit::Dispatch(TMessage& m) {
    TdvxDBWrapper<TDBEdit>::Dispatch(m);
    if ((m.Msg == WM_PAINT || m.Msg == WM_ERASEBKGND) && HandleAllocated())
        DrawControlBorder(this, borderColor_, Color(), true);
}

TdvxDBImage::TdvxDBImage(TComponent* owner) : TdvxDBWrapper<TDBImage>(owner) {
    SetBorderWidth(2);
    UIStyleChanged();
}

void TdvxDBImage::Dispatch(TMessage& m) {
    TdvxDBWrapper<TDBImage>::Dispatch(m);
    if ((m.Msg == WM_PAINT || m.Msg == WM_ERASEBKGND) && HandleAllocated())
        DrawControlBorder(this, borderColor_, Color(), true);
}

// ---------------------------------------------------------------- combo boxes

template <class Base, bool Lookup>
void TdvxDBComboWrapper<Base, Lookup>::UIStyleChanged() {
    arrowColor_ = clBlack;
    this->SetBorderColor(this->StyleBorderColor());
    TdvxUIStyle style;
    if (this->UsingTheme(style))
        SetButtonColor(this->GetFileTheme()->GetColor(SKIN2_FORMCOLOR));
    else
        SetButtonColor(GetInsideThemeColor(style, DVX_THEME_FORM_COLOR));
}

template <class Base, bool Lookup>
TRect TdvxDBComboWrapper<Base, Lookup>::ButtonArea() const {
    if (!this->HandleAllocated()) return TRect();
    if (Lookup) {
        int cx = GetSystemMetrics(SM_CXVSCROLL);
        int w = this->ClientWidth(), h = this->ClientHeight();
        if (this->BiDiMode() == bdRightToLeft && SysLocale.MiddleEast) return TRect(0, 0, cx, h);
        return TRect(w - cx, 0, w, h);
    }
    COMBOBOXINFO info;
    if (!DVXGetComboBoxInfo(this->WindowHandle(), &info)) return TRect();
    return TRect(info.rcButton);
}

template <class Base, bool Lookup>
void TdvxDBComboWrapper<Base, Lookup>::DrawButton(HDC dc) {
    if (!dc || !this->HandleAllocated()) return;
    TRect button = ButtonArea();
    if (button.IsEmpty()) return;
    if (!Lookup) DrawControlBorder(this, this->borderColor_, this->Color(), true);
    bool rightToLeft = this->BiDiMode() == bdRightToLeft && SysLocale.MiddleEast;
    // The lookup box's arrow sits two pixels higher.
    DrawComboButton(dc, button, this->GetUIStyle(), buttonColor_, this->borderColor_, arrowColor_, this->Enabled(),
                    rightToLeft, Lookup ? 2 : 0);
}

template <class Base, bool Lookup>
void TdvxDBComboWrapper<Base, Lookup>::PaintWindow(HDC dc) {
    TdvxDBWrapper<Base>::PaintWindow(dc);
    if (Lookup && this->HandleAllocated()) DrawControlBorder(this, this->borderColor_, this->Color(), true);
    DrawButton(dc);
}

template <class Base, bool Lookup>
void TdvxDBComboWrapper<Base, Lookup>::Dispatch(TMessage& m) {
    TdvxDBWrapper<Base>::Dispatch(m);
    if (m.Msg == WM_ERASEBKGND && m.WParam) DrawButton(reinterpret_cast<HDC>(m.WParam));
    if (m.Msg == WM_NCPAINT && this->HandleAllocated())
        DrawControlBorder(this, this->borderColor_, this->Color(), true);
}

template class TdvxDBComboWrapper<TDBComboBox, false>;
template class TdvxDBComboWrapper<TDBLookupComboBox, true>;

// ---------------------------------------------------------------- TdvxDBGrid

TdvxDBGrid::TdvxDBGrid(TComponent* owner) : TdvxDBWrapper<TDBGrid>(owner) {
    SetControlStyle(ControlStyle() | csOpaque);
    SetBorderStyle(bsNone);
    UIStyleChanged();
    focusedColor_ = TColor(0x008000);
    selectedColor_ = TColor(0x00FFFF);
}

TdvxDBGrid::~TdvxDBGrid() {
    if (vBar_) vBar_->OnChange() = nullptr;
    if (hBar_) hBar_->OnChange() = nullptr;
}

void TdvxDBGrid::SetFocusedColor(TColor value) {
    if (focusedColor_ == value) return;
    focusedColor_ = value;
    Refreshed();
}

void TdvxDBGrid::SetSelectedColor(TColor value) {
    if (selectedColor_ == value) return;
    selectedColor_ = value;
    Refreshed();
}

void TdvxDBGrid::UIStyleChanged() {
    TdvxUIStyle style;
    if (UsingTheme(style)) {
        TdvxFileTheme* t = GetFileTheme();
        SetBorderColor(t->GetColor(SKIN2_CONTROLBORDERCOLOR));
        SetFixedColor(t->GetColor(SKIN2_SELECTEDMENUCOLOR));
        SetColor(t->GetColor(SKIN2_CONTROLCOLOR));
        Font()->SetColor(t->GetColor(SKIN2_CONTROLFONTCOLOR));
        TitleFont()->SetColor(t->GetColor(SKIN2_SELECTEDMENUFONTCOLOR));
        style = FromThemeFile;
    } else {
        SetBorderColor(GetInsideThemeColor(style, DVX_THEME_CONTROL_BORDER_COLOR));
        SetFixedColor(GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_COLOR));
        SetColor(GetInsideThemeColor(style, DVX_THEME_CONTROL_COLOR));
        TitleFont()->SetColor(GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_FONT_COLOR));
        TColor font = GetInsideThemeColor(style, DVX_THEME_MENU_FONT_COLOR);
        // White text on the grid's light cells would not be read.
        Font()->SetColor(ColorToRGB(font) == 0xFFFFFF ? clBlack : font);
    }
    for (TdvxScrollBar* bar : {vBar_, hBar_})
        if (bar) bar->SetUIStyle(style);
}

void TdvxDBGrid::DrawCell(int col, int row, TRect rect, TGridDrawState state) {
    if (col == -1 || row == -1) return;
    if (state & gdFixed) {
        TDBGrid::DrawCell(col, row, rect, state);
        return;
    }
    TCanvas* c = Canvas();
    if (state & gdSelected) c->Brush()->SetColor(selectedColor_);
    if (state & gdFocused) c->Brush()->SetColor(focusedColor_);
    if (state == 0) c->Brush()->SetColor(Color());
    try {
        c->FillRect(rect);
    } catch (const Exception&) {
        // The cell still gets its text.
    }
    TDBGrid::DrawCell(col, row, rect, state);
}

void TdvxDBGrid::DrawColumnCell(const TRect& rect, int dataCol, TColumn* column, TGridDrawState state) {
    if (state & gdSelected) {
        Canvas()->Font()->SetColor(Font()->Color());
        Canvas()->Brush()->SetColor(selectedColor_);
        DefaultDrawColumnCell(rect, dataCol, column, state);
    }
    TDBGrid::DrawColumnCell(rect, dataCol, column, state);
}

bool TdvxDBGrid::RightToLeftLayout() const {
    return (BiDiMode() == bdRightToLeft || BiDiMode() == bdRightToLeftNoAlign) && SysLocale.MiddleEast;
}

void TdvxDBGrid::Attach(TdvxScrollBar*& field, TdvxScrollBar* bar, bool vertical) {
    if (bar == field) return;
    if (field) {
        field->OnChange() = nullptr;
        field->SetLineButton(0);
        field->SetMax(100);
        field->SetEnabled(true);
        RemoveFreeNotification(field);
    }
    field = bar;
    if (!bar) return;
    FreeNotification(bar);
    bar->SetOrientation(vertical ? dvxVertical : dvxHorizontal);
    if (vertical)
        bar->OnChange() = [this](TObject* s) { OnVScrollBarChange(s); };
    else
        bar->OnChange() = [this](TObject* s) { OnHScrollBarChange(s); };
    bar->BringToFront();
    UpdateScrollBarsPos();
}

void TdvxDBGrid::SetVScrollBar(TdvxScrollBar* bar) { Attach(vBar_, bar, true); }
void TdvxDBGrid::SetHScrollBar(TdvxScrollBar* bar) { Attach(hBar_, bar, false); }

void TdvxDBGrid::Notification(TComponent* component, TOperation operation) {
    TdvxDBWrapper<TDBGrid>::Notification(component, operation);
    if (operation != opRemove) return;
    if (component == vBar_) vBar_ = nullptr;
    if (component == hBar_) hBar_ = nullptr;
}

void TdvxDBGrid::Loaded() {
    TdvxDBWrapper<TDBGrid>::Loaded();
    UpdateScrollBarsPos();
}

void TdvxDBGrid::SyncBar(TdvxScrollBar* bar, int objectId, int sb) {
    SCROLLBARINFO info;
    bool ok = HandleAllocated() && DVXGetScrollBarInfo(WindowHandle(), objectId, &info);
    if (!ok || (info.rgstate[0] & STATE_SYSTEM_INVISIBLE) || (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE)) {
        bar->SetLineButton(0);
        bar->SetEnabled(false);
        bar->SetVisible(false);
    } else if (!Enabled()) {
        bar->SetEnabled(false);
    } else {
        bar->SetLineButton(std::abs(info.xyThumbBottom - info.xyThumbTop));
        bar->SetEnabled(true);
        bar->SetVisible(true);
    }
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    if (HandleAllocated() && GetScrollInfo(WindowHandle(), sb, &si)) {
        bar->SetMax(si.nMax - int(si.nPage) + 1);
        bar->SetMin(si.nMin);
        bar->SetPosition(si.nPos);
    }
}

void TdvxDBGrid::UpdateSkinnedBars() {
    if ((ComponentState() & csLoading) || updatingBars_) return;
    updatingBars_ = true;
    try {
        if (vBar_) SyncBar(vBar_, OBJID_VSCROLL, SB_VERT);
        if (hBar_) SyncBar(hBar_, OBJID_HSCROLL, SB_HORZ);
    } catch (...) {
        updatingBars_ = false;
        throw;
    }
    updatingBars_ = false;
}

void TdvxDBGrid::UpdateScrollBars() {
    TDBGrid::UpdateScrollBars();
    // The native bars follow every record move; the skinned ones follow them.
    if (!scrollingFromBar_) UpdateSkinnedBars();
}

void TdvxDBGrid::UpdateScrollBarsPos() {
    if (ComponentState() & csLoading) return;
    UpdateSkinnedBars();
    int L = Left(), T = Top(), W = Width(), H = Height();
    bool rtl = RightToLeftLayout();
    if (hBar_) {
        if (H < hBar_->Height()) {
            hBar_->SetTop(T);
        } else {
            int top = T + H - hBar_->Height() - 1;
            bool v = vBar_ && vBar_->Visible();
            if (!rtl) {
                hBar_->SetBounds(L + 1, top, v ? W - vBar_->Width() - 1 : W - 2, hBar_->Height());
            } else if (v) {
                hBar_->SetBounds(L + vBar_->Width() + 1, top, W - vBar_->Width() - 1, hBar_->Height());
            } else {
                hBar_->SetBounds(L + 1, top, W - 1, hBar_->Height());
            }
        }
    }
    if (vBar_) {
        if (W < vBar_->Width()) {
            vBar_->SetLeft(L);
        } else {
            bool h = hBar_ && hBar_->Visible();
            vBar_->SetBounds(rtl ? L + 1 : L + W - vBar_->Width() - 1, T + 1, vBar_->Width(),
                             h ? H - hBar_->Height() - 1 : H - 1);
        }
    }
}

void TdvxDBGrid::OnVScrollBarChange(TObject*) {
    if (updatingBars_ || !vBar_) return;
    scrollingFromBar_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{scrollingFromBar_};
    TDataSet* ds = DataSource() ? DataSource()->DataSet() : nullptr;
    if (!ds) {
        Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, WORD(vBar_->Position())), 0);
    } else {
        int p = vBar_->Position();
        if (p <= 1)
            ds->First();
        else if (p < ds->RecordCount())
            ds->SetRecNo(p);
        else
            ds->Last();
    }
    Invalidate();
}

void TdvxDBGrid::OnHScrollBarChange(TObject*) {
    if (updatingBars_ || !hBar_) return;
    scrollingFromBar_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{scrollingFromBar_};
    Perform(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, WORD(hBar_->Position())), 0);
    Invalidate();
}

void TdvxDBGrid::Dispatch(TMessage& m) {
    using Base = TdvxDBWrapper<TDBGrid>;
    switch (m.Msg) {
        case WM_NCCALCSIZE:  // a one-pixel border round the cells
            Base::Dispatch(m);
            InflateRect(&reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0], -1, -1);
            return;
        case WM_ERASEBKGND:  // the cells cover everything: no erasing
            m.Result = 1;
            return;
        case WM_PAINT:
            Base::Dispatch(m);
            if (HandleAllocated()) DrawControlBorder(this, borderColor_, Color(), true);
            return;
        case CM_ENABLEDCHANGED:
        case WM_SETTEXT:
        case WM_CUT:
        case WM_PASTE:
        case WM_CLEAR:
        case WM_UNDO:
        case WM_KEYDOWN:
        case WM_MOUSEWHEEL:
            Base::Dispatch(m);
            UpdateSkinnedBars();
            return;
        case WM_HSCROLL:
        case WM_VSCROLL:
            Base::Dispatch(m);
            if (!scrollingFromBar_) UpdateSkinnedBars();
            return;
        case WM_LBUTTONDOWN:
            dragging_ = true;
            Base::Dispatch(m);
            UpdateSkinnedBars();
            return;
        case WM_MOUSEMOVE:
            Base::Dispatch(m);
            if (dragging_) UpdateSkinnedBars();
            return;
        case WM_LBUTTONUP:
            dragging_ = false;
            Base::Dispatch(m);
            return;
        case WM_MOVE:
        case WM_SIZE:
            Base::Dispatch(m);
            UpdateScrollBarsPos();
            return;
        case CM_VISIBLECHANGED:
            Base::Dispatch(m);
            if (Visible()) {
                UpdateScrollBarsPos();
            } else {
                if (vBar_) vBar_->SetVisible(false);
                if (hBar_) hBar_->SetVisible(false);
            }
            return;
        case CM_BIDIMODECHANGED:
            Base::Dispatch(m);
            if (RightToLeftLayout() && hBar_ && HandleAllocated()) {
                SCROLLINFO si;
                si.fMask = SIF_ALL;
                if (GetScrollInfo(WindowHandle(), SB_HORZ, &si)) {
                    hBar_->SetMax(si.nMax - int(si.nPage) + 1);
                    hBar_->SetMin(si.nMin);
                    hBar_->SetPosition(hBar_->Max() - si.nPos);
                }
            }
            return;
        default: Base::Dispatch(m);
    }
}

}  // namespace skinctrl
