// The player: its window, the playing thread of an open list, and the exported operations.
#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>

extern "C" {
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "libs/morvconverter/source.h"
#include "platform/core/messages.h"
#include "libs/morvplayer/internal.h"
#include "libs/morvplayer/morvplayer.h"
#include "libs/morvplayer/picture.h"

using namespace platform;

namespace morvplayer {

namespace {

constexpr UINT WM_PLAYER_REPAINT = WM_APP + 0x4D0;  // a new picture is in the slot
constexpr UINT WM_PLAYER_CLOSE = WM_APP + 0x4D1;    // close asked from another thread
constexpr int kRate = 48000;                        // the sound device's format: 48 kHz, stereo, 16-bit
constexpr double kReportEvery = 0.2;                // seconds between time reports
// How long a capture waits for the picture of a seek asked before it; after that it fails
// rather than write the picture from before the seek.
constexpr auto kSeekShowWait = std::chrono::seconds(10);
// A source without an index of key frames (a DVD's program stream) is searched by stamps
// alone and may land after the key frame the target needs: the search starts this much
// earlier, further back when the first picture still comes after the target.
constexpr double kSeekLeads[] = {0, 1, 3, 10};
constexpr int kDvdFirstLead = 1;  // a DVD's first search starts a second early

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
// A decoded sub-picture, shared by the playing thread's queue and the picture on show.
using SubtitlePtr = std::shared_ptr<AVSubtitle>;
SubtitlePtr OwnSubtitle(const AVSubtitle& decoded) {
    return SubtitlePtr(new AVSubtitle(decoded), [](AVSubtitle* s) {
        avsubtitle_free(s);
        delete s;
    });
}
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;
struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class Session;
void RenderKept();

// What the operations, the window and the playing thread share. Everything behind `mu`
// except the atomics; the window's own fields belong to the window's thread.
struct Player {
    std::mutex mu;
    PlayerHost host{};
    bool hasHost = false;
    HWND hwnd = nullptr;
    std::thread::id windowThread;
    int winWidth = 0, winHeight = 0;
    Image idle, back;  // at the window's size
    Image slot;        // what the window shows when not idle
    bool slotIdle = true;
    Rect videoRect;    // where the picture sits in the slot
    int sourceWidth = 0, sourceHeight = 0;
    PictureSettings settings;
    std::uint64_t settingsVersion = 0;
    FramePtr shown;    // the decoded frame on show, for snapshots
    SubtitlePtr shownSubtitle;  // the sub-picture burnt into it, if any
    // The last decoded frame shown (also after a stop that showed the idle picture), so that
    // a change of the settings while nothing plays shows it again with them.
    FramePtr kept;
    SubtitlePtr keptSubtitle;
    std::shared_ptr<Session> session;
    // Seeks asked of the open lists, and the last one whose picture is on show (or that
    // showed none): a capture waits until the picture on show is that of the last seek.
    std::uint64_t seekAsked = 0, seekShown = 0;
    std::condition_variable seekShownChanged;
    // Renders the kept frame again, one at a time (its filter chain is reused).
    std::mutex keptRender;
    FrameRenderer keptRenderer;
    SDL_AudioDeviceID audio = 0;
    bool audioTried = false;
    int audioBlock = 0;  // samples the device takes from the queue at a time
    // Opening and closing the sound device, one at a time. Held without `mu`: the sound
    // system's start-up can take seconds on a busy machine, and the window must go on
    // painting meanwhile.
    std::mutex audioOpening;
    std::atomic<PlayerTimeCallback> timeCallback{nullptr};
    std::atomic<PlayerCropCallback> cropCallback{nullptr};
    std::atomic<std::uint32_t> gain{0xFFFFFFFFu};
    // The window's thread only: a drag of the crop frame.
    int dragEdges = 0;  // 1 left, 2 right, 4 top, 8 bottom; 15 the whole frame
    int dragX = 0, dragY = 0;
    PictureSettings dragStart;
};

Player& P() {
    static Player* p = new Player;  // lives as long as the process: threads may outlive statics
    return *p;
}

// Asks the window to show the slot again.
void PostRepaint() {
    Player& p = P();
    HWND h;
    decltype(PlayerHost::PostMessage) post;
    {
        std::lock_guard lock(p.mu);
        if (!p.hasHost || !p.hwnd) return;
        h = p.hwnd;
        post = p.host.PostMessage;
    }
    post(h, WM_PLAYER_REPAINT, 0, 0);
}

void ShowIdle() {
    {
        std::lock_guard lock(P().mu);
        P().slotIdle = true;
        P().shown.reset();  // the idle picture is nothing to take a snapshot of
        P().shownSubtitle.reset();
    }
    PostRepaint();
}

// Puts a picture of the video rectangle into the slot, on the second picture. A picture of
// a list (owner) shows only while that list is the open one: one rendered as it was being
// stopped must not cover the idle picture.
void ShowVideo(const Image& video, const Rect& rect, int sourceWidth, int sourceHeight,
               std::optional<const Session*> owner = std::nullopt) {
    Player& p = P();
    {
        std::lock_guard lock(p.mu);
        if (owner && p.session.get() != *owner) return;
        if (p.winWidth <= 0 || p.winHeight <= 0) return;
        if (p.slot.width != p.winWidth || p.slot.height != p.winHeight) p.slot.Resize(p.winWidth, p.winHeight);
        if (p.back.width == p.winWidth && p.back.height == p.winHeight) p.slot.pixels = p.back.pixels;
        else std::fill(p.slot.pixels.begin(), p.slot.pixels.end(), 0);
        for (int y = 0; y < video.height && rect.y + y < p.slot.height; ++y) {
            if (rect.y + y < 0) continue;
            int w = std::min(video.width, p.slot.width - rect.x);
            if (w <= 0 || rect.x < 0) break;
            std::memcpy(p.slot.pixels.data() + (std::size_t(rect.y + y) * p.slot.width + rect.x) * 4,
                        video.pixels.data() + std::size_t(y) * video.width * 4, std::size_t(w) * 4);
        }
        p.slotIdle = false;
        p.videoRect = rect;
        p.sourceWidth = sourceWidth;
        p.sourceHeight = sourceHeight;
    }
    PostRepaint();
}

// The sound device, opened on first need: 48 kHz stereo 16-bit, fed by queueing.
SDL_AudioDeviceID AudioDevice() {
    Player& p = P();
    std::lock_guard opening(p.audioOpening);
    {
        std::lock_guard lock(p.mu);
        if (p.audio || p.audioTried) return p.audio;
    }
    SDL_AudioDeviceID device = 0;
    int block = 0;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        SDL_AudioSpec want{}, have{};
        want.freq = kRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!device) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        block = device ? have.samples : 0;
    }
    std::lock_guard lock(p.mu);
    p.audioTried = true;
    p.audio = device;
    p.audioBlock = block;
    return device;
}

// ------------------------------------------------------------------------------------
// The playing thread of one open list.
// ------------------------------------------------------------------------------------

class Session {
public:
    explicit Session(Playlist list) : list_(std::move(list)) {}
    ~Session() {
        Stop();
        // The thread holds the session while it runs: the last holder may be the thread itself.
        if (thread_.joinable()) {
            if (OnThisThread()) thread_.detach();
            else thread_.join();
        }
    }

    static void Start(const std::shared_ptr<Session>& s) {
        std::lock_guard lock(s->mu_);
        s->thread_ = std::thread([s] { s->Run(); });
    }
    void Join() {
        std::thread::id self = std::this_thread::get_id();
        std::unique_lock lock(mu_);
        if (!thread_.joinable() || thread_.get_id() == self) return;
        std::thread t = std::move(thread_);
        lock.unlock();
        t.join();
    }
    bool OnThisThread() {
        std::lock_guard lock(mu_);
        return thread_.get_id() == std::this_thread::get_id();
    }
    void Play(bool play) {
        std::lock_guard lock(mu_);
        playing_ = play;
        cv_.notify_all();
    }
    // False when the list has ended: nothing will show for the seek.
    bool Seek(double position, std::uint64_t id) {
        std::lock_guard lock(mu_);
        if (finished_) return false;
        seekPending_ = true;
        seekTo_ = position;
        seekId_ = id;
        lastSeekId_ = id;
        cv_.notify_all();
        return true;
    }
    // Whether the playing thread still shows pictures (false once its list ended).
    bool Rendering() const { return !finished_.load(); }
    void Stop() {
        std::lock_guard lock(mu_);
        stop_ = true;
        cv_.notify_all();
    }

private:
    struct Shown {
        FramePtr frame;
        double time;
    };
    struct Sub {
        SubtitlePtr sub;
        double start = 0, end = 0;
    };

    void Run();
    bool OpenPiece(int index, double media);
    void ClosePiece();
    bool SeekWithin(double media);
    bool SeekFrom(double media, int lead);
    bool SearchAgain();
    bool ReadMore();  // false at the end of the piece's packets
    void TakeVideo(AVFrame* f);
    void TakeAudio(AVFrame* f);
    void TakeSubtitle(AVPacket* pkt);
    void Render(const AVFrame* f, double time);
    bool Stopped();
    void Report(double position, bool ended);
    void ResetTimeline(double position);
    double Held() const;
    // Waits for a command or the timeout; true when a command came.
    bool Wait(double seconds);

    Playlist list_;
    std::thread thread_;
    std::mutex mu_;
    std::condition_variable cv_;
    bool playing_ = false, stop_ = false, seekPending_ = false;
    double seekTo_ = 0;
    std::uint64_t seekId_ = 0, lastSeekId_ = 0;
    std::atomic<bool> finished_{false};

    // The playing thread's own.
    int piece_ = -1;
    morvconv::SourcePtr src_;
    CodecPtr vdec_, adec_, sdec_;
    SwrPtr swr_;
    PacketPtr pkt_{av_packet_alloc()};
    FramePtr frame_{av_frame_alloc()};
    bool eof_ = false;        // nothing more of this piece is wanted
    bool videoDone_ = false;  // a picture past the piece's end came
    bool audioDone_ = false;  // sound past the piece's end came
    std::deque<Shown> queue_;      // decoded frames waiting for their time
    std::deque<Sub> subs_;
    double dropBefore_ = -1e300;   // frames and sound before this time are decoded and dropped
    std::uint64_t seekToShow_ = 0; // the seek whose first picture is still to show
    // Where the last search in the piece aimed (seconds within the source), how far
    // before it the search started (an index into kSeekLeads), whether the first picture
    // after it is still to be checked, and whether it came too late.
    double seekMedia_ = 0;
    int seekLead_ = 0;
    bool checkLanding_ = false, landedLate_ = false;
    double frameDuration_ = 0.04;
    SDL_AudioDeviceID audio_ = 0;
    double soundEnd_ = 0;
    bool soundStarted_ = false;
    std::unique_ptr<PlayClock> clock_;
    FrameRenderer renderer_;
    std::uint64_t renderedVersion_ = 0;
    FramePtr last_;                // the last frame shown
    double lastTime_ = 0;
    // Stamps that restart inside a piece are made continuous; a piece known to hold such
    // a restart is sought by decoding from its start, as its stamps cannot be searched.
    morvconv::TimeLine videoLine_, audioLine_;
    std::vector<bool> restarts_;
    bool StampsRestart();
};

double Session::Held() const {
    return audio_ ? double(SDL_GetQueuedAudioSize(audio_) / 4) : 0;
}

bool Session::Wait(double seconds) {
    std::unique_lock lock(mu_);
    if (stop_ || seekPending_) return true;
    cv_.wait_for(lock, std::chrono::duration<double>(std::max(0.0, std::min(seconds, 0.02))));
    return stop_ || seekPending_;
}

void Session::ClosePiece() {
    vdec_.reset();
    adec_.reset();
    sdec_.reset();
    swr_.reset();
    src_.reset();
    queue_.clear();
    subs_.clear();
    piece_ = -1;
    eof_ = videoDone_ = audioDone_ = false;
}

// Whether the chapter's last picture stamps disagree with its length: its clock
// restarted (or leapt) somewhere inside. Reads a little of the chapter's end.
bool Session::StampsRestart() {
    if (!src_ || !src_->dvd || src_->duration <= 0) return false;
    const std::int64_t end = morvconv::DvdStreamChapterBytes(*src_->dvd);
    if (av_seek_frame(src_->fmt, -1, std::max<std::int64_t>(0, end - 512 * 1024), AVSEEK_FLAG_BYTE) < 0) return false;
    const AVStream* st = src_->fmt->streams[src_->video];
    double last = std::nan("");
    for (int i = 0; i < 2000 && av_read_frame(src_->fmt, pkt_.get()) >= 0; ++i) {
        bool past = pkt_->pos >= end;
        if (!past && pkt_->stream_index == src_->video && pkt_->pts != AV_NOPTS_VALUE) {
            double t = pkt_->pts * av_q2d(st->time_base);
            last = std::isnan(last) ? t : std::max(last, t);
        }
        av_packet_unref(pkt_.get());
        if (past) break;
    }
    if (std::isnan(last)) return false;
    last -= src_->startTime;
    return last < src_->duration - 1.5 || last > src_->duration + 4.0;
}

bool Session::SeekWithin(double media) {
    return SeekFrom(media, src_ && src_->isDvd ? kDvdFirstLead : 0);
}

// Searches `kSeekLeads[lead]` seconds before the target (from the start when that reaches
// it); the frames before the target are decoded and dropped on the way.
bool Session::SeekFrom(double media, int lead) {
    if (!src_) return false;
    seekMedia_ = media;
    seekLead_ = lead;
    checkLanding_ = landedLate_ = false;
    for (auto* d : {vdec_.get(), adec_.get(), sdec_.get()})
        if (d) avcodec_flush_buffers(d);
    queue_.clear();
    eof_ = videoDone_ = audioDone_ = false;
    videoLine_ = audioLine_ = morvconv::TimeLine{};
    // Frames before the target are decoded and dropped on the way.
    if (restarts_[std::size_t(piece_)]) media = 0;
    if (lead < int(std::size(kSeekLeads))) media -= kSeekLeads[lead];
    else media = 0;
    if (media < 0.05) {
        // From the start: no seek, so that nothing before the first key frame is lost. A
        // DVD chapter goes back to its first byte: a search for its first stamp may land
        // in a later cell whose clock restarted at the same value.
        if (src_->isDvd) return av_seek_frame(src_->fmt, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
        return avio_seek(src_->fmt->pb, 0, SEEK_SET) >= 0 &&
               avformat_seek_file(src_->fmt, -1, INT64_MIN, src_->fmt->start_time == AV_NOPTS_VALUE ? 0 : src_->fmt->start_time,
                                  INT64_MAX, 0) >= 0;
    }
    std::int64_t ts = std::int64_t((media + src_->startTime) * AV_TIME_BASE);
    checkLanding_ = true;
    return av_seek_frame(src_->fmt, -1, ts, AVSEEK_FLAG_BACKWARD) >= 0;
}

bool Session::OpenPiece(int index, double media) {
    ClosePiece();
    const Piece& pc = list_.pieces[std::size_t(index)];
    morvconv::InputPlan in;
    if (pc.dvd) {
        in.dvd = std::make_unique<morvconv::DvdLocation>();
        // The disc opens at the IFO's folder when it exists, else at the path without
        // its last two parts (a device or an image).
        std::string folder = pc.path.substr(0, pc.path.find_last_of('/') == std::string::npos ? 0 : pc.path.find_last_of('/'));
        struct stat st {};
        if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            folder = folder.substr(0, folder.find_last_of('/') == std::string::npos ? 0 : folder.find_last_of('/'));
        in.dvd->discRoot = folder;
        in.dvd->titleSet = pc.titleSet;
        in.dvd->titleSetTitle = pc.titleSetTitle;
        in.dvd->chapter = pc.chapter;
    } else {
        in.path = pc.path;
    }
    in.audioId = pc.audioId;
    in.subtitleId = pc.subtitleId;
    int r = morvconv::OpenSource(in, nullptr, src_);
    // A stream that is not there plays without it.
    if (r == crAudioStreamMissing || r == crSubtitleStreamMissing) {
        in.audioId = r == crAudioStreamMissing ? -1 : in.audioId;
        in.subtitleId = -1;
        r = morvconv::OpenSource(in, nullptr, src_);
    }
    if (r) return false;
    auto open = [](const AVStream* st, CodecPtr& out, const Piece* palette) {
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        if (!codec) return false;
        CodecPtr c(avcodec_alloc_context3(codec));
        if (!c || avcodec_parameters_to_context(c.get(), st->codecpar) < 0) return false;
        c->pkt_timebase = st->time_base;
        c->thread_count = 1;  // a preview is small: one thread decodes it, and costs the least CPU
        AVDictionary* opts = nullptr;
        if (palette && st->codecpar->codec_id == AV_CODEC_ID_DVD_SUBTITLE) {
            // The title's own sub-picture colours, as the disc's player would show them.
            std::string text;
            char one[8];
            for (const auto& c3 : palette->palette) {
                std::snprintf(one, sizeof one, "%02x%02x%02x", c3[0], c3[1], c3[2]);
                if (!text.empty()) text += ',';
                text += one;
            }
            av_dict_set(&opts, "palette", text.c_str(), 0);
        }
        bool ok = avcodec_open2(c.get(), codec, &opts) >= 0;
        av_dict_free(&opts);
        if (ok) out = std::move(c);
        return ok;
    };
    const AVStream* vs = src_->fmt->streams[src_->video];
    if (!open(vs, vdec_, nullptr)) return false;
    AVRational fr = vs->avg_frame_rate.num > 0 ? vs->avg_frame_rate : vs->r_frame_rate;
    frameDuration_ = fr.num > 0 && fr.den > 0 ? std::clamp(av_q2d(av_inv_q(fr)), 0.005, 0.5) : 0.04;
    if (src_->audio >= 0 && audio_ && open(src_->fmt->streams[src_->audio], adec_, nullptr)) {
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        SwrContext* s = nullptr;
        if (swr_alloc_set_opts2(&s, &stereo, AV_SAMPLE_FMT_S16, kRate, &adec_->ch_layout, adec_->sample_fmt,
                                adec_->sample_rate, 0, nullptr) < 0 || swr_init(s) < 0) {
            swr_free(&s);
            adec_.reset();
        } else {
            swr_.reset(s);
        }
    }
    if (src_->subtitle >= 0) open(src_->fmt->streams[src_->subtitle], sdec_, &pc);
    for (unsigned i = 0; i < src_->fmt->nb_streams; ++i)
        if (int(i) != src_->video && int(i) != src_->audio && int(i) != src_->subtitle && !src_->isDvd)
            src_->fmt->streams[i]->discard = AVDISCARD_ALL;
    piece_ = index;
    if (restarts_.size() != list_.pieces.size()) restarts_.assign(list_.pieces.size(), false);
    if (src_->isDvd && !restarts_[std::size_t(index)] && (morvconv::DvdStreamMayRestartClock(*src_->dvd) || StampsRestart()))
        restarts_[std::size_t(index)] = true;
    if (!SeekWithin(media)) SeekWithin(0);
    return true;
}

void Session::ResetTimeline(double position) {
    clock_->Reset(position);
    soundStarted_ = false;
    if (audio_) SDL_ClearQueuedAudio(audio_);
    dropBefore_ = position - frameDuration_ / 2;
}

// The last search landed after the target's key frame: again from further back, and from
// the piece's start when the stamps cannot be searched at all.
bool Session::SearchAgain() {
    return SeekFrom(seekMedia_, seekLead_ + 1) || SeekFrom(seekMedia_, int(std::size(kSeekLeads)));
}

void Session::TakeVideo(AVFrame* f) {
    const Piece& pc = list_.pieces[std::size_t(piece_)];
    const AVStream* st = src_->fmt->streams[src_->video];
    std::int64_t ts = f->best_effort_timestamp;
    double media = ts == AV_NOPTS_VALUE ? (queue_.empty() ? pc.mediaIn : 0)
                                        : videoLine_(ts * av_q2d(st->time_base) - src_->startTime, frameDuration_);
    // A restart inside the piece (not in the lead-out after it) is remembered for seeks.
    if (videoLine_.jumps > 0 && media < pc.mediaOut) restarts_[std::size_t(piece_)] = true;
    double t = ts == AV_NOPTS_VALUE && !queue_.empty() ? queue_.back().time + frameDuration_
                                                        : pc.timelineIn + (media - pc.mediaIn);
    if (checkLanding_) {
        // The first picture after a search: later than the target means the search landed
        // past the key frame the target needs (the decoder skipped to the next one).
        checkLanding_ = false;
        if (ts != AV_NOPTS_VALUE && t > pc.timelineIn + (seekMedia_ - pc.mediaIn) + frameDuration_ / 2) {
            landedLate_ = true;
            return;
        }
    }
    if (t < dropBefore_ || t < pc.timelineIn - frameDuration_ / 2) return;
    if (t >= pc.TimelineOut() - 1e-6) {
        videoDone_ = true;  // past the piece's end: no picture after it is wanted
        return;
    }
    queue_.push_back({FramePtr(av_frame_clone(f)), t});
}

void Session::TakeAudio(AVFrame* f) {
    if (!swr_ || !audio_) return;
    const Piece& pc = list_.pieces[std::size_t(piece_)];
    const AVStream* st = src_->fmt->streams[src_->audio];
    int maxOut = swr_get_out_samples(swr_.get(), f->nb_samples);
    if (maxOut <= 0) return;
    std::vector<std::int16_t> buf(std::size_t(maxOut) * 2);
    std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(buf.data())};
    int n = swr_convert(swr_.get(), out, maxOut, const_cast<const std::uint8_t**>(f->extended_data), f->nb_samples);
    if (n <= 0) return;
    double t = f->best_effort_timestamp == AV_NOPTS_VALUE
                   ? soundEnd_
                   : pc.timelineIn + (audioLine_(f->best_effort_timestamp * av_q2d(st->time_base) - src_->startTime,
                                                 double(f->nb_samples) / std::max(1, f->sample_rate)) -
                                      pc.mediaIn);
    int first = 0, last = n;
    double from = std::max({dropBefore_ + frameDuration_ / 2, pc.timelineIn, soundStarted_ ? soundEnd_ : -1e300});
    if (t < from) first = std::min(n, int((from - t) * kRate));
    if (t >= pc.TimelineOut()) audioDone_ = true;
    if (t + double(n) / kRate > pc.TimelineOut()) last = std::max(first, int((pc.TimelineOut() - t) * kRate));
    if (last <= first) return;
    std::uint32_t g = P().gain.load();
    int left = int(g & 0xFFFF), right = int(g >> 16);
    for (int i = first; i < last; ++i) {
        buf[std::size_t(i) * 2] = std::int16_t(buf[std::size_t(i) * 2] * left / 65535);
        buf[std::size_t(i) * 2 + 1] = std::int16_t(buf[std::size_t(i) * 2 + 1] * right / 65535);
    }
    if (!soundStarted_) {
        soundEnd_ = t + double(first) / kRate;
        soundStarted_ = true;
    }
    SDL_QueueAudio(audio_, buf.data() + std::size_t(first) * 2, Uint32(last - first) * 4);
    soundEnd_ += double(last - first) / kRate;
    clock_->SoundQueued(soundEnd_);
}

void Session::TakeSubtitle(AVPacket* pkt) {
    if (!sdec_) return;
    const Piece& pc = list_.pieces[std::size_t(piece_)];
    AVSubtitle sub{};
    int got = 0;
    if (avcodec_decode_subtitle2(sdec_.get(), &sub, &got, pkt) < 0 || !got) return;
    const AVStream* st = src_->fmt->streams[pkt->stream_index];
    double base = pkt->pts == AV_NOPTS_VALUE ? lastTime_
                                             : pc.timelineIn + pkt->pts * av_q2d(st->time_base) - src_->startTime +
                                                   videoLine_.shift - pc.mediaIn;
    Sub s;
    s.sub = OwnSubtitle(sub);
    s.start = base + sub.start_display_time / 1000.0;
    s.end = sub.end_display_time > sub.start_display_time && sub.end_display_time != UINT32_MAX
                ? base + sub.end_display_time / 1000.0
                : 1e300;
    // A new sub-picture ends the one before it.
    if (!subs_.empty() && subs_.back().end > s.start) subs_.back().end = s.start;
    subs_.push_back(s);
}

bool Session::ReadMore() {
    // The sound is read on to the piece's end after the last picture.
    if (videoDone_ && (audioDone_ || !adec_)) eof_ = true;
    if (eof_) return false;
    int r = av_read_frame(src_->fmt, pkt_.get());
    if (r < 0) {
        eof_ = true;
        for (AVCodecContext* d : {vdec_.get(), adec_.get()}) {
            if (!d) continue;
            avcodec_send_packet(d, nullptr);
            while (avcodec_receive_frame(d, frame_.get()) >= 0) {
                if (d == vdec_.get()) TakeVideo(frame_.get());
                else TakeAudio(frame_.get());
                av_frame_unref(frame_.get());
            }
        }
        if (landedLate_) return SearchAgain();
        return false;
    }
    int si = pkt_->stream_index;
    if (si == src_->video) {
        if (avcodec_send_packet(vdec_.get(), pkt_.get()) >= 0)
            while (avcodec_receive_frame(vdec_.get(), frame_.get()) >= 0) {
                TakeVideo(frame_.get());
                av_frame_unref(frame_.get());
            }
        if (landedLate_) {
            // Search again from further back. The sound queued meanwhile has its right
            // times; what comes again of it is dropped as already played.
            av_packet_unref(pkt_.get());
            SearchAgain();
            return true;
        }
    } else if (si == src_->audio && adec_) {
        if (avcodec_send_packet(adec_.get(), pkt_.get()) >= 0)
            while (avcodec_receive_frame(adec_.get(), frame_.get()) >= 0) {
                TakeAudio(frame_.get());
                av_frame_unref(frame_.get());
            }
    } else if (si == src_->subtitle) {
        TakeSubtitle(pkt_.get());
    } else if (src_->subtitle < 0 && src_->IsWantedSubtitle(src_->fmt->streams[si])) {
        // The chosen sub-picture stream showed up after probing.
        const Piece& pc = list_.pieces[std::size_t(piece_)];
        src_->subtitle = si;
        const AVStream* st = src_->fmt->streams[si];
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        CodecPtr c(codec ? avcodec_alloc_context3(codec) : nullptr);
        if (c && avcodec_parameters_to_context(c.get(), st->codecpar) >= 0) {
            c->pkt_timebase = st->time_base;
            std::string text;
            char one[8];
            for (const auto& c3 : pc.palette) {
                std::snprintf(one, sizeof one, "%02x%02x%02x", c3[0], c3[1], c3[2]);
                if (!text.empty()) text += ',';
                text += one;
            }
            AVDictionary* opts = nullptr;
            av_dict_set(&opts, "palette", text.c_str(), 0);
            if (avcodec_open2(c.get(), codec, &opts) >= 0) sdec_ = std::move(c);
            av_dict_free(&opts);
        }
        TakeSubtitle(pkt_.get());
    }
    av_packet_unref(pkt_.get());
    return true;
}

void Session::Render(const AVFrame* f, double time) {
    Player& p = P();
    PictureSettings s;
    int ww, wh;
    while (!subs_.empty() && subs_.front().end <= time) subs_.pop_front();
    SubtitlePtr burnt = !subs_.empty() && subs_.front().start <= time ? subs_.front().sub : nullptr;
    {
        std::lock_guard lock(p.mu);
        // A list that was stopped (or replaced) meanwhile shows nothing more.
        if (p.session.get() != this) return;
        s = p.settings;
        ww = p.winWidth;
        wh = p.winHeight;
        renderedVersion_ = p.settingsVersion;
        p.shown.reset(av_frame_clone(f));
        p.shownSubtitle = burnt;
        p.kept.reset(av_frame_clone(f));
        p.keptSubtitle = burnt;
        if (seekToShow_) {
            p.seekShown = std::max(p.seekShown, seekToShow_);
            seekToShow_ = 0;
            p.seekShownChanged.notify_all();
        }
    }
    if (last_.get() != f) last_.reset(av_frame_clone(f));
    lastTime_ = time;
    if (ww < 2 || wh < 2) return;
    morvconv::InputPlan plan = s.Plan(f->width, f->height);
    int cw = f->width - plan.cropLeft - plan.cropRight, ch = f->height - plan.cropTop - plan.cropBottom;
    int dw, dh;
    DisplaySize(cw, ch, f->sample_aspect_ratio, plan.aspect, dw, dh);
    Rect rect = FitRect(dw, dh, ww, wh);
    Image img;
    if (!renderer_.Render(f, src_ ? src_->fmt->streams[src_->video]->time_base : AVRational{1, 25}, plan, rect.width,
                          rect.height, img))
        return;
    if (burnt) BurnSubtitle(*burnt, {plan.cropLeft, plan.cropTop, cw, ch}, img);
    ShowVideo(img, rect, f->width, f->height, this);
}

bool Session::Stopped() {
    std::lock_guard lock(mu_);
    return stop_;
}

void Session::Report(double position, bool ended) {
    PlayerTimeCallback cb = P().timeCallback.load();
    if (!cb) return;
    // The length in whole seconds as the DVD reader gives a chapter's or title's: to the
    // nearest second, so that the two agree (the position counts whole seconds played).
    Hms len = ToHms(list_.length + 0.5), pos = ToHms(std::clamp(position, list_.base, list_.End()));
    PlayTimeInfo info{len.hours, len.minutes, len.seconds, pos.hours, pos.minutes, pos.seconds, 0, ended ? 1 : 0};
    cb(&info);
}

void Session::Run() {
    audio_ = AudioDevice();
    int block;
    {
        std::lock_guard lock(P().mu);
        block = P().audioBlock;
    }
    // Beside SDL's queue the device holds the block it is playing: heard later too.
    clock_ = std::make_unique<PlayClock>(SteadySeconds, [this, block] {
        std::int64_t held = std::int64_t(Held());
        return held > 0 ? held + block : held;
    }, kRate);
    bool ended = false, failed = false;
    bool showFirst = true;
    double lastReport = -1e300;
    ResetTimeline(list_.base);
    {
        double media = 0;
        int i = list_.Locate(list_.base, media);
        while (i >= 0 && i < int(list_.pieces.size()) && !OpenPiece(i, media)) {
            ++i;
            if (i < int(list_.pieces.size())) media = list_.pieces[std::size_t(i)].mediaIn;
        }
        if (piece_ < 0) failed = ended = true;
        else ResetTimeline(list_.pieces[std::size_t(piece_)].timelineIn);
    }
    while (!ended) {
        bool playing, seek;
        double seekTo;
        {
            std::lock_guard lock(mu_);
            if (stop_) break;
            playing = playing_;
            seek = seekPending_;
            seekTo = seekTo_;
            seekPending_ = false;
            if (seek) seekToShow_ = seekId_;
        }
        if (seek) {
            double media = 0;
            int i = seekTo >= list_.End() ? -1 : list_.Locate(std::max(seekTo, list_.base), media);
            if (i < 0) {
                ended = true;
                break;
            }
            bool ok = i == piece_ ? SeekWithin(media) : OpenPiece(i, media);
            while (!ok && ++i < int(list_.pieces.size())) ok = OpenPiece(i, media = list_.pieces[std::size_t(i)].mediaIn);
            if (!ok) {
                failed = ended = true;
                break;
            }
            ResetTimeline(std::max(seekTo, list_.pieces[std::size_t(piece_)].timelineIn));
            subs_.clear();
            showFirst = true;
        }
        if (clock_->Paused() == playing) {
            clock_->SetPaused(!playing);
            if (audio_) SDL_PauseAudioDevice(audio_, playing ? 0 : 1);
        }
        // Keep a frame waiting and the device fed half a second ahead.
        while (queue_.empty() || (Held() < kRate / 2 && queue_.size() < 24)) {
            if (!ReadMore()) break;
        }
        if (!playing && !showFirst) {
            // Paused: a changed setting shows at once on the picture on show.
            std::uint64_t version;
            {
                std::lock_guard lock(P().mu);
                version = P().settingsVersion;
            }
            if (last_ && version != renderedVersion_) Render(last_.get(), lastTime_);
            Wait(0.05);
            continue;
        }
        // The device ran dry (the sound ended, or came short): time goes on without it.
        if (playing && soundStarted_ && Held() == 0) clock_->SoundEnded();
        double now = clock_->Position();
        if (playing && SteadySeconds() - lastReport >= kReportEvery) {
            lastReport = SteadySeconds();
            Report(now, false);
            // The report may have stopped the list (a callback that calls stopPlay).
            if (Stopped()) break;
        }
        if (queue_.empty()) {
            if (!eof_) continue;
            // This piece is played out: on to the next, or wait for the list's end.
            const Piece& done = list_.pieces[std::size_t(piece_)];
            if (piece_ + 1 < int(list_.pieces.size())) {
                int next = piece_ + 1;
                bool ok = false;
                while (!ok && next < int(list_.pieces.size())) {
                    ok = OpenPiece(next, list_.pieces[std::size_t(next)].mediaIn);
                    if (!ok) ++next;
                }
                if (ok) continue;
            }
            (void)done;
            clock_->SoundEnded();
            if (showFirst || now >= list_.End() - 0.01 || !playing) {
                if (showFirst || now >= list_.End() - 0.01) ended = true;
                else Wait(0.05);
            } else {
                Wait(list_.End() - now);
            }
            continue;
        }
        Shown& front = queue_.front();
        if (showFirst) {
            Render(front.frame.get(), front.time);
            if (seek || clock_->Position() < front.time) clock_->Reset(front.time);
            queue_.pop_front();
            showFirst = false;
            continue;
        }
        double next = queue_.size() > 1 ? queue_[1].time : std::nan("");
        FrameDecision d = ScheduleFrame(front.time, next, now);
        if (d.action == FrameAction::Wait) {
            Wait(d.wait);
            continue;
        }
        if (d.action == FrameAction::Show) Render(front.frame.get(), front.time);
        queue_.pop_front();
    }
    bool stopped;
    std::uint64_t lastSeek;
    {
        std::lock_guard lock(mu_);
        stopped = stop_;
        finished_ = true;  // from here on no seek is taken
        lastSeek = lastSeekId_;
    }
    if (audio_) {
        SDL_PauseAudioDevice(audio_, 1);
        if (stopped || failed) SDL_ClearQueuedAudio(audio_);
    }
    ClosePiece();
    {
        std::lock_guard lock(P().mu);
        // A seek that ended the list showed no picture of its own: the one from before it
        // is not what was asked for.
        if (seekToShow_ && !stopped && P().session.get() == this) {
            P().shown.reset();
            P().shownSubtitle.reset();
        }
        P().seekShown = std::max(P().seekShown, lastSeek);
        P().seekShownChanged.notify_all();
    }
    // A setting changed after the last picture rendered, while this thread was ending.
    if (!stopped) {
        bool changed;
        {
            std::lock_guard lock(P().mu);
            changed = P().settingsVersion != renderedVersion_;
        }
        if (changed) RenderKept();
    }
    if (stopped) return;
    if (failed) ShowIdle();
    Report(list_.End(), true);
}

// Shows the kept frame again with the settings as they are now, when no playing thread
// renders it: the list played out, or was stopped (also when the idle picture shows, so
// that an adjustment after the end shows on the last picture).
void RenderKept() {
    Player& p = P();
    std::lock_guard one(p.keptRender);
    FramePtr frame;
    SubtitlePtr burnt;
    PictureSettings s;
    int ww, wh;
    const Session* owner;
    {
        std::lock_guard lock(p.mu);
        if (!p.kept || (p.session && p.session->Rendering())) return;
        frame.reset(av_frame_clone(p.kept.get()));
        if (!frame) return;
        burnt = p.keptSubtitle;
        s = p.settings;
        ww = p.winWidth;
        wh = p.winHeight;
        owner = p.session.get();
        p.shown.reset(av_frame_clone(frame.get()));
        p.shownSubtitle = burnt;
    }
    if (ww < 2 || wh < 2) return;
    morvconv::InputPlan plan = s.Plan(frame->width, frame->height);
    int cw = frame->width - plan.cropLeft - plan.cropRight, ch = frame->height - plan.cropTop - plan.cropBottom;
    int dw, dh;
    DisplaySize(cw, ch, frame->sample_aspect_ratio, plan.aspect, dw, dh);
    Rect rect = FitRect(dw, dh, ww, wh);
    Image img;
    if (!p.keptRenderer.Render(frame.get(), {1, 90000}, plan, rect.width, rect.height, img)) return;
    if (burnt) BurnSubtitle(*burnt, {plan.cropLeft, plan.cropTop, cw, ch}, img);
    // Only while no other list was opened meanwhile.
    ShowVideo(img, rect, frame->width, frame->height, owner);
}

// ------------------------------------------------------------------------------------
// The window.
// ------------------------------------------------------------------------------------

constexpr int kEdgeGrip = 6;

// The crop frame in window pixels, for the picture on show.
Rect CropFrame(const Player& p) {
    const Rect& v = p.videoRect;
    if (p.sourceWidth <= 0 || p.sourceHeight <= 0) return v;
    double sx = double(v.width) / p.sourceWidth, sy = double(v.height) / p.sourceHeight;
    const PictureSettings& s = p.settings;
    Rect r;
    r.x = v.x + int(std::lround(s.cropLeft * sx));
    r.y = v.y + int(std::lround(s.cropTop * sy));
    r.width = std::max(1, v.width - int(std::lround((s.cropLeft + s.cropRight) * sx)));
    r.height = std::max(1, v.height - int(std::lround((s.cropTop + s.cropBottom) * sy)));
    return r;
}

void DrawFrame(Image& img, const Rect& r) {
    auto put = [&img](int x, int y, bool dark) {
        if (x < 0 || y < 0 || x >= img.width || y >= img.height) return;
        std::uint8_t* px = img.pixels.data() + (std::size_t(y) * img.width + x) * 4;
        std::uint8_t v = dark ? 0 : 255;
        px[0] = px[1] = px[2] = v;
    };
    // White and black dashes: the frame stays visible on any picture.
    for (int x = r.x; x < r.x + r.width; ++x) {
        put(x, r.y, (x / 4) & 1);
        put(x, r.y + r.height - 1, (x / 4) & 1);
    }
    for (int y = r.y; y < r.y + r.height; ++y) {
        put(r.x, y, (y / 4) & 1);
        put(r.x + r.width - 1, y, (y / 4) & 1);
    }
}

void Paint(HWND hwnd) {
    Player& p = P();
    PAINTSTRUCT ps;
    HDC dc = p.host.BeginPaint(hwnd, &ps);
    Image img;
    {
        std::lock_guard lock(p.mu);
        img = p.slotIdle ? p.idle : p.slot;
        if (!p.slotIdle && p.settings.editMode) DrawFrame(img, CropFrame(p));
    }
    RECT rc{};
    p.host.GetClientRect(hwnd, &rc);
    if (dc && !img.Empty()) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biWidth = img.width;
        bmi.bmiHeader.biHeight = -img.height;
        bmi.bmiHeader.biBitCount = 32;
        p.host.StretchDIBits(dc, 0, 0, rc.right - rc.left, rc.bottom - rc.top, 0, 0, img.width, img.height,
                             img.pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY);
    }
    p.host.EndPaint(hwnd, &ps);
}

