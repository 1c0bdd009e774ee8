// Conversions of the DVD fixture's chapters, checked by ffprobe and the ffmpeg command line.
#include <gtest/gtest.h>

#include "fixtures/dvd_fixture.h"
#include "libs/morvdvdread/morvdvdread.h"
#include "morvconverter/media_check.h"
#include "support/tempdir.h"

using namespace convtest;
namespace fs = std::filesystem;
using lumacast::fixtures::DvdFixture;

namespace {

// The reader's records of a disc, made here from the fixture's description.
struct Disc {
    DvdDisc disc{};
    std::vector<std::unique_ptr<DvdTitle>> titles;
    std::vector<std::vector<DvdChapter>> chapters;
    std::vector<std::string> ifoPaths;

    Disc(const DvdFixture& fx, const std::string& root) {
        std::snprintf(disc.path, sizeof disc.path, "%s", root.c_str());
        for (auto& t : fx.titles) {
            char ifo[64];
            std::snprintf(ifo, sizeof ifo, "/VIDEO_TS/VTS_%02d_0.IFO", t.set);
            ifoPaths.push_back(root + ifo);
        }
        chapters.resize(fx.titles.size());
        for (size_t i = 0; i < fx.titles.size(); ++i) {
            auto& src = fx.titles[i];
            auto t = std::make_unique<DvdTitle>();
            t->present = 1;
            t->titleNumber = src.title;
            t->ifoPath = ifoPaths[i].c_str();
            t->titleSetNumber = src.set;
            t->titleSetTitle = src.setTitle;
            t->lengthSeconds = int(src.length);
            for (size_t c = 0; c < src.chapterLengths.size(); ++c) {
                DvdChapter ch{};
                ch.present = 1;
                ch.number = int(c);
                ch.lengthSeconds = int(src.chapterLengths[c]);
                ch.lengthMs = int(src.chapterLengths[c] * 1000);
                ch.title = t.get();
                chapters[i].push_back(ch);
            }
            t->chapterCount = int(chapters[i].size());
            t->chapters = chapters[i].data();
            titles.push_back(std::move(t));
        }
    }
    const DvdChapter* Chapter(int title, int chapter) const { return &chapters[size_t(title)][size_t(chapter)]; }
};

// A disc of one title with one chapter, made of programs of the given lengths (one cell
// each, every one with its own clock starting at zero) at the given video bit rate.
struct OneChapterDisc {
    std::string ifo;
    DvdTitle title{};
    DvdChapter chapter{};
    bool made = false;

    OneChapterDisc(const fs::path& dir, std::vector<int> seconds, int kbit) {
        fs::create_directories(dir);
        std::string make, parts;
        for (size_t i = 0; i < seconds.size(); ++i) {
            std::string part = Quote((dir / ("part" + std::to_string(i) + ".mpg")).string());
            std::string length = std::to_string(seconds[i]);
            make += "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=720x480:rate=30000/1001:duration=" +
                    length + " -f lavfi -i sine=sample_rate=48000:duration=" + length +
                    " -target ntsc-dvd -ac 2 -b:v " + std::to_string(kbit) + "k -maxrate " + std::to_string(kbit) +
                    "k " + part + " && ";
            parts += " " + part;
        }
        make += "VIDEO_FORMAT=NTSC dvdauthor -o " + Quote(dir.string()) + " -t -c 0" + parts +
                " >/dev/null 2>&1 && VIDEO_FORMAT=NTSC dvdauthor -o " + Quote(dir.string()) +
                " -T >/dev/null 2>&1 && echo made";
        made = convtest::Run(make) == "made\n";
        ifo = (dir / "VIDEO_TS/VTS_01_0.IFO").string();
        title.ifoPath = ifo.c_str();
        title.titleSetNumber = 1;
        title.titleSetTitle = 1;
        chapter.title = &title;
    }
};

class DvdConversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fx_ = new DvdFixture(lumacast::fixtures::LoadDvdFixture());
        disc_ = new Disc(*fx_, fx_->root);
    }
    static void TearDownTestSuite() {
        delete disc_;
        delete fx_;
    }
    fs::path Out(const std::string& name) const { return tmp_.path() / name; }

    // A group of chapters of the fixture's disc with the given output.
    struct DvdGroup : Group {
        explicit DvdGroup(const Disc& d) : Group() {
            freeGroupMediaUIOption(&g);
            createGroupMediaUIOptionForDVD(&g, &d.disc, "flv", 0);
        }
        MediaUIOption* AddChapter(const DvdChapter* c) {
            MediaUIOption* m = createMediaUIOptionForDVD(g, c);
            m->subtitleId = -1;
            return m;
        }
    };

    static DvdFixture* fx_;
    static Disc* disc_;
    testsupport::TempDir tmp_;
};
DvdFixture* DvdConversion::fx_ = nullptr;
Disc* DvdConversion::disc_ = nullptr;

