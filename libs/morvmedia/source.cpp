// Opening an input (a file, a DVD chapter or bytes in memory) and choosing its streams.
#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "libs/morvconverter/source.h"

namespace morvconv {

namespace {

// Bytes in memory as an AVIOContext (probing of untrusted data in tests and fuzzing).
struct MemoryReader {
    const std::vector<std::uint8_t>* data = nullptr;
    std::int64_t position = 0;

    static int Read(void* opaque, std::uint8_t* buf, int size) {
        auto* m = static_cast<MemoryReader*>(opaque);
        std::int64_t left = std::int64_t(m->data->size()) - m->position;
        if (left <= 0) return AVERROR_EOF;
        int n = int(std::min<std::int64_t>(left, size));
        std::memcpy(buf, m->data->data() + m->position, size_t(n));
        m->position += n;
        return n;
    }
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
        auto* m = static_cast<MemoryReader*>(opaque);
        std::int64_t to = SeekTarget(offset, whence, m->position, std::int64_t(m->data->size()));
        if (to >= 0 && !(whence & AVSEEK_SIZE)) m->position = to;
        return to;
    }
};

// DVD audio stream n is carried under one of these program-stream ids, by its coding.
bool IsDvdAudioId(int streamId, int n) {
    return streamId == 0x80 + n || streamId == 0x88 + n || streamId == 0xa0 + n || streamId == 0x1c0 + n;
}

bool HasStream(const AVFormatContext* fmt, AVMediaType type) {
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (fmt->streams[i]->codecpar->codec_type == type) return true;
    return false;
}

}  // namespace

std::int64_t SeekTarget(std::int64_t offset, int whence, std::int64_t position, std::int64_t size) {
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return size;
        case SEEK_SET: break;
        case SEEK_CUR: offset += position; break;
        case SEEK_END: offset += size; break;
        default: return AVERROR(EINVAL);
    }
    return offset < 0 ? AVERROR(EINVAL) : offset;
}

struct MemorySource {
    MemoryReader reader;
};

void SourceDeleter::operator()(Source* s) const {
    if (!s) return;
    avformat_close_input(&s->fmt);
    if (s->memoryIo) {
        av_freep(&s->memoryIo->buffer);
        avio_context_free(&s->memoryIo);
    }
    delete s->memory;
    delete s;
}

int Source::PickStream(AVMediaType type, int id, bool required) const {
    if (id < 0) return -1;
    int nth = 0;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        if (st->codecpar->codec_type != type) continue;
        if (isDvd) {
            bool match = type == AVMEDIA_TYPE_AUDIO ? IsDvdAudioId(st->id, id) : st->id == 0x20 + id;
            if (match) return int(i);
        } else if (nth++ == id) {
            return int(i);
        }
    }
    return required ? -2 : -1;
}

bool Source::IsWantedSubtitle(const AVStream* st) const {
    if (wantedSubtitle < 0 || st->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) return false;
    return isDvd && st->id == 0x20 + wantedSubtitle;
}

