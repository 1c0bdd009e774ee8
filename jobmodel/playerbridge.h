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

// This run's own folder for the customisation dialog's preview, ending with "/": made on
// first use below programFolder + "temp/" under a name no other run has (mode 0700), made
// again if it has gone, and removed with everything in it when the program ends, so that
// two programs at once never show or overwrite each other's preview. "" when it cannot be
// made. `programFolder` ends with "/".
std::string PreviewFolder(const std::string& programFolder);
// The preview player in it: PreviewFolder(programFolder) + "velmora.swf" ("" without a folder).
std::string PreviewPlayerPath(const std::string& programFolder);

// The customisation dialog's preview: PreviewPlayerPath(programFolder) with the sample
// video (the progressive player's copies beside it), no decoration, credit text scaled to
// the browser's area and at its stored place. Returns the player maker's result
// (kbnErrCannotWrite without a preview folder). The group is null without a preview folder
// or memory.
int GeneratePreviewPlayer(const CustomSetting& setting, const std::string& programFolder, int browserWidth,
                          int browserHeight);
KbnUIGroupOption* MakePreviewPlayerGroup(const CustomSetting& setting, const std::string& programFolder,
                                        int browserWidth, int browserHeight);

}  // namespace jobmodel
