#pragma once
// Skinned list boxes: the library's border band and an optional skinned vertical bar laid
// over the native one and kept in step with it both ways.
//
//   TdvxListBox            owner-drawn: selected and disabled colours, alignment, focus rectangle
//   TdvxDirectoryListBox   the platform's folder list with the border and the bar
//   TdvxFileListBox        the platform's file list with the border and the bar
#include <string>

#include "platform/controls/filectrl.h"
#include "platform/controls/stdctrls.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxscrollbar.h"

namespace skinctrl {

// What the three share: BorderColor and its style rule, the border band, the attached bar.
template <class Base>
class TdvxBarredList : public TdvxControl<Base> {
public:
    explicit TdvxBarredList(platform::TComponent* owner);
    ~TdvxBarredList() override;
    void Dispatch(platform::TMessage& message) override;
    void Loaded() override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;

    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value) {
        if (!this->Store(borderColor_, value)) return;
        this->Refreshed();
    }
    TdvxScrollBar* VScrollBar() const { return bar_; }
    void SetVScrollBar(TdvxScrollBar* value);
    // Lays the bar over the list's right border (left in right-to-left layouts).
    void UpdateScrollBarsPos();
    // Copies the native vertical bar's state into the attached one.
    void UpdateScrollBars();

protected:
    void CreateParams(platform::TCreateParams& params) override;
    bool OwnerPainted() const override { return false; }
    void UIStyleChanged() override;
    void ItemsChanged() override;
    // What a moved bar does after scrolling the list: the twins repaint.
    virtual void AfterBarScroll() { this->Invalidate(); }

    TColor borderColor_ = 0;
    TdvxScrollBar* bar_ = nullptr;
    bool updatingBars_ = false;
    bool dragging_ = false;

private:
    void BarMoved();
};

class TdvxListBox : public TdvxBarredList<platform::TCustomListBox> {
public:
    explicit TdvxListBox(platform::TComponent* owner);

    bool ShowFocusRect() const { return showFocusRect_; }
    void SetShowFocusRect(bool value);
    platform::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(platform::TAlignment value);
    TColor SelectedTextColor() const { return selectedTextColor_; }
    void SetSelectedTextColor(TColor value);
    TColor SelectedColor() const { return selectedColor_; }
    void SetSelectedColor(TColor value);
    TColor DisabledTextColor() const { return disabledTextColor_; }
    void SetDisabledTextColor(TColor value);

    // The height text takes wrapped in width - 2 (at most 255); its width for width <= 0.
    int MeasureString(const std::string& text, int width);

protected:
    void Paint() override;
    void DrawItem(int index, platform::TRect rect, platform::TOwnerDrawState state) override;
    void MeasureItem(int index, int& height) override;
    virtual void DefaultDrawItem(int index, platform::TRect rect, platform::TOwnerDrawState state);
    void AfterBarScroll() override { UpdateScrollBars(); }

private:
    void SetColorField(TColor& field, TColor value);
    bool showFocusRect_ = true;
    platform::TAlignment alignment_ = platform::taLeftJustify;
    TColor selectedTextColor_ = platform::clHighlightText;
    TColor selectedColor_ = platform::clHighlight;
    TColor disabledTextColor_ = platform::clGrayText;
};

class TdvxDirectoryListBox : public TdvxBarredList<platform::TDirectoryListBox> {
public:
    explicit TdvxDirectoryListBox(platform::TComponent* owner) : TdvxBarredList(owner) {}
};

class TdvxFileListBox : public TdvxBarredList<platform::TFileListBox> {
public:
    explicit TdvxFileListBox(platform::TComponent* owner) : TdvxBarredList(owner) {}
};

}  // namespace skinctrl
