#pragma once
// The objects behind the public handles of swf.h.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "swf/internal/bits.h"
#include "swf/swf.h"

namespace swf::detail {

enum class Kind { Shape, Button, Text, Sprite, Video, Clip, Bitmap, Font, Action, Sound };

class Emitter;
class Timeline;

// The reason of the last failed public call on this thread.
void SetLastError(const std::string& reason);

}  // namespace swf::detail

// Every handle's object starts with this part (single inheritance, so a handle of any kind
// is also a valid SWFBlock pointer). Reference counted: the caller holds one reference,
// each container that uses the object another.
struct SWFBlock_s {
    explicit SWFBlock_s(swf::detail::Kind k) : kind(k) {}
    virtual ~SWFBlock_s() = default;
    SWFBlock_s(const SWFBlock_s&) = delete;
    SWFBlock_s& operator=(const SWFBlock_s&) = delete;

    // Characters can be placed on a timeline; their definition is written once per file.
    virtual bool IsCharacter() const { return false; }
    // Writes the definitions this one refers to (through Emitter::Define).
    virtual void DefineParts(swf::detail::Emitter&) {}
    // Writes this definition under `id`.
    virtual void Write(swf::detail::Emitter&, std::uint16_t /*id*/) {}

    swf::detail::Kind kind;
    int refs = 1;
    std::string error;  // non-empty: the object failed and anything holding it fails too
};

namespace swf::detail {

void Retain(SWFBlock_s* b);
void Release(SWFBlock_s* b);

// A counted reference to a block.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) { if (p_) Retain(p_); }
    Ref(const Ref& o) : p_(o.p_) { if (p_) Retain(p_); }
    Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    Ref& operator=(Ref o) {
        std::swap(p_, o.p_);
        return *this;
    }
    ~Ref() { if (p_) Release(p_); }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Failure of a container: the first reason is kept.
inline void Fail(std::string& error, const std::string& reason) {
    if (error.empty()) error = reason;
}

// One style change or edge of a shape or glyph, in absolute twips.
struct ShapeRecord {
    enum Type { Style, Line, Curve } type = Style;
    bool move = false;
    std::int32_t x = 0, y = 0;    // Style: move target; Curve: control point
    std::int32_t ax = 0, ay = 0;  // edges: end point
    int fill0 = -1, fill1 = -1, line = -1;  // -1 unchanged, 0 none, n: style number
};

// Shape records from the pen at 0, 0, closed by the end record; long edges are split to fit.
void EncodeShapeRecords(Writer& w, const std::vector<ShapeRecord>& records, int fillBits,
                        int lineBits);

// --- timelines ---------------------------------------------------------------------------

struct PlaceState {
    double x = 0, y = 0, sx = 1, sy = 1;
};

enum class OpType { Place, Move, Remove, Action, SoundHead };

struct Op {
    OpType type;
    std::uint16_t depth = 0;
    Ref<SWFBlock_s> block;  // Place: the character; Action: the action; SoundHead: the sound
    bool hasMatrix = false;
    PlaceState state;
    std::optional<std::string> name;
};

struct Frame {
    std::vector<Op> ops;
    std::uint32_t repeat = 1;  // identical frames without ops are kept as one
};

}  // namespace swf::detail

struct SWFDisplayItem_s {
    swf::detail::Timeline* owner = nullptr;
    swf::detail::Ref<SWFBlock_s> character;
    std::uint16_t depth = 0;
    swf::detail::PlaceState state;
    std::optional<std::string> name;
    bool isNew = true;          // placed in the frame still open
    bool matrixDirty = false;
    bool nameDirty = false;
    bool removeAsked = false;
    bool gone = false;          // removed in a closed frame
};

namespace swf::detail {

class Timeline {
public:
    // Places a character (a new display item) or queues an action; failures mark `error`.
    SWFDisplayItem Add(SWFBlock_s* block);
    void AddSoundHead(SWFBlock_s* sound);
    void NextFrame();
    // Closes a last frame that holds anything; leaves at least one frame.
    void Close();
    std::uint64_t FrameCount() const;
    void DefineParts(Emitter& e) const;
    // Writes frames as tags (ShowFrame included), with video frames and stream sound.
    void Write(Emitter& e) const;

    std::string error;
    std::vector<Frame> frames;
    Frame open;
    std::vector<std::unique_ptr<SWFDisplayItem_s>> items;
    std::uint16_t nextDepth = 1;
};

// --- saving --------------------------------------------------------------------------------

// Writes one file: tags gather in a large buffer written out as it fills; definitions get
// their ids on first use.
class Emitter {
public:
    Emitter(int fd, int version);
    int version() const { return version_; }
    std::uint16_t Define(SWFBlock_s* b);  // writes the definition when not yet written
    std::uint16_t NewId();
    void Tag(unsigned code, const Bytes& body, bool forceLong = false);
    // A tag whose body is `head` followed by `tail`.
    void Tag(unsigned code, const Bytes& head, const Bytes& tail, bool forceLong = false);
    // A tag whose body is the parts one after the other.
    void TagParts(unsigned code, std::initializer_list<std::span<const std::uint8_t>> parts,
                  bool forceLong = false);
    void Raw(const std::uint8_t* p, size_t n);
    // A tag whose body is written piecewise: Begin returns a mark, End patches the length.
    long BeginLongTag(unsigned code);
    void EndLongTag(long mark);
    // Bytes written so far.
    long Tell() const { return static_cast<long>(flushed_ + used_); }
    // Overwrites bytes already written at `at`.
    void Patch(long at, const std::uint8_t* p, size_t n);
    // Writes out what the buffer holds.
    void Flush();
    double rate = 12.0;  // of the movie, for stream sound

private:
    void WriteOut(const std::uint8_t* p, size_t n);

