// The program's side of the preview: the attach procedure of each window and the routing
// of time reports, against a recording fake of the player.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formbase/playerfrm.h"
#include "platform/controls/extctrls.h"
#include "platform/windows/backend.h"

using namespace platform;

namespace {

std::vector<std::string> gCalls;
bool gMakeWindow = true;
HWND gPlayerWindow = nullptr;

PlayerLibrary Fake() {
    PlayerLibrary f;
    f.close_sdl = [] {
        gCalls.push_back("close_sdl");
        if (gPlayerWindow) DestroyWindow(gPlayerWindow), gPlayerWindow = nullptr;
    };
    f.setEditWindow = [](std::int32_t v) { gCalls.push_back("setEditWindow " + std::to_string(v)); };
    f.setPlayerHandle = [](PlayerTimeCallback* cb) {
        gCalls.push_back(std::string("setPlayerHandle ") + (cb && *cb == &OnPlayerTime ? "OnPlayerTime" : "?"));
    };
    f.initPlayOption = [](const char* a, const char* b, std::int32_t x, std::int32_t y, std::int32_t w,
                          std::int32_t h) -> std::int32_t {
        gCalls.push_back("initPlayOption " + std::string(a) + " " + b + " " + std::to_string(x) + " " +
                         std::to_string(y) + " " + std::to_string(w) + " " + std::to_string(h));
        if (gMakeWindow && !gPlayerWindow)
            gPlayerWindow = CreateWindowExA(0, "SDL_app", "", WS_POPUP, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
        return 0;
    };
    return f;
}

class PlayerHostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetBackend(CreateHeadlessBackend(1024, 768)); }
    void SetUp() override {
        fake_ = Fake();
        SetPlayerLibrary(&fake_);
        gCalls.clear();
        form_ = new TForm(nullptr);
        form_->AfterConstruction();
        form_->SetBounds(100, 50, 600, 400);
        panel_ = new TPanel(form_);
        panel_->SetParent(form_);
        panel_->SetBounds(20, 30, 320, 240);
        form_->Show();
        Playerfrm = new TPlayerfrm(nullptr);
        Playerfrm->AfterConstruction();
    }
    void TearDown() override {
        if (gPlayerWindow) DestroyWindow(gPlayerWindow), gPlayerWindow = nullptr;
        delete Playerfrm;
        Playerfrm = nullptr;
        delete form_;
        SetPlayerLibrary(nullptr);
        for (int f = apMain; f <= apDvd; ++f) SetPlayerTimeShare(TActivePlayerForm(f), nullptr);
        gMakeWindow = true;
    }
    PlayerLibrary fake_;
    TForm* form_ = nullptr;
    TPanel* panel_ = nullptr;
};

