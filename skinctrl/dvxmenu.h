#pragma once
// Skinned menus: owner-drawn menus of the platform whose items the menu object measures and
// paints itself, in the style's colours, with an optional bar on the reading-start side, a
// check mark or image, the caption and the shortcut text.
//
//   Menu_*            the drawing primitives the popup menu, the main menu and the form
//                     frame's menu bar share
//   TdvxMenuLook      the appearance every skinned menu carries and the item measuring and
//                     drawing over it
//   TdvxPopupMenu     the skinned context menu; Popup(x, y) runs the platform's popup loop
//
// A window resource sets the appearance after construction, over what the style set: the
// program's menus set BarWidth 0, Color white, SelectedColor 0xA04A44 and so on by hand.
#include <string>

#include "platform/controls/menus.h"
#include "platform/graphics/imglist.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using platform::TMenuItem;

// ---- primitives ----

// Sets the item's draw and measure events, then those of its sub-items, recursively.
void Menu_SetItemEvent(TMenuItem* item, const platform::TMenuDrawItemEvent& onDrawItem,
                       const platform::TMenuMeasureItemEvent& onMeasureItem);
void Menu_DrawBorder(TCanvas* canvas, const TRect& rect, TColor color);
void Menu_DrawBackGround(TCanvas* canvas, const TRect& rect, TColor color);
// The separator: a line in color 2 pixels below rect's top, clear of the bar.
void Menu_DrawLineItem(TCanvas* canvas, const TRect& rect, TColor color, int barWidth, bool leftToRight);
// The MacOS pictures ("MACOS_MENU_BAR" cut to 12 or 20 rows, "MACOS_MENU_SELECT" cut to 20),
// stretched over rect.
void Menu_DrawMacOSLineItem(TCanvas* canvas, const TRect& rect);
void Menu_DrawMacOSSelectedItem(TCanvas* canvas, const TRect& rect);
void Menu_DrawMacOSNonSelectedItem(TCanvas* canvas, const TRect& rect);
// A flat border over the whole menu window, drawn inside it: a frame in borderColor, a white
// frame inside that, and the top and right edges in shadeColor.
void Menu_DrawWindowBorder(platform::HWND window, TColor borderColor, TColor shadeColor);
// The system's menu font; the platform keeps no such setting, so the font stays as it is.
void Menu_GetSystemFont(TFont* font);

// The shared check-mark picture ("MENU_CHECKED", white masked), one for the whole run.
platform::TCustomImageList* MenuCheckedImages();

// ---- appearance ----

class TdvxMenuLook {
public:
    int MenuItemHeight() const { return menuItemHeight_; }
    int SeparatorHeight() const { return separatorHeight_; }
    int BarWidth() const { return barWidth_; }
    void SetBarWidth(int value) { barWidth_ = value; }
    TColor BarColor() const { return barColor_; }
    void SetBarColor(TColor value) { barColor_ = value; }
    TColor BarToColor() const { return barToColor_; }
    void SetBarToColor(TColor value) { barToColor_ = value; }
    TColor Color() const { return color_; }
    void SetColor(TColor value) { color_ = value; }
    TColor SeparatorColor() const { return separatorColor_; }
    void SetSeparatorColor(TColor value) { separatorColor_ = value; }
    TColor SelectedBorderColor() const { return selectedBorderColor_; }
    void SetSelectedBorderColor(TColor value) { selectedBorderColor_ = value; }
    TColor SelectedColor() const { return selectedColor_; }
    void SetSelectedColor(TColor value) { selectedColor_ = value; }
    TColor SelectedFontColor() const { return selectedFontColor_; }
    void SetSelectedFontColor(TColor value) { selectedFontColor_ = value; }
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor value) { fontColor_ = value; }
    // Stored only; nothing draws with it.
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value) { borderColor_ = value; }
    bool FlatMenu() const { return flatMenu_; }
    void SetFlatMenu(bool value) { flatMenu_ = value; }
    const std::string& FontName() const { return fontName_; }
    void SetFontName(const std::string& value) { fontName_ = value; }
    int FontSize() const { return fontSize_; }
    void SetFontSize(int value) { fontSize_ = value; }
    platform::TFontCharset FontCharset() const { return fontCharset_; }
    void SetFontCharset(platform::TFontCharset value) { fontCharset_ = value; }
    bool UseSystemFont() const { return useSystemFont_; }

protected:
    virtual ~TdvxMenuLook() = default;
    // The style's heights, separator colour, bar and item colours (from the file theme when
    // one paints, else from the built-in table).
    void ApplyStyle(TdvxUIStyle uiStyle, TdvxFileTheme* fileTheme);
    void MeasureMenuItem(TMenuItem* item, TCanvas* canvas, int& width, int& height) const;
    // images: the user's pictures (ImageIndex); checkImages: the picture drawn for a checked
    // item without one of its own.
    void DrawMenuItem(TMenuItem* item, TCanvas* canvas, const TRect& rect, bool selected, platform::TBiDiMode biDiMode,
                      platform::TCustomImageList* images, platform::TCustomImageList* checkImages, TdvxUIStyle uiStyle,
                      TdvxFileTheme* fileTheme) const;
    void PaintBar(TCanvas* canvas, const TRect& rect, bool leftToRight) const;

    int menuItemHeight_ = 21;
    int separatorHeight_ = 21;
    int barWidth_ = 0;
    TColor barColor_ = platform::clBtnFace;
    TColor barToColor_ = platform::clBtnFace;
    TColor color_ = platform::clWhite;
    TColor separatorColor_ = 0x808080;
    TColor selectedBorderColor_ = platform::clHighlight;
    TColor selectedColor_ = platform::clHighlight;
    TColor selectedFontColor_ = platform::clWhite;
    TColor fontColor_ = platform::clWhite;
    TColor borderColor_ = platform::clBlack;
    bool flatMenu_ = false;
    std::string fontName_ = "MS Sans Serif";
    int fontSize_ = 8;
    platform::TFontCharset fontCharset_ = platform::DEFAULT_CHARSET;
    bool useSystemFont_ = true;
};

// ---- popup menu ----

class TdvxPopupMenu : public platform::TPopupMenu, public TdvxMenuLook, public IdvxStyled {
public:
    explicit TdvxPopupMenu(platform::TComponent* owner);
    ~TdvxPopupMenu() override;

    TdvxUIStyle GetUIStyle() const override { return uiStyle_; }
    // Takes the style's heights and colours (over anything set before).
    void SetUIStyle(TdvxUIStyle value) override;
    TdvxFileTheme* GetFileTheme() const override { return fileTheme_; }
    void SetFileTheme(TdvxFileTheme* value) override;
    // Ignored under MacOS.
    void SetHeight(int value);
    void SetSeparatorHeight(int value);
    void SetUseSystemFont(bool value) { useSystemFont_ = value; }
    // Always owner-drawn: writing is ignored.
    void SetOwnerDraw(bool value) override;

    void Loaded() override;
    void Notification(platform::TComponent* component, platform::TOperation operation) override;
    // Hooks every item's draw and measure events.
    void MenuAdded();

    // The item handlers the menu hooks into its items.
    void DrawItem(platform::TObject* sender, TCanvas* canvas, TRect rect, bool selected);
    void MeasureItem(platform::TObject* sender, TCanvas* canvas, int& width, int& height);

private:
    void Hook(TMenuItem* item);
    TdvxUIStyle uiStyle_;
    TdvxFileTheme* fileTheme_ = nullptr;
};

}  // namespace skinctrl
