#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "jobmodel/customsetting.h"
#include "jobmodel/fonts.h"
#include "jobmodel/playerbridge.h"
#include "support/tempdir.h"

namespace jobmodel {

namespace {

namespace fs = std::filesystem;

struct Group {
    KbnUIGroupOption* g;
    explicit Group(KbnUIGroupOption* group) : g(group) {}
    ~Group() { freeKbnUIGroupOption(&g); }
    KbnUIGroupOption* operator->() const { return g; }
};

CustomSetting Setting(int swfType) {
    CustomSetting cs;
    InitCustomSetting(cs);
    cs.SwfType = swfType;
    cs.Width = 320;
    cs.Height = 240;
    cs.FrameRate = 25;
    std::strcpy(cs.FileExtension, "flv");
    return cs;
}

TEST(PlayerBridge, PlayerRecordFollowsTheOptionRecord) {
    const struct {
        const char* skin;
        const char* effect;
        const char* preloader;
        int swfType;
        int hideAll;
        const char* skinFile;
        const char* effectFile;
        const char* preloaderFile;
        int expectHideAll;
        int expectPreNext;
    } cases[] = {
        {"Christmas_h40", "None", "Ring", stProgressive, 0, "Christmas_h40.swf", "", "Ring.swf", 0, 1},
        {"Christmas_h40", "Snow", "Ring", stEmbedded, 0, "Christmas_h40.swf", "Snow.swf", "", 0, 1},
        {"None", "None", "None", stProgressive, 0, "None.swf", "", "", 1, 1},
        {"Dark_h30", "None", "None", stProgressive, 1, "Dark_h30.swf", "", "", 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.skin);
        CustomSetting cs = Setting(c.swfType);
        std::strcpy(cs.PlayerSkinPath, c.skin);
        std::strcpy(cs.EffectSkinPath, c.effect);
        std::strcpy(cs.PreloaderSkinPath, c.preloader);
        cs.IsHideAll = c.hideAll;
        cs.BackgrounColor = RGBColor{1, 2, 3};
        Group g(MakeItemPlayerGroup(cs, "/out/job/Clip.flv", "Clip", 60));
        ASSERT_NE(g.g, nullptr);
        EXPECT_STREQ(g->outputPath, "/out/job/Clip.swf");
        EXPECT_EQ(g->generate->swfType, c.swfType);
        EXPECT_EQ(g->generate->playlistInScript, 1);
        EXPECT_STREQ(g->player->skinFile, c.skinFile);
        EXPECT_STREQ(g->player->effectFile, c.effectFile);
        EXPECT_STREQ(g->player->preloaderFile, c.preloaderFile);
        EXPECT_EQ(g->player->hideAll, c.expectHideAll);
        EXPECT_EQ(g->player->hidePreNextBtn, c.expectPreNext);  // hide flags only without "hide all"
        EXPECT_EQ(g->player->backgroundBlue, 3);
        EXPECT_EQ(g->player->width, 320);
        EXPECT_EQ(g->isPreview, 0);
    }
}

TEST(PlayerBridge, CreditsOnlyForEmbeddedPlayersCentredOnTheOutput) {
    CustomSetting cs = Setting(stEmbedded);
    cs.IsCreditHead = 1;
    cs.Head_fontSize = 12;
    cs.dscale = 1.5;
    cs.Head_fontY = 7;
    cs.Head_duration = 3;
    std::strcpy(cs.Head_textContent, "Hello");
    {
        Group g(MakeItemPlayerGroup(cs, "/out/Clip.flv", "Clip", 60));
        ASSERT_NE(g->headCredit, nullptr);
        EXPECT_EQ(g->tailCredit, nullptr);
        EXPECT_EQ(g->headCredit->fontSize, 18);
        EXPECT_EQ(g->headCredit->y, 111);  // (240 - 18) / 2
        EXPECT_EQ(g->headCredit->duration, 3);
        EXPECT_STREQ(g->headCredit->text, "Hello");
    }
    cs.Head_fontSize = 300;
    cs.dscale = 1;
    {
        Group g(MakeItemPlayerGroup(cs, "/out/Clip.flv", "Clip", 60));
        EXPECT_EQ(g->headCredit->y, 7);  // taller than the picture: the stored position
    }
    cs.SwfType = stProgressive;
    cs.IsCreditTail = 1;
    Group g(MakeItemPlayerGroup(cs, "/out/Clip.flv", "Clip", 60));
    EXPECT_EQ(g->headCredit, nullptr);
    EXPECT_EQ(g->tailCredit, nullptr);
}

TEST(PlayerBridge, DecorationOnlyWhenSwitchedOnAndItsPictureGoesBesideTheProgressivePlayer) {
    testsupport::TempDir dir;
    std::string picture = dir.Write("pictures/logo.png", "png").string();
    fs::create_directories(dir.path() / "job");
    const std::string output = dir.str() + "/job/Clip(1).flv";

    CustomSetting cs = Setting(stProgressive);
    cs.FileType = okImage;
    std::strcpy(cs.Dec_imagePath, picture.c_str());
    cs.Dec_X = 10;
    cs.dscale_X = 0.55;
    {
        Group g(MakeItemPlayerGroup(cs, output, "Clip", 60));
        EXPECT_EQ(g->overlay, nullptr);  // decoration off
        EXPECT_FALSE(fs::exists(dir.path() / "job" / "logo.png"));
    }
    cs.IsDecorate = 1;
    Group g(MakeItemPlayerGroup(cs, output, "Clip", 60));
    ASSERT_NE(g->overlay, nullptr);
    EXPECT_STREQ(g->overlay->file, "logo.png");
    EXPECT_TRUE(fs::exists(dir.path() / "job" / "logo.png"));
    EXPECT_EQ(g->overlay->x, 5);
    EXPECT_EQ(g->overlay->endTime, 60);
    EXPECT_STREQ(g->overlay->target, "_blank");
    EXPECT_STREQ(g->overlay->clickUrl, "http://");
    // The player plays the file as written, by its name beside the player.
    ASSERT_EQ(g->mediaCount, 1);
    EXPECT_STREQ(g->media[0]->flvPath, "Clip(1).flv");
    EXPECT_STREQ(g->media[0]->thumbnailPath, "Clip(1).jpg");
    EXPECT_STREQ(g->media[0]->title, "Clip");
    EXPECT_STREQ(g->outputPath, (dir.str() + "/job/Clip(1).swf").c_str());
}

// A decoration picture whose name is taken in the job folder (here by the job's own
// thumbnail) is copied under a name of its own, and the overlay names that copy.
TEST(PlayerBridge, DecorationPictureNeverReplacesAFileOfTheJob) {
    testsupport::TempDir dir;
    const std::string picture = dir.Write("pictures/Clip.jpg", "decoration").string();
    dir.Write("job/Clip.jpg", "thumbnail");
    dir.Write("job/Clip(1).jpg", "an earlier one");
    CustomSetting cs = Setting(stProgressive);
    cs.IsDecorate = 1;
    cs.FileType = okImage;
    std::strcpy(cs.Dec_imagePath, picture.c_str());
    Group g(MakeItemPlayerGroup(cs, dir.str() + "/job/Clip.flv", "Clip", 60));
    ASSERT_NE(g->overlay, nullptr);
    EXPECT_STREQ(g->overlay->file, "Clip(2).jpg");
    auto read = [&](const char* name) {
        std::ifstream in(dir.path() / "job" / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(read("Clip.jpg"), "thumbnail");
    EXPECT_EQ(read("Clip(1).jpg"), "an earlier one");
    EXPECT_EQ(read("Clip(2).jpg"), "decoration");
}

TEST(PlayerBridge, EmbeddedMediaUseTheRealPathAndExtension) {
    CustomSetting cs = Setting(stEmbedded);
    Group g(MakeItemPlayerGroup(cs, "/out/job/Clip.mp4", "Clip", 60));
    ASSERT_EQ(g->mediaCount, 1);
    EXPECT_STREQ(g->media[0]->flvPath, "/out/job/Clip.mp4");
    EXPECT_STREQ(g->media[0]->thumbnailPath, "/out/job/Clip.jpg");
    EXPECT_EQ(g->media[0]->videoWidth, 320);
}

TEST(PlayerBridge, SlideShowGroupGetsItsMembersAndNoMoreThanItHolds) {
    CustomSetting cs = Setting(stProgressive);
    cs.IsDecorate = 1;
    Group g(createKbnUIGroupOption(nullptr));
    ASSERT_EQ(FillGroupPlayer(cs, "/out/job/Show", g.g), g.g);
    EXPECT_STREQ(g->outputPath, "/out/job/Show.swf");
    EXPECT_EQ(g->overlay->endTime, 0);
    EXPECT_EQ(g->mediaCount, 0);
    for (int i = 0; i < KBN_MAX_MEDIA; ++i) ASSERT_EQ(AddGroupMedia(cs, "/out/job/m.flv", "m", g.g), g.g);
    EXPECT_EQ(AddGroupMedia(cs, "/out/job/m.flv", "m", g.g), nullptr);
    EXPECT_EQ(g->mediaCount, KBN_MAX_MEDIA);
}

TEST(PlayerBridge, PreviewUsesTheSamplesAndScalesCreditsToTheBrowser) {
    testsupport::TempDir program;
    program.Write("templates/velmoraQent.flv", "flv");
    program.Write("templates/velmoraQent.jpg", "jpg");
    fs::create_directories(program.path() / "temp");
    const std::string folder = program.str() + "/";

    CustomSetting cs = Setting(stEmbedded);
    cs.Width = 640;
    cs.Height = 480;
    cs.IsCreditHead = 1;
    cs.Head_fontSize = 9;
    cs.Head_fontY = 13;
    cs.IsDecorate = 1;
    {
        Group g(MakePreviewPlayerGroup(cs, folder, 320, 240));
        EXPECT_EQ(PreviewFolder(folder).rfind(folder + "temp/preview-", 0), 0u) << PreviewFolder(folder);
        EXPECT_STREQ(g->outputPath, (PreviewFolder(folder) + "velmora.swf").c_str());
        EXPECT_EQ(PreviewPlayerPath(folder), PreviewFolder(folder) + "velmora.swf");
        EXPECT_EQ(g->isPreview, 1);
        EXPECT_EQ(g->headCredit->fontSize, 36);  // four times: the player's area to the browser's
        EXPECT_EQ(g->headCredit->y, 13);
        EXPECT_EQ(g->overlay, nullptr);  // never a decoration in the preview
        EXPECT_STREQ(g->media[0]->flvPath, (folder + "templates/velmoraQent.flv").c_str());
        EXPECT_EQ(g->media[0]->videoWidth, 320);
    }
    cs.SwfType = stProgressive;
    std::ofstream(PreviewFolder(folder) + "velmoraQent.jpg") << "kept";
    Group g(MakePreviewPlayerGroup(cs, folder, 0, 0));  // a browser of no size scales nothing
    EXPECT_STREQ(g->media[0]->flvPath, "velmoraQent.flv");
    EXPECT_TRUE(fs::exists(PreviewFolder(folder) + "velmoraQent.flv"));
    std::ifstream kept(PreviewFolder(folder) + "velmoraQent.jpg");
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "kept");  // an existing copy stays
}

// A link planted under a sample's name in the preview's folder is never written through,
// also when it points nowhere yet.
TEST(PlayerBridge, PreviewSamplesNeverFollowAPlantedLink) {
    testsupport::TempDir program;
    program.Write("templates/velmoraQent.flv", "flv");
    program.Write("templates/velmoraQent.jpg", "jpg");
    fs::create_directories(program.path() / "temp");
    const fs::path victim = program.path() / "victim.flv";
    const std::string preview = PreviewFolder(program.str() + "/");
    fs::create_symlink(victim, preview + "velmoraQent.flv");
    Group g(MakePreviewPlayerGroup(Setting(stProgressive), program.str() + "/", 320, 240));
    EXPECT_FALSE(fs::exists(victim));
    EXPECT_TRUE(fs::is_regular_file(preview + "velmoraQent.jpg"));
}

// A program folder without temp/ gets one before the preview is built, so the progressive
// samples are copied and the build has its folder.
TEST(PlayerBridge, PreviewMakesAMissingTempFolder) {
    testsupport::TempDir program;
    program.Write("templates/velmoraQent.flv", "flv");
    program.Write("templates/velmoraQent.jpg", "jpg");
    ASSERT_FALSE(fs::exists(program.path() / "temp"));
    Group g(MakePreviewPlayerGroup(Setting(stProgressive), program.str() + "/", 320, 240));
    EXPECT_TRUE(fs::is_directory(program.path() / "temp"));
    EXPECT_TRUE(fs::is_regular_file(PreviewFolder(program.str() + "/") + "velmoraQent.flv"));
}

// One run of the program in a process of its own: it builds its preview in the program
// folder, reports "<result> <hash of the file> <path>" and, once told, ends the way the
// program does (its static objects destroyed).
struct PreviewRun {
    pid_t pid = -1;
    int report = -1, go = -1;
    int result = -1;
    std::size_t hash = 0;
    std::string path;

    PreviewRun(const std::string& program, int width) {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(up[0]);
            close(down[1]);
            setFilePrefixPath(program.c_str());
            CustomSetting cs = Setting(stEmbedded);
            cs.Width = width;
            cs.Height = 480;
            int built = GeneratePreviewPlayer(cs, program, 320, 240);
            std::string mine = PreviewPlayerPath(program);
            std::string line = std::to_string(built) + " " + std::to_string(Hash(mine)) + " " + mine + "\n";
            (void)!write(up[1], line.data(), line.size());
            char c;
            (void)!read(down[0], &c, 1);
            std::exit(0);
        }
        close(up[1]);
        close(down[0]);
        report = up[0];
        go = down[1];
        std::string line;
        char c;
        while (read(report, &c, 1) == 1 && c != '\n') line += c;
        std::istringstream in(line);
        in >> result >> hash;
        std::getline(in >> std::ws, path);
    }
    // Tells the run to end; its exit status.
    int End() {
        // A byte, not only the end of the pipe: a run started later holds a copy of it.
        if (go >= 0) {
            (void)!write(go, "x", 1);
            close(go);
        }
        go = -1;
        int status = -1;
        if (pid > 0) waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }
    ~PreviewRun() {
        End();
        if (report >= 0) close(report);
    }
    static std::size_t Hash(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::hash<std::string>{}(std::string((std::istreambuf_iterator<char>(in)), {}));
    }
};

// Two programs at once: each builds its preview in a folder of its own, the second does not
// replace the first's file, each folder is closed to others and goes with its program; the
// folder left by a run that was killed goes too, that of a live one stays.
TEST(PlayerBridge, TwoRunsAtOnceKeepTheirOwnPreviewsAndTidyUpAtExit) {
    const char* built = std::getenv("LUMACAST_PROGRAM_DIR");
    ASSERT_NE(built, nullptr);
    const std::string program = fs::path(built).string() + "/";
    fs::create_directories(program + "temp");
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const fs::path killed = program + "temp/preview-" + std::to_string(gone) + "-ended";
    const fs::path alive = program + "temp/preview-" + std::to_string(getpid()) + "-alive";
    for (const fs::path& folder : {killed, alive}) {
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
        std::ofstream(folder / "velmora.swf") << "FWS";
    }

    PreviewRun first(program, 640);
    PreviewRun second(program, 400);
    ASSERT_EQ(first.result, 0) << first.path;
    ASSERT_EQ(second.result, 0) << second.path;
    EXPECT_NE(first.path, second.path);
    EXPECT_EQ(PreviewRun::Hash(first.path), first.hash) << "the second run replaced the first's preview";
    EXPECT_EQ(PreviewRun::Hash(second.path), second.hash);
    for (const PreviewRun* run : {&first, &second}) {
        fs::path folder = fs::path(run->path).parent_path();
        EXPECT_EQ(folder.filename().string().rfind("preview-" + std::to_string(run->pid) + "-", 0), 0u) << folder;
        EXPECT_EQ(folder.parent_path(), fs::path(program + "temp"));
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all) << folder;
    }
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(alive / "velmora.swf"));

