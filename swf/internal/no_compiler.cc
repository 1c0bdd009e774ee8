// Stands in for the ActionScript compiler while the build has none: every script fails.
#include "swf/actionscript/compiler.h"

namespace swf::as {

CompileResult Compile(std::string_view) {
    CompileResult r;
    r.error = CompileError{1, 1, "no ActionScript compiler in this build"};
    return r;
}

}  // namespace swf::as
