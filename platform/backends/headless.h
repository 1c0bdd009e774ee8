#pragma once
// The headless backend: top-level windows live only as memory surfaces. Tests use it to
// see what the display would be told (shown, moved, shaped, titled, cursor).
#include <map>
#include <string>
#include <vector>

#include "platform/windows/backend.h"
#include "platform/windows/messages.h"

namespace platform {

class HeadlessBackend : public WindowBackend {
public:
    struct TopWindow {
        TRect bounds;
        bool popup = false;
        bool visible = false;
        bool shaped = false;
        bool minimized = false;
        bool framed = false;  // the display draws a frame (WS_CAPTION)
        std::string title;
        int cursor = 0;
        int presents = 0;
    };

    HeadlessBackend(int screenWidth, int screenHeight) : screen_(0, 0, screenWidth, screenHeight) {}
    std::string Name() const override { return "headless"; }
    TRect ScreenRect() const override { return screen_; }
    // The work area leaves room for a panel at the bottom, as desktops have.
    TRect WorkArea() const override { return TRect(0, 0, screen_.right, screen_.bottom - 40); }

    void WindowCreated(HWND hwnd, const TRect& bounds, DWORD style, DWORD exStyle) override;
    void WindowDestroyed(HWND hwnd) override { windows_.erase(hwnd); }
    void WindowMoved(HWND hwnd, const TRect& bounds) override { windows_[hwnd].bounds = bounds; }
    void WindowShown(HWND hwnd, bool visible) override { windows_[hwnd].visible = visible; }
    void WindowMinimized(HWND hwnd, bool minimized) override { windows_[hwnd].minimized = minimized; }
    void WindowShaped(HWND hwnd, HRGN region) override { windows_[hwnd].shaped = region != nullptr; }
    void WindowTitled(HWND hwnd, const std::string& title) override { windows_[hwnd].title = title; }
    void WindowRestyled(HWND hwnd, DWORD style, DWORD) override { windows_[hwnd].framed = (style & WS_CAPTION) != 0; }
    void Present(HWND hwnd, const TRect&, const std::uint32_t*, int) override { ++windows_[hwnd].presents; }
    void CursorChanged(HWND hwnd, int cursorId) override {
        windows_[hwnd].cursor = cursorId;
        cursorHistory_.push_back(cursorId);
    }
    void CursorDestroyed(int cursorId) override { destroyedCursors_.push_back(cursorId); }
    // Every cursor shown, in order, and the made cursors freed.
    const std::vector<int>& CursorHistory() const { return cursorHistory_; }
    const std::vector<int>& DestroyedCursors() const { return destroyedCursors_; }
    TPoint CursorPos() const override { return cursor_; }
    void SetCursorPos(TPoint p) override { cursor_ = p; }
    void PollInput() override {}
    void Beep() override { ++beeps_; }
    int Beeps() const { return beeps_; }

    // What the display knows of a top-level window (a default record for an unknown one).
    TopWindow Window(HWND hwnd) const;

private:
    TRect screen_;
    TPoint cursor_;
    std::map<HWND, TopWindow> windows_;
    int beeps_ = 0;
    std::vector<int> cursorHistory_;
    std::vector<int> destroyedCursors_;
};

}  // namespace platform
