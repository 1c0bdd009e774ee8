#pragma once
// ActionScript 1/2 (without classes) to AVM1 bytecode for SWF 8.
// The SWF writer's newSWFAction calls Compile; the player maker only sees the writer.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace swf::as {

struct CompileError {
    int line = 0;    // 1-based
    int column = 0;  // 1-based, in bytes of the line
    std::string message;
};

struct CompileResult {
    // The action records of a DoAction tag or a button action, without the closing ActionEnd.
    std::vector<std::uint8_t> actions;
    std::optional<CompileError> error;  // set when the source could not be compiled
};

// Never throws for bad source, never prints, never ends the process.
CompileResult Compile(std::string_view source);

}  // namespace swf::as
