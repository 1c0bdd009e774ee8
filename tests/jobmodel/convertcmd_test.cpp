// The Convert command headless: the run's total, no checked row, the output folder made
// with its parents or the user told, the window's inputs, and the DVD ranges afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jobmodel/convertcmd.h"
#include "jobmodel/convertstate.h"
#include "jobmodel/joblist.h"
#include "support/tempdir.h"
#include "tests/jobmodel/itemlists.h"

namespace jobmodel {
namespace {

namespace fs = std::filesystem;
using itemlists::Lists;

struct RecordingHost : JobHost {
    std::vector<std::string> log;
    TfrmConvert* form = nullptr;
    int totalWhenShown = -1;
    void ShowMessage(const std::string& text) override { log.push_back("message:" + text); }
    void ShowProgressWindow() override {
        log.push_back("progress");
        totalWhenShown = form->TotalProgress().Max();
    }
};

void Check(JobRows& rows, Row row) { SetRowCheckState(rows, row, true); }

TEST(ConvertCommand, TheTotalCountsGroupsByTheirMembers) {
    Lists lists;
    itemlists::Row slide = lists.Add(lists.jobs, nullptr, mkSlide, "Slide1");
    SetRowRole(*slide.item, rrSlideGroup);
    for (int length : {60, 90, 30}) lists.Add(lists.jobs, slide.node, mkSlide, "m", 10, 10 + length);
    itemlists::Row title = lists.Add(lists.jobs, nullptr, mkDvdTitle, "title_01_01", 0, 600);
    itemlists::Row segment = lists.Add(lists.jobs, title.node, mkSegment, "title_01_01(1)", 100, 150);
    itemlists::Row unchecked = lists.Add(lists.jobs, nullptr, mkFile, "other", 0, 1000);

    EXPECT_FALSE(HasCheckedRow(lists.jobs));
    Check(lists.jobs, slide.node);
    Check(lists.jobs, title.node);
    EXPECT_EQ(ConvertTotalSeconds(lists.jobs), 780);
    Check(lists.jobs, segment.node);  // a title and its checked segment count both
    EXPECT_EQ(ConvertTotalSeconds(lists.jobs), 830);
    (void)unchecked;
}

TEST(ConvertCommand, ClickPreparesTheRunOrTellsWhyNot) {
    testsupport::TempDir dir;
    Lists lists;
    TfrmConvert form;
    RecordingHost host;
    host.form = &form;
    itemlists::Row title = lists.AddDvdTitle("title_01_01", {4, 6});
    for (Row c = lists.dvd.FirstChild(title.node); c; c = lists.dvd.NextSibling(c)) {
        MediaItem& chapter = *lists.dvd.Item(c);
        chapter.mediaInfo = NewMediaInfo();
        chapter.mediaInfo->durationSeconds = chapter.timeRange->end;
    }
    itemlists::Row row = lists.Add(lists.jobs, nullptr, mkFile, "clip", 0, 42);
    std::string output = dir.str() + "/out/deeper";
    ConvertCommand command{output, lists.jobs, &lists.dvd, form, "/program/", host};

    // Nothing checked: the message only; the DVD ranges stay as the run left them.
    *lists.dvd.Item(lists.dvd.FirstChild(title.node))->timeRange = {1, 2};
    EXPECT_FALSE(ConvertClick(command));
    ASSERT_EQ(host.log, std::vector<std::string>{"message:No one is checked!"});
    EXPECT_EQ(lists.ChapterRanges(title.node), "1-2 0-6");
    EXPECT_FALSE(fs::exists(output));
    host.log.clear();

    // The folder is made with its parents, the run's inputs are set, the window shown.
    Check(lists.jobs, row.node);
    form.ShowResult().Add("old line");
    form.OneProgress().SetMax(9);
    form.OneProgress().SetPosition(9);
    CancelState = 1;
    EXPECT_TRUE(ConvertClick(command));
    EXPECT_EQ(host.log, std::vector<std::string>{"progress"});
    EXPECT_TRUE(fs::is_directory(dir.path() / "out/deeper"));
    EXPECT_EQ(output, dir.str() + "/out/deeper/");
    EXPECT_EQ(ConvertOutputDir, output);
    EXPECT_EQ(CancelState.load(), 0);
    EXPECT_EQ(host.totalWhenShown, 42);
    EXPECT_EQ(form.OneProgress().Max(), 0);
    EXPECT_EQ(form.OneProgress().Position(), 0);
    EXPECT_TRUE(form.ShowResult().Lines().empty());
    EXPECT_EQ(form.JobList, &lists.jobs);
    EXPECT_EQ(form.DvdList, &lists.dvd);
    EXPECT_EQ(form.ProgramFolder, "/program/");
    EXPECT_EQ(lists.ChapterRanges(title.node), "0-4 0-6");  // whole lengths back after the run
    host.log.clear();

    // A folder that cannot be made: the user is told, no run starts, the ranges are reset.
    dir.Write("file", "x");
    output = dir.str() + "/file/out";
    *lists.dvd.Item(lists.dvd.FirstChild(title.node))->timeRange = {1, 2};
    EXPECT_FALSE(ConvertClick(command));
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log[0], "message:Can't create the output folder: " + dir.str() + "/file/out/");
    EXPECT_EQ(lists.ChapterRanges(title.node), "0-4 0-6");

    // No DVD loaded yet: no DVD tree to reset.
    host.log.clear();
    output = dir.str() + "/again";
    ConvertCommand noDvd{output, lists.jobs, nullptr, form, "/program/", host};
    EXPECT_TRUE(ConvertClick(noDvd));
    EXPECT_EQ(form.DvdList, nullptr);
}

}  // namespace
}  // namespace jobmodel
