#include "skinctrl/sk2reader.h"

#include <algorithm>
#include <set>

#include "platform/core/sysutils.h"
#include "skinctrl/skinarchive.h"

namespace skinctrl {

using namespace platform;

namespace {

constexpr std::size_t kHeaderSize = 24;
constexpr std::size_t kRecordSize = 77;
constexpr std::size_t kNameSize = 64;

std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

// The pixel count a BMP value announces in its header, or 0 when the header cannot be
// read (the decoder then says what is wrong with it).
std::uint64_t AnnouncedPixels(const std::uint8_t* data, std::size_t size) {
    std::size_t base = size >= 2 && data[0] == 'B' && data[1] == 'M' ? 14 : 0;
    if (size < base + 12) return 0;
    const std::uint32_t headerSize = U32(data + base);
    std::int64_t width, height;
    if (headerSize == 12) {
        width = data[base + 4] | (data[base + 5] << 8);
        height = std::int16_t(data[base + 6] | (data[base + 7] << 8));
    } else {
        if (size < base + 16) return 0;
        width = std::int32_t(U32(data + base + 4));
        height = std::int32_t(U32(data + base + 8));
    }
    if (height < 0) height = -height;
    return width > 0 && height > 0 ? std::uint64_t(width) * std::uint64_t(height) : 0;
}

}  // namespace

Tsk2SkinFileReader::Tsk2SkinFileReader(const std::string& fileName, const std::string& password) {
    Load(fileName, password);
}

void Tsk2SkinFileReader::Clear() {
    bitmaps_.clear();
    integers_.clear();
    bools_.clear();
    strings_.clear();
    loaded_ = false;
}

void Tsk2SkinFileReader::Load(const std::string& fileName, const std::string& password) {
    Clear();
    // The entry is read straight into memory: no copy of a possibly password-protected skin
    // ever lands on disk.
    std::vector<std::uint8_t> data;
    switch (ExtractEntryData(fileName, SK2_ENTRY_NAME, password, data)) {
        case TExtractResult::NotReadable: throw Exception(SK2_READ_ERROR);
        case TExtractResult::QuietlyNotLoaded: return;
        case TExtractResult::Extracted: break;
    }
    LoadFromData(data.data(), data.size());
}

bool Tsk2SkinFileReader::LoadFromData(const std::uint8_t* data, std::size_t size) {
    Clear();
    peakPixels_ = 0;
    std::uint64_t pixels = 0;  // what the bitmaps kept so far decoded to
    auto tooLarge = [this] {
        Clear();
        throw Exception(SK2_PIXELS_ERROR + std::string(" (more than ") + std::to_string(kMaxSkinPixels) +
                        " pixels in all)");
    };
    auto inside = [size](std::uint64_t pos, std::uint64_t len) { return pos <= size && len <= size - pos; };
    auto fail = [this] {
        Clear();
        return false;
    };
    if (!data || size < kHeaderSize) return fail();
    std::uint32_t headerLength = U32(data + 12);
    if (headerLength < kHeaderSize || headerLength > size) return fail();
    std::uint64_t pos = U32(data + 20);
    // Every record sits at its own position: a position seen before is a cycle.
    std::set<std::uint64_t> seen;
    constexpr std::size_t kMaxRecords = 100000;
    for (;;) {
        if (!inside(pos, kRecordSize) || seen.size() >= kMaxRecords || !seen.insert(pos).second) return fail();
        const std::uint8_t* rec = data + pos;
        std::size_t nameLength = 0;
        while (nameLength < kNameSize && rec[nameLength]) ++nameLength;
        std::string name(reinterpret_cast<const char*>(rec), nameLength);
        std::uint8_t type = rec[64];
        std::uint64_t valuePos = U32(rec + 65), valueLength = U32(rec + 69), next = U32(rec + 73);
        if (next == 0) break;
        switch (type) {
            case 0: {
                if (!inside(valuePos, valueLength)) return fail();
                // Checked before decoding, so that a skin past the budget never holds more.
                const std::uint64_t announced = AnnouncedPixels(data + valuePos, std::size_t(valueLength));
                if (announced > kMaxSkinPixels - pixels) tooLarge();
                auto bitmap = std::make_unique<TBitmap>();
                try {
                    bitmap->LoadFromBytes(data + valuePos, std::size_t(valueLength));
                } catch (...) {
                    Clear();
                    throw;
                }
                const std::uint64_t decoded = std::uint64_t(bitmap->Width()) * std::uint64_t(bitmap->Height());
                peakPixels_ = std::max(peakPixels_, pixels + decoded);
                if (decoded > kMaxSkinPixels - pixels) tooLarge();
                pixels += decoded;
                bitmaps_.emplace_back(name, std::move(bitmap));
                break;
            }
            case 1:
                if (valueLength != 4) break;  // only 32-bit integers are read
                if (!inside(valuePos, 4)) return fail();
                integers_.emplace_back(name, IntToStr(std::int32_t(U32(data + valuePos))));
                break;
            case 2:
                if (valueLength != 1) break;  // only one-byte flags are read
                if (!inside(valuePos, 1)) return fail();
                bools_.emplace_back(name, IntToStr(data[valuePos]));
                break;
            case 3:
                if (!inside(valuePos, valueLength)) return fail();
                strings_.emplace_back(name, std::string(reinterpret_cast<const char*>(data + valuePos),
                                                        std::size_t(valueLength)));
                break;
            default:
                break;
        }
        pos = next;
    }
    loaded_ = true;
    return true;
}

const std::string* Tsk2SkinFileReader::Find(const std::vector<Line>& lines, const std::string& name) {
    for (const Line& l : lines)
        if (SameText(l.first, name)) return &l.second;
    return nullptr;
}

void Tsk2SkinFileReader::Put(std::vector<Line>& lines, const std::string& name, const std::string& value) {
    for (Line& l : lines)
        if (SameText(l.first, name)) {
            l.second = value;
            return;
        }
    lines.emplace_back(name, value);
}

TBitmap* Tsk2SkinFileReader::GetBitmap(const std::string& name) const {
    for (const auto& [n, b] : bitmaps_)
        if (SameText(n, name)) return b.get();
    return nullptr;
}

int Tsk2SkinFileReader::GetInteger(const std::string& name) const {
    const std::string* v = Find(integers_, name);
    int value;
    return (v && TryStrToInt(*v, value)) ? value : -1;
}

bool Tsk2SkinFileReader::GetBool(const std::string& name) const {
    const std::string* v = Find(bools_, name);
    int value;
    return v && TryStrToInt(*v, value) && (value & 0xFF) != 0;
}

std::string Tsk2SkinFileReader::GetStr(const std::string& name) const {
    const std::string* v = Find(strings_, name);
    return v ? *v : std::string();
}

void Tsk2SkinFileReader::SetBitmap(const std::string& name, TBitmap* bitmap) {
    if (TBitmap* own = GetBitmap(name)) own->Assign(bitmap);
}

void Tsk2SkinFileReader::SetInteger(const std::string& name, int value) { Put(integers_, name, IntToStr(value)); }

void Tsk2SkinFileReader::SetBool(const std::string& name, bool value) { Put(bools_, name, value ? "1" : "0"); }

void Tsk2SkinFileReader::ProcessTransparentColor(TColor colour) {
    for (auto& entry : bitmaps_) {
        entry.second->SetTransparentMode(tmFixed);
        entry.second->SetTransparentColor(colour);
    }
}

}  // namespace skinctrl
