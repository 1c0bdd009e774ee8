// The position cache: built by the worker thread for trees of more than 2000 visible
// nodes, and the lookups of nodes by position with and without it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/core/clock.h"
#include "platform/controls/forms.h"
#include "platform/windows/windows_test_support.h"
#include "tree_support.h"

namespace treeview {
namespace {

using namespace test;

// Runs the worker's state messages until the cache is in use or nothing more comes.
bool WaitForCache(TBaseVastTree& tree) {
    for (int round = 0; round < 5000 && !(tree.TreeStates() & tsUseCache); ++round) {
        Pump();
        if (tree.TreeStates() & tsUseCache) break;
        platform::Sleep(1);
    }
    return tree.TreeStates() & tsUseCache;
}

TEST(PositionCache, BuiltOnlyAboveTheThreshold) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.SetRootNodeCount(2000);
    Pump();
    EXPECT_FALSE(tree.TreeStates() & tsUseCache);
    EXPECT_TRUE(tree.PositionCache().empty());

    tree.SetRootNodeCount(2001);
    ASSERT_TRUE(WaitForCache(tree));
    ASSERT_EQ(tree.PositionCache().size(), 2u);
    EXPECT_EQ(tree.PositionCache()[0].Node, tree.GetFirstNoInit());
    EXPECT_EQ(tree.PositionCache()[0].AbsoluteTop, 0u);
    EXPECT_EQ(tree.PositionCache()[1].Node, tree.GetLastNoInit());
    EXPECT_EQ(tree.PositionCache()[1].AbsoluteTop, 2000u * 18u);
    EXPECT_FALSE(tree.TreeStates() & (tsValidating | tsValidationNeeded));

    // A change stops the cache from being used until it is rebuilt.
    tree.DeleteNode(tree.GetLastNoInit());
    EXPECT_FALSE(tree.TreeStates() & tsUseCache);
}

TEST(PositionCache, LookupsAgreeWithAndWithoutTheCache) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.BeginUpdate();
    tree.SetRootNodeCount(3000);
    for (PVastNode run = tree.GetFirstNoInit(); run; run = run->NextSibling)
        if (run->Index % 7 == 0) {
            tree.SetChildCount(run, 2);
            tree.SetExpanded(run, true);
        } else if (run->Index % 11 == 0) {
            tree.SetChildCount(run, 3);  // collapsed: its children never answer
        }
    tree.SetVisible(tree.GetFirstNoInit()->NextSibling, false);
    tree.EndUpdate();
    ASSERT_TRUE(WaitForCache(tree));

    // The reference: walk the shown nodes and their tops.
    std::vector<std::pair<PVastNode, int>> tops;
    int top = 0;
    for (PVastNode run = tree.GetFirstVisibleNoInit(); run; run = tree.GetNextVisibleNoInit(run)) {
        tops.emplace_back(run, top);
        top += run->NodeHeight;
    }
    ASSERT_EQ(tops.size(), tree.VisibleCount());
    for (std::size_t i = 0; i < tops.size(); i += 97) {
        int nodeTop = -1;
        for (int offset : {0, 17}) {
            EXPECT_EQ(tree.GetNodeAt(0, tops[i].second + offset, false, nodeTop), tops[i].first) << i;
            EXPECT_EQ(nodeTop, tops[i].second);
        }
    }
    int nodeTop = 0;
    EXPECT_EQ(tree.GetNodeAt(0, -5, false, nodeTop), tops[0].first);
    EXPECT_EQ(tree.GetNodeAt(0, top, false, nodeTop), nullptr) << "below the last node";
}

TEST(PositionCache, ChangesDuringARebuildStopItAndItResumes) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
    for (int round = 0; round < 5; ++round) {
        tree.SetRootNodeCount(60000 + std::uint32_t(round));  // queues a rebuild
        // Whether or not the worker has started, these wait for it to let go.
        tree.SetSelected(tree.GetFirst(), true);
        tree.DeleteNode(tree.GetLastNoInit());
        tree.SetVisible(tree.GetFirstNoInit()->NextSibling, round % 2 == 0);
        ASSERT_EQ(CheckInvariants(tree), "") << round;
        ASSERT_TRUE(WaitForCache(tree)) << round;
        int top = 0;
        PVastNode last = tree.GetLastVisibleNoInit();
        EXPECT_EQ(tree.GetNodeAt(0, int(tree.RootNode()->TotalHeight - tree.RootNode()->NodeHeight) - 1, false, top),
                  last);
    }
}

