// Showing and hiding a window with an animation: slides run from a timer on the current
// clock, one window region per step.
#include "platform/windows/animation.h"

#include <algorithm>
#include <map>
#include <utility>

#include "platform/core/clock.h"
#include "platform/core/messages.h"
#include "platform/windows/window.h"
#include "platform/windows/wininternal.h"

namespace platform {

namespace {

constexpr UINT kStepMs = 10;

struct Slide {
    DWORD flags = 0;
    DWORD time = 0;
    std::uint64_t start = 0;
    HRGN own = nullptr;  // the window's region before the slide, null for none (owned)
    std::function<void()> onEnd;
};

struct Animations {
    std::map<HWND, Slide> running;
    HWND timerWindow = nullptr;
};

// Only the user-interface thread animates windows; never destroyed, like the window tree.
Animations& State() {
    static Animations* state = new Animations;
    return *state;
}

// The part of a w x h window that shows at fraction f (0..1) of the slide.
RECT Band(DWORD flags, int w, int h, double f) {
    bool hide = flags & AW_HIDE;
    // Hiding uncovers backwards: the leading edge moves the named way, covering.
    DWORD dir = flags & (AW_HOR_POSITIVE | AW_HOR_NEGATIVE | AW_VER_POSITIVE | AW_VER_NEGATIVE);
    if (hide) {
        DWORD flipped = 0;
        if (dir & AW_HOR_POSITIVE) flipped |= AW_HOR_NEGATIVE;
        if (dir & AW_HOR_NEGATIVE) flipped |= AW_HOR_POSITIVE;
        if (dir & AW_VER_POSITIVE) flipped |= AW_VER_NEGATIVE;
        if (dir & AW_VER_NEGATIVE) flipped |= AW_VER_POSITIVE;
        dir = flipped;
    }
    int sw = int(w * f + 0.5), sh = int(h * f + 0.5);
    RECT r{0, 0, w, h};
    if (dir & AW_HOR_POSITIVE) r.right = sw;
    else if (dir & AW_HOR_NEGATIVE) r.left = w - sw;
    if (dir & AW_VER_POSITIVE) r.bottom = sh;
    else if (dir & AW_VER_NEGATIVE) r.top = h - sh;
    return r;
}

void ShapeStep(HWND hwnd, const Slide& s, double f) {
    RECT bounds;
    GetWindowRect(hwnd, &bounds);
    RECT band = Band(s.flags, bounds.right - bounds.left, bounds.bottom - bounds.top, f);
    HRGN region = CreateRectRgn(band.left, band.top, std::max(band.left, band.right), std::max(band.top, band.bottom));
    if (s.own) CombineRgn(region, region, s.own, RGN_AND);
    SetWindowRgn(hwnd, region, TRUE);
}

// Gives the window its own region back (handing the saved copy over).
void RestoreRegion(HWND hwnd, Slide& s) {
    SetWindowRgn(hwnd, s.own, TRUE);
    s.own = nullptr;
}

void StopTimerWhenIdle() {
    Animations& a = State();
    if (a.running.empty() && a.timerWindow) KillTimer(a.timerWindow, 1);
}

// Ends the slide of hwnd: the end state, the own region, then onEnd (when wanted).
void Finish(HWND hwnd, bool runOnEnd) {
    Animations& a = State();
    auto it = a.running.find(hwnd);
    if (it == a.running.end()) return;
    Slide s = std::move(it->second);
    a.running.erase(it);
    StopTimerWhenIdle();
    if (!win::Find(hwnd)) {
        if (s.own) DeleteObject(s.own);
        return;
    }
    if (s.flags & AW_HIDE) ShowWindow(hwnd, SW_HIDE);
    RestoreRegion(hwnd, s);
    if (runOnEnd && s.onEnd) s.onEnd();
}

void Tick() {
    Animations& a = State();
    std::uint64_t now = CurrentClock().TickMs();
    std::vector<HWND> done;
    for (auto& [hwnd, s] : a.running) {
        if (!win::Find(hwnd)) {
            done.push_back(hwnd);
            continue;
        }
        double f = double(now - s.start) / double(s.time);
        if (f >= 1.0)
            done.push_back(hwnd);
        else
            ShapeStep(hwnd, s, (s.flags & AW_HIDE) ? 1.0 - f : f);
    }
    // A dead window's slide ends without its onEnd: its owner is gone with it.
    for (HWND hwnd : done) Finish(hwnd, win::Find(hwnd) != nullptr);
}

void StartTimer() {
    Animations& a = State();
    if (!a.timerWindow)
        a.timerWindow = AllocateHWnd([](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
            if (msg == WM_TIMER) Tick();
            return 0;
        });
    SetTimer(a.timerWindow, 1, kStepMs);
}

}  // namespace

BOOL AnimateWindow(HWND hwnd, DWORD time, DWORD flags, std::function<void()> onEnd) {
    if (!win::Find(hwnd)) return FALSE;
    Finish(hwnd, true);
    if (!win::Find(hwnd)) return FALSE;
    bool hide = flags & AW_HIDE;
    if (hide != bool(IsWindowVisible(hwnd))) return FALSE;
    DWORD dir = flags & (AW_HOR_POSITIVE | AW_HOR_NEGATIVE | AW_VER_POSITIVE | AW_VER_NEGATIVE);
    bool slide = dir && time > 0 && !(flags & (AW_BLEND | AW_CENTER));
    if (!slide) {
        ShowWindow(hwnd, hide ? SW_HIDE : (flags & AW_ACTIVATE) ? SW_SHOW : SW_SHOWNA);
        if (onEnd) onEnd();
        return TRUE;
    }
    Slide s;
    s.flags = flags;
    s.time = time;
    s.start = CurrentClock().TickMs();
    s.onEnd = std::move(onEnd);
    HRGN own = CreateRectRgn(0, 0, 0, 0);
    if (GetWindowRgn(hwnd, own) == ERROR) {
        DeleteObject(own);
        own = nullptr;
    }
    s.own = own;
    ShapeStep(hwnd, s, hide ? 1.0 : 0.0);
    if (!hide) ShowWindow(hwnd, (flags & AW_ACTIVATE) ? SW_SHOW : SW_SHOWNA);
    State().running[hwnd] = std::move(s);
    StartTimer();
    return TRUE;
}

void CancelWindowAnimation(HWND hwnd) {
    Animations& a = State();
    auto it = a.running.find(hwnd);
    if (it == a.running.end()) return;
    Slide s = std::move(it->second);
    a.running.erase(it);
    StopTimerWhenIdle();
    if (win::Find(hwnd))
        RestoreRegion(hwnd, s);
    else if (s.own)
        DeleteObject(s.own);
}

bool IsWindowAnimating(HWND hwnd) { return State().running.count(hwnd) != 0; }

}  // namespace platform
