#include "jobmodel/customsetting.h"

#include <cstring>

#include "jobmodel/mediaitem.h"

namespace jobmodel {

CustomSetting* CurrentCustomSetting = nullptr;
CustomSetting* DefaultCustomSetting = nullptr;

namespace {

constexpr RGBColor kBlack{0, 0, 0};
constexpr RGBColor kWhite{255, 255, 255};

#define FIELD(member, kind, stored, number, colour, text) \
    CustomSettingField { #member, FieldKind::kind, offsetof(CustomSetting, member), \
                         sizeof(CustomSetting::member), stored, number, colour, text }
#define NUM(member, kind, value) FIELD(member, kind, true, value, kBlack, nullptr)
#define TEXT(member, value) FIELD(member, Text, true, 0, kBlack, value)
#define COLOUR(member, value) FIELD(member, Colour, true, 0, value, nullptr)

const CustomSettingField kFields[] = {
    NUM(IsCustom, ByteFlag, 1),
    NUM(IssettingCustom, ByteFlag, 0),
    NUM(dscale, Float64, 1.0),
    NUM(dscale_X, Float64, 1.0),
    NUM(dscale_Y, Float64, 1.0),
    TEXT(ProfileName, ""),
    NUM(SimpleRate, Integer, 0),
    NUM(Channel, Integer, 0),
    TEXT(AudioEncoder, ""),
    NUM(AudioBitrate, Integer, 0),
    NUM(Width, Integer, 0),
    NUM(Height, Integer, 0),
    TEXT(VideoEncoder, ""),
    NUM(VideoBitRate, Integer, 0),
    NUM(FrameRate, Float32, 0),
    NUM(IsGeneralFlv, Integer, 1),
    NUM(IsGeneralSwf, Integer, 1),
    NUM(SwfType, Integer, stProgressive),
    NUM(IsGeneralHtml, Integer, 1),
    NUM(IsGeneralThumbnail, Integer, 1),
    COLOUR(BackgrounColor, kBlack),
    TEXT(PlayerSkinPath, "Christmas_h40"),
    NUM(IsSkinAutoHide, ByteFlag, 1),
    NUM(IsMouseAutoHide, ByteFlag, 1),
    NUM(hideDelay, Integer, 5),
    NUM(IsSliderAutoHide, ByteFlag, 1),
    NUM(IsAutoPlay, Integer, 0),
    NUM(IsHideAll, Integer, 0),
    NUM(IsHideMuteBtn, Integer, 0),
    NUM(IsHideFullscreenBtn, Integer, 0),
    NUM(IsHidePreNextBtn, Integer, 1),
    NUM(IsHidePlaylistBtn, Integer, 0),
    NUM(IsHidePlayingprocessBar, Integer, 0),
    NUM(IsHideVolumeBar, Integer, 0),
    NUM(IsHidePlayingTime, Integer, 0),
    NUM(IsHidePlayList, Integer, 0),
    TEXT(EffectSkinPath, "None"),
    TEXT(PreloaderSkinPath, "None"),
    NUM(IsCreditHead, ByteFlag, 0),
    TEXT(Head_imagePath, ""),
    TEXT(Head_textContent, ""),
    TEXT(Head_fontType, "MS Serif"),
    NUM(Head_fontSize, Integer, 8),
    COLOUR(Head_fontColor, kWhite),
    NUM(Head_fontX, Integer, 0),
    NUM(Head_fontY, Integer, 0),
    COLOUR(Head_backgroundColor, kBlack),
    NUM(Head_duration, Integer, 1),
    NUM(IsCreditTail, ByteFlag, 0),
    TEXT(Tail_imagePath, ""),
    TEXT(Tail_textContent, ""),
    TEXT(Tail_fontType, "MS Serif"),
    NUM(Tail_fontSize, Integer, 8),
    COLOUR(Tail_fontColor, kWhite),
    NUM(Tail_fontX, Integer, 0),
    NUM(Tail_fontY, Integer, 0),
    COLOUR(Tail_backgroundColor, kBlack),
    NUM(Tail_duration, Integer, 1),
    NUM(IsDecorate, ByteFlag, 0),
    NUM(FileType, Integer, okNone),
    TEXT(Dec_imagePath, ""),
    TEXT(Dec_textContent, ""),
    TEXT(Dec_fontType, "MS Serif"),
    NUM(Dec_fontSize, Integer, 8),
    COLOUR(Dec_fontColor, kWhite),
    NUM(Dec_X, Integer, 0),
    NUM(Dec_Y, Integer, 0),
    NUM(Dec_Width, Integer, 0),
    NUM(Dec_Height, Integer, 0),
    NUM(Dec_text_X, Integer, 0),
    NUM(Dec_text_Y, Integer, 0),
    NUM(Dec_text_Width, Integer, 0),
    NUM(Dec_text_Height, Integer, 0),
    NUM(Dec_img_X, Integer, 0),
    NUM(Dec_img_Y, Integer, 0),
    NUM(Dec_img_Width, Integer, 0),
    NUM(Dec_img_Height, Integer, 0),
    TEXT(Dec_URL, "http://"),
    // The profile's own description: handed to the converter, never stored.
    FIELD(FormatName, Text, false, 0, kBlack, ""),
    FIELD(FileExtension, Text, false, 0, kBlack, ""),
    FIELD(FormatNumber, Integer, false, 0, kBlack, nullptr),
};

#undef COLOUR
#undef TEXT
#undef NUM
#undef FIELD

}  // namespace

std::span<const CustomSettingField> CustomSettingFields() { return kFields; }

void InitCustomSetting(CustomSetting& setting) {
    auto* base = reinterpret_cast<unsigned char*>(&setting);
    for (const CustomSettingField& f : kFields) {
        unsigned char* p = base + f.offset;
        switch (f.kind) {
        case FieldKind::ByteFlag: *p = static_cast<std::uint8_t>(f.number); break;
        case FieldKind::Integer: {
            std::int32_t v = static_cast<std::int32_t>(f.number);
            std::memcpy(p, &v, sizeof v);
            break;
        }
        case FieldKind::Float64: std::memcpy(p, &f.number, sizeof f.number); break;
        case FieldKind::Float32: {
            float v = static_cast<float>(f.number);
            std::memcpy(p, &v, sizeof v);
            break;
        }
        case FieldKind::Colour: std::memcpy(p, &f.colour, sizeof f.colour); break;
        case FieldKind::Text:
            std::memset(p, 0, f.width);
            std::strncpy(reinterpret_cast<char*>(p), f.text, f.width - 1);
            break;
        }
    }
}

void CopyCustomSetting(CustomSetting& destination, const CustomSetting& source) {
    if (&destination == &source) return;
    auto* to = reinterpret_cast<unsigned char*>(&destination);
    const auto* from = reinterpret_cast<const unsigned char*>(&source);
    for (const CustomSettingField& f : kFields) {
        if (f.kind == FieldKind::Text) {
            // Nothing of the destination's old text may survive after the terminator.
            std::memset(to + f.offset, 0, f.width);
            const char* text = reinterpret_cast<const char*>(from + f.offset);
            std::memcpy(to + f.offset, text, strnlen(text, f.width - 1));
        } else {
            std::memcpy(to + f.offset, from + f.offset, f.width);
        }
    }
}

void CopyItemCustomSetting(CustomSetting& destination, const MediaItem& item) {
    if (item.customSetting) CopyCustomSetting(destination, *item.customSetting);
}

}  // namespace jobmodel
