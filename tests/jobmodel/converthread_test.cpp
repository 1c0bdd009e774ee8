// Conversion runs with a recording converter and player maker, and the progress
// window's side pumped on this thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <map>
#include <new>
#include <tuple>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "jobmodel/convertfrm.h"
#include "jobmodel/convertstate.h"
#include "libs/morvmessage/morvmessage.h"
#include "platform/controls/forms.h"
#include "platform/windows/windows_test_support.h"
#include "support/tempdir.h"
#include "jobmodel/joblist.h"
#include "tests/jobmodel/itemlists.h"

namespace jobmodel {

namespace {

namespace fs = std::filesystem;
using itemlists::Lists;
using treeview::PVastNode;
using RowHandle = jobmodel::Row;
using itemlists::Row;

// ---- the recording converter ----

struct FakeInput {
    std::string source;  // "chapter:<length>" or the file path
    int start, length;
};

struct FakeJob {
    std::string format, output;
    std::vector<FakeInput> inputs;
};

struct Recorder {
    std::mutex lock;
    std::map<GroupMediaUIOption*, std::vector<MediaUIOption*>> live;
    std::vector<FakeJob> jobs;  // every converteToMedia call, thumbnails included
    std::vector<std::pair<std::string, int>> players;  // output path, media count
    std::map<std::string, int> failStem;  // output file stem -> result code
    int cancelAtJob = 0;        // sets CancelState during this video job (1-based)
    bool throwInConvert = false;
    std::atomic<bool> hold{false};  // every video job waits while it is set
    int thumbnailResult = 0;
    int playerResult = 0;
    bool blockPage = false;  // the player leaves a folder where its page would go
    std::string plant, victim;  // a link at this name in the job folder, made by each video job
    int progressPosted = 0, progressFreed = 0;
    int preview = -1;  // the last setUsingPreview value
    platform::HWND window = nullptr;

