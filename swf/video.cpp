// Video and stream sound taken from FLV files: DefineVideoStream with one VideoFrame per
// timeline frame, SoundStreamHead2 with one SoundStreamBlock of whole MP3 frames per movie
// frame. The files are scanned (and checked) when the stream is made, and read again in
// order while the movie is saved.
#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <deque>

#include "swf/internal/objects.h"
#include "swf/internal/tags.h"

namespace swf::detail {

namespace {

constexpr int kAudio = 8, kVideo = 9;

// A file read in order through a large buffer. Callers look at the bytes where they lie in
// the buffer instead of copying them out; skipping within the buffer costs nothing.
class FileIn {
public:
    explicit FileIn(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) Throw("cannot open " + path + ": " + std::strerror(errno));
        struct stat st {};
        std::uint64_t size = ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
        buf_.resize(static_cast<size_t>(std::clamp<std::uint64_t>(size, 4096, 256 * 1024)));
    }
    ~FileIn() { ::close(fd_); }
    FileIn(const FileIn&) = delete;
    FileIn& operator=(const FileIn&) = delete;

    // Makes up to n bytes at the cursor lie together in the buffer and returns how many do:
    // fewer only at the end of the file. Data() stays valid until the next Ensure.
    size_t Ensure(size_t n) {
        if (end_ - at_ >= n) return n;
        if (at_ > 0) {
            std::memmove(buf_.data(), buf_.data() + at_, end_ - at_);
            end_ -= at_;
            at_ = 0;
        }
        if (buf_.size() < n) buf_.resize(n);  // a tag longer than the buffer
        while (end_ < n && Fill()) {
        }
        return std::min(n, end_);
    }
    const std::uint8_t* Data() const { return buf_.data() + at_; }
    void Advance(size_t n) { at_ += n; }

    // False when the file ends first.
    bool Skip(std::uint64_t n) {
        std::uint64_t here = end_ - at_;
        if (n <= here) {
            at_ += static_cast<size_t>(n);
            return true;
        }
        n -= here;
        at_ = end_ = 0;
        off_t cur = ::lseek(fd_, 0, SEEK_CUR);
        struct stat st {};
        if (cur < 0 || ::fstat(fd_, &st) != 0 || static_cast<std::uint64_t>(cur) + n > static_cast<std::uint64_t>(st.st_size))
            return false;
        return ::lseek(fd_, static_cast<off_t>(n), SEEK_CUR) >= 0;
    }

private:
    // Appends what the file gives to the buffer's free end.
    bool Fill() {
        ssize_t n;
        do {
            n = ::read(fd_, buf_.data() + end_, buf_.size() - end_);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) return false;
        end_ += static_cast<size_t>(n);
        return true;
    }

    int fd_ = -1;
    Bytes buf_;
    size_t at_ = 0, end_ = 0;
};

using View = std::span<const std::uint8_t>;

// Reads the tags of an FLV file in order. Throws FormatError for anything damaged.
class FlvReader {
public:
    explicit FlvReader(const std::string& path) : path_(path), in_(path) {
        if (in_.Ensure(9) != 9) Throw(path + " is not an FLV file");
        const std::uint8_t* h = in_.Data();
        if (h[0] != 'F' || h[1] != 'L' || h[2] != 'V') Throw(path + " is not an FLV file");
        std::uint32_t offset = (std::uint32_t{h[5]} << 24) | (h[6] << 16) | (h[7] << 8) | h[8];
        if (offset < 9 || offset > (1u << 20)) Throw(path + ": damaged FLV header");
        in_.Advance(9);
        if (!in_.Skip(offset - 9 + 4)) Throw(path + ": truncated FLV file");
    }

    // The next tag of `want` type (another type's tags are skipped unread), with at most
    // `limit` bytes of its payload, seen where it lies: valid until the next call. False at
    // the end of the file.
    bool Next(int want, View& payload, size_t limit = SIZE_MAX) {
        int type;
        while (NextTag(type, payload, want == kVideo ? limit : 0, want == kAudio ? limit : 0))
            if (type == want) return true;
        return false;
    }

