// The SWF writer's files, checked tag by tag, by ffprobe/ffmpeg and by reading them back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "fixtures.h"
#include "support/bounded.h"
#include "support/picture_bombs.h"
#include "swf/internal/objects.h"
#include "swf/internal/tags.h"
#include "swf/swf.h"

namespace {

using namespace swftest;
namespace fs = std::filesystem;
namespace tag = swf::detail::tag;

SWFAction Action(const Bytes& code) { return swf::detail::NewActionFromBytes(code.data(), code.size()); }

SWFShape Square(double side) {
    SWFShape s = newSWFShape();
    SWFFill f = SWFShape_addSolidFill(s, 200, 10, 10, 255);
    SWFShape_setRightFill(s, f);
    DrawBox(s, side, side);
    destroySWFFill(f);
    return s;
}

// Tags of each frame (ShowFrame and End left out).
std::vector<std::vector<Tag>> Frames(const SwfFile& f) {
    std::vector<std::vector<Tag>> frames(1);
    for (const Tag& t : f.tags) {
        if (t.code == tag::ShowFrame) frames.emplace_back();
        else if (t.code != tag::End) frames.back().push_back(t);
    }
    frames.pop_back();
    return frames;
}

std::vector<unsigned> Codes(const std::vector<Tag>& tags) {
    std::vector<unsigned> c;
    for (const Tag& t : tags) c.push_back(t.code);
    return c;
}

TEST(SwfMovie, HeaderFileAttributesBackgroundAndFrames) {
    TempDir dir;
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovie_setRate(m, 25.5f);
    SWFMovie_setDimension(m, 320, 280);
    SWFMovie_setBackground(m, 1, 2, 3);
    SWFMovie_nextFrame(m);
    SWFMovie_nextFrame(m);
    int n = SWFMovie_save(m, (dir / "m.swf").c_str());
    destroySWFMovie(m);
    Bytes data = ReadFile(dir / "m.swf");
    ASSERT_EQ(n, static_cast<int>(data.size()));
    SwfFile f = ParseSwf(data);
    EXPECT_EQ(f.version, 8);
    EXPECT_EQ(f.length, data.size());
    EXPECT_DOUBLE_EQ(f.rate, 25.5);
    EXPECT_EQ(f.frames, 2u);
    ASSERT_GE(f.tags.size(), 5u);
    EXPECT_EQ(f.tags[0].code, tag::FileAttributes);
    EXPECT_EQ(f.tags[1].code, tag::SetBackgroundColor);
    EXPECT_EQ(f.tags[1].body, (Bytes{1, 2, 3}));
    EXPECT_EQ(f.tags.back().code, tag::End);
    EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), "m.swf") << "no temporary file left";
}

TEST(SwfMovie, DisplayListChangesApplyWhenTheFrameCloses) {
    TempDir dir;
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFShape s = Square(10);
    SWFDisplayItem a = SWFMovie_add(m, s);
    SWFDisplayItem b = SWFMovie_add(m, s);  // the same shape again: defined once
    SWFDisplayItem_setName(a, "first");
    SWFDisplayItem_moveTo(a, 5, 6);
    SWFDisplayItem gone = SWFMovie_add(m, s);
    SWFDisplayItem_remove(gone);  // placed and removed in one frame: never shown
    SWFMovie_nextFrame(m);
    SWFDisplayItem_scaleTo(b, 2, 3);
    SWFMovie_nextFrame(m);
    SWFDisplayItem_remove(a);
    SWFDisplayItem_moveTo(a, 50, 50);  // after remove: ignored
    SWFMovie_nextFrame(m);
    SWFMovie_nextFrame(m);
    ASSERT_GT(SWFMovie_save(m, (dir / "m.swf").c_str()), 0) << SWF_getLastError();
    destroySWFShape(s);
    destroySWFMovie(m);

    auto frames = Frames(ParseSwf(ReadFile(dir / "m.swf")));
    ASSERT_EQ(frames.size(), 4u);
    // Frame 1: FileAttributes, background, one DefineShape3, two placements (depths 1 and 2).
    EXPECT_THAT(Codes(frames[0]), testing::ElementsAre(tag::FileAttributes, tag::SetBackgroundColor, tag::DefineShape3,
                                                        tag::PlaceObject2, tag::PlaceObject2));
    const Bytes& place = frames[0][3].body;
    EXPECT_EQ(place[0], 0x02 | 0x04 | 0x20);  // character, matrix, name
    EXPECT_EQ(place[1], 1);
    EXPECT_EQ(std::string(place.end() - 6, place.end() - 1), "first");
    EXPECT_EQ(frames[0][4].body[1], 2);
    // Frame 2: a move with a new matrix for depth 2; frame 3: depth 1 removed; frame 4: empty.
    EXPECT_THAT(Codes(frames[1]), testing::ElementsAre(tag::PlaceObject2));
    EXPECT_EQ(frames[1][0].body[0], 0x01 | 0x04);
    EXPECT_EQ(frames[1][0].body[1], 2);
    EXPECT_THAT(Codes(frames[2]), testing::ElementsAre(tag::RemoveObject2));
    EXPECT_EQ(frames[2][0].body, (Bytes{1, 0}));
    EXPECT_TRUE(frames[3].empty());
}

TEST(SwfMovie, SavedFileFollowsTheUmask) {
    TempDir dir;
    SWFMovie m = newSWFMovieWithVersion(8);
    const std::pair<mode_t, fs::perms> cases[] = {
        {022, fs::perms(0644)}, {077, fs::perms(0600)}, {002, fs::perms(0664)}, {027, fs::perms(0640)}};
    mode_t before = ::umask(022);
    for (auto [mask, want] : cases) {
        ::umask(mask);
        std::string path = dir / ("m" + std::to_string(mask) + ".swf");
        EXPECT_GT(SWFMovie_save(m, path.c_str()), 0);
        EXPECT_EQ(fs::status(path).permissions(), want) << "umask " << std::oct << mask;
    }
    ::umask(before);
    destroySWFMovie(m);
}

