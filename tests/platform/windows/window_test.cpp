// The window layer without controls: procedures and hooks, the paint cycle, capture,
// double clicks on the virtual clock, window regions and messages across threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/messages.h"
#include "platform/backends/headless.h"
#include "platform/graphics/graphics.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/window.h"
#include "platform/windows/windows_test_support.h"

using namespace platform;

namespace {

// Every window of these tests records what reaches its procedure.
struct Log {
    std::vector<std::string> lines;
    void Add(const std::string& s) { lines.push_back(s); }
};
Log* gLog = nullptr;
COLORREF gFill[8];  // paint colour per window id

std::string Name(HWND h) { return std::to_string(GetWindowLongA(h, GWL_ID)); }

LRESULT Recorder(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            RECT r;
            GetClientRect(h, &r);
            HBRUSH brush = CreateSolidBrush(gFill[GetWindowLongA(h, GWL_ID) & 7]);
            FillRect(dc, &r, brush);
            DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
            if (gLog)
                gLog->Add("paint " + Name(h) + " " + std::to_string(ps.rcPaint.left) + "," + std::to_string(ps.rcPaint.top) +
                          "," + std::to_string(ps.rcPaint.right) + "," + std::to_string(ps.rcPaint.bottom));
            EndPaint(h, &ps);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_MOUSEMOVE:
            if (gLog) {
                const char* what = msg == WM_LBUTTONDOWN ? "down" : msg == WM_LBUTTONUP ? "up" : msg == WM_LBUTTONDBLCLK ? "dbl" : "move";
                gLog->Add(std::string(what) + " " + Name(h) + " " + std::to_string(std::int16_t(LOWORD(lp))) + "," +
                          std::to_string(std::int16_t(HIWORD(lp))));
            }
            if (msg == WM_LBUTTONDOWN && GetWindowLongPtrA(h, GWLP_USERDATA) == 1) SetCapture(h);
            if (msg == WM_LBUTTONUP && GetCapture() == h) ReleaseCapture();
            return 0;
        case WM_USER + 1:
            if (gLog) gLog->Add("user " + Name(h) + " " + std::to_string(wp));
            return LRESULT(wp * 2);
        case WM_VSCROLL:
            if (gLog) gLog->Add("vscroll " + std::to_string(LOWORD(wp)) + " " + std::to_string(HIWORD(wp)));
            return 0;
        default:
            return DefWindowProcA(h, msg, wp, lp);
    }
}

void RegisterTestClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSA plain;
    plain.lpfnWndProc = Recorder;
    plain.lpszClassName = "TestPlain";
    RegisterClassA(plain);
    WNDCLASSA dbl = plain;
    dbl.style = CS_DBLCLKS;
    dbl.lpszClassName = "TestDbl";
    RegisterClassA(dbl);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseHeadlessBackend();
        RegisterTestClasses();
        gLog = &log;
        gFill[1] = RGB(255, 0, 0);
        gFill[2] = RGB(0, 0, 255);
        gFill[3] = RGB(0, 255, 0);
    }
    void TearDown() override {
        for (HWND h : created)
            if (IsWindow(h)) DestroyWindow(h);
        test::Pump();
        gLog = nullptr;
    }
    HWND Top(const char* cls, int id, int x, int y, int w, int h) {
        HWND hwnd = CreateWindowExA(0, cls, "top", WS_POPUP | WS_CLIPCHILDREN, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongA(hwnd, GWL_ID, id);
        created.push_back(hwnd);
        return hwnd;
    }
    HWND Child(HWND parent, const char* cls, int id, int x, int y, int w, int h) {
        return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(std::intptr_t(id)), nullptr, nullptr);
    }
    Log log;
    std::vector<HWND> created;
};

LRESULT Hook(HWND h, UINT msg, WPARAM wp, LPARAM lp);
WNDPROC gHooked = nullptr;
LRESULT Hook(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_USER + 1) {
        gLog->Add("hook " + std::to_string(wp));
        wp += 1;
    }
    return CallWindowProcA(gHooked, h, msg, wp, lp);
}

}  // namespace

TEST_F(WindowTest, ProcedureHookChainsAndRestores) {
    HWND w = Top("TestPlain", 1, 0, 0, 50, 50);
    gHooked = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Hook)));
    EXPECT_EQ(SendMessage(w, WM_USER + 1, 5, 0), 12);
    SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gHooked));
    EXPECT_EQ(SendMessage(w, WM_USER + 1, 5, 0), 10);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"hook 5", "user 1 6", "user 1 5"}));
}

