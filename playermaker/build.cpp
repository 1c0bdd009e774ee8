#include "playermaker/build.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "playermaker/prepare.h"
#include "playermaker/script.h"
#include "playermaker/templates.h"
#include "swf/swf.h"

namespace morvbrindle {

namespace {

constexpr const char* kFallbackFont = "arial.ttf";
// The press handler of a video decoration opens this address in a new window.
constexpr const char* kVideoOverlayLink = "about:blank";

byte Channel(int value) { return static_cast<byte>(value & 0xFF); }

// True when a file can be created in the folder of `path` (probed with a name of our own).
bool FolderWritable(const std::string& path) {
    const auto slash = path.rfind('/');
    std::string probe = (slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1)) + ".probe" +
                        std::to_string(getpid());
    int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    close(fd);
    unlink(probe.c_str());
    return true;
}

// The build context: the movie, what the build made (released newest first when the build
// ends, whatever its outcome) and the first error.
class PlayerBuild {
public:
    explicit PlayerBuild(KbnUIGroupOption& group) : group_(group), player_(*group.player) {}
    ~PlayerBuild() {
        for (auto it = cleanup_.rbegin(); it != cleanup_.rend(); ++it) (*it)();
    }
    PlayerBuild(const PlayerBuild&) = delete;
    PlayerBuild& operator=(const PlayerBuild&) = delete;

    int Run() {
        if (group_.generate->swfType == stProgressive) {
            BuildProgressive();
        } else {
            BuildEmbedded();
        }
        return error_;
    }

private:
    // Records the first failure; returns false so callers can `return Fail(...)`.
    bool Fail(int error) {
        if (error_ == 0) error_ = error;
        return false;
    }
    bool Failed() const { return error_ != 0; }

    template <typename T>
    T Keep(T object, void (*destroy)(T)) {
        if (object) cleanup_.push_back([object, destroy] { destroy(object); });
        return object;
    }

    // --- frame steps -------------------------------------------------------------------

    bool CreateMovie() {
        Ming_useSWFVersion(8);
        movie_ = Keep(newSWFMovieWithVersion(8), destroySWFMovie);
        if (!movie_) return Fail(kbnErrNoMemory);
        SWFMovie_setRate(movie_, player_.frameRate);
        float height = static_cast<float>(player_.height);
        if (group_.generate->swfType == stEmbedded && player_.hideAll == 0) height += player_.controlBarHeight;
        SWFMovie_setDimension(movie_, static_cast<float>(player_.width), height);
        SWFMovie_setBackground(movie_, Channel(player_.backgroundRed), Channel(player_.backgroundGreen),
                               Channel(player_.backgroundBlue));
        return true;
    }

    SWFPrebuiltClip ReadClip(const std::string& path) {
        SWFPrebuiltClip clip = Keep(newSWFPrebuiltClip_fromFile(path.c_str()), destroySWFPrebuiltClip);
        if (!clip) Fail(kbnErrBadClip);
        return clip;
    }

    // Places the template clip `rest` (below the template root) and names it; null on failure.
    SWFDisplayItem LoadClip(const std::string& rest, const char* name) {
        SWFPrebuiltClip clip = ReadClip(TemplatePath(rest));
        if (!clip) return nullptr;
        SWFDisplayItem item = SWFMovie_add(movie_, clip);
        if (item) SWFDisplayItem_setName(item, name);
        return item;
    }

    bool AddSkin() { return LoadClip("Players/" + std::string(FieldText(player_.skinFile)), "play_layer") != nullptr; }

    SWFDisplayItem AddEffect() {
        if (FieldText(player_.effectFile).empty()) return nullptr;
        return LoadClip("Effect/" + std::string(FieldText(player_.effectFile)), "effect_mc");
    }

    bool ReadScriptTemplate(const char* rest, std::string& text) {
        CipherFileResult result = ReadTemplate(rest);
        if (result.error != 0) return Fail(result.error);
        text = std::move(result.text);
        return true;
    }

    SWFAction Compile(const std::string& source) {
        SWFAction action = Keep(newSWFAction(source.c_str()), destroySWFAction);
        if (!action || SWFAction_getError(action)) {
            Fail(kbnErrBadScript);
            return nullptr;
        }
        return action;
    }

    bool AddScript(const std::string& source) {
        SWFAction action = Compile(source);
        if (!action) return false;
        SWFMovie_add(movie_, action);
        return true;
    }

    bool AddPlayerScript(const std::string& playlist) {
        std::string playerTemplate, callerTemplate;
        if (!ReadScriptTemplate("Players/templete.dat", playerTemplate)) return false;
        if (!ReadScriptTemplate("Players/caller.dat", callerTemplate)) return false;
        return AddScript(AssemblePlayerScript(playerTemplate, playlist, PlayerSetupScript(group_), callerTemplate));
    }

