#include "libs/morvdvdread/ifo.h"

#include <algorithm>
#include <cstring>

namespace morvdvdread {
namespace {

constexpr uint64_t kSector = 2048;
constexpr size_t kMaxPartsPerTitle = 99;  // chapters a title can have

// Big-endian fields of a file, read only inside its bounds.
class Fields {
public:
    explicit Fields(const std::vector<uint8_t>& bytes) : b_(bytes) {}
    bool Has(uint64_t at, uint64_t n) const { return at <= b_.size() && n <= b_.size() - at; }
    uint64_t Size() const { return b_.size(); }
    uint8_t U8(uint64_t at) const { return Has(at, 1) ? b_[at] : 0; }
    uint16_t U16(uint64_t at) const { return static_cast<uint16_t>(U8(at) << 8 | U8(at + 1)); }
    uint32_t U32(uint64_t at) const { return static_cast<uint32_t>(U16(at)) << 16 | U16(at + 2); }
    bool StartsWith(const char* magic) const {
        const size_t n = std::strlen(magic);
        return Has(0, n) && std::memcmp(b_.data(), magic, n) == 0;
    }

private:
    const std::vector<uint8_t>& b_;
};

// Entries of `size` bytes after an 8-byte table header at `table`: the count the
// header gives, cut to what the file holds.
uint64_t EntriesThatFit(const Fields& f, uint64_t table, uint64_t declared, uint64_t size) {
    return std::min(declared, (f.Size() - table - 8) / size);
}

std::optional<Chain> ParseChain(const Fields& f, uint64_t at) {
    if (!f.Has(at, 0xEC)) return std::nullopt;
    Chain chain;
    const uint8_t programs = f.U8(at + 2), cells = f.U8(at + 3);
    for (int i = 0; i < 16; ++i) chain.palette[i] = f.U32(at + 0xA4 + 4 * i);
    const uint64_t map = at + f.U16(at + 0xE6), playback = at + f.U16(at + 0xE8);
    if (programs > 0) {
        if (map == at || !f.Has(map, programs)) return std::nullopt;
        for (int i = 0; i < programs; ++i) chain.programMap.push_back(f.U8(map + i));
    }
    if (cells > 0) {
        if (playback == at || !f.Has(playback, 24ull * cells)) return std::nullopt;
        for (int i = 0; i < cells; ++i) {
            const uint64_t c = playback + 24ull * i;
            Cell cell;
            cell.blockMode = f.U8(c) >> 6;
            cell.blockType = (f.U8(c) >> 4) & 3;
            cell.time = {f.U8(c + 4), f.U8(c + 5), f.U8(c + 6), f.U8(c + 7)};
            chain.cells.push_back(cell);
        }
    }
    return chain;
}

// The parts (chapters) of every title of a title set; nullopt for a title whose entry
// lies outside the table.
std::vector<std::optional<std::vector<Part>>> ParseParts(const Fields& f, uint64_t table) {
    std::vector<std::optional<std::vector<Part>>> titles;
    const uint64_t count = EntriesThatFit(f, table, f.U16(table), 4);
    const uint64_t end = std::min<uint64_t>(f.Size(), table + uint64_t{f.U32(table + 4)} + 1);
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t start = table + f.U32(table + 8 + 4 * i);
        const uint64_t stop = i + 1 < count ? table + f.U32(table + 8 + 4 * (i + 1)) : end;
        if (start < table + 8 || stop < start || stop > end) {
            titles.emplace_back(std::nullopt);
            continue;
        }
        std::vector<Part> parts;
        for (uint64_t p = start; p + 4 <= stop && parts.size() < kMaxPartsPerTitle; p += 4)
            parts.push_back({f.U16(p), f.U16(p + 2)});
        titles.emplace_back(std::move(parts));
    }
    return titles;
}

}  // namespace

std::optional<VideoManager> ParseVideoManager(const std::vector<uint8_t>& file) {
    const Fields f(file);
    if (!f.Has(0, 0x100) || !f.StartsWith("DVDVIDEO-VMG")) return std::nullopt;
    VideoManager vm;
    vm.titleSets = f.U16(0x3E);
    const uint64_t table = f.U32(0xC4) * kSector;
    if (table == 0 || !f.Has(table, 8)) return std::nullopt;
    const uint64_t declared = f.U16(table);
    const uint64_t count = EntriesThatFit(f, table, declared, 12);
    vm.titleTableCut = count < declared;
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t at = table + 8 + 12 * i;
        vm.titles.push_back({f.U16(at + 2), f.U8(at + 6), f.U8(at + 7)});
    }
    return vm;
}

std::optional<TitleSetInfo> ParseTitleSet(const std::vector<uint8_t>& file) {
    const Fields f(file);
    if (!f.Has(0, 0x400) || !f.StartsWith("DVDVIDEO-VTS")) return std::nullopt;
    TitleSetInfo ts;
    ts.declaredAudio = f.U8(0x203);
    for (int i = 0; i < 8; ++i) {
        const uint64_t at = 0x204 + 8 * i;
        AudioAttributes& a = ts.audio[i];
        a.format = f.U8(at) >> 5;
        a.languageType = (f.U8(at) >> 2) & 3;
        a.frequency = (f.U8(at + 1) >> 4) & 3;
        a.channels = f.U8(at + 1) & 7;
        a.language = f.U16(at + 2);
        a.codeExtension = f.U8(at + 5);
    }
    ts.declaredSubtitles = f.U8(0x255);
    for (int i = 0; i < 32; ++i) {
        const uint64_t at = 0x256 + 6 * i;
        ts.subtitles[i] = {static_cast<uint8_t>(f.U8(at) & 3), f.U8(at + 5), f.U16(at + 2)};
    }
    const uint64_t parts = f.U32(0xC8) * kSector, chains = f.U32(0xCC) * kSector;
    if (parts == 0 || !f.Has(parts, 8) || chains == 0 || !f.Has(chains, 8)) return std::nullopt;
    ts.titles = ParseParts(f, parts);
    const uint64_t count = EntriesThatFit(f, chains, f.U16(chains), 8);
    for (uint64_t i = 0; i < count; ++i) ts.chains.push_back(ParseChain(f, chains + f.U32(chains + 8 + 8 * i + 4)));
    return ts;
}

}  // namespace morvdvdread
