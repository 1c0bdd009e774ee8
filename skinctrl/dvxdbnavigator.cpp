#include "skinctrl/dvxdbnavigator.h"

#include <algorithm>

#include "platform/controls/forms.h"
#include "platform/graphics/resources.h"
#include "platform/windows/window.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"
#include "skinctrl/dvxtheme.h"

namespace skinctrl {

using namespace platform;

namespace {

const char* const kDefaultHints[kNavButtonCount] = {"First record", "Prior record", "Next record", "Last record",
                                                    "Insert record", "Delete record", "Edit record", "Post edit",
                                                    "Cancel edit",  "Refresh data"};

}  // namespace

// ---------------------------------------------------------------- TdvxNavButton

TdvxNavButton::TdvxNavButton(TComponent* owner, TdvxDBNavigator* navigator)
    : TdvxButton(owner), navigator_(navigator) {
    SetTabStop(false);
}

TdvxNavButton::~TdvxNavButton() = default;

void TdvxNavButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TdvxButton::MouseDown(button, shift, x, y);
    if (autoRepeat_ && button == mbLeft) {
        if (!repeatTimer_) {
            repeatTimer_ = std::make_unique<TTimer>(nullptr);
            repeatTimer_->SetOnTimer([this](TObject*) { TimerExpired(); });
        }
        repeatTimer_->SetEnabled(false);
        repeatTimer_->SetInterval(400);
        repeatTimer_->SetEnabled(true);
    }
}

void TdvxNavButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TdvxButton::MouseUp(button, shift, x, y);
    if (repeatTimer_) repeatTimer_->SetEnabled(false);
}

void TdvxNavButton::TimerExpired() {
    repeatTimer_->SetInterval(100);
    if (IsMouseDown() && MouseCapture()) {
        try {
            navigator_->ClickHandler(this);
        } catch (...) {
            repeatTimer_->SetEnabled(false);
            throw;
        }
    }
}

void TdvxNavButton::PaintBuffer(TCanvas* canvas) {
    TdvxButton::PaintBuffer(canvas);
    if (navigator_->HandleAllocated() && GetFocus() == navigator_->WindowHandle() &&
        navigator_->FocusedButton() == index_) {
        TRect r(3, 3, Width() - 3, Height() - 3);
        if (IsMouseDown()) OffsetRect(&r, 1, 1);
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Font()->SetColor(clBlack);
        canvas->DrawFocusRect(r);
    }
}

// ---------------------------------------------------------------- TdvxNavDataLink

void TdvxNavDataLink::EditingChanged() {
    if (navigator_) navigator_->EditingChanged();
}

void TdvxNavDataLink::DataSetChanged() {
    if (navigator_) navigator_->DataChanged();
}

void TdvxNavDataLink::ActiveChanged() {
    if (navigator_) navigator_->ActiveChanged();
}

// ---------------------------------------------------------------- TdvxDBNavigator

TdvxDBNavigator::TdvxDBNavigator(TComponent* owner)
    : TdvxControl<TCustomPanel>(owner),
      dataLink_(std::make_unique<TdvxNavDataLink>(this)),
      customHints_(std::make_unique<TStringList>()) {
    SetControlStyle((ControlStyle() & ~(csAcceptsControls | csSetCaption)) | csOpaque);
    customHints_->OnChange = [this](TObject*) { HintsChanged(); };
    InitButtons();
    InitHints();
    SetBevelOuter(bvNone);
    SetBevelInner(bvNone);
    SetBounds(Left(), Top(), 250, 30);
    buttonWidth_ = 0;
    focusedButton_ = nbFirst;
    UIStyleChanged();
    ActiveChanged();  // no data source yet: every button disabled
}

TdvxDBNavigator::~TdvxDBNavigator() {
    customHints_->OnChange = nullptr;
    dataLink_.reset();
    // The buttons go while the navigator is whole (they call back into it).
    DestroyComponents();
}