    std::vector<FakeJob> Videos() {
        std::vector<FakeJob> v;
        for (auto& j : jobs)
            if (j.format != "image2") v.push_back(j);
        return v;
    }
} rec;

GroupMediaUIOption* NewGroup(GroupMediaUIOption** out, const char* format) {
    auto* g = static_cast<GroupMediaUIOption*>(std::calloc(1, sizeof(GroupMediaUIOption)));
    g->formatName = strdup(format ? format : "");
    std::lock_guard<std::mutex> l(rec.lock);
    rec.live[g];
    if (out) *out = g;
    return g;
}

MediaUIOption* NewInput(GroupMediaUIOption* g) {
    auto* in = static_cast<MediaUIOption*>(std::calloc(1, sizeof(MediaUIOption)));
    std::lock_guard<std::mutex> l(rec.lock);
    rec.live.at(g).push_back(in);
    return in;
}

// The chapter length and the path are kept in a reserved block of the input.
MediaUIOption* FakeDvdInput(GroupMediaUIOption* g, const DvdChapter* chapter) {
    if (!chapter) return nullptr;
    MediaUIOption* in = NewInput(g);
    std::snprintf(reinterpret_cast<char*>(in->reserved0), sizeof in->reserved0, "chapter:%d", chapter->lengthSeconds);
    return in;
}

MediaUIOption* FakeFileInput(GroupMediaUIOption* g, const char* path) {
    MediaUIOption* in = NewInput(g);
    std::snprintf(reinterpret_cast<char*>(in->reserved0), sizeof in->reserved0, "%s", path);
    return in;
}

void Touch(const std::string& path) { std::ofstream(path, std::ios::binary) << "data"; }

std::int32_t FakeConvert(GroupMediaUIOption* g, const char* format, std::int32_t) {
    FakeJob job{format, g->outputPath, {}};
    int result = 0;
    {
        std::lock_guard<std::mutex> l(rec.lock);
        for (MediaUIOption* in : rec.live.at(g))
            job.inputs.push_back({reinterpret_cast<char*>(in->reserved0), in->trimStart, in->trimLength});
        rec.jobs.push_back(job);
        if (job.format == "image2") {
            result = rec.thumbnailResult;
            if (result == crCancelled) CancelState = 1;  // the user cancelled during the picture
        } else {
            auto f = rec.failStem.find(fs::path(job.output).stem().string());
            if (f != rec.failStem.end()) result = f->second;
            if (rec.cancelAtJob && static_cast<int>(rec.Videos().size()) == rec.cancelAtJob) CancelState = 1;
            if (rec.throwInConvert) throw std::runtime_error("converter failure");
            auto* info = static_cast<ConvertProgressInfo*>(std::calloc(1, sizeof(ConvertProgressInfo)));
            info->convertedSeconds = 2.5;
            if (platform::PostMessage(rec.window, WM_CONVERTER_PROGRESS, reinterpret_cast<platform::WPARAM>(info), 0))
                ++rec.progressPosted;
            else
                std::free(info);
        }
    }
    while (job.format != "image2" && rec.hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (result == 0) Touch(job.output);
    if (!rec.plant.empty() && job.format != "image2")
        fs::create_symlink(rec.victim, fs::path(job.output).parent_path() / rec.plant);
    return result;
}

void FakeFree(GroupMediaUIOption** g) {
    if (!g || !*g) return;
    std::lock_guard<std::mutex> l(rec.lock);
    for (MediaUIOption* in : rec.live.at(*g)) {
        std::free(in->aspect);
        std::free(in);
    }
    rec.live.erase(*g);
    for (char* p : {(*g)->formatName, (*g)->videoEncoder, (*g)->frameSize, (*g)->audioEncoder}) std::free(p);
    std::free(*g);
    *g = nullptr;
}

void FakeProgressHandle(const ProgressHandle* h) {
    std::lock_guard<std::mutex> l(rec.lock);
    rec.window = h ? h->window : nullptr;
}

void FakeFreeProgress(ConvertProgressInfo* info) {
    ++rec.progressFreed;
    std::free(info);
}

int FakePlayer(KbnUIGroupOption* group) {
    std::string out = group->outputPath;
    {
        std::lock_guard<std::mutex> l(rec.lock);
        rec.players.push_back({out, group->mediaCount});
    }
    Touch(out);
    if (rec.blockPage) fs::create_directories(fs::path(out).replace_extension(".html"));
    return rec.playerResult;
}

ConvertLibrary FakeLibrary() {
    ConvertLibrary lib;
    lib.setProgressHandle = FakeProgressHandle;
    lib.setMessagePoster = [](ConverterMessagePoster) {};
    lib.createGroupForDvd = [](GroupMediaUIOption** g, const DvdDisc*, const char* f, std::int32_t) {
        return NewGroup(g, f);
    };
    lib.createGroup = [](GroupMediaUIOption** g, const char* f, std::int32_t) { return NewGroup(g, f); };
    lib.createDvdInput = FakeDvdInput;
    lib.createFileInput = FakeFileInput;
    lib.convert = FakeConvert;
    lib.freeGroup = FakeFree;
    lib.freeProgressInfo = FakeFreeProgress;
    lib.generatePlayer = FakePlayer;
    lib.setUsingPreview = [](std::int32_t on) { rec.preview = on; };
    return lib;
}

// ---- a run ----

struct Outcome {
    std::vector<std::string> lines;
    int allDone = 0;
    bool allDoneLast = true;
    int total = 0;
    int barMaxima = 0;  // sum of the current-item bar's maxima at item ends
};

class ConvertRun : public ::testing::Test {
protected:
    testsupport::TempDir temp;
    std::string out, program;
    ConvertLibrary fake = FakeLibrary();

    void SetUp() override {
        rec.~Recorder();
        new (&rec) Recorder();
        out = temp.str() + "/out/";
        program = temp.str() + "/program/";
        fs::create_directories(out);
        temp.Write("program/templates/AC_RunActiveContent.js", "// page script\n");
        ConvertOutputDir = out;
        CancelState = 0;
        SetConvertLibrary(&fake);
    }
    void TearDown() override { SetConvertLibrary(nullptr); }

    // An option record: FLV output with thumbnail, embedded player and page.
    static void Options(MediaItem& item, bool flv = true, int swfType = stEmbedded) {
        Drop(item.customSetting);
        item.customSetting = NewCustomSetting();
        CustomSetting& cs = *item.customSetting;
        std::strcpy(cs.FormatName, "flv");
        std::strcpy(cs.FileExtension, "flv");
        cs.Width = 320, cs.Height = 240;
        cs.IsGeneralFlv = flv;
        cs.IsGeneralSwf = 1;
        cs.SwfType = swfType;
        cs.IsGeneralHtml = 1;
        cs.IsGeneralThumbnail = 1;
        cs.BackgrounColor = {1, 0xAB, 255};
    }

    Row File(Lists& lists, RowHandle parent, MediaItemKind kind, const std::string& name, int length) {
        Row r = lists.Add(lists.jobs, parent, kind, name, 0, length);
        r.item->mediaInfo = NewMediaInfo();
        std::snprintf(r.item->mediaInfo->path, sizeof r.item->mediaInfo->path, "/media/%s.mp4", name.c_str());
        r.item->mediaInfo->durationSeconds = length;
        if (!parent || kind == mkSegment) Options(*r.item);
        return r;
    }

    // `whilePumping` runs on this thread between the messages of the run.
    Outcome Run(Lists& lists, const std::function<void()>& whilePumping = {}) {
        Outcome o;
        {
            TfrmConvert form;
            form.JobList = &lists.jobs;
            form.DvdList = &lists.dvd;
            form.ProgramFolder = program;
            form.TotalProgress().SetMax(100000);
            platform::SetHandleProc(form.Handle(), [&](platform::HWND h, platform::UINT m, platform::WPARAM w,
                                                       platform::LPARAM l) {
                if (o.allDone > 0) o.allDoneLast = false;
                if (m == WM_CONVERT_ALL_DONE) ++o.allDone;
                if (m == WM_CONVERT_ITEM_DONE) o.barMaxima += form.OneProgress().Max();
                return form.WndProc(h, m, w, l);
            });
            if (whilePumping) {
                form.FormShow();
                platform::MSG msg;
                while (!form.Finished()) {
                    whilePumping();
                    while (platform::PeekMessage(&msg, nullptr, 0, 0, platform::PM_REMOVE)) platform::DispatchMessage(&msg);
                }
                form.WaitForRun();
            } else {
                itemlists::PumpRun(form);
            }
            platform::MSG msg;
            while (platform::PeekMessage(&msg, nullptr, 0, 0, platform::PM_REMOVE)) platform::DispatchMessage(&msg);
            o.lines = form.ShowResult().Lines();
            EXPECT_EQ(form.OneProgress().Position(), form.OneProgress().Max());
            EXPECT_EQ(form.TotalProgress().Position(), form.TotalProgress().Max());
        }
        o.total = TotalConvertedSeconds;
        EXPECT_EQ(o.allDone, 1) << "every run ends with exactly one end message";
        EXPECT_TRUE(o.allDoneLast) << "nothing follows the end message";
        EXPECT_EQ(rec.progressFreed, rec.progressPosted) << "the window frees every progress record";
        EXPECT_TRUE(rec.live.empty()) << "every converter job is freed";
        return o;
    }

    std::vector<fs::path> JobFolders() {
        std::vector<fs::path> folders;
        for (auto& e : fs::directory_iterator(out)) folders.push_back(e.path());
        std::sort(folders.begin(), folders.end());
        return folders;
    }

    static std::set<std::string> Files(const fs::path& folder) {
        std::set<std::string> names;
        for (auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
        return names;
    }

    static std::string Ok(const std::string& name) { return name + " --> Convert Successful!"; }
    static std::string Failed(const std::string& name, int code) { return name + " --> " + getErrorInfo(code, 0, 1); }
};

std::string Inputs(const FakeJob& job) {
    std::string s;
    for (auto& in : job.inputs)
        s += (s.empty() ? "" : " ") + in.source + "@" + std::to_string(in.start) + "+" + std::to_string(in.length);
    return s;
}

// A checked DVD title with two checked segments: three outputs, each a folder of its own
// with video, thumbnail, player, page and script; the segments cut at the chapters.
TEST_F(ConvertRun, TitleWithTwoSegmentsGivesThreeOutputs) {
    Lists lists;
    lists.AddDvdTitle("Title 1", {300, 300, 300});
    Row title = lists.Add(lists.jobs, nullptr, mkDvdTitle, "Title 1", 0, 900);
    title.item->dvdKind = mkDvdTitle;
    Options(*title.item);
    for (auto [name, a, b] : {std::tuple{"Seg A", 100, 500}, std::tuple{"Seg B", 400, 500}}) {
        Row seg = lists.Add(lists.jobs, title.node, mkSegment, name, a, b);
        SetRowRole(*seg.item, rrSegment);
        seg.item->dvdKind = mkDvdTitle;
        Options(*seg.item);
    }
    for (RowHandle n = NextRowInOrder(lists.jobs, nullptr); n; n = NextRowInOrder(lists.jobs, n)) lists.jobs.SetChecked(n, true);

    Outcome o = Run(lists);
    EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("Title 1"), Ok("Seg A"), Ok("Seg B")}));
    auto videos = rec.Videos();
    ASSERT_EQ(videos.size(), 3u);
    EXPECT_EQ(Inputs(videos[0]), "chapter:300@0+300 chapter:300@0+300 chapter:300@0+300");
    EXPECT_EQ(Inputs(videos[1]), "chapter:300@100+200 chapter:300@0+200");
    EXPECT_EQ(Inputs(videos[2]), "chapter:300@100+100");
    EXPECT_EQ(o.total, 900 + 400 + 100);
    EXPECT_EQ(o.barMaxima, 900 + 400 + 100);
    auto folders = JobFolders();
    ASSERT_EQ(folders.size(), 3u);
    for (const auto& f : folders) {
        std::string job = f.filename().string().substr(0, f.filename().string().find('-'));
        EXPECT_EQ(Files(f), (std::set<std::string>{job + ".flv", job + ".jpg", job + ".swf", job + ".html",
                                                   "AC_RunActiveContent.js"}))
            << f;
    }
    EXPECT_EQ(rec.players.size(), 3u);
}

// Both trees are repainted, their rows' texts read, over and over while a run writes
// their rows (a DVD title with a segment, a slide show): the writes happen on this
// thread, never beside a paint.
TEST_F(ConvertRun, TreesRepaintDuringARun) {
    platform::test::UseHeadlessBackend();
    Lists lists;
    Row dvdTitle = lists.AddDvdTitle("Title 1", {300, 300});
    Row title = lists.Add(lists.jobs, nullptr, mkDvdTitle, "Title 1", 0, 600);
    title.item->dvdKind = mkDvdTitle;
    Drop(title.item->timeRange);
    title.item->timeRange = Share(dvdTitle.item->timeRange);
    CopyTextField(title.item->row.destination, "Title 1 out.flv");
    Options(*title.item);
    Row seg = lists.Add(lists.jobs, title.node, mkSegment, "Seg", 100, 400);
    SetRowRole(*seg.item, rrSegment);
    seg.item->dvdKind = mkDvdTitle;
    Options(*seg.item);
    Row show = lists.Add(lists.jobs, nullptr, mkSlide, "Show");
    Options(*show.item);
    for (const char* name : {"s1", "s2"}) File(lists, show.node, mkSlide, name, 5);
    for (RowHandle n : {title.node, seg.node, show.node}) lists.jobs.SetChecked(n, true);

    auto* form = new platform::TForm(nullptr);
    form->SetBounds(0, 0, 400, 600);
    form->AfterConstruction();
    int cells = 0;
    for (treeview::TVastStringTree* tree : {&lists.jobTree, &lists.dvdTree}) {
        tree->SetParent(form);
        tree->SetBounds(0, tree == &lists.jobTree ? 0 : 300, 400, 300);
        tree->OnGetText = [&cells](treeview::TBaseVastTree* sender, PVastNode node, treeview::TColumnIndex,
                                   treeview::TVSTTextType, std::string& text) {
            const MediaItem* item = ItemOf(*sender, node);
            text = std::string(item->name) + " " + item->row.destination + " " +
                   std::to_string(item->timeRange->start) + "-" + std::to_string(item->timeRange->end);
            ++cells;
        };
        tree->FullExpand();
    }
    form->Show();
    Outcome o = Run(lists, [&] {
        // A repaint, and the texts of every row as a repaint reads them.
        for (treeview::TVastStringTree* tree : {&lists.jobTree, &lists.dvdTree}) {
            tree->Invalidate();
            platform::UpdateWindow(tree->Handle());
            for (PVastNode n = tree->GetFirst(); n; n = tree->GetNext(n)) tree->GetText(n, treeview::NoColumn);
        }
    });
    for (treeview::TVastStringTree* tree : {&lists.jobTree, &lists.dvdTree}) tree->SetParent(nullptr);
    delete form;
    platform::test::Pump();

    EXPECT_GT(cells, 0) << "the rows were read during the run";
    EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("Title 1"), Ok("Seg"), Ok("s1"), Ok("s2")}));
    EXPECT_STREQ(dvdTitle.item->row.destination, "Title 1 out.flv") << "the DVD row shares the job's destination";
    EXPECT_EQ(lists.ChapterRanges(dvdTitle.node), "100-300 0-100");
    EXPECT_EQ(lists.jobs.Item(lists.jobs.FirstChild(show.node))->customSetting, show.item->customSetting);
}

