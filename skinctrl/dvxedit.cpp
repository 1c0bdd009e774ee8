// The skinned edits: the border band, the spin edit's value rules and key filter, and the
// number edit's mask and pending input.
#include "skinctrl/dvxedit.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

// ---------------------------------------------------------------- border

template <class Base>
void TdvxBorderedEdit<Base>::ApplyBorderColor() {
    TdvxUIStyle style;
    if (this->UsingTheme(style))
        borderColor_ = this->fileTheme_->GetColor(SKIN2_CONTROLBORDERCOLOR);
    else
        borderColor_ = GetInsideThemeColor(style, DVX_THEME_CONTROL_BORDER_COLOR);
}

template <class Base>
void TdvxBorderedEdit<Base>::DrawBorder() {
    DrawControlBorder(this, borderColor_, this->Color(), true);
}

template class TdvxBorderedEdit<TCustomEdit>;
template class TdvxBorderedEdit<TCustomMaskEdit>;
template class TdvxBorderedEdit<TCustomMemo>;

// ---------------------------------------------------------------- spin buttons

TdvxSpinButtons::TdvxSpinButtons(TComponent* owner) : TdvxControl(owner) {
    controlStyle_ = (controlStyle_ & ~(csAcceptsControls | csSetCaption)) | csFramed | csOpaque;
    up_ = CreateButton(dvxUp);
    down_ = CreateButton(dvxDown);
    SetBounds(Left(), Top(), 20, 25);
}

TdvxArrowButton* TdvxSpinButtons::CreateButton(TdvxArrowButtonType arrow) {
    auto* b = new TdvxArrowButton(this);
    b->SetArrow(arrow);
    b->SetTabStop(false);
    b->OnClick = [this](TObject* sender) { BtnClick(sender); };
    b->OnMouseContinuouslyDown = [this](TObject* sender) { BtnClick(sender); };
    b->SetMouseContinuouslyDownInterval(400);
    b->SetVisible(true);
    b->SetEnabled(true);
    b->SetParent(this);
    return b;
}

void TdvxSpinButtons::BtnClick(TObject* sender) {
    if (sender == up_) {
        if (OnUpClick) OnUpClick(this);
    } else if (OnDownClick) {
        OnDownClick(this);
    }
}

void TdvxSpinButtons::AdjustSize(int& width, int& height) {
    if (!up_ || !down_ || (ComponentState() & csLoading)) return;
    if (width < 15) width = 15;
    int upHeight = height / 2 + 1;
    up_->SetBounds(0, 0, width, upHeight);
    down_->SetBounds(0, upHeight - 1, width, height - upHeight + 1);
}

void TdvxSpinButtons::SetBounds(int left, int top, int width, int height) {
    AdjustSize(width, height);
    TdvxControl::SetBounds(left, top, width, height);
}

void TdvxSpinButtons::Loaded() {
    TdvxControl::Loaded();
    int w = Width(), h = Height();
    AdjustSize(w, h);
    if (w != Width() || h != Height()) SetBounds(Left(), Top(), w, h);
}

void TdvxSpinButtons::Dispatch(TMessage& m) {
    if (m.Msg == WM_SIZE) {
        TdvxControl::Dispatch(m);
        int w = Width(), h = Height();
        AdjustSize(w, h);
        if (w != Width() || h != Height()) SetBounds(Left(), Top(), w, h);
        m.Result = 0;
        return;
    }
    TdvxControl::Dispatch(m);
}

void TdvxSpinButtons::KeyDown(WORD& key, TShiftState shift) {
    if (key == VK_UP) up_->Click();
    if (key == VK_DOWN) down_->Click();
    TdvxControl::KeyDown(key, shift);
}

void TdvxSpinButtons::UIStyleChanged() {
    for (TdvxArrowButton* b : {up_, down_}) {
        if (!b) continue;
        b->SetUIStyle(uiStyle_);
        b->SetFileTheme(fileTheme_);
    }
}

// ---------------------------------------------------------------- spin edit

TdvxSpinEdit::TdvxSpinEdit(TComponent* owner) : TdvxEdit(owner) {
    buttons_ = new TdvxSpinButtons(nullptr);
    buttons_->SetBounds(0, 0, 15, 20);
    buttons_->SetVisible(true);
    buttons_->SetParent(this);
    buttons_->OnUpClick = [this](TObject* sender) { UpClick(sender); };
    buttons_->OnDownClick = [this](TObject* sender) { DownClick(sender); };
    buttons_->SetUIStyle(uiStyle_);
    SetText("0");
}

TdvxSpinEdit::~TdvxSpinEdit() {
    delete buttons_;
    buttons_ = nullptr;
}

void TdvxSpinEdit::CreateParams(TCreateParams& params) {
    TdvxEdit::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
}

void TdvxSpinEdit::CreateWnd() {
    TdvxEdit::CreateWnd();
    SetEditRect();
}

