#include "jobmodel/profileparams.h"

#include <cstring>
#include <string_view>

namespace jobmodel {

namespace {

static_assert(sizeof CustomSetting::VideoEncoder == sizeof CustomSetting::AudioEncoder,
              "both encoder fields are reached through one kind of member pointer");

const ProfileParamRule kRules[] = {
    {.name = "ar", .value = ProfileValue::Whole, .list = CodecList::SampleRate, .whole = &CustomSetting::SimpleRate},
    {.name = "ac", .value = ProfileValue::Whole, .list = CodecList::Channels, .whole = &CustomSetting::Channel},
    {.name = "acodec", .value = ProfileValue::Text, .list = CodecList::AudioEncoder,
     .text = &CustomSetting::AudioEncoder},
    {.name = "ab", .value = ProfileValue::Whole, .list = CodecList::AudioBitrate,
     .whole = &CustomSetting::AudioBitrate},
    {.name = "vcodec", .value = ProfileValue::Text, .list = CodecList::VideoEncoder,
     .text = &CustomSetting::VideoEncoder},
    {.name = "b", .value = ProfileValue::Whole, .list = CodecList::VideoBitrate, .whole = &CustomSetting::VideoBitRate},
    {.name = "r", .value = ProfileValue::Decimal, .list = CodecList::FrameRate, .decimal = &CustomSetting::FrameRate},
    {.name = "s", .value = ProfileValue::FrameSize, .list = CodecList::None},
};

}  // namespace

std::span<const ProfileParamRule> ProfileParamRules() { return kRules; }

const ProfileParamRule* FindProfileParamRule(const ProfileParam& param) {
    const std::string_view name(param.Name, strnlen(param.Name, sizeof param.Name));
    for (const ProfileParamRule& rule : kRules)
        if (name == rule.name) return &rule;
    return nullptr;
}

std::int32_t ProfileKindOf(ProfileValue value) {
    switch (value) {
    case ProfileValue::Whole: return ProfileKindInteger;
    case ProfileValue::Decimal: return ProfileKindDecimal;
    case ProfileValue::Text:
    case ProfileValue::FrameSize: break;
    }
    return ProfileKindText;
}

}  // namespace jobmodel
