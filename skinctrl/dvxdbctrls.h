#pragma once
// The skinned data-aware controls: a check box and a radio group that show and edit one
// field of the current record through their own field link, and the skinned wrappers of
// the platform's data-aware edit, image and grid (a border in the style's colour, built-in
// styles or a file theme, and for the grid its colours and attached skinned scroll bars).
//
// Check box: the field's state is checked for a true boolean field, or a text matching one
// of the ";"-separated entries of ValueChecked (blanks trimmed, case ignored over the whole
// of Unicode); a null field, no field, or any other text shows unchecked. A click flips
// the box only when the link can edit; the new state is written (the first entry of
// ValueChecked or ValueUnchecked) when the record is updated.
//
// Radio group: each button stands for Values[i], or its caption when that is empty; the
// field's text checks the button whose value matches exactly (none: ItemIndex -1). A
// user's click runs CanModify (the link's Edit), the button's check, NewClick (the new
// Value, OnChange, the link marked modified) and the group's OnClick. A record move checks
// the matching button (the group's OnClick fires from that check) and then fires OnChange.
//
// Both write the value when the focus leaves them; a value the field refuses raises
// EDatabaseError and puts the focus back (the check box itself; the group's checked button,
// else its first, else the group).
#include <memory>
#include <string>

#include "platform/controls/dbctrls.h"
#include "platform/controls/dbgrids.h"
#include "platform/core/sysutils.h"
#include "platform/data/db.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxgroupbox.h"
#include "skinctrl/dvxmemo.h"
#include "skinctrl/dvxpublic.h"
#include "skinctrl/dvxscrollbar.h"

namespace skinctrl {

// Whether text equals one of the ";"-separated entries of list, trimmed, without regard to
// case (Unicode simple case folding). An empty list matches nothing.
bool ValueMatch(const std::string& list, const std::string& text);

class TdvxDBCheckBox : public TdvxCheckBox {
public:
    explicit TdvxDBCheckBox(platform::TComponent* owner);
    ~TdvxDBCheckBox() override;
    void Dispatch(platform::TMessage& message) override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;

    platform::TDataSource* DataSource() const { return dataLink_.DataSource(); }
    void SetDataSource(platform::TDataSource* value);
    const std::string& DataField() const { return dataLink_.FieldName(); }
    void SetDataField(const std::string& value) { dataLink_.SetFieldName(value); }
    bool ReadOnly() const { return dataLink_.ReadOnly(); }
    void SetReadOnly(bool value) { dataLink_.SetReadOnly(value); }
    platform::TField* Field() const { return dataLink_.Field(); }
    platform::TFieldDataLink* DataLink() { return &dataLink_; }
    const std::string& ValueChecked() const { return valueChecked_; }
    void SetValueCheck(const std::string& value);
    const std::string& ValueUnchecked() const { return valueUnchecked_; }
    void SetValueUncheck(const std::string& value);

    platform::TCheckBoxState GetFieldState() const;
    bool UseRightToLeftAlignment() const;
    bool ExecuteAction(platform::TObject* action) { return dataLink_.ExecuteAction(action); }
    bool UpdateAction(platform::TObject* action) { return dataLink_.UpdateAction(action); }

protected:
    void DoClick() override;
    void KeyPress(char& key) override;
    void DataChange();
    void UpdateData();

private:
    platform::TFieldDataLink dataLink_;
    std::string valueChecked_ = "True";
    std::string valueUnchecked_ = "False";
};

class TdvxDBRadioGroup : public TdvxRadioGroup {
public:
    explicit TdvxDBRadioGroup(platform::TComponent* owner);
    ~TdvxDBRadioGroup() override;
    void Dispatch(platform::TMessage& message) override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;

    platform::TDataSource* DataSource() const { return dataLink_.DataSource(); }
    void SetDataSource(platform::TDataSource* value);
    const std::string& DataField() const { return dataLink_.FieldName(); }
    void SetDataField(const std::string& value) { dataLink_.SetFieldName(value); }
    bool ReadOnly() const { return dataLink_.ReadOnly(); }
    void SetReadOnly(bool value) { dataLink_.SetReadOnly(value); }
    platform::TField* Field() const { return dataLink_.Field(); }
    platform::TFieldDataLink* DataLink() { return &dataLink_; }
    // Items and Values take a copy of the list, then show the field again.
    void SetItems(platform::TStrings* value);
    platform::TStringList* Values() const { return values_.get(); }
    void SetValues(platform::TStrings* value);
    const std::string& Value() const { return value_; }
    void SetValue(const std::string& value);
    std::string GetButtonValue(int index) const;
    bool CanModify() const override;
    bool ExecuteAction(platform::TObject* action) { return dataLink_.ExecuteAction(action); }
    bool UpdateAction(platform::TObject* action) { return dataLink_.UpdateAction(action); }

