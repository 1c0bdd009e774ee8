// morvdvdread: the optical drives of the machine and the structure of a DVD.
//
// The reader allocates and owns every record it returns; callers never write or free
// them. A disc record returned by parseDVD or parseIFO stays valid and unchanged for
// the life of the process, also across later parses (job-list rows may still refer to
// an older disc's titles and chapters). Parsing the same, unchanged disc again returns
// the record of the earlier parse, so repeated loads do not grow memory.
//
// Texts are zero-terminated UTF-8, cut at a character boundary to their field width.
// All calls may be made from any thread; parses are serialised inside the reader.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define MORVDVDREAD_API __attribute__((visibility("default")))
#else
#define MORVDVDREAD_API
#endif

// ---------------------------------------------------------------------------------
// Drives
//
// Drive ids. Where the program names a drive by a letter (menu caption letter + ":\",
// the drive root letter + ":\" handed back to parseDVD), the letter is a drive id:
// the optical drive /dev/srN has the id 'D' + N ('D' for sr0, 'E' for sr1, ... 'Z' for
// sr22; drives sr23 and up are not listed). The id stays the same while the drive is
// plugged in, whatever other drives come and go. parseDVD accepts "E:\", "E:/" and "E:"
// (any case) and reads that drive: its mount point when the medium is mounted, else
// its device node.
//
// The entry text is the medium's label (the drive's model when the medium has no
// label; "No disc" when udev reports the drive empty) followed by " (" + device node
// + ")", for example "HOLIDAY_2009 (/dev/sr0)".
//
// The listed flag is 1 for a drive that can read DVDs. It is 0 for an optical drive
// that udev describes as reading CDs only; when udev has no data about the drive it is
// taken to read DVDs.
// ---------------------------------------------------------------------------------

enum { DVD_MAX_DRIVES = 26 };

typedef struct DvdDriveEntry {
    char driveId;         // drive id letter, see above
    char text[259];       // text shown after "<id>:\" in the drive menu
    int32_t listed;       // 1 = a DVD drive (gets a menu entry), 0 = another drive
    int32_t discPresent;  // 1 = a DVD medium is in the drive (udev), 0 = none or unknown
} DvdDriveEntry;

typedef struct DvdDriveList {
    int32_t count;  // entries filled, in the order of the drive number N of /dev/srN
    DvdDriveEntry entries[DVD_MAX_DRIVES];
} DvdDriveList;

// ---------------------------------------------------------------------------------
// Disc structure
// ---------------------------------------------------------------------------------

enum { DVD_MAX_AUDIO_STREAMS = 32, DVD_MAX_SUBTITLE_STREAMS = 32, DVD_PALETTE_ENTRIES = 16 };

struct DvdTitle;

typedef struct DvdChapter {
    // Always 1: a chapter that cannot be read is left out of its title's array (and
    // noted in DvdDisc.repairs), so numbers may then have gaps.
    int32_t present;
    int32_t number;         // chapter number within its title, from 0 (chapter selector - 1)
    int32_t startMs;        // start of the chapter within its title, milliseconds
    int32_t lengthSeconds;  // length rounded to whole seconds
    int32_t lengthMs;       // length in milliseconds
    int32_t pgcNumber;      // program chain of the chapter within its title set, from 1
    char lengthText[20];    // length as "HH:MM:SS"
    struct DvdTitle* title; // the title the chapter belongs to
} DvdChapter;

typedef struct DvdAudioStream {
    // Shown to the user; two streams of one language differ by their leading number,
    // for example "1: English, MPEG-1 Layer II, 2 ch, 48 kHz".
    char name[208];
    int32_t id;  // the DVD's audio stream number within the title set, 0 to 7
} DvdAudioStream;

typedef struct DvdSubtitleStream {
    char name[204];  // for example "1: English"
    int32_t id;      // the DVD's sub-picture stream number within the title set, 0 to 31
} DvdSubtitleStream;

typedef struct DvdTitle {
    int32_t present;        // 1; 0 = the title is skipped (for example it has no chapters)
    int32_t titleNumber;    // the title's number on the disc, from 0
    // The title set's IFO file. For a disc in a folder (also a mounted drive) it is the
    // file itself, named as on disk; for an unmounted drive or an image it is
    // <device or image>/VIDEO_TS/VTS_nn_0.IFO. To open the disc with libdvdread:
    // DVDOpen(folder of ifoPath) when that folder exists, else DVDOpen(ifoPath without
    // its last two components).
    const char* ifoPath;
    int32_t lengthSeconds;  // length rounded to whole seconds (the sum of its chapters)
    // The two player values: first = title set number (nn of VTS_nn_0.IFO, from 1);
    // second = the title's number within its title set (from 1). With the disc opened
    // as above they locate the title's chapters (the set's part-of-title table) for the
    // player and the converter.
    int32_t titleSetNumber;
    int32_t titleSetTitle;
    char lengthText[12];    // length as "HH:MM:SS"
    int32_t chapterCount;   // elements of chapters; 0 only when present is 0
    DvdChapter* chapters;
    int32_t audioCount;     // 0 to 32
    DvdAudioStream audio[DVD_MAX_AUDIO_STREAMS];
    int32_t subtitleCount;  // 0 to 32
    DvdSubtitleStream subtitles[DVD_MAX_SUBTITLE_STREAMS];
    // The table handed to the player: the sub-picture palette of the title's first
    // program chain, 16 colours as R, G, B bytes (converted from the disc's Y, Cr, Cb).
    uint8_t palette[DVD_PALETTE_ENTRIES][3];
    int32_t repairs;        // DVD_REPAIR_* flags of what was clamped or skipped here
} DvdTitle;