    int fd_;
    int version_;
    std::unique_ptr<std::uint8_t[]> buf_;
    size_t used_ = 0;
    std::uint64_t flushed_ = 0;
    std::unordered_map<const SWFBlock_s*, std::uint16_t> ids_;
    std::unordered_set<const SWFBlock_s*> inProgress_;
    std::uint32_t nextId_ = 1;
};

// A FormatError with a message that names what failed.
[[noreturn]] void Throw(const std::string& reason);

// "no <what>", followed by the reason of the last failure on this thread (why a caller was
// handed null instead of the object it asked for).
std::string Missing(const std::string& what);

// Runs a reader; a FormatError that does not yet name `name` gets it in front.
template <class F>
auto Naming(const std::string& name, F&& f) {
    try {
        return f();
    } catch (const FormatError& e) {
        std::string what = e.what();
        if (what.find(name) != std::string::npos) throw;
        Throw(name + ": " + what);
    }
}

}  // namespace swf::detail

// --- the objects --------------------------------------------------------------------------

struct SWFMovie_s {
    int version = 8;
    double rate = 12.0;
    double width = 550, height = 400;
    byte bg[3] = {255, 255, 255};
    swf::detail::Timeline timeline;
    std::string error;
};

// What one reading of an FLV file found for each of its streams; a stream that cannot be
// embedded carries the reason instead.
struct FlvScan {
    std::string videoError, soundError;
    int codec = 0, width = 0, height = 0;
    std::uint32_t frames = 0;
    int rate = 0;
    bool stereo = false;
};

struct SWFInput_s {
    std::string path;
    // Video and sound streams made from the same file share one reading of it.
    std::optional<FlvScan> flv;
};

struct SWFShape_s;

struct SWFFill_s {
    int refs = 1;
    const SWFShape_s* shape = nullptr;  // cleared when the shape goes
    std::uint16_t index = 0;  // 1-based fill style number in its shape
};

struct SWFBitmap_s : SWFBlock_s {
    SWFBitmap_s() : SWFBlock_s(swf::detail::Kind::Bitmap) {}
    void Write(swf::detail::Emitter& e, std::uint16_t id) override;
    bool jpeg = false;
    int width = 0, height = 0;
    swf::detail::Bytes data;  // JPEG: the file; PNG: zlib-compressed premultiplied ARGB
};

struct SWFAction_s : SWFBlock_s {
    SWFAction_s() : SWFBlock_s(swf::detail::Kind::Action) {}
    swf::detail::Bytes code;  // action records with the closing ActionEnd
};

struct SWFShape_s : SWFBlock_s {
    SWFShape_s();
    bool IsCharacter() const override { return true; }
    void DefineParts(swf::detail::Emitter& e) override;
    void Write(swf::detail::Emitter& e, std::uint16_t id) override;

    struct FillStyle {
        bool bitmap = false;
        byte rgba[4] = {0, 0, 0, 255};
        swf::detail::Ref<SWFBitmap_s> image;
        byte flags = 0;
    };
    struct LineStyle {
        std::uint16_t width = 0;  // twips
        byte rgba[4] = {0, 0, 0, 255};
    };
    std::vector<FillStyle> fills;
    std::vector<SWFFill_s*> fillHandles;  // each holds a reference
    std::vector<LineStyle> lines;
    std::vector<swf::detail::ShapeRecord> records;
    std::int32_t penX = 0, penY = 0;
    std::int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = false;
    int maxLineWidth = 0;
    ~SWFShape_s() override;
};

struct SWFButton_s : SWFBlock_s {
    SWFButton_s() : SWFBlock_s(swf::detail::Kind::Button) {}
    bool IsCharacter() const override { return true; }
    void DefineParts(swf::detail::Emitter& e) override;
    void Write(swf::detail::Emitter& e, std::uint16_t id) override;
    struct Part {
        swf::detail::Ref<SWFBlock_s> character;
        byte states;
    };
    struct Condition {
        swf::detail::Ref<SWFAction_s> action;
        int flags;
    };
    std::vector<Part> parts;
    std::vector<Condition> actions;
};

namespace swf::detail {
class FontFace;  // FreeType face and glyph outlines
}