void MouseDown(HWND hwnd, int x, int y) {
    Player& p = P();
    {
        std::lock_guard lock(p.mu);
        if (!p.settings.editMode || p.slotIdle) return;
        Rect f = CropFrame(p);
        int edges = 0;
        if (std::abs(x - f.x) <= kEdgeGrip) edges |= 1;
        else if (std::abs(x - (f.x + f.width - 1)) <= kEdgeGrip) edges |= 2;
        if (std::abs(y - f.y) <= kEdgeGrip) edges |= 4;
        else if (std::abs(y - (f.y + f.height - 1)) <= kEdgeGrip) edges |= 8;
        bool inside = x >= f.x && x < f.x + f.width && y >= f.y && y < f.y + f.height;
        if (!edges && inside) edges = 15;
        if (!edges) return;
        p.dragEdges = edges;
        p.dragX = x;
        p.dragY = y;
        p.dragStart = p.settings;
    }
    p.host.SetCapture(hwnd);
}

void MouseMove(HWND hwnd, int x, int y) {
    Player& p = P();
    {
        std::lock_guard lock(p.mu);
        if (!p.dragEdges || p.videoRect.width <= 0 || p.videoRect.height <= 0) return;
        int dx = int(std::lround(double(x - p.dragX) * p.sourceWidth / p.videoRect.width));
        int dy = int(std::lround(double(y - p.dragY) * p.sourceHeight / p.videoRect.height));
        const PictureSettings& a = p.dragStart;
        PictureSettings& s = p.settings;
        const int minSize = 16;  // the frame never closes up
        if (p.dragEdges == 15) {
            dx = std::clamp(dx, -a.cropLeft, a.cropRight);
            dy = std::clamp(dy, -a.cropTop, a.cropBottom);
            s.cropLeft = a.cropLeft + dx, s.cropRight = a.cropRight - dx;
            s.cropTop = a.cropTop + dy, s.cropBottom = a.cropBottom - dy;
        } else {
            if (p.dragEdges & 1) s.cropLeft = std::clamp(a.cropLeft + dx, 0, p.sourceWidth - a.cropRight - minSize);
            if (p.dragEdges & 2) s.cropRight = std::clamp(a.cropRight - dx, 0, p.sourceWidth - a.cropLeft - minSize);
            if (p.dragEdges & 4) s.cropTop = std::clamp(a.cropTop + dy, 0, p.sourceHeight - a.cropBottom - minSize);
            if (p.dragEdges & 8) s.cropBottom = std::clamp(a.cropBottom - dy, 0, p.sourceHeight - a.cropTop - minSize);
        }
        ++p.settingsVersion;
    }
    p.host.InvalidateRect(hwnd, nullptr, FALSE);
}

