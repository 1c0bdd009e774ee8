// Bad input, cancel, progress and the preview hand-over.
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "libs/morvmessage/morvmessage.h"
#include "morvconverter/media_check.h"
#include "support/tempdir.h"

using namespace convtest;
namespace fs = std::filesystem;

namespace {

class ConverterControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::TempDir;
        ASSERT_EQ(MakeClip(dir_->path() / "clip.mp4", 2.0), "");
    }
    static void TearDownTestSuite() { delete dir_; }
    static fs::path Clip() { return dir_->path() / "clip.mp4"; }
    fs::path Out(const std::string& name) const { return tmp_.path() / name; }

    static testsupport::TempDir* dir_;
    testsupport::TempDir tmp_;
};
testsupport::TempDir* ConverterControl::dir_ = nullptr;

// Every kind of bad input ends with its own code and a text for it, and leaves no file.
TEST_F(ConverterControl, BadInputGivesItsOwnCodeAndNoOutput) {
    // Text is not video, even where a demuxer would show it as a picture of letters.
    fs::path text = tmp_.Write("notes.txt", "Read me first.\nThese are notes, not a film.\n");
    fs::path noise = tmp_.Write("noise.dat", std::string(3000, '\x5a'));
    fs::path sound = dir_->path() / "sound.wav";
    convtest::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=duration=1 " + Quote(sound.string()));
    // A video stream whose codec no decoder knows: the container's codec name is changed.
    fs::path unknown = dir_->path() / "unknown.mkv";
    convtest::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=64x48:duration=1 -c:v mpeg4 " +
        Quote(unknown.string()));
    {
        std::fstream f(unknown, std::ios::in | std::ios::out | std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        size_t at = bytes.find("V_MPEG4/ISO/ASP");
        ASSERT_NE(at, std::string::npos);
        f.seekp(std::streamoff(at));
        f.write("V_QQQQQ/ISO/ASP", 15);
    }
    fs::path pipe = tmp_.path() / "pipe.mpg";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // A DVD's video object cut before its first picture is whole: the demuxer finds the
    // picture's size, the decoder only a patched-up first picture.
    fs::path cut = dir_->path() / "cut.vob";
    convtest::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=720x480:rate=30000/1001:duration=1 "
                  "-f lavfi -i sine=duration=1:sample_rate=48000 -target ntsc-dvd -threads 2 " +
                  Quote(cut.string()));
    ASSERT_GT(fs::file_size(cut), 100000u);
    fs::resize_file(cut, 6000);
    struct Case {
        const char* name;
        fs::path input;
        std::function<void(GroupMediaUIOption*, MediaUIOption*)> change;
        int code;
        bool refusedWhenAdded = true;  // isSupportFormat turns it away (it decodes no picture)
    } cases[] = {
        {"missing file", tmp_.path() / "none.mp4", {}, crInputUnreadable},
        {"folder", tmp_.path(), {}, crInputUnreadable},
        {"named pipe", pipe, {}, crInputUnreadable},  // no writer: opening it would wait forever
        {"device", "/dev/zero", {}, crInputUnreadable},
        {"text", text, {}, crInputUnknownFormat},
        {"not media", noise, {}, crInputUnknownFormat},
        {"no video", sound, {}, crNoVideo},
        {"unknown codec", unknown, {}, crUnknownCodec},
        {"trim beyond end", Clip(), [](auto*, MediaUIOption* m) { m->trimStart = 5; }, crTrimBeyondEnd},
        {"crop too large", Clip(), [](auto*, MediaUIOption* m) { m->cropLeft = 200, m->cropRight = 150; },
         crCropTooLarge},
        {"negative crop", Clip(), [](auto*, MediaUIOption* m) { m->cropTop = -4; }, crCropTooLarge},
        {"unwritable folder", Clip(),
         [](GroupMediaUIOption* g, auto*) { std::snprintf(g->outputPath, 1024, "/proc/lumacast/out.flv"); },
         crOutputUnwritable},
        {"unknown format", Clip(),
         [](GroupMediaUIOption* g, auto*) { free(g->formatName), g->formatName = Dup("nosuchformat"); },
         crUnknownOutputFormat},
        {"unknown encoder", Clip(),
         [](GroupMediaUIOption* g, auto*) { free(g->videoEncoder), g->videoEncoder = Dup("nosuchcodec"); },
         crEncoderMissing},
        {"size the codec refuses", Clip(),
         [](GroupMediaUIOption* g, auto*) {
             free(g->formatName), g->formatName = Dup("3gp");
             free(g->videoEncoder), g->videoEncoder = Dup("h263");
             free(g->audioEncoder), g->audioEncoder = Dup("aac");
         },
         crEncoderRefused},
        {"no output path", Clip(), [](GroupMediaUIOption* g, auto*) { g->outputPath[0] = 0; }, crIncompleteJob},
        {"VOB cut before its first whole picture", cut, {}, crNoWholePicture, false},
        {"thumbnail of that VOB", cut,
         [](GroupMediaUIOption* g, auto*) { free(g->formatName), g->formatName = Dup("image2"), g->thumbnail = 1; },
         crNoWholePicture, false},
    };
    const std::string generic = getErrorInfo(-1, 0, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Group g;
        MediaUIOption* in = g.AddFile(c.input);
        SetOutput(g.g, Output{}, Out("out.flv"));
        if (c.change) c.change(g.g, in);
        EXPECT_EQ(g.Convert(), c.code);
        EXPECT_NE(getErrorInfo(c.code, 0, 1), generic);
        EXPECT_FALSE(fs::exists(Out("out.flv"))) << "output left behind";
        EXPECT_EQ(PartFiles(tmp_.path()), 0);
        if (c.input != Clip() && c.refusedWhenAdded) {
            EXPECT_NE(isSupportFormat(c.input.c_str()), 0);
        }
    }
    EXPECT_EQ(isSupportFormat(Clip().c_str()), 0);
    {
        Group empty;  // a job without input
        SetOutput(empty.g, Output{}, Out("out.flv"));
        EXPECT_EQ(empty.Convert(), crIncompleteJob);
    }
    EXPECT_EQ(converteToMedia(nullptr, "flv", 0), crIncompleteJob);
}