    // The next tag of any type, with at most so many bytes of a video or sound payload (none
    // of any other type's).
    bool NextTag(int& type, View& payload, size_t videoLimit, size_t soundLimit) {
        // The size of the previous tag that ends each tag is passed over here, so that the
        // payload handed out last stays where it is until now.
        if (trailer_) {
            size_t p = in_.Ensure(4);
            if (p != 4 && p != 0) Throw(path_ + ": truncated FLV file");
            in_.Advance(p);
            trailer_ = false;
        }
        size_t got = in_.Ensure(11);
        if (got == 0) return false;
        if (got != 11) Throw(path_ + ": truncated FLV file");
        const std::uint8_t* h = in_.Data();
        if (h[0] & 0x20) Throw(path_ + ": encrypted FLV content is not supported");
        type = h[0] & 0x1F;
        std::uint32_t size = (h[1] << 16) | (h[2] << 8) | h[3];
        in_.Advance(11);
        size_t limit = type == kVideo ? videoLimit : type == kAudio ? soundLimit : 0;
        size_t take = std::min<size_t>(size, limit);
        if (in_.Ensure(take) != take) Throw(path_ + ": truncated FLV file");
        payload = View(in_.Data(), take);
        in_.Advance(take);
        if (!in_.Skip(size - take)) Throw(path_ + ": truncated FLV file");
        trailer_ = true;
        return true;
    }

private:
    std::string path_;
    FileIn in_;
    bool trailer_ = false;
};

// A video tag that carries a picture (not a command frame).
bool IsPicture(View payload) { return payload.size() >= 2 && (payload[0] >> 4) != 5; }

void PictureSize(int codec, View payload, int& w, int& h) {
    Reader r(payload.data() + 1, payload.size() - 1);
    if (codec == 2) {
        if (r.Bits(17) != 1) Throw("damaged H.263 picture header");
        r.Bits(5);
        r.Bits(8);
        switch (r.Bits(3)) {
            case 0: w = static_cast<int>(r.Bits(8)); h = static_cast<int>(r.Bits(8)); break;
            case 1: w = static_cast<int>(r.Bits(16)); h = static_cast<int>(r.Bits(16)); break;
            case 2: w = 352; h = 288; break;
            case 3: w = 176; h = 144; break;
            case 4: w = 128; h = 96; break;
            case 5: w = 320; h = 240; break;
            case 6: w = 160; h = 120; break;
            default: Throw("damaged H.263 picture header");
        }
    } else {
        r.Bits(4);
        w = static_cast<int>(r.Bits(12));
        r.Bits(4);
        h = static_cast<int>(r.Bits(12));
    }
}

std::string CodecName(int codec) {
    switch (codec) {
        case 4: return "VP6";
        case 5: return "VP6 with alpha";
        case 6: return "screen video 2";
        case 7: return "H.264";
        default: return "codec " + std::to_string(codec);
    }
}

// MP3 frames out of the concatenated audio payloads.
struct Mp3Frame {
    int rate = 0;
    int samples = 0;
    bool stereo = false;
    size_t size = 0;
};

bool ParseMp3Header(const std::uint8_t* p, Mp3Frame& f) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    int version = (p[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
    int layer = (p[1] >> 1) & 3;    // 1: layer III
    int bitrateIndex = p[2] >> 4;
    int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    static const int kBitrate1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kBitrate2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int kRate[3] = {44100, 48000, 32000};
    int shift = version == 3 ? 0 : version == 2 ? 1 : 2;
    f.rate = kRate[rateIndex] >> shift;
    int kbps = version == 3 ? kBitrate1[bitrateIndex] : kBitrate2[bitrateIndex];
    int pad = (p[2] >> 1) & 1;
    f.samples = version == 3 ? 1152 : 576;
    f.size = static_cast<size_t>((version == 3 ? 144000 : 72000) * kbps / f.rate + pad);
    f.stereo = (p[3] >> 6) != 3;
    return f.size >= 4;
}

// Whole MP3 frames out of the audio payloads fed in.
class Mp3Frames {
public:
    explicit Mp3Frames(const std::string& path) : path_(path) {}

    // Adds one audio tag's payload; false for an empty one. Throws for sound that is not MP3.
    bool Feed(View payload) {
        if (payload.empty()) return false;
        int format = payload[0] >> 4;
        if (format == 10) Throw(path_ + ": AAC sound cannot be carried in a SWF file (MP3 only)");
        if (format != 2)
            Throw(path_ + ": sound format " + std::to_string(format) + " cannot be streamed (MP3 only)");
        sawSound = true;
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<long>(pos_));
        pos_ = 0;
        buf_.insert(buf_.end(), payload.begin() + 1, payload.end());
        return true;
    }

    // The next whole frame of what was fed, valid until the next call; false when more must
    // be fed first. Bytes between frames are skipped.
    bool Take(View& frame, Mp3Frame& info) {
        while (pos_ + 4 <= buf_.size()) {
            if (ParseMp3Header(buf_.data() + pos_, info)) {
                if (pos_ + info.size > buf_.size()) return false;
                frame = View(buf_.data() + pos_, info.size);
                pos_ += info.size;
                return true;
            }
            ++pos_;
        }
        return false;
    }

    bool sawSound = false;

private:
    std::string path_;
    Bytes buf_;
    size_t pos_ = 0;
};

int RateCode(int rate) { return rate == 11025 ? 1 : rate == 22050 ? 2 : 3; }

}  // namespace

