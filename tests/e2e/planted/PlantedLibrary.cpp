// A library planted beside a copy of setup.exe under the name of a system library. It does
// nothing but leave "<its own path>.loaded" when a process loads it, so a test sees whether
// the setup ever took it in place of the system's copy.
#include <windows.h>

#include <cstring>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    constexpr char Suffix[] = ".loaded";
    char marker[MAX_PATH + sizeof Suffix];
    DWORD length = GetModuleFileNameA(module, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    std::memcpy(marker + length, Suffix, sizeof Suffix);
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
