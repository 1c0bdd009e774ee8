// The exported operations: records in, jobs run, progress and preview out.
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <map>
#include <mutex>

#include <locale.h>
#include <sys/stat.h>

extern "C" {
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "libs/morvconverter/internal.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace {

using namespace morvconv;

struct InputRecord {
    MediaUIOption pub{};
    std::string path;
    const DvdChapter* chapter = nullptr;
};

struct GroupRecord {
    GroupMediaUIOption pub{};
    std::string formatName;
    const DvdDisc* disc = nullptr;
    std::vector<std::unique_ptr<InputRecord>> inputs;
    std::string failure;  // the library's text of the last conversion's failure
};

// Every group the library handed out, so that a stale or foreign pointer is refused.
std::mutex gRecordsLock;
std::map<const GroupMediaUIOption*, std::unique_ptr<GroupRecord>> gGroups;

std::mutex gProgressLock;
ProgressHandle gHandle{};
ConverterMessagePoster gPoster = nullptr;
std::atomic<bool> gUsingPreview{false};

// The preview sink, and the calls of each sink installed so far that are still running:
// a sink replaced or removed is never called again, and setPreviewSink returns only when
// no call of an earlier sink runs, so that its context may then be freed.
std::mutex gSinkLock;
std::condition_variable gSinkIdle;
ConverterPreviewSink gPreviewSink = nullptr;
void* gPreviewContext = nullptr;
std::uint64_t gSinkGeneration = 0;
std::map<std::uint64_t, int> gSinkCalls;  // generation -> calls running
thread_local int tSinkDepth = 0;           // calls of a sink running on this thread

// FFmpeg writes and reads decimals (filter arguments, options) through the C library in
// the calling thread's locale; a process locale with a decimal comma would break every
// filter string. Each operation runs its thread in the C locale and restores the caller's.
class CLocaleScope {
public:
    CLocaleScope() {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
        if (c) previous_ = uselocale(c);
    }
    ~CLocaleScope() {
        if (previous_) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_ = locale_t(0);
};

void QuietLogs() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

std::string Text(const char* s, size_t width = 4096) {
    if (!s) return {};
    return std::string(s, strnlen(s, width));
}

GroupRecord* Find(const GroupMediaUIOption* g) {
    auto it = gGroups.find(g);
    return it == gGroups.end() ? nullptr : it->second.get();
}

GroupMediaUIOption* NewGroup(GroupMediaUIOption** out, const DvdDisc* disc, const char* formatName) {
    QuietLogs();
    auto rec = std::make_unique<GroupRecord>();
    rec->formatName = Text(formatName);
    rec->disc = disc;
    rec->pub.volume = 255;
    GroupMediaUIOption* g = &rec->pub;
    {
        std::lock_guard lock(gRecordsLock);
        gGroups.emplace(g, std::move(rec));
    }
    if (out) *out = g;
    return g;
}

MediaUIOption* NewInput(GroupMediaUIOption* group, const char* path, const DvdChapter* chapter) {
    std::lock_guard lock(gRecordsLock);
    GroupRecord* g = Find(group);
    if (!g) return nullptr;
    auto in = std::make_unique<InputRecord>();
    in->path = Text(path);
    in->chapter = chapter;
    in->pub.subtitleId = -1;
    MediaUIOption* p = &in->pub;
    g->inputs.push_back(std::move(in));
    return p;
}

// What DVDOpen takes for a title: the folder of its IFO file when that folder exists
// (a disc in a folder or a mounted drive), else the IFO path without its last two parts
// (<device or image>/VIDEO_TS/VTS_nn_0.IFO).
std::string DiscRoot(const char* ifoPath) {
    std::string p = Text(ifoPath);
    size_t slash = p.find_last_of('/');
    if (slash == std::string::npos) return {};
    std::string folder = p.substr(0, slash);
    struct stat st {};
    if (!folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return folder;
    slash = folder.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : folder.substr(0, slash);
}

InputPlan PlanOf(const InputRecord& r) {
    InputPlan s;
    if (r.chapter) {
        s.dvd = std::make_unique<DvdLocation>();
        if (const DvdTitle* t = r.chapter->title) {
            s.dvd->discRoot = DiscRoot(t->ifoPath);
            s.dvd->titleSet = t->titleSetNumber;
            s.dvd->titleSetTitle = t->titleSetTitle;
        }
        s.dvd->chapter = r.chapter->number;
        s.dvd->lengthSeconds = r.chapter->lengthMs / 1000.0;
    } else {
        s.path = r.path;
    }
    const MediaUIOption& m = r.pub;
    s.audioId = m.audioId;
    s.subtitleId = m.subtitleId;
    s.trimStart = m.trimStart;
    s.trimLength = m.trimLength;
    s.cropTop = m.cropTop, s.cropBottom = m.cropBottom, s.cropLeft = m.cropLeft, s.cropRight = m.cropRight;
    if (m.aspect) s.aspect = Text(m.aspect, 20);
    s.brightness = std::clamp(m.brightness, -100, 100);
    s.contrast = std::clamp(m.contrast, -100, 100);
    s.saturation = std::clamp(m.saturation, -100, 100);
    s.verticalFlip = m.verticalFlip != 0;
    s.horizontalFlip = m.horizontalFlip != 0;
    s.effect = m.effect;
    return s;
}

JobPlan JobOf(const GroupRecord& g, const char* formatName) {
    const GroupMediaUIOption& p = g.pub;
    JobPlan j;
    j.format = Text(formatName);
    if (j.format.empty()) j.format = Text(p.formatName);
    if (j.format.empty()) j.format = g.formatName;
    j.videoEncoder = Text(p.videoEncoder);
    j.videoBitrate = p.videoBitrate;
    if (p.frameSize) std::sscanf(p.frameSize, "%dx%d", &j.width, &j.height);
    j.frameRate = p.frameRate > 0 && p.frameRate < 1000 ? p.frameRate : 0;
    j.audioEncoder = Text(p.audioEncoder);
    j.audioBitrate = p.audioBitrate;
    j.channels = p.audioChannels;
    j.sampleRate = p.audioSampleRate;
    j.volume = std::clamp(p.volume, 0, 510);
    j.thumbnail = p.thumbnail == 1;
    j.outputPath = Text(p.outputPath, sizeof p.outputPath);
    return j;
}

void PostProgress(const ProgressHandle& h, ConverterMessagePoster post, double seconds, double total) {
    if (!post || !h.window) return;
    auto* info = new ConvertProgressInfo{};
    info->convertedSeconds = seconds;
    info->totalSeconds = total;
    if (!post(h.window, WM_CONVERTER_PROGRESS, reinterpret_cast<platform::WPARAM>(info), 0)) delete info;
}

// Hands a converted picture to the preview sink as BGRA.
class PreviewConverter {
public:
    ~PreviewConverter() { sws_freeContext(sws_); }
    void operator()(const AVFrame* f, double seconds) {
        if (!gUsingPreview.load()) return;
        {
            std::lock_guard lock(gSinkLock);
            if (!gPreviewSink) return;
        }
        sws_ = sws_getCachedContext(sws_, f->width, f->height, AVPixelFormat(f->format), f->width, f->height,
                                    AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!sws_) return;
        int stride = f->width * 4;
        pixels_.resize(size_t(stride) * f->height);
        std::uint8_t* dst[4] = {pixels_.data(), nullptr, nullptr, nullptr};
        int dstStride[4] = {stride, 0, 0, 0};
        sws_scale(sws_, f->data, f->linesize, 0, f->height, dst, dstStride);
        // The sink is taken, and its call counted, under one lock with its removal.
        ConverterPreviewSink sink;
        void* context;
        std::uint64_t generation;
        {
            std::lock_guard lock(gSinkLock);
            sink = gPreviewSink;
            context = gPreviewContext;
            generation = gSinkGeneration;
            if (!sink) return;
            ++gSinkCalls[generation];
        }
        ++tSinkDepth;
        sink(pixels_.data(), f->width, f->height, stride, seconds, context);
        --tSinkDepth;
        std::lock_guard lock(gSinkLock);
        if (--gSinkCalls[generation] == 0) gSinkCalls.erase(generation);
        gSinkIdle.notify_all();
    }

private:
    SwsContext* sws_ = nullptr;
    std::vector<std::uint8_t> pixels_;
};

void FillInfo(MediaInfo* info, const ProbeResult& p) {
    info->duration = p.duration;
    // Rounded up (less a hair of rounding noise), so that a trim to the whole length keeps
    // the last fraction of a second; a trim longer than the source is cut to the source.
    info->durationSeconds = int(std::ceil(std::max(0.0, p.duration - 0.05)));
    info->width = p.width;
    info->height = p.height;
    info->videoBitrate = p.videoBitrate;
    info->frameRate = float(p.frameRate);
    info->audioBitrate = p.audioBitrate;
    info->audioChannels = p.channels;
    info->audioSampleRate = p.sampleRate;
}

}  // namespace

extern "C" {

std::int32_t isSupportFormat(const char* path) {
    QuietLogs();
    CLocaleScope cLocale;
    InputPlan in;
    in.path = Text(path);
    ProbeResult p;
    return Probe(in, p);
}

std::int32_t getFileInfo(MediaInfo* info) {
    if (!info) return crIncompleteJob;
    QuietLogs();
    CLocaleScope cLocale;
    InputPlan in;
    in.path = Text(info->path, sizeof info->path);
    ProbeResult p;
    int r = Probe(in, p);
    if (!r) FillInfo(info, p);
    return r;
}

std::int32_t getDVDProperties(MediaInfo* info) {
    if (!info) return crIncompleteJob;
    QuietLogs();
    CLocaleScope cLocale;
    InputPlan in;
    {
        std::lock_guard lock(gRecordsLock);
        GroupRecord* g = Find(info->group);
        if (!g || g->inputs.empty() || !g->inputs.front()->chapter) return crIncompleteJob;
        in = PlanOf(*g->inputs.front());
    }
    ProbeResult p;
    int r = Probe(in, p);
    if (!r) FillInfo(info, p);
    return r;
}

GroupMediaUIOption* createGroupMediaUIOptionForDVD(GroupMediaUIOption** group, const DvdDisc* disc,
                                                   const char* formatName, std::int32_t) {
    return NewGroup(group, disc, formatName);
}

GroupMediaUIOption* createGroupMediaUIOption(GroupMediaUIOption** group, const char* formatName, std::int32_t) {
    return NewGroup(group, nullptr, formatName);
}

MediaUIOption* createMediaUIOptionForDVD(GroupMediaUIOption* group, const DvdChapter* chapter) {
    return chapter ? NewInput(group, nullptr, chapter) : nullptr;
}

MediaUIOption* createMediaUIOption(GroupMediaUIOption* group, const char* path) {
    return NewInput(group, path, nullptr);
}

void freeGroupMediaUIOption(GroupMediaUIOption** group) {
    if (!group || !*group) return;
    std::unique_ptr<GroupRecord> rec;
    {
        std::lock_guard lock(gRecordsLock);
        auto it = gGroups.find(*group);
        if (it == gGroups.end()) return;
        rec = std::move(it->second);
        gGroups.erase(it);
    }
    *group = nullptr;
    GroupMediaUIOption& p = rec->pub;
    for (char* t : {p.audioEncoder, p.videoEncoder, p.frameSize, p.formatName}) std::free(t);
    for (auto& in : rec->inputs) std::free(in->pub.aspect);
}

std::int32_t converteToMedia(GroupMediaUIOption* group, const char* formatName, std::int32_t) {
    QuietLogs();
    CLocaleScope cLocale;
    JobPlan job;
    std::vector<InputPlan> plans;
    {
        std::lock_guard lock(gRecordsLock);
        GroupRecord* g = Find(group);
        if (!g) return crIncompleteJob;
        job = JobOf(*g, formatName);
        for (auto& in : g->inputs) plans.push_back(PlanOf(*in));
    }
    std::vector<const InputPlan*> inputs;
    for (auto& s : plans) inputs.push_back(&s);

    ProgressHandle handle;
    ConverterMessagePoster poster;
    {
        std::lock_guard lock(gProgressLock);
        handle = gHandle;
        poster = gPoster;
    }
    double posted = 0;
    Hooks hooks;
    if (handle.queryCancel) hooks.cancelled = [&] { return handle.queryCancel() != 0; };
    hooks.progress = [&](double seconds, double total) {
        posted = std::max(posted, seconds);  // never backwards
        PostProgress(handle, poster, posted, total);
    };
    PreviewConverter preview;
    hooks.preview = [&](const AVFrame* f, double seconds) { preview(f, seconds); };
    std::string failure;
    hooks.failure = [&](const std::string& text) { failure = text; };
    const int result = RunJob(job, inputs, hooks);
    std::lock_guard lock(gRecordsLock);
    if (GroupRecord* g = Find(group)) g->failure = std::move(failure);
    return result;
}

std::int32_t getConvertFailureText(const GroupMediaUIOption* group, char* text, std::int32_t size) {
    std::lock_guard lock(gRecordsLock);
    const GroupRecord* g = Find(group);
    const std::string failure = g ? g->failure : std::string();
    if (text && size > 0) {
        const std::size_t n = std::min(failure.size(), static_cast<std::size_t>(size - 1));
        failure.copy(text, n);
        text[n] = 0;
    }
    return static_cast<std::int32_t>(failure.size());
}

void setProgressHandle(const ProgressHandle* handle) {
    std::lock_guard lock(gProgressLock);
    gHandle = handle ? *handle : ProgressHandle{};
}

void setMessagePoster(ConverterMessagePoster poster) {
    std::lock_guard lock(gProgressLock);
    gPoster = poster;
}

void freeConvertProgressInfo(ConvertProgressInfo* info) { delete info; }

void setUsingPreview(std::int32_t on) { gUsingPreview.store(on != 0); }

void setPreviewSink(ConverterPreviewSink sink, void* context) {
    std::unique_lock lock(gSinkLock);
    gPreviewSink = sink;
    gPreviewContext = context;
    const std::uint64_t installed = ++gSinkGeneration;
    // A sink that replaces itself from inside its own call cannot wait for that call.
    if (tSinkDepth > 0) return;
    gSinkIdle.wait(lock, [installed] { return gSinkCalls.empty() || gSinkCalls.begin()->first >= installed; });
}

}  // extern "C"
