#include <windows.h>

#include "resources/resource.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    InitSharedGraphics();
    LoadStringA(instance, IDS_MAIN_CLASS, g_setup.mainClassName, sizeof g_setup.mainClassName);
    RegisterWindowClasses(instance);
    if (!CreateMainWindow(instance, showCommand)) return 0;
    return RunMessageLoop(instance);
}
