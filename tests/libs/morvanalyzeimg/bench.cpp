// Opening a skin document and reading every item, against pugixml parsing the same file.
// Each round opens a document the reader has not seen (a comment changes), so the reader
// parses it rather than reusing an earlier parse.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "libs/morvanalyzeimg/morvanalyzeimg.h"

namespace fs = std::filesystem;

namespace {

struct Skin {
    std::string text;
    std::vector<std::pair<std::string, std::vector<std::string>>> names;  // sections and their items
    fs::path path;
};

const Skin& Default() {
    static const Skin skin = [] {
        Skin s;
        fs::path source = fs::path(std::getenv("LUMACAST_SOURCE_DIR") ? std::getenv("LUMACAST_SOURCE_DIR") : ".") /
                          "assets/Images/DefaultImage.xml";
        std::ifstream f(source, std::ios::binary);
        s.text.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        pugi::xml_document doc;
        doc.load_string(s.text.c_str());
        for (auto section : doc.child("skin").children("section")) {
            s.names.emplace_back(section.attribute("name").value(), std::vector<std::string>{});
            for (auto item : section.children("item")) s.names.back().second.push_back(item.attribute("name").value());
        }
        // Memory-backed when the system has it, so the disk's write-back does not time in.
        fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        s.path = base / "lumacast-skin-bench";
        fs::create_directories(s.path / "DefaultImage");
        s.path /= "DefaultImage.xml";
        return s;
    }();
    return skin;
}

void WriteRound(const Skin& s, std::int64_t round) {
    std::ofstream(s.path, std::ios::binary | std::ios::trunc) << s.text << "<!-- " << round << " -->\n";
}

void BM_OpenAndReadEveryItem(benchmark::State& state) {
    const Skin& s = Default();
    std::int64_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WriteRound(s, ++round);
        state.ResumeTiming();
        if (OpenSkinDocument(s.path.c_str()) != 0) state.SkipWithError(GetSkinLastError());
        for (const auto& [section, items] : s.names) {
            SkinSectionHandle h = GetSkinSection(section.c_str());
            for (const auto& item : items) benchmark::DoNotOptimize(GetSkinItem(h, item.c_str())->Left);
        }
    }
}
// Every round keeps its parse (handles into it stay valid): a fixed number of rounds.
BENCHMARK(BM_OpenAndReadEveryItem)->Iterations(2000);

void BM_PugixmlParse(benchmark::State& state) {
    const Skin& s = Default();
    std::int64_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WriteRound(s, ++round);
        state.ResumeTiming();
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(s.path.c_str()));
    }
}
BENCHMARK(BM_PugixmlParse)->Iterations(2000);

}  // namespace
