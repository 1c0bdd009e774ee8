// The reader's view of the generated DVD fixture, checked against the fixture's own
// description and against lsdvd; other ways to name the disc; failures; damaged copies.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "fixtures/dvd_fixture.h"
#include "support/tempdir.h"
#include "libs/morvdvdread/morvdvdread.h"

namespace fs = std::filesystem;
using lumacast::fixtures::DvdFixture;
using lumacast::fixtures::LoadDvdFixture;

namespace {

// Titles of a disc in disc order, with the set they came from.
std::vector<const DvdTitle*> TitlesOf(const DvdDisc* disc) {
    std::vector<const DvdTitle*> titles;
    for (int s = 0; s < disc->titleSetCount; ++s)
        for (int t = 0; t < disc->titleSets[s].titleCount; ++t) titles.push_back(&disc->titleSets[s].titles[t]);
    return titles;
}

// A scratch folder of this test process, inside one temporary folder removed when the
// process ends (the same name gives the same folder throughout the process).
fs::path Scratch(const std::string& name) {
    static const testsupport::TempDir root;
    return root.path() / name;
}

const DvdDisc* ParseOk(const std::string& path, bool ifo = false) {
    DvdDisc* disc = nullptr;
    const int32_t rc = ifo ? parseIFO(&disc, path.c_str(), 0) : parseDVD(&disc, path.c_str(), 0);
    EXPECT_EQ(rc, DVD_OK) << path << ": " << dvdReadErrorText(rc);
    return disc;
}

class DvdReader : public ::testing::Test {
protected:
    void SetUp() override { fx_ = LoadDvdFixture(); }

    // A scratch copy of the fixture's IFO files (no VOBs) in a fresh folder.
    fs::path CopyIfos(const std::string& name) {
        fs::path dir = Scratch(name);
        fs::remove_all(dir);
        fs::create_directories(dir / "VIDEO_TS");
        for (const auto& e : fs::directory_iterator(fx_.videoTs)) {
            const auto ext = e.path().extension().string();
            if (ext == ".IFO" || ext == ".BUP") fs::copy_file(e.path(), dir / "VIDEO_TS" / e.path().filename());
        }
        return dir;
    }

