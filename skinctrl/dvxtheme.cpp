#include "skinctrl/dvxtheme.h"

#include <memory>
#include <mutex>

#include "platform/controls/forms.h"
#include "platform/graphics/resources.h"
#include "resources/skinresources.h"
#include "skinctrl/dvxcontrol.h"
#include "skinctrl/dvxpublic.h"

namespace skinctrl {

const TdvxType DVX_ITEM_TYPE[DVX_THEME_ENTRY_COUNT] = {
    Str, Bool, Str, Str, Str, Bool, Int, Int,
    Int, Str, Str, Str, Int, Int, Color, Color,
    Int, Color, Color, Color, Color, Color, Color, Str,
    Color, Color, Color, Str, Str, Str, Color, Str,
    Str, Str, Color, Color, Color, Str, Str, Str,
    Str, Str, Str, Color, Str, Str, Int, Color,
};

const TdvxCell DVX_STYLE_TABLES[5][DVX_THEME_ENTRY_COUNT] = {
    {  // MACOS
        {0, "MACOS_BUTTON"}, {1, nullptr}, {0, "MACOS_CHECKBOX"}, {0, "MACOS_RADIOBUTTON"},
        {0, "MACOS_TITLEBTN"}, {0, nullptr}, {3, nullptr}, {-2, nullptr},
        {4, nullptr}, {0, "MACOS_TITLE_LEFT"}, {0, "MACOS_TITLE_CLIENT"}, {0, "MACOS_TITLE_RIGHT"},
        {130, nullptr}, {0, nullptr}, {0xE7E7E7, nullptr}, {0x7F7F7F, nullptr},
        {1, nullptr}, {0xC47339, nullptr}, {0xC47339, nullptr}, {0xFFFFFF, nullptr},
        {0x000000, nullptr}, {0x000000, nullptr}, {0x000000, nullptr}, {0, "MACOS_PROGRESSBAR"},
        {0x7F7F7F, nullptr}, {0xE7E7E7, nullptr}, {0x000000, nullptr}, {0, "MACOS_TRACKBAR_BAR"},
        {0, "MACOS_TRACKBAR_SLIDER"}, {0, "MACOS_TRACKBAR_SLIDER_V"}, {0xC9C9C9, nullptr}, {0, "MACOS_SCROLLBAR_BUTTON"},
        {0, "MACOS_SCROLLBAR_TRACK"}, {0, "MACOS_CHECKLIST"}, {0x474747, nullptr}, {0xEFEFEF, nullptr},
        {0xD8D8D8, nullptr}, {0, "MACOS_SCROLLBUTTON"}, {0, "MACOS_TAB"}, {0, "MACOS_TAB_LINE"},
        {0, "MACOS_SIDECHENNEL_HANDLE"}, {0, "MACOS_SIDECHENNEL_BAR"}, {0, ""}, {0x000000, nullptr},
        {0, ""}, {0, ""}, {0, nullptr}, {0xE7E7E7, nullptr},
    },
    {  // WINXP
        {0, "WINXP_BUTTON"}, {0, nullptr}, {0, "WINXP_CHECKBOX"}, {0, "WINXP_RADIOBUTTON"},
        {0, "WINXP_TITLEBTN"}, {0, nullptr}, {2, nullptr}, {-2, nullptr},
        {5, nullptr}, {0, "WINXP_TITLE_LEFT"}, {0, "WINXP_TITLE_CLIENT"}, {0, "WINXP_TITLE_RIGHT"},
        {150, nullptr}, {13, nullptr}, {0xDEEBEF, nullptr}, {0xC82C00, nullptr},
        {3, nullptr}, {0xC66931, nullptr}, {0xEFD3C6, nullptr}, {0x000000, nullptr},
        {0xFFFFFF, nullptr}, {0x000000, nullptr}, {0xCED3D6, nullptr}, {0, "WINXP_PROGRESSBAR"},
        {0x686868, nullptr}, {0xDEEBEF, nullptr}, {0xCF4602, nullptr}, {0, "WINXP_TRACKBAR_BAR"},
        {0, "WINXP_TRACKBAR_SLIDER"}, {0, "WINXP_TRACKBAR_SLIDER_V"}, {0xF9F9F9, nullptr}, {0, "WINXP_SCROLLBAR_BUTTON"},
        {0, "WINXP_SCROLLBAR_TRACK"}, {0, "WINXP_CHECKLIST"}, {0xC66931, nullptr}, {0xEFD3C6, nullptr},
        {0xE1AC93, nullptr}, {0, "WINXP_SCROLLBUTTON"}, {0, "WINXP_TAB"}, {0, "WINXP_TAB_LINE"},
        {0, "WINXP_SIDECHENNEL_HANDLE"}, {0, "WINXP_SIDECHENNEL_BAR"}, {0, ""}, {0xFFFFFF, nullptr},
        {0, ""}, {0, ""}, {0, nullptr}, {0xDEEBEF, nullptr},
    },
    {  // DEEPBLUE
        {0, "DEEPBLUE_BUTTON"}, {0, nullptr}, {0, "DEEPBLUE_CHECKBOX"}, {0, "DEEPBLUE_RADIOBUTTON"},
        {0, "DEEPBLUE_TITLEBTN"}, {0, nullptr}, {0, nullptr}, {0, nullptr},
        {2, nullptr}, {0, "DEEPBLUE_TITLE_LEFT"}, {0, "DEEPBLUE_TITLE_CLIENT"}, {0, "DEEPBLUE_TITLE_RIGHT"},
        {130, nullptr}, {0, nullptr}, {0xE8E8E8, nullptr}, {0x000000, nullptr},
        {1, nullptr}, {0xA04A44, nullptr}, {0xA04A44, nullptr}, {0xFFFFFF, nullptr},
        {0xFFFFFF, nullptr}, {0x000000, nullptr}, {0xCED3D6, nullptr}, {0, "DEEPBLUE_PROGRESSBAR"},
        {0x000000, nullptr}, {0xE8E8E8, nullptr}, {0x000000, nullptr}, {0, "DEEPBLUE_TRACKBAR_BAR"},
        {0, "DEEPBLUE_TRACKBAR_SLIDER"}, {0, "DEEPBLUE_TRACKBAR_SLIDER_V"}, {0xF5F5F5, nullptr}, {0, "DEEPBLUE_SCROLLBAR_BUTTON"},
        {0, "DEEPBLUE_SCROLLBAR_TRACK"}, {0, "DEEPBLUE_CHECKLIST"}, {0x474747, nullptr}, {0xEFEFEF, nullptr},
        {0xD8D8D8, nullptr}, {0, "MORE_SCROLLBUTTON"}, {0, "DEEPBLUE_TAB"}, {0, "DEEPBLUE_TAB_LINE"},
        {0, "DEEPBLUE_SIDECHENNEL_HANDLE"}, {0, "DEEPBLUE_SIDECHENNEL_BAR"}, {0, ""}, {0xFFFFFF, nullptr},
        {0, ""}, {0, ""}, {0, nullptr}, {0xE8E8E8, nullptr},
    },
    {  // PROTEIN
        {0, "PROTEIN_BUTTON"}, {0, nullptr}, {0, "PROTEIN_CHECKBOX"}, {0, "PROTEIN_RADIOBUTTON"},
        {0, "PROTEIN_TITLEBTN"}, {1, nullptr}, {0, nullptr}, {0, nullptr},
        {2, nullptr}, {0, "PROTEIN_TITLE_LEFT"}, {0, "PROTEIN_TITLE_CLIENT"}, {0, "PROTEIN_TITLE_RIGHT"},
        {130, nullptr}, {0, nullptr}, {0xFBFBFB, nullptr}, {0x000000, nullptr},
        {1, nullptr}, {0xC4302D, nullptr}, {0xC4302D, nullptr}, {0xFFFFFF, nullptr},
        {0xFFFFFF, nullptr}, {0x000000, nullptr}, {0xCED3D6, nullptr}, {0, "PROTEIN_PROGRESSBAR"},
        {0x000000, nullptr}, {0xFBFBFB, nullptr}, {0x000000, nullptr}, {0, "PROTEIN_TRACKBAR_BAR"},
        {0, "PROTEIN_TRACKBAR_SLIDER"}, {0, "PROTEIN_TRACKBAR_SLIDER_V"}, {0xF5F5F5, nullptr}, {0, "PROTEIN_SCROLLBAR_BUTTON"},
        {0, "PROTEIN_SCROLLBAR_TRACK"}, {0, "PROTEIN_CHECKLIST"}, {0x474747, nullptr}, {0xEFEFEF, nullptr},
        {0xD8D8D8, nullptr}, {0, "MORE_SCROLLBUTTON"}, {0, "PROTEIN_TAB"}, {0, "PROTEIN_TAB_LINE"},
        {0, "PROTEIN_SIDECHENNEL_HANDLE"}, {0, "PROTEIN_SIDECHENNEL_BAR"}, {0, ""}, {0xFFFFFF, nullptr},
        {0, ""}, {0, ""}, {0, nullptr}, {0xFBFBFB, nullptr},
    },
    {  // BLUEGLASS
        {0, "BLUEGLASS_BUTTON"}, {1, nullptr}, {0, "BLUEGLASS_CHECKBOX"}, {0, "BLUEGLASS_RADIOBUTTON"},
        {0, "BLUEGLASS_TITLEBTN"}, {1, nullptr}, {4, nullptr}, {-3, nullptr},
        {6, nullptr}, {0, "BLUEGLASS_TITLE_LEFT"}, {0, "BLUEGLASS_TITLE_CLIENT"}, {0, "BLUEGLASS_TITLE_RIGHT"},
        {270, nullptr}, {11, nullptr}, {0xE7E7E7, nullptr}, {0x000000, nullptr},
        {1, nullptr}, {0xEC5E5E, nullptr}, {0xEC5E5E, nullptr}, {0xFFFFFF, nullptr},
        {0xE7E7E7, nullptr}, {0x000000, nullptr}, {0xCED3D6, nullptr}, {0, "BLUEGLASS_PROGRESSBAR"},
        {0x000000, nullptr}, {0xE7E7E7, nullptr}, {0x000000, nullptr}, {0, "BLUEGLASS_TRACKBAR_BAR"},
        {0, "BLUEGLASS_TRACKBAR_SLIDER"}, {0, "BLUEGLASS_TRACKBAR_SLIDER_V"}, {0xF4F4F4, nullptr}, {0, "BLUEGLASS_SCROLLBAR_BUTTON"},
        {0, "BLUEGLASS_SCROLLBAR_TRACK"}, {0, "BLUEGLASS_CHECKLIST"}, {0x474747, nullptr}, {0xEFEFEF, nullptr},
        {0xD8D8D8, nullptr}, {0, "MORE_SCROLLBUTTON"}, {0, "BLUEGLASS_TAB"}, {0, "BLUEGLASS_TAB_LINE"},
        {0, "BLUEGLASS_SIDECHENNEL_HANDLE"}, {0, "BLUEGLASS_SIDECHENNEL_BAR"}, {0, ""}, {0xFFFFFF, nullptr},
        {0, ""}, {0, ""}, {0, nullptr}, {0xE7E7E7, nullptr},
    },
};

std::string UIStyleName(TdvxUIStyle style) {
    static const char* const names[] = {"FromThemeFile", "MacOS", "WinXP", "DeepBlue", "Protein", "BlueGlass"};
    return unsigned(style) < 6 ? names[style] : "";
}

namespace {

struct Entry {
    TdvxType type;
    TdvxCell cell;
};

// An unknown style, or an entry number outside the tables, reads as Int -1.
Entry Lookup(TdvxUIStyle style, int index) {
    if (style < MacOS || style > BlueGlass || index < 1 || index > DVX_THEME_ENTRY_COUNT)
        return {Int, {-1, nullptr}};
    return {DVX_ITEM_TYPE[index - 1], DVX_STYLE_TABLES[style - 1][index - 1]};
}

}  // namespace

int GetInsideThemeInt(TdvxUIStyle style, int index) {
    Entry e = Lookup(style, index);
    return e.type == Int ? e.cell.value : -1;
}

TColor GetInsideThemeColor(TdvxUIStyle style, int index) {
    Entry e = Lookup(style, index);
    return e.type == Color ? TColor(e.cell.value) : TColor(0);
}

bool GetInsideThemeBool(TdvxUIStyle style, int index) {
    Entry e = Lookup(style, index);
    return e.type == Bool && e.cell.value != 0;
}

std::string GetInsideThemeBitmapName(TdvxUIStyle style, int index) {
    Entry e = Lookup(style, index);
    return e.type == Str ? std::string(e.cell.name) : std::string();
}

void EnsureStyleResources() {
    static std::once_flag once;
    std::call_once(once, [] { skinresources::RegisterStyleArt(); });
}

void GetInsideThemeBitmap(TdvxUIStyle style, int index, TBitmap* bitmap, int spitCount, int spitIndex) {
    if (!bitmap) return;
    Entry e = Lookup(style, index);
    if (e.type != Str) return;
    EnsureStyleResources();
    if (spitCount == 0) {
        bitmap->LoadFromResourceName(platform::HInstance, e.cell.name);
        return;
    }
    TBitmap whole;
    whole.LoadFromResourceName(platform::HInstance, e.cell.name);
    SpitBitmap(&whole, bitmap, spitCount, spitIndex);
}

TdvxUIStyle GetDVXFormStyle(TComponent* component) {
    using platform::TControl;
    auto* form = dynamic_cast<platform::TCustomForm*>(component);
    if (!form) return DeepBlue;
    for (TControl* child : ChildControls(form)) {
        IdvxStyled* styled = AsStyled(child);
        if (styled && styled->IsFormFrame()) return styled->GetUIStyle();
    }
    // The MDI frame is a component of its form, not a control.
    for (int i = 0; i < form->ComponentCount(); ++i) {
        IdvxStyled* styled = AsStyled(form->Components(i));
        if (styled && styled->IsFormFrame()) return styled->GetUIStyle();
    }
    return DeepBlue;
}

}  // namespace skinctrl
