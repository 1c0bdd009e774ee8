// The template folder of the program folder: every gallery lists its clips with thumbnails of
// the sizes the galleries lay out, the skins carry what the player script drives, and every
// clip with the script templates makes a player.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/graphics/graphics.h"
#include "playermaker/morvbrindle.h"
#include "playermaker/swf_walk.h"
#include "playermaker/test_util.h"
#include "playermaker/world.h"
#include "swf/swf.h"

namespace {

namespace fs = std::filesystem;
using pmtest::Set;
using pmtest::TempDir;

std::string Templates() {
    const char* dir = std::getenv("LUMACAST_PROGRAM_DIR");
    return (dir ? std::string(dir) : pmtest::BuildDir() + "/lumacast") + "/templates";
}

struct Gallery {
    const char* folder;
    const char* more;
    int thumbWidth, thumbHeight;    // the picture buttons
    int borderWidth, borderHeight;  // the selection frames around them
    std::size_t atLeast;            // templates the folder offers
};

void PrintTo(const Gallery& g, std::ostream* os) { *os << g.folder; }

const Gallery kGalleries[] = {
    {"Players", "PlayerMore", 276, 44, 288, 54, 4},
    {"Effect", "EffectMore", 90, 62, 100, 72, 3},
    {"Preloader", "LoaderMore", 90, 62, 100, 72, 2},
};

const std::set<std::string> kReserved = {"None.bmp", "PlayerMore.bmp", "EffectMore.bmp",
                                         "LoaderMore.bmp", "border.bmp"};

std::pair<int, int> PictureSize(const std::string& path) {
    platform::TPicture picture;
    picture.LoadFromFile(path);  // the loader the galleries use; throws on a bad picture
    return {picture.Width(), picture.Height()};
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// The templates of a folder: base names of its thumbnails that are not reserved.
std::vector<std::string> TemplateNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string file = e.path().filename().string();
        if (e.path().extension() == ".bmp" && !kReserved.count(file)) names.push_back(e.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class GalleryFolder : public testing::TestWithParam<Gallery> {};

TEST_P(GalleryFolder, ListsItsClipsWithThumbnailsOfTheGallerySize) {
    const Gallery& g = GetParam();
    const std::string folder = Templates() + "/" + g.folder;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    EXPECT_EQ(PictureSize(folder + "/None.bmp"), std::make_pair(g.thumbWidth, g.thumbHeight));
    EXPECT_EQ(PictureSize(folder + "/" + g.more + ".bmp"), std::make_pair(g.thumbWidth, g.thumbHeight));
    EXPECT_EQ(PictureSize(folder + "/border.bmp"), std::make_pair(g.borderWidth, g.borderHeight));

    const std::vector<std::string> names = TemplateNames(folder);
    EXPECT_GE(names.size(), g.atLeast);
    std::set<std::string> seen;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        // Names become control names: identifiers, unique regardless of case, never "None".
        EXPECT_THAT(name, testing::MatchesRegex("[A-Za-z_][A-Za-z0-9_]*"));
        EXPECT_TRUE(seen.insert(Lower(name)).second);
        EXPECT_NE(Lower(name), "none");
        EXPECT_EQ(PictureSize(folder + "/" + name + ".bmp"), std::make_pair(g.thumbWidth, g.thumbHeight));
        const std::string clip = folder + "/" + name + ".swf";
        SWFPrebuiltClip prebuilt = newSWFPrebuiltClip_fromFile(clip.c_str());
        EXPECT_NE(prebuilt, nullptr) << clip << ": " << SWF_getLastError();
        destroySWFPrebuiltClip(prebuilt);
    }
    // Every clip has its thumbnail (the skin "None" is chosen by the gallery's None button).
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.path().extension() != ".swf" || e.path().stem() == "None") continue;
        EXPECT_TRUE(fs::exists(fs::path(e.path()).replace_extension(".bmp"))) << e.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, GalleryFolder, testing::ValuesIn(kGalleries),
                         [](const auto& info) { return std::string(info.param.folder); });

// Each skin names its control-bar height in its file name and holds the Video object and the
// bar the player script drives.
TEST(Skins, HoldTheVideoAndTheBar) {
    const std::string folder = Templates() + "/Players";
    const std::vector<std::string> names = TemplateNames(folder);
    ASSERT_FALSE(names.empty());
    EXPECT_TRUE(fs::exists(folder + "/Christmas_h40.swf")) << "the default skin is missing";
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_THAT(name, testing::MatchesRegex("[A-Za-z]+_h[1-9][0-9]*"));
        const pmtest::SwfMovie movie = pmtest::ReadSwf(folder + "/" + name + ".swf");
        ASSERT_TRUE(movie.ok) << movie.error;
        ASSERT_FALSE(movie.frames.empty());
        std::map<std::string, int> parts;
        for (const auto& [depth, item] : movie.frames[0]) parts[item.name] = item.characterTag;
        EXPECT_EQ(parts["video"], 60) << "no Video object named video";
        EXPECT_EQ(parts["bar"], 39) << "no sprite named bar";
    }
    const pmtest::SwfMovie none = pmtest::ReadSwf(folder + "/None.swf");
    ASSERT_TRUE(none.ok) << none.error;
    EXPECT_TRUE(none.frames.empty() || none.frames[0].empty());
}