struct SWFFont_s : SWFBlock_s {
    SWFFont_s();
    ~SWFFont_s() override;
    void Write(swf::detail::Emitter& e, std::uint16_t id) override;
    std::unique_ptr<swf::detail::FontFace> face;
    std::map<std::uint32_t, std::uint16_t> used;  // code point -> glyph number in the tag
    int GlyphNumber(std::uint32_t cp) const;
};

struct SWFText_s : SWFBlock_s {
    SWFText_s() : SWFBlock_s(swf::detail::Kind::Text) {}
    bool IsCharacter() const override { return true; }
    void DefineParts(swf::detail::Emitter& e) override;
    void Write(swf::detail::Emitter& e, std::uint16_t id) override;
    struct Run {
        swf::detail::Ref<SWFFont_s> font;
        byte rgba[4];
        double height;  // pixels
        double x, y;    // pen at the start (pixels, y = baseline)
        std::vector<std::uint32_t> chars;
    };
    swf::detail::Ref<SWFFont_s> font;
    byte rgba[4] = {0, 0, 0, 255};
    double height = 12;
    double penX = 0, penY = 0;
    bool penSet = false;
    std::vector<Run> runs;
};

struct SWFMovieClip_s : SWFBlock_s {
    SWFMovieClip_s() : SWFBlock_s(swf::detail::Kind::Sprite) {}
    bool IsCharacter() const override { return true; }
    void DefineParts(swf::detail::Emitter& e) override;
    void Write(swf::detail::Emitter& e, std::uint16_t id) override;
    swf::detail::Timeline timeline;
};

struct SWFVideoStream_s : SWFBlock_s {
    SWFVideoStream_s() : SWFBlock_s(swf::detail::Kind::Video) {}
    bool IsCharacter() const override { return true; }
    void Write(swf::detail::Emitter& e, std::uint16_t id) override;
    std::string path;
    int codec = 0;  // 2 H.263, 3 screen video
    int width = 0, height = 0;
    std::uint32_t frames = 0;
};

struct SWFSoundStream_s : SWFBlock_s {
    SWFSoundStream_s() : SWFBlock_s(swf::detail::Kind::Sound) {}
    std::string path;
    int rate = 44100;
    bool stereo = true;
};

namespace swf::detail {
struct ClipData;  // parsed tags of a prebuilt clip
}

struct SWFPrebuiltClip_s : SWFBlock_s {
    SWFPrebuiltClip_s();
    ~SWFPrebuiltClip_s() override;
    bool IsCharacter() const override { return true; }
    void DefineParts(swf::detail::Emitter& e) override;
    void Write(swf::detail::Emitter& e, std::uint16_t id) override;
    std::unique_ptr<swf::detail::ClipData> clip;
};

namespace swf::detail {

// Runs a public call: a FormatError or allocation failure becomes SetLastError and `fallback`.
template <class R, class F>
R Guard(R fallback, F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        SetLastError("out of memory");
    } catch (const std::exception& e) {
        SetLastError(e.what());
    } catch (...) {
        SetLastError("unexpected failure");
    }
    return fallback;
}

// Whether `outer` is `inner` or holds it, directly or through sprites and buttons (adding
// such a block to `inner` would make a cycle that no player can draw and no count can free).
bool Holds(const SWFBlock_s* outer, const SWFBlock_s* inner);

// The kind of a block handed in from outside, checked.
template <class T>
T* As(SWFBlock_s* b, Kind k) {
    return b && b->kind == k ? static_cast<T*>(b) : nullptr;
}

// The FLV files read while one timeline is written, so that the video and the sound of one
// file that start together share one reading of it (video.cpp).
class FlvFiles {
public:
    FlvFiles();
    ~FlvFiles();
    FlvFiles(const FlvFiles&) = delete;
    FlvFiles& operator=(const FlvFiles&) = delete;
    struct Shared;
    std::map<std::string, std::weak_ptr<Shared>> open;
};

// Video and sound readers used while saving (video.cpp).
class VideoCursor {
public:
    VideoCursor(const SWFVideoStream_s* s, FlvFiles& files);
    ~VideoCursor();
    // Next frame's VideoFrame data, seen where it lies in a reader's buffer (valid until the
    // next read from the same file), or false at the end.
    bool Next(std::span<const std::uint8_t>& out);
    std::uint32_t index = 0;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class SoundCursor {
public:
    SoundCursor(const SWFSoundStream_s* s, double frameRate, FlvFiles& files);
    ~SoundCursor();
    // Appends the SoundStreamBlock body for the next movie frame; false when none is due.
    bool NextBlock(Bytes& out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

Bytes SoundStreamHead(const SWFSoundStream_s* s, double frameRate);

// A prebuilt clip from a file's bytes; `name` starts its error messages.
SWFPrebuiltClip ReadPrebuiltClip(const std::uint8_t* data, size_t size, const std::string& name);

// An action from assembled records (without the closing ActionEnd, which is added).
SWFAction NewActionFromBytes(const std::uint8_t* code, size_t size);

}  // namespace swf::detail