TEST(SwfMovie, FrameCountBeyondTheFormatIsAnError) {
    TempDir dir;
    SWFMovie m = newSWFMovieWithVersion(8);
    for (int i = 0; i < 65536; ++i) SWFMovie_nextFrame(m);
    EXPECT_EQ(SWFMovie_save(m, (dir / "m.swf").c_str()), -1);
    EXPECT_THAT(SWF_getLastError(), testing::HasSubstr("65535"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
    destroySWFMovie(m);
}

TEST(SwfMovie, SpriteOrButtonHoldingItselfFailsTheSave) {
    TempDir dir;
    SWFMovieClip outer = newSWFMovieClip(), inner = newSWFMovieClip();
    SWFMovieClip_add(outer, inner);
    SWFMovieClip_add(inner, outer);  // a cycle through two sprites
    SWFButton button = newSWFButton();
    SWFButton_addCharacter(button, button, SWFBUTTON_UP);
    for (SWFBlock b : {reinterpret_cast<SWFBlock>(outer), reinterpret_cast<SWFBlock>(button)}) {
        SWFMovie m = newSWFMovieWithVersion(8);
        SWFMovie_add(m, b);
        EXPECT_EQ(SWFMovie_save(m, (dir / "m.swf").c_str()), -1);
        EXPECT_THAT(SWF_getLastError(), testing::HasSubstr("cannot contain itself"));
        EXPECT_FALSE(fs::exists(dir / "m.swf"));
        destroySWFMovie(m);
    }
    destroySWFButton(button);
    destroySWFMovieClip(outer);
    destroySWFMovieClip(inner);
}

// --- readers and their errors ----------------------------------------------------------

struct ErrorCase {
    const char* name;
    std::function<std::string(const TempDir&)> make;  // the file to read
    std::function<bool(SWFMovie, const std::string&)> add;  // true when the reader refused
    const char* reason;
};

bool AddVideo(SWFMovie m, const std::string& path) {
    SWFInput in = newSWFInput_filename(path.c_str());
    SWFVideoStream v = newSWFVideoStream_fromInput(in);
    SWFSoundStream s = newSWFSoundStream_fromInput(in);
    bool refused = !v || !s;
    SWFMovie_setSoundStream(m, s);
    SWFMovie_add(m, v);
    destroySWFVideoStream(v);
    destroySWFSoundStream(s);
    destroySWFInput(in);
    return refused;
}

bool AddPicture(SWFMovie m, const std::string& path) {
    SWFInput in = newSWFInput_filename(path.c_str());
    SWFBitmap b = newSWFJpegBitmap_fromInput(in);
    SWFShape s = newSWFShape();
    SWFFill f = SWFShape_addBitmapFill(s, b, 0x40);
    SWFMovie_add(m, s);
    destroySWFFill(f);
    destroySWFShape(s);
    destroySWFBitmap(b);
    destroySWFInput(in);
    return !b;
}

bool AddClip(SWFMovie m, const std::string& path) {
    SWFPrebuiltClip c = newSWFPrebuiltClip_fromFile(path.c_str());
    SWFMovie_add(m, c);
    destroySWFPrebuiltClip(c);
    return !c;
}

bool AddFont(SWFMovie m, const std::string& path) {
    SWFFont f = newSWFFont_fromFile(path.c_str());
    SWFText t = newSWFText();
    SWFText_setFont(t, f);
    SWFText_addString(t, "x");
    SWFMovie_add(m, t);
    destroySWFText(t);
    destroySWFFont(f);
    return !f;
}

std::string Truncated(const TempDir& d) {
    Bytes flv = ReadFile(MakeFlv(d, "full.flv", 1));
    flv.resize(flv.size() * 2 / 3);
    WriteFile(d / "cut.flv", flv);
    return d / "cut.flv";
}

std::string As3Clip(const TempDir& d) {
    // FileAttributes with the ActionScript 3 flag, then one frame.
    Bytes swf{'F', 'W', 'S', 9, 0, 0, 0, 0, 0x00, 0x00, 12, 1, 0, 0x44, 0x11, 0x08, 0, 0, 0, 0x40, 0, 0, 0};
    swf[4] = static_cast<std::uint8_t>(swf.size());
    WriteFile(d / "as3.swf", swf);
    return d / "as3.swf";
}

std::string Text(const TempDir& d, const std::string& name, const std::string& text) {
    WriteFile(d / name, Bytes(text.begin(), text.end()));
    return d / name;
}

std::string DamagedJpeg(const TempDir& d) {
    Bytes jpg = ReadFile(MakePicture(d, "p.jpg", "red", 64, 64));
    jpg.resize(jpg.size() / 2);
    WriteFile(d / "half.jpg", jpg);
    return d / "half.jpg";
}

TEST(SwfErrors, EveryBadInputIsRefusedWithAReasonAndNoFileIsWritten) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    const std::vector<ErrorCase> cases = {
        {"missing FLV", [](const TempDir& d) { return d / "none.flv"; }, AddVideo, "none.flv"},
        {"AAC sound", [](const TempDir& d) { return MakeFlv(d, "aac.flv", 1, 12, "flv", "aac"); }, AddVideo, "AAC"},
        {"48 kHz MP3", [](const TempDir& d) { return MakeFlv(d, "48k.flv", 1, 12, "flv", "libmp3lame", 48000); },
         AddVideo, "48000 Hz"},
        {"no sound", [](const TempDir& d) { return MakeFlv(d, "mute.flv", 1, 12, "flv", ""); }, AddVideo, "no sound"},
        {"H.264 video", [](const TempDir& d) { return MakeFlv(d, "avc.flv", 1, 12, "libx264"); }, AddVideo, "H.264"},
        {"truncated FLV", Truncated, AddVideo, "truncated"},
        {"not an FLV", [](const TempDir& d) { return Text(d, "x.flv", "hello"); }, AddVideo, "not an FLV"},
        {"ActionScript 3 clip", As3Clip, AddClip, "ActionScript 3"},
        {"missing clip", [](const TempDir& d) { return d / "none.swf"; }, AddClip, "none.swf"},
        {"garbage clip", [](const TempDir& d) { return Text(d, "g.swf", "FWS\x08garbage"); }, AddClip, "g.swf"},
        {"undecodable JPEG", DamagedJpeg, AddPicture, "JPEG"},
        {"neither JPEG nor PNG", [](const TempDir& d) { return Text(d, "pic.jpg", "GIF89a...."); }, AddPicture,
         "neither"},
        {"missing picture", [](const TempDir& d) { return d / "none.png"; }, AddPicture, "none.png"},
        {"not a font", [](const TempDir& d) { return Text(d, "f.ttf", "no font here"); }, AddFont, "font"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string input = c.make(dir);
        SWFMovie m = newSWFMovieWithVersion(8);
        EXPECT_TRUE(c.add(m, input));
        std::string out = dir / "out.swf";
        EXPECT_EQ(SWFMovie_save(m, out.c_str()), -1);
        EXPECT_THAT(SWF_getLastError(), testing::HasSubstr(c.reason));
        EXPECT_THAT(SWFMovie_getError(m), testing::NotNull());
        EXPECT_FALSE(fs::exists(out));
        for (auto& e : fs::directory_iterator(dir.path()))
            EXPECT_EQ(e.path().string().find("out.swf"), std::string::npos) << e.path();
        destroySWFMovie(m);
    }
}

// Video and sound made from one input are read together; each keeps its own reason, and a
// damaged file fails both.
TEST(SwfErrors, VideoAndSoundOfOneFileAreRefusedEachForItsOwnReason) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    struct Case {
        const char* name;
        std::function<std::string(const TempDir&)> make;
        const char* videoReason;  // empty: the stream is made
        const char* soundReason;
    };
    const std::vector<Case> cases = {
        {"AAC sound", [](const TempDir& d) { return MakeFlv(d, "aac.flv", 1, 12, "flv", "aac"); }, "", "AAC"},
        {"no sound", [](const TempDir& d) { return MakeFlv(d, "mute.flv", 1, 12, "flv", ""); }, "", "no sound"},
        {"H.264 video", [](const TempDir& d) { return MakeFlv(d, "avc.flv", 1, 12, "libx264"); }, "H.264", ""},
        {"truncated", Truncated, "truncated", "truncated"},
        {"both fine", [](const TempDir& d) { return MakeFlv(d, "ok.flv", 1); }, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string path = c.make(dir);
        SWFInput in = newSWFInput_filename(path.c_str());
        // Sound first in one order, video first in the other: the answers do not depend on it.
        for (bool soundFirst : {true, false}) {
            SWFSoundStream s = nullptr;
            SWFVideoStream v = nullptr;
            std::string soundError, videoError;
            auto makeSound = [&] {
                s = newSWFSoundStream_fromInput(in);
                if (!s) soundError = SWF_getLastError();
            };
            auto makeVideo = [&] {
                v = newSWFVideoStream_fromInput(in);
                if (!v) videoError = SWF_getLastError();
            };
            if (soundFirst) makeSound(), makeVideo();
            else makeVideo(), makeSound();
            if (*c.videoReason) {
                EXPECT_EQ(v, nullptr);
                EXPECT_THAT(videoError, testing::HasSubstr(c.videoReason));
            } else {
                ASSERT_NE(v, nullptr) << videoError;
                EXPECT_EQ(SWFVideoStream_getNumFrames(v), 12);
            }
            if (*c.soundReason) {
                EXPECT_EQ(s, nullptr);
                EXPECT_THAT(soundError, testing::HasSubstr(c.soundReason));
            } else {
                EXPECT_NE(s, nullptr) << soundError;
            }
            destroySWFVideoStream(v);
            destroySWFSoundStream(s);
        }
        destroySWFInput(in);
    }
}

TEST(SwfErrors, UnwritableOrMissingFolderFailsTheSave) {
    TempDir dir;
    fs::create_directory(dir.path() / "ro");
    fs::permissions(dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    bool rootCanWrite = ::access((dir / "ro").c_str(), W_OK) == 0;
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFShape s = Square(4);
    SWFMovie_add(m, s);
    for (std::string target : {dir / "missing/m.swf", dir / "ro/m.swf"}) {
        if (rootCanWrite && target.find("/ro/") != std::string::npos) continue;
        SCOPED_TRACE(target);
        EXPECT_EQ(SWFMovie_save(m, target.c_str()), -1);
        EXPECT_THAT(SWF_getLastError(), testing::HasSubstr("cannot create a file"));
        EXPECT_FALSE(fs::exists(target));
    }
    if (!rootCanWrite) {
        EXPECT_TRUE(fs::is_empty(dir.path() / "ro"));
    }
    // The movie is untouched by a failed save and can still be written elsewhere.
    EXPECT_GT(SWFMovie_save(m, (dir / "ok.swf").c_str()), 0);
    destroySWFShape(s);
    destroySWFMovie(m);
}

TEST(SwfErrors, ActionThatDoesNotCompileFailsTheMovieWithTheCompilerMessage) {
    TempDir dir;
    SWFAction bad = newSWFAction("x = ;");
    ASSERT_NE(bad, nullptr);
    ASSERT_NE(SWFAction_getError(bad), nullptr);
    EXPECT_THAT(SWFAction_getError(bad), testing::HasSubstr("line 1"));
    SWFButton b = newSWFButton();
    SWFShape s = Square(4);
    SWFButton_addCharacter(b, s, SWFBUTTON_UP | SWFBUTTON_HIT);
    SWFButton_addAction(b, bad, SWFBUTTON_MOUSEDOWN);
    for (bool onButton : {false, true}) {
        SWFMovie m = newSWFMovieWithVersion(8);
        if (onButton) {
            SWFMovie_add(m, b);
        } else {
            SWFMovie_add(m, bad);
        }
        EXPECT_EQ(SWFMovie_save(m, (dir / "m.swf").c_str()), -1);
        EXPECT_THAT(SWF_getLastError(), testing::HasSubstr("ActionScript error at line 1"));
        EXPECT_FALSE(fs::exists(dir / "m.swf"));
        destroySWFMovie(m);
    }
    destroySWFShape(s);
    destroySWFButton(b);
    destroySWFAction(bad);
}

// Cut and flipped pictures and fonts: each is refused with a reason or makes a movie that
// saves; nothing reads out of bounds (the sanitizers watch) and nothing hangs.
TEST(SwfErrors, DamagedPicturesAndFontsAreRefusedOrUsedSafely) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    struct Source {
        std::string path;
        bool font;
    };
    Bytes font = ReadFile(SansFont());
    font.resize(std::min<size_t>(font.size(), 200000));  // the tables up front and some glyphs
    WriteFile(dir / "font.ttf", font);
    for (const Source& src : {Source{MakePicture(dir, "p.png", "teal", 33, 17), false},
                              Source{MakePicture(dir, "p.jpg", "teal", 33, 17), false},
                              Source{dir / "font.ttf", true}}) {
        SCOPED_TRACE(src.path);
        Bytes good = ReadFile(src.path);
        int refused = 0;
        for (int k = 0; k < 60; ++k) {
            Bytes bad = good;
            if (k % 3 == 0) {
                bad.resize(bad.size() * k / 60);
            } else {
                for (int j = 0; j < 4; ++j) bad[(k * 7919u + j * 104729u) % bad.size()] ^= 0x5A + k;
            }
            std::string path = dir / (src.font ? "bad.ttf" : "bad.pic");
            WriteFile(path, bad);
            SWFMovie m = newSWFMovieWithVersion(8);
            if (src.font) {
                refused += AddFont(m, path);
            } else {
                refused += AddPicture(m, path);
            }
            bool failed = SWFMovie_getError(m) != nullptr;
            int n = SWFMovie_save(m, (dir / "m.swf").c_str());
            EXPECT_EQ(n < 0, failed) << SWF_getLastError();
            destroySWFMovie(m);
        }
        EXPECT_GT(refused, 0);
    }
}

// --- media read back by ffprobe ----------------------------------------------------------

std::map<std::string, std::string> Probe(const std::string& file, const std::string& stream) {
    std::string out;
    EXPECT_EQ(swftest::Run({"ffprobe", "-v", "error", "-count_frames", "-select_streams", stream, "-show_entries",
                   "stream=codec_name,width,height,nb_read_frames,sample_rate", "-of", "default=nw=1", file},
                  &out),
              0)
        << out;
    std::map<std::string, std::string> kv;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        auto eq = line.find('=');
        if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return kv;
}

TEST(SwfMedia, EmbeddedFlvKeepsItsPictureAndSoundAndDecodesCleanly) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    struct Case {
        const char* encoder;  // ffmpeg's
        const char* codec;    // as ffprobe names it
        int rate;
    };
    for (const Case& c : {Case{"flv", "flv1", 44100}, Case{"flv", "flv1", 22050}, Case{"flashsv", "flashsv", 11025}}) {
        int rate = c.rate;
        SCOPED_TRACE(std::string(c.encoder) + " " + std::to_string(rate));
        std::string flv = MakeFlv(dir, "v.flv", 2, 12, c.encoder, "libmp3lame", rate);
        SWFMovie m = newSWFMovieWithVersion(8);
        SWFMovie_setRate(m, 12);
        SWFInput in = newSWFInput_filename(flv.c_str());
        SWFSoundStream snd = newSWFSoundStream_fromInput(in);
        SWFVideoStream vid = newSWFVideoStream_fromInput(in);
        ASSERT_NE(vid, nullptr) << SWF_getLastError();
        SWFMovie_setSoundStream(m, snd);
        SWFMovie_add(m, vid);
        int n = SWFVideoStream_getNumFrames(vid);
        EXPECT_EQ(n, 24);
        for (int i = 0; i < n; ++i) SWFMovie_nextFrame(m);
        std::string out = dir / "m.swf";
        ASSERT_GT(SWFMovie_save(m, out.c_str()), 0) << SWF_getLastError();
        destroySWFVideoStream(vid);
        destroySWFSoundStream(snd);
        destroySWFInput(in);
        destroySWFMovie(m);

        auto v = Probe(out, "v");
        EXPECT_EQ(v["codec_name"], c.codec);
        EXPECT_EQ(v["width"], "160");
        EXPECT_EQ(v["height"], "120");
        EXPECT_EQ(v["nb_read_frames"], "24");
        EXPECT_EQ(Probe(out, "a")["sample_rate"], std::to_string(rate));
        std::string log;
        EXPECT_EQ(swftest::Run({"ffmpeg", "-nostdin", "-v", "error", "-i", out, "-f", "null", "-"}, &log), 0);
        EXPECT_EQ(log, "");

        // Sound keeps pace with the picture: by the end of each frame the blocks carry whole
        // MP3 frames covering that frame's time, never a frame's worth ahead.
        auto frames = Frames(ParseSwf(ReadFile(out)));
        double perFrame = rate / 12.0;
        int perMp3 = rate == 44100 ? 1152 : 576;  // MPEG-1 layer III, else MPEG-2 or 2.5
        long sent = 0;
        for (size_t i = 0; i < frames.size(); ++i) {
            for (const Tag& t : frames[i]) {
                if (t.code != tag::SoundStreamBlock) continue;
                sent += t.body[0] | (t.body[1] << 8);
                EXPECT_EQ(t.body[4], 0xFF) << "a block starts on an MP3 frame";
            }
            double due = (i + 1) * perFrame;
            EXPECT_GE(sent, due - 1) << "frame " << i;
            EXPECT_LT(sent, due + perMp3) << "frame " << i;
        }

        // Each picture, numbered in order, comes with a move of the video's item to that
        // number, which is what advances the picture in a player.
        int pictures = 0;
        std::optional<Bytes> depth;
        for (size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            for (const Tag& t : frames[i]) {
                if (t.code == tag::PlaceObject2 && (t.body[0] & 0x02)) depth = Bytes{t.body[1], t.body[2]};
                if (t.code != tag::VideoFrame) continue;
                ASSERT_TRUE(depth) << "a picture before the video is placed";
                EXPECT_EQ(t.body[2] | (t.body[3] << 8), pictures++);
                Bytes move{0x11, (*depth)[0], (*depth)[1], t.body[2], t.body[3]};
                EXPECT_THAT(frames[i], testing::Contains(testing::Field(&Tag::body, move)));
            }
        }
        EXPECT_EQ(pictures, n);
    }
}

// The FLV with its tags in another order: all video tags first or all sound tags first
// (script data stays in front), each type keeping its own order.
Bytes RegroupFlv(const Bytes& flv, bool videoFirst) {
    size_t start = (size_t{flv[5]} << 24 | flv[6] << 16 | flv[7] << 8 | flv[8]) + 4;
    std::vector<Bytes> groups(3);  // script, first, second
    for (size_t at = start; at + 11 <= flv.size();) {
        size_t len = 11 + (flv[at + 1] << 16 | flv[at + 2] << 8 | flv[at + 3]) + 4;
        int type = flv[at] & 0x1F;
        int g = type == 9 ? (videoFirst ? 1 : 2) : type == 8 ? (videoFirst ? 2 : 1) : 0;
        groups[g].insert(groups[g].end(), flv.begin() + static_cast<long>(at),
                         flv.begin() + static_cast<long>(at + len));
        at += len;
    }
    Bytes out(flv.begin(), flv.begin() + static_cast<long>(start));
    for (const Bytes& g : groups) out.insert(out.end(), g.begin(), g.end());
    return out;
}

// Video and sound of one file are written the same whether they lie side by side in it or
// far apart: a large file of sharp pictures, with its sound before or after all of them.
TEST(SwfMedia, EmbeddingDoesNotDependOnHowTheFileInterleavesItsStreams) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    std::string flv = Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
                              "sine=frequency=440:sample_rate=44100", "-t", "3", "-vf", "noise=alls=60:allf=t", "-c:v",
                              "flv", "-q:v", "1", "-g", "1", "-c:a", "libmp3lame", "-f", "flv"},
                             dir / "sharp.flv");
    Bytes original = ReadFile(flv);
    ASSERT_GT(original.size(), 6u << 20) << "the pictures alone must outweigh what is read ahead";
    WriteFile(dir / "video-first.flv", RegroupFlv(original, true));
    WriteFile(dir / "sound-first.flv", RegroupFlv(original, false));
    auto embed = [&](const std::string& path) {
        SWFMovie m = newSWFMovieWithVersion(8);
        SWFMovie_setRate(m, 25);
        SWFInput in = newSWFInput_filename(path.c_str());
        SWFSoundStream snd = newSWFSoundStream_fromInput(in);
        SWFVideoStream vid = newSWFVideoStream_fromInput(in);
        SWFMovie_setSoundStream(m, snd);
        SWFMovie_add(m, vid);
        for (int i = SWFVideoStream_getNumFrames(vid); i > 0; --i) SWFMovie_nextFrame(m);
        std::string out = path + ".swf";
        int n = SWFMovie_save(m, out.c_str());
        EXPECT_GT(n, 0) << SWF_getLastError();
        destroySWFVideoStream(vid);
        destroySWFSoundStream(snd);
        destroySWFInput(in);
        destroySWFMovie(m);
        return ReadFile(out);
    };
    Bytes want = embed(flv);
    auto frames = Frames(ParseSwf(want));
    ASSERT_EQ(frames.size(), 75u);
    for (const auto& f : {frames[0], frames[74]})
        EXPECT_THAT(Codes(f), testing::IsSupersetOf({tag::VideoFrame, tag::SoundStreamBlock}));
    for (const char* name : {"video-first.flv", "sound-first.flv"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(embed(dir / name) == want);
    }
}

