// Compiled scripts played by a real Flash player: a table of snippets with the trace lines
// each must print, pure expressions checked against Node.js, and the texts the player
// maker generates run against a stub template.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "avm1.h"
#include "harness/ruffle.h"
#include "swf/actionscript/compiler.h"

namespace fs = std::filesystem;

namespace {

struct Snippet {
    std::string name;
    std::string source;
    std::vector<std::string> traces;
};

// Plays a movie until it traces "done" (or 5 s pass) and returns what it traced.
std::vector<std::string> RunMovie(const std::string& test, const std::vector<std::uint8_t>& swf) {
    fs::path dir = fs::temp_directory_path() / ("lumacast-as-" + test + "-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "t.swf", std::ios::binary).write(reinterpret_cast<const char*>(swf.data()), swf.size());
    harness::RuffleJob job;
    job.root = dir.string();
    job.swf = "t.swf";
    job.untilTrace = "done";
    job.durationMs = 5000;
    harness::RuffleResult result = harness::RunRuffle(job);
    fs::remove_all(dir);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_THAT(result.errors, testing::IsEmpty());
    return result.traces;
}

// Plays the scripts, each as a DoAction of its own preceded by a marker line, and returns
// the trace lines each one printed. A script that does not compile fails the test.
std::vector<std::vector<std::string>> Play(const std::string& test, const std::vector<std::string>& scripts,
                                           const std::string& finale) {
    std::vector<avm1::DoAction> tags;
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        auto r = swf::as::Compile("trace('#" + std::to_string(i) + "');\n" + scripts[i]);
        if (r.error) {
            ADD_FAILURE() << "script " << i << " does not compile: " << r.error->line - 1 << ":" << r.error->column
                          << " " << r.error->message << "\n" << scripts[i];
            r = swf::as::Compile("trace('#" + std::to_string(i) + "');");
        }
        EXPECT_EQ(avm1::CheckStack(avm1::Read(r.actions)), "") << scripts[i];
        tags.push_back({r.actions});
    }
    auto end = swf::as::Compile("trace('#end');\n" + finale);
    EXPECT_FALSE(end.error) << end.error->message;
    tags.push_back({end.actions});

    std::vector<std::vector<std::string>> groups(scripts.size() + 1);
    int current = -1;
    for (const std::string& line : RunMovie(test, avm1::MakeSwf(tags))) {
        if (line.size() > 1 && line[0] == '#') {
            current = line == "#end" ? static_cast<int>(scripts.size()) : std::atoi(line.c_str() + 1);
            continue;
        }
        if (current >= 0 && current < static_cast<int>(groups.size())) groups[current].push_back(line);
    }
    return groups;
}

void PlayTable(const std::string& test, const std::vector<Snippet>& table, const std::string& finale,
               const std::vector<std::string>& finaleTraces) {
    std::vector<std::string> scripts;
    for (const Snippet& s : table) scripts.push_back(s.source);
    auto groups = Play(test, scripts, finale);
    for (std::size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(groups[i], table[i].traces) << table[i].name << ":\n" << table[i].source;
    EXPECT_EQ(groups.back(), finaleTraces);
}

}  // namespace

TEST(ActionScriptPlayer, SnippetsTraceWhatTheyShould) {
    RUFFLE_OR_SKIP();
    const std::vector<Snippet> table = {
        {"literals",
         "trace(1); trace(-2.5); trace(0x1F); trace(.5e1); trace(1.5E-3); trace(\"tab\\there\");\n"
         "trace('q\\'s'); trace(\"\\u00e9\\x41\"); trace(true); trace(null); trace(undefined); trace(newline == \"\\n\");",
         {"1", "-2.5", "31", "5", "0.0015", "tab\there", "q's", "\xC3\xA9" "A", "true", "null", "undefined", "true"}},
        {"utf-8 strings",
         "var jp = \"\xE6\x97\xA5\xE6\x9C\xAC\"; trace(jp + jp.length); trace(\"\\ud83d\\ude00\" == \"\xF0\x9F\x98\x80\");\n"
         "trace(chr(233) == \"\\u00e9\"); trace(ord(\"\xE6\x97\xA5\"));",
         {"\xE6\x97\xA5\xE6\x9C\xAC" "2", "true", "true", "26085"}},
        {"coercions",
         "var n = \"5\"; trace(n + 1); trace(n - 1); trace(n * \"2\"); trace(+n + 1); trace(\"3\" == 3);\n"
         "trace(\"3\" === 3); trace(null == undefined); trace(null === undefined); trace(String(12) + 1);\n"
         "trace(int(-3.7)); trace(Number(true)); trace(String(undefined)); trace(1 / 0); trace(0 / 0);",
         {"51", "4", "10", "6", "true", "false", "true", "false", "121", "-3", "1", "undefined", "Infinity", "NaN"}},
        {"precedence",
         "trace(1 + 2 * 3); trace((1 + 2) * 3); trace(10 - 4 - 3); trace(2 * 3 % 4); trace(1 + 2 + \"3\");\n"
         "trace(\"1\" + 2 + 3); trace(1 < 2 == true); trace(1 | 2 ^ 3 & 4); trace(-2 * -3);\n"
         "trace(!true || true && false); trace(8 >> 1 + 1); trace(true ? false ? 1 : 2 : 3); trace(2 + 3 > 4);",
         {"7", "9", "3", "2", "33", "123", "true", "3", "6", "false", "2", "2", "true"}},
        {"short-circuit",
         "var calls = 0; function side(v) { calls++; return v; }\n"
         "trace(side(false) && side(true)); trace(side(true) || side(false)); trace(side(0) || side(\"x\"));\n"
         "trace(\"[\" + (side(\"a\") && side(\"\")) + \"]\"); trace(calls);",
         {"false", "true", "x", "[]", "6"}},
        {"typeof",
         "trace(typeof 1); trace(typeof \"s\"); trace(typeof true); trace(typeof undefined); trace(typeof null);\n"
         "trace(typeof {}); trace(typeof []); trace(typeof function() {}); trace(typeof _root);\n"
         "trace(typeof new String(\"a\")); trace(typeof notDefinedAnywhere);",
         {"number", "string", "boolean", "undefined", "null", "object", "object", "function", "movieclip", "object",
          "undefined"}},
        {"hoisting and arguments",
         "trace(later(2)); function later(x) { return x * 10; }\n"
         "function count() { return arguments.length; } trace(count(1, 2, 3));\n"
         "function sum() { var s = 0; for (var i = 0; i < arguments.length; i++) s += arguments[i]; return s; }\n"
         "trace(sum(1, 2, 3, 4));\n"
         "function outerF() { return innerF(3); function innerF(v) { return v * 2; } } trace(outerF());\n"
         "function hv() { vv = 3; var vv; return vv; } trace(hv()); trace(typeof vv);\n"
         "function hv2() { hc = 4; var hc; return function() { return hc; }(); } trace(hv2()); trace(typeof hc);\n"
         "function outer2() { function rec(n) { return n ? rec(n - 1) + 1 : 0; } return rec(3); }\n"
         "trace(outer2()); trace(typeof rec);\n"
         "hx = 5; var hx; trace(hx); for (var j = 0; j < 2; j++) { var hz; if (j == 0) hz = \"kept\"; } trace(hz);",
         {"20", "3", "10", "6", "3", "undefined", "4", "undefined", "3", "undefined", "5", "kept"}},
        {"closures",
         "var fs = []; for (var i = 0; i < 3; i++) fs.push(function() { return i; });\n"
         "trace(fs[0]() + \" \" + fs[1]() + \" \" + fs[2]());\n"
         "var gs = []; for (var j = 0; j < 3; j++) gs.push(function(v) { return function() { return v; }; }(j));\n"
         "trace(gs[0]() + \" \" + gs[1]() + \" \" + gs[2]());\n"
         "function counter() { var c = 0; return function() { c++; return c; }; }\n"
         "var c1 = counter(), c2 = counter(); c1(); c1(); trace(c1() + \" \" + c2());\n"
         "function makeAll() { var r = []; for (var k = 0; k < 3; k++) { r.push(function() { return k; }); } return r; }\n"
         "var m = makeAll(); trace(m[0]() + \" \" + m[2]());\n"
         "function cap() { var base = 5; function add(v) { return base + v; } base = 10; return add(1); } trace(cap());",
         {"3 3 3", "0 1 2", "3 1", "3 3", "11"}},
        {"for-in",
         "var o = {a: 1, b: 2, c: 3}; var ks = []; for (var k in o) ks.push(k + \"=\" + o[k]); ks.sort(); trace(ks.join(\",\"));\n"
         "var arr = [\"x\", \"y\"]; var s = []; for (var idx in arr) s.push(idx + arr[idx]); s.sort(); trace(s.join(\",\"));\n"
         "function firstKey(o) { for (var k in o) { if (o[k] == 2) return k; } return \"none\"; }\n"
         "trace(firstKey({a: 1, b: 2, c: 3})); trace(firstKey({}));\n"
         "var depth = 0; for (var p in {x: 1, y: 2}) { for (var q in {z: 1, w: 2}) { break; } depth++; } trace(depth);\n"
         "var t = {}; for (t.key in {only: 1}) {} trace(t.key);\n"
         "function nested(a, b) { var n = 0; for (var x in a) for (var y in b) { if (y == \"s\") return n; n++; } return -1; }\n"
         "trace(nested({p: 1}, {s: 1}) + \" \" + nested({p: 1}, {}));\n"
         "function labelled(a) { var n = 0; outer: for (var x in a) { for (var y in a) { n++;\n"
         "  if (y == x) { if (n > 1) break outer; continue outer; } } } return n + \"|\" + typeof labelled; } trace(labelled({p: 1, q: 2, r: 3}));",
         {"a=1,b=2,c=3", "0x,1y", "b", "none", "2", "only", "0 -1", "3|function"}},
        {"switch",
         "function sw(x) { var r = \"\"; switch (x) { case 1: r += \"one|\"; case 2: r += \"two|\"; break;\n"
         "  case \"1\": r += \"str|\"; break; default: r += \"def|\"; case 3: r += \"three|\"; } return r; }\n"
         "trace(sw(1)); trace(sw(2)); trace(sw(\"1\")); trace(sw(3)); trace(sw(9));\n"
         "function loopSw() { var out = \"\"; for (var i = 0; i < 4; i++) { switch (i) { case 1: continue; case 2: break; "
         "default: out += i; } out += \".\"; } return out; } trace(loopSw());",
         {"one|two|", "two|", "str|", "three|", "def|three|", "0..3."}},
        {"loops",
         "var out = \"\"; var i = 0; while (true) { i++; if (i % 2) continue; if (i > 6) break; out += i; } trace(out);\n"
         "var n = 0; do { n++; } while (n < 5); trace(n); do { n = 100; } while (false); trace(n);\n"
         "var s2 = \"\"; outer: for (var a = 0; a < 3; a++) { for (var b = 0; b < 3; b++) {\n"
         "  if (b > a) continue outer; if (a == 2) break outer; s2 += a + \"\" + b + \",\"; } } trace(s2);\n"
         "blk: { trace(\"in\"); if (n) break blk; trace(\"never\"); } trace(\"after\");",
         {"246", "5", "100", "00,10,11,", "in", "after"}},
        {"assignment operators",
         "var o = {v: 5, a: [1, 2]}; o.v += 2; o.v *= 3; o[\"v\"] -= 1; o.v /= 4; trace(o.v);\n"
         "var k = 0; o.a[k++] += 10; trace(o.a + \" \" + k);\n"
         "var x = 5; trace(x++ + \" \" + x + \" \" + ++x + \" \" + x-- + \" \" + --x);\n"
         "var y = 7; y %= 4; y <<= 3; y >>= 1; y |= 1; y &= 13; y ^= 2; trace(y);\n"
         "var z = -16; z >>>= 28; trace(z); trace(o.v++ + o.v); var a = b = 4; trace(a + b);\n"
         "function regs(p) { var q = p; q += 2; var r = q++; var s = (p = 9); return [p, q, r, s].join(\",\"); }\n"
         "trace(regs(1));",
         {"5", "11,2 1", "5 6 7 7 5", "15", "15", "11", "8", "9,4,3,9"}},
        {"bitwise",
         "trace(~0); trace(5 & 3); trace(5 | 3); trace(5 ^ 3); trace(1 << 31); trace(-1 >>> 1); trace(-8 >> 1);",
         {"-1", "1", "7", "6", "-2147483648", "2147483647", "-4"}},
        {"delete, in, instanceof, new",
         "var d = {a: 1, b: undefined}; trace(\"a\" in d); trace(\"b\" in d); trace(\"c\" in d); trace(delete d.a);\n"
         "trace(\"a\" in d); trace(\"toString\" in d);\n"
         "var arr = new Array(1, 2, 3); trace(arr instanceof Array); trace(arr.length); trace(d instanceof Array);\n"
         "function Point(x, y) { this.x = x; this.y = y; } Point.prototype.len = function() { return this.x + this.y; };\n"
         "var p = new Point(2, 3); trace(p.len()); trace(p instanceof Point);\n"
         "var ns = {P: Point}; var p2 = new ns.P(1, 1); trace(p2.len()); var p3 = new ns[\"P\"](2, 2); trace(p3.len());\n"
         "gone = 1; delete gone; trace(typeof gone);",
         {"true", "true", "false", "true", "false", "true", "true", "3", "false", "5", "true", "2", "4",
          "undefined"}},
        {"literals of objects and arrays",
         "var lit = {name: \"n\", \"quoted key\": 2, 3: \"three\", nested: {list: [1, [2, 3]]}};\n"
         "trace(lit.name + lit[\"quoted key\"] + lit[3] + lit.nested.list[1][0]);\n"
         "var holes = [1, , 3]; trace(holes.length + \" \" + holes[1]); trace([].length + \" \" + {}.x);",
         {"n2three2", "3 undefined", "0 undefined"}},
        {"with",
         "var w = {wx: 4}; with (w) { wx = wx * 2; } trace(w.wx);\n"
         "function getW(o) { with (o) { return wx + 1; } } trace(getW(w));",
         {"8", "9"}},
        {"globals that are actions",
         "trace(chr(65) + ord(\"B\")); trace(typeof getTimer()); var r = random(5);\n"
         "trace(r >= 0 && r < 5 && r == int(r)); trace(targetPath(_root)); var ev = {name: \"found\"};\n"
         "trace(eval(\"ev\").name); trace(eval(\"ev.name\")); trace(trace(\"inner\"));",
         {"A66", "number", "true", "_level0", "found", "found", "inner", "undefined"}},
        {"scopes",
         "var o = {n: 10}; o.dyn = function(a) { var b = 2; with ({c: 3}) { return this.n + arguments.length + a + b + c; } };\n"
         "trace(o.dyn(100, 5)); o.ev = function(a) { var b = 7; return eval(\"b\") + eval(\"a\") + this.n; };\n"
         "trace(o.ev(1)); function peek() { var hidden = 4; return function() { return eval(\"hidden\"); }; }\n"
         "trace(peek()()); _global.shared = \"g\"; function readGlobal() { return shared + _global.shared; }\n"
         "trace(readGlobal()); trace(typeof _parent); trace(_root == this);\n"
         "trace(firstKey({})); // defined by an earlier action list, whose strings it keeps",
         {"117", "18", "4", "gg", "undefined", "true", "none"}},
        {"methods and this",
         "var s = \"Hello\"; trace(s.toUpperCase() + s.length + s.charAt(1) + s.indexOf(\"l\") + s.substr(1, 3));\n"
         "var objT = {n: \"obj\", get: function() { return this.n; }}; trace(objT.get()); trace(this == _root);\n"
         "var btn = {label: \"L\"}; btn.onRelease = function() { return this.label + arguments.length; };\n"
         "trace(btn.onRelease(1, 2)); function fact(n:Number):Number { return n <= 1 ? 1 : n * fact(n - 1); }\n"
         "trace(fact(10)); var typed:String = \"t\"; trace(typed);\n"
         "var fact2 = function fa(n) { return n <= 1 ? 1 : n * fa(n - 1); }; trace(fact2(5)); trace(typeof fa);\n"
         "var me2 = function me() { return function() { return typeof me; }; }; trace(me2()());",
         {"HELLO5e2ell", "obj", "true", "L2", "3628800", "t", "120", "undefined", "function"}},
    };
    // Event handlers assigned as function expressions, called by the player itself.
    const std::string finale =
        "var entered = false; var ticks = 0;\n"
        "_root.onEnterFrame = function() { entered = this == _root; delete this.onEnterFrame; };\n"
        "var id = setInterval(function() { ticks++; if (entered && ticks >= 2) { clearInterval(id);\n"
        "  trace(\"handlers \" + entered); trace(\"done\"); } }, 20);";
    PlayTable("snippets", table, finale, {"handlers true", "done"});
}

// The frame actions move the playhead: by number, by label, by a computed frame, by steps.
TEST(ActionScriptPlayer, FrameActionsMoveThePlayhead) {
    RUFFLE_OR_SKIP();
    const std::vector<std::pair<std::string, std::string>> frames = {
        {"", "trace('f1 ' + _currentframe); step = 0; stopAllSounds(); gotoAndStop(3);"},
        {"", "trace('f2 ' + step); if (step == 2) { step = 3; nextFrame(); }"},
        {"", "trace('f3 ' + step); if (step == 0) { step = 1; gotoAndPlay('five'); } else { stop(); trace('done'); }"},
        {"", "trace('f4 ' + step); if (step == 2) { var target = 1; gotoAndStop(target + 1); }"},
        {"five", "trace('f5 ' + step + ' ' + _currentframe); step = 2; play(); prevFrame();"},
        {"", "trace('f6 never');"},
    };
    std::vector<avm1::Frame> movie;
    for (const auto& [label, script] : frames) {
        auto r = swf::as::Compile(script);
        ASSERT_FALSE(r.error) << script << ": " << r.error->message;
        movie.push_back({{{r.actions}}, label});
    }
    EXPECT_EQ(RunMovie("frames", avm1::MakeSwf(movie)), (std::vector<std::string>{"f1 1", "f3 0", "f5 1 5", "f4 2", "f2 2", "f3 3", "done"}));
}

namespace {

// Evaluates each expression with Node.js and returns String(value) of each, or nothing
// when Node.js is not there.
std::optional<std::vector<std::string>> NodeValues(const std::vector<std::string>& exprs) {
    fs::path dir = fs::temp_directory_path() / ("lumacast-as-node-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string js = "const out = [];\n";
    for (const std::string& e : exprs) js += "try { out.push(String(" + e + ")); } catch (x) { out.push('ERROR'); }\n";
    js += "for (const v of out) console.log(JSON.stringify(v));\n";
    std::ofstream(dir / "eval.js") << js;
    std::string cmd = "node " + (dir / "eval.js").string() + " 2>/dev/null";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return std::nullopt;
    std::vector<std::string> values;
    std::array<char, 4096> buf;
    std::string all;
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), p)) all.append(buf.data(), n);
    int status = ::pclose(p);
    fs::remove_all(dir);
    if (status != 0) return std::nullopt;
    // Each line is a JSON string: strip the quotes and undo the escapes JSON.stringify writes
    // for the characters these expressions produce.
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        std::string line = all.substr(start, end - start);
        std::string v;
        for (std::size_t i = 1; i + 1 < line.size(); ++i) {
            char c = line[i];
            if (c == '\\' && i + 2 < line.size()) {
                c = line[++i];
                c = c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
            }
            v += c;
        }
        values.push_back(v);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return values;
}

}  // namespace

