#pragma once
// Scope objects for pairs of calls that must match: whatever leaves the scope (a
// return, an exception) runs the closing call exactly once.
#include <exception>
#include <utility>

namespace treeview {

// Runs the closing action when the scope ends unless Release() was called. A closing
// action that throws while another exception is leaving the stack is silenced: the first
// failure is the one the caller hears about. Whether one is leaving is asked only when
// the closing action throws, so the scope costs nothing on the way through (these guard
// the tree's hottest paths, such as adding a node).
template <class Close> class TScopeExit {
public:
    explicit TScopeExit(Close close) : close_(std::move(close)) {}
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;
    ~TScopeExit() noexcept(false) {
        if (armed_) CloseSilencedWhileUnwinding(close_);
    }
    void Release() { armed_ = false; }

    // Runs close; an exception it throws goes on unless another one is leaving the stack.
    template <class F> static void CloseSilencedWhileUnwinding(F& close) {
        try {
            close();
        } catch (...) {
            // Inside the handler the closing action's own exception counts as caught.
            if (std::uncaught_exceptions() > 0) return;
            throw;
        }
    }

private:
    Close close_;
    bool armed_ = true;
};

// Runs the closing action only when the scope is left by an exception (rolling back
// work the normal path keeps).
template <class Undo> class TScopeFail {
public:
    explicit TScopeFail(Undo undo) : undo_(std::move(undo)), pending_(std::uncaught_exceptions()) {}
    TScopeFail(const TScopeFail&) = delete;
    TScopeFail& operator=(const TScopeFail&) = delete;
    // An undo that throws is silenced: it only runs while another exception is leaving,
    // which is the one the caller hears about, and a second one would end the program.
    ~TScopeFail() {
        if (std::uncaught_exceptions() <= pending_) return;
        try {
            undo_();
        } catch (...) {
        }
    }

private:
    Undo undo_;
    int pending_;
};

// Counts one level of nesting for the length of the scope (an update count raised
// without the notifications of a full update bracket).
template <class Count> class TNestingScope {
public:
    explicit TNestingScope(Count& count) : count_(count) { ++count_; }
    TNestingScope(const TNestingScope&) = delete;
    TNestingScope& operator=(const TNestingScope&) = delete;
    ~TNestingScope() { --count_; }

private:
    Count& count_;
};

// An update bracket of a tree: BeginUpdate now, EndUpdate when the scope ends (the same
// rule for a throwing EndUpdate as TScopeExit).
template <class Tree> class TUpdateScope {
public:
    explicit TUpdateScope(Tree& tree) : tree_(tree) { tree_.BeginUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;
    ~TUpdateScope() noexcept(false) {
        auto end = [this] { tree_.EndUpdate(); };
        TScopeExit<decltype(end)>::CloseSilencedWhileUnwinding(end);
    }

private:
    Tree& tree_;
};

}  // namespace treeview