void TdvxDBNavigator::InitButtons() {
    minButtonSize_ = TPoint(20, 18);
    EnsureStyleResources();
    TBitmap strip;
    try {
        strip.LoadFromResourceName(HInstance, "DBNAV_BUTTON");
    } catch (const Exception&) {
        // Buttons without glyphs still work.
    }
    int x = 0;
    for (int i = 0; i < kNavButtonCount; ++i) {
        auto* b = new TdvxNavButton(this, this);
        b->SetSpacing(-1);
        b->SetPicTransparent(true);  // the strip's key-coloured corners show the navigator
        b->SetIndex(TNavigateBtn(i));
        b->SetVisible((visibleButtons_ & (1u << i)) != 0);
        b->SetEnabled(true);
        b->SetBounds(x, 0, minButtonSize_.x, minButtonSize_.y);
        x += minButtonSize_.x;
        if (!strip.Empty()) {
            TBitmap glyph;
            SpitBitmap(&strip, &glyph, kNavButtonCount, i + 1);
            b->SetGlyph(&glyph);
        }
        b->OnClick = [this](TObject* sender) { ClickHandler(sender); };
        b->OnMouseDown = [this, b](TObject*, TMouseButton button, TShiftState, int, int) {
            if (button == mbLeft) BtnMouseDown(b);
        };
        b->SetParent(this);
        buttons_[std::size_t(i)] = b;
    }
    buttons_[nbPrior]->SetAutoRepeat(true);
    buttons_[nbNext]->SetAutoRepeat(true);
}

void TdvxDBNavigator::InitHints() {
    if (!defaultHints_) {
        defaultHints_ = std::make_unique<TStringList>();
        for (const char* h : kDefaultHints) defaultHints_->Add(h);
    }
    for (int i = 0; i < kNavButtonCount; ++i) buttons_[std::size_t(i)]->SetHint(defaultHints_->Get(i));
    for (int j = 0; j < customHints_->Count() && j <= 9; ++j)
        if (!customHints_->Get(j).empty()) buttons_[std::size_t(j)]->SetHint(customHints_->Get(j));
}

void TdvxDBNavigator::HintsChanged() { InitHints(); }

void TdvxDBNavigator::SetHints(TStrings* value) {
    if (value && defaultHints_ && value->Text() == defaultHints_->Text())
        customHints_->Clear();
    else if (value)
        customHints_->Assign(value);
    else
        customHints_->Clear();
}

TStrings* TdvxDBNavigator::GetHints() const {
    TComponentState s = ComponentState();
    if ((s & csDesigning) && !(s & (csReading | csWriting)) && customHints_->Count() == 0) return defaultHints_.get();
    return customHints_.get();
}

void TdvxDBNavigator::SetDataSource(TDataSource* value) {
    if (value == dataLink_->DataSource()) return;
    if (dataLink_->DataSource()) RemoveFreeNotification(dataLink_->DataSource());
    dataLink_->SetDataSource(value);
    if (!Loading()) ActiveChanged();
    if (value) FreeNotification(value);
}

void TdvxDBNavigator::Notification(TComponent* component, TOperation operation) {
    TdvxControl<TCustomPanel>::Notification(component, operation);
    if (operation == opRemove && dataLink_ && component == dataLink_->DataSource()) SetDataSource(nullptr);
}

void TdvxDBNavigator::Loaded() {
    TdvxControl<TCustomPanel>::Loaded();
    int w = Width(), h = Height();
    SetSize(w, h);
    if (w != Width() || h != Height()) TdvxControl<TCustomPanel>::SetBounds(Left(), Top(), w, h);
    InitHints();
    ActiveChanged();
}

void TdvxDBNavigator::UIStyleChanged() {
    for (TdvxNavButton* b : buttons_) {
        if (!b) continue;
        b->SetFileTheme(GetFileTheme());
        b->SetUIStyle(GetUIStyle());
    }
}