    platform::TNotifyEvent OnChange;

protected:
    void NewClick() override;
    void KeyPress(char& key) override;
    virtual void Change();
    void DataChange();
    void UpdateData();

private:
    mutable platform::TFieldDataLink dataLink_;
    std::unique_ptr<platform::TStringList> values_;
    std::string value_;
    bool settingValue_ = false;
};

// ---------------------------------------------------------------- wrappers

// What the wrappers share: a border colour set from the style, repainted when it changes.
template <class Base>
class TdvxDBWrapper : public TdvxControl<Base> {
public:
    explicit TdvxDBWrapper(platform::TComponent* owner) : TdvxControl<Base>(owner) {}
    platform::TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(platform::TColor value) {
        if (borderColor_ == value) return;
        borderColor_ = value;
        this->Refreshed();
    }

protected:
    bool OwnerPainted() const override { return false; }
    // The border colour of the resolved look.
    platform::TColor StyleBorderColor() const {
        TdvxUIStyle style;
        if (this->UsingTheme(style)) return this->GetFileTheme()->GetColor(SKIN2_CONTROLBORDERCOLOR);
        return GetInsideThemeColor(style, DVX_THEME_CONTROL_BORDER_COLOR);
    }
    platform::TColor borderColor_ = platform::clBlack;
};

class TdvxDBEdit : public TdvxDBWrapper<platform::TDBEdit> {
public:
    explicit TdvxDBEdit(platform::TComponent* owner);
    void Dispatch(platform::TMessage& message) override;

protected:
    void UIStyleChanged() override { SetBorderColor(StyleBorderColor()); }
};

class TdvxDBImage : public TdvxDBWrapper<platform::TDBImage> {
public:
    explicit TdvxDBImage(platform::TComponent* owner);
    void Dispatch(platform::TMessage& message) override;

protected:
    void UIStyleChanged() override { SetBorderColor(StyleBorderColor()); }
};

// The memo and the list boxes: a border band, and skinned bars laid over the native ones
// (vertical for all, horizontal for the memo), kept in step both ways. A bar hands its
// whole position to the control, also past 65535.
template <class Base, bool Memo>
class TdvxDBBarred : public TdvxDBWrapper<Base> {
public:
    explicit TdvxDBBarred(platform::TComponent* owner) : TdvxDBWrapper<Base>(owner) {
        this->SetControlStyle(this->ControlStyle() | platform::csOpaque);
        this->SetBorderStyle(platform::bsNone);
        this->SetBorderWidth(2);
    }
    ~TdvxDBBarred() override {
        Attach(vBar_, nullptr, true);
        Attach(hBar_, nullptr, false);
    }
    TdvxScrollBar* VScrollBar() const { return vBar_; }
    void SetVScrollBar(TdvxScrollBar* bar) { Attach(vBar_, bar, true); }
    TdvxScrollBar* HScrollBar() const { return hBar_; }
    void SetHScrollBar(TdvxScrollBar* bar) {
        if constexpr (Memo) Attach(hBar_, bar, false);
    }

    void UpdateScrollBars() {
        if (scrollingFromBar_ || updatingBars_) return;
        updatingBars_ = true;
        struct Done {
            bool& flag;
            ~Done() { flag = false; }
        } done{updatingBars_};
        platform::HWND h = this->HandleAllocated() ? this->WindowHandle() : nullptr;
        if (hBar_) {
            int page = CopyNativeScrollBar(h, false, hBar_, this->Enabled());
            if (hBar_->Enabled()) hBar_->SetSmallChange(3 * page);
        }
        if (vBar_) CopyNativeScrollBar(h, true, vBar_, this->Enabled());
    }
    void UpdateScrollBarsPos() {
        if (this->ComponentState() & platform::csLoading) return;
        bool rtl = BarsOnTheLeft(this);
        int L = this->Left(), T = this->Top(), W = this->Width(), H = this->Height();
        int vw = vBar_ ? vBar_->Width() : 0, hh = hBar_ ? hBar_->Height() : 0;
        if (hBar_)
            hBar_->SetBounds(rtl ? L + vw + 1 : L + 1, T + H - hh - 2, W - vw - 2, hh);
        if (vBar_) vBar_->SetBounds(rtl ? L + 2 : L + W - vw - 2, T + 1, vw, H - hh - 2);
        UpdateScrollBars();
    }
    void BarMoved(bool vertical) {
        TdvxScrollBar* bar = vertical ? vBar_ : hBar_;
        if (updatingBars_ || !bar) return;
        scrollingFromBar_ = true;
        struct Done {
            bool& flag;
            ~Done() { flag = false; }
        } done{scrollingFromBar_};
        ScrollToBarPosition(this, vertical, bar->Position());
        this->Invalidate();
    }

