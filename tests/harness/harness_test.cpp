// The harness itself: a hand-assembled movie must come back as trace lines and pixels.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "harness/ruffle.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, unsigned v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}

Bytes Tag(unsigned code, const Bytes& body) {
    Bytes t;
    Put16(t, (code << 6) | 0x3F);  // always the long form: simple and valid
    for (int i = 0; i < 4; ++i) t.push_back((body.size() >> (8 * i)) & 0xFF);
    t.insert(t.end(), body.begin(), body.end());
    return t;
}

// ActionPush of a string, ActionTrace, and optionally ActionStop.
Bytes TraceAction(const std::string& text, bool stop) {
    Bytes a{0x96};
    Put16(a, static_cast<unsigned>(text.size() + 2));
    a.push_back(0);  // string type
    a.insert(a.end(), text.begin(), text.end());
    a.push_back(0);
    a.push_back(0x26);
    if (stop) a.push_back(0x07);
    a.push_back(0);
    return a;
}

// A 200 x 100 pixel movie on a green background that traces one line in each of two frames.
Bytes TwoFrameMovie() {
    Bytes body;
    // RECT with 16-bit fields: 0, 4000, 0, 2000 twips.
    unsigned long long bits = 0;
    int n = 0;
    auto field = [&](unsigned v, int width) {
        for (int i = width - 1; i >= 0; --i) {
            bits = (bits << 1) | ((v >> i) & 1);
            if (++n == 8) {
                body.push_back(static_cast<std::uint8_t>(bits));
                bits = 0;
                n = 0;
            }
        }
    };
    field(16, 5);
    for (unsigned v : {0u, 4000u, 0u, 2000u}) field(v, 16);
    if (n) field(0, 8 - n);
    Put16(body, 12 << 8);  // 12 frames a second
    Put16(body, 2);
    auto add = [&](const Bytes& t) { body.insert(body.end(), t.begin(), t.end()); };
    add(Tag(69, {0, 0, 0, 0}));
    add(Tag(9, {0, 160, 0}));
    add(Tag(12, TraceAction("first frame", false)));
    add(Tag(1, {}));
    add(Tag(12, TraceAction("second frame", true)));
    add(Tag(1, {}));
    add(Tag(0, {}));
    Bytes swf{'F', 'W', 'S', 8};
    std::uint32_t total = static_cast<std::uint32_t>(8 + body.size());
    for (int i = 0; i < 4; ++i) swf.push_back((total >> (8 * i)) & 0xFF);
    swf.insert(swf.end(), body.begin(), body.end());
    return swf;
}

class Harness : public testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("lumacast-harness-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_F(Harness, PlaysAMovieAndReportsTracesAndPixels) {
    RUFFLE_OR_SKIP();
    Bytes swf = TwoFrameMovie();
    std::ofstream(dir_ / "movie.swf", std::ios::binary)
        .write(reinterpret_cast<const char*>(swf.data()), static_cast<std::streamsize>(swf.size()));
    harness::RuffleJob job;
    job.root = dir_.string();
    job.swf = "movie.swf";
    job.width = 200;
    job.height = 100;
    job.shots = {{300, (dir_ / "shot.png").string()}};
    job.durationMs = 3000;
    job.untilTrace = "second frame";
    harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(r.traces, testing::ElementsAre("first frame", "second frame"));
    EXPECT_THAT(r.errors, testing::IsEmpty());
    ASSERT_EQ(r.screenshots.size(), 1u);
    harness::Image img = harness::ReadPng(r.screenshots[0]);
    ASSERT_EQ(img.width, 200);
    ASSERT_EQ(img.height, 100);
    for (auto [x, y] : {std::pair{0, 0}, {199, 99}, {100, 50}})
        EXPECT_TRUE(harness::Near(img.At(x, y), {0, 160, 0})) << x << "," << y;
}

TEST_F(Harness, PlaysTheMovieThatAPageEmbeds) {
    RUFFLE_OR_SKIP();
    Bytes swf = TwoFrameMovie();
    std::ofstream(dir_ / "movie.swf", std::ios::binary)
        .write(reinterpret_cast<const char*>(swf.data()), static_cast<std::streamsize>(swf.size()));
    std::ofstream(dir_ / "page.html")
        << "<html><head><title>t</title></head><body style=\"margin:0\">"
           "<object classid=\"clsid:d27cdb6e-ae6d-11cf-96b8-444553540000\" width=\"200\" height=\"100\">"
           "<param name=\"movie\" value=\"movie.swf\">"
           "<embed src=\"movie.swf\" width=\"200\" height=\"100\" type=\"application/x-shockwave-flash\">"
           "</embed></object></body></html>";
    harness::RuffleJob job;
    job.root = dir_.string();
    job.html = "page.html";
    job.shots = {{300, (dir_ / "shot.png").string()}};
    job.durationMs = 3000;
    job.untilTrace = "second frame";
    harness::RuffleResult r = harness::RunRuffle(job);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(r.traces, testing::ElementsAre("first frame", "second frame"));
    harness::Image img = harness::ReadPng(r.screenshots.at(0));
    EXPECT_EQ(img.width, 200);
    EXPECT_TRUE(harness::Near(img.At(100, 50), {0, 160, 0}));
}

TEST_F(Harness, AMovieThatNeverLoadsIsAHarnessFailure) {
    RUFFLE_OR_SKIP();
    harness::RuffleJob job;
    job.root = dir_.string();
    job.swf = "missing.swf";
    job.timeoutMs = 6000;
    harness::RuffleResult r = harness::RunRuffle(job);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
}

// Without a browser or without the npm packages the harness says what is missing.
TEST(HarnessSetup, NamesWhatIsMissing) {
    auto saved = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    auto chromium = saved("LUMACAST_CHROMIUM"), nodeDir = saved("LUMACAST_NODE_DIR");
    ::setenv("LUMACAST_CHROMIUM", "/nonexistent/chromium", 1);
    auto why = harness::RuffleUnavailable();
    ASSERT_TRUE(why.has_value());
    EXPECT_THAT(*why, testing::HasSubstr("/nonexistent/chromium"));
    ::setenv("LUMACAST_CHROMIUM", "/bin/sh", 1);  // any executable will do for this check
    ::setenv("LUMACAST_NODE_DIR", "/nonexistent/node", 1);
    why = harness::RuffleUnavailable();
    if (std::system("command -v node >/dev/null 2>&1") == 0) {
        ASSERT_TRUE(why.has_value());
        EXPECT_THAT(*why, testing::HasSubstr("scripts/setup"));
    }
    for (auto& [name, value] : {std::pair{"LUMACAST_CHROMIUM", chromium}, {"LUMACAST_NODE_DIR", nodeDir}}) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
}

}  // namespace
