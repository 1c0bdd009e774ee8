#include "platform/core/clock.h"

#include <time.h>

#include <chrono>
#include <thread>

#include "platform/core/waits.h"

namespace platform {

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

SYSTEMTIME FromLocalMs(std::int64_t ms) {
    std::int64_t days = ms >= 0 ? ms / 86400000 : (ms - 86399999) / 86400000;
    std::int64_t rest = ms - days * 86400000;
    std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    SYSTEMTIME t;
    t.wYear = WORD(std::int64_t(yoe) + era * 400 + (m <= 2));
    t.wMonth = WORD(m);
    t.wDay = WORD(d);
    t.wDayOfWeek = WORD(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    t.wHour = WORD(rest / 3600000);
    t.wMinute = WORD(rest / 60000 % 60);
    t.wSecond = WORD(rest / 1000 % 60);
    t.wMilliseconds = WORD(rest % 1000);
    return t;
}

std::int64_t ToLocalMs(const SYSTEMTIME& t) {
    return DaysFromCivil(t.wYear, t.wMonth, t.wDay) * 86400000 + std::int64_t(t.wHour) * 3600000 +
           std::int64_t(t.wMinute) * 60000 + std::int64_t(t.wSecond) * 1000 + t.wMilliseconds;
}

// The tick at the timer interrupt's resolution: the kernel keeps it ready, so reading it
// costs a fraction of an exact reading.
std::uint64_t SystemCoarseTickMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return std::uint64_t(ts.tv_sec) * 1000 + std::uint64_t(ts.tv_nsec) / 1000000;
}

class TSystemClock : public TClock {
public:
    SYSTEMTIME LocalTime() const override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm local{};
        localtime_r(&ts.tv_sec, &local);
        SYSTEMTIME t;
        t.wYear = WORD(local.tm_year + 1900);
        t.wMonth = WORD(local.tm_mon + 1);
        t.wDay = WORD(local.tm_mday);
        t.wDayOfWeek = WORD(local.tm_wday);
        t.wHour = WORD(local.tm_hour);
        t.wMinute = WORD(local.tm_min);
        t.wSecond = WORD(local.tm_sec > 59 ? 59 : local.tm_sec);  // a leap second stays in its minute
        t.wMilliseconds = WORD(ts.tv_nsec / 1000000);
        return t;
    }
    std::uint64_t TickMs() const override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return std::uint64_t(ts.tv_sec) * 1000 + std::uint64_t(ts.tv_nsec) / 1000000;
    }
    std::uint64_t CoarseTickMs() const override { return SystemCoarseTickMs(); }
};

// The system clock is never destroyed: it holds nothing, and a thread still finishing while
// the process exits may ask it the time after static objects are gone.
union SystemClockStorage {
    TSystemClock clock;
    constexpr SystemClockStorage() : clock() {}
    ~SystemClockStorage() {}
};
constinit SystemClockStorage systemClockStorage;
TSystemClock& systemClock = systemClockStorage.clock;
constinit std::atomic<TClock*> currentClock{&systemClockStorage.clock};

}  // namespace

TVirtualClock::TVirtualClock() {
    SYSTEMTIME start;
    start.wYear = 2010;
    start.wMonth = 2;
    start.wDay = 10;
    start.wHour = 9;
    start.wMinute = 5;
    start.wSecond = 7;
    localMs_ = ToLocalMs(start);
}

SYSTEMTIME TVirtualClock::LocalTime() const { return FromLocalMs(localMs_.load()); }

void TVirtualClock::Advance(std::uint64_t ms) {
    tick_ += ms;
    localMs_ += std::int64_t(ms);
    detail::WakeAllWaiters();
}

void TVirtualClock::SetLocalTime(const SYSTEMTIME& t) {
    localMs_ = ToLocalMs(t);
    detail::WakeAllWaiters();
}

TClock& CurrentClock() { return *currentClock.load(); }

void SetClock(TClock* clock) {
    currentClock = clock != nullptr ? clock : &systemClock;
    detail::WakeAllWaiters();
}

void GetLocalTime(SYSTEMTIME* time) {
    if (time != nullptr) *time = CurrentClock().LocalTime();
}

std::uint64_t GetTickCount64() { return CurrentClock().TickMs(); }

std::uint64_t GetCoarseTickCount64() {
    const TClock* clock = currentClock.load(std::memory_order_acquire);
    return clock == &systemClock ? SystemCoarseTickMs() : clock->CoarseTickMs();
}
DWORD GetTickCount() { return DWORD(GetTickCount64()); }
DWORD timeGetTime() { return DWORD(GetTickCount64()); }

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace platform