TEST(SwfMedia, JpegIsStoredByteForByte) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    std::string jpg = MakePicture(dir, "p.jpg", "orange", 48, 32);
    SWFInput in = newSWFInput_filename(jpg.c_str());
    SWFBitmap b = newSWFJpegBitmap_fromInput(in);
    ASSERT_NE(b, nullptr) << SWF_getLastError();
    EXPECT_EQ(SWFBitmap_getWidth(b), 48);
    EXPECT_EQ(SWFBitmap_getHeight(b), 32);
    SWFShape s = newSWFShape();
    SWFFill f = SWFShape_addBitmapFill(s, b, 0x41);
    SWFShape_setLeftFill(s, f);
    DrawBox(s, 48, 32);
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovie_add(m, s);
    std::string out = dir / "m.swf";
    ASSERT_GT(SWFMovie_save(m, out.c_str()), 0) << SWF_getLastError();
    destroySWFMovie(m);
    destroySWFFill(f);
    destroySWFShape(s);
    destroySWFBitmap(b);
    destroySWFInput(in);
    std::string log;
    ASSERT_EQ(swftest::Run({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", out, "-map", "0:v:0", "-c", "copy",
                   "-frames:v", "1", "-f", "image2", dir / "back.jpg"},
                  &log),
              0)
        << log;
    EXPECT_EQ(ReadFile(dir / "back.jpg"), ReadFile(jpg));
}

