// Loading a skin file into a file theme, against the least that load must do: reading the
// archive, inflating its entry with zlib, checking its CRC and decoding the same bitmaps.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/graphics/resources.h"
#include "skinctrl/dvxfiletheme.h"
#include "skinctrl/dvxtheme.h"

namespace fs = std::filesystem;

namespace {

struct Fixture {
    fs::path archive;
    std::vector<std::pair<std::size_t, std::size_t>> bitmaps;  // value ranges in the record data
};

std::string ReadAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A skin of the built-in DeepBlue and BlueGlass pictures, a few numbers and flags.
const Fixture& Skin() {
    static const Fixture fixture = [] {
        Fixture f;
        fs::path dir = fs::temp_directory_path() / "lumacast-theme-bench";
        fs::create_directories(dir);
        skinctrl::EnsureStyleResources();
        std::string records = "{\"records\":[";
        const char* names[] = {"BUTTON", "CHECKBOX", "RADIOBUTTON", "TITLEBTN", "TITLE_LEFT", "TITLE_CLIENT",
                               "TITLE_RIGHT", "TRACKBAR_BAR", "TRACKBAR_SLIDER", "SCROLLBAR_BUTTON",
                               "SCROLLBAR_TRACK", "PROGRESSBAR"};
        int n = 0;
        for (const char* style : {"DEEPBLUE_", "BLUEGLASS_"})
            for (const char* name : names) {
                auto res = platform::LoadResourceData(std::string(style) + name, platform::RT_BITMAP);
                fs::path bmp = dir / (std::to_string(n) + ".bmp");
                std::ofstream(bmp, std::ios::binary).write(reinterpret_cast<const char*>(res.data), std::streamsize(res.size));
                records += "{\"name\":\"P" + std::to_string(n++) + "\",\"type\":0,\"value\":{\"file\":\"" + bmp.string() + "\"}},";
            }
        for (int i = 0; i < 40; ++i) records += "{\"name\":\"I" + std::to_string(i) + "\",\"type\":1,\"value\":{\"int\":" + std::to_string(i) + "}},";
        records += "{\"name\":\"E\"}]}";
        std::string script = std::string(std::getenv("LUMACAST_SOURCE_DIR") ? std::getenv("LUMACAST_SOURCE_DIR") : ".") +
                             "/tests/skinctrl/make_skin.py";
        fs::path sk2 = dir / "skin.sk2";
        f.archive = dir / "skin.vxk";
        std::string cmd = "python3 '" + script + "' sk2 '" + sk2.string() + "' '" + records + "' && python3 '" + script +
                          "' vxk '" + f.archive.string() + "' '" + sk2.string() + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        // Where the bitmaps lie in the record data: records follow the 24-byte header.
        std::string data = ReadAll(sk2);
        auto u32 = [&](std::size_t at) {
            return std::size_t(std::uint8_t(data[at])) | (std::size_t(std::uint8_t(data[at + 1])) << 8) |
                   (std::size_t(std::uint8_t(data[at + 2])) << 16) | (std::size_t(std::uint8_t(data[at + 3])) << 24);
        };
        for (int i = 0; i < n; ++i) {
            std::size_t rec = 24 + std::size_t(i) * 77;
            f.bitmaps.emplace_back(u32(rec + 65), u32(rec + 69));
        }
        return f;
    }();
    return fixture;
}

void BM_ThemeLoad(benchmark::State& state) {
    const Fixture& f = Skin();
    for (auto _ : state) {
        skinctrl::TdvxFileThemeMgr mgr;
        if (!mgr.LoadFromFile(f.archive.string(), "")) state.SkipWithError("the skin did not load");
        benchmark::DoNotOptimize(mgr.GetBitmap(skinctrl::SKIN2_BUTTON));
    }
}
BENCHMARK(BM_ThemeLoad);

void BM_ZlibAndDecodes(benchmark::State& state) {
    const Fixture& f = Skin();
    for (auto _ : state) {
        std::string file = ReadAll(f.archive);
        auto u16 = [&](std::size_t at) { return std::size_t(std::uint8_t(file[at])) | (std::size_t(std::uint8_t(file[at + 1])) << 8); };
        auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
        std::size_t compressed = u32(18), size = u32(22), start = 30 + u16(26) + u16(28);
        std::vector<std::uint8_t> out(size);
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = reinterpret_cast<Bytef*>(file.data() + start);
        z.avail_in = uInt(compressed);
        z.next_out = out.data();
        z.avail_out = uInt(size);
        inflate(&z, Z_FINISH);
        inflateEnd(&z);
        benchmark::DoNotOptimize(crc32(0, out.data(), uInt(size)));
        for (auto [pos, len] : f.bitmaps) {
            platform::TBitmap b;
            b.LoadFromBytes(out.data() + pos, len);
            benchmark::DoNotOptimize(b.Width());
        }
    }
}
BENCHMARK(BM_ZlibAndDecodes);

}  // namespace
