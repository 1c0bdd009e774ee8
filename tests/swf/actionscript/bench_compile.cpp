// Compile time of player-sized scripts: 5,000 and 50,000 lines of typical template code.
#include <benchmark/benchmark.h>

#include <string>

#include "swf/actionscript/compiler.h"

namespace {

// Ten-line functions mixing locals, closures, loops, member access, strings and calls.
std::string Script(int lines) {
    std::string s;
    int n = 0;
    while (n + 10 <= lines) {
        std::string i = std::to_string(n);
        s += "function handler" + i + "(clip, value:Number) {\n"
             "\tvar total = 0, label = \"item \" + value;\n"
             "\tfor (var k = 0; k < clip.items.length; k++) {\n"
             "\t\tif (clip.items[k].visible && k % 2 == 0) total += clip.items[k]._width * 0.5;\n"
             "\t}\n"
             "\tclip.onRelease = function() { getURL(this.link + \"?v=" + i + "\", \"_blank\"); };\n"
             "\tswitch (value) { case 1: label += \"a\"; break; default: label = String(total); }\n"
             "\ttrace(label + \": \" + total);\n"
             "\treturn {name: label, sum: total, list: [1, 2, value]};\n"
             "}\n";
        n += 10;
    }
    return s;
}

void BM_Compile(benchmark::State& state) {
    std::string source = Script(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto result = swf::as::Compile(source);
        if (result.error) state.SkipWithError(result.error->message.c_str());
        bytes = result.actions.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["lines"] = static_cast<double>(state.range(0));
    state.counters["actionBytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

}  // namespace

BENCHMARK(BM_Compile)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
