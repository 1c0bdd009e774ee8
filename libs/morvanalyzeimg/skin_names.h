#pragma once
// Every skin section and item the windows ask for, with the pictures they load from it:
// what any skin of Images/ must answer. The window code and its tests use this table too.
#include <string>
#include <vector>

namespace skinnames {

enum class Pictures {
    None,    // placement only
    Normal,  // base + ".bmp" (backgrounds, slider thumbs)
    Tab,     // ".bmp" and "-move.bmp" (the active tab)
    Button,  // ".bmp", "-move.bmp", "-down.bmp", "-dis.bmp"
};

struct Item {
    const char* name;
    Pictures pictures;
};

struct Window {
    const char* section;
    const char* folder;    // picture sub-folder
    const char* sizeItem;  // width, height; left and top are the corner ellipse
    std::vector<Item> items;
};

inline const std::vector<Window>& Windows() {
    using P = Pictures;
    static const std::vector<Window> windows = {
        {"main", "main", "mainFormCreate",
         {{"Background", P::Normal}, {"addFile", P::Button}, {"customize", P::Button}, {"option", P::Button},
          {"edit", P::Button}, {"clip", P::Button}, {"merge", P::Button}, {"slide", P::Button},
          {"MainPlayPanel", P::None}, {"btnPlay", P::Button}, {"btnStop", P::Button}, {"btnPhoto", P::Button},
          {"btnOpen", P::Button}, {"btnConvert", P::Button}, {"labOutput", P::None}, {"OutputPath", P::None},
          {"Open_img", P::Button}, {"btnOpenpath", P::Button}, {"btnMenu", P::Button}, {"addDVD", P::Button},
          {"addDVDList", P::Button}, {"close", P::Button}, {"btnMini", P::Button}, {"btnHelp", P::Button},
          {"MainTrackBar", P::Normal}, {"btnPause", P::Button}}},
        {"convert", "convert", "convertFormCreate",
         {{"convert_BG", P::Normal}, {"ConvertPlayPanel", P::None}, {"btnCancel", P::Button}, {"close", P::Button},
          {"btnMini", P::Button}}},
        {"dvdloader", "dvd", "dvdLoadFormCreate",
         {{"dvdLoadPanel", P::Normal}, {"btnOK", P::Button}, {"btnCancel", P::Button}, {"btnPlay", P::Button},
          {"btnStop", P::Button}, {"btnPre", P::Button}, {"btnNext", P::Button}, {"DVDTrackBar", P::Normal},
          {"close", P::Button}, {"DVDPlayPanel", P::None}, {"btnPause", P::Button}}},
        {"customize", "customize", "cusFormCreate",
         {{"customize_BG1", P::Normal}, {"customize_BG2", P::Normal}, {"customize_BG3", P::Normal},
          {"btnBack", P::Button}, {"btnNext", P::Button}, {"btnOK", P::Button}, {"custom_default", P::None},
          {"cus_flv", P::None}, {"cus_swf", P::None}, {"swfType_1", P::None}, {"swfType_2", P::None},
          {"cus_html", P::None}, {"cus_thumb", P::None}, {"tabPlayerPanel", P::None}, {"tabEffectPanel", P::None},
          {"tabLoadPanel", P::None}, {"tabDecoratePanel", P::None}, {"tabHeadPanel", P::None},
          {"tabTailPanel", P::None}, {"tabOptionPanel", P::None}, {"webPanel", P::None}, {"background", P::None},
          {"cmbBackground", P::None}, {"addCredits", P::None}, {"text", P::None}, {"textValue", P::None},
          {"img", P::None}, {"imgValue", P::None}, {"url", P::None}, {"urlValue", P::None}, {"close", P::Button},
          {"btnPlayer", P::Tab}, {"btnEffect", P::Tab}, {"btnLoad", P::Tab}, {"btnDecorate", P::Tab},
          {"btnDecorate2", P::Tab}, {"btnHead", P::Tab}, {"btnTail", P::Tab}, {"btnOption", P::Tab}}},
        {"edit", "edit", "editFormCreate",
         {{"Background", P::Normal}, {"tabCrop", P::Tab}, {"tabEffect", P::Tab}, {"tabCropPanel", P::None},
          {"tabEffectPanel", P::None}, {"EditPlayPanel", P::None}, {"TotalTrackBar", P::Normal},
          {"btnPlay", P::Button}, {"btnPause", P::Button}, {"btnStop", P::Button}, {"btnReplay", P::Button},
          {"btnLevel", P::Button}, {"btnVertical", P::Button}, {"btnCropReset", P::Button}, {"btnOK", P::Button},
          {"btnCancel", P::Button}, {"close", P::Button}, {"AdjustVolume", P::Normal}}},
        {"clip", "clip", "clipFormCreate",
         {{"clipBackground", P::Normal}, {"start", P::None}, {"StartTime", P::None},
          {"start_trimtime_ok", P::Button}, {"end", P::None}, {"EndTime", P::None}, {"end_trimtime_ok", P::Button},
          {"TotalTrackBar", P::Normal}, {"StartTrackBar", P::Normal}, {"trimLine", P::None},
          {"EndTrackBar", P::Normal}, {"btnPlay", P::Button}, {"btnPlayTrim", P::Button}, {"btnStop", P::Button},
          {"btnTrimStart", P::Button}, {"btnTrimEnd", P::Button}, {"btnAdd", P::Button}, {"btnDelete", P::Button},
          {"btnOK", P::Button}, {"btnCancel", P::Button}, {"ClipPlayPanel", P::None}, {"ClipNodeTree", P::None},
          {"close", P::Button}}},
        {"option", "option", "optionFormCreate",
         {{"optionPanel", P::Normal}, {"btnGeneral", P::Tab}, {"btnFormat", P::Tab}, {"tabGeneral", P::None},
          {"tabFormat", P::None}, {"btnSnappath", P::Button}, {"btnOpen", P::Button}, {"btnOK", P::Button},
          {"btnCancel", P::Button}, {"btnClose", P::Button}}},
        {"properties", "pro", "proFormCreate", {{"proPanel", P::Normal}, {"btnOK", P::Button}, {"btnClose", P::Button}}},
        {"about", "about", "aboutFormCreate", {{"aboutPanel", P::Normal}, {"btnOK", P::Button}}},
    };
    return windows;
}

// Pictures windows load by a fixed name, relative to the picture folder.
inline const std::vector<std::string>& FixedPictures() {
    static const std::vector<std::string> files = {"clip/Barpic.bmp", "Edit/TotalTrackBar.bmp", "Edit/AdjustVolume.bmp"};
    return files;
}

}  // namespace skinnames
