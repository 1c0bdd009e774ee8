#pragma once
// Menus: the menu handles and the popup-menu loop under their Windows names
// (CreatePopupMenu, AppendMenuA, TrackPopupMenu, ...), and the class library's menu
// components over them (TMenuItem, TMenu, TPopupMenu, TMainMenu, shortcuts).
//
// TrackPopupMenu shows the menu as a popup window (an override-redirect window on X11)
// with the pointer captured (grabbed) and runs its own loop until an item is chosen or the
// menu is dismissed: arrows move between items (skipping separators) and open or close
// submenus, a letter after "&" runs its item, Escape closes one level, Enter runs the
// highlighted item; a click outside every level closes the menu and goes nowhere else;
// disabled items are never run. Levels that would leave the screen flip to the other side
// of their point. Owner-drawn items (MF_OWNERDRAW) are measured and drawn by the owner
// window through WM_MEASUREITEM and WM_DRAWITEM.
#include <functional>
#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/windows/ownerdraw.h"

namespace platform {

class TCustomImageList;

constexpr UINT MF_STRING = 0x0000, MF_GRAYED = 0x0001, MF_DISABLED = 0x0002, MF_CHECKED = 0x0008, MF_POPUP = 0x0010,
               MF_OWNERDRAW = 0x0100, MF_BYCOMMAND = 0x0000, MF_BYPOSITION = 0x0400, MF_SEPARATOR = 0x0800,
               MF_DEFAULT = 0x1000, MF_ENABLED = 0x0000, MF_UNCHECKED = 0x0000;
constexpr UINT TPM_LEFTALIGN = 0x0000, TPM_RIGHTBUTTON = 0x0002, TPM_CENTERALIGN = 0x0004, TPM_RIGHTALIGN = 0x0008,
               TPM_TOPALIGN = 0x0000, TPM_VCENTERALIGN = 0x0010, TPM_BOTTOMALIGN = 0x0020, TPM_NONOTIFY = 0x0080,
               TPM_RETURNCMD = 0x0100;

// The class name of a menu's popup window.
constexpr const char* kMenuWindowClass = "#32768";

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and its submenus.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// id is the command, or the submenu (an HMENU) with MF_POPUP; with MF_OWNERDRAW, text is
// kept as the item's data (itemData of the owner-draw messages).
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, const char* text);
BOOL AppendMenuOwnerDraw(HMENU menu, UINT flags, UINT_PTR id, ULONG_PTR data);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int pos);
HMENU GetSubMenu(HMENU menu, int pos);
int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// Returns the previous state (MF_GRAYED/MF_DISABLED, MF_CHECKED), or -1 for no such item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT enable);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
// Runs the menu at the screen point. With TPM_RETURNCMD returns the chosen command (0 when
// none); otherwise the command is posted to owner as WM_COMMAND and TRUE is returned.
// FALSE while another menu runs.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
// Ends the menu that runs, choosing nothing.
BOOL EndMenu();
// The top-level popup window of the running menu (its first level), or null.
HWND ActiveMenuWindow();

// ---------------------------------------------------------------- class library

// A shortcut: a virtual key with scShift, scCtrl and scAlt.
using TShortCut = WORD;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;
TShortCut ShortCut(WORD key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift);
// "Ctrl+S", "Shift+Del", "F5", ...; and back (0 when the text names no shortcut).
std::string ShortCutToText(TShortCut shortCut);
TShortCut TextToShortCut(const std::string& text);
// The caption without its accelerator marks ("&&" stays one "&").
std::string StripHotkey(const std::string& caption);

class TMenu;

enum TOwnerDrawStateFlag : unsigned {
    odSelected = 1,
    odGrayed = 2,
    odDisabled = 4,
    odChecked = 8,
    odFocused = 16,
    odDefault = 32,
    odComboBoxEdit = 64,
};
using TOwnerDrawState = unsigned;

