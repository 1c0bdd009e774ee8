#pragma once
// Job folders, output names and the converter's job and input records of one row.
#include <cstdint>
#include <string>

#include "jobmodel/mediaitem.h"

namespace jobmodel {

// The job's name: the row's destination name up to its first "."; the item name when
// that leaves nothing.
std::string JobName(const MediaItem& item);

// A name as one component of a path: every "/" and a leading "." become "_", so that
// no name given by the user (an item, a destination, a slide show) can leave its folder
// or hide in it.
std::string PathPart(const std::string& name);

// Local year, month, day, hour, minute and second without leading zeros, joined by "-",
// all from one reading of the clock (2010-2-9-8-5-3).
std::string TimeText();

// Makes a new job folder in ConvertOutputDir named PathPart(name) + "-" + time text, and stores it
// with a trailing "/" in ConvertJobDir. A folder of that name that already exists is
// never reused: "(1)", "(2)", ... are appended until a new folder is made. Returns false
// (ConvertJobDir empty) when no folder can be made, for example when the path is too long.
bool MakeJobFolder(const std::string& name);

// `path` when it names no existing file; otherwise job folder + PathPart(item name) + "(n)" + "."
// + the extension of `path`, for the first n = 1, 2, ... that names no existing file.
std::string UniqueOutputPath(const MediaItem& item, const std::string& path);

// The output path without its extension; the thumbnail beside it; the page of a job
// (named by PathPart(name)).
std::string BasePath(const std::string& outputPath);
std::string ThumbnailPath(const std::string& outputPath);
std::string PagePath(const std::string& jobFolder, const std::string& name);

// Copies the option record's format, codec values and frame size into the group
// (texts as heap copies that the converter frees). Returns 0.
int FillConvertGroupOption(const CustomSetting& setting, GroupMediaUIOption& group);
int SetMediaTrim(const TimeRange& range, MediaUIOption& input);
int SetMediaCrop(const CropSetting& crop, MediaUIOption& input);
int SetMediaEffect(const EffectSetting& effect, MediaUIOption& input);

// Result of preparing a job: 0, or the program's result code for the row.
// A new job folder for the row, its unique output path, the group's values, volume and
// prepared flag. On failure nothing is set in the group.
int PrepareGroupOutput(const MediaItem& item, GroupMediaUIOption& group);
// For a DVD chapter row: as above (in the current job folder when keepFolder is true),
// plus the input's trim (the row's time range when useTrim, else the whole chapter),
// crop, effect and streams.
int PrepareChapterOutput(const MediaItem& item, GroupMediaUIOption& group, MediaUIOption& input, bool keepFolder,
                         bool useTrim);
// For one member of a slide show: its output in the current job folder (no new folder).
int PrepareMemberOutput(const MediaItem& item, GroupMediaUIOption& group);

}  // namespace jobmodel