// --- reading while saving ------------------------------------------------------------

struct FlvFiles::Shared {
    Shared(const std::string& p) : path(p), flv(p) {}
    std::string path;
    FlvReader flv;
    bool started = false;
    bool joined[2] = {};     // by side: 0 sound, 1 video
    bool detached[2] = {};   // the side reads on its own from now on
    std::uint64_t taken[2] = {};  // tags handed to each side
    std::deque<Bytes> queue[2];   // read for one side while the other asked
    size_t queued = 0;
    Bytes current[2];
    std::vector<Bytes> spare;
};

FlvFiles::FlvFiles() = default;
FlvFiles::~FlvFiles() = default;

namespace {

// Read ahead for one side and not yet taken, beyond which that side reads the file on its
// own (a file whose sound and video lie far apart).
constexpr size_t kMaxQueued = 4 << 20;

// Where a cursor of video or sound keeps its state.
int Side(int type) { return type == kVideo ? 1 : 0; }

// The tags of one type of a file, for one cursor: through the file's shared reading when the
// other type's cursor started with it, otherwise (or once the two drift apart) on its own.
class TagFeed {
public:
    TagFeed(FlvFiles& files, const std::string& path, int type) : path_(path), type_(type) {
        auto& slot = files.open[path];
        std::shared_ptr<FlvFiles::Shared> s = slot.lock();
        int me = Side(type);
        if (s && !s->started && !s->joined[me]) {
            shared_ = std::move(s);
        } else if (!s) {
            shared_ = std::make_shared<FlvFiles::Shared>(path);
            slot = shared_;
        } else {
            own_ = std::make_unique<FlvReader>(path);
            return;
        }
        shared_->joined[me] = true;
    }
    ~TagFeed() {
        if (!shared_) return;
        int me = Side(type_);
        shared_->joined[me] = false;
        shared_->queued -= Queued(me);
        shared_->queue[me].clear();
    }
    TagFeed(const TagFeed&) = delete;
    TagFeed& operator=(const TagFeed&) = delete;