TEST_F(DvdConversion, ChapterToFlvHasTheAskedStreamsAndTheChapterLength) {
    DvdGroup g(*disc_);
    g.AddChapter(disc_->Chapter(0, 1));
    Output o;
    o.size = "320x240", o.frameRate = 25, o.sampleRate = 22050, o.channels = 1;
    SetOutput(g.g, o, Out("chapter.flv"));
    ASSERT_EQ(g.Convert(), 0);
    auto p = Probe(Out("chapter.flv"));
    EXPECT_EQ(p["v.codec"], "flv1");
    EXPECT_EQ(p["v.width"] + "x" + p["v.height"], "320x240");
    EXPECT_EQ(p["v.rate"], "25/1");
    EXPECT_EQ(p["a.codec"], "mp3");
    EXPECT_EQ(p["a.sample_rate"], "22050");
    EXPECT_EQ(p["a.channels"], "1");
    EXPECT_NEAR(Seconds(p), fx_->titles[0].chapterLengths[1], 0.5);
}

TEST_F(DvdConversion, TrimsJoinedChaptersAndMergesGiveTheirLengths) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> chapters;  // title, chapter
        int trimStart, trimLength;
        bool addFile;
        double expected;
    } cases[] = {
        {"trimmed chapter", {{1, 0}}, 1, 1, false, 1.0},
        {"two chapters of a title", {{0, 0}, {0, 1}}, 0, 0, false,
         fx_->titles[0].chapterLengths[0] + fx_->titles[0].chapterLengths[1]},
        {"chapter and file", {{2, 1}}, 0, 0, true, fx_->titles[2].chapterLengths[1] + 2.0},
    };
    fs::path file = tmp_.path() / "file.mp4";
    ASSERT_EQ(MakeClip(file, 2.0, "320x240", "25", {440}, 44100), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DvdGroup g(*disc_);
        for (auto [t, ch] : c.chapters) {
            MediaUIOption* m = g.AddChapter(disc_->Chapter(t, ch));
            m->trimStart = c.trimStart;
            m->trimLength = c.trimLength;
        }
        if (c.addFile) g.AddFile(file);
        SetOutput(g.g, Output{}, Out("out.flv"));
        ASSERT_EQ(g.Convert(), 0);
        EXPECT_NEAR(Seconds(Probe(Out("out.flv"))), c.expected, 0.5);
    }
}

TEST_F(DvdConversion, ChosenAudioStreamIsTheOneInTheOutput) {
    const auto& title = fx_->titles[1];
    ASSERT_GE(title.audio.size(), 2u);
    for (int id : {0, 1}) {
        SCOPED_TRACE(id);
        DvdGroup g(*disc_);
        g.AddChapter(disc_->Chapter(1, 0))->audioId = id;
        SetOutput(g.g, Output{}, Out("audio.flv"));
        ASSERT_EQ(g.Convert(), 0);
        EXPECT_NEAR(Tone(Out("audio.flv"), 0.5, 2.0), title.audio[size_t(id)].toneHz, 40);
    }
    DvdGroup missing(*disc_);
    missing.AddChapter(disc_->Chapter(1, 0))->audioId = 5;
    SetOutput(missing.g, Output{}, Out("none.flv"));
    EXPECT_EQ(missing.Convert(), crAudioStreamMissing);
}