    // The preloader clip with its script in a frame of their own; null when there is none.
    SWFPrebuiltClip AddPreloaderFrame(SWFDisplayItem* item) {
        *item = nullptr;
        if (FieldText(player_.preloaderFile).empty()) return nullptr;
        SWFPrebuiltClip clip = ReadClip(TemplatePath("Preloader/" + std::string(FieldText(player_.preloaderFile))));
        if (!clip) return nullptr;
        *item = SWFMovie_add(movie_, clip);
        if (*item) SWFDisplayItem_setName(*item, "loading");
        std::string script;
        if (!ReadScriptTemplate("Preloader/templete.dat", script) || !AddScript(script)) return nullptr;
        SWFMovie_nextFrame(movie_);
        return clip;
    }

    bool Save() {
        SWFMovie_nextFrame(movie_);
        const std::string path(FieldText(group_.outputPath));
        if (SWFMovie_save(movie_, path.c_str()) >= 0) return true;
        // Stream data is read from the FLV while saving: when the folder takes files, the
        // movie's content failed.
        return Fail(FolderWritable(path) ? kbnErrBadFlv : kbnErrCannotWrite);
    }

    // --- display items -----------------------------------------------------------------

    SWFDisplayItem AddText(std::string_view fontFile, std::string_view text, int x, int y, int height, int red,
                           int green, int blue) {
        SWFText swfText = Keep(newSWFText(), destroySWFText);
        SWFFont font = Keep(newSWFFont_fromFile(std::string(fontFile).c_str()), destroySWFFont);
        if (!font) font = Keep(newSWFFont_fromFile(TemplatePath(kFallbackFont).c_str()), destroySWFFont);
        if (!swfText || !font) {
            Fail(kbnErrNoFont);
            return nullptr;
        }
        SWFText_setFont(swfText, font);
        SWFText_setColor(swfText, Channel(red), Channel(green), Channel(blue), 255);
        SWFText_setHeight(swfText, static_cast<float>(height));
        SWFText_addString(swfText, std::string(text).c_str());
        SWFDisplayItem item = SWFMovie_add(movie_, swfText);
        if (item) SWFDisplayItem_moveTo(item, x, y);
        return item;
    }

    // A button showing the picture (PNG or JPEG, told by its content) at x, y, scaled to the
    // target size, with an optional press action.
    SWFDisplayItem AddPictureButton(std::string_view file, int x, int y, int width, int height,
                                    const std::string& pressAction) {
        SWFInput input = Keep(newSWFInput_filename(std::string(file).c_str()), destroySWFInput);
        SWFBitmap bitmap = input ? Keep(newSWFBitmap_fromInput(input), destroySWFBitmap) : nullptr;
        if (!bitmap) {
            Fail(kbnErrBadPicture);
            return nullptr;
        }
        const int pictureWidth = SWFBitmap_getWidth(bitmap);
        const int pictureHeight = SWFBitmap_getHeight(bitmap);
        SWFShape shape = Keep(newSWFShape(), destroySWFShape);
        SWFButton button = Keep(newSWFButton(), destroySWFButton);
        SWFFill fill = Keep(SWFShape_addBitmapFill(shape, bitmap, SWFFILL_TILED_BITMAP), destroySWFFill);
        SWFShape_setLeftFill(shape, fill);
        SWFShape_setLine(shape, 0, 0, 0, 0, 0);
        DrawRectangle(shape, pictureWidth, pictureHeight);
        SWFButton_addCharacter(button, shape, SWFBUTTON_UP | SWFBUTTON_OVER | SWFBUTTON_DOWN | SWFBUTTON_HIT);
        if (!pressAction.empty()) {
            SWFAction action = Compile(pressAction);
            if (!action) return nullptr;
            SWFButton_addAction(button, action, SWFBUTTON_MOUSEDOWN);
        }
        SWFDisplayItem item = SWFMovie_add(movie_, button);
        if (!item) return nullptr;
        SWFDisplayItem_moveTo(item, x, y);
        if (width != pictureWidth || height != pictureHeight) {
            SWFDisplayItem_scaleTo(item, static_cast<double>(width) / pictureWidth,
                                   static_cast<double>(height) / pictureHeight);
        }
        return item;
    }

    SWFDisplayItem AddColourCard(int width, int height, int red, int green, int blue) {
        SWFShape shape = Keep(newSWFShape(), destroySWFShape);
        SWFButton button = Keep(newSWFButton(), destroySWFButton);
        SWFFill fill = Keep(SWFShape_addSolidFill(shape, Channel(red), Channel(green), Channel(blue), 255),
                            destroySWFFill);
        SWFShape_setLeftFill(shape, fill);
        SWFShape_setLine(shape, 0, Channel(red), Channel(green), Channel(blue), 255);
        DrawRectangle(shape, width, height);
        SWFButton_addCharacter(button, shape, SWFBUTTON_UP | SWFBUTTON_OVER | SWFBUTTON_DOWN | SWFBUTTON_HIT);
        return SWFMovie_add(movie_, button);
    }