    // The next tag's payload; valid until the next read from the same file.
    bool Next(View& payload) {
        int me = Side(type_);
        if (shared_ && shared_->detached[me]) Detach();
        if (own_) return own_->Next(type_, payload);
        FlvFiles::Shared& s = *shared_;
        s.started = true;
        if (!s.queue[me].empty()) {
            if (s.current[me].capacity()) s.spare.push_back(std::move(s.current[me]));
            s.current[me] = std::move(s.queue[me].front());
            s.queue[me].pop_front();
            s.queued -= s.current[me].size();
            ++s.taken[me];
            payload = s.current[me];
            return true;
        }
        int other = 1 - me;
        for (;;) {
            int type;
            View p;
            if (!s.flv.NextTag(type, p, s.joined[1] ? SIZE_MAX : 0, s.joined[0] ? SIZE_MAX : 0)) return false;
            if (type == type_) {
                ++s.taken[me];
                payload = p;
                return true;
            }
            if ((type != kVideo && type != kAudio) || Side(type) != other || !s.joined[other] || s.detached[other])
                continue;
            Bytes b;
            if (!s.spare.empty()) {
                b = std::move(s.spare.back());
                s.spare.pop_back();
            }
            b.assign(p.begin(), p.end());
            s.queued += b.size();
            s.queue[other].push_back(std::move(b));
            if (s.queued > kMaxQueued) {
                s.queued -= Queued(other);
                s.queue[other].clear();
                s.detached[other] = true;
            }
        }
    }

private:
    size_t Queued(int side) const {
        size_t n = 0;
        for (const Bytes& b : shared_->queue[side]) n += b.size();
        return n;
    }
    // Goes on alone from the tag after the last one taken.
    void Detach() {
        int me = Side(type_);
        own_ = std::make_unique<FlvReader>(path_);
        View skipped;
        for (std::uint64_t i = shared_->taken[me]; i > 0; --i)
            if (!own_->Next(type_, skipped, 0)) break;
        shared_->joined[me] = false;
        shared_.reset();
    }

    std::string path_;
    int type_;
    std::shared_ptr<FlvFiles::Shared> shared_;
    std::unique_ptr<FlvReader> own_;
};

}  // namespace

struct VideoCursor::Impl {
    Impl(const std::string& path, FlvFiles& files) : feed(files, path, kVideo) {}
    TagFeed feed;
    View payload;
    std::uint32_t left = 0;
    int codec = 2;
};

VideoCursor::VideoCursor(const SWFVideoStream_s* s, FlvFiles& files)
    : impl_(std::make_unique<Impl>(s->path, files)) {
    impl_->left = s->frames;
    impl_->codec = s->codec;
}
VideoCursor::~VideoCursor() = default;

bool VideoCursor::Next(std::span<const std::uint8_t>& out) {
    if (impl_->left == 0) return false;
    while (impl_->feed.Next(impl_->payload)) {
        if (!IsPicture(impl_->payload)) continue;
        // An H.263 packet goes without the FLV's frame-type byte; players read screen video
        // packets with it.
        out = impl_->payload.subspan(impl_->codec == 2 ? 1 : 0);
        --impl_->left;
        ++index;
        return true;
    }
    Throw("the video file changed while the movie was being written");
}

struct SoundCursor::Impl {
    Impl(const SWFSoundStream_s* s, double fps, FlvFiles& files)
        : feed(files, s->path, kAudio), mp3(s->path), rate(s->rate), fps(fps > 0 ? fps : 12) {}
    // The next whole MP3 frame; false at the end.
    bool NextFrame() {
        for (;;) {
            if (mp3.Take(data, info)) return true;
            do {
                if (!feed.Next(payload)) return false;
            } while (!mp3.Feed(payload));
        }
    }
    TagFeed feed;
    Mp3Frames mp3;
    int rate;
    double fps;
    std::uint64_t frame = 0;
    std::uint64_t sent = 0;
    View payload;
    View data;
    Mp3Frame info;
    bool ended = false;
};

SoundCursor::SoundCursor(const SWFSoundStream_s* s, double frameRate, FlvFiles& files)
    : impl_(std::make_unique<Impl>(s, frameRate, files)) {}
