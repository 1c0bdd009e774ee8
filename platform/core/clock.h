#pragma once
// The clock of the program: local date and time and a monotonic millisecond tick.
//
// Every caller reads time through the current clock, so tests can install a virtual one
// and move it by hand: timers, message-loop waits and timed event waits follow it.
// Local date and time come back in one record, read once per call, so its parts always
// belong to the same instant.
#include <atomic>
#include <cstdint>

#include "platform/core/wintypes.h"

namespace platform {

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;  // 1-12
    WORD wDayOfWeek = 0;  // 0 Sunday
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};

class TClock {
public:
    virtual ~TClock() = default;
    virtual SYSTEMTIME LocalTime() const = 0;
    // Milliseconds since an arbitrary start; never goes back.
    virtual std::uint64_t TickMs() const = 0;
    // The tick at the resolution of the system's timer interrupt (a few ms, as a message's
    // time stamp has always had): far cheaper to read, never ahead of TickMs().
    virtual std::uint64_t CoarseTickMs() const { return TickMs(); }
    // A virtual clock only moves when told to: waits do not time out by themselves.
    virtual bool IsVirtual() const { return false; }
};

// A clock that moves only through SetLocalTime and Advance. Advancing wakes every wait
// so that due timers and elapsed time-outs are seen at once.
class TVirtualClock : public TClock {
public:
    // Starts at tick 0 and local time 2010-02-10 09:05:07.000.
    TVirtualClock();
    SYSTEMTIME LocalTime() const override;
    std::uint64_t TickMs() const override { return tick_.load(); }
    bool IsVirtual() const override { return true; }

    void Advance(std::uint64_t ms);
    // Sets the local date and time (the tick is left alone; it never goes back).
    void SetLocalTime(const SYSTEMTIME& t);

private:
    std::atomic<std::uint64_t> tick_{0};
    std::atomic<std::int64_t> localMs_{0};  // local time as milliseconds since 1970-01-01
};

// The clock every caller uses. SetClock(nullptr) restores the system clock; the caller
// keeps the clock alive while it is installed.
TClock& CurrentClock();
void SetClock(TClock* clock);

// Installs a clock for the lifetime of the object.
class TScopedClock {
public:
    explicit TScopedClock(TClock& clock) { SetClock(&clock); }
    ~TScopedClock() { SetClock(nullptr); }
    TScopedClock(const TScopedClock&) = delete;
    TScopedClock& operator=(const TScopedClock&) = delete;
};

void GetLocalTime(SYSTEMTIME* time);
// The tick in milliseconds; the 32-bit forms wrap after 49.7 days as the system's do.
DWORD GetTickCount();
std::uint64_t GetTickCount64();
// The current clock's CoarseTickMs, read straight from the system when no other clock is
// installed (a message's time stamp, read once per post).
std::uint64_t GetCoarseTickCount64();
DWORD timeGetTime();
// Blocks the calling thread for real time (not the virtual clock).
void Sleep(DWORD ms);

}  // namespace platform
