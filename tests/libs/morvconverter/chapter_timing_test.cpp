// Where a DVD chapter's output begins and ends, picture by picture and in its sound, on
// the timing fixture (tests/fixtures/make_timing_dvd.sh): every source picture carries its
// frame number as bars, the tone steps up by 100 Hz each second of the title.
#include <gtest/gtest.h>

#include <cstdlib>

#include "libs/morvdvdread/morvdvdread.h"
#include "morvconverter/media_check.h"
#include "support/tempdir.h"

using namespace convtest;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 320, kHeight = 240, kBars = 8, kRate = 25, kSoundRate = 8000;

// The frame number each picture of a file shows, read from its bars; `first` is a filter
// the pictures go through before they are read ("fps=10" say).
std::vector<int> FrameNumbers(const fs::path& file, const std::string& first = "") {
    std::string raw = Run("ffmpeg -nostdin -loglevel error -i " + Quote(file.string()) + " -vf " +
                          (first.empty() ? "" : first + ",") + "scale=" +
                          std::to_string(kWidth) + ":" + std::to_string(kHeight) +
                          ",format=gray -f rawvideo - 2>/dev/null");
    const size_t size = size_t(kWidth) * kHeight;
    const int bar = kWidth / kBars;
    std::vector<int> numbers;
    for (size_t at = 0; at + size <= raw.size(); at += size) {
        int n = 0;
        for (int b = 0; b < kBars; ++b) {
            long sum = 0, count = 0;
            for (int y = kHeight / 3; y < 2 * kHeight / 3; ++y)
                for (int x = b * bar + bar / 4; x < (b + 1) * bar - bar / 4; ++x, ++count)
                    sum += static_cast<unsigned char>(raw[at + size_t(y) * kWidth + size_t(x)]);
            if (sum / count > 128) n |= 1 << b;
        }
        numbers.push_back(n);
    }
    return numbers;
}

std::string Joined(const std::vector<int>& numbers) {
    std::string s;
    for (int n : numbers) s += std::to_string(n) + " ";
    return s;
}

// The whole sound of a file, mono at 8 kHz.
std::vector<std::int16_t> WholeSound(const fs::path& file) {
    std::string raw = Run("ffmpeg -nostdin -loglevel error -i " + Quote(file.string()) + " -vn -ac 1 -ar " +
                          std::to_string(kSoundRate) + " -f s16le - 2>/dev/null");
    std::vector<std::int16_t> s(raw.size() / 2);
    std::memcpy(s.data(), raw.data(), s.size() * 2);
    return s;
}

// The frequency of the sound between two times, from its zero crossings; -1 outside it.
double ToneBetween(const std::vector<std::int16_t>& s, double from, double to) {
    size_t a = size_t(std::max(0.0, from) * kSoundRate), b = size_t(to * kSoundRate);
    if (from < 0 || b > s.size() || b <= a + 1) return -1;
    int crossings = 0;
    for (size_t i = a + 1; i < b; ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
    return crossings / 2.0 / (double(b - a) / kSoundRate);
}

double ToneOfSecond(int second) { return 300 + 100 * second; }

class ChapterTiming : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* build = std::getenv("LUMACAST_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        root_ = new std::string(std::string(build) + "/fixtures/dvd_timing");
        ASSERT_EQ(parseDVD(&disc_, root_->c_str(), 0), DVD_OK);
    }
    static void TearDownTestSuite() { delete root_; }

    static const DvdTitle& Title() { return disc_->titleSets[0].titles[0]; }

    static std::string* root_;
    static DvdDisc* disc_;
    testsupport::TempDir tmp_;
};
std::string* ChapterTiming::root_ = nullptr;
DvdDisc* ChapterTiming::disc_ = nullptr;

// Each chapter's output shows exactly its own pictures, from its first to its last, and its
// sound steps to the next tone where its pictures reach the next second of the title.
TEST_F(ChapterTiming, ChapterBeginsAndEndsWithItsOwnPicturesAndSound) {
    const DvdTitle& title = Title();
    ASSERT_EQ(title.chapterCount, 3);
    for (int c = 0; c < title.chapterCount; ++c) {
        const DvdChapter& chapter = title.chapters[c];
        SCOPED_TRACE("chapter " + std::to_string(c + 1));
        const int first = int(std::lround(chapter.startMs * kRate / 1000.0));
        const int count = int(std::lround(chapter.lengthMs * kRate / 1000.0));

        GroupMediaUIOption* g = nullptr;
        createGroupMediaUIOptionForDVD(&g, disc_, "matroska", 0);
        MediaUIOption* m = createMediaUIOptionForDVD(g, &chapter);
        m->audioId = 0;
        m->subtitleId = -1;
        Output o;
        o.format = "matroska", o.video = "mpeg4", o.audio = "pcm_s16le", o.videoBitrate = 4000;
        o.size = std::to_string(kWidth) + "x" + std::to_string(kHeight), o.frameRate = kRate;
        o.sampleRate = 48000;
        const fs::path out = tmp_.path() / ("chapter" + std::to_string(c) + ".mkv");
        SetOutput(g, o, out);
        ASSERT_EQ(converteToMedia(g, "matroska", 0), 0);
        freeGroupMediaUIOption(&g);

        std::string expected;
        for (int k = 0; k < count; ++k) expected += std::to_string(first + k) + " ";
        ASSERT_EQ(Joined(FrameNumbers(out)), expected);

        // The sound at the start, just before and just after each second boundary of the
        // title that the chapter crosses, and at the end.
        std::vector<std::int16_t> sound = WholeSound(out);
        const double length = double(count) / kRate;
        EXPECT_NEAR(double(sound.size()) / kSoundRate, length, 0.05);
        EXPECT_NEAR(ToneBetween(sound, 0.0, 0.08), ToneOfSecond(first / kRate), 25);
        for (int second = first / kRate + 1; second * kRate < first + count; ++second) {
            const double at = double(second * kRate - first) / kRate;  // in the output
            SCOPED_TRACE("second " + std::to_string(second) + " at " + std::to_string(at));
            EXPECT_NEAR(ToneBetween(sound, at - 0.1, at - 0.02), ToneOfSecond(second - 1), 25);
            EXPECT_NEAR(ToneBetween(sound, at + 0.02, at + 0.1), ToneOfSecond(second), 25);
        }
        EXPECT_NEAR(ToneBetween(sound, length - 0.08, length), ToneOfSecond((first + count - 1) / kRate), 25);
    }
}