    DvdFixture fx_;
};

TEST_F(DvdReader, FixtureMatchesItsDescription) {
    const DvdDisc* disc = ParseOk(fx_.root);
    ASSERT_NE(disc, nullptr);
    EXPECT_STREQ(disc->path, fs::path(fx_.root).lexically_normal().string().c_str());
    EXPECT_EQ(disc->repairs, 0) << disc->repairText;
    EXPECT_EQ(disc->titleSetCount, 2);
    const auto titles = TitlesOf(disc);
    ASSERT_EQ(titles.size(), fx_.titles.size());
    for (size_t i = 0; i < titles.size(); ++i) {
        const DvdTitle& t = *titles[i];
        const auto& want = fx_.titles[i];
        SCOPED_TRACE("title " + std::to_string(i));
        EXPECT_EQ(t.present, 1);
        EXPECT_EQ(t.titleNumber, want.title);
        EXPECT_EQ(t.titleSetNumber, want.set);
        EXPECT_EQ(t.titleSetTitle, want.setTitle);
        char ifoName[32];
        std::snprintf(ifoName, sizeof ifoName, "/VIDEO_TS/VTS_%02d_0.IFO", want.set);
        EXPECT_TRUE(std::string(t.ifoPath).ends_with(ifoName)) << t.ifoPath;
        EXPECT_TRUE(fs::is_regular_file(t.ifoPath)) << t.ifoPath;
        EXPECT_EQ(t.lengthSeconds, static_cast<int>(want.length + 0.5));
        ASSERT_EQ(t.chapterCount, static_cast<int>(want.chapterLengths.size()));
        for (int c = 0; c < t.chapterCount; ++c) {
            const DvdChapter& ch = t.chapters[c];
            EXPECT_EQ(ch.present, 1);
            EXPECT_EQ(ch.number, c);
            EXPECT_EQ(ch.title, &t);
            EXPECT_NEAR(ch.lengthMs / 1000.0, want.chapterLengths[c], 0.05) << "chapter " << c;
            EXPECT_NEAR(ch.startMs / 1000.0, want.chapters[c], 0.05) << "chapter " << c;
            EXPECT_EQ(ch.lengthSeconds, static_cast<int>(want.chapterLengths[c] + 0.5));
        }
        ASSERT_EQ(t.audioCount, static_cast<int>(want.audio.size()));
        std::set<std::string> names;
        for (int a = 0; a < t.audioCount; ++a) {
            EXPECT_EQ(t.audio[a].id, a);
            const std::string name = t.audio[a].name;
            EXPECT_NE(name.find(want.audio[a].language == "en" ? "English" : "German"), std::string::npos) << name;
            names.insert(name);
        }
        EXPECT_EQ(names.size(), want.audio.size()) << "two streams of one language must have different names";
        ASSERT_EQ(t.subtitleCount, static_cast<int>(want.subtitles.size()));
        for (int s = 0; s < t.subtitleCount; ++s) {
            EXPECT_EQ(t.subtitles[s].id, s);
            EXPECT_STREQ(t.subtitles[s].name, "1: English");
        }
    }
    // The first title's palette: dvdauthor's default white text colour (Y 235) first.
    EXPECT_GT(titles[0]->palette[0][0], 200);
    EXPECT_EQ(titles[0]->palette[1][0], titles[0]->palette[1][2]);  // grey: R == B
    EXPECT_STREQ(titles[0]->lengthText, "00:00:04");
    EXPECT_STREQ(titles[0]->chapters[1].lengthText, "00:00:02");
}

// lsdvd reads the same disc with its own code: counts and lengths must agree.
TEST_F(DvdReader, AgreesWithLsdvd) {
    int status = 0;
    std::istringstream listing(testsupport::Capture("lsdvd -x " + testsupport::ShellQuote(fx_.root) + " 2>/dev/null", &status));
    ASSERT_EQ(status, 0) << "lsdvd failed";
    struct Title { int chapters, audio, subtitles; double length; std::vector<double> chapterLengths; };
    std::vector<Title> listed;
    std::string text;
    while (std::getline(listing, text)) {
        const char* line = text.c_str();
        int n, h, m, chapters, cells, audio, subs;
        double s;
        if (std::sscanf(line, "Title: %d, Length: %d:%d:%lf Chapters: %d, Cells: %d, Audio streams: %d, Subpictures: %d",
                        &n, &h, &m, &s, &chapters, &cells, &audio, &subs) == 8)
            listed.push_back({chapters, audio, subs, h * 3600 + m * 60 + s, {}});
        else if (std::sscanf(line, " Chapter: %d, Length: %d:%d:%lf", &n, &h, &m, &s) == 4 && !listed.empty())
            listed.back().chapterLengths.push_back(h * 3600 + m * 60 + s);
    }
    const auto titles = TitlesOf(ParseOk(fx_.root));
    ASSERT_EQ(titles.size(), listed.size());
    for (size_t i = 0; i < titles.size(); ++i) {
        SCOPED_TRACE("title " + std::to_string(i));
        EXPECT_EQ(titles[i]->chapterCount, listed[i].chapters);
        EXPECT_EQ(titles[i]->audioCount, listed[i].audio);
        EXPECT_EQ(titles[i]->subtitleCount, listed[i].subtitles);
        EXPECT_NEAR(titles[i]->lengthSeconds, listed[i].length, 1.0);
        ASSERT_EQ(listed[i].chapterLengths.size(), static_cast<size_t>(titles[i]->chapterCount));
        for (int c = 0; c < titles[i]->chapterCount; ++c) {
            EXPECT_NEAR(titles[i]->chapters[c].lengthSeconds, listed[i].chapterLengths[c], 1.0);
            EXPECT_NEAR(titles[i]->chapters[c].lengthMs / 1000.0, listed[i].chapterLengths[c], 0.01);
        }
    }
}

// A chapter holds its programs up to the next chapter's first one (the last chapter up to
// the chain's end). The timing fixture's second title (tests/fixtures/make_timing_dvd.sh)
// has chapters of two, three and one program; lsdvd lists each program with its length.
TEST_F(DvdReader, ChapterHoldsItsProgramsUpToTheNextChapter) {
    const std::string root = std::string(std::getenv("LUMACAST_BUILD_DIR")) + "/fixtures/dvd_timing";
    int status = 0;
    std::istringstream listing(testsupport::Capture("lsdvd -x -t 2 " + testsupport::ShellQuote(root) + " 2>/dev/null", &status));
    ASSERT_EQ(status, 0) << "lsdvd failed";
    std::vector<double> programs;
    for (std::string text; std::getline(listing, text);) {
        int n, h, m;
        double s;
        if (std::sscanf(text.c_str(), " Chapter: %d, Length: %d:%d:%lf", &n, &h, &m, &s) == 4)
            programs.push_back(h * 3600 + m * 60 + s);
    }
    const std::vector<int> programsOfChapter = {2, 3, 1};
    ASSERT_EQ(programs.size(), 6u);
    const DvdDisc* disc = ParseOk(root);
    ASSERT_NE(disc, nullptr);
    ASSERT_EQ(disc->titleSetCount, 2);
    const DvdTitle& title = disc->titleSets[1].titles[0];
    EXPECT_EQ(disc->repairs, 0) << disc->repairText;
    ASSERT_EQ(title.chapterCount, 3);
    double start = 0;
    size_t program = 0;
    for (int c = 0; c < title.chapterCount; ++c) {
        SCOPED_TRACE("chapter " + std::to_string(c + 1));
        double length = 0;
        for (int k = 0; k < programsOfChapter[size_t(c)]; ++k) length += programs[program++];
        EXPECT_NEAR(title.chapters[c].lengthMs / 1000.0, length, 0.01);
        EXPECT_NEAR(title.chapters[c].startMs / 1000.0, start, 0.01);
        EXPECT_EQ(title.chapters[c].lengthSeconds, static_cast<int>(length + 0.5));
        start += length;
    }
    EXPECT_EQ(title.lengthSeconds, static_cast<int>(start + 0.5));
}

// Every way to name the disc gives the same disc record; the IFO path of a title names
// the disc it came from.
TEST_F(DvdReader, EveryNameOfTheDiscGivesTheSameRecord) {
    const DvdDisc* folder = ParseOk(fx_.root);
    ASSERT_NE(folder, nullptr);
    const struct { std::string path; bool ifo; } names[] = {
        {fx_.root + "/", false},
        {fx_.videoTs, false},
        {fx_.videoTs + "/", false},
        {fx_.videoTs + "/VTS_01_0.IFO", true},
        {fx_.videoTs + "/VTS_02_0.IFO", true},
        {fx_.videoTs + "/VIDEO_TS.BUP", true},
        {fx_.videoTs + "/VTS_01_0.IFO", false},
        {fx_.root + "/VIDEO_TS/../VIDEO_TS", false},
        {fx_.root + "//VIDEO_TS/./", false},
        {fx_.root + "/VIDEO_TS/..", false},
        {fs::relative(fx_.root).string(), false},
        {fs::relative(fx_.videoTs + "/VTS_01_0.IFO").string(), true},
    };
    for (const auto& n : names) EXPECT_EQ(ParseOk(n.path, n.ifo), folder) << n.path;
}

// Copies in other folder layouts read like the original; the IFO path names the file
// as it is on disk.
TEST_F(DvdReader, OtherFolderLayoutsReadLikeTheOriginal) {
    const DvdDisc* original = ParseOk(fx_.root);
    ASSERT_NE(original, nullptr);

    const fs::path lower = CopyIfos("lower");  // lower-case folder and file names
    fs::rename(lower / "VIDEO_TS", lower / "video_ts");
    for (const auto& e : fs::directory_iterator(lower / "video_ts")) {
        std::string name = e.path().filename().string();
        for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        fs::rename(e.path(), lower / "video_ts" / name);
    }
    const fs::path flat = CopyIfos("flat");  // the IFO files directly in a folder of any name
    fs::rename(flat / "VIDEO_TS", flat / "disc");

    const struct { fs::path open; bool ifo; fs::path ifoPath; } layouts[] = {
        {lower / "video_ts/vts_01_0.ifo", true, lower / "video_ts/vts_01_0.ifo"},
        {lower, false, lower / "video_ts/vts_01_0.ifo"},
        {flat / "disc", false, flat / "disc/VTS_01_0.IFO"},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.open.string());
        const DvdDisc* copy = ParseOk(layout.open.string(), layout.ifo);
        ASSERT_NE(copy, nullptr);
        EXPECT_STREQ(copy->titleSets[0].titles[0].ifoPath, layout.ifoPath.c_str());
        const auto a = TitlesOf(original), b = TitlesOf(copy);
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i]->chapterCount, b[i]->chapterCount);
            EXPECT_EQ(a[i]->chapters[0].lengthMs, b[i]->chapters[0].lengthMs);
            EXPECT_EQ(a[i]->lengthSeconds, b[i]->lengthSeconds);
            EXPECT_STREQ(a[i]->audio[0].name, b[i]->audio[0].name);
        }
    }
}

