#pragma once
// The SWF writer: Flash movies (SWF 6 to 10, version 8 by default) built through C-style
// calls on opaque handles.
//
// Units. Every coordinate, size and pen position is in pixels (a double, stored as twips,
// 1/20 pixel). Colours are 8-bit channels; alpha 255 is opaque.
//
// Ownership. Every new* call returns a handle that the caller owns one reference to and
// releases with the matching destroy* call (destroy* of a null handle does nothing). What
// is added to a movie, a sprite, a shape, a button or a text is kept alive by its container
// as long as the container needs it, so objects may be destroyed in any order, before or
// after the movie that uses them. Display items belong to their movie or sprite and are
// never destroyed by the caller; they stay valid (but inert once removed) until their movie
// or sprite is destroyed.
//
// Errors. No call throws, prints or ends the process. A constructor that cannot make its
// object (missing file, undecodable picture, unsupported codec, unloadable font, damaged
// clip) returns null and leaves the reason in SWF_getLastError(). Actions are the exception:
// newSWFAction always returns a handle; when the script does not compile the handle carries
// the compiler's message (SWFAction_getError). Handing a null or failed object to a
// container (a fill of a null bitmap, a failed action on a button, a null block to
// SWFMovie_add) marks the container failed with that reason, and the failure travels up:
// SWFMovie_save of a movie that holds a failed object writes nothing and returns -1 with
// the first reason in SWF_getLastError() and SWFMovie_getError().
//
// Saving. SWFMovie_save writes an uncompressed file through a temporary name in the same
// folder and renames it over the target; on any failure no file is left behind. Video
// frames and stream sound are read from their FLV files during the save and written
// straight to the output, so memory does not grow with the length of the video.
#include <cstdint>

typedef unsigned char byte;

typedef struct SWFBlock_s* SWFBlock;
typedef struct SWFMovie_s* SWFMovie;
typedef struct SWFDisplayItem_s* SWFDisplayItem;
typedef struct SWFShape_s* SWFShape;
typedef struct SWFFill_s* SWFFill;
typedef struct SWFBitmap_s* SWFBitmap;
typedef SWFBitmap SWFJpegBitmap;
typedef SWFBitmap SWFDBLBitmapData;
typedef struct SWFInput_s* SWFInput;
typedef struct SWFButton_s* SWFButton;
typedef struct SWFAction_s* SWFAction;
typedef struct SWFFont_s* SWFFont;
typedef struct SWFText_s* SWFText;
typedef struct SWFMovieClip_s* SWFMovieClip;
typedef struct SWFVideoStream_s* SWFVideoStream;
typedef struct SWFSoundStream_s* SWFSoundStream;
typedef struct SWFPrebuiltClip_s* SWFPrebuiltClip;
typedef SWFBlock SWFCharacter;

// Fill flags of SWFShape_addBitmapFill.
enum {
    SWFFILL_TILED_BITMAP = 0x40,
    SWFFILL_CLIPPED_BITMAP = 0x41,
    SWFFILL_NONSMOOTHED_TILED_BITMAP = 0x42,
    SWFFILL_NONSMOOTHED_CLIPPED_BITMAP = 0x43,
};

// Button states (SWFButton_addCharacter) and conditions (SWFButton_addAction).
enum {
    SWFBUTTON_UP = 0x01,
    SWFBUTTON_OVER = 0x02,
    SWFBUTTON_DOWN = 0x04,
    SWFBUTTON_HIT = 0x08,
};
enum {
    SWFBUTTON_MOUSEOVER = 0x01,   // idle to over
    SWFBUTTON_MOUSEOUT = 0x02,    // over to idle
    SWFBUTTON_MOUSEDOWN = 0x04,   // press over the button
    SWFBUTTON_MOUSEUP = 0x08,     // release over the button
    SWFBUTTON_DRAGOUT = 0x10,
    SWFBUTTON_DRAGOVER = 0x20,
    SWFBUTTON_MOUSEUPOUTSIDE = 0x40,
};

// The reason of the last failed call on this thread ("" when none failed yet).
const char* SWF_getLastError(void);

// Version of the movies newSWFMovie makes (default 8). The only process-wide setting.
void Ming_useSWFVersion(int version);

