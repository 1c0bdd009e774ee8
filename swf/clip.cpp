// Prebuilt clips: a SWF file read whole, its definitions carried into the movie under new
// character ids and its main timeline wrapped into a sprite. Every place that holds a
// character id is found while reading, so that writing only patches those places.
#include <algorithm>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <unordered_map>

#include "swf/internal/objects.h"
#include "swf/internal/tags.h"

namespace swf::detail {

// A tag of the clip: its body is a slice of the clip's data, never a copy of it.
struct ClipTag {
    explicit ClipTag(unsigned c, std::uint32_t bodyAt = 0, std::uint32_t bodySize = 0)
        : code(c), at(bodyAt), size(bodySize) {}
    unsigned code;
    std::uint32_t at = 0, size = 0;   // the body within ClipData::data
    bool defines = false;             // the first two bytes are the id this tag defines
    std::vector<std::uint32_t> refs;  // offsets of ids this tag refers to
    // DefineBits carried as DefineBitsJPEG2: the clip's JPEGTables go between its id and
    // its picture data, shared by every picture rather than copied into each.
    bool withTables = false;
    std::uint32_t tablesAt = 0, tablesSize = 0;
};

struct ClipData {
    Bytes data;                     // the uncompressed file after its header
    std::vector<ClipTag> defs;      // written into the movie, in file order
    std::vector<ClipTag> timeline;  // the main timeline's control tags, ShowFrame included
    std::uint32_t frames = 0;
    std::unordered_map<std::uint16_t, std::uint16_t> ids;  // while writing: old id -> new id
};

namespace {

// Skins, effects and preloaders are small: a clip is bounded in what it may cost to read
// and to carry into a movie, whatever its compressed size claims.
constexpr size_t kMaxClipFile = 8u << 20;    // the file, uncompressed
constexpr size_t kMaxClipTags = 1u << 18;    // tags at every level, sprites' included
constexpr size_t kMaxClipTables = 8u << 20;  // JPEG tables repeated in front of pictures
constexpr std::uint32_t kMaxClipFrames = 65535;

// Tags of the main timeline or of a sprite.
bool IsControl(unsigned code) {
    switch (code) {
        case tag::ShowFrame: case tag::PlaceObject: case tag::RemoveObject: case tag::DoAction:
        case tag::StartSound: case tag::StopSound: case tag::SoundStreamHead:
        case tag::SoundStreamBlock: case tag::PlaceObject2: case tag::RemoveObject2:
        case tag::FrameLabel: case tag::SoundStreamHead2: case tag::VideoFrame:
        case tag::PlaceObject3:
            return true;
        default:
            return false;
    }
}

// Tags of whole-file settings that a clip leaves behind (none holds an id that matters).
bool IsDropped(unsigned code) {
    switch (code) {
        case tag::SetBackgroundColor: case tag::Protect: case tag::NameCharacter:
        case tag::ProductInfo: case tag::EnableDebugger: case tag::DebugId:
        case tag::EnableDebugger2: case tag::ScriptLimits: case tag::SetTabIndex:
        case tag::FileAttributes:
        case tag::Metadata:
            return true;
        default:
            return false;
    }
}

class ClipReader {
public:
    explicit ClipReader(std::string name) : name_(std::move(name)) {}

