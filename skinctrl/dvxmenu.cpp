// The skinned menus' drawing: primitives, the style rule, item measuring and drawing, and the
// popup menu that hooks its items.
#include "skinctrl/dvxmenu.h"

#include <algorithm>

#include "platform/core/exceptions.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/gdi.h"
#include "platform/graphics/resources.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

using namespace platform;

// ---------------------------------------------------------------- primitives

void Menu_SetItemEvent(TMenuItem* item, const TMenuDrawItemEvent& onDrawItem, const TMenuMeasureItemEvent& onMeasureItem) {
    if (!item) return;
    item->OnDrawItem = onDrawItem;
    item->OnMeasureItem = onMeasureItem;
    for (int i = 0; i < item->Count(); ++i) Menu_SetItemEvent(item->Items(i), onDrawItem, onMeasureItem);
}

void Menu_DrawBorder(TCanvas* canvas, const TRect& rect, TColor color) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    canvas->FrameRect(rect);
}

void Menu_DrawBackGround(TCanvas* canvas, const TRect& rect, TColor color) {
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    canvas->FillRect(rect);
}

void Menu_DrawLineItem(TCanvas* canvas, const TRect& rect, TColor color, int barWidth, bool leftToRight) {
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetColor(color);
    int y = rect.top + 2;
    if (leftToRight) {
        canvas->MoveTo(rect.left + barWidth + 4, y);
        canvas->LineTo(rect.right - 2, y);
    } else {
        canvas->MoveTo(rect.left + 2, y);
        canvas->LineTo(rect.right - barWidth - 4, y);
    }
}

namespace {

// The named picture with its height cut to rows, stretched over rect.
void DrawCut(TCanvas* canvas, const TRect& rect, const char* name, int rows) {
    EnsureStyleResources();
    TBitmap picture;
    try {
        picture.LoadFromResourceName(HInstance, name);
    } catch (const Exception&) {
        return;
    }
    if (picture.Height() > rows) picture.SetHeight(rows);
    canvas->StretchDraw(rect, &picture);
}

}  // namespace

void Menu_DrawMacOSLineItem(TCanvas* canvas, const TRect& rect) { DrawCut(canvas, rect, "MACOS_MENU_BAR", 12); }
void Menu_DrawMacOSSelectedItem(TCanvas* canvas, const TRect& rect) { DrawCut(canvas, rect, "MACOS_MENU_SELECT", 20); }
void Menu_DrawMacOSNonSelectedItem(TCanvas* canvas, const TRect& rect) { DrawCut(canvas, rect, "MACOS_MENU_BAR", 20); }

void Menu_DrawWindowBorder(HWND window, TColor borderColor, TColor shadeColor) {
    if (!window || !IsWindow(window)) return;
    // Inside the menu window itself: the display offers no DC over the whole screen.
    HDC dc = GetWindowDC(window);
    if (!dc) return;
    RECT wr;
    GetWindowRect(window, &wr);
    int l = 0, t = 0, r = wr.right - wr.left, b = wr.bottom - wr.top;
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(borderColor);
    canvas.FrameRect(TRect(l, t + 1, r - 1, b - 1));
    canvas.Brush()->SetColor(clWhite);
    canvas.FrameRect(TRect(l + 1, t + 2, r - 2, b - 2));
    canvas.Pen()->SetStyle(psSolid);
    canvas.Pen()->SetWidth(1);
    canvas.Pen()->SetColor(shadeColor);
    canvas.MoveTo(l, b - 1);
    canvas.LineTo(r - 1, b - 1);
    canvas.LineTo(r - 1, t);
    canvas.LineTo(r, t);
    canvas.LineTo(l, t);
    canvas.SetHandle(nullptr);
    ReleaseDC(window, dc);
}

void Menu_GetSystemFont(TFont* /*font*/) {}

void AddMenuCheckedPicture(TCustomImageList* images) {
    EnsureStyleResources();
    TBitmap mark;
    try {
        mark.LoadFromResourceName(HInstance, "MENU_CHECKED");
        mark.SetTransparent(true);
        images->AddMasked(&mark, clWhite);
    } catch (const Exception&) {
        // No picture: checked items show no mark rather than failing to draw.
    }
}

TCustomImageList* MenuCheckedImages() {
    static TCustomImageList* list = [] {
        auto* images = new TCustomImageList(16, 16);
        AddMenuCheckedPicture(images);
        return images;
    }();
    return list;
}

// ---------------------------------------------------------------- appearance

