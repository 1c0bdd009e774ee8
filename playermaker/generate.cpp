// The build export.
#include <new>

#include "playermaker/build.h"
#include "playermaker/morvbrindle.h"

extern "C" int generateFLVPlayer(KbnUIGroupOption* group) {
    try {
        return morvbrindle::BuildPlayer(group);
    } catch (const std::bad_alloc&) {
        return kbnErrNoMemory;
    }
}
