// Movies, timelines (movie and sprite), display items and saving.
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <unordered_set>

#include "swf/internal/objects.h"
#include "swf/internal/tags.h"

namespace swf::detail {

namespace {
thread_local std::string lastError;
std::atomic<int> defaultVersion{8};

constexpr std::uint32_t kMaxFrames = 65535;

std::string NullReason(const char* what) { return Missing(std::string(what) + " to add"); }

// The process's file creation mask, read without changing it (setting it to learn it would
// race with files other threads create meanwhile).
mode_t CurrentUmask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[128];
        unsigned long mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "Umask: %lo", &mask) == 1;
        std::fclose(f);
        if (found) return static_cast<mode_t>(mask);
    }
    mode_t mask = umask(022);
    umask(mask);
    return mask;
}

void PlaceTag(Emitter& e, bool move, std::uint16_t depth, std::uint16_t id, bool hasMatrix,
              const PlaceState& s, const std::optional<std::string>& name,
              std::optional<std::uint16_t> ratio) {
    Writer w;
    unsigned flags = (move ? 0x01 : 0) | (id ? 0x02 : 0) | (hasMatrix ? 0x04 : 0) |
                     (ratio ? 0x10 : 0) | (name ? 0x20 : 0);
    w.U8(flags);
    w.U16(depth);
    if (id) w.U16(id);
    if (hasMatrix) w.Matrix(s.sx, s.sy, 0, 0, Twips(s.x), Twips(s.y));
    if (ratio) w.U16(*ratio);
    if (name) w.String(*name);
    e.Tag(tag::PlaceObject2, w.bytes());
}
}  // namespace

void SetLastError(const std::string& reason) { lastError = reason; }

[[noreturn]] void Throw(const std::string& reason) { throw FormatError(reason); }

std::string Missing(const std::string& what) {
    std::string r = "no " + what;
    if (!lastError.empty()) r += " (" + lastError + ")";
    return r;
}

void Retain(SWFBlock_s* b) { ++b->refs; }
void Release(SWFBlock_s* b) {
    if (--b->refs == 0) delete b;
}

bool Holds(const SWFBlock_s* outer, const SWFBlock_s* inner) {
    std::vector<const SWFBlock_s*> todo{outer};
    std::unordered_set<const SWFBlock_s*> seen;
    while (!todo.empty()) {
        const SWFBlock_s* b = todo.back();
        todo.pop_back();
        if (b == inner) return true;
        if (!seen.insert(b).second) continue;
        if (b->kind == Kind::Sprite) {
            for (auto& item : static_cast<const SWFMovieClip_s*>(b)->timeline.items)
                todo.push_back(item->character.get());
        } else if (b->kind == Kind::Button) {
            for (auto& part : static_cast<const SWFButton_s*>(b)->parts) todo.push_back(part.character.get());
        }
    }
    return false;
}

// --- timeline --------------------------------------------------------------------------

SWFDisplayItem Timeline::Add(SWFBlock_s* block) {
    if (!block) {
        Fail(error, NullReason("object"));
        return nullptr;
    }
    if (!block->error.empty()) {
        Fail(error, block->error);
        return nullptr;
    }
    if (block->kind == Kind::Action) {
        open.ops.push_back(Op{OpType::Action, 0, Ref<SWFBlock_s>(block), false, {}, {}});
        return nullptr;
    }
    if (!block->IsCharacter()) {
        Fail(error, "fonts, bitmaps and sound streams cannot be placed on a timeline");
        return nullptr;
    }
    if (nextDepth == 0xFFFF) {
        Fail(error, "too many display items in one timeline");
        return nullptr;
    }
    auto item = std::make_unique<SWFDisplayItem_s>();
    item->owner = this;
    item->character = Ref<SWFBlock_s>(block);
    item->depth = nextDepth++;
    items.push_back(std::move(item));
    return items.back().get();
}

void Timeline::AddSoundHead(SWFBlock_s* sound) {
    open.ops.push_back(Op{OpType::SoundHead, 0, Ref<SWFBlock_s>(sound), false, {}, {}});
}