SoundCursor::~SoundCursor() = default;

bool SoundCursor::NextBlock(Bytes& out) {
    Impl& m = *impl_;
    double due = static_cast<double>(m.frame + 1) * m.rate / m.fps;
    ++m.frame;
    if (m.ended) return false;
    size_t start = out.size();
    out.resize(start + 4);
    unsigned samples = 0;
    while (static_cast<double>(m.sent) < due) {
        if (!m.NextFrame()) {
            m.ended = true;
            break;
        }
        if (m.info.rate != m.rate) continue;  // a stray frame of another stream
        out.insert(out.end(), m.data.begin(), m.data.end());
        samples += static_cast<unsigned>(m.info.samples);
        m.sent += static_cast<unsigned>(m.info.samples);
    }
    if (samples == 0) {
        out.resize(start);
        return false;
    }
    out[start] = samples & 0xFF;
    out[start + 1] = (samples >> 8) & 0xFF;
    out[start + 2] = 0;  // no samples to skip
    out[start + 3] = 0;
    return true;
}

Bytes SoundStreamHead(const SWFSoundStream_s* s, double frameRate) {
    int code = RateCode(s->rate);
    double fps = frameRate > 0 ? frameRate : 12;
    unsigned perFrame = static_cast<unsigned>(std::min(65535.0, std::round(s->rate / fps)));
    std::uint8_t flags = static_cast<std::uint8_t>((code << 2) | 0x02 | (s->stereo ? 1 : 0));
    return Bytes{flags, static_cast<std::uint8_t>(0x20 | flags), static_cast<std::uint8_t>(perFrame & 0xFF),
                 static_cast<std::uint8_t>(perFrame >> 8), 0, 0};
}

}  // namespace swf::detail

using namespace swf::detail;

void SWFVideoStream_s::Write(Emitter& e, std::uint16_t id) {
    Writer w;
    w.U16(id);
    w.U16(frames);
    w.U16(static_cast<unsigned>(width));
    w.U16(static_cast<unsigned>(height));
    w.U8(0);  // no deblocking, no smoothing
    w.U8(static_cast<unsigned>(codec));
    e.Tag(tag::DefineVideoStream, w.bytes());
}

namespace {

// The video stream's part of the scan: codec and picture size from the first picture, the
// count of pictures.
struct VideoScan {
    std::uint64_t frames = 0;
    int codec = 0, w = 0, h = 0;

    void Tag(View payload, const std::string& path) {
        if (!IsPicture(payload)) return;
        int c = payload[0] & 0x0F;
        if (frames == 0) {
            if (c != 2 && c != 3)
                Throw(path + ": " + CodecName(c) +
                      " video cannot be carried in a SWF file (Sorenson H.263 or screen video only)");
            codec = c;
            PictureSize(codec, payload, w, h);
        } else if (c != codec) {
            Throw(path + ": the video codec changes within the file");
        }
        ++frames;
    }
    void Finish(const std::string& path, FlvScan& r) const {
        if (frames == 0) Throw(path + ": no video in the file");
        if (frames > 65535) Throw(path + ": more video frames than a SWF file can hold");
        r.codec = codec;
        r.width = std::min(w, 65535);
        r.height = std::min(h, 65535);
        r.frames = static_cast<std::uint32_t>(frames);
    }
};

// The sound stream's part: the MP3 frames' rate and channels, checked.
struct SoundScan {
    explicit SoundScan(const std::string& path) : mp3(path) {}
    Mp3Frames mp3;
    Mp3Frame info, first;
    std::uint64_t samples = 0;