void TdvxMenuLook::ApplyStyle(TdvxUIStyle uiStyle, TdvxFileTheme* fileTheme) {
    barWidth_ = 26;
    if (uiStyle == MacOS) {
        menuItemHeight_ = 20;
        separatorHeight_ = 12;
        separatorColor_ = clBlack;
    } else {
        menuItemHeight_ = 21;
        separatorHeight_ = 5;
        separatorColor_ = 0x848284;
    }
    TdvxUIStyle style;
    if (UsingFileTheme(fileTheme, uiStyle, style)) {
        barColor_ = fileTheme->GetColor(SKIN2_LEFTBARSTARTCOLOR);
        barToColor_ = fileTheme->GetColor(SKIN2_LEFTBARENDCOLOR);
        color_ = fileTheme->GetColor(SKIN2_MENUITEMCOLOR);
        fontColor_ = fileTheme->GetColor(SKIN2_MENUITEMFONTCOLOR);
        selectedBorderColor_ = fileTheme->GetColor(SKIN2_SELECTEDMENUBORDERCOLOR);
        selectedColor_ = fileTheme->GetColor(SKIN2_SELECTEDMENUCOLOR);
        selectedFontColor_ = fileTheme->GetColor(SKIN2_SELECTEDMENUFONTCOLOR);
    } else {
        barColor_ = barToColor_ = GetInsideThemeColor(style, DVX_THEME_MENU_BAR_COLOR);
        color_ = GetInsideThemeColor(style, DVX_THEME_MENU_COLOR);
        fontColor_ = GetInsideThemeColor(style, DVX_THEME_MENU_FONT_COLOR);
        selectedBorderColor_ = GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_BORDER_COLOR);
        selectedColor_ = GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_COLOR);
        selectedFontColor_ = GetInsideThemeColor(style, DVX_THEME_MENU_SELECTED_FONT_COLOR);
    }
}

void TdvxMenuLook::MeasureMenuItem(TMenuItem* item, TCanvas* canvas, int& width, int& height) const {
    if (!item || !canvas) return;
    TSize caption = canvas->TextExtent(item->Caption());
    height = item->Caption() == "-" ? separatorHeight_ : std::max(int(caption.cy), menuItemHeight_);
    std::string keys = ShortCutToText(item->ShortCut());
    width = int(caption.cx) + (keys.empty() ? 0 : canvas->TextWidth(keys)) + barWidth_ + 40;
}

void TdvxMenuLook::PaintBar(TCanvas* canvas, const TRect& rect, bool leftToRight) const {
    TRect rest = rect;
    if (barWidth_ > 0) {
        TRect bar = leftToRight ? TRect(rect.left, rect.top, rect.left + barWidth_, rect.bottom)
                                : TRect(rect.right - barWidth_, rect.top, rect.right, rect.bottom);
        if (barColor_ == barToColor_)
            Menu_DrawBackGround(canvas, bar, barColor_);
        else
            DrawVerticalGradient(canvas, bar, barColor_, barToColor_);
        if (leftToRight)
            rest.left = bar.right;
        else
            rest.right = bar.left;
    }
    Menu_DrawBackGround(canvas, rest, color_);
}

