#pragma once
#include <functional>
// The skinned form frame: dropped on a form, it fills it as a client-aligned panel, strips
// the display's caption, takes over the form's window procedure, paints its own frame
// (borders and the strip around the title bar) into the form's non-client area, shapes the
// window (round corners under the built-in styles, a region cut from the skin's pictures
// under a file theme) and carries a skinned title bar. The frame's style is the style new
// skinned controls of the form start with.
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/appevents.h"
#include "platform/controls/extctrls.h"
#include "platform/controls/forms.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxmenu.h"
#include "skinctrl/dvxmenubar.h"
#include "skinctrl/dvxtitlebar.h"

namespace skinctrl {

// Asked of an MDI main form by its children's frames: its measured frame sizes.
constexpr platform::UINT DVXM_FRAMEBOTTOM = 0x87D0;
constexpr platform::UINT DVXM_FRAMELEFT = 0x87D1;

// The client rectangle a frame proposes for a window at window (screen bounds): skin
// borders L, R, B (0 under a built-in style), the measured frame sysL, sysB and the
// border width of the style.
platform::RECT ProposeFrameClient(const platform::RECT& window, int L, int R, int B, int sysL, int sysB,
                                  int borderWidth);
// What the frame answers DVXM_TITLEINSET.
int FrameTitleInset(int L, int sysB);
// A frame's answer to WM_NCCALCSIZE (params not null): proposes its client to the hooked
// window's previous procedure (callPrevious), then keeps the sizing frame inside it, since
// the frame is ours, not the desktop's.
platform::LRESULT FrameNcCalcSize(platform::WPARAM wParam, platform::NCCALCSIZE_PARAMS* params, int L, int R, int B,
                                  int sysL, int sysB, int borderWidth,
                                  const std::function<void()>& callPrevious);

// What cuts a skinned window's region out of its title and bottom pictures.
struct TdvxRegionSource {
    TBitmap* top = nullptr;     // the full title image, when topWanted
    TBitmap* bottom = nullptr;  // the bottom border picture, when bottomWanted
    bool topWanted = false, bottomWanted = false;
    int topMin = 0, topMax = 0, bottomMin = 0, bottomMax = 0;  // the scanned rows
    TColor transparent = DVX_KEY_COLOR;
};
// The region (window coordinates, caller owns it) of a w x h window: the opaque runs of the
// scanned rows of each picture, whole rows above and below them, and everything between
// the two pictures. Rows outside a picture are clamped to it; an empty picture adds no rows.
platform::HRGN FrameRegionFromBitmaps(const TdvxRegionSource& source, int w, int h);
// The built-in styles' region: upper corners rounded by roundCorner, lower ones by
// roundCornerBottom (-1 counts as 0).
platform::HRGN FrameRoundRegion(int w, int h, int roundCorner, int roundCornerBottom);

// What a skinned frame paints around its window under a file theme.
struct TdvxSkinFrame {
    TdvxFileTheme* theme = nullptr;
    TdvxTitleBar* titleBar = nullptr;
    int L = 0, R = 0, B = 0;    // the skin's left, right and bottom border sizes
    int menuHeight = 0;         // the menu bar's height under the title bar, 0 when none shows
    TColor menuBarColor = 0, menuBarToColor = 0, menuBarFace = 0;
    bool bottomRegion = false;  // the bottom border's key colour is cut out of the window
    TColor transparent = DVX_KEY_COLOR;
    TBitmap* bottomBorder = nullptr;  // composed here, then kept for the region
};
// Paints the frame (the strips beside and above the title bar, the side borders and the
// bottom border, in window coordinates of a w x h window) onto c. The single form frame and
// the MDI frame both paint through it.
void PaintSkinFrame(platform::TCanvas* c, int w, int h, const TdvxSkinFrame& frame);

class TdvxForm : public TdvxControl<platform::TCustomPanel>, public IdvxMenuFrame, public IdvxMenuBarFrame {
public:
    // An owner that is not a form leaves a plain panel (no title bar, no hook). A second
    // frame on one form raises EInvalidOperation.
    explicit TdvxForm(platform::TComponent* owner);
    ~TdvxForm() override;
    bool IsFormFrame() const override { return form_ != nullptr; }
    void Dispatch(platform::TMessage& message) override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;

    TdvxTitleBar* TitleBar() const { return titleBar_; }
    platform::TCustomForm* Form() const { return form_; }

    bool TitleBarCustom() const { return titleBar_ && titleBar_->Custom(); }
    void SetTitleBarCustom(bool value);
    bool UIStyleAutoUpdateSub() const { return autoUpdateSub_; }
    void SetUIStyleAutoUpdateSub(bool value) { autoUpdateSub_ = value; }
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);
    bool TitleBarVisible() const { return titleBar_ && titleBar_->Visible(); }
    void SetTitleBarVisible(bool value);
    std::string Caption() const { return titleBar_ ? titleBar_->Caption() : std::string(); }
    void SetCaption(const std::string& value);
    platform::TCustomPanel* FormPanel() const { return formPanel_; }
    // The frame itself is refused with a message.
    void SetFormPanel(platform::TCustomPanel* value);
    bool TitleBarDrawAppIcon() const { return !titleBar_ || titleBar_->DrawAppIcon(); }
    void SetTitleBarDrawAppIcon(bool value);
    platform::TMainMenu* Menu() const { return menu_; }
    // Shows the menu in the frame's menu bar (made when missing); none removes the bar.
    void SetMenu(platform::TMainMenu* value);
    TColor MenuBarColor() const { return menuBarColor_; }
    void SetMenuBarColor(TColor value);
    TColor MenuBarToColor() const { return menuBarToColor_; }
    void SetMenuBarToColor(TColor value);
    // The bar's height while it shows, else 0. Setting stores the height a new bar gets
    // and sizes the bar and its buttons.
    int MenuBarHeight() const { return menuBar_ && menuBar_->Visible() ? menuBar_->Height() : 0; }
    void SetMenuBarHeight(int value);
    TdvxMenuBar* MenuBar() const { return menuBar_; }