// --- tags -------------------------------------------------------------------------------

// One table of named tags with their bodies as they stand in a file. The writer must write
// exactly these for the movie of WriterWritesTheTableOfTags; a clip made of them must carry
// each that a clip keeps into a movie byte for byte, and leave its file's settings behind.
struct TagRow {
    tag::Code code;
    Bytes body;
    bool carried;  // kept by a clip (its file's settings are not)
};

std::vector<TagRow> TagTable() {
    return {
        {tag::FileAttributes, {0, 0, 0, 0}, false},
        {tag::SetBackgroundColor, {1, 2, 3}, false},
        {tag::DefineSprite, {1, 0, 1, 0, 0x40, 0x00, 0x00, 0x00}, true},  // id 1: one empty frame
        {tag::PlaceObject2, {0x06, 1, 0, 1, 0, 0x00}, true},  // character 1 at depth 1, identity
        {tag::DoAction, TraceAction("row") + Bytes{0}, true},  // with its closing ActionEnd
        {tag::ShowFrame, {}, true},
        {tag::RemoveObject2, {1, 0}, true},
        {tag::ShowFrame, {}, true},
    };
}

// The tags inside a DefineSprite body, End left out.
std::vector<Tag> SpriteTags(const Bytes& body) {
    std::vector<Tag> tags;
    for (size_t at = 4; at + 2 <= body.size();) {
        unsigned head = body[at] | (body[at + 1] << 8);
        size_t len = head & 0x3F;
        at += 2;
        if (len == 0x3F) {
            len = body[at] | (body[at + 1] << 8) | (body[at + 2] << 16) | (size_t{body[at + 3]} << 24);
            at += 4;
        }
        if (head >> 6 == tag::End || at + len > body.size()) break;
        tags.push_back({head >> 6, Bytes(body.begin() + static_cast<long>(at), body.begin() + static_cast<long>(at + len))});
        at += len;
    }
    return tags;
}

