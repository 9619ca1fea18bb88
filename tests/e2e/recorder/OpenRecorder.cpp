// openrecorder LOG FILE: stands in for the program that opens text files, so a test sees
// what the shell was asked to open. Appends FILE and a line break to LOG.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    HANDLE log = CreateFileA(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(log, argv[2], static_cast<DWORD>(std::strlen(argv[2])), &written, nullptr);
    WriteFile(log, "\n", 1, &written, nullptr);
    CloseHandle(log);
    return 0;
}