// Without a modal window the user edits the job list while a run goes on: the first job
// waits in the converter while rows are deleted (the one converting among them), added
// and moved. Every planned job converts as it stood when the run began, nothing added
// later joins the run, and the edits stand.
TEST_F(ConvertRun, TheListMayChangeWhileARunGoesOn) {
    Lists lists;
    std::map<std::string, RowHandle> rows;
    for (const char* name : {"f1", "f2", "f3", "f4"}) rows[name] = File(lists, nullptr, mkFile, name, 10).node;
    rows["spare"] = File(lists, nullptr, mkFile, "spare", 10).node;
    Row merge = lists.Add(lists.jobs, nullptr, mkMerge, "Merged");
    SetRowRole(*merge.item, rrMergeGroup);
    Options(*merge.item);
    for (auto [name, len] : {std::pair{"m1", 10}, std::pair{"m2", 20}}) File(lists, merge.node, mkMerge, name, len);
    Row show = lists.Add(lists.jobs, nullptr, mkSlide, "Show");
    SetRowRole(*show.item, rrSlideGroup);
    Options(*show.item);
    for (const char* name : {"s1", "s2"}) File(lists, show.node, mkSlide, name, 5);
    for (const char* name : {"f1", "f2", "f3", "f4"}) lists.jobs.SetChecked(rows[name], true);
    lists.jobs.SetChecked(merge.node, true);
    lists.jobs.SetChecked(show.node, true);

    const std::vector<std::function<void()>> edits = {
        [&] { DeleteRows(lists.jobs, {rows["f1"]}); },  // the row converting just now
        [&] { lists.jobs.Move(rows["spare"], rows["f2"], true); },
        [&] {
            Row late = File(lists, nullptr, mkFile, "late", 10);
            lists.jobs.SetChecked(late.node, true);
        },
        [&] { DeleteRows(lists.jobs, {rows["f3"]}); },
        [&] { DeleteRows(lists.jobs, {merge.node}); },
        [&] { lists.jobs.Move(rows["f4"], rows["spare"], true); },
        [&] { DeleteRows(lists.jobs, {show.node}); },  // its renaming and option sharing go nowhere
    };
    std::size_t next = 0;
    rec.hold = true;
    Outcome o = Run(lists, [&] {
        {
            std::lock_guard<std::mutex> l(rec.lock);
            if (rec.jobs.empty()) return;  // the first job has not reached the converter yet
        }
        if (next < edits.size()) edits[next++]();
        else rec.hold = false;
    });

    EXPECT_EQ(next, edits.size());
    EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("f1"), Ok("f2"), Ok("f3"), Ok("f4"), Ok("Merged"), Ok("s1"),
                                                 Ok("s2")}));
    auto videos = rec.Videos();
    ASSERT_EQ(videos.size(), 7u);
    EXPECT_EQ(Inputs(videos[0]), "/media/f1.mp4@0+10");
    EXPECT_EQ(Inputs(videos[2]), "/media/f3.mp4@0+10");
    EXPECT_EQ(Inputs(videos[4]), "/media/m1.mp4@0+10 /media/m2.mp4@0+20");
    EXPECT_EQ(Inputs(videos[6]), "/media/s2.mp4@0+5");
    EXPECT_EQ(rec.players.size(), 6u);  // four rows, the merge and the show

    std::string names;
    for (RowHandle r = lists.jobs.FirstChild(nullptr); r; r = lists.jobs.NextSibling(r))
        names += (names.empty() ? "" : " ") + FieldText(lists.jobs.Item(r)->name) + (lists.jobs.Checked(r) ? "*" : "");
    EXPECT_EQ(names, "f4* spare f2* late*");
}