    void Dispatch(platform::TMessage& m) override {
        using namespace platform;
        using Wrapper = TdvxDBWrapper<Base>;
        switch (m.Msg) {
            case WM_LBUTTONDOWN: dragging_ = true; break;
            case WM_LBUTTONUP: dragging_ = false; break;
            default: break;
        }
        Wrapper::Dispatch(m);
        switch (m.Msg) {
            case WM_PAINT:
            case WM_ERASEBKGND:
                if (this->HandleAllocated()) DrawControlBorder(this, this->borderColor_, this->Color(), true);
                // Items added or text set by code move the native bars without a message.
                if (m.Msg == WM_PAINT) UpdateScrollBars();
                break;
            case CM_ENABLEDCHANGED:
            case WM_KEYDOWN:
            case WM_MOUSEWHEEL:
            case WM_SETTEXT:
            case WM_CUT:
            case WM_PASTE:
            case WM_CLEAR:
            case WM_UNDO:
            case WM_LBUTTONDOWN:
            case WM_HSCROLL:
            case WM_VSCROLL: UpdateScrollBars(); break;
            case WM_MOUSEMOVE:
                if (dragging_) UpdateScrollBars();
                break;
            case WM_SIZE:
            case WM_MOVE:
            case CM_BIDIMODECHANGED: UpdateScrollBarsPos(); break;
            case CM_VISIBLECHANGED:
                if (this->Visible()) {
                    UpdateScrollBarsPos();
                } else {
                    if (vBar_) vBar_->SetVisible(false);
                    if (hBar_) hBar_->SetVisible(false);
                }
                break;
            default: break;
        }
    }
    void Notification(platform::TComponent* component, platform::TOperation operation) override {
        TdvxDBWrapper<Base>::Notification(component, operation);
        if (operation != platform::opRemove || (component != vBar_ && component != hBar_)) return;
        if (component == vBar_) vBar_ = nullptr;
        if (component == hBar_) hBar_ = nullptr;
        UpdateInnerScrollBars();
    }
    void Loaded() override {
        TdvxDBWrapper<Base>::Loaded();
        UpdateScrollBarsPos();
    }

protected:
    void CreateParams(platform::TCreateParams& params) override {
        TdvxDBWrapper<Base>::CreateParams(params);
        PlaceNativeBarUnderAttached(this, params);
    }
    void UIStyleChanged() override {
        this->SetBorderColor(this->StyleBorderColor());
        TdvxUIStyle style;
        bool themed = this->UsingTheme(style);
        for (TdvxScrollBar* bar : {vBar_, hBar_}) {
            if (!bar) continue;
            bar->SetFileTheme(this->GetFileTheme());
            bar->SetUIStyle(themed ? this->GetUIStyle() : style);
        }
    }
    void UpdateInnerScrollBars() {
        if constexpr (Memo)
            this->SetScrollBars(vBar_ && hBar_ ? platform::ssBoth
                                : vBar_    ? platform::ssVertical
                                : hBar_    ? platform::ssHorizontal
                                           : platform::ssNone);
    }

private:
    void Attach(TdvxScrollBar*& field, TdvxScrollBar* bar, bool vertical) {
        if (bar == field) return;
        if (field) {
            field->OnChange() = nullptr;
            field->SetLineButton(0);
            field->SetMax(100);
            field->SetEnabled(true);
            this->RemoveFreeNotification(field);
        }
        field = bar;
        if (bar) {
            this->FreeNotification(bar);
            bar->SetOrientation(vertical ? dvxVertical : dvxHorizontal);
            bar->OnChange() = [this, vertical](platform::TObject*) { BarMoved(vertical); };
            bar->BringToFront();
        }
        UpdateInnerScrollBars();
        if (bar) UpdateScrollBarsPos();
    }