TEST_F(WindowTest, MessagesForADestroyedWindowAreDroppedAndHandlesNotReused) {
    HWND w = Top("TestPlain", 1, 0, 0, 50, 50);
    PostMessage(w, WM_USER + 1, 7, 0);
    DestroyWindow(w);
    HWND again = Top("TestPlain", 1, 0, 0, 50, 50);
    test::Pump();
    EXPECT_NE(again, w);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(SendMessage(w, WM_USER + 1, 1, 0), 0);
    for (const auto& line : log.lines) EXPECT_EQ(line.rfind("user", 0), std::string::npos) << line;
}

TEST_F(WindowTest, FindWindowByClassAndTreeQueries) {
    HWND top = Top("TestDbl", 1, 0, 0, 100, 100);
    HWND a = Child(top, "TestPlain", 2, 0, 0, 10, 10);
    HWND b = Child(top, "TestPlain", 3, 0, 0, 10, 10);
    EXPECT_EQ(FindWindowA("TestDbl", nullptr), top);
    EXPECT_EQ(FindWindowA("NoSuchClass", nullptr), nullptr);
    EXPECT_EQ(GetParent(a), top);
    EXPECT_EQ(GetWindow(top, GW_CHILD), b);  // the newest child is on top
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
    SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(top, GW_CHILD), a);
    EXPECT_TRUE(IsChild(top, a));
    EXPECT_EQ(SetParent(a, nullptr), top);
    EXPECT_FALSE(IsChild(top, a));
    EXPECT_EQ(SetParent(top, a), nullptr) << "a window cannot go below its own descendant";
    DestroyWindow(a);
}

TEST_F(WindowTest, GeometryAndCoordinateMapping) {
    HWND top = Top("TestPlain", 1, 100, 50, 300, 200);
    HWND child = CreateWindowExA(WS_EX_CLIENTEDGE, "TestPlain", "", WS_CHILD | WS_VISIBLE, 10, 20, 100, 80, top, nullptr,
                                 nullptr, nullptr);
    RECT r;
    GetClientRect(child, &r);
    EXPECT_EQ(TRect(r), TRect(0, 0, 96, 76));
    GetWindowRect(child, &r);
    EXPECT_EQ(TRect(r), TRect(110, 70, 210, 150));
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 112);
    EXPECT_EQ(p.y, 72);
    ScreenToClient(top, &p);
    EXPECT_EQ(p.x, 12);
    EXPECT_EQ(p.y, 22);
    MoveWindow(child, 30, 40, 50, 60, TRUE);
    GetWindowRect(child, &r);
    EXPECT_EQ(TRect(r), TRect(130, 90, 180, 150));
}

TEST_F(WindowTest, PaintCycleRepaintsOnlyInvalidAreasAndClipsChildren) {
    HWND top = Top("TestPlain", 1, 0, 0, 200, 100);
    HWND child = Child(top, "TestPlain", 2, 50, 20, 40, 30);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"paint 1 0,0,200,100", "paint 2 0,0,40,30"}));
    // The parent painted its whole client, but not over its child.
    EXPECT_EQ(GetWindowSurfacePixel(top, 5, 5), RGB(255, 0, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 60, 30), RGB(0, 0, 255));

    log.lines.clear();
    RECT r{0, 0, 10, 10};
    InvalidateRect(top, &r, TRUE);
    RECT inChild{5, 5, 8, 8};
    InvalidateRect(child, &inChild, TRUE);
    InvalidateRect(child, &inChild, TRUE);
    test::Pump();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"paint 1 0,0,10,10", "paint 2 5,5,8,8"}));

    // A validated area is not painted; a hidden window is not painted at all.
    log.lines.clear();
    InvalidateRect(top, nullptr, TRUE);
    ValidateRect(top, nullptr);
    InvalidateRect(child, nullptr, TRUE);
    ShowWindow(child, SW_HIDE);
    log.lines.clear();
    ValidateRect(top, nullptr);
    test::Pump();
    EXPECT_TRUE(log.lines.empty()) << log.lines.front();
}

