#pragma once
// The skin file reader: takes the skin data entry ("SKINDATA.SK2") out of a skin archive
// and decodes its records into named bitmaps, integers, flags and texts.
//
// Record data, little-endian: a header of at least 24 bytes (bytes 12..15 its length,
// 20..23 the position of the first record); records of 77 bytes (64 bytes of name up to
// the first zero, a type byte - 0 bitmap, 1 integer, 2 flag, 3 text - then the position and
// length of the value and the position of the next record). The chain ends at a record
// whose next position is 0; that record's own value is not read.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/exceptions.h"
#include "platform/graphics/graphics.h"

namespace skinctrl {

enum Tsk2SkinColorElement : int {
    SKIN2_TRANSCOLOR, SKIN2_TITLEFONTCOLOR, SKIN2_FORMCOLOR, SKIN2_MENUBARSTARTCOLOR, SKIN2_MENUBARENDCOLOR,
    SKIN2_TOPSELECTEDMENUCOLOR, SKIN2_TOPSELECTEDMENUBORDERCOLOR, SKIN2_TOPSELECTEDMENUFONTCOLOR,
    SKIN2_TOPMENUFONTCOLOR, SKIN2_LEFTBARSTARTCOLOR, SKIN2_LEFTBARENDCOLOR, SKIN2_MENUITEMCOLOR,
    SKIN2_MENUITEMFONTCOLOR, SKIN2_SELECTEDMENUCOLOR, SKIN2_SELECTEDMENUBORDERCOLOR,
    SKIN2_SELECTEDMENUFONTCOLOR, SKIN2_TOOLBARSTARTCOLOR, SKIN2_TOOLBARENDCOLOR, SKIN2_TOOLBARONCOLOR,
    SKIN2_TOOLBARBORDERCOLOR, SKIN2_TOOLBARDOWNCOLOR, SKIN2_CONTROLCOLOR, SKIN2_CONTROLBORDERCOLOR,
    SKIN2_CONTROLFONTCOLOR, SKIN2_BUTTONFONTCOLOR, SKIN2_SCROLLBARCOLOR, SKIN2_TABCONTROLCOLOR,
    SKIN2_TABCONTROLBORDERCOLOR, SKIN2_TABCONTROLACTIVEFONTCOLOR, SKIN2_TABCONTROLINACTIVEFONTCOLOR,
    SKIN2_SIDECHANNELCOLOR, SKIN2_SIDECHANNELBORDERCOLOR,
};
enum Tsk2SkinBitmapElement : int {
    SKIN2_TITLEBAR1, SKIN2_TITLEBAR2, SKIN2_TITLEBAR3, SKIN2_TITLEBAR4, SKIN2_TITLEBAR5, SKIN2_FORMLEFTBORDER,
    SKIN2_FORMRIGHTBORDER, SKIN2_FORMBOTTOMBORDER1, SKIN2_FORMBOTTOMBORDER2, SKIN2_FORMBOTTOMBORDER3,
    SKIN2_MINIMIZEDTITLE, SKIN2_TITLEBUTTONS, SKIN2_CHECKEDMENUICON, SKIN2_MENUBAR, SKIN2_TOOLBAR,
    SKIN2_BUTTON, SKIN2_CHECKBOX, SKIN2_CHECKBOXLIST, SKIN2_RADIOBUTTON, SKIN2_PROGRESSBAR1,
    SKIN2_PROGRESSBAR2, SKIN2_PROGRESSBAR3, SKIN2_PROGRESSBAR4, SKIN2_TRACKBAR, SKIN2_TRACKBARSLIDER,
    SKIN2_TRACKBARVSLIDER, SKIN2_SCROLLBARUPBUTTON, SKIN2_SCROLLBAR, SKIN2_SCROLLBARDOWNBUTTON,
    SKIN2_TABCONTROL, SKIN2_TABCONTROLLINE, SKIN2_SIDECHANNELBAR, SKIN2_SIDECHANNELTITLE, SKIN2_SCROLLBUTTON,
};
enum Tsk2IntElement : int {
    SKIN2_TITLEBARICONPOSX, SKIN2_TITLEBARICONPOSY, SKIN2_TITLEBARCAPTIONTOP, SKIN2_TITLEBARBUTTONPOSX,
    SKIN2_TITLEBARBUTTONPOSY, SKIN2_TITLEBARREGIONMINY, SKIN2_TITLEBARREGIONMAXY, SKIN2_BOTTOMREGIONMINY,
    SKIN2_BOTTOMREGIONMAXY,
};
enum Tsk2BoolElement : int {
    SKIN2_TITLEFIVESECT, SKIN2_BOTTOMBORDERTHREESECT, SKIN2_TITLEBARNEEDREGION, SKIN2_BOTTOMBORDERNEEDREGION,
    SKIN2_TITLEBTNTRANS, SKIN2_BUTTONTRANS, SKIN2_CHECKBOXTRANS, SKIN2_RADIOBUTTONTRANS,
    SKIN2_TABCONTROLTRANS,
};

// The 84 key names in key order: colours 0..31, bitmaps 32..65, integers 66..74, flags 75..83.
inline constexpr const char* SKIN2_SKINFILE_KEYNAME[84] = {
    "SKIN2_TRANSCOLOR", "SKIN2_TITLEFONTCOLOR", "SKIN2_FORMCOLOR", "SKIN2_MENUBARSTARTCOLOR",
    "SKIN2_MENUBARENDCOLOR", "SKIN2_TOPSELECTEDMENUCOLOR", "SKIN2_TOPSELECTEDMENUBORDERCOLOR",
    "SKIN2_TOPSELECTEDMENUFONTCOLOR", "SKIN2_TOPMENUFONTCOLOR", "SKIN2_LEFTBARSTARTCOLOR",
    "SKIN2_LEFTBARENDCOLOR", "SKIN2_MENUITEMCOLOR", "SKIN2_MENUITEMFONTCOLOR", "SKIN2_SELECTEDMENUCOLOR",
    "SKIN2_SELECTEDMENUBORDERCOLOR", "SKIN2_SELECTEDMENUFONTCOLOR", "SKIN2_TOOLBARSTARTCOLOR",
    "SKIN2_TOOLBARENDCOLOR", "SKIN2_TOOLBARONCOLOR", "SKIN2_TOOLBARBORDERCOLOR", "SKIN2_TOOLBARDOWNCOLOR",
    "SKIN2_CONTROLCOLOR", "SKIN2_CONTROLBORDERCOLOR", "SKIN2_CONTROLFONTCOLOR", "SKIN2_BUTTONFONTCOLOR",
    "SKIN2_SCROLLBARCOLOR", "SKIN2_TABCONTROLCOLOR", "SKIN2_TABCONTROLBORDERCOLOR",
    "SKIN2_TABCONTROLACTIVEFONTCOLOR", "SKIN2_TABCONTROLINACTIVEFONTCOLOR", "SKIN2_SIDECHANNELCOLOR",
    "SKIN2_SIDECHANNELBORDERCOLOR", "SKIN2_TITLEBAR1", "SKIN2_TITLEBAR2", "SKIN2_TITLEBAR3",
    "SKIN2_TITLEBAR4", "SKIN2_TITLEBAR5", "SKIN2_FORMLEFTBORDER", "SKIN2_FORMRIGHTBORDER",
    "SKIN2_FORMBOTTOMBORDER1", "SKIN2_FORMBOTTOMBORDER2", "SKIN2_FORMBOTTOMBORDER3", "SKIN2_MINIMIZEDTITLE",
    "SKIN2_TITLEBUTTONS", "SKIN2_CHECKEDMENUICON", "SKIN2_MENUBAR", "SKIN2_TOOLBAR", "SKIN2_BUTTON",
    "SKIN2_CHECKBOX", "SKIN2_CHECKBOXLIST", "SKIN2_RADIOBUTTON", "SKIN2_PROGRESSBAR1", "SKIN2_PROGRESSBAR2",
    "SKIN2_PROGRESSBAR3", "SKIN2_PROGRESSBAR4", "SKIN2_TRACKBAR", "SKIN2_TRACKBARSLIDER",
    "SKIN2_TRACKBARVSLIDER", "SKIN2_SCROLLBARUPBUTTON", "SKIN2_SCROLLBAR", "SKIN2_SCROLLBARDOWNBUTTON",
    "SKIN2_TABCONTROL", "SKIN2_TABCONTROLLINE", "SKIN2_SIDECHANNELBAR", "SKIN2_SIDECHANNELTITLE",
    "SKIN2_SCROLLBUTTON", "SKIN2_TITLEBARICONPOSX", "SKIN2_TITLEBARICONPOSY", "SKIN2_TITLEBARCAPTIONTOP",
    "SKIN2_TITLEBARBUTTONPOSX", "SKIN2_TITLEBARBUTTONPOSY", "SKIN2_TITLEBARREGIONMINY",
    "SKIN2_TITLEBARREGIONMAXY", "SKIN2_BOTTOMREGIONMINY", "SKIN2_BOTTOMREGIONMAXY", "SKIN2_TITLEFIVESECT",
    "SKIN2_BOTTOMBORDERTHREESECT", "SKIN2_TITLEBARNEEDREGION", "SKIN2_BOTTOMBORDERNEEDREGION",
    "SKIN2_TITLEBTNTRANS", "SKIN2_BUTTONTRANS", "SKIN2_CHECKBOXTRANS", "SKIN2_RADIOBUTTONTRANS",
    "SKIN2_TABCONTROLTRANS",
};

// The skin data entry every skin archive holds.
inline constexpr const char* SK2_ENTRY_NAME = "SKINDATA.SK2";
// The message of a skin archive that cannot be read.
inline constexpr const char* SK2_READ_ERROR = "Failed to read skin file!";
// The most pixels the bitmaps of one skin may decode to, all records together (64 MB at
// four bytes a pixel). Many records may name the same few bytes of picture data, so the
// size of the archive says nothing about what its pictures cost once decoded.
inline constexpr std::uint64_t kMaxSkinPixels = std::uint64_t(1) << 24;
// The message of a skin whose pictures would decode to more than that.
inline constexpr const char* SK2_PIXELS_ERROR = "The skin file's pictures are too large";

class Tsk2SkinFileReader {
public:
    // An empty reader, for LoadFromData.
    Tsk2SkinFileReader() = default;
    // Loads the skin; raises platform::Exception SK2_READ_ERROR when the archive is not a
    // readable skin file, SK2_PIXELS_ERROR when its bitmaps would decode to more than
    // kMaxSkinPixels, and the platform's picture error for a damaged bitmap value.
    Tsk2SkinFileReader(const std::string& fileName, const std::string& password);
    Tsk2SkinFileReader(const Tsk2SkinFileReader&) = delete;
    Tsk2SkinFileReader& operator=(const Tsk2SkinFileReader&) = delete;