    TdvxScrollBar* vBar_ = nullptr;
    TdvxScrollBar* hBar_ = nullptr;
    bool dragging_ = false;
    bool updatingBars_ = false;
    bool scrollingFromBar_ = false;
};

class TdvxDBMemo : public TdvxDBBarred<platform::TDBMemo, true> {
public:
    explicit TdvxDBMemo(platform::TComponent* owner) : TdvxDBBarred(owner) { UIStyleChanged(); }
};

class TdvxDBListBox : public TdvxDBBarred<platform::TDBListBox, false> {
public:
    explicit TdvxDBListBox(platform::TComponent* owner) : TdvxDBBarred(owner) { UIStyleChanged(); }
};

class TdvxDBLookupListBox : public TdvxDBBarred<platform::TDBLookupListBox, false> {
public:
    explicit TdvxDBLookupListBox(platform::TComponent* owner) : TdvxDBBarred(owner) { UIStyleChanged(); }
};

// The combo boxes: the frame, a button in ButtonColor (a picture in MacOS and WinXP) with a
// line in BorderColor, and the arrow in ArrowColor (embossed grey when disabled). The lookup
// combo's button is as wide as a vertical scroll bar and its arrow sits two pixels higher.
template <class Base, bool Lookup>
class TdvxDBComboWrapper : public TdvxDBWrapper<Base> {
public:
    explicit TdvxDBComboWrapper(platform::TComponent* owner) : TdvxDBWrapper<Base>(owner) {
        this->SetControlStyle(this->ControlStyle() | platform::csOpaque);
    }
    platform::TColor ButtonColor() const { return buttonColor_; }
    void SetButtonColor(platform::TColor value) {
        if (buttonColor_ == value) return;
        buttonColor_ = value;
        this->Refreshed();
    }
    platform::TColor ArrowColor() const { return arrowColor_; }
    void SetArrowColor(platform::TColor value) {
        if (arrowColor_ == value) return;
        arrowColor_ = value;
        this->Refreshed();
    }
    void SetEnabled(bool value) override {
        TdvxDBWrapper<Base>::SetEnabled(value);
        this->Refreshed();
    }
    void Dispatch(platform::TMessage& m) override;
    // The button's rectangle in client coordinates (empty when the box has no window).
    platform::TRect ButtonArea() const;
    void DrawButton(platform::HDC dc);

protected:
    void UIStyleChanged() override;
    void PaintWindow(platform::HDC dc) override;

    platform::TColor buttonColor_ = platform::clBtnFace;
    platform::TColor arrowColor_ = platform::clBlack;
};

class TdvxDBComboBox : public TdvxDBComboWrapper<platform::TDBComboBox, false> {
public:
    explicit TdvxDBComboBox(platform::TComponent* owner) : TdvxDBComboWrapper(owner) { UIStyleChanged(); }
};

class TdvxDBLookupComboBox : public TdvxDBComboWrapper<platform::TDBLookupComboBox, true> {
public:
    explicit TdvxDBLookupComboBox(platform::TComponent* owner) : TdvxDBComboWrapper(owner) { UIStyleChanged(); }
};

class TdvxDBGrid : public TdvxDBWrapper<platform::TDBGrid> {
public:
    explicit TdvxDBGrid(platform::TComponent* owner);
    ~TdvxDBGrid() override;
    void Dispatch(platform::TMessage& message) override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;
    void Loaded() override;

    platform::TColor FocusedColor() const { return focusedColor_; }
    void SetFocusedColor(platform::TColor value);
    platform::TColor SelectedColor() const { return selectedColor_; }
    void SetSelectedColor(platform::TColor value);
    platform::TColor FontColor() const { return Font()->Color(); }
    void SetFontColor(platform::TColor value) { Font()->SetColor(value); }
    platform::TColor TitleFontColor() const { return TitleFont()->Color(); }
    void SetTitleFontColor(platform::TColor value) { TitleFont()->SetColor(value); }
    platform::TColor FixedBGColor() const { return FixedColor(); }
    void SetFixedBGColor(platform::TColor value) { SetFixedColor(value); }
    platform::TColor BGColor() const { return Color(); }
    void SetBGColor(platform::TColor value) { SetColor(value); }

    TdvxScrollBar* VScrollBar() const { return vBar_; }
    void SetVScrollBar(TdvxScrollBar* bar);
    TdvxScrollBar* HScrollBar() const { return hBar_; }
    void SetHScrollBar(TdvxScrollBar* bar);
    void UpdateScrollBarsPos();
    void UpdateSkinnedBars();
    void OnVScrollBarChange(platform::TObject* sender);
    void OnHScrollBarChange(platform::TObject* sender);

protected:
    void UIStyleChanged() override;
    void UpdateScrollBars() override;
    void DrawCell(int col, int row, platform::TRect rect, platform::TGridDrawState state) override;
    void DrawColumnCell(const platform::TRect& rect, int dataCol, platform::TColumn* column,
                        platform::TGridDrawState state) override;

private:
    bool RightToLeftLayout() const;
    void Attach(TdvxScrollBar*& field, TdvxScrollBar* bar, bool vertical);
    void SyncBar(TdvxScrollBar* bar, int objectId, int sb);

    platform::TColor focusedColor_ = platform::TColor(0x008000);
    platform::TColor selectedColor_ = platform::TColor(0x00FFFF);
    TdvxScrollBar* vBar_ = nullptr;
    TdvxScrollBar* hBar_ = nullptr;
    bool dragging_ = false;
    bool updatingBars_ = false;
    bool scrollingFromBar_ = false;
};

}  // namespace skinctrl