    ClipData Read(const std::uint8_t* data, size_t size) {
        if (size < 8) Fail("too short for a SWF file");
        ClipData clip;
        const std::uint8_t* body = data + 8;
        size_t bodySize = size - 8;
        std::uint32_t declared = data[4] | (data[5] << 8) | (data[6] << 16) | (std::uint32_t{data[7]} << 24);
        if (data[0] == 'C' && data[1] == 'W' && data[2] == 'S') {
            if (declared < 8) Fail("damaged header");
            if (declared > kMaxClipFile) Fail(TooLarge(declared));
            clip.data = Inflate(body, bodySize, declared - 8);
        } else if (data[0] == 'Z' && data[1] == 'W' && data[2] == 'S') {
            Fail("LZMA-compressed SWF files are not supported");
        } else if (!(data[0] == 'F' && data[1] == 'W' && data[2] == 'S')) {
            Fail("not a SWF file");
        } else {
            if (size > kMaxClipFile) Fail(TooLarge(size));
            clip.data.assign(body, body + bodySize);
        }
        data_ = clip.data.data();
        Reader r(clip.data);
        r.Rect();
        r.U16();  // frame rate
        r.U16();  // frame count
        ReadTags(r, clip, nullptr);
        if (clip.frames == 0 || (!clip.timeline.empty() && clip.timeline.back().code != tag::ShowFrame)) {
            if (clip.frames == kMaxClipFrames) Fail(TooManyFrames());
            clip.timeline.emplace_back(tag::ShowFrame);
            ++clip.frames;
        }
        return clip;
    }

private:
    [[noreturn]] void Fail(const std::string& why) { Throw(name_ + ": " + why); }

    static std::string TooLarge(size_t bytes) {
        return "too large for a clip (" + std::to_string(bytes) + " bytes uncompressed, at most " +
               std::to_string(kMaxClipFile) + ")";
    }
    static std::string TooManyFrames() {
        return "more than " + std::to_string(kMaxClipFrames) + " frames";
    }

    // Inflates at most what the header declares (a bounded size, so made room for at once).
    Bytes Inflate(const std::uint8_t* p, size_t n, std::uint32_t expected) {
        Bytes out(expected);
        z_stream z{};
        if (inflateInit(&z) != Z_OK) Fail("cannot start decompression");
        z.next_in = const_cast<Bytef*>(p);
        z.avail_in = static_cast<uInt>(std::min<size_t>(n, 0xFFFFFFFFu));
        z.next_out = out.data();
        z.avail_out = expected;
        int rc = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        // Data that ends early or goes on past the declared size is read as far as it goes.
        if (rc != Z_STREAM_END && rc != Z_BUF_ERROR) Fail("damaged compressed data");
        out.resize(expected - z.avail_out);
        return out;
    }

    void Define(std::uint16_t id) {
        if (!defined_.insert(id).second) Fail("defines character " + std::to_string(id) + " twice");
    }

    void Ref(ClipTag& t, size_t offset, std::uint16_t id) {
        if (!defined_.count(id))
            Fail("refers to character " + std::to_string(id) + " before defining it");
        t.refs.push_back(static_cast<std::uint32_t>(offset));
    }

    // An id field read at the reader's position (offset within the tag body `base` + pos).
    void RefHere(ClipTag& t, Reader& r, size_t base) {
        size_t at = base + r.pos();
        Ref(t, at, static_cast<std::uint16_t>(r.U16()));
    }

    // Tags up to End (or the data's end) of the main timeline (sprite null) or of a sprite
    // whose tag body starts at `base` in `sprite`.
    void ReadTags(Reader& r, ClipData& clip, ClipTag* sprite, size_t base = 0) {
        while (!r.done()) {
            if (++tags_ > kMaxClipTags) Fail("more than " + std::to_string(kMaxClipTags) + " tags");
            unsigned head = r.U16();
            unsigned code = head >> 6;
            size_t len = head & 0x3F;
            if (len == 0x3F) len = r.U32();
            if (len > r.left()) Fail("a tag runs past the end of the file");
            size_t start = r.pos();
            const std::uint8_t* p = r.Take(len);
            if (code == tag::End) return;
            if (sprite) {
                if (!IsControl(code)) {
                    if (IsDropped(code)) continue;
                    Fail("tag " + std::to_string(code) + " inside a sprite");
                }
                ClipTag t(code);
                Reader tr(p, len);
                Control(t, tr, base + start);
                sprite->refs.insert(sprite->refs.end(), t.refs.begin(), t.refs.end());
                continue;
            }
            ClipTag t(code, static_cast<std::uint32_t>(p - data_), static_cast<std::uint32_t>(len));
            Reader tr(p, len);
            if (IsControl(code)) {
                Control(t, tr, 0);
                if (code == tag::ShowFrame && ++clip.frames > kMaxClipFrames) Fail(TooManyFrames());
                clip.timeline.push_back(std::move(t));
            } else if (IsDropped(code)) {
                if (code == tag::FileAttributes && len >= 1 && (p[0] & 0x08))
                    Fail("ActionScript 3 clips are not supported");
            } else {
                Definition(t, tr, clip);
            }
        }
    }

