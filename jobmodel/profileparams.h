#pragma once
// The profile parameters the program understands: one table says, for each, the option
// record field its value sets, the form of that value and the customisation dialog's list
// that offers its options. The profile reader and the dialog's show, store and matching
// all look parameters up here, so a parameter is named in one place only.
#include <cstdint>
#include <span>

#include "jobmodel/customsetting.h"
#include "libs/morvprofile/morvprofile.h"

namespace jobmodel {

// The form of a parameter's value and so the kind of record field it sets.
enum class ProfileValue {
    Whole,      // an int32 field
    Text,       // an encoder name field
    Decimal,    // a float field
    FrameSize,  // "WxH" into Width and Height
};

// The customisation dialog's list that offers a parameter's options; the dialog maps each
// to its control. None for a parameter the dialog sets otherwise (the frame size).
enum class CodecList { None, SampleRate, Channels, AudioEncoder, AudioBitrate, VideoEncoder, VideoBitrate, FrameRate };

struct ProfileParamRule {
    const char* name;  // as the profile names it; letter case counts
    ProfileValue value;
    CodecList list;
    // The record field, the one that matches `value` (none for FrameSize).
    std::int32_t CustomSetting::*whole = nullptr;
    char (CustomSetting::*text)[sizeof CustomSetting::AudioEncoder] = nullptr;
    float CustomSetting::*decimal = nullptr;
};

// Every parameter the program uses, in the order of the dialog's codec lists, the frame
// size last.
std::span<const ProfileParamRule> ProfileParamRules();

// The rule of the parameter's name, or null for a parameter the program does not use.
const ProfileParamRule* FindProfileParamRule(const ProfileParam& param);

// The catalogue's kind (ProfileKindInteger, ...) that the values of a rule's parameter
// must be of.
std::int32_t ProfileKindOf(ProfileValue value);

}  // namespace jobmodel
