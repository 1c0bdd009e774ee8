#pragma once
// One player build: the option records in, an SWF file out (or an error and no file).
#include "playermaker/morvbrindle.h"

namespace morvbrindle {

// Checks and prepares the records, builds the player the group describes and saves it to
// the group's output path. Returns 0 or a KbnError; a failed build writes nothing.
int BuildPlayer(KbnUIGroupOption* group);

}  // namespace morvbrindle
