// Fuzz target: FLV files for video and stream sound, through to a saved movie.
#include "fuzz_common.h"
#include "swf/swf.h"

namespace {

using swffuzz::Bytes;

void Be(Bytes& b, std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back((v >> (8 * i)) & 0xFF);
}

void FlvTag(Bytes& b, int type, const Bytes& payload, std::uint32_t time) {
    b.push_back(static_cast<std::uint8_t>(type));
    Be(b, static_cast<std::uint32_t>(payload.size()), 3);
    Be(b, time & 0xFFFFFF, 3);
    b.push_back(0);
    Be(b, 0, 3);
    b.insert(b.end(), payload.begin(), payload.end());
    Be(b, static_cast<std::uint32_t>(payload.size() + 11), 4);
}

// Three H.263 pictures (headers only) and MP3 frames at 22050 Hz.
Bytes Seed() {
    Bytes b{'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        Bytes v{0x22, 0x00, 0x00, 0x84, 0x00, 0x50, 0x0A, 0x00, 0x3C, 0x00, 0x00, 0x00};
        FlvTag(b, 9, v, i * 83);
        Bytes a{0x2E};
        for (int k = 0; k < 2; ++k) {
            Bytes frame(144, 0);  // MPEG-2 layer III, 40 kbit/s, 22050 Hz, mono: 130 bytes
            frame[0] = 0xFF;
            frame[1] = 0xF3;
            frame[2] = 0x50;
            frame[3] = 0xC4;
            frame.resize(130);
            a.insert(a.end(), frame.begin(), frame.end());
        }
        FlvTag(b, 8, a, i * 83);
    }
    return b;
}

void Play(const swffuzz::Scratch& scratch, const Bytes& flv) {
    scratch.Write("in.flv", flv);
    SWFInput in = newSWFInput_filename(scratch.File("in.flv").c_str());
    SWFVideoStream v = newSWFVideoStream_fromInput(in);
    SWFSoundStream s = newSWFSoundStream_fromInput(in);
    if (v || s) {
        SWFMovie m = newSWFMovieWithVersion(8);
        if (s) SWFMovie_setSoundStream(m, s);
        if (v) SWFMovie_add(m, v);
        int n = std::min(SWFVideoStream_getNumFrames(v), 64);
        for (int i = 0; i < std::max(n, 3); ++i) SWFMovie_nextFrame(m);
        SWFMovie_save(m, scratch.File("out.swf").c_str());
        destroySWFMovie(m);
    }
    destroySWFVideoStream(v);
    destroySWFSoundStream(s);
    destroySWFInput(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const swffuzz::Scratch scratch;
    static const Bytes seed = Seed();
    Play(scratch, Bytes(data, data + size));
    Play(scratch, swffuzz::Edited(seed, data, size));
    return 0;
}
