#include "libs/morvmessage/morvmessage.h"

#include "libs/morvconverter/morvconverter.h"

namespace {

struct Entry {
    std::int32_t code;
    const char* text;
};

constexpr Entry kTexts[] = {
    {crSuccess, "Convert Successful!"},
    {crCancelled, "Conversion cancelled."},
    {crIncompleteJob, "The conversion job has no input or no output file."},
    {crInputUnreadable, "The source file cannot be opened or read."},
    {crInputUnknownFormat, "The source file is not a known media format."},
    {crNoVideo, "The source has no video."},
    {crUnknownCodec, "The source's video codec is not supported."},
    {crDamagedInput, "The source is damaged: no picture could be decoded."},
    {crOutputUnwritable, "The output file cannot be written (check the output folder)."},
    {crUnknownOutputFormat, "The output format is not supported."},
    {crEncoderMissing, "The output's video or audio codec is not available."},
    {crEncoderRefused, "The output settings (frame size, frame rate or bit rate) are not valid for the codec."},
    {crTrimBeyondEnd, "The start time lies beyond the end of the source."},
    {crCropTooLarge, "The crop is larger than the picture."},
    {crDvdUnreadable, "The DVD chapter cannot be read."},
    {crAudioStreamMissing, "The chosen audio track is not in the source."},
    {crSubtitleStreamMissing, "The chosen subtitle is not in the source."},
    {crInternalError, "The conversion failed inside the media libraries."},
    {crNoWholePicture, "The source holds no whole picture (it may be cut short): nothing was converted."},
    {601, "The video has no sound the player can carry."},
    {602, "The video has no picture the player can carry."},
    {603, "No font could be loaded for the player's text."},
    {604, "A player template could not be read (invalid file handle)."},
    {605, "A player template could not be read (invalid seek)."},
    {606, "A player template could not be read (seek failed)."},
    {607, "The size of a player template cannot be found."},
    {608, "A player script template cannot be read."},
    {609, "The player file cannot be written."},
    {610, "A picture of the player is neither a readable PNG nor JPEG."},
    {611, "The player's script could not be compiled."},
    {612, "A skin, effect or preloader clip of the player is missing or damaged."},
    {613, "The converted video cannot be read into the player."},
    {614, "The player settings cannot make a player."},
    {615, "Memory ran out while the player was built."},
    {prJobFolderFailed, "The job folder cannot be created."},
    {prSegmentNotFound, "The clip segment of this item is gone."},
    {prTitleNotFound, "The DVD title of this item is not loaded."},
    {prNoInput, "The item has nothing to convert."},
    {prThumbnailFailed, "The video was converted, but its thumbnail could not be made."},
    {prPlayerFailed, "The video was converted, but its player could not be built."},
    {prPageFailed, "The video was converted, but its HTML page could not be written."},
    {prRowAborted, "An unexpected error stopped the conversion at this item."},
    {prScriptCopyFailed, "The video was converted, but the page script could not be copied beside the page."},
};

}  // namespace

const char* getErrorInfo(std::int32_t code, std::int32_t, std::int32_t) {
    for (const Entry& e : kTexts)
        if (e.code == code) return e.text;
    return "Conversion failed (unknown error).";
}