// A merge of three gives one output from all members; a slide show of three gives one
// output per member and one player that lists them all.
TEST_F(ConvertRun, MergeAndSlideGroups) {
    Lists lists;
    Row merge = lists.Add(lists.jobs, nullptr, mkMerge, "Merged");
    SetRowRole(*merge.item, rrMergeGroup);
    Options(*merge.item);
    for (auto [name, len] : {std::pair{"m1", 10}, std::pair{"m2", 20}, std::pair{"m3", 30}}) File(lists, merge.node, mkMerge, name, len);
    Row slide = lists.Add(lists.jobs, nullptr, mkSlide, "Show");
    SetRowRole(*slide.item, rrSlideGroup);
    Options(*slide.item, true, stProgressive);
    for (auto [name, len] : {std::pair{"s1", 5}, std::pair{"s2", 6}, std::pair{"s3", 7}}) File(lists, slide.node, mkSlide, name, len);
    lists.jobs.SetChecked(merge.node, true);
    lists.jobs.SetChecked(slide.node, true);

    Outcome o = Run(lists);
    EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("Merged"), Ok("s1"), Ok("s2"), Ok("s3")}));
    auto videos = rec.Videos();
    ASSERT_EQ(videos.size(), 4u);
    EXPECT_EQ(Inputs(videos[0]), "/media/m1.mp4@0+10 /media/m2.mp4@0+20 /media/m3.mp4@0+30");
    EXPECT_EQ(o.total, 60 + 18);
    auto folders = JobFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(Files(folders[0]), (std::set<std::string>{"Merged.flv", "Merged.jpg", "Merged.swf", "Merged.html",
                                                         "AC_RunActiveContent.js"}));
    EXPECT_EQ(Files(folders[1]), (std::set<std::string>{"s1.flv", "s1.jpg", "s2.flv", "s2.jpg", "s3.flv", "s3.jpg",
                                                         "Show.swf", "Show.html", "AC_RunActiveContent.js"}));
    ASSERT_EQ(rec.players.size(), 2u);
    EXPECT_EQ(rec.players[1], (std::pair<std::string, int>{folders[1].string() + "/Show.swf", 3}));
    // The members take the show's options; the page plays the show's player.
    for (RowHandle m = lists.jobs.FirstChild(slide.node); m; m = lists.jobs.NextSibling(m))
        EXPECT_EQ(lists.jobs.Item(m)->customSetting, slide.item->customSetting);
    std::ifstream page(folders[1] / "Show.html");
    std::string html((std::istreambuf_iterator<char>(page)), {});
    EXPECT_NE(html.find("Show.swf"), std::string::npos);
    EXPECT_NE(html.find("01abff"), std::string::npos);
}