// Pure expressions: the language follows ECMAScript 3 here, so Node.js computes the
// expected value; where the Flash player's own rules differ the table says what it gives.
TEST(ActionScriptPlayer, PureExpressionsAgreeWithNode) {
    RUFFLE_OR_SKIP();
    const std::vector<std::string> exprs = {
        "1 + 2 * 3", "7 / 2", "7 % -3", "-7 % 3", "5.5 % 2", "2 - 10", "1 - -1", "2 * -0.5", "1 / 3",
        "0.1 + 0.2", "1e21", "123456789012345680000", "1.5e-7", "5 / 0", "-5 / 0", "0 / 0", "0x7FFFFFFF + 1",
        "'5' * '4'", "'5' + 4", "5 + '4'", "'a' + null", "'a' + undefined", "'a' + true", "true + 1",
        "null + 1", "undefined + 1", "'3' == 3", "'3' === 3", "null == undefined", "null == 0", "'' == 0",
        "NaN == NaN", "1 != '1'", "1 !== '1'", "1 < 2", "'10' < '9'", "'10' < 9", "'a' < 'b'", "'B' < 'a'",
        "NaN < 1", "NaN > 1", "NaN <= 1", "NaN >= 1", "undefined < 1", "2 >= 2", "~-1", "~5.7", "-1 >>> 28",
        "-1 >>> 0", "1 << 33", "-16 >> 2", "0xFF & 0x0F", "5 ^ 1", "6 | 9", "2 > 1 > 0", "!''", "!'0'",
        "!!NaN", "!null", "typeof NaN", "typeof 'x'", "typeof null", "typeof undefined", "typeof {}",
        "(1, 2)", "1 ? 'y' : 'n'", "0 || 'd'", "'[' + ('' && 'x') + ']'", "null || undefined", "1 && 2 && 3",
        "Number('12px')", "Number(' 12 ')", "Number('')", "Number('0x1A')", "Number('1e3')", "Number(null)",
        "Number(undefined)", "Number(false)", "String(1.5e-7)", "String(-0)", "String(true)", "String(null)",
        "[1, 2, 3].join('-')", "[1, [2, 3]]", "'[' + ([] + []) + ']'", "[1] == 1", "'abc'.charCodeAt(1)",
        "'abc'.length + 1", "Math.max(1, 3)", "Math.floor(-1.5)", "Math.round(2.5)", "Math.abs(-3)",
        "parseInt('0x1A')", "parseInt('12.9px')", "parseFloat('3.5abc')", "isNaN('x')", "isFinite(1 / 0)",
        "'\\u00e9'.length", "'a\\tb'", "\"it's\"", "'say \"hi\"'", "10 / 4 * 2", "2 + 3 + '4' + 5 + 6",
        "(2 + 3) * (4 - 1) % 7", "-(-3)", "+'3' + +'4'", "1 - '1'", "'6' / '2'", "3 * 'x'",
    };
    // Where the Flash player's rules differ from ECMAScript 3, what it gives and why.
    const std::map<std::string, std::string> flash = {
        {"0.1 + 0.2", "0.3"},                                   // numbers print with 15 digits
        {"1 / 3", "0.333333333333333"},                         // 15 digits
        {"123456789012345680000", "1.23456789012346e+20"},      // 15 digits, exponent past 1e15
        {"typeof null", "null"},                                // null has a type of its own
        {"'' == 0", "false"},                                   // an empty string converts to NaN
        {"Number('')", "NaN"},                                  //   (in movies of version 7 and later)
        {"Number(' 12 ')", "NaN"},                              // no blanks around a number
        {"NaN <= 1", "true"},                                   // <= and >= negate > and <, an
        {"NaN >= 1", "true"},                                   //   undefined comparison becomes true
        {"-1 >>> 0", "-1"},                                     // the player keeps the sign here
        {"null + 1", "NaN"},                                    // null converts to NaN
        {"Number(null)", "NaN"},                                //   (version 7 and later)
        {"NaN < 1", "undefined"},                               // a comparison with NaN is
        {"NaN > 1", "undefined"},                               //   undefined, not false
        {"undefined < 1", "undefined"},
        {"NaN == NaN", "true"},                                 // the player's equality
        {"[1] == 1", "false"},                                  // arrays do not convert to numbers
        {"'[' + ([] + []) + ']'", "[NaN]"},                     // + of two objects adds numbers
    };
    std::vector<std::string> scripts;
    for (const std::string& e : exprs) scripts.push_back("trace(" + e + ");");
    auto expected = NodeValues(exprs);
    if (!expected) GTEST_SKIP() << "Node.js is not available";
    ASSERT_EQ(expected->size(), exprs.size());
    auto got = Play("expressions", scripts, "trace('done');");
    for (std::size_t i = 0; i < exprs.size(); ++i) {
        auto known = flash.find(exprs[i]);
        std::string want = known != flash.end() ? known->second : (*expected)[i];
        EXPECT_EQ(got[i], std::vector<std::string>{want})
            << exprs[i] << (known != flash.end() ? " (Flash rule; Node.js gives " + (*expected)[i] + ")" : "");
    }
    for (const auto& [expr, value] : flash)
        EXPECT_NE(std::find(exprs.begin(), exprs.end(), expr), exprs.end()) << expr;
}

