#pragma once
// The player's inner pieces that need no window or decoder: the list's time line, the
// clocks and the frame scheduler.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "libs/morvdvdread/morvdvdread.h"

namespace morvplayer {

// One stretch of one source on the list's time line: a file, or one DVD chapter.
struct Piece {
    std::string path;        // a file, or the title's IFO path
    bool dvd = false;
    int titleSet = 0, titleSetTitle = 0, chapter = 0;  // DVD: chapter from 0
    int audioId = -1, subtitleId = -1;
    std::uint8_t palette[DVD_PALETTE_ENTRIES][3]{};
    double mediaIn = 0, mediaOut = 0;  // seconds within the source
    double timelineIn = 0;             // where mediaIn lands on the list's time line
    int entry = 0;                     // the list entry it belongs to
    double TimelineOut() const { return timelineIn + (mediaOut - mediaIn); }
};

struct Playlist {
    std::vector<Piece> pieces;
    double base = 0;    // the time line's first position (a DVD opened at a second: that second)
    double length = 0;  // what the first value of a time report gives
    double End() const { return pieces.empty() ? base : pieces.back().TimelineOut(); }
    // The piece holding a position and the position within its source; -1 beyond the end.
    int Locate(double position, double& media) const;
};

// Builds the list of entries: each plays from its start to its end second (within the
// title, the chapter or the file); whole titles become their chapters. fileLength gives
// a plain file's length when its end second is 0 (0: unknown, the entry is left out).
// Entries that cannot be played (start at or after end, a chapter the title does not
// hold, no path) are left out.
Playlist BuildPlaylist(const std::vector<TitlePlayRecord>& records,
                       const std::function<double(const std::string&)>& fileLength);

// Seconds as the time reports carry them.
struct Hms {
    int hours, minutes, seconds;
};
Hms ToHms(double seconds);

// The master clock: the sound's position when sound plays (samples handed to the device
// less what the device still holds), else a monotonic clock; either stands still while
// paused. Times are positions on the list's time line.
class PlayClock {
public:
    using Now = std::function<double()>;          // monotonic seconds
    using Held = std::function<std::int64_t()>;   // samples the device still holds
    PlayClock(Now now, Held held, int sampleRate) : now_(std::move(now)), held_(std::move(held)), rate_(sampleRate) {}

    // Starts the time line at a position (open, seek): no sound handed out yet.
    void Reset(double position);
    // Sound for the time line up to `end` has been handed to the device.
    void SoundQueued(double end) { soundEnd_ = end, sound_ = true; }
    // The sound stopped for good (no stream, or its end): the monotonic clock goes on from here.
    void SoundEnded();
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    double Position() const;

private:
    double Monotonic() const;
    Now now_;
    Held held_;
    int rate_;
    bool sound_ = false;
    bool paused_ = true;
    double soundEnd_ = 0;
    double anchorPosition_ = 0;  // monotonic: position at anchorTime_
    double anchorTime_ = 0;
};

// Which frame shows when: a frame waits until the clock reaches it, shows while it is
// due, and is dropped when the clock has already passed the next frame's time.
enum class FrameAction { Wait, Show, Drop };
struct FrameDecision {
    FrameAction action;
    double wait;  // seconds, for Wait
};
FrameDecision ScheduleFrame(double pts, double nextPts, double clock);

}  // namespace morvplayer
