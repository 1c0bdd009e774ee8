#pragma once
// What every skinned control repeats, in one place: its style (taken from its form when it
// is made), its file theme (dropped, with a fall-back to DeepBlue, when the theme goes),
// setters that compare, store and repaint only when live, painting through an off-screen
// bitmap, and a background erase that does nothing. IdvxStyled is also how the library
// reads and writes "UIStyle" and "FileTheme" of a control it knows only as a component.
//
// Use: class TdvxButton : public TdvxControl<platform::TCustomControl> { ... }; see
// docs/skinctrl.md.
#include <functional>
#include <string>

#include "platform/controls/controls.h"
#include "skinctrl/dvxtheme.h"

namespace skinctrl {

class TdvxFileTheme;

class IdvxStyled {
public:
    virtual ~IdvxStyled() = default;
    virtual TdvxUIStyle GetUIStyle() const = 0;
    virtual void SetUIStyle(TdvxUIStyle value) = 0;
    virtual TdvxFileTheme* GetFileTheme() const = 0;
    virtual void SetFileTheme(TdvxFileTheme* value) = 0;
    // Every control publishes FileTheme but the image button.
    virtual bool PublishesFileTheme() const { return true; }
    // The form frame and the MDI frame answer true; GetDVXFormStyle looks for them.
    virtual bool IsFormFrame() const { return false; }
    // Whether the control publishes a property of that name ("UIStyle", "FileTheme" when
    // PublishesFileTheme, and what ExtraPublished lists).
    bool PublishesProperty(const std::string& name) const;

protected:
    virtual bool ExtraPublished(const std::string& /*name*/) const { return false; }
};

// The skinned side of a component, or null.
IdvxStyled* AsStyled(platform::TComponent* component);

// The look a control resolves: true when the file theme paints; otherwise style is the
// built-in style to use.
bool UsingFileTheme(TdvxFileTheme* fileTheme, TdvxUIStyle uiStyle, TdvxUIStyle& style);

namespace detail {
// Points field at value, moving the free notification of owner from the old theme to the
// new one.
void LinkFileTheme(platform::TComponent* owner, TdvxFileTheme*& field, TdvxFileTheme* value);
bool IsTheme(platform::TComponent* component, TdvxFileTheme* theme);
void PaintBuffered(platform::TWinControl* control, platform::HDC dc, bool transparent,
                   const std::function<void(platform::TCanvas*)>& paint);
}  // namespace detail

// Base is TCustomControl for self-drawn controls, or the platform control a skinned one
// wraps (edit, memo, combo box), which sets OwnerPainted() false and keeps its own painting.
template <class Base>
class TdvxControl : public Base, public IdvxStyled {
public:
    explicit TdvxControl(platform::TComponent* owner) : Base(owner), uiStyle_(GetDVXFormStyle(owner)) {}
    ~TdvxControl() override { detail::LinkFileTheme(this, fileTheme_, nullptr); }

    TdvxUIStyle GetUIStyle() const override { return uiStyle_; }
    void SetUIStyle(TdvxUIStyle value) override {
        if (!Store(uiStyle_, value)) return;
        UIStyleChanged();
        this->Refreshed();
    }
    TdvxFileTheme* GetFileTheme() const override { return fileTheme_; }
    void SetFileTheme(TdvxFileTheme* value) override {
        if (value == fileTheme_) return;
        detail::LinkFileTheme(this, fileTheme_, value);
        UIStyleChanged();
        this->Refreshed();
    }

    // True when the file theme paints; otherwise style is the built-in style to use.
    bool UsingTheme(TdvxUIStyle& style) const { return UsingFileTheme(fileTheme_, uiStyle_, style); }

    void Notification(platform::TComponent* component, platform::TOperation operation) override {
        if (operation == platform::opRemove && fileTheme_ && detail::IsTheme(component, fileTheme_)) {
            fileTheme_ = nullptr;
            uiStyle_ = DeepBlue;
            UIStyleChanged();
            this->Refreshed();
        }
        Base::Notification(component, operation);
    }

    void Dispatch(platform::TMessage& message) override {
        // The buffer covers every pixel: erasing first would only flicker.
        if (message.Msg == platform::WM_ERASEBKGND && OwnerPainted()) {
            message.Result = 1;
            return;
        }
        Base::Dispatch(message);
    }

protected:
    // Called after UIStyle or FileTheme changed, before the repaint: reload pictures here.
    virtual void UIStyleChanged() {}
    // Paints the whole client area onto canvas (an off-screen bitmap of the client size).
    virtual void PaintBuffer(platform::TCanvas* /*canvas*/) {}
    // A transparent control gets what its parent paints under it before PaintBuffer.
    virtual bool IsTransparent() const { return false; }
    // False for controls that keep their base class's painting.
    virtual bool OwnerPainted() const { return true; }

    // The setter pattern: false when nothing changed; otherwise stores the value. The
    // caller then runs its change hook and this->Refreshed() (a repaint when live).
    template <class T, class U>
    static bool Store(T& field, const U& value) {
        if (field == value) return false;
        field = value;
        return true;
    }

    void PaintWindow(platform::HDC dc) override {
        if (!OwnerPainted()) {
            Base::PaintWindow(dc);
            return;
        }
        detail::PaintBuffered(this, dc, IsTransparent(), [this](platform::TCanvas* canvas) { PaintBuffer(canvas); });
    }

    TdvxUIStyle uiStyle_;
    TdvxFileTheme* fileTheme_ = nullptr;
};

}  // namespace skinctrl