void Timeline::NextFrame() {
    std::vector<Op> ops;
    for (auto& it : items) {
        SWFDisplayItem_s& i = *it;
        if (i.gone) continue;
        if (i.isNew) {
            i.isNew = false;
            i.matrixDirty = i.nameDirty = false;
            if (i.removeAsked) {
                i.gone = true;
                continue;
            }
            ops.push_back(Op{OpType::Place, i.depth, i.character, true, i.state, i.name});
            continue;
        }
        if (i.matrixDirty || i.nameDirty) {
            ops.push_back(Op{OpType::Move, i.depth, {}, i.matrixDirty, i.state,
                             i.nameDirty ? i.name : std::nullopt});
            i.matrixDirty = i.nameDirty = false;
        }
        if (i.removeAsked) {
            ops.push_back(Op{OpType::Remove, i.depth, {}, false, {}, {}});
            i.gone = true;
        }
    }
    for (Op& op : open.ops) ops.push_back(std::move(op));
    open.ops.clear();
    if (ops.empty() && !frames.empty() && frames.back().ops.empty() &&
        frames.back().repeat < kMaxFrames + 1) {
        ++frames.back().repeat;
    } else {
        frames.push_back(Frame{std::move(ops), 1});
    }
}

void Timeline::Close() {
    bool pending = !open.ops.empty();
    for (auto& i : items)
        if (!i->gone && (i->isNew || i->matrixDirty || i->nameDirty || i->removeAsked)) pending = true;
    if (pending || frames.empty()) NextFrame();
}

std::uint64_t Timeline::FrameCount() const {
    std::uint64_t n = 0;
    for (const Frame& f : frames) n += f.repeat;
    return n;
}

void Timeline::DefineParts(Emitter& e) const {
    for (const Frame& f : frames)
        for (const Op& op : f.ops)
            if (op.type == OpType::Place) e.Define(op.block.get());
}

void Timeline::Write(Emitter& e) const {
    struct Playing {
        std::uint16_t depth;
        std::uint16_t id;
        std::unique_ptr<VideoCursor> cursor;
    };
    std::vector<Playing> videos;
    std::unique_ptr<SoundCursor> sound;
    Bytes buf;
    FlvFiles files;
    for (const Frame& f : frames) {
        for (std::uint32_t r = 0; r < f.repeat; ++r) {
            if (r == 0) {
                for (const Op& op : f.ops) {
                    switch (op.type) {
                        case OpType::Place: {
                            std::uint16_t id = e.Define(op.block.get());
                            PlaceTag(e, false, op.depth, id, true, op.state, op.name, std::nullopt);
                            if (op.block->kind == Kind::Video)
                                videos.push_back({op.depth, id,
                                                  std::make_unique<VideoCursor>(
                                                      static_cast<SWFVideoStream_s*>(op.block.get()), files)});
                            break;
                        }
                        case OpType::Move:
                            PlaceTag(e, true, op.depth, 0, op.hasMatrix, op.state, op.name, std::nullopt);
                            break;
                        case OpType::Remove: {
                            Bytes b{static_cast<std::uint8_t>(op.depth & 0xFF),
                                    static_cast<std::uint8_t>(op.depth >> 8)};
                            e.Tag(tag::RemoveObject2, b);
                            std::erase_if(videos, [&](const Playing& p) { return p.depth == op.depth; });
                            break;
                        }
                        case OpType::Action: {
                            auto* a = static_cast<SWFAction_s*>(op.block.get());
                            if (!a->error.empty()) Throw(a->error);
                            e.Tag(tag::DoAction, a->code);
                            break;
                        }
                        case OpType::SoundHead: {
                            auto* s = static_cast<SWFSoundStream_s*>(op.block.get());
                            e.Tag(tag::SoundStreamHead2, SoundStreamHead(s, e.rate));
                            sound = std::make_unique<SoundCursor>(s, e.rate, files);
                            break;
                        }
                    }
                }
            }
            for (Playing& v : videos) {
                std::uint32_t k = v.cursor->index;
                std::span<const std::uint8_t> picture;
                if (!v.cursor->Next(picture)) continue;
                const std::uint8_t head[4] = {static_cast<std::uint8_t>(v.id & 0xFF), static_cast<std::uint8_t>(v.id >> 8),
                                              static_cast<std::uint8_t>(k & 0xFF),
                                              static_cast<std::uint8_t>((k >> 8) & 0xFF)};
                e.TagParts(tag::VideoFrame, {head, picture}, true);
                // The ratio move every frame carries, as PlaceTag would write it, put together
                // here so that a long video costs no allocation per frame.
                const std::uint8_t move[5] = {0x11, static_cast<std::uint8_t>(v.depth & 0xFF),
                                              static_cast<std::uint8_t>(v.depth >> 8), head[2], head[3]};
                e.TagParts(tag::PlaceObject2, {move});
            }
            if (sound) {
                buf.clear();
                if (sound->NextBlock(buf)) e.Tag(tag::SoundStreamBlock, buf, true);
            }
            e.Tag(tag::ShowFrame, {});
        }
    }
}

