// The converter's threads against the caller's: where the cancel query is asked, and the
// preview sink's removal. Labelled "threads": these also run under ThreadSanitizer.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "morvconverter/media_check.h"
#include "support/media_tsan.h"
#include "support/tempdir.h"

using namespace convtest;
namespace fs = std::filesystem;


namespace {

class ConverterThreads : public ::testing::Test {
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
testsupport::TempDir* ConverterThreads::dir_ = nullptr;

// Which threads asked the cancel query.
struct QueryThreads {
    static inline std::mutex lock;
    static inline std::set<std::thread::id> ids;
    static std::int32_t Query() {
        {
            std::lock_guard l(lock);
            ids.insert(std::this_thread::get_id());
        }
        // A slow answer: the encoder threads go on writing meanwhile, and would ask too if
        // they could.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return 0;
    }
};

// The caller's cancel query runs on the thread that called converteToMedia only, never on
// the encoder threads, while those write the output.
TEST_F(ConverterThreads, CancelQueryIsAskedOnTheConvertingThreadOnly) {
    ProgressHandle handle{&QueryThreads::Query, nullptr};
    setProgressHandle(&handle);
    Group g;
    g.AddFile(Clip());
    Output o;
    o.videoBitrate = 4000;  // many writes of the output while the query is asked
    SetOutput(g.g, o, Out("out.flv"));
    const int result = g.Convert();
    setProgressHandle(nullptr);
    EXPECT_EQ(result, 0);
    std::lock_guard l(QueryThreads::lock);
    EXPECT_EQ(QueryThreads::ids, std::set<std::thread::id>{std::this_thread::get_id()});
}

// A sink whose first call is held until the test lets it go (or a while has passed): when
// setPreviewSink(nullptr) has returned, no call of the sink may still be running, so that
// its context can be freed.
struct HeldSink {
    std::mutex lock;
    std::condition_variable changed;
    bool entered = false, released = false;
    std::atomic<bool> freed{false};
    std::atomic<int> callsAfterFree{0};
    std::atomic<int> calls{0};

    static void Sink(const std::uint8_t*, std::int32_t, std::int32_t, std::int32_t, double, void* context) {
        auto* self = static_cast<HeldSink*>(context);
        if (self->calls++ == 0) {
            std::unique_lock l(self->lock);
            self->entered = true;
            self->changed.notify_all();
            // Held until released; with a sound removal the test waits for this call, so
            // the hold ends by itself.
            self->changed.wait_for(l, std::chrono::milliseconds(300), [self] { return self->released; });
        }
        if (self->freed.load()) ++self->callsAfterFree;
    }
};

TEST_F(ConverterThreads, RemovedPreviewSinkIsNotRunningOnceTheRemovalReturns) {
    HeldSink held;
    setPreviewSink(&HeldSink::Sink, &held);
    setUsingPreview(1);
    int result = -1;
    std::thread job([&] {
        Group g;
        g.AddFile(Clip());
        SetOutput(g.g, Output{}, Out("out.flv"));
        result = g.Convert();
    });
    {
        std::unique_lock l(held.lock);
        held.changed.wait(l, [&] { return held.entered; });
    }
    setPreviewSink(nullptr, nullptr);
    held.freed = true;  // the context would be freed here
    {
        std::lock_guard l(held.lock);
        held.released = true;
    }
    held.changed.notify_all();
    job.join();
    setUsingPreview(0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(held.callsAfterFree.load(), 0);
}

}  // namespace