// Paints green, then - with the paint DC's state saved, as owner drawing does - draws blue
// through a window DC and a client DC, then red through the paint DC once it is restored.
LRESULT SavedStatePainter(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return DefWindowProcA(h, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    auto fill = [](HDC target, RECT r, COLORREF c) {
        HBRUSH brush = CreateSolidBrush(c);
        FillRect(target, &r, brush);
        DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
    };
    fill(dc, RECT{0, 0, 60, 40}, RGB(0, 255, 0));
    int saved = SaveDC(dc);
    for (bool whole : {true, false}) {
        HDC other = whole ? GetWindowDC(h) : GetDC(h);
        EXPECT_NE(other, nullptr);
        fill(other, whole ? RECT{0, 0, 5, 5} : RECT{40, 0, 45, 5}, RGB(0, 0, 255));
        ReleaseDC(h, other);
    }
    RestoreDC(dc, saved);
    fill(dc, RECT{20, 20, 25, 25}, RGB(255, 0, 0));
    EndPaint(h, &ps);
    return 0;
}

TEST_F(WindowTest, OtherDCsDrawOnTheWindowWhileThePaintDCHoldsASavedState) {
    WNDCLASSA cls;
    cls.lpfnWndProc = SavedStatePainter;
    cls.lpszClassName = "TestSavedState";
    RegisterClassA(cls);
    HWND top = Top("TestSavedState", 5, 0, 0, 60, 40);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    EXPECT_EQ(GetWindowSurfacePixel(top, 2, 2), RGB(0, 0, 255)) << "window DC";
    EXPECT_EQ(GetWindowSurfacePixel(top, 42, 2), RGB(0, 0, 255)) << "client DC";
    EXPECT_EQ(GetWindowSurfacePixel(top, 10, 10), RGB(0, 255, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 22, 22), RGB(255, 0, 0)) << "the paint DC draws again once restored";
}

TEST_F(WindowTest, MovingAChildRepaintsWhatItUncovered) {
    HWND top = Top("TestPlain", 1, 0, 0, 200, 100);
    HWND child = Child(top, "TestPlain", 2, 10, 10, 20, 20);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    log.lines.clear();
    MoveWindow(child, 100, 10, 20, 20, TRUE);
    test::Pump();
    EXPECT_EQ(GetWindowSurfacePixel(top, 15, 15), RGB(255, 0, 0));
    EXPECT_EQ(GetWindowSurfacePixel(top, 105, 15), RGB(0, 0, 255));
    EXPECT_EQ(log.lines.front(), "paint 1 10,10,120,30");
}

TEST_F(WindowTest, WindowRegionClipsPaintingAndInput) {
    HWND top = Top("TestPlain", 1, 0, 0, 100, 100);
    SetWindowRgn(top, CreateRoundRectRgn(0, 0, 101, 101, 40, 40), TRUE);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    EXPECT_EQ(GetWindowSurfacePixel(top, 1, 1), RGB(0, 0, 0)) << "outside the region nothing is painted";
    EXPECT_EQ(GetWindowSurfacePixel(top, 50, 50), RGB(255, 0, 0));
    log.lines.clear();
    InputMouseButton(top, 1, 1, MouseButton::Left, true);
    InputMouseButton(top, 1, 1, MouseButton::Left, false);
    InputMouseButton(top, 50, 2, MouseButton::Left, true);
    InputMouseButton(top, 50, 2, MouseButton::Left, false);
    test::Pump();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"down 1 50,2", "up 1 50,2"}));
    EXPECT_EQ(WindowFromPoint(POINT{1, 1}), nullptr);
}

TEST_F(WindowTest, CaptureKeepsTheMouseUntilReleased) {
    HWND top = Top("TestPlain", 1, 0, 0, 200, 100);
    HWND a = Child(top, "TestPlain", 2, 0, 0, 50, 50);
    HWND b = Child(top, "TestPlain", 3, 100, 0, 50, 50);
    SetWindowLongPtrA(a, GWLP_USERDATA, 1);  // a captures on button down
    ShowWindow(top, SW_SHOW);
    test::Pump();
    log.lines.clear();
    InputMouseButton(top, 10, 10, MouseButton::Left, true);
    test::Pump();
    EXPECT_EQ(GetCapture(), a);
    InputMouseMove(top, 120, 10);
    InputMouseButton(top, 120, 10, MouseButton::Left, false);
    test::Pump();
    EXPECT_EQ(GetCapture(), nullptr);
    InputMouseMove(top, 121, 10);
    test::Pump();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"down 2 10,10", "move 2 120,10", "up 2 120,10", "move 3 21,10"}));
    // The same gesture delivered at once: the capture the press sets still decides.
    log.lines.clear();
    InputMouseButton(top, 10, 10, MouseButton::Left, true);
    InputMouseMove(top, 120, 10);
    InputMouseButton(top, 120, 10, MouseButton::Left, false);
    test::Pump();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"down 2 10,10", "move 2 120,10", "up 2 120,10"}));
    (void)b;
}

