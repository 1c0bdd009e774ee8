// The compiler's output read back by an independent record reader: framing, constant pool,
// registers, the global functions that are actions, and errors with their positions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <pthread.h>

#include <string>

#include "avm1.h"
#include "swf/actionscript/compiler.h"

using testing::HasSubstr;

namespace {

avm1::Listing CompileOk(const std::string& source) {
    auto r = swf::as::Compile(source);
    EXPECT_FALSE(r.error) << source << "\n-> " << r.error->line << ":" << r.error->column << " "
                          << r.error->message;
    avm1::Listing l = avm1::Read(r.actions);
    EXPECT_EQ(avm1::CheckStack(l), "") << source << "\n" << l.Text();
    return l;
}

std::string Repeat(const std::string& s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

// "s0, s1, ..." or, for a statement keyword, "var v0; var v1; ...".
std::string Many(const std::string& s, std::size_t n) {
    std::string out;
    bool statement = s.rfind("var ", 0) == 0;
    for (std::size_t i = 0; i < n; ++i) out += (i && !statement ? ", " : "") + s + std::to_string(i) + (statement ? ";" : "");
    return out;
}

}  // namespace

// Every construct of the language gives well-framed records (lengths, branch targets on
// record starts inside their own function, constant and register numbers in range) and
// keeps the stack balanced on every path.
TEST(ActionScriptCompile, EveryConstructIsWellFramed) {
    const char* sources[] = {
        "var a = 1, b = 'two', c = 0x1F, d = .5e1, e = 1.5E-3, f = null, g = undefined, h = true;",
        "x = [1, , 'a', [2]]; y = {a: 1, 'b c': 2, 3: [4], default: 5};",
        "a.b.c = d[e][f]; a['x'] += 1; a[k()] -= 2; a.b++; --a[i]; i++; ++i; r = a.b++ + --a[i];",
        "if (a) b(); else if (c) d(); else { e(); }",
        "while (i < 10) { if (i == 5) break; i++; continue; }",
        "do { i--; } while (i > 0);",
        "for (var i = 0, j = 1; i < j; i++, j--) {} for (;;) { break; }",
        "for (var k in o) trace(k); for (p in o) {} for (o.q in r) {} for (o[s] in r) { break; }",
        "for (var k in o) { for (var m in k) { if (m) break; if (k) continue; } }",
        "a: for (var k in o) { for (var m in k) { switch (m) { case 1: continue a; default: break a; } } }",
        "function f(k) { for (var m in k) { for (var n in m) return n; } return null; }",
        "switch (x) { case 1: a(); case 'b': b(); break; default: c(); case d(): e(); }",
        "switch (x) {} switch (y) { default: }",
        "a = b ? c : d ? e : f; g = h && i || j && !k;",
        "x = 1 + 2 * 3 - 4 / 5 % 6 << 1 >> 2 >>> 3 & 4 | 5 ^ 6;",
        "x = a < b, a > b, a <= b, a >= b, a == b, a != b, a === b, a !== b;",
        "x = typeof a + typeof(b) + void 0 + (o instanceof Array) + ('k' in o) + ~y + -z + +w;",
        "delete a.b; delete c[d]; delete e; x = delete f.g;",
        "x = new Object(); y = new Array(1, 2); z = new a.B(); w = new (f())(); v = new a['C'];",
        "o.onRelease = function() { this._alpha = 50; trace(arguments.length); };",
        "function outer(a, b) { var c = 1; function inner() { return b + c; } return inner() + a; }",
        "function r(n) { return n > 1 ? n * r(n - 1) : 1; }",
        "with (_root.mc) { _x = 10; gotoAndStop(2); }",
        "function w(o) { with (o) { return _x; } }",
        "lbl: { if (a) break lbl; b(); }",
        "a: b: for (;;) { for (;;) { continue b; } }",
        "trace(1); play(); stop(); nextFrame(); prevFrame(); stopAllSounds(); x = getTimer();",
        "gotoAndPlay(3); gotoAndStop('end'); gotoAndPlay(f); x = int(1.5) + Number('2') + String(3);",
        "x = chr(65) + ord('A') + random(10) + targetPath(this) + eval('a.b');",
        "getURL('http://x', '_blank'); getURL(u); getURL(u, w, 'POST'); getURL('v', '_self', 'get');",
        "var x:Number = 1; function t(a:String, b:mx.Type):Void { var y:Array; }",
        "x = 'esc \\n \\t \\\\ \\' \\\" \\x41 \\u00e9 \\ud83d\\ude00 é';",
        "throw new Error('x');",
        "f(g(h(1)), [a, {b: c}])[0].d(e)(f);",
        "x = newline + 'a';",
        "var ids = setInterval(function() { clearInterval(ids); }, 100);",
    };
    for (const char* s : sources) CompileOk(s);
}

TEST(ActionScriptCompile, SharesStringsThroughTheConstantPool) {
    avm1::Listing l = CompileOk("trace('a'); trace('a'); b = 'a'; c = b;");
    EXPECT_EQ(l.pool, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(l.Names(), "constants push trace push trace push setVariable push getVariable setVariable");
    EXPECT_THAT(l.Text(), HasSubstr("push 'b' 'a'\n"));
    // No pool at all for a script without strings.
    EXPECT_TRUE(CompileOk("trace(1);").pool.empty());
}

TEST(ActionScriptCompile, PoolOverflowFallsBackToInlineStrings) {
    // 300 distinct names need 16-bit indexes past 255; the second long string no longer fits.
    std::string src;
    for (int i = 0; i < 300; ++i) src += "v" + std::to_string(i) + " = 1;\n";
    const std::string x(30000, 'x'), y(40000, 'y');
    src += "a = '" + x + "'; b = '" + y + "'; c = '" + x + "';";
    avm1::Listing l = CompileOk(src);
    std::string t = l.Text();
    EXPECT_THAT(t, HasSubstr("push 'v299'#16 1"));
    EXPECT_EQ(l.pool.size(), 304u);  // v0..v299, a, b, c and the x string; not the y string
    EXPECT_NE(t.find("push 'b'#16 '" + y + "'\n"), std::string::npos);
    EXPECT_NE(t.find("push 'c'#16 '" + x + "'#16\n"), std::string::npos);
}

TEST(ActionScriptCompile, NumbersAreIntegersOrDoubles) {
    std::string t = CompileOk("a = [0, -1, 2147483647, -2147483648, 2147483648, 0.5, -0, 1e300, 0xFFFFFFFF];").Text();
    EXPECT_THAT(t, HasSubstr("d4294967295 d1e+300 d-0 d0.5 d2147483648 -2147483648 2147483647 -1 0 9"));
}

// Parameters and locals live in registers unless a nested function or a dynamic scope
// (eval, with) needs them by name; this and arguments are preloaded only when used.
TEST(ActionScriptCompile, AllocatesRegistersForUncapturedLocals) {
    struct Case {
        const char* source;
        const char* header;
        const char* body;  // a line the body must hold ("" for none)
    };
    const Case cases[] = {
        {"function f(a, b) { var c = a; var d = 2; return function() { return b + d; }; }",
         "function2 f(r1:a,b) regs=3 flags=0x2a", "store r:2"},
        {"function f(a, b) { var c = a; var d = 2; return function() { return b + d; }; }",
         "function2 () regs=1 flags=0x2a", "defineLocal2"},
        {"function g() { return this.x + arguments.length; }", "function2 g() regs=3 flags=0x25", "push r:1 'x'"},
        {"function h(a) { var b = 1; return eval('a'); }", "function2 h(a) regs=1 flags=0x0", "push 'b' 1"},
        {"function w(a) { with (a) { return b; } }", "function2 w(a) regs=1 flags=0x0", ""},
        {"function k(o) { o.n++; return o[k2()] += 1; }", "function2 k(r1:o) regs=3 flags=0x2a", "store r:2"},
        // The inner function's eval may name any outer local: none of them in registers.
        {"function m(a) { var b; return function() { return eval('b'); }; }", "function2 m(a) regs=1 flags=",
         ""},
    };
    for (const Case& c : cases) {
        std::string t = CompileOk(c.source).Text();
        EXPECT_THAT(t, HasSubstr(c.header)) << c.source << "\n" << t;
        EXPECT_THAT(t, HasSubstr(c.body)) << c.source << "\n" << t;
    }
}

// Past the 255 registers a function has, further locals stay names; the scratch registers
// are kept free.
TEST(ActionScriptCompile, LocalsBeyondTheRegistersStayNames) {
    std::string body;
    for (int i = 0; i < 300; ++i) body += "var v" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    std::string t = CompileOk("function many(p) {\n" + body + "return v0 + v299 + p[v1]++;\n}").Text();
    EXPECT_THAT(t, HasSubstr("function2 many(r1:p) regs=255 "));
    EXPECT_THAT(t, HasSubstr("push 'v252' 252\ndefineLocal\n"));
    EXPECT_THAT(t, HasSubstr("push 250\nstore r:252\n"));
    EXPECT_THAT(t, HasSubstr("store r:254\n"));  // the postfix value
}

TEST(ActionScriptCompile, HoistsFunctionDeclarations) {
    // Top level: every declaration, wherever it stands, is written before the other code.
    std::string top = CompileOk("trace(f()); if (x) { function g() {} } function f() { return 1; }").Text();
    ASSERT_NE(top.find("callFunction"), std::string::npos);
    EXPECT_LT(top.find("function2 g()"), top.find("callFunction"));
    EXPECT_LT(top.find("function2 f()"), top.find("callFunction"));
    // Inside a function: declarations come first, by register when nothing captures them.
    std::string t = CompileOk("function o() { return i(); function i() { return 2; } }").Text();
    EXPECT_THAT(t, HasSubstr("function2 o() regs=2 flags=0x2a size="));
    EXPECT_THAT(t, HasSubstr("function2 () regs=1 flags=0x2a size=9\npush 2\nreturn\nstore r:1\npop\n"));
}

TEST(ActionScriptCompile, GlobalFunctionsThatAreActions) {
    struct Case {
        const char* source;
        const char* listing;
    };
    const Case cases[] = {
        {"trace(x);", "push 'x'\ngetVariable\ntrace\n"},
        {"gotoAndPlay(5);", "gotoFrame 4\nplay\n"},
        {"gotoAndStop(1);", "gotoFrame 0\n"},
        {"gotoAndStop('end');", "gotoLabel 'end'\n"},
        {"gotoAndPlay(n);", "getVariable\ngotoFrame2 1\n"},
        {"gotoAndStop(n + 1);", "add2\ngotoFrame2 0\n"},
        {"getURL('http://a/b', '_blank');", "getURL 'http://a/b' '_blank'\n"},
        {"getURL('http://a/b');", "getURL 'http://a/b' ''\n"},
        {"getURL(u, t);", "push 't'\ngetVariable\ngetURL2 0\n"},
        {"getURL(u, '_self', 'GET');", "getURL2 64\n"},
        {"getURL(u, '_self', 'post');", "getURL2 128\n"},
        {"x = getTimer();", "getTime\nsetVariable\n"},
        {"x = int(y);", "toInteger\n"},
        {"x = Number(y) + String(z);", "toNumber\npush 'z'\ngetVariable\ntoString\nadd2\n"},
        {"x = chr(y) + ord(z);", "mbChr\npush 'z'\ngetVariable\nmbOrd\n"},
        {"x = random(10);", "push 'x' 10\nrandom\n"},
        {"x = targetPath(this);", "push 'x' 'this'\ngetVariable\ntargetPath\n"},
        {"x = eval('a.b');", "push 'x' 'a.b'\ngetVariable\nsetVariable\n"},
        {"play(); stop(); nextFrame(); prevFrame(); stopAllSounds();", "play\nstop\nnextFrame\nprevFrame\nstopSounds\n"},
        {"x = trace(1);", "push 'x' 1\ntrace\npush undefined\nsetVariable\n"},
        {"getTimer();", "getTime\npop\n"},
        // Other functions, and methods of the same names, are ordinary calls.
        {"setInterval(f, 10);", "push 10 'f'\ngetVariable\npush 2 'setInterval'\ncallFunction\npop\n"},
        {"mc.gotoAndPlay(2);", "push 2 1 'mc'\ngetVariable\npush 'gotoAndPlay'\ncallMethod\npop\n"},
    };
    for (const Case& c : cases) EXPECT_THAT(CompileOk(c.source).Text(), HasSubstr(c.listing)) << c.source;
}

TEST(ActionScriptCompile, ErrorsCarryLineColumnAndReason) {
    struct Case {
        std::string source;
        int line, column;
        const char* message;
    };
    const Case cases[] = {
        {"x = 1 +;", 1, 8, "unexpected ';'"},
        {"a = 1;\n  b = (2;", 2, 9, "expected ')' but found ';'"},
        {"a = 1; // note\r\n/* x\r\r */ b = (2;", 4, 11, "expected ')' but found ';'"},
        {"a = 1\rb = 2\r\rc = (3;", 4, 7, "expected ')' but found ';'"},
        {"trace('abc);\nx = 1;", 1, 7, "unterminated string"},
        {"x = 1; /* never closed\n\n", 1, 8, "unterminated comment"},
        {"x = \"a\\u12\";", 1, 7, "\\u needs 4 hexadecimal digits"},
        {"x = 'a\\0';", 1, 7, "character 0"},
        {std::string("x = 'a\\\0';", 10), 1, 8, "character 0"},
        {std::string("x = 'a\0';", 9), 1, 7, "character 0"},
        {"x = 0x;", 1, 5, "hexadecimal number without digits"},
        {"x = 1e+;", 1, 6, "exponent without digits"},
        {"x = 12abc;", 1, 7, "a name cannot start right after a number"},
        {"x = 1 # 2;", 1, 7, "unexpected character '#'"},
        {"x = 'caf\xC3';", 1, 9, "invalid UTF-8"},
        {"x = \xFF;", 1, 5, "invalid UTF-8"},
        {"x = 'ok';\n\xC0\x80 = 1;", 2, 1, "invalid UTF-8"},
        {"1 = x;", 1, 3, "cannot be assigned to"},
        {"x++ = 2;", 1, 5, "cannot be assigned to"},
        {"f()++;", 1, 4, "needs a variable or member"},
        {"break;", 1, 1, "'break' outside a loop or switch"},
        {"while (1) { continue foo; }", 1, 13, "no enclosing statement is labelled 'foo'"},
        {"l: { continue l; }", 1, 6, "not a loop"},
        {"for (;;) { with (o) { break; } }", 1, 23, "cannot leave a 'with' body"},
        {"return 1;", 1, 1, "'return' outside a function"},
        {"function f() {\n  x = 1;\n", 1, 14, "never closed"},
        {"function f {}", 1, 12, "expected '(' but found '{'"},
        {"function f(a, a) {}", 1, 15, "parameter 'a' is named twice"},
        {"class A {}", 1, 1, "classes and interfaces are not supported"},
        {"try { } catch (e) { }", 1, 1, "'try' is not supported"},
        {"switch (x) { case 1: default: default: }", 1, 31, "one 'default' at most"},
        {"x = 1 y = 2;", 1, 7, "expected ';' but found 'y'"},
        {"trace(1, 2);", 1, 6, "'trace' takes 1 argument"},
        {"play(1);", 1, 5, "'play' takes no arguments"},
        {"gotoAndPlay('scene', 2);", 1, 12, "scenes are not supported"},
        {"getURL(u, w, m);", 1, 14, "must be \"GET\" or \"POST\""},
        {"for (var a = 1 in o) {}", 1, 16, "one variable without a value"},
        {"x = {a 1};", 1, 8, "expected ':'"},
    };
    for (const Case& c : cases) {
        auto r = swf::as::Compile(c.source);
        ASSERT_TRUE(r.error) << c.source;
        EXPECT_TRUE(r.actions.empty());
        EXPECT_EQ(r.error->line, c.line) << c.source << ": " << r.error->message;
        EXPECT_EQ(r.error->column, c.column) << c.source << ": " << r.error->message;
        EXPECT_THAT(r.error->message, HasSubstr(c.message)) << c.source;
    }
}

TEST(ActionScriptCompile, SemicolonsMayBeLeftOutAtLineEnds) {
    std::string t = CompileOk("a = 1\nb = 2\nfunction f() { return\n3 }\nc = a\n++b").Text();
    EXPECT_THAT(t, HasSubstr("push undefined\nreturn\n"));          // return ends at the line break
    EXPECT_THAT(t, HasSubstr("push 'b'\ndup\ngetVariable\nincrement"));  // ++ binds to the next line
}

// Code too large for the 16-bit offsets and sizes of the format is refused, not truncated.
TEST(ActionScriptCompile, CodeBeyondTheFormatsLimitsIsAnError) {
    std::string body = Repeat("trace('a' + x);\n", 6000);
    auto loop = swf::as::Compile("x = 1;\nwhile (x) {\n" + body + "}");
    ASSERT_TRUE(loop.error);
    EXPECT_EQ(loop.error->line, 2);
    EXPECT_THAT(loop.error->message, HasSubstr("branch too long"));
    auto fn = swf::as::Compile("x = 1;\nfunction big() {\n" + Repeat("trace('a' + x);\n", 12000) + "}");
    ASSERT_TRUE(fn.error);
    EXPECT_EQ(fn.error->line, 2);
    EXPECT_THAT(fn.error->message, HasSubstr("function too large"));
    // The same amount of code at the top level is fine.
    CompileOk(Repeat("trace('a' + x);\n", 12000));
}

TEST(ActionScriptCompile, HostileInputEndsInAnErrorOrResult) {
    struct Case {
        std::string name;
        std::string source;
        const char* message;  // nullptr: must compile
    };
    const Case cases[] = {
        {"parentheses", std::string(100000, '(') + "1", "nesting too deep"},
        {"blocks", std::string(100000, '{'), "nesting too deep"},
        {"arrays", "x = " + std::string(100000, '['), "nesting too deep"},
        {"functions", Repeat("function(){", 20000), "nesting too deep"},
        {"else-if chain", "if (a) {}" + Repeat(" else if (a) {}", 5000), "nesting too deep"},
        {"assignment chain", Repeat("a = ", 100000) + "1;", "nesting too deep"},
        {"operator chain", "x = 1" + Repeat(" + 1", 100000) + ";", "expression too deeply nested"},
        {"unary chain", "x = " + std::string(100000, '!') + "1;", "nesting too deep"},
        {"new chain", "x = " + Repeat("new ", 100000) + "A;", "nesting too deep"},
        {"member chain", "x = a" + Repeat(".b", 100000) + ";", "expression too deeply nested"},
        {"call chain", "x = f" + Repeat("()", 100000) + ";", "expression too deeply nested"},
        {"nul byte", std::string("x = 1;\0y = 2;", 13), "unexpected control character"},
        {"lone backslash", "x = \\", "unexpected character"},
        {"string ending in backslash", "x = 'abc\\", "unterminated string"},
        {"parameters", "f = function(p" + Repeat(", p", 1) + ") {};", "named twice"},
        {"too many parameters", "f = function(" + Many("parameter", 8000) + ") {};", "function header too large"},
        {"many locals", "function f() {" + Many("var v", 100000) + "}", "function too large"},
        {"long name", "x = " + std::string(70000, 'n') + ";", "string too long"},
        {"long parameter name", "function f(" + std::string(70000, 'p') + ") {}", "function header too large"},
        {"only a BOM", "\xEF\xBB\xBF", nullptr},
        {"empty", "", nullptr},
        {"comments only", "// a\n/* b */", nullptr},
        {"wide flat array", "x = [" + Repeat("1,", 200000) + "1];", nullptr},
    };
    for (const Case& c : cases) {
        auto r = swf::as::Compile(c.source);
        if (!c.message) {
            EXPECT_FALSE(r.error) << c.name << ": " << r.error->message;
            EXPECT_EQ(avm1::Read(r.actions).error, "") << c.name;
            continue;
        }
        ASSERT_TRUE(r.error) << c.name;
        EXPECT_THAT(r.error->message, HasSubstr(c.message)) << c.name;
    }
}

TEST(ActionScriptCompile, TenMegabytesOfInput) {
    const std::string line = "v = v + 'some text' + 12345; // comment\n";
    std::string ok = Repeat(line, 10 * 1024 * 1024 / line.size());
    auto r = swf::as::Compile(ok);
    ASSERT_FALSE(r.error) << r.error->message;
    EXPECT_EQ(avm1::Read(r.actions).error, "");
    // A fault after 10 MB of comments: the error names the right line.
    const std::string comment = "// a comment line\r\n/* and a block\n   of two */\n";
    std::size_t n = 10 * 1024 * 1024 / comment.size();
    r = swf::as::Compile(Repeat(comment, n) + "x = ;\n");
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->line, static_cast<int>(3 * n) + 1);
    // One statement holding it all is refused by size, not by running out of memory.
    n = 600000;  // list items, well past the parts one statement may have
    const std::string statements[] = {"x = [" + Repeat("1, ", n) + "0];", "x = [" + Repeat(",", n) + "];",
                                      "var " + Repeat("a, ", n) + "b;", "f(" + Repeat("a, ", n) + "0);",
                                      "function g(" + Many("p", n) + ") {}"};
    for (const std::string& statement : statements) {
        r = swf::as::Compile(statement);
        ASSERT_TRUE(r.error) << statement.substr(0, 12);
        EXPECT_THAT(r.error->message, HasSubstr("statement too large")) << statement.substr(0, 12);
    }
}

// Text nested just inside the limit compiles on a thread with a 4 MB stack (sanitizer builds
// need about half of it; an optimised build needs a twentieth).
TEST(ActionScriptCompile, DeepestAcceptedNestingFitsASmallStack) {
    const int n = 190;
    const std::vector<std::string> sources = {
        "x = " + std::string(n, '(') + "1" + std::string(n, ')') + ";",
        std::string(n, '{') + std::string(n, '}'),
        Repeat("function f() {", n) + std::string(n, '}'),
        Repeat("a = ", n) + "1;",
        "x = " + Repeat("a ? b : ", n) + "c;",
        "x = " + std::string(n, '!') + "1;",
        "x = " + std::string(n, '[') + std::string(n, ']') + ";",
        "if (a) {}" + Repeat(" else if (a) {}", n),
        "x = 1" + Repeat(" + 1", n) + ";",
        "x = f" + Repeat("(1)", n) + ";",
    };
    struct Job {
        const std::vector<std::string>* sources;
        std::vector<std::string> errors;
    } job{&sources, {}};
    auto run = [](void* p) -> void* {
        auto* j = static_cast<Job*>(p);
        for (const std::string& s : *j->sources) {
            auto r = swf::as::Compile(s);
            j->errors.push_back(r.error ? r.error->message : avm1::Read(r.actions).error);
        }
        return nullptr;
    };
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 4 << 20);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, run, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_EQ(job.errors.size(), sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) EXPECT_EQ(job.errors[i], "") << sources[i].substr(0, 40);
}
