#pragma once
// Fixtures for the SWF writer's tests: temporary folders, media made by ffmpeg at test time,
// assembled actions and a small reader of the tags of a written file.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/tempdir.h"
#include "swf/swf.h"

namespace swftest {

using Bytes = std::vector<std::uint8_t>;

using TempDir = testsupport::TempDir;

// Runs a program (no shell); returns its exit status, its standard output and error in `out`.
int Run(const std::vector<std::string>& argv, std::string* out = nullptr);
bool HaveFfmpeg();

// ffmpeg with lavfi sources: "-f lavfi -i testsrc=... <args> <path>"; throws on failure.
std::string Ffmpeg(const std::vector<std::string>& args, const std::string& path);
// A short FLV: 160x120 test picture at `fps`, 440 Hz tone; codecs and rate as given.
std::string MakeFlv(const TempDir& dir, const std::string& name, double seconds, int fps = 12,
                    const std::string& video = "flv", const std::string& audio = "libmp3lame",
                    int rate = 44100);
// A one-colour picture (png or jpg by the name's extension).
std::string MakePicture(const TempDir& dir, const std::string& name, const std::string& colour,
                        int w, int h);

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& data);

// Assembled actions: trace(text); stop().
Bytes TraceAction(const std::string& text);
Bytes StopAction();
inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The same SWF file with its body zlib-compressed (CWS).
Bytes Packed(const Bytes& plain);

// A tag as it stands in a file (long form when `forceLong` or 63 bytes and more).
Bytes TagBytes(unsigned code, const Bytes& body, bool forceLong = false);

// A SWF 8 file of 320 x 240 pixels at 12 frames a second: `head`, then `repeat` copied
// `times`, then `tail` and End. Compressed (CWS) as it is made, so that a file that is
// huge once inflated never exists whole in memory.
Bytes SwfOfTags(const Bytes& head, const Bytes& repeat, size_t times, const Bytes& tail, bool compressed);

// Clips that cost a careless reader far more memory or time than their size: each the
// reader must refuse with a reason that holds `reason`.
struct ClipBomb {
    std::string name;
    Bytes file;
    std::string reason;
};
std::vector<ClipBomb> ClipBombs();

// The tags of an uncompressed SWF file.
struct Tag {
    unsigned code;
    Bytes body;
};
struct SwfFile {
    int version = 0;
    std::uint32_t length = 0;
    double rate = 0;
    unsigned frames = 0;
    std::vector<Tag> tags;
};
SwfFile ParseSwf(const Bytes& data);  // throws std::runtime_error when malformed

// Edges of a w x h rectangle from the pen: right, down, left, up.
void DrawBox(SWFShape shape, double w, double h);

// The fonts the tests draw with (fonts-dejavu-core, fonts-liberation).
std::string SansFont();

}  // namespace swftest
