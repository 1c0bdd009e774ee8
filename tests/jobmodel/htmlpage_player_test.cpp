// The job page in a real browser with the Flash player: the page's player loads the movie
// beside it, whatever the movie is called.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "harness/ruffle.h"
#include "jobmodel/htmlpage.h"
#include "support/tempdir.h"
#include "swf/swf.h"

namespace jobmodel {

namespace {

namespace fs = std::filesystem;

// A 160 x 120 movie that traces `line` in its first frame.
void WriteTracingMovie(const std::string& path, const std::string& line) {
    SWFMovie movie = newSWFMovieWithVersion(8);
    SWFMovie_setDimension(movie, 160, 120);
    SWFMovie_setRate(movie, 12);
    SWFMovie_setBackground(movie, 0, 160, 0);
    SWFAction action = newSWFAction(("trace('" + line + "'); stop();").c_str());
    SWFMovie_add(movie, reinterpret_cast<SWFBlock>(action));
    SWFMovie_nextFrame(movie);
    const int written = SWFMovie_save(movie, path.c_str());
    destroySWFAction(action);
    destroySWFMovie(movie);
    ASSERT_GT(written, 0) << SWF_getLastError();
}

TEST(HtmlPagePlayer, ThePagePlaysItsMovieWhateverItsName) {
    RUFFLE_OR_SKIP();
    const std::string source = std::getenv("LUMACAST_SOURCE_DIR");
    for (const std::string name : {"Lecture:1", "javascript:pwned=1"}) {
        SCOPED_TRACE(name);
        testsupport::TempDir dir;
        WriteTracingMovie(dir.str() + "/" + name + ".swf", "movie loaded");
        fs::copy_file(source + "/assets/templates/AC_RunActiveContent.js", dir.str() + "/AC_RunActiveContent.js");
        CreateHtmlPlayingSWF page;
        page.SetTitle(name);
        page.SetMovie(name);
        page.SetBgColor("000000");
        page.SetPlayerWidth(160);
        page.SetPlayerHeight(120);
        ASSERT_EQ(page.SaveHtml(dir.str() + "/" + name + ".html"), 1);

        harness::RuffleJob job;
        job.root = dir.str();
        job.html = name + ".html";
        job.width = 160, job.height = 120;
        job.untilTrace = "movie loaded";
        job.durationMs = 3000;
        job.timeoutMs = 20000;
        harness::RuffleResult r = harness::RunRuffle(job);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_THAT(r.traces, testing::Contains("movie loaded"));
        EXPECT_TRUE(r.errors.empty()) << r.errors.front();
        std::string asked;
        for (const std::string& request : r.requests) asked += " " + request;
        EXPECT_TRUE(std::any_of(r.requests.begin(), r.requests.end(),
                                [](const std::string& request) { return request.find(".swf") != std::string::npos; }))
            << asked;
    }
}

}  // namespace

}  // namespace jobmodel
