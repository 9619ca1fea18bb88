// Stand-ins for the unzip library, built three times with different export tables. They
// expand nothing: each call appends what it was given to the file named by the
// environment variable ZAV_FAKE_UNZIP_LOG, so a test sees whether and how it was called.
#include "UnzDll.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint32_t FakeVersion = 0x00C0FFEEu;

void AppendToLog(const void* data, DWORD size)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("ZAV_FAKE_UNZIP_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, data, size, &written, nullptr);
    CloseHandle(file);
}

void AppendText(const char* text)
{
    // With its NUL, so the reader can split the strings again.
    AppendToLog(text ? text : "", static_cast<DWORD>(std::strlen(text ? text : "") + 1));
}

} // namespace

extern "C" std::uint32_t WINAPI GetUnzDllVersion()
{
    AppendToLog("V", 1);
    return FakeVersion;
}

// Log entry: 'E', the record's bytes, then the two strings it points to.
extern "C" std::uint32_t WINAPI UnzDllExec(const UnzipCommand* record)
{
    AppendToLog("E", 1);
    AppendToLog(record, sizeof *record);
    AppendText(record->archivePath);
    AppendText(record->targetFolder);
    return 0;
}
