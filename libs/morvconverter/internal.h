#pragma once
// The converter's inner pieces: what a job and an input are once taken from the records,
// how sources are opened, and the job runner.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "libs/morvconverter/morvconverter.h"

namespace morvconv {

// Where an input's bytes come from.
struct DvdLocation {
    std::string discRoot;   // what DVDOpen takes: a folder, a device node or an image
    int titleSet = 0;       // from 1
    int titleSetTitle = 0;  // from 1
    int chapter = 0;        // from 0
    double lengthSeconds = 0;  // the chapter's length as the reader gives it (0 unknown)
};

// Source time stamps that jump are made continuous: a DVD chapter whose cells come from
// separately made programs restarts its clock at each. A step back of more than a second,
// or forward of more than five, continues from the previous stamp. Shared by the
// converter and the preview player, so both see the same time line.
struct TimeLine {
    double shift = 0, last = 0;
    bool seen = false;
    int jumps = 0;  // how many jumps were mended
    double operator()(double t, double step) {
        if (t < -1e8) return t;  // no stamp
        t += shift;
        if (seen && (t < last - 1.0 || t > last + 5.0)) {
            shift += last + step - t;
            t = last + step;
            ++jumps;
        }
        last = t;
        seen = true;
        return t;
    }
};

struct InputPlan {
    std::string path;                 // a file; empty for DVD inputs
    std::unique_ptr<DvdLocation> dvd; // a DVD chapter
    const std::vector<std::uint8_t>* memory = nullptr;  // bytes in memory (probing only)
    int audioId = 0;                  // -1 none
    int subtitleId = -1;              // -1 none
    int trimStart = 0;
    int trimLength = 0;               // 0 = to the end
    int cropTop = 0, cropBottom = 0, cropLeft = 0, cropRight = 0;
    std::string aspect = "original";
    int brightness = 0, contrast = 0, saturation = 0;
    bool verticalFlip = false, horizontalFlip = false;
    int effect = 0;
};

struct JobPlan {
    std::string format;        // muxer name
    std::string videoEncoder;  // empty = the format's default
    int videoBitrate = 0;      // kbit/s; 0 = the encoder's default
    int width = 0, height = 0; // 0 = the first input's (cropped) size
    double frameRate = 0;      // 0 = the first input's
    std::string audioEncoder;  // empty = the format's default
    int audioBitrate = 0;
    int channels = 0;
    int sampleRate = 0;
    int volume = 255;
    bool thumbnail = false;
    std::string outputPath;
};

struct Hooks {
    std::function<bool()> cancelled;                         // asked often; true = stop
    std::function<void(double seconds, double total)> progress;  // output seconds so far
    std::function<void(const AVFrame* frame, double seconds)> preview;  // converted frames, or empty
    // The library's own text of the failure the job ends with ("opening the video
    // encoder: Invalid argument"), when a library call failed; not called otherwise.
    std::function<void(const std::string& text)> failure;
};

// What probing a source found.
struct ProbeResult {
    double duration = 0;
    int width = 0, height = 0;
    int videoBitrate = 0;  // kbit/s
    double frameRate = 0;
    int audioBitrate = 0, channels = 0, sampleRate = 0;
};

// An open source: demuxer plus the chosen streams.
struct Source;
struct SourceDeleter {
    void operator()(Source* s) const;
};
using SourcePtr = std::unique_ptr<Source, SourceDeleter>;

// Opens an input and finds its streams; returns 0 or a ConvertResult.
int OpenSource(const InputPlan& in, const AVIOInterruptCB* interrupt, SourcePtr& out);
// Opens and describes an input.
int Probe(const InputPlan& in, ProbeResult& result);

// Runs one job: every input in order into one output. Returns 0 or a ConvertResult.
int RunJob(const JobPlan& job, const std::vector<const InputPlan*>& inputs, const Hooks& hooks);

// The filter chain of an input's picture: crop, scale into the output frame with the
// asked aspect, picture settings, effect, flips, frame rate and pixel format.
struct PictureChain {
    int sourceWidth = 0, sourceHeight = 0;
    AVRational sourceAspect{1, 1};  // sample aspect of the source
    int outWidth = 0, outHeight = 0;
    AVRational frameRate{0, 1};     // {0,1} = keep the timing
    std::string pixelFormat;        // the encoder's
};
std::string VideoFilterChain(const InputPlan& in, const PictureChain& pc);

// Where a seek of a custom reader over `size` bytes at `position` lands: the new position,
// the size for AVSEEK_SIZE, or a negative error.
std::int64_t SeekTarget(std::int64_t offset, int whence, std::int64_t position, std::int64_t size);

// A reader over one DVD chapter's cells, as an AVIOContext for the demuxer.
struct DvdStream;
void CloseDvdStream(DvdStream* s);
struct DvdStreamDeleter {
    void operator()(DvdStream* s) const { CloseDvdStream(s); }
};
using DvdStreamPtr = std::unique_ptr<DvdStream, DvdStreamDeleter>;
// Returns 0 or crDvdUnreadable.
int OpenDvdStream(const DvdLocation& where, DvdStreamPtr& out);
AVIOContext* DvdStreamContext(DvdStream& s);
double DvdStreamLength(const DvdStream& s);  // seconds, from the cells' playback times
bool DvdStreamFailed(const DvdStream& s);    // a read of the disc failed
// Bytes of the chapter's own cells, from the stream's start (what follows is lead-out).
std::int64_t DvdStreamChapterBytes(const DvdStream& s);
// Whether the chapter's cells come from more than one video object: each was multiplexed
// on its own, so the clock may start anew inside the chapter, and a search by time stamp
// cannot be trusted there.
bool DvdStreamMayRestartClock(const DvdStream& s);

}  // namespace morvconv