// A failed library call keeps the library's own text beside the code; a success, and a
// failure found before any library call, leave none.
TEST_F(ConverterControl, FailureKeepsTheLibrarysText) {
    struct Case {
        const char* name;
        std::function<void(GroupMediaUIOption*, MediaUIOption*)> change;
        int code;
        std::string step;  // how the text starts; empty: no text
    } cases[] = {
        {"size the codec refuses",
         [](GroupMediaUIOption* g, auto*) {
             free(g->formatName), g->formatName = Dup("3gp");
             free(g->videoEncoder), g->videoEncoder = Dup("h263");
             free(g->audioEncoder), g->audioEncoder = Dup("aac");
         },
         crEncoderRefused, "opening the video encoder: "},
        {"trim beyond end", [](auto*, MediaUIOption* m) { m->trimStart = 5; }, crTrimBeyondEnd, ""},
        {"success", {}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Group g;
        MediaUIOption* in = g.AddFile(Clip());
        SetOutput(g.g, Output{}, Out("out.flv"));
        if (c.change) c.change(g.g, in);
        EXPECT_EQ(g.Convert(), c.code);
        char text[256] = "x";
        const int length = getConvertFailureText(g.g, text, sizeof text);
        EXPECT_EQ(length, static_cast<int>(std::strlen(text)));
        if (c.step.empty()) {
            EXPECT_STREQ(text, "");
            continue;
        }
        EXPECT_EQ(std::string(text).rfind(c.step, 0), 0u) << text;
        EXPECT_GT(std::strlen(text), c.step.size()) << "the library's own words follow the step";
        char cut[8];
        EXPECT_EQ(getConvertFailureText(g.g, cut, sizeof cut), length);
        EXPECT_EQ(std::string(cut), std::string(text, 7));
    }
    char none[4] = "x";
    EXPECT_EQ(getConvertFailureText(nullptr, none, sizeof none), 0);
    EXPECT_STREQ(none, "");
}

TEST_F(ConverterControl, FileInfoDescribesTheSource) {
    MediaInfo info{};
    std::snprintf(info.path, sizeof info.path, "%s", Clip().c_str());
    ASSERT_EQ(getFileInfo(&info), 0);
    EXPECT_NEAR(info.duration, 2.0, 0.1);
    EXPECT_EQ(info.durationSeconds, 2);
    EXPECT_EQ(info.width, 320);
    EXPECT_EQ(info.height, 240);
    EXPECT_FLOAT_EQ(info.frameRate, 25.0f);
    EXPECT_EQ(info.audioChannels, 2);
    EXPECT_EQ(info.audioSampleRate, 48000);
    EXPECT_GT(info.videoBitrate, 0);
    EXPECT_GT(info.audioBitrate, 0);
    // Whole seconds round up, so that a trim to the whole length keeps the last fraction.
    MediaInfo part{};
    std::snprintf(part.path, sizeof part.path, "%s", (tmp_.path() / "part.mp4").c_str());
    ASSERT_EQ(MakeClip(part.path, 1.5), "");
    ASSERT_EQ(getFileInfo(&part), 0);
    EXPECT_EQ(part.durationSeconds, 2);
    MediaInfo none{};
    std::snprintf(none.path, sizeof none.path, "%s", (tmp_.path() / "none.mp4").c_str());
    EXPECT_EQ(getFileInfo(&none), crInputUnreadable);
    EXPECT_EQ(none.width, 0);
}

// What the progress window receives: the records, in order of arrival.
struct Recorder {
    static inline std::mutex lock;
    static inline std::vector<double> seconds;
    static inline std::atomic<int> cancel{0};
    static inline std::atomic<bool> cancelAtTheEnd{false};  // cancel once the whole length is reported
    static platform::BOOL Post(platform::HWND, platform::UINT msg, platform::WPARAM w, platform::LPARAM) {
        auto* info = reinterpret_cast<ConvertProgressInfo*>(w);
        if (msg == WM_CONVERTER_PROGRESS) {
            std::lock_guard g(lock);
            seconds.push_back(info->convertedSeconds);
            if (cancelAtTheEnd && info->totalSeconds > 0 && info->convertedSeconds >= info->totalSeconds - 1e-6)
                cancel = 1;
        }
        freeConvertProgressInfo(info);  // the receiver owns the record
        return 1;
    }
    static std::int32_t Query() { return cancel.load(); }
    static void Reset() {
        std::lock_guard g(lock);
        seconds.clear();
        cancel = 0;
        cancelAtTheEnd = false;
    }
};

// A preview that takes 10 ms a picture: a job of n pictures lasts n/100 s on any machine.
struct SlowPreview {
    SlowPreview() {
        setPreviewSink([](const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t, double, void*) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }, nullptr);
        setUsingPreview(1);
    }
    ~SlowPreview() {
        setUsingPreview(0);
        setPreviewSink(nullptr, nullptr);
    }
};

