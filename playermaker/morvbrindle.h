#pragma once
// libmorvbrindle: the player maker. Option records in, a player SWF out.
//
// The program never allocates or frees these records itself: it asks the library for each
// one, fills the fields, calls generateFLVPlayer and hands the group back to
// freeKbnUIGroupOption, which frees the whole tree. Records are zero-filled when created.
// Text fields are fixed 8-bit fields, zero-terminated; the library reads at most the
// field's width.

#ifdef __cplusplus
extern "C" {
#endif

#if defined(MORVBRINDLE_BUILDING)
#define MORVBRINDLE_API __attribute__((visibility("default")))
#else
#define MORVBRINDLE_API
#endif

typedef struct KbnUIGroupOption KbnUIGroupOption;

// What a player is: an embedded-video player carries the video in the SWF, a progressive
// player plays external FLV files from its script.
enum SwfType { stEmbedded = 1, stProgressive = 2 };

// The decoration laid over the video.
enum OverlayKind { okNone = 0, okImage = 1, okText = 2, okVideo = 3 };

enum { KBN_MAX_MEDIA = 120, KBN_TEXT_WIDTH = 1024, KBN_TARGET_WIDTH = 12 };

// Results of generateFLVPlayer and generateCryptFile: 0 or one of these.
enum KbnError {
    kbnOk = 0,
    kbnErrNoSoundStream = 601,   // the FLV yields no sound stream
    kbnErrNoVideoStream = 602,   // the FLV (or a video overlay) yields no video stream
    kbnErrNoFont = 603,          // neither the font file nor the fallback font could be loaded
    kbnErrBadHandle = 604,       // template reader: seek on an invalid file handle
    kbnErrBadSeek = 605,         // template reader: seek with invalid arguments
    kbnErrSeekFailed = 606,      // template reader: seek failed otherwise
    kbnErrNoFileSize = 607,      // template reader: the file's size cannot be queried
    kbnErrNoTemplate = 608,      // a script template (or a cipher input) cannot be opened or read
    kbnErrCannotWrite = 609,     // the output file cannot be written
    kbnErrBadPicture = 610,      // a button or card picture is neither a readable PNG nor JPEG
    kbnErrBadScript = 611,       // the assembled player script does not compile
    kbnErrBadClip = 612,         // a skin, effect or preloader clip is missing or not a valid SWF
    kbnErrBadFlv = 613,          // the FLV is malformed
    kbnErrBadOptions = 614,      // the records cannot describe a player (missing record, size
                                 // below 1, frame rate out of range, no media, empty key, ...)
    kbnErrNoMemory = 615         // memory ran out during the build
};

typedef struct KbnUIGenerateOption {
    int isGeneralFlv;       // carried, not read
    int isGeneralSwf;       // carried, not read
    int swfType;            // SwfType: 2 progressive, anything else embedded
    int playlistInScript;   // progressive: nonzero writes the playlist into the script
    int isGeneralHtml;      // carried, not read
    int reserved;
    KbnUIGroupOption* group;  // back pointer, not read
} KbnUIGenerateOption;

typedef struct KbnUIPlayerOption {
    int width;              // video area width in pixels
    int height;             // video area height, without the control bar
    float scale;            // written by the library: 1.0 or the preview factor
    float frameRate;
    char skinFile[KBN_TEXT_WIDTH];  // clip in templates/Players; "_h<n>" gives the bar height
    int skinAutoHide;
    int mouseAutoHide;
    int sliderAutoHide;
    int hideDelay;          // seconds; 0 or less means 3
    int backgroundRed;
    int backgroundGreen;
    int backgroundBlue;
    char preloaderFile[KBN_TEXT_WIDTH];  // clip in templates/Preloader; empty: none
    char effectFile[KBN_TEXT_WIDTH];     // clip in templates/Effect; empty: none
    float controlBarHeight; // written by the library from the skin name
    int hideAll;
    int hideMuteBtn;
    int hideFullscreenBtn;
    int hidePreNextBtn;
    int hidePlaylistBtn;
    int hidePlayingProcessBar;
    int hideVolumeBar;
    int hidePlayingTime;
    int hidePlayList;
    int bufferTime;         // seconds of buffering; 0 or less means 5
    int autoPlay;
    KbnUIGroupOption* group;  // back pointer, not read
} KbnUIPlayerOption;

typedef struct KbnUIMediaOption {
    KbnUIGroupOption* group;  // set by createKbnUIMediaOption
    char flvPath[KBN_TEXT_WIDTH];
    int videoWidth;         // 0 or less: not given
    int videoHeight;
    char title[KBN_TEXT_WIDTH];
    char thumbnailPath[KBN_TEXT_WIDTH];
} KbnUIMediaOption;

typedef struct KbnUIOverlayADOption {
    KbnUIGroupOption* group;  // back pointer, not read
    int kind;               // OverlayKind
    char file[KBN_TEXT_WIDTH];      // picture (okImage) or video (okVideo)
    char text[KBN_TEXT_WIDTH];      // text of an okText overlay
    char fontFile[KBN_TEXT_WIDTH];  // TrueType file; a font name for progressive players
    int fontSize;
    int red;
    int green;
    int blue;
    char reserved[KBN_TEXT_WIDTH];
    int startTime;          // seconds (progressive players)
    int endTime;            // seconds after which the overlay disappears
    char clickUrl[KBN_TEXT_WIDTH];
    char target[KBN_TARGET_WIDTH];  // e.g. "_blank"
    int x;
    int y;
    int width;
    int height;
    int advertOption;       // passed through to the script's add_advert
} KbnUIOverlayADOption;

typedef struct KbnUIInsertAdOption {
    KbnUIGroupOption* group;  // back pointer, not read
    char image[KBN_TEXT_WIDTH];     // picture shown full size; empty: a colour card
    char text[KBN_TEXT_WIDTH];      // text written over it; empty: none
    char fontFile[KBN_TEXT_WIDTH];
    int fontSize;
    int x;
    int y;
    int textRed;
    int textGreen;
    int textBlue;
    char reserved[KBN_TEXT_WIDTH];
    int cardRed;
    int cardGreen;
    int cardBlue;
    int duration;           // seconds on screen
} KbnUIInsertAdOption;

struct KbnUIGroupOption {
    char outputPath[KBN_TEXT_WIDTH];  // the SWF file to write
    KbnUIGenerateOption* generate;    // required
    KbnUIPlayerOption* player;        // required
    int mediaCount;                   // 0 to KBN_MAX_MEDIA
    KbnUIMediaOption* media[KBN_MAX_MEDIA];
    KbnUIOverlayADOption* overlay;    // null: no overlay
    KbnUIInsertAdOption* headCredit;  // null: no head credit
    KbnUIInsertAdOption* tailCredit;  // null: no tail credit
    int reserved;
    int isPreview;  // nonzero: fitted into 340 x 255, at most 4 seconds of embedded video
};

// The folder under which "templates" is found (at most 1023 characters are kept).
MORVBRINDLE_API void setFilePrefixPath(const char* folder);

// Each create function allocates a zero-filled record, stores its address through the
// argument (when it is not null) and returns it; null when memory is exhausted.
MORVBRINDLE_API KbnUIGroupOption* createKbnUIGroupOption(KbnUIGroupOption** group);
MORVBRINDLE_API KbnUIGenerateOption* createKbnUIGenerateOption(KbnUIGenerateOption** option);
MORVBRINDLE_API KbnUIPlayerOption* createKbnUIPlayerOption(KbnUIPlayerOption** option);
MORVBRINDLE_API KbnUIOverlayADOption* createKbnUIOverlayADOption(KbnUIOverlayADOption** option);
MORVBRINDLE_API KbnUIInsertAdOption* createKbnUIInsertAdOption(KbnUIInsertAdOption** option);
// Also appends the record to the group. A null group or a group that already holds
// KBN_MAX_MEDIA records gets nothing: the result (and *media) is null.
MORVBRINDLE_API KbnUIMediaOption* createKbnUIMediaOption(KbnUIGroupOption* group,
                                                         KbnUIMediaOption** media);

// Frees the group with every record it holds and nulls the caller's pointer; null is a no-op.
MORVBRINDLE_API void freeKbnUIGroupOption(KbnUIGroupOption** group);
// Free one record that is not attached to a group; null is a no-op.
MORVBRINDLE_API void freeKbnUIGenerateOption(KbnUIGenerateOption** option);
MORVBRINDLE_API void freeKbnUIPlayerOption(KbnUIPlayerOption** option);
MORVBRINDLE_API void freeKbnUIMediaOption(KbnUIMediaOption** option);
MORVBRINDLE_API void freeKbnUIOverlayADOption(KbnUIOverlayADOption** option);
MORVBRINDLE_API void freeKbnUIInsertAdOption(KbnUIInsertAdOption** option);

// Builds the player the group describes into group->outputPath. Returns 0 or a KbnError;
// after a failure no file is left at outputPath. Adjusts the player, overlay and credit
// records in place (control-bar height, scale, font sizes, preview fitting).
MORVBRINDLE_API int generateFLVPlayer(KbnUIGroupOption* group);

// Packs the low 8 bits of each component as 0xRRGGBB, stores it through value (when not
// null) and returns it.
MORVBRINDLE_API int RGBToInt(int* value, int red, int green, int blue);
// Unpacks 0xRRGGBB into the components (each pointer may be null); returns blue.
MORVBRINDLE_API int IntToRGB(int value, int* red, int* green, int* blue);

// Enciphers (mode 0) or deciphers (any other mode) the input file whole with the key and
// writes the result to the output path, replacing it. Returns 0, or a KbnError; on failure
// the output path is left as it was.
MORVBRINDLE_API int generateCryptFile(int mode, const char* key, const char* inputPath,
                                      const char* outputPath);

#ifdef __cplusplus
}
#endif
