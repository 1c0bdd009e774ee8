// Hints: the tree's CM_HINTSHOW answers by hint mode, the hint window's size for a cut-off
// cell, header hints, the desktop clamp, the painted frame with its shadow, the fade and
// slide on the virtual clock, and the owner-draw tree's own hints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "paint_support.h"
#include "platform/core/clock.h"
#include "platform/windows/messages.h"
#include "treeview/vtdrawtree.h"
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

// Where the test keeps its pictures: the build's artifacts folder, when the build says.
void SaveArtifact(TBitmap& frame, const char* name, int scale = 3) {
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    if (!build) return;
    std::filesystem::path artifacts = std::filesystem::path(build) / "artifacts";
    std::filesystem::create_directories(artifacts);
    TBitmap big;
    big.SetPixelFormat(pf32bit);
    big.SetSize(frame.Width() * scale, frame.Height() * scale);
    StretchBlt(big.Canvas()->Handle(), 0, 0, big.Width(), big.Height(), frame.Canvas()->Handle(), 0, 0, frame.Width(),
               frame.Height(), SRCCOPY);
    big.SaveToFile((artifacts / name).string());
}

// A tree whose animations run on the virtual clock: every step takes its share of the
// duration, rounded up, and the test looks at the hint's frame after each step.
class AnimatedTree : public TVastStringTree {
public:
    AnimatedTree(TComponent* owner, TVirtualClock& clock) : TVastStringTree(owner), clock_(clock) {}
    void Animate(std::uint32_t steps, std::uint32_t duration, const TVTAnimationCallback& callback,
                 void* data) override {
        ++animations;
        // Never less than the engine waits for, so its wait on the clock ends.
        std::uint64_t share = steps ? std::max<std::uint64_t>(1, (duration + steps - 1) / steps) : 1;
        TVastStringTree::Animate(
            steps, duration,
            [&](int step, int stepSize, void* d) {
                bool go = callback(step, stepSize, d);
                if (go && onStep) onStep(step, stepSize);
                clock_.Advance(share);
                return go;
            },
            data);
    }
    int animations = 0;
    std::function<void(int step, int stepSize)> onStep;

private:
    TVirtualClock& clock_;
};

class HintAnimationTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test::UseHeadlessBackend();
        form = new TForm(nullptr);
        form->SetBounds(0, 0, 400, 200);
        form->AfterConstruction();
        tree = new AnimatedTree(form, clock);
        tree->SetParent(form);
        tree->SetBorderStyle(bsNone);
        tree->SetBounds(0, 0, 400, 200);
        tree->SetHintMode(hmHint);
        tree->SetRootNodeCount(3);
        tree->OnGetHint = [](TBaseVastTree*, PVastNode, TColumnIndex, TVTTooltipLineBreakStyle&, std::string& text) {
            text = "comes in softly";
        };
        form->Show();
        tree->SetFocus();
        platform::test::Pump();
        window = new TVastTreeHintWindow(form);
    }
    void TearDown() override {
        delete form;
        platform::test::Pump();
    }
    // Shows the node hint of the first row 40 pixels into the tree, as the application would.
    void Show() {
        TVTHintData data;
        data.Tree = tree;
        data.Node = tree->GetFirst();
        data.Column = NoColumn;
        TRect r = window->CalcHintRect(300, " ", &data);
        ASSERT_FALSE(r.IsEmpty());
        OffsetRect(&r, 40, 40);
        window->ActivateHint(r, " ");
    }
    TColor At(int x, int y) { return ColorToRGB(window->Frame()->Canvas()->Pixels(x, y)); }
    std::vector<TColor> Column(int x) {
        std::vector<TColor> out;
        for (int y = 0; y < window->Frame()->Height(); ++y) out.push_back(At(x, y));
        return out;
    }
    std::vector<TColor> Whole() {
        std::vector<TColor> out;
        for (int x = 0; x < window->Frame()->Width(); ++x)
            for (TColor c : Column(x)) out.push_back(c);
        return out;
    }
    // The still hint over the same screen, as a hint without animation shows it.
    std::vector<TColor> Still() {
        THintAnimationType saved = tree->HintAnimation();
        tree->SetHintAnimation(hatNone);
        Show();
        tree->SetHintAnimation(saved);
        return Whole();
    }

    TVirtualClock clock;
    TScopedClock scoped{clock};
    TForm* form = nullptr;
    AnimatedTree* tree = nullptr;
    TVastTreeHintWindow* window = nullptr;
};