class ConverterProgress : public ConverterControl {
protected:
    void SetUp() override {
        Recorder::Reset();
        setMessagePoster(&Recorder::Post);
        handle_.queryCancel = &Recorder::Query;
        handle_.window = reinterpret_cast<platform::HWND>(0x1234);
        setProgressHandle(&handle_);
    }
    void TearDown() override {
        setProgressHandle(nullptr);
        setMessagePoster(nullptr);
    }
    ProgressHandle handle_{};
};

TEST_F(ConverterProgress, ArrivesInOrderAndReachesTheLength) {
    SlowPreview slow;  // 100 pictures: about a second, so several messages
    Group g;
    g.AddFile(Clip());
    g.AddFile(Clip());
    SetOutput(g.g, Output{}, Out("out.flv"));
    ASSERT_EQ(g.Convert(), 0);
    std::lock_guard lock(Recorder::lock);
    ASSERT_GE(Recorder::seconds.size(), 3u);
    for (size_t i = 1; i < Recorder::seconds.size(); ++i) EXPECT_GE(Recorder::seconds[i], Recorder::seconds[i - 1]);
    EXPECT_NEAR(Recorder::seconds.back(), 4.0, 0.1);
}

TEST_F(ConverterProgress, CancelFromAnotherThreadStopsWithItsCodeAndNoOutput) {
    fs::path longClip = tmp_.path() / "long.mp4";
    ASSERT_EQ(MakeClip(longClip, 20.0, "160x120", "25", {440}, 44100, "-q:v 8"), "");
    SlowPreview slow;
    Group g;
    g.AddFile(longClip);
    SetOutput(g.g, Output{}, Out("out.flv"));
    std::atomic<bool> done{false};
    std::chrono::steady_clock::time_point asked;
    std::thread canceller([&] {
        // Once the job is under way, the user cancels.
        while (!done) {
            {
                std::lock_guard lock(Recorder::lock);
                if (Recorder::seconds.size() >= 2) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        asked = std::chrono::steady_clock::now();
        Recorder::cancel = 1;
    });
    int r = g.Convert();
    auto ended = std::chrono::steady_clock::now();
    done = true;
    canceller.join();
    EXPECT_EQ(r, crCancelled);
    EXPECT_LT(std::chrono::duration<double>(ended - asked).count(), 1.0);
    EXPECT_FALSE(fs::exists(Out("out.flv")));
    EXPECT_EQ(PartFiles(tmp_.path()), 0);
}

// A cancel that lands while the job finishes (after its whole length is written, before it
// returns) ends it as cancelled, with no output left.
TEST_F(ConverterProgress, CancelWhileTheJobFinishesIsACancel) {
    fs::path silent = tmp_.path() / "silent.mp4";  // no sound: the pictures end the input
    ASSERT_EQ(MakeClip(silent, 1.0, "160x120", "25", {}), "");
    Recorder::cancelAtTheEnd = true;
    Group g;
    g.AddFile(silent);
    SetOutput(g.g, Output{}, Out("out.flv"));
    EXPECT_EQ(g.Convert(), crCancelled);
    EXPECT_EQ(Recorder::cancel.load(), 1);
    EXPECT_FALSE(fs::exists(Out("out.flv")));
    EXPECT_EQ(PartFiles(tmp_.path()), 0);
}

// A converting child process that, once its temporary output has grown past a size, tells
// the test through a pipe and hangs in its cancel query until it is killed.
struct HangingWriter {
    static inline int tell = -1;
    static inline fs::path folder;
    static inline std::string prefix;  // "<output name>."
    static constexpr std::uintmax_t kGrown = 128 * 1024;
    static constexpr unsigned kLongest = 120;  // seconds a child lives at most

    static std::int32_t Query() {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec)) {
            const std::string name = e.path().filename().string();
            if (name.rfind(prefix, 0) == 0 && name.ends_with(".part") && fs::file_size(e.path(), ec) >= kGrown) {
                if (::write(tell, "w", 1) != 1) ::_exit(3);
                for (;;) ::pause();
            }
        }
        return 0;
    }

    // The child's id once its output has grown; -1 when it never did.
    static pid_t Start(const fs::path& source, const fs::path& output) {
        int fds[2];
        if (::pipe(fds) != 0) return -1;
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Whatever becomes of the test, the child does not outlive it for long.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(4);
            ::alarm(kLongest);
            ::close(fds[0]);
            tell = fds[1];
            folder = output.parent_path();
            prefix = output.filename().string() + ".";
            ProgressHandle handle{&HangingWriter::Query, nullptr};
            setProgressHandle(&handle);
            Group g;
            g.AddFile(source);
            SetOutput(g.g, Output{}, output);
            g.Convert();
            ::_exit(2);  // finished without hanging
        }
        ::close(fds[1]);
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        const bool grown = pid > 0 && ::poll(&p, 1, int(kLongest) * 1000) == 1 && ::read(fds[0], &c, 1) == 1;
        ::close(fds[0]);
        if (!grown && pid > 0) Kill(pid);
        return grown ? pid : -1;
    }

    static void Kill(pid_t pid) {
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
};