TEST_F(PlayerHostTest, EachWindowAttachesByItsRow) {
    struct Case {
        const char* window;
        PlayerAttach row;
        std::vector<std::string> calls;
        int activeAfter;
    } cases[] = {
        {"main", MainAttach(),
         {"setEditWindow 0", "setPlayerHandle OnPlayerTime", "initPlayOption /p/Default.bmp /p/bj.bmp 120 80 320 240"},
         apMain},
        {"edit", EditAttach(),
         {"setEditWindow 1", "setPlayerHandle OnPlayerTime", "initPlayOption /p/Editbj.bmp /p/Editbj.bmp 120 80 320 240"},
         apEdit},
        {"clip", ClipAttach(),
         {"setEditWindow 0", "setPlayerHandle OnPlayerTime", "initPlayOption /p/Default.bmp /p/bj.bmp 120 80 320 240"},
         apClip},
        {"dvd", DvdAttach(),
         {"setEditWindow 0", "setPlayerHandle OnPlayerTime", "initPlayOption /p/Default.bmp /p/bj.bmp 120 80 320 240"},
         apDvd},
        {"progress", ConvertAttach(), {"close_sdl", "initPlayOption /p/Default.bmp /p/bj.bmp 120 80 320 240"}, apClip},
    };
    for (Case& c : cases) {
        gCalls.clear();
        if (gPlayerWindow) DestroyWindow(gPlayerWindow), gPlayerWindow = nullptr;
        ActivePlayerForm = apClip;  // the progress window leaves it as it was
        c.row.panel = panel_;
        c.row.left = form_->Left() + panel_->Left();
        c.row.top = form_->Top() + panel_->Top();
        AttachPlayer(c.row, "/p/");
        EXPECT_EQ(gCalls, c.calls) << c.window;
        EXPECT_EQ(ActivePlayerForm.load(), c.activeAfter) << c.window;
        // The player's window is the host form's child at (0, 0), and the host fills the panel.
        ASSERT_TRUE(gPlayerWindow) << c.window;
        EXPECT_EQ(GetParent(gPlayerWindow), Playerfrm->Handle()) << c.window;
        EXPECT_TRUE(GetWindowLongA(gPlayerWindow, GWL_STYLE) & WS_CHILD) << c.window;
        EXPECT_TRUE(IsWindowVisible(gPlayerWindow)) << c.window;
        RECT r{};
        GetWindowRect(gPlayerWindow, &r);
        RECT host{};
        GetWindowRect(Playerfrm->Handle(), &host);
        EXPECT_EQ(r.left, host.left) << c.window;
        EXPECT_EQ(r.right - r.left, 320) << c.window;
        EXPECT_EQ(GetParent(Playerfrm->Handle()), panel_->Handle()) << c.window;
        EXPECT_EQ(Playerfrm->Width(), 320);
        EXPECT_EQ(Playerfrm->Height(), 240);
    }
}

TEST_F(PlayerHostTest, WithoutAPlayerWindowTheRestGoesOn) {
    gMakeWindow = false;
    PlayerAttach row = DvdAttach();
    row.panel = panel_;
    AttachPlayer(row, "/p/");
    EXPECT_EQ(gCalls.size(), 3u);
    EXPECT_EQ(ActivePlayerForm.load(), apDvd);
    EXPECT_EQ(GetParent(Playerfrm->Handle()), panel_->Handle());
}

std::vector<std::pair<int, int>> gRouted;  // window, position in seconds
template <int W>
void Share(const PlayTimeInfo& t) {
    gRouted.push_back({W, t.hours * 3600 + t.minutes * 60 + t.seconds});
}

TEST_F(PlayerHostTest, ReportsGoToTheWindowThatOwnsThePreview) {
    SetPlayerTimeShare(apMain, &Share<0>);
    SetPlayerTimeShare(apEdit, &Share<1>);
    SetPlayerTimeShare(apDvd, &Share<3>);  // the clip dialog installs none here
    struct Case {
        int active, minutes, seconds;
        int routedTo;  // -1: dropped
    } cases[] = {
        {apMain, 1, 5, 0},  {apEdit, 0, 9, 1},  {apDvd, 2, 0, 3},   {apClip, 0, 1, -1},
        {apMain, 60, 0, -1}, {apEdit, 0, 60, -1}, {apDvd, 3, 60, -1}, {7, 0, 1, -1},
    };
    for (const Case& c : cases) {
        gRouted.clear();
        ActivePlayerForm = std::uint8_t(c.active);
        PlayTimeInfo t{0, 5, 0, 0, c.minutes, c.seconds, 0, 0};
        EXPECT_EQ(OnPlayerTime(&t), 0);
        if (c.routedTo < 0) {
            EXPECT_TRUE(gRouted.empty()) << c.active << " " << c.minutes << ":" << c.seconds;
        } else {
            ASSERT_EQ(gRouted.size(), 1u);
            EXPECT_EQ(gRouted[0].first, c.routedTo);
            EXPECT_EQ(gRouted[0].second, c.minutes * 60 + c.seconds);
        }
    }
    EXPECT_EQ(OnPlayerTime(nullptr), 0);
}

}  // namespace
