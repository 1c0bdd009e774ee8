#include "playermaker/world.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <tuple>

#include "playermaker/cipher.h"
#include "support/process.h"
#include "swf/swf.h"

namespace pmtest {

namespace {

const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

const char* kCaller = "initPlayer();\ninitPlayList();\n";
const char* kPreloaderScript = "trace(\"preloader script\");\n";

void Encipher(const std::string& text, const std::string& path) {
    const std::string plain = path + ".plain";
    WriteFile(plain, text);
    if (generateCryptFile(0, std::string(morvbrindle::kTemplateKey).c_str(), plain.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot encipher " + path);
    }
    std::filesystem::remove(plain);
}

// A one-frame clip: an optional rectangle of colour and an optional script.
void MakeClip(const std::string& path, const char* script, int x, int y, int w, int h, int r, int g, int b) {
    SWFMovie movie = newSWFMovieWithVersion(8);
    SWFMovie_setDimension(movie, 320, 280);
    SWFShape shape = nullptr;
    SWFFill fill = nullptr;
    if (w > 0) {
        shape = newSWFShape();
        fill = SWFShape_addSolidFill(shape, r, g, b, 255);
        SWFShape_setLeftFill(shape, fill);
        SWFShape_movePenTo(shape, x, y);
        SWFShape_drawLine(shape, w, 0);
        SWFShape_drawLine(shape, 0, h);
        SWFShape_drawLine(shape, -w, 0);
        SWFShape_drawLine(shape, 0, -h);
        SWFMovie_add(movie, shape);
    }
    SWFAction action = script ? newSWFAction(script) : nullptr;
    if (action) SWFMovie_add(movie, action);
    SWFMovie_nextFrame(movie);
    const int written = SWFMovie_save(movie, path.c_str());
    destroySWFAction(action);
    destroySWFFill(fill);
    destroySWFShape(shape);
    destroySWFMovie(movie);
    if (written < 0) throw std::runtime_error("cannot write clip " + path + ": " + SWF_getLastError());
}

void Ffmpeg(const std::string& args, const std::string& out) {
    if (!Run("ffmpeg -nostdin -v error -y " + args + " " + Quote(out))) throw std::runtime_error("ffmpeg failed: " + out);
}

}  // namespace

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Capture(const std::string& command) { return testsupport::Capture(command); }

std::string Quote(const std::string& path) { return testsupport::ShellQuote(path); }

std::string World::PlayerTemplate() {
    return R"AS(var playTeam = new Array();
function initPlayerStage(kind, w, h) {
	trace("initPlayerStage " + kind + " " + w + " " + h);
}
function initPlayerComponent(a, b, c, d, e, f, g, h, i) {
	trace("initPlayerComponent " + a + " " + b + " " + c + " " + d + " " + e + " " + f + " " + g + " " + h + " " + i);
}
function initAutoHide(mouse, skin, slider, delay) {
	trace("initAutoHide " + mouse + " " + skin + " " + slider + " " + delay);
}
function add_play(title, url, thumb, link, target) {
	playTeam.push(new Array(title, url, thumb, link, target));
	trace("add_play " + title + "|" + url + "|" + thumb + "|" + link + "|" + target);
}
function add_advert(n, from, to, type, content, link, target, option, a, b, c, x, y, w, h, size, font, colour) {
	trace("add_advert " + n + "|" + from + "|" + to + "|" + type + "|" + content + "|" + link + "|" + target + "|" + option + "|" + x + "|" + y + "|" + w + "|" + h + "|" + size + "|" + font + "|" + colour);
}
function loadxml(file) {
	trace("loadxml " + file);
}
function init() {
	trace("init framerate=" + framerate + " VideoUrl=" + VideoUrl + " maxPlayTime=" + maxPlayTime + " BufferTime=" + BufferTime + " autoplay=" + autoplay);
}
)AS";
}

std::string World::MakeRoot(const std::string& name, bool withTemplates, bool withFont,
                            const std::string& playerTemplate) const {
    namespace fs = std::filesystem;
    const fs::path root = scratch_.path() / name;
    for (const char* sub : {"templates/Players", "templates/Effect", "templates/Preloader"}) {
        fs::create_directories(root / sub);
    }
    const fs::path t = root / "templates";
    if (withTemplates) {
        Encipher(playerTemplate, (t / "Players/templete.dat").string());
        Encipher(kCaller, (t / "Players/caller.dat").string());
        Encipher(kPreloaderScript, (t / "Preloader/templete.dat").string());
    }
    if (withFont) fs::copy_file(kFont, t / "arial.ttf", fs::copy_options::overwrite_existing);
    // The skin paints its 40-pixel control bar below a 320 x 240 video.
    MakeClip((t / "Players/Stub_h40.swf").string(), "trace(\"skin\");", 0, 240, 320, 40, 60, 60, 60);
    MakeClip((t / "Effect/Fx.swf").string(), "trace(\"effect\");", 0, 0, 0, 0, 0, 0, 0);
    MakeClip((t / "Preloader/Pre.swf").string(), "trace(\"preloader clip\");", 0, 0, 0, 0, 0, 0, 0);
    WriteFile((t / "Players/NotAClip.swf").string(), "this is not a movie");
    return root.string();
}

// Media and the sound template root are made once per build folder (ffmpeg takes a few
// seconds) and shared by every test process; the name changes with the stub templates.
World::World() {
    namespace fs = std::filesystem;
    const std::size_t version = std::hash<std::string>{}(PlayerTemplate() + kCaller + kPreloaderScript + "media 1");
    const fs::path cache = fs::path(BuildDir()) / "tests" / ("playermaker-world-" + std::to_string(version));
    if (!fs::exists(cache / "complete")) {
        const fs::path fresh = scratch_.path() / "fresh";
        fs::create_directories(fresh);
        MakeMedia(fresh.string());
        const std::string app = MakeRoot("app", true, true, PlayerTemplate());
        fs::rename(app, fresh / "app");
        WriteFile((fresh / "complete").string(), "");
        std::error_code ec;
        fs::create_directories(cache.parent_path(), ec);
        fs::rename(fresh, cache, ec);  // another process may have won the race: use its copy
        if (!fs::exists(cache / "complete")) throw std::runtime_error("cannot keep " + cache.string());
    }
    media_ = cache.string();
    root_ = (cache / "app").string();
    setFilePrefixPath(root_.c_str());
}

void World::MakeMedia(const std::string& dir) {
    const auto path = [&](const char* name) { return dir + "/" + name; };
    const std::string lame = "-c:a libmp3lame -ar 44100 -b:a 64k";
    // Green picture, a 440 Hz tone: 5 s at 10 frames a second.
    Ffmpeg("-f lavfi -i color=c=0x00ff00:size=160x120:rate=10 -f lavfi -i sine=frequency=440:sample_rate=44100 "
           "-t 5 -c:v flv " + lame, path("green10.flv"));
    // 12 s at 25 frames a second (longer than a preview).
    Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=sample_rate=44100 -t 12 -c:v flv " + lame,
           path("test25.flv"));
    Ffmpeg("-f lavfi -i color=c=red:size=160x120:rate=10 -t 1 -c:v flv -an", path("silent.flv"));
    Ffmpeg("-f lavfi -i sine=sample_rate=44100 -t 1 -vn " + lame, path("soundonly.flv"));
    Ffmpeg("-f lavfi -i color=c=red:size=160x120:rate=10 -f lavfi -i sine=sample_rate=44100 -t 1 -c:v flv -c:a aac",
           path("aac.flv"));
    const std::string whole = ReadFile(path("green10.flv"));
    WriteFile(path("truncated.flv"), whole.substr(0, whole.size() / 2));
    WriteFile(path("garbage.flv"), "FLV but not really");
    for (const auto& [file, colour, size] : {std::tuple{"magenta.png", "#ff00ff", "40x20"},
                                             std::tuple{"yellow.jpg", "#ffff00", "64x48"},
                                             std::tuple{"cyan-jpeg.png", "#00ffff", "64x48"}}) {
        std::string out = path(file);
        if (std::string(file) == "cyan-jpeg.png") out = "jpg:" + out;  // a JPEG under a .png name
        if (!Run("convert -size " + std::string(size) + " xc:" + colour + " " + Quote(out))) {
            throw std::runtime_error(std::string("convert failed: ") + file);
        }
    }
    WriteFile(path("text.png"), "plain text, not a picture");
}