// A chapter that holds several programs (its next chapter starts programs later) is read
// to the next chapter's first program, the last chapter to the chain's end, also where the
// programs' clocks start anew; a trim that starts after such a restart keeps its frames.
// Title 2's chapters hold frames 0-59 (two programs), 60-149 (three) and 150-179 (one).
TEST_F(ChapterTiming, ChapterOverSeveralProgramsHoldsThemAll) {
    const DvdTitle& title = disc_->titleSets[1].titles[0];
    ASSERT_EQ(title.chapterCount, 3);
    const struct {
        int chapter, trimStart, first, count;
    } cases[] = {{0, 0, 0, 60}, {1, 0, 60, 90}, {2, 0, 150, 30}, {1, 3, 135, 15}, {0, 1, 25, 35}};
    for (const auto& c : cases) {
        SCOPED_TRACE("chapter " + std::to_string(c.chapter + 1) + " from " + std::to_string(c.trimStart) + " s");
        GroupMediaUIOption* g = nullptr;
        createGroupMediaUIOptionForDVD(&g, disc_, "matroska", 0);
        MediaUIOption* m = createMediaUIOptionForDVD(g, &title.chapters[c.chapter]);
        m->subtitleId = -1;
        m->trimStart = c.trimStart;
        Output o;
        o.format = "matroska", o.video = "mpeg4", o.audio = "pcm_s16le", o.videoBitrate = 2000;
        o.size = std::to_string(kWidth) + "x" + std::to_string(kHeight), o.frameRate = kRate;
        const fs::path out = tmp_.path() / ("programs" + std::to_string(c.chapter) + "-" + std::to_string(c.trimStart) + ".mkv");
        SetOutput(g, o, out);
        const int result = converteToMedia(g, "matroska", 0);
        freeGroupMediaUIOption(&g);
        ASSERT_EQ(result, 0);
        std::string expected;
        for (int k = 0; k < c.count; ++k) expected += std::to_string(c.first + k) + " ";
        EXPECT_EQ(Joined(FrameNumbers(out)), expected);
        EXPECT_NEAR(Seconds(Probe(out)), double(c.count) / kRate, 0.05);
    }
}

// At a frame rate below the source's, each chapter keeps the pictures the command line's
// rate filter picks from the chapter at its own rate: those picked before scaling are the
// ones picked after it.
TEST_F(ChapterTiming, LowerFrameRateKeepsThePicturesTheRateFilterPicks) {
    const DvdTitle& title = Title();
    ASSERT_EQ(title.chapterCount, 3);
    for (int c = 0; c < title.chapterCount; ++c) {
        SCOPED_TRACE("chapter " + std::to_string(c + 1));
        fs::path outputs[2];
        for (int rate : {kRate, 10}) {
            GroupMediaUIOption* g = nullptr;
            createGroupMediaUIOptionForDVD(&g, disc_, "matroska", 0);
            MediaUIOption* m = createMediaUIOptionForDVD(g, &title.chapters[c]);
            m->subtitleId = -1;
            Output o;
            o.format = "matroska", o.video = "mpeg4", o.audio = "pcm_s16le", o.videoBitrate = 4000;
            o.size = "480x360", o.frameRate = float(rate);
            fs::path& out = outputs[rate == kRate ? 0 : 1];
            out = tmp_.path() / ("chapter" + std::to_string(c) + "-" + std::to_string(rate) + ".mkv");
            SetOutput(g, o, out);
            ASSERT_EQ(converteToMedia(g, "matroska", 0), 0);
            freeGroupMediaUIOption(&g);
        }
        const std::vector<int> picked = FrameNumbers(outputs[0], "fps=10:start_time=0");
        ASSERT_GE(picked.size(), 20u);
        EXPECT_EQ(Joined(FrameNumbers(outputs[1])), Joined(picked));
    }
}

}  // namespace
