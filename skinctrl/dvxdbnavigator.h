#pragma once
// The record navigator: ten skinned buttons (first, prior, next, last, insert, delete,
// edit, post, cancel, refresh) that move through and edit the data set of a data source,
// each enabled only when its action makes sense for the current record and state.
//
// Layout: the visible buttons share the width; with Align alNone the navigator's width is
// made a multiple of the button width, with another alignment the remainder is spread one
// pixel at a time over the row. Hidden buttons are parked just right of the navigator.
// Prior and Next repeat while held (400 ms, then every 100 ms). Left and Right move the
// keyboard focus over the visible buttons, Space clicks the focused one. Delete asks
// "Delete record?" first (ConfirmDelete) through the application's message box.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/controls/extctrls.h"
#include "platform/core/timer.h"
#include "platform/data/db.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcontrol.h"

namespace skinctrl {

enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
constexpr int kNavButtonCount = 10;
// A set of buttons: bit i for TNavigateBtn i.
using TButtonSet = std::uint16_t;
constexpr TButtonSet NavButton(TNavigateBtn b) { return TButtonSet(1u << unsigned(b)); }
constexpr TButtonSet kAllNavButtons = 0x3FF;
using ENavClick = std::function<void(platform::TObject* sender, TNavigateBtn button)>;

class TdvxDBNavigator;

class TdvxNavButton : public TdvxButton {
public:
    TdvxNavButton(platform::TComponent* owner, TdvxDBNavigator* navigator);
    ~TdvxNavButton() override;
    TNavigateBtn Index() const { return index_; }
    void SetIndex(TNavigateBtn value) { index_ = value; }
    bool AutoRepeat() const { return autoRepeat_; }
    void SetAutoRepeat(bool value) { autoRepeat_ = value; }
    platform::TTimer* RepeatTimer() const { return repeatTimer_.get(); }

protected:
    void MouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void MouseUp(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
    void PaintBuffer(platform::TCanvas* canvas) override;

private:
    void TimerExpired();
    TdvxDBNavigator* navigator_;
    TNavigateBtn index_ = nbFirst;
    bool autoRepeat_ = false;
    std::unique_ptr<platform::TTimer> repeatTimer_;
};

class TdvxNavDataLink : public platform::TDataLink {
public:
    explicit TdvxNavDataLink(TdvxDBNavigator* navigator) : navigator_(navigator) { SetVisualControl(true); }
    ~TdvxNavDataLink() override { navigator_ = nullptr; }
    TdvxDBNavigator* Navigator() const { return navigator_; }

protected:
    void EditingChanged() override;
    void DataSetChanged() override;
    void ActiveChanged() override;

private:
    TdvxDBNavigator* navigator_;
};

class TdvxDBNavigator : public TdvxControl<platform::TCustomPanel> {
public:
    explicit TdvxDBNavigator(platform::TComponent* owner);
    ~TdvxDBNavigator() override;
    void Dispatch(platform::TMessage& message) override;
    void SetBounds(int left, int top, int width, int height) override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;
    void Loaded() override;

    platform::TDataSource* DataSource() const { return dataLink_->DataSource(); }
    void SetDataSource(platform::TDataSource* value);
    TButtonSet VisibleButtons() const { return visibleButtons_; }
    void SetVisibleButtons(TButtonSet value);
    bool ConfirmDelete() const { return confirmDelete_; }
    void SetConfirmDelete(bool value) { confirmDelete_ = value; }
    platform::TCursor Cursor() const { return cursor_; }
    void SetCursor(platform::TCursor value);
    // The hints: built-in texts unless a line of Hints says otherwise (empty lines keep them).
    platform::TStrings* Hints() const { return customHints_.get(); }
    void SetHints(platform::TStrings* value);
    platform::TStrings* GetHints() const;
    TdvxNavButton* Buttons(TNavigateBtn index) const { return buttons_[std::size_t(index)]; }
    TNavigateBtn FocusedButton() const { return focusedButton_; }
    int ButtonWidth() const { return buttonWidth_; }

    // Runs a button's action on the data set (BeforeAction first, OnClick after).
    virtual void BtnClick(TNavigateBtn index);
    void ClickHandler(platform::TObject* sender);
    // The smallest size that holds the visible buttons, and the layout of the buttons.
    void CalcMinSize(int& width, int& height);
    void SetSize(int& width, int& height);

    void DataChanged();
    void EditingChanged();
    void ActiveChanged();

    ENavClick OnClick;
    ENavClick BeforeAction;

protected:
    void UIStyleChanged() override;
    void KeyDown(platform::WORD& key, platform::TShiftState shift) override;
    void PaintBuffer(platform::TCanvas* canvas) override;

private:
    void InitButtons();
    void InitHints();
    void HintsChanged();
    void BtnMouseDown(TdvxNavButton* button);
    bool Loading() const { return ComponentState() & platform::csLoading; }

    std::unique_ptr<TdvxNavDataLink> dataLink_;
    TButtonSet visibleButtons_ = kAllNavButtons;
    std::unique_ptr<platform::TStringList> customHints_;
    std::unique_ptr<platform::TStringList> defaultHints_;
    platform::TCursor cursor_ = platform::crDefault;
    int buttonWidth_ = 0;
    platform::TPoint minButtonSize_{20, 18};
    TNavigateBtn focusedButton_ = nbFirst;
    bool confirmDelete_ = true;
    std::array<TdvxNavButton*, kNavButtonCount> buttons_{};
};

}  // namespace skinctrl