TEST_F(DvdConversion, SubtitleIsBurnedIntoThePicture) {
    std::vector<std::uint8_t> pictures[2];
    for (int id : {-1, 0}) {
        DvdGroup g(*disc_);
        g.AddChapter(disc_->Chapter(1, 0))->subtitleId = id;
        Output o;
        o.format = "mp4", o.video = "mpeg4", o.audio = "aac", o.videoBitrate = 4000, o.size = "360x240";
        SetOutput(g.g, o, Out("sub.mp4"));
        ASSERT_EQ(g.Convert(), 0);
        pictures[id + 1] = Picture(Out("sub.mp4"), 0.5, "", 360, 240);
    }
    ASSERT_EQ(pictures[0].size(), pictures[1].size());
    ASSERT_FALSE(pictures[0].empty());
    // The subtitle sits at the bottom: there the pictures differ, above they agree.
    auto strip = [](const std::vector<std::uint8_t>& p, int from, int to) {
        return std::vector<std::uint8_t>(p.begin() + from * 360 * 3, p.begin() + to * 360 * 3);
    };
    EXPECT_GT(Psnr(strip(pictures[0], 0, 150), strip(pictures[1], 0, 150)), 35.0);
    EXPECT_LT(Psnr(strip(pictures[0], 180, 240), strip(pictures[1], 180, 240)), 25.0);
}

// A file may carry DVD sub-pictures too: its n-th subtitle stream is burned in; a file
// without subtitles has none to burn, whatever id the row holds.
TEST_F(DvdConversion, FileSubtitlesAreBurnedByTheirNumber) {
    fs::path withSubs = tmp_.path() / "subs.mkv", without = tmp_.path() / "plain.mkv";
    std::string vob = Quote(fx_->videoTs + "/VTS_01_1.VOB");
    convtest::Run("ffmpeg -nostdin -loglevel error -y -i " + vob + " -map 0:v:0 -map 0:a:0 -map 0:s:0 -c copy " +
                  Quote(withSubs.string()));
    convtest::Run("ffmpeg -nostdin -loglevel error -y -i " + vob + " -map 0:v:0 -map 0:a:0 -c copy " +
                  Quote(without.string()));
    auto convert = [&](const fs::path& in, int subtitle, std::vector<std::uint8_t>* picture) {
        Group g;
        g.AddFile(in)->subtitleId = subtitle;
        Output o;
        o.format = "mp4", o.video = "mpeg4", o.audio = "aac", o.videoBitrate = 4000, o.size = "360x240";
        SetOutput(g.g, o, Out("file.mp4"));
        int r = g.Convert();
        if (!r && picture) *picture = Picture(Out("file.mp4"), 0.5, "", 360, 240);
        return r;
    };
    std::vector<std::uint8_t> burned, plain;
    ASSERT_EQ(convert(withSubs, 0, &burned), 0);
    ASSERT_EQ(convert(without, 0, &plain), 0);
    ASSERT_EQ(burned.size(), plain.size());
    EXPECT_LT(Psnr(std::vector<std::uint8_t>(burned.begin() + 180 * 360 * 3, burned.end()),
                   std::vector<std::uint8_t>(plain.begin() + 180 * 360 * 3, plain.end())),
              25.0);
    EXPECT_EQ(convert(withSubs, 3, nullptr), crSubtitleStreamMissing);
}

// A chapter made of two separately encoded programs: the clock of the second cell starts
// again at zero. The output plays both cells in order, at their full length.
TEST_F(DvdConversion, ChapterWhoseClockRestartsPlaysOnInOrder) {
    OneChapterDisc disc(tmp_.path() / "cells", {2, 2}, 2000);
    ASSERT_TRUE(disc.made);
    DvdGroup g(*disc_);
    g.AddChapter(&disc.chapter);
    Output o;
    o.format = "mp4", o.video = "mpeg4", o.audio = "aac", o.videoBitrate = 4000;
    SetOutput(g.g, o, Out("cells.mp4"));
    ASSERT_EQ(g.Convert(), 0);
    EXPECT_NEAR(Seconds(Probe(Out("cells.mp4"))), 4.0, 0.5);
    // Both cells show the same moving picture: second 3 is second 1 again, not a still.
    auto at = [&](double t) { return Picture(Out("cells.mp4"), t, "", 320, 240); };
    EXPECT_GT(Psnr(at(3.0), at(1.0)), 30.0);
    EXPECT_LT(Psnr(at(3.0), at(3.5)), 30.0);
}

