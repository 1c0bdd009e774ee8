#pragma once
// What the dialogs read and call of the program around them: the other windows' skin, the
// job list, where the preview player is placed from, and the update check at start. The
// program hands its host to a dialog when it makes it (the main window is the program's);
// a dialog made without one works alone: its preview placed from itself, no job list.
//
// Every body does nothing, so that a test's stand-in gives only what its dialog uses.
#include <optional>

#include "platform/core/wintypes.h"

namespace platform {
class TCustomImageList;
}
namespace jobmodel {
class JobRows;
}

class DialogHost {
public:
    virtual ~DialogHost() = default;

    // Re-skins every window but the dialog that asks, after the skin document changed.
    virtual void ReloadAllSkins() {}

    // The job list whose rows the clip dialog cuts into segments, and the pictures its rows
    // show; null: none.
    virtual jobmodel::JobRows* JobList() { return nullptr; }
    virtual platform::TCustomImageList* JobImages() { return nullptr; }

    // The screen point the edit and clip dialogs place the preview player from (its panel's
    // offset is added); none: the dialog's own position.
    virtual std::optional<platform::TPoint> PreviewOrigin() { return std::nullopt; }

    // Whether the update check runs at start, as the options dialog shows and stores it.
    virtual bool UpdateCheckAtStart() { return false; }
    virtual void SetUpdateCheckAtStart(bool) {}
};
