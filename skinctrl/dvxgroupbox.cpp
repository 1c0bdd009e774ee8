#include "skinctrl/dvxgroupbox.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

// ---------------------------------------------------------------- TdvxCustomGroupBox

TdvxCustomGroupBox::TdvxCustomGroupBox(TComponent* owner) : TdvxCustomPanel(owner) {
    SetText(" ");
    SetBounds(Left(), Top(), 185, 105);
    SetParentColor(true);
    transparent_ = false;
    UpdateUIStyle(GetUIStyle(), GetFileTheme());
}

void TdvxCustomGroupBox::SetBorderColor(TColor value) {
    borderColor_ = value;
    Refreshed();
}

void TdvxCustomGroupBox::SetCaption(const std::string& value) {
    caption_ = value;
    Refreshed();
}

void TdvxCustomGroupBox::UpdateUIStyle(TdvxUIStyle style, TdvxFileTheme* fileTheme) {
    ContainerApplyUIStyle(this, style, fileTheme);
    TdvxUIStyle resolved;
    if (UsingFileTheme(fileTheme, style, resolved)) {
        borderColor_ = fileTheme->GetColor(SKIN2_CONTROLBORDERCOLOR);
        Font()->SetColor(fileTheme->GetColor(SKIN2_CONTROLFONTCOLOR));
    } else {
        borderColor_ = GetInsideThemeColor(resolved, DVX_THEME_CONTROL_BORDER_COLOR);
        Font()->SetColor(GetInsideThemeColor(resolved, DVX_THEME_CONTROL_FONT_COLOR));
    }
}

void TdvxCustomGroupBox::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_FONTCHANGED:
            TdvxCustomPanel::Dispatch(m);
            Realign();
            Refreshed();
            return;
        case CM_TEXTCHANGED:
            Refreshed();
            return;
        default:
            TdvxCustomPanel::Dispatch(m);
    }
}

void TdvxCustomGroupBox::AlignControls(TControl* control, TRect& /*rect*/) {
    TRect r = ClientRect();
    r.left += 3;
    r.right -= 3;
    r.bottom -= 3;
    r.top += std::abs(Font()->Height()) + 5;
    TdvxCustomPanel::AlignControls(control, r);
}

TRect TdvxCustomGroupBox::GetClient() const {
    TRect c = ClientRect();
    return TRect(c.left + 3, c.top + std::abs(Font()->Height()), c.right - 2, c.bottom - 2);
}

void TdvxCustomGroupBox::PaintBuffer(TCanvas* canvas) {
    TRect c(0, 0, ClientWidth(), ClientHeight());
    if (!transparent_) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(c);
    }
    canvas->SetFont(Font());
    int h = std::abs(Font()->Height());
    int y = c.top + h / 2 + 1;
    int tw = caption_.empty() ? 0 : canvas->TextWidth(caption_);
    canvas->Pen()->SetColor(borderColor_);
    bool rtl = BiDiMode() == bdRightToLeft && SysLocale.MiddleEast;
    if (!rtl) {
        int end = caption_.empty() ? c.left : c.left + tw + 6;
        canvas->Polyline({TPoint(c.left + 2, y), TPoint(c.left, y), TPoint(c.left, c.bottom - 1),
                          TPoint(c.right - 1, c.bottom - 1), TPoint(c.right - 1, y), TPoint(end, y)});
    } else {
        int end = caption_.empty() ? c.right - 1 : c.right - tw - 7;
        canvas->Polyline({TPoint(c.right - 3, y), TPoint(c.right - 1, y), TPoint(c.right - 1, c.bottom - 1),
                          TPoint(c.left + 1, c.bottom - 1), TPoint(c.left + 1, y), TPoint(end, y)});
    }
    if (caption_.empty()) return;
    canvas->Brush()->SetStyle(bsClear);
    if (!Enabled()) canvas->Font()->SetColor(TColor(RGB(128, 128, 128)));
    canvas->TextOut(rtl ? Width() - tw - 6 : 5, 0, caption_);
}

// ---------------------------------------------------------------- TdvxCheckGroup

TdvxCheckGroup::TdvxCheckGroup(TComponent* owner) : TdvxCustomGroupBox(owner), items_(std::make_unique<TStringList>()) {
    items_->OnChange = [this](TObject*) { ItemChanged(); };
    SetParentColor(true);
    SetTabStop(true);
    TControl::OnClick = [this](TObject*) { DoClick(); };
}

TdvxCheckGroup::~TdvxCheckGroup() {
    items_->OnChange = nullptr;
    for (TdvxCheckBox* b : retired_) delete b;
}

void TdvxCheckGroup::FreeRetired() {
    if (clickDepth_ > 0) return;
    for (TdvxCheckBox* b : retired_) delete b;
    retired_.clear();
}

TdvxCheckBox* TdvxCheckGroup::CreateAButton() { return new TdvxCheckGroupButton(this, this); }

bool TdvxCheckGroup::UpdateButtons() {
    FreeRetired();
    long long d = (long long)items_->Count() - (long long)buttons_.size();
    for (; d < 0; ++d) {
        TdvxCheckBox* b = buttons_.back();
        buttons_.pop_back();
        b->SetParent(nullptr);
        b->OnClick = nullptr;
        retired_.push_back(b);  // it may be the button whose click is running now
    }
    bool created = d > 0;
    for (; d > 0; --d) {
        TdvxCheckBox* b = CreateAButton();
        b->SetParent(this);
        b->SetFont(Font());
        b->SetAutoSize2(true);
        b->SetFileTheme(GetFileTheme());
        b->SetUIStyle(GetUIStyle());
        b->SetTransparent(transparent_);
        b->SetParentColor(true);
        b->SetTabStop(false);
        b->OnClick = [this](TObject*) { DoClick(); };
        b->SetCursor(cursor_);
        buttons_.push_back(b);
    }
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->SetCaption(items_->Strings(int(i)));
        buttons_[i]->SetAutoSize2(true);
    }
    return created;
}