// --- emitter ---------------------------------------------------------------------------

std::uint16_t Emitter::NewId() {
    if (nextId_ > 65535) Throw("too many definitions for one file");
    return static_cast<std::uint16_t>(nextId_++);
}

std::uint16_t Emitter::Define(SWFBlock_s* b) {
    if (auto it = ids_.find(b); it != ids_.end()) return it->second;
    if (!b->error.empty()) Throw(b->error);
    if (!inProgress_.insert(b).second) Throw("a sprite or button cannot contain itself");
    b->DefineParts(*this);
    std::uint16_t id = NewId();
    b->Write(*this, id);
    inProgress_.erase(b);
    ids_[b] = id;
    return id;
}

void Emitter::Tag(unsigned code, const Bytes& body, bool forceLong) { Tag(code, body, Bytes{}, forceLong); }

void Emitter::Tag(unsigned code, const Bytes& head, const Bytes& tail, bool forceLong) {
    TagParts(code, {head, tail}, forceLong);
}

void Emitter::TagParts(unsigned code, std::initializer_list<std::span<const std::uint8_t>> parts, bool forceLong) {
    std::uint64_t size = 0;
    for (auto part : parts) size += part.size();
    if (size > 0xFFFFFFFFu) Throw("a tag is too long for the format");
    std::uint8_t h[6];
    bool isLong = forceLong || size >= 0x3F;
    unsigned word = (code << 6) | (isLong ? 0x3F : static_cast<unsigned>(size));
    h[0] = word & 0xFF;
    h[1] = word >> 8;
    for (int i = 0; i < 4; ++i) h[2 + i] = (size >> (8 * i)) & 0xFF;
    Raw(h, isLong ? 6 : 2);
    for (auto part : parts) Raw(part.data(), part.size());
}

namespace {
constexpr size_t kEmitBuffer = 1 << 20;

[[noreturn]] void WriteFailed() { Throw(std::string("cannot write: ") + std::strerror(errno)); }
}  // namespace

Emitter::Emitter(int fd, int version)
    : fd_(fd), version_(version), buf_(std::make_unique_for_overwrite<std::uint8_t[]>(kEmitBuffer)) {}

void Emitter::Raw(const std::uint8_t* p, size_t n) {
    if (n <= kEmitBuffer - used_) {
        if (n) std::memcpy(buf_.get() + used_, p, n);
        used_ += n;
        return;
    }
    Flush();
    if (n >= kEmitBuffer) {
        WriteOut(p, n);
        flushed_ += n;
    } else {
        std::memcpy(buf_.get(), p, n);
        used_ = n;
    }
}

void Emitter::Flush() {
    WriteOut(buf_.get(), used_);
    flushed_ += used_;
    used_ = 0;
}

void Emitter::WriteOut(const std::uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t k = ::write(fd_, p, n);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) {
            if (k == 0) errno = EIO;
            WriteFailed();
        }
        p += k;
        n -= static_cast<size_t>(k);
    }
}

void Emitter::Patch(long at, const std::uint8_t* p, size_t n) {
    auto pos = static_cast<std::uint64_t>(at);
    if (pos + n > flushed_ + used_) Throw("cannot write: a patch past the end of the file");
    // The part already written goes to the file in place, the rest into the buffer.
    while (n > 0 && pos < flushed_) {
        size_t k = static_cast<size_t>(std::min<std::uint64_t>(n, flushed_ - pos));
        ssize_t w = ::pwrite(fd_, p, k, static_cast<off_t>(pos));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = EIO;
            WriteFailed();
        }
        p += w;
        pos += static_cast<std::uint64_t>(w);
        n -= static_cast<size_t>(w);
    }
    if (n) std::memcpy(buf_.get() + (pos - flushed_), p, n);
}

long Emitter::BeginLongTag(unsigned code) {
    std::uint8_t h[6] = {static_cast<std::uint8_t>(((code << 6) | 0x3F) & 0xFF),
                         static_cast<std::uint8_t>(((code << 6) | 0x3F) >> 8), 0, 0, 0, 0};
    Raw(h, sizeof h);
    return Tell() - 4;
}

