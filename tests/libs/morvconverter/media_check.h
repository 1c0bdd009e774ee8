#pragma once
// Test helpers: tiny clips made by the ffmpeg command line, independent checks by ffprobe,
// pictures and sound taken out of a file by ffmpeg, and a job builder over the records.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "libs/morvconverter/morvconverter.h"
#include "support/process.h"

namespace convtest {

inline std::string Quote(const std::string& s) { return testsupport::ShellQuote(s); }
inline std::string Run(const std::string& cmd) { return testsupport::Capture(cmd); }

// A clip from lavfi sources: a test picture and one sine tone per entry of tones.
inline std::string MakeClip(const std::filesystem::path& path, double seconds, const std::string& size = "320x240",
                            const std::string& rate = "25", std::vector<int> tones = {440}, int sampleRate = 48000,
                            const std::string& extra = "") {
    std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i " +
                      Quote("testsrc2=size=" + size + ":rate=" + rate + ":duration=" + std::to_string(seconds));
    std::string maps = " -map 0:v";
    int n = 1;
    for (int tone : tones) {
        cmd += " -f lavfi -i " + Quote("sine=frequency=" + std::to_string(tone) + ":sample_rate=" +
                                        std::to_string(sampleRate) + ":duration=" + std::to_string(seconds));
        maps += " -map " + std::to_string(n++) + ":a";
    }
    cmd += maps + " -c:v mpeg4 -q:v 3 -c:a aac -ac 2 " + extra + " " + Quote(path.string()) + " 2>&1";
    return Run(cmd);
}

// What ffprobe says about a file: "v.codec", "v.width", "v.height", "v.rate", "a.codec",
// "a.sample_rate", "a.channels", "duration".
inline std::map<std::string, std::string> Probe(const std::filesystem::path& path) {
    std::map<std::string, std::string> m;
    std::string out = Run("ffprobe -v error -show_entries "
                          "stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate,channels:format=duration "
                          "-of flat " + Quote(path.string()) + " 2>/dev/null");
    std::map<std::string, std::string> raw;
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        std::string line = out.substr(pos, end - pos);
        pos = end == std::string::npos ? out.size() : end + 1;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string v = line.substr(eq + 1);
        if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
        raw[line.substr(0, eq)] = v;
    }
    for (int i = 0; i < 4; ++i) {
        std::string k = "streams.stream." + std::to_string(i) + ".";
        auto t = raw.find(k + "codec_type");
        if (t == raw.end()) continue;
        std::string p = t->second == "video" ? "v." : t->second == "audio" ? "a." : "s.";
        for (const char* f : {"codec_name", "width", "height", "r_frame_rate", "sample_rate", "channels"})
            if (raw.count(k + f)) m[p + (std::strcmp(f, "codec_name") == 0 ? "codec" : std::strcmp(f, "r_frame_rate") == 0 ? "rate" : f)] = raw[k + f];
    }
    if (raw.count("format.duration")) m["duration"] = raw["format.duration"];
    return m;
}

inline double Seconds(const std::map<std::string, std::string>& m) {
    auto it = m.find("duration");
    return it == m.end() ? -1 : std::atof(it->second.c_str());
}

// One picture of a file at a time, as 24-bit RGB, taken by ffmpeg, with an optional filter.
inline std::vector<std::uint8_t> Picture(const std::filesystem::path& path, double at, const std::string& filter,
                                         int width, int height) {
    std::string vf = (filter.empty() ? "" : filter + ",") + "scale=" + std::to_string(width) + ":" +
                     std::to_string(height) + ",format=rgb24";
    std::string out = Run("ffmpeg -nostdin -loglevel error -ss " + std::to_string(at) + " -i " + Quote(path.string()) +
                          " -frames:v 1 -vf " + Quote(vf) + " -f rawvideo - 2>/dev/null");
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

inline double Psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return -1;
    double se = 0;
    for (size_t i = 0; i < a.size(); ++i) se += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    double mse = se / a.size();
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The sound of a file as mono 16-bit samples at 8 kHz.
inline std::vector<std::int16_t> Sound(const std::filesystem::path& path, double from, double seconds) {
    std::string out = Run("ffmpeg -nostdin -loglevel error -ss " + std::to_string(from) + " -t " +
                          std::to_string(seconds) + " -i " + Quote(path.string()) +
                          " -vn -ac 1 -ar 8000 -f s16le - 2>/dev/null");
    std::vector<std::int16_t> s(out.size() / 2);
    std::memcpy(s.data(), out.data(), s.size() * 2);
    return s;
}

inline double Loudness(const std::filesystem::path& path, double from, double seconds) {
    auto s = Sound(path, from, seconds);
    double sum = 0;
    for (auto v : s) sum += double(v) * v;
    return s.empty() ? -1 : std::sqrt(sum / double(s.size()));
}

// The main frequency of a file's sound, from its zero crossings (mono, 8 kHz).
inline double Tone(const std::filesystem::path& path, double from, double seconds) {
    auto s = Sound(path, from, seconds);
    size_t n = s.size();
    if (n < 2) return 0;
    int crossings = 0;
    for (size_t i = 1; i < n; ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
    return crossings / 2.0 / (n / 8000.0);
}

// The temporary outputs ("*.part") a folder holds; links included.
inline int PartFiles(const std::filesystem::path& dir) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        n += name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0;
    }
    return n;
}

inline char* Dup(const std::string& s) { return strdup(s.c_str()); }

// The codec values a profile gives a job.
struct Output {
    std::string format = "flv", video = "flv", audio = "libmp3lame", size = "320x240";
    int videoBitrate = 400, audioBitrate = 64, channels = 2, sampleRate = 22050;
    float frameRate = 25;
};

inline void SetOutput(GroupMediaUIOption* g, const Output& o, const std::string& path) {
    g->formatName = Dup(o.format);
    g->videoEncoder = Dup(o.video);
    g->audioEncoder = Dup(o.audio);
    g->frameSize = Dup(o.size);
    g->videoBitrate = o.videoBitrate;
    g->audioBitrate = o.audioBitrate;
    g->audioChannels = o.channels;
    g->audioSampleRate = o.sampleRate;
    g->frameRate = o.frameRate;
    g->prepared = 1;
    std::snprintf(g->outputPath, sizeof g->outputPath, "%s", path.c_str());
}

// Owns a group for one test.
struct Group {
    GroupMediaUIOption* g = nullptr;
    explicit Group(const std::string& format = "flv") { createGroupMediaUIOption(&g, format.c_str(), 0); }
    ~Group() { freeGroupMediaUIOption(&g); }
    MediaUIOption* AddFile(const std::filesystem::path& p) { return createMediaUIOption(g, p.c_str()); }
    int Convert() { return converteToMedia(g, g->formatName ? g->formatName : "", 0); }
};

}  // namespace convtest
