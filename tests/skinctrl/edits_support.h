#pragma once
// A headless form on a virtual clock for the skinned edits, combo boxes, colour boxes,
// memos, list boxes and menus: input goes through the input queue, pixels are read back
// from the window surfaces in each window's own coordinates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../platform/windows/windows_test_support.h"
#include "platform/backends/headless.h"
#include "platform/controls/forms.h"
#include "platform/controls/textclip.h"
#include "platform/core/clock.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"

namespace skintest {

using namespace platform;

inline bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(int(GetRValue(a)) - GetRValue(b)) <= tolerance &&
           std::abs(int(GetGValue(a)) - GetGValue(b)) <= tolerance && std::abs(int(GetBValue(a)) - GetBValue(b)) <= tolerance;
}

inline std::string Hex(COLORREF c) {
    char b[16];
    std::snprintf(b, sizeof b, "%06X", unsigned(c));
    return b;
}

class SkinForm : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        TTextClipboard clip;
        clip.Get = [this](bool primary) { return primary ? std::string() : clipboard; };
        clip.Set = [this](const std::string& text) { clipboard = text; };
        clip.ClaimPrimary = [](const void*, std::function<std::string()>) {};
        clip.ReleasePrimary = [](const void*) {};
        oldClip_ = SetTextClipboard(clip);
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 460, 320);
        form->SetColor(clWhite);
        form->AfterConstruction();
        form->Show();
        Pump();
    }
    void TearDown() override {
        delete form;
        Pump();
        SetTextClipboard(oldClip_);
    }
    void Pump() { Application->ProcessMessages(); }
    HWND Top() { return form->Handle(); }
    // A pixel of window hwnd in its own coordinates (frame included).
    static COLORREF Px(HWND hwnd, int x, int y) { return GetWindowSurfacePixel(hwnd, x, y); }
    // Mouse input in form client coordinates.
    void Move(int x, int y) {
        InputMouseMove(Top(), x, y);
        Pump();
    }
    void Button(int x, int y, bool down) {
        InputMouseMove(Top(), x, y);
        InputMouseButton(Top(), x, y, MouseButton::Left, down);
        Pump();
    }
    void Click(int x, int y) {
        Button(x, y, true);
        Button(x, y, false);
    }
    void Key(WORD vk) {
        InputKey(vk, true);
        InputKey(vk, false);
        Pump();
    }
    void Type(const std::string& text) {
        for (unsigned char c : text) InputChar(c);
        Pump();
    }
    void Tick(std::uint64_t ms) {
        clock.Advance(ms);
        Pump();
    }
    static int Beeps() { return static_cast<HeadlessBackend&>(Backend()).Beeps(); }
    void Shot(HWND hwnd, const std::string& name) { SaveWindowImage(hwnd, name + ".png"); }
    template <class T>
    T* Place(int x, int y, int w, int h) {
        auto* c = new T(form);
        c->SetParent(form);
        c->SetBounds(x, y, w, h);
        return c;
    }
    void Log(const std::string& s) { events.push_back(s); }
    // A window's native vertical bar and its client area, in its parent's client coordinates.
    static TRect InParent(HWND hwnd, TRect screen) {
        POINT p{screen.left, screen.top};
        ScreenToClient(GetParent(hwnd), &p);
        return TRect(p.x, p.y, p.x + screen.Width(), p.y + screen.Height());
    }
    static TRect NativeVBar(HWND hwnd) {
        SCROLLBARINFO info;
        info.cbSize = sizeof info;
        if (!GetScrollBarInfo(hwnd, OBJID_VSCROLL, &info)) return TRect();
        return InParent(hwnd, info.rcScrollBar);
    }
    static TRect ClientInParent(HWND hwnd) {
        RECT r;
        GetClientRect(hwnd, &r);
        POINT p{0, 0};
        ClientToScreen(hwnd, &p);
        return InParent(hwnd, TRect(p.x, p.y, p.x + r.right, p.y + r.bottom));
    }

    TVirtualClock clock;
    TScopedClock scoped{clock};
    TForm* form = nullptr;
    std::vector<std::string> events;
    std::string clipboard;

private:
    TTextClipboard oldClip_;
};

}  // namespace skintest