void MouseUp(HWND hwnd) {
    Player& p = P();
    PlayerCropInfo info{};
    {
        std::lock_guard lock(p.mu);
        if (!p.dragEdges) return;
        p.dragEdges = 0;
        info = {p.settings.cropTop, p.settings.cropBottom, p.settings.cropLeft, p.settings.cropRight};
    }
    p.host.ReleaseCapture();
    p.host.InvalidateRect(hwnd, nullptr, FALSE);
    if (PlayerCropCallback cb = p.cropCallback.load()) cb(&info);
}

void DestroyOwnWindow();

LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Player& p = P();
    switch (msg) {
        case WM_PLAYER_REPAINT: p.host.InvalidateRect(hwnd, nullptr, FALSE); return 0;
        case WM_PLAYER_CLOSE: DestroyOwnWindow(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: Paint(hwnd); return 0;
        case WM_LBUTTONDOWN: MouseDown(hwnd, std::int16_t(lParam & 0xFFFF), std::int16_t((lParam >> 16) & 0xFFFF)); return 0;
        case WM_MOUSEMOVE: MouseMove(hwnd, std::int16_t(lParam & 0xFFFF), std::int16_t((lParam >> 16) & 0xFFFF)); return 0;
        case WM_LBUTTONUP: MouseUp(hwnd); return 0;
        case WM_DESTROY: {
            std::lock_guard lock(p.mu);
            if (p.hwnd == hwnd) p.hwnd = nullptr;
            break;
        }
        default: break;
    }
    return p.host.DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Destroys the window when called on its thread; else asks that thread to.
void DestroyOwnWindow() {
    Player& p = P();
    HWND h;
    PlayerHost host;
    bool own;
    {
        std::lock_guard lock(p.mu);
        if (!p.hasHost || !p.hwnd) return;
        h = p.hwnd;
        host = p.host;
        own = p.windowThread == std::this_thread::get_id();
        if (own) p.hwnd = nullptr;
    }
    if (own) host.DestroyWindow(h);
    else host.PostMessage(h, WM_PLAYER_CLOSE, 0, 0);
}

// ------------------------------------------------------------------------------------
// The open list.
// ------------------------------------------------------------------------------------

// Ends a list and waits for its thread; on the list's own thread (a time report that
// stops the player) it only asks it to stop: the thread ends after the report.
void Finish(std::shared_ptr<Session> s) {
    if (!s) return;
    s->Stop();
    s->Join();
}

void EndSession() {
    std::shared_ptr<Session> s;
    {
        std::lock_guard lock(P().mu);
        s = std::move(P().session);
        P().session.reset();
    }
    Finish(std::move(s));
}

std::shared_ptr<Session> Current() {
    std::lock_guard lock(P().mu);
    return P().session;
}

double FileLength(const std::string& path) {
    morvconv::InputPlan in;
    in.path = path;
    in.audioId = -1;
    morvconv::ProbeResult r;
    return morvconv::Probe(in, r) == 0 ? r.duration : 0;
}

std::int32_t OpenList(Playlist list) {
    EndSession();
    {
        std::lock_guard lock(P().mu);
        P().shown.reset();
        P().shownSubtitle.reset();
        P().kept.reset();
        P().keptSubtitle.reset();
    }
    bool empty = list.pieces.empty();
    if (empty) ShowIdle();
    auto s = std::make_shared<Session>(std::move(list));
    std::shared_ptr<Session> replaced;  // another thread's list opened meanwhile
    {
        std::lock_guard lock(P().mu);
        replaced = std::move(P().session);
        P().session = s;
    }
    Finish(std::move(replaced));
    // Even a list that cannot play has its thread: it sends the end report.
    Session::Start(s);
    return empty ? -1 : 0;
}

void Changed(const std::function<void(PictureSettings&)>& change) {
    bool kept;
    {
        std::lock_guard lock(P().mu);
        change(P().settings);
        ++P().settingsVersion;
        // Without a playing thread to show the change, it shows here.
        kept = P().kept && !(P().session && P().session->Rendering());
    }
    if (kept) RenderKept();
}

}  // namespace
}  // namespace morvplayer