void Emitter::EndLongTag(long mark) {
    long end = Tell();
    std::uint64_t len = static_cast<std::uint64_t>(end - mark - 4);
    if (len > 0xFFFFFFFFu) Throw("a tag is too long for the format");
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = (len >> (8 * i)) & 0xFF;
    Patch(mark, b, 4);
}

}  // namespace swf::detail

using namespace swf::detail;

// --- sprites ---------------------------------------------------------------------------

void SWFMovieClip_s::DefineParts(Emitter& e) {
    timeline.Close();
    if (!timeline.error.empty()) Throw(timeline.error);
    if (timeline.FrameCount() > 65535) Throw("a sprite has more frames than the format can count");
    timeline.DefineParts(e);
}

void SWFMovieClip_s::Write(Emitter& e, std::uint16_t id) {
    long mark = e.BeginLongTag(tag::DefineSprite);
    Writer w;
    w.U16(id);
    w.U16(static_cast<unsigned>(timeline.FrameCount()));
    e.Raw(w.bytes().data(), w.size());
    timeline.Write(e);
    e.Tag(tag::End, {});
    e.EndLongTag(mark);
}

// --- public calls ----------------------------------------------------------------------

const char* SWF_getLastError(void) { return lastError.c_str(); }

void Ming_useSWFVersion(int version) { defaultVersion = version; }

SWFMovie newSWFMovie(void) { return newSWFMovieWithVersion(defaultVersion); }

SWFMovie newSWFMovieWithVersion(int version) {
    return Guard<SWFMovie>(nullptr, [&] {
        auto* m = new SWFMovie_s;
        m->version = version;
        if (version < 6 || version > 10)
            Fail(m->error, "SWF version " + std::to_string(version) + " is not supported (6 to 10)");
        return m;
    });
}

void destroySWFMovie(SWFMovie movie) { delete movie; }

void SWFMovie_setRate(SWFMovie movie, float rate) {
    if (!movie) return;
    if (!(rate >= 0.0f && rate < 256.0f))
        Fail(movie->error, "frame rate " + std::to_string(rate) + " is out of range (0 to 255.99)");
    else
        movie->rate = rate;
}

void SWFMovie_setDimension(SWFMovie movie, float width, float height) {
    if (!movie) return;
    if (!(width >= 0.0f && height >= 0.0f && width <= 1e6f && height <= 1e6f))
        Fail(movie->error, "movie size is out of range");
    else {
        movie->width = width;
        movie->height = height;
    }
}

void SWFMovie_setBackground(SWFMovie movie, byte r, byte g, byte b) {
    if (!movie) return;
    movie->bg[0] = r;
    movie->bg[1] = g;
    movie->bg[2] = b;
}

SWFDisplayItem SWFMovie_add(SWFMovie movie, SWFBlock block) {
    if (!movie) return nullptr;
    return Guard<SWFDisplayItem>(nullptr, [&] { return movie->timeline.Add(block); });
}

int SWFMovie_nextFrame(SWFMovie movie) {
    if (!movie) return -1;
    return Guard(-1, [&] {
        movie->timeline.NextFrame();
        return 0;
    });
}

void SWFMovie_setSoundStream(SWFMovie movie, SWFSoundStream sound) {
    if (!movie) return;
    Guard(0, [&] {
        if (!sound) Fail(movie->error, NullReason("sound stream"));
        else if (!sound->error.empty()) Fail(movie->error, sound->error);
        else movie->timeline.AddSoundHead(sound);
        return 0;
    });
}

const char* SWFMovie_getError(SWFMovie movie) {
    if (!movie) return "no movie";
    if (!movie->error.empty()) return movie->error.c_str();
    if (!movie->timeline.error.empty()) return movie->timeline.error.c_str();
    return nullptr;
}

