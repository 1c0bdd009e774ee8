// The preview host form, the attach procedure and the routing of time reports.
#include "formbase/playerfrm.h"

#include <atomic>

#include "libs/morvplayer/host.h"
#include "platform/windows/window.h"

using namespace platform;

namespace {

const PlayerLibrary kRealLibrary{};
std::atomic<const PlayerLibrary*> gLibrary{&kRealLibrary};

// The player may report from its own thread while a window attaches on the user-interface thread.
std::atomic<PlayerTimeShare> gShares[4];

// The variable whose address the player is given: it holds OnPlayerTime.
PlayerTimeCallback gTimeCallback = &OnPlayerTime;

}  // namespace

TPlayerfrm* Playerfrm = nullptr;
std::atomic<std::uint8_t> ActivePlayerForm{apMain};

const PlayerLibrary& ActivePlayerLibrary() { return *gLibrary.load(); }
void SetPlayerLibrary(const PlayerLibrary* library) { gLibrary = library ? library : &kRealLibrary; }

TPlayerfrm::TPlayerfrm(TComponent* owner) : TForm(owner) {
    SetBorderStyle(bsNone);
    // The player reaches the program's windows through this table, installed once at start
    // (the host form is made second, before any window attaches the player).
    static const PlayerHost host = PlatformPlayerHost();
    ActivePlayerLibrary().setPlayerHost(&host);
}

void TPlayerfrm::CreateParams(TCreateParams& params) {
    TForm::CreateParams(params);
    if (!Parent()) return;
    params.Style = (params.Style & ~WS_POPUP) | WS_CHILD | WS_CLIPCHILDREN;
    params.WndParent = Parent()->Handle();
}

void TPlayerfrm::PlaceInPanel(TWinControl* panel) {
    if (!panel) return;
    SetParent(panel);
    SetBounds(0, 0, panel->Width(), panel->Height());
}

PlayerAttach MainAttach() { return {}; }
PlayerAttach EditAttach() {
    PlayerAttach a;
    a.editWindow = 1;
    a.idlePicture = a.backPicture = "Editbj.bmp";
    a.activeForm = apEdit;
    return a;
}
PlayerAttach ClipAttach() {
    PlayerAttach a;
    a.activeForm = apClip;
    return a;
}
PlayerAttach DvdAttach() {
    PlayerAttach a;
    a.activeForm = apDvd;
    return a;
}
PlayerAttach ConvertAttach() {
    PlayerAttach a;
    a.closeFirst = true;
    a.editWindow = -1;
    a.timeCallback = false;
    a.activeForm = -1;
    return a;
}

void AttachPlayer(const PlayerAttach& row, const std::string& programDir) {
    const PlayerLibrary& lib = ActivePlayerLibrary();
    if (row.closeFirst) lib.close_sdl();
    if (row.editWindow >= 0) lib.setEditWindow(row.editWindow);
    if (Playerfrm) Playerfrm->PlaceInPanel(row.panel);
    std::string idle = programDir + row.idlePicture, back = programDir + row.backPicture;
    if (row.timeCallback) lib.setPlayerHandle(&gTimeCallback);
    int width = row.panel ? row.panel->Width() : 0, height = row.panel ? row.panel->Height() : 0;
    lib.initPlayOption(idle.c_str(), back.c_str(), row.left, row.top, width, height);
    AdoptPlayerWindow();
    if (row.activeForm >= 0) ActivePlayerForm = std::uint8_t(row.activeForm);
}

void AdoptPlayerWindow() {
    // The player's window is a top-level window until it is made the host form's child.
    HWND player = FindWindowA("SDL_app", nullptr);
    if (player && Playerfrm) {
        SetWindowLongA(player, GWL_STYLE, GetWindowLongA(player, GWL_STYLE) | LONG(WS_CHILD));
        SetWindowPos(player, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetParent(player, Playerfrm->Handle());
        Playerfrm->Show();
        ShowWindow(player, SW_SHOW);
    }
}

void SetPlayerTimeShare(TActivePlayerForm form, PlayerTimeShare share) {
    if (form <= apDvd) gShares[form] = share;
}

std::int32_t OnPlayerTime(PlayTimeInfo* info) {
    if (!info || info->minutes >= 60 || info->seconds >= 60) return 0;
    std::uint8_t form = ActivePlayerForm;
    if (form > apDvd) return 0;
    if (PlayerTimeShare share = gShares[form].load()) share(*info);
    return 0;
}
