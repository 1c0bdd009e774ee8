#pragma once
// libmorvconverter: media information and conversion jobs.
//
// A job is a GroupMediaUIOption (output format, codecs, output path) holding one or more
// MediaUIOption inputs (a file or a DVD chapter, each with its trim, crop, picture settings
// and streams). The inputs are converted one after another into one output file.
//
// Records are allocated and freed by this library. The program writes the fields below;
// the reserved blocks keep the fields in their agreed order and belong to the library.
//
// Texts handed over through the text pointers of the records (encoder names, frame size,
// format name, aspect name) must be allocated with malloc (strdup): freeGroupMediaUIOption
// releases them with free(), together with the group and its inputs.
//
// Progress and cancel: setProgressHandle names a cancel query and a window; during
// converteToMedia the query is asked at least every 100 ms of work (not 0 = stop), and at
// least every half second a WM_CONVERTER_PROGRESS message is posted to the window through
// the poster installed with setMessagePoster. Its WPARAM is a heap ConvertProgressInfo that
// the receiver owns: it reads it and then releases it with freeConvertProgressInfo. When
// the poster reports failure (returns 0) the library releases the record itself.
// See docs/converter.md.
#include <cstdint>

#include <cstddef>

#include "platform/core/wintypes.h"

// The DVD reader's records (libs/morvdvdread/morvdvdread.h).
struct DvdDisc;
struct DvdChapter;