// --- movie ---------------------------------------------------------------------------
SWFMovie newSWFMovie(void);
SWFMovie newSWFMovieWithVersion(int version);  // 6 to 10; another version fails at save
void destroySWFMovie(SWFMovie movie);
void SWFMovie_setRate(SWFMovie movie, float rate);  // frames a second, 0 to 255.99
void SWFMovie_setDimension(SWFMovie movie, float width, float height);
void SWFMovie_setBackground(SWFMovie movie, byte r, byte g, byte b);
// A character is defined once however often it is placed; each call places it at the next
// depth of the current frame and returns its display item. An action becomes a DoAction
// of the current frame (result null). Fonts, bitmaps and sound streams are not placeable.
SWFDisplayItem SWFMovie_add(SWFMovie movie, SWFBlock block);
int SWFMovie_nextFrame(SWFMovie movie);  // closes the current frame; 0, or -1 when failed
// Stream sound from this frame on: one block of whole MP3 frames per movie frame.
void SWFMovie_setSoundStream(SWFMovie movie, SWFSoundStream sound);
// Writes the movie (a last frame holding anything not yet closed is closed first).
// Returns the number of bytes written, or -1 (see SWF_getLastError).
int SWFMovie_save(SWFMovie movie, const char* filename);
const char* SWFMovie_getError(SWFMovie movie);  // null while the movie is sound

// --- display items: changes apply when the frame closes ------------------------------
void SWFDisplayItem_setName(SWFDisplayItem item, const char* name);
void SWFDisplayItem_moveTo(SWFDisplayItem item, double x, double y);
void SWFDisplayItem_scaleTo(SWFDisplayItem item, double xScale, double yScale);
void SWFDisplayItem_remove(SWFDisplayItem item);  // gone from the next frame on

// --- shapes --------------------------------------------------------------------------
SWFShape newSWFShape(void);
void destroySWFShape(SWFShape shape);
// Line style for the edges drawn next; width 0 means no line.
void SWFShape_setLine(SWFShape shape, unsigned short width, byte r, byte g, byte b, byte a);
SWFFill SWFShape_addSolidFill(SWFShape shape, byte r, byte g, byte b, byte a);
// The bitmap at one picture pixel per pixel from the shape's origin; flags SWFFILL_*.
SWFFill SWFShape_addBitmapFill(SWFShape shape, SWFBitmap bitmap, byte flags);
void destroySWFFill(SWFFill fill);
void SWFShape_setLeftFill(SWFShape shape, SWFFill fill);   // null: no fill
void SWFShape_setRightFill(SWFShape shape, SWFFill fill);  // null: no fill
void SWFShape_movePenTo(SWFShape shape, double x, double y);
void SWFShape_drawLineTo(SWFShape shape, double x, double y);
void SWFShape_drawLine(SWFShape shape, double dx, double dy);
// A quadratic curve: the control point relative to the pen, the end relative to the control.
void SWFShape_drawCurve(SWFShape shape, double controldx, double controldy, double anchordx,
                        double anchordy);

// --- files and bitmaps ---------------------------------------------------------------
SWFInput newSWFInput_filename(const char* filename);  // null when it cannot be opened
void destroySWFInput(SWFInput input);
// Both read JPEG (kept byte for byte, DefineBitsJPEG2) and PNG (decoded, DefineBitsLossless2
// with alpha), chosen by the file's signature; anything else, or a picture that does not
// decode, gives null.
SWFJpegBitmap newSWFJpegBitmap_fromInput(SWFInput input);
SWFDBLBitmapData newSWFDBLBitmapData_fromPngInput(SWFInput input);
SWFBitmap newSWFBitmap_fromInput(SWFInput input);
void destroySWFBitmap(SWFBitmap bitmap);
int SWFBitmap_getWidth(SWFBitmap bitmap);   // pixels; 0 for null
int SWFBitmap_getHeight(SWFBitmap bitmap);  // pixels; 0 for null

// --- actions -------------------------------------------------------------------------
// Compiles ActionScript 1/2 source. Never null (except out of memory); a script that does
// not compile gives an action whose SWFAction_getError is "line L, column C: message".
SWFAction newSWFAction(const char* script);
void destroySWFAction(SWFAction action);
const char* SWFAction_getError(SWFAction action);  // null when compiled