TEST_F(DvdConversion, PropertiesOfAChapter) {
    GroupMediaUIOption* g = nullptr;
    createGroupMediaUIOptionForDVD(&g, &disc_->disc, nullptr, 0);
    MediaUIOption* m = createMediaUIOptionForDVD(g, disc_->Chapter(2, 0));
    m->subtitleId = 0;
    m->audioId = 0;
    MediaInfo info{};
    info.group = g;
    ASSERT_EQ(getDVDProperties(&info), 0);
    freeGroupMediaUIOption(&g);
    EXPECT_EQ(g, nullptr);
    EXPECT_NEAR(info.duration, fx_->titles[2].chapterLengths[0], 0.1);
    EXPECT_EQ(info.width, 720);
    EXPECT_EQ(info.height, 576);
    EXPECT_NEAR(info.frameRate, 25.0, 0.01);
    EXPECT_EQ(info.audioChannels, 2);
    EXPECT_EQ(info.audioSampleRate, 48000);
}

// The DVD reader's own records of the fixture lead the converter to each chapter.
TEST_F(DvdConversion, ReaderRecordsFindTheirChapters) {
    DvdDisc* disc = nullptr;
    ASSERT_EQ(parseDVD(&disc, fx_->root.c_str(), 0), DVD_OK);
    size_t expected = 0, checked = 0;
    for (auto& t : fx_->titles) expected += t.chapterLengths.size();
    for (int s = 0; s < disc->titleSetCount; ++s) {
        const DvdTitleSet& set = disc->titleSets[s];
        for (int t = 0; t < set.titleCount; ++t) {
            const DvdTitle& title = set.titles[t];
            if (!title.present) continue;
            const auto& fixture = fx_->titles.at(size_t(title.titleNumber));
            for (int c = 0; c < title.chapterCount; ++c) {
                const DvdChapter& chapter = title.chapters[c];
                SCOPED_TRACE(std::to_string(title.titleNumber) + "/" + std::to_string(chapter.number));
                GroupMediaUIOption* g = nullptr;
                createGroupMediaUIOptionForDVD(&g, disc, nullptr, 0);
                createMediaUIOptionForDVD(g, &chapter);
                MediaInfo info{};
                info.group = g;
                EXPECT_EQ(getDVDProperties(&info), 0);
                freeGroupMediaUIOption(&g);
                EXPECT_NEAR(info.duration, fixture.chapterLengths.at(size_t(chapter.number)), 0.1);
                EXPECT_EQ(info.height, fixture.format == "pal" ? 576 : 480);
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, expected);
}

// A damaged or missing disc gives its own code, never a crash, a hang or an output.
TEST_F(DvdConversion, DamagedDiscGivesItsOwnCode) {
    auto copyDisc = [&](const std::string& name) {
        fs::path root = tmp_.path() / name;
        fs::create_directories(root);
        fs::copy(fx_->root + "/VIDEO_TS", root / "VIDEO_TS");
        return root;
    };
    struct Case {
        const char* name;
        std::function<void(const fs::path& vob)> damage;
        int code;
    } cases[] = {
        {"truncated VOB", [](const fs::path& vob) { fs::resize_file(vob, 64 * 1024); }, crDvdUnreadable},
        {"VOB of zeros",
         [](const fs::path& vob) {
             auto size = fs::file_size(vob);
             std::ofstream(vob, std::ios::binary | std::ios::trunc) << std::string(size, '\0');
         },
         crDamagedInput},
        {"missing disc", [](const fs::path& vob) { fs::remove_all(vob.parent_path()); }, crDvdUnreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path root = copyDisc(c.name);
        c.damage(root / "VIDEO_TS/VTS_01_1.VOB");
        Disc disc(*fx_, root.string());
        DvdGroup g(disc);
        g.AddChapter(disc.Chapter(1, 0));
        SetOutput(g.g, Output{}, Out("out.flv"));
        EXPECT_EQ(g.Convert(), c.code);
        EXPECT_FALSE(fs::exists(Out("out.flv")));
    }
}

}  // namespace