void TdvxDBNavigator::SetCursor(TCursor value) {
    cursor_ = value;
    TdvxControl<TCustomPanel>::SetCursor(value);
    for (TdvxNavButton* b : buttons_) b->SetCursor(value);
}

void TdvxDBNavigator::SetVisibleButtons(TButtonSet value) {
    visibleButtons_ = TButtonSet(value & kAllNavButtons);
    for (int i = 0; i < kNavButtonCount; ++i) buttons_[std::size_t(i)]->SetVisible((visibleButtons_ & (1u << i)) != 0);
    int w = Width(), h = Height();
    SetSize(w, h);
    if (w != Width() || h != Height()) TdvxControl<TCustomPanel>::SetBounds(Left(), Top(), w, h);
    Invalidate();
}

void TdvxDBNavigator::CalcMinSize(int& w, int& h) {
    if (Loading() || !buttons_[0]) return;
    int count = 0;
    for (TdvxNavButton* b : buttons_)
        if (b->Visible()) ++count;
    if (count == 0) count = 1;
    w = std::max(w, count * minButtonSize_.x);
    h = std::max(h, int(minButtonSize_.y));
    if (Align() == alNone) w = (w / count) * count;
}

void TdvxDBNavigator::SetSize(int& w, int& h) {
    if (Loading() || !buttons_[0]) return;
    CalcMinSize(w, h);
    int count = 0;
    for (TdvxNavButton* b : buttons_)
        if (b->Visible()) ++count;
    if (count == 0) count = 1;
    buttonWidth_ = w / count;
    int temp = count * buttonWidth_;
    if (Align() == alNone) w = temp;
    int remain = w - temp;
    int x = 0, t = count / 2;
    for (TdvxNavButton* b : buttons_) {
        if (b->Visible()) {
            int extra = 0;
            if (remain != 0) {
                t -= remain;
                if (t < 0) {
                    t += count;
                    extra = 1;
                }
            }
            b->SetBounds(x, 0, buttonWidth_ + extra, h);
            x += buttonWidth_ + extra;
        } else {
            b->SetBounds(Width() + 1, 0, buttonWidth_, h);
        }
    }
}

void TdvxDBNavigator::SetBounds(int left, int top, int width, int height) {
    if (!HandleAllocated()) SetSize(width, height);
    TdvxControl<TCustomPanel>::SetBounds(left, top, width, height);
}

void TdvxDBNavigator::ClickHandler(TObject* sender) {
    if (auto* b = dynamic_cast<TdvxNavButton*>(sender)) BtnClick(b->Index());
}

void TdvxDBNavigator::BtnClick(TNavigateBtn index) {
    bool designing = ComponentState() & csDesigning;
    TDataSource* src = DataSource();
    if (src && src->State() != dsInactive) {
        if (BeforeAction && !designing) BeforeAction(this, index);
        TDataSet* ds = src->DataSet();
        switch (index) {
            case nbFirst: ds->First(); break;
            case nbPrior: ds->Prior(); break;
            case nbNext: ds->Next(); break;
            case nbLast: ds->Last(); break;
            case nbInsert: ds->Insert(); break;
            case nbDelete:
                if (!confirmDelete_ ||
                    Application->MessageBox("Delete record?", "Confirm", MB_OKCANCEL | MB_ICONQUESTION) != IDCANCEL)
                    ds->Delete();
                break;
            case nbEdit: ds->Edit(); break;
            case nbPost: ds->Post(); break;
            case nbCancel: ds->Cancel(); break;
            case nbRefresh: ds->Refresh(); break;
        }
    }
    if (OnClick && !designing) OnClick(this, index);
}