// The texts the player maker generates, joined as the player script is (template, playlist,
// set-up, caller, a newline between each two), run against a stub template whose
// functions trace the type and value of every argument they get.
TEST(ActionScriptPlayer, GeneratedPlayerScriptsRun) {
    RUFFLE_OR_SKIP();
    const std::string stubTemplate =
        "var playTeam = []; framerate = VideoUrl = VideoClickurl = VideoClicktarget = undefined;\n"
        "function show(name, args) { var parts = [];\n"
        "  for (var i = 0; i < args.length; i++) parts.push(typeof args[i] + \":\" + args[i]);\n"
        "  trace(name + \"(\" + parts.join(\",\") + \")\"); }\n"
        "function add_play() { show(\"add_play\", arguments); playTeam.push(arguments); }\n"
        "function add_advert() { show(\"add_advert\", arguments); }\n"
        "function loadxml() { show(\"loadxml\", arguments); }\n"
        "function initPlayerStage() { show(\"initPlayerStage\", arguments); }\n"
        "function initPlayerComponent() { show(\"initPlayerComponent\", arguments); }\n"
        "function initAutoHide() { show(\"initAutoHide\", arguments); }\n"
        "function init() { trace(\"init \" + framerate + \" \" + VideoUrl + \" \" + VideoClickurl + \" \" + VideoClicktarget); }\n";
    const std::string caller =
        "initPlayer();\ninitPlayList();\n"
        "trace([btn_Interval, maxPlayTime, margins, BufferTime, autoplay, typeof autoplay].join(\" \"));\n";
    const std::string setup =
        "function initPlayer() {\n\tinitPlayerStage(2, 340, 255);\n"
        "\tinitPlayerComponent(true, true, true, false, true, true, true, true, true);\n"
        "\tinitAutoHide(true, true, false, 3000);\n"
        "\tbtn_Interval = 0;\n\tmaxPlayTime = 4;\n\tmargins = 0;\n\tBufferTime=10;\n\tautoplay=false;\n\n}";
    const std::string setupTraces[] = {
        "initPlayerStage(number:2,number:340,number:255)",
        "initPlayerComponent(boolean:true,boolean:true,boolean:true,boolean:false,boolean:true,boolean:true,"
        "boolean:true,boolean:true,boolean:true)",
        "initAutoHide(boolean:true,boolean:true,boolean:false,number:3000)"};
    auto assemble = [&](const std::string& playlist) {
        return stubTemplate + "\n" + playlist + "\n" + setup + "\n" + caller;
    };
    const std::string link = "http://example.com/?a=1&b=\\\"2\\\"";
    const std::string progressive =
        "function initPlayList() {\n"
        "\n\tadd_play(\"Say \\\"hi\\\" \\\\ now\",\"clip 1.flv\",\"thumb.jpg\",\"" + link + "\",\"_blank\");"
        "\n\tadd_advert(1,\"00:00:00:000\",\"01:02:05:000\",\"txt\",\"Caf\xC3\xA9\\tbar\\x01\",\"" + link +
        "\",\"_blank\", 0,1,1,\"\",10,-20,320,40,12,\"arial.ttf\",0xff0010);"
        "\n\tadd_play(\"\xE6\x97\xA5\xE6\x9C\xAC\",\"b.flv\",\"b.jpg\",\"" + link + "\",\"_blank\");"
        "\n\tadd_advert(2,\"00:00:00:000\",\"01:02:05:000\",\"img\",\"logo.png\",\"" + link +
        "\",\"_blank\", -3,1,1,\"\",-1,-2,0,0,0,\"\",0x2c0000);"
        "\n\tVideoUrl=playTeam[0][1];\n\tVideoClickurl=playTeam[0][3];\n\tVideoClicktarget=playTeam[0][4];\n\tinit();\n}\n";
    const std::string shownLink = "string:http://example.com/?a=1&b=\"2\"";
    const std::vector<Snippet> table = {
        {"embedded, 25 frames a second", assemble("function initPlayList() {\n\tframerate=25.00;\n\tinit();\n}\n"),
         {setupTraces[0], setupTraces[1], setupTraces[2], "init 25 undefined undefined undefined",
          "0 4 0 10 false boolean"}},
        {"embedded, 29.97 frames a second", assemble("function initPlayList() {\n\tframerate=29.97;\n\tinit();\n}\n"),
         {setupTraces[0], setupTraces[1], setupTraces[2], "init 29.97 undefined undefined undefined",
          "0 4 0 10 false boolean"}},
        {"playlist from a file", assemble("function initPlayList() {\n\tloadxml(\"medialist.xml\");\n}\n"),
         {setupTraces[0], setupTraces[1], setupTraces[2], "loadxml(string:medialist.xml)", "0 4 0 10 false boolean"}},
        {"progressive playlist with overlay", assemble(progressive),
         {setupTraces[0], setupTraces[1], setupTraces[2],
          "add_play(string:Say \"hi\" \\ now,string:clip 1.flv,string:thumb.jpg," + shownLink + ",string:_blank)",
          "add_advert(number:1,string:00:00:00:000,string:01:02:05:000,string:txt,string:Caf\xC3\xA9\tbar\x01," +
              shownLink + ",string:_blank,number:0,number:1,number:1,string:,number:10,number:-20,number:320,"
              "number:40,number:12,string:arial.ttf,number:16711696)",
          "add_play(string:\xE6\x97\xA5\xE6\x9C\xAC,string:b.flv,string:b.jpg," + shownLink + ",string:_blank)",
          "add_advert(number:2,string:00:00:00:000,string:01:02:05:000,string:img,string:logo.png," + shownLink +
              ",string:_blank,number:-3,number:1,number:1,string:,number:-1,number:-2,number:0,number:0,number:0,"
              "string:,number:2883584)",
          "init undefined clip 1.flv http://example.com/?a=1&b=\"2\" _blank", "0 4 0 10 false boolean"}},
        {"progressive playlist without entries",
         assemble("function initPlayList() {\n\n\tVideoUrl=playTeam[0][1];\n\tVideoClickurl=playTeam[0][3];\n"
                  "\tVideoClicktarget=playTeam[0][4];\n\tinit();\n}\n"),
         {setupTraces[0], setupTraces[1], setupTraces[2], "init undefined undefined undefined undefined",
          "0 4 0 10 false boolean"}},
    };
    PlayTable("generated", table, "trace('done');", {"done"});

    // A picture button's press action opens its link.
    auto press = swf::as::Compile("getURL(\"" + link + "\", \"_blank\");");
    ASSERT_FALSE(press.error) << press.error->message;
    EXPECT_EQ(avm1::Read(press.actions).Text(), "getURL 'http://example.com/?a=1&b=\"2\"' '_blank'\n");
}