using TMenuDrawItemEvent = std::function<void(TObject* sender, TCanvas* canvas, TRect rect, bool selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* sender, TCanvas* canvas, TRect rect, TOwnerDrawState state)>;
using TMenuMeasureItemEvent = std::function<void(TObject* sender, TCanvas* canvas, int& width, int& height)>;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value);
    bool Checked() const { return checked_; }
    void SetChecked(bool value);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    bool Default() const { return default_; }
    void SetDefault(bool value);
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut value);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int value);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value) { hint_ = value; }
    bool IsLine() const { return caption_ == "-"; }

    int Count() const { return int(items_.size()); }
    TMenuItem* Items(int index) const;
    TMenuItem* operator[](int index) const { return Items(index); }
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes the item out (it is not freed).
    void Remove(TMenuItem* item);
    // Frees the item at index.
    void Delete(int index);
    // Frees every sub-item.
    void Clear();
    int IndexOf(const TMenuItem* item) const;
    int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
    TMenuItem* Parent() const { return parent_; }
    TMenu* GetParentMenu() const;
    // The sub-item (at any depth) with this command number, or null.
    TMenuItem* FindItem(UINT command);
    // The command number the item has in a running menu.
    UINT Command() const { return command_; }

    virtual void Click();
    // Measures and draws the item when its menu is owner-drawn (the events decide; without
    // them the item is measured and drawn as a plain one).
    virtual void MeasureItem(TCanvas* canvas, int& width, int& height);
    virtual void AdvancedDrawItem(TCanvas* canvas, TRect rect, TOwnerDrawState state);

    TNotifyEvent OnClick;
    TMenuDrawItemEvent OnDrawItem;
    TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;
    TMenuMeasureItemEvent OnMeasureItem;

protected:
    void Changed(bool rebuild);

private:
    friend class TMenu;
    std::string caption_;
    std::string hint_;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool default_ = false;
    TShortCut shortCut_ = 0;
    int imageIndex_ = -1;
    UINT command_ = 0;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on a menu's root item
    std::vector<TMenuItem*> items_;
};

// Draws an item as the plain menus do (text, shortcut, check mark) into rect.
void DrawMenuItem(TMenuItem* item, TCanvas* canvas, TRect rect, TOwnerDrawState state);

using TMenuChangeEvent = std::function<void(TObject* sender, TMenuItem* source, bool rebuild)>;

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    TMenuItem* Items() const { return items_; }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* value);
    bool OwnerDraw() const { return ownerDraw_; }
    virtual void SetOwnerDraw(bool value) { ownerDraw_ = value; }
    TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(TBiDiMode value) { biDiMode_ = value; }
    // Runs the enabled, visible item with this shortcut; true when one ran.
    bool IsShortCut(WORD key, TShiftState shift);
    // The item of a command number from the last menu shown, or null.
    TMenuItem* FindItem(UINT command) { return items_->FindItem(command); }
    // Builds the menu's handle for TrackPopupMenu (owner draw as OwnerDraw says); the
    // caller destroys it.
    HMENU BuildHandle();
    // The window that receives the owner-draw messages of the menu shown.
    HWND PopupOwner();
    void Notification(TComponent* component, TOperation operation) override;

    TMenuChangeEvent OnChange;

protected:
    friend class TMenuItem;
    virtual void MenuChanged(TObject* sender, TMenuItem* source, bool rebuild);

private:
    void AddItems(HMENU menu, TMenuItem* item, UINT& next);
    TMenuItem* items_ = nullptr;
    TCustomImageList* images_ = nullptr;
    bool ownerDraw_ = false;
    TBiDiMode biDiMode_ = bdLeftToRight;
    HWND popupOwner_ = nullptr;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* owner);
    // Shows the menu at a screen point and runs the chosen item's Click (after the menu has
    // closed); returns when the menu is gone.
    virtual void Popup(int x, int y);
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool value) { autoPopup_ = value; }
    TPopupAlignment Alignment() const { return alignment_; }
    void SetAlignment(TPopupAlignment value) { alignment_ = value; }
    // The control that showed the menu (its right click or Apps key), or what the caller set.
    TComponent* PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(TComponent* value) { popupComponent_ = value; }
    void Notification(TComponent* component, TOperation operation) override;

    TNotifyEvent OnPopup;

protected:
    virtual void DoPopup(TObject* sender);

private:
    bool autoPopup_ = true;
    TPopupAlignment alignment_ = paLeft;
    TComponent* popupComponent_ = nullptr;
};

class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
};

}  // namespace platform