    static void DrawRectangle(SWFShape shape, int width, int height) {
        SWFShape_drawLine(shape, width, 0);
        SWFShape_drawLine(shape, 0, height);
        SWFShape_drawLine(shape, -width, 0);
        SWFShape_drawLine(shape, 0, -height);
    }

    static void Remove(SWFDisplayItem item) {
        if (item) SWFDisplayItem_remove(item);
    }

    // --- credits and decoration --------------------------------------------------------

    // The credit's card or picture, its text and the effect for its duration; the items
    // are removed at the end (gone from the frame the caller closes next).
    bool AddCreditFrames(const KbnUIInsertAdOption& credit) {
        const std::string_view image = FieldText(credit.image);
        const std::string_view text = FieldText(credit.text);
        if (image.empty() && text.empty()) return true;
        SWFDisplayItem background =
            image.empty() ? AddColourCard(player_.width, player_.height, credit.cardRed, credit.cardGreen, credit.cardBlue)
                          : AddPictureButton(image, 0, 0, player_.width, player_.height, {});
        if (Failed()) return false;
        SWFDisplayItem textItem = nullptr;
        if (!text.empty()) {
            textItem = AddText(FieldText(credit.fontFile), text, credit.x, credit.y, credit.fontSize, credit.textRed,
                               credit.textGreen, credit.textBlue);
            if (Failed()) return false;
        }
        SWFDisplayItem effect = AddEffect();
        if (Failed()) return false;
        const int frames = TruncToInt(player_.frameRate * static_cast<float>(credit.duration));
        for (int i = 0; i < frames; ++i) SWFMovie_nextFrame(movie_);
        Remove(background);
        Remove(textItem);
        Remove(effect);
        return true;
    }

    // The decoration of an embedded player; null when there is none (or on failure).
    SWFDisplayItem AddOverlay(const KbnUIOverlayADOption& overlay) {
        switch (overlay.kind) {
            case okImage:
                if (FieldText(overlay.file).empty()) return nullptr;
                return AddPictureButton(FieldText(overlay.file), overlay.x, overlay.y, overlay.width, overlay.height,
                                        OpenLinkAction(FieldText(overlay.clickUrl), FieldText(overlay.target)));
            case okText:
                if (FieldText(overlay.text).empty()) return nullptr;
                return AddText(FieldText(overlay.fontFile), FieldText(overlay.text), overlay.x, overlay.y,
                               overlay.fontSize, overlay.red, overlay.green, overlay.blue);
            case okVideo:
                return AddVideoOverlay(FieldText(overlay.file));
            default:
                return nullptr;
        }
    }

    SWFDisplayItem AddVideoOverlay(std::string_view file) {
        SWFVideoStream stream = OpenVideo(file);
        if (!stream) return nullptr;
        SWFMovieClip clip = Keep(newSWFMovieClip(), destroySWFMovieClip);
        SWFMovieClip_add(clip, stream);
        SWFAction press = Compile(std::string("this.onPress = function() {\n\tgetURL(\"") + kVideoOverlayLink +
                                  "\", \"_blank\");\n};\n");
        if (!press) return nullptr;
        SWFMovieClip_add(clip, press);
        for (int i = SWFVideoStream_getNumFrames(stream); i > 0; --i) SWFMovieClip_nextFrame(clip);
        SWFDisplayItem item = SWFMovie_add(movie_, clip);
        if (!item) return nullptr;
        SWFDisplayItem_scaleTo(item, 0.1, 0.1);
        SWFDisplayItem_moveTo(item, 200, 200);
        return item;
    }

    SWFVideoStream OpenVideo(std::string_view file) {
        SWFInput input = Keep(newSWFInput_filename(std::string(file).c_str()), destroySWFInput);
        SWFVideoStream stream = input ? Keep(newSWFVideoStream_fromInput(input), destroySWFVideoStream) : nullptr;
        if (!stream) {
            std::fputs("Could not create SWFVideoStream from file\n", stdout);
            std::fflush(stdout);
            Fail(kbnErrNoVideoStream);
        }
        return stream;
    }

    // --- the two players ---------------------------------------------------------------