// Sprites of several megabytes get their lengths written in after their start has long left
// memory; what follows them stays as written.
TEST(SwfMovie, LargeSpritesKeepTheirLengthsAndWhatFollows) {
    TempDir dir;
    const Bytes code(4000, 0x07);  // ActionStop, over and over
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovieClip clips[2] = {newSWFMovieClip(), newSWFMovieClip()};
    const int frames[2] = {700, 3};
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < frames[c]; ++i) {
            SWFAction a = Action(code);
            SWFMovieClip_add(clips[c], a);
            destroySWFAction(a);
            SWFMovieClip_nextFrame(clips[c]);
        }
        SWFMovie_add(m, clips[c]);
    }
    SWFMovie_nextFrame(m);
    int n = SWFMovie_save(m, (dir / "m.swf").c_str());
    ASSERT_GT(n, 0) << SWF_getLastError();
    for (SWFMovieClip c : clips) destroySWFMovieClip(c);
    destroySWFMovie(m);

    Bytes data = ReadFile(dir / "m.swf");
    ASSERT_EQ(static_cast<size_t>(n), data.size());
    SwfFile f = ParseSwf(data);
    EXPECT_EQ(f.length, data.size());
    std::vector<const Tag*> sprites;
    for (const Tag& t : f.tags)
        if (t.code == tag::DefineSprite) sprites.push_back(&t);
    ASSERT_EQ(sprites.size(), 2u);
    for (int c = 0; c < 2; ++c) {
        std::vector<Tag> inner = SpriteTags(sprites[c]->body);
        ASSERT_EQ(inner.size(), 2u * frames[c]) << "sprite " << c;
        for (size_t i = 0; i < inner.size(); i += 2) {
            EXPECT_EQ(inner[i].code, tag::DoAction);
            EXPECT_EQ(inner[i].body.size(), code.size() + 1);  // with its closing ActionEnd
            EXPECT_EQ(inner[i + 1].code, tag::ShowFrame);
        }
    }
    EXPECT_EQ(f.tags.back().code, tag::End);
}