    void Tag(View payload, const std::string& path) {
        if (!mp3.Feed(payload)) return;
        View frame;
        while (mp3.Take(frame, info)) {
            if (samples == 0) {
                first = info;
                if (info.rate != 11025 && info.rate != 22050 && info.rate != 44100)
                    Throw(path + ": MP3 at " + std::to_string(info.rate) +
                          " Hz cannot be carried in a SWF file (11025, 22050 or 44100 Hz)");
            }
            if (info.rate == first.rate) samples += static_cast<unsigned>(info.samples);
        }
    }
    void Finish(const std::string& path, FlvScan& r) const {
        if (!mp3.sawSound) Throw(path + ": no sound in the file");
        if (samples == 0) Throw(path + ": no MP3 frames in the sound");
        r.rate = first.rate;
        r.stereo = first.stereo;
    }
};

// Reads the file once for both streams. Each stream's first failure is its reason; a damaged
// file fails every stream not failed before.
FlvScan ScanFlv(const std::string& path) {
    FlvScan r;
    VideoScan video;
    SoundScan sound(path);
    bool videoDone = false, soundDone = false;
    auto fail = [](bool& done, std::string& error, const char* why) {
        if (done) return;
        error = why;
        done = true;
    };
    try {
        FlvReader flv(path);
        View payload;
        int type = 0;
        while (!(videoDone && soundDone) &&
               flv.NextTag(type, payload, videoDone ? 0 : video.frames ? 2 : 64, soundDone ? 0 : SIZE_MAX)) {
            try {
                if (type == kVideo && !videoDone) video.Tag(payload, path);
            } catch (const FormatError& e) {
                fail(videoDone, r.videoError, e.what());
            }
            try {
                if (type == kAudio && !soundDone) sound.Tag(payload, path);
            } catch (const FormatError& e) {
                fail(soundDone, r.soundError, e.what());
            }
        }
        try {
            if (!videoDone) video.Finish(path, r);
        } catch (const FormatError& e) {
            fail(videoDone, r.videoError, e.what());
        }
        try {
            if (!soundDone) sound.Finish(path, r);
        } catch (const FormatError& e) {
            fail(soundDone, r.soundError, e.what());
        }
    } catch (const FormatError& e) {
        fail(videoDone, r.videoError, e.what());
        fail(soundDone, r.soundError, e.what());
    }
    return r;
}

const FlvScan& Scanned(SWFInput input) {
    if (!input->flv) input->flv = ScanFlv(input->path);
    return *input->flv;
}

}  // namespace

SWFVideoStream newSWFVideoStream_fromInput(SWFInput input) {
    return Guard<SWFVideoStream>(nullptr, [&] {
        if (!input) Throw(Missing("input file for the video stream"));
        return Naming(input->path, [&] {
            const FlvScan& scan = Scanned(input);
            if (!scan.videoError.empty()) Throw(scan.videoError);
            auto* s = new SWFVideoStream_s;
            s->path = input->path;
            s->codec = scan.codec;
            s->width = scan.width;
            s->height = scan.height;
            s->frames = scan.frames;
            return s;
        });
    });
}

void destroySWFVideoStream(SWFVideoStream stream) {
    if (stream) Release(stream);
}

void SWFVideoStream_setDimension(SWFVideoStream stream, int width, int height) {
    if (!stream) return;
    stream->width = std::clamp(width, 0, 65535);
    stream->height = std::clamp(height, 0, 65535);
}

int SWFVideoStream_getNumFrames(SWFVideoStream stream) {
    return stream ? static_cast<int>(stream->frames) : 0;
}

SWFSoundStream newSWFSoundStream_fromInput(SWFInput input) {
    return Guard<SWFSoundStream>(nullptr, [&] {
        if (!input) Throw(Missing("input file for the sound stream"));
        return Naming(input->path, [&] {
            const FlvScan& scan = Scanned(input);
            if (!scan.soundError.empty()) Throw(scan.soundError);
            auto* s = new SWFSoundStream_s;
            s->path = input->path;
            s->rate = scan.rate;
            s->stereo = scan.stereo;
            return s;
        });
    });
}

void destroySWFSoundStream(SWFSoundStream sound) {
    if (sound) Release(sound);
}