extern "C" {

// Result codes of converteToMedia (0 = success); morvmessage gives their texts.
enum ConvertResult : std::int32_t {
    crSuccess = 0,
    crCancelled = 1,            // the cancel query asked to stop; no output was left
    crIncompleteJob = 2,        // no group, no input, or no output path
    crInputUnreadable = 3,      // the source cannot be opened or read
    crInputUnknownFormat = 4,   // the source's container is not recognised
    crNoVideo = 5,              // the source has no video stream
    crUnknownCodec = 6,         // the source's video codec cannot be decoded
    crDamagedInput = 7,         // the source is damaged: no picture could be decoded
    crOutputUnwritable = 8,     // the output file cannot be created or written
    crUnknownOutputFormat = 9,  // the output format name is not known
    crEncoderMissing = 10,      // the video or audio encoder name is not known
    crEncoderRefused = 11,      // the encoder refused the settings (size, rate, bit rate)
    crTrimBeyondEnd = 12,       // the trim starts at or after the end of the source
    crCropTooLarge = 13,        // the crop leaves no picture
    crDvdUnreadable = 14,       // the DVD chapter cannot be found or read
    crAudioStreamMissing = 15,  // the chosen audio stream is not in the source
    crSubtitleStreamMissing = 16,  // the chosen subtitle stream is not in the source
    crInternalError = 17,       // out of memory or a failure inside the media libraries
    crNoWholePicture = 18,      // not one whole picture could be decoded (a source cut short): nothing written
};

// Window messages posted to the progress window (WM_USER + 2124 and + 2125).
constexpr platform::UINT WM_CONVERTER_PROGRESS = 0x0400 + 2124;
constexpr platform::UINT WM_CONVERTER_PROGRESS_ALT = 0x0400 + 2125;

struct ConvertProgressInfo {
    std::int32_t reserved[8];
    double convertedSeconds;  // seconds of the current job converted so far (byte 32)
    double totalSeconds;      // the job's length in seconds, as far as known
};
static_assert(offsetof(ConvertProgressInfo, convertedSeconds) == 32);

// The cancel query and the window that receives the progress messages.
struct ProgressHandle {
    std::int32_t (*queryCancel)();  // not 0 = stop the conversion
    platform::HWND window;
};

// Posts a message to a window; the program installs its message queue's PostMessage.
using ConverterMessagePoster = platform::BOOL (*)(platform::HWND, platform::UINT,
                                                  platform::WPARAM, platform::LPARAM);

// Receives converted frames while the preview is on (setUsingPreview(1)): 32-bit BGRA
// pixels (stride bytes per row), valid only during the call, on the converting thread.
using ConverterPreviewSink = void (*)(const std::uint8_t* bgra, std::int32_t width,
                                      std::int32_t height, std::int32_t stride,
                                      double seconds, void* context);

struct MediaInfo {
    char path[1024];                     // source path (written by the caller for files)
    struct GroupMediaUIOption* group;    // DVD sources: a group with one DVD input
    std::uint8_t reserved0[204];
    double duration;                     // seconds
    std::int32_t durationSeconds;        // whole seconds
    std::uint8_t reserved1[12];
    std::int32_t width;
    std::int32_t height;
    std::uint8_t reserved2[100];
    std::int32_t videoBitrate;           // kbit/s
    float frameRate;                     // frames per second
    std::int32_t audioBitrate;           // kbit/s
    std::int32_t audioChannels;
    std::int32_t audioSampleRate;        // Hz
    std::uint8_t reserved3[3584];
};

struct GroupMediaUIOption {
    std::uint8_t reserved0[488];
    char* audioEncoder;       // FFmpeg encoder name, e.g. "libmp3lame"
    std::int32_t audioBitrate;   // kbit/s
    std::int32_t audioChannels;
    std::int32_t audioSampleRate;  // Hz
    std::int32_t volume;      // 0..510, 255 = unchanged
    char* videoEncoder;       // FFmpeg encoder name, e.g. "flv"
    std::int32_t videoBitrate;   // kbit/s
    char* frameSize;          // "WxH"
    float frameRate;          // frames per second; 0 = the source's
    std::int32_t thumbnail;   // 1: write one JPEG picture of the input
    std::uint8_t reserved1[3588];
    std::int32_t prepared;    // 1 once the output path is set
    std::int32_t formatNumber;
    char* formatName;         // FFmpeg muxer name, e.g. "flv"
    char outputPath[1024];
};

struct MediaUIOption {
    std::uint8_t reserved0[3308];
    std::int32_t audioId;     // audio stream id; -1 none
    std::int32_t subtitleId;  // subtitle stream burned into the picture; -1 none
    std::uint8_t reserved1[48];
    std::int32_t trimStart;   // seconds
    std::int32_t trimLength;  // seconds; 0 = to the end
    std::int32_t cropTop;
    std::int32_t cropBottom;
    std::int32_t cropLeft;
    std::int32_t cropRight;
    char* aspect;             // "original", "full", "16:9" or "4:3"
    std::uint8_t reserved2[16];
    std::int32_t brightness;  // -100..100
    std::int32_t contrast;    // -100..100
    std::int32_t saturation;  // -100..100
    std::int32_t verticalFlip;
    std::int32_t horizontalFlip;
    std::int32_t effect;      // 0 none, 1 gray, 2 emboss, 3 old film
};

#define MORV_CONVERTER_API __attribute__((visibility("default")))

// 0 when the file is a media file with a picture that can be converted, else a result code.
MORV_CONVERTER_API std::int32_t isSupportFormat(const char* path);
// Fills a zero-filled MediaInfo whose path is set; returns 0 or a result code.
MORV_CONVERTER_API std::int32_t getFileInfo(MediaInfo* info);
// Fills a zero-filled MediaInfo whose group holds one DVD input; returns 0 or a result code.
MORV_CONVERTER_API std::int32_t getDVDProperties(MediaInfo* info);

// New job records; the group is also stored through the first argument.
MORV_CONVERTER_API GroupMediaUIOption* createGroupMediaUIOptionForDVD(
    GroupMediaUIOption** group, const DvdDisc* disc, const char* formatName, std::int32_t formatNumber);
MORV_CONVERTER_API GroupMediaUIOption* createGroupMediaUIOption(
    GroupMediaUIOption** group, const char* formatName, std::int32_t formatNumber);
// New inputs, appended to the group; the group owns them.
MORV_CONVERTER_API MediaUIOption* createMediaUIOptionForDVD(GroupMediaUIOption* group, const DvdChapter* chapter);
MORV_CONVERTER_API MediaUIOption* createMediaUIOption(GroupMediaUIOption* group, const char* path);
// Frees the group, its inputs and the texts they hold; clears *group.
MORV_CONVERTER_API void freeGroupMediaUIOption(GroupMediaUIOption** group);

// Runs the job; returns when it has ended: 0 or a ConvertResult.
MORV_CONVERTER_API std::int32_t converteToMedia(GroupMediaUIOption* group, const char* formatName,
                                                std::int32_t formatNumber);

// The library's own text of why the group's last conversion failed, beside the result
// code ("opening the video encoder: Invalid argument"); empty when it succeeded, was
// cancelled, or failed before any library call. Copies at most size - 1 bytes and a
// terminator into text (when size > 0); returns the whole text's length.
MORV_CONVERTER_API std::int32_t getConvertFailureText(const GroupMediaUIOption* group, char* text, std::int32_t size);

// Keeps a copy of the handle for the conversions that follow (nullptr forgets it).
MORV_CONVERTER_API void setProgressHandle(const ProgressHandle* handle);
MORV_CONVERTER_API void setMessagePoster(ConverterMessagePoster poster);
MORV_CONVERTER_API void freeConvertProgressInfo(ConvertProgressInfo* info);

// 1: hand converted frames to the preview sink; 0: no preview.
MORV_CONVERTER_API void setUsingPreview(std::int32_t on);
MORV_CONVERTER_API void setPreviewSink(ConverterPreviewSink sink, void* context);

}  // extern "C"