using namespace morvplayer;

extern "C" {

void setPlayerHost(const PlayerHost* host) {
    std::lock_guard lock(P().mu);
    P().hasHost = host != nullptr;
    if (host) P().host = *host;
}

std::int32_t initPlayOption(const char* idlePicture, const char* backPicture, std::int32_t x, std::int32_t y,
                            std::int32_t width, std::int32_t height) {
    DestroyOwnWindow();
    Player& p = P();
    width = std::clamp(width, 0, 8192);
    height = std::clamp(height, 0, 8192);
    Image idle, back, idleScaled, backScaled;
    LoadPicture(idlePicture ? idlePicture : "", idle);
    LoadPicture(backPicture ? backPicture : "", back);
    idleScaled.Resize(width, height);
    backScaled.Resize(width, height);
    if (!idle.Empty()) ScaleInto(idle.pixels.data(), idle.width, idle.height, idle.width * 4, idleScaled, {0, 0, width, height});
    if (!back.Empty()) ScaleInto(back.pixels.data(), back.width, back.height, back.width * 4, backScaled, {0, 0, width, height});
    PlayerHost host;
    {
        std::lock_guard lock(p.mu);
        p.idle = std::move(idleScaled);
        p.back = std::move(backScaled);
        p.winWidth = width;
        p.winHeight = height;
        if (!p.session) p.slotIdle = true;
        if (!p.hasHost) return -1;
        host = p.host;
    }
    static std::once_flag registered;
    std::call_once(registered, [&host] {
        WNDCLASSA cls;
        cls.lpfnWndProc = &WindowProc;
        cls.lpszClassName = "SDL_app";
        host.RegisterClassA(cls);
    });
    HWND h = host.CreateWindowExA(0, "SDL_app", "", WS_POPUP | WS_CLIPCHILDREN, x, y, width, height, nullptr, nullptr,
                                  nullptr, nullptr);
    if (!h) return -1;
    {
        std::lock_guard lock(p.mu);
        p.hwnd = h;
        p.windowThread = std::this_thread::get_id();
    }
    host.InvalidateRect(h, nullptr, FALSE);
    return 0;
}

void close_sdl() {
    EndSession();
    DestroyOwnWindow();
    Player& p = P();
    std::lock_guard opening(p.audioOpening);
    SDL_AudioDeviceID dev;
    {
        std::lock_guard lock(p.mu);
        dev = p.audio;
        p.audio = 0;
        p.audioTried = false;
        p.slotIdle = true;
        p.shown.reset();
        p.shownSubtitle.reset();
        p.kept.reset();
        p.keptSubtitle.reset();
    }
    if (dev) {
        SDL_CloseAudioDevice(dev);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        // The library's own bookkeeping (thread-local data) goes only with a full quit.
        if (SDL_WasInit(0) == 0) SDL_Quit();
    }
}

void setEditWindow(std::int32_t editMode) {
    Changed([editMode](PictureSettings& s) { s.editMode = editMode == 1; });
}

void setPlayerHandle(PlayerTimeCallback* callback) { P().timeCallback = callback ? *callback : nullptr; }
void setCropHandle(PlayerCropCallback* callback) { P().cropCallback = callback ? *callback : nullptr; }

std::int32_t openMultiTitleFile(const TitlePlayRecord* records, std::int32_t count) {
    std::vector<TitlePlayRecord> copy;
    if (records && count > 0) copy.assign(records, records + std::min(count, 10000));
    return OpenList(BuildPlaylist(copy, FileLength));
}

std::int32_t openDvdFile(const DvdPlaybackInfo* info, std::int32_t chapterSelector, std::int32_t startSecond) {
    if (!info) return OpenList(Playlist());
    TitlePlayRecord whole{};
    whole.info = *info;
    whole.chapterSelector = chapterSelector;
    Playlist all = BuildPlaylist({whole}, FileLength);
    TitlePlayRecord from = whole;
    from.startSecond = std::max(0, startSecond);
    Playlist list = BuildPlaylist({from}, FileLength);
    // Positions count from the title's (or chapter's) start.
    list.base = std::max(0, startSecond);
    for (Piece& pc : list.pieces) pc.timelineIn += list.base;
    list.length = all.length;
    return OpenList(std::move(list));
}

std::int32_t openMediaFile(const char* path, std::int32_t startSecond, std::int32_t endSecond) {
    TitlePlayRecord r{};
    r.info.ifoPath = path;
    r.info.audioId = 0;
    r.info.subtitleId = -1;
    r.startSecond = startSecond;
    r.endSecond = endSecond;
    return openMultiTitleFile(&r, 1);
}

void startPlay(std::int32_t) {
    if (auto s = Current()) s->Play(true);
}

void pausePlay() {
    if (auto s = Current()) s->Play(false);
}

void stopPlay(std::int32_t showIdle) {
    EndSession();
    if (showIdle) ShowIdle();
}

void findDvdTimePlay(double seconds) {
    if (!std::isfinite(seconds)) return;
    auto s = Current();
    if (!s) return;
    std::uint64_t id;
    {
        std::lock_guard lock(P().mu);
        id = ++P().seekAsked;
    }
    if (!s->Seek(seconds, id)) {
        // The list has ended: the seek shows nothing, and nothing waits for it.
        std::lock_guard lock(P().mu);
        P().seekShown = std::max(P().seekShown, id);
        P().seekShownChanged.notify_all();
    }
}

void updatePlayer() { stopPlay(1); }

std::int32_t morvCapture(const char* path) {
    if (!path || !*path) return -1;
    FramePtr frame;
    SubtitlePtr subtitle;
    PictureSettings s;
    // Called from the playing thread (a time callback), there is no waiting for it.
    std::shared_ptr<Session> current = Current();
    const bool wait = !(current && current->OnThisThread());
    {
        std::unique_lock lock(P().mu);
        // A seek asked before shows its own picture first; the one from before it is
        // never written as the seek's.
        const std::uint64_t asked = P().seekAsked;
        if (wait && !P().seekShownChanged.wait_for(lock, kSeekShowWait, [asked] { return P().seekShown >= asked; }))
            return -1;
        if (P().shown) frame.reset(av_frame_clone(P().shown.get()));
        subtitle = P().shownSubtitle;
        s = P().settings;
    }
    if (!frame) return -1;
    s.editMode = false;
    morvconv::InputPlan plan = s.Plan(frame->width, frame->height);
    int cw = frame->width - plan.cropLeft - plan.cropRight, ch = frame->height - plan.cropTop - plan.cropBottom;
    int dw, dh;
    DisplaySize(cw, ch, frame->sample_aspect_ratio, plan.aspect, dw, dh);
    FrameRenderer renderer;
    Image img;
    if (!renderer.Render(frame.get(), {1, 90000}, plan, dw, dh, img)) return -1;
    // The snapshot is what the user sees: the sub-picture on show goes into it too.
    if (subtitle) BurnSubtitle(*subtitle, {plan.cropLeft, plan.cropTop, cw, ch}, img);
    return WritePicture(img, path) ? 0 : -1;
}

void setPlayAspectRatio(const char* aspect) {
    std::string a = aspect ? aspect : "";
    if (a != "original" && a != "full" && a != "16:9" && a != "4:3") a = "original";
    Changed([&a](PictureSettings& s) { s.aspect = a; });
}
void setBrightness(std::int32_t v) { Changed([v](PictureSettings& s) { s.brightness = std::clamp(v, -100, 100); }); }
void setContrast(std::int32_t v) { Changed([v](PictureSettings& s) { s.contrast = std::clamp(v, -100, 100); }); }
void setSaturation(std::int32_t v) { Changed([v](PictureSettings& s) { s.saturation = std::clamp(v, -100, 100); }); }
void cropFlim() { Changed([](PictureSettings& s) { s.cropTop = s.cropBottom = s.cropLeft = s.cropRight = 0; }); }
void leftCropFlim(std::int32_t v) { Changed([v](PictureSettings& s) { s.cropLeft = std::clamp(v, 0, 10000); }); }
void rightCropFlim(std::int32_t v) { Changed([v](PictureSettings& s) { s.cropRight = std::clamp(v, 0, 10000); }); }
void upCropFlim(std::int32_t v) { Changed([v](PictureSettings& s) { s.cropTop = std::clamp(v, 0, 10000); }); }
void bottomCropFlim(std::int32_t v) { Changed([v](PictureSettings& s) { s.cropBottom = std::clamp(v, 0, 10000); }); }
void noEffectFlim() { Changed([](PictureSettings& s) { s.effect = 0; }); }
void grayFlim() { Changed([](PictureSettings& s) { s.effect = 1; }); }
void embossFlim() { Changed([](PictureSettings& s) { s.effect = 2; }); }
void oldFlim() { Changed([](PictureSettings& s) { s.effect = 3; }); }
void horiFlipFlim() { Changed([](PictureSettings& s) { s.horizontalFlip = !s.horizontalFlip; }); }
void vertFlipFlim() { Changed([](PictureSettings& s) { s.verticalFlip = !s.verticalFlip; }); }
void noFlipFlim() { Changed([](PictureSettings& s) { s.horizontalFlip = s.verticalFlip = false; }); }

void setOutputGain(std::uint32_t levels) { P().gain = levels; }

void showPreviewFrame(const std::uint8_t* bgra, std::int32_t width, std::int32_t height, std::int32_t stride) {
    if (!bgra || width <= 0 || height <= 0 || width > 16384 || height > 16384 || stride < width * 4) return;
    int ww, wh;
    {
        std::lock_guard lock(P().mu);
        ww = P().winWidth;
        wh = P().winHeight;
    }
    morvplayer::Rect r = FitRect(width, height, ww, wh);
    if (r.width <= 0) return;
    Image img;
    img.Resize(r.width, r.height);
    ScaleInto(bgra, width, height, stride, img, {0, 0, r.width, r.height});
    ShowVideo(img, r, width, height);
}

}  // extern "C"