TEST_F(WindowTest, DoubleClickNeedsTheClassTimeAndDistance) {
    TVirtualClock clock;
    TScopedClock scoped(clock);
    HWND top = Top("TestPlain", 1, 0, 0, 200, 100);
    HWND dbl = Child(top, "TestDbl", 2, 0, 0, 100, 100);
    HWND plain = Child(top, "TestPlain", 3, 100, 0, 100, 100);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    struct Case {
        int x1, x2;
        std::uint64_t gap;
        const char* second;
    } cases[] = {
        {10, 10, 400, "dbl 2 10,10"},   // soon enough, same place
        {10, 10, 501, "down 2 10,10"},  // too late
        {10, 12, 100, "dbl 2 12,10"},   // within the double-click box
        {10, 13, 100, "down 2 13,10"},  // too far
        {110, 110, 100, "down 3 10,10"},  // the class does not ask for double clicks
    };
    for (const Case& c : cases) {
        clock.Advance(10000);  // no click before this case counts
        InputMouseButton(top, c.x1, 10, MouseButton::Left, true);
        InputMouseButton(top, c.x1, 10, MouseButton::Left, false);
        test::Pump();
        clock.Advance(c.gap);
        log.lines.clear();
        InputMouseButton(top, c.x2, 10, MouseButton::Left, true);
        InputMouseButton(top, c.x2, 10, MouseButton::Left, false);
        test::Pump();
        ASSERT_FALSE(log.lines.empty());
        EXPECT_EQ(log.lines.front(), c.second) << c.x1 << "->" << c.x2 << " after " << c.gap;
    }
    (void)dbl;
    (void)plain;
}

TEST_F(WindowTest, SendMessageFromAnotherThreadRunsOnTheWindowThread) {
    HWND w = Top("TestPlain", 1, 0, 0, 10, 10);
    std::atomic<LRESULT> result{-1};
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        PostMessage(w, WM_USER + 1, 3, 0);
        posted = true;
        result = SendMessage(w, WM_USER + 1, 21, 0);
    });
    while (result.load() == -1) {
        MSG m;
        if (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
    }
    worker.join();
    test::Pump();
    EXPECT_EQ(result.load(), 42);
    // A sent message may overtake a posted one, as on Windows; both run here, once.
    std::sort(log.lines.begin(), log.lines.end());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"user 1 21", "user 1 3"}));
}

TEST_F(WindowTest, ScrollWindowMovesPixelsAndInvalidatesTheUncoveredStrip) {
    HWND top = Top("TestPlain", 1, 0, 0, 100, 100);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    HDC dc = GetDC(top);
    RECT mark{0, 0, 10, 10};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &mark, green);
    DeleteObject(reinterpret_cast<HGDIOBJ>(green));
    ReleaseDC(top, dc);
    log.lines.clear();
    ScrollWindow(top, 0, 20, nullptr, nullptr);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(top, &update, FALSE));
    EXPECT_EQ(TRect(update), TRect(0, 0, 100, 20));
    EXPECT_EQ(GetWindowSurfacePixel(top, 5, 25), RGB(0, 255, 0));
    test::Pump();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"paint 1 0,0,100,20"}));
}

