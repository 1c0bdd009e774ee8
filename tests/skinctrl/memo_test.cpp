// The skinned memo: its border, lines and change events, and the attached skinned bars
// (geometry, kept in step with the native bars, dragging without write-back, positions past
// 65535, detaching).
#include <string>
#include <vector>

#include "edits_support.h"
#include "platform/core/sysutils.h"
#include "skinctrl/dvxmemo.h"

using namespace platform;
using namespace skinctrl;
using namespace skintest;

namespace {

class SkinMemo : public SkinForm {
protected:
    TdvxMemo* Memo() {
        auto* m = Place<TdvxMemo>(20, 20, 200, 100);
        m->OnChange = [this](TObject*) { Log("change"); };
        Pump();
        return m;
    }
    TdvxScrollBar* Bar(int w, int h) { return Place<TdvxScrollBar>(300, 20, w, h); }
    static std::string Lines(int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += "line " + std::to_string(i) + "\r\n";
        return s;
    }
};

TEST_F(SkinMemo, BorderLinesChangesAndMaxLength) {
    TdvxMemo* m = Memo();
    HWND h = m->Handle();
    EXPECT_EQ(m->ScrollBars(), ssNone);
    m->Lines()->Add("first");
    m->Lines()->Add("second");
    EXPECT_EQ(m->Lines()->Count(), 2);
    m->Lines()->Clear();
    EXPECT_EQ(m->Text(), "");
    EXPECT_EQ(events.size(), 3u) << "every change of the text";
    m->SetColor(TColor(RGB(240, 240, 255)));
    m->SetText("Results\r\nline two");
    Pump();
    Shot(h, "memo_deepblue");
    EXPECT_EQ(Hex(Px(h, 0, 0)), Hex(RGB(0, 0, 0)));
    EXPECT_EQ(Hex(Px(h, 199, 99)), Hex(RGB(0, 0, 0)));
    EXPECT_EQ(Hex(Px(h, 1, 50)), Hex(RGB(240, 240, 255)));
    m->SetMaxLength(5);
    m->SetText("");
    m->SetFocus();
    Type("abcdefgh");
    EXPECT_EQ(m->Text(), "abcde");
    events.clear();
    m->OnKeyDown = [this](TObject*, WORD&, TShiftState) { Log("down"); };
    m->OnKeyUp = [this](TObject*, WORD&, TShiftState) { Log("up"); };
    Key(VK_LEFT);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
}

TEST_F(SkinMemo, AttachedBarLiesOverTheRightBorderAndFollowsTheNativeBar) {
    TdvxMemo* m = Memo();
    TdvxScrollBar* v = Bar(16, 60);
    m->SetVScrollBar(v);
    EXPECT_EQ(m->ScrollBars(), ssVertical);
    EXPECT_EQ(v->Orientation(), dvxVertical);
    EXPECT_EQ(v->BoundsRect(), TRect(20 + 200 - 16 - 2, 21, 20 + 200 - 2, 21 + 98));
    // Short text: the native bar is unavailable, the skinned one disabled without a thumb.
    m->SetText("short");
    EXPECT_FALSE(v->Enabled());
    EXPECT_EQ(v->LineButton(), 0);
    EXPECT_FALSE(v->SliderVisible());
    // Long text: enabled, the native thumb's length (at least 16), range and position.
    m->SetText(Lines(300));
    SCROLLBARINFO info;
    ASSERT_TRUE(GetScrollBarInfo(m->Handle(), OBJID_VSCROLL, &info));
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(m->Handle(), SB_VERT, &si));
    EXPECT_TRUE(v->Enabled());
    EXPECT_TRUE(v->SliderVisible());
    EXPECT_EQ(v->LineButton(), std::max(16, info.xyThumbBottom - info.xyThumbTop));
    EXPECT_EQ(v->Max(), si.nMax - int(si.nPage) + 1);
    // Keys scroll the memo, and the bar follows.
    m->SetFocus();
    m->SetSelStart(0);
    for (int i = 0; i < 30; ++i) Key(VK_DOWN);
    EXPECT_GT(m->TopLine(), 0);
    EXPECT_EQ(v->Position(), m->TopLine());
    Shot(Top(), "memo_attached_bar");
    // A disabled memo disables its bar and hides the thumb.
    m->SetEnabled(false);
    EXPECT_FALSE(v->Enabled());
    EXPECT_FALSE(v->SliderVisible());
}