// A conversion killed half-way leaves its temporary output behind; the next job that starts
// in that folder removes it, and never the temporary output of a writer that still runs.
TEST_F(ConverterControl, NextJobRemovesOnlyTheLeftoversOfKilledWriters) {
    const fs::path source = dir_->path() / "ten.mp4";
    ASSERT_EQ(MakeClip(source, 10.0), "");
    const fs::path folder = tmp_.path() / "job";
    fs::create_directories(folder);
    auto partsOf = [&](const std::string& output) {
        std::vector<fs::path> parts;
        for (const auto& e : fs::directory_iterator(folder)) {
            const std::string name = e.path().filename().string();
            if (name.rfind(output + ".", 0) == 0 && name.ends_with(".part")) parts.push_back(e.path());
        }
        return parts;
    };
    const pid_t killed = HangingWriter::Start(source, folder / "killed.flv");
    ASSERT_GT(killed, 0) << "the first writer never got half-way";
    const pid_t living = HangingWriter::Start(source, folder / "living.flv");
    if (living <= 0) HangingWriter::Kill(killed);
    ASSERT_GT(living, 0) << "the second writer never got half-way";
    HangingWriter::Kill(killed);
    ASSERT_EQ(partsOf("killed.flv").size(), 1u);
    EXPECT_GE(fs::file_size(partsOf("killed.flv")[0]), HangingWriter::kGrown);

    // Files that only look like part files, or that are no plain files, are not the job's.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const std::string dead = std::to_string(ended);
    const fs::path victim = tmp_.Write("victim.txt", "not to be touched");
    const std::vector<std::string> strangers = {"odd.flv.part", "odd.flv.abcdefgh.part",
                                                "odd.flv.9999999999999999999-1-abcdefgh.part",
                                                "odd.flv." + dead + "-1-abc.part", "odd.flv." + dead + "-x-abcdefgh.part"};
    for (const std::string& name : strangers) tmp_.Write("job/" + name, "someone's");
    fs::create_directory(folder / ("odd.flv." + dead + "-1-abcdefgh.part"));
    fs::create_symlink(victim, folder / ("odd.flv." + dead + "-2-abcdefgh.part"));

    Group next;
    next.AddFile(Clip());
    SetOutput(next.g, Output{}, folder / "next.flv");
    EXPECT_EQ(next.Convert(), 0);
    EXPECT_TRUE(partsOf("killed.flv").empty()) << "a killed writer's leftover stayed";
    EXPECT_EQ(partsOf("living.flv").size(), 1u) << "a living writer's file was touched";
    EXPECT_EQ(partsOf("odd.flv").size(), strangers.size() + 2);
    std::ifstream kept(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "not to be touched");

    // Once that writer is killed too, the next job (a thumbnail here) removes its leftover.
    HangingWriter::Kill(living);
    Group thumbnail("image2");
    thumbnail.AddFile(folder / "next.flv");
    std::snprintf(thumbnail.g->outputPath, sizeof thumbnail.g->outputPath, "%s", (folder / "next.jpg").c_str());
    thumbnail.g->thumbnail = 1;
    EXPECT_EQ(thumbnail.Convert(), 0);
    EXPECT_TRUE(partsOf("living.flv").empty());
    // The outputs keep their names; the killed jobs left no output under theirs.
    EXPECT_TRUE(fs::is_regular_file(folder / "next.flv"));
    EXPECT_TRUE(fs::is_regular_file(folder / "next.jpg"));
    EXPECT_FALSE(fs::exists(folder / "killed.flv"));
    EXPECT_FALSE(fs::exists(folder / "living.flv"));
}