    const fs::path firstFolder = fs::path(first.path).parent_path(), secondFolder = fs::path(second.path).parent_path();
    EXPECT_EQ(first.End(), 0);
    EXPECT_FALSE(fs::exists(firstFolder));
    EXPECT_TRUE(fs::exists(second.path));
    EXPECT_EQ(second.End(), 0);
    EXPECT_FALSE(fs::exists(secondFolder));
    fs::remove_all(alive);
    fs::remove_all(killed);
}

TEST(Fonts, FacesAreFoundExactlyOrByTheFirstNameThatHoldsThem) {
    InstalledFontNames.clear();
    ListFontNames(InstalledFontNames);
    ASSERT_FALSE(InstalledFontNames.empty()) << "no TrueType fonts installed";
    std::string exact = FindFontFile("DejaVu Sans (TrueType)");
    EXPECT_NE(exact.find("DejaVuSans.ttf"), std::string::npos) << exact;
    std::string partial = FindFontFile("DejaVu Sans");
    EXPECT_EQ(partial, exact);  // "DejaVu Sans (TrueType)" sorts first of the names holding it
    EXPECT_EQ(FindFontFile("No Such Face"), "");
    EXPECT_EQ(FindFontFile(""), "");
    EXPECT_EQ(FindFontFile("dejavu sans"), "");  // letter case counts
}

}  // namespace

}  // namespace jobmodel