// The preview panels' pictures beside the template folder are pictures the program reads.
TEST(PreviewPictures, AreReadable) {
    const fs::path program = fs::path(Templates()).parent_path();
    for (const char* name : {"Default.bmp", "bj.bmp", "Editbj.bmp"})
        EXPECT_EQ(PictureSize((program / name).string()), std::make_pair(320, 240)) << name;
}

// Every skin, effect and preloader with the real script templates makes a player of each
// kind: the scripts compile and every clip is one the player maker can use.
TEST(Templates, EveryClipMakesAPlayer) {
    setFilePrefixPath(fs::path(Templates()).parent_path().c_str());
    TempDir out;
    const std::string flv = out / "clip.flv";
    ASSERT_TRUE(pmtest::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=160x120:r=10:d=1 "
                            "-f lavfi -i sine=sample_rate=44100:d=1 -c:v flv1 -c:a libmp3lame "
                            "-ar 44100 -shortest " + pmtest::Quote(flv)));
    struct Choice {
        std::string skin, effect, preloader;
    };
    std::vector<Choice> choices;
    for (const std::string& skin : TemplateNames(Templates() + "/Players")) choices.push_back({skin, "", ""});
    choices.push_back({"None", "", ""});
    for (const std::string& effect : TemplateNames(Templates() + "/Effect"))
        choices.push_back({"Christmas_h40", effect, ""});
    for (const std::string& preloader : TemplateNames(Templates() + "/Preloader"))
        choices.push_back({"Christmas_h40", "", preloader});
    for (const Choice& c : choices) {
        for (int kind : {1, 2}) {
            SCOPED_TRACE(c.skin + " " + c.effect + " " + c.preloader + " kind " + std::to_string(kind));
            KbnUIGroupOption* g = nullptr;
            createKbnUIGroupOption(&g);
            Set(g->outputPath, out / "player.swf");
            createKbnUIGenerateOption(&g->generate);
            g->generate->swfType = kind;
            g->generate->playlistInScript = 1;
            createKbnUIPlayerOption(&g->player);
            g->player->width = 320;
            g->player->height = 240;
            g->player->frameRate = 10;
            g->player->hideAll = c.skin == "None";
            Set(g->player->skinFile, c.skin + ".swf");
            if (!c.effect.empty()) Set(g->player->effectFile, c.effect + ".swf");
            if (!c.preloader.empty()) Set(g->player->preloaderFile, c.preloader + ".swf");
            KbnUIMediaOption* m = nullptr;
            createKbnUIMediaOption(g, &m);
            Set(m->flvPath, flv);
            Set(m->title, "clip");
            EXPECT_EQ(generateFLVPlayer(g), 0);
            freeKbnUIGroupOption(&g);
        }
    }
}

