// Hints: the tree's CM_HINTSHOW answers by hint mode, the hint window's size for a cut-off
// cell, header hints, the desktop clamp and the painted frame with its shadow.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "paint_support.h"
#include "platform/windows/messages.h"
#include "treeview/vthints.h"

namespace treeview {
namespace {

using namespace platform;

class HintsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree()->SetShowHint(true);
        tree()->SetHint("the jobs|all jobs of the list");
    }
    // Asks the tree as the application does with the pointer at p (client coordinates).
    LRESULT Ask(TPoint p, THintInfo& info) {
        info = THintInfo{};
        info.HintControl = tree();
        info.CursorPos = p;
        info.CursorRect = tree()->ClientRect();
        info.HintPos = tree()->ClientToScreen(TPoint{p.x, p.y + 20});
        info.HintMaxWidth = 300;
        info.HintStr = GetShortHint(tree()->Hint());
        return tree()->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    }
    TVastStringTree* tree() { return fixture.tree; }
    test::PaintFixture fixture;
};

TEST_F(HintsTest, TheAnswerFollowsTheHintMode) {
    // Row 0: "title_01.vob" fits column 0, the output name is cut in column 3 (300..400).
    struct Case {
        const char* what;
        TVTHintMode mode;
        TPoint at;
        LRESULT result;
        const char* hintStr;
    };
    const Case cases[] = {
        {"default: the control's short hint", hmDefault, {350, 9}, 0, "the jobs"},
        {"tooltip over a cut-off cell", hmTooltip, {350, 9}, 0, " "},
        {"tooltip over a cell that fits", hmTooltip, {150, 9}, 1, " "},
        {"tooltip below the rows", hmTooltip, {150, 180}, 1, " "},
        {"node hint over a node", hmHint, {150, 9}, 0, " "},
        {"node hint below the rows", hmHint, {150, 180}, 1, " "},
        {"hint and default below the rows", hmHintAndDefault, {150, 180}, 0, " "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tree()->SetHintMode(c.mode);
        THintInfo info;
        EXPECT_EQ(Ask(c.at, info), c.result);
        EXPECT_EQ(info.HintStr, c.hintStr);
        EXPECT_EQ(bool(tree()->TreeStates() & tsHint), c.result == 0);
        // The default mode leaves the standard hint window to show the text.
        bool own = c.result == 0 && c.mode != hmDefault;
        EXPECT_EQ(info.HintData != nullptr, own);
        EXPECT_EQ(tree()->LastHintRect().IsEmpty(), !own);
        if (own) {
            // Asked again inside the same area: already issued, nothing changes.
            TRect issued = tree()->LastHintRect();
            THintInfo again;
            EXPECT_EQ(Ask(c.at, again), 1);
            EXPECT_EQ(tree()->LastHintRect(), issued);
            Ask(TPoint{-100, -100}, again);  // elsewhere: forgets the area
        }
    }
    // Without ShowHint the tree shows nothing.
    tree()->SetShowHint(false);
    THintInfo info;
    EXPECT_EQ(Ask(TPoint{350, 9}, info), 1);
}

TEST_F(HintsTest, ATooltipLiesExactlyOverItsCell) {
    tree()->SetHintMode(hmTooltip);
    THintInfo info;
    ASSERT_EQ(Ask(TPoint{350, 9}, info), 0);
    TRect cell = tree()->GetDisplayRect(fixture.nodes[0], 3, true, true);
    EXPECT_EQ(info.CursorRect, cell);
    EXPECT_EQ(info.HintPos, tree()->ClientToScreen(TPoint{cell.left, cell.top}));
    TVastTreeHintWindow window(nullptr);
    TRect r = window.CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    EXPECT_EQ(window.HintData().HintText, "a very long output file name.flv");
    EXPECT_EQ(window.HintData().LineBreakStyle, hlbForceSingleLine);
    // Grown by one on every side, placed at (-1, -1); the grid line's pixel left out; the shadow.
    int shadow = HintShadowSize();
    EXPECT_EQ(r, (TRect{-1, -1, cell.Width() + 1 + shadow, cell.Height() - 1 + 1 + shadow}));
    // No data, or a hint whose text is empty: no hint.
    EXPECT_TRUE(window.CalcHintRect(300, " ", nullptr).IsEmpty());
    tree()->OnGetHint = [](TBaseVastTree*, PVastNode, TColumnIndex, TVTTooltipLineBreakStyle&, std::string& text) {
        text.clear();
    };
    EXPECT_TRUE(window.CalcHintRect(300, " ", info.HintData).IsEmpty());
}

TEST_F(HintsTest, HeaderHintsComeFromTheColumns) {
    tree()->Header()->SetOptions(tree()->Header()->Options() | hoShowHint);
    tree()->Header()->Columns()->Items(1)->SetHint("playing time");
    int header = tree()->Header()->Height();
    struct Case {
        int x;
        LRESULT result;
    };
    // Column 1 has a hint, column 0 none, right of all columns (400..420) nothing.
    const Case cases[] = {{150, 0}, {50, 1}, {410, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        THintInfo info;
        EXPECT_EQ(Ask(TPoint{c.x, -header / 2}, info), c.result);
        if (c.result == 0) {
            TVastTreeHintWindow window(nullptr);
            TRect r = window.CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
            EXPECT_EQ(window.HintData().HintText, "playing time");
            EXPECT_EQ(r.left, 0);
            EXPECT_EQ(r.Height(), window.TextHeight() + 6 + HintShadowSize());
            EXPECT_EQ(info.CursorRect, (TRect{100, -header, 200, 0}));
        }
        Ask(TPoint{-100, -100}, info);
    }
}

TEST_F(HintsTest, HintsStayOnTheDesktop) {
    const TRect desktop{0, 0, 1000, 800};
    struct Case {
        TRect in, out;
    };
    const Case cases[] = {
        {{10, 10, 110, 40}, {10, 10, 110, 40}},        // inside: unchanged
        {{10, 790, 110, 820}, {10, 770, 110, 800}},    // past the bottom: bottom on the bottom
        {{950, 10, 1050, 40}, {900, 10, 1000, 40}},    // past the right: right edge on the right
        {{-20, 10, 80, 40}, {0, 10, 100, 40}},         // left of the desktop: at its left edge
        {{-20, 790, 1200, 820}, {0, 770, 1220, 800}},  // wider than the desktop: the left edge wins
    };
    for (const Case& c : cases) EXPECT_EQ(ClampToDesktop(c.in, desktop), c.out);
}

TEST_F(HintsTest, TheShownHintHasAShadowDarkerThanTheScreen) {
    // The hint reaches past the tree: the form under it is wide enough to give the screen a
    // light face there (a shadow cannot be darker than the black outside every window).
    fixture.form->SetWidth(800);
    fixture.form->Repaint();
    tree()->SetHintMode(hmTooltip);
    THintInfo info;
    ASSERT_EQ(Ask(TPoint{350, 9}, info), 0);
    auto* window = new TVastTreeHintWindow(fixture.form);
    EXPECT_FALSE(HintWindowDestroyed());
    TRect r = window->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    OffsetRect(&r, info.HintPos.x, info.HintPos.y);
    window->ActivateHint(r, info.HintStr);
    TBitmap* frame = window->Frame();
    ASSERT_EQ(frame->Width(), r.Width());
    int shadow = HintShadowSize();
    ASSERT_EQ(shadow, 5);
    auto grey = [&](int x, int y) {
        TColor c = ColorToRGB(frame->Canvas()->Pixels(x, y));
        return (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3;
    };
    int w = frame->Width(), h = frame->Height();
    // The screen's copy shows at the corners the shadow leaves out; the shadow is darker,
    // darkest next to the hint; the border is black and the face the info colour.
    EXPECT_LT(grey(w - shadow, h / 2), grey(w - 1, 1));
    EXPECT_LT(grey(w / 2, h - shadow), grey(w / 2, h - 1));
    EXPECT_LT(grey(w / 2, h - 1), grey(1, h - 1));
    EXPECT_EQ(ColorToRGB(frame->Canvas()->Pixels(0, 0)), ColorToRGB(clBlack));
    EXPECT_EQ(ColorToRGB(frame->Canvas()->Pixels(2, 2)), ColorToRGB(clInfoBk));
    if (const char* build = std::getenv("LUMACAST_BUILD_DIR")) {
        std::filesystem::path artifacts = std::filesystem::path(build) / "artifacts";
        std::filesystem::create_directories(artifacts);
        TBitmap big;
        big.SetPixelFormat(pf32bit);
        big.SetSize(w * 3, h * 3);
        StretchBlt(big.Canvas()->Handle(), 0, 0, w * 3, h * 3, frame->Canvas()->Handle(), 0, 0, w, h, SRCCOPY);
        big.SaveToFile((artifacts / "treeview-tooltip.png").string());
    }
    delete window;
    EXPECT_TRUE(HintWindowDestroyed());
}

}  // namespace
}  // namespace treeview
