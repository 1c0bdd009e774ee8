#pragma once
// libmorvplayer: the preview player. One window of class "SDL_app" that plays DVD titles,
// DVD chapters and plain files, adjusts the picture as the converter will, and writes
// snapshots. See docs/player.md.
//
// Threads: the window belongs to the thread that called initPlayOption (the program's
// user-interface thread), which paints it; each opened list is decoded and timed on a
// thread of the player's own, which also calls the time callback. Every operation may be
// called from any thread, the callbacks included (stopPlay inside the time callback
// returns at once; the playing thread ends after the callback).
//
// The library reaches the program's windows only through the host table installed with
// setPlayerHost (libs/morvplayer/host.h fills it from the program's platform layer):
// without one, nothing is shown, though playing, time reports and snapshots work.
#include <cstddef>
#include <cstdint>

#include "libs/morvdvdread/morvdvdread.h"
#include "platform/windows/window.h"

#define MORV_PLAYER_API __attribute__((visibility("default")))

extern "C" {

// A time report: the first value is the length of the open list, the second the play
// position, both as hours, minutes and seconds; ended is 1 in the one report sent when
// the list has played to its end (or could not be played).
struct PlayTimeInfo {
    std::int32_t lengthHours, lengthMinutes, lengthSeconds;
    std::int32_t hours, minutes, seconds;
    std::int32_t reserved;
    std::int32_t ended;
};
static_assert(offsetof(PlayTimeInfo, ended) == 28);

// A crop in source pixels, reported when the user releases the crop frame in edit mode.
struct PlayerCropInfo {
    std::int32_t top, bottom, left, right;
};

using PlayerTimeCallback = std::int32_t (*)(PlayTimeInfo*);
using PlayerCropCallback = std::int32_t (*)(PlayerCropInfo*);

// The program's window services the player uses, all called on the window's thread
// except PostMessage.
struct PlayerHost {
    decltype(&platform::RegisterClassA) RegisterClassA;
    decltype(&platform::CreateWindowExA) CreateWindowExA;
    decltype(&platform::DestroyWindow) DestroyWindow;
    decltype(&platform::IsWindow) IsWindow;
    decltype(&platform::DefWindowProcA) DefWindowProcA;
    decltype(&platform::GetClientRect) GetClientRect;
    decltype(&platform::InvalidateRect) InvalidateRect;
    decltype(&platform::BeginPaint) BeginPaint;
    decltype(&platform::EndPaint) EndPaint;
    decltype(&platform::StretchDIBits) StretchDIBits;
    decltype(&platform::SetCapture) SetCapture;
    decltype(&platform::ReleaseCapture) ReleaseCapture;
    platform::BOOL (*PostMessage)(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM);
};

// A list entry whose info.titleNumberPlus1 is 0 names a plain file: info.ifoPath holds the
// file's path, info.audioId and info.subtitleId its n-th streams; chapterSelector is unused.

// Installs the program's window services (copied); nullptr forgets them.
MORV_PLAYER_API void setPlayerHost(const PlayerHost* host);

// Makes the player's window (a second call replaces it): a hidden top-level window of
// class "SDL_app" at the screen rectangle. The first picture shows while nothing is open,
// the second fills the window around a picture that does not fill it. Pictures are BMP,
// PNG or JPEG files; a missing one shows black. Returns 0, or -1 when no window was made.
MORV_PLAYER_API std::int32_t initPlayOption(const char* idlePicture, const char* backPicture, std::int32_t x,
                                            std::int32_t y, std::int32_t width, std::int32_t height);
// Stops what plays and closes the window and the sound device.
MORV_PLAYER_API void close_sdl();
// 1: the edit dialog's view (the whole picture with a crop frame the user drags); 0: the
// picture as the output will show it.
MORV_PLAYER_API void setEditWindow(std::int32_t editMode);
// The address of a variable holding the callback; its value is copied now. nullptr or a
// variable holding nullptr: no reports.
MORV_PLAYER_API void setPlayerHandle(PlayerTimeCallback* callback);
MORV_PLAYER_API void setCropHandle(PlayerCropCallback* callback);

// Opens the entries as one list, played in turn, each from its start to its end second;
// the records are copied. The first picture shows; startPlay plays. Returns 0, or -1 when
// no entry can be played (then the idle picture shows and the end report is sent).
MORV_PLAYER_API std::int32_t openMultiTitleFile(const TitlePlayRecord* records, std::int32_t count);
// Opens a title (chapter selector 0) or a chapter (its number + 1) at a second; positions
// count from the title's or chapter's start.
MORV_PLAYER_API std::int32_t openDvdFile(const DvdPlaybackInfo* info, std::int32_t chapterSelector,
                                         std::int32_t startSecond);
// Opens a plain file from start to end second (end 0: to the file's end).
MORV_PLAYER_API std::int32_t openMediaFile(const char* path, std::int32_t startSecond, std::int32_t endSecond);

MORV_PLAYER_API void startPlay(std::int32_t reserved);
MORV_PLAYER_API void pausePlay();
// Ends the open list without an end report; 1 shows the idle picture, 0 keeps the last.
MORV_PLAYER_API void stopPlay(std::int32_t showIdle);
// Seeks in the open list (seconds as positions count); a target beyond the end ends it.
MORV_PLAYER_API void findDvdTimePlay(double seconds);
// Ends the open list and shows the idle picture (the main window's reset at the bar's end).
MORV_PLAYER_API void updatePlayer();
// Writes the picture on show at the source's display size, as JPEG, BMP or PNG by the
// path's extension (any case), through a temporary name. After a seek it waits for the
// seek's own picture (up to 10 s). 0, or -1 (nothing on show, the seek's picture did not
// come, an unknown extension, an unwritable folder): nothing is written then.
MORV_PLAYER_API std::int32_t morvCapture(const char* path);

MORV_PLAYER_API void setPlayAspectRatio(const char* aspect);  // "original", "full", "16:9", "4:3"
MORV_PLAYER_API void setBrightness(std::int32_t value);        // -100 to 100
MORV_PLAYER_API void setContrast(std::int32_t value);
MORV_PLAYER_API void setSaturation(std::int32_t value);
MORV_PLAYER_API void cropFlim();  // all four crop edges to 0
MORV_PLAYER_API void leftCropFlim(std::int32_t pixels);
MORV_PLAYER_API void rightCropFlim(std::int32_t pixels);
MORV_PLAYER_API void upCropFlim(std::int32_t pixels);
MORV_PLAYER_API void bottomCropFlim(std::int32_t pixels);
MORV_PLAYER_API void noEffectFlim();
MORV_PLAYER_API void grayFlim();
MORV_PLAYER_API void embossFlim();
MORV_PLAYER_API void oldFlim();
MORV_PLAYER_API void horiFlipFlim();  // each call turns the flip over
MORV_PLAYER_API void vertFlipFlim();
MORV_PLAYER_API void noFlipFlim();

// The sound's gain: the left channel's 16-bit level in the low word, the right's in the
// high word (0xFFFF full). It belongs to the player, never to the system's mixer.
MORV_PLAYER_API void setOutputGain(std::uint32_t levels);
// Shows a 32-bit BGRA picture (stride bytes per row), fitted into the window; callable
// from any thread (the converter's preview sink). The pixels are copied.
MORV_PLAYER_API void showPreviewFrame(const std::uint8_t* bgra, std::int32_t width, std::int32_t height,
                                      std::int32_t stride);

}  // extern "C"
