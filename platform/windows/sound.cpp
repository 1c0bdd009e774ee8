// The sounds a program makes to get the user's attention.
#include "platform/windows/sound.h"

#include "platform/windows/backend.h"

namespace platform {

BOOL MessageBeep(UINT /*type*/) {
    Backend().Beep();
    return TRUE;
}

}  // namespace platform
