#pragma once
// A recording stand-in for the preview player, for the dialogs that show it: every call
// becomes one line ("leftCropFlim 690"), the thread that made it is kept, and the crop
// callback the dialog registers can be called from a test's own thread.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "formbase/playerfrm.h"

namespace dialogtest {

// Whether the calls hold one with this text.
inline bool Has(const std::vector<std::string>& calls, const std::string& text) {
    for (const std::string& call : calls)
        if (call == text) return true;
    return false;
}

struct PlayerCall {
    std::string text;
    std::thread::id thread;
};

class FakePlayer {
public:
    FakePlayer() {
        Instance() = this;
        PlayerLibrary& f = library_;
        f.setPlayerHost = [](const PlayerHost*) {};
        f.initPlayOption = [](const char* a, const char* b, std::int32_t x, std::int32_t y, std::int32_t w,
                              std::int32_t h) -> std::int32_t {
            if (Instance()) Instance()->placedAt = platform::TPoint(x, y);
            Log("initPlayOption " + Base(a) + " " + Base(b) + " " + std::to_string(w) + "x" + std::to_string(h));
            return 0;
        };
        f.close_sdl = [] { Log("close_sdl"); };
        f.setEditWindow = [](std::int32_t v) { Log("setEditWindow " + std::to_string(v)); };
        f.setPlayerHandle = [](PlayerTimeCallback*) {};
        f.setCropHandle = [](PlayerCropCallback* cb) { Instance()->crop_ = cb ? *cb : nullptr; };
        f.openMultiTitleFile = [](const TitlePlayRecord* r, std::int32_t n) -> std::int32_t {
            Log("openMultiTitleFile " + std::to_string(n) + " chapter " + std::to_string(r->chapterSelector) + " " +
                std::to_string(r->startSecond) + "-" + std::to_string(r->endSecond));
            Instance()->lastRecord = r;
            return Instance()->openResult;
        };
        f.openDvdFile = [](const DvdPlaybackInfo*, std::int32_t, std::int32_t) -> std::int32_t {
            Log("openDvdFile");
            return 0;
        };
        f.openMediaFile = [](const char* path, std::int32_t s, std::int32_t e) -> std::int32_t {
            Log("openMediaFile " + std::string(path) + " " + std::to_string(s) + "-" + std::to_string(e));
            return Instance()->openResult;
        };
        f.startPlay = [](std::int32_t) {
            Log("startPlay");
            // A modal dialog that plays at its showing can be answered from here.
            if (Instance() && Instance()->onStartPlay) std::exchange(Instance()->onStartPlay, nullptr)();
        };
        f.pausePlay = [] { Log("pausePlay"); };
        f.stopPlay = [](std::int32_t v) { Log("stopPlay " + std::to_string(v)); };
        f.findDvdTimePlay = [](double s) { Log("findDvdTimePlay " + std::to_string(int(s))); };
        f.updatePlayer = [] { Log("updatePlayer"); };
        f.morvCapture = [](const char*) -> std::int32_t { return -1; };
        f.setPlayAspectRatio = [](const char* a) { Log("setPlayAspectRatio " + std::string(a)); };
        f.setBrightness = [](std::int32_t v) { Log("setBrightness " + std::to_string(v)); };
        f.setContrast = [](std::int32_t v) { Log("setContrast " + std::to_string(v)); };
        f.setSaturation = [](std::int32_t v) { Log("setSaturation " + std::to_string(v)); };
        f.cropFlim = [] { Log("cropFlim"); };
        f.leftCropFlim = [](std::int32_t v) { Log("leftCropFlim " + std::to_string(v)); };
        f.rightCropFlim = [](std::int32_t v) { Log("rightCropFlim " + std::to_string(v)); };
        f.upCropFlim = [](std::int32_t v) { Log("upCropFlim " + std::to_string(v)); };
        f.bottomCropFlim = [](std::int32_t v) { Log("bottomCropFlim " + std::to_string(v)); };
        f.noEffectFlim = [] { Log("noEffectFlim"); };
        f.grayFlim = [] { Log("grayFlim"); };
        f.embossFlim = [] { Log("embossFlim"); };
        f.oldFlim = [] { Log("oldFlim"); };
        f.horiFlipFlim = [] { Log("horiFlipFlim"); };
        f.vertFlipFlim = [] { Log("vertFlipFlim"); };
        f.noFlipFlim = [] { Log("noFlipFlim"); };
        f.setOutputGain = [](std::uint32_t g) { Log("setOutputGain " + std::to_string(g)); };
        SetPlayerLibrary(&library_);
    }
    ~FakePlayer() {
        SetPlayerLibrary(nullptr);
        Instance() = nullptr;
    }
    FakePlayer(const FakePlayer&) = delete;
    FakePlayer& operator=(const FakePlayer&) = delete;

    // The calls so far, and forgets them.
    std::vector<std::string> Take() {
        std::lock_guard lock(mu_);
        std::vector<std::string> out;
        for (const PlayerCall& c : calls_) out.push_back(c.text);
        calls_.clear();
        return out;
    }
    std::vector<PlayerCall> TakeWithThreads() {
        std::lock_guard lock(mu_);
        return std::exchange(calls_, {});
    }
    // The crop callback as the dialog registered it (null when none).
    PlayerCropCallback CropCallback() const { return crop_.load(); }

    std::int32_t openResult = 0;
    // Runs once, at the next startPlay (on the thread that called it).
    std::function<void()> onStartPlay;
    const TitlePlayRecord* lastRecord = nullptr;
    // The screen point the last initPlayOption placed the player's window at.
    platform::TPoint placedAt;

private:
    static FakePlayer*& Instance() {
        static FakePlayer* instance = nullptr;
        return instance;
    }
    static std::string Base(const char* path) {
        std::string p = path ? path : "";
        std::size_t slash = p.rfind('/');
        return slash == std::string::npos ? p : p.substr(slash + 1);
    }
    static void Log(std::string text) {
        FakePlayer* self = Instance();
        if (!self) return;
        std::lock_guard lock(self->mu_);
        self->calls_.push_back({std::move(text), std::this_thread::get_id()});
    }

    PlayerLibrary library_;
    std::mutex mu_;
    std::vector<PlayerCall> calls_;
    std::atomic<PlayerCropCallback> crop_{nullptr};
};

}  // namespace dialogtest