TEST_F(SkinMemo, AttachedBarsTakeTheReadingStartSideOnlyForRightToLeftInARightToLeftLocale) {
    struct Case {
        const char* what;
        TBiDiMode mode;
        bool middleEast;
        TRect vertical, horizontal;
    } cases[] = {
        {"left to right", bdLeftToRight, true, TRect(202, 21, 218, 103), TRect(21, 102, 204, 118)},
        {"right to left", bdRightToLeft, true, TRect(22, 21, 38, 103), TRect(37, 102, 219, 118)},
        {"right to left, no align", bdRightToLeftNoAlign, true, TRect(22, 21, 38, 103), TRect(37, 102, 219, 118)},
        {"right to left, other locale", bdRightToLeft, false, TRect(202, 21, 218, 103), TRect(21, 102, 204, 118)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SysLocale.MiddleEast = c.middleEast;
        TdvxMemo* m = Memo();
        TdvxScrollBar* v = Bar(16, 60);
        TdvxScrollBar* hz = Bar(60, 16);
        m->SetVScrollBar(v);
        m->SetHScrollBar(hz);
        m->SetText(Lines(300));
        m->SetFocus();
        m->SetSelStart(0);
        for (int i = 0; i < 30; ++i) Key(VK_DOWN);
        m->SetSelStart(m->SelStart() + 2);
        m->SetSelLength(3);
        const int top = m->TopLine(), selStart = m->SelStart();
        ASSERT_GT(top, 0);
        // The reading order changes while the window, its text and its bars exist.
        m->SetBiDiMode(c.mode);
        Pump();
        EXPECT_EQ(v->BoundsRect(), c.vertical);
        EXPECT_EQ(hz->BoundsRect(), c.horizontal);
        // The native bar lies under the skinned one, and the text starts past it.
        bool left = c.vertical.left < 100;
        HWND h = m->Handle();
        EXPECT_EQ(NativeVBar(h).left, left ? 22 : 218 - NativeVBar(h).Width());
        EXPECT_EQ(ClientInParent(h).left, left ? 22 + NativeVBar(h).Width() : 22);
        EXPECT_GE(ClientInParent(h).left, left ? v->BoundsRect().right : 0);
        EXPECT_EQ(m->Text(), Lines(300)) << "nothing lost with the window's change";
        EXPECT_EQ(m->TopLine(), top);
        EXPECT_EQ(m->SelStart(), selStart);
        EXPECT_EQ(m->SelLength(), 3);
        EXPECT_EQ(v->Position(), top);
        // The bars follow the memo when it moves.
        m->SetBounds(30, 20, 200, 100);
        EXPECT_EQ(v->Left(), c.vertical.left + 10);
        EXPECT_EQ(hz->Left(), c.horizontal.left + 10);
        EXPECT_EQ(NativeVBar(h).left, left ? 32 : 228 - NativeVBar(h).Width());
        EXPECT_TRUE(v->Enabled()) << "kept in step with the native bar on either side";
        if (c.mode == bdRightToLeft && c.middleEast) {
            Pump();
            Shot(Top(), "memo_bars_rtl");
        }
        delete m;
        delete v;
        delete hz;
    }
    SysLocale.MiddleEast = false;
}

TEST_F(SkinMemo, MovingTheBarScrollsWithoutWriteBackAndCarriesPositionsPast65535) {
    TdvxMemo* m = Memo();
    TdvxScrollBar* v = Bar(16, 60);
    m->SetVScrollBar(v);
    m->SetWordWrap(false);
    m->SetText(Lines(200000));
    ASSERT_GT(v->Max(), 150000);
    // While the bar moves the memo, nothing is copied back into the bar.
    v->SetPosition(120);
    EXPECT_EQ(m->TopLine(), 120);
    EXPECT_EQ(v->Position(), 120);
    v->SetPosition(150000);
    EXPECT_EQ(m->TopLine(), 150000) << "the whole position, not its low 16 bits";
    v->SetPosition(70000);
    EXPECT_EQ(m->TopLine(), 70000);
}

TEST_F(SkinMemo, DetachingReleasesTheBarAndRemovesTheNativeOne) {
    TdvxMemo* m = Memo();
    TdvxScrollBar* v = Bar(16, 60);
    TdvxScrollBar* hz = Bar(60, 16);
    m->SetVScrollBar(v);
    m->SetHScrollBar(hz);
    EXPECT_EQ(m->ScrollBars(), ssBoth);
    EXPECT_EQ(hz->BoundsRect(), TRect(21, 20 + 100 - 16 - 2, 21 + 200 - 1 - 16, 20 + 100 - 2));
    EXPECT_EQ(v->Height(), 100 - 2 - 16);
    m->SetText("short");
    m->SetVScrollBar(nullptr);
    EXPECT_EQ(m->ScrollBars(), ssHorizontal);
    EXPECT_TRUE(v->Enabled());
    EXPECT_EQ(v->Max(), 100);
    EXPECT_EQ(v->LineButton(), 0);
    EXPECT_FALSE(bool(v->OnChange()));
    // A bar freed while attached is forgotten.
    delete hz;
    EXPECT_EQ(m->HScrollBar(), nullptr);
    EXPECT_EQ(m->ScrollBars(), ssNone);
}

}  // namespace
