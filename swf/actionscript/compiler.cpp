#include "swf/actionscript/compiler.h"

#include <new>

#include "swf/actionscript/codegen.h"
#include "swf/actionscript/parser.h"

namespace swf::as {

CompileResult Compile(std::string_view source) {
    CompileResult result;
    try {
        Parser parser(source);
        CodeGen gen;
        // One top-level statement at a time: its syntax tree is dropped once it is written.
        while (!parser.AtEnd()) gen.TopLevel(parser.ParseTopLevel());
        result.actions = gen.Finish();
    } catch (const SyntaxError& e) {
        result.actions.clear();
        result.error = CompileError{e.pos.line, e.pos.column, e.message};
    } catch (const std::bad_alloc&) {
        result.actions.clear();
        result.error = CompileError{1, 1, "out of memory while compiling the script"};
    }
    return result;
}

}  // namespace swf::as