// The worker takes the first queued tree and waits, before reading it, until this
// thread runs its state message; until the test pumps, every later tree stays queued.
void HoldWorker(TVastStringTree& busy, std::uint32_t rows) {
    busy.SetRootNodeCount(rows);
    ASSERT_TRUE(busy.TreeStates() & tsValidationNeeded);
}

TEST(PositionCache, ARebuildStoppedWhileQueuedIsStartedAgain) {
    TVastStringTree busy(nullptr), tree(nullptr);
    busy.SetNodeDataSize(4);
    tree.SetNodeDataSize(4);
    const std::vector<std::pair<const char*, std::function<void()>>> uses = {
        {"initialising walk", [&] { for (PVastNode run = tree.GetFirst(); run; run = tree.GetNext(run)) {} }},
        {"check state", [&] {
             tree.SetCheckType(tree.GetFirstNoInit(), ctCheckBox);
             tree.SetCheckState(tree.GetFirstNoInit(), csCheckedNormal);
         }},
        {"selection", [&] { tree.SetSelected(tree.GetLastNoInit(), true); }},
    };
    std::uint32_t rows = 20000;
    for (const auto& [name, use] : uses) {
        HoldWorker(busy, 60000 + rows);
        tree.BeginUpdate();
        tree.Clear();
        tree.SetRootNodeCount(++rows);
        tree.EndUpdate();  // queued behind the held tree
        use();
        ASSERT_TRUE(WaitForCache(busy)) << name;
        ASSERT_TRUE(WaitForCache(tree)) << name;
        EXPECT_FALSE(tree.TreeStates() & (tsValidationNeeded | tsStopValidation)) << name;
        int top = 0;
        EXPECT_EQ(tree.GetNodeAt(0, int(rows - 1) * 18 + 3, false, top), tree.GetLastNoInit()) << name;
        EXPECT_GE(tree.PositionCache().size(), rows / CacheThreshold) << name;
    }
}

// Ends the process when the test is stuck (a deadlock cannot be failed otherwise).
class HangGuard {
public:
    explicit HangGuard(const char* what) : thread_([this, what] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!done_.wait_for(lock, std::chrono::seconds(60), [this] { return finished_; })) {
            std::fprintf(stderr, "stuck: %s\n", what);
            std::_Exit(3);
        }
    }) {}
    ~HangGuard() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

TEST(PositionCache, AStateHandlerMayChangeItsTreeWhileTheWorkerRebuildsIt) {
    struct Case {
        const char* name;
        std::function<void(TVastStringTree&)> touch;
    };
    const std::vector<Case> cases = {
        {"select the first row", [](TVastStringTree& t) { t.SetSelected(t.GetFirst(), true); }},
        {"check a row", [](TVastStringTree& t) {
             t.SetCheckType(t.GetFirst(), ctCheckBox);
             t.SetCheckState(t.GetFirst(), csCheckedNormal);
         }},
        {"delete the last row", [](TVastStringTree& t) {
             if (t.RootNodeCount() > 4990) t.DeleteNode(t.GetLastNoInit());
         }},
    };
    for (const Case& c : cases) {
        HangGuard guard(c.name);
        TVastStringTree tree(nullptr);
        tree.SetNodeDataSize(4);
        int entered = 0, finished = 0;
        tree.OnStateChange = [&](TBaseVastTree*, TVastTreeStates enter, TVastTreeStates) {
            if (enter & tsValidating) {
                ++entered;
                c.touch(tree);
            }
            if (enter & tsUseCache) {
                ++finished;
                c.touch(tree);
            }
        };
        tree.SetRootNodeCount(5000);
        ASSERT_TRUE(WaitForCache(tree)) << c.name;
        EXPECT_GE(entered, 1) << c.name;
        EXPECT_GE(finished, 1) << c.name;
        // The cache in use matches the tree as the handlers left it.
        ASSERT_EQ(CheckInvariants(tree), "") << c.name;
        int top = 0;
        PVastNode last = tree.GetLastVisibleNoInit();
        EXPECT_EQ(tree.GetNodeAt(0, int(tree.RootNode()->TotalHeight - tree.RootNode()->NodeHeight) - 1, false, top),
                  last)
            << c.name;
        ASSERT_FALSE(tree.PositionCache().empty());
        EXPECT_EQ(tree.PositionCache().back().Node->Index, (tree.RootNodeCount() - 1) / CacheThreshold * CacheThreshold)
            << c.name;
    }
}

