// The SWF writer's files, checked tag by tag, by ffprobe/ffmpeg and by reading them back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures.h"
#include "swf/internal/objects.h"
#include "swf/swf.h"

namespace {

using namespace swftest;

TEST(SwfMovie, HeaderFileAttributesBackgroundAndFrames) {
    TempDir dir;
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovie_setRate(m, 25.5f);
    SWFMovie_setDimension(m, 320, 280);
    SWFMovie_setBackground(m, 1, 2, 3);
    SWFMovie_nextFrame(m);
    SWFMovie_nextFrame(m);
    int n = SWFMovie_save(m, (dir / "m.swf").c_str());
    destroySWFMovie(m);
    Bytes data = ReadFile(dir / "m.swf");
    ASSERT_EQ(n, static_cast<int>(data.size()));
    SwfFile f = ParseSwf(data);
    EXPECT_EQ(f.version, 8);
    EXPECT_EQ(f.length, data.size());
    EXPECT_DOUBLE_EQ(f.rate, 25.5);
    EXPECT_EQ(f.frames, 2u);
    ASSERT_GE(f.tags.size(), 5u);
    EXPECT_EQ(f.tags[0].code, 69u);
    EXPECT_EQ(f.tags[1].code, 9u);
    EXPECT_EQ(f.tags[1].body, (Bytes{1, 2, 3}));
    EXPECT_EQ(f.tags.back().code, 0u);
}

}  // namespace