    // The video of the first media record with its sound, fitted into the player, under the
    // decoration and the effect; one movie frame per video frame.
    bool AddEmbeddedVideo(const KbnUIMediaOption& media) {
        const std::string flv(FieldText(media.flvPath));
        SWFInput soundInput = Keep(newSWFInput_filename(flv.c_str()), destroySWFInput);
        SWFSoundStream sound = soundInput ? Keep(newSWFSoundStream_fromInput(soundInput), destroySWFSoundStream) : nullptr;
        if (!sound) {
            std::fputs("Could not create SWFSoundStream\n", stderr);
            return Fail(kbnErrNoSoundStream);
        }
        SWFMovie_setSoundStream(movie_, sound);
        SWFVideoStream video = OpenVideo(flv);
        if (!video) return false;

        const bool sized = media.videoWidth > 0 && media.videoHeight > 0;
        SWFVideoStream_setDimension(video, sized ? media.videoWidth : player_.width,
                                    sized ? media.videoHeight : player_.height);
        int frames = SWFVideoStream_getNumFrames(video);
        if (group_.isPreview) frames = std::min(frames, TruncToInt(player_.frameRate * 4.0));
        SWFDisplayItem videoItem = SWFMovie_add(movie_, video);
        if (videoItem && sized && (media.videoWidth != player_.width || media.videoHeight != player_.height)) {
            FitVideo(videoItem, media.videoWidth, media.videoHeight);
        }

        SWFDisplayItem overlayItem = nullptr;
        int removeAfter = 0;
        if (group_.overlay) {
            overlayItem = AddOverlay(*group_.overlay);
            if (Failed()) return false;
            removeAfter = TruncToInt(static_cast<float>(group_.overlay->endTime) * player_.frameRate);
        }
        SWFDisplayItem effect = AddEffect();
        if (Failed()) return false;
        for (int i = 0; i < frames; ++i) {
            if (removeAfter > 0 && overlayItem && i > removeAfter) {
                SWFDisplayItem_remove(overlayItem);
                overlayItem = nullptr;
            }
            SWFMovie_nextFrame(movie_);
        }
        Remove(videoItem);
        Remove(overlayItem);
        Remove(effect);
        return true;
    }

    // Letterbox: the whole picture visible, centred on the axis with room to spare.
    void FitVideo(SWFDisplayItem item, int videoWidth, int videoHeight) {
        const double sx = static_cast<double>(player_.width) / videoWidth;
        const double sy = static_cast<double>(player_.height) / videoHeight;
        if (sx <= sy) {
            SWFDisplayItem_scaleTo(item, sx, sx);
            if (sx != sy) SWFDisplayItem_moveTo(item, 0, std::fabs(player_.height - sx * videoHeight) / 2);
        } else {
            SWFDisplayItem_scaleTo(item, sy, sy);
            SWFDisplayItem_moveTo(item, std::fabs(player_.width - sy * videoWidth) / 2, 0);
        }
    }

    void BuildEmbedded() {
        if (!CreateMovie()) return;
        SWFDisplayItem preloader;
        AddPreloaderFrame(&preloader);
        if (Failed() || !AddSkin()) return;
        if (!AddPlayerScript(EmbeddedPlaylistScript(player_.frameRate))) return;
        if (group_.headCredit) {
            if (!AddCreditFrames(*group_.headCredit)) return;
            SWFMovie_nextFrame(movie_);
        }
        if (!AddEmbeddedVideo(*group_.media[0])) return;
        SWFMovie_nextFrame(movie_);
        if (group_.tailCredit && !AddCreditFrames(*group_.tailCredit)) return;
        Save();
    }

    void BuildProgressive() {
        if (!CreateMovie()) return;
        SWFDisplayItem preloaderItem;
        SWFPrebuiltClip preloader = AddPreloaderFrame(&preloaderItem);
        if (Failed()) return;
        Remove(preloaderItem);
        for (const char* name : {"movie_mc", "slider_mc"}) {
            SWFMovieClip clip = Keep(newSWFMovieClip(), destroySWFMovieClip);
            SWFDisplayItem item = SWFMovie_add(movie_, clip);
            if (item) SWFDisplayItem_setName(item, name);
        }
        if (!AddSkin()) return;
        if (!AddPlayerScript(ProgressivePlaylistScript(group_))) return;
        AddEffect();
        if (Failed()) return;
        if (preloader) {
            SWFDisplayItem again = SWFMovie_add(movie_, preloader);
            if (again) SWFDisplayItem_setName(again, "loading");
        }
        Save();
    }

    KbnUIGroupOption& group_;
    KbnUIPlayerOption& player_;
    SWFMovie movie_ = nullptr;
    std::vector<std::function<void()>> cleanup_;
    int error_ = 0;
};

}  // namespace

int BuildPlayer(KbnUIGroupOption* group) {
    if (!group) return kbnErrBadOptions;
    if (const int error = CheckOptions(*group)) return error;
    PrepareOptions(*group);
    return PlayerBuild(*group).Run();
}

}  // namespace morvbrindle