World& World::Get() {
    static World world;
    setFilePrefixPath(world.root_.c_str());
    return world;
}

Group::Group(const std::string& output, const std::string& flv, float rate) {
    createKbnUIGroupOption(&g);
    Set(g->outputPath, output);
    createKbnUIGenerateOption(&g->generate);
    g->generate->swfType = stEmbedded;
    createKbnUIPlayerOption(&g->player);
    player().width = 320;
    player().height = 240;
    player().frameRate = rate;
    Set(player().skinFile, "Stub_h40.swf");
    player().backgroundBlue = 255;
    if (!flv.empty()) AddMedia(flv, "Clip");
}

KbnUIInsertAdOption& Group::AddCredit(bool head) {
    KbnUIInsertAdOption*& slot = head ? g->headCredit : g->tailCredit;
    createKbnUIInsertAdOption(&slot);
    Set(slot->fontFile, World::Get().root() + "/templates/arial.ttf");
    slot->fontSize = 32;
    return *slot;
}

KbnUIOverlayADOption& Group::AddOverlay(int kind, int x, int y, int width, int height) {
    createKbnUIOverlayADOption(&g->overlay);
    KbnUIOverlayADOption& o = *g->overlay;
    o.kind = kind;
    o.x = x;
    o.y = y;
    o.width = width;
    o.height = height;
    return o;
}

KbnUIMediaOption& Group::AddMedia(const std::string& flv, const std::string& title) {
    KbnUIMediaOption* media = nullptr;
    createKbnUIMediaOption(g, &media);
    Set(media->flvPath, flv);
    Set(media->title, title);
    return *media;
}

}  // namespace pmtest