    void Control(ClipTag& t, Reader& r, size_t base) {
        switch (t.code) {
            case tag::PlaceObject:
            case tag::RemoveObject:
            case tag::StartSound:
            case tag::VideoFrame:
                RefHere(t, r, base);
                break;
            case tag::PlaceObject2: {
                unsigned flags = r.U8();
                r.U16();
                if (flags & 0x02) RefHere(t, r, base);
                break;
            }
            case tag::PlaceObject3: {
                unsigned flags = r.U8(), flags2 = r.U8();
                r.U16();
                if ((flags2 & 0x08) || ((flags2 & 0x10) && (flags & 0x02))) r.CString();
                if (flags & 0x02) RefHere(t, r, base);
                break;
            }
            default:
                break;
        }
    }

    void Definition(ClipTag& t, Reader& r, ClipData& clip) {
        auto own = [&] {
            t.defines = true;
            Define(static_cast<std::uint16_t>(r.U16()));
        };
        switch (t.code) {
            case tag::JPEGTables:  // Joined to the DefineBits that use them
                tablesAt_ = t.at;
                tablesSize_ = t.size;
                return;
            case tag::DefineBits: {  // Carried as DefineBitsJPEG2 with the tables in front
                own();
                if (tablesSize_ == 0) Fail("a JPEG picture without its tables");
                tablesCopied_ += tablesSize_;
                if (tablesCopied_ > kMaxClipTables) Fail("JPEG tables repeated in too many pictures");
                t.code = tag::DefineBitsJPEG2;
                t.withTables = true;
                t.tablesAt = tablesAt_;
                t.tablesSize = tablesSize_;
                break;
            }
            case tag::DefineFont: case tag::DefineSound: case tag::DefineBitsLossless:
            case tag::DefineBitsJPEG2: case tag::DefineBitsJPEG3: case tag::DefineBitsLossless2:
            case tag::DefineFont2: case tag::DefineVideoStream: case tag::DefineFont3:
            case tag::DefineBinaryData: case tag::DefineBitsJPEG4: case tag::DefineFont4:
                own();
                break;
            case tag::DefineFontInfo: case tag::DefineButtonCxform: case tag::DefineFontInfo2:
            case tag::DefineFontAlignZones: case tag::CsmTextSettings: case tag::DefineScalingGrid:
            case tag::DefineFontName: case tag::DoInitAction:
                RefHere(t, r, 0);  // refers to a font, button, text or sprite
                break;
            case tag::DefineShape: case tag::DefineShape2: case tag::DefineShape3:
            case tag::DefineShape4:
                own();
                Shape(t, r);
                break;
            case tag::DefineMorphShape: case tag::DefineMorphShape2:
                own();
                Morph(t, r);
                break;
            case tag::DefineText: case tag::DefineText2:
                own();
                Text(t, r);
                break;
            case tag::DefineEditText: {
                own();
                r.Rect();
                unsigned f1 = r.U8();
                r.U8();
                if (f1 & 0x01) RefHere(t, r, 0);
                break;
            }
            case tag::DefineButton: case tag::DefineButton2:
                own();
                Button(t, r);
                break;
            case tag::DefineButtonSound: {
                RefHere(t, r, 0);
                for (int i = 0; i < 4; ++i) {
                    size_t at = r.pos();
                    unsigned sound = r.U16();
                    if (!sound) continue;
                    Ref(t, at, static_cast<std::uint16_t>(sound));
                    SoundInfo(r);
                }
                break;
            }
            case tag::DefineSprite: {  // Its id counts only after its timeline, so it cannot hold itself
                std::uint16_t id = static_cast<std::uint16_t>(r.U16());
                r.U16();
                ClipData inner;
                Reader sr(r.data() + r.pos(), r.left());
                ReadTags(sr, inner, &t, r.pos());
                Define(id);
                t.defines = true;
                break;
            }
            case tag::ExportAssets: {
                unsigned n = r.U16();
                for (unsigned i = 0; i < n; ++i) {
                    RefHere(t, r, 0);
                    r.CString();
                }
                break;
            }
            case tag::ImportAssets: case tag::ImportAssets2:
                Fail("imports from other files are not supported");
            case tag::DoAbcDefine: case tag::SymbolClass: case tag::DoAbc:
            case tag::DefineSceneAndFrameLabelData: case tag::StartSound2:
                Fail("ActionScript 3 clips are not supported");
            default:
                Fail("unknown tag " + std::to_string(t.code));
        }
        clip.defs.push_back(std::move(t));
    }