    // Loaded tells the outcome: false for a quiet failure (no or wrong password, a decoded
    // size that is not the entry's) and for record data that does not hold together.
    void Load(const std::string& fileName, const std::string& password);
    // Decodes record data directly (what Load does after the extraction).
    bool LoadFromData(const std::uint8_t* data, std::size_t size);
    bool Loaded() const { return loaded_; }

    // The bitmap stored under name (owned by the reader), or null. Names ignore case; the
    // first record of a name wins.
    platform::TBitmap* GetBitmap(const std::string& name) const;
    // -1 when missing or not a number (so a missing colour reads as -1).
    int GetInteger(const std::string& name) const;
    // False when missing or not a number; otherwise whether the low 8 bits are not 0.
    bool GetBool(const std::string& name) const;
    std::string GetStr(const std::string& name) const;
    // Replaces the pixels of an existing bitmap; nothing for an unknown name.
    void SetBitmap(const std::string& name, platform::TBitmap* bitmap);
    void SetInteger(const std::string& name, int value);
    void SetBool(const std::string& name, bool value);
    // Every stored bitmap gets colour as its fixed transparent colour.
    void ProcessTransparentColor(platform::TColor colour);

    std::size_t BitmapCount() const { return bitmaps_.size(); }
    // The most decoded pixels the last load held at once (what its bitmaps cost in memory).
    std::uint64_t PeakDecodedPixels() const { return peakPixels_; }

private:
    using Line = std::pair<std::string, std::string>;
    void Clear();
    static const std::string* Find(const std::vector<Line>& lines, const std::string& name);
    static void Put(std::vector<Line>& lines, const std::string& name, const std::string& value);

    std::vector<std::pair<std::string, std::unique_ptr<platform::TBitmap>>> bitmaps_;
    std::vector<Line> integers_;
    std::vector<Line> bools_;
    std::vector<Line> strings_;
    bool loaded_ = false;
    std::uint64_t peakPixels_ = 0;
};

}  // namespace skinctrl