struct PreviewRecorder {
    int frames = 0, width = 0, height = 0;
    bool opaque = true;
    static void Sink(const std::uint8_t* bgra, std::int32_t w, std::int32_t h, std::int32_t stride, double, void* ctx) {
        auto* self = static_cast<PreviewRecorder*>(ctx);
        ++self->frames;
        self->width = w, self->height = h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) self->opaque &= bgra[y * stride + x * 4 + 3] == 255;
    }
};

TEST_F(ConverterControl, PreviewHandsOverTheConvertedFramesOnlyWhenOn) {
    PreviewRecorder rec;
    setPreviewSink(&PreviewRecorder::Sink, &rec);
    for (int on : {1, 0}) {
        SCOPED_TRACE(on);
        rec = PreviewRecorder{};
        setUsingPreview(on);
        Group g;
        g.AddFile(Clip());
        Output o;
        o.size = "160x120";
        SetOutput(g.g, o, Out("out.flv"));
        ASSERT_EQ(g.Convert(), 0);
        if (on) {
            EXPECT_EQ(rec.frames, 50);  // 2 s at 25 frames a second
            EXPECT_EQ(rec.width, 160);
            EXPECT_EQ(rec.height, 120);
            EXPECT_TRUE(rec.opaque);
        } else {
            EXPECT_EQ(rec.frames, 0);
        }
    }
    setUsingPreview(0);
    setPreviewSink(nullptr, nullptr);
}

}  // namespace