TEST_F(HintAnimationTest, AFadeBlendsTheHintInOverTheScreenAndEndsOnTheStillHint) {
    std::vector<TColor> still = Still();
    ASSERT_EQ(tree->animations, 0) << "no animation when it is off";
    tree->SetHintAnimation(hatFade);
    tree->SetAnimationDuration(255);  // two milliseconds a step
    // A strip of frames for the eye: every 32nd step side by side, the still hint last.
    TBitmap strip;
    strip.SetPixelFormat(pf32bit);
    std::vector<std::pair<int, int>> steps;
    std::vector<TColor> face;  // a pixel of the hint's face, inside its border
    bool repaintKeptFrame = false;
    tree->onStep = [&](int step, int stepSize) {
        steps.emplace_back(step, stepSize);
        face.push_back(At(2, 2));
        if (step == 100 && stepSize > 0) {
            // A repaint meanwhile (the window was just mapped) shows the frame of the moment.
            window->Repaint();
            repaintKeptFrame = At(2, 2) == face.back();
        }
        TBitmap* frame = window->Frame();
        if (strip.Width() == 0) strip.SetSize(frame->Width() * 9, frame->Height());
        if (stepSize > 0 && step % 32 == 0)
            BitBlt(strip.Canvas()->Handle(), frame->Width() * (step / 32), 0, frame->Width(), frame->Height(),
                   frame->Canvas()->Handle(), 0, 0, SRCCOPY);
    };
    Show();
    EXPECT_EQ(tree->animations, 1);
    // 255 steps over twice the duration; then the still frame.
    ASSERT_EQ(steps.size(), 256u);
    for (int i = 0; i < 255; ++i) EXPECT_EQ(steps[std::size_t(i)], std::make_pair(i, 1));
    EXPECT_EQ(steps.back(), std::make_pair(0, 0));
    EXPECT_TRUE(repaintKeptFrame);
    EXPECT_FALSE(tree->TreeStates() & (tsInAnimation | tsCancelHintAnimation));
    // From the screen to the hint's colour: each channel moves one way only, and half way
    // it lies between the two.
    TColor screen = face.front(), hint = ColorToRGB(clInfoBk);
    ASSERT_NE(screen, hint);
    EXPECT_EQ(face.back(), hint);
    auto channels = [](TColor c) { return std::vector<int>{GetRValue(c), GetGValue(c), GetBValue(c)}; };
    for (std::size_t i = 1; i < face.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            int from = channels(screen)[k], to = channels(hint)[k];
            int before = channels(face[i - 1])[k], now = channels(face[i])[k];
            EXPECT_LE(std::abs(to - now), std::abs(to - before)) << "step " << i << " channel " << k;
            EXPECT_LE(std::min(from, to), now);
            EXPECT_LE(now, std::max(from, to));
        }
    for (int k = 0; k < 3; ++k) {
        int from = channels(screen)[k], to = channels(hint)[k], half = channels(face[128])[k];
        if (from != to) {
            EXPECT_NEAR(half, (from + to) / 2, 2) << "channel " << k;
        }
    }
    EXPECT_EQ(Whole(), still);
    BitBlt(strip.Canvas()->Handle(), window->Frame()->Width() * 8, 0, window->Frame()->Width(),
           window->Frame()->Height(), window->Frame()->Canvas()->Handle(), 0, 0, SRCCOPY);
    SaveArtifact(strip, "treeview-hint-fade.png", 2);
}