// Records of an earlier parse stay valid and unchanged while other discs are parsed.
TEST_F(DvdReader, RecordsOutliveLaterParses) {
    fs::path other = CopyIfos("other");
    const DvdDisc* first = ParseOk(other.string());
    ASSERT_NE(first, nullptr);
    const DvdTitle* title = &first->titleSets[0].titles[0];
    const DvdChapter* chapter = &title->chapters[1];
    const std::string path = first->path, ifoPath = title->ifoPath;
    const DvdChapter before = *chapter;
    for (int i = 0; i < 3; ++i) {
        ParseOk(fx_.root);
        ParseOk(fx_.videoTs + "/VTS_02_0.IFO", true);
    }
    fs::remove_all(other);  // also when the disc itself is gone
    EXPECT_EQ(first->path, path);
    EXPECT_EQ(title->ifoPath, ifoPath);
    EXPECT_EQ(chapter->title, title);
    EXPECT_EQ(chapter->lengthMs, before.lengthMs);
    EXPECT_STREQ(chapter->lengthText, before.lengthText);
    EXPECT_EQ(ParseOk(CopyIfos("other").string()), first) << "an unchanged disc reuses its record";
}

TEST_F(DvdReader, PathsThatAreNoDvdFail) {
    const fs::path scratch = Scratch("nodvd");
    fs::remove_all(scratch);
    fs::create_directories(scratch / "empty" / "VIDEO_TS");
    std::ofstream(scratch / "notes.txt") << "not a disc";
    std::ofstream(scratch / "VTS_01_0.IFO") << "DVDVIDEO-VTS but nothing else";
    const struct { const char* what; std::string path; bool ifo; int32_t rc; } cases[] = {
        {"empty path", "", false, DVD_ERR_NOT_FOUND},
        {"empty IFO path", "", true, DVD_ERR_NOT_FOUND},
        {"missing folder", (scratch / "missing").string(), false, DVD_ERR_NOT_FOUND},
        {"missing IFO", (scratch / "missing/VTS_01_0.IFO").string(), true, DVD_ERR_NOT_FOUND},
        {"folder without DVD", scratch.string(), false, DVD_ERR_NOT_A_DVD},
        {"empty VIDEO_TS", (scratch / "empty").string(), false, DVD_ERR_NOT_A_DVD},
        {"IFO dialog given a folder", fx_.videoTs, true, DVD_ERR_NOT_A_DVD},
        {"IFO dialog given a VOB", fx_.videoTs + "/VTS_01_1.VOB", true, DVD_ERR_NOT_A_DVD},
        {"text file as image", (scratch / "notes.txt").string(), false, DVD_ERR_NOT_A_DVD},
        {"IFO without its disc", (scratch / "VTS_01_0.IFO").string(), true, DVD_ERR_NOT_A_DVD},
        {"unknown drive", "W:\\", false, DVD_ERR_NOT_FOUND},
    };
    DvdDisc* const sentinel = reinterpret_cast<DvdDisc*>(0x1234);
    for (const auto& c : cases) {
        DvdDisc* disc = sentinel;
        const int32_t rc = c.ifo ? parseIFO(&disc, c.path.c_str(), 0) : parseDVD(&disc, c.path.c_str(), 0);
        EXPECT_EQ(rc, c.rc) << c.what << ": " << dvdReadErrorText(rc);
        EXPECT_EQ(disc, sentinel) << c.what << ": the result must stay untouched";
    }
    DvdDisc* disc = sentinel;
    EXPECT_EQ(parseDVD(&disc, nullptr, 0), DVD_ERR_NOT_FOUND);
    EXPECT_EQ(parseIFO(&disc, nullptr, 0), DVD_ERR_NOT_FOUND);
    EXPECT_EQ(disc, sentinel);
    EXPECT_EQ(parseDVD(nullptr, fx_.root.c_str(), 0), DVD_ERR_ARGUMENT);
    EXPECT_EQ(parseIFO(nullptr, fx_.root.c_str(), 0), DVD_ERR_ARGUMENT);
}