TEST(SwfTags, WriterWritesTheTableOfTags) {
    TempDir dir;
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovie_setBackground(m, 1, 2, 3);
    SWFMovieClip sprite = newSWFMovieClip();
    SWFDisplayItem item = SWFMovie_add(m, sprite);
    SWFAction action = Action(TraceAction("row"));
    SWFMovie_add(m, action);
    SWFMovie_nextFrame(m);
    SWFDisplayItem_remove(item);
    SWFMovie_nextFrame(m);
    ASSERT_GT(SWFMovie_save(m, (dir / "m.swf").c_str()), 0) << SWF_getLastError();
    destroySWFAction(action);
    destroySWFMovieClip(sprite);
    destroySWFMovie(m);

    std::vector<Tag> tags = ParseSwf(ReadFile(dir / "m.swf")).tags;
    std::vector<TagRow> table = TagTable();
    ASSERT_EQ(tags.size(), table.size() + 1);
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(tags[i].code, table[i].code) << "tag " << i;
        EXPECT_EQ(tags[i].body, table[i].body) << "tag " << i << " (" << table[i].code << ")";
    }
    EXPECT_EQ(tags.back().code, tag::End);
}

TEST(SwfTags, ClipCarriesTheTableOfTags) {
    // The table, then a picture whose JPEG tables stand apart: carried as one DefineBitsJPEG2
    // with the tables between its id and its data.
    const Bytes tables = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x03, 0x07, 0xFF, 0xD9};
    const Bytes data = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0x11, 0x22, 0xFF, 0xD9};
    Bytes tags;
    for (const TagRow& row : TagTable()) tags = tags + TagBytes(row.code, row.body);
    tags = tags + TagBytes(tag::JPEGTables, tables) + TagBytes(tag::DefineBits, Bytes{2, 0} + data);
    TempDir dir;
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        WriteFile(dir / "clip.swf", SwfOfTags(tags, {}, 0, {}, compressed));
        SWFPrebuiltClip clip = newSWFPrebuiltClip_fromFile((dir / "clip.swf").c_str());
        ASSERT_NE(clip, nullptr) << SWF_getLastError();
        SWFMovie m = newSWFMovieWithVersion(8);
        SWFMovie_add(m, clip);
        ASSERT_GT(SWFMovie_save(m, (dir / "m.swf").c_str()), 0) << SWF_getLastError();
        destroySWFPrebuiltClip(clip);
        destroySWFMovie(m);

        // The clip's definitions keep their ids (the movie has none of its own), its timeline
        // becomes sprite 3.
        std::vector<Tag> out = ParseSwf(ReadFile(dir / "m.swf")).tags;
        ASSERT_GE(out.size(), 5u);
        EXPECT_EQ(out[1].code, tag::SetBackgroundColor);
        EXPECT_EQ(out[1].body, (Bytes{255, 255, 255}));  // the movie's, not the clip's
        EXPECT_EQ(out[2].code, tag::DefineSprite);
        EXPECT_EQ(out[2].body, TagTable()[2].body);
        EXPECT_EQ(out[3].code, tag::DefineBitsJPEG2);
        EXPECT_EQ(out[3].body, (Bytes{2, 0} + tables + data));
        ASSERT_EQ(out[4].code, tag::DefineSprite);
        std::vector<Tag> timeline = SpriteTags(out[4].body);
        std::vector<Tag> want;
        for (const TagRow& row : TagTable())
            if (row.carried && row.code != tag::DefineSprite) want.push_back({row.code, row.body});
        ASSERT_EQ(timeline.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(timeline[i].code, want[i].code) << "timeline tag " << i;
            EXPECT_EQ(timeline[i].body, want[i].body) << "timeline tag " << i;
        }
    }
}

// --- prebuilt clips ----------------------------------------------------------------------