void TdvxDBNavigator::DataChanged() {
    TDataSet* ds = dataLink_->DataSet();
    bool up = Enabled() && dataLink_->Active() && ds;
    bool bof = up && ds->Bof(), eof = up && ds->Eof();
    buttons_[nbFirst]->SetEnabled(up && !bof);
    buttons_[nbPrior]->SetEnabled(up && !bof);
    buttons_[nbNext]->SetEnabled(up && !eof);
    buttons_[nbLast]->SetEnabled(up && !eof);
    buttons_[nbDelete]->SetEnabled(up && ds->CanModify() && !(bof && eof));
}

void TdvxDBNavigator::EditingChanged() {
    TDataSet* ds = dataLink_->DataSet();
    bool m = Enabled() && dataLink_->Active() && ds && ds->CanModify();
    bool editing = dataLink_->Editing();
    buttons_[nbInsert]->SetEnabled(m);
    buttons_[nbEdit]->SetEnabled(m && !editing);
    buttons_[nbPost]->SetEnabled(m && editing);
    buttons_[nbCancel]->SetEnabled(m && editing);
    buttons_[nbRefresh]->SetEnabled(m);
}

void TdvxDBNavigator::ActiveChanged() {
    if (!buttons_[0]) return;
    if (Enabled() && dataLink_->Active()) {
        DataChanged();
        EditingChanged();
    } else {
        for (TdvxNavButton* b : buttons_) b->SetEnabled(false);
    }
}

void TdvxDBNavigator::BtnMouseDown(TdvxNavButton* button) {
    TNavigateBtn old = focusedButton_;
    focusedButton_ = button->Index();
    bool focused = HandleAllocated() && GetFocus() == WindowHandle();
    if (TabStop() && !focused && CanFocus()) {
        SetFocus();
    } else if (TabStop() && focused && old != focusedButton_) {
        buttons_[old]->Invalidate();
        buttons_[focusedButton_]->Invalidate();
    }
}

void TdvxDBNavigator::KeyDown(WORD& key, TShiftState) {
    TNavigateBtn old = focusedButton_;
    switch (key) {
        case VK_SPACE:
            if (buttons_[focusedButton_]->Enabled()) buttons_[focusedButton_]->Click();
            break;
        case VK_LEFT: {
            int n = focusedButton_;
            do {
                if (n > nbFirst) --n;
            } while (n != nbFirst && !buttons_[std::size_t(n)]->Visible());
            if (n != focusedButton_) {
                focusedButton_ = TNavigateBtn(n);
                buttons_[old]->Invalidate();
                buttons_[focusedButton_]->Invalidate();
            }
            break;
        }
        case VK_RIGHT: {
            if (focusedButton_ == nbRefresh) break;
            int n = focusedButton_;
            do {
                if (n < nbRefresh) ++n;
            } while (n != nbRefresh && !buttons_[std::size_t(n)]->Visible());
            if (n != focusedButton_ && buttons_[std::size_t(n)]->Visible()) {
                focusedButton_ = TNavigateBtn(n);
                buttons_[old]->Invalidate();
                buttons_[focusedButton_]->Invalidate();
            }
            break;
        }
        default: break;
    }
}

void TdvxDBNavigator::PaintBuffer(TCanvas* canvas) {
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
}

void TdvxDBNavigator::Dispatch(TMessage& m) {
    using Base = TdvxControl<TCustomPanel>;
    switch (m.Msg) {
        case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS; return;
        case WM_SIZE: {
            Base::Dispatch(m);
            int w = Width(), h = Height();
            SetSize(w, h);
            return;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Base::Dispatch(m);
            if (buttons_[0]) buttons_[focusedButton_]->Invalidate();
            return;
        case WM_WINDOWPOSCHANGING: {
            Base::Dispatch(m);
            auto* pos = reinterpret_cast<WINDOWPOS*>(m.LParam);
            if (pos && !(pos->flags & SWP_NOSIZE)) CalcMinSize(pos->cx, pos->cy);
            return;
        }
        case CM_ENABLEDCHANGED:
            Base::Dispatch(m);
            if (!Loading()) ActiveChanged();
            return;
        default: Base::Dispatch(m);
    }
}

}  // namespace skinctrl
