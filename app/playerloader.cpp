// The preview player's functions as the program calls them: libmorvplayer.so is loaded when
// the player is first needed (see libraryloader.h), not at start.
//
// At start the main window sets the player up for its preview panel, which stays hidden
// until a row is played: what is set before the library is loaded (host table, edit mode,
// callbacks, gain) is kept and passed on at loading, and the first window asked for is made
// then too, and adopted by the host form as AttachPlayer does. Any later window asked for
// loads the library at once, so that the window showing it has its idle picture. Stopping,
// pausing or closing a player that was never loaded has nothing to act on.
//
// Before the library is loaded only the user-interface thread calls the player (its own
// threads exist only once it is).
#include <mutex>
#include <string>

#include "app/libraryloader.h"
#include "formbase/playerfrm.h"
#include "libs/morvplayer/morvplayer.h"

namespace {

constexpr std::int32_t kNoPlayer = -1;

LazyLibrary gPlayer("libmorvplayer.so");

template <class F> F Entry(const char* name) { return gPlayer.Find<F>(name); }

// What was set before the library was loaded.
struct Pending {
    bool hasHost = false;
    const PlayerHost* host = nullptr;
    bool hasEditMode = false;
    std::int32_t editMode = 0;
    bool hasTimeCallback = false;
    PlayerTimeCallback* timeCallback = nullptr;
    bool hasCropCallback = false;
    PlayerCropCallback* cropCallback = nullptr;
    bool hasGain = false;
    std::uint32_t gain = 0;
    bool windowAsked = false;  // a window was asked for (made or kept)
    bool hasWindow = false;    // the window kept for the loading
    std::string idle, back;
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

std::mutex gPendingLock;
Pending gPending;
std::atomic<bool> gReady{false};

// Loads the library once and passes on what was set before; false without the library.
bool Ready() {
    if (gReady.load()) return true;
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gPlayer.Load()) return;
        Pending p;
        {
            std::lock_guard lock(gPendingLock);
            p = gPending;
            gPending = Pending();
            gReady = true;
        }
        if (p.hasHost) setPlayerHost(p.host);
        if (p.hasEditMode) setEditWindow(p.editMode);
        if (p.hasTimeCallback) setPlayerHandle(p.timeCallback);
        if (p.hasCropCallback) setCropHandle(p.cropCallback);
        if (p.hasGain) setOutputGain(p.gain);
        if (p.hasWindow) {
            initPlayOption(p.idle.c_str(), p.back.c_str(), p.x, p.y, p.width, p.height);
            AdoptPlayerWindow();
        }
    });
    return gReady.load();
}

// Runs keep on the values kept while the library is not loaded; false once it is.
template <class Keep> bool KeepUnlessLoaded(Keep keep) {
    std::lock_guard lock(gPendingLock);
    if (gReady.load()) return false;
    keep(gPending);
    return true;
}

}  // namespace

