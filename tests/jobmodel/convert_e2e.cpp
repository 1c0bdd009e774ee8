// A whole conversion run with the real converter, DVD reader and player maker over the
// DVD fixture and a generated clip: per checked row a job folder whose video, thumbnail
// and (when the player templates are built) player and page are checked from outside.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fixtures/dvd_fixture.h"
#include "harness/ruffle.h"
#include "jobmodel/convertfrm.h"
#include "jobmodel/convertstate.h"
#include "support/tempdir.h"
#include "tests/jobmodel/itemlists.h"

namespace jobmodel {

namespace {

namespace fs = std::filesystem;
using itemlists::Lists;
using itemlists::Row;
using treeview::PVastNode;

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        std::array<char, 512> buffer;
        while (std::fgets(buffer.data(), buffer.size(), p)) out += buffer.data();
        ::pclose(p);
    }
    return out;
}

// ffprobe's view of a file's first stream and its duration: "codec,width,height,duration".
struct Probe {
    std::string codec;
    int width = 0, height = 0;
    double duration = -1;
};

Probe ProbeFile(const fs::path& path) {
    std::string out = Capture("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height"
                              ":format=duration -of csv=p=0:nk=1 " + Quote(path.string()) + " 2>/dev/null");
    Probe p;
    char codec[64] = {};
    // Stream line "codec,width,height", then the format line with the duration.
    if (std::sscanf(out.c_str(), "%63[^,],%d,%d", codec, &p.width, &p.height) == 3) p.codec = codec;
    size_t nl = out.find('\n');
    if (nl != std::string::npos) p.duration = std::atof(out.c_str() + nl + 1);
    return p;
}

// The player templates and the page script are built into the program folder by their
// own targets; without them the run makes no players.
bool TemplatesBuilt(const std::string& program) {
    std::error_code ec;
    return fs::exists(program + "templates/AC_RunActiveContent.js", ec) && !fs::is_empty(program + "templates/Players", ec);
}