void TdvxMenuLook::DrawMenuItem(TMenuItem* item, TCanvas* canvas, const TRect& rect, bool selected, TBiDiMode biDiMode,
                                TCustomImageList* images, TCustomImageList* checkImages, TdvxUIStyle uiStyle,
                                TdvxFileTheme* fileTheme) const {
    if (!item || !canvas) return;
    bool leftToRight = biDiMode == bdLeftToRight || !SysLocale.MiddleEast;
    TdvxUIStyle style;
    bool themed = UsingFileTheme(fileTheme, uiStyle, style);
    bool mac = !themed && style == MacOS;
    if (flatMenu_) {
        if (HWND window = ActiveMenuWindow())
            Menu_DrawWindowBorder(window, clBlack,
                                  themed ? fileTheme->GetColor(SKIN2_FORMCOLOR) : GetInsideThemeColor(style, DVX_THEME_FORM_COLOR));
    }
    if (item->Caption() == "-") {
        if (mac) {
            Menu_DrawMacOSLineItem(canvas, rect);
        } else {
            PaintBar(canvas, rect, leftToRight);
            Menu_DrawLineItem(canvas, rect, separatorColor_, barWidth_, leftToRight);
        }
        return;
    }
    bool enabled = item->Enabled();
    bool highlighted = selected && enabled;
    if (highlighted) {
        if (mac) {
            Menu_DrawMacOSSelectedItem(canvas, rect);
        } else {
            Menu_DrawBackGround(canvas, rect, selectedColor_);
            Menu_DrawBorder(canvas, rect, selectedBorderColor_);
        }
    } else if (mac) {
        Menu_DrawMacOSNonSelectedItem(canvas, rect);
    } else {
        PaintBar(canvas, rect, leftToRight);
    }

    TFont* font = canvas->Font();
    if (useSystemFont_) {
        Menu_GetSystemFont(font);
    } else {
        font->SetName(fontName_);
        font->SetSize(fontSize_);
        font->SetCharset(fontCharset_);
    }
    canvas->Brush()->SetStyle(bsClear);
    font->SetColor(!enabled ? TColor(0x808080) : selected ? selectedFontColor_ : fontColor_);
    // A new style is a new font: only for the default item.
    if (item->Default() && !font->Style().Contains(fsBold)) font->SetStyle(font->Style() + TFontStyles{fsBold});

    HDC dc = TextDC(canvas);
    SetBkMode(dc, TRANSPARENT);
    RECT caption = leftToRight ? RECT{rect.left + barWidth_ + 4, rect.top, rect.right, rect.bottom}
                               : RECT{rect.left + barWidth_, rect.top, rect.right - 4, rect.bottom};
    DrawText(dc, item->Caption(), &caption, DT_SINGLELINE | DT_VCENTER | (leftToRight ? DT_LEFT : DT_RIGHT));
    std::string keys = ShortCutToText(item->ShortCut());
    if (!keys.empty()) {
        RECT k = leftToRight ? RECT{rect.right - canvas->TextWidth(keys) - 16, rect.top, rect.right, rect.bottom}
                             : RECT{rect.left + barWidth_ + 4, rect.top, rect.right, rect.bottom};
        DrawText(TextDC(canvas), keys, &k, DT_SINGLELINE | DT_VCENTER);
    }

    int x = leftToRight ? rect.left + 4 : rect.right - 20;
    int index = item->ImageIndex();
    bool hasImage = index != -1 && images && index >= 0 && index < images->Count();
    if (item->Checked()) {
        if (hasImage) {
            Menu_DrawBackGround(canvas, TRect(x - 2, rect.top + 1, x + 17, rect.top + 20), clBlack);
            Menu_DrawBackGround(canvas, TRect(x - 1, rect.top + 2, x + 16, rect.top + 19), selectedColor_);
        } else if (checkImages && checkImages->Count() > 0) {
            checkImages->Draw(canvas, x, rect.top + 3, 0, enabled);
        }
    }
    if (hasImage) images->Draw(canvas, x, rect.top + 3, index, enabled);
}

// ---------------------------------------------------------------- popup menu

TdvxPopupMenu::TdvxPopupMenu(TComponent* owner) : TPopupMenu(owner), uiStyle_(GetDVXFormStyle(owner)) {
    TPopupMenu::SetOwnerDraw(true);
    ApplyStyle(uiStyle_, fileTheme_);
}

TdvxPopupMenu::~TdvxPopupMenu() { detail::LinkFileTheme(this, fileTheme_, nullptr); }

void TdvxPopupMenu::SetUIStyle(TdvxUIStyle value) {
    uiStyle_ = value;
    ApplyStyle(uiStyle_, fileTheme_);
}

void TdvxPopupMenu::SetFileTheme(TdvxFileTheme* value) {
    detail::LinkFileTheme(this, fileTheme_, value);
    SetUIStyle(uiStyle_);
}

void TdvxPopupMenu::SetHeight(int value) {
    if (uiStyle_ != MacOS) menuItemHeight_ = value;
}

void TdvxPopupMenu::SetSeparatorHeight(int value) {
    if (uiStyle_ != MacOS) separatorHeight_ = value;
}

void TdvxPopupMenu::SetOwnerDraw(bool /*value*/) {}

void TdvxPopupMenu::Loaded() {
    TPopupMenu::Loaded();
    MenuAdded();
}

void TdvxPopupMenu::MenuAdded() {
    for (int i = 0; i < Items()->Count(); ++i) Hook(Items()->Items(i));
}

void TdvxPopupMenu::Hook(TMenuItem* item) {
    Menu_SetItemEvent(
        item, [this](TObject* sender, TCanvas* canvas, TRect rect, bool selected) { DrawItem(sender, canvas, rect, selected); },
        [this](TObject* sender, TCanvas* canvas, int& width, int& height) { MeasureItem(sender, canvas, width, height); });
}

void TdvxPopupMenu::Notification(TComponent* component, TOperation operation) {
    TPopupMenu::Notification(component, operation);
    if (operation == opRemove && fileTheme_ && detail::IsTheme(component, fileTheme_)) {
        fileTheme_ = nullptr;
        SetUIStyle(DeepBlue);
    } else if (operation == opInsert) {
        if (auto* item = dynamic_cast<TMenuItem*>(component)) Hook(item);
    }
}

