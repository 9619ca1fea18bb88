#include <windows.h>

#include "resources/resource.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"

namespace {

// Libraries loaded by name come from the system folder only: the setup is often started
// from a Downloads folder, beside whatever else was downloaded there. Looked up at run time,
// as systems without the call must still start.
void LimitLibrarySearchToSystemFolder()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto limit = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (limit && limit(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // Without it, at least the current directory leaves the search.
    SetDllDirectoryA("");
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    LimitLibrarySearchToSystemFolder();
    InitSharedGraphics();
    LoadStringA(instance, IDS_MAIN_CLASS, g_setup.mainClassName, sizeof g_setup.mainClassName);
    RegisterWindowClasses(instance);
    if (!CreateMainWindow(instance, showCommand)) return 0;
    return RunMessageLoop(instance);
}
