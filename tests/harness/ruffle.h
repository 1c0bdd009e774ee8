#pragma once
// Plays SWF files in a real Flash player (the npm package @ruffle-rs/ruffle running in
// headless Chromium) from GoogleTest, and hands back what the movie did.
//
//   #include "harness/ruffle.h"       // target ruffle_harness
//
//   TEST(Player, TracesAndPaints) {
//       RUFFLE_OR_SKIP();                               // skips when chromium/npm tools are absent
//       harness::RuffleJob job;
//       job.root = dir;                                 // served on 127.0.0.1; every URL the
//       job.swf = "player.swf";                         // movie loads resolves inside it
//       job.width = 320; job.height = 240;              // the player's size = the stage size
//       job.shots = {{500, dir + "/a.png"}};            // ms after the movie started
//       job.clicks = {{300, 40, 20}};                   // click the stage at 40, 20 at 300 ms
//       job.untilTrace = "done";                        // optional: stop once this line is traced
//       harness::RuffleResult r = harness::RunRuffle(job);
//       ASSERT_TRUE(r.ok) << r.error;                   // false: the harness itself failed
//       EXPECT_THAT(r.traces, testing::Contains("done"));
//       harness::Image img = harness::ReadPng(r.screenshots[0]);
//       EXPECT_TRUE(harness::Near(img.At(10, 10), {255, 0, 0}));
//   }
//
// One run starts one browser (about 2-3 s): batch several checks into one movie where
// possible. The player is shown at scale 1, aligned top-left, without letterbox, splash or
// overlays, so a screenshot pixel (x, y) is the stage pixel (x, y). `job.html` opens a page
// below `root` instead (its <object>/<embed> are taken over by the player) and the
// screenshots then show the player element of the page. `job.page` opens a URL path below
// `root` (query included) as it stands: nothing is injected, the page loads its own copy of
// the player from `root`.
//
// trace() lines arrive in `traces` in order; the player's own ERROR lines (a frame it cannot
// decode, a tag it rejects), console errors and uncaught page errors in `errors`; every
// other console line in `console` (useful in failure messages).
// The runner is tests/harness/run.mjs; it finds the npm packages in $LUMACAST_NODE_DIR
// (<build>/node, filled by `scripts/setup <build>`) and the browser at /usr/bin/chromium.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace harness {

struct RuffleShot {
    int atMs = 0;      // time after the movie started
    std::string path;  // PNG written here
};

struct RuffleClick {
    int atMs = 0;  // time after the movie started
    int x = 0, y = 0;  // stage pixels
};

struct RuffleJob {
    std::string root;  // folder served over HTTP
    std::string swf;   // SWF below root to play (or:)
    std::string html;  // HTML page below root to open (or:)
    std::string page;  // URL path below root, e.g. "/a/page.html?x=1", opened as it stands
    int width = 550;
    int height = 400;
    std::vector<RuffleShot> shots;
    std::vector<RuffleClick> clicks;
    int durationMs = -1;  // play time after the start; -1: last shot + 200 ms
    std::optional<std::string> untilTrace;
    int timeoutMs = 30000;
};

struct RuffleResult {
    bool ok = false;
    std::string error;  // why the harness failed (not the movie)
    std::vector<std::string> traces;
    std::vector<std::string> errors;
    std::vector<std::string> console;
    std::vector<std::string> screenshots;
    std::vector<std::string> requests;  // URL paths the page asked for, in order
};

// Why the player cannot run here (no chromium, no node, no npm packages), or nothing.
std::optional<std::string> RuffleUnavailable();

RuffleResult RunRuffle(const RuffleJob& job);

struct Rgb {
    int r = 0, g = 0, b = 0;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // 3 bytes a pixel, rows top-down
    Rgb At(int x, int y) const;
};

// Reads a PNG (any colour type, flattened to 8-bit RGB); an empty image when unreadable.
Image ReadPng(const std::string& path);

// Colours from a renderer differ by a few steps of anti-aliasing and blending.
bool Near(Rgb a, Rgb b, int tolerance = 12);

}  // namespace harness

#define RUFFLE_OR_SKIP()                                                   \
    do {                                                                   \
        if (auto ruffleWhy = ::harness::RuffleUnavailable())               \
            GTEST_SKIP() << "Flash player harness unavailable: " << *ruffleWhy; \
    } while (0)