TEST_F(WindowTest, ScrollInfoKeepsThePositionInRange) {
    HWND w = CreateWindowExA(0, "TestPlain", "", WS_POPUP | WS_VSCROLL, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    created.push_back(w);
    RECT r;
    GetClientRect(w, &r);
    EXPECT_EQ(r.right, 100 - GetSystemMetrics(SM_CXVSCROLL));
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = 99;
    si.nPage = 10;
    si.nPos = 500;
    EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), 90);
    SCROLLINFO out;
    out.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(w, SB_VERT, &out));
    EXPECT_EQ(out.nPos, 90);
    EXPECT_EQ(out.nPage, 10u);
    SCROLLBARINFO info;
    ASSERT_TRUE(GetScrollBarInfo(w, OBJID_VSCROLL, &info));
    EXPECT_EQ(info.rcScrollBar.right, 100);
    EXPECT_GT(info.xyThumbTop, info.dxyLineButton);
    ASSERT_TRUE(GetScrollBarInfo(w, OBJID_HSCROLL, &info));
    EXPECT_EQ(info.rgstate[0], STATE_SYSTEM_INVISIBLE);
}

TEST_F(WindowTest, TheVerticalBarTakesTheSideTheWindowAsksFor) {
    const int cx = GetSystemMetrics(SM_CXVSCROLL);
    struct Case {
        DWORD exStyle;
        int barLeft, clientLeft;  // in the window
    } cases[] = {{0, 100 - cx, 0}, {WS_EX_LEFTSCROLLBAR, 0, cx}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exStyle);
        HWND w = CreateWindowExA(c.exStyle, "TestPlain", "", WS_POPUP | WS_VSCROLL | WS_HSCROLL, 0, 0, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
        created.push_back(w);
        RECT client;
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, 100 - cx);
        POINT origin{0, 0};
        ClientToScreen(w, &origin);
        EXPECT_EQ(origin.x, c.clientLeft);
        SCROLLBARINFO info;
        ASSERT_TRUE(GetScrollBarInfo(w, OBJID_VSCROLL, &info));
        EXPECT_EQ(info.rcScrollBar.left, c.barLeft);
        EXPECT_EQ(info.rcScrollBar.right, c.barLeft + cx);
        // The bar answers the hit test where it lies; the client answers beside it.
        EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(c.barLeft + cx / 2, 40)), LRESULT(HTVSCROLL));
        EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(c.clientLeft + 40, 40)), LRESULT(HTCLIENT));
        // The horizontal bar spans the client's width only.
        ASSERT_TRUE(GetScrollBarInfo(w, OBJID_HSCROLL, &info));
        EXPECT_EQ(info.rcScrollBar.left, c.clientLeft);
        EXPECT_EQ(info.rcScrollBar.right, c.clientLeft + 100 - cx);
    }
}

TEST_F(WindowTest, AnExposedWindowWaitingForItsPaintIsPresentedOncePainted) {
    auto* backend = dynamic_cast<HeadlessBackend*>(&Backend());
    ASSERT_NE(backend, nullptr);
    HWND top = Top("TestPlain", 1, 10, 20, 40, 30);
    ShowWindow(top, SW_SHOW);
    // Exposed before its first paint: nothing unpainted goes to the display; the paint
    // presents the window once, in its fill colour.
    int before = backend->Window(top).presents;
    DisplayExposedWindow(top, TRect(0, 0, 40, 30));
    EXPECT_EQ(backend->Window(top).presents, before);
    test::Pump();
    EXPECT_EQ(backend->Window(top).presents, before + 1);
    EXPECT_EQ(GetWindowSurfacePixel(top, 5, 5), gFill[1]);
    // Exposed with nothing to paint: presented at once.
    DisplayExposedWindow(top, TRect(0, 0, 10, 10));
    EXPECT_EQ(backend->Window(top).presents, before + 2);
}

TEST_F(WindowTest, TheDisplayIsToldAndTheWindowSavesAsPng) {
    auto* backend = dynamic_cast<HeadlessBackend*>(&Backend());
    ASSERT_NE(backend, nullptr);
    HWND top = Top("TestPlain", 1, 10, 20, 40, 30);
    SetWindowTextA(top, "shown");
    SetWindowRgn(top, CreateRoundRectRgn(0, 0, 41, 31, 10, 10), TRUE);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    HeadlessBackend::TopWindow seen = backend->Window(top);
    EXPECT_TRUE(seen.visible);
    EXPECT_TRUE(seen.shaped);
    EXPECT_EQ(seen.title, "shown");
    EXPECT_EQ(seen.bounds, TRect(10, 20, 50, 50));
    EXPECT_GT(seen.presents, 0);

    std::string path = ::testing::TempDir() + "window.png";
    SaveWindowImage(top, path);
    TPngImage png;
    png.LoadFromFile(path);
    ASSERT_EQ(png.Width(), 40);
    EXPECT_EQ(ColorToRGB(png.Bitmap()->Canvas()->Pixels(20, 15)), RGB(255, 0, 0));
    EXPECT_THROW(SaveWindowImage(top, "/nonexistent-folder/x.png"), Exception);
}