// ---------------------------------------------------------------------------------
// Damaged discs: copies of the fixture's IFO files with one structure broken. The IFO
// and its backup (.BUP) are patched alike, or the backup would be read instead.
// ---------------------------------------------------------------------------------

struct IfoBytes {
    std::vector<uint8_t> b;
    uint32_t Get16(size_t at) const { return b.at(at) << 8 | b.at(at + 1); }
    uint32_t Get32(size_t at) const { return Get16(at) << 16 | Get16(at + 2); }
    void Set8(size_t at, uint8_t v) { b.at(at) = v; }
    void Set16(size_t at, uint32_t v) { b.at(at) = static_cast<uint8_t>(v >> 8); b.at(at + 1) = static_cast<uint8_t>(v); }
    // Offsets inside a title set's IFO.
    size_t PttTable() const { return Get32(0xC8) * 2048; }
    size_t ChainTable() const { return Get32(0xCC) * 2048; }
    size_t Chain(int pgcn) const { return ChainTable() + Get32(ChainTable() + 8 + 8 * (pgcn - 1) + 4); }
    size_t ProgramMap(int pgcn) const { return Chain(pgcn) + Get16(Chain(pgcn) + 0xE6); }
    size_t Cell(int pgcn, int cell) const { return Chain(pgcn) + Get16(Chain(pgcn) + 0xE8) + 24 * (cell - 1); }
    size_t Part(int ttn, int chapter) const { return PttTable() + Get32(PttTable() + 8 + 4 * (ttn - 1)) + 4 * (chapter - 1); }
    // Offsets inside VIDEO_TS.IFO.
    size_t TitleInfo(int title) const { return Get32(0xC4) * 2048 + 8 + 12 * (title - 1); }
};

