#pragma once
// The built-in styles of the skinned controls: the style enumeration, the entry types, the
// five 48-entry style tables, the lookups controls call while they paint, and the rule by
// which a new control picks its style from its form.
#include <cstdint>
#include <string>

#include "platform/core/classes.h"
#include "platform/graphics/graphics.h"

namespace skinctrl {

using platform::TBitmap;
using platform::TColor;
using platform::TComponent;

enum TdvxUIStyle : std::uint8_t { FromThemeFile = 0, MacOS = 1, WinXP = 2, DeepBlue = 3, Protein = 4, BlueGlass = 5 };
// The style's name as window resources stream it ("DeepBlue"); "" for a value outside.
std::string UIStyleName(TdvxUIStyle style);

enum TdvxType : std::uint8_t { Int = 0, Color = 1, Str = 2, Bool = 3 };

// Entry numbers of the style tables.
constexpr int DVX_THEME_BUTTON_IMAGE = 1;
constexpr int DVX_THEME_BUTTON_TRANSPARENT = 2;
constexpr int DVX_THEME_CHECKBOX_IMAGE = 3;
constexpr int DVX_THEME_RADIOBUTTON_IMAGE = 4;
constexpr int DVX_THEME_TITLEBUTTON_IMAGE = 5;
constexpr int DVX_THEME_TITLEBUTTON_TRANSPARENT = 6;
constexpr int DVX_THEME_TITLEBUTTON_LEFT_XOFFSET = 7;
constexpr int DVX_THEME_TITLEBUTTON_RIGHT_XOFFSET = 8;
constexpr int DVX_THEME_TITLEBUTTON_TOP = 9;
constexpr int DVX_THEME_TITLE_LEFT_IMAGE = 10;
constexpr int DVX_THEME_TITLE_CLIENT_IMAGE = 11;
constexpr int DVX_THEME_TITLE_RIGHT_IMAGE = 12;
constexpr int DVX_THEME_FORM_MIN_WIDTH = 13;
constexpr int DVX_THEME_FORM_ROUND_CORNER = 14;
constexpr int DVX_THEME_FORM_COLOR = 15;
constexpr int DVX_THEME_FORM_BORDER_COLOR = 16;
constexpr int DVX_THEME_FORM_BORDER_WIDTH = 17;
constexpr int DVX_THEME_MENU_SELECTED_BORDER_COLOR = 18;
constexpr int DVX_THEME_MENU_SELECTED_COLOR = 19;
constexpr int DVX_THEME_MENU_SELECTED_FONT_COLOR = 20;
constexpr int DVX_THEME_MENU_COLOR = 21;
constexpr int DVX_THEME_MENU_FONT_COLOR = 22;
constexpr int DVX_THEME_MENU_BAR_COLOR = 23;
constexpr int DVX_THEME_PROGRESSBAR_IMAGE = 24;
constexpr int DVX_THEME_CONTROL_BORDER_COLOR = 25;
constexpr int DVX_THEME_CONTROL_COLOR = 26;
constexpr int DVX_THEME_CONTROL_FONT_COLOR = 27;
constexpr int DVX_THEME_TRACKBAR_BAR_IMAGE = 28;
constexpr int DVX_THEME_TRACKBAR_SLIDER_IMAGE = 29;
constexpr int DVX_THEME_TRACKBAR_SLIDER_V_IMAGE = 30;
constexpr int DVX_THEME_SCROLLBAR_COLOR = 31;
constexpr int DVX_THEME_SCROLLBAR_BUTTON_IMAGE = 32;
constexpr int DVX_THEME_SCROLLBAR_TRACK_IMAGE = 33;
constexpr int DVX_THEME_CHECKLIST_IMAGE = 34;
constexpr int DVX_THEME_TOOLBAR_BUTTON_BORDER_COLOR = 35;
constexpr int DVX_THEME_TOOLBAR_BUTTON_COLOR = 36;
constexpr int DVX_THEME_TOOLBAR_BUTTON_DOWN_COLOR = 37;
constexpr int DVX_THEME_SCROLLBUTTON_IMAGE = 38;
constexpr int DVX_THEME_TAB_IMAGE = 39;
constexpr int DVX_THEME_TAB_LINE_IMAGE = 40;
constexpr int DVX_THEME_SIDECHANNEL_HANDLE_IMAGE = 41;
constexpr int DVX_THEME_SIDECHANNEL_BAR_IMAGE = 42;
constexpr int DVX_THEME_ENTRY_43 = 43;
constexpr int DVX_THEME_ENTRY_44 = 44;
constexpr int DVX_THEME_ENTRY_45 = 45;
constexpr int DVX_THEME_ENTRY_46 = 46;
constexpr int DVX_THEME_ENTRY_47 = 47;
constexpr int DVX_THEME_ENTRY_48 = 48;
constexpr int DVX_THEME_ENTRY_COUNT = 48;

// One cell of a style table: a number (Int, Color, Bool) or a bitmap resource name (Str).
struct TdvxCell {
    std::int32_t value;
    const char* name;
};

// The type of each entry 1..48 (index 0 is entry 1), shared by all styles.
extern const TdvxType DVX_ITEM_TYPE[DVX_THEME_ENTRY_COUNT];
// The five tables, MacOS .. BlueGlass (index 0 is entry 1).
extern const TdvxCell DVX_STYLE_TABLES[5][DVX_THEME_ENTRY_COUNT];

// Lookups. A style outside MacOS..BlueGlass, or an entry number outside 1..48, reads as an
// Int entry of value -1: Int gives -1, Color black (0), Bool false, and the bitmap is left
// as it was. An entry of another type gives the same answers.
int GetInsideThemeInt(TdvxUIStyle style, int index);
TColor GetInsideThemeColor(TdvxUIStyle style, int index);
bool GetInsideThemeBool(TdvxUIStyle style, int index);
// Loads picture entry index into bitmap (nothing for a null bitmap); with spitCount 0 the
// whole picture, otherwise frame spitIndex (from 1) of spitCount equal frames. A missing
// resource raises EResNotFound.
void GetInsideThemeBitmap(TdvxUIStyle style, int index, TBitmap* bitmap, int spitCount, int spitIndex);
// The resource name of a picture entry, or "" when the entry is not a picture.
std::string GetInsideThemeBitmapName(TdvxUIStyle style, int index);

// The style a new control takes from its owner: the UIStyle of the first form frame among
// the controls of the owner when the owner is a form, else DeepBlue.
TdvxUIStyle GetDVXFormStyle(TComponent* component);

// Makes the built-in pictures findable by name (done by the lookups themselves; callers
// that load a style picture by name directly call it first).
void EnsureStyleResources();

}  // namespace skinctrl
