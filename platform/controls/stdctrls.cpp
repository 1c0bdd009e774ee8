// Labels.
#include "platform/controls/stdctrls.h"

#include <cctype>

#include "platform/controls/forms.h"

namespace platform {

bool IsAccel(WORD key, const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return std::toupper(static_cast<unsigned char>(caption[i + 1])) == std::toupper(int(key & 0xFF));
    }
    return false;
}

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
    controlStyle_ |= csOpaque | csReplicatable;
    width_ = 65;
    height_ = 17;
    parentColor_ = true;
}

void TCustomLabel::SetAlignment(TAlignment value) {
    if (alignment_ == value) return;
    alignment_ = value;
    Refreshed();
}

void TCustomLabel::SetLayout(TTextLayout value) {
    if (layout_ == value) return;
    layout_ = value;
    Refreshed();
}

void TCustomLabel::SetAutoSize(bool value) {
    if (autoSize_ == value) return;
    autoSize_ = value;
    AdjustBounds();
}

void TCustomLabel::SetTransparent(bool value) {
    if (transparent_ == value) return;
    transparent_ = value;
    if (value)
        controlStyle_ &= ~csOpaque;
    else
        controlStyle_ |= csOpaque;
    Refreshed();
}

void TCustomLabel::SetWordWrap(bool value) {
    if (wordWrap_ == value) return;
    wordWrap_ = value;
    AdjustBounds();
    Refreshed();
}

void TCustomLabel::SetShowAccelChar(bool value) {
    if (showAccelChar_ == value) return;
    showAccelChar_ = value;
    Refreshed();
}

void TCustomLabel::SetFocusControl(TWinControl* value) {
    if (focusControl_ == value) return;
    if (focusControl_) focusControl_->RemoveFreeNotification(this);
    focusControl_ = value;
    if (value) value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
    TGraphicControl::Notification(component, operation);
}

void TCustomLabel::DoDrawText(TRect& rect, UINT flags) {
    std::string text = Caption();
    if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
    if (!showAccelChar_) flags |= DT_NOPREFIX;
    TCanvas* canvas = Canvas();
    canvas->SetFont(Font());
    if (!Enabled() && !(flags & DT_CALCRECT)) {
        // Disabled text: a light copy one pixel down and right, the shadow colour on top.
        TRect shifted = rect;
        OffsetRect(&shifted, 1, 1);
        canvas->Font()->SetColor(clBtnHighlight);
        DrawText(TextDC(canvas), text, &shifted, flags);
        canvas->Font()->SetColor(clBtnShadow);
    }
    DrawText(TextDC(canvas), text, &rect, flags);
}

void TCustomLabel::Paint() {
    TCanvas* canvas = Canvas();
    TRect rect = ClientRect();
    if (!transparent_) {
        canvas->Brush()->SetColor(Color());
        canvas->Brush()->SetStyle(bsSolid);
        canvas->FillRect(rect);
    }
    canvas->Brush()->SetStyle(bsClear);
    static const UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    UINT flags = DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0) | kAlign[alignment_];
    if (layout_ != tlTop) {
        TRect calc = rect;
        DoDrawText(calc, flags | DT_CALCRECT);
        int offset = rect.Height() - calc.Height();
        if (layout_ == tlCenter) offset /= 2;
        OffsetRect(&rect, 0, offset);
    }
    DoDrawText(rect, flags);
}

void TCustomLabel::AdjustBounds() {
    if (!autoSize_ || (ComponentState() & csLoading)) return;
    HDC dc = CreateCompatibleDC(nullptr);
    TCanvas* canvas = Canvas();
    canvas->SetHandle(dc);
    TRect rect = ClientRect();
    if (!wordWrap_) rect.right = rect.left + (1 << 16);
    DoDrawText(rect, DT_EXPANDTABS | DT_CALCRECT | (wordWrap_ ? DT_WORDBREAK : 0));
    canvas->SetHandle(nullptr);
    DeleteDC(dc);
    int x = left_;
    if (alignment_ == taRightJustify) x += width_ - rect.Width();
    SetBounds(x, top_, rect.Width(), rect.Height());
}

void TCustomLabel::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_TEXTCHANGED:
            Invalidate();
            AdjustBounds();
            return;
        case CM_FONTCHANGED:
            TGraphicControl::Dispatch(m);
            AdjustBounds();
            return;
        case CM_DIALOGCHAR:
            if (focusControl_ && Enabled() && showAccelChar_ && IsAccel(WORD(m.WParam), Caption()) &&
                focusControl_->CanFocus()) {
                focusControl_->SetFocus();
                m.Result = 1;
            }
            return;
        default: TGraphicControl::Dispatch(m); return;
    }
}

}  // namespace platform