// A tree of rows of varying height follows the finished cache with its scroll bars, which
// measure the rows from the top and initialise them, inside the worker's state message.
TEST(PositionCache, ScrollBarsMayInitialiseRowsInTheWorkersMessage) {
    HangGuard guard("scroll bars of a variable-height tree");
    platform::test::UseHeadlessBackend();
    auto* form = new platform::TForm(nullptr);
    form->SetBounds(0, 0, 300, 200);
    form->AfterConstruction();
    auto* tree = new TVastStringTree(form);
    tree->SetParent(form);
    tree->SetNodeDataSize(4);
    tree->TreeOptions()->SetMiscOptions(tree->TreeOptions()->MiscOptions() | toVariableNodeHeight);
    ASSERT_NE(tree->Handle(), nullptr);  // a window, never painted
    int initialised = 0;
    tree->OnInitNode = [&](TBaseVastTree*, PVastNode, PVastNode, TVastNodeInitStates&) { ++initialised; };
    tree->BeginUpdate();
    tree->SetRootNodeCount(5000);
    tree->EndUpdate();
    // Scrolled without touching the bars: the rows now at the top are still uninitialised.
    tree->DoSetOffsetXY(platform::TPoint{0, -45000}, 0);
    const int before = initialised;
    EXPECT_TRUE(WaitForCache(*tree));
    EXPECT_GT(initialised, before) << "the scroll bars measured the rows at the top";
    EXPECT_FALSE(tree->TreeStates() & tsValidationNeeded);
    delete form;
    Pump();
}

// Writes of node states that the worker reads stop a rebuild first, whether the tree is
// queued or being read.
TEST(PositionCache, NodeWritesStopARebuild) {
    const std::vector<std::pair<const char*, std::function<void(TVastStringTree&)>>> writes = {
        {"text", [](TVastStringTree& t) { t.SetText(t.GetFirstNoInit(), NoColumn, "renamed"); }},
        {"focus", [](TVastStringTree& t) { t.SetFocusedNode(t.GetLastNoInit()); }},
        {"check type", [](TVastStringTree& t) { t.SetCheckType(t.GetLastNoInit(), ctRadioButton); }},
    };
    TVastStringTree busy(nullptr), tree(nullptr);
    busy.SetNodeDataSize(4);
    tree.SetNodeDataSize(4);
    tree.SetRootNodeCount(3000);
    ASSERT_TRUE(WaitForCache(tree));
    std::uint32_t round = 0;
    for (const auto& [name, write] : writes) {
        // Rows measured by painting carry a flag in the word the worker reads.
        tree.GetFirstNoInit()->States |= vsHeightMeasured;
        tree.GetLastNoInit()->States |= vsHeightMeasured;
        HoldWorker(busy, 600000 + ++round);  // long enough that the write meets the queued rebuild
        tree.SetRootNodeCount(3000 + round);  // queued behind the held tree
        tree.GetFirstNoInit()->States |= vsHeightMeasured;
        tree.GetLastNoInit()->States |= vsHeightMeasured;
        ASSERT_FALSE(tree.TreeStates() & tsStopValidation);
        write(tree);
        EXPECT_TRUE(tree.TreeStates() & tsStopValidation) << name;
        ASSERT_TRUE(WaitForCache(busy)) << name;
        ASSERT_TRUE(WaitForCache(tree)) << name << ": rebuilt afterwards";
    }
}

// The worker rebuilding while the tree's thread writes node states: ThreadSanitizer
// sees any write the worker could meet.
TEST(PositionCache, NodeWritesDuringRebuildsStress) {
    TVastStringTree tree(nullptr);
    tree.SetNodeDataSize(4);
    tree.TreeOptions()->SetSelectionOptions(toMultiSelect);
    for (int round = 0; round < 40; ++round) {
        tree.SetRootNodeCount(2500 + std::uint32_t(round));
        PVastNode node = tree.GetLastNoInit();
        for (int step = 0; step < 20 && node; ++step, node = node->PrevSibling) {
            node->States |= vsHeightMeasured;
            switch (step % 4) {
                case 0: tree.SetText(node, NoColumn, "x"); break;
                case 1: tree.SetFocusedNode(node); break;
                case 2: tree.SetCheckType(node, step % 8 == 2 ? ctCheckBox : ctNone); break;
                case 3: tree.SetSelected(node, true); break;
            }
            if (step % 5 == 0) Pump();
        }
    }
    ASSERT_TRUE(WaitForCache(tree));
    EXPECT_EQ(CheckInvariants(tree), "");
}

TEST(PositionCache, DestroyingTheLastTreeEndsTheWorker) {
    for (int round = 0; round < 2; ++round) {
        TVastStringTree tree(nullptr);
        tree.SetNodeDataSize(4);
        tree.SetRootNodeCount(2500);
        EXPECT_TRUE(WaitForCache(tree)) << "round " << round;
    }
}

}  // namespace
}  // namespace treeview