int OpenSource(const InputPlan& in, const AVIOInterruptCB* interrupt, SourcePtr& out) {
    SourcePtr s(new Source);
    s->fmt = avformat_alloc_context();
    if (!s->fmt) return crInternalError;
    if (interrupt) s->fmt->interrupt_callback = *interrupt;
    const AVInputFormat* forced = nullptr;
    const char* url = nullptr;
    if (in.dvd) {
        int r = OpenDvdStream(*in.dvd, s->dvd);
        if (r) return r;
        s->isDvd = true;
        s->fmt->pb = DvdStreamContext(*s->dvd);
        s->fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
        forced = av_find_input_format("mpeg");
    } else if (in.memory) {
        s->memory = new MemorySource;
        s->memory->reader.data = in.memory;
        const int size = 16384;
        auto* buffer = static_cast<unsigned char*>(av_malloc(size));
        if (!buffer) return crInternalError;
        s->memoryIo = avio_alloc_context(buffer, size, 0, &s->memory->reader, &MemoryReader::Read, nullptr,
                                         &MemoryReader::Seek);
        if (!s->memoryIo) {
            av_free(buffer);
            return crInternalError;
        }
        s->fmt->pb = s->memoryIo;
        s->fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    } else {
        // Only regular files: a named pipe or a device would block or never end.
        struct stat st {};
        if (in.path.empty() || stat(in.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            access(in.path.c_str(), R_OK) != 0)
            return crInputUnreadable;
        url = in.path.c_str();
    }
    // Only local files: a playlist or reference file must not reach out to the network.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int r = avformat_open_input(&s->fmt, url, forced, &options);
    av_dict_free(&options);
    if (r < 0) {
        // avformat_open_input frees the context on failure.
        s->fmt = nullptr;
        if (s->dvd && DvdStreamFailed(*s->dvd)) return crDvdUnreadable;
        if (r == AVERROR_EXIT) return crCancelled;
        if (s->isDvd) return crDamagedInput;  // the disc's sectors hold no program stream
        if (r == AVERROR(EIO) || r == AVERROR(EACCES) || r == AVERROR(ENOENT) || r == AVERROR(EISDIR))
            return crInputUnreadable;
        return crInputUnknownFormat;
    }
    // A text file is not a film, though one demuxer shows any text as a picture of letters.
    if (std::strcmp(s->fmt->iformat->name, "tty") == 0) return crInputUnknownFormat;
    r = avformat_find_stream_info(s->fmt, nullptr);
    if (r == AVERROR_EXIT) return crCancelled;
    if (s->dvd && DvdStreamFailed(*s->dvd)) return crDvdUnreadable;
    s->video = av_find_best_stream(s->fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    // Without a stream that could be read the bytes were never media at all.
    if (s->video < 0) return s->isDvd ? crDamagedInput : r < 0 ? crInputUnknownFormat : crNoVideo;
    const AVCodecParameters* vp = s->fmt->streams[s->video]->codecpar;
    if (!avcodec_find_decoder(vp->codec_id)) return crUnknownCodec;
    if (vp->width <= 0 || vp->height <= 0) return crDamagedInput;

    // A source without any sound is taken as silent, whatever stream was asked for.
    s->audio = HasStream(s->fmt, AVMEDIA_TYPE_AUDIO) ? s->PickStream(AVMEDIA_TYPE_AUDIO, in.audioId, true) : -1;
    if (s->audio == -2) return crAudioStreamMissing;
    if (s->audio >= 0 && !avcodec_find_decoder(s->fmt->streams[s->audio]->codecpar->codec_id)) s->audio = -1;

    // DVD sub-picture streams may first appear after probing; the demuxer adds them when
    // their first packet comes, so a DVD's chosen stream is also taken up later. A file
    // without any subtitle has none to burn in, whatever stream was asked for.
    s->wantedSubtitle = in.subtitleId;
    s->subtitle = s->isDvd || HasStream(s->fmt, AVMEDIA_TYPE_SUBTITLE) ? s->PickStream(AVMEDIA_TYPE_SUBTITLE, in.subtitleId, !s->isDvd) : -1;
    if (s->subtitle == -2) return crSubtitleStreamMissing;

    if (s->fmt->start_time != AV_NOPTS_VALUE) s->startTime = double(s->fmt->start_time) / AV_TIME_BASE;
    // A DVD stores the sound ahead of the picture: the first packets of a cell carry the
    // end of the previous chapter's sound. The chapter begins with its first picture.
    const AVStream* vs = s->fmt->streams[s->video];
    if (s->isDvd && vs->start_time != AV_NOPTS_VALUE) s->startTime = double(vs->start_time) * av_q2d(vs->time_base);
    if (s->dvd) s->duration = DvdStreamLength(*s->dvd);
    if (s->duration <= 0 && s->fmt->duration > 0) s->duration = double(s->fmt->duration) / AV_TIME_BASE;
    out = std::move(s);
    return 0;
}

int Probe(const InputPlan& in, ProbeResult& result) {
    SourcePtr s;
    int r = OpenSource(in, nullptr, s);
    if (r) return r;
    const AVStream* vs = s->fmt->streams[s->video];
    result.duration = s->duration;
    result.width = vs->codecpar->width;
    result.height = vs->codecpar->height;
    std::int64_t vbr = vs->codecpar->bit_rate;
    if (vbr <= 0 && s->fmt->bit_rate > 0) vbr = s->fmt->bit_rate;
    result.videoBitrate = int(vbr / 1000);
    AVRational fr = vs->avg_frame_rate.num > 0 && vs->avg_frame_rate.den > 0 ? vs->avg_frame_rate : vs->r_frame_rate;
    result.frameRate = fr.num > 0 && fr.den > 0 ? av_q2d(fr) : 0;
    if (s->audio >= 0) {
        const AVCodecParameters* ap = s->fmt->streams[s->audio]->codecpar;
        result.audioBitrate = int(ap->bit_rate / 1000);
        result.channels = ap->ch_layout.nb_channels;
        result.sampleRate = ap->sample_rate;
    }
    return 0;
}

}  // namespace morvconv
