#include "fixtures.h"

#include "swf/internal/tags.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace swftest {

namespace fs = std::filesystem;
namespace tag = swf::detail::tag;

int Run(const std::vector<std::string>& args, std::string* out) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_addclose(&fa, fds[1]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    std::string text;
    if (rc == 0) {
        char buf[8192];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) text.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (rc != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveFfmpeg() {
    static const bool have = Run({"ffmpeg", "-version"}) == 0 && Run({"ffprobe", "-version"}) == 0;
    return have;
}

std::string Ffmpeg(const std::vector<std::string>& args, const std::string& path) {
    std::vector<std::string> cmd{"ffmpeg", "-nostdin", "-v", "error", "-y"};
    cmd.insert(cmd.end(), args.begin(), args.end());
    cmd.push_back(path);
    std::string out;
    if (Run(cmd, &out) != 0) throw std::runtime_error("ffmpeg failed for " + path + ": " + out);
    return path;
}

std::string MakeFlv(const TempDir& dir, const std::string& name, double seconds, int fps,
                    const std::string& video, const std::string& audio, int rate) {
    std::vector<std::string> args{"-f", "lavfi", "-i",
                                  "testsrc=size=160x120:rate=" + std::to_string(fps),
                                  "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=" + std::to_string(rate),
                                  "-t", std::to_string(seconds), "-c:v", video};
    if (video == "libx264") args.insert(args.end(), {"-pix_fmt", "yuv420p"});
    if (audio.empty()) {
        args.push_back("-an");
    } else {
        args.insert(args.end(), {"-c:a", audio, "-ar", std::to_string(rate)});
    }
    args.insert(args.end(), {"-f", "flv"});
    return Ffmpeg(args, dir / name);
}

std::string MakePicture(const TempDir& dir, const std::string& name, const std::string& colour,
                        int w, int h) {
    return Ffmpeg({"-f", "lavfi", "-i",
                   "color=c=" + colour + ":size=" + std::to_string(w) + "x" + std::to_string(h),
                   "-frames:v", "1", "-update", "1"},
                  dir / name);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes TraceAction(const std::string& text) {
    // ActionPush of one string, then ActionTrace.
    Bytes a{0x96, static_cast<std::uint8_t>((text.size() + 2) & 0xFF),
            static_cast<std::uint8_t>((text.size() + 2) >> 8), 0};
    for (char c : text) a.push_back(static_cast<std::uint8_t>(c));
    a.push_back(0);
    a.push_back(0x26);
    return a;
}

Bytes StopAction() { return {0x07}; }

Bytes Packed(const Bytes& plain) {
    if (plain.size() < 8) return plain;
    uLongf n = compressBound(static_cast<uLong>(plain.size() - 8));
    Bytes out(8 + n);
    std::copy(plain.begin(), plain.begin() + 8, out.begin());
    out[0] = 'C';
    compress(out.data() + 8, &n, plain.data() + 8, static_cast<uLong>(plain.size() - 8));
    out.resize(8 + n);
    return out;
}

Bytes TagBytes(unsigned code, const Bytes& body, bool forceLong) {
    Bytes out;
    bool isLong = forceLong || body.size() >= 0x3F;
    unsigned head = (code << 6) | (isLong ? 0x3F : static_cast<unsigned>(body.size()));
    out.push_back(static_cast<std::uint8_t>(head));
    out.push_back(static_cast<std::uint8_t>(head >> 8));
    if (isLong)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(body.size() >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes SwfOfTags(const Bytes& head, const Bytes& repeat, size_t times, const Bytes& tail, bool compressed) {
    // Frame size 0..6400 x 0..4800 twips, 12 frames a second, frame count 1.
    const Bytes header = {0x78, 0x00, 0x03, 0x20, 0x00, 0x00, 0x09, 0x60, 0x00, 0x00, 0x0C, 0x01, 0x00};
    const Bytes end = {0x00, 0x00};
    std::uint64_t length = 8 + header.size() + head.size() + repeat.size() * times + tail.size() + end.size();
    Bytes out = {static_cast<std::uint8_t>(compressed ? 'C' : 'F'), 'W', 'S', 8};
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    if (!compressed) {
        out.reserve(length);
        for (const Bytes* part : {&header, &head}) out.insert(out.end(), part->begin(), part->end());
        for (size_t i = 0; i < times; ++i) out.insert(out.end(), repeat.begin(), repeat.end());
        for (const Bytes* part : {&tail, &end}) out.insert(out.end(), part->begin(), part->end());
        return out;
    }
    z_stream z{};
    deflateInit(&z, 9);
    Bytes chunk(1 << 16);
    auto feed = [&](const Bytes& in, int flush) {
        z.next_in = const_cast<Bytef*>(in.data());
        z.avail_in = static_cast<uInt>(in.size());
        do {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            deflate(&z, flush);
            out.insert(out.end(), chunk.begin(), chunk.end() - z.avail_out);
        } while (z.avail_out == 0);
    };
    feed(header, Z_NO_FLUSH);
    feed(head, Z_NO_FLUSH);
    // The repeated tag goes in blocks of about a megabyte.
    Bytes block;
    size_t perBlock = repeat.empty() ? 0 : std::max<size_t>(1, (1u << 20) / repeat.size());
    for (size_t done = 0; done < times;) {
        size_t n = std::min(perBlock, times - done);
        block.clear();
        for (size_t i = 0; i < n; ++i) block.insert(block.end(), repeat.begin(), repeat.end());
        feed(block, Z_NO_FLUSH);
        done += n;
    }
    feed(tail, Z_NO_FLUSH);
    feed(end, Z_FINISH);
    deflateEnd(&z);
    return out;
}

std::vector<ClipBomb> ClipBombs() {
    std::vector<ClipBomb> bombs;
    // 32 million empty frames: 64 MB once inflated.
    bombs.push_back({"empty frames", SwfOfTags({}, TagBytes(tag::ShowFrame, {}), 32u << 20, {}, true), "too large"});
    // One megabyte of JPEG tables that 2,000 four-byte pictures would each carry.
    Bytes pictures;
    for (unsigned id = 1; id <= 2000; ++id) {
        Bytes bits = TagBytes(tag::DefineBits, {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8), 0xFF, 0xD9});
        pictures.insert(pictures.end(), bits.begin(), bits.end());
    }
    bombs.push_back({"shared JPEG tables", SwfOfTags(TagBytes(tag::JPEGTables, Bytes(1u << 20, 0)), {}, 0, pictures, true),
                     "JPEG tables"});
    // A file that inflates to 256 MB of nothing (one long tag of zeros).
    Bytes longTag = TagBytes(tag::Metadata, Bytes(8, 0), true);  // its length patched below
    std::uint32_t n = (256u << 20) - 32;
    for (int i = 0; i < 4; ++i) longTag[2 + i] = static_cast<std::uint8_t>(n >> (8 * i));
    longTag.resize(6);
    bombs.push_back({"inflates to 256 MB", SwfOfTags(longTag, Bytes(1 << 16, 0), n >> 16, {}, true), "too large"});
    // Three million empty actions in one frame, within the size a clip may have.
    bombs.push_back({"three million tags", SwfOfTags({}, TagBytes(tag::DoAction, {}), 3u << 20, TagBytes(tag::ShowFrame, {}), true), "tags"});
    // More frames than a sprite can count.
    bombs.push_back({"70,000 frames", SwfOfTags({}, TagBytes(tag::ShowFrame, {}), 70000, {}, true), "frames"});
    return bombs;
}

SwfFile ParseSwf(const Bytes& d) {
    auto need = [&](size_t at, size_t n) {
        if (at + n > d.size()) throw std::runtime_error("SWF ends early");
    };
    need(0, 8);
    if (d[0] != 'F' || d[1] != 'W' || d[2] != 'S') throw std::runtime_error("not an uncompressed SWF");
    SwfFile f;
    f.version = d[3];
    f.length = d[4] | (d[5] << 8) | (d[6] << 16) | (std::uint32_t{d[7]} << 24);
    need(8, 1);
    int nbits = d[8] >> 3;
    size_t at = 8 + (5 + 4 * nbits + 7) / 8;
    need(at, 4);
    f.rate = d[at + 1] + d[at] / 256.0;
    f.frames = d[at + 2] | (d[at + 3] << 8);
    at += 4;
    while (at < d.size()) {
        need(at, 2);
        unsigned h = d[at] | (d[at + 1] << 8);
        at += 2;
        size_t len = h & 0x3F;
        if (len == 0x3F) {
            need(at, 4);
            len = d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<size_t>(d[at + 3]) << 24);
            at += 4;
        }
        need(at, len);
        f.tags.push_back(Tag{h >> 6, Bytes(d.begin() + static_cast<long>(at), d.begin() + static_cast<long>(at + len))});
        at += len;
        if ((h >> 6) == 0) break;
    }
    if (at != d.size()) throw std::runtime_error("bytes after the End tag");
    return f;
}

void DrawBox(SWFShape shape, double w, double h) {
    SWFShape_drawLine(shape, w, 0);
    SWFShape_drawLine(shape, 0, h);
    SWFShape_drawLine(shape, -w, 0);
    SWFShape_drawLine(shape, 0, -h);
}

std::string SansFont() { return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"; }

}  // namespace swftest