    // The menu-bar operations (the main menu calls the last three on its changes).
    // No bar is made for an MDI child: the MDI frame shows its menu.
    void CreateMenuBar();
    void DestroyMenuBar();
    void UpdateMenu() override;
    void UpdateTopMenu() override;
    void RepaintMenuBar() override;
    platform::TMainMenu* ShownMenu() const override { return menu_; }
    void DrawMenuBar(platform::TToolBar* sender, const platform::TRect& rect, bool& defaultDraw);
    void DrawButton(platform::TToolBar* sender, platform::TToolButton* button, platform::TCustomDrawState state,
                    bool& defaultDraw);
    bool GetMDIChild() const { return form_ && form_->FormStyle() == platform::fsMDIChild; }
    int RoundCorner() const { return titleBar_ && titleBar_->Visible() ? titleBar_->RoundCorner() : 0; }
    void SetRoundCorner(int value);
    int RoundCornerBottom() const { return titleBar_ && titleBar_->Visible() ? titleBar_->RoundCornerBottom() : 0; }
    void SetRoundCornerBottom(int value);
    TColor InactiveCaptionColor() const {
        return titleBar_ ? titleBar_->InactiveCaptionColor() : platform::clInactiveCaption;
    }
    void SetInactiveCaptionColor(TColor value);
    std::string Version() const { return "6.3"; }
    void AddHelpButton();

    // Measured sizes: the skin's borders and the frame the form keeps.
    int SkinLeft() const { return L_; }
    int SkinRight() const { return R_; }
    int SkinBottom() const { return B_; }
    int SysLeft() const { return sysL_; }
    int SysBottom() const { return sysB_; }

    // Paints the non-client frame into the form's window DC.
    void PaintFormBorder();
    // Gives the window its region.
    void RegionWindow();
    // A minimised MDI child: paints its caption strip (the title bar's look, the caption and
    // the restore, maximise and close buttons) into the window.
    void PaintMinimised();
    // 1 when the focused, active form's menu knows the key of message as a shortcut.
    void ProcessKeyPress(platform::TMessage& message);
    // Puts the caption bits off again when the form got them back.
    void ReAssign();

protected:
    void UIStyleChanged() override;
    void PaintBuffer(platform::TCanvas* canvas) override;
    void Resize() override;

private:
    static platform::LRESULT HookProc(platform::HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                                      platform::LPARAM lParam);
    platform::LRESULT NewParentWndProc(platform::UINT msg, platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT CallPrevious(platform::UINT msg, platform::WPARAM wParam, platform::LPARAM lParam);
    void InstallHook();
    void RemoveHook();
    void OnApplicationMessage(platform::MSG& msg, bool& handled);
    void ClearCaptionBits();
    void FrameChanged();
    void PaintBuiltInBorder(platform::TCanvas* c, int w, int h);
    void PaintSkinBorder(platform::TCanvas* c, int w, int h);
    void PaintMenuStrip(platform::TCanvas* c, const platform::TRect& r);
    void MDIChildSized(platform::HWND h);
    platform::LRESULT SizingHitTest(platform::LPARAM lParam, platform::LRESULT hit) const;

    platform::TCustomForm* form_ = nullptr;
    TdvxTitleBar* titleBar_ = nullptr;
    std::unique_ptr<platform::TApplicationEvents> appEvents_;
    platform::HWND hooked_ = nullptr;
    platform::WNDPROC previous_ = nullptr;
    bool closing_ = false;
    bool autoUpdateSub_ = false;
    TColor borderColor_ = 0;
    int borderWidth_ = 1;
    platform::TCustomPanel* formPanel_ = nullptr;
    platform::TMainMenu* menu_ = nullptr;
    TdvxMenuBar* menuBar_ = nullptr;
    TColor menuBarColor_ = 0, menuBarToColor_ = 0;
    int menuBarHeight_ = 22;
    bool mdiMaximised_ = false, mdiRestoredOnce_ = false, mdiStartedMaximised_ = false;
    int L_ = 0, R_ = 0, B_ = 0, sysL_ = 4, sysB_ = 4;
    std::unique_ptr<TBitmap> bottomBorder_;
    TColor transColor_ = DVX_KEY_COLOR;
    bool titleRegion_ = false, bottomRegion_ = false;
    int titleMin_ = 0, titleMax_ = 0, bottomMin_ = 0, bottomMax_ = 0;
    platform::TFormBorderStyle createdBorderStyle_ = platform::bsSizeable;
    platform::TRect creationBounds_;
    bool pendingMaximise_ = false;
    bool sawMaximised_ = false;
    bool wantedTitleVisible_ = true;
    bool hookTogglesTitle_ = false;
};

}  // namespace skinctrl
