#include "jobmodel/outputnames.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "jobmodel/convertstate.h"
#include "libs/morvmessage/morvmessage.h"
#include "platform/core/clock.h"

namespace jobmodel {

std::string ConvertOutputDir;
std::string ConvertJobDir;
std::atomic<int> CancelState{0};
std::atomic<int> TotalConvertedSeconds{0};

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Field(const char* text, std::size_t width) { return std::string(text, strnlen(text, width)); }

// Replaces a text the converter will free with a heap copy of `value`.
void SetText(char*& field, const std::string& value) {
    std::free(field);
    field = strdup(value.c_str());
}

// The output path of a row in the current job folder, if it fits the group's record.
bool SetOutputPath(const MediaItem& item, const std::string& name, GroupMediaUIOption& group) {
    const char* ext = item.customSetting ? item.customSetting->FileExtension : "";
    std::string path = UniqueOutputPath(
        item, ConvertJobDir + PathPart(name) + "." + PathPart(Field(ext, sizeof(CustomSetting::FileExtension))));
    if (path.size() >= sizeof group.outputPath) return false;
    std::memset(group.outputPath, 0, sizeof group.outputPath);
    std::memcpy(group.outputPath, path.data(), path.size());
    return true;
}

void FinishGroup(const MediaItem& item, GroupMediaUIOption& group) {
    if (item.customSetting) FillConvertGroupOption(*item.customSetting, group);
    group.volume = item.effect ? item.effect->volume : 255;
    group.prepared = 1;
}

}  // namespace

std::string PathPart(const std::string& name) {
    std::string part = name;
    for (char& c : part)
        if (c == '/') c = '_';
    if (!part.empty() && part.front() == '.') part.front() = '_';
    return part;
}

std::string JobName(const MediaItem& item) {
    std::string destination = Field(item.row.destination, sizeof item.row.destination);
    std::string name = destination.substr(0, destination.find('.'));
    // A name made of nothing would give a folder named only by the time and a file named
    // only by its extension; the item name says what the row is.
    return name.empty() ? Field(item.name, sizeof item.name) : name;
}

std::string TimeText() {
    platform::SYSTEMTIME t;
    platform::GetLocalTime(&t);
    return std::to_string(t.wYear) + "-" + std::to_string(t.wMonth) + "-" + std::to_string(t.wDay) + "-" +
           std::to_string(t.wHour) + "-" + std::to_string(t.wMinute) + "-" + std::to_string(t.wSecond);
}

bool MakeJobFolder(const std::string& name) {
    ConvertJobDir.clear();
    const std::string base = ConvertOutputDir + PathPart(name) + "-" + TimeText();
    for (int n = 0; n < 10000; ++n) {
        std::string folder = n == 0 ? base : base + "(" + std::to_string(n) + ")";
        if (::mkdir(folder.c_str(), 0777) == 0) {
            ConvertJobDir = folder + "/";
            return true;
        }
        if (errno != EEXIST) return false;  // too long, no permission, no parent...
    }
    return false;
}

std::string UniqueOutputPath(const MediaItem& item, const std::string& path) {
    if (!Exists(path)) return path;
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    std::string ext = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(dot + 1) : "";
    std::string name = PathPart(Field(item.name, sizeof item.name));
    for (int n = 1;; ++n) {
        std::string candidate = ConvertJobDir + name + "(" + std::to_string(n) + ")." + ext;
        if (!Exists(candidate)) return candidate;
    }
}

std::string BasePath(const std::string& outputPath) {
    size_t dot = outputPath.find_last_of('.');
    return dot == std::string::npos ? outputPath : outputPath.substr(0, dot);
}

std::string ThumbnailPath(const std::string& outputPath) { return BasePath(outputPath) + ".jpg"; }

std::string PagePath(const std::string& jobFolder, const std::string& name) {
    return jobFolder + PathPart(name) + ".html";
}

int FillConvertGroupOption(const CustomSetting& s, GroupMediaUIOption& group) {
    SetText(group.formatName, Field(s.FormatName, sizeof s.FormatName));
    group.formatNumber = s.FormatNumber;
    SetText(group.videoEncoder, Field(s.VideoEncoder, sizeof s.VideoEncoder));
    group.videoBitrate = s.VideoBitRate;
    SetText(group.frameSize, std::to_string(s.Width) + "x" + std::to_string(s.Height));
    group.frameRate = s.FrameRate;
    SetText(group.audioEncoder, Field(s.AudioEncoder, sizeof s.AudioEncoder));
    group.audioBitrate = s.AudioBitrate;
    group.audioChannels = s.Channel;
    group.audioSampleRate = s.SimpleRate;
    return 0;
}

int SetMediaTrim(const TimeRange& range, MediaUIOption& input) {
    input.trimStart = range.start;
    input.trimLength = range.end - range.start;
    return 0;
}

int SetMediaCrop(const CropSetting& crop, MediaUIOption& input) {
    input.cropTop = crop.top;
    input.cropBottom = crop.bottom;
    input.cropLeft = crop.left;
    input.cropRight = crop.right;
    SetText(input.aspect, Field(crop.aspect, sizeof crop.aspect));
    return 0;
}

int SetMediaEffect(const EffectSetting& effect, MediaUIOption& input) {
    input.brightness = effect.brightness;
    input.contrast = effect.contrast;
    input.saturation = effect.saturation;
    input.verticalFlip = effect.verticalFlip;
    input.horizontalFlip = effect.horizontalFlip;
    input.effect = effect.effect;
    return 0;
}

int PrepareGroupOutput(const MediaItem& item, GroupMediaUIOption& group) {
    const std::string name = JobName(item);
    if (!MakeJobFolder(name) || !SetOutputPath(item, name, group)) return prJobFolderFailed;
    FinishGroup(item, group);
    return 0;
}

int PrepareChapterOutput(const MediaItem& item, GroupMediaUIOption& group, MediaUIOption& input, bool keepFolder,
                         bool useTrim) {
    const std::string name = JobName(item);
    if (!keepFolder && !MakeJobFolder(name)) return prJobFolderFailed;
    if (ConvertJobDir.empty() || !SetOutputPath(item, name, group)) return prJobFolderFailed;
    if (useTrim && item.timeRange) {
        SetMediaTrim(*item.timeRange, input);
    } else {
        input.trimStart = 0;
        input.trimLength = item.mediaInfo ? item.mediaInfo->durationSeconds : 0;
    }
    if (item.crop) SetMediaCrop(*item.crop, input);
    if (item.effect) SetMediaEffect(*item.effect, input);
    input.audioId = item.audioId;
    input.subtitleId = item.subtitleId;
    FinishGroup(item, group);
    return 0;
}

int PrepareMemberOutput(const MediaItem& item, GroupMediaUIOption& group) {
    if (ConvertJobDir.empty() || !SetOutputPath(item, JobName(item), group)) return prJobFolderFailed;
    FinishGroup(item, group);
    return 0;
}

}  // namespace jobmodel
