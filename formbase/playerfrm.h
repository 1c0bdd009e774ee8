#pragma once
// The host form that carries the preview player's window from panel to panel, the
// procedure by which a window attaches the player, and the routing of the player's time
// reports to the window that owns the preview.
#include <atomic>
#include <cstdint>
#include <string>

#include "libs/morvplayer/morvplayer.h"
#include "platform/controls/forms.h"

// The player as the program reaches it; tests install a recording fake.
struct PlayerLibrary {
    decltype(&::setPlayerHost) setPlayerHost = ::setPlayerHost;
    decltype(&::initPlayOption) initPlayOption = ::initPlayOption;
    decltype(&::close_sdl) close_sdl = ::close_sdl;
    decltype(&::setEditWindow) setEditWindow = ::setEditWindow;
    decltype(&::setPlayerHandle) setPlayerHandle = ::setPlayerHandle;
    decltype(&::setCropHandle) setCropHandle = ::setCropHandle;
    decltype(&::openMultiTitleFile) openMultiTitleFile = ::openMultiTitleFile;
    decltype(&::openDvdFile) openDvdFile = ::openDvdFile;
    decltype(&::openMediaFile) openMediaFile = ::openMediaFile;
    decltype(&::startPlay) startPlay = ::startPlay;
    decltype(&::pausePlay) pausePlay = ::pausePlay;
    decltype(&::stopPlay) stopPlay = ::stopPlay;
    decltype(&::findDvdTimePlay) findDvdTimePlay = ::findDvdTimePlay;
    decltype(&::updatePlayer) updatePlayer = ::updatePlayer;
    decltype(&::morvCapture) morvCapture = ::morvCapture;
    // The picture and sound settings the edit dialog previews.
    decltype(&::setPlayAspectRatio) setPlayAspectRatio = ::setPlayAspectRatio;
    decltype(&::setBrightness) setBrightness = ::setBrightness;
    decltype(&::setContrast) setContrast = ::setContrast;
    decltype(&::setSaturation) setSaturation = ::setSaturation;
    decltype(&::cropFlim) cropFlim = ::cropFlim;
    decltype(&::leftCropFlim) leftCropFlim = ::leftCropFlim;
    decltype(&::rightCropFlim) rightCropFlim = ::rightCropFlim;
    decltype(&::upCropFlim) upCropFlim = ::upCropFlim;
    decltype(&::bottomCropFlim) bottomCropFlim = ::bottomCropFlim;
    decltype(&::noEffectFlim) noEffectFlim = ::noEffectFlim;
    decltype(&::grayFlim) grayFlim = ::grayFlim;
    decltype(&::embossFlim) embossFlim = ::embossFlim;
    decltype(&::oldFlim) oldFlim = ::oldFlim;
    decltype(&::horiFlipFlim) horiFlipFlim = ::horiFlipFlim;
    decltype(&::vertFlipFlim) vertFlipFlim = ::vertFlipFlim;
    decltype(&::noFlipFlim) noFlipFlim = ::noFlipFlim;
    decltype(&::setOutputGain) setOutputGain = ::setOutputGain;
};

// The table in use; SetPlayerLibrary(nullptr) restores the real library.
const PlayerLibrary& ActivePlayerLibrary();
void SetPlayerLibrary(const PlayerLibrary* library);

// A borderless form without controls of its own: the parent of the player's window.
class TPlayerfrm : public platform::TForm {
public:
    explicit TPlayerfrm(platform::TComponent* owner);
    // Makes the panel the form's parent and fills it; no panel: nothing.
    void PlaceInPanel(platform::TWinControl* panel);

protected:
    // Placed in a panel, the form's window is the panel's child (a form is otherwise top-level).
    void CreateParams(platform::TCreateParams& params) override;
};

extern TPlayerfrm* Playerfrm;

// Which window owns the preview (and so its time reports).
enum TActivePlayerForm : std::uint8_t { apMain = 0, apEdit = 1, apClip = 2, apDvd = 3 };
extern std::atomic<std::uint8_t> ActivePlayerForm;

// One row of the attach table: what differs between the windows that show the player.
struct PlayerAttach {
    platform::TWinControl* panel = nullptr;  // the window's play panel
    bool closeFirst = false;                 // the progress window closes the player window first
    int editWindow = 0;                      // setEditWindow's value; -1: not called
    const char* idlePicture = "Default.bmp";  // in the program folder
    const char* backPicture = "bj.bmp";
    bool timeCallback = true;                // registers OnPlayerTime
    int activeForm = apMain;                 // ActivePlayerForm afterwards; -1: unchanged
    int left = 0, top = 0;                   // screen position handed to the player
};

// The rows of the main window, the edit, clip and DVD windows and the progress window;
// the caller fills in panel, left and top.
PlayerAttach MainAttach();
PlayerAttach EditAttach();
PlayerAttach ClipAttach();
PlayerAttach DvdAttach();
PlayerAttach ConvertAttach();

// Attaches the player to a window's panel: close first (progress window), edit mode,
// host form into the panel, the pictures from programDir (ending in "/"), the time
// callback, the player's window made, then re-parented into the host form at (0, 0).
void AttachPlayer(const PlayerAttach& row, const std::string& programDir);
// Makes the player's window, when there is one, the host form's child and shows both.
void AdoptPlayerWindow();

// Each window's share of the time reports; a share not installed drops its reports.
using PlayerTimeShare = void (*)(const PlayTimeInfo&);
void SetPlayerTimeShare(TActivePlayerForm form, PlayerTimeShare share);

// The callback handed to the player: drops reports whose minutes or seconds are 60 or
// more, passes the rest to the share of the window ActivePlayerForm names. Returns 0.
std::int32_t OnPlayerTime(PlayTimeInfo* info);
