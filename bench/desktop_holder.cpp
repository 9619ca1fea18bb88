// Benchmark helper: keeps Wine's desktop alive for the whole session. Wine ends its desktop
// process shortly after the last program with windows has ended, and starts it again inside
// the start of the next one, so that a measured start-up would include starting a desktop;
// on Windows the desktop is always there. One hidden window, never shown, so that no driver
// looking for visible windows ever sees it; ends with the session's wineserver.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HWND window = CreateWindowExA(0, "STATIC", "desktop holder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    if (!window) return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