// The clip generator refuses a description it cannot draw, naming the line, and leaves no
// clip of it behind.
TEST(Templategen, RefusesBadDescriptions) {
    const std::string tool = pmtest::BuildDir() + "/tools/templategen";
    ASSERT_TRUE(fs::exists(tool)) << tool;
    const std::string blank = pmtest::BuildDir() + "/assets/templates/blank.flv";
    const std::string good = " bar=102030 band=203040 icon=ffffff dim=000000 text=ffffff deco=plain";
    const std::string lines[] = {
        "skin Bad 40 bar=1020zz band=203040 icon=ffffff dim=000000 text=ffffff deco=plain",
        "skin Bad 40 bar=102030",                  // colours missing
        "skin Bad 4" + good,                       // bar too low
        "skin 9Bad 40" + good,                     // not an identifier
        "skin None 40" + good,                     // reserved for the None button
        "effect Bad fog",                          // unknown style
        "preloader Bad",                           // style missing
        "banner Bad bar",                          // unknown kind
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        TempDir dir;
        pmtest::WriteFile(dir / "clips.txt", "# clips\n" + line + "\n");
        const std::string said = pmtest::Capture(pmtest::Quote(tool) + " " + pmtest::Quote(dir / "clips.txt") + " " +
                                                 pmtest::Quote(blank) + " " + pmtest::Quote(dir / "out") +
                                                 " 2>&1; echo \"exit $?\"");
        EXPECT_THAT(said, testing::HasSubstr(line));
        EXPECT_THAT(said, testing::EndsWith("exit 1\n"));
        for (const char* folder : {"Players", "Effect", "Preloader"})
            for (const char* ext : {".swf", ".bmp"})
                EXPECT_FALSE(fs::exists(dir.path() / "out" / folder / (std::string("Bad") + ext)));
    }
}

// The page script writes the object and embed markup for its argument pairs, with the movie
// file named, every value escaped and no event handler attribute.
TEST(PageScript, WritesEscapedObjectAndEmbedMarkup) {
    if (!pmtest::Run("node --version > /dev/null 2>&1")) GTEST_SKIP() << "node is not installed";
    TempDir dir;
    pmtest::WriteFile(dir / "run.js",
                      "const vm = require('vm'), fs = require('fs'); const ctx = {};\n"
                      "vm.createContext(ctx);\n"
                      "vm.runInContext(fs.readFileSync(process.argv[2], 'utf8'), ctx);\n"
                      "const args = JSON.parse(fs.readFileSync(process.argv[3], 'utf8'));\n"
                      "process.stdout.write(ctx.AC_FL_RunContent.buildMarkup(args));\n");
    struct Case {
        const char* args;  // JSON array of the call's arguments
        std::vector<std::string> present, absent;
    };
    const Case cases[] = {
        {R"x(["src", "clip", "movie", "clip", "width", "320", "height", "240", "id", "clip",
            "name", "clip", "bgcolor", "#000000", "allowFullScreen", "true"])x",
         {R"x(<object classid="clsid:d27cdb6e-ae6d-11cf-96b8-444553540000" width="320" height="240" id="clip">)x",
          R"x(<param name="movie" value="clip.swf" />)x", R"x(<param name="allowFullScreen" value="true" />)x",
          R"x(<embed src="clip.swf" width="320" height="240" name="clip" bgcolor="#000000" allowFullScreen="true" type="application/x-shockwave-flash" /></object>)x"},
         {}},
        {R"x(["src", "dir/clip.swf?x=1", "movie", "a.b/clip"])x",
         {R"x(src="dir/clip.swf?x=1")x", R"x(value="a.b/clip.swf")x"}, {}},
        {R"x(["title", "a\"><script>x</script>'", "onload", "alert(1)", "bad name", "1", "src", "c"])x",
         {R"x(title="a&quot;&gt;&lt;script&gt;x&lt;/script&gt;&#39;")x"}, {"<script", "onload", "alert", "bad name"}},
        {R"x(["src"])x", {"<object", "<embed type="}, {"src="}},
    };
    const std::string script = Templates() + "/AC_RunActiveContent.js";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        pmtest::WriteFile(dir / "args.json", c.args);
        const std::string markup = pmtest::Capture("node " + pmtest::Quote(dir / "run.js") + " " +
                                                   pmtest::Quote(script) + " " + pmtest::Quote(dir / "args.json"));
        for (const std::string& text : c.present) EXPECT_THAT(markup, testing::HasSubstr(text));
        for (const std::string& text : c.absent) EXPECT_THAT(markup, testing::Not(testing::HasSubstr(text)));
    }
}

}  // namespace
