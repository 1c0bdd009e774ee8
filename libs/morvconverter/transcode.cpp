// The job runner: every input of a job is decoded, trimmed, sent through its filter graph
// and encoded into one output, written under a temporary name that becomes the output's
// name only when the whole job succeeded.
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "libs/morvconverter/source.h"

namespace morvconv {

namespace {

using Clock = std::chrono::steady_clock;

// The library's own text for an error code, after the step that met it.
std::string LibraryError(const char* step, int averror) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(averror, text, sizeof text);
    return std::string(step) + ": " + text;
}

struct FilterGraph {
    AVFilterGraph* graph = nullptr;
    AVFilterContext* src = nullptr;
    AVFilterContext* sink = nullptr;
    FilterGraph() = default;
    FilterGraph(const FilterGraph&) = delete;
    FilterGraph& operator=(const FilterGraph&) = delete;
    ~FilterGraph() { avfilter_graph_free(&graph); }

    // `threads`: the slice threads of the filters (the scaler's among them), which meet at
    // the end of every frame.
    int Build(const char* srcName, const std::string& srcArgs, const char* sinkName, const std::string& chain,
              int threads) {
        graph = avfilter_graph_alloc();
        if (!graph) return AVERROR(ENOMEM);
        graph->nb_threads = threads;
        int r = avfilter_graph_create_filter(&src, avfilter_get_by_name(srcName), "in", srcArgs.c_str(), nullptr, graph);
        if (r < 0) return r;
        r = avfilter_graph_create_filter(&sink, avfilter_get_by_name(sinkName), "out", nullptr, nullptr, graph);
        if (r < 0) return r;
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        if (!outputs || !inputs) {
            avfilter_inout_free(&outputs);
            avfilter_inout_free(&inputs);
            return AVERROR(ENOMEM);
        }
        outputs->name = av_strdup("in");
        outputs->filter_ctx = src;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        r = avfilter_graph_parse_ptr(graph, chain.c_str(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        if (r < 0) return r;
        return avfilter_graph_config(graph, nullptr);
    }
};

struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

constexpr char kPartSuffix[] = ".part";
constexpr std::size_t kPartRandomLetters = 8;

// "<pid>-<start>" of a running process, its start being clock ticks after boot as
// /proc/<pid>/stat gives it (a later process under a reused id starts later); empty when
// no such process runs (a zombie has closed its files) or /proc cannot tell.
std::string RunningMark(long pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char text[1024];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return {};
    text[n] = 0;
    const char* fields = std::strrchr(text, ')');  // the command name before it may hold anything
    char state = 0;
    unsigned long long start = 0;
    if (!fields || std::sscanf(fields + 1, " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
                               &state, &start) != 2 ||
        state == 'Z' || state == 'X')
        return {};
    return std::to_string(pid) + "-" + std::to_string(start);
}

// The writer's process id out of a temporary name "<output>.<pid>-<start>-<random>.part";
// false for any other name.
bool PartFileWriter(const std::string& name, long& pid, std::string& mark) {
    const std::size_t suffix = sizeof kPartSuffix - 1;
    if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, kPartSuffix) != 0) return false;
    const std::size_t dot = name.rfind('.', name.size() - suffix - 1);
    if (dot == std::string::npos || dot == 0) return false;
    const std::string tag = name.substr(dot + 1, name.size() - suffix - dot - 1);
    const std::size_t dash1 = tag.find('-'), dash2 = tag.rfind('-');
    if (dash1 == std::string::npos || dash1 == dash2 || tag.size() - dash2 - 1 != kPartRandomLetters) return false;
    // A process id has at most 7 digits (the kernel's limit is 2^22), a start time at most 20.
    auto digits = [](const std::string& t, std::size_t most) {
        return !t.empty() && t.size() <= most && t.find_first_not_of("0123456789") == std::string::npos;
    };
    const std::string id = tag.substr(0, dash1);
    if (!digits(id, 7) || !digits(tag.substr(dash1 + 1, dash2 - dash1 - 1), 20)) return false;
    mark = tag.substr(0, dash2);
    pid = std::strtol(id.c_str(), nullptr, 10);
    return true;
}

// Removes from `folder` the temporary outputs whose writers no longer run: a conversion
// killed while it wrote leaves its part file behind. A file stays when the process its
// name names still runs, or when anyone holds it locked (every writer locks its file for
// as long as it writes).
void RemoveDeadPartFiles(const std::string& folder) {
    if (RunningMark(long(getpid())).empty()) return;  // without /proc no writer can be told alive
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int at = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        long pid = 0;
        std::string mark;
        if (!PartFileWriter(name, pid, mark) || RunningMark(pid) == mark) continue;
        const int fd = ::openat(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {}, named {};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(at, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino)
            ::unlinkat(at, name.c_str(), 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// A new file beside `target`, named "<target>.<pid>-<start>-<random>.part" after the
// process that writes it (see RunningMark), made with O_EXCL so that a link planted under
// a guessable name is never followed; its mode follows the umask as any new file's. It is
// held locked while it is open, the mark of a living writer. Returns the descriptor (or
// -1) and sets `path`.
int CreatePartFile(const std::string& target, std::string& path) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string mark = RunningMark(long(getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[kPartRandomLetters];
        if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) return -1;
        std::string name = target + "." + (mark.empty() ? "" : mark + "-");
        for (unsigned char r : random) name += letters[r % (sizeof letters - 1)];
        name += kPartSuffix;
        int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);  // new and ours alone: taken at once
            path = name;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// The output's bytes into a descriptor, as an AVIOContext for the muxer.
struct FileWriter {
    int fd = -1;
    AVIOContext* avio = nullptr;

    static int Write(void* opaque, std::uint8_t* buf, int size) {
        auto* w = static_cast<FileWriter*>(opaque);
        for (int done = 0; done < size;) {
            ssize_t n = ::write(w->fd, buf + done, size_t(size - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return AVERROR(n < 0 ? errno : EIO);
            done += int(n);
        }
        return size;
    }
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
        auto* w = static_cast<FileWriter*>(opaque);
        if (whence & AVSEEK_SIZE) {
            struct stat st {};
            return ::fstat(w->fd, &st) == 0 ? std::int64_t(st.st_size) : AVERROR(errno);
        }
        off_t to = ::lseek(w->fd, off_t(offset), whence & ~AVSEEK_FORCE);
        return to < 0 ? AVERROR(errno) : std::int64_t(to);
    }

    // Opens the context over `descriptor`, which it then owns; false when out of memory.
    bool Open(int descriptor) {
        fd = descriptor;
        constexpr int kBuffer = 1 << 16;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kBuffer));
        if (!buffer) return false;
        avio = avio_alloc_context(buffer, kBuffer, 1, this, nullptr, &FileWriter::Write, &FileWriter::Seek);
        if (!avio) av_free(buffer);
        return avio != nullptr;
    }
    // Writes out what is buffered and closes; false when any write failed.
    bool Close() {
        bool ok = true;
        if (avio) {
            avio_flush(avio);
            ok = avio->error == 0;
            av_freep(&avio->buffer);
            avio_context_free(&avio);
        }
        if (fd >= 0 && ::close(fd) != 0) ok = false;
        fd = -1;
        return ok;
    }
    ~FileWriter() { Close(); }
};

// Frame rates given as decimals mean the usual broadcast fractions.
AVRational RateOf(double fps) {
    for (int base : {24, 30, 60})
        if (std::fabs(fps - base * 1000.0 / 1001.0) < 0.005) return {base * 1000, 1001};
    return av_d2q(fps, 100000);
}

int Even(int v) { return std::max(2, v / 2 * 2); }

// Whether a decoded picture came out of its bytes whole, not patched up by the decoder's
// error concealment.
bool Whole(const AVFrame& f) { return !(f.flags & AV_FRAME_FLAG_CORRUPT) && f.decode_error_flags == 0; }

// The picture filters' slice threads. Left to the library there is one per processor, and
// for pictures of web-video size their meeting at every frame costs more than the scaling
// they share (about a quarter of a DVD chapter's processor time to FLV); two keep most of
// the scaling off the converting thread for little hand-over.
constexpr int kPictureFilterThreads = 2;

int OpenDecoder(const AVStream* st, CodecPtr& out) {
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) return crUnknownCodec;
    CodecPtr c(avcodec_alloc_context3(codec));
    if (!c || avcodec_parameters_to_context(c.get(), st->codecpar) < 0) return crInternalError;
    c->pkt_timebase = st->time_base;
    c->thread_count = 0;
    if (avcodec_open2(c.get(), codec, nullptr) < 0) return crUnknownCodec;
    out = std::move(c);
    return 0;
}

// The sample rate nearest to the asked one that the encoder and the container can carry.
int ChooseSampleRate(int asked, const AVCodec* codec, const std::string& format) {
    std::vector<int> allowed;
    if (format == "flv") allowed = {44100, 22050, 11025};  // all a Flash player can play
    else if (codec->supported_samplerates)
        for (const int* r = codec->supported_samplerates; *r; ++r) allowed.push_back(*r);
    if (allowed.empty()) return asked;
    int best = allowed.front();
    for (int r : allowed)
        if (std::abs(r - asked) < std::abs(best - asked)) best = r;
    return best;
}

// A DVD sub-picture burned into a decoded 4:2:0 picture.
struct Subtitle {
    AVSubtitle sub{};
    bool valid = false;
    double start = 0, end = 0;  // seconds on the input's trimmed time line
    void Reset() {
        if (valid) avsubtitle_free(&sub);
        valid = false;
    }
    ~Subtitle() { Reset(); }

    void BurnInto(AVFrame* f) const {
        if (f->format != AV_PIX_FMT_YUV420P && f->format != AV_PIX_FMT_YUVJ420P) return;
        for (unsigned i = 0; i < sub.num_rects; ++i) {
            const AVSubtitleRect* r = sub.rects[i];
            if (r->type != SUBTITLE_BITMAP || !r->data[0] || !r->data[1]) continue;
            const auto* palette = reinterpret_cast<const std::uint32_t*>(r->data[1]);
            for (int y = 0; y < r->h; ++y) {
                int fy = r->y + y;
                if (fy < 0 || fy >= f->height) continue;
                for (int x = 0; x < r->w; ++x) {
                    int fx = r->x + x;
                    if (fx < 0 || fx >= f->width) continue;
                    std::uint32_t argb = palette[r->data[0][y * r->linesize[0] + x] % std::max(1, r->nb_colors)];
                    int a = argb >> 24;
                    if (!a) continue;
                    int R = (argb >> 16) & 255, G = (argb >> 8) & 255, B = argb & 255;
                    int Y = (66 * R + 129 * G + 25 * B + 128) / 256 + 16;
                    std::uint8_t& py = f->data[0][fy * f->linesize[0] + fx];
                    py = std::uint8_t((py * (255 - a) + Y * a) / 255);
                    if ((fx | fy) & 1) continue;
                    int U = (-38 * R - 74 * G + 112 * B + 128) / 256 + 128;
                    int V = (112 * R - 94 * G - 18 * B + 128) / 256 + 128;
                    std::uint8_t& pu = f->data[1][(fy / 2) * f->linesize[1] + fx / 2];
                    std::uint8_t& pv = f->data[2][(fy / 2) * f->linesize[2] + fx / 2];
                    pu = std::uint8_t((pu * (255 - a) + U * a) / 255);
                    pv = std::uint8_t((pv * (255 - a) + V * a) / 255);
                }
            }
        }
    }
};

// Encodes the frames of one output stream on a thread of its own, so that decoding,
// filtering and the encoders of picture and sound run side by side. Packets reach the
// muxer under a lock shared by the streams of one output.
class StreamEncoder {
public:
    StreamEncoder(AVCodecContext* enc, AVStream* st, AVFormatContext* out, std::mutex& muxLock)
        : enc_(enc), st_(st), out_(out), muxLock_(muxLock), packet_(av_packet_alloc()) {
        thread_ = std::thread([this] { Loop(); });
    }
    ~StreamEncoder() {
        {
            std::lock_guard l(lock_);
            stop_ = true;
        }
        ready_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    StreamEncoder(const StreamEncoder&) = delete;
    StreamEncoder& operator=(const StreamEncoder&) = delete;

    // Queues a frame (a new reference is taken); nullptr flushes the encoder. While the
    // queue is full, `cancelled` is still asked, so that a slow encoder cannot hold up a
    // cancel.
    int Submit(const AVFrame* f, const std::function<bool()>& cancelled) {
        FramePtr copy(f ? av_frame_clone(f) : nullptr);
        if (f && !copy) return crInternalError;
        std::unique_lock l(lock_);
        while (!space_.wait_for(l, std::chrono::milliseconds(20),
                                [this] { return queue_.size() < kDepth || result_ != 0 || done_; }))
            if (cancelled()) return crCancelled;
        if (result_ || done_) return result_ ? result_ : int(crInternalError);
        queue_.push_back(std::move(copy));
        if (Ready()) ready_.notify_one();
        return 0;
    }

    // Flushes the encoder and waits until every packet is written.
    int Finish() {
        int r = Submit(nullptr, [] { return false; });
        if (thread_.joinable()) thread_.join();
        std::lock_guard l(lock_);
        return r ? r : result_;
    }

    // The library's text of the failure that stopped the encoder (empty: none).
    std::string Error() {
        std::lock_guard l(lock_);
        return error_;
    }

private:
    static constexpr size_t kDepth = 8;
    // The thread is woken when a few frames wait (or the last has come) and then takes them
    // all, rather than once for every frame: fewer thread switches for the same work.
    static constexpr size_t kBatch = 4;

    // Whether the thread has work to take; under lock_.
    bool Ready() const { return queue_.size() >= kBatch || (!queue_.empty() && !queue_.back()) || stop_; }

    void Loop() {
        std::deque<FramePtr> batch;
        bool end = false;
        while (!end) {
            {
                std::unique_lock l(lock_);
                ready_.wait(l, [this] { return Ready(); });
                if (queue_.empty()) break;
                batch.swap(queue_);
            }
            space_.notify_one();
            for (FramePtr& f : batch) {
                std::string error;
                int r = Encode(f.get(), error);
                if (r || !f) {
                    std::lock_guard l(lock_);
                    result_ = r;
                    error_ = std::move(error);
                    end = true;
                    break;
                }
            }
            batch.clear();
        }
        std::lock_guard l(lock_);
        done_ = true;
        space_.notify_all();
    }

    int Encode(AVFrame* f, std::string& error) {
        if (!packet_) return crInternalError;
        int r = avcodec_send_frame(enc_, f);
        if (r < 0) return error = LibraryError("encoding", r), crEncoderRefused;
        AVPacket* p = packet_.get();
        while (true) {
            r = avcodec_receive_packet(enc_, p);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
            if (r < 0) return error = LibraryError("encoding", r), crEncoderRefused;
            av_packet_rescale_ts(p, enc_->time_base, st_->time_base);
            p->stream_index = st_->index;
            std::lock_guard l(muxLock_);
            if ((r = av_interleaved_write_frame(out_, p)) < 0)
                return error = LibraryError("writing the output", r), crOutputUnwritable;
        }
    }

    AVCodecContext* enc_;
    AVStream* st_;
    AVFormatContext* out_;
    std::mutex& muxLock_;
    PacketPtr packet_;
    std::mutex lock_;
    std::condition_variable ready_, space_;
    std::deque<FramePtr> queue_;
    int result_ = 0;
    std::string error_;
    bool stop_ = false, done_ = false;
    std::thread thread_;
};

// Decodes the pictures of one input on a thread of its own, so that reading, the sound and
// the picture filters go on while a picture is decoded. Packets reach it through a short
// queue; its pictures come back in the decoder's order.
class PictureDecoder {
public:
    explicit PictureDecoder(AVCodecContext* dec) : dec_(dec) { thread_ = std::thread([this] { Loop(); }); }
    ~PictureDecoder() {
        {
            std::lock_guard l(lock_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

    // Queues a packet (a new reference is taken); nullptr ends the input. While the queue is
    // full, `cancelled` is still asked.
    int Send(const AVPacket* p, const std::function<bool()>& cancelled) {
        PacketPtr copy(p ? av_packet_clone(p) : nullptr);
        if (p && !copy) return crInternalError;
        std::unique_lock l(lock_);
        while (!changed_.wait_for(l, std::chrono::milliseconds(20), [this] { return packets_.size() < kDepth; }))
            if (cancelled()) return crCancelled;
        packets_.push_back(std::move(copy));
        changed_.notify_all();
        return 0;
    }

    // Moves the next decoded picture into f: 1, or 0 when none is there; with `wait`, waits
    // for one unless the decoder has given its last. -1 when `cancelled` said so meanwhile.
    int Receive(AVFrame* f, bool wait, const std::function<bool()>& cancelled) {
        std::unique_lock l(lock_);
        while (wait && !changed_.wait_for(l, std::chrono::milliseconds(20),
                                          [this] { return !pictures_.empty() || ended_; }))
            if (cancelled()) return -1;
        if (pictures_.empty()) return 0;
        av_frame_move_ref(f, pictures_.front().get());
        pictures_.pop_front();
        return 1;
    }

private:
    static constexpr size_t kDepth = 8;

    // Pictures are not bounded here: the decoder makes them only from the queued packets,
    // and the converting thread takes them after each packet it sends.
    void Loop() {
        while (true) {
            PacketPtr p;
            {
                std::unique_lock l(lock_);
                changed_.wait(l, [this] { return stop_ || !packets_.empty(); });
                if (stop_) return;
                p = std::move(packets_.front());
                packets_.pop_front();
            }
            changed_.notify_all();
            // A packet the decoder refuses (damage) gives no picture, as when decoded in place.
            if (avcodec_send_packet(dec_, p.get()) >= 0) {
                while (true) {
                    FramePtr f(av_frame_alloc());
                    if (!f || avcodec_receive_frame(dec_, f.get()) < 0) break;
                    std::lock_guard l(lock_);
                    pictures_.push_back(std::move(f));
                    changed_.notify_all();
                }
            }
            if (!p) {
                std::lock_guard l(lock_);
                ended_ = true;
                changed_.notify_all();
                return;
            }
        }
    }

    AVCodecContext* dec_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<PacketPtr> packets_;
    std::deque<FramePtr> pictures_;
    bool stop_ = false, ended_ = false;
    std::thread thread_;
};

class Job {
public:
    Job(const JobPlan& plan, const Hooks& hooks) : plan_(plan), hooks_(hooks) {}
    ~Job() {
        // The encoder threads write into the output: they end before it is closed.
        videoWorker_.reset();
        audioWorker_.reset();
        if (out_) {
            out_->pb = nullptr;  // the writer's
            avformat_free_context(out_);
        }
        writer_.Close();
        if (fifo_) av_audio_fifo_free(fifo_);
        if (!tempPath_.empty()) std::remove(tempPath_.c_str());
    }

    // The library's text of the failure Run returned, when a library call failed.
    std::string Error() const {
        if (!error_.empty()) return error_;
        for (StreamEncoder* worker : {videoWorker_.get(), audioWorker_.get()})
            if (worker && !worker->Error().empty()) return worker->Error();
        return {};
    }

    int Run(const std::vector<const InputPlan*>& inputs) {
        if (inputs.empty() || plan_.outputPath.empty()) return crIncompleteJob;
        interrupt_.callback = &Job::Interrupt;
        interrupt_.opaque = this;
        packet_.reset(av_packet_alloc());
        if (!packet_) return crInternalError;
        const std::size_t slash = plan_.outputPath.rfind('/');
        RemoveDeadPartFiles(slash == std::string::npos ? "." : slash == 0 ? "/" : plan_.outputPath.substr(0, slash));
        if (plan_.thumbnail || plan_.format == "image2") return Thumbnail(*inputs.front());
        for (const InputPlan* in : inputs) {
            SourcePtr src;
            int r = OpenSource(*in, &interrupt_, src);
            if (!r && !out_) r = OpenOutput(*src, *in);
            if (!r) r = Convert(*src, *in);
            if (r) return cancelled_.load() ? int(crCancelled) : r;
        }
        int r = Finish();
        // A cancel that lands while the job finishes ends it as cancelled, whatever the
        // finish gave: nothing is left under the output's name.
        if (Cancelled(true)) return crCancelled;
        if (r) return r;
        if (std::rename(tempPath_.c_str(), plan_.outputPath.c_str()) != 0) return crOutputUnwritable;
        tempPath_.clear();
        return 0;
    }

private:
    // Keeps the library's text of the first failure beside the code the job returns.
    int Fail(int result, const char* step, int averror) {
        if (error_.empty()) error_ = LibraryError(step, averror);
        return result;
    }

    // Asked by the demuxer while it waits for data, and by the loop between packets.
    static int Interrupt(void* opaque) { return static_cast<Job*>(opaque)->Cancelled() ? 1 : 0; }

    // Whether the job is to stop. The caller's query is asked only on the thread that runs
    // the job (at most every 20 ms, or now when `force`); other threads see its last answer.
    bool Cancelled(bool force = false) {
        if (cancelled_.load()) return true;
        if (!hooks_.cancelled || std::this_thread::get_id() != owner_) return false;
        auto now = Clock::now();
        if (force || now - lastCancelQuery_ >= std::chrono::milliseconds(20)) {
            lastCancelQuery_ = now;
            if (hooks_.cancelled()) cancelled_.store(true);
        }
        return cancelled_.load();
    }

    void Progress(bool force) {
        auto now = Clock::now();
        if (!hooks_.progress || (!force && now - lastProgress_ < std::chrono::milliseconds(200))) return;
        lastProgress_ = now;
        hooks_.progress(double(videoFrames_) / av_q2d(rate_), knownLength_);
    }

    // Output settings come from the job, and where the job leaves them open from the
    // first input.
    int OpenOutput(const Source& src, const InputPlan& in) {
        int r = avformat_alloc_output_context2(&out_, nullptr, plan_.format.empty() ? nullptr : plan_.format.c_str(),
                                               plan_.outputPath.c_str());
        if (r < 0 || !out_) return Fail(crUnknownOutputFormat, "choosing the output format", r < 0 ? r : AVERROR(EINVAL));
        const AVStream* vs = src.fmt->streams[src.video];
        if (plan_.frameRate > 0) {
            rate_ = RateOf(plan_.frameRate);
        } else {
            AVRational r = vs->avg_frame_rate.num > 0 ? vs->avg_frame_rate : vs->r_frame_rate;
            rate_ = r.num > 0 && r.den > 0 && av_q2d(r) <= 120 ? r : AVRational{25, 1};
        }
        width_ = plan_.width, height_ = plan_.height;
        if (width_ <= 0 || height_ <= 0) {
            int cw = vs->codecpar->width - in.cropLeft - in.cropRight;
            int ch = vs->codecpar->height - in.cropTop - in.cropBottom;
            AVRational sar = vs->codecpar->sample_aspect_ratio;
            width_ = Even(sar.num > 0 && sar.den > 0 ? int(std::lround(cw * av_q2d(sar))) : cw);
            height_ = Even(ch);
        }
        width_ = Even(width_), height_ = Even(height_);

        const AVCodec* vcodec = plan_.videoEncoder.empty() ? avcodec_find_encoder(out_->oformat->video_codec)
                                                           : avcodec_find_encoder_by_name(plan_.videoEncoder.c_str());
        if (!vcodec || vcodec->type != AVMEDIA_TYPE_VIDEO) return crEncoderMissing;
        venc_.reset(avcodec_alloc_context3(vcodec));
        if (!venc_) return crInternalError;
        venc_->width = width_;
        venc_->height = height_;
        venc_->time_base = av_inv_q(rate_);
        venc_->framerate = rate_;
        venc_->sample_aspect_ratio = {1, 1};
        venc_->pix_fmt = vcodec->pix_fmts ? vcodec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        if (plan_.videoBitrate > 0) venc_->bit_rate = std::int64_t(plan_.videoBitrate) * 1000;
        venc_->thread_count = 0;
        if (out_->oformat->flags & AVFMT_GLOBALHEADER) venc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if ((r = avcodec_open2(venc_.get(), vcodec, nullptr)) < 0) return Fail(crEncoderRefused, "opening the video encoder", r);
        vstream_ = avformat_new_stream(out_, nullptr);
        if (!vstream_ || avcodec_parameters_from_context(vstream_->codecpar, venc_.get()) < 0) return crInternalError;
        vstream_->time_base = venc_->time_base;
        vstream_->avg_frame_rate = rate_;

        AVCodecID aid = out_->oformat->audio_codec;
        const AVCodec* acodec = plan_.audioEncoder.empty()
                                    ? (aid == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(aid))
                                    : avcodec_find_encoder_by_name(plan_.audioEncoder.c_str());
        if (!plan_.audioEncoder.empty() && (!acodec || acodec->type != AVMEDIA_TYPE_AUDIO)) return crEncoderMissing;
        if (acodec) {
            const AVCodecParameters* ap = src.audio >= 0 ? src.fmt->streams[src.audio]->codecpar : nullptr;
            int channels = plan_.channels > 0 ? plan_.channels : ap ? ap->ch_layout.nb_channels : 2;
            channels = std::clamp(channels, 1, 2);
            int asked = plan_.sampleRate > 0 ? plan_.sampleRate : ap && ap->sample_rate > 0 ? ap->sample_rate : 44100;
            aenc_.reset(avcodec_alloc_context3(acodec));
            if (!aenc_) return crInternalError;
            aenc_->sample_rate = ChooseSampleRate(asked, acodec, plan_.format);
            av_channel_layout_default(&aenc_->ch_layout, channels);
            aenc_->sample_fmt = acodec->sample_fmts ? acodec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
            if (plan_.audioBitrate > 0) aenc_->bit_rate = std::int64_t(plan_.audioBitrate) * 1000;
            aenc_->time_base = {1, aenc_->sample_rate};
            if (out_->oformat->flags & AVFMT_GLOBALHEADER) aenc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            if ((r = avcodec_open2(aenc_.get(), acodec, nullptr)) < 0)
                return Fail(crEncoderRefused, "opening the audio encoder", r);
            astream_ = avformat_new_stream(out_, nullptr);
            if (!astream_ || avcodec_parameters_from_context(astream_->codecpar, aenc_.get()) < 0)
                return crInternalError;
            astream_->time_base = aenc_->time_base;
            fifo_ = av_audio_fifo_alloc(aenc_->sample_fmt, channels, 4096);
            if (!fifo_) return crInternalError;
            char layout[64];
            av_channel_layout_describe(&aenc_->ch_layout, layout, sizeof layout);
            audioLayout_ = layout;
        }
        if (!(out_->oformat->flags & AVFMT_NOFILE)) {
            int fd = CreatePartFile(plan_.outputPath, tempPath_);
            if (fd < 0) return crOutputUnwritable;
            if (!writer_.Open(fd)) return crInternalError;
            out_->pb = writer_.avio;
        }
        if ((r = avformat_write_header(out_, nullptr)) < 0) return Fail(crEncoderRefused, "writing the output header", r);
        videoWorker_ = std::make_unique<StreamEncoder>(venc_.get(), vstream_, out_, muxLock_);
        if (aenc_) audioWorker_ = std::make_unique<StreamEncoder>(aenc_.get(), astream_, out_, muxLock_);
        return 0;
    }

    // The part of an input the job takes: checks crop and trim against the source.
    int CheckInput(const Source& src, const InputPlan& in, double& start, double& length) const {
        const AVCodecParameters* vp = src.fmt->streams[src.video]->codecpar;
        if (in.cropTop < 0 || in.cropBottom < 0 || in.cropLeft < 0 || in.cropRight < 0 ||
            vp->width - in.cropLeft - in.cropRight < 2 || vp->height - in.cropTop - in.cropBottom < 2)
            return crCropTooLarge;
        start = std::max(0, in.trimStart);
        if (src.duration > 0 && start >= src.duration) return crTrimBeyondEnd;
        length = in.trimLength > 0 ? double(in.trimLength) : 0;
        if (src.duration > 0) length = length > 0 ? std::min(length, src.duration - start) : src.duration - start;
        return 0;
    }

    int Convert(Source& src, const InputPlan& in) {
        double start = 0, length = 0;
        int r = CheckInput(src, in, start, length);
        if (r) return r;
        knownLength_ += length;
        CodecPtr vdec, adec, sdec;
        if ((r = OpenDecoder(src.fmt->streams[src.video], vdec))) return r;
        if (src.audio >= 0 && aenc_ && OpenDecoder(src.fmt->streams[src.audio], adec)) src.audio = -1;
        if (src.subtitle >= 0 && OpenDecoder(src.fmt->streams[src.subtitle], sdec)) src.subtitle = -1;
        for (unsigned i = 0; i < src.fmt->nb_streams; ++i)
            src.fmt->streams[i]->discard =
                int(i) == src.video || int(i) == src.audio || int(i) == src.subtitle || src.isDvd ? AVDISCARD_DEFAULT
                                                                                                 : AVDISCARD_ALL;
        // A chapter whose clock may start anew inside it cannot be searched by time stamp:
        // it is read from its start and what lies before the trim is dropped on the way.
        if (start > 0 && !(src.dvd && DvdStreamMayRestartClock(*src.dvd))) {
            std::int64_t ts = std::int64_t((start + src.startTime) * AV_TIME_BASE);
            avformat_seek_file(src.fmt, -1, std::numeric_limits<std::int64_t>::min(), ts, ts, 0);
        }

        Segment seg;
        seg.src = &src;
        seg.in = &in;
        seg.start = start;
        seg.firstFrame = videoFrames_;
        seg.targetFrames = length > 0 ? std::llround(length * av_q2d(rate_)) : -1;
        FramePtr frame(av_frame_alloc());
        if (!frame) return crInternalError;
        // Pictures are decoded beside the reading, except where a subtitle is burned in: it
        // goes into the pictures decoded after it was read, so they stay in step.
        std::unique_ptr<PictureDecoder> pictures;
        if (src.subtitle < 0 && (!src.isDvd || src.wantedSubtitle < 0)) pictures = std::make_unique<PictureDecoder>(vdec.get());
        bool readError = false;
        while (!seg.videoDone || (adec && !seg.audioDone)) {
            if (Cancelled()) return crCancelled;
            Progress(false);
            int rr = av_read_frame(src.fmt, packet_.get());
            if (rr < 0) {
                readError = rr != AVERROR_EOF;
                break;
            }
            int si = packet_->stream_index;
            if (si == src.video && !seg.videoDone) {
                if (pictures) {
                    r = pictures->Send(packet_.get(), cancelCheck_);
                    if (!r) r = DrainVideo(seg, *pictures, frame.get(), false);
                } else if (avcodec_send_packet(vdec.get(), packet_.get()) >= 0) {
                    r = DrainVideo(seg, vdec.get(), frame.get());
                }
            } else if (si == src.audio && adec && !seg.audioDone) {
                if (avcodec_send_packet(adec.get(), packet_.get()) >= 0) r = DrainAudio(seg, adec.get(), frame.get());
            } else if (si == src.subtitle || (src.subtitle < 0 && src.IsWantedSubtitle(src.fmt->streams[si]))) {
                if (src.subtitle < 0 && !OpenDecoder(src.fmt->streams[si], sdec)) src.subtitle = si;
                if (sdec) DecodeSubtitle(seg, sdec.get());
            }
            av_packet_unref(packet_.get());
            if (r) return r;
        }
        if (cancelled_.load()) return crCancelled;
        // Flush what the decoders and filters still hold.
        if (pictures && !seg.videoDone) {
            if ((r = pictures->Send(nullptr, cancelCheck_)) || (r = DrainVideo(seg, *pictures, frame.get(), true)))
                return r;
        } else if (!pictures && !seg.videoDone && avcodec_send_packet(vdec.get(), nullptr) >= 0 &&
                   (r = DrainVideo(seg, vdec.get(), frame.get()))) {
            return r;
        }
        if (seg.video.src && !seg.videoDone) {
            // The stream ends where its last picture's time ends, so that the frame-rate
            // filter keeps that picture.
            if (av_buffersrc_close(seg.video.src, seg.videoEnd, AV_BUFFERSRC_FLAG_PUSH) < 0) return crInternalError;
            if ((r = PullVideo(seg))) return r;
        }
        if (adec && !seg.audioDone && avcodec_send_packet(adec.get(), nullptr) >= 0 &&
            (r = DrainAudio(seg, adec.get(), frame.get())))
            return r;
        if (seg.audio.src && !seg.audioDone) {
            if (av_buffersrc_add_frame(seg.audio.src, nullptr) < 0) return crInternalError;
            if ((r = PullAudio(seg))) return r;
        }
        // Sectors of the chapter that cannot be read fail the job, even when a part of it
        // was converted: a silently shortened chapter would pass for a good one.
        if (src.dvd && DvdStreamFailed(*src.dvd)) return crDvdUnreadable;
        std::int64_t made = videoFrames_ - seg.firstFrame;
        if (made == 0) {
            if (readError) return crInputUnreadable;
            return start > 0 && src.duration <= 0 ? crTrimBeyondEnd : crNoWholePicture;
        }
        // Pictures the decoder only patched up (a stream cut before its first picture was
        // whole) are no film: an output of them alone would pass for a converted source.
        if (seg.wholePictures == 0) return crNoWholePicture;
        // A source that ends a little early is held on its last picture, so that the
        // inputs of a merge follow each other at their stated lengths.
        if (seg.targetFrames > made && seg.targetFrames - made <= std::llround(av_q2d(rate_))) {
            while (videoFrames_ - seg.firstFrame < seg.targetFrames)
                if ((r = EncodeVideo(seg.last.get()))) return r;
        }
        return PadAudio();
    }

    struct Segment {
        Source* src = nullptr;
        const InputPlan* in = nullptr;
        double start = 0;
        std::int64_t firstFrame = 0;
        std::int64_t targetFrames = -1;
        bool videoDone = false, audioDone = false;
        FilterGraph video, audio;
        FramePtr last;  // the last picture encoded, for holding
        std::int64_t videoEnd = 0;  // where the last picture given to the filters ends (stream time base)
        std::int64_t wholePictures = 0;  // pictures taken that decoded without damage
        bool audioStarted = false;
        std::int64_t audioSkip = 0;  // output samples still to drop: sound from before the start
        Subtitle subtitle;
        TimeLine videoTime, audioTime;
    };

    double TimeOf(const Source& src, int stream, std::int64_t ts, double start) const {
        return ts == AV_NOPTS_VALUE ? -1e9 : ts * av_q2d(src.fmt->streams[stream]->time_base) - src.startTime - start;
    }

    int DrainVideo(Segment& seg, AVCodecContext* dec, AVFrame* f) {
        while (avcodec_receive_frame(dec, f) >= 0)
            if (int r = TakePicture(seg, f)) return r;
        return 0;
    }

    // The pictures the decoder thread has made so far; with `last`, all up to its end.
    int DrainVideo(Segment& seg, PictureDecoder& pictures, AVFrame* f, bool last) {
        int got;
        while ((got = pictures.Receive(f, last, cancelCheck_)) > 0)
            if (int r = TakePicture(seg, f)) return r;
        return got < 0 ? int(crCancelled) : 0;
    }

    // One decoded picture (unreferenced here) into the filters and on to the encoder.
    int TakePicture(Segment& seg, AVFrame* f) {
        const double frameTime = 1.0 / av_q2d(rate_);
        const AVStream* vs = seg.src->fmt->streams[seg.src->video];
        double step = vs->avg_frame_rate.num > 0 ? 1.0 / av_q2d(vs->avg_frame_rate) : frameTime;
        double t = seg.videoTime(TimeOf(*seg.src, seg.src->video, f->best_effort_timestamp, seg.start), step);
        if (t < -frameTime / 2 || seg.videoDone) {
            av_frame_unref(f);
            return 0;
        }
        if (seg.targetFrames >= 0 && t >= seg.targetFrames * frameTime + frameTime) {
            seg.videoDone = true;
            av_frame_unref(f);
            return 0;
        }
        if (!seg.video.graph) {
            PictureChain pc;
            pc.sourceWidth = f->width;
            pc.sourceHeight = f->height;
            pc.sourceAspect = f->sample_aspect_ratio.num ? f->sample_aspect_ratio
                                                        : seg.src->fmt->streams[seg.src->video]->codecpar->sample_aspect_ratio;
            pc.outWidth = width_;
            pc.outHeight = height_;
            pc.frameRate = rate_;
            pc.pixelFormat = av_get_pix_fmt_name(venc_->pix_fmt);
            if (pc.sourceWidth - seg.in->cropLeft - seg.in->cropRight < 2 ||
                pc.sourceHeight - seg.in->cropTop - seg.in->cropBottom < 2)
                return crCropTooLarge;
            char args[256];
            AVRational tb = seg.src->fmt->streams[seg.src->video]->time_base;
            std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                          f->width, f->height, f->format, tb.num, tb.den, std::max(1, pc.sourceAspect.num),
                          std::max(1, pc.sourceAspect.den));
            // Pictures the frame rate drops need no scaling: when the source has more
            // pictures a second than the output, the rate comes first. The old film
            // effect's noise changes from picture to picture, so there it stays last.
            AVRational sourceRate = vs->avg_frame_rate.num > 0 ? vs->avg_frame_rate : vs->r_frame_rate;
            std::string chain;
            if (seg.in->effect != 3 && sourceRate.num > 0 && sourceRate.den > 0 && av_cmp_q(sourceRate, rate_) > 0) {
                chain = "fps=" + std::to_string(rate_.num) + "/" + std::to_string(rate_.den) + ":start_time=0,";
                pc.frameRate = {0, 1};
            }
            chain += VideoFilterChain(*seg.in, pc);
            if (int b = seg.video.Build("buffer", args, "buffersink", chain, kPictureFilterThreads); b < 0)
                return Fail(crInternalError, "building the picture filters", b);
        }
        if (Whole(*f)) ++seg.wholePictures;
        if (seg.subtitle.valid && t >= seg.subtitle.start && t < seg.subtitle.end &&
            av_frame_make_writable(f) >= 0)
            seg.subtitle.BurnInto(f);
        const AVRational tb = seg.src->fmt->streams[seg.src->video]->time_base;
        f->pts = std::llround(t / av_q2d(tb));
        seg.videoEnd = std::max(seg.videoEnd, f->pts + std::max<std::int64_t>(1, std::llround(step / av_q2d(tb))));
        int r = av_buffersrc_add_frame_flags(seg.video.src, f, AV_BUFFERSRC_FLAG_KEEP_REF);
        av_frame_unref(f);
        if (r < 0) return Fail(crInternalError, "filtering the picture", r);
        if ((r = PullVideo(seg))) return r;
        return 0;
    }

    int PullVideo(Segment& seg) {
        FramePtr out(av_frame_alloc());
        if (!out) return crInternalError;
        while (av_buffersink_get_frame(seg.video.sink, out.get()) >= 0) {
            if (seg.targetFrames >= 0 && videoFrames_ - seg.firstFrame >= seg.targetFrames) {
                seg.videoDone = true;
                av_frame_unref(out.get());
                continue;
            }
            int r = EncodeVideo(out.get());
            if (r) return r;
            seg.last.reset(av_frame_clone(out.get()));
            av_frame_unref(out.get());
        }
        return 0;
    }

    int EncodeVideo(AVFrame* f) {
        if (!f) return crInternalError;
        f->pts = videoFrames_++;
        f->pict_type = AV_PICTURE_TYPE_NONE;
        if (hooks_.preview) hooks_.preview(f, double(f->pts) / av_q2d(rate_));
        return videoWorker_->Submit(f, cancelCheck_);
    }

    int DrainAudio(Segment& seg, AVCodecContext* dec, AVFrame* f) {
        while (avcodec_receive_frame(dec, f) >= 0) {
            double length = f->sample_rate > 0 ? double(f->nb_samples) / f->sample_rate : 0;
            double t = seg.audioTime(TimeOf(*seg.src, seg.src->audio, f->best_effort_timestamp, seg.start), length);
            if (t + length <= 0 || seg.audioDone) {
                av_frame_unref(f);
                continue;
            }
            if (seg.targetFrames >= 0 && t >= seg.targetFrames / av_q2d(rate_)) {
                seg.audioDone = true;
                av_frame_unref(f);
                continue;
            }
            if (!seg.audio.graph) {
                char layout[64], args[256];
                av_channel_layout_describe(&f->ch_layout, layout, sizeof layout);
                std::snprintf(args, sizeof args, "time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s",
                              f->sample_rate, f->sample_rate, av_get_sample_fmt_name(AVSampleFormat(f->format)), layout);
                std::string chain;
                if (plan_.volume != 255 && plan_.volume >= 0)
                    chain += "volume=" + std::to_string(std::min(plan_.volume, 510) / 255.0) + ",";
                chain += "aresample=" + std::to_string(aenc_->sample_rate) +
                         ",aformat=sample_fmts=" + av_get_sample_fmt_name(aenc_->sample_fmt) +
                         ":channel_layouts=" + audioLayout_;
                if (int b = seg.audio.Build("abuffer", args, "abuffersink", chain, 1); b < 0)
                    return Fail(crInternalError, "building the sound filters", b);
            }
            if (!seg.audioStarted) {
                // The sound starts at the first picture: what comes before it is cut, a
                // late start is preceded by silence.
                seg.audioStarted = true;
                std::int64_t offset = std::llround(t * aenc_->sample_rate);
                if (offset < 0) seg.audioSkip = -offset;
                else if (offset > 0 && WriteSilence(offset)) return crInternalError;
            }
            f->pts = AV_NOPTS_VALUE;
            int r = av_buffersrc_add_frame(seg.audio.src, f);
            av_frame_unref(f);
            if (r < 0) return Fail(crInternalError, "filtering the sound", r);
            if ((r = PullAudio(seg))) return r;
        }
        return 0;
    }

    // Samples the output should hold once the pictures made so far are matched.
    std::int64_t AudioTarget(const Segment* seg) const {
        std::int64_t frames = seg && seg->targetFrames >= 0 ? seg->firstFrame + seg->targetFrames : videoFrames_;
        return av_rescale_q(frames, av_inv_q(rate_), {1, aenc_->sample_rate});
    }

    int PullAudio(Segment& seg) {
        FramePtr out(av_frame_alloc());
        if (!out) return crInternalError;
        while (av_buffersink_get_frame(seg.audio.sink, out.get()) >= 0) {
            if (seg.audioSkip > 0) {
                int drop = int(std::min<std::int64_t>(seg.audioSkip, out->nb_samples));
                seg.audioSkip -= drop;
                if (drop == out->nb_samples) {
                    av_frame_unref(out.get());
                    continue;
                }
                const int planes = av_sample_fmt_is_planar(AVSampleFormat(out->format)) ? out->ch_layout.nb_channels : 1;
                const int bytes = av_get_bytes_per_sample(AVSampleFormat(out->format)) *
                                  (planes == 1 ? out->ch_layout.nb_channels : 1);
                for (int p = 0; p < planes; ++p) out->extended_data[p] += std::ptrdiff_t(drop) * bytes;
                out->nb_samples -= drop;
            }
            std::int64_t room = seg.targetFrames >= 0 ? AudioTarget(&seg) - audioQueued_ : out->nb_samples;
            int n = int(std::clamp<std::int64_t>(room, 0, out->nb_samples));
            if (n > 0 && av_audio_fifo_write(fifo_, reinterpret_cast<void**>(out->extended_data), n) < n)
                return crInternalError;
            audioQueued_ += n;
            av_frame_unref(out.get());
            int r = EncodeAudio(false);
            if (r) return r;
        }
        return 0;
    }

    // Queues `count` samples of silence; 0 or a result code.
    int WriteSilence(std::int64_t count) {
        if (count <= 0) return 0;
        FramePtr silence(av_frame_alloc());
        if (!silence || count > std::numeric_limits<int>::max()) return crInternalError;
        silence->format = aenc_->sample_fmt;
        silence->nb_samples = int(count);
        if (av_channel_layout_copy(&silence->ch_layout, &aenc_->ch_layout) < 0 ||
            av_frame_get_buffer(silence.get(), 0) < 0)
            return crInternalError;
        av_samples_set_silence(silence->extended_data, 0, silence->nb_samples, aenc_->ch_layout.nb_channels,
                               aenc_->sample_fmt);
        if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(silence->extended_data), int(count)) < count)
            return crInternalError;
        audioQueued_ += count;
        return 0;
    }

    // Silence up to the pictures made so far (a source without sound, or a short one).
    int PadAudio() {
        if (!aenc_) return 0;
        if (int r = WriteSilence(AudioTarget(nullptr) - audioQueued_)) return r;
        return EncodeAudio(false);
    }

    // Encodes whole encoder frames from the queue; at the end also the rest.
    int EncodeAudio(bool last) {
        int frameSize = aenc_->frame_size > 0 ? aenc_->frame_size : 1024;
        while (av_audio_fifo_size(fifo_) >= frameSize || (last && av_audio_fifo_size(fifo_) > 0)) {
            int n = std::min(frameSize, av_audio_fifo_size(fifo_));
            FramePtr f(av_frame_alloc());
            if (!f) return crInternalError;
            f->format = aenc_->sample_fmt;
            bool fixed = aenc_->frame_size > 0 && !(aenc_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) &&
                         !(aenc_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
            f->nb_samples = fixed ? frameSize : n;
            if (av_channel_layout_copy(&f->ch_layout, &aenc_->ch_layout) < 0 || av_frame_get_buffer(f.get(), 0) < 0)
                return crInternalError;
            av_samples_set_silence(f->extended_data, 0, f->nb_samples, aenc_->ch_layout.nb_channels, aenc_->sample_fmt);
            if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(f->extended_data), n) < n) return crInternalError;
            f->sample_rate = aenc_->sample_rate;
            f->pts = audioSamples_;
            audioSamples_ += f->nb_samples;
            int r = audioWorker_->Submit(f.get(), cancelCheck_);
            if (r) return r;
        }
        return 0;
    }

    int Finish() {
        int r = 0;
        if (aenc_ && (r = EncodeAudio(true))) return r;
        if ((r = videoWorker_->Finish())) return r;
        if (aenc_ && (r = audioWorker_->Finish())) return r;
        if ((r = av_write_trailer(out_)) < 0) return Fail(crOutputUnwritable, "writing the output trailer", r);
        out_->pb = nullptr;
        if (!writer_.Close()) return crOutputUnwritable;
        Progress(true);
        return 0;
    }

    void DecodeSubtitle(Segment& seg, AVCodecContext* dec) {
        AVSubtitle sub{};
        int got = 0;
        if (avcodec_decode_subtitle2(dec, &sub, &got, packet_.get()) < 0 || !got) return;
        seg.subtitle.Reset();
        double base = sub.pts != AV_NOPTS_VALUE ? double(sub.pts) / AV_TIME_BASE - seg.src->startTime - seg.start
                                                : TimeOf(*seg.src, packet_->stream_index, packet_->pts, seg.start);
        base += seg.videoTime.shift;  // on the picture's continuous time line
        seg.subtitle.sub = sub;
        seg.subtitle.valid = true;
        seg.subtitle.start = base + sub.start_display_time / 1000.0;
        seg.subtitle.end = sub.end_display_time > sub.start_display_time && sub.end_display_time != UINT32_MAX
                               ? base + sub.end_display_time / 1000.0
                               : std::numeric_limits<double>::infinity();
    }

    // One JPEG picture of the input, at the job's frame size or the source's.
    int Thumbnail(const InputPlan& in) {
        SourcePtr src;
        int r = OpenSource(in, &interrupt_, src);
        if (r) return r;
        double start = 0, length = 0;
        if ((r = CheckInput(*src, in, start, length))) return r;
        CodecPtr vdec;
        if ((r = OpenDecoder(src->fmt->streams[src->video], vdec))) return r;
        const AVCodecParameters* vp = src->fmt->streams[src->video]->codecpar;
        // A picture a little into the clip says more than its first, often dark, frame.
        double at = start + (length > 0 ? std::min(1.0, length / 2) : 0);
        FramePtr f(av_frame_alloc()), chosen;
        if (!f) return crInternalError;
        auto take = [&]() {
            while (avcodec_receive_frame(vdec.get(), f.get()) >= 0) {
                if (!Whole(*f)) {
                    av_frame_unref(f.get());
                    continue;
                }
                double t = TimeOf(*src, src->video, f->best_effort_timestamp, 0);
                chosen.reset(av_frame_clone(f.get()));
                av_frame_unref(f.get());
                if (t >= at) return true;
            }
            return false;
        };
        bool found = false;
        while (!found) {
            if (Cancelled()) return crCancelled;
            if (av_read_frame(src->fmt, packet_.get()) < 0) break;
            if (packet_->stream_index == src->video && avcodec_send_packet(vdec.get(), packet_.get()) >= 0) found = take();
            av_packet_unref(packet_.get());
        }
        if (!found && avcodec_send_packet(vdec.get(), nullptr) >= 0) take();
        if (!chosen) return crNoWholePicture;

        const AVCodec* mjpeg = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        if (!mjpeg) return crEncoderMissing;
        CodecPtr enc(avcodec_alloc_context3(mjpeg));
        if (!enc) return crInternalError;
        PictureChain pc;
        pc.sourceWidth = chosen->width;
        pc.sourceHeight = chosen->height;
        pc.sourceAspect = vp->sample_aspect_ratio;
        AVRational sar = pc.sourceAspect.num > 0 ? pc.sourceAspect : AVRational{1, 1};
        int cw = chosen->width - in.cropLeft - in.cropRight, ch = chosen->height - in.cropTop - in.cropBottom;
        pc.outWidth = plan_.width > 0 && plan_.height > 0 ? Even(plan_.width) : Even(int(std::lround(cw * av_q2d(sar))));
        pc.outHeight = plan_.width > 0 && plan_.height > 0 ? Even(plan_.height) : Even(ch);
        pc.pixelFormat = "yuvj420p";
        FilterGraph g;
        char args[256];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=%d/%d", chosen->width,
                      chosen->height, chosen->format, sar.num, sar.den);
        if ((r = g.Build("buffer", args, "buffersink", VideoFilterChain(in, pc), 1)) < 0)
            return Fail(crInternalError, "building the picture filters", r);
        chosen->pts = 0;
        if (av_buffersrc_add_frame(g.src, chosen.get()) < 0 || av_buffersrc_add_frame(g.src, nullptr) < 0)
            return crInternalError;
        FramePtr picture(av_frame_alloc());
        if (!picture || av_buffersink_get_frame(g.sink, picture.get()) < 0) return crInternalError;
        enc->width = picture->width;
        enc->height = picture->height;
        enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
        enc->time_base = {1, 25};
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * 3;
        if ((r = avcodec_open2(enc.get(), mjpeg, nullptr)) < 0) return Fail(crEncoderRefused, "opening the picture encoder", r);
        picture->quality = enc->global_quality;
        picture->pict_type = AV_PICTURE_TYPE_I;
        if (avcodec_send_frame(enc.get(), picture.get()) < 0 || avcodec_send_frame(enc.get(), nullptr) < 0 ||
            avcodec_receive_packet(enc.get(), packet_.get()) < 0)
            return crEncoderRefused;
        int fd = CreatePartFile(plan_.outputPath, tempPath_);
        if (fd < 0) return crOutputUnwritable;
        if (!writer_.Open(fd)) return crInternalError;
        avio_write(writer_.avio, packet_->data, packet_->size);
        bool ok = writer_.Close();
        av_packet_unref(packet_.get());
        if (Cancelled(true)) return crCancelled;
        if (!ok || std::rename(tempPath_.c_str(), plan_.outputPath.c_str()) != 0) return crOutputUnwritable;
        tempPath_.clear();
        return 0;
    }

    const JobPlan& plan_;
    const Hooks& hooks_;
    std::string error_;  // the library's text of the first failure
    AVIOInterruptCB interrupt_{};
    std::function<bool()> cancelCheck_ = [this] { return Cancelled(); };
    std::atomic<bool> cancelled_{false};
    const std::thread::id owner_ = std::this_thread::get_id();  // the thread that runs the job
    Clock::time_point lastCancelQuery_{};  // the owner's only
    Clock::time_point lastProgress_ = Clock::now();
    AVFormatContext* out_ = nullptr;
    std::string tempPath_;  // the output while it is written
    FileWriter writer_;
    CodecPtr venc_, aenc_;
    std::mutex muxLock_;
    std::unique_ptr<StreamEncoder> videoWorker_, audioWorker_;
    AVStream* vstream_ = nullptr;
    AVStream* astream_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    std::string audioLayout_;
    PacketPtr packet_;
    AVRational rate_{25, 1};
    int width_ = 0, height_ = 0;
    std::int64_t videoFrames_ = 0;   // pictures encoded
    std::int64_t audioQueued_ = 0;   // samples taken into the queue
    std::int64_t audioSamples_ = 0;  // samples encoded
    double knownLength_ = 0;
};

}  // namespace

int RunJob(const JobPlan& job, const std::vector<const InputPlan*>& inputs, const Hooks& hooks) {
    Job j(job, hooks);
    const int result = j.Run(inputs);
    if (result != 0 && result != crCancelled && hooks.failure) {
        const std::string text = j.Error();
        if (!text.empty()) hooks.failure(text);
    }
    return result;
}

}  // namespace morvconv