extern "C" {

void setPlayerHost(const PlayerHost* host) {
    if (KeepUnlessLoaded([host](Pending& p) { p.hasHost = true, p.host = host; })) return;
    static const auto f = Entry<decltype(&setPlayerHost)>("setPlayerHost");
    if (f) f(host);
}

std::int32_t initPlayOption(const char* idlePicture, const char* backPicture, std::int32_t x, std::int32_t y,
                            std::int32_t width, std::int32_t height) {
    bool kept = KeepUnlessLoaded([&](Pending& p) {
        if (p.windowAsked) {
            p.hasWindow = false;  // this window replaces the one kept
            return;
        }
        p.windowAsked = p.hasWindow = true;
        p.idle = idlePicture ? idlePicture : "";
        p.back = backPicture ? backPicture : "";
        p.x = x, p.y = y, p.width = width, p.height = height;
    });
    {
        std::lock_guard lock(gPendingLock);
        if (kept && gPending.hasWindow) return 0;
    }
    if (!Ready()) return kNoPlayer;
    static const auto f = Entry<decltype(&initPlayOption)>("initPlayOption");
    return f ? f(idlePicture, backPicture, x, y, width, height) : kNoPlayer;
}

void close_sdl() {
    if (KeepUnlessLoaded([](Pending& p) { p.hasWindow = false; })) return;
    static const auto f = Entry<decltype(&close_sdl)>("close_sdl");
    if (f) f();
}

void setEditWindow(std::int32_t editMode) {
    if (KeepUnlessLoaded([editMode](Pending& p) { p.hasEditMode = true, p.editMode = editMode; })) return;
    static const auto f = Entry<decltype(&setEditWindow)>("setEditWindow");
    if (f) f(editMode);
}

void setPlayerHandle(PlayerTimeCallback* callback) {
    if (KeepUnlessLoaded([callback](Pending& p) { p.hasTimeCallback = true, p.timeCallback = callback; })) return;
    static const auto f = Entry<decltype(&setPlayerHandle)>("setPlayerHandle");
    if (f) f(callback);
}

void setCropHandle(PlayerCropCallback* callback) {
    if (KeepUnlessLoaded([callback](Pending& p) { p.hasCropCallback = true, p.cropCallback = callback; })) return;
    static const auto f = Entry<decltype(&setCropHandle)>("setCropHandle");
    if (f) f(callback);
}

void setOutputGain(std::uint32_t levels) {
    if (KeepUnlessLoaded([levels](Pending& p) { p.hasGain = true, p.gain = levels; })) return;
    static const auto f = Entry<decltype(&setOutputGain)>("setOutputGain");
    if (f) f(levels);
}

std::int32_t openMultiTitleFile(const TitlePlayRecord* records, std::int32_t count) {
    static const auto f = Ready() ? Entry<decltype(&openMultiTitleFile)>("openMultiTitleFile") : nullptr;
    return f ? f(records, count) : kNoPlayer;
}

std::int32_t openDvdFile(const DvdPlaybackInfo* info, std::int32_t chapterSelector, std::int32_t startSecond) {
    static const auto f = Ready() ? Entry<decltype(&openDvdFile)>("openDvdFile") : nullptr;
    return f ? f(info, chapterSelector, startSecond) : kNoPlayer;
}

std::int32_t openMediaFile(const char* path, std::int32_t startSecond, std::int32_t endSecond) {
    static const auto f = Ready() ? Entry<decltype(&openMediaFile)>("openMediaFile") : nullptr;
    return f ? f(path, startSecond, endSecond) : kNoPlayer;
}

std::int32_t morvCapture(const char* path) {
    static const auto f = Ready() ? Entry<decltype(&morvCapture)>("morvCapture") : nullptr;
    return f ? f(path) : kNoPlayer;
}

void showPreviewFrame(const std::uint8_t* bgra, std::int32_t width, std::int32_t height, std::int32_t stride) {
    static const auto f = Ready() ? Entry<decltype(&showPreviewFrame)>("showPreviewFrame") : nullptr;
    if (f) f(bgra, width, height, stride);
}

// Calls that act on what is open or playing: nothing is before the library is loaded.
void startPlay(std::int32_t reserved) {
    if (!gReady.load()) return;
    static const auto f = Entry<decltype(&startPlay)>("startPlay");
    if (f) f(reserved);
}

void pausePlay() {
    if (!gReady.load()) return;
    static const auto f = Entry<decltype(&pausePlay)>("pausePlay");
    if (f) f();
}

void stopPlay(std::int32_t showIdle) {
    if (!gReady.load()) return;
    static const auto f = Entry<decltype(&stopPlay)>("stopPlay");
    if (f) f(showIdle);
}

void findDvdTimePlay(double seconds) {
    if (!gReady.load()) return;
    static const auto f = Entry<decltype(&findDvdTimePlay)>("findDvdTimePlay");
    if (f) f(seconds);
}

void updatePlayer() {
    if (!gReady.load()) return;
    static const auto f = Entry<decltype(&updatePlayer)>("updatePlayer");
    if (f) f();
}

// Picture settings stay for the next playing: they load the library.
void setPlayAspectRatio(const char* aspect) {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&setPlayAspectRatio)>("setPlayAspectRatio");
    if (f) f(aspect);
}

void setBrightness(std::int32_t value) {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&setBrightness)>("setBrightness");
    if (f) f(value);
}

void setContrast(std::int32_t value) {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&setContrast)>("setContrast");
    if (f) f(value);
}

void setSaturation(std::int32_t value) {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&setSaturation)>("setSaturation");
    if (f) f(value);
}

void cropFlim() {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&cropFlim)>("cropFlim");
    if (f) f();
}

void leftCropFlim(std::int32_t pixels) {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&leftCropFlim)>("leftCropFlim");
    if (f) f(pixels);
}

void rightCropFlim(std::int32_t pixels) {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&rightCropFlim)>("rightCropFlim");
    if (f) f(pixels);
}

void upCropFlim(std::int32_t pixels) {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&upCropFlim)>("upCropFlim");
    if (f) f(pixels);
}

void bottomCropFlim(std::int32_t pixels) {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&bottomCropFlim)>("bottomCropFlim");
    if (f) f(pixels);
}

void noEffectFlim() {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&noEffectFlim)>("noEffectFlim");
    if (f) f();
}

void grayFlim() {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&grayFlim)>("grayFlim");
    if (f) f();
}

void embossFlim() {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&embossFlim)>("embossFlim");
    if (f) f();
}

void oldFlim() {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&oldFlim)>("oldFlim");
    if (f) f();
}

void horiFlipFlim() {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&horiFlipFlim)>("horiFlipFlim");
    if (f) f();
}

void vertFlipFlim() {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&vertFlipFlim)>("vertFlipFlim");
    if (f) f();
}

void noFlipFlim() {
    if (!Ready()) return;
    static const auto f = Entry<decltype(&noFlipFlim)>("noFlipFlim");
    if (f) f();
}

}  // extern "C"
