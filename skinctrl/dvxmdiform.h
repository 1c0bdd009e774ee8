#pragma once
// The skinned frame of an MDI main form: a component dropped on the form that strips the
// display's caption, hooks the form's window procedure and its MDI client's, paints a
// skinned frame, carries a title bar and a menu bar showing either its own main menu or the
// active child's, with minimise / restore / close buttons for a maximised child, lists the
// children in the form's Window menu, and lays the children out when tiling or cascading.
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/appevents.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "skinctrl/dvxbutton.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxform.h"
#include "skinctrl/dvxmenu.h"
#include "skinctrl/dvxmenubar.h"
#include "skinctrl/dvxtitlebar.h"

namespace skinctrl {

// Tags of the control buttons of a maximised child.
constexpr std::intptr_t DVX_MDI_CLOSE_TAG = -1381;
constexpr std::intptr_t DVX_MDI_RESTORE_TAG = -1382;
constexpr std::intptr_t DVX_MDI_MINIMIZE_TAG = -1383;

// An item the MDI frame adds to the Window menu for one child. It holds the child weakly:
// a click after the child went does nothing.
class TdvxWindowMenuItem : public platform::TMenuItem {
public:
    TdvxWindowMenuItem(platform::TComponent* owner, platform::TCustomForm* child);
    platform::TCustomForm* Child() const { return child_; }
    void Notification(platform::TComponent* component, platform::TOperation operation) override;

private:
    platform::TCustomForm* child_;
};

class TdvxMDIForm : public platform::TComponent, public IdvxStyled, public IdvxMenuFrame, public IdvxMenuBarFrame {
public:
    // The owner must be a form (EInvalidOperation otherwise).
    explicit TdvxMDIForm(platform::TComponent* owner);
    ~TdvxMDIForm() override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;
    void Loaded() override;

    TdvxUIStyle GetUIStyle() const override { return uiStyle_; }
    void SetUIStyle(TdvxUIStyle value) override;
    TdvxFileTheme* GetFileTheme() const override { return fileTheme_; }
    void SetFileTheme(TdvxFileTheme* value) override;
    bool IsFormFrame() const override { return true; }

    platform::TCustomForm* Form() const { return form_; }
    TdvxTitleBar* TitleBar() const { return titleBar_; }
    platform::TPanel* TopPanel() const { return topPanel_; }
    TdvxMenuBar* MenuBar() const { return menuBar_; }
    // The control button with the tag (DVX_MDI_*_TAG), or null.
    TdvxToolBarSpeedButton* ControlButton(std::intptr_t tag) const;

    platform::TMainMenu* Menu() const { return menu_; }
    void SetMenu(platform::TMainMenu* value);
    TColor MenuBarColor() const { return menuBarColor_; }
    void SetMenuBarColor(TColor value);
    TColor MenuBarToColor() const { return menuBarToColor_; }
    void SetMenuBarToColor(TColor value);
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value);
    int BorderWidth() const { return borderWidth_; }
    std::string Caption() const;
    void SetCaption(const std::string& value);
    bool TitleBarVisible() const { return titleBar_ && titleBar_->Visible(); }
    void SetTitleBarVisible(bool value);
    bool TitleBarDrawChildMenus() const { return drawChildMenus_; }
    void SetTitleBarDrawChildMenus(bool value) { drawChildMenus_ = value; }
    int RoundCorner() const { return roundCorner_; }
    void SetRoundCorner(int value);
    int RoundCornerBottom() const { return roundCornerBottom_; }
    void SetRoundCornerBottom(int value);
    int SysLeft() const { return sysL_; }
    int SysBottom() const { return sysB_; }

    // The menu the bar shows: the active child's (its form's, else its frame's) when child
    // menus are drawn, else the frame's own.
    platform::TMainMenu* GetMainMenu() const;
    platform::TMainMenu* ShownMenu() const override { return shown_; }
    void UpdateMenu() override;
    void UpdateTopMenu() override;
    void RepaintMenuBar() override;
    // Shows the control buttons of the kinds the active child's title bar has; hides all.
    void ShowControlButtons();
    void HideControlButtons();
    // Lists the children in the form's Window menu (only while the frame's own menu shows).
    void UpdateWindowMenu();
    // The items added to the Window menu last time (the separator first).
    const std::vector<platform::TMenuItem*>& WindowMenuItems() const { return added_; }
    TdvxForm* GetActiveChildZURForm() const;
    void Tile();
    void Cascade();
    void PaintBorder();
    void RegionWindow();
    void ProcessKeyPress(platform::TMessage& message);

private:
    static platform::LRESULT FormHookProc(platform::HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                                          platform::LPARAM lParam);
    static platform::LRESULT ClientHookProc(platform::HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                                            platform::LPARAM lParam);
    platform::LRESULT NewParentWndProc(platform::UINT msg, platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT NewClientWndProc(platform::UINT msg, platform::WPARAM wParam, platform::LPARAM lParam);
    void Unhook();
    void CreateMenuBar();
    void DestroyMenuBar();
    void ShowMenuBar();
    void HideMenuBar();
    void FreeWindowMenuItems();
    void OnControlButtonClick(platform::TObject* sender);
    void OnWindowMenuClick(platform::TObject* sender);
    void OnApplicationMessage(platform::MSG& msg, bool& handled);
    void FrameChanged();
    // Under a skin: the form's smallest size.
    void ApplyMinimumSize();
    int ReservedHeight() const;

    platform::TCustomForm* form_ = nullptr;
    TdvxTitleBar* titleBar_ = nullptr;
    platform::TPanel* topPanel_ = nullptr;
    TdvxMenuBar* menuBar_ = nullptr;
    TdvxToolBarSpeedButton* controlButtons_[3] = {nullptr, nullptr, nullptr};  // close, restore, minimise
    platform::TMainMenu* menu_ = nullptr;
    platform::TMainMenu* shown_ = nullptr;
    TdvxUIStyle uiStyle_ = DeepBlue;
    TdvxFileTheme* fileTheme_ = nullptr;
    TColor menuBarColor_ = 0, menuBarToColor_ = 0, borderColor_ = 0;
    int borderWidth_ = 1;
    int roundCorner_ = 0, roundCornerBottom_ = 0;
    bool drawChildMenus_ = true;
    int L_ = 0, R_ = 0, B_ = 0, sysL_ = 4, sysB_ = 4;
    TColor transColor_ = DVX_KEY_COLOR;
    bool titleRegion_ = false, bottomRegion_ = false;
    int titleMin_ = 0, titleMax_ = 0, bottomMin_ = 0, bottomMax_ = 0;
    std::unique_ptr<TBitmap> bottomBorder_;
    platform::HWND formHwnd_ = nullptr, clientHwnd_ = nullptr;
    platform::WNDPROC previousForm_ = nullptr, previousClient_ = nullptr;
    bool closing_ = false;
    bool updatingWindowMenu_ = false;
    std::unique_ptr<platform::TApplicationEvents> appEvents_;
    std::vector<platform::TMenuItem*> added_;
    platform::TMenuItem* addedTo_ = nullptr;  // the Window menu the items were added to
};

}  // namespace skinctrl
