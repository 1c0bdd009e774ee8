#pragma once
// The skinned menu bar: a tool bar of flat buttons, one per top-level item of a main menu,
// that a skinned form frame (single or MDI) places under its title bar and draws in its
// style. A press on a button opens the item's sub-items below it, drawn by the menu.
#include "platform/controls/comctrls.h"
#include "platform/controls/menus.h"
#include "skinctrl/dvxtheme.h"

namespace skinctrl {

class TdvxFileTheme;

// The button that shows a highlighted (hot or pressed) item carries this tag while drawn so.
constexpr std::intptr_t DVX_MENUBAR_HIGHLIGHT_TAG = 888;

// What the frame showing a menu bar is asked.
class IdvxMenuBarFrame {
public:
    virtual ~IdvxMenuBarFrame() = default;
    // The menu the bar shows now (a frame's own, or an MDI child's).
    virtual platform::TMainMenu* ShownMenu() const = 0;
};

class TdvxMenuBar : public platform::TToolBar {
public:
    TdvxMenuBar(platform::TComponent* owner, IdvxMenuBarFrame* frame);
    void Dispatch(platform::TMessage& message) override;
    IdvxMenuBarFrame* Frame() const { return frame_; }
    void SetFrame(IdvxMenuBarFrame* value) { frame_ = value; }
    // Whether a button is drawn highlighted (tag DVX_MENUBAR_HIGHLIGHT_TAG).
    bool ItemHighlighted() const;

protected:
    // The sub-items' menu draws as the frame's menu does (its owner drawing and pictures).
    void ItemMenuShowing(platform::TToolButton* button, platform::TPopupMenu* menu) override;

private:
    IdvxMenuBarFrame* frame_;
};

// The look both frames give their bar. Background: under MacOS the stretched
// "MACOS_MENU_BAR"; otherwise a horizontal gradient from `from` to `to` when they differ.
void MenuBar_DrawBackground(platform::TToolBar* bar, const platform::TRect& rect, TdvxUIStyle style,
                            platform::TColor from, platform::TColor to);
// One button: a highlighted one (hot or pressed) is filled and framed in the style's
// selected menu colours (under MacOS the "MACOS_MENU_SELECT" picture) and tagged; others
// show their caption in the menu font colour, grey when disabled. menu: the shown menu,
// whose font a skinned main menu lends the caption.
void MenuBar_DrawButton(platform::TToolBar* bar, platform::TToolButton* button, platform::TCustomDrawState state,
                        TdvxUIStyle style, TdvxFileTheme* theme, platform::TMainMenu* menu);
// Rebuilds the bar's buttons from the menu's top-level items, in menu order.
void MenuBar_Fill(platform::TToolBar* bar, platform::TMainMenu* menu);
// The bar's font from a skinned main menu: the system menu font or its name, size, charset.
void MenuBar_TakeFont(platform::TToolBar* bar, platform::TMainMenu* menu);

}  // namespace skinctrl