    void SoundInfo(Reader& r) {
        unsigned f = r.U8();
        if (f & 0x01) r.U32();
        if (f & 0x02) r.U32();
        if (f & 0x04) r.U16();
        if (f & 0x08) r.Skip(8u * r.U8());
    }

    void Color(Reader& r, bool alpha) { r.Skip(alpha ? 4 : 3); }

    void Gradient(Reader& r, bool alpha, bool focal) {
        unsigned n = r.U8() & 0x0F;
        for (unsigned i = 0; i < n; ++i) {
            r.U8();
            Color(r, alpha);
        }
        if (focal) r.U16();
    }

    void FillStyle(ClipTag& t, Reader& r, unsigned code) {
        bool alpha = code == tag::DefineShape3 || code == tag::DefineShape4;
        unsigned type = r.U8();
        if (type == 0x00) {
            Color(r, alpha);
        } else if (type == 0x10 || type == 0x12 || type == 0x13) {
            r.Matrix();
            Gradient(r, alpha, type == 0x13);
        } else if (type >= 0x40 && type <= 0x43) {
            size_t at = r.pos();
            unsigned id = r.U16();
            if (id != 0xFFFF) Ref(t, at, static_cast<std::uint16_t>(id));  // 0xFFFF: no picture
            r.Matrix();
        } else {
            Fail("unknown fill style " + std::to_string(type));
        }
    }

    unsigned Count(Reader& r, unsigned code) {
        unsigned n = r.U8();
        if (n == 0xFF && code != tag::DefineShape) n = r.U16();
        return n;
    }

    void Styles(ClipTag& t, Reader& r, unsigned code) {
        unsigned fills = Count(r, code);
        for (unsigned i = 0; i < fills; ++i) FillStyle(t, r, code);
        unsigned lines = Count(r, code);
        for (unsigned i = 0; i < lines; ++i) {
            r.U16();
            if (code == tag::DefineShape4) {
                unsigned a = r.U8();
                r.U8();
                if (((a >> 4) & 3) == 2) r.U16();
                if (a & 0x08) FillStyle(t, r, code); else Color(r, true);
            } else {
                Color(r, code == tag::DefineShape3);
            }
        }
    }

    void Shape(ClipTag& t, Reader& r) {
        unsigned code = t.code;
        r.Rect();
        if (code == tag::DefineShape4) {
            r.Rect();
            r.U8();
        }
        Styles(t, r, code);
        int fillBits = static_cast<int>(r.Bits(4)), lineBits = static_cast<int>(r.Bits(4));
        for (;;) {
            if (r.Bits(1) == 0) {
                unsigned flags = r.Bits(5);
                if (flags == 0) return;
                if (flags & 0x01) {
                    int n = static_cast<int>(r.Bits(5));
                    r.Bits(n);
                    r.Bits(n);
                }
                if (flags & 0x02) r.Bits(fillBits);
                if (flags & 0x04) r.Bits(fillBits);
                if (flags & 0x08) r.Bits(lineBits);
                if (flags & 0x10) {
                    if (code == tag::DefineShape) Fail("new styles in a DefineShape");
                    Styles(t, r, code);
                    fillBits = static_cast<int>(r.Bits(4));
                    lineBits = static_cast<int>(r.Bits(4));
                }
            } else {
                bool straight = r.Bits(1);
                int n = static_cast<int>(r.Bits(4)) + 2;
                if (straight) {
                    if (r.Bits(1)) r.Bits(2 * n); else r.Bits(1 + n);
                } else {
                    r.Bits(4 * n);
                }
            }
        }
    }