TEST_F(WindowTest, SetRedrawFalseHoldsPaintingUntilTurnedBackOn) {
    HWND top = Top("TestPlain", 1, 0, 0, 40, 30);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    log.lines.clear();
    SendMessage(top, WM_SETREDRAW, FALSE, 0);
    InvalidateRect(top, nullptr, TRUE);
    test::Pump();
    EXPECT_TRUE(log.lines.empty());
    SendMessage(top, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(top, nullptr, TRUE);
    test::Pump();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"paint 1 0,0,40,30"}));
}

TEST_F(WindowTest, MinimizingTellsTheDisplayAndRestoringRepaints) {
    auto* backend = dynamic_cast<HeadlessBackend*>(&Backend());
    ASSERT_NE(backend, nullptr);
    HWND top = Top("TestPlain", 1, 0, 0, 40, 30);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    ShowWindow(top, SW_MINIMIZE);
    EXPECT_TRUE(backend->Window(top).minimized);
    EXPECT_TRUE(IsIconic(top));
    log.lines.clear();
    InvalidateRect(top, nullptr, TRUE);
    test::Pump();
    EXPECT_TRUE(log.lines.empty()) << "a minimized window is not painted";
    ShowWindow(top, SW_RESTORE);
    test::Pump();
    EXPECT_FALSE(backend->Window(top).minimized);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"paint 1 0,0,40,30"}));
}

TEST_F(WindowTest, ScrollBarArrowsTrackAndThumbSendScrollMessages) {
    HWND w = CreateWindowExA(0, "TestPlain", "", WS_POPUP | WS_VSCROLL, 0, 0, 100, 217, nullptr, nullptr, nullptr, nullptr);
    created.push_back(w);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = 109;
    si.nPage = 10;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    ShowWindow(w, SW_SHOW);
    test::Pump();
    SCROLLBARINFO info;
    GetScrollBarInfo(w, OBJID_VSCROLL, &info);
    int x = info.rcScrollBar.left + 5;
    auto press = [&](int y1, int y2) {
        InputMouseMove(w, x, y1);
        InputMouseButton(w, x, y1, MouseButton::Left, true);
        InputMouseMove(w, x, y2);
        InputMouseButton(w, x, y2, MouseButton::Left, false);
        test::Pump();
    };
    log.lines.clear();
    press(5, 5);                            // the up arrow
    press(info.xyThumbBottom + 20, info.xyThumbBottom + 20);  // the track below the thumb
    EXPECT_EQ(log.lines, (std::vector<std::string>{"vscroll 0 0", "vscroll 8 0", "vscroll 3 0", "vscroll 8 0"}));
    // The thumb dragged to the far end stands for the last position.
    log.lines.clear();
    press(info.xyThumbTop + 2, 216);
    ASSERT_GE(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[log.lines.size() - 3], "vscroll 5 100");
    EXPECT_EQ(log.lines[log.lines.size() - 2], "vscroll 4 100");
    EXPECT_EQ(log.lines.back(), "vscroll 8 0");
    SCROLLINFO track;
    track.fMask = SIF_TRACKPOS;
    GetScrollInfo(w, SB_VERT, &track);
    EXPECT_EQ(track.nTrackPos, 100);
}

TEST_F(WindowTest, ASizeNoSurfaceCanHaveIsRefusedAndTheWindowKept) {
    EXPECT_EQ(CreateWindowExA(0, "TestPlain", "", WS_POPUP, 0, 0, 200000, 200000, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    HWND top = Top("TestPlain", 1, 0, 0, 40, 30);
    ShowWindow(top, SW_SHOW);
    test::Pump();
    EXPECT_FALSE(SetWindowPos(top, nullptr, 0, 0, 200000, 200000, SWP_NOZORDER));
    RECT r;
    GetWindowRect(top, &r);
    EXPECT_EQ(TRect(r), TRect(0, 0, 40, 30));
    InvalidateRect(top, nullptr, TRUE);
    test::Pump();
    EXPECT_EQ(GetWindowSurfacePixel(top, 39, 29), RGB(255, 0, 0));
}
