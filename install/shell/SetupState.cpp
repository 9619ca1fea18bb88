#include "shell/SetupState.h"

#include <cstring>
#include <type_traits>

static_assert(std::is_trivially_copyable<SetupState>::value, "SetupState is reset bytewise");

// Zero-initialised, so the record of several kilobytes takes no room in the program file;
// its one non-zero field is set when the program starts.
SetupState g_setup;

void ResetSetupState()
{
    std::memset(&g_setup, 0, sizeof g_setup);
    g_setup.neededSpace = NeededSpaceBytes;
}

namespace {
const bool setupStateReady = (ResetSetupState(), true);
}
