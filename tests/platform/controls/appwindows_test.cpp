// The application's message hook (TApplicationEvents) and window slides on the clock.
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/appevents.h"
#include "platform/controls/controls_fixture.h"
#include "platform/controls/stdctrls.h"
#include "platform/windows/animation.h"

using namespace platform;

namespace {

class AppWindowsTest : public test::ControlsFixture {
protected:
    // The window's region as one box, or an empty optional-like flag when it has none.
    static bool RegionBox(HWND h, RECT& box) {
        HRGN r = CreateRectRgn(0, 0, 0, 0);
        bool has = GetWindowRgn(h, r) != ERROR;
        if (has) GetRgnBox(r, &box);
        DeleteObject(r);
        return has;
    }
};

TEST_F(AppWindowsTest, ApplicationEventsSeeQueuedInputFirstAndMayKeepIt) {
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 100, 24);
    edit->SetFocus();
    Pump();
    std::vector<std::string> seen;
    auto first = std::make_unique<TApplicationEvents>(nullptr);
    auto second = std::make_unique<TApplicationEvents>(nullptr);
    first->OnMessage = [&](MSG& msg, bool& handled) {
        if (msg.message != WM_CHAR) return;
        seen.push_back("first " + std::string(1, char(msg.wParam)));
        handled = msg.wParam == 'x';
    };
    second->OnMessage = [&](MSG& msg, bool&) {
        if (msg.message == WM_CHAR) seen.push_back("second " + std::string(1, char(msg.wParam)));
    };
    Type("axb");
    EXPECT_EQ(edit->Text(), "ab");  // the kept character never reached the edit
    EXPECT_EQ(seen, (std::vector<std::string>{"first a", "second a", "first x", "first b", "second b"}));
    // A handler that frees the other object mid-message: the freed one is not called.
    first->OnMessage = [&](MSG& msg, bool&) {
        if (msg.message == WM_CHAR) second.reset();
    };
    seen.clear();
    Type("c");
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(edit->Text(), "abc");
}

TEST_F(AppWindowsTest, SlidesRunOnTheClockAndReportTheirEnd) {
    TVirtualClock clock;
    TScopedClock use(clock);
    auto* pop = new TForm(form);
    pop->SetBorderStyle(bsNone);
    pop->SetBounds(300, 300, 100, 50);
    HWND h = pop->Handle();
    int ends = 0;
    ASSERT_TRUE(AnimateWindow(h, 200, AW_SLIDE | AW_VER_NEGATIVE, [&] { ++ends; }));
    EXPECT_TRUE(IsWindowVisible(h));  // shown at once, nothing of it uncovered yet
    RECT box{};
    ASSERT_TRUE(RegionBox(h, box));
    EXPECT_EQ(box.bottom - box.top, 0);
    EXPECT_EQ(ends, 0);
    clock.Advance(100);
    Pump();
    ASSERT_TRUE(RegionBox(h, box));  // the lower half, rising from the bottom edge
    EXPECT_EQ(box.top, 25);
    EXPECT_EQ(box.bottom, 50);
    EXPECT_EQ(ends, 0);
    clock.Advance(100);
    Pump();
    EXPECT_FALSE(RegionBox(h, box));  // no region of its own: none after the slide
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(IsWindowAnimating(h));

    // Showing a shown window or hiding a hidden one is refused, without an end.
    EXPECT_FALSE(AnimateWindow(h, 200, AW_SLIDE | AW_VER_NEGATIVE, [&] { ++ends; }));

    // A window with a region of its own keeps it: mid-slide the band is cut by it, and it
    // is back at the end. Hiding downwards leaves the lower part last.
    SetWindowRgn(h, CreateRectRgn(10, 0, 90, 50), TRUE);
    ASSERT_TRUE(AnimateWindow(h, 100, AW_SLIDE | AW_VER_POSITIVE | AW_HIDE, [&] { ++ends; }));
    clock.Advance(50);
    Pump();
    ASSERT_TRUE(RegionBox(h, box));
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.right, 90);
    EXPECT_EQ(box.top, 25);
    EXPECT_TRUE(IsWindowVisible(h));
    clock.Advance(60);
    Pump();
    EXPECT_FALSE(IsWindowVisible(h));
    ASSERT_TRUE(RegionBox(h, box));
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.bottom, 50);
    EXPECT_EQ(ends, 2);
    EXPECT_FALSE(AnimateWindow(h, 100, AW_SLIDE | AW_VER_POSITIVE | AW_HIDE, [&] { ++ends; }));

    // A window freed mid-slide: the slide ends quietly, its end is not reported.
    ASSERT_TRUE(AnimateWindow(h, 100, AW_SLIDE | AW_HOR_POSITIVE, [&] { ++ends; }));
    delete pop;
    clock.Advance(200);
    Pump();
    EXPECT_EQ(ends, 2);
}

TEST_F(AppWindowsTest, AnimationsWithoutASlideEndAtOnce) {
    auto* pop = new TForm(form);
    pop->SetBorderStyle(bsNone);
    pop->SetBounds(300, 300, 100, 50);
    HWND h = pop->Handle();
    int ends = 0;
    for (DWORD flags : {DWORD(AW_BLEND), DWORD(AW_SLIDE), DWORD(AW_CENTER | AW_VER_NEGATIVE)}) {
        SCOPED_TRACE(flags);
        ASSERT_TRUE(AnimateWindow(h, 200, flags, [&] { ++ends; }));
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_FALSE(IsWindowAnimating(h));
        ASSERT_TRUE(AnimateWindow(h, 200, flags | AW_HIDE, [&] { ++ends; }));
        EXPECT_FALSE(IsWindowVisible(h));
    }
    EXPECT_EQ(ends, 6);
    // A slide of no time ends at once too.
    ASSERT_TRUE(AnimateWindow(h, 0, AW_SLIDE | AW_VER_NEGATIVE, [&] { ++ends; }));
    EXPECT_EQ(ends, 7);
}

}  // namespace