void TdvxCheckGroup::ItemChanged() {
    bool created = UpdateButtons();
    ArrangeButtons();
    if (created) {
        // Every button takes the current transparency anew.
        bool t = transparent_;
        SetTransparent(!t);
        SetTransparent(t);
    }
}

void TdvxCheckGroup::ArrangeButtons() {
    if (buttons_.empty() || columns_ < 1) return;
    TRect r = GetClient();
    r.top += topMargin_;
    long long H = (long long)r.bottom - r.top;
    long long count = (long long)buttons_.size();
    long long rows = (count + columns_ - 1) / columns_;
    long long columnWidth = ((long long)Width() - 10) / columns_;
    long long rowHeight = H / rows;
    long long firstTop = (H % rows) / 2 + r.top;
    for (long long i = 0; i < count; ++i) {
        TdvxCheckBox* b = buttons_[std::size_t(i)];
        long long column = i / rows, row = i % rows;
        long long top = row * rowHeight + firstTop;
        long long left = BiDiMode() == bdRightToLeft ? (long long)Width() - column * columnWidth - b->Width() - 8
                                                     : column * columnWidth + 8;
        auto clampInt = [](long long v) { return int(std::clamp<long long>(v, INT_MIN / 2, INT_MAX / 2)); };
        b->SetBounds(clampInt(left), clampInt(top), b->Width(), b->Height());
    }
}

void TdvxCheckGroup::SetColumns(int value) {
    if (value < 1) return;  // 0 columns would leave the buttons nowhere to go
    columns_ = value;
    ArrangeButtons();
}

void TdvxCheckGroup::SetTopMargin(int value) {
    if (value < 0) return;
    topMargin_ = value;
    ArrangeButtons();
}

void TdvxCheckGroup::Resize() {
    TdvxCustomGroupBox::Resize();
    ArrangeButtons();
}

void TdvxCheckGroup::SetTransparent(bool value) {
    TdvxCustomGroupBox::SetTransparent(value);
    for (TdvxCheckBox* b : buttons_) b->SetTransparent(value);
}

void TdvxCheckGroup::SetCursor2(TCursor value) {
    for (TdvxCheckBox* b : buttons_) b->SetCursor(value);
    cursor_ = value;
}

bool TdvxCheckGroup::Checked(int index) const {
    if (index < 0 || index >= ButtonCount()) return false;
    return buttons_[std::size_t(index)]->Checked();
}

void TdvxCheckGroup::SetChecked(int index, bool value) {
    if (index < 0 || index >= ButtonCount()) return;
    buttons_[std::size_t(index)]->SetChecked(value);
}

bool TdvxCheckGroup::ItemEnabled(int index) const {
    if (index < 0 || index >= ButtonCount()) return false;
    return buttons_[std::size_t(index)]->Enabled();
}

void TdvxCheckGroup::SetItemEnabled(int index, bool value) {
    if (index < 0 || index >= ButtonCount()) return;
    buttons_[std::size_t(index)]->SetEnabled(value);
}

void TdvxCheckGroup::UpdateUIStyle(TdvxUIStyle style, TdvxFileTheme* fileTheme) {
    TdvxCustomGroupBox::UpdateUIStyle(style, fileTheme);
    for (TdvxCheckBox* b : buttons_) {
        b->SetFileTheme(fileTheme);
        b->SetUIStyle(style);
        b->SetColor(Color());
    }
}

void TdvxCheckGroup::DoClick() {
    ++clickDepth_;
    NewClick();
    if (!(ComponentState() & csLoading) && OnClick) OnClick(this);
    --clickDepth_;
}

void TdvxCheckGroup::FocusUpdate() {
    if (!buttons_.empty() && buttons_[0]->CanFocus()) buttons_[0]->SetFocus();
}

void TdvxCheckGroup::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case CM_FONTCHANGED:
            TdvxCustomGroupBox::Dispatch(m);
            for (TdvxCheckBox* b : buttons_) b->SetFont(Font());
            return;
        case WM_SETFOCUS:
            TdvxCustomGroupBox::Dispatch(m);
            FocusUpdate();
            return;
        default:
            TdvxCustomGroupBox::Dispatch(m);
    }
}

// ---------------------------------------------------------------- TdvxRadioGroup

TdvxCheckBox* TdvxRadioGroup::CreateAButton() { return new TdvxRadioGroupButton(this, this); }

int TdvxRadioGroup::ItemIndex() const {
    for (int i = 0; i < ButtonCount(); ++i)
        if (buttons_[std::size_t(i)]->Checked()) return i;
    return -1;
}

void TdvxRadioGroup::SetItemIndex(int value) {
    if (value > Items()->Count() - 1 || value < -1 || value >= ButtonCount()) return;
    if (value == -1) {
        for (TdvxCheckBox* b : buttons_) b->SetChecked(false);
        return;
    }
    buttons_[std::size_t(value)]->SetChecked(true);
}

void TdvxRadioGroup::FocusUpdate() {
    int i = ItemIndex();
    if (i >= 0 && i < Items()->Count() && buttons_[std::size_t(i)]->CanFocus()) buttons_[std::size_t(i)]->SetFocus();
}

}  // namespace skinctrl