// Cancel during the second of four rows: its line still comes, rows three and four are
// never touched, and the end message follows.
TEST_F(ConvertRun, CancelStopsBeforeTheNextRow) {
    Lists lists;
    for (const char* name : {"one", "two", "three", "four"})
        lists.jobs.SetChecked(File(lists, nullptr, mkFile, name, 10).node, true);
    rec.cancelAtJob = 2;
    Outcome o = Run(lists);
    EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("one"), Ok("two")}));
    EXPECT_EQ(rec.Videos().size(), 2u);
    EXPECT_EQ(JobFolders().size(), 2u);
    EXPECT_EQ(rec.preview, 1) << "the preview is on by default";
}

// A cancel during the thumbnail is reported as the row's cancel, and no later row starts.
TEST_F(ConvertRun, CancelDuringTheThumbnailIsACancel) {
    Lists lists;
    for (const char* name : {"one", "two"})
        lists.jobs.SetChecked(File(lists, nullptr, mkFile, name, 10).node, true);
    rec.thumbnailResult = crCancelled;
    Outcome o = Run(lists);
    EXPECT_EQ(o.lines, (std::vector<std::string>{Failed("one", crCancelled)}));
    EXPECT_EQ(rec.Videos().size(), 1u);
    EXPECT_TRUE(rec.players.empty());
}

