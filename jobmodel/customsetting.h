#pragma once
// The per-item output and player option record, and the two working records that seed
// every new item. One table of fields (CustomSettingFields) drives the defaults, the copy
// and the registry store, so a field is described in exactly one place.
#include <cstddef>
#include <cstdint>
#include <span>

// SwfType (1 embedded, 2 progressive) and OverlayKind (0 none, 1 picture, 2 text) are the
// player maker's, so the option record and the player records speak the same values.
#include "playermaker/morvbrindle.h"

namespace jobmodel {

struct MediaItem;

// Colours are three separate components, each 0-255.
struct RGBColor {
    std::int32_t r;
    std::int32_t g;
    std::int32_t b;
};

struct CustomSetting {
    double dscale;
    char ProfileName[2048];
    char FormatName[20];
    char FileExtension[20];
    std::int32_t FormatNumber;
    char VideoEncoder[20];
    std::int32_t VideoBitRate;
    float FrameRate;
    char AudioEncoder[20];
    std::int32_t AudioBitrate;
    std::int32_t Channel;
    std::int32_t SimpleRate;
    std::int32_t Width;
    std::int32_t Height;
    std::uint8_t IsCustom;
    std::uint8_t IssettingCustom;
    std::int32_t IsGeneralFlv;
    std::int32_t IsGeneralSwf;
    std::int32_t SwfType;
    std::int32_t IsGeneralHtml;
    std::int32_t IsGeneralThumbnail;
    char PlayerSkinPath[1024];
    char EffectSkinPath[1024];
    char PreloaderSkinPath[1024];
    RGBColor BackgrounColor;
    std::uint8_t IsMouseAutoHide;
    std::uint8_t IsSkinAutoHide;
    std::int32_t hideDelay;
    std::uint8_t IsSliderAutoHide;
    std::int32_t IsAutoPlay;
    std::int32_t IsHideAll;
    std::int32_t IsHideMuteBtn;
    std::int32_t IsHideFullscreenBtn;
    std::int32_t IsHidePreNextBtn;
    std::int32_t IsHidePlaylistBtn;
    std::int32_t IsHidePlayingprocessBar;
    std::int32_t IsHideVolumeBar;
    std::int32_t IsHidePlayingTime;
    std::int32_t IsHidePlayList;
    std::uint8_t IsCreditHead;
    char Head_imagePath[1024];
    char Head_textContent[1024];
    char Head_fontType[1024];
    std::int32_t Head_fontSize;
    std::int32_t Head_fontX;
    std::int32_t Head_fontY;
    RGBColor Head_fontColor;
    std::int32_t Head_duration;
    RGBColor Head_backgroundColor;
    std::uint8_t IsCreditTail;
    char Tail_imagePath[1024];
    char Tail_textContent[1024];
    char Tail_fontType[1024];
    std::int32_t Tail_fontSize;
    std::int32_t Tail_fontX;
    std::int32_t Tail_fontY;
    RGBColor Tail_fontColor;
    std::int32_t Tail_duration;
    RGBColor Tail_backgroundColor;
    std::uint8_t IsDecorate;
    std::int32_t FileType;
    char Dec_imagePath[1024];
    char Dec_textContent[1024];
    char Dec_fontType[1024];
    std::int32_t Dec_fontSize;
    RGBColor Dec_fontColor;
    char Dec_URL[1024];
    std::int32_t Dec_X;
    std::int32_t Dec_Y;
    std::int32_t Dec_Width;
    std::int32_t Dec_Height;
    double dscale_X;
    double dscale_Y;
    std::int32_t Dec_text_X;
    std::int32_t Dec_text_Y;
    std::int32_t Dec_text_Width;
    std::int32_t Dec_text_Height;
    std::int32_t Dec_img_X;
    std::int32_t Dec_img_Y;
    std::int32_t Dec_img_Width;
    std::int32_t Dec_img_Height;
};

// How a field is kept in the record and written to the registry.
enum class FieldKind {
    ByteFlag,  // uint8 0/1; registry "0"/"1", any nonzero number reads as 1
    Integer,   // int32 (also the int flags); registry signed decimal text
    Float64,   // registry general decimal, 15 significant digits
    Float32,   // widened to 64 bits for the registry
    Colour,    // RGBColor; registry one number r + g*256 + b*65536
    Text,      // char[width]; registry the text up to its terminator
};

struct CustomSettingField {
    const char* name;     // the registry value name (the field's own name)
    FieldKind kind;
    std::size_t offset;
    std::size_t width;    // bytes of the field
    bool stored;          // kept in the registry
    // Default: a number for numeric kinds, r/g/b for colours, a text for texts.
    double number;
    RGBColor colour;
    const char* text;
};

// Every field: first the 78 stored ones in the registry's order, then the three that
// only describe the profile (not stored).
std::span<const CustomSettingField> CustomSettingFields();

// Every field to its default; texts cleared over their whole width first.
void InitCustomSetting(CustomSetting& setting);

// Copies the item's record into `destination` field by field; each text field is
// cleared over its whole width before it takes the source text.
void CopyItemCustomSetting(CustomSetting& destination, const MediaItem& item);
void CopyCustomSetting(CustomSetting& destination, const CustomSetting& source);

// The working records: built from the default output profile, live for the whole run.
// Null until built.
extern CustomSetting* CurrentCustomSetting;
extern CustomSetting* DefaultCustomSetting;

}  // namespace jobmodel
