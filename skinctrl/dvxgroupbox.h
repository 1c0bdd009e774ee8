#pragma once
// The themed group box (a frame line with its caption set into the top edge, the style
// handed on to the controls inside), and the check and radio groups that make one child
// button per line of Items and arrange them in columns, filling a column top to bottom
// before the next.
#include <memory>
#include <string>
#include <vector>

#include "platform/core/strings.h"
#include "skinctrl/dvxcheckbox.h"
#include "skinctrl/dvxpanel.h"

namespace skinctrl {

class TdvxCustomGroupBox : public TdvxCustomPanel {
public:
    explicit TdvxCustomGroupBox(platform::TComponent* owner);
    void Dispatch(platform::TMessage& message) override;
    void AlignControls(platform::TControl* control, platform::TRect& rect) override;

    platform::TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(platform::TColor value);
    // The text drawn in the frame (the window text stays a single blank).
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value);
    // Where the buttons of a group go.
    platform::TRect GetClient() const;

protected:
    virtual void UpdateUIStyle(TdvxUIStyle style, TdvxFileTheme* fileTheme);
    void UIStyleChanged() override { UpdateUIStyle(GetUIStyle(), GetFileTheme()); }
    void PaintBuffer(platform::TCanvas* canvas) override;

    platform::TColor borderColor_ = platform::clBlack;
    std::string caption_;
};

class TdvxGroupBox : public TdvxCustomGroupBox {
public:
    explicit TdvxGroupBox(platform::TComponent* owner) : TdvxCustomGroupBox(owner) {}
};

class TdvxCheckGroup : public TdvxCustomGroupBox {
public:
    explicit TdvxCheckGroup(platform::TComponent* owner);
    ~TdvxCheckGroup() override;
    void Dispatch(platform::TMessage& message) override;

    platform::TStringList* Items() const { return items_.get(); }
    void SetItems(platform::TStrings* value) { items_->Assign(value); }
    int Columns() const { return columns_; }
    // Below 1 is refused (no column to put buttons in).
    void SetColumns(int value);
    int TopMargin() const { return topMargin_; }
    void SetTopMargin(int value);
    platform::TColor FontColor() const { return Font()->Color(); }
    void SetFontColor(platform::TColor value) { Font()->SetColor(value); }
    platform::TCursor Cursor2() const { return cursor_; }
    void SetCursor2(platform::TCursor value);
    void SetTransparent(bool value) override;
    // Out of range: reads give false, writes are ignored.
    bool Checked(int index) const;
    void SetChecked(int index, bool value);
    bool ItemEnabled(int index) const;
    void SetItemEnabled(int index, bool value);
    int ButtonCount() const { return int(buttons_.size()); }
    TdvxCheckBox* Button(int index) const { return buttons_.at(std::size_t(index)); }

    platform::TNotifyEvent OnClick;

protected:
    virtual void NewClick() {}
    virtual TdvxCheckBox* CreateAButton();
    virtual void FocusUpdate();
    void UpdateUIStyle(TdvxUIStyle style, TdvxFileTheme* fileTheme) override;
    void Resize() override;
    void ArrangeButtons();
    void DoClick();

    std::vector<TdvxCheckBox*> buttons_;

private:
    void ItemChanged();
    bool UpdateButtons();
    void FreeRetired();

    std::unique_ptr<platform::TStringList> items_;
    int columns_ = 1;
    int topMargin_ = 8;
    platform::TCursor cursor_ = platform::crDefault;
    // Buttons removed while a click runs are freed once no click is running.
    std::vector<TdvxCheckBox*> retired_;
    int clickDepth_ = 0;
};

class TdvxRadioGroup : public TdvxCheckGroup {
public:
    explicit TdvxRadioGroup(platform::TComponent* owner) : TdvxCheckGroup(owner) {}
    int ItemIndex() const;
    void SetItemIndex(int value);
    virtual bool CanModify() const { return true; }

protected:
    TdvxCheckBox* CreateAButton() override;
    void FocusUpdate() override;
};

class TdvxCheckGroupButton : public TdvxCheckBox {
public:
    TdvxCheckGroupButton(platform::TComponent* owner, TdvxCheckGroup* group) : TdvxCheckBox(owner), group_(group) {}

protected:
    bool NeedDrawFocus() const override { return Focused(); }

private:
    TdvxCheckGroup* group_;
};

class TdvxRadioGroupButton : public TdvxRadioButton {
public:
    TdvxRadioGroupButton(platform::TComponent* owner, TdvxRadioGroup* group) : TdvxRadioButton(owner), group_(group) {}

protected:
    bool NeedDrawFocus() const override { return checked_ && (group_->Focused() || Focused()); }
    void DoClick() override {
        if (group_->CanModify()) TdvxRadioButton::DoClick();
    }

private:
    TdvxRadioGroup* group_;
};

}  // namespace skinctrl