// A failed conversion's line ends with the converter's own words on why; a row that
// converted asks for none.
TEST_F(ConvertRun, ConverterTextFollowsAFailure) {
    Lists lists;
    for (const char* name : {"bad", "good"})
        lists.jobs.SetChecked(File(lists, nullptr, mkFile, name, 10).node, true);
    rec.failStem["bad"] = crEncoderRefused;
    fake.failureText = [](const GroupMediaUIOption*, char* text, std::int32_t size) {
        return static_cast<std::int32_t>(std::snprintf(text, size, "opening the video encoder: Invalid argument"));
    };
    Outcome o = Run(lists);
    EXPECT_EQ(o.lines, (std::vector<std::string>{
                           Failed("bad", crEncoderRefused) + " (opening the video encoder: Invalid argument)", Ok("good")}));
}

// Without FLV output the folder loses its video, unless a progressive player streams it.
TEST_F(ConvertRun, FlvCleanUp) {
    for (int swfType : {stEmbedded, stProgressive}) {
        rec.jobs.clear();
        fs::remove_all(out);
        fs::create_directories(out);
        Lists lists;
        Row row = File(lists, nullptr, mkFile, "clip", 10);
        Options(*row.item, false, swfType);
        lists.jobs.SetChecked(row.node, true);
        Outcome o = Run(lists);
        EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("clip")}));
        auto folders = JobFolders();
        ASSERT_EQ(folders.size(), 1u);
        std::set<std::string> expected{"clip.jpg", "clip.swf", "clip.html", "AC_RunActiveContent.js"};
        if (swfType == stProgressive) expected.insert("clip.flv");
        EXPECT_EQ(Files(folders[0]), expected) << swfType;
    }
}