void TdvxSpinEdit::SetEditRect() {
    if (!HandleAllocated() || !buttons_) return;
    TRect c = ClientRect();
    RECT r{0, 0, c.Width() - buttons_->Width() - 2, c.Height() + 1};
    Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TdvxSpinEdit::UIStyleChanged() {
    TdvxEdit::UIStyleChanged();
    if (!buttons_) return;
    buttons_->SetUIStyle(uiStyle_);
    buttons_->SetFileTheme(fileTheme_);
}

int TdvxSpinEdit::GetValue() const {
    int value = 0;
    return TryStrToInt(Text(), value) ? value : minValue_;
}

int TdvxSpinEdit::CheckValue(int value) const {
    if (maxValue_ == minValue_) return value;
    if (value < minValue_) return minValue_;
    if (value > maxValue_) return maxValue_;
    return value;
}

void TdvxSpinEdit::SetValue(int value) { SetText(IntToStr(CheckValue(value))); }

void TdvxSpinEdit::Step(int direction) {
    if (ReadOnly()) {
        MessageBeep(0);
        return;
    }
    // In 64 bits and saturated: stepping at the int limits stays there.
    std::int64_t next = std::int64_t(GetValue()) + std::int64_t(direction) * std::int64_t(increment_);
    SetValue(int(std::clamp<std::int64_t>(next, INT_MIN, INT_MAX)));
}

void TdvxSpinEdit::UpClick(TObject*) { Step(1); }
void TdvxSpinEdit::DownClick(TObject*) { Step(-1); }

bool TdvxSpinEdit::IsValidChar(char key) const {
    auto k = static_cast<unsigned char>(key);
    bool valid = key == '-' || (key >= '0' && key <= '9') || (k < 32 && k != 13);
    if (!editorEnabled_ && valid && (k >= 32 || k == 8 || key == '.')) valid = false;
    return valid;
}

void TdvxSpinEdit::KeyPress(char& key) {
    if (!IsValidChar(key)) {
        key = 0;
        MessageBeep(0);
    }
    if (key != 0) TdvxEdit::KeyPress(key);
}

void TdvxSpinEdit::KeyDown(WORD& key, TShiftState shift) {
    if (key == VK_UP)
        UpClick(this);
    else if (key == VK_DOWN)
        DownClick(this);
    TdvxEdit::KeyDown(key, shift);
}

void TdvxSpinEdit::Dispatch(TMessage& m) {
    switch (m.Msg) {
        case WM_CHAR:
            // Characters beyond ASCII never reach the key filter: none of them is valid.
            if (m.WParam >= 0x80) {
                MessageBeep(0);
                m.Result = 0;
                return;
            }
            break;
        case WM_CUT:
        case WM_PASTE:
            if (!editorEnabled_ || ReadOnly()) {
                m.Result = 0;
                return;
            }
            break;
        case CM_EXIT:
            TdvxEdit::Dispatch(m);
            if (CheckValue(GetValue()) != GetValue()) SetValue(GetValue());
            return;
        case WM_SIZE:
            TdvxEdit::Dispatch(m);
            if (Height() < 0) SetHeight(0);
            if (buttons_) buttons_->SetBounds(Width() - buttons_->Width() - 4, 0, buttons_->Width(), Height() - 4);
            SetEditRect();
            return;
        default: break;
    }
    TdvxEdit::Dispatch(m);
}

// ---------------------------------------------------------------- number edit

TdvxNumberEdit::TdvxNumberEdit(TComponent* owner) : TdvxEdit(owner) {
    SetAlignment(taRightJustify);
    lastGood_ = Text();
}

void TdvxNumberEdit::SetValue(double value) {
    value_ = value;
    SetText(FormatFloat(mask_, value));
}

bool TdvxNumberEdit::Pending(const std::string& text) {
    const std::string point(1, DecimalSeparator);
    return text.empty() || text == "-" || text == point || text == "-" + point;
}

bool TdvxNumberEdit::Read(const std::string& text, double& value) {
    std::string plain;
    for (char c : text)
        if (c != ThousandSeparator) plain += c;
    return TryStrToFloat(plain, value);
}

void TdvxNumberEdit::Change() {
    if (restoring_) return;
    std::string text = Text();
    if (!Pending(text)) {
        double v = 0;
        if (!Read(text, v)) {
            // Not a number: the last good text comes back, and nothing else happens.
            restoring_ = true;
            SetText(lastGood_);
            restoring_ = false;
            return;
        }
        value_ = v;
    }
    lastGood_ = text;
    TdvxEdit::Change();
}

void TdvxNumberEdit::SelectSigns() {
    if (autoSelectSigns_ <= 0 || !AutoSelect()) return;
    int len = GetTextLen();
    int from = std::max(0, len - autoSelectSigns_);
    SetSelStart(from);
    SetSelLength(len - from);
}

void TdvxNumberEdit::DoEnter() {
    TdvxEdit::DoEnter();
    SelectSigns();
}

void TdvxNumberEdit::Click() {
    TdvxEdit::Click();
    SelectSigns();
}

void TdvxNumberEdit::DoExit() {
    TdvxEdit::DoExit();
    std::string text = Text();
    double v = 0;
    if (Pending(text))
        v = 0;
    else if (!Read(text, v))
        v = value_;
    SetValue(v);
}

void TdvxNumberEdit::KeyPress(char& key) {
    TdvxEdit::KeyPress(key);
    if (key == 0) return;
    std::string text = Text();
    bool ok = (key >= '0' && key <= '9') || key == 8 ||
              (mask_.find('.') != std::string::npos && key == DecimalSeparator &&
               text.find(DecimalSeparator) == std::string::npos) ||
              (mask_.find('-') != std::string::npos && SelStart() == 0 && key == '-' &&
               text.find('-') == std::string::npos);
    if (!ok) {
        MessageBeep(0);
        key = 0;
    }
}

void TdvxNumberEdit::Dispatch(TMessage& m) {
    if (m.Msg == WM_CHAR && m.WParam >= 0x80) {
        MessageBeep(0);
        m.Result = 0;
        return;
    }
    TdvxEdit::Dispatch(m);
}

}  // namespace skinctrl