// A clip with a picture fill, a text in an embedded font, a sprite, a button and a line too
// long for one edge record: every kind of id reference.
std::string RichClip(const TempDir& dir, const std::string& name) {
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFInput in = newSWFInput_filename(MakePicture(dir, "c.png", "blue", 8, 8).c_str());
    SWFBitmap pic = newSWFBitmap_fromInput(in);
    SWFShape shape = newSWFShape();
    SWFFill fill = SWFShape_addBitmapFill(shape, pic, 0x40);
    SWFShape_setLeftFill(shape, fill);
    SWFShape_setLine(shape, 2, 0, 0, 0, 255);
    SWFShape_drawLine(shape, 5000, 0);
    SWFShape_drawCurve(shape, 0, 3000, -5000, 0);
    SWFShape_drawLineTo(shape, 0, 0);
    SWFFont font = newSWFFont_fromFile(SansFont().c_str());
    SWFText text = newSWFText();
    SWFText_setFont(text, font);
    SWFText_addString(text, "Ab\xE9\xC3\xA9 \xF0\x9F\x98\x80");  // Latin-1 byte, UTF-8, emoji
    SWFMovieClip sprite = newSWFMovieClip();
    SWFMovieClip_add(sprite, shape);
    SWFMovieClip_add(sprite, text);
    SWFButton button = newSWFButton();
    SWFButton_addCharacter(button, shape, SWFBUTTON_UP | SWFBUTTON_HIT);
    SWFAction act = Action(TraceAction("hit"));
    SWFButton_addAction(button, act, SWFBUTTON_MOUSEUP);
    SWFMovie_add(m, sprite);
    SWFMovie_add(m, button);
    SWFMovie_nextFrame(m);
    SWFMovie_add(m, text);
    std::string path = dir / name;
    EXPECT_GT(SWFMovie_save(m, path.c_str()), 0) << SWF_getLastError();
    destroySWFAction(act);
    destroySWFButton(button);
    destroySWFMovieClip(sprite);
    destroySWFText(text);
    destroySWFFont(font);
    destroySWFFill(fill);
    destroySWFShape(shape);
    destroySWFBitmap(pic);
    destroySWFInput(in);
    destroySWFMovie(m);
    return path;
}

std::string Compressed(const TempDir& dir, const std::string& plain) {
    WriteFile(dir / "packed.swf", Packed(ReadFile(plain)));
    return dir / "packed.swf";
}

TEST(SwfClip, ImportedClipsGetFreshIdsThatEveryReferenceFollows) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    std::string plain = RichClip(dir, "rich.swf");
    std::string packed = Compressed(dir, plain);
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFShape own = Square(20);
    SWFMovie_add(m, own);  // takes id 1, which the clip uses too
    for (const std::string& path : {plain, packed, plain}) {
        SWFPrebuiltClip c = newSWFPrebuiltClip_fromFile(path.c_str());
        ASSERT_NE(c, nullptr) << SWF_getLastError();
        SWFDisplayItem_setName(SWFMovie_add(m, c), "clip");
        destroySWFPrebuiltClip(c);
    }
    std::string out = dir / "m.swf";
    ASSERT_GT(SWFMovie_save(m, out.c_str()), 0) << SWF_getLastError();
    destroySWFShape(own);
    destroySWFMovie(m);

    // Reading the result as a clip checks every id: each defined once and before its use.
    Bytes data = ReadFile(out);
    SWFPrebuiltClip back = swf::detail::ReadPrebuiltClip(data.data(), data.size(), "result");
    EXPECT_NE(back, nullptr) << SWF_getLastError();
    destroySWFPrebuiltClip(back);
    std::map<unsigned, int> count;
    for (const Tag& t : ParseSwf(data).tags) ++count[t.code];
    EXPECT_EQ(count[tag::DefineBitsLossless2], 3);  // the clip's picture, once per import
    EXPECT_EQ(count[tag::DefineFont2], 3);
    EXPECT_EQ(count[tag::DefineSprite], 6);  // its sprite and the sprite wrapping its timeline
    EXPECT_EQ(count[tag::DefineButton2], 3);
}

// A bitbuffer for hand-made shape records.
struct Bits {
    Bytes out;
    int n = 0;
    void Put(unsigned v, int width) {
        for (int i = width - 1; i >= 0; --i) {
            if (n % 8 == 0) out.push_back(0);
            if ((v >> i) & 1) out.back() |= static_cast<std::uint8_t>(0x80 >> (n % 8));
            ++n;
        }
    }
    void Align() { n = static_cast<int>(out.size()) * 8; }
    void Byte(unsigned v) {
        Align();
        Put(v, 8);
    }
};