typedef struct DvdTitleSet {
    char ifoPath[580];      // the title set's IFO file, as in DvdTitle.ifoPath
    int32_t number;         // title set number, from 1
    int32_t titleCount;
    DvdTitle* titles;
} DvdTitleSet;

// What a damaged or crafted disc made the reader clamp or skip. The parse still
// succeeds; repairText says what happened in words.
enum {
    DVD_REPAIR_TITLE_WITHOUT_CHAPTERS = 1 << 0,  // title marked not present
    DVD_REPAIR_BAD_TITLE_SET = 1 << 1,           // a title names a missing or unreadable title set
    DVD_REPAIR_BAD_CHAPTER = 1 << 2,             // a chapter names a missing program chain, program or cell
    DVD_REPAIR_AUDIO_CLAMPED = 1 << 3,           // more audio streams than a title set can hold
    DVD_REPAIR_SUBTITLES_CLAMPED = 1 << 4,       // more sub-picture streams than a title set can hold
    DVD_REPAIR_BAD_TIME = 1 << 5,                // a playback time that is not a valid time code
    DVD_REPAIR_CHAPTER_COUNT = 1 << 6,           // chapter counts of the disc and title set disagree
};

typedef struct DvdDisc {
    char path[704];           // the disc root: a folder holding VIDEO_TS (or the IFO files), a device node or an image
    int32_t titleSetCount;
    DvdTitleSet* titleSets;
    int32_t repairs;          // union of the DVD_REPAIR_* flags of the whole disc
    char repairText[512];     // empty, or what was clamped or skipped
} DvdDisc;

// ---------------------------------------------------------------------------------
// Records the program hands to the preview player, filled from a DvdTitle.
// ---------------------------------------------------------------------------------

typedef struct DvdPlaybackInfo {
    int32_t titleNumberPlus1;  // DvdTitle.titleNumber + 1
    const char* ifoPath;       // DvdTitle.ifoPath
    int32_t titleSetNumber;    // first player value
    int32_t titleSetTitle;     // second player value
    int32_t chapterCount;
    DvdChapter* chapters;
    int32_t subtitleId;        // -1 = none
    int32_t audioId;           // -1 = none
    uint8_t palette[DVD_PALETTE_ENTRIES][3];
} DvdPlaybackInfo;

typedef struct TitlePlayRecord {
    DvdPlaybackInfo info;
    int32_t chapterSelector;  // 0 = the whole title, else chapter number + 1
    int32_t startSecond;
    int32_t endSecond;
    int32_t zero;
} TitlePlayRecord;

// ---------------------------------------------------------------------------------
// Operations. Each returns DVD_OK (0) on success and a DVD_ERR_* code otherwise.
// ---------------------------------------------------------------------------------

enum {
    DVD_OK = 0,
    DVD_ERR_ARGUMENT = 1,     // a null record pointer
    DVD_ERR_NOT_FOUND = 2,    // the path, drive or file does not exist
    DVD_ERR_NOT_A_DVD = 3,    // the path holds no DVD-Video structure
    DVD_ERR_DAMAGED = 4,      // the disc's structure files cannot be read
    DVD_ERR_NO_TITLES = 5,    // the disc has no title that can be read
    DVD_ERR_SYSTEM = 6,       // the drive list could not be read
};

// Fills a zero-filled drive list with the optical drives of the machine. A machine
// without optical drives gives DVD_OK and an empty list.
MORVDVDREAD_API int32_t getAllDVDRomInfo(DvdDriveList* list);

// Reads the DVD at path: a drive id ("E:\"), a device node, a mount point, a VIDEO_TS
// folder, a folder holding VIDEO_TS or a disc image. On success *disc names the
// reader's record of it; on failure *disc is left as it was. reserved: pass 0.
MORVDVDREAD_API int32_t parseDVD(DvdDisc** disc, const char* path, int32_t reserved);

// As parseDVD, for the DVD that the IFO file at path (VIDEO_TS.IFO or VTS_nn_0.IFO,
// or their .BUP copies) belongs to.
MORVDVDREAD_API int32_t parseIFO(DvdDisc** disc, const char* path, int32_t reserved);

// The text of a result code, for logs and messages.
MORVDVDREAD_API const char* dvdReadErrorText(int32_t code);

// Test hook: the folder under which the drive list looks for sys/class/block,
// proc/self/mounts, run/udev/data and the device nodes dev/srN. nullptr or "" restores "/".
MORVDVDREAD_API void setDVDSystemRoot(const char* root);

#ifdef __cplusplus
}
#endif