// A row that fails gets its own line naming the failure; the run goes on with the next
// row and still ends once.
TEST_F(ConvertRun, FailuresAreReportedPerRow) {
    const struct {
        const char* what;
        int code;
    } cases[] = {
        {"converter", crDamagedInput},   {"folder", prJobFolderFailed}, {"title", prTitleNotFound},
        {"thumbnail", prThumbnailFailed}, {"script", prScriptCopyFailed}, {"segment", prSegmentNotFound},
        {"player", kbnErrBadClip},        {"page", prPageFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        Lists lists;
        Row bad;
        const std::string what = c.what;
        if (what == "title") {
            bad = lists.Add(lists.jobs, nullptr, mkDvdTitle, "Missing title", 0, 10);
            bad.item->dvdKind = mkDvdTitle;
            Options(*bad.item);
        } else if (what == "segment") {
            // A merge member copied from a segment whose row is gone; the group's own
            // member of the same name is no segment.
            bad = lists.Add(lists.jobs, nullptr, mkMerge, "Group");
            SetRowRole(*bad.item, rrMergeGroup);
            Options(*bad.item);
            Row m = lists.Add(lists.jobs, bad.node, mkMerge, "cut", 0, 5);
            m.item->dvdKind = mkDvdChapter;
            m.item->sourceKind = mkSegment;
        } else {
            bad = File(lists, nullptr, mkFile, "bad", 10);
        }
        lists.jobs.SetChecked(bad.node, true);
        lists.jobs.SetChecked(File(lists, nullptr, mkFile, "good", 10).node, true);
        if (what == "converter") rec.failStem["bad"] = crDamagedInput;
        if (what == "thumbnail") rec.thumbnailResult = crInternalError;
        if (what == "player") rec.playerResult = kbnErrBadClip;
        if (what == "page") rec.blockPage = true;
        if (what == "script") fs::remove(program + "templates/AC_RunActiveContent.js");
        if (what == "folder") ConvertOutputDir = temp.str() + "/missing/parent/";

        Outcome o = Run(lists);
        const std::string name = lists.jobs.Item(bad.node)->name;
        const bool everyRow = what == "folder" || what == "thumbnail" || what == "script" || what == "player" ||
                             what == "page";
        const int goodCode = everyRow ? c.code : 0;
        EXPECT_EQ(o.lines, (std::vector<std::string>{Failed(name, c.code),
                                                     goodCode ? Failed("good", goodCode) : Ok("good")}));
    }
}

// A slide show named like a path keeps its folder, player and page inside the output
// folder.
TEST_F(ConvertRun, SlideShowNamedLikeAPathStaysInTheOutputFolder) {
    // Deep enough that a name escaping it still lands inside the test's folder.
    out = temp.str() + "/d1/d2/out/";
    fs::create_directories(out);
    ConvertOutputDir = out;
    Lists lists;
    Row slide = lists.Add(lists.jobs, nullptr, mkSlide, "../../x");
    SetRowRole(*slide.item, rrSlideGroup);
    Options(*slide.item, true, stProgressive);
    File(lists, slide.node, mkSlide, "s1", 5);
    lists.jobs.SetChecked(slide.node, true);
    Outcome o = Run(lists);
    EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("s1")}));
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(temp.path())) {
        const std::string path = e.path().string();
        if (e.is_regular_file() && path.rfind(out, 0) != 0 && path.rfind(program, 0) != 0) ADD_FAILURE() << path;
        files += e.is_regular_file() && path.rfind(out, 0) == 0;
    }
    auto folders = JobFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(Files(folders[0]), (std::set<std::string>{"s1.flv", "s1.jpg", "_._.._x.swf", "_._.._x.html",
                                                         "AC_RunActiveContent.js"}));
    EXPECT_EQ(files, 5u);
}

