#pragma once
// The record of one row of the job list, the DVD title list and the clip segment list.
// It lives in the row's data area in its list, which the list zero-fills, so a fresh
// record is all zero. Its five sub-records are separate heap records that several rows
// may share; each counts its references and is freed when the last row lets go.
#include <cstdint>
#include <string>

#include "jobmodel/customsetting.h"
#include "libs/morvconverter/morvconverter.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace jobmodel {

enum MediaItemKind : std::int32_t {
    mkFile = 0,
    mkMerge = 1,
    mkSlide = 2,
    mkDvdTitle = 3,
    mkDvdChapter = 4,
    mkSegment = 5,
};

// What a row is in its list. The kind says where a row's media come from; the role says
// what the row does: a group member keeps the kind of its group and the role rrFile.
enum RowRole : std::int32_t {
    rrFile = 0,        // a row of its own: a file, a DVD title or chapter in the job list, a group member
    rrSegment = 1,     // a clip segment below its row
    rrMergeGroup = 2,  // a merge group, its members below it
    rrSlideGroup = 3,  // a slide-show group
    rrDisc = 4,        // the DVD window's disc row
    rrDvdTitle = 5,    // the DVD window's title row
    rrDvdChapter = 6,  // the DVD window's chapter row
};

enum EffectKind : std::int32_t { ekNone = 0, ekGray = 1, ekEmboss = 2, ekOldFilm = 3 };

struct TimeRange {
    std::int32_t start;  // whole seconds from the start of the source
    std::int32_t end;
};

struct CropSetting {
    std::int32_t top;
    std::int32_t bottom;
    std::int32_t left;
    std::int32_t right;
    char aspect[20];  // "original", "full", "16:9" or "4:3"
};

struct EffectSetting {
    std::int32_t brightness;  // -100..100
    std::int32_t contrast;
    std::int32_t saturation;
    std::int32_t verticalFlip;    // 0 or 1
    std::int32_t horizontalFlip;  // 0 or 1
    std::int32_t effect;          // EffectKind
    std::int32_t volume;          // 0..510, 255 normal
};

// Each column holds its stated number of characters and, unlike a full-width cut, always
// keeps its terminator (hence the "+ 1"), so no reader runs into the next column.
struct ItemRow {
    char source[30 + 1];          // column "Source"
    char originalLength[20 + 1];  // column "Original Length"
    char trimmedLength[20 + 1];   // column "Trimmed Length"
    char destination[500];        // column "Distination File"
    std::uint8_t checkType;   // 0 none, 1 tri-state box, 2 check box
    std::uint8_t checkState;  // 0 unchecked, 2 checked: seeds the node once
};

struct MediaItem {
    std::int32_t kind;  // MediaItemKind
    std::int32_t imageIndex;  // the row's picture in its list; follows the role
    std::int32_t role;        // RowRole
    std::int32_t segmentCounter;
    MediaInfo* mediaInfo;
    std::int32_t dvdTitleNumber;
    std::int32_t dvdChapterNumber;
    std::int32_t subtitleId;  // -1 none
    std::int32_t audioId;     // -1 none
    char name[1024];
    TimeRange* timeRange;
    CropSetting* crop;
    EffectSetting* effect;
    CustomSetting* customSetting;
    ItemRow row;
    std::int32_t dvdKind;  // mkDvdTitle, mkDvdChapter or 0
    std::uint8_t copyMark;
    std::int32_t sourceKind;  // for a group member: the kind of the row it copies
    DvdDisc* dvdDisc;
    DvdTitleSet* dvdTitleSet;
    DvdTitle* dvdTitle;
    DvdChapter* dvdChapter;
};

// Shared sub-records. New* makes a record with one reference; Share adds a reference
// for another row and returns the same record; Drop lets go of one reference, frees the
// record with the last one, and empties the pointer. All take null quietly.
TimeRange* NewTimeRange();
CropSetting* NewCropSetting();
EffectSetting* NewEffectSetting();
CustomSetting* NewCustomSetting();  // with the defaults of InitCustomSetting
MediaInfo* NewMediaInfo();          // zero-filled
template <class T> T* Share(T* record);
template <class T> void Drop(T*& record);
// How many rows refer to a record (0 for null); for checks and tests.
template <class T> int ShareCount(const T* record);

// Sets the row's role and the picture that shows it.
void SetRowRole(MediaItem& item, RowRole role);
// A merge or slide group row.
inline bool IsGroupRole(std::int32_t role) { return role == rrMergeGroup || role == rrSlideGroup; }

// Sub-record helpers.
void ClearItemRow(ItemRow& row);
void CopyItemRowTexts(ItemRow& destination, const ItemRow& source);
void ResetTimeRange(TimeRange& range);
void CopyTimeRange(TimeRange& destination, const TimeRange& source);
void ResetCropSetting(CropSetting& crop);
void CopyCropSetting(CropSetting& destination, const CropSetting& source);
void ResetEffectSetting(EffectSetting& effect);
void CopyEffectSetting(EffectSetting& destination, const EffectSetting& source);

// Prepares a record for a builder: drops the references it still holds, then gives it
// new time range, crop and effect records and no option record or media information.
void InitMediaItem(MediaItem& item);
// Drops the item's references to its five sub-records and clears its row texts.
void ReleaseMediaItem(MediaItem& item);
// A deep copy into a freshly added row: own copies of all five sub-records.
void CopyMediaItem(MediaItem& destination, const MediaItem& source);
void CopyDvdFields(MediaItem& destination, const MediaItem& source);

// Clears the row, then copies each text given (null: the column stays empty), cut to
// 30, 20, 20 and 50 characters, and sets the check bytes.
void SetItemRow(ItemRow& row, const char* source, const char* originalLength, const char* trimmedLength,
                const char* destination, std::uint8_t checkType, std::uint8_t checkState);

// Seconds rounded up to whole, as "%02d:%02d:%02d" (hours not limited to two digits).
std::string FormatSeconds(float seconds);

// Copies text into a fixed field, cut to at most `limit` characters (and the field's
// width less its terminator) at a character boundary; the rest of the field is zeroed.
void CopyTextField(char* field, std::size_t width, const char* text, std::size_t limit = SIZE_MAX);
template <std::size_t N> void CopyTextField(char (&field)[N], const char* text, std::size_t limit = SIZE_MAX) {
    CopyTextField(field, N, text, limit);
}

// The text of a fixed field: up to its terminator, or all of it when it fills the field.
std::string FieldText(const char* field, std::size_t width);
template <std::size_t N> std::string FieldText(const char (&field)[N]) { return FieldText(field, N); }

}  // namespace jobmodel