TEST_F(HintAnimationTest, ASlideBringsTheHintDownFromItsTopEdge) {
    std::vector<TColor> still = Still();
    tree->SetHintAnimation(hatSlide);
    int shadow = HintShadowSize();
    std::vector<std::vector<TColor>> columns;  // the frame's middle column after each step
    std::vector<int> steps;
    int x = 0;
    // A strip of frames for the eye: every fourth step side by side.
    TBitmap strip;
    strip.SetPixelFormat(pf32bit);
    tree->onStep = [&](int step, int stepSize) {
        if (stepSize <= 0) return;
        steps.push_back(step);
        columns.push_back(Column(x));
        TBitmap* frame = window->Frame();
        if (strip.Width() == 0) strip.SetSize(frame->Width() * 10, frame->Height());
        if (step % 4 == 0 && step / 4 < 10)
            BitBlt(strip.Canvas()->Handle(), frame->Width() * (step / 4), 0, frame->Width(), frame->Height(),
                   frame->Canvas()->Handle(), 0, 0, SRCCOPY);
    };
    x = window->Frame()->Width() / 2;
    Show();
    SaveArtifact(strip, "treeview-hint-slide.png", 2);
    int height = window->Frame()->Height();
    // One step per row of the window over the duration (later steps may take several
    // rows at once to keep to the duration).
    ASSERT_GE(int(steps.size()), height / 2);
    ASSERT_EQ(steps.front(), 0);
    const std::vector<TColor>& screen = columns.front();  // step 0 shows none of the hint
    for (std::size_t i = 1; i < steps.size(); ++i) {
        int step = steps[i];
        SCOPED_TRACE(step);
        ASSERT_GT(step, steps[i - 1]);
        ASSERT_LT(step, height);
        const std::vector<TColor>& frame = columns[i];
        int shown = std::max(step - shadow, 0);
        // The hint's bottom rows from the top down: its bottom border just above the
        // screen, which shows below.
        if (shown > 0) {
            EXPECT_EQ(frame[std::size_t(shown - 1)], ColorToRGB(clBlack));
            EXPECT_EQ(std::vector<TColor>(frame.begin(), frame.begin() + shown),
                      std::vector<TColor>(still.begin() + x * height + (height - shadow - shown),
                                          still.begin() + x * height + (height - shadow)));
        }
        EXPECT_EQ(std::vector<TColor>(frame.begin() + shown, frame.end()),
                  std::vector<TColor>(screen.begin() + shown, screen.end()));
    }
    EXPECT_EQ(Whole(), still);
}

TEST_F(HintAnimationTest, NoAnimationWithoutADurationAndKeysReachTheTreeOnce) {
    tree->SetHintAnimation(hatFade);
    tree->SetAnimationDuration(0);
    std::vector<TColor> still = Still();
    Show();
    EXPECT_EQ(tree->animations, 0);
    EXPECT_EQ(Whole(), still);

    // A key pressed while the hint fades in does not end the hint and reaches the tree
    // during the fade, once: the focus moves one row, not two.
    tree->SetAnimationDuration(200);
    tree->SetFocusedNode(tree->GetFirst());
    int focusedDuringFade = -1;
    tree->onStep = [&](int step, int stepSize) {
        if (stepSize <= 0) return;
        if (step == 10) {
            MSG key{};
            key.hwnd = tree->Handle();
            key.message = WM_KEYDOWN;
            key.wParam = VK_DOWN;
            EXPECT_FALSE(window->IsHintMsg(key));
            PostMessage(tree->Handle(), WM_KEYDOWN, VK_DOWN, 0);
        }
        if (step == 20) focusedDuringFade = int(tree->FocusedNode()->Index);
    };
    Show();
    platform::test::Pump();
    EXPECT_EQ(tree->animations, 1);
    EXPECT_EQ(focusedDuringFade, 1);
    ASSERT_TRUE(tree->FocusedNode());
    EXPECT_EQ(tree->FocusedNode()->Index, 1u);
}