// A link planted in the job folder under the page script's name is replaced by the script,
// never written through.
TEST_F(ConvertRun, PageScriptNeverFollowsAPlantedLink) {
    Lists lists;
    lists.jobs.SetChecked(File(lists, nullptr, mkFile, "clip", 10).node, true);
    rec.victim = temp.Write("victim.txt", "keep").string();
    rec.plant = "AC_RunActiveContent.js";
    Outcome o = Run(lists);
    EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("clip")}));
    std::ifstream victim(rec.victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "keep");
    auto folders = JobFolders();
    ASSERT_EQ(folders.size(), 1u);
    const fs::path script = folders[0] / "AC_RunActiveContent.js";
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(script)));
    std::ifstream copied(script);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copied), {}), "// page script\n");
}

// An exception inside the converter ends the run, but never without its end message;
// the item in hand gets its line, and what the row held (a show's player) is freed.
TEST_F(ConvertRun, ExceptionStillEndsTheRunOnce) {
    for (bool slideShow : {false, true}) {
        SCOPED_TRACE(slideShow ? "slide show" : "files");
        TearDown();
        SetUp();
        Lists lists;
        if (slideShow) {
            Row show = lists.Add(lists.jobs, nullptr, mkSlide, "Show");
            Options(*show.item);
            for (const char* name : {"one", "two"}) File(lists, show.node, mkSlide, name, 10);
            lists.jobs.SetChecked(show.node, true);
        } else {
            for (const char* name : {"one", "two"})
                lists.jobs.SetChecked(File(lists, nullptr, mkFile, name, 10).node, true);
        }
        rec.throwInConvert = true;
        Outcome o = Run(lists);
        EXPECT_EQ(o.lines, (std::vector<std::string>{Failed("one", prRowAborted)}));
        EXPECT_EQ(rec.Videos().size(), 1u);
    }
}

// The worker's result lines and its end message wait for room in a full queue rather than
// being lost: the run's first turn fills the progress window's queue and reads nothing for
// a while, so the worker finds it full.
TEST_F(ConvertRun, FullQueueDelaysTheLinesAndTheEndWithoutLosingThem) {
    Lists lists;
    for (const char* name : {"one", "two"})
        lists.jobs.SetChecked(File(lists, nullptr, mkFile, name, 10).node, true);
    bool flooded = false;
    int posted = 0;
    Outcome o = Run(lists, [&] {
        if (flooded) return;
        flooded = true;
        while (platform::PostThreadMessage(platform::GetCurrentThreadId(), platform::WM_NULL, 0, 0)) ++posted;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    EXPECT_GE(posted, 1) << "the queue never filled";
    EXPECT_EQ(o.lines, (std::vector<std::string>{Ok("one"), Ok("two")}));
}

TEST(ConvertWindow, ProgressAndResultLines) {
    EXPECT_EQ(TfrmConvert::ResultLine("Clip", 0), "Clip --> Convert Successful!");
    EXPECT_EQ(TfrmConvert::ResultLine("Clip", crNoVideo), std::string("Clip --> ") + getErrorInfo(crNoVideo, 0, 1));

    ConvertLibrary lib = FakeLibrary();
    SetConvertLibrary(&lib);
    rec.progressFreed = 0;
    {
        TfrmConvert form;
        form.Preview = false;
        form.PreviewClick();
        EXPECT_EQ(rec.preview, 0);
        form.OneProgress().SetMax(20000);
        form.TotalProgress().SetMax(40000);
        TotalConvertedSeconds = 100;
        const struct {
            double seconds;
            int one, total;
        } cases[] = {{17999.9, 17999, 18099}, {18000.0, 17999, 18099}, {12.7, 12, 112}, {-5e300, 12, 112},
                     {std::nan(""), 12, 112}};
        for (const auto& c : cases) {
            auto* info = static_cast<ConvertProgressInfo*>(std::calloc(1, sizeof(ConvertProgressInfo)));
            info->convertedSeconds = c.seconds;
            form.WndProc(form.Handle(), WM_CONVERTER_PROGRESS, reinterpret_cast<platform::WPARAM>(info), 0);
            EXPECT_EQ(form.OneProgress().Position(), c.one) << c.seconds;
            EXPECT_EQ(form.TotalProgress().Position(), c.total) << c.seconds;
        }
    }
    EXPECT_EQ(rec.progressFreed, 5);
    SetConvertLibrary(nullptr);
    TotalConvertedSeconds = 0;
}

}  // namespace

}  // namespace jobmodel
