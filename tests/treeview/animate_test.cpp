// The animation engine on the virtual clock: how many steps of what size come, and when
// the step size grows; and the duration switching the animated toggle.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/core/clock.h"
#include "tree_support.h"

namespace treeview {
namespace {

TEST(Animation, StepsFollowTheTimeLeft) {
    platform::TVirtualClock clock;
    platform::TScopedClock scoped(clock);
    struct Case {
        std::uint32_t steps, duration;
        int costPerStep;  // milliseconds of the program clock each step takes (at least its share)
        std::vector<std::pair<int, int>> expected;  // (step, step size), the final (0, 0) included
    };
    const Case cases[] = {
        // 4 steps over 200 ms, each taking its 50 ms share.
        {4, 200, 50, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {0, 0}}},
        // More steps than milliseconds: steps of 3 (6 / 2), two of them.
        {6, 2, 1, {{0, 3}, {5, 3}, {0, 0}}},
        // Steps that cost more than their share: the step size grows to keep the duration.
        {10, 10, 3, {{0, 1}, {7, 2}, {8, 2}, {9, 2}, {0, 0}}},
        // A step that takes longer than all the time left ends the animation.
        {4, 20, 30, {{0, 1}, {0, 0}}},
    };
    for (const Case& c : cases) {
        TVastStringTree tree(nullptr);
        std::vector<std::pair<int, int>> calls;
        tree.Animate(c.steps, c.duration,
                     [&](int step, int size, void*) {
                         calls.emplace_back(step, size);
                         if (size > 0) clock.Advance(std::uint64_t(c.costPerStep));
                         return true;
                     },
                     nullptr);
        EXPECT_EQ(calls, c.expected) << c.steps << " over " << c.duration;
        EXPECT_FALSE(tree.TreeStates() & tsInAnimation);
    }
    TVastStringTree tree(nullptr);
    int calls = 0;
    // A step that throws ends the animation: the next one runs.
    EXPECT_THROW(tree.Animate(4, 4, [](int, int, void*) -> bool { throw std::runtime_error("step"); }, nullptr),
                 std::runtime_error);
    EXPECT_FALSE(tree.TreeStates() & (tsInAnimation | tsCancelHintAnimation));
    tree.Animate(1, 1,
                 [&](int, int size, void*) {
                     if (size > 0) clock.Advance(1);
                     return ++calls > 0;
                 },
                 nullptr);
    EXPECT_EQ(calls, 2) << "one step and the closing call";
    calls = 0;
    tree.Animate(10, 0, [&](int, int, void*) { return ++calls > 0; }, nullptr);
    EXPECT_EQ(calls, 0) << "no duration, no animation";
    tree.SetAnimationDuration(0);
    EXPECT_FALSE(tree.TreeOptions()->AnimationOptions() & toAnimatedToggle);
    tree.SetAnimationDuration(150);
    EXPECT_TRUE(tree.TreeOptions()->AnimationOptions() & toAnimatedToggle);
}

}  // namespace
}  // namespace treeview