void TdvxPopupMenu::DrawItem(TObject* sender, TCanvas* canvas, TRect rect, bool selected) {
    DrawMenuItem(dynamic_cast<TMenuItem*>(sender), canvas, rect, selected, BiDiMode(), Images(), MenuCheckedImages(),
                 uiStyle_, fileTheme_);
}

void TdvxPopupMenu::MeasureItem(TObject* sender, TCanvas* canvas, int& width, int& height) {
    MeasureMenuItem(dynamic_cast<TMenuItem*>(sender), canvas, width, height);
}

// ---------------------------------------------------------------- main menu

TdvxMainMenu::TdvxMainMenu(TComponent* owner) : TMainMenu(owner), uiStyle_(GetDVXFormStyle(owner)) {
    checkImages_ = new TCustomImageList(16, 16);
    AddMenuCheckedPicture(checkImages_);
    TMainMenu::SetImages(checkImages_);
    TMainMenu::SetOwnerDraw(true);
    ApplyStyle(uiStyle_, fileTheme_);
    // The form's native menu bar never shows this menu: the skinned frame does.
    if (auto* form = dynamic_cast<TCustomForm*>(owner)) form->SetMenu(nullptr);
}

TdvxMainMenu::~TdvxMainMenu() {
    detail::LinkFileTheme(this, fileTheme_, nullptr);
    TMainMenu::SetImages(nullptr);
    delete checkImages_;
}

void TdvxMainMenu::SetUIStyle(TdvxUIStyle value) {
    uiStyle_ = value;
    ApplyStyle(uiStyle_, fileTheme_);
}

void TdvxMainMenu::SetFileTheme(TdvxFileTheme* value) {
    detail::LinkFileTheme(this, fileTheme_, value);
    SetUIStyle(uiStyle_);
}

void TdvxMainMenu::SetSeparatorHeight(int value) {
    if (uiStyle_ != MacOS) separatorHeight_ = value;
}

void TdvxMainMenu::SetUseSystemFont(bool value) {
    useSystemFont_ = value;
    if (skinnedForm_) skinnedForm_->RepaintMenuBar();
}

void TdvxMainMenu::SetOwnerDraw(bool /*value*/) {}

TCustomImageList* TdvxMainMenu::Images() const {
    TCustomImageList* images = TMainMenu::Images();
    return images == checkImages_ ? nullptr : images;
}

void TdvxMainMenu::SetImages(TCustomImageList* value) { TMainMenu::SetImages(value ? value : checkImages_); }

void TdvxMainMenu::Loaded() {
    TMainMenu::Loaded();
    MenuAdded();
}

void TdvxMainMenu::MenuAdded() {
    for (int i = 0; i < Items()->Count(); ++i) Hook(Items()->Items(i));
    if (skinnedForm_) skinnedForm_->UpdateMenu();
}

void TdvxMainMenu::Hook(TMenuItem* item) {
    Menu_SetItemEvent(
        item, [this](TObject* sender, TCanvas* canvas, TRect rect, bool selected) { DrawItem(sender, canvas, rect, selected); },
        [this](TObject* sender, TCanvas* canvas, int& width, int& height) { MeasureItem(sender, canvas, width, height); });
}

void TdvxMainMenu::MenuChanged(TObject* sender, TMenuItem* source, bool rebuild) {
    TMainMenu::MenuChanged(sender, source, rebuild);
    if (!dynamic_cast<TCustomForm*>(Owner())) return;
    if (skinnedForm_) skinnedForm_->UpdateTopMenu();
}

void TdvxMainMenu::Notification(TComponent* component, TOperation operation) {
    TMainMenu::Notification(component, operation);
    if (operation == opRemove && fileTheme_ && detail::IsTheme(component, fileTheme_)) {
        fileTheme_ = nullptr;
        SetUIStyle(DeepBlue);
    } else if (operation == opInsert) {
        if (auto* item = dynamic_cast<TMenuItem*>(component)) Hook(item);
    }
}

void TdvxMainMenu::DrawItem(TObject* sender, TCanvas* canvas, TRect rect, bool selected) {
    DrawMenuItem(dynamic_cast<TMenuItem*>(sender), canvas, rect, selected, BiDiMode(), Images(), checkImages_, uiStyle_,
                 fileTheme_);
}

void TdvxMainMenu::MeasureItem(TObject* sender, TCanvas* canvas, int& width, int& height) {
    MeasureMenuItem(dynamic_cast<TMenuItem*>(sender), canvas, width, height);
}

}  // namespace skinctrl