std::uint16_t U16At(const Bytes& b, size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

TEST(SwfClip, BitmapFillInNewStylesWithinShapeRecordsFollowsItsPicture) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    // Borrow a DefineBitsLossless2 (id 1) from a movie of our own.
    SWFMovie src = newSWFMovieWithVersion(8);
    SWFInput in = newSWFInput_filename(MakePicture(dir, "p.png", "navy", 4, 4).c_str());
    SWFBitmap pic = newSWFBitmap_fromInput(in);
    SWFShape user = newSWFShape();
    SWFFill f = SWFShape_addBitmapFill(user, pic, 0x40);
    SWFMovie_add(src, user);
    ASSERT_GT(SWFMovie_save(src, (dir / "src.swf").c_str()), 0);
    destroySWFFill(f);
    destroySWFShape(user);
    destroySWFBitmap(pic);
    destroySWFInput(in);
    destroySWFMovie(src);
    Tag lossless{};
    for (const Tag& t : ParseSwf(ReadFile(dir / "src.swf")).tags)
        if (t.code == tag::DefineBitsLossless2) lossless = t;
    ASSERT_EQ(U16At(lossless.body, 0), 1);

    // DefineShape3 (id 2) whose only fill arrives as a new style inside its records.
    Bits b;
    b.Byte(2), b.Byte(0);                       // id
    b.Put(5, 5), b.Put(0, 5), b.Put(20, 5), b.Put(0, 5), b.Put(20, 5);  // bounds
    b.Byte(0), b.Byte(0);                       // no fill or line styles up front
    b.Put(0, 4), b.Put(0, 4);
    b.Put(0, 1), b.Put(0x10, 5);                // style change: new styles
    b.Byte(1), b.Byte(0x41);                    // one clipped bitmap fill...
    size_t idAt = b.out.size();
    b.Byte(1), b.Byte(0);                       // ...of character 1
    b.Byte(0);                                  // identity matrix (no scale, rotate, move)
    b.Byte(0);                                  // no line styles
    b.Put(1, 4), b.Put(0, 4);                   // one fill bit, no line bits
    b.Put(0, 1), b.Put(0x03, 5), b.Put(2, 5), b.Put(0, 2), b.Put(0, 2), b.Put(1, 1);  // move to 0,0, fill0 = 1
    for (auto [dx, dy] : {std::pair{20, 0}, {0, 20}, {-20, 0}, {0, -20}}) {
        b.Put(1, 1), b.Put(1, 1), b.Put(7 - 2, 4), b.Put(1, 1);  // general straight edge, 7-bit fields
        b.Put(static_cast<unsigned>(dx) & 0x7F, 7), b.Put(static_cast<unsigned>(dy) & 0x7F, 7);
    }
    b.Put(0, 6);
    b.Align();
    Bytes swf{'F', 'W', 'S', 8, 0, 0, 0, 0, 0x00, 0x00, 12, 1, 0};
    for (const Bytes& t : {TagBytes(tag::DefineBitsLossless2, lossless.body, true), TagBytes(tag::DefineShape3, b.out, true),
                           TagBytes(tag::PlaceObject2, {0x02, 1, 0, 2, 0}, true),  // place character 2 at depth 1
                           TagBytes(tag::ShowFrame, {}, true), TagBytes(tag::End, {}, true)})
        swf.insert(swf.end(), t.begin(), t.end());
    swf[4] = static_cast<std::uint8_t>(swf.size());
    swf[5] = static_cast<std::uint8_t>(swf.size() >> 8);
    WriteFile(dir / "clip.swf", swf);

    SWFMovie m = newSWFMovieWithVersion(8);
    SWFShape own = Square(5);
    SWFMovie_add(m, own);  // takes ids 1 and 2 first
    SWFMovie_add(m, own);
    SWFMovieClip empty = newSWFMovieClip();
    SWFMovie_add(m, empty);
    SWFPrebuiltClip clip = newSWFPrebuiltClip_fromFile((dir / "clip.swf").c_str());
    ASSERT_NE(clip, nullptr) << SWF_getLastError();
    SWFMovie_add(m, clip);
    ASSERT_GT(SWFMovie_save(m, (dir / "m.swf").c_str()), 0) << SWF_getLastError();
    destroySWFPrebuiltClip(clip);
    destroySWFMovieClip(empty);
    destroySWFShape(own);
    destroySWFMovie(m);

    std::uint16_t picture = 0;
    int shapes = 0;
    for (const Tag& t : ParseSwf(ReadFile(dir / "m.swf")).tags) {
        if (t.code == tag::DefineBitsLossless2) picture = U16At(t.body, 0);
        if (t.code == tag::DefineShape3 && t.body.size() == b.out.size()) {
            ++shapes;
            EXPECT_NE(picture, 1);
            EXPECT_EQ(U16At(t.body, idAt), picture);
        }
    }
    EXPECT_EQ(shapes, 1);
}

TEST(SwfClip, DamagedClipsAreRefusedWithoutReadingOutOfBounds) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    Bytes good = ReadFile(RichClip(dir, "rich.swf"));
    // Every cut of the file, and every byte flipped in its first part: refused or read, never a crash.
    int refused = 0;
    for (size_t n = 0; n < good.size(); n += 7) {
        SWFPrebuiltClip c = swf::detail::ReadPrebuiltClip(good.data(), n, "cut");
        refused += c == nullptr;
        destroySWFPrebuiltClip(c);
    }
    EXPECT_GT(refused, 0);
    for (size_t i = 8; i < std::min<size_t>(good.size(), 600); ++i) {
        Bytes bad = good;
        bad[i] ^= 0xA5;
        SWFPrebuiltClip c = swf::detail::ReadPrebuiltClip(bad.data(), bad.size(), "flipped");
        destroySWFPrebuiltClip(c);
    }
}

TEST(SwfClip, HostileClipsAreRefusedWithinBoundedMemoryAndTime) {
    for (const ClipBomb& bomb : ClipBombs()) {
        SCOPED_TRACE(bomb.name + " (" + std::to_string(bomb.file.size()) + " bytes)");
        auto run = testsupport::RunBounded(60, [&] {
            SWFPrebuiltClip c = swf::detail::ReadPrebuiltClip(bomb.file.data(), bomb.file.size(), "bomb.swf");
            if (c) {
                destroySWFPrebuiltClip(c);
                return 1;
            }
            std::string why = SWF_getLastError();
            return why.find("bomb.swf") != std::string::npos && why.find(bomb.reason) != std::string::npos ? 0 : 2;
        });
        EXPECT_TRUE(run.finished) << run.Describe();
        EXPECT_EQ(run.exitCode, 0) << "1: accepted, 2: refused for another reason; " << run.Describe();
        EXPECT_LT(run.peakGrowthKb, 64 * 1024) << run.Describe();
    }
}

TEST(SwfErrors, HostileJpegPicturesAreRefusedWithinBoundedMemoryAndTime) {
    const struct {
        const char* name;
        Bytes file;
        const char* reason;
    } cases[] = {
        {"10 components", testsupport::JpegManyComponents(), "10 colour components"},
        {"10,000 empty scans", testsupport::JpegManyScans(4096, 10000), "Corrupt JPEG data"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir / "bomb.jpg", c.file);
        auto run = testsupport::RunBounded(20, [&] {
            SWFInput in = newSWFInput_filename((dir / "bomb.jpg").c_str());
            SWFBitmap b = newSWFBitmap_fromInput(in);
            destroySWFInput(in);
            if (b) {
                destroySWFBitmap(b);
                return 1;
            }
            return std::string(SWF_getLastError()).find(c.reason) != std::string::npos ? 0 : 2;
        });
        EXPECT_TRUE(run.finished) << run.Describe();
        EXPECT_EQ(run.exitCode, 0) << "1: accepted, 2: refused for another reason; " << run.Describe();
        EXPECT_LT(run.peakGrowthKb, 64 * 1024) << run.Describe();
    }
}

}  // namespace
