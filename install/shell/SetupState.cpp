#include "shell/SetupState.h"

#include <cstring>
#include <type_traits>

static_assert(std::is_trivially_copyable<SetupState>::value, "SetupState is reset bytewise");

SetupState g_setup = [] {
    SetupState state;
    std::memset(&state, 0, sizeof state);
    state.neededSpace = NeededSpaceBytes;
    return state;
}();

void ResetSetupState()
{
    std::memset(&g_setup, 0, sizeof g_setup);
    g_setup.neededSpace = NeededSpaceBytes;
}
