// Animation: the timed step engine shared by the tree's animations, and the toggle step
// that slides the rows below an expanding or collapsing node.
#include <algorithm>
#include <cmath>

#include "platform/core/clock.h"
#include "platform/graphics/gdi.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"

namespace treeview {

using namespace platform;

void TBaseVastTree::SetAnimationDuration(std::uint32_t value) {
    animationDuration_ = value;
    TVTAnimationOptions options = TreeOptions()->AnimationOptions();
    TreeOptions()->SetAnimationOptions(value == 0 ? TVTAnimationOptions(options & ~toAnimatedToggle)
                                                  : TVTAnimationOptions(options | toAnimatedToggle));
}

void TBaseVastTree::Animate(std::uint32_t steps, std::uint32_t duration, const TVTAnimationCallback& callback,
                            void* data) {
    if ((states_ & tsInAnimation) || duration == 0) return;
    DoStateChange(tsInAnimation);
    TScopeExit endAnimation([this] { DoStateChange(0, tsCancelHintAnimation | tsInAnimation); });
    std::int64_t stepSize = std::llround(std::nearbyint(std::max(1.0, double(steps) / double(duration))));
    std::int64_t remainingSteps = std::int64_t(steps) / stepSize;
    std::int64_t remainingTime = duration;
    std::int64_t step = 0;
    while (remainingSteps > 0 && remainingTime > 0) {
        std::int64_t start = timeGetTime();
        std::int64_t target = start + remainingTime / remainingSteps;
        if (!callback(int(step), int(stepSize), data)) break;
        // Busy waiting keeps the steps even; no messages are handled meanwhile.
        while (std::int64_t(timeGetTime()) < target) {
        }
        std::int64_t used = std::int64_t(timeGetTime()) - start;
        if (used > remainingTime) {
            remainingTime = 0;
            remainingSteps = 0;
        } else {
            remainingTime -= used;
            --remainingSteps;
        }
        while (remainingSteps > 0 && remainingTime / remainingSteps < 1) {
            ++stepSize;
            remainingSteps = remainingTime / stepSize;
        }
        step = std::int64_t(steps) - remainingSteps;
    }
    callback(0, 0, data);
}

namespace {

struct ToggleData {
    bool expand;
    HDC dc;
    RECT r;
};

}  // namespace

void TBaseVastTree::AnimateToggle(PVastNode node, bool expand, int height) {
    if (updateCount_ > 0 || !(TreeOptions()->AnimationOptions() & toAnimatedToggle) || !HandleAllocated() ||
        (states_ & (tsCollapsing | tsPainting)))
        return;
    TRect display = GetDisplayRect(node, NoColumn, false);
    if (display.top >= ClientHeight()) return;
    if (expand && !GetNextVisibleNoInit(node)) return;
    UpdateWindow(Handle());
    ToggleData data{expand, nullptr, RECT{0, display.top + node->NodeHeight, ClientWidth(), ClientHeight()}};
    if (data.r.top >= data.r.bottom) return;
    data.dc = GetDC(Handle());
    auto step = [this](int stepIndex, int stepSize, void* raw) {
        auto* toggle = static_cast<ToggleData*>(raw);
        if (stepSize <= 0) return true;
        RECT area = toggle->r;
        ScrollDC(toggle->dc, 0, toggle->expand ? stepSize : -stepSize, &area, &area, nullptr, nullptr);
        if (stepIndex == 0) {
            RECT strip = area;
            if (toggle->expand)
                strip.bottom = strip.top + stepSize + 1;
            else
                strip.top = strip.bottom - stepSize - 1;
            HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
            if (!header_->GetUseColumns()) {
                FillRect(toggle->dc, &strip, brush);
            } else {
                for (TVastTreeColumn* column : header_->Columns()->GetVisibleColumns()) {
                    int left = 0, right = 0;
                    header_->Columns()->GetColumnBounds(column->Index(), left, right);
                    RECT cell{left, strip.top, right, strip.bottom};
                    if (column->Options() & coParentColor) {
                        FillRect(toggle->dc, &cell, brush);
                    } else {
                        HBRUSH own = CreateSolidBrush(ColorToRGB(column->Color()));
                        FillRect(toggle->dc, &cell, own);
                        DeleteObject(own);
                    }
                }
            }
            DeleteObject(brush);
        }
        return true;
    };
    TScopeExit releaseDC([&] { ReleaseDC(Handle(), data.dc); });
    int rows = std::max<int>(0, std::min<int>(data.r.bottom - data.r.top + 1, height));
    Animate(std::uint32_t(rows), animationDuration_, step, &data);
}

}  // namespace treeview