// --- buttons -------------------------------------------------------------------------
SWFButton newSWFButton(void);
void destroySWFButton(SWFButton button);
void SWFButton_addCharacter(SWFButton button, SWFCharacter character, byte flags);
void SWFButton_addAction(SWFButton button, SWFAction action, int flags);

// --- fonts and text ------------------------------------------------------------------
// A TrueType or OpenType font; only the glyphs of characters used by texts are written.
SWFFont newSWFFont_fromFile(const char* filename);
void destroySWFFont(SWFFont font);
SWFText newSWFText(void);
void destroySWFText(SWFText text);
void SWFText_setFont(SWFText text, SWFFont font);
void SWFText_setColor(SWFText text, byte r, byte g, byte b, byte a);
void SWFText_setHeight(SWFText text, float height);  // pixels of the em square
// UTF-8 (a byte that is not part of valid UTF-8 counts as a Latin-1 character). The
// baseline lies one ascent below the text's origin, so a text placed at y has its top at y;
// strings added later follow on the same line. `advance`, when given, receives the added
// width in pixels, rounded.
void SWFText_addString(SWFText text, const char* string, int* advance = nullptr);

// --- sprites -------------------------------------------------------------------------
SWFMovieClip newSWFMovieClip(void);
void destroySWFMovieClip(SWFMovieClip clip);
SWFDisplayItem SWFMovieClip_add(SWFMovieClip clip, SWFBlock block);
int SWFMovieClip_nextFrame(SWFMovieClip clip);

// --- video and sound from FLV --------------------------------------------------------
// Sorenson H.263 or screen video; null for other codecs or a damaged file. While placed,
// the stream shows its next frame in every frame of its timeline.
SWFVideoStream newSWFVideoStream_fromInput(SWFInput input);
void destroySWFVideoStream(SWFVideoStream stream);
void SWFVideoStream_setDimension(SWFVideoStream stream, int width, int height);
int SWFVideoStream_getNumFrames(SWFVideoStream stream);  // 0 for null
// MP3 at 11025, 22050 or 44100 Hz; null for AAC, other codecs, other rates or no sound.
SWFSoundStream newSWFSoundStream_fromInput(SWFInput input);
void destroySWFSoundStream(SWFSoundStream sound);

// --- prebuilt clips ------------------------------------------------------------------
// A SWF file (FWS or CWS) whose definitions join the movie under new ids and whose
// timeline becomes a sprite. Null for ActionScript 3, tags this reader does not know
// that carry ids, imports from other files, and damaged files.
SWFPrebuiltClip newSWFPrebuiltClip_fromFile(const char* filename);
void destroySWFPrebuiltClip(SWFPrebuiltClip clip);

// Every handle above is a block (the first part of each object), so a handle of any kind
// can be given where a block or character is asked for, with or without a cast.
#define SWF_BLOCK_OVERLOADS(T)                                                              \
    inline SWFDisplayItem SWFMovie_add(SWFMovie movie, T block) {                           \
        return SWFMovie_add(movie, reinterpret_cast<SWFBlock>(block));                      \
    }                                                                                       \
    inline SWFDisplayItem SWFMovieClip_add(SWFMovieClip clip, T block) {                    \
        return SWFMovieClip_add(clip, reinterpret_cast<SWFBlock>(block));                   \
    }                                                                                       \
    inline void SWFButton_addCharacter(SWFButton button, T character, byte flags) {         \
        SWFButton_addCharacter(button, reinterpret_cast<SWFCharacter>(character), flags);   \
    }
SWF_BLOCK_OVERLOADS(SWFShape)
SWF_BLOCK_OVERLOADS(SWFButton)
SWF_BLOCK_OVERLOADS(SWFText)
SWF_BLOCK_OVERLOADS(SWFMovieClip)
SWF_BLOCK_OVERLOADS(SWFVideoStream)
SWF_BLOCK_OVERLOADS(SWFPrebuiltClip)
SWF_BLOCK_OVERLOADS(SWFAction)
SWF_BLOCK_OVERLOADS(SWFBitmap)
#undef SWF_BLOCK_OVERLOADS