    void MorphFill(ClipTag& t, Reader& r) {
        unsigned type = r.U8();
        if (type == 0x00) {
            r.Skip(8);
        } else if (type == 0x10 || type == 0x12 || type == 0x13) {
            r.Matrix();
            r.Matrix();
            unsigned n = r.U8() & 0x0F;
            r.Skip(10u * n);
        } else if (type >= 0x40 && type <= 0x43) {
            size_t at = r.pos();
            unsigned id = r.U16();
            if (id != 0xFFFF) Ref(t, at, static_cast<std::uint16_t>(id));
            r.Matrix();
            r.Matrix();
        } else {
            Fail("unknown fill style " + std::to_string(type));
        }
    }

    void Morph(ClipTag& t, Reader& r) {
        r.Rect();
        r.Rect();
        if (t.code == tag::DefineMorphShape2) {
            r.Rect();
            r.Rect();
            r.U8();
        }
        r.U32();
        unsigned fills = Count(r, t.code);
        for (unsigned i = 0; i < fills; ++i) MorphFill(t, r);
        unsigned lines = Count(r, t.code);
        for (unsigned i = 0; i < lines; ++i) {
            r.U16();
            r.U16();
            if (t.code == tag::DefineMorphShape2) {
                unsigned a = r.U8();
                r.U8();
                if (((a >> 4) & 3) == 2) r.U16();
                if (a & 0x08) MorphFill(t, r); else r.Skip(8);
            } else {
                r.Skip(8);
            }
        }
    }

    void Text(ClipTag& t, Reader& r) {
        r.Rect();
        r.Matrix();
        int glyphBits = static_cast<int>(r.U8()), advanceBits = static_cast<int>(r.U8());
        if (glyphBits > 32 || advanceBits > 32) Fail("damaged text");
        for (;;) {
            unsigned flags = r.U8();
            if (flags == 0) return;
            if (!(flags & 0x80)) Fail("damaged text record");
            if (flags & 0x08) RefHere(t, r, 0);
            if (flags & 0x04) Color(r, t.code == tag::DefineText2);
            if (flags & 0x01) r.U16();
            if (flags & 0x02) r.U16();
            if (flags & 0x08) r.U16();
            unsigned n = r.U8();
            for (unsigned i = 0; i < n; ++i) {
                r.Bits(glyphBits);
                r.Bits(advanceBits);
            }
            r.Align();
        }
    }

    void Filters(Reader& r) {
        unsigned n = r.U8();
        for (unsigned i = 0; i < n; ++i) {
            unsigned type = r.U8();
            switch (type) {
                case 0: r.Skip(23); break;
                case 1: r.Skip(9); break;
                case 2: r.Skip(15); break;
                case 3: r.Skip(27); break;
                case 4: case 7: {
                    unsigned c = r.U8();
                    r.Skip(5u * c + 19);
                    break;
                }
                case 5: {
                    unsigned x = r.U8(), y = r.U8();
                    r.Skip(8 + 4u * x * y + 5);
                    break;
                }
                case 6: r.Skip(80); break;
                default: Fail("unknown filter " + std::to_string(type));
            }
        }
    }

    void Button(ClipTag& t, Reader& r) {
        bool two = t.code == tag::DefineButton2;
        if (two) {
            r.U8();
            r.U16();
        }
        for (;;) {
            unsigned flags = r.U8();
            if (flags == 0) return;
            RefHere(t, r, 0);
            r.U16();
            r.Matrix();
            if (two) {
                r.CxformWithAlpha();
                if (flags & 0x10) Filters(r);
                if (flags & 0x20) r.U8();
            }
        }
    }