TEST(ConvertEndToEnd, DvdTitleSegmentMergeAndFile) {
    const auto fx = lumacast::fixtures::LoadDvdFixture();
    const char* programDir = std::getenv("LUMACAST_PROGRAM_DIR");
    ASSERT_NE(programDir, nullptr);
    const std::string program = std::string(programDir) + "/";
    const bool swf = TemplatesBuilt(program);
    setFilePrefixPath(program.c_str());
    if (!swf) std::printf("note: player templates not built in %s: players, pages and Ruffle not checked\n", programDir);

    testsupport::TempDir temp;
    const std::string clip = temp.str() + "/clip.mp4";
    Capture("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=2 -f lavfi -i "
            "sine=duration=2 -c:v mpeg4 -c:a aac " + Quote(clip) + " 2>&1");
    ASSERT_TRUE(fs::exists(clip));

    DvdDisc* disc = nullptr;
    ASSERT_EQ(parseDVD(&disc, fx.root.c_str(), 0), 0);
    ASSERT_GE(disc->titleSetCount, 1);
    DvdTitle& t0 = disc->titleSets[0].titles[0];  // 4 s, two chapters of 2 s
    DvdTitle& t1 = disc->titleSets[0].titles[1];  // 3 s, one chapter

    Lists lists;
    jobmodel::Row discRow = lists.Add(lists.dvd, nullptr, mkFile, "disc").node;
    for (DvdTitle* t : {&t0, &t1}) {
        const std::string name = "Title " + std::to_string(t->titleNumber);
        Row tr = lists.Add(lists.dvd, discRow, mkDvdTitle, name, 0, t->lengthSeconds);
        tr.item->dvdKind = mkDvdTitle;
        for (int c = 0; c < t->chapterCount; ++c) {
            Row cr = lists.Add(lists.dvd, tr.node, mkDvdChapter, name + " c" + std::to_string(c), 0,
                               t->chapters[c].lengthSeconds);
            cr.item->dvdKind = mkDvdChapter;
            cr.item->dvdChapter = &t->chapters[c];
        }
    }
    auto dvdRow = [&](jobmodel::Row parent, MediaItemKind kind, const std::string& name, int end, DvdChapter* chapter) {
        Row r = lists.Add(lists.jobs, parent, kind, name, 0, end);
        r.item->dvdDisc = disc;
        r.item->dvdKind = chapter ? mkDvdChapter : mkDvdTitle;
        r.item->dvdChapter = chapter;
        r.item->audioId = 0;
        r.item->subtitleId = -1;
        r.item->mediaInfo = NewMediaInfo();
        r.item->mediaInfo->durationSeconds = end;
        return r;
    };
    auto check = [&](jobmodel::Row node) { lists.jobs.SetChecked(node, true); };

    Row title = dvdRow(nullptr, mkDvdTitle, "Title 0", t0.lengthSeconds, nullptr);
    itemlists::RealFlvOptions(*title.item, swf);
    check(title.node);
    Row chapter = dvdRow(nullptr, mkDvdChapter, "Chapter", t0.chapters[1].lengthSeconds, &t0.chapters[1]);
    itemlists::RealFlvOptions(*chapter.item, swf);
    Row segment = dvdRow(chapter.node, mkSegment, "Cut", 1, &t0.chapters[1]);
    SetRowRole(*segment.item, rrSegment);
    itemlists::RealFlvOptions(*segment.item, swf);
    check(segment.node);
    Row merge = lists.Add(lists.jobs, nullptr, mkMerge, "Merged");
    SetRowRole(*merge.item, rrMergeGroup);
    itemlists::RealFlvOptions(*merge.item, swf);
    dvdRow(merge.node, mkMerge, "Title 1 c0", t1.chapters[0].lengthSeconds, &t1.chapters[0]);
    Row file = lists.Add(lists.jobs, nullptr, mkFile, "clip", 0, 2);
    file.item->mediaInfo = NewMediaInfo();
    std::snprintf(file.item->mediaInfo->path, sizeof file.item->mediaInfo->path, "%s", clip.c_str());
    itemlists::RealFlvOptions(*file.item, swf);
    Row member = lists.Add(lists.jobs, merge.node, mkMerge, "clip member", 0, 2);
    member.item->mediaInfo = Share(file.item->mediaInfo);
    check(merge.node);
    check(file.node);

    ConvertOutputDir = temp.str() + "/out/";
    fs::create_directories(ConvertOutputDir);
    CancelState = 0;
    std::vector<std::string> lines;
    {
        TfrmConvert form;
        form.JobList = &lists.jobs;
        form.DvdList = &lists.dvd;
        form.ProgramFolder = program;
        itemlists::PumpRun(form);
        lines = form.ShowResult().Lines();
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"Title 0 --> Convert Successful!", "Cut --> Convert Successful!",
                                               "Merged --> Convert Successful!", "clip --> Convert Successful!"}));

    // One folder per row, named after the row; the video's length is the row's.
    const std::map<std::string, double> lengths{
        {"Title 0", 4}, {"Cut", 1}, {"Merged", 3 + 2}, {"clip", 2}};
    int folders = 0;
    fs::path clipFolder;
    for (const auto& entry : fs::directory_iterator(ConvertOutputDir)) {
        ++folders;
        const std::string folder = entry.path().filename().string();
        const std::string name = folder.substr(0, folder.find('-'));
        std::string files;
        for (const auto& f : fs::directory_iterator(entry.path())) files += " " + f.path().filename().string();
        SCOPED_TRACE(folder + ":" + files);
        ASSERT_TRUE(lengths.count(name));
        if (name == "clip") clipFolder = entry.path();
        Probe video = ProbeFile(entry.path() / (name + ".flv"));
        EXPECT_EQ(video.codec, "flv1");
        EXPECT_EQ(video.width, 320);
        EXPECT_EQ(video.height, 240);
        EXPECT_NEAR(video.duration, lengths.at(name), 0.5);
        Probe picture = ProbeFile(entry.path() / (name + ".jpg"));
        EXPECT_EQ(picture.codec, "mjpeg");
        EXPECT_GT(picture.width, 0);
        if (swf) {
            EXPECT_GT(fs::file_size(entry.path() / (name + ".swf")), 0u);
            EXPECT_TRUE(fs::exists(entry.path() / (name + ".html")));
            EXPECT_TRUE(fs::exists(entry.path() / "AC_RunActiveContent.js"));
        }
    }
    EXPECT_EQ(folders, 4);

    // The plain file's page, opened in a browser, shows the player playing the video.
    if (!swf) return;
    if (auto why = harness::RuffleUnavailable()) {
        std::printf("note: page not played: %s\n", why->c_str());
        return;
    }
    harness::RuffleJob job;
    job.root = clipFolder.string();
    job.html = "clip.html";
    job.width = 320, job.height = 240;
    job.shots = {{1500, temp.str() + "/page.png"}};
    harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    harness::Image shot = harness::ReadPng(temp.str() + "/page.png");
    std::set<int> colours;
    for (int y = 0; y < shot.height; y += 4)
        for (int x = 0; x < shot.width; x += 4) {
            harness::Rgb c = shot.At(x, y);
            colours.insert(c.r << 16 | c.g << 8 | c.b);
        }
    EXPECT_GT(colours.size(), 40u) << "the player shows no picture";
}

}  // namespace

}  // namespace jobmodel