TEST_F(HintAnimationTest, ALaterHintStopsTheOneStillComingIn) {
    tree->SetHintAnimation(hatFade);
    bool second = false, secondDone = false;
    int firstAfterward = 0;
    tree->onStep = [&](int, int) {
        if (!second) {
            // The second hint runs its whole animation inside the first one's step.
            second = true;
            Show();
            secondDone = true;
        } else if (secondDone) {
            ++firstAfterward;
        }
    };
    Show();
    EXPECT_EQ(tree->animations, 2);
    // The first animation paints nothing more, not even its closing frame.
    EXPECT_EQ(firstAfterward, 0);
    EXPECT_FALSE(tree->TreeStates() & (tsInAnimation | tsCancelHintAnimation));
}

// The owner-draw tree: its application gives the hint's size and draws it.
TEST(DrawTreeHints, TheApplicationSizesAndDrawsTheHint) {
    platform::test::UseHeadlessBackend();
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    form.AfterConstruction();
    auto* tree = new TVastDrawTree(&form);
    tree->SetParent(&form);
    tree->SetBorderStyle(bsNone);
    tree->SetBounds(0, 0, 300, 200);
    tree->SetRootNodeCount(3);
    tree->SetShowHint(true);
    tree->SetHintMode(hmHint);
    tree->SetHintAnimation(hatNone);
    // Row 1 asks for a 60 x 20 hint; the others for none.
    tree->OnGetHintSize = [](TBaseVastTree*, PVastNode node, TColumnIndex, TRect& r) {
        if (node->Index == 1) r = TRect{0, 0, 60, 20};
    };
    struct Drawn {
        PVastNode node;
        TRect r;
        TColumnIndex column;
    };
    std::vector<Drawn> drawn;
    tree->OnDrawHint = [&](TBaseVastTree*, TCanvas* canvas, PVastNode node, const TRect& r, TColumnIndex column) {
        drawn.push_back({node, r, column});
        canvas->Brush()->SetColor(clRed);
        canvas->FillRect(TRect{r.left + 10, r.top + 5, r.right - 10, r.bottom - 5});
    };
    form.Show();
    tree->SetFocus();
    platform::test::Pump();
    auto ask = [&](int y, THintInfo& info) {
        info = THintInfo{};
        info.HintControl = tree;
        info.CursorPos = TPoint{50, y};
        info.CursorRect = tree->ClientRect();
        info.HintPos = tree->ClientToScreen(TPoint{50, y + 20});
        info.HintMaxWidth = 300;
        return tree->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    };
    THintInfo info;
    // Row 0 gets no size: no hint, and the tree knows it has none.
    EXPECT_EQ(ask(9, info), 1);
    EXPECT_FALSE(tree->TreeStates() & tsHint);
    EXPECT_EQ(ask(27, info), 0);
    EXPECT_TRUE(tree->TreeStates() & tsHint);
    ASSERT_NE(info.HintData, nullptr);
    auto* data = static_cast<TVTHintData*>(info.HintData);
    EXPECT_EQ(data->HintRect, (TRect{0, 0, 60, 20}));
    EXPECT_EQ(data->Node, tree->GetFirst()->NextSibling);

    TVastTreeHintWindow window(&form);
    TRect r = window.CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    int shadow = HintShadowSize();
    EXPECT_EQ(r, (TRect{0, 0, 60 + shadow, 20 + shadow}));
    OffsetRect(&r, info.HintPos.x, info.HintPos.y);
    window.ActivateHint(r, info.HintStr);
    // The handler drew the node's hint into the size it asked for, on the hint colour.
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().node, data->Node);
    EXPECT_EQ(drawn.back().r, (TRect{0, 0, 60, 20}));
    EXPECT_EQ(drawn.back().column, NoColumn);
    TCanvas* frame = window.Frame()->Canvas();
    EXPECT_EQ(ColorToRGB(frame->Pixels(30, 10)), ColorToRGB(clRed));
    EXPECT_EQ(ColorToRGB(frame->Pixels(2, 2)), ColorToRGB(clInfoBk));
    SaveArtifact(*window.Frame(), "treeview-drawtree-hint.png", 4);
}

}  // namespace
}  // namespace treeview