    std::string name_;
    const std::uint8_t* data_ = nullptr;  // the clip's data, which tag bodies are slices of
    std::set<std::uint16_t> defined_;
    size_t tags_ = 0;
    std::uint32_t tablesAt_ = 0, tablesSize_ = 0;  // the last JPEGTables
    size_t tablesCopied_ = 0;
};

// A copy of a tag's body with its ids renumbered (a DefineBits's body without its tables).
Bytes Renumbered(const ClipData& clip, const ClipTag& t) {
    const std::uint8_t* p = clip.data.data() + t.at;
    Bytes b(p, p + t.size);
    auto patch = [&](size_t at) {
        std::uint16_t old = static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
        auto it = clip.ids.find(old);
        if (it == clip.ids.end()) Throw("clip refers to character " + std::to_string(old) + " it does not define");
        b[at] = it->second & 0xFF;
        b[at + 1] = it->second >> 8;
    };
    if (t.defines) patch(0);
    for (std::uint32_t at : t.refs) patch(at);
    return b;
}

}  // namespace

}  // namespace swf::detail

using namespace swf::detail;

SWFPrebuiltClip_s::SWFPrebuiltClip_s() : SWFBlock_s(Kind::Clip) {}
SWFPrebuiltClip_s::~SWFPrebuiltClip_s() = default;

void SWFPrebuiltClip_s::DefineParts(Emitter& e) {
    clip->ids.clear();
    for (const ClipTag& t : clip->defs) {
        if (t.defines) {
            const std::uint8_t* p = clip->data.data() + t.at;
            clip->ids[static_cast<std::uint16_t>(p[0] | (p[1] << 8))] = e.NewId();
        }
        Bytes body = Renumbered(*clip, t);
        if (t.withTables) {
            Bytes id(body.begin(), body.begin() + 2);
            e.TagParts(t.code,
                       {id, {clip->data.data() + t.tablesAt, t.tablesSize}, {body.data() + 2, body.size() - 2}},
                       true);
        } else {
            e.Tag(t.code, body, true);
        }
    }
}

void SWFPrebuiltClip_s::Write(Emitter& e, std::uint16_t id) {
    Bytes body;
    body.push_back(id & 0xFF);
    body.push_back(id >> 8);
    body.push_back(clip->frames & 0xFF);
    body.push_back((clip->frames >> 8) & 0xFF);
    for (const ClipTag& t : clip->timeline) PutTag(body, t.code, Renumbered(*clip, t));
    PutTag(body, tag::End, Bytes{});
    e.Tag(tag::DefineSprite, body, true);
}

namespace swf::detail {
// Reads a clip from memory (the file reader below and the fuzz target use it).
SWFPrebuiltClip ReadPrebuiltClip(const std::uint8_t* data, size_t size, const std::string& name) {
    return Guard<SWFPrebuiltClip>(nullptr, [&] {
        auto clip = std::make_unique<SWFPrebuiltClip_s>();
        clip->clip = std::make_unique<ClipData>(Naming(name, [&] { return ClipReader(name).Read(data, size); }));
        return clip.release();
    });
}
}  // namespace swf::detail

SWFPrebuiltClip newSWFPrebuiltClip_fromFile(const char* filename) {
    return Guard<SWFPrebuiltClip>(nullptr, [&] {
        if (!filename || !*filename) Throw("no clip file given");
        std::error_code ec;
        auto size = std::filesystem::file_size(filename, ec);
        if (ec) Throw(std::string("cannot read ") + filename + ": " + ec.message());
        if (size > kMaxClipFile) Throw(std::string(filename) + " is too large for a clip");
        std::ifstream in(filename, std::ios::binary);
        if (!in) Throw(std::string("cannot open ") + filename);
        Bytes data(static_cast<size_t>(size));
        in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (static_cast<size_t>(in.gcount()) != data.size()) Throw(std::string("cannot read ") + filename);
        return ReadPrebuiltClip(data.data(), data.size(), filename);
    });
}

void destroySWFPrebuiltClip(SWFPrebuiltClip clip) {
    if (clip) Release(clip);
}
