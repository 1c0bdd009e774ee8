// The skinned list boxes: border, attached bar, and the owner drawing of TdvxListBox.
#include "skinctrl/dvxlistbox.h"

#include <algorithm>

#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxmemo.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

// ---------------------------------------------------------------- shared

template <class Base>
TdvxBarredList<Base>::TdvxBarredList(TComponent* owner) : TdvxControl<Base>(owner) {
    this->controlStyle_ |= csOpaque;
    UIStyleChanged();
}

template <class Base>
TdvxBarredList<Base>::~TdvxBarredList() {
    if (bar_) {
        bar_->OnChange() = nullptr;
        bar_->RemoveFreeNotification(this);
    }
}

template <class Base>
void TdvxBarredList<Base>::UIStyleChanged() {
    TdvxUIStyle style;
    bool themed = this->UsingTheme(style);
    borderColor_ = themed ? this->fileTheme_->GetColor(SKIN2_CONTROLBORDERCOLOR)
                          : GetInsideThemeColor(style, DVX_THEME_CONTROL_BORDER_COLOR);
    if (bar_) {
        bar_->SetFileTheme(this->fileTheme_);
        bar_->SetUIStyle(themed ? this->uiStyle_ : style);
    }
}

template <class Base>
void TdvxBarredList<Base>::SetVScrollBar(TdvxScrollBar* value) {
    if (bar_ == value) return;
    if (TdvxScrollBar* old = bar_) {
        bar_ = nullptr;
        old->OnChange() = nullptr;
        old->SetLineButton(0);
        old->SetMax(100);
        old->SetEnabled(true);
        old->RemoveFreeNotification(this);
    }
    bar_ = value;
    if (!value) return;
    value->FreeNotification(this);
    value->SetOrientation(dvxVertical);
    value->OnChange() = [this](TObject*) { BarMoved(); };
    value->BringToFront();
    UpdateScrollBarsPos();
}

template <class Base>
void TdvxBarredList<Base>::Notification(TComponent* component, TOperation operation) {
    TdvxControl<Base>::Notification(component, operation);
    if (operation == opRemove && component == bar_) bar_ = nullptr;
}

template <class Base>
void TdvxBarredList<Base>::UpdateScrollBarsPos() {
    if (!bar_) return;
    int left;
    if (this->Width() < bar_->Width())
        left = this->Left();
    else if (BarsOnTheLeft(this))
        left = this->Left() + 2;
    else
        left = this->Left() + this->Width() - bar_->Width() - 2;
    bar_->SetBounds(left, this->Top() + 1, bar_->Width(), this->Height() - 2);
    UpdateScrollBars();
}

template <class Base>
void TdvxBarredList<Base>::CreateParams(TCreateParams& params) {
    TdvxControl<Base>::CreateParams(params);
    PlaceNativeBarUnderAttached(this, params);
}

template <class Base>
void TdvxBarredList<Base>::UpdateScrollBars() {
    if (!bar_) return;
    updatingBars_ = true;
    try {
        HWND h = this->HandleAllocated() ? this->WindowHandle() : nullptr;
        CopyNativeScrollBar(h, true, bar_, this->Enabled());
        // Shown again whenever the native bar can be used; a bar disabled with its list
        // keeps its visibility.
        if (bar_->Enabled()) bar_->SetVisible(true);
        else if (this->Enabled()) bar_->SetVisible(false);
    } catch (...) {
        updatingBars_ = false;
        throw;
    }
    updatingBars_ = false;
}

template <class Base>
void TdvxBarredList<Base>::BarMoved() {
    if (updatingBars_ || !bar_) return;
    ScrollToBarPosition(this, true, bar_->Position());
    AfterBarScroll();
}

template <class Base>
void TdvxBarredList<Base>::ItemsChanged() {
    TdvxControl<Base>::ItemsChanged();
    UpdateScrollBars();
}

template <class Base>
void TdvxBarredList<Base>::Loaded() {
    TdvxControl<Base>::Loaded();
    UpdateScrollBarsPos();
}

template <class Base>
void TdvxBarredList<Base>::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_PAINT:
        case WM_ERASEBKGND:
        case WM_NCPAINT:
            TdvxControl<Base>::Dispatch(m);
            if (this->HandleAllocated()) DrawControlBorder(this, borderColor_, this->Color(), true);
            return;
        case CM_ENABLEDCHANGED:
        case WM_CREATE:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_KEYDOWN:
        case WM_MOUSEWHEEL:
            TdvxControl<Base>::Dispatch(m);
            UpdateScrollBars();
            return;
        case WM_LBUTTONDOWN:
            TdvxControl<Base>::Dispatch(m);
            dragging_ = true;
            UpdateScrollBars();
            return;
        case WM_LBUTTONUP:
            TdvxControl<Base>::Dispatch(m);
            dragging_ = false;
            return;
        case WM_MOUSEMOVE:
            TdvxControl<Base>::Dispatch(m);
            if (dragging_) UpdateScrollBars();
            return;
        case WM_MOVE:
        case WM_SIZE:
        case CM_BIDIMODECHANGED:
            TdvxControl<Base>::Dispatch(m);
            UpdateScrollBarsPos();
            return;
        case CM_VISIBLECHANGED:
            TdvxControl<Base>::Dispatch(m);
            if (this->Visible())
                UpdateScrollBarsPos();
            else if (bar_)
                bar_->SetVisible(false);
            return;
        default: TdvxControl<Base>::Dispatch(m); return;
    }
}