int SWFMovie_save(SWFMovie movie, const char* filename) {
    if (!movie || !filename || !*filename) {
        SetLastError("no movie or no file name to save");
        return -1;
    }
    if (const char* err = SWFMovie_getError(movie)) {
        SetLastError(err);
        return -1;
    }
    std::string tmp;
    int fd = -1;
    int result = Guard(-1, [&] {
        Timeline& t = movie->timeline;
        t.Close();
        if (t.FrameCount() > 65535)
            Throw("the movie has " + std::to_string(t.FrameCount()) +
                  " frames; the format counts at most 65535");
        namespace fs = std::filesystem;
        fs::path target(filename);
        fs::path dir = target.parent_path();
        tmp = (target.string() + ".XXXXXX");
        fd = mkostemp(tmp.data(), O_CLOEXEC);
        if (fd < 0) {
            std::string why = std::strerror(errno);
            tmp.clear();
            Throw("cannot create a file in " + (dir.empty() ? std::string(".") : dir.string()) + ": " + why);
        }
        // mkstemp makes the file private; the movie gets the mode any new file would.
        fchmod(fd, 0666 & ~CurrentUmask());

        Emitter e(fd, movie->version);
        e.rate = movie->rate;
        Writer h;
        h.U8('F');
        h.U8('W');
        h.U8('S');
        h.U8(movie->version);
        h.U32(0);  // file length, patched below
        h.Rect(0, Twips(movie->width), 0, Twips(movie->height));
        unsigned rate88 = static_cast<unsigned>(std::lround(movie->rate * 256.0));
        h.U16(std::min(rate88, 0xFFFFu));
        h.U16(static_cast<unsigned>(t.FrameCount()));
        e.Raw(h.bytes().data(), h.size());
        if (movie->version >= 8) e.Tag(tag::FileAttributes, Bytes{0, 0, 0, 0});
        e.Tag(tag::SetBackgroundColor, Bytes{movie->bg[0], movie->bg[1], movie->bg[2]});
        t.Write(e);
        e.Tag(tag::End, {});
        long size = e.Tell();
        if (size > 0xFFFFFFFFL) Throw("the movie is larger than the format allows (4 GB)");
        std::uint8_t len[4];
        for (int i = 0; i < 4; ++i) len[i] = (static_cast<std::uint64_t>(size) >> (8 * i)) & 0xFF;
        e.Patch(4, len, 4);
        e.Flush();
        int done = fd;
        fd = -1;
        if (::close(done) != 0) WriteFailed();
        if (std::rename(tmp.c_str(), filename) != 0)
            Throw(std::string("cannot rename the written file to ") + filename + ": " + std::strerror(errno));
        tmp.clear();
        return static_cast<int>(std::min<long>(size, 0x7FFFFFFF));
    });
    if (fd >= 0) ::close(fd);
    if (!tmp.empty()) unlink(tmp.c_str());
    return result;
}

// --- display items ---------------------------------------------------------------------

namespace {
bool Live(SWFDisplayItem item) { return item && !item->gone && !item->removeAsked; }
}  // namespace

void SWFDisplayItem_setName(SWFDisplayItem item, const char* name) {
    if (!Live(item)) return;
    Guard(0, [&] {
        item->name = std::string(name ? name : "");
        item->nameDirty = !item->isNew;
        return 0;
    });
}

void SWFDisplayItem_moveTo(SWFDisplayItem item, double x, double y) {
    if (!Live(item)) return;
    item->state.x = x;
    item->state.y = y;
    item->matrixDirty = !item->isNew;
}

void SWFDisplayItem_scaleTo(SWFDisplayItem item, double xScale, double yScale) {
    if (!Live(item)) return;
    item->state.sx = xScale;
    item->state.sy = yScale;
    item->matrixDirty = !item->isNew;
}

void SWFDisplayItem_remove(SWFDisplayItem item) {
    if (!Live(item)) return;
    item->removeAsked = true;
}

SWFMovieClip newSWFMovieClip(void) {
    return Guard<SWFMovieClip>(nullptr, [] { return new SWFMovieClip_s; });
}

void destroySWFMovieClip(SWFMovieClip clip) {
    if (clip) Release(clip);
}

SWFDisplayItem SWFMovieClip_add(SWFMovieClip clip, SWFBlock block) {
    if (!clip) return nullptr;
    return Guard<SWFDisplayItem>(nullptr, [&]() -> SWFDisplayItem {
        if (block && block->kind == Kind::Sound) {
            Fail(clip->timeline.error, "sound streams play on the movie's own timeline only");
            clip->error = clip->timeline.error;
            return nullptr;
        }
        if (block && Holds(block, clip)) {
            Fail(clip->timeline.error, "a sprite or button cannot contain itself");
            clip->error = clip->timeline.error;
            return nullptr;
        }
        SWFDisplayItem item = clip->timeline.Add(block);
        if (!clip->timeline.error.empty()) Fail(clip->error, clip->timeline.error);
        return item;
    });
}

int SWFMovieClip_nextFrame(SWFMovieClip clip) {
    if (!clip) return -1;
    return Guard(-1, [&] {
        clip->timeline.NextFrame();
        return 0;
    });
}