void Damage(const fs::path& videoTs, const std::string& stem, const std::function<void(IfoBytes&)>& patch) {
    for (const char* ext : {".IFO", ".BUP"}) {
        const fs::path file = videoTs / (stem + ext);
        std::ifstream in(file, std::ios::binary);
        IfoBytes ifo{{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
        in.close();
        patch(ifo);
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(ifo.b.data()), static_cast<std::streamsize>(ifo.b.size()));
    }
}

// A damaged IFO whose backup is intact reads like the original, without repairs.
TEST_F(DvdReader, IntactBackupStandsInForADamagedIfo) {
    const fs::path dir = CopyIfos("backup");
    for (const char* name : {"VIDEO_TS.IFO", "VTS_01_0.IFO"}) fs::resize_file(dir / "VIDEO_TS" / name, 100);
    const DvdDisc* disc = ParseOk(dir.string());
    ASSERT_NE(disc, nullptr);
    EXPECT_EQ(disc->repairs, 0) << disc->repairText;
    const auto titles = TitlesOf(disc);
    ASSERT_EQ(titles.size(), fx_.titles.size());
    for (size_t i = 0; i < titles.size(); ++i) {
        EXPECT_EQ(titles[i]->present, 1);
        EXPECT_EQ(titles[i]->chapterCount, static_cast<int>(fx_.titles[i].chapters.size()));
    }
}

TEST_F(DvdReader, DamagedDiscsGiveErrorsOrRepairsNeverCrashes) {
    struct Case {
        const char* what;
        const char* file;
        std::function<void(IfoBytes&)> patch;
        int32_t rc;
        int32_t repairs;             // flags expected in DvdDisc.repairs (on success)
        std::vector<int> chapters;   // chapter count per title, -1 = title not present
    };
    const std::vector<Case> cases = {
        {"truncated title set IFO", "VTS_01_0", [](IfoBytes& f) { f.b.resize(100); },
         DVD_OK, DVD_REPAIR_BAD_TITLE_SET, {-1, -1, 3}},
        {"truncated disc IFO", "VIDEO_TS", [](IfoBytes& f) { f.b.resize(100); }, DVD_ERR_DAMAGED, 0, {}},
        {"zeroed title table", "VIDEO_TS",
         [](IfoBytes& f) { std::fill(f.b.begin() + 0x800, f.b.begin() + 0x1000, 0); }, DVD_ERR_NO_TITLES, 0, {}},
        {"zeroed chapter table", "VTS_02_0",
         [](IfoBytes& f) { std::fill(f.b.begin() + f.PttTable(), f.b.begin() + f.PttTable() + 2048, 0); },
         DVD_OK, DVD_REPAIR_TITLE_WITHOUT_CHAPTERS, {2, 1, -1}},
        // Chapter 1 ends where chapter 2 starts: both are lost, and with them the title.
        {"program map beyond the cells", "VTS_01_0", [](IfoBytes& f) { f.Set8(f.ProgramMap(1) + 1, 9); },
         DVD_OK, DVD_REPAIR_BAD_CHAPTER | DVD_REPAIR_TITLE_WITHOUT_CHAPTERS, {-1, 1, 3}},
        {"chapter names a missing chain", "VTS_02_0", [](IfoBytes& f) { f.Set16(f.Part(1, 2), 40); },
         DVD_OK, DVD_REPAIR_BAD_CHAPTER, {2, 1, 2}},
        {"chapter names a missing program", "VTS_02_0", [](IfoBytes& f) { f.Set16(f.Part(1, 3) + 2, 7); },
         DVD_OK, DVD_REPAIR_BAD_CHAPTER, {2, 1, 2}},
        {"invalid cell time", "VTS_01_0", [](IfoBytes& f) { f.Set8(f.Cell(1, 1) + 4 + 2, 0xAA); },
         DVD_OK, DVD_REPAIR_BAD_TIME, {2, 1, 3}},
        {"nine audio streams", "VTS_01_0", [](IfoBytes& f) { f.Set8(0x203, 9); },
         DVD_OK, DVD_REPAIR_AUDIO_CLAMPED, {2, 1, 3}},
        {"255 audio streams", "VTS_02_0", [](IfoBytes& f) { f.Set8(0x203, 255); },
         DVD_OK, DVD_REPAIR_AUDIO_CLAMPED, {2, 1, 3}},
        {"200 subtitle streams", "VTS_01_0", [](IfoBytes& f) { f.Set8(0x255, 200); },
         DVD_OK, DVD_REPAIR_SUBTITLES_CLAMPED, {2, 1, 3}},
        {"title names a missing title set", "VIDEO_TS", [](IfoBytes& f) { f.Set8(f.TitleInfo(2) + 6, 7); },
         DVD_OK, DVD_REPAIR_BAD_TITLE_SET, {2, 3}},
        {"title names a missing title of its set", "VIDEO_TS", [](IfoBytes& f) { f.Set8(f.TitleInfo(1) + 7, 9); },
         DVD_OK, DVD_REPAIR_TITLE_WITHOUT_CHAPTERS, {-1, 1, 3}},
        {"chapter counts disagree", "VIDEO_TS", [](IfoBytes& f) { f.Set16(f.TitleInfo(3) + 2, 30); },
         DVD_OK, DVD_REPAIR_CHAPTER_COUNT, {2, 1, 3}},
        {"every title names a missing title set", "VIDEO_TS",
         [](IfoBytes& f) { for (int t = 1; t <= 3; ++t) f.Set8(f.TitleInfo(t) + 6, 0); }, DVD_ERR_NO_TITLES, 0, {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = CopyIfos("damaged" + std::to_string(n++));
        Damage(dir / "VIDEO_TS", c.file, c.patch);
        DvdDisc* disc = nullptr;
        const int32_t rc = parseDVD(&disc, dir.c_str(), 0);
        ASSERT_EQ(rc, c.rc) << dvdReadErrorText(rc);
        if (rc != DVD_OK) continue;
        EXPECT_EQ(disc->repairs & c.repairs, c.repairs) << disc->repairText;
        EXPECT_NE(disc->repairText[0], '\0');
        std::vector<int> chapters;
        for (const DvdTitle* t : TitlesOf(disc)) {
            chapters.push_back(t->present ? t->chapterCount : -1);
            EXPECT_LE(t->audioCount, 8);
            EXPECT_LE(t->subtitleCount, 32);
            if (!t->present) continue;
            EXPECT_NE(t->chapters, nullptr);
            int sum = 0;
            for (int i = 0; i < t->chapterCount; ++i) {
                EXPECT_EQ(t->chapters[i].title, t);
                EXPECT_GE(t->chapters[i].lengthMs, 0);
                sum += t->chapters[i].lengthMs;
            }
            EXPECT_NEAR(sum / 1000.0, t->lengthSeconds, 0.5 + t->chapterCount * 0.001);
        }
        EXPECT_EQ(chapters, c.chapters);
    }
}

}  // namespace
