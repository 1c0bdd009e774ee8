#pragma once
// Turns an item's option record into the player maker's records and has the player built.
#include <string>

#include "jobmodel/customsetting.h"
#include "playermaker/morvbrindle.h"

namespace jobmodel {

// Builds the player of one converted item beside it: `outputPath` is the converted file
// as written (its extension is the profile's), the player is its base path + ".swf" (an
// old one is deleted first), `title` is the playlist title, `lengthSeconds` the time the
// decoration stays. Returns the player maker's result (0 or its error number).
int GenerateItemPlayer(const CustomSetting& setting, const std::string& outputPath, const std::string& title,
                       int lengthSeconds);

// The records GenerateItemPlayer builds from, without building (null when memory runs
// out). The caller frees the group with freeKbnUIGroupOption.
KbnUIGroupOption* MakeItemPlayerGroup(const CustomSetting& setting, const std::string& outputPath,
                                     const std::string& title, int lengthSeconds);

// Prepares the caller's group for a slide show whose player is swfBase + ".swf" (deleted
// first): everything but the media, the decoration's end time 0. Returns the group.
KbnUIGroupOption* FillGroupPlayer(const CustomSetting& setting, const std::string& swfBase, KbnUIGroupOption* group);

// Appends one converted video to the group. Returns the group; null when the group
// already holds the most media a player can.
KbnUIGroupOption* AddGroupMedia(const CustomSetting& setting, const std::string& outputPath, const std::string& title,
                                KbnUIGroupOption* group);

// The customisation dialog's preview: programFolder + "temp/velmora.swf" with the sample
// video, no decoration, credit text scaled to the browser's area and at its stored place.
// `programFolder` ends with "/". Returns the player maker's result.
int GeneratePreviewPlayer(const CustomSetting& setting, const std::string& programFolder, int browserWidth,
                          int browserHeight);
KbnUIGroupOption* MakePreviewPlayerGroup(const CustomSetting& setting, const std::string& programFolder,
                                        int browserWidth, int browserHeight);

}  // namespace jobmodel
