#pragma once
// Test helpers: an independent reader of AVM1 action records that checks their framing
// (lengths, branch targets, function bodies, constant and register numbers) and prints
// them one a line, and a wrapper that puts actions into a minimal playable SWF.
#include <cstdint>
#include <string>
#include <vector>

namespace avm1 {

struct Action {
    std::size_t offset = 0;
    std::uint8_t code = 0;
    std::vector<std::uint8_t> data;
    std::string text;  // e.g. "push 'a' 1 r:2", "if L12", "function2 f(r1:x) regs=3 flags=0x2a"
};

struct Listing {
    std::vector<Action> actions;
    std::vector<std::string> pool;
    std::string error;  // first framing fault found, empty when the code is sound
    // One action text a line.
    std::string Text() const;
    // Just the action names (first word of each text), space separated.
    std::string Names() const;
};

Listing Read(const std::vector<std::uint8_t>& code);

// Follows every path through well-framed actions with a model of the stack: no action takes
// more values than the path has pushed, paths that meet agree on the stack depth, and each
// function body and the whole list end (or return) with the stack as they found it. The
// counts that calls, `new` and initialisers take must be pushed as integers on the path.
// The names an enumeration (Enumerate2) leaves are followed through the tests against null
// that take them one by one; any other use of them is a fault.
// Returns the first fault, or an empty text.
std::string CheckStack(const Listing& listing);

struct DoAction {
    std::vector<std::uint8_t> actions;  // without the closing ActionEnd
};
struct Frame {
    std::vector<DoAction> actions;
    std::string label;  // a frame label when not empty
};
// SWF 8 (uncompressed) of the given frames, each holding its DoAction tags in order.
std::vector<std::uint8_t> MakeSwf(const std::vector<Frame>& frames, int width = 200, int height = 100);
// SWF 8 of one frame holding the given DoAction tags in order.
std::vector<std::uint8_t> MakeSwf(const std::vector<DoAction>& tags, int width = 200, int height = 100);

}  // namespace avm1