template class TdvxBarredList<TCustomListBox>;
template class TdvxBarredList<TDirectoryListBox>;
template class TdvxBarredList<TFileListBox>;

// ---------------------------------------------------------------- TdvxListBox

TdvxListBox::TdvxListBox(TComponent* owner) : TdvxBarredList(owner) { SetStyle(lbOwnerDrawFixed); }

void TdvxListBox::SetColorField(TColor& field, TColor value) {
    if (field == value) return;
    field = value;
    Invalidate();
}

void TdvxListBox::SetSelectedTextColor(TColor value) { SetColorField(selectedTextColor_, value); }
void TdvxListBox::SetSelectedColor(TColor value) { SetColorField(selectedColor_, value); }
void TdvxListBox::SetDisabledTextColor(TColor value) { SetColorField(disabledTextColor_, value); }

void TdvxListBox::SetAlignment(TAlignment value) {
    if (alignment_ == value) return;
    alignment_ = value;
    Invalidate();
}

void TdvxListBox::SetShowFocusRect(bool value) {
    if (showFocusRect_ == value) return;
    showFocusRect_ = value;
    if (Focused()) Invalidate();
}

void TdvxListBox::Paint() {
    // Each row as the owner-draw message would hand it over: the list's font, the selected
    // colours, the disabled text colour over all; no focus rectangle but the list's own.
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(client);
    bool focused = handle_ && GetFocus() == handle_;
    int count = Count();
    if (count == 0 && focused) {
        TRect r(0, 0, client.right, ItemHeight());
        RECT fr = r;
        DrawFocusRect(canvas->Handle(), &fr);
        return;
    }
    for (int i = topIndex_; i < count; ++i) {
        TRect r = ItemRect(i);
        if (r.top >= client.bottom) break;
        bool sel = multiSelect_ ? bool(selected_[std::size_t(i)]) : i == itemIndex_;
        TOwnerDrawState state = (sel ? odSelected : 0u) | (focused && i == itemIndex_ ? odFocused : 0u) |
                                (Enabled() ? 0u : odDisabled);
        canvas->Font()->Assign(Font());
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(sel ? selectedColor_ : Color());
        if (sel) canvas->Font()->SetColor(selectedTextColor_);
        if (!Enabled() || (state & (odDisabled | odGrayed))) canvas->Font()->SetColor(disabledTextColor_);
        DrawItem(i, r, state);
    }
}

void TdvxListBox::DrawItem(int index, TRect rect, TOwnerDrawState state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    DefaultDrawItem(index, rect, state);
    if (showFocusRect_ && (state & odFocused)) {
        RECT fr = rect;
        DrawFocusRect(Canvas()->Handle(), &fr);
    }
}

void TdvxListBox::DefaultDrawItem(int index, TRect rect, TOwnerDrawState) {
    TCanvas* canvas = Canvas();
    canvas->FillRect(rect);
    if (index < 0 || index >= Count()) return;
    bool rightToLeft = (BiDiMode() == bdRightToLeft || BiDiMode() == bdRightToLeftNoAlign) && SysLocale.MiddleEast;
    TAlignment align = alignment_;
    if (rightToLeft && align != taCenter) align = align == taLeftJustify ? taRightJustify : taLeftJustify;
    UINT flags = DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER |
                 (align == taLeftJustify ? DT_LEFT : align == taRightJustify ? DT_RIGHT : DT_CENTER);
    RECT r = rect;
    // The indent stays on the reading-start side.
    if (rightToLeft)
        r.right -= 2;
    else
        r.left += 2;
    canvas->Brush()->SetStyle(bsClear);
    DrawText(TextDC(canvas), ItemText(index), &r, flags);
    canvas->Brush()->SetStyle(bsSolid);
}

void TdvxListBox::MeasureItem(int index, int& height) {
    if (!OnMeasureItem && index >= 0 && index < Count()) {
        height = MeasureString(ItemText(index), ClientWidth());
        return;
    }
    TdvxBarredList::MeasureItem(index, height);
}

int TdvxListBox::MeasureString(const std::string& text, int width) {
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    if (width <= 0) return canvas->TextWidth(text);
    RECT r{0, 0, width - 2, 0};
    DrawText(TextDC(canvas), text, &r, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    return std::min(255, int(r.bottom - r.top));
}

}  // namespace skinctrl
